#include "ui/BurnForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/WindowTexts.h"
#include "base/Interaction.h"
#include "cdrom/DriveInfoLines.h"
#include "base/Language.h"
#include "writer/BurnProject.h"
#include "ui/DriveInfoForm.h"
#include "ui/ProgressForm.h"
#include "ui/WindowTextApplier.h"
#include "ui/WriteSettingForm.h"

namespace sv {

namespace {

constexpr int kEraseWaitMessage = 76;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// "desc|patterns|desc|patterns" as a Qt file dialog filter.
QString QtFilter(const char* filter) {
    const QStringList parts = QString::fromUtf8(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << parts[i] + " (" + patterns + ")";
    }
    return out.join(";;");
}

// The compilation list: rows dragged within it report where they went,
// files dropped from outside are handed on.
class CompilationList final : public QTreeWidget {
public:
    explicit CompilationList(QWidget* parent) : QTreeWidget(parent) {}
    std::function<void(int, int)> rowDropped;
    std::function<void(const QStringList&)> filesDropped;
    std::function<void()> deletePressed;

protected:
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (e->source() == this || e->mimeData()->hasUrls()) e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override { e->acceptProposedAction(); }
    void dropEvent(QDropEvent* e) override {
        if (e->source() == this) {
            const int from = indexOfTopLevelItem(currentItem());
            QTreeWidgetItem* target = itemAt(e->position().toPoint());
            const int onto = target ? indexOfTopLevelItem(target) : topLevelItemCount() - 1;
            e->setDropAction(Qt::IgnoreAction);  // the list is rebuilt from the compilation
            e->accept();
            if (rowDropped) rowDropped(from, onto);
            return;
        }
        QStringList paths;
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        e->acceptProposedAction();
        if (filesDropped) filesDropped(paths);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Delete && deletePressed) {
            deletePressed();
            return;
        }
        QTreeWidget::keyPressEvent(e);
    }
};

// The small window of an erase: it cannot be closed by the user.
class EraseWaitDialog final : public QDialog {
public:
    explicit EraseWaitDialog(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {}
    void Finish() {
        finishing_ = true;
        done(QDialog::Accepted);
    }

protected:
    void reject() override {
        if (finishing_) QDialog::reject();
    }
    void closeEvent(QCloseEvent* e) override {
        if (!finishing_) e->ignore();
    }

private:
    bool finishing_ = false;
};

QPushButton* Button(QWidget* parent, const char* name) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    return b;
}

}  // namespace

TMainWriteForm::TMainWriteForm(TCDWriter& writer, const std::string& settingsFolder, IUserDialogs& dialogs,
                               TLanguage& language, const std::string& languageName, QWidget* parent,
                               ISoundDevice* sound)
    : QDialog(parent),
      settingsFolder_(settingsFolder),
      dialogs_(dialogs),
      language_(language),
      languageName_(languageName),
      writer_(writer),
      settings_(LoadWriteSettings(settingsFolder)),
      player_(std::make_unique<StreamPlayer>(sound)) {
    setObjectName("TMainWriteForm");
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);

    auto* driveRow = new QHBoxLayout;
    auto* driveLabel = new QLabel(this);
    driveLabel->setObjectName("DriveLabel");
    drives_ = new QComboBox(this);
    drives_->setObjectName("DriveBox");
    drives_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    state_ = new QLabel(this);
    state_->setObjectName("StateLine");
    driveRow->addWidget(driveLabel);
    driveRow->addWidget(drives_);
    driveRow->addWidget(state_, 1);
    layout->addLayout(driveRow);

    auto* list = new CompilationList(this);
    list_ = list;
    list_->setObjectName("FileList");
    list_->setColumnCount(5);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setDragDropMode(QAbstractItemView::DragDrop);
    list_->setDragEnabled(true);
    list_->setAcceptDrops(true);
    list_->setColumnWidth(0, 40);
    list_->setColumnWidth(1, 240);
    list_->setColumnWidth(2, 80);
    list_->setColumnWidth(3, 80);
    list_->header()->setStretchLastSection(true);
    layout->addWidget(list_, 1);

    auto* panels = new QHBoxLayout;
    for (QLabel** panel : {&timePanel_, &sizePanel_, &filesPanel_}) {
        *panel = new QLabel(this);
        (*panel)->setFrameShape(QFrame::StyledPanel);
        (*panel)->setAutoFillBackground(true);
        panels->addWidget(*panel, 1);
    }
    timePanel_->setObjectName("TimePanel");
    sizePanel_->setObjectName("SizePanel");
    filesPanel_->setObjectName("FilesPanel");
    layout->addLayout(panels);
    BuildPlayerRow(layout);

    auto* buttons = new QGridLayout;
    const char* names[] = {"AddFilesButton",    "AddFolderButton",   "RemoveButton",     "UpButton",
                           "DownButton",        "OpenProjectButton", "SaveProjectButton", "StartButton",
                           "TestButton",        "FullEraseButton",   "QuickEraseButton", "EjectButton",
                           "SettingsButton",    "DriveInfoButton",   "CloseButton"};
    QPushButton* b[15];
    for (int i = 0; i < 15; ++i) {
        b[i] = Button(this, names[i]);
        buttons->addWidget(b[i], i / 5, i % 5);
    }
    layout->addLayout(buttons);
    start_ = b[7];
    test_ = b[8];
    fullErase_ = b[9];
    quickErase_ = b[10];
    eject_ = b[11];

    ApplyBuiltinTexts(this, BurnFormTexts());
    ApplyLanguageToDialog(this, BurnFormTexts(), language_, languageName_);

    controller_ = std::make_unique<BurnController>(writer_, compilation_, settings_, dialogs_);
    for (const BurnDriveEntry& e : controller_->Entries()) drives_->addItem(Q(e.text));
    drives_->setCurrentIndex(controller_->SelectedEntry());
    chooseImage_ = [this]() -> std::optional<std::string> {
        // An existing image is asked about (R77) after the dialog, not by it.
        const QString path = QFileDialog::getSaveFileName(this, Value("ImageTitle"), QString(),
                                                          QtFilter(kImageFilter), nullptr,
                                                          QFileDialog::DontConfirmOverwrite);
        if (path.isEmpty()) return std::nullopt;
        return QFileInfo(path).suffix().isEmpty() ? (path + "." + kImageExtension).toStdString() : path.toStdString();
    };
    LoadLastProject(settingsFolder_, settings_, compilation_);
    FillList(-1);

    list->rowDropped = [this](int from, int onto) { RowDropped(from, onto); };
    list->filesDropped = [this](const QStringList& paths) { AddPaths(paths); };
    auto removeCurrent = [this] {
        const int row = list_->indexOfTopLevelItem(list_->currentItem());
        if (compilation_.Remove(row)) FillList(std::min(row, compilation_.Count() - 1));
    };
    list->deletePressed = removeCurrent;
    connect(b[0], &QPushButton::clicked, this, [this] {
        AddPaths(QFileDialog::getOpenFileNames(this, Value("AddFilesTitle"), QString(), QtFilter(kSoundFilesFilter)));
    });
    connect(b[1], &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, Value("AddFolderTitle"));
        if (!dir.isEmpty()) AddPaths({dir});
    });
    connect(b[2], &QPushButton::clicked, this, removeCurrent);
    connect(b[3], &QPushButton::clicked, this,
            [this] { FillList(compilation_.MoveUp(list_->indexOfTopLevelItem(list_->currentItem()))); });
    connect(b[4], &QPushButton::clicked, this,
            [this] { FillList(compilation_.MoveDown(list_->indexOfTopLevelItem(list_->currentItem()))); });
    connect(b[5], &QPushButton::clicked, this, &TMainWriteForm::OpenProject);
    connect(b[6], &QPushButton::clicked, this, &TMainWriteForm::SaveProjectAs);
    connect(start_, &QPushButton::clicked, this, [this] { Start(false); });
    connect(test_, &QPushButton::clicked, this, [this] { Start(true); });
    connect(fullErase_, &QPushButton::clicked, this, [this] { Erase(true); });
    connect(quickErase_, &QPushButton::clicked, this, [this] { Erase(false); });
    connect(eject_, &QPushButton::clicked, this, [this] {
        controller_->EjectOrLoad();
        Refresh();
    });
    connect(b[12], &QPushButton::clicked, this, [this] {
        TWriteSettingForm dialog(settings_, dialogs_, language_, languageName_, this);
        dialog.exec();
        Refresh();
    });
    driveInfo_ = b[13];
    connect(driveInfo_, &QPushButton::clicked, this, [this] {
        if (controller_->ImageMode()) return;
        const int drive = controller_->Entries()[static_cast<std::size_t>(controller_->SelectedEntry())].drive;
        const CDROM_INFO& info = writer_.Drives()[static_cast<std::size_t>(drive)];
        const auto lines = DriveInfoLines(info.name, info.capabilities,
                                          WindowValue(OtherTexts(), "Yes", language_, languageName_),
                                          WindowValue(OtherTexts(), "No", language_, languageName_));
        TCDInfo dialog(lines, &language_, languageName_, this);
        dialog.exec();
    });
    connect(b[14], &QPushButton::clicked, this, &TMainWriteForm::reject);
    connect(drives_, &QComboBox::activated, this, &TMainWriteForm::DriveChosen);

    timer_ = new QTimer(this);
    timer_->setInterval(500);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (!controller_->ImageMode() && writer_.ReadyChanged()) Refresh();
        PlayerTick();
    });
    resize(760, 480);
    Refresh();
}

TMainWriteForm::~TMainWriteForm() {
    *alive_ = false;
    cancel_ = true;
    thread_.reset();
    preview_.reset();
    player_->Shutdown();
}

void TMainWriteForm::BuildPlayerRow(QBoxLayout* layout) {
    preview_ = std::make_unique<TPreviewPlayer>(
        *player_, [this] { return compilation_.Count(); },
        [this](int row) {
            const auto& r = compilation_.Rows()[static_cast<std::size_t>(row)];
            return r.directory + r.fileName;
        });
    auto* row = new QHBoxLayout;
    struct Control {
        const char* name;
        QStyle::StandardPixmap icon;
        std::function<void()> action;
    };
    const Control controls[] = {
        {"PrevButton", QStyle::SP_MediaSkipBackward, [this] { preview_->Step(-1); }},
        {"PlayButton", QStyle::SP_MediaPlay, [this] { PlaySelectedRow(); }},
        {"StopButton", QStyle::SP_MediaStop, [this] { StopPreview(); }},
        {"NextButton", QStyle::SP_MediaSkipForward, [this] { preview_->Step(1); }},
    };
    for (const Control& c : controls) {
        auto* b = new QToolButton(this);
        b->setObjectName(c.name);
        b->setIcon(style()->standardIcon(c.icon));
        b->setAutoRaise(true);
        b->setEnabled(player_->Usable());
        connect(b, &QToolButton::clicked, this, [this, action = c.action] {
            action();
            if (preview_->Current() >= 0) {
                preview_->SetVolume(playVolume_->value());
                list_->setCurrentItem(list_->topLevelItem(preview_->Current()));
            }
            ShowPlayerPosition(0, preview_->Length());
        });
        row->addWidget(b);
    }
    playPosition_ = new QSlider(Qt::Horizontal, this);
    playPosition_->setObjectName("PlayPosition");
    playPosition_->setRange(0, 0);
    playPosition_->setEnabled(player_->Usable());
    // Dragging moves only the thumb; the release seeks.
    connect(playPosition_, &QSlider::sliderReleased, this,
            [this] { preview_->SeekTo(static_cast<std::uint32_t>(playPosition_->value())); });
    row->addWidget(playPosition_, 1);
    playTime_ = new QLabel(this);
    playTime_->setObjectName("PlayTime");
    row->addWidget(playTime_);
    playVolume_ = new QSlider(Qt::Horizontal, this);
    playVolume_->setObjectName("PlayVolume");
    playVolume_->setRange(0, 255);
    playVolume_->setValue(255);
    playVolume_->setFixedWidth(90);
    playVolume_->setEnabled(player_->Usable());
    connect(playVolume_, &QSlider::valueChanged, this, [this](int v) { preview_->SetVolume(v); });
    row->addWidget(playVolume_);
    layout->addLayout(row);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (preview_->PlayRow(list_->indexOfTopLevelItem(item))) preview_->SetVolume(playVolume_->value());
        ShowPlayerPosition(0, preview_->Length());
    });
    ShowPlayerPosition(0, 0);
}

void TMainWriteForm::PlaySelectedRow() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    preview_->PlayRow(row < 0 ? 0 : row);
}

void TMainWriteForm::StopPreview() { preview_->Stop(); }

void TMainWriteForm::ShowPlayerPosition(std::uint32_t position, std::uint32_t length) {
    if (playPosition_->isSliderDown()) return;
    playPosition_->setRange(0, static_cast<int>(length));
    playPosition_->setValue(static_cast<int>(position));
    auto mmss = [](std::uint32_t ms) {
        return QString("%1:%2").arg(ms / 60000, 2, 10, QChar('0')).arg((ms / 1000) % 60, 2, 10, QChar('0'));
    };
    playTime_->setText(length ? mmss(position) + " / " + mmss(length) : QString());
}

void TMainWriteForm::PlayerTick() {
    if (playPosition_->isSliderDown()) return;
    const int before = preview_->Current();
    const TPreviewPlayer::Tick tick = preview_->Timer();
    if (tick.row >= 0 && tick.row != before) {
        preview_->SetVolume(playVolume_->value());
        list_->setCurrentItem(list_->topLevelItem(tick.row));
    }
    ShowPlayerPosition(tick.position, tick.length);
}

QString TMainWriteForm::Value(const char* key) const {
    return WindowValueText(BurnFormTexts(), key, language_, languageName_);
}

void TMainWriteForm::Refresh() {
    const BurnControls c = controller_->Refresh();
    start_->setEnabled(c.start);
    test_->setEnabled(c.test);
    fullErase_->setEnabled(c.fullErase);
    quickErase_->setEnabled(c.quickErase);
    eject_->setEnabled(c.eject);
    driveInfo_->setEnabled(!controller_->ImageMode());
    const DiscState& d = controller_->Disc();
    QString text;
    if (controller_->ImageMode()) text = Value("ImageMode");
    else if (!d.ready) text = Value("NoDisc");
    else {
        text = Value(d.status == 0 ? "BlankDisc" : "WrittenDisc");
        if (d.erasable) text += ", " + Value("Rewritable");
    }
    state_->setText(text);
    if (!busy_) timer_->start();
}

void TMainWriteForm::FillList(int select) {
    list_->clear();
    const auto& rows = compilation_.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::number(i + 1));
        item->setText(1, Q(rows[i].fileName));
        item->setText(2, Q(rows[i].TimeText()));
        item->setText(3, Q(rows[i].SizeText()));
        item->setText(4, Q(rows[i].directory));
        item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
    }
    if (select >= 0 && select < list_->topLevelItemCount()) list_->setCurrentItem(list_->topLevelItem(select));
    const CompilationTotals t = compilation_.Totals();
    timePanel_->setText(Q(PanelText(Value("TimeHint").toStdString(), t.timeText)));
    sizePanel_->setText(Q(PanelText(Value("SizeHint").toStdString(), t.sizeText)));
    filesPanel_->setText(Q(PanelText(Value("FilesHint").toStdString(), std::to_string(t.files))));
    QPalette palette = sizePanel_->palette();
    if (t.tooLong)
        palette.setColor(QPalette::Window, QColor(kTooLongColorBgr & 0xFF, (kTooLongColorBgr >> 8) & 0xFF,
                                                  (kTooLongColorBgr >> 16) & 0xFF));
    timePanel_->setPalette(palette);
}

void TMainWriteForm::AddPaths(const QStringList& paths) {
    for (const QString& p : paths) {
        if (QFileInfo(p).isDir()) compilation_.AddFolder(p.toStdString());
        else compilation_.AddFile(p.toStdString());
    }
    FillList(compilation_.Count() - 1);
}

void TMainWriteForm::RowDropped(int from, int onto) { FillList(compilation_.DropRowOnto(from, onto)); }

void TMainWriteForm::DriveChosen(int entry) {
    if (!controller_->ChangeDrive(entry)) drives_->setCurrentIndex(controller_->SelectedEntry());
    Refresh();
}

void TMainWriteForm::OpenProject() {
    const QString path = QFileDialog::getOpenFileName(this, Value("ProjectTitle"), QString(),
                                                      QtFilter(kProjectOpenFilter));
    if (path.isEmpty()) return;
    const ProjectLoadReport report = LoadProject(path.toStdString(), compilation_);
    FillList(0);
    if (!report.skipped.empty()) {
        std::string text = Value("Skipped").toStdString();
        for (const auto& s : report.skipped) text += "\n" + s;
        dialogs_.ShowMessage(text, MessageIcon::Warning);
    }
}

void TMainWriteForm::SaveProjectAs() {
    QString path = QFileDialog::getSaveFileName(this, Value("ProjectTitle"), QString(), QtFilter(kProjectSaveFilter));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QString(".") + kProjectExtension;
    if (!SaveProject(path.toStdString(), compilation_))
        dialogs_.ShowMessage(Value("ProjectFailed").toStdString(), MessageIcon::Warning);
}

void TMainWriteForm::Start(bool test) {
    if (busy_) return;
    cancel_ = false;
    BurnJob job;
    if (controller_->PrepareStart(test, chooseImage_, job) != StartEnd::Ready) return;
    StopPreview();  // the files go to the writer
    ShowPlayerPosition(0, 0);
    if (!progress_)
        progress_ = new TProgressForm(language_, languageName_, [this] { controller_->AskCancel(cancel_); }, this);
    progress_->Reset();
    progress_->show();
    busy_ = true;
    setEnabled(false);
    progress_->setEnabled(true);
    timer_->stop();
    WriteThreadSink sink;
    sink.caption = [this](const std::string& text) { progress_->setWindowTitle(Q(text)); };
    sink.status = [this](const std::string& text) { progress_->SetStatus(text); };
    sink.progress = [this](ProgressBars bars, int errors, bool changed) { progress_->ShowProgress(bars, errors, changed); };
    sink.done = [this](WriteOutcome outcome) { ThreadDone(outcome, false); };
    thread_ = std::make_unique<TWriteThread>(
        [alive = alive_](std::function<void()> task) {
            QMetaObject::invokeMethod(
                qApp, [alive, task = std::move(task)] {
                    if (*alive) task();
                },
                Qt::QueuedConnection);
        },
        sink);
    thread_->StartBurn(*controller_, writer_, job, cancel_);
}

void TMainWriteForm::Erase(bool full) {
    if (busy_ || !controller_->ConfirmErase(full, true)) return;
    StopPreview();
    ShowPlayerPosition(0, 0);
    auto* wait = new EraseWaitDialog(this);
    wait->setWindowTitle(windowTitle());
    wait->setFixedSize(280, 100);
    auto* label = new QLabel(Q(LangMessage(kEraseWaitMessage)), wait);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(0, 33, 280, 30);
    wait->move(mapToGlobal(rect().center()) - QPoint(140, 63));
    wait_ = wait;
    busy_ = true;
    timer_->stop();
    WriteThreadSink sink;
    sink.done = [this](WriteOutcome outcome) { ThreadDone(outcome, true); };
    thread_ = std::make_unique<TWriteThread>(
        [alive = alive_](std::function<void()> task) {
            QMetaObject::invokeMethod(
                qApp, [alive, task = std::move(task)] {
                    if (*alive) task();
                },
                Qt::QueuedConnection);
        },
        sink);
    thread_->StartErase(*controller_, full);
    wait->exec();
    wait_ = nullptr;
    delete wait;
}

void TMainWriteForm::ThreadDone(WriteOutcome outcome, bool erase) {
    busy_ = false;
    setEnabled(true);
    if (erase) {
        if (wait_) static_cast<EraseWaitDialog*>(wait_)->Finish();
        if (outcome != WriteOutcome::Completed)
            dialogs_.ShowMessage(Value("EraseFailed").toStdString(), MessageIcon::Warning);
    } else {
        if (progress_) progress_->Finish();
        if (outcome == WriteOutcome::Completed)
            for (int i = 0; i < compilation_.Count(); ++i) compilation_.SetImageIndex(i, kImageIndexBurned);
        // The sound of the end of a burn plays outside the rows.
        if (settings_.PlaySoundAtEnd()) {
            preview_->Stop();
            if (player_->Open(settings_.SoundFile())) {
                player_->SetVolume(playVolume_->value());
                player_->Play();
            }
        }
    }
    Refresh();
}

void TMainWriteForm::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);  // reject(): stores the settings and the last project
}

void TMainWriteForm::reject() {
    if (busy_) return;
    timer_->stop();
    StopPreview();
    SaveLastProject(settingsFolder_, settings_, compilation_);
    SaveWriteSettingsOrWarn(settingsFolder_, settings_, dialogs_);
    QDialog::reject();
}

void TMainWriteForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainWriteForm::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    AddPaths(paths);
}

}  // namespace sv
