// The language files on disk: the built-in Russian and English files, the list
// of files the language menu offers, and the menu's entries.
#pragma once

#include <string>
#include <vector>

#include "base/Language.h"

namespace sv {

// The full text of a built-in language file: header, one section per window
// (from the window text tables) and the message section R00..R99.
std::string BuiltinLanguageFile(bool english);

// Creates the folder and writes "russian.lng" and "english.lng" into it when
// they are missing. Existing files (perhaps edited by the user) are kept.
void EnsureBuiltinLanguageFiles(const std::string& languageFolder);

// Index 0 is the Russian file; then every "*.lng" of the folder in name order
// (and of its sub-folders whose names end in ".lng"), without the Russian
// file a second time.
std::vector<std::string> BuildLanguageFileList(const std::string& languageFolder);

struct LanguageMenuEntry {
    std::string name;  // caption and stored language name
    int tag = 0;       // index into the file list
};

// The language menu: the fixed first entry "Russian" (tag 0), then every file
// from index 1 on that names itself with a ";LANG:" line.
std::vector<LanguageMenuEntry> BuildLanguageMenu(TLanguage& language);

// The tag of the entry called `name`, or -1.
int FindLanguageTag(const std::vector<LanguageMenuEntry>& menu, const std::string& name);

}  // namespace sv
