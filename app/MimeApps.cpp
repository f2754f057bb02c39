#include "app/MimeApps.h"

#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "base/Text.h"

namespace sv {

namespace {

constexpr const char* kGroup = "[Default Applications]";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

}  // namespace

std::string DefaultApplicationIn(const std::string& text, const std::string& key) {
    bool inGroup = false;
    for (const auto& raw : Lines(text)) {
        const std::string line = Trim(raw);
        if (!line.empty() && line[0] == '[') {
            inGroup = line == kGroup;
            continue;
        }
        if (inGroup && StartsWith(line, key + "=")) return Trim(line.substr(key.size() + 1));
    }
    return {};
}

std::string WithDefaultApplication(const std::string& text, const std::string& key, const std::string& value) {
    std::vector<std::string> lines = Lines(text);
    std::vector<std::string> out;
    bool inGroup = false, sawGroup = false, written = false;
    auto writeKey = [&] {
        if (!written && !value.empty()) out.push_back(key + "=" + value);
        written = true;
    };
    for (const auto& raw : lines) {
        const std::string line = Trim(raw);
        if (!line.empty() && line[0] == '[') {
            if (inGroup) writeKey();
            inGroup = line == kGroup;
            sawGroup = sawGroup || inGroup;
            out.push_back(raw);
            continue;
        }
        if (inGroup && StartsWith(line, key + "=")) {
            writeKey();
            continue;
        }
        out.push_back(raw);
    }
    if (inGroup) writeKey();
    if (!sawGroup && !value.empty()) {
        if (!out.empty() && !out.back().empty()) out.push_back("");
        out.push_back(kGroup);
        out.push_back(key + "=" + value);
    }
    std::string result;
    for (const auto& l : out) result += l + "\n";
    return result;
}

std::string UserMimeAppsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() + "/mimeapps.list";
}

bool ApplyAudioCdAssociation(bool on, const std::string& mimeAppsPath, std::string& lastPlayer) {
    std::string text;
    {
        std::ifstream in(mimeAppsPath, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string current = DefaultApplicationIn(text, kAudioCdMimeType);
    std::string wanted;
    if (on) {
        if (current == kDesktopFileName) return true;
        lastPlayer = current;
        wanted = kDesktopFileName;
    } else {
        if (current != kDesktopFileName) return true;  // somebody else's choice: leave it
        wanted = lastPlayer;
        lastPlayer.clear();
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(mimeAppsPath).parent_path(), ec);
    const std::string temp = mimeAppsPath + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        const std::string updated = WithDefaultApplication(text, kAudioCdMimeType, wanted);
        out.write(updated.data(), static_cast<std::streamsize>(updated.size()));
        if (!out.good()) return false;
    }
    std::filesystem::rename(temp, mimeAppsPath, ec);
    return !ec;
}

}  // namespace sv
