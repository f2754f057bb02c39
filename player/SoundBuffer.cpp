#include "player/SoundBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sv {

int VolumeAttenuation(int volume) {
    if (volume <= 0) return -10000;
    if (volume >= 255) return 0;
    const double b = volume / 255.0 * 10000.0;
    return static_cast<int>(std::lround((b - 10000.0) / std::log(b)));
}

double AttenuationGain(int hundredthsDb) {
    if (hundredthsDb <= -10000) return 0.0;
    if (hundredthsDb >= 0) return 1.0;
    return std::pow(10.0, hundredthsDb / 2000.0);
}

void ApplyAttenuation(std::int16_t* samples, std::size_t count, int hundredthsDb) {
    if (hundredthsDb >= 0) return;
    const double gain = AttenuationGain(hundredthsDb);
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>(std::lround(samples[i] * gain));
}

namespace {

// The same law on bytes that need not be aligned for 16-bit access.
void AttenuateBytes(std::uint8_t* bytes, std::size_t count, int hundredthsDb) {
    if (hundredthsDb >= 0) return;
    std::int16_t chunk[512];
    for (std::size_t done = 0; done + 1 < count;) {
        const std::size_t n = std::min<std::size_t>((count - done) / 2, 512);
        std::memcpy(chunk, bytes + done, n * 2);
        ApplyAttenuation(chunk, n, hundredthsDb);
        std::memcpy(bytes + done, chunk, n * 2);
        done += n * 2;
    }
}

}  // namespace

TSoundBuffer::TSoundBuffer(std::size_t segmentBytes, int segmentCount)
    : segmentBytes_(segmentBytes),
      segmentCount_(segmentCount),
      data_(segmentBytes * static_cast<std::size_t>(segmentCount), 0),
      filled_(static_cast<std::size_t>(segmentCount), -1) {}

std::uint8_t* TSoundBuffer::Segment(int i) { return data_.data() + segmentBytes_ * static_cast<std::size_t>(i); }

void TSoundBuffer::Filled(int i, std::size_t bytes) {
    const std::lock_guard lock(mutex_);
    filled_[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(std::min(bytes, segmentBytes_) & ~std::size_t{3});
    changed_.notify_all();
}

void TSoundBuffer::Play() {
    const std::lock_guard lock(mutex_);
    if (!ended_) playing_ = true;
    changed_.notify_all();
}

void TSoundBuffer::Stop() {
    const std::lock_guard lock(mutex_);
    playing_ = false;
    changed_.notify_all();
}

void TSoundBuffer::Rewind() {
    const std::lock_guard lock(mutex_);
    position_ = 0;
    played_ = 0;
    std::fill(filled_.begin(), filled_.end(), -1);
    notifications_.clear();
    ended_ = false;
    ++epoch_;
    changed_.notify_all();
}

bool TSoundBuffer::Playing() const {
    const std::lock_guard lock(mutex_);
    return playing_;
}

bool TSoundBuffer::Ended() const {
    const std::lock_guard lock(mutex_);
    return ended_;
}

std::uint64_t TSoundBuffer::PlayedBytes() const {
    const std::lock_guard lock(mutex_);
    return played_;
}

void TSoundBuffer::SetAttenuation(int hundredthsDb) {
    const std::lock_guard lock(mutex_);
    attenuation_ = std::clamp(hundredthsDb, -10000, 0);
}

int TSoundBuffer::Attenuation() const {
    const std::lock_guard lock(mutex_);
    return attenuation_;
}

std::uint64_t TSoundBuffer::Epoch() const {
    const std::lock_guard lock(mutex_);
    return epoch_;
}

int TSoundBuffer::WaitPlayed(std::chrono::milliseconds timeout, std::uint64_t* epoch) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return woken_ || !notifications_.empty(); });
    if (epoch) *epoch = epoch_;
    if (woken_) {
        woken_ = false;
        return kTimeout;
    }
    if (notifications_.empty()) return kTimeout;
    const int index = notifications_.front();
    notifications_.pop_front();
    return index;
}

void TSoundBuffer::Wake() {
    const std::lock_guard lock(mutex_);
    woken_ = true;
    changed_.notify_all();
}

void TSoundBuffer::CompleteSegment(std::size_t segment) {
    const auto valid = static_cast<std::size_t>(filled_[segment]);
    if (valid < segmentBytes_) {
        // A short segment is the end of the sound.
        notifications_.push_back(kEnded);
        ended_ = true;
        playing_ = false;
    } else {
        notifications_.push_back(static_cast<int>(segment));
        filled_[segment] = -1;
        position_ = (segment + 1) % static_cast<std::size_t>(segmentCount_) * segmentBytes_;
    }
    changed_.notify_all();
}

std::size_t TSoundBuffer::Render(std::uint8_t* out, std::size_t bytes, bool waitForFill, std::chrono::milliseconds wait) {
    bytes &= ~std::size_t{3};
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::size_t taken = 0;
    while (taken < bytes && playing_ && !ended_) {
        const std::size_t segment = position_ / segmentBytes_;
        const std::size_t offset = position_ % segmentBytes_;
        if (filled_[segment] < 0) {
            if (!waitForFill) break;
            if (!changed_.wait_until(lock, deadline, [&] { return filled_[segment] >= 0 || !playing_; })) break;
            continue;
        }
        const auto valid = static_cast<std::size_t>(filled_[segment]);
        if (offset >= valid) {  // an empty segment
            CompleteSegment(segment);
            continue;
        }
        const std::size_t n = std::min(valid - offset, bytes - taken);
        std::memcpy(out + taken, data_.data() + position_, n);
        AttenuateBytes(out + taken, n, attenuation_);
        position_ += n;
        played_ += n;
        taken += n;
        if (offset + n == valid) CompleteSegment(segment);
    }
    std::memset(out + taken, 0, bytes - taken);
    return taken;
}

}  // namespace sv
