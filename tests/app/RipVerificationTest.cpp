// The verdicts on a grab's tracks from a database served on the loopback
// interface, the texts and the log they give, and a grab in the window that
// ends with its verdicts and its log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "RecordingView.h"
#include "app/CdromDriveAccess.h"
#include "app/MainForm.h"
#include "app/RipVerification.h"
#include "base/Language.h"
#include "cdrom/DemoDisc.h"
#include "cdrom/TCDROM.h"
#include "cdrom/VirtualDrive.h"
#include "metadata/DiscId.h"
#include "support/LoopbackServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;

namespace {

// The demo disc's layout: tracks at 0, 3000, 5250, 7875, lead-out 9750.
DISC_INFO DemoLayout() {
    DISC_INFO disc;
    disc.SetTrackCount(4);
    const int starts[] = {0, 3000, 5250, 7875, 9750};
    for (int i = 0; i <= 4; ++i) {
        disc.Track(i).SetStartLba(starts[i]);
        disc.Track(i).SetAudioFlag(i < 4);
    }
    StoreDiscId(disc, 0x19008204);
    return disc;
}

void Le32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}

TrackCheck Check(int row, std::uint32_t v1, std::uint32_t v2, bool whole = true) {
    TrackCheck c;
    c.row = row;
    c.arV1 = v1;
    c.arV2 = v2;
    c.crc32 = 0xC0DE0000u + static_cast<std::uint32_t>(row);
    c.wholeTrack = whole;
    c.file = "/music/A/B/Track " + std::to_string(row + 1) + ".flac";
    return c;
}

}  // namespace

TEST(RipVerification, VerdictsTextsAndLogFromTheDatabase) {
    const DISC_INFO disc = DemoLayout();
    // id1 = 0+3000+5250+7875+9750 = 25875; id2 = 1x1 + 3000x2 + 5250x3 + 7875x4 + 9750x5 = 102001.
    std::string bin;
    bin += static_cast<char>(4);
    Le32(bin, 25875);
    Le32(bin, 102001);
    Le32(bin, 0x19008204);
    const std::pair<int, std::uint32_t> entries[] = {{12, 0x11111111}, {3, 0xDEADBEEF}, {7, 0x33333333}, {0, 0}};
    for (const auto& [confidence, crc] : entries) {
        bin += static_cast<char>(confidence);
        Le32(bin, crc);
        Le32(bin, 0);
    }
    svtest::LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    server.Reply(svtest::HttpReply(bin));
    VerifyOptions options;
    options.server = "127.0.0.1:" + std::to_string(server.Port());
    options.timeoutMs = 3000;
    const std::vector<TrackCheck> checks = {Check(0, 0x99999999, 0x11111111), Check(1, 1, 2),
                                            Check(2, 0x33333333, 0, false), Check(3, 5, 6)};
    const RipVerification v = VerifyTrackChecks(disc, checks, options);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("GET /accuraterip/3/1/5/dBAR-004-00006513-00018e71-19008204.bin "),
              std::string::npos);
    ASSERT_EQ(v.tracks.size(), 4u);
    TLanguage builtin;
    const std::string texts[] = {"AccurateRip: точно (достоверность 12)",
                                 "AccurateRip: не совпадает (диск в базе, достоверность до 3)",
                                 "AccurateRip: не проверено (диапазон трека обрезан)", "AccurateRip: диска нет в базе"};
    const char* words[] = {"accurate", "inaccurate", "unchecked", "unknown"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(AccurateRipText(v.tracks[i].ar, builtin, "Russian"), texts[i]) << i;
        EXPECT_NE(AccurateRipJson(v.tracks[i]).find(std::string("\"result\": \"") + words[i] + "\""), std::string::npos);
    }
    EXPECT_EQ(v.tracks[0].ar.version, 2);
    EXPECT_EQ(AccurateRipJson(v.tracks[0]),
              "{\"v1\": \"99999999\", \"v2\": \"11111111\", \"result\": \"accurate\", \"confidence\": 12}");

    RipLogFacts facts;
    facts.program = "Sornaval v3.4";
    facts.readOffset = 6;
    const std::string log = RipLogText(v, facts);
    for (const char* line : {"Read offset correction: 6 samples", "AccurateRip lookup: 1 pressing(s) in the database",
                             "Copy CRC32: c0de0001", "Result: AccurateRip: accurately ripped (confidence 12), v2",
                             "1 of 4 tracks accurately ripped"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(RipLogPath(v, "Best: of/2001?"), "/music/A/B/Best of2001.log");
    EXPECT_EQ(RipLogPath(v, ""), "/music/A/B/rip.log");
}

TEST(RipVerification, AnUnknownDiscAndNoLookup) {
    const DISC_INFO disc = DemoLayout();
    svtest::LoopbackServer server;
    server.Reply("HTTP/1.0 404 Not Found\r\n\r\n");
    VerifyOptions options;
    options.server = "127.0.0.1:" + std::to_string(server.Port());
    options.timeoutMs = 3000;
    const RipVerification unknown = VerifyTrackChecks(disc, {Check(1, 1, 2)}, options);
    ASSERT_EQ(unknown.tracks.size(), 1u);
    EXPECT_EQ(unknown.tracks[0].ar.result, ArTrackResult::Unknown);
    EXPECT_EQ(unknown.lookup, ArLookup::Status::NotFound);

    options.lookup = false;
    const RipVerification off = VerifyTrackChecks(disc, {Check(1, 1, 2)}, options);
    EXPECT_EQ(off.tracks[0].ar.result, ArTrackResult::Unchecked);
    EXPECT_EQ(server.Connections(), 1);
}

TEST(RipVerification, AGrabInTheWindowEndsWithVerdictsAndALog) {
    svtest::TempDir dir;
    setenv("SORNAVAL_ACCURATERIP", "off", 1);
    ManualClock clock;
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.clock = &clock;
    CdromDriveAccess drives(env, nullptr, true);
    svtest::RecordingView view;
    svtest::ScriptedDialogs dialogs;
    NullEventPump pump;
    TMainForm form({view, drives, dialogs, pump, {dir.Slash(), dir.Slash() + "setting/", dir.Slash() + "Music/"}});
    form.Construct();
    form.AlbumEdited("Sines");
    for (int track : {1, 2, 3}) form.TrackChecked(track, false);
    std::filesystem::create_directories(dir.Path() / "Music");
    const GrabResult result = form.Grab(GrabSender::WavButton);
    ASSERT_TRUE(result.ran);
    ASSERT_EQ(result.rip.checks.size(), 1u);
    EXPECT_EQ(view.rows[0].status, "Скопирован - AccurateRip: не проверено (the lookup is switched off)");
    const auto log = std::filesystem::path(result.rip.files[0]).parent_path() / "Sines.log";
    const std::string text = svtest::ReadFileBytes(log);
    // The demo disc's identifiers, worked out with Python's hashlib.
    EXPECT_NE(text.find("CDDB disc id: 19008204\nMusicBrainz disc id: HMkp3HooV7DxCtsykPa.T_UGA_I-\n"),
              std::string::npos)
        << text;
}

TEST(RipVerification, TheReadOffsetIsFoundFromSector450OfTheDatabase) {
    const auto image = MakeDemoDisc();
    const int starts[] = {0, 3000, 5250, 7875};
    // The database's sector-450 sums of the true disc, worked out here.
    auto pressing = [&](int confidence) {
        std::string bin;
        bin += static_cast<char>(4);
        Le32(bin, 25875);
        Le32(bin, 102001);
        Le32(bin, 0x19008204);
        for (const int start : starts) {
            std::uint8_t sector[2352];
            EXPECT_EQ(image->ReadSector(start + 450, sector), DiscImage::SectorResult::Ok);
            std::uint64_t sum = 0;
            for (int k = 0; k < 588; ++k)
                sum += static_cast<std::uint64_t>(k + 1) *
                       (sector[4 * k] | sector[4 * k + 1] << 8 | sector[4 * k + 2] << 16 |
                        static_cast<std::uint64_t>(sector[4 * k + 3]) << 24);
            bin += static_cast<char>(confidence);
            Le32(bin, 0x12345678);
            Le32(bin, static_cast<std::uint32_t>(sum % (1ull << 32)));
        }
        return bin;
    };
    ManualClock clock;
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.clock = &clock;
    CdromDriveAccess drives(env, nullptr, true);
    TCDROM& cdrom = *drives.Cdrom();
    DISC_INFO disc = DemoLayout();
    for (const int offset : {667, -1176, 6}) {
        cdrom.VirtualDriveAt(0)->SetReadOffset(offset);
        svtest::LoopbackServer server;
        server.Reply(svtest::HttpReply(pressing(4)));
        VerifyOptions options;
        options.server = "127.0.0.1:" + std::to_string(server.Port());
        options.timeoutMs = 3000;
        const OffsetDetection d = DetectReadOffset(cdrom, disc, options);
        EXPECT_TRUE(d.found) << offset << " " << d.reason;
        EXPECT_EQ(d.offset, offset);
        EXPECT_EQ(d.tracks, 3);
        EXPECT_EQ(d.confidence, 4);
    }
    // A single submitter is not enough to trust.
    svtest::LoopbackServer server;
    server.Reply(svtest::HttpReply(pressing(1)));
    VerifyOptions options;
    options.server = "127.0.0.1:" + std::to_string(server.Port());
    EXPECT_FALSE(DetectReadOffset(cdrom, disc, options).found);
}
