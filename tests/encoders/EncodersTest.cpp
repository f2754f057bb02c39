// TEncoders over the real LAME library: the files it writes decoded by ffmpeg,
// the formats it refuses, a library that is missing or damaged, and writes
// that fail the way a full disk fails.
#include <gtest/gtest.h>
#include "support/Messages.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "AudioCheck.h"
#include "base/BuiltinMessages.h"
#include "base/Bytes.h"
#include "encoders/Encoders.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

sv::TProgramSettings Mp3Settings() {
    sv::TProgramSettings s;
    s.ApplyDefaults("/tmp/sv/", "/tmp/music/");
    s.SetOutputFormat(sv::kFormatMp3);
    return s;
}

class EncodersTest : public ::testing::Test {
protected:
    void SetUp() override {
        svtest::UseRussianMessages();
        encoders.SetSettings(&settings);
    }
    svtest::TempDir dir;
    sv::TProgramSettings settings = Mp3Settings();
    svtest::ScriptedDialogs dialogs;
    sv::TEncoders encoders{&dialogs};
};

TEST_F(EncodersTest, DescriptionNamesTheLibraryVersion) {
    EXPECT_EQ(encoders.Lame().Description(), "Lame MP3 Encoder 3.100");
    EXPECT_EQ(encoders.CodecList().front(), "Lame MP3 Encoder 3.100");
    EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST_F(EncodersTest, StreamedMp3DecodesToExactlyTheInputSamplesAfterItsTag) {
    const std::size_t frames = 44100 * 3 + 588 * 7 + 13;  // not a whole number of MP3 frames
    const auto pcm = svtest::MusicLike(frames, 2);
    sv::TagRecord tag;
    tag.SetPresent(true);
    tag.SetTitle("Ночной поезд");
    tag.SetArtist("Test Artist");
    const auto path = (dir.Path() / "a.mp3").string();
    ASSERT_TRUE(encoders.Open(tag.Data(), path));
    EXPECT_FALSE(encoders.Open(tag.Data(), path)) << "a second Open without Close must fail";
    for (std::size_t off = 0; off < pcm.size(); off += 26 * 2352) {
        const std::size_t n = std::min<std::size_t>(26 * 2352, pcm.size() - off);
        ASSERT_TRUE(encoders.EncodeChunk(pcm.data() + off, n));
    }
    ASSERT_TRUE(encoders.Close());

    const std::string bytes = svtest::ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 10u);
    EXPECT_EQ(bytes.substr(0, 3), "ID3");
    EXPECT_NE(bytes.find("TIT2"), std::string::npos);

    const auto d = svtest::DecodeWithFfmpeg(path);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.sampleRate, 44100);
    EXPECT_EQ(d.samples.size(), frames * 2);
    EXPECT_GT(svtest::Correlation(d.samples, svtest::ToSamples(pcm)), 0.99);
}

TEST_F(EncodersTest, OpenDeletesAnExistingFileAndARawTagIsWrittenVerbatim) {
    const auto path = dir.Path() / "b.mp3";
    svtest::WriteFileBytes(path, std::string(100000, 'x'));
    const std::string raw = "RAWTAGBLOCK";
    encoders.SetRawTag(reinterpret_cast<const std::uint8_t*>(raw.data()), static_cast<std::uint32_t>(raw.size()));
    ASSERT_TRUE(encoders.Open(nullptr, path.string()));
    const auto pcm = svtest::MusicLike(44100, 2);
    ASSERT_TRUE(encoders.EncodeChunk(pcm.data(), pcm.size()));
    ASSERT_TRUE(encoders.Close());
    const std::string bytes = svtest::ReadFileBytes(path);
    EXPECT_EQ(bytes.substr(0, raw.size()), raw);
    EXPECT_LT(bytes.size(), 100000u);
    // The raw tag was for one Open only.
    ASSERT_TRUE(encoders.Open(nullptr, path.string()));
    ASSERT_TRUE(encoders.Close());
    EXPECT_NE(svtest::ReadFileBytes(path).substr(0, raw.size()), raw);
}

TEST_F(EncodersTest, LowBitRatesAndMonoKeepTheInputSampleRate) {
    // 32 kbit/s stereo: LAME on its own would resample to a lower rate.
    settings.SetLameBitrateIndex(1);
    auto pcm = svtest::MusicLike(44100 * 2, 2);
    const auto stereoPath = (dir.Path() / "low.mp3").string();
    ASSERT_TRUE(encoders.Open(nullptr, stereoPath));
    ASSERT_TRUE(encoders.EncodeChunk(pcm.data(), pcm.size()));
    ASSERT_TRUE(encoders.Close());
    auto d = svtest::DecodeWithFfmpeg(stereoPath);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.sampleRate, 44100);
    EXPECT_EQ(d.samples.size(), pcm.size() / 2);
    EXPECT_TRUE(encoders.Lame().Plan().lockedVbr);
    EXPECT_GT(svtest::Correlation(d.samples, svtest::ToSamples(pcm)), 0.9);

    // A mono source at 22050 Hz through EncodeFile: mono out, rate kept.
    settings.SetLameBitrateIndex(9);
    const auto monoPcm = svtest::MusicLike(22050 * 2, 1);
    const auto monoWav = dir.Path() / "mono.wav";
    {
        // 22050 Hz mono header
        svtest::WriteCdWav(monoWav, monoPcm, 1);
        std::string b = svtest::ReadFileBytes(monoWav);
        sv::StoreLE<std::uint32_t>(reinterpret_cast<std::uint8_t*>(b.data()) + 24, 22050);
        sv::StoreLE<std::uint32_t>(reinterpret_cast<std::uint8_t*>(b.data()) + 28, 44100);
        svtest::WriteFileBytes(monoWav, b);
    }
    const auto monoOut = (dir.Path() / "mono.mp3").string();
    EXPECT_EQ(encoders.EncodeFile(monoWav.string(), monoOut, nullptr), sv::EncodeResult::Done);
    d = svtest::DecodeWithFfmpeg(monoOut);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.channels, 1);
    EXPECT_EQ(d.sampleRate, 22050);
    EXPECT_EQ(d.samples.size(), monoPcm.size() / 2);
    EXPECT_GT(svtest::Correlation(d.samples, svtest::ToSamples(monoPcm)), 0.99);
    EXPECT_TRUE(encoders.InputFormat().IsCdFormat()) << "the input format returns to CD audio";
}

TEST_F(EncodersTest, StereoWithModeMonoIsMixedDown) {
    settings.SetLameMode(3);
    const auto pcm = svtest::MusicLike(44100 * 2, 2);
    const auto wav = dir.Path() / "s.wav";
    svtest::WriteCdWav(wav, pcm);
    const auto out = (dir.Path() / "s.mp3").string();
    ASSERT_EQ(encoders.EncodeFile(wav.string(), out, nullptr), sv::EncodeResult::Done);
    EXPECT_TRUE(encoders.Lame().MonoMix());
    const auto d = svtest::DecodeWithFfmpeg(out);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.channels, 1);
    std::vector<std::uint8_t> mixed = pcm;
    mixed.resize(sv::MixToMono(mixed.data(), mixed.size()));
    EXPECT_EQ(d.samples.size(), mixed.size() / 2);
    EXPECT_GT(svtest::Correlation(d.samples, svtest::ToSamples(mixed)), 0.99);
}

TEST_F(EncodersTest, EncodeFileNormalisesFromThePeak) {
    settings.SetNormalize(true);
    settings.SetNormLowThreshold(90);
    settings.SetNormHighThreshold(98);
    settings.SetNormLowTarget(90);
    settings.SetNormHighTarget(98);
    const auto pcm = svtest::MusicLike(44100 * 2, 2, 10000);
    const std::int16_t peak = sv::BlockPeak(pcm.data(), pcm.size(), 0);
    const auto wav = dir.Path() / "n.wav";
    svtest::WriteCdWav(wav, pcm);
    // 90 % of full scale, give or take the codec's error (none for FLAC
    // beyond the rounding of the gain).
    const struct {
        int format;
        const char* name;
        double tolerance;
    } cases[] = {{1, "n.mp3", 0.03}, {sv::kFormatFlac, "n.flac", 0.001}};
    for (const auto& c : cases) {
        settings.SetOutputFormat(static_cast<std::uint8_t>(c.format));
        encoders.SetPeak(peak);
        const auto out = (dir.Path() / c.name).string();
        ASSERT_EQ(encoders.EncodeFile(wav.string(), out, nullptr), sv::EncodeResult::Done) << c.name;
        const auto d = svtest::DecodeWithFfmpeg(out);
        ASSERT_TRUE(d.ok) << c.name;
        int decodedPeak = 0;
        for (auto v : d.samples) decodedPeak = std::max(decodedPeak, std::abs(static_cast<int>(v)));
        EXPECT_NEAR(decodedPeak, 0.9 * 32768, c.tolerance * 32768) << c.name;
    }
}

TEST_F(EncodersTest, ProgressReportsAndCancelRemovesThePartialOutput) {
    const auto pcm = svtest::MusicLike(44100 * 3, 2);
    const auto wav = dir.Path() / "c.wav";
    svtest::WriteCdWav(wav, pcm);
    const auto out = dir.Path() / "c.mp3";
    int calls = 0;
    std::uint64_t lastDone = 0, lastTotal = 0;
    encoders.SetProgress([&](std::uint64_t done, std::uint64_t total, bool& cancel) {
        ++calls;
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
        if (calls == 20) cancel = true;
    });
    EXPECT_EQ(encoders.EncodeFile(wav.string(), out.string(), nullptr), sv::EncodeResult::Cancelled);
    EXPECT_EQ(calls, 20);
    EXPECT_EQ(lastTotal, pcm.size());
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(EncodersTest, MissingSourceShowsR97) {
    dialogs.ExpectMessage(std::string(sv::kRussianMessages[97]));
    EXPECT_EQ(encoders.EncodeFile((dir.Path() / "none.wav").string(), (dir.Path() / "x.mp3").string(), nullptr),
              sv::EncodeResult::SourceUnavailable);
    EXPECT_TRUE(dialogs.Done());
    EXPECT_FALSE(fs::exists(dir.Path() / "x.mp3"));
}

TEST_F(EncodersTest, AFullDiskFailsTheStreamAndLeavesNothingBehind) {
    const auto path = dir.Path() / "full.mp3";
    encoders.SetOpener([](const std::string& p) { return svtest::LimitedFile(p, 20000); });
    ASSERT_TRUE(encoders.Open(nullptr, path.string()));
    const auto pcm = svtest::MusicLike(44100 * 4, 2);
    bool ok = true;
    for (std::size_t off = 0; off < pcm.size() && ok; off += 26 * 2352)
        ok = encoders.EncodeChunk(pcm.data() + off, std::min<std::size_t>(26 * 2352, pcm.size() - off));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(encoders.Close());
    EXPECT_EQ(encoders.LastError(), ENOSPC);
    EXPECT_FALSE(fs::exists(path));
    // A file that cannot be created at all.
    encoders.SetOpener(&sv::OpenOutputFile);
    EXPECT_FALSE(encoders.Open(nullptr, (dir.Path() / "no" / "such" / "dir.mp3").string()));
    EXPECT_EQ(encoders.LastError(), ENOENT);
    EXPECT_FALSE(encoders.Close());
}

TEST_F(EncodersTest, EveryFormatEncodesAndChoicesThatCannotSayWhyAndWriteNothing) {
    for (int f : {sv::kFormatWav, sv::kFormatMp3, sv::kFormatWma, sv::kFormatOgg, sv::kFormatApe, sv::kFormatAac,
                  sv::kFormatAcm})
        EXPECT_TRUE(encoders.Availability(f).available) << f << ": " << encoders.Availability(f).message;
    struct Case {
        int format;
        void (*choose)(sv::TProgramSettings&);
        const char* fragment;
    };
    const Case cases[] = {
        // Bit rates the Vorbis library refuses for CD audio (40 kbit/s nominal).
        {sv::kFormatOgg,
         [](sv::TProgramSettings& s) {
             s.SetOggUseQuality(false);
             s.SetOggMinBitrateIndex(10);
             s.SetOggNomBitrateIndex(9);
             s.SetOggMaxBitrateIndex(1);
         },
         "Ogg Vorbis"},
        // A codec or a format that the codec layer does not have.
        {sv::kFormatAcm, [](sv::TProgramSettings& s) { s.SetAcmCodecIndex(500); }, "кодек"},
        {sv::kFormatAcm, [](sv::TProgramSettings& s) { s.SetAcmFormatIndex(5000); }, "кодек"},
        {sv::kFormatMp3,
         [](sv::TProgramSettings& s) {
             s.SetUseLameEncoder(false);
             s.SetMp3AcmCodecIndex(20);
         },
         "MP3"},
    };
    for (const Case& c : cases) {
        settings = Mp3Settings();
        settings.SetOutputFormat(static_cast<std::uint8_t>(c.format));
        c.choose(settings);
        EXPECT_NE(encoders.Availability(c.format).message.find(c.fragment), std::string::npos)
            << encoders.Availability(c.format).message;
        const auto path = dir.Path() / "f";
        EXPECT_FALSE(encoders.Open(nullptr, path.string()));
        EXPECT_NE(encoders.FailureText().find(c.fragment), std::string::npos) << encoders.FailureText();
        EXPECT_TRUE(encoders.IsOpen()) << "a failed Open leaves the open flag set";
        EXPECT_FALSE(encoders.EncodeChunk(reinterpret_cast<const std::uint8_t*>("abcd"), 4));
        encoders.Close();
        EXPECT_FALSE(encoders.IsOpen());
        EXPECT_FALSE(fs::exists(path));
    }
}

TEST(EncodersLibrary, AMissingLibraryShowsR98AndDisablesMp3) {
    svtest::UseRussianMessages();
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectMessage(std::string(sv::kRussianMessages[98]));
    sv::TEncoders encoders(&dialogs, "libmp3lame-not-installed.so.0");
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(encoders.LameLib().Status(), sv::LameLoadStatus::LibraryMissing);
    sv::TProgramSettings s = Mp3Settings();
    encoders.SetSettings(&s);
    EXPECT_EQ(encoders.Availability(sv::kFormatMp3).message, sv::kRussianMessages[98]);
    svtest::TempDir dir;
    EXPECT_FALSE(encoders.Open(nullptr, (dir.Path() / "x.mp3").string()));
    encoders.Close();
    EXPECT_FALSE(fs::exists(dir.Path() / "x.mp3"));
    EXPECT_EQ(encoders.Lame().Description(), "");
}

TEST(EncodersLibrary, ALibraryWithoutTheEntryPointsShowsR99) {
    svtest::UseRussianMessages();
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectMessage(std::string(sv::kRussianMessages[99]));
    sv::TEncoders encoders(&dialogs, "libm.so.6");
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(encoders.LameLib().Status(), sv::LameLoadStatus::EntryPointMissing);
    EXPECT_EQ(encoders.LameLib().MissingEntry(), "lame_init");
}

}  // namespace
