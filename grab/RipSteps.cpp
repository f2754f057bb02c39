#include "grab/RipSteps.h"

#include <cerrno>
#include <filesystem>

#include "base/Language.h"
#include "base/Msf.h"
#include "formats/WavFile.h"

namespace sv {

void RemoveRipFile(const std::string& path) {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

std::string OutputFailureMessage(bool create, const std::string& path, const std::string& reason) {
    if (EnglishTextsActive())
        return std::string(create ? "Cannot create the file \"" : "Cannot write the file \"") + path + "\": " + reason +
               ". The grab has been stopped.";
    return std::string(create ? "Не удалось создать файл \"" : "Не удалось записать файл \"") + path + "\": " +
           reason + ". Копирование остановлено.";
}

std::string EncoderRefusedReason() {
    return EnglishTextsActive() ? "the encoder refused its settings" : "кодер не принял настройки";
}

bool RipOutput::Fail(int error) {
    reason_ = ErrorText(error ? error : EIO);
    Abandon();
    return false;
}

bool RipOutput::Open(const std::string& path, const std::uint8_t* tag) {
    Abandon();
    path_ = path;
    reason_.clear();
    if (encode_) {
        open_ = true;
        if (!encoders_.Open(tag, path)) {
            const std::string why = encoders_.FailureText();
            encoders_.Close();
            open_ = false;
            reason_ = why.empty() ? EncoderRefusedReason() : why;
            return false;
        }
        return true;
    }
    errno = 0;
    wav_ = CreateWav(path, WAVEFORMATEX::CdFormat());
    if (!wav_) {
        reason_ = ErrorText(errno ? errno : EIO);
        return false;
    }
    std::setvbuf(wav_, nullptr, _IOFBF, 1 << 16);
    open_ = true;
    return true;
}

bool RipOutput::Write(const std::uint8_t* data, std::size_t bytes) {
    if (!open_) return false;
    if (encode_) {
        if (encoders_.EncodeChunk(data, bytes)) return true;
        const std::string why = encoders_.FailureText();
        Fail(encoders_.LastError());
        if (!why.empty()) reason_ = why;
        return false;
    }
    errno = 0;
    if (std::fwrite(data, 1, bytes, wav_) == bytes) return true;
    return Fail(errno);
}

bool RipOutput::Finish(std::uint64_t dataBytes) {
    if (!open_) return false;
    open_ = false;
    if (encode_) {
        if (encoders_.Close()) return true;
        reason_ = encoders_.FailureText();
        if (reason_.empty()) reason_ = ErrorText(EIO);
        return false;
    }
    std::FILE* file = wav_;
    wav_ = nullptr;
    errno = 0;
    if (CloseWav(file, dataBytes, WAVEFORMATEX::CdFormat())) return true;
    reason_ = ErrorText(errno ? errno : EIO);
    return false;
}

void RipOutput::Abandon() {
    if (!open_) return;
    open_ = false;
    if (encode_) {
        encoders_.Close();
    } else if (wav_) {
        CloseWav(wav_, 0, WAVEFORMATEX::CdFormat());
        wav_ = nullptr;
    }
}

AudioReader MakeRipReader(RipContext& c) {
    AudioReader reader(c.cdrom, ExtractionSettings::From(c.settings));
    reader.SetReadOffset(c.readOffset, c.disc.Track(c.disc.TrackCount()).StartLba());
    return reader;
}

RangeEnd ReadRange(RipContext& c, AudioReader& reader, const RipRange& range, RipOutput& output, std::int16_t* peak,
                   const std::function<void(int percent)>& showPercent,
                   const std::function<void(const std::uint8_t* pcm, std::size_t bytes)>& audio) {
    const int n = reader.BlockSectors();
    int lastPercent = -1;
    for (std::int32_t position = range.start; position < range.end; position += n) {
        c.pump.ProcessPendingEvents();
        if (c.State() != kStateGrabbing) {
            if (c.dialogs.AskYesNo(LangMessage(17), MessageIcon::Question)) return RangeEnd::Cancelled;
            c.SetState(kStateGrabbing);
        }
        const int count = reader.BlockCount(position, range.end);
        reader.ExtractBlock(position, count, range.start, range.end);
        const std::size_t bytes = static_cast<std::size_t>(count) * kSectorBytes;
        if (peak) *peak = BlockPeak(reader.Buffer(), bytes, *peak);
        if (audio) audio(reader.Buffer(), bytes);
        if (!output.Write(reader.Buffer(), bytes)) return RangeEnd::Failed;
        const int percent = RipPercent(range.start, range.end, position + n);
        if (percent != lastPercent) {
            lastPercent = percent;
            if (showPercent) showPercent(percent);
        }
    }
    return RangeEnd::Done;
}

void BeginGrab(RipContext& c) {
    if (c.State() != kStateIdle && c.hooks.stop) c.hooks.stop();
    c.SetState(kStateGrabbing);
    if (c.hooks.enableCommands) c.hooks.enableCommands(false);
    if (c.hooks.timer) c.hooks.timer(false);
}

void ResumeCommands(RipContext& c) {
    if (c.hooks.enableCommands) c.hooks.enableCommands(true);
    if (c.hooks.timer) c.hooks.timer(true);
}

}  // namespace sv
