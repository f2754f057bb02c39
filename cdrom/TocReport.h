// The disc layout and the drive list as text and JSON, for sornaval-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "cdrom/CdText.h"
#include "cdrom/TCDROM.h"

namespace sv {

// {"tracks": [{"number", "start_lba", "start_msf", "length_sectors",
// "size_bytes", "audio"}, ...], "leadout_lba", "total_time"}, with
// "cdtext": {"album", "performer", "titles": [...], "performers": [...]}
// when the disc has CD-TEXT.
std::string TocJson(const DISC_INFO& disc, const std::optional<CdText>& text = std::nullopt);
// One line per track and the totals, then the CD-TEXT (a line for the disc,
// one per track).
std::string TocText(const DISC_INFO& disc, const std::optional<CdText>& text = std::nullopt);

// {"drives": [{"index", "name", "transport", "device" | "image"}, ...]}
std::string DrivesJson(const TCDROM& cdrom, const std::vector<bool>& writers = {});
std::string DrivesText(const TCDROM& cdrom, const std::vector<bool>& writers = {});
// For every drive, whether its capabilities page says it writes CD-R (the
// drives are selected in turn; the first drive is selected again at the end).
std::vector<bool> DrivesThatWrite(TCDROM& cdrom);

// A JSON string literal.
std::string JsonString(const std::string& s);

}  // namespace sv
