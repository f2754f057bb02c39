// TFlacEncoder: FLAC files (the format's own library, libFLAC) from 16-bit
// PCM of one or two channels: lossless, with the MD5 of the audio in
// STREAMINFO, a seek table (a point every 10 s of the expected length),
// Vorbis comments from the tag record and whatever the caller adds (track
// total, album artist, the disc's identifier) and, for a whole disc in one
// file, its cue sheet as a CUESHEET block so that players see the tracks.
//
// The compression level (0..8, 5 by default) is not part of the settings
// record; the caller sets it. A failed write removes the partial file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <FLAC/format.h>
#include <FLAC/stream_encoder.h>

#include "encoders/EncoderCommon.h"

namespace sv {

class TFlacEncoder : public FileEncoderBase<TFlacEncoder> {
public:
    static constexpr const char* kInitMessage = "Can't initialize the FLAC encoder.";
    static constexpr int kDefaultLevel = 5;

    struct CueTrack {
        int number = 1;             // the disc's number of the track
        std::uint64_t offset = 0;   // first sample in the file
    };

    TFlacEncoder() = default;
    ~TFlacEncoder();
    TFlacEncoder(const TFlacEncoder&) = delete;
    TFlacEncoder& operator=(const TFlacEncoder&) = delete;

    void SetLevel(int level);
    int Level() const { return level_; }
    // For the next Open only: comments beside the tag record's, the expected
    // length (for the seek table; 0 unknown) and a cue sheet (empty: none;
    // needs the expected length, which is the lead-out).
    void SetExtraComments(std::vector<std::pair<std::string, std::string>> comments) {
        extra_ = std::move(comments);
    }
    void SetExpectedSamples(std::uint64_t samples) { expected_ = samples; }
    void SetCueSheet(std::vector<CueTrack> tracks) { cue_ = std::move(tracks); }

    bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings);
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    bool Close();
    // The source's length is known here: the seek table is laid out for it.
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord,
                            const TProgramSettings& settings);

    // The comments the tag record gives (TITLE, ARTIST, ALBUM, TRACKNUMBER,
    // DATE, GENRE, COMMENT), in UTF-8.
    static std::vector<std::pair<std::string, std::string>> Comments(const std::uint8_t* tagRecord);

private:
    bool Fail(const std::string& message);
    void Release();

    int level_ = kDefaultLevel;
    std::vector<std::pair<std::string, std::string>> extra_;
    std::uint64_t expected_ = 0;
    std::vector<CueTrack> cue_;
    FLAC__StreamEncoder* encoder_ = nullptr;
    std::vector<FLAC__StreamMetadata*> metadata_;
    std::vector<std::int32_t> samples_;
};

}  // namespace sv
