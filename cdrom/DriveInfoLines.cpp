#include "cdrom/DriveInfoLines.h"

#include "base/Language.h"

namespace sv {

std::vector<std::string> DriveInfoLines(std::string_view driveName, std::span<const std::uint8_t, 26> caps,
                                        std::string_view languageName) {
    const bool russian = languageName == "Russian";
    auto flag = [&](int message, int byte, int bit) {
        const bool set = (caps[static_cast<std::size_t>(byte)] >> bit) & 1;
        return LangMessage(message) + " " + (set ? (russian ? "Да" : "1") : (russian ? "Нет" : "0"));
    };
    std::vector<std::string> lines;
    lines.push_back(LangMessage(55) + " " + std::string(driveName));
    lines.emplace_back();
    lines.push_back(flag(39, 13, 0));
    lines.push_back(flag(40, 10, 0));
    lines.push_back(flag(41, 10, 1));
    lines.push_back(flag(42, 12, 6));
    lines.push_back(flag(43, 10, 3));
    lines.push_back(flag(44, 10, 4));
    lines.push_back(flag(45, 10, 5));
    lines.emplace_back();
    lines.push_back(flag(46, 11, 0));
    lines.push_back(flag(47, 11, 1));
    lines.push_back(flag(48, 11, 4));
    lines.push_back(flag(49, 11, 5));
    lines.emplace_back();
    lines.push_back(flag(50, 11, 2));
    lines.push_back(flag(51, 12, 0));
    lines.push_back(flag(52, 14, 0));
    lines.push_back(flag(53, 14, 3));
    lines.emplace_back();
    const int bufferKb = (caps[20] << 8) | caps[21];
    lines.push_back(LangMessage(54) + "\t" + std::to_string(bufferKb) + " Kb");
    return lines;
}

std::string DriveInfoText(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\n";
        text += lines[i];
    }
    return text;
}

}  // namespace sv
