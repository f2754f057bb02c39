#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include "app/CdromDriveAccess.h"
#include "app/LanguageFiles.h"
#include "app/MainForm.h"
#include "support/BuiltinLanguage.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/Application.h"
#include "ui/ChoseForm.h"
#include "ui/DriveInfoForm.h"
#include "ui/ReadCommandForm.h"

using namespace sv;

namespace {

DriveEnvironment DemoOnly(IClock* clock) {
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.clock = clock;
    return env;
}

class WithRussian : public ::testing::Test {
protected:
    svtest::BuiltinLanguage builtin_;
    TLanguage& lang_ = builtin_.Language();
    ManualClock clock_;
};

using ReadCommandForm = WithRussian;

}  // namespace

TEST_F(ReadCommandForm, ShowsTheTriesAndOkTakesTheSelectedRow) {
    CdromDriveAccess drives(DemoOnly(&clock_), nullptr, true);
    svtest::ScriptedDialogs dialogs;
    const auto rows = drives.DetectReadCommands(1, 0, 13, dialogs, nullptr);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 27u);
    TReadCommandForm form(*rows, lang_, "Russian");
    auto* list = form.findChild<QTreeWidget*>("ResultList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->topLevelItemCount(), 27);
    EXPECT_EQ(list->headerItem()->text(1), "Тип команды");
    EXPECT_EQ(list->topLevelItem(2)->text(2), "13");
    EXPECT_EQ(list->topLevelItem(25)->text(1), "READ MMC3");
    const QString result = list->topLevelItem(25)->text(3);
    EXPECT_TRUE(result == "успешно" || result == "неудачно");

    auto* ok = form.findChild<QPushButton*>("OkButton");
    ok->click();  // no row selected: nothing happens
    EXPECT_FALSE(form.Taken());
    list->setCurrentItem(list->topLevelItem(23));  // command 7, size 13
    ok->click();
    ASSERT_TRUE(form.Taken());
    EXPECT_EQ(form.Taken()->command, 7);
    EXPECT_EQ(form.Taken()->sectors, 13);
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(ReadCommandForm, NoDiscAndNoMeansNoDialog) {
    CdromDriveAccess drives(DemoOnly(&clock_), nullptr, true);
    drives.Cdrom()->VirtualDriveAt(0)->RemoveDisc();
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectYesNo("Вставьте музыкальный диск и нажмите Ok.", false);
    EXPECT_FALSE(drives.DetectReadCommands(1, 0, 26, dialogs, nullptr));
    EXPECT_TRUE(dialogs.Done());
}

TEST(SmallDialogs, DriveInformationCopiesItsLines) {
    TCDInfo info({"Привод : SORNAVAL Demo", "Чтение CD-DA      : Да"}, nullptr, "Russian");
    EXPECT_EQ(info.windowTitle(), "Информация о приводе");
    EXPECT_EQ(info.findChild<QPushButton*>("CopyButton")->text(), "Копировать");
    info.findChild<QPushButton*>("CopyButton")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "Привод : SORNAVAL Demo\nЧтение CD-DA      : Да");
}

TEST(SmallDialogs, ChooserStartsOnTheFirstMatchAndReturnsTheChoice) {
    TChoseForm form("Выбирете верные данные", {"rock / A / B", "misc / A / B (live)"}, 0);
    EXPECT_EQ(form.Chosen(), 0);
    form.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(1);
    EXPECT_EQ(form.Chosen(), 1);
}

namespace {

// An object whose event handler throws what it is told to.
class Thrower : public QObject {
public:
    std::function<void()> action;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) action();
        return QObject::event(e);
    }
};

}  // namespace

TEST(Application, ExceptionsOnTheWindowThreadAreShownNotFatal) {
    std::vector<QString> shown;
    SornavalApplication::SetExceptionReporter([&](const QString& m) { shown.push_back(m); });
    Thrower t;
    t.action = [] { throw std::runtime_error("Диск не читается"); };
    QEvent e1(QEvent::User);
    QCoreApplication::sendEvent(&t, &e1);
    t.action = [] { throw 42; };
    QEvent e2(QEvent::User);
    QCoreApplication::sendEvent(&t, &e2);
    SornavalApplication::SetExceptionReporter(nullptr);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Диск не читается");
    EXPECT_EQ(shown[1], "United error");
}
