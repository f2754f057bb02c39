// The burn compilation: which files enter it and with which lengths (files
// made by sox, lame, oggenc and ffmpeg, or WAV headers written by hand), the
// 99-row limit, folder search, reordering, the totals and their 76- and
// 79-minute edges, project files against bytes written out by hand, and the
// image's cue file read back by the CUE parser.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AudioCheck.h"
#include "base/Bytes.h"
#include "cdrom/CueSheet.h"
#include "support/Messages.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "writer/BurnCompilation.h"
#include "writer/BurnProject.h"
#include "writer/WriteSettings.h"

namespace {

namespace fs = std::filesystem;
using namespace sv;
using svtest::ReadFileBytes;
using svtest::TempDir;
using svtest::WriteFileBytes;

// A 16-bit PCM WAV file of `rate` and `channels` claiming `dataBytes` of
// samples. The samples are a hole of the file (sparse), so that an 80-minute
// source costs no disk space; the WAV reader only reads the header.
std::string HandWav(const fs::path& path, std::uint32_t rate, std::uint16_t channels, std::uint64_t dataBytes) {
    std::string h(44, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(h.data());
    std::copy_n("RIFF", 4, h.begin());
    StoreLE<std::uint32_t>(p + 4, static_cast<std::uint32_t>(36 + dataBytes));
    std::copy_n("WAVEfmt ", 8, h.begin() + 8);
    StoreLE<std::uint32_t>(p + 16, 16);
    StoreLE<std::uint16_t>(p + 20, 1);
    StoreLE<std::uint16_t>(p + 22, channels);
    StoreLE<std::uint32_t>(p + 24, rate);
    StoreLE<std::uint32_t>(p + 28, rate * 2u * channels);
    StoreLE<std::uint16_t>(p + 32, static_cast<std::uint16_t>(2 * channels));
    StoreLE<std::uint16_t>(p + 34, 16);
    std::copy_n("data", 4, h.begin() + 36);
    StoreLE<std::uint32_t>(p + 40, static_cast<std::uint32_t>(dataBytes));
    WriteFileBytes(path, h);
    fs::resize_file(path, 44 + dataBytes);
    return path.string();
}

// A CD-format WAV of exactly `sectors` sectors.
std::string SectorsWav(const fs::path& path, std::uint64_t sectors) { return HandWav(path, 44100, 2, sectors * 2352); }

void RunTool(const std::vector<std::string>& args) {
    std::string out, err;
    ASSERT_EQ(svtest::RunProgram(args, out, &err), 0) << args[0] << ": " << err;
}

std::string Names(const BurnCompilation& c) {
    std::string s;
    for (const CompilationRow& r : c.Rows()) s += r.fileName.substr(0, 1);
    return s;
}

}  // namespace

// Which files are taken and with what decoded length: WAV by its format
// chunk's rate, Ogg and MP3 by their streams; lengths scaled to 176400 bytes
// a second (60 s of 48 kHz Ogg = 10584000 bytes, 01:00:00).
TEST(BurnCompilation, AddsSupportedFilesWithTheirCdLength) {
    TempDir dir;
    const std::string d = dir.Slash();
    RunTool({"sox", "-n", "-r", "48000", "-c", "2", "-b", "16", d + "s48.wav", "synth", "60", "sine", "440", "gain", "-6"});
    RunTool({"oggenc", "-Q", "-q", "2", d + "s48.wav", "-o", d + "minute.ogg"});
    RunTool({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", d + "s44.wav", "synth", "3.3", "sine", "440"});
    RunTool({"lame", "--quiet", "-b", "128", d + "s44.wav", d + "tone.mp3"});
    RunTool({"sox", "-n", "-r", "8000", "-c", "1", "-b", "16", d + "s8.wav", "synth", "2", "sine", "440"});
    RunTool({"oggenc", "-Q", d + "s8.wav", "-o", d + "low.ogg"});
    RunTool({"ffmpeg", "-v", "error", "-i", d + "s44.wav", "-c:a", "wmav2", "-b:a", "128k", d + "tone.wma"});
    HandWav(dir.Path() / "r11025.wav", 11025, 1, 22050 * 2);  // 2 s
    HandWav(dir.Path() / "r8000.wav", 8000, 1, 16000 * 2);
    HandWav(dir.Path() / "UPPER.WAV", 44100, 2, 176400 + 2352);
    HandWav(dir.Path() / "nothing.wav", 44100, 2, 0);
    WriteFileBytes(dir.Path() / "junk.wav", "RIFF....not a wave file");
    RunTool({"flac", "-s", "-f", d + "s44.wav", "-o", d + "tone.flac"});
    WriteFileBytes(dir.Path() / "bad.flac", "fLaC");
    WriteFileBytes(dir.Path() / "tone.ape", "MAC ");

    struct Case {
        std::string name;
        AddFileResult result;
        std::uint32_t bytes;
        const char* time;
        const char* size;
    };
    const std::vector<Case> cases = {
        {"minute.ogg", AddFileResult::Added, 10584000, "01:00:00", "10.09 Mb"},
        // All of the MP3's frames: LAME writes 128 frames of 1152 samples for
        // the 145530 of 3.3 s (its delay and padding included); the decoder's
        // whole seconds (3) would cut the end of the audio.
        {"tone.mp3", AddFileResult::Added, 128 * 1152 * 4, "00:03:25", "0.56 Mb"},
        {"r11025.wav", AddFileResult::Added, 2 * 176400, "00:02:00", "0.34 Mb"},
        {"UPPER.WAV", AddFileResult::Added, 176400 + 2352, "00:01:01", "0.17 Mb"},
        {"s44.wav", AddFileResult::Added, 582120, "00:03:22", "0.56 Mb"},  // 3.3 s: 145530 frames x 4
        {"r8000.wav", AddFileResult::RateTooLow, 0, "", ""},
        {"low.ogg", AddFileResult::RateTooLow, 0, "", ""},
        {"nothing.wav", AddFileResult::Empty, 0, "", ""},
        {"junk.wav", AddFileResult::CannotOpen, 0, "", ""},
        {"tone.flac", AddFileResult::Added, 582120, "00:03:22", "0.56 Mb"},  // lossless: the WAV's own length
        {"bad.flac", AddFileResult::CannotOpen, 0, "", ""},
        {"tone.ape", AddFileResult::Unsupported, 0, "", ""},
        {"absent.wav", AddFileResult::Missing, 0, "", ""},
    };
    BurnCompilation c;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const int before = c.Count();
        EXPECT_EQ(c.AddFile(d + k.name), k.result);
        ASSERT_EQ(c.Count(), before + (k.result == AddFileResult::Added ? 1 : 0));
        if (k.result != AddFileResult::Added) continue;
        const CompilationRow& row = c.Row(c.Count() - 1);
        EXPECT_EQ(row.fileName, k.name);
        EXPECT_EQ(row.directory, d);
        EXPECT_EQ(row.SourcePath(), d + k.name);
        EXPECT_EQ(row.bytes, k.bytes);
        EXPECT_EQ(row.TimeText(), k.time);
        EXPECT_EQ(row.SizeText(), k.size);
        EXPECT_EQ(row.imageIndex, 2);
    }
    // Windows Media files are taken when added one by one; the length is the
    // container's duration (3 s of tone and the encoder's padding), never
    // cut to whole seconds, which would lose the end of the audio.
    EXPECT_EQ(c.AddFile(d + "tone.wma"), AddFileResult::Added);
    EXPECT_GT(c.Rows().back().bytes, 3u * 176400);
    EXPECT_LT(c.Rows().back().bytes, 3u * 176400 + 176400 / 2);
    EXPECT_EQ(c.Rows().back().bytes % 4, 0u);
    EXPECT_EQ(c.AddFile(d + "bad\nname.wav"), AddFileResult::BadName);
}

// The 99-row limit, folder search (depth first, name order, no dot folders,
// no .wma) and reordering by dragging and by the up/down moves.
TEST(BurnCompilation, LimitFolderSearchAndReordering) {
    TempDir dir;
    const fs::path root = dir.Path() / "music";
    fs::create_directories(root / "sub" / "deeper");
    fs::create_directories(root / ".hidden");
    const std::string a = SectorsWav(root / "a.wav", 75);
    for (const char* n : {"b.wav", "sub/c.wav", "sub/deeper/d.wav", "sub/e.WAV", ".hidden/h.wav", "notes.txt"})
        fs::copy_file(a, root / n);
    fs::create_directory_symlink(root, root / "sub" / "loop");  // searched once only
    RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=d=1", "-c:a", "wmav2", (root / "w.wma").string()});

    BurnCompilation c;
    EXPECT_EQ(c.AddFolder(root.string()), 5);
    EXPECT_EQ(Names(c), "abcde");
    EXPECT_EQ(c.Row(3).directory, (root / "sub" / "deeper").string() + "/");
    EXPECT_EQ(c.AddFile((root / "w.wma").string()), AddFileResult::Added);

    // The limit: 99 rows, whatever the way in.
    c.Clear();
    EXPECT_EQ(c.AddFiles(std::vector<std::string>(100, a)), 99);
    EXPECT_EQ(c.AddFile(a), AddFileResult::ListFull);
    EXPECT_EQ(c.AddFolder(root.string()), 0);
    EXPECT_EQ(c.Totals().files, 99);

    // Dragging row `from` onto row `onto` among a b c d.
    struct Drop {
        int from, onto;
        const char* order;
        int selected;
    };
    for (const Drop& k : std::vector<Drop>{{0, 2, "bacd", 1}, {3, 0, "dabc", 0}, {0, 3, "bcda", 3},
                                           {2, 3, "abdc", 3}, {1, 1, "abcd", 1}, {3, 3, "abcd", 3},
                                           {4, 0, "abcd", -1}, {0, -1, "abcd", -1}}) {
        SCOPED_TRACE(std::to_string(k.from) + " onto " + std::to_string(k.onto));
        c.Clear();
        for (const char* n : {"a.wav", "b.wav", "sub/c.wav", "sub/deeper/d.wav"}) c.AddFile((root / n).string());
        EXPECT_EQ(c.DropRowOnto(k.from, k.onto), k.selected);
        EXPECT_EQ(Names(c), k.order);
    }
    EXPECT_EQ(c.MoveUp(0), -1);
    EXPECT_EQ(c.MoveDown(3), -1);
    EXPECT_EQ(c.MoveUp(2), 1);
    EXPECT_EQ(Names(c), "acbd");
    EXPECT_EQ(c.MoveDown(0), 1);
    EXPECT_EQ(Names(c), "cabd");
    EXPECT_TRUE(c.Remove(1));
    EXPECT_FALSE(c.Remove(3));
    EXPECT_EQ(Names(c), "cbd");
    c.SetImageIndex(0, kImageIndexBurned);
    EXPECT_EQ(c.Row(0).imageIndex, 1);
}

// Totals: time of bytes div 2352 sectors, size, file count; orange from
// 76:00:00, the Start question from 79:00:00.
TEST(BurnCompilation, TotalsAndTheirEdges) {
    TempDir dir;
    struct Case {
        std::uint64_t dataBytes;
        const char* time;
        bool orange, ask;
    };
    const std::vector<Case> cases = {
        {341999ull * 2352, "75:59:74", false, false},
        {342000ull * 2352 - 4, "75:59:74", false, false},  // 4 bytes short of the next sector
        {342000ull * 2352, "76:00:00", true, false},
        {355499ull * 2352, "78:59:74", true, false},
        {355500ull * 2352, "79:00:00", true, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.time);
        BurnCompilation c;
        ASSERT_EQ(c.AddFile(HandWav(dir.Path() / "long.wav", 44100, 2, k.dataBytes)), AddFileResult::Added);
        const CompilationTotals t = c.Totals();
        EXPECT_EQ(t.bytes, k.dataBytes);
        EXPECT_EQ(t.timeText, k.time);
        EXPECT_EQ(t.tooLong, k.orange);
        EXPECT_EQ(t.askBeforeStart, k.ask);
    }
    BurnCompilation c;
    c.AddFile(SectorsWav(dir.Path() / "a.wav", 1000));
    c.AddFile(SectorsWav(dir.Path() / "b.wav", 2000));
    const CompilationTotals t = c.Totals();
    EXPECT_EQ(t.files, 2);
    EXPECT_EQ(t.sectors, 3000u);
    EXPECT_EQ(PanelText("Время", t.timeText), "Время:  00:40:00");
    EXPECT_EQ(PanelText("Размер", t.sizeText), "Размер:  6.73 Mb");  // 7056000 / 1048576 = 6.729
    EXPECT_EQ(c.TrackStarts(), (std::vector<std::uint32_t>{0, 1000, 3000}));
    EXPECT_EQ(BurnCompilation().Totals().timeText, "00:00:00");
    EXPECT_EQ(SectorsMsfText(100 * 4500 + 1 * 75 + 7), "100:01:07");
    EXPECT_EQ(MebibytesText(12 * 1048576 + 524288), "12.50 Mb");
    EXPECT_EQ(kTooLongColorBgr, 0x649AECu);  // red EC, green 9A, blue 64
}

// A project file is the rows' paths, CR LF after each; loading clears the
// list, adds what is there and reports what is not. The last project follows
// the remember flag.
TEST(BurnProjectFile, SavesAndLoadsByteForByte) {
    TempDir dir;
    const std::string d = dir.Slash();
    const std::string one = SectorsWav(dir.Path() / "one.wav", 100);
    const std::string two = SectorsWav(dir.Path() / "two.wav", 200);
    const std::string cyr = SectorsWav(dir.Path() / "Кириллица.wav", 300);
    BurnCompilation c;
    c.AddFiles({two, one, cyr});
    ASSERT_EQ(c.Count(), 3);
    const std::string project = d + "list.svp";
    ASSERT_TRUE(SaveProject(project, c));
    EXPECT_EQ(ReadFileBytes(project), d + "two.wav\r\n" + d + "one.wav\r\n" + d + "Кириллица.wav\r\n");
    EXPECT_FALSE(fs::exists(project + ".tmp"));

    fs::remove(two);
    BurnCompilation loaded;
    loaded.AddFile(one);  // cleared by the load
    const ProjectLoadReport r = LoadProject(project, loaded);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(r.skipped, std::vector<std::string>{two});
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.Row(0).SourcePath(), one);
    EXPECT_EQ(loaded.Row(1).SourcePath(), cyr);
    EXPECT_EQ(loaded.Row(1).bytes, 300u * 2352);

    // A file of the Windows-era program: cp1251, LF or CR line ends, a
    // byte-order mark, empty lines.
    const std::string cp1251Name = "\xCA\xE8\xF0\xE8\xEB\xEB\xE8\xF6\xE0.wav";
    WriteFileBytes(dir.Path() / "old.svp", "\xEF\xBB\xBF" + d + cp1251Name + "\n\n" + one + "\r" + one);
    EXPECT_EQ(LoadProject(d + "old.svp", loaded).added, 3);
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded.Row(0).SourcePath(), cyr);
    EXPECT_EQ(loaded.Row(2).SourcePath(), one);

    // No such project: nothing changes.
    EXPECT_FALSE(LoadProject(d + "absent.svp", loaded).loaded);
    EXPECT_EQ(loaded.Count(), 3);

    // The last project.
    const std::string settingsFolder = d + "setting/";
    TWriteSettings s = TWriteSettings::Defaults();
    EXPECT_TRUE(SaveLastProject(settingsFolder, s, c));
    EXPECT_FALSE(fs::exists(settingsFolder + "burncd-last.svp"));
    s.SetRememberLastProject(true);
    loaded.Clear();
    loaded.AddFiles({cyr, one});
    EXPECT_TRUE(SaveLastProject(settingsFolder, s, loaded));
    EXPECT_EQ(ReadFileBytes(settingsFolder + "burncd-last.svp"), cyr + "\r\n" + one + "\r\n");
    BurnCompilation reopened;
    EXPECT_EQ(LoadLastProject(settingsFolder, s, reopened).added, 2);
    EXPECT_EQ(reopened.SourcePaths(), (std::vector<std::string>{cyr, one}));
    s.SetRememberLastProject(false);
    EXPECT_FALSE(LoadLastProject(settingsFolder, s, reopened).loaded);
}

// wset.dat: 280 bytes at their offsets, the defaults, reserved bytes kept, a
// short file read over the defaults, R85 when it cannot be written, and the
// settings dialog's rules.
TEST(WriteSettingsRecord, BytesDefaultsAndDialogRules) {
    svtest::UseRussianMessages();
    TempDir dir;
    const std::string folder = dir.Slash() + "setting/";
    std::string expected(280, '\0');
    expected[1] = '\xFF';  // speed Max
    expected[4] = 10;      // sectors per write
    expected[7] = 1;       // decode while writing
    TWriteSettings s = LoadWriteSettings(folder);  // no file yet
    EXPECT_TRUE(s.writeCdText);
    ASSERT_TRUE(SaveWriteSettings(folder, s));
    EXPECT_EQ(ReadFileBytes(folder + "wset.dat"), expected);
    // CD-TEXT lives beside the record; its file read back, and a line of
    // another program's (CR LF) understood.
    EXPECT_EQ(ReadFileBytes(folder + "wset-extra.txt"), "cdtext=1\n");
    s.writeCdText = false;
    ASSERT_TRUE(SaveWriteSettings(folder, s));
    EXPECT_EQ(ReadFileBytes(folder + "wset.dat"), expected);
    EXPECT_EQ(ReadFileBytes(folder + "wset-extra.txt"), "cdtext=0\n");
    EXPECT_FALSE(LoadWriteSettings(folder).writeCdText);
    WriteFileBytes(folder + "wset-extra.txt", "other=5\r\ncdtext=0\r\n");
    EXPECT_FALSE(LoadWriteSettings(folder).writeCdText);
    s.writeCdText = true;

    s.SetDriveEntry(3);
    s.SetWriteSpeed(16);
    s.SetThreadPriority(2);
    s.SetSectorsPerWrite(0x1234);
    s.SetAskBeforeDiscOperations(true);
    s.SetDecodeWhileWriting(false);
    s.SetPlaySoundAtEnd(true);
    s.SetRememberLastProject(true);
    s.SetImageModeAtStart(true);
    s.SetSoundFile("/snd/готово.wav");
    s.SetEjectAfterBurning(true);
    s.SetWriteImageCue(true);
    expected = std::string(280, '\0');
    expected[0] = 3;
    expected[1] = 16;
    expected[2] = 2;
    expected[4] = 0x34;
    expected[5] = 0x12;
    expected[6] = 1;
    expected[12] = 1;
    expected[13] = 1;
    expected[14] = 1;
    expected[275] = 1;
    expected[276] = 1;
    // "/snd/" 5 bytes, six Cyrillic letters 12, ".wav" 4: 21 bytes from offset 15.
    expected.replace(15, 21, "/snd/\xD0\xB3\xD0\xBE\xD1\x82\xD0\xBE\xD0\xB2\xD0\xBE.wav");
    ASSERT_TRUE(SaveWriteSettings(folder, s));
    EXPECT_EQ(ReadFileBytes(folder + "wset.dat"), expected);

    // Reserved bytes survive a load and a save; a longer file is read as far
    // as 280 bytes.
    std::string withReserved = expected;
    for (std::size_t at : {3u, 8u, 9u, 10u, 11u, 277u, 278u, 279u}) withReserved[at] = '\xAA';
    WriteFileBytes(folder + "wset.dat", withReserved + "tail");
    ASSERT_TRUE(SaveWriteSettings(folder, LoadWriteSettings(folder)));
    EXPECT_EQ(ReadFileBytes(folder + "wset.dat"), withReserved);

    // A three-byte file: its bytes, the defaults after them.
    WriteFileBytes(folder + "wset.dat", std::string("\x05\x04\x01", 3));
    const TWriteSettings shortFile = LoadWriteSettings(folder);
    EXPECT_EQ(shortFile.DriveEntry(), 5);
    EXPECT_EQ(shortFile.WriteSpeed(), 4);
    EXPECT_EQ(shortFile.ThreadPriority(), 1);
    EXPECT_EQ(shortFile.SectorsPerWrite(), 10);
    EXPECT_TRUE(shortFile.DecodeWhileWriting());
    EXPECT_EQ(shortFile.DriveEntryIn(6), 5);
    EXPECT_EQ(shortFile.DriveEntryIn(5), 0);

    // A folder that cannot be made (a file stands in its way): R85.
    WriteFileBytes(dir.Path() / "blocked", "x");
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectMessage("Не могу сохранить настройки!");
    EXPECT_FALSE(SaveWriteSettingsOrWarn(dir.Slash() + "blocked/setting/", s, dialogs));
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(dialogs.Icons(), std::vector<MessageIcon>{MessageIcon::Warning});

    // The dialog.
    struct Text {
        const char* text;
        std::uint16_t stored;
    };
    for (const Text& k : std::vector<Text>{{"abc", 38}, {"", 38}, {"26", 26}, {"999", 999}, {"1000", 38},
                                           {"-5", 38}, {" 7", 38}, {"0", 0}})
        EXPECT_EQ(SectorsPerWriteFromText(k.text), k.stored) << '"' << k.text << '"';
    const std::vector<std::pair<std::uint8_t, int>> speeds = {{255, 0}, {0, 0}, {32, 1}, {16, 2},
                                                              {8, 3},   {4, 4}, {1, 5},  {24, 0}};
    for (const auto& [speed, item] : speeds) EXPECT_EQ(WriteSpeedItem(speed), item) << int{speed};
    EXPECT_EQ(WriteSpeedItems().at(5), "1x");
    EXPECT_EQ(WriteSpeedOfItem(3), 8);
    EXPECT_EQ(WriteSpeedOfItem(0), 255);
    EXPECT_EQ(PriorityItems().at(1), "IDLE");
    EXPECT_EQ(PriorityItem(7), 0);
    EXPECT_EQ(PriorityOfItem(2), 2);

    TWriteSettings edited = TWriteSettings::Defaults();
    WriteSettingsDialogValues v = DialogValuesOf(edited);
    EXPECT_EQ(v.speedItem, 0);
    EXPECT_EQ(v.sectorsText, "10");
    EXPECT_TRUE(v.decodeWhileWriting);
    v.speedItem = 4;
    v.priorityItem = 1;
    v.sectorsText = "abc";
    v.ejectAfterBurning = true;
    v.writeImageCue = true;
    v.soundFile = "/a/b.wav";
    EXPECT_TRUE(StoreDialogValues(v, edited));
    expected = std::string(280, '\0');
    expected[1] = 4;
    expected[2] = 1;
    expected[4] = 38;
    expected[7] = 1;
    expected.replace(15, 8, "/a/b.wav");
    expected[275] = 1;
    expected[276] = 1;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(edited.Data()), 280), expected);
    // A sound file path longer than the field is refused, not cut.
    v.soundFile = "/" + std::string(259, 'x');
    EXPECT_FALSE(StoreDialogValues(v, edited));
    EXPECT_EQ(edited.SoundFile(), "/a/b.wav");
}

// The image's cue file for a two-track image of 1000 and 2000 sectors: its
// text written out by hand, and the project's CUE parser reading it back.
TEST(ImageCueFile, TextAndParsedBack) {
    svtest::UseRussianMessages();
    TempDir dir;
    const std::string d = dir.Slash();
    BurnCompilation c;
    c.AddFiles({SectorsWav(dir.Path() / "first.wav", 1000), SectorsWav(dir.Path() / "second.wav", 2000)});
    ASSERT_EQ(c.Count(), 2);
    const std::string text =
        "FILE \"image.wav\" WAVE\n"
        "\tTRACK 01 AUDIO\n"
        "\t\tINDEX 01 00:00:00\n"
        "\tTRACK 02 AUDIO\n"
        "\t\tINDEX 01 00:13:25\n";
    EXPECT_EQ(ImageCueText("image.wav", c.TrackStarts(), c.Count()), text);

    // An existing image: No asks for another name, Yes deletes it.
    const std::string image = d + "image.wav";
    WriteFileBytes(image, "old");
    WriteFileBytes(d + "image.cue", "old cue, longer than the new one would be if it were not replaced at all");
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectYesNo("Файл существует", false).ExpectYesNo("Файл существует", true);
    int asked = 0;
    std::string chosen;
    EXPECT_TRUE(ChooseImageFile(
        dialogs, [&]() -> std::optional<std::string> { return ++asked, image; }, true, c, chosen));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(chosen, image);
    EXPECT_FALSE(fs::exists(image));
    EXPECT_EQ(ReadFileBytes(d + "image.cue"), text);
    EXPECT_TRUE(dialogs.Done());

    // The writer's image of the two tracks, then the sheet read back.
    svtest::WriteCdWav(image, std::vector<std::uint8_t>(3000 * 2352, 0));
    std::string error;
    const auto disc = LoadCueSheet(d + "image.cue", error);
    ASSERT_TRUE(disc) << error;
    ASSERT_EQ(disc->Tracks().size(), 2u);
    EXPECT_EQ(disc->Tracks()[0].startLba, 0);
    EXPECT_EQ(disc->Tracks()[1].startLba, 1000);
    EXPECT_TRUE(disc->Tracks()[1].Audio());
    EXPECT_EQ(disc->Leadout(), 3000);

    // Cancel ends it; a cue file that cannot be written shows R78.
    EXPECT_FALSE(ChooseImageFile(dialogs, [] { return std::optional<std::string>(); }, true, c, chosen));
    dialogs.ExpectMessage("Неполучилось открыть .cue файл");
    EXPECT_FALSE(ChooseImageFile(
        dialogs, [&] { return std::optional<std::string>(d + "no/such/folder/x.wav"); }, true, c, chosen));
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(dialogs.Icons().back(), MessageIcon::Warning);
    // Without write-cue no cue file appears.
    EXPECT_TRUE(ChooseImageFile(dialogs, [&] { return std::optional<std::string>(d + "plain.wav"); }, false, c,
                                chosen));
    EXPECT_FALSE(fs::exists(d + "plain.cue"));
}
