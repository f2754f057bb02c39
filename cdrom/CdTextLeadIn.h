// CD-TEXT as a disc-at-once burn carries it in the lead-in's R-W
// sub-channel: every 3 bytes of the packs become four 6-bit symbols (the top
// two bits of each byte clear), so an 18-byte pack takes 24 bytes and one
// lead-in sector's 96 sub-channel bytes hold four packs. The host sends the
// packs over and over until the lead-in is full.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sv {

inline constexpr int kCdTextSymbolPackBytes = 24;  // one pack in 6-bit symbols
inline constexpr int kLeadInSubchannelBytes = 96;   // R-W bytes of one lead-in sector

// The 6-bit form of `packs` (whole 18-byte packs; a trailing part is left out).
std::vector<std::uint8_t> CdTextToSymbols(std::span<const std::uint8_t> packs);
// The packs of 6-bit symbols (whole 24-byte groups; a trailing part is left
// out, the top two bits of every byte are ignored).
std::vector<std::uint8_t> CdTextFromSymbols(std::span<const std::uint8_t> symbols);
// One round of packs that are repeated over and over: the packs before the
// first pack comes back, or all of them when it never does.
std::vector<std::uint8_t> OneCdTextRound(std::span<const std::uint8_t> packs);

}  // namespace sv
