// Reading xmcd disc entries: the text a CDDB server sends for a read and the
// files of the local database share this format.
//
// An entry is a list of "KEY=value" lines and "#" comments. A key repeated on
// further lines continues its value (long titles are split over lines), the
// escapes \n, \t and \\ stand for a line feed, a tab and a backslash, and
// "DTITLE" holds "artist / album".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/DiscInfo.h"
#include "base/TagRecord.h"

namespace sv {

class XmcdEntry {
public:
    // Splits `text` into lines at CR and LF, drops empty lines (and the first
    // line when `dropFirstLine`), and gathers the keyed values.
    static XmcdEntry Parse(std::string_view text, bool dropFirstLine = false);

    // True when a comment line mentions "xmcd".
    bool XmcdSeen() const { return xmcdSeen_; }
    // The value of `key` with continuations joined and escapes decoded, as
    // UTF-8 without control characters other than line feed and tab; nothing
    // when the key is absent.
    const std::string* Value(std::string_view key) const;
    // Number of distinct keys.
    std::size_t KeyCount() const { return fields_.size(); }

private:
    bool xmcdSeen_ = false;
    std::vector<std::pair<std::string, std::string>> fields_;
    std::map<std::string, std::size_t, std::less<>> index_;
};

struct DiscTitleParts {
    std::string artist;
    std::string album;
};

// Splits a DTITLE value. With " / " the artist is the text before its first
// occurrence and the album the text after it. Otherwise the album is the text
// after the first "/" (one leading space removed) and the artist the text
// before it (leading "/" skipped, one trailing space removed); without "/"
// the album is empty.
DiscTitleParts SplitDiscTitle(std::string_view value);

// Decodes \n, \t and \\; any other backslash stands for itself.
std::string DecodeXmcdEscapes(std::string_view value);
// The inverse, for writing a value on one line: backslash, line feed and tab
// become escapes; carriage returns are dropped.
std::string EncodeXmcdEscapes(std::string_view value);

// Unicode-aware (Latin, Greek, Cyrillic) case-insensitive comparison.
std::string FoldCase(std::string_view utf8);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Adds `name` to `list` unless an entry equal to it ignoring letter case is
// there already; empty names are not added. True when added.
bool AddUniqueIgnoreCase(std::vector<std::string>& list, const std::string& name);

// What applying an entry to the disc record changed.
struct XmcdApplyResult {
    bool titleSeen = false;
    bool yearSeen = false;
    bool genreSeen = false;
    int tracksSet = 0;
    bool discIdPresent = false;
    bool discIdMatches = true;
};

// Copies DTITLE, DYEAR, DGENRE and TTITLEk (k below `trackLimit`, at most
// 100) into the disc record, each cut to its field at a character boundary.
// When `tags` is given, every track that got a title also gets its tag record
// filled from the disc (present flag, title, artist, album, year, genre, track
// number, original artist). DISCID is compared with the record's identifier.
// True when a DISCID value (one or more identifiers, separated by commas and
// spaces) names disc `id`.
bool DiscIdListNames(const std::string& value, std::uint32_t id);

XmcdApplyResult ApplyXmcdEntry(const XmcdEntry& entry, DISC_INFO& disc, int trackLimit, TagBlocks* tags);

// The tag record of track `track` once a lookup titled it: present, `title`
// and `artist` (also as the original artist), the disc's album, year and
// genre, the disc's number of the track.
void FillTrackTag(TagRecordRef tag, const DISC_INFO& disc, int track, std::string_view title,
                  std::string_view artist);

}  // namespace sv
