#include "encoders/LameConfig.h"

#include "base/Bytes.h"

namespace sv {

namespace {

constexpr std::array<std::uint32_t, 15> kBitrates = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

void Put32(LameConfigRecord& r, std::size_t offset, std::uint32_t v) { StoreLE<std::uint32_t>(r.data() + offset, v); }
std::uint32_t Get32(const LameConfigRecord& r, std::size_t offset) { return LoadLE<std::uint32_t>(r.data() + offset); }
std::int32_t GetI32(const LameConfigRecord& r, std::size_t offset) { return LoadLE<std::int32_t>(r.data() + offset); }

// The presets of the quality box beyond the plain quality levels: the old
// named LAME presets, each a fixed bit rate and channel mode.
struct NamedPreset {
    std::int32_t preset;
    int bitrate;
    int mode;
};
constexpr NamedPreset kNamedPresets[] = {
    {1000, 16, 3},   // phone
    {2000, 24, 3},   // short wave
    {3000, 40, 3},   // AM
    {4000, 112, 1},  // FM
    {5000, 56, 3},   // voice
    {6000, 112, 1},  // radio
    {7000, 112, 1},  // tape
    {8000, 160, 1},  // hi-fi
    {9000, 192, 0},  // CD
    {10000, 256, 0}, // studio
};

}  // namespace

std::uint32_t LameBitrate(std::int32_t index) {
    if (index > 15) return static_cast<std::uint32_t>(index);
    if (index < 0 || index >= static_cast<std::int32_t>(kBitrates.size())) return 0;
    return kBitrates[static_cast<std::size_t>(index)];
}

LameConfigRecord BuildLameConfig(const TProgramSettings& settings, std::uint32_t sampleRate, std::uint16_t channels) {
    using namespace lamecfg;
    LameConfigRecord r{};
    const bool vbr = settings.LameVbrEnabled();
    Put32(r, kType, 256);
    Put32(r, kVersion, 1);
    Put32(r, kSize, static_cast<std::uint32_t>(kLameConfigBytes));
    Put32(r, kSampleRate, sampleRate);
    Put32(r, kResample, 0);
    Put32(r, kMode, static_cast<std::uint32_t>(channels == 1 ? 3 : settings.LameMode()));
    Put32(r, kBitrate, LameBitrate(settings.LameBitrateIndex()));
    Put32(r, kMaxBitrate, vbr ? LameBitrate(settings.LameMaxBitrateIndex()) : 0);
    Put32(r, kPreset, static_cast<std::uint32_t>(static_cast<std::int32_t>(settings.LamePreset())));
    Put32(r, kMpegVersion, 1);
    Put32(r, kOriginal, vbr ? 1 : 0);
    Put32(r, kWriteVbrHeader, 1);
    Put32(r, kVbrEnabled, vbr ? 1 : 0);
    Put32(r, kVbrQuality, vbr ? static_cast<std::uint32_t>(settings.LameVbrQuality()) : 0);
    Put32(r, kVbrMethod, vbr ? 0 : 256);
    return r;
}

LamePlan PlanFromLameConfig(const LameConfigRecord& r) {
    using namespace lamecfg;
    LamePlan p;
    p.inSampleRate = static_cast<int>(Get32(r, kSampleRate));
    p.outSampleRate = p.inSampleRate;
    p.mode = GetI32(r, kMode);
    if (p.mode < 0 || p.mode > 3) p.mode = 1;
    p.channels = (p.mode == 3) ? 1 : 2;
    p.bitrate = static_cast<int>(Get32(r, kBitrate));
    p.vbr = Get32(r, kVbrEnabled) != 0;
    if (p.vbr) {
        p.vbrQuality = GetI32(r, kVbrQuality);
        if (p.vbrQuality < 0) p.vbrQuality = 0;
        if (p.vbrQuality > 9) p.vbrQuality = 9;
        p.vbrMaxBitrate = static_cast<int>(Get32(r, kMaxBitrate));
    }
    p.original = Get32(r, kOriginal) != 0;
    p.writeVbrTag = Get32(r, kWriteVbrHeader) != 0;
    const std::int32_t preset = GetI32(r, kPreset);
    switch (preset) {
        case 0: p.quality = 5; break;  // normal quality
        case 1: p.quality = 9; break;  // low quality, fastest
        case 2: p.quality = 2; break;  // high quality
        default:
            for (const auto& n : kNamedPresets) {
                if (n.preset == preset) {
                    p.bitrate = n.bitrate;
                    if (n.mode == 3) {
                        p.mode = 3;
                        p.channels = 1;
                    } else if (p.mode != 3) {
                        p.mode = n.mode;
                    }
                }
            }
            break;
    }
    if (!p.vbr && p.bitrate > 0 && Mp3FrameBytes(p.bitrate, p.outSampleRate) < kInfoFrameBytes) p.lockedVbr = true;
    return p;
}

int Mp3FrameBytes(int kbps, int sampleRate) {
    if (sampleRate <= 0) return 0;
    const int factor = sampleRate >= 32000 ? 144 : 72;
    return static_cast<int>(static_cast<long long>(factor) * kbps * 1000 / sampleRate);
}

}  // namespace sv
