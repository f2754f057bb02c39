// Every drive the program can talk to, in the order the drive box lists them:
// the real drives (/dev/srN, with their SCSI generic node when sysfs names
// one), then the built-in demo disc when there is no real drive, then the
// virtual drives of disc images and the virtual writers listed in
// setting/virtual.lst, then images added while the program runs.
//
// The catalog is what both transports open devices from: the pass-through
// transport by catalog position, the generic transport by its adapter table.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "cdrom/ScsiDevice.h"
#include "cdrom/SgScan.h"
#include "cdrom/VirtualDrive.h"
#include "cdrom/VirtualWriter.h"

namespace sv {

struct DriveEnvironment {
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    bool scanRealDrives = true;
    // The list of disc images to mount at start (one CUE path a line, or a
    // virtual writer's line: see IsWriterLine); empty: none.
    // DefaultDriveEnvironment() names setting/virtual.lst.
    std::string virtualListPath;
    // Offer the demo disc when no real drive is found.
    bool demoWithoutRealDrive = true;
    // The clock virtual drives play on; null: the real clock.
    IClock* clock = nullptr;
};

// A line of the list that sets up a virtual reading drive:
//   drive IMAGE.cue|demo [offset SAMPLES] [product NAME]
// (a drive whose read offset is known, for trying offset correction).
bool IsDriveLine(const std::string& line);

// The environment of a running program: the real /sys and /dev, and
// SettingsFolder() + "virtual.lst".
DriveEnvironment DefaultDriveEnvironment();

struct CatalogEntry {
    bool isVirtual = false;
    std::string srPath;     // pass-through node, empty when there is none
    std::string sgPath;     // SCSI generic node, empty when there is none
    int host = -1, target = -1;
    std::string image;      // virtual: the CUE path, or "demo"
    bool closed = false;    // an image the user closed: no longer a drive
    std::shared_ptr<VirtualDrive> drive;  // virtual only
    // "/dev/sr0", "/dev/sg3", the image path or "demo".
    std::string Describe() const;
};

// A device that could not be opened because of its permissions.
struct DeviceAccessProblem {
    std::string path;
    std::string group;  // the group that owns the node ("cdrom"), may be empty
};

class DriveCatalog {
public:
    explicit DriveCatalog(DriveEnvironment env = {});
    const DriveEnvironment& Environment() const { return env_; }

    const std::vector<CatalogEntry>& Entries() const { return entries_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    int RealDriveCount() const;

    // Opens catalog entry n through its pass-through node (real) or the
    // in-process device (virtual). Nothing when there is none, with errno in
    // `error` (0 when the entry simply has no such node).
    std::unique_ptr<IScsiDevice> OpenPassThrough(int n, int& error);
    // Opens entry n through its SCSI generic node (real) or the in-process
    // device (virtual).
    std::unique_ptr<IScsiDevice> OpenGeneric(int n, int& error);

    // True when sysfs lists a SCSI generic class at all (the sg driver is there).
    bool GenericDriverPresent() const { return genericDriverPresent_; }

    // Adds a virtual drive for the CUE image at `path`; with `remember` the
    // path is also appended to the virtual drive list file. Returns the new
    // entry's position, or -1 with a message in `error`; a usable image with
    // something the user should know (a partial last sector) gives its
    // position with that note in `error`.
    int AddImage(const std::string& path, bool remember, std::string& error);
    // Closes the image of entry n: it stays in the list (positions do not
    // move) but no transport offers it any more, and its line leaves the
    // virtual drive list file.
    void CloseImage(int n);
    // Adds a virtual writer; its name is what the drive list shows (for a
    // writer of the list file, its line). Burned discs go to the setup's
    // folder, or to DataFolder() + "burned/" when it names none. Returns the
    // entry's position, or -1 with a message in `error` (an image that
    // cannot be loaded).
    int AddWriter(VirtualWriterSetup setup, const std::string& name, std::string& error);
    // Adds a virtual drive for an image already in memory (tests, demo).
    int AddVirtual(std::shared_ptr<DiscImage> disc, const std::string& name, VirtualDriveModel model = {});

    // Messages about the images of the list file that could not be mounted.
    const std::vector<std::string>& ImageProblems() const { return imageProblems_; }
    // Records a device refused for permissions (found while opening).
    void NoteAccessProblem(const std::string& path);
    const std::vector<DeviceAccessProblem>& AccessProblems() const { return accessProblems_; }

    IClock& Clock() { return *clock_; }

private:
    // A "drive" line of the list (see IsDriveLine).
    void AddDriveLine(const std::string& line, std::string& error);
    void Scan();
    int AddDrive(std::shared_ptr<VirtualDrive> drive, const std::string& name);
    DriveEnvironment env_;
    std::unique_ptr<IClock> ownClock_;
    IClock* clock_ = nullptr;
    std::vector<CatalogEntry> entries_;
    bool genericDriverPresent_ = false;
    std::vector<std::string> imageProblems_;
    std::vector<DeviceAccessProblem> accessProblems_;
};

// The message that tells a user without access to the drives what to do.
std::string AccessProblemMessage(const std::vector<DeviceAccessProblem>& problems, bool russian);

}  // namespace sv
