// A main window that records what the controller shows, for the
// controller's tests.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/MainView.h"
#include "app/WindowTexts.h"

namespace svtest {

using namespace sv;

// Records what the controller shows.
class RecordingView : public IMainView {
public:
    void SetCaption(const std::string& c) override {
        caption = c;
        captions.push_back(c);
    }
    std::vector<std::string> captions;  // every caption shown, in order
    void ShowStatusMessage(const std::string& t) override { statusMessage = t; }
    void SetDiscIds(const std::string& t) override { discIds = t; }
    std::string discIds;
    std::string statusMessage;
    // What other threads asked to run on the window's thread, run by RunQueued.
    void RunLater(std::function<void()> fn) override {
        const std::lock_guard lock(laterMutex);
        later.push_back(std::move(fn));
    }
    void RunQueued() {
        std::vector<std::function<void()>> due;
        {
            const std::lock_guard lock(laterMutex);
            due.swap(later);
        }
        for (auto& fn : due) fn();
    }
    std::mutex laterMutex;
    std::vector<std::function<void()>> later;
    void SetApplicationTitle(const std::string& t) override { applicationTitle = t; }
    void SetProfileMenu(const std::vector<std::string>& c, int tag) override {
        profiles = c;
        checkedProfile = tag;
    }
    std::vector<std::string> profiles;
    int checkedProfile = -5;
    void SetTimePanel(const std::string& t) override { timePanel = t; }
    void RedrawPlayBar() override { ++barRedraws; }
    std::string applicationTitle;
    int barRedraws = 0;
    void SetCommandStates(const CommandStates& s) override { commands = s; }
    void PlaceToolButtons(const std::vector<ToolButtonPlace>& p) override { places = p; }
    int ToolButtonWidth() const override { return 40; }
    void SetColors(const WindowColors& c) override { colors = c; }
    void SetGridLines(bool on) override { grid = on; }
    void SetGrabHint(const std::string& h) override { grabHint = h; }
    void SetPollTimer(bool on) override { timer = on; }
    void SetDriveNames(const std::vector<std::string>& n, int c) override {
        drives = n;
        driveIndex = c;
    }
    void SetLanguageMenu(const std::vector<LanguageMenuEntry>& e, int tag) override {
        languages = e;
        checkedLanguage = tag;
    }
    void ApplyTexts(const WindowTexts& t, const std::vector<std::string>& v) override {
        for (std::size_t i = 0; i < t.texts.size() && i < v.size(); ++i)
            texts[std::string(t.texts[i].object) + "/" + std::to_string(static_cast<int>(t.texts[i].target)) + "/" +
                  std::to_string(t.texts[i].index)] = v[i];
    }
    void ClearPanels() override { ++clears; }
    void SetPanelTexts(const std::string& t, const std::string& time, const std::string& size) override {
        trackPanel = t;
        timePanel = time;
        sizePanel = size;
    }
    void ShowArtistScan(int index, int total) override { scans.push_back({index, total}); }
    void SelectRow(int index) override { selected.push_back(index); }
    std::vector<int> selected;
    std::vector<std::pair<int, int>> scans;
    void SetSizeIndicator(int image) override { sizeIndicator = image; }
    void ShowTracks(const std::vector<TrackRow>& r) override {
        rows = r;
        ++fills;
    }
    void UpdateTrackRow(int i, const TrackRow& r) override {
        if (i >= 0 && i < static_cast<int>(rows.size())) rows[static_cast<std::size_t>(i)] = r;
    }
    void SetArtistAlbum(const std::string& a, const std::string& b) override {
        artist = a;
        album = b;
    }
    void SetArtistList(const std::vector<std::string>& a) override { artists = a; }
    void ShowDriveInfo(const std::vector<std::string>& lines) override { driveInfo = lines; }
    void SetVolumeBar(int v) override { volume = v; }
    std::array<int, 5> ColumnWidths() const override { return widths; }
    void SetColumnWidths(const std::array<int, 5>& w) override { widths = w; }
    void Minimise() override { minimised = true; }
    bool RunSettingsDialog(TProgramSettings& s, DISC_INFO&) override {
        if (!editSettings) return false;
        editSettings(s);
        return true;
    }
    Geometry WindowGeometry() const override { return geometry; }
    void SetWindowGeometry(const Geometry& g) override { geometry = g; }

    std::string Text(const char* object, TextTarget target = TextTarget::Text, int index = 0) {
        return texts[std::string(object) + "/" + std::to_string(static_cast<int>(target)) + "/" + std::to_string(index)];
    }
    int X(const std::string& object) const {
        for (const auto& p : places)
            if (p.object == object) return p.visible ? p.x : -1;
        return -2;
    }

    std::string caption, grabHint;
    CommandStates commands;
    std::vector<ToolButtonPlace> places;
    WindowColors colors;
    bool grid = false, timer = false, minimised = false;
    std::vector<std::string> drives;
    int driveIndex = -5;
    std::vector<LanguageMenuEntry> languages;
    int checkedLanguage = -5;
    std::map<std::string, std::string> texts;
    int clears = 0;
    int volume = -1;
    std::array<int, 5> widths{};
    Geometry geometry{10, 20, 640, 480};
    std::function<void(TProgramSettings&)> editSettings;
    std::string trackPanel, timePanel, sizePanel, artist, album;
    int sizeIndicator = 0;
    int fills = 0;
    std::vector<TrackRow> rows;
    std::vector<std::string> artists, driveInfo;
};

}  // namespace svtest
