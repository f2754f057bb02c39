// The main window's controller on a real drive layer: the demo disc and CUE
// images in virtual drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/CdromDriveAccess.h"
#include "app/MainForm.h"
#include "base/BuiltinMessages.h"
#include "cdrom/DemoDisc.h"
#include "RecordingView.h"
#include "support/LoopbackServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::RecordingView;
using svtest::ScriptedDialogs;
using svtest::TempDir;

namespace {

DriveEnvironment DemoOnly(IClock* clock, const std::string& virtualList = {}) {
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = true;
    env.clock = clock;
    env.virtualListPath = virtualList;
    return env;
}

class DiscStory : public ::testing::Test {
protected:
    // The window program's core on the demo disc: drive layer, window, controller.
    struct Program {
        explicit Program(DiscStory& test)
            : drives(DemoOnly(&test.clock_), nullptr, true),
              form({view, drives, test.dialogs_, test.pump_, test.Where()}) {
            form.Construct();
        }
        CdromDriveAccess drives;
        RecordingView view;
        TMainForm form;
    };

    SettingsLocations Where() const { return {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"}; }
    TempDir dir_;
    ManualClock clock_;
    ScriptedDialogs dialogs_;
    svtest::ScriptedEventPump pump_;
};

}  // namespace

TEST_F(DiscStory, TheDemoDiscFillsTheTrackView) {
    Program app(*this);
    ASSERT_EQ(app.view.drives.size(), 1u);
    EXPECT_EQ(app.view.driveIndex, 0);
    ASSERT_TRUE(app.form.DiscPresent());
    ASSERT_EQ(app.view.rows.size(), 4u);
    EXPECT_EQ(app.view.rows[0].length, "00:40:00");  // the demo's first track: 40 s
    EXPECT_TRUE(app.view.rows[0].checked);
    EXPECT_EQ(app.view.rows[0].status, "Не скопирован");
    EXPECT_EQ(app.view.trackPanel, "Треков: 4");
    EXPECT_EQ(app.view.timePanel, "Общее время: 02:10:00");  // lead-out LBA 9750
    // The identifiers, the MusicBrainz one worked out with Python's hashlib.
    EXPECT_EQ(app.view.discIds, "CDDB: 19008204\nMusicBrainz: HMkp3HooV7DxCtsykPa.T_UGA_I-");
    EXPECT_EQ(app.view.commands, CommandStatesFor(true, true));
    EXPECT_EQ(app.form.Disc().DiscIdText(), "19008204");
    EXPECT_EQ(app.form.Disc().LbaBase(), 150);

    for (const auto& e : app.form.LanguageMenu())
        if (e.name == "English") app.form.ChooseLanguage(e.tag);
    EXPECT_EQ(app.view.rows[0].status, "Not copied");
    EXPECT_EQ(app.view.trackPanel, "Tracks: 4");

    app.form.DriveInfoCommand();
    ASSERT_FALSE(app.view.driveInfo.empty());
    EXPECT_NE(app.view.driveInfo[0].find("SORNAVAL"), std::string::npos);
}

TEST_F(DiscStory, TitlesComeBackFromTheAlbumCacheAfterARestart) {
    {
        Program app(*this);
        app.form.ArtistEdited("Демо");
        app.form.AlbumEdited("Первый альбом");
        app.form.RenameTrackCommand(1, "вторая песня, ещё одна");
        app.form.ChangeCase(TMainForm::CaseChange::CapitaliseWords);
        EXPECT_EQ(app.view.rows[1].caption, "Вторая Песня, Ещё Одна");
        app.form.TrackChecked(2, false);
        EXPECT_EQ(app.view.rows[2].status, "Cкопирован");
        app.form.Shutdown();
    }
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "setting/albums/419463684.dat"));  // 0x19008204
    Program app(*this);
    EXPECT_EQ(app.view.artist, "Демо");
    EXPECT_EQ(app.view.album, "Первый альбом");
    ASSERT_EQ(app.view.rows.size(), 4u);
    EXPECT_EQ(app.view.rows[1].caption, "Вторая Песня, Ещё Одна");
    EXPECT_EQ(app.view.rows[0].length, "00:40:00");  // layout kept while titles came from the cache
    EXPECT_EQ(app.view.artists, std::vector<std::string>{"Демо"});
    // The local database written beside the cache was scanned for artists.
    ASSERT_GE(app.view.scans.size(), 2u);
    EXPECT_EQ(app.view.scans.front(), (std::pair<int, int>{-1, 1}));
    EXPECT_EQ(app.view.scans.back(), (std::pair<int, int>{0, -1}));
}

TEST_F(DiscStory, InsertingAndRemovingADiscRefreshesOncePerChange) {
    Program app(*this);
    auto drive = app.drives.Cdrom()->VirtualDriveAt(0);
    ASSERT_TRUE(drive);
    app.form.Poll();  // first poll learns that the disc is ready
    const int fills = app.view.fills;
    app.form.Poll();
    app.form.Poll();
    EXPECT_EQ(app.view.fills, fills);
    drive->RemoveDisc();
    app.form.Poll();
    EXPECT_FALSE(app.form.DiscPresent());
    EXPECT_TRUE(app.view.rows.empty());
    EXPECT_FALSE(app.view.commands.grab);
    EXPECT_TRUE(app.view.commands.eject);
    const int afterRemove = app.view.fills;
    app.form.Poll();
    EXPECT_EQ(app.view.fills, afterRemove);
    drive->InsertDisc(MakeDemoDisc());
    app.form.Poll();
    EXPECT_TRUE(app.form.DiscPresent());
    EXPECT_EQ(app.view.rows.size(), 4u);
}

TEST_F(DiscStory, ImagesAreToldApartByNameClosedAgainAndABadOneIsReported) {
    // Two one-track CUE images of two seconds of silence.
    svtest::WriteFileBytes(dir_.Path() / "one.bin", std::string(2352 * 150, '\0'));
    for (const char* name : {"one.cue", "two.cue"})
        svtest::WriteFileBytes(dir_.Path() / name,
                               std::string(std::string(name) == "two.cue" ? "TITLE \"Second Album\"\n" : "") +
                                   "FILE \"one.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    const auto list = dir_.Path() / "setting/virtual.lst";
    std::filesystem::create_directories(dir_.Path() / "setting");
    CdromDriveAccess drives(DemoOnly(&clock_, list.string()), nullptr, true);
    RecordingView view;
    TMainForm form({view, drives, dialogs_, pump_, Where()});
    form.Construct();
    EXPECT_FALSE(view.commands.closeImage);  // the demo disc is no image
    ASSERT_TRUE(form.OpenImageCommand((dir_.Path() / "one.cue").string()));
    ASSERT_TRUE(form.OpenImageCommand((dir_.Path() / "two.cue").string()));
    EXPECT_EQ(view.drives, (std::vector<std::string>{"SORNAVAL Demo disc drive", "SORNAVAL Disc image — one.cue",
                                                     "SORNAVAL Disc image — two.cue (Second Album)"}));
    EXPECT_EQ(view.driveIndex, 2);
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].length, "00:02:00");
    EXPECT_TRUE(view.commands.closeImage);

    // Closing the current image drops it from the box and from the list file.
    form.DriveBoxChanged(1);
    form.CloseImageCommand();
    EXPECT_EQ(view.drives,
              (std::vector<std::string>{"SORNAVAL Demo disc drive", "SORNAVAL Disc image — two.cue (Second Album)"}));
    EXPECT_EQ(form.Settings().CurrentDrive(), 0);
    EXPECT_EQ(view.rows.size(), 4u);  // the demo disc again
    EXPECT_EQ(svtest::ReadFileBytes(list), (dir_.Path() / "two.cue").string() + "\n");

    dialogs_.ExpectMessage("");
    EXPECT_FALSE(form.OpenImageCommand((dir_.Path() / "missing.cue").string()));
    EXPECT_TRUE(dialogs_.Done());
    EXPECT_EQ(view.drives.size(), 2u);
}

TEST_F(DiscStory, GrabbingTheCheckedTracksToWavMarksThemDone) {
    Program app(*this);
    app.form.ArtistEdited("Demo");
    app.form.AlbumEdited("Sines");
    app.form.TrackChecked(1, false);
    app.form.TrackChecked(3, false);
    std::filesystem::create_directories(dir_.Path() / "Music");
    const GrabResult result = app.form.Grab(GrabSender::WavButton);
    ASSERT_TRUE(result.ran) << result.refusal;
    EXPECT_EQ(result.rip.requested, 2);
    EXPECT_EQ(result.rip.written, 2);
    ASSERT_EQ(result.rip.files.size(), 2u);
    for (int track : {0, 2}) {
        const auto t = app.form.Disc().TrackCopy(track);
        EXPECT_TRUE(t.DoneFlag()) << track;
        EXPECT_FALSE(app.view.rows[static_cast<std::size_t>(track)].checked) << track;
        EXPECT_EQ(app.view.rows[static_cast<std::size_t>(track)].image, 2) << track;
    }
    EXPECT_FALSE(app.form.Disc().TrackCopy(1).DoneFlag());
    EXPECT_EQ(std::filesystem::file_size(result.rip.files[0]), 40u * 75 * 2352 + 48);  // 40 s and the header
    EXPECT_NE(result.rip.files[0].find("/Music/Demo/Sines/"), std::string::npos);
    EXPECT_EQ(app.form.Settings().OutputFormat(), 1);  // restored after the grab
    EXPECT_FALSE(app.form.Settings().EncodeFlag());
    EXPECT_EQ(app.form.State(), MainState::msIdle);
    EXPECT_EQ(app.view.selected, (std::vector<int>{0, 2}));
    // The caption names the track being read, and the product alone afterwards.
    const auto& shown = app.view.captions;
    for (const char* c : {"Sornaval v3.4 - Track 1", "Sornaval v3.4 - Track 3"})
        EXPECT_NE(std::find(shown.begin(), shown.end(), c), shown.end()) << c;
    EXPECT_EQ(app.view.caption, "Sornaval v3.4");
    EXPECT_EQ(app.view.applicationTitle, "Sornaval v3.4");
    EXPECT_EQ(app.view.statusMessage, "Записано треков: 2 из 2, в папку " + dir_.Slash() + "Music/");
    // Checked again, a grabbed track is still shown as copied; the others are to copy.
    app.form.SelectAll(true);
    EXPECT_EQ(app.view.rows[0].status, sv::kRussianMessages[4]);
    EXPECT_EQ(app.view.rows[1].status, sv::kRussianMessages[3]);
}

TEST_F(DiscStory, WithoutTheCacheFileTheLocalDatabaseSuppliesTheTitlesOnTheDrivesTiming) {
    // An entry of the local database without titles for tracks 2 and 4.
    std::filesystem::create_directories(dir_.Path() / "LocalCDDB/rock");
    svtest::WriteFileBytes(dir_.Path() / "LocalCDDB/rock/19to19",
                           "# xmcd\r\nDISCID=19008204\r\nDTITLE=Кино / Группа крови\r\n"
                           "TTITLE0=Группа крови\r\nTTITLE2=Спокойная ночь\r\n");
    // The demo disc's tracks start at absolute frames 150, 3150, 5400 and 8025,
    // the lead-out at 9900: each track ends where the next one starts.
    const std::vector<Msf> ends{{0, 42, 0}, {1, 12, 0}, {1, 47, 0}, {2, 12, 0}};
    const std::vector<std::string> captions{"Группа крови", "Track 2", "Спокойная ночь", "Track 4"};
    for (int start = 0; start < 2; ++start) {  // from the local database, then from the album cache it fed
        Program app(*this);
        EXPECT_EQ(app.view.artist, "Кино");
        EXPECT_EQ(app.view.album, "Группа крови");
        ASSERT_EQ(app.view.rows.size(), 4u);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(app.view.rows[static_cast<std::size_t>(k)].caption, captions[static_cast<std::size_t>(k)]);
            EXPECT_EQ(app.form.Disc().TrackCopy(k).EndMsf(), ends[static_cast<std::size_t>(k)]) << start << k;
        }
        app.form.Shutdown();
        EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "setting/albums/419463684.dat"));
    }
}

TEST_F(DiscStory, LookupWithSeveralMatchesAppliesTheChosenOneToTheWindow) {
    svtest::LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    server.Reply(svtest::HttpReply("211 Found inexact matches, list follows (until terminating `.')\r\n"
                                   "rock 19008204 Кино / Группа крови\r\n"
                                   "misc 19008204 Other / Thing\r\n.\r\n"));
    server.Reply(svtest::HttpReply("210 misc 19008204 CD database entry follows (until terminating `.')\r\n"
                                   "# xmcd\r\nDISCID=19008204\r\nDTITLE=Other / Thing\r\nDYEAR=1988\r\n"
                                   "TTITLE0=First\r\nTTITLE1=Second\r\nTTITLE2=Third\r\nTTITLE3=Fourth\r\n.\r\n"));
    Program app(*this);
    app.form.Settings().SetCddbServer("127.0.0.1:" + std::to_string(server.Port()));
    app.form.Settings().SetCddbTimeoutMs(5000);
    dialogs_.ExpectChoice("", 1);
    app.form.LookupCommand();
    EXPECT_TRUE(dialogs_.Done());
    EXPECT_EQ(app.view.artist, "Other");
    EXPECT_EQ(app.view.album, "Thing");
    ASSERT_EQ(app.view.rows.size(), 4u);
    EXPECT_EQ(app.view.rows[3].caption, "Fourth");
    EXPECT_EQ(app.form.Disc().Year(), "1988");
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "setting/albums/419463684.dat"));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("cddb+query+19008204+4+150+3150+5400+8025+132"), std::string::npos);
    EXPECT_NE(requests[1].find("cddb+read+misc+19008204"), std::string::npos);
}

TEST_F(DiscStory, ALookupWaitingForItsServerKeepsConflictingCommandsOffUntilStopGivesItUp) {
    svtest::LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    server.AddConnection({svtest::ServerStep::Hang()});  // accepts the query, never answers
    Program app(*this);
    app.form.Settings().SetCddbServer("127.0.0.1:" + std::to_string(server.Port()));
    app.form.Settings().SetCddbTimeoutMs(30000);
    std::filesystem::create_directories(dir_.Path() / "Music");
    bool busy = false;
    CommandStates during;
    GrabResult nestedGrab;
    pump_.At(pump_.Calls() + 3, [&] {  // the user clicks around while the lookup waits
        busy = app.form.Busy();
        during = app.view.commands;
        app.form.LookupCommand();
        nestedGrab = app.form.Grab(GrabSender::WavButton);
        app.form.Eject();
        app.form.RefreshCommand();
        app.form.Stop();
    });
    const auto started = std::chrono::steady_clock::now();
    app.form.LookupCommand();
    // Stop ended the wait long before the server's 30 s, and no retry question came.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_TRUE(dialogs_.Done());
    EXPECT_TRUE(busy);
    EXPECT_FALSE(during.grab || during.lookup || during.eject || during.settings || during.idle || during.driveBox);
    EXPECT_TRUE(during.stop);
    EXPECT_EQ(server.Connections(), 1);  // the nested lookup sent nothing
    EXPECT_FALSE(nestedGrab.ran);
    EXPECT_EQ(app.drives.Tray(), TrayState::DoorClosedIdle);  // not ejected
    EXPECT_FALSE(app.form.Busy());
    EXPECT_EQ(app.view.commands, CommandStatesFor(true, true));
}

TEST_F(DiscStory, AMissingMusicFolderSendsTheUserToTheSettingsWithoutChangingTheGrab) {
    Program app(*this);
    app.form.Settings().SetOutputDir(dir_.Slash() + "gone/");
    for (int i = 1; i < 4; ++i) app.form.TrackChecked(i, false);
    const std::string music = dir_.Slash() + "chosen/";
    app.view.editSettings = [&](TProgramSettings& s) {
        std::filesystem::create_directories(music);
        s.SetOutputDir(music);
        s.SetOutputFormat(3);  // the dialog stores its Ogg tab here
    };
    dialogs_.ExpectMessage("gone");  // R14 names the missing folder
    const GrabResult result = app.form.Grab(GrabSender::WavButton);
    ASSERT_TRUE(result.ran) << result.refusal;
    ASSERT_EQ(result.rip.files.size(), 1u);
    EXPECT_EQ(result.rip.files[0].rfind(music, 0), 0u);
    EXPECT_NE(result.rip.files[0].find(".wav"), std::string::npos);  // still the WAV grab
    EXPECT_TRUE(dialogs_.Done());
}

TEST_F(DiscStory, TheWholeDiscGoesIntoOneWavWithItsCueSheet) {
    Program app(*this);
    std::filesystem::create_directories(dir_.Path() / "Music");
    app.form.AlbumEdited("Demo");
    app.form.Settings().SetRipCueSheet(true);
    dialogs_.ExpectMessage("");  // the completion message
    const WholeDiscResult result = app.form.GrabWholeDisc(WholeDiscSender::WavMenu);
    ASSERT_TRUE(result.written) << result.refusal << result.failureMessage;
    EXPECT_EQ(std::filesystem::file_size(result.file), 9750u * 2352 + 48);
    const std::string cue = svtest::ReadFileBytes(result.cueFile);
    EXPECT_NE(cue.find("TRACK 04 AUDIO"), std::string::npos);
    EXPECT_NE(cue.find("INDEX 01 01:45:00"), std::string::npos);  // track 4 at LBA 7875 of the file
    EXPECT_EQ(app.form.Settings().OutputFormat(), 1);  // restored
    EXPECT_EQ(app.form.State(), MainState::msIdle);
    EXPECT_EQ(app.view.caption, "Sornaval v3.4");
}

TEST_F(DiscStory, WhatTheAlbumEditorWroteIsReadBackNotOverwritten) {
    Program app(*this);
    app.form.ArtistEdited("Before");
    app.form.AlbumEdited("Album");
    app.form.BeforeAlbumEditor();  // the disc as the window has it is in the cache now
    DISC_INFO stored;
    TagBlocks tags;
    ASSERT_TRUE(app.form.Albums().LoadAlbum(stored, tags, app.form.Disc().DiscId()));
    EXPECT_EQ(stored.Artist(), "Before");
    stored.SetArtist("Edited");  // what the editor does to the file
    ASSERT_TRUE(app.form.Albums().SaveAlbum(stored, tags, stored.Artist(), stored.Album(), nullptr));
    app.form.AfterAlbumEditor();
    EXPECT_EQ(app.view.artist, "Edited");
    EXPECT_EQ(app.form.Disc().Artist(), "Edited");
    EXPECT_NE(std::find(app.view.artists.begin(), app.view.artists.end(), "Edited"), app.view.artists.end());
}

TEST_F(DiscStory, ADiscNobodyKnowsShowsItsOwnCdTextUntilTheCacheKnowsBetter) {
    svtest::WriteFileBytes(dir_.Path() / "text.bin", std::string(2352 * 300, '\0'));
    svtest::WriteFileBytes(dir_.Path() / "text.cue",
                           "PERFORMER \"Various\"\nTITLE \"Café Songs\"\nFILE \"text.bin\" BINARY\n"
                           "  TRACK 01 AUDIO\n    TITLE \"Première\"\n    PERFORMER \"Various\"\n    INDEX 01 00:00:00\n"
                           "  TRACK 02 AUDIO\n    TITLE \"Second\"\n    PERFORMER \"Guest\"\n    INDEX 01 00:02:00\n");
    Program app(*this);  // no CDDB server is asked: none is set up
    ASSERT_TRUE(app.form.OpenImageCommand((dir_.Path() / "text.cue").string()));
    EXPECT_EQ(app.view.artist, "Various");
    EXPECT_EQ(app.view.album, "Café Songs");
    ASSERT_EQ(app.view.rows.size(), 2u);
    EXPECT_EQ(app.view.rows[0].caption, "Première");
    EXPECT_EQ(app.view.rows[1].caption, "Guest / Second");
    // The tags a grab writes carry each track's own performer and bare title.
    EXPECT_EQ(app.form.Tags().Block(1).Artist(), "Guest");
    EXPECT_EQ(app.form.Tags().Block(1).Title(), "Second");
    EXPECT_EQ(app.form.Tags().Block(0).Artist(), "Various");

    // Once the album cache holds the disc, its titles win over the disc's own.
    app.form.RenameTrackCommand(0, "Renamed");
    app.form.RefreshCommand();
    ASSERT_EQ(app.view.rows.size(), 2u);
    EXPECT_EQ(app.view.rows[0].caption, "Renamed");
    EXPECT_EQ(app.view.rows[1].caption, "Guest / Second");
}

TEST_F(DiscStory, TheFlacMenuGrabsALosslessFileWithTheTitles) {
    Program app(*this);
    app.form.ArtistEdited("Demo");
    app.form.AlbumEdited("Sines");
    for (int track : {1, 2, 3}) app.form.TrackChecked(track, false);
    std::filesystem::create_directories(dir_.Path() / "Music");
    const GrabResult result = app.form.Grab(GrabSender::FlacMenu);
    ASSERT_TRUE(result.ran) << result.refusal;
    ASSERT_EQ(result.rip.files.size(), 1u);
    const std::string& file = result.rip.files[0];
    EXPECT_EQ(std::filesystem::path(file).extension(), ".flac");
    EXPECT_EQ(app.form.Settings().OutputFormat(), 1);  // restored after the grab
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char magic[4] = {};
    EXPECT_EQ(std::fread(magic, 1, 4, f), 4u);
    std::fclose(f);
    EXPECT_EQ(std::string(magic, 4), "fLaC");
}

namespace {

// A MusicBrainz reply found by the table of contents: one release "Album" by
// "Band" whose one medium has `tracks` tracks titled "Song 1", "Song 2"...
std::string MusicBrainzRelease(int tracks) {
    std::string list;
    for (int k = 1; k <= tracks; ++k)
        list += std::string(k > 1 ? "," : "") + R"({"position":)" + std::to_string(k) + R"(,"title":"Song )" +
                std::to_string(k) + R"(","length":1000})";
    const std::string body = R"({"release-count":1,"releases":[{"id":"r1","title":"Album","date":"2001","artist-credit":)"
                             R"([{"name":"Band","joinphrase":"","artist":{"id":"b1","name":"Band"}}],"media":[{"position":1,)"
                             R"("format":"CD","track-count":)" + std::to_string(tracks) + R"(,"tracks":[)" + list + "]}]}]}";
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

TEST_F(DiscStory, AnUnnamedDiscIsLookedUpAsItIsInsertedUnlessTheUserGetsThereFirst) {
    svtest::LoopbackServer musicBrainz;
    ASSERT_TRUE(musicBrainz.Ok());
    musicBrainz.Reply(MusicBrainzRelease(4));  // the demo disc
    musicBrainz.Reply(MusicBrainzRelease(2));  // the image opened later
    const TempDir config;
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keptConfig = oldConfig ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);  // the default source: MusicBrainz first
    ::setenv("SORNAVAL_MUSICBRAINZ", ("http://127.0.0.1:" + std::to_string(musicBrainz.Port())).c_str(), 1);
    CdromDriveAccess drives(DemoOnly(&clock_), nullptr, true);
    RecordingView view;
    TMainForm::Services services{view, drives, dialogs_, pump_, Where()};
    services.lookupOnInsertion = true;
    TMainForm form(std::move(services));
    form.Construct();
    form.WaitForInsertionLookup();
    EXPECT_TRUE(view.rows.empty() || view.rows[0].caption != "Song 1");  // nothing before the window's turn
    view.RunQueued();
    ASSERT_EQ(view.rows.size(), 4u);
    EXPECT_EQ(view.rows[3].caption, "Song 4");
    EXPECT_EQ(view.artist, "Band");
    EXPECT_EQ(view.album, "Album");
    EXPECT_EQ(view.statusMessage, "Названия из MusicBrainz");

    // Titles the user types before the answer comes are not replaced.
    svtest::WriteFileBytes(dir_.Path() / "two.bin", std::string(2352 * 300, '\0'));
    svtest::WriteFileBytes(dir_.Path() / "two.cue", "FILE \"two.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                                    "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
    ASSERT_TRUE(form.OpenImageCommand((dir_.Path() / "two.cue").string()));
    form.RenameTrackCommand(0, "Mine");
    form.WaitForInsertionLookup();
    view.RunQueued();
    EXPECT_EQ(view.rows[0].caption, "Mine");
    EXPECT_EQ(view.rows[1].caption, form.Disc().TrackCopy(1).Title());
    EXPECT_NE(view.rows[1].caption, "Song 2");
    EXPECT_NE(view.statusMessage.find("MusicBrainz"), std::string::npos);
    EXPECT_EQ(musicBrainz.Connections(), 2);
    ::setenv("SORNAVAL_MUSICBRAINZ", "off", 1);
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", keptConfig.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
