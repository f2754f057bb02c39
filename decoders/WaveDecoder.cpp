#include "decoders/WaveDecoder.h"

#include <algorithm>
#include <cstring>

namespace sv {

namespace {
constexpr std::uint32_t kCdByteRate = 176400;
}

bool TWAVEDecoder::Open(const std::string& path) {
    if (source_.IsOpen()) return false;
    int r = OpenWavSource(source_, path, true);
    // A format the reader does not take as PCM stays open: the codec layer
    // may still decode it.
    if (r != kWavAccepted && !(r == kWavNotAccepted && source_.IsOpen())) {
        CloseWavSource(source_);
        return false;
    }
    sourceFormat_ = source_.Format();
    if (sourceFormat_.AvgBytesPerSec() == 0 || !SetUpConversion()) {
        Close();
        return false;
    }
    channels_ = 2;
    sampleRate_ = 44100;
    bits_ = 16;
    byteRate_ = kCdByteRate;
    std::uint64_t total = std::uint64_t(source_.dataLength) * kCdByteRate / sourceFormat_.AvgBytesPerSec();
    totalBytes_ = std::uint32_t(std::min<std::uint64_t>(total & ~std::uint64_t(3), 0xFFFFFFFCu));
    consumed_ = 0;
    outputPosition_ = 0;
    return true;
}

bool TWAVEDecoder::SetUpConversion() {
    converting_ = !(sourceFormat_.EffectiveTag() == kWaveFormatPcm && sourceFormat_.IsCdFormat());
    readSize_ = kPlainReadSize;
    if (!converting_) return true;
    const WAVEFORMATEX target = WAVEFORMATEX::CdFormat();
    if (acmStreamOpen(&stream_, sourceFormat_, target, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) {
        stream_ = nullptr;
        return false;
    }
    std::uint32_t align = std::max<std::uint32_t>(1, sourceFormat_.BlockAlign());
    sourceChunk_ = std::max(align, kSourceChunk / align * align);
    std::uint32_t out = 0;
    if (acmStreamSize(stream_, sourceChunk_, &out, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR || out == 0)
        return false;
    readSize_ = (out + 3) & ~3u;
    sourceBuffer_.assign(sourceChunk_, 0);
    destBuffer_.assign(readSize_, 0);
    header_ = ACMSTREAMHEADER{};
    header_.pbSrc = sourceBuffer_.data();
    header_.cbSrcLength = sourceChunk_;
    header_.pbDst = destBuffer_.data();
    header_.cbDstLength = readSize_;
    return acmStreamPrepareHeader(stream_, &header_, 0) == MMSYSERR_NOERROR;
}

std::uint32_t TWAVEDecoder::Read(void* buffer, std::uint32_t size) {
    if (!source_.IsOpen() || buffer == nullptr) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t given = 0;
    if (!converting_) {
        // Only the data chunk is sound; chunks after it are not handed out.
        std::uint32_t left = source_.dataLength - std::min(consumed_, source_.dataLength);
        std::uint32_t want = std::min(size, left) & ~3u;
        given = std::uint32_t(ReadWav(source_, out, want)) & ~3u;
        consumed_ += given;
    } else {
        // The stream may give more than one buffer's worth at the end (the
        // flush); what does not fit is kept for the next call.
        for (int round = 0; round < 64 && pending_.size() < size; ++round) {
            std::uint32_t left = source_.dataLength - std::min(consumed_, source_.dataLength);
            std::uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN;
            if (consumed_ == 0) flags |= ACM_STREAMCONVERTF_START;
            std::uint32_t chunk = sourceChunk_;
            if (chunk >= left) {
                chunk = left;
                flags |= ACM_STREAMCONVERTF_END;
            }
            std::uint32_t got = chunk ? std::uint32_t(ReadWav(source_, sourceBuffer_.data(), chunk)) : 0;
            if (got < chunk) flags |= ACM_STREAMCONVERTF_END;
            header_.cbSrcLength = got;
            header_.cbSrcLengthUsed = header_.cbDstLengthUsed = 0;
            if (acmStreamConvert(stream_, &header_, flags) != MMSYSERR_NOERROR) break;
            consumed_ += header_.cbSrcLengthUsed;
            if (header_.cbSrcLengthUsed < got)
                std::fseek(source_.file, -long(got - header_.cbSrcLengthUsed), SEEK_CUR);
            pending_.insert(pending_.end(), destBuffer_.begin(), destBuffer_.begin() + header_.cbDstLengthUsed);
            if (header_.cbDstLengthUsed == 0 && header_.cbSrcLengthUsed == 0) break;
        }
        given = std::uint32_t(std::min<std::size_t>(pending_.size(), size)) & ~3u;
        std::memcpy(out, pending_.data(), given);
        pending_.erase(pending_.begin(), pending_.begin() + given);
    }
    outputPosition_ += given;
    return given;
}

std::uint32_t TWAVEDecoder::GetLength() { return totalBytes_ / kCdByteRate * 1000; }

std::uint32_t TWAVEDecoder::GetPosition() { return outputPosition_ / kCdByteRate * 1000; }

void TWAVEDecoder::Seek(std::uint32_t ms) {
    if (!source_.IsOpen()) return;
    std::uint64_t s = ms / 1000;
    std::uint64_t byteOffset = s * sourceFormat_.AvgBytesPerSec();
    std::uint32_t align = std::max<std::uint32_t>(1, sourceFormat_.BlockAlign());
    byteOffset = std::min<std::uint64_t>(byteOffset / align * align, source_.dataLength);
    outputPosition_ = std::uint32_t(std::min<std::uint64_t>(s * kCdByteRate, 0xFFFFFFFCu));
    consumed_ = std::uint32_t(byteOffset);
    std::fseek(source_.file, long(source_.dataOffset + byteOffset), SEEK_SET);
    pending_.clear();
    if (stream_) acmStreamReset(stream_, 0);
}

bool TWAVEDecoder::Close() {
    if (stream_) {
        acmStreamUnprepareHeader(stream_, &header_, 0);
        acmStreamClose(stream_, 0);
        stream_ = nullptr;
    }
    sourceBuffer_.clear();
    destBuffer_.clear();
    pending_.clear();
    converting_ = false;
    CloseWavSource(source_);
    return true;
}

}  // namespace sv
