#include "metadata/AlbumCache.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/Paths.h"
#include "base/Text.h"
#include "metadata/DiscId.h"
#include "base/FileIo.h"
#include "metadata/XmcdEntry.h"

namespace fs = std::filesystem;

namespace sv {
namespace {

constexpr std::size_t kLegacyHeader = 113;
constexpr std::size_t kLegacyTrackSize = 92;
constexpr std::size_t kLegacyTitle = 50;
constexpr std::size_t kLegacyTrackRest = 42;
constexpr std::size_t kLegacyTail = 9316;
constexpr std::size_t kTailSize = 41;
constexpr std::size_t kTail = 14516;
constexpr std::size_t kTrackRest = 100;
constexpr std::size_t kArtistBytes = 50;

}  // namespace

std::string TAlbumCache::DefaultFolder() { return SettingsFolder() + "albums/"; }

void TAlbumCache::SetFolder(std::string folder) { folder_ = folder.empty() ? folder : WithTrailingSlash(folder); }

std::string TAlbumCache::AlbumFileName(std::uint32_t id) const {
    return folder_ + DiscIdSignedDecimal(id) + ".dat";
}

bool TAlbumCache::ConvertLegacy(std::string_view bytes, DISC_INFO& disc) {
    if (bytes.size() != kLegacyFileSize) return false;
    const auto* src = reinterpret_cast<const std::uint8_t*>(bytes.data());
    disc.Clear();
    std::memcpy(disc.Data(), src, kLegacyHeader);
    const int count = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks);
    for (int k = 0; k < count; ++k) {
        const std::uint8_t* entry = src + DISC_INFO::kTracks + kLegacyTrackSize * static_cast<std::size_t>(k);
        std::uint8_t* target = disc.Track(k).Data();
        std::memcpy(target, entry, kLegacyTitle);
        std::memcpy(target + kTrackRest, entry + kLegacyTitle, kLegacyTrackRest);
    }
    std::memcpy(disc.Data() + kTail, src + kLegacyTail, kTailSize);
    return true;
}

AlbumSource TAlbumCache::LoadAlbum(DISC_INFO& disc, TagBlocks& tags, std::uint32_t id) const {
    if (folder_.empty()) return kNoAlbum;
    const std::string albumFile = AlbumFileName(id);
    std::error_code ec;
    if (!fs::exists(albumFile, ec)) {
        if (ownBaseOnly_ || !localDb_ || !localDb_->LoadById(id, disc)) return kNoAlbum;
        tags.Raw().assign(static_cast<std::size_t>(disc.TrackCount()) * kTagRecordSize, 0);
        return kFromLocalDatabase;
    }
    std::string bytes;
    if (!ReadWholeFile(albumFile, 4 * kAlbumFileSize, bytes)) return kNoAlbum;
    if (bytes.size() == kLegacyFileSize) {
        ConvertLegacy(bytes, disc);
    } else if (bytes.size() >= kAlbumFileSize) {
        std::memcpy(disc.Data(), bytes.data(), kAlbumFileSize);
    } else {
        return kNoAlbum;
    }
    const std::size_t tagBytes = static_cast<std::size_t>(disc.TrackCount()) * kTagRecordSize;
    std::vector<std::uint8_t> buffer(tagBytes, 0);
    std::string tagFile;
    if (ReadWholeFile(TagFileName(albumFile), 64u << 20, tagFile))
        std::copy_n(tagFile.data(), std::min(tagBytes, tagFile.size()), buffer.data());
    tags.Raw() = std::move(buffer);
    return kFromAlbumCache;
}

bool TAlbumCache::SaveAlbum(const DISC_INFO& disc, const TagBlocks& tags, std::string_view artistField,
                            std::string_view albumField, std::vector<std::string>* artistList) const {
    if (artistField.empty() && albumField.empty()) return false;
    if (!ownBaseOnly_ && localDb_) localDb_->Save(disc);
    if (artistList && !artistField.empty() &&
        std::find(artistList->begin(), artistList->end(), artistField) == artistList->end())
        artistList->emplace_back(artistField);
    if (folder_.empty()) return false;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    const std::string albumFile = AlbumFileName(disc.DiscId());
    const auto record = disc.Bytes();
    if (!ReplaceFile(albumFile, std::string_view(reinterpret_cast<const char*>(record.data()), record.size())))
        return false;
    if (!tags.Raw().empty()) {
        const auto& raw = tags.Raw();
        ReplaceFile(TagFileName(albumFile), std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()));
    }
    return true;
}

std::vector<std::string> TAlbumCache::AlbumFiles() const {
    std::vector<std::string> files;
    if (folder_.empty()) return files;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->path().extension() == ".dat" && it->is_regular_file(typeError)) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void TAlbumCache::ListArtists(std::vector<std::string>& list) const {
    list.clear();
    for (const auto& file : AlbumFiles()) {
        std::string bytes;
        if (!ReadWholeFile(file, 4 * kAlbumFileSize, bytes)) continue;
        if (bytes.size() < DISC_INFO::kArtist + kArtistBytes) continue;
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data()) + DISC_INFO::kArtist;
        AddUniqueIgnoreCase(list, ReadFixedText(p, kArtistBytes));
    }
}

void ApplyMetadataSettings(const TProgramSettings& settings, TLocalCDDB& localDb, TAlbumCache& albums) {
    localDb.SetUnixFormat(settings.LocalCddbUnix());
    if (localDb.Root() != WithTrailingSlash(settings.LocalCddbDir()) || settings.LocalCddbDir().empty())
        localDb.SetRoot(settings.LocalCddbDir());
    albums.SetLocalDatabase(&localDb);
    albums.SetOwnBaseOnly(settings.LocalCddbOnly());
}

std::vector<std::string> GatherArtists(const TAlbumCache& albums, const TLocalCDDB& localDb,
                                       const TLocalCDDB::Progress& progress) {
    std::vector<std::string> list;
    albums.ListArtists(list);
    if (!albums.OwnBaseOnly()) localDb.CollectArtists(list, progress);
    return list;
}

}  // namespace sv
