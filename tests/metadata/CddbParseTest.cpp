// The parsers of the CDDB client: match lines, mirror-list lines and xmcd
// entries as servers send them, applied to the disc record and tag records.
#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "TestFiles.h"
#include "base/Text.h"
#include "metadata/Cddb.h"
#include "metadata/CddbLookup.h"
#include "metadata/LookupSource.h"
#include "metadata/XmcdEntry.h"
#include "support/ScriptedDialogs.h"

namespace {

sv::DISC_INFO Disc(std::uint32_t id, int tracks) {
    sv::DISC_INFO disc;
    sv::StoreDiscId(disc, id);
    disc.SetTrackCount(static_cast<std::uint8_t>(tracks));
    for (int k = 0; k < tracks; ++k) disc.Track(k).SetTitle("Track " + std::to_string(k + 1));
    return disc;
}

TEST(MatchLineTest, ThreeParts) {
    sv::CCDDBQueryResult m;
    ASSERT_TRUE(sv::ParseMatchLine("rock 0c012a02 Artist / Album", m));
    EXPECT_EQ(m.category, "rock");
    EXPECT_EQ(m.discId, 0x0C012A02u);
    EXPECT_EQ(m.title, "Artist / Album");
    ASSERT_TRUE(sv::ParseMatchLine("misc   9509D60A    AC/DC / Back in Black\r\nnext line", m));
    EXPECT_EQ(m.discId, 0x9509D60Au);
    EXPECT_EQ(m.title, "AC/DC / Back in Black");

    EXPECT_FALSE(sv::ParseMatchLine("rock 0c012a02", m));
    EXPECT_FALSE(sv::ParseMatchLine("rock 0c012a02   ", m));
    EXPECT_FALSE(sv::ParseMatchLine(" 0c012a02 Title", m));
    EXPECT_FALSE(sv::ParseMatchLine("rock xyz Title", m));
    EXPECT_FALSE(sv::ParseMatchLine("rock 1234567890 Title", m));
    EXPECT_FALSE(sv::ParseMatchLine("ro\x01" "ck 0c012a02 Title", m));
    EXPECT_FALSE(sv::ParseMatchLine(".", m));
}

TEST(MatchLineTest, HostileTitlesAreCleanedAndCut) {
    sv::CCDDBQueryResult m;
    ASSERT_TRUE(sv::ParseMatchLine("rock 0c012a02 Bad\x01\x7f Title " + std::string(1000, 'x'), m));
    EXPECT_EQ(m.title.substr(0, 10), "Bad Title ");
    EXPECT_LE(m.title.size(), 256u);
    ASSERT_TRUE(sv::ParseMatchLine("rock 0c012a02 " + std::string("\xc4\xe0", 2), m));  // cp1251 "Да"
    EXPECT_EQ(m.title, "Да");
}

TEST(SiteLineTest, PositionsAndFilters) {
    sv::CCDDBSite site;
    ASSERT_TRUE(sv::ParseSiteLine("gnudb.gnudb.org http 80 /~cddb/cddb.cgi N000.00 W000.00 Random gnudb server",
                                  site));
    EXPECT_EQ(site.host, "gnudb.gnudb.org");
    EXPECT_EQ(site.path, "/~cddb/cddb.cgi");
    EXPECT_EQ(site.port, 80);
    EXPECT_EQ(site.description, "Random gnudb server");

    ASSERT_TRUE(
        sv::ParseSiteLine("mirror.example.au  http  8080  /cgi/cddb  S033.52  E151.13  Sydney, Australia", site));
    EXPECT_EQ(site.north, 0);
    EXPECT_EQ(site.latitude, 33 * 60 + 52);
    EXPECT_EQ(site.east, 1);
    EXPECT_EQ(site.longitude, 151 * 60 + 13);
    EXPECT_EQ(site.port, 8080);

    EXPECT_FALSE(sv::ParseSiteLine("freedb.example cddbp 8880 - N037.21 W122.05 Random server", site));
    EXPECT_FALSE(sv::ParseSiteLine("freedb.example http 80 /~cddb/cddb.cgi N37.21 W122.05 Six characters", site));
    EXPECT_FALSE(sv::ParseSiteLine("freedb.example http 80 /~cddb/cddb.cgi X037.21 W122.05 Bad hemisphere", site));
    EXPECT_FALSE(sv::ParseSiteLine("freedb.example http 80 /~cddb/cddb.cgi N037.21 W122.05", site));
    EXPECT_FALSE(sv::ParseSiteLine("freedb.example http eighty /~cddb/cddb.cgi N037.21 W122.05 Text", site));
    EXPECT_FALSE(sv::ParseSiteLine("free#db.example http 80 /~cddb/cddb.cgi N037.21 W122.05 Text", site));
    ASSERT_TRUE(sv::ParseSiteLine("a.example http 80 /p N037.21 W122.05 Bad # description", site));
    EXPECT_EQ(site.description, "Bad   description");
}

TEST(DiscTitleTest, SplitRules) {
    auto split = [](std::string_view v) {
        const auto p = sv::SplitDiscTitle(v);
        return p.artist + "|" + p.album;
    };
    EXPECT_EQ(split("Some Band / Some Album"), "Some Band|Some Album");
    EXPECT_EQ(split("AC/DC / Back in Black"), "AC/DC|Back in Black");
    EXPECT_EQ(split("Solo"), "Solo|");
    EXPECT_EQ(split("Artist/Album"), "Artist|Album");
    EXPECT_EQ(split("Artist /Album"), "Artist|Album");
    EXPECT_EQ(split("Artist/"), "Artist|");
    EXPECT_EQ(split("//Artist/Album"), "Artist|/Artist/Album");
}

TEST(XmcdEntryTest, ContinuedKeysEscapesAndComments) {
    const auto entry = sv::XmcdEntry::Parse(
        "# xmcd\n#\n# DTITLE=not a key in a comment\nDTITLE=Very Long Artist / Very Long Al\r\n"
        "DTITLE=bum Name\r\nTTITLE0=One\\nTwo\\tTab\\\\Back\\x\r\nTTITLE1=Bin\x01\x02" "ary\x7f\r\nno equals sign\r\n"
        "=empty key\r\nTTITLE0=\r\nTTITLE2=last line without line end");
    EXPECT_TRUE(entry.XmcdSeen());
    ASSERT_NE(entry.Value("DTITLE"), nullptr);
    EXPECT_EQ(*entry.Value("DTITLE"), "Very Long Artist / Very Long Album Name");
    EXPECT_EQ(*entry.Value("TTITLE0"), "One\nTwo\tTab\\Back\\x");
    EXPECT_EQ(*entry.Value("TTITLE1"), "Binary");
    EXPECT_EQ(*entry.Value("TTITLE2"), "last line without line end");
    EXPECT_EQ(entry.KeyCount(), 4u);

    EXPECT_EQ(sv::EncodeXmcdEscapes("a\\b\nc\td\re"), "a\\\\b\\nc\\tde");
    EXPECT_EQ(sv::DecodeXmcdEscapes(sv::EncodeXmcdEscapes("a\\nb\\\n")), "a\\nb\\\n");
}

TEST(ReadReplyApplyTest, RealStyleEntryFillsRecordAndTags) {
    const std::string body = "210 rock 9509d60a CD database entry follows (until terminating `.')\r\n" +
                             svtest::MetadataTestFile("back_in_black.xmcd");
    sv::DISC_INFO disc = Disc(0x9509D60A, 10);
    sv::TagBlocks tags;
    tags.EnsureCount(10);
    tags.Block(4).SetComment("kept");
    svtest::ScriptedDialogs dialogs;
    ASSERT_TRUE(sv::ApplyReadReply(body, disc, tags, &dialogs));
    EXPECT_EQ(disc.Artist(), "AC/DC");
    EXPECT_EQ(disc.Album(), "Back in Black");
    EXPECT_EQ(disc.Year(), "1980");
    EXPECT_EQ(disc.Genre(), "Hard Rock");
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Hells Bells");
    const std::string joined =
        "What Do You Do for Money Honey (a title long enough that the submitting program split it over two lines)";
    EXPECT_EQ(disc.TrackCopy(2).Title(), joined.substr(0, 99));
    // The tracks after the continued title keep their own titles.
    EXPECT_EQ(disc.TrackCopy(3).Title(), "Given the Dog a Bone");
    EXPECT_EQ(disc.TrackCopy(9).Title(), "Rock and Roll Ain't Noise Pollution");

    const sv::TagRecordRef tag = tags.Block(4);
    EXPECT_TRUE(tag.Present());
    EXPECT_EQ(tag.Title(), "Let Me Put My Love into You");
    EXPECT_EQ(tag.Artist(), "AC/DC");
    EXPECT_EQ(tag.OriginalArtist(), "AC/DC");
    EXPECT_EQ(tag.Album(), "Back in Black");
    EXPECT_EQ(tag.Year(), "1980");
    EXPECT_EQ(tag.Genre(), "Hard Rock");
    EXPECT_EQ(tag.TrackNumber(), "5");
    EXPECT_EQ(tag.Comment(), "kept");
    EXPECT_EQ(tags.Block(2).Title().size(), 49u);
}

TEST(ReadReplyApplyTest, UnicodeSlashesInTrackTitlesAndEscapes) {
    const std::string body = "210 misc 27044a04\r\n" + svtest::MetadataTestFile("kino.xmcd");
    sv::DISC_INFO disc = Disc(0x27044A04, 4);
    sv::TagBlocks tags;
    svtest::ScriptedDialogs dialogs;
    ASSERT_TRUE(sv::ApplyReadReply(body, disc, tags, &dialogs));
    EXPECT_EQ(disc.Artist(), "Кино");
    EXPECT_EQ(disc.Album(), "Группа крови");
    EXPECT_EQ(disc.Genre(), "Рок");
    EXPECT_EQ(disc.TrackCopy(1).Title(), "Закрой за мной дверь / я ухожу");
    EXPECT_EQ(disc.TrackCopy(2).Title(), "Спокойная ночь\tверсия 2");
    EXPECT_EQ(disc.TrackCopy(3).Title(), "Слова\nи\\музыка");
    EXPECT_EQ(tags.Count(), 4);
    EXPECT_EQ(tags.Block(3).TrackNumber(), "4");
}

TEST(ReadReplyApplyTest, DiscIdCheck) {
    const std::string entry = "210 rock 0c012a02\r\nDTITLE=A / B\r\nTTITLE0=x\r\n";
    sv::TagBlocks tags;
    {
        // A DISCID line that does not list the disc warns, and the entry is applied.
        sv::DISC_INFO disc = Disc(0x0C012A02, 1);
        svtest::ScriptedDialogs dialogs;
        dialogs.ExpectMessage("идентификатор");
        ASSERT_TRUE(sv::ApplyReadReply(entry + "DISCID=deadbeef,00000001\r\n", disc, tags, &dialogs));
        EXPECT_TRUE(dialogs.Done());
        ASSERT_EQ(dialogs.Icons().size(), 1u);
        EXPECT_EQ(dialogs.Icons()[0], sv::MessageIcon::Warning);
        EXPECT_EQ(disc.Artist(), "A");
    }
    {
        // Upper case and spaces in the list still match; no DISCID at all shows nothing.
        sv::DISC_INFO disc = Disc(0x0C012A02, 1);
        svtest::ScriptedDialogs dialogs;
        EXPECT_TRUE(sv::ApplyReadReply(entry + "DISCID=deadbeef, 0C012A02\r\n", disc, tags, &dialogs));
        EXPECT_TRUE(sv::ApplyReadReply(entry, disc, tags, &dialogs));
        EXPECT_TRUE(dialogs.Transcript().empty());
    }
}

TEST(ReadReplyApplyTest, PartialAndFailedEntries) {
    svtest::ScriptedDialogs dialogs;
    sv::TagBlocks tags;
    sv::DISC_INFO disc = Disc(0x0C012A02, 3);
    disc.SetAlbum("Old Album");
    // DTITLE without a slash names the artist and leaves the album; titles past the
    // disc's last track are not used.
    ASSERT_TRUE(sv::ApplyReadReply("210 rock 0c012a02\r\nDTITLE=Solo\r\nTTITLE1=Second\r\nTTITLE3=Fourth\r\n", disc,
                                   tags, &dialogs));
    EXPECT_EQ(disc.Artist(), "Solo");
    EXPECT_EQ(disc.Album(), "Old Album");
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Track 1");
    EXPECT_EQ(disc.TrackCopy(1).Title(), "Second");
    EXPECT_EQ(disc.TrackCopy(3).Title(), "");
    EXPECT_FALSE(tags.Block(0).Present());
    EXPECT_TRUE(tags.Block(1).Present());

    // An error status applies nothing.
    sv::DISC_INFO before = disc;
    EXPECT_FALSE(sv::ApplyReadReply("401 rock 0c012a02 No such CD entry in database.\r\nDTITLE=X / Y\r\n", disc,
                                    tags, &dialogs));
    EXPECT_TRUE(disc == before);
}

TEST(ReadReplyApplyTest, HostileValuesAreCutToValidText) {
    svtest::ScriptedDialogs dialogs;
    sv::TagBlocks tags;
    sv::DISC_INFO disc = Disc(0x0C012A02, 2);
    std::string longCyrillic;
    for (int i = 0; i < 5000; ++i) longCyrillic += "Ж";
    std::string body = "210 rock 0c012a02\r\nDTITLE=" + longCyrillic + " / " + longCyrillic + "\r\nDYEAR=" +
                       longCyrillic + "\r\nDGENRE=" + longCyrillic + "\r\nTTITLE0=" + std::string(1, '\0') +
                       "Nul\x1b[31m\r\n";
    for (int i = 0; i < 300; ++i) body += "TTITLE1=" + longCyrillic.substr(0, 1001) + "\r\n";
    ASSERT_TRUE(sv::ApplyReadReply(body, disc, tags, &dialogs));
    EXPECT_EQ(disc.Artist(), longCyrillic.substr(0, 48));
    EXPECT_EQ(disc.Album(), longCyrillic.substr(0, 48));
    EXPECT_EQ(disc.Year(), longCyrillic.substr(0, 8));
    EXPECT_EQ(disc.Genre(), longCyrillic.substr(0, 18));
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Nul[31m");
    EXPECT_TRUE(sv::IsValidUtf8(disc.TrackCopy(1).Title()));
    EXPECT_LE(disc.TrackCopy(1).Title().size(), 99u);
    EXPECT_GE(disc.TrackCopy(1).Title().size(), 96u);
    EXPECT_TRUE(sv::IsValidUtf8(tags.Block(1).Title()));
    EXPECT_LE(tags.Block(1).Title().size(), 49u);
    // Nothing was written past the record's fields.
    EXPECT_EQ(disc.TrackCopy(2).Title(), "");
    EXPECT_EQ(disc.DiscIdText(), "0C012A02");
}

TEST(CaseTest, FoldsLatinGreekAndCyrillic) {
    EXPECT_TRUE(sv::EqualsIgnoreCase("ЗВЕРИ", "звери"));
    EXPECT_TRUE(sv::EqualsIgnoreCase("Ёлка", "ёЛКА"));
    EXPECT_TRUE(sv::EqualsIgnoreCase("Mötley Crüe", "MÖTLEY CRÜE"));
    EXPECT_FALSE(sv::EqualsIgnoreCase("Abba", "Abbа"));  // the last letter is Cyrillic
    std::vector<std::string> list{"Кино"};
    EXPECT_FALSE(sv::AddUniqueIgnoreCase(list, "КИНО"));
    EXPECT_FALSE(sv::AddUniqueIgnoreCase(list, ""));
    EXPECT_TRUE(sv::AddUniqueIgnoreCase(list, "Аквариум"));
    EXPECT_EQ(list.size(), 2u);
}

}  // namespace

namespace {

// An e-mail address gives the greeting's user and host; the address parts
// keep ".", "-" and "_", anything that could break the URL becomes "_".
TEST(GreetingAddressTest, NameAtDomainSplitAndCleaned) {
    struct Case {
        const char* address;
        std::optional<std::pair<std::string, std::string>> parts;
    };
    using P = std::pair<std::string, std::string>;
    for (const Case& c : {Case{"", std::nullopt}, Case{"   ", std::nullopt}, Case{"ivan", std::nullopt},
                          Case{"@example.org", std::nullopt}, Case{"ivan@", std::nullopt},
                          Case{"ivan.petrov@mail.example.org", P{"ivan.petrov", "mail.example.org"}},
                          Case{" Ivan_P-1@Example.ORG ", P{"Ivan_P-1", "Example.ORG"}},
                          Case{"ivan+cd@example.org", P{"ivan_cd", "example.org"}},
                          Case{"a@b@example.org", P{"a_b", "example.org"}},
                          Case{"i v&n=1@ex ample.org", P{"i_v_n_1", "ex_ample.org"}},
                          Case{"x\r\n@y%0A#", P{"x__", "y_0A_"}},
                          Case{"\xd0\xb8\xd0\xb2@\xd1\x80\xd1\x84.ru", P{"____", "____.ru"}}}) {
        const auto identity = sv::GreetingFromAddress(c.address);
        std::optional<P> parts;
        if (identity) parts = P(identity->user, identity->host);
        EXPECT_EQ(parts, c.parts) << c.address;
    }
    sv::CCDDB client(0);
    client.SetGreetingAddress("ivan+cd@mail.example.org");
    EXPECT_EQ(client.GetHelloString(), "hello=ivan_cd+mail.example.org+Sornaval+3.x&proto=6");
}

// A status 5xx with text is a refusal; its line is shown cleaned and capped.
TEST(RefusalLineTest, FiveHundredsWithTextOnly) {
    const std::string ok = "HTTP/1.0 200 OK\r\n\r\n";
    std::string euros;
    for (int i = 0; i < 100; ++i) euros += "\xe2\x82\xac";  // 3 bytes each
    std::string euros65;
    for (int i = 0; i < 65; ++i) euros65 += "\xe2\x82\xac";  // 4 + 195 bytes fit in 200
    struct Case {
        std::string reply;
        std::string line;
    };
    for (const Case& c : {Case{ok + "500 Unknown developer email\r\n", "500 Unknown developer email"},
                          Case{ok + "530 Server error, try again later\r\n.\r\n", "530 Server error, try again later"},
                          Case{ok + "501 Invalid hello\r\nsecond line\r\n", "501 Invalid hello"},
                          Case{ok + "500 Unknown developer email", "500 Unknown developer email"},  // closed
                          Case{ok + "500  Bad\x01\x7Fly\tformed  \r\n", "500 Badlyformed"},
                          Case{ok + "500 " + std::string(300, 'x') + "\r\n", "500 " + std::string(196, 'x')},
                          Case{ok + "502 " + euros + "\r\n", "502 " + euros65},
                          Case{ok + "500\r\n", ""}, Case{ok + "500    \r\n", ""}, Case{ok + "500 \x01\x02\r\n", ""},
                          Case{ok + "403 Database entry is corrupt\r\n", ""}, Case{ok + "202 No match\r\n", ""},
                          Case{ok + "600 Over\r\n", ""}, Case{ok + "5000 x\r\n", ""}, Case{ok + "50 x", ""},
                          Case{"HTTP/1.0 500 Internal Server Error\r\n", ""},
                          Case{"HTTP/1.0 500 Internal Server Error\r\n\r\n<html>500 Internal</html>", ""}}) {
        EXPECT_EQ(sv::RefusalLine(c.reply), c.line) << c.reply.substr(0, 60);
    }
}

TEST(LookupSourceTest, CommandLineWordsAndStoredNumbers) {
    using sv::LookupSource;
    EXPECT_EQ(sv::ParseLookupSourceOption("musicbrainz", LookupSource::Cddb), LookupSource::MusicBrainz);
    EXPECT_EQ(sv::ParseLookupSourceOption("CDDB", LookupSource::MusicBrainz), LookupSource::Cddb);
    EXPECT_EQ(sv::ParseLookupSourceOption("auto", LookupSource::CddbThenMusicBrainz), LookupSource::CddbThenMusicBrainz);
    for (const char* bad : {"", "mb", "musicbrainz ", "both"})
        EXPECT_FALSE(sv::ParseLookupSourceOption(bad, LookupSource::Cddb).has_value()) << bad;
    EXPECT_EQ(sv::LookupSourceFromNumber(3), LookupSource::CddbThenMusicBrainz);
    EXPECT_FALSE(sv::LookupSourceFromNumber(4).has_value());
    EXPECT_FALSE(sv::LookupSourceFromNumber(-1).has_value());
}

}  // namespace
