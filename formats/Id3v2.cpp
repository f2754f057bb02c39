#include "formats/Id3v2.h"

#include <cstring>
#include <string>
#include <string_view>

#include "base/Bytes.h"
#include "base/Text.h"

namespace sv {
namespace {

// Code points of UTF-8 text; an invalid byte stands for itself (Latin-1).
std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (len > 1 && i + len <= s.size() && IsValidUtf8(s.substr(i, len))) {
            char32_t cp = b & (0x7F >> len);
            for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            out.push_back(cp);
            i += len;
        } else {
            out.push_back(b);
            ++i;
        }
    }
    return out;
}

bool IsLatin1(const std::u32string& text) {
    for (char32_t c : text)
        if (c > 0xFF) return false;
    return true;
}

void AppendLatin1(std::vector<std::uint8_t>& out, const std::u32string& text) {
    for (char32_t c : text) out.push_back(static_cast<std::uint8_t>(c));
}

// UTF-16 little-endian with its byte-order mark, no terminator.
void AppendUtf16(std::vector<std::uint8_t>& out, const std::u32string& text) {
    out.push_back(0xFF);
    out.push_back(0xFE);
    auto unit = [&out](std::uint32_t u) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    for (char32_t c : text) {
        if (c >= 0x10000) {
            const std::uint32_t v = c - 0x10000;
            unit(0xD800 + (v >> 10));
            unit(0xDC00 + (v & 0x3FF));
        } else {
            unit(c);
        }
    }
}

void AppendFrame(std::vector<std::uint8_t>& out, const char* id, std::uint8_t flags0,
                 const std::vector<std::uint8_t>& payload) {
    const std::size_t at = out.size();
    out.resize(at + 10);
    std::memcpy(out.data() + at, id, 4);
    StoreBE32(out.data() + at + 4, static_cast<std::uint32_t>(payload.size()));
    out[at + 8] = flags0;
    out[at + 9] = 0;
    out.insert(out.end(), payload.begin(), payload.end());
}

std::vector<std::uint8_t> TextPayload(const std::u32string& text) {
    std::vector<std::uint8_t> p;
    if (IsLatin1(text)) {
        p.push_back(0);
        AppendLatin1(p, text);
    } else {
        p.push_back(1);
        AppendUtf16(p, text);
    }
    return p;
}

std::vector<std::uint8_t> CommentPayload(const std::u32string& text) {
    std::vector<std::uint8_t> p;
    const bool latin = IsLatin1(text);
    p.push_back(latin ? 0 : 1);
    p.insert(p.end(), {0, 0, 0});  // language
    if (latin) {
        p.push_back(0);  // empty description
        AppendLatin1(p, text);
    } else {
        AppendUtf16(p, {});
        p.insert(p.end(), {0, 0});
        AppendUtf16(p, text);
    }
    return p;
}

std::vector<std::uint8_t> UrlPayload(std::string_view utf8) {
    std::vector<std::uint8_t> p{0, 0};  // encoding 0, empty description
    const std::u32string url = DecodeUtf8(utf8);
    if (IsLatin1(url)) {
        AppendLatin1(p, url);
    } else {
        static const char* hex = "0123456789ABCDEF";
        for (char ch : utf8) {
            const auto b = static_cast<unsigned char>(ch);
            if (b < 0x80) {
                p.push_back(b);
            } else {
                p.push_back('%');
                p.push_back(static_cast<std::uint8_t>(hex[b >> 4]));
                p.push_back(static_cast<std::uint8_t>(hex[b & 15]));
            }
        }
    }
    return p;
}

std::u32string Field(const std::uint8_t* record, std::size_t offset, std::size_t width) {
    return DecodeUtf8(ReadFixedText(record + offset, width));
}

}  // namespace

std::vector<std::uint8_t> BuildId3v2Tag(const std::uint8_t* r) {
    std::vector<std::uint8_t> tag;
    if (!r || r[0] == 0) return tag;
    using T = TagRecord;
    tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    AppendFrame(tag, "TIT2", 0, TextPayload(Field(r, T::kTitle, T::kTitleSize)));
    AppendFrame(tag, "COMM", 0, CommentPayload(Field(r, T::kComment, T::kCommentSize)));
    AppendFrame(tag, "TPE1", 0, TextPayload(Field(r, T::kArtist, T::kArtistSize)));
    AppendFrame(tag, "TALB", 0, TextPayload(Field(r, T::kAlbum, T::kAlbumSize)));
    AppendFrame(tag, "TRCK", 0, TextPayload(Field(r, T::kTrackNumber, T::kTrackNumberSize)));
    AppendFrame(tag, "TCOP", 0, TextPayload(Field(r, T::kCopyright, T::kCopyrightSize)));
    AppendFrame(tag, "TOPE", 0, TextPayload(Field(r, T::kOriginalArtist, T::kOriginalArtistSize)));
    AppendFrame(tag, "TCOM", 0, TextPayload(Field(r, T::kComposer, T::kComposerSize)));
    AppendFrame(tag, "TCON", 0, TextPayload(Field(r, T::kGenre, T::kGenreSize)));
    AppendFrame(tag, "TYER", 0, TextPayload(Field(r, T::kYear, T::kYearSize)));
    // Encoded-by: discard the frame when the file is altered.
    AppendFrame(tag, "TENC", 0x40, TextPayload(Field(r, T::kEncodedBy, T::kEncodedBySize)));
    AppendFrame(tag, "WXXX", 0, UrlPayload(ReadFixedText(r + T::kUrl, T::kUrlSize)));
    tag.resize(tag.size() + kId3v2Padding, 0);
    const auto size = static_cast<std::uint32_t>(tag.size() - 10);
    tag[6] = static_cast<std::uint8_t>((size >> 21) & 0x7F);
    tag[7] = static_cast<std::uint8_t>((size >> 14) & 0x7F);
    tag[8] = static_cast<std::uint8_t>((size >> 7) & 0x7F);
    tag[9] = static_cast<std::uint8_t>(size & 0x7F);
    return tag;
}

bool WriteId3v2Tag(const std::uint8_t* record, std::FILE* stream) {
    if (!record || record[0] == 0) return true;
    if (!stream) return false;
    const std::vector<std::uint8_t> tag = BuildId3v2Tag(record);
    // The whole tag is written in one piece, so the stream ends up exactly
    // where the audio begins.
    return std::fwrite(tag.data(), 1, tag.size(), stream) == tag.size();
}

}  // namespace sv
