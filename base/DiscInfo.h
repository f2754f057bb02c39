// DISC_INFO and TRACK_INFO: the disc in the drive.
//
// The same 14560 bytes are the album cache file, so the layout is a file
// format. A TRACK_INFO is 144 bytes; the disc record holds 100 of them, and the
// entry at index [track count] is the lead-out pseudo-record.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/Msf.h"
#include "base/Record.h"

namespace sv {

// Where the titles of a disc came from when it was read. An album cache record
// is the whole disc record as it was stored (timing included); a local
// database entry supplies texts only, laid over the drive's own layout.
enum AlbumSource : std::uint8_t { kNoAlbum = 0, kFromAlbumCache, kFromLocalDatabase };

template <class Storage>
class TrackInfoFields : public Storage {
public:
    using Storage::Storage;
    using Storage::kSize;
    static_assert(Storage::kSize == 144);
    SV_TEXT(Title, 0, 100)
    SV_MSF(StartMsf, 100)
    SV_MSF(LengthMsf, 103)
    SV_MSF(TrimStartMsf, 106)
    SV_INT(std::int32_t, StartLba, 112)
    SV_INT(std::uint32_t, SizeBytes, 116)
    SV_BOOL(TrimFlag, 121)
    SV_BOOL(DoneFlag, 122)
    SV_BOOL(AudioFlag, 123)
    SV_MSF(EndMsf, 124)
};

using TRACK_INFO = TrackInfoFields<OwnedBytes<144>>;   // a track entry as a value
using TrackInfoRef = TrackInfoFields<ViewBytes<144>>;  // a track entry inside a DISC_INFO

class DISC_INFO : public OwnedBytes<14560> {
public:
    static constexpr int kMaxTracks = 100;
    static constexpr std::size_t kTracks = 116;
    static constexpr std::size_t kTrackSize = 144;

    SV_TEXT(Album, 0, 50)
    SV_TEXT(Artist, 50, 50)
    SV_BOOL(Compilation, 100)
    // The disc's own number of its first track (a reserved byte of older
    // records, where it reads 0: their discs started at track 1).
    SV_INT(std::uint8_t, FirstTrackNumberField, 101)
    SV_INT(std::uint8_t, TrackCount, 104)
    SV_INT(std::uint32_t, DiscId, 108)
    SV_TEXT(Year, 14516, 10)
    SV_TEXT(Genre, 14526, 20)
    SV_TEXT(DiscIdText, 14546, 9)
    SV_INT(std::uint16_t, LbaBase, 14556)

    static_assert(kTracks + kTrackSize * kMaxTracks <= 14516);

    int FirstTrackNumber() const { return FirstTrackNumberField() == 0 ? 1 : FirstTrackNumberField(); }
    void SetFirstTrackNumber(std::uint8_t n) { SetFirstTrackNumberField(n); }
    // The number the disc gives track entry `index`.
    int TrackNumber(int index) const { return FirstTrackNumber() + index; }

    // Track entry i (0..99); indexes outside that range are clamped so that no
    // access ever leaves the record.
    TrackInfoRef Track(int i) { return TrackInfoRef(Data() + kTracks + kTrackSize * Clamp(i)); }
    TRACK_INFO TrackCopy(int i) const {
        TRACK_INFO t;
        std::copy_n(Data() + kTracks + kTrackSize * Clamp(i), kTrackSize, t.Data());
        return t;
    }
    void SetTrack(int i, const TRACK_INFO& t) {
        std::copy_n(t.Data(), kTrackSize, Data() + kTracks + kTrackSize * Clamp(i));
    }

private:
    static std::size_t Clamp(int i) { return static_cast<std::size_t>(i < 0 ? 0 : (i >= kMaxTracks ? kMaxTracks - 1 : i)); }
};

}  // namespace sv
