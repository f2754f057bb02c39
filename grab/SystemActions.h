// What a grab asks of the system: a higher scheduling priority while it runs,
// and powering the computer off after it.
#pragma once

namespace sv {

// Raises the process's priority (best effort: raising may need privileges) or
// returns it to what it was before the last raise.
void SetHighPriority(bool high);

// Asks logind to power the computer off (PowerOff over D-Bus through
// busctl), falling back to "systemctl poweroff". No shell is involved.
// False when neither could be started or both reported failure.
bool RequestPowerOff();

}  // namespace sv
