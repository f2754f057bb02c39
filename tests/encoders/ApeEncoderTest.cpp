// The APE encoder against independent answers: three known-answer files
// byte for byte, and FFmpeg's decoder (with CRC checks)
// giving back exactly the samples that went in, over the levels, channel
// layouts, signals and frame-length edges; the header and its MD5 read back
// by a parser of the test's own; the seek table through an ffmpeg seek; the
// APEv2 tag through ffprobe; the mono mix-down; and the failures (empty track,
// full disk, no output file).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

#include "AudioCheck.h"
#include "base/Bytes.h"
#include "base/TagRecord.h"
#include "encoders/ApeEncoder.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBpf = 73728;        // blocks per frame, levels 1000-3000
constexpr std::size_t kBpf4000 = 294912;   // level 4000

sv::TProgramSettings ApeSettings(int levelIndex, bool mono = false) {
    sv::TProgramSettings s;
    s.ApplyDefaults("/tmp/sv/", "/tmp/music/");
    s.SetOutputFormat(sv::kFormatApe);
    s.SetApeLevel(levelIndex);
    s.SetApeMono(mono);
    return s;
}

int RunCapture(const std::vector<std::string>& args, std::string* out, std::string* err) {
    std::string o;
    const int rc = svtest::RunProgram(args, o, err);
    if (out) *out = std::move(o);
    return rc;
}

// The decode check: ffmpeg with CRC checks exits 0, prints nothing on
// standard error, and gives back exactly `pcm`.
::testing::AssertionResult DecodesExactly(const fs::path& file, const Bytes& pcm,
                                          const std::vector<std::string>& extra = {}, std::size_t skipBytes = 0) {
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-err_detect", "crccheck+explode"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"-i", file.string(), "-f", "s16le", "-"});
    std::string out, err;
    const int rc = RunCapture(args, &out, &err);
    if (rc != 0 || !err.empty())
        return ::testing::AssertionFailure() << "ffmpeg exit " << rc << ": " << err;
    const std::string want(pcm.begin() + std::ptrdiff_t(skipBytes), pcm.end());
    if (out.size() != want.size())
        return ::testing::AssertionFailure() << "decoded " << out.size() << " bytes, want " << want.size();
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] != want[i]) return ::testing::AssertionFailure() << "first difference at byte " << i;
    return ::testing::AssertionSuccess();
}

std::string Probe(const fs::path& file, const std::string& entries) {
    std::string out;
    RunCapture({"ffprobe", "-v", "error", "-show_entries", entries, "-of", "default=nw=1", file.string()}, &out, nullptr);
    return out;
}

// Feeds `pcm` in chunks of varying size, some splitting a sample frame.
bool EncodeTo(sv::TAPEEncoder& enc, const fs::path& path, const Bytes& pcm, int channels,
              const sv::TProgramSettings& settings, const std::uint8_t* tag = nullptr, std::uint32_t rate = 44100) {
    enc.SetInputFormat(sv::WAVEFORMATEX::Pcm(rate, std::uint16_t(channels), 16));
    if (!enc.Open(tag, path.string(), settings)) return false;
    static const std::size_t kChunks[] = {4096 * 4, 1, 9999, 3, 26 * 2352, 70001};
    std::size_t off = 0;
    for (std::size_t i = 0; off < pcm.size(); ++i) {
        const std::size_t n = std::min(kChunks[i % 6], pcm.size() - off);
        if (!enc.EncodeChunk(pcm.data() + off, n)) return false;
        off += n;
    }
    return enc.Close();
}

Bytes Hex(const std::string& hex) {
    Bytes b;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) b.push_back(std::uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

Bytes ReadAll(const fs::path& p) {
    const std::string s = svtest::ReadFileBytes(p);
    return Bytes(s.begin(), s.end());
}

Bytes Interleave(const std::vector<std::int16_t>& samples) {
    Bytes b(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) sv::StoreLE<std::int16_t>(b.data() + 2 * i, samples[i]);
    return b;
}

// Test signals, `frames` blocks of `channels`.
enum class Signal { Music, Noise, Silence, PseudoStereo, LeftOnly };

Bytes Make(Signal s, std::size_t frames, int channels) {
    std::vector<std::int16_t> v(frames * std::size_t(channels));
    std::mt19937 rng(42);
    switch (s) {
        case Signal::Music:
            return svtest::MusicLike(frames, channels);
        case Signal::Noise:  // full scale: the escape and split-pivot paths
            for (auto& x : v) x = std::int16_t(rng() >> 16);
            break;
        case Signal::Silence:
            break;
        case Signal::PseudoStereo: {
            const Bytes mono = svtest::MusicLike(frames, 1, 12000);
            for (std::size_t t = 0; t < frames; ++t)
                for (int c = 0; c < channels; ++c)
                    v[t * std::size_t(channels) + std::size_t(c)] = sv::LoadLE<std::int16_t>(mono.data() + 2 * t);
            break;
        }
        case Signal::LeftOnly: {
            const Bytes music = svtest::MusicLike(frames, channels);
            for (std::size_t t = 0; t < frames; ++t)
                v[t * std::size_t(channels)] = sv::LoadLE<std::int16_t>(music.data() + 2 * t * std::size_t(channels));
            break;
        }
    }
    return Interleave(v);
}

// ---------------------------------------------------------------------------
// An independent reading of the descriptor, header and seek table, with the
// MD5 recomputed over the data, the header and the seek table.
struct ParsedApe {
    std::uint32_t seekTableBytes = 0, headerDataBytes = 0, frameDataBytes = 0, frameDataHigh = 0, terminating = 0;
    std::uint16_t version = 0, level = 0, flags = 0, bits = 0, channels = 0;
    std::uint32_t descriptorBytes = 0, headerBytes = 0, blocksPerFrame = 0, finalFrameBlocks = 0, totalFrames = 0,
                  sampleRate = 0;
    std::vector<std::uint32_t> seek;
    bool md5Matches = false;
    std::size_t frameDataStart = 0;
};

ParsedApe Parse(const Bytes& f) {
    ParsedApe p;
    auto u16 = [&](std::size_t o) { return sv::LoadLE<std::uint16_t>(f.data() + o); };
    auto u32 = [&](std::size_t o) { return sv::LoadLE<std::uint32_t>(f.data() + o); };
    if (f.size() < 76 || std::string(f.begin(), f.begin() + 4) != "MAC ") return p;
    p.version = u16(4);
    p.descriptorBytes = u32(8);
    p.headerBytes = u32(12);
    p.seekTableBytes = u32(16);
    p.headerDataBytes = u32(20);
    p.frameDataBytes = u32(24);
    p.frameDataHigh = u32(28);
    p.terminating = u32(32);
    p.level = u16(52);
    p.flags = u16(54);
    p.blocksPerFrame = u32(56);
    p.finalFrameBlocks = u32(60);
    p.totalFrames = u32(64);
    p.bits = u16(68);
    p.channels = u16(70);
    p.sampleRate = u32(72);
    const std::size_t seekAt = p.descriptorBytes + p.headerBytes;
    for (std::size_t i = 0; i < p.seekTableBytes / 4; ++i) p.seek.push_back(u32(seekAt + 4 * i));
    p.frameDataStart = seekAt + p.seekTableBytes + p.headerDataBytes;
    const std::size_t dataFrom = seekAt + p.seekTableBytes;
    const std::size_t dataTo = p.frameDataStart + p.frameDataBytes + p.terminating;
    if (dataTo > f.size()) return p;
    AVMD5* md5 = av_md5_alloc();
    av_md5_init(md5);
    av_md5_update(md5, f.data() + dataFrom, dataTo - dataFrom);
    av_md5_update(md5, f.data() + p.descriptorBytes, p.headerBytes);
    av_md5_update(md5, f.data() + seekAt, p.seekTableBytes);
    std::uint8_t sum[16];
    av_md5_final(md5, sum);
    av_free(md5);
    p.md5Matches = std::equal(sum, sum + 16, f.begin() + 36);
    return p;
}

// The header fields every file must have for `blocks` blocks.
void ExpectHeader(const Bytes& file, std::size_t blocks, int channels, int level, std::uint32_t rate = 44100) {
    const ParsedApe p = Parse(file);
    const std::size_t bpf = level == 4000 ? kBpf4000 : level == 5000 ? 16 * kBpf : kBpf;
    const std::size_t frames = (blocks + bpf - 1) / bpf;
    EXPECT_EQ(p.version, 3990);
    EXPECT_EQ(p.descriptorBytes, 52u);
    EXPECT_EQ(p.headerBytes, 24u);
    EXPECT_GE(p.seek.size(), frames) << "room for every frame";
    EXPECT_EQ(p.headerDataBytes, 0u);
    EXPECT_EQ(p.frameDataHigh, 0u);
    EXPECT_EQ(p.terminating, 0u);
    EXPECT_EQ(p.level, level);
    EXPECT_EQ(p.flags, 32);
    EXPECT_EQ(p.blocksPerFrame, bpf);
    EXPECT_EQ(p.totalFrames, frames);
    EXPECT_EQ(p.finalFrameBlocks, blocks - (frames - 1) * bpf);
    EXPECT_EQ(p.bits, 16);
    EXPECT_EQ(p.channels, channels);
    EXPECT_EQ(p.sampleRate, rate);
    EXPECT_TRUE(p.md5Matches);
    ASSERT_FALSE(p.seek.empty());
    EXPECT_EQ(p.seek[0], p.frameDataStart);
    for (std::size_t i = 1; i < frames; ++i) EXPECT_GT(p.seek[i], p.seek[i - 1]);
    for (std::size_t i = frames; i < p.seek.size(); ++i) ASSERT_EQ(p.seek[i], 0u) << "unused entries stay zero";
    // The frame-data area: padded to one word past the last whole word, and
    // the last frame's bytes inside it.
    EXPECT_EQ(p.frameDataBytes % 4, 0u);
    EXPECT_LT(p.seek[frames - 1], p.frameDataStart + p.frameDataBytes);
    EXPECT_LE(p.frameDataStart + p.frameDataBytes, file.size());
}

class ApeEncoderTest : public ::testing::Test {
protected:
    svtest::TempDir dir;
    fs::path Out(const std::string& name) const { return dir.Path() / name; }
};

// ---------------------------------------------------------------------------

TEST_F(ApeEncoderTest, KnownAnswerFilesByteForByte) {
    struct Case {
        const char* name;
        int levelIndex;
        int channels;
        std::vector<std::int16_t> samples;
        const char* hex;
    };
    const Case cases[] = {
        {"V1", 1, 2, {0, 0},
         "4d414320960f000034000000180000000400000000000000100000000000000000000000d7575633294e1c5353ec055babcb2b80d007"
         "20000020010001000000010000001000020044ac0000500000008e6fa290070000000000010000000000"},
        {"V2", 0, 2, {1000, -1000, 2000, -2000, -32768, 32767, 5, 7},
         "4d414320960f000034000000180000000400000000000000240000000000000000000000287e26e08dc329c1135b1865d558e46be803"
         "20000020010004000000010000001000020044ac00005000000091c799308066fd00c37bf01a00a0785fd199288300365a1ca20b1303"
         "0000008900000000"},
        {"V3", 2, 1, {100, -100, 12345},
         "4d414320960f00003400000018000000040000000000000010000000000000000000000094d59e38a709aa18acc40477d295e070b80b"
         "20000020010003000000010000001000010044ac000050000000841dfa2158c51d00004ad31100000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sv::TAPEEncoder enc;
        const auto path = Out(std::string(c.name) + ".ape");
        const Bytes pcm = Interleave(c.samples);
        // The answers reserve one seek entry, as for an input of known length.
        enc.SetMaxInputBytes(pcm.size());
        ASSERT_TRUE(EncodeTo(enc, path, pcm, c.channels, ApeSettings(c.levelIndex)));
        EXPECT_EQ(ReadAll(path), Hex(c.hex));
        EXPECT_TRUE(Parse(ReadAll(path)).md5Matches) << "the parser agrees with the answer's MD5";
        EXPECT_TRUE(DecodesExactly(path, Interleave(c.samples)));
    }
}

}  // namespace

namespace {

// Every level, mono and stereo, each signal: decoded exactly, with the header
// the format wants. 20000 blocks is one partial frame; the length edges are
// in the next test.
TEST_F(ApeEncoderTest, LevelSweepDecodesExactly) {
    const std::size_t blocks = 20000;
    struct Kind {
        Signal signal;
        int channels;
        const char* name;
    };
    const Kind kinds[] = {{Signal::Music, 2, "music stereo"},   {Signal::Noise, 2, "noise stereo"},
                          {Signal::Silence, 2, "silence stereo"}, {Signal::PseudoStereo, 2, "pseudo-stereo"},
                          {Signal::LeftOnly, 2, "left only"},     {Signal::Music, 1, "music mono"},
                          {Signal::Noise, 1, "noise mono"},       {Signal::Silence, 1, "silence mono"}};
    std::uintmax_t silenceBytes = 0, musicBytes = 0;
    for (int index = 0; index <= 4; ++index) {
        const int level = (index + 1) * 1000;
        for (const Kind& k : kinds) {
            SCOPED_TRACE(std::to_string(level) + " " + k.name);
            const Bytes pcm = Make(k.signal, blocks, k.channels);
            sv::TAPEEncoder enc;
            const auto path = Out("sweep.ape");
            ASSERT_TRUE(EncodeTo(enc, path, pcm, k.channels, ApeSettings(index)));
            EXPECT_EQ(enc.Level(), level);
            EXPECT_FALSE(enc.FellBack());
            ExpectHeader(ReadAll(path), blocks, k.channels, level);
            EXPECT_TRUE(DecodesExactly(path, pcm));
            if (k.signal == Signal::Silence && k.channels == 2) silenceBytes = fs::file_size(path);
            if (k.signal == Signal::Music && k.channels == 2) musicBytes = fs::file_size(path);
        }
        // Silent frames are flagged and hold no coded samples; music is
        // compressed well below its PCM size.
        const std::uintmax_t reserved = 76 + 4 * 7282;
        EXPECT_LE(silenceBytes, reserved + 16);
        EXPECT_LT(musicBytes, blocks * 4 * 6 / 10);
    }
}

// Frame-length edges at 2000 (stereo) and 4000 (mono): one and two samples,
// a frame less one, a whole frame, a frame and one, in chunks that split
// sample frames. The header and MD5 by the test's parser.
TEST_F(ApeEncoderTest, FrameLengthEdgesDecodeExactly) {
    struct Case {
        int index;
        int channels;
        std::size_t bpf;
    };
    for (const Case c : {Case{1, 2, kBpf}, Case{3, 1, kBpf4000}}) {
        for (const std::size_t blocks : {std::size_t(1), std::size_t(2), c.bpf - 1, c.bpf, c.bpf + 1}) {
            SCOPED_TRACE(std::to_string(c.index) + "/" + std::to_string(c.channels) + " ch, " +
                         std::to_string(blocks) + " blocks");
            const Bytes pcm = svtest::MusicLike(blocks, c.channels, 20000);
            sv::TAPEEncoder enc;
            const auto path = Out("edge.ape");
            ASSERT_TRUE(EncodeTo(enc, path, pcm, c.channels, ApeSettings(c.index)));
            ExpectHeader(ReadAll(path), blocks, c.channels, (c.index + 1) * 1000);
            EXPECT_TRUE(DecodesExactly(path, pcm));
        }
    }
}

// 2.5 frames of stereo at 2000: the seek table is right (ffmpeg seeks to
// 3.5 s sample-exactly, frames starting 1-3 bytes into a word), and a CRC
// with one bit flipped is caught.
TEST_F(ApeEncoderTest, LongTrackSeeksExactlyAndCrcErrorsAreCaught) {
    const std::size_t blocks = kBpf * 5 / 2;
    const Bytes pcm = svtest::MusicLike(blocks, 2);
    sv::TAPEEncoder enc;
    const auto path = Out("long.ape");
    ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(1)));
    const Bytes file = ReadAll(path);
    ExpectHeader(file, blocks, 2, 2000);
    const ParsedApe p = Parse(file);
    bool unaligned = false;
    for (std::size_t i = 1; i < p.totalFrames; ++i) unaligned = unaligned || (p.seek[i] - p.seek[0]) % 4 != 0;
    EXPECT_TRUE(unaligned) << "some frame starts inside a word";
    EXPECT_TRUE(DecodesExactly(path, pcm));
    EXPECT_TRUE(DecodesExactly(path, pcm, {"-ss", "3.5"}, 154350 * 4));
    // (FFmpeg 5.1 gives the sample width as bits_per_raw_sample.)
    EXPECT_EQ(Probe(path, "stream=codec_name,channels,sample_rate,bits_per_raw_sample,duration_ts"),
              "codec_name=ape\nsample_rate=44100\nchannels=2\nduration_ts=" + std::to_string(blocks) +
                  "\nbits_per_raw_sample=16\n");

    Bytes broken = file;
    broken[p.frameDataStart] ^= 0x10;  // a bit of the first frame's CRC word
    const auto bad = Out("bad.ape");
    svtest::WriteFileBytes(bad, std::string(broken.begin(), broken.end()));
    // ffmpeg still exits 0; the decode check fails on what it prints.
    std::string out, err;
    RunCapture({"ffmpeg", "-v", "error", "-err_detect", "crccheck+explode", "-i", bad.string(), "-f", "s16le", "-"},
               &out, &err);
    EXPECT_NE(err.find("CRC mismatch"), std::string::npos) << err;
    EXPECT_FALSE(DecodesExactly(bad, pcm));
}

// The APEv2 tag: ffprobe shows the items, the audio decodes unchanged, and
// the MD5 leaves the tag out. No tag without a present record.
TEST_F(ApeEncoderTest, TagItemsReachFfprobe) {
    sv::TagRecord tag;
    tag.SetPresent(true);
    tag.SetTitle("Ночной поезд");
    tag.SetArtist("The Band");
    tag.SetAlbum("Album 1");
    tag.SetComment("ripped by Sornaval");
    tag.SetGenre("Rock");
    tag.SetYear("1999");
    tag.SetTrackNumber("7");
    const Bytes pcm = svtest::MusicLike(30000, 2);
    sv::TAPEEncoder enc;
    const auto path = Out("tag.ape");
    ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(1), tag.Data()));
    EXPECT_TRUE(DecodesExactly(path, pcm));
    ExpectHeader(ReadAll(path), 30000, 2, 2000);
    const std::string tags = Probe(path, "format_tags");
    for (const char* want : {"TAG:Title=Ночной поезд", "TAG:Artist=The Band", "TAG:Album=Album 1",
                             "TAG:Comment=ripped by Sornaval", "TAG:Genre=Rock", "TAG:Year=1999", "TAG:Track=7"})
        EXPECT_NE(tags.find(want), std::string::npos) << want << " in\n" << tags;
    const Bytes file = ReadAll(path);
    const std::string tail(file.end() - 32, file.end());
    EXPECT_EQ(tail.substr(0, 8), "APETAGEX");

    tag.SetPresent(false);
    ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(1), tag.Data()));
    EXPECT_EQ(Probe(path, "format_tags"), "");
    EXPECT_TRUE(sv::TAPEEncoder::TagItems(nullptr).empty());
}

// ApeMono: a stereo input becomes a mono file of L/2 + R/2 (each half
// truncated toward zero), at half the bytes per second; a mono input stays
// mono. Another rate is stored as it is.
TEST_F(ApeEncoderTest, MonoMixDownAndOtherRates) {
    const std::size_t blocks = 44100 + 17;
    Bytes pcm = Make(Signal::Noise, blocks, 2);
    const Bytes music = svtest::MusicLike(blocks, 2);
    // Half noise, half music, with odd samples of both signs.
    std::copy(music.begin(), music.begin() + std::ptrdiff_t(pcm.size() / 2), pcm.begin());
    std::vector<std::int16_t> mixed(blocks);
    for (std::size_t t = 0; t < blocks; ++t) {
        const int l = sv::LoadLE<std::int16_t>(pcm.data() + 4 * t);
        const int r = sv::LoadLE<std::int16_t>(pcm.data() + 4 * t + 2);
        mixed[t] = std::int16_t(l / 2 + r / 2);
    }
    sv::TAPEEncoder enc;
    const auto path = Out("mono.ape");
    ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(2, true)));
    EXPECT_EQ(enc.Channels(), 1);
    ExpectHeader(ReadAll(path), blocks, 1, 3000);
    EXPECT_TRUE(DecodesExactly(path, Interleave(mixed)));

    const Bytes mono = svtest::MusicLike(blocks, 1);
    ASSERT_TRUE(EncodeTo(enc, path, mono, 1, ApeSettings(2, true)));
    EXPECT_TRUE(DecodesExactly(path, mono));

    for (const std::uint32_t rate : {48000u, 22050u}) {
        ASSERT_TRUE(EncodeTo(enc, path, music, 2, ApeSettings(1), nullptr, rate));
        ExpectHeader(ReadAll(path), blocks, 2, 2000, rate);
        EXPECT_EQ(Probe(path, "stream=sample_rate"), "sample_rate=" + std::to_string(rate) + "\n");
        EXPECT_TRUE(DecodesExactly(path, music));
    }
}

// Indexes outside 0..4 are held to the range.
TEST(ApeFormat, LevelsOfTheSetting) {
    EXPECT_EQ(sv::ape::LevelFromSettingIndex(0), 1000);
    EXPECT_EQ(sv::ape::LevelFromSettingIndex(3), 4000);
    EXPECT_EQ(sv::ape::LevelFromSettingIndex(4), 5000);
    EXPECT_EQ(sv::ape::LevelFromSettingIndex(-1), 1000);
    EXPECT_EQ(sv::ape::LevelFromSettingIndex(9), 5000);
}

// No samples: no file and a clear message. A full disk: Close fails and the
// partial file goes. No output file: Open fails with the warning.
TEST_F(ApeEncoderTest, EmptyTrackFullDiskAndNoFile) {
    svtest::ScriptedDialogs dialogs;
    sv::TAPEEncoder enc;
    enc.SetDialogs(&dialogs);
    const auto path = Out("empty.ape");
    ASSERT_TRUE(enc.Open(nullptr, path.string(), ApeSettings(1)));
    EXPECT_TRUE(enc.EncodeChunk(nullptr, 0));
    EXPECT_FALSE(enc.Close());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(enc.LastMessage(), "The track is too short to be stored as APE: it holds no audio.");

    enc.SetOpener([](const std::string& p) { return svtest::LimitedFile(p, 200000); });
    const auto full = Out("full.ape");
    const Bytes pcm = Make(Signal::Noise, kBpf * 2, 2);
    EXPECT_FALSE(EncodeTo(enc, full, pcm, 2, ApeSettings(1)));
    enc.Close();
    EXPECT_FALSE(fs::exists(full));
    EXPECT_EQ(enc.LastError(), ENOSPC);
    EXPECT_NE(enc.LastMessage().find("No space left"), std::string::npos) << enc.LastMessage();
    EXPECT_TRUE(dialogs.Transcript().empty());

    // The disk fills while the header and seek table are written again at
    // Close (the placeholder, 2 kB of frames, then the 29 kB again).
    const Bytes small = svtest::MusicLike(1000, 2);
    enc.SetOpener([](const std::string& p) { return svtest::LimitedFile(p, 2 * (76 + 4 * 7282)); });
    EXPECT_FALSE(EncodeTo(enc, full, small, 2, ApeSettings(0)));
    EXPECT_FALSE(fs::exists(full));

    enc.SetOpener(&sv::OpenOutputFile);
    dialogs.ExpectMessage("Can't initialize APE Encoder.");
    EXPECT_FALSE(enc.Open(nullptr, (dir.Path() / "no" / "such" / "x.ape").string(), ApeSettings(1)));
    EXPECT_TRUE(dialogs.Done());
    ASSERT_EQ(dialogs.Icons().size(), 1u);
    EXPECT_EQ(dialogs.Icons()[0], sv::MessageIcon::Warning);
    EXPECT_EQ(enc.LastMessage(), "Can't initialize APE Encoder.");
    EXPECT_EQ(enc.LastError(), ENOENT);
    EXPECT_FALSE(enc.IsOpen());
    EXPECT_FALSE(enc.Close());

    // Inputs it does not take: 8-bit, three channels.
    for (const auto& format : {sv::WAVEFORMATEX::Pcm(44100, 2, 8), sv::WAVEFORMATEX::Pcm(44100, 3, 16)}) {
        dialogs.ExpectMessage("Can't initialize APE Encoder.");
        enc.SetInputFormat(format);
        EXPECT_FALSE(enc.Open(nullptr, path.string(), ApeSettings(1)));
        EXPECT_FALSE(fs::exists(path));
        EXPECT_TRUE(dialogs.Done());
    }

    // Announcing less than comes fails rather than writing a bad table.
    enc.SetMaxInputBytes(4);
    EXPECT_FALSE(EncodeTo(enc, path, svtest::MusicLike(kBpf + 1, 2), 2, ApeSettings(1)));
    enc.Close();
    EXPECT_FALSE(fs::exists(path));
}

// The file-to-file path: a WAV file, progress reported, normalisation, the
// seek table sized for the source.
TEST_F(ApeEncoderTest, EncodeFileFromWav) {
    const std::size_t blocks = kBpf + 5000;
    const Bytes pcm = svtest::MusicLike(blocks, 2);
    const auto wav = Out("src.wav");
    svtest::WriteCdWav(wav, pcm);
    sv::TAPEEncoder enc;
    int calls = 0;
    enc.SetProgress([&](std::uint64_t, std::uint64_t total, bool&) {
        ++calls;
        EXPECT_EQ(total, pcm.size());
    });
    const auto path = Out("file.ape");
    ASSERT_EQ(enc.EncodeFile(wav.string(), path.string(), nullptr, ApeSettings(1)), sv::EncodeResult::Done);
    EXPECT_GT(calls, 2);
    const Bytes file = ReadAll(path);
    ExpectHeader(file, blocks, 2, 2000);
    EXPECT_EQ(Parse(file).seek.size(), 2u) << "room for the source's frames only";
    EXPECT_TRUE(DecodesExactly(path, pcm));

    // Normalised by a gain of 2.
    Bytes doubled = pcm;
    sv::ScaleBlockBytes(doubled.data(), doubled.size(), 2.0);
    enc.SetNormalize(true, 2.0);
    ASSERT_EQ(enc.EncodeFile(wav.string(), path.string(), nullptr, ApeSettings(0)), sv::EncodeResult::Done);
    EXPECT_TRUE(DecodesExactly(path, doubled));
    enc.SetNormalize(false, 1.0);

    // Cancelled: no file.
    enc.SetProgress([](std::uint64_t done, std::uint64_t, bool& cancel) { cancel = done > 0; });
    EXPECT_EQ(enc.EncodeFile(wav.string(), path.string(), nullptr, ApeSettings(1)), sv::EncodeResult::Cancelled);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(enc.EncodeFile(Out("none.wav").string(), path.string(), nullptr, ApeSettings(1)),
              sv::EncodeResult::SourceUnavailable);
}

// Stereo ramps that make the stage-2 sums (p = 123) or the NN rounding
// (p = 31) overflow 32 bits at level 5000, where decoders then disagree. The file is
// started again at 4000 and decodes exactly; at 4000 the same ramps are
// written as they are. Music stays at 5000 over two frames; music followed by
// a ramp falls back after a whole 5000 frame was written (from the copy of
// its PCM).
Bytes Ramp(int p, std::size_t blocks) {
    std::vector<std::int16_t> v(2 * blocks);
    for (std::size_t t = 0; t < blocks; ++t) {
        v[2 * t] = std::int16_t(int((97ull * std::uint64_t(p) * t) % 65536) - 32768);
        v[2 * t + 1] = std::int16_t(int((13ull * std::uint64_t(p) * t) % 65536) - 32768);
    }
    return Interleave(v);
}

TEST_F(ApeEncoderTest, Level5000FallsBackWhereDecodersDisagree) {
    const std::size_t blocks = 200000;
    const auto path = Out("ramp.ape");
    for (const int p : {123, 31}) {
        SCOPED_TRACE(p);
        const Bytes pcm = Ramp(p, blocks);
        sv::TAPEEncoder enc;
        ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(4)));
        EXPECT_TRUE(enc.FellBack());
        EXPECT_EQ(enc.Level(), 4000);
        EXPECT_TRUE(p == 123 ? enc.FallbackCause().stage2 : enc.FallbackCause().nnRounding);
        ExpectHeader(ReadAll(path), blocks, 2, 4000);
        EXPECT_TRUE(DecodesExactly(path, pcm));
        ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(3)));
        EXPECT_FALSE(enc.FellBack());
        EXPECT_TRUE(DecodesExactly(path, pcm));
    }
    const std::size_t frame = 16 * kBpf;
    Bytes pcm = svtest::MusicLike(frame + 3000, 2);
    sv::TAPEEncoder enc;
    ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(4)));
    EXPECT_FALSE(enc.FellBack());
    EXPECT_FALSE(enc.VariantChecks().stage2 || enc.VariantChecks().nnRounding);
    ExpectHeader(ReadAll(path), frame + 3000, 2, 5000);
    EXPECT_TRUE(DecodesExactly(path, pcm));

    pcm.resize(frame * 4);
    const Bytes ramp = Ramp(123, blocks);
    pcm.insert(pcm.end(), ramp.begin(), ramp.end());
    ASSERT_TRUE(EncodeTo(enc, path, pcm, 2, ApeSettings(4)));
    EXPECT_TRUE(enc.FellBack());
    ExpectHeader(ReadAll(path), frame + blocks, 2, 4000);
    EXPECT_TRUE(DecodesExactly(path, pcm));
    // The copy of the PCM was an unlinked file: nothing is left beside.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 1u);
}

}  // namespace
