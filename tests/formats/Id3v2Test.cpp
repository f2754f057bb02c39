// ID3v2.3 tag bytes, and the tag as independent readers see it.
#include <gtest/gtest.h>

#include "RipTestSupport.h"
#include "base/Bytes.h"
#include "formats/Id3v2.h"
#include "support/TempDir.h"

using namespace sv;
using namespace svtest;

namespace {

struct Frame {
    std::string id;
    std::uint32_t size;
    std::uint8_t flag0;
    std::string payload;
};

// Walks the frames of a tag; stops at the padding.
std::vector<Frame> Frames(const std::vector<std::uint8_t>& tag) {
    std::vector<Frame> out;
    std::size_t pos = 10;
    while (pos + 10 <= tag.size() && tag[pos] != 0) {
        Frame f;
        f.id.assign(reinterpret_cast<const char*>(&tag[pos]), 4);
        f.size = LoadBE32(&tag[pos + 4]);
        f.flag0 = tag[pos + 8];
        f.payload.assign(reinterpret_cast<const char*>(&tag[pos + 10]), f.size);
        out.push_back(f);
        pos += 10 + f.size;
    }
    return out;
}

std::uint32_t Syncsafe(const std::vector<std::uint8_t>& tag) {
    return (tag[6] << 21) | (tag[7] << 14) | (tag[8] << 7) | tag[9];
}

}  // namespace

TEST(Id3v2, RecordWithOnlyAThreeCharacterTitle) {
    TagRecord r;
    r.SetPresent(true);
    r.SetTitle("Abc");
    const auto tag = BuildId3v2Tag(r.Data());
    ASSERT_GE(tag.size(), 10u);
    EXPECT_EQ(std::string(tag.begin(), tag.begin() + 6), std::string("ID3\x03\x00\x00", 6));
    const std::uint32_t s = 10 * 12 + 4 + 5 + 1 * 9 + 2 + 8192;
    EXPECT_EQ(Syncsafe(tag), s);
    EXPECT_EQ(tag[8], 0x41);  // 8332 = 65 * 128 + 12
    EXPECT_EQ(tag[9], 0x0C);
    EXPECT_EQ(tag.size(), 10 + s);
    const auto frames = Frames(tag);
    const std::vector<std::string> order = {"TIT2", "COMM", "TPE1", "TALB", "TRCK", "TCOP",
                                            "TOPE", "TCOM", "TCON", "TYER", "TENC", "WXXX"};
    ASSERT_EQ(frames.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(order[i]);
        EXPECT_EQ(frames[i].id, order[i]);
        const std::uint32_t want = order[i] == "TIT2" ? 4 : order[i] == "COMM" ? 5 : order[i] == "WXXX" ? 2 : 1;
        EXPECT_EQ(frames[i].size, want);
        EXPECT_EQ(frames[i].flag0, order[i] == "TENC" ? 0x40 : 0x00);
    }
    EXPECT_EQ(frames[0].payload, std::string("\0Abc", 4));
    EXPECT_EQ(frames[1].payload, std::string(5, '\0'));
    // The padding is 8192 zero bytes.
    EXPECT_TRUE(std::all_of(tag.end() - 8192, tag.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(Id3v2, ThousandCharacterCommentAndEveryField) {
    TagRecord r;
    r.SetPresent(true);
    r.SetComment(std::string(1000, 'c'));
    r.SetArtist("Artist");
    r.SetAlbum("Album");
    r.SetTrackNumber("7");
    r.SetUrl("http://x.org/");
    r.SetEncodedBy("enc");
    r.SetCopyright("(c)");
    r.SetOriginalArtist("orig");
    r.SetComposer("comp");
    r.SetGenre("Rock");
    r.SetYear("1999");
    const auto tag = BuildId3v2Tag(r.Data());
    const auto frames = Frames(tag);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(frames[1].size, 1005u);
    const std::size_t commAt = 10 + 10 + frames[0].size;
    EXPECT_EQ(std::vector<std::uint8_t>(tag.begin() + static_cast<long>(commAt) + 4,
                                        tag.begin() + static_cast<long>(commAt) + 8),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x03, 0xED}));
    EXPECT_EQ(frames[1].payload.substr(0, 5), std::string(5, '\0'));
    EXPECT_EQ(frames[4].payload, std::string("\0" "7", 2));
    EXPECT_EQ(frames[8].payload, std::string("\0Rock", 5));
    EXPECT_EQ(frames[11].payload, std::string("\0\0http://x.org/", 15));
    std::uint32_t sum = 0;
    for (const auto& f : frames) sum += 10 + f.size;
    EXPECT_EQ(Syncsafe(tag), sum + 8192);
}

TEST(Id3v2, Latin1StaysOneByteOtherTextBecomesUtf16) {
    TagRecord r;
    r.SetPresent(true);
    r.SetTitle("Caf\xC3\xA9");                        // "Café"
    r.SetArtist("\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE");  // "Кино"
    r.SetComment("\xE6\x97\xA5");                     // "日"
    const auto frames = Frames(BuildId3v2Tag(r.Data()));
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(frames[0].payload, std::string("\0Caf\xE9", 5));
    EXPECT_EQ(frames[2].payload, std::string("\x01\xFF\xFE\x1A\x04\x38\x04\x3D\x04\x3E\x04", 11));
    // COMM: encoding 1, language, empty description with its mark and
    // terminator, then the text with its mark.
    EXPECT_EQ(frames[1].payload, std::string("\x01\0\0\0\xFF\xFE\0\0\xFF\xFE\xE5\x65", 12));
}

TEST(Id3v2, AbsentRecordWritesNothingAndTheAudioFollowsTheTag) {
    TempDir dir;
    const auto path = dir.Path() / "a.mp3";
    std::FILE* f = std::fopen(path.c_str(), "wb+");
    ASSERT_NE(f, nullptr);
    TagRecord r;  // present flag 0
    EXPECT_TRUE(WriteId3v2Tag(&r, f));
    EXPECT_TRUE(WriteId3v2Tag(static_cast<const TagRecord*>(nullptr), f));
    EXPECT_EQ(std::ftell(f), 0);
    EXPECT_TRUE(BuildId3v2Tag(r.Data()).empty());

    std::fputs("PRE", f);
    r.SetPresent(true);
    r.SetTitle("T");
    ASSERT_TRUE(WriteId3v2Tag(&r, f));
    const auto tag = BuildId3v2Tag(r.Data());
    EXPECT_EQ(std::ftell(f), static_cast<long>(3 + 10 + Syncsafe(tag)));
    std::fclose(f);
    EXPECT_EQ(ReadFileBytes(path).substr(3), std::string(tag.begin(), tag.end()));
}

TEST(Id3v2, IndependentReaderSeesEveryFieldInLatinCyrillicAndJapanese) {
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffprobe/ffmpeg is not installed";
    TempDir dir;
    const auto audio = dir.Path() / "audio.mp3";
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:duration=0.3", "-c:a",
                       "libmp3lame", "-id3v2_version", "0", "-write_xing", "0", audio.string()}),
              0);
    const std::string mp3 = ReadFileBytes(audio);
    struct Texts {
        const char* language;
        std::string title, artist, album, comment, genre;
    };
    const std::vector<Texts> sets = {
        {"latin", "Caf\xC3\xA9 del Mar", "Se\xC3\xB1or", "\xC3\x84pfel", "Gr\xC3\xBC\xC3\x9F" "e", "Jazz"},
        {"cyrillic", "\xD0\x93\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0 \xD0\xBA\xD1\x80\xD0\xBE\xD0\xB2\xD0\xB8",
         "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE", "\xD0\x97\xD0\xB2\xD0\xB5\xD0\xB7\xD0\xB4\xD0\xB0",
         "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82", "\xD0\xA0\xD0\xBE\xD0\xBA"},
        {"japanese", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE5\xAE\x87\xE5\xA4\x9A\xE7\x94\xB0",
         "\xE5\x88\x9D\xE6\x81\x8B", "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF",
         "\xE3\x83\x9D\xE3\x83\x83\xE3\x83\x97"},
    };
    for (const auto& t : sets) {
        SCOPED_TRACE(t.language);
        TagRecord r;
        r.SetPresent(true);
        r.SetTitle(t.title);
        r.SetArtist(t.artist);
        r.SetAlbum(t.album);
        r.SetComment(t.comment);
        r.SetGenre(t.genre);
        r.SetTrackNumber("5");
        r.SetYear("2001");
        r.SetComposer(t.artist);
        r.SetCopyright(t.album);
        r.SetEncodedBy("Sornaval");
        const auto path = dir.Path() / (std::string(t.language) + ".mp3");
        const auto tag = BuildId3v2Tag(r.Data());
        WriteFileBytes(path, std::string(tag.begin(), tag.end()) + mp3);
        std::string out;
        ASSERT_EQ(RunTool({"ffprobe", "-v", "error", "-show_entries", "format_tags", "-of", "default=nw=1",
                           path.string()},
                          &out),
                  0);
        for (const std::string& line : std::vector<std::string>{"TAG:title=" + t.title, "TAG:artist=" + t.artist, "TAG:album=" + t.album,
                                        "TAG:comment=" + t.comment, "TAG:genre=" + t.genre, "TAG:track=5",
                                        "TAG:date=2001", "TAG:composer=" + t.artist, "TAG:copyright=" + t.album,
                                        "TAG:encoded_by=Sornaval"}) {
            EXPECT_NE(out.find(line + "\n"), std::string::npos) << line << "\n" << out;
        }
        // The audio after the tag is intact.
        std::string dur;
        ASSERT_EQ(RunTool({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name", "-of", "default=nw=1",
                           path.string()},
                          &dur),
                  0);
        EXPECT_NE(dur.find("codec_name=mp3"), std::string::npos) << dur;
    }
}
