// The Monkey's Audio (.ape, file version 3990) format as this program writes
// it, for 16-bit PCM of one or two channels:
//
//  - ApeFrameEncoder turns one frame of PCM into its stream bytes: the CRC
//    word, the flags word, then the range coder's output for the residuals
//    left by the channel transform, the two prediction stages and the NN
//    filters of the compression level. Every frame starts from fresh state.
//  - ApeWordSwapper lays the concatenated frame stream into the file's
//    frame-data area: 32-bit words, most significant byte first, stored
//    little-endian, padded with zeros to one word past the last whole word.
//  - BuildApeHeader gives the 76 bytes of descriptor and header (no WAV
//    header stored), BuildApeTag an APEv2 tag with header and footer.
//
// Integer widths: decoders disagree on two sums when they overflow 32 bits.
// The stage-2 prediction sums are wrapped at 32 bits here (what every decoder
// does, except FFmpeg 5.1 for stereo at level 5000, which keeps 64 bits), and
// the NN rounding add is done in 64 bits (what FFmpeg does; another decoder
// wraps it). Each frame reports whether the other variant
// would have given a different value anywhere (ApeVariantChecks), so that the
// caller can avoid a file that some decoder reads differently.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sv::ape {

inline constexpr std::uint16_t kFileVersion = 3990;
inline constexpr std::uint32_t kDescriptorBytes = 52;
inline constexpr std::uint32_t kHeaderBytes = 24;
// Descriptor and header together: where the seek table starts.
inline constexpr std::uint32_t kFixedBytes = kDescriptorBytes + kHeaderBytes;
// Header format flag: no WAV header is stored, the decoder makes one.
inline constexpr std::uint16_t kFlagCreateWavHeader = 32;

inline constexpr int kLevelFast = 1000;
inline constexpr int kLevelNormal = 2000;
inline constexpr int kLevelHigh = 3000;
inline constexpr int kLevelExtraHigh = 4000;
inline constexpr int kLevelInsane = 5000;

// 1000, 2000, 3000, 4000 or 5000.
bool IsValidLevel(int level);
// Blocks (samples per channel) in every frame but the last: 73728 up to
// level 3000, 294912 at 4000, 1179648 at 5000.
std::uint32_t BlocksPerFrame(int level);
// The level of the ApeLevel setting: index 0..4 is 1000..5000; other indexes
// are held to that range (below 0 gives 1000, above 4 gives 5000).
int LevelFromSettingIndex(std::int32_t index);

// Whether the value the other integer-width variant computes differed
// anywhere in a frame: `stage2` for the stage-2 sums of stereo frames (64-bit
// against the 32-bit wrap written), `nnRounding` for the NN rounding add
// (32-bit wrap against the 64-bit add written).
struct ApeVariantChecks {
    bool stage2 = false;
    bool nnRounding = false;
    void Merge(const ApeVariantChecks& o) {
        stage2 = stage2 || o.stage2;
        nnRounding = nnRounding || o.nnRounding;
    }
};

// One NN filter (order N, shift S) run over a channel's residuals in place.
class ApeNNFilter {
public:
    ApeNNFilter(int order, int shift);
    void Reset();
    // x -> y for `count` values; sets `roundingDiffers` when a wrapped
    // rounding add would have given another result.
    void Apply(std::int32_t* data, std::size_t count, bool& roundingDiffers);

private:
    static constexpr std::size_t kWindow = 4096;
    int order_;
    int shift_;
    std::vector<std::int16_t> weights_;
    std::vector<std::int16_t> input_;  // order_ + kWindow: saturated inputs
    std::vector<std::int16_t> delta_;  // order_ + kWindow: adaptation steps
    std::size_t pos_ = 0;
    std::int32_t avg_ = 0;
};

class ApeFrameEncoder {
public:
    explicit ApeFrameEncoder(int level);
    int Level() const { return level_; }

    // Appends the stream bytes of one frame to `out`: `blocks` (>= 1) blocks
    // of interleaved little-endian 16-bit PCM of `channels` (1 or 2), exactly
    // the bytes of a WAV file's data. Returns what the variant checks saw.
    ApeVariantChecks Encode(const std::uint8_t* pcm, std::uint32_t blocks, int channels,
                            std::vector<std::uint8_t>& out);

private:
    // Stage 1 and 2 over one channel; b is null for mono coding.
    void Predict(const std::int32_t* a, const std::int32_t* b, std::size_t count, std::int32_t* e, bool checkWide,
                 bool& wideDiffers);
    void Filter(std::vector<ApeNNFilter>& chain, std::int32_t* e, std::size_t count, bool& roundingDiffers);

    int level_;
    std::vector<ApeNNFilter> filtersX_;
    std::vector<ApeNNFilter> filtersY_;
    std::vector<std::int32_t> x_, y_, xPrev_, ex_, ey_;
};

// The frame-data area from the frame stream, as it is written to the file.
class ApeWordSwapper {
public:
    // Appends the swapped whole words of `bytes` (with what was left over
    // from earlier calls) to `out`.
    void Add(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& out);
    // Appends the last word: the 0..3 bytes left, then zeros (a whole zero
    // word when none are left).
    void Finish(std::vector<std::uint8_t>& out);
    // Stream bytes given so far.
    std::uint64_t StreamBytes() const { return streamBytes_; }
    // Length of the finished area: 4 x floor(n / 4) + 4.
    std::uint64_t AreaBytes() const { return (streamBytes_ / 4) * 4 + 4; }

private:
    std::uint8_t pending_[4] = {};
    std::size_t pendingCount_ = 0;
    std::uint64_t streamBytes_ = 0;
};

struct ApeHeaderFields {
    int level = kLevelNormal;
    int channels = 2;
    std::uint32_t sampleRate = 44100;
    std::uint32_t blocksPerFrame = 73728;
    std::uint32_t finalFrameBlocks = 1;
    std::uint32_t totalFrames = 1;
    std::uint32_t seekTableBytes = 4;
    std::uint64_t frameDataBytes = 0;
    std::array<std::uint8_t, 16> md5{};
};

// Descriptor (52 bytes) and header (24 bytes); the MD5 covers the header's
// 24 bytes, which are the last 24 here.
std::array<std::uint8_t, kFixedBytes> BuildApeHeader(const ApeHeaderFields& f);

// An APEv2 tag (header, UTF-8 text items in order, footer). Empty values are
// left out; an empty list gives no tag at all (empty result).
std::vector<std::uint8_t> BuildApeTag(const std::vector<std::pair<std::string, std::string>>& items);

// zlib's CRC-32 of `count` bytes; with `previous`, of those bytes following
// the ones whose CRC-32 it is.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count, std::uint32_t previous = 0);

}  // namespace sv::ape
