// The codec-layer encoders: WAV files with a codec's format record whose sizes
// an independent reading of the header confirms, MP3 through the layer's MP3
// codec, and the choices that cannot encode.
#include <gtest/gtest.h>

#include <fstream>

#include "AudioCheck.h"
#include "RipTestSupport.h"
#include "base/TagRecord.h"
#include "encoders/Encoders.h"
#include "support/TempDir.h"

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t off) {
    return b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (std::uint32_t{b[off + 3]} << 24);
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The position of the codec named `shortName` in the layer's list and of its
// first format with `rate` and `channels`; -1s when absent.
std::pair<int, int> Find(const sv::TACMDrivers& drivers, const std::string& shortName, std::uint32_t rate = 44100,
                         int channels = 2) {
    for (int c = 0; c < drivers.Count(); ++c) {
        const auto& d = drivers.Drivers()[static_cast<std::size_t>(c)];
        if (d.shortName != shortName) continue;
        for (std::size_t f = 0; f < d.formats.size(); ++f)
            if (d.formats[f].format.SamplesPerSec() == rate && d.formats[f].format.Channels() == channels)
                return {c, static_cast<int>(f)};
    }
    return {-1, -1};
}

sv::TProgramSettings Settings(int format) {
    sv::TProgramSettings s;
    s.ApplyDefaults("/tmp/sv/", "/tmp/music/");
    s.SetOutputFormat(static_cast<std::uint8_t>(format));
    return s;
}

void Feed(sv::TEncoders& enc, const std::vector<std::uint8_t>& pcm) {
    // Odd chunk sizes of whole frames, as a drive delivers sectors.
    for (std::size_t off = 0, n = 0; off < pcm.size(); off += n) {
        n = std::min<std::size_t>(4 * (9000 + off % 7), pcm.size() - off);
        ASSERT_TRUE(enc.EncodeChunk(pcm.data() + off, n));
    }
}

}  // namespace

TEST(AcmEncoder, CodecFilesDecodeToTheSourceWithTheHeaderSizesRight) {
    struct Case {
        const char* codec;
        bool wavHeader;
        double minCorrelation;
    };
    sv::TEncoders enc;
    const std::size_t frames = 44100 * 2 + 777;
    const auto pcm = svtest::MusicLike(frames, 2);
    for (const Case c : {Case{"pcm_alaw", true, 0.99}, {"adpcm_ms", true, 0.95}, {"adpcm_ima_wav", false, 0.95}}) {
        SCOPED_TRACE(c.codec);
        const auto [codec, format] = Find(enc.AcmDrivers(), c.codec);
        ASSERT_GE(codec, 0) << "the codec layer lists " << c.codec;
        svtest::TempDir dir;
        auto s = Settings(sv::kFormatAcm);
        s.SetAcmCodecIndex(codec);
        s.SetAcmFormatIndex(format);
        s.SetAcmWriteWavHeader(c.wavHeader);
        s.SetAcmWriteTag(false);
        enc.SetSettings(&s);
        const std::string path = (dir.Path() / "t.wav").string();
        ASSERT_TRUE(enc.Open(nullptr, path));
        Feed(enc, pcm);
        ASSERT_TRUE(enc.Close());
        const std::uint64_t written = enc.Acm().EncodedBytes();
        const auto bytes = ReadAll(path);
        const auto& record = enc.AcmDrivers().Format(codec, format)->format;
        const std::size_t e = record.Extra().size();
        if (c.wavHeader) {
            ASSERT_GT(bytes.size(), 48 + e);
            EXPECT_EQ(Le32(bytes, 44 + e), bytes.size() - (48 + e)) << "data length = the bytes after the header";
            EXPECT_EQ(Le32(bytes, 44 + e), written);
            EXPECT_EQ(Le32(bytes, 4), Le32(bytes, 44 + e) + e + 40);
            EXPECT_EQ(bytes[20] | (bytes[21] << 8), record.FormatTag());
            const auto decoded = svtest::DecodeWithFfmpeg(path);
            ASSERT_TRUE(decoded.ok);
            // Every input frame comes back: the codec's last partial block is
            // encoded too, and at most one block of padding is added.
            const std::size_t got = decoded.samples.size() / 2;
            EXPECT_GE(got, frames);
            EXPECT_LT(got, frames + 4096);
            EXPECT_GT(svtest::Correlation(decoded.samples, svtest::ToSamples(pcm)), c.minCorrelation);
        } else {
            EXPECT_EQ(bytes.size(), written) << "a bare stream holds only the codec's bytes";
            EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
        }
    }
}

TEST(AcmEncoder, Mp3ThroughTheCodecLayerWithTagAndFullLength) {
    sv::TEncoders enc;
    ASSERT_TRUE(enc.WinMp3().HasCodec());
    const auto list = enc.CodecList();
    ASSERT_GE(list.size(), 2u) << "LAME first, then the layer's MP3 codecs";
    // The format "44 100 Hz; 192 kbit/s; stereo".
    const auto formats = enc.FormatList(0);
    const auto it = std::find_if(formats.begin(), formats.end(), [](const std::string& f) {
        return f.find("44 100 Hz") != std::string::npos && f.find("192 kbit/s") != std::string::npos &&
               f.find("stereo") != std::string::npos;
    });
    ASSERT_NE(it, formats.end());
    auto s = Settings(sv::kFormatMp3);
    s.SetUseLameEncoder(false);
    s.SetMp3AcmCodecIndex(0);
    s.SetMp3AcmFormatIndex(static_cast<std::uint16_t>(it - formats.begin()));
    enc.SetSettings(&s);
    sv::TagRecord tag;
    tag.SetPresent(true);
    tag.SetTitle("Через кодек");
    tag.SetArtist("Artist");
    svtest::TempDir dir;
    const std::string path = (dir.Path() / "t.mp3").string();
    const std::size_t frames = 44100 * 3 + 5;
    const auto pcm = svtest::MusicLike(frames, 2);
    ASSERT_TRUE(enc.Open(tag.Data(), path));
    Feed(enc, pcm);
    ASSERT_TRUE(enc.Close());
    const auto bytes = ReadAll(path);
    ASSERT_GT(bytes.size(), 10u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    std::string tags;
    svtest::RunTool({"ffprobe", "-v", "error", "-show_entries", "format_tags=title", "-of", "default=nw=1", path}, &tags);
    EXPECT_NE(tags.find("Через кодек"), std::string::npos) << tags;
    const auto decoded = svtest::DecodeWithFfmpeg(path);
    ASSERT_TRUE(decoded.ok);
    const std::size_t got = decoded.samples.size() / 2;
    EXPECT_GE(got, frames) << "the last partial frame is flushed";
    EXPECT_LT(got, frames + 2 * 1152 + 1105);
}

TEST(AcmEncoder, ChoicesThatCannotEncodeSayWhyAndLeaveNoFile) {
    sv::TEncoders enc;
    svtest::TempDir dir;
    const std::string path = (dir.Path() / "t.x").string();

    // A system without the layer's MP3 codecs: only LAME is offered.
    std::vector<sv::AcmDriverDetails> withoutMp3;
    for (const auto& d : enc.AcmDrivers().Drivers())
        if (d.formatTag != 0x55) withoutMp3.push_back(d);
    enc.SetAcmDrivers(withoutMp3);
    EXPECT_EQ(enc.CodecList().size(), 1u);
    auto mp3 = Settings(sv::kFormatMp3);
    mp3.SetUseLameEncoder(false);
    enc.SetSettings(&mp3);
    EXPECT_FALSE(enc.Availability(sv::kFormatMp3).available);
    EXPECT_FALSE(enc.Open(nullptr, path));
    EXPECT_FALSE(enc.FailureText().empty());
    enc.Close();
    EXPECT_FALSE(std::filesystem::exists(path));

    // A codec or format index outside the lists.
    auto acm = Settings(sv::kFormatAcm);
    acm.SetAcmCodecIndex(enc.AcmDrivers().Count());
    enc.SetSettings(&acm);
    EXPECT_FALSE(enc.Availability(sv::kFormatAcm).available);
    EXPECT_FALSE(enc.Open(nullptr, path));
    EXPECT_FALSE(enc.FailureText().empty());
    enc.Close();
    EXPECT_FALSE(std::filesystem::exists(path));

    // A full disk: Close reports it and the partial file goes.
    const auto [codec, format] = Find(enc.AcmDrivers(), "pcm_alaw");
    acm.SetAcmCodecIndex(codec);
    acm.SetAcmFormatIndex(format);
    enc.SetOpener([](const std::string& p) { return svtest::LimitedFile(p, 20000); });
    ASSERT_TRUE(enc.Open(nullptr, path));
    const auto pcm = svtest::MusicLike(44100, 2);
    bool ok = true;
    for (std::size_t off = 0; ok && off < pcm.size(); off += 17640) ok = enc.EncodeChunk(pcm.data() + off, 17640);
    EXPECT_FALSE(ok && enc.Close());
    EXPECT_NE(enc.FailureText().find("No space"), std::string::npos) << enc.FailureText();
    enc.Close();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(AcmEncoder, OnlyTheFirstChunkCarriesTheStartFlag) {
    sv::AcmEncodeStream stream;
    ASSERT_TRUE(stream.Open(sv::WAVEFORMATEX::CdFormat(), sv::WAVEFORMATEX::Pcm(22050, 1, 16)));
    const auto pcm = svtest::MusicLike(44100 * 2, 2);
    std::size_t out = 0;
    auto sink = [&](const std::uint8_t*, std::size_t n) { return out += n, true; };
    // Two pieces in the first call: the second still carries the flag.
    ASSERT_TRUE(stream.Feed(pcm.data(), pcm.size() / 2 + 8, sink));
    EXPECT_TRUE(stream.LastFlags() & sv::ACM_STREAMCONVERTF_START);
    ASSERT_TRUE(stream.Feed(pcm.data(), 4000, sink));
    EXPECT_FALSE(stream.LastFlags() & sv::ACM_STREAMCONVERTF_START);
    ASSERT_TRUE(stream.Finish(sink));
    EXPECT_TRUE(stream.LastFlags() & sv::ACM_STREAMCONVERTF_END);
    // 44100 + 2 + 1000 stereo frames at half the rate, mono: 2 bytes a frame.
    EXPECT_EQ(out, ((44100 + 2 + 1000 + 1) / 2) * 2);
}
