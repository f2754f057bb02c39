// TFAACEncoder: raw AAC in ADTS frames (".aac") through FFmpeg's native aac
// encoder, with the program's ID3v2 tag (the one MP3 files get) in front.
//
// The settings map onto the configuration record of the FAAC settings
// (Configuration), and that onto the encoder: the object type picks the
// profile, mid/side and TNS become aac_ms and aac_tns, the bit rate is per
// channel. The 7-byte ADTS headers (no CRC) are written here, so that the
// ID bit carries the record's MPEG version and the profile field its object
// type. Chunks of any size are taken; Close encodes the carried-over tail and
// drains the encoder, so the end of a track is never lost. ADTS cannot say
// how much to skip, so a decoder returns the encoder's 1024 priming samples
// ahead of the audio, and the last frame's padding after it.
//
// MPEG-2 streams leave perceptual noise substitution off (an MPEG-4 tool);
// "allow mid/side" leaves the choice to the encoder frame by frame.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "encoders/EncoderCommon.h"
#include "encoders/FfmpegFrameEncoder.h"
#include "formats/WaveFormat.h"

namespace sv {

// The encoder configuration the FAAC settings describe.
struct FaacConfiguration {
    int mpegVersion = 0;     // 0 MPEG-4, 1 MPEG-2
    int aacObjectType = 1;   // 0 Main, 1 Low Complexity, 3 Long Term Prediction
    int allowMidSide = 1;
    int useLfe = 0;
    int useTns = 0;
    std::uint32_t bitRate = 0;  // per channel, bit/s
    int bandWidth = 18000;      // Hz

    bool operator==(const FaacConfiguration&) const = default;
};

class TFAACEncoder : public FileEncoderBase<TFAACEncoder> {
public:
    // kbit/s (for all channels) by FaacBitrateIndex; an index outside the
    // table is held to it.
    static constexpr int kBitrates[10] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr const char* kCodecName = "aac";
    static constexpr const char* kSettingsMessage = "Unable to set FaacEncoder settings!";
    static constexpr const char* kFileMessage = "Can't create output file!";

    // `codecName` is the FFmpeg encoder looked up at Open (tests name a
    // missing one).
    explicit TFAACEncoder(std::string codecName = kCodecName) : codecName_(std::move(codecName)) {}
    ~TFAACEncoder() { Close(); }
    TFAACEncoder(const TFAACEncoder&) = delete;
    TFAACEncoder& operator=(const TFAACEncoder&) = delete;

    // Whether this FFmpeg has the encoder.
    static bool Available(const std::string& codecName = kCodecName);
    // The configuration record of the settings: MPEG-4 when FaacMpeg4 is set
    // or the object type is LTP, else MPEG-2; FaacObjectType 0 -> LC, 1 ->
    // Main, 2 -> LTP (any other value -> LC); TNS and mid/side as set; no
    // LFE; bandwidth 18000 Hz; the table's kbit/s x 1000 / 2 per channel.
    static FaacConfiguration Configuration(const TProgramSettings& settings);
    // The ADTS sampling-frequency index of a rate, nothing for other rates.
    static std::optional<int> SampleRateIndex(int rate);
    // The 7-byte ADTS header (protection absent) of a raw frame of
    // `payloadBytes` bytes.
    static std::array<std::uint8_t, 7> AdtsHeader(const FaacConfiguration& config, int rateIndex, int channels,
                                                  std::size_t payloadBytes);

    // Opens the encoder (a refused configuration fails before any file is
    // made), creates `path` and writes the ID3v2 tag of `tagRecord`.
    bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings);
    // Interleaved 16-bit PCM of the input format, any byte count. False once
    // encoding or a write failed.
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    // Encodes the tail, drains the encoder and closes the file; false (and
    // the file removed) when anything since Open failed. Resets the input
    // format to CD audio.
    bool Close();

private:
    bool Fail(const char* message);
    bool WriteFrame(const AVPacket& packet);

    std::string codecName_;
    FfmpegFrameEncoder core_;
    FaacConfiguration config_;
    int rateIndex_ = 0;
};

}  // namespace sv
