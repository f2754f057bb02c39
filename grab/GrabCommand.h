// The grab command of the main window, without the window: which output the
// pressed control asks for, the availability and free-space checks, the
// drive's speed and tray lock, the settings' OutputFormat and EncodeFlag set
// for the grab and restored afterwards, the rip session, and the eject after
// copying. The window and sornaval-cli both run it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "grab/RipSession.h"

namespace sv {

// The control that started the grab.
enum class GrabSender {
    Mp3Button,       // SpeedButton2: MP3, or Ogg Vorbis when Mp3AsOgg is set
    Mp3Menu,         // menu item MP3
    WavButton,       // SpeedButton18 and menu item WAVE1
    WmaButton,       // WMAButton and menu item WMA1
    OggMenu,         // menu item OGG1
    ExternalMenu,    // menu item ExternalEncI: APE, AAC or another codec by ExtEncoder
    FlacMenu,        // menu item FLAC1
};

struct GrabOutput {
    std::uint8_t format = kFormatMp3;
    bool encode = true;
};

// OutputFormat and EncodeFlag for a grab started by `sender`.
GrabOutput GrabOutputFor(GrabSender sender, const TProgramSettings& settings);

// Bytes the grab needs at most: (start of the last track - start of the first
// audio track) x 2352.
std::uint64_t GrabSpaceNeeded(DISC_INFO& disc);

// Free bytes on the file system of `folder` (or of its nearest existing
// parent); nothing when it cannot be read.
std::optional<std::uint64_t> FreeSpaceAt(const std::string& folder);

struct GrabHooks {
    // Free space of a folder; empty: FreeSpaceAt.
    std::function<std::optional<std::uint64_t>(const std::string&)> freeSpace;
    // The window's Eject with the grab button as sender; empty: eject the tray.
    std::function<void()> eject;
};

struct GrabResult {
    bool ran = false;          // the rip session ran
    std::string refusal;       // why it did not (the message shown), empty otherwise
    RipResult rip;
};

// Runs the grab command for `sender` on the rip context. Messages and
// questions go to the context's dialogs: the format's unavailability message
// ends the command, and so does the answer No to the free-space question R01.
GrabResult RunGrabCommand(GrabSender sender, RipContext& context, const GrabHooks& hooks = {});

}  // namespace sv
