// TPreviewPlayer: the burn window's preview of its compilation rows on a
// StreamPlayer. Playing a row stops the one playing; next and previous move
// from the current row and wrap to the first row outside the list; a row that
// has been heard to its end is followed by the next one. The window asks
// Tick() every 500 ms for what its position bar shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "player/StreamPlayer.h"

namespace sv {

class TPreviewPlayer {
public:
    // `rows` gives the number of rows, `path` a row's full path.
    TPreviewPlayer(StreamPlayer& player, std::function<int()> rows, std::function<std::string(int)> path);

    // Stops any row and plays `row`; false (nothing playing, the row stays
    // selected) when its file cannot be opened.
    bool PlayRow(int row);
    // The row at current + step; one outside the list is the first row.
    int StepTarget(int step) const;
    bool Step(int step) { return PlayRow(StepTarget(step)); }
    // Stops and closes; no row is current.
    void Stop();
    // Only while a row plays.
    void SetVolume(int volume);
    // Releasing the position bar: plays on from `ms`.
    void SeekTo(std::uint32_t ms);

    struct Tick {
        int row = -1;  // the row playing, -1 none
        std::uint32_t position = 0, length = 0;  // milliseconds
    };
    // The 500 ms step: a row heard to its end gives way to the next one.
    Tick Timer();
    int Current() const { return current_; }
    std::uint32_t Length() const { return length_; }

private:
    StreamPlayer& player_;
    std::function<int()> rows_;
    std::function<std::string(int)> path_;
    int current_ = -1;
    std::uint32_t length_ = 0;
};

}  // namespace sv
