#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "app/DesktopIntegration.h"
#include "app/ProfileList.h"
#include "app/SettingsStore.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::ReadFileBytes;
using svtest::TempDir;
using svtest::WriteFileBytes;

namespace {

SettingsLocations In(const TempDir& dir) {
    return {dir.Slash(), dir.Slash() + "setting/", dir.Slash() + "Music/"};
}

}  // namespace

TEST(SettingsStore, MissingFileGivesDefaultsAndSavesExactly1208Bytes) {
    TempDir dir;
    const auto where = In(dir);
    TProgramSettings s = LoadSettingsFile(where, "set.dat");
    EXPECT_EQ(s.OutputDir(), where.musicFolder);
    EXPECT_TRUE(s.UseLameEncoder());
    EXPECT_EQ(s.LameBitrateIndex(), 12);
    EXPECT_EQ(s.LameMode(), 1);
    EXPECT_EQ(s.Volume(), 255);
    EXPECT_EQ(s.LanguageName(), "Russian");
    EXPECT_EQ(s.WindowColor(), kDefaultWindowColor);
    EXPECT_EQ(s.ControlColor(), kDefaultControlColor);
    EXPECT_EQ(s.LocalCddbDir(), where.programFolder + "LocalCDDB/");
    ASSERT_TRUE(SaveSettingsFile(where, "set.dat", s));
    const std::string bytes = ReadFileBytes(dir.Path() / "setting/set.dat");
    ASSERT_EQ(bytes.size(), 1208u);
    EXPECT_EQ(std::string(bytes.data() + 866, 8), std::string("Russian\0", 8));
    EXPECT_EQ(static_cast<unsigned char>(bytes[440]), 255);  // the fixed-up volume is what gets saved
}

TEST(SettingsStore, ShortAndLongFilesLoadAsFarAsTheyGo) {
    TempDir dir;
    const auto where = In(dir);
    std::string shortFile(600, '\0');
    std::memcpy(shortFile.data(), "/short/\0", 8);
    shortFile[270] = 3;
    WriteFileBytes(dir.Path() / "setting/set.dat", shortFile);
    TProgramSettings s = LoadSettingsFile(where, "set.dat");
    EXPECT_EQ(s.OutputDir(), "/short/");
    EXPECT_EQ(s.OutputFormat(), 3);
    EXPECT_EQ(s.ReadSpeed(), 0);  // present in the file: what the file says
    EXPECT_EQ(s.Volume(), 255);   // 0 comes up as 255
    EXPECT_EQ(s.WindowColor(), kDefaultWindowColor);  // beyond the file: zero, then the colour fix-up
    EXPECT_EQ(s.LanguageName(), "");

    std::string longFile(5000, '\0');
    longFile[272] = 8;
    WriteFileBytes(dir.Path() / "setting/long.prof", longFile);
    TProgramSettings l = LoadSettingsFile(where, "long.prof");
    EXPECT_EQ(l.ReadSpeed(), 8);
    EXPECT_EQ(l.OutputDir(), where.programFolder);  // empty folder becomes the program folder
}

TEST(SettingsStore, ReservedBytesWrittenByAFutureVersionSurvive) {
    TempDir dir;
    const auto where = In(dir);
    TProgramSettings s;
    s.ApplyDefaults(where.programFolder, where.musicFolder);
    std::string bytes(reinterpret_cast<const char*>(s.Data()), 1208);
    const int reserved[] = {441, 861, 862, 863, 1147, 1148, 1151, 1161, 1205, 1207, 429, 437};
    for (int off : reserved) bytes[static_cast<std::size_t>(off)] = static_cast<char>(0xA0 + off % 16);
    WriteFileBytes(dir.Path() / "setting/set.dat", bytes);
    TProgramSettings loaded = LoadSettingsFile(where, "set.dat");
    loaded.SetVolume(100);
    loaded.SetFormatString("%N - %T");
    ASSERT_TRUE(SaveSettingsFile(where, "set.dat", loaded));
    const std::string saved = ReadFileBytes(dir.Path() / "setting/set.dat");
    ASSERT_EQ(saved.size(), 1208u);
    for (int off : reserved) EXPECT_EQ(saved[static_cast<std::size_t>(off)], bytes[static_cast<std::size_t>(off)]) << off;
}

TEST(SettingsStore, Cp1251TextFromTheWindowsProgramReadsBack) {
    TempDir dir;
    const auto where = In(dir);
    std::string bytes(1208, '\0');
    const char folder[] = "C:\\\xcc\xf3\xe7\xfb\xea\xe0\\";  // "C:\Музыка\" in cp1251
    std::memcpy(bytes.data(), folder, sizeof folder);
    WriteFileBytes(dir.Path() / "setting/set.dat", bytes);
    EXPECT_EQ(LoadSettingsFile(where, "set.dat").OutputDir(), "C:\\Музыка\\");
}

TEST(SettingsStore, UnwritableFolderReportsFailure) {
    TempDir dir;
    auto where = In(dir);
    where.settingsFolder = "/proc/sornaval-cannot-exist/";
    TProgramSettings s;
    EXPECT_FALSE(SaveSettingsFile(where, "set.dat", s));
}

TEST(ProfileList, MissingListMeansDefaultFileAndRoundTrips) {
    TempDir dir;
    ProfileList list;
    list.Load(dir.Slash());
    EXPECT_EQ(list.CurrentIndex(), -1);
    EXPECT_EQ(list.CurrentFileName(), "set.dat");
    ASSERT_TRUE(list.Save(dir.Slash()));
    EXPECT_EQ(ReadFileBytes(dir.Path() / "prof.lst"), "-1\r\n");

    WriteFileBytes(dir.Path() / "prof.lst", "1\r\nRock.prof\r\nJazz.prof\r\n");
    list.Load(dir.Slash());
    EXPECT_EQ(list.CurrentIndex(), 1);
    EXPECT_EQ(list.CurrentFileName(), "Jazz.prof");
    WriteFileBytes(dir.Path() / "prof.lst", "7\r\nRock.prof\r\n");  // index past the list
    list.Load(dir.Slash());
    EXPECT_EQ(list.CurrentFileName(), "set.dat");
}

// The title lookup's settings live in Sornaval.conf beside the record.
TEST(SettingsStore, LookupSettingsLiveInSornavalConf) {
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = oldConfig ? oldConfig : "";
    const char* oldServer = std::getenv("SORNAVAL_MUSICBRAINZ");
    const std::string keepServer = oldServer ? oldServer : "";
    ::unsetenv("SORNAVAL_MUSICBRAINZ");
    TempDir fresh, written, stored;
    ::setenv("XDG_CONFIG_HOME", fresh.Path().c_str(), 1);
    EXPECT_EQ(StoredLookupSource(), LookupSource::MusicBrainzThenCddb);
    EXPECT_EQ(MusicBrainzServer(), "https://musicbrainz.org");
    EXPECT_EQ(CddbGreetingAddress(), "");

    // Values written by hand (an unknown source number gives the default).
    ::setenv("XDG_CONFIG_HOME", written.Path().c_str(), 1);
    WriteFileBytes(written.Path() / "Sornaval/Sornaval.conf",
                   "[Lookup]\nSource=7\n[MusicBrainz]\nServer=off\n[Cddb]\nEmail=ivan@example.org\n");
    EXPECT_EQ(StoredLookupSource(), LookupSource::MusicBrainzThenCddb);
    EXPECT_EQ(MusicBrainzServer(), "");
    EXPECT_EQ(StoredMusicBrainzServer(), "off");
    EXPECT_EQ(CddbGreetingAddress(), "ivan@example.org");
    ::setenv("SORNAVAL_MUSICBRAINZ", "http://127.0.0.1:5000", 1);
    EXPECT_EQ(MusicBrainzServer(), "http://127.0.0.1:5000");
    ::unsetenv("SORNAVAL_MUSICBRAINZ");

    ::setenv("XDG_CONFIG_HOME", stored.Path().c_str(), 1);
    StoreLookupSource(LookupSource::CddbThenMusicBrainz);
    StoreMusicBrainzServer(" http://mb.example:5000 ");
    StoreCddbGreetingAddress(" ivan@example.org ");
    EXPECT_EQ(StoredLookupSource(), LookupSource::CddbThenMusicBrainz);
    EXPECT_EQ(MusicBrainzServer(), "http://mb.example:5000");
    const std::string conf = ReadFileBytes(stored.Path() / "Sornaval/Sornaval.conf");
    for (const char* line : {"[Lookup]\nSource=3\n", "[MusicBrainz]\nServer=http://mb.example:5000\n",
                             "[Cddb]\nEmail=ivan@example.org\n"})
        EXPECT_NE(conf.find(line), std::string::npos) << line << " in\n" << conf;
    StoreMusicBrainzServer("");
    StoreCddbGreetingAddress("");
    EXPECT_EQ(MusicBrainzServer(), "https://musicbrainz.org");
    EXPECT_EQ(CddbGreetingAddress(), "");

    if (oldConfig) ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    if (oldServer) ::setenv("SORNAVAL_MUSICBRAINZ", keepServer.c_str(), 1);  // the other tests run without it
}
