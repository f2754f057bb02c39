#include "ui/Mp3ConfigForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/QuickMp3.h"
#include "base/ProgramSettings.h"

namespace sv {

namespace {

// The check-mark drawn beside the current choice, and a blank of its size so
// that every row's text starts at the same place.
QIcon Mark(bool on) {
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    if (on) {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0, 0, 0), 2));
        p.drawPolyline(QPolygonF({QPointF(2, 6.5), QPointF(5, 9.5), QPointF(10, 2.5)}));
    }
    return QIcon(pm);
}

void Fill(QListWidget* list, const std::vector<std::string>& items, int checked) {
    list->clear();
    for (int i = 0; i < static_cast<int>(items.size()); ++i)
        list->addItem(new QListWidgetItem(Mark(i == checked), QString::fromStdString(items[static_cast<std::size_t>(i)])));
}

// Where the window was when it was last closed, for the program's lifetime.
QRect& RememberedGeometry() {
    static QRect r;
    return r;
}

}  // namespace

TMP3Config::TMP3Config(TProgramSettings& settings, const TWinMP3Encoder& codecs, std::string lameDescription,
                       std::function<void()> changed, QWidget* parent)
    : QWidget(parent, Qt::Tool),
      settings_(settings),
      codecs_(codecs),
      lameDescription_(std::move(lameDescription)),
      changed_(std::move(changed)) {
    setObjectName("MP3Config");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    codec_ = new QComboBox(this);
    codec_->setObjectName("CodecCombo");
    formats_ = new QListWidget(this);
    formats_->setObjectName("FormatList");
    channels_ = new QListWidget(this);
    channels_->setObjectName("ChannelList");
    channels_->setFixedHeight(channels_->fontMetrics().height() * 4 + 12);
    v->addWidget(codec_);
    v->addWidget(formats_, 1);
    v->addWidget(channels_);

    connect(codec_, &QComboBox::activated, this, [this](int item) {
        QuickMp3ChooseCodec(settings_, item);
        Refresh();
        if (changed_) changed_();
    });
    connect(formats_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        QuickMp3ChooseFormat(settings_, formats_->row(item));
        Refresh();
        if (changed_) changed_();
    });
    connect(channels_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        QuickMp3ChooseChannel(settings_, channels_->row(item));
        Refresh();
        if (changed_) changed_();
    });

    if (!RememberedGeometry().isNull()) {
        setGeometry(RememberedGeometry());
    } else {
        resize(214, 305);
        if (parent) move(parent->geometry().topLeft() + QPoint(100, 100));
    }
    Refresh();
}

void TMP3Config::Refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    const QuickMp3View v = QuickMp3State(settings_, lameDescription_, codecs_);
    codec_->clear();
    for (const auto& c : v.codecs) codec_->addItem(QString::fromStdString(c));
    codec_->setCurrentIndex(v.codecItem);
    const int scroll = formats_->verticalScrollBar() ? formats_->verticalScrollBar()->value() : 0;
    Fill(formats_, v.formats, v.checkedFormat);
    if (scroll == 0 && v.checkedFormat >= 0)
        formats_->scrollToItem(formats_->item(v.checkedFormat), QAbstractItemView::PositionAtCenter);
    else
        formats_->verticalScrollBar()->setValue(scroll);
    Fill(channels_, v.channels, v.checkedChannel);
    channels_->setVisible(v.showChannels);
    refreshing_ = false;
}

void TMP3Config::closeEvent(QCloseEvent* event) {
    RememberedGeometry() = geometry();
    QWidget::closeEvent(event);
}

}  // namespace sv
