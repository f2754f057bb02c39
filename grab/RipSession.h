// The rip session: copies every checked audio track of the disc into its own
// output file, a WAV file or a compressed file made by the encoders either
// while reading (on the fly) or from a temporary WAV file afterwards.
//
// It runs on the caller's thread and reaches its surroundings only through the
// context: the settings, the drive, the disc and tag records, the check boxes
// of the track view, questions to the user, the event pump, the controller
// state (a stop request is the state becoming kStateIdle) and the hooks that
// show progress in the track's row.
//
// A track whose output cannot be created or written is not marked done: its
// row shows the failure, what was written of it is removed, and the grab stops
// with a message that names the file and the reason.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"
#include "cdrom/TCDROM.h"
#include "encoders/Encoders.h"

namespace sv {

// The controller state values the session reads and writes.
inline constexpr int kStateIdle = 1;
inline constexpr int kStatePaused = 2;
inline constexpr int kStatePlaying = 3;
inline constexpr int kStateGrabbing = 4;
inline constexpr int kStateEncoding = 5;

// Row images the session sets.
inline constexpr int kRowImageDone = 2;
inline constexpr int kRowImageFailed = 3;

// The window caption outside a rip; while a track is read it is followed by
// " - " and the track's title.
inline constexpr const char* kProgramCaption = "Sornaval v3.4";

// What the session asks of the window (or of whoever stands in for it). Every
// hook may be left empty.
struct RipHooks {
    std::function<int()> getState;            // empty: the context's own state
    std::function<void(int)> setState;
    std::function<void()> stop;               // "Stop" of the main window
    std::function<void(int row)> selectRow;   // select and scroll into view
    std::function<void(const std::string& text)> caption;  // window caption and application title
    std::function<void(int row, const std::string& text)> rowStatus;
    std::function<void(int row, int image)> rowImage;
    std::function<void(int row, bool on)> setChecked;  // the row's check box (cleared when its track is done)
    std::function<void(bool enabled)> enableCommands;
    std::function<void(bool on)> timer;
    std::function<void(int volume)> setVolume;  // 255 while grabbing
    std::function<void()> restoreVolume;        // back to the volume bar
    std::function<bool()> runSettingsDialog;    // when OutputDir is missing (R14); false: the user gave up
    std::function<void(bool high)> setPriority;
    std::function<void()> shutdown;             // power the computer off
};

struct RipContext {
    TProgramSettings& settings;
    TCDROM& cdrom;
    DISC_INFO& disc;
    TagBlocks& tags;
    std::vector<bool>& checked;  // the check box of each row (row i = track i)
    IUserDialogs& dialogs;
    IEventPump& pump;
    TEncoders& encoders;
    std::string tempFolder;      // ends in '/'
    RipHooks hooks;
    std::string compressPrefix = "сжатие ";
    int state = kStateIdle;      // used when hooks.getState is empty
    // The drive's read offset in samples, corrected on every read.
    int readOffset = 0;

    int State() const { return hooks.getState ? hooks.getState() : state; }
    void SetState(int s) {
        if (hooks.setState) hooks.setState(s);
        else state = s;
    }
};

// What was read of one grabbed track, for checking it against other rips.
struct TrackCheck {
    int row = 0;
    std::uint32_t crc32 = 0;        // of the audio as read
    std::uint32_t arV1 = 0, arV2 = 0;  // AccurateRip track checksums
    bool wholeTrack = true;         // false: a trimmed range, which AccurateRip cannot judge
    std::uint64_t silencedSamples = 0;  // outside the disc after the offset correction
    std::string file;
};

struct RipResult {
    int requested = 0;   // checked audio tracks
    int written = 0;     // tracks whose output was completed
    bool cancelled = false;
    bool failed = false;          // an output could not be created or written
    bool stoppedByUser = false;   // no output folder chosen
    std::string failureMessage;
    std::vector<std::string> files;  // the outputs written, in order
    std::vector<TrackCheck> checks;  // the tracks read to their end, in order
};

// The range of track i: [start, end) in LBA. With the track's trim flag set
// the trim addresses apply (an end of 00:02:00 meaning the track's end); a
// range outside the track falls back to the whole track and clears the flag.
struct RipRange {
    std::int32_t start = 0;
    std::int32_t end = 0;
};
RipRange ComputeRipRange(DISC_INFO& disc, int track);

// The comments a FLAC file of the disc carries besides a track's tag:
// ALBUM, ARTIST (ALBUMARTIST on a compilation), DATE, GENRE, TRACKTOTAL and
// the disc's CDDB identifier (CDDB), in UTF-8; empty values left out.
std::vector<std::pair<std::string, std::string>> DiscComments(const DISC_INFO& disc);

// The first and the last audio track of the disc (-1: none).
int FirstAudioTrack(const DISC_INFO& disc);
int LastAudioTrack(const DISC_INFO& disc);

// The row's percentage after reading up to `position` of [start, end):
// 100 - (end - position) / (total / 100), held within 0..100; 100 when the
// range is shorter than 100 sectors.
int RipPercent(std::int32_t start, std::int32_t end, std::int32_t position);

// Rips the checked audio tracks. The grab command has set the speed, the tray
// lock, OutputFormat and EncodeFlag, and given the encoders the settings.
RipResult RunRipSession(RipContext& context);

// The progress callback for encoding a WAV file of row `row`: it pumps the
// events, asks R26 when a stop was requested, and shows the compress prefix
// with the percentage in the row.
EncoderProgressFn MakeEncoderProgress(RipContext& context, int row);

}  // namespace sv
