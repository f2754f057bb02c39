// TAlbumCache: the program's own store of every disc it has seen.
//
// Per disc two files in the albums folder, named after the identifier as a
// signed decimal number: "<id>.dat" holds the 14560-byte disc record and
// "<id>.dat.tag" the track tag records (tracks x 1489 bytes). Files of 9360
// bytes are the older form with 92-byte track entries and are converted on
// load. Unless the own-base-only option is set, the local xmcd database is
// written alongside and asked when the cache has no file for a disc.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/DiscInfo.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"
#include "metadata/LocalCddb.h"

namespace sv {

class TAlbumCache {
public:
    static constexpr std::size_t kAlbumFileSize = DISC_INFO::kSize;
    static constexpr std::size_t kLegacyFileSize = 9360;

    // "setting/albums/" in the data folder.
    static std::string DefaultFolder();

    void SetFolder(std::string folder);
    const std::string& Folder() const { return folder_; }
    void SetLocalDatabase(TLocalCDDB* db) { localDb_ = db; }
    void SetOwnBaseOnly(bool on) { ownBaseOnly_ = on; }
    bool OwnBaseOnly() const { return ownBaseOnly_; }

    std::string AlbumFileName(std::uint32_t id) const;
    static std::string TagFileName(const std::string& albumFile) { return albumFile + ".tag"; }

    // Fills the record (and the tag blocks) of the disc `id` from its album
    // file, or from the local database when there is no album file, and says
    // which of them supplied it (kNoAlbum: neither). A damaged album file
    // (neither 14560 nor 9360 bytes long, or shorter) counts as no file and
    // changes nothing.
    AlbumSource LoadAlbum(DISC_INFO& disc, TagBlocks& tags, std::uint32_t id) const;

    // Saves the disc unless both the artist and the album field are empty:
    // the local database entry, the artist into `artistList` (when given and
    // not yet there), the album file and, when there are tag blocks, the tag
    // file. False when nothing was saved or the album file could not be written.
    bool SaveAlbum(const DISC_INFO& disc, const TagBlocks& tags, std::string_view artistField,
                   std::string_view albumField, std::vector<std::string>* artistList) const;

    // The album files of the folder ("*.dat"), in name order.
    std::vector<std::string> AlbumFiles() const;

    // Replaces `list` by the artists of all album files (letter case ignored
    // when comparing).
    void ListArtists(std::vector<std::string>& list) const;

    // Converts a 9360-byte album file into the current record.
    static bool ConvertLegacy(std::string_view bytes, DISC_INFO& disc);

private:
    std::string folder_;
    TLocalCDDB* localDb_ = nullptr;
    bool ownBaseOnly_ = false;
};

// Hands the settings' local database folder, file-name format and own-base-only
// option to the local database and the album cache.
void ApplyMetadataSettings(const TProgramSettings& settings, TLocalCDDB& localDb, TAlbumCache& albums);

// The artist drop-down list of a start-up: the album cache's artists, then,
// unless the own-base-only option is set, those of the local database.
std::vector<std::string> GatherArtists(const TAlbumCache& albums, const TLocalCDDB& localDb,
                                       const TLocalCDDB::Progress& progress = {});

}  // namespace sv
