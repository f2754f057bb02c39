// CD addressing: sectors (frames) of 2352 bytes, 75 per second, MSF triples.
#pragma once

#include <cstdint>
#include <string>

namespace sv {

inline constexpr int kSectorBytes = 2352;
inline constexpr int kFramesPerSecond = 75;
inline constexpr int kLbaBase = 150;  // absolute frame of logical block 0
// The largest read offset (in samples, either way) a drive is taken to have.
inline constexpr int kMaxReadOffset = 5000;
inline constexpr int kCdBytesPerSecond = 176400;

struct Msf {
    std::uint8_t m = 0, s = 0, f = 0;
    friend bool operator==(const Msf&, const Msf&) = default;
};

constexpr int MsfToFrames(Msf a) { return a.m * 4500 + a.s * 75 + a.f; }

constexpr Msf FramesToMsf(int frames) {
    if (frames < 0) frames = 0;
    int m = frames / 4500;
    if (m > 255) m = 255;
    return Msf{static_cast<std::uint8_t>(m), static_cast<std::uint8_t>((frames / 75) % 60),
               static_cast<std::uint8_t>(frames % 75)};
}

// "MM:SS:FF", two digits each.
std::string FormatMsf(Msf a);

}  // namespace sv
