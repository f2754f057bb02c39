// TWMAEncoder: Windows Media Audio 2 in an ASF file (".wma") through
// FFmpeg's wmav2 encoder and asf muxer.
//
// The bit rate comes from WmaBitrateIndex through kBitrates; channels and
// sample rate are the input's (CD audio unless SetInputFormat says
// otherwise; mono input gives a mono file). wmav2 takes every bit rate of the
// table at every sample rate up to 48000 Hz; a higher rate, or more than two
// channels, is a codec failure (no bit rate is substituted). The tag record's
// fields become ASF attributes that Windows Media readers and ffprobe show.
// A failed Open tells the user why (through the dialogs, when set, and
// LastMessage), and leaves no file; so does a failed write, at Close.
//
// Timing: one frame of silence goes ahead of the audio (FFmpeg's decoder
// drops the first frame's output, so the decoded stream starts exactly with
// the first input sample) and one after it (a frame comes out complete only
// with the next one). The decoded stream is therefore the input followed by
// at least one and less than two frames of silence (2048 samples a frame at
// 44100 and 48000 Hz); nothing of the track is lost.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "encoders/EncoderCommon.h"
#include "encoders/FfmpegFrameEncoder.h"
#include "formats/WaveFormat.h"

struct AVFormatContext;

namespace sv {

class TWMAEncoder : public FileEncoderBase<TWMAEncoder> {
public:
    // kbit/s by WmaBitrateIndex; an index past the table takes its last entry.
    static constexpr int kBitrates[9] = {32, 40, 48, 64, 80, 96, 128, 160, 192};
    static constexpr const char* kCodecName = "wmav2";
    // The messages of a failed Open, by cause.
    static constexpr const char* kFileMessage = "The output file could not be opened.";
    static constexpr const char* kMemoryMessage = "A memory error occured.";
    static constexpr const char* kCodecMessage =
        "The CODEC required to compress could not be opened.\n(Probably some problem with the pSetSettings call)";

    // `codecName` is the FFmpeg encoder looked up at Open (tests name a
    // missing one).
    explicit TWMAEncoder(std::string codecName = kCodecName) : codecName_(std::move(codecName)) {}
    ~TWMAEncoder() { Close(); }
    TWMAEncoder(const TWMAEncoder&) = delete;
    TWMAEncoder& operator=(const TWMAEncoder&) = delete;

    // Whether this FFmpeg has the encoder and the asf muxer.
    static bool Available(const std::string& codecName = kCodecName);
    // kbit/s of a WmaBitrateIndex, held to the table.
    static int BitrateOf(int index);
    // The ASF attributes Open writes for a tag record, in order (FFmpeg's
    // metadata key, UTF-8 text); empty without a record or its present flag.
    static std::vector<std::pair<std::string, std::string>> Metadata(const std::uint8_t* tagRecord);

    // WmaUseDRM is not read: this platform has no DRM.
    bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings);
    // Interleaved 16-bit PCM of the input format, any byte count. False once
    // encoding or a write failed.
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    // Encodes the tail, writes the ASF index and header and closes the file;
    // false (and the file removed) when anything since Open failed. Resets the
    // input format to CD audio.
    bool Close();

private:
    bool Fail(const char* message);
    bool WritePacket(AVPacket& packet);
    void Release();
    static int WriteToFile(void* opaque, std::uint8_t* data, int size);
    static std::int64_t SeekFile(void* opaque, std::int64_t offset, int whence);

    std::string codecName_;
    FfmpegFrameEncoder core_;
    AVFormatContext* muxer_ = nullptr;
};

}  // namespace sv
