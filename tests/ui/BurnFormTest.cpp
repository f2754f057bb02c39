// The burn window offscreen on virtual writers: the compilation list and its
// totals, a burn that completes and one cancelled from the progress window,
// and the main window handing its place to the burn window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <fstream>

#include "app/DriveAccess.h"
#include "cdrom/VirtualWriter.h"
#include "player/SoundDevice.h"
#include "support/BuiltinLanguage.h"
#include "support/Messages.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/BurnForm.h"
#include "ui/MainWindow.h"
#include "ui/ProgressForm.h"

using namespace sv;

namespace {

// A CD-format WAV of `sectors` sectors of a ramp (never silence).
std::string Wav(const svtest::TempDir& dir, const std::string& name, std::uint32_t sectors) {
    const std::uint32_t bytes = sectors * 2352;
    std::string h = "RIFF....WAVEfmt ";
    auto le = [&h](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) h += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    h.replace(4, 4, std::string(4, '\0'));
    le(16, 4), le(1, 2), le(2, 2), le(44100, 4), le(176400, 4), le(4, 2), le(16, 2);
    h += "data";
    le(bytes, 4);
    std::string pcm(bytes, '\0');
    for (std::uint32_t i = 0; i < bytes; ++i) pcm[i] = static_cast<char>(i * 7 + 1);
    std::uint32_t riff = 36 + bytes;
    for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<char>((riff >> (8 * i)) & 0xFF);
    std::ofstream(dir.Slash() + name, std::ios::binary) << h << pcm;
    return dir.Slash() + name;
}

// A writer engine on the virtual writers of `lines`.
std::unique_ptr<TCDWriter> VirtualWriters(const svtest::TempDir& dir, const std::vector<std::string>& lines) {
    std::ofstream list(dir.Slash() + "virtual.lst");
    for (const auto& l : lines) list << l << " folder \"" << dir.Slash() << "burns/\"\n";
    list.close();
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = false;
    env.virtualListPath = dir.Slash() + "virtual.lst";
    auto writer = std::make_unique<TCDWriter>(std::make_shared<DriveCatalog>(env));
    writer->EnumerateDrives();
    return writer;
}

VirtualWriter& Drive(TCDWriter& w) { return dynamic_cast<VirtualWriter&>(*w.VirtualDriveAt(0)); }

QString Text(QWidget& w, const char* label) { return w.findChild<QLabel*>(label)->text(); }

class BurnFormTest : public ::testing::Test {
protected:
    void SetUp() override { svtest::UseRussianMessages(); }
    svtest::BuiltinLanguage language_;
    svtest::TempDir dir_;
    svtest::ScriptedDialogs dialogs_;
};

}  // namespace

TEST_F(BurnFormTest, ListTotalsReorderAndRemove) {
    auto writer = VirtualWriters(dir_, {"writer cdr"});
    TMainWriteForm form(*writer, dir_.Slash() + "setting/", dialogs_, language_.Language(), "Russian");
    form.show();
    auto* drives = form.findChild<QComboBox*>("DriveBox");
    ASSERT_EQ(drives->count(), 2);
    EXPECT_EQ(drives->itemText(1), "WAVE (44,1 kHz 16bit Stereo)");
    EXPECT_EQ(Text(form, "StateLine"), "Чистый диск");
    // 300 sectors are 4 s; 200 sectors 2 s and 50 frames.
    form.AddPaths({QString::fromStdString(Wav(dir_, "a.wav", 300)), QString::fromStdString(Wav(dir_, "b.wav", 200)),
                   QString::fromStdString(dir_.Slash() + "none.wav")});
    auto* list = form.findChild<QTreeWidget*>("FileList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "2");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "b.wav");
    EXPECT_EQ(list->topLevelItem(1)->text(2), "00:02:50");
    EXPECT_EQ(list->topLevelItem(0)->text(3), "0.67 Mb");  // 705600 bytes
    EXPECT_EQ(QString::fromStdString(dir_.Slash()), list->topLevelItem(0)->text(4));
    EXPECT_EQ(Text(form, "TimePanel"), "Время:  00:06:50");
    EXPECT_EQ(Text(form, "SizePanel"), "Размер:  1.12 Mb");  // 1176000 bytes
    EXPECT_EQ(Text(form, "FilesPanel"), "Файлов:  2");

    list->setCurrentItem(list->topLevelItem(0));
    form.findChild<QPushButton*>("DownButton")->click();
    EXPECT_EQ(list->topLevelItem(0)->text(1), "b.wav");
    EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), 1);
    EXPECT_EQ(form.Compilation().Row(0).fileName, "b.wav");
    QTest::keyClick(list, Qt::Key_Delete);  // removes a.wav, now row 1
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "1");
    EXPECT_EQ(Text(form, "TimePanel"), "Время:  00:02:50");
    QTimer::singleShot(0, [&] {
        auto* info = QApplication::activeModalWidget();
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->objectName(), "TCDInfo");
        info->close();
    });
    form.findChild<QPushButton*>("DriveInfoButton")->click();
    // The image entry: test burn on, erase, eject and drive information off.
    EXPECT_TRUE(form.findChild<QPushButton*>("DriveInfoButton")->isEnabled());
    drives->setCurrentIndex(1);
    emit drives->activated(1);
    EXPECT_EQ(Text(form, "StateLine"), "Запись в файл WAV");
    EXPECT_TRUE(form.findChild<QPushButton*>("TestButton")->isEnabled());
    EXPECT_FALSE(form.findChild<QPushButton*>("StartButton")->isEnabled());
    EXPECT_FALSE(form.findChild<QPushButton*>("EjectButton")->isEnabled());
    EXPECT_FALSE(form.findChild<QPushButton*>("FullEraseButton")->isEnabled());
    EXPECT_FALSE(form.findChild<QPushButton*>("DriveInfoButton")->isEnabled());
}

// A burn runs on the write thread while the window is disabled; the progress
// window ends full and closes. A cancelled burn still closes the session
// (the CD-R is no longer blank) and leaves the tray unlocked.
TEST_F(BurnFormTest, BurnCompletesAndACancelledBurnStillClosesTheSession) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "completed");
        svtest::TempDir dir;
        auto writer = VirtualWriters(dir, {cancel ? "writer cdr write-delay 40" : "writer cdr"});
        TMainWriteForm form(*writer, dir.Slash() + "setting/", dialogs_, language_.Language(), "Russian");
        form.show();
        form.AddPaths({QString::fromStdString(Wav(dir, "a.wav", 300)), QString::fromStdString(Wav(dir, "b.wav", 250))});
        form.findChild<QPushButton*>("StartButton")->click();
        ASSERT_TRUE(form.Busy());
        EXPECT_FALSE(form.isEnabled());
        TProgressForm* progress = form.Progress();
        ASSERT_NE(progress, nullptr);
        EXPECT_TRUE(progress->isVisible());
        if (cancel) {
            dialogs_.ExpectYesNo("Отмена?", false).ExpectYesNo("Отмена?", true);
            progress->close();  // No: the burn goes on
            EXPECT_TRUE(progress->isVisible());
            progress->findChild<QPushButton*>("CancelButton")->click();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Busy(); }, 20000));
        EXPECT_TRUE(dialogs_.Done());
        EXPECT_TRUE(form.isEnabled());
        EXPECT_FALSE(progress->isVisible());
        EXPECT_EQ(progress->windowTitle(), "Запись диска ...");
        EXPECT_EQ(progress->StatusText(), "Запись Lead-Out ...");
        EXPECT_EQ(progress->ErrorText(), "0");
        if (!cancel) {
            EXPECT_EQ(progress->TotalPercent(), 100);
            EXPECT_EQ(progress->TrackPercent(), 100);
        } else {
            EXPECT_LT(progress->TotalPercent(), 100);
        }
        EXPECT_FALSE(Drive(*writer).Blank());
        EXPECT_FALSE(Drive(*writer).Locked());
        EXPECT_EQ(Text(form, "StateLine"), "Диск записан");
        EXPECT_FALSE(form.findChild<QPushButton*>("StartButton")->isEnabled());
    }
}

// A quick erase shows its wait window until the write thread is done.
TEST_F(BurnFormTest, QuickEraseWaitsInItsWindowAndLeavesABlankDisc) {
    auto writer = VirtualWriters(dir_, {"writer cdrw-written"});
    TMainWriteForm form(*writer, dir_.Slash() + "setting/", dialogs_, language_.Language(), "Russian");
    form.show();
    EXPECT_EQ(Text(form, "StateLine"), "Диск записан, перезаписываемый");
    QString waitText;
    QTimer::singleShot(0, [&] {
        auto* wait = QApplication::activeModalWidget();
        ASSERT_NE(wait, nullptr);
        waitText = wait->findChild<QLabel*>()->text();
        wait->close();  // refused: the erase goes on
    });
    form.findChild<QPushButton*>("QuickEraseButton")->click();
    EXPECT_EQ(waitText, "Чистим диск ...");
    EXPECT_FALSE(form.Busy());
    EXPECT_TRUE(Drive(*writer).Blank());
    EXPECT_EQ(Text(form, "StateLine"), "Чистый диск, перезаписываемый");
    EXPECT_FALSE(form.findChild<QPushButton*>("QuickEraseButton")->isEnabled());
    EXPECT_TRUE(form.findChild<QPushButton*>("StartButton")->isEnabled());
}

TEST_F(BurnFormTest, TheBurnWindowTakesTheMainWindowsPlace) {
    NoDriveAccess drives;
    NullEventPump pump;
    TMainWindow window(drives, dialogs_, pump, {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"});
    window.Start();
    window.setGeometry(120, 90, 760, 520);
    window.show();
    window.SetBurnWriterFactory([this] { return VirtualWriters(dir_, {"writer cdrw"}); });
    for (const bool fromButton : {false, true}) {
        bool sawBurnWindow = false;
        QRect moved;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            sawBurnWindow = form->objectName() == "TMainWriteForm";
            EXPECT_FALSE(window.isVisible());
            EXPECT_FALSE(window.menuBar()->isEnabled());
            EXPECT_EQ(form->geometry(), window.geometry());
            EXPECT_TRUE(form->findChild<QPushButton*>("FullEraseButton")->isEnabled());  // blank CD-RW
            form->move(fromButton ? 220 : 200, 150);
            moved = form->geometry();
            form->findChild<QPushButton*>("CloseButton")->click();
        });
        if (fromButton) {
            auto* button = window.findChild<QWidget*>("BurnCDButton");
            ASSERT_TRUE(button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            ASSERT_TRUE(window.findChild<QAction*>("AudioCD1")->isEnabled());
            window.findChild<QAction*>("AudioCD1")->trigger();
        }
        EXPECT_TRUE(sawBurnWindow);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.geometry().topLeft(), moved.topLeft());
        EXPECT_TRUE(window.menuBar()->isEnabled());
    }
    // Closing stored the burn settings.
    EXPECT_TRUE(std::ifstream(dir_.Slash() + "setting/wset.dat").good());
}

// The settings dialog changes the record on Ok only; the window writes it to
// wset.dat when it closes.
TEST_F(BurnFormTest, SettingsDialogStoresOnOkAndTheWindowSavesOnClose) {
    auto writer = VirtualWriters(dir_, {"writer cdr"});
    TMainWriteForm form(*writer, dir_.Slash() + "setting/", dialogs_, language_.Language(), "Russian");
    form.show();
    for (const bool ok : {false, true}) {
        QTimer::singleShot(0, [ok] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->objectName(), "TWriteSettingForm");
            dialog->findChild<QComboBox*>("SpeedBox")->setCurrentIndex(3);  // "8x"
            dialog->findChild<QLineEdit*>("SectorsEdit")->setText("abc");
            dialog->findChild<QCheckBox*>("DecodeBox")->setChecked(false);
            dialog->findChild<QCheckBox*>("EjectBox")->setChecked(true);
            auto* cdText = dialog->findChild<QCheckBox*>("CdTextBox");
            EXPECT_TRUE(cdText->isChecked());  // on unless turned off
            cdText->setChecked(false);
            if (ok) dialog->findChild<QPushButton*>("OkButton")->click();
            else QTest::keyClick(dialog, Qt::Key_Escape);
        });
        form.findChild<QPushButton*>("SettingsButton")->click();
        EXPECT_EQ(form.Settings().WriteSpeed(), ok ? 8 : 255);
        EXPECT_EQ(form.Settings().SectorsPerWrite(), ok ? 38 : 10);
        EXPECT_EQ(form.Settings().DecodeWhileWriting(), !ok);
        EXPECT_EQ(form.Settings().EjectAfterBurning(), ok);
        EXPECT_EQ(form.Settings().writeCdText, !ok);
    }
    form.findChild<QPushButton*>("CloseButton")->click();
    std::ifstream in(dir_.Slash() + "setting/wset.dat", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 280u);
    EXPECT_EQ(bytes[1], 8);
    EXPECT_EQ(bytes[4], 38);
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(bytes[7], 0);
    EXPECT_EQ(bytes[275], 1);
}

TEST_F(BurnFormTest, PreviewPlaysRowsStepsAroundTheListAndMovesOnAtAnEnd) {
    auto writer = VirtualWriters(dir_, {"writer cdr"});
    NullSoundDevice::Options fast;
    fast.fast = true;  // each file is heard as fast as it is decoded
    NullSoundDevice sound(fast);
    TMainWriteForm form(*writer, dir_.Slash() + "setting/", dialogs_, language_.Language(), "Russian", nullptr, &sound);
    form.AddPaths({QString::fromStdString(Wav(dir_, "a.wav", 75)), QString::fromStdString(Wav(dir_, "b.wav", 150)),
                   QString::fromStdString(dir_.Slash() + "gone.wav")});
    auto click = [&form](const char* name) { form.findChild<QToolButton*>(name)->click(); };
    auto* list = form.findChild<QTreeWidget*>("FileList");
    ASSERT_EQ(list->topLevelItemCount(), 2);  // the missing file was not added
    list->setCurrentItem(list->topLevelItem(1));
    click("PlayButton");
    EXPECT_EQ(form.Preview()->Current(), 1);
    EXPECT_EQ(form.Preview()->Length(), 2000u);
    click("NextButton");  // past the last row: the first
    EXPECT_EQ(form.Preview()->Current(), 0);
    click("PrevButton");  // before the first row: the first again
    EXPECT_EQ(form.Preview()->Current(), 0);
    // Row 1 is heard to its end: row 2 follows, and the bar shows its length.
    for (int i = 0; i < 200 && form.Preview()->Current() == 0; ++i) {
        QTest::qWait(10);
        form.PlayerTick();
    }
    EXPECT_EQ(form.Preview()->Current(), 1);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
    click("StopButton");
    EXPECT_EQ(form.Preview()->Current(), -1);
    EXPECT_TRUE(form.findChild<QLabel*>("PlayTime")->text().isEmpty());

    TMainWriteForm silent(*writer, dir_.Slash() + "setting/", dialogs_, language_.Language(), "Russian");
    EXPECT_FALSE(silent.findChild<QToolButton*>("PlayButton")->isEnabled());  // no sound output: off
}
