// TCDDBEditForm: the local CDDB editor. Shows the album cache as a tree of
// artists and their albums with the selected album's tracks; names are edited
// in place, tags through the ID3 editor, and albums are deleted after a
// question. Changes are written when the window closes.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "app/AlbumEditor.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace sv {

class TLanguage;
class TMainForm;

class TCDDBEditForm : public QDialog {
    Q_OBJECT
public:
    TCDDBEditForm(const std::string& folder, IUserDialogs& dialogs, TLanguage& language,
                  const std::string& languageName, QWidget* parent = nullptr);
    ~TCDDBEditForm() override;

    // Reads the cache into the tree; names the files that are no album files.
    void Load();
    TAlbumEditor& Editor() { return editor_; }
    // The album of the selected node, null when an artist or nothing is selected.
    TNodeData* SelectedAlbum() const;

    // What "ID3v2 ..." runs on the selected album's tag records; true when it
    // stored anything. Tests replace it.
    using TagEditorRunner = std::function<bool(TagBlocks&, const std::vector<std::string>& titles, int track)>;
    void SetTagEditorRunner(TagEditorRunner runner) { tagRunner_ = std::move(runner); }

    void done(int result) override;

private:
    void Rebuild();
    void SelectionChanged();
    void ShowTracks(const TNodeData* album);
    void TreeItemChanged(QTreeWidgetItem* item);
    void TrackItemChanged(QTreeWidgetItem* item);
    void EditTags();
    void DeleteAlbum();
    void DeleteArtist();
    void TooLong(std::size_t maxBytes);
    QString Text(const char* key) const;

    TAlbumEditor editor_;
    IUserDialogs& dialogs_;
    TLanguage& language_;
    std::string languageName_;
    TagEditorRunner tagRunner_;
    QTreeWidget* tree_ = nullptr;
    QTreeWidget* tracks_ = nullptr;
    QCheckBox* compilation_ = nullptr;
    QPushButton* id3_ = nullptr;
    QPushButton* deleteAlbum_ = nullptr;
    QPushButton* deleteArtist_ = nullptr;
    bool filling_ = false;
    bool closed_ = false;
};

// The main window's local database command: the editor on the album cache.
void RunCddbEditor(TMainForm& main, QWidget* parent);

}  // namespace sv
