#include "decoders/AviAudio.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

extern "C" {
#include <libavformat/avformat.h>
}

#include "formats/FfmpegCodec.h"
#include "formats/WavFile.h"

namespace sv {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;

struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

// The output under its temporary name: removed unless Commit moved it to
// the target.
class PartFile {
public:
    PartFile(std::string target, bool wav, const WAVEFORMATEX& format)
        : target_(std::move(target)), part_(target_ + ".part"), wav_(wav), format_(format) {
        file_ = wav ? CreateWav(part_, format) : std::fopen(part_.c_str(), "wb");
    }
    ~PartFile() {
        if (file_) std::fclose(file_);
        if (!committed_) {
            std::error_code ec;
            std::filesystem::remove(part_, ec);
        }
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    bool Write(const std::uint8_t* data, std::size_t size) {
        if (std::fwrite(data, 1, size, file_) != size) return false;
        written_ += size;
        return true;
    }
    std::uint64_t Written() const { return written_; }
    // Finishes the file (the WAV header gets the bytes written) and gives it
    // the target's name.
    bool Commit() {
        std::FILE* f = file_;
        file_ = nullptr;
        const bool closed = wav_ ? CloseWav(f, written_, format_) : std::fclose(f) == 0;
        if (!closed) return false;
        std::error_code ec;
        std::filesystem::rename(part_, target_, ec);
        committed_ = !ec;
        return committed_;
    }

private:
    std::string target_;
    std::string part_;
    bool wav_;
    WAVEFORMATEX format_;
    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;
    bool committed_ = false;
};

}  // namespace

AviAudioResult ExtractAviAudio(const std::string& aviPath, const std::string& targetWithoutExtension,
                               const AviProgressFn& progress) {
    AviAudioResult result;
    ffcodec::QuietLibraryLog();
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return result;
    // The chunks as stored: no parser may cut or join them.
    raw->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // "file:" keeps a colon in the name from being read as a protocol.
    const int rc = avformat_open_input(&raw, ("file:" + aviPath).c_str(), av_find_input_format("avi"), &options);
    av_dict_free(&options);
    if (rc < 0) return result;  // avformat_open_input freed the context
    InputPtr input(raw);

    int audio = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (audio < 0 && input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audio = static_cast<int>(i);
        else input->streams[i]->discard = AVDISCARD_ALL;
    }
    if (audio < 0) {
        result.code = AviAudioCode::kNoSound;
        return result;
    }
    const std::optional<WAVEFORMATEX> format = ffcodec::FormatRecordOfStream(*input->streams[audio]->codecpar);
    if (!format) return result;
    result.format = *format;

    const bool mp3 = format->FormatTag() == kWaveFormatMpegLayer3;
    const std::string target = targetWithoutExtension + (mp3 ? ".mp3" : ".wav");
    PartFile out(target, !mp3, *format);
    if (!out.IsOpen()) {
        result.code = AviAudioCode::kWriteFailed;
        return result;
    }
    PacketPtr packet(av_packet_alloc());
    if (!packet) return result;
    const std::int64_t size = input->pb ? avio_size(input->pb) : -1;
    const std::uint64_t total = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    bool readError = false;
    for (;;) {
        const int got = av_read_frame(input.get(), packet.get());
        if (got < 0) {
            // A damaged chunk ends the track where it is; only a file that
            // gave nothing at all counts as unreadable.
            readError = got != AVERROR_EOF;
            break;
        }
        const bool ours = packet->stream_index == audio;
        const bool ok = !ours || out.Write(packet->data, static_cast<std::size_t>(packet->size));
        av_packet_unref(packet.get());
        if (!ok) {
            result.code = AviAudioCode::kWriteFailed;
            return result;
        }
        if (progress && ours) {
            bool cancel = false;
            const auto pos = static_cast<std::uint64_t>(std::max<std::int64_t>(avio_tell(input->pb), 0));
            progress(pos, std::max(total, pos), cancel);
            if (cancel) {
                result.code = AviAudioCode::kCancelled;
                return result;
            }
        }
    }
    if (out.Written() == 0) {
        // An audio stream without a single chunk is no sound track.
        if (!readError) result.code = AviAudioCode::kNoSound;
        return result;
    }
    if (!out.Commit()) {
        result.code = AviAudioCode::kWriteFailed;
        return result;
    }
    result.code = AviAudioCode::kDone;
    result.path = target;
    result.dataBytes = out.Written();
    return result;
}

}  // namespace sv
