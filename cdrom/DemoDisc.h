// The built-in demo disc: four short synthesised audio tracks (130 seconds in
// all) with a fixed table of contents, so that a machine without a drive has
// a disc to show, play and rip. The same bytes come out on every run.
#pragma once

#include <memory>

#include "cdrom/DiscImage.h"

namespace sv {

inline constexpr const char* kDemoDiscName = "demo";

// Track starts (LBA) 0, 3000, 5250, 7875; lead-out 9750.
std::shared_ptr<DiscImage> MakeDemoDisc();

}  // namespace sv
