#include "decoders/FlacDecoder.h"

#include <algorithm>
#include <cstring>

namespace sv {

FLAC__StreamDecoderWriteStatus TFlacDecoder::OnWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                     const FLAC__int32* const buffer[], void* self) {
    auto& d = *static_cast<TFlacDecoder*>(self);
    const unsigned channels = frame->header.channels;
    if (channels != d.channels_ || channels == 0) {
        d.failed_ = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const unsigned bits = frame->header.bits_per_sample;
    const std::size_t start = d.pending_.size();
    d.pending_.resize(start + static_cast<std::size_t>(frame->header.blocksize) * channels * 2);
    std::uint8_t* out = d.pending_.data() + start;
    for (unsigned i = 0; i < frame->header.blocksize; ++i) {
        for (unsigned ch = 0; ch < channels; ++ch) {
            FLAC__int32 v = buffer[ch][i];
            if (bits > 16) v >>= (bits - 16);
            else if (bits < 16) v *= 1 << (16 - bits);
            const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(v, -32768, 32767)));
            *out++ = static_cast<std::uint8_t>(s & 0xFF);
            *out++ = static_cast<std::uint8_t>(s >> 8);
        }
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void TFlacDecoder::OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* self) {
    auto& d = *static_cast<TFlacDecoder*>(self);
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    const auto& info = metadata->data.stream_info;
    d.sampleRate_ = info.sample_rate;
    d.channels_ = static_cast<std::uint8_t>(info.channels);
    d.sourceBits_ = info.bits_per_sample;
    d.totalSamples_ = info.total_samples;
}

void TFlacDecoder::OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {
    // A damaged frame is skipped by the library; the samples around it still come.
}

bool TFlacDecoder::Open(const std::string& path) {
    Close();
    sampleRate_ = 0;
    channels_ = 0;
    decoder_ = FLAC__stream_decoder_new();
    if (!decoder_) return false;
    FLAC__stream_decoder_set_md5_checking(decoder_, false);
    if (FLAC__stream_decoder_init_file(decoder_, path.c_str(), &OnWrite, &OnMetadata, &OnError, this) !=
            FLAC__STREAM_DECODER_INIT_STATUS_OK ||
        !FLAC__stream_decoder_process_until_end_of_metadata(decoder_) || sampleRate_ == 0 || channels_ == 0 ||
        channels_ > 8) {
        Close();
        return false;
    }
    bits_ = 16;
    byteRate_ = sampleRate_ * channels_ * 2;
    bitrate_ = byteRate_ * 8 / 1000;
    const std::uint64_t bytes = totalSamples_ * channels_ * 2;
    totalBytes_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
    length_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(totalSamples_ * 1000 / sampleRate_, 0xFFFFFFFFu));
    return true;
}

bool TFlacDecoder::Close() {
    if (decoder_) {
        FLAC__stream_decoder_finish(decoder_);
        FLAC__stream_decoder_delete(decoder_);
    }
    decoder_ = nullptr;
    pending_.clear();
    pendingPos_ = 0;
    position_ = 0;
    totalSamples_ = 0;
    length_ = 0;
    failed_ = false;
    return true;
}

std::uint32_t TFlacDecoder::Read(void* buffer, std::uint32_t size) {
    if (!decoder_ || channels_ == 0) return 0;
    const std::uint32_t frameBytes = channels_ * 2u;
    size -= size % frameBytes;
    while (pending_.size() - pendingPos_ < size && !failed_) {
        if (pendingPos_ > 0) {
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingPos_));
            pendingPos_ = 0;
        }
        if (FLAC__stream_decoder_get_state(decoder_) == FLAC__STREAM_DECODER_END_OF_STREAM) break;
        const std::size_t before = pending_.size();
        if (!FLAC__stream_decoder_process_single(decoder_)) break;
        if (pending_.size() == before && FLAC__stream_decoder_get_state(decoder_) == FLAC__STREAM_DECODER_END_OF_STREAM)
            break;
    }
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(size, pending_.size() - pendingPos_));
    std::memcpy(buffer, pending_.data() + pendingPos_, n);
    pendingPos_ += n;
    position_ += n / frameBytes;
    return n;
}

std::uint32_t TFlacDecoder::GetPosition() {
    return sampleRate_ ? static_cast<std::uint32_t>(position_ * 1000 / sampleRate_) : 0;
}

void TFlacDecoder::Seek(std::uint32_t ms) {
    if (!decoder_ || sampleRate_ == 0) return;
    std::uint64_t sample = static_cast<std::uint64_t>(ms) * sampleRate_ / 1000;
    if (totalSamples_ > 0) sample = std::min(sample, totalSamples_ - 1);
    pending_.clear();
    pendingPos_ = 0;
    if (!FLAC__stream_decoder_seek_absolute(decoder_, sample)) {
        // A failed seek leaves the decoder needing a flush; reading starts over there.
        FLAC__stream_decoder_flush(decoder_);
    }
    // The seek's own write callback put the first frame in from `sample` on.
    position_ = sample;
}

}  // namespace sv
