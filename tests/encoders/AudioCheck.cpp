#include "AudioCheck.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/Bytes.h"
#include "base/Language.h"
#include "support/TempDir.h"

extern char** environ;

namespace svtest {

std::vector<std::uint8_t> MusicLike(std::size_t frames, int channels, double amplitude, std::size_t frame0) {
    std::vector<std::uint8_t> out(frames * static_cast<std::size_t>(channels) * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(frame0 + i) / 44100.0;
        const double env = 0.6 + 0.4 * std::sin(2 * M_PI * 0.7 * t);
        for (int c = 0; c < channels; ++c) {
            const double f = c == 0 ? 440.0 : 554.37;
            const double v = amplitude * env *
                             (0.6 * std::sin(2 * M_PI * f * t) + 0.3 * std::sin(2 * M_PI * f * 1.5 * t + c) +
                              0.1 * std::sin(2 * M_PI * 97.0 * t));
            const std::size_t at = i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c);
            sv::StoreLE<std::int16_t>(out.data() + at * 2, static_cast<std::int16_t>(std::lround(v)));
        }
    }
    return out;
}

namespace {

// Runs argv, returns its standard output.
bool Capture(const std::vector<std::string>& args, std::string& out) { return RunProgram(args, out) == 0; }

}  // namespace

int RunProgram(const std::vector<std::string>& args, std::string& out, std::string* err) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    char errName[] = "/tmp/sornaval-stderr-XXXXXX";
    const int errFd = err ? mkstemp(errName) : -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    int status = 0;
    if (rc == 0) {
        char buf[65536];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
        waitpid(pid, &status, 0);
    }
    close(fds[0]);
    if (errFd >= 0) {
        close(errFd);
        std::ifstream in(errName, std::ios::binary);
        err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        unlink(errName);
    }
    if (rc != 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Decoded DecodeWithFfmpeg(const std::filesystem::path& file) {
    Decoded d;
    std::string info;
    if (!Capture({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", "stream=channels,sample_rate",
                  "-of", "default=noprint_wrappers=1", file.string()},
                 info))
        return d;
    const auto ch = info.find("channels=");
    const auto sr = info.find("sample_rate=");
    if (ch == std::string::npos || sr == std::string::npos) return d;
    d.channels = std::stoi(info.substr(ch + 9));
    d.sampleRate = std::stoi(info.substr(sr + 12));
    std::string pcm;
    if (!Capture({"ffmpeg", "-v", "error", "-i", file.string(), "-f", "s16le", "-acodec", "pcm_s16le", "-"}, pcm))
        return d;
    d.samples.resize(pcm.size() / 2);
    for (std::size_t i = 0; i < d.samples.size(); ++i)
        d.samples[i] = sv::LoadLE<std::int16_t>(reinterpret_cast<const std::uint8_t*>(pcm.data()) + 2 * i);
    d.ok = true;
    return d;
}

double Correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n == 0) return 0;
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= static_cast<double>(n);
    mb /= static_cast<double>(n);
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = a[i] - ma, y = b[i] - mb;
        sab += x * y;
        saa += x * x;
        sbb += y * y;
    }
    return (saa == 0 || sbb == 0) ? 0 : sab / std::sqrt(saa * sbb);
}

std::vector<std::int16_t> ToSamples(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> s(bytes.size() / 2);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = sv::LoadLE<std::int16_t>(bytes.data() + 2 * i);
    return s;
}

void WriteCdWav(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm, int channels) {
    std::vector<std::uint8_t> h(44);
    auto put32 = [&](std::size_t o, std::uint32_t v) { sv::StoreLE<std::uint32_t>(h.data() + o, v); };
    auto put16 = [&](std::size_t o, std::uint16_t v) { sv::StoreLE<std::uint16_t>(h.data() + o, v); };
    std::copy_n("RIFF", 4, h.begin());
    put32(4, static_cast<std::uint32_t>(36 + pcm.size()));
    std::copy_n("WAVEfmt ", 8, h.begin() + 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, static_cast<std::uint16_t>(channels));
    put32(24, 44100);
    put32(28, 44100u * 2u * static_cast<std::uint32_t>(channels));
    put16(32, static_cast<std::uint16_t>(2 * channels));
    put16(34, 16);
    std::copy_n("data", 4, h.begin() + 36);
    put32(40, static_cast<std::uint32_t>(pcm.size()));
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
    out.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
}

// A FILE* that accepts `limit` bytes and then fails like a full disk.
std::FILE* LimitedFile(const std::string& path, std::size_t limit) {
    struct Cookie {
        std::FILE* real;
        std::size_t left;
    };
    cookie_io_functions_t io{};
    io.write = [](void* c, const char* buf, std::size_t n) -> ssize_t {
        auto* k = static_cast<Cookie*>(c);
        if (n > k->left) {
            errno = ENOSPC;
            return -1;
        }
        k->left -= n;
        return static_cast<ssize_t>(std::fwrite(buf, 1, n, k->real));
    };
    io.seek = [](void* c, off64_t* pos, int whence) -> int {
        auto* k = static_cast<Cookie*>(c);
        if (std::fseek(k->real, *pos, whence) != 0) return -1;
        *pos = std::ftell(k->real);
        return 0;
    };
    io.close = [](void* c) -> int {
        auto* k = static_cast<Cookie*>(c);
        const int r = std::fclose(k->real);
        delete k;
        return r;
    };
    std::FILE* real = std::fopen(path.c_str(), "wb");
    if (!real) return nullptr;
    return fopencookie(new Cookie{real, limit}, "wb", io);
}

}  // namespace svtest
