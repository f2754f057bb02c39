// The play position bar (`PaintBox1`): draws the controller's TPlayBar and
// hands the thumb's drags to the controller.
#pragma once

#include <QWidget>

namespace sv {

class TMainForm;

class PlayBarWidget : public QWidget {
    Q_OBJECT
public:
    PlayBarWidget(TMainForm& controller, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TMainForm& controller_;
    double lastX_ = 0;
};

}  // namespace sv
