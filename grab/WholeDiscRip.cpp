#include "grab/WholeDiscRip.h"

#include <cstdio>
#include <filesystem>

#include "base/Language.h"
#include "base/Msf.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "cdrom/AudioReader.h"
#include "formats/OutputNaming.h"
#include "grab/GrabCommand.h"
#include "grab/RipSteps.h"
#include "grab/TrackChecksums.h"

namespace sv {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

std::string NoAudioMessage() {
    return EnglishTextsActive() ? "The disc has no audio track to copy." : "На диске нет звуковых дорожек.";
}

// "MM:SS:FF" of a sector count, two digits at least each.
std::string CueTime(std::int32_t frames) {
    if (frames < 0) frames = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / 4500, (frames / 75) % 60, frames % 75);
    return text;
}

}  // namespace

std::uint8_t WholeDiscFormatFor(WholeDiscSender sender, const TProgramSettings& s) {
    switch (sender) {
        case WholeDiscSender::WavMenu: return kFormatWav;
        case WholeDiscSender::Mp3Menu: return kFormatMp3;
        case WholeDiscSender::OggMenu: return kFormatOgg;
        case WholeDiscSender::FlacMenu: return kFormatFlac;
        case WholeDiscSender::ExternalMenu: return GrabOutputFor(GrabSender::ExternalMenu, s).format;
    }
    return kFormatMp3;
}

std::string WholeDiscExtension(std::uint8_t format, const TProgramSettings& settings) {
    TProgramSettings s = settings;
    s.SetOutputFormat(format);
    return OutputExtension(s);
}

std::string WholeDiscOutputPath(const TProgramSettings& s, const DISC_INFO& disc, std::uint8_t format) {
    const std::string ext = WholeDiscExtension(format, s);
    std::string title = CleanNameValue(disc.Album());
    if (title.empty() || title == "." || title == "..") title = "TRACKS";
    if (title.size() + ext.size() > kMaxNameBytes) title = std::string(CutUtf8(title, kMaxNameBytes - ext.size()));
    const std::string dir = s.OutputDir().empty() ? std::string() : WithTrailingSlash(s.OutputDir());
    return dir + title + ext;
}

RipRange WholeDiscRange(DISC_INFO& disc) {
    const int count = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks - 1);
    int first = -1, last = -1;
    for (int i = 0; i < count; ++i) {
        if (!disc.Track(i).AudioFlag()) continue;
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) return {};
    const std::int32_t start = disc.Track(first).StartLba();
    const std::int32_t end =
        disc.Track(last).StartLba() + static_cast<std::int32_t>(disc.Track(last).SizeBytes() / kSectorBytes);
    return {start, end > start ? end : start};
}

std::string CueFileType(const std::string& outputPath) {
    std::string ext = std::filesystem::path(outputPath).extension().string();
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    for (char& ch : ext)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return ext == "WAV" ? "WAVE" : ext;
}

std::string CuePathFor(const std::string& outputPath) {
    return std::filesystem::path(outputPath).replace_extension(".cue").string();
}

std::string CueSheetText(DISC_INFO& disc, const std::string& outputPath, const RipRange& range) {
    std::string text = "FILE \"" + std::filesystem::path(outputPath).filename().string() + "\" " +
                       CueFileType(outputPath) + "\n";
    const int count = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks - 1);
    for (int i = 0; i < count; ++i) {
        const std::int32_t start = disc.Track(i).StartLba();
        // A data track before the first audio track or after the last one
        // holds nothing of the file.
        if (start < range.start || start >= range.end) continue;
        char number[16];
        std::snprintf(number, sizeof number, "%02d", disc.TrackNumber(i));
        text += std::string("\tTRACK ") + number + " AUDIO\n";
        text += "\t\tINDEX 01 " + CueTime(start - range.start) + "\n";
    }
    return text;
}

bool WriteCueSheet(DISC_INFO& disc, const std::string& outputPath, const RipRange& range) {
    const std::string path = CuePathFor(outputPath);
    const std::string text = CueSheetText(disc, outputPath, range);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    RemoveRipFile(path);
    return false;
}

WholeDiscResult RunWholeDiscRip(RipContext& c, std::uint8_t format) {
    WholeDiscResult result;
    TProgramSettings& s = c.settings;
    s.SetOutputFormat(format);
    c.encoders.SetSettings(&s);

    // Refusals come before anything changes.
    const RipRange range = WholeDiscRange(c.disc);
    if (range.end <= range.start) {
        result.refusal = NoAudioMessage();
        c.dialogs.ShowMessage(result.refusal, MessageIcon::Warning);
        return result;
    }
    const EncoderAvailability available = c.encoders.Availability(format);
    if (!available.available) {
        result.refusal = available.message;
        c.dialogs.ShowMessage(available.message, MessageIcon::Warning);
        return result;
    }

    const std::string output = WholeDiscOutputPath(s, c.disc, format);
    result.file = output;
    result.ran = true;
    BeginGrab(c);
    auto caption = [&](const std::string& text) {
        if (c.hooks.caption) c.hooks.caption(text);
    };
    auto finish = [&](bool idle) {
        if (idle) c.SetState(kStateIdle);
        ResumeCommands(c);
        caption(kProgramCaption);
    };

    AudioReader reader = MakeRipReader(c);
    c.encoders.SetInputFormat(WAVEFORMATEX::CdFormat());
    if (format == kFormatFlac) {
        // The tracks inside the file, for players that read FLAC's own cue sheet.
        std::vector<TFlacEncoder::CueTrack> tracks;
        for (int i = 0; i < c.disc.TrackCount() && i + 1 < DISC_INFO::kMaxTracks; ++i) {
            const std::int32_t start = c.disc.Track(i).StartLba();
            if (start >= range.start && start < range.end && c.disc.Track(i).AudioFlag())
                tracks.push_back({c.disc.TrackNumber(i), static_cast<std::uint64_t>(start - range.start) * 588});
        }
        c.encoders.Flac().SetExpectedSamples(static_cast<std::uint64_t>(range.end - range.start) * 588);
        c.encoders.Flac().SetCueSheet(std::move(tracks));
        c.encoders.Flac().SetExtraComments(DiscComments(c.disc));
    }
    RipOutput out(c.encoders, format != kFormatWav);
    if (!out.Open(output, nullptr)) {
        result.failed = true;
        result.failureMessage = std::string(out.Encoding() ? "Fail to run encoder!" : "Fail to create dest file!") +
                                "\n" + output + ": " + out.Reason();
        c.dialogs.ShowMessage(result.failureMessage, MessageIcon::Warning);
        finish(true);
        return result;
    }

    DiscChecksums sums(c.disc, range.start, range.end, reader.ReadOffset());
    const RangeEnd end = ReadRange(
        c, reader, range, out, nullptr,
        [&](int percent) { caption(std::string(kProgramCaption) + " - [ " + std::to_string(percent) + "% ]"); },
        [&sums](const std::uint8_t* pcm, std::size_t bytes) { sums.Add(pcm, bytes); });
    if (end == RangeEnd::Cancelled) {
        out.Abandon();
        RemoveRipFile(output);
        result.cancelled = true;
        // The state stays as the stop request left it.
        finish(false);
        return result;
    }
    if (end == RangeEnd::Failed ||
        !out.Finish(static_cast<std::uint64_t>(range.end - range.start) * kSectorBytes)) {
        RemoveRipFile(output);
        result.failed = true;
        result.failureMessage = OutputFailureMessage(false, out.Path(), out.Reason());
        c.dialogs.ShowMessage(result.failureMessage, MessageIcon::Error);
        finish(true);
        return result;
    }
    finish(true);
    result.written = true;
    result.checks = sums.Checks(output);

    if (s.RipCueSheet()) {
        result.cueFile = CuePathFor(output);
        if (!WriteCueSheet(c.disc, output, range)) {
            result.cueFailed = true;
            c.dialogs.ShowMessage(LangMessage(78), MessageIcon::Warning);
        }
    }
    c.dialogs.ShowMessage("Rip Complette!", MessageIcon::Information);
    return result;
}

WholeDiscResult RunWholeDiscGrabCommand(WholeDiscSender sender, RipContext& c) {
    TProgramSettings& s = c.settings;
    const std::uint8_t saved = s.OutputFormat();
    WholeDiscResult result = RunWholeDiscRip(c, WholeDiscFormatFor(sender, s));
    s.SetOutputFormat(saved);
    c.encoders.SetSettings(&s);
    return result;
}

}  // namespace sv
