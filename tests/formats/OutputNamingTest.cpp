// Output naming: the check-box and format-string paths, the extension table,
// character removal, hostile titles, and the format editor's logic.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/BuiltinMessages.h"
#include "formats/OutputNaming.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using namespace svtest;

namespace {

const NamingTexts kTexts{"Unknown artist", "Unknown album"};

class Naming : public ::testing::Test {
protected:
    void SetUp() override {
        disc.SetArtist("X");
        disc.SetAlbum("Y");
        disc.SetTrackCount(12);
        disc.SetDiscIdText("1a2b3c4d");
        disc.SetGenre("Rock");
        disc.SetYear("1999");
        for (int i = 0; i < 12; ++i) disc.Track(i).SetTitle("T" + std::to_string(i));
        disc.Track(0).SetTitle("First");
        disc.Track(3).SetTitle("Z");
        s.SetOutputDir("/music/");
        s.SetOutputFormat(kFormatMp3);
    }
    void CheckBoxes(bool artistDir, bool albumDir, bool num, bool artist, bool album, bool title) {
        s.SetUseFormatString(false);
        s.SetDirPerArtist(artistDir);
        s.SetDirPerAlbum(albumDir);
        s.SetFileUseTrackNum(num);
        s.SetFileUseArtistName(artist);
        s.SetFileUseAlbumName(album);
        s.SetFileUseTrackName(title);
    }
    std::string Format(const std::string& format, int track = 3) {
        s.SetUseFormatString(true);
        s.SetFormatString(format);
        return MakeOutputPath(s, disc, &tags, track, kTexts);
    }
    std::string Path(int track = 3) { return MakeOutputPath(s, disc, &tags, track, kTexts); }

    DISC_INFO disc;
    TagBlocks tags;
    TProgramSettings s;
};

// Every part of the relative path is a real name, and the path stays in OutputDir.
void ExpectInside(const std::string& path, const std::string& dir) {
    ASSERT_EQ(path.compare(0, dir.size(), dir), 0) << path;
    const std::string rel = path.substr(dir.size());
    EXPECT_FALSE(rel.empty());
    EXPECT_NE(rel.front(), '/') << path;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = rel.find('/', start);
        const std::string part = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        EXPECT_FALSE(part.empty()) << path;
        EXPECT_NE(part, ".") << path;
        EXPECT_NE(part, "..") << path;
        EXPECT_LE(part.size(), 255u) << path;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    const auto normal = std::filesystem::path(path).lexically_normal().string();
    EXPECT_EQ(normal.compare(0, dir.size(), dir), 0) << normal;
}

}  // namespace

TEST_F(Naming, CheckBoxPath) {
    struct Case {
        bool artistDir, albumDir, num, artist, album, title;
        const char* expect;
    };
    const Case cases[] = {
        {true, true, true, false, false, true, "/music/X/Y/3 - Z.mp3"},
        {false, false, true, true, true, true, "/music/3 - X - Y - Z.mp3"},
        {false, false, false, false, false, true, "/music/Z.mp3"},
        {false, false, true, false, false, false, "/music/3 -.mp3"},
        {true, false, false, true, false, false, "/music/X/X -.mp3"},
    };
    for (const auto& c : cases) {
        CheckBoxes(c.artistDir, c.albumDir, c.num, c.artist, c.album, c.title);
        EXPECT_EQ(Path(), c.expect);
    }
}

TEST_F(Naming, EmptyValuesGetTheirReplacements) {
    CheckBoxes(true, true, false, false, false, true);
    disc.SetArtist("");
    disc.SetAlbum("");
    disc.Track(3).SetTitle("");
    EXPECT_EQ(Path(), "/music/Unknown artist/Unknown album/Track 04.mp3");
    // Without a language loaded the built-in texts R12 and R13 are used.
    const NamingTexts builtin = NamingTexts::FromLanguage();
    EXPECT_EQ(builtin.unknownArtist, kRussianMessages[12]);
    EXPECT_EQ(MakeOutputPath(s, disc, &tags, 3, builtin),
              "/music/" + std::string(kRussianMessages[12]) + "/" + std::string(kRussianMessages[13]) + "/Track 04.mp3");
    EXPECT_EQ(Format("%N %T", 9), "/music/10 T9.mp3");
    disc.Track(9).SetTitle("");
    EXPECT_EQ(Format("%T", 9), "/music/Track 10.mp3");
}

TEST_F(Naming, FormatStrings) {
    const std::pair<const char*, const char*> cases[] = {
        {"%N. %A - %T", "/music/04. X - Z.mp3"},
        {"%T", "/music/Z.mp3"},
        {"CD %I\\%N", "/music/CD 1a2b3c4d/04.mp3"},
        {"CD %I/%N", "/music/CD 1a2b3c4d/04.mp3"},
        {"%Q%T", "/music/.mp3"},
        {"%A\\%D\\%N", "/music/X/Y/04.mp3"},
        {"%G-%Y-%C-%I", "/music/Rock-1999-12-1a2b3c4d.mp3"},
        {"x%%T", "/music/xZ.mp3"},
        {"%T%", "/music/Z.mp3"},
        {"%T %t", "/music/Z .mp3"},
        // Cyrillic capitals: А Д Т Н Ж Г, and С for the count.
        {"%\xD0\x9D %\xD0\x90 %\xD0\x94 %\xD0\xA2", "/music/04 X Y Z.mp3"},
        {"%\xD0\x96 %\xD0\x93 %\xD0\xA1", "/music/Rock 1999 12.mp3"},
    };
    for (const auto& [format, expect] : cases) EXPECT_EQ(Format(format), expect) << format;
    // The expansion keeps the format's backslash as typed.
    EXPECT_EQ(ExpandFormatString("CD %I\\%N", disc, &tags, 3, kTexts), "CD 1a2b3c4d\\04");
    EXPECT_EQ(ExpandFormatString("%Q%T", disc, &tags, 3, kTexts), "");
}

TEST_F(Naming, ExtensionTable) {
    const std::pair<int, const char*> table[] = {{0, ".wav"}, {1, ".mp3"}, {2, ".wma"}, {3, ".ogg"},
                                                 {4, ".ape"}, {5, ".aac"}};
    for (const auto& [code, ext] : table) {
        s.SetOutputFormat(static_cast<std::uint8_t>(code));
        EXPECT_EQ(OutputExtension(s), ext);
    }
    s.SetOutputFormat(kFormatAcm);
    s.SetAcmFileExt("mp2");
    EXPECT_EQ(OutputExtension(s), ".mp2");
    s.SetAcmFileExt(".mp2");
    EXPECT_EQ(OutputExtension(s), ".mp2");
    s.SetAcmFileExt("../x");
    EXPECT_EQ(OutputExtension(s), "..x");
    CheckBoxes(false, false, false, false, false, true);
    EXPECT_EQ(Path(), "/music/Z..x");
}

TEST_F(Naming, ForbiddenCharactersAreRemovedFromNamesNotFromTheFolder) {
    CheckBoxes(true, false, false, false, false, true);
    s.SetOutputDir("/media/C:music?/");
    disc.Track(3).SetTitle("Wh\"at? <is> a:b|c*");
    disc.SetArtist("AC/DC");
    EXPECT_EQ(Path(), "/media/C:music?/ACDC/What is abc.mp3");
    disc.Track(3).SetTitle("back\\slash\ttab");
    EXPECT_EQ(Path(), "/media/C:music?/ACDC/backslashtab.mp3");
    EXPECT_EQ(Format("a:b?c*%T<>|\"d"), "/media/C:music?/abcbackslashtabd.mp3");
}

TEST_F(Naming, HostileTitlesStayInsideTheOutputFolder) {
    const std::string hostile[] = {"..", ".", "../../etc/passwd", "/abs", "AC/DC", "a:b?c*", "", "...",
                                   "..\\..\\x", "/", "\\", "%T", "\x01\x02"};
    const std::string formats[] = {"%A\\%D\\%T", "%T", "../%T", "/abs/%T", "%A/../../%T", "..\\%D\\.\\%T",
                                   "%T/", "//%A//%T", "%D\\..", "."};
    for (const auto& evil : hostile) {
        disc.SetArtist(evil);
        disc.SetAlbum(evil);
        disc.Track(3).SetTitle(evil);
        for (int mask = 0; mask < 64; ++mask) {
            CheckBoxes(mask & 1, mask & 2, mask & 4, mask & 8, mask & 16, mask & 32);
            SCOPED_TRACE("title [" + evil + "] mask " + std::to_string(mask));
            ExpectInside(Path(), "/music/");
        }
        for (const auto& f : formats) {
            SCOPED_TRACE("title [" + evil + "] format " + f);
            ExpectInside(Format(f), "/music/");
        }
    }
    disc.SetArtist("..");
    disc.Track(3).SetTitle("../../etc/passwd");
    CheckBoxes(true, false, false, false, false, true);
    EXPECT_EQ(Path(), "/music/....etcpasswd.mp3");
    EXPECT_EQ(Format("../%T"), "/music/....etcpasswd.mp3");
    EXPECT_EQ(Format("/abs/%T"), "/music/abs/....etcpasswd.mp3");
    disc.Track(3).SetTitle("/abs");
    EXPECT_EQ(Format("%T"), "/music/abs.mp3");
}

TEST_F(Naming, LongNamesDropTheAlbumThenGetCut) {
    const std::string a(49, 'a'), b(49, 'b'), t(99, 't');
    disc.SetArtist(a);
    disc.SetAlbum(b);
    disc.Track(3).SetTitle(t);
    CheckBoxes(true, true, true, true, true, true);
    // 311 characters with the album in the name: it is left out (259).
    EXPECT_EQ(Path(), "/music/" + a + "/" + b + "/3 - " + a + " - " + t + ".mp3");
    CheckBoxes(true, true, true, true, false, true);
    EXPECT_EQ(Path(), "/music/" + a + "/" + b + "/3 - " + a + " - " + t + ".mp3");
    // A format string is not shortened, but no name exceeds 255 bytes.
    const std::string p = Format("%T%T%T");
    EXPECT_EQ(p, "/music/" + (t + t + t).substr(0, 251) + ".mp3");
}

TEST_F(Naming, CompilationTakesValuesFromTheTagRecord) {
    disc.SetCompilation(true);
    tags.EnsureCount(12);
    TagRecordRef r = tags.Block(3);
    r.SetPresent(true);
    r.SetTitle("TagTitle");
    r.SetArtist("TagArtist");
    r.SetAlbum("TagAlbum");
    r.SetGenre("Jazz");
    r.SetYear("2005");
    CheckBoxes(true, true, false, false, false, true);
    EXPECT_EQ(Path(), "/music/TagArtist/TagAlbum/TagTitle.mp3");
    EXPECT_EQ(Format("%G %Y %A %T"), "/music/Jazz 2005 TagArtist TagTitle.mp3");
    // Another track without a present tag keeps the disc's values.
    EXPECT_EQ(Format("%A %T", 4), "/music/X T4.mp3");
    // Without the compilation flag the tag record is not used.
    disc.SetCompilation(false);
    EXPECT_EQ(Format("%G %A %T"), "/music/Rock X Z.mp3");
}

TEST_F(Naming, MissingOutputFolderLoopsThroughTheSettingsDialog) {
    TempDir dir;
    const std::string missing = dir.Slash() + "gone/";
    s.SetOutputDir(missing);
    CheckBoxes(false, false, false, false, false, true);
    ScriptedDialogs dialogs;
    dialogs.ExpectMessage("gone").ExpectMessage("gone");
    int runs = 0;
    const std::string path = BuildOutputPath(s, disc, &tags, 3, dialogs, [&] {
        if (++runs == 2) std::filesystem::create_directory(missing);
        return true;
    });
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(dialogs.Done());
    ASSERT_EQ(dialogs.Icons().size(), 2u);
    EXPECT_EQ(dialogs.Icons()[0], MessageIcon::Warning);
    EXPECT_EQ(path.substr(0, missing.size()), missing);
    EXPECT_EQ(path.substr(missing.size()), "Z.mp3");

    // A user who gives up ends the loop without a path.
    s.SetOutputDir(dir.Slash() + "other/");
    ScriptedDialogs again;
    again.ExpectMessage("other");
    EXPECT_EQ(BuildOutputPath(s, disc, &tags, 3, again, [] { return false; }), "");
    EXPECT_TRUE(again.Done());
}

TEST(FormatEditor, KeyFilterAndPercentCollapsing) {
    for (char32_t swallowed : {U'"', U'*', U':', U'<', U'>', U'?', U'|'}) EXPECT_FALSE(FilterFormatKey(swallowed));
    for (char32_t allowed : {U'\\', U'/', U'%', U'A', U' ', U'.', U'-', U'\u0422'}) EXPECT_TRUE(FilterFormatKey(allowed));
    EXPECT_EQ(CollapsePercents("%%T"), "%T");
    EXPECT_EQ(CollapsePercents("%%%"), "%%");
    EXPECT_EQ(CollapsePercents("a%%b%%"), "a%b%");
    EXPECT_EQ(CollapsePercents("%A - %T"), "%A - %T");
}

TEST(FormatEditor, PreviewEnablingAndHint) {
    DISC_INFO disc;
    disc.SetArtist("Artist");
    disc.SetTrackCount(2);
    disc.Track(0).SetTitle("One");
    EXPECT_EQ(PreviewFormatString("", &disc, nullptr, kTexts), "");
    EXPECT_EQ(PreviewFormatString("%", &disc, nullptr, kTexts), "");
    EXPECT_EQ(PreviewFormatString("%N %A - %T", &disc, nullptr, kTexts), "01 Artist - One.mp3");
    EXPECT_EQ(PreviewFormatString("%A\\%T", &disc, nullptr, kTexts), "Artist\\One.mp3");
    EXPECT_EQ(PreviewFormatString("%T%", &disc, nullptr, kTexts), std::nullopt);
    EXPECT_EQ(PreviewFormatString("%T", nullptr, nullptr, kTexts), std::nullopt);

    const auto on = FormatEditorEnablingFor(true);
    EXPECT_TRUE(on.formatField);
    EXPECT_FALSE(on.fileNameBoxes);
    EXPECT_FALSE(on.folderBoxes);
    const auto off = FormatEditorEnablingFor(false);
    EXPECT_FALSE(off.formatField);
    EXPECT_TRUE(off.fileNameBoxes);
    EXPECT_TRUE(off.folderBoxes);

    EXPECT_EQ(FormatStringHint(), std::string(kRussianMessages[28]) + "\n" + std::string(kRussianMessages[29]) + "\n" +
                                      std::string(kRussianMessages[30]) + "\n" + std::string(kRussianMessages[31]));
}
