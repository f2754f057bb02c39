#include "ui/ID3Form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

#include <cstring>

#include "app/MainForm.h"
#include "app/WindowTexts.h"
#include "base/Language.h"
#include "base/Text.h"
#include "ui/WindowTextApplier.h"

namespace sv {

namespace {

// Accepts a text only while its UTF-8 form fits into a record field.
class ByteLimitValidator final : public QValidator {
public:
    ByteLimitValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
    State validate(QString& input, int&) const override {
        return input.toUtf8().size() <= maxBytes_ ? Acceptable : Invalid;
    }

private:
    int maxBytes_;
};

struct FieldControl {
    TagField field;
    const char* edit;
    const char* label;
};

constexpr FieldControl kControls[] = {
    {TagField::Title, "TitleEdit", "TitleLabel"},
    {TagField::Artist, "ArtistEdit", "ArtistLabel"},
    {TagField::Album, "AlbumEdit", "AlbumLabel"},
    {TagField::Year, "YearEdit", "YearLabel"},
    {TagField::Genre, "GenreEdit", "GenreLabel"},
    {TagField::Comment, "CommentEdit", "CommentLabel"},
    {TagField::Composer, "ComposerEdit", "ComposerLabel"},
    {TagField::OriginalArtist, "OriginalArtistEdit", "OriginalArtistLabel"},
    {TagField::Copyright, "CopyrightEdit", "CopyrightLabel"},
    {TagField::Url, "UrlEdit", "UrlLabel"},
    {TagField::EncodedBy, "EncodedByEdit", "EncodedByLabel"},
    {TagField::TrackNumber, "TrackNumberEdit", "TrackNumberLabel"},
};

std::size_t Index(TagField f) { return static_cast<std::size_t>(f); }

QString FieldName(const QLabel* label) {
    QString name = label ? label->text() : QString();
    while (name.endsWith(':') || name.endsWith(' ')) name.chop(1);
    return name;
}

}  // namespace

TID3Form::TID3Form(TTagEditor& editor, DISC_INFO* acceptInto, TLanguage& language, const std::string& languageName,
                   QWidget* parent)
    : QDialog(parent), editor_(editor), acceptInto_(acceptInto), language_(language), languageName_(languageName) {
    setObjectName("TID3Form");
    const bool trackMode = editor_.GetMode() == TTagEditor::Mode::Track;
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto* trackLabel = new QLabel(this);
    trackLabel->setObjectName("TrackLabel");
    trackBox_ = new QComboBox(this);
    trackBox_->setObjectName("TrackBox");
    trackBox_->setMinimumWidth(300);
    trackBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (int i = 0; i < editor_.Count(); ++i)
        trackBox_->addItem(QString("%1. %2").arg(i + 1, 2, 10, QChar('0')).arg(QString::fromStdString(editor_.Titles()[static_cast<std::size_t>(i)])));
    trackLabel->setBuddy(trackBox_);
    present_ = new QCheckBox(this);
    present_->setObjectName("PresentBox");
    top->addWidget(trackLabel);
    top->addWidget(trackBox_, 1);
    top->addSpacing(12);
    top->addWidget(present_);
    layout->addLayout(top);

    const auto makeEdit = [this](const FieldControl& c) {
        auto* label = new QLabel(this);
        label->setObjectName(c.label);
        labels_[Index(c.field)] = label;
        if (c.field == TagField::Comment) {
            comment_ = new QPlainTextEdit(this);
            comment_->setObjectName(c.edit);
            comment_->setTabChangesFocus(true);
            comment_->setFixedHeight(comment_->fontMetrics().lineSpacing() * 4 + 12);
            label->setBuddy(comment_);
            connect(comment_, &QPlainTextEdit::textChanged, this, &TID3Form::CommentChanged);
            return;
        }
        auto* edit = new QLineEdit(this);
        edit->setObjectName(c.edit);
        edit->setValidator(new ByteLimitValidator(static_cast<int>(TagFieldWidth(c.field)) - 1, edit));
        label->setBuddy(edit);
        edits_[Index(c.field)] = edit;
        const TagField field = c.field;
        connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) { FieldEdited(field, text); });
        connect(edit, &QLineEdit::inputRejected, this, [this, field] {
            Notice(Text("TooLong").replace("%s", FieldName(labels_[Index(field)])));
        });
    };
    for (const auto& c : kControls) makeEdit(c);

    auto* mainGroup = new QGroupBox(this);
    mainGroup->setObjectName("MainGroup");
    auto* grid = new QGridLayout(mainGroup);
    const auto row = [&](int r, TagField f, int col = 0, int span = 5) {
        grid->addWidget(labels_[Index(f)], r, col);
        if (f == TagField::Comment) grid->addWidget(comment_, r, col + 1, 1, span);
        else grid->addWidget(edits_[Index(f)], r, col + 1, 1, span);
    };
    row(0, TagField::Title);
    row(1, TagField::Artist);
    row(2, TagField::Album);
    row(3, TagField::Year, 0, 1);
    row(3, TagField::Genre, 2, 1);
    row(3, TagField::TrackNumber, 4, 1);
    grid->addWidget(labels_[Index(TagField::Comment)], 4, 0, Qt::AlignTop);
    grid->addWidget(comment_, 4, 1, 1, 5);
    grid->setColumnStretch(3, 1);
    edits_[Index(TagField::Year)]->setMaximumWidth(80);
    edits_[Index(TagField::TrackNumber)]->setMaximumWidth(60);
    layout->addWidget(mainGroup);

    auto* extraGroup = new QGroupBox(this);
    extraGroup->setObjectName("ExtraGroup");
    auto* form = new QFormLayout(extraGroup);
    for (TagField f : {TagField::Composer, TagField::OriginalArtist, TagField::Copyright, TagField::Url, TagField::EncodedBy})
        form->addRow(labels_[Index(f)], edits_[Index(f)]);
    layout->addWidget(extraGroup);

    auto* discRow = new QHBoxLayout;
    compilation_ = new QCheckBox(this);
    compilation_->setObjectName("CompilationBox");
    copyAll_ = new QPushButton(this);
    copyAll_->setObjectName("CopyAllLabel");
    copyAll_->setFlat(true);
    copyAll_->setCursor(Qt::PointingHandCursor);
    QFont linkFont = copyAll_->font();
    linkFont.setUnderline(true);
    copyAll_->setFont(linkFont);
    discRow->addWidget(compilation_);
    discRow->addStretch(1);
    discRow->addWidget(copyAll_);
    layout->addLayout(discRow);
    compilation_->setVisible(trackMode);
    copyAll_->setVisible(trackMode);
    compilation_->setChecked(editor_.Compilation());

    notice_ = new QLabel(this);
    notice_->setObjectName("NoticeLabel");
    notice_->setWordWrap(true);
    notice_->setStyleSheet("color: #b03020;");
    notice_->hide();
    layout->addWidget(notice_);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("OkButton");
    ok->setDefault(true);
    buttons->addButton(QString(), QDialogButtonBox::RejectRole)->setObjectName("CancelButton");
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (editor_.GetMode() == TTagEditor::Mode::Track && acceptInto_) result_ = editor_.Accept(*acceptInto_);
        else editor_.StoreCurrent();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(trackBox_, &QComboBox::activated, this, [this](int index) {
        if (index == editor_.Current()) return;
        editor_.Select(index);
        ShowFields();
    });
    connect(present_, &QCheckBox::clicked, this, [this](bool on) { editor_.SetPresent(on); });
    connect(compilation_, &QCheckBox::clicked, this, [this](bool on) { editor_.SetCompilation(on); });
    connect(copyAll_, &QPushButton::clicked, this, [this] {
        editor_.CopyToAllTracks();
        const QSignalBlocker block(present_);
        present_->setChecked(editor_.Fields().present);
    });

    ApplyBuiltinTexts(this, Id3FormTexts());
    ApplyLanguageToDialog(this, Id3FormTexts(), language_, languageName_);
    setWindowTitle(windowTitle() + " - " + kCaption);
    ShowFields();
    resize(sizeHint().expandedTo(QSize(560, 0)));
}

QString TID3Form::Text(const char* key) const {
    return WindowValueText(Id3FormTexts(), key, language_, languageName_);
}

void TID3Form::Notice(const QString& text) {
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
}

void TID3Form::ShowFields() {
    filling_ = true;
    const TagFields& fields = editor_.Fields();
    QStringList shortened;
    for (const auto& c : kControls) {
        std::string text = fields[c.field];
        if (!TagFieldFits(c.field, text)) {
            text = std::string(CutUtf8(text.substr(0, text.find('\0')), TagFieldWidth(c.field) - 1));
            shortened << FieldName(labels_[Index(c.field)]);
        }
        const QString shown = QString::fromStdString(text);
        if (c.field == TagField::Comment) {
            comment_->setPlainText(shown);
            commentShown_ = shown;
        } else {
            edits_[Index(c.field)]->setText(shown);
        }
    }
    present_->setChecked(fields.present);
    if (editor_.Current() >= 0) trackBox_->setCurrentIndex(editor_.Current());
    Notice(shortened.isEmpty() ? QString() : Text("Shortened").replace("%s", shortened.join(", ")));
    filling_ = false;
}

void TID3Form::FieldEdited(TagField field, const QString& text) {
    if (filling_) return;
    editor_.Edit(field, text.toStdString());
    if (editor_.GetMode() != TTagEditor::Mode::Track) return;
    const QSignalBlocker block(present_);
    present_->setChecked(editor_.Fields().present);
    if (field == TagField::Title && editor_.Current() >= 0)
        trackBox_->setItemText(editor_.Current(), QString("%1. %2").arg(editor_.Current() + 1, 2, 10, QChar('0')).arg(text));
}

void TID3Form::CommentChanged() {
    if (filling_) return;
    const QString text = comment_->toPlainText();
    if (text.toUtf8().size() >= static_cast<qsizetype>(TagFieldWidth(TagField::Comment))) {
        filling_ = true;
        comment_->setPlainText(commentShown_);
        comment_->moveCursor(QTextCursor::End);
        filling_ = false;
        Notice(Text("TooLong").replace("%s", FieldName(labels_[Index(TagField::Comment)])));
        return;
    }
    commentShown_ = text;
    FieldEdited(TagField::Comment, text);
}

bool RunId3Form(TMainForm& main, QWidget* parent, int selectedTrack) {
    DISC_INFO& disc = main.Disc();
    if (disc.TrackCount() == 0) return false;
    TTagEditor editor(disc, main.Tags(), EncoderNameForTags(main.Settings(), main.Encoders().CodecList()),
                      selectedTrack < 0 ? 0 : selectedTrack);
    TID3Form form(editor, &disc, main.Language(), main.Settings().LanguageName(), parent);
    if (form.exec() != QDialog::Accepted) return false;
    const auto& rows = main.Rows();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        if (rows[static_cast<std::size_t>(i)].audio) main.RenameTrackCommand(i, disc.Track(i).Title());
    if (form.Result().albumSet || form.Result().artistSet)
        if (auto* view = dynamic_cast<IMainView*>(parent)) view->SetArtistAlbum(disc.Artist(), disc.Album());
    return true;
}

bool RunId3FormOnRecords(TagBlocks& records, const std::vector<std::string>& titles, int selected,
                         TLanguage& language, const std::string& languageName, QWidget* parent) {
    TTagEditor editor(records, titles, selected);
    if (editor.Count() == 0) return false;
    TID3Form form(editor, nullptr, language, languageName, parent);
    form.exec();
    return editor.StoredAny();
}

}  // namespace sv
