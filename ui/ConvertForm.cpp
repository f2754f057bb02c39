#include "ui/ConvertForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/TagEditor.h"
#include "app/WindowTexts.h"
#include "ui/ID3Form.h"
#include "ui/WindowTextApplier.h"

namespace sv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QPushButton* Button(QWidget* parent, const char* name) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    return b;
}

}  // namespace

TConvertForm::TConvertForm(TProgramSettings& settings, TEncoders& encoders, IUserDialogs& dialogs, IEventPump& pump,
                           TLanguage& language, const std::string& languageName, const std::string& tempFolder,
                           std::function<void()> encoderSettings, QWidget* parent)
    : QDialog(parent),
      language_(language),
      languageName_(languageName),
      dialogs_(dialogs),
      encoderSettings_(std::move(encoderSettings)) {
    setObjectName("TConvertForm");
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);

    auto* options = new QGridLayout;
    auto* directionLabel = new QLabel(this);
    directionLabel->setObjectName("DirectionLabel");
    direction_ = new QComboBox(this);
    direction_->setObjectName("DirectionBox");
    for (const auto& d : ConvertDirections()) direction_->addItem(QString::fromUtf8(d.text));
    auto* formatLabel = new QLabel(this);
    formatLabel->setObjectName("FormatLabel");
    bitrate_ = new QComboBox(this);
    bitrate_->setObjectName("FormatBox");
    for (const auto& item : ReencodeBitrateItems()) bitrate_->addItem(Q(item));
    options->addWidget(directionLabel, 0, 0);
    options->addWidget(direction_, 0, 1);
    options->addWidget(formatLabel, 0, 2);
    options->addWidget(bitrate_, 0, 3);
    auto* outLabel = new QLabel(this);
    outLabel->setObjectName("OutDirLabel");
    outDir_ = new QLineEdit(this);
    outDir_->setObjectName("OutDirEdit");
    auto* browse = Button(this, "BrowseButton");
    options->addWidget(outLabel, 1, 0);
    options->addWidget(outDir_, 1, 1, 1, 2);
    options->addWidget(browse, 1, 3);
    keepLocation_ = new QCheckBox(this);
    keepLocation_->setObjectName("SaveDirBox");
    deleteSources_ = new QCheckBox(this);
    deleteSources_->setObjectName("DelAfterEncodingBox");
    options->addWidget(keepLocation_, 2, 1, 1, 3);
    options->addWidget(deleteSources_, 3, 1, 1, 3);
    options->setColumnStretch(1, 1);
    layout->addLayout(options);

    list_ = new QTreeWidget(this);
    list_->setObjectName("FileList");
    list_->setColumnCount(3);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(0, 260);
    list_->setColumnWidth(1, 200);
    layout->addWidget(list_, 1);

    auto* rows = new QGridLayout;
    const char* names[] = {"AddFilesButton",        "AddFolderButton",     "SelectAllButton", "SelectNoneButton",
                           "RemoveAllButton",       "RemoveUncheckedButton", "RemoveCheckedButton", "TagButton",
                           "EncoderSettingsButton", "StartButton",         "CancelButton",    "CloseButton"};
    QPushButton* b[12];
    for (int i = 0; i < 12; ++i) {
        b[i] = Button(this, names[i]);
        rows->addWidget(b[i], i / 4, i % 4);
    }
    layout->addLayout(rows);
    tags_ = b[7];
    start_ = b[9];
    cancel_ = b[10];
    start_->setDefault(true);
    cancel_->hide();

    ApplyBuiltinTexts(this, ConvertFormTexts());
    ApplyLanguageToDialog(this, ConvertFormTexts(), language_, languageName_);

    IConvertView& view = *this;
    converter_ = std::make_unique<TConverter>(settings, encoders, dialogs, pump, view, tempFolder,
                                              Value("Done").toStdString());
    outDir_->setText(Q(converter_->outputFolder));
    keepLocation_->setChecked(converter_->keepSourceLocation);
    deleteSources_->setChecked(converter_->deleteSources);
    bitrate_->setCurrentIndex(std::clamp(converter_->bitrateIndex, 0, bitrate_->count() - 1));
    direction_->setCurrentIndex(converter_->Direction());
    RowsChanged();
    UpdateDirectionControls();

    connect(direction_, &QComboBox::activated, this, &TConvertForm::DirectionChosen);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, Value("AddFolderTitle"), outDir_->text());
        if (!dir.isEmpty()) outDir_->setText(dir);
    });
    connect(b[0], &QPushButton::clicked, this, [this] {
        const QStringList files = QFileDialog::getOpenFileNames(this, Value("AddFilesTitle"), outDir_->text(),
                                                                QString::fromUtf8(kConvertFileFilter));
        for (const QString& f : files) converter_->AddFile(f.toStdString());
    });
    connect(b[1], &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, Value("AddFolderTitle"));
        if (!dir.isEmpty()) converter_->AddFolder(dir.toStdString());
    });
    connect(b[2], &QPushButton::clicked, this, [this] { converter_->CheckAll(true); });
    connect(b[3], &QPushButton::clicked, this, [this] { converter_->CheckAll(false); });
    connect(b[4], &QPushButton::clicked, this, [this] { converter_->RemoveAll(); });
    connect(b[5], &QPushButton::clicked, this, [this] { converter_->RemoveUnchecked(); });
    connect(b[6], &QPushButton::clicked, this, [this] { converter_->RemoveChecked(); });
    connect(tags_, &QPushButton::clicked, this, &TConvertForm::EditTag);
    connect(b[8], &QPushButton::clicked, this, [this] {
        if (encoderSettings_ && !converter_->Running()) encoderSettings_();
    });
    connect(start_, &QPushButton::clicked, this, &TConvertForm::StartBatch);
    connect(cancel_, &QPushButton::clicked, this, [this] { converter_->CancelCommand(); });
    connect(b[11], &QPushButton::clicked, this, &QDialog::close);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { converter_->ToggleChecked(list_->indexOfTopLevelItem(item)); });
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (filling_ || column != 0) return;
        const int row = list_->indexOfTopLevelItem(item);
        const bool checked = item->checkState(0) == Qt::Checked;
        const auto& rowsNow = converter_->Rows();
        if (row >= 0 && row < static_cast<int>(rowsNow.size()) && rowsNow[static_cast<std::size_t>(row)].checked != checked)
            converter_->SetChecked(row, checked);
    });
    resize(760, 480);
}

TConvertForm::~TConvertForm() = default;

QString TConvertForm::Value(const char* key) const {
    return WindowValueText(ConvertFormTexts(), key, language_, languageName_);
}

void TConvertForm::AddPath(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) converter_->AddFolder(path.toStdString());
    else converter_->AddFile(path.toStdString());
}

void TConvertForm::ReadOptions() {
    converter_->outputFolder = outDir_->text().trimmed().toStdString();
    converter_->keepSourceLocation = keepLocation_->isChecked();
    converter_->deleteSources = deleteSources_->isChecked();
    converter_->bitrateIndex = std::max(0, bitrate_->currentIndex());
}

void TConvertForm::DirectionChosen(int index) {
    if (!converter_->SetDirection(index)) direction_->setCurrentIndex(converter_->Direction());
    UpdateDirectionControls();
}

void TConvertForm::UpdateDirectionControls() {
    const int d = converter_->Direction();
    const bool encoding = d >= 6 && d <= 8;
    tags_->setEnabled(encoding);
    deleteSources_->setEnabled(encoding);
    bitrate_->setEnabled(d == 1);
}

void TConvertForm::EditTag() {
    QTreeWidgetItem* current = list_->currentItem();
    const int selected = current && current->isSelected() ? list_->indexOfTopLevelItem(current) : -1;
    const std::shared_ptr<TagRecord> tag = converter_->TagForEditing(selected);
    if (!tag) return;
    // The editor works on a one-record copy; OK writes it back.
    TagBlocks records;
    records.EnsureCount(1);
    std::copy(tag->Data(), tag->Data() + kTagRecordSize, records.Block(0).Data());
    const int row = selected >= 0 ? selected : [&] {
        const auto& rows = converter_->Rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].checked) return static_cast<int>(i);
        return 0;
    }();
    TTagEditor editor(records, {converter_->Rows()[static_cast<std::size_t>(row)].caption}, 0);
    TID3Form form(editor, nullptr, language_, languageName_, this);
    for (const char* hidden : {"TrackBox", "TrackLabel"})
        if (auto* w = form.findChild<QWidget*>(hidden)) w->setVisible(false);
    if (form.exec() == QDialog::Accepted)
        std::copy(records.Block(0).Data(), records.Block(0).Data() + kTagRecordSize, tag->Data());
}

void TConvertForm::StartBatch() {
    if (converter_->Running()) return;
    ReadOptions();
    converter_->Start();
}

void TConvertForm::closeEvent(QCloseEvent* event) {
    if (converter_->Running()) {
        // A batch runs inside the click that started it: it must end first.
        event->ignore();
        return;
    }
    ReadOptions();
    converter_->StoreSettings();
    QDialog::closeEvent(event);
}

void TConvertForm::reject() {
    // Escape closes the window the same way as its close button.
    if (converter_->Running()) return;
    ReadOptions();
    converter_->StoreSettings();
    QDialog::reject();
}

void TConvertForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !converter_->Running()) event->acceptProposedAction();
}

void TConvertForm::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) AddPath(url.toLocalFile());
    event->acceptProposedAction();
}

void TConvertForm::RowsChanged() {
    if (!list_ || !converter_) return;
    filling_ = true;
    list_->clear();
    for (const auto& row : converter_->Rows()) {
        auto* item = new QTreeWidgetItem(list_, {Q(row.caption), Q(row.status), Q(row.folder)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
}

void TConvertForm::RowStatusChanged(int row, const std::string& status) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) item->setText(1, Q(status));
}

void TConvertForm::RowCheckChanged(int row, bool checked) {
    filling_ = true;
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
}

void TConvertForm::CurrentRowChanged(int row) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) {
        list_->setCurrentItem(item);
        list_->scrollToItem(item);
    }
}

void TConvertForm::CaptionChanged(const std::string& caption) { setWindowTitle(Q(caption)); }

void TConvertForm::RunningChanged(bool running) {
    start_->setVisible(!running);
    cancel_->setVisible(running);
    direction_->setEnabled(!running);
}

}  // namespace sv
