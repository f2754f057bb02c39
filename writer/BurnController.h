// BurnController: what the burn window decides, without widgets. It keeps the
// drive list (the writers, then the WAV image entry), turns the disc's state
// into the enabled controls, walks a start through its questions and refusals
// to a ready burn job, asks before erasing, ejects and loads the tray, and
// answers a request to cancel. Every question and message goes through
// IUserDialogs.
//
// The long operations (RunBurn, RunErase) are meant for the write thread: they
// touch only the writer and the cancel flag handed to them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "writer/BurnCompilation.h"
#include "writer/CDWriter.h"
#include "writer/WriteSettings.h"

namespace sv {

class IUserDialogs;

// The text of the drive list's last entry.
inline constexpr const char* kImageEntryText = "WAVE (44,1 kHz 16bit Stereo)";

// Which of the burn window's controls may be used (the menu items follow).
struct BurnControls {
    bool start = false;
    bool test = false;
    bool quickErase = false;
    bool fullErase = false;
    bool eject = false;
    bool operator==(const BurnControls&) const = default;
};

// The rules: quick erase needs a written rewritable disc, full erase any
// rewritable disc; Start a ready blank disc in a drive that writes CD-R; Test
// the image entry, or a Start that is enabled in a drive that can test-write;
// no erase or eject for the image entry. `drive` is null for the image entry.
BurnControls ControlsFor(bool imageMode, const DiscState& disc, const CDROM_INFO* drive);

// One entry of the drive list: a writer's index in the engine's list, or -1
// for the image entry.
struct BurnDriveEntry {
    std::string text;
    int drive = -1;
};
// The drives that write CD-R in enumeration order, then the image entry.
std::vector<BurnDriveEntry> BurnDriveEntries(const TCDWriter& writer);

// The progress window's bars for a progress report (sector a, track start b,
// track end d) of a burn of `totalSectors`: the track bar is 100 - (d - a) /
// ((d - b) / 100), the total bar a / (total / 100); a bar whose divisor is 0
// keeps its value (nothing).
struct ProgressBars {
    std::optional<int> track;
    std::optional<int> total;
};
ProgressBars ProgressBarsFor(std::uint32_t sector, std::uint32_t trackStart, std::uint32_t trackEnd,
                             std::uint32_t totalSectors);

// What the write thread needs to run a burn that Start prepared.
struct BurnJob {
    bool test = false;
    bool imageMode = false;
    int speed = 255;
    std::uint32_t totalSectors = 0;
    std::string imagePath;   // image mode: the WAV file
    std::string caption;     // the progress window's caption (R86 test, R87 burn)
    bool ejectAfter = false; // eject after burning, not for a test or an image
};

// Why Start ended before a burn.
enum class StartEnd {
    Ready,              // the job is set up: run it
    TooLongDeclined,    // No to R79
    Empty,              // R80
    NotConfirmed,       // No to R81
    NoImageFile,        // the image file dialog was cancelled
    ParametersRefused,  // R82
    CueSheetRefused,    // R83
    TooManyTracks,      // more rows than a CD takes
};

class BurnController {
public:
    BurnController(TCDWriter& writer, BurnCompilation& compilation, TWriteSettings& settings, IUserDialogs& dialogs);

    // --- Drive list ---
    const std::vector<BurnDriveEntry>& Entries() const { return entries_; }
    int SelectedEntry() const { return selected_; }
    // The last entry (the WAV image) is selected.
    bool ImageMode() const { return selected_ == static_cast<int>(entries_.size()) - 1; }
    // Selects entry `entry`: the writer behind it (unless it is the image
    // entry) and remembers the entry in the settings. False when the entry
    // does not exist or the drive cannot be selected (the old one stays).
    bool ChangeDrive(int entry);

    // --- State ---
    // Asks the drive for its disc (nothing for the image entry) and returns
    // the enabled controls; remembers the blank and erasable flags.
    BurnControls Refresh();
    const DiscState& Disc() const { return disc_; }
    const BurnControls& Controls() const { return controls_; }

    // --- Start ---
    // Runs Start up to the point where the write thread takes over: R79 from
    // 79 minutes, R80 for an empty list, R81 when asking before disc
    // operations, the writer set up from the compilation, the image file
    // (`askImageName` shows the save dialog) or the write parameters (R82) and
    // the cue sheet (R83). `job` is set for Ready.
    StartEnd PrepareStart(bool test, const std::function<std::optional<std::string>()>& askImageName, BurnJob& job);
    // On the write thread: the burn session (the session is closed and the
    // tray unlocked however the writing ended), then the eject the settings
    // ask for.
    WriteOutcome RunBurn(const BurnJob& job, const std::atomic<bool>& cancel);

    // --- Erase ---
    // The questions before an erase (R75 for a full erase of a blank disc;
    // R95/R96 when started from a control with ask-before set). True: erase.
    bool ConfirmErase(bool full, bool fromControl);
    // On the write thread: BLANK and the wait until the drive is ready again.
    bool RunErase(bool full);

    // --- Tray ---
    // Unlocks the tray, then ejects or loads by the shared toggle counter,
    // which the mechanism status corrects (door open: next is a load; closed
    // and idle: next is an eject). Returns LoadEject's status; Refresh after.
    int EjectOrLoad();
    static int EjectToggle();
    static void ResetEjectToggle();

    // --- Cancel ---
    // A request to close the progress window: with the flag clear, R84 sets
    // it to the answer. The window is never closed by this.
    void AskCancel(std::atomic<bool>& cancel);

private:
    TCDWriter& writer_;
    BurnCompilation& compilation_;
    TWriteSettings& settings_;
    IUserDialogs& dialogs_;
    std::vector<BurnDriveEntry> entries_;
    int selected_ = 0;
    DiscState disc_;
    BurnControls controls_;
};

}  // namespace sv
