// CUE sheets: the text is parsed against a folder that holds one BINARY and
// one WAVE image file; every sector of the resulting image is then read.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cdrom/CueSheet.h"

namespace {

std::string MakeImages() {
    // Two sectors of a BINARY file and three of a CD-format WAVE file.
    svfuzz::WriteTempFile("disc.bin", std::string(2 * 2352, '\x11'));
    std::string wav = std::string("RIFF") + std::string("\x2C\x1B\0\0", 4) + "WAVEfmt " + std::string("\x10\0\0\0", 4) +
                      std::string("\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 16) + "data" +
                      std::string("\x90\x1B\0\0", 4) + std::string(3 * 2352, '\x22');
    svfuzz::WriteTempFile("disc.wav", wav);
    return svfuzz::TempFolder();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = MakeImages();
    std::string error;
    const auto image = sv::ParseCueSheet(std::string(svfuzz::AsText(data, size)), folder, error);
    if (!image) return 0;
    std::uint8_t sector[2352];
    // A bounded walk around each track start and the lead-out: sheets may
    // place tracks anywhere in the address range.
    std::vector<std::int64_t> marks{image->Leadout()};
    for (const auto& t : image->Tracks()) marks.insert(marks.end(), {t.startLba, t.index0Lba});
    for (const std::int64_t mark : marks) {
        for (std::int64_t lba = mark - 2; lba <= mark + 2; ++lba) {
            if (lba < INT32_MIN || lba > INT32_MAX) continue;
            const auto at = static_cast<std::int32_t>(lba);
            image->TrackIndexAt(at);
            if (image->Addressable(at)) image->ReadSector(at, sector);
        }
    }
    image->Sessions();
    return 0;
}
