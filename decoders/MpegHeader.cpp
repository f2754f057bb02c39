#include "decoders/MpegHeader.h"

#include <algorithm>
#include <cstring>

namespace sv {

namespace {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index].
constexpr std::uint16_t kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
constexpr std::uint32_t kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

constexpr int kFramesToConfirm = 3;

bool SameStream(const MPEGHeader& a, const MPEGHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// Offset just past the ID3v2 tags at `at` (several may follow each other).
std::size_t SkipId3v2(std::span<const std::uint8_t> bytes, std::size_t at) {
    for (int tags = 0; tags < 16 && at + 10 <= bytes.size(); ++tags) {
        if (std::memcmp(bytes.data() + at, "ID3", 3) != 0) break;
        const std::uint8_t* s = bytes.data() + at + 6;
        if ((s[0] | s[1] | s[2] | s[3]) & 0x80) break;
        std::size_t size = std::size_t(s[0]) << 21 | std::size_t(s[1]) << 14 | std::size_t(s[2]) << 7 | s[3];
        at += 10 + size + ((bytes[at + 5] & 0x10) ? 10 : 0);
    }
    return at;
}

std::optional<MpegStart> SearchFrom(std::span<const std::uint8_t> bytes, std::size_t from) {
    for (std::size_t i = from; i + 4 <= bytes.size(); ++i) {
        if (bytes[i] != 0xFF || (bytes[i + 1] & 0xE0) != 0xE0) continue;
        auto h = DecodeMpegFrameHeader(bytes.subspan(i));
        if (!h) continue;
        // The frames that follow must agree, three of them or as many as the
        // bytes hold; a frame that runs exactly to the end needs none. A
        // free-format frame (no length) is taken only where the search began.
        bool agree = false;
        std::size_t at = i;
        std::uint32_t len = h->frameLength;
        if (len == 0) agree = i == from;
        for (int k = 0; k < kFramesToConfirm && len != 0; ++k) {
            if (at + len == bytes.size() || (k > 0 && at + len + 4 > bytes.size())) {
                agree = true;
                break;
            }
            if (at + len + 4 > bytes.size()) break;
            at += len;
            auto next = DecodeMpegFrameHeader(bytes.subspan(at));
            if (!next || !SameStream(*h, *next)) break;
            len = next->frameLength;
            agree = k + 1 == kFramesToConfirm;
        }
        if (!agree) continue;
        ReadVbrBlock(bytes.subspan(i), *h);
        return MpegStart{i, *h};
    }
    return std::nullopt;
}

}  // namespace

std::optional<MPEGHeader> DecodeMpegFrameHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
    const std::uint8_t b1 = bytes[1], b2 = bytes[2], b3 = bytes[3];
    const int versionBits = (b1 >> 3) & 3;  // 0 = 2.5, 1 = reserved, 2 = MPEG-2, 3 = MPEG-1
    const int layerBits = (b1 >> 1) & 3;
    const int rateIndex = (b2 >> 2) & 3;
    const int bitrateIndex = b2 >> 4;
    if (versionBits == 1 || layerBits == 0 || rateIndex == 3 || bitrateIndex == 15) return std::nullopt;
    MPEGHeader h;
    std::memcpy(h.header.data(), bytes.data(), 4);
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    const int rateRow = h.version == 1 ? 0 : h.version == 2 ? 1 : 2;
    h.sampleRate = kRates[rateRow][rateIndex];
    h.bitrate = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex];
    const std::uint32_t padding = (b2 >> 1) & 1;
    h.channels = (b3 >> 6) == 3 ? 1 : 2;
    if (h.layer == 1) {
        h.samplesPerFrame = 384;
        h.frameLength = h.bitrate ? (12000 * h.bitrate / h.sampleRate + padding) * 4 : 0;
    } else {
        const bool lsfLayer3 = h.layer == 3 && h.version != 1;
        h.samplesPerFrame = lsfLayer3 ? 576 : 1152;
        std::uint32_t len = 144000 * h.bitrate / h.sampleRate;
        if (lsfLayer3) len /= 2;
        h.frameLength = h.bitrate ? len + padding : 0;
    }
    return h;
}

void ReadVbrBlock(std::span<const std::uint8_t> frame, MPEGHeader& h) {
    if (frame.size() < 4) return;
    const std::size_t side = h.version == 1 ? (h.channels == 1 ? 21 : 36) : (h.channels == 1 ? 13 : 21);
    if (h.layer == 3 && frame.size() >= side + 8 &&
        (std::memcmp(frame.data() + side, "Xing", 4) == 0 || std::memcmp(frame.data() + side, "Info", 4) == 0)) {
        std::size_t at = side + 4;
        const std::uint32_t flags = Be32(frame, at);
        at += 4;
        std::uint32_t frames = 0, bytes = 0, scale = 0;
        std::array<std::uint8_t, 100> toc{};
        if (flags & 1) {
            if (at + 4 > frame.size()) return;
            frames = Be32(frame, at);
            at += 4;
        }
        if (flags & 2) {
            if (at + 4 > frame.size()) return;
            bytes = Be32(frame, at);
            at += 4;
        }
        if (flags & 4) {
            if (at + 100 > frame.size()) return;
            std::memcpy(toc.data(), frame.data() + at, 100);
            at += 100;
        }
        if (flags & 8) {
            if (at + 4 > frame.size()) return;
            scale = Be32(frame, at);
        }
        h.xingFlags = flags;
        h.xingFrames = frames;
        h.xingBytes = bytes;
        h.xingScale = scale;
        h.toc = toc;
        h.vbr = (flags & 1) ? 1 : 0;
        return;
    }
    // Fraunhofer's VBRI block sits 32 bytes after the header.
    if (frame.size() >= 36 + 18 && std::memcmp(frame.data() + 36, "VBRI", 4) == 0) {
        h.xingBytes = Be32(frame, 36 + 10);
        h.xingFrames = Be32(frame, 36 + 14);
        h.xingFlags = 3;
        h.vbr = 1;
    }
}

std::optional<MpegStart> FindFirstMpegFrame(std::span<const std::uint8_t> bytes) {
    const std::size_t afterTags = SkipId3v2(bytes, 0);
    if (afterTags > 0 && afterTags < bytes.size()) {
        if (auto s = SearchFrom(bytes, afterTags)) return s;
    }
    // A tag size that overruns (or none): search from the start.
    return SearchFrom(bytes, 0);
}

}  // namespace sv
