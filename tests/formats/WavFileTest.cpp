// WAV writing (header bytes, sizes) and the reader's codes on crafted files.
#include <gtest/gtest.h>

#include <cstring>

#include "RipTestSupport.h"
#include "base/Bytes.h"
#include "formats/WavFile.h"
#include "support/TempDir.h"

using namespace sv;
using namespace svtest;

namespace {

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::vector<std::uint8_t> ImaFmt() {
    // IMA ADPCM, stereo 22050 Hz, block 1024, 1017 samples per block.
    std::vector<std::uint8_t> f(20, 0);
    StoreLE16(f.data(), 0x11);
    StoreLE16(f.data() + 2, 2);
    StoreLE32(f.data() + 4, 22050);
    StoreLE32(f.data() + 8, 22201);
    StoreLE16(f.data() + 12, 1024);
    StoreLE16(f.data() + 14, 4);
    StoreLE16(f.data() + 16, 2);
    StoreLE16(f.data() + 18, 1017);
    return f;
}

}  // namespace

TEST(WavWriter, CdTrackIsDataPlus48BytesWithTheExactHeader) {
    TempDir dir;
    const auto path = dir.Path() / "t.wav";
    const std::string pcm = ToneS16(44100, 2, 5000);
    std::FILE* f = CreateWav(path.string(), WAVEFORMATEX::CdFormat());
    ASSERT_NE(f, nullptr);
    std::fflush(f);
    // Before closing both sizes are 0.
    const std::string open = ReadFileBytes(path);
    ASSERT_EQ(open.size(), 48u);
    EXPECT_EQ(LoadLE32(reinterpret_cast<const std::uint8_t*>(open.data()) + 4), 0u);
    EXPECT_EQ(LoadLE32(reinterpret_cast<const std::uint8_t*>(open.data()) + 44), 0u);

    ASSERT_EQ(std::fwrite(pcm.data(), 1, pcm.size(), f), pcm.size());
    ASSERT_TRUE(CloseWav(f, pcm.size(), WAVEFORMATEX::CdFormat()));
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), pcm.size() + 48);
    const std::uint32_t n = static_cast<std::uint32_t>(pcm.size());
    std::string expect = "RIFF";
    std::uint8_t le[4];
    StoreLE32(le, n + 40);
    expect.append(reinterpret_cast<char*>(le), 4);
    expect += "WAVEfmt ";
    expect += std::string("\x14\0\0\0", 4);
    expect += std::string("\x01\x00\x02\x00\x44\xAC\x00\x00\x10\xB1\x02\x00\x04\x00\x10\x00\x00\x00\x00\x00", 20);
    expect += "data";
    StoreLE32(le, n);
    expect.append(reinterpret_cast<char*>(le), 4);
    EXPECT_EQ(Hex(bytes.substr(0, 48)), Hex(expect));
    EXPECT_EQ(bytes.substr(48), pcm);
}

TEST(WavWriter, IndependentReaderSeesTheTrack) {
    if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    TempDir dir;
    const auto path = dir.Path() / "t.wav";
    const std::string pcm = ToneS16(44100, 2, 44100);
    std::FILE* f = CreateWav(path.string(), WAVEFORMATEX::CdFormat());
    ASSERT_NE(f, nullptr);
    std::fwrite(pcm.data(), 1, pcm.size(), f);
    ASSERT_TRUE(CloseWav(f, pcm.size(), WAVEFORMATEX::CdFormat()));
    std::string out;
    ASSERT_EQ(RunTool({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                       "stream=codec_name,sample_rate,channels,duration_ts", "-of", "default=nw=1", path.string()},
                      &out),
              0);
    EXPECT_NE(out.find("codec_name=pcm_s16le"), std::string::npos) << out;
    EXPECT_NE(out.find("sample_rate=44100"), std::string::npos) << out;
    EXPECT_NE(out.find("channels=2"), std::string::npos) << out;
    EXPECT_NE(out.find("duration_ts=44100"), std::string::npos) << out;
}

TEST(WavWriter, FormatWithExtraBytesMovesTheDataChunk) {
    TempDir dir;
    const auto path = dir.Path() / "ima.wav";
    const auto fmt = ImaFmt();
    const WAVEFORMATEX ima = WAVEFORMATEX::FromBytes(fmt);
    ASSERT_EQ(ima.CbSize(), 2);
    std::FILE* f = CreateWav(path.string(), ima);
    ASSERT_NE(f, nullptr);
    const std::string blocks(3072, '\x11');
    std::fwrite(blocks.data(), 1, blocks.size(), f);
    ASSERT_TRUE(CloseWav(f, blocks.size(), ima));
    const std::string bytes = ReadFileBytes(path);
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    ASSERT_EQ(bytes.size(), 3072u + 50);
    EXPECT_EQ(LoadLE32(p + 4), 3072u + 2 + 40);
    EXPECT_EQ(LoadLE32(p + 16), 22u);
    EXPECT_EQ(std::string(bytes.data() + 20, 20), std::string(fmt.begin(), fmt.end()));
    EXPECT_EQ(bytes.substr(40, 2), std::string(2, '\0'));
    EXPECT_EQ(bytes.substr(42, 4), "data");
    EXPECT_EQ(LoadLE32(p + 46), 3072u);
}

struct OpenCase {
    const char* name;
    std::string file;  // bytes, or empty for "no file"
    bool acceptAnyPcm;
    int code;
    bool openAfter;
};

TEST(WavReader, CodesOfCraftedFiles) {
    const std::string cd = ToneS16(44100, 2, 100);
    const std::string mono = ToneS16(22050, 1, 100);
    const std::vector<OpenCase> cases = {
        {"cd", MakeWavFile(PcmFmt(44100, 2, 16), "", cd), false, 1, true},
        {"fact chunk", MakeWavFile(PcmFmt(44100, 2, 16), Chunk("fact", std::string(4, '\x64')), cd), false, 1, true},
        {"LIST chunk", MakeWavFile(PcmFmt(44100, 2, 16), Chunk("LIST", "INFOISFT\x04\0\0\0abc\0"), cd), false, 11,
         false},
        {"22050 mono", MakeWavFile(PcmFmt(22050, 1, 16), "", mono), false, 11, true},
        {"22050 mono, any PCM", MakeWavFile(PcmFmt(22050, 1, 16), "", mono), true, 1, true},
        {"8-bit", MakeWavFile(PcmFmt(44100, 2, 8), "", std::string(200, '\x80')), false, 11, true},
        {"8-bit, any PCM", MakeWavFile(PcmFmt(44100, 2, 8), "", std::string(200, '\x80')), true, 1, true},
        {"24-bit, any PCM", MakeWavFile(PcmFmt(44100, 2, 24), "", std::string(600, '\0')), true, 1, true},
        {"1000 Hz, any PCM", MakeWavFile(PcmFmt(1000, 1, 8), "", std::string(50, '\x80')), true, 1, true},
        {"999 Hz, any PCM", MakeWavFile(PcmFmt(999, 1, 8), "", std::string(50, '\x80')), true, 11, true},
        {"1 Hz, any PCM", MakeWavFile(PcmFmt(1, 1, 8), "", std::string(50, '\x80')), true, 11, true},
        {"float, any PCM", MakeWavFile(PcmFmt(44100, 2, 32, true), "", std::string(800, '\0')), true, 11, true},
        {"IMA ADPCM", MakeWavFile(ImaFmt(), Chunk("fact", std::string(4, '\0')), std::string(1024, '\0')), true, 11,
         true},
        {"not RIFF", "RIFX" + MakeWavFile(PcmFmt(44100, 2, 16), "", cd).substr(4), false, 13, false},
        {"not WAVE", MakeWavFile(PcmFmt(44100, 2, 16), "", cd).replace(8, 4, "AVI "), false, 13, false},
        {"short file", std::string("RIFF"), false, 13, false},
        {"header cut in fmt", MakeWavFile(PcmFmt(44100, 2, 16), "", cd).substr(0, 30), false, 11, false},
        {"no data chunk", MakeWavFile(PcmFmt(44100, 2, 16), "", cd).substr(0, 40), false, 11, false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir.Path() / "case.wav";
        WriteFileBytes(path, c.file);
        WavSource s;
        EXPECT_EQ(OpenWavSource(s, path.string(), c.acceptAnyPcm), c.code);
        EXPECT_EQ(s.IsOpen(), c.openAfter);
    }
}

TEST(WavReader, OpensAtTheFirstDataByte) {
    TempDir dir;
    const auto path = dir.Path() / "a.wav";
    const std::string pcm = ToneS16(44100, 2, 300);
    WriteFileBytes(path, MakeWavFile(PcmFmt(44100, 2, 16), Chunk("fact", "abcd"), pcm));
    WavSource s;
    ASSERT_EQ(OpenWavSource(s, path.string(), false), kWavAccepted);
    EXPECT_EQ(s.dataLength, pcm.size());
    EXPECT_EQ(s.dataOffset, 12u + 28 + 12 + 8);
    std::string got(pcm.size() + 10, '\0');
    EXPECT_EQ(ReadWav(s, got.data(), got.size()), pcm.size());
    got.resize(pcm.size());
    EXPECT_EQ(got, pcm);
    EXPECT_TRUE(s.Format().IsCdFormat());
    CloseWavSource(s);
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.dataLength, 0u);
    EXPECT_EQ(ReadWav(s, got.data(), got.size()), 0u);
}

TEST(WavReader, PathProblemsAndASecondOpen) {
    TempDir dir;
    WavSource s;
    EXPECT_EQ(OpenWavSource(s, "", false), kWavCannotOpen);
    EXPECT_EQ(OpenWavSource(s, (dir.Path() / "missing.wav").string(), false), kWavCannotOpen);
    EXPECT_FALSE(s.IsOpen());

    const auto first = dir.Path() / "first.wav";
    const auto second = dir.Path() / "second.wav";
    WriteFileBytes(first, MakeWavFile(PcmFmt(44100, 2, 16), "", "ABCD"));
    WriteFileBytes(second, MakeWavFile(PcmFmt(44100, 2, 16), "", "WXYZ"));
    ASSERT_EQ(OpenWavSource(s, first.string(), false), kWavAccepted);
    EXPECT_EQ(OpenWavSource(s, second.string(), false), kWavAlreadyOpen);
    EXPECT_EQ(s.sourceName, first.string());
    char buf[4];
    ASSERT_EQ(ReadWav(s, buf, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), "ABCD");
}

TEST(WavReader, TruncatedDataIsCutToWhatTheFileHolds) {
    TempDir dir;
    const auto path = dir.Path() / "cut.wav";
    const std::string pcm = ToneS16(44100, 2, 25);  // 100 bytes, header claims 10000
    WriteFileBytes(path, MakeWavFile(PcmFmt(44100, 2, 16), "", pcm, 10000));
    WavSource s;
    ASSERT_EQ(OpenWavSource(s, path.string(), false), kWavAccepted);
    EXPECT_EQ(s.dataLength, 100u);
    std::string buf(10000, '\0');
    EXPECT_EQ(ReadWav(s, buf.data(), buf.size()), 100u);
    EXPECT_EQ(ReadWav(s, buf.data(), buf.size()), 0u);
}

TEST(WavReader, FmtChunkBeyondTheFormatBuffer) {
    TempDir dir;
    const auto path = dir.Path() / "long.wav";
    const std::string pcm = ToneS16(44100, 2, 10);
    // A plain record in a 120-byte chunk: the record fits, the rest is skipped.
    auto fmt = PcmFmt(44100, 2, 16);
    fmt.resize(120, 0xEE);
    StoreLE16(fmt.data() + 16, 0);
    WriteFileBytes(path, MakeWavFile(fmt, "", pcm));
    {
        WavSource s;
        ASSERT_EQ(OpenWavSource(s, path.string(), false), kWavAccepted);
        std::string got(pcm.size(), '\0');
        ASSERT_EQ(ReadWav(s, got.data(), got.size()), pcm.size());
        EXPECT_EQ(got, pcm);
    }
    // A record whose extra bytes do not fit cannot be held: refused, closed.
    auto big = ImaFmt();
    big.resize(130, 0);
    StoreLE16(big.data() + 16, 112);
    WriteFileBytes(path, MakeWavFile(big, "", std::string(1024, '\0')));
    WavSource s;
    EXPECT_EQ(OpenWavSource(s, path.string(), true), kWavNotAccepted);
    EXPECT_FALSE(s.IsOpen());
}
