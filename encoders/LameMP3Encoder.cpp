#include "encoders/LameMP3Encoder.h"

#include <cerrno>
#include <cstring>

#include "formats/Id3v2.h"
#include "formats/WavFile.h"

namespace sv {

TLameMP3Encoder::TLameMP3Encoder(std::shared_ptr<const LameLibrary> library) : library_(std::move(library)) {}

TLameMP3Encoder::~TLameMP3Encoder() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    Release();
}

void TLameMP3Encoder::Release() {
    if (gfp_) library_->Api().close(gfp_);
    gfp_ = nullptr;
    out_.clear();
    out_.shrink_to_fit();
}

std::string TLameMP3Encoder::Description() const {
    if (!Usable()) return {};
    lame_version_t v{};
    library_->Api().versionNumerical(&v);
    return "Lame MP3 Encoder " + std::to_string(v.major) + "." + std::to_string(v.minor);
}

bool TLameMP3Encoder::Write(const std::uint8_t* data, std::size_t n) {
    if (failed_ || n == 0) return !failed_;
    if (std::fwrite(data, 1, n, file_) != n) {
        failed_ = true;
        error_ = errno ? errno : EIO;
    }
    return !failed_;
}

std::uint32_t TLameMP3Encoder::Open(const std::uint8_t* tagRecord, const std::string& path,
                                    const TProgramSettings& settings) {
    const bool rawTag = rawTagSet_;
    rawTagSet_ = false;
    error_ = 0;
    failed_ = false;
    if (!Usable() || file_) return 0;
    const auto& api = library_->Api();
    const std::uint16_t channels = input_.Channels() == 1 ? 1 : 2;
    const LameConfigRecord record = BuildLameConfig(settings, input_.SamplesPerSec(), channels);
    plan_ = PlanFromLameConfig(record);
    monoMix_ = plan_.channels == 1 && channels == 2;

    gfp_ = api.init();
    if (!gfp_) return 0;
    api.setInSamplerate(gfp_, plan_.inSampleRate);
    api.setOutSamplerate(gfp_, plan_.outSampleRate);
    api.setNumChannels(gfp_, plan_.channels);
    api.setMode(gfp_, static_cast<MPEG_mode>(plan_.mode));
    if (plan_.quality >= 0) api.setQuality(gfp_, plan_.quality);
    api.setOriginal(gfp_, plan_.original ? 1 : 0);
    api.setCopyright(gfp_, 0);
    api.setErrorProtection(gfp_, 0);
    api.setEmphasis(gfp_, 0);
    api.setWriteVbrTag(gfp_, plan_.writeVbrTag ? 1 : 0);
    if (plan_.vbr) {
        api.setVbr(gfp_, vbr_default);
        api.setVbrQ(gfp_, plan_.vbrQuality);
        if (plan_.bitrate > 0) api.setVbrMinBitrate(gfp_, plan_.bitrate);
        if (plan_.vbrMaxBitrate > 0) api.setVbrMaxBitrate(gfp_, plan_.vbrMaxBitrate);
    } else if (plan_.lockedVbr) {
        api.setVbr(gfp_, vbr_mtrh);
        api.setVbrQ(gfp_, 4);
        api.setVbrMinBitrate(gfp_, plan_.bitrate);
        api.setVbrMaxBitrate(gfp_, plan_.bitrate);
        api.setVbrHardMin(gfp_, 1);
    } else {
        api.setVbr(gfp_, vbr_off);
        if (plan_.bitrate > 0) api.setBrate(gfp_, plan_.bitrate);
    }
    if (api.initParams(gfp_) < 0) {
        Release();
        return 0;
    }
    samplesPerChunk_ = 1152u * static_cast<std::uint32_t>(plan_.channels);
    // LAME's worst case for n samples per channel: 1.25 n + 7200 bytes.
    out_.resize(static_cast<std::size_t>(1.25 * 1152 * 64) + 7200);

    errno = 0;
    file_ = opener_(path);
    if (!file_) {
        error_ = errno ? errno : EIO;
        Release();
        return 0;
    }
    path_ = path;
    bool tagOk = true;
    if (rawTag) {
        tagOk = std::fwrite(rawTag_.data(), 1, rawTag_.size(), file_) == rawTag_.size();
    } else if (tagRecord) {
        tagOk = WriteId3v2Tag(tagRecord, file_);
    }
    streamStart_ = tagOk ? std::ftell(file_) : -1;
    if (!tagOk || streamStart_ < 0) {
        error_ = errno ? errno : EIO;
        std::fclose(file_);
        file_ = nullptr;
        std::remove(path.c_str());
        Release();
        return 0;
    }
    return samplesPerChunk_ * 2;
}

bool TLameMP3Encoder::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!file_ || !gfp_) return false;
    if (failed_) return false;
    const auto& api = library_->Api();
    if (monoMix_) {
        mix_.assign(pcm, pcm + (bytes & ~std::size_t{3}));
        bytes = MixToMono(mix_.data(), mix_.size());
        pcm = mix_.data();
    }
    const std::size_t frameBytes = static_cast<std::size_t>(plan_.channels) * 2;
    const std::size_t maxPiece = static_cast<std::size_t>(1152) * 64 * frameBytes;
    std::size_t done = 0;
    bytes -= bytes % frameBytes;
    while (done < bytes) {
        const std::size_t piece = std::min(maxPiece, bytes - done);
        const int frames = static_cast<int>(piece / frameBytes);
        const auto* samples = reinterpret_cast<const short*>(pcm + done);
        int produced;
        if (plan_.channels == 2) {
            produced = api.encodeInterleaved(gfp_, const_cast<short*>(samples), frames, out_.data(),
                                             static_cast<int>(out_.size()));
        } else {
            produced = api.encodeBuffer(gfp_, samples, samples, frames, out_.data(), static_cast<int>(out_.size()));
        }
        if (produced < 0) {
            failed_ = true;
            error_ = EIO;
            return false;
        }
        if (!Write(out_.data(), static_cast<std::size_t>(produced))) return false;
        done += piece;
    }
    return true;
}

bool TLameMP3Encoder::Close() {
    input_ = WAVEFORMATEX::CdFormat();
    if (!file_) {
        Release();
        return false;
    }
    const auto& api = library_->Api();
    if (gfp_ && !failed_) {
        const int produced = api.encodeFlush(gfp_, out_.data(), static_cast<int>(out_.size()));
        if (produced > 0) Write(out_.data(), static_cast<std::size_t>(produced));
        if (!failed_ && plan_.writeVbrTag) {
            const std::size_t n = api.getLametagFrame(gfp_, out_.data(), out_.size());
            if (n > 0 && n <= out_.size()) {
                if (std::fflush(file_) != 0 || std::fseek(file_, streamStart_, SEEK_SET) != 0) {
                    failed_ = true;
                    error_ = errno ? errno : EIO;
                } else {
                    Write(out_.data(), n);
                }
            }
        }
    }
    if (std::fflush(file_) != 0 && !failed_) {
        failed_ = true;
        error_ = errno ? errno : EIO;
    }
    if (std::fclose(file_) != 0 && !failed_) {
        failed_ = true;
        error_ = errno ? errno : EIO;
    }
    file_ = nullptr;
    Release();
    if (failed_) std::remove(path_.c_str());
    return !failed_;
}

EncodeResult TLameMP3Encoder::EncodeFile(const std::string& source, const std::string& path,
                                         const std::uint8_t* tagRecord, const TProgramSettings& settings) {
    WavSource wav;
    if (!OpenEncoderSource(wav, source)) return EncodeResult::SourceUnavailable;
    const WAVEFORMATEX format = wav.Format();
    input_ = format;
    const std::uint32_t chunk = Open(tagRecord, path, settings);
    if (chunk == 0) {
        CloseWavSource(wav);
        Close();
        return EncodeResult::Failed;
    }
    const std::size_t blockBytes = monoMix_ ? static_cast<std::size_t>(chunk) * 2 : chunk;
    return PumpWavIntoEncoder(
        wav, blockBytes, path, progress_, normalize_, gain_,
        [this](const std::uint8_t* p, std::size_t n) { return EncodeChunk(p, n); }, [this] { return Close(); });
}

}  // namespace sv
