#include "app/AlbumEditor.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/TrackList.h"
#include "base/Language.h"
#include "base/Text.h"
#include "metadata/AlbumCache.h"
#include "metadata/FileIo.h"
#include "metadata/XmcdEntry.h"

namespace fs = std::filesystem;

namespace sv {

namespace {

constexpr std::uintmax_t kMaxTagFile = 64u << 20;

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v % 100);
    return buf;
}

// Reads an album file the way the cache loads it; false when the file is not
// an album file of either size.
bool ReadAlbum(const std::string& path, TNodeData& node) {
    std::string bytes;
    if (!ReadWholeFile(path, 4 * TAlbumCache::kAlbumFileSize, bytes)) return false;
    if (bytes.size() == TAlbumCache::kLegacyFileSize) {
        TAlbumCache::ConvertLegacy(bytes, node.record);
    } else if (bytes.size() == TAlbumCache::kAlbumFileSize) {
        std::copy(bytes.begin(), bytes.end(), node.record.Data());
    } else {
        return false;
    }
    const std::size_t tagBytes = static_cast<std::size_t>(node.record.TrackCount()) * kTagRecordSize;
    auto& raw = node.tags.Raw();
    raw.assign(tagBytes, 0);
    std::string tagFile;
    if (ReadWholeFile(node.tagFile, kMaxTagFile, tagFile))
        std::copy_n(tagFile.begin(), std::min(tagBytes, tagFile.size()), raw.begin());
    return true;
}

}  // namespace

TAlbumEditor::TAlbumEditor(std::string folder, IUserDialogs& dialogs) : folder_(std::move(folder)), dialogs_(dialogs) {}

TAlbumEditor::~TAlbumEditor() { Close(); }

std::vector<std::string> TAlbumEditor::Load() {
    std::vector<std::string> damaged;
    TAlbumCache cache;
    cache.SetFolder(folder_);
    for (const auto& file : cache.AlbumFiles()) {
        auto node = std::make_unique<TNodeData>();
        node->albumFile = file;
        node->tagFile = TAlbumCache::TagFileName(file);
        if (!ReadAlbum(file, *node)) {
            damaged.push_back(file);
            continue;
        }
        AddAlbum(std::move(node));
    }
    return damaged;
}

void TAlbumEditor::AddAlbum(std::unique_ptr<TNodeData> album) {
    const std::string artist = album->record.Artist();
    for (auto& a : artists_) {
        if (EqualsIgnoreCase(a->text, artist)) {
            a->albums.push_back(std::move(album));
            return;
        }
    }
    auto node = std::make_unique<ArtistNode>();
    node->text = artist;
    node->albums.push_back(std::move(album));
    artists_.push_back(std::move(node));
}

ArtistNode* TAlbumEditor::ArtistOf(const TNodeData* album) const {
    for (const auto& a : artists_)
        for (const auto& n : a->albums)
            if (n.get() == album) return a.get();
    return nullptr;
}

std::vector<AlbumTrackRow> TAlbumEditor::TrackRows(const TNodeData& album) {
    std::vector<AlbumTrackRow> rows;
    const int count = std::min<int>(album.record.TrackCount(), DISC_INFO::kMaxTracks);
    for (int i = 0; i < count; ++i) {
        const TRACK_INFO t = album.record.TrackCopy(i);
        AlbumTrackRow row;
        row.title = t.Title();
        const Msf len = t.LengthMsf();
        row.length = TwoDigits(len.m) + ":" + TwoDigits(len.s) + ":" + TwoDigits(len.f);
        row.size = MegabytesText(static_cast<double>(t.SizeBytes()));
        row.image = !t.AudioFlag() ? 3 : (t.DoneFlag() ? 2 : 1);
        rows.push_back(std::move(row));
    }
    return rows;
}

bool TAlbumEditor::RenameTrack(TNodeData& album, int track, const std::string& title) {
    if (track < 0 || track >= std::min<int>(album.record.TrackCount(), DISC_INFO::kMaxTracks)) return false;
    if (title.size() > MaxTrackTitleBytes() || title.find('\0') != std::string::npos) return false;
    album.record.Track(track).SetTitle(title);
    album.modified = true;
    return true;
}

bool TAlbumEditor::RenameAlbum(TNodeData& album, const std::string& title) {
    if (title.size() > MaxAlbumBytes() || title.find('\0') != std::string::npos) return false;
    album.record.SetAlbum(title);
    album.modified = true;
    return true;
}

bool TAlbumEditor::RenameArtist(ArtistNode& artist, const std::string& text) {
    if (text.size() > MaxArtistBytes() || text.find('\0') != std::string::npos) return false;
    artist.text = text;
    for (auto& album : artist.albums) {
        album->record.SetArtist(text);
        album->modified = true;
    }
    return true;
}

void TAlbumEditor::SetCompilation(TNodeData& album, bool on) {
    if (album.record.Compilation() == on) return;
    album.record.SetCompilation(on);
    album.modified = true;
}

bool TAlbumEditor::DeleteAlbum(TNodeData& album) {
    ArtistNode* artist = ArtistOf(&album);
    if (!artist) return false;
    if (!dialogs_.AskYesNo(LangMessage(37), MessageIcon::Question)) return false;
    std::error_code ec;
    fs::remove(album.albumFile, ec);
    fs::remove(album.tagFile, ec);
    album.modified = false;
    auto& list = artist->albums;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& n) { return n.get() == &album; }), list.end());
    return true;
}

bool TAlbumEditor::DeleteArtist(ArtistNode& artist) {
    const auto it = std::find_if(artists_.begin(), artists_.end(), [&](const auto& a) { return a.get() == &artist; });
    if (it == artists_.end()) return false;
    if (!dialogs_.AskYesNo(LangMessage(38), MessageIcon::Question)) return false;
    for (auto& album : artist.albums) {
        std::error_code ec;
        fs::remove(album->albumFile, ec);
        fs::remove(album->tagFile, ec);
        album->modified = false;
    }
    artists_.erase(it);
    return true;
}

bool TAlbumEditor::WriteBack(TNodeData& album) {
    if (!album.modified) return true;
    album.modified = false;
    const auto record = album.record.Bytes();
    if (!ReplaceFile(album.albumFile, std::string_view(reinterpret_cast<const char*>(record.data()), record.size())))
        return false;
    auto& raw = album.tags.Raw();
    raw.resize(static_cast<std::size_t>(album.record.TrackCount()) * kTagRecordSize, 0);
    if (raw.empty()) return true;
    return ReplaceFile(album.tagFile, std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()));
}

std::vector<std::string> TAlbumEditor::Close() {
    std::vector<std::string> failed;
    for (auto& artist : artists_)
        for (auto& album : artist->albums)
            if (!WriteBack(*album)) failed.push_back(album->albumFile);
    artists_.clear();
    return failed;
}

}  // namespace sv
