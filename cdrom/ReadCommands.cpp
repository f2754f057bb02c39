#include "cdrom/ReadCommands.h"

#include "base/Bytes.h"
#include "base/Msf.h"

namespace sv {

namespace {

struct ReadShape {
    std::uint8_t opcode;
    int length;
    std::uint8_t byte1;
    int countAt;  // 7 (bytes 7..8) or 8 (bytes 8..9)
    int byte9;    // -1: not set
};

constexpr std::array<ReadShape, kReadCommandCount> kShapes = {{
    {0xBE, 12, 0x04, 7, 0x10},  // READ CD, CD-DA sectors, user data
    {0xD4, 10, 0x00, 7, -1},    // NEC
    {0xD4, 12, 0x00, 8, -1},
    {0xD5, 10, 0x00, 7, -1},
    {0xA8, 12, 0x00, 8, -1},    // READ(12)
    {0xD8, 12, 0x00, 8, -1},    // Sony
    {0x28, 10, 0x00, 7, -1},    // READ(10)
    {0xBE, 12, 0x00, 7, 0xF8},  // READ CD, any type, sync + headers + user data + EDC/ECC
    {0xBE, 12, 0x00, 7, 0x10},  // READ CD, any type, user data
}};

}  // namespace

std::optional<Cdb> ReadCdb(int command, std::int32_t lba, int count) {
    if (command < 0 || command >= kReadCommandCount) return std::nullopt;
    const ReadShape& s = kShapes[static_cast<std::size_t>(command)];
    Cdb c;
    c.length = s.length;
    c.direction = ScsiDirection::In;
    c.dataLength = static_cast<std::uint32_t>(count < 0 ? 0 : count) * kSectorBytes;
    c[0] = s.opcode;
    c[1] = s.byte1;
    StoreBE32(&c[2], static_cast<std::uint32_t>(lba));
    StoreBE16(&c[s.countAt], static_cast<std::uint16_t>(count));
    if (s.byte9 >= 0) c[9] = static_cast<std::uint8_t>(s.byte9);
    return c;
}

std::optional<int> IdentifyReadCdb(const std::uint8_t* cdb, int cdbLength) {
    for (int i = 0; i < kReadCommandCount; ++i) {
        const ReadShape& s = kShapes[static_cast<std::size_t>(i)];
        if (cdb[0] != s.opcode || cdbLength != s.length || cdb[1] != s.byte1) continue;
        if (s.byte9 >= 0 && cdb[9] != s.byte9) continue;
        return i;
    }
    return std::nullopt;
}

void DecodeReadCdb(int command, const std::uint8_t* cdb, std::int32_t& lba, int& count) {
    const ReadShape& s = kShapes[static_cast<std::size_t>(command < 0 || command >= kReadCommandCount ? 0 : command)];
    lba = static_cast<std::int32_t>(LoadBE32(cdb + 2));
    count = LoadBE16(cdb + s.countAt);
}

}  // namespace sv
