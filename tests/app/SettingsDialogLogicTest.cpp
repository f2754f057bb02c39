#include <gtest/gtest.h>

#include <filesystem>

#include "app/SettingsDialogLogic.h"
#include "base/Language.h"
#include "support/Messages.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::ScriptedDialogs;
using svtest::TempDir;

namespace {

// Questions carry their real Russian texts.
class OutputFolder : public ::testing::Test {
protected:
    void SetUp() override { svtest::UseRussianMessages(); }
    void TearDown() override { SetGlobalLanguage(nullptr); }
    TempDir dir_;
};


}  // namespace

TEST(SettingsDialogLogic, FormatStringRules) {
    EXPECT_TRUE(IsValidFormatString("%A/%D/%N - %T"));
    EXPECT_TRUE(IsValidFormatString("%N track"));      // placeholder, then text ending in a letter
    EXPECT_TRUE(IsValidFormatString("x%T"));
    EXPECT_FALSE(IsValidFormatString(""));
    EXPECT_FALSE(IsValidFormatString("%A\\"));          // ends in a backslash
    EXPECT_FALSE(IsValidFormatString("%A/"));           // or a slash: both make folders here
    EXPECT_FALSE(IsValidFormatString("%A - %"));        // ends in a percent sign
    EXPECT_FALSE(IsValidFormatString("plain name"));    // no percent sign
    EXPECT_FALSE(IsValidFormatString("name%"));         // the only % is the last character
}

TEST(SettingsDialogLogic, ListsAndNumberFields) {
    const auto speeds = ReadSpeedItems();
    ASSERT_EQ(speeds.size(), 50u);
    EXPECT_EQ(speeds[0], "1x ( 176 Kbit/s )");
    EXPECT_EQ(speeds[23], "24x ( 4233 Kbit/s )");
    EXPECT_EQ(speeds[49], "50x ( 8820 Kbit/s )");
    const auto rates = Mp3BitrateItems();
    ASSERT_EQ(rates.size(), 14u);
    EXPECT_EQ(rates.front(), "320kBit/s");
    EXPECT_EQ(rates[2], "224kBit/s");  // item 2 stores 14 - 2 = 12, the default
    EXPECT_EQ(Mp3BitrateKbps(12), 224);
    EXPECT_EQ(rates.back(), "32kBit/s");
    EXPECT_EQ(AacBitrateItems().front(), "64 kB/s");
    EXPECT_EQ(AacBitrateItems().size(), 10u);

    EXPECT_EQ(SectorsShown(0), "26");
    EXPECT_EQ(SectorsShown(8), "8");
    EXPECT_EQ(SectorsFromText("abc"), 26);
    EXPECT_EQ(SectorsFromText(" 13 "), 13);
    EXPECT_EQ(SectorsFromText("999"), 255);
    EXPECT_EQ(TimeoutMsFromText("7"), 7000);
    EXPECT_EQ(TimeoutMsFromText("seven"), 20000);
    EXPECT_EQ(PortFromText("8080"), 8080);
    EXPECT_EQ(PortFromText("http"), 80);
    EXPECT_EQ(PortFromText("70000"), 80);
    EXPECT_EQ(ValidReadCommand(8), 8);
    EXPECT_EQ(ValidReadCommand(12), 0);
}

TEST_F(OutputFolder, MissingFolderIsCreatedWithParentsOnYes) {
    const std::string folder = dir_.Slash() + "a/b/c";
    ScriptedDialogs dialogs;
    dialogs.ExpectYesNo("Директории '" + folder + "' не существует. Создать?", true);
    EXPECT_EQ(ConfirmOutputFolder(folder, dialogs), folder + "/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(dialogs.Done());
}

TEST_F(OutputFolder, NoKeepsTheTypedFolderWithoutCreatingIt) {
    const std::string folder = dir_.Slash() + "later";
    ScriptedDialogs dialogs;
    dialogs.ExpectYesNo("later", false);
    EXPECT_EQ(ConfirmOutputFolder(folder, dialogs), folder + "/");
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(OutputFolder, ExistingFolderAsksNothing) {
    ScriptedDialogs dialogs;  // any question fails the test
    EXPECT_EQ(ConfirmOutputFolder(dir_.Slash(), dialogs), dir_.Slash());
    EXPECT_EQ(ConfirmOutputFolder(dir_.Path().string(), dialogs), dir_.Slash());
    EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST(SettingsDialogLogic, TheEncodingPageOpensOnTheStoredFormatsTabAndStoresTheTabsFormat) {
    // A fresh installation stores MP3 (1): the MP3 tab, not the second tab.
    const int tabs[][2] = {{0, 0}, {1, 0}, {2, 2}, {3, 1}, {4, 3}, {5, 3}, {6, 3}, {200, 0}};
    for (const auto& [format, tab] : tabs) EXPECT_EQ(sv::AudioTabForFormat(format), tab) << format;
    EXPECT_EQ(sv::FormatForAudioTab(0, 0, 3), 1);
    EXPECT_EQ(sv::FormatForAudioTab(1, 0, 1), 3);
    EXPECT_EQ(sv::FormatForAudioTab(2, 0, 1), 2);
    EXPECT_EQ(sv::FormatForAudioTab(3, 1, 1), 5);  // the external tab: AAC chosen
    EXPECT_EQ(sv::FormatForAudioTab(4, 0, 2), 2);  // normalisation keeps what was stored
}
