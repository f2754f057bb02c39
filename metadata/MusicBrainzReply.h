// The replies of the MusicBrainz web service to a disc lookup
// (/ws/2/discid/<id>?inc=artist-credits+recordings&fmt=json, with or without
// toc=...), the releases they name, and how a chosen release fills the disc
// record and the tag blocks.
//
// A disc the service knows comes back as a disc object whose "releases" each
// list their media; the medium of this disc is the one whose "discs" name the
// identifier. A disc it does not know, asked with its table of contents, comes
// back as {"releases": [...]} of releases with a medium of similar layout
// (a fuzzy match); the medium of this disc is then the first one with as many
// tracks as the disc has audio tracks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/DiscInfo.h"
#include "base/TagRecord.h"

namespace sv {

// MusicBrainz's "Various Artists", the release artist of compilations.
inline constexpr const char* kVariousArtistsId = "89ad4ac3-39f7-470e-963a-56509c546377";

// Limits on what a reply may hand over: releases kept (the rest is left out),
// the length of every text (cut at a character boundary), the tracks of a
// medium (a CD has at most 99), the nesting of the JSON text.
inline constexpr std::size_t kMaxMbReleases = 100;
inline constexpr std::size_t kMaxMbTextBytes = 1024;
inline constexpr std::size_t kMaxMbTracks = 99;
inline constexpr int kMaxMbJsonDepth = 64;

struct MbTrack {
    std::string title;
    std::string artist;  // the track's credits, else the release's
    int lengthMs = 0;    // 0: unknown
};

struct MbRelease {
    std::string id;
    std::string title;
    std::string artist;   // the credited names joined by their join phrases ("A feat. B")
    std::string date;     // "1994", "1994-08", "1994-08-22" or empty
    std::string year;     // the date's year or empty
    std::string country;  // "GB", "XW", ... or empty
    std::string format;   // of the disc's medium: "CD", "Enhanced CD", ...
    int mediumPosition = 0;
    int mediumCount = 0;
    std::string mediumTitle;
    // Various Artists is the release artist, or a track is credited to
    // someone other than the release artist.
    bool variousArtists = false;
    std::vector<MbTrack> tracks;  // the disc's medium, in order
};

struct MbReply {
    bool fuzzy = false;  // releases matched by the table of contents, not by the identifier
    std::vector<MbRelease> releases;
};

// Reads a reply. `discId` picks the medium of an exact match, `audioTracks`
// that of a fuzzy one; releases without such a medium are left out. Nothing,
// with the reason in `error`, for text that is not JSON, nested deeper than
// kMaxMbJsonDepth, without a "releases" list, or of the wrong shape (a release
// or medium that is not an object, media or tracks that are not lists). A
// field of the wrong type counts as missing.
std::optional<MbReply> ParseMusicBrainzReply(std::string_view json, std::string_view discId, int audioTracks,
                                             std::string& error);

// The "error" text of an error reply ({"error": "Not Found"}); empty when there is none.
std::string MusicBrainzErrorText(std::string_view json);

// What the chooser lists: "Artist / Title (year, country, format, n/m)", the
// medium number for sets of more than one medium, missing parts left out.
std::string MbChooserText(const MbRelease& release);

// Fills the disc record and the tag blocks from `release` as a CDDB match
// does: album, artist and year (when the release has them; the genre is left
// as it is), then the titles of the disc's audio tracks in order (all tracks
// when none is marked audio), as many as both have. Each titled track gets
// its tag block: title, artist, album, year, genre, track number, original
// artist. A Various Artists release marks the disc a compilation: the track
// titles of the record read "Artist / Title" like those of a CDDB
// compilation, and each tag block carries the track's own title and artist.
// Returns the number of tracks titled.
int ApplyMusicBrainzRelease(const MbRelease& release, DISC_INFO& disc, TagBlocks& tags);

}  // namespace sv
