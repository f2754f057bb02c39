// CD-TEXT: the titles and names a disc carries in its lead-in, as READ
// TOC/PMA/ATIP format 5 returns them (a 4-byte header, then 18-byte packs:
// type, track, sequence number, block and character position, 12 text bytes
// and an inverted CRC-16), read into UTF-8 text and encoded back into packs
// for the virtual drives. Only the first block (the disc's first language) is
// read; titles, performers and songwriters are kept.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/TagRecord.h"

namespace sv {

inline constexpr int kCdTextPackBytes = 18;
inline constexpr int kCdTextHeaderBytes = 4;
inline constexpr int kCdTextMaxPacks = 256;      // sequence numbers of one block
inline constexpr std::size_t kCdTextMaxChars = 160;  // per string

// Disc-wide texts and one entry per track (index: track number - first
// track), UTF-8; an empty entry is a text the disc does not give.
struct CdText {
    std::string album, performer, songwriter;
    std::vector<std::string> titles, performers, songwriters;
    bool Empty() const;
    bool operator==(const CdText&) const = default;
};

// The CRC of a pack: CCITT polynomial 0x1021, initial 0, over the first 16
// bytes, inverted (stored most significant byte first).
std::uint16_t CdTextCrc(std::span<const std::uint8_t> bytes);

// Reads a format 5 reply for a disc of `trackCount` tracks from `firstTrack`.
// Packs with a wrong CRC, of another block or with the extension flag are
// left out; text of tracks outside the disc is ignored. Nothing when the
// reply holds no title, performer or songwriter at all, or the track range
// makes no sense.
std::optional<CdText> ParseCdText(std::span<const std::uint8_t> reply, int firstTrack, int trackCount);

// The packs (no header) of block 0 for `text` on a disc of `trackCount`
// tracks from `firstTrack`: titles, performers and songwriters when any of
// each is given, and the three size information packs. ISO-8859-1 when every
// character fits it, else MS-JIS when Shift-JIS can hold all of it, else
// ASCII with '?' for the rest. Strings are cut at 160 characters; text that
// would need more than 256 packs is left out from the end. Empty for no text.
std::vector<std::uint8_t> EncodeCdTextPacks(const CdText& text, int firstTrack, int trackCount);

// Lays CD-TEXT over a disc record: album, artist and the titles it gives.
// A track whose performer differs from the disc's gets "Performer / Title",
// as CDDB writes discs of various artists. With `tags`, each titled track's
// tag block gets the bare title and its own performer (the disc's when it has
// none), so a grab tags the artist of each track.
void ApplyCdText(const CdText& text, DISC_INFO& disc, TagBlocks* tags = nullptr);

}  // namespace sv
