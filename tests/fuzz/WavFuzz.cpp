// WAV files: the reader's header parse, raw reads, and the conversion to CD
// format through the codec layer (the size query and the real conversion,
// whose output goes to the temp folder).
#include <string>

#include "FuzzSupport.h"
#include "formats/WavFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = svfuzz::WriteTempFile("in.wav", svfuzz::AsText(data, size));
    sv::WavSource source;
    const int code = sv::OpenWavSource(source, path, false);
    if (!source.IsOpen()) return 0;
    if (code == sv::kWavAccepted) {
        char buffer[4096];
        while (sv::ReadWav(source, buffer, sizeof buffer) == sizeof buffer) {
        }
        return 0;
    }
    source.targetName = svfuzz::TempFolder() + "out.wav";
    if (sv::ConvertWavToCdFormat(source, true, true, nullptr)) sv::ConvertWavToCdFormat(source, false, true, nullptr);
    return 0;
}
