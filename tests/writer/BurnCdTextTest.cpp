// CD-TEXT burned from the files' tags: a WAV without tags, an MP3 (lame),
// an Ogg Vorbis (oggenc) and a FLAC file (flac, metaflac) burned with their
// titles onto a virtual writer and read back through the reading engine; the
// same burn without CD-TEXT; Cyrillic titles, which Latin-1 cannot hold,
// written as MS-JIS (compared with iconv's Shift-JIS). The 6-bit lead-in
// form of one pack is worked out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AudioCheck.h"
#include "WriterRig.h"
#include "base/Bytes.h"
#include "cdrom/CdTextLeadIn.h"
#include "cdrom/TCDROM.h"
#include "support/TempDir.h"
#include "writer/BurnCdText.h"

using namespace sv;
using namespace wtest;

namespace {

std::string Tone(const svtest::TempDir& dir, const std::string& name) {
    const std::string path = dir.Slash() + name;
    RunTool({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", "0.5", "sine", "440"});
    return path;
}

std::string TaggedFlac(const svtest::TempDir& dir, const std::string& name, const std::string& title,
                       const std::string& artist, const std::vector<std::string>& moreTags = {}) {
    const std::string path = dir.Slash() + name;
    RunTool({"flac", "-s", "-f", Tone(dir, name + ".wav"), "-o", path});
    std::vector<std::string> args = {"metaflac", "--no-utf8-convert", "--set-tag=TITLE=" + title,
                                     "--set-tag=ARTIST=" + artist};
    for (const std::string& tag : moreTags) args.push_back("--set-tag=" + tag);
    args.push_back(path);
    RunTool(args);
    return path;
}

// The text bytes of every title pack (type 0x80), in order, and the
// character code of the first size information pack (type 0x8F).
struct PackView {
    std::string titleText;
    int charset = -1;
};
PackView ViewPacks(const std::string& packs) {
    PackView v;
    for (std::size_t at = 0; at + 18 <= packs.size(); at += 18) {
        const auto type = static_cast<std::uint8_t>(packs[at]);
        if (type == 0x80) v.titleText += packs.substr(at + 4, 12);
        if (type == 0x8F && v.charset < 0) v.charset = static_cast<std::uint8_t>(packs[at + 4]);
    }
    return v;
}

}  // namespace

TEST(BurnCdText, TitlesFromTagsComeBackFromTheBurnedDisc) {
    svtest::TempDir dir;
    const std::string plain = Tone(dir, "plain.wav");
    const std::string mp3 = dir.Slash() + "song.mp3", ogg = dir.Slash() + "evening.ogg";
    RunTool({"lame", "--quiet", "--tt", "Morning Song", "--ta", "Lame Artist", Tone(dir, "m.wav"), mp3});
    RunTool({"oggenc", "-Q", "-t", "Evening", "-a", "Ogg Band", Tone(dir, "o.wav"), "-o", ogg});
    const std::string cafe = TaggedFlac(dir, "cafe.flac", "Caf\xC3\xA9", "Zo\xC3\xAB");
    const std::string night = TaggedFlac(dir, "night.flac", "\xD0\x9D\xD0\xBE\xD1\x87\xD1\x8C",  // Ночь
                                         "\xD0\x93\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0");      // Группа
    {
        std::ofstream(dir.Slash() + "night.txt") << "\xD0\x9D\xD0\xBE\xD1\x87\xD1\x8C";
    }
    const std::string nightSjis = RunTool({"iconv", "-f", "UTF-8", "-t", "SHIFT_JIS", dir.Slash() + "night.txt"});
    ASSERT_EQ(nightSjis.size(), 8u);

    struct Case {
        const char* what;
        std::vector<std::string> files;
        bool cdText;
        CdText expected;  // what the disc reads back as
        int charset;      // 0x00 ISO-8859-1, 0x80 MS-JIS
        std::string titleBytes;  // found in the title packs
    };
    CdText tagged;
    tagged.album = "Album";
    tagged.performer = "Various";
    tagged.titles = {"plain", "Morning Song", "Evening", "Caf\xC3\xA9"};
    tagged.performers = {"", "Lame Artist", "Ogg Band", "Zo\xC3\xAB"};
    CdText cyrillic;
    cyrillic.album = "Album";
    cyrillic.performer = "Various";
    cyrillic.titles = {"\xD0\x9D\xD0\xBE\xD1\x87\xD1\x8C"};
    cyrillic.performers = {"\xD0\x93\xD1\x80\xD1\x83\xD0\xBF\xD0\xBF\xD0\xB0"};
    const std::vector<Case> cases = {
        {"tags of four formats", {plain, mp3, ogg, cafe}, true, tagged, 0x00, std::string("Caf\xE9\0", 5)},
        {"CD-TEXT off", {plain, mp3}, false, {}, -1, {}},
        {"Cyrillic as MS-JIS", {night}, true, cyrillic, 0x80, nightSjis},
    };
    auto rig = MakeRig({"writer cdr", "writer cdr", "writer cdr"});
    TCDWriter& w = *rig->writer;
    for (int i = 0; i < static_cast<int>(cases.size()); ++i) {
        const Case& c = cases[static_cast<std::size_t>(i)];
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(c.files.size());
        ASSERT_TRUE(w.SelectDrive(i));
        w.CdTextPacks = c.cdText ? EncodeCdTextPacks(BurnCdText(c.files, "Album", "Various"), 1, n) : Bytes{};
        Recorder rec;
        const BurnResult r = Burn(w, c.files, std::vector<std::uint32_t>(static_cast<std::size_t>(n), 40), rec);
        ASSERT_TRUE(r.parameters && r.cueSheet);
        ASSERT_EQ(r.outcome, WriteOutcome::Completed);
        EXPECT_EQ(w.WriteErrors(), 0);

        // The lead-in went as 96-byte sectors from -11634 up to -151, after
        // a cue sheet announcing it.
        std::int32_t next = -11634;
        int leadInWrites = 0;
        for (const RecordedCommand& cmd : rig->Drive(i).Commands()) {
            if (cmd.cdb[0] == 0x5D) {
                EXPECT_EQ(cmd.dataOut.at(3), c.cdText ? 0x41 : 0x01);
            }
            const auto lba = static_cast<std::int32_t>(LoadBE32(&cmd.cdb[2]));
            if (cmd.cdb[0] != 0x2A || lba >= -150) continue;
            ++leadInWrites;
            EXPECT_EQ(lba, next);
            EXPECT_EQ(cmd.dataLength, LoadBE16(&cmd.cdb[7]) * 96u);
            next = lba + LoadBE16(&cmd.cdb[7]);
        }
        EXPECT_EQ(leadInWrites > 0, c.cdText);
        EXPECT_EQ(next, c.cdText ? -150 : -11634);

        const std::filesystem::path cue = rig->Drive(i).LastBurnCue();
        const std::filesystem::path cdt = std::filesystem::path(cue).replace_extension(".cdt");
        EXPECT_EQ(svtest::ReadFileBytes(cue).find("CDTEXTFILE \"" + cdt.filename().string() + "\"\n") !=
                      std::string::npos,
                  c.cdText);
        ASSERT_EQ(std::filesystem::exists(cdt), c.cdText);
        TCDROM cdrom(rig->catalog);
        cdrom.Initialise(kTransportAspi);
        ASSERT_TRUE(cdrom.SelectDrive(i, 0));
        const std::optional<CdText> back = cdrom.ReadCdText(1, n);
        if (!c.cdText) {
            EXPECT_FALSE(back);
            continue;
        }
        ASSERT_TRUE(back);
        EXPECT_EQ(back->album, c.expected.album);
        EXPECT_EQ(back->performer, c.expected.performer);
        EXPECT_EQ(back->titles, c.expected.titles);
        EXPECT_EQ(back->performers, c.expected.performers);
        // One round of the packs sent, as the drive recorded it.
        const std::string packs = svtest::ReadFileBytes(cdt);
        EXPECT_TRUE(packs == std::string(w.CdTextPacks.begin(), w.CdTextPacks.end()));
        const PackView view = ViewPacks(packs);
        EXPECT_EQ(view.charset, c.charset);
        EXPECT_NE(view.titleText.find(c.titleBytes), std::string::npos);
    }
}

// 0xFF 0x00 0x81 is 111111 110000 000010 000001 in 6-bit symbols; a pack of
// them takes 24 bytes, and the symbols give the pack back.
TEST(BurnCdText, LeadInSymbolsOfAPack) {
    Bytes pack;
    for (int i = 0; i < 6; ++i) pack.insert(pack.end(), {0xFF, 0x00, 0x81});
    const Bytes symbols = CdTextToSymbols(pack);
    ASSERT_EQ(symbols.size(), 24u);
    for (std::size_t i = 0; i < 24; i += 4)
        EXPECT_EQ(Bytes(symbols.begin() + static_cast<std::ptrdiff_t>(i), symbols.begin() + static_cast<std::ptrdiff_t>(i) + 4),
                  (Bytes{0x3F, 0x30, 0x02, 0x01}));
    // The top two bits of a symbol are not the drive's to keep.
    Bytes dirty = symbols;
    for (auto& b : dirty) b |= 0xC0;
    EXPECT_EQ(CdTextFromSymbols(dirty), pack);
    // Two packs over and over: one round is the two.
    Bytes other(18, 0x11);
    Bytes repeated = pack;
    for (int k = 0; k < 3; ++k) {
        repeated.insert(repeated.end(), other.begin(), other.end());
        repeated.insert(repeated.end(), pack.begin(), pack.end());
    }
    Bytes two = pack;
    two.insert(two.end(), other.begin(), other.end());
    EXPECT_EQ(OneCdTextRound(repeated), two);
}

TEST(BurnCdText, AlbumTitleAndPerformerComeFromTheTagsAllFilesShare) {
    svtest::TempDir dir;
    const std::string a = TaggedFlac(dir, "a.flac", "One", "Band", {"ALBUM=Live"});
    const std::string b = TaggedFlac(dir, "b.flac", "Two", "Band", {"ALBUM=Live"});
    const std::string c = TaggedFlac(dir, "c.flac", "Three", "Guest", {"ALBUM=Live", "ALBUMARTIST=Band & Friends"});
    const std::string d = TaggedFlac(dir, "d.flac", "Four", "Guest", {"ALBUM=Other", "ALBUMARTIST=Band & Friends"});
    const std::string mp3 = dir.Slash() + "e.mp3";
    RunTool({"lame", "--quiet", "--tt", "Five", "--ta", "Guest", "--tl", "Other", Tone(dir, "e.wav"), mp3});
    struct Case {
        std::vector<std::string> files;
        const char *album, *performer;  // given by the caller
        const char *expectedAlbum, *expectedPerformer;
    } const cases[] = {
        {{a, b}, "", "", "Live", "Band"},                        // no album artist: the shared artist
        {{a, c}, "", "", "Live", ""},                             // artists and album artists differ
        {{c, d}, "", "", "", "Band & Friends"},                   // albums differ, album artist shared
        {{d, mp3}, "", "", "Other", "Guest"},                     // the album tag of FLAC and of ID3 alike
        {{a, b}, "Given", "Someone", "Given", "Someone"},         // what the caller gives wins
    };
    for (const Case& k : cases) {
        const CdText text = BurnCdText(k.files, k.album, k.performer);
        EXPECT_EQ(text.album, k.expectedAlbum) << k.files.size() << " files, first " << k.files.front();
        EXPECT_EQ(text.performer, k.expectedPerformer) << k.files.front() << " " << k.files.back();
    }
}
