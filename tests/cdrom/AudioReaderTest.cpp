// Audio extraction through a virtual drive under injected faults: what each
// method reads, repairs and re-reads, compared byte for byte with the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "CdromTestSupport.h"
#include "cdrom/AudioReader.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DriveCommands.h"
#include "support/TempDir.h"

using namespace sv;

namespace {

constexpr int kTrackSectors = 1000;

class Extraction : public ::testing::Test {
protected:
    void SetUp() override {
        cdtest::WritePatternBin(dir.Path() / "t.bin", 0, kTrackSectors);
        svtest::WriteFileBytes(dir.Path() / "t.cue", "FILE \"t.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
        std::string error;
        rig = cdtest::MakeRig(LoadCueSheet((dir.Path() / "t.cue").string(), error));
        ASSERT_TRUE(rig) << error;
    }
    void Faults(const VirtualFaults& f) { rig->Drive().SetFaults(f); }

    // Rips the whole track block by block and returns the bytes.
    std::vector<std::uint8_t> Rip(AudioReader& reader) {
        std::vector<std::uint8_t> out;
        for (std::int32_t pos = 0; pos < kTrackSectors;) {
            const int count = reader.BlockCount(pos, kTrackSectors);
            reader.ExtractBlock(pos, count, 0, kTrackSectors);
            out.insert(out.end(), reader.Buffer(), reader.Buffer() + count * kSectorBytes);
            pos += count;
        }
        return out;
    }
    static std::vector<std::uint8_t> Image(std::int32_t first, int count) {
        std::vector<std::uint8_t> v;
        for (int i = 0; i < count; ++i) {
            const auto s = cdtest::PatternSector(first + i);
            v.insert(v.end(), s.begin(), s.end());
        }
        return v;
    }
    bool SameAsImage(const std::vector<std::uint8_t>& got, std::int32_t sector) {
        return std::equal(got.begin() + sector * kSectorBytes, got.begin() + (sector + 1) * kSectorBytes,
                          cdtest::PatternSector(sector).begin());
    }
    int CountOpcode(std::uint8_t opcode) {
        int n = 0;
        for (const auto& c : rig->Drive().Commands()) n += c.cdb[0] == opcode ? 1 : 0;
        return n;
    }

    svtest::TempDir dir;
    std::unique_ptr<cdtest::Rig> rig;
};

TEST_F(Extraction, BlockSizesAndMargins) {
    AudioReader zero(*rig->cdrom, {0, false, 0});
    EXPECT_EQ(zero.BlockSectors(), 26);
    EXPECT_EQ(zero.BlockCount(990, 1000), 10);
    EXPECT_EQ(zero.BlockCount(1000, 1000), 0);
    AudioReader seven(*rig->cdrom, {0, false, 7});
    EXPECT_EQ(seven.BlockCount(0, 1000), 7);

    EXPECT_FALSE(AudioReader::InsideMargins(149, 0, 1000));
    EXPECT_TRUE(AudioReader::InsideMargins(150, 0, 1000));
    EXPECT_TRUE(AudioReader::InsideMargins(849, 0, 1000));
    EXPECT_FALSE(AudioReader::InsideMargins(850, 0, 1000));
    EXPECT_TRUE(AudioReader::InsideMargins(1150, 1000, 2000));
}

TEST_F(Extraction, CleanDiscRipsToTheImageWithEveryMethod) {
    for (int method = 0; method < 4; ++method) {
        SCOPED_TRACE(method);
        AudioReader reader(*rig->cdrom, {method, method == 3, 26});
        EXPECT_EQ(Rip(reader), Image(0, kTrackSectors));
    }
}

TEST_F(Extraction, FastCopyKeepsWhatAFailedReadLeft) {
    VirtualFaults f;
    f.unreadable[300] = -1;
    Faults(f);
    AudioReader reader(*rig->cdrom, {0, false, 26});
    std::memset(reader.Buffer(), 0xAB, 26 * kSectorBytes);
    // Block 286..311 fails at 300: the sectors before it arrived, the rest
    // holds what was there before.
    EXPECT_FALSE(reader.ExtractBlock(286, 26, 0, kTrackSectors));
    EXPECT_EQ(std::vector<std::uint8_t>(reader.Buffer(), reader.Buffer() + 14 * kSectorBytes), Image(286, 14));
    EXPECT_EQ(reader.Buffer()[14 * kSectorBytes], 0xAB);
    EXPECT_EQ(rig->Drive().ReadRequests(), 1);  // not retried
}

TEST_F(Extraction, SilenceRepairRereadsMostlyZeroSectorsButNotTheLast) {
    // A zero run that leaves `total` zero bytes in the sector, counting the
    // pattern's own zeros after it.
    auto runFor = [](std::int32_t lba, int total) {
        const auto s = cdtest::PatternSector(lba);
        for (int len = 0; len <= total; ++len)
            if (len + std::count(s.begin() + len, s.end(), std::uint8_t{0}) == total) return len;
        return -1;
    };
    VirtualFaults f;
    // Each fault lasts two reads, so the two compared copies agree on it.
    // Sector 210 ends with 1177 zero bytes, sector 200 with exactly 1176; the
    // block's last sector 225 loses everything.
    f.zeroRuns.push_back({210, 0, runFor(210, 1177), 2});
    f.zeroRuns.push_back({200, 0, runFor(200, 1176), 2});
    f.zeroRuns.push_back({225, 0, 2352, 2});
    ASSERT_GT(f.zeroRuns[0].length, 0);
    ASSERT_GT(f.zeroRuns[1].length, 0);
    Faults(f);
    AudioReader reader(*rig->cdrom, {2, false, 26});
    reader.ExtractBlock(200, 26, 0, kTrackSectors);
    EXPECT_EQ(reader.LastReport().silenceRereads, 1);
    const std::vector<std::uint8_t> got(reader.Buffer(), reader.Buffer() + 26 * kSectorBytes);
    EXPECT_TRUE(reader.LastReport().matched);
    EXPECT_TRUE(std::equal(got.begin() + 10 * kSectorBytes, got.begin() + 11 * kSectorBytes,
                           cdtest::PatternSector(210).begin()));
    EXPECT_EQ(std::count(got.begin() + 25 * kSectorBytes, got.end(), std::uint8_t{0}), 2352);
    // The re-read was preceded by a SEEK to the sector.
    const auto log = rig->Drive().Commands();
    auto seek = std::find_if(log.begin(), log.end(), [](const RecordedCommand& c) { return c.cdb[0] == 0x2B; });
    ASSERT_NE(seek, log.end());
    EXPECT_EQ((std::vector<std::uint8_t>(seek->cdb.begin() + 2, seek->cdb.begin() + 6)),
              (std::vector<std::uint8_t>{0, 0, 0, 210}));
}

TEST_F(Extraction, ZeroRunsAreRepairedAcrossATrack) {
    VirtualFaults f;
    for (std::int32_t s : {160, 400, 777}) f.zeroRuns.push_back({s, 0, 2000, 2});
    Faults(f);
    AudioReader reader(*rig->cdrom, {3, false, 26});
    const auto got = Rip(reader);
    // The three sectors lie inside the margins and not at a block's end
    // (blocks start at multiples of 26), so every one is read again.
    EXPECT_EQ(got, Image(0, kTrackSectors));
}

TEST_F(Extraction, MirroredPairIsRereadOnceAtFourTimes) {
    VirtualFaults f;
    f.mirrored[500] = 1;  // sector 501 comes back as 500 backwards, once
    Faults(f);
    AudioReader reader(*rig->cdrom, {1, false, 26});
    reader.ExtractBlock(494, 26, 0, kTrackSectors);
    EXPECT_EQ(reader.LastReport().noiseRereads, 1);
    const std::vector<std::uint8_t> got(reader.Buffer(), reader.Buffer() + 26 * kSectorBytes);
    EXPECT_EQ(got, Image(494, 26));
    EXPECT_EQ(rig->Drive().SpeedKb(), 705);  // and stays at 4x
    EXPECT_EQ(CountOpcode(0xBB), 1);

    // The same pair at the start of the range is left alone.
    rig->Drive().SetFaults(f);
    AudioReader early(*rig->cdrom, {1, false, 26});
    early.ExtractBlock(494, 26, 400, kTrackSectors);  // 94 sectors into the range
    EXPECT_EQ(early.LastReport().noiseRereads, 0);
}

TEST_F(Extraction, MirrorTestCountsDifferences) {
    auto a = cdtest::PatternSector(1);
    std::vector<std::uint8_t> b(a.rbegin(), a.rend());
    EXPECT_TRUE(AudioReader::MirroredPair(a.data(), b.data()));
    for (int k = 0; k < 75; ++k) b[static_cast<std::size_t>(k * 7)] ^= 0xFF;
    EXPECT_TRUE(AudioReader::MirroredPair(a.data(), b.data()));  // 75 differences: still a mirror
    b[1000] ^= 0xFF;
    EXPECT_FALSE(AudioReader::MirroredPair(a.data(), b.data()));  // 76
    EXPECT_FALSE(AudioReader::MirroredPair(a.data(), cdtest::PatternSector(2).data()));
}

TEST_F(Extraction, ComparedReadsOutlastTransientNoise) {
    VirtualFaults f;
    f.noisy[300] = 3;  // three noisy reads, then clean
    Faults(f);
    AudioReader reader(*rig->cdrom, {2, false, 26});
    reader.ExtractBlock(286, 26, 0, kTrackSectors);
    EXPECT_TRUE(reader.LastReport().matched);
    EXPECT_EQ(reader.LastReport().attempts, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(reader.Buffer(), reader.Buffer() + 26 * kSectorBytes), Image(286, 26));
}

TEST_F(Extraction, DriveThatNeverAgreesStillYieldsABlock) {
    for (int method : {2, 3}) {
        SCOPED_TRACE(method);
        VirtualFaults f;
        f.noisy[300] = -1;
        Faults(f);
        rig->Drive().ClearCommands();
        AudioReader reader(*rig->cdrom, {method, false, 26});
        reader.ExtractBlock(286, 26, 0, kTrackSectors);
        EXPECT_FALSE(reader.LastReport().matched);
        EXPECT_EQ(reader.LastReport().attempts, 5 * method - 5);
        EXPECT_EQ(CountOpcode(0xBE), 2 * (5 * method - 5));
        // Every other sector of the block is the image's.
        const std::vector<std::uint8_t> got(reader.Buffer(), reader.Buffer() + 26 * kSectorBytes);
        EXPECT_FALSE(std::equal(got.begin() + 14 * kSectorBytes, got.begin() + 15 * kSectorBytes,
                                cdtest::PatternSector(300).begin()));
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + 14 * kSectorBytes, Image(286, 14).begin()));
    }
}

TEST_F(Extraction, DisabledCacheReadsTheFollowingBlockFirst) {
    AudioReader reader(*rig->cdrom, {2, true, 26});
    reader.ExtractBlock(260, 26, 0, kTrackSectors);
    const auto log = rig->Drive().Commands();
    ASSERT_GE(log.size(), 3u);
    auto lbaOf = [](const RecordedCommand& c) { return (c.cdb[2] << 24) | (c.cdb[3] << 16) | (c.cdb[4] << 8) | c.cdb[5]; };
    EXPECT_EQ(lbaOf(log[0]), 286);
    EXPECT_EQ(lbaOf(log[1]), 260);
    EXPECT_EQ(lbaOf(log[2]), 260);
    EXPECT_TRUE(reader.LastReport().matched);
}

TEST_F(Extraction, SpinUpAndCacheMode) {
    AudioReader reader(*rig->cdrom, {0, true, 26});
    reader.SpinUp();
    auto log = rig->Drive().Commands();
    ASSERT_EQ(log.size(), 15u);
    for (int k = 0; k < 15; ++k) {
        EXPECT_EQ(log[static_cast<std::size_t>(k)].cdb[5], 150 + 5 * k);
        EXPECT_EQ(log[static_cast<std::size_t>(k)].cdb[8], 5);
    }
    EXPECT_TRUE(reader.ApplyCacheMode());
    EXPECT_TRUE(rig->Drive().ReadCacheDisabled());
}

TEST_F(Extraction, SlowReadsTakeTheirTimeOnTheClock) {
    VirtualFaults f;
    f.readDelayMs = 40;
    Faults(f);
    AudioReader reader(*rig->cdrom, {0, false, 26});
    const auto before = rig->clock.NowMs();
    reader.ExtractBlock(0, 26, 0, kTrackSectors);
    EXPECT_EQ(rig->clock.NowMs() - before, 40);
    EXPECT_EQ(std::vector<std::uint8_t>(reader.Buffer(), reader.Buffer() + 26 * kSectorBytes), Image(0, 26));
}

}  // namespace
