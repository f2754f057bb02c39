#include "ui/SettingsForm.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QKeyEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/SettingsDialogLogic.h"
#include "app/WindowTexts.h"
#include "base/Msf.h"
#include "base/Paths.h"
#include "ui/WindowTextApplier.h"

namespace sv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(name);
    return w;
}

QLabel* Label(QWidget* parent, const char* name) { return Named(new QLabel(parent), name); }
QCheckBox* Check(QWidget* parent, const char* name) { return Named(new QCheckBox(parent), name); }
QLineEdit* Edit(QWidget* parent, const char* name) { return Named(new QLineEdit(parent), name); }

QComboBox* Combo(QWidget* parent, const char* name, const std::vector<std::string>& items = {}) {
    auto* c = Named(new QComboBox(parent), name);
    for (const auto& i : items) c->addItem(Q(i));
    return c;
}

QSpinBox* Percent(QWidget* parent, const char* name) {
    auto* s = Named(new QSpinBox(parent), name);
    s->setRange(0, 100);
    return s;
}

QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
std::uint32_t ToColorRef(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

void SetIndex(QComboBox* box, int index) { box->setCurrentIndex(index >= 0 && index < box->count() ? index : 0); }

std::vector<std::string> KbpsItems(const std::vector<int>& rates) {
    std::vector<std::string> v;
    for (int r : rates) v.push_back(std::to_string(r) + " kbit/s");
    return v;
}

}  // namespace

TSettingsForm::TSettingsForm(TProgramSettings& settings, DISC_INFO& disc, IUserDialogs& dialogs, TLanguage& language,
                             QWidget* parent, SettingsFormSources sources)
    : QDialog(parent),
      result_(settings),
      disc_(disc),
      language_(language),
      work_(settings),
      dialogs_(dialogs),
      sources_(std::move(sources)) {
    setObjectName("TSettingsForm");
    setModal(true);
    if (!sources_.driveNames) sources_.driveNames = [] { return std::vector<std::string>{}; };
    if (!sources_.lameDescription) sources_.lameDescription = [] { return std::string("Lame MP3 Encoder"); };
    if (!sources_.mp3Codecs) sources_.mp3Codecs = [] { return std::vector<std::string>{}; };
    if (!sources_.mp3Formats) sources_.mp3Formats = [](int) { return std::vector<std::string>{}; };
    if (!sources_.acmCodecs) sources_.acmCodecs = [] { return std::vector<std::string>{}; };
    if (!sources_.acmFormats) sources_.acmFormats = [](int) { return std::vector<std::string>{}; };
    if (!sources_.mirrors) sources_.mirrors = [] { return std::vector<SettingsFormSources::Mirror>{}; };
    if (!sources_.formatKeyAllowed) sources_.formatKeyAllowed = [](char32_t) { return true; };
    if (!sources_.collapsePercents) sources_.collapsePercents = [](const std::string& t) { return t; };

    auto* layout = new QVBoxLayout(this);
    pages_ = Named(new QTabWidget(this), "PageControl1");
    pages_->addTab(BuildFilesPage(), QString());
    pages_->addTab(BuildDrivePage(), QString());
    pages_->addTab(BuildEncodingPage(), QString());
    pages_->addTab(BuildCddbPage(), QString());
    pages_->addTab(BuildInterfacePage(), QString());
    layout->addWidget(pages_);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = Named(buttons->addButton("Ok", QDialogButtonBox::AcceptRole), "OkButton");
    ok->setDefault(true);
    Named(buttons->addButton(QString(), QDialogButtonBox::RejectRole), "CancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &TSettingsForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TSettingsForm::reject);
    layout->addWidget(buttons);

    for (const WindowTexts* table : {&SettingsFormTexts(), &SettingsFormMoreTexts()}) {
        ApplyBuiltinTexts(this, *table);
        ApplyLanguageToDialog(this, *table, language, work_.LanguageName());
    }
    LoadControls();
}

QWidget* TSettingsForm::BuildFilesPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(Label(page, "WorkDirLabel"));
    workDir_ = Edit(page, "WorkDir");
    dirRow->addWidget(workDir_, 1);
    auto* browse = Named(new QPushButton(page), "WorkDirButton");
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, Q(LangMessage(32)), workDir_->text());
        if (!dir.isEmpty()) workDir_->setText(dir);
    });
    dirRow->addWidget(browse);
    v->addLayout(dirRow);

    auto* naming = Named(new QGroupBox(page), "NamingGroup");
    auto* nv = new QVBoxLayout(naming);
    for (auto [box, name] : {std::pair{&useTrackNum_, "File_UseTrackNum"}, std::pair{&useArtistName_, "File_UseArtistName"},
                              std::pair{&useAlbumName_, "File_UseAlbumName"}, std::pair{&useTrackName_, "File_UseTrackName"}}) {
        *box = Check(naming, name);
        nv->addWidget(*box);
    }
    auto* folders = Named(new QGroupBox(page), "FoldersGroup");
    auto* fv = new QVBoxLayout(folders);
    dirPerArtist_ = Check(folders, "Dir_AsArtistName");
    dirPerAlbum_ = Check(folders, "Dir_AsAlbumName");
    fv->addWidget(dirPerArtist_);
    fv->addWidget(dirPerAlbum_);
    fv->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(naming);
    row->addWidget(folders);
    v->addLayout(row);

    useFormat_ = Check(page, "UseFormatString");
    v->addWidget(useFormat_);
    formatEdit_ = Edit(page, "FormatEdit");
    formatEdit_->setMaxLength(TProgramSettings::kFormatStringSize - 1);
    v->addWidget(formatEdit_);
    auto* help = Label(page, "FormatHelp");
    help->setText(Q(LangMessage(28) + "\n" + LangMessage(29) + "\n" + LangMessage(30) + "\n" + LangMessage(31)));
    help->setFont(QFont("Monospace"));
    v->addWidget(help);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(Label(page, "FormatPreviewLabel"));
    formatPreview_ = Label(page, "FormatPreview");
    previewRow->addWidget(formatPreview_, 1);
    v->addLayout(previewRow);
    cueBox_ = Check(page, "CUEBox");
    v->addWidget(cueBox_);
    v->addStretch();
    formatEdit_->installEventFilter(this);
    connect(useFormat_, &QCheckBox::toggled, this, [this] { UpdateFormatControls(); });
    connect(formatEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString collapsed = Q(sources_.collapsePercents(text.toStdString()));
        if (collapsed != text) {
            const int cursor = formatEdit_->cursorPosition() - static_cast<int>(text.size() - collapsed.size());
            formatEdit_->setText(collapsed);
            formatEdit_->setCursorPosition(std::max(0, cursor));
        }
    });
    connect(formatEdit_, &QLineEdit::textChanged, this, [this] { UpdateFormatControls(); });
    return page;
}

QWidget* TSettingsForm::BuildDrivePage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    deviceName_ = Combo(page, "DeviceName", sources_.driveNames());
    form->addRow(Label(page, "DeviceNameLabel"), deviceName_);
    auto* speedRow = new QHBoxLayout;
    speedBox_ = Combo(page, "SpeedBox", ReadSpeedItems());
    maxSpeed_ = Check(page, "CBMaxSpeed");
    maxSpeed_->setText("Max");
    connect(maxSpeed_, &QCheckBox::toggled, speedBox_, &QWidget::setDisabled);
    speedRow->addWidget(speedBox_, 1);
    speedRow->addWidget(maxSpeed_);
    form->addRow(Label(page, "SpeedLabel"), speedRow);
    sectors_ = Edit(page, "NumSecReadEdit");
    sectors_->setMaxLength(3);
    form->addRow(Label(page, "NumSecReadLabel"), sectors_);
    auto* iface = Named(new QGroupBox(page), "InterfaceGroup");
    auto* ih = new QHBoxLayout(iface);
    aspi_ = Named(new QRadioButton("ASPI (SCSI generic, /dev/sg*)", iface), "ASPIBtn");
    spti_ = Named(new QRadioButton("SPTI (/dev/sr*)", iface), "SPTIBtn");
    ih->addWidget(aspi_);
    ih->addWidget(spti_);
    form->addRow(iface);
    auto* cmdRow = new QHBoxLayout;
    commandType_ = Combo(page, "CommandTypeBox", ReadCommandNames());
    auto* detect = Named(new QPushButton(page), "DetectButton");
    connect(detect, &QPushButton::clicked, this, [this] {
        if (!sources_.detectReadCommand) return;
        const int transport = spti_->isChecked() ? 1 : 0;
        const auto chosen = sources_.detectReadCommand(transport, deviceName_->currentIndex(), sectors_->text().toStdString());
        if (!chosen) return;
        SetIndex(commandType_, chosen->command);
        sectors_->setText(QString::number(chosen->sectors));
    });
    detect->setEnabled(static_cast<bool>(sources_.detectReadCommand));
    cmdRow->addWidget(commandType_, 1);
    cmdRow->addWidget(detect);
    form->addRow(Label(page, "CommandTypeLabel"), cmdRow);
    extractMethod_ = Combo(page, "ExtractMethodBox", {"", "", "", ""});
    form->addRow(Label(page, "ExtractMethodLabel"), extractMethod_);
    // The read offset belongs to the drive model, not to the settings record:
    // it is kept apart and follows the drive chosen above.
    auto* offsetRow = new QHBoxLayout;
    readOffset_ = Named(new QSpinBox(page), "ReadOffsetBox");
    readOffset_->setRange(-kMaxReadOffset, kMaxReadOffset);
    auto* findOffset = Named(new QPushButton(page), "FindOffsetButton");
    offsetRow->addWidget(readOffset_);
    offsetRow->addWidget(findOffset);
    offsetRow->addStretch(1);
    form->addRow(Label(page, "ReadOffsetLabel"), offsetRow);
    const auto showOffset = [this] {
        KeepEditedOffset();
        shownOffsetDrive_ = deviceName_->currentIndex();
        const QSignalBlocker block(readOffset_);
        const auto edited = editedOffsets_.find(shownOffsetDrive_);
        readOffset_->setValue(edited != editedOffsets_.end() ? edited->second
                              : sources_.readOffset && shownOffsetDrive_ >= 0 ? sources_.readOffset(shownOffsetDrive_)
                                                                               : 0);
        readOffset_->setProperty("edited", false);
    };
    connect(readOffset_, &QSpinBox::valueChanged, this, [this] { readOffset_->setProperty("edited", true); });
    connect(deviceName_, &QComboBox::currentIndexChanged, this, showOffset);
    connect(findOffset, &QPushButton::clicked, this, [this] {
        if (!sources_.detectReadOffset) return;
        if (const auto found = sources_.detectReadOffset(deviceName_->currentIndex())) readOffset_->setValue(*found);
    });
    readOffset_->setEnabled(static_cast<bool>(sources_.readOffset));
    findOffset->setEnabled(static_cast<bool>(sources_.detectReadOffset));
    QTimer::singleShot(0, this, showOffset);
    for (auto [box, name] : {std::pair{&rcd_, "RCDBox"}, std::pair{&rotate_, "RotateBox"}, std::pair{&lockCd_, "LockCDBox"},
                              std::pair{&ejectAfter_, "EjectACopy"}, std::pair{&volumeOnCd_, "VolumeOnCDBox"},
                              std::pair{&digitalPlayback_, "DPBox"}}) {
        *box = Check(page, name);
        form->addRow(*box);
    }
    return page;
}

QWidget* TSettingsForm::BuildEncodingPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    audioTabs_ = Named(new QTabWidget(page), "PageControl2");
    audioTabs_->addTab(BuildMp3Tab(), "MP3");
    audioTabs_->addTab(BuildOggTab(), "OGG");
    audioTabs_->addTab(BuildWmaTab(), "WMA");
    audioTabs_->addTab(BuildExternalTab(), QString());
    audioTabs_->addTab(BuildNormalisationTab(), QString());
    audioTabs_->addTab(BuildFlacTab(), "FLAC");
    v->addWidget(audioTabs_);
    return page;
}

QWidget* TSettingsForm::BuildMp3Tab() {
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    codecBox_ = Combo(tab, "CodecBox");
    codecBox_->addItem(Q(sources_.lameDescription()));
    for (const auto& c : sources_.mp3Codecs()) codecBox_->addItem(Q(c));
    form->addRow(Label(tab, "CodecLabel"), codecBox_);
    formatLabel_ = Label(tab, "FormatLabel");
    formatBox_ = Combo(tab, "FormatBox");
    form->addRow(formatLabel_, formatBox_);
    lameOnly_ = Named(new QWidget(tab), "LamePanel");
    auto* lame = new QFormLayout(lameOnly_);
    lame->setContentsMargins(0, 0, 0, 0);
    maxBitrate_ = Combo(lameOnly_, "MaxBitrateBox", Mp3BitrateItems());
    lame->addRow(Label(lameOnly_, "MaxBitrateLabel"), maxBitrate_);
    modeBox_ = Combo(lameOnly_, "ModeBox", {"Stereo", "JoinStereo", "Dualchannel", "Mono"});
    lame->addRow(Label(lameOnly_, "ModeLabel"), modeBox_);
    vbrBox_ = Combo(lameOnly_, "VBRBox", {"-", "Default", "OLD", "NEW", "MTRH"});
    auto* vbrLabel = Label(lameOnly_, "VBRLabel");
    vbrLabel->setText("VBR:");
    lame->addRow(vbrLabel, vbrBox_);
    vbrQuality_ = Combo(lameOnly_, "VBRQualityBox");
    for (int i = 0; i <= 9; ++i) vbrQuality_->addItem(QString("VBR %1").arg(i));
    lame->addRow(Label(lameOnly_, "VBRQualityLabel"), vbrQuality_);
    lameQuality_ = Combo(lameOnly_, "LameQualityBox",
                         {"", "High", "Normal", "Low", "Phone", "FM", "Voice", "Radio", "Tape", "HI FI", "CD", "Studio"});
    lameQuality_->hide();
    form->addRow(lameOnly_);
    onTheFly_ = Check(tab, "OnTheFlyEncodingBox");
    mp3AsOgg_ = Check(tab, "MP3AsOGGBox");
    form->addRow(onTheFly_);
    form->addRow(mp3AsOgg_);
    connect(codecBox_, &QComboBox::currentIndexChanged, this, [this] { UpdateCodecControls(); });
    connect(vbrBox_, &QComboBox::currentIndexChanged, this, [this] { UpdateVbrControls(); });
    return tab;
}

QWidget* TSettingsForm::BuildOggTab() {
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    oggUseQuality_ = Check(tab, "OggQualityBox");
    form->addRow(oggUseQuality_);
    oggBar_ = Named(new QSlider(Qt::Horizontal, tab), "OggBar");
    oggBar_->setRange(-100, 1000);
    oggBar_->setSingleStep(10);
    oggBar_->setPageStep(100);
    form->addRow(Label(tab, "OggQualityLabel"), oggBar_);
    oggNom_ = Combo(tab, "OggNomBRBox", KbpsItems(OggBitrates()));
    oggMin_ = Combo(tab, "OggMinBRBox", KbpsItems(OggBitrates()));
    oggMax_ = Combo(tab, "OggMaxBRBox", KbpsItems(OggBitrates()));
    form->addRow(Label(tab, "OggNomLabel"), oggNom_);
    form->addRow(Label(tab, "OggMinLabel"), oggMin_);
    form->addRow(Label(tab, "OggMaxLabel"), oggMax_);
    auto sync = [this] {
        const bool q = oggUseQuality_->isChecked();
        oggBar_->setEnabled(q);
        oggNom_->setEnabled(!q);
        oggMin_->setEnabled(!q);
        oggMax_->setEnabled(!q);
    };
    connect(oggUseQuality_, &QCheckBox::toggled, this, sync);
    return tab;
}

QWidget* TSettingsForm::BuildWmaTab() {
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    wmaBitrate_ = Combo(tab, "WMABitrateBox", KbpsItems(WmaBitrates()));
    form->addRow(Label(tab, "WMABitrateLabel"), wmaBitrate_);
    useDrm_ = Check(tab, "UseDRMBox");
    form->addRow(useDrm_);
    return tab;
}

QWidget* TSettingsForm::BuildFlacTab() {
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    // Kept apart from the settings record, like the read offset.
    flacLevel_ = Named(new QSpinBox(tab), "FlacLevelBox");
    flacLevel_->setRange(0, 8);
    flacLevel_->setValue(sources_.flacLevel ? sources_.flacLevel() : 5);
    form->addRow(Label(tab, "FlacLevelLabel"), flacLevel_);
    return tab;
}

QWidget* TSettingsForm::BuildExternalTab() {
    auto* tab = new QWidget;
    auto* v = new QVBoxLayout(tab);
    auto* row = new QFormLayout;
    extEncoder_ = Combo(tab, "ExtEncoderBox", {"Monkey's Audio (APE)", "AAC", "ACM"});
    row->addRow(Label(tab, "ExtEncoderLabel"), extEncoder_);
    v->addLayout(row);
    extPanels_ = Named(new QStackedWidget(tab), "ExtPanels");

    auto* ape = Named(new QWidget, "APEPanel");
    auto* af = new QFormLayout(ape);
    apeLevel_ = Combo(ape, "APE_LevelBox", {"Fast", "Normal", "High", "Extra High", "Insane"});
    af->addRow(Label(ape, "APE_LevelLabel"), apeLevel_);
    apeMono_ = Check(ape, "APE_MonoBox");
    af->addRow(apeMono_);
    extPanels_->addWidget(ape);

    auto* aac = Named(new QWidget, "AACPanel");
    auto* cf = new QFormLayout(aac);
    faacBitrate_ = Combo(aac, "FAACBitrateBox", AacBitrateItems());
    cf->addRow(Label(aac, "FAACBitrateLabel"), faacBitrate_);
    faacObjectType_ = Combo(aac, "FAACObjectTypeBox", {"Low Complexity", "Main", "Long Term Prediction"});
    cf->addRow(Label(aac, "FAACObjectTypeLabel"), faacObjectType_);
    faacTns_ = Check(aac, "FAACUseTns");
    faacTns_->setText("Temporal noise shaping");
    faacMidSide_ = Check(aac, "FAACAllowMSBox");
    cf->addRow(faacTns_);
    cf->addRow(faacMidSide_);
    auto* mpeg = new QHBoxLayout;
    faacMpeg4_ = Named(new QRadioButton("MPEG-4", aac), "FAACMPEG4Box");
    faacMpeg2_ = Named(new QRadioButton("MPEG-2", aac), "RadioButton2");
    mpeg->addWidget(faacMpeg4_);
    mpeg->addWidget(faacMpeg2_);
    cf->addRow(mpeg);
    extPanels_->addWidget(aac);

    auto* acm = Named(new QWidget, "ACMPanel");
    auto* mf = new QFormLayout(acm);
    acmCodec_ = Combo(acm, "ACMCodecBox", sources_.acmCodecs());
    acmFormat_ = Combo(acm, "ACMFormatBox");
    acmExt_ = Edit(acm, "ACMFileExt");
    acmExt_->setMaxLength(5);
    acmWavHeader_ = Check(acm, "ACMWriteWAVEHeadBox");
    acmTag_ = Check(acm, "ACMWriteTagBox");
    mf->addRow(Label(acm, "ACMCodecLabel"), acmCodec_);
    mf->addRow(Label(acm, "ACMFormatLabel"), acmFormat_);
    mf->addRow(Label(acm, "ACMFileExtLabel"), acmExt_);
    mf->addRow(acmWavHeader_);
    mf->addRow(acmTag_);
    extPanels_->addWidget(acm);
    v->addWidget(extPanels_);
    v->addStretch();
    connect(extEncoder_, &QComboBox::currentIndexChanged, extPanels_, &QStackedWidget::setCurrentIndex);
    connect(acmCodec_, &QComboBox::activated, this, [this] {
        FillAcmFormats();
        acmFormat_->setCurrentIndex(acmFormat_->count() > 0 ? 0 : -1);
    });
    return tab;
}

QWidget* TSettingsForm::BuildNormalisationTab() {
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    normalize_ = Check(tab, "CheckBox1");
    form->addRow(normalize_);
    setMin_ = Percent(tab, "SetMinEdit");
    minTarget_ = Percent(tab, "MinEdit");
    setMax_ = Percent(tab, "SetMaxEdit");
    maxTarget_ = Percent(tab, "MaxEdit");
    form->addRow(Label(tab, "SetMinLabel"), setMin_);
    form->addRow(Label(tab, "MinLabel"), minTarget_);
    form->addRow(Label(tab, "SetMaxLabel"), setMax_);
    form->addRow(Label(tab, "MaxLabel"), maxTarget_);
    return tab;
}

QWidget* TSettingsForm::BuildCddbPage() {
    auto* page = titlesPage_ = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* sourceGroup = Named(new QGroupBox(page), "SourceGroup");
    auto* lookupForm = new QFormLayout(sourceGroup);
    // The rows follow LookupSource's values; their texts come from the language tables.
    lookupSource_ = Combo(sourceGroup, "LookupSourceBox", {"", "", "", ""});
    musicBrainz_ = Edit(sourceGroup, "MusicBrainzEdit");
    lookupForm->addRow(Label(sourceGroup, "LookupSourceLabel"), lookupSource_);
    lookupForm->addRow(Label(sourceGroup, "MusicBrainzLabel"), musicBrainz_);
    lookupOnInsertion_ = Check(sourceGroup, "LookupOnInsertBox");
    lookupForm->addRow(lookupOnInsertion_);
    v->addWidget(sourceGroup);
    auto* serverGroup = Named(new QGroupBox(page), "ServerGroup");
    auto* sf = new QFormLayout(serverGroup);
    server_ = Edit(serverGroup, "ServerEdit");
    server_->setMaxLength(TProgramSettings::kCddbServerSize - 1);
    path_ = Edit(serverGroup, "PathEdit");
    path_->setMaxLength(TProgramSettings::kCddbPathSize - 1);
    port_ = Edit(serverGroup, "PortEdit");
    timeout_ = Edit(serverGroup, "TimeOutEdit");
    cddbEmail_ = Edit(serverGroup, "CddbEmailEdit");
    serverBox_ = Combo(serverGroup, "ServerBox");
    auto* getSites = Named(new QPushButton(serverGroup), "GetSitesButton");
    getSites->setEnabled(static_cast<bool>(sources_.fetchMirrors));
    connect(getSites, &QPushButton::clicked, this, [this] {
        if (!sources_.fetchMirrors) return;
        const auto fetched = sources_.fetchMirrors(cddbEmail_->text().trimmed().toStdString());
        if (fetched.empty()) return;
        FillMirrors(fetched);
        serverBox_->setCurrentIndex(0);
    });
    connect(serverBox_, &QComboBox::activated, this, [this](int i) {
        if (i < 0 || i >= static_cast<int>(mirrorList_.size())) return;
        server_->setText(Q(mirrorList_[static_cast<std::size_t>(i)].host));
        path_->setText(Q(mirrorList_[static_cast<std::size_t>(i)].path));
    });
    sf->addRow(Label(serverGroup, "ServerLabel"), server_);
    sf->addRow(Label(serverGroup, "PathLabel"), path_);
    sf->addRow(Label(serverGroup, "PortLabel"), port_);
    sf->addRow(Label(serverGroup, "TimeOutLabel"), timeout_);
    sf->addRow(Label(serverGroup, "CddbEmailLabel"), cddbEmail_);
    sf->addRow(Label(serverGroup, "ServerBoxLabel"), serverBox_);
    sf->addRow(getSites);
    v->addWidget(serverGroup);
    auto* proxyGroup = Named(new QGroupBox(page), "ProxyGroup");
    auto* pf = new QFormLayout(proxyGroup);
    proxy_ = Edit(proxyGroup, "ProxyEdit");
    proxy_->setMaxLength(TProgramSettings::kProxyHostSize - 1);
    user_ = Edit(proxyGroup, "UserEdit");
    user_->setMaxLength(TProgramSettings::kProxyUserSize - 1);
    password_ = Edit(proxyGroup, "PasswordEdit");
    password_->setMaxLength(TProgramSettings::kProxyPasswordSize - 1);
    password_->setEchoMode(QLineEdit::Password);
    pf->addRow(Label(proxyGroup, "ProxyLabel"), proxy_);
    pf->addRow(Label(proxyGroup, "UserLabel"), user_);
    pf->addRow(Label(proxyGroup, "PasswordLabel"), password_);
    v->addWidget(proxyGroup);
    auto* localGroup = Named(new QGroupBox(page), "LocalGroup");
    auto* lf = new QFormLayout(localGroup);
    localDir_ = Edit(localGroup, "LCDDBPathEdit");
    unixBox_ = Check(localGroup, "UnixBox");
    ownBaseOnly_ = Check(localGroup, "UseOnlySVBaseBox");
    lf->addRow(Label(localGroup, "LCDDBPathLabel"), localDir_);
    lf->addRow(unixBox_);
    lf->addRow(ownBaseOnly_);
    v->addWidget(localGroup);
    v->addStretch();
    return page;
}

QPushButton* TSettingsForm::ColorButton(const char* name, std::uint32_t* value) {
    auto* b = Named(new QPushButton, name);
    b->setFixedWidth(80);
    auto paint = [b, value] { b->setStyleSheet(QString("background-color: %1").arg(FromColorRef(*value).name())); };
    connect(b, &QPushButton::clicked, this, [this, value, paint] {
        const QColor c = QColorDialog::getColor(FromColorRef(*value), this);
        if (c.isValid()) {
            *value = ToColorRef(c);
            paint();
        }
    });
    paint();
    return b;
}

QWidget* TSettingsForm::BuildInterfacePage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    showGrid_ = Check(page, "ShowGridBox");
    v->addWidget(showGrid_);
    auto* buttons = Named(new QGroupBox(page), "ButtonsGroup");
    auto* bl = new QGridLayout(buttons);
    int i = 0;
    for (auto [box, name, text] :
         {std::tuple{&showWave_, "ShowWAVE", "WAVE"}, std::tuple{&showWma_, "ShowWMA", "WMA"},
          std::tuple{&showBurn_, "ShowBURN", ""}, std::tuple{&showConvert_, "ShowConvert", ""},
          std::tuple{&showFreeDb_, "ShowFreeDB", "CDDB"}, std::tuple{&showPlayer_, "ShowPlayer", ""}}) {
        *box = Check(buttons, name);
        if (*text) (*box)->setText(text);
        bl->addWidget(*box, i / 3, i % 3);
        ++i;
    }
    v->addWidget(buttons);
    windowColor_ = work_.WindowColor();
    controlColor_ = work_.ControlColor();
    playBarColor_ = work_.PlayBarColor();
    auto* colors = Named(new QGroupBox(page), "ColorsGroup");
    auto* cf = new QFormLayout(colors);
    cf->addRow(Label(colors, "WindowColorLabel"), ColorButton("WindowColorBox", &windowColor_));
    cf->addRow(Label(colors, "ControlColorLabel"), ColorButton("ControlColorBox", &controlColor_));
    cf->addRow(Label(colors, "PlayBarColorLabel"), ColorButton("PlayBarColorBox", &playBarColor_));
    v->addWidget(colors);
    for (auto [box, name] : {std::pair{&cdPlayer_, "UseAsCDPlayerBox"}, std::pair{&priority_, "PriorityBox"},
                              std::pair{&shutdown_, "ShutComp"}}) {
        *box = Check(page, name);
        v->addWidget(*box);
    }
    v->addStretch();
    return page;
}

void TSettingsForm::FillMirrors(const std::vector<SettingsFormSources::Mirror>& mirrors) {
    mirrorList_ = mirrors;
    serverBox_->clear();
    for (const auto& m : mirrors) serverBox_->addItem(Q(m.description + " (" + m.host + m.path + ")"));
}

void TSettingsForm::FillAcmFormats() {
    acmFormat_->clear();
    for (const auto& f : sources_.acmFormats(acmCodec_->currentIndex())) acmFormat_->addItem(Q(f));
}

void TSettingsForm::UpdateCodecControls() {
    const bool lame = codecBox_->currentIndex() <= 0;
    const QSignalBlocker block(formatBox_);
    formatBox_->clear();
    if (lame) {
        for (const auto& i : Mp3BitrateItems()) formatBox_->addItem(Q(i));
        SetIndex(formatBox_, 14 - work_.LameBitrateIndex());
        formatLabel_->setText(Q(LangMessage(35)));
    } else {
        for (const auto& f : sources_.mp3Formats(codecBox_->currentIndex() - 1)) formatBox_->addItem(Q(f));
        SetIndex(formatBox_, work_.Mp3AcmFormatIndex());
        formatLabel_->setText(Q(LangMessage(36)));
    }
    lameOnly_->setVisible(lame);
}

void TSettingsForm::UpdateVbrControls() {
    const bool vbr = vbrBox_->currentIndex() > 0;
    vbrQuality_->setEnabled(vbr);
    maxBitrate_->setEnabled(vbr);
}

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == formatEdit_ && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && !sources_.formatKeyAllowed(text.at(0).unicode())) return true;  // swallowed
    }
    return QDialog::eventFilter(watched, event);
}

void TSettingsForm::UpdateFormatControls() {
    const bool on = useFormat_->isChecked();
    // With a format string the string makes the names and the folders.
    formatEdit_->setEnabled(on);
    for (QCheckBox* b : {useTrackName_, useAlbumName_, useArtistName_, useTrackNum_, dirPerAlbum_, dirPerArtist_})
        b->setEnabled(!on);
    if (!sources_.formatPreview) return;
    if (const auto preview = sources_.formatPreview(formatEdit_->text().toStdString())) formatPreview_->setText(Q(*preview));
}

void TSettingsForm::LoadControls() {
    const TProgramSettings& s = work_;
    workDir_->setText(Q(s.OutputDir()));
    useTrackName_->setChecked(s.FileUseTrackName());
    useAlbumName_->setChecked(s.FileUseAlbumName());
    useArtistName_->setChecked(s.FileUseArtistName());
    useTrackNum_->setChecked(s.FileUseTrackNum());
    dirPerAlbum_->setChecked(s.DirPerAlbum());
    dirPerArtist_->setChecked(s.DirPerArtist());
    useFormat_->setChecked(s.UseFormatString());
    formatEdit_->setText(Q(s.FormatString()));
    cueBox_->setChecked(s.RipCueSheet());

    SetIndex(deviceName_, s.CurrentDrive());
    if (s.ReadSpeed() == 255) {
        maxSpeed_->setChecked(true);
        speedBox_->setCurrentIndex(speedBox_->count() - 1);
    } else {
        SetIndex(speedBox_, s.ReadSpeed() - 1);
    }
    sectors_->setText(Q(SectorsShown(s.SectorsPerRead())));
    (s.UseSPTI() ? spti_ : aspi_)->setChecked(true);
    SetIndex(commandType_, ValidReadCommand(s.ReadCommand(s.CurrentDrive())));
    SetIndex(extractMethod_, s.ExtractMethod());
    rcd_->setChecked(s.DisableReadCache());
    rotate_->setChecked(s.SpinUpBeforeCopy());
    lockCd_->setChecked(s.LockTray());
    ejectAfter_->setChecked(s.EjectAfterCopy());
    volumeOnCd_->setChecked(s.SetDriveVolume());
    digitalPlayback_->setChecked(s.DigitalPlayback());

    SetIndex(codecBox_, s.UseLameEncoder() ? 0 : s.Mp3AcmCodecIndex() + 1);
    UpdateCodecControls();
    SetIndex(maxBitrate_, 14 - s.LameMaxBitrateIndex());
    SetIndex(modeBox_, s.LameMode());
    SetIndex(vbrBox_, s.LameVbrMethod() + 1);
    SetIndex(vbrQuality_, s.LameVbrQuality());
    SetIndex(lameQuality_, QualityItemFromPreset(s.LamePreset()));
    UpdateVbrControls();
    onTheFly_->setChecked(s.OnTheFlyEncoding());
    mp3AsOgg_->setChecked(s.Mp3AsOgg());
    oggUseQuality_->setChecked(s.OggUseQuality());
    emit oggUseQuality_->toggled(s.OggUseQuality());
    oggBar_->setValue(s.OggQuality());
    SetIndex(oggNom_, s.OggNomBitrateIndex());
    SetIndex(oggMin_, s.OggMinBitrateIndex());
    SetIndex(oggMax_, s.OggMaxBitrateIndex());
    SetIndex(wmaBitrate_, s.WmaBitrateIndex());
    useDrm_->setChecked(s.WmaUseDRM());
    SetIndex(extEncoder_, s.ExtEncoder());
    extPanels_->setCurrentIndex(extEncoder_->currentIndex());
    SetIndex(apeLevel_, s.ApeLevel());
    apeMono_->setChecked(s.ApeMono());
    SetIndex(faacBitrate_, s.FaacBitrateIndex());
    SetIndex(faacObjectType_, s.FaacObjectType());
    faacTns_->setChecked(s.FaacUseTns() != 0);
    faacMidSide_->setChecked(s.FaacAllowMidSide() != 0);
    (s.FaacMpeg4() != 0 ? faacMpeg4_ : faacMpeg2_)->setChecked(true);
    SetIndex(acmCodec_, s.AcmCodecIndex());
    FillAcmFormats();
    SetIndex(acmFormat_, s.AcmFormatIndex());
    acmExt_->setText(Q(s.AcmFileExt()));
    acmWavHeader_->setChecked(s.AcmWriteWavHeader());
    acmTag_->setChecked(s.AcmWriteTag());
    normalize_->setChecked(s.Normalize());
    setMin_->setValue(s.NormLowThreshold());
    minTarget_->setValue(s.NormLowTarget());
    setMax_->setValue(s.NormHighThreshold());
    maxTarget_->setValue(s.NormHighTarget());
    audioTabs_->setCurrentIndex(AudioTabForFormat(s.OutputFormat()));

    server_->setText(Q(s.CddbServer().empty() ? std::string(kDefaultCddbHost) : s.CddbServer()));
    path_->setText(Q(s.CddbPath().empty() ? std::string(kDefaultCddbPath) : s.CddbPath()));
    port_->setText(QString::number(s.CddbPort()));
    timeout_->setText(QString::number(s.CddbTimeoutMs() / 1000));
    FillMirrors(sources_.mirrors());
    SetIndex(serverBox_, s.CddbServerIndex());
    proxy_->setText(Q(s.ProxyHost()));
    user_->setText(Q(s.ProxyUser()));
    password_->setText(Q(s.ProxyPassword()));
    const SettingsFormSources::Lookup lookup = sources_.lookup ? sources_.lookup() : SettingsFormSources::Lookup{};
    SetIndex(lookupSource_, static_cast<int>(lookup.source));
    musicBrainz_->setText(Q(lookup.musicBrainzServer));
    cddbEmail_->setText(Q(lookup.greetingAddress));
    lookupOnInsertion_->setChecked(lookup.onInsertion);
    localDir_->setText(Q(s.LocalCddbDir()));
    unixBox_->setChecked(s.LocalCddbUnix());
    ownBaseOnly_->setChecked(s.LocalCddbOnly());

    showGrid_->setChecked(s.ShowGrid());
    showWave_->setChecked(s.ShowWaveButton());
    showWma_->setChecked(s.ShowWmaButton());
    showBurn_->setChecked(s.ShowBurnButton());
    showConvert_->setChecked(s.ShowConvertButton());
    showFreeDb_->setChecked(s.ShowFreeDBButton());
    showPlayer_->setChecked(s.ShowPlayerButton());
    cdPlayer_->setChecked(s.AudioCDAssociation());
    priority_->setChecked(s.MaxPriority());
    shutdown_->setChecked(s.ShutdownAfterCopy());
    pages_->setCurrentIndex(s.SettingsPage() < pages_->count() ? s.SettingsPage() : 0);
    UpdateFormatControls();
}

void TSettingsForm::StoreControls() {
    TProgramSettings& s = work_;
    s.SetFileUseTrackName(useTrackName_->isChecked());
    s.SetFileUseAlbumName(useAlbumName_->isChecked());
    s.SetFileUseArtistName(useArtistName_->isChecked());
    s.SetFileUseTrackNum(useTrackNum_->isChecked());
    if (!s.FileUseTrackName() && !s.FileUseAlbumName() && !s.FileUseArtistName() && !s.FileUseTrackNum())
        s.SetFileUseTrackName(true);
    s.SetDirPerAlbum(dirPerAlbum_->isChecked());
    s.SetDirPerArtist(dirPerArtist_->isChecked());
    s.SetUseFormatString(useFormat_->isChecked());
    s.SetFormatString(formatEdit_->text().toStdString());
    s.SetRipCueSheet(cueBox_->isChecked());

    s.SetCurrentDrive(static_cast<std::uint8_t>(deviceName_->currentIndex() < 0 ? 0 : deviceName_->currentIndex()));
    s.SetReadSpeed(maxSpeed_->isChecked() ? 255 : static_cast<std::uint8_t>(speedBox_->currentIndex() + 1));
    s.SetSectorsPerRead(SectorsFromText(sectors_->text().toStdString()));
    s.SetUseSPTI(spti_->isChecked());
    s.SetReadCommand(s.CurrentDrive(), static_cast<std::uint8_t>(commandType_->currentIndex()));
    s.SetExtractMethod(static_cast<std::uint8_t>(extractMethod_->currentIndex()));
    s.SetDisableReadCache(rcd_->isChecked());
    s.SetSpinUpBeforeCopy(rotate_->isChecked());
    s.SetLockTray(lockCd_->isChecked());
    s.SetEjectAfterCopy(ejectAfter_->isChecked());
    s.SetSetDriveVolume(volumeOnCd_->isChecked());
    s.SetDigitalPlayback(digitalPlayback_->isChecked());

    const int codec = codecBox_->currentIndex() < 0 ? 0 : codecBox_->currentIndex();
    s.SetUseLameEncoder(codec == 0);
    s.SetMp3AcmCodecIndex(codec == 0 ? 0 : codec - 1);
    if (codec == 0) {
        s.SetLameBitrateIndex(14 - formatBox_->currentIndex());
        s.SetLameMaxBitrateIndex(14 - maxBitrate_->currentIndex());
        s.SetLameMode(modeBox_->currentIndex());
        s.SetLameVbrMethod(static_cast<std::int8_t>(vbrBox_->currentIndex() - 1));
        s.SetLameVbrEnabled(vbrBox_->currentIndex() - 1 >= 0);
        s.SetLameVbrQuality(vbrQuality_->currentIndex());
        s.SetLamePreset(PresetFromQualityItem(lameQuality_->currentIndex()));
    } else {
        s.SetMp3AcmFormatIndex(static_cast<std::uint16_t>(formatBox_->currentIndex() < 0 ? 0 : formatBox_->currentIndex()));
    }
    s.SetOnTheFlyEncoding(onTheFly_->isChecked());
    s.SetMp3AsOgg(mp3AsOgg_->isChecked());
    s.SetOggUseQuality(oggUseQuality_->isChecked());
    s.SetOggQuality(oggBar_->value() >= 1000 ? 999 : oggBar_->value());
    s.SetOggNomBitrateIndex(oggNom_->currentIndex());
    s.SetOggMinBitrateIndex(oggMin_->currentIndex());
    s.SetOggMaxBitrateIndex(oggMax_->currentIndex());
    s.SetWmaBitrateIndex(static_cast<std::uint8_t>(wmaBitrate_->currentIndex()));
    s.SetWmaUseDRM(useDrm_->isChecked());
    s.SetExtEncoder(extEncoder_->currentIndex());
    s.SetApeLevel(apeLevel_->currentIndex());
    s.SetApeMono(apeMono_->isChecked());
    s.SetFaacBitrateIndex(faacBitrate_->currentIndex());
    s.SetFaacObjectType(faacObjectType_->currentIndex());
    s.SetFaacUseTns(faacTns_->isChecked() ? 1 : 0);
    s.SetFaacAllowMidSide(faacMidSide_->isChecked() ? 1 : 0);
    s.SetFaacMpeg4(faacMpeg4_->isChecked() ? 1 : 0);
    s.SetAcmCodecIndex(acmCodec_->currentIndex() < 0 ? 0 : acmCodec_->currentIndex());
    s.SetAcmFormatIndex(acmFormat_->currentIndex() < 0 ? 0 : acmFormat_->currentIndex());
    s.SetAcmFileExt(acmExt_->text().toStdString());
    s.SetAcmWriteWavHeader(acmWavHeader_->isChecked());
    s.SetAcmWriteTag(acmTag_->isChecked());
    s.SetNormalize(normalize_->isChecked());
    s.SetNormLowThreshold(static_cast<std::uint8_t>(setMin_->value()));
    s.SetNormLowTarget(static_cast<std::uint8_t>(minTarget_->value()));
    s.SetNormHighThreshold(static_cast<std::uint8_t>(setMax_->value()));
    s.SetNormHighTarget(static_cast<std::uint8_t>(maxTarget_->value()));
    s.SetOutputFormat(static_cast<std::uint8_t>(
        FormatForAudioTab(audioTabs_->currentIndex(), extEncoder_->currentIndex(), s.OutputFormat())));

    s.SetCddbServer(server_->text().trimmed().toStdString());
    s.SetCddbPath(path_->text().trimmed().toStdString());
    s.SetCddbPort(PortFromText(port_->text().toStdString()));
    s.SetCddbTimeoutMs(TimeoutMsFromText(timeout_->text().toStdString()));
    s.SetCddbServerIndex(static_cast<std::uint8_t>(serverBox_->currentIndex() < 0 ? 0 : serverBox_->currentIndex()));
    s.SetProxyHost(proxy_->text().trimmed().toStdString());
    s.SetUseProxy(!proxy_->text().trimmed().isEmpty());
    s.SetProxyUser(user_->text().toStdString());
    s.SetProxyPassword(password_->text().toStdString());
    s.SetLocalCddbDir(WithTrailingSlash(localDir_->text().trimmed().toStdString()));
    s.SetLocalCddbUnix(unixBox_->isChecked());
    s.SetLocalCddbOnly(ownBaseOnly_->isChecked());

    s.SetShowGrid(showGrid_->isChecked());
    s.SetShowWaveButton(showWave_->isChecked());
    s.SetShowWmaButton(showWma_->isChecked());
    s.SetShowBurnButton(showBurn_->isChecked());
    s.SetShowConvertButton(showConvert_->isChecked());
    s.SetShowFreeDBButton(showFreeDb_->isChecked());
    s.SetShowPlayerButton(showPlayer_->isChecked());
    s.SetWindowColor(windowColor_);
    s.SetControlColor(controlColor_);
    s.SetPlayBarColor(playBarColor_);
    s.SetAudioCDAssociation(cdPlayer_->isChecked());
    s.SetMaxPriority(priority_->isChecked());
    s.SetShutdownAfterCopy(shutdown_->isChecked());
    s.SetSettingsPage(static_cast<std::uint8_t>(pages_->currentIndex()));
}

void TSettingsForm::accept() {
    if (useFormat_->isChecked() && !IsValidFormatString(formatEdit_->text().toStdString())) {
        dialogs_.ShowMessage(LangMessage(33), MessageIcon::Information);
        return;
    }
    const std::string address = cddbEmail_->text().trimmed().toStdString();
    if (!AcceptableGreetingAddress(address)) {
        dialogs_.ShowMessage(WindowValue(OtherTexts(), "CddbAddressBad", language_, work_.LanguageName()),
                             MessageIcon::Information);
        pages_->setCurrentWidget(titlesPage_);
        cddbEmail_->setFocus();
        return;
    }
    const std::string folder = ConfirmOutputFolder(workDir_->text().trimmed().toStdString(), dialogs_);
    workDir_->setText(Q(folder));
    StoreControls();
    work_.SetOutputDir(folder);
    result_ = work_;
    if (sources_.storeFlacLevel) sources_.storeFlacLevel(flacLevel_->value());
    if (sources_.storeLookup)
        sources_.storeLookup({LookupSourceFromNumber(lookupSource_->currentIndex()).value_or(kDefaultLookupSource),
                              musicBrainz_->text().trimmed().toStdString(), address,
                              lookupOnInsertion_->isChecked()});
    KeepEditedOffset();
    if (sources_.storeReadOffset)
        for (const auto& [drive, offset] : editedOffsets_) sources_.storeReadOffset(drive, offset);
    QDialog::accept();
}

void TSettingsForm::KeepEditedOffset() {
    if (shownOffsetDrive_ >= 0 && readOffset_->property("edited").toBool())
        editedOffsets_[shownOffsetDrive_] = readOffset_->value();
}

}  // namespace sv
