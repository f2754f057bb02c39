// TLocalCDDB: the local database of xmcd files, one folder per CDDB genre
// category under a root folder, one file per disc.
//
// Windows-format file names keep the first two hexadecimal digits of the
// identifier twice ("A5toA5"), so two discs that share them share the file;
// Unix-format names are the whole identifier ("A5102B0C").
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/DiscInfo.h"

namespace sv {

struct LocalCddbGenre {
    const char* folder;
    const char* display;
};

inline constexpr std::array<LocalCddbGenre, 11> kLocalCddbGenres = {{
    {"blues", "Blues"},
    {"classical", "Classical"},
    {"country", "Country"},
    {"folk", "Folk"},
    {"jazz", "Jazz"},
    {"newage", "New Age"},
    {"reggae", "Reggae"},
    {"rock", "Rock"},
    {"soundtrack", "Soundtrack"},
    {"data", "Data"},
    {"misc", "Other"},
}};

class TLocalCDDB {
public:
    // Larger files are not read.
    static constexpr std::uintmax_t kMaxFileBytes = 1u << 20;

    // Stores the root (adding "/" when missing) and creates it and the genre
    // folders where they are missing. An empty root switches the database off.
    void SetRoot(const std::string& folder);
    const std::string& Root() const { return root_; }
    void SetUnixFormat(bool on) { unixFormat_ = on; }
    bool UnixFormat() const { return unixFormat_; }

    // The genre folder for a genre text: exact match with a folder or display
    // name, "misc" otherwise.
    static const char* FolderForGenre(std::string_view genre);
    // The file name of a disc in the current format.
    std::string FileNameOnly(std::uint32_t id) const;
    // The path of the file that holds this disc; empty without a root.
    std::string FileNameFor(std::string_view genre, std::uint32_t id) const;

    // Searches the genre folders for the disc's file (Windows-format name,
    // eight-digit name or unsigned decimal name, letter case ignored). With
    // `list` every file is appended to it; identifier 0 only lists.
    std::string Find(std::uint32_t id, std::vector<std::string>* list = nullptr) const;
    // Reads one xmcd file into the record: album, artist, year, genre and track
    // titles. False when the file cannot be read.
    bool LoadFile(const std::string& path, DISC_INFO& disc) const;
    // Finds and loads the disc's file. A file that names other discs in its
    // DISCID line (another disc that shares a Windows-format name) is passed
    // over and the search goes on through the other candidates.
    bool LoadById(std::uint32_t id, DISC_INFO& disc) const;
    // Writes the record's xmcd file (replacing the previous one). False when
    // there is no root or the file cannot be written.
    bool Save(const DISC_INFO& disc) const;
    // The xmcd text that Save writes.
    static std::string EntryText(const DISC_INFO& disc);

    // Adds the artist of every file to `names` unless an equal one (ignoring
    // letter case) is there. `progress` is told the number of files first
    // (index -1) and then the index of each file as it is done.
    using Progress = std::function<void(int index, int total)>;
    void CollectArtists(std::vector<std::string>& names, const Progress& progress = {}) const;

private:
    // The files whose names may hold disc `id`, in search order (genre
    // folders in turn, names sorted); every file visited goes into `list`.
    std::vector<std::string> Search(std::uint32_t id, std::vector<std::string>* list, bool firstOnly) const;

    std::string root_;
    bool unixFormat_ = false;
};

}  // namespace sv
