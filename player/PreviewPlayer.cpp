#include "player/PreviewPlayer.h"

namespace sv {

TPreviewPlayer::TPreviewPlayer(StreamPlayer& player, std::function<int()> rows, std::function<std::string(int)> path)
    : player_(player), rows_(std::move(rows)), path_(std::move(path)) {}

bool TPreviewPlayer::PlayRow(int row) {
    if (row < 0 || row >= rows_()) return false;
    if (current_ >= 0) player_.Stop();
    if (!player_.Open(path_(row))) {
        current_ = -1;
        length_ = 0;
        return false;
    }
    player_.Play();
    current_ = row;
    length_ = player_.Length();
    return true;
}

int TPreviewPlayer::StepTarget(int step) const {
    const int target = current_ + step;
    return target < 0 || target >= rows_() ? 0 : target;
}

void TPreviewPlayer::Stop() {
    player_.Stop();
    player_.Close();
    current_ = -1;
    length_ = 0;
}

void TPreviewPlayer::SetVolume(int volume) {
    if (current_ >= 0) player_.SetVolume(volume);
}

void TPreviewPlayer::SeekTo(std::uint32_t ms) {
    if (current_ >= 0 && ms < length_) player_.Seek(ms);
}

TPreviewPlayer::Tick TPreviewPlayer::Timer() {
    if (current_ < 0) return {};
    if (player_.TakeEnded()) {
        player_.Stop();
        if (!Step(1)) return {};
    }
    return {current_, player_.Position(), length_};
}

}  // namespace sv
