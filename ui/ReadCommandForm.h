// TReadCommandForm: the outcome of the 27 read-command tries; Ok takes the
// selected row's command and size into the settings dialog.
#pragma once

#include <QDialog>

#include <optional>
#include <vector>

#include "app/SettingsSources.h"
#include "cdrom/ReadCommandDetection.h"

class QTreeWidget;

namespace sv {

class TLanguage;

class TReadCommandForm : public QDialog {
    Q_OBJECT
public:
    TReadCommandForm(const std::vector<DetectionRow>& rows, TLanguage& language, const std::string& languageName,
                     QWidget* parent = nullptr);
    // The taken row, once Ok closed the window with a row selected.
    std::optional<SettingsFormSources::DetectedCommand> Taken() const { return taken_; }

private:
    std::vector<DetectionRow> rows_;
    QTreeWidget* list_ = nullptr;
    std::optional<SettingsFormSources::DetectedCommand> taken_;
};

}  // namespace sv
