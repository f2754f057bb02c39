// The MusicBrainz disc identifier and the table of contents text the
// MusicBrainz web service takes.
//
// MusicBrainz describes a disc by its first session: the first track number,
// the last audio track number, the lead-out and the start of every track from
// the first to the last, all in absolute frames (the ordinary first track
// starts at 150). On an enhanced CD the data track that follows the audio
// tracks in a second session does not count: its session ends the audio
// session 11400 frames (lead-out, lead-in and the pre-gap of the data track)
// before the data track starts, and that is the lead-out MusicBrainz knows.
// Data tracks before the audio tracks (a mixed-mode CD) do count.
//
// The identifier is the SHA-1 of "%02X" first, "%02X" last and 100 times
// "%08X" (the lead-out, then the start of tracks 1..99, 0 where there is no
// track), in base64 with '.', '_' and '-' instead of '+', '/' and '='.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "metadata/DiscId.h"

namespace sv {

struct MbToc {
    int firstTrack = 1;
    int lastTrack = 0;
    int leadOut = 0;           // absolute frames
    std::vector<int> offsets;  // absolute start of tracks firstTrack..lastTrack
};

// The first session of `toc`. Nothing when it has no audio track, or track
// numbers beyond 99.
std::optional<MbToc> MusicBrainzToc(const DiscToc& toc);

// The 28 characters of the identifier.
std::string MusicBrainzDiscId(const MbToc& toc);
// The same from a whole table of contents; empty when MusicBrainzToc gives nothing.
std::string MusicBrainzDiscId(const DiscToc& toc);

// "first+last+leadout+offset1+...": the web service's toc parameter.
std::string MusicBrainzTocText(const MbToc& toc);

// MusicBrainz's base64: the standard alphabet with '.' for '+', '_' for '/'
// and '-' for '='.
std::string MusicBrainzBase64(std::string_view bytes);

}  // namespace sv
