#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/MainForm.h"
#include "app/WindowTexts.h"
#include "RecordingView.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::ReadFileBytes;
using svtest::RecordingView;
using svtest::ScriptedDialogs;
using svtest::TempDir;

namespace {

// A drive layer whose disc comes and goes on command.
class FakeDrives : public IDriveAccess {
public:
    std::vector<std::string> DriveNames() override { return names; }
    bool SelectDrive(int index, int) override {
        selected = index;
        return true;
    }
    void SetUseSpti(bool s) override { spti = s; }
    bool UseSpti() const override { return spti; }
    bool TestUnitReady() override { return discInside; }
    std::vector<std::uint8_t> LastToc() const override { return {}; }
    std::vector<std::string> DriveInfo(const std::string&, const std::string&) override { return {"info"}; }
    int AddImage(const std::string&, std::string& error) override {
        error = "no";
        return -1;
    }
    std::optional<std::vector<DetectionRow>> DetectReadCommands(int, int, int, IUserDialogs&, IEventPump*) override {
        return std::nullopt;
    }
    bool ReadDisc(const TProgramSettings&, DISC_INFO& disc, IUserDialogs&, const AlbumHook&) override {
        ++reads;
        disc.Clear();
        if (!discInside) return false;
        disc.SetTrackCount(static_cast<std::uint8_t>(tracks.size()));
        for (std::size_t i = 0; i < tracks.size(); ++i) disc.Track(static_cast<int>(i)).SetAudioFlag(tracks[i]);
        return true;
    }
    TrayState Tray() override { return tray; }
    TCDROM* Cdrom() override { return nullptr; }
    void Eject() override { actions.push_back("eject"); }
    void Load() override { actions.push_back("load"); }
    void StopPlay() override { actions.push_back("stop"); }
    void PlayMsf(Msf, Msf) override { actions.push_back("play"); }
    bool PlayPosition(Msf&, int&) override { return false; }
    void SetDriveVolume(int) override {}
    void LockTray(bool) override {}
    void SetSpeed(int) override {}

    std::vector<std::string> names{"VIRTUAL  Demo disc"};
    bool discInside = false;
    std::vector<bool> tracks{true, true};
    bool spti = false;
    int selected = -1;
    int reads = 0;
    TrayState tray = TrayState::Busy;
    std::vector<std::string> actions;
};

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest()
        : form_({view_, drives_, dialogs_, pump_, {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"}}) {}
    TempDir dir_;
    RecordingView view_;
    FakeDrives drives_;
    ScriptedDialogs dialogs_;
    NullEventPump pump_;
    TMainForm form_;
};

}  // namespace

TEST(MainFormRules, EnableCommandsWithAndWithoutDisc) {
    const CommandStates onDisc = CommandStatesFor(true, true);
    EXPECT_TRUE(onDisc.grab && onDisc.play && onDisc.tags && onDisc.stop && onDisc.burn && onDisc.eject);
    EXPECT_TRUE(onDisc.driveBox);

    const CommandStates offDisc = CommandStatesFor(false, true);  // a disc, commands off (a grab runs)
    EXPECT_FALSE(offDisc.grab || offDisc.play || offDisc.eject || offDisc.burn || offDisc.settings);
    EXPECT_TRUE(offDisc.stop);
    EXPECT_FALSE(offDisc.driveBox);

    const CommandStates noDisc = CommandStatesFor(false, false);
    EXPECT_FALSE(noDisc.grab || noDisc.play || noDisc.tags || noDisc.stop || noDisc.lookup);
    EXPECT_TRUE(noDisc.eject && noDisc.burn && noDisc.settings && noDisc.convert && noDisc.driveBox);
}

TEST(MainFormRules, ToolButtonsPackFromTheLeft) {
    TProgramSettings s;
    s.ApplyDefaults("/p/", "/m/");
    auto places = LayoutToolButtons(s, 40);
    ASSERT_EQ(places.size(), 10u);
    for (std::size_t i = 0; i < places.size(); ++i) EXPECT_EQ(places[i].x, 40 * static_cast<int>(i) + 2);
    s.SetShowWmaButton(false);
    s.SetShowBurnButton(false);
    places = LayoutToolButtons(s, 40);
    EXPECT_FALSE(places[2].visible);
    EXPECT_EQ(places[3].object, "SpeedButton18");
    EXPECT_EQ(places[3].x, 2 * 40 + 2);  // the WAVE button moves into the WMA button's place
    EXPECT_EQ(places[5].x, 3 * 40 + 2);  // tags after the hidden burn button
    EXPECT_EQ(places[9].x, 7 * 40 + 2);
    EXPECT_EQ(ListColorFor(kDefaultControlColor), kDefaultWindowColor);
    EXPECT_EQ(ListColorFor(0x123456), 0x123456u);
}

TEST_F(MainFormTest, FirstStartShowsTheDefaultsAndShutdownSavesThem) {
    form_.Construct();
    EXPECT_EQ(view_.caption, "Sornaval v3.4");
    EXPECT_EQ(view_.grabHint, "Сграбить в MP3");
    EXPECT_EQ(view_.Text("SpeedButton1", TextTarget::ToolTip), "Обновить");
    EXPECT_EQ(view_.drives, drives_.names);
    EXPECT_EQ(view_.driveIndex, 0);
    EXPECT_TRUE(view_.timer);
    EXPECT_FALSE(form_.DiscPresent());
    EXPECT_EQ(view_.commands, CommandStatesFor(false, false));
    EXPECT_EQ(view_.volume, 255);
    EXPECT_EQ(view_.colors.list, kDefaultWindowColor);
    EXPECT_EQ(view_.widths[0], 144);
    EXPECT_EQ(view_.checkedLanguage, 0);
    ASSERT_GE(view_.languages.size(), 2u);  // Russian and the shipped English file
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "lang/russian.lng"));

    std::filesystem::create_directories(form_.TempFolder());
    view_.widths = {100, 60, 60, 60, 90};
    form_.Shutdown();
    const std::string bytes = ReadFileBytes(dir_.Path() / "setting/set.dat");
    ASSERT_EQ(bytes.size(), 1208u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[448]), 100);  // column widths taken from the window
    EXPECT_EQ(ReadFileBytes(dir_.Path() / "setting/prof.lst"), "-1\r\n");
    EXPECT_FALSE(std::filesystem::exists(form_.TempFolder()));  // empty temp folder removed
}

TEST_F(MainFormTest, PollRefreshesOncePerChangeOfReadiness) {
    form_.Construct();
    const int reads = drives_.reads;
    form_.Poll();
    form_.Poll();
    EXPECT_EQ(drives_.reads, reads);  // nothing changed, nothing read
    drives_.discInside = true;
    form_.Poll();
    EXPECT_EQ(drives_.reads, reads + 1);
    EXPECT_TRUE(form_.DiscPresent());
    EXPECT_EQ(view_.commands, CommandStatesFor(true, true));
    form_.Poll();
    form_.Poll();
    EXPECT_EQ(drives_.reads, reads + 1);
    drives_.discInside = false;
    struct : ITrackPropWindow {
        int ShownTrack() const override { return 0; }
        bool FollowingPosition() const override { return false; }
        void FollowPosition(int) override {}
    } trackWindow;
    form_.SetTrackPropWindow(&trackWindow);  // the trim dialog holds the view
    form_.Poll();
    EXPECT_EQ(drives_.reads, reads + 1);
    form_.SetTrackPropWindow(nullptr);
    form_.Poll();
    EXPECT_EQ(drives_.reads, reads + 2);
    EXPECT_FALSE(form_.DiscPresent());
    form_.SetState(MainState::msGrabbing);
    drives_.discInside = true;
    form_.Poll();
    EXPECT_EQ(drives_.reads, reads + 2);  // a grab owns the drive
}

TEST_F(MainFormTest, DataOnlyDiscLeavesGrabAndPlayOffButEjectOn) {
    drives_.discInside = true;
    drives_.tracks = {false};
    form_.Construct();
    EXPECT_TRUE(form_.DiscPresent());
    EXPECT_FALSE(form_.AudioPresent());
    EXPECT_FALSE(view_.commands.grab);
    EXPECT_FALSE(view_.commands.play);
    EXPECT_TRUE(view_.commands.eject);
    EXPECT_TRUE(view_.commands.settings);
}

TEST_F(MainFormTest, StopDuringAGrabOnlyChangesTheState) {
    form_.Construct();
    form_.SetState(MainState::msGrabbing);
    form_.Stop();
    EXPECT_EQ(form_.State(), MainState::msIdle);
    EXPECT_TRUE(drives_.actions.empty());
    form_.SetState(MainState::msPlaying);
    form_.Stop();
    EXPECT_EQ(drives_.actions, std::vector<std::string>{"stop"});
    form_.SetState(MainState::msEncoding);
    form_.RefreshCommand();  // refused while encoding
    EXPECT_EQ(form_.State(), MainState::msEncoding);
}

TEST_F(MainFormTest, DriveBoxIgnoresTheSelectedDriveAndSwitchesOthers) {
    drives_.names = {"A", "B"};
    form_.Construct();
    const int reads = drives_.reads;
    form_.DriveBoxChanged(0);
    EXPECT_EQ(drives_.reads, reads);
    form_.DriveBoxChanged(1);
    EXPECT_EQ(drives_.reads, reads + 1);
    EXPECT_EQ(drives_.selected, 1);
    EXPECT_EQ(form_.Settings().CurrentDrive(), 1);
}

TEST_F(MainFormTest, EjectTogglesAndLoadsWhenTheDoorIsOpen) {
    form_.Construct();
    form_.Eject(true);  // from the grab button: counter reset, eject
    drives_.tray = TrayState::DoorOpen;
    form_.Eject();
    drives_.tray = TrayState::Busy;
    form_.Eject();  // counter now even again: eject
    form_.Eject();  // odd: load
    drives_.tray = TrayState::DoorClosedIdle;
    form_.Eject();
    EXPECT_EQ(drives_.actions, (std::vector<std::string>{"eject", "load", "eject", "load", "eject"}));
}

TEST_F(MainFormTest, SettingsDialogResultIsAppliedToTheWindow) {
    form_.Construct();
    const int reads = drives_.reads;
    view_.editSettings = [](TProgramSettings& s) {
        s.SetShowWmaButton(false);
        s.SetShowGrid(true);
        s.SetMp3AsOgg(true);
        s.SetControlColor(0x00FF00);
        s.SetUseSPTI(true);
    };
    form_.SettingsCommand();
    EXPECT_EQ(view_.X("WMAButton"), -1);
    EXPECT_EQ(view_.X("SpeedButton18"), 2 * 40 + 2);
    EXPECT_TRUE(view_.grid);
    EXPECT_EQ(view_.grabHint, "Сграбить в OGG");
    EXPECT_EQ(view_.colors.list, 0x00FF00u);
    EXPECT_TRUE(drives_.spti);
    EXPECT_EQ(drives_.reads, reads + 1);  // the transport changed: the disc is read again

    view_.editSettings = nullptr;  // "Отмена": nothing changes
    form_.SettingsCommand();
    EXPECT_TRUE(form_.Settings().Mp3AsOgg());
}

TEST_F(MainFormTest, DigitalPlaybackChangeWhilePlayingStopsThePlayer) {
    form_.Construct();
    form_.SetState(MainState::msPlaying);
    view_.editSettings = [](TProgramSettings& s) { s.SetDigitalPlayback(true); };
    form_.SettingsCommand();
    EXPECT_EQ(form_.State(), MainState::msIdle);
    EXPECT_EQ(drives_.actions, std::vector<std::string>{"stop"});  // stopped the old, analogue way
    EXPECT_TRUE(form_.Settings().DigitalPlayback());
}

TEST_F(MainFormTest, EnglishIsAppliedAndRemembered) {
    form_.Construct();
    int english = -1;
    for (const auto& e : form_.LanguageMenu())
        if (e.name == "English") english = e.tag;
    ASSERT_GT(english, 0);
    form_.ChooseLanguage(english);
    EXPECT_EQ(view_.Text("SpeedButton1", TextTarget::ToolTip), "Refresh");
    EXPECT_EQ(view_.Text("ListView", TextTarget::Column, 4), "Status");
    EXPECT_EQ(view_.grabHint, "Grab to MP3");
    EXPECT_EQ(LangMessage(17), "Do you want to abort copying?");
    form_.Shutdown();

    // The next start comes up in English.
    RecordingView view2;
    TMainForm again({view2, drives_, dialogs_, pump_, {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"}});
    again.Construct();
    EXPECT_EQ(again.Settings().LanguageName(), "English");
    EXPECT_EQ(view2.Text("SpeedButton1", TextTarget::ToolTip), "Refresh");
    // Back to Russian restores the Russian texts from the Russian file.
    again.ChooseLanguage(0);
    EXPECT_EQ(view2.Text("SpeedButton1", TextTarget::ToolTip), "Обновить");
}

TEST_F(MainFormTest, UnknownLanguageNameLoadsNothingAndKeepsTheTexts) {
    TProgramSettings s;
    s.ApplyDefaults(dir_.Slash(), dir_.Slash());
    s.SetLanguageName("Klingon");
    std::filesystem::create_directories(dir_.Path() / "setting");
    svtest::WriteFileBytes(dir_.Path() / "setting/set.dat", std::string(reinterpret_cast<const char*>(s.Data()), 1208));
    form_.Construct();
    EXPECT_EQ(form_.Language().CurrentIndex(), -1);
    EXPECT_EQ(view_.checkedLanguage, -1);
    EXPECT_TRUE(view_.texts.empty());  // no empty captions pushed to the window
    EXPECT_EQ(LangMessage(2), "");
}

TEST_F(MainFormTest, EscapeMinimisesAndThePlayerButtonAsksForAProgram) {
    form_.Construct();
    form_.EscapePressed();
    EXPECT_TRUE(view_.minimised);
    if (!form_.PlayerPath().empty()) GTEST_SKIP() << "this machine has a default MP3 player";
    dialogs_.ExpectYesNo("Хотите указать его в рyчную?", false);
    form_.MediaPlayerCommand();
    const std::string notProgram = (dir_.Path() / "song.txt").string();
    svtest::WriteFileBytes(notProgram, "x");
    dialogs_.ExpectYesNo("плейеру", true).ExpectFile(notProgram).ExpectMessage("Выбранный файл не является программой.");
    form_.MediaPlayerCommand();
    EXPECT_TRUE(dialogs_.Done());
    EXPECT_EQ(form_.PlayerPath(), "");
}

TEST_F(MainFormTest, AMissingLameLibraryIsReportedInRussianAtStart) {
    RecordingView view;
    ScriptedDialogs dialogs;
    dialogs.ExpectMessage("Нету lame_enc.dll !");
    TMainForm form({view, drives_, dialogs, pump_, {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"},
                    "libsornaval-no-such-lame.so.0"});
    form.Construct();
    EXPECT_TRUE(dialogs.Done());
}
