// The Ogg Vorbis encoder: settings the library takes or refuses, and a stream
// that ffmpeg decodes to exactly the input's samples with every comment.
#include <gtest/gtest.h>

#include "AudioCheck.h"
#include "RipTestSupport.h"
#include "base/TagRecord.h"
#include "encoders/VorbisOggEncoder.h"
#include "support/TempDir.h"

namespace {

sv::TProgramSettings OggSettings(bool quality, int q, int minI, int nomI, int maxI) {
    sv::TProgramSettings s;
    s.ApplyDefaults("/tmp/sv/", "/tmp/music/");
    s.SetOggUseQuality(quality);
    s.SetOggQuality(q);
    s.SetOggMinBitrateIndex(minI);
    s.SetOggNomBitrateIndex(nomI);
    s.SetOggMaxBitrateIndex(maxI);
    return s;
}

}  // namespace

TEST(OggEncoder, QualityAndRefusedSettings) {
    EXPECT_FLOAT_EQ(sv::TVorbisOggEncoder::QualityOf(900), 0.9f);
    EXPECT_FLOAT_EQ(sv::TVorbisOggEncoder::QualityOf(-100), -0.1f);
    EXPECT_FLOAT_EQ(sv::TVorbisOggEncoder::QualityOf(-500), -0.1f);
    EXPECT_FLOAT_EQ(sv::TVorbisOggEncoder::QualityOf(999), 0.999f);
    struct Case {
        bool quality;
        int minI, nomI, maxI;
        bool accepted;
    };
    // Bit-rate indexes: 1 = 256, 3 = 160, 4 = 128, 8 = 48, 9 = 40, 10 = 32 kbit/s.
    for (const Case c : {Case{true, 0, 0, 0, true}, {false, 4, 3, 1, true}, {false, 10, 9, 1, false},
                         {false, 1, 3, 1, false} /* minimum above nominal */, {false, 10, 10, 8, false}}) {
        svtest::TempDir dir;
        const auto settings = OggSettings(c.quality, 400, c.minI, c.nomI, c.maxI);
        EXPECT_EQ(sv::TVorbisOggEncoder::SettingsAccepted(settings), c.accepted) << c.minI << c.nomI << c.maxI;
        sv::TVorbisOggEncoder enc;
        const auto path = dir.Path() / "t.ogg";
        EXPECT_EQ(enc.Open(nullptr, path.string(), settings), c.accepted);
        EXPECT_EQ(std::filesystem::exists(path), c.accepted) << "a refused Open leaves no file";
        EXPECT_EQ(enc.Close(), c.accepted);
    }
}

TEST(OggEncoder, ExactSamplesAndCommentsInEveryScript) {
    struct Case {
        const char* title;
        const char* artist;
        int channels;
    };
    for (const Case c : {Case{"Night Train", "The Band", 2}, {"Ночной поезд", "Группа Кино", 2},
                         {"夜行列車", "バンド", 1}}) {
        SCOPED_TRACE(c.title);
        svtest::TempDir dir;
        const std::size_t frames = 44100 * 2 + 1234;
        const auto pcm = svtest::MusicLike(frames, c.channels);
        sv::TagRecord tag;
        tag.SetPresent(true);
        tag.SetTitle(c.title);
        tag.SetArtist(c.artist);
        tag.SetAlbum("Album 1");
        tag.SetTrackNumber("7");
        tag.SetYear("1999");
        tag.SetGenre("Rock");
        sv::TVorbisOggEncoder enc;
        enc.SetInputFormat(sv::WAVEFORMATEX::Pcm(44100, std::uint16_t(c.channels), 16));
        const auto path = (dir.Path() / "t.ogg").string();
        ASSERT_TRUE(enc.Open(tag.Data(), path, OggSettings(true, 500, 0, 0, 0)));
        for (std::size_t off = 0; off < pcm.size(); off += 9000) {
            const std::size_t n = std::min<std::size_t>(9000, pcm.size() - off);
            ASSERT_TRUE(enc.EncodeChunk(pcm.data() + off, n));
        }
        ASSERT_TRUE(enc.Close());
        const auto decoded = svtest::DecodeWithFfmpeg(path);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.channels, c.channels);
        EXPECT_EQ(decoded.samples.size(), frames * std::size_t(c.channels));
        EXPECT_GT(svtest::Correlation(decoded.samples, svtest::ToSamples(pcm)), 0.95);
        std::string tags;
        svtest::RunTool({"ffprobe", "-v", "error", "-show_entries", "stream_tags", "-of", "default=nw=1", path}, &tags);
        for (const std::string& want : {std::string("TAG:TITLE=") + c.title, std::string("TAG:ARTIST=") + c.artist,
                                       std::string("TAG:ALBUM=Album 1"), std::string("TAG:track=7") /* ffprobe names TRACKNUMBER so */,
                                       std::string("TAG:DATE=1999"), std::string("TAG:GENRE=Rock")})
            EXPECT_NE(tags.find(want), std::string::npos) << want << " in\n" << tags;
    }
}
