// Helpers of the encoder and rip tests: tonal test audio, decoding a file with
// the independent ffmpeg command (no shell), comparing sample arrays, and the
// built-in Russian texts as the current language.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace svtest {

// Interleaved 16-bit samples of a sum of tones (different per channel) with a
// slow level change, as little-endian bytes; `frame0` continues a stream.
std::vector<std::uint8_t> MusicLike(std::size_t frames, int channels, double amplitude = 9000,
                                    std::size_t frame0 = 0);

struct Decoded {
    bool ok = false;
    int channels = 0;
    int sampleRate = 0;
    std::vector<std::int16_t> samples;  // interleaved
};
// Runs argv without a shell: the exit status (-1 when it could not run), its
// standard output appended to `out` and, when `err` is given, its standard
// error there.
int RunProgram(const std::vector<std::string>& args, std::string& out, std::string* err = nullptr);

// Decodes with `ffmpeg` to 16-bit PCM at the file's own rate and channels.
Decoded DecodeWithFfmpeg(const std::filesystem::path& file);

// Pearson correlation of two equally long arrays (the shorter length is used).
double Correlation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b);
std::vector<std::int16_t> ToSamples(const std::vector<std::uint8_t>& bytes);

// A CD-format WAV file with the given sample bytes.
void WriteCdWav(const std::filesystem::path& file, const std::vector<std::uint8_t>& pcm, int channels = 2);


// A FILE* on `path` that accepts `limit` bytes and then fails like a full
// disk (ENOSPC).
std::FILE* LimitedFile(const std::string& path, std::size_t limit);

}  // namespace svtest
