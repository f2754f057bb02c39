#include "cdrom/CdText.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/Bytes.h"
#include "base/Text.h"

namespace sv {

namespace {

constexpr int kKinds = 3;  // pack types 0x80 title, 0x81 performer, 0x82 songwriter
constexpr std::uint8_t kSizeInfo = 0x8F;
constexpr std::uint8_t kLatin1 = 0x00, kAscii = 0x01, kMsJis = 0x80;
constexpr std::size_t kMaxRawString = 2 * kCdTextMaxChars + 2;

// `in` converted between two iconv character sets; nothing when the set is
// missing or a character has no place in the target.
std::optional<std::string> Convert(const std::string& in, const char* to, const char* from) {
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) return std::nullopt;
    std::string out(in.size() * 4 + 8, '\0');
    char* src = const_cast<char*>(in.data());
    char* dst = out.data();
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    const std::size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || srcLeft != 0) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

// UTF-8 `in` in `charset` character by character: a character the set lacks
// becomes '?'. Counts the characters beyond ASCII that were kept and lost.
struct LossyText {
    std::string text;
    int kept = 0, lost = 0;
};
LossyText ConvertReplacing(const std::string& in, const char* charset) {
    LossyText out;
    for (std::size_t at = 0; at < in.size();) {
        const auto lead = static_cast<unsigned char>(in[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string one = in.substr(at, length);
        at += length;
        if (lead < 0x80) {
            out.text += one;
            continue;
        }
        if (const auto converted = Convert(one, charset, "UTF-8")) {
            out.text += *converted;
            ++out.kept;
        } else {
            out.text += '?';
            ++out.lost;
        }
    }
    return out;
}

std::string KeepAscii(const std::string& raw) {
    std::string out;
    for (const char c : raw)
        if (c >= 0x20 && c < 0x7F) out += c;
    return out;
}

std::string Decode(const std::string& raw, std::uint8_t code) {
    std::string out;
    if (code == kLatin1) {
        for (const char c : raw) {
            const auto b = static_cast<unsigned char>(c);
            if ((b >= 0x20 && b < 0x7F) || b >= 0xA0) AppendUtf8(out, b);
        }
    } else if (code == kMsJis) {
        out = Convert(raw, "UTF-8", "SHIFT_JIS").value_or(KeepAscii(raw));
    } else {
        out = KeepAscii(raw);
    }
    return std::string(CutUtf8Chars(out, kCdTextMaxChars));
}

// The string of `kind` for `track` (0: the disc's), or null outside the disc.
template <class Text>
auto* Slot(Text& text, int kind, int track, int firstTrack) {
    if (track == 0) return kind == 0 ? &text.album : kind == 1 ? &text.performer : &text.songwriter;
    auto& list = kind == 0 ? text.titles : kind == 1 ? text.performers : text.songwriters;
    const int index = track - firstTrack;
    return index >= 0 && index < static_cast<int>(list.size()) ? &list[static_cast<std::size_t>(index)]
                                                               : static_cast<decltype(&list[0])>(nullptr);
}

// UTF-8 with every character that is not ASCII as '?'.
std::string AsciiReplacing(const std::string& utf8) {
    std::string out;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) out += c;
        else if (b >= 0xC0) out += '?';  // a sequence's first byte
    }
    return out;
}

}  // namespace

bool CdText::Empty() const {
    auto blank = [](const std::vector<std::string>& v) {
        return std::all_of(v.begin(), v.end(), [](const std::string& s) { return s.empty(); });
    };
    return album.empty() && performer.empty() && songwriter.empty() && blank(titles) && blank(performers) &&
           blank(songwriters);
}

std::uint16_t CdTextCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ (b << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<std::uint16_t>(~crc);
}

std::optional<CdText> ParseCdText(std::span<const std::uint8_t> reply, int firstTrack, int trackCount) {
    if (firstTrack < 1 || trackCount < 1 || firstTrack + trackCount - 1 > 99 || reply.size() < kCdTextHeaderBytes)
        return std::nullopt;
    const std::size_t length = std::min<std::size_t>(reply.size(), 2 + LoadBE16(reply.data()));
    std::vector<const std::uint8_t*> packs;  // block 0, sound CRC
    for (std::size_t at = kCdTextHeaderBytes; at + kCdTextPackBytes <= length; at += kCdTextPackBytes) {
        const std::uint8_t* p = reply.data() + at;
        if (p[0] < 0x80 || p[0] > kSizeInfo || (p[1] & 0x80) || (p[3] & 0x70) != 0) continue;
        if (CdTextCrc({p, 16}) == LoadBE16(p + 16)) packs.push_back(p);
    }
    std::uint8_t code = kLatin1;
    const auto size = std::find_if(packs.begin(), packs.end(), [](const std::uint8_t* p) { return p[0] == kSizeInfo && p[1] == 0; });
    if (size != packs.end()) code = (*size)[4];
    else if (!packs.empty() && (packs.front()[3] & 0x80)) code = kMsJis;
    const std::size_t unit = code == kMsJis ? 2 : 1;

    CdText text;
    for (auto* list : {&text.titles, &text.performers, &text.songwriters})
        list->resize(static_cast<std::size_t>(trackCount));
    bool any = false;
    for (int kind = 0; kind < kKinds; ++kind) {
        int track = 0, lastSequence = -2;
        bool skipping = true;  // inside a string whose start was lost
        std::string raw;
        for (const std::uint8_t* p : packs) {
            if (p[0] != 0x80 + kind) continue;
            // A pack that does not follow the one before it (a pack was lost)
            // starts over from its own track number and character position.
            if (p[2] != lastSequence + 1) {
                track = p[1];
                skipping = (p[3] & 0x0F) != 0;
                raw.clear();
            }
            lastSequence = p[2];
            for (std::size_t i = 4; i + unit <= 16; i += unit) {
                const bool ends = p[i] == 0 || (unit == 2 && p[i + 1] == 0);
                if (!skipping && raw.size() + unit <= kMaxRawString)
                    raw.append(reinterpret_cast<const char*>(p + i), ends ? (p[i] == 0 ? 0 : 1) : unit);
                if (!ends) continue;
                if (!skipping && track <= 99) {
                    if (std::string* slot = Slot(text, kind, track, firstTrack)) {
                        if (raw == "\t" || raw == "\t\t") {  // the same as the track before
                            const std::string* before = Slot(text, kind, track == firstTrack ? 0 : track - 1, firstTrack);
                            *slot = before ? *before : std::string();
                        } else {
                            *slot = Decode(raw, code);
                        }
                        any = any || !slot->empty();
                    }
                }
                skipping = false;
                raw.clear();
                ++track;
            }
        }
    }
    if (!any) return std::nullopt;
    return text;
}

std::vector<std::uint8_t> EncodeCdTextPacks(const CdText& text, int firstTrack, int trackCount) {
    if (text.Empty() || firstTrack < 1 || trackCount < 1 || firstTrack + trackCount - 1 > 99) return {};
    // Per kind: the disc's string, then one per track.
    std::array<std::vector<std::string>, kKinds> fields;
    for (int kind = 0; kind < kKinds; ++kind)
        for (int track = 0; track <= trackCount; ++track) {
            const std::string* s = Slot(text, kind, track == 0 ? 0 : firstTrack + track - 1, firstTrack);
            fields[static_cast<std::size_t>(kind)].emplace_back(s ? CutUtf8Chars(*s, kCdTextMaxChars) : "");
        }
    auto convertAll = [&fields](const char* charset) {
        auto out = fields;
        for (auto& list : out)
            for (std::string& s : list) {
                const auto converted = Convert(s, charset, "UTF-8");
                if (!converted) return std::optional<decltype(fields)>();
                s = *converted;
            }
        return std::optional(out);
    };
    std::uint8_t code = kLatin1;
    auto encoded = convertAll("ISO-8859-1");
    if (!encoded && (encoded = convertAll("SHIFT_JIS"))) code = kMsJis;
    if (!encoded) {
        // Neither set holds every character (accented Latin beside Cyrillic,
        // say): the one that keeps more, the others as '?'.
        auto lossy = [&fields](const char* charset, int& kept, int& lost) {
            auto out = fields;
            for (auto& list : out)
                for (std::string& s : list) {
                    LossyText t = ConvertReplacing(s, charset);
                    kept += t.kept;
                    lost += t.lost;
                    s = std::move(t.text);
                }
            return out;
        };
        int latinKept = 0, latinLost = 0, jisKept = 0, jisLost = 0;
        auto latin = lossy("ISO-8859-1", latinKept, latinLost);
        auto jis = lossy("SHIFT_JIS", jisKept, jisLost);
        if (jisKept > 0 && jisLost < latinLost) {
            code = kMsJis;
            encoded = std::move(jis);
        } else if (latinKept > 0) {
            encoded = std::move(latin);
        }
    }
    if (!encoded) {
        code = kAscii;
        encoded = fields;
        for (auto& list : *encoded)
            for (std::string& s : list) s = AsciiReplacing(s);
    }
    const bool doubleByte = code == kMsJis;

    std::vector<std::uint8_t> out;
    std::array<int, 16> counts{};
    int sequence = 0;
    auto addPack = [&](std::uint8_t type, std::uint8_t track, std::uint8_t position, const std::uint8_t* text12) {
        std::uint8_t p[kCdTextPackBytes] = {type, track, static_cast<std::uint8_t>(sequence++), position};
        std::copy_n(text12, 12, p + 4);
        StoreBE16(p + 16, CdTextCrc({p, 16}));
        out.insert(out.end(), p, p + kCdTextPackBytes);
        ++counts[type & 0x0F];
    };
    for (int kind = 0; kind < kKinds; ++kind) {
        const auto& list = (*encoded)[static_cast<std::size_t>(kind)];
        if (std::all_of(list.begin(), list.end(), [](const std::string& s) { return s.empty(); })) continue;
        // The kind's byte stream, with the track and character position of
        // every byte. Double-byte strings end in two NULs, or in one after an
        // odd number of bytes (Shift-JIS keeps ASCII in single bytes).
        std::string bytes;
        std::vector<std::pair<std::uint8_t, std::size_t>> where;
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::string s = list[i];
            s.append(doubleByte && s.size() % 2 == 1 ? 1 : (doubleByte ? 2 : 1), '\0');
            const auto track = static_cast<std::uint8_t>(i == 0 ? 0 : firstTrack + static_cast<int>(i) - 1);
            for (std::size_t k = 0; k < s.size(); ++k) where.emplace_back(track, doubleByte ? k / 2 : k);
            bytes += s;
        }
        bytes.resize((bytes.size() + 11) / 12 * 12, '\0');
        for (std::size_t at = 0; at < bytes.size() && sequence < kCdTextMaxPacks - 3; at += 12) {
            const auto position = static_cast<std::uint8_t>((doubleByte ? 0x80 : 0) | std::min<std::size_t>(where[at].second, 15));
            addPack(static_cast<std::uint8_t>(0x80 + kind), where[at].first, position,
                    reinterpret_cast<const std::uint8_t*>(bytes.data() + at));
        }
    }
    // Size information: character code, track range, pack counts per type,
    // the block's last sequence number and its language (English).
    counts[kSizeInfo & 0x0F] += 3;
    std::uint8_t info[36] = {code, static_cast<std::uint8_t>(firstTrack), static_cast<std::uint8_t>(firstTrack + trackCount - 1)};
    for (int k = 0; k < 16; ++k) info[4 + k] = static_cast<std::uint8_t>(counts[static_cast<std::size_t>(k)]);
    info[20] = static_cast<std::uint8_t>(sequence + 2);
    info[28] = 0x09;
    for (std::uint8_t k = 0; k < 3; ++k) addPack(kSizeInfo, k, 0, info + 12 * k);
    return out;
}

void ApplyCdText(const CdText& text, DISC_INFO& disc, TagBlocks* tags) {
    if (!text.album.empty()) disc.SetAlbum(text.album);
    if (!text.performer.empty()) disc.SetArtist(text.performer);
    for (int k = 0; k < disc.TrackCount() && k < static_cast<int>(text.titles.size()); ++k) {
        const std::string& title = text.titles[static_cast<std::size_t>(k)];
        const std::string performer =
            k < static_cast<int>(text.performers.size()) ? text.performers[static_cast<std::size_t>(k)] : "";
        if (title.empty()) continue;
        disc.Track(k).SetTitle(!performer.empty() && performer != text.performer ? performer + " / " + title : title);
        if (!tags) continue;
        TagRecordRef tag = tags->Block(k);
        tag.SetPresent(true);
        tag.SetTitle(title);
        tag.SetArtist(performer.empty() ? disc.Artist() : performer);
        tag.SetAlbum(disc.Album());
        tag.SetTrackNumber(std::to_string(disc.TrackNumber(k)));
    }
}

}  // namespace sv
