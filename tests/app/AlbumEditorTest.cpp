#include <gtest/gtest.h>

#include <filesystem>

#include "app/AlbumEditor.h"
#include "app/LanguageFiles.h"
#include "base/Language.h"
#include "metadata/AlbumCache.h"
#include "support/BuiltinLanguage.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::ReadFileBytes;
using svtest::TempDir;
using svtest::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

DISC_INFO Album(const std::string& artist, const std::string& album, int tracks) {
    DISC_INFO disc;
    disc.SetArtist(artist);
    disc.SetAlbum(album);
    disc.SetTrackCount(static_cast<std::uint8_t>(tracks));
    for (int i = 0; i < tracks; ++i) {
        disc.Track(i).SetTitle(album + " " + std::to_string(i + 1));
        disc.Track(i).SetAudioFlag(true);
    }
    return disc;
}

std::string Bytes(const DISC_INFO& disc) {
    return std::string(reinterpret_cast<const char*>(disc.Data()), DISC_INFO::kSize);
}

class AlbumEditorTest : public ::testing::Test {
protected:
    fs::path Write(const std::string& name, const DISC_INFO& disc, bool withTags = true) {
        const fs::path file = dir_.Path() / (name + ".dat");
        WriteFileBytes(file, Bytes(disc));
        if (withTags) {
            TagBlocks tags;
            tags.EnsureCount(disc.TrackCount());
            for (int i = 0; i < disc.TrackCount(); ++i) {
                tags.Block(i).SetPresent(true);
                tags.Block(i).SetTitle("tag " + std::to_string(i));
            }
            WriteFileBytes(file.string() + ".tag",
                           std::string(reinterpret_cast<const char*>(tags.Raw().data()), tags.Raw().size()));
        }
        return file;
    }

    TempDir dir_;
    svtest::BuiltinLanguage builtin_;
    TLanguage& lang_ = builtin_.Language();
    svtest::ScriptedDialogs dialogs_;
};

}  // namespace

TEST_F(AlbumEditorTest, ArtistsThatDifferOnlyInLetterCaseShareOneNode) {
    Write("1", Album("КИНО", "Звезда", 2));
    Write("2", Album("кино", "Группа крови", 3));
    Write("3", Album("Аквариум", "Радио Африка", 1));
    TAlbumEditor editor(dir_.Slash(), dialogs_);
    EXPECT_TRUE(editor.Load().empty());
    ASSERT_EQ(editor.Artists().size(), 2u);
    const ArtistNode& kino = *editor.Artists()[0];
    EXPECT_EQ(kino.text, "КИНО");
    ASSERT_EQ(kino.albums.size(), 2u);
    EXPECT_EQ(kino.albums[1]->record.Album(), "Группа крови");
    EXPECT_EQ(kino.albums[1]->albumFile, (dir_.Path() / "2.dat").string());
    EXPECT_EQ(kino.albums[1]->tagFile, (dir_.Path() / "2.dat.tag").string());
    EXPECT_EQ(kino.albums[1]->tags.Count(), 3);
    EXPECT_EQ(kino.albums[1]->tags.Block(2).Title(), "tag 2");
    EXPECT_FALSE(kino.albums[1]->modified);
    EXPECT_EQ(editor.Artists()[1]->text, "Аквариум");
}

TEST_F(AlbumEditorTest, DeletingAnArtistWithThreeAlbumsRemovesAllTheirFiles) {
    Write("10", Album("ДДТ", "Актриса Весна", 2));
    Write("11", Album("ддт", "Это всё", 2));
    Write("12", Album("Ддт", "Мир номер ноль", 2));
    const fs::path other = Write("13", Album("Алиса", "Шабаш", 2));
    TAlbumEditor editor(dir_.Slash(), dialogs_);
    editor.Load();
    ASSERT_EQ(editor.Artists().size(), 2u);
    ArtistNode& ddt = *editor.Artists()[0];
    ASSERT_EQ(ddt.albums.size(), 3u);
    ddt.albums[0]->modified = true;  // a deleted album is never written back

    dialogs_.ExpectYesNo("Удалить все альбомы?", false);
    EXPECT_FALSE(editor.DeleteArtist(ddt));
    EXPECT_TRUE(fs::exists(dir_.Path() / "10.dat"));

    dialogs_.ExpectYesNo("Удалить все альбомы?", true);
    EXPECT_TRUE(editor.DeleteArtist(*editor.Artists()[0]));
    EXPECT_TRUE(dialogs_.Done());
    for (const char* n : {"10", "11", "12"}) {
        EXPECT_FALSE(fs::exists(dir_.Path() / (std::string(n) + ".dat"))) << n;
        EXPECT_FALSE(fs::exists(dir_.Path() / (std::string(n) + ".dat.tag"))) << n;
    }
    ASSERT_EQ(editor.Artists().size(), 1u);
    EXPECT_TRUE(editor.Close().empty());
    EXPECT_FALSE(fs::exists(dir_.Path() / "10.dat"));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(fs::exists(other.string() + ".tag"));
}

TEST_F(AlbumEditorTest, DeletingAnAlbumAsksAndRemovesItsTwoFilesOnly) {
    const fs::path a = Write("20", Album("Браво", "Стиляги", 2));
    const fs::path b = Write("21", Album("Браво", "Хулиган", 2));
    TAlbumEditor editor(dir_.Slash(), dialogs_);
    editor.Load();
    TNodeData& first = *editor.Artists()[0]->albums[0];
    EXPECT_TRUE(editor.RenameAlbum(first, "Переименован"));
    dialogs_.ExpectYesNo("Удалить альбом?", true);
    EXPECT_TRUE(editor.DeleteAlbum(first));
    ASSERT_EQ(dialogs_.Icons().size(), 1u);
    EXPECT_EQ(dialogs_.Icons()[0], MessageIcon::Question);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(a.string() + ".tag"));
    EXPECT_TRUE(fs::exists(b));
    ASSERT_EQ(editor.Artists()[0]->albums.size(), 1u);
    editor.Close();
    EXPECT_FALSE(fs::exists(a));  // modified was cleared: nothing rewritten
}

TEST_F(AlbumEditorTest, EditsAreWrittenWhenTheEditorClosesAndOnlyForModifiedAlbums) {
    const fs::path edited = Write("30", Album("Наутилус", "Разлука", 3), false);
    const fs::path untouched = Write("31", Album("Наутилус", "Князь тишины", 2), false);
    const std::string before = ReadFileBytes(edited);
    {
        TAlbumEditor editor(dir_.Slash(), dialogs_);
        editor.Load();
        ArtistNode& artist = *editor.Artists()[0];
        TNodeData& album = *artist.albums[0];
        EXPECT_EQ(album.tags.Count(), 3);  // no tag file: zeros
        EXPECT_TRUE(editor.RenameTrack(album, 1, "Скованные одной цепью"));
        EXPECT_TRUE(editor.RenameArtist(artist, "Nautilus Pompilius"));
        album.tags.Block(2).SetTitle("в теге");
        editor.TagsEdited(album);
        EXPECT_EQ(ReadFileBytes(edited), before);  // nothing written before closing
        EXPECT_TRUE(artist.albums[1]->modified);   // the artist rename touched it
        artist.albums[1]->modified = false;
        EXPECT_TRUE(editor.Close().empty());
    }
    DISC_INFO disc;
    const std::string bytes = ReadFileBytes(edited);
    ASSERT_EQ(bytes.size(), DISC_INFO::kSize);
    std::copy(bytes.begin(), bytes.end(), disc.Data());
    EXPECT_EQ(disc.Artist(), "Nautilus Pompilius");
    EXPECT_EQ(disc.Track(1).Title(), "Скованные одной цепью");
    EXPECT_EQ(disc.Track(0).Title(), "Разлука 1");
    const std::string tagBytes = ReadFileBytes(edited.string() + ".tag");
    ASSERT_EQ(tagBytes.size(), 3 * kTagRecordSize);
    EXPECT_EQ(tagBytes.substr(2 * kTagRecordSize + 1, 12), std::string("в теге") + '\0');
    // The album that was not modified (any more) is left as it was.
    EXPECT_FALSE(fs::exists(untouched.string() + ".tag"));
    EXPECT_EQ(ReadFileBytes(untouched), Bytes(Album("Наутилус", "Князь тишины", 2)));
}

TEST_F(AlbumEditorTest, ALegacyAlbumFileLoadsAndIsWrittenBackInTheCurrentForm) {
    std::string legacy(TAlbumCache::kLegacyFileSize, '\0');
    const std::string album = "Legacy album", artist = "Old Band", title = "First song";
    legacy.replace(0, album.size(), album);
    legacy.replace(50, artist.size(), artist);
    legacy[104] = 1;
    legacy.replace(116, title.size(), title);
    legacy.replace(9316, 4, "1979");
    WriteFileBytes(dir_.Path() / "40.dat", legacy);
    TAlbumEditor editor(dir_.Slash(), dialogs_);
    EXPECT_TRUE(editor.Load().empty());
    ASSERT_EQ(editor.Artists().size(), 1u);
    TNodeData& node = *editor.Artists()[0]->albums[0];
    EXPECT_EQ(node.record.Album(), album);
    EXPECT_EQ(node.record.Track(0).Title(), title);
    EXPECT_EQ(node.record.Year(), "1979");
    EXPECT_TRUE(editor.RenameAlbum(node, "Renamed"));
    editor.Close();
    EXPECT_EQ(fs::file_size(dir_.Path() / "40.dat"), DISC_INFO::kSize);
    EXPECT_EQ(fs::file_size(dir_.Path() / "40.dat.tag"), kTagRecordSize);
}

TEST_F(AlbumEditorTest, AFileThatIsNoAlbumIsReportedAndLeftAlone) {
    WriteFileBytes(dir_.Path() / "50.dat", std::string(1000, 'z'));
    Write("51", Album("Пикник", "Иероглиф", 1));
    TAlbumEditor editor(dir_.Slash(), dialogs_);
    const auto damaged = editor.Load();
    ASSERT_EQ(damaged.size(), 1u);
    EXPECT_EQ(damaged[0], (dir_.Path() / "50.dat").string());
    ASSERT_EQ(editor.Artists().size(), 1u);
    EXPECT_TRUE(editor.RenameArtist(*editor.Artists()[0], "Picnic"));
    editor.Close();
    EXPECT_EQ(ReadFileBytes(dir_.Path() / "50.dat"), std::string(1000, 'z'));
}

TEST_F(AlbumEditorTest, TooLongNamesAreRefusedAndChangeNothing) {
    Write("60", Album("Зоопарк", "Уездный город N", 2));
    TAlbumEditor editor(dir_.Slash(), dialogs_);
    editor.Load();
    ArtistNode& artist = *editor.Artists()[0];
    TNodeData& album = *artist.albums[0];
    EXPECT_FALSE(editor.RenameAlbum(album, std::string(50, 'a')));
    EXPECT_TRUE(editor.RenameAlbum(album, std::string(49, 'a')) && album.modified);
    album.modified = false;
    std::string cyrillic;
    for (int i = 0; i < 25; ++i) cyrillic += "ю";  // 50 bytes
    EXPECT_FALSE(editor.RenameArtist(artist, cyrillic));
    EXPECT_EQ(artist.text, "Зоопарк");
    EXPECT_EQ(album.record.Artist(), "Зоопарк");
    EXPECT_FALSE(editor.RenameTrack(album, 0, std::string(100, 't')));
    EXPECT_FALSE(editor.RenameTrack(album, 2, "beyond the last track"));
    EXPECT_EQ(album.record.Track(0).Title(), "Уездный город N 1");
    EXPECT_EQ(album.record.Track(2).Title(), "");
    EXPECT_FALSE(album.modified);
    EXPECT_TRUE(editor.RenameTrack(album, 0, std::string(99, 't')));
    EXPECT_EQ(album.record.Track(0).Title(), std::string(99, 't'));
}

TEST_F(AlbumEditorTest, TrackRowsShowLengthSizeAndImage) {
    DISC_INFO disc = Album("A", "B", 3);
    disc.Track(0).SetLengthMsf(Msf{3, 5, 7});
    disc.Track(0).SetSizeBytes(3 * 1048576 + 524288);
    disc.Track(1).SetDoneFlag(true);
    disc.Track(2).SetAudioFlag(false);
    TNodeData node;
    node.record = disc;
    const auto rows = TAlbumEditor::TrackRows(node);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].title, "B 1");
    EXPECT_EQ(rows[0].length, "03:05:07");
    EXPECT_EQ(rows[0].size, "3.50 Mb");
    EXPECT_EQ(rows[0].image, 1);
    EXPECT_EQ(rows[1].image, 2);
    EXPECT_EQ(rows[2].image, 3);
}

TEST_F(AlbumEditorTest, TheCompilationFlagIsShownFromAndStoredIntoTheRecord) {
    DISC_INFO disc = Album("Various", "Сборник", 1);
    Write("70", disc);
    TAlbumEditor editor(dir_.Slash(), dialogs_);
    editor.Load();
    TNodeData& album = *editor.Artists()[0]->albums[0];
    editor.SetCompilation(album, false);
    EXPECT_FALSE(album.modified);  // no change
    editor.SetCompilation(album, true);
    EXPECT_TRUE(album.modified);
    editor.Close();
    EXPECT_EQ(static_cast<unsigned char>(ReadFileBytes(dir_.Path() / "70.dat")[100]), 1u);
}
