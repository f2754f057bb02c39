// The CDDB disc identifier and the track offset table of a disc.
//
// Everything in the metadata folder is keyed by the 32-bit identifier that is
// computed here from the table of contents: the online query and read, the
// local xmcd database file names and the album cache file names.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Msf.h"

namespace sv {

// The addresses of a disc's table of contents, as absolute frames (the first
// track of an ordinary disc starts at 150 = 00:02:00). Data tracks are listed
// like audio tracks; `leadOut` is the start of the disc's final lead-out.
struct DiscToc {
    std::vector<int> trackStarts;
    int leadOut = 0;
    // The control nibble of each track, in the order of `trackStarts` (bit
    // 0x04: a data track). Empty, or shorter than the track list: the tracks
    // it does not cover are audio.
    std::vector<std::uint8_t> controls;
    // The disc's number of its first track.
    int firstTrack = 1;

    static constexpr std::uint8_t kDataControl = 0x04;
    bool IsData(std::size_t track) const {
        return track < controls.size() && (controls[track] & kDataControl) != 0;
    }
};

// Frames between the end of an audio session and the first track of the
// next session (lead-out, lead-in and the data track's pre-gap).
inline constexpr int kSessionGapFrames = 11400;

// The table of contents a disc record describes: its tracks up to 99 and its
// lead-out, as absolute frames. The record keeps a data track that follows
// audio tracks at the end of their session; the table puts it where the disc
// has it, one session gap later.
DiscToc TocOfRecord(const DISC_INFO& disc);

// Reads a READ TOC reply in MSF form (4-byte header, 8-byte descriptors with
// the control nibble in the low half of byte 1 and minute, second and frame in
// bytes 5..7). The track count is last - first + 1 and the descriptor after
// the last track is the lead-out. Nothing when the buffer is too short for the
// descriptors it announces or has no track.
std::optional<DiscToc> ParseRawToc(std::span<const std::uint8_t> toc);

// The identifier: checksum of the digit sums of the track starts in whole
// seconds (modulo 255) in bits 31..24, the playing time in whole seconds from
// the first track to the lead-out shifted left by 8, the track count in 7..0.
std::uint32_t ComputeDiscId(const DiscToc& toc);

// Whole seconds of the lead-out's absolute start (the query's disc length).
int DiscLengthSeconds(const DiscToc& toc);

// The four text forms of an identifier.
std::string DiscIdUpperHex(std::uint32_t id);       // "0C012A02"
std::string DiscIdLowerHex(std::uint32_t id);       // "0c012a02"
std::string DiscIdWindowsName(std::uint32_t id);    // "0Cto0C"
std::string DiscIdSignedDecimal(std::uint32_t id);  // "-1795103223" for 0x9500E609

// The table handed to the query: minute, second, frame of every track start
// and of the lead-out (entry `count`), all absolute; unused entries are zero.
struct TrackOffsetTable {
    static constexpr int kEntries = 100;
    std::array<std::array<std::int32_t, 3>, kEntries> entries{};
    std::int32_t count = 0;

    // Absolute frame offset of entry i.
    int Frames(int i) const;
};

// At most 99 tracks fit beside the lead-out; later tracks are left out.
TrackOffsetTable BuildTrackOffsetTable(const DiscToc& toc);

// Stores the identifier in the disc record as number and as its eight-digit
// upper-case text.
void StoreDiscId(DISC_INFO& disc, std::uint32_t id);

}  // namespace sv
