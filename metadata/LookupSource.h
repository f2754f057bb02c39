// Which online source looks a disc's titles up: CDDB, MusicBrainz, or one of
// them first and the other when the first finds nothing. The values are those
// kept in Sornaval.conf and the rows of the settings dialog's choice, whose
// texts ("CDDB only", ...) stand in the language files.
#pragma once

#include <optional>
#include <string_view>

#include "base/Text.h"

namespace sv {

enum class LookupSource { Cddb = 0, MusicBrainz = 1, MusicBrainzThenCddb = 2, CddbThenMusicBrainz = 3 };

inline constexpr LookupSource kDefaultLookupSource = LookupSource::MusicBrainzThenCddb;
inline constexpr const char* kDefaultMusicBrainzServer = "https://musicbrainz.org";

// A stored number as a source; nothing outside 0..3.
inline std::optional<LookupSource> LookupSourceFromNumber(int value) {
    if (value < 0 || value > 3) return std::nullopt;
    return static_cast<LookupSource>(value);
}

// The command line's "--source musicbrainz|cddb|auto" (letters in any case):
// "auto" is the stored setting `stored`. Nothing for any other word.
inline std::optional<LookupSource> ParseLookupSourceOption(std::string_view word, LookupSource stored) {
    const std::string lower = AsciiLower(word);
    if (lower == "musicbrainz") return LookupSource::MusicBrainz;
    if (lower == "cddb") return LookupSource::Cddb;
    if (lower == "auto") return stored;
    return std::nullopt;
}

}  // namespace sv
