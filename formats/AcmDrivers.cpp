// The codec list of the conversion layer: every FFmpeg encoder with a WAV
// format tag and the formats it can make from CD audio.
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "formats/Acm.h"
#include "formats/FfmpegCodec.h"

namespace sv {
namespace {

// The largest format record a WAV source can hold; formats beyond it could
// not be read back.
constexpr std::size_t kMaxFormatRecord = 100;

constexpr int kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

std::vector<int> BitRatesKbps(AVCodecID id, int rate, int channels) {
    switch (id) {
    case AV_CODEC_ID_MP3:
        if (rate >= 32000) return {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
        return {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    case AV_CODEC_ID_MP2:
        if (rate >= 32000) return {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
        return {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    case AV_CODEC_ID_AC3:
        return {96, 128, 160, 192, 224, 256, 320, 384, 448, 640};
    case AV_CODEC_ID_ADPCM_G726:
        return {16, 24, 32, 40};
    case AV_CODEC_ID_G723_1:
        return {};  // 6.3 kbit/s, given below
    default:
        return channels == 1 ? std::vector<int>{32, 48, 64, 96, 128} : std::vector<int>{64, 96, 128, 160, 192, 256, 320};
    }
}

// Block size of the ADPCM codecs: 256 bytes per channel up to 16 kHz,
// doubling with the rate, as the common WAV writers choose them.
int AdpcmBlock(int rate, int channels) {
    const int factor = rate >= 44100 ? 4 : rate >= 22050 ? 2 : 1;
    return 256 * channels * factor;
}

bool RoundTrips(const WAVEFORMATEX& format) {
    // 0.2 s of a 440 Hz tone in CD format through the codec and back.
    const WAVEFORMATEX cd = WAVEFORMATEX::CdFormat();
    std::vector<std::uint8_t> pcm(8820 * 4);
    for (std::size_t i = 0; i < 8820; ++i) {
        const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / 44100));
        for (int c = 0; c < 2; ++c) {
            pcm[4 * i + 2 * c] = static_cast<std::uint8_t>(v & 0xFF);
            pcm[4 * i + 2 * c + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        }
    }
    // Source bytes go in small pieces, as a file reader would give them, so
    // a codec whose packets cannot be found again in its byte stream fails.
    auto run = [](const WAVEFORMATEX& from, const WAVEFORMATEX& to, std::vector<std::uint8_t>& in) {
        std::vector<std::uint8_t> out;
        HACMSTREAM s = nullptr;
        if (acmStreamOpen(&s, from, to, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) return out;
        AcmStreamPtr guard(s);
        std::vector<std::uint8_t> buf(1 << 16);
        ACMSTREAMHEADER h;
        h.pbDst = buf.data();
        h.cbDstLength = static_cast<std::uint32_t>(buf.size());
        acmStreamPrepareHeader(s, &h, 0);
        constexpr std::size_t kPiece = 997;
        std::size_t pos = 0;
        std::uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START;
        for (int rounds = 0; rounds < 100000; ++rounds) {
            const std::size_t left = in.size() - pos;
            // Pieces hold at least one whole block of the source.
            const std::size_t n = std::min(left, std::max<std::size_t>(kPiece, from.BlockAlign()));
            h.pbSrc = in.data() + pos;
            h.cbSrcLength = static_cast<std::uint32_t>(n);
            if (n == left) flags |= ACM_STREAMCONVERTF_END;
            if (acmStreamConvert(s, &h, flags) != MMSYSERR_NOERROR) return std::vector<std::uint8_t>{};
            out.insert(out.end(), buf.begin(), buf.begin() + h.cbDstLengthUsed);
            pos += h.cbSrcLengthUsed;
            flags &= ~ACM_STREAMCONVERTF_START;
            if (h.cbDstLengthUsed == 0 && (h.cbSrcLengthUsed == 0 || pos == in.size()) && (flags & ACM_STREAMCONVERTF_END))
                break;
            if (h.cbSrcLengthUsed == 0 && !(flags & ACM_STREAMCONVERTF_END)) break;
        }
        acmStreamUnprepareHeader(s, &h, 0);
        return out;
    };
    std::vector<std::uint8_t> coded = run(cd, format, pcm);
    if (coded.empty()) return false;
    std::vector<std::uint8_t> back = run(format, cd, coded);
    // Nearly all of the signal must come back (codec delay aside).
    return back.size() >= pcm.size() * 9 / 10;
}

void AddFormat(AcmDriverDetails& driver, const WAVEFORMATEX& format, bool byBitRate) {
    if (format.Size() > kMaxFormatRecord) return;
    for (const auto& f : driver.formats)
        if (f.format == format) return;
    if (acmStreamOpen(nullptr, WAVEFORMATEX::CdFormat(), format, ACM_STREAMOPENF_QUERY) != MMSYSERR_NOERROR) return;
    AcmFormatDetails d;
    d.formatIndex = static_cast<std::uint32_t>(driver.formats.size());
    d.formatTag = format.FormatTag();
    d.support = driver.support;
    d.description = format.Description(byBitRate);
    d.format = format;
    driver.formats.push_back(std::move(d));
}

AcmDriverDetails PcmDriver(bool isFloat) {
    AcmDriverDetails d;
    d.shortName = isFloat ? "pcm_f32le" : "pcm";
    d.longName = isFloat ? "IEEE float" : "PCM";
    d.formatTag = isFloat ? kWaveFormatIeeeFloat : kWaveFormatPcm;
    d.support = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
    for (int rate : kRates)
        for (std::uint16_t ch : {1, 2})
            for (std::uint16_t bits : isFloat ? std::vector<std::uint16_t>{32} : std::vector<std::uint16_t>{8, 16, 24})
                AddFormat(d, WAVEFORMATEX::Pcm(static_cast<std::uint32_t>(rate), ch, bits, isFloat), false);
    return d;
}

AcmDriverDetails CodecDriver(const AVCodec* codec, std::uint16_t tag) {
    AcmDriverDetails d;
    d.shortName = codec->name;
    d.longName = codec->long_name ? codec->long_name : codec->name;
    d.formatTag = tag;
    d.support = ACMDRIVERDETAILS_SUPPORTF_CODEC;
    const AVCodecID id = codec->id;
    const bool byBitRate = ffcodec::IsBitRateCodec(id) && id != AV_CODEC_ID_ADPCM_G726;
    bool checked = false;
    for (int rate : kRates) {
        for (int ch : {1, 2}) {
            std::vector<std::int64_t> rates;
            if (id == AV_CODEC_ID_G723_1) rates = {6300};
            else if (ffcodec::IsBitRateCodec(id))
                for (int k : BitRatesKbps(id, rate, ch)) rates.push_back(std::int64_t{k} * 1000);
            else rates = {0};
            for (std::int64_t br : rates) {
                ffcodec::EncoderParams p;
                p.id = id;
                p.sampleRate = rate;
                p.channels = ch;
                p.bitRate = br;
                if (id == AV_CODEC_ID_ADPCM_IMA_WAV || id == AV_CODEC_ID_ADPCM_MS) p.blockAlign = AdpcmBlock(rate, ch);
                auto enc = ffcodec::OpenEncoder(p);
                if (!enc) continue;
                auto record = ffcodec::FormatRecordOf(enc.get());
                if (!record || record->FormatTag() != tag) continue;
                if (!checked) {
                    // One round trip per codec shows that its output can be
                    // decoded again from the bytes alone.
                    if (record->Size() > kMaxFormatRecord || !RoundTrips(*record)) return d;
                    checked = true;
                }
                AddFormat(d, *record, byBitRate);
            }
        }
    }
    return d;
}

}  // namespace

std::vector<AcmDriverDetails> EnumerateAcmDriversUncached() {
    ffcodec::QuietLibraryLog();
    std::vector<AcmDriverDetails> drivers;
    drivers.push_back(PcmDriver(false));
    drivers.push_back(PcmDriver(true));
    // One codec per WAV format tag: the default encoder of the codec the tag
    // names, in FFmpeg's order.
    std::map<std::uint16_t, bool> seen{{kWaveFormatPcm, true}, {kWaveFormatIeeeFloat, true},
                                       {kWaveFormatExtensible, true}};
    void* it = nullptr;
    while (const AVCodec* c = av_codec_iterate(&it)) {
        if (!av_codec_is_encoder(c) || c->type != AVMEDIA_TYPE_AUDIO) continue;
        const std::uint16_t tag = ffcodec::FormatTagForCodec(c->id);
        if (tag == 0 || seen.count(tag)) continue;
        seen[tag] = true;
        WAVEFORMATEX probe;
        probe.SetFormatTag(tag);
        if (ffcodec::CodecIdForFormat(probe) != c->id) continue;
        const AVCodec* enc = avcodec_find_encoder(c->id);
        if (!enc || (enc->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) continue;
        AcmDriverDetails d = CodecDriver(enc, tag);
        if (!d.formats.empty()) drivers.push_back(std::move(d));
    }
    std::erase_if(drivers, [](const AcmDriverDetails& d) { return d.formats.empty(); });
    return drivers;
}

const std::vector<AcmDriverDetails>& EnumerateAcmDrivers() {
    static std::once_flag once;
    static std::vector<AcmDriverDetails> drivers;
    std::call_once(once, [] { drivers = EnumerateAcmDriversUncached(); });
    return drivers;
}

}  // namespace sv
