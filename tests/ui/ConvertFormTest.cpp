// The converter window offscreen: rows follow the direction, the buttons add,
// check and remove, and a batch shows its outcome in the rows.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/LanguageFiles.h"
#include "base/Language.h"
#include "encoders/Encoders.h"
#include "support/Messages.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/ConvertForm.h"

using namespace sv;

namespace {

void Tool(const std::vector<std::string>& args) {
    QStringList rest;
    for (std::size_t i = 1; i < args.size(); ++i) rest << QString::fromStdString(args[i]);
    ASSERT_EQ(QProcess::execute(QString::fromStdString(args[0]), rest), 0) << args[0];
}

QStringList Captions(QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
    return out;
}

}  // namespace

TEST(ConvertForm, RowsFollowTheDirectionAndABatchReportsInThem) {
    svtest::UseRussianMessages();
    svtest::TempDir dir;
    const std::string src = dir.Slash() + "src/";
    std::filesystem::create_directories(src + "sub");
    Tool({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", src + "a.wav", "synth", "1.5", "sine", "440"});
    Tool({"lame", "--quiet", "-b", "128", src + "a.wav", src + "sub/one.mp3"});
    Tool({"lame", "--quiet", "-b", "128", src + "a.wav", src + "two.mp3"});

    TProgramSettings settings;
    settings.ApplyDefaults(dir.Slash(), dir.Slash() + "music/");
    settings.SetNormalize(true);
    TEncoders encoders;
    encoders.SetSettings(&settings);
    svtest::ScriptedDialogs dialogs;
    NullEventPump pump;
    TLanguage language;
    TConvertForm form(settings, encoders, dialogs, pump, language, "Russian", dir.Slash() + "TempFile/", {});
    form.show();
    auto* list = form.findChild<QTreeWidget*>("FileList");
    auto* direction = form.findChild<QComboBox*>("DirectionBox");
    ASSERT_EQ(direction->count(), 10);
    EXPECT_EQ(direction->itemText(0), "MP3    -> WAVE");

    // A folder adds its MP3 and WAV files; only the direction's type shows.
    form.AddPath(QString::fromStdString(src));
    direction->setCurrentIndex(0);
    emit direction->activated(0);
    EXPECT_EQ(Captions(list), (QStringList{"one.mp3", "two.mp3"}));
    EXPECT_EQ(list->topLevelItem(0)->text(1), "Ждет начала");
    EXPECT_FALSE(form.findChild<QPushButton*>("TagButton")->isEnabled());
    direction->setCurrentIndex(6);
    emit direction->activated(6);
    EXPECT_EQ(Captions(list), QStringList{"a.wav"});
    EXPECT_TRUE(form.findChild<QPushButton*>("TagButton")->isEnabled());

    // Back to MP3 -> WAV: a double click unchecks "one.mp3", the batch
    // converts only "two.mp3" into the output folder.
    direction->setCurrentIndex(0);
    emit direction->activated(0);
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
    form.findChild<QLineEdit*>("OutDirEdit")->setText(QString::fromStdString(dir.Slash() + "out"));
    form.findChild<QPushButton*>("StartButton")->click();
    EXPECT_EQ(list->topLevelItem(0)->text(1), "Ждет начала");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "Готово");
    EXPECT_TRUE(std::filesystem::exists(dir.Slash() + "out/two.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir.Slash() + "out/one.wav"));
    EXPECT_TRUE(settings.Normalize()) << "a batch leaves the user's normalisation on";

    // A converted row is unchecked; "check all" and "remove checked" empty
    // the list.
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    form.findChild<QPushButton*>("SelectAllButton")->click();
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked);
    form.findChild<QPushButton*>("RemoveCheckedButton")->click();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    form.close();
    EXPECT_EQ(settings.ConvertOutputDir(), dir.Slash() + "out");
    EXPECT_EQ(settings.ConvertDirection(), 0);
}
