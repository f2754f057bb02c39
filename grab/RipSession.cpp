#include "grab/RipSession.h"

#include <algorithm>
#include <cstdio>

#include "base/Text.h"

#include <filesystem>
#include <memory>

#include "base/Language.h"
#include "base/Msf.h"
#include "cdrom/AudioReader.h"
#include "formats/OutputNaming.h"
#include "grab/RipSteps.h"
#include "metadata/DiscId.h"
#include "metadata/MusicBrainzId.h"

namespace sv {

namespace fs = std::filesystem;

namespace {

std::string FailureStatus() { return EnglishTextsActive() ? "Write failed" : "Ошибка записи"; }

void Status(RipContext& c, int row, const std::string& text) {
    if (c.hooks.rowStatus) c.hooks.rowStatus(row, text);
}

void Image(RipContext& c, int row, int image) {
    if (c.hooks.rowImage) c.hooks.rowImage(row, image);
}

// The name of the temporary WAV file of a track.
std::string TempWavName(RipContext& c, int track) {
    std::string title = CleanNameValue(c.disc.TrackCopy(track).Title());
    if (title.empty() || title == "." || title == "..") title = ReplacementTitle(track);
    return c.tempFolder + title + ".wav";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> DiscComments(const DISC_INFO& disc) {
    std::vector<std::pair<std::string, std::string>> out;
    char id[12];
    std::snprintf(id, sizeof id, "%08x", disc.DiscId());
    int audio = 0;
    for (int i = 0; i < disc.TrackCount(); ++i) audio += disc.TrackCopy(i).AudioFlag() ? 1 : 0;
    const std::pair<const char*, std::string> fields[] = {
        {"ALBUM", disc.Album()}, {disc.Compilation() ? "ALBUMARTIST" : "ARTIST", disc.Artist()},
        {"DATE", disc.Year()},   {"GENRE", disc.Genre()},
        {"TRACKTOTAL", std::to_string(audio)}, {"CDDB", disc.DiscId() != 0 ? std::string(id) : std::string()},
        {"MUSICBRAINZ_DISCID", audio > 0 ? MusicBrainzDiscId(TocOfRecord(disc)) : std::string()}};
    for (const auto& [key, value] : fields)
        if (!value.empty()) out.emplace_back(key, ToUtf8Lenient(value));
    return out;
}

int FirstAudioTrack(const DISC_INFO& disc) {
    for (int i = 0; i < disc.TrackCount(); ++i)
        if (disc.TrackCopy(i).AudioFlag()) return i;
    return -1;
}

int LastAudioTrack(const DISC_INFO& disc) {
    for (int i = disc.TrackCount() - 1; i >= 0; --i)
        if (disc.TrackCopy(i).AudioFlag()) return i;
    return -1;
}

RipRange ComputeRipRange(DISC_INFO& disc, int track) {
    auto t = disc.Track(track);
    const std::int32_t trackStart = t.StartLba();
    const std::int32_t next = disc.Track(track + 1).StartLba();
    RipRange r{trackStart, next};
    if (!t.TrimFlag()) return r;
    r.start = MsfToFrames(t.TrimStartMsf()) - 150;
    const int endFrames = MsfToFrames(t.EndMsf());
    r.end = endFrames == 150 ? next : endFrames - 150;
    if (r.start < trackStart || r.start > next) r.start = trackStart;
    if (r.start >= r.end || r.end > next) {
        r = {trackStart, next};
        t.SetTrimFlag(false);
    }
    return r;
}

int RipPercent(std::int32_t start, std::int32_t end, std::int32_t position) {
    const std::int32_t step = (end - start) / 100;
    if (step <= 0) return 100;
    const std::int32_t percent = 100 - (end - position) / step;
    return percent > 100 ? 100 : (percent < 0 ? 0 : percent);
}

EncoderProgressFn MakeEncoderProgress(RipContext& c, int row) {
    auto last = std::make_shared<int>(-1);
    return [&c, row, last](std::uint64_t done, std::uint64_t total, bool& cancel) {
        c.pump.ProcessPendingEvents();
        if (c.State() != kStateEncoding) {
            if (c.dialogs.AskYesNo(LangMessage(26), MessageIcon::Question)) {
                cancel = true;
                return;
            }
            c.SetState(kStateEncoding);
        }
        const std::uint64_t step = total / 100;
        int percent = step == 0 ? 100 : static_cast<int>(done / step);
        if (percent > 100) percent = 100;
        if (percent != *last) {
            *last = percent;
            Status(c, row, c.compressPrefix + std::to_string(percent) + "%");
        }
    };
}

namespace {

// One track. Returns false when the grab must end (cancel, failure, or the
// user giving up the output folder); `result` says which.
bool RipTrack(RipContext& c, AudioReader& reader, int row, const std::string& prefix, RipResult& result) {
    TProgramSettings& s = c.settings;
    const bool encode = s.EncodeFlag() && s.OutputFormat() != kFormatWav;
    const bool onTheFly = encode && s.OnTheFlyEncoding();
    if (c.hooks.selectRow) c.hooks.selectRow(row);
    if (c.hooks.caption) c.hooks.caption(std::string(kProgramCaption) + " - " + c.disc.TrackCopy(row).Title());

    const std::string output = BuildOutputPath(s, c.disc, &c.tags, row, c.dialogs, c.hooks.runSettingsDialog);
    if (output.empty()) {
        result.stoppedByUser = true;
        return false;
    }
    const std::string wavName = encode ? TempWavName(c, row) : output;

    auto fail = [&](bool create, const std::string& path, const std::string& reason) {
        Status(c, row, FailureStatus());
        Image(c, row, kRowImageFailed);
        RemoveRipFile(wavName);
        RemoveRipFile(output);
        result.failed = true;
        result.failureMessage = OutputFailureMessage(create, path, reason);
        c.dialogs.ShowMessage(result.failureMessage, MessageIcon::Error);
        return false;
    };

    std::error_code ec;
    if (encode && !c.tempFolder.empty()) fs::create_directories(c.tempFolder, ec);
    ec.clear();
    const fs::path parent = fs::path(output).parent_path();
    if (!parent.empty() && !fs::is_directory(parent)) {
        fs::create_directories(parent, ec);
        if (ec) return fail(true, output, ec.message());
    }
    RemoveRipFile(wavName);

    const RipRange range = ComputeRipRange(c.disc, row);
    const std::int32_t total = range.end - range.start;
    std::int16_t peak = 0;
    const TagRecordRef tag = c.tags.Block(row);
    const std::uint8_t* tagBytes = tag.Data();

    // A FLAC track carries the disc's comments too (the tag record has the
    // track's), and its length lays out the seek table.
    const auto prepareFlac = [&] {
        if (s.OutputFormat() != kFormatFlac) return;
        auto comments = DiscComments(c.disc);
        // What the track's tag says is not said twice.
        const auto tagged = TFlacEncoder::Comments(tagBytes);
        std::erase_if(comments, [&](const auto& kv) {
            return std::any_of(tagged.begin(), tagged.end(), [&](const auto& t) { return t.first == kv.first; });
        });
        if (tagged.empty()) {  // no tag for the track: its title and number from the disc
            const std::string title = c.disc.TrackCopy(row).Title();
            if (!title.empty()) comments.emplace_back("TITLE", ToUtf8Lenient(title));
            comments.emplace_back("TRACKNUMBER", std::to_string(c.disc.TrackNumber(row)));
        }
        c.encoders.Flac().SetExtraComments(std::move(comments));
        c.encoders.Flac().SetExpectedSamples(static_cast<std::uint64_t>(total) * 588);
    };
    if (onTheFly) prepareFlac();
    RipOutput out(c.encoders, onTheFly);
    if (!out.Open(onTheFly ? output : wavName, tagBytes)) return fail(true, out.Path(), out.Reason());

    TrackChecksums sums(static_cast<std::uint64_t>(total) * (kSectorBytes / 4), row == FirstAudioTrack(c.disc),
                        row == LastAudioTrack(c.disc));
    const RangeEnd end = ReadRange(
        c, reader, range, out, s.Normalize() ? &peak : nullptr,
        [&](int percent) { Status(c, row, prefix + std::to_string(percent) + "%"); },
        [&sums](const std::uint8_t* pcm, std::size_t bytes) { sums.Add(pcm, bytes); });
    if (end == RangeEnd::Cancelled) {
        Status(c, row, LangMessage(18));
        out.Abandon();
        RemoveRipFile(wavName);
        RemoveRipFile(output);
        result.cancelled = true;
        return false;
    }
    if (end == RangeEnd::Failed) return fail(false, out.Path(), out.Reason());
    if (!out.Finish(static_cast<std::uint64_t>(total) * kSectorBytes)) return fail(false, out.Path(), out.Reason());
    TrackCheck check;
    check.row = row;
    check.crc32 = sums.Crc32();
    check.arV1 = sums.V1();
    check.arV2 = sums.V2();
    check.wholeTrack = !c.disc.TrackCopy(row).TrimFlag();
    check.silencedSamples = AudioReader::SamplesOutsideDisc(range.start, range.end, reader.ReadOffset(),
                                                            c.disc.Track(c.disc.TrackCount()).StartLba());
    check.file = output;

    if (encode && !onTheFly) {
        c.SetState(kStateEncoding);
        c.encoders.SetPeak(peak);
        c.encoders.SetProgress(MakeEncoderProgress(c, row));
        prepareFlac();
        const EncodeResult r = c.encoders.EncodeFile(wavName, output, tagBytes);
        // The callback refers to this session; nobody may call it later.
        c.encoders.SetProgress({});
        if (c.State() == kStateEncoding) c.SetState(kStateGrabbing);
        if (r == EncodeResult::Cancelled) {
            // Ends only this encoding: the next track follows.
            c.SetState(kStateGrabbing);
            Status(c, row, LangMessage(18));
            RemoveRipFile(wavName);
            RemoveRipFile(output);
            return true;
        }
        if (r != EncodeResult::Done) {
            const std::string why = c.encoders.FailureText();
            return fail(false, output, why.empty() ? EncoderRefusedReason() : why);
        }
    }

    Status(c, row, LangMessage(20));
    Image(c, row, kRowImageDone);
    c.disc.Track(row).SetDoneFlag(true);
    if (encode) RemoveRipFile(wavName);
    if (static_cast<std::size_t>(row) < c.checked.size()) c.checked[static_cast<std::size_t>(row)] = false;
    if (c.hooks.setChecked) c.hooks.setChecked(row, false);
    ++result.written;
    result.files.push_back(output);
    result.checks.push_back(check);
    return true;
}

}  // namespace

RipResult RunRipSession(RipContext& c) {
    RipResult result;
    TProgramSettings& s = c.settings;
    const int count = std::min<int>(c.disc.TrackCount(), DISC_INFO::kMaxTracks - 1);
    auto wanted = [&](int row) {
        return static_cast<std::size_t>(row) < c.checked.size() && c.checked[static_cast<std::size_t>(row)] &&
               c.disc.Track(row).AudioFlag();
    };
    for (int row = 0; row < count; ++row)
        if (wanted(row)) ++result.requested;

    if (s.MaxPriority() && c.hooks.setPriority) c.hooks.setPriority(true);
    BeginGrab(c);
    const std::string prefix = LangMessage(19) + " ";
    if (c.hooks.setVolume) c.hooks.setVolume(255);

    AudioReader reader = MakeRipReader(c);
    reader.ApplyCacheMode();
    if (s.SpinUpBeforeCopy()) reader.SpinUp();

    auto endCommon = [&] {
        if (c.hooks.restoreVolume) c.hooks.restoreVolume();
        ResumeCommands(c);
        if (s.MaxPriority() && c.hooks.setPriority) c.hooks.setPriority(false);
    };

    // A format without an encoder is refused before any track is read.
    const bool encode = s.EncodeFlag() && s.OutputFormat() != kFormatWav;
    const EncoderAvailability available = c.encoders.Availability(encode ? int{s.OutputFormat()} : int{kFormatWav});
    if (result.requested > 0 && !available.available) {
        result.failed = true;
        result.failureMessage = available.message;
        c.dialogs.ShowMessage(available.message, MessageIcon::Warning);
    } else {
        for (int row = 0; row < count; ++row) {
            if (!wanted(row)) continue;
            if (!RipTrack(c, reader, row, prefix, result)) break;
        }
    }

    if (result.cancelled) {
        // A cancel leaves the state as the stop request set it, and never
        // powers the computer off.
        endCommon();
        return result;
    }
    c.SetState(kStateIdle);
    endCommon();
    if (s.ShutdownAfterCopy() && !result.failed && c.hooks.shutdown) c.hooks.shutdown();
    return result;
}

}  // namespace sv
