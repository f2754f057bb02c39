// Conversion of WAV sources to CD format, compared with FFmpeg's own
// conversion of the same file (same length, samples within rounding).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>

#include "RipTestSupport.h"
#include "base/Bytes.h"
#include "formats/WavFile.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using namespace svtest;

namespace {

struct SourceCase {
    const char* name;
    std::vector<std::string> encodeArgs;  // ffmpeg output options for the source file
    int rate;
    int tolerance;
};

// Makes a 0.6 s source with ffmpeg from a two-tone signal, without a LIST
// chunk (the reader refuses chunks other than "fact" before the data).
bool MakeSource(const std::filesystem::path& out, int rate, const std::vector<std::string>& encodeArgs) {
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                     "aevalsrc=0.4*sin(2*PI*440*t)|0.3*sin(2*PI*660*t):s=" + std::to_string(rate) +
                                         ":d=0.6"};
    args.insert(args.end(), encodeArgs.begin(), encodeArgs.end());
    args.insert(args.end(), {"-fflags", "+bitexact", "-flags:a", "+bitexact", "-map_metadata", "-1", out.string()});
    return RunTool(args) == 0;
}

std::string FfmpegCdReference(const std::filesystem::path& src, const std::filesystem::path& raw) {
    if (RunTool({"ffmpeg", "-v", "error", "-y", "-i", src.string(), "-ar", "44100", "-ac", "2", "-c:a", "pcm_s16le",
                 "-f", "s16le", raw.string()}) != 0)
        return {};
    return ReadFileBytes(raw);
}

class ConvertToCd : public ::testing::TestWithParam<SourceCase> {};

}  // namespace

TEST_P(ConvertToCd, MatchesFfmpegsConversion) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const SourceCase& c = GetParam();
    TempDir dir;
    const auto src = dir.Path() / "src.wav";
    ASSERT_TRUE(MakeSource(src, c.rate, c.encodeArgs));
    const std::string reference = FfmpegCdReference(src, dir.Path() / "ref.raw");
    ASSERT_FALSE(reference.empty());

    WavSource s;
    ASSERT_EQ(OpenWavSource(s, src.string(), false), kWavNotAccepted);
    ASSERT_TRUE(s.IsOpen());
    s.targetName = (dir.Path() / "cd.wav").string();
    std::vector<std::uint64_t> reported;
    const bool ok = ConvertWavToCdFormat(s, false, false, [&](std::uint64_t done, std::uint64_t total, bool&) {
        EXPECT_LE(done, total);
        reported.push_back(done);
    });
    ASSERT_TRUE(ok);
    EXPECT_FALSE(reported.empty());
    EXPECT_EQ(reported.front(), 0u);

    // The source now reads the CD-format file.
    EXPECT_TRUE(s.IsOpen());
    EXPECT_EQ(s.sourceName, s.targetName);
    EXPECT_TRUE(s.Format().IsCdFormat());
    const std::string bytes = ReadFileBytes(s.targetName);
    const std::string data = WavData(s.targetName);
    EXPECT_EQ(bytes.size(), data.size() + 48);
    EXPECT_EQ(s.dataLength, data.size());
    EXPECT_EQ(LoadLE32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4), data.size() + 40);

    ASSERT_EQ(data.size(), reference.size()) << "frames " << data.size() / 4 << " vs " << reference.size() / 4;
    EXPECT_LE(MaxDifference(Samples16(data), Samples16(reference)), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ConvertToCd,
    ::testing::Values(
        SourceCase{"pcm22050mono", {"-ac", "1", "-c:a", "pcm_s16le"}, 22050, 1},
        SourceCase{"pcm48000stereo", {"-ac", "2", "-c:a", "pcm_s16le"}, 48000, 1},
        SourceCase{"pcm8bit11025", {"-ac", "2", "-c:a", "pcm_u8"}, 11025, 1},
        SourceCase{"pcm24bit96000", {"-ac", "2", "-c:a", "pcm_s24le"}, 96000, 1},
        SourceCase{"pcm32bit32000", {"-ac", "1", "-c:a", "pcm_s32le"}, 32000, 1},
        SourceCase{"float44100", {"-ac", "2", "-c:a", "pcm_f32le"}, 44100, 1},
        SourceCase{"double8000", {"-ac", "1", "-c:a", "pcm_f64le"}, 8000, 1},
        SourceCase{"sixChannels", {"-ac", "6", "-c:a", "pcm_s16le"}, 48000, 1},
        SourceCase{"eightChannels", {"-ac", "8", "-c:a", "pcm_s16le"}, 44100, 1},
        SourceCase{"imaAdpcm", {"-ac", "2", "-c:a", "adpcm_ima_wav"}, 22050, 1},
        SourceCase{"msAdpcm", {"-ac", "1", "-c:a", "adpcm_ms"}, 44100, 1},
        SourceCase{"alaw", {"-ac", "1", "-c:a", "pcm_alaw"}, 8000, 1},
        SourceCase{"mulaw", {"-ac", "2", "-c:a", "pcm_mulaw"}, 16000, 1},
        SourceCase{"gsm", {"-ac", "1", "-c:a", "libgsm_ms"}, 8000, 1},
        SourceCase{"mp3", {"-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k"}, 44100, 1},
        SourceCase{"mp2", {"-ac", "1", "-c:a", "mp2", "-b:a", "64k"}, 22050, 1}),
    [](const ::testing::TestParamInfo<SourceCase>& p) { return std::string(p.param.name); });

TEST(ConvertWav, TwentyTwoKilohertzMonoOpensAsCdAfterConversion) {
    TempDir dir;
    const auto src = dir.Path() / "mono.wav";
    const std::string pcm = ToneS16(22050, 1, 22050);
    WriteFileBytes(src, MakeWavFile(PcmFmt(22050, 1, 16), "", pcm));
    WavSource s;
    ASSERT_EQ(OpenWavSource(s, src.string(), false), kWavNotAccepted);
    s.targetName = (dir.Path() / "cd.wav").string();

    // The size query alone: exactly twice the frames, 4 bytes each; no file.
    ASSERT_TRUE(ConvertWavToCdFormat(s, true, false, nullptr));
    EXPECT_EQ(s.convertedLength, 22050u * 2 * 4);
    EXPECT_FALSE(std::filesystem::exists(s.targetName));
    EXPECT_EQ(s.sourceName, src.string());

    NullEventPump pump;
    ASSERT_TRUE(ConvertWavToCdFormat(s, false, false, nullptr, &pump));
    WavSource again;
    EXPECT_EQ(OpenWavSource(again, s.targetName, false), kWavAccepted);
    EXPECT_EQ(again.dataLength, 22050u * 2 * 4);
    // The converted header is the one of a ripped track.
    const std::string head = ReadFileBytes(s.targetName).substr(16, 24);
    EXPECT_EQ(head, std::string("\x14\0\0\0\x01\x00\x02\x00\x44\xAC\x00\x00\x10\xB1\x02\x00\x04\x00\x10\x00\x00\x00\x00\x00",
                                24));
}

TEST(ConvertWav, LowestRateConvertsInBoundedMemoryAndLowerRatesAreRefused) {
    TempDir dir;
    struct Case {
        std::uint32_t rate;
        bool converts;
    };
    // 250 s of 8-bit mono: 1000 Hz gives ceil(250000 x 44.1) CD frames.
    const std::string level(250000, '\xC0');
    for (const Case c : {Case{1000, true}, Case{999, false}, Case{1, false}}) {
        SCOPED_TRACE(c.rate);
        const auto src = dir.Path() / "low.wav";
        WriteFileBytes(src, MakeWavFile(PcmFmt(c.rate, 1, 8), "", level));
        WavSource s;
        ASSERT_EQ(OpenWavSource(s, src.string(), true), c.converts ? kWavAccepted : kWavNotAccepted);
        s.targetName = (dir.Path() / ("cd" + std::to_string(c.rate) + ".wav")).string();
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        ASSERT_EQ(ConvertWavToCdFormat(s, false, true, nullptr), c.converts);
        if (!c.converts) {
            EXPECT_FALSE(std::filesystem::exists(s.targetName));
            continue;
        }
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        // 44 MB of output; one 4 MiB block at a time is in memory.
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 24 * 1024) << "KiB";
        ASSERT_EQ(OpenWavSource(s, s.targetName, false), kWavAlreadyOpen);
        EXPECT_TRUE(s.Format().IsCdFormat());
        EXPECT_EQ(s.dataLength, 11025000u * 4);
        ASSERT_EQ(fseeko(s.file, static_cast<off_t>(s.dataOffset + s.dataLength / 2), SEEK_SET), 0);
        std::string mid(4, '\0');
        ASSERT_EQ(ReadWav(s, mid.data(), 4), 4u);
        EXPECT_NEAR(Samples16(mid)[0], 16384 * M_SQRT1_2, 2);
        EXPECT_NEAR(Samples16(mid)[1], 16384 * M_SQRT1_2, 2);
    }
}

TEST(ConvertWav, LongSourceRunsInBlocksAndReportsProgress) {
    TempDir dir;
    const auto src = dir.Path() / "long.wav";
    // 3 s at 48 kHz: 576000 bytes, three blocks of at most 256000.
    const std::string pcm = ToneS16(48000, 2, 144000);
    WriteFileBytes(src, MakeWavFile(PcmFmt(48000, 2, 16), "", pcm));
    WavSource s;
    ASSERT_EQ(OpenWavSource(s, src.string(), false), kWavNotAccepted);
    s.targetName = (dir.Path() / "cd.wav").string();
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    ASSERT_TRUE(ConvertWavToCdFormat(s, false, false, [&](std::uint64_t done, std::uint64_t total, bool&) {
        calls.emplace_back(done, total);
    }));
    ASSERT_GE(calls.size(), 3u);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, pcm.size());
        if (i > 0) {
            EXPECT_GT(calls[i].first, calls[i - 1].first);
        }
        EXPECT_LE(calls[i].first - (i ? calls[i - 1].first : 0), 256000u);
    }
    EXPECT_EQ(s.dataLength, 132300u * 4);
}

TEST(ConvertWav, CancelLeavesNoTargetAndKeepsTheSource) {
    TempDir dir;
    const auto src = dir.Path() / "long.wav";
    const std::string pcm = ToneS16(48000, 2, 144000);
    WriteFileBytes(src, MakeWavFile(PcmFmt(48000, 2, 16), "", pcm));
    WavSource s;
    ASSERT_EQ(OpenWavSource(s, src.string(), false), kWavNotAccepted);
    s.targetName = (dir.Path() / "cd.wav").string();
    int calls = 0;
    EXPECT_FALSE(ConvertWavToCdFormat(s, false, false, [&](std::uint64_t, std::uint64_t, bool& cancel) {
        cancel = ++calls == 2;
    }));
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(std::filesystem::exists(s.targetName));
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.sourceName, src.string());
    std::string first(4, '\0');
    ASSERT_EQ(ReadWav(s, first.data(), 4), 4u);
    EXPECT_EQ(first, pcm.substr(0, 4));
}

TEST(ConvertWav, RefusesWithoutTargetOpenFileOrCodec) {
    TempDir dir;
    WavSource s;
    s.targetName = (dir.Path() / "cd.wav").string();
    EXPECT_FALSE(ConvertWavToCdFormat(s, false, true, nullptr));  // nothing open

    const auto src = dir.Path() / "odd.wav";
    auto fmt = PcmFmt(44100, 2, 16);
    StoreLE16(fmt.data(), 0x7A7A);  // a tag no codec knows
    WriteFileBytes(src, MakeWavFile(fmt, "", std::string(400, '\0')));
    ASSERT_EQ(OpenWavSource(s, src.string(), true), kWavNotAccepted);
    EXPECT_FALSE(ConvertWavToCdFormat(s, false, true, nullptr));
    EXPECT_FALSE(std::filesystem::exists(s.targetName));
    EXPECT_TRUE(s.IsOpen());

    s.targetName.clear();
    EXPECT_FALSE(ConvertWavToCdFormat(s, false, true, nullptr));
}

TEST(ConvertWav, TruncatedSourceConvertsWhatIsThere) {
    TempDir dir;
    const auto src = dir.Path() / "cut.wav";
    const std::string pcm = ToneS16(22050, 2, 1000);
    WriteFileBytes(src, MakeWavFile(PcmFmt(22050, 2, 16), "", pcm, 400000));
    WavSource s;
    ASSERT_EQ(OpenWavSource(s, src.string(), false), kWavNotAccepted);
    s.targetName = (dir.Path() / "cd.wav").string();
    ASSERT_TRUE(ConvertWavToCdFormat(s, false, false, nullptr));
    EXPECT_EQ(s.dataLength, 2000u * 4);
    EXPECT_EQ(WavData(s.targetName).size(), 2000u * 4);
}

TEST(ConvertWav, DamagedCompressedSourcesEndCleanly) {
    TempDir dir;
    // IMA ADPCM records with absurd rates and sizes over random bytes.
    std::string noise(300000, '\0');
    std::uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    struct Bad {
        std::uint16_t tag, channels, align;
        std::uint32_t rate, avg;
    };
    for (const Bad& b : {Bad{0x11, 2, 1024, 768000, 1}, Bad{0x11, 1, 5, 8000, 4000}, Bad{0x55, 2, 1, 44100, 1},
                         Bad{0x02, 8, 65535, 1, 0xFFFFFFFF}, Bad{0x31, 1, 65, 8000, 1625}}) {
        SCOPED_TRACE(b.tag);
        auto fmt = PcmFmt(44100, 2, 16);
        StoreLE16(fmt.data(), b.tag);
        StoreLE16(fmt.data() + 2, b.channels);
        StoreLE32(fmt.data() + 4, b.rate);
        StoreLE32(fmt.data() + 8, b.avg);
        StoreLE16(fmt.data() + 12, b.align);
        StoreLE16(fmt.data() + 14, 4);
        const auto src = dir.Path() / "bad.wav";
        WriteFileBytes(src, MakeWavFile(fmt, "", noise));
        WavSource s;
        ASSERT_EQ(OpenWavSource(s, src.string(), false), kWavNotAccepted);
        s.targetName = (dir.Path() / "out.wav").string();
        std::filesystem::remove(s.targetName);
        if (ConvertWavToCdFormat(s, false, true, nullptr)) {
            // Whatever came out is a well-formed CD-format file.
            EXPECT_TRUE(s.Format().IsCdFormat());
            EXPECT_EQ(ReadFileBytes(s.targetName).size(), s.dataLength + 48u);
        } else {
            EXPECT_FALSE(std::filesystem::exists(s.targetName));
        }
    }
}
