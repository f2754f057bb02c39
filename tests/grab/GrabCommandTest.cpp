// The grab command: which output each control asks for, the settings it sets
// for the grab and restores afterwards, its refusals and the free-space
// question, and the drive's tray and eject around the rip.
#include <gtest/gtest.h>

#include <filesystem>

#include "RipRig.h"
#include "encoders/AudioCheck.h"
#include "base/BuiltinMessages.h"
#include "grab/GrabCommand.h"

namespace {

namespace fs = std::filesystem;
using riptest::RipRig;

std::string R(int n) { return std::string(sv::kRussianMessages[static_cast<std::size_t>(n)]); }

TEST(GrabOutput, EachControlAsksForItsFormat) {
    sv::TProgramSettings s;
    using G = sv::GrabSender;
    auto is = [&](G g, int format, bool encode) {
        const auto o = sv::GrabOutputFor(g, s);
        EXPECT_EQ(o.format, format) << static_cast<int>(g);
        EXPECT_EQ(o.encode, encode) << static_cast<int>(g);
    };
    is(G::Mp3Button, sv::kFormatMp3, true);
    is(G::Mp3Menu, sv::kFormatMp3, true);
    is(G::WavButton, sv::kFormatWav, false);
    is(G::WmaButton, sv::kFormatWma, true);
    is(G::OggMenu, sv::kFormatOgg, true);
    s.SetMp3AsOgg(true);
    is(G::Mp3Button, sv::kFormatOgg, true);
    is(G::Mp3Menu, sv::kFormatMp3, true);  // the menu item stays MP3
    for (int ext : {0, 1, 2}) {
        s.SetExtEncoder(ext);
        is(G::ExternalMenu, sv::kFormatApe + ext, true);
    }
}

struct Seen {
    int format = -1;
    bool encode = false;
    bool locked = false;
};

class GrabCommand : public ::testing::Test {
protected:
    void SetUp() override {
        rig.settings.SetOutputFormat(sv::kFormatOgg);
        rig.settings.SetEncodeFlag(false);
        rig.context->hooks.selectRow = [this](int) {
            seen.format = rig.settings.OutputFormat();
            seen.encode = rig.settings.EncodeFlag();
            seen.locked = rig.drive->Locked();
        };
        hooks.freeSpace = [this](const std::string&) { return free; };
        hooks.eject = [this] { ++ejects; };
    }
    RipRig rig;
    Seen seen;
    sv::GrabHooks hooks;
    std::optional<std::uint64_t> free = std::uint64_t{1} << 40;
    int ejects = 0;
};

TEST_F(GrabCommand, SetsTheFormatForTheGrabAndRestoresItAfterwards) {
    rig.settings.SetLockTray(true);
    rig.settings.SetEjectAfterCopy(true);
    rig.Check({0});
    const auto r = sv::RunGrabCommand(sv::GrabSender::Mp3Menu, *rig.context, hooks);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.rip.written, 1);
    EXPECT_EQ(seen.format, sv::kFormatMp3);
    EXPECT_TRUE(seen.encode);
    EXPECT_TRUE(seen.locked) << "the tray is locked while ripping";
    EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatOgg);
    EXPECT_FALSE(rig.settings.EncodeFlag());
    EXPECT_FALSE(rig.drive->Locked());
    EXPECT_EQ(ejects, 1);
    EXPECT_EQ(fs::path(r.rip.files.front()).extension(), ".mp3");

    // The WAV button: format 0 without encoding, then the same restore.
    rig.settings.SetEncodeFlag(true);
    rig.Check({1});
    const auto w = sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks);
    ASSERT_EQ(w.rip.written, 1);
    EXPECT_EQ(seen.format, sv::kFormatWav);
    EXPECT_FALSE(seen.encode);
    EXPECT_EQ(fs::path(w.rip.files.front()).extension(), ".wav");
    EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatOgg);
    EXPECT_TRUE(rig.settings.EncodeFlag());
}

TEST_F(GrabCommand, RestoresAndEjectsAfterACancelToo) {
    rig.settings.SetEjectAfterCopy(true);
    rig.settings.SetLockTray(true);
    rig.Check({1});
    rig.pump.At(3, [&] { rig.context->state = sv::kStateIdle; });
    rig.dialogs.ExpectYesNo(R(17), true);
    const auto r = sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks);
    EXPECT_TRUE(r.rip.cancelled);
    EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatOgg);
    EXPECT_FALSE(rig.settings.EncodeFlag());
    EXPECT_FALSE(rig.drive->Locked());
    EXPECT_EQ(ejects, 1);
}

TEST_F(GrabCommand, UnavailableFormatsRefuseWithTheirMessage) {
    rig.Check({0});
    // Ogg bit rates the Vorbis library refuses (40 kbit/s nominal for CD audio).
    rig.settings.SetMp3AsOgg(true);
    rig.settings.SetOggUseQuality(false);
    rig.settings.SetOggMinBitrateIndex(10);
    rig.settings.SetOggNomBitrateIndex(9);
    rig.settings.SetOggMaxBitrateIndex(5);
    rig.dialogs.ExpectMessage("Ogg Vorbis");
    auto r = sv::RunGrabCommand(sv::GrabSender::Mp3Button, *rig.context, hooks);
    EXPECT_FALSE(r.ran);
    // A codec-layer codec that is not installed.
    rig.settings.SetExtEncoder(2);
    rig.settings.SetAcmCodecIndex(500);
    rig.dialogs.ExpectMessage("кодек");
    r = sv::RunGrabCommand(sv::GrabSender::ExternalMenu, *rig.context, hooks);
    EXPECT_FALSE(r.ran);
    EXPECT_TRUE(rig.dialogs.Done());
    EXPECT_TRUE(fs::is_empty(rig.OutDir()));
    EXPECT_EQ(rig.settings.OutputFormat(), sv::kFormatOgg);
    EXPECT_EQ(ejects, 0);
    EXPECT_TRUE(rig.checked[0]);
}

// The MP3 button with Mp3AsOgg grabs to Ogg Vorbis: the file holds exactly
// the samples of the same track grabbed to WAV (ffmpeg's count of both).
TEST_F(GrabCommand, Mp3AsOggGrabsTheTrackToOgg) {
    rig.Check({2});
    rig.settings.SetMp3AsOgg(true);
    rig.settings.SetOggUseQuality(true);
    rig.settings.SetOggQuality(300);
    const auto r = sv::RunGrabCommand(sv::GrabSender::Mp3Button, *rig.context, hooks);
    ASSERT_TRUE(r.ran) << r.refusal;
    ASSERT_EQ(r.rip.written, 1);
    EXPECT_EQ(seen.format, sv::kFormatOgg);
    EXPECT_EQ(fs::path(r.rip.files.front()).extension(), ".ogg");
    const auto decoded = svtest::DecodeWithFfmpeg(r.rip.files.front());
    rig.Check({2});
    const auto w = sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks);
    ASSERT_EQ(w.rip.written, 1);
    const auto wav = svtest::DecodeWithFfmpeg(w.rip.files.front());
    ASSERT_TRUE(decoded.ok && wav.ok);
    EXPECT_GT(wav.samples.size(), 0u);
    EXPECT_EQ(decoded.samples.size(), wav.samples.size());
}

// Every other format grabs the track that the WAV grab copies: APE decodes
// to exactly its samples, the lossy formats to its length within their
// codec's frames (WMA adds a frame of silence at each end, AAC its priming
// and padding, ADPCM the rest of its last block).
TEST_F(GrabCommand, EveryFormatGrabsTheTrack) {
    rig.Check({2});
    const auto w = sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks);
    ASSERT_EQ(w.rip.written, 1);
    const auto wav = svtest::DecodeWithFfmpeg(w.rip.files.front());
    ASSERT_TRUE(wav.ok);
    const std::size_t frames = wav.samples.size() / 2;
    ASSERT_GT(frames, 0u);
    struct Case {
        sv::GrabSender sender;
        int extEncoder;
        const char* ext;
        std::size_t maxExtra;
    };
    for (const Case c : {Case{sv::GrabSender::WmaButton, 0, ".wma", 2 * 2048}, {sv::GrabSender::ExternalMenu, 0, ".ape", 0},
                         {sv::GrabSender::ExternalMenu, 1, ".aac", 2 * 1024},
                         {sv::GrabSender::ExternalMenu, 2, ".wav", 2048}}) {
        SCOPED_TRACE(c.ext);
        rig.Check({2});
        rig.settings.SetExtEncoder(c.extEncoder);
        // MS ADPCM, 44 100 Hz stereo, in a WAV file.
        const auto& drivers = rig.context->encoders.AcmDrivers();
        for (int i = 0; i < drivers.Count(); ++i)
            if (drivers.Drivers()[static_cast<std::size_t>(i)].shortName == "adpcm_ms") rig.settings.SetAcmCodecIndex(i);
        rig.settings.SetAcmFormatIndex(11);
        rig.settings.SetAcmWriteWavHeader(true);
        const auto r = sv::RunGrabCommand(c.sender, *rig.context, hooks);
        ASSERT_TRUE(r.ran) << r.refusal;
        ASSERT_EQ(r.rip.written, 1);
        EXPECT_EQ(fs::path(r.rip.files.front()).extension(), c.ext);
        const auto decoded = svtest::DecodeWithFfmpeg(r.rip.files.front());
        ASSERT_TRUE(decoded.ok);
        if (c.maxExtra == 0) {
            EXPECT_EQ(decoded.samples, wav.samples);
        } else {
            EXPECT_GE(decoded.samples.size() / 2, frames);
            EXPECT_LE(decoded.samples.size() / 2, frames + c.maxExtra);
        }
    }
}

TEST_F(GrabCommand, FreeSpaceQuestion) {
    rig.Check({2});
    EXPECT_EQ(sv::GrabSpaceNeeded(rig.disc), 800u * 2352u);
    free = 800u * 2352u - 1;
    rig.dialogs.ExpectYesNo(R(1), false);
    auto r = sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks);
    EXPECT_FALSE(r.ran);
    EXPECT_TRUE(fs::is_empty(rig.OutDir()));

    rig.dialogs.ExpectYesNo(R(1), true);
    r = sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks);
    EXPECT_EQ(r.rip.written, 1);

    // Enough space, or space that cannot be read: no question.
    rig.Check({2});
    free = 800u * 2352u;
    EXPECT_EQ(sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks).rip.written, 1);
    rig.Check({2});
    free.reset();
    EXPECT_EQ(sv::RunGrabCommand(sv::GrabSender::WavButton, *rig.context, hooks).rip.written, 1);
    EXPECT_TRUE(rig.dialogs.Done());
}

TEST(FreeSpace, ReadsTheNearestExistingFolder) {
    svtest::TempDir dir;
    const auto a = sv::FreeSpaceAt(dir.Slash());
    const auto b = sv::FreeSpaceAt(dir.Slash() + "not/yet/made/");
    ASSERT_TRUE(a && b);
    EXPECT_GT(*a, 0u);
    EXPECT_NEAR(static_cast<double>(*a), static_cast<double>(*b), 64.0 * 1024 * 1024);
}

}  // namespace
