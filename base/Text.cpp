#include "base/Text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace sv {
namespace {

// Windows-1251 code points for bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char32_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

namespace {

// Length of the well-formed UTF-8 sequence starting at s[i], or 0.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return 1;
    std::size_t len;
    char32_t min;
    char32_t cp;
    if ((b0 & 0xE0) == 0xC0) { len = 2; min = 0x80; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; min = 0x800; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; min = 0x10000; cp = b0 & 0x07; }
    else return 0;
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = SequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string Cp1251ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) out.push_back(c);
        else if (b < 0xC0) AppendUtf8(out, kCp1251High[b - 0x80]);
        else AppendUtf8(out, 0x0410 + (b - 0xC0));
    }
    return out;
}

std::string ToUtf8Lenient(std::string_view s) {
    if (IsValidUtf8(s)) return std::string(s);
    return Cp1251ToUtf8(s);
}

std::string Utf8ToCp1251(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = SequenceLength(s, i);
        if (n == 0) { out.push_back('?'); ++i; continue; }
        char32_t cp = static_cast<unsigned char>(s[i]);
        if (n > 1) {
            cp &= (0xFF >> (n + 1));
            for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        i += n;
        if (cp < 0x80) { out.push_back(static_cast<char>(cp)); continue; }
        if (cp >= 0x0410 && cp <= 0x044F) { out.push_back(static_cast<char>(0xC0 + (cp - 0x0410))); continue; }
        auto it = std::find(kCp1251High.begin(), kCp1251High.end(), cp);
        out.push_back(it == kCp1251High.end() ? '?' : static_cast<char>(0x80 + (it - kCp1251High.begin())));
    }
    return out;
}

std::string_view CutUtf8(std::string_view s, std::size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    std::size_t end = 0;
    while (end < s.size()) {
        std::size_t n = SequenceLength(s, end);
        if (n == 0) n = 1;  // a stray byte stands for itself
        if (end + n > maxBytes) break;
        end += n;
    }
    return s.substr(0, end);
}

std::string_view CutUtf8Chars(std::string_view s, std::size_t maxChars) {
    std::size_t end = 0;
    for (std::size_t count = 0; end < s.size() && count < maxChars; ++count) {
        std::size_t n = SequenceLength(s, end);
        end += n == 0 ? 1 : n;
    }
    return s.substr(0, end);
}

std::size_t Utf8Length(std::string_view s) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++count) {
        std::size_t n = SequenceLength(s, i);
        i += n == 0 ? 1 : n;
    }
    return count;
}

std::string ReadFixedText(const std::uint8_t* field, std::size_t width) {
    const auto* begin = reinterpret_cast<const char*>(field);
    const void* nul = std::memchr(begin, 0, width);
    const std::size_t len = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin) : width;
    return ToUtf8Lenient(std::string_view(begin, len));
}

void WriteFixedText(std::uint8_t* field, std::size_t width, std::string_view text) {
    if (width == 0) return;
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    const std::string_view cut = CutUtf8(text, width - 1);
    std::memcpy(field, cut.data(), cut.size());
    std::memset(field + cut.size(), 0, width - cut.size());
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string Trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool ParseDecimal(std::string_view s, int& value, std::size_t maxDigits) {
    if (s.empty() || s.size() > std::min<std::size_t>(maxDigits, 9)) return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace sv
