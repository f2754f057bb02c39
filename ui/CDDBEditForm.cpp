#include "ui/CDDBEditForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstring>

#include "app/MainForm.h"
#include "app/WindowTexts.h"
#include "base/Language.h"
#include "ui/ID3Form.h"
#include "ui/QtDialogs.h"
#include "ui/WindowTextApplier.h"

namespace sv {

namespace {

enum NodeKind { kArtistNode = 1, kAlbumNode = 2 };
constexpr int kKindRole = Qt::UserRole;
constexpr int kNodeRole = Qt::UserRole + 1;

int KindOf(const QTreeWidgetItem* item) { return item ? item->data(0, kKindRole).toInt() : 0; }

template <class T>
T* NodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<T*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

}  // namespace

TCDDBEditForm::TCDDBEditForm(const std::string& folder, IUserDialogs& dialogs, TLanguage& language,
                             const std::string& languageName, QWidget* parent)
    : QDialog(parent), editor_(folder, dialogs), dialogs_(dialogs), language_(language), languageName_(languageName) {
    setObjectName("TCDDBEditForm");
    tagRunner_ = [this](TagBlocks& tags, const std::vector<std::string>& titles, int track) {
        return RunId3FormOnRecords(tags, titles, track, language_, languageName_, this);
    };
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(Qt::Horizontal, this);

    tree_ = new QTreeWidget(splitter);
    tree_->setObjectName("TreeView");
    tree_->setColumnCount(1);
    tree_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    tree_->setMinimumWidth(240);

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    tracks_ = new QTreeWidget(right);
    tracks_->setObjectName("TrackList");
    tracks_->setColumnCount(3);
    tracks_->setRootIsDecorated(false);
    tracks_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    tracks_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tracks_->header()->setStretchLastSection(false);
    tracks_->setMinimumWidth(420);
    rightLayout->addWidget(tracks_, 1);

    auto* actions = new QHBoxLayout;
    compilation_ = new QCheckBox(right);
    compilation_->setObjectName("CompilationBox");
    id3_ = new QPushButton(right);
    id3_->setObjectName("ID3Button");
    deleteAlbum_ = new QPushButton(right);
    deleteAlbum_->setObjectName("DeleteAlbumButton");
    deleteAlbum_->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    actions->addWidget(compilation_);
    actions->addStretch(1);
    actions->addWidget(id3_);
    actions->addWidget(deleteAlbum_);
    rightLayout->addLayout(actions);
    splitter->addWidget(tree_);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    auto* bottom = new QHBoxLayout;
    deleteArtist_ = new QPushButton(this);
    deleteArtist_->setObjectName("DeleteArtistButton");
    deleteArtist_->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    auto* hint = new QLabel(this);
    hint->setObjectName("HintLabel");
    hint->setEnabled(false);
    auto* close = new QPushButton(this);
    close->setObjectName("CloseButton");
    bottom->addWidget(deleteArtist_);
    bottom->addSpacing(12);
    bottom->addWidget(hint, 1);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { TreeItemChanged(item); });
    connect(tracks_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { TrackItemChanged(item); });
    connect(compilation_, &QCheckBox::clicked, this, [this](bool on) {
        if (TNodeData* album = SelectedAlbum()) editor_.SetCompilation(*album, on);
    });
    connect(id3_, &QPushButton::clicked, this, &TCDDBEditForm::EditTags);
    connect(deleteAlbum_, &QPushButton::clicked, this, &TCDDBEditForm::DeleteAlbum);
    connect(deleteArtist_, &QPushButton::clicked, this, &TCDDBEditForm::DeleteArtist);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    ApplyBuiltinTexts(this, CddbEditFormTexts());
    ApplyLanguageToDialog(this, CddbEditFormTexts(), language_, languageName_);
    SelectionChanged();
    resize(860, 520);
}

TCDDBEditForm::~TCDDBEditForm() {
    if (!closed_) {
        closed_ = true;
        tree_->clear();
        editor_.Close();
    }
}

QString TCDDBEditForm::Text(const char* key) const {
    return WindowValueText(CddbEditFormTexts(), key, language_, languageName_);
}

void TCDDBEditForm::Load() {
    const auto damaged = editor_.Load();
    Rebuild();
    if (damaged.empty()) return;
    std::string text = Text("Damaged").toStdString();
    for (const auto& file : damaged) text += "\n" + file;
    dialogs_.ShowMessage(text, MessageIcon::Warning);
}

void TCDDBEditForm::Rebuild() {
    const bool wasFilling = filling_;
    filling_ = true;
    tree_->clear();
    for (const auto& artist : editor_.Artists()) {
        auto* top = new QTreeWidgetItem(tree_);
        top->setText(0, QString::fromStdString(artist->text));
        top->setData(0, kKindRole, kArtistNode);
        top->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(artist.get())));
        top->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        top->setFlags(top->flags() | Qt::ItemIsEditable);
        for (const auto& album : artist->albums) {
            auto* child = new QTreeWidgetItem(top);
            child->setText(0, QString::fromStdString(album->record.Album()));
            child->setData(0, kKindRole, kAlbumNode);
            child->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(album.get())));
            child->setIcon(0, style()->standardIcon(QStyle::SP_DriveCDIcon));
            child->setFlags(child->flags() | Qt::ItemIsEditable);
        }
    }
    filling_ = wasFilling;
    SelectionChanged();
}

TNodeData* TCDDBEditForm::SelectedAlbum() const {
    QTreeWidgetItem* item = tree_->currentItem();
    return KindOf(item) == kAlbumNode ? NodeOf<TNodeData>(item) : nullptr;
}

void TCDDBEditForm::SelectionChanged() {
    QTreeWidgetItem* item = tree_->currentItem();
    const int kind = KindOf(item);
    TNodeData* album = kind == kAlbumNode ? NodeOf<TNodeData>(item) : nullptr;
    deleteArtist_->setEnabled(kind == kArtistNode);
    compilation_->setEnabled(album != nullptr);
    id3_->setEnabled(album != nullptr);
    deleteAlbum_->setEnabled(album != nullptr);
    compilation_->setChecked(album && album->record.Compilation());
    ShowTracks(album);
}

void TCDDBEditForm::ShowTracks(const TNodeData* album) {
    const bool wasFilling = filling_;
    filling_ = true;
    tracks_->clear();
    if (album) {
        for (const auto& row : TAlbumEditor::TrackRows(*album)) {
            auto* item = new QTreeWidgetItem(tracks_);
            item->setText(0, QString::fromStdString(row.title));
            item->setText(1, QString::fromStdString(row.length));
            item->setText(2, QString::fromStdString(row.size));
            item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
            const QStyle::StandardPixmap icon = row.image == 3   ? QStyle::SP_DriveHDIcon
                                                : row.image == 2 ? QStyle::SP_DialogApplyButton
                                                                 : QStyle::SP_MediaVolume;
            item->setIcon(0, style()->standardIcon(icon));
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
    }
    filling_ = wasFilling;
}

void TCDDBEditForm::TooLong(std::size_t maxBytes) {
    dialogs_.ShowMessage(FormatMessage(Text("TooLong").toStdString(), std::to_string(maxBytes)), MessageIcon::Warning);
}

void TCDDBEditForm::TreeItemChanged(QTreeWidgetItem* item) {
    if (filling_) return;
    const std::string text = item->text(0).toStdString();
    const QSignalBlocker block(tree_);
    if (KindOf(item) == kArtistNode) {
        ArtistNode* artist = NodeOf<ArtistNode>(item);
        if (!editor_.RenameArtist(*artist, text)) {
            TooLong(TAlbumEditor::MaxArtistBytes());
            item->setText(0, QString::fromStdString(artist->text));
        }
    } else if (KindOf(item) == kAlbumNode) {
        TNodeData* album = NodeOf<TNodeData>(item);
        if (!editor_.RenameAlbum(*album, text)) {
            TooLong(TAlbumEditor::MaxAlbumBytes());
            item->setText(0, QString::fromStdString(album->record.Album()));
        }
    }
}

void TCDDBEditForm::TrackItemChanged(QTreeWidgetItem* item) {
    if (filling_) return;
    TNodeData* album = SelectedAlbum();
    if (!album) return;
    const int track = tracks_->indexOfTopLevelItem(item);
    if (!editor_.RenameTrack(*album, track, item->text(0).toStdString())) {
        TooLong(TAlbumEditor::MaxTrackTitleBytes());
        const QSignalBlocker block(tracks_);
        item->setText(0, QString::fromStdString(album->record.Track(track).Title()));
    }
}

void TCDDBEditForm::EditTags() {
    TNodeData* album = SelectedAlbum();
    if (!album) return;
    std::vector<std::string> titles;
    for (const auto& row : TAlbumEditor::TrackRows(*album)) titles.push_back(row.title);
    if (titles.empty()) return;
    const int selected = tracks_->indexOfTopLevelItem(tracks_->currentItem());
    if (tagRunner_(album->tags, titles, selected < 0 ? 0 : selected)) editor_.TagsEdited(*album);
}

void TCDDBEditForm::DeleteAlbum() {
    TNodeData* album = SelectedAlbum();
    if (album && editor_.DeleteAlbum(*album)) Rebuild();
}

void TCDDBEditForm::DeleteArtist() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (KindOf(item) != kArtistNode) return;
    if (editor_.DeleteArtist(*NodeOf<ArtistNode>(item))) Rebuild();
}

void TCDDBEditForm::done(int result) {
    if (!closed_) {
        closed_ = true;
        tree_->clear();
        tracks_->clear();
        const auto failed = editor_.Close();
        if (!failed.empty()) {
            std::string text = Text("WriteFailed").toStdString();
            for (const auto& file : failed) text += "\n" + file;
            dialogs_.ShowMessage(text, MessageIcon::Warning);
        }
    }
    QDialog::done(result);
}

void RunCddbEditor(TMainForm& main, QWidget* parent) {
    QtDialogs dialogs(parent);
    TCDDBEditForm form(main.Albums().Folder(), dialogs, main.Language(), main.Settings().LanguageName(), parent);
    dialogs.SetParent(&form);
    form.Load();
    form.exec();
}

}  // namespace sv
