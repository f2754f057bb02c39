// TOGGDecoder: ".ogg" Vorbis files through libvorbisfile. Chained files (one
// logical stream after another) play through; a link whose rate or channel
// count differs from the first ends the decoding there. Float samples become
// 16-bit by x 32767, truncated toward zero and clamped.
#pragma once

#include <vorbis/vorbisfile.h>

#include "decoders/Decoder.h"

namespace sv {

class TOGGDecoder : public TDecoder {
public:
    static constexpr std::uint32_t kReadSize = 8192;
    static constexpr int kSamplesPerRead = 4096;  // in all channels

    TOGGDecoder() { readSize_ = kReadSize; }
    ~TOGGDecoder() override { Release(); }

    bool Open(const std::string& path) override;
    bool Close() override;
    std::uint32_t Read(void* buffer, std::uint32_t size) override;
    std::uint32_t GetLength() override { return duration_; }
    std::uint32_t GetPosition() override;
    void Seek(std::uint32_t ms) override;
    void Release() override { Close(); }
    const char* Name() const override { return "ogg"; }

    // The samples (per channel) of the whole file, as the measuring found them.
    std::uint64_t TotalSamples() const { return totalSamples_; }

private:
    OggVorbis_File file_{};
    bool open_ = false;
    std::uint64_t totalSamples_ = 0;
    std::uint64_t streamedTotal_ = 0;  // measured by decoding (truncated files)
    std::uint32_t duration_ = 0;
    std::uint64_t outputPosition_ = 0;
};

// One float sample as 16-bit: x 32767 truncated toward zero, clamped.
std::int16_t VorbisFloatToS16(float v);

}  // namespace sv
