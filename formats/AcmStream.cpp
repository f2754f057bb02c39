// Conversion streams of the codec conversion layer (see Acm.h).
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include "base/Bytes.h"
#include "formats/Acm.h"
#include "formats/FfmpegCodec.h"

namespace sv {

namespace {

constexpr unsigned kMaxChannels = 8;
constexpr std::uint32_t kMinRate = kMinSoundRate;
constexpr std::uint32_t kMaxRate = kMaxSoundRate;
// The resampler is fed at most this many output frames' worth at a time.
constexpr std::uint64_t kResampleOutFrames = 16384;
constexpr int kVariableFrameSamples = 4096;

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return b == 0 ? 0 : (a + b - 1) / b; }

std::uint32_t ClampU32(std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, std::numeric_limits<std::uint32_t>::max()));
}

// A PCM or float record this layer can read and write directly.
bool ValidPcm(const WAVEFORMATEX& f) {
    if (!f.IsPcmLike()) return false;
    if (f.Channels() == 0 || f.Channels() > kMaxChannels) return false;
    if (f.SamplesPerSec() < kMinRate || f.SamplesPerSec() > kMaxRate) return false;
    const unsigned c = f.ContainerBytes();
    if (f.IsFloat()) return c == 4 || c == 8;
    return c >= 1 && c <= 4 && f.BitsPerSample() >= 1 && f.BitsPerSample() <= c * 8;
}

bool ValidCompressed(const WAVEFORMATEX& f) {
    return !f.IsPcmLike() && f.Channels() >= 1 && f.Channels() <= kMaxChannels && f.SamplesPerSec() >= kMinRate &&
           f.SamplesPerSec() <= kMaxRate;
}

// The sample format of a PCM record as the resampler takes it (24-bit
// samples travel as 32-bit ones).
AVSampleFormat PcmSampleFormat(const WAVEFORMATEX& f) {
    switch (f.ContainerBytes()) {
    case 1: return AV_SAMPLE_FMT_U8;
    case 2: return AV_SAMPLE_FMT_S16;
    case 3: return AV_SAMPLE_FMT_S32;
    case 4: return f.IsFloat() ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_S32;
    case 8: return AV_SAMPLE_FMT_DBL;
    default: return AV_SAMPLE_FMT_NONE;
    }
}

void LayoutFor(const WAVEFORMATEX& f, AVChannelLayout* layout) {
    av_channel_layout_uninit(layout);
    if (f.FormatTag() == kWaveFormatExtensible && f.Extra().size() >= 6) {
        const std::uint32_t mask = LoadLE32(f.Extra().data() + 2);
        if (mask != 0 && av_popcount(mask) == f.Channels() && av_channel_layout_from_mask(layout, mask) == 0) return;
    }
    av_channel_layout_default(layout, f.Channels());
}

// Samples per block of the block codecs whose length follows from the byte
// count; 0 for codecs without such a rule.
std::uint32_t SamplesPerBlock(const WAVEFORMATEX& f) {
    const unsigned ch = f.Channels();
    const unsigned align = f.BlockAlign();
    if (ch == 0) return 0;
    const auto extra = f.Extra();
    const std::uint32_t declared = extra.size() >= 2 ? LoadLE16(extra.data()) : 0;
    switch (f.FormatTag()) {
    case kWaveFormatImaAdpcm:
        if (align <= 4 * ch) return 0;
        return declared ? declared : (align - 4 * ch) * 8 / (4 * ch) + 1;
    case kWaveFormatAdpcm:
        if (align < 7 * ch) return 0;
        return declared ? declared : (align - 7 * ch) * 2 / ch + 2;
    case kWaveFormatGsm610:
        return align == 65 ? 320 : 0;
    default:
        return 0;
    }
}

}  // namespace

class AcmStream {
public:
    enum class Kind { Pcm, Decode, Encode };

    AcmStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) : src_(src), dst_(dst) {}
    ~AcmStream() { Release(); }
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;

    std::uint32_t Open();
    std::uint32_t Size(std::uint32_t input, bool bySource, std::uint32_t* output) const;
    std::uint32_t Convert(ACMSTREAMHEADER& h, std::uint32_t flags);
    std::uint32_t Reset();

    const WAVEFORMATEX& Source() const { return src_; }
    const WAVEFORMATEX& Destination() const { return dst_; }

private:
    std::uint32_t StartCodecs();
    void Release();

    // Source side.
    std::uint64_t SourceFramesFor(std::uint64_t bytes) const;
    std::uint64_t SourceBytesFor(std::uint64_t frames) const;
    std::size_t FeedPcm(const std::uint8_t* data, std::size_t len);
    std::size_t FeedCompressed(const std::uint8_t* data, std::size_t len, bool end);
    bool DecodePacket(AVPacket* packet);
    bool DecodeParsed(const std::uint8_t* data, int size);
    bool DrainDecoder();
    bool ReceiveFrames();

    // Resampler and destination side.
    bool FeedResampler(const std::uint8_t* const* planes, int frames, int rate, AVSampleFormat fmt,
                       const AVChannelLayout& layout);
    bool FlushResampler();
    void Deliver(std::uint8_t* const* planes, int frames);
    bool EncodeFromFifo(bool flush);
    bool ReceivePackets();
    void FinishPcmLength();

    std::uint64_t OutputFramesFor(std::uint64_t srcFrames) const;
    // The most source bytes one conversion call takes for a destination of
    // `dstLength` bytes.
    std::size_t SourceLimit(std::size_t dstLength) const;

    WAVEFORMATEX src_;
    WAVEFORMATEX dst_;
    Kind kind_ = Kind::Pcm;

    // The consumed unit of source bytes.
    std::uint32_t srcBlock_ = 1;
    bool srcParsed_ = false;
    bool srcPcmFamily_ = false;

    ffcodec::CodecContextPtr dec_;
    AVCodecParserContext* parser_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::vector<std::uint8_t> staging_;

    SwrContext* swr_ = nullptr;
    int swrInRate_ = 0;
    AVSampleFormat swrInFmt_ = AV_SAMPLE_FMT_NONE;
    AVChannelLayout swrInLayout_{};
    std::uint64_t segmentIn_ = 0;   // source frames into the current resampler
    std::uint64_t expectedOut_ = 0; // output frames owed by finished resampler segments

    int outRate_ = 0;
    int outChannels_ = 0;
    AVSampleFormat outFmt_ = AV_SAMPLE_FMT_NONE;
    AVChannelLayout outLayout_{};
    unsigned dstContainer_ = 0;
    std::uint64_t producedOut_ = 0;  // PCM output frames made so far
    std::vector<std::uint8_t> convertBuf_;

    ffcodec::CodecContextPtr enc_;
    AVAudioFifo* fifo_ = nullptr;
    AVFrame* encFrame_ = nullptr;
    std::int64_t encPts_ = 0;

    std::vector<std::uint8_t> pending_;
    std::size_t pendingPos_ = 0;
    bool ended_ = false;
};

std::uint32_t AcmStream::Open() {
    const bool srcPcm = ValidPcm(src_);
    const bool dstPcm = ValidPcm(dst_);
    if (srcPcm && dstPcm) kind_ = Kind::Pcm;
    else if (!src_.IsPcmLike() && dstPcm && ValidCompressed(src_)) kind_ = Kind::Decode;
    else if (srcPcm && !dst_.IsPcmLike() && ValidCompressed(dst_)) kind_ = Kind::Encode;
    else return ACMERR_NOTPOSSIBLE;

    if (kind_ == Kind::Decode) {
        const AVCodecID id = ffcodec::CodecIdForFormat(src_);
        srcParsed_ = ffcodec::NeedsParser(id);
        srcPcmFamily_ = id >= AV_CODEC_ID_PCM_S16LE && id < AV_CODEC_ID_ADPCM_IMA_QT;
        srcBlock_ = srcParsed_ ? 1 : std::max<std::uint32_t>(1, src_.BlockAlign());
    } else {
        srcBlock_ = src_.BlockAlign();
    }
    return StartCodecs();
}

std::uint32_t AcmStream::StartCodecs() {
    ended_ = false;
    segmentIn_ = expectedOut_ = producedOut_ = 0;
    encPts_ = 0;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) return MMSYSERR_NOMEM;

    if (kind_ == Kind::Decode) {
        dec_ = ffcodec::OpenDecoder(src_);
        if (!dec_) return ACMERR_NOTPOSSIBLE;
        if (srcParsed_) {
            parser_ = av_parser_init(dec_->codec_id);
            if (!parser_) return ACMERR_NOTPOSSIBLE;
        }
    }
    if (kind_ == Kind::Encode) {
        enc_ = ffcodec::OpenEncoderFor(dst_);
        if (!enc_) return ACMERR_NOTPOSSIBLE;
        outRate_ = enc_->sample_rate;
        outChannels_ = enc_->ch_layout.nb_channels;
        outFmt_ = enc_->sample_fmt;
        av_channel_layout_uninit(&outLayout_);
        if (av_channel_layout_copy(&outLayout_, &enc_->ch_layout) < 0) return MMSYSERR_NOMEM;
        fifo_ = av_audio_fifo_alloc(outFmt_, outChannels_, 8192);
        encFrame_ = av_frame_alloc();
        if (!fifo_ || !encFrame_) return MMSYSERR_NOMEM;
    } else {
        outRate_ = static_cast<int>(dst_.SamplesPerSec());
        outChannels_ = dst_.Channels();
        outFmt_ = PcmSampleFormat(dst_);
        dstContainer_ = dst_.ContainerBytes();
        LayoutFor(dst_, &outLayout_);
    }
    return MMSYSERR_NOERROR;
}

void AcmStream::Release() {
    if (parser_) av_parser_close(parser_);
    parser_ = nullptr;
    dec_.reset();
    enc_.reset();
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    av_frame_free(&encFrame_);
    if (fifo_) av_audio_fifo_free(fifo_);
    fifo_ = nullptr;
    swr_free(&swr_);
    av_channel_layout_uninit(&swrInLayout_);
    av_channel_layout_uninit(&outLayout_);
    pending_.clear();
    pendingPos_ = 0;
}

std::uint32_t AcmStream::Reset() {
    Release();
    return StartCodecs();
}

// ---- sizes ----

std::uint64_t AcmStream::SourceFramesFor(std::uint64_t bytes) const {
    if (kind_ != Kind::Decode) return srcBlock_ ? bytes / srcBlock_ : 0;
    const std::uint32_t ch = src_.Channels();
    if (srcPcmFamily_) return src_.BlockAlign() ? bytes / src_.BlockAlign() : bytes / ch;
    if (const std::uint32_t spb = SamplesPerBlock(src_)) {
        const std::uint32_t align = src_.BlockAlign();
        std::uint64_t frames = bytes / align * spb;
        const std::uint64_t rest = bytes % align;
        if (src_.FormatTag() == kWaveFormatImaAdpcm && rest > 4u * ch) frames += 1 + (rest - 4u * ch) * 2 / ch;
        else if (src_.FormatTag() == kWaveFormatAdpcm && rest >= 7u * ch) frames += 2 + (rest - 7u * ch) * 2 / ch;
        else if (rest > 0) frames += spb;
        return frames;
    }
    // Codecs without a byte rule: by the average rate, with two codec frames
    // of margin so that the estimate does not fall short.
    const std::uint64_t avg = std::max<std::uint32_t>(src_.AvgBytesPerSec(), 1);
    return CeilDiv(bytes * src_.SamplesPerSec(), avg) + 2 * 1152;
}

std::uint64_t AcmStream::SourceBytesFor(std::uint64_t frames) const {
    if (kind_ != Kind::Decode) return frames * srcBlock_;
    if (srcPcmFamily_) return frames * std::max<std::uint32_t>(1, src_.BlockAlign());
    if (const std::uint32_t spb = SamplesPerBlock(src_)) return std::max<std::uint64_t>(1, frames / spb) * src_.BlockAlign();
    const std::uint64_t rate = std::max<std::uint32_t>(src_.SamplesPerSec(), 1);
    std::uint64_t bytes = frames * src_.AvgBytesPerSec() / rate;
    const std::uint32_t align = std::max<std::uint32_t>(1, src_.BlockAlign());
    if (!srcParsed_) bytes = bytes / align * align;
    return std::max<std::uint64_t>(bytes, align);
}

std::uint64_t AcmStream::OutputFramesFor(std::uint64_t srcFrames) const {
    const std::uint64_t inRate = std::max<std::uint32_t>(src_.SamplesPerSec(), 1);
    return CeilDiv(srcFrames * static_cast<std::uint64_t>(outRate_), inRate);
}

std::size_t AcmStream::SourceLimit(std::size_t dstLength) const {
    // An encoder's output is smaller than its input, and codecs without
    // fixed blocks take every byte.
    if (kind_ == Kind::Encode || srcParsed_) return SIZE_MAX;
    const std::size_t waiting = pending_.size() - pendingPos_;
    const std::size_t room = dstLength > waiting ? dstLength - waiting : 0;
    const std::uint64_t outFrames = room / std::max<std::uint32_t>(dst_.BlockAlign(), 1);
    const std::uint64_t srcFrames = outFrames * std::max<std::uint32_t>(src_.SamplesPerSec(), 1) /
                                    static_cast<std::uint64_t>(std::max(outRate_, 1));
    // At least one block, so that every call makes progress.
    const std::uint64_t bytes = std::max<std::uint64_t>(SourceBytesFor(srcFrames), srcBlock_);
    return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SIZE_MAX));
}

std::uint32_t AcmStream::Size(std::uint32_t input, bool bySource, std::uint32_t* output) const {
    if (!output) return MMSYSERR_INVALPARAM;
    const std::uint64_t inRate = std::max<std::uint32_t>(src_.SamplesPerSec(), 1);
    const std::uint64_t outRate = std::max(outRate_, 1);
    if (kind_ != Kind::Encode) {
        const std::uint64_t align = dst_.BlockAlign();
        if (bySource) {
            *output = ClampU32(OutputFramesFor(SourceFramesFor(input)) * align);
        } else {
            const std::uint64_t frames = input / align * inRate / outRate;
            *output = ClampU32(SourceBytesFor(frames));
        }
        return MMSYSERR_NOERROR;
    }
    // PCM into an encoder.
    const std::uint64_t frameSize = enc_->frame_size > 0 ? static_cast<std::uint64_t>(enc_->frame_size) : 0;
    const bool fixedBlocks = enc_->block_align > 1 && frameSize > 0 && !ffcodec::IsBitRateCodec(enc_->codec_id);
    std::uint64_t perPacket;
    std::uint64_t packetFrames = frameSize;
    if (fixedBlocks) {
        perPacket = static_cast<std::uint64_t>(enc_->block_align);
    } else if (frameSize > 0) {
        perPacket = CeilDiv(dst_.AvgBytesPerSec() * frameSize, outRate) + 4;
    } else {
        packetFrames = 1;
        perPacket = std::max<std::uint32_t>(1, dst_.BlockAlign());
    }
    if (bySource) {
        const std::uint64_t encFrames = CeilDiv(input / srcBlock_ * outRate, inRate);
        const std::uint64_t packets = CeilDiv(encFrames, packetFrames) + (frameSize > 0 ? 2 : 0);
        *output = ClampU32(packets * perPacket);
    } else {
        const std::uint64_t packets = input / perPacket;
        const std::uint64_t frames = std::max<std::uint64_t>(1, packets * packetFrames * inRate / outRate);
        *output = ClampU32(frames * srcBlock_);
    }
    return MMSYSERR_NOERROR;
}

// ---- conversion ----

std::uint32_t AcmStream::Convert(ACMSTREAMHEADER& h, std::uint32_t flags) {
    if (!(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    h.fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    h.cbSrcLengthUsed = 0;
    h.cbDstLengthUsed = 0;
    const bool end = (flags & ACM_STREAMCONVERTF_END) != 0;
    if (h.cbSrcLength > 0 && !h.pbSrc) return MMSYSERR_INVALPARAM;
    if (h.cbDstLength > 0 && !h.pbDst) return MMSYSERR_INVALPARAM;

    // New source after the end of a stream starts the codec afresh.
    if (ended_ && h.cbSrcLength >= srcBlock_ && h.cbSrcLength > 0) {
        if (const std::uint32_t rc = Reset(); rc != MMSYSERR_NOERROR) return rc;
    }
    bool ok = true;
    if (!ended_) {
        // Only as much source as fills the destination goes in, so that what
        // waits in the stream stays within one destination block whatever the
        // rate ratio; the caller offers the rest again, and the stream ends
        // only with the last of it.
        const std::size_t offered = std::min<std::size_t>(h.cbSrcLength, SourceLimit(h.cbDstLength));
        const bool lastPiece = end && offered == h.cbSrcLength;
        std::size_t used = 0;
        if (kind_ == Kind::Decode) used = FeedCompressed(h.pbSrc, offered, lastPiece);
        else used = FeedPcm(h.pbSrc, offered);
        h.cbSrcLengthUsed = static_cast<std::uint32_t>(used);
        if (used == SIZE_MAX) {
            h.cbSrcLengthUsed = 0;
            ok = false;
        }
        if (ok && lastPiece) {
            if (kind_ == Kind::Decode) ok = DrainDecoder();
            ok = ok && FlushResampler();
            if (ok && kind_ == Kind::Encode) ok = EncodeFromFifo(true);
            if (ok && kind_ != Kind::Encode) FinishPcmLength();
            ended_ = true;
        }
    }
    if (!ok) return MMSYSERR_ERROR;

    std::size_t avail = pending_.size() - pendingPos_;
    std::size_t give = std::min<std::size_t>(avail, h.cbDstLength);
    if (kind_ != Kind::Encode) give -= give % dst_.BlockAlign();
    if (give > 0) std::memcpy(h.pbDst, pending_.data() + pendingPos_, give);
    pendingPos_ += give;
    h.cbDstLengthUsed = static_cast<std::uint32_t>(give);
    if (pendingPos_ == pending_.size()) {
        pending_.clear();
        pendingPos_ = 0;
    } else if (pendingPos_ > (1u << 20)) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingPos_));
        pendingPos_ = 0;
    }
    h.fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

std::size_t AcmStream::FeedPcm(const std::uint8_t* data, std::size_t len) {
    const std::size_t frames = srcBlock_ ? len / srcBlock_ : 0;
    if (frames == 0) return 0;
    const unsigned container = src_.ContainerBytes();
    const AVSampleFormat fmt = PcmSampleFormat(src_);
    AVChannelLayout layout{};
    LayoutFor(src_, &layout);
    std::size_t done = 0;
    constexpr std::size_t kChunk = 16384;
    std::vector<std::uint8_t> wide;
    bool ok = true;
    while (ok && done < frames) {
        const std::size_t n = std::min(kChunk, frames - done);
        const std::uint8_t* p = data + done * srcBlock_;
        const std::uint8_t* plane = p;
        if (container == 3) {
            // 24-bit samples become the top three bytes of 32-bit ones.
            const std::size_t samples = n * src_.Channels();
            wide.resize(samples * 4);
            for (std::size_t i = 0; i < samples; ++i) {
                wide[4 * i] = 0;
                std::memcpy(&wide[4 * i + 1], p + 3 * i, 3);
            }
            plane = wide.data();
        }
        ok = FeedResampler(&plane, static_cast<int>(n), static_cast<int>(src_.SamplesPerSec()), fmt, layout);
        done += n;
    }
    av_channel_layout_uninit(&layout);
    return ok ? frames * srcBlock_ : SIZE_MAX;
}

std::size_t AcmStream::FeedCompressed(const std::uint8_t* data, std::size_t len, bool end) {
    if (srcParsed_) {
        // The parser keeps partial frames; it may read a little past the
        // end of what it is given, so it gets a padded copy.
        staging_.assign(data, data + len);
        staging_.resize(len + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::size_t pos = 0;
        while (pos < len) {
            std::uint8_t* out = nullptr;
            int outSize = 0;
            const int used = av_parser_parse2(parser_, dec_.get(), &out, &outSize, staging_.data() + pos,
                                              static_cast<int>(len - pos), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) return SIZE_MAX;
            pos += static_cast<std::size_t>(used);
            if (outSize > 0 && !DecodeParsed(out, outSize)) return SIZE_MAX;
            if (used == 0 && outSize == 0) break;
        }
        while (end) {
            std::uint8_t* out = nullptr;
            int outSize = 0;
            av_parser_parse2(parser_, dec_.get(), &out, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (outSize <= 0) break;
            if (!DecodeParsed(out, outSize)) return SIZE_MAX;
        }
        return len;
    }
    // Whole blocks; PCM-like codecs take many blocks per packet, the others
    // one block each. At the end a partial block is decoded too.
    const std::size_t block = srcBlock_;
    const std::size_t whole = len / block * block;
    const std::size_t take = end ? len : whole;
    const std::size_t step = srcPcmFamily_ ? std::max<std::size_t>(block, 32768 / block * block) : block;
    for (std::size_t pos = 0; pos < take; pos += step) {
        const std::size_t n = std::min(step, take - pos);
        if (!DecodeParsed(data + pos, static_cast<int>(n))) return SIZE_MAX;
    }
    return take;
}

// Sends one packet and converts every frame it gives. A packet the decoder
// refuses as damaged is skipped.
bool AcmStream::DecodePacket(AVPacket* packet) {
    int rc = avcodec_send_packet(dec_.get(), packet);
    if (rc == AVERROR(EAGAIN)) {
        if (!DrainDecoder()) return false;
        rc = avcodec_send_packet(dec_.get(), packet);
    }
    if (rc < 0 && rc != AVERROR_EOF) return true;
    return ReceiveFrames();
}

bool AcmStream::DecodeParsed(const std::uint8_t* data, int size) {
    if (av_new_packet(packet_, size) < 0) return false;
    std::memcpy(packet_->data, data, static_cast<std::size_t>(size));
    const bool ok = DecodePacket(packet_);
    av_packet_unref(packet_);
    return ok;
}

// Takes the frames still inside the decoder (at the end of the stream).
bool AcmStream::DrainDecoder() {
    avcodec_send_packet(dec_.get(), nullptr);
    return ReceiveFrames();
}

// Hands every frame the decoder has ready to the resampler.
bool AcmStream::ReceiveFrames() {
    int rc;
    while ((rc = avcodec_receive_frame(dec_.get(), frame_)) >= 0) {
        const bool ok = FeedResampler(frame_->extended_data, frame_->nb_samples, frame_->sample_rate,
                                      static_cast<AVSampleFormat>(frame_->format), frame_->ch_layout);
        av_frame_unref(frame_);
        if (!ok) return false;
    }
    return true;
}

bool AcmStream::FeedResampler(const std::uint8_t* const* planes, int frames, int rate, AVSampleFormat fmt,
                              const AVChannelLayout& layout) {
    if (frames <= 0) return true;
    if (rate <= 0 || layout.nb_channels <= 0 || layout.nb_channels > static_cast<int>(kMaxChannels)) return false;
    if (!swr_ || rate != swrInRate_ || fmt != swrInFmt_ || av_channel_layout_compare(&layout, &swrInLayout_) != 0) {
        if (swr_ && !FlushResampler()) return false;
        swr_free(&swr_);
        if (swr_alloc_set_opts2(&swr_, &outLayout_, outFmt_, outRate_, const_cast<AVChannelLayout*>(&layout), fmt, rate,
                                0, nullptr) < 0 ||
            swr_init(swr_) < 0)
            return false;
        swrInRate_ = rate;
        swrInFmt_ = fmt;
        av_channel_layout_uninit(&swrInLayout_);
        av_channel_layout_copy(&swrInLayout_, &layout);
        segmentIn_ = 0;
    }
    // The input goes in pieces whose output fits a fixed buffer, however
    // much the rate grows.
    const int piece = static_cast<int>(std::clamp<std::uint64_t>(
        kResampleOutFrames * static_cast<std::uint64_t>(rate) / static_cast<std::uint64_t>(std::max(outRate_, 1)), 1,
        static_cast<std::uint64_t>(frames)));
    const bool planar = av_sample_fmt_is_planar(fmt) != 0;
    const int planeCount = planar ? layout.nb_channels : 1;
    const std::size_t frameStride =
        static_cast<std::size_t>(av_get_bytes_per_sample(fmt)) * static_cast<std::size_t>(planar ? 1 : layout.nb_channels);
    for (int done = 0; done < frames; done += piece) {
        const int n = std::min(piece, frames - done);
        const std::uint8_t* in[kMaxChannels] = {};
        for (int c = 0; c < planeCount; ++c) in[c] = planes[c] + static_cast<std::size_t>(done) * frameStride;
        const int cap = swr_get_out_samples(swr_, n);
        if (cap < 0) return false;
        std::uint8_t* out[kMaxChannels] = {};
        const int bufSize = av_samples_get_buffer_size(nullptr, outChannels_, std::max(cap, 1), outFmt_, 1);
        if (bufSize < 0) return false;
        convertBuf_.resize(static_cast<std::size_t>(bufSize));
        if (av_samples_fill_arrays(out, nullptr, convertBuf_.data(), outChannels_, std::max(cap, 1), outFmt_, 1) < 0)
            return false;
        const int got = swr_convert(swr_, out, cap, in, n);
        if (got < 0) return false;
        segmentIn_ += static_cast<std::uint64_t>(n);
        Deliver(out, got);
        if (kind_ == Kind::Encode && !EncodeFromFifo(false)) return false;
    }
    return true;
}

bool AcmStream::FlushResampler() {
    if (!swr_) return true;
    std::uint8_t* out[kMaxChannels] = {};
    for (;;) {
        const int cap = std::max(swr_get_out_samples(swr_, 0), 0) + 64;
        const int bufSize = av_samples_get_buffer_size(nullptr, outChannels_, cap, outFmt_, 1);
        if (bufSize < 0) return false;
        convertBuf_.resize(static_cast<std::size_t>(bufSize));
        av_samples_fill_arrays(out, nullptr, convertBuf_.data(), outChannels_, cap, outFmt_, 1);
        const int got = swr_convert(swr_, out, cap, nullptr, 0);
        if (got < 0) return false;
        if (got == 0) break;
        Deliver(out, got);
    }
    expectedOut_ += CeilDiv(segmentIn_ * static_cast<std::uint64_t>(outRate_), static_cast<std::uint64_t>(swrInRate_));
    segmentIn_ = 0;
    swr_free(&swr_);
    swrInRate_ = 0;
    swrInFmt_ = AV_SAMPLE_FMT_NONE;
    av_channel_layout_uninit(&swrInLayout_);
    return kind_ != Kind::Encode || EncodeFromFifo(false);
}

void AcmStream::Deliver(std::uint8_t* const* planes, int frames) {
    if (frames <= 0) return;
    if (kind_ == Kind::Encode) {
        av_audio_fifo_write(fifo_, reinterpret_cast<void**>(const_cast<std::uint8_t**>(planes)), frames);
        return;
    }
    const std::size_t samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(outChannels_);
    if (dstContainer_ == 3) {
        const std::uint8_t* p = planes[0];
        for (std::size_t i = 0; i < samples; ++i) pending_.insert(pending_.end(), p + 4 * i + 1, p + 4 * i + 4);
    } else {
        pending_.insert(pending_.end(), planes[0], planes[0] + samples * dstContainer_);
    }
    producedOut_ += static_cast<std::uint64_t>(frames);
}

// Gives a PCM result exactly the length the source's frames call for: the
// resampler's last output may fall a few frames short or run a few over.
void AcmStream::FinishPcmLength() {
    const std::uint64_t want = expectedOut_;
    const std::size_t align = dst_.BlockAlign();
    if (producedOut_ < want) {
        const std::size_t bytes = static_cast<std::size_t>(want - producedOut_) * align;
        pending_.insert(pending_.end(), bytes, dstContainer_ == 1 ? std::uint8_t{0x80} : std::uint8_t{0});
    } else if (producedOut_ > want) {
        const std::size_t extra = static_cast<std::size_t>(producedOut_ - want) * align;
        const std::size_t removable = std::min(extra, (pending_.size() - pendingPos_) / align * align);
        pending_.resize(pending_.size() - removable);
    }
    producedOut_ = want;
}

bool AcmStream::EncodeFromFifo(bool flush) {
    const bool variable = (enc_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || enc_->frame_size <= 0;
    const int frameSize = variable ? kVariableFrameSamples : enc_->frame_size;
    const bool smallLast = variable || (enc_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    while (av_audio_fifo_size(fifo_) >= frameSize || (flush && av_audio_fifo_size(fifo_) > 0)) {
        const int n = std::min(frameSize, av_audio_fifo_size(fifo_));
        av_frame_unref(encFrame_);
        encFrame_->nb_samples = (n < frameSize && !smallLast) ? frameSize : n;
        encFrame_->format = enc_->sample_fmt;
        encFrame_->sample_rate = enc_->sample_rate;
        if (av_channel_layout_copy(&encFrame_->ch_layout, &enc_->ch_layout) < 0) return false;
        if (av_frame_get_buffer(encFrame_, 0) < 0) return false;
        if (encFrame_->nb_samples > n)
            av_samples_set_silence(encFrame_->extended_data, n, encFrame_->nb_samples - n, outChannels_,
                                   enc_->sample_fmt);
        if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(encFrame_->extended_data), n) != n) return false;
        encFrame_->pts = encPts_;
        encPts_ += encFrame_->nb_samples;
        if (avcodec_send_frame(enc_.get(), encFrame_) < 0) return false;
        if (!ReceivePackets()) return false;
    }
    if (flush) {
        avcodec_send_frame(enc_.get(), nullptr);
        if (!ReceivePackets()) return false;
    }
    return true;
}

bool AcmStream::ReceivePackets() {
    int rc;
    while ((rc = avcodec_receive_packet(enc_.get(), packet_)) >= 0) {
        pending_.insert(pending_.end(), packet_->data, packet_->data + packet_->size);
        av_packet_unref(packet_);
    }
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF;
}

// ---- the calls ----

std::uint32_t acmStreamOpen(HACMSTREAM* stream, const WAVEFORMATEX& src, const WAVEFORMATEX& dst,
                            std::uint32_t flags) {
    ffcodec::QuietLibraryLog();
    const bool query = (flags & ACM_STREAMOPENF_QUERY) != 0;
    if (!query && !stream) return MMSYSERR_INVALPARAM;
    if (stream) *stream = nullptr;
    auto s = std::make_unique<AcmStream>(src, dst);
    const std::uint32_t rc = s->Open();
    if (rc != MMSYSERR_NOERROR) return rc;
    if (!query) *stream = s.release();
    return MMSYSERR_NOERROR;
}

std::uint32_t acmFormatSuggest(const WAVEFORMATEX& src, WAVEFORMATEX& dst, std::uint32_t size, std::uint32_t flags) {
    if (size < 16) return MMSYSERR_INVALPARAM;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst.FormatTag() != kWaveFormatPcm) return ACMERR_NOTPOSSIBLE;
    const std::uint16_t channels =
        (flags & ACM_FORMATSUGGESTF_NCHANNELS) ? dst.Channels() : src.Channels();
    const std::uint32_t rate = (flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) ? dst.SamplesPerSec() : src.SamplesPerSec();
    std::uint16_t bits = 16;
    if (flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) bits = dst.BitsPerSample();
    else if (src.IsPcmLike() && !src.IsFloat() && src.ContainerBytes() == 1) bits = 8;
    const WAVEFORMATEX suggestion = WAVEFORMATEX::Pcm(rate, channels, bits);
    if (acmStreamOpen(nullptr, src, suggestion, ACM_STREAMOPENF_QUERY) != MMSYSERR_NOERROR) return ACMERR_NOTPOSSIBLE;
    dst = suggestion;
    return MMSYSERR_NOERROR;
}

std::uint32_t acmStreamSize(HACMSTREAM stream, std::uint32_t input, std::uint32_t* output, std::uint32_t flags) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    return stream->Size(input, (flags & ACM_STREAMSIZEF_DESTINATION) == 0, output);
}

std::uint32_t acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

std::uint32_t acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    return stream->Convert(*header, flags);
}

std::uint32_t acmStreamReset(HACMSTREAM stream, std::uint32_t) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    return stream->Reset();
}

std::uint32_t acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

std::uint32_t acmStreamClose(HACMSTREAM stream, std::uint32_t) {
    if (!stream) return MMSYSERR_INVALHANDLE;
    delete stream;
    return MMSYSERR_NOERROR;
}

const WAVEFORMATEX& AcmStreamSourceFormat(HACMSTREAM stream) { return stream->Source(); }
const WAVEFORMATEX& AcmStreamDestinationFormat(HACMSTREAM stream) { return stream->Destination(); }

}  // namespace sv
