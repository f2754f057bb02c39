// The sound buffer's hand-over between player and device, the digital disc
// player on the demo disc and the file player on WAV files, each heard
// through the null output taking every byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "AudioCheck.h"
#include "CdromTestSupport.h"
#include "cdrom/DemoDisc.h"
#include "player/NHandler.h"
#include "player/SoundDevice.h"
#include "player/StreamPlayer.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::DecodeWithFfmpeg;
using svtest::Decoded;
using svtest::MusicLike;
using svtest::WriteCdWav;

namespace {

constexpr std::size_t kSector = 2352;

// The null output in fast mode, recording what it was given.
struct Ear {
    Ear() {
        NullSoundDevice::Options options;
        options.fast = true;
        options.sink = [this](const std::uint8_t* data, std::size_t n) {
            const std::lock_guard lock(mutex);
            heard.insert(heard.end(), data, data + n);
        };
        device = std::make_unique<NullSoundDevice>(std::move(options));
    }
    // What was heard, once at least `bytes` arrived (the end is known a moment
    // before the output hands over its last chunk).
    std::vector<std::uint8_t> Take(std::size_t bytes = 0) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::unique_lock lock(mutex);
        while (heard.size() < bytes && std::chrono::steady_clock::now() < limit) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lock.lock();
        }
        return std::exchange(heard, {});
    }
    std::mutex mutex;
    std::vector<std::uint8_t> heard;
    std::unique_ptr<NullSoundDevice> device;
};

// Waits until `done` (the players run on their own threads).
template <class F>
bool Eventually(F done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<std::uint8_t> ImageSectors(const DiscImage& image, std::int32_t start, std::int32_t end) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end - start) * kSector);
    for (std::int32_t lba = start; lba < end; ++lba)
        EXPECT_EQ(image.ReadSector(lba, bytes.data() + static_cast<std::size_t>(lba - start) * kSector),
                  DiscImage::SectorResult::Ok);
    return bytes;
}

}  // namespace

TEST(VolumeLaw, AttenuationAndGain) {
    // Worked out by hand: round((v/255*10000 - 10000) / ln(v/255*10000)).
    for (const auto& [volume, expected] : {std::pair{255, 0}, {254, -4}, {200, -241}, {128, -584}, {64, -957},
                                          {1, -2715}, {0, -10000}, {-5, -10000}, {300, 0}})
        EXPECT_EQ(VolumeAttenuation(volume), expected) << volume;
    std::int16_t samples[] = {1000, -1000, 32767, -32768};
    ApplyAttenuation(samples, 4, -2000);  // -20 dB: a tenth
    EXPECT_EQ(std::vector<std::int16_t>(samples, samples + 4), (std::vector<std::int16_t>{100, -100, 3277, -3277}));
    std::int16_t silent[] = {1000, -1000};
    ApplyAttenuation(silent, 2, -10000);
    EXPECT_EQ(silent[0], 0);
    EXPECT_EQ(silent[1], 0);
}

TEST(SoundBuffer, PlaysOnlyFilledSegmentsInOrderReportsThemAndStopsAtAShortOne) {
    TSoundBuffer buffer(8, 3);
    for (int i = 0; i < 3; ++i) std::memset(buffer.Segment(i), 0x10 + i, 8);
    buffer.Filled(0, 8);
    buffer.Filled(1, 8);
    std::uint8_t out[40];
    EXPECT_EQ(buffer.Render(out, 40), 0u);  // not playing yet: silence
    EXPECT_EQ(out[0], 0);
    buffer.Play();
    EXPECT_EQ(buffer.Render(out, 20), 16u);  // segment 2 is not filled: the rest is silence
    EXPECT_EQ(out[0], 0x10);
    EXPECT_EQ(out[8], 0x11);
    EXPECT_EQ(out[16], 0);
    EXPECT_EQ(buffer.WaitPlayed(std::chrono::milliseconds(0)), 0);
    EXPECT_EQ(buffer.WaitPlayed(std::chrono::milliseconds(0)), 1);
    EXPECT_EQ(buffer.WaitPlayed(std::chrono::milliseconds(0)), TSoundBuffer::kTimeout);

    // Segment 2 full, then segment 0 again with only 4 bytes: the end.
    buffer.Filled(2, 8);
    std::memset(buffer.Segment(0), 0x20, 8);
    buffer.Filled(0, 4);
    EXPECT_EQ(buffer.Render(out, 40), 12u);
    EXPECT_EQ(out[7], 0x12);
    EXPECT_EQ(out[8], 0x20);
    EXPECT_EQ(out[12], 0);
    EXPECT_EQ(buffer.WaitPlayed(std::chrono::milliseconds(0)), 2);
    EXPECT_EQ(buffer.WaitPlayed(std::chrono::milliseconds(0)), TSoundBuffer::kEnded);
    EXPECT_TRUE(buffer.Ended());
    EXPECT_FALSE(buffer.Playing());
    EXPECT_EQ(buffer.PlayedBytes(), 28u);

    const std::uint64_t epoch = buffer.Epoch();
    buffer.Rewind();
    EXPECT_EQ(buffer.Epoch(), epoch + 1);
    EXPECT_FALSE(buffer.Ended());
    EXPECT_EQ(buffer.PlayedBytes(), 0u);
    buffer.Play();
    EXPECT_EQ(buffer.Render(out, 8), 0u);  // the fills went with the rewind
}

TEST(SoundBuffer, AttenuatesWhatTheDeviceTakes) {
    TSoundBuffer buffer(4, 2);
    const std::int16_t frame[2] = {1000, -1000};
    std::memcpy(buffer.Segment(0), frame, 4);
    buffer.Filled(0, 4);
    buffer.SetAttenuation(VolumeAttenuation(128));
    buffer.Play();
    std::int16_t out[2];
    ASSERT_EQ(buffer.Render(reinterpret_cast<std::uint8_t*>(out), 4), 4u);
    EXPECT_EQ(out[0], 511);  // 1000 x 10^(-5.84/20)
    EXPECT_EQ(out[1], -511);
}

class DigitalPlayer : public ::testing::Test {
protected:
    std::shared_ptr<DiscImage> image_ = MakeDemoDisc();
    std::unique_ptr<cdtest::Rig> rig_ = cdtest::MakeRig(image_);
    Ear ear_;
    NHandler player_{*ear_.device};

    int Status() {
        Msf position;
        int status = 0;
        return player_.Position(position, status) ? status : -1;
    }
};

TEST_F(DigitalPlayer, ARangeIsHeardExactlyAndEndsTheRange) {
    ASSERT_TRUE(player_.Usable());
    // Ranges that end inside a segment, on a segment's end, and shorter than one.
    for (const auto& [start, end] : {std::pair{3005, 3052}, {5250, 5290}, {7000, 7003}}) {
        player_.Start(*rig_->cdrom, start, end);
        ASSERT_TRUE(Eventually([&] { return Status() == 0x13; })) << start;
        EXPECT_EQ(ear_.Take(static_cast<std::size_t>(end - start) * kSector), ImageSectors(*image_, start, end)) << start;
        Msf position;
        int status = 0;
        ASSERT_TRUE(player_.Position(position, status));
        EXPECT_EQ(MsfToFrames(position), end + 150);
    }
    player_.Stop();
    EXPECT_EQ(Status(), -1);
}

TEST_F(DigitalPlayer, PauseAndResumeLoseAndRepeatNothing) {
    player_.Start(*rig_->cdrom, 3000, 3300);
    player_.Pause();  // wherever the output had got to
    EXPECT_EQ(Status(), 0x12);
    player_.Resume();
    ASSERT_TRUE(Eventually([&] { return Status() == 0x13; }));
    EXPECT_EQ(ear_.Take(300 * kSector), ImageSectors(*image_, 3000, 3300));
}

TEST_F(DigitalPlayer, SeekWhilePausedAndVolume) {
    EXPECT_EQ(Status(), -1);  // nothing started
    player_.Start(*rig_->cdrom, 3000, 5250);
    player_.Pause();
    Msf position;
    int status = 0;
    ASSERT_TRUE(player_.Position(position, status));
    const int pausedAt = MsfToFrames(position);
    player_.Seek(5250);  // outside the range: nothing changes
    player_.Seek(2999);
    ASSERT_TRUE(player_.Position(position, status));
    EXPECT_EQ(MsfToFrames(position), pausedAt);
    player_.Seek(5000);
    EXPECT_EQ(Status(), 0x12);  // still paused after the seek
    ASSERT_TRUE(player_.Position(position, status));
    EXPECT_EQ(MsfToFrames(position), 5150);
    player_.SetVolume(0);
    player_.Resume();
    ASSERT_TRUE(Eventually([&] { return Status() == 0x13; }));
    player_.Shutdown();  // the output has handed over everything
    const std::vector<std::uint8_t> heard = ear_.Take();
    // What came before the pause, then the seek's 250 sectors in silence.
    const std::size_t before = heard.size() - 250 * kSector;
    ASSERT_GE(heard.size(), 250 * kSector);
    const std::vector<std::uint8_t> start = ImageSectors(*image_, 3000, 3000 + static_cast<int>(before / kSector) + 1);
    EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(before), start.begin()));
    EXPECT_TRUE(std::all_of(heard.begin() + static_cast<std::ptrdiff_t>(before), heard.end(), [](std::uint8_t b) { return b == 0; }));
    player_.Stop();
    EXPECT_EQ(Status(), -1);
}

TEST(TrackPlayRange, TheTrimRangeOnlyWhenAskedAndValid) {
    DISC_INFO disc;
    disc.SetTrackCount(2);
    disc.Track(0).SetStartLba(0);
    disc.Track(1).SetStartLba(1000);
    disc.Track(2).SetStartLba(2000);
    disc.Track(1).SetTrimFlag(true);
    disc.Track(1).SetTrimStartMsf(FramesToMsf(1100 + 150));
    disc.Track(1).SetEndMsf(FramesToMsf(1900 + 150));
    struct Case {
        int index;
        bool trimmed;
        std::int32_t start, end;
    } const cases[] = {{1, false, 1000, 2000}, {1, true, 1100, 1900}, {0, true, 0, 1000}};
    for (const Case& c : cases) {
        const PlayRange r = TrackPlayRange(disc, c.index, c.trimmed);
        EXPECT_EQ(r.start, c.start) << c.index << c.trimmed;
        EXPECT_EQ(r.end, c.end) << c.index << c.trimmed;
    }
    disc.Track(1).SetEndMsf(FramesToMsf(2500 + 150));  // past the track: the whole track
    EXPECT_EQ(TrackPlayRange(disc, 1, true).end, 2000);
    EXPECT_TRUE(disc.Track(1).TrimFlag());  // the disc itself is not touched
}

class FilePlayer : public ::testing::Test {
protected:
    svtest::TempDir dir_;
    Ear ear_;
    StreamPlayer player_{ear_.device.get()};
};

TEST_F(FilePlayer, AFileIsHeardWholeThenTheEndEvent) {
    // 2.5 s: two full segments and a short one; then exactly 2 s: the end is a segment of its own.
    for (const std::size_t frames : {110250u, 88200u}) {
        const std::vector<std::uint8_t> pcm = MusicLike(frames, 2);
        const std::string path = dir_.Slash() + "tone.WAV";
        WriteCdWav(path, pcm);
        ASSERT_TRUE(player_.Open(path));
        EXPECT_EQ(player_.Length(), frames / 44100 * 1000);  // the WAV decoder counts whole seconds
        player_.Play();
        ASSERT_TRUE(player_.WaitEnded(std::chrono::seconds(20)));
        EXPECT_FALSE(player_.TakeEnded());  // taken once
        EXPECT_FALSE(player_.Playing());
        EXPECT_EQ(player_.Position(), player_.Length());
        EXPECT_EQ(ear_.Take(pcm.size()), pcm);
    }
}

TEST_F(FilePlayer, SeekGoesOnFromThereAndBadFilesAreRefused) {
    const std::vector<std::uint8_t> pcm = MusicLike(44100 * 3, 2);
    const std::string path = dir_.Slash() + "three.wav";
    WriteCdWav(path, pcm);
    ASSERT_TRUE(player_.Open(path));
    player_.SetVolume(255);
    player_.Seek(2000);  // positioned, not playing
    EXPECT_FALSE(player_.Playing());
    EXPECT_EQ(player_.Position(), 2000u);
    EXPECT_TRUE(ear_.Take().empty());

    player_.Play();
    ASSERT_TRUE(player_.WaitEnded(std::chrono::seconds(20)));
    player_.Seek(2000);  // after the end: stays stopped
    EXPECT_EQ(ear_.Take(pcm.size()), pcm);

    const std::string flac = dir_.Slash() + "three.flac";
    std::filesystem::copy_file(path, flac);
    const std::string text = dir_.Slash() + "notes.mp3";
    std::FILE* f = std::fopen(text.c_str(), "wb");
    std::fputs("not a sound", f);
    std::fclose(f);
    for (const std::string& bad : {flac, text, dir_.Slash() + "missing.wav"}) {
        EXPECT_FALSE(player_.Open(bad)) << bad;
        EXPECT_FALSE(player_.IsOpen());
        EXPECT_EQ(player_.Length(), 0u);
    }
    StreamPlayer silent(nullptr);
    EXPECT_FALSE(silent.Usable());
    EXPECT_FALSE(silent.Open(path));
}

TEST(WavSink, TheHeaderCountsWhatWasWritten) {
    svtest::TempDir dir;
    const std::string path = dir.Slash() + "sink.wav";
    {
        WavSinkFile sink;
        std::string error;
        ASSERT_TRUE(sink.Create(path, error));
        const std::uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        sink.Write(bytes, 8);
        sink.Write(bytes, 4);
        EXPECT_TRUE(sink.Close());
        EXPECT_FALSE(sink.Create(dir.Slash() + "no/such/folder.wav", error));
        EXPECT_FALSE(error.empty());
    }
    const Decoded decoded = DecodeWithFfmpeg(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_EQ(decoded.samples, (std::vector<std::int16_t>{0x0201, 0x0403, 0x0605, 0x0807, 0x0201, 0x0403}));
}
