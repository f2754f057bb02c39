// Grab benchmark: a virtual disc of 10 minutes of audio (five tracks of two
// minutes from a BIN image), grabbed (a) to WAV, in times real time, and (b)
// to MP3 at 224 kbit/s CBR on the fly and WAV-then-encode, each compared with
// the `lame` command encoding the same PCM with the same settings, measured
// in the same run. Prints its figures; exits 1 only when it could not run.
#include <spawn.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "BenchAudio.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/TCDROM.h"
#include "cdrom/Toc.h"
#include "encoders/Encoders.h"
#include "grab/GrabCommand.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kTracks = 5;
constexpr int kTrackSectors = 2 * 60 * 75;
constexpr double kAudioSeconds = kTracks * kTrackSectors / 75.0;

class QuietDialogs final : public sv::IUserDialogs {
public:
    bool AskYesNo(std::string_view text, sv::MessageIcon) override {
        std::cerr << "question: " << text << "\n";
        return true;
    }
    void ShowMessage(std::string_view text, sv::MessageIcon) override { std::cerr << "message: " << text << "\n"; }
    std::optional<int> ChooseFromList(std::string_view, const std::vector<std::string>&, int) override { return {}; }
    std::optional<std::string> AskText(std::string_view, const std::vector<std::string>&, std::string_view) override {
        return {};
    }
    std::optional<std::string> PickFile(std::string_view, std::string_view) override { return {}; }
};

// Music-like audio (BenchAudio.h), a second at a time.
void WriteDiscImage(const fs::path& bin) {
    std::ofstream out(bin, std::ios::binary);
    svbench::BenchMusic music;
    std::vector<std::int16_t> buf;
    buf.reserve(2 * 44100);
    for (std::size_t left = static_cast<std::size_t>(kTracks) * kTrackSectors * 588; left > 0;) {
        const std::size_t frames = std::min<std::size_t>(44100, left);
        music.Append(frames, buf);
        left -= frames;
        out.write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(buf.size() * 2));
        buf.clear();
    }
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

bool Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Rig {
    std::shared_ptr<sv::DriveCatalog> catalog;
    std::unique_ptr<sv::TCDROM> cdrom;
    sv::DISC_INFO disc;
    sv::TagBlocks tags;
};

}  // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / ("sornaval-bench-" + std::to_string(getpid()));
    fs::create_directories(root);
    struct Cleanup {
        fs::path p;
        ~Cleanup() {
            std::error_code ec;
            fs::remove_all(p, ec);
        }
    } cleanup{root};

    std::cout << "Preparing a virtual disc of " << kAudioSeconds / 60 << " minutes of audio ("
              << kTracks << " tracks)...\n";
    WriteDiscImage(root / "disc.bin");
    std::string cue = "FILE \"disc.bin\" BINARY\n";
    for (int t = 0; t < kTracks; ++t) {
        const int start = t * kTrackSectors;
        char line[96];
        std::snprintf(line, sizeof line, " TRACK %02d AUDIO\n  INDEX 01 %02d:%02d:%02d\n", t + 1, start / 4500,
                      start / 75 % 60, start % 75);
        cue += line;
    }
    std::ofstream(root / "disc.cue") << cue;
    std::string error;
    auto image = sv::LoadCueSheet((root / "disc.cue").string(), error);
    if (!image) {
        std::cerr << "bench: " << error << "\n";
        return 1;
    }
    Rig rig;
    sv::DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = false;
    rig.catalog = std::make_shared<sv::DriveCatalog>(env);
    rig.catalog->AddVirtual(image, "bench image");
    rig.cdrom = std::make_unique<sv::TCDROM>(rig.catalog);
    rig.cdrom->Initialise(sv::kTransportSpti);
    rig.cdrom->SelectDrive(0, 0);
    sv::TocBuffer toc;
    if (!rig.cdrom->ReadToc(toc) || !sv::BuildLayout(toc, rig.disc, false)) {
        std::cerr << "bench: the virtual disc has no layout\n";
        return 1;
    }
    rig.tags.EnsureCount(rig.disc.TrackCount());

    sv::TProgramSettings settings;
    settings.ApplyDefaults((root / "data").string() + "/", (root / "out").string() + "/");
    settings.SetSectorsPerRead(26);
    settings.SetExtractMethod(0);
    QuietDialogs dialogs;
    sv::NullEventPump pump;
    sv::TEncoders encoders(&dialogs);
    encoders.SetSettings(&settings);
    if (!encoders.Lame().Usable()) {
        std::cerr << "bench: the LAME library cannot be loaded\n";
        return 1;
    }
    sv::GrabHooks hooks;
    hooks.freeSpace = [](const std::string&) { return std::optional<std::uint64_t>(); };

    auto grab = [&](const std::string& folder, sv::GrabSender sender, bool onTheFly, std::vector<std::string>& files) {
        fs::create_directories(root / folder);
        settings.SetOutputDir((root / folder).string() + "/");
        settings.SetOnTheFlyEncoding(onTheFly);
        std::vector<bool> checked(static_cast<std::size_t>(rig.disc.TrackCount()), true);
        sv::RipContext context{settings, *rig.cdrom, rig.disc, rig.tags, checked, dialogs, pump, encoders,
                               (root / "temp").string() + "/"};
        const auto t0 = std::chrono::steady_clock::now();
        const auto result = sv::RunGrabCommand(sender, context, hooks);
        const auto t1 = std::chrono::steady_clock::now();
        files = result.rip.files;
        if (result.rip.written != kTracks) {
            std::cerr << "bench: the grab wrote " << result.rip.written << " of " << kTracks << " tracks\n";
            std::exit(1);
        }
        return Seconds(t0, t1);
    };

    std::vector<std::string> wavFiles, mp3Fly, mp3Later;
    // Warm the page cache with one untimed pass, as a disc image on a real
    // machine would be after its first read.
    grab("warm", sv::GrabSender::WavButton, false, wavFiles);
    fs::remove_all(root / "warm");
    const double wav = grab("wav", sv::GrabSender::WavButton, false, wavFiles);
    const double fly = grab("fly", sv::GrabSender::Mp3Menu, true, mp3Fly);
    const double later = grab("later", sv::GrabSender::Mp3Menu, false, mp3Later);

    // The lame command on the same PCM (the WAV files of the grab), with the
    // settings the grab used: 224 kbit/s CBR, joint stereo, quality 5.
    fs::create_directories(root / "lame");
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < wavFiles.size(); ++i) {
        if (!Run({"lame", "--quiet", "--cbr", "-b", "224", "-m", "j", "-q", "5", wavFiles[i],
                  (root / "lame" / (std::to_string(i) + ".mp3")).string()})) {
            std::cerr << "bench: the lame command failed (is it installed?)\n";
            return 1;
        }
    }
    const double lame = Seconds(t0, std::chrono::steady_clock::now());

    std::printf("(a) WAV grab of %.0f s of audio: %.2f s, %.0fx real time (target >= 300x)\n", kAudioSeconds, wav,
                kAudioSeconds / wav);
    std::printf("(b) MP3 224 kbit/s CBR: on the fly %.2f s, WAV then encode %.2f s, lame command alone %.2f s\n", fly,
                later, lame);
    std::printf("    on the fly / lame = %.3f, WAV then encode / lame = %.3f (target <= 1.15)\n", fly / lame,
                later / lame);
    return 0;
}
