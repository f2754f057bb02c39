// CD-TEXT replies (READ TOC format 5): read for a whole disc and for a few
// tracks from track 5; what was read is encoded into packs again and read back.
#include <cstdint>

#include "FuzzSupport.h"
#include "cdrom/CdText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> reply(data, size);
    sv::ParseCdText(reply, 5, 3);
    const auto text = sv::ParseCdText(reply, 1, 99);
    if (!text) return 0;
    auto packs = sv::EncodeCdTextPacks(*text, 1, 99);
    packs.insert(packs.begin(), {static_cast<std::uint8_t>((packs.size() + 2) >> 8),
                                 static_cast<std::uint8_t>(packs.size() + 2), 0, 0});
    sv::ParseCdText(packs, 1, 99);
    return 0;
}
