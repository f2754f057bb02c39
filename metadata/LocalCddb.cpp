#include "metadata/LocalCddb.h"

#include <algorithm>
#include <filesystem>

#include "base/Text.h"
#include "metadata/DiscId.h"
#include "base/FileIo.h"
#include "metadata/XmcdEntry.h"

namespace fs = std::filesystem;

namespace sv {
namespace {

bool ReadEntry(const std::string& path, XmcdEntry& entry) {
    std::string text;
    if (!ReadWholeFile(path, TLocalCDDB::kMaxFileBytes, text)) return false;
    // The first line of a file is its "#FILENAME=" or "# xmcd" header and is never data.
    entry = XmcdEntry::Parse(text, true);
    return true;
}

}  // namespace

void TLocalCDDB::SetRoot(const std::string& folder) {
    root_ = folder;
    if (root_.empty()) return;
    if (root_.back() != '/') root_ += '/';
    std::error_code ec;
    fs::create_directories(root_, ec);
    for (const auto& genre : kLocalCddbGenres) fs::create_directory(root_ + genre.folder, ec);
}

const char* TLocalCDDB::FolderForGenre(std::string_view genre) {
    for (const auto& g : kLocalCddbGenres)
        if (genre == g.folder || genre == g.display) return g.folder;
    return kLocalCddbGenres.back().folder;
}

std::string TLocalCDDB::FileNameOnly(std::uint32_t id) const {
    return unixFormat_ ? DiscIdUpperHex(id) : DiscIdWindowsName(id);
}

std::string TLocalCDDB::FileNameFor(std::string_view genre, std::uint32_t id) const {
    if (root_.empty()) return {};
    return root_ + FolderForGenre(genre) + "/" + FileNameOnly(id);
}

std::vector<std::string> TLocalCDDB::Search(std::uint32_t id, std::vector<std::string>* list, bool firstOnly) const {
    std::vector<std::string> found;
    if (root_.empty()) return found;
    const std::string windowsName = AsciiLower(DiscIdWindowsName(id));
    const std::string unixName = DiscIdLowerHex(id);
    const std::string decimalName = std::to_string(id);
    for (const auto& genre : kLocalCddbGenres) {
        const std::string folder = root_ + genre.folder + "/";
        std::error_code ec;
        std::vector<std::string> names;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (it->is_directory(typeError)) continue;
            names.push_back(it->path().filename().string());
        }
        // A missing or unreadable genre folder is passed over; the others are still searched.
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            if (list) list->push_back(folder + name);
            if (id == 0) continue;
            const std::string lower = AsciiLower(name);
            if (lower == windowsName || lower == unixName || name == decimalName) {
                found.push_back(folder + name);
                if (firstOnly) return found;
            }
        }
    }
    return found;
}

std::string TLocalCDDB::Find(std::uint32_t id, std::vector<std::string>* list) const {
    const auto found = Search(id, list, true);
    return found.empty() ? std::string() : found.front();
}

bool TLocalCDDB::LoadFile(const std::string& path, DISC_INFO& disc) const {
    XmcdEntry entry;
    if (!ReadEntry(path, entry)) return false;
    ApplyXmcdEntry(entry, disc, DISC_INFO::kMaxTracks, nullptr);
    return true;
}

bool TLocalCDDB::LoadById(std::uint32_t id, DISC_INFO& disc) const {
    // Several discs may share a Windows-format name, so every file that may
    // hold this disc is tried in turn until one names it in its DISCID line.
    for (const std::string& path : Search(id, nullptr, false)) {
        XmcdEntry entry;
        if (!ReadEntry(path, entry)) continue;
        if (const std::string* listed = entry.Value("DISCID"); listed && !DiscIdListNames(*listed, id)) continue;
        ApplyXmcdEntry(entry, disc, DISC_INFO::kMaxTracks, nullptr);
        return true;
    }
    return false;
}

std::string TLocalCDDB::EntryText(const DISC_INFO& disc) {
    const int n = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks);
    const std::string id = DiscIdLowerHex(disc.DiscId());
    std::string out;
    auto line = [&out](std::string_view text) {
        out.append(text);
        out.append("\r\n");
    };
    line("#FILENAME=" + id);
    line("# xmcd CD database file");
    line("#");
    line("# Track frame offsets:");
    long long frames = 150;
    for (int k = 0; k < n; ++k) {
        const TRACK_INFO track = disc.TrackCopy(k);
        line("#\t" + std::to_string(static_cast<std::uint32_t>(std::int64_t{track.StartLba()} + 150)));
        frames += MsfToFrames(track.LengthMsf());
    }
    line("#");
    line("# Disc length: " + std::to_string(frames / 75) + " seconds");
    line("#");
    line("# Revision: 1");
    line("# Submitted via: Sornaval v3.4a");
    line("#");
    line("DISCID=" + id);
    line("DTITLE=" + EncodeXmcdEscapes(disc.Artist()) + " / " + EncodeXmcdEscapes(disc.Album()));
    line("DYEAR=" + EncodeXmcdEscapes(disc.Year()));
    line("DGENRE=" + EncodeXmcdEscapes(disc.Genre()));
    for (int k = 0; k < n; ++k)
        line("TTITLE" + std::to_string(k) + "=" + EncodeXmcdEscapes(disc.TrackCopy(k).Title()));
    for (int k = 0; k < n; ++k) line("EXTT" + std::to_string(k) + "=");
    line("PLAYORDER=");
    return out;
}

bool TLocalCDDB::Save(const DISC_INFO& disc) const {
    const std::string path = FileNameFor(disc.Genre(), disc.DiscId());
    if (path.empty()) return false;
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    return ReplaceFile(path, EntryText(disc));
}

void TLocalCDDB::CollectArtists(std::vector<std::string>& names, const Progress& progress) const {
    std::vector<std::string> files;
    Find(0, &files);
    const int total = static_cast<int>(files.size());
    if (progress) progress(-1, total);
    for (int i = 0; i < total; ++i) {
        DISC_INFO scratch;
        if (LoadFile(files[static_cast<std::size_t>(i)], scratch)) AddUniqueIgnoreCase(names, scratch.Artist());
        if (progress) progress(i, total);
    }
}

}  // namespace sv
