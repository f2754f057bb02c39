#include "decoders/OggDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sv {

std::int16_t VorbisFloatToS16(float v) {
    const float s = v * 32767.0f;
    // The cast truncates toward zero; NaN fails both tests and ends low.
    if (s >= 32767.0f) return 32767;
    if (s > -32768.0f) return std::int16_t(s);
    return -32768;
}

namespace {

std::size_t ReadFn(void* ptr, std::size_t size, std::size_t count, void* f) {
    return std::fread(ptr, size, count, static_cast<std::FILE*>(f));
}
int CloseFn(void* f) { return std::fclose(static_cast<std::FILE*>(f)); }

// Opens the file as a stream without seeking: a truncated file, whose end
// the seeking open cannot measure, still decodes up to its last whole page.
bool OpenStreaming(const std::string& path, OggVorbis_File& vf) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const ov_callbacks callbacks{ReadFn, nullptr, CloseFn, nullptr};
    if (ov_open_callbacks(f, &vf, nullptr, 0, callbacks) != 0) {
        std::fclose(f);
        return false;
    }
    return true;
}

// The samples per channel a streaming open gives, by decoding them.
std::uint64_t CountByDecoding(const std::string& path) {
    OggVorbis_File vf{};
    if (!OpenStreaming(path, vf)) return 0;
    std::uint64_t total = 0;
    for (int holes = 0; holes < 16;) {
        float** pcm = nullptr;
        int link = 0;
        long n = ov_read_float(&vf, &pcm, 4096, &link);
        if (n == OV_HOLE) {
            ++holes;
            continue;
        }
        if (n <= 0) break;
        total += std::uint64_t(n);
    }
    ov_clear(&vf);
    return total;
}

}  // namespace

bool TOGGDecoder::Open(const std::string& path) {
    if (open_) return false;
    if (ov_fopen(path.c_str(), &file_) != 0) return false;
    open_ = true;
    if (ov_pcm_total(&file_, -1) <= 0) {
        // Cut short: measure by decoding, then decode as a stream.
        ov_clear(&file_);
        open_ = false;
        if (!OpenStreaming(path, file_)) return false;
        open_ = true;
        streamedTotal_ = CountByDecoding(path);
    }
    vorbis_info* info = ov_info(&file_, -1);
    if (!info || info->channels < 1 || info->channels > 255 || info->rate <= 0) {
        Close();
        return false;
    }
    channels_ = std::uint8_t(info->channels);
    sampleRate_ = std::uint32_t(info->rate);
    bits_ = 16;
    bitrate_ = 0;
    ogg_int64_t total = ov_pcm_total(&file_, -1);
    totalSamples_ = total > 0 ? std::uint64_t(total) : streamedTotal_;
    duration_ = std::uint32_t(std::min<std::uint64_t>(totalSamples_ / sampleRate_ * 1000, 0xFFFFFFFFu));
    totalBytes_ = std::uint32_t(std::min<std::uint64_t>(totalSamples_ * channels_ * 2, 0xFFFFFFFEu));
    byteRate_ = sampleRate_ * channels_ * 2;
    outputPosition_ = 0;
    return true;
}

std::uint32_t TOGGDecoder::Read(void* buffer, std::uint32_t size) {
    if (!open_ || buffer == nullptr || size < kReadSize) return 0;
    auto* out = static_cast<std::int16_t*>(buffer);
    const int perChannel = kSamplesPerRead / channels_;
    // A few holes in the data are stepped over; anything else ends the stream.
    for (int attempt = 0; attempt < 16; ++attempt) {
        float** pcm = nullptr;
        int link = 0;
        long n = ov_read_float(&file_, &pcm, perChannel, &link);
        if (n == OV_HOLE) continue;
        if (n <= 0) return 0;
        vorbis_info* info = ov_info(&file_, link);
        if (!info || info->channels != channels_ || std::uint32_t(info->rate) != sampleRate_) return 0;
        for (long j = 0; j < n; ++j)
            for (int c = 0; c < channels_; ++c) out[j * channels_ + c] = VorbisFloatToS16(pcm[c][j]);
        std::uint32_t bytes = std::uint32_t(n) * channels_ * 2;
        outputPosition_ += bytes;
        return bytes;
    }
    return 0;
}

std::uint32_t TOGGDecoder::GetPosition() {
    if (!byteRate_) return 0;
    return std::uint32_t(outputPosition_ / byteRate_ * 1000);
}

void TOGGDecoder::Seek(std::uint32_t ms) {
    if (!open_) return;
    std::uint64_t sample = std::uint64_t(ms / 1000) * sampleRate_;
    sample = std::min(sample, totalSamples_);
    if (ov_pcm_seek(&file_, ogg_int64_t(sample)) == 0) outputPosition_ = sample * channels_ * 2;
}

bool TOGGDecoder::Close() {
    if (open_) ov_clear(&file_);
    open_ = false;
    streamedTotal_ = 0;
    std::memset(&file_, 0, sizeof file_);
    return true;
}

}  // namespace sv
