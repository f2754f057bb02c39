#include "metadata/XmcdEntry.h"

#include <algorithm>

#include "base/Text.h"
#include "metadata/DiscId.h"

namespace sv {
namespace {

constexpr std::size_t kMaxKeyLength = 64;

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
            if (i > start) lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

// Removes control characters that have no place in a title (everything below
// 0x20 except line feed and tab, and DEL).
std::string StripControls(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && c != '\n' && c != '\t') || b == 0x7F) continue;
        out.push_back(c);
    }
    return out;
}

// Decodes one code point of well-formed UTF-8 at s[i]; advances i. A byte that
// does not start a well-formed sequence is returned as itself with the flag set.
char32_t NextCodePoint(std::string_view s, std::size_t& i, bool& raw) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    raw = false;
    std::size_t len = 0;
    char32_t cp = 0;
    if (b0 < 0x80) { ++i; return b0; }
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; }
    if (len == 0 || i + len > s.size()) { raw = true; ++i; return b0; }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) { raw = true; ++i; return b0; }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += len;
    return cp;
}

char32_t LowerCodePoint(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return c + 32;
    if ((c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177)) return (c % 2 == 0) ? c + 1 : c;
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x0178) return 0x00FF;
    if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 32;
    if (c >= 0x0410 && c <= 0x042F) return c + 32;
    if (c >= 0x0400 && c <= 0x040F) return c + 80;
    if ((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF)) return (c % 2 == 0) ? c + 1 : c;
    return c;
}

}  // namespace

XmcdEntry XmcdEntry::Parse(std::string_view text, bool dropFirstLine) {
    XmcdEntry entry;
    std::vector<std::string_view> lines = SplitLines(text);
    if (dropFirstLine && !lines.empty()) lines.erase(lines.begin());
    auto& index = entry.index_;
    for (std::string_view line : lines) {
        if (line == "#") continue;
        if (line.front() == '#') {
            if (line.find("xmcd") != std::string_view::npos) entry.xmcdSeen_ = true;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        if (key.empty() || key.size() > kMaxKeyLength) continue;
        const std::string_view value = line.substr(eq + 1);
        auto it = index.find(key);
        if (it == index.end()) {
            index.emplace(key, entry.fields_.size());
            entry.fields_.emplace_back(key, std::string(value));
        } else {
            entry.fields_[it->second].second.append(value);
        }
    }
    for (auto& field : entry.fields_) field.second = StripControls(DecodeXmcdEscapes(ToUtf8Lenient(field.second)));
    return entry;
}

const std::string* XmcdEntry::Value(std::string_view key) const {
    const auto it = index_.find(key);
    return it == index_.end() ? nullptr : &fields_[it->second].second;
}

DiscTitleParts SplitDiscTitle(std::string_view value) {
    DiscTitleParts parts;
    const std::size_t sep = value.find(" / ");
    if (sep != std::string_view::npos) {
        parts.artist = std::string(value.substr(0, sep));
        parts.album = std::string(value.substr(sep + 3));
        return parts;
    }
    const std::size_t slash = value.find('/');
    if (slash != std::string_view::npos) {
        std::string_view album = value.substr(slash + 1);
        if (!album.empty() && album.front() == ' ') album.remove_prefix(1);
        parts.album = std::string(album);
    }
    std::string_view rest = value;
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    std::string_view artist = rest.substr(0, rest.find('/'));
    if (!artist.empty() && artist.back() == ' ') artist.remove_suffix(1);
    parts.artist = std::string(artist);
    return parts;
}

std::string DecodeXmcdEscapes(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (next == 'n') { out.push_back('\n'); ++i; continue; }
            if (next == 't') { out.push_back('\t'); ++i; continue; }
            if (next == '\\') { out.push_back('\\'); ++i; continue; }
        }
        out.push_back(value[i]);
    }
    return out;
}

std::string EncodeXmcdEscapes(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c != '\r') out.push_back(c);
    }
    return out;
}

std::string FoldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        bool raw = false;
        const char32_t cp = NextCodePoint(utf8, i, raw);
        if (raw) out.push_back(static_cast<char>(cp));
        else AppendUtf8(out, LowerCodePoint(cp));
    }
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return FoldCase(a) == FoldCase(b); }

bool AddUniqueIgnoreCase(std::vector<std::string>& list, const std::string& name) {
    if (name.empty()) return false;
    const std::string folded = FoldCase(name);
    for (const auto& existing : list)
        if (FoldCase(existing) == folded) return false;
    list.push_back(name);
    return true;
}

bool DiscIdListNames(const std::string& value, std::uint32_t id) {
    std::string compact;
    for (char c : value)
        if (c != ' ') compact.push_back(c);
    return AsciiLower(compact).find(DiscIdLowerHex(id)) != std::string::npos;
}

XmcdApplyResult ApplyXmcdEntry(const XmcdEntry& entry, DISC_INFO& disc, int trackLimit, TagBlocks* tags) {
    XmcdApplyResult result;
    if (const std::string* id = entry.Value("DISCID")) {
        result.discIdPresent = true;
        result.discIdMatches = DiscIdListNames(*id, disc.DiscId());
    }
    if (const std::string* title = entry.Value("DTITLE")) {
        const DiscTitleParts parts = SplitDiscTitle(*title);
        if (!parts.album.empty()) disc.SetAlbum(parts.album);
        if (!parts.artist.empty()) {
            disc.SetArtist(parts.artist);
            result.titleSeen = true;
        }
    }
    if (const std::string* year = entry.Value("DYEAR")) {
        disc.SetYear(*year);
        result.yearSeen = true;
    }
    if (const std::string* genre = entry.Value("DGENRE")) {
        disc.SetGenre(*genre);
        result.genreSeen = true;
    }
    const int limit = std::clamp(trackLimit, 0, DISC_INFO::kMaxTracks);
    for (int k = 0; k < limit; ++k) {
        const std::string* title = entry.Value("TTITLE" + std::to_string(k));
        if (!title) continue;
        disc.Track(k).SetTitle(*title);
        ++result.tracksSet;
        if (tags) FillTrackTag(tags->Block(k), disc, k, *title, disc.Artist());
    }
    return result;
}

void FillTrackTag(TagRecordRef tag, const DISC_INFO& disc, int track, std::string_view title,
                  std::string_view artist) {
    tag.SetPresent(true);
    tag.SetTitle(title);
    tag.SetArtist(artist);
    tag.SetAlbum(disc.Album());
    tag.SetYear(disc.Year());
    tag.SetGenre(disc.Genre());
    tag.SetTrackNumber(std::to_string(disc.TrackNumber(track)));
    tag.SetOriginalArtist(artist);
}

}  // namespace sv
