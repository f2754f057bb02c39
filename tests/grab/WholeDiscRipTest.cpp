// The whole-disc rip through a virtual drive: one WAV file byte for byte
// against the image, its CUE sheet line by line and read back as a disc
// image, one MP3 file decoded by ffmpeg, the file name, cancels, outputs and
// CUE sheets that cannot be written, and formats without an encoder.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "AudioCheck.h"
#include "RipRig.h"
#include "base/BuiltinMessages.h"
#include "cdrom/CueSheet.h"
#include "grab/WholeDiscRip.h"

namespace {

namespace fs = std::filesystem;
using riptest::FileSizeLimit;
using riptest::kTrackStarts;
using riptest::RipRig;

constexpr int kDiscSectors = kTrackStarts[3];
const char* const kDone = "Rip Complette!";

std::string R(int n) { return std::string(sv::kRussianMessages[static_cast<std::size_t>(n)]); }

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

std::uint32_t U32At(const std::string& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    return v;
}

// MM:SS:FF of a sector count, computed here independently of the program.
std::string Msf(int frames) {
    std::ostringstream s;
    auto two = [&](int v) { s << (v < 10 ? "0" : "") << v; };
    two(frames / (60 * 75));
    s << ':';
    two(frames / 75 % 60);
    s << ':';
    two(frames % 75);
    return s.str();
}

// The rig with the hooks the whole-disc rip uses recorded.
struct WholeRig : RipRig {
    explicit WholeRig(const std::string& track2Mode = "AUDIO") : RipRig(track2Mode) {
        auto& h = context->hooks;
        h.caption = [this](const std::string& text) { captions.push_back(text); };
        h.enableCommands = [this](bool on) { calls.push_back(on ? "commands on" : "commands off"); };
        h.timer = [this](bool on) { calls.push_back(on ? "timer on" : "timer off"); };
        settings.SetOutputFormat(sv::kFormatWma);  // what a grab command must restore
    }
    sv::WholeDiscResult Run(sv::WholeDiscSender sender) { return sv::RunWholeDiscGrabCommand(sender, *context); }
    std::string Out(const std::string& name) const { return OutDir() + name; }
    std::vector<std::string> captions;
};

TEST(WholeDiscRip, WavIsTheAudioSectorsByteForByteWithItsCueSheet) {
    WholeRig rig;
    rig.settings.SetRipCueSheet(true);
    rig.settings.SetSectorsPerRead(26);  // 1100 sectors: the last block holds 8
    rig.settings.SetLockTray(true);
    rig.settings.SetEjectAfterCopy(true);
    rig.settings.SetMaxPriority(true);
    rig.settings.SetShutdownAfterCopy(true);
    rig.Check({1});
    rig.dialogs.ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_EQ(rig.dialogs.Icons().back(), sv::MessageIcon::Information);
    ASSERT_TRUE(result.written);
    EXPECT_FALSE(result.failed);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.file, rig.Out("Album.wav"));

    const std::string bytes = svtest::ReadFileBytes(result.file);
    const std::size_t data = static_cast<std::size_t>(kDiscSectors) * 2352;
    ASSERT_EQ(bytes.size(), 48u + data);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(U32At(bytes, 4), data + 40);
    EXPECT_EQ(bytes.substr(40, 4), "data");
    EXPECT_EQ(U32At(bytes, 44), data) << "the data size counts only the sectors read";
    EXPECT_TRUE(bytes.substr(48) == Bytes(rig.ImageBytes(0, kDiscSectors)));

    // The CUE sheet beside it, line for line.
    ASSERT_EQ(result.cueFile, rig.Out("Album.cue"));
    const std::string cue = svtest::ReadFileBytes(result.cueFile);
    EXPECT_EQ(cue.find('\r'), std::string::npos) << "lines end in a single line feed";
    ASSERT_FALSE(cue.empty());
    EXPECT_EQ(cue.back(), '\n');
    std::vector<std::string> expected = {"FILE \"Album.wav\" WAVE"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(rig.disc.Track(i).StartLba(), kTrackStarts[i]);
        expected.push_back("\tTRACK 0" + std::to_string(i + 1) + " AUDIO");
        expected.push_back("\t\tINDEX 01 " + Msf(kTrackStarts[i]));
    }
    EXPECT_EQ(Lines(cue), expected);
    EXPECT_EQ(expected[4], "\t\tINDEX 01 00:04:00");
    EXPECT_EQ(expected[6], "\t\tINDEX 01 00:10:50");

    // The rip leaves the drive, the track view and the post-actions alone.
    EXPECT_FALSE(rig.drive->Locked());
    EXPECT_FALSE(rig.disc.Track(0).DoneFlag());
    EXPECT_FALSE(rig.disc.Track(1).DoneFlag());
    EXPECT_TRUE(rig.checked[1]);
    EXPECT_FALSE(rig.checked[0]);
    EXPECT_TRUE(rig.statuses.empty());
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"commands off", "timer off", "commands on", "timer on"}));
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
    EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatWma) << "the output format is restored";
    // Progress in the caption, up to 100, then the plain caption again.
    ASSERT_GE(rig.captions.size(), 3u);
    EXPECT_EQ(rig.captions[rig.captions.size() - 2], "Sornaval v3.4 - [ 100% ]");
    EXPECT_EQ(rig.captions.back(), "Sornaval v3.4");
    int last = -1;
    for (std::size_t i = 0; i + 1 < rig.captions.size(); ++i) {
        const std::string& c = rig.captions[i];
        ASSERT_EQ(c.rfind("Sornaval v3.4 - [ ", 0), 0u) << c;
        const int percent = std::stoi(c.substr(18));
        EXPECT_GT(percent, last) << "each caption shows a new percentage";
        last = percent;
    }
}

TEST(WholeDiscRip, TheCueSheetReadsBackAsTheSameDisc) {
    WholeRig rig;
    rig.settings.SetRipCueSheet(true);
    rig.settings.SetSectorsPerRead(7);
    rig.dialogs.ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    ASSERT_TRUE(result.written);
    std::string error;
    const auto image = sv::LoadCueSheet(result.cueFile, error);
    ASSERT_TRUE(image) << error;
    ASSERT_EQ(image->Tracks().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(image->Tracks()[static_cast<std::size_t>(i)].startLba, rig.disc.Track(i).StartLba());
        EXPECT_TRUE(image->Tracks()[static_cast<std::size_t>(i)].Audio());
    }
    EXPECT_EQ(image->Leadout(), kDiscSectors);
    std::vector<std::uint8_t> sector(2352);
    for (int lba : {0, 299, 300, 799, 800, kDiscSectors - 1}) {
        ASSERT_EQ(image->ReadSector(lba, sector.data()), sv::DiscImage::SectorResult::Ok) << lba;
        EXPECT_TRUE(sector == rig.ImageBytes(lba, 1)) << lba;
    }
}

TEST(WholeDiscRip, Mp3DecodesToTheWholeDiscWithoutATag) {
    WholeRig rig;
    rig.settings.SetRipCueSheet(true);
    rig.settings.SetOnTheFlyEncoding(false);  // the whole disc is always encoded while reading
    rig.settings.SetEncodeFlag(false);
    rig.dialogs.ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::Mp3Menu);
    EXPECT_TRUE(rig.dialogs.Done());
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.file, rig.Out("Album.mp3"));
    const std::string bytes = svtest::ReadFileBytes(result.file);
    ASSERT_GT(bytes.size(), 3u);
    EXPECT_NE(bytes.substr(0, 3), "ID3") << "the whole-disc file carries no tag";
    const auto d = svtest::DecodeWithFfmpeg(result.file);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.sampleRate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.samples.size(), static_cast<std::size_t>(kDiscSectors) * 588 * 2);
    EXPECT_GT(svtest::Correlation(d.samples, svtest::ToSamples(rig.ImageBytes(0, kDiscSectors))), 0.99);
    EXPECT_FALSE(fs::exists(rig.TempFolder())) << "no temporary WAV file";
    EXPECT_EQ(Lines(svtest::ReadFileBytes(rig.Out("Album.cue"))).front(), "FILE \"Album.mp3\" MP3");
    EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatWma);
    EXPECT_FALSE(rig.encoders->IsOpen());
}

TEST(WholeDiscRip, WithoutRipCueSheetNoCueIsWritten) {
    WholeRig rig;
    rig.settings.SetRipCueSheet(false);
    rig.dialogs.ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    ASSERT_TRUE(result.written);
    EXPECT_TRUE(result.cueFile.empty());
    EXPECT_FALSE(fs::exists(rig.Out("Album.cue")));
}

TEST(WholeDiscRip, AnEmptyAlbumTitleGivesTracks) {
    WholeRig rig;
    rig.disc.SetAlbum("");
    rig.dialogs.ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::Mp3Menu);
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.file, rig.Out("TRACKS.mp3"));
    EXPECT_TRUE(fs::is_regular_file(rig.Out("TRACKS.mp3")));
}

TEST(WholeDiscName, TitlesNeverLeaveTheOutputFolder) {
    sv::TProgramSettings s;
    s.SetOutputDir("/music/");
    sv::DISC_INFO disc;
    disc.SetAlbum("../../etc/pass\"wd");
    EXPECT_EQ(sv::WholeDiscOutputPath(s, disc, sv::kFormatWav), "/music/....etcpasswd.wav");
    disc.SetAlbum("..");
    EXPECT_EQ(sv::WholeDiscOutputPath(s, disc, sv::kFormatMp3), "/music/TRACKS.mp3");
    disc.SetAlbum("Мой альбом");
    s.SetOutputDir("/music");
    EXPECT_EQ(sv::WholeDiscOutputPath(s, disc, sv::kFormatOgg), "/music/Мой альбом.ogg");
}

TEST(WholeDiscName, EachMenuItemAsksForItsFormat) {
    sv::TProgramSettings s;
    using W = sv::WholeDiscSender;
    EXPECT_EQ(sv::WholeDiscFormatFor(W::WavMenu, s), sv::kFormatWav);
    EXPECT_EQ(sv::WholeDiscFormatFor(W::Mp3Menu, s), sv::kFormatMp3);
    EXPECT_EQ(sv::WholeDiscFormatFor(W::OggMenu, s), sv::kFormatOgg);
    s.SetMp3AsOgg(true);
    EXPECT_EQ(sv::WholeDiscFormatFor(W::Mp3Menu, s), sv::kFormatMp3);
    const int codes[] = {sv::kFormatApe, sv::kFormatAac, sv::kFormatAcm};
    const char* exts[] = {".ape", ".aac", ".mp2"};
    s.SetAcmFileExt("mp2");
    for (int ext : {0, 1, 2}) {
        s.SetExtEncoder(ext);
        const std::uint8_t format = sv::WholeDiscFormatFor(W::ExternalMenu, s);
        EXPECT_EQ(format, codes[ext]);
        EXPECT_EQ(sv::WholeDiscExtension(format, s), exts[ext]);
    }
    s.SetAcmFileExt(".mp2");
    EXPECT_EQ(sv::WholeDiscExtension(sv::kFormatAcm, s), ".mp2");
    EXPECT_EQ(sv::WholeDiscExtension(sv::kFormatWav, s), ".wav");
    EXPECT_EQ(sv::WholeDiscExtension(sv::kFormatMp3, s), ".mp3");
    EXPECT_EQ(sv::WholeDiscExtension(sv::kFormatOgg, s), ".ogg");
}

TEST(CueSheet, FileTypeFromTheExtension) {
    EXPECT_EQ(sv::CueFileType("/m/Album.wav"), "WAVE");
    EXPECT_EQ(sv::CueFileType("/m/Album.ogg"), "OGG");
    EXPECT_EQ(sv::CueFileType("/m/Album.mp3"), "MP3");
    EXPECT_EQ(sv::CueFileType("/m/Album.Wav"), "WAVE");
    EXPECT_EQ(sv::CueFileType("/m/A.b.mp2"), "MP2");
    EXPECT_EQ(sv::CuePathFor("/m/A.b.mp3"), "/m/A.b.cue");
}

// A disc record of `starts` (the last entry is the lead-out) with the audio
// flags `audio`.
sv::DISC_INFO MakeDisc(const std::vector<int>& starts, const std::vector<bool>& audio) {
    sv::DISC_INFO disc;
    const int count = static_cast<int>(starts.size()) - 1;
    disc.SetTrackCount(static_cast<std::uint8_t>(count));
    for (int i = 0; i <= count; ++i) {
        auto t = disc.Track(i);
        t.SetStartLba(starts[static_cast<std::size_t>(i)]);
        const std::size_t k = static_cast<std::size_t>(i);
        const int length = i < count ? starts[k + 1] - starts[k] : 0;
        t.SetSizeBytes(static_cast<std::uint32_t>(length) * 2352);
        t.SetAudioFlag(i < count && audio[static_cast<std::size_t>(i)]);
    }
    return disc;
}

TEST(CueSheet, ThreeTracksAtMinuteMarks) {
    sv::DISC_INFO disc = MakeDisc({0, 15000, 30000, 40000}, {true, true, true});
    const sv::RipRange range = sv::WholeDiscRange(disc);
    EXPECT_EQ(range.start, 0);
    EXPECT_EQ(range.end, 40000);
    EXPECT_EQ(Lines(sv::CueSheetText(disc, "/m/Album.ogg", range)),
              (std::vector<std::string>{"FILE \"Album.ogg\" OGG", "\tTRACK 01 AUDIO", "\t\tINDEX 01 00:00:00",
                                        "\tTRACK 02 AUDIO", "\t\tINDEX 01 03:20:00", "\tTRACK 03 AUDIO",
                                        "\t\tINDEX 01 06:40:00"}));
}

TEST(CueSheet, MoreThanNinetyNineMinutesAndTenTracks) {
    std::vector<int> starts;
    for (int i = 0; i <= 12; ++i) starts.push_back(i * 40000);
    sv::DISC_INFO disc = MakeDisc(starts, std::vector<bool>(12, true));
    const auto lines = Lines(sv::CueSheetText(disc, "/m/A.wav", sv::WholeDiscRange(disc)));
    ASSERT_EQ(lines.size(), 25u);
    EXPECT_EQ(lines[19], "\tTRACK 10 AUDIO");
    EXPECT_EQ(lines[20], "\t\tINDEX 01 " + Msf(9 * 40000));
    EXPECT_EQ(lines[24], "\t\tINDEX 01 " + Msf(11 * 40000));
    EXPECT_EQ(lines[24], "\t\tINDEX 01 97:46:50");
}

TEST(CueSheet, DataTracksInsideTheFileAreListedAndTimesCountFromTheFile) {
    // Data, audio, data, audio, data (the last a second session).
    sv::DISC_INFO disc = MakeDisc({0, 1000, 3000, 4000, 6000, 9000}, {false, true, false, true, false});
    const sv::RipRange range = sv::WholeDiscRange(disc);
    EXPECT_EQ(range.start, 1000);
    EXPECT_EQ(range.end, 6000);
    EXPECT_EQ(Lines(sv::CueSheetText(disc, "/m/Mixed.wav", range)),
              (std::vector<std::string>{"FILE \"Mixed.wav\" WAVE", "\tTRACK 02 AUDIO", "\t\tINDEX 01 00:00:00",
                                        "\tTRACK 03 AUDIO", "\t\tINDEX 01 " + Msf(2000), "\tTRACK 04 AUDIO",
                                        "\t\tINDEX 01 " + Msf(3000)}));
}

TEST(WholeDiscRange, EndsWhereTheLastAudioTrackEnds) {
    // The last audio track is shorter than the distance to the next record
    // (the gap before a second session): its size decides.
    sv::DISC_INFO disc = MakeDisc({0, 500, 12000}, {true, true});
    disc.Track(1).SetSizeBytes(700 * 2352);
    const sv::RipRange range = sv::WholeDiscRange(disc);
    EXPECT_EQ(range.start, 0);
    EXPECT_EQ(range.end, 1200);
    sv::DISC_INFO none = MakeDisc({0, 500}, {false});
    const sv::RipRange empty = sv::WholeDiscRange(none);
    EXPECT_EQ(empty.start, empty.end);
}

TEST(WholeDiscRip, ADataTrackBetweenAudioTracksIsReadAndListed) {
    WholeRig rig("MODE1/2352");
    ASSERT_FALSE(rig.disc.Track(1).AudioFlag());
    rig.settings.SetRipCueSheet(true);
    rig.dialogs.ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    ASSERT_TRUE(result.written);
    const std::string bytes = svtest::ReadFileBytes(result.file);
    ASSERT_EQ(bytes.size(), 48u + static_cast<std::size_t>(kDiscSectors) * 2352);
    const auto lines = Lines(svtest::ReadFileBytes(result.cueFile));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "\tTRACK 02 AUDIO");
    EXPECT_EQ(lines[4], "\t\tINDEX 01 00:04:00");
    // The audio tracks' sectors are in their places.
    const std::size_t first = 48, third = 48 + static_cast<std::size_t>(kTrackStarts[2]) * 2352;
    EXPECT_TRUE(bytes.substr(first, 286u * 2352) == Bytes(rig.ImageBytes(0, 286)));
    EXPECT_TRUE(bytes.substr(third + 24u * 2352) == Bytes(rig.ImageBytes(kTrackStarts[2] + 24, 276)));
}

TEST(WholeDiscCancel, YesRemovesTheFileAndWritesNoCueSheet) {
    WholeRig rig;
    rig.settings.SetRipCueSheet(true);
    rig.pump.At(6, [&] { rig.context->state = sv::kStateIdle; });
    rig.dialogs.ExpectYesNo(R(17), true);
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_EQ(rig.dialogs.Transcript().size(), 1u) << "no completion message after a cancel";
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(rig.pump.Calls(), 6);
    EXPECT_FALSE(fs::exists(rig.Out("Album.wav")));
    EXPECT_FALSE(fs::exists(rig.Out("Album.cue")));
    EXPECT_EQ(rig.calls.back(), "timer on");
    EXPECT_EQ(rig.captions.back(), "Sornaval v3.4");
    EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatWma);
}

TEST(WholeDiscCancel, YesDuringMp3ClosesTheEncoderAndRemovesTheFile) {
    WholeRig rig;
    rig.pump.At(3, [&] { rig.context->state = sv::kStateIdle; });
    rig.dialogs.ExpectYesNo(R(17), true);
    const auto result = rig.Run(sv::WholeDiscSender::Mp3Menu);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(rig.encoders->IsOpen());
    EXPECT_FALSE(fs::exists(rig.Out("Album.mp3")));
}

TEST(WholeDiscCancel, NoContinuesWithTheSameBlock) {
    WholeRig rig;
    rig.pump.At(9, [&] { rig.context->state = sv::kStateIdle; });
    rig.dialogs.ExpectYesNo(R(17), false).ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    EXPECT_TRUE(rig.dialogs.Done());
    ASSERT_TRUE(result.written);
    EXPECT_TRUE(svtest::ReadFileBytes(result.file).substr(48) == Bytes(rig.ImageBytes(0, kDiscSectors)));
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
}

TEST(WholeDiscFailure, AWavThatCannotBeWrittenIsRemovedWithTheReason) {
    WholeRig rig;
    rig.settings.SetRipCueSheet(true);
    rig.dialogs.ExpectMessage("Album.wav");
    sv::WholeDiscResult result;
    {
        FileSizeLimit limit(48 + 200 * 2352);
        result = rig.Run(sv::WholeDiscSender::WavMenu);
    }
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_FALSE(result.written);
    EXPECT_NE(result.failureMessage.find("File too large"), std::string::npos) << result.failureMessage;
    EXPECT_NE(result.failureMessage.find("Не удалось записать файл"), std::string::npos);
    EXPECT_EQ(rig.dialogs.Icons().back(), sv::MessageIcon::Error);
    EXPECT_FALSE(fs::exists(rig.Out("Album.wav")));
    EXPECT_FALSE(fs::exists(rig.Out("Album.cue")));
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
    EXPECT_EQ(rig.calls.back(), "timer on");
}

TEST(WholeDiscFailure, AFullDiskDuringMp3) {
    WholeRig rig;
    rig.encoders->SetOpener([](const std::string& p) { return svtest::LimitedFile(p, 50000); });
    rig.dialogs.ExpectMessage("No space left on device");
    const auto result = rig.Run(sv::WholeDiscSender::Mp3Menu);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.failureMessage.find(rig.Out("Album.mp3")), std::string::npos);
    EXPECT_FALSE(fs::exists(rig.Out("Album.mp3")));
    EXPECT_FALSE(rig.encoders->IsOpen());
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
}

TEST(WholeDiscFailure, AMissingOutputFolderCannotTakeTheWavFile) {
    WholeRig rig;
    rig.settings.SetOutputDir(rig.OutDir() + "gone/");
    rig.dialogs.ExpectMessage("Fail to create dest file!");
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.failureMessage.find(rig.OutDir() + "gone/Album.wav"), std::string::npos);
    EXPECT_NE(result.failureMessage.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(rig.dialogs.Icons().back(), sv::MessageIcon::Warning);
    EXPECT_FALSE(fs::exists(rig.OutDir() + "gone"));
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"commands off", "timer off", "commands on", "timer on"}));
}

TEST(WholeDiscFailure, AnEncoderThatCannotOpenItsFile) {
    WholeRig rig;
    rig.settings.SetOutputDir(rig.OutDir() + "gone/");
    rig.dialogs.ExpectMessage("Fail to run encoder!");
    const auto result = rig.Run(sv::WholeDiscSender::Mp3Menu);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_FALSE(rig.encoders->IsOpen());
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
}

TEST(WholeDiscFailure, ACueSheetThatCannotBeWrittenKeepsTheAudio) {
    WholeRig rig;
    rig.settings.SetRipCueSheet(true);
    fs::create_directories(rig.Out("Album.cue"));  // a folder where the CUE sheet must go
    rig.dialogs.ExpectMessage(R(78)).ExpectMessage(kDone);
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(result.cueFailed);
    EXPECT_EQ(rig.dialogs.Icons().front(), sv::MessageIcon::Warning);
    EXPECT_EQ(fs::file_size(rig.Out("Album.wav")), 48u + static_cast<std::size_t>(kDiscSectors) * 2352);
    EXPECT_TRUE(fs::is_directory(rig.Out("Album.cue")));
}

TEST(WholeDiscRefusal, FormatsThatCannotEncodeReadNothing) {
    struct Case {
        sv::WholeDiscSender sender;
        int extEncoder;
        std::string fragment;
    };
    // Ogg with bit rates the Vorbis library refuses (40 kbit/s nominal); a
    // codec-layer codec that is not installed.
    const std::vector<Case> cases = {{sv::WholeDiscSender::OggMenu, 0, "Ogg Vorbis"},
                                     {sv::WholeDiscSender::ExternalMenu, 2, "кодек"}};
    for (const Case& k : cases) {
        WholeRig rig;
        rig.settings.SetExtEncoder(k.extEncoder);
        rig.settings.SetAcmCodecIndex(500);
        rig.settings.SetOggUseQuality(false);
        rig.settings.SetOggNomBitrateIndex(9);
        rig.dialogs.ExpectMessage(k.fragment);
        rig.drive->ClearCommands();
        const auto result = rig.Run(k.sender);
        EXPECT_TRUE(rig.dialogs.Done()) << k.fragment;
        EXPECT_FALSE(result.ran);
        EXPECT_NE(result.refusal.find(k.fragment), std::string::npos) << result.refusal;
        EXPECT_EQ(rig.drive->ReadRequests(), 0);
        EXPECT_TRUE(fs::is_empty(rig.OutDir()));
        EXPECT_TRUE(rig.calls.empty()) << "nothing was disabled";
        EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatWma);
    }
}

TEST(WholeDiscRefusal, ADiscWithoutAudio) {
    WholeRig rig;
    for (int i = 0; i < rig.disc.TrackCount(); ++i) rig.disc.Track(i).SetAudioFlag(false);
    rig.dialogs.ExpectMessage("нет звуковых");
    rig.drive->ClearCommands();
    const auto result = rig.Run(sv::WholeDiscSender::WavMenu);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_FALSE(result.ran);
    EXPECT_EQ(rig.drive->ReadRequests(), 0);
    EXPECT_TRUE(fs::is_empty(rig.OutDir()));
}

}  // namespace
