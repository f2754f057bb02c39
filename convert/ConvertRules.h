// The converter's small rules as pure functions: where an output goes, when a
// decoder that stopped early still gave the whole file, and the progress text
// of a row. TConverter uses them; tests and the command line use them too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sv {

// Whether a decoder that stopped after `written` bytes gave the whole file
// whose length promised `expected` bytes: it did when it reached the length
// or stopped less than rate x 2 x channels x bits bytes short of it (the
// length of an MP3 file is only an estimate; for 44100 Hz stereo 16-bit that
// allowance is 2822400 bytes, sixteen seconds).
bool DecodedCompletely(std::uint64_t written, std::uint64_t expected, std::uint32_t rate, std::uint32_t channels,
                       std::uint32_t bits);

// done x 100 / total rounded to the nearest whole percent, held to 0..100
// (a total of 0 counts as 100).
int ProgressPercent(std::uint64_t done, std::uint64_t total);
// A row's progress text: `prefix` (e.g. "decoding WAV "), the percentage,
// "% " and the language's progress word.
std::string ProgressStatus(const std::string& prefix, int percent, const std::string& word);

// The folder an output goes to, ending in '/': the source's folder when
// `keepSourceLocation` is set or `outputFolder` is empty, else
// `outputFolder`.
std::string ConvertOutputFolder(const std::string& sourceFolder, const std::string& outputFolder,
                                bool keepSourceLocation);
// `folder` + the source's file name with its extension replaced by
// `extension` (kept when `extension` is empty). Nothing when the name could
// leave the folder ("", ".", ".." or a '/').
std::optional<std::string> ConvertOutputPath(const std::string& folder, const std::string& sourceName,
                                             const std::string& extension);
// The re-encoded MP3's path: `output`, or, when it names the source file
// itself, the source with its ".mp3" replaced by "(2).mp3" so that the
// source is never overwritten.
std::string ReencodeOutputPath(const std::string& source, const std::string& output);

// For tests: makes OpenRefusal() report `message` as if a decoder library
// were missing (nothing: back to normal).
void SimulateMissingDecoder(std::optional<std::string> message);
std::optional<std::string> SimulatedMissingDecoder();

}  // namespace sv
