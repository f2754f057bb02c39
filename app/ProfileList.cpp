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
        if (!line.empty() && static_cast<int>(profiles_.size()) < kMaxProfiles) profiles_.push_back(line);
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

std::string ProfileList::CurrentFileName() const {
    if (current_ < 0 || current_ >= static_cast<int>(profiles_.size())) return "set.dat";
    return profiles_[static_cast<std::size_t>(current_)];
}

}  // namespace sv
