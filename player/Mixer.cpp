#include "player/Mixer.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <algorithm>

#include "player/AlsaQuiet.h"

namespace sv {

namespace {

class AlsaCdLine final : public IMixerLine {
public:
    AlsaCdLine(snd_mixer_t* mixer, snd_mixer_elem_t* element) : mixer_(mixer), element_(element) {
        snd_mixer_selem_get_playback_volume_range(element_, &min_, &max_);
        last_ = Volume();
    }
    ~AlsaCdLine() override { snd_mixer_close(mixer_); }

    void SetVolume(std::uint16_t value) override {
        if (max_ <= min_) return;
        const long raw = min_ + (static_cast<long>(value) * (max_ - min_) + 32767) / 65535;
        snd_mixer_selem_set_playback_volume_all(element_, raw);
        last_ = Volume();
    }
    std::optional<std::uint16_t> Volume() override {
        long raw = 0;
        if (max_ <= min_ || snd_mixer_selem_get_playback_volume(element_, SND_MIXER_SCHN_FRONT_LEFT, &raw) < 0)
            return std::nullopt;
        raw = std::clamp(raw, min_, max_);
        return static_cast<std::uint16_t>(((raw - min_) * 65535 + (max_ - min_) / 2) / (max_ - min_));
    }
    void SetMute(bool mute) override {
        if (snd_mixer_selem_has_playback_switch(element_)) snd_mixer_selem_set_playback_switch_all(element_, mute ? 0 : 1);
    }
    std::vector<int> PollDescriptors() override {
        const int count = snd_mixer_poll_descriptors_count(mixer_);
        if (count <= 0) return {};
        std::vector<pollfd> fds(static_cast<std::size_t>(count));
        const int got = snd_mixer_poll_descriptors(mixer_, fds.data(), static_cast<unsigned>(count));
        std::vector<int> result;
        for (int i = 0; i < got; ++i) result.push_back(fds[static_cast<std::size_t>(i)].fd);
        return result;
    }
    bool HandleEvents() override {
        snd_mixer_handle_events(mixer_);
        const auto now = Volume();
        if (now == last_) return false;
        last_ = now;
        return true;
    }

private:
    snd_mixer_t* mixer_;
    snd_mixer_elem_t* element_;
    long min_ = 0, max_ = 0;
    std::optional<std::uint16_t> last_;
};

}  // namespace

std::unique_ptr<IMixerLine> OpenAlsaCdLine() {
    QuietAlsaErrors();
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0) return nullptr;
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, "CD");
    snd_mixer_elem_t* element = nullptr;
    if (snd_mixer_attach(mixer, "default") >= 0 && snd_mixer_selem_register(mixer, nullptr, nullptr) >= 0 &&
        snd_mixer_load(mixer) >= 0)
        element = snd_mixer_find_selem(mixer, id);
    if (!element || !snd_mixer_selem_has_playback_volume(element)) {
        snd_mixer_close(mixer);
        return nullptr;
    }
    return std::make_unique<AlsaCdLine>(mixer, element);
}

TMixer::TMixer(std::unique_ptr<IMixerLine> line) : line_(std::move(line)) {}

void TMixer::SetVolume(int volume) {
    if (line_) line_->SetVolume(static_cast<std::uint16_t>(std::clamp(volume, 0, 255) * 255));
}

void TMixer::SetMute(bool mute) {
    if (line_) line_->SetMute(mute);
}

int TMixer::GetVolume() { return line_ ? line_->Volume().value_or(0) : 0; }

std::vector<int> TMixer::PollDescriptors() { return line_ ? line_->PollDescriptors() : std::vector<int>{}; }

bool TMixer::HandleEvents() { return line_ && line_->HandleEvents(); }

}  // namespace sv
