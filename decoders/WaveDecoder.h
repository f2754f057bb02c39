// TWAVEDecoder: any WAV file the WAV reader accepts, handed out as 44100 Hz
// stereo 16-bit PCM (converted through the codec layer when it is not
// already). Lengths and positions are in whole seconds.
#pragma once

#include <vector>

#include "decoders/Decoder.h"
#include "formats/Acm.h"
#include "formats/WavFile.h"

namespace sv {

class TWAVEDecoder : public TDecoder {
public:
    static constexpr std::uint32_t kPlainReadSize = 1024;
    static constexpr std::uint32_t kSourceChunk = 2000;

    TWAVEDecoder() { readSize_ = kPlainReadSize; }
    ~TWAVEDecoder() override { Release(); }

    bool Open(const std::string& path) override;
    bool Close() override;
    std::uint32_t Read(void* buffer, std::uint32_t size) override;
    std::uint32_t GetLength() override;
    std::uint32_t GetPosition() override;
    void Seek(std::uint32_t ms) override;
    void Release() override { Close(); }
    const char* Name() const override { return "wav"; }

    bool Converting() const { return converting_; }

private:
    bool SetUpConversion();

    WavSource source_;
    WAVEFORMATEX sourceFormat_;
    bool converting_ = false;
    std::uint32_t consumed_ = 0;
    std::uint32_t outputPosition_ = 0;
    HACMSTREAM stream_ = nullptr;
    ACMSTREAMHEADER header_;
    std::uint32_t sourceChunk_ = kSourceChunk;
    std::vector<std::uint8_t> sourceBuffer_;
    std::vector<std::uint8_t> destBuffer_;
    std::vector<std::uint8_t> pending_;  // converted bytes not yet handed out
};

}  // namespace sv
