// The benchmarks' audio: music-like 44.1 kHz stereo (chords that change
// every half second, a slow envelope and a little noise), so that encoders
// have real work. The same samples on every run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace svbench {

class BenchMusic {
public:
    // Appends the next `frames` stereo frames as interleaved samples.
    void Append(std::size_t frames, std::vector<std::int16_t>& out) {
        static constexpr double kBase[] = {220.0, 246.9, 261.6, 293.7, 329.6, 349.2, 392.0};
        for (const std::size_t end = next_ + frames; next_ < end; ++next_) {
            const double t = static_cast<double>(next_) / 44100.0;
            const double root = kBase[(next_ / 22050) % 7];
            const double env = 0.55 + 0.45 * std::sin(2 * M_PI * 0.3 * t);
            for (int c = 0; c < 2; ++c) {
                const double v = 7000 * env *
                                     (std::sin(2 * M_PI * root * t) + 0.6 * std::sin(2 * M_PI * root * 1.25 * t + c) +
                                      0.4 * std::sin(2 * M_PI * root * 1.5 * t) +
                                      0.2 * std::sin(2 * M_PI * root * 4 * t)) +
                                 noise_(rng_);
                out.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)));
            }
        }
    }

private:
    std::mt19937 rng_{7};
    std::normal_distribution<double> noise_{0.0, 300.0};
    std::size_t next_ = 0;
};

}  // namespace svbench
