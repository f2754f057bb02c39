#include "grab/TrackChecksums.h"

#include "encoders/ApeFormat.h"

namespace sv {

namespace {
constexpr std::uint64_t kSamplesPerSector = 588;
}

TrackChecksums::TrackChecksums(std::uint64_t totalSamples, bool firstTrack, bool lastTrack)
    : first_(firstTrack ? 5 * kSamplesPerSector - 1 : 0),
      end_(lastTrack && totalSamples > 5 * kSamplesPerSector ? totalSamples - 5 * kSamplesPerSector
                                                              : (lastTrack ? 0 : totalSamples)) {}

void TrackChecksums::Add(const std::uint8_t* pcm, std::size_t bytes) {
    crc_ = ape::Crc32(pcm, bytes, crc_);
    for (std::size_t i = 0; i + 4 <= bytes; i += 4, ++seen_) {
        if (seen_ < first_ || seen_ >= end_) continue;
        // One stereo sample as a 32-bit word: left in the low half.
        const std::uint32_t value = static_cast<std::uint32_t>(pcm[i]) | static_cast<std::uint32_t>(pcm[i + 1]) << 8 |
                                    static_cast<std::uint32_t>(pcm[i + 2]) << 16 |
                                    static_cast<std::uint32_t>(pcm[i + 3]) << 24;
        const std::uint64_t product = (seen_ + 1) * value;
        v1_ += static_cast<std::uint32_t>(product);
        v2_ += static_cast<std::uint32_t>(product) + static_cast<std::uint32_t>(product >> 32);
    }
}

}  // namespace sv
