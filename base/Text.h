// Text handling shared by every record, file and reply the program reads.
//
// The program's text is UTF-8 throughout. Files and records written by the
// Windows-era program are in Windows-1251; anything that is not valid UTF-8 is
// read as that code page. Fixed-width fields are cut at a character boundary,
// never inside a UTF-8 sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sv {

// True when `s` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view s);

// Appends code point `cp` to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Decodes Windows-1251 bytes into UTF-8.
std::string Cp1251ToUtf8(std::string_view s);

// Returns `s` when it is valid UTF-8, otherwise its Windows-1251 reading.
std::string ToUtf8Lenient(std::string_view s);

// Encodes UTF-8 text into Windows-1251; characters the code page lacks become '?'.
std::string Utf8ToCp1251(std::string_view s);

// The longest prefix of `s` that is at most `maxBytes` long and does not end
// inside a UTF-8 sequence.
std::string_view CutUtf8(std::string_view s, std::size_t maxBytes);

// The first `maxChars` code points of `s` (all of it when shorter).
std::string_view CutUtf8Chars(std::string_view s, std::size_t maxChars);

// Number of code points in valid UTF-8 text (invalid bytes count one each).
std::size_t Utf8Length(std::string_view s);

// Reads a NUL-terminated text field of `width` bytes. A field without a
// terminator yields all `width` bytes; the result is UTF-8 (cp1251 fallback).
std::string ReadFixedText(const std::uint8_t* field, std::size_t width);

// Writes `text` into a field of `width` bytes: at most width-1 bytes cut at a
// character boundary, then a terminator, the rest of the field zeroed.
// Nothing is ever written outside the field.
void WriteFixedText(std::uint8_t* field, std::size_t width, std::string_view text);

// ASCII-only helpers for protocol and file-name work.
std::string AsciiLower(std::string_view s);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
std::string Trim(std::string_view s);
// Reads a decimal number of 1 to `maxDigits` digits and nothing else.
bool ParseDecimal(std::string_view s, int& value, std::size_t maxDigits = 9);
// Replaces every `from` in `text` by `to`.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

}  // namespace sv
