// TLanguage: the interface texts of one language file.
//
// A language file is plain text, one item per line:
//   ";LANG:" name      display name (header, before the first section)
//   "#" NN             start of the section of window NN
//   "#R"               start of the message section
//   ";" NN ":" text    entry NN of the current section
// anything else is a comment. Lookups read the file forward from the current
// position each time, so entries must stand in ascending order within their
// section; a missing entry makes the scan run on past its section.
// Files are UTF-8; a line that is not valid UTF-8 is read as Windows-1251.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace sv {

struct LanguageEntry {
    std::string displayName;
    int index = 0;
};

class TLanguage {
public:
    static constexpr int kMessageSection = -1;
    static constexpr std::size_t kHeaderLineChars = 79;
    static constexpr std::size_t kEntryLineChars = 119;

    void SetFiles(std::vector<std::string> paths);
    const std::vector<std::string>& Files() const { return files_; }

    // Opens file `index` of the list and finds its message section.
    bool LoadLanguage(int index);
    void Unload();
    int CurrentIndex() const { return current_; }

    // Rewinds and reads up to the line "#NN" (n = -1: "#R").
    bool SeekSection(int n);
    // Reads forward to entry n and returns its text; empty at the end of the
    // file or when no language is loaded.
    std::string GetText(int n);
    // Entry n of the message section.
    std::string GetMessage(int n);

    // Display names of the files that have a ";LANG:" header line. Leaves the
    // language that was loaded before loaded again.
    std::vector<LanguageEntry> ListLanguages();

private:
    bool ReadLine(std::string& line, std::size_t maxChars);

    std::vector<std::string> files_;
    int current_ = -1;
    std::ifstream file_;
    std::streampos messagePos_ = -1;
};

// The one language object of the process, for the texts Rnn that every part of
// the program shows. Empty texts when none is set or loaded.
void SetGlobalLanguage(TLanguage* language);
TLanguage* GlobalLanguage();
std::string LangMessage(int n);

// Replaces the first "%s" of `pattern` with `value`.
std::string FormatMessage(const std::string& pattern, const std::string& value);

}  // namespace sv
