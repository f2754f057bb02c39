// The quick MP3 window's rules: what it shows for the settings and what a
// click changes in them. The window edits the main settings directly.
#pragma once

#include <string>
#include <vector>

#include "base/ProgramSettings.h"

namespace sv {

class TWinMP3Encoder;

struct QuickMp3View {
    // Item 0: the LAME library's description; item 1, when the codec layer
    // has MP3 codecs: the name of codec Mp3AcmCodecIndex.
    std::vector<std::string> codecs;
    int codecItem = 0;
    // LAME: the bit rates "320kBit/s" ... "32kBit/s"; a codec: its formats.
    std::vector<std::string> formats;
    int checkedFormat = -1;  // the row drawn with the check-mark, -1 none
    // Only with LAME: "Stereo", "JStereo", "2 Channel", "Mono".
    bool showChannels = false;
    std::vector<std::string> channels;
    int checkedChannel = -1;
};

QuickMp3View QuickMp3State(const TProgramSettings& settings, const std::string& lameDescription,
                           const TWinMP3Encoder& codecs);

// Item 0 chooses LAME, item 1 the codec layer's codec (keeping its index).
void QuickMp3ChooseCodec(TProgramSettings& settings, int item);
// A format row: LAME's bit rate 14 - row (constant bit rate), or the codec's
// format `row`.
void QuickMp3ChooseFormat(TProgramSettings& settings, int row);
// A channel row: LAME's mode.
void QuickMp3ChooseChannel(TProgramSettings& settings, int row);

}  // namespace sv
