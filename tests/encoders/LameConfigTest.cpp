// The 328-byte LAME configuration record and what it tells the library.
#include <gtest/gtest.h>

#include "base/Bytes.h"
#include "encoders/LameConfig.h"

namespace {

using namespace sv::lamecfg;

sv::TProgramSettings Defaults() {
    sv::TProgramSettings s;
    s.ApplyDefaults("/tmp/sv/", "/tmp/music/");
    return s;
}

std::uint32_t U32(const sv::LameConfigRecord& r, std::size_t o) { return sv::LoadLE<std::uint32_t>(r.data() + o); }
std::int32_t I32(const sv::LameConfigRecord& r, std::size_t o) { return sv::LoadLE<std::int32_t>(r.data() + o); }

TEST(LameConfig, DefaultsGive224JointStereoWithPresetZeroAndNoVbrFields) {
    const auto r = sv::BuildLameConfig(Defaults(), 44100, 2);
    EXPECT_EQ(U32(r, kType), 256u);
    EXPECT_EQ(U32(r, kVersion), 1u);
    EXPECT_EQ(U32(r, kSize), 328u);
    EXPECT_EQ(U32(r, kSampleRate), 44100u);
    EXPECT_EQ(I32(r, kMode), 1);
    EXPECT_EQ(U32(r, kBitrate), 224u);
    EXPECT_EQ(I32(r, kPreset), 0);
    EXPECT_EQ(U32(r, kMpegVersion), 1u);
    // VBR off: these stay 0, the VBR header is still asked for.
    EXPECT_EQ(U32(r, kMaxBitrate), 0u);
    EXPECT_EQ(U32(r, kVbrEnabled), 0u);
    EXPECT_EQ(U32(r, kVbrQuality), 0u);
    EXPECT_EQ(U32(r, kOriginal), 0u);
    EXPECT_EQ(U32(r, kWriteVbrHeader), 1u);
    // VBR method 256: the byte 1 at offset 81.
    EXPECT_EQ(r[80], 0);
    EXPECT_EQ(r[81], 1);
    for (std::size_t i = 84; i < r.size(); ++i) ASSERT_EQ(r[i], 0) << "byte " << i;

    const auto plan = sv::PlanFromLameConfig(r);
    EXPECT_EQ(plan.bitrate, 224);
    EXPECT_EQ(plan.mode, 1);
    EXPECT_EQ(plan.channels, 2);
    EXPECT_FALSE(plan.vbr);
    EXPECT_EQ(plan.quality, 5);
    EXPECT_TRUE(plan.writeVbrTag);
}

TEST(LameConfig, VbrFillsMaximumQualityAndOriginalBit) {
    auto s = Defaults();
    s.SetLameVbrEnabled(true);
    s.SetLameBitrateIndex(1);
    s.SetLameMaxBitrateIndex(13);
    s.SetLameVbrQuality(4);
    s.SetLameVbrMethod(3);  // not passed: the library's default method is used
    const auto r = sv::BuildLameConfig(s, 44100, 2);
    EXPECT_EQ(U32(r, kBitrate), 32u);
    EXPECT_EQ(U32(r, kMaxBitrate), 256u);
    EXPECT_EQ(U32(r, kVbrEnabled), 1u);
    EXPECT_EQ(I32(r, kVbrQuality), 4);
    EXPECT_EQ(U32(r, kOriginal), 1u);
    EXPECT_EQ(I32(r, kVbrMethod), 0);
    const auto plan = sv::PlanFromLameConfig(r);
    EXPECT_TRUE(plan.vbr);
    EXPECT_EQ(plan.bitrate, 32);
    EXPECT_EQ(plan.vbrMaxBitrate, 256);
    EXPECT_EQ(plan.vbrQuality, 4);
    EXPECT_TRUE(plan.original);
}

TEST(LameConfig, BitrateTableAndDirectValues) {
    const std::uint32_t expected[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(sv::LameBitrate(i), expected[i]) << i;
    EXPECT_EQ(sv::LameBitrate(15), 0u);
    EXPECT_EQ(sv::LameBitrate(16), 16u);
    EXPECT_EQ(sv::LameBitrate(192), 192u);
    EXPECT_EQ(sv::LameBitrate(-1), 0u);
}

TEST(LameConfig, ChannelModeFollowsTheInputAndThePresets) {
    auto s = Defaults();
    s.SetLameMode(0);
    // A mono input is encoded as mono whatever the mode says.
    auto mono = sv::BuildLameConfig(s, 22050, 1);
    EXPECT_EQ(I32(mono, kMode), 3);
    EXPECT_EQ(U32(mono, kSampleRate), 22050u);
    auto plan = sv::PlanFromLameConfig(mono);
    EXPECT_EQ(plan.channels, 1);
    EXPECT_EQ(plan.outSampleRate, 22050);
    // Stereo input with mode 3: one channel goes to the library (mixed down).
    s.SetLameMode(3);
    plan = sv::PlanFromLameConfig(sv::BuildLameConfig(s, 44100, 2));
    EXPECT_EQ(plan.channels, 1);
    // The quality levels of the preset box and a named preset.
    s.SetLameMode(1);
    s.SetLamePreset(2);
    EXPECT_EQ(sv::PlanFromLameConfig(sv::BuildLameConfig(s, 44100, 2)).quality, 2);
    s.SetLamePreset(1);
    EXPECT_EQ(sv::PlanFromLameConfig(sv::BuildLameConfig(s, 44100, 2)).quality, 9);
    s.SetLamePreset(-1);
    auto none = sv::BuildLameConfig(s, 44100, 2);
    EXPECT_EQ(I32(none, kPreset), -1);
    EXPECT_EQ(sv::PlanFromLameConfig(none).quality, -1);
    s.SetLamePreset(1000);  // phone: mono at 16 kbit/s
    plan = sv::PlanFromLameConfig(sv::BuildLameConfig(s, 44100, 2));
    EXPECT_EQ(plan.bitrate, 16);
    EXPECT_EQ(plan.channels, 1);
    EXPECT_EQ(plan.outSampleRate, 44100);
}

TEST(LameConfig, SmallCbrFramesAreHeldAtTheirRateAsVbrToCarryTheInfoFrame) {
    EXPECT_EQ(sv::Mp3FrameBytes(128, 44100), 417);
    EXPECT_EQ(sv::Mp3FrameBytes(32, 22050), 104);
    auto s = Defaults();
    for (int index : {1, 2, 3}) {  // 32, 40, 48 kbit/s
        s.SetLameBitrateIndex(index);
        const auto plan = sv::PlanFromLameConfig(sv::BuildLameConfig(s, 44100, 2));
        EXPECT_TRUE(plan.lockedVbr) << index;
        EXPECT_FALSE(plan.vbr);
    }
    for (int index : {5, 12, 14}) {  // 64, 224, 320 kbit/s
        s.SetLameBitrateIndex(index);
        EXPECT_FALSE(sv::PlanFromLameConfig(sv::BuildLameConfig(s, 44100, 2)).lockedVbr) << index;
    }
}

}  // namespace
