#include "app/LanguageFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/WindowTexts.h"
#include "base/BuiltinMessages.h"
#include "base/Text.h"

namespace sv {

namespace fs = std::filesystem;

namespace {

std::string EntryLine(int n, std::string_view text) {
    char num[16];
    std::snprintf(num, sizeof num, ";%02d:", n);
    return std::string(num) + std::string(text) + "\n";
}

}  // namespace

std::string BuiltinLanguageFile(bool english) {
    std::string out;
    out += english ? ";FILE:english.lng\n;LANG:English\n" : ";FILE:russian.lng\n;LANG:Russian\n";
    out += ";AUTH:Sornaval\n";
    out += "// Interface texts of Sornaval. Sections \"#NN\" hold the texts of one window in the\n";
    out += "// order the window asks for them; \"#R\" holds the messages. Keep the numbers ascending.\n";
    for (const WindowTexts* window : AllWindowTexts()) {
        char section[16];
        std::snprintf(section, sizeof section, "#%02d\n", window->section);
        out += section;
        int n = 2;
        for (const auto& t : window->texts) out += EntryLine(n++, english ? t.english : t.russian);
    }
    out += "#R\n";
    const auto& messages = english ? kEnglishMessages : kRussianMessages;
    for (int i = 0; i < 100; ++i) out += EntryLine(i, messages[static_cast<std::size_t>(i)]);
    return out;
}

void EnsureBuiltinLanguageFiles(const std::string& languageFolder) {
    std::error_code ec;
    fs::create_directories(languageFolder, ec);
    for (bool english : {false, true}) {
        const fs::path path = fs::path(languageFolder) / (english ? "english.lng" : "russian.lng");
        if (fs::exists(path, ec)) continue;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string text = BuiltinLanguageFile(english);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
}

namespace {

// Every "*.lng" file of `folder`; a sub-folder is searched too when its own
// name ends in ".lng".
void CollectLanguageFiles(const fs::path& folder, std::vector<std::string>& found, int depth) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!EndsWith(AsciiLower(name), ".lng")) continue;
        if (it->is_directory(ec)) {
            if (depth < 8) CollectLanguageFiles(it->path(), found, depth + 1);
        } else {
            found.push_back(it->path().string());
        }
    }
}

}  // namespace

std::vector<std::string> BuildLanguageFileList(const std::string& languageFolder) {
    std::vector<std::string> list{"RUSLANG"};
    std::vector<std::string> found;
    CollectLanguageFiles(languageFolder, found, 0);
    std::sort(found.begin(), found.end());
    for (const auto& path : found) {
        if (AsciiLower(fs::path(path).filename().string()) == "russian.lng" && list[0] == "RUSLANG")
            list[0] = path;
        else
            list.push_back(path);
    }
    return list;
}

std::vector<LanguageMenuEntry> BuildLanguageMenu(TLanguage& language) {
    std::vector<LanguageMenuEntry> menu{{"Russian", 0}};
    for (const auto& entry : language.ListLanguages())
        if (entry.index >= 1) menu.push_back({entry.displayName, entry.index});
    return menu;
}

int FindLanguageTag(const std::vector<LanguageMenuEntry>& menu, const std::string& name) {
    for (const auto& e : menu)
        if (e.name == name) return e.tag;
    return -1;
}

}  // namespace sv
