// The nine read commands that return CD-DA sectors, one of which each drive is
// told to use (ReadCommand per drive in the settings).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "cdrom/Cdb.h"

namespace sv {

inline constexpr int kReadCommandCount = 9;
inline constexpr int kMaxSectorsPerRequest = 255;

// The names the settings dialog and the detection window show.
inline constexpr std::array<std::string_view, kReadCommandCount> kReadCommandNames = {
    "Standart MMC1 (IDE Device)", "READ NEC", "READ C1", "READ C2", "READ C3",
    "READ SONY", "READ 10", "READ MMC2", "READ MMC3"};

// The CDB of read command `command` for `count` sectors at `lba` (passed to the
// drive as is), with n x 2352 bytes in. No CDB for a command outside 0..8.
std::optional<Cdb> ReadCdb(int command, std::int32_t lba, int count);

// The read command a CDB is, by its exact shape; nothing for any other CDB.
// Lets a virtual drive answer only the commands its model knows.
std::optional<int> IdentifyReadCdb(const std::uint8_t* cdb, int cdbLength);

// LBA and sector count of a read CDB of command `command`.
void DecodeReadCdb(int command, const std::uint8_t* cdb, std::int32_t& lba, int& count);

}  // namespace sv
