// The album cache: file names, the files byte for byte, the legacy layout, the
// tag file, the own-base-only option and the artist list.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/Bytes.h"
#include "metadata/AlbumCache.h"
#include "metadata/DiscId.h"
#include "metadata/XmcdEntry.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string RecordBytes(const sv::DISC_INFO& disc) {
    return std::string(reinterpret_cast<const char*>(disc.Data()), sv::DISC_INFO::kSize);
}

class AlbumCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        localDb.SetRoot(dir.Slash() + "LocalCDDB");
        albums.SetFolder(dir.Slash() + "albums");
        albums.SetLocalDatabase(&localDb);
        sv::StoreDiscId(disc, 0x9500E609);
        disc.SetTrackCount(3);
        disc.SetArtist("Аквариум");
        disc.SetAlbum("Равноденствие");
        disc.SetYear("1987");
        disc.SetGenre("rock");
        disc.SetLbaBase(150);
        for (int k = 0; k < 3; ++k) {
            disc.Track(k).SetTitle("Song " + std::to_string(k + 1));
            disc.Track(k).SetStartLba(k * 15000);
            disc.Track(k).SetLengthMsf({3, 20, 0});
        }
        disc.Data()[112] = 0x5A;  // a reserved byte survives a save and a load
        tags.EnsureCount(3);
        tags.Block(2).SetPresent(true);
        tags.Block(2).SetComment("comment of track 3");
    }
    std::string Albums() const { return dir.Slash() + "albums/"; }

    svtest::TempDir dir;
    sv::TLocalCDDB localDb;
    sv::TAlbumCache albums;
    sv::DISC_INFO disc;
    sv::TagBlocks tags;
    std::vector<std::string> artists;
};

TEST_F(AlbumCacheTest, FilesAreNamedBySignedIdentifierAndHoldTheRecords) {
    EXPECT_EQ(albums.AlbumFileName(0x9500E609), Albums() + "-1795103223.dat");
    ASSERT_TRUE(albums.SaveAlbum(disc, tags, disc.Artist(), disc.Album(), &artists));
    EXPECT_EQ(svtest::ReadFileBytes(Albums() + "-1795103223.dat"), RecordBytes(disc));
    EXPECT_EQ(svtest::ReadFileBytes(Albums() + "-1795103223.dat.tag"),
              std::string(reinterpret_cast<const char*>(tags.Raw().data()), 3 * 1489));
    EXPECT_TRUE(fs::exists(dir.Path() / "LocalCDDB/rock/95to95"));
    EXPECT_EQ(artists, std::vector<std::string>{"Аквариум"});

    sv::DISC_INFO loaded;
    sv::TagBlocks loadedTags;
    ASSERT_TRUE(albums.LoadAlbum(loaded, loadedTags, 0x9500E609));
    EXPECT_EQ(RecordBytes(loaded), RecordBytes(disc));
    EXPECT_EQ(loadedTags.Raw(), tags.Raw());
}

TEST_F(AlbumCacheTest, EmptyFieldsSaveNothing) {
    EXPECT_FALSE(albums.SaveAlbum(disc, tags, "", "", &artists));
    EXPECT_FALSE(fs::exists(Albums()));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "LocalCDDB/rock"));
    EXPECT_TRUE(artists.empty());
}

TEST_F(AlbumCacheTest, ArtistListUsesExactComparison) {
    artists = {"аквариум"};
    albums.SaveAlbum(disc, tags, "Аквариум", "", &artists);
    albums.SaveAlbum(disc, tags, "Аквариум", "x", &artists);
    EXPECT_EQ(artists, (std::vector<std::string>{"аквариум", "Аквариум"}));
}

TEST_F(AlbumCacheTest, LegacyFileIsConverted) {
    std::string legacy(9360, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(legacy.data());
    std::memcpy(p, "Old Album", 9);
    std::memcpy(p + 50, "Old Artist", 10);
    p[104] = 2;
    sv::StoreLE32(p + 108, 0x9500E609);
    for (int k = 0; k < 2; ++k) {
        std::uint8_t* entry = p + 116 + 92 * k;
        const std::string title = "Old Song " + std::to_string(k + 1);
        std::memcpy(entry, title.data(), title.size());
        entry[50] = static_cast<std::uint8_t>(k);  // start k:02:00
        entry[51] = 2;
        entry[53] = 4;  // length 04:00:00
        sv::StoreLE32(entry + 62, static_cast<std::uint32_t>(k * 4500));  // start sector
        entry[73] = 1;                                                    // audio flag
    }
    std::memcpy(p + 9316, "1979", 4);
    std::memcpy(p + 9326, "Folk", 4);
    std::memcpy(p + 9346, "9500E609", 8);
    fs::create_directories(Albums());
    svtest::WriteFileBytes(Albums() + "-1795103223.dat", legacy);

    sv::DISC_INFO loaded;
    sv::TagBlocks loadedTags;
    ASSERT_TRUE(albums.LoadAlbum(loaded, loadedTags, 0x9500E609));
    EXPECT_EQ(loaded.Album(), "Old Album");
    EXPECT_EQ(loaded.Artist(), "Old Artist");
    EXPECT_EQ(loaded.TrackCount(), 2);
    EXPECT_EQ(loaded.DiscId(), 0x9500E609u);
    EXPECT_EQ(loaded.TrackCopy(1).Title(), "Old Song 2");
    EXPECT_EQ(loaded.TrackCopy(1).StartMsf(), (sv::Msf{1, 2, 0}));
    EXPECT_EQ(loaded.TrackCopy(1).LengthMsf(), (sv::Msf{4, 0, 0}));
    EXPECT_EQ(loaded.TrackCopy(1).StartLba(), 4500);
    EXPECT_TRUE(loaded.TrackCopy(1).AudioFlag());
    EXPECT_EQ(loaded.Year(), "1979");
    EXPECT_EQ(loaded.Genre(), "Folk");
    EXPECT_EQ(loaded.DiscIdText(), "9500E609");
    EXPECT_EQ(loadedTags.Raw(), std::vector<std::uint8_t>(2 * 1489, 0));
}

TEST_F(AlbumCacheTest, ShortTagFileLeavesTheRestZero) {
    ASSERT_TRUE(albums.SaveAlbum(disc, tags, disc.Artist(), disc.Album(), nullptr));
    std::string shortTags(1489 + 100, '\x07');
    svtest::WriteFileBytes(Albums() + "-1795103223.dat.tag", shortTags);
    sv::DISC_INFO loaded;
    sv::TagBlocks loadedTags;
    ASSERT_TRUE(albums.LoadAlbum(loaded, loadedTags, 0x9500E609));
    ASSERT_EQ(loadedTags.Raw().size(), 3u * 1489u);
    EXPECT_EQ(loadedTags.Raw()[1489 + 99], 7);
    EXPECT_EQ(loadedTags.Raw()[1489 + 100], 0);
    EXPECT_EQ(loadedTags.Raw().back(), 0);

    fs::remove(Albums() + "-1795103223.dat.tag");
    ASSERT_TRUE(albums.LoadAlbum(loaded, loadedTags, 0x9500E609));
    EXPECT_EQ(loadedTags.Raw(), std::vector<std::uint8_t>(3 * 1489, 0));

    // A disc of no tracks beside a tag file has no tag records.
    disc.SetTrackCount(0);
    ASSERT_TRUE(albums.SaveAlbum(disc, tags, disc.Artist(), disc.Album(), nullptr));
    svtest::WriteFileBytes(Albums() + "-1795103223.dat.tag", shortTags);
    ASSERT_TRUE(albums.LoadAlbum(loaded, loadedTags, 0x9500E609));
    EXPECT_EQ(loaded.TrackCount(), 0);
    EXPECT_TRUE(loadedTags.Raw().empty());
}

TEST_F(AlbumCacheTest, DamagedAlbumFileChangesNothing) {
    fs::create_directories(Albums());
    svtest::WriteFileBytes(Albums() + "-1795103223.dat", std::string(100, 'x'));
    sv::DISC_INFO before = disc;
    sv::TagBlocks loadedTags;
    EXPECT_FALSE(albums.LoadAlbum(disc, loadedTags, 0x9500E609));
    EXPECT_TRUE(disc == before);
}

TEST_F(AlbumCacheTest, LocalDatabaseFillsInUnlessOwnBaseOnly) {
    ASSERT_TRUE(localDb.Save(disc));
    sv::DISC_INFO loaded;
    loaded.SetTrackCount(3);
    sv::TagBlocks loadedTags;
    albums.SetOwnBaseOnly(true);
    EXPECT_FALSE(albums.LoadAlbum(loaded, loadedTags, 0x9500E609));
    EXPECT_EQ(loaded.Artist(), "");

    albums.SetOwnBaseOnly(false);
    ASSERT_TRUE(albums.LoadAlbum(loaded, loadedTags, 0x9500E609));
    EXPECT_EQ(loaded.Artist(), "Аквариум");
    EXPECT_EQ(loaded.TrackCopy(2).Title(), "Song 3");
    EXPECT_EQ(loadedTags.Raw(), std::vector<std::uint8_t>(3 * 1489, 0));

    // With the option set, a save does not write the local database.
    fs::remove(dir.Path() / "LocalCDDB/rock/95to95");
    albums.SetOwnBaseOnly(true);
    ASSERT_TRUE(albums.SaveAlbum(disc, tags, disc.Artist(), disc.Album(), nullptr));
    EXPECT_FALSE(fs::exists(dir.Path() / "LocalCDDB/rock/95to95"));
}

TEST_F(AlbumCacheTest, ListAndGatherArtists) {
    ASSERT_TRUE(albums.SaveAlbum(disc, tags, disc.Artist(), disc.Album(), nullptr));
    sv::DISC_INFO other = disc;
    sv::StoreDiscId(other, 0x0C012A02);
    other.SetArtist("АКВАРИУМ");
    ASSERT_TRUE(albums.SaveAlbum(other, tags, other.Artist(), other.Album(), nullptr));
    other.SetArtist("Кино");
    sv::StoreDiscId(other, 0x0C012A03);
    ASSERT_TRUE(albums.SaveAlbum(other, tags, other.Artist(), other.Album(), nullptr));
    svtest::WriteFileBytes(Albums() + "notes.txt", std::string(200, 'z'));
    svtest::WriteFileBytes(Albums() + "1.dat", "tiny");

    std::vector<std::string> list{"stale entry"};
    albums.ListArtists(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(sv::EqualsIgnoreCase(list[0], "Аквариум") || sv::EqualsIgnoreCase(list[1], "Аквариум"));

    svtest::WriteFileBytes(dir.Slash() + "LocalCDDB/jazz/77to77", "# xmcd\nDTITLE=Наутилус Помпилиус / Князь тишины\n");
    EXPECT_EQ(sv::GatherArtists(albums, localDb).size(), 3u);
    albums.SetOwnBaseOnly(true);
    EXPECT_EQ(sv::GatherArtists(albums, localDb).size(), 2u);
}

TEST(MetadataSettingsTest, SettingsReachTheDatabaseAndTheCache) {
    svtest::TempDir dir;
    sv::TProgramSettings settings;
    settings.SetLocalCddbDir(dir.Slash() + "LocalCDDB");
    settings.SetLocalCddbUnix(true);
    settings.SetLocalCddbOnly(true);
    sv::TLocalCDDB db;
    sv::TAlbumCache albums;
    sv::ApplyMetadataSettings(settings, db, albums);
    EXPECT_EQ(db.Root(), dir.Slash() + "LocalCDDB/");
    EXPECT_TRUE(db.UnixFormat());
    EXPECT_TRUE(albums.OwnBaseOnly());
    EXPECT_TRUE(fs::is_directory(dir.Path() / "LocalCDDB/misc"));
    EXPECT_EQ(db.FileNameFor("jazz", 0x9500E609), dir.Slash() + "LocalCDDB/jazz/9500E609");
}

}  // namespace
