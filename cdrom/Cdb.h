// A command block ready to send: its bytes, length, data direction and the
// number of data bytes that travel with it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "cdrom/ScsiDevice.h"

namespace sv {

struct Cdb {
    std::array<std::uint8_t, 16> bytes{};
    int length = 6;
    ScsiDirection direction = ScsiDirection::Unspecified;
    std::uint32_t dataLength = 0;

    std::span<const std::uint8_t> Bytes() const { return std::span<const std::uint8_t>(bytes.data(), length); }
    std::uint8_t& operator[](int i) { return bytes[static_cast<std::size_t>(i)]; }
    std::uint8_t operator[](int i) const { return bytes[static_cast<std::size_t>(i)]; }
};

// A block of `length` bytes starting with `opcode`, the rest zero.
inline Cdb MakeCdb(std::uint8_t opcode, int length, ScsiDirection direction, std::uint32_t dataLength) {
    Cdb c;
    c[0] = opcode;
    c.length = length;
    c.direction = direction;
    c.dataLength = dataLength;
    return c;
}

}  // namespace sv
