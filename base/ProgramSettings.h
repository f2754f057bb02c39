// TProgramSettings: the program's 1208-byte settings record.
//
// The record is stored on disk as its raw bytes ("set.dat" and the profile
// files), so its layout is a file format: little-endian integers, one-byte
// booleans, fixed-width NUL-terminated texts. Reserved bytes are never
// interpreted and are written back exactly as they were read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/Record.h"

namespace sv {

// Output format codes (OutputFormat during a grab or a conversion).
enum OutputFormatCode : std::uint8_t {
    kFormatWav = 0,
    kFormatMp3 = 1,
    kFormatWma = 2,
    kFormatOgg = 3,
    kFormatApe = 4,
    kFormatAac = 5,
    kFormatAcm = 6,
    kFormatFlac = 7,  // FLAC (lossless)
};

class TProgramSettings : public OwnedBytes<1208> {
public:
    SV_TEXT(OutputDir, 0, 261)
    SV_BOOL(FileUseTrackName, 261)
    SV_BOOL(FileUseAlbumName, 262)
    SV_BOOL(FileUseArtistName, 263)
    SV_BOOL(FileUseTrackNum, 264)
    SV_BOOL(DirPerAlbum, 265)
    SV_BOOL(DirPerArtist, 266)
    SV_BOOL(EncodeFlag, 267)
    SV_INT(std::uint16_t, Mp3AcmFormatIndex, 268)
    SV_INT(std::uint8_t, OutputFormat, 270)
    SV_INT(std::uint8_t, CurrentDrive, 271)
    SV_INT(std::uint8_t, ReadSpeed, 272)
    SV_BOOL(AudioCDAssociation, 273)
    SV_BOOL(EjectAfterCopy, 274)
    SV_BOOL(UseLameEncoder, 275)
    SV_BOOL(ShutdownAfterCopy, 276)
    SV_INT(std::uint8_t, SectorsPerRead, 277)
    SV_BOOL(UseSPTI, 278)
    SV_BOOL(ShowGrid, 279)
    SV_BOOL(MaxPriority, 280)
    SV_BOOL(UseProxy, 281)
    SV_TEXT(CddbServer, 282, 25)
    SV_TEXT(ProxyHost, 307, 25)
    SV_TEXT(CddbPath, 332, 30)
    SV_TEXT(ProxyUser, 362, 25)
    SV_TEXT(ProxyPassword, 387, 20)
    SV_INT(std::uint8_t, CddbServerIndex, 407)
    SV_INT(std::int32_t, CddbTimeoutMs, 408)
    SV_INT(std::int32_t, CddbPort, 412)
    // LameConfig, 24 bytes at 416.
    static constexpr std::size_t kLameConfig = 416;
    static constexpr std::size_t kLameConfigWidth = 24;
    SV_INT(std::int32_t, LameBitrateIndex, 416)
    SV_INT(std::int32_t, LameMaxBitrateIndex, 420)
    SV_INT(std::int32_t, LameMode, 424)
    SV_INT(std::int8_t, LameVbrMethod, 428)
    SV_INT(std::int32_t, LameVbrQuality, 432)
    SV_BOOL(LameVbrEnabled, 436)
    SV_INT(std::int16_t, LamePreset, 438)
    SV_INT(std::uint8_t, Volume, 440)
    SV_INT(std::uint8_t, SettingsPage, 442)
    SV_BOOL(Normalize, 443)
    SV_BOOL(SetDriveVolume, 444)
    SV_BOOL(DigitalPlayback, 445)
    SV_BOOL(LockTray, 446)
    SV_BOOL(DisableReadCache, 447)
    static constexpr std::size_t kColumnWidths = 448;
    static constexpr int kColumnCount = 5;
    std::int16_t ColumnWidth(int i) const { return LoadLE<std::int16_t>(Data() + kColumnWidths + 2 * Index(i, kColumnCount)); }
    void SetColumnWidth(int i, std::int16_t w) { StoreLE<std::int16_t>(Data() + kColumnWidths + 2 * Index(i, kColumnCount), w); }
    SV_INT(std::uint8_t, NormLowThreshold, 458)
    SV_INT(std::uint8_t, NormHighThreshold, 459)
    SV_INT(std::uint8_t, NormLowTarget, 460)
    SV_INT(std::uint8_t, NormHighTarget, 461)
    SV_BOOL(ShowWaveButton, 462)
    SV_BOOL(ShowWmaButton, 463)
    SV_BOOL(WmaUseDRM, 464)
    SV_INT(std::uint8_t, WmaBitrateIndex, 465)
    SV_BOOL(ShowBurnButton, 466)
    SV_BOOL(ShowConvertButton, 467)
    SV_BOOL(ShowFreeDBButton, 468)
    SV_BOOL(ShowPlayerButton, 469)
    SV_TEXT(ConvertOutputDir, 470, 261)
    SV_INT(std::uint8_t, ConvertDirection, 731)
    SV_BOOL(ConvertKeepSourceDir, 732)
    SV_BOOL(ConvertDeleteSource, 733)
    SV_INT(std::uint8_t, ConvertBitrateIndex, 734)
    SV_BOOL(SizeDisplayAlt, 735)
    SV_INT(std::uint32_t, WindowColor, 736)
    SV_INT(std::uint32_t, ControlColor, 740)
    SV_INT(std::uint32_t, PlayBarColor, 744)
    static constexpr std::size_t kReadCommand = 748;
    static constexpr int kReadCommandCount = 64;
    std::uint8_t ReadCommand(int drive) const { return Data()[kReadCommand + Index(drive, kReadCommandCount)]; }
    void SetReadCommand(int drive, std::uint8_t v) { Data()[kReadCommand + Index(drive, kReadCommandCount)] = v; }
    SV_BOOL(UseFormatString, 812)
    SV_TEXT(FormatString, 813, 30)
    SV_BOOL(OnTheFlyEncoding, 843)
    SV_INT(std::int32_t, OggMinBitrateIndex, 844)
    SV_INT(std::int32_t, OggMaxBitrateIndex, 848)
    SV_INT(std::int32_t, OggNomBitrateIndex, 852)
    SV_INT(std::int32_t, OggQuality, 856)
    SV_BOOL(OggUseQuality, 860)
    SV_BOOL(Mp3AsOgg, 864)
    SV_INT(std::uint8_t, ExtractMethod, 865)
    SV_TEXT(LanguageName, 866, 20)
    SV_TEXT(LocalCddbDir, 886, 260)
    SV_BOOL(LocalCddbUnix, 1146)
    SV_BOOL(LocalCddbOnly, 1149)
    SV_BOOL(SpinUpBeforeCopy, 1150)
    SV_INT(std::int32_t, ExtEncoder, 1152)
    SV_INT(std::int32_t, ApeLevel, 1156)
    SV_BOOL(ApeMono, 1160)
    SV_INT(std::int32_t, FaacBitrateIndex, 1164)
    SV_INT(std::int32_t, FaacUseTns, 1168)
    SV_INT(std::int32_t, FaacAllowMidSide, 1172)
    SV_INT(std::int32_t, FaacObjectType, 1176)
    SV_INT(std::int32_t, FaacMpeg4, 1180)
    SV_INT(std::int32_t, Mp3AcmCodecIndex, 1184)
    SV_TEXT(AcmFileExt, 1188, 6)
    SV_BOOL(AcmWriteWavHeader, 1194)
    SV_BOOL(AcmWriteTag, 1195)
    SV_INT(std::int32_t, AcmCodecIndex, 1196)
    SV_INT(std::int32_t, AcmFormatIndex, 1200)
    SV_BOOL(RipCueSheet, 1204)

    // Sectors per read command with the stored 0 meaning 26.
    int EffectiveSectorsPerRead() const { return SectorsPerRead() == 0 ? 26 : SectorsPerRead(); }

    // Fills the record with the defaults of a fresh installation. The record
    // is zeroed first. `programFolder` and `musicFolder` end in '/'.
    void ApplyDefaults(std::string_view programFolder, std::string_view musicFolder);

    // The colour and volume fix-ups that every load applies (colours 0 give
    // the default colours, volume 0 gives 255, an empty OutputDir the program
    // folder).
    void ApplyLoadFixups(std::string_view programFolder);

    // Reads `bytes` over the record as far as they go; a shorter input leaves
    // the rest of the record as it is, a longer one is cut at 1208 bytes.
    void ReadFrom(std::string_view bytes);

    // The record of a settings file's bytes, short or long: read over a
    // zeroed record with read speed 30 and file-name-from-title on, as far
    // as they go, then the load fix-ups.
    static TProgramSettings FromFileBytes(std::string_view bytes, std::string_view programFolder);

private:
    static int Index(int i, int count) { return i < 0 ? 0 : (i >= count ? count - 1 : i); }
};

inline constexpr std::uint32_t kDefaultWindowColor = 0xD1EFF1;
inline constexpr std::uint32_t kDefaultControlColor = 0xD1EFFE;

// The item of the hidden LAME quality box that a stored preset shows, and back.
std::int16_t PresetFromQualityItem(int item);
int QualityItemFromPreset(std::int16_t preset);

}  // namespace sv
