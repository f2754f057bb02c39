// Disc identifiers of real discs, checked against the identifiers that CDDB
// services publish for them, and the identifier's text forms.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "metadata/DiscId.h"

namespace {

using sv::DiscToc;

// A TOC from track start frames (absolute, as a drive reports them) and the
// lead-out in whole seconds as CDDB tools print it.
DiscToc Toc(std::vector<int> starts, int leadOutSeconds) {
    return DiscToc{std::move(starts), leadOutSeconds * 75};
}

// A READ TOC reply in MSF form.
std::vector<std::uint8_t> RawToc(int first, int last, const std::vector<sv::Msf>& addresses) {
    std::vector<std::uint8_t> raw(4 + 8 * addresses.size(), 0);
    raw[2] = static_cast<std::uint8_t>(first);
    raw[3] = static_cast<std::uint8_t>(last);
    for (std::size_t k = 0; k < addresses.size(); ++k) {
        std::uint8_t* d = raw.data() + 4 + 8 * k;
        d[1] = 0x10;
        d[2] = k + 1 < addresses.size() ? static_cast<std::uint8_t>(first + k) : 0xAA;
        d[5] = addresses[k].m;
        d[6] = addresses[k].s;
        d[7] = addresses[k].f;
    }
    return raw;
}

TEST(DiscIdTest, PublishedIdentifiersOfRealDiscs) {
    // Plain audio CD, 22 tracks, lead-out at frame 303602: freedb 370fce16.
    const DiscToc plain{{150, 9700, 25887, 39297, 53795, 63735, 77517, 94877, 107270, 123552, 135522, 148422,
                         161197, 174790, 192022, 205545, 218010, 228700, 239590, 255470, 266932, 288750},
                        303602};
    EXPECT_EQ(sv::ComputeDiscId(plain), 0x370FCE16u);

    // Plain audio CD of 11 tracks, 3826 seconds: 920ef00b.
    EXPECT_EQ(sv::ComputeDiscId(Toc({150, 28615, 51027, 75835, 102620, 121460, 148977, 175697, 204322, 231082,
                                     268002},
                                    3826)),
              0x920EF00Bu);

    // Enhanced CD: 12 audio tracks and a data track in a second session; the data
    // track counts and the final lead-out ends the disc: c60af50d.
    EXPECT_EQ(sv::ComputeDiscId(Toc({150, 15687, 31841, 51016, 66616, 81352, 99559, 116070, 133243, 149997, 161710,
                                     177832, 207256},
                                    2807)),
              0xC60AF50Du);

    // First track after a hidden pre-gap track (starts at frame 15370): ad0be00d.
    EXPECT_EQ(sv::ComputeDiscId(Toc({15370, 35019, 51532, 69190, 84292, 96826, 112527, 132448, 148595, 168072,
                                     185539, 203331, 222103},
                                    3244)),
              0xAD0BE00Du);

    // Enhanced CD whose first track starts at frame 24320: b910140c.
    EXPECT_EQ(sv::ComputeDiscId(Toc({24320, 44855, 64090, 77885, 88095, 104020, 118245, 129255, 141765, 164487,
                                     181780, 209250},
                                    4440)),
              0xB910140Cu);
}

TEST(DiscIdTest, ChecksumRules) {
    // Tracks at 00:02:00 and 03:10:20, lead-out 05:00:00.
    const DiscToc two{{150, (3 * 60 + 10) * 75 + 20}, 5 * 60 * 75};
    EXPECT_EQ(sv::ComputeDiscId(two), 0x0C012A02u);
    // One track at 00:02:00, lead-out at 00:32:00.
    EXPECT_EQ(sv::ComputeDiscId(DiscToc{{150}, 32 * 75}), 0x02001E01u);
    // A start of 0 seconds adds nothing: 0 + digits(2) = 2.
    EXPECT_EQ(sv::ComputeDiscId(DiscToc{{0, 150}, 100 * 75}) >> 24, 2u);
    // Frames do not count: 00:02:74 is still 2 seconds.
    EXPECT_EQ(sv::ComputeDiscId(DiscToc{{224}, 32 * 75 + 74}), 0x02001E01u);
    // 28 tracks at 99 s (digit sum 18) and one at 9 s: 28 x 18 + 9 = 513 = 2 x 255 + 3.
    std::vector<int> starts(1, 9 * 75);
    starts.insert(starts.end(), 28, 99 * 75);
    EXPECT_EQ(sv::ComputeDiscId(DiscToc{starts, 200 * 75}) >> 24, 3u);
    // A total of exactly 255 gives a top byte of 0 (modulo 255, not 256):
    // 14 tracks at 99 s (252) and one at 3 s.
    std::vector<int> exact(1, 3 * 75);
    exact.insert(exact.end(), 14, 99 * 75);
    EXPECT_EQ(sv::ComputeDiscId(DiscToc{exact, 200 * 75}) >> 24, 0u);
    EXPECT_EQ(sv::ComputeDiscId(DiscToc{}), 0u);
}

TEST(DiscIdTest, TextForms) {
    EXPECT_EQ(sv::DiscIdUpperHex(0x0C012A02), "0C012A02");
    EXPECT_EQ(sv::DiscIdLowerHex(0xC60AF50D), "c60af50d");
    EXPECT_EQ(sv::DiscIdWindowsName(0xA5102B0C), "A5toA5");
    EXPECT_EQ(sv::DiscIdWindowsName(0x7A0BC30E), "7Ato7A");
    EXPECT_EQ(sv::DiscIdSignedDecimal(0x9500E609), "-1795103223");
    EXPECT_EQ(sv::DiscIdSignedDecimal(0x0C012A02), "201402882");

    sv::DISC_INFO disc;
    sv::StoreDiscId(disc, 0xC60AF50D);
    EXPECT_EQ(disc.DiscId(), 0xC60AF50Du);
    EXPECT_EQ(disc.DiscIdText(), "C60AF50D");
    EXPECT_EQ(disc.Data()[14546 + 8], 0);
}

TEST(DiscIdTest, RawTocAndOffsetTable) {
    const auto raw = RawToc(1, 2, {{0, 2, 0}, {3, 10, 20}, {5, 0, 0}});
    const auto toc = sv::ParseRawToc(raw);
    ASSERT_TRUE(toc.has_value());
    EXPECT_EQ(toc->trackStarts, (std::vector<int>{150, 14270}));
    EXPECT_EQ(toc->leadOut, 22500);
    EXPECT_EQ(sv::ComputeDiscId(*toc), 0x0C012A02u);
    EXPECT_EQ(sv::DiscLengthSeconds(*toc), 300);

    const sv::TrackOffsetTable table = sv::BuildTrackOffsetTable(*toc);
    EXPECT_EQ(table.count, 2);
    EXPECT_EQ(table.entries[1], (std::array<std::int32_t, 3>{3, 10, 20}));
    EXPECT_EQ(table.entries[2], (std::array<std::int32_t, 3>{5, 0, 0}));
    EXPECT_EQ(table.entries[3], (std::array<std::int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(table.Frames(1), 14270);

    // A disc whose first track is number 2 has two tracks, then its lead-out.
    const auto shifted = sv::ParseRawToc(RawToc(2, 3, {{0, 2, 0}, {3, 10, 20}, {5, 0, 0}}));
    ASSERT_TRUE(shifted.has_value());
    EXPECT_EQ(shifted->trackStarts.size(), 2u);
    EXPECT_EQ(shifted->leadOut, 22500);

    // A buffer shorter than its descriptors, or without tracks, is refused.
    auto cut = raw;
    cut.resize(cut.size() - 1);
    EXPECT_FALSE(sv::ParseRawToc(cut).has_value());
    EXPECT_FALSE(sv::ParseRawToc(RawToc(1, 0, {{0, 2, 0}})).has_value());
}

TEST(DiscIdTest, OffsetTableKeepsNinetyNineTracksAndTheLeadOut) {
    DiscToc toc;
    for (int i = 0; i < 120; ++i) toc.trackStarts.push_back(150 + i * 1000);
    toc.leadOut = 200000;
    const sv::TrackOffsetTable table = sv::BuildTrackOffsetTable(toc);
    EXPECT_EQ(table.count, 99);
    EXPECT_EQ(table.Frames(99), 200000);
    EXPECT_EQ(table.Frames(98), 150 + 98 * 1000);
}

}  // namespace
