#include "encoders/FlacEncoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "encoders/VorbisOggEncoder.h"

namespace sv {

TFlacEncoder::~TFlacEncoder() {
    if (encoder_) Close();
    Release();
}

void TFlacEncoder::SetLevel(int level) { level_ = std::clamp(level, 0, 8); }

std::vector<std::pair<std::string, std::string>> TFlacEncoder::Comments(const std::uint8_t* tagRecord) {
    return TVorbisOggEncoder::Comments(tagRecord);  // FLAC carries Vorbis comments
}

void TFlacEncoder::Release() {
    if (encoder_) FLAC__stream_encoder_delete(encoder_);
    encoder_ = nullptr;
    for (FLAC__StreamMetadata* m : metadata_) FLAC__metadata_object_delete(m);
    metadata_.clear();
    extra_.clear();
    cue_.clear();
    expected_ = 0;
}

bool TFlacEncoder::Fail(const std::string& message) {
    return FailOpen(message, [this] {
        if (encoder_ && FLAC__stream_encoder_get_state(encoder_) == FLAC__STREAM_ENCODER_OK) {
            FLAC__stream_encoder_finish(encoder_);  // closes the file
            file_ = nullptr;
        }
        if (file_) std::fclose(file_);
        file_ = nullptr;
        Release();
    });
}

bool TFlacEncoder::Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings&) {
    if (IsOpen()) return false;
    message_.clear();
    path_.clear();
    failed_ = false;
    error_ = 0;
    const unsigned channels = input_.Channels();
    if (input_.BitsPerSample() != 16 || channels < 1 || channels > 2 || input_.SamplesPerSec() == 0)
        return Fail(kInitMessage);
    encoder_ = FLAC__stream_encoder_new();
    if (!encoder_) return Fail(kInitMessage);
    FLAC__stream_encoder_set_channels(encoder_, channels);
    FLAC__stream_encoder_set_bits_per_sample(encoder_, 16);
    FLAC__stream_encoder_set_sample_rate(encoder_, input_.SamplesPerSec());
    FLAC__stream_encoder_set_compression_level(encoder_, static_cast<unsigned>(level_));
    if (expected_ > 0) FLAC__stream_encoder_set_total_samples_estimate(encoder_, expected_);

    // Vorbis comments: the tag record's, then the caller's.
    FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!comments) return Fail(kInitMessage);
    metadata_.push_back(comments);
    auto all = Comments(tagRecord);
    all.insert(all.end(), extra_.begin(), extra_.end());
    for (const auto& [key, value] : all) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        if (value.empty() ||
            !FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, key.c_str(), value.c_str()))
            continue;
        FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, false);
    }
    if (expected_ > 0) {
        FLAC__StreamMetadata* seek = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
        if (!seek) return Fail(kInitMessage);
        metadata_.push_back(seek);
        FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(seek, input_.SamplesPerSec() * 10,
                                                                                 expected_);
        FLAC__metadata_object_seektable_template_sort(seek, true);
    }
    if (!cue_.empty() && expected_ > 0) {
        FLAC__StreamMetadata* sheet = FLAC__metadata_object_new(FLAC__METADATA_TYPE_CUESHEET);
        if (!sheet) return Fail(kInitMessage);
        metadata_.push_back(sheet);
        sheet->data.cue_sheet.is_cd = true;
        sheet->data.cue_sheet.lead_in = 2 * 44100;  // the two seconds before track 1
        const auto addTrack = [sheet](unsigned index, std::uint64_t offset, unsigned number, bool withIndex) {
            FLAC__metadata_object_cuesheet_insert_blank_track(sheet, index);
            FLAC__StreamMetadata_CueSheet_Track& t = sheet->data.cue_sheet.tracks[index];
            t.offset = offset;
            t.number = static_cast<FLAC__byte>(number);
            t.type = 0;  // audio
            if (!withIndex) return;
            FLAC__metadata_object_cuesheet_track_insert_blank_index(sheet, index, 0);
            t.indices[0].number = 1;
            t.indices[0].offset = 0;
        };
        unsigned i = 0;
        for (const CueTrack& t : cue_) addTrack(i++, t.offset, static_cast<unsigned>(t.number), true);
        addTrack(i, expected_, 170, false);  // the lead-out
        const char* violation = nullptr;
        if (!FLAC__metadata_object_cuesheet_is_legal(sheet, true, &violation)) {
            // A sheet the format would refuse is left out rather than losing the audio.
            FLAC__metadata_object_delete(sheet);
            metadata_.pop_back();
        }
    }
    FLAC__stream_encoder_set_metadata(encoder_, metadata_.data(), static_cast<unsigned>(metadata_.size()));

    errno = 0;
    file_ = opener_(path);
    if (!file_) {
        error_ = errno;
        return Fail(kInitMessage);
    }
    path_ = path;
    if (FLAC__stream_encoder_init_FILE(encoder_, file_, nullptr, nullptr) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        file_ = nullptr;  // the encoder closes it when init fails
        return Fail(kInitMessage);
    }
    return true;
}

bool TFlacEncoder::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!IsOpen() || failed_) return false;
    const unsigned channels = input_.Channels();
    const std::size_t values = bytes / 2;
    samples_.resize(values);
    for (std::size_t i = 0; i < values; ++i)
        samples_[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8));
    if (!FLAC__stream_encoder_process_interleaved(encoder_, samples_.data(), static_cast<unsigned>(values / channels))) {
        if (error_ == 0) error_ = errno != 0 ? errno : EIO;
        failed_ = true;
    }
    return !failed_;
}

bool TFlacEncoder::Close() {
    input_ = WAVEFORMATEX::CdFormat();
    if (!IsOpen()) {
        Release();
        return false;
    }
    errno = 0;
    // Finishing writes the last frame and the final STREAMINFO (MD5, length)
    // and seek table, and closes the file.
    if (!FLAC__stream_encoder_finish(encoder_) && !failed_) {
        error_ = errno != 0 ? errno : EIO;
        failed_ = true;
    }
    file_ = nullptr;
    Release();
    return KeepOutputUnlessFailed();
}

EncodeResult TFlacEncoder::EncodeFile(const std::string& source, const std::string& path,
                                      const std::uint8_t* tagRecord, const TProgramSettings& settings) {
    WavSource wav;
    if (OpenEncoderSource(wav, source)) {
        const WAVEFORMATEX f = wav.Format();
        if (f.BlockAlign() > 0) expected_ = wav.dataLength / f.BlockAlign();
    }
    CloseWavSource(wav);
    return FileEncoderBase<TFlacEncoder>::EncodeFile(source, path, tagRecord, settings);
}

}  // namespace sv
