#include <gtest/gtest.h>

#include "app/TrackList.h"

using namespace sv;

TEST(TrackList, CapitaliseStartsWordsOnlyAfterItsSeparators) {
    EXPECT_EQ(CapitaliseWords("the best OF,the rest"), "The Best Of,The Rest");
    EXPECT_EQ(CapitaliseWords("rock-n-roll"), "Rock-n-roll");
    EXPECT_EQ(CapitaliseWords("a.b"), "A.b");
    EXPECT_EQ(CapitaliseWords("yes!no;maybe"), "Yes!No;Maybe");
    EXPECT_EQ(CapitaliseWords("ЗВЕЗДА ПО ИМЕНИ солнце"), "Звезда По Имени Солнце");
    EXPECT_EQ(CapitaliseWords("ёлка,ёж"), "Ёлка,Ёж");
    EXPECT_EQ(CapitaliseWords(""), "");
    EXPECT_EQ(LowerCaseText("ПРИВЕТ World"), "привет world");
    EXPECT_EQ(UpperCaseText("straße ёж"), "STRASSE ЁЖ");
}

TEST(TrackList, RowsShowAudioAndDataTracks) {
    DISC_INFO disc;
    disc.SetTrackCount(3);
    auto t0 = disc.Track(0);
    t0.SetAudioFlag(true);
    t0.SetTitle("One");
    t0.SetLengthMsf({3, 5, 7});
    t0.SetSizeBytes(3 * 1048576 + 524288);
    auto t1 = disc.Track(1);
    t1.SetAudioFlag(true);
    t1.SetDoneFlag(true);
    t1.SetTitle("Two");
    disc.Track(2).SetAudioFlag(false);
    disc.Track(2).SetTitle("ignored");
    const auto rows = BuildTrackRows(disc, "Data track", "Не скопирован", "Cкопирован");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].caption, "One");
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(rows[0].image, 1);
    EXPECT_EQ(rows[0].length, "03:05:07");
    EXPECT_EQ(rows[0].size, "3.50 Mb");
    EXPECT_EQ(rows[0].status, "Не скопирован");
    EXPECT_FALSE(rows[1].checked);  // already ripped
    EXPECT_EQ(rows[1].image, 2);
    EXPECT_EQ(rows[1].status, "Cкопирован");
    EXPECT_EQ(rows[2].caption, "Data track");
    EXPECT_FALSE(rows[2].checked);
    EXPECT_EQ(rows[2].image, 3);
    EXPECT_EQ(rows[2].length, "");
    EXPECT_EQ(rows[2].status, "");
}

TEST(TrackList, SizeDisplayFollowsTheMp3Settings) {
    TProgramSettings s;
    s.ApplyDefaults("/p/", "/m/");
    EXPECT_DOUBLE_EQ(CompressionRatio(s), 176400.0 / 28000.0);  // 224 kbit/s
    s.SetLameMode(3);
    EXPECT_DOUBLE_EQ(CompressionRatio(s), 2 * 176400.0 / 28000.0);  // mono halves the output
    s.SetLameMode(1);
    s.SetLameVbrEnabled(true);  // VBR: the maximum bit rate counts
    EXPECT_DOUBLE_EQ(CompressionRatio(s), 176400.0 / 40000.0);
    s.SetUseLameEncoder(false);
    EXPECT_DOUBLE_EQ(CompressionRatio(s, 8000, 1, 22050), 176400.0 / 8000 * 2 * 2);

    EXPECT_EQ(CompressedSizeText(static_cast<std::uint32_t>(3.45 * 1048576 + 10), 1.0), "03.45 Mb");
    EXPECT_EQ(CompressedSizeText(static_cast<std::uint32_t>(12.30 * 1048576 + 10), 1.0), "12.30 Mb");

    DISC_INFO disc;
    disc.SetTrackCount(2);
    disc.Track(0).SetAudioFlag(true);
    disc.Track(0).SetSizeBytes(10 * 1048576);
    disc.Track(1).SetSizeBytes(50 * 1048576);  // data: not counted
    EXPECT_EQ(SizePanelText("Размер", disc, 4.0, false), "Размер 10.00 Mb");
    EXPECT_EQ(SizePanelText("Размер", disc, 4.0, true), "Размер 2.50 Mb");
}

TEST(TrackList, RenameCutsToTheFieldAndFollowsAPresentTag) {
    DISC_INFO disc;
    disc.SetTrackCount(2);
    TagBlocks tags;
    tags.EnsureCount(2);
    tags.Block(1).SetPresent(true);
    RenameTrack(disc, tags, 0, std::string(150, 'x'));
    EXPECT_EQ(disc.Track(0).Title(), std::string(99, 'x'));
    EXPECT_EQ(tags.Block(0).Title(), "");  // no tag: only the record changes
    RenameTrack(disc, tags, 1, "Новое имя");
    EXPECT_EQ(disc.Track(1).Title(), "Новое имя");
    EXPECT_EQ(tags.Block(1).Title(), "Новое имя");
    RenameTrack(disc, tags, 5, "outside");  // no such track: nothing happens
    EXPECT_EQ(disc.Track(5).Title(), "");
}
