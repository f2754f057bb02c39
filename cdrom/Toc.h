// The table of contents as the drive returns it (READ TOC format 0, addresses
// as MSF) and the disc layout built from it into DISC_INFO: start addresses,
// lengths, sizes, audio or data, with the correction for an enhanced CD whose
// data track sits in a second session.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Msf.h"
#include "cdrom/DriveCommands.h"

namespace sv {

// Sectors between the end of one session and the first track of the next:
// lead-out, lead-in (60 s) and pre-gap (2 s). The first session's lead-out
// lasts 90 s (152 s in all), a later session's 30 s (92 s in all).
inline constexpr int kMultisessionGap = 11400;
inline constexpr int kLaterSessionGap = 6900;
constexpr int SessionGapAfter(int session) { return session <= 1 ? kMultisessionGap : kLaterSessionGap; }

struct TocEntry {
    std::uint8_t adrControl = 0;
    std::uint8_t track = 0;
    Msf address;  // absolute
    int Control() const { return adrControl & 0x0F; }
    int Adr() const { return adrControl >> 4; }
    int Frames() const { return MsfToFrames(address); }
};

// The 804-byte TOC buffer: a 4-byte header and room for 100 descriptors.
class TocBuffer {
public:
    static constexpr int kMaxDescriptors = 100;
    std::uint8_t* Data() { return bytes_.data(); }
    const std::uint8_t* Data() const { return bytes_.data(); }
    void Clear() {
        bytes_.fill(0);
        sessions_.fill(0);
        sessionsKnown_ = false;
    }
    int DataLength() const { return (bytes_[0] << 8) | bytes_[1]; }
    int FirstTrack() const { return bytes_[2]; }
    int LastTrack() const { return bytes_[3]; }
    // Descriptor k (0..99); k outside reads as an empty entry.
    TocEntry Descriptor(int k) const;

    // The session of each track, as the drive's full TOC or session
    // information gave it; 0 while unknown (the drive answered neither).
    void SetSession(int trackNumber, int session);
    int Session(int trackNumber) const;
    bool SessionsKnown() const { return sessionsKnown_; }
    // Fills the sessions from a full-TOC reply (READ TOC format 2); false
    // when it holds no track point.
    bool ReadFullToc(const std::uint8_t* reply, std::size_t size);
    // Fills them from session information (format 1): the tracks from the
    // last session's first track on belong to that session, the others to
    // the first.
    bool ReadSessionInfo(const std::uint8_t* reply, std::size_t size);

private:
    std::array<std::uint8_t, kTocBytes> bytes_{};
    std::array<std::uint8_t, 100> sessions_{};
    bool sessionsKnown_ = false;
};

// The table of contents as a list: the tracks in disc order and the lead-out.
struct RawToc {
    int firstTrack = 0;
    int lastTrack = 0;
    std::vector<TocEntry> tracks;
    TocEntry leadout;
    // Absolute start frames of the tracks, then the lead-out.
    std::vector<int> Offsets() const;
};

// The number of track descriptors the buffer holds before its lead-out: the
// track numbers from first to last, as far as the data length and the buffer
// reach. 0 when the header makes no sense (no disc for the layout).
int TocTrackCount(const TocBuffer& toc);

// The tracks and lead-out of a buffer; false when it holds no track.
bool ParseToc(const TocBuffer& toc, RawToc& out);

// True for the CONTROL values of audio tracks: 0, 1, 2, 8, 9.
bool IsAudioControl(int control);

// Fills the layout into `disc` (zeroed by the caller): the track count, the
// base 150, the first track's number and, for every track and the lead-out
// pseudo-record, the start, length, size and kind; with `fromAlbumCache` the
// titles and end addresses the album cache supplied are kept. A data track
// that starts a later session is counted from where the session before it
// ended, and the track before it ends there: the gap between the sessions
// belongs to no track. Without session information from the drive, a data
// track a whole session gap after an audio track is taken for such a track.
// False when the buffer holds no track.
bool BuildLayout(const TocBuffer& toc, DISC_INFO& disc, bool fromAlbumCache);

// The index of the track that holds `lba` (start LBA(i) <= lba < start LBA(i+1),
// the lead-out record closing the last), or 255.
int TrackAtLba(const DISC_INFO& disc, std::int32_t lba);

// The lead-out record's start LBA as "MM:SS:FF".
std::string TotalTime(const DISC_INFO& disc);

// True when the disc record has at least one audio track.
bool HasAudioTrack(const DISC_INFO& disc);

}  // namespace sv
