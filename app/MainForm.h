// TMainForm: the main window's controller. It owns the settings, the disc
// record, the tag blocks and the language, keeps the controller state that
// every command consults, and carries start-up, the 300 ms poll and the
// orderly shutdown. The window (ui/) only shows what it decides.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/DriveAccess.h"
#include "app/LanguageFiles.h"
#include "app/MainView.h"
#include "app/PlayBar.h"
#include "app/ProfileList.h"
#include "app/SettingsStore.h"
#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/Language.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"
#include "encoders/Encoders.h"
#include "metadata/AlbumCache.h"
#include "grab/GrabCommand.h"
#include "grab/WholeDiscRip.h"
#include "metadata/LocalCddb.h"
#include "player/Mixer.h"
#include "player/NHandler.h"

namespace sv {

enum class MainState { msIdle = 1, msPaused = 2, msPlaying = 3, msGrabbing = 4, msEncoding = 5 };

inline constexpr const char* kCaption = "Sornaval v3.4";

// The colour the track list shows for a stored control colour.
std::uint32_t ListColorFor(std::uint32_t controlColor);

// Where each of the ten tool buttons goes: the visible ones packed from the
// left at (button width x position + 2).
std::vector<ToolButtonPlace> LayoutToolButtons(const TProgramSettings& settings, int buttonWidth);

// Which commands are enabled for Enable commands(flag) with or without a disc.
CommandStates CommandStatesFor(bool flag, bool discPresent);

// What the main window's poll needs of an open track properties window.
class ITrackPropWindow {
public:
    virtual ~ITrackPropWindow() = default;
    // The track the window shows.
    virtual int ShownTrack() const = 0;
    // The follow-position toggle is down.
    virtual bool FollowingPosition() const = 0;
    // Moves the active slider to `rel` sectors into the track (stored as if
    // the user moved it) and notes that following happened.
    virtual void FollowPosition(int rel) = 0;
};

class TMainForm {
public:
    struct Services {
        IMainView& view;
        IDriveAccess& drives;
        IUserDialogs& dialogs;
        IEventPump& pump;
        SettingsLocations where;
        std::string lameLibrary = kLameLibraryName;  // tests name a missing one
        // The digital player used when the digital playback setting is on
        // (null: none; playing then goes to the drive).
        IDigitalPlayer* digital = nullptr;
        // The system mixer's CD line (null: the empty mixer path).
        TMixer* mixer = nullptr;
        // Why there is no sound output (empty when there is one): said once,
        // the first time digital playback is wanted.
        std::string soundProblem;
        // Whether a disc that neither the album cache, the local database nor
        // its own CD-TEXT names is looked up online as it is inserted.
        bool lookupOnInsertion = false;
    };

    enum class CaseChange { CapitaliseWords, Lower, Upper };
    explicit TMainForm(Services services);
    ~TMainForm();

    // Main window construction and the first disc refresh.
    void Construct();
    // Window destroyed: stop, save the settings, remove the empty temp folder.
    void Shutdown();

    MainState State() const { return state_; }
    void SetState(MainState s) { state_ = s; }
    // True while a grab, an encoding or a lookup runs: the window keeps
    // processing events inside it, and every command that would conflict
    // with it refuses.
    bool Busy() const;
    // Stop or a window close while busy: a grab is asked to stop (it asks the
    // user), a lookup gives up waiting for its server.
    void RequestCancel();
    TProgramSettings& Settings() { return settings_; }
    DISC_INFO& Disc() { return disc_; }
    TagBlocks& Tags() { return tags_; }
    TLanguage& Language() { return language_; }
    bool DiscPresent() const { return discPresent_; }
    // Waits until the lookup of an inserted disc has fetched what it could;
    // its result still comes through the view's RunLater.
    void WaitForInsertionLookup();
    bool AudioPresent() const { return audioPresent_; }
    const CommandStates& Commands() const { return commands_; }
    const std::vector<LanguageMenuEntry>& LanguageMenu() const { return languageMenu_; }
    int CheckedLanguageTag() const { return checkedLanguage_; }
    const std::string& GrabHintPrefix() const { return grabHintPrefix_; }
    const std::string& CompressPrefix() const { return compressPrefix_; }
    const std::string& PlayerPath() const { return playerPath_; }
    // The folder of the settings files, ending in '/'.
    std::string SettingsFolder() const { return where_.settingsFolder; }
    std::string TempFolder() const { return where_.programFolder + "TempFiles/"; }
    // The converter's folder for temporary WAV files.
    std::string ConverterTempFolder() const { return where_.programFolder + "TempFile/"; }

    // Commands.
    void RefreshCommand();
    void RefreshDisc();
    void Stop();
    void EnableCommands(bool flag);
    void Poll();
    void DriveBoxChanged(int index);
    void SettingsCommand();
    void EscapePressed();
    void MediaPlayerCommand();
    void ChooseLanguage(int tag);
    void Eject(bool senderIsGrabButton = false);
    // The track properties window while it is open (null when it closes):
    // the poll moves its slider, and a track's end does not advance.
    void SetTrackPropWindow(ITrackPropWindow* window) { trackProp_ = window; }
    ITrackPropWindow* TrackPropWindow() const { return trackProp_; }
    // Play range of the track properties window: makes `track` current and
    // plays [start, end) (absolute addresses) through the drive or the
    // digital player; the play bar's range is the track's length.
    void PlayRange(int track, Msf start, Msf end);
    // OK of the track properties window: its copy of the disc record (with
    // the ranges) replaces the disc's and goes to the album cache at once.
    void AcceptTrackProperties(const DISC_INFO& disc);
    // Finds the current drive's read offset from the disc in it through the
    // AccurateRip database and says what it found; nothing when not found.
    std::optional<int> DetectReadOffsetCommand();

    // The track view's commands.
    const std::vector<TrackRow>& Rows() const { return rows_; }
    void TrackChecked(int index, bool checked);
    void SelectAll(bool checked);
    void RenameTrackCommand(int index, const std::string& title);
    void ArtistEdited(const std::string& text);
    void AlbumEdited(const std::string& text);
    void ChangeCase(CaseChange change);
    void ToggleSizeDisplay();
    // Whether the track popup may open for the focused row (-1: none).
    bool PopupAllowed(int focusedRow) const;

    // The grab command: rips the checked tracks in the output the pressed
    // control asks for.
    GrabResult Grab(GrabSender sender);
    // The whole disc into one file (with its CUE sheet when the settings ask).
    WholeDiscResult GrabWholeDisc(WholeDiscSender sender);
    TEncoders& Encoders() { return *encoders_; }
    // The quick MP3 window changed the MP3 settings: the size estimate
    // follows.
    void Mp3SettingsChanged() { ComputeSizes(); }

    // The album-cache editor works on the files: the current disc is stored
    // before it opens, and read back (not stored over) after it closes.
    void BeforeAlbumEditor();
    void AfterAlbumEditor();

    // Disc and metadata commands.
    void LookupCommand();
    void DriveInfoCommand();
    // Read-command detection for the settings dialog: the 27 tries, or
    // nothing (no disc and the user gave up, or a sectors text that is not a
    // whole number from 1 to 255, which is shown).
    std::optional<std::vector<DetectionRow>> DetectReadCommands(int transport, int drive, const std::string& sectors);
    IDriveAccess& Drives() { return drives_; }
    IEventPump& Pump() { return pump_; }
    // Adds a disc image as a drive and selects it; false with a message.
    bool OpenImageCommand(const std::string& path);
    // Closes the disc image of the current drive and selects the first drive.
    void CloseImageCommand();
    const std::vector<std::string>& Artists() const { return artists_; }
    TAlbumCache& Albums() { return albums_; }
    TLocalCDDB& LocalDatabase() { return localDb_; }

    // Disc playback through the drive's own audio output.
    void PlayCommand(bool selectedOnly, int focusedRow);
    void PauseCommand();
    void StepCommand(int step);
    void PlayTrack(int index);
    void SetVolume(int value);
    // The mixer's line was changed by another program: the volume bar
    // follows it unless the volume goes to the digital player or the drive.
    void MixerChanged();
    int CurrentTrack() const { return currentTrack_; }
    TPlayBar& PlayBar() { return playBar_; }
    // The play bar's thumb: pressed (left or middle button), dragged, released.
    void PlayBarPressed();
    void PlayBarDragged(double dx);
    void PlayBarReleased();

    // Profiles: named copies of the whole settings record.
    void LoadProfileList();
    void SaveProfileCommand();
    void SelectProfile(int tag);
    void DeleteProfileCommand();
    const ProfileList& Profiles() const { return profiles_; }

    // Settings persistence with the window's share of the work.
    void LoadSettings(const std::string& name);
    bool SaveSettings(const std::string& name);
    bool SaveSettingsForCurrentProfile();

    // What the settings dialog changed, applied to the window and the drive.
    void ApplySettingsDialogResult(const TProgramSettings& before);

private:
    void SetupLanguages();
    void ApplyMainWindowTexts();
    void ApplyLanguageFromSettings();
    void ApplyWindowFromSettings();
    void RelayToolButtons();
    void UpdateGrabHint();
    void StoreAlbum();
    // After a grab: the AccurateRip verdicts in the track view and the rip log.
    void VerifyGrab(const std::vector<TrackCheck>& checks, TCDROM& cdrom, const std::string& driveName,
                    int readOffset);
    void FillTrackView();
    void ComputeSizes();
    void ApplyMetadataFolders();
    void ShowProfileMenu();
    RipHooks MakeRipHooks();
    void FollowPlayPosition();
    void PlayFrom(Msf start);
    // True when play commands go to the digital player (the setting is on
    // and there is one); says once that there is no sound output.
    bool Digital();
    // Starts the digital player on [start, end) (LBA) at the volume setting.
    void StartDigital(std::int32_t start, std::int32_t end);
    // The commands as the disc allows them (Enable commands after a disc read).
    void EnableCommandsForDisc();
    // The window caption and the application title back to the product name.
    void ResetCaption();
    std::string PositionText(int track, int rel) const;

    IMainView& view_;
    IDriveAccess& drives_;
    IUserDialogs& dialogs_;
    IEventPump& pump_;
    IDigitalPlayer* digital_;
    TMixer* mixer_;
    std::string soundProblem_;
    SettingsLocations where_;
    std::string lameLibrary_;

    MainState state_ = MainState::msIdle;
    TProgramSettings settings_;
    DISC_INFO disc_;
    TagBlocks tags_;
    TLanguage language_;
    ProfileList profiles_;
    std::vector<LanguageMenuEntry> languageMenu_;
    int checkedLanguage_ = 0;
    CommandStates commands_;
    std::string grabHintPrefix_;
    std::string compressPrefix_;
    std::string playerPath_;
    std::string trackHint_, timeHint_, sizeHint_, dataCaption_;
    TLocalCDDB localDb_;
    TAlbumCache albums_;
    std::vector<std::string> artists_;
    std::vector<TrackRow> rows_;
    std::unique_ptr<TEncoders> encoders_;
    int refreshes_ = 0;
    int driveBoxIndex_ = -1;
    bool discPresent_ = false;
    bool audioPresent_ = false;
    bool lastReady_ = false;
    ITrackPropWindow* trackProp_ = nullptr;
    int currentTrack_ = 0;
    bool autoAdvance_ = false;
    bool playSelectedOnly_ = false;
    CancellableEventPump* longCommand_ = nullptr;  // the running lookup's pump
    // The online lookup of a newly inserted disc, on a thread of its own.
    struct InsertionLookup;
    std::unique_ptr<InsertionLookup> insertionLookup_;
    std::vector<std::unique_ptr<InsertionLookup>> retiredLookups_;  // given up, their threads still ending
    bool lookupOnInsertion_ = false;
    void StartInsertionLookup();
    // Gives the running lookup up; `wait`: until every thread has ended.
    void StopInsertionLookup(bool wait = false);
    // Shows the titles a lookup laid over the disc record.
    void ShowLookedUpTitles();
    Msf pausePosition_;
    TPlayBar playBar_;
    std::string titleColumn_;
};

}  // namespace sv
