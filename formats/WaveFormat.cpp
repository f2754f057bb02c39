#include "formats/WaveFormat.h"

#include <algorithm>

#include "base/Bytes.h"

namespace sv {

bool WAVEFORMATEX::Parse(std::span<const std::uint8_t> bytes) {
    bytes_.assign(kBaseSize, 0);
    if (bytes.size() < 16) return false;
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), kBaseSize), bytes_.begin());
    if (bytes.size() < kBaseSize) {
        Set16(16, 0);
        return true;
    }
    const std::size_t extra = std::min<std::size_t>(CbSize(), bytes.size() - kBaseSize);
    bytes_.insert(bytes_.end(), bytes.begin() + kBaseSize, bytes.begin() + static_cast<std::ptrdiff_t>(kBaseSize + extra));
    return true;
}

WAVEFORMATEX WAVEFORMATEX::FromBytes(std::span<const std::uint8_t> bytes) {
    WAVEFORMATEX w;
    w.Parse(bytes);
    return w;
}

WAVEFORMATEX WAVEFORMATEX::Pcm(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits, bool isFloat) {
    WAVEFORMATEX w;
    w.SetFormatTag(isFloat ? kWaveFormatIeeeFloat : kWaveFormatPcm);
    w.SetChannels(channels);
    w.SetSamplesPerSec(rate);
    const auto align = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
    w.SetBlockAlign(align);
    w.SetAvgBytesPerSec(rate * align);
    w.SetBitsPerSample(bits);
    return w;
}

WAVEFORMATEX WAVEFORMATEX::CdFormat() { return Pcm(44100, 2, 16); }

void WAVEFORMATEX::SetExtra(std::span<const std::uint8_t> extra) {
    bytes_.resize(kBaseSize);
    bytes_.insert(bytes_.end(), extra.begin(), extra.end());
    Set16(16, static_cast<std::uint16_t>(extra.size()));
}

std::uint16_t WAVEFORMATEX::EffectiveTag() const {
    // WAVEFORMATEXTENSIBLE: valid bits u16, channel mask u32, then the
    // sub-format GUID whose first two bytes are the format tag.
    if (FormatTag() == kWaveFormatExtensible && Extra().size() >= 8)
        return LoadLE16(Extra().data() + 6);
    return FormatTag();
}

bool WAVEFORMATEX::IsPcmLike() const {
    const std::uint16_t tag = EffectiveTag();
    return tag == kWaveFormatPcm || tag == kWaveFormatIeeeFloat;
}

bool WAVEFORMATEX::IsFloat() const { return EffectiveTag() == kWaveFormatIeeeFloat; }

unsigned WAVEFORMATEX::ContainerBytes() const {
    if (!IsPcmLike() || Channels() == 0 || BlockAlign() % Channels() != 0) return 0;
    return BlockAlign() / Channels();
}

bool WAVEFORMATEX::IsCdFormat() const {
    return FormatTag() == kWaveFormatPcm && Channels() == 2 && SamplesPerSec() == 44100 && BitsPerSample() == 16;
}

std::string GroupThousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(' ');
        out.push_back(digits[i]);
    }
    return out;
}

std::string WAVEFORMATEX::Description(bool byBitRate) const {
    std::string text = GroupThousands(SamplesPerSec()) + " Hz; ";
    if (byBitRate) text += std::to_string((AvgBytesPerSec() * 8 + 500) / 1000) + " kbit/s; ";
    else if (BitsPerSample() != 0) text += std::to_string(BitsPerSample()) + " bit; ";
    switch (Channels()) {
    case 1: text += "mono"; break;
    case 2: text += "stereo"; break;
    default: text += std::to_string(Channels()) + " channels"; break;
    }
    return text;
}

std::uint16_t WAVEFORMATEX::Get16(std::size_t off) const { return LoadLE16(bytes_.data() + off); }
std::uint32_t WAVEFORMATEX::Get32(std::size_t off) const { return LoadLE32(bytes_.data() + off); }
void WAVEFORMATEX::Set16(std::size_t off, std::uint16_t v) { StoreLE16(bytes_.data() + off, v); }
void WAVEFORMATEX::Set32(std::size_t off, std::uint32_t v) { StoreLE32(bytes_.data() + off, v); }

}  // namespace sv
