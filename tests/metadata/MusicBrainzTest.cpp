// The MusicBrainz side: disc identifiers of published discs, the reading of
// the web service's replies, how a release fills the disc record, and the
// lookup against a server on the loopback interface that answers as the
// service does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "base/Text.h"
#include "metadata/MusicBrainzLookup.h"
#include "metadata/Sha1.h"
#include "support/LoopbackServer.h"

namespace {

using svtest::LoopbackServer;
using svtest::ServerStep;
using Clock = std::chrono::steady_clock;
using Status = sv::MbLookupResult::Status;

std::string Hex(const sv::Sha1Digest& digest) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : digest) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

TEST(Sha1Test, Fips180Examples) {
    EXPECT_EQ(Hex(sv::Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Hex(sv::Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Hex(sv::Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Hex(sv::Sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// A READ TOC reply in MSF form: track starts and lead-out in absolute frames,
// the tracks numbered from 1, `dataTracks` (numbers) with control 4.
std::vector<std::uint8_t> RawToc(const std::vector<int>& starts, const std::vector<int>& dataTracks, int leadOut) {
    std::vector<std::uint8_t> raw(4 + 8 * (starts.size() + 1), 0);
    raw[2] = 1;
    raw[3] = static_cast<std::uint8_t>(starts.size());
    for (std::size_t k = 0; k <= starts.size(); ++k) {
        std::uint8_t* d = raw.data() + 4 + 8 * k;
        const bool data = std::find(dataTracks.begin(), dataTracks.end(), static_cast<int>(k + 1)) != dataTracks.end();
        d[1] = data ? 0x14 : 0x10;
        d[2] = k < starts.size() ? static_cast<std::uint8_t>(k + 1) : 0xAA;
        const sv::Msf m = sv::FramesToMsf(k < starts.size() ? starts[k] : leadOut);
        d[5] = static_cast<std::uint8_t>(m.m);
        d[6] = static_cast<std::uint8_t>(m.s);
        d[7] = static_cast<std::uint8_t>(m.f);
    }
    return raw;
}

// Identifiers and toc texts of discs as MusicBrainz and other programs
// published them, read from the drive's table of contents.
TEST(MusicBrainzIdTest, PublishedDiscs) {
    struct Case {
        const char* disc;
        std::vector<int> starts;  // absolute frames, every track of every session
        std::vector<int> dataTracks;
        int leadOut;  // the disc's final lead-out
        const char* id;
        const char* toc;
    };
    const Case cases[] = {
        // The worked example of MusicBrainz's "Disc ID Calculation" page.
        {"six-track audio CD", {150, 15363, 32314, 46592, 63414, 80489}, {}, 95462,
         "49HHV7Eb8UKF3aQiNmu1GR8vKTY-", "1+6+95462+150+15363+32314+46592+63414+80489"},
        // Nirvana, Nevermind: offsets and sectors of the disc on MusicBrainz.
        {"Nevermind",
         {150, 22743, 41850, 58283, 72070, 91348, 104618, 115338, 132138, 143908, 159828, 174565}, {}, 192030,
         "y6Br7t4P.bldLe_6Im2d9Z42IU4-",
         "1+12+192030+150+22743+41850+58283+72070+91348+104618+115338+132138+143908+159828+174565"},
        // The enhanced CD of the same page: seven audio tracks, the data track at
        // LBA 125824 in the second session, final lead-out at LBA 188333.
        {"enhanced CD of the documentation", {150, 14109, 33586, 53077, 65781, 77892, 99174, 125974}, {8}, 188483,
         "BPnh1KU.hea1C.KMYWLGZkHJr0w-", "1+7+114574+150+14109+33586+53077+65781+77892+99174"},
        // Ladyhawke, enhanced CD (whipper's test suite: id and submission toc).
        {"Ladyhawke",
         {150, 15687, 31841, 51016, 66616, 81352, 99559, 116070, 133243, 149997, 161710, 177832, 207256}, {13},
         210535, "KnpGsLhvH.lPrNc1PBL21lb9Bg4-",
         "1+12+195856+150+15687+31841+51016+66616+81352+99559+116070+133243+149997+161710+177832"},
        // Capital (whipper's test suite): enhanced CD whose first track starts at
        // frame 24320, after audio hidden in its pre-gap.
        {"Capital",
         {24320, 44855, 64090, 77885, 88095, 104020, 118245, 129255, 141765, 164487, 181780, 209250}, {12},
         333000, "MAj3xXf6QMy7G.BIFOyHyq4MySE-",
         "1+11+197850+24320+44855+64090+77885+88095+104020+118245+129255+141765+164487+181780"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disc);
        const auto toc = sv::ParseRawToc(RawToc(c.starts, c.dataTracks, c.leadOut));
        ASSERT_TRUE(toc.has_value());
        EXPECT_EQ(sv::MusicBrainzDiscId(*toc), c.id);
        const auto mb = sv::MusicBrainzToc(*toc);
        ASSERT_TRUE(mb.has_value());
        EXPECT_EQ(sv::MusicBrainzTocText(*mb), c.toc);
    }

    // A data track before the audio (mixed mode) stays in; a disc of data only has no identifier.
    const auto mixed = sv::MusicBrainzToc(*sv::ParseRawToc(RawToc({150, 60000, 80000}, {1}, 100000)));
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ(sv::MusicBrainzTocText(*mixed), "1+3+100000+150+60000+80000");
    EXPECT_EQ(sv::MusicBrainzDiscId(*sv::ParseRawToc(RawToc({150}, {1}, 30000))), "");
}

// --- Replies -------------------------------------------------------------

const char* const kDiscId = "49HHV7Eb8UKF3aQiNmu1GR8vKTY-";
const char* const kVa = "89ad4ac3-39f7-470e-963a-56509c546377";

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// One entry of an "artist-credit" list.
std::string Credit(const std::string& name, const std::string& id, const std::string& join = "") {
    return R"({"name":)" + Quote(name) + R"(,"joinphrase":)" + Quote(join) + R"(,"artist":{"id":)" + Quote(id) +
           R"(,"name":)" + Quote(name) + R"(,"sort-name":)" + Quote(name) + R"(,"disambiguation":"","type":"Group"}})";
}

struct TrackSpec {
    std::string title;
    int lengthMs;
    std::string credit;  // the track's artist-credit entries
};

std::string Tracks(const std::vector<TrackSpec>& tracks) {
    std::string out = "[";
    for (std::size_t k = 0; k < tracks.size(); ++k) {
        const auto& t = tracks[k];
        const std::string n = std::to_string(k + 1);
        out += std::string(k ? "," : "") + R"({"id":"a1e5b6c2-0000-4000-8000-00000000000)" + n +
               R"(","position":)" + n + R"(,"number":")" + n + R"(","title":)" + Quote(t.title) +
               R"(,"length":)" + std::to_string(t.lengthMs) + R"(,"artist-credit":[)" + t.credit +
               R"(],"recording":{"id":"7c0c5e2a-0000-4000-8000-00000000000)" + n + R"(","title":)" +
               Quote(t.title) + R"(,"length":)" + std::to_string(t.lengthMs) + R"(,"video":false,"artist-credit":[)" +
               t.credit + "]}}";
    }
    return out + "]";
}

std::string Medium(int position, const std::string& format, const std::vector<std::string>& discIds,
                   const std::vector<TrackSpec>& tracks, const std::string& title = "") {
    std::string discs;
    for (const auto& id : discIds)
        discs += std::string(discs.empty() ? "" : ",") + R"({"id":)" + Quote(id) +
                 R"(,"sectors":95462,"offset-count":6,"offsets":[150,15363,32314,46592,63414,80489]})";
    return R"({"position":)" + std::to_string(position) + R"(,"title":)" + Quote(title) + R"(,"format":)" +
           Quote(format) + R"(,"format-id":"9712d52a-4509-3d4b-a1a2-67c88c643e31","track-offset":0,"track-count":)" +
           std::to_string(tracks.size()) + R"(,"discs":[)" + discs + R"(],"tracks":)" + Tracks(tracks) + "}";
}

std::string Release(const std::string& id, const std::string& title, const std::string& credit,
                    const std::string& date, const std::string& country, const std::vector<std::string>& media) {
    std::string list;
    for (const auto& m : media) list += (list.empty() ? "" : ",") + m;
    return R"({"id":)" + Quote(id) + R"(,"title":)" + Quote(title) + R"(,"status":"Official","quality":"normal",)" +
           R"("date":)" + (date.empty() ? "null" : Quote(date)) + R"(,"country":)" +
           (country.empty() ? "null" : Quote(country)) +
           R"(,"barcode":"","packaging":"Jewel Case","text-representation":{"language":"eng","script":"Latn"},)" +
           R"("artist-credit":[)" + credit + R"(],"media":[)" + list + "]}";
}

std::string DiscReply(const std::vector<std::string>& releases) {
    std::string list;
    for (const auto& r : releases) list += (list.empty() ? "" : ",") + r;
    return R"({"id":")" + std::string(kDiscId) +
           R"(","sectors":95462,"offset-count":6,"offsets":[150,15363,32314,46592,63414,80489],"releases":[)" + list +
           "]}";
}

std::string FuzzyReply(const std::vector<std::string>& releases) {
    std::string list;
    for (const auto& r : releases) list += (list.empty() ? "" : ",") + r;
    return R"({"release-count":)" + std::to_string(releases.size()) + R"(,"release-offset":0,"releases":[)" + list +
           "]}";
}

const char* const kPortishead = "8f6bd1e4-fbe1-4f50-aa9b-94c450ec0f11";

std::vector<TrackSpec> SixTracks(const std::string& credit) {
    return {{"Mysterons", 302000, credit},    {"Sour Times", 254000, credit}, {"Strangers", 238000, credit},
            {"It Could Be Sweet", 260000, credit}, {"Wandering Star", 293000, credit}, {"It's a Fire", 229000, credit}};
}

TEST(MusicBrainzReplyTest, HostileRepliesGiveAClearReason) {
    const std::string deep = std::string(100, '[') + std::string(100, ']');
    const struct {
        std::string json;
        const char* reason;
    } cases[] = {
        {"<html>Bad gateway</html>", "not JSON"},
        {R"({"releases": [)", "not JSON"},
        {"[]", "not a JSON object"},
        {R"({"error": "Invalid mbid.", "help": "For usage, please see: https://musicbrainz.org/development/mmd"})",
         "the service answered: Invalid mbid."},
        {R"({"id": "x", "sectors": 95462})", "has no \"releases\""},
        {R"({"releases": {"title": "x"}})", "\"releases\" is not a list"},
        {R"({"releases": [7]})", "a release is not an object"},
        {R"({"releases": [{"title": "x", "media": {"position": 1}}]})", "media of a release are not a list"},
        {R"({"releases": [{"media": ["CD"]}]})", "a medium is not an object"},
        {R"({"releases": [{"media": [{"track-count": 6, "tracks": "six"}]}]})", "tracks of a medium are not a list"},
        {R"({"releases": [{"media": [{"discs": [{"id": ")" + std::string(kDiscId) + R"("}], "tracks": [1]}]}]})",
         "a track is not an object"},
        {R"({"releases": [{"media": [{"track-count": 9}]}]})", "no release of the reply has a medium of this disc"},
        {R"({"releases": [)" + deep + "]}", "nested more than 64 levels"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json.substr(0, 80));
        std::string error;
        EXPECT_FALSE(sv::ParseMusicBrainzReply(c.json, kDiscId, 6, error).has_value());
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }

    // Fields of the wrong type count as missing; long texts are cut at a
    // character boundary; a medium of this disc keeps 99 tracks at most.
    std::string longTitle = "x";
    for (int k = 0; k < 3000; ++k) longTitle += "Ж";
    std::vector<TrackSpec> many(150, TrackSpec{longTitle, 1000, Credit("Я", "1")});
    std::string odd = Release("r", "", Credit(std::string(600, 'Z') + "Ж", "2"), "", "", {Medium(1, "CD", {kDiscId}, many)});
    odd.replace(odd.find(R"("title":"")"), 10, R"("title":["x"])");
    std::string error;
    const auto reply = sv::ParseMusicBrainzReply(DiscReply({odd}), kDiscId, 6, error);
    ASSERT_TRUE(reply.has_value()) << error;
    const sv::MbRelease& r = reply->releases.at(0);
    EXPECT_EQ(r.title, "");
    EXPECT_EQ(r.tracks.size(), 99u);
    EXPECT_EQ(r.tracks[0].title.size(), sv::kMaxMbTextBytes - 1);
    EXPECT_TRUE(sv::IsValidUtf8(r.tracks[0].title));
    EXPECT_EQ(r.tracks[0].artist, "Я");
    EXPECT_EQ(r.artist, std::string(600, 'Z') + "Ж");

    // More than a hundred releases: the first hundred are kept.
    std::vector<std::string> crowd(150, Release("r", "t", Credit("A", "1"), "2000", "GB",
                                                {Medium(1, "CD", {kDiscId}, SixTracks(Credit("A", "1")))}));
    const auto crowded = sv::ParseMusicBrainzReply(DiscReply(crowd), kDiscId, 6, error);
    ASSERT_TRUE(crowded.has_value()) << error;
    EXPECT_EQ(crowded->releases.size(), sv::kMaxMbReleases);
}

TEST(MusicBrainzReplyTest, ReleaseFillsTheAudioTracksOfTheRecord) {
    // An enhanced CD: two audio tracks and a data track; the release has three tracks.
    sv::DISC_INFO disc;
    disc.SetTrackCount(3);
    disc.SetGenre("Trip Hop");
    disc.Track(0).SetAudioFlag(true);
    disc.Track(1).SetAudioFlag(true);
    disc.Track(2).SetTitle("Data");
    sv::TagBlocks tags;
    tags.EnsureCount(3);
    sv::MbRelease release;
    release.title = "Dummy";
    release.artist = "Portishead";
    release.year = "1994";
    release.tracks = {{"Mysterons", "Portishead", 1}, {"Sour Times", "Portishead", 1}, {"Strangers", "Portishead", 1}};
    EXPECT_EQ(sv::ApplyMusicBrainzRelease(release, disc, tags), 2);
    EXPECT_EQ(disc.Album(), "Dummy");
    EXPECT_EQ(disc.Artist(), "Portishead");
    EXPECT_EQ(disc.Year(), "1994");
    EXPECT_EQ(disc.Genre(), "Trip Hop");
    EXPECT_FALSE(disc.Compilation());
    EXPECT_EQ(disc.TrackCopy(1).Title(), "Sour Times");
    EXPECT_EQ(disc.TrackCopy(2).Title(), "Data");
    EXPECT_FALSE(tags.Block(2).Present());
    const sv::TagRecordRef tag = tags.Block(1);
    EXPECT_TRUE(tag.Present());
    EXPECT_EQ(tag.Title(), "Sour Times");
    EXPECT_EQ(tag.Artist(), "Portishead");
    EXPECT_EQ(tag.Album(), "Dummy");
    EXPECT_EQ(tag.Year(), "1994");
    EXPECT_EQ(tag.Genre(), "Trip Hop");
    EXPECT_EQ(tag.TrackNumber(), "2");
    EXPECT_EQ(tag.OriginalArtist(), "Portishead");
}

// --- The lookup ----------------------------------------------------------

std::string JsonReply(int status, const std::string& body, const std::string& headers = "") {
    const std::string reason = status == 200   ? "OK"
                               : status == 400 ? "Bad Request"
                               : status == 404 ? "Not Found"
                                               : "Service Unavailable";
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nServer: nginx\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

// Counts the events it processes; asks to cancel after `cancelAfter` calls (0: never).
class CountingPump final : public sv::IEventPump {
public:
    explicit CountingPump(int cancelAfter = 0) : cancelAfter_(cancelAfter) {}
    void ProcessPendingEvents() override { ++calls; }
    bool CancelRequested() const override { return cancelAfter_ > 0 && calls >= cancelAfter_; }
    int calls = 0;

private:
    int cancelAfter_;
};

const char* const kTarget =
    "/ws/2/discid/49HHV7Eb8UKF3aQiNmu1GR8vKTY-?inc=artist-credits+recordings&fmt=json&cdstubs=no"
    "&toc=1+6+95462+150+15363+32314+46592+63414+80489";

class MusicBrainzLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok());
        options.baseUrl = "http://127.0.0.1:" + std::to_string(server.Port());
        options.timeoutMs = 5000;
        options.requestIntervalMs = 0;
    }

    sv::MbLookupResult Run() { return sv::LookupMusicBrainz(toc, options, &pump); }

    LoopbackServer server;
    sv::MbLookupOptions options;
    CountingPump pump;
    sv::DiscToc toc{{150, 15363, 32314, 46592, 63414, 80489}, 95462};
};

TEST_F(MusicBrainzLookupTest, OneReleaseIsFoundAndFillsTheRecord) {
    const std::string portishead = Credit("Portishead", kPortishead);
    server.Reply(JsonReply(200, DiscReply({Release("76df3287-6cda-33eb-8e9a-044b5e15ffdd", "Dummy", portishead,
                                                   "1994-08-22", "GB", {Medium(1, "CD", {kDiscId}, SixTracks(portishead))})})));
    const sv::MbLookupResult result = Run();
    ASSERT_EQ(result.status, Status::Found) << result.message;
    EXPECT_FALSE(result.fuzzy);
    EXPECT_EQ(result.httpStatus, 200);
    EXPECT_EQ(result.discId, kDiscId);
    ASSERT_EQ(result.releases.size(), 1u);
    const sv::MbRelease& r = result.releases[0];
    EXPECT_EQ(r.id, "76df3287-6cda-33eb-8e9a-044b5e15ffdd");
    EXPECT_EQ(r.date, "1994-08-22");
    EXPECT_EQ(r.year, "1994");
    EXPECT_EQ(r.format, "CD");
    EXPECT_FALSE(r.variousArtists);
    ASSERT_EQ(r.tracks.size(), 6u);
    EXPECT_EQ(r.tracks[3].title, "It Could Be Sweet");
    EXPECT_EQ(r.tracks[3].lengthMs, 260000);
    EXPECT_EQ(sv::MbChooserText(r), "Portishead / Dummy (1994, GB, CD)");

    // The request as the server saw it.
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), std::string("GET ") + kTarget + " HTTP/1.1");
    const std::string agent = "\r\nUser-Agent: " + sv::MusicBrainzUserAgent() + "\r\n";
    EXPECT_NE(requests[0].find(agent), std::string::npos) << requests[0];
    EXPECT_EQ(sv::MusicBrainzUserAgent().rfind(std::string("Sornaval/") + SV_PROJECT_VERSION, 0), 0u);
    EXPECT_NE(requests[0].find("\r\nAccept: application/json\r\n"), std::string::npos);

    sv::DISC_INFO disc;
    disc.SetTrackCount(6);
    sv::TagBlocks tags;
    EXPECT_EQ(sv::ApplyMusicBrainzRelease(r, disc, tags), 6);
    EXPECT_EQ(disc.Album(), "Dummy");
    EXPECT_EQ(disc.TrackCopy(5).Title(), "It's a Fire");
    EXPECT_EQ(tags.Block(5).Artist(), "Portishead");
}

TEST_F(MusicBrainzLookupTest, SeveralReleasesGetTheirChooserTexts) {
    const std::string portishead = Credit("Portishead", kPortishead);
    const std::string duo = Credit("Beth Gibbons", "b1", " & ") + "," + Credit("Rustin Man", "b2");
    server.Reply(JsonReply(
        200, DiscReply({Release("r1", "Dummy", portishead, "1994-08-22", "GB", {Medium(1, "CD", {kDiscId}, SixTracks(portishead))}),
                        Release("r2", "Dummy", portishead, "1994-10-18", "US", {Medium(1, "CD", {kDiscId}, SixTracks(portishead))}),
                        Release("r3", "Out of Season", duo, "", "XE", {Medium(1, "Enhanced CD", {kDiscId}, SixTracks(duo))})})));
    const sv::MbLookupResult result = Run();
    ASSERT_EQ(result.status, Status::Found) << result.message;
    std::vector<std::string> texts;
    for (const auto& r : result.releases) texts.push_back(sv::MbChooserText(r));
    EXPECT_EQ(texts, (std::vector<std::string>{"Portishead / Dummy (1994, GB, CD)",
                                               "Portishead / Dummy (1994, US, CD)",
                                               "Beth Gibbons & Rustin Man / Out of Season (XE, Enhanced CD)"}));
}

TEST_F(MusicBrainzLookupTest, MultiDiscSetsPickTheMediumOfTheDisc) {
    // Known disc: both media have six tracks; the identifier names the second.
    const std::string credit = Credit("Portishead", kPortishead);
    std::vector<TrackSpec> other = SixTracks(credit);
    other[0].title = "Humming";
    server.Reply(JsonReply(200, DiscReply({Release("r1", "Roseland NYC Live", credit, "1998", "GB",
                                                   {Medium(1, "CD", {"other-disc-id"}, SixTracks(credit)),
                                                    Medium(2, "CD", {kDiscId}, other, "Bonus")})})));
    sv::MbLookupResult result = Run();
    ASSERT_EQ(result.status, Status::Found) << result.message;
    EXPECT_EQ(result.releases.at(0).tracks.at(0).title, "Humming");
    EXPECT_EQ(result.releases[0].mediumTitle, "Bonus");
    EXPECT_EQ(sv::MbChooserText(result.releases[0]), "Portishead / Roseland NYC Live (1998, GB, CD, 2/2)");

    // Unknown disc, matched by its table of contents: the medium with six tracks.
    std::vector<TrackSpec> nine(9, TrackSpec{"Extra", 1000, credit});
    server.Reply(JsonReply(200, FuzzyReply({Release("r2", "Dummy", credit, "1994", "JP",
                                                    {Medium(1, "CD", {}, SixTracks(credit)), Medium(2, "CD", {}, nine)})})));
    result = Run();
    ASSERT_EQ(result.status, Status::Found) << result.message;
    EXPECT_TRUE(result.fuzzy);
    EXPECT_EQ(result.releases.at(0).tracks.at(0).title, "Mysterons");
    EXPECT_EQ(sv::MbChooserText(result.releases[0]), "Portishead / Dummy (1994, JP, CD, 1/2)");
}

TEST_F(MusicBrainzLookupTest, VariousArtistsBecomeACompilationWithTrackArtists) {
    std::vector<TrackSpec> tracks = SixTracks(Credit("Massive Attack", "m1"));
    tracks[1].credit = Credit("Tricky", "t1", " feat. ") + "," + Credit("Martina Topley-Bird", "t2");
    server.Reply(JsonReply(
        200, DiscReply({Release("r1", "Bristol Sound", Credit("Various Artists", kVa), "1996", "GB",
                                {Medium(1, "CD", {kDiscId}, tracks)}),
                        // No Various Artists credit, but a track credited to someone else.
                        Release("r2", "Bristol Sound", Credit("Massive Attack", "m1"), "1996", "GB",
                                {Medium(1, "CD", {kDiscId}, tracks)})})));
    const sv::MbLookupResult result = Run();
    ASSERT_EQ(result.status, Status::Found) << result.message;
    ASSERT_EQ(result.releases.size(), 2u);
    EXPECT_TRUE(result.releases[1].variousArtists);
    const sv::MbRelease& r = result.releases[0];
    EXPECT_TRUE(r.variousArtists);
    EXPECT_EQ(r.tracks.at(1).artist, "Tricky feat. Martina Topley-Bird");

    sv::DISC_INFO disc;
    disc.SetTrackCount(6);
    sv::TagBlocks tags;
    sv::ApplyMusicBrainzRelease(r, disc, tags);
    EXPECT_TRUE(disc.Compilation());
    EXPECT_EQ(disc.Artist(), "Various Artists");
    EXPECT_EQ(disc.TrackCopy(1).Title(), "Tricky feat. Martina Topley-Bird / Sour Times");
    EXPECT_EQ(tags.Block(1).Title(), "Sour Times");
    EXPECT_EQ(tags.Block(1).Artist(), "Tricky feat. Martina Topley-Bird");
    EXPECT_EQ(tags.Block(0).Artist(), "Massive Attack");
    EXPECT_EQ(tags.Block(0).Album(), "Bristol Sound");
}

TEST_F(MusicBrainzLookupTest, CyrillicAndJapaneseTitlesArriveIntact) {
    std::vector<TrackSpec> tracks = SixTracks(Credit("Кино", "k1"));
    tracks[0].title = "Группа крови";
    tracks[1].title = "Закрой за мной дверь, я ухожу, потому что здесь холодно";
    tracks[2].title = "桜の花びらたち";
    tracks[3].title = "\u6a5f\u52d5\u6226\u58eb";  // escaped as the service may write it
    std::string json = DiscReply({Release("r1", "Группа крови", Credit("Кино", "k1"), "1988", "SU",
                                          {Medium(1, "CD", {kDiscId}, tracks)})});
    const std::size_t at = json.find("\u6a5f\u52d5\u6226\u58eb");
    json.replace(at, std::string("\u6a5f\u52d5\u6226\u58eb").size(), "\\u6a5f\\u52d5\\u6226\\u58eb");
    server.Reply(JsonReply(200, json));
    const sv::MbLookupResult result = Run();
    ASSERT_EQ(result.status, Status::Found) << result.message;
    const sv::MbRelease& r = result.releases.at(0);
    EXPECT_EQ(r.tracks.at(3).title, "機動戦士");

    sv::DISC_INFO disc;
    disc.SetTrackCount(6);
    sv::TagBlocks tags;
    sv::ApplyMusicBrainzRelease(r, disc, tags);
    EXPECT_EQ(disc.Artist(), "Кино");
    EXPECT_EQ(disc.Album(), "Группа крови");
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Группа крови");
    EXPECT_EQ(disc.TrackCopy(3).Title(), "機動戦士");
    EXPECT_EQ(disc.TrackCopy(2).Title(), "桜の花びらたち");
    // The tag's title field holds 49 bytes: the title is cut before the
    // character that would not fit whole.
    EXPECT_EQ(tags.Block(1).Title(), "Закрой за мной дверь, я ухо");
    EXPECT_TRUE(sv::IsValidUtf8(tags.Block(1).Title()));
}

TEST_F(MusicBrainzLookupTest, NoMatch) {
    server.Reply(JsonReply(404, R"({"error": "Not Found", "help": "For usage, please see: https://musicbrainz.org/development/mmd"})"));
    server.Reply(JsonReply(200, FuzzyReply({})));
    for (int k = 0; k < 2; ++k) {
        const sv::MbLookupResult result = Run();
        EXPECT_EQ(result.status, Status::NotFound);
        EXPECT_TRUE(result.releases.empty());
        EXPECT_NE(result.message.find("knows no release of this disc"), std::string::npos) << result.message;
        EXPECT_EQ(result.httpStatus, k == 0 ? 404 : 200);
    }
}

TEST_F(MusicBrainzLookupTest, BusyServerIsAskedOnceMoreAfterItsDelay) {
    const std::string busy = JsonReply(503, R"({"error": "Your requests are exceeding the allowable rate limit."})",
                                       "Retry-After: 1\r\n");
    const std::string credit = Credit("Portishead", kPortishead);
    server.Reply(busy);
    server.Reply(JsonReply(200, DiscReply({Release("r1", "Dummy", credit, "1994", "GB",
                                                   {Medium(1, "CD", {kDiscId}, SixTracks(credit))})})));
    const auto start = Clock::now();
    sv::MbLookupResult result = Run();
    const auto waited = Clock::now() - start;
    ASSERT_EQ(result.status, Status::Found) << result.message;
    EXPECT_EQ(result.releases.at(0).tracks.at(1).title, "Sour Times");
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_GE(waited, std::chrono::milliseconds(950));
    EXPECT_GT(pump.calls, 20);  // the window went on while waiting

    // Busy twice: given up with the reason.
    server.Reply(busy);
    server.Reply(busy);
    result = Run();
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_EQ(result.httpStatus, 503);
    EXPECT_NE(result.message.find("busy (HTTP 503) and refused the request twice"), std::string::npos) << result.message;
    EXPECT_EQ(server.Connections(), 4);
}

TEST_F(MusicBrainzLookupTest, BadRepliesFailWithTheirReason) {
    std::string huge = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n{\"releases\":[\"";
    huge += std::string(sv::kMaxMbReplyBytes, 'x') + "\"]}";
    const struct {
        std::string reply;
        const char* message;
    } cases[] = {
        {JsonReply(200, R"({"id": "49HHV7Eb8UKF3aQiNmu1GR8vKTY-", "releases": [{"title": "Dummy", "media": [)"),
         "could not be read: the reply is not JSON"},
        {huge, "is larger than 4194304 bytes"},
        {JsonReply(400, R"({"error": "Invalid TOC"})"), "answered with HTTP status 400: Invalid TOC"},
    };
    for (const auto& c : cases) {
        server.Reply(c.reply);
        const sv::MbLookupResult result = Run();
        EXPECT_EQ(result.status, Status::Failed);
        EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    }
}

TEST_F(MusicBrainzLookupTest, UnreachableServersFailWithTheirReason) {
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.Port();
    }
    server.Reply(JsonReply(404, R"({"error": "Not Found"})"));
    const struct {
        std::string baseUrl;
        const char* message;
    } cases[] = {
        {"https://127.0.0.1:" + std::to_string(server.Port()), "the secure connection to MusicBrainz (https://127.0.0.1:"},
        {"http://127.0.0.1:" + std::to_string(closedPort), "no connection to MusicBrainz (http://127.0.0.1:"},
        {"ftp://127.0.0.1", "\"ftp://127.0.0.1\" is not an http or https address"},
    };
    for (const auto& c : cases) {
        options.baseUrl = c.baseUrl;
        const sv::MbLookupResult result = Run();
        EXPECT_EQ(result.status, Status::Failed);
        EXPECT_EQ(result.message.rfind(c.message, 0), 0u) << result.message;
    }
}

TEST_F(MusicBrainzLookupTest, SilentServerTimesOutAndCancelIsHonoured) {
    server.AddConnection({ServerStep::Hang()});
    options.timeoutMs = 800;
    auto start = Clock::now();
    sv::MbLookupResult result = Run();
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_NE(result.message.find("did not answer within 1 s"), std::string::npos) << result.message;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));

    server.AddConnection({ServerStep::Hang()});
    options.timeoutMs = 20000;
    CountingPump cancelling(10);
    start = Clock::now();
    result = sv::LookupMusicBrainz(toc, options, &cancelling);
    EXPECT_EQ(result.status, Status::Cancelled);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
}

TEST_F(MusicBrainzLookupTest, ProxyCarriesTheWholeAddress) {
    options.baseUrl = "http://musicbrainz.test";
    options.proxy = {"127.0.0.1", server.Port(), "ivan", "secret"};
    server.Reply(JsonReply(404, R"({"error": "Not Found"})"));
    const sv::MbLookupResult result = Run();
    EXPECT_EQ(result.status, Status::NotFound) << result.message;
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind(std::string("GET http://musicbrainz.test") + kTarget + " HTTP/1.1\r\n", 0), 0u)
        << requests[0];
    EXPECT_NE(requests[0].find("\r\nProxy-Authorization: Basic aXZhbjpzZWNyZXQ=\r\n"), std::string::npos);
}

TEST_F(MusicBrainzLookupTest, RequestsOfTheProcessAreASecondApart) {
    options.requestIntervalMs = sv::kMbRequestIntervalMs;
    server.Reply(JsonReply(404, R"({"error": "Not Found"})"));
    server.Reply(JsonReply(404, R"({"error": "Not Found"})"));
    Run();
    const auto second = Clock::now();
    EXPECT_EQ(Run().status, Status::NotFound);
    EXPECT_GE(Clock::now() - second, std::chrono::milliseconds(900));
    EXPECT_EQ(server.Connections(), 2);
}

}  // namespace
