// WAVEFORMATEX: the format record of WAV files and of the codec conversion
// layer, kept as its little-endian bytes.
//
// Layout: format tag u16, channels u16, samples per second u32, average bytes
// per second u32, block align u16, bits per sample u16, extra size u16
// (cbSize), then cbSize codec bytes. A record read from a file may be the
// 16-byte PCMWAVEFORMAT without the extra-size field; it reads as cbSize 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sv {

inline constexpr std::uint16_t kWaveFormatPcm = 0x0001;
inline constexpr std::uint16_t kWaveFormatAdpcm = 0x0002;
inline constexpr std::uint16_t kWaveFormatIeeeFloat = 0x0003;
inline constexpr std::uint16_t kWaveFormatAlaw = 0x0006;
inline constexpr std::uint16_t kWaveFormatMulaw = 0x0007;
inline constexpr std::uint16_t kWaveFormatImaAdpcm = 0x0011;
inline constexpr std::uint16_t kWaveFormatGsm610 = 0x0031;
inline constexpr std::uint16_t kWaveFormatMpeg = 0x0050;
inline constexpr std::uint16_t kWaveFormatMpegLayer3 = 0x0055;
inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

// Sample rates that sound files have; a record outside them is damaged (and
// below them would make a resampler multiply the data beyond use).
inline constexpr std::uint32_t kMinSoundRate = 1000;
inline constexpr std::uint32_t kMaxSoundRate = 768000;

class WAVEFORMATEX {
public:
    static constexpr std::size_t kBaseSize = 18;

    // A zeroed 18-byte record.
    WAVEFORMATEX() : bytes_(kBaseSize, 0) {}

    // Reads a record from `bytes`: at least 16 bytes are needed; the extra
    // bytes are taken as far as cbSize says and `bytes` holds. Returns false
    // (and leaves a zeroed record) when fewer than 16 bytes are given.
    bool Parse(std::span<const std::uint8_t> bytes);
    static WAVEFORMATEX FromBytes(std::span<const std::uint8_t> bytes);

    // A PCM (tag 1) or IEEE float (tag 3) record with derived block align and
    // average rate.
    static WAVEFORMATEX Pcm(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits, bool isFloat = false);
    // 44100 Hz, 2 channels, 16 bits, PCM.
    static WAVEFORMATEX CdFormat();

    std::uint16_t FormatTag() const { return Get16(0); }
    std::uint16_t Channels() const { return Get16(2); }
    std::uint32_t SamplesPerSec() const { return Get32(4); }
    std::uint32_t AvgBytesPerSec() const { return Get32(8); }
    std::uint16_t BlockAlign() const { return Get16(12); }
    std::uint16_t BitsPerSample() const { return Get16(14); }
    std::uint16_t CbSize() const { return Get16(16); }

    void SetFormatTag(std::uint16_t v) { Set16(0, v); }
    void SetChannels(std::uint16_t v) { Set16(2, v); }
    void SetSamplesPerSec(std::uint32_t v) { Set32(4, v); }
    void SetAvgBytesPerSec(std::uint32_t v) { Set32(8, v); }
    void SetBlockAlign(std::uint16_t v) { Set16(12, v); }
    void SetBitsPerSample(std::uint16_t v) { Set16(14, v); }
    // Writes the cbSize field only (the "extra size" of a target record may
    // be set without extra bytes, as the CD conversion target does).
    void SetCbSizeField(std::uint16_t v) { Set16(16, v); }
    // Replaces the extra bytes and sets cbSize to their count.
    void SetExtra(std::span<const std::uint8_t> extra);

    // The extra bytes actually held (may be fewer than a cbSize set by hand).
    std::span<const std::uint8_t> Extra() const { return {bytes_.data() + kBaseSize, bytes_.size() - kBaseSize}; }
    // The whole record: 18 bytes plus the extra bytes held.
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }

    // PCM or IEEE float, plain or as WAVE_FORMAT_EXTENSIBLE.
    bool IsPcmLike() const;
    bool IsFloat() const;
    // The tag a WAVE_FORMAT_EXTENSIBLE record names in its sub-format, or
    // FormatTag() for any other record.
    std::uint16_t EffectiveTag() const;
    // Bytes per sample of one channel for PCM-like records (block align /
    // channels), 0 when not PCM-like or inconsistent.
    unsigned ContainerBytes() const;
    bool IsCdFormat() const;

    // "44 100 Hz; 16 bit; stereo", or with a bit rate instead of the bits for
    // codecs that are chosen by rate: "44 100 Hz; 128 kbit/s; stereo". A
    // record without bits per sample (GSM 6.10) gives "8 000 Hz; mono".
    std::string Description(bool byBitRate = false) const;

    friend bool operator==(const WAVEFORMATEX&, const WAVEFORMATEX&) = default;

private:
    std::uint16_t Get16(std::size_t off) const;
    std::uint32_t Get32(std::size_t off) const;
    void Set16(std::size_t off, std::uint16_t v);
    void Set32(std::size_t off, std::uint32_t v);

    std::vector<std::uint8_t> bytes_;
};

// Groups thousands with a space: 44100 -> "44 100".
std::string GroupThousands(std::uint64_t value);

}  // namespace sv
