#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QKeyEvent>
#include <QTreeWidget>

#include <filesystem>
#include <functional>

#include "app/CdromDriveAccess.h"
#include "app/LanguageFiles.h"
#include "base/Language.h"
#include "support/BuiltinLanguage.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/CDDBEditForm.h"
#include "ui/ID3Form.h"
#include "ui/MainWindow.h"

using namespace sv;
using svtest::ReadFileBytes;
using svtest::TempDir;
using svtest::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

// Types `text` into `w` key by key, as the keyboard would (also letters that
// QTest::keyClicks cannot map to a key).
void Type(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

class MetadataForms : public ::testing::Test {
protected:
    static DISC_INFO Disc(const std::string& artist, const std::string& album, int tracks) {
        DISC_INFO disc;
        disc.SetArtist(artist);
        disc.SetAlbum(album);
        disc.SetTrackCount(static_cast<std::uint8_t>(tracks));
        for (int i = 0; i < tracks; ++i) {
            disc.Track(i).SetTitle(album + " " + std::to_string(i + 1));
            disc.Track(i).SetAudioFlag(true);
            disc.Track(i).SetLengthMsf(Msf{4, static_cast<std::uint8_t>(i), 0});
        }
        return disc;
    }
    fs::path WriteAlbum(const std::string& name, const DISC_INFO& disc) {
        const fs::path file = albums_.Path() / (name + ".dat");
        WriteFileBytes(file, std::string(reinterpret_cast<const char*>(disc.Data()), DISC_INFO::kSize));
        return file;
    }
    template <class T>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Runs `action` on the modal dialog once it is shown.
    static void OnModal(std::function<void(QWidget*)> action) {
        QTimer::singleShot(0, [action] {
            if (QWidget* modal = QApplication::activeModalWidget()) action(modal);
            else OnModal(action);
        });
    }

    svtest::BuiltinLanguage builtin_;
    TempDir albums_;
    TLanguage& lang_ = builtin_.Language();
    svtest::ScriptedDialogs dialogs_;
};

}  // namespace

TEST_F(MetadataForms, TagEditorPrefillsATrackWithoutATagAndAnEditMarksItPresent) {
    DISC_INFO disc = Disc("Кино", "Группа крови", 4);
    TagBlocks tags;
    tags.EnsureCount(4);
    TTagEditor editor(disc, tags, "LAME 3.100", 1);
    TID3Form form(editor, &disc, lang_, "Russian");
    form.show();
    EXPECT_TRUE(form.windowTitle().startsWith("Теги ID3"));
    auto* present = Find<QCheckBox>(&form, "PresentBox");
    auto* trackBox = Find<QComboBox>(&form, "TrackBox");
    EXPECT_EQ(trackBox->count(), 4);
    EXPECT_EQ(trackBox->currentIndex(), 1);
    EXPECT_EQ(Find<QLineEdit>(&form, "ArtistEdit")->text(), "Кино");
    EXPECT_EQ(Find<QLineEdit>(&form, "CopyrightEdit")->text(), "Кино");
    EXPECT_EQ(Find<QLineEdit>(&form, "TrackNumberEdit")->text(), "2");
    EXPECT_EQ(Find<QLineEdit>(&form, "EncodedByEdit")->text(), "LAME 3.100");
    EXPECT_EQ(Find<QLineEdit>(&form, "TitleEdit")->text(), "Группа крови 2");
    EXPECT_FALSE(present->isChecked());
    EXPECT_TRUE(Find<QCheckBox>(&form, "CompilationBox")->isVisible());
    EXPECT_TRUE(Find<QPushButton>(&form, "CopyAllLabel")->isVisible());

    auto* title = Find<QLineEdit>(&form, "TitleEdit");
    title->selectAll();
    Type(title, "Звезда");
    EXPECT_TRUE(present->isChecked());
    EXPECT_TRUE(trackBox->itemText(1).endsWith("Звезда"));

    // Another track: the edited one is stored first.
    trackBox->setCurrentIndex(3);
    emit trackBox->activated(3);
    EXPECT_EQ(Find<QLineEdit>(&form, "TrackNumberEdit")->text(), "4");
    EXPECT_FALSE(present->isChecked());
    EXPECT_TRUE(tags.Block(1).Present());
    EXPECT_EQ(tags.Block(1).Title(), "Звезда");

    Find<QCheckBox>(&form, "CompilationBox")->click();
    Find<QPushButton>(&form, "OkButton")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(disc.Compilation());
    EXPECT_EQ(disc.Track(1).Title(), "Звезда");
    EXPECT_EQ(tags.Block(3).TrackNumber(), "4");  // the form of track 4 stored on OK
}

TEST_F(MetadataForms, TagEditorRefusesTextThatDoesNotFitAndSaysSo) {
    DISC_INFO disc = Disc("A", "B", 1);
    TagBlocks tags;
    TTagEditor editor(disc, tags, "LAME", 0);
    TID3Form form(editor, &disc, lang_, "Russian");
    form.show();
    auto* notice = Find<QLabel>(&form, "NoticeLabel");
    EXPECT_FALSE(notice->isVisible());
    auto* number = Find<QLineEdit>(&form, "TrackNumberEdit");
    number->clear();
    Type(number, "12345");
    EXPECT_EQ(number->text(), "123");
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->text().contains("Номер трека")) << notice->text().toStdString();

    auto* comment = Find<QPlainTextEdit>(&form, "CommentEdit");
    comment->setPlainText(QString(1023, 'c'));
    EXPECT_EQ(comment->toPlainText().size(), 1023);
    comment->setPlainText(QString(1000, 'c') + QString(24, QChar(0x0436)));  // 1048 bytes
    EXPECT_EQ(comment->toPlainText(), QString(1023, 'c'));
    Find<QPushButton>(&form, "OkButton")->click();
    EXPECT_EQ(tags.Block(0).TrackNumber(), "123");
    EXPECT_EQ(tags.Block(0).Comment(), std::string(1023, 'c'));
}

TEST_F(MetadataForms, TagEditorShortensAndReportsAStoredTitleTooLongForTheTag) {
    DISC_INFO disc = Disc("A", "B", 1);
    disc.Track(0).SetTitle(std::string(80, 'L'));
    TagBlocks tags;
    TTagEditor editor(disc, tags, "LAME", 0);
    TID3Form form(editor, &disc, lang_, "Russian");
    form.show();
    EXPECT_EQ(Find<QLineEdit>(&form, "TitleEdit")->text(), QString(49, 'L'));
    EXPECT_TRUE(Find<QLabel>(&form, "NoticeLabel")->isVisible());
    Find<QPushButton>(&form, "CancelButton")->click();
    EXPECT_EQ(disc.Track(0).Title(), std::string(80, 'L'));  // the disc keeps its title
}

TEST_F(MetadataForms, CancelDoesNotStoreTheForm) {
    DISC_INFO disc = Disc("A", "B", 2);
    TagBlocks tags;
    tags.EnsureCount(2);
    TTagEditor editor(disc, tags, "LAME", 0);
    TID3Form form(editor, &disc, lang_, "Russian");
    form.show();
    Type(Find<QLineEdit>(&form, "ComposerEdit"), "X");
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(tags.Block(0).Present());
    EXPECT_EQ(tags.Block(0).Composer(), "");
}

TEST_F(MetadataForms, RecordModeHasNoCompilationBoxAndEditsOnlyTheFields) {
    TagBlocks records;
    records.EnsureCount(2);
    records.Block(0).SetTitle("Старое");
    TTagEditor editor(records, {"Один", "Два"}, 0);
    TID3Form form(editor, nullptr, lang_, "Russian");
    form.show();
    EXPECT_FALSE(Find<QCheckBox>(&form, "CompilationBox")->isVisible());
    EXPECT_FALSE(Find<QPushButton>(&form, "CopyAllLabel")->isVisible());
    auto* title = Find<QLineEdit>(&form, "TitleEdit");
    EXPECT_EQ(title->text(), "Старое");
    title->selectAll();
    Type(title, "Новое");
    EXPECT_FALSE(Find<QCheckBox>(&form, "PresentBox")->isChecked());
    EXPECT_TRUE(Find<QComboBox>(&form, "TrackBox")->itemText(0).endsWith("Один"));
    Find<QPushButton>(&form, "OkButton")->click();
    EXPECT_EQ(records.Block(0).Title(), "Новое");
    EXPECT_FALSE(records.Block(0).Present());
}

TEST_F(MetadataForms, TheTagCommandUpdatesTheMainWindowsListAndAlbumField) {
    TempDir dir;
    ManualClock clock;
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.clock = &clock;
    CdromDriveAccess drives(env, nullptr, true);
    NullEventPump pump;
    TMainWindow window(drives, dialogs_, pump, {dir.Slash(), dir.Slash() + "setting/", dir.Slash() + "Music/"});
    window.Start();
    window.show();
    TMainForm& main = window.Controller();
    ASSERT_GE(main.Disc().TrackCount(), 2);
    main.Disc().SetAlbum("");
    main.Disc().SetArtist("Кто-то");
    OnModal([](QWidget* modal) {
        ASSERT_EQ(modal->objectName(), "TID3Form");
        EXPECT_EQ(modal->findChild<QLineEdit*>("ArtistEdit")->text(), "Кто-то");
        EXPECT_EQ(modal->findChild<QLineEdit*>("TrackNumberEdit")->text(), "2");
        auto* title = modal->findChild<QLineEdit*>("TitleEdit");
        title->selectAll();
        Type(title, "Вторая песня");
        Type(modal->findChild<QLineEdit*>("AlbumEdit"), "Новый альбом");
        modal->findChild<QPushButton*>("OkButton")->click();
    });
    EXPECT_TRUE(RunId3Form(main, &window, 1));
    EXPECT_EQ(main.Disc().Track(1).Title(), "Вторая песня");
    EXPECT_EQ(main.Disc().Album(), "Новый альбом");
    EXPECT_EQ(main.Disc().Artist(), "Кто-то");
    EXPECT_EQ(window.findChild<QTreeWidget*>("ListView")->topLevelItem(1)->text(0), "Вторая песня");
    EXPECT_EQ(window.findChild<QLineEdit*>("AlbumEdit")->text(), "Новый альбом");
    EXPECT_TRUE(main.Tags().Block(1).Present());
    EXPECT_EQ(main.Tags().Block(1).Album(), "Новый альбом");
}

TEST_F(MetadataForms, CddbEditorShowsArtistsAndEnablesTheCommandsOfTheSelection) {
    WriteAlbum("1", Disc("КИНО", "Звезда", 2));
    WriteAlbum("2", Disc("кино", "Ночь", 3));
    TCDDBEditForm form(albums_.Slash(), dialogs_, lang_, "Russian");
    form.Load();
    form.show();
    EXPECT_EQ(form.windowTitle(), "Редактор локальной CDDB");
    auto* tree = Find<QTreeWidget>(&form, "TreeView");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* artist = tree->topLevelItem(0);
    ASSERT_EQ(artist->childCount(), 2);
    EXPECT_EQ(artist->child(1)->text(0), "Ночь");
    auto* deleteArtist = Find<QPushButton>(&form, "DeleteArtistButton");
    auto* deleteAlbum = Find<QPushButton>(&form, "DeleteAlbumButton");
    auto* id3 = Find<QPushButton>(&form, "ID3Button");
    auto* compilation = Find<QCheckBox>(&form, "CompilationBox");

    tree->setCurrentItem(artist);
    EXPECT_TRUE(deleteArtist->isEnabled());
    EXPECT_FALSE(deleteAlbum->isEnabled());
    EXPECT_FALSE(id3->isEnabled());
    EXPECT_FALSE(compilation->isEnabled());

    tree->setCurrentItem(artist->child(1));
    EXPECT_FALSE(deleteArtist->isEnabled());
    EXPECT_TRUE(deleteAlbum->isEnabled());
    EXPECT_TRUE(id3->isEnabled());
    EXPECT_TRUE(compilation->isEnabled());
    auto* tracks = Find<QTreeWidget>(&form, "TrackList");
    ASSERT_EQ(tracks->topLevelItemCount(), 3);
    EXPECT_EQ(tracks->topLevelItem(2)->text(0), "Ночь 3");
    EXPECT_EQ(tracks->topLevelItem(2)->text(1), "04:02:00");
    EXPECT_EQ(tracks->headerItem()->text(1), "Длина");
    form.reject();
    // Nothing was edited: no file was written.
    EXPECT_FALSE(fs::exists(albums_.Path() / "1.dat.tag"));
}

TEST_F(MetadataForms, CddbEditorWritesRenamesAndTagsWhenItCloses) {
    const fs::path file = WriteAlbum("5", Disc("Аквариум", "Табу", 2));
    TCDDBEditForm form(albums_.Slash(), dialogs_, lang_, "Russian");
    form.Load();
    form.show();
    auto* tree = Find<QTreeWidget>(&form, "TreeView");
    QTreeWidgetItem* album = tree->topLevelItem(0)->child(0);
    tree->setCurrentItem(album);
    auto* tracks = Find<QTreeWidget>(&form, "TrackList");
    tracks->topLevelItem(0)->setText(0, "Сползает крыша");  // what the in-place editor does
    album->setText(0, "Табу (1982)");

    // Too long: a message, and the old name stays.
    dialogs_.ExpectMessage("не больше 49 байт");
    tree->topLevelItem(0)->setText(0, QString(50, 'x'));
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Аквариум");

    tracks->setCurrentItem(tracks->topLevelItem(1));
    int seenTrack = -1;
    form.SetTagEditorRunner([&](TagBlocks& tags, const std::vector<std::string>& titles, int track) {
        seenTrack = track;
        EXPECT_EQ(titles.at(0), "Сползает крыша");
        tags.Block(track).SetPresent(true);
        tags.Block(track).SetComposer("Б. Гребенщиков");
        return true;
    });
    Find<QPushButton>(&form, "ID3Button")->click();
    EXPECT_EQ(seenTrack, 1);
    Find<QPushButton>(&form, "CloseButton")->click();
    EXPECT_TRUE(dialogs_.Done());

    const std::string bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), DISC_INFO::kSize);
    DISC_INFO disc;
    std::copy(bytes.begin(), bytes.end(), disc.Data());
    EXPECT_EQ(disc.Album(), "Табу (1982)");
    EXPECT_EQ(disc.Artist(), "Аквариум");
    EXPECT_EQ(disc.Track(0).Title(), "Сползает крыша");
    const std::string tagBytes = ReadFileBytes(file.string() + ".tag");
    ASSERT_EQ(tagBytes.size(), 2 * kTagRecordSize);
    TagRecord second;
    std::copy_n(tagBytes.begin() + kTagRecordSize, kTagRecordSize, second.Data());
    EXPECT_TRUE(second.Present());
    EXPECT_EQ(second.Composer(), "Б. Гребенщиков");
}

TEST_F(MetadataForms, CddbEditorOpensTheTagEditorInRecordModeOnTheSelectedTrack) {
    const fs::path file = WriteAlbum("6", Disc("Алиса", "Шабаш", 3));
    TCDDBEditForm form(albums_.Slash(), dialogs_, lang_, "Russian");
    form.Load();
    form.show();
    auto* tree = Find<QTreeWidget>(&form, "TreeView");
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    auto* tracks = Find<QTreeWidget>(&form, "TrackList");
    tracks->setCurrentItem(tracks->topLevelItem(2));
    OnModal([](QWidget* modal) {
        ASSERT_EQ(modal->objectName(), "TID3Form");
        EXPECT_FALSE(modal->findChild<QCheckBox*>("CompilationBox")->isVisible());
        auto* box = modal->findChild<QComboBox*>("TrackBox");
        EXPECT_EQ(box->count(), 3);
        EXPECT_EQ(box->currentIndex(), 2);
        EXPECT_TRUE(box->itemText(0).endsWith("Шабаш 1"));
        Type(modal->findChild<QLineEdit*>("UrlEdit"), "http://alisa.example/");
        modal->findChild<QPushButton*>("OkButton")->click();
    });
    Find<QPushButton>(&form, "ID3Button")->click();
    form.accept();
    const std::string tagBytes = ReadFileBytes(file.string() + ".tag");
    ASSERT_EQ(tagBytes.size(), 3 * kTagRecordSize);
    TagRecord third;
    std::copy_n(tagBytes.begin() + 2 * kTagRecordSize, kTagRecordSize, third.Data());
    EXPECT_EQ(third.Url(), "http://alisa.example/");
}

TEST_F(MetadataForms, CddbEditorDeletesAnAlbumAfterTheQuestion) {
    const fs::path a = WriteAlbum("7", Disc("ДДТ", "Оттепель", 1));
    const fs::path b = WriteAlbum("8", Disc("ДДТ", "Актриса Весна", 1));
    WriteFileBytes(albums_.Path() / "9.dat", "not an album");
    dialogs_.ExpectMessage("не являются файлами альбомов");
    TCDDBEditForm form(albums_.Slash(), dialogs_, lang_, "Russian");
    form.Load();
    form.show();
    auto* tree = Find<QTreeWidget>(&form, "TreeView");
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    dialogs_.ExpectYesNo("Удалить альбом?", false);
    Find<QPushButton>(&form, "DeleteAlbumButton")->click();
    EXPECT_TRUE(fs::exists(a));
    dialogs_.ExpectYesNo("Удалить альбом?", true);
    Find<QPushButton>(&form, "DeleteAlbumButton")->click();
    EXPECT_FALSE(fs::exists(a));
    EXPECT_TRUE(fs::exists(b));
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->childCount(), 1);
    form.accept();
    EXPECT_TRUE(dialogs_.Done());
    EXPECT_EQ(ReadFileBytes(albums_.Path() / "9.dat"), "not an album");
}
