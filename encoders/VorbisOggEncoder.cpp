#include "encoders/VorbisOggEncoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "base/TagRecord.h"
#include "base/Text.h"

namespace sv {

float TVorbisOggEncoder::QualityOf(std::int32_t setting) {
    return std::clamp(float(setting) * 0.001f, -0.1f, 1.0f);
}

std::vector<std::pair<std::string, std::string>> TVorbisOggEncoder::Comments(const std::uint8_t* tagRecord) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!tagRecord) return out;
    const TagRecordRef tag(const_cast<std::uint8_t*>(tagRecord));
    if (!tag.Present()) return out;
    const std::pair<const char*, std::string> fields[] = {
        {"COMMENT", tag.Comment()}, {"TRACKNUMBER", tag.TrackNumber()}, {"GENRE", tag.Genre()},
        {"DATE", tag.Year()},       {"TITLE", tag.Title()},             {"ARTIST", tag.Artist()},
        {"ALBUM", tag.Album()}};
    for (const auto& [key, text] : fields)
        if (!text.empty()) out.emplace_back(key, ToUtf8Lenient(text));
    return out;
}

namespace {

// vorbis_encode_init(_vbr) on a fresh info record as the settings ask.
int InitInfo(vorbis_info& info, const TProgramSettings& settings, long channels, long sampleRate) {
    if (settings.OggUseQuality())
        return vorbis_encode_init_vbr(&info, channels, sampleRate, TVorbisOggEncoder::QualityOf(settings.OggQuality()));
    auto rate = [](std::int32_t index) { return TVorbisOggEncoder::kBitrates[std::clamp(index, 0, 10)] * 1000L; };
    const long minimum = rate(settings.OggMinBitrateIndex());
    const long nominal = rate(settings.OggNomBitrateIndex());
    const long maximum = rate(settings.OggMaxBitrateIndex());
    // The library does not check the order itself and then writes a stream
    // that claims impossible rates.
    if (minimum > nominal || nominal > maximum) return OV_EINVAL;
    return vorbis_encode_init(&info, channels, sampleRate, maximum, nominal, minimum);
}

}  // namespace

bool TVorbisOggEncoder::SettingsAccepted(const TProgramSettings& settings, int channels, std::uint32_t rate) {
    vorbis_info info;
    vorbis_info_init(&info);
    const bool ok = InitInfo(info, settings, channels, long(rate)) == 0;
    vorbis_info_clear(&info);
    return ok;
}

bool TVorbisOggEncoder::Open(const std::uint8_t* tagRecord, const std::string& path,
                             const TProgramSettings& settings) {
    if (file_ || libraryOpen_) return false;
    const long channels = std::clamp<long>(input_.Channels(), 1, 2);
    stop_ = failed_ = false;
    vorbis_info_init(&info_);
    libraryOpen_ = true;
    const int r = InitInfo(info_, settings, channels, long(input_.SamplesPerSec()));
    if (r != 0) {
        vorbis_info_clear(&info_);
        libraryOpen_ = false;
        return false;
    }
    vorbis_comment_init(&comment_);
    for (const auto& [key, text] : Comments(tagRecord)) vorbis_comment_add_tag(&comment_, key.c_str(), text.c_str());
    vorbis_analysis_init(&dsp_, &info_);
    vorbis_block_init(&dsp_, &block_);
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    ogg_stream_init(&stream_, int(tick & 0x7FFFFFFF));
    ogg_packet id, comments, codebooks;
    vorbis_analysis_headerout(&dsp_, &comment_, &id, &comments, &codebooks);
    ogg_stream_packetin(&stream_, &id);
    ogg_stream_packetin(&stream_, &comments);
    ogg_stream_packetin(&stream_, &codebooks);
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        Clear();
        return false;
    }
    path_ = path;
    ogg_page page;
    while (!failed_ && ogg_stream_flush(&stream_, &page) != 0) WritePage(page);
    return !failed_;
}

bool TVorbisOggEncoder::WritePage(const ogg_page& page) {
    if (std::fwrite(page.header, 1, std::size_t(page.header_len), file_) != std::size_t(page.header_len) ||
        std::fwrite(page.body, 1, std::size_t(page.body_len), file_) != std::size_t(page.body_len)) {
        failed_ = stop_ = true;
        return false;
    }
    return true;
}

bool TVorbisOggEncoder::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!file_) return false;
    if (stop_) return !failed_;
    const int channels = info_.channels;
    const std::size_t frames = bytes / (2 * std::size_t(channels));
    float** buffer = vorbis_analysis_buffer(&dsp_, int(frames));
    for (std::size_t j = 0; j < frames; ++j)
        for (int c = 0; c < channels; ++c) {
            const std::size_t at = (j * channels + c) * 2;
            buffer[c][j] = float(std::int16_t(pcm[at] | pcm[at + 1] << 8)) / 32768.0f;
        }
    vorbis_analysis_wrote(&dsp_, int(frames));
    ogg_packet packet;
    ogg_page page;
    while (!stop_ && vorbis_analysis_blockout(&dsp_, &block_) == 1) {
        vorbis_analysis(&block_, nullptr);
        vorbis_bitrate_addblock(&block_);
        while (!stop_ && vorbis_bitrate_flushpacket(&dsp_, &packet)) {
            ogg_stream_packetin(&stream_, &packet);
            while (!stop_ && ogg_stream_pageout(&stream_, &page) != 0) {
                if (!WritePage(page)) break;
                if (ogg_page_eos(&page)) stop_ = true;
            }
        }
    }
    return !failed_;
}

void TVorbisOggEncoder::Clear() {
    if (!libraryOpen_) return;
    ogg_stream_clear(&stream_);
    vorbis_block_clear(&block_);
    vorbis_dsp_clear(&dsp_);
    vorbis_comment_clear(&comment_);
    vorbis_info_clear(&info_);
    libraryOpen_ = false;
}

bool TVorbisOggEncoder::Close() {
    if (!file_) {
        Clear();
        return false;
    }
    EncodeChunk(nullptr, 0);  // end of stream: the last pages
    Clear();
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    const bool ok = closed && !failed_;
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    input_ = WAVEFORMATEX::CdFormat();
    return ok;
}

EncodeResult TVorbisOggEncoder::EncodeFile(const std::string& source, const std::string& path,
                              const std::uint8_t* tagRecord, const TProgramSettings& settings) {
    return EncodeWavFile(
        source, path,
        [&](const WAVEFORMATEX& format) {
            input_ = format;
            return Open(tagRecord, path, settings);
        },
        [this] { Close(); },
        progress_, normalize_, gain_, [this](const std::uint8_t* p, std::size_t n) { return EncodeChunk(p, n); },
        [this] { return Close(); });
}

}  // namespace sv
