#include "decoders/MpegDecoder.h"

#include <mpg123.h>

#include <algorithm>
#include <mutex>

namespace sv {

namespace {

constexpr int kNeedMore = 1;
constexpr int kEnded = -1;

// The four library operations the decoder is written against.
bool MpgLib_OpenStream(mpg123_handle** stream) {
    static std::once_flag init;
    std::call_once(init, [] { mpg123_init(); });
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return false;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    // Always 16-bit output, at the stream's own rate and channel count.
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h) != MPG123_OK) {
        mpg123_delete(h);
        return false;
    }
    *stream = h;
    return true;
}

// 1 = the library needs input, 0 = output (or a format change) was made,
// -1 = the stream cannot go on.
int MpgLib_DecodeChunk(mpg123_handle* stream, const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                       std::size_t outSize, std::size_t* produced) {
    *produced = 0;
    int r = mpg123_decode(stream, in, inSize, out, outSize, produced);
    if (r == MPG123_NEED_MORE) return *produced ? 0 : kNeedMore;
    if (r == MPG123_OK || r == MPG123_NEW_FORMAT || r == MPG123_DONE) return 0;
    return kEnded;
}

void MpgLib_Flush(mpg123_handle* stream) {
    if (!stream) return;
    mpg123_close(stream);
    mpg123_open_feed(stream);
}

void MpgLib_CloseStream(mpg123_handle* stream) {
    if (stream) mpg123_delete(stream);
}

}  // namespace

bool TMPEGDecoder::Open(const std::string& path) {
    if (file_) return false;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    std::fseek(file_, 0, SEEK_END);
    long fileSize = std::ftell(file_);
    std::fseek(file_, 0, SEEK_SET);
    if (fileSize <= 0) {
        Close();
        return false;
    }
    std::vector<std::uint8_t> head(std::min<std::size_t>(std::size_t(fileSize), kSearchBytes));
    head.resize(std::fread(head.data(), 1, head.size(), file_));
    auto start = FindFirstMpegFrame(head);
    if (!start) {
        Close();
        return false;
    }
    header_ = start->header;
    audioStart_ = start->offset;
    leadingData_.clear();
    if (keepLeadingData_ && audioStart_ > 0) leadingData_.assign(head.begin(), head.begin() + audioStart_);
    sampleRate_ = header_.sampleRate;
    bitrate_ = header_.bitrate;
    channels_ = std::uint8_t(header_.channels);
    bits_ = 16;
    audioSize_ = std::uint64_t(fileSize) - audioStart_;
    remaining_ = audioSize_;
    std::fseek(file_, long(audioStart_), SEEK_SET);
    if (!MpgLib_OpenStream(&stream_)) {
        Close();
        return false;
    }
    return true;
}

std::uint32_t TMPEGDecoder::Read(void* buffer, std::uint32_t size) {
    if (!file_ || !stream_ || buffer == nullptr) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t produced = 0;
    for (int idle = 0; idle < kMaxIdleCalls; ++idle) {
        // Drain what the library holds before giving it more.
        int status = MpgLib_DecodeChunk(stream_, nullptr, 0, out, size, &produced);
        if (produced) return std::uint32_t(produced);
        if (status == kEnded) break;
        if (status != kNeedMore) continue;
        std::size_t n = std::size_t(std::min<std::uint64_t>(remaining_, kFeedSize));
        n = n ? std::fread(input_.data(), 1, n, file_) : 0;
        if (n == 0) break;  // end of file, and nothing left inside
        remaining_ -= n;
        idle = -1;          // input was taken: progress
        status = MpgLib_DecodeChunk(stream_, input_.data(), n, out, size, &produced);
        if (produced) return std::uint32_t(produced);
        if (status == kEnded) break;
    }
    MpgLib_Flush(stream_);
    return 0;
}

std::uint32_t TMPEGDecoder::GetLength() {
    if (!file_ || header_.layer < 1 || header_.layer > 3 || header_.sampleRate == 0) return 0;
    std::uint64_t samples = 0;
    if (header_.vbr)
        samples = std::uint64_t(header_.samplesPerFrame) * header_.xingFrames;
    else if (header_.frameLength)
        samples = std::uint64_t(header_.samplesPerFrame) * (audioSize_ / header_.frameLength);
    frameSamples_ = samples;
    std::uint64_t seconds = samples / header_.sampleRate;
    totalBytes_ = std::uint32_t(std::min<std::uint64_t>(seconds * 176400, 0xFFFFFFFCu));
    byteRate_ = 176400;
    duration_ = std::uint32_t(std::min<std::uint64_t>(seconds * 1000, 0xFFFFFFFFu));
    return duration_;
}

std::uint32_t TMPEGDecoder::GetPosition() {
    if (!file_ || audioSize_ == 0 || header_.sampleRate == 0) return 0;
    const std::uint64_t offset = audioSize_ - remaining_;  // bytes of audio given to the library
    double samples = 0;
    if (header_.vbr && header_.HasToc()) {
        const double g = double(offset) / double(audioSize_) * 255.0;
        int p = 0;
        while (p < 100 && header_.toc[p] <= g) ++p;
        if (p == 100) return 0;
        const double prev = p ? header_.toc[p - 1] : 0;
        const double d = header_.toc[p] - prev;
        const double percent = d > 0 ? p + 1 - (header_.toc[p] - g) / d : p;
        samples = double(header_.xingFrames) * percent / 100.0 * header_.samplesPerFrame;
    } else if (header_.vbr) {
        samples = double(header_.xingFrames) * double(offset) / double(audioSize_) * header_.samplesPerFrame;
    } else {
        if (header_.frameLength == 0) return 0;
        samples = double(offset / header_.frameLength) * header_.samplesPerFrame;
    }
    return std::uint32_t(samples / header_.sampleRate * 1000.0);
}

void TMPEGDecoder::Seek(std::uint32_t ms) {
    if (!file_) return;
    if (duration_ == 0) GetLength();
    std::uint64_t p = duration_ ? std::uint64_t(ms) * 100 / duration_ : 0;
    p = std::min<std::uint64_t>(p, 99);
    MpgLib_Flush(stream_);
    std::uint64_t target = header_.vbr && header_.HasToc() ? header_.toc[p] * audioSize_ / 255 : p * audioSize_ / 100;
    target = std::min(target, audioSize_);
    // Offsets count from the first frame, so a tag in front does not shift them.
    std::fseek(file_, long(audioStart_ + target), SEEK_SET);
    remaining_ = audioSize_ - target;
}

bool TMPEGDecoder::Close() {
    if (file_) {
        MpgLib_Flush(stream_);
        MpgLib_CloseStream(stream_);
        stream_ = nullptr;
        std::fclose(file_);
        file_ = nullptr;
    }
    duration_ = 0;
    return true;
}

void TMPEGDecoder::Release() {
    leadingData_.clear();
    Close();
}

}  // namespace sv
