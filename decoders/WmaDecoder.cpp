#include "decoders/WmaDecoder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <span>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include "base/Text.h"
#include "formats/FfmpegCodec.h"

namespace sv {

namespace {

constexpr std::uint32_t kCdRate = 44100;
// Decoded audio dropped after a seek passes through a buffer of this size.
constexpr std::uint32_t kScratchBytes = 65536;
// When the stream does not tell its frame size (WMA's largest frame).
constexpr int kDefaultFrameSamples = 2048;

// The source record of an audio stream that the codec layer can decode to
// 16-bit PCM at the stream's own rate and channels; nothing otherwise.
std::optional<WAVEFORMATEX> DecodableRecord(const AVCodecParameters& par) {
    if (par.codec_type != AVMEDIA_TYPE_AUDIO) return std::nullopt;
    auto record = ffcodec::FormatRecordOfStream(par);
    if (!record || ffcodec::CodecIdForFormat(*record) != par.codec_id) return std::nullopt;
    const WAVEFORMATEX pcm = WAVEFORMATEX::Pcm(record->SamplesPerSec(), record->Channels(), 16);
    if (acmStreamOpen(nullptr, *record, pcm, ACM_STREAMOPENF_QUERY) != MMSYSERR_NOERROR) return std::nullopt;
    return record;
}

// The first value found under any of `keys` (the dictionary compares
// without regard to case).
std::optional<std::string> FindTag(const AVDictionary* metadata, std::span<const char* const> keys) {
    for (const char* key : keys) {
        const AVDictionaryEntry* e = key ? av_dict_get(metadata, key, nullptr, 0) : nullptr;
        if (e && e->value && *e->value) return ToUtf8Lenient(Trim(e->value));
    }
    return std::nullopt;
}

// A track attribute "3" or "3/12" as the track number.
std::string TrackOnly(const std::string& value) { return Trim(value.substr(0, value.find('/'))); }

}  // namespace

OutputFormatChoice ChooseOutputFormat(const std::vector<std::vector<OutputOffer>>& outputs) {
    OutputFormatChoice choice;
    std::uint32_t bestRate = 0;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (const OutputOffer& offer : outputs[i]) {
            if (!offer.waveFormat) continue;
            const std::uint32_t rate = offer.format.SamplesPerSec();
            if (rate > bestRate) {
                choice.output = static_cast<int>(i);
                choice.format = offer.format;
                bestRate = rate;
                if (rate == kCdRate) break;
            }
        }
    }
    return choice;
}

TWMADecoder9::TWMADecoder9() { ResetReading(); }

bool TWMADecoder9::Open(const std::string& path) {
    if (input_) return false;
    format_ = WAVEFORMATEX::CdFormat();
    sampleRate_ = format_.SamplesPerSec();
    channels_ = static_cast<std::uint8_t>(format_.Channels());
    bits_ = 16;
    byteRate_ = format_.AvgBytesPerSec();
    totalBytes_ = 0;
    bitrate_ = 0;
    duration_ = 0;
    baseMs_ = 0;
    tag_.Clear();
    ResetReading();

    auto fail = [this] {
        Close();
        return false;
    };
    ffcodec::QuietLibraryLog();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // "file:" keeps a colon in the name from being read as a protocol.
    const int rc = avformat_open_input(&input_, ("file:" + path).c_str(), av_find_input_format("asf"), &options);
    av_dict_free(&options);
    if (rc < 0) {
        input_ = nullptr;
        return false;
    }
    packet_ = av_packet_alloc();
    if (!packet_) return fail();

    std::vector<std::vector<OutputOffer>> offers(input_->nb_streams);
    std::vector<std::optional<WAVEFORMATEX>> records(input_->nb_streams);
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        OutputOffer offer;
        records[i] = DecodableRecord(*input_->streams[i]->codecpar);
        if (records[i]) {
            offer.waveFormat = true;
            offer.format = WAVEFORMATEX::Pcm(records[i]->SamplesPerSec(), records[i]->Channels(), 16);
        }
        offers[i].push_back(offer);
    }
    const OutputFormatChoice choice = ChooseOutputFormat(offers);
    if (choice.output < 0) return fail();
    stream_ = choice.output;
    source_ = *records[static_cast<std::size_t>(stream_)];
    format_ = choice.format;

    AcmStream* conversion = nullptr;
    if (acmStreamOpen(&conversion, source_, format_, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) return fail();
    conversion_.reset(conversion);
    header_ = ACMSTREAMHEADER{};
    acmStreamPrepareHeader(conversion_.get(), &header_, 0);

    // The header's play duration; a file cut short has none, and FFmpeg's
    // stream analysis estimates it from the size and the bit rate.
    const AVStream* st = input_->streams[stream_];
    if (st->duration <= 0 && avformat_find_stream_info(input_, nullptr) < 0) return fail();
    std::int64_t micros = st->duration > 0 ? av_rescale_q(st->duration, st->time_base, AVRational{1, AV_TIME_BASE}) : 0;
    if (micros <= 0 && input_->duration != AV_NOPTS_VALUE) micros = input_->duration;
    // At least a millisecond, and no more than the position can count.
    if (micros < 1000 || micros / 1000 > 0xFFFFFFFF) return fail();
    duration_ = static_cast<std::uint64_t>(micros) * 10;
    // Only the stream read is demuxed.
    for (unsigned i = 0; i < input_->nb_streams; ++i)
        if (static_cast<int>(i) != stream_) input_->streams[i]->discard = AVDISCARD_ALL;

    sampleRate_ = format_.SamplesPerSec();
    channels_ = static_cast<std::uint8_t>(format_.Channels());
    byteRate_ = format_.AvgBytesPerSec();
    totalBytes_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(duration_ / 10000000 * byteRate_, 0xFFFFFFFFu));
    bitrate_ = static_cast<std::uint32_t>(std::clamp<std::int64_t>(st->codecpar->bit_rate / 1000, 0, 0xFFFFFFFF));
    // Two codec frames of PCM; smaller buffers are served as well.
    const int frameSamples = st->codecpar->frame_size > 0 ? st->codecpar->frame_size : kDefaultFrameSamples;
    readSize_ = std::clamp<std::uint32_t>(static_cast<std::uint32_t>(std::min(frameSamples, 1 << 16)) * 2 *
                                              format_.BlockAlign(),
                                          4096, 1u << 20);
    scratch_.assign(kScratchBytes / format_.BlockAlign() * format_.BlockAlign(), 0);
    ReadTags();
    needBase_ = true;
    return true;
}

void TWMADecoder9::ReadTags() {
    using Setter = void (TagRecord::*)(std::string_view);
    struct Field {
        std::array<const char*, 3> keys;  // unused places null
        Setter set;
    };
    // FFmpeg's asf demuxer names the common attributes its own way (title,
    // artist, album ...) and leaves the others as the file has them.
    const Field fields[] = {
        {{"title", "Title"}, &TagRecord::SetTitle},
        {{"artist", "Author"}, &TagRecord::SetArtist},
        {{"album", "WM/AlbumTitle"}, &TagRecord::SetAlbum},
        {{"comment", "Description"}, &TagRecord::SetComment},
        {{"genre", "WM/Genre"}, &TagRecord::SetGenre},
        {{"date", "WM/Year", "year"}, &TagRecord::SetYear},
    };
    bool present = false;
    for (const Field& f : fields) {
        if (auto v = FindTag(input_->metadata, f.keys)) {
            (tag_.*f.set)(*v);
            present = true;
        }
    }
    // "track" is WM/TrackNumber, which counts from 1; the older WM/Track
    // counts from 0.
    std::string track;
    static constexpr const char* kTrackKeys[] = {"track", "WM/TrackNumber"};
    static constexpr const char* kZeroBasedTrackKeys[] = {"WM/Track"};
    if (auto v = FindTag(input_->metadata, kTrackKeys)) {
        track = TrackOnly(*v);
    } else if (auto old = FindTag(input_->metadata, kZeroBasedTrackKeys)) {
        track = TrackOnly(*old);
        const bool numeric = !track.empty() && track.size() < 9 &&
                             std::all_of(track.begin(), track.end(), [](unsigned char c) { return std::isdigit(c); });
        if (numeric) track = std::to_string(std::stoul(track) + 1);
    }
    if (!track.empty()) {
        tag_.SetTrackNumber(track);
        present = true;
    }
    tag_.SetPresent(present);
}

void TWMADecoder9::ResetReading() {
    sourceBytes_.clear();
    sourcePos_ = 0;
    started_ = inputEnded_ = endSent_ = finished_ = false;
    needBase_ = false;
    seekTarget_ = 0;
    skipBytes_ = 0;
    handed_ = 0;
}

TWMADecoder9::Target TWMADecoder9::NextTarget(std::uint8_t* out, std::uint32_t room) {
    if (skipBytes_ > 0)
        return {scratch_.data(), static_cast<std::uint32_t>(std::min<std::uint64_t>(scratch_.size(), skipBytes_))};
    return {out, room};
}

void TWMADecoder9::Account(std::uint32_t produced, std::uint32_t& given) {
    if (skipBytes_ > 0) skipBytes_ -= std::min<std::uint64_t>(skipBytes_, produced);
    else given += produced;
    handed_ += produced;
}

bool TWMADecoder9::Convert(const Target& target, bool withSource, std::uint32_t& produced) {
    std::uint32_t flags = 0;
    header_.pbSrc = nullptr;
    header_.cbSrcLength = 0;
    if (withSource) {
        header_.pbSrc = sourceBytes_.data() + sourcePos_;
        header_.cbSrcLength = static_cast<std::uint32_t>(sourceBytes_.size() - sourcePos_);
        if (!started_) flags |= ACM_STREAMCONVERTF_START;
        if (inputEnded_) flags |= ACM_STREAMCONVERTF_END;
    }
    header_.pbDst = target.data;
    header_.cbDstLength = target.length;
    if (acmStreamConvert(conversion_.get(), &header_, flags) != MMSYSERR_NOERROR) return false;
    if (withSource) {
        sourcePos_ += std::min<std::size_t>(header_.cbSrcLengthUsed, sourceBytes_.size() - sourcePos_);
        started_ = true;
        endSent_ = inputEnded_;
    }
    produced = header_.cbDstLengthUsed;
    return true;
}

bool TWMADecoder9::AppendNextPacket() {
    for (;;) {
        if (av_read_frame(input_, packet_) < 0) return false;
        if (packet_->stream_index == stream_ && packet_->size > 0) break;
        av_packet_unref(packet_);
    }
    if (needBase_ && packet_->pts != AV_NOPTS_VALUE) {
        // The position counts from this packet's time; after a seek the audio
        // before the target is dropped.
        const std::int64_t ms =
            av_rescale_q(packet_->pts, input_->streams[stream_]->time_base, AVRational{1, 1000});
        baseMs_ = static_cast<std::uint64_t>(std::clamp<std::int64_t>(ms, 0, 0xFFFFFFFF));
        const std::uint32_t align = format_.BlockAlign();
        skipBytes_ = seekTarget_ > baseMs_ ? (seekTarget_ - baseMs_) * byteRate_ / 1000 / align * align : 0;
        handed_ = 0;
        needBase_ = false;
    }
    sourceBytes_.erase(sourceBytes_.begin(), sourceBytes_.begin() + static_cast<std::ptrdiff_t>(sourcePos_));
    sourcePos_ = 0;
    sourceBytes_.insert(sourceBytes_.end(), packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_);
    return true;
}

std::uint32_t TWMADecoder9::Read(void* buffer, std::uint32_t size) {
    if (!conversion_ || !buffer || finished_) return 0;
    const std::uint32_t align = format_.BlockAlign();
    const std::uint32_t room = size / align * align;
    const std::size_t sourceBlock = std::max<std::uint16_t>(source_.BlockAlign(), 1);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t given = 0;
    while (given < room) {
        const Target target = NextTarget(out + given, room - given);
        // What the conversion holds comes first ...
        std::uint32_t produced = 0;
        if (!Convert(target, false, produced)) {
            finished_ = true;
            break;
        }
        Account(produced, given);
        if (produced == target.length) continue;
        // ... and only when it holds nothing more does it get source.
        if (endSent_) {
            finished_ = true;
            break;
        }
        if (!inputEnded_ && sourceBytes_.size() - sourcePos_ < sourceBlock) {
            if (!AppendNextPacket()) inputEnded_ = true;
            continue;
        }
        if (!Convert(target, true, produced)) {
            finished_ = true;
            break;
        }
        Account(produced, given);
    }
    return given;
}

std::uint32_t TWMADecoder9::GetPosition() {
    if (!byteRate_) return 0;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(baseMs_ + handed_ * 1000 / byteRate_, 0xFFFFFFFFu));
}

void TWMADecoder9::Seek(std::uint32_t ms) {
    if (!conversion_) return;
    ms = std::min(ms, GetLength());
    const AVStream* st = input_->streams[stream_];
    const std::int64_t ts = av_rescale_q(ms, AVRational{1, 1000}, st->time_base);
    if (av_seek_frame(input_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) return;  // reading goes on where it was
    if (acmStreamReset(conversion_.get(), 0) != MMSYSERR_NOERROR) conversion_.reset();
    ResetReading();
    seekTarget_ = ms;
    baseMs_ = ms;
    needBase_ = true;
}

bool TWMADecoder9::Close() {
    conversion_.reset();
    if (input_) avformat_close_input(&input_);
    input_ = nullptr;
    av_packet_free(&packet_);
    stream_ = -1;
    header_ = ACMSTREAMHEADER{};
    ResetReading();
    return true;
}

}  // namespace sv
