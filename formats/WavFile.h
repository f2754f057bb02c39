// WAV files: the writer used for every WAV output and the reader that opens a
// WAV file as an audio source and converts it to CD format.
//
// Files are written in one shape (little-endian):
//   "RIFF", u32 RIFF size (= data bytes + E + 40), "WAVEfmt ", u32 E + 20,
//   the format record (18 + E bytes) and 2 zero bytes, "data", u32 data bytes,
//   the samples. E is the record's extra size; for CD audio the header is 48
//   bytes. No "fact" or "LIST" chunk and no pad byte are written.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "formats/WaveFormat.h"

namespace sv {

class IEventPump;

// Creates (truncating) `path` and writes the header with both sizes 0. The
// caller writes the samples with ordinary writes and finishes with CloseWav.
// Null when the file cannot be created or the header not written.
std::FILE* CreateWav(const std::string& path, const WAVEFORMATEX& format);
// The same header on a file the caller opened, at its current position.
bool WriteWavHeader(std::FILE* file, const WAVEFORMATEX& format);

// Patches the data length D and the RIFF size (D + E + 40, both capped at
// 4 GiB - 1) and closes the file. False when a patch or the close failed
// (the file is closed in every case).
bool CloseWav(std::FILE* file, std::uint64_t dataBytes, const WAVEFORMATEX& format);

// Codes of OpenWavSource.
enum WavOpenCode : int {
    kWavAccepted = 1,       // CD format, or any PCM of a sound rate when that was allowed; open at the data
    kWavAlreadyOpen = 10,   // the source already had an open file; nothing changed
    kWavNotAccepted = 11,   // no "data" chunk (closed) or a format not accepted (left open)
    kWavCannotOpen = 12,    // empty path or the file cannot be opened
    kWavNotWave = 13,       // not a RIFF/WAVE file
};

// The reader's state for one WAV file.
struct WavSource {
    static constexpr std::size_t kFormatBufferSize = 100;

    // The "fmt " chunk as read (at most 100 bytes are kept; see OpenWavSource).
    std::array<std::uint8_t, kFormatBufferSize> formatBuffer{};
    std::FILE* file = nullptr;
    std::uint32_t dataLength = 0;      // bytes of sample data
    std::uint64_t dataOffset = 0;      // file offset of the first data byte
    std::uint32_t convertedLength = 0; // length after conversion to CD format
    std::string sourceName;
    std::string targetName;            // where ConvertWavToCdFormat writes
    std::array<std::uint8_t, 20> suggestedFormat{};

    WavSource() = default;
    WavSource(const WavSource&) = delete;
    WavSource& operator=(const WavSource&) = delete;
    ~WavSource();

    bool IsOpen() const { return file != nullptr; }
    // The format record held in the format buffer.
    WAVEFORMATEX Format() const;
};

// Opens `path` as a WAV source and leaves it at the first data byte.
// A "fact" chunk between "fmt " and "data" is skipped; any other chunk there
// gives kWavNotAccepted. A fmt chunk longer than the 100-byte format buffer is
// accepted when the format record itself (18 + cbSize bytes) fits, the rest of
// the chunk being skipped; a record that does not fit gives kWavNotAccepted
// with the file closed, since it could not be converted correctly. The data
// length is cut to what the file really holds.
int OpenWavSource(WavSource& source, const std::string& path, bool acceptAnyPcm);

// Reads up to `count` raw data bytes; 0 when the source is closed. A
// truncated file gives short reads.
std::size_t ReadWav(WavSource& source, void* buffer, std::size_t count);

// Closes the file and clears the data length and the converted length.
void CloseWavSource(WavSource& source);

// Progress of a conversion: bytes consumed, data length; setting `cancel`
// stops the conversion.
using WavProgressFn = std::function<void(std::uint64_t done, std::uint64_t total, bool& cancel)>;

// Converts the open source into a CD-format WAV file at source.targetName
// through the codec conversion layer, or with `sizeOnly` only computes
// source.convertedLength. `allowSuggest` lets a source that cannot be
// converted to CD format directly be converted to the PCM format the layer
// suggests. The progress callback is called before every block; without one,
// `pump` (when given) processes pending events instead. On success the
// source is reopened on the new file with accept-any-PCM equal to
// `allowSuggest`, and the result is whether that gave kWavAccepted. On failure
// or cancel the partial target is deleted and the source stays as it was.
bool ConvertWavToCdFormat(WavSource& source, bool sizeOnly, bool allowSuggest, const WavProgressFn& progress,
                          IEventPump* pump = nullptr);

}  // namespace sv
