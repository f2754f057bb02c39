// The lookup command against a CDDB server on the loopback interface: every
// story of a lookup from the query to the saved album, with the request bytes
// the server received.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/LoopbackServer.h"
#include "base/Text.h"
#include "metadata/CddbLookup.h"
#include "metadata/TitleLookup.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using svtest::HttpReply;
using svtest::LoopbackServer;
using svtest::ServerStep;

// A client whose greeting does not depend on the machine.
class FixedClient : public sv::CCDDB {
public:
    using sv::CCDDB::CCDDB;
    std::string GetClientUser() override { return "ivan"; }
    std::string GetClientHost() override { return "HOME_PC"; }
};

// Scripted dialogs that also keep what the chooser was shown.
class RecordingDialogs : public svtest::ScriptedDialogs {
public:
    std::optional<int> ChooseFromList(std::string_view prompt, const std::vector<std::string>& items,
                                      int preselected) override {
        chooserItems = items;
        chooserPreselected = preselected;
        return svtest::ScriptedDialogs::ChooseFromList(prompt, items, preselected);
    }
    std::vector<std::string> chooserItems;
    int chooserPreselected = -1;
};

const char* const kHello = "&hello=ivan+HOME_PC+Sornaval+3.x&proto=6 HTTP/1.0\r\n\r\n";
const char* const kQuery = "GET /~cddb/cddb.cgi?cmd=cddb+query+0C012A02+2+150+14270+300";

std::string Entry(const std::string& lines) {
    return HttpReply("210 rock 0c012a02 CD database entry follows (until terminating `.')\r\n# xmcd\r\n" + lines +
                     ".\r\n");
}

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok());
        settings.SetCddbServer("127.0.0.1:" + std::to_string(server.Port()));
        settings.SetCddbTimeoutMs(3000);
        localDb.SetRoot(dir.Slash() + "LocalCDDB");
        albums.SetFolder(dir.Slash() + "albums");
        albums.SetLocalDatabase(&localDb);
        PrepareDisc();
    }

    void PrepareDisc() {
        disc.Clear();
        disc.SetTrackCount(static_cast<std::uint8_t>(toc.trackStarts.size()));
        for (std::size_t k = 0; k < toc.trackStarts.size(); ++k)
            disc.Track(static_cast<int>(k)).SetTitle("Track " + std::to_string(k + 1));
        tags.EnsureCount(disc.TrackCount());
    }

    sv::DiscLookupResult Run() {
        sv::DiscLookupContext context{settings, toc,  disc, tags, albums, &artists, dialogs, pump,
                                      [](int timeoutMs) { return std::make_unique<FixedClient>(timeoutMs); },
                                      greetingAddress};
        return sv::RunDiscLookup(context);
    }

    std::string AlbumFile() const { return dir.Slash() + "albums/201402882.dat"; }

    svtest::TempDir dir;
    LoopbackServer server;
    sv::TProgramSettings settings;
    sv::DiscToc toc{{150, 14270}, 22500};  // identifier 0C012A02
    sv::DISC_INFO disc;
    sv::TagBlocks tags;
    sv::TLocalCDDB localDb;
    sv::TAlbumCache albums;
    std::vector<std::string> artists;
    RecordingDialogs dialogs;
    svtest::ScriptedEventPump pump;
    std::string greetingAddress;
};

TEST_F(LookupTest, ExactMatchIsReadAppliedSavedAndComesBackAfterRestart) {
    server.Reply(HttpReply("200 rock 0c012a02 AC/DC / Back in Black\r\n"));
    server.Reply(Entry("DISCID=0c012a02\r\nDTITLE=AC/DC / Back in Black\r\nDYEAR=1980\r\nDGENRE=Hard Rock\r\n"
                       "TTITLE0=Hells Bells\r\nTTITLE1=Shoot to Thrill\r\n"));
    const sv::DiscLookupResult result = Run();
    EXPECT_TRUE(result.applied);
    EXPECT_TRUE(result.saved);
    EXPECT_TRUE(dialogs.Transcript().empty());
    EXPECT_EQ(result.match.category, "rock");
    EXPECT_EQ(result.match.title, "AC/DC / Back in Black");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], std::string(kQuery) + kHello);
    EXPECT_EQ(requests[1], std::string("GET /~cddb/cddb.cgi?cmd=cddb+read+rock+0C012A02") + kHello);

    EXPECT_EQ(disc.DiscIdText(), "0C012A02");
    EXPECT_EQ(disc.Artist(), "AC/DC");
    EXPECT_EQ(disc.TrackCopy(1).Title(), "Shoot to Thrill");
    EXPECT_EQ(tags.Block(0).Title(), "Hells Bells");
    EXPECT_EQ(tags.Block(1).TrackNumber(), "2");
    EXPECT_EQ(artists, std::vector<std::string>{"AC/DC"});
    EXPECT_EQ(fs::file_size(AlbumFile()), 14560u);
    EXPECT_EQ(fs::file_size(AlbumFile() + ".tag"), 2u * 1489u);
    EXPECT_TRUE(fs::exists(dir.Path() / "LocalCDDB/misc/0Cto0C"));

    // A restart: a fresh record is filled from the album cache ...
    sv::TAlbumCache restarted;
    restarted.SetFolder(dir.Slash() + "albums");
    restarted.SetLocalDatabase(&localDb);
    sv::DISC_INFO again;
    sv::TagBlocks againTags;
    ASSERT_TRUE(restarted.LoadAlbum(again, againTags, 0x0C012A02));
    EXPECT_EQ(again.Album(), "Back in Black");
    EXPECT_EQ(again.TrackCopy(0).Title(), "Hells Bells");
    EXPECT_EQ(againTags.Block(1).Title(), "Shoot to Thrill");

    // ... and from the local database when the cache file is gone.
    fs::remove(AlbumFile());
    sv::DISC_INFO fromLocal;
    fromLocal.SetTrackCount(2);
    ASSERT_TRUE(restarted.LoadAlbum(fromLocal, againTags, 0x0C012A02));
    EXPECT_EQ(fromLocal.Artist(), "AC/DC");
    EXPECT_EQ(fromLocal.Album(), "Back in Black");
    EXPECT_EQ(fromLocal.Year(), "1980");
    EXPECT_EQ(fromLocal.Genre(), "Hard Rock");
    EXPECT_EQ(fromLocal.TrackCopy(1).Title(), "Shoot to Thrill");
    EXPECT_EQ(againTags.Raw(), std::vector<std::uint8_t>(2 * 1489, 0));
}

TEST_F(LookupTest, SeveralMatchesGoThroughTheChooser) {
    server.Reply(HttpReply("211 Found inexact matches, list follows (until terminating `.')\r\n"
                           "rock 0c012a02 First Artist / First Album\r\n"
                           "jazz 0c012a03 Second Artist / Second Album\r\n"
                           "misc 0c012a04 Third Artist / Third Album\r\n.\r\n"));
    server.Reply(Entry("DTITLE=Second Artist / Second Album\r\nTTITLE0=One\r\nTTITLE1=Two\r\n"));
    dialogs.ExpectChoice("Выбирете", 1);
    const auto result = Run();
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(dialogs.chooserItems, (std::vector<std::string>{"First Artist / First Album",
                                                              "Second Artist / Second Album",
                                                              "Third Artist / Third Album"}));
    EXPECT_EQ(dialogs.chooserPreselected, 0);
    EXPECT_EQ(result.match.category, "jazz");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], std::string("GET /~cddb/cddb.cgi?cmd=cddb+read+jazz+0C012A03") + kHello);
    EXPECT_EQ(disc.Artist(), "Second Artist");
}

TEST_F(LookupTest, ChooserClosedWithoutChoiceReadsNothing) {
    server.Reply(HttpReply("210 Found exact matches\r\nrock 0c012a02 A / B\r\nrock 0c012a05 C / D\r\n.\r\n"));
    dialogs.ExpectChoice("", std::nullopt);
    const auto result = Run();
    EXPECT_FALSE(result.chosen);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_FALSE(fs::exists(AlbumFile()));
}

TEST_F(LookupTest, SeventeenAndOneHundredOneMatches) {
    std::string seventeen = "211 Found inexact matches\r\n";
    for (int i = 0; i < 17; ++i)
        seventeen += "rock 0c012a" + std::to_string(10 + i) + " Title " + std::to_string(i) + "\r\n";
    server.Reply(HttpReply(seventeen + ".\r\n"));
    server.Reply(Entry("DTITLE=Seventeenth / Album\r\n"));
    dialogs.ExpectChoice("", 16);
    Run();
    EXPECT_EQ(dialogs.chooserItems.size(), 17u);
    EXPECT_EQ(server.Requests()[1], std::string("GET /~cddb/cddb.cgi?cmd=cddb+read+rock+0C012A26") + kHello);

    std::string many = "211 Found inexact matches\r\n";
    for (int i = 0; i < 101; ++i)
        many += "misc " + sv::DiscIdLowerHex(0x0C000000u + i) + " Title " + std::to_string(i) + "\r\n";
    server.Reply(HttpReply(many + ".\r\n"));
    server.Reply(Entry("DTITLE=Hundredth / Album\r\n"));
    dialogs.ExpectMessage("Error adding CDDBQueryResult in table").ExpectChoice("", 99);
    Run();
    EXPECT_TRUE(dialogs.Done());
    ASSERT_EQ(dialogs.chooserItems.size(), 100u);
    EXPECT_EQ(dialogs.chooserItems.back(), "Title 99");
    EXPECT_EQ(server.Requests()[3], std::string("GET /~cddb/cddb.cgi?cmd=cddb+read+misc+0C000063") + kHello);
}

TEST_F(LookupTest, NoMatchAsksAndRetriesOnYes) {
    server.Reply(HttpReply("202 No match for disc ID 0c012a02.\r\n"));
    server.Reply(HttpReply("200 rock 0c012a02 A / B\r\n"));
    server.Reply(Entry("DTITLE=A / B\r\n"));
    dialogs.ExpectYesNo("Попробовать еще раз", true);
    const auto result = Run();
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(result.attempts, 2);
    EXPECT_TRUE(result.applied);
    EXPECT_EQ(server.Connections(), 3);
    EXPECT_EQ(server.Requests()[1], std::string(kQuery) + kHello);
}

// Errors that are not refusals (4xx, an HTTP error page) offer the retry.
TEST_F(LookupTest, NoMatchAndErrorStatusEndOnNo) {
    server.Reply(HttpReply("202 No match for disc ID 0c012a02.\r\n"));
    server.Reply(HttpReply("403 Database entry is corrupt.\r\n"));
    server.Reply("HTTP/1.0 403 Forbidden\r\n\r\n<html>403 Forbidden</html>\r\n");
    dialogs.ExpectYesNo("", true).ExpectYesNo("", true).ExpectYesNo("", false);
    const auto result = Run();
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(result.attempts, 3);
    EXPECT_EQ(result.refusal, "");
    EXPECT_EQ(dialogs.Icons(), std::vector<sv::MessageIcon>(3, sv::MessageIcon::Question));
    EXPECT_FALSE(fs::exists(AlbumFile()));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "LocalCDDB/misc"));
}

TEST_F(LookupTest, FailedReadWarnsAndStillSavesWhatIsKnown) {
    disc.SetArtist("Typed Artist");
    // The server answers the read with an error status and closes without the end marker.
    server.Reply(HttpReply("200 rock 0c012a02 A / B\r\n"));
    server.Reply(HttpReply("401 rock 0c012a02 No such CD entry in database.\r\n"));
    // ... or with an error status and the marker.
    server.Reply(HttpReply("200 rock 0c012a02 A / B\r\n"));
    server.Reply(HttpReply("402 Server error.\r\n.\r\n"));
    dialogs.ExpectMessage("прочитать").ExpectMessage("прочитать");
    EXPECT_FALSE(Run().applied);
    EXPECT_FALSE(Run().applied);
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(dialogs.Icons(), (std::vector<sv::MessageIcon>{sv::MessageIcon::Warning, sv::MessageIcon::Warning}));
    EXPECT_EQ(disc.Artist(), "Typed Artist");
    EXPECT_TRUE(fs::exists(AlbumFile()));
}

// A server that refuses is quoted, with what to do about it, and not asked again.
TEST_F(LookupTest, RefusalIsQuotedInsteadOfTheRetryQuestion) {
    const std::string advice =
        "\nВыберите другой сервер, укажите в настройках e-mail, известный серверу, или ищите названия в MusicBrainz.";
    server.Reply(HttpReply("500 Unknown developer email\r\n"));
    dialogs.ExpectMessage("500 Unknown developer email").ExpectMessage("530 Server error");
    auto result = Run();
    EXPECT_EQ(dialogs.Transcript(),
              std::vector<std::string>{"message: Сервер CDDB отказал: 500 Unknown developer email" + advice});
    EXPECT_EQ(result.refusal, "500 Unknown developer email");
    EXPECT_EQ(result.attempts, 1);
    EXPECT_EQ(server.Connections(), 1);

    // The read refused (the server closes without the end marker): the
    // refusal stands where "could not read" stood.
    server.Reply(HttpReply("200 rock 0c012a02 A / B\r\n"));
    server.Reply(HttpReply("530 Server error\x07, try later\r\n"));
    result = Run();
    EXPECT_TRUE(result.chosen);
    EXPECT_FALSE(result.applied);
    EXPECT_EQ(result.refusal, "530 Server error, try later");
    EXPECT_EQ(dialogs.Transcript().back(), "message: Сервер CDDB отказал: 530 Server error, try later" + advice);
    EXPECT_EQ(dialogs.Icons(), std::vector<sv::MessageIcon>(2, sv::MessageIcon::Warning));
    EXPECT_TRUE(dialogs.Done());
}

// The greeting's e-mail address goes into the query, the read and the mirror list.
TEST_F(LookupTest, TheGreetingCarriesTheAddressInEveryCommand) {
    greetingAddress = "ivan.petrov+cd@mail.example.org";
    const std::string hello = "&hello=ivan.petrov_cd+mail.example.org+Sornaval+3.x&proto=6 HTTP/1.0\r\n\r\n";
    server.Reply(HttpReply("200 rock 0c012a02 A / B\r\n"));
    server.Reply(Entry("DTITLE=A / B\r\n"));
    server.Reply(HttpReply("401 No site information available.\r\n.\r\n"));
    EXPECT_TRUE(Run().applied);
    sv::CCDDBSite local;
    local.host = server.Host();
    local.port = server.Port();
    EXPECT_TRUE(sv::FetchMirrorList(2000, nullptr, local, greetingAddress).empty());
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{std::string(kQuery) + hello,
                                        "GET /~cddb/cddb.cgi?cmd=cddb+read+rock+0C012A02" + hello,
                                        "GET /~cddb/cddb.cgi?cmd=sites" + hello}));
}

TEST_F(LookupTest, EarlyCloseAndSilentServerCountAsNoMatch) {
    server.AddConnection({ServerStep::Send("HTTP/1.0 200 OK\r\nContent-"), ServerStep::Close()});
    server.AddConnection({ServerStep::Hang()});
    settings.SetCddbTimeoutMs(300);
    dialogs.ExpectYesNo("", true).ExpectYesNo("", false);
    const auto start = std::chrono::steady_clock::now();
    const auto result = Run();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(result.attempts, 2);
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::seconds(3));
    // The window kept processing events while the client waited.
    EXPECT_GT(pump.Calls(), 3);
}

TEST_F(LookupTest, LargeReplyWithContinuedTitlesAndSlashes) {
    toc = sv::DiscToc{};
    for (int i = 0; i < 30; ++i) toc.trackStarts.push_back(150 + i * 15000);
    toc.leadOut = 150 + 30 * 15000;
    PrepareDisc();
    const std::uint32_t id = sv::ComputeDiscId(toc);
    std::string lines = "DISCID=" + sv::DiscIdLowerHex(id) + "\r\nDTITLE=Various Artists / Long Titles\r\n";
    for (int k = 0; k < 30; ++k) {
        const std::string n = std::to_string(k);
        lines += "TTITLE" + n + "=Artist " + n + " / Song " + n + " with a title long enough to make the reply ";
        lines += "\r\nTTITLE" + n + "=large\r\n";
    }
    lines += "EXTD=" + std::string(2000, 'e') + "\r\nEXTD=" + std::string(2000, 'f') + "\r\n";
    ASSERT_GT(lines.size(), 4096u);
    server.Reply(HttpReply("200 misc " + sv::DiscIdLowerHex(id) + " Various Artists / Long Titles\r\n"));
    server.Reply(Entry(lines));
    const auto result = Run();
    EXPECT_TRUE(result.applied);
    EXPECT_TRUE(dialogs.Transcript().empty());
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Artist 0 / Song 0 with a title long enough to make the reply large");
    EXPECT_EQ(disc.TrackCopy(29).Title(), "Artist 29 / Song 29 with a title long enough to make the reply large");

    // The local database keeps the titles whole, slashes included.
    sv::DISC_INFO fromLocal;
    ASSERT_TRUE(localDb.LoadById(id, fromLocal));
    EXPECT_EQ(fromLocal.TrackCopy(17).Title(), disc.TrackCopy(17).Title());
    EXPECT_EQ(fromLocal.Artist(), "Various Artists");
}

TEST_F(LookupTest, HostileQueryReplyLeavesCleanMatches) {
    std::string reply = "211 Found inexact matches\r\nrock 0c012a02 " + std::string(100000, 'A') + "\r\n";
    reply += std::string("\x00\x01\x02 garbage\xff\xfe\r\n", 15);
    reply += "jazz 0c012a03 Good / Match\r\n.\r\n";
    server.Reply(HttpReply(reply));
    // The read reply has no end marker and binary bytes; the server closes.
    server.Reply(HttpReply("210 jazz 0c012a03\r\nDTITLE=Good / Match\r\nTTITLE0=\x01\x02"));
    dialogs.ExpectChoice("", 1).ExpectMessage("прочитать");
    Run();
    EXPECT_TRUE(dialogs.Done());
    ASSERT_EQ(dialogs.chooserItems.size(), 2u);
    EXPECT_EQ(dialogs.chooserItems[0], std::string(256, 'A'));
    EXPECT_EQ(dialogs.chooserItems[1], "Good / Match");
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Track 1");
}

TEST_F(LookupTest, ProxyWithAndWithoutUserName) {
    settings.SetCddbServer("gnudb.gnudb.org");
    settings.SetProxyHost("127.0.0.1");
    settings.SetCddbPort(server.Port());
    server.Reply(HttpReply("202 No match.\r\n"));
    server.Reply(HttpReply("202 No match.\r\n"));
    dialogs.ExpectYesNo("", false).ExpectYesNo("", false);
    Run();
    settings.SetProxyUser("ivan");
    settings.SetProxyPassword("secret");
    Run();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string line =
        "GET http://gnudb.gnudb.org/~cddb/cddb.cgi?cmd=cddb+query+0C012A02+2+150+14270+300"
        "&hello=ivan+HOME_PC+Sornaval+3.x&proto=6 HTTP/1.0\r\n";
    EXPECT_EQ(requests[0], line + "Host: gnudb.gnudb.org\r\n\r\n");
    EXPECT_EQ(requests[1], line + "Proxy-Authorization: Basic aXZhbjpzZWNyZXQ=\r\nHost: gnudb.gnudb.org\r\n\r\n");
}

TEST_F(LookupTest, ProxyPortZeroMeansEighty) {
    settings.SetProxyHost("127.0.0.1");
    settings.SetCddbPort(0);
    settings.SetCddbTimeoutMs(300);
    dialogs.ExpectYesNo("", false);
    Run();
    EXPECT_EQ(settings.CddbPort(), 80);
}

TEST(SiteSettingsTest, HostPortAndDefaults) {
    sv::TProgramSettings settings;
    sv::CCDDBSite site = sv::SiteFromSettings(settings);
    EXPECT_EQ(site.host, "gnudb.gnudb.org");
    EXPECT_EQ(site.path, "/~cddb/cddb.cgi");
    EXPECT_EQ(site.port, 80);
    settings.SetCddbServer("cddb.example:8080");
    settings.SetCddbPath("/cgi-bin/cddb.cgi");
    site = sv::SiteFromSettings(settings);
    EXPECT_EQ(site.host, "cddb.example");
    EXPECT_EQ(site.port, 8080);
    EXPECT_EQ(site.path, "/cgi-bin/cddb.cgi");
    settings.SetCddbServer("[::1]:8880");
    EXPECT_EQ(sv::SiteFromSettings(settings).host, "[::1]");
    EXPECT_EQ(sv::SiteFromSettings(settings).port, 8880);
    settings.SetCddbServer("cddb.example:http");
    EXPECT_EQ(sv::SiteFromSettings(settings).port, 80);
}

TEST(MirrorListTest, FetchKeepsTwentySitesAndWritesTheFile) {
    LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    std::string body = "210 OK, site information follows (until terminating `.')\r\n";
    body += "cddb.example cddbp 8880 - N037.21 W122.05 Not an HTTP site\r\n";
    body += "bad.example http 80 /~cddb/cddb.cgi N37.21 W122.05 Six-character latitude\r\n";
    for (int i = 0; i < 25; ++i)
        body += "m" + std::to_string(i) + ".example http 80 /~cddb/cddb.cgi N037.21 W122.05 Mirror " +
                std::to_string(i) + "\r\n";
    server.Reply(HttpReply(body + ".\r\n"));
    server.Reply(HttpReply("401 No site information available.\r\n.\r\n"));
    svtest::TempDir dir;
    const std::string path = dir.Slash() + "setting/serervs.lst";
    sv::CCDDBSite local;
    local.host = server.Host();
    local.port = server.Port();

    const auto sites = sv::RefreshMirrorList(2000, path, nullptr, local);
    ASSERT_EQ(sites.size(), 20u);
    EXPECT_EQ(sites[0].host, "m0.example");
    EXPECT_EQ(sites[19].description, "Mirror 19");
    EXPECT_TRUE(server.Requests()[0].starts_with("GET /~cddb/cddb.cgi?cmd=sites&hello="));
    EXPECT_TRUE(server.Requests()[0].ends_with("&proto=6 HTTP/1.0\r\n\r\n"));

    const std::string file = svtest::ReadFileBytes(path);
    EXPECT_TRUE(file.starts_with("Mirror 0#m0.example#/~cddb/cddb.cgi#\r\nMirror 1#m1.example#/~cddb/cddb.cgi#\r\n"));
    const auto entries = sv::ReadMirrorList(path);
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(sv::MirrorDisplayText(entries[3]), "Mirror 3 (m3.example/~cddb/cddb.cgi)");

    // An error reply changes nothing.
    EXPECT_TRUE(sv::RefreshMirrorList(2000, path, nullptr, local).empty());
    EXPECT_EQ(svtest::ReadFileBytes(path), file);
}

TEST(MirrorListTest, ReadsLinesWithThreeFields) {
    svtest::TempDir dir;
    const std::string path = dir.Slash() + "serervs.lst";
    svtest::WriteFileBytes(path, "Random server#gnudb.gnudb.org#/~cddb/cddb.cgi#\r\nbroken line\r\n\r\n"
                                 "Second#host.example#/cgi#extra#\n");
    const auto entries = sv::ReadMirrorList(path);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].host, "gnudb.gnudb.org");
    EXPECT_EQ(entries[1].path, "/cgi");
    EXPECT_TRUE(sv::ReadMirrorList(dir.Slash() + "missing.lst").empty());
}

}  // namespace

// --- The sources together ---------------------------------------------------

// A MusicBrainz reply found by the table of contents: one release per title,
// each with one medium of the disc's two tracks.
std::string MbReply(int status, const std::vector<std::string>& albums) {
    std::string releases;
    for (const std::string& album : albums)
        releases += std::string(releases.empty() ? "" : ",") + R"({"id":"r-)" + album + R"(","title":")" + album +
                    R"(","date":"1999-05-01","country":"XE","artist-credit":[{"name":"Band","joinphrase":"","artist":)"
                    R"({"id":"b1","name":"Band"}}],"media":[{"position":1,"format":"CD","track-count":2,"discs":[],)"
                    R"("tracks":[{"position":1,"title":"One","length":180000},{"position":2,"title":"Two","length":120000}]}]})";
    const std::string body =
        status == 200 ? R"({"release-count":)" + std::to_string(albums.size()) + R"(,"releases":[)" + releases + "]}"
                      : R"({"error":"Not Found"})";
    return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") +
           "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

TEST_F(LookupTest, TheSourcesAreAskedInTheSettingsOrderUntilOneKnowsTheDisc) {
    const std::string cddbMatch = HttpReply("200 rock 0c012a02 CDDB Band / From CDDB\r\n");
    const std::string cddbEntry = Entry("DTITLE=CDDB Band / From CDDB\r\nTTITLE0=Eins\r\nTTITLE1=Zwei\r\n");
    const std::string refusal = HttpReply("500 Unknown developer email\r\n");
    using S = sv::LookupSource;
    struct Story {
        const char* what;
        S source;
        std::vector<std::string> mb, cddb;  // the replies each server gives
        int choice;                         // the release chosen, -1: no chooser
        const char* answered;               // the source whose titles were taken ("": none)
        const char* album;
        const char* message;                // a fragment of the message shown ("": none)
    } const stories[] = {
        {"MusicBrainz first knows it", S::MusicBrainzThenCddb, {MbReply(200, {"Live"})}, {}, -1, "MusicBrainz", "Live", ""},
        {"MusicBrainz does not, CDDB does", S::MusicBrainzThenCddb, {MbReply(404, {})},
         {cddbMatch, cddbEntry}, -1, "CDDB", "From CDDB", ""},
        {"a refusing CDDB, then MusicBrainz", S::CddbThenMusicBrainz, {MbReply(200, {"Live"})}, {refusal}, -1,
         "MusicBrainz", "Live", ""},
        {"several releases go to the chooser", S::MusicBrainz, {MbReply(200, {"Live", "Studio"})}, {}, 1,
         "MusicBrainz", "Studio", ""},
        {"nobody knows it", S::CddbThenMusicBrainz, {MbReply(404, {})}, {refusal}, -1, "", "",
         "500 Unknown developer email\nВ MusicBrainz нет этого диска."},
    };
    for (const Story& story : stories) {
        SCOPED_TRACE(story.what);
        LoopbackServer mb, cddb;
        ASSERT_TRUE(mb.Ok() && cddb.Ok());
        for (const std::string& reply : story.mb) mb.Reply(reply);
        for (const std::string& reply : story.cddb) cddb.Reply(reply);
        settings.SetCddbServer("127.0.0.1:" + std::to_string(cddb.Port()));
        PrepareDisc();
        if (story.choice >= 0) dialogs.ExpectChoice("", story.choice);
        if (*story.message) dialogs.ExpectMessage(story.message);
        sv::DiscLookupContext context{settings, toc,  disc, tags, albums, &artists, dialogs, pump,
                                      [](int timeoutMs) { return std::make_unique<FixedClient>(timeoutMs); }};
        std::vector<std::string> said;
        sv::TitleLookupContext lookup{context, story.source, sv::MusicBrainzOptions(settings, "http://127.0.0.1:" +
                                                                                        std::to_string(mb.Port())),
                                      [&said](const std::string& text) { said.push_back(text); }};
        lookup.musicBrainz.requestIntervalMs = 0;
        const sv::TitleLookupResult result = sv::RunTitleLookup(lookup);
        EXPECT_TRUE(dialogs.Done());
        EXPECT_EQ(result.source, story.answered);
        EXPECT_EQ(result.applied, *story.answered != 0);
        EXPECT_EQ(mb.Connections(), static_cast<int>(story.mb.size()));
        EXPECT_EQ(cddb.Connections(), story.source == S::MusicBrainzThenCddb && *story.answered == 'M'
                                          ? 0
                                          : static_cast<int>(std::min<std::size_t>(story.cddb.size(), 2)));
        if (!result.applied) continue;
        EXPECT_EQ(disc.Album(), story.album);
        EXPECT_EQ(said.back(), std::string("Названия из ") + story.answered);  // no language loaded: Russian
        // What arrived is in the album cache for the next start.
        sv::DISC_INFO stored;
        sv::TagBlocks storedTags;
        ASSERT_TRUE(albums.LoadAlbum(stored, storedTags, 0x0C012A02));
        EXPECT_EQ(stored.Album(), story.album);
    }
}

TEST_F(LookupTest, MusicBrainzAloneAndSwitchedOffSaysSo) {
    dialogs.ExpectMessage("Поиск в MusicBrainz выключен");
    sv::DiscLookupContext context{settings, toc, disc, tags, albums, &artists, dialogs, pump, {}};
    sv::TitleLookupContext lookup{context, sv::LookupSource::MusicBrainz, sv::MusicBrainzOptions(settings, ""), {}};
    EXPECT_FALSE(sv::RunTitleLookup(lookup).applied);
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(server.Connections(), 0);
}
