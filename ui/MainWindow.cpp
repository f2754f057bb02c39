#include "ui/MainWindow.h"

#include <QAction>
#include <utility>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSlider>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/AboutBox.h"
#include "ui/CDDBEditForm.h"
#include "ui/BurnForm.h"
#include "player/Mixer.h"
#include "player/NHandler.h"
#include "player/SoundDevice.h"
#include "ui/ConvertForm.h"
#include "ui/DriveInfoForm.h"
#include "app/DesktopIntegration.h"
#include "cdrom/TCDROM.h"
#include "ui/ID3Form.h"
#include "ui/TrackPropForm.h"
#include "ui/Mp3ConfigForm.h"
#include "ui/PlayBarWidget.h"
#include "ui/ReadCommandForm.h"
#include "ui/SettingsForm.h"
#include "ui/WindowTextApplier.h"

namespace sv {

namespace {

constexpr int kToolButtonSize = 40;

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QAction* NamedAction(QObject* parent, const char* name) {
    auto* a = new QAction(parent);
    a->setObjectName(name);
    return a;
}

}  // namespace

TMainWindow::TMainWindow(IDriveAccess& drives, IUserDialogs& dialogs, IEventPump& pump, SettingsLocations where,
                         QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
    setObjectName("TMainForm");
    setWindowTitle(kCaption);
    setWindowIcon(QIcon::fromTheme("media-optical-audio", style()->standardIcon(QStyle::SP_DriveCDIcon)));
    resize(640, 460);
    std::string soundProblem;
    sound_ = OpenSoundOutput(soundProblem);
    // Refills of the digital player run on this thread, between window
    // events, so that they never meet the window's own drive commands.
    digital_ = std::make_unique<NHandler>(*sound_, [this](std::function<void()> refill) {
        QMetaObject::invokeMethod(this, std::move(refill), Qt::QueuedConnection);
    });
    mixer_ = std::make_unique<TMixer>(OpenAlsaCdLine());
    for (const int fd : mixer_->PollDescriptors()) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            if (mixer_->HandleEvents()) controller_->MixerChanged();
        });
    }
    TMainForm::Services services{*this, drives, dialogs, pump, std::move(where)};
    services.digital = digital_.get();
    services.mixer = mixer_.get();
    services.soundProblem = std::move(soundProblem);
    services.lookupOnInsertion = LookupOnInsertion();
    controller_ = std::make_unique<TMainForm>(std::move(services));

    auto* central = new QWidget(this);
    central->setObjectName("MainPanel");
    central->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    setCentralWidget(central);

    BuildMenus();
    BuildToolPanel();
    layout->addWidget(toolPanel_);
    BuildDiscPanel();
    BuildStatusPanels();
    ConnectTrackCommands();
    ApplyBuiltinTexts(this, MainWindowTexts());

    pollTimer_.setObjectName("Timer1");
    pollTimer_.setInterval(300);
    connect(&pollTimer_, &QTimer::timeout, this, [this] { controller_->Poll(); });
}

TMainWindow::~TMainWindow() = default;

void TMainWindow::Start() { controller_->Construct(); }

QToolButton* TMainWindow::ToolButton(QWidget* parent, const char* name, QIcon icon) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setIconSize(QSize(24, 24));
    b->setAutoRaise(true);
    b->setFixedSize(kToolButtonSize, kToolButtonSize);
    return b;
}

void TMainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    auto* file = bar->addMenu(QString());
    file->setObjectName("FileMenu");
    auto* grabTo = file->addMenu(QString());
    grabTo->setObjectName("GrabTo1");
    for (const char* n : {"MP3", "OGG1", "WMA1", "WAVE1", "FLAC1", "ExternalEncI"}) grabTo->addAction(NamedAction(this, n));
    auto* whole = file->addMenu(QString());
    whole->setObjectName("CD2");
    for (const char* n : {"WAVE2", "FLAC2", "MP32", "OGG2", "External2"}) whole->addAction(NamedAction(this, n));
    file->addSeparator();
    file->addAction(NamedAction(this, "ConvertFile1"));
    file->addAction(NamedAction(this, "AudioCD1"));
    file->addSeparator();
    QAction* exitAction = NamedAction(this, "Exit1");
    exitAction->setShortcut(QKeySequence::Quit);
    file->addAction(exitAction);
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    auto* disc = bar->addMenu(QString());
    disc->setObjectName("DiscMenu");
    QAction* refresh = NamedAction(this, "Refresh1");
    refresh->setShortcut(QKeySequence::Refresh);
    disc->addAction(refresh);
    connect(refresh, &QAction::triggered, this, [this] { controller_->RefreshCommand(); });
    disc->addAction(NamedAction(this, "OpenImage1"));
    disc->addAction(NamedAction(this, "CloseImage1"));
    QAction* stop = NamedAction(this, "Stop1");
    disc->addAction(stop);
    connect(stop, &QAction::triggered, this, [this] { controller_->Stop(); });
    QAction* eject = NamedAction(this, "Eject1");
    disc->addAction(eject);
    connect(eject, &QAction::triggered, this, [this] { controller_->Eject(); });
    disc->addAction(NamedAction(this, "SysInfo"));

    auto* tracks = bar->addMenu(QString());
    tracks->setObjectName("TracksMenu");
    for (const char* n : {"PlaySel1", "SelectAll1", "SelectNone1", "N13", "CaseWords1", "CaseLower1", "CaseUpper1",
                          "ID3v2", "TrackPropItem"})
        tracks->addAction(NamedAction(this, n));

    auto* tools = bar->addMenu(QString());
    tools->setObjectName("ToolsMenu");
    QAction* settings = NamedAction(this, "Settings1");
    tools->addAction(settings);
    connect(settings, &QAction::triggered, this, [this] { controller_->SettingsCommand(); });
    tools->addAction(NamedAction(this, "CDDB1"));
    tools->addAction(NamedAction(this, "ShowMP3ConfigBox"));
    languageMenu_ = tools->addMenu(QString());
    languageMenu_->setObjectName("LanguageMenu");
    languageGroup_ = new QActionGroup(this);
    languageGroup_->setExclusive(true);

    // The profile menu of the profiles button.
    profileMenu_ = new QMenu(this);
    profileMenu_->setObjectName("ProfileMenu");
    profileGroup_ = new QActionGroup(this);
    QAction* byDefault = NamedAction(this, "ProfileDefault");
    byDefault->setCheckable(true);
    profileGroup_->addAction(byDefault);
    profileMenu_->addAction(byDefault);
    connect(byDefault, &QAction::triggered, this, [this] { controller_->SelectProfile(-1); });
    profileSeparator_ = profileMenu_->addSeparator();
    QAction* save = NamedAction(this, "ProfileSave");
    profileMenu_->addAction(save);
    connect(save, &QAction::triggered, this, [this] { controller_->SaveProfileCommand(); });
    QAction* remove = NamedAction(this, "ProfileDelete");
    profileMenu_->addAction(remove);
    connect(remove, &QAction::triggered, this, [this] { controller_->DeleteProfileCommand(); });

    auto* help = bar->addMenu(QString());
    help->setObjectName("HelpMenu");
    help->addAction(NamedAction(this, "Help1"));
    help->addAction(NamedAction(this, "About1"));
}

void TMainWindow::BuildToolPanel() {
    toolPanel_ = new QFrame(this);
    toolPanel_->setObjectName("ToolPanel");
    toolPanel_->setFixedHeight(kToolButtonSize + 4);
    const QStyle* s = style();
    struct Spec {
        const char* name;
        QIcon icon;
    };
    const Spec specs[] = {
        {"SpeedButton1", s->standardIcon(QStyle::SP_BrowserReload)},
        {"SpeedButton2", QIcon::fromTheme("audio-x-generic", s->standardIcon(QStyle::SP_DialogSaveButton))},
        {"WMAButton", QIcon::fromTheme("audio-x-generic", s->standardIcon(QStyle::SP_DriveFDIcon))},
        {"SpeedButton18", QIcon::fromTheme("audio-x-wav", s->standardIcon(QStyle::SP_DriveHDIcon))},
        {"BurnCDButton", QIcon::fromTheme("media-optical-burn", s->standardIcon(QStyle::SP_DriveCDIcon))},
        {"TagSpeedButton", QIcon::fromTheme("document-properties", s->standardIcon(QStyle::SP_FileDialogDetailedView))},
        {"ConvertButton", QIcon::fromTheme("view-refresh", s->standardIcon(QStyle::SP_FileDialogContentsView))},
        {"SpeedButton6", QIcon::fromTheme("network-workgroup", s->standardIcon(QStyle::SP_DriveNetIcon))},
        {"SettingButton", QIcon::fromTheme("preferences-system", s->standardIcon(QStyle::SP_FileDialogListView))},
        {"SpeedButton4", QIcon::fromTheme("multimedia-player", s->standardIcon(QStyle::SP_MediaPlay))},
    };
    for (const auto& spec : specs) ToolButton(toolPanel_, spec.name, spec.icon);
    connect(toolPanel_->findChild<QToolButton*>("SpeedButton1"), &QToolButton::clicked, this,
            [this] { controller_->RefreshCommand(); });
    connect(toolPanel_->findChild<QToolButton*>("SettingButton"), &QToolButton::clicked, this,
            [this] { controller_->SettingsCommand(); });
    connect(toolPanel_->findChild<QToolButton*>("SpeedButton4"), &QToolButton::clicked, this,
            [this] { controller_->MediaPlayerCommand(); });
    // Place them once with every button shown; the settings re-lay them.
    TProgramSettings all;
    all.ApplyDefaults("/", "/");
    PlaceToolButtons(LayoutToolButtons(all, ToolButtonWidth()));
}

void TMainWindow::BuildDiscPanel() {
    auto* layout = qobject_cast<QVBoxLayout*>(centralWidget()->layout());
    auto* row = new QHBoxLayout;
    driveBox_ = new QComboBox(this);
    driveBox_->setObjectName("CDROMBox");
    driveBox_->setMinimumWidth(220);
    connect(driveBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!fillingDriveBox_) controller_->DriveBoxChanged(index);
    });
    row->addWidget(driveBox_, 1);
    const QStyle* s = style();
    struct Spec {
        const char* name;
        QStyle::StandardPixmap icon;
    };
    const Spec player[] = {{"SpeedButton14", QStyle::SP_MediaSkipBackward}, {"SpeedButton11", QStyle::SP_MediaPlay},
                           {"SpeedButton5", QStyle::SP_MediaSeekForward},   {"SpeedButton12", QStyle::SP_MediaPause},
                           {"SpeedButton16", QStyle::SP_MediaStop},         {"SpeedButton15", QStyle::SP_MediaSkipForward},
                           {"SpeedButton13", QStyle::SP_ArrowUp},           {"SpeedButton17", QStyle::SP_FileDialogNewFolder},
                           {"SpeedButton25", QStyle::SP_DialogCloseButton}};
    for (const auto& p : player) {
        QToolButton* b = ToolButton(this, p.name, s->standardIcon(p.icon));
        b->setFixedSize(30, 30);
        b->setIconSize(QSize(18, 18));
        row->addWidget(b);
    }
    connect(findChild<QToolButton*>("SpeedButton16"), &QToolButton::clicked, this, [this] { controller_->Stop(); });
    const auto focused = [this] { return listView_ ? listView_->indexOfTopLevelItem(listView_->currentItem()) : -1; };
    connect(findChild<QToolButton*>("SpeedButton11"), &QToolButton::clicked, this,
            [this, focused] { controller_->PlayCommand(false, focused()); });
    connect(findChild<QToolButton*>("SpeedButton5"), &QToolButton::clicked, this,
            [this, focused] { controller_->PlayCommand(true, focused()); });
    connect(findChild<QToolButton*>("SpeedButton12"), &QToolButton::clicked, this, [this] { controller_->PauseCommand(); });
    connect(findChild<QToolButton*>("SpeedButton14"), &QToolButton::clicked, this, [this] { controller_->StepCommand(-1); });
    connect(findChild<QToolButton*>("SpeedButton15"), &QToolButton::clicked, this, [this] { controller_->StepCommand(+1); });
    connect(findChild<QToolButton*>("SpeedButton13"), &QToolButton::clicked, this, [this] { controller_->Eject(); });
    connect(findChild<QToolButton*>("SpeedButton25"), &QToolButton::clicked, this, &QWidget::close);
    connect(findChild<QToolButton*>("SpeedButton17"), &QToolButton::clicked, this, [this] {
        if (controller_->State() == MainState::msGrabbing) return;
        auto* button = findChild<QToolButton*>("SpeedButton17");
        profileMenu_->popup(button->mapToGlobal(QPoint(0, button->height())));
    });
    volumeBar_ = new QSlider(Qt::Horizontal, this);
    volumeBar_->setObjectName("VolumeBar");
    volumeBar_->setRange(0, 255);
    volumeBar_->setFixedWidth(90);
    connect(volumeBar_, &QSlider::valueChanged, this, [this](int v) { controller_->SetVolume(v); });
    row->addWidget(volumeBar_);
    layout->addLayout(row);

    auto* names = new QHBoxLayout;
    auto* artistLabel = new QLabel(this);
    artistLabel->setObjectName("ArtistLabel");
    artistBox_ = new QComboBox(this);
    artistBox_->setObjectName("ArtistBox");
    artistBox_->setEditable(true);
    auto* albumLabel = new QLabel(this);
    albumLabel->setObjectName("AlbumLabel");
    albumEdit_ = new QLineEdit(this);
    albumEdit_->setObjectName("AlbumEdit");
    names->addWidget(artistLabel);
    names->addWidget(artistBox_, 1);
    names->addWidget(albumLabel);
    names->addWidget(albumEdit_, 1);
    layout->addLayout(names);

    listView_ = new QTreeWidget(this);
    listView_->setObjectName("ListView");
    listView_->setColumnCount(5);
    listView_->setRootIsDecorated(false);
    listView_->setUniformRowHeights(true);
    listView_->setAlternatingRowColors(false);
    listView_->header()->setStretchLastSection(false);
    // A width the user drags becomes the stored width; the title column's
    // share of spare room is not.
    connect(listView_->header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (fittingColumns_ || column < 0 || column >= 5) return;
        columnWidths_[static_cast<std::size_t>(column)] = width;
        FitColumns();
    });
    listView_->viewport()->installEventFilter(this);
    // Enter (or F2) edits the focused title; a double click is left to play.
    listView_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    listView_->installEventFilter(this);
    layout->addWidget(listView_, 1);

    playBar_ = new PlayBarWidget(*controller_, this);
    layout->addWidget(playBar_);
}

void TMainWindow::BuildStatusPanels() {
    auto make = [this](const char* name, int stretch) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setFrameShape(QFrame::StyledPanel);
        l->setMinimumWidth(90);
        statusBar()->addWidget(l, stretch);
        return l;
    };
    trackPanel_ = make("TrackPanel", 0);
    timePanel_ = make("TimePanel", 0);
    sizeIndicator_ = new QToolButton(this);
    sizeIndicator_->setObjectName("SizeIndicator");
    sizeIndicator_->setAutoRaise(true);
    sizeIndicator_->setFixedSize(18, 18);
    statusBar()->addWidget(sizeIndicator_);
    connect(sizeIndicator_, &QToolButton::clicked, this, [this] { controller_->ToggleSizeDisplay(); });
    sizePanel_ = make("SizePanel", 1);
    posPanel_ = make("PosPanel", 0);
    messagePanel_ = make("MessagePanel", 2);
}

void TMainWindow::Connect(const char* action, std::function<void()> handler) {
    if (auto* a = findChild<QAction*>(action)) connect(a, &QAction::triggered, this, std::move(handler));
}

void TMainWindow::ConnectTrackCommands() {
    Connect("PlaySel1", [this] {
        controller_->PlayCommand(true, listView_->indexOfTopLevelItem(listView_->currentItem()));
    });
    connect(listView_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { controller_->PlayCommand(false, listView_->indexOfTopLevelItem(item)); });
    Connect("SelectAll1", [this] { controller_->SelectAll(true); });
    Connect("SelectNone1", [this] { controller_->SelectAll(false); });
    Connect("CaseWords1", [this] { controller_->ChangeCase(TMainForm::CaseChange::CapitaliseWords); });
    Connect("CaseLower1", [this] { controller_->ChangeCase(TMainForm::CaseChange::Lower); });
    Connect("CaseUpper1", [this] { controller_->ChangeCase(TMainForm::CaseChange::Upper); });
    Connect("SysInfo", [this] { controller_->DriveInfoCommand(); });
    const auto tags = [this] { RunId3Form(*controller_, this, listView_->indexOfTopLevelItem(listView_->currentItem())); };
    Connect("ID3v2", tags);
    Connect("TrackPropItem",
            [this] { RunTrackPropForm(*controller_, this, listView_->indexOfTopLevelItem(listView_->currentItem())); });
    connect(findChild<QToolButton*>("TagSpeedButton"), &QToolButton::clicked, this, tags);
    Connect("ShowMP3ConfigBox", [this] { ShowMp3Config(); });
    // A click on the compressed-size column opens the quick MP3 window too.
    connect(listView_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem*, int column) {
        if (column == 3) ShowMp3Config();
    });
    Connect("CDDB1", [this] {
        const MainState state = controller_->State();
        if (state == MainState::msGrabbing || state == MainState::msEncoding) return;
        if (mp3Config_) mp3Config_->close();
        controller_->BeforeAlbumEditor();
        // The editor is modal over the main window, which stays in view.
        menuBar()->setEnabled(false);
        RunCddbEditor(*controller_, this);
        menuBar()->setEnabled(true);
        controller_->AfterAlbumEditor();
    });
    Connect("About1", [this] { ShowAboutBox(this, controller_->Language(), controller_->Settings().LanguageName()); });
    Connect("Help1", [this] { OpenUserGuide(dialogs_, controller_->Language(), controller_->Settings().LanguageName()); });
    Connect("N13", [this] {
        if (QTreeWidgetItem* item = listView_->currentItem()) listView_->editItem(item, 0);
    });
    Connect("CloseImage1", [this] { controller_->CloseImageCommand(); });
    Connect("OpenImage1", [this] {
        const auto path = dialogs_.PickFile("CUE", "CUE (*.cue);;*");
        if (path) controller_->OpenImageCommand(*path);
    });
    connect(findChild<QToolButton*>("SpeedButton6"), &QToolButton::clicked, this, [this] { controller_->LookupCommand(); });
    Connect("ConvertFile1", [this] { RunConverter(); });
    Connect("AudioCD1", [this] { RunBurnWindow(); });
    connect(findChild<QToolButton*>("BurnCDButton"), &QToolButton::clicked, this, [this] { RunBurnWindow(); });
    connect(findChild<QToolButton*>("ConvertButton"), &QToolButton::clicked, this, [this] { RunConverter(); });
    struct GrabControl {
        const char* name;
        GrabSender sender;
    };
    for (const GrabControl& g : {GrabControl{"SpeedButton2", GrabSender::Mp3Button}, GrabControl{"SpeedButton18", GrabSender::WavButton},
                                 GrabControl{"WMAButton", GrabSender::WmaButton}}) {
        const GrabSender sender = g.sender;
        connect(findChild<QToolButton*>(g.name), &QToolButton::clicked, this, [this, sender] { controller_->Grab(sender); });
    }
    struct WholeDiscControl {
        const char* name;
        WholeDiscSender sender;
    };
    for (const WholeDiscControl& w : {WholeDiscControl{"WAVE2", WholeDiscSender::WavMenu}, WholeDiscControl{"MP32", WholeDiscSender::Mp3Menu},
                                      WholeDiscControl{"OGG2", WholeDiscSender::OggMenu},
                                      WholeDiscControl{"FLAC2", WholeDiscSender::FlacMenu},
                                      WholeDiscControl{"External2", WholeDiscSender::ExternalMenu}}) {
        const WholeDiscSender sender = w.sender;
        Connect(w.name, [this, sender] { controller_->GrabWholeDisc(sender); });
    }
    for (const GrabControl& g : {GrabControl{"MP3", GrabSender::Mp3Menu}, GrabControl{"WAVE1", GrabSender::WavButton},
                                 GrabControl{"WMA1", GrabSender::WmaButton}, GrabControl{"OGG1", GrabSender::OggMenu},
                                 GrabControl{"FLAC1", GrabSender::FlacMenu},
                                 GrabControl{"ExternalEncI", GrabSender::ExternalMenu}}) {
        const GrabSender sender = g.sender;
        Connect(g.name, [this, sender] { controller_->Grab(sender); });
    }
    connect(listView_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (fillingList_) return;
        const int index = listView_->indexOfTopLevelItem(item);
        if (column == 0) {
            const bool checked = item->checkState(0) == Qt::Checked;
            const auto& rows = controller_->Rows();
            if (index >= 0 && index < static_cast<int>(rows.size())) {
                if (rows[static_cast<std::size_t>(index)].checked != checked) controller_->TrackChecked(index, checked);
                if (item->text(0).toStdString() != rows[static_cast<std::size_t>(index)].caption)
                    controller_->RenameTrackCommand(index, item->text(0).toStdString());
            }
        }
    });
    connect(artistBox_, &QComboBox::editTextChanged, this,
            [this](const QString& text) { controller_->ArtistEdited(text.toStdString()); });
    connect(albumEdit_, &QLineEdit::textEdited, this,
            [this](const QString& text) { controller_->AlbumEdited(text.toStdString()); });
    trackPopup_ = new QMenu(this);
    trackPopup_->setObjectName("TrackPopup");
    QAction* caption = trackPopup_->addAction(QString());
    caption->setObjectName("PopupCaption");
    caption->setEnabled(false);
    trackPopup_->addSeparator();
    for (const char* n : {"N13", "SelectAll1", "SelectNone1", "CaseWords1", "CaseLower1", "CaseUpper1", "TrackPropItem"})
        if (auto* a = findChild<QAction*>(n)) trackPopup_->addAction(a);
    QAction* popupTags = NamedAction(this, "ID3v21");
    popupTags->setText(findChild<QAction*>("ID3v2")->text());
    trackPopup_->addAction(popupTags);
    connect(popupTags, &QAction::triggered, this, tags);
    listView_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView_, &QWidget::customContextMenuRequested, this, [this, caption](const QPoint& pos) {
        const int row = listView_->indexOfTopLevelItem(listView_->currentItem());
        if (!controller_->PopupAllowed(row)) return;
        caption->setText(listView_->currentItem()->text(0));
        trackPopup_->popup(listView_->viewport()->mapToGlobal(pos));
    });
}

void TMainWindow::ShowRow(int index, const TrackRow& row) {
    QTreeWidgetItem* item = listView_->topLevelItem(index);
    if (!item) return;
    const QSignalBlocker block(listView_);
    item->setText(0, QString::fromStdString(row.caption));
    item->setText(1, QString::fromStdString(row.length));
    item->setText(2, QString::fromStdString(row.size));
    item->setText(3, QString::fromStdString(row.compressed));
    item->setText(4, QString::fromStdString(row.status));
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (row.audio) flags |= Qt::ItemIsUserCheckable | Qt::ItemIsEditable;
    item->setFlags(flags);
    item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    const QStyle::StandardPixmap icon = row.image == 3   ? QStyle::SP_DriveHDIcon
                                        : row.image == 2 ? QStyle::SP_DialogApplyButton
                                                         : QStyle::SP_MediaVolume;
    item->setIcon(0, style()->standardIcon(icon));
}

void TMainWindow::ShowTracks(const std::vector<TrackRow>& rows) {
    fillingList_ = true;
    listView_->clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        listView_->addTopLevelItem(new QTreeWidgetItem(listView_));
        ShowRow(static_cast<int>(i), rows[i]);
    }
    fillingList_ = false;
}

void TMainWindow::UpdateTrackRow(int index, const TrackRow& row) {
    fillingList_ = true;
    ShowRow(index, row);
    fillingList_ = false;
}

void TMainWindow::SelectRow(int index) {
    if (QTreeWidgetItem* item = listView_->topLevelItem(index)) {
        listView_->setCurrentItem(item);
        listView_->scrollToItem(item);
    }
}

void TMainWindow::SetArtistAlbum(const std::string& artist, const std::string& album) {
    const QSignalBlocker a(artistBox_);
    const QSignalBlocker b(albumEdit_);
    artistBox_->setEditText(QString::fromStdString(artist));
    albumEdit_->setText(QString::fromStdString(album));
}

void TMainWindow::SetArtistList(const std::vector<std::string>& artists) {
    const QSignalBlocker block(artistBox_);
    const QString current = artistBox_->currentText();
    artistBox_->clear();
    for (const auto& a : artists) artistBox_->addItem(QString::fromStdString(a));
    artistBox_->setEditText(current);
}

void TMainWindow::SetPanelTexts(const std::string& tracks, const std::string& time, const std::string& size) {
    trackPanel_->setText(QString::fromStdString(tracks));
    timePanel_->setText(QString::fromStdString(time));
    sizePanel_->setText(QString::fromStdString(size));
}

void TMainWindow::SetSizeIndicator(int image) {
    sizeIndicator_->setIcon(style()->standardIcon(image == 2 ? QStyle::SP_ArrowDown : QStyle::SP_ArrowUp));
}

void TMainWindow::ShowArtistScan(int index, int total) {
    if (total < 0) {
        delete artistScan_;
        artistScan_ = nullptr;
        return;
    }
    if (index < 0) {
        delete artistScan_;
        artistScan_ = new QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
        artistScan_->setObjectName("ArtistScan");
        artistScan_->setFixedSize(220, 120);
        auto* label = new QLabel("Генерация списка Групп...", artistScan_);
        label->move(20, 20);
        auto* bar = new QProgressBar(artistScan_);
        bar->setObjectName("ArtistScanBar");
        bar->setGeometry(20, 60, 180, 20);
        bar->setRange(0, total);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            artistScan_->move(screen->geometry().center() - QPoint(110, 60));
        artistScan_->show();
    } else if (artistScan_) {
        artistScan_->findChild<QProgressBar*>("ArtistScanBar")->setValue(index);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMainWindow::ShowDriveInfo(const std::vector<std::string>& lines) {
    TCDInfo info(lines, &controller_->Language(), controller_->Settings().LanguageName(), this);
    info.exec();
}

void TMainWindow::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void TMainWindow::SetApplicationTitle(const std::string& title) {
    // The text a task bar shows for the minimised window. Not the application
    // display name: Qt appends that to every window title, which would show
    // the product name twice.
    setWindowIconText(QString::fromStdString(title));
}

void TMainWindow::SetTimePanel(const std::string& text) { timePanel_->setText(QString::fromStdString(text)); }

void TMainWindow::RedrawPlayBar() { playBar_->update(); }

// Commands whose windows the program does not have yet: shown, never enabled.
void TMainWindow::SetCommandStates(const CommandStates& c) {
    auto enable = [this](const char* name, bool on) {
        for (QObject* o : findChildren<QObject*>(QLatin1String(name))) {
            if (auto* w = qobject_cast<QWidget*>(o)) w->setEnabled(on);
            else if (auto* a = qobject_cast<QAction*>(o)) a->setEnabled(on);
        }
    };
    for (const char* n : {"SelectAll1"}) enable(n, c.selectAll);
    enable("SelectNone1", c.selectNone);
    for (const char* n : {"SpeedButton2", "SpeedButton18", "WMAButton", "GrabTo1", "CD2", "MP3", "OGG1", "WMA1",
                          "WAVE1", "FLAC1", "ExternalEncI", "WAVE2", "FLAC2", "MP32", "OGG2", "External2"})
        enable(n, c.grab);
    enable("SpeedButton11", c.play);
    enable("SpeedButton12", c.pause);
    enable("SpeedButton14", c.previous);
    enable("SpeedButton15", c.next);
    enable("SpeedButton5", c.playSelected);
    enable("PlaySel1", c.playSelected);
    enable("SpeedButton13", c.eject);
    enable("Eject1", c.eject);
    enable("SpeedButton6", c.lookup);
    enable("SettingButton", c.settings);
    enable("Settings1", c.settings);
    enable("ConvertButton", c.convert);
    enable("ConvertFile1", c.convert);
    enable("ArtistBox", c.artistAlbum);
    enable("AlbumEdit", c.artistAlbum);
    for (const char* n : {"TagSpeedButton", "ID3v2", "ID3v21", "TrackPropItem"}) enable(n, c.tags);
    enable("VolumeBar", c.volume);
    enable("SpeedButton16", c.stop);
    enable("Stop1", c.stop);
    enable("BurnCDButton", c.burn);
    enable("AudioCD1", c.burn);
    enable("CDROMBox", c.driveBox);
    for (const char* n : {"SpeedButton1", "Refresh1", "OpenImage1", "SysInfo", "CDDB1", "SpeedButton17", "ProfileMenu"})
        enable(n, c.idle);
    enable("CloseImage1", c.closeImage);
}

void TMainWindow::PlaceToolButtons(const std::vector<ToolButtonPlace>& places) {
    for (const auto& p : places) {
        auto* b = toolPanel_->findChild<QToolButton*>(QString::fromLatin1(p.object.c_str()));
        if (!b) continue;
        b->setVisible(p.visible);
        if (p.visible) b->move(p.x, 2);
    }
}

int TMainWindow::ToolButtonWidth() const { return kToolButtonSize; }

void TMainWindow::SetColors(const WindowColors& colors) {
    QPalette window = centralWidget()->palette();
    window.setColor(QPalette::Window, FromColorRef(colors.window));
    centralWidget()->setPalette(window);
    toolPanel_->setPalette(window);
    statusBar()->setPalette(window);
    statusBar()->setAutoFillBackground(true);
    for (QWidget* w : std::initializer_list<QWidget*>{artistBox_, albumEdit_, driveBox_}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Base, FromColorRef(colors.control));
        w->setPalette(p);
    }
    QPalette list = listView_->palette();
    list.setColor(QPalette::Base, FromColorRef(colors.list));
    listView_->setPalette(list);
    QPalette bar = playBar_->palette();
    bar.setColor(QPalette::Window, FromColorRef(colors.playBar));
    playBar_->setPalette(bar);
}

void TMainWindow::SetGridLines(bool on) {
    listView_->setStyleSheet(on ? "QTreeView::item { border-bottom: 1px solid palette(mid); "
                                  "border-right: 1px solid palette(mid); }"
                                : QString());
}

void TMainWindow::SetGrabHint(const std::string& hint) {
    if (auto* b = toolPanel_->findChild<QToolButton*>("SpeedButton2")) b->setToolTip(QString::fromStdString(hint));
}

void TMainWindow::SetPollTimer(bool on) {
    if (on) pollTimer_.start();
    else pollTimer_.stop();
}

void TMainWindow::SetDriveNames(const std::vector<std::string>& names, int current) {
    fillingDriveBox_ = true;
    driveBox_->clear();
    for (const auto& n : names) driveBox_->addItem(QString::fromStdString(n));
    driveBox_->setCurrentIndex(current < driveBox_->count() ? current : -1);
    fillingDriveBox_ = false;
}

void TMainWindow::SetLanguageMenu(const std::vector<LanguageMenuEntry>& entries, int checkedTag) {
    for (QAction* a : languageGroup_->actions()) {
        languageGroup_->removeAction(a);
        languageMenu_->removeAction(a);
        a->deleteLater();
    }
    for (const auto& e : entries) {
        QAction* a = languageMenu_->addAction(QString::fromStdString(e.name));
        a->setObjectName(QString("Language%1").arg(e.tag));
        a->setCheckable(true);
        a->setChecked(e.tag == checkedTag);
        a->setData(e.tag);
        languageGroup_->addAction(a);
        const int tag = e.tag;
        connect(a, &QAction::triggered, this, [this, tag] { controller_->ChooseLanguage(tag); });
    }
}

void TMainWindow::SetProfileMenu(const std::vector<std::string>& captions, int checkedTag) {
    for (QAction* a : profileGroup_->actions()) {
        if (a->objectName() == "ProfileDefault") continue;
        profileGroup_->removeAction(a);
        profileMenu_->removeAction(a);
        a->deleteLater();
    }
    findChild<QAction*>("ProfileDefault")->setChecked(checkedTag < 0);
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        auto* a = new QAction(QString::fromStdString(captions[static_cast<std::size_t>(i)]), this);
        a->setObjectName(QString("Profile%1").arg(i));
        a->setCheckable(true);
        a->setChecked(i == checkedTag);
        profileGroup_->addAction(a);
        profileMenu_->insertAction(profileSeparator_, a);
        connect(a, &QAction::triggered, this, [this, i] { controller_->SelectProfile(i); });
    }
}

void TMainWindow::ApplyTexts(const WindowTexts& texts, const std::vector<std::string>& values) {
    ApplyWindowTexts(this, texts, values);
    // The track panel's tool tip names the disc, whatever the language says.
    if (!discIds_.empty()) trackPanel_->setToolTip(QString::fromStdString(discIds_));
}

void TMainWindow::ClearPanels() {
    trackPanel_->clear();
    timePanel_->clear();
    sizePanel_->clear();
    posPanel_->clear();
}

void TMainWindow::SetVolumeBar(int value) {
    const QSignalBlocker block(volumeBar_);
    volumeBar_->setValue(value);
}

void TMainWindow::ShowStatusMessage(const std::string& text) {
    messagePanel_->setText(QString::fromStdString(text));
    messagePanel_->setToolTip(messagePanel_->text());
}

void TMainWindow::SetDiscIds(const std::string& text) {
    discIds_ = text;
    trackPanel_->setToolTip(QString::fromStdString(text));
}

void TMainWindow::RunLater(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void TMainWindow::SetLanguageName(const std::string& name) {
    // Language names of the language files and the toolkit's translation
    // codes; English needs none.
    static const std::pair<const char*, const char*> kCodes[] = {
        {"russian", "ru"}, {"ukrainian", "uk"}, {"belarusian", "be"}, {"german", "de"},  {"french", "fr"},
        {"spanish", "es"}, {"italian", "it"},   {"polish", "pl"},     {"czech", "cs"},   {"bulgarian", "bg"},
    };
    QCoreApplication::removeTranslator(&qtTexts_);
    const QString lower = QString::fromStdString(name).toLower();
    for (const auto& [language, code] : kCodes) {
        if (lower != QLatin1String(language)) continue;
        if (qtTexts_.load(QStringLiteral("qtbase_") + QLatin1String(code),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&qtTexts_);
    }
}

std::array<int, 5> TMainWindow::ColumnWidths() const { return columnWidths_; }

void TMainWindow::SetColumnWidths(const std::array<int, 5>& widths) {
    for (std::size_t i = 0; i < 5; ++i) columnWidths_[i] = widths[i] > 0 && widths[i] < 2000 ? widths[i] : 80;
    FitColumns();
}

void TMainWindow::FitColumns() {
    fittingColumns_ = true;
    int others = 0;
    for (int i = 1; i < 5; ++i) {
        listView_->setColumnWidth(i, columnWidths_[static_cast<std::size_t>(i)]);
        others += columnWidths_[static_cast<std::size_t>(i)];
    }
    const int spare = listView_->viewport()->width() - others - columnWidths_[0];
    listView_->setColumnWidth(0, columnWidths_[0] + std::max(0, spare));
    fittingColumns_ = false;
}

void TMainWindow::Minimise() { showMinimized(); }

bool TMainWindow::RunSettingsDialog(TProgramSettings& settings, DISC_INFO& disc) {
    const bool mp3Page = std::exchange(settingsOnMp3Page_, false);
    if (settingsRunner_) return settingsRunner_(settings, disc);
    SettingsFormSources sources = ProgramSettingsSources(controller_->Drives().DriveNames(), disc,
                                                         controller_->Tags(), &controller_->Pump());
    const auto codecs = controller_->Encoders().CodecList();
    if (!codecs.empty()) sources.lameDescription = [name = codecs.front()] { return name; };
    const std::string languageName = settings.LanguageName();
    sources.detectReadCommand = [this, languageName](int transport, int drive, const std::string& sectors)
        -> std::optional<SettingsFormSources::DetectedCommand> {
        const auto rows = controller_->DetectReadCommands(transport, drive, sectors);
        if (!rows) return std::nullopt;
        TReadCommandForm form(*rows, controller_->Language(), languageName, this);
        form.exec();
        return form.Taken();
    };
    const auto driveTitle = [this](int drive) {
        TCDROM* cdrom = controller_->Drives().Cdrom();
        return cdrom && drive >= 0 && drive < cdrom->DriveCount() ? cdrom->DriveTitle(drive) : std::string();
    };
    sources.readOffset = [driveTitle](int drive) {
        const std::string title = driveTitle(drive);
        return title.empty() ? 0 : StoredReadOffset(title).value_or(0);
    };
    sources.storeReadOffset = [driveTitle](int drive, int samples) {
        if (const std::string title = driveTitle(drive); !title.empty()) StoreReadOffset(title, samples);
    };
    sources.detectReadOffset = [this](int drive) -> std::optional<int> {
        TCDROM* cdrom = controller_->Drives().Cdrom();
        if (!cdrom || drive != cdrom->CurrentDrive()) {
            dialogs_.ShowMessage(LangMessage(72), MessageIcon::Information);  // the disc is read in the chosen drive
            return std::nullopt;
        }
        return controller_->DetectReadOffsetCommand();
    };
    TSettingsForm form(settings, disc, dialogs_, controller_->Language(), this, std::move(sources));
    if (mp3Page) {
        // The converter's encoder settings: the encoding page's MP3 tab.
        if (auto* pages = form.findChild<QTabWidget*>("PageControl1")) pages->setCurrentIndex(2);
        if (auto* audio = form.findChild<QTabWidget*>("PageControl2")) audio->setCurrentIndex(0);
    }
    const bool accepted = form.exec() == QDialog::Accepted;
    if (accepted && mp3Config_) {
        // The dialog works on a copy that the caller stores afterwards: the
        // window refreshes once that is done.
        QTimer::singleShot(0, mp3Config_.data(), [w = mp3Config_] {
            if (w) w->Refresh();
        });
    }
    return accepted;
}

void TMainWindow::RunConverter() {
    const MainState state = controller_->State();
    if (state == MainState::msGrabbing || state == MainState::msEncoding) return;
    controller_->Stop();
    if (mp3Config_) mp3Config_->close();
    if (const auto refusal = TConverter::OpenRefusal()) {
        dialogs_.ShowMessage(*refusal, MessageIcon::Warning);
        return;
    }
    menuBar()->setEnabled(false);
    SetPollTimer(false);
    const std::string languageName = controller_->Settings().LanguageName();
    {
        TConvertForm form(controller_->Settings(), controller_->Encoders(), dialogs_, controller_->Pump(),
                          controller_->Language(), languageName, controller_->ConverterTempFolder(),
                          [this] {
                              settingsOnMp3Page_ = true;
                              controller_->SettingsCommand();
                          },
                          this);
        // The converter takes the main window's place while it is open.
        form.setGeometry(geometry());
        hide();
        form.exec();
        setGeometry(form.geometry());
    }
    SetPollTimer(true);
    menuBar()->setEnabled(true);
    show();
}

void TMainWindow::RunBurnWindow() {
    if (controller_->Busy()) return;
    if (controller_->State() != MainState::msIdle) controller_->Stop();
    if (mp3Config_) mp3Config_->close();
    menuBar()->setEnabled(false);
    SetPollTimer(false);
    TProgramSettings& settings = controller_->Settings();
    controller_->Drives().CloseDevice();
    {
        std::unique_ptr<TCDWriter> writer;
        if (burnWriterFactory_) writer = burnWriterFactory_();
        else {
            writer = std::make_unique<TCDWriter>(std::make_shared<DriveCatalog>(DefaultDriveEnvironment()));
            writer->EnumerateDrives();
        }
        TMainWriteForm form(*writer, controller_->SettingsFolder(), dialogs_, controller_->Language(),
                            settings.LanguageName(), this, sound_.get());
        // The burn window takes the main window's place while it is open.
        form.setGeometry(geometry());
        hide();
        form.exec();
        setGeometry(form.geometry());
    }
    const int drive = settings.CurrentDrive();
    controller_->Drives().SelectDrive(drive, settings.ReadCommand(drive));
    SetPollTimer(true);
    menuBar()->setEnabled(true);
    show();
    controller_->RefreshDisc();
}

void TMainWindow::ShowMp3Config() {
    if (!mp3Config_) {
        const auto codecs = controller_->Encoders().CodecList();
        mp3Config_ = new TMP3Config(controller_->Settings(), controller_->Encoders().WinMp3(),
                                    codecs.empty() ? std::string() : codecs.front(),
                                    [this] { controller_->Mp3SettingsChanged(); }, this);
        QString title = findChild<QAction*>("ShowMP3ConfigBox")->text();
        title.remove("...").remove(QChar(0x2026)).remove('&');
        mp3Config_->setWindowTitle(title.trimmed());
    }
    mp3Config_->show();
    mp3Config_->raise();
    mp3Config_->activateWindow();
}

IMainView::Geometry TMainWindow::WindowGeometry() const {
    const QRect r = geometry();
    return {r.left(), r.top(), r.width(), r.height()};
}

void TMainWindow::SetWindowGeometry(const Geometry& g) {
    if (g.width > 0 && g.height > 0) setGeometry(g.left, g.top, g.width, g.height);
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    if (!shutDown_ && controller_->Busy()) {
        // A grab or a lookup is running inside this call's caller: ask it to
        // stop (a grab asks the user) rather than tearing the window down
        // under it.
        controller_->RequestCancel();
        event->ignore();
        return;
    }
    if (!shutDown_) {
        shutDown_ = true;
        pollTimer_.stop();
        controller_->Shutdown();
    }
    event->accept();
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (listView_ && watched == listView_->viewport() && event->type() == QEvent::Resize) FitColumns();
    if (watched == listView_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Minus || key == Qt::Key_Plus) {  // before the list's type-ahead search takes them
            controller_->StepCommand(key == Qt::Key_Minus ? -1 : +1);
            return true;
        }
        // While a title is being edited the editor has the keys, not the list.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && listView_->currentItem()) {
            listView_->editItem(listView_->currentItem(), 0);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Minus || event->key() == Qt::Key_Plus) {
        controller_->StepCommand(event->key() == Qt::Key_Minus ? -1 : +1);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        QWidget* focus = QApplication::focusWidget();
        const bool inEdit = focus && (focus == albumEdit_ || focus == artistBox_ || artistBox_->isAncestorOf(focus) ||
                                      (listView_->isAncestorOf(focus) && qobject_cast<QLineEdit*>(focus)));
        if (!inEdit) {
            controller_->EscapePressed();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

}  // namespace sv
