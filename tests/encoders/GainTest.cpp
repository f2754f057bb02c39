// Normalisation gain, block scaling, peak tracking and the mono mix-down.
#include <gtest/gtest.h>

#include <vector>

#include "base/Bytes.h"
#include "encoders/EncoderCommon.h"

namespace {

sv::TProgramSettings Norm(int lowT, int highT, int lowTarget, int highTarget) {
    sv::TProgramSettings s;
    s.SetNormLowThreshold(static_cast<std::uint8_t>(lowT));
    s.SetNormHighThreshold(static_cast<std::uint8_t>(highT));
    s.SetNormLowTarget(static_cast<std::uint8_t>(lowTarget));
    s.SetNormHighTarget(static_cast<std::uint8_t>(highTarget));
    return s;
}

TEST(NormalizationGain, TheDocumentedExamples) {
    const auto s = Norm(90, 98, 90, 98);
    EXPECT_NEAR(sv::NormalizationGain(16384, s), 1.7999, 1e-4);
    EXPECT_NEAR(sv::NormalizationGain(16384, s), 90.0 / ((16384 - 0.999999) * 100.0 / 32768.0) * 0.9999, 1e-12);
    EXPECT_EQ(sv::NormalizationGain(30000, s), 1.0);
    EXPECT_NEAR(sv::NormalizationGain(32767, s), 0.9800, 1e-4);
    EXPECT_LT(sv::NormalizationGain(32767, s), 0.98);
}

TEST(ScaleBlock, RoundsByAddingAHalfAndTruncatingTowardZero) {
    std::vector<std::int16_t> s = {10, -10, 3, -3, 0, 16384, -16384, 32767, -32768};
    sv::ScaleBlock(s.data(), s.size(), 1.03);
    // 10.3+0.5=10.8 -> 10; -10.3+0.5=-9.8 -> -9; 3.09+.5 -> 3; -3.09+.5=-2.59 -> -2.
    EXPECT_EQ(s[0], 10);
    EXPECT_EQ(s[1], -9);
    EXPECT_EQ(s[2], 3);
    EXPECT_EQ(s[3], -2);
    EXPECT_EQ(s[4], 0);
    EXPECT_EQ(s[5], 16876);  // 16875.52 + 0.5
    EXPECT_EQ(s[6], -16875);
    // Values beyond 16 bits are held at the ends of the range.
    EXPECT_EQ(s[7], 32767);
    EXPECT_EQ(s[8], -32768);
}

TEST(ScaleBlock, GainOneOrZeroLeavesTheBlockAlone) {
    std::vector<std::int16_t> s = {-7, 5, 32767};
    sv::ScaleBlock(s.data(), s.size(), 1.0);
    EXPECT_EQ(s, (std::vector<std::int16_t>{-7, 5, 32767}));
    sv::ScaleBlock(s.data(), s.size(), 0.0);
    EXPECT_EQ(s, (std::vector<std::int16_t>{-7, 5, 32767}));
}

std::vector<std::uint8_t> Bytes(const std::vector<std::int16_t>& s) {
    std::vector<std::uint8_t> b(s.size() * 2);
    for (std::size_t i = 0; i < s.size(); ++i) sv::StoreLE<std::int16_t>(b.data() + 2 * i, s[i]);
    return b;
}

TEST(BlockPeak, LargestMagnitudeKeptAcrossBlocks) {
    auto a = Bytes({100, -2000, 300});
    EXPECT_EQ(sv::BlockPeak(a.data(), a.size(), 0), 2000);
    auto b = Bytes({5, -6});
    EXPECT_EQ(sv::BlockPeak(b.data(), b.size(), 2000), 2000);
    auto c = Bytes({-32768});
    EXPECT_EQ(sv::BlockPeak(c.data(), c.size(), 0), 32767);
}

TEST(MixToMono, HalvesEachChannelTowardZeroAndHalvesTheLength) {
    auto b = Bytes({3, 3, -3, -3, 32767, 32767, -32768, -32768, 1, -1});
    const std::size_t n = sv::MixToMono(b.data(), b.size());
    ASSERT_EQ(n, 10u);
    std::vector<std::int16_t> m;
    for (std::size_t i = 0; i < n; i += 2) m.push_back(sv::LoadLE<std::int16_t>(b.data() + i));
    EXPECT_EQ(m, (std::vector<std::int16_t>{2, -2, 32766, -32768, 0}));
}

}  // namespace
