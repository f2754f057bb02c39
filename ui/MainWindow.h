// The main window: menus, the tool buttons, the drive box, the artist and album
// boxes, the track view, the player controls and the status panels. It shows
// what its controller (TMainForm) decides and passes every command to it.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QTranslator>

#include <array>
#include <functional>
#include <memory>

#include "app/MainForm.h"
#include "app/MainView.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSlider;
class QToolButton;
class QTreeWidget;
class QActionGroup;

namespace sv {

class TMP3Config;
class TCDWriter;

class TMainWindow : public QMainWindow, public IMainView {
    Q_OBJECT
public:
    TMainWindow(IDriveAccess& drives, IUserDialogs& dialogs, IEventPump& pump, SettingsLocations where,
                QWidget* parent = nullptr);
    ~TMainWindow() override;

    TMainForm& Controller() { return *controller_; }
    // The program's sound output (the burn window's file player borrows it).
    ISoundDevice* Sound() { return sound_.get(); }
    // Runs the controller's construction (settings, language, drives, disc).
    void Start();

    // What the settings command runs; tests replace it.
    using SettingsDialogRunner = std::function<bool(TProgramSettings&, DISC_INFO&)>;
    void SetSettingsDialogRunner(SettingsDialogRunner runner) { settingsRunner_ = std::move(runner); }
    // Brings the quick MP3 window to the front, creating it when closed.
    void ShowMp3Config();
    // Runs the media converter in the main window's place.
    void RunConverter();
    // Runs the burn window in the main window's place.
    void RunBurnWindow();
    // Makes the writer engine the burn window works with (its drive list
    // enumerated); tests give one on virtual writers.
    using BurnWriterFactory = std::function<std::unique_ptr<TCDWriter>()>;
    void SetBurnWriterFactory(BurnWriterFactory factory) { burnWriterFactory_ = std::move(factory); }

    // IMainView
    void SetCaption(const std::string& caption) override;
    void SetApplicationTitle(const std::string& title) override;
    void SetTimePanel(const std::string& text) override;
    void RedrawPlayBar() override;
    void SetCommandStates(const CommandStates& states) override;
    void PlaceToolButtons(const std::vector<ToolButtonPlace>& places) override;
    int ToolButtonWidth() const override;
    void SetColors(const WindowColors& colors) override;
    void SetGridLines(bool on) override;
    void SetGrabHint(const std::string& hint) override;
    void SetPollTimer(bool on) override;
    void SetDriveNames(const std::vector<std::string>& names, int current) override;
    void SetLanguageMenu(const std::vector<LanguageMenuEntry>& entries, int checkedTag) override;
    void SetProfileMenu(const std::vector<std::string>& captions, int checkedTag) override;
    void ApplyTexts(const WindowTexts& texts, const std::vector<std::string>& values) override;
    void ClearPanels() override;
    void SetPanelTexts(const std::string& tracks, const std::string& time, const std::string& size) override;
    void SetSizeIndicator(int image) override;
    void ShowTracks(const std::vector<TrackRow>& rows) override;
    void UpdateTrackRow(int index, const TrackRow& row) override;
    void SelectRow(int index) override;
    void SetArtistAlbum(const std::string& artist, const std::string& album) override;
    void SetArtistList(const std::vector<std::string>& artists) override;
    void ShowDriveInfo(const std::vector<std::string>& lines) override;
    void ShowArtistScan(int index, int total) override;
    void SetVolumeBar(int value) override;
    void SetLanguageName(const std::string& name) override;
    void ShowStatusMessage(const std::string& text) override;
    void RunLater(std::function<void()> fn) override;
    void SetDiscIds(const std::string& text) override;
    std::array<int, 5> ColumnWidths() const override;
    void SetColumnWidths(const std::array<int, 5>& widths) override;
    void Minimise() override;
    bool RunSettingsDialog(TProgramSettings& settings, DISC_INFO& disc) override;
    Geometry WindowGeometry() const override;
    void SetWindowGeometry(const Geometry& g) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildToolPanel();
    void BuildDiscPanel();
    void BuildStatusPanels();
    QToolButton* ToolButton(QWidget* parent, const char* name, QIcon icon);
    void ConnectTrackCommands();
    void ShowRow(int index, const TrackRow& row);
    void Connect(const char* action, std::function<void()> handler);
    // Shows the user's column widths, with the room the list has beyond them
    // given to the title column.
    void FitColumns();

    // The sound output, the digital disc player and the mixer's CD line; they
    // outlive the controller, which holds plain pointers to them.
    std::unique_ptr<ISoundDevice> sound_;
    std::unique_ptr<NHandler> digital_;
    std::unique_ptr<TMixer> mixer_;
    std::unique_ptr<TMainForm> controller_;
    IUserDialogs& dialogs_;
    SettingsDialogRunner settingsRunner_;
    BurnWriterFactory burnWriterFactory_;
    QPointer<TMP3Config> mp3Config_;
    bool settingsOnMp3Page_ = false;
    QTimer pollTimer_;
    bool shutDown_ = false;
    bool fillingDriveBox_ = false;
    bool fillingList_ = false;
    bool fittingColumns_ = false;
    QTranslator qtTexts_;  // the toolkit's own texts in the chosen language
    std::array<int, 5> columnWidths_{144, 90, 80, 80, 150};  // as the user set them

    QWidget* toolPanel_ = nullptr;
    QComboBox* driveBox_ = nullptr;
    QComboBox* artistBox_ = nullptr;
    QLineEdit* albumEdit_ = nullptr;
    QTreeWidget* listView_ = nullptr;
    QSlider* volumeBar_ = nullptr;
    QLabel* trackPanel_ = nullptr;
    QLabel* timePanel_ = nullptr;
    QLabel* sizePanel_ = nullptr;
    QLabel* posPanel_ = nullptr;
    QLabel* messagePanel_ = nullptr;  // how the last grab ended
    QToolButton* sizeIndicator_ = nullptr;
    QMenu* trackPopup_ = nullptr;
    QWidget* artistScan_ = nullptr;
    QWidget* playBar_ = nullptr;  // a PlayBarWidget
    QMenu* languageMenu_ = nullptr;
    QActionGroup* languageGroup_ = nullptr;
    QMenu* profileMenu_ = nullptr;
    QActionGroup* profileGroup_ = nullptr;
    QAction* profileSeparator_ = nullptr;
    std::string discIds_;  // the track panel's tool tip while a disc is in
};

}  // namespace sv
