#include "app/MainForm.h"

#include <filesystem>

#include "app/DesktopIntegration.h"
#include "app/WindowTexts.h"
#include "base/Paths.h"

namespace sv {

namespace {

// The eject command's toggle counter lives as long as the process.
int g_ejectCounter = 0;

}  // namespace

std::uint32_t ListColorFor(std::uint32_t controlColor) {
    return controlColor == kDefaultControlColor ? kDefaultWindowColor : controlColor;
}

std::vector<ToolButtonPlace> LayoutToolButtons(const TProgramSettings& s, int buttonWidth) {
    const bool visible[10] = {true,
                              true,
                              s.ShowWmaButton(),
                              s.ShowWaveButton(),
                              s.ShowBurnButton(),
                              true,
                              s.ShowConvertButton(),
                              s.ShowFreeDBButton(),
                              true,
                              s.ShowPlayerButton()};
    std::vector<ToolButtonPlace> places;
    int position = 0;
    for (std::size_t i = 0; i < kToolButtons.size(); ++i) {
        ToolButtonPlace p{kToolButtons[i], visible[i], 0};
        if (p.visible) p.x = buttonWidth * position++ + 2;
        places.push_back(p);
    }
    return places;
}

CommandStates CommandStatesFor(bool flag, bool discPresent) {
    CommandStates c;
    c.selectAll = c.selectNone = c.grab = c.play = c.pause = c.eject = c.previous = c.next = flag;
    c.lookup = c.settings = c.convert = c.playSelected = c.artistAlbum = c.tags = c.volume = flag;
    if (discPresent) {
        c.stop = true;
        c.burn = flag;
    } else {
        c.tags = false;
        c.stop = false;
        c.eject = c.burn = c.settings = c.convert = true;
    }
    c.driveBox = c.eject;
    return c;
}

TMainForm::TMainForm(Services services)
    : view_(services.view), drives_(services.drives), dialogs_(services.dialogs), where_(std::move(services.where)) {}

TMainForm::~TMainForm() {
    if (GlobalLanguage() == &language_) SetGlobalLanguage(nullptr);
}

void TMainForm::Construct() {
    state_ = MainState::msIdle;
    grabHintPrefix_ = MainWindowTexts().Russian("GrabHintPrefix");
    compressPrefix_ = MainWindowTexts().Russian("CompressPrefix");
    disc_.Clear();
    settings_.Clear();
    SetupLanguages();
    drives_.SetUseSpti(false);  // the generic SCSI layer is preferred until the settings say otherwise
    driveBoxIndex_ = -1;
    profiles_.Load(where_.settingsFolder);
    LoadSettings(profiles_.CurrentFileName());
    const auto names = drives_.DriveNames();
    if (settings_.CurrentDrive() >= names.size()) settings_.SetCurrentDrive(0);
    driveBoxIndex_ = names.empty() ? -1 : settings_.CurrentDrive();
    view_.SetDriveNames(names, driveBoxIndex_);
    drives_.SetUseSpti(settings_.UseSPTI());
    if (!names.empty()) drives_.SelectDrive(settings_.CurrentDrive(), settings_.ReadCommand(settings_.CurrentDrive()));
    RefreshDisc();
}

void TMainForm::SetupLanguages() {
    const std::string folder = where_.programFolder + "lang/";
    EnsureBuiltinLanguageFiles(folder);
    language_.SetFiles(BuildLanguageFileList(folder));
    SetGlobalLanguage(&language_);
    languageMenu_ = BuildLanguageMenu(language_);
}

void TMainForm::ApplyMainWindowTexts() {
    // Without a loaded language every lookup is empty; the window then keeps
    // the texts it has rather than losing every caption.
    if (language_.CurrentIndex() < 0) return;
    const WindowTexts& table = MainWindowTexts();
    std::vector<std::string> values;
    if (language_.SeekSection(table.section)) {
        int n = 2;
        for (std::size_t i = 0; i < table.texts.size(); ++i) values.push_back(language_.GetText(n++));
    } else {
        values.assign(table.texts.size(), std::string());
    }
    for (std::size_t i = 0; i < table.texts.size(); ++i) {
        const auto& t = table.texts[i];
        if (t.target != TextTarget::Value) continue;
        if (std::string_view(t.object) == "GrabHintPrefix") grabHintPrefix_ = values[i];
        if (std::string_view(t.object) == "CompressPrefix") compressPrefix_ = values[i];
    }
    view_.ApplyTexts(table, values);
    UpdateGrabHint();
}

void TMainForm::ChooseLanguage(int tag) {
    checkedLanguage_ = tag;
    std::string name = "Russian";
    for (const auto& e : languageMenu_)
        if (e.tag == tag) name = e.name;
    settings_.SetLanguageName(name);
    language_.LoadLanguage(tag);
    view_.SetLanguageMenu(languageMenu_, checkedLanguage_);
    ApplyMainWindowTexts();
}

void TMainForm::ApplyLanguageFromSettings() {
    const std::string name = settings_.LanguageName();
    if (name != "Russian") {
        const int tag = FindLanguageTag(languageMenu_, name);
        if (tag >= 0) {
            checkedLanguage_ = tag;
            language_.LoadLanguage(tag);
        } else {
            checkedLanguage_ = -1;
            language_.Unload();
        }
    } else {
        checkedLanguage_ = 0;
        language_.LoadLanguage(0);
    }
    view_.SetLanguageMenu(languageMenu_, checkedLanguage_);
    ApplyMainWindowTexts();
}

void TMainForm::UpdateGrabHint() {
    view_.SetGrabHint(grabHintPrefix_ + (settings_.Mp3AsOgg() ? "OGG" : "MP3"));
}

void TMainForm::RelayToolButtons() { view_.PlaceToolButtons(LayoutToolButtons(settings_, view_.ToolButtonWidth())); }

void TMainForm::ApplyWindowFromSettings() {
    view_.SetColors({settings_.WindowColor(), settings_.ControlColor(), ListColorFor(settings_.ControlColor()),
                     settings_.PlayBarColor()});
    UpdateGrabHint();
    view_.SetGridLines(settings_.ShowGrid());
}

void TMainForm::LoadSettings(const std::string& name) {
    settings_ = LoadSettingsFile(where_, name);
    ApplyWindowFromSettings();
    drives_.SetUseSpti(settings_.UseSPTI());
    if (!drives_.UseSpti() && !drives_.DriveNames().empty())
        drives_.SelectDrive(settings_.CurrentDrive(), settings_.ReadCommand(settings_.CurrentDrive()));
    const StoredWindowValues stored = ReadStoredWindowValues();
    IMainView::Geometry g = view_.WindowGeometry();
    if (stored.left) g.left = *stored.left;
    if (stored.top) g.top = *stored.top;
    if (stored.width && *stored.width > 0) g.width = *stored.width;
    if (stored.height && *stored.height > 0) g.height = *stored.height;
    view_.SetWindowGeometry(g);
    playerPath_ = stored.playerPath;
    if (!IsExecutableFile(playerPath_)) playerPath_ = FindDesktopMp3Player();
    if (!IsExecutableFile(playerPath_)) playerPath_.clear();
    std::array<int, 5> widths{};
    for (int i = 0; i < 5; ++i) widths[static_cast<std::size_t>(i)] = settings_.ColumnWidth(i);
    view_.SetColumnWidths(widths);
    view_.SetVolumeBar(settings_.Volume());
    RelayToolButtons();
    ApplyLanguageFromSettings();
}

bool TMainForm::SaveSettings(const std::string& name) {
    const IMainView::Geometry g = view_.WindowGeometry();
    WriteStoredWindowValues(g.top, g.left, g.width, g.height, playerPath_);
    const auto widths = view_.ColumnWidths();
    for (int i = 0; i < 5; ++i) settings_.SetColumnWidth(i, static_cast<std::int16_t>(widths[static_cast<std::size_t>(i)]));
    std::error_code ec;
    std::filesystem::create_directories(where_.settingsFolder, ec);
    profiles_.Save(where_.settingsFolder);
    for (const auto& e : languageMenu_)
        if (e.tag == checkedLanguage_) settings_.SetLanguageName(e.name);
    return SaveSettingsFile(where_, name, settings_);
}

bool TMainForm::SaveSettingsForCurrentProfile() { return SaveSettings(profiles_.CurrentFileName()); }

void TMainForm::Shutdown() {
    if (state_ != MainState::msIdle) Stop();
    SaveSettingsForCurrentProfile();
    std::error_code ec;
    std::filesystem::remove(TempFolder(), ec);  // only succeeds when empty
}

void TMainForm::EnableCommands(bool flag) {
    commands_ = CommandStatesFor(flag, discPresent_);
    view_.SetCommandStates(commands_);
}

void TMainForm::RefreshCommand() {
    if (state_ == MainState::msGrabbing || state_ == MainState::msEncoding) return;
    RefreshDisc();
}

void TMainForm::RefreshDisc() {
    view_.SetPollTimer(false);
    audioPresent_ = false;
    view_.SetDriveNames(drives_.DriveNames(), driveBoxIndex_);
    if (state_ != MainState::msPlaying) state_ = MainState::msIdle;
    view_.ClearPanels();
    discPresent_ = drives_.ReadDisc(settings_, disc_, dialogs_);
    view_.SetVolumeBar(settings_.Volume());
    tags_.EnsureCount(discPresent_ ? disc_.TrackCount() : 0);
    view_.SetCaption(kCaption);
    view_.SetPollTimer(true);
    if (!discPresent_) {
        EnableCommands(false);
        return;
    }
    EnableCommands(true);
    for (int i = 0; i < disc_.TrackCount(); ++i)
        if (disc_.Track(i).AudioFlag()) audioPresent_ = true;
    if (!audioPresent_) {
        discPresent_ = false;
        EnableCommands(false);
        discPresent_ = true;
    }
}

void TMainForm::Stop() {
    if (state_ == MainState::msGrabbing) {
        state_ = MainState::msIdle;
        return;
    }
    state_ = MainState::msIdle;
    drives_.StopPlay();
}

void TMainForm::Poll() {
    if (playBarDragged_) return;
    if (state_ != MainState::msIdle && state_ != MainState::msPaused && state_ != MainState::msPlaying) return;
    const bool ready = drives_.TestUnitReady();
    if (ready != lastReady_) {
        if (trackPropertiesOpen_) return;
        lastReady_ = !lastReady_;
        Stop();
        RefreshDisc();
    }
}

void TMainForm::DriveBoxChanged(int index) {
    if (index == settings_.CurrentDrive() && index == driveBoxIndex_) return;
    Stop();
    settings_.SetCurrentDrive(static_cast<std::uint8_t>(index < 0 ? 0 : index));
    driveBoxIndex_ = index;
    drives_.SelectDrive(index, settings_.ReadCommand(index));
    RefreshDisc();
}

void TMainForm::Eject(bool senderIsGrabButton) {
    if (state_ != MainState::msIdle) Stop();
    if (senderIsGrabButton) g_ejectCounter = 0;
    const TrayState tray = drives_.Tray();
    if (tray == TrayState::DoorOpen) g_ejectCounter = 1;
    if (tray == TrayState::DoorClosedIdle) g_ejectCounter = 0;
    if (g_ejectCounter % 2 == 0)
        drives_.Eject();
    else
        drives_.Load();
    ++g_ejectCounter;
    RefreshDisc();
}

void TMainForm::EscapePressed() { view_.Minimise(); }

void TMainForm::MediaPlayerCommand() {
    if (playerPath_.empty()) {
        if (!dialogs_.AskYesNo(LangMessage(15), MessageIcon::Question)) return;
        const auto picked = dialogs_.PickFile(LangMessage(15), "");
        if (!picked) return;
        if (!IsExecutableFile(*picked)) {
            dialogs_.ShowMessage(LangMessage(16), MessageIcon::Warning);
            return;
        }
        playerPath_ = *picked;
    }
    StartProgram(playerPath_);
}

void TMainForm::SettingsCommand() {
    const TProgramSettings before = settings_;
    TProgramSettings working = settings_;
    DISC_INFO workingDisc = disc_;
    if (!view_.RunSettingsDialog(working, workingDisc)) return;
    settings_ = working;
    disc_ = workingDisc;
    ApplySettingsDialogResult(before);
}

void TMainForm::ApplySettingsDialogResult(const TProgramSettings& before) {
    bool refresh = false;
    if (settings_.CurrentDrive() != driveBoxIndex_ && !drives_.DriveNames().empty()) {
        driveBoxIndex_ = settings_.CurrentDrive();
        view_.SetDriveNames(drives_.DriveNames(), driveBoxIndex_);
        refresh = true;
    }
    const bool transportChanged = drives_.UseSpti() != settings_.UseSPTI();
    drives_.SetUseSpti(settings_.UseSPTI());
    if (transportChanged) refresh = true;
    if (!drives_.DriveNames().empty())
        drives_.SelectDrive(settings_.CurrentDrive(), settings_.ReadCommand(settings_.CurrentDrive()));
    view_.SetGridLines(settings_.ShowGrid());
    if (before.DigitalPlayback() != settings_.DigitalPlayback() && state_ == MainState::msPlaying) {
        const bool now = settings_.DigitalPlayback();
        settings_.SetDigitalPlayback(before.DigitalPlayback());
        Stop();
        settings_.SetDigitalPlayback(now);
    }
    RelayToolButtons();
    ApplyWindowFromSettings();
    if (before.LocalCddbDir() != settings_.LocalCddbDir()) refresh = true;
    view_.SetVolumeBar(settings_.Volume());
    UpdateGrabHint();
    if (refresh) RefreshDisc();
}

}  // namespace sv
