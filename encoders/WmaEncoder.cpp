#include "encoders/WmaEncoder.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "base/TagRecord.h"
#include "base/Text.h"

namespace sv {

namespace {

constexpr int kIoBufferSize = 1 << 16;

}  // namespace

bool TWMAEncoder::Available(const std::string& codecName) {
    ffcodec::QuietLibraryLog();
    return avcodec_find_encoder_by_name(codecName.c_str()) != nullptr && av_guess_format("asf", nullptr, nullptr);
}

int TWMAEncoder::BitrateOf(int index) { return kBitrates[std::clamp(index, 0, int(std::size(kBitrates)) - 1)]; }

std::vector<std::pair<std::string, std::string>> TWMAEncoder::Metadata(const std::uint8_t* tagRecord) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!tagRecord) return out;
    const TagRecordRef tag(const_cast<std::uint8_t*>(tagRecord));
    if (!tag.Present()) return out;
    // The program's element order. FFmpeg's asf muxer turns artist into
    // Author, comment into Description (both in the content description
    // object), album into WM/AlbumTitle, genre into WM/Genre, track into
    // WM/TrackNumber and encoded_by into WM/EncodedBy; it has no name for the
    // year, so WM/Year is given as Windows Media names it.
    const std::pair<const char*, std::string> fields[] = {
        {"artist", tag.Artist()}, {"title", tag.Title()}, {"album", tag.Album()},
        {"comment", tag.Comment()}, {"WM/Year", tag.Year()}, {"genre", tag.Genre()},
        {"track", tag.TrackNumber()}, {"encoded_by", tag.EncodedBy()}};
    for (const auto& [key, text] : fields)
        // The comment is set even when empty (the muxer stores an empty
        // Description); other empty fields are left out.
        if (!text.empty() || std::string_view(key) == "comment") out.emplace_back(key, ToUtf8Lenient(text));
    return out;
}

bool TWMAEncoder::Fail(const char* message) { return FailOpen(message, [this] { Release(); }); }

int TWMAEncoder::WriteToFile(void* opaque, std::uint8_t* data, int size) {
    auto* self = static_cast<TWMAEncoder*>(opaque);
    if (std::fwrite(data, 1, std::size_t(size), self->file_) == std::size_t(size)) return size;
    if (self->error_ == 0) self->error_ = errno != 0 ? errno : EIO;
    self->failed_ = true;
    return AVERROR(self->error_);
}

std::int64_t TWMAEncoder::SeekFile(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<TWMAEncoder*>(opaque);
    if (whence & AVSEEK_SIZE) return -1;
    // The muxer seeks back only to complete the header at the end; buffered
    // bytes must reach the file first for a write error to show.
    if (std::fflush(self->file_) != 0 || fseeko(self->file_, offset, whence & ~AVSEEK_FORCE) != 0) {
        if (self->error_ == 0) self->error_ = errno != 0 ? errno : EIO;
        self->failed_ = true;
        return AVERROR(self->error_);
    }
    return ftello(self->file_);
}

bool TWMAEncoder::Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings) {
    if (IsOpen()) return false;
    message_.clear();
    path_.clear();
    failed_ = false;
    error_ = 0;
    // WmaUseDRM is ignored: there is no DRM on this platform.
    const int channels = input_.Channels();
    const int rate = int(input_.SamplesPerSec());
    if (input_.BitsPerSample() != 16 || channels < 1 || channels > 2) return Fail(kCodecMessage);
    // wmav2 takes every rate of the table at every sample rate up to 48000 Hz
    // (above that, and below 24 kbit/s, it refuses; that is a codec failure).
    const std::int64_t bitRate = std::int64_t(BitrateOf(settings.WmaBitrateIndex())) * 1000;
    switch (core_.Open(codecName_, rate, channels, [bitRate](AVCodecContext& c) { c.bit_rate = bitRate; })) {
        case FfmpegOpen::Opened: break;
        case FfmpegOpen::NoMemory: return Fail(kMemoryMessage);
        case FfmpegOpen::NoCodec:
        case FfmpegOpen::Refused: return Fail(kCodecMessage);
    }
    // FFmpeg's wmav2 decoder drops the first frame's output: a frame of
    // silence ahead of the audio keeps the track's first samples, and the
    // decoded stream starts exactly with them.
    if (!core_.PrependSilence(core_.Context()->frame_size)) return Fail(kMemoryMessage);
    const int made = avformat_alloc_output_context2(&muxer_, nullptr, "asf", nullptr);
    if (made == AVERROR(ENOMEM)) return Fail(kMemoryMessage);
    if (made < 0 || !muxer_) return Fail(kCodecMessage);
    AVStream* stream = avformat_new_stream(muxer_, nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, core_.Context()) < 0)
        return Fail(kMemoryMessage);
    stream->time_base = AVRational{1, rate};
    for (const auto& [key, text] : Metadata(tagRecord))
        if (av_dict_set(&muxer_->metadata, key.c_str(), text.c_str(), 0) < 0) return Fail(kMemoryMessage);

    errno = 0;
    file_ = opener_(path);
    if (!file_) {
        error_ = errno;
        return Fail(kFileMessage);
    }
    path_ = path;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (buffer) muxer_->pb = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &WriteToFile, &SeekFile);
    if (!muxer_->pb) {
        av_free(buffer);
        return Fail(kMemoryMessage);
    }
    const int header = avformat_write_header(muxer_, nullptr);
    if (header < 0 || failed_) return Fail(header == AVERROR(ENOMEM) ? kMemoryMessage
                                           : failed_                ? kFileMessage
                                                                    : kCodecMessage);
    return true;
}

bool TWMAEncoder::WritePacket(AVPacket& packet) {
    packet.stream_index = 0;
    av_packet_rescale_ts(&packet, core_.Context()->time_base, muxer_->streams[0]->time_base);
    return av_write_frame(muxer_, &packet) >= 0 && !failed_;
}

bool TWMAEncoder::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!IsOpen() || failed_) return false;
    if (!core_.Feed(pcm, bytes, [this](AVPacket& p) { return WritePacket(p); })) failed_ = true;
    return !failed_;
}

void TWMAEncoder::Release() {
    core_.Close();
    if (muxer_) {
        if (muxer_->pb) {
            av_freep(&muxer_->pb->buffer);
            avio_context_free(&muxer_->pb);
        }
        avformat_free_context(muxer_);
        muxer_ = nullptr;
    }
    if (file_ && std::fclose(file_) != 0 && error_ == 0) {
        error_ = errno;
        failed_ = true;
    }
    file_ = nullptr;
}

bool TWMAEncoder::Close() {
    input_ = WAVEFORMATEX::CdFormat();
    if (!IsOpen()) {
        Release();
        return false;
    }
    // The decoder completes a frame only with the next one (the blocks
    // overlap), so one frame of silence follows the audio: without it the
    // track's last frame would come out faded.
    const auto sink = [this](AVPacket& p) { return WritePacket(p); };
    const std::vector<std::uint8_t> silence(std::size_t(core_.Context()->frame_size) * 2 *
                                            std::size_t(core_.Context()->ch_layout.nb_channels));
    if (!failed_ && !(core_.Feed(silence.data(), silence.size(), sink) && core_.Finish(sink))) failed_ = true;
    if (!failed_ && av_write_trailer(muxer_) < 0) failed_ = true;
    if (!failed_) {
        avio_flush(muxer_->pb);
        if (muxer_->pb->error < 0) failed_ = true;
    }
    Release();
    return KeepOutputUnlessFailed();
}


}  // namespace sv
