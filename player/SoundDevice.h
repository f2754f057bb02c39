// Sound devices: where a TSoundBuffer's sound goes. The system's output is
// PortAudio's default output device (ALSA, PulseAudio or PipeWire beneath it),
// pulling in callback mode; the null output consumes at real-time pace on a
// clock (machines without sound, tests) or, in fast mode, as fast as the
// player fills, handing every byte to a sink (a WAV file, a test).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/Interaction.h"
#include "player/SoundBuffer.h"

namespace sv {

// Plays one buffer from Attach until it is destroyed.
class ISoundStream {
public:
    virtual ~ISoundStream() = default;
};

class ISoundDevice {
public:
    virtual ~ISoundDevice() = default;
    // Starts playing `buffer` (which must outlive the stream); null with
    // `error` when the device refuses.
    virtual std::unique_ptr<ISoundStream> Attach(TSoundBuffer& buffer, std::string& error) = 0;
    // For the command line and the log: "PortAudio: <device> (<host API>)", "null".
    virtual std::string Name() const = 0;
};

class NullSoundDevice final : public ISoundDevice {
public:
    struct Options {
        IClock* clock = nullptr;  // the time it keeps pace with (base/Interaction.h); null: the steady clock
        // No pace: every segment is consumed as soon as the player filled it.
        bool fast = false;
        // Receives every byte taken from a buffer (after the volume law).
        std::function<void(const std::uint8_t* data, std::size_t bytes)> sink;
    };
    NullSoundDevice() = default;
    explicit NullSoundDevice(Options options) : options_(std::move(options)) {}
    std::unique_ptr<ISoundStream> Attach(TSoundBuffer& buffer, std::string& error) override;
    std::string Name() const override { return "null"; }

private:
    Options options_;
};

// PortAudio's default output; null with `reason` when it has none or
// PortAudio cannot start.
std::unique_ptr<ISoundDevice> OpenPortAudioDevice(std::string& reason);

// The program's sound output: PortAudio's, or the null output with `reason`
// saying why there is no sound (to be shown once). SORNAVAL_SOUND=null in
// the environment asks for the null output without a reason.
std::unique_ptr<ISoundDevice> OpenSoundOutput(std::string& reason);

// A WAV file of CD audio written as a sink; the header is completed when it
// is closed or destroyed.
class WavSinkFile {
public:
    // False with `error` when the file cannot be created.
    bool Create(const std::string& path, std::string& error);
    void Write(const std::uint8_t* data, std::size_t bytes);
    // Completes the header; false when a write failed (disk full).
    bool Close();
    ~WavSinkFile();
    std::uint64_t Bytes() const { return bytes_; }

private:
    std::FILE* file_ = nullptr;
    std::uint64_t bytes_ = 0;
    bool failed_ = false;
};

}  // namespace sv
