// TWriteSettingForm: the burn settings dialog over a TWriteSettings record:
// speed, thread priority, sectors per write, the check boxes and the sound
// file played when a burn ends. Ok stores everything into the record (the
// burn window writes the file when it closes); Cancel and Esc store nothing.
#pragma once

#include <QDialog>

#include <string>

#include "writer/WriteSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace sv {

class IUserDialogs;
class TLanguage;

class TWriteSettingForm : public QDialog {
    Q_OBJECT
public:
    TWriteSettingForm(TWriteSettings& settings, IUserDialogs& dialogs, TLanguage& language,
                      const std::string& languageName, QWidget* parent = nullptr);

    // What the controls show now.
    WriteSettingsDialogValues Values() const;
    void SetValues(const WriteSettingsDialogValues& values);

public slots:
    void accept() override;

private:
    TWriteSettings& settings_;
    IUserDialogs& dialogs_;
    TLanguage& language_;
    std::string languageName_;
    QComboBox* speed_ = nullptr;
    QComboBox* priority_ = nullptr;
    QLineEdit* sectors_ = nullptr;
    QCheckBox* ask_ = nullptr;
    QCheckBox* decode_ = nullptr;
    QCheckBox* playSound_ = nullptr;
    QCheckBox* eject_ = nullptr;
    QCheckBox* remember_ = nullptr;
    QCheckBox* cue_ = nullptr;
    QCheckBox* cdText_ = nullptr;
    QLineEdit* soundFile_ = nullptr;
};

}  // namespace sv
