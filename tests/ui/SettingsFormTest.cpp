#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QApplication>

#include <map>
#include <QTabWidget>
#include <QTest>

#include "app/LanguageFiles.h"
#include "app/SettingsSources.h"
#include "app/WindowTexts.h"
#include "base/Language.h"
#include "support/BuiltinLanguage.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/SettingsForm.h"

using namespace sv;
using svtest::ScriptedDialogs;
using svtest::TempDir;

namespace {

class SettingsFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.ApplyDefaults(dir_.Slash(), dir_.Slash());
        settings_.SetOutputDir(dir_.Slash());
    }

    std::unique_ptr<TSettingsForm> Open(SettingsFormSources sources = {}) {
        return std::make_unique<TSettingsForm>(settings_, disc_, dialogs_, lang_, nullptr, std::move(sources));
    }
    template <class W>
    static W* Find(QWidget* form, const char* name) {
        W* w = form->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    TempDir dir_;
    svtest::BuiltinLanguage builtin_;
    TLanguage& lang_ = builtin_.Language();
    TProgramSettings settings_;
    DISC_INFO disc_;
    ScriptedDialogs dialogs_;
};

}  // namespace

TEST_F(SettingsFormTest, EveryControlOfTheRecordIsThere) {
    auto form = Open();
    for (const char* name :
         {"WorkDir", "File_UseTrackName", "File_UseAlbumName", "File_UseArtistName", "File_UseTrackNum", "Dir_AsAlbumName",
          "Dir_AsArtistName", "FormatBox", "PageControl2", "DeviceName", "SpeedBox", "CBMaxSpeed", "UseAsCDPlayerBox",
          "EjectACopy", "CodecBox", "ShutComp", "NumSecReadEdit", "ASPIBtn", "SPTIBtn", "ShowGridBox", "PriorityBox",
          "ServerEdit", "ProxyEdit", "PathEdit", "UserEdit", "PasswordEdit", "ServerBox", "TimeOutEdit", "PortEdit",
          "PageControl1", "CheckBox1", "VolumeOnCDBox", "DPBox", "LockCDBox", "RCDBox", "SetMinEdit", "SetMaxEdit",
          "MinEdit", "MaxEdit", "ShowWAVE", "ShowWMA", "UseDRMBox", "WMABitrateBox", "ShowBURN", "ShowConvert",
          "ShowFreeDB", "ShowPlayer", "WindowColorBox", "ControlColorBox", "PlayBarColorBox", "CommandTypeBox",
          "UseFormatString", "FormatEdit", "OnTheFlyEncodingBox", "OggMinBRBox", "OggMaxBRBox", "OggNomBRBox", "OggBar",
          "OggQualityBox", "MP3AsOGGBox", "ExtractMethodBox", "LCDDBPathEdit", "UnixBox", "UseOnlySVBaseBox",
          "RotateBox", "ExtEncoderBox", "APE_LevelBox", "APE_MonoBox", "FAACBitrateBox", "FAACUseTns", "FAACAllowMSBox",
          "FAACObjectTypeBox", "FAACMPEG4Box", "RadioButton2", "ACMFileExt", "ACMWriteWAVEHeadBox", "ACMWriteTagBox",
          "ACMCodecBox", "ACMFormatBox", "CUEBox", "VBRBox", "LameQualityBox"})
        EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
    // Every text of the language tables has its control.
    for (const WindowTexts* table : {&SettingsFormTexts(), &SettingsFormMoreTexts()})
        for (const auto& t : table->texts)
            EXPECT_TRUE(form->objectName() == t.object || form->findChild<QObject*>(t.object)) << t.object;
}

TEST_F(SettingsFormTest, ShownValuesFollowTheRecord) {
    settings_.SetSectorsPerRead(0);
    settings_.SetReadSpeed(255);
    settings_.SetCddbTimeoutMs(15000);
    settings_.SetReadCommand(0, 12);  // out of the list
    auto form = Open();
    EXPECT_EQ(Find<QLineEdit>(form.get(), "NumSecReadEdit")->text(), "26");
    EXPECT_TRUE(Find<QCheckBox>(form.get(), "CBMaxSpeed")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(form.get(), "ServerEdit")->text(), "gnudb.gnudb.org");
    EXPECT_EQ(Find<QLineEdit>(form.get(), "PathEdit")->text(), "/~cddb/cddb.cgi");
    EXPECT_EQ(Find<QLineEdit>(form.get(), "TimeOutEdit")->text(), "15");
    EXPECT_EQ(Find<QComboBox>(form.get(), "CommandTypeBox")->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>(form.get(), "SpeedBox")->count(), 50);
    EXPECT_EQ(Find<QComboBox>(form.get(), "FormatBox")->currentText(), "224kBit/s");
    EXPECT_EQ(Find<QLabel>(form.get(), "FormatLabel")->text(), "Битрейт: мин");
    EXPECT_FALSE(Find<QComboBox>(form.get(), "VBRQualityBox")->isEnabled());  // no VBR chosen
    EXPECT_EQ(Find<QComboBox>(form.get(), "FAACBitrateBox")->itemText(0), "64 kB/s");
}

TEST_F(SettingsFormTest, OkStoresTheControlsWithTheFixUps) {
    auto form = Open();
    Find<QCheckBox>(form.get(), "File_UseTrackName")->setChecked(false);  // none of the four left
    Find<QCheckBox>(form.get(), "CBMaxSpeed")->setChecked(true);
    Find<QLineEdit>(form.get(), "NumSecReadEdit")->setText("x");
    Find<QLineEdit>(form.get(), "WorkDir")->setText(QString::fromStdString(dir_.Path().string()));  // no slash
    Find<QLineEdit>(form.get(), "ProxyEdit")->setText("proxy.local");
    Find<QComboBox>(form.get(), "FormatBox")->setCurrentIndex(0);  // 320
    Find<QComboBox>(form.get(), "VBRBox")->setCurrentIndex(2);     // OLD
    form->accept();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(settings_.FileUseTrackName());
    EXPECT_EQ(settings_.ReadSpeed(), 255);
    EXPECT_EQ(settings_.SectorsPerRead(), 26);
    EXPECT_EQ(settings_.OutputDir(), dir_.Slash());
    EXPECT_TRUE(settings_.UseProxy());
    EXPECT_EQ(settings_.LameBitrateIndex(), 14);
    EXPECT_EQ(settings_.LameVbrMethod(), 1);
    EXPECT_TRUE(settings_.LameVbrEnabled());
    EXPECT_EQ(settings_.CddbServer(), "gnudb.gnudb.org");
    EXPECT_TRUE(dialogs_.Transcript().empty());
}

TEST_F(SettingsFormTest, BadFormatStringKeepsTheDialogOpen) {
    settings_.SetUseFormatString(true);
    settings_.SetFormatString("%A - %");
    auto form = Open();
    dialogs_.ExpectMessage("Неверная сторока формата имени файлов.");
    form->accept();
    EXPECT_NE(form->result(), QDialog::Accepted);
    EXPECT_EQ(dialogs_.Icons().back(), MessageIcon::Information);
    EXPECT_EQ(settings_.FormatString(), "%A - %");  // nothing stored
    Find<QLineEdit>(form.get(), "FormatEdit")->setText("%N - %T");
    form->accept();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(settings_.FormatString(), "%N - %T");
}

TEST_F(SettingsFormTest, MissingMusicFolderIsOfferedAndCreated) {
    auto form = Open();
    const std::string folder = dir_.Slash() + "new/music";
    Find<QLineEdit>(form.get(), "WorkDir")->setText(QString::fromStdString(folder));
    dialogs_.ExpectYesNo("не существует. Создать?", true);
    form->accept();
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(settings_.OutputDir(), folder + "/");
}

TEST_F(SettingsFormTest, EscapeDiscardsEverything) {
    const TProgramSettings before = settings_;
    auto form = Open();
    form->show();
    Find<QCheckBox>(form.get(), "ShowGridBox")->setChecked(true);
    Find<QLineEdit>(form.get(), "PortEdit")->setText("8080");
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_TRUE(settings_ == before);
}

TEST_F(SettingsFormTest, LameConfigIsStoredOnlyForTheLameCodec) {
    SettingsFormSources sources;
    sources.mp3Codecs = [] { return std::vector<std::string>{"MPEG Layer-3"}; };
    sources.mp3Formats = [](int) { return std::vector<std::string>{"8 kBit/s", "56 kBit/s"}; };
    auto form = Open(sources);
    auto* codec = Find<QComboBox>(form.get(), "CodecBox");
    codec->setCurrentIndex(1);
    EXPECT_EQ(Find<QLabel>(form.get(), "FormatLabel")->text(), "Формат");
    EXPECT_TRUE(Find<QWidget>(form.get(), "LamePanel")->isHidden());
    Find<QComboBox>(form.get(), "FormatBox")->setCurrentIndex(1);
    Find<QComboBox>(form.get(), "ModeBox")->setCurrentIndex(3);  // hidden LAME control: not stored
    form->accept();
    EXPECT_FALSE(settings_.UseLameEncoder());
    EXPECT_EQ(settings_.Mp3AcmCodecIndex(), 0);
    EXPECT_EQ(settings_.Mp3AcmFormatIndex(), 1);
    EXPECT_EQ(settings_.LameMode(), 1);
    EXPECT_EQ(settings_.LameBitrateIndex(), 12);
}

TEST_F(SettingsFormTest, EnglishTextsAreAppliedFromTheLanguageFile) {
    settings_.SetLanguageName("English");
    for (int i = 0; i < static_cast<int>(lang_.Files().size()); ++i)
        if (lang_.Files()[static_cast<std::size_t>(i)].find("english.lng") != std::string::npos) lang_.LoadLanguage(i);
    auto form = Open();
    EXPECT_EQ(form->windowTitle(), "Settings");
    EXPECT_EQ(Find<QCheckBox>(form.get(), "RCDBox")->text(), "Switch the drive's read cache off");
    EXPECT_EQ(Find<QTabWidget>(form.get(), "PageControl1")->tabText(4), "Interface");
    EXPECT_EQ(Find<QPushButton>(form.get(), "CancelButton")->text(), "Cancel");
    // The controls of the second section, #13.
    EXPECT_EQ(Find<QTabWidget>(form.get(), "PageControl1")->tabText(3), "Titles");
    EXPECT_EQ(Find<QComboBox>(form.get(), "LookupSourceBox")->itemText(2), "MusicBrainz, then CDDB");
    EXPECT_TRUE(Find<QLineEdit>(form.get(), "CddbEmailEdit")->toolTip().contains("gnudb"));
}

// Which source looks titles up, the MusicBrainz server and the CDDB greeting's
// address live outside the record: shown from their source, stored on Ok only,
// and an address that is not "name@domain" keeps the dialog open.
TEST_F(SettingsFormTest, TheLookupSettingsAreStoredOnOkOnly) {
    {
        auto form = Open();  // no source: the defaults
        EXPECT_EQ(Find<QComboBox>(form.get(), "LookupSourceBox")->currentText(), "MusicBrainz, затем CDDB");
        EXPECT_EQ(Find<QLineEdit>(form.get(), "MusicBrainzEdit")->text(), "https://musicbrainz.org");
        EXPECT_EQ(Find<QLineEdit>(form.get(), "CddbEmailEdit")->text(), "");
    }
    std::vector<SettingsFormSources::Lookup> writes;
    std::string fetchedWith = "-";
    SettingsFormSources sources;
    sources.lookup = [] {
        return SettingsFormSources::Lookup{LookupSource::CddbThenMusicBrainz, "off", "old@example.org", true};
    };
    sources.storeLookup = [&](const SettingsFormSources::Lookup& l) { writes.push_back(l); };
    sources.fetchMirrors = [&](const std::string& address) {
        fetchedWith = address;
        return std::vector<SettingsFormSources::Mirror>{};
    };
    for (const bool ok : {false, true}) {
        auto form = Open(sources);
        auto* box = Find<QComboBox>(form.get(), "LookupSourceBox");
        auto* server = Find<QLineEdit>(form.get(), "MusicBrainzEdit");
        auto* email = Find<QLineEdit>(form.get(), "CddbEmailEdit");
        EXPECT_EQ(box->currentText(), "CDDB, затем MusicBrainz");
        EXPECT_EQ(server->text(), "off");
        EXPECT_EQ(email->text(), "old@example.org");
        box->setCurrentIndex(1);
        server->setText(" http://mb.example:5000 ");
        email->setText(" ivan ");
        auto* onInsertion = Find<QCheckBox>(form.get(), "LookupOnInsertBox");
        EXPECT_TRUE(onInsertion->isChecked());
        onInsertion->setChecked(false);
        Find<QPushButton>(form.get(), "GetSitesButton")->click();
        EXPECT_EQ(fetchedWith, "ivan");
        if (!ok) {
            form->reject();
            continue;
        }
        dialogs_.ExpectMessage("имя@домен");
        form->accept();
        EXPECT_NE(form->result(), QDialog::Accepted);
        EXPECT_TRUE(writes.empty());
        email->setText("ivan@example.org");
        form->accept();
        EXPECT_EQ(form->result(), QDialog::Accepted);
    }
    EXPECT_TRUE(dialogs_.Done());
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].source, LookupSource::MusicBrainz);
    EXPECT_EQ(writes[0].musicBrainzServer, "http://mb.example:5000");
    EXPECT_EQ(writes[0].greetingAddress, "ivan@example.org");
    EXPECT_FALSE(writes[0].onInsertion);
}

TEST_F(SettingsFormTest, FormatEditorFiltersKeysCollapsesPercentsAndPreviews) {
    disc_.SetTrackCount(2);
    disc_.SetArtist("Кино");
    disc_.Track(0).SetTitle("Группа крови");
    disc_.Track(0).SetAudioFlag(true);
    TagBlocks tags;
    settings_.SetUseFormatString(true);
    auto form = Open(ProgramSettingsSources({}, disc_, tags, nullptr));
    form->show();
    auto* edit = Find<QLineEdit>(form.get(), "FormatEdit");
    auto* folders = Find<QCheckBox>(form.get(), "Dir_AsArtistName");
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_FALSE(folders->isEnabled());  // the format string makes the folders
    edit->setFocus();
    QTest::keyClicks(edit, "%A*/%%N?%T");
    EXPECT_EQ(edit->text(), "%A/%N%T");  // '*' and '?' refused, "%%" collapsed
    EXPECT_EQ(Find<QLabel>(form.get(), "FormatPreview")->text(), "Кино/01Группа крови.mp3");
    Find<QCheckBox>(form.get(), "UseFormatString")->setChecked(false);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_TRUE(folders->isEnabled());
}

// The read offset (per drive) and FLAC's level live outside the settings record.
TEST_F(SettingsFormTest, TheReadOffsetAndTheFlacLevelAreStoredOnOkOnly) {
    std::map<int, int> stored = {{0, 6}, {1, -1176}};
    std::vector<std::pair<int, int>> writes;
    const auto sources = [&] {
        SettingsFormSources s;
        s.driveNames = [] { return std::vector<std::string>{"Drive A", "Drive B"}; };
        s.readOffset = [&](int drive) { return stored[drive]; };
        s.storeReadOffset = [&](int drive, int samples) { writes.emplace_back(drive, samples); };
        s.detectReadOffset = [](int drive) -> std::optional<int> { return drive == 1 ? std::optional<int>(667) : std::nullopt; };
        s.flacLevel = [] { return 3; };
        s.storeFlacLevel = [&](int level) { writes.emplace_back(-1, level); };
        return s;
    };
    for (const bool ok : {false, true}) {
        writes.clear();
        auto form = Open(sources());
        form->show();
        QApplication::processEvents();
        auto* box = Find<QSpinBox>(form.get(), "ReadOffsetBox");
        auto* device = Find<QComboBox>(form.get(), "DeviceName");
        ASSERT_GE(device->count(), 2);
        device->setCurrentIndex(0);
        QApplication::processEvents();
        EXPECT_EQ(box->value(), 6);
        box->setValue(30);
        device->setCurrentIndex(1);
        EXPECT_EQ(box->value(), -1176);
        Find<QPushButton>(form.get(), "FindOffsetButton")->click();  // drive B's disc says +667
        EXPECT_EQ(box->value(), 667);
        device->setCurrentIndex(0);
        EXPECT_EQ(box->value(), 30);  // the edit is kept while the dialog is open
        auto* level = Find<QSpinBox>(form.get(), "FlacLevelBox");
        EXPECT_EQ(level->value(), 3);
        level->setValue(8);
        EXPECT_TRUE(writes.empty());
        if (ok) form->accept();
        else form->reject();
        const std::vector<std::pair<int, int>> expected =
            ok ? std::vector<std::pair<int, int>>{{-1, 8}, {0, 30}, {1, 667}} : std::vector<std::pair<int, int>>{};
        EXPECT_EQ(writes, expected);
    }
}
