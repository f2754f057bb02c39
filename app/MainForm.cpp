#include "app/MainForm.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/DesktopIntegration.h"
#include "app/MimeApps.h"
#include "app/RipVerification.h"
#include "app/WindowTexts.h"
#include "base/Paths.h"
#include "cdrom/AudioReader.h"
#include "cdrom/CdText.h"
#include "cdrom/ReadCommands.h"
#include "cdrom/Toc.h"
#include "metadata/CddbLookup.h"
#include "metadata/MusicBrainzId.h"
#include "metadata/TitleLookup.h"
#include "metadata/DiscId.h"
#include "grab/SystemActions.h"

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
    : view_(services.view),
      drives_(services.drives),
      dialogs_(services.dialogs),
      pump_(services.pump),
      digital_(services.digital),
      mixer_(services.mixer),
      soundProblem_(std::move(services.soundProblem)),
      where_(std::move(services.where)),
      lameLibrary_(std::move(services.lameLibrary)),
      lookupOnInsertion_(services.lookupOnInsertion) {}

// The worker thread of an insertion lookup and its cancel flag (set by a new
// disc, the lookup button and the window's end).
struct TMainForm::InsertionLookup {
    class CancelFlag final : public IEventPump {
    public:
        void ProcessPendingEvents() override {}
        bool CancelRequested() const override { return cancel.load(); }
        std::atomic<bool> cancel{false};
    } pump;
    std::atomic<bool> done{false};  // the thread has nothing left to do but end
    std::thread thread;
};

TMainForm::~TMainForm() {
    StopInsertionLookup(true);
    if (GlobalLanguage() == &language_) SetGlobalLanguage(nullptr);
}

void TMainForm::Construct() {
    state_ = MainState::msIdle;
    const WindowTexts& texts = MainWindowTexts();
    grabHintPrefix_ = texts.Russian("GrabHintPrefix");
    compressPrefix_ = texts.Russian("CompressPrefix");
    dataCaption_ = texts.Russian("DataTrack");
    trackHint_ = texts.Russian("TrackPanel", TextTarget::ToolTip);
    timeHint_ = texts.Russian("TimePanel", TextTarget::ToolTip);
    sizeHint_ = texts.Russian("SizePanel", TextTarget::ToolTip);
    titleColumn_ = texts.Russian("ListView", TextTarget::Column, 0);
    disc_.Clear();
    settings_.Clear();
    SetupLanguages();
    encoders_ = std::make_unique<TEncoders>(&dialogs_, lameLibrary_);
    encoders_->Flac().SetLevel(FlacLevel());
    drives_.SetUseSpti(false);  // the generic SCSI layer is preferred until the settings say otherwise
    driveBoxIndex_ = -1;
    LoadProfileList();
    const auto names = drives_.DriveNames();
    if (settings_.CurrentDrive() >= names.size()) settings_.SetCurrentDrive(0);
    driveBoxIndex_ = names.empty() ? -1 : settings_.CurrentDrive();
    view_.SetDriveNames(names, driveBoxIndex_);
    drives_.SetUseSpti(settings_.UseSPTI());
    if (!names.empty()) drives_.SelectDrive(settings_.CurrentDrive(), settings_.ReadCommand(settings_.CurrentDrive()));
    albums_.SetFolder(where_.settingsFolder + "albums/");
    albums_.SetLocalDatabase(&localDb_);
    ApplyMetadataFolders();
    artists_ = GatherArtists(albums_, localDb_, [this](int index, int total) { view_.ShowArtistScan(index, total); });
    view_.ShowArtistScan(0, -1);
    view_.SetArtistList(artists_);
    if (mixer_) mixer_->SetMute(false);
    if (settings_.DigitalPlayback()) Digital();  // says now when there is no sound output
    RefreshDisc();
}

void TMainForm::ApplyMetadataFolders() { ApplyMetadataSettings(settings_, localDb_, albums_); }

void TMainForm::ShowProfileMenu() {
    std::vector<std::string> captions;
    for (const auto& p : profiles_.Profiles()) captions.push_back(ProfileList::Caption(p));
    view_.SetProfileMenu(captions, profiles_.CurrentIndex());
}

void TMainForm::LoadProfileList() {
    profiles_.Load(where_.settingsFolder);
    LoadSettings(profiles_.CurrentFileName());
    ShowProfileMenu();
    const auto names = drives_.DriveNames();
    if (!names.empty() && driveBoxIndex_ >= 0 && driveBoxIndex_ != settings_.CurrentDrive()) {
        if (settings_.CurrentDrive() >= names.size()) settings_.SetCurrentDrive(0);
        drives_.SelectDrive(settings_.CurrentDrive(), settings_.ReadCommand(settings_.CurrentDrive()));
        RefreshDisc();
    }
}

void TMainForm::SaveProfileCommand() {
    if (Busy()) return;
    if (static_cast<int>(profiles_.Profiles().size()) >= ProfileList::kMaxProfiles) {
        dialogs_.ShowMessage(LangMessage(21), MessageIcon::Information);
        return;
    }
    std::vector<std::string> captions;
    for (const auto& p : profiles_.Profiles()) captions.push_back(ProfileList::Caption(p));
    std::string typed;
    for (;;) {
        const auto name = dialogs_.AskText(LangMessage(22), captions, typed);
        if (!name) return;
        typed = *name;
        const std::string file = ProfileList::FileNameFor(typed);
        if (file.empty()) return;
        int index = profiles_.Find(file);
        if (index >= 0 && !dialogs_.AskYesNo(LangMessage(23), MessageIcon::Question)) continue;
        if (index < 0) index = profiles_.Add(file);
        if (index < 0) return;
        profiles_.SetCurrentIndex(index);
        ShowProfileMenu();
        SaveSettingsForCurrentProfile();
        return;
    }
}

void TMainForm::SelectProfile(int tag) {
    if (Busy()) return;
    if (state_ != MainState::msIdle) Stop();
    if (tag >= static_cast<int>(profiles_.Profiles().size())) return;
    profiles_.SetCurrentIndex(tag < 0 ? -1 : tag);
    profiles_.Save(where_.settingsFolder);
    LoadSettings(profiles_.CurrentFileName());
    ShowProfileMenu();
    ComputeSizes();
}

void TMainForm::DeleteProfileCommand() {
    if (Busy()) return;
    const auto& list = profiles_.Profiles();
    if (list.empty()) return;
    const auto chosen = dialogs_.ChooseFromList(LangMessage(24), list, 0);
    if (!chosen || *chosen < 0 || *chosen >= static_cast<int>(list.size())) return;
    if (!dialogs_.AskYesNo(LangMessage(25), MessageIcon::Question)) return;
    const std::string file = list[static_cast<std::size_t>(*chosen)];
    if (profiles_.CurrentIndex() >= *chosen) profiles_.SetCurrentIndex(profiles_.CurrentIndex() - 1);
    profiles_.Remove(*chosen);
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(where_.settingsFolder) / file, ec);
    SaveSettingsForCurrentProfile();
    LoadProfileList();
}

void TMainForm::SetupLanguages() {
    const std::string folder = where_.programFolder + "lang/";
    EnsureBuiltinLanguageFiles(folder);
    language_.SetFiles(BuildLanguageFileList(folder));
    SetGlobalLanguage(&language_);
    languageMenu_ = BuildLanguageMenu(language_);
    // Russian until the settings name another language, so that messages
    // shown while starting (a missing codec library) have their texts.
    language_.LoadLanguage(0);
}

void TMainForm::ApplyMainWindowTexts() {
    view_.SetLanguageName(settings_.LanguageName());
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
        if (t.target == TextTarget::ToolTip && std::string_view(t.object) == "TrackPanel") trackHint_ = values[i];
        if (t.target == TextTarget::Column && t.index == 0 && std::string_view(t.object) == "ListView")
            titleColumn_ = values[i];
        if (t.target == TextTarget::ToolTip && std::string_view(t.object) == "TimePanel") timeHint_ = values[i];
        if (t.target == TextTarget::ToolTip && std::string_view(t.object) == "SizePanel") sizeHint_ = values[i];
        if (t.target != TextTarget::Value) continue;
        if (std::string_view(t.object) == "GrabHintPrefix") grabHintPrefix_ = values[i];
        if (std::string_view(t.object) == "CompressPrefix") compressPrefix_ = values[i];
        if (std::string_view(t.object) == "DataTrack") dataCaption_ = values[i];
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
    // The rows and panels speak the new language too.
    if (!discPresent_) return;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        TrackRow& row = rows_[i];
        if (row.audio)
            row.status = RowStatus(row.checked, disc_.Track(static_cast<int>(i)).DoneFlag(), LangMessage(3), LangMessage(4));
        else row.caption = dataCaption_;
        view_.UpdateTrackRow(static_cast<int>(i), row);
    }
    ComputeSizes();
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
    playBar_.SetColor(settings_.PlayBarColor());
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
    std::string lastPlayer = ReadLastPlayer();
    if (ApplyAudioCdAssociation(settings_.AudioCDAssociation(), UserMimeAppsPath(), lastPlayer)) WriteLastPlayer(lastPlayer);
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
    StopInsertionLookup(true);
    if (state_ != MainState::msIdle) Stop();
    StoreAlbum();
    SaveSettingsForCurrentProfile();
    std::error_code ec;
    std::filesystem::remove(TempFolder(), ec);  // only succeeds when empty
}

void TMainForm::EnableCommands(bool flag) {
    commands_ = CommandStatesFor(flag, discPresent_);
    commands_.idle = !Busy();
    commands_.closeImage = commands_.idle && drives_.IsImage(settings_.CurrentDrive());
    view_.SetCommandStates(commands_);
}

void TMainForm::EnableCommandsForDisc() {
    EnableCommands(discPresent_);
    if (discPresent_ && !audioPresent_) {
        // A disc without audio: the commands of an empty drive (eject,
        // settings, convert, burn), with the disc still counted as present.
        discPresent_ = false;
        EnableCommands(false);
        discPresent_ = true;
    }
}

bool TMainForm::Busy() const {
    return longCommand_ || state_ == MainState::msGrabbing || state_ == MainState::msEncoding;
}

void TMainForm::RequestCancel() {
    if (longCommand_) longCommand_->RequestCancel();
    if (state_ == MainState::msGrabbing || state_ == MainState::msEncoding) state_ = MainState::msIdle;
}

void TMainForm::ResetCaption() {
    view_.SetCaption(kCaption);
    view_.SetApplicationTitle(kCaption);
}

void TMainForm::RefreshCommand() {
    if (Busy()) return;
    RefreshDisc();
}

std::optional<int> TMainForm::DetectReadOffsetCommand() {
    auto text = [this](const char* key) { return WindowValue(OtherTexts(), key, language_, settings_.LanguageName()); };
    TCDROM* cdrom = drives_.Cdrom();
    OffsetDetection d;
    if (!cdrom || !discPresent_ || !audioPresent_ || Busy()) {
        d.reason = LangMessage(72);
    } else {
        VerifyOptions options = ConfiguredVerifyOptions(settings_);
        options.pump = &pump_;
        d = DetectReadOffset(*cdrom, disc_, options);
    }
    std::string message = text(d.found ? "OffsetFound" : "OffsetNotFound");
    if (d.found) {
        ReplaceAll(message, "%1", (d.offset > 0 ? "+" : "") + std::to_string(d.offset));
        ReplaceAll(message, "%2", std::to_string(d.tracks));
        ReplaceAll(message, "%3", std::to_string(d.confidence));
    } else {
        ReplaceAll(message, "%1", d.reason);
    }
    dialogs_.ShowMessage(message, d.found ? MessageIcon::Information : MessageIcon::Warning);
    if (!d.found) return std::nullopt;
    return d.offset;
}

void TMainForm::AcceptTrackProperties(const DISC_INFO& disc) {
    disc_ = disc;
    StoreAlbum();
}

void TMainForm::StoreAlbum() {
    if (!discPresent_) return;
    if (albums_.SaveAlbum(disc_, tags_, disc_.Artist(), disc_.Album(), &artists_)) view_.SetArtistList(artists_);
}

void TMainForm::RefreshDisc() {
    ++refreshes_;
    view_.SetPollTimer(false);
    audioPresent_ = false;
    const auto names = drives_.DriveNames();
    if (!names.empty() && settings_.CurrentDrive() < names.size()) driveBoxIndex_ = settings_.CurrentDrive();
    view_.SetDriveNames(names, driveBoxIndex_);
    StoreAlbum();
    if (state_ != MainState::msPlaying) state_ = MainState::msIdle;
    SetVolume(settings_.Volume());  // a new disc or drive plays at the stored volume
    view_.ClearPanels();
    view_.SetArtistAlbum("", "");
    tags_.EnsureCount(0);
    AlbumSource source = kNoAlbum;
    const auto albumHook = [this, &source](DISC_INFO& disc, std::span<const std::uint8_t> toc) {
        const auto parsed = ParseRawToc(toc);
        if (!parsed) return kNoAlbum;
        StoreDiscId(disc, ComputeDiscId(*parsed));
        return source = albums_.LoadAlbum(disc, tags_, disc.DiscId());
    };
    discPresent_ = drives_.ReadDisc(settings_, disc_, dialogs_, albumHook);
    // A disc neither the album cache nor the local database knows: the
    // titles it carries itself, until a lookup finds better ones.
    bool unnamed = discPresent_ && source == kNoAlbum;
    if (unnamed)
        if (const auto text = drives_.LastCdText()) {
            tags_.EnsureCount(disc_.TrackCount());
            ApplyCdText(*text, disc_, &tags_);
            unnamed = false;
        }
    view_.SetVolumeBar(settings_.Volume());
    rows_.clear();
    view_.ShowTracks(rows_);
    ResetCaption();
    view_.SetPollTimer(true);
    if (!discPresent_) {
        tags_.EnsureCount(0);
        view_.SetDiscIds({});
        EnableCommands(false);
        return;
    }
    tags_.EnsureCount(disc_.TrackCount());
    view_.SetArtistAlbum(disc_.Artist(), disc_.Album());
    audioPresent_ = HasAudioTrack(disc_);
    EnableCommandsForDisc();
    FillTrackView();
    ComputeSizes();
    if (const auto toc = ParseRawToc(drives_.LastToc()))
        view_.SetDiscIds("CDDB: " + DiscIdUpperHex(ComputeDiscId(*toc)) + "\nMusicBrainz: " + MusicBrainzDiscId(*toc));
    if (unnamed && audioPresent_) StartInsertionLookup();
}

namespace {

// Artist, album and track titles alike: what a lookup would replace is what
// the user saw when it started.
bool SameTitles(const DISC_INFO& a, const DISC_INFO& b) {
    if (a.Artist() != b.Artist() || a.Album() != b.Album() || a.TrackCount() != b.TrackCount()) return false;
    for (int k = 0; k < a.TrackCount() && k < DISC_INFO::kMaxTracks; ++k)
        if (a.TrackCopy(k).Title() != b.TrackCopy(k).Title()) return false;
    return true;
}

}  // namespace

void TMainForm::StartInsertionLookup() {
    StopInsertionLookup();
    if (!lookupOnInsertion_) return;
    const auto toc = ParseRawToc(drives_.LastToc());
    if (!toc) return;
    const QuietLookupSettings lookup =
        QuietLookupSettingsOf(settings_, StoredLookupSource(), MusicBrainzServer(), CddbGreetingAddress());
    const int generation = refreshes_;
    // What the user sees now; titles that arrive replace only these.
    const DISC_INFO shown = disc_;
    insertionLookup_ = std::make_unique<InsertionLookup>();
    InsertionLookup* job = insertionLookup_.get();
    job->thread = std::thread([this, job, toc = *toc, lookup, generation, shown] {
        QuietLookup found = LookUpQuietly(toc, lookup, job->pump);
        job->done = true;
        if (job->pump.CancelRequested() || found.source.empty()) return;
        view_.RunLater([this, toc, generation, shown, found = std::move(found)] {
            if (generation != refreshes_ || !discPresent_) return;  // another disc by now
            // A grab under way, or titles the user typed: the lookup button
            // is there to fetch them again.
            if (state_ != MainState::msIdle || Busy() || !SameTitles(shown, disc_)) {
                view_.ShowStatusMessage(FormatMessage(LookupText(kTextFoundNotApplied), found.source));
                return;
            }
            tags_.EnsureCount(disc_.TrackCount());
            if (!ApplyQuietLookup(found, toc, disc_, tags_)) return;
            StoreAlbum();
            ShowLookedUpTitles();
            view_.ShowStatusMessage(FormatMessage(LookupText(kTextAnswered), found.source) +
                                    (found.choices > 1 ? " " + FormatMessage(LookupText(kTextOtherChoices),
                                                                             std::to_string(found.choices))
                                                       : std::string()));
        });
    });
}

void TMainForm::StopInsertionLookup(bool wait) {
    if (insertionLookup_) {
        insertionLookup_->pump.cancel = true;
        // A server that does not answer may keep the thread a while (up to
        // the time-out of a connection): the window goes on meanwhile.
        retiredLookups_.push_back(std::move(insertionLookup_));
    }
    std::erase_if(retiredLookups_, [wait](std::unique_ptr<InsertionLookup>& job) {
        if (!wait && !job->done) return false;
        if (job->thread.joinable()) job->thread.join();
        return true;
    });
}

void TMainForm::WaitForInsertionLookup() {
    if (insertionLookup_ && insertionLookup_->thread.joinable()) insertionLookup_->thread.join();
}

void TMainForm::ShowLookedUpTitles() {
    tags_.EnsureCount(disc_.TrackCount());
    view_.SetArtistAlbum(disc_.Artist(), disc_.Album());
    view_.SetArtistList(artists_);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].audio) continue;
        rows_[i].caption = disc_.Track(static_cast<int>(i)).Title();
        view_.UpdateTrackRow(static_cast<int>(i), rows_[i]);
    }
}

void TMainForm::FillTrackView() {
    rows_ = BuildTrackRows(disc_, dataCaption_, LangMessage(3), LangMessage(4));
    view_.ShowTracks(rows_);
}

void TMainForm::ComputeSizes() {
    double ratio = 1.0;
    if (settings_.UseLameEncoder()) {
        ratio = CompressionRatio(settings_);
    } else if (const AcmFormatDetails* f =
                   encoders_->WinMp3().Format(settings_.Mp3AcmCodecIndex(), settings_.Mp3AcmFormatIndex())) {
        ratio = CompressionRatio(settings_, static_cast<int>(f->format.AvgBytesPerSec()), f->format.Channels(),
                                 static_cast<int>(f->format.SamplesPerSec()));
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].audio) continue;
        rows_[i].compressed = CompressedSizeText(disc_.TrackCopy(static_cast<int>(i)).SizeBytes(), ratio);
        view_.UpdateTrackRow(static_cast<int>(i), rows_[i]);
    }
    char count[16];
    std::snprintf(count, sizeof count, "%d", static_cast<int>(rows_.size()));
    view_.SetPanelTexts(discPresent_ ? trackHint_ + ": " + count : std::string(),
                        discPresent_ ? timeHint_ + ": " + TotalTime(disc_) : std::string(),
                        SizePanelText(sizeHint_, disc_, ratio, settings_.SizeDisplayAlt()));
    view_.SetSizeIndicator(settings_.SizeDisplayAlt() ? 2 : 1);
}

void TMainForm::TrackChecked(int index, bool checked) {
    if (index < 0 || index >= static_cast<int>(rows_.size())) return;
    TrackRow& row = rows_[static_cast<std::size_t>(index)];
    if (!row.audio) return;
    row.checked = checked;
    row.status = RowStatus(checked, disc_.Track(index).DoneFlag(), LangMessage(3), LangMessage(4));
    view_.UpdateTrackRow(index, row);
}

void TMainForm::SelectAll(bool checked) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) TrackChecked(i, checked);
}

void TMainForm::RenameTrackCommand(int index, const std::string& title) {
    if (index < 0 || index >= static_cast<int>(rows_.size()) || !rows_[static_cast<std::size_t>(index)].audio) return;
    RenameTrack(disc_, tags_, index, title);
    rows_[static_cast<std::size_t>(index)].caption = disc_.Track(index).Title();
    view_.UpdateTrackRow(index, rows_[static_cast<std::size_t>(index)]);
}

void TMainForm::ArtistEdited(const std::string& text) { disc_.SetArtist(text); }
void TMainForm::AlbumEdited(const std::string& text) { disc_.SetAlbum(text); }

void TMainForm::ChangeCase(CaseChange change) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        TrackRow& row = rows_[static_cast<std::size_t>(i)];
        if (!row.audio) continue;  // the data track's caption is not a title
        std::string text;
        switch (change) {
        case CaseChange::CapitaliseWords: text = CapitaliseWords(row.caption); break;
        case CaseChange::Lower: text = LowerCaseText(row.caption); break;
        case CaseChange::Upper: text = UpperCaseText(row.caption); break;
        }
        disc_.Track(i).SetTitle(text);
        tags_.Block(i).SetTitle(text);
        row.caption = disc_.Track(i).Title();
        view_.UpdateTrackRow(i, row);
    }
}

void TMainForm::ToggleSizeDisplay() {
    settings_.SetSizeDisplayAlt(!settings_.SizeDisplayAlt());
    ComputeSizes();
}

bool TMainForm::PopupAllowed(int focusedRow) const {
    return focusedRow >= 0 && focusedRow < static_cast<int>(rows_.size()) && state_ != MainState::msGrabbing;
}

void TMainForm::LookupCommand() {
    if (!discPresent_ || Busy()) return;
    const auto toc = drives_.LastToc();
    const auto parsed = ParseRawToc(toc);
    if (!parsed) return;
    StopInsertionLookup();  // the user asks now, and may choose
    view_.SetPollTimer(false);
    // The lookup processes window events while it waits for the server: the
    // commands stay off until it ends, and Stop or a close gives it up.
    CancellableEventPump pump(pump_);
    longCommand_ = &pump;
    EnableCommands(false);
    DiscLookupContext context{settings_, *parsed, disc_, tags_, albums_, &artists_, dialogs_, pump, {}};
    context.greetingAddress = CddbGreetingAddress();
    TitleLookupContext lookup{context, StoredLookupSource(), MusicBrainzOptions(settings_, MusicBrainzServer()),
                              [this](const std::string& text) { view_.ShowStatusMessage(text); }};
    const TitleLookupResult result = RunTitleLookup(lookup);
    longCommand_ = nullptr;
    EnableCommandsForDisc();
    if (result.applied) ShowLookedUpTitles();
    view_.SetPollTimer(true);
}

std::optional<std::vector<DetectionRow>> TMainForm::DetectReadCommands(int transport, int drive,
                                                                       const std::string& sectors) {
    std::string error;
    const auto n = ParseSectorsPerRead(sectors, error);
    if (!n) {
        dialogs_.ShowMessage(error, MessageIcon::Error);
        return std::nullopt;
    }
    return drives_.DetectReadCommands(transport, drive, *n, dialogs_, &pump_);
}

RipHooks TMainForm::MakeRipHooks() {
    RipHooks hooks;
    hooks.getState = [this] { return static_cast<int>(state_); };
    hooks.setState = [this](int s) { state_ = static_cast<MainState>(s); };
    hooks.stop = [this] { Stop(); };
    hooks.selectRow = [this](int row) { view_.SelectRow(row); };
    hooks.rowStatus = [this](int row, const std::string& text) {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return;
        rows_[static_cast<std::size_t>(row)].status = text;
        view_.UpdateTrackRow(row, rows_[static_cast<std::size_t>(row)]);
    };
    hooks.rowImage = [this](int row, int image) {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return;
        rows_[static_cast<std::size_t>(row)].image = image;
        view_.UpdateTrackRow(row, rows_[static_cast<std::size_t>(row)]);
    };
    hooks.setChecked = [this](int row, bool on) {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return;
        rows_[static_cast<std::size_t>(row)].checked = on;
        view_.UpdateTrackRow(row, rows_[static_cast<std::size_t>(row)]);
    };
    hooks.enableCommands = [this](bool on) { EnableCommands(on); };
    hooks.timer = [this](bool on) { view_.SetPollTimer(on); };
    hooks.restoreVolume = [this] { view_.SetVolumeBar(settings_.Volume()); };
    hooks.runSettingsDialog = [this] {
        const TProgramSettings before = settings_;
        TProgramSettings working = settings_;
        DISC_INFO workingDisc = disc_;
        if (!view_.RunSettingsDialog(working, workingDisc)) return false;
        settings_ = working;
        disc_ = workingDisc;
        // The dialog stores its audio tab in OutputFormat; the running grab
        // keeps the output it was started for.
        settings_.SetOutputFormat(before.OutputFormat());
        settings_.SetEncodeFlag(before.EncodeFlag());
        ApplySettingsDialogResult(before);
        return true;
    };
    hooks.setPriority = SetHighPriority;
    hooks.shutdown = [] { RequestPowerOff(); };
    hooks.caption = [this](const std::string& text) {
        view_.SetCaption(text);
        view_.SetApplicationTitle(text);
    };
    return hooks;
}

GrabResult TMainForm::Grab(GrabSender sender) {
    TCDROM* cdrom = drives_.Cdrom();
    if (!cdrom || !discPresent_ || !audioPresent_ || Busy()) return {};
    std::vector<bool> checked;
    for (const auto& row : rows_) checked.push_back(row.checked && row.audio);
    RipHooks hooks = MakeRipHooks();
    RipContext context{settings_, *cdrom, disc_, tags_, checked, dialogs_, pump_, *encoders_, TempFolder(),
                       std::move(hooks), compressPrefix_};
    const std::string driveName = cdrom->DriveTitle(cdrom->CurrentDrive());
    context.readOffset = StoredReadOffset(driveName).value_or(0);
    encoders_->Flac().SetLevel(FlacLevel());
    GrabHooks grabHooks;
    grabHooks.eject = [this] { Eject(true); };
    const int refreshes = refreshes_;
    const GrabResult result = RunGrabCommand(sender, context, grabHooks);
    if (result.ran && !result.rip.checks.empty() && refreshes == refreshes_)
        VerifyGrab(result.rip.checks, *cdrom, driveName, context.readOffset);
    ResetCaption();
    if (result.ran) {
        std::string text = WindowValue(OtherTexts(), "GrabWritten", language_, settings_.LanguageName());
        ReplaceAll(text, "%1", std::to_string(result.rip.written));
        ReplaceAll(text, "%2", std::to_string(result.rip.requested));
        ReplaceAll(text, "%3", settings_.OutputDir());
        view_.ShowStatusMessage(text);
    }
    // The check boxes follow what the session made of them (done tracks off),
    // unless an eject after copying has read the drive again.
    for (std::size_t i = 0; refreshes == refreshes_ && i < rows_.size() && i < checked.size(); ++i) {
        if (rows_[i].checked == checked[i]) continue;
        rows_[i].checked = checked[i];
        view_.UpdateTrackRow(static_cast<int>(i), rows_[i]);
    }
    view_.SetPollTimer(true);
    return result;
}

void TMainForm::VerifyGrab(const std::vector<TrackCheck>& checks, TCDROM& cdrom, const std::string& driveName,
                           int readOffset) {
    VerifyOptions options = ConfiguredVerifyOptions(settings_);
    options.pump = &pump_;
    const RipVerification verification = VerifyTrackChecks(disc_, checks, options);
    for (const VerifiedTrack& t : verification.tracks) {
        const auto row = static_cast<std::size_t>(t.check.row);
        if (row >= rows_.size()) continue;
        rows_[row].status = LangMessage(20) + " - " + AccurateRipText(t.ar, language_, settings_.LanguageName());
        view_.UpdateTrackRow(t.check.row, rows_[row]);
    }
    const RipLogFacts facts = GrabLogFacts(cdrom, settings_, disc_, driveName, readOffset);
    const std::string path = RipLogPath(verification, disc_.Album());
    if (!path.empty()) WriteRipLog(path, RipLogText(verification, facts));
}

void TMainForm::PlayTrack(int index) {
    if (state_ != MainState::msIdle && state_ != MainState::msPlaying) return;
    if (!discPresent_ || !audioPresent_ || index < 0 || index >= disc_.TrackCount()) return;
    if (!disc_.Track(index).AudioFlag()) {
        if (index > 0) PlayTrack(0);
        return;
    }
    state_ = MainState::msPlaying;
    playBar_.SetRange(disc_.Track(index + 1).StartLba() - disc_.Track(index).StartLba());
    const std::string title = disc_.Track(index).Title();
    std::string caption = kCaption;
    caption.append(" - ").append(title);
    std::string appTitle = title;
    appTitle.append(" - ").append(kCaption);
    view_.SetCaption(caption);
    view_.SetApplicationTitle(appTitle);
    currentTrack_ = index;
    view_.SelectRow(index);
    if (autoAdvance_) return;
    if (Digital()) {
        const sv::PlayRange range = TrackPlayRange(disc_, index, false);
        StartDigital(range.start, range.end);
    } else {
        drives_.PlayMsf(disc_.Track(index).StartMsf(), disc_.Track(index).EndMsf());
    }
}

bool TMainForm::Digital() {
    if (!settings_.DigitalPlayback() || !digital_) return false;
    if (!soundProblem_.empty()) {
        // Said once: playing goes on through the silent output.
        std::string text = LangMessage(91);
        text.append("\n\n").append(soundProblem_);
        soundProblem_.clear();
        dialogs_.ShowMessage(text, MessageIcon::Warning);
    }
    return true;
}

void TMainForm::StartDigital(std::int32_t start, std::int32_t end) {
    TCDROM* cdrom = drives_.Cdrom();
    if (!cdrom) return;
    digital_->SetVolume(settings_.Volume());
    digital_->Start(*cdrom, start, end);
}

void TMainForm::PlayRange(int track, Msf start, Msf end) {
    if (Busy() || !discPresent_ || !audioPresent_ || track < 0 || track >= disc_.TrackCount()) return;
    if (!disc_.Track(track).AudioFlag()) return;
    if (state_ == MainState::msPaused) state_ = MainState::msIdle;
    autoAdvance_ = true;  // the track becomes current without its whole-track play
    PlayTrack(track);
    autoAdvance_ = false;
    if (Digital())
        StartDigital(MsfToFrames(start) - kLbaBase, MsfToFrames(end) - kLbaBase);
    else
        drives_.PlayMsf(start, end);
}

void TMainForm::PlayFrom(Msf start) {
    if (Digital())
        digital_->Seek(MsfToFrames(start) - kLbaBase);
    else
        drives_.PlayMsf(start, disc_.Track(currentTrack_).EndMsf());
}

void TMainForm::PlayCommand(bool selectedOnly, int focusedRow) {
    if (Busy()) return;
    if (state_ == MainState::msPaused) {
        state_ = MainState::msPlaying;
        if (Digital()) {
            digital_->Resume();
            digital_->SetVolume(settings_.Volume());
        } else {
            PlayFrom(pausePosition_);
        }
        return;
    }
    int index = focusedRow < 0 ? 0 : focusedRow;
    playSelectedOnly_ = selectedOnly;
    if (selectedOnly) {
        while (index < static_cast<int>(rows_.size()) && !rows_[static_cast<std::size_t>(index)].checked) ++index;
        if (index >= static_cast<int>(rows_.size())) return;
    }
    PlayTrack(index);
}

void TMainForm::PauseCommand() {
    if (state_ != MainState::msPlaying) return;
    state_ = MainState::msPaused;
    int status = 0;
    if (Digital()) {
        if (!digital_->Position(pausePosition_, status)) pausePosition_ = disc_.Track(currentTrack_).StartMsf();
        digital_->Pause();
        return;
    }
    if (!drives_.PlayPosition(pausePosition_, status)) pausePosition_ = disc_.Track(currentTrack_).StartMsf();
    drives_.StopPlay();
}

void TMainForm::StepCommand(int step) {
    if (Busy()) return;
    int target = currentTrack_ + step;
    const int count = static_cast<int>(rows_.size());
    if (target < 0 || target >= count) return;
    if (playSelectedOnly_) {
        while (target >= 0 && target < count && !rows_[static_cast<std::size_t>(target)].checked) target += step;
        if (target < 0 || target >= count) return;
    }
    // While paused the step does nothing: Play track only starts from idle
    // or playing, and a paused play is left to be resumed.
    PlayTrack(target);
}

void TMainForm::SetVolume(int value) {
    value = value < 0 ? 0 : (value > 255 ? 255 : value);
    settings_.SetVolume(static_cast<std::uint8_t>(value));
    if (settings_.DigitalPlayback() && digital_)
        digital_->SetVolume(value);
    else if (settings_.SetDriveVolume())
        drives_.SetDriveVolume(value);
    else if (mixer_)
        mixer_->SetVolume(value);
}

void TMainForm::MixerChanged() {
    if (!mixer_ || settings_.SetDriveVolume() || settings_.DigitalPlayback()) return;
    const int value = MixerBarValue(mixer_->GetVolume());
    settings_.SetVolume(static_cast<std::uint8_t>(value));
    view_.SetVolumeBar(value);  // moved without being routed back to the mixer
}

std::string TMainForm::PositionText(int track, int rel) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, " %02d  /  %02d:%02d", track + 1, rel / 4500, (rel / 75) % 60);
    return titleColumn_ + buf;
}

void TMainForm::FollowPlayPosition() {
    if (!discPresent_) return;
    Msf position;
    int status = 0;
    if (Digital() ? !digital_->Position(position, status) : !drives_.PlayPosition(position, status)) return;
    const std::int32_t lba = MsfToFrames(position) - kLbaBase;
    const int found = TrackAtLba(disc_, lba);
    if (found == 255 || found >= disc_.TrackCount()) return;
    const int rel = lba - disc_.Track(currentTrack_).StartLba();
    switch (status) {
    case 0x00: state_ = MainState::msIdle; break;
    case 0x11: {
        if (state_ != MainState::msPlaying || found != currentTrack_) {
            autoAdvance_ = true;
            PlayTrack(found);
            autoAdvance_ = false;
        }
        playBar_.SetPosition(rel);
        view_.RedrawPlayBar();
        if (trackProp_ && trackProp_->ShownTrack() == found && trackProp_->FollowingPosition())
            trackProp_->FollowPosition(rel);
        view_.SetTimePanel(PositionText(found, rel));
        break;
    }
    case 0x13:
        if (state_ == MainState::msIdle) break;
        if (currentTrack_ + 1 < static_cast<int>(rows_.size()) && !trackProp_) StepCommand(1);
        else Stop();
        break;
    case 0x14: Stop(); break;
    default: break;
    }
}

void TMainForm::PlayBarPressed() {
    if (state_ == MainState::msPlaying) playBar_.SetDragging(true);
}

void TMainForm::PlayBarDragged(double dx) {
    if (!playBar_.Dragging()) return;
    playBar_.Drag(dx);
    view_.RedrawPlayBar();
    const int position = playBar_.Position();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", position / 4500, (position / 75) % 60);
    view_.SetTimePanel(buf);
}

void TMainForm::PlayBarReleased() {
    if (!playBar_.Dragging()) return;
    playBar_.SetDragging(false);
    view_.RedrawPlayBar();
    if (state_ != MainState::msPlaying) return;
    const int absolute = MsfToFrames(disc_.Track(currentTrack_).StartMsf()) + playBar_.Position();
    PlayFrom(FramesToMsf(absolute));  // the digital player ignores a seek outside its range
}

WholeDiscResult TMainForm::GrabWholeDisc(WholeDiscSender sender) {
    TCDROM* cdrom = drives_.Cdrom();
    if (!cdrom || !discPresent_ || !audioPresent_ || Busy()) return {};
    std::vector<bool> checked;
    for (const auto& row : rows_) checked.push_back(row.checked && row.audio);
    RipContext context{settings_, *cdrom, disc_, tags_, checked, dialogs_, pump_, *encoders_, TempFolder(),
                       MakeRipHooks(), compressPrefix_};
    const std::string driveName = cdrom->DriveTitle(cdrom->CurrentDrive());
    context.readOffset = StoredReadOffset(driveName).value_or(0);
    encoders_->Flac().SetLevel(FlacLevel());
    const WholeDiscResult result = RunWholeDiscGrabCommand(sender, context);
    if (result.written && !result.checks.empty()) VerifyGrab(result.checks, *cdrom, driveName, context.readOffset);
    ResetCaption();
    if (result.written) {
        std::string text = WindowValue(OtherTexts(), "WholeDiscWritten", language_, settings_.LanguageName());
        ReplaceAll(text, "%1", result.file);
        view_.ShowStatusMessage(text);
    }
    view_.SetPollTimer(true);
    return result;
}

void TMainForm::BeforeAlbumEditor() {
    if (state_ != MainState::msIdle) Stop();  // the window offers the editor only when not busy
    view_.SetPollTimer(false);
    StoreAlbum();
}

void TMainForm::AfterAlbumEditor() {
    artists_ = GatherArtists(albums_, localDb_, [this](int index, int total) { view_.ShowArtistScan(index, total); });
    view_.ShowArtistScan(0, -1);
    view_.SetArtistList(artists_);
    discPresent_ = false;  // what the editor wrote is read again, not overwritten
    RefreshDisc();
}

void TMainForm::DriveInfoCommand() {
    const std::string& name = settings_.LanguageName();
    view_.ShowDriveInfo(drives_.DriveInfo(WindowValue(OtherTexts(), "Yes", language_, name),
                                          WindowValue(OtherTexts(), "No", language_, name)));
}

bool TMainForm::OpenImageCommand(const std::string& path) {
    if (Busy()) return false;
    std::string error;
    const int index = drives_.AddImage(path, error);
    if (index < 0) {
        dialogs_.ShowMessage(error, MessageIcon::Error);
        return false;
    }
    if (!error.empty()) dialogs_.ShowMessage(error, MessageIcon::Information);  // usable, with a note
    driveBoxIndex_ = -1;  // make the change below a real one
    DriveBoxChanged(index);
    return true;
}

void TMainForm::CloseImageCommand() {
    const int index = settings_.CurrentDrive();
    if (Busy() || !drives_.IsImage(index)) return;
    Stop();
    StoreAlbum();
    discPresent_ = false;  // the disc went with its drive: nothing to store again
    if (!drives_.CloseImage(index)) return;
    settings_.SetCurrentDrive(0);
    driveBoxIndex_ = -1;
    drives_.SelectDrive(0, settings_.ReadCommand(0));
    RefreshDisc();
}

void TMainForm::Stop() {
    playBar_.SetPosition(0);
    view_.RedrawPlayBar();
    // The panel showed the play position; it shows the disc's total time again.
    view_.SetTimePanel(discPresent_ ? timeHint_ + ": " + TotalTime(disc_) : std::string());
    if (longCommand_) longCommand_->RequestCancel();
    if (state_ == MainState::msGrabbing) {
        state_ = MainState::msIdle;
        return;
    }
    const bool played = state_ == MainState::msPlaying || state_ == MainState::msPaused;
    state_ = MainState::msIdle;
    if (settings_.DigitalPlayback() && digital_)
        digital_->Stop();
    else
        drives_.StopPlay();
    if (played) ResetCaption();  // the stopped track's title leaves the caption
}

void TMainForm::Poll() {
    if (playBar_.Dragging()) return;
    if (state_ != MainState::msIdle && state_ != MainState::msPaused && state_ != MainState::msPlaying) return;
    const bool ready = drives_.TestUnitReady();
    if (ready != lastReady_) {
        if (trackProp_) return;
        lastReady_ = !lastReady_;
        Stop();
        RefreshDisc();
        return;
    }
    FollowPlayPosition();
}

void TMainForm::DriveBoxChanged(int index) {
    if (Busy() || (index == settings_.CurrentDrive() && index == driveBoxIndex_)) return;
    Stop();
    settings_.SetCurrentDrive(static_cast<std::uint8_t>(index < 0 ? 0 : index));
    driveBoxIndex_ = index;
    drives_.SelectDrive(index, settings_.ReadCommand(index));
    RefreshDisc();
}

void TMainForm::Eject(bool senderIsGrabButton) {
    if (Busy()) return;
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
    if (Busy()) return;
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
    if (before.LocalCddbDir() != settings_.LocalCddbDir() || before.LocalCddbUnix() != settings_.LocalCddbUnix() ||
        before.LocalCddbOnly() != settings_.LocalCddbOnly()) {
        ApplyMetadataFolders();
        refresh = true;
    }
    if (before.LameBitrateIndex() != settings_.LameBitrateIndex() ||
        before.LameMaxBitrateIndex() != settings_.LameMaxBitrateIndex() || before.LameMode() != settings_.LameMode() ||
        before.LameVbrEnabled() != settings_.LameVbrEnabled() || before.UseLameEncoder() != settings_.UseLameEncoder())
        ComputeSizes();
    view_.SetVolumeBar(settings_.Volume());
    UpdateGrabHint();
    if (refresh) RefreshDisc();
}

}  // namespace sv
