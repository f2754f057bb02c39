#include "cdrom/DemoDisc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/Bytes.h"
#include "base/Msf.h"

namespace sv {

namespace {

constexpr int kFramesPerSector = kSectorBytes / 4;  // stereo 16-bit frames
constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

struct Stereo {
    double left = 0, right = 0;
};

// A rising arpeggio C5 E5 G5 C6, half a second a note, with a soft attack.
Stereo Arpeggio(std::int64_t n) {
    static const double notes[] = {523.25, 659.25, 783.99, 1046.50};
    const std::int64_t noteLen = 22050;
    const double f = notes[(n / noteLen) % 4];
    const double t = static_cast<double>(n % noteLen) / kRate;
    const double env = std::min(1.0, t * 40.0) * std::exp(-t * 3.0);
    const double v = 0.5 * env * std::sin(2 * kPi * f * static_cast<double>(n) / kRate);
    return {v, v};
}

// Bell strikes every 0.75 s, alternating left and right, A5 with a fifth above.
Stereo Bells(std::int64_t n) {
    const std::int64_t strike = 33075;
    const double t = static_cast<double>(n % strike) / kRate;
    const double x = static_cast<double>(n) / kRate;
    const double v = 0.45 * std::exp(-t * 4.0) * (std::sin(2 * kPi * 880.0 * x) + 0.5 * std::sin(2 * kPi * 1320.0 * x));
    return (n / strike) % 2 == 0 ? Stereo{v, 0.3 * v} : Stereo{0.3 * v, v};
}

// A drum pattern at 120 beats per minute: noise bursts over a 55 Hz bass.
Stereo Drums(std::int64_t n) {
    const std::int64_t beat = 22050;
    const double t = static_cast<double>(n % beat) / kRate;
    std::uint32_t h = static_cast<std::uint32_t>(n) * 2654435761u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    const double noise = (static_cast<double>(h & 0xFFFF) / 32768.0) - 1.0;
    const double hit = ((n / beat) % 4 == 2 ? 0.5 : 0.3) * std::exp(-t * 25.0) * noise;
    const double bass = 0.35 * std::exp(-t * 6.0) * std::sin(2 * kPi * 55.0 * static_cast<double>(n) / kRate);
    return {hit + bass, 0.8 * hit + bass};
}

// A slow sweep from 220 Hz to 1760 Hz of a softened square wave.
Stereo Sweep(std::int64_t n) {
    const double total = 25.0 * kRate;
    const double x = static_cast<double>(n);
    const double k = std::log(8.0) / total;
    const double phase = 2 * kPi * 220.0 * (std::exp(k * x) - 1.0) / k / kRate;
    const double v = 0.3 * std::tanh(4.0 * std::sin(phase));
    return {v, v};
}

std::int16_t ToSample(double v) {
    const double c = std::max(-1.0, std::min(1.0, v));
    return static_cast<std::int16_t>(std::lround(c * 32767.0));
}

DiscImage::Generator MakeGenerator(Stereo (*voice)(std::int64_t)) {
    return [voice](std::int32_t sector, std::uint8_t* out) {
        const std::int64_t base = static_cast<std::int64_t>(sector) * kFramesPerSector;
        for (int j = 0; j < kFramesPerSector; ++j) {
            const Stereo s = voice(base + j);
            StoreLE<std::int16_t>(out + 4 * j, ToSample(s.left));
            StoreLE<std::int16_t>(out + 4 * j + 2, ToSample(s.right));
        }
    };
}

}  // namespace

std::shared_ptr<DiscImage> MakeDemoDisc() {
    struct Part {
        std::int32_t start, length;
        Stereo (*voice)(std::int64_t);
    };
    static const Part parts[] = {{0, 3000, Arpeggio}, {3000, 2250, Bells}, {5250, 2625, Drums}, {7875, 1875, Sweep}};
    auto disc = std::make_shared<DiscImage>();
    disc->SetDescription(kDemoDiscName);
    int number = 1;
    for (const Part& p : parts) {
        ImageTrack t;
        t.number = number++;
        t.startLba = t.index0Lba = p.start;
        disc->AddTrack(t);
        disc->AddGeneratedRegion(p.start, p.length, MakeGenerator(p.voice));
    }
    disc->SetLeadout(9750);
    return disc;
}

}  // namespace sv
