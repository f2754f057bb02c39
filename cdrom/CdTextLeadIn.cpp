#include "cdrom/CdTextLeadIn.h"

#include <algorithm>

#include "cdrom/CdText.h"

namespace sv {

std::vector<std::uint8_t> CdTextToSymbols(std::span<const std::uint8_t> packs) {
    const std::size_t n = packs.size() / kCdTextPackBytes * kCdTextPackBytes;
    std::vector<std::uint8_t> out;
    out.reserve(n / 3 * 4);
    for (std::size_t i = 0; i + 3 <= n; i += 3) {
        const std::uint32_t v = (static_cast<std::uint32_t>(packs[i]) << 16) | (packs[i + 1] << 8) | packs[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out.push_back(static_cast<std::uint8_t>((v >> shift) & 0x3F));
    }
    return out;
}

std::vector<std::uint8_t> CdTextFromSymbols(std::span<const std::uint8_t> symbols) {
    const std::size_t n = symbols.size() / kCdTextSymbolPackBytes * kCdTextSymbolPackBytes;
    std::vector<std::uint8_t> out;
    out.reserve(n / 4 * 3);
    for (std::size_t i = 0; i + 4 <= n; i += 4) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) v = (v << 6) | (symbols[i + k] & 0x3Fu);
        out.insert(out.end(), {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v)});
    }
    return out;
}

std::vector<std::uint8_t> OneCdTextRound(std::span<const std::uint8_t> packs) {
    const std::size_t n = packs.size() / kCdTextPackBytes * kCdTextPackBytes;
    std::size_t end = n;
    for (std::size_t at = kCdTextPackBytes; at < n; at += kCdTextPackBytes) {
        if (std::equal(packs.begin(), packs.begin() + kCdTextPackBytes, packs.begin() + static_cast<std::ptrdiff_t>(at))) {
            end = at;
            break;
        }
    }
    return {packs.begin(), packs.begin() + static_cast<std::ptrdiff_t>(end)};
}

}  // namespace sv
