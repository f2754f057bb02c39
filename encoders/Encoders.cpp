#include "encoders/Encoders.h"

#include <cstdio>
#include <filesystem>

#include "base/BuiltinMessages.h"
#include "base/Language.h"
#include "formats/WavFile.h"

namespace sv {

namespace {

std::string NotBuiltIn(const char* english, const char* russian) {
    return EnglishTextsActive() ? english : russian;
}

}  // namespace

bool EnglishTextsActive() { return LangMessage(19) == kEnglishMessages[19]; }

TEncoders::TEncoders(IUserDialogs* dialogs, const std::string& lameLibrary)
    : dialogs_(dialogs),
      lameLibrary_(std::make_shared<LameLibrary>(lameLibrary)),
      lame_(std::make_unique<TLameMP3Encoder>(lameLibrary_)) {
    if (dialogs_ && !lameLibrary_->Usable()) {
        const int message = (lameLibrary_->Status() == LameLoadStatus::LibraryMissing) ? int{98} : int{99};
        dialogs_->ShowMessage(LangMessage(message), MessageIcon::Warning);
    }
}

void TEncoders::SetRawTag(const std::uint8_t* block, std::uint32_t length) {
    rawTag_.assign(block, block + length);
    rawTagSet_ = true;
}

void TEncoders::SetOpener(OutputFileOpener opener) { lame_->SetOpener(std::move(opener)); }

int TEncoders::CurrentFormat() const { return settings_ ? int{settings_->OutputFormat()} : int{kFormatWav}; }

EncoderAvailability TEncoders::Availability(int format) const {
    switch (format) {
        case kFormatWav:
            return {true, {}};
        case kFormatMp3:
            if (settings_ && !settings_->UseLameEncoder())
                return {false, NotBuiltIn("MP3 encoding through the system codecs is not available in this version: "
                                          "choose the LAME encoder in the settings.",
                                          "Кодирование в MP3 системными кодеками в этой версии недоступно: "
                                          "выберите в настройках кодер LAME.")};
            if (lameLibrary_->Status() == LameLoadStatus::LibraryMissing) return {false, LangMessage(98)};
            if (lameLibrary_->Status() == LameLoadStatus::EntryPointMissing) return {false, LangMessage(99)};
            return {true, {}};
        case kFormatWma:
            return {false, LangMessage(10)};
        case kFormatOgg:
            if (settings_ && !TVorbisOggEncoder::SettingsAccepted(*settings_))
                return {false, NotBuiltIn("The Ogg Vorbis encoder refuses these settings (bit rates below 48 kbit/s, "
                                          "or a minimum above the nominal or a nominal above the maximum bit rate): "
                                          "change them in the settings.",
                                          "Кодер Ogg Vorbis не принимает эти настройки (битрейт ниже 48 кбит/с, "
                                          "минимальный выше номинального или номинальный выше максимального): "
                                          "измените их в настройках.")};
            return {true, {}};
        case kFormatApe:
            return {false, NotBuiltIn("Encoding to APE is impossible: the encoder is not installed.",
                                      "Кодирование в APE невозможно т.к. кодер не установлен.")};
        case kFormatAac:
            return {false, NotBuiltIn("Encoding to AAC is impossible: the encoder is not installed.",
                                      "Кодирование в AAC невозможно т.к. кодер не установлен.")};
        case kFormatAcm:
            return {false, NotBuiltIn("Encoding with another codec is impossible: the codec is not installed.",
                                      "Кодирование другим кодеком невозможно т.к. кодек не установлен.")};
        default:
            return {false, NotBuiltIn("Unknown output format.", "Неизвестный формат вывода.")};
    }
}

bool TEncoders::Open(const std::uint8_t* tagRecord, const std::string& path) {
    if (open_) return false;
    const bool rawTag = rawTagSet_;
    rawTagSet_ = false;
    open_ = true;
    path_ = path;
    tag_ = tagRecord;
    error_ = 0;
    openFormat_ = CurrentFormat();
    if (!settings_ || !Availability(openFormat_).available) return false;
    if (openFormat_ != kFormatMp3 && openFormat_ != kFormatOgg) return false;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (openFormat_ == kFormatOgg) {
        ogg_->SetInputFormat(input_);
        return ogg_->Open(tagRecord, path, *settings_);
    }
    lame_->SetInputFormat(input_);
    if (rawTag) lame_->SetRawTag(rawTag_.data(), rawTag_.size());
    const bool ok = lame_->Open(tagRecord, path, *settings_) != 0;
    if (!ok) error_ = lame_->LastError();
    return ok;
}

bool TEncoders::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!open_) return false;
    if (openFormat_ == kFormatOgg) return ogg_->EncodeChunk(pcm, bytes);
    if (openFormat_ != kFormatMp3) return false;
    const bool ok = lame_->EncodeChunk(pcm, bytes);
    if (!ok) error_ = lame_->LastError();
    return ok;
}

bool TEncoders::Close() {
    if (!open_) return false;
    input_ = WAVEFORMATEX::CdFormat();
    open_ = false;
    if (openFormat_ == kFormatOgg) return ogg_->Close();
    if (openFormat_ != kFormatMp3) return false;
    if (!lame_->IsOpen()) return false;
    const bool ok = lame_->Close();
    if (!ok) error_ = lame_->LastError();
    return ok;
}

EncodeResult TEncoders::EncodeFile(const std::string& source, const std::string& path,
                                   const std::uint8_t* tagRecord) {
    error_ = 0;
    if (!settings_) return EncodeResult::Failed;
    const int format = CurrentFormat();
    const double gain = NormalizationGain(peak_, *settings_);
    lame_->SetProgress(progress_);
    lame_->SetNormalize(settings_->Normalize(), gain);
    {
        WavSource probe;
        if (OpenWavSource(probe, source, true) != kWavAccepted) {
            if (dialogs_) dialogs_->ShowMessage(LangMessage(97), MessageIcon::Warning);
            return EncodeResult::SourceUnavailable;
        }
        input_ = probe.Format();
        CloseWavSource(probe);
    }
    if ((format != kFormatMp3 && format != kFormatOgg) || !Availability(format).available) {
        input_ = WAVEFORMATEX::CdFormat();
        return EncodeResult::Failed;
    }
    ogg_->SetProgress(progress_);
    ogg_->SetNormalize(settings_->Normalize(), gain);
    const EncodeResult result = format == kFormatOgg ? ogg_->EncodeFile(source, path, tagRecord, *settings_)
                                                     : lame_->EncodeFile(source, path, tagRecord, *settings_);
    if (result == EncodeResult::SourceUnavailable && dialogs_)
        dialogs_->ShowMessage(LangMessage(97), MessageIcon::Warning);
    if (result == EncodeResult::Failed && format == kFormatMp3) error_ = lame_->LastError();
    input_ = WAVEFORMATEX::CdFormat();
    return result;
}

std::vector<std::string> TEncoders::CodecList() const { return {lame_->Description()}; }

int TEncoders::LastError() const { return error_; }

}  // namespace sv
