// Playing the disc through the drive's own audio output: a virtual drive that
// plays in real time on a clock the test moves.
#include <gtest/gtest.h>

#include "RecordingView.h"
#include "app/CdromDriveAccess.h"
#include "app/MainForm.h"
#include "cdrom/VirtualDrive.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::RecordingView;

namespace {

class Playback : public ::testing::Test {
protected:
    Playback() : drives_(Environment(), nullptr, true) {
        form_ = std::make_unique<TMainForm>(TMainForm::Services{
            view_, drives_, dialogs_, pump_, {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"}});
        form_->Construct();
        drive_ = drives_.Cdrom()->VirtualDriveAt(0);
        form_->Poll();  // learns that the disc is ready
        drive_->ClearCommands();
    }
    DriveEnvironment Environment() {
        DriveEnvironment env;
        env.scanRealDrives = false;
        env.clock = &clock_;
        return env;
    }
    // The PLAY AUDIO MSF commands sent since the last call, as "MM:SS:FF-MM:SS:FF".
    std::vector<std::string> Plays() {
        std::vector<std::string> out;
        for (const auto& c : drive_->Commands())
            if (!c.cdb.empty() && c.cdb[0] == 0x47)
                out.push_back(FormatMsf({c.cdb[3], c.cdb[4], c.cdb[5]}) + "-" + FormatMsf({c.cdb[6], c.cdb[7], c.cdb[8]}));
        drive_->ClearCommands();
        return out;
    }
    // Lets `ms` milliseconds pass in polls of 300 ms.
    void Run(int ms) {
        for (int elapsed = 0; elapsed < ms; elapsed += 300) {
            clock_.Advance(300);
            form_->Poll();
        }
    }

    svtest::TempDir dir_;
    ManualClock clock_;
    svtest::ScriptedDialogs dialogs_;
    NullEventPump pump_;
    RecordingView view_;
    CdromDriveAccess drives_;
    std::unique_ptr<TMainForm> form_;
    std::shared_ptr<VirtualDrive> drive_;
};

}  // namespace

TEST_F(Playback, PlayFollowPauseResumeAndAdvance) {
    form_->PlayCommand(false, -1);
    EXPECT_EQ(form_->State(), MainState::msPlaying);
    EXPECT_EQ(Plays(), std::vector<std::string>{"00:02:00-00:42:00"});
    EXPECT_EQ(view_.caption, "Sornaval v3.4 - Track 1");
    EXPECT_EQ(view_.applicationTitle, "Track 1 - Sornaval v3.4");

    Run(10000);
    EXPECT_EQ(view_.timePanel, "Название 01  /  00:10");
    EXPECT_NEAR(form_->PlayBar().Position(), 750, 30);

    form_->PauseCommand();
    EXPECT_EQ(form_->State(), MainState::msPaused);
    Run(5000);  // paused: the position stays
    form_->PlayCommand(false, 2);  // play while paused resumes where it stopped
    EXPECT_EQ(form_->State(), MainState::msPlaying);
    const auto resumed = Plays();
    ASSERT_EQ(resumed.size(), 1u);
    EXPECT_EQ(resumed[0].substr(0, 5), "00:12");
    EXPECT_EQ(resumed[0].substr(9), "00:42:00");

    Run(31000);  // past the end of track 1: the next track is started
    EXPECT_EQ(form_->CurrentTrack(), 1);
    EXPECT_EQ(Plays(), std::vector<std::string>{"00:42:00-01:12:00"});
    EXPECT_EQ(view_.caption, "Sornaval v3.4 - Track 2");

    form_->Stop();  // the stopped track leaves the caption and the application title
    EXPECT_EQ(view_.caption, "Sornaval v3.4");
    EXPECT_EQ(view_.applicationTitle, "Sornaval v3.4");
    EXPECT_EQ(view_.timePanel, "Общее время: 02:10:00");  // not left blank
}

TEST_F(Playback, StepsStayOnTheDiscAndPlaySelectedSkipsUncheckedTracks) {
    form_->PlayCommand(false, 0);
    form_->StepCommand(-1);  // previous on the first track does nothing
    EXPECT_EQ(form_->CurrentTrack(), 0);
    form_->StepCommand(+1);
    EXPECT_EQ(form_->CurrentTrack(), 1);
    form_->PlayTrack(3);
    Plays();
    form_->StepCommand(+1);  // next on the last does nothing
    EXPECT_EQ(form_->CurrentTrack(), 3);
    EXPECT_TRUE(Plays().empty());

    form_->Stop();
    form_->TrackChecked(1, false);
    form_->TrackChecked(2, false);
    form_->PlayCommand(true, 1);  // play selected starts at the first checked track from the focus
    EXPECT_EQ(form_->CurrentTrack(), 3);
    form_->StepCommand(-1);  // skips the unchecked 2 and 1
    EXPECT_EQ(form_->CurrentTrack(), 0);
    form_->StepCommand(-1);
    EXPECT_EQ(form_->CurrentTrack(), 0);
    form_->TrackChecked(3, false);
    form_->StepCommand(+1);  // no checked track follows
    EXPECT_EQ(form_->CurrentTrack(), 0);
}

TEST_F(Playback, TheViewFollowsTheDriveIntoTheNextTrackWithoutANewCommand) {
    form_->PlayTrack(0);
    // The drive plays on past the end of track 1 (as a play of the whole disc would).
    drives_.PlayMsf({0, 2, 0}, {1, 47, 0});
    Plays();
    Run(42000);
    EXPECT_EQ(form_->CurrentTrack(), 1);
    EXPECT_EQ(view_.caption, "Sornaval v3.4 - Track 2");
    EXPECT_TRUE(Plays().empty());  // followed, not started again
    EXPECT_EQ(form_->PlayBar().Range(), 2250);
}

TEST_F(Playback, DraggingThePlayBarSeeksWithinTheTrack) {
    form_->PlayTrack(0);
    Plays();
    form_->PlayBar().SetWidth(330);  // 300 pixels for 3000 sectors: 10 sectors a pixel
    form_->PlayBarPressed();
    form_->PlayBarDragged(150);  // 1500 sectors: 20 s into the track
    EXPECT_EQ(view_.timePanel, "00:20");
    const int before = view_.barRedraws;
    form_->Poll();  // no position following while dragged
    EXPECT_EQ(view_.barRedraws, before);
    form_->PlayBarReleased();
    const auto plays = Plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0], "00:22:00-00:42:00");  // the track's start 00:02:00 + 20 s
    form_->Stop();
    form_->PlayBarPressed();  // not playing: the thumb is not taken
    EXPECT_FALSE(form_->PlayBar().Dragging());
}

TEST(PlayBarRules, PositionAndDragStayInsideTheBar) {
    TPlayBar bar;
    bar.SetWidth(230);
    bar.SetRange(1000);  // scale 0.2 pixels a sector
    bar.SetPosition(500);
    EXPECT_DOUBLE_EQ(bar.ThumbX(), 100);
    EXPECT_EQ(bar.Position(), 500);
    bar.SetPosition(1001);  // beyond the range: ignored
    EXPECT_DOUBLE_EQ(bar.ThumbX(), 100);
    bar.Drag(150);  // would leave the bar
    EXPECT_DOUBLE_EQ(bar.ThumbX(), 100);
    bar.Drag(-120);  // would go below 0
    EXPECT_DOUBLE_EQ(bar.ThumbX(), 100);
    bar.SetRange(100);  // shorter than the bar: one scale more, and less when read
    bar.SetPosition(10);
    EXPECT_DOUBLE_EQ(bar.ThumbX(), 22);
    EXPECT_EQ(bar.Position(), 10);
}

TEST_F(Playback, PreviousAndNextWhilePausedLeaveThePauseAlone) {
    form_->PlayCommand(false, 1);
    Run(3000);
    form_->PauseCommand();
    ASSERT_EQ(form_->State(), MainState::msPaused);
    Plays();
    form_->StepCommand(+1);
    form_->StepCommand(-1);
    EXPECT_EQ(form_->State(), MainState::msPaused);
    EXPECT_EQ(form_->CurrentTrack(), 1);
    EXPECT_TRUE(Plays().empty());
    form_->PlayCommand(false, -1);  // play again resumes inside track 2
    const auto resumed = Plays();
    ASSERT_EQ(resumed.size(), 1u);
    EXPECT_EQ(resumed[0].substr(0, 5), "00:45");
    EXPECT_EQ(resumed[0].substr(9), "01:12:00");
}

TEST_F(Playback, RefreshingTheDiscGivesTheDriveTheStoredVolume) {
    const std::uint8_t before = drive_->VolumeLeft();
    form_->Settings().SetVolume(static_cast<std::uint8_t>(before == 77 ? 78 : 77));
    form_->RefreshCommand();  // the drive's volume is not asked for: left alone
    EXPECT_EQ(drive_->VolumeLeft(), before);
    form_->Settings().SetSetDriveVolume(true);
    form_->Settings().SetVolume(77);
    form_->RefreshCommand();
    EXPECT_EQ(drive_->VolumeLeft(), 77);
    EXPECT_EQ(drive_->VolumeRight(), 77);
    EXPECT_EQ(view_.volume, 77);
}
