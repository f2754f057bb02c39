// APE encoder benchmark (not a test): three minutes of the benchmarks'
// music-like stereo audio (BenchAudio.h) encoded by
// TAPEEncoder at every level, on one core, into a temporary file. Prints the
// speed in times real time (target at 2000: >= 20x) and the size against the
// PCM. Run by scripts/bench.sh; exits 1 only when it could not run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "BenchAudio.h"
#include "encoders/ApeEncoder.h"

namespace {

constexpr double kSeconds = 180;
constexpr std::size_t kRate = 44100;

// The benchmarks' music as little-endian PCM bytes.
std::vector<std::uint8_t> MusicLike(std::size_t frames) {
    std::vector<std::int16_t> samples;
    samples.reserve(2 * frames);
    svbench::BenchMusic().Append(frames, samples);
    std::vector<std::uint8_t> out(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        out[2 * i] = std::uint8_t(samples[i] & 0xFF);
        out[2 * i + 1] = std::uint8_t((samples[i] >> 8) & 0xFF);
    }
    return out;
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    const auto pcm = MusicLike(std::size_t(kSeconds * kRate));
    const fs::path out = fs::temp_directory_path() / ("ape_bench_" + std::to_string(::getpid()) + ".ape");
    std::printf("APE encoder, %.0f s of music-like stereo audio, one core\n", kSeconds);
    int status = 0;
    for (int index = 0; index <= 4; ++index) {
        sv::TProgramSettings settings;
        settings.ApplyDefaults("/tmp/sv/", "/tmp/music/");
        settings.SetApeLevel(index);
        sv::TAPEEncoder enc;
        const auto start = std::chrono::steady_clock::now();
        bool ok = enc.Open(nullptr, out.string(), settings);
        for (std::size_t off = 0; ok && off < pcm.size(); off += 26 * 2352)
            ok = enc.EncodeChunk(pcm.data() + off, std::min<std::size_t>(26 * 2352, pcm.size() - off));
        ok = enc.Close() && ok;
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) {
            std::fprintf(stderr, "level %d: %s\n", (index + 1) * 1000, enc.LastMessage().c_str());
            status = 1;
            continue;
        }
        std::printf("level %d: %6.2f s, %6.1fx real time%s, size %.1f%% of the PCM\n", enc.Level(), secs,
                    kSeconds / secs, enc.Level() == 2000 ? " (target >= 20x)" : "",
                    100.0 * double(fs::file_size(out)) / double(pcm.size()));
    }
    std::error_code ec;
    fs::remove(out, ec);
    return status;
}
