// The track view as a projection of the disc record: one row per track with
// its caption, check box, image, length, size, compressed size and status; the
// case commands; the size display.
#pragma once

#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"

namespace sv {

struct TrackRow {
    std::string caption;
    bool checked = false;
    int image = 1;  // 1 not done, 2 done, 3 data track
    std::string length, size, compressed, status;
    bool audio = true;
    friend bool operator==(const TrackRow&, const TrackRow&) = default;
};

// Rows for every track of the disc. `dataCaption` is the caption of data
// tracks; the status texts are R03 (to copy) and R04 (copied).
std::vector<TrackRow> BuildTrackRows(const DISC_INFO& disc, const std::string& dataCaption,
                                     const std::string& notCopied, const std::string& copied);

// A row's status: R03 (to copy) for a checked track not copied yet, R04
// (copied) otherwise; a track already copied says so even when it is checked
// to be copied again.
std::string RowStatus(bool checked, bool done, const std::string& notCopied, const std::string& copied);

// "%2.2f Mb" of bytes / 1048576.
std::string MegabytesText(double bytes);

// Bytes of CD audio per byte of compressed output for the current MP3
// settings (LAME), or for an ACM format of `avgBytesPerSecond`, `channels`,
// `sampleRate` (when not using LAME). 1 when nothing sensible is known.
double CompressionRatio(const TProgramSettings& settings, int avgBytesPerSecond = 0, int channels = 2,
                        int sampleRate = 44100);

// The compressed-size column: "%2.2f Mb" of size / 1048576 / ratio, with a
// "0" in front when shorter than 8 characters.
std::string CompressedSizeText(std::uint32_t sizeBytes, double ratio);

// The size panel: hint, " ", "%2.2f Mb" of the audio tracks' total (divided
// by the ratio with the alternative unit).
std::string SizePanelText(const std::string& hint, const DISC_INFO& disc, double ratio, bool alternative);

// The case commands with the locale's (Unicode) rules. Words start after a
// space, "!", "," or ";" only.
std::string CapitaliseWords(const std::string& text);
std::string LowerCaseText(const std::string& text);
std::string UpperCaseText(const std::string& text);

// Renames track `index`: the record's title (cut to its field) and, when the
// track's tag block holds a tag, the tag's title.
void RenameTrack(DISC_INFO& disc, TagBlocks& tags, int index, const std::string& title);

}  // namespace sv
