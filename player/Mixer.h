// TMixer: the system mixer's CD audio line, which the main window's volume bar
// drives when neither digital playback nor the drive's own volume is chosen.
// On Linux the line is the ALSA simple mixer element "CD" of the default card;
// where there is none the mixer path is empty and every call does nothing.
//
// Values on the line are 0..65535 (mapped onto the element's own range): the
// bar's 0..255 is set as v x 255 (so 255 gives 65025), and a value read back
// shows on the bar as value div 256.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace sv {

// One mixer line with a volume and a mute control (tests give their own).
class IMixerLine {
public:
    virtual ~IMixerLine() = default;
    virtual void SetVolume(std::uint16_t value) = 0;       // 0..65535
    virtual std::optional<std::uint16_t> Volume() = 0;     // 0..65535
    virtual void SetMute(bool mute) = 0;
    // Descriptors to watch for changes made by other programs (poll for input).
    virtual std::vector<int> PollDescriptors() = 0;
    // Reads what arrived on them; true when the line's volume changed.
    virtual bool HandleEvents() = 0;
};

// The ALSA "CD" element of the default card; null when there is none.
std::unique_ptr<IMixerLine> OpenAlsaCdLine();

class TMixer {
public:
    // Null `line`: the empty mixer path.
    explicit TMixer(std::unique_ptr<IMixerLine> line);
    bool HasLine() const { return line_ != nullptr; }
    void SetVolume(int volume);  // 0..255 -> volume x 255
    void SetMute(bool mute);
    // The line's raw value 0..65535 (0 without a line).
    int GetVolume();
    std::vector<int> PollDescriptors();
    bool HandleEvents();

private:
    std::unique_ptr<IMixerLine> line_;
};

// What the volume bar shows for a raw mixer value.
constexpr int MixerBarValue(int raw) { return raw >> 8; }

}  // namespace sv
