// The decoders against ffmpeg's decode of the same files (made here with
// sox, lame, ffmpeg and oggenc), the header arithmetic worked by hand, and
// hostile files that must be refused or decoded without a hang.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <random>
#include <span>

#include "RipTestSupport.h"
#include "base/Bytes.h"
#include "base/Text.h"
#include "decoders/AviAudio.h"
#include "decoders/Decoder.h"
#include "decoders/MpegDecoder.h"
#include "decoders/MpegHeader.h"
#include "decoders/OggDecoder.h"
#include "decoders/WaveDecoder.h"
#include "decoders/WmaDecoder.h"
#include "support/TempDir.h"

using namespace svtest;

namespace {

struct Decoded {
    bool opened = false;
    std::string pcm;
};

Decoded DecodeAll(const std::string& path, std::uint32_t seekMs = 0) {
    Decoded d;
    auto dec = sv::CreateDecoderForFile(path);
    if (!dec || !dec->Open(path)) return d;
    d.opened = true;
    dec->GetLength();
    if (seekMs) dec->Seek(seekMs);
    std::string buf(dec->ReadSize(), '\0');
    for (int guard = 0; guard < 1000000; ++guard) {
        std::uint32_t n = dec->Read(buf.data(), std::uint32_t(buf.size()));
        if (n == 0) break;
        d.pcm.append(buf.data(), n);
    }
    dec->Close();
    return d;
}

std::string FfmpegPcm(const std::string& path, int rate, int channels) {
    std::string out;
    RunTool({"ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-ar", std::to_string(rate),
             "-ac", std::to_string(channels), "-"},
            &out);
    return out;
}

bool HaveTools() {
    for (const char* t : {"ffmpeg", "sox", "lame", "oggenc", "flac"})
        if (!HaveTool(t)) return false;
    return true;
}

// A 3.3-second two-tone source at `rate` with `channels`.
std::string MakeSource(const TempDir& dir, const std::string& name, int rate, int channels) {
    std::string path = dir.Slash() + name;
    RunTool({"sox", "-n", "-r", std::to_string(rate), "-c", std::to_string(channels), "-b", "16", path, "synth", "3.3",
             "sine", "440", "sine", "660", "gain", "-6"});
    return path;
}

}  // namespace

// Files made by the field's tools decode to ffmpeg's sample count and, within
// rounding, to its samples; the reported format is the stream's own.
TEST(Decoders, MatchFfmpegOnToolMadeFiles) {
    if (!HaveTools()) GTEST_SKIP() << "sox, lame, ffmpeg or oggenc missing";
    TempDir dir;
    const std::string st44 = MakeSource(dir, "st44.wav", 44100, 2);
    const std::string mo48 = MakeSource(dir, "mo48.wav", 48000, 1);
    const std::string st22 = MakeSource(dir, "st22.wav", 22050, 2);
    const std::string mo8 = MakeSource(dir, "mo8.wav", 8000, 1);
    struct Case {
        const char* name;
        std::vector<std::string> make;  // the output file is appended
        int rate, channels, maxDiff;
        const char* decoder;
    };
    const std::vector<Case> cases = {
        {"cbr.mp3", {"lame", "--quiet", "-b", "128", st44}, 44100, 2, 4, "mpeg"},
        {"vbr.mp3", {"lame", "--quiet", "-V", "2", st44}, 44100, 2, 4, "mpeg"},
        {"mono48.mp3", {"lame", "--quiet", "-b", "96", mo48}, 48000, 1, 4, "mpeg"},
        {"mpeg2.mp3", {"lame", "--quiet", "-b", "64", st22}, 22050, 2, 4, "mpeg"},
        {"mpeg25.mp3", {"lame", "--quiet", "-b", "16", mo8}, 8000, 1, 4, "mpeg"},
        {"ff.mp3", {"ffmpeg", "-v", "error", "-i", st44, "-c:a", "libmp3lame", "-b:a", "160k"}, 44100, 2, 4, "mpeg"},
        {"st.ogg", {"oggenc", "-Q", "-q", "4", st44, "-o"}, 44100, 2, 2, "ogg"},
        {"mono.ogg", {"oggenc", "-Q", "-q", "2", mo48, "-o"}, 48000, 1, 2, "ogg"},
        {"ff.ogg", {"ffmpeg", "-v", "error", "-i", st22, "-c:a", "libvorbis"}, 22050, 2, 2, "ogg"},
        {"plain.wav", {"sox", st44}, 44100, 2, 0, "wav"},
        {"st.flac", {"flac", "-s", "-f", "-8", st44, "-o"}, 44100, 2, 0, "flac"},
        {"mono48.flac", {"flac", "-s", "-f", mo48, "-o"}, 48000, 1, 0, "flac"},
        {"ff24.flac", {"ffmpeg", "-v", "error", "-i", st22, "-c:a", "flac", "-sample_fmt", "s32"}, 22050, 2, 1, "flac"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Slash() + c.name;
        std::vector<std::string> args = c.make;
        args.push_back(path);
        ASSERT_EQ(RunTool(args), 0);
        auto dec = sv::CreateDecoderForFile(path);
        ASSERT_TRUE(dec && dec->Open(path));
        EXPECT_STREQ(dec->Name(), c.decoder);
        EXPECT_EQ(dec->SampleRate(), std::uint32_t(c.rate));
        EXPECT_EQ(dec->Channels(), c.channels);
        dec->Close();
        const Decoded ours = DecodeAll(path);
        const std::string ref = FfmpegPcm(path, c.rate, c.channels);
        ASSERT_GT(ref.size(), 0u);
        ASSERT_EQ(ours.pcm.size(), ref.size());
        EXPECT_LE(MaxDifference(Samples16(ours.pcm), Samples16(ref)), c.maxDiff);
    }
}

// WAV files not in CD format come out as 44100 Hz stereo; lengths and
// positions are whole seconds; Seek lands on the second.
TEST(Decoders, WaveConversionLengthAndSeek) {
    if (!HaveTools()) GTEST_SKIP() << "sox or ffmpeg missing";
    TempDir dir;
    const std::string mono22 = dir.Slash() + "m22.wav";
    RunTool({"sox", "-n", "-r", "22050", "-c", "1", "-b", "16", mono22, "synth", "62.5", "sine", "440"});
    sv::TWAVEDecoder dec;
    ASSERT_TRUE(dec.Open(mono22));
    EXPECT_TRUE(dec.Converting());
    EXPECT_FALSE(dec.Open(mono22));  // already open
    const std::uint32_t dataSize = 22050 * 2 * 62 + 22050;  // 62.5 s of 16-bit mono
    EXPECT_EQ(dec.TotalBytes(), std::uint64_t(dataSize) * 176400 / 44100);
    EXPECT_EQ(dec.GetLength(), 62000u);
    dec.Seek(61500);
    EXPECT_EQ(dec.GetPosition(), 61000u);
    std::string rest;
    std::string buf(dec.ReadSize(), '\0');
    while (std::uint32_t n = dec.Read(buf.data(), std::uint32_t(buf.size()))) rest.append(buf.data(), n);
    EXPECT_NEAR(double(rest.size()) / 4, 1.5 * 44100, 4);  // 61 s to 62.5 s
    dec.Close();
    // The whole file: twice the source frames, as ffmpeg gives them.
    const Decoded whole = DecodeAll(mono22);
    EXPECT_EQ(whole.pcm.size(), FfmpegPcm(mono22, 44100, 2).size());
}

// Headers worked by hand: frame lengths and the Xing length.
TEST(Decoders, MpegHeaderArithmetic) {
    struct Case {
        std::uint8_t b[4];
        std::uint32_t rate, bitrate, frameLength, samples;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 44100, 128, 417, 1152},   // MPEG-1 III 128k
        {{0xFF, 0xFB, 0x92, 0x00}, 44100, 128, 418, 1152},   // with padding
        {{0xFF, 0xF3, 0x80, 0x00}, 22050, 64, 208, 576},     // MPEG-2 III 64k
        {{0xFF, 0xE3, 0x28, 0xC0}, 8000, 16, 144, 576},      // MPEG-2.5 III 16k: 72000*16/8000
        {{0xFF, 0xFD, 0x94, 0x00}, 48000, 160, 480, 1152},   // MPEG-1 II 160k 48k: 144000*160/48000
        {{0xFF, 0xFF, 0x90, 0x00}, 44100, 288, 312, 384},    // MPEG-1 I 288k: (12000*288/44100)*4
        {{0xFF, 0xFB, 0x00, 0x00}, 44100, 0, 0, 1152},       // free format: no frame length
    };
    for (const Case& c : cases) {
        auto h = sv::DecodeMpegFrameHeader(c.b);
        ASSERT_TRUE(h) << std::hex << int(c.b[1]) << int(c.b[2]);
        EXPECT_EQ(h->sampleRate, c.rate);
        EXPECT_EQ(h->bitrate, c.bitrate);
        EXPECT_EQ(h->frameLength, c.frameLength);
        EXPECT_EQ(h->samplesPerFrame, c.samples);
    }
    // Reserved rate index, reserved version, bitrate index 15, no sync.
    for (auto bad : {std::array<std::uint8_t, 4>{0xFF, 0xFB, 0x9C, 0}, {0xFF, 0xEB, 0x90, 0},
                     {0xFF, 0xFB, 0xF0, 0}, {0xFE, 0xFB, 0x90, 0}})
        EXPECT_FALSE(sv::DecodeMpegFrameHeader(bad));

    // One MPEG-1 frame with a Xing block of 1000 frames: 1152000 / 44100 = 26 s.
    TempDir dir;
    std::string frame(417, '\0');
    const char head[] = {char(0xFF), char(0xFB), char(0x90), char(0x00)};
    std::memcpy(frame.data(), head, 4);
    std::memcpy(frame.data() + 36, "Xing\0\0\0\x05\0\0\x03\xE8", 12);  // frames + TOC
    for (int i = 0; i < 100; ++i) frame[48 + i] = char(i * 255 / 100);
    const std::string tagged = std::string("ID3\x03\0\0\0\0\0\x0A", 10) + std::string(10, 'x') + frame;
    WriteFileBytes(dir.Path() / "x.mp3", tagged);
    sv::TMPEGDecoder dec;
    dec.SetKeepLeadingData(true);
    ASSERT_TRUE(dec.Open(dir.Slash() + "x.mp3"));
    EXPECT_EQ(dec.AudioStart(), 20u);
    EXPECT_EQ(dec.LeadingData().size(), 20u);
    EXPECT_EQ(dec.Header().xingFrames, 1000u);
    EXPECT_EQ(dec.GetLength(), 26000u);
    EXPECT_EQ(dec.TotalBytes(), 26u * 176400);
}

// Hostile and odd files: each is refused or decoded, within seconds.
TEST(Decoders, HostileFilesEndCleanly) {
    if (!HaveTools()) GTEST_SKIP() << "sox or lame missing";
    TempDir dir;
    const std::string src = MakeSource(dir, "src.wav", 44100, 2);
    const std::string mp3 = dir.Slash() + "good.mp3";
    ASSERT_EQ(RunTool({"lame", "--quiet", "-b", "128", src, mp3}), 0);
    const std::string good = ReadFileBytes(mp3);
    const std::string ogg = dir.Slash() + "good.ogg";
    ASSERT_EQ(RunTool({"oggenc", "-Q", src, "-o", ogg}), 0);
    const std::string goodOgg = ReadFileBytes(ogg);
    std::mt19937 rng(7);
    std::string noise(200000, '\0');
    for (char& ch : noise) ch = char(rng());
    auto id3 = [](std::uint32_t size) {
        std::string t = "ID3\x04\0\0";
        for (int s = 21; s >= 0; s -= 7) t += char((size >> s) & 0x7F);
        return t;
    };
    const std::string id3v1 = "TAG" + std::string(125, 'a');
    const std::string ape = "APETAGEX" + std::string(24, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        bool opens;
        std::size_t minPcm;  // at least this much PCM when it opens
    };
    const std::vector<Case> cases = {
        {"empty.mp3", "", false, 0},
        {"noise.mp3", noise, false, 0},
        {"wav.mp3", ReadFileBytes(src), false, 0},
        {"half.mp3", good.substr(0, good.size() / 2), true, 100000},
        {"two_id3.mp3", id3(20) + std::string(20, 'a') + id3(5) + "bbbbb" + good, true, 500000},
        {"id3_overrun.mp3", id3(1000000) + std::string(30, 'c') + good, true, 500000},
        {"trailing_tags.mp3", good + ape + "LYRICSBEGINxx000020LYRICS200" + id3v1, true, 500000},
        {"empty.ogg", "", false, 0},
        {"noise.ogg", noise, false, 0},
        {"cut.ogg", goodOgg.substr(0, goodOgg.size() * 9 / 10), true, 200000},
        {"chained.ogg", goodOgg + goodOgg, true, 2 * 582120 - 8},
        {"garbage_after.ogg", goodOgg + noise.substr(0, 5000), true, 582120 - 8},
        {"short.wav", ReadFileBytes(src).substr(0, 30), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Slash() + c.name;
        WriteFileBytes(path, c.bytes);
        const auto t0 = std::chrono::steady_clock::now();
        const Decoded d = DecodeAll(path);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
        EXPECT_EQ(d.opened, c.opens);
        EXPECT_GE(d.pcm.size(), c.minPcm);
    }
}

// ffmpeg rounds Vorbis floats where we truncate: Ogg samples differ by up to
// 2 LSB from its decode, MP3 by a few (two different decoders).
// Ogg: float conversion, the read-size rule, whole-second seeking.
TEST(Decoders, OggConversionReadSizeAndSeek) {
    struct Case {
        float in;
        std::int16_t out;
    };
    for (Case c : {Case{1.2f, 32767}, {-1.5f, -32768}, {0.99999f, 32766}, {-0.5f, -16383}, {0.0f, 0}})
        EXPECT_EQ(sv::VorbisFloatToS16(c.in), c.out) << c.in;
    if (!HaveTools()) GTEST_SKIP() << "tools missing";
    TempDir dir;
    const std::string src = MakeSource(dir, "src.wav", 44100, 2);
    const std::string ogg = dir.Slash() + "s.ogg";
    ASSERT_EQ(RunTool({"oggenc", "-Q", src, "-o", ogg}), 0);
    sv::TOGGDecoder dec;
    ASSERT_TRUE(dec.Open(ogg));
    EXPECT_EQ(dec.TotalSamples(), std::uint64_t(3.3 * 44100 + 0.5));
    EXPECT_EQ(dec.GetLength(), 3000u);
    EXPECT_EQ(dec.TotalBytes(), dec.TotalSamples() * 4);
    std::string small(4096, '\0');
    EXPECT_EQ(dec.Read(small.data(), 4096), 0u);
    dec.Close();
    // Seek(2700) lands at 2 s: the rest is what ffmpeg gives from 2 s on.
    const Decoded tail = DecodeAll(ogg, 2700);
    const std::string full = FfmpegPcm(ogg, 44100, 2);
    ASSERT_EQ(tail.pcm.size(), full.size() - 2 * 176400);
    EXPECT_LE(MaxDifference(Samples16(tail.pcm), Samples16(full.substr(2 * 176400))), 2);
}

// ---- Windows Media ----

namespace {

// A sine tone encoded by ffmpeg's WMA encoder, with every tag the decoder reads.
// A ".wmv" name gets a video stream before the audio.
std::string MakeWma(const TempDir& dir, const std::string& name, int rate, int channels, double seconds,
                    const std::string& title) {
    const std::string path = dir.Slash() + name;
    const std::string duration = std::to_string(seconds);
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y"};
    if (sv::EndsWith(name, ".wmv"))
        args.insert(args.end(), {"-f", "lavfi", "-i", "color=c=black:s=32x32:r=5:d=" + duration, "-c:v", "wmv2"});
    args.insert(args.end(), {"-f", "lavfi", "-i",
                             "sine=frequency=523:sample_rate=" + std::to_string(rate) + ":duration=" + duration,
                             "-ac", std::to_string(channels), "-c:a", "wmav2", "-b:a", "64k", "-metadata",
                             "title=" + title, "-metadata", "artist=Ансамбль", "-metadata", "album=Album X",
                             "-metadata", "comment=Made for a test", "-metadata", "genre=Folk", "-metadata",
                             "date=1999", "-metadata", "track=7/12", path});
    RunTool(args);
    return path;
}

std::string ReadAll(sv::TDecoder& dec, std::uint32_t bufferSize) {
    std::string pcm;
    std::string buf(bufferSize, '\0');
    while (std::uint32_t n = dec.Read(buf.data(), bufferSize)) {
        EXPECT_LE(n, bufferSize);
        pcm.append(buf.data(), n);
    }
    return pcm;
}

}  // namespace

// The rate rule: the highest rate wins unless 44100 comes first; a
// non-wave output (video) is never read; the record is copied whole.
TEST(WmaDecoder, ChoosesOutputFormat) {
    auto wave = [](std::uint32_t rate, std::uint16_t channels = 2) {
        return sv::OutputOffer{true, sv::WAVEFORMATEX::Pcm(rate, channels, 16)};
    };
    const sv::OutputOffer video{false, sv::WAVEFORMATEX::Pcm(96000, 2, 16)};
    struct Case {
        std::vector<std::vector<sv::OutputOffer>> outputs;
        int output;
        std::uint32_t rate;
    };
    const Case cases[] = {
        {{{wave(22050), wave(44100), wave(48000)}}, 0, 44100},
        {{{wave(32000), wave(22050)}}, 0, 32000},
        {{{video}, {wave(48000, 1)}}, 1, 48000},
        {{{wave(22050)}, {video, wave(32000)}}, 1, 32000},
        {{{video}}, -1, 44100},
        {{}, -1, 44100},
    };
    for (const Case& c : cases) {
        const sv::OutputFormatChoice choice = sv::ChooseOutputFormat(c.outputs);
        EXPECT_EQ(choice.output, c.output);
        EXPECT_EQ(choice.format.SamplesPerSec(), c.rate);
        if (c.output >= 0) {
            const auto& offers = c.outputs[std::size_t(c.output)];
            EXPECT_TRUE(std::any_of(offers.begin(), offers.end(),
                                    [&](const sv::OutputOffer& o) { return o.format == choice.format; }));
        } else {
            EXPECT_EQ(choice.format, sv::WAVEFORMATEX::CdFormat());
        }
    }
}

// Files of every rate and both channel counts (one with a video stream first),
// opened by extension: format, length, tags and the samples as ffmpeg
// decodes them.
TEST(WmaDecoder, MatchesFfmpegAndReadsTags) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    // 30 Cyrillic letters (60 bytes): the 50-byte title field keeps 24 of them.
    const std::string longTitle = "Ааааааааааааааааааааааааааааа" "Я";
    struct Case {
        int rate, channels;
        double seconds;
        const char* ext;
    };
    const Case cases[] = {{22050, 1, 450, ".wma"}, {32000, 2, 3, ".asf"}, {44100, 2, 7.5, ".WMA"}, {48000, 1, 2, ".wmv"}};
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.rate) + "_" + std::to_string(c.channels) + c.ext;
        SCOPED_TRACE(name);
        const std::string path = MakeWma(dir, name, c.rate, c.channels, c.seconds, longTitle);
        const auto made = sv::CreateDecoderForFile(path);
        auto* wma = dynamic_cast<sv::TWMADecoder9*>(made.get());
        ASSERT_TRUE(wma);
        sv::TWMADecoder9& dec = *wma;
        ASSERT_TRUE(dec.Open(path));
        EXPECT_EQ(dec.SampleRate(), std::uint32_t(c.rate));
        EXPECT_EQ(dec.Channels(), c.channels);
        EXPECT_EQ(dec.Bits(), 16);
        const std::uint32_t byteRate = std::uint32_t(c.rate * c.channels * 2);
        EXPECT_EQ(dec.ByteRate(), byteRate);
        // The length is the tone's, plus at most one 2048-sample frame (and
        // the file's whole-ms rounding).
        const double ms = c.seconds * 1000;
        EXPECT_GE(dec.GetLength(), std::uint32_t(ms));
        EXPECT_LE(dec.GetLength(), std::uint32_t(ms + 2048.0 * 1000 / c.rate + 1));
        EXPECT_EQ(dec.TotalBytes(), std::uint32_t(dec.GetLength() / 1000) * byteRate);
        const sv::TagRecord& tag = dec.Tag();
        EXPECT_TRUE(tag.Present());
        EXPECT_EQ(tag.Title(), longTitle.substr(0, 48));
        EXPECT_EQ(tag.Artist(), "Ансамбль");
        EXPECT_EQ(tag.Album(), "Album X");
        EXPECT_EQ(tag.Comment(), "Made for a test");
        EXPECT_EQ(tag.Genre(), "Folk");
        EXPECT_EQ(tag.Year(), "1999");
        EXPECT_EQ(tag.TrackNumber(), "7");
        const std::string ours = ReadAll(dec, dec.ReadSize());
        const std::string ref = FfmpegPcm(path, c.rate, c.channels);
        ASSERT_GT(ref.size(), 0u);
        ASSERT_EQ(ours.size(), ref.size());
        EXPECT_LE(MaxDifference(Samples16(ours), Samples16(ref)), 1);
    }
}

// Attributes under their Windows Media names: WM/Year is the year, WM/Track
// counts from 0 (track 5 is stored as 4); a file without any has no tag.
TEST(WmaDecoder, WindowsMediaAttributeNames) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    struct Case {
        std::vector<std::string> metadata;
        bool present;
        const char *year, *track;
    };
    const Case cases[] = {
        {{"WM/Year=2003", "WM/Track=4"}, true, "2003", "5"},
        {{"WM/TrackNumber=11", "WM/Track=4"}, true, "", "11"},
        {{}, false, "", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir.Slash() + std::to_string(++n) + ".wma";
        SCOPED_TRACE(path);
        std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                         "sine=duration=0.3", "-c:a", "wmav2", "-map_metadata", "-1"};
        for (const std::string& m : c.metadata) args.insert(args.end(), {"-metadata", m});
        args.push_back(path);
        ASSERT_EQ(RunTool(args), 0);
        sv::TWMADecoder9 dec;
        ASSERT_TRUE(dec.Open(path));
        EXPECT_EQ(dec.Tag().Present(), c.present);
        EXPECT_EQ(dec.Tag().Year(), c.year);
        EXPECT_EQ(dec.Tag().TrackNumber(), c.track);
        EXPECT_EQ(dec.Tag().Title(), "");
    }
}

// Small buffers lose nothing; Seek lands on the time asked (within a frame
// of ffmpeg's decode) and Seek(0) starts over; Close and a second Open work.
TEST(WmaDecoder, SmallReadsSeekAndReopen) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    const std::string path = MakeWma(dir, "s.wma", 44100, 2, 4, "t");
    const std::string ref = FfmpegPcm(path, 44100, 2);
    sv::TWMADecoder9 dec;
    ASSERT_TRUE(dec.Open(path));
    EXPECT_FALSE(dec.Open(path));  // already open
    const std::string big = ReadAll(dec, 1u << 20);
    EXPECT_EQ(big, ref);
    for (std::uint32_t size : {1002u, 6u}) {
        dec.Seek(0);
        EXPECT_EQ(dec.GetPosition(), 0u);
        EXPECT_EQ(ReadAll(dec, size), big) << size;
    }
    dec.Seek(2000);
    EXPECT_EQ(dec.GetPosition(), 2000u);
    const std::string tail = ReadAll(dec, dec.ReadSize());
    // The rest of the file from 2 s on (packet times are whole ms: 2 ms of
    // slack), the samples being ffmpeg's past the first frame decoded.
    ASSERT_LT(tail.size(), ref.size());
    const std::size_t start = ref.size() - tail.size();
    EXPECT_NEAR(double(start), 2 * 176400.0, 2 * 176.4);
    const std::size_t frame = 2048 * 4;
    ASSERT_GT(tail.size(), 2 * frame);
    EXPECT_LE(MaxDifference(Samples16(tail.substr(2 * frame)), Samples16(ref.substr(start + 2 * frame))), 1);
    // At the end: the time of ffmpeg's last sample, within a frame.
    EXPECT_NEAR(dec.GetPosition(), ref.size() * 1000.0 / 176400, 2048 * 1000.0 / 44100);
    EXPECT_TRUE(dec.Close());
    EXPECT_TRUE(dec.Close());
    std::string buf(4096, '\0');
    EXPECT_EQ(dec.Read(buf.data(), 4096), 0u);
    dec.Seek(100);
    ASSERT_TRUE(dec.Open(path));
    EXPECT_EQ(ReadAll(dec, 65536), ref);
}

// Damaged files: refused, or decoded as far as they go, within seconds.
TEST(WmaDecoder, DamagedFilesFailOrEndCleanly) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    const std::string good = ReadFileBytes(MakeWma(dir, "good.wma", 44100, 2, 3, "t"));
    const std::string full = FfmpegPcm(dir.Slash() + "good.wma", 44100, 2);
    std::mt19937 rng(11);
    std::string noise(100000, '\0');
    for (char& ch : noise) ch = char(rng());
    std::string flipped = good;
    for (std::size_t i = 6000; i < flipped.size(); i += 97) flipped[i] = char(rng());
    struct Case {
        const char* name;
        std::string bytes;
        bool opens;
    };
    const std::vector<Case> cases = {
        {"empty.wma", "", false},
        {"noise.wma", noise, false},
        {"header-only.wma", good.substr(0, 800), false},
        {"half.wma", good.substr(0, good.size() / 2), true},
        {"flipped.wma", flipped, true},
        {"noise-after-header.wma", good.substr(0, 6000) + noise, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Slash() + c.name;
        WriteFileBytes(path, c.bytes);
        const auto t0 = std::chrono::steady_clock::now();
        sv::TWMADecoder9 dec;
        ASSERT_EQ(dec.Open(path), c.opens);
        if (!c.opens) continue;
        const std::string pcm = ReadAll(dec, dec.ReadSize());
        EXPECT_LE(pcm.size(), full.size() + 2048 * 4);
        dec.Seek(1500);
        ReadAll(dec, 4096);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    }
}

// ---- AVI sound tracks ----

namespace {

// The audio packets of an AVI file as ffmpeg copies them out.
std::string FfmpegAudioBytes(const std::string& avi) {
    std::string out;
    RunTool({"ffmpeg", "-v", "error", "-i", avi, "-map", "0:a:0", "-c", "copy", "-f", "data", "-"}, &out);
    return out;
}

std::string Tone(const TempDir& dir, const std::string& name, int rate, int channels) {
    const std::string path = dir.Slash() + name;
    RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
             "sine=frequency=440:duration=2:sample_rate=" + std::to_string(rate), "-ac", std::to_string(channels),
             "-c:a", "pcm_s16le", path});
    return path;
}

struct FileHeader {
    sv::WAVEFORMATEX format;
    std::uint32_t dataField = 0;
};

// The fmt record and the data length field of a WAV file in the writer's shape.
FileHeader ReadHeader(const std::string& bytes) {
    FileHeader h;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < 48) return h;
    const std::uint32_t fmtLen = sv::LoadLE32(p + 16);
    if (20 + fmtLen + 8 > bytes.size()) return h;
    h.format.Parse(std::span<const std::uint8_t>(p + 20, fmtLen));
    h.dataField = sv::LoadLE32(p + 20 + fmtLen + 4);
    return h;
}

}  // namespace

// PCM, MP3 and ADPCM tracks, with and without video: the packets come out
// unchanged (as ffmpeg copies them), in a WAV file whose data length is the
// bytes written, or as an .mp3; either decodes to the tone's length.
TEST(AviAudio, ExtractsTracksUnchanged) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    const std::string st44 = Tone(dir, "st44.wav", 44100, 2);
    const std::string mo22 = Tone(dir, "mo22.wav", 22050, 1);
    const std::vector<std::string> video = {"-f", "lavfi", "-i", "color=c=black:s=64x48:d=2", "-c:v", "mjpeg"};
    struct Case {
        const char* name;
        std::string source;
        std::vector<std::string> codec;
        bool withVideo;
        const char* ext;
        std::uint16_t tag;
        int rate, channels, slackFrames;
    };
    const Case cases[] = {
        {"pcm-video", st44, {"-c:a", "pcm_s16le"}, true, ".wav", 1, 44100, 2, 0},
        {"pcm-mono", mo22, {"-c:a", "pcm_s16le"}, false, ".wav", 1, 22050, 1, 0},
        {"mp3", st44, {"-c:a", "libmp3lame", "-b:a", "128k"}, false, ".mp3", 0x55, 44100, 2, 3 * 1152},
        {"adpcm-video", mo22, {"-c:a", "adpcm_ms"}, true, ".wav", 2, 22050, 1, 2048},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string avi = dir.Slash() + c.name + ".avi";
        std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y", "-i", c.source};
        if (c.withVideo) args.insert(args.end(), video.begin(), video.end());
        args.insert(args.end(), c.codec.begin(), c.codec.end());
        args.push_back(avi);
        ASSERT_EQ(RunTool(args), 0);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
        const sv::AviAudioResult r = sv::ExtractAviAudio(
            avi, dir.Slash() + c.name, [&](std::uint64_t done, std::uint64_t total, bool&) { calls.push_back({done, total}); });
        ASSERT_EQ(r.code, sv::AviAudioCode::kDone);
        EXPECT_EQ(r.path, dir.Slash() + c.name + c.ext);
        EXPECT_EQ(r.format.FormatTag(), c.tag);
        EXPECT_EQ(r.format.SamplesPerSec(), std::uint32_t(c.rate));
        EXPECT_EQ(r.format.Channels(), c.channels);
        ASSERT_FALSE(calls.empty());
        for (std::size_t i = 0; i < calls.size(); ++i) {
            EXPECT_LE(calls[i].first, calls[i].second);
            if (i) {
                EXPECT_GE(calls[i].first, calls[i - 1].first);
            }
        }
        const std::string out = ReadFileBytes(r.path);
        const std::string packets = FfmpegAudioBytes(avi);
        ASSERT_GT(packets.size(), 0u);
        EXPECT_EQ(r.dataBytes, packets.size());
        if (c.tag == 0x55) {
            EXPECT_EQ(out, packets);
        } else {
            const FileHeader h = ReadHeader(out);
            EXPECT_EQ(h.format.FormatTag(), c.tag);
            EXPECT_EQ(h.format.Extra().size(), r.format.Extra().size());
            EXPECT_EQ(h.dataField, packets.size());
            EXPECT_EQ(out.size(), 48 + h.format.Extra().size() + packets.size());
            EXPECT_EQ(WavData(r.path), packets);
            if (c.tag == 1) {
                EXPECT_EQ(WavData(r.path), WavData(c.source));
            }
        }
        const std::string pcm = FfmpegPcm(r.path, c.rate, c.channels);
        EXPECT_NEAR(double(pcm.size()) / (2 * c.channels), 2.0 * c.rate, c.slackFrames);
    }
}

// No sound, no AVI, cancel, a full disk: a clear code, nothing half-written,
// a file of the target's name untouched; a finished track replaces it.
TEST(AviAudio, FailuresLeaveNothingBehind) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    const std::string videoOnly = dir.Slash() + "video.avi";
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=black:s=64x48:d=1", "-c:v", "mjpeg",
                       videoOnly}),
              0);
    const std::string avi = dir.Slash() + "pcm.avi";
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-y", "-i", Tone(dir, "t.wav", 44100, 2), "-c:a", "pcm_s16le", avi}), 0);
    WriteFileBytes(dir.Path() / "garbage.avi", std::string(5000, 'g'));
    const std::string target = dir.Slash() + "out";
    WriteFileBytes(target + ".wav", "old");
    auto listing = [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto before = listing();

    EXPECT_EQ(sv::ExtractAviAudio(videoOnly, target, nullptr).code, sv::AviAudioCode::kNoSound);
    EXPECT_EQ(sv::ExtractAviAudio(dir.Slash() + "garbage.avi", target, nullptr).code, sv::AviAudioCode::kCannotRead);
    EXPECT_EQ(sv::ExtractAviAudio(dir.Slash() + "missing.avi", target, nullptr).code, sv::AviAudioCode::kCannotRead);
    int calls = 0;
    const auto cancelSecond = [&](std::uint64_t, std::uint64_t, bool& cancel) { cancel = ++calls == 2; };
    EXPECT_EQ(sv::ExtractAviAudio(avi, target, cancelSecond).code, sv::AviAudioCode::kCancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(sv::ExtractAviAudio(avi, dir.Slash() + "no/such/folder/out", nullptr).code,
              sv::AviAudioCode::kWriteFailed);
    {
        // A file size limit makes writes fail as on a full disk.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 20000;
        setrlimit(RLIMIT_FSIZE, &small);
        const sv::AviAudioCode code = sv::ExtractAviAudio(avi, target, nullptr).code;
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(code, sv::AviAudioCode::kWriteFailed);
    }
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(ReadFileBytes(target + ".wav"), "old");

    const sv::AviAudioResult done = sv::ExtractAviAudio(avi, target, nullptr);
    ASSERT_EQ(done.code, sv::AviAudioCode::kDone);
    EXPECT_EQ(WavData(done.path), WavData(dir.Slash() + "t.wav"));
    EXPECT_EQ(listing(), before);
}

// FLAC lengths are the stream's own, to the millisecond, and a seek lands on
// the sample.
TEST(Decoders, FlacLengthAndSeek) {
    if (!HaveTools()) GTEST_SKIP() << "tools missing";
    TempDir dir;
    const std::string src = MakeSource(dir, "src.wav", 44100, 2);
    const std::string flac = dir.Slash() + "t.flac";
    ASSERT_EQ(RunTool({"flac", "-s", "-f", src, "-o", flac}), 0);
    const std::string all = FfmpegPcm(flac, 44100, 2);
    ASSERT_EQ(all.size(), 145530u * 4);  // 3.3 s
    auto dec = sv::CreateDecoderForFile(flac);
    ASSERT_TRUE(dec && dec->Open(flac));
    EXPECT_EQ(dec->GetLength(), 3300u);  // 145530 samples
    dec->Close();
    const Decoded fromOne = DecodeAll(flac, 1250);
    EXPECT_EQ(fromOne.pcm, all.substr(55125 * 4));  // 1.25 s = sample 55125
    EXPECT_FALSE(sv::CreateDecoderForFile(dir.Slash() + "x.FLAC")->Open(src));  // a WAV is no FLAC
}
