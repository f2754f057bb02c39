// The per-track tag record: 1489 bytes, the source of ID3v2 frames, Vorbis
// comments and WMA attributes, and the ".tag" part of an album cache file.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Record.h"

namespace sv {

template <class Storage>
class TagRecordFields : public Storage {
public:
    using Storage::Storage;
    using Storage::kSize;
    static_assert(Storage::kSize == 1489);
    SV_BOOL(Present, 0)
    SV_TEXT(Title, 1, 50)
    SV_TEXT(Artist, 51, 50)
    SV_TEXT(Album, 101, 50)
    SV_TEXT(Comment, 151, 1024)
    SV_TEXT(TrackNumber, 1175, 4)
    SV_TEXT(Url, 1179, 50)
    SV_TEXT(EncodedBy, 1229, 50)
    SV_TEXT(Copyright, 1279, 50)
    SV_TEXT(OriginalArtist, 1329, 50)
    SV_TEXT(Composer, 1379, 50)
    SV_TEXT(Genre, 1429, 50)
    SV_TEXT(Year, 1479, 10)
};

using TagRecord = TagRecordFields<OwnedBytes<1489>>;
using TagRecordRef = TagRecordFields<ViewBytes<1489>>;

inline constexpr std::size_t kTagRecordSize = 1489;

// One tag block per track of the current disc, kept at count x 1489 bytes;
// a change of count reallocates the array zero-filled.
class TagBlocks {
public:
    void EnsureCount(int count) {
        const std::size_t want = static_cast<std::size_t>(count < 0 ? 0 : count) * kTagRecordSize;
        if (bytes_.size() != want) bytes_.assign(want, 0);
    }
    int Count() const { return static_cast<int>(bytes_.size() / kTagRecordSize); }
    // Block of track i, allocating the array on demand when i is beyond it.
    TagRecordRef Block(int i) {
        if (i < 0) i = 0;
        if (i >= Count()) bytes_.resize(static_cast<std::size_t>(i + 1) * kTagRecordSize, 0);
        return TagRecordRef(bytes_.data() + static_cast<std::size_t>(i) * kTagRecordSize);
    }
    std::vector<std::uint8_t>& Raw() { return bytes_; }
    const std::vector<std::uint8_t>& Raw() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace sv
