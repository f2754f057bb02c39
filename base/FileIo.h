// Whole-file reads with a size limit and file replacement that never leaves a
// half-written file behind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sv {

// Reads the whole file; false when it cannot be opened or is larger than
// `maxBytes`.
bool ReadWholeFile(const std::string& path, std::uintmax_t maxBytes, std::string& out);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`; on any failure the previous file stays as it was.
bool ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace sv
