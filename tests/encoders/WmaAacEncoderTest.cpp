// The FFmpeg-based encoders, WMA (ASF) and AAC (ADTS behind an ID3v2 tag):
// files fed in chunks of odd sizes decoded by the ffmpeg command and compared
// with the source after the codec's delay, the tags as ffprobe shows them,
// the settings tables, and the failures that must leave no file.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "AudioCheck.h"
#include "RipTestSupport.h"
#include "base/TagRecord.h"
#include "encoders/AacEncoder.h"
#include "encoders/WmaEncoder.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

sv::TProgramSettings Defaults() {
    sv::TProgramSettings s;
    s.ApplyDefaults("/tmp/sv/", "/tmp/music/");
    return s;
}

sv::TProgramSettings AacSettings(int objectType, int mpeg4, int bitrateIndex, int midSide = 1, int tns = 1) {
    auto s = Defaults();
    s.SetFaacObjectType(objectType);
    s.SetFaacMpeg4(mpeg4);
    s.SetFaacBitrateIndex(bitrateIndex);
    s.SetFaacAllowMidSide(midSide);
    s.SetFaacUseTns(tns);
    return s;
}

sv::TagRecord Tag(const char* title, const char* comment) {
    sv::TagRecord t;
    t.SetPresent(true);
    t.SetArtist("The Band");
    t.SetTitle(title);
    t.SetAlbum("Album 1");
    t.SetComment(comment);
    t.SetYear("1999");
    t.SetGenre("Rock");
    t.SetTrackNumber("7");
    t.SetEncodedBy("Sornaval");
    return t;
}

// Feeds `pcm` in chunk sizes that split codec frames and even samples.
template <class Encoder>
bool FeedOddChunks(Encoder& enc, const std::vector<std::uint8_t>& pcm) {
    static constexpr std::size_t kSizes[] = {1001, 4097, 333, 9999, 2, 17640};
    for (std::size_t off = 0, i = 0; off < pcm.size(); ++i) {
        const std::size_t n = std::min(kSizes[i % std::size(kSizes)], pcm.size() - off);
        if (!enc.EncodeChunk(pcm.data() + off, n)) return false;
        off += n;
    }
    return true;
}

struct Fit {
    std::size_t lag = 0;  // frames of delay in the decoded stream
    double all = 0;       // correlation over the whole aligned stream
    double tail = 0;      // over the last 4096 source frames
};

// Finds the decoder's delay by the best correlation of a window, then
// correlates the aligned streams.
Fit Align(const std::vector<std::int16_t>& decoded, const std::vector<std::int16_t>& source, int channels,
          std::size_t maxLag) {
    const std::size_t ch = std::size_t(channels), start = 20000, window = 4096;
    auto slice = [&](const std::vector<std::int16_t>& v, std::size_t frame, std::size_t frames) {
        const std::size_t from = std::min(v.size(), frame * ch), to = std::min(v.size(), (frame + frames) * ch);
        return std::vector<std::int16_t>(v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(to));
    };
    Fit fit;
    double best = -2;
    const auto reference = slice(source, start, window);
    for (std::size_t lag = 0; lag <= maxLag; ++lag) {
        const double c = svtest::Correlation(slice(decoded, start + lag, window), reference);
        if (c > best) best = c, fit.lag = lag;
    }
    const std::size_t frames = source.size() / ch;
    fit.all = svtest::Correlation(slice(decoded, fit.lag, frames), source);
    const auto last = slice(decoded, fit.lag + frames - window, window);
    fit.tail = last.size() == window * ch ? svtest::Correlation(last, slice(source, frames - window, window)) : 0;
    return fit;
}

std::string Probe(const std::string& path, const char* entries) {
    std::string out;
    svtest::RunTool({"ffprobe", "-v", "error", "-show_entries", entries, "-of", "default=nw=1", path}, &out);
    return out;
}

void ExpectTags(const std::string& shown, const std::vector<std::string>& wanted) {
    for (const auto& want : wanted) EXPECT_NE(shown.find(want + "\n"), std::string::npos) << want << " in\n" << shown;
}

}  // namespace

TEST(FfmpegEncoderSettings, BitRateTablesAndTheFaacConfigurationRecord) {
    // WMA: index -> kbit/s, held to the table.
    for (const auto& [index, kbits] : {std::pair{0, 32}, {3, 64}, {7, 160}, {8, 192}, {9, 192}, {255, 192}})
        EXPECT_EQ(sv::TWMAEncoder::BitrateOf(index), kbits) << index;
    EXPECT_EQ(sv::TWMAEncoder::BitrateOf(Defaults().WmaBitrateIndex()), 160);

    // AAC: (object type, MPEG-4 flag, bit-rate index, mid/side, TNS) -> record, by hand.
    struct Row {
        int objectType, mpeg4, index, midSide, tns;
        sv::FaacConfiguration want;
    };
    const Row rows[] = {
        {0, 0, 4, 1, 0, {1, 1, 1, 0, 0, 64000, 18000}},  // LC, MPEG-2, 128 kbit/s
        {1, 1, 0, 0, 1, {0, 0, 0, 0, 1, 32000, 18000}},  // Main, MPEG-4, 64 kbit/s
        {2, 0, 9, 1, 1, {0, 3, 1, 0, 1, 160000, 18000}}, // LTP forces MPEG-4, 320 kbit/s
        {7, 0, 42, 0, 0, {1, 1, 0, 0, 0, 160000, 18000}}, // unknown type -> LC; index held to the table
    };
    for (const Row& r : rows)
        EXPECT_EQ(sv::TFAACEncoder::Configuration(AacSettings(r.objectType, r.mpeg4, r.index, r.midSide, r.tns)),
                  r.want)
            << r.objectType << "/" << r.mpeg4 << "/" << r.index;
}

TEST(WmaEncoder, DecodesLikeTheSourceWithItsAttributes) {
    ASSERT_TRUE(sv::TWMAEncoder::Available());
    struct Case {
        int channels, rate, index;
        const char* title;
        const char* comment;
    };
    for (const Case c : {Case{2, 44100, 7, "Night Train", "first take"}, {1, 44100, 7, "Ночной поезд", ""},
                         {2, 48000, 8, "夜行列車", "x"}}) {
        SCOPED_TRACE(c.title);
        svtest::TempDir dir;
        const std::size_t frames = std::size_t(c.rate) * 3 + 777;
        const auto pcm = svtest::MusicLike(frames, c.channels);
        auto settings = Defaults();
        settings.SetWmaBitrateIndex(std::uint8_t(c.index));
        const auto tag = Tag(c.title, c.comment);
        const auto path = (dir.Path() / "t.wma").string();
        sv::TWMAEncoder enc;
        enc.SetInputFormat(sv::WAVEFORMATEX::Pcm(std::uint32_t(c.rate), std::uint16_t(c.channels), 16));
        ASSERT_TRUE(enc.Open(tag.Data(), path, settings)) << enc.LastMessage();
        ASSERT_TRUE(FeedOddChunks(enc, pcm));
        ASSERT_TRUE(enc.Close()) << enc.LastMessage();

        const auto decoded = svtest::DecodeWithFfmpeg(path);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.channels, c.channels);
        EXPECT_EQ(decoded.sampleRate, c.rate);
        // Nothing lost; the last frame and the silent one that completes it.
        const std::size_t got = decoded.samples.size() / std::size_t(c.channels);
        const std::size_t frameSize = 2048;  // wmav2's frame at 44100 and 48000 Hz
        EXPECT_GE(got, frames);
        EXPECT_LT(got, frames + 2 * frameSize);
        const Fit fit = Align(decoded.samples, svtest::ToSamples(pcm), c.channels, 2 * frameSize);
        std::printf("WMA %d ch %d Hz %d kbit/s: %zu frames for %zu, delay %zu, correlation %.5f, tail %.5f\n",
                    c.channels, c.rate, sv::TWMAEncoder::BitrateOf(c.index), got, frames, fit.lag, fit.all, fit.tail);
        EXPECT_GT(fit.all, 0.95);
        EXPECT_GT(fit.tail, 0.95) << "the end of the track is lost";
        const std::string bitRate = "bit_rate=" + std::to_string(sv::TWMAEncoder::BitrateOf(c.index) * 1000) + "\n";
        EXPECT_NE(Probe(path, "stream=bit_rate").find(bitRate), std::string::npos) << bitRate;

        ExpectTags(Probe(path, "format_tags"),
                   {"TAG:artist=The Band", std::string("TAG:title=") + c.title, "TAG:album=Album 1", "TAG:WM/Year=1999",
                    "TAG:genre=Rock", "TAG:track=7", "TAG:encoded_by=Sornaval"});
        if (*c.comment) ExpectTags(Probe(path, "format_tags"), {std::string("TAG:comment=") + c.comment});
        // An empty comment is still stored: the muxer writes comments as the
        // extended content descriptor "Description", a UTF-16 string (type 0)
        // whose length counts the terminator.
        std::string descriptor("\x18\x00", 2);  // name length: 12 UTF-16 units
        for (const char ch : std::string_view("Description\0", 12)) descriptor += {ch, '\0'};
        const std::size_t valueBytes = 2 * (std::string_view(c.comment).size() + 1);
        descriptor += {'\0', '\0', char(valueBytes), '\0'};
        EXPECT_NE(svtest::ReadFileBytes(path).find(descriptor), std::string::npos);
    }
}

TEST(AacEncoder, DecodesLikeTheSourceBehindItsId3v2Tag) {
    struct Case {
        int channels, rate, objectType, mpeg4, index;
        bool fromFile;  // EncodeFile instead of the stream calls
        const char* profile;  // as ffprobe names it
        int adtsId, adtsProfile;
    };
    for (const Case c : {Case{2, 44100, 0, 1, 4, false, "LC", 0, 1}, {1, 48000, 1, 0, 6, false, "Main", 1, 0},
                         {2, 44100, 2, 0, 5, false, "LTP", 0, 3}, {2, 44100, 0, 0, 4, true, "LC", 1, 1}}) {
        SCOPED_TRACE(c.profile);
        svtest::TempDir dir;
        const std::size_t frames = std::size_t(c.rate) * 3 + 777;
        const auto pcm = svtest::MusicLike(frames, c.channels);
        const auto settings = AacSettings(c.objectType, c.mpeg4, c.index);
        const auto tag = Tag("Night Train", "first take");
        const auto path = (dir.Path() / "t.aac").string();
        sv::TFAACEncoder enc;
        if (c.fromFile) {
            const auto wav = dir.Path() / "s.wav";
            svtest::WriteCdWav(wav, pcm, c.channels);
            ASSERT_EQ(enc.EncodeFile(wav.string(), path, tag.Data(), settings), sv::EncodeResult::Done);
        } else {
            enc.SetInputFormat(sv::WAVEFORMATEX::Pcm(std::uint32_t(c.rate), std::uint16_t(c.channels), 16));
            ASSERT_TRUE(enc.Open(tag.Data(), path, settings)) << enc.LastMessage();
            ASSERT_TRUE(FeedOddChunks(enc, pcm));
            ASSERT_TRUE(enc.Close()) << enc.LastMessage();
        }

        const auto decoded = svtest::DecodeWithFfmpeg(path);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.channels, c.channels);
        EXPECT_EQ(decoded.sampleRate, c.rate);
        // Nothing lost; at most the encoder's 1024 priming samples and one
        // padded frame more.
        const std::size_t got = decoded.samples.size() / std::size_t(c.channels);
        EXPECT_GE(got, frames);
        EXPECT_LE(got, frames + 2048);
        const Fit fit = Align(decoded.samples, svtest::ToSamples(pcm), c.channels, 4096);
        std::printf("AAC %s %d ch %d Hz: %zu frames for %zu, delay %zu, correlation %.5f, tail %.5f\n", c.profile,
                    c.channels, c.rate, got, frames, fit.lag, fit.all, fit.tail);
        EXPECT_GT(fit.all, 0.95);
        EXPECT_GT(fit.tail, 0.95) << "the end of the track is lost";

        // The first ADTS header follows the tag: its ID bit is the MPEG
        // version and its profile field the object type.
        const std::string bytes = svtest::ReadFileBytes(path);
        ASSERT_EQ(bytes.compare(0, 3, "ID3"), 0);
        const std::size_t tagSize = 10 + (std::size_t(bytes[6] & 0x7F) << 21 | std::size_t(bytes[7] & 0x7F) << 14 |
                                          std::size_t(bytes[8] & 0x7F) << 7 | std::size_t(bytes[9] & 0x7F));
        ASSERT_GT(bytes.size(), tagSize + 7);
        const auto* adts = reinterpret_cast<const std::uint8_t*>(bytes.data() + tagSize);
        EXPECT_EQ(adts[0], 0xFF);
        EXPECT_EQ(adts[1] >> 4, 0xF);
        EXPECT_EQ(adts[1] >> 3 & 1, c.adtsId);
        EXPECT_EQ(adts[2] >> 6, c.adtsProfile);
        EXPECT_NE(Probe(path, "stream=profile").find(std::string("profile=") + c.profile + "\n"), std::string::npos)
            << Probe(path, "stream=profile");
        ExpectTags(Probe(path, "format_tags"), {"TAG:title=Night Train", "TAG:artist=The Band", "TAG:album=Album 1",
                                                "TAG:comment=first take", "TAG:date=1999", "TAG:genre=Rock",
                                                "TAG:track=7", "TAG:encoded_by=Sornaval"});
    }
}

TEST(FfmpegEncoderFailures, EachCauseHasItsMessageAndLeavesNoFile) {
    svtest::TempDir dir;
    const auto settings = AacSettings(0, 1, 4);
    const auto path = (dir.Path() / "out").string();
    const auto missingDir = (dir.Path() / "no" / "such.file").string();
    const auto cd = sv::WAVEFORMATEX::CdFormat();
    struct Case {
        const char* what;
        bool wma;
        const char* codec;
        sv::WAVEFORMATEX input;
        std::string target;
        const char* message;
    };
    const Case cases[] = {
        {"missing WMA codec", true, "no-such-codec", cd, path, sv::TWMAEncoder::kCodecMessage},
        {"96 kHz WMA", true, sv::TWMAEncoder::kCodecName, sv::WAVEFORMATEX::Pcm(96000, 2, 16), path,
         sv::TWMAEncoder::kCodecMessage},
        {"WMA file not created", true, sv::TWMAEncoder::kCodecName, cd, missingDir, sv::TWMAEncoder::kFileMessage},
        {"missing AAC codec", false, "no-such-codec", cd, path, sv::TFAACEncoder::kSettingsMessage},
        {"44000 Hz AAC", false, sv::TFAACEncoder::kCodecName, sv::WAVEFORMATEX::Pcm(44000, 2, 16), path,
         sv::TFAACEncoder::kSettingsMessage},
        {"AAC file not created", false, sv::TFAACEncoder::kCodecName, cd, missingDir, sv::TFAACEncoder::kFileMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        svtest::ScriptedDialogs dialogs;
        dialogs.ExpectMessage(c.message);
        std::string message;
        bool opened = false;
        if (c.wma) {
            sv::TWMAEncoder enc(c.codec);
            enc.SetDialogs(&dialogs);
            enc.SetInputFormat(c.input);
            opened = enc.Open(nullptr, c.target, settings);
            message = enc.LastMessage();
            EXPECT_FALSE(enc.Close());
        } else {
            sv::TFAACEncoder enc(c.codec);
            enc.SetDialogs(&dialogs);
            enc.SetInputFormat(c.input);
            opened = enc.Open(nullptr, c.target, settings);
            message = enc.LastMessage();
            EXPECT_FALSE(enc.Close());
        }
        EXPECT_FALSE(opened);
        EXPECT_EQ(message, c.message);
        EXPECT_TRUE(dialogs.Done());
        ASSERT_EQ(dialogs.Icons().size(), 1u);
        EXPECT_EQ(dialogs.Icons()[0], sv::MessageIcon::Warning);
        EXPECT_FALSE(fs::exists(c.target));
    }
    EXPECT_FALSE(sv::TWMAEncoder::Available("no-such-codec"));
    EXPECT_FALSE(sv::TFAACEncoder::Available("no-such-codec"));

    // A disk that fills up: the stream fails, Close says so and removes the file.
    const auto pcm = svtest::MusicLike(44100 * 4, 2);
    const auto full = [](const std::string& p) { return svtest::LimitedFile(p, 30000); };
    for (const bool wma : {true, false}) {
        SCOPED_TRACE(wma ? "WMA on a full disk" : "AAC on a full disk");
        const auto target = (dir.Path() / (wma ? "full.wma" : "full.aac")).string();
        bool fed = false, closed = false;
        int error = 0;
        if (wma) {
            sv::TWMAEncoder enc;
            enc.SetOpener(full);
            ASSERT_TRUE(enc.Open(Tag("t", "c").Data(), target, settings));
            fed = FeedOddChunks(enc, pcm);
            closed = enc.Close();
            error = enc.LastError();
        } else {
            sv::TFAACEncoder enc;
            enc.SetOpener(full);
            ASSERT_TRUE(enc.Open(Tag("t", "c").Data(), target, settings));
            fed = FeedOddChunks(enc, pcm);
            closed = enc.Close();
            error = enc.LastError();
        }
        EXPECT_FALSE(fed);
        EXPECT_FALSE(closed);
        EXPECT_EQ(error, ENOSPC);
        EXPECT_FALSE(fs::exists(target));
    }
}
