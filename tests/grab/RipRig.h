// A disc image of three tracks of tonal audio behind a virtual drive, the
// disc and tag records as the track view holds them, and a rip context whose
// hooks record what the window would show.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/TagRecord.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/TCDROM.h"
#include "encoders/Encoders.h"
#include "grab/RipSession.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace riptest {

// Track starts 0, 300, 800; lead-out 1100.
inline constexpr int kTrackStarts[] = {0, 300, 800, 1100};

struct RipRig {
    svtest::TempDir dir;
    sv::ManualClock clock;
    std::shared_ptr<sv::DriveCatalog> catalog;
    std::unique_ptr<sv::TCDROM> cdrom;
    std::shared_ptr<sv::VirtualDrive> drive;
    sv::TProgramSettings settings;
    sv::DISC_INFO disc;
    sv::TagBlocks tags;
    std::vector<bool> checked;
    svtest::ScriptedDialogs dialogs;
    svtest::ScriptedEventPump pump;
    std::unique_ptr<sv::TEncoders> encoders;
    std::unique_ptr<sv::RipContext> context;

    // What the hooks saw.
    std::map<int, std::vector<std::string>> statuses;
    std::map<int, int> images;
    std::vector<std::string> calls;  // "volume 255", "priority high", "shutdown", ...

    // `track2Mode` is the CUE mode of the second track ("AUDIO", "MODE1/2352");
    // a `track3Dither` above 0 makes the third track dither whose samples run
    // through -track3Dither..track3Dither.
    explicit RipRig(const std::string& track2Mode = "AUDIO", int track3Dither = 0);
    std::string OutDir() const { return (dir.Path() / "music").string() + "/"; }
    std::string TempFolder() const { return (dir.Path() / "TempFiles").string() + "/"; }
    // The image's bytes of sectors [first, first + count).
    std::vector<std::uint8_t> ImageBytes(int first, int count) const;
    std::string LastStatus(int row) const;
    void Check(std::vector<int> rows);
    sv::RipResult Rip() { return sv::RunRipSession(*context); }
};

// Ignores SIGXFSZ and limits the size of files this process writes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit r = saved_;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*old_)(int) = nullptr;
};

}  // namespace riptest
