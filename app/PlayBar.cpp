#include "app/PlayBar.h"

namespace sv {

void TPlayBar::SetPosition(double a) {
    if (a > range_) return;
    x_ = a * Scale();
    if (range_ < width_ && a > 0) x_ += Scale();
}

int TPlayBar::Position() const {
    const double scale = Scale();
    if (scale <= 0) return 0;
    double x = x_;
    if (width_ > range_) x -= scale;
    const double sectors = x / scale;
    return sectors < 0 ? 0 : static_cast<int>(sectors);
}

void TPlayBar::Drag(double dx) {
    if (x_ + kThumbWidth + dx <= width_ && x_ + dx >= 0) x_ += dx;
}

}  // namespace sv
