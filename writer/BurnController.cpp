#include "writer/BurnController.h"

#include "base/Interaction.h"
#include "base/Language.h"
#include "base/Text.h"
#include "writer/BurnCdText.h"
#include "writer/BurnProject.h"

namespace sv {

namespace {

constexpr int kBlankAskMessage = 75;
constexpr int kTooLongMessage = 79;
constexpr int kEmptyMessage = 80;
constexpr int kStartAskMessage = 81;
constexpr int kParametersMessage = 82;
constexpr int kCueSheetMessage = 83;
constexpr int kCancelMessage = 84;
constexpr int kTestCaptionMessage = 86;
constexpr int kBurnCaptionMessage = 87;
constexpr int kFullEraseMessage = 95;
constexpr int kQuickEraseMessage = 96;

constexpr int kMechanismDoorOpen = 5;
constexpr int kMechanismIdleClosed = 1;

// Shared by every burn window of the process, as the tray is.
std::atomic<int> g_ejectToggle{0};

}  // namespace

BurnControls ControlsFor(bool imageMode, const DiscState& disc, const CDROM_INFO* drive) {
    BurnControls c;
    const int status = disc.ready ? disc.status : 0;
    const bool erasable = disc.ready && disc.erasable;
    c.quickErase = !imageMode && erasable && status != 0;
    c.fullErase = !imageMode && erasable;
    c.start = disc.ready && drive != nullptr && drive->CanWriteCdR() && status == 0;
    c.test = imageMode || (drive != nullptr && drive->CanTestWrite() && c.start);
    c.eject = !imageMode;
    return c;
}

std::vector<BurnDriveEntry> BurnDriveEntries(const TCDWriter& writer) {
    std::vector<BurnDriveEntry> entries;
    for (int i = 0; i < writer.DriveCount(); ++i) {
        const CDROM_INFO& info = writer.Drives()[static_cast<std::size_t>(i)];
        if (info.CanWriteCdR()) entries.push_back({Trim(info.name), i});
    }
    entries.push_back({kImageEntryText, -1});
    return entries;
}

ProgressBars ProgressBarsFor(std::uint32_t sector, std::uint32_t trackStart, std::uint32_t trackEnd,
                             std::uint32_t totalSectors) {
    ProgressBars bars;
    const std::uint32_t trackStep = trackEnd > trackStart ? (trackEnd - trackStart) / 100 : 0;
    if (trackStep != 0) {
        const std::uint32_t left = trackEnd > sector ? trackEnd - sector : 0;
        bars.track = 100 - static_cast<int>(left / trackStep);
    }
    const std::uint32_t totalStep = totalSectors / 100;
    if (totalStep != 0) bars.total = static_cast<int>(sector / totalStep);
    return bars;
}

BurnController::BurnController(TCDWriter& writer, BurnCompilation& compilation, TWriteSettings& settings,
                               IUserDialogs& dialogs)
    : writer_(writer), compilation_(compilation), settings_(settings), dialogs_(dialogs),
      entries_(BurnDriveEntries(writer)) {
    selected_ = settings_.DriveEntryIn(static_cast<int>(entries_.size()));
    const int drive = entries_[static_cast<std::size_t>(selected_)].drive;
    if (drive >= 0 && !writer_.SelectDrive(drive)) selected_ = static_cast<int>(entries_.size()) - 1;
}

bool BurnController::ChangeDrive(int entry) {
    if (entry < 0 || entry >= static_cast<int>(entries_.size())) return false;
    const int drive = entries_[static_cast<std::size_t>(entry)].drive;
    if (drive >= 0 && !writer_.SelectDrive(drive)) return false;
    selected_ = entry;
    settings_.SetDriveEntry(static_cast<std::uint8_t>(entry));
    return true;
}

BurnControls BurnController::Refresh() {
    const CDROM_INFO* drive = nullptr;
    disc_ = DiscState{};
    if (!ImageMode()) {
        const int index = entries_[static_cast<std::size_t>(selected_)].drive;
        drive = &writer_.Drives()[static_cast<std::size_t>(index)];
        disc_ = writer_.QueryDisc();
    }
    controls_ = ControlsFor(ImageMode(), disc_, drive);
    return controls_;
}

StartEnd BurnController::PrepareStart(bool test, const std::function<std::optional<std::string>()>& askImageName,
                                      BurnJob& job) {
    const bool imageMode = ImageMode();
    const CompilationTotals totals = compilation_.Totals();
    if (totals.askBeforeStart && !dialogs_.AskYesNo(LangMessage(kTooLongMessage), MessageIcon::Question))
        return StartEnd::TooLongDeclined;
    if (compilation_.Empty()) {
        dialogs_.ShowMessage(LangMessage(kEmptyMessage), MessageIcon::Information);
        return StartEnd::Empty;
    }
    if (settings_.AskBeforeDiscOperations() &&
        !dialogs_.AskYesNo(LangMessage(kStartAskMessage), MessageIcon::Question))
        return StartEnd::NotConfirmed;

    writer_.ImageMode = imageMode;
    writer_.DecodeAhead = settings_.DecodeWhileWriting();
    writer_.SectorsPerWrite = settings_.SectorsPerWrite();
    const std::vector<std::uint32_t> starts = compilation_.TrackStarts();
    std::vector<std::uint32_t> lengths;
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) lengths.push_back(starts[i + 1] - starts[i]);
    if (!writer_.SetTrackLengths(lengths)) return StartEnd::TooManyTracks;
    writer_.SetSourceFiles(compilation_.SourcePaths());
    // The titles and artists of the files as CD-TEXT (the project keeps no
    // album title or performer: those stay empty).
    writer_.CdTextPacks.clear();
    if (!imageMode && settings_.writeCdText)
        writer_.CdTextPacks = EncodeCdTextPacks(BurnCdText(compilation_.SourcePaths()), 1, static_cast<int>(lengths.size()));

    job = BurnJob{};
    if (imageMode) {
        if (!ChooseImageFile(dialogs_, askImageName, settings_.WriteImageCue(), compilation_, job.imagePath))
            return StartEnd::NoImageFile;
        writer_.ImageFileName = job.imagePath;
        writer_.SetWriteParameters(TCDWriter::kImageModeFlag, nullptr);
    } else {
        if (!writer_.SetWriteParameters(test ? 1 : 0, nullptr)) {
            dialogs_.ShowMessage(LangMessage(kParametersMessage), MessageIcon::Information);
            return StartEnd::ParametersRefused;
        }
        if (!writer_.SendCueSheet()) {
            dialogs_.ShowMessage(LangMessage(kCueSheetMessage), MessageIcon::Warning);
            return StartEnd::CueSheetRefused;
        }
    }
    job.test = test;
    job.imageMode = imageMode;
    job.speed = settings_.WriteSpeed() == 0 ? 255 : settings_.WriteSpeed();
    job.totalSectors = writer_.TrackStart[writer_.TrackCount];
    job.caption = LangMessage(test ? kTestCaptionMessage : kBurnCaptionMessage);
    job.ejectAfter = settings_.EjectAfterBurning() && !test && !imageMode;
    return StartEnd::Ready;
}

WriteOutcome BurnController::RunBurn(const BurnJob& job, const std::atomic<bool>& cancel) {
    const WriteOutcome outcome = writer_.BurnSession(job.speed, cancel);
    if (job.ejectAfter) writer_.LoadEject(true);
    return outcome;
}

bool BurnController::ConfirmErase(bool full, bool fromControl) {
    if (full && disc_.Blank() && !dialogs_.AskYesNo(LangMessage(kBlankAskMessage), MessageIcon::Question))
        return false;
    if (fromControl && settings_.AskBeforeDiscOperations() &&
        !dialogs_.AskYesNo(LangMessage(full ? kFullEraseMessage : kQuickEraseMessage), MessageIcon::Question))
        return false;
    return true;
}

bool BurnController::RunErase(bool full) {
    const bool blanked = writer_.BlankDisc(!full);
    writer_.WaitReady();
    return blanked;
}

int BurnController::EjectOrLoad() {
    writer_.LockMedium(false);
    const int mechanism = writer_.MechanismStatus();
    if (mechanism == kMechanismDoorOpen) g_ejectToggle = 1;
    else if (mechanism == kMechanismIdleClosed) g_ejectToggle = 0;
    const int status = writer_.LoadEject(g_ejectToggle % 2 == 0);
    ++g_ejectToggle;
    return status;
}

int BurnController::EjectToggle() { return g_ejectToggle; }
void BurnController::ResetEjectToggle() { g_ejectToggle = 0; }

void BurnController::AskCancel(std::atomic<bool>& cancel) {
    if (!cancel && dialogs_.AskYesNo(LangMessage(kCancelMessage), MessageIcon::Question)) cancel = true;
}

}  // namespace sv
