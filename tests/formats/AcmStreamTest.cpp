// The conversion stream's semantics as its callers rely on them.
#include <gtest/gtest.h>

#include <cmath>

#include "RipTestSupport.h"
#include "base/Bytes.h"
#include "formats/Acm.h"
#include "formats/WavFile.h"
#include "support/TempDir.h"

using namespace sv;
using namespace svtest;

namespace {

struct Result {
    std::uint32_t rc = 0;
    std::string out;
    std::vector<std::uint32_t> srcUsed;
};

// Feeds `in` in pieces of `piece` bytes through a destination buffer of
// `dstSize` bytes, offering unused bytes again, then drains with END.
Result ConvertAll(HACMSTREAM s, const std::string& in, std::size_t piece, std::size_t dstSize,
           std::uint32_t firstFlags = ACM_STREAMCONVERTF_START, std::uint32_t laterFlags = 0) {
    Result r;
    std::string src = in;
    std::vector<std::uint8_t> dst(dstSize);
    ACMSTREAMHEADER h;
    h.pbDst = dst.data();
    h.cbDstLength = static_cast<std::uint32_t>(dst.size());
    acmStreamPrepareHeader(s, &h, 0);
    std::size_t pos = 0;
    bool first = true;
    while (pos < src.size()) {
        const std::size_t n = std::min(piece, src.size() - pos);
        h.pbSrc = reinterpret_cast<std::uint8_t*>(src.data() + pos);
        h.cbSrcLength = static_cast<std::uint32_t>(n);
        const bool last = pos + n == src.size();
        std::uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN | (first ? firstFlags : laterFlags);
        if (last) flags |= ACM_STREAMCONVERTF_END;
        first = false;
        r.rc = acmStreamConvert(s, &h, flags);
        if (r.rc) return r;
        r.out.append(reinterpret_cast<char*>(dst.data()), h.cbDstLengthUsed);
        r.srcUsed.push_back(h.cbSrcLengthUsed);
        if (h.cbSrcLengthUsed == 0) break;
        pos += h.cbSrcLengthUsed;
    }
    for (int i = 0; i < 100000; ++i) {
        h.cbSrcLength = 0;
        r.rc = acmStreamConvert(s, &h, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_END);
        if (r.rc || h.cbDstLengthUsed == 0) break;
        r.out.append(reinterpret_cast<char*>(dst.data()), h.cbDstLengthUsed);
    }
    acmStreamUnprepareHeader(s, &h, 0);
    return r;
}

AcmStreamPtr Open(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) {
    HACMSTREAM s = nullptr;
    EXPECT_EQ(acmStreamOpen(&s, src, dst, ACM_STREAMOPENF_NONREALTIME), MMSYSERR_NOERROR);
    return AcmStreamPtr(s);
}

WAVEFORMATEX Ima(std::uint32_t rate, std::uint16_t ch, std::uint16_t block) {
    WAVEFORMATEX f;
    f.SetFormatTag(kWaveFormatImaAdpcm);
    f.SetChannels(ch);
    f.SetSamplesPerSec(rate);
    f.SetBlockAlign(block);
    f.SetBitsPerSample(4);
    const std::uint16_t spb = static_cast<std::uint16_t>((block - 4 * ch) * 8 / (4 * ch) + 1);
    f.SetAvgBytesPerSec(rate * block / spb);
    std::uint8_t extra[2];
    StoreLE16(extra, spb);
    f.SetExtra(extra);
    return f;
}

}  // namespace

TEST(AcmStream, SizeQueriesOfAPcmConversion) {
    auto s = Open(WAVEFORMATEX::Pcm(48000, 2, 16), WAVEFORMATEX::CdFormat());
    std::uint32_t out = 0;
    ASSERT_EQ(acmStreamSize(s.get(), 192000, &out, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(out, 176400u);
    ASSERT_EQ(acmStreamSize(s.get(), 176400, &out, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
    EXPECT_EQ(out, 192000u);
    // Frames round up: 1007 frames at 48 kHz give 926 at 44.1 kHz.
    ASSERT_EQ(acmStreamSize(s.get(), 1007 * 4, &out, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(out, 926u * 4);
    EXPECT_EQ(acmStreamSize(nullptr, 4, &out, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmStream, ConsumesWholeFramesOnlyAndKeepsWhatDoesNotFit) {
    const std::string pcm = ToneS16(22050, 1, 10001);
    auto s = Open(WAVEFORMATEX::Pcm(22050, 1, 16), WAVEFORMATEX::CdFormat());
    // Odd pieces: every piece is used up to its last whole 2-byte frame.
    Result tiny = ConvertAll(s.get(), pcm, 333, 100);
    ASSERT_EQ(tiny.rc, MMSYSERR_NOERROR);
    for (std::size_t i = 0; i + 1 < tiny.srcUsed.size(); ++i) EXPECT_EQ(tiny.srcUsed[i] % 2, 0u);
    // Output through a 100-byte buffer is the same as through a large one.
    auto s2 = Open(WAVEFORMATEX::Pcm(22050, 1, 16), WAVEFORMATEX::CdFormat());
    Result big = ConvertAll(s2.get(), pcm, pcm.size(), 1 << 20);
    ASSERT_EQ(big.rc, MMSYSERR_NOERROR);
    EXPECT_EQ(big.out.size(), 20002u * 4);
    EXPECT_EQ(tiny.out, big.out);
}

TEST(AcmStream, TakesOnlyTheSourceThatFillsTheDestination) {
    // 1000 Hz 8-bit mono grows 176.4 times into CD format: a 4096-byte
    // destination (1024 frames) holds the output of 23 source frames.
    const std::string src(100000, '\xC0');
    auto s = Open(WAVEFORMATEX::Pcm(1000, 1, 8), WAVEFORMATEX::CdFormat());
    const Result r = ConvertAll(s.get(), src, src.size(), 4096);
    ASSERT_EQ(r.rc, MMSYSERR_NOERROR);
    for (const std::uint32_t used : r.srcUsed) EXPECT_LE(used, 24u);
    EXPECT_EQ(r.out.size(), 4410000u * 4);
    // A constant level stays that level: 0xC0 is half of full scale, and mono
    // goes to both channels 3 dB down.
    EXPECT_NEAR(Samples16(r.out.substr(r.out.size() / 2, 4))[0], 16384 * M_SQRT1_2, 2);
}

TEST(AcmStream, StartOnEveryPieceDropsNothingAndResetStartsAfresh) {
    const std::string pcm = ToneS16(32000, 2, 8000);
    auto a = Open(WAVEFORMATEX::Pcm(32000, 2, 16), WAVEFORMATEX::CdFormat());
    const Result whole = ConvertAll(a.get(), pcm, pcm.size(), 1 << 20);
    auto b = Open(WAVEFORMATEX::Pcm(32000, 2, 16), WAVEFORMATEX::CdFormat());
    const Result starts = ConvertAll(b.get(), pcm, 4000, 1 << 20, ACM_STREAMCONVERTF_START, ACM_STREAMCONVERTF_START);
    EXPECT_EQ(starts.out, whole.out);

    // Half a conversion, a reset, then the whole again: as a fresh stream.
    ACMSTREAMHEADER h;
    std::string half = pcm.substr(0, pcm.size() / 2);
    std::vector<std::uint8_t> dst(1 << 20);
    h.pbSrc = reinterpret_cast<std::uint8_t*>(half.data());
    h.cbSrcLength = static_cast<std::uint32_t>(half.size());
    h.pbDst = dst.data();
    h.cbDstLength = 64;  // most of the output stays pending
    ASSERT_EQ(acmStreamPrepareHeader(b.get(), &h, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(b.get(), &h, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START), 0u);
    acmStreamUnprepareHeader(b.get(), &h, 0);
    ASSERT_EQ(acmStreamReset(b.get(), 0), MMSYSERR_NOERROR);
    EXPECT_EQ(ConvertAll(b.get(), pcm, pcm.size(), 1 << 20).out, whole.out);
}

TEST(AcmStream, HeaderMustBePrepared) {
    auto s = Open(WAVEFORMATEX::Pcm(22050, 1, 16), WAVEFORMATEX::CdFormat());
    ACMSTREAMHEADER h;
    std::uint8_t src[4] = {}, dst[16] = {};
    h.pbSrc = src;
    h.cbSrcLength = 4;
    h.pbDst = dst;
    h.cbDstLength = 16;
    EXPECT_EQ(acmStreamConvert(s.get(), &h, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamUnprepareHeader(s.get(), &h, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamConvert(nullptr, &h, 0), MMSYSERR_INVALHANDLE);
}

TEST(AcmStream, ConversionsThatCannotBeOpened) {
    const WAVEFORMATEX cd = WAVEFORMATEX::CdFormat();
    WAVEFORMATEX unknown = cd;
    unknown.SetFormatTag(0x7A7A);
    WAVEFORMATEX alaw = WAVEFORMATEX::Pcm(8000, 1, 8);
    alaw.SetFormatTag(kWaveFormatAlaw);
    HACMSTREAM s = reinterpret_cast<HACMSTREAM>(1);
    EXPECT_EQ(acmStreamOpen(&s, unknown, cd, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(acmStreamOpen(nullptr, Ima(22050, 2, 1024), alaw, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(nullptr, WAVEFORMATEX::Pcm(44100, 9, 16), cd, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(nullptr, WAVEFORMATEX::Pcm(44100, 0, 16), cd, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(nullptr, WAVEFORMATEX::Pcm(0, 2, 16), cd, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
    // GSM 6.10 encodes 8 kHz mono only.
    WAVEFORMATEX gsm;
    gsm.SetFormatTag(kWaveFormatGsm610);
    gsm.SetChannels(1);
    gsm.SetSamplesPerSec(44100);
    gsm.SetBlockAlign(65);
    EXPECT_EQ(acmStreamOpen(nullptr, cd, gsm, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamOpen(nullptr, cd, cd, ACM_STREAMOPENF_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamOpen(nullptr, cd, cd, 0), MMSYSERR_INVALPARAM);
}

TEST(AcmStream, SuggestsPcmAtTheSourcesRateAndChannels) {
    WAVEFORMATEX dst;
    dst.SetFormatTag(kWaveFormatPcm);
    ASSERT_EQ(acmFormatSuggest(Ima(22050, 2, 1024), dst, 20, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(dst, WAVEFORMATEX::Pcm(22050, 2, 16));
    dst.SetFormatTag(kWaveFormatPcm);
    ASSERT_EQ(acmFormatSuggest(WAVEFORMATEX::Pcm(11025, 1, 8), dst, 20, ACM_FORMATSUGGESTF_WFORMATTAG), 0u);
    EXPECT_EQ(dst, WAVEFORMATEX::Pcm(11025, 1, 8));
    EXPECT_EQ(acmFormatSuggest(Ima(22050, 2, 1024), dst, 8, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_INVALPARAM);
    dst.SetFormatTag(kWaveFormatMpegLayer3);
    EXPECT_EQ(acmFormatSuggest(Ima(22050, 2, 1024), dst, 20, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
}

// CD audio encoded through a stream into a WAV file with the codec's record
// is read by FFmpeg as that codec, with the right length.
TEST(AcmStream, EncodedWavFilesPlayInAnIndependentDecoder) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string pcm = ToneS16(44100, 2, 44100);
    WAVEFORMATEX mp3;
    for (const auto& d : EnumerateAcmDrivers()) {
        for (const auto& f : d.formats) {
            if (f.formatTag == kWaveFormatMpegLayer3 && f.description == "44 100 Hz; 128 kbit/s; stereo") mp3 = f.format;
        }
    }
    ASSERT_EQ(mp3.FormatTag(), kWaveFormatMpegLayer3);
    struct Case {
        WAVEFORMATEX format;
        const char* codec;
    };
    for (const Case& c : {Case{Ima(44100, 2, 2048), "adpcm_ima_wav"}, Case{mp3, "mp3"}}) {
        SCOPED_TRACE(c.codec);
        auto s = Open(WAVEFORMATEX::CdFormat(), c.format);
        ASSERT_TRUE(s);
        const Result r = ConvertAll(s.get(), pcm, 176400 / 4, 65536);
        ASSERT_EQ(r.rc, MMSYSERR_NOERROR);
        if (c.format.FormatTag() == kWaveFormatImaAdpcm) {
            EXPECT_EQ(r.out.size() % 2048, 0u);
        }
        TempDir dir;
        const auto path = dir.Path() / "coded.wav";
        std::FILE* f = CreateWav(path.string(), c.format);
        ASSERT_NE(f, nullptr);
        std::fwrite(r.out.data(), 1, r.out.size(), f);
        ASSERT_TRUE(CloseWav(f, r.out.size(), c.format));
        std::string probe;
        ASSERT_EQ(RunTool({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name", "-of", "default=nw=1",
                           path.string()},
                          &probe),
                  0);
        EXPECT_NE(probe.find(std::string("codec_name=") + c.codec), std::string::npos) << probe;
        const auto raw = dir.Path() / "back.raw";
        ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-i", path.string(), "-f", "s16le", "-ac", "2", "-ar", "44100",
                           raw.string()}),
                  0);
        const auto back = Samples16(ReadFileBytes(raw));
        // One second, give or take the codec's delay and last block.
        EXPECT_NEAR(static_cast<double>(back.size()) / 2, 44100.0, 2600.0);
        int peak = 0;
        for (auto v : back) peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_GT(peak, 6000);
    }
}
