// The writer engine against virtual writers, checked on the writers' command
// logs: every command block and parameter list written out by hand, the
// drive list, the disc states the burn window shows, blanking, the tray, and
// the edge cases of a burn (a small SectorsPerWrite, the speed factors, a
// disc too small, a write error, a cancel, a drive that is not ready yet).
#include <gtest/gtest.h>

#include <filesystem>

#include "AudioCheck.h"
#include "WriterRig.h"
#include "base/Msf.h"
#include "cdrom/VirtualWriter.h"

using namespace sv;
using namespace wtest;

namespace {

// What the drive sends back for one sector (READ CD, CD-DA).
Bytes ReadBack(VirtualWriter& w, std::int32_t lba) {
    const std::uint8_t cdb[12] = {0xBE, 0x04, 0, 0, static_cast<std::uint8_t>(lba >> 8), static_cast<std::uint8_t>(lba),
                                  0, 0, 1, 0x10, 0, 0};
    Bytes sector(kSectorBytes);
    SenseData sense{};
    EXPECT_EQ(w.Execute(cdb, 12, sector.data(), kSectorBytes, ScsiDirection::In, sense), 0) << "READ CD " << lba;
    return sector;
}

Bytes Sector(const Bytes& pcm, int i) {
    return Bytes(pcm.begin() + i * kSectorBytes, pcm.begin() + (i + 1) * kSectorBytes);
}

Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

Bytes WithBytes(Bytes b, std::size_t at, std::initializer_list<std::uint8_t> values) {
    for (std::uint8_t v : values) b[at++] = v;
    return b;
}

struct Expected {
    Bytes cdb;
    Bytes data;  // the parameter list sent, when there is one
};

}  // namespace

// A one-track burn: 5 sectors of audio in a track of 30 sectors, 10 sectors a
// write, speed 32, through the pass-through transport (two dead device nodes
// come first in the catalog and hide nothing).
TEST(WriterCommands, EveryBlockAndParameterListOfABurnByteForByte) {
    for (const bool decodeAhead : {false, true}) {
        SCOPED_TRACE(decodeAhead ? "decode-ahead thread" : "no thread");
        auto rig = MakeRig({"writer cdr"}, true);
        TCDWriter& w = *rig->writer;
        ASSERT_TRUE(w.UseSPTI());
        ASSERT_EQ(w.DriveCount(), 1);
        EXPECT_EQ(w.Drives()[0].name, "SORNAVALVirtual CD-RW   1.0 ");
        EXPECT_TRUE(w.Drives()[0].CanWriteCdR());
        EXPECT_TRUE(w.Drives()[0].CanTestWrite());
        EXPECT_EQ(w.CurrentDrive(), 0);
        VirtualWriter& drive = rig->Drive();

        const Bytes pcm = PatternPcm(5 * kSectorBytes, 1);
        const std::string file = rig->dir.Slash() + "one.wav";
        svtest::WriteCdWav(file, pcm);
        w.SectorsPerWrite = 10;
        w.DecodeAhead = decodeAhead;
        Recorder rec;
        const BurnResult r = Burn(w, {file}, {30}, rec, 0, 32);
        EXPECT_TRUE(r.parameters);
        EXPECT_TRUE(r.cueSheet);
        EXPECT_EQ(r.outcome, WriteOutcome::Completed);
        EXPECT_EQ(w.WriteErrors(), 0);

        std::vector<Expected> expected = {
            {{0x12, 0, 0, 0, 0x60, 0}, {}},
            {{0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 0x1A, 0}, {}},
            {{0x55, 0x10, 0, 0, 0, 0, 0, 0, 0x14, 0}, WithBytes(Zeros(20), 8, {0x08, 0x0A, 0x04})},
            {{0x5A, 0, 0x05, 0, 0, 0, 0, 0, 0x3E, 0}, {}},
            {{0x55, 0x10, 0, 0, 0, 0, 0, 0, 0x3C, 0}, WithBytes(Zeros(60), 8, {0x05, 0x32, 0x42})},
            {{0x5D, 0, 0, 0, 0, 0, 0, 0, 0x20, 0},
             {0x01, 0x00, 0x00, 0x01, 0x00, 0, 0, 0,  // lead-in
              0x01, 0x01, 0x00, 0x00, 0x00, 0, 0, 0,  // track 1, pregap
              0x01, 0x01, 0x01, 0x00, 0x00, 0, 2, 0,  // track 1 at 00:02:00
              0x01, 0xAA, 0x01, 0x01, 0x00, 0, 2, 30}},  // lead-out at 00:02:30
            {{0xBB, 0, 0xFF, 0xFF, 0x16, 0x0C, 0, 0, 0, 0, 0, 0}, {}},
            {{0x1E, 0, 0, 0, 0x03, 0}, {}},
            {{0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}, {}},
            {{0x00, 0, 0, 0, 0, 0}, {}},
        };
        for (std::uint8_t a = 0; a < 150; a += 5) expected.push_back({{0x2A, 0, 0, 0, 0, a, 0, 0, 5, 0}, {}});
        for (const Bytes& cdb : std::vector<Bytes>{
                 {0x00, 0, 0, 0, 0, 0},
                 {0x2A, 0, 0, 0, 0, 0, 0, 0, 10, 0},   // the 5 sectors of audio and 5 of silence
                 {0x2A, 0, 0, 0, 0, 10, 0, 0, 10, 0},  // silence to the track's end: two blocks
                 {0x2A, 0, 0, 0, 0, 20, 0, 0, 10, 0},
                 {0x2A, 0, 0, 0, 0, 30, 0, 0, 0, 0},  // and the rest, here 0 sectors
                 {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                 {0x5B, 0, 0x02, 0, 0, 0, 0, 0, 0, 0},
                 {0x1E, 0, 0, 0, 0x00, 0},
             })
            expected.push_back({cdb, {}});

        const auto log = drive.Commands();
        ASSERT_EQ(log.size(), expected.size());
        for (std::size_t i = 0; i < log.size(); ++i) {
            SCOPED_TRACE("command " + std::to_string(i));
            EXPECT_EQ(log[i].cdb, expected[i].cdb);
            EXPECT_EQ(log[i].dataOut, expected[i].data);
            EXPECT_EQ(log[i].status, 0);
            if (log[i].cdb[0] == 0x2A) {
                EXPECT_EQ(log[i].dataLength, log[i].cdb[8] * 2352u);
            }
        }

        // The disc: the audio, then silence; one track of 30 sectors.
        for (int i = 0; i < 5; ++i) EXPECT_EQ(ReadBack(drive, i), Sector(pcm, i));
        for (int i : {5, 29}) EXPECT_EQ(ReadBack(drive, i), Zeros(kSectorBytes));
        EXPECT_EQ(svtest::ReadFileBytes(drive.LastBurnCue()),
                  "FILE \"burn-001.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
        EXPECT_FALSE(drive.Locked());
        EXPECT_TRUE(drive.WriteCacheEnabled());
        // What the burn reported: calibration, lead-in, the text before the
        // lead-in given back, the track, lead-out.
        EXPECT_EQ(rec.tracksWritten, std::vector<int>{0});
        EXPECT_EQ(rec.sectors, (std::vector<std::uint32_t>{10, 20, 30, 30}));
        ASSERT_EQ(rec.statuses.size(), 5u);
        EXPECT_EQ(rec.statuses[3], "Track 1 - one.wav");
    }
}

// The other commands: tray, speed factors, test write, blanking, disc and
// mechanism states, the 0x36 page length, the generic transport's lock value.
TEST(WriterCommands, TrayBlankSpeedAndDiscState) {
    auto rig = MakeRig({"writer cdr", "writer cdrw", "writer cdrw-written page5-length 54"});
    TCDWriter& w = *rig->writer;
    ASSERT_FALSE(w.UseSPTI());
    ASSERT_EQ(w.DriveCount(), 3);

    // The burn window's refresh: a blank CD-R, a blank CD-RW, a written CD-RW, no disc.
    struct State {
        bool ready, erasable;
        int status;
    };
    const State states[] = {{true, false, 0}, {true, true, 0}, {true, true, 2}};
    for (int d = 0; d < 3; ++d) {
        ASSERT_TRUE(w.SelectDrive(d));
        const DiscState s = w.QueryDisc();
        EXPECT_EQ(s.ready, states[d].ready) << d;
        EXPECT_EQ(s.erasable, states[d].erasable) << d;
        EXPECT_EQ(s.status, states[d].status) << d;
    }
    VirtualWriter& rw = rig->Drive(2);
    EXPECT_TRUE(w.ReadyChanged());  // not ready until the first poll
    rw.ClearCommands();
    EXPECT_EQ(w.MechanismStatus(), 1);
    EXPECT_EQ(w.LoadEject(true), kAspiDone);
    EXPECT_EQ(w.MechanismStatus(), 5);
    EXPECT_FALSE(w.QueryDisc().ready);
    EXPECT_TRUE(w.ReadyChanged());  // ready before, not now
    EXPECT_FALSE(w.ReadyChanged());
    EXPECT_EQ(w.LoadEject(false), kAspiDone);
    EXPECT_TRUE(w.ReadyChanged());
    EXPECT_TRUE(w.LockMedium(true));
    EXPECT_TRUE(rw.Locked());
    EXPECT_TRUE(w.LockMedium(false));
    for (int factor : {255, 32, 1}) EXPECT_TRUE(w.SetWriteSpeed(factor));
    EXPECT_EQ(rw.WriteSpeedKb(), 176);
    EXPECT_TRUE(w.BlankDisc(true));
    EXPECT_TRUE(w.QueryDisc().Blank());
    EXPECT_TRUE(w.BlankDisc(false));
    EXPECT_TRUE(w.SetWriteParameters(1, nullptr));
    EXPECT_EQ(rw.WriteParametersPage()[2], 0x52);  // BUFE, Test Write, session-at-once
    const std::vector<Bytes> cdbs = {
        {0xBD, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0},
        {0x1B, 0x01, 0, 0, 0x02, 0},
        {0xBD, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0},
        {0x00, 0, 0, 0, 0, 0},
        {0x00, 0, 0, 0, 0, 0},
        {0x00, 0, 0, 0, 0, 0},
        {0x1B, 0x01, 0, 0, 0x03, 0},
        {0x00, 0, 0, 0, 0, 0},
        {0x1E, 0, 0, 0, 0x01, 0},  // the generic transport locks with 1
        {0x1E, 0, 0, 0, 0x00, 0},
        {0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0},
        {0xBB, 0, 0xFF, 0xFF, 0x16, 0x0C, 0, 0, 0, 0, 0, 0},
        {0xBB, 0, 0xFF, 0xFF, 0x00, 0xB0, 0, 0, 0, 0, 0, 0},
        {0xA1, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x00, 0, 0, 0, 0, 0},
        {0x51, 0, 0, 0, 0, 0, 0, 0, 0x22, 0},
        {0xA1, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x55, 0x10, 0, 0, 0, 0, 0, 0, 0x14, 0},
        {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 0x3E, 0},
        {0x55, 0x10, 0, 0, 0, 0, 0, 0, 0x3C, 0},
    };
    const auto log = rw.Commands();
    EXPECT_EQ(CdbsOf(log), cdbs);
    // The drive's page is 0x36 long: the page says so, in a list of 60 bytes.
    EXPECT_EQ(log.back().dataOut, WithBytes(Zeros(60), 8, {0x05, 0x36, 0x52}));
    // Blanking a CD-R fails; image mode needs no drive.
    ASSERT_TRUE(w.SelectDrive(0));
    EXPECT_FALSE(w.BlankDisc(false));
    rig->Drive(0).ClearCommands();
    EXPECT_TRUE(w.SetWriteParameters(TCDWriter::kImageModeFlag, nullptr));
    EXPECT_TRUE(rig->Drive(0).Commands().empty());
    EXPECT_FALSE(w.SelectDrive(3));
    EXPECT_EQ(w.CurrentDrive(), 0);
}

// A cue sheet of three tracks and the speed arithmetic, as sent.
TEST(WriterCommands, CueSheetAndSpeedArithmetic) {
    const std::uint32_t starts[] = {0, 1000, 1075, 4575};
    EXPECT_EQ(BuildCueSheet(starts), (Bytes{0x01, 0x00, 0x00, 0x01, 0x00, 0, 0, 0,  //
                                            0x01, 0x01, 0x00, 0x00, 0x00, 0, 0, 0,  //
                                            0x01, 0x01, 0x01, 0x00, 0x00, 0, 2, 0,  //
                                            0x01, 0x02, 0x01, 0x00, 0x00, 0, 15, 25,  // 1150
                                            0x01, 0x03, 0x01, 0x00, 0x00, 0, 16, 25,  // 1225
                                            0x01, 0xAA, 0x01, 0x01, 0x00, 1, 3, 0}));  // 4725
    EXPECT_EQ(WriteSpeedKb(255), 0xFFFF);
    EXPECT_EQ(WriteSpeedKb(32), 5644);
    EXPECT_EQ(WriteSpeedKb(16), 2822);
    EXPECT_EQ(WriteSpeedKb(1), 176);
    auto rig = MakeRig({"writer cdr"});
    rig->writer->TrackCount = 0;
    EXPECT_FALSE(rig->writer->SendCueSheet());
    EXPECT_FALSE(rig->writer->SetTrackLengths(std::vector<std::uint32_t>(100, 10)));
    EXPECT_TRUE(rig->writer->SetTrackLengths(std::vector<std::uint32_t>(99, 10)));
    EXPECT_EQ(rig->writer->TrackStart[99], 990u);
    rig->writer->SectorsPerWrite = 0;
    EXPECT_FALSE(rig->writer->SetSourceFiles({"x.wav"}));
}

// SectorsPerWrite below 5 is raised to 5: the pregap and the audio go in
// writes of 5 sectors, the last one cut at the track's end.
TEST(WriterCommands, SectorsPerWriteBelowFiveIsRaisedToFive) {
    auto rig = MakeRig({"writer cdr"});
    TCDWriter& w = *rig->writer;
    const Bytes pcm = PatternPcm(12 * kSectorBytes, 2);
    const std::string file = rig->dir.Slash() + "twelve.wav";
    svtest::WriteCdWav(file, pcm);
    w.SectorsPerWrite = 3;
    Recorder rec;
    EXPECT_EQ(Burn(w, {file}, {12}, rec).outcome, WriteOutcome::Completed);
    EXPECT_EQ(w.SectorsPerWrite, 5u);
    std::vector<Bytes> writes;
    for (const auto& c : rig->Drive().Commands())
        if (c.cdb[0] == 0x2A) writes.push_back(c.cdb);
    ASSERT_EQ(writes.size(), 30u + 3u);
    for (std::size_t i = 0; i < 30; ++i) EXPECT_EQ(writes[i][8], 5);
    EXPECT_EQ(writes[30], (Bytes{0x2A, 0, 0, 0, 0, 0, 0, 0, 5, 0}));
    EXPECT_EQ(writes[31], (Bytes{0x2A, 0, 0, 0, 0, 5, 0, 0, 5, 0}));
    EXPECT_EQ(writes[32], (Bytes{0x2A, 0, 0, 0, 0, 10, 0, 0, 2, 0}));
    for (int i : {0, 7, 11}) EXPECT_EQ(ReadBack(rig->Drive(), i), Sector(pcm, i));
}

// A disc too small refuses the cue sheet: nothing is written.
TEST(WriterCommands, DiscTooSmallRefusesTheCueSheet) {
    auto rig = MakeRig({"writer cdr capacity 100"});
    const std::string file = rig->dir.Slash() + "a.wav";
    svtest::WriteCdWav(file, PatternPcm(10 * kSectorBytes, 3));
    Recorder rec;
    const BurnResult r = Burn(*rig->writer, {file}, {101}, rec);
    EXPECT_TRUE(r.parameters);
    EXPECT_FALSE(r.cueSheet);
    const auto log = rig->Drive().Commands();
    EXPECT_EQ(log.back().cdb[0], 0x5D);
    EXPECT_EQ((Bytes{log.back().senseKey, log.back().asc, log.back().ascq}), (Bytes{5, 0x21, 0}));
    EXPECT_TRUE(rig->Drive().Blank());
    EXPECT_FALSE(std::filesystem::exists(rig->BurnFolder() + "burn-001.bin"));
    // 100 sectors fit.
    EXPECT_TRUE(Burn(*rig->writer, {file}, {100}, rec).cueSheet);
}

// A write error at one sector fails that WRITE only: it is counted, the burn
// goes on and the disc reads back with that block silent.
TEST(WriterCommands, WriteErrorIsCountedAndTheBurnGoesOn) {
    auto rig = MakeRig({"writer cdr write-error 25"});
    TCDWriter& w = *rig->writer;
    const Bytes pcm = PatternPcm(60 * kSectorBytes, 4);
    const std::string file = rig->dir.Slash() + "a.wav";
    svtest::WriteCdWav(file, pcm);
    Recorder rec;
    EXPECT_EQ(Burn(w, {file}, {60}, rec).outcome, WriteOutcome::Completed);
    EXPECT_EQ(w.WriteErrors(), 1);
    EXPECT_EQ(rec.errors, (std::vector<int>{0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(ReadBack(rig->Drive(), 25), Zeros(kSectorBytes));
    EXPECT_EQ(ReadBack(rig->Drive(), 19), Sector(pcm, 19));
    EXPECT_EQ(ReadBack(rig->Drive(), 30), Sector(pcm, 30));
    EXPECT_EQ(ReadBack(rig->Drive(), 59), Sector(pcm, 59));
}

// A cancel stops at the next block; the session is still closed and the tray
// unlocked, and the disc holds what was written with silence after it.
TEST(WriterCommands, CancelStillClosesTheSession) {
    for (const bool decodeAhead : {false, true}) {
        SCOPED_TRACE(decodeAhead ? "decode-ahead thread" : "no thread");
        auto rig = MakeRig({"writer cdr"});
        TCDWriter& w = *rig->writer;
        w.DecodeAhead = decodeAhead;
        const Bytes pcm = PatternPcm(40 * kSectorBytes, 5);
        const std::string a = rig->dir.Slash() + "a.wav", b = rig->dir.Slash() + "b.wav";
        svtest::WriteCdWav(a, pcm);
        svtest::WriteCdWav(b, pcm);
        Recorder rec;
        rec.cancelAfterBlocks = 2;
        EXPECT_EQ(Burn(w, {a, b}, {40, 40}, rec).outcome, WriteOutcome::Cancelled);
        EXPECT_EQ(rec.sectors, (std::vector<std::uint32_t>{10, 20}));
        EXPECT_TRUE(rec.tracksWritten.empty());
        const auto cdbs = CdbsOf(rig->Drive().Commands());
        ASSERT_GE(cdbs.size(), 3u);
        EXPECT_EQ(cdbs[cdbs.size() - 3][0], 0x35);
        EXPECT_EQ(cdbs[cdbs.size() - 2], (Bytes{0x5B, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(cdbs.back(), (Bytes{0x1E, 0, 0, 0, 0, 0}));
        EXPECT_FALSE(rig->Drive().Locked());
        EXPECT_EQ(ReadBack(rig->Drive(), 19), Sector(pcm, 19));
        EXPECT_EQ(ReadBack(rig->Drive(), 20), Zeros(kSectorBytes));
        EXPECT_EQ(ReadBack(rig->Drive(), 79), Zeros(kSectorBytes));
    }
}

// A source that cannot be opened ends the writing; the session is closed.
// A test write records nothing.
TEST(WriterCommands, MissingSourceEndsTheWritingAndTestWriteRecordsNothing) {
    auto rig = MakeRig({"writer cdr"});
    TCDWriter& w = *rig->writer;
    const std::string a = rig->dir.Slash() + "a.wav";
    svtest::WriteCdWav(a, PatternPcm(20 * kSectorBytes, 6));
    Recorder rec;
    EXPECT_EQ(Burn(w, {a, rig->dir.Slash() + "gone.mp3", a}, {20, 20, 20}, rec).outcome, WriteOutcome::SourceFailed);
    EXPECT_EQ(w.FailedTrack(), 1);
    EXPECT_EQ(rec.tracksWritten, std::vector<int>{0});
    EXPECT_FALSE(rig->Drive().Blank());

    auto test = MakeRig({"writer cdr"});
    Recorder rec2;
    EXPECT_EQ(Burn(*test->writer, {a}, {20}, rec2, 1).outcome, WriteOutcome::Completed);
    EXPECT_TRUE(test->Drive().Blank());
    EXPECT_EQ(test->Drive().WriteParametersPage()[2], 0x52);
}

// WaitReady asks again every 100 ms while the drive is becoming ready.
TEST(WriterCommands, WaitReadyWaitsForTheDrive) {
    auto rig = MakeRig({"writer cdr"});
    VirtualWriter& d = rig->Drive();
    VirtualFaults f;
    f.notReady = true;
    d.SetFaults(f);
    rig->clock.onSleep = [&] {
        if (rig->clock.Sleeps() == 3) d.SetFaults({});
    };
    d.ClearCommands();
    EXPECT_TRUE(rig->writer->WaitReady());
    EXPECT_EQ(d.Commands().size(), 4u);
    EXPECT_EQ(rig->clock.NowMs(), 300);
}
