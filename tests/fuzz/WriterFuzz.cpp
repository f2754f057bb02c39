// The virtual writer: the input is a run of commands, each a record of
//   byte 0: bits 0-4 the command block's length, bit 7 data goes to the drive;
//   the command block; 3 bytes (big-endian) the data length; for data to the
//   drive, as many of the following bytes as there are (the rest zero).
// They go to one writer with a small rewritable disc, so that mode pages, cue
// sheets, writes, closes and blanking meet whatever order and bytes come. The
// first line is also read as a virtual drive list line, and the whole input as
// a cue sheet.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cdrom/VirtualWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = svfuzz::TempFolder() + "/burns";
    const std::string text(svfuzz::AsText(data, size));
    std::string error;
    sv::ParseWriterLine(text.substr(0, text.find('\n')), error);
    sv::ParseSaoCueSheet(data, size, error);

    sv::ManualClock clock;
    sv::WritableMedium medium;
    medium.rewritable = true;
    medium.capacity = 3000;  // a burn's image stays small
    sv::VirtualWriter writer(medium, folder, clock);
    std::size_t at = 0;
    for (int commands = 0; commands < 64 && at < size; ++commands) {
        const int cdbLength = data[at] & 0x1F;
        const bool out = (data[at] & 0x80) != 0;
        ++at;
        if (size - at < static_cast<std::size_t>(cdbLength) + 3) break;
        const std::vector<std::uint8_t> cdb(data + at, data + at + cdbLength);
        at += static_cast<std::size_t>(cdbLength);
        const std::uint32_t length =
            std::min<std::uint32_t>(static_cast<std::uint32_t>(data[at]) << 16 | data[at + 1] << 8 | data[at + 2], 1u << 20);
        at += 3;
        std::vector<std::uint8_t> buffer(length);
        if (out) {
            if (size - at < 2) break;
            const std::size_t given = static_cast<std::size_t>(data[at] << 8 | data[at + 1]);
            at += 2;
            const std::size_t n = std::min<std::size_t>({given, length, size - at});
            std::copy(data + at, data + at + n, buffer.begin());
            at += given < size - at ? given : size - at;
        }
        sv::SenseData sense{};
        writer.Execute(cdb.data(), cdbLength, buffer.empty() ? nullptr : buffer.data(), length,
                       out ? sv::ScsiDirection::Out : sv::ScsiDirection::In, sense);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
