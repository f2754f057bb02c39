// The AccurateRip database: the identifiers of a disc, the path of its file
// on the server, the reading of that file (one chunk per pressing of the
// disc) and the verdict on a grabbed track's checksums.
//
// The database keeps, for each pressing, every track's checksum with the
// number of submissions that agree on it (the confidence). A grab whose track
// checksum (either version of the checksum) equals one of them was read like
// the other submitters' copies.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "metadata/HttpSocket.h"

namespace sv {

inline constexpr const char* kDefaultAccurateRipHost = "www.accuraterip.com";
inline constexpr int kDefaultAccurateRipTimeoutMs = 10000;
// The largest database file accepted; a disc has a few dozen pressings of at
// most 13 + 99 x 9 bytes each.
inline constexpr std::size_t kMaxAccurateRipBytes = 256 * 1024;

struct AccurateRipIds {
    int audioTracks = 0;
    std::uint32_t id1 = 0;
    std::uint32_t id2 = 0;
    std::uint32_t cddb = 0;
};

// The identifiers of the disc in `disc` (its track entries and the lead-out
// entry at index TrackCount()):
// - only audio tracks count, numbered 1, 2, ... in disc order (a data track
//   before them, as on a mixed-mode CD, does not move their numbers);
// - id1 = the sum of the audio tracks' start LBAs plus the lead-out LBA;
// - id2 = the sum of start x number over the audio tracks (a start of 0
//   counts as 1) plus the lead-out LBA x (audio tracks + 1);
// - the lead-out is the disc's final one, also on an enhanced CD whose data
//   track follows in a second session (the database keys those discs by the
//   final lead-out, not by the end of the audio session);
// - cddb is the ordinary CDDB identifier of the whole disc, data tracks at
//   their real starts: the record's own identifier when it holds one
//   (StoreDiscId puts there the one computed from the drive's table of
//   contents), otherwise the one of the record's layout, where a data track
//   right after an audio track starts a session gap (11400 frames) after the
//   start the record gives it (the layout moves that start back to where the
//   audio session ends).
// All sums wrap around at 32 bits.
AccurateRipIds ComputeAccurateRipIds(const DISC_INFO& disc);

// "<c1>/<c2>/<c3>/dBAR-<nnn>-<id1>-<id2>-<cddb>.bin": the three lowest hex
// digits of id1, lowest first, the audio track count in three decimal digits,
// the identifiers in eight lower-case hex digits.
std::string AccurateRipPath(const AccurateRipIds& ids);
// "http://<server>/accuraterip/<path>".
std::string AccurateRipUrl(const std::string& server, const AccurateRipIds& ids);

struct ArTrackEntry {
    int confidence = 0;           // submissions that agree on the checksum
    std::uint32_t crc = 0;        // the track's checksum; 0: the pressing has none for it
    std::uint32_t frame450Crc = 0;
};

// One pressing of the disc: as many entries as the disc has audio tracks,
// following the disc's tracks from its first one. On a mixed-mode CD the data
// track 1 holds entry 0 (with no checksum) and the last audio track has none.
struct ArPressing {
    std::vector<ArTrackEntry> tracks;
};

// A database file: chunks of a track count byte, id1, id2 and the CDDB
// identifier (32-bit little-endian each), then per track a confidence byte,
// the checksum and the checksum of frame 450 (32-bit little-endian). Every
// chunk must be whole, have tracks, and carry the track count and identifiers
// of `expected`: a file with a chunk for another disc is refused whole, since
// the server was asked for this disc's file and what else it holds cannot be
// trusted. Nothing, with the reason in `error`, for an empty, oversized
// (beyond kMaxAccurateRipBytes) or refused file.
std::optional<std::vector<ArPressing>> ParseAccurateRipBin(std::string_view bytes, const AccurateRipIds& expected,
                                                           std::string& error);

struct ArTrackResult {
    enum Result { Accurate, Inaccurate, Unknown, Unchecked };
    Result result = Unchecked;
    int confidence = 0;      // Accurate: the confidence of the matching entry
    int version = 0;         // Accurate: 1 or 2, the checksum version that matched; else 0
    int bestConfidence = 0;  // the highest confidence any pressing has for the track
    std::string reason;      // Unchecked: why the track could not be checked
};

// The verdict on the track at index `track` of the disc record (0-based, data
// tracks counted) whose grab gave the checksums `v1` and `v2`. An entry counts
// when its checksum and its confidence are not 0. Accurate when a counting
// entry of any pressing equals either checksum; the confidence is the highest
// of the matching entries (the pressings are not added up: each reports its
// own submitters), version 2 winning a tie. Inaccurate when entries count but
// none matches; Unknown when no pressing has an entry that counts.
ArTrackResult MatchAccurateRip(std::span<const ArPressing> pressings, int track, std::uint32_t v1,
                               std::uint32_t v2);

struct ArLookup {
    enum class Status { Found, NotFound, NotChecked };
    Status status = Status::NotChecked;
    std::vector<ArPressing> pressings;  // Found: at least one
    std::string reason;                 // NotChecked: why
};

// Fetches the disc's file from `server` ("host", "host:port", "[v6]:port"),
// through `proxy` when it names one. Found with the pressings; NotFound when
// the server answers 404; NotChecked with the reason when the server cannot
// be reached, does not answer in time, answers another status, or sends a
// reply or file that cannot be read. Connecting and collecting the reply take
// at most `timeoutMs` together (0 or less: kDefaultAccurateRipTimeoutMs; the
// name lookup is the system's). `pump` keeps a window responsive and may
// cancel.
ArLookup FetchAccurateRip(const std::string& server, const AccurateRipIds& ids, const CddbProxy& proxy,
                          int timeoutMs, IEventPump* pump = nullptr);

// The verdict from a lookup: Unchecked with its reason when it was not
// checked, Unknown when the disc is not in the database.
ArTrackResult MatchAccurateRip(const ArLookup& lookup, int track, std::uint32_t v1, std::uint32_t v2);

}  // namespace sv
