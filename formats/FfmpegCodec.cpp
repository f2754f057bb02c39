#include "formats/FfmpegCodec.h"

#include <cstring>
#include <mutex>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include "base/Bytes.h"

namespace sv::ffcodec {
namespace {

const AVCodecTag* const* RiffTags() {
    static const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
    return tags;
}

void SetChannels(AVCodecContext* c, int channels, std::uint32_t mask) {
    av_channel_layout_uninit(&c->ch_layout);
    if (mask != 0 && av_popcount(mask) == channels) av_channel_layout_from_mask(&c->ch_layout, mask);
    else av_channel_layout_default(&c->ch_layout, channels);
}

AVSampleFormat PreferredSampleFormat(const AVCodec* codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_S16P) return *f;
    return codec->sample_fmts[0];
}

}  // namespace

void QuietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

AVCodecID CodecIdForFormat(const WAVEFORMATEX& format) {
    const std::uint16_t tag = format.EffectiveTag();
    const unsigned container = format.ContainerBytes();
    if (tag == kWaveFormatPcm) {
        switch (container) {
        case 1: return AV_CODEC_ID_PCM_U8;
        case 2: return AV_CODEC_ID_PCM_S16LE;
        case 3: return AV_CODEC_ID_PCM_S24LE;
        case 4: return AV_CODEC_ID_PCM_S32LE;
        default: return AV_CODEC_ID_NONE;
        }
    }
    if (tag == kWaveFormatIeeeFloat) {
        switch (container) {
        case 4: return AV_CODEC_ID_PCM_F32LE;
        case 8: return AV_CODEC_ID_PCM_F64LE;
        default: return AV_CODEC_ID_NONE;
        }
    }
    if (tag == kWaveFormatExtensible || tag == 0) return AV_CODEC_ID_NONE;
    return av_codec_get_id(RiffTags(), tag);
}

std::uint16_t FormatTagForCodec(AVCodecID id) {
    return static_cast<std::uint16_t>(av_codec_get_tag(RiffTags(), id));
}

bool IsBitRateCodec(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_ADPCM_G726:
    case AV_CODEC_ID_G723_1:
    case AV_CODEC_ID_SPEEX:
    case AV_CODEC_ID_VORBIS:
        return true;
    default:
        return false;
    }
}

bool NeedsParser(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
    case AV_CODEC_ID_DTS:
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_AAC:
        return true;
    default:
        return false;
    }
}

std::optional<WAVEFORMATEX> FormatRecordOfStream(const AVCodecParameters& par) {
    std::uint32_t tag = par.codec_tag;
    if (tag == 0 || tag > 0xFFFF) tag = FormatTagForCodec(par.codec_id);
    const int channels = par.ch_layout.nb_channels;
    if (tag == 0 || channels <= 0 || channels > 0xFFFF || par.sample_rate <= 0) return std::nullopt;
    if (par.block_align < 0 || par.block_align > 0xFFFF || par.bits_per_coded_sample < 0 ||
        par.bits_per_coded_sample > 0xFFFF || par.bit_rate < 0 || par.bit_rate / 8 > 0xFFFFFFFF)
        return std::nullopt;
    if (par.extradata_size < 0 || par.extradata_size > 0xFFFF - static_cast<int>(WAVEFORMATEX::kBaseSize))
        return std::nullopt;
    WAVEFORMATEX w;
    w.SetFormatTag(static_cast<std::uint16_t>(tag));
    w.SetChannels(static_cast<std::uint16_t>(channels));
    w.SetSamplesPerSec(static_cast<std::uint32_t>(par.sample_rate));
    w.SetAvgBytesPerSec(static_cast<std::uint32_t>(par.bit_rate / 8));
    w.SetBlockAlign(static_cast<std::uint16_t>(par.block_align));
    w.SetBitsPerSample(static_cast<std::uint16_t>(par.bits_per_coded_sample));
    if (par.extradata && par.extradata_size > 0)
        w.SetExtra(std::span<const std::uint8_t>(par.extradata, static_cast<std::size_t>(par.extradata_size)));
    return w;
}

CodecContextPtr OpenDecoder(const WAVEFORMATEX& format) {
    const AVCodecID id = CodecIdForFormat(format);
    if (id == AV_CODEC_ID_NONE) return nullptr;
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec) return nullptr;
    CodecContextPtr c(avcodec_alloc_context3(codec));
    if (!c) return nullptr;
    std::uint32_t mask = 0;
    auto extra = format.Extra();
    if (format.FormatTag() == kWaveFormatExtensible) {
        if (extra.size() >= 6) mask = LoadLE32(extra.data() + 2);
        extra = extra.size() > 22 ? extra.subspan(22) : extra.subspan(extra.size());
    }
    c->sample_rate = static_cast<int>(format.SamplesPerSec());
    SetChannels(c.get(), format.Channels(), mask);
    c->block_align = format.BlockAlign();
    c->bit_rate = static_cast<std::int64_t>(format.AvgBytesPerSec()) * 8;
    c->bits_per_coded_sample = format.BitsPerSample();
    if (!extra.empty()) {
        c->extradata = static_cast<std::uint8_t*>(av_mallocz(extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!c->extradata) return nullptr;
        std::memcpy(c->extradata, extra.data(), extra.size());
        c->extradata_size = static_cast<int>(extra.size());
    }
    if (avcodec_open2(c.get(), codec, nullptr) < 0) return nullptr;
    return c;
}

EncoderParams EncoderParamsFor(const WAVEFORMATEX& format) {
    EncoderParams p;
    p.id = CodecIdForFormat(format);
    p.sampleRate = static_cast<int>(format.SamplesPerSec());
    p.channels = format.Channels();
    if (IsBitRateCodec(p.id)) p.bitRate = static_cast<std::int64_t>(format.AvgBytesPerSec()) * 8;
    if (format.BlockAlign() > 1) p.blockAlign = format.BlockAlign();
    return p;
}

CodecContextPtr OpenEncoder(const EncoderParams& p) {
    if (p.id == AV_CODEC_ID_NONE || p.sampleRate <= 0 || p.channels <= 0 || p.channels > 8) return nullptr;
    const AVCodec* codec = avcodec_find_encoder(p.id);
    if (!codec || (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) return nullptr;
    if (codec->supported_samplerates) {
        bool ok = false;
        for (const int* r = codec->supported_samplerates; *r; ++r) ok = ok || *r == p.sampleRate;
        if (!ok) return nullptr;
    }
    CodecContextPtr c(avcodec_alloc_context3(codec));
    if (!c) return nullptr;
    c->sample_rate = p.sampleRate;
    SetChannels(c.get(), p.channels, 0);
    c->sample_fmt = PreferredSampleFormat(codec);
    if (p.bitRate > 0) c->bit_rate = p.bitRate;
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    AVDictionary* opts = nullptr;
    if (p.blockAlign > 0 && (p.id == AV_CODEC_ID_ADPCM_IMA_WAV || p.id == AV_CODEC_ID_ADPCM_MS))
        av_dict_set_int(&opts, "block_size", p.blockAlign, 0);
    const int rc = avcodec_open2(c.get(), codec, &opts);
    av_dict_free(&opts);
    if (rc < 0) return nullptr;
    return c;
}

std::optional<WAVEFORMATEX> FormatRecordOf(const AVCodecContext* encoder) {
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, "wav", nullptr) < 0 || !oc) return std::nullopt;
    std::vector<std::uint8_t> header;
    AVStream* st = avformat_new_stream(oc, nullptr);
    bool written = false;
    if (st && avcodec_parameters_from_context(st->codecpar, encoder) >= 0 && avio_open_dyn_buf(&oc->pb) >= 0) {
        oc->flags |= AVFMT_FLAG_BITEXACT;
        st->time_base = AVRational{1, encoder->sample_rate};
        AVDictionary* opts = nullptr;
        av_dict_set(&opts, "write_peak", "off", 0);
        written = avformat_write_header(oc, &opts) >= 0;
        av_dict_free(&opts);
        avio_flush(oc->pb);
        std::uint8_t* buf = nullptr;
        const int len = avio_close_dyn_buf(oc->pb, &buf);
        oc->pb = nullptr;
        if (buf && len > 0) header.assign(buf, buf + len);
        av_free(buf);
    }
    avformat_free_context(oc);
    if (!written || header.size() < 12) return std::nullopt;
    // RIFF, size, WAVE, then chunks: find "fmt ".
    std::size_t pos = 12;
    while (pos + 8 <= header.size()) {
        const std::uint32_t len = LoadLE32(header.data() + pos + 4);
        if (std::memcmp(header.data() + pos, "fmt ", 4) == 0) {
            if (pos + 8 + len > header.size()) return std::nullopt;
            WAVEFORMATEX w;
            if (!w.Parse(std::span<const std::uint8_t>(header.data() + pos + 8, len))) return std::nullopt;
            if (w.FormatTag() == kWaveFormatExtensible) return std::nullopt;
            return w;
        }
        pos += 8 + len + (len & 1);
    }
    return std::nullopt;
}

CodecContextPtr OpenEncoderFor(const WAVEFORMATEX& format) {
    const EncoderParams p = EncoderParamsFor(format);
    CodecContextPtr c = OpenEncoder(p);
    if (!c) return nullptr;
    const auto made = FormatRecordOf(c.get());
    if (!made || made->FormatTag() != format.FormatTag() || made->Channels() != format.Channels() ||
        made->SamplesPerSec() != format.SamplesPerSec())
        return nullptr;
    if (format.BlockAlign() > 1 && made->BlockAlign() != format.BlockAlign()) return nullptr;
    if (IsBitRateCodec(p.id) && made->AvgBytesPerSec() != format.AvgBytesPerSec()) return nullptr;
    return c;
}

}  // namespace sv::ffcodec
