#include <gtest/gtest.h>

#include "base/Language.h"
#include "support/Messages.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::TempDir;
using svtest::WriteFileBytes;


TEST(Language, MessagesAndSectionsReadForward) {
    TempDir dir;
    const auto file = dir.Path() / "test.lng";
    WriteFileBytes(file, ";FILE:test\n;LANG:Testish\n// comment\n#01\n;02:Refresh\n;04:Grab\n;03:Late\n#02\n;02:Settings\n" +
                             svtest::RussianMessageSection());
    TLanguage lang;
    lang.SetFiles({file.string()});
    ASSERT_TRUE(lang.LoadLanguage(0));
    EXPECT_EQ(lang.GetMessage(34), "Директории '%s' не существует. Создать?");
    EXPECT_EQ(lang.GetMessage(0), "Уже сжат.");
    EXPECT_EQ(lang.GetMessage(99), "Файл lame_enc.dll поврежден!");
    EXPECT_EQ(lang.GetMessage(100), "");

    ASSERT_TRUE(lang.SeekSection(1));
    EXPECT_EQ(lang.GetText(2), "Refresh");
    EXPECT_EQ(lang.GetText(4), "Grab");
    // Entry 03 stands after 04: a forward-only reader has passed it already
    // and runs on into later sections, where #02 has no 03 and #R does.
    EXPECT_EQ(lang.GetText(3), "Late");
    EXPECT_TRUE(lang.SeekSection(2));
    EXPECT_EQ(lang.GetText(2), "Settings");
    EXPECT_EQ(lang.GetText(2), "Невозможно получиь доступ к приводу.");  // R02, past the section
    EXPECT_FALSE(lang.SeekSection(7));
    EXPECT_EQ(FormatMessage(lang.GetMessage(34), "/x"), "Директории '/x' не существует. Создать?");
}

TEST(Language, LongLinesAreCutAndCp1251FilesRead) {
    TempDir dir;
    const auto file = dir.Path() / "long.lng";
    std::string longText(150 - 4, 'z');
    WriteFileBytes(file, ";LANG:" + std::string(100, 'N') + "\r\n#R\r\n;05:" + longText + "\r\n;06:\xCF\xF0\xE8\xE2\xE5\xF2\r\n");
    TLanguage lang;
    lang.SetFiles({file.string()});
    ASSERT_TRUE(lang.LoadLanguage(0));
    EXPECT_EQ(lang.GetMessage(5), std::string(115, 'z'));
    EXPECT_EQ(lang.GetMessage(6), "Привет");
    auto names = lang.ListLanguages();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].displayName, std::string(73, 'N'));  // header lines are cut at 79 characters
    EXPECT_EQ(lang.CurrentIndex(), 0);  // listing keeps the loaded language
    EXPECT_EQ(lang.GetMessage(6), "Привет");
}

TEST(Language, ListingSkipsFilesWithoutNameAndMissingFilesFail) {
    TempDir dir;
    WriteFileBytes(dir.Path() / "a.lng", ";LANG:Alpha\n#R\n;00:a\n");
    WriteFileBytes(dir.Path() / "b.lng", "#01\n;LANG:Late\n#R\n;00:b\n");
    WriteFileBytes(dir.Path() / "c.lng", ";AUTH:x\n;LANG:Gamma\n");
    TLanguage lang;
    lang.SetFiles({(dir.Path() / "a.lng").string(), (dir.Path() / "b.lng").string(),
                   (dir.Path() / "missing.lng").string(), (dir.Path() / "c.lng").string()});
    auto names = lang.ListLanguages();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].displayName, "Alpha");
    EXPECT_EQ(names[1].displayName, "Gamma");
    EXPECT_EQ(names[1].index, 3);
    EXPECT_EQ(lang.CurrentIndex(), -1);
    EXPECT_FALSE(lang.LoadLanguage(2));
    EXPECT_EQ(lang.GetMessage(0), "");  // nothing loaded: empty texts
    EXPECT_EQ(lang.GetText(0), "");
    EXPECT_TRUE(lang.LoadLanguage(1));
    EXPECT_EQ(lang.GetMessage(0), "b");
    SetGlobalLanguage(&lang);
    EXPECT_EQ(LangMessage(0), "b");
    SetGlobalLanguage(nullptr);
    EXPECT_EQ(LangMessage(0), "");
}
