#include "base/Language.h"

#include <cctype>
#include <mutex>

#include "base/Text.h"

namespace sv {
namespace {

TLanguage* g_language = nullptr;

bool IsTwoDigits(std::string_view s) {
    return s.size() >= 2 && std::isdigit(static_cast<unsigned char>(s[0])) &&
           std::isdigit(static_cast<unsigned char>(s[1]));
}

std::string SectionLine(int n) {
    if (n == TLanguage::kMessageSection) return "#R";
    std::string s = "#";
    s += static_cast<char>('0' + (n / 10) % 10);
    s += static_cast<char>('0' + n % 10);
    return s;
}

}  // namespace

void TLanguage::SetFiles(std::vector<std::string> paths) {
    Unload();
    files_ = std::move(paths);
}

void TLanguage::Unload() {
    if (file_.is_open()) file_.close();
    file_.clear();
    current_ = -1;
    messagePos_ = -1;
}

bool TLanguage::LoadLanguage(int index) {
    Unload();
    if (index < 0 || index >= static_cast<int>(files_.size())) return false;
    file_.open(files_[static_cast<std::size_t>(index)], std::ios::binary);
    if (!file_.is_open()) {
        file_.clear();
        return false;
    }
    current_ = index;
    if (SeekSection(kMessageSection)) messagePos_ = file_.tellg();
    return true;
}

bool TLanguage::ReadLine(std::string& line, std::size_t maxChars) {
    if (!file_.is_open()) return false;
    std::string raw;
    if (!std::getline(file_, raw)) return false;
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.pop_back();
    line = ToUtf8Lenient(raw);
    line = std::string(CutUtf8Chars(line, maxChars));
    return true;
}

bool TLanguage::SeekSection(int n) {
    if (!file_.is_open()) return false;
    file_.clear();
    file_.seekg(0);
    const std::string wanted = SectionLine(n);
    std::string line;
    while (ReadLine(line, kHeaderLineChars)) {
        if (Trim(line) == wanted) return true;
    }
    file_.clear();
    return false;
}

std::string TLanguage::GetText(int n) {
    if (!file_.is_open() || current_ < 0) return {};
    std::string line;
    while (ReadLine(line, kEntryLineChars)) {
        if (line.size() >= 4 && line[0] == ';' && IsTwoDigits(std::string_view(line).substr(1)) && line[3] == ':') {
            const int number = (line[1] - '0') * 10 + (line[2] - '0');
            if (number == n) return line.substr(4);
        }
    }
    file_.clear();
    return {};
}

std::string TLanguage::GetMessage(int n) {
    if (!file_.is_open() || current_ < 0 || messagePos_ == std::streampos(-1)) return {};
    file_.clear();
    file_.seekg(messagePos_);
    return GetText(n);
}

std::vector<LanguageEntry> TLanguage::ListLanguages() {
    const int previous = current_;
    std::vector<LanguageEntry> out;
    for (int i = 0; i < static_cast<int>(files_.size()); ++i) {
        if (!LoadLanguage(i)) continue;
        file_.seekg(0);
        std::string line;
        while (ReadLine(line, kHeaderLineChars)) {
            if (!line.empty() && line[0] == '#') break;
            if (StartsWith(line, ";LANG:")) {
                out.push_back({Trim(line.substr(6)), i});
                break;
            }
        }
    }
    Unload();
    if (previous >= 0) LoadLanguage(previous);
    return out;
}

void SetGlobalLanguage(TLanguage* language) { g_language = language; }
TLanguage* GlobalLanguage() { return g_language; }
// The burn thread reads its status texts while the window thread asks its
// questions; the language object reads its file, so one reader at a time.
std::string LangMessage(int n) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    return g_language ? g_language->GetMessage(n) : std::string();
}

std::string FormatMessage(const std::string& pattern, const std::string& value) {
    const auto pos = pattern.find("%s");
    if (pos == std::string::npos) return pattern;
    return pattern.substr(0, pos) + value + pattern.substr(pos + 2);
}

}  // namespace sv
