// The FFmpeg plumbing the WMA and AAC encoders share: an encoder opened by
// name for planar float input, a sample FIFO that turns PCM chunks of any
// size into the codec's fixed frames, and the end of the stream (the tail in
// a last frame, then the codec drained). Packets go to a sink the caller
// gives, which muxes or writes them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
}

#include "formats/FfmpegCodec.h"

namespace sv {

// How opening an FFmpeg encoder ended.
enum class FfmpegOpen { Opened, NoCodec, NoMemory, Refused };

class FfmpegFrameEncoder {
public:
    // Receives each packet the codec produces (timestamps in the codec's
    // time base, 1/sample rate); false stops the encoding as a failure.
    using PacketSink = std::function<bool(AVPacket& packet)>;
    using Options = std::vector<std::pair<std::string, std::string>>;

    FfmpegFrameEncoder() = default;
    ~FfmpegFrameEncoder() { Close(); }
    FfmpegFrameEncoder(const FfmpegFrameEncoder&) = delete;
    FfmpegFrameEncoder& operator=(const FfmpegFrameEncoder&) = delete;

    // Opens the encoder called `name` for `channels` channels at `rate`, fed
    // planar float samples; `configure` sets the rest of the context (bit
    // rate, profile ...) before it opens, `options` are the codec's private
    // options. NoCodec when this FFmpeg has no such encoder or it takes no
    // planar float input; Refused when it does not accept the configuration
    // or leaves a private option unused.
    FfmpegOpen Open(const std::string& name, int rate, int channels,
                    const std::function<void(AVCodecContext&)>& configure, const Options& options = {});
    bool IsOpen() const { return codec_ != nullptr; }
    const AVCodecContext* Context() const { return codec_.get(); }

    // Puts `samples` zero samples ahead of the audio (priming that a codec's
    // decoder drops); only before the first Feed.
    bool PrependSilence(int samples);
    // Takes interleaved 16-bit little-endian PCM of the open channel count,
    // in chunks of any byte size (a split sample is kept for the next call),
    // and encodes every whole codec frame. False when the codec failed or the
    // sink refused a packet; everything after that is dropped.
    bool Feed(const std::uint8_t* pcm, std::size_t bytes, const PacketSink& sink);
    // Encodes what the FIFO still holds as the last frame (a short frame when
    // the codec takes one, otherwise padded with silence), then drains the
    // codec.
    bool Finish(const PacketSink& sink);
    // Frees the codec and the FIFO.
    void Close();

private:
    bool SendFrame(int samples, const PacketSink& sink);
    bool Drain(const PacketSink& sink);
    bool Push(const float* const* planes, int samples);

    ffcodec::CodecContextPtr codec_;
    AVAudioFifo* fifo_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::vector<std::vector<float>> planes_;
    std::vector<std::uint8_t> split_;  // bytes of a sample frame cut by the chunk boundary
    std::int64_t fed_ = 0;
    std::int64_t pts_ = 0;
    bool failed_ = false;
};

}  // namespace sv
