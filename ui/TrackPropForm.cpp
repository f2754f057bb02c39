#include "ui/TrackPropForm.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include "app/TrackList.h"
#include "app/WindowTexts.h"
#include "base/Language.h"
#include "formats/OutputNaming.h"
#include "ui/WindowTextApplier.h"

namespace sv {

namespace {

QLabel* NamedLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    return label;
}

QSlider* RangeSlider(QWidget* parent, const char* name) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setSingleStep(1);
    slider->setPageStep(75);  // a second
    slider->setMinimumWidth(360);
    slider->setFocusPolicy(Qt::StrongFocus);
    return slider;
}

}  // namespace

TTrackPropForm::TTrackPropForm(TMainForm& main, int selected, QWidget* parent) : QDialog(parent), main_(main) {
    setObjectName("TTrackPropForm");
    model_.Open(main_.Disc(), selected);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto* trackLabel = NamedLabel(this, "TrackLabel");
    trackBox_ = new QComboBox(this);
    trackBox_->setObjectName("TrackBox");
    const auto titles = model_.Titles();
    for (std::size_t i = 0; i < titles.size(); ++i)
        trackBox_->addItem(QString("%1. %2").arg(i + 1, 2, 10, QChar('0')).arg(QString::fromStdString(titles[i])));
    trackLabel->setBuddy(trackBox_);
    top->addWidget(trackLabel);
    top->addWidget(trackBox_, 1);
    layout->addLayout(top);

    const QPixmap arrow = style()->standardIcon(QStyle::SP_ArrowRight).pixmap(16, 16);
    auto* grid = new QGridLayout;
    start_ = RangeSlider(this, "StartSlider");
    end_ = RangeSlider(this, "EndSlider");
    startArrow_ = NamedLabel(this, "StartArrow");
    endArrow_ = NamedLabel(this, "EndArrow");
    startPosition_ = NamedLabel(this, "StartPosition");
    endPosition_ = NamedLabel(this, "EndPosition");
    int row = 0;
    for (auto [arrowLabel, caption, slider, position] :
         {std::tuple{startArrow_, "StartCaption", start_, startPosition_}, {endArrow_, "EndCaption", end_, endPosition_}}) {
        arrowLabel->setPixmap(arrow);
        arrowLabel->setFixedWidth(18);
        auto* captionLabel = NamedLabel(this, caption);
        captionLabel->setBuddy(slider);
        position->setMinimumWidth(position->fontMetrics().horizontalAdvance("00:00:00 / ") + 12);
        grid->addWidget(arrowLabel, row, 0);
        grid->addWidget(captionLabel, row, 1);
        grid->addWidget(slider, row, 2);
        grid->addWidget(position, row, 3);
        slider->installEventFilter(this);
        ++row;
    }
    layout->addLayout(grid);

    timeInfo_ = NamedLabel(this, "TimeInfo");
    sizeInfo_ = NamedLabel(this, "SizeInfo");
    fileInfo_ = NamedLabel(this, "FileInfo");
    fileInfo_->setWordWrap(true);
    fileInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLabel* l : {timeInfo_, sizeInfo_, fileInfo_}) layout->addWidget(l);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* play = button("PlayButton");
    QPushButton* stop = button("StopButton");
    follow_ = button("FollowButton");
    follow_->setCheckable(true);
    buttons->addStretch(1);
    QPushButton* ok = button("OkButton");
    ok->setDefault(true);
    QPushButton* cancel = button("CancelButton");
    layout->addLayout(buttons);

    connect(trackBox_, &QComboBox::activated, this, [this](int index) { ShowTrack(index); });
    connect(start_, &QSlider::valueChanged, this, [this](int p) {
        model_.MoveStart(p);
        ShowPositions();
    });
    connect(end_, &QSlider::valueChanged, this, [this](int q) {
        model_.MoveEnd(q);
        ShowPositions();
    });
    connect(play, &QPushButton::clicked, this,
            [this] { main_.PlayRange(model_.Track(), model_.PlayStart(), model_.PlayEnd()); });
    connect(stop, &QPushButton::clicked, this, [this] { main_.Stop(); });
    connect(ok, &QPushButton::clicked, this, [this] {
        main_.AcceptTrackProperties(model_.Accept());
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    ApplyBuiltinTexts(this, TrackPropFormTexts());
    ApplyLanguageToDialog(this, TrackPropFormTexts(), main_.Language(), main_.Settings().LanguageName());
    ShowTrack(model_.Track());
    ShowActive();
    main_.SetTrackPropWindow(this);
}

TTrackPropForm::~TTrackPropForm() { main_.SetTrackPropWindow(nullptr); }

QString TTrackPropForm::Value(const char* key) const {
    return WindowValueText(TrackPropFormTexts(), key, main_.Language(), main_.Settings().LanguageName());
}

bool TTrackPropForm::FollowingPosition() const { return follow_->isChecked(); }

void TTrackPropForm::FollowPosition(int rel) {
    model_.Follow(rel);
    ShowPositions();
}

bool TTrackPropForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == start_ || watched == end_)) {
        model_.SetActive(watched == start_ ? TTrackProp::Slider::Start : TTrackProp::Slider::End);
        ShowActive();
    }
    return QDialog::eventFilter(watched, event);
}

void TTrackPropForm::ShowTrack(int index) {
    model_.Show(index);
    trackBox_->setCurrentIndex(model_.Track());
    {
        const QSignalBlocker a(start_), b(end_);
        for (QSlider* s : {start_, end_}) s->setRange(0, model_.Maximum());
    }
    const DISC_INFO& disc = model_.Disc();
    const TRACK_INFO t = disc.TrackCopy(model_.Track());
    std::string size = FormatMessage(Value("SizeFormat").toStdString(), MegabytesText(t.SizeBytes()));
    size = FormatMessage(size, CompressedSizeText(t.SizeBytes(), CompressionRatio(main_.Settings())));
    sizeInfo_->setText(QString::fromStdString(size));
    const std::string file = MakeOutputPath(main_.Settings(), disc, &main_.Tags(), model_.Track());
    fileInfo_->setText(QString::fromStdString(FormatMessage(Value("FileFormat").toStdString(), file)));
    ShowPositions();
}

void TTrackPropForm::ShowPositions() {
    {
        const QSignalBlocker a(start_), b(end_);
        start_->setValue(model_.StartPosition());
        end_->setValue(model_.EndPosition());
    }
    startPosition_->setText(QString::fromStdString(model_.StartLabel()));
    endPosition_->setText(QString::fromStdString(model_.EndLabel()));
    std::string times = Value("TimeFormat").toStdString();
    for (const std::string& field : model_.TimeFields()) times = FormatMessage(times, field);
    timeInfo_->setText(QString::fromStdString(times));
}

void TTrackPropForm::ShowActive() {
    startArrow_->setVisible(model_.Active() == TTrackProp::Slider::Start);
    endArrow_->setVisible(model_.Active() == TTrackProp::Slider::End);
    // The hidden arrow keeps its room so that the sliders do not move.
    for (QLabel* l : {startArrow_, endArrow_}) {
        QSizePolicy p = l->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        l->setSizePolicy(p);
    }
}

bool RunTrackPropForm(TMainForm& main, QWidget* parent, int selectedTrack) {
    if (main.Disc().TrackCount() == 0) return false;
    TTrackPropForm form(main, selectedTrack, parent);
    form.adjustSize();
    if (parent) {
        const QRect frame = parent->frameGeometry();
        form.move(frame.x() + (frame.width() - form.width()) / 2, frame.y() + 100);
    }
    return form.exec() == QDialog::Accepted;
}

}  // namespace sv
