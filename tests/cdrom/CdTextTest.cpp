// CD-TEXT: replies built here pack by pack (with a CRC computed here bit by
// bit) read into texts; texts encoded by the virtual drive and read back; a
// CUE image's CD-TEXT through the virtual drive and the drive object's
// command path.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "CdromTestSupport.h"
#include "base/Bytes.h"
#include "cdrom/CdText.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DriveCommands.h"
#include "support/TempDir.h"

using namespace sv;

namespace sv {
// Failures show the texts, not the object's bytes.
void PrintTo(const CdText& t, std::ostream* os) {
    *os << "album \"" << t.album << "\", performer \"" << t.performer << "\", titles";
    for (const auto& s : t.titles) *os << " \"" << s << "\"";
    *os << ", performers";
    for (const auto& s : t.performers) *os << " \"" << s << "\"";
}
}  // namespace sv

namespace {

// CRC-16/CCITT as polynomial division: the message times x^16 modulo
// x^16 + x^12 + x^5 + 1, inverted.
std::uint16_t BitwiseCrc(const std::uint8_t* p, std::size_t n) {
    std::uint32_t rest = 0;
    for (std::size_t i = 0; i < n * 8 + 16; ++i) {
        rest = (rest << 1) | (i < n * 8 ? (p[i / 8] >> (7 - i % 8)) & 1u : 0u);
        if (rest & 0x10000) rest ^= 0x11021;
    }
    return static_cast<std::uint16_t>(~rest);
}

// A reply put together pack by pack.
struct Reply {
    std::vector<std::uint8_t> packs;
    int sequence = 0;

    void Pack(std::uint8_t type, int track, int position, const std::string& text12, int block = 0) {
        std::uint8_t p[18] = {type, static_cast<std::uint8_t>(track), static_cast<std::uint8_t>(sequence++),
                              static_cast<std::uint8_t>(position | block << 4)};
        std::copy_n(text12.begin(), std::min<std::size_t>(12, text12.size()), p + 4);
        StoreBE16(p + 16, BitwiseCrc(p, 16));
        packs.insert(packs.end(), p, p + 18);
    }
    // Strings for tracks 0 (the disc), 1, 2 ..., each ending in NUL (two in
    // double-byte text), cut into 12-byte packs.
    void Text(std::uint8_t type, const std::vector<std::string>& strings, bool doubleByte = false) {
        std::string bytes;
        std::vector<std::pair<int, int>> where;  // track and character position of each byte
        for (std::size_t t = 0; t < strings.size(); ++t) {
            const std::string s = strings[t] + std::string(doubleByte ? 2 : 1, '\0');
            for (std::size_t k = 0; k < s.size(); ++k) where.emplace_back(static_cast<int>(t), static_cast<int>(doubleByte ? k / 2 : k));
            bytes += s;
        }
        for (std::size_t at = 0; at < bytes.size(); at += 12)
            Pack(type, where[at].first, std::min(where[at].second, 15) | (doubleByte ? 0x80 : 0), bytes.substr(at, 12));
    }
    void SizeInfo(std::uint8_t code, int last) {
        std::string info(36, '\0');
        info[0] = static_cast<char>(code);
        info[1] = 1;
        info[2] = static_cast<char>(last);
        for (int k = 0; k < 3; ++k) Pack(0x8F, k, 0, info.substr(static_cast<std::size_t>(12 * k), 12));
    }
    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> r{0, 0, 0, 0};
        StoreBE16(r.data(), static_cast<std::uint16_t>(packs.size() + 2));
        r.insert(r.end(), packs.begin(), packs.end());
        return r;
    }
};

CdText Texts(std::string album, std::string performer, std::vector<std::string> titles,
             std::vector<std::string> performers = {}) {
    CdText t;
    t.album = std::move(album);
    t.performer = std::move(performer);
    t.titles = std::move(titles);
    t.performers = performers.empty() ? std::vector<std::string>(t.titles.size()) : std::move(performers);
    t.songwriters.resize(t.titles.size());
    return t;
}

}  // namespace

TEST(CdText, TheCrcIsCcittFromZeroInverted) {
    const std::string check = "123456789";  // CRC-16/XMODEM 0x31C3
    const auto* p = reinterpret_cast<const std::uint8_t*>(check.data());
    EXPECT_EQ(BitwiseCrc(p, check.size()), 0xCE3C);
    EXPECT_EQ(CdTextCrc({p, check.size()}), 0xCE3C);
}

TEST(CdText, RepliesAreReadIntoTexts) {
    const std::string longTitle = "A title longer than one pack";
    Reply latin;
    latin.Text(0x80, {"Album", "One", "Two"});
    latin.Text(0x81, {"Band", "Band", "Guest"});
    latin.SizeInfo(0x00, 2);
    Reply accented;
    accented.Text(0x80, {"Caf\xE9", "Gr\xFC\xDF" "e", "\xC5r"});
    accented.SizeInfo(0x00, 2);
    Reply split;
    split.Text(0x80, {"X", longTitle, "B"});
    Reply tab;
    tab.Text(0x80, {"Album", "One", "Two"});
    tab.Text(0x81, {"Band", "\t", "\t"});
    Reply badCrc = split;  // the second pack ("nger than on") damaged
    badCrc.packs[18 + 6] ^= 0x20;
    Reply japanese;
    japanese.Text(0x80, {"\x83\x65\x83\x58\x83\x67", "\x93\xFA\x96\x7B", "AB"}, true);
    japanese.SizeInfo(0x80, 2);
    Reply otherBlock;
    otherBlock.Pack(0x80, 0, 0, std::string("Elsewhere\0\0\0", 12), 1);
    Reply sizeOnly;
    sizeOnly.SizeInfo(0x00, 2);
    auto truncated = split.Bytes();
    truncated.resize(4 + 18 + 9);  // the first pack and half the second

    struct Case {
        const char* name;
        std::vector<std::uint8_t> reply;
        int trackCount;
        std::optional<CdText> want;
    } cases[] = {
        {"latin", latin.Bytes(), 2, Texts("Album", "Band", {"One", "Two"}, {"Band", "Guest"})},
        {"accented Latin-1", accented.Bytes(), 2, Texts("Café", "", {"Grüße", "År"})},
        {"a title across packs", split.Bytes(), 2, Texts("X", "", {longTitle, "B"})},
        {"tab: as the track before", tab.Bytes(), 2, Texts("Album", "Band", {"One", "Two"}, {"Band", "Band"})},
        {"a bad CRC loses its string only", badCrc.Bytes(), 2, Texts("X", "", {"", "B"})},
        {"truncated: the unfinished string is dropped", truncated, 2, Texts("X", "", {"", ""})},
        {"MS-JIS", japanese.Bytes(), 2, Texts("テスト", "", {"日本", "AB"})},
        {"texts beyond the disc's tracks are ignored", latin.Bytes(), 1, Texts("Album", "Band", {"One"}, {"Band"})},
        {"another block only", otherBlock.Bytes(), 2, std::nullopt},
        {"size information only", sizeOnly.Bytes(), 2, std::nullopt},
        {"a short header", {0, 2, 0}, 2, std::nullopt},
        {"no tracks", latin.Bytes(), 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = ParseCdText(c.reply, 1, c.trackCount);
        ASSERT_EQ(got.has_value(), c.want.has_value());
        if (got) {
            EXPECT_EQ(*got, *c.want);
        }
    }
    // The length in the header bounds the packs read.
    auto shortened = latin.Bytes();
    StoreBE16(shortened.data(), 2 + 18);
    EXPECT_EQ(ParseCdText(shortened, 1, 2), Texts("Album", "", {"One", ""}));
}

TEST(CdText, EncodedPacksCarryTheTextInTheRightCharacterCode) {
    struct Case {
        const char* name;
        CdText text;
        std::uint8_t code;
        CdText readBack;
    } cases[] = {
        {"Latin-1", Texts("Café", "Björk", {"Ön", ""}), 0x00, Texts("Café", "Björk", {"Ön", ""})},
        {"Japanese", Texts("テスト", "", {"日本", "Tokyo"}), 0x80, Texts("テスト", "", {"日本", "Tokyo"})},
        {"Hebrew as ASCII", Texts("שלום", "", {"A", "ש2"}), 0x01, Texts("????", "", {"A", "?2"})},
        {"Cyrillic beside an accent", Texts("Café", "Ансамбль", {"Песня", "Ö"}), 0x80,
         Texts("Caf?", "Ансамбль", {"Песня", "?"})},
        {"Latin-1 beside one Hebrew letter", Texts("Café", "Björk", {"ש", "Ö"}), 0x00,
         Texts("Café", "Björk", {"?", "Ö"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto packs = EncodeCdTextPacks(c.text, 1, 2);
        ASSERT_EQ(packs.size() % 18, 0u);
        const std::size_t count = packs.size() / 18;
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint8_t* p = packs.data() + 18 * k;
            EXPECT_EQ(LoadBE16(p + 16), BitwiseCrc(p, 16)) << k;
            EXPECT_EQ(p[2], k);
        }
        const std::uint8_t* size = packs.data() + packs.size() - 3 * 18;  // the three size packs come last
        EXPECT_EQ(size[0], 0x8F);
        EXPECT_EQ(size[4], c.code);
        EXPECT_EQ(size[4 + 2], 2);                  // last track
        EXPECT_EQ(size[18 + 4 + 8], count - 1);     // last sequence number (byte 20)
        std::vector<std::uint8_t> reply{0, 0, 0, 0};
        StoreBE16(reply.data(), static_cast<std::uint16_t>(packs.size() + 2));
        reply.insert(reply.end(), packs.begin(), packs.end());
        EXPECT_EQ(ParseCdText(reply, 1, 2), c.readBack);
    }
    // 99 long titles need more packs than a block holds: the first ones stay whole.
    CdText many = Texts("Album", "", std::vector<std::string>(99, std::string(200, 'x')));
    const auto packs = EncodeCdTextPacks(many, 1, 99);
    EXPECT_EQ(packs.size(), 256u * 18);
    std::vector<std::uint8_t> reply{0, 0, 0, 0};
    StoreBE16(reply.data(), 2 + 256 * 18);
    reply.insert(reply.end(), packs.begin(), packs.end());
    const auto got = ParseCdText(reply, 1, 99);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->titles[0], std::string(160, 'x'));
    EXPECT_EQ(got->titles[97], "");
    EXPECT_TRUE(EncodeCdTextPacks(CdText{}, 1, 2).empty());
}

TEST(CdText, ACueImageServesItsTextsThroughTheVirtualDrive) {
    svtest::TempDir dir;
    cdtest::WritePatternBin(dir.Path() / "disc.bin", 0, 300);
    Reply file;  // a CD-TEXT file with its 4-byte header
    file.Text(0x80, {"From the file", "F1", "F2"});
    const auto fileBytes = file.Bytes();
    svtest::WriteFileBytes(dir.Path() / "disc.cdt", std::string(fileBytes.begin(), fileBytes.end()));
    const std::string tracks = "FILE \"disc.bin\" BINARY\n"
                               "  TRACK 01 AUDIO\n    TITLE \"Première\"\n    PERFORMER \"Various\"\n    INDEX 01 00:00:00\n"
                               "  TRACK 02 AUDIO\n    TITLE \"Second\"\n    PERFORMER \"Guest\"\n    INDEX 01 00:02:00\n";
    const std::string header = "PERFORMER \"Various\"\nTITLE \"Café Songs\"\n";
    struct Case {
        const char* name;
        std::string sheet;
        std::optional<CdText> want;
        std::size_t notes;
    } cases[] = {
        {"the sheet's lines", header + tracks,
         Texts("Café Songs", "Various", {"Première", "Second"}, {"Various", "Guest"}), 0},
        {"a CDTEXTFILE", "CDTEXTFILE \"disc.cdt\"\n" + header + tracks, Texts("From the file", "", {"F1", "F2"}), 0},
        {"a missing CDTEXTFILE", "CDTEXTFILE \"gone.cdt\"\n" + header + tracks,
         Texts("Café Songs", "Various", {"Première", "Second"}, {"Various", "Guest"}), 1},
        {"no CD-TEXT", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        auto image = ParseCueSheet(c.sheet, dir.Path().string(), error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->Notes().size(), c.notes);
        auto rig = cdtest::MakeRig(image);
        const int trackCount = static_cast<int>(image->Tracks().size());
        EXPECT_EQ(rig->cdrom->ReadCdText(1, trackCount), c.want);
        // The header first, then the whole reply; a disc without CD-TEXT is refused.
        const auto commands = rig->drive->Commands();
        ASSERT_EQ(commands.size(), c.want ? 2u : 1u);
        EXPECT_EQ(commands[0].cdb[0], 0x43);
        EXPECT_EQ(commands[0].cdb[2], 5);
        EXPECT_EQ(LoadBE16(commands[0].cdb.data() + 7), 4);
        if (!c.want) {
            EXPECT_EQ(commands[0].senseKey, 0x05);
            EXPECT_EQ(commands[0].asc, 0x24);
            continue;
        }
        // The allocation length cuts the reply; its header still tells the whole length.
        std::vector<std::uint8_t> part(40, 0xEE);
        ASSERT_TRUE(rig->cdrom->IsSuccess(rig->cdrom->Send(ReadCdTextCdb(22), part.data())));
        EXPECT_EQ(LoadBE16(commands[1].cdb.data() + 7), LoadBE16(part.data()) + 2);
        EXPECT_EQ(part[22], 0xEE);
        EXPECT_EQ(LoadBE16(part.data() + 20), BitwiseCrc(part.data() + 4, 16));
    }
}
