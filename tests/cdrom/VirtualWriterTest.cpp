// The virtual writer, driven by command blocks and parameter lists built here
// byte by byte: a disc-at-once burn that then reads back as a disc, the
// refusals a drive gives, test writes, blanking, the disc information of each
// kind of disc, the injected write error and the slow drive, and writer lines
// of the virtual drive list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "CdromTestSupport.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DemoDisc.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/VirtualWriter.h"
#include "support/TempDir.h"

using namespace sv;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Reply {
    int status = 0;
    int key = 0, asc = 0, ascq = 0;
    Bytes data;
};

// Sends one command; `data` goes out when given, else `inBytes` come back.
Reply Send(IScsiDevice& d, Bytes cdb, Bytes data = {}, std::uint32_t inBytes = 0) {
    Reply r;
    SenseData sense{};
    const bool out = !data.empty();
    if (!out) data.assign(inBytes, 0);
    r.status = d.Execute(cdb.data(), static_cast<int>(cdb.size()), data.empty() ? nullptr : data.data(),
                         static_cast<std::uint32_t>(data.size()), out ? ScsiDirection::Out : ScsiDirection::In, sense);
    r.key = sense[2] & 0x0F;
    r.asc = sense[12];
    r.ascq = sense[13];
    if (!out) r.data = data;
    return r;
}

void ExpectGood(const Reply& r) { EXPECT_EQ(r.status, 0) << std::hex << r.key << "/" << r.asc << "/" << r.ascq; }

void ExpectSense(const Reply& r, int key, int asc, int ascq) {
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.key, key);
    EXPECT_EQ(r.asc, asc);
    EXPECT_EQ(r.ascq, ascq);
}

// MODE SELECT(10) of the write parameters page, 60 bytes: BUFE, session-at-once, raw 2352.
Reply SelectPage5(IScsiDevice& d, bool test) {
    Bytes list(60, 0);
    list[8] = 0x05;
    list[9] = 0x32;
    list[10] = static_cast<std::uint8_t>(0x40 | (test ? 0x10 : 0) | 0x02);
    return Send(d, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 60, 0}, list);
}

Reply SendCue(IScsiDevice& d, const Bytes& sheet) {
    return Send(d, {0x5D, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(sheet.size()), 0}, sheet);
}

// Two tracks: 300 sectors, then 200 sectors of which the first 30 are an
// INDEX 00 pregap. Absolute addresses: track 1 index 0 at 00:00:00, index 1
// at 00:02:00 (150), track 2 index 0 at 00:05:45 (420), index 1 at 00:06:00
// (450), lead-out at 00:08:50 (650).
const Bytes kTwoTrackCue = {
    0x01, 0x00, 0x00, 0x01, 0x00, 0, 0, 0,     //
    0x01, 0x01, 0x00, 0x00, 0x00, 0, 0, 0,     //
    0x01, 0x01, 0x01, 0x00, 0x00, 0, 2, 0,     //
    0x01, 0x02, 0x00, 0x00, 0x00, 0, 5, 45,    //
    0x01, 0x02, 0x01, 0x00, 0x00, 0, 6, 0,     //
    0x01, 0xAA, 0x01, 0x01, 0x00, 0, 8, 50,    //
};

Bytes WriteCdb(std::int32_t lba, int count) {
    const auto a = static_cast<std::uint32_t>(lba);
    return {0x2A, 0, static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
            static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), 0, static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count), 0};
}

// `count` sectors from `lba`: silence before 0, pattern sectors after.
Bytes Audio(std::int32_t lba, int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) {
        const auto s = lba + i < 0 ? Bytes(2352, 0) : cdtest::PatternSector(lba + i);
        b.insert(b.end(), s.begin(), s.end());
    }
    return b;
}

// Writes the session of kTwoTrackCue: the pregap in 5-sector writes, then
// the audio in 10-sector writes; `pregapFrom0` addresses the pregap from 0
// instead of -150. Returns the replies of the audio writes.
std::vector<Reply> WriteSession(IScsiDevice& d, bool pregapFrom0) {
    for (int i = 0; i < 150; i += 5) ExpectGood(Send(d, WriteCdb(pregapFrom0 ? i : i - 150, 5), Audio(-150 + i, 5)));
    std::vector<Reply> replies;
    for (int lba = 0; lba < 500; lba += 10) replies.push_back(Send(d, WriteCdb(lba, 10), Audio(lba, 10)));
    return replies;
}

const Bytes kSync = {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const Bytes kCloseSession = {0x5B, 0, 0x02, 0, 0, 0, 0, 0, 0, 0};
const Bytes kDiscInfo = {0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0};
const Bytes kTocLba = {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x20, 0};

Bytes ReadCd(IScsiDevice& d, std::int32_t lba) {
    const auto a = static_cast<std::uint32_t>(lba);
    const Reply r = Send(d, {0xBE, 0x04, 0, 0, static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a), 0, 0, 1,
                             0x10, 0, 0},
                         {}, 2352);
    EXPECT_EQ(r.status, 0) << "READ CD " << lba;
    return r.data;
}

struct Bench {
    ManualClock clock;
    svtest::TempDir out;
    std::unique_ptr<VirtualWriter> writer;
    explicit Bench(WritableMedium m = {}, VirtualDriveModel model = VirtualWriterModel()) {
        writer = std::make_unique<VirtualWriter>(std::move(m), out.Slash(), clock, std::move(model));
    }
    int FilesWritten() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(out.Path()), {}));
    }
};

TEST(VirtualWriter, DiscAtOnceBurnReadsBackAsTheDiscTheCueSheetDefined) {
    for (const bool pregapFrom0 : {false, true}) {
        SCOPED_TRACE(pregapFrom0 ? "pregap addressed from 0" : "pregap addressed from -150");
        Bench b;
        VirtualWriter& w = *b.writer;
        // The drive's page 5 is 0x32 bytes long; caching page, then page 5.
        EXPECT_EQ(Send(w, {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 62, 0}, {}, 62).data[9], 0x32);
        ExpectGood(Send(w, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 20, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x0A, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_TRUE(w.WriteCacheEnabled());
        ExpectGood(SelectPage5(w, false));
        EXPECT_EQ(Send(w, {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 62, 0}, {}, 62).data[10], 0x42);  // kept as selected
        ExpectGood(Send(w, {0xBB, 0, 0xFF, 0xFF, 0x16, 0x0C, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(w.WriteSpeedKb(), 5644);
        ExpectGood(Send(w, {0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}));
        ExpectGood(SendCue(w, kTwoTrackCue));
        for (const Reply& r : WriteSession(w, pregapFrom0)) ExpectGood(r);
        ExpectGood(Send(w, kSync));
        EXPECT_TRUE(w.Blank());
        ExpectGood(Send(w, kCloseSession));
        EXPECT_FALSE(w.Blank());

        // READ TOC in LBA form: tracks 1 and 2 at 0 and 300, the lead-out at 500.
        const Reply toc = Send(w, kTocLba, {}, 800);
        ExpectGood(toc);
        EXPECT_EQ(Bytes(toc.data.begin(), toc.data.begin() + 28),
                  (Bytes{0, 26, 1, 2, 0, 0x10, 1, 0, 0, 0, 0, 0, 0, 0x10, 2, 0, 0, 0, 0x01, 0x2C, 0, 0x10, 0xAA, 0, 0, 0,
                         0x01, 0xF4}));
        // The audio, the second track's INDEX 00 pregap and its INDEX 01 sector included.
        for (const std::int32_t lba : {0, 299, 270, 300, 499}) EXPECT_EQ(ReadCd(w, lba), cdtest::PatternSector(lba));
        // A complete CD-R: status 2, last session complete, not erasable, tracks 1 to 2.
        const Reply info = Send(w, kDiscInfo, {}, 34);
        EXPECT_EQ(Bytes(info.data.begin(), info.data.begin() + 7), (Bytes{0, 32, 0x0E, 1, 1, 1, 2}));

        // The files, through the image reader.
        const std::string cue = w.LastBurnCue();
        EXPECT_EQ(std::filesystem::path(cue).filename(), "burn-001.cue");
        EXPECT_EQ(std::filesystem::file_size(b.out.Path() / "burn-001.bin"), 500u * 2352u);
        EXPECT_EQ(svtest::ReadFileBytes(cue), "FILE \"burn-001.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                              "  TRACK 02 AUDIO\n    INDEX 00 00:03:45\n    INDEX 01 00:04:00\n");
        std::string error;
        const auto image = LoadCueSheet(cue, error);
        ASSERT_TRUE(image) << error;
        ASSERT_EQ(image->Tracks().size(), 2u);
        EXPECT_EQ(image->Tracks()[1].index0Lba, 270);
        EXPECT_EQ(image->Leadout(), 500);
        // Every command block was recorded.
        EXPECT_EQ(w.Commands().size(), 7u + 30u + 50u + 2u + 7u);
    }
}

// An entry of a hand-made cue sheet: CTL/ADR 01, data form 0 (1 for lead-in and lead-out).
Bytes Entry(std::uint8_t tno, std::uint8_t index, int absFrames);
Bytes Sheet(std::initializer_list<Bytes> entries);

TEST(VirtualWriter, ALongerFirstPregapStaysOnTheDiscBeforeTrackOne) {
    // Track 1: index 0 at 00:00:00, index 1 at 00:04:00 (300); lead-out at 310.
    Bench b;
    ExpectGood(SelectPage5(*b.writer, false));
    ExpectGood(SendCue(*b.writer, Sheet({Entry(0, 0, 0), Entry(1, 0, 0), Entry(1, 1, 300), Entry(0xAA, 1, 310)})));
    ExpectGood(Send(*b.writer, WriteCdb(-150, 160), Audio(-150, 160)));
    ExpectGood(Send(*b.writer, kCloseSession));
    EXPECT_EQ(svtest::ReadFileBytes(b.writer->LastBurnCue()),
              "FILE \"burn-001.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n");
    const Reply toc = Send(*b.writer, kTocLba, {}, 800);
    EXPECT_EQ(Bytes(toc.data.begin(), toc.data.begin() + 20),
              (Bytes{0, 18, 1, 1, 0, 0x10, 1, 0, 0, 0, 0, 150, 0, 0x10, 0xAA, 0, 0, 0, 0, 160}));
    EXPECT_EQ(ReadCd(*b.writer, 5), cdtest::PatternSector(5));
}

Bytes Entry(std::uint8_t tno, std::uint8_t index, int absFrames) {
    const std::uint8_t form = tno == 0 || tno == 0xAA ? 1 : 0;
    return {0x01, tno, index, form, 0, static_cast<std::uint8_t>(absFrames / 4500),
            static_cast<std::uint8_t>(absFrames / 75 % 60), static_cast<std::uint8_t>(absFrames % 75)};
}

Bytes Sheet(std::initializer_list<Bytes> entries) {
    Bytes b;
    for (const Bytes& e : entries) b.insert(b.end(), e.begin(), e.end());
    return b;
}

// `sheet` with the lead-in entry's data form set to `form`.
Bytes WithForm(Bytes sheet, std::uint8_t form) {
    sheet[3] = form;
    return sheet;
}

TEST(VirtualWriter, RefusesWhatADriveRefusesWithItsSense) {
    const Bytes leadIn = Entry(0, 0, 0), pregap = Entry(1, 0, 0), t1 = Entry(1, 1, 150);
    struct Case {
        const char* what;
        WritableMedium medium;
        VirtualDriveModel model;
        std::function<Reply(VirtualWriter&)> run;
        int key, asc, ascq;
    };
    WritableMedium small;
    small.capacity = 1000;
    WritableMedium cdrw;
    cdrw.rewritable = true;
    cdrw.content = MakeDemoDisc();
    VirtualDriveModel noTest = VirtualWriterModel();
    noTest.testWrite = false;
    auto cueThen = [](Bytes sheet) {
        return [sheet](VirtualWriter& w) {
            ExpectGood(SelectPage5(w, false));
            return SendCue(w, sheet);
        };
    };
    auto afterCue = [](std::function<Reply(VirtualWriter&)> f) {
        return [f](VirtualWriter& w) {
            ExpectGood(SelectPage5(w, false));
            ExpectGood(SendCue(w, kTwoTrackCue));
            return f(w);
        };
    };
    const std::vector<Case> cases = {
        {"descending tracks", {}, VirtualWriterModel(),
         cueThen(Sheet({leadIn, pregap, t1, Entry(3, 1, 450), Entry(2, 1, 600), Entry(0xAA, 1, 900)})), 5, 0x26, 0},
        {"no lead-out", {}, VirtualWriterModel(), cueThen(Sheet({leadIn, pregap, t1, Entry(2, 1, 450)})), 5, 0x26, 0},
        {"index 1 going back", {}, VirtualWriterModel(),
         cueThen(Sheet({leadIn, pregap, t1, Entry(2, 1, 140), Entry(0xAA, 1, 900)})), 5, 0x26, 0},
        {"two tracks at one address", {}, VirtualWriterModel(),
         cueThen(Sheet({leadIn, pregap, t1, Entry(2, 1, 150), Entry(0xAA, 1, 900)})), 5, 0x26, 0},
        {"track 1 without its 2-second pregap", {}, VirtualWriterModel(),
         cueThen(Sheet({leadIn, t1, Entry(0xAA, 1, 900)})), 5, 0x26, 0},
        {"not whole entries", {}, VirtualWriterModel(), cueThen(Bytes(kTwoTrackCue.begin(), kTwoTrackCue.end() - 3)),
         5, 0x1A, 0},
        {"lead-out one sector past the capacity", small, VirtualWriterModel(),
         cueThen(Sheet({leadIn, pregap, t1, Entry(0xAA, 1, 1001 + 150)})), 5, 0x21, 0},
        {"cue sheet for a written disc", cdrw, VirtualWriterModel(), cueThen(kTwoTrackCue), 5, 0x30, 5},
        {"cue sheet in track-at-once mode", {}, VirtualWriterModel(),
         [](VirtualWriter& w) { return SendCue(w, kTwoTrackCue); }, 5, 0x2C, 0},
        {"write before the cue sheet", {}, VirtualWriterModel(),
         [](VirtualWriter& w) {
             ExpectGood(SelectPage5(w, false));
             return Send(w, WriteCdb(-150, 5), Audio(-150, 5));
         },
         5, 0x2C, 0},
        {"write leaving a hole", {}, VirtualWriterModel(), afterCue([](VirtualWriter& w) {
             ExpectGood(Send(w, WriteCdb(-150, 5), Audio(-150, 5)));
             return Send(w, WriteCdb(-140, 5), Audio(-140, 5));
         }),
         5, 0x21, 2},
        {"write going back", {}, VirtualWriterModel(), afterCue([](VirtualWriter& w) {
             ExpectGood(Send(w, WriteCdb(-150, 5), Audio(-150, 5)));
             return Send(w, WriteCdb(-150, 5), Audio(-150, 5));
         }),
         5, 0x21, 2},
        {"write past the lead-out", {}, VirtualWriterModel(), afterCue([](VirtualWriter& w) {
             WriteSession(w, false);
             return Send(w, WriteCdb(500, 1), Audio(500, 1));
         }),
         5, 0x21, 0},
        {"test write on a drive that cannot", {}, noTest, [](VirtualWriter& w) { return SelectPage5(w, true); }, 5,
         0x26, 0},
        {"blank a CD-R", {}, VirtualWriterModel(),
         [](VirtualWriter& w) { return Send(w, {0xA1, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); }, 5, 0x30, 5},
        {"close without a session", {}, VirtualWriterModel(), [](VirtualWriter& w) { return Send(w, kCloseSession); },
         5, 0x2C, 0},
        // The lead-in (from -11634, 97:26:66) takes 96-byte R-W sectors only
        // when the cue sheet's lead-in entry has data form 0x41, in order.
        {"lead-in with packed R-W (data form 0xC1)", {}, VirtualWriterModel(),
         cueThen(WithForm(kTwoTrackCue, 0xC1)), 5, 0x26, 0},
        {"lead-in write without CD-TEXT in the cue sheet", {}, VirtualWriterModel(),
         afterCue([](VirtualWriter& w) { return Send(w, WriteCdb(-11634, 1), Bytes(96)); }), 5, 0x21, 2},
        {"lead-in write not at the lead-in start", {}, VirtualWriterModel(), [](VirtualWriter& w) {
             ExpectGood(SelectPage5(w, false));
             ExpectGood(SendCue(w, WithForm(kTwoTrackCue, 0x41)));
             return Send(w, WriteCdb(-11633, 1), Bytes(96));
         },
         5, 0x21, 2},
        {"lead-in write into the pregap", {}, VirtualWriterModel(), [](VirtualWriter& w) {
             ExpectGood(SelectPage5(w, false));
             ExpectGood(SendCue(w, WithForm(kTwoTrackCue, 0x41)));
             return Send(w, WriteCdb(-11634, 11485), Bytes(11485 * 96));
         },
         5, 0x21, 0},
        {"lead-in write shorter than its sectors", {}, VirtualWriterModel(), [](VirtualWriter& w) {
             ExpectGood(SelectPage5(w, false));
             ExpectGood(SendCue(w, WithForm(kTwoTrackCue, 0x41)));
             return Send(w, WriteCdb(-11634, 2), Bytes(191));
         },
         5, 0x24, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b(c.medium, c.model);
        ExpectSense(c.run(*b.writer), c.key, c.asc, c.ascq);
        EXPECT_EQ(b.writer->Blank(), c.medium.content == nullptr);
    }
    // The capacity is the last lead-out start a disc takes.
    Bench fits(small);
    ExpectGood(cueThen(Sheet({leadIn, pregap, t1, Entry(0xAA, 1, 1000 + 150)}))(*fits.writer));
    // A drive without test write says so in its capabilities page (byte 3 of the page: CD-R, CD-RW, test).
    Bench cannot({}, noTest);
    EXPECT_EQ(Send(*cannot.writer, {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 26, 0}, {}, 26).data[8 + 3], 0x03);
    EXPECT_EQ(Send(*fits.writer, {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 26, 0}, {}, 26).data[8 + 3], 0x07);
}

TEST(VirtualWriter, TestWriteRecordsNothingAndACancelledBurnIsSilenceToTheLeadOut) {
    Bench b;
    VirtualWriter& w = *b.writer;
    ExpectGood(SelectPage5(w, true));
    ExpectGood(SendCue(w, kTwoTrackCue));
    for (const Reply& r : WriteSession(w, false)) ExpectGood(r);
    ExpectGood(Send(w, kCloseSession));
    EXPECT_TRUE(w.Blank());
    EXPECT_EQ(b.FilesWritten(), 0);
    EXPECT_EQ(Send(w, kDiscInfo, {}, 34).data[2], 0x00);
    ExpectSense(Send(w, kTocLba, {}, 800), 5, 0x24, 0);
    // A real burn that stops after 100 sectors of audio is closed all the same.
    ExpectGood(SelectPage5(w, false));
    ExpectGood(SendCue(w, kTwoTrackCue));
    ExpectGood(Send(w, WriteCdb(-150, 150), Audio(-150, 150)));
    ExpectGood(Send(w, WriteCdb(0, 100), Audio(0, 100)));
    ExpectGood(Send(w, kCloseSession));
    EXPECT_EQ(ReadCd(w, 99), cdtest::PatternSector(99));
    for (const std::int32_t lba : {100, 300, 499}) EXPECT_EQ(ReadCd(w, lba), Bytes(2352, 0));
}

TEST(VirtualWriter, DiscInformationOfEachDiscAndBlanking) {
    WritableMedium cdr, blankRw, writtenRw;
    cdr.capacity = 359849;  // 79:59:74 as lead-out start: absolute 360000 - 1
    blankRw.rewritable = writtenRw.rewritable = true;
    blankRw.capacity = 1000;  // absolute 1150 = 00:15:25
    writtenRw.content = MakeDemoDisc();
    const int demoTracks = static_cast<int>(writtenRw.content->Tracks().size());
    const struct {
        const char* what;
        WritableMedium medium;
        Bytes head;  // bytes 2..6: flags and states, first track, sessions, first and last track of the last session
        Bytes addresses;  // bytes 16..23: lead-in start, last possible lead-out start
    } cases[] = {
        {"blank CD-R", cdr, {0x00, 1, 1, 1, 1}, {0, 97, 26, 66, 0, 79, 59, 74}},
        {"blank CD-RW", blankRw, {0x10, 1, 1, 1, 1}, {0, 97, 26, 66, 0, 0, 15, 25}},
        {"complete CD-RW", writtenRw, {0x1E, 1, 1, 1, static_cast<std::uint8_t>(demoTracks)}, Bytes(8, 0xFF)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench b(c.medium);
        const Reply r = Send(*b.writer, kDiscInfo, {}, 34);
        ExpectGood(r);
        EXPECT_EQ(Bytes(r.data.begin(), r.data.begin() + 2), (Bytes{0, 32}));
        EXPECT_EQ(Bytes(r.data.begin() + 2, r.data.begin() + 7), c.head);
        EXPECT_EQ(Bytes(r.data.begin() + 16, r.data.begin() + 24), c.addresses);
    }
    // Full and minimal blanking leave a blank rewritable disc that has nothing to read.
    for (const std::uint8_t type : {0x00, 0x01}) {
        SCOPED_TRACE(type == 0 ? "full" : "minimal");
        Bench b(writtenRw);
        ExpectGood(Send(*b.writer, {0xA1, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Send(*b.writer, kDiscInfo, {}, 34).data[2], 0x10);
        ExpectSense(Send(*b.writer, kTocLba, {}, 800), 5, 0x24, 0);
        // ... and takes a new burn.
        ExpectGood(SelectPage5(*b.writer, false));
        ExpectGood(SendCue(*b.writer, kTwoTrackCue));
    }
}

TEST(VirtualWriter, WriteErrorFailsOneWriteAndASlowDriveTakesItsTime) {
    Bench b;
    VirtualWriter& w = *b.writer;
    VirtualFaults f;
    f.unwritable[325] = 1;
    f.writeDelayMs = 7;
    w.SetFaults(f);
    ExpectGood(SelectPage5(w, false));
    ExpectGood(SendCue(w, kTwoTrackCue));
    const std::vector<Reply> replies = WriteSession(w, false);
    // The write of 320..329 failed with a write error; the ones after it went on.
    for (std::size_t i = 0; i < replies.size(); ++i) {
        if (i == 32) ExpectSense(replies[i], 3, 0x0C, 0);
        else ExpectGood(replies[i]);
    }
    EXPECT_EQ(b.clock.NowMs(), (30 + 50) * 7);
    ExpectGood(Send(w, kCloseSession));
    EXPECT_EQ(ReadCd(w, 325), Bytes(2352, 0));
    EXPECT_EQ(ReadCd(w, 330), cdtest::PatternSector(330));
}

TEST(VirtualWriter, WriterLinesOfTheDriveList) {
    svtest::TempDir dir;
    const auto list = dir.Path() / "virtual.lst";
    svtest::WriteFileBytes(list, "writer cdrw capacity 1000 write-error 12 write-delay 5 no-test-write folder \"" +
                                     dir.Slash() + "my burns\"\nwriter cdr page5-length 54\nwriter dvd\n");
    ManualClock clock;
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = false;
    env.virtualListPath = list.string();
    env.clock = &clock;
    DriveCatalog catalog(env);
    ASSERT_EQ(catalog.Count(), 2);
    ASSERT_EQ(catalog.ImageProblems().size(), 1u);
    EXPECT_NE(catalog.ImageProblems()[0].find("cdr, cdrw or cdrw-written"), std::string::npos);
    auto rw = std::dynamic_pointer_cast<VirtualWriter>(catalog.Entries()[0].drive);
    ASSERT_TRUE(rw);
    EXPECT_TRUE(rw->Rewritable());
    EXPECT_FALSE(rw->Model().testWrite);
    EXPECT_EQ(rw->Faults().unwritable.at(12), 1);
    EXPECT_EQ(rw->Faults().writeDelayMs, 5);
    EXPECT_EQ(Send(*rw, kDiscInfo, {}, 34).data[23], 25);  // lead-out start 00:15:25
    // The second writer's page 5 is 0x36 long; it takes the 60-byte list with that length.
    auto r = std::dynamic_pointer_cast<VirtualWriter>(catalog.Entries()[1].drive);
    ASSERT_TRUE(r);
    EXPECT_EQ(Send(*r, {0x5A, 0, 0x05, 0, 0, 0, 0, 0, 62, 0}, {}, 62).data[9], 0x36);
    Bytes list60(60, 0);
    list60[8] = 0x05;
    list60[9] = 0x36;
    list60[10] = 0x42;
    ExpectGood(Send(*r, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 60, 0}, list60));
    EXPECT_EQ(r->WriteParametersPage()[2], 0x42);
    // A burn on the first goes into its folder.
    ExpectGood(SelectPage5(*rw, false));
    ExpectGood(SendCue(*rw, kTwoTrackCue));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "my burns" / "burn-001.bin"));
}

}  // namespace

// The disc in a writer's drive between runs: only a CUE sheet of the writer's
// own folder is taken; blanking forgets it.
TEST(VirtualWriterDisc, ABurnedDiscStaysInTheDriveUntilBlanked) {
    svtest::TempDir dir;
    const std::string folder = dir.Slash();
    EXPECT_EQ(DiscInDrive(folder), "");
    std::ofstream(folder + "burn-001.cue") << "FILE \"burn-001.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    RememberDiscInDrive(folder, "burn-001.cue");
    EXPECT_EQ(DiscInDrive(folder), folder + "burn-001.cue");
    for (const char* name : {"../burn-001.cue", "missing.cue", "", ".."}) {
        std::ofstream(folder + kDiscInDriveFile) << name << "\n";
        EXPECT_EQ(DiscInDrive(folder), "") << name;
    }
    RememberDiscInDrive(folder, "burn-001.cue");
    RememberDiscInDrive(folder, "");
    EXPECT_EQ(DiscInDrive(folder), "");
    EXPECT_FALSE(std::filesystem::exists(folder + kDiscInDriveFile));
}
