#include "ui/WriteSettingForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/WindowTexts.h"
#include "base/Interaction.h"
#include "ui/WindowTextApplier.h"

namespace sv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TWriteSettingForm::TWriteSettingForm(TWriteSettings& settings, IUserDialogs& dialogs, TLanguage& language,
                                     const std::string& languageName, QWidget* parent)
    : QDialog(parent), settings_(settings), dialogs_(dialogs), language_(language), languageName_(languageName) {
    setObjectName("TWriteSettingForm");
    auto* grid = new QGridLayout(this);
    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        return l;
    };
    auto check = [this](const char* name) {
        auto* c = new QCheckBox(this);
        c->setObjectName(name);
        return c;
    };
    speed_ = new QComboBox(this);
    speed_->setObjectName("SpeedBox");
    for (const auto& item : WriteSpeedItems()) speed_->addItem(Q(item));
    priority_ = new QComboBox(this);
    priority_->setObjectName("PriorityBox");
    for (const auto& item : PriorityItems()) priority_->addItem(Q(item));
    sectors_ = new QLineEdit(this);
    sectors_->setObjectName("SectorsEdit");
    sectors_->setMaxLength(kSectorsPerWriteMaxChars);
    grid->addWidget(label("SpeedLabel"), 0, 0);
    grid->addWidget(speed_, 0, 1);
    grid->addWidget(label("PriorityLabel"), 1, 0);
    grid->addWidget(priority_, 1, 1);
    grid->addWidget(label("SectorsLabel"), 2, 0);
    grid->addWidget(sectors_, 2, 1);
    ask_ = check("AskBox");
    decode_ = check("DecodeBox");
    eject_ = check("EjectBox");
    remember_ = check("RememberBox");
    cue_ = check("CueBox");
    cdText_ = check("CdTextBox");
    playSound_ = check("PlaySoundBox");
    int row = 3;
    for (QCheckBox* c : {ask_, decode_, eject_, remember_, cue_, cdText_, playSound_}) grid->addWidget(c, row++, 0, 1, 3);
    soundFile_ = new QLineEdit(this);
    soundFile_->setObjectName("SoundFileEdit");
    auto* browse = new QPushButton(this);
    browse->setObjectName("BrowseButton");
    grid->addWidget(soundFile_, row, 0, 1, 2);
    grid->addWidget(browse, row++, 2);
    auto* ok = new QPushButton(this);
    ok->setObjectName("OkButton");
    ok->setDefault(true);
    auto* cancel = new QPushButton(this);
    cancel->setObjectName("CancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, row, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    ApplyBuiltinTexts(this, WriteSettingFormTexts());
    ApplyLanguageToDialog(this, WriteSettingFormTexts(), language_, languageName_);
    SetValues(DialogValuesOf(settings_));
    // The write thread runs at normal priority and the burn window has no
    // player: these settings are kept in the record but cannot be changed here.
    for (QWidget* w : {static_cast<QWidget*>(priority_), static_cast<QWidget*>(playSound_),
                       static_cast<QWidget*>(soundFile_), static_cast<QWidget*>(browse)})
        w->setEnabled(false);

    connect(ok, &QPushButton::clicked, this, &TWriteSettingForm::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

WriteSettingsDialogValues TWriteSettingForm::Values() const {
    WriteSettingsDialogValues v;
    v.speedItem = speed_->currentIndex();
    v.priorityItem = priority_->currentIndex();
    v.sectorsText = sectors_->text().toStdString();
    v.askBeforeDiscOperations = ask_->isChecked();
    v.decodeWhileWriting = decode_->isChecked();
    v.playSoundAtEnd = playSound_->isChecked();
    v.ejectAfterBurning = eject_->isChecked();
    v.rememberLastProject = remember_->isChecked();
    v.writeImageCue = cue_->isChecked();
    v.writeCdText = cdText_->isChecked();
    v.soundFile = soundFile_->text().toStdString();
    return v;
}

void TWriteSettingForm::SetValues(const WriteSettingsDialogValues& v) {
    speed_->setCurrentIndex(v.speedItem);
    priority_->setCurrentIndex(v.priorityItem);
    sectors_->setText(Q(v.sectorsText));
    ask_->setChecked(v.askBeforeDiscOperations);
    decode_->setChecked(v.decodeWhileWriting);
    playSound_->setChecked(v.playSoundAtEnd);
    eject_->setChecked(v.ejectAfterBurning);
    remember_->setChecked(v.rememberLastProject);
    cue_->setChecked(v.writeImageCue);
    cdText_->setChecked(v.writeCdText);
    soundFile_->setText(Q(v.soundFile));
}

void TWriteSettingForm::accept() {
    if (!StoreDialogValues(Values(), settings_)) {
        // Everything else is stored; the path does not fit the record.
        dialogs_.ShowMessage(
            WindowValueText(WriteSettingFormTexts(), "SoundTooLong", language_, languageName_).toStdString(),
            MessageIcon::Warning);
        return;
    }
    QDialog::accept();
}

}  // namespace sv
