#include <string>
using namespace std::string_literals;
#include <gtest/gtest.h>

#include <cstring>

#include "base/DiscInfo.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"

using namespace sv;

namespace {
std::string Bytes(const std::uint8_t* p, std::size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }
}  // namespace

TEST(ProgramSettings, DefaultsLandAtTheirOffsets) {
    TProgramSettings s;
    s.ApplyDefaults("/data/sornaval/", "/home/u/Music/");
    const std::uint8_t* b = s.Data();
    EXPECT_EQ(sizeof(s), 1208u);
    EXPECT_EQ(Bytes(b, 15), "/home/u/Music/\0"s.substr(0, 15));
    EXPECT_EQ(b[261], 1);  // FileUseTrackName
    EXPECT_EQ(b[265], 1);
    EXPECT_EQ(b[266], 1);
    EXPECT_EQ(b[270], 1);   // OutputFormat MP3
    EXPECT_EQ(b[272], 30);  // ReadSpeed
    EXPECT_EQ(b[275], 1);   // UseLameEncoder
    EXPECT_EQ(LoadLE32(b + 412), 80u);
    EXPECT_EQ(LoadLE32(b + 416), 12u);  // 224 kbit/s
    EXPECT_EQ(LoadLE32(b + 420), 14u);
    EXPECT_EQ(LoadLE32(b + 424), 1u);   // joint stereo
    EXPECT_EQ(b[428], 0xFF);            // VBR method -1
    EXPECT_EQ(b[446], 1);               // LockTray
    EXPECT_EQ(LoadLE16(b + 448), 144);
    EXPECT_EQ(LoadLE16(b + 456), 150);
    EXPECT_EQ(b[458], 90);
    EXPECT_EQ(b[461], 98);
    for (int off : {462, 463, 466, 467, 468, 469}) {
        EXPECT_EQ(b[off], 1) << off;
    }
    EXPECT_EQ(b[465], 7);
    EXPECT_EQ(LoadLE32(b + 744), 0xD1EFFEu);
    EXPECT_EQ(Bytes(b + 866, 8), "Russian\0"s.substr(0, 8));
    EXPECT_EQ(s.LocalCddbDir(), "/data/sornaval/LocalCDDB/");
    EXPECT_EQ(s.CddbTimeoutMs(), 0);
}

TEST(ProgramSettings, FixupsGiveDefaultColoursVolumeAndFolder) {
    TProgramSettings s;
    s.SetWindowColor(0x123456);
    s.SetControlColor(0);
    s.ApplyLoadFixups("/prog/");
    EXPECT_EQ(s.WindowColor(), kDefaultWindowColor);
    EXPECT_EQ(s.ControlColor(), kDefaultControlColor);
    EXPECT_EQ(s.Volume(), 255);
    EXPECT_EQ(s.OutputDir(), "/prog/");

    TProgramSettings t;
    t.SetWindowColor(1);
    t.SetControlColor(2);
    t.SetVolume(7);
    t.SetOutputDir("/m/");
    t.ApplyLoadFixups("/prog/");
    EXPECT_EQ(t.WindowColor(), 1u);
    EXPECT_EQ(t.Volume(), 7);
    EXPECT_EQ(t.OutputDir(), "/m/");
}

TEST(ProgramSettings, ShortAndLongInputsAndReservedBytes) {
    TProgramSettings s;
    s.ApplyDefaults("/p/", "/m/");
    std::string shortFile(600, '\0');
    shortFile[0] = 'X';
    s.ReadFrom(shortFile);
    EXPECT_EQ(s.OutputDir(), "X");
    EXPECT_EQ(s.LanguageName(), "Russian");  // beyond 600 bytes: untouched

    std::string longFile(5000, '\x01');
    longFile[441] = '\x5A';   // reserved byte
    longFile[1205] = '\x77';  // reserved tail
    TProgramSettings t;
    t.ReadFrom(longFile);
    EXPECT_EQ(t.Data()[441], 0x5A);
    EXPECT_EQ(t.Data()[1207], 0x01);  // input beyond 1208 bytes ignored, the rest read
    EXPECT_EQ(t.Data()[1205], 0x77);
    // Setting every field leaves reserved bytes as they were.
    t.SetVolume(3);
    t.SetOggUseQuality(true);
    t.SetLocalCddbUnix(true);
    t.SetApeMono(true);
    EXPECT_EQ(t.Data()[441], 0x5A);
    EXPECT_EQ(t.Data()[861], 0x01);
    EXPECT_EQ(t.Data()[1147], 0x01);
}

TEST(ProgramSettings, TextFieldsNeverSpillIntoTheNextField) {
    TProgramSettings s;
    s.ApplyDefaults("/p/", "/m/");
    s.SetCddbServer(std::string(100, 'x'));  // 25-byte field, ProxyHost follows
    EXPECT_EQ(s.CddbServer(), std::string(24, 'x'));
    EXPECT_EQ(s.Data()[306], 0);
    EXPECT_EQ(s.ProxyHost(), "");
    s.SetAcmFileExt("mp3long");  // 6-byte field, AcmWriteWavHeader follows
    EXPECT_EQ(s.AcmFileExt(), "mp3lo");
    EXPECT_EQ(s.AcmWriteWavHeader(), false);
    s.SetLanguageName("Українська мова");  // 20 bytes, Cyrillic 2 bytes each
    EXPECT_EQ(s.LanguageName(), "Українськ");  // 18 bytes; a tenth letter would need 20
    s.SetOutputDir(std::string(300, 'd'));
    EXPECT_EQ(s.OutputDir().size(), 260u);
    EXPECT_EQ(s.FileUseTrackName(), true);
}

TEST(ProgramSettings, QualityPresetMappingBothWays) {
    const int items[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const std::int16_t presets[] = {-1, 2, 0, 1, 1000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(PresetFromQualityItem(items[i]), presets[i]);
        EXPECT_EQ(QualityItemFromPreset(presets[i]), items[i]);
    }
    EXPECT_EQ(PresetFromQualityItem(12), 2);
    EXPECT_EQ(PresetFromQualityItem(-5), 2);
    EXPECT_EQ(QualityItemFromPreset(3), 1);
}

TEST(DiscInfo, LayoutOffsetsAndTrackEntries) {
    static_assert(sizeof(DISC_INFO) == 14560);
    static_assert(sizeof(TRACK_INFO) == 144);
    DISC_INFO d;
    d.SetAlbum("Album");
    d.SetArtist("Artist");
    d.SetTrackCount(12);
    d.SetDiscId(0xB80B7F0D);
    d.SetDiscIdText("B80B7F0D");
    d.SetLbaBase(150);
    d.SetYear("1999");
    d.SetGenre("Rock");
    const std::uint8_t* b = d.Data();
    EXPECT_EQ(b[50], 'A');
    EXPECT_EQ(b[104], 12);
    EXPECT_EQ(LoadLE32(b + 108), 0xB80B7F0Du);
    EXPECT_EQ(Bytes(b + 14546, 9), "B80B7F0D\0"s.substr(0, 9));
    EXPECT_EQ(LoadLE16(b + 14556), 150);
    EXPECT_EQ(Bytes(b + 14516, 4), "1999");
    EXPECT_EQ(Bytes(b + 14526, 4), "Rock");

    auto t = d.Track(2);
    t.SetTitle("Third");
    t.SetStartMsf({1, 2, 3});
    t.SetStartLba(-150);
    t.SetSizeBytes(0xA1B2C3D4);
    t.SetDoneFlag(true);
    t.SetAudioFlag(true);
    t.SetEndMsf({4, 5, 6});
    const std::uint8_t* e = b + 116 + 2 * 144;
    EXPECT_EQ(Bytes(e, 5), "Third");
    EXPECT_EQ(e[100], 1);
    EXPECT_EQ(e[102], 3);
    EXPECT_EQ(LoadLE<std::int32_t>(e + 112), -150);
    EXPECT_EQ(LoadLE32(e + 116), 0xA1B2C3D4u);
    EXPECT_EQ(e[122], 1);
    EXPECT_EQ(e[123], 1);
    EXPECT_EQ(e[126], 6);
    EXPECT_EQ(d.TrackCopy(2).Title(), "Third");

    // Indexes outside the table stay inside the record.
    d.Track(500).SetTitle("clamped");
    EXPECT_EQ(d.Track(99).Title(), "clamped");
    EXPECT_EQ(d.Year(), "1999");
}

TEST(TagRecord, FieldsAndBlocks) {
    static_assert(sizeof(TagRecord) == 1489);
    TagRecord r;
    r.SetPresent(true);
    r.SetTitle("T");
    r.SetTrackNumber("12345");  // 4-byte field holds three digits
    r.SetYear("2001");
    EXPECT_EQ(r.Data()[1], 'T');
    EXPECT_EQ(r.TrackNumber(), "123");
    EXPECT_EQ(r.Data()[1479], '2');

    TagBlocks blocks;
    blocks.EnsureCount(3);
    EXPECT_EQ(blocks.Raw().size(), 3u * 1489u);
    blocks.Block(1).SetTitle("kept");
    blocks.Block(4).SetTitle("grown");  // on demand, earlier blocks kept
    EXPECT_EQ(blocks.Count(), 5);
    EXPECT_EQ(blocks.Block(1).Title(), "kept");
    blocks.EnsureCount(2);  // a different count starts over, zeroed
    EXPECT_EQ(blocks.Block(1).Title(), "");
}
