#include "encoders/AacEncoder.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "formats/Id3v2.h"

namespace sv {

namespace {

constexpr int kAdtsRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                22050, 16000, 12000, 11025, 8000,  7350};
constexpr std::size_t kAdtsHeaderBytes = 7;
constexpr std::size_t kAdtsMaxFrameBytes = (1u << 13) - 1;

}  // namespace

bool TFAACEncoder::Available(const std::string& codecName) {
    ffcodec::QuietLibraryLog();
    return avcodec_find_encoder_by_name(codecName.c_str()) != nullptr;
}

FaacConfiguration TFAACEncoder::Configuration(const TProgramSettings& settings) {
    FaacConfiguration c;
    switch (settings.FaacObjectType()) {
        case 1: c.aacObjectType = 0; break;  // Main
        case 2: c.aacObjectType = 3; break;  // Long Term Prediction
        default: c.aacObjectType = 1;        // Low Complexity
    }
    // LTP exists only in MPEG-4.
    c.mpegVersion = (settings.FaacMpeg4() != 0 || c.aacObjectType == 3) ? 0 : 1;
    c.allowMidSide = settings.FaacAllowMidSide();
    c.useLfe = 0;
    c.useTns = settings.FaacUseTns();
    const int index = std::clamp<std::int32_t>(settings.FaacBitrateIndex(), 0, std::int32_t(std::size(kBitrates)) - 1);
    c.bitRate = std::uint32_t(kBitrates[index]) * 1000u / 2u;
    c.bandWidth = 18000;
    return c;
}

std::optional<int> TFAACEncoder::SampleRateIndex(int rate) {
    const auto* at = std::find(std::begin(kAdtsRates), std::end(kAdtsRates), rate);
    if (at == std::end(kAdtsRates)) return std::nullopt;
    return int(at - std::begin(kAdtsRates));
}

std::array<std::uint8_t, 7> TFAACEncoder::AdtsHeader(const FaacConfiguration& config, int rateIndex, int channels,
                                                     std::size_t payloadBytes) {
    const unsigned length = unsigned(payloadBytes + kAdtsHeaderBytes);
    const unsigned id = config.mpegVersion == 1 ? 1u : 0u;
    const unsigned profile = unsigned(config.aacObjectType) & 3u;
    const unsigned rate = unsigned(rateIndex) & 15u;
    const unsigned chans = unsigned(channels) & 7u;
    return {std::uint8_t(0xFF),
            std::uint8_t(0xF0 | id << 3 | 1u /* no CRC */),
            std::uint8_t(profile << 6 | rate << 2 | chans >> 2),
            std::uint8_t((chans & 3u) << 6 | (length >> 11 & 3u)),
            std::uint8_t(length >> 3 & 0xFFu),
            std::uint8_t((length & 7u) << 5 | 0x1Fu),  // buffer fullness 0x7FF: variable rate
            std::uint8_t(0xFC)};
}

bool TFAACEncoder::Fail(const char* message) {
    message_ = message;
    if (dialogs_) dialogs_->ShowMessage(message_, MessageIcon::Warning);
    core_.Close();
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!path_.empty()) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        path_.clear();
    }
    return false;
}

bool TFAACEncoder::Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings) {
    if (IsOpen()) return false;
    message_.clear();
    path_.clear();
    failed_ = false;
    error_ = 0;
    config_ = Configuration(settings);
    const int channels = input_.Channels();
    const int rate = int(input_.SamplesPerSec());
    const auto rateIndex = SampleRateIndex(rate);
    if (!rateIndex || input_.BitsPerSample() != 16 || channels < 1 || channels > 2) return Fail(kSettingsMessage);
    rateIndex_ = *rateIndex;
    const FaacConfiguration& c = config_;
    const auto configure = [&c, channels, rate](AVCodecContext& ctx) {
        switch (c.aacObjectType) {
            case 0: ctx.profile = FF_PROFILE_AAC_MAIN; break;
            case 3:
                ctx.profile = FF_PROFILE_AAC_LTP;
                ctx.strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;  // FFmpeg's LTP is experimental
                break;
            default: ctx.profile = c.mpegVersion == 1 ? FF_PROFILE_MPEG2_AAC_LOW : FF_PROFILE_AAC_LOW;
        }
        ctx.bit_rate = std::int64_t(c.bitRate) * channels;
        ctx.cutoff = std::min(c.bandWidth, rate / 2);
    };
    // Mid/side allowed leaves the choice to the encoder per frame; TNS on or
    // off. Perceptual noise substitution is an MPEG-4 tool.
    FfmpegFrameEncoder::Options options = {{"aac_ms", c.allowMidSide != 0 ? "auto" : "0"},
                                           {"aac_tns", c.useTns != 0 ? "1" : "0"}};
    if (c.mpegVersion == 1) options.emplace_back("aac_pns", "0");
    if (core_.Open(codecName_, rate, channels, configure, options) != FfmpegOpen::Opened) return Fail(kSettingsMessage);

    errno = 0;
    file_ = opener_(path);
    if (!file_) {
        error_ = errno;
        return Fail(kFileMessage);
    }
    path_ = path;
    if (!WriteId3v2Tag(tagRecord, file_)) {
        error_ = errno != 0 ? errno : EIO;
        return Fail(kFileMessage);
    }
    return true;
}

bool TFAACEncoder::WriteFrame(const AVPacket& packet) {
    const std::size_t payload = std::size_t(packet.size);
    if (payload + kAdtsHeaderBytes > kAdtsMaxFrameBytes) return false;
    const auto header = AdtsHeader(config_, rateIndex_, core_.Context()->ch_layout.nb_channels, payload);
    if (std::fwrite(header.data(), 1, header.size(), file_) == header.size() &&
        std::fwrite(packet.data, 1, payload, file_) == payload)
        return true;
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    return false;
}

bool TFAACEncoder::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!IsOpen() || failed_) return false;
    if (!core_.Feed(pcm, bytes, [this](AVPacket& p) { return WriteFrame(p); })) failed_ = true;
    return !failed_;
}

bool TFAACEncoder::Close() {
    input_ = WAVEFORMATEX::CdFormat();
    if (!IsOpen()) {
        core_.Close();
        return false;
    }
    if (!failed_ && !core_.Finish([this](AVPacket& p) { return WriteFrame(p); })) failed_ = true;
    core_.Close();
    if (std::fclose(file_) != 0 && !failed_) {
        error_ = errno;
        failed_ = true;
    }
    file_ = nullptr;
    return KeepOutputUnlessFailed();
}


}  // namespace sv
