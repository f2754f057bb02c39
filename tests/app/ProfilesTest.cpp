#include <gtest/gtest.h>

#include <filesystem>

#include "RecordingView.h"
#include "app/MainForm.h"
#include "app/MimeApps.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::ReadFileBytes;
using svtest::RecordingView;
using svtest::ScriptedDialogs;

namespace {

class Profiles : public ::testing::Test {
protected:
    Profiles() : form_({view_, drives_, dialogs_, pump_, {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"}}) {
        form_.Construct();
    }
    std::string Setting(const char* file) { return ReadFileBytes(dir_.Path() / "setting" / file); }

    svtest::TempDir dir_;
    RecordingView view_;
    NoDriveAccess drives_;
    ScriptedDialogs dialogs_;
    NullEventPump pump_;
    TMainForm form_;
};

}  // namespace

TEST_F(Profiles, SavingAFirstProfileWritesItsFileAndTheList) {
    form_.Settings().SetReadSpeed(12);
    dialogs_.ExpectText("Введите название конфигурации", "Rock");
    form_.SaveProfileCommand();
    const std::string record = Setting("Rock.prof");
    ASSERT_EQ(record.size(), 1208u);
    EXPECT_EQ(static_cast<unsigned char>(record[272]), 12);
    EXPECT_EQ(Setting("prof.lst"), "0\r\nRock.prof\r\n");
    EXPECT_EQ(view_.profiles, std::vector<std::string>{"Rock"});
    EXPECT_EQ(view_.checkedProfile, 0);

    // The same name in other letters asks; No asks for the name again.
    dialogs_.ExpectText("", "rock").ExpectYesNo("Данная конфигурация уже существует. Заменить?", false).ExpectText("", std::nullopt);
    form_.SaveProfileCommand();
    dialogs_.ExpectText("", "ROCK").ExpectYesNo("Заменить?", true);
    form_.Settings().SetReadSpeed(20);
    form_.SaveProfileCommand();
    EXPECT_EQ(static_cast<unsigned char>(Setting("Rock.prof")[272]), 20);
    EXPECT_EQ(form_.Profiles().Profiles().size(), 1u);
    EXPECT_TRUE(dialogs_.Done());
}

TEST_F(Profiles, SelectingLoadsWithoutSavingAndDeletingTheCurrentFallsBackToDefault) {
    dialogs_.ExpectText("", "Jazz");
    form_.SaveProfileCommand();
    form_.SelectProfile(-1);  // the default file: none yet, so the defaults
    form_.Settings().SetReadSpeed(5);  // not saved: selecting drops it
    form_.SelectProfile(0);
    EXPECT_EQ(form_.Settings().ReadSpeed(), 30);
    EXPECT_EQ(view_.checkedProfile, 0);

    dialogs_.ExpectChoice("Что удалять будем?", 0).ExpectYesNo("Удалить эту конфигурацию?", true);
    form_.DeleteProfileCommand();
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "setting/Jazz.prof"));
    EXPECT_EQ(form_.Profiles().CurrentIndex(), -1);
    EXPECT_EQ(Setting("prof.lst"), "-1\r\n");
    EXPECT_TRUE(view_.profiles.empty());
}

TEST_F(Profiles, TheEleventhProfileIsRefusedAndNamesStayInTheSettingsFolder) {
    for (int i = 0; i < 10; ++i) {
        dialogs_.ExpectText("", "P" + std::to_string(i));
        form_.SaveProfileCommand();
    }
    dialogs_.ExpectMessage("Нельзя создать больше 10 конфигураций.");
    form_.SaveProfileCommand();
    EXPECT_EQ(dialogs_.Icons().back(), MessageIcon::Information);
    EXPECT_EQ(form_.Profiles().Profiles().size(), 10u);

    EXPECT_EQ(ProfileList::FileNameFor("../../etc/passwd"), "etcpasswd.prof");
    EXPECT_EQ(ProfileList::FileNameFor(".."), "");
    EXPECT_EQ(ProfileList::FileNameFor("  Рок: новый  "), "Рок новый.prof");
    EXPECT_EQ(ProfileList::Caption("Rock.prof"), "Rock");
}

TEST(ProfileListFile, LinesNamingOtherFoldersAreNoProfiles) {
    svtest::TempDir dir;
    svtest::WriteFileBytes(dir.Path() / "prof.lst", "1\r\n../evil.prof\r\nGood.prof\r\n/abs.prof\r\n");
    ProfileList list;
    list.Load(dir.Slash());
    ASSERT_EQ(list.Profiles().size(), 1u);
    EXPECT_EQ(list.Profiles()[0], "Good.prof");
    EXPECT_EQ(list.CurrentFileName(), "set.dat");  // index 1 no longer names a profile
}

TEST(AudioCdAssociation, OnAndOffRestoresThePreviousHandler) {
    svtest::TempDir dir;
    const std::string path = (dir.Path() / "mimeapps.list").string();
    svtest::WriteFileBytes(path, "[Added Associations]\naudio/mpeg=vlc.desktop;\n\n[Default Applications]\n"
                                 "x-content/audio-cdda=rhythmbox.desktop\ntext/plain=gedit.desktop\n");
    std::string last;
    ASSERT_TRUE(ApplyAudioCdAssociation(true, path, last));
    EXPECT_EQ(last, "rhythmbox.desktop");
    std::string text = ReadFileBytes(path);
    EXPECT_EQ(DefaultApplicationIn(text, kAudioCdMimeType), "sornaval.desktop");
    EXPECT_EQ(DefaultApplicationIn(text, "text/plain"), "gedit.desktop");
    EXPECT_NE(text.find("audio/mpeg=vlc.desktop;"), std::string::npos);
    ASSERT_TRUE(ApplyAudioCdAssociation(true, path, last));  // again: nothing changes
    EXPECT_EQ(last, "rhythmbox.desktop");
    ASSERT_TRUE(ApplyAudioCdAssociation(false, path, last));
    text = ReadFileBytes(path);
    EXPECT_EQ(DefaultApplicationIn(text, kAudioCdMimeType), "rhythmbox.desktop");
    EXPECT_EQ(last, "");

    // Without a file or a previous handler: added, then removed again.
    const std::string fresh = (dir.Path() / "new/mimeapps.list").string();
    ASSERT_TRUE(ApplyAudioCdAssociation(true, fresh, last));
    EXPECT_EQ(ReadFileBytes(fresh), "[Default Applications]\nx-content/audio-cdda=sornaval.desktop\n");
    ASSERT_TRUE(ApplyAudioCdAssociation(false, fresh, last));
    EXPECT_EQ(DefaultApplicationIn(ReadFileBytes(fresh), kAudioCdMimeType), "");
}
