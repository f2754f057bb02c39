// The quick MP3 window's rules over a codec list without and with an MP3
// codec of the codec layer.
#include <gtest/gtest.h>

#include "app/QuickMp3.h"
#include "encoders/AcmEncoders.h"

namespace {

sv::AcmDriverDetails Driver(const char* name, std::uint16_t tag, std::vector<std::string> formats) {
    sv::AcmDriverDetails d;
    d.longName = name;
    d.formatTag = tag;
    for (auto& f : formats) {
        sv::AcmFormatDetails fd;
        fd.formatTag = tag;
        fd.description = f;
        d.formats.push_back(fd);
    }
    return d;
}

}  // namespace

TEST(QuickMp3, LameRowsAndTheCodecLayersFormats) {
    sv::TProgramSettings s;
    s.ApplyDefaults("/tmp/sv/", "/tmp/music/");
    s.SetUseLameEncoder(true);
    s.SetLameVbrEnabled(true);

    // Without an MP3 codec of the layer only LAME is offered.
    const sv::TACMDrivers none({Driver("ADPCM", 2, {"22 050 Hz; 4 bit; mono"})});
    const sv::TWinMP3Encoder noMp3(none);
    auto v = sv::QuickMp3State(s, "Lame MP3 Encoder 3.100", noMp3);
    EXPECT_EQ(v.codecs, std::vector<std::string>{"Lame MP3 Encoder 3.100"});
    ASSERT_EQ(v.formats.size(), 14u);
    EXPECT_EQ(v.formats.front(), "320kBit/s");
    EXPECT_EQ(v.formats.back(), "32kBit/s");
    EXPECT_EQ(v.channels, (std::vector<std::string>{"Stereo", "JStereo", "2 Channel", "Mono"}));

    // Top row: index 14 (320 kbit/s), constant bit rate; last row: index 1.
    for (const auto& [row, index] : {std::pair{0, 14}, {13, 1}, {6, 8}}) {
        sv::QuickMp3ChooseFormat(s, row);
        EXPECT_EQ(s.LameBitrateIndex(), index);
        EXPECT_FALSE(s.LameVbrEnabled());
        EXPECT_EQ(sv::QuickMp3State(s, "L", noMp3).checkedFormat, row);
    }
    sv::QuickMp3ChooseChannel(s, 3);
    EXPECT_EQ(s.LameMode(), 3);
    EXPECT_EQ(sv::QuickMp3State(s, "L", noMp3).checkedChannel, 3);

    // With MP3 codecs: item 1 names codec Mp3AcmCodecIndex of the MP3 subset
    // (the ADPCM codec is not part of it), and its formats replace the rates.
    const sv::TACMDrivers two({Driver("ADPCM", 2, {"a"}), Driver("MP3 one", 0x55, {"x"}),
                               Driver("MP3 two", 0x55, {"8 kBit/s", "56 kBit/s", "128 kBit/s"})});
    const sv::TWinMP3Encoder mp3(two);
    s.SetMp3AcmCodecIndex(1);
    sv::QuickMp3ChooseCodec(s, 1);
    EXPECT_FALSE(s.UseLameEncoder());
    EXPECT_EQ(s.Mp3AcmCodecIndex(), 1) << "the codec index is kept";
    sv::QuickMp3ChooseFormat(s, 2);
    EXPECT_EQ(s.Mp3AcmFormatIndex(), 2);
    v = sv::QuickMp3State(s, "L", mp3);
    EXPECT_EQ(v.codecs, (std::vector<std::string>{"L", "MP3 two"}));
    EXPECT_EQ(v.codecItem, 1);
    EXPECT_EQ(v.formats, (std::vector<std::string>{"8 kBit/s", "56 kBit/s", "128 kBit/s"}));
    EXPECT_EQ(v.checkedFormat, 2);
    EXPECT_FALSE(v.showChannels);
    EXPECT_EQ(s.LameBitrateIndex(), 8) << "a codec's format leaves LAME's rate alone";

    sv::QuickMp3ChooseCodec(s, 0);
    EXPECT_TRUE(s.UseLameEncoder());
    EXPECT_EQ(sv::QuickMp3State(s, "L", mp3).codecItem, 0);
}
