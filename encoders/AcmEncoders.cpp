#include "encoders/AcmEncoders.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "encoders/Encoders.h"
#include "formats/Id3v2.h"
#include "formats/WavFile.h"

namespace sv {

namespace {

std::string Text(const char* english, const char* russian) { return EnglishTextsActive() ? english : russian; }

}  // namespace

// ---- TACMDrivers ----

TACMDrivers::TACMDrivers(std::vector<AcmDriverDetails> drivers) : drivers_(std::move(drivers)) {
    std::erase_if(*drivers_, [](const AcmDriverDetails& d) { return d.formats.empty(); });
}

const std::vector<AcmDriverDetails>& TACMDrivers::Drivers() const {
    if (!drivers_) drivers_ = EnumerateAcmDrivers();
    return *drivers_;
}

std::string TACMDrivers::CodecName(int codec) const {
    return codec >= 0 && codec < Count() ? Drivers()[static_cast<std::size_t>(codec)].longName : std::string{};
}

std::vector<std::string> TACMDrivers::FormatDescriptions(int codec) const {
    std::vector<std::string> out;
    if (codec >= 0 && codec < Count())
        for (const auto& f : Drivers()[static_cast<std::size_t>(codec)].formats) out.push_back(f.description);
    return out;
}

const AcmFormatDetails* TACMDrivers::Format(int codec, int format) const {
    if (codec < 0 || codec >= Count()) return nullptr;
    const auto& formats = Drivers()[static_cast<std::size_t>(codec)].formats;
    if (format < 0 || format >= static_cast<int>(formats.size())) return nullptr;
    return &formats[static_cast<std::size_t>(format)];
}

// ---- AcmEncodeStream ----

bool AcmEncodeStream::Open(const WAVEFORMATEX& input, const WAVEFORMATEX& output) {
    Close();
    if (acmStreamOpen(&stream_, input, output, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) {
        stream_ = nullptr;
        return false;
    }
    frameBytes_ = input.BlockAlign() ? input.BlockAlign() : 4;
    srcBlock_ = kSourceBlock - kSourceBlock % frameBytes_;
    std::uint32_t dstBlock = 0;
    if (acmStreamSize(stream_, srcBlock_, &dstBlock, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR || dstBlock == 0) {
        Close();
        return false;
    }
    if (dstBlock < srcBlock_) {
        // The source block that fills the destination block.
        std::uint32_t fits = 0;
        if (acmStreamSize(stream_, dstBlock, &fits, ACM_STREAMSIZEF_DESTINATION) == MMSYSERR_NOERROR && fits > 0)
            srcBlock_ = std::min(srcBlock_, fits - fits % frameBytes_);
        if (srcBlock_ == 0) srcBlock_ = frameBytes_;
    }
    src_.assign(srcBlock_, 0);
    dst_.assign(dstBlock, 0);
    header_ = ACMSTREAMHEADER{};
    header_.pbSrc = src_.data();
    header_.cbSrcLength = srcBlock_;
    header_.pbDst = dst_.data();
    header_.cbDstLength = dstBlock;
    if (acmStreamPrepareHeader(stream_, &header_, 0) != MMSYSERR_NOERROR) {
        Close();
        return false;
    }
    started_ = false;
    return true;
}

bool AcmEncodeStream::Convert(const std::uint8_t* src, std::uint32_t n, std::uint32_t flags, const WriteFn& write) {
    // Converted bytes that do not fit the destination stay in the stream:
    // the same source is offered until it is taken, then the rest drained.
    std::uint32_t offset = 0;
    for (int guard = 0; guard < 1 << 20; ++guard) {
        header_.cbSrcLength = n - offset;
        if (header_.cbSrcLength > 0) std::memmove(src_.data(), src + offset, header_.cbSrcLength);
        lastFlags_ = flags;
        if (acmStreamConvert(stream_, &header_, flags) != MMSYSERR_NOERROR) return false;
        if (header_.cbDstLengthUsed > 0 && !write(dst_.data(), header_.cbDstLengthUsed)) return false;
        offset += header_.cbSrcLengthUsed;
        const bool sourceDone = offset >= n;
        if (sourceDone && header_.cbDstLengthUsed == 0) return true;
        if (sourceDone && !(flags & ACM_STREAMCONVERTF_END) && header_.cbDstLengthUsed < header_.cbDstLength)
            return true;
        if (!sourceDone && header_.cbSrcLengthUsed == 0 && header_.cbDstLengthUsed == 0) {
            // Less than one source frame is left: the stream cannot take it.
            return true;
        }
    }
    return false;
}

bool AcmEncodeStream::Feed(const std::uint8_t* pcm, std::size_t bytes, const WriteFn& write) {
    if (!stream_) return false;
    std::uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN;
    if (!started_) flags |= ACM_STREAMCONVERTF_START;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes;) {
        const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(srcBlock_, bytes - done));
        ok = Convert(pcm + done, piece, flags, write);
        done += piece;
    }
    started_ = true;
    return ok;
}

bool AcmEncodeStream::Finish(const WriteFn& write) {
    if (!stream_) return false;
    return Convert(nullptr, 0, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_END, write);
}

void AcmEncodeStream::Close() {
    if (!stream_) return;
    if (header_.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) acmStreamUnprepareHeader(stream_, &header_, 0);
    acmStreamClose(stream_, 0);
    stream_ = nullptr;
    src_.clear();
    dst_.clear();
}

// ---- AcmFileEncoder ----

AcmFileEncoder::~AcmFileEncoder() {
    if (file_) {
        std::fclose(file_);
        std::remove(path_.c_str());
    }
}

bool AcmFileEncoder::Write(const std::uint8_t* data, std::size_t n) {
    if (failed_ || !file_) return false;
    if (n > 0 && std::fwrite(data, 1, n, file_) != n) {
        error_ = errno ? errno : EIO;
        return Fail(Text("The output file could not be written: ", "Не удалось записать выходной файл: ") +
                    ErrorText(error_));
    }
    encodedBytes_ += n;
    return true;
}

bool AcmFileEncoder::Fail(std::string message) {
    failed_ = true;
    if (message_.empty()) message_ = std::move(message);
    return false;
}

bool AcmFileEncoder::CreateFile(const std::string& path) {
    errno = 0;
    file_ = opener_(path);
    if (!file_) {
        error_ = errno ? errno : EIO;
        return Fail(Text("The output file could not be created: ", "Не удалось создать выходной файл: ") +
                    ErrorText(error_));
    }
    path_ = path;
    return true;
}

bool AcmFileEncoder::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!file_ || failed_ || !stream_.IsOpen()) return false;
    inputBytes_ += bytes;
    const bool ok =
        stream_.Feed(pcm, bytes, [this](const std::uint8_t* d, std::size_t n) { return Write(d, n); });
    if (!ok && !failed_) Fail(Text("The codec failed to encode the audio.", "Кодек не смог закодировать звук."));
    return ok;
}

bool AcmFileEncoder::Finish(const std::function<bool(std::FILE*)>& closeFile) {
    input_ = WAVEFORMATEX::CdFormat();
    if (!file_) {
        stream_.Close();
        return false;
    }
    // The codec's last partial frame is encoded, not dropped.
    if (!failed_ && !stream_.Finish([this](const std::uint8_t* d, std::size_t n) { return Write(d, n); }) && !failed_)
        Fail(Text("The codec failed to encode the audio.", "Кодек не смог закодировать звук."));
    stream_.Close();
    errno = 0;
    const bool closed = closeFile(file_);
    file_ = nullptr;
    if (!closed && !failed_) {
        error_ = errno ? errno : EIO;
        Fail(Text("The output file could not be written: ", "Не удалось записать выходной файл: ") +
             ErrorText(error_));
    }
    if (failed_) std::remove(path_.c_str());
    return !failed_;
}

EncodeResult AcmFileEncoder::PumpFile(WavSource& wav, const std::string& path, const std::function<bool()>& open) {
    if (!open()) {
        CloseWavSource(wav);
        return EncodeResult::Failed;
    }
    const std::size_t block = stream_.SourceBlock();
    return PumpWavIntoEncoder(
        wav, block, path, progress_, normalize_, gain_,
        [this](const std::uint8_t* p, std::size_t n) { return EncodeChunk(p, n); },
        [this] { return Finish([](std::FILE* f) { return std::fclose(f) == 0; }); });
}

// ---- TWinMP3Encoder ----

TWinMP3Encoder::TWinMP3Encoder(const TACMDrivers& drivers) : drivers_(drivers) {}

const std::vector<std::pair<int, int>>& TWinMP3Encoder::Codecs() const {
    if (codecs_) return *codecs_;
    codecs_.emplace();
    for (int i = 0; i < drivers_.Count() && codecs_->size() < kMaxCodecs; ++i) {
        const auto& d = drivers_.Drivers()[static_cast<std::size_t>(i)];
        if (!d.formats.empty() && d.formats.front().formatTag == kMpegLayer3Tag)
            codecs_->emplace_back(i, static_cast<int>(d.formats.size()));
    }
    return *codecs_;
}

std::vector<std::string> TWinMP3Encoder::CodecNames() const {
    std::vector<std::string> out;
    for (const auto& [driver, count] : Codecs()) out.push_back(drivers_.CodecName(driver));
    return out;
}

std::vector<std::string> TWinMP3Encoder::FormatList(int codec) const {
    if (codec < 0 || codec >= CodecCount()) return {};
    return drivers_.FormatDescriptions(Codecs()[static_cast<std::size_t>(codec)].first);
}

const AcmFormatDetails* TWinMP3Encoder::Format(int codec, int format) const {
    if (codec < 0 || codec >= CodecCount()) return nullptr;
    return drivers_.Format(Codecs()[static_cast<std::size_t>(codec)].first, format);
}

std::uint32_t TWinMP3Encoder::Open(const std::uint8_t* tagRecord, const std::string& path, int formatIndex,
                                   int codecIndex) {
    const bool rawTag = rawTagSet_;
    rawTagSet_ = false;
    message_.clear();
    failed_ = false;
    error_ = 0;
    inputBytes_ = encodedBytes_ = 0;
    if (file_) return 0;
    const AcmFormatDetails* format = Format(codecIndex, formatIndex);
    if (!format) {
        Fail(Text("The chosen MP3 codec or format is not installed: choose another in the settings.",
                  "Выбранный кодек или формат MP3 не установлен: выберите другой в настройках."));
        return 0;
    }
    if (!stream_.Open(input_, format->format)) {
        Fail(Text("The MP3 codec cannot encode this audio in the chosen format.",
                  "Кодек MP3 не может закодировать этот звук в выбранном формате."));
        return 0;
    }
    if (!CreateFile(path)) {
        stream_.Close();
        return 0;
    }
    const bool tagOk = rawTag ? Write(rawTag_.data(), rawTag_.size()) : WriteId3v2Tag(tagRecord, file_);
    encodedBytes_ = 0;
    if (!tagOk) {
        error_ = errno ? errno : EIO;
        Fail(Text("The output file could not be written: ", "Не удалось записать выходной файл: ") +
             ErrorText(error_));
        Finish([](std::FILE* f) { return std::fclose(f) == 0; });
        return 0;
    }
    return stream_.SourceBlock();
}

bool TWinMP3Encoder::Close() {
    return Finish([](std::FILE* f) { return std::fclose(f) == 0; });
}

EncodeResult TWinMP3Encoder::EncodeFile(const std::string& source, const std::string& path,
                                        const std::uint8_t* tagRecord, const TProgramSettings& settings) {
    WavSource wav;
    if (!OpenEncoderSource(wav, source)) return EncodeResult::SourceUnavailable;
    input_ = wav.Format();
    return PumpFile(wav, path, [&] { return Open(tagRecord, path, settings); });
}

// ---- TACMEncoder ----

bool TACMEncoder::Open(int codecIndex, int formatIndex, const std::string& path, bool wavHeader,
                       const std::uint8_t* tagRecord) {
    message_.clear();
    failed_ = false;
    error_ = 0;
    inputBytes_ = encodedBytes_ = 0;
    if (file_) return false;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    const AcmFormatDetails* format = drivers_.Format(codecIndex, formatIndex);
    if (!format)
        return Fail(Text("The chosen codec or format is not installed: choose another in the settings.",
                         "Выбранный кодек или формат не установлен: выберите другой в настройках."));
    format_ = format->format;
    wavHeader_ = wavHeader;
    if (!stream_.Open(input_, format_))
        return Fail(Text("The codec cannot encode this audio in the chosen format.",
                         "Кодек не может закодировать этот звук в выбранном формате."));
    if (!CreateFile(path)) {
        stream_.Close();
        return false;
    }
    if (wavHeader_ ? !WriteWavHeader(file_, format_) : !WriteId3v2Tag(tagRecord, file_)) {
        error_ = errno ? errno : EIO;
        Fail(Text("The output file could not be written: ", "Не удалось записать выходной файл: ") +
             ErrorText(error_));
        Finish([](std::FILE* f) { return std::fclose(f) == 0; });
        return false;
    }
    return true;
}

bool TACMEncoder::Close() {
    return Finish([this](std::FILE* f) {
        if (wavHeader_) return CloseWav(f, encodedBytes_, format_);
        return std::fclose(f) == 0;
    });
}

EncodeResult TACMEncoder::EncodeFile(const std::string& source, const std::string& path,
                                     const std::uint8_t* tagRecord, const TProgramSettings& settings) {
    WavSource wav;
    if (!OpenEncoderSource(wav, source)) return EncodeResult::SourceUnavailable;
    input_ = wav.Format();
    return PumpFile(wav, path, [&] { return Open(tagRecord, path, settings); });
}

}  // namespace sv
