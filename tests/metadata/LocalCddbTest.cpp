// The local xmcd database: folders, file names, the files it writes byte for
// byte, what it reads back, and the artist list it gathers.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/Text.h"
#include "metadata/DiscId.h"
#include "metadata/LocalCddb.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Two tracks: 03:08:20 from sector 0 and 01:49:55 from sector 14120; disc
// length (150 + 14120 + 8230) / 75 = 300 seconds.
sv::DISC_INFO KinoDisc() {
    sv::DISC_INFO disc;
    sv::StoreDiscId(disc, 0x0C012A02);
    disc.SetTrackCount(2);
    disc.SetArtist("Кино");
    disc.SetAlbum("Группа крови");
    disc.SetYear("1988");
    disc.SetGenre("Rock");
    disc.Track(0).SetTitle("Группа крови");
    disc.Track(0).SetStartLba(0);
    disc.Track(0).SetLengthMsf({3, 8, 20});
    disc.Track(1).SetTitle("Закрой за мной дверь / я ухожу");
    disc.Track(1).SetStartLba(14120);
    disc.Track(1).SetLengthMsf({1, 49, 55});
    return disc;
}

class LocalCddbTest : public ::testing::Test {
protected:
    void SetUp() override { db.SetRoot(dir.Slash() + "db"); }
    std::string Root() const { return dir.Slash() + "db/"; }
    svtest::TempDir dir;
    sv::TLocalCDDB db;
};

TEST(LocalCddbGenreTest, FolderChoice) {
    EXPECT_STREQ(sv::TLocalCDDB::FolderForGenre("rock"), "rock");
    EXPECT_STREQ(sv::TLocalCDDB::FolderForGenre("Rock"), "rock");
    EXPECT_STREQ(sv::TLocalCDDB::FolderForGenre("New Age"), "newage");
    EXPECT_STREQ(sv::TLocalCDDB::FolderForGenre("Other"), "misc");
    EXPECT_STREQ(sv::TLocalCDDB::FolderForGenre("ROCK"), "misc");
    EXPECT_STREQ(sv::TLocalCDDB::FolderForGenre("Hip-Hop"), "misc");
    EXPECT_STREQ(sv::TLocalCDDB::FolderForGenre(""), "misc");
}

TEST_F(LocalCddbTest, SetRootCreatesTheGenreFolders) {
    EXPECT_EQ(db.Root(), Root());
    for (const auto& g : sv::kLocalCddbGenres) EXPECT_TRUE(fs::is_directory(Root() + g.folder)) << g.folder;
    sv::TLocalCDDB nested;
    nested.SetRoot(dir.Slash() + "a/b/c/");
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a/b/c/soundtrack"));
}

TEST_F(LocalCddbTest, SaveWritesTheExactLines) {
    const sv::DISC_INFO disc = KinoDisc();
    ASSERT_TRUE(db.Save(disc));
    EXPECT_EQ(svtest::ReadFileBytes(Root() + "rock/0Cto0C"),
              "#FILENAME=0c012a02\r\n"
              "# xmcd CD database file\r\n"
              "#\r\n"
              "# Track frame offsets:\r\n"
              "#\t150\r\n"
              "#\t14270\r\n"
              "#\r\n"
              "# Disc length: 300 seconds\r\n"
              "#\r\n"
              "# Revision: 1\r\n"
              "# Submitted via: Sornaval v3.4a\r\n"
              "#\r\n"
              "DISCID=0c012a02\r\n"
              "DTITLE=Кино / Группа крови\r\n"
              "DYEAR=1988\r\n"
              "DGENRE=Rock\r\n"
              "TTITLE0=Группа крови\r\n"
              "TTITLE1=Закрой за мной дверь / я ухожу\r\n"
              "EXTT0=\r\n"
              "EXTT1=\r\n"
              "PLAYORDER=\r\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(Root() + "rock"), fs::directory_iterator()), 1);
}

TEST(LocalCddbEntryTextTest, FrameOffsetsOfExtremeStarts) {
    // Offsets are the start plus 150 as an unsigned 32-bit number.
    struct Case {
        std::int32_t start;
        const char* line;
    };
    for (const Case c : {Case{2147483647, "#\t2147483797\r\n"}, Case{-150, "#\t0\r\n"},
                         Case{-2147483647 - 1, "#\t2147483798\r\n"}}) {
        sv::DISC_INFO disc;
        disc.SetTrackCount(1);
        disc.Track(0).SetStartLba(c.start);
        EXPECT_NE(sv::TLocalCDDB::EntryText(disc).find(c.line), std::string::npos) << c.start;
    }
}

TEST_F(LocalCddbTest, SavedEntryReadsBack) {
    sv::DISC_INFO disc = KinoDisc();
    disc.SetArtist("AC/DC");
    disc.Track(0).SetTitle("Line one\nline two\\end\ttab");
    ASSERT_TRUE(db.Save(disc));
    EXPECT_NE(svtest::ReadFileBytes(Root() + "rock/0Cto0C").find("TTITLE0=Line one\\nline two\\\\end\\ttab\r\n"),
              std::string::npos);
    sv::DISC_INFO back;
    ASSERT_TRUE(db.LoadById(0x0C012A02, back));
    EXPECT_EQ(back.Artist(), "AC/DC");
    EXPECT_EQ(back.Album(), disc.Album());
    EXPECT_EQ(back.Year(), "1988");
    EXPECT_EQ(back.Genre(), "Rock");
    EXPECT_EQ(back.TrackCopy(0).Title(), "Line one\nline two\\end\ttab");
    EXPECT_EQ(back.TrackCopy(1).Title(), disc.TrackCopy(1).Title());
    // Loading leaves count, identifier and timing alone.
    EXPECT_EQ(back.TrackCount(), 0);
    EXPECT_EQ(back.DiscId(), 0u);
}

TEST_F(LocalCddbTest, SharedWindowsNameIsReplacedAndNotTakenForTheOtherDisc) {
    sv::DISC_INFO first = KinoDisc();
    sv::StoreDiscId(first, 0xA5102B0C);
    sv::DISC_INFO second = KinoDisc();
    sv::StoreDiscId(second, 0xA5FF0001);
    second.SetAlbum("Second Album");
    ASSERT_TRUE(db.Save(first));
    ASSERT_TRUE(db.Save(second));
    EXPECT_EQ(db.Find(0xA5102B0C), Root() + "rock/A5toA5");
    sv::DISC_INFO loaded;
    EXPECT_FALSE(db.LoadById(0xA5102B0C, loaded));
    EXPECT_EQ(loaded.Album(), "");
    ASSERT_TRUE(db.LoadById(0xA5FF0001, loaded));
    EXPECT_EQ(loaded.Album(), "Second Album");

    // The other disc's file in an earlier genre folder (blues before rock), and
    // a second name in the same folder, do not hide the disc's own file.
    svtest::WriteFileBytes(Root() + "blues/A5toA5", "# xmcd\nDISCID=a5aaaaaa\nDTITLE=Other / Blues\n");
    svtest::WriteFileBytes(Root() + "rock/a5toa5", "# xmcd\nDISCID=a5bbbbbb\nDTITLE=Other / Rock\n");
    svtest::WriteFileBytes(Root() + "soundtrack/A5toA5", "# xmcd\nDISCID=a5cccccc,a5102b0c\nDTITLE=Mine / Found\n");
    ASSERT_TRUE(db.LoadById(0xA5102B0C, loaded));
    EXPECT_EQ(loaded.Album(), "Found");
}

TEST_F(LocalCddbTest, UnixNamesAndOtherNamesAreFound) {
    db.SetUnixFormat(true);
    sv::DISC_INFO disc = KinoDisc();
    sv::StoreDiscId(disc, 0xA5102B0C);
    ASSERT_TRUE(db.Save(disc));
    EXPECT_TRUE(fs::exists(Root() + "rock/A5102B0C"));
    EXPECT_EQ(db.Find(0xA5102B0C), Root() + "rock/A5102B0C");

    // A lower-case Unix name and an unsigned decimal name are found in either format.
    db.SetUnixFormat(false);
    svtest::WriteFileBytes(Root() + "jazz/9509d60a", "# xmcd\nDTITLE=A / B\n");
    svtest::WriteFileBytes(Root() + "folk/201402882", "# xmcd\nDTITLE=C / D\n");
    EXPECT_EQ(db.Find(0x9509D60A), Root() + "jazz/9509d60a");
    EXPECT_EQ(db.Find(0x0C012A02), Root() + "folk/201402882");
    EXPECT_EQ(db.Find(0x12345678), "");
}

TEST_F(LocalCddbTest, FindListsEveryFileAndSurvivesAMissingFolder) {
    svtest::WriteFileBytes(Root() + "rock/01to01", "x");
    svtest::WriteFileBytes(Root() + "blues/02to02", "x");
    svtest::WriteFileBytes(Root() + "misc/03to03", "x");
    fs::create_directory(Root() + "misc/sub");
    fs::remove_all(Root() + "classical");
    std::vector<std::string> list;
    EXPECT_EQ(db.Find(0, &list), "");
    EXPECT_EQ(list,
              (std::vector<std::string>{Root() + "blues/02to02", Root() + "rock/01to01", Root() + "misc/03to03"}));
    EXPECT_EQ(db.Find(0x03000000), Root() + "misc/03to03");
}

TEST_F(LocalCddbTest, LoadFileRules) {
    sv::DISC_INFO disc;
    // The first line is never data; a file without an xmcd comment is read to its end.
    svtest::WriteFileBytes(Root() + "misc/first", "DTITLE=Lost / Title\nDYEAR=2001\nTTITLE0=Zero\n\n\nTTITLE1=One\r\n"
                                                  "TTITLE100=Beyond the record\nTTITLE1= continued");
    ASSERT_TRUE(db.LoadFile(Root() + "misc/first", disc));
    EXPECT_EQ(disc.Artist(), "");
    EXPECT_EQ(disc.Album(), "");
    EXPECT_EQ(disc.Year(), "2001");
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Zero");
    EXPECT_EQ(disc.TrackCopy(1).Title(), "One continued");
    EXPECT_EQ(disc.TrackCopy(99).Title(), "");

    // A file of the Windows-era program in Windows-1251.
    svtest::WriteFileBytes(Root() + "misc/cp1251",
                           sv::Utf8ToCp1251("# xmcd\r\nDTITLE=Аквариум / Равноденствие\r\nDGENRE=Рок\r\n"));
    ASSERT_TRUE(db.LoadFile(Root() + "misc/cp1251", disc));
    EXPECT_EQ(disc.Artist(), "Аквариум");
    EXPECT_EQ(disc.Album(), "Равноденствие");
    EXPECT_EQ(disc.Genre(), "Рок");

    EXPECT_FALSE(db.LoadFile("", disc));
    EXPECT_FALSE(db.LoadFile(Root() + "misc/none", disc));
    EXPECT_FALSE(db.LoadFile(Root() + "misc", disc));
}

TEST_F(LocalCddbTest, CollectArtistsIgnoresCaseAndReportsProgress) {
    svtest::WriteFileBytes(Root() + "rock/01to01", "# xmcd\nDTITLE=Кино / Группа крови\n");
    svtest::WriteFileBytes(Root() + "rock/02to02", "# xmcd\nDTITLE=КИНО / Звезда по имени Солнце\n");
    svtest::WriteFileBytes(Root() + "folk/03to03", "# xmcd\nDTITLE=Аквариум / Радио Африка\n");
    svtest::WriteFileBytes(Root() + "misc/04to04", "# xmcd\nDYEAR=1990\n");
    std::vector<std::string> names{"аквариум"};
    std::vector<std::pair<int, int>> progress;
    db.CollectArtists(names, [&](int index, int total) { progress.emplace_back(index, total); });
    EXPECT_EQ(names, (std::vector<std::string>{"аквариум", "Кино"}));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{-1, 4}, {0, 4}, {1, 4}, {2, 4}, {3, 4}}));
}

TEST(LocalCddbEmptyRootTest, DoesNothing) {
    sv::TLocalCDDB db;
    db.SetRoot("");
    EXPECT_EQ(db.FileNameFor("rock", 0x0C012A02), "");
    EXPECT_EQ(db.Find(0x0C012A02), "");
    EXPECT_FALSE(db.Save(KinoDisc()));
    sv::DISC_INFO disc;
    EXPECT_FALSE(db.LoadById(0x0C012A02, disc));
    std::vector<std::string> names;
    db.CollectArtists(names);
    EXPECT_TRUE(names.empty());
}

}  // namespace
