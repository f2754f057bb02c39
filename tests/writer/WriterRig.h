// Shared pieces of the writer tests: a drive catalog of virtual writers (made
// from writer lines, optionally behind device nodes that do not answer) with
// the writer engine on it, CD-format test files, a burn as the burn window
// runs it, and a listener that records what the burn reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/VirtualWriter.h"
#include "support/TempDir.h"
#include "writer/CDWriter.h"

namespace wtest {

using Bytes = std::vector<std::uint8_t>;

// A clock that moves only when slept on, and runs a hook at every sleep.
class HookClock final : public sv::IClock {
public:
    std::int64_t NowMs() override { return now_; }
    void SleepMs(std::int64_t ms) override {
        now_ += ms;
        ++sleeps_;
        if (onSleep) onSleep();
    }
    int Sleeps() const { return sleeps_; }
    std::function<void()> onSleep;

private:
    std::int64_t now_ = 0;
    int sleeps_ = 0;
};

struct Rig {
    HookClock clock;
    svtest::TempDir dir;
    std::shared_ptr<sv::DriveCatalog> catalog;
    std::unique_ptr<sv::TCDWriter> writer;
    // The virtual writer behind drive `index` of the writer's list.
    sv::VirtualWriter& Drive(int index = 0) const;
    std::string BurnFolder() const { return dir.Slash() + "burns/"; }
};

// A catalog of the virtual writers of `lines` ("writer cdr ...", each given a
// folder "burns" in the rig's folder) and a writer engine on it. With
// `deadNodes`, /dev/sr0 and /dev/sr1 exist but answer nothing (real drives
// the generic driver does not see: the pass-through transport is used).
std::unique_ptr<Rig> MakeRig(const std::vector<std::string>& lines, bool deadNodes = false);

// `bytes` of the drive tests' sector pattern (never silence), per `seed`.
Bytes PatternPcm(std::size_t bytes, std::uint32_t seed);

// What a burn reports, and a cancel it can press.
struct Recorder final : sv::IWriteListener {
    std::string status;
    std::vector<std::string> statuses;
    std::vector<std::uint32_t> sectors;
    std::vector<int> errors;
    std::vector<int> tracksWritten;
    std::atomic<bool> cancel{false};
    int cancelAfterBlocks = -1;  // sets cancel at this progress call
    std::string SetStatus(const std::string& text) override;
    void Progress(std::uint32_t sector, std::uint32_t trackStart, int writeErrors, std::uint32_t trackEnd) override;
    void TrackWritten(int track) override { tracksWritten.push_back(track); }
};

// A burn as the burn window starts it: the files and track lengths, the
// write parameters (test flag), the cue sheet, then the burn session at
// `speed`. Setup failures end it before the session.
struct BurnResult {
    bool parameters = false, cueSheet = false;
    sv::WriteOutcome outcome = sv::WriteOutcome::SourceFailed;
};
BurnResult Burn(sv::TCDWriter& writer, const std::vector<std::string>& files, const std::vector<std::uint32_t>& lengths,
                Recorder& recorder, std::uint8_t test = 0, int speed = 255);

// Runs a tool (no shell) and expects it to succeed; its standard output.
std::string RunTool(const std::vector<std::string>& args);

// The CDB bytes of every recorded command.
std::vector<Bytes> CdbsOf(const std::vector<sv::RecordedCommand>& log);

}  // namespace wtest
