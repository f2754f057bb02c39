// The CD-TEXT a burn writes: the album's title and performer, and per track
// the title and artist tags of its sound file.
#pragma once

#include <string>
#include <vector>

#include "cdrom/CdText.h"

namespace sv {

struct TrackTitle {
    std::string title, performer;  // UTF-8
    std::string album, albumArtist;
};

// The title and artist tags of a sound file as FFmpeg reads them (ID3 of MP3,
// Vorbis comments of Ogg and FLAC, ASF attributes of WMA, the INFO list of
// WAV), from the container or its first stream. A file without a title tag
// (or that cannot be opened) gets its name without the extension as title;
// without an artist tag the performer is empty. The album and album artist
// tags come along for the disc's own title and performer.
TrackTitle ReadTrackTitle(const std::string& path);

// The CD-TEXT of a disc of `files` (one per track): the tracks' titles and
// performers from ReadTrackTitle. The album title and performer as given;
// when not given, the album tag all files share, and the album artist all
// share (else the artist all share). Files that disagree leave them empty.
CdText BurnCdText(const std::vector<std::string>& files, const std::string& album = {},
                  const std::string& performer = {});

}  // namespace sv
