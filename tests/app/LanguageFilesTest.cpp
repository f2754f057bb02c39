#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <tuple>

#include "app/LanguageFiles.h"
#include "app/UserGuide.h"
#include "app/WindowTexts.h"
#include "base/BuiltinMessages.h"
#include "metadata/CddbLookup.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::ReadFileBytes;
using svtest::TempDir;
using svtest::WriteFileBytes;

TEST(LanguageFiles, BuiltinRussianFileHoldsEveryMessageAndSection) {
    TempDir dir;
    EnsureBuiltinLanguageFiles(dir.Slash());
    const std::string text = ReadFileBytes(dir.Path() / "russian.lng");
    EXPECT_NE(text.find(";LANG:Russian\n"), std::string::npos);
    EXPECT_NE(text.find("\n#R\n;00:Уже сжат.\n;01:"), std::string::npos);
    EXPECT_NE(text.find("\n;34:Директории '%s' не существует. Создать?\n"), std::string::npos);
    EXPECT_NE(text.find("\n;99:Файл lame_enc.dll поврежден!\n"), std::string::npos);

    TLanguage lang;
    lang.SetFiles(BuildLanguageFileList(dir.Slash()));
    ASSERT_TRUE(lang.LoadLanguage(0));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(lang.GetMessage(i), kRussianMessages[static_cast<std::size_t>(i)]) << i;
    // Every window section reads back in its table's order.
    for (const WindowTexts* w : AllWindowTexts()) {
        ASSERT_TRUE(lang.SeekSection(w->section));
        int n = 2;
        for (const auto& t : w->texts) EXPECT_EQ(lang.GetText(n++), t.russian) << t.object;
    }
}

TEST(LanguageFiles, SectionsFitTwoDigitEntriesAndNamesAreUnique) {
    for (const WindowTexts* w : AllWindowTexts()) {
        EXPECT_LE(w->texts.size(), 98u) << "section " << w->section;  // entries 02..99
        std::set<std::tuple<std::string, int, int>> seen;
        for (const auto& t : w->texts)
            EXPECT_TRUE(seen.insert({t.object, static_cast<int>(t.target), t.index}).second) << t.object;
    }
}

TEST(LanguageFiles, ExistingFilesAreKeptAndRussianIsRecreatedWhenRemoved) {
    TempDir dir;
    WriteFileBytes(dir.Path() / "english.lng", ";LANG:My English\n#R\n;00:mine\n");
    EnsureBuiltinLanguageFiles(dir.Slash());
    EXPECT_EQ(ReadFileBytes(dir.Path() / "english.lng"), ";LANG:My English\n#R\n;00:mine\n");
    std::filesystem::remove(dir.Path() / "russian.lng");
    EnsureBuiltinLanguageFiles(dir.Slash());
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "russian.lng"));
}

TEST(LanguageFiles, ListPutsRussianFirstAndSearchesLngSubfolders) {
    TempDir dir;
    WriteFileBytes(dir.Path() / "b.lng", ";LANG:Bravo\n");
    WriteFileBytes(dir.Path() / "Russian.LNG", ";LANG:Russian\n");
    WriteFileBytes(dir.Path() / "more.lng/a.lng", ";LANG:Alpha\n");
    WriteFileBytes(dir.Path() / "other/c.lng", ";LANG:Not searched\n");
    WriteFileBytes(dir.Path() / "noname.lng", "#01\n");
    WriteFileBytes(dir.Path() / "notes.txt", ";LANG:Not a language\n");
    const auto list = BuildLanguageFileList(dir.Slash());
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(std::filesystem::path(list[0]).filename(), "Russian.LNG");
    TLanguage lang;
    lang.SetFiles(list);
    const auto menu = BuildLanguageMenu(lang);
    ASSERT_EQ(menu.size(), 3u);  // Russian, Bravo, Alpha; the unnamed file is left out
    EXPECT_EQ(menu[0].name, "Russian");
    EXPECT_EQ(menu[0].tag, 0);
    // Files are listed in path order: b.lng, then more.lng/a.lng.
    EXPECT_EQ(menu[1].name, "Bravo");
    EXPECT_EQ(menu[1].tag, 1);
    EXPECT_EQ(menu[2].name, "Alpha");
    EXPECT_EQ(menu[2].tag, 2);
    EXPECT_EQ(FindLanguageTag(menu, "Alpha"), 2);
    EXPECT_EQ(FindLanguageTag(menu, "Klingon"), -1);
}

TEST(LanguageFiles, EnglishFileTranslatesEveryEntry) {
    TempDir dir;
    EnsureBuiltinLanguageFiles(dir.Slash());
    TLanguage lang;
    lang.SetFiles({dir.Slash() + "english.lng"});
    ASSERT_TRUE(lang.LoadLanguage(0));
    // Every entry reads back whole: none is longer than a language-file line.
    for (const WindowTexts* w : AllWindowTexts()) {
        ASSERT_TRUE(lang.SeekSection(w->section));
        int n = 2;
        for (const auto& t : w->texts) EXPECT_EQ(lang.GetText(n++), t.english) << t.object;
    }
    const std::string en = BuiltinLanguageFile(true);
    EXPECT_NE(en.find(";LANG:English\n"), std::string::npos);
    EXPECT_NE(en.find(";34:The folder '%s' does not exist. Create it?\n"), std::string::npos);
    EXPECT_EQ(en.find("Настройки"), std::string::npos);
    // Same shape as the Russian file: the same number of lines.
    const std::string ru = BuiltinLanguageFile(false);
    EXPECT_EQ(std::count(en.begin(), en.end(), '\n'), std::count(ru.begin(), ru.end(), '\n'));
}

TEST(UserGuide, TheLanguagesGuideFirstThenTheCommonOneFromTheFirstFolderThatHasOne) {
    svtest::TempDir dir;
    const std::string empty = dir.Slash() + "empty", docs = dir.Slash() + "docs";
    std::filesystem::create_directories(empty);
    std::filesystem::create_directories(docs);
    svtest::WriteFileBytes(docs + "/user-guide.html", "<html></html>");
    svtest::WriteFileBytes(docs + "/user-guide.english.html", "<html></html>");
    EXPECT_EQ(sv::FindUserGuide("English", {empty, docs}).path, docs + "/user-guide.english.html");
    EXPECT_EQ(sv::FindUserGuide("Russian", {empty, docs}).path, docs + "/user-guide.html");
    const auto none = sv::FindUserGuide("Russian", {empty, dir.Slash() + "missing"});
    EXPECT_EQ(none.path, "");
    EXPECT_EQ(none.searched, (std::vector<std::string>{empty, dir.Slash() + "missing"}));
}

// An English file from before the converter window has no section for it:
// the window still speaks English, while another language falls back to the
// built-in Russian texts.
TEST(LanguageFiles, AnOlderEnglishFileWithoutAWindowsSectionGetsTheBuiltinEnglish) {
    TempDir dir;
    std::string en = BuiltinLanguageFile(true);
    const std::size_t from = en.find("#04\n");
    ASSERT_NE(from, std::string::npos);
    en.erase(from, en.find("\n#", from + 1) + 1 - from);
    ASSERT_EQ(en.find("#04\n"), std::string::npos);
    const std::string path = dir.Slash() + "old.lng";
    WriteFileBytes(path, en);
    TLanguage language;
    language.SetFiles({path});
    ASSERT_TRUE(language.LoadLanguage(0));
    EXPECT_EQ(WindowValue(ConvertFormTexts(), "Done", language, "English"), "completed");
    EXPECT_EQ(WindowValue(ConvertFormTexts(), "Done", language, "Deutsch"), "завершено");
    EXPECT_EQ(WindowValue(OtherTexts(), "Yes", language, "English"), "Yes") << "other sections are read as before";
}

// The online lookup reads its texts through the process's language: from the
// file's section #12, or, in a file older than that section, built in.
TEST(LanguageFiles, TheLookupsTextsFollowTheLoadedLanguage) {
    TempDir dir;
    std::string en = BuiltinLanguageFile(true);
    WriteFileBytes(dir.Path() / "english.lng", en);
    const std::size_t from = en.find("#12\n");
    ASSERT_NE(from, std::string::npos);
    en.erase(from, en.find("\n#", from + 1) + 1 - from);
    WriteFileBytes(dir.Path() / "old-english.lng", en);
    WriteFileBytes(dir.Path() / "own.lng", ";LANG:Own\n#12\n;02:Refused (%s)\n#R\n;19:copy\n");
    TLanguage language;
    language.SetFiles({dir.Slash() + "english.lng", dir.Slash() + "old-english.lng", dir.Slash() + "own.lng"});
    SetGlobalLanguage(&language);
    const std::string english = "The CDDB server refused: 500 Unknown developer email\nChoose another server, enter an "
                                "e-mail address it knows in the settings, or look the titles up with MusicBrainz.";
    for (int file : {0, 1}) {
        ASSERT_TRUE(language.LoadLanguage(file));
        EXPECT_EQ(RefusalMessage("500 Unknown developer email"), english) << file;
    }
    ASSERT_TRUE(language.LoadLanguage(2));
    EXPECT_EQ(RefusalMessage("530 Busy"), "Refused (530 Busy)\nВыберите другой сервер, укажите в настройках e-mail, "
                                          "известный серверу, или ищите названия в MusicBrainz.");
    SetGlobalLanguage(nullptr);
}
