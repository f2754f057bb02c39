// What the main window's controller needs from the window that shows it.
// The Qt window implements this; tests implement it with a recording double.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/LanguageFiles.h"
#include "app/TrackList.h"
#include "base/DiscInfo.h"
#include "base/ProgramSettings.h"

namespace sv {

class TLanguage;
struct WindowTexts;

// Which commands are enabled (the menu items and buttons that share a handler
// share a flag).
struct CommandStates {
    bool selectAll = false, selectNone = false;
    bool grab = false;  // grab buttons, the grab and whole-disc menus
    bool play = false, pause = false, previous = false, next = false, playSelected = false;
    bool eject = false;
    bool lookup = false;
    bool settings = false;
    bool convert = false;
    bool artistAlbum = false;
    bool tags = false;
    bool volume = false;
    bool stop = false;
    bool burn = false;
    // Commands outside the disc commands (refresh, open image, the editors,
    // profiles, media player): off while a grab or a lookup runs.
    bool idle = true;
    bool closeImage = false;  // the current drive is a disc image
    bool driveBox = false;  // exactly when eject is
    friend bool operator==(const CommandStates&, const CommandStates&) = default;
};

struct ToolButtonPlace {
    std::string object;  // Qt object name
    bool visible = true;
    int x = 0;           // left edge when visible
};

// The ten tool buttons in their fixed order.
inline constexpr std::array<const char*, 10> kToolButtons = {
    "SpeedButton1", "SpeedButton2", "WMAButton", "SpeedButton18", "BurnCDButton",
    "TagSpeedButton", "ConvertButton", "SpeedButton6", "SettingButton", "SpeedButton4"};

struct WindowColors {
    std::uint32_t window = 0;   // COLORREF 0x00BBGGRR
    std::uint32_t control = 0;
    std::uint32_t list = 0;
    std::uint32_t playBar = 0;
};

class IMainView {
public:
    virtual ~IMainView() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    // The title the desktop shows for the program (task bar).
    virtual void SetApplicationTitle(const std::string& title) = 0;
    virtual void SetTimePanel(const std::string& text) = 0;
    // Draws the play bar again from the controller's TPlayBar.
    virtual void RedrawPlayBar() = 0;
    virtual void SetCommandStates(const CommandStates& states) = 0;
    virtual void PlaceToolButtons(const std::vector<ToolButtonPlace>& places) = 0;
    virtual int ToolButtonWidth() const = 0;
    virtual void SetColors(const WindowColors& colors) = 0;
    virtual void SetGridLines(bool on) = 0;
    virtual void SetGrabHint(const std::string& hint) = 0;
    virtual void SetPollTimer(bool on) = 0;
    virtual void SetDriveNames(const std::vector<std::string>& names, int current) = 0;
    virtual void SetLanguageMenu(const std::vector<LanguageMenuEntry>& entries, int checkedTag) = 0;
    // The language now in use (its stored name), for what the toolkit itself
    // shows: standard buttons and file dialogs.
    virtual void SetLanguageName(const std::string& /*name*/) {}
    // A line in the status bar that says how a long command ended.
    virtual void ShowStatusMessage(const std::string& text) = 0;
    // Runs `fn` on the window's thread once the events in hand are handled;
    // may be called from any thread. Nothing runs once the window is gone.
    virtual void RunLater(std::function<void()> fn) = 0;
    // The profile menu: "&Default" (tag -1) and one entry per profile (tags
    // 0..9) with its caption; `checkedTag` is the current one.
    virtual void SetProfileMenu(const std::vector<std::string>& captions, int checkedTag) = 0;
    // Shows `values[i]` as the text of `texts.texts[i]` (the section of the
    // loaded language, read in the table's order).
    virtual void ApplyTexts(const WindowTexts& texts, const std::vector<std::string>& values) = 0;
    virtual void ClearPanels() = 0;
    // The disc's identifiers ("CDDB: ...", "MusicBrainz: ..." lines), shown
    // where the track count is; empty without a disc.
    virtual void SetDiscIds(const std::string& text) = 0;
    virtual void SetPanelTexts(const std::string& tracks, const std::string& time, const std::string& size) = 0;
    // The small indicator beside the size panel shows image `image` (1 or 2).
    virtual void SetSizeIndicator(int image) = 0;
    // The track view: all rows, or one row again.
    virtual void ShowTracks(const std::vector<TrackRow>& rows) = 0;
    virtual void UpdateTrackRow(int index, const TrackRow& row) = 0;
    // Selects row `index` and scrolls it into view (the row being grabbed).
    virtual void SelectRow(int index) = 0;
    virtual void SetArtistAlbum(const std::string& artist, const std::string& album) = 0;
    virtual void SetArtistList(const std::vector<std::string>& artists) = 0;
    // The artist-gathering window: `index` -1 opens it for `total` files, then
    // each file's index moves its bar; `total` -1 closes it.
    virtual void ShowArtistScan(int index, int total) = 0;
    // The drive information window (modal), with its "Copy" button.
    virtual void ShowDriveInfo(const std::vector<std::string>& lines) = 0;
    virtual void SetVolumeBar(int value) = 0;
    virtual std::array<int, 5> ColumnWidths() const = 0;
    virtual void SetColumnWidths(const std::array<int, 5>& widths) = 0;
    virtual void Minimise() = 0;
    // Runs the settings dialog on working copies; true on "Ok".
    virtual bool RunSettingsDialog(TProgramSettings& settings, DISC_INFO& disc) = 0;
    // Window position and size, for the per-user store.
    struct Geometry {
        int left = 0, top = 0, width = 0, height = 0;
    };
    virtual Geometry WindowGeometry() const = 0;
    virtual void SetWindowGeometry(const Geometry& g) = 0;
};

}  // namespace sv
