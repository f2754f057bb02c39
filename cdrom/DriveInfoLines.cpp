#include "cdrom/DriveInfoLines.h"

#include <algorithm>

#include "base/Language.h"

namespace sv {

namespace {

// A label of the language file without the padding and colon it may carry.
std::string Label(int message) {
    std::string text = LangMessage(message);
    while (!text.empty() && (text.back() == ' ' || text.back() == ':' || text.back() == '\t')) text.pop_back();
    return text;
}

// Characters (not bytes) of UTF-8 text.
std::size_t Width(std::string_view text) {
    std::size_t n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

std::vector<std::string> DriveInfoLines(std::string_view driveName, std::span<const std::uint8_t, 26> caps,
                                        std::string_view yes, std::string_view no) {
    struct Flag {
        int message, byte, bit;
    };
    // Groups of capabilities, an empty line between groups.
    const std::vector<std::vector<Flag>> groups = {
        {{39, 13, 0}, {40, 10, 0}, {41, 10, 1}, {42, 12, 6}, {43, 10, 3}, {44, 10, 4}, {45, 10, 5}},
        {{46, 11, 0}, {47, 11, 1}, {48, 11, 4}, {49, 11, 5}},
        {{50, 11, 2}, {51, 12, 0}, {52, 14, 0}, {53, 14, 3}},
    };
    std::size_t width = Width(Label(54));
    for (const auto& group : groups)
        for (const Flag& f : group) width = std::max(width, Width(Label(f.message)));
    auto line = [&](int message, std::string_view value) {
        std::string label = Label(message);
        label.append(width - Width(label), ' ');
        return label + ": " + std::string(value);
    };
    std::vector<std::string> lines;
    lines.push_back(Label(55) + ": " + std::string(driveName));
    for (const auto& group : groups) {
        lines.emplace_back();
        for (const Flag& f : group) {
            const bool set = (caps[static_cast<std::size_t>(f.byte)] >> f.bit) & 1;
            lines.push_back(line(f.message, set ? yes : no));
        }
    }
    lines.emplace_back();
    const int bufferKb = (caps[20] << 8) | caps[21];
    lines.push_back(line(54, std::to_string(bufferKb) + " Kb"));
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
