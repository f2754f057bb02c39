// Read offset correction through a virtual drive with a known offset, and the
// checksums a grab takes of each track, against a plain implementation of the
// published AccurateRip algorithm and of CRC-32 written out here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "RipRig.h"
#include "cdrom/AudioReader.h"
#include "grab/TrackChecksums.h"
#include "grab/WholeDiscRip.h"

namespace {

using riptest::kTrackStarts;
using riptest::RipRig;

constexpr std::size_t kPerSector = 588;

struct Sums {
    std::uint32_t v1 = 0, v2 = 0, crc = 0;
};

// The sums of `pcm` as the track at `position` of `tracks` audio tracks.
Sums Expected(const std::vector<std::uint8_t>& pcm, int position, int tracks) {
    Sums s;
    const std::size_t n = pcm.size() / 4;
    const std::size_t from = position == 0 ? 5 * kPerSector - 1 : 0;
    const std::size_t to = position == tracks - 1 ? n - 5 * kPerSector : n;
    for (std::size_t i = from; i < to; ++i) {
        std::uint32_t word = 0;
        for (int b = 3; b >= 0; --b) word = word << 8 | pcm[i * 4 + static_cast<std::size_t>(b)];
        const std::uint64_t product = static_cast<std::uint64_t>(i + 1) * word;  // below 2^64
        s.v1 = static_cast<std::uint32_t>((s.v1 + product) % (1ull << 32));
        s.v2 = static_cast<std::uint32_t>((s.v2 + product % (1ull << 32) + product / (1ull << 32)) % (1ull << 32));
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : pcm) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    s.crc = ~crc;
    return s;
}

}  // namespace

TEST(VerifiedRip, TheOffsetIsCorrectedAndEveryTrackCarriesItsChecksums) {
    // Positive offsets lose the disc's last samples, negative ones its first:
    // no drive reads there, so they come out as silence.
    for (const int offset : {0, 667, 6, -1176, -1}) {
        RipRig rig;
        rig.settings.SetEncodeFlag(false);
        rig.settings.SetOutputFormat(sv::kFormatWav);
        rig.drive->SetReadOffset(offset);
        rig.context->readOffset = offset;
        rig.Check({0, 1, 2});
        const auto result = rig.Rip();
        ASSERT_EQ(result.written, 3) << offset;
        ASSERT_EQ(result.checks.size(), 3u);
        for (int track = 0; track < 3; ++track) {
            const int sectors = kTrackStarts[track + 1] - kTrackStarts[track];
            std::vector<std::uint8_t> expected = rig.ImageBytes(kTrackStarts[track], sectors);
            std::size_t silenced = 0;
            if (offset < 0 && track == 0) silenced = static_cast<std::size_t>(-offset);
            if (offset > 0 && track == 2) silenced = static_cast<std::size_t>(offset);
            if (track == 0) std::fill_n(expected.begin(), silenced * 4, std::uint8_t{0});
            else std::fill_n(expected.end() - static_cast<std::ptrdiff_t>(silenced * 4), silenced * 4, std::uint8_t{0});
            const std::string bytes = svtest::ReadFileBytes(result.files[static_cast<std::size_t>(track)]);
            ASSERT_EQ(bytes.size(), 48 + expected.size());
            EXPECT_EQ(std::memcmp(expected.data(), bytes.data() + 48, expected.size()), 0) << offset << " " << track;

            const sv::TrackCheck& check = result.checks[static_cast<std::size_t>(track)];
            const Sums sums = Expected(expected, track, 3);
            EXPECT_EQ(check.row, track);
            EXPECT_EQ(check.arV1, sums.v1) << offset << " " << track;
            EXPECT_EQ(check.arV2, sums.v2) << offset << " " << track;
            EXPECT_EQ(check.crc32, sums.crc) << offset << " " << track;
            EXPECT_EQ(check.silencedSamples, silenced);
            EXPECT_TRUE(check.wholeTrack);
        }
    }
}

TEST(TrackChecksums, BlocksOfAnySizeAndTracksShorterThanTheSkippedParts) {
    std::vector<std::uint8_t> pcm(4 * 7000);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    for (const auto& [position, tracks] : {std::pair{0, 3}, {1, 3}, {2, 3}, {0, 1}}) {
        sv::TrackChecksums sums(pcm.size() / 4, position == 0, position == tracks - 1);
        for (std::size_t at = 0; at < pcm.size();) {  // uneven blocks
            const std::size_t n = std::min<std::size_t>(pcm.size() - at, 4 * (1 + at % 997));
            sums.Add(pcm.data() + at, n);
            at += n;
        }
        const Sums expected = Expected(pcm, position, tracks);
        EXPECT_EQ(sums.V1(), expected.v1) << position << "/" << tracks;
        EXPECT_EQ(sums.V2(), expected.v2) << position << "/" << tracks;
        EXPECT_EQ(sums.Crc32(), expected.crc);
        EXPECT_EQ(sums.Samples(), pcm.size() / 4);
    }
    // A last track shorter than the 5 sectors it leaves out counts nothing.
    sv::TrackChecksums tiny(100, false, true);
    tiny.Add(pcm.data(), 400);
    EXPECT_EQ(tiny.V1(), 0u);
    EXPECT_EQ(tiny.V2(), 0u);
}

TEST(AudioReader, SamplesOutsideTheDisc) {
    struct Case {
        std::int32_t start, end;
        int offset;
        std::uint64_t outside;
    } const cases[] = {
        {0, 10, -30, 30}, {0, 10, 30, 0}, {90, 100, 30, 30}, {90, 100, -30, 0},
        {0, 100, 6000, 6000}, {0, 1, -1000, 588},  // the whole range lies before the disc
    };
    for (const Case& c : cases)
        EXPECT_EQ(sv::AudioReader::SamplesOutsideDisc(c.start, c.end, c.offset, 100), c.outside)
            << c.start << " " << c.offset;
}

TEST(VerifiedRip, AWholeDiscFileCarriesTheChecksumsOfEachTrack) {
    RipRig rig;
    rig.drive->SetReadOffset(-30);
    rig.context->readOffset = -30;
    rig.dialogs.ExpectMessage("Rip Complette!");
    const sv::WholeDiscResult result = sv::RunWholeDiscRip(*rig.context, sv::kFormatWav);
    ASSERT_TRUE(result.written);
    ASSERT_EQ(result.checks.size(), 3u);
    for (int track = 0; track < 3; ++track) {
        std::vector<std::uint8_t> expected =
            rig.ImageBytes(kTrackStarts[track], kTrackStarts[track + 1] - kTrackStarts[track]);
        if (track == 0) std::fill_n(expected.begin(), 30 * 4, std::uint8_t{0});  // before the disc
        const Sums sums = Expected(expected, track, 3);
        const sv::TrackCheck& check = result.checks[static_cast<std::size_t>(track)];
        EXPECT_EQ(check.row, track);
        EXPECT_EQ(check.arV1, sums.v1) << track;
        EXPECT_EQ(check.arV2, sums.v2) << track;
        EXPECT_EQ(check.crc32, sums.crc) << track;
        EXPECT_EQ(check.file, result.file);
        EXPECT_EQ(check.silencedSamples, track == 0 ? 30u : 0u);
    }
}
