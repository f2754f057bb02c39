#include "encoders/Encoders.h"

#include <cstdio>
#include <filesystem>

#include "base/BuiltinMessages.h"
#include "base/Language.h"
#include "formats/WavFile.h"

namespace sv {

bool EnglishTextsActive() { return LangMessage(19) == kEnglishMessages[19]; }

namespace {

std::string NotBuiltIn(const char* english, const char* russian) {
    return EnglishTextsActive() ? english : russian;
}

}  // namespace

TEncoders::TEncoders(IUserDialogs* dialogs, const std::string& lameLibrary)
    : dialogs_(dialogs),
      lameLibrary_(std::make_shared<LameLibrary>(lameLibrary)),
      lame_(std::make_unique<TLameMP3Encoder>(lameLibrary_)) {
    SetDialogs(dialogs);
    if (dialogs_ && !lameLibrary_->Usable()) {
        const int message = (lameLibrary_->Status() == LameLoadStatus::LibraryMissing) ? int{98} : int{99};
        dialogs_->ShowMessage(LangMessage(message), MessageIcon::Warning);
    }
}

void TEncoders::SetRawTag(const std::uint8_t* block, std::uint32_t length) {
    rawTag_.assign(block, block + length);
    rawTagSet_ = true;
}

void TEncoders::SetDialogs(IUserDialogs* dialogs) {
    dialogs_ = dialogs;
    wma_.SetDialogs(dialogs);
    aac_.SetDialogs(dialogs);
    ape_.SetDialogs(dialogs);
    flac_.SetDialogs(dialogs);
}

void TEncoders::SetOpener(OutputFileOpener opener) {
    lame_->SetOpener(opener);
    wma_.SetOpener(opener);
    aac_.SetOpener(opener);
    ape_.SetOpener(opener);
    flac_.SetOpener(opener);
    winMp3_.SetOpener(opener);
    acm_.SetOpener(std::move(opener));
}

int TEncoders::CurrentFormat() const { return settings_ ? int{settings_->OutputFormat()} : int{kFormatWav}; }

namespace {

// Drives one encoder class through the common interface. Encoders differ
// only in what they report on failure and in what Open returns.
template <class E>
class FormatEncoderSlot final : public IFormatEncoder {
public:
    explicit FormatEncoderSlot(E& e) : e_(e) {}
    void SetInputFormat(const WAVEFORMATEX& format) override { e_.SetInputFormat(format); }
    void SetProgress(EncoderProgressFn fn) override { e_.SetProgress(std::move(fn)); }
    void SetNormalize(bool on, double gain) override { e_.SetNormalize(on, gain); }
    bool Open(const std::uint8_t* tag, const std::string& path, const TProgramSettings& settings) override {
        return static_cast<bool>(e_.Open(tag, path, settings));
    }
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) override { return e_.EncodeChunk(pcm, bytes); }
    bool Close() override { return e_.Close(); }
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tag,
                            const TProgramSettings& settings) override {
        return e_.EncodeFile(source, path, tag, settings);
    }
    std::string Message() const override {
        if constexpr (requires(const E& x) { x.LastMessage(); }) return e_.LastMessage();
        return {};
    }
    int Error() const override {
        if constexpr (requires(const E& x) { x.LastError(); }) return e_.LastError();
        return 0;
    }

private:
    E& e_;
};

template <class E>
std::unique_ptr<IFormatEncoder> Slot(E& e) {
    return std::make_unique<FormatEncoderSlot<E>>(e);
}

constexpr int kSlotWinMp3 = 8;  // after the stored format codes

}  // namespace

void TEncoders::SetAcmDrivers(std::vector<AcmDriverDetails> drivers) {
    drivers_ = TACMDrivers(std::move(drivers));
    winMp3_.ResetCodecList();
}

IFormatEncoder* TEncoders::EncoderFor(int format) {
    if (slots_.empty()) {
        slots_.resize(kSlotWinMp3 + 1);
        slots_[kFormatFlac] = Slot(flac_);
        slots_[kFormatMp3] = Slot(*lame_);
        slots_[kFormatOgg] = Slot(*ogg_);
        slots_[kFormatAcm] = Slot(acm_);
        slots_[kFormatWma] = Slot(wma_);
        slots_[kFormatAac] = Slot(aac_);
        slots_[kFormatApe] = Slot(ape_);
        slots_[kSlotWinMp3] = Slot(winMp3_);
    }
    if (format == kFormatMp3 && settings_ && !settings_->UseLameEncoder()) format = kSlotWinMp3;
    if (format < 0 || format >= static_cast<int>(slots_.size())) return nullptr;
    return slots_[static_cast<std::size_t>(format)].get();
}

EncoderAvailability TEncoders::Availability(int format) const {
    switch (format) {
        case kFormatWav:
            return {true, {}};
        case kFormatMp3:
            if (settings_ && !settings_->UseLameEncoder()) {
                if (!winMp3_.HasCodec())
                    return {false, NotBuiltIn("No MP3 codec of the codec layer is installed: choose the LAME encoder "
                                              "in the settings.",
                                              "Кодеки MP3 не установлены: выберите в настройках кодер LAME.")};
                if (!winMp3_.Format(settings_->Mp3AcmCodecIndex(), settings_->Mp3AcmFormatIndex()))
                    return {false, NotBuiltIn("The chosen MP3 codec or format is not installed: choose another in the "
                                              "settings.",
                                              "Выбранный кодек или формат MP3 не установлен: выберите другой в "
                                              "настройках.")};
                return {true, {}};
            }
            if (lameLibrary_->Status() == LameLoadStatus::LibraryMissing) return {false, LangMessage(98)};
            if (lameLibrary_->Status() == LameLoadStatus::EntryPointMissing) return {false, LangMessage(99)};
            return {true, {}};
        case kFormatWma:
            if (!TWMAEncoder::Available()) return {false, LangMessage(10)};
            return {true, {}};
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
        case kFormatFlac:
            return {true, {}};
        case kFormatAac:
            if (!TFAACEncoder::Available())
                return {false, NotBuiltIn("Encoding to AAC is impossible: the encoder is not installed.",
                                          "Кодирование в AAC невозможно т.к. кодер не установлен.")};
            return {true, {}};
        case kFormatAcm:
            if (drivers_.Count() == 0)
                return {false, NotBuiltIn("Encoding with another codec is impossible: no codec is installed.",
                                          "Кодирование другим кодеком невозможно т.к. кодеки не установлены.")};
            if (settings_ && !drivers_.Format(settings_->AcmCodecIndex(), settings_->AcmFormatIndex()))
                return {false, NotBuiltIn("The chosen codec or format is not installed: choose another in the "
                                          "settings.",
                                          "Выбранный кодек или формат не установлен: выберите другой в настройках.")};
            return {true, {}};
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
    message_.clear();
    openEncoder_ = nullptr;
    openFormat_ = CurrentFormat();
    if (!settings_) return false;
    if (const EncoderAvailability a = Availability(openFormat_); !a.available) {
        message_ = a.message;
        return false;
    }
    IFormatEncoder* encoder = EncoderFor(openFormat_);
    if (!encoder) return false;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    encoder->SetInputFormat(input_);
    if (rawTag && openFormat_ == kFormatMp3) {
        if (settings_->UseLameEncoder()) lame_->SetRawTag(rawTag_.data(), rawTag_.size());
        else winMp3_.SetRawTag(rawTag_.data(), rawTag_.size());
    }
    openEncoder_ = encoder;
    const bool ok = encoder->Open(tagRecord, path, *settings_);
    if (!ok) {
        error_ = encoder->Error();
        message_ = encoder->Message();
    }
    return ok;
}

bool TEncoders::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!open_ || !openEncoder_) return false;
    const bool ok = openEncoder_->EncodeChunk(pcm, bytes);
    if (!ok) {
        error_ = openEncoder_->Error();
        message_ = openEncoder_->Message();
    }
    return ok;
}

bool TEncoders::Close() {
    if (!open_) return false;
    input_ = WAVEFORMATEX::CdFormat();
    open_ = false;
    IFormatEncoder* encoder = openEncoder_;
    openEncoder_ = nullptr;
    if (!encoder) return false;
    const bool ok = encoder->Close();
    if (!ok && message_.empty() && error_ == 0) {
        error_ = encoder->Error();
        message_ = encoder->Message();
    }
    return ok;
}

EncodeResult TEncoders::EncodeFile(const std::string& source, const std::string& path,
                                   const std::uint8_t* tagRecord) {
    error_ = 0;
    message_.clear();
    if (!settings_) return EncodeResult::Failed;
    const int format = CurrentFormat();
    const double gain = NormalizationGain(peak_, *settings_);
    {
        WavSource probe;
        if (OpenWavSource(probe, source, true) != kWavAccepted) {
            if (dialogs_) dialogs_->ShowMessage(LangMessage(97), MessageIcon::Warning);
            return EncodeResult::SourceUnavailable;
        }
        input_ = probe.Format();
        CloseWavSource(probe);
    }
    IFormatEncoder* encoder = EncoderFor(format);
    if (const EncoderAvailability a = Availability(format); !a.available || !encoder) {
        message_ = a.message;
        input_ = WAVEFORMATEX::CdFormat();
        return EncodeResult::Failed;
    }
    encoder->SetProgress(progress_);
    encoder->SetNormalize(settings_->Normalize(), gain);
    encoder->SetInputFormat(input_);
    const EncodeResult result = encoder->EncodeFile(source, path, tagRecord, *settings_);
    if (result == EncodeResult::SourceUnavailable && dialogs_)
        dialogs_->ShowMessage(LangMessage(97), MessageIcon::Warning);
    if (result == EncodeResult::Failed) {
        error_ = encoder->Error();
        message_ = encoder->Message();
    }
    input_ = WAVEFORMATEX::CdFormat();
    return result;
}

std::vector<std::string> TEncoders::CodecList() const {
    std::vector<std::string> out{lame_->Description()};
    for (auto& name : winMp3_.CodecNames()) out.push_back(std::move(name));
    return out;
}

std::vector<std::string> TEncoders::FormatList(int codec) const { return winMp3_.FormatList(codec); }

int TEncoders::LastError() const { return error_; }

std::string TEncoders::FailureText() const {
    if (!message_.empty()) return message_;
    return error_ ? ErrorText(error_) : std::string{};
}

}  // namespace sv
