#include "app/SettingsDialogLogic.h"

#include <charconv>
#include <filesystem>

#include "base/Language.h"
#include "base/Paths.h"
#include "base/Text.h"

namespace sv {

namespace {

std::optional<long> ParseNumber(const std::string& text) {
    const std::string t = Trim(text);
    long v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    return v;
}

}  // namespace

std::vector<std::string> ReadSpeedItems() {
    std::vector<std::string> items;
    for (int n = 1; n <= 50; ++n)
        items.push_back(std::to_string(n) + "x ( " + std::to_string(n * 176400 / 1000) + " Kbit/s )");
    return items;
}

int Mp3BitrateKbps(int index) {
    static const int kRates[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    return index >= 1 && index <= 14 ? kRates[index] : 0;
}

std::vector<std::string> Mp3BitrateItems() {
    std::vector<std::string> items;
    for (int i = 14; i >= 1; --i) items.push_back(std::to_string(Mp3BitrateKbps(i)) + "kBit/s");
    return items;
}

const std::vector<int>& OggBitrates() {
    static const std::vector<int> v = {350, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32};
    return v;
}
const std::vector<int>& WmaBitrates() {
    static const std::vector<int> v = {32, 40, 48, 64, 80, 96, 128, 160, 192};
    return v;
}
const std::vector<int>& AacBitrates() {
    static const std::vector<int> v = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    return v;
}

std::vector<std::string> AacBitrateItems() {
    std::vector<std::string> items;
    for (int r : AacBitrates()) items.push_back(std::to_string(r) + " kB/s");
    return items;
}

const std::vector<std::string>& ReadCommandNames() {
    static const std::vector<std::string> v = {"Standart MMC1 (IDE Device)", "READ NEC", "READ C1", "READ C2",
                                               "READ C3", "READ SONY", "READ 10", "READ MMC2", "READ MMC3"};
    return v;
}

std::string SectorsShown(std::uint8_t stored) { return std::to_string(stored == 0 ? 26 : stored); }

std::uint8_t SectorsFromText(const std::string& text) {
    const auto v = ParseNumber(text);
    if (!v) return 26;
    if (*v < 1) return 1;
    if (*v > 255) return 255;
    return static_cast<std::uint8_t>(*v);
}

std::int32_t TimeoutMsFromText(const std::string& text) {
    const auto v = ParseNumber(text);
    if (!v || *v < 0 || *v > 3600) return 20000;
    return static_cast<std::int32_t>(*v * 1000);
}

std::int32_t PortFromText(const std::string& text) {
    const auto v = ParseNumber(text);
    if (!v || *v < 1 || *v > 65535) return 80;
    return static_cast<std::int32_t>(*v);
}

bool IsValidFormatString(const std::string& format) {
    if (format.empty()) return false;
    const char last = format.back();
    if (last == '\\' || last == '/' || last == '%') return false;
    return format.find('%') < format.size() - 1;
}

std::string ConfirmOutputFolder(const std::string& folder, IUserDialogs& dialogs) {
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        if (dialogs.AskYesNo(FormatMessage(LangMessage(34), folder), MessageIcon::Question)) {
            std::filesystem::create_directories(folder, ec);
            if (ec) dialogs.ShowMessage(folder + ": " + ec.message(), MessageIcon::Error);
        }
    }
    return WithTrailingSlash(folder);
}

std::uint8_t ValidReadCommand(std::uint8_t stored) {
    return stored < ReadCommandNames().size() ? stored : 0;
}

int AudioTabForFormat(int outputFormat) {
    switch (outputFormat) {
    case kFormatOgg: return 1;
    case kFormatWma: return 2;
    case kFormatApe:
    case kFormatAac:
    case kFormatAcm: return 3;
    default: return 0;  // MP3, and WAV (which has no tab)
    }
}

int FormatForAudioTab(int tab, int extEncoder, int storedFormat) {
    switch (tab) {
    case 0: return kFormatMp3;
    case 1: return kFormatOgg;
    case 2: return kFormatWma;
    case 3: return extEncoder == 0 ? kFormatApe : extEncoder == 1 ? kFormatAac : kFormatAcm;
    default: return storedFormat;
    }
}

}  // namespace sv
