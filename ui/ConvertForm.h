// TConvertForm: the media converter window. It shows the converter's rows for
// the chosen direction, adds files (dialog, folder, drag and drop), removes
// and checks them, edits a WAV file's tag, and runs the batch with per-row
// progress, a running caption and a Cancel button. The window cannot be
// closed while a batch runs; closing it stores the converter's settings and
// removes its temporary files.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

#include "convert/Converter.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace sv {

class TEncoders;
class TLanguage;

class TConvertForm : public QDialog, private IConvertView {
    Q_OBJECT
public:
    // `encoderSettings` opens the settings dialog on its MP3 page.
    TConvertForm(TProgramSettings& settings, TEncoders& encoders, IUserDialogs& dialogs, IEventPump& pump,
                 TLanguage& language, const std::string& languageName, const std::string& tempFolder,
                 std::function<void()> encoderSettings, QWidget* parent = nullptr);
    ~TConvertForm() override;

    TConverter& Converter() { return *converter_; }
    // Adds a file or, for a folder, every file below it that the converter
    // reads (what a drop does).
    void AddPath(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // IConvertView
    void RowsChanged() override;
    void RowStatusChanged(int row, const std::string& status) override;
    void RowCheckChanged(int row, bool checked) override;
    void CurrentRowChanged(int row) override;
    void CaptionChanged(const std::string& caption) override;
    void RunningChanged(bool running) override;

    void DirectionChosen(int index);
    void UpdateDirectionControls();
    void EditTag();
    void StartBatch();
    void ReadOptions();
    QString Value(const char* key) const;

    TLanguage& language_;
    std::string languageName_;
    IUserDialogs& dialogs_;
    std::function<void()> encoderSettings_;
    std::unique_ptr<TConverter> converter_;
    QComboBox* direction_ = nullptr;
    QComboBox* bitrate_ = nullptr;
    QLineEdit* outDir_ = nullptr;
    QCheckBox* keepLocation_ = nullptr;
    QCheckBox* deleteSources_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* tags_ = nullptr;
    bool filling_ = false;
};

}  // namespace sv
