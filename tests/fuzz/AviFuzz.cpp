// AVI files as the sound-track extraction meets them: FFmpeg's avi demuxer,
// the audio stream's format record, and the track written to the temp folder
// as an .mp3 or a WAV file.
#include <cstdio>
#include <cstdlib>

#include "FuzzSupport.h"
#include "decoders/AviAudio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = svfuzz::WriteTempFile("input.avi", svfuzz::AsText(data, size));
    const sv::AviAudioResult result = sv::ExtractAviAudio(
        path, svfuzz::TempFolder() + "track", [](std::uint64_t done, std::uint64_t total, bool&) {
            if (done > total) std::abort();  // progress never passes its total
        });
    if (result.code == sv::AviAudioCode::kDone) std::remove(result.path.c_str());
    return 0;
}
