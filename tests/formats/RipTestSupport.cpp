#include "RipTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/Bytes.h"
#include "support/TempDir.h"

namespace svtest {

bool HaveTool(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / tool;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

int RunTool(const std::vector<std::string>& args, std::string* output) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Chunk(const std::string& id, const std::string& body) {
    std::string c = id;
    std::uint8_t len[4];
    sv::StoreLE32(len, static_cast<std::uint32_t>(body.size()));
    c.append(reinterpret_cast<const char*>(len), 4);
    c += body;
    return c;
}

std::string MakeWavFile(const std::vector<std::uint8_t>& fmt, const std::string& between, const std::string& data,
                        std::int64_t dataLengthField) {
    std::string body = "WAVE";
    body += Chunk("fmt ", std::string(fmt.begin(), fmt.end()));
    body += between;
    std::string dataChunk = Chunk("data", data);
    if (dataLengthField >= 0) sv::StoreLE32(reinterpret_cast<std::uint8_t*>(dataChunk.data()) + 4,
                                            static_cast<std::uint32_t>(dataLengthField));
    body += dataChunk;
    return Chunk("RIFF", body);
}

std::vector<std::uint8_t> PcmFmt(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits, bool isFloat) {
    std::vector<std::uint8_t> f(20, 0);
    const auto align = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
    sv::StoreLE16(f.data(), isFloat ? 3 : 1);
    sv::StoreLE16(f.data() + 2, channels);
    sv::StoreLE32(f.data() + 4, rate);
    sv::StoreLE32(f.data() + 8, rate * align);
    sv::StoreLE16(f.data() + 12, align);
    sv::StoreLE16(f.data() + 14, bits);
    return f;
}

std::string ToneS16(std::uint32_t rate, int channels, std::size_t frames, double amplitude) {
    std::string out(frames * static_cast<std::size_t>(channels) * 2, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(out.data());
    for (std::size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double f = 440.0 * (c + 1);
            const auto v = static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * f * static_cast<double>(i) / rate)));
            sv::StoreLE16(p + 2 * (i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)),
                          static_cast<std::uint16_t>(v));
        }
    }
    return out;
}

std::string WavData(const std::filesystem::path& file) {
    const std::string bytes = ReadFileBytes(file);
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const std::uint32_t len = sv::LoadLE32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + pos + 4);
        if (bytes.compare(pos, 4, "data") == 0) return bytes.substr(pos + 8, len);
        pos += 8 + len + (len & 1);
    }
    return {};
}

std::vector<std::int16_t> Samples16(const std::string& bytes) {
    std::vector<std::int16_t> s(bytes.size() / 2);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(sv::LoadLE16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2 * i));
    return s;
}

int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    int worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

}  // namespace svtest
