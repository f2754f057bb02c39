#include "base/ProgramSettings.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace sv {
namespace {

struct PresetItem {
    int item;
    std::int16_t preset;
};
constexpr std::array<PresetItem, 12> kPresets = {{
    {0, -1}, {1, 2}, {2, 0}, {3, 1}, {4, 1000}, {5, 4000},
    {6, 5000}, {7, 6000}, {8, 7000}, {9, 8000}, {10, 9000}, {11, 10000},
}};

}  // namespace

void TProgramSettings::ApplyDefaults(std::string_view programFolder, std::string_view musicFolder) {
    Clear();
    SetReadSpeed(30);
    SetFileUseTrackName(true);
    SetOutputDir(musicFolder);
    SetEncodeFlag(false);
    SetUseLameEncoder(true);
    SetDirPerArtist(true);
    SetDirPerAlbum(true);
    SetOutputFormat(kFormatMp3);
    SetLameBitrateIndex(12);
    SetLameMaxBitrateIndex(14);
    SetLameMode(1);
    SetLameVbrMethod(-1);
    SetLameVbrQuality(0);
    SetLameVbrEnabled(false);
    SetLamePreset(0);
    SetCddbPort(80);
    SetSetDriveVolume(false);
    SetShutdownAfterCopy(false);
    SetLockTray(true);
    constexpr std::array<std::int16_t, 5> widths = {144, 90, 80, 80, 150};
    for (int i = 0; i < kColumnCount; ++i) SetColumnWidth(i, widths[static_cast<std::size_t>(i)]);
    SetMp3AcmFormatIndex(0);
    SetWmaBitrateIndex(7);
    SetPlayBarColor(kDefaultControlColor);
    SetShowWaveButton(true);
    SetShowWmaButton(true);
    SetShowBurnButton(true);
    SetShowConvertButton(true);
    SetShowFreeDBButton(true);
    SetShowPlayerButton(true);
    SetNormLowThreshold(90);
    SetNormHighThreshold(98);
    SetNormLowTarget(90);
    SetNormHighTarget(98);
    SetLanguageName("Russian");
    SetLocalCddbDir(std::string(programFolder) + "LocalCDDB/");
}

void TProgramSettings::ApplyLoadFixups(std::string_view programFolder) {
    if (ControlColor() == 0 || WindowColor() == 0) {
        SetControlColor(kDefaultControlColor);
        SetWindowColor(kDefaultWindowColor);
    }
    if (OutputDir().empty()) SetOutputDir(programFolder);
    if (Volume() == 0) SetVolume(255);
}

void TProgramSettings::ReadFrom(std::string_view bytes) {
    const std::size_t n = std::min(bytes.size(), kSize);
    std::memcpy(Data(), bytes.data(), n);
}

TProgramSettings TProgramSettings::FromFileBytes(std::string_view bytes, std::string_view programFolder) {
    TProgramSettings settings;
    settings.SetReadSpeed(30);
    settings.SetFileUseTrackName(true);
    settings.ReadFrom(bytes);
    settings.ApplyLoadFixups(programFolder);
    return settings;
}

std::int16_t PresetFromQualityItem(int item) {
    for (const auto& p : kPresets)
        if (p.item == item) return p.preset;
    return 2;
}

int QualityItemFromPreset(std::int16_t preset) {
    for (const auto& p : kPresets)
        if (p.preset == preset) return p.item;
    return 1;
}

}  // namespace sv
