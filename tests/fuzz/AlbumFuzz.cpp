// Album cache files: the first byte chooses the album file's form (0: the
// 14560-byte record, 1: the 9360-byte older form, else: the rest of the
// input as a damaged file), the bytes after the album file are its tag file.
// A loaded disc is written out as the local database's xmcd text.
#include <string>

#include "FuzzSupport.h"
#include "metadata/AlbumCache.h"
#include "metadata/LocalCddb.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest = svfuzz::AsText(data + 1, size - 1);
    sv::TAlbumCache albums;
    albums.SetFolder(svfuzz::TempFolder());
    albums.SetOwnBaseOnly(true);
    const std::uint32_t id = 0x9500E609;
    const std::string albumFile = albums.AlbumFileName(id);
    const std::size_t albumSize = data[0] == 0   ? sv::TAlbumCache::kAlbumFileSize
                                  : data[0] == 1 ? sv::TAlbumCache::kLegacyFileSize
                                                 : rest.size();
    const std::size_t cut = std::min(albumSize, rest.size());
    svfuzz::WriteTempFile(albumFile.substr(svfuzz::TempFolder().size()), rest.substr(0, cut));
    std::remove(sv::TAlbumCache::TagFileName(albumFile).c_str());
    if (cut < rest.size())
        svfuzz::WriteTempFile(sv::TAlbumCache::TagFileName(albumFile).substr(svfuzz::TempFolder().size()),
                              rest.substr(cut));
    sv::DISC_INFO disc;
    sv::TagBlocks tags;
    if (albums.LoadAlbum(disc, tags, id)) sv::TLocalCDDB::EntryText(disc);
    std::vector<std::string> artists;
    albums.ListArtists(artists);
    return 0;
}
