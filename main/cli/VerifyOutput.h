// What `rip` and `verify` share: the --offset option, the AccurateRip check
// of the tracks read, and how its verdicts are printed.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/RipVerification.h"
#include "cdrom/DiscSource.h"
#include "main/cli/CliCommand.h"

namespace sv::cli {

// The disc of the commands that check discs (verify, offset): the source the
// arguments name, opened with the settings' read command for its drive and
// with the disc's own CDDB identifier in its record. Nothing after a message
// (prefixed by `command`), with `status` 2 for wrong arguments, 1 otherwise.
std::unique_ptr<OpenedDisc> OpenDiscToCheck(const std::vector<std::string>& args, const TProgramSettings& settings,
                                            const char* command, std::ostream& err, int& status);

// Stores the disc's own CDDB identifier (from the drive's table of contents)
// in its record, where the AccurateRip identifiers take it from.
void StoreOwnDiscId(OpenedDisc& opened);

// --offset N (-5000..5000), else the offset stored for `driveModel`, else 0.
// Nothing after a message when --offset is malformed.
std::optional<int> ReadOffsetOption(const Options& options, const std::string& driveModel, const char* command,
                                    std::ostream& err);

// The check of `checks` with the settings' proxy and the configured server.
RipVerification VerifyForCommandLine(const DISC_INFO& disc, const std::vector<TrackCheck>& checks,
                                     const TProgramSettings& settings);

// One line a track: "<nn> <title>: CRC32 xxxxxxxx, AccurateRip v1 ..., v2 ...: <verdict>".
// The verdicts in `language`, the one the command loaded.
void PrintVerdicts(const RipVerification& v, const DISC_INFO& disc, TLanguage& language, std::ostream& out);

// {"tracks": [{"track": n, "file": "...", "crc32": "...", "accuraterip": {...}}, ...],
//  "accuraterip_disc": "<path>", "log": "<path>"}
void PrintVerdictsJson(const RipVerification& v, const std::string& logPath, std::ostream& out);

}  // namespace sv::cli
