// Normalisation gain, block scaling, peak tracking and the mono mix-down.
#include <gtest/gtest.h>

#include <cmath>
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

TEST(NormalizationGain, RaisesQuietAudioToTheTargetAndLowersLoudAudio) {
    // Expected gains worked out by hand. Above 10000 the plain rule holds:
    // target / ((peak - 0.999999) x 100 / 32768) x 0.9999. Below it the gain
    // is the one that puts the peak exactly on the target (target x 327.68 /
    // peak), never more than 32767 / peak and never more than 100 (+40 dB).
    struct Case {
        int peak, lowTarget;
        double gain;
    };
    const Case cases[] = {
        {16384, 90, 1.7999298588903},  // 50 %
        {30000, 90, 1.0},              // 91.55 %: between the thresholds
        {32767, 90, 0.9799618120924},  // 99.99 %: lowered to 98 %
        {20000, 90, 1.4744862682396},
        {5000, 90, 5.89824},           // the plain rule would give 5.89883
        {1000, 90, 29.4912},
        {300, 90, 98.304},
        {10, 90, 100.0},               // dither: +40 dB at most, not 2949
        {1, 90, 100.0},                // the plain rule gives 3e10
        {0, 90, 1.0},                  // digital silence is left alone
        {20000, 120, 1.63835},         // a target above full scale stops short of clipping
    };
    for (const Case& c : cases) {
        const auto s = Norm(90, 98, c.lowTarget, 98);
        const double gain = sv::NormalizationGain(static_cast<std::int16_t>(c.peak), s);
        EXPECT_NEAR(gain, c.gain, 1e-9) << "peak " << c.peak;
        EXPECT_LE(std::trunc(c.peak * gain + 0.5), 32767.0) << "peak " << c.peak;
    }
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
