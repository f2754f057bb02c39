#include "player/SoundDevice.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "formats/WavFile.h"
#include "player/AlsaQuiet.h"

namespace sv {

namespace {

// The null output's stream: a thread that takes the buffer's sound at
// real-time pace on a clock, or as fast as it is filled.
class NullStream final : public ISoundStream {
public:
    NullStream(TSoundBuffer& buffer, const NullSoundDevice::Options& options)
        : buffer_(buffer), options_(options), thread_([this] { Run(); }) {}
    ~NullStream() override {
        quit_ = true;
        thread_.join();
    }

private:
    static constexpr std::int64_t kTickMs = 10;
    static constexpr std::size_t kTickBytes = kSoundRate / 100 * kSoundFrameBytes;  // 10 ms

    void Run() {
        std::vector<std::uint8_t> chunk(options_.fast ? 65536 : kTickBytes);
        SteadyClock steady;
        IClock& clock = options_.clock ? *options_.clock : static_cast<IClock&>(steady);
        std::int64_t next = clock.NowMs();
        while (!quit_) {
            if (options_.fast) {
                const std::size_t got = buffer_.Render(chunk.data(), chunk.size(), true, std::chrono::milliseconds(20));
                if (got > 0 && options_.sink) options_.sink(chunk.data(), got);
                if (got == 0 && !buffer_.Playing()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            const std::size_t got = buffer_.Render(chunk.data(), chunk.size());
            if (got > 0 && options_.sink) options_.sink(chunk.data(), got);
            next += kTickMs;
            const std::int64_t now = clock.NowMs();
            if (next > now) clock.SleepMs(next - now);
            else if (now - next > 1000) next = now;  // fell far behind: do not rush to catch up
        }
    }

    TSoundBuffer& buffer_;
    NullSoundDevice::Options options_;
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

// Keeps what the sound libraries print to the standard error while they look
// for servers and cards (JACK's and ALSA's complaints) off the terminal.
class QuietStderr {
public:
    QuietStderr() : saved_(dup(STDERR_FILENO)) {
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

int PortAudioPull(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user) {
    static_cast<TSoundBuffer*>(user)->Render(static_cast<std::uint8_t*>(output), frames * kSoundFrameBytes);
    return paContinue;
}

class PortAudioStream final : public ISoundStream {
public:
    explicit PortAudioStream(PaStream* stream) : stream_(stream) {}
    ~PortAudioStream() override {
        Pa_StopStream(stream_);
        Pa_CloseStream(stream_);
    }

private:
    PaStream* stream_;
};

class PortAudioDevice final : public ISoundDevice {
public:
    PortAudioDevice(PaDeviceIndex device, std::string name) : device_(device), name_(std::move(name)) {}
    ~PortAudioDevice() override { Pa_Terminate(); }

    std::unique_ptr<ISoundStream> Attach(TSoundBuffer& buffer, std::string& error) override {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device_);
        PaStreamParameters out{};
        out.device = device_;
        out.channelCount = kSoundChannels;
        out.sampleFormat = paInt16;
        out.suggestedLatency = info ? info->defaultHighOutputLatency : 0.1;
        PaStream* stream = nullptr;
        PaError e = Pa_OpenStream(&stream, nullptr, &out, kSoundRate, paFramesPerBufferUnspecified, paNoFlag,
                                  PortAudioPull, &buffer);
        if (e == paNoError) {
            e = Pa_StartStream(stream);
            if (e != paNoError) Pa_CloseStream(stream);
        }
        if (e != paNoError) {
            error = Pa_GetErrorText(e);
            return nullptr;
        }
        return std::make_unique<PortAudioStream>(stream);
    }
    std::string Name() const override { return name_; }

private:
    PaDeviceIndex device_;
    std::string name_;
};

}  // namespace

std::unique_ptr<ISoundStream> NullSoundDevice::Attach(TSoundBuffer& buffer, std::string&) {
    return std::make_unique<NullStream>(buffer, options_);
}

std::unique_ptr<ISoundDevice> OpenPortAudioDevice(std::string& reason) {
    // ALSA's own complaints about missing cards would litter the terminal;
    // the reason below says what matters.
    QuietAlsaErrors();
    setenv("JACK_NO_START_SERVER", "1", 0);
    PaError e = paNoError;
    {
        const QuietStderr quiet;
        e = Pa_Initialize();
    }
    if (e != paNoError) {
        reason = std::string("PortAudio could not start: ") + Pa_GetErrorText(e);
        return nullptr;
    }
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (!info || info->maxOutputChannels < 1) {
        Pa_Terminate();
        reason = "there is no sound output device";
        return nullptr;
    }
    const PaHostApiInfo* host = Pa_GetHostApiInfo(info->hostApi);
    std::string name = std::string("PortAudio: ") + (info->name ? info->name : "?");
    if (host && host->name) name.append(" (").append(host->name).append(")");
    return std::make_unique<PortAudioDevice>(device, std::move(name));
}

std::unique_ptr<ISoundDevice> OpenSoundOutput(std::string& reason) {
    reason.clear();
    if (const char* choice = std::getenv("SORNAVAL_SOUND"); choice && std::string(choice) == "null")
        return std::make_unique<NullSoundDevice>();
    if (auto device = OpenPortAudioDevice(reason)) {
        // A device that cannot take a stream is as good as none.
        TSoundBuffer probe(kSoundRate / 10 * kSoundFrameBytes, 2);
        std::string error;
        if (device->Attach(probe, error)) return device;
        reason = device->Name() + ": " + error;
    }
    return std::make_unique<NullSoundDevice>();
}

bool WavSinkFile::Create(const std::string& path, std::string& error) {
    Close();
    file_ = CreateWav(path, WAVEFORMATEX::CdFormat());
    if (!file_) {
        error = "cannot create " + path;
        return false;
    }
    bytes_ = 0;
    failed_ = false;
    return true;
}

void WavSinkFile::Write(const std::uint8_t* data, std::size_t bytes) {
    if (!file_ || failed_) return;
    if (std::fwrite(data, 1, bytes, file_) != bytes) failed_ = true;
    else bytes_ += bytes;
}

bool WavSinkFile::Close() {
    if (!file_) return !failed_;
    const bool closed = CloseWav(file_, bytes_, WAVEFORMATEX::CdFormat());
    file_ = nullptr;
    return closed && !failed_;
}

WavSinkFile::~WavSinkFile() { Close(); }

}  // namespace sv
