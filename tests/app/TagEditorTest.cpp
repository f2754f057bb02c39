#include <gtest/gtest.h>

#include <cstring>

#include "app/TagEditor.h"

using namespace sv;

namespace {

DISC_INFO MakeDisc(int tracks) {
    DISC_INFO disc;
    disc.SetAlbum("Группа крови");
    disc.SetArtist("Кино");
    disc.SetYear("1988");
    disc.SetGenre("Rock");
    disc.SetTrackCount(static_cast<std::uint8_t>(tracks));
    for (int i = 0; i < tracks; ++i) disc.Track(i).SetTitle("Песня " + std::to_string(i + 1));
    return disc;
}

TagBlocks Blocks(int count) {
    TagBlocks tags;
    tags.EnsureCount(count);
    return tags;
}

}  // namespace

TEST(TagEditor, ATrackWithoutATagIsPrefilledFromTheDisc) {
    DISC_INFO disc = MakeDisc(4);
    TagBlocks tags = Blocks(4);
    TTagEditor editor(disc, tags, "LAME 3.100", 2);
    EXPECT_EQ(editor.Current(), 2);
    const TagFields& f = editor.Fields();
    EXPECT_FALSE(f.present);
    EXPECT_EQ(f[TagField::Artist], "Кино");
    EXPECT_EQ(f[TagField::Copyright], "Кино");
    EXPECT_EQ(f[TagField::Album], "Группа крови");
    EXPECT_EQ(f[TagField::Title], "Песня 3");
    EXPECT_EQ(f[TagField::Year], "1988");
    EXPECT_EQ(f[TagField::Genre], "Rock");
    EXPECT_EQ(f[TagField::TrackNumber], "3");
    EXPECT_EQ(f[TagField::EncodedBy], "LAME 3.100");
    EXPECT_EQ(f[TagField::Comment], "");
    EXPECT_EQ(f[TagField::OriginalArtist], "");
    ASSERT_EQ(editor.Titles().size(), 4u);
    EXPECT_EQ(editor.Titles()[3], "Песня 4");
}

TEST(TagEditor, AStoredTagIsShownAsStoredAndTheSelectionFallsBackToTrackZero) {
    DISC_INFO disc = MakeDisc(3);
    TagBlocks tags = Blocks(3);
    tags.Block(0).SetPresent(true);
    tags.Block(0).SetTitle("Своё");
    tags.Block(0).SetTrackNumber("7");
    TTagEditor editor(disc, tags, "LAME", -1);
    EXPECT_EQ(editor.Current(), 0);
    EXPECT_TRUE(editor.Fields().present);
    EXPECT_EQ(editor.Fields()[TagField::Title], "Своё");
    EXPECT_EQ(editor.Fields()[TagField::TrackNumber], "7");
    EXPECT_EQ(editor.Fields()[TagField::Artist], "");  // not prefilled
}

TEST(TagEditor, EditingInTrackModeMarksTheTagPresentAndRenamesTheEntry) {
    DISC_INFO disc = MakeDisc(3);
    TagBlocks tags = Blocks(3);
    TTagEditor editor(disc, tags, "LAME", 1);
    editor.Edit(TagField::Comment, "live");
    EXPECT_TRUE(editor.Fields().present);
    EXPECT_EQ(editor.Titles()[1], "Песня 2");
    editor.Edit(TagField::Title, "Звезда");
    EXPECT_EQ(editor.Titles()[1], "Звезда");
    EXPECT_EQ(editor.Titles()[0], "Песня 1");
}

TEST(TagEditor, EditingInRecordModeChangesOnlyTheFields) {
    TagBlocks records = Blocks(2);
    records.Block(1).SetTitle("Было");
    TTagEditor editor(records, {"Первая", "Вторая"}, 1);
    EXPECT_EQ(editor.Fields()[TagField::Title], "Было");
    editor.Edit(TagField::Title, "Стало");
    EXPECT_FALSE(editor.Fields().present);
    EXPECT_EQ(editor.Titles()[1], "Вторая");
    editor.StoreCurrent();
    EXPECT_EQ(records.Block(1).Title(), "Стало");
    EXPECT_FALSE(records.Block(1).Present());
    EXPECT_TRUE(editor.StoredAny());
}

TEST(TagEditor, ChoosingAnotherTrackStoresTheFormIntoAClearedRecord) {
    DISC_INFO disc = MakeDisc(3);
    TagBlocks tags = Blocks(3);
    // Left-over bytes behind the terminators must not survive a store.
    tags.Block(0).SetPresent(true);
    tags.Block(0).SetTitle("T");
    std::memset(tags.Block(0).Data() + TagRecordRef::kTitle + 2, 'x', TagRecordRef::kTitleSize - 2);
    std::memset(tags.Block(0).Data() + TagRecordRef::kComment + 1, 'x', TagRecordRef::kCommentSize - 1);
    TTagEditor editor(disc, tags, "LAME", 0);
    editor.Edit(TagField::Artist, "Цой");
    editor.Select(2);
    EXPECT_EQ(editor.Current(), 2);
    EXPECT_EQ(editor.Fields()[TagField::TrackNumber], "3");

    TagRecord expected;
    expected.SetPresent(true);
    expected.SetTitle("T");
    expected.SetArtist("Цой");
    EXPECT_EQ(std::memcmp(tags.Block(0).Data(), expected.Data(), kTagRecordSize), 0);

    // An untouched prefilled track is stored with its present flag clear.
    editor.Select(1);
    EXPECT_FALSE(tags.Block(2).Present());
    EXPECT_EQ(tags.Block(2).Artist(), "Кино");
    EXPECT_EQ(tags.Block(2).TrackNumber(), "3");
    editor.Select(0);
    EXPECT_EQ(editor.Fields()[TagField::Artist], "Цой");
}

TEST(TagEditor, CopyToAllTracksOnTwelveTracksNumbersThemOneToTwelve) {
    DISC_INFO disc = MakeDisc(12);
    disc.SetYear("");
    TagBlocks tags = Blocks(12);
    TTagEditor editor(disc, tags, "LAME", 4);
    editor.Edit(TagField::Year, "1990");
    editor.Edit(TagField::Genre, "Pop");  // the disc has a genre: it stays
    editor.Edit(TagField::Composer, "В. Цой");
    editor.Edit(TagField::Comment, "ремастер");
    editor.Edit(TagField::Url, "http://kino.example/");
    editor.Edit(TagField::TrackNumber, "99");
    editor.SetPresent(false);
    editor.CopyToAllTracks();
    EXPECT_TRUE(editor.Fields().present);
    EXPECT_EQ(editor.DiscCopy().Year(), "1990");
    EXPECT_EQ(editor.DiscCopy().Genre(), "Rock");
    for (int i = 0; i < 12; ++i) {
        TagRecordRef t = tags.Block(i);
        EXPECT_TRUE(t.Present()) << i;
        EXPECT_EQ(t.TrackNumber(), std::to_string(i + 1)) << i;
        EXPECT_EQ(t.Title(), "Песня " + std::to_string(i + 1)) << i;
        EXPECT_EQ(t.Artist(), "Кино") << i;
        EXPECT_EQ(t.Year(), "1990") << i;
        EXPECT_EQ(t.Genre(), "Rock") << i;
        EXPECT_EQ(t.Composer(), "В. Цой") << i;
        EXPECT_EQ(t.Comment(), "ремастер") << i;
        EXPECT_EQ(t.Url(), "http://kino.example/") << i;
        EXPECT_EQ(t.EncodedBy(), "LAME") << i;
    }
    EXPECT_EQ(tags.Count(), 12);
}

TEST(TagEditor, CopyToAllTracksFillsAnEmptyDiscArtistAndAlbumAndOkHandsThemOn) {
    DISC_INFO disc = MakeDisc(2);
    disc.SetArtist("");
    disc.SetAlbum("");
    disc.SetYear("");
    TagBlocks tags = Blocks(2);
    TTagEditor editor(disc, tags, "LAME", 0);
    editor.Edit(TagField::Artist, "Аквариум");
    editor.Edit(TagField::Album, "Радио Африка");
    editor.Edit(TagField::Year, "1983");
    editor.CopyToAllTracks();
    EXPECT_EQ(tags.Block(1).Artist(), "Аквариум");
    EXPECT_EQ(tags.Block(1).Album(), "Радио Африка");
    const auto result = editor.Accept(disc);
    EXPECT_TRUE(result.artistSet);
    EXPECT_TRUE(result.albumSet);
    EXPECT_EQ(disc.Artist(), "Аквариум");
    EXPECT_EQ(disc.Album(), "Радио Африка");
    EXPECT_EQ(disc.Year(), "1983");
}

TEST(TagEditor, OkStoresTitlesCompilationAndKeepsAnExistingAlbumAndArtist) {
    DISC_INFO disc = MakeDisc(3);
    TagBlocks tags = Blocks(3);
    TTagEditor editor(disc, tags, "LAME", 0);
    EXPECT_FALSE(editor.Compilation());
    editor.SetCompilation(true);
    editor.Edit(TagField::Title, "Новое");
    editor.Edit(TagField::Album, "Другой альбом");
    editor.Edit(TagField::Artist, "Другой");
    editor.Select(2);
    editor.Edit(TagField::Title, "Третья");
    const auto result = editor.Accept(disc);
    EXPECT_FALSE(result.albumSet);
    EXPECT_FALSE(result.artistSet);
    EXPECT_TRUE(disc.Compilation());
    EXPECT_EQ(disc.Track(0).Title(), "Новое");
    EXPECT_EQ(disc.Track(1).Title(), "Песня 2");
    EXPECT_EQ(disc.Track(2).Title(), "Третья");
    EXPECT_EQ(disc.Album(), "Группа крови");
    EXPECT_EQ(disc.Artist(), "Кино");
    EXPECT_TRUE(tags.Block(2).Present());
    EXPECT_EQ(tags.Block(2).Title(), "Третья");
    EXPECT_EQ(tags.Block(0).Album(), "Другой альбом");
}

TEST(TagEditor, AnEmptyArtistTakesTheOriginalArtistWhenTheFormHasNoArtist) {
    DISC_INFO disc = MakeDisc(1);
    disc.SetArtist("");
    TagBlocks tags = Blocks(1);
    TTagEditor editor(disc, tags, "LAME", 0);
    EXPECT_EQ(editor.Fields()[TagField::Artist], "");
    editor.Edit(TagField::OriginalArtist, "Б. Гребенщиков");
    EXPECT_TRUE(editor.Accept(disc).artistSet);
    EXPECT_EQ(disc.Artist(), "Б. Гребенщиков");
}

TEST(TagEditor, TooLongTextIsCutInsideItsFieldOnly) {
    DISC_INFO disc = MakeDisc(1);
    TagBlocks tags = Blocks(1);
    TTagEditor editor(disc, tags, "LAME", 0);
    const std::string longTitle(60, 'a');
    EXPECT_FALSE(TagFieldFits(TagField::Title, longTitle));
    EXPECT_TRUE(TagFieldFits(TagField::Title, std::string(49, 'a')));
    // 25 Cyrillic letters are 50 bytes: one too many for a 50-byte field.
    std::string cyrillic;
    for (int i = 0; i < 25; ++i) cyrillic += "ж";
    EXPECT_FALSE(TagFieldFits(TagField::Title, cyrillic));
    EXPECT_TRUE(TagFieldFits(TagField::Title, cyrillic.substr(2)));
    EXPECT_FALSE(TagFieldFits(TagField::TrackNumber, "1000"));
    EXPECT_TRUE(TagFieldFits(TagField::TrackNumber, "100"));
    EXPECT_FALSE(TagFieldFits(TagField::Year, "12345678901"));

    editor.Edit(TagField::Title, longTitle);
    editor.Edit(TagField::TrackNumber, "12345");
    editor.Edit(TagField::Artist, "X");
    editor.StoreCurrent();
    TagRecordRef r = tags.Block(0);
    EXPECT_EQ(r.Title(), std::string(49, 'a'));
    EXPECT_EQ(r.Data()[TagRecordRef::kTitle + 49], 0);
    EXPECT_EQ(r.Artist(), "X");
    EXPECT_EQ(r.TrackNumber(), "123");
    EXPECT_EQ(r.Data()[TagRecordRef::kUrl], 0);  // the URL after the track number stays empty
}

TEST(TagEditor, EncoderNameIsTheChosenCodecOrTheFirst) {
    TProgramSettings s;
    // The codec list starts with the LAME library; Mp3AcmCodecIndex counts the
    // ACM codecs after it.
    const std::vector<std::string> list = {"LAME", "ACM one", "ACM two"};
    s.SetUseLameEncoder(false);
    s.SetMp3AcmCodecIndex(0);
    EXPECT_EQ(EncoderNameForTags(s, list), "ACM one");
    s.SetMp3AcmCodecIndex(1);
    EXPECT_EQ(EncoderNameForTags(s, list), "ACM two");
    s.SetMp3AcmCodecIndex(2);
    EXPECT_EQ(EncoderNameForTags(s, list), "LAME");  // outside the list
    s.SetMp3AcmCodecIndex(-1);
    EXPECT_EQ(EncoderNameForTags(s, list), "LAME");
    // With the LAME library chosen the ACM index does not matter.
    s.SetUseLameEncoder(true);
    s.SetMp3AcmCodecIndex(1);
    EXPECT_EQ(EncoderNameForTags(s, list), "LAME");
    EXPECT_EQ(EncoderNameForTags(s, {}), "");
}
