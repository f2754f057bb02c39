// The lines of the drive information window: the drive name and what the
// drive can read, write and do, from its MODE SENSE capabilities data
// (page 0x2A behind the 8-byte mode header).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sv {

// Each capability line is its label, padded so that the colons of all lines
// stand in one column, ": " and `yes` or `no`; the buffer line ends in the
// size in Kb.
std::vector<std::string> DriveInfoLines(std::string_view driveName, std::span<const std::uint8_t, 26> capabilities,
                                        std::string_view yes, std::string_view no);

// All lines joined by newlines (the window's "Copy").
std::string DriveInfoText(const std::vector<std::string>& lines);

}  // namespace sv
