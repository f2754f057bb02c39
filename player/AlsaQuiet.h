// ALSA prints its own complaints (no card, no "default" device) to the
// standard error; the player reports what matters itself.
#pragma once

#include <alsa/asoundlib.h>

namespace sv {

inline void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

inline void QuietAlsaErrors() { snd_lib_error_set_handler(SilentAlsaErrors); }

}  // namespace sv
