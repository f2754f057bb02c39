// The main window playing the demo disc through the digital player and the
// sound output (the null output, taking every byte it is given), and the
// volume bar's routing to the player, the drive or the mixer's CD line.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>

#include "RecordingView.h"
#include "app/CdromDriveAccess.h"
#include "app/MainForm.h"
#include "cdrom/TCDROM.h"
#include "cdrom/VirtualDrive.h"
#include "player/Mixer.h"
#include "player/NHandler.h"
#include "player/SoundDevice.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
using svtest::RecordingView;

namespace {

class FakeLine final : public IMixerLine {
public:
    void SetVolume(std::uint16_t v) override {
        value = v;
        ++sets;
    }
    std::optional<std::uint16_t> Volume() override { return value; }
    void SetMute(bool m) override { muted = m; }
    std::vector<int> PollDescriptors() override { return {}; }
    bool HandleEvents() override { return true; }
    std::uint16_t value = 0;
    int sets = 0;
    bool muted = true;
};

class DigitalPlayback : public ::testing::Test {
protected:
    DigitalPlayback() : drives_(Environment(), nullptr, true) {
        NullSoundDevice::Options options;
        options.fast = true;
        options.sink = [this](const std::uint8_t* data, std::size_t bytes) {
            const std::lock_guard lock(mutex_);
            heard_.insert(heard_.end(), data, data + bytes);
        };
        device_ = std::make_unique<NullSoundDevice>(std::move(options));
        // Refills come back to this thread, as the window runs them between its events.
        player_ = std::make_unique<NHandler>(*device_, [this](std::function<void()> refill) {
            const std::lock_guard lock(mutex_);
            refills_.push_back(std::move(refill));
        });
        auto line = std::make_unique<FakeLine>();
        line_ = line.get();
        mixer_ = std::make_unique<TMixer>(std::move(line));
        TMainForm::Services services{view_, drives_, dialogs_, pump_,
                                     {dir_.Slash(), dir_.Slash() + "setting/", dir_.Slash() + "Music/"}};
        services.digital = player_.get();
        services.mixer = mixer_.get();
        form_ = std::make_unique<TMainForm>(std::move(services));
        form_->Construct();
        form_->Poll();
    }
    DriveEnvironment Environment() {
        DriveEnvironment env;
        env.scanRealDrives = false;
        env.clock = &clock_;
        return env;
    }
    // Runs the queued refills and polls until `done` or a few seconds passed.
    void RunUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < limit) {
            std::deque<std::function<void()>> refills;
            {
                const std::lock_guard lock(mutex_);
                refills.swap(refills_);
            }
            for (auto& r : refills) r();
            form_->Poll();
            if (refills.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    std::size_t Heard() {
        const std::lock_guard lock(mutex_);
        return heard_.size();
    }

    svtest::TempDir dir_;
    ManualClock clock_;
    svtest::ScriptedDialogs dialogs_;
    NullEventPump pump_;
    RecordingView view_;
    CdromDriveAccess drives_;
    std::mutex mutex_;
    std::vector<std::uint8_t> heard_;
    std::deque<std::function<void()>> refills_;
    std::unique_ptr<NullSoundDevice> device_;
    std::unique_ptr<NHandler> player_;
    FakeLine* line_ = nullptr;
    std::unique_ptr<TMixer> mixer_;
    std::unique_ptr<TMainForm> form_;
};

}  // namespace

TEST_F(DigitalPlayback, ATrackIsHeardWholeAndTheNextOneFollows) {
    form_->Settings().SetDigitalPlayback(true);
    DISC_INFO& disc = form_->Disc();
    const std::int32_t start = disc.Track(0).StartLba();
    const std::int32_t end = disc.Track(1).StartLba();
    std::vector<std::uint8_t> track(static_cast<std::size_t>(end - start) * kSectorBytes);
    ASSERT_TRUE(drives_.Cdrom()->ReadSectors(start, end - start, track.data()));

    form_->PlayCommand(false, 0);
    ASSERT_EQ(form_->State(), MainState::msPlaying);
    EXPECT_EQ(drives_.Cdrom()->VirtualDriveAt(0)->Commands().empty(), false);
    RunUntil([&] { return form_->CurrentTrack() == 1; });
    ASSERT_EQ(form_->CurrentTrack(), 1);  // the end of track 1 started track 2
    RunUntil([&] { return Heard() >= track.size(); });
    EXPECT_EQ(view_.caption, "Sornaval v3.4 - Track 2");
    {
        const std::lock_guard lock(mutex_);
        ASSERT_GE(heard_.size(), track.size());
        EXPECT_TRUE(std::equal(track.begin(), track.end(), heard_.begin()));
    }
    form_->Stop();
    Msf position;
    int status = 0;
    EXPECT_FALSE(player_->Position(position, status));
}

TEST_F(DigitalPlayback, PauseResumeAndSeekGoToThePlayer) {
    form_->Settings().SetDigitalPlayback(true);
    form_->PlayCommand(false, 1);
    RunUntil([&] { return Heard() > 200u * kSectorBytes; });
    form_->PauseCommand();
    Msf position;
    int status = 0;
    ASSERT_TRUE(player_->Position(position, status));
    EXPECT_EQ(status, 0x12);
    form_->PlayCommand(false, -1);  // resumes
    ASSERT_TRUE(player_->Position(position, status));
    EXPECT_NE(status, 0x12);

    form_->PlayBar().SetWidth(330);
    form_->PlayBarPressed();
    form_->PlayBarDragged(150);  // half of the 2250-sector track
    form_->PlayBarReleased();
    ASSERT_TRUE(player_->Position(position, status));
    const int rel = MsfToFrames(position) - kLbaBase - form_->Disc().Track(1).StartLba();
    EXPECT_GE(rel, form_->PlayBar().Position());
    EXPECT_LE(rel, form_->PlayBar().Position() + NHandler::kReadAhead);
}

TEST_F(DigitalPlayback, TheVolumeBarDrivesThePlayerTheDriveOrTheMixer) {
    EXPECT_FALSE(line_->muted);  // switched on at start-up
    struct Case {
        bool digital, onDrive;
        int value;
        int mixerValue;  // -1: the mixer is not set
        int attenuation;
    };
    const Case cases[] = {
        {false, false, 255, 65025, 0},    // 255 x 255, not 65535
        {false, false, 1, 255, 0},
        {false, true, 200, -1, 0},        // the drive's own volume
        {true, false, 128, -1, -584},     // the player's buffer
        {true, true, 0, -1, -10000},
    };
    for (const Case& c : cases) {
        form_->Settings().SetDigitalPlayback(c.digital);
        form_->Settings().SetSetDriveVolume(c.onDrive);
        player_->SetVolume(255);
        const int sets = line_->sets;
        form_->SetVolume(c.value);
        EXPECT_EQ(form_->Settings().Volume(), c.value);
        if (c.mixerValue < 0) {
            EXPECT_EQ(line_->sets, sets) << c.value;
        } else {
            EXPECT_EQ(line_->value, c.mixerValue) << c.value;
        }
        EXPECT_EQ(player_->Buffer().Attenuation(), c.attenuation) << c.value;
        if (c.onDrive && !c.digital) {
            EXPECT_EQ(drives_.Cdrom()->VirtualDriveAt(0)->VolumeLeft(), c.value);
        }
    }

    // Another program moves the line: the bar follows without sending it back.
    form_->Settings().SetDigitalPlayback(false);
    form_->Settings().SetSetDriveVolume(false);
    for (const auto& [raw, bar] : {std::pair{65535, 255}, std::pair{256, 1}, std::pair{255, 0}}) {
        line_->value = static_cast<std::uint16_t>(raw);
        const int sets = line_->sets;
        form_->MixerChanged();
        EXPECT_EQ(view_.volume, bar);
        EXPECT_EQ(form_->Settings().Volume(), bar);
        EXPECT_EQ(line_->sets, sets);
    }
    form_->Settings().SetDigitalPlayback(true);  // then the line's changes are not followed
    line_->value = 65535;
    form_->MixerChanged();
    EXPECT_EQ(view_.volume, 0);
}
