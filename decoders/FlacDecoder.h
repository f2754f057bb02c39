// TFlacDecoder: FLAC files through libFLAC, as 16-bit PCM (8-bit sources are
// widened, deeper ones keep their top 16 bits). The length comes from
// STREAMINFO; seeking goes to the sample.
#pragma once

#include <FLAC/stream_decoder.h>

#include <cstdint>
#include <vector>

#include "decoders/Decoder.h"

namespace sv {

class TFlacDecoder : public TDecoder {
public:
    static constexpr std::uint32_t kReadSize = 16384;

    TFlacDecoder() { readSize_ = kReadSize; }
    ~TFlacDecoder() override { Release(); }

    bool Open(const std::string& path) override;
    bool Close() override;
    std::uint32_t Read(void* buffer, std::uint32_t size) override;
    std::uint32_t GetLength() override { return length_; }
    std::uint32_t GetPosition() override;
    void Seek(std::uint32_t ms) override;
    void Release() override { Close(); }
    const char* Name() const override { return "flac"; }

private:
    static FLAC__StreamDecoderWriteStatus OnWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                  const FLAC__int32* const buffer[], void* self);
    static void OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* self);
    static void OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self);

    FLAC__StreamDecoder* decoder_ = nullptr;
    std::vector<std::uint8_t> pending_;  // decoded, not yet read
    std::size_t pendingPos_ = 0;
    std::uint64_t totalSamples_ = 0;
    std::uint64_t position_ = 0;  // samples handed out
    std::uint32_t length_ = 0;
    unsigned sourceBits_ = 16;
    bool failed_ = false;
};

}  // namespace sv
