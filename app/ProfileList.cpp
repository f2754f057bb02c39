#include "app/ProfileList.h"

#include <charconv>
#include <fstream>

#include "base/Text.h"

namespace sv {

void ProfileList::Load(const std::string& settingsFolder) {
    current_ = -1;
    profiles_.clear();
    std::ifstream in(settingsFolder + "prof.lst", std::ios::binary);
    if (!in.is_open()) return;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (first) {
            first = false;
            int v = -1;
            const auto r = std::from_chars(line.data(), line.data() + line.size(), v);
            current_ = r.ec == std::errc() ? v : -1;
            continue;
        }
        // Only plain file names in the settings folder: a line that names
        // another folder is not a profile of ours.
        const bool plain = !line.empty() && line[0] != '.' && line.find('/') == std::string::npos &&
                           line.find('\\') == std::string::npos;
        if (plain && static_cast<int>(profiles_.size()) < kMaxProfiles) profiles_.push_back(line);
    }
    // An index that names no profile falls back to the default file.
    if (current_ >= static_cast<int>(profiles_.size()) || current_ < -1) current_ = -1;
}

bool ProfileList::Save(const std::string& settingsFolder) const {
    std::ofstream out(settingsFolder + "prof.lst", std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    out << current_;
    for (const auto& p : profiles_) out << "\r\n" << p;
    out << "\r\n";
    return out.good();
}

void ProfileList::SetCurrentIndex(int index) { current_ = index; }

std::string ProfileList::FileNameFor(const std::string& name) {
    std::string clean;
    for (char c : Trim(name)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
            c == '|')
            continue;
        clean.push_back(c);
    }
    // A leading dot would hide the file or, as "." or "..", name a folder.
    while (!clean.empty() && clean.front() == '.') clean.erase(clean.begin());
    clean = std::string(CutUtf8(clean, 200));
    if (clean.empty()) return {};
    return clean + ".prof";
}

std::string ProfileList::Caption(const std::string& fileName) { return fileName.substr(0, fileName.find('.')); }

int ProfileList::Find(const std::string& fileName) const {
    for (std::size_t i = 0; i < profiles_.size(); ++i)
        if (AsciiLower(profiles_[i]) == AsciiLower(fileName)) return static_cast<int>(i);
    return -1;
}

int ProfileList::Add(const std::string& fileName) {
    if (static_cast<int>(profiles_.size()) >= kMaxProfiles) return -1;
    profiles_.push_back(fileName);
    return static_cast<int>(profiles_.size()) - 1;
}

void ProfileList::Remove(int index) {
    if (index >= 0 && index < static_cast<int>(profiles_.size())) profiles_.erase(profiles_.begin() + index);
}

std::string ProfileList::CurrentFileName() const {
    if (current_ < 0 || current_ >= static_cast<int>(profiles_.size())) return "set.dat";
    return profiles_[static_cast<std::size_t>(current_)];
}

}  // namespace sv
