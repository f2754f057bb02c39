// TDecoder: one sound file opened for reading as 16-bit PCM.
//
// Call order: Open -> GetLength (fills total bytes for MPEG) -> Read /
// GetPosition / Seek -> Close. Read must be offered at least ReadSize() bytes;
// it returns the PCM bytes written, 0 at the end or on failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace sv {

class TDecoder {
public:
    virtual ~TDecoder() = default;
    TDecoder() = default;
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    virtual bool Open(const std::string& path) = 0;
    virtual bool Close() = 0;
    virtual std::uint32_t Read(void* buffer, std::uint32_t size) = 0;
    virtual std::uint32_t GetLength() = 0;    // milliseconds
    virtual std::uint32_t GetPosition() = 0;  // milliseconds
    virtual void Seek(std::uint32_t ms) = 0;
    virtual void Release() = 0;
    // A short name for messages and the command line ("wav", "mpeg", "ogg", "flac", "wma").
    virtual const char* Name() const = 0;

    std::uint32_t SampleRate() const { return sampleRate_; }
    std::uint32_t Bitrate() const { return bitrate_; }
    std::uint8_t Channels() const { return channels_; }
    std::uint8_t Bits() const { return bits_; }
    std::uint32_t TotalBytes() const { return totalBytes_; }
    std::uint32_t ByteRate() const { return byteRate_; }
    std::uint32_t ReadSize() const { return readSize_; }

protected:
    std::uint32_t sampleRate_ = 0;
    std::uint32_t bitrate_ = 0;
    std::uint8_t channels_ = 0;
    std::uint8_t bits_ = 16;
    std::uint32_t totalBytes_ = 0;
    std::uint32_t byteRate_ = 0;
    std::uint32_t readSize_ = 0;
};

// The decoder for a file name's extension (compared in lower case): ".wav",
// ".mp3", ".ogg", ".flac", ".wma", ".wmv", ".asf". Null for any other extension.
std::unique_ptr<TDecoder> CreateDecoderForFile(const std::string& path);

}  // namespace sv
