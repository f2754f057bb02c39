// TMainWriteForm: the audio CD burning window. It holds the compilation list
// (add files or a folder, drop from the file manager, drag rows into a new
// order, remove, up and down), the totals under it (the time turns orange
// from 76 minutes), the drive list with the writers and the WAV image entry,
// the disc's state line, and burn, test burn, erase, eject and project
// buttons. Burns and erases run on a TWriteThread; the window hears from it
// only through queued calls that are dropped once the window is gone.
//
// The burn settings are read from "wset.dat" when the window opens and
// written when it closes; the last project is loaded and saved with them when
// the settings ask for it.
#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "player/PreviewPlayer.h"
#include "player/StreamPlayer.h"
#include "writer/BurnCompilation.h"
#include "writer/BurnController.h"
#include "writer/WriteSettings.h"
#include "writer/WriteThread.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class QTreeWidget;

namespace sv {

class TLanguage;
class TProgressForm;

class TMainWriteForm : public QDialog {
    Q_OBJECT
public:
    // `writer` has its drive list enumerated; `settingsFolder` ends in '/'.
    // `sound`: the program's sound output for the preview player (null: the
    // player's controls are disabled).
    TMainWriteForm(TCDWriter& writer, const std::string& settingsFolder, IUserDialogs& dialogs, TLanguage& language,
                   const std::string& languageName, QWidget* parent = nullptr, ISoundDevice* sound = nullptr);
    ~TMainWriteForm() override;

    BurnCompilation& Compilation() { return compilation_; }
    BurnController& Controller() { return *controller_; }
    TWriteSettings& Settings() { return settings_; }
    // Adds files, and for a folder its sound files (what a drop does).
    void AddPaths(const QStringList& paths);
    // Start (test: the test burn button).
    void Start(bool test);
    // Full or quick erase, as from its button.
    void Erase(bool full);
    // The save dialog of the image file; tests replace it.
    void SetImageNameChooser(std::function<std::optional<std::string>()> chooser) { chooseImage_ = std::move(chooser); }
    bool Busy() const { return busy_; }
    TProgressForm* Progress() const { return progress_; }
    TPreviewPlayer* Preview() { return preview_.get(); }
    // The preview's 500 ms step: the end of a row plays the next, the
    // position bar follows the player.
    void PlayerTick();
    // State refresh: disc state line and the enabled buttons.
    void Refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FillList(int select);
    void RowDropped(int from, int onto);
    void DriveChosen(int entry);
    void OpenProject();
    void SaveProjectAs();
    void ThreadDone(WriteOutcome outcome, bool erase);
    void BuildPlayerRow(class QBoxLayout* layout);
    void PlaySelectedRow();
    void StopPreview();
    void ShowPlayerPosition(std::uint32_t position, std::uint32_t length);
    QString Value(const char* key) const;

    std::string settingsFolder_;
    IUserDialogs& dialogs_;
    TLanguage& language_;
    std::string languageName_;
    TCDWriter& writer_;
    BurnCompilation compilation_;
    TWriteSettings settings_;
    std::unique_ptr<BurnController> controller_;
    std::function<std::optional<std::string>()> chooseImage_;
    std::atomic<bool> cancel_{false};
    // Cleared when the window goes: queued reports of the thread then do nothing.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<TWriteThread> thread_;
    TProgressForm* progress_ = nullptr;
    QDialog* wait_ = nullptr;
    bool busy_ = false;

    QComboBox* drives_ = nullptr;
    QLabel* state_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* timePanel_ = nullptr;
    QLabel* sizePanel_ = nullptr;
    QLabel* filesPanel_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* test_ = nullptr;
    QPushButton* fullErase_ = nullptr;
    QPushButton* quickErase_ = nullptr;
    QPushButton* eject_ = nullptr;
    QPushButton* driveInfo_ = nullptr;
    QTimer* timer_ = nullptr;

    std::unique_ptr<StreamPlayer> player_;
    std::unique_ptr<TPreviewPlayer> preview_;
    QSlider* playPosition_ = nullptr;
    QSlider* playVolume_ = nullptr;
    QLabel* playTime_ = nullptr;
};

}  // namespace sv
