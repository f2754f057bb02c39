#include "encoders/FfmpegFrameEncoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

#include "base/Bytes.h"

namespace sv {

namespace {

bool TakesPlanarFloat(const AVCodec* codec) {
    if (!codec->sample_fmts) return false;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP) return true;
    return false;
}

}  // namespace

FfmpegOpen FfmpegFrameEncoder::Open(const std::string& name, int rate, int channels,
                                    const std::function<void(AVCodecContext&)>& configure, const Options& options) {
    Close();
    ffcodec::QuietLibraryLog();
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_AUDIO || !TakesPlanarFloat(codec)) return FfmpegOpen::NoCodec;
    if (rate <= 0 || channels < 1 || channels > 2) return FfmpegOpen::Refused;
    ffcodec::CodecContextPtr c(avcodec_alloc_context3(codec));
    if (!c) return FfmpegOpen::NoMemory;
    c->sample_rate = rate;
    c->time_base = AVRational{1, rate};
    av_channel_layout_default(&c->ch_layout, channels);
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    if (configure) configure(*c);
    AVDictionary* dict = nullptr;
    for (const auto& [key, value] : options)
        if (av_dict_set(&dict, key.c_str(), value.c_str(), 0) < 0) {
            av_dict_free(&dict);
            return FfmpegOpen::NoMemory;
        }
    const int rc = avcodec_open2(c.get(), codec, &dict);
    const bool unused = av_dict_count(dict) > 0;
    av_dict_free(&dict);
    if (rc == AVERROR(ENOMEM)) return FfmpegOpen::NoMemory;
    if (rc < 0 || unused || c->frame_size <= 0) return FfmpegOpen::Refused;
    fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, c->frame_size * 2);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!fifo_ || !frame_ || !packet_) {
        Close();
        return FfmpegOpen::NoMemory;
    }
    codec_ = std::move(c);
    planes_.assign(std::size_t(channels), {});
    return FfmpegOpen::Opened;
}

void FfmpegFrameEncoder::Close() {
    codec_.reset();
    if (fifo_) av_audio_fifo_free(fifo_);
    fifo_ = nullptr;
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    planes_.clear();
    split_.clear();
    fed_ = pts_ = 0;
    failed_ = false;
}

bool FfmpegFrameEncoder::Push(const float* const* planes, int samples) {
    void* data[2] = {const_cast<float*>(planes[0]), const_cast<float*>(planes[planes_.size() > 1 ? 1 : 0])};
    if (av_audio_fifo_write(fifo_, data, samples) < samples) return !(failed_ = true);
    return true;
}

bool FfmpegFrameEncoder::PrependSilence(int samples) {
    if (!codec_ || failed_ || fed_ != 0 || samples < 0) return false;
    const std::vector<float> zeros(std::size_t(samples), 0.0f);
    const float* planes[2] = {zeros.data(), zeros.data()};
    return Push(planes, samples);
}

bool FfmpegFrameEncoder::Feed(const std::uint8_t* pcm, std::size_t bytes, const PacketSink& sink) {
    if (!codec_ || failed_) return false;
    if (bytes == 0) return true;
    const std::size_t channels = planes_.size();
    const std::size_t frameBytes = 2 * channels;
    // A sample frame split by the previous chunk is completed first.
    std::size_t at = 0;
    std::vector<std::uint8_t> joined;
    if (!split_.empty()) {
        const std::size_t need = std::min(frameBytes - split_.size(), bytes);
        split_.insert(split_.end(), pcm, pcm + need);
        at = need;
        if (split_.size() < frameBytes) return true;
        joined.swap(split_);
    }
    const std::size_t whole = (bytes - at) / frameBytes;
    const std::size_t samples = whole + (joined.empty() ? 0 : 1);
    for (auto& plane : planes_) plane.resize(samples);
    auto load = [&](const std::uint8_t* p, std::size_t index) {
        for (std::size_t c = 0; c < channels; ++c)
            planes_[c][index] = float(LoadLE<std::int16_t>(p + 2 * c)) / 32768.0f;
    };
    std::size_t index = 0;
    if (!joined.empty()) load(joined.data(), index++);
    for (std::size_t i = 0; i < whole; ++i) load(pcm + at + i * frameBytes, index++);
    split_.assign(pcm + at + whole * frameBytes, pcm + bytes);
    const float* planes[2] = {planes_[0].data(), planes_[channels > 1 ? 1 : 0].data()};
    if (samples > 0 && !Push(planes, int(samples))) return false;
    fed_ += std::int64_t(samples);
    while (av_audio_fifo_size(fifo_) >= codec_->frame_size)
        if (!SendFrame(codec_->frame_size, sink)) return false;
    return true;
}

bool FfmpegFrameEncoder::SendFrame(int samples, const PacketSink& sink) {
    const bool shortFrame = samples < codec_->frame_size;
    const bool padded = shortFrame && !(codec_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    av_frame_unref(frame_);
    frame_->nb_samples = padded ? codec_->frame_size : samples;
    frame_->format = codec_->sample_fmt;
    frame_->sample_rate = codec_->sample_rate;
    if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0 || av_frame_get_buffer(frame_, 0) < 0)
        return !(failed_ = true);
    if (padded) av_samples_set_silence(frame_->data, 0, frame_->nb_samples, frame_->ch_layout.nb_channels,
                                       AVSampleFormat(frame_->format));
    if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), samples) < samples) return !(failed_ = true);
    frame_->pts = pts_;
    pts_ += frame_->nb_samples;
    if (avcodec_send_frame(codec_.get(), frame_) < 0) return !(failed_ = true);
    return Drain(sink);
}

bool FfmpegFrameEncoder::Drain(const PacketSink& sink) {
    for (;;) {
        const int rc = avcodec_receive_packet(codec_.get(), packet_);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return !(failed_ = true);
        const bool taken = sink(*packet_);
        av_packet_unref(packet_);
        if (!taken) return !(failed_ = true);
    }
}

bool FfmpegFrameEncoder::Finish(const PacketSink& sink) {
    if (!codec_ || failed_) return false;
    while (av_audio_fifo_size(fifo_) > 0)
        if (!SendFrame(std::min(av_audio_fifo_size(fifo_), codec_->frame_size), sink)) return false;
    if (avcodec_send_frame(codec_.get(), nullptr) < 0) return !(failed_ = true);
    return Drain(sink);
}

}  // namespace sv
