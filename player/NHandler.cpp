#include "player/NHandler.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>

#include "cdrom/TCDROM.h"
#include "grab/RipSession.h"

namespace sv {

namespace {
constexpr std::size_t kSector = 2352;
}

struct NHandler::State {
    State(ISoundDevice& d, Post p) : device(d), post(std::move(p)), buffer(kSegmentBytes, kSegments) {}

    ISoundDevice& device;
    Post post;
    TSoundBuffer buffer;
    std::unique_ptr<ISoundStream> stream;

    std::mutex mutex;  // guards everything below
    TCDROM* cdrom = nullptr;
    bool started = false;
    bool paused = false;
    bool tail = false;         // the segment holding the range's end is published
    std::int32_t end = 0;      // the range: [start, end)
    std::int32_t start = 0;
    std::int32_t base = 0;     // the sector heard at the buffer's played byte 0
    std::int32_t next = 0;     // the next sector to read

    std::atomic<bool> quit{false};
    std::thread thread;

    // Reads the next sectors of the range into segment `i` (mutex held).
    void FillSegment(int i) {
        if (tail || !cdrom) return;
        const int count = std::clamp(end - next, 0, kSectorsPerSegment);
        std::uint8_t* data = buffer.Segment(i);
        // A sector the drive cannot read is heard as silence rather than
        // stopping the music.
        if (count > 0 && !cdrom->ReadSectors(next, count, data)) {
            for (int k = 0; k < count; ++k) {
                std::uint8_t* sector = data + static_cast<std::size_t>(k) * kSector;
                if (!cdrom->ReadSectors(next + k, 1, sector)) std::memset(sector, 0, kSector);
            }
        }
        next += count;
        if (count < kSectorsPerSegment) tail = true;
        buffer.Filled(i, static_cast<std::size_t>(count) * kSector);
    }

    // Starts the buffer over at sector `from` (mutex held).
    void Restart(std::int32_t from) {
        buffer.Stop();
        buffer.Rewind();
        base = next = from;
        tail = false;
        for (int i = 0; i < kSegments; ++i) FillSegment(i);
        if (!paused) buffer.Play();
    }

    void Refill(std::uint64_t asked, int segment) {
        const std::lock_guard lock(mutex);
        // Refills asked for before a restart are dropped.
        if (asked != buffer.Epoch() || !started) return;
        FillSegment(segment);
    }

    void Run() {
        while (!quit) {
            std::uint64_t asked = 0;
            const int played = buffer.WaitPlayed(std::chrono::milliseconds(250), &asked);
            if (played < 0) continue;
            if (post) post([this, asked, played] { Refill(asked, played); });
            else Refill(asked, played);
        }
    }
};

NHandler::NHandler(ISoundDevice& device, Post post) : s_(std::make_unique<State>(device, std::move(post))) {
    std::string error;
    s_->stream = device.Attach(s_->buffer, error);
    if (s_->stream) s_->thread = std::thread([this] { s_->Run(); });
}

NHandler::~NHandler() { Shutdown(); }

bool NHandler::Usable() const { return s_->stream != nullptr; }

void NHandler::Start(TCDROM& cdrom, std::int32_t startLba, std::int32_t endLba) {
    if (!Usable()) return;
    const std::lock_guard lock(s_->mutex);
    s_->cdrom = &cdrom;
    s_->start = startLba;
    s_->end = std::max(startLba, endLba);
    s_->started = true;
    s_->paused = false;
    s_->Restart(startLba);
}

void NHandler::Seek(std::int32_t lba) {
    const std::lock_guard lock(s_->mutex);
    if (!s_->started || lba < s_->start || lba >= s_->end) return;
    s_->Restart(lba);
}

void NHandler::Pause() {
    const std::lock_guard lock(s_->mutex);
    if (!s_->started) return;
    s_->paused = true;
    s_->buffer.Stop();
}

void NHandler::Resume() {
    const std::lock_guard lock(s_->mutex);
    if (!s_->started || !s_->paused) return;
    s_->paused = false;
    s_->buffer.Play();
}

void NHandler::Stop() {
    const std::lock_guard lock(s_->mutex);
    s_->buffer.Stop();
    s_->buffer.Rewind();
    s_->started = false;
    s_->paused = false;
    s_->cdrom = nullptr;
}

bool NHandler::Position(Msf& absolute, int& audioStatus) {
    const std::lock_guard lock(s_->mutex);
    if (!s_->started) return false;
    const bool ended = s_->buffer.Ended();
    const auto heard = static_cast<std::int64_t>(s_->buffer.PlayedBytes() / kSector);
    const std::int64_t lba = std::min<std::int64_t>(s_->base + heard, std::max(s_->start, s_->end - (ended ? 0 : 1)));
    absolute = FramesToMsf(static_cast<int>(lba) + kLbaBase);
    audioStatus = ended ? 0x13 : (s_->paused ? 0x12 : 0x11);
    return true;
}

void NHandler::SetVolume(int volume) { s_->buffer.SetAttenuation(VolumeAttenuation(volume)); }

void NHandler::Shutdown() {
    if (s_->thread.joinable()) {
        s_->quit = true;
        s_->buffer.Wake();
        s_->thread.join();
    }
    {
        const std::lock_guard lock(s_->mutex);
        s_->buffer.Stop();
        s_->started = false;
    }
    s_->stream.reset();
}

TSoundBuffer& NHandler::Buffer() { return s_->buffer; }

PlayRange TrackPlayRange(const DISC_INFO& disc, int index, bool trimmed) {
    DISC_INFO copy = disc;  // the rip's range check may clear a bad trim flag
    if (!trimmed) copy.Track(index).SetTrimFlag(false);
    const RipRange range = ComputeRipRange(copy, index);
    return {range.start, range.end};
}

}  // namespace sv
