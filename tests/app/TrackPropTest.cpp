// The track properties window's rules on a disc record, and a trimmed range
// going through the album cache into a grab.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "RecordingView.h"
#include "app/CdromDriveAccess.h"
#include "app/MainForm.h"
#include "app/TrackProp.h"
#include "cdrom/DemoDisc.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;

namespace {

// Three tracks of 1000 sectors each, starting at LBA 0.
DISC_INFO ThreeTracks() {
    DISC_INFO disc;
    disc.SetTrackCount(3);
    for (int i = 0; i <= 3; ++i) {
        auto t = disc.Track(i);
        t.SetStartLba(i * 1000);
        t.SetStartMsf(FramesToMsf(i * 1000 + 150));
        t.SetLengthMsf(FramesToMsf(1000));
        t.SetEndMsf(FramesToMsf((i + 1) * 1000 + 150));
        t.SetTitle("t" + std::to_string(i + 1));
    }
    return disc;
}

int Frames(Msf m) { return MsfToFrames(m); }

}  // namespace

TEST(TrackProp, SectorClock) {
    for (const auto& [sectors, text] : {std::pair{0, "00:00:00"}, {74, "00:00:74"}, {4575, "01:01:00"},
                                        {4500 * 99 + 75 * 59 + 74, "99:59:74"}})
        EXPECT_EQ(SectorClock(sectors), text) << sectors;
}

TEST(TrackProp, SlidersMarkStoreAndPushEachOther) {
    const DISC_INFO original = ThreeTracks();
    TTrackProp p;
    ASSERT_TRUE(p.Open(original, 1));
    EXPECT_EQ(p.Maximum(), 1000);
    EXPECT_EQ(p.StartPosition(), 0);
    EXPECT_EQ(p.EndPosition(), 1000);
    EXPECT_FALSE(p.Trimmed());  // showing does not mark
    EXPECT_EQ(Frames(p.PlayStart()), 1150);
    EXPECT_EQ(Frames(p.PlayEnd()), 2150);

    struct Step {
        bool start;  // which slider the user moves
        int to;
        int startAfter, endAfter;
    } const steps[] = {
        {false, 600, 0, 600},
        {true, 200, 200, 600},
        {true, 600, 600, 1000},  // onto the end: the end goes to the track's end
        {false, 400, 0, 400},    // below the start: the start goes to 0
        {true, 100, 100, 400},
    };
    for (const Step& s : steps) {
        if (s.start) p.MoveStart(s.to);
        else p.MoveEnd(s.to);
        EXPECT_EQ(p.StartPosition(), s.startAfter) << s.to;
        EXPECT_EQ(p.EndPosition(), s.endAfter) << s.to;
        const TRACK_INFO t = p.Disc().TrackCopy(1);
        EXPECT_TRUE(t.TrimFlag());
        EXPECT_EQ(Frames(t.TrimStartMsf()), 1150 + s.startAfter) << s.to;
        EXPECT_EQ(Frames(t.EndMsf()), 1150 + s.endAfter) << s.to;
    }
    EXPECT_EQ(p.StartLabel(), "00:01:25 /");
    EXPECT_EQ(p.EndLabel(), "00:05:25");
    // Absolute 1250 = 00:16:50, 1550 = 00:20:50; 300 sectors = 00:04:00.
    EXPECT_EQ(p.TimeFields(), (std::vector<std::string>{"00", "16", "50", "00", "20", "50", "00", "04", "00"}));
    EXPECT_EQ(Frames(p.PlayStart()), 1250);
    EXPECT_EQ(Frames(p.PlayEnd()), 1550);
    EXPECT_FALSE(original.TrackCopy(1).TrimFlag());  // nothing reaches the disc before OK

    // The other slider follows the play position once it had the focus.
    p.SetActive(TTrackProp::Slider::End);
    p.Follow(900);
    EXPECT_TRUE(p.Followed());
    EXPECT_EQ(p.EndPosition(), 900);
    const DISC_INFO accepted = p.Accept();

    TTrackProp again;
    ASSERT_TRUE(again.Open(accepted, 1));
    EXPECT_EQ(again.StartPosition(), 100);
    EXPECT_EQ(again.EndPosition(), 900);
    again.Show(0);  // untouched track
    EXPECT_EQ(again.EndPosition(), 1000);
    EXPECT_FALSE(again.Trimmed());
}

TEST(TrackProp, BadRecordsShowTheWholeTrack) {
    DISC_INFO disc = ThreeTracks();
    auto t = disc.Track(2);
    t.SetTrimFlag(true);
    t.SetTrimStartMsf(FramesToMsf(2150 + 500));
    t.SetEndMsf(FramesToMsf(2150 + 300));  // end before start
    TTrackProp p;
    ASSERT_TRUE(p.Open(disc, 7));  // out of range: the first track
    EXPECT_EQ(p.Track(), 0);
    p.Show(2);
    EXPECT_EQ(p.StartPosition(), 500);
    EXPECT_EQ(p.EndPosition(), 1000);
    EXPECT_FALSE(p.Open(DISC_INFO{}, 0));
}

TEST(TrackProp, ATrimmedRangeSurvivesARestartAndIsWhatTheGrabWrites) {
    svtest::TempDir dir;
    svtest::ScriptedDialogs dialogs;
    NullEventPump pump;
    ManualClock clock;
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = true;
    env.clock = &clock;
    const SettingsLocations where{dir.Slash(), dir.Slash() + "setting/", dir.Slash() + "Music/"};
    {
        CdromDriveAccess drives(env, nullptr, true);
        svtest::RecordingView view;
        TMainForm form({view, drives, dialogs, pump, where});
        form.Construct();
        form.ArtistEdited("Demo");  // the cache keeps named discs only
        TTrackProp p;
        ASSERT_TRUE(p.Open(form.Disc(), 1));  // track 2: LBA 3000 .. 5250
        p.MoveStart(75);
        p.MoveEnd(300);
        form.AcceptTrackProperties(p.Accept());
        form.Shutdown();
    }
    CdromDriveAccess drives(env, nullptr, true);
    svtest::RecordingView view;
    TMainForm form({view, drives, dialogs, pump, where});
    form.Construct();
    ASSERT_TRUE(form.Disc().TrackCopy(1).TrimFlag());
    for (int track : {0, 2, 3}) form.TrackChecked(track, false);
    std::filesystem::create_directories(dir.Path() / "Music");
    const GrabResult result = form.Grab(GrabSender::WavButton);
    ASSERT_TRUE(result.ran) << result.refusal;
    ASSERT_EQ(result.rip.files.size(), 1u);

    std::ifstream in(result.rip.files[0], std::ios::binary);
    const std::vector<std::uint8_t> wav{std::istreambuf_iterator<char>(in), {}};
    const auto image = MakeDemoDisc();
    std::vector<std::uint8_t> expected(225 * 2352);
    for (int i = 0; i < 225; ++i)
        ASSERT_EQ(image->ReadSector(3075 + i, expected.data() + i * 2352), DiscImage::SectorResult::Ok);
    ASSERT_EQ(wav.size(), expected.size() + 48);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wav.begin() + 48));
}
