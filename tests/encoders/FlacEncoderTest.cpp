// FLAC files checked by the format's own tools and decoded by ffmpeg: the
// audio comes back bit for bit, the comments and the cue sheet are there, and
// a full disk leaves no file behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "AudioCheck.h"
#include "base/TagRecord.h"
#include "encoders/Encoders.h"
#include "support/TempDir.h"

using namespace sv;
using namespace svtest;

namespace {

bool HaveFlacTools() {
    std::string out;
    return RunProgram({"flac", "--version"}, out) == 0 && RunProgram({"ffmpeg", "-version"}, out) == 0;
}

}  // namespace

TEST(FlacEncoder, LosslessWithCommentsSeekTableAndCueSheet) {
    if (!HaveFlacTools()) GTEST_SKIP() << "flac or ffmpeg missing";
    TempDir dir;
    struct Case {
        const char* name;
        int rate, channels, level;
        bool cue;
    } const cases[] = {{"cd.flac", 44100, 2, 5, true}, {"mono48.flac", 48000, 1, 0, false}, {"best.flac", 44100, 2, 8, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A CD cue sheet needs whole sectors; the others end mid-block.
        const std::size_t frames = c.cue ? 588 * 225 : static_cast<std::size_t>(c.rate) * 3 + 123;
        const std::vector<std::uint8_t> pcm = MusicLike(frames, c.channels);
        TFlacEncoder enc;
        enc.SetLevel(c.level);
        enc.SetInputFormat(WAVEFORMATEX::Pcm(static_cast<std::uint32_t>(c.rate), static_cast<std::uint16_t>(c.channels), 16));
        enc.SetExpectedSamples(frames);
        enc.SetExtraComments({{"TRACKTOTAL", "12"}, {"CDDB", "19008204"}});
        if (c.cue) enc.SetCueSheet({{1, 0}, {2, 588 * 75}});
        TagRecord tag;
        tag.SetPresent(true);
        tag.SetTitle("Пролог");  // the record's own code page, written as UTF-8
        tag.SetTrackNumber("3");
        const std::string path = dir.Slash() + c.name;
        ASSERT_TRUE(enc.Open(tag.Data(), path, TProgramSettings{}));
        for (std::size_t at = 0; at < pcm.size();) {  // uneven blocks
            const std::size_t n = std::min<std::size_t>(pcm.size() - at, 4 * c.channels * (1 + at % 3001));
            ASSERT_TRUE(enc.EncodeChunk(pcm.data() + at, n));
            at += n;
        }
        ASSERT_TRUE(enc.Close());

        std::string out, err;
        EXPECT_EQ(RunProgram({"flac", "-t", "-s", path}, out, &err), 0) << err;
        const Decoded back = DecodeWithFfmpeg(path);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.sampleRate, c.rate);
        EXPECT_EQ(back.samples, ToSamples(pcm));
        out.clear();
        RunProgram({"metaflac", "--list", "--block-type=VORBIS_COMMENT,SEEKTABLE,CUESHEET", path}, out);
        for (const char* line : {"TITLE=Пролог", "TRACKNUMBER=3", "TRACKTOTAL=12", "CDDB=19008204", "seek points:"})
            EXPECT_NE(out.find(line), std::string::npos) << line;
        EXPECT_EQ(out.find("CUESHEET") != std::string::npos, c.cue);
    }
}

TEST(FlacEncoder, AFullDiskLeavesNothingAndBadInputIsRefused) {
    TempDir dir;
    const std::string path = dir.Slash() + "full.flac";
    TFlacEncoder enc;
    enc.SetOpener([](const std::string& p) { return LimitedFile(p, 4000); });
    ASSERT_TRUE(enc.Open(nullptr, path, TProgramSettings{}));
    const std::vector<std::uint8_t> pcm = MusicLike(44100 * 2, 2);
    bool ok = true;
    for (std::size_t at = 0; at < pcm.size() && ok; at += 16384)
        ok = enc.EncodeChunk(pcm.data() + at, std::min<std::size_t>(16384, pcm.size() - at));
    const bool closed = enc.Close();
    EXPECT_FALSE(ok && closed);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NE(enc.LastMessage().find("No space left on device"), std::string::npos) << enc.LastMessage();

    enc.SetInputFormat(WAVEFORMATEX::Pcm(44100, 2, 8));  // 8-bit input is not taken
    EXPECT_FALSE(enc.Open(nullptr, dir.Slash() + "eight.flac", TProgramSettings{}));
    EXPECT_FALSE(std::filesystem::exists(dir.Slash() + "eight.flac"));
}
