// sornaval-cli play [--drive N | --image FILE.cue | --demo] [--track N] [--from MM:SS:FF] [--to MM:SS:FF]
//                   [--volume 0-255] [--sink FILE.wav]
// sornaval-cli play [--volume 0-255] [--sink FILE.wav] FILE
//
// Plays a disc track digitally (read from the drive, heard through the sound
// output) or a sound file through the file player, showing the position on
// the terminal. --from and --to are positions inside the track, 00:00:00
// being its first sector. --sink writes exactly what the sound card would
// have received (after the volume) to a WAV file instead, without waiting for
// real time. Ctrl+C stops. The exit status is 0 when the sound was played to
// its end, 1 when it could not be played or was stopped, 2 for wrong arguments.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "cdrom/DiscSource.h"
#include "main/cli/CliCommand.h"
#include "player/NHandler.h"
#include "player/SoundDevice.h"
#include "player/StreamPlayer.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnPlayInterrupt(int) { g_stop = 1; }

// "MM:SS:FF" into sectors; nothing when malformed.
std::optional<int> ParseMsf(const std::string& text) {
    int m = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d%c", &m, &s, &f, &tail) != 3) return std::nullopt;
    if (m < 0 || s < 0 || s > 59 || f < 0 || f > 74 || m > 99) return std::nullopt;
    return (m * 60 + s) * 75 + f;
}

std::string Clock(std::int64_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>((ms / 1000) % 60));
    return buf;
}

// The position line: rewritten in place on a terminal, left out otherwise.
class PositionLine {
public:
    PositionLine(std::ostream& out, bool show) : out_(out), show_(show && isatty(STDOUT_FILENO) != 0) {}
    void Show(std::int64_t ms, std::int64_t length) {
        if (show_) out_ << "\r\033[K" << Clock(ms) << " / " << Clock(length) << std::flush;
    }
    ~PositionLine() {
        if (show_) out_ << "\r\033[K" << std::flush;
    }

private:
    std::ostream& out_;
    bool show_;
};

struct Output {
    std::unique_ptr<sv::ISoundDevice> device;
    std::unique_ptr<sv::WavSinkFile> sink;
};

// The sound card, or with --sink the file sink; false with a message.
bool OpenOutput(const std::optional<std::string>& sinkPath, Output& output, std::ostream& err) {
    if (sinkPath) {
        output.sink = std::make_unique<sv::WavSinkFile>();
        std::string error;
        if (!output.sink->Create(*sinkPath, error)) {
            err << "play: " << error << "\n";
            return false;
        }
        sv::NullSoundDevice::Options options;
        options.fast = true;
        options.sink = [sink = output.sink.get()](const std::uint8_t* data, std::size_t bytes) { sink->Write(data, bytes); };
        output.device = std::make_unique<sv::NullSoundDevice>(std::move(options));
        return true;
    }
    std::string reason;
    output.device = sv::OpenSoundOutput(reason);
    if (!reason.empty()) err << "play: no sound output (" << reason << "); playing silently\n";
    return true;
}

// Completes the sink file once the player is gone; false when it failed.
bool FinishSink(Output& output, const std::string& path, std::ostream& out, std::ostream& err) {
    if (!output.sink) return true;
    const std::uint64_t bytes = output.sink->Bytes();
    if (!output.sink->Close()) {
        err << "play: could not write " << path << "\n";
        return false;
    }
    out << "wrote " << bytes << " bytes (" << bytes / 4 << " frames) to " << path << "\n";
    return true;
}

int PlayFile(const std::string& path, int volume, Output& output, const std::optional<std::string>& sinkPath,
             std::ostream& out, std::ostream& err) {
    bool ended = false;
    {
        sv::StreamPlayer player(output.device.get());
        if (!player.Open(path)) {
            err << "play: cannot play " << path << " (a .wav, .mp3, .ogg, .wma or .flac file is needed)\n";
            return 1;
        }
        player.SetVolume(volume);
        player.Play();
        PositionLine line(out, !sinkPath);
        while (g_stop == 0 && !ended) {
            ended = player.WaitEnded(std::chrono::milliseconds(250));
            line.Show(player.Position(), player.Length());
        }
        player.Shutdown();
    }
    if (!FinishSink(output, sinkPath.value_or(""), out, err)) return 1;
    return ended ? 0 : 1;
}

int RunPlay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> valued = sv::kDiscSourceValued;
    valued.insert(valued.end(), {"--track", "--from", "--to", "--volume", "--sink"});
    std::vector<std::string> files;
    for (const std::string& a : options.Unknown(sv::kDiscSourceFlags, valued)) {
        if (a.rfind("--", 0) == 0) {
            err << "play: unknown argument \"" << a << "\"\n";
            return 2;
        }
        files.push_back(a);
    }
    int volume = 255;
    if (const auto v = options.Value("--volume")) {
        try {
            std::size_t used = 0;
            volume = std::stoi(*v, &used);
            if (used != v->size() || volume < 0 || volume > 255) throw std::out_of_range("volume");
        } catch (const std::exception&) {
            err << "play: --volume takes a whole number from 0 to 255\n";
            return 2;
        }
    }
    const std::optional<std::string> sinkPath = options.Value("--sink");
    if (files.size() > 1) {
        err << "play: one file at a time\n";
        return 2;
    }
    if (!files.empty()) {
        for (const char* disc : {"--drive", "--image", "--track", "--from", "--to"})
            if (options.Value(disc)) {
                err << "play: " << disc << " belongs to playing a disc, not a file\n";
                return 2;
            }
        if (options.Flag("--demo")) {
            err << "play: --demo belongs to playing a disc, not a file\n";
            return 2;
        }
        Output output;
        if (!OpenOutput(sinkPath, output, err)) return 1;
        std::signal(SIGINT, OnPlayInterrupt);
        const int status = PlayFile(files.front(), volume, output, sinkPath, out, err);
        std::signal(SIGINT, SIG_DFL);
        return status;
    }

    sv::DiscSourceOptions source;
    std::string error;
    if (!sv::ParseDiscSourceOptions(args, source, error)) {
        err << "play: " << error << "\n";
        return 2;
    }
    int trackNumber = 1;
    if (const auto t = options.Value("--track")) {
        try {
            std::size_t used = 0;
            trackNumber = std::stoi(*t, &used);
            if (used != t->size()) throw std::invalid_argument("track");
        } catch (const std::exception&) {
            err << "play: --track takes a track number\n";
            return 2;
        }
    }
    std::optional<int> from, to;
    for (auto [name, value] : {std::pair{"--from", &from}, std::pair{"--to", &to}}) {
        if (const auto v = options.Value(name)) {
            *value = ParseMsf(*v);
            if (!*value) {
                err << "play: " << name << " takes a position MM:SS:FF inside the track\n";
                return 2;
            }
        }
    }
    auto opened = sv::OpenDiscSource(source, error);
    if (!opened) {
        err << "play: " << error << "\n";
        return 1;
    }
    sv::DISC_INFO& disc = opened->disc;
    const int index = trackNumber - disc.FirstTrackNumber();
    if (index < 0 || index >= disc.TrackCount()) {
        err << "play: the disc has no track " << trackNumber << "\n";
        return 2;
    }
    if (!disc.Track(index).AudioFlag()) {
        err << "play: track " << trackNumber << " is a data track\n";
        return 1;
    }
    const std::int32_t trackStart = disc.Track(index).StartLba();
    const std::int32_t trackEnd = disc.Track(index + 1).StartLba();
    const std::int32_t start = trackStart + from.value_or(0);
    const std::int32_t end = to ? trackStart + *to : trackEnd;
    if (end > trackEnd || start >= end) {
        err << "play: the range must lie inside the track (" << sv::FormatMsf(sv::FramesToMsf(trackEnd - trackStart))
            << " long) with --from before --to\n";
        return 2;
    }

    Output output;
    if (!OpenOutput(sinkPath, output, err)) return 1;
    std::signal(SIGINT, OnPlayInterrupt);
    bool ended = false;
    {
        sv::NHandler player(*output.device);
        if (!player.Usable()) {
            err << "play: the sound output refused the player\n";
            std::signal(SIGINT, SIG_DFL);
            return 1;
        }
        player.SetVolume(volume);  // before the first sample is heard
        player.Start(*opened->cdrom, start, end);
        PositionLine line(out, !sinkPath);
        const std::int64_t lengthMs = static_cast<std::int64_t>(end - start) * 1000 / 75;
        while (g_stop == 0) {
            sv::Msf position;
            int status = 0;
            if (!player.Position(position, status)) break;
            if (status == 0x13) {
                ended = true;
                break;
            }
            const std::int64_t heard = sv::MsfToFrames(position) - sv::kLbaBase - start;
            line.Show(heard * 1000 / 75, lengthMs);
            usleep(sinkPath ? 20000 : 250000);
        }
        player.Shutdown();
    }
    std::signal(SIGINT, SIG_DFL);
    if (!FinishSink(output, sinkPath.value_or(""), out, err)) return 1;
    return ended ? 0 : 1;
}

const sv::cli::CommandRegistration kRegistration(
    "play",
    "[--drive N | --image FILE.cue | --demo] [--track N] [--from MM:SS:FF] [--to MM:SS:FF] [--volume 0-255] "
    "[--sink FILE.wav] | [--volume 0-255] [--sink FILE.wav] FILE",
    "play a disc track digitally, or a sound file, through the sound output", &RunPlay,
    std::string(sv::cli::kDiscSourceHelp) +
        "  --track N        the track to play (default: 1)\n"
        "  --from MM:SS:FF  start this far into the track (default: its start)\n"
        "  --to MM:SS:FF    stop this far into the track (default: its end)\n"
        "  --volume V       0 (silent) to 255 (full, the default)\n"
        "  --sink FILE.wav  write what the sound card would receive to a WAV file, without waiting\n"
        "                   for real time, instead of playing it\n"
        "  FILE             a .wav, .mp3, .ogg, .wma or .flac file to play through the file player\n");

}  // namespace
