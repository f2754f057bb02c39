// The sound track of an AVI file, taken out unchanged: the bytes of the first
// audio stream's chunks go into an ".mp3" file when the stream is MPEG
// Layer-3 (format tag 0x55), otherwise into a ".wav" file whose format record
// is the stream's own (tag, channels, rate, average bytes per second, block
// align, bits per sample and codec bytes), so that a compressed track stays
// compressed. Nothing is decoded.
//
// The output is written under a temporary name beside the target and takes
// the target's name (replacing a file of that name) only when it is complete;
// on failure or cancel nothing is left behind and an existing file of that
// name is untouched.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "formats/WaveFormat.h"

namespace sv {

enum class AviAudioCode {
    kDone,         // the sound track is in `path`
    kCannotRead,   // the file cannot be opened or read as AVI
    kNoSound,      // the file has no audio stream, or one without any data
    kWriteFailed,  // the output could not be created or written (disk full)
    kCancelled,    // the progress callback asked to stop
};

struct AviAudioResult {
    AviAudioCode code = AviAudioCode::kCannotRead;
    std::string path;        // the file written (target + ".mp3" or ".wav"), on kDone
    WAVEFORMATEX format;     // the stream's format record, once found
    std::uint64_t dataBytes = 0;  // sound bytes written
};

// Progress: bytes of the AVI file read so far of its size; setting `cancel`
// stops the extraction.
using AviProgressFn = std::function<void(std::uint64_t done, std::uint64_t total, bool& cancel)>;

// Extracts the sound track of `aviPath` to `targetWithoutExtension` plus
// ".mp3" or ".wav". The progress callback (may be empty) is called after
// every chunk.
AviAudioResult ExtractAviAudio(const std::string& aviPath, const std::string& targetWithoutExtension,
                               const AviProgressFn& progress);

}  // namespace sv
