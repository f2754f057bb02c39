// Grab stories through a virtual drive: WAV files byte for byte against the
// image, MP3 files decoded by ffmpeg, trimmed ranges, cancels, and outputs
// that cannot be created or written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "AudioCheck.h"
#include "RipRig.h"
#include "base/BuiltinMessages.h"
#include "base/Msf.h"
#include "formats/OutputNaming.h"

namespace {

namespace fs = std::filesystem;
using riptest::kTrackStarts;
using riptest::FileSizeLimit;
using riptest::RipRig;

std::string R(int n) { return std::string(sv::kRussianMessages[static_cast<std::size_t>(n)]); }

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

int Sectors(int track) { return kTrackStarts[track + 1] - kTrackStarts[track]; }

TEST(RipSession, WavGrabIsByteExactWith48ByteHeadersAndNamedBySettings) {
    RipRig rig;
    rig.settings.SetEncodeFlag(false);
    rig.settings.SetOutputFormat(sv::kFormatWav);
    rig.Check({0, 2});
    std::vector<int> unchecked;
    rig.context->hooks.setChecked = [&](int row, bool on) {
        if (!on) unchecked.push_back(row);
    };
    const auto result = rig.Rip();
    EXPECT_EQ(unchecked, (std::vector<int>{0, 2}));
    ASSERT_EQ(result.requested, 2);
    ASSERT_EQ(result.written, 2);
    EXPECT_FALSE(result.failed);
    ASSERT_EQ(result.files.size(), 2u);
    for (int k = 0; k < 2; ++k) {
        const int track = k == 0 ? 0 : 2;
        const std::string& file = result.files[static_cast<std::size_t>(k)];
        EXPECT_EQ(file, sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, track));
        EXPECT_EQ(file.rfind(rig.OutDir(), 0), 0u);
        const std::string bytes = svtest::ReadFileBytes(file);
        ASSERT_EQ(bytes.size(), 48u + static_cast<std::size_t>(Sectors(track)) * 2352);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(bytes.substr(40, 4), "data") << "CD format header of 48 bytes";
        EXPECT_TRUE(bytes.substr(48) == Bytes(rig.ImageBytes(kTrackStarts[track], Sectors(track))));
        EXPECT_EQ(rig.LastStatus(track), R(20));
        EXPECT_EQ(rig.images[track], sv::kRowImageDone);
        EXPECT_TRUE(rig.disc.Track(track).DoneFlag());
        EXPECT_FALSE(rig.checked[static_cast<std::size_t>(track)]);
    }
    // The unchecked track is left alone.
    EXPECT_FALSE(rig.disc.Track(1).DoneFlag());
    EXPECT_TRUE(rig.statuses[1].empty());
    // Progress went up to 100 with the copying prefix.
    const auto& s = rig.statuses[0];
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s[s.size() - 2], R(19) + " 100%");
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
    EXPECT_TRUE(rig.dialogs.Transcript().empty());
}

class Mp3Grab : public ::testing::TestWithParam<bool> {};

TEST_P(Mp3Grab, DecodesToTheTrackSampleCountWithTheTagInFront) {
    const bool onTheFly = GetParam();
    RipRig rig;
    rig.settings.SetEncodeFlag(true);
    rig.settings.SetOutputFormat(sv::kFormatMp3);
    rig.settings.SetOnTheFlyEncoding(onTheFly);
    rig.settings.SetNormalize(false);
    rig.Check({1});
    bool sawTempWav = false;
    const std::string tempWav = rig.TempFolder() + "Song 2.wav";
    rig.context->hooks.rowStatus = [&](int row, const std::string& text) {
        rig.statuses[row].push_back(text);
        if (text.rfind(rig.context->compressPrefix, 0) == 0) {
            EXPECT_EQ(rig.context->State(), sv::kStateEncoding);
            sawTempWav = sawTempWav || fs::exists(tempWav);
        }
    };
    const auto result = rig.Rip();
    ASSERT_EQ(result.written, 1);
    const std::string file = result.files.front();
    EXPECT_EQ(fs::path(file).extension(), ".mp3");
    const std::string bytes = svtest::ReadFileBytes(file);
    EXPECT_EQ(bytes.substr(0, 3), "ID3");
    EXPECT_NE(bytes.find("Song 2"), std::string::npos);

    const auto d = svtest::DecodeWithFfmpeg(file);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.sampleRate, 44100);
    EXPECT_EQ(d.samples.size(), static_cast<std::size_t>(Sectors(1)) * 588 * 2);
    EXPECT_GT(svtest::Correlation(d.samples, svtest::ToSamples(rig.ImageBytes(kTrackStarts[1], Sectors(1)))), 0.99);

    EXPECT_EQ(sawTempWav, !onTheFly) << "a temp WAV exists only while its track is encoded";
    EXPECT_FALSE(fs::exists(tempWav));
    EXPECT_EQ(rig.LastStatus(1), R(20));
    EXPECT_TRUE(rig.disc.Track(1).DoneFlag());
}

INSTANTIATE_TEST_SUITE_P(OnTheFlyAndNot, Mp3Grab, ::testing::Bool());

// The largest |sample| of 16-bit little-endian bytes, counted here rather than
// by the encoders' own peak tracking.
int LargestMagnitude(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (const std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

TEST(RipSession, NormalisationBringsLoudAudioToTheTargetAndLeavesDitherQuiet) {
    RipRig rig("AUDIO", 3);
    rig.settings.SetEncodeFlag(true);
    rig.settings.SetOutputFormat(sv::kFormatMp3);
    rig.settings.SetOnTheFlyEncoding(false);
    rig.settings.SetNormalize(true);
    rig.Check({0, 2});
    const auto result = rig.Rip();
    ASSERT_EQ(result.written, 2);
    ASSERT_EQ(result.files.size(), 2u);

    // Track 1: music whose peak is well below the 90 % threshold comes out at
    // about 90 % of full scale (29491), within what MP3 coding moves a peak.
    const int sourcePeak = LargestMagnitude(svtest::ToSamples(rig.ImageBytes(kTrackStarts[0], Sectors(0))));
    ASSERT_LT(sourcePeak, 26000);
    const auto loud = svtest::DecodeWithFfmpeg(result.files[0]);
    ASSERT_TRUE(loud.ok);
    EXPECT_NEAR(LargestMagnitude(loud.samples), 29491, 1500);

    // Track 3: dither of +-3 is raised by 40 dB at most (to about +-300), not
    // blown up into full-scale noise.
    const auto quiet = svtest::DecodeWithFfmpeg(result.files[1]);
    ASSERT_TRUE(quiet.ok);
    EXPECT_GT(LargestMagnitude(quiet.samples), 150);
    EXPECT_LT(LargestMagnitude(quiet.samples), 600);
}

TEST(RipRange, TrimAddressesAndTheirFallbacks) {
    RipRig rig;
    auto t = rig.disc.Track(1);
    t.SetTrimFlag(true);
    t.SetTrimStartMsf(sv::FramesToMsf(350 + 150));
    t.SetEndMsf(sv::FramesToMsf(700 + 150));
    auto r = sv::ComputeRipRange(rig.disc, 1);
    EXPECT_EQ(r.start, 350);
    EXPECT_EQ(r.end, 700);
    // An end of 00:02:00 means the track's natural end.
    t.SetEndMsf(sv::Msf{0, 2, 0});
    r = sv::ComputeRipRange(rig.disc, 1);
    EXPECT_EQ(r.start, 350);
    EXPECT_EQ(r.end, 800);
    // A start before the track becomes the track's start.
    t.SetTrimStartMsf(sv::FramesToMsf(100 + 150));
    EXPECT_EQ(sv::ComputeRipRange(rig.disc, 1).start, 300);
    EXPECT_TRUE(t.TrimFlag());
    // An end beyond the next track: the whole track, and the trim is dropped.
    t.SetTrimStartMsf(sv::FramesToMsf(400 + 150));
    t.SetEndMsf(sv::FramesToMsf(900 + 150));
    r = sv::ComputeRipRange(rig.disc, 1);
    EXPECT_EQ(r.start, 300);
    EXPECT_EQ(r.end, 800);
    EXPECT_FALSE(t.TrimFlag());
    // Start at or after the end: the same.
    t.SetTrimFlag(true);
    t.SetTrimStartMsf(sv::FramesToMsf(600 + 150));
    t.SetEndMsf(sv::FramesToMsf(500 + 150));
    r = sv::ComputeRipRange(rig.disc, 1);
    EXPECT_EQ(r.start, 300);
    EXPECT_FALSE(t.TrimFlag());
}

TEST(RipSession, TrimmedTrackGivesExactlyItsRange) {
    RipRig rig;
    rig.settings.SetEncodeFlag(false);
    rig.settings.SetOutputFormat(sv::kFormatWav);
    auto t = rig.disc.Track(1);
    t.SetTrimFlag(true);
    t.SetTrimStartMsf(sv::FramesToMsf(377 + 150));
    t.SetEndMsf(sv::FramesToMsf(611 + 150));
    rig.Check({1});
    const auto result = rig.Rip();
    ASSERT_EQ(result.written, 1);
    const std::string bytes = svtest::ReadFileBytes(result.files.front());
    ASSERT_EQ(bytes.size(), 48u + 234u * 2352u);
    EXPECT_TRUE(bytes.substr(48) == Bytes(rig.ImageBytes(377, 234)));
}

TEST(RipPercent, ShortRangesAndTheEnd) {
    EXPECT_EQ(sv::RipPercent(0, 50, 26), 100);   // shorter than 100 sectors
    EXPECT_EQ(sv::RipPercent(0, 1000, 500), 50);
    EXPECT_EQ(sv::RipPercent(0, 1000, 1000), 100);
    EXPECT_EQ(sv::RipPercent(0, 1000, 1010), 100);  // the last block overshoots
    EXPECT_EQ(sv::RipPercent(0, 150, 26), 0);       // never below 0
}

TEST(RipCancel, YesDeletesThePartialFileAndEndsTheGrab) {
    RipRig rig;
    rig.settings.SetEncodeFlag(false);
    rig.settings.SetOutputFormat(sv::kFormatWav);
    rig.Check({1, 2});
    rig.pump.At(5, [&] { rig.context->state = sv::kStateIdle; });
    rig.dialogs.ExpectYesNo(R(17), true);
    const std::string file = sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, 1);
    const auto result = rig.Rip();
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.written, 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(rig.LastStatus(1), R(18));
    EXPECT_FALSE(rig.disc.Track(1).DoneFlag());
    EXPECT_TRUE(rig.checked[1]);
    EXPECT_TRUE(rig.statuses[2].empty()) << "no further track after a cancel";
    EXPECT_TRUE(rig.checked[2]);
    EXPECT_EQ(rig.pump.Calls(), 5);
}

TEST(RipCancel, YesDuringOnTheFlyMp3RemovesTheOutput) {
    RipRig rig;
    rig.settings.SetEncodeFlag(true);
    rig.settings.SetOutputFormat(sv::kFormatMp3);
    rig.settings.SetOnTheFlyEncoding(true);
    rig.Check({0});
    rig.pump.At(4, [&] { rig.context->state = sv::kStateIdle; });
    rig.dialogs.ExpectYesNo(R(17), true);
    const auto result = rig.Rip();
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(fs::exists(sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, 0)));
    EXPECT_FALSE(rig.encoders->IsOpen());
}

TEST(RipCancel, NoContinuesWithTheSameBlock) {
    RipRig rig;
    rig.settings.SetEncodeFlag(false);
    rig.settings.SetOutputFormat(sv::kFormatWav);
    rig.Check({1});
    rig.pump.At(7, [&] { rig.context->state = sv::kStateIdle; });
    rig.dialogs.ExpectYesNo(R(17), false);
    const auto result = rig.Rip();
    EXPECT_TRUE(rig.dialogs.Done());
    ASSERT_EQ(result.written, 1);
    const std::string bytes = svtest::ReadFileBytes(result.files.front());
    EXPECT_TRUE(bytes.substr(48) == Bytes(rig.ImageBytes(300, 500)));
    EXPECT_EQ(rig.LastStatus(1), R(20));
}

TEST(RipCancel, StopDuringEncodingAsksR26AndEndsOnlyThatEncoding) {
    RipRig rig;
    rig.settings.SetEncodeFlag(true);
    rig.settings.SetOutputFormat(sv::kFormatMp3);
    rig.settings.SetOnTheFlyEncoding(false);
    rig.Check({0, 2});
    bool stopped = false;
    rig.context->hooks.rowStatus = [&](int row, const std::string& text) {
        rig.statuses[row].push_back(text);
        if (!stopped && text == rig.context->compressPrefix + "10%") {
            stopped = true;
            rig.context->state = sv::kStateIdle;
        }
    };
    rig.dialogs.ExpectYesNo(R(26), true);
    const auto result = rig.Rip();
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(rig.LastStatus(0), R(18));
    EXPECT_FALSE(rig.disc.Track(0).DoneFlag());
    EXPECT_FALSE(fs::exists(sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, 0)));
    EXPECT_FALSE(fs::exists(rig.TempFolder() + "Song 1.wav"));
    EXPECT_EQ(rig.LastStatus(2), R(20));
    EXPECT_TRUE(fs::exists(sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, 2)));
}

TEST(RipSession, NothingCheckedRunsOnlyTheStartAndEndSteps) {
    RipRig rig;
    rig.settings.SetMaxPriority(true);
    rig.settings.SetShutdownAfterCopy(true);
    rig.Check({});
    const auto result = rig.Rip();
    EXPECT_EQ(result.requested, 0);
    EXPECT_EQ(result.written, 0);
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"priority high", "volume 255", "volume back", "priority normal",
                                                   "shutdown"}));
    EXPECT_TRUE(fs::is_empty(rig.OutDir()));
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
}

TEST(RipSession, AMissingOutputFolderAsksForTheSettingsAndStopsWhenTheUserGivesUp) {
    RipRig rig;
    rig.settings.SetEncodeFlag(false);
    rig.settings.SetOutputFormat(sv::kFormatWav);
    rig.settings.SetOutputDir(rig.OutDir() + "gone/");
    rig.Check({0, 1});
    rig.dialogs.ExpectMessage("gone/' не существует");
    const auto result = rig.Rip();
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.stoppedByUser);
    EXPECT_EQ(result.written, 0);
    EXPECT_EQ(std::count(rig.calls.begin(), rig.calls.end(), "settings dialog"), 1);
    EXPECT_FALSE(fs::exists(rig.OutDir() + "gone"));
    EXPECT_TRUE(rig.checked[0]);
}

TEST(RipSession, AFormatThatCannotEncodeReadsNothing) {
    RipRig rig;
    rig.settings.SetEncodeFlag(true);
    rig.settings.SetOutputFormat(sv::kFormatAcm);
    rig.settings.SetAcmCodecIndex(500);
    rig.settings.SetOnTheFlyEncoding(true);
    rig.Check({0});
    rig.dialogs.ExpectMessage("кодек");
    rig.drive->ClearCommands();
    const auto result = rig.Rip();
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(rig.drive->ReadRequests(), 0);
    EXPECT_TRUE(fs::is_empty(rig.OutDir()));
    EXPECT_EQ(rig.context->State(), sv::kStateIdle);
}

TEST(RipFailure, AWavThatCannotBeWrittenIsRemovedNotDoneAndStopsTheGrab) {
    RipRig rig;
    rig.settings.SetEncodeFlag(false);
    rig.settings.SetOutputFormat(sv::kFormatWav);
    rig.settings.SetShutdownAfterCopy(true);
    rig.Check({0, 1});
    const std::string file = sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, 0);
    rig.dialogs.ExpectMessage(file);
    sv::RipResult result;
    {
        FileSizeLimit limit(48 + 100 * 2352);
        result = rig.Rip();
    }
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.written, 0);
    EXPECT_NE(result.failureMessage.find("File too large"), std::string::npos) << result.failureMessage;
    EXPECT_NE(result.failureMessage.find("Не удалось записать файл"), std::string::npos);
    EXPECT_EQ(rig.dialogs.Icons().back(), sv::MessageIcon::Error);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(rig.LastStatus(0), "Ошибка записи");
    EXPECT_EQ(rig.images[0], sv::kRowImageFailed);
    EXPECT_FALSE(rig.disc.Track(0).DoneFlag());
    EXPECT_TRUE(rig.checked[0]);
    EXPECT_TRUE(rig.statuses[1].empty());
    EXPECT_EQ(std::count(rig.calls.begin(), rig.calls.end(), "shutdown"), 0);
}

TEST(RipFailure, AFullDiskDuringOnTheFlyMp3) {
    RipRig rig;
    rig.settings.SetEncodeFlag(true);
    rig.settings.SetOutputFormat(sv::kFormatMp3);
    rig.settings.SetOnTheFlyEncoding(true);
    rig.encoders->SetOpener([](const std::string& p) { return svtest::LimitedFile(p, 30000); });
    rig.Check({1, 2});
    const std::string file = sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, 1);
    rig.dialogs.ExpectMessage("No space left on device");
    const auto result = rig.Rip();
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.failureMessage.find(file), std::string::npos);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(rig.disc.Track(1).DoneFlag());
    EXPECT_FALSE(rig.encoders->IsOpen());
    EXPECT_TRUE(rig.statuses[2].empty());
}

TEST(RipFailure, AnOutputFolderThatCannotBeMadeNamesTheFile) {
    RipRig rig;
    rig.settings.SetEncodeFlag(false);
    rig.settings.SetOutputFormat(sv::kFormatWav);
    rig.settings.SetUseFormatString(false);
    rig.settings.SetDirPerArtist(true);
    rig.Check({0});
    const std::string file = sv::MakeOutputPath(rig.settings, rig.disc, &rig.tags, 0);
    // A plain file stands where the artist's folder must go.
    const fs::path folder = fs::path(file).parent_path();
    ASSERT_NE(folder.string() + "/", rig.OutDir());
    fs::create_directories(folder.parent_path());
    svtest::WriteFileBytes(folder, "not a folder");
    rig.dialogs.ExpectMessage("Не удалось создать файл");
    const auto result = rig.Rip();
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(result.failed);
    EXPECT_NE(result.failureMessage.find(file), std::string::npos);
    EXPECT_EQ(svtest::ReadFileBytes(folder), "not a folder");
    EXPECT_FALSE(rig.disc.Track(0).DoneFlag());
}

}  // namespace
