// SHA-1 (FIPS 180-4) of a byte string, for the MusicBrainz disc identifier.
// The identifier only needs a fingerprint of its table of contents; nothing
// here is meant for security.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace sv {

using Sha1Digest = std::array<std::uint8_t, 20>;

Sha1Digest Sha1(std::string_view bytes);

}  // namespace sv
