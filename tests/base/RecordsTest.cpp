#include <string>
using namespace std::string_literals;
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

namespace {

// A value whose little-endian bytes are all different from each other and
// from the fill byte, made from the field's offset.
std::uint64_t PatternValue(std::size_t offset, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= static_cast<std::uint64_t>((offset + i) % 0x70 + 1) << (8 * i);
    return v;
}
template <class T>
T Pattern(std::size_t offset) { return static_cast<T>(PatternValue(offset, sizeof(T))); }
std::vector<std::uint8_t> LE(std::size_t offset, std::size_t width) {
    std::vector<std::uint8_t> b;
    for (std::size_t i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>((offset + i) % 0x70 + 1));
    return b;
}
std::vector<std::uint8_t> TextBytes(std::size_t offset, std::size_t width) {
    std::vector<std::uint8_t> b(width, 0);
    const std::string text = "t" + std::to_string(offset);
    std::copy(text.begin(), text.end(), b.begin());
    return b;
}

struct FieldCase {
    const char* name;
    std::size_t offset, width;
    void (*set)(TProgramSettings&);
    std::vector<std::uint8_t> expected;
};

#define INT(Name, Type, Off, Width) \
    {#Name, Off, Width, [](TProgramSettings& s) { s.Set##Name(Pattern<Type>(Off)); }, LE(Off, Width)}
#define BOOL(Name, Off) {#Name, Off, 1, [](TProgramSettings& s) { s.Set##Name(true); }, {1}}
#define TEXT(Name, Off, Width) \
    {#Name, Off, Width, [](TProgramSettings& s) { s.Set##Name("t" + std::to_string(Off)); }, TextBytes(Off, Width)}

}  // namespace

// Every field of the settings file, at the offset and width of its layout
// table (written out here, not taken from the accessors): each setter writes
// exactly its own bytes and not one byte beside them.
TEST(ProgramSettings, EveryFieldWritesItsOwnBytesAndNothingElse) {
    const std::vector<FieldCase> fields = {
        TEXT(OutputDir, 0, 261),
        BOOL(FileUseTrackName, 261),
        BOOL(FileUseAlbumName, 262),
        BOOL(FileUseArtistName, 263),
        BOOL(FileUseTrackNum, 264),
        BOOL(DirPerAlbum, 265),
        BOOL(DirPerArtist, 266),
        BOOL(EncodeFlag, 267),
        INT(Mp3AcmFormatIndex, std::uint16_t, 268, 2),
        INT(OutputFormat, std::uint8_t, 270, 1),
        INT(CurrentDrive, std::uint8_t, 271, 1),
        INT(ReadSpeed, std::uint8_t, 272, 1),
        BOOL(AudioCDAssociation, 273),
        BOOL(EjectAfterCopy, 274),
        BOOL(UseLameEncoder, 275),
        BOOL(ShutdownAfterCopy, 276),
        INT(SectorsPerRead, std::uint8_t, 277, 1),
        BOOL(UseSPTI, 278),
        BOOL(ShowGrid, 279),
        BOOL(MaxPriority, 280),
        BOOL(UseProxy, 281),
        TEXT(CddbServer, 282, 25),
        TEXT(ProxyHost, 307, 25),
        TEXT(CddbPath, 332, 30),
        TEXT(ProxyUser, 362, 25),
        TEXT(ProxyPassword, 387, 20),
        INT(CddbServerIndex, std::uint8_t, 407, 1),
        INT(CddbTimeoutMs, std::int32_t, 408, 4),
        INT(CddbPort, std::int32_t, 412, 4),
        INT(Volume, std::uint8_t, 440, 1),
        INT(SettingsPage, std::uint8_t, 442, 1),
        BOOL(Normalize, 443),
        BOOL(SetDriveVolume, 444),
        BOOL(DigitalPlayback, 445),
        BOOL(LockTray, 446),
        BOOL(DisableReadCache, 447),
        {"ColumnWidths[4]", 456, 2, [](TProgramSettings& s) { s.SetColumnWidth(4, Pattern<std::int16_t>(456)); }, LE(456, 2)},
        {"ColumnWidths[0]", 448, 2, [](TProgramSettings& s) { s.SetColumnWidth(0, Pattern<std::int16_t>(448)); }, LE(448, 2)},
        INT(NormLowThreshold, std::uint8_t, 458, 1),
        INT(NormHighThreshold, std::uint8_t, 459, 1),
        INT(NormLowTarget, std::uint8_t, 460, 1),
        INT(NormHighTarget, std::uint8_t, 461, 1),
        BOOL(ShowWaveButton, 462),
        BOOL(ShowWmaButton, 463),
        BOOL(WmaUseDRM, 464),
        INT(WmaBitrateIndex, std::uint8_t, 465, 1),
        BOOL(ShowBurnButton, 466),
        BOOL(ShowConvertButton, 467),
        BOOL(ShowFreeDBButton, 468),
        BOOL(ShowPlayerButton, 469),
        TEXT(ConvertOutputDir, 470, 261),
        INT(ConvertDirection, std::uint8_t, 731, 1),
        BOOL(ConvertKeepSourceDir, 732),
        BOOL(ConvertDeleteSource, 733),
        INT(ConvertBitrateIndex, std::uint8_t, 734, 1),
        BOOL(SizeDisplayAlt, 735),
        INT(WindowColor, std::uint32_t, 736, 4),
        INT(ControlColor, std::uint32_t, 740, 4),
        INT(PlayBarColor, std::uint32_t, 744, 4),
        {"ReadCommand[0]", 748, 1, [](TProgramSettings& s) { s.SetReadCommand(0, Pattern<std::uint8_t>(748)); }, LE(748, 1)},
        {"ReadCommand[63]", 811, 1, [](TProgramSettings& s) { s.SetReadCommand(63, Pattern<std::uint8_t>(811)); }, LE(811, 1)},
        BOOL(UseFormatString, 812),
        TEXT(FormatString, 813, 30),
        BOOL(OnTheFlyEncoding, 843),
        INT(OggMinBitrateIndex, std::int32_t, 844, 4),
        INT(OggMaxBitrateIndex, std::int32_t, 848, 4),
        INT(OggNomBitrateIndex, std::int32_t, 852, 4),
        INT(OggQuality, std::int32_t, 856, 4),
        BOOL(OggUseQuality, 860),
        BOOL(Mp3AsOgg, 864),
        INT(ExtractMethod, std::uint8_t, 865, 1),
        TEXT(LanguageName, 866, 20),
        TEXT(LocalCddbDir, 886, 260),
        BOOL(LocalCddbUnix, 1146),
        BOOL(LocalCddbOnly, 1149),
        BOOL(SpinUpBeforeCopy, 1150),
        INT(ExtEncoder, std::int32_t, 1152, 4),
        INT(ApeLevel, std::int32_t, 1156, 4),
        BOOL(ApeMono, 1160),
        INT(FaacBitrateIndex, std::int32_t, 1164, 4),
        INT(FaacUseTns, std::int32_t, 1168, 4),
        INT(FaacAllowMidSide, std::int32_t, 1172, 4),
        INT(FaacObjectType, std::int32_t, 1176, 4),
        INT(FaacMpeg4, std::int32_t, 1180, 4),
        INT(Mp3AcmCodecIndex, std::int32_t, 1184, 4),
        TEXT(AcmFileExt, 1188, 6),
        BOOL(AcmWriteWavHeader, 1194),
        BOOL(AcmWriteTag, 1195),
        INT(AcmCodecIndex, std::int32_t, 1196, 4),
        INT(AcmFormatIndex, std::int32_t, 1200, 4),
        BOOL(RipCueSheet, 1204),
        INT(LameBitrateIndex, std::int32_t, 416, 4),
        INT(LameMaxBitrateIndex, std::int32_t, 420, 4),
        INT(LameMode, std::int32_t, 424, 4),
        INT(LameVbrMethod, std::int8_t, 428, 1),
        INT(LameVbrQuality, std::int32_t, 432, 4),
        BOOL(LameVbrEnabled, 436),
        INT(LamePreset, std::int16_t, 438, 2),
    };
    EXPECT_EQ(fields.size(), 98u);
    for (const FieldCase& f : fields) {
        TProgramSettings s;
        std::fill(s.Data(), s.Data() + TProgramSettings::kSize, 0xEE);
        f.set(s);
        for (std::size_t i = 0; i < TProgramSettings::kSize; ++i) {
            const bool inside = i >= f.offset && i < f.offset + f.width;
            const std::uint8_t want = inside ? f.expected[i - f.offset] : 0xEE;
            if (s.Data()[i] != want) {
                ADD_FAILURE() << f.name << ": byte " << i << " is " << int(s.Data()[i]) << ", expected " << int(want);
                break;
            }
        }
    }
}

#undef INT
#undef BOOL
#undef TEXT

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
