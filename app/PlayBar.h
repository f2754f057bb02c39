// TPlayBar: the play position bar under the track list. It holds the range
// of the current track in sectors and the thumb's x position in pixels; the
// window draws it and reports the user's drags.
#pragma once

#include <cstdint>

namespace sv {

class TPlayBar {
public:
    static constexpr int kThumbWidth = 30;

    void SetWidth(int width) { width_ = width; }
    int Width() const { return width_; }
    // The track's length in sectors.
    void SetRange(double sectors) { range_ = sectors > 0 ? sectors : 1; }
    double Range() const { return range_; }
    // Moves the thumb to sector `a` of the range (ignored beyond the range).
    void SetPosition(double a);
    // The sector the thumb stands on.
    int Position() const;
    // Drags the thumb by `dx` pixels, keeping it inside the bar.
    void Drag(double dx);
    double ThumbX() const { return x_; }
    bool Dragging() const { return dragging_; }
    void SetDragging(bool on) { dragging_ = on; }
    std::uint32_t Color() const { return color_; }
    void SetColor(std::uint32_t c) { color_ = c; }

private:
    double Scale() const { return (width_ - kThumbWidth) / range_; }

    int width_ = 200;
    double range_ = 1000;
    double x_ = 0;
    bool dragging_ = false;
    std::uint32_t color_ = 13758462;
};

}  // namespace sv
