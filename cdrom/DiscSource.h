// Where a command-line tool takes its disc from: a drive of the drive list
// (--drive N), a CUE image (--image FILE.cue) or the built-in demo disc
// (--demo); without any of them, drive 0. OpenDiscSource gives a selected,
// ready TCDROM with the disc's table of contents and layout.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/TCDROM.h"
#include "cdrom/Toc.h"

namespace sv {

struct DiscSourceOptions {
    std::optional<int> drive;
    std::string image;
    bool demo = false;
    int readCommand = 0;  // the read command the drive is selected with
};

// Takes "--drive N", "--image FILE" and "--demo" out of `args` (other
// arguments are left for the caller). False with a message when a value is
// missing or wrong, or more than one source is named.
bool ParseDiscSourceOptions(const std::vector<std::string>& args, DiscSourceOptions& options, std::string& error);
// The arguments ParseDiscSourceOptions understands, for a caller's own check.
inline const std::vector<std::string> kDiscSourceFlags = {"--demo"};
inline const std::vector<std::string> kDiscSourceValued = {"--drive", "--image"};

struct OpenedDisc {
    std::unique_ptr<TCDROM> cdrom;  // selected on the disc's drive
    int driveIndex = 0;
    std::string driveName;
    std::string notes;    // what the image's reader noted (empty for drives)
    std::string device;   // "/dev/sr0", the CUE path or "demo"
    TocBuffer toc;        // as the drive returned it
    RawToc rawToc;        // track numbers, CONTROL/ADR, absolute starts, lead-out
    DISC_INFO disc;       // the layout, after the multisession correction
};

// Opens the source and reads its disc. Nothing with a message when the drive
// does not exist, cannot be opened, the image cannot be read or holds no disc.
// `env` names where real drives and the virtual drive list are looked for
// (DefaultDriveEnvironment() for the program itself).
std::unique_ptr<OpenedDisc> OpenDiscSource(const DiscSourceOptions& options, std::string& error,
                                           const DriveEnvironment& env);
std::unique_ptr<OpenedDisc> OpenDiscSource(const DiscSourceOptions& options, std::string& error);

}  // namespace sv
