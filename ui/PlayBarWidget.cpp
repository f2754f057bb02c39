#include "ui/PlayBarWidget.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/MainForm.h"

namespace sv {

namespace {
QColor FromColorRef(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
}  // namespace

PlayBarWidget::PlayBarWidget(TMainForm& controller, QWidget* parent) : QWidget(parent), controller_(controller) {
    setObjectName("PaintBox1");
    setFixedHeight(14);
    setMouseTracking(false);
}

void PlayBarWidget::resizeEvent(QResizeEvent* event) {
    controller_.PlayBar().SetWidth(width());
    QWidget::resizeEvent(event);
}

void PlayBarWidget::paintEvent(QPaintEvent*) {
    const TPlayBar& bar = controller_.PlayBar();
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(Qt::black);
    p.setBrush(FromColorRef(bar.Color()));
    p.drawRect(0, 3, width() - 1, 6);
    // The thumb: raised while resting, pressed while dragged.
    const QRect thumb(static_cast<int>(bar.ThumbX()), 1, TPlayBar::kThumbWidth, height() - 2);
    p.setBrush(bar.Dragging() ? palette().dark() : palette().button());
    p.setPen(bar.Dragging() ? palette().shadow().color() : palette().mid().color());
    p.drawRoundedRect(thumb.adjusted(0, 0, -1, -1), 3, 3);
}

void PlayBarWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::MiddleButton) return;
    lastX_ = event->position().x();
    controller_.PlayBarPressed();
    update();
}

void PlayBarWidget::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    controller_.PlayBarDragged(x - lastX_);
    lastX_ = x;
}

void PlayBarWidget::mouseReleaseEvent(QMouseEvent*) {
    controller_.PlayBarReleased();
    update();
}

}  // namespace sv
