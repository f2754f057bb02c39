#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QTimer>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QLabel>
#include <QSlider>
#include <functional>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/CdromDriveAccess.h"
#include "app/DriveAccess.h"
#include "app/WindowTexts.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

using namespace sv;
using svtest::TempDir;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
        : window_(drives_, dialogs_, pump_, {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"}) {}
    TempDir dir_;
    NoDriveAccess drives_;
    svtest::ScriptedDialogs dialogs_;
    NullEventPump pump_;
    TMainWindow window_;
};

}  // namespace

TEST_F(MainWindowTest, StartsWithEveryControlAndTheRussianTexts) {
    window_.Start();
    window_.show();
    for (const auto& t : MainWindowTexts().texts) {
        if (t.target == TextTarget::Value) continue;
        EXPECT_NE(window_.findChild<QObject*>(t.object), nullptr) << t.object;
    }
    for (const char* b : kToolButtons) {
        auto* button = window_.findChild<QToolButton*>(b);
        ASSERT_NE(button, nullptr) << b;
        EXPECT_TRUE(button->isVisible()) << b;
    }
    EXPECT_EQ(window_.windowTitle(), "Sornaval v3.4");
    EXPECT_EQ(window_.findChild<QToolButton*>("SpeedButton2")->toolTip(), "Сграбить в MP3");
    EXPECT_EQ(window_.findChild<QTreeWidget*>("ListView")->headerItem()->text(1), "Длина");
    // No drive, no disc: the disc commands are off, settings stays on.
    EXPECT_FALSE(window_.findChild<QToolButton*>("SpeedButton2")->isEnabled());
    EXPECT_FALSE(window_.findChild<QToolButton*>("SpeedButton16")->isEnabled());
    EXPECT_FALSE(window_.findChild<QAction*>("Stop1")->isEnabled());
    EXPECT_TRUE(window_.findChild<QToolButton*>("SettingButton")->isEnabled());
    EXPECT_TRUE(window_.findChild<QAction*>("About1")->isEnabled());
    // The converter needs no disc.
    EXPECT_TRUE(window_.findChild<QToolButton*>("ConvertButton")->isEnabled());
    EXPECT_TRUE(window_.findChild<QAction*>("ConvertFile1")->isEnabled());
    EXPECT_FALSE(window_.findChild<QAction*>("TrackPropItem")->isEnabled());  // needs a disc
    // Burning needs a writer, not a disc.
    EXPECT_TRUE(window_.findChild<QToolButton*>("BurnCDButton")->isEnabled());
    EXPECT_TRUE(window_.findChild<QAction*>("AudioCD1")->isEnabled());
    EXPECT_TRUE(window_.findChild<QComboBox*>("CDROMBox")->isEnabled());  // follows eject
    // The toolkit's own buttons speak Russian too.
    QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), "Да");
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), "Нет");
}

TEST_F(MainWindowTest, HiddenButtonsLeaveNoGap) {
    window_.Start();
    window_.show();
    TProgramSettings s = window_.Controller().Settings();
    s.SetShowWmaButton(false);
    window_.SetSettingsDialogRunner([&](TProgramSettings& settings, DISC_INFO&) {
        settings = s;
        return true;
    });
    window_.Controller().SettingsCommand();
    EXPECT_FALSE(window_.findChild<QToolButton*>("WMAButton")->isVisible());
    const int wave = window_.findChild<QToolButton*>("SpeedButton18")->x();
    const int grab = window_.findChild<QToolButton*>("SpeedButton2")->x();
    EXPECT_EQ(wave - grab, window_.ToolButtonWidth());
}

TEST_F(MainWindowTest, EscapeMinimisesAndClosingSavesTheSettings) {
    window_.Start();
    window_.show();
    QTest::keyClick(&window_, Qt::Key_Escape);
    EXPECT_TRUE(window_.windowState() & Qt::WindowMinimized);
    window_.close();
    EXPECT_EQ(std::filesystem::file_size(dir_.Path() / "setting/set.dat"), 1208u);
}

TEST_F(MainWindowTest, TheTitleColumnTakesTheSpareRoomAndOnlyTheUsersWidthsAreStored) {
    window_.Start();
    window_.resize(1000, 500);
    window_.show();
    auto* list = window_.findChild<QTreeWidget*>("ListView");
    EXPECT_GT(list->columnWidth(0), 144 + 100);  // the list is far wider than the five columns
    EXPECT_EQ(list->columnWidth(4), 150);
    list->header()->resizeSection(2, 120);  // as a drag of the size column's edge
    window_.close();
    const std::string record = svtest::ReadFileBytes(dir_.Path() / "setting/set.dat");
    ASSERT_EQ(record.size(), 1208u);
    std::vector<int> stored;
    for (int i = 0; i < 5; ++i)  // five little-endian 16-bit widths from byte 448
        stored.push_back(static_cast<std::uint8_t>(record[448 + 2 * i]) | static_cast<std::uint8_t>(record[449 + 2 * i]) << 8);
    EXPECT_EQ(stored, (std::vector<int>{144, 90, 120, 80, 150}));
}

TEST_F(MainWindowTest, LanguageMenuSwitchesTheWindowToEnglish) {
    window_.Start();
    QAction* english = nullptr;
    for (QAction* a : window_.findChildren<QAction*>())
        if (a->text() == "English") english = a;
    ASSERT_NE(english, nullptr);
    english->trigger();
    EXPECT_EQ(window_.findChild<QToolButton*>("SpeedButton1")->toolTip(), "Refresh");
    EXPECT_EQ(window_.findChild<QAction*>("Settings1")->text(), "Settings...");
    EXPECT_TRUE(english->isChecked());
}

namespace {

// The window started on the demo disc in a virtual drive.
struct DemoWindow {
    static DriveEnvironment Environment(IClock* clock) {
        DriveEnvironment env;
        env.scanRealDrives = false;
        env.clock = clock;
        return env;
    }
    DemoWindow() {
        window.Start();
        window.show();
    }
    TempDir dir;
    ManualClock clock;
    CdromDriveAccess drives{Environment(&clock), nullptr, true};
    svtest::ScriptedDialogs dialogs;
    NullEventPump pump;
    TMainWindow window{drives, dialogs, pump, {dir.Slash(), dir.Slash() + "setting/", dir.Slash() + "Music/"}};
};

}  // namespace

TEST(MainWindowDisc, TheDemoDiscShowsAndARenameInTheListReachesTheRecord) {
    DemoWindow demo;
    TMainWindow& window = demo.window;
    auto* list = window.findChild<QTreeWidget*>("ListView");
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->topLevelItem(0)->text(1), "00:40:00");
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_TRUE(window.findChild<QToolButton*>("SpeedButton2")->isEnabled());

    list->topLevelItem(1)->setText(0, "Другое имя");  // what the in-place editor does
    EXPECT_EQ(window.Controller().Disc().Track(1).Title(), "Другое имя");
    list->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(window.Controller().Rows()[2].checked);
    EXPECT_EQ(list->topLevelItem(2)->text(4), "Cкопирован");

    list->setCurrentItem(list->topLevelItem(0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    auto* editor = list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);  // the in-place editor is open on the title
    EXPECT_EQ(editor->text(), "Track 1");
    editor->close();

    // The quick MP3 window edits the settings and the size column follows:
    // track 1 (40 s, 7 056 000 bytes) at 320 kbit/s is 1 600 000 bytes, in
    // mono half of that.
    window.findChild<QAction*>("ShowMP3ConfigBox")->trigger();
    auto* quick = window.findChild<QWidget*>("MP3Config");
    ASSERT_NE(quick, nullptr);
    EXPECT_TRUE(quick->isVisible());
    auto* rates = quick->findChild<QListWidget*>("FormatList");
    emit rates->itemClicked(rates->item(0));
    EXPECT_EQ(window.Controller().Settings().LameBitrateIndex(), 14);
    EXPECT_EQ(list->topLevelItem(0)->text(3), "01.53 Mb");
    auto* channels = quick->findChild<QListWidget*>("ChannelList");
    emit channels->itemClicked(channels->item(3));
    EXPECT_EQ(list->topLevelItem(0)->text(3), "00.76 Mb");
    quick->close();

    // The player's buttons and keys.
    window.findChild<QToolButton*>("SpeedButton11")->click();
    EXPECT_EQ(window.Controller().State(), MainState::msPlaying);
    EXPECT_EQ(window.windowTitle(), "Sornaval v3.4 - Track 1");
    QTest::keyClick(list, Qt::Key_Plus);
    EXPECT_EQ(window.Controller().CurrentTrack(), 1);
    window.findChild<QToolButton*>("SpeedButton12")->click();
    EXPECT_EQ(window.Controller().State(), MainState::msPaused);
    window.findChild<QToolButton*>("SpeedButton16")->click();
    EXPECT_EQ(window.Controller().State(), MainState::msIdle);
}

TEST_F(MainWindowTest, ClosingDuringAGrabAsksTheGrabToStopInstead) {
    window_.Start();
    window_.show();
    window_.Controller().SetState(MainState::msGrabbing);
    EXPECT_FALSE(window_.close());
    EXPECT_TRUE(window_.isVisible());
    EXPECT_EQ(window_.Controller().State(), MainState::msIdle);  // the grab loop sees the stop request
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "setting/set.dat"));
    EXPECT_TRUE(window_.close());
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "setting/set.dat"));
}

// The converter takes the main window's place and hands it back; its encoder
// settings button opens the settings dialog on the MP3 tab.
TEST_F(MainWindowTest, TheConverterTakesTheWindowsPlaceAndOpensTheEncoderSettings) {
    window_.Start();
    window_.setGeometry(120, 90, 700, 500);
    window_.show();
    int settingsRuns = 0;
    window_.SetSettingsDialogRunner([&](TProgramSettings&, DISC_INFO&) {
        ++settingsRuns;
        return false;
    });
    bool sawConverter = false;
    QRect moved;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        sawConverter = form->objectName() == "TConvertForm";
        EXPECT_FALSE(window_.isVisible()) << "the converter stands in for the main window";
        EXPECT_EQ(form->geometry(), window_.geometry());
        form->findChild<QPushButton*>("EncoderSettingsButton")->click();
        form->move(200, 150);
        moved = form->geometry();
        form->close();
    });
    window_.findChild<QAction*>("ConvertFile1")->trigger();
    EXPECT_TRUE(sawConverter);
    EXPECT_EQ(settingsRuns, 1);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_EQ(window_.geometry().topLeft(), moved.topLeft()) << "the main window takes the converter's place back";
    EXPECT_TRUE(window_.menuBar()->isEnabled());
}

TEST(MainWindowDisc, TrackPropertiesSetARangeThatOkKeepsAndCancelDrops) {
    DemoWindow demo;
    TMainWindow& window = demo.window;
    const TempDir& dir = demo.dir;
    auto* list = window.findChild<QTreeWidget*>("ListView");
    list->setCurrentItem(list->topLevelItem(1));  // track 2: 30 s, LBA 3000 .. 5250
    QAction* open = window.findChild<QAction*>("TrackPropItem");
    ASSERT_TRUE(open->isEnabled());

    // Runs the modal window, lets `use` work on it and presses `button`.
    const auto run = [&](const std::function<void(QDialog&)>& use, const char* button) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->objectName(), "TTrackPropForm");
            EXPECT_EQ(form->frameGeometry().y(), window.frameGeometry().y() + 100);
            EXPECT_NE(window.Controller().TrackPropWindow(), nullptr);
            seen = true;
            use(*form);
            form->findChild<QPushButton*>(button)->click();
        });
        open->trigger();
        EXPECT_TRUE(seen);
        EXPECT_EQ(window.Controller().TrackPropWindow(), nullptr);
    };
    run([](QDialog& form) {
        form.findChild<QSlider*>("EndSlider")->setValue(10);
    }, "CancelButton");
    EXPECT_FALSE(window.Controller().Disc().Track(1).TrimFlag());

    run([&](QDialog& form) {
        auto* start = form.findChild<QSlider*>("StartSlider");
        auto* end = form.findChild<QSlider*>("EndSlider");
        EXPECT_EQ(form.findChild<QComboBox*>("TrackBox")->currentIndex(), 1);
        EXPECT_EQ(end->maximum(), 2250);
        EXPECT_EQ(end->value(), 2250);
        start->setValue(75);
        end->setValue(300);
        EXPECT_EQ(form.findChild<QLabel*>("StartPosition")->text(), "00:01:00 /");
        EXPECT_EQ(form.findChild<QLabel*>("EndPosition")->text(), "00:04:00");
        EXPECT_EQ(form.findChild<QLabel*>("TimeInfo")->text(),
                  "Абсолютное время: начало - 00:43:00, конец - 00:46:00. Длительность: 00:03:00");
        EXPECT_TRUE(form.findChild<QLabel*>("FileInfo")->text().startsWith("Имя файла: " + QString::fromStdString(dir.Slash())));
        start->setValue(400);  // past the end: the end goes to the track's end
        EXPECT_EQ(end->value(), 2250);
        start->setValue(75);
        end->setValue(300);
        form.findChild<QPushButton*>("PlayButton")->click();
        EXPECT_EQ(window.Controller().State(), MainState::msPlaying);
        EXPECT_EQ(window.Controller().CurrentTrack(), 1);
        form.findChild<QPushButton*>("StopButton")->click();
        EXPECT_EQ(window.Controller().State(), MainState::msIdle);
    }, "OkButton");
    const auto t = window.Controller().Disc().TrackCopy(1);
    EXPECT_TRUE(t.TrimFlag());
    EXPECT_EQ(MsfToFrames(t.TrimStartMsf()), 3075 + 150);
    EXPECT_EQ(MsfToFrames(t.EndMsf()), 3300 + 150);
}
