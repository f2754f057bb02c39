#include "writer/WriteSettings.h"

#include <filesystem>
#include <fstream>

#include "base/FileIo.h"
#include "base/Interaction.h"
#include "base/Language.h"

namespace sv {

TWriteSettings TWriteSettings::Defaults() {
    TWriteSettings s;
    s.SetWriteSpeed(255);
    s.SetSectorsPerWrite(10);
    s.SetDecodeWhileWriting(true);
    return s;
}

TWriteSettings LoadWriteSettings(const std::string& settingsFolder) {
    TWriteSettings settings = TWriteSettings::Defaults();
    std::ifstream in(settingsFolder + kWriteSettingsFile, std::ios::binary);
    if (in.is_open()) in.read(reinterpret_cast<char*>(settings.Data()), TWriteSettings::kSize);
    std::ifstream extra(settingsFolder + kWriteSettingsExtraFile);
    for (std::string line; std::getline(extra, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "cdtext=0") settings.writeCdText = false;
        if (line == "cdtext=1") settings.writeCdText = true;
    }
    return settings;
}

bool SaveWriteSettings(const std::string& settingsFolder, const TWriteSettings& settings) {
    std::error_code ec;
    std::filesystem::create_directories(settingsFolder, ec);
    return ReplaceFile(settingsFolder + kWriteSettingsFile,
                       std::string_view(reinterpret_cast<const char*>(settings.Data()), TWriteSettings::kSize)) &&
           ReplaceFile(settingsFolder + kWriteSettingsExtraFile, settings.writeCdText ? "cdtext=1\n" : "cdtext=0\n");
}

bool SaveWriteSettingsOrWarn(const std::string& settingsFolder, const TWriteSettings& settings,
                             IUserDialogs& dialogs) {
    if (SaveWriteSettings(settingsFolder, settings)) return true;
    dialogs.ShowMessage(LangMessage(85), MessageIcon::Warning);
    return false;
}

namespace {
constexpr std::uint8_t kSpeeds[] = {255, 32, 16, 8, 4, 1};
constexpr int kSpeedCount = sizeof kSpeeds;
constexpr int kPriorityCount = 3;
}  // namespace

const std::vector<std::string>& WriteSpeedItems() {
    static const std::vector<std::string> items = {"Max", "32x", "16x", "8x", "4x", "1x"};
    return items;
}

int WriteSpeedItem(std::uint8_t speed) {
    for (int i = 0; i < kSpeedCount; ++i)
        if (kSpeeds[i] == speed) return i;
    return 0;  // 0, 255 and anything unknown: "Max"
}

std::uint8_t WriteSpeedOfItem(int item) { return item >= 0 && item < kSpeedCount ? kSpeeds[item] : kSpeeds[0]; }

const std::vector<std::string>& PriorityItems() {
    static const std::vector<std::string> items = {"Normal", "IDLE", "Max"};
    return items;
}

int PriorityItem(std::uint8_t priority) { return priority < kPriorityCount ? priority : 0; }

std::uint8_t PriorityOfItem(int item) {
    return static_cast<std::uint8_t>(item >= 0 && item < kPriorityCount ? item : 0);
}

std::uint16_t SectorsPerWriteFromText(std::string_view text) {
    int value = 0;
    if (!ParseDecimal(text, value, kSectorsPerWriteMaxChars)) return kSectorsPerWriteFallback;
    return static_cast<std::uint16_t>(value);
}

WriteSettingsDialogValues DialogValuesOf(const TWriteSettings& s) {
    WriteSettingsDialogValues v;
    v.speedItem = WriteSpeedItem(s.WriteSpeed());
    v.priorityItem = PriorityItem(s.ThreadPriority());
    v.sectorsText = std::to_string(s.SectorsPerWrite());
    v.askBeforeDiscOperations = s.AskBeforeDiscOperations();
    v.decodeWhileWriting = s.DecodeWhileWriting();
    v.playSoundAtEnd = s.PlaySoundAtEnd();
    v.ejectAfterBurning = s.EjectAfterBurning();
    v.rememberLastProject = s.RememberLastProject();
    v.writeImageCue = s.WriteImageCue();
    v.writeCdText = s.writeCdText;
    v.soundFile = s.SoundFile();
    return v;
}

bool StoreDialogValues(const WriteSettingsDialogValues& v, TWriteSettings& s) {
    s.SetWriteSpeed(WriteSpeedOfItem(v.speedItem));
    s.SetThreadPriority(PriorityOfItem(v.priorityItem));
    s.SetSectorsPerWrite(SectorsPerWriteFromText(v.sectorsText));
    s.SetAskBeforeDiscOperations(v.askBeforeDiscOperations);
    s.SetDecodeWhileWriting(v.decodeWhileWriting);
    s.SetPlaySoundAtEnd(v.playSoundAtEnd);
    s.SetEjectAfterBurning(v.ejectAfterBurning);
    s.SetRememberLastProject(v.rememberLastProject);
    s.SetWriteImageCue(v.writeImageCue);
    s.writeCdText = v.writeCdText;
    if (v.soundFile.size() >= TWriteSettings::kSoundFileSize) return false;
    s.SetSoundFile(v.soundFile);
    return true;
}

}  // namespace sv
