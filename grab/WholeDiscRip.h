// The whole-disc rip: the audio part of the disc, from the first audio track
// to the end of the last one, copied into one file (WAV, or compressed while
// reading) named after the album, with an optional CUE sheet beside it that
// lists the tracks with their start times in that file.
//
// It runs on the caller's thread through the same rip context as the
// per-track grab. Unlike that grab it leaves the drive's speed, tray, cache
// mode and the track view alone and shows its progress in the window caption.
// An output that cannot be created or written is removed and reported with
// its name and the reason; nothing else on disk is touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "grab/RipSession.h"

namespace sv {

// The menu item of "Скопировать CD в один файл" that started the rip.
enum class WholeDiscSender {
    WavMenu,       // WAVE2
    Mp3Menu,       // MP32
    OggMenu,       // OGG2
    ExternalMenu,  // External2: APE, AAC or another codec by ExtEncoder
    FlacMenu,      // FLAC2: FLAC with the cue sheet inside
};

// OutputFormat for a rip started by `sender`.
std::uint8_t WholeDiscFormatFor(WholeDiscSender sender, const TProgramSettings& settings);

// The extension of output format `format`: ".wav", ".mp3", ".wma", ".ogg",
// ".ape", ".aac", or AcmFileExt with a "." put in front when it has none.
std::string WholeDiscExtension(std::uint8_t format, const TProgramSettings& settings);

// OutputDir, the album title ("TRACKS" when it is empty) and the extension.
// Characters that would leave the output folder or break the CUE sheet's
// quoted name (/ \ " * | < > : ? and control characters) are dropped from
// the title.
std::string WholeDiscOutputPath(const TProgramSettings& settings, const DISC_INFO& disc, std::uint8_t format);

// From the start of the first audio track to the end (start + size) of the
// last audio track; data tracks between them lie inside. Empty (start ==
// end) when the disc has no audio track.
RipRange WholeDiscRange(DISC_INFO& disc);

// The CUE sheet's FILE type for an output file: its extension without the
// dot, upper case, "WAV" written as "WAVE".
std::string CueFileType(const std::string& outputPath);

// The output path with its extension replaced by ".cue".
std::string CuePathFor(const std::string& outputPath);

// The CUE sheet text for the whole-disc file `outputPath` read over `range`:
// the FILE line, then for every track that starts inside the file a TRACK
// line (its number on the disc, two digits at least, always AUDIO) and an
// INDEX 01 line with its start as MM:SS:FF counted from the start of the
// file. Lines end in a single line feed.
std::string CueSheetText(DISC_INFO& disc, const std::string& outputPath, const RipRange& range);

// Writes CueSheetText into CuePathFor(outputPath), replacing an existing
// file. False when it cannot be created or written completely (a partial
// file is removed).
bool WriteCueSheet(DISC_INFO& disc, const std::string& outputPath, const RipRange& range);

struct WholeDiscResult {
    bool ran = false;        // the disc was read
    std::string refusal;     // why it was not (the message shown), empty otherwise
    bool written = false;    // the audio file is complete
    bool cancelled = false;
    bool failed = false;     // the output could not be created or written
    std::vector<TrackCheck> checks;  // the audio tracks inside the file
    std::string failureMessage;
    std::string file;        // the audio file's path
    std::string cueFile;     // the CUE sheet's path when one was asked for
    bool cueFailed = false;  // the CUE sheet could not be written (R78 shown)
};

// Rips the whole disc into one file of output format `format`: sets the
// settings' OutputFormat to it and gives the encoders the settings, reads
// the range with SectorsPerRead blocks and the extraction method, answers a
// stop request with the question R17, writes the CUE sheet when RipCueSheet
// is set and ends with the message "Rip Complette!". A format without an
// encoder is refused with its message before anything is read.
WholeDiscResult RunWholeDiscRip(RipContext& context, std::uint8_t format);

// The command of the menu items WAVE2, MP32, OGG2 and External2: the rip in
// the format of `sender`, with the settings' OutputFormat restored afterwards.
WholeDiscResult RunWholeDiscGrabCommand(WholeDiscSender sender, RipContext& context);

}  // namespace sv
