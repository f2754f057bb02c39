#include "encoders/EncoderCommon.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/Bytes.h"

namespace sv {

std::FILE* OpenOutputFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
    return f;
}

double NormalizationGain(std::int16_t peak, const TProgramSettings& settings) {
    if (peak <= 0) return 1.0;
    const double level = (static_cast<double>(peak) - 0.999999) * 100.0 / 32768.0;
    if (level > settings.NormHighThreshold()) return settings.NormHighTarget() / level * 0.9999;
    if (level >= settings.NormLowThreshold()) return 1.0;
    const double gain = settings.NormLowTarget() / level * 0.9999;
    const double toTarget = settings.NormLowTarget() * 32768.0 / 100.0 / peak;
    const double beforeClipping = 32767.0 / peak;
    return std::min({gain, toTarget, beforeClipping, kMaxNormalizationGain});
}

void ScaleBlock(std::int16_t* samples, std::size_t count, double gain) {
    if (gain == 1.0 || gain == 0.0) return;
    for (std::size_t i = 0; i < count; ++i) {
        double v = std::trunc(samples[i] * gain + 0.5);
        if (v > 32767.0) v = 32767.0;
        if (v < -32768.0) v = -32768.0;
        samples[i] = static_cast<std::int16_t>(v);
    }
}

void ScaleBlockBytes(std::uint8_t* bytes, std::size_t byteCount, double gain) {
    if (gain == 1.0 || gain == 0.0) return;
    for (std::size_t i = 0; i + 1 < byteCount; i += 2) {
        std::int16_t s = LoadLE<std::int16_t>(bytes + i);
        ScaleBlock(&s, 1, gain);
        StoreLE<std::int16_t>(bytes + i, s);
    }
}

std::int16_t BlockPeak(const std::uint8_t* bytes, std::size_t byteCount, std::int16_t peak) {
    int best = peak;
    for (std::size_t i = 0; i + 1 < byteCount; i += 2) {
        const int s = LoadLE<std::int16_t>(bytes + i);
        const int a = s < 0 ? -s : s;
        if (a > best) best = a;
    }
    return static_cast<std::int16_t>(best > 32767 ? 32767 : best);
}

std::size_t MixToMono(std::uint8_t* bytes, std::size_t byteCount) {
    const std::size_t frames = byteCount / 4;
    for (std::size_t f = 0; f < frames; ++f) {
        const int l = LoadLE<std::int16_t>(bytes + 4 * f);
        const int r = LoadLE<std::int16_t>(bytes + 4 * f + 2);
        StoreLE<std::int16_t>(bytes + 2 * f, static_cast<std::int16_t>(l / 2 + r / 2));
    }
    return frames * 2;
}

std::string ErrorText(int error) { return std::strerror(error); }

bool OpenEncoderSource(WavSource& wav, const std::string& source) {
    if (OpenWavSource(wav, source, true) != kWavAccepted) return false;
    const WAVEFORMATEX format = wav.Format();
    if (format.BitsPerSample() != 16 || format.Channels() < 1 || format.Channels() > 2) {
        CloseWavSource(wav);
        return false;
    }
    return true;
}

EncodeResult PumpWavIntoEncoder(WavSource& wav, std::size_t blockBytes, const std::string& path,
                                const EncoderProgressFn& progress, bool normalize, double gain,
                                const std::function<bool(const std::uint8_t*, std::size_t)>& encode,
                                const std::function<bool()>& close) {
    std::vector<std::uint8_t> block(blockBytes);
    const std::uint64_t total = wav.dataLength;
    std::uint64_t done = 0;
    bool cancel = false;
    bool ok = true;
    for (;;) {
        if (progress) {
            progress(done, total, cancel);
            if (cancel) break;
        }
        const std::size_t got = ReadWav(wav, block.data(), block.size());
        if (got == 0) break;
        if (normalize) ScaleBlockBytes(block.data(), got, gain);
        if (!encode(block.data(), got)) {
            ok = false;
            break;
        }
        done += got;
    }
    CloseWavSource(wav);
    const bool closed = close();
    if (cancel) {
        std::remove(path.c_str());
        return EncodeResult::Cancelled;
    }
    return ok && closed ? EncodeResult::Done : EncodeResult::Failed;
}

EncodeResult EncodeWavFile(const std::string& source, const std::string& path,
                           const std::function<bool(const WAVEFORMATEX&)>& open, const std::function<void()>& abandon,
                           const EncoderProgressFn& progress, bool normalize, double gain,
                           const std::function<bool(const std::uint8_t*, std::size_t)>& encode,
                           const std::function<bool()>& close) {
    WavSource wav;
    if (!OpenEncoderSource(wav, source)) return EncodeResult::SourceUnavailable;
    const WAVEFORMATEX format = wav.Format();
    if (!open(format)) {
        CloseWavSource(wav);
        abandon();
        return EncodeResult::Failed;
    }
    return PumpWavIntoEncoder(wav, std::size_t{4096} * format.BlockAlign(), path, progress, normalize, gain, encode,
                              close);
}

}  // namespace sv
