// The logic of the local CDDB editor (TCDDBEditForm): every album of the album
// cache in memory as a tree of artists and their albums, edited there and
// written back only when an album leaves the tree (closing the editor removes
// them all). Deleting an album deletes its files after a question.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/TagRecord.h"

namespace sv {

// One album node's payload.
struct TNodeData {
    TagBlocks tags;          // tracks x 1489 bytes
    std::string albumFile;   // ".dat"
    std::string tagFile;     // album file + ".tag"
    DISC_INFO record;        // the 14560-byte disc record
    bool modified = false;   // must be written back
};

struct ArtistNode {
    std::string text;
    std::vector<std::unique_ptr<TNodeData>> albums;
};

// One row of an album's track list.
struct AlbumTrackRow {
    std::string title;
    std::string length;  // "MM:SS:FF"
    std::string size;    // "%2.2f Mb"
    int image = 1;       // 1 not done, 2 done, 3 data track (as the main track list)
};

class TAlbumEditor {
public:
    // `folder` is the album cache folder; `dialogs` asks the delete questions.
    TAlbumEditor(std::string folder, IUserDialogs& dialogs);
    ~TAlbumEditor();
    TAlbumEditor(const TAlbumEditor&) = delete;
    TAlbumEditor& operator=(const TAlbumEditor&) = delete;

    // Reads every ".dat" file of the folder into the tree. Files that are not
    // album files (unreadable, or neither the current nor the older size) are
    // left out and untouched; their paths are returned.
    std::vector<std::string> Load();

    const std::vector<std::unique_ptr<ArtistNode>>& Artists() const { return artists_; }
    ArtistNode* ArtistOf(const TNodeData* album) const;

    static std::vector<AlbumTrackRow> TrackRows(const TNodeData& album);
    // The longest texts that fit: track title, album title, artist.
    static std::size_t MaxTrackTitleBytes() { return TrackInfoRef::kTitleSize - 1; }
    static std::size_t MaxAlbumBytes() { return DISC_INFO::kAlbumSize - 1; }
    static std::size_t MaxArtistBytes() { return DISC_INFO::kArtistSize - 1; }

    // Renames; false (and nothing changed) when the text does not fit.
    bool RenameTrack(TNodeData& album, int track, const std::string& title);
    bool RenameAlbum(TNodeData& album, const std::string& title);
    bool RenameArtist(ArtistNode& artist, const std::string& text);
    void SetCompilation(TNodeData& album, bool on);
    // The ID3 editor stored into the album's tag records.
    void TagsEdited(TNodeData& album) { album.modified = true; }

    // Ask R37 / R38; on Yes delete the files and the nodes. True when deleted.
    bool DeleteAlbum(TNodeData& album);
    bool DeleteArtist(ArtistNode& artist);

    // Removes every node, writing back the modified albums. Returns the album
    // files that could not be written.
    std::vector<std::string> Close();

private:
    void AddAlbum(std::unique_ptr<TNodeData> album);
    // Writes the album back when it was modified; false on a failed write.
    static bool WriteBack(TNodeData& album);

    std::string folder_;
    IUserDialogs& dialogs_;
    std::vector<std::unique_ptr<ArtistNode>> artists_;
};

}  // namespace sv
