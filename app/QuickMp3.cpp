#include "app/QuickMp3.h"

#include "app/SettingsDialogLogic.h"
#include "encoders/AcmEncoders.h"

namespace sv {

QuickMp3View QuickMp3State(const TProgramSettings& s, const std::string& lameDescription,
                           const TWinMP3Encoder& codecs) {
    QuickMp3View v;
    v.codecs.push_back(lameDescription);
    int codec = s.Mp3AcmCodecIndex();
    if (codec < 0 || codec >= codecs.CodecCount()) codec = 0;
    if (codecs.HasCodec()) v.codecs.push_back(codecs.CodecNames()[static_cast<std::size_t>(codec)]);
    const bool lame = s.UseLameEncoder() || !codecs.HasCodec();
    v.codecItem = lame ? 0 : 1;
    if (lame) {
        v.formats = Mp3BitrateItems();
        const int row = 14 - s.LameBitrateIndex();
        v.checkedFormat = row >= 0 && row < static_cast<int>(v.formats.size()) ? row : -1;
        v.showChannels = true;
        v.channels = {"Stereo", "JStereo", "2 Channel", "Mono"};
        const int mode = s.LameMode();
        v.checkedChannel = mode >= 0 && mode < 4 ? mode : -1;
    } else {
        v.formats = codecs.FormatList(codec);
        const int row = s.Mp3AcmFormatIndex();
        v.checkedFormat = row < static_cast<int>(v.formats.size()) ? row : -1;
    }
    return v;
}

void QuickMp3ChooseCodec(TProgramSettings& s, int item) { s.SetUseLameEncoder(item <= 0); }

void QuickMp3ChooseFormat(TProgramSettings& s, int row) {
    if (row < 0) return;
    if (s.UseLameEncoder()) {
        if (row > 13) return;
        s.SetLameBitrateIndex(14 - row);
        s.SetLameVbrEnabled(false);
    } else {
        s.SetMp3AcmFormatIndex(static_cast<std::uint16_t>(row));
    }
}

void QuickMp3ChooseChannel(TProgramSettings& s, int row) {
    if (row >= 0 && row < 4) s.SetLameMode(row);
}

}  // namespace sv
