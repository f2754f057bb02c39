// NHandler: plays an audio CD digitally. It reads CD-DA sectors through the
// drive's audio reading path and streams them into a looping buffer of 8
// segments of 20 sectors (376320 bytes) on the program's sound output, so
// the disc is heard through the sound card instead of the drive's analogue
// output. The player keeps 160 sectors (about 2.1 s) read ahead of what is
// heard; nothing outside the range being played is ever heard, and the player
// stops by itself at the range's end.
//
// Refills run where the owner says (`post`): the main window hands them to
// its interface thread so that they never meet its own drive commands; the
// command line runs them on the player's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "base/DiscInfo.h"
#include "base/Msf.h"
#include "player/SoundDevice.h"

namespace sv {

class TCDROM;

// The digital player as the main window uses it (tests give their own).
class IDigitalPlayer {
public:
    virtual ~IDigitalPlayer() = default;
    // Plays sectors [startLba, endLba) of the disc in `cdrom`.
    virtual void Start(TCDROM& cdrom, std::int32_t startLba, std::int32_t endLba) = 0;
    // Moves to `lba` when it lies inside the range being played; else nothing.
    virtual void Seek(std::int32_t lba) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop() = 0;
    // The absolute M:S:F being heard and the audio status (0x11 playing,
    // 0x12 paused, 0x13 completed: the range has been heard to its end);
    // false when nothing was started or after Stop.
    virtual bool Position(Msf& absolute, int& audioStatus) = 0;
    // 0..255 by the volume law of TSoundBuffer.
    virtual void SetVolume(int volume) = 0;
};

class NHandler final : public IDigitalPlayer {
public:
    static constexpr int kSegments = 8;
    static constexpr int kSectorsPerSegment = 20;
    static constexpr std::size_t kSegmentBytes = 47040;
    static constexpr int kReadAhead = kSegments * kSectorsPerSegment;  // 160

    using Post = std::function<void(std::function<void()>)>;
    // `device` must outlive the player. Without `post` refills run on the
    // player's own thread.
    explicit NHandler(ISoundDevice& device, Post post = {});
    ~NHandler() override;  // shuts down
    NHandler(const NHandler&) = delete;
    NHandler& operator=(const NHandler&) = delete;

    // False when the device refused the buffer (then every call does nothing).
    bool Usable() const;

    void Start(TCDROM& cdrom, std::int32_t startLba, std::int32_t endLba) override;
    void Seek(std::int32_t lba) override;
    void Pause() override;
    void Resume() override;
    void Stop() override;
    bool Position(Msf& absolute, int& audioStatus) override;
    void SetVolume(int volume) override;
    // Stops and releases the buffer and the thread.
    void Shutdown();

    // The sound buffer (tests look at its state).
    TSoundBuffer& Buffer();

private:
    struct State;
    std::unique_ptr<State> s_;
};

// The range the track `index` of `disc` plays: the whole track, or with
// `trimmed` and the track's trim flag set, its trim range (as the rip reads it).
struct PlayRange {
    std::int32_t start = 0;
    std::int32_t end = 0;
};
PlayRange TrackPlayRange(const DISC_INFO& disc, int index, bool trimmed);

}  // namespace sv
