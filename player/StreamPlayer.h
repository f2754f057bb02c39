// StreamPlayer: plays a sound file (".mp3", ".wav", ".ogg", ".wma", ".flac") through a
// TCDDAStreamOut in one-second blocks, on a looping buffer of 4 segments of
// one second (705600 bytes). The burn window previews its rows with it and
// plays a sound when a burn ends; the command line plays files with it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "player/SoundDevice.h"

namespace sv {

class StreamPlayer {
public:
    static constexpr int kSegments = 4;
    static constexpr std::size_t kSegmentBytes = 176400;

    // Without a device the player is unusable and every call returns at once.
    explicit StreamPlayer(ISoundDevice* device);
    ~StreamPlayer();  // shuts down
    StreamPlayer(const StreamPlayer&) = delete;
    StreamPlayer& operator=(const StreamPlayer&) = delete;

    bool Usable() const;
    // Opens `path` (its lower-cased extension must be one of the four); a file
    // that cannot be opened gives false and leaves nothing open.
    bool Open(const std::string& path);
    // Plays the open file from its start.
    void Play();
    void Stop();
    void Close();
    // Plays on from `ms` into the file.
    void Seek(std::uint32_t ms);
    // Milliseconds heard of the file (what is queued but not heard yet is not counted).
    std::uint32_t Position() const;
    // The file's length in milliseconds; 0 without a file.
    std::uint32_t Length() const;
    void SetVolume(int volume);
    bool IsOpen() const;
    bool Playing() const;
    // The end event: true once after the file's sound has been played to its
    // end (reading it resets it). WaitEnded waits up to `timeout` for it.
    bool TakeEnded();
    bool WaitEnded(std::chrono::milliseconds timeout);
    void Shutdown();

    TSoundBuffer* Buffer();

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace sv
