// TID3Form: the ID3 tag editor. In track mode it edits the tags of the disc in
// the drive (prefilled from the disc, OK hands titles, album, artist and the
// compilation flag back to the disc record); in record mode it edits tag
// records handed over by the caller, without the compilation box and the
// copy-to-all command.
#pragma once

#include <QDialog>

#include <array>
#include <string>

#include "app/TagEditor.h"
#include "base/DiscInfo.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace sv {

class TLanguage;
class TMainForm;

class TID3Form : public QDialog {
    Q_OBJECT
public:
    // `acceptInto` is the disc record that OK updates in track mode (unused in
    // record mode).
    TID3Form(TTagEditor& editor, DISC_INFO* acceptInto, TLanguage& language, const std::string& languageName,
             QWidget* parent = nullptr);

    TTagEditor& Editor() { return editor_; }
    // What OK did to the disc record (track mode).
    const TTagEditor::AcceptResult& Result() const { return result_; }

private:
    void ShowFields();
    void FieldEdited(TagField field, const QString& text);
    void CommentChanged();
    void Notice(const QString& text);
    QString Text(const char* key) const;

    TTagEditor& editor_;
    DISC_INFO* acceptInto_;
    TLanguage& language_;
    std::string languageName_;
    TTagEditor::AcceptResult result_;
    QComboBox* trackBox_ = nullptr;
    QCheckBox* present_ = nullptr;
    QCheckBox* compilation_ = nullptr;
    QPushButton* copyAll_ = nullptr;
    std::array<QLineEdit*, kTagFieldCount> edits_{};  // null for the comment
    std::array<QLabel*, kTagFieldCount> labels_{};
    QPlainTextEdit* comment_ = nullptr;
    QString commentShown_;
    QLabel* notice_ = nullptr;
    bool filling_ = false;
};

// The tag command of the main window: edits the tags of the disc in the drive
// starting at `selectedTrack` (track 0 when it is -1). On OK the titles go to
// the track list and a new album or artist to the main window's fields. True
// when the user pressed OK.
bool RunId3Form(TMainForm& main, QWidget* parent, int selectedTrack);

// Record mode on `records` with `titles` in the track selector, starting at
// `selected`. True when the editor stored anything into the records (OK, or a
// change of track).
bool RunId3FormOnRecords(TagBlocks& records, const std::vector<std::string>& titles, int selected,
                         TLanguage& language, const std::string& languageName, QWidget* parent);

}  // namespace sv
