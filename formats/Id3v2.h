// ID3v2.3 tags written at the head of MP3 and codec output files.
//
// The tag holds twelve frames in a fixed order (TIT2, COMM, TPE1, TALB, TRCK,
// TCOP, TOPE, TCOM, TCON, TYER, TENC, WXXX), every one written even when its
// text is empty, then 8192 bytes of padding; the header's size is syncsafe.
// Text that ISO-8859-1 can hold is written in it (encoding byte 0); any other
// text is written as UTF-16 with a byte-order mark (encoding byte 1), so that
// players show Cyrillic, Japanese and other titles correctly. The URL of
// WXXX is always ISO-8859-1; characters beyond it are percent-encoded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/TagRecord.h"

namespace sv {

inline constexpr std::size_t kId3v2Padding = 8192;

// The tag of a 1489-byte tag record; empty when `record` is null or its
// present flag is 0.
std::vector<std::uint8_t> BuildId3v2Tag(const std::uint8_t* record);

// Writes the tag at the stream's current position and leaves the stream
// where the audio must begin. Does nothing (and succeeds) for a null record
// or one whose present flag is 0. False on a write or seek error.
bool WriteId3v2Tag(const std::uint8_t* record, std::FILE* stream);

inline bool WriteId3v2Tag(const TagRecord* record, std::FILE* stream) {
    return WriteId3v2Tag(record ? record->Data() : nullptr, stream);
}
inline bool WriteId3v2Tag(const TagRecordRef& record, std::FILE* stream) {
    return WriteId3v2Tag(record.Data(), stream);
}

}  // namespace sv
