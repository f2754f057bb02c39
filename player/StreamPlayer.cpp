#include "player/StreamPlayer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "writer/CDDAStreamOut.h"

namespace sv {

struct StreamPlayer::State {
    explicit State(ISoundDevice* d) : device(d), buffer(kSegmentBytes, kSegments) {}

    ISoundDevice* device;
    TSoundBuffer buffer;
    std::unique_ptr<ISoundStream> stream;

    mutable std::mutex mutex;  // guards everything below
    std::condition_variable endedChanged;
    TCDDAStreamOut source;
    bool open = false;
    bool playing = false;
    bool ended = false;          // the end event, until taken
    bool tail = false;           // the segment holding the end is published
    bool sourceDone = false;     // the source gave its last bytes in a full segment
    std::uint32_t length = 0;    // ms
    std::uint32_t base = 0;      // ms into the file at the buffer's played byte 0

    std::atomic<bool> quit{false};
    std::thread thread;

    // Decodes the next second into segment `i` (mutex held).
    void FillSegment(int i) {
        if (tail) return;
        if (sourceDone) {
            tail = true;
            buffer.Filled(i, 0);
            return;
        }
        const bool more = source.FillSlot(i);
        const std::uint32_t bytes = more ? static_cast<std::uint32_t>(kSegmentBytes) : source.SlotBytes(i);
        std::memcpy(buffer.Segment(i), source.Slot(i), kSegmentBytes);
        if (!more) {
            if (bytes < kSegmentBytes) tail = true;
            else sourceDone = true;
        }
        buffer.Filled(i, bytes);
    }

    // Starts the buffer over at `ms` into the file (mutex held); plays when `play`.
    void Restart(std::uint32_t ms, bool play) {
        buffer.Stop();
        buffer.Rewind();
        source.Seek(ms);
        base = ms;
        tail = sourceDone = ended = false;
        for (int i = 0; i < kSegments; ++i) FillSegment(i);
        playing = play;
        if (play) buffer.Play();
    }

    void Run() {
        while (!quit) {
            std::uint64_t epoch = 0;
            const int played = buffer.WaitPlayed(std::chrono::milliseconds(250), &epoch);
            if (played == TSoundBuffer::kTimeout) continue;
            const std::lock_guard lock(mutex);
            if (!open || epoch != buffer.Epoch()) continue;  // from before a restart
            if (played == TSoundBuffer::kEnded) {
                if (!playing) continue;  // an end from before a restart
                playing = false;
                ended = true;
                endedChanged.notify_all();
            } else if (playing) {
                FillSegment(played);
            }
        }
    }
};

StreamPlayer::StreamPlayer(ISoundDevice* device) : s_(std::make_unique<State>(device)) {
    if (!device) return;
    std::string error;
    s_->stream = device->Attach(s_->buffer, error);
    if (s_->stream) s_->thread = std::thread([this] { s_->Run(); });
}

StreamPlayer::~StreamPlayer() { Shutdown(); }

bool StreamPlayer::Usable() const { return s_->stream != nullptr; }

bool StreamPlayer::Open(const std::string& path) {
    Close();
    if (!Usable()) return false;
    if (!StreamableSoundFile(path)) return false;
    const std::lock_guard lock(s_->mutex);
    if (!s_->source.Open(path)) {
        s_->source.Close();
        return false;
    }
    s_->source.SetBlockSize(static_cast<std::uint32_t>(kSegmentBytes));
    s_->length = s_->source.LengthMs();
    s_->open = true;
    return true;
}

void StreamPlayer::Play() {
    const std::lock_guard lock(s_->mutex);
    if (s_->open) s_->Restart(0, true);
}

void StreamPlayer::Stop() {
    const std::lock_guard lock(s_->mutex);
    s_->buffer.Stop();
    s_->buffer.Rewind();
    s_->playing = false;
    s_->base = 0;
}

void StreamPlayer::Close() {
    Stop();
    const std::lock_guard lock(s_->mutex);
    s_->source.Close();
    s_->open = false;
    s_->ended = false;
    s_->length = 0;
}

void StreamPlayer::Seek(std::uint32_t ms) {
    const std::lock_guard lock(s_->mutex);
    if (!s_->open) return;
    s_->Restart(std::min(ms, s_->length), s_->playing);
}

std::uint32_t StreamPlayer::Position() const {
    const std::lock_guard lock(s_->mutex);
    if (!s_->open) return 0;
    const std::uint64_t heard = s_->buffer.PlayedBytes() * 1000 / (kSoundRate * kSoundFrameBytes);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(s_->base + heard, s_->length));
}

std::uint32_t StreamPlayer::Length() const {
    const std::lock_guard lock(s_->mutex);
    return s_->length;
}

void StreamPlayer::SetVolume(int volume) { s_->buffer.SetAttenuation(VolumeAttenuation(volume)); }

bool StreamPlayer::IsOpen() const {
    const std::lock_guard lock(s_->mutex);
    return s_->open;
}

bool StreamPlayer::Playing() const {
    const std::lock_guard lock(s_->mutex);
    return s_->playing;
}

bool StreamPlayer::TakeEnded() {
    const std::lock_guard lock(s_->mutex);
    return std::exchange(s_->ended, false);
}

bool StreamPlayer::WaitEnded(std::chrono::milliseconds timeout) {
    std::unique_lock lock(s_->mutex);
    s_->endedChanged.wait_for(lock, timeout, [&] { return s_->ended; });
    return std::exchange(s_->ended, false);
}

void StreamPlayer::Shutdown() {
    if (s_->thread.joinable()) {
        s_->quit = true;
        s_->buffer.Wake();
        s_->thread.join();
    }
    s_->buffer.Stop();
    s_->stream.reset();
    const std::lock_guard lock(s_->mutex);
    s_->source.Close();
    s_->open = s_->playing = false;
}

TSoundBuffer* StreamPlayer::Buffer() { return &s_->buffer; }

}  // namespace sv
