// MPEG audio frame headers and the VBR blocks (Xing/Info, VBRI) of a first
// frame. Pure functions over byte spans: no file access, every index checked.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace sv {

struct MPEGHeader {
    std::uint32_t xingFlags = 0;
    std::uint32_t xingFrames = 0;
    std::uint32_t xingBytes = 0;
    std::uint32_t xingScale = 0;
    std::array<std::uint8_t, 100> toc{};
    std::uint32_t vbr = 0;          // 1 when a Xing/Info or VBRI block was found
    std::uint32_t sampleRate = 0;   // Hz
    std::uint32_t bitrate = 0;      // kbit/s; 0 for free format
    std::uint32_t frameLength = 0;  // bytes; 0 when it cannot be computed
    std::array<std::uint8_t, 4> header{};
    // Derived from the header.
    int version = 1;                // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;                  // 1..3
    int channels = 2;
    std::uint32_t samplesPerFrame = 0;
    bool HasToc() const { return (xingFlags & 4) != 0; }
};

// Decodes the 4 header bytes at the start of `bytes`. Empty when they are not
// a usable frame header: no sync, reserved version, layer, sample-rate index
// or bit-rate index 15.
std::optional<MPEGHeader> DecodeMpegFrameHeader(std::span<const std::uint8_t> bytes);

// Reads a Xing/Info or VBRI block from the frame that starts at the first
// byte of `frame` into `header` (fields left alone when there is none).
void ReadVbrBlock(std::span<const std::uint8_t> frame, MPEGHeader& header);

struct MpegStart {
    std::size_t offset = 0;  // offset of the first frame in the searched bytes
    MPEGHeader header;
};

// Finds the first audio frame of a file from its leading bytes (as many as
// the caller read, e.g. the first megabytes). ID3v2 tags (one or several) are
// skipped by their sizes; a RIFF start, a tag size that overruns and any
// other lead-in are searched. A frame is taken when its header decodes and,
// as far as the bytes reach, the next three frames start with headers of the
// same version, layer and rate. Empty when no frame is found.
std::optional<MpegStart> FindFirstMpegFrame(std::span<const std::uint8_t> bytes);

}  // namespace sv
