// Disc images through a virtual drive into the disc record: the table of
// contents the drive reports and the layout the track view gets, for a plain
// audio CD, an enhanced CD, a disc whose first track starts after 150 and a
// data-only disc; and the layout rules on hand-made TOC buffers.
#include <gtest/gtest.h>
#include "support/Messages.h"

#include <cstdio>
#include <fstream>
#include <functional>

#include "CdromTestSupport.h"
#include "base/Msf.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DiscRead.h"
#include "cdrom/DiscSource.h"
#include "cdrom/Toc.h"
#include "cdrom/TocReport.h"
#include "metadata/DiscId.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;

namespace {

struct Image {
    svtest::TempDir dir;
    std::string cue;
};

std::unique_ptr<Image> WriteImage(const std::string& sheet, const std::vector<std::pair<std::string, int>>& bins) {
    auto img = std::make_unique<Image>();
    std::int32_t first = 0;
    for (const auto& [name, sectors] : bins) {
        cdtest::WritePatternBin(img->dir.Path() / name, first, sectors);
        first += sectors;
    }
    img->cue = (img->dir.Path() / "disc.cue").string();
    svtest::WriteFileBytes(img->cue, sheet);
    return img;
}

// Reads the disc in drive 0 as the main window does.
DISC_INFO ReadThroughDrive(const std::string& cue, RawToc* raw = nullptr) {
    std::string error;
    auto image = LoadCueSheet(cue, error);
    EXPECT_TRUE(image) << error;
    auto rig = cdtest::MakeRig(image);
    TProgramSettings settings;
    DISC_INFO disc;
    TocBuffer toc;
    svtest::ScriptedDialogs dialogs;
    bool cacheAsked = false;
    EXPECT_TRUE(ReadDisc(*rig->cdrom, settings, disc, toc, dialogs, [&](DISC_INFO& d, const TocBuffer&) {
        cacheAsked = true;
        EXPECT_GT(d.TrackCount(), 0);
        EXPECT_EQ(d.LbaBase(), 150);
        return kNoAlbum;
    }));
    EXPECT_TRUE(cacheAsked);
    if (raw) {
        EXPECT_TRUE(ParseToc(toc, *raw));
    }
    return disc;
}

struct Want {
    std::int32_t startLba;
    std::string startMsf;
    int lengthSectors;
    bool audio;
};

void ExpectLayout(const DISC_INFO& disc, const std::vector<Want>& tracks, std::int32_t leadout) {
    ASSERT_EQ(disc.TrackCount(), tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        SCOPED_TRACE("track " + std::to_string(i + 1));
        const TRACK_INFO t = disc.TrackCopy(static_cast<int>(i));
        EXPECT_EQ(t.StartLba(), tracks[i].startLba);
        EXPECT_EQ(FormatMsf(t.StartMsf()), tracks[i].startMsf);
        EXPECT_EQ(MsfToFrames(t.LengthMsf()), tracks[i].lengthSectors);
        EXPECT_EQ(t.SizeBytes(), static_cast<std::uint32_t>(tracks[i].lengthSectors) * 2352u);
        EXPECT_EQ(t.AudioFlag(), tracks[i].audio);
        EXPECT_EQ(t.Title(), "Track " + std::to_string(disc.TrackNumber(static_cast<int>(i))));
    }
    EXPECT_EQ(disc.TrackCopy(disc.TrackCount()).StartLba(), leadout);
}

TEST(DiscLayout, PlainAudioCd) {
    auto img = WriteImage("FILE \"disc.bin\" BINARY\n"
                          "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 00 00:10:00\n    INDEX 01 00:12:00\n"
                          "  TRACK 03 AUDIO\n    INDEX 01 00:20:00\n",
                          {{"disc.bin", 2000}});
    RawToc raw;
    const DISC_INFO disc = ReadThroughDrive(img->cue, &raw);
    // The TOC carries INDEX 01 positions as absolute addresses.
    EXPECT_EQ(raw.Offsets(), (std::vector<int>{150, 900 + 150, 1500 + 150, 2000 + 150}));
    EXPECT_EQ(raw.tracks[1].Control(), 0);
    EXPECT_EQ(raw.tracks[1].Adr(), 1);
    ExpectLayout(disc, {{0, "00:02:00", 900, true}, {900, "00:14:00", 600, true}, {1500, "00:22:00", 500, true}},
                 2000);
    EXPECT_EQ(FormatMsf(disc.TrackCopy(0).EndMsf()), "00:14:00");
    EXPECT_EQ(TotalTime(disc), "00:26:50");
    EXPECT_EQ(TrackAtLba(disc, 899), 0);
    EXPECT_EQ(TrackAtLba(disc, 900), 1);
    EXPECT_EQ(TrackAtLba(disc, 1999), 2);
    EXPECT_EQ(TrackAtLba(disc, 2000), 255);
}

TEST(DiscLayout, EnhancedCdSecondSessionIsPulledBack) {
    // Two audio tracks in session 1 (3000 sectors), a data track in session 2
    // (1000 sectors); the file holds them back to back.
    auto img = WriteImage("REM SESSION 01\nFILE \"disc.bin\" BINARY\n"
                          "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 00:20:00\n"
                          "REM SESSION 02\n"
                          "  TRACK 03 MODE1/2352\n    INDEX 01 00:40:00\n",
                          {{"disc.bin", 4000}});
    RawToc raw;
    const DISC_INFO disc = ReadThroughDrive(img->cue, &raw);
    // The drive reports the data track 11400 sectors after session 1's end.
    EXPECT_EQ(raw.tracks[2].Frames(), 3000 + 11400 + 150);
    EXPECT_EQ(raw.tracks[2].Control(), 4);
    EXPECT_EQ(raw.leadout.Frames(), 3000 + 11400 + 1000 + 150);
    // The program counts the last audio track to the end of session 1 and the
    // data track from there.
    ExpectLayout(disc, {{0, "00:02:00", 1500, true}, {1500, "00:22:00", 1500, true}, {3000, "00:42:00", 1000, false}},
                 3000 + 11400 + 1000);
    EXPECT_EQ(FormatMsf(disc.TrackCopy(1).EndMsf()), "00:42:00");

    // A drive without the full TOC: its session information (format 1) says
    // where the last session begins, and the layout is the same.
    std::string error;
    VirtualDriveModel older;
    older.fullToc = false;
    auto oldRig = cdtest::MakeRig(LoadCueSheet(img->cue, error), kTransportSpti, older);
    TocBuffer toc;
    ASSERT_TRUE(oldRig->cdrom->ReadToc(toc));
    EXPECT_EQ(oldRig->Drive().Commands().back().cdb,
              (std::vector<std::uint8_t>{0x43, 2, 1, 0, 0, 0, 0, 0, 12, 0}));
    EXPECT_EQ(toc.Session(2), 1);
    EXPECT_EQ(toc.Session(3), 2);
    DISC_INFO fromOlder;
    ASSERT_TRUE(BuildLayout(toc, fromOlder, false));
    EXPECT_EQ(MsfToFrames(fromOlder.TrackCopy(1).LengthMsf()), 1500);

    // The session gap cannot be read; both sessions can.
    auto rig = cdtest::MakeRig(LoadCueSheet(img->cue, error));
    std::vector<std::uint8_t> sector(2352);
    EXPECT_TRUE(rig->cdrom->ReadSectors(2999, 1, sector.data()));
    EXPECT_EQ(sector, cdtest::PatternSector(2999));
    EXPECT_FALSE(rig->cdrom->ReadSectors(3000, 1, sector.data()));
    EXPECT_FALSE(rig->cdrom->ReadSectors(3000 + 11399, 1, sector.data()));
    rig->cdrom->SetReadCommand(7);  // any sector type: the data track's raw bytes
    EXPECT_TRUE(rig->cdrom->ReadSectors(3000 + 11400, 1, sector.data()));
    EXPECT_EQ(sector, cdtest::PatternSector(3000));
}

// CUE sheets of the kinds other rippers write, each read through a virtual
// drive. Starts and lengths are worked out by hand from the sheets: a sheet's
// INDEX 01 frame plus the silence (PREGAP, POSTGAP) before it; a later
// session starts 11400 sectors after the first session's end and 6900 after
// a later one's.
TEST(DiscLayout, CueSheetsOfOtherRippers) {
    struct Case {
        const char* what;
        std::string sheet;
        std::vector<std::pair<std::string, int>> bins;  // files of 2352-byte sectors
        std::vector<int> offsets;                         // the drive's TOC: starts, then the lead-out (absolute)
        std::vector<Want> layout;
        std::int32_t leadout;
        int firstNumber = 1;
    };
    const std::vector<Case> cases = {
        {"POSTGAP: silence after track 1 that the file does not hold",
         "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n  POSTGAP 00:02:00\n"
         " TRACK 02 AUDIO\n  INDEX 01 00:06:50\n",
         {{"disc.bin", 1000}}, {150, 800, 1300}, {{0, "00:02:00", 650, true}, {650, "00:10:50", 500, true}}, 1150},
        {"gaps appended: track 2's INDEX 00 at the end of track 1's file",
         "FILE \"01.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 00 00:03:00\n"
         "FILE \"02.bin\" BINARY\n  INDEX 01 00:00:00\n",
         {{"01.bin", 300}, {"02.bin", 200}}, {150, 450, 650}, {{0, "00:02:00", 300, true}, {300, "00:06:00", 200, true}},
         500},
        {"CR line ends and a FILE name in other letter case",
         "FILE \"DISC.BIN\" BINARY\r TRACK 01 AUDIO\r  INDEX 01 00:00:00\r TRACK 02 AUDIO\r  INDEX 01 00:04:00\r",
         {{"disc.bin", 500}}, {150, 450, 650}, {{0, "00:02:00", 300, true}, {300, "00:06:00", 200, true}}, 500},
        {"numbers from 5 are the disc's own",
         "FILE \"disc.bin\" BINARY\n TRACK 05 AUDIO\n  INDEX 01 00:00:00\n TRACK 06 AUDIO\n  INDEX 01 00:02:00\n",
         {{"disc.bin", 400}}, {150, 300, 550}, {{0, "00:02:00", 150, true}, {150, "00:04:00", 250, true}}, 400, 5},
        {"a data track after the audio in the same session keeps the audio whole",
         "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
         " TRACK 02 MODE1/2352\n  PREGAP 02:40:00\n  INDEX 01 00:01:25\n",
         {{"disc.bin", 200}}, {150, 100 + 12000 + 150, 12200 + 150},
         {{0, "00:02:00", 12100, true}, {12100, "02:43:25", 100, false}}, 12200},
        {"three sessions: 11400 sectors after the first, 6900 after the second",
         "REM SESSION 01\nFILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
         "REM SESSION 02\n TRACK 02 MODE1/2352\n  INDEX 01 00:04:00\n"
         "REM SESSION 03\n TRACK 03 MODE2/2352\n  INDEX 01 00:05:25\n",
         {{"disc.bin", 500}}, {150, 300 + 11400 + 150, 400 + 11400 + 6900 + 150, 500 + 11400 + 6900 + 150},
         {{0, "00:02:00", 300, true}, {300, "00:06:00", 100, false}, {18700, "04:11:25", 100, false}}, 18800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto img = WriteImage(c.sheet, c.bins);
        RawToc raw;
        const DISC_INFO disc = ReadThroughDrive(img->cue, &raw);
        EXPECT_EQ(raw.Offsets(), c.offsets);
        EXPECT_EQ(raw.firstTrack, c.firstNumber);
        ASSERT_EQ(disc.TrackCount(), c.layout.size());
        for (std::size_t i = 0; i < c.layout.size(); ++i) {
            const TRACK_INFO t = disc.TrackCopy(static_cast<int>(i));
            EXPECT_EQ(t.StartLba(), c.layout[i].startLba) << i;
            EXPECT_EQ(FormatMsf(t.StartMsf()), c.layout[i].startMsf) << i;
            EXPECT_EQ(MsfToFrames(t.LengthMsf()), c.layout[i].lengthSectors) << i;
            EXPECT_EQ(t.AudioFlag(), c.layout[i].audio) << i;
            EXPECT_EQ(t.Title(), "Track " + std::to_string(c.firstNumber + static_cast<int>(i)));
        }
        EXPECT_EQ(disc.TrackCopy(disc.TrackCount()).StartLba(), c.leadout);
    }
}

void Sparse(const std::filesystem::path& p, std::uint64_t bytes) {
    svtest::WriteFileBytes(p, "");
    std::filesystem::resize_file(p, bytes);
}

std::string Cue(int frames) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", frames / 4500, frames / 75 % 60, frames % 75);
    return b;
}

TEST(DiscLayout, CueImagesOfPublishedDiscs) {
    // The 22-track disc freedb knows as 370fce16, one BINARY file per track.
    const std::vector<int> plain{150,    9700,   25887,  39297,  53795,  63735,  77517,  94877,
                                 107270, 123552, 135522, 148422, 161197, 174790, 192022, 205545,
                                 218010, 228700, 239590, 255470, 266932, 288750, 303602};
    struct Case {
        std::string name;
        std::function<std::string(const std::filesystem::path&)> write;  // files, then the sheet
        std::vector<int> offsets;  // absolute track starts, then the lead-out
        std::uint32_t discId;
    };
    const Case cases[] = {
        // Gaps appended: file k runs from track k's INDEX 01 to track k+1's,
        // so it ends with track k+1's 2 s pre-gap (INDEX 00).
        {"gaps appended", [&](const std::filesystem::path& dir) {
             std::string cue;
             for (std::size_t k = 0; k + 1 < plain.size(); ++k) {
                 const int sectors = plain[k + 1] - plain[k];
                 Sparse(dir / ("t" + std::to_string(k) + ".bin"), std::uint64_t(sectors) * 2352);
                 if (k > 0) cue += "FILE \"t" + std::to_string(k) + ".bin\" BINARY\n    INDEX 01 00:00:00\n";
                 else cue += "FILE \"t0.bin\" BINARY\n  TRACK 1 AUDIO\n    INDEX 01 00:00:00\n";
                 if (k + 2 < plain.size())
                     cue += "  TRACK " + std::to_string(k + 2) + " AUDIO\n    INDEX 00 " + Cue(sectors - 150) + "\n";
             }
             return cue;
         }, plain, 0x370FCE16u},
        // The same disc with each 2 s gap as a POSTGAP and a PREGAP of 1 s,
        // neither in the files; the last track's 2 s POSTGAP ends the disc.
        {"postgap", [&](const std::filesystem::path& dir) {
             std::string cue;
             for (std::size_t k = 0; k + 1 < plain.size(); ++k) {
                 const int sectors = plain[k + 1] - plain[k] - 150;
                 Sparse(dir / ("t" + std::to_string(k) + ".bin"), std::uint64_t(sectors) * 2352);
                 cue += "FILE \"t" + std::to_string(k) + ".bin\" BINARY\n  TRACK " + std::to_string(k + 1) +
                        " AUDIO\n" + (k ? "    PREGAP 00:01:00\n" : "") + "    INDEX 01 00:00:00\n    POSTGAP " +
                        (k + 2 < plain.size() ? "00:01:00\n" : "00:02:00\n");
             }
             return cue;
         }, plain, 0x370FCE16u},
        // Hidden track one audio: 15220 sectors before INDEX 01 of track 1
        // (ad0be00d, 13 tracks, 3244 s).
        {"hidden track one", [&](const std::filesystem::path& dir) {
             const std::vector<int> s{15370, 35019, 51532, 69190, 84292, 96826, 112527, 132448, 148595, 168072,
                                      185539, 203331, 222103};
             Sparse(dir / "disc.bin", std::uint64_t(3244 * 75 - 150) * 2352);
             std::string cue = "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n";
             for (std::size_t k = 0; k < s.size(); ++k)
                 cue += (k ? "  TRACK " + std::to_string(k + 1) + " AUDIO\n" : "") + "    INDEX 01 " + Cue(s[k] - 150) + "\n";
             return cue;
         }, {15370, 35019, 51532, 69190, 84292, 96826, 112527, 132448, 148595, 168072, 185539, 203331, 222103, 243300}, 0xAD0BE00Du},
        // Enhanced CD c60af50d: 12 audio tracks, the data track (MODE1/2048,
        // a file of its own) in session 2 at 207256; lead-out 2807 s = 210525,
        // so the data track has 3269 sectors and session 1 ends at 207256 - 11400.
        {"enhanced", [&](const std::filesystem::path& dir) {
             const std::vector<int> s{150, 15687, 31841, 51016, 66616, 81352, 99559, 116070, 133243, 149997, 161710, 177832};
             Sparse(dir / "audio.bin", std::uint64_t(207256 - 11400 - 150) * 2352);
             Sparse(dir / "data.iso", 3269ull * 2048);
             std::string cue = "REM SESSION 01\nFILE \"audio.bin\" BINARY\n";
             for (std::size_t k = 0; k < s.size(); ++k)
                 cue += "  TRACK " + std::to_string(k + 1) + " AUDIO\n    INDEX 01 " + Cue(s[k] - 150) + "\n";
             return cue + "REM SESSION 02\nFILE \"data.iso\" BINARY\n  TRACK 13 MODE1/2048\n    INDEX 01 00:00:00\n";
         }, {150, 15687, 31841, 51016, 66616, 81352, 99559, 116070, 133243, 149997, 161710, 177832, 207256, 210525}, 0xC60AF50Du},
        // Mixed mode, data track 1 (MODE2/2336, 300 sectors), audio from 450 to
        // 1200: digit sums 2 + 6 = 8, 16 - 2 = 14 s, 2 tracks: 0x08000E02.
        {"mixed mode", [&](const std::filesystem::path& dir) {
             Sparse(dir / "data.bin", 300ull * 2336);
             Sparse(dir / "audio.bin", 750ull * 2352);
             return std::string("FILE \"data.bin\" BINARY\n TRACK 01 MODE2/2336\n  INDEX 01 00:00:00\n"
                                "FILE \"audio.bin\" BINARY\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n");
         }, {150, 450, 1200}, 0x08000E02u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        svtest::TempDir dir;
        svtest::WriteFileBytes(dir.Path() / "disc.cue", c.write(dir.Path()));
        RawToc raw;
        ReadThroughDrive((dir.Path() / "disc.cue").string(), &raw);
        EXPECT_EQ(raw.Offsets(), c.offsets);
        DiscToc toc{raw.Offsets(), raw.leadout.Frames()};
        toc.trackStarts.pop_back();
        EXPECT_EQ(ComputeDiscId(toc), c.discId);
    }
}


TEST(DiscLayout, CookedDataTracksAndExtensibleWaveFiles) {
    svtest::TempDir dir;
    // A MODE1/2048 track of 10 sectors (user data only), then a MODE2/2336 one of 5.
    std::string iso;
    for (int i = 0; i < 10; ++i) iso += std::string(2048, static_cast<char>('a' + i));
    svtest::WriteFileBytes(dir.Path() / "data.iso", iso);
    svtest::WriteFileBytes(dir.Path() / "xa.bin", std::string(2336 * 5, 'x'));
    // CD audio in a WAVE_FORMAT_EXTENSIBLE file (PCM sub-format), 3 sectors.
    std::string wav = "RIFF";
    auto le = [&](std::uint32_t v, int n) { for (int i = 0; i < n; ++i) wav += static_cast<char>(v >> (8 * i)); };
    le(4 + 48 + 8 + 2352 * 3, 4);
    wav += "WAVEfmt ";
    le(40, 4); le(0xFFFE, 2); le(2, 2); le(44100, 4); le(176400, 4); le(4, 2); le(16, 2);
    le(22, 2); le(16, 2); le(3, 4);
    for (int b : {0x01, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}) wav += static_cast<char>(b);
    wav += "data";
    le(2352 * 3, 4);
    wav += std::string(2352 * 3, '"');
    svtest::WriteFileBytes(dir.Path() / "audio.wav", wav);
    svtest::WriteFileBytes(dir.Path() / "disc.cue", "FILE \"data.iso\" BINARY\n TRACK 01 MODE1/2048\n  INDEX 01 00:00:00\n"
                                                    "FILE \"xa.bin\" BINARY\n TRACK 02 MODE2/2336\n  INDEX 01 00:00:00\n"
                                                    "FILE \"audio.wav\" WAVE\n TRACK 03 AUDIO\n  INDEX 01 00:00:00\n");
    std::string error;
    auto image = LoadCueSheet((dir.Path() / "disc.cue").string(), error);
    ASSERT_TRUE(image) << error;
    ASSERT_EQ(image->Tracks().size(), 3u);
    EXPECT_EQ(image->Tracks()[1].startLba, 10);
    EXPECT_EQ(image->Tracks()[2].startLba, 15);
    EXPECT_EQ(image->Leadout(), 18);
    // Sector 3 of the data track read raw: sync, header (00:02:03, mode 1), user data.
    std::vector<std::uint8_t> sector(2352);
    ASSERT_EQ(image->ReadSector(3, sector.data()), DiscImage::SectorResult::Ok);
    const std::vector<std::uint8_t> sync{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(sector.begin(), sector.begin() + 12), sync);
    EXPECT_EQ(std::vector<std::uint8_t>(sector.begin() + 12, sector.begin() + 16),
              (std::vector<std::uint8_t>{0x00, 0x02, 0x03, 0x01}));
    EXPECT_EQ(sector[16], 'd');
    EXPECT_EQ(sector[16 + 2047], 'd');
    EXPECT_EQ(sector[16 + 2048], 0);
    ASSERT_EQ(image->ReadSector(12, sector.data()), DiscImage::SectorResult::Ok);
    EXPECT_EQ(sector[15], 2);
    EXPECT_EQ(sector[2351], 'x');
    ASSERT_EQ(image->ReadSector(17, sector.data()), DiscImage::SectorResult::Ok);
    EXPECT_EQ(sector, std::vector<std::uint8_t>(2352, 0x22));
}

TEST(DiscLayout, FirstTrackAfter150) {
    auto img = WriteImage("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 00:10:00\n",
                          {{"disc.bin", 1200}});
    const DISC_INFO disc = ReadThroughDrive(img->cue);
    ExpectLayout(disc, {{150, "00:04:00", 600, true}, {750, "00:12:00", 450, true}}, 1200);

    // A PREGAP adds silence that the file does not hold.
    auto gap = WriteImage("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    PREGAP 00:03:00\n    INDEX 01 00:00:00\n",
                          {{"disc.bin", 300}});
    const DISC_INFO d2 = ReadThroughDrive(gap->cue);
    ExpectLayout(d2, {{225, "00:05:00", 300, true}}, 525);
    std::string error;
    auto rig = cdtest::MakeRig(LoadCueSheet(gap->cue, error));
    std::vector<std::uint8_t> sector(2352, 0xEE);
    EXPECT_TRUE(rig->cdrom->ReadSectors(10, 1, sector.data()));
    EXPECT_EQ(sector, std::vector<std::uint8_t>(2352, 0));
    EXPECT_TRUE(rig->cdrom->ReadSectors(225, 1, sector.data()));
    EXPECT_EQ(sector, cdtest::PatternSector(0));
}

TEST(DiscLayout, DataOnlyDisc) {
    auto img = WriteImage("FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n",
                          {{"disc.bin", 750}});
    const DISC_INFO disc = ReadThroughDrive(img->cue);
    ExpectLayout(disc, {{0, "00:02:00", 750, false}}, 750);
    EXPECT_FALSE(HasAudioTrack(disc));

    // Two data tracks in one session stay where the drive puts them.
    auto two = WriteImage("FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
                          "FILE \"b.bin\" BINARY\n  TRACK 02 MODE2/2352\n    INDEX 01 00:00:00\n",
                          {{"a.bin", 500}, {"b.bin", 400}});
    ExpectLayout(ReadThroughDrive(two->cue), {{0, "00:02:00", 500, false}, {500, "00:08:50", 400, false}}, 900);
}

TEST(DiscLayout, WaveFilesAndTheirErrors) {
    svtest::TempDir dir;
    auto wave = [&](const std::string& name, std::uint16_t channels, std::uint32_t rate, std::uint32_t bytes) {
        std::string h = "RIFF";
        auto le32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) h += static_cast<char>(v >> (8 * i)); };
        auto le16 = [&](std::uint16_t v) { h += static_cast<char>(v); h += static_cast<char>(v >> 8); };
        le32(36 + bytes);
        h += "WAVEfmt ";
        le32(16); le16(1); le16(channels); le32(rate); le32(rate * channels * 2); le16(static_cast<std::uint16_t>(channels * 2)); le16(16);
        h += "data";
        le32(bytes);
        h += std::string(bytes, '\x11');
        svtest::WriteFileBytes(dir.Path() / name, h);
    };
    wave("a.wav", 2, 44100, 2352 * 100 + 4);  // a partial last sector is left out, and said so
    wave("b.wav", 1, 22050, 400);
    svtest::WriteFileBytes(dir.Path() / "ok.cue", "FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    std::string error;
    auto image = LoadCueSheet((dir.Path() / "ok.cue").string(), error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->Leadout(), 100);
    ASSERT_EQ(image->Notes().size(), 1u);
    EXPECT_NE(image->Notes()[0].find("partial sector of 4 bytes"), std::string::npos) << image->Notes()[0];
    std::vector<std::uint8_t> s(2352);
    ASSERT_EQ(image->ReadSector(99, s.data()), DiscImage::SectorResult::Ok);
    EXPECT_EQ(s[2351], 0x11);

    const std::pair<std::string, std::string> bad[] = {
        {"FILE \"b.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", "44100 Hz"},
        {"FILE \"missing.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", "not found"},
        {"FILE \"a.wav\" WAVE\n TRACK 01 CDG\n  INDEX 01 00:00:00\n", "not supported"},
        {"FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n  INDEX 100 00:00:10\n", "line 4: INDEX numbers end at 99"},
        {"FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n",
         "line 2: track 1 holds no sector"},
        {"FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n", "no INDEX 01"},
        {"FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 03 AUDIO\n  INDEX 01 00:01:00\n", "ascend"},
        {"FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 09:00:00\n", "past"},
        {"TRACK 01 AUDIO\n", "before FILE"},
        {"REM only a comment\n", "no TRACK"},
    };
    for (const auto& [sheet, fragment] : bad) {
        svtest::WriteFileBytes(dir.Path() / "bad.cue", sheet);
        error.clear();
        EXPECT_FALSE(LoadCueSheet((dir.Path() / "bad.cue").string(), error)) << sheet;
        EXPECT_NE(error.find(fragment), std::string::npos) << error;
    }
}

// A hand-made TOC buffer: (CONTROL, absolute frames) per track, then the lead-out.
TocBuffer MakeToc(int first, const std::vector<std::pair<int, int>>& tracks, int leadout) {
    TocBuffer toc;
    auto* p = toc.Data();
    const int n = static_cast<int>(tracks.size());
    p[0] = static_cast<std::uint8_t>((2 + 8 * (n + 1)) >> 8);
    p[1] = static_cast<std::uint8_t>(2 + 8 * (n + 1));
    p[2] = static_cast<std::uint8_t>(first);
    p[3] = static_cast<std::uint8_t>(first + n - 1);
    auto put = [&](int k, int control, int number, int frames) {
        std::uint8_t* d = p + 4 + 8 * k;
        d[1] = static_cast<std::uint8_t>(0x10 | control);
        d[2] = static_cast<std::uint8_t>(number);
        const Msf m = FramesToMsf(frames);
        d[5] = m.m;
        d[6] = m.s;
        d[7] = m.f;
    };
    for (int k = 0; k < n; ++k) put(k, tracks[static_cast<std::size_t>(k)].first, first + k, tracks[static_cast<std::size_t>(k)].second);
    put(n, 0, 0xAA, leadout);
    return toc;
}

TEST(DiscLayout, ControlValuesDecideAudioOrData) {
    for (int control = 0; control < 16; ++control) {
        const bool audio = control == 0 || control == 1 || control == 2 || control == 8 || control == 9;
        EXPECT_EQ(IsAudioControl(control), audio) << control;
    }
    // CONTROL 3 and 4 in the middle of an audio disc: data, but not a second
    // session (no session gap before them), so nothing moves.
    DISC_INFO disc;
    ASSERT_TRUE(BuildLayout(MakeToc(1, {{0, 150}, {3, 1150}, {4, 2150}, {2, 3150}}, 4150), disc, false));
    EXPECT_TRUE(disc.TrackCopy(0).AudioFlag());
    EXPECT_FALSE(disc.TrackCopy(1).AudioFlag());
    EXPECT_FALSE(disc.TrackCopy(2).AudioFlag());
    EXPECT_TRUE(disc.TrackCopy(3).AudioFlag());
    EXPECT_EQ(disc.TrackCopy(2).StartLba(), 2000);
    EXPECT_EQ(disc.TrackCopy(1).SizeBytes(), 1000u * 2352u);
    // The last track is measured to the lead-out; the lead-out record has no length.
    EXPECT_EQ(MsfToFrames(disc.TrackCopy(3).LengthMsf()), 1000);
    EXPECT_EQ(disc.TrackCopy(4).SizeBytes(), 0u);
    EXPECT_EQ(disc.TrackCopy(4).StartLba(), 4000);
}

TEST(DiscLayout, TrackNumbersNotStartingAtOneAndBrokenHeaders) {
    DISC_INFO disc;
    // Tracks 3..5: three tracks, not five.
    ASSERT_TRUE(BuildLayout(MakeToc(3, {{0, 150}, {0, 450}, {0, 750}}, 1050), disc, false));
    EXPECT_EQ(disc.TrackCount(), 3);
    EXPECT_EQ(disc.TrackCopy(3).StartLba(), 900);
    EXPECT_EQ(MsfToFrames(disc.TrackCopy(2).LengthMsf()), 300);

    TocBuffer empty;
    DISC_INFO d2;
    EXPECT_FALSE(BuildLayout(empty, d2, false));
    TocBuffer reversed = MakeToc(1, {{0, 150}}, 450);
    reversed.Data()[2] = 5;  // first 5, last 1
    EXPECT_FALSE(BuildLayout(reversed, d2, false));
    EXPECT_EQ(d2.TrackCount(), 0);

    // A full disc of 99 tracks still fits the buffer and the record.
    std::vector<std::pair<int, int>> many;
    for (int i = 0; i < 99; ++i) many.push_back({0, 150 + 100 * i});
    DISC_INFO full;
    ASSERT_TRUE(BuildLayout(MakeToc(1, many, 150 + 9900), full, false));
    EXPECT_EQ(full.TrackCount(), 99);
    EXPECT_EQ(full.TrackCopy(99).StartLba(), 9900);
}

TEST(DiscLayout, AlbumCacheKeepsTitlesAndEnds) {
    DISC_INFO disc;
    disc.Track(0).SetTitle("Intro");
    disc.Track(0).SetEndMsf(Msf{0, 5, 0});
    ASSERT_TRUE(BuildLayout(MakeToc(1, {{0, 150}, {0, 1150}}, 2150), disc, true));
    EXPECT_EQ(disc.TrackCopy(0).Title(), "Intro");
    EXPECT_EQ(disc.TrackCopy(0).EndMsf(), (Msf{0, 5, 0}));
    EXPECT_EQ(disc.TrackCopy(0).StartLba(), 0);
}

TEST(DiscLayout, ReadDiscFailures) {
    svtest::UseRussianMessages();
    auto rig = cdtest::MakeRig(nullptr);  // a drive without a disc
    TProgramSettings settings;
    DISC_INFO disc;
    disc.SetAlbum("old");
    TocBuffer toc;
    svtest::ScriptedDialogs quiet;
    // No disc: no message, the record is zeroed.
    EXPECT_FALSE(ReadDisc(*rig->cdrom, settings, disc, toc, quiet));
    EXPECT_EQ(disc.Album(), "");
    EXPECT_TRUE(quiet.Transcript().empty());
    // A drive that is not there: R02 with the error icon.
    settings.SetCurrentDrive(3);
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectMessage("Невозможно получиь доступ к приводу.");
    EXPECT_FALSE(ReadDisc(*rig->cdrom, settings, disc, toc, dialogs));
    EXPECT_TRUE(dialogs.Done());
    ASSERT_EQ(dialogs.Icons().size(), 1u);
    EXPECT_EQ(dialogs.Icons()[0], MessageIcon::Error);
}

TEST(DiscLayout, TocJsonAndDiscSource) {
    auto img = WriteImage("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "REM SESSION 02\n  TRACK 02 MODE1/2352\n    INDEX 01 00:10:00\n",
                          {{"disc.bin", 1000}});
    DiscSourceOptions options;
    std::string error;
    ASSERT_TRUE(ParseDiscSourceOptions({"--image", img->cue, "--json"}, options, error)) << error;
    EXPECT_EQ(options.image, img->cue);
    auto opened = OpenDiscSource(options, error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->device, img->cue);
    EXPECT_EQ(opened->rawToc.firstTrack, 1);
    EXPECT_EQ(opened->rawToc.tracks.size(), 2u);
    EXPECT_EQ(opened->rawToc.leadout.Frames(), 750 + 11400 + 250 + 150);
    EXPECT_EQ(TocJson(opened->disc),
              "{\n  \"tracks\": [\n"
              "    {\"number\": 1, \"start_lba\": 0, \"start_msf\": \"00:02:00\", \"length_sectors\": 750, "
              "\"size_bytes\": 1764000, \"audio\": true},\n"
              "    {\"number\": 2, \"start_lba\": 750, \"start_msf\": \"00:12:00\", \"length_sectors\": 250, "
              "\"size_bytes\": 588000, \"audio\": false}\n"
              "  ],\n  \"leadout_lba\": 12400,\n  \"total_time\": \"02:45:25\"\n}\n");

    EXPECT_FALSE(ParseDiscSourceOptions({"--demo", "--drive", "1"}, options, error));
    EXPECT_FALSE(ParseDiscSourceOptions({"--drive", "x"}, options, error));
    EXPECT_FALSE(ParseDiscSourceOptions({"--image"}, options, error));
    ASSERT_TRUE(ParseDiscSourceOptions({"--drive=2"}, options, error));
    EXPECT_EQ(options.drive, 2);
    options = {};
    options.image = img->dir.Slash() + "nothing.cue";
    EXPECT_FALSE(OpenDiscSource(options, error));
    EXPECT_NE(error.find("nothing.cue"), std::string::npos);
}

}  // namespace
