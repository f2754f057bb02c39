// Helpers of the rip tests: running the independent command-line tools
// (ffmpeg, ffprobe) with an argument vector, crafting WAV files byte by byte,
// and reading sample data back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace svtest {

// True when `tool` is found on PATH.
bool HaveTool(const std::string& tool);

// Runs the program with its arguments (no shell); returns the exit status
// and, when `output` is given, what it wrote to standard output.
int RunTool(const std::vector<std::string>& args, std::string* output = nullptr);

// A RIFF/WAVE file: "fmt " chunk with `fmt`, then the chunks in `between`
// (each a complete chunk with id and length), then "data" with `data`.
// `dataLengthField` overrides the data chunk's length field when not -1.
std::string MakeWavFile(const std::vector<std::uint8_t>& fmt, const std::string& between, const std::string& data,
                        std::int64_t dataLengthField = -1);
std::string Chunk(const std::string& id, const std::string& body);

// A 20-byte fmt body of a PCM or float record (cbSize 0 and 2 zero bytes).
std::vector<std::uint8_t> PcmFmt(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits, bool isFloat = false);

// Interleaved 16-bit samples of a tone (`channels` channels, the second
// channel at a different frequency) as little-endian bytes.
std::string ToneS16(std::uint32_t rate, int channels, std::size_t frames, double amplitude = 12000);

// The body of the "data" chunk of a WAV file (chunks walked properly).
std::string WavData(const std::filesystem::path& file);

// 16-bit little-endian samples of a byte string.
std::vector<std::int16_t> Samples16(const std::string& bytes);

// The largest absolute difference between two equally long sample arrays.
int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b);

}  // namespace svtest
