// The codec list: which codecs and formats it offers from CD audio.
#include <gtest/gtest.h>

#include <algorithm>

#include "formats/Acm.h"

using namespace sv;

namespace {

const AcmDriverDetails* Driver(std::uint16_t tag) {
    for (const auto& d : EnumerateAcmDrivers())
        if (d.formatTag == tag) return &d;
    return nullptr;
}

bool HasDescription(const AcmDriverDetails& d, const std::string& text) {
    return std::any_of(d.formats.begin(), d.formats.end(), [&](const auto& f) { return f.description == text; });
}

}  // namespace

TEST(AcmDrivers, OffersTheCommonWavCodecs) {
    for (std::uint16_t tag : {kWaveFormatPcm, kWaveFormatIeeeFloat, kWaveFormatAdpcm, kWaveFormatImaAdpcm,
                              kWaveFormatAlaw, kWaveFormatMulaw, kWaveFormatMpeg, kWaveFormatMpegLayer3}) {
        EXPECT_NE(Driver(tag), nullptr) << std::hex << tag;
    }
    const auto* ima = Driver(kWaveFormatImaAdpcm);
    ASSERT_NE(ima, nullptr);
    EXPECT_TRUE(HasDescription(*ima, "44 100 Hz; 4 bit; stereo"));
    EXPECT_TRUE(HasDescription(*ima, "8 000 Hz; 4 bit; mono"));
    const auto* pcm = Driver(kWaveFormatPcm);
    ASSERT_NE(pcm, nullptr);
    EXPECT_TRUE(HasDescription(*pcm, "44 100 Hz; 16 bit; stereo"));
    EXPECT_TRUE(HasDescription(*pcm, "22 050 Hz; 8 bit; mono"));
    const auto* mp3 = Driver(kWaveFormatMpegLayer3);
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->longName.find("MP3") != std::string::npos, true) << mp3->longName;
    EXPECT_TRUE(HasDescription(*mp3, "44 100 Hz; 128 kbit/s; stereo"));
    EXPECT_TRUE(HasDescription(*mp3, "22 050 Hz; 64 kbit/s; mono"));
}

TEST(AcmDrivers, FormatsRespectTheEncodersLimits) {
    // GSM 6.10 and G.726 only at 8 kHz mono; MPEG-1 rates only with MPEG-1 bit rates.
    for (std::uint16_t tag : {kWaveFormatGsm610, std::uint16_t{0x0045}}) {
        const auto* d = Driver(tag);
        if (!d) continue;
        for (const auto& f : d->formats) {
            EXPECT_EQ(f.format.SamplesPerSec(), 8000u) << f.description;
            EXPECT_EQ(f.format.Channels(), 1u) << f.description;
        }
    }
    if (const auto* g726 = Driver(0x0045)) {
        EXPECT_TRUE(HasDescription(*g726, "8 000 Hz; 2 bit; mono"));
        EXPECT_TRUE(HasDescription(*g726, "8 000 Hz; 5 bit; mono"));
    }
    const auto* mp3 = Driver(kWaveFormatMpegLayer3);
    ASSERT_NE(mp3, nullptr);
    EXPECT_FALSE(HasDescription(*mp3, "44 100 Hz; 8 kbit/s; stereo"));
    EXPECT_FALSE(HasDescription(*mp3, "22 050 Hz; 320 kbit/s; stereo"));
}

TEST(AcmDrivers, EveryFormatRecordIsWholeAndOpensFromCdAudio) {
    const auto& drivers = EnumerateAcmDrivers();
    ASSERT_FALSE(drivers.empty());
    for (const auto& d : drivers) {
        EXPECT_FALSE(d.longName.empty());
        ASSERT_FALSE(d.formats.empty()) << d.shortName;
        for (std::size_t i = 0; i < d.formats.size(); ++i) {
            const auto& f = d.formats[i];
            SCOPED_TRACE(d.shortName + " " + f.description);
            EXPECT_EQ(f.formatIndex, i);
            EXPECT_EQ(f.formatTag, d.formatTag);
            EXPECT_EQ(f.format.FormatTag(), d.formatTag);
            EXPECT_EQ(f.format.CbSize(), f.format.Extra().size());
            EXPECT_LE(f.format.Size(), 100u);
            EXPECT_GT(f.format.AvgBytesPerSec(), 0u);
            EXPECT_EQ(acmStreamOpen(nullptr, WAVEFORMATEX::CdFormat(), f.format, ACM_STREAMOPENF_QUERY),
                      MMSYSERR_NOERROR);
        }
    }
    // Codec records carry their extra bytes: MPEG Layer-3 its 12 bytes,
    // IMA ADPCM its samples per block.
    const auto* mp3 = Driver(kWaveFormatMpegLayer3);
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->formats.front().format.CbSize(), 12u);
    const auto* ima = Driver(kWaveFormatImaAdpcm);
    ASSERT_NE(ima, nullptr);
    for (const auto& f : ima->formats) {
        ASSERT_EQ(f.format.CbSize(), 2u);
        const unsigned ch = f.format.Channels();
        const unsigned spb = f.format.Extra()[0] | (f.format.Extra()[1] << 8);
        EXPECT_EQ(spb, (f.format.BlockAlign() - 4 * ch) * 8 / (4 * ch) + 1);
    }
}
