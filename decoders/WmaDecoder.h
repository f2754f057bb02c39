// TWMADecoder9: Windows Media files (".wma", ".wmv", ".asf") through FFmpeg's
// asf demuxer. The audio stream is decoded by FFmpeg's WMA decoders (or
// whatever decoder the stream's format tag names) through the codec layer
// and handed out as 16-bit interleaved PCM.
//
// Every stream of the file is an "output". An audio stream that can be
// decoded offers one format: 16-bit PCM at its own rate and channel count
// (nothing is resampled, so the samples are the decoder's own); any other
// stream offers a format that is not a wave format. ChooseOutputFormat picks
// the output and format read.
//
// Length: the file's duration (100-ns units) / 10000 ms. Position: the
// presentation time of the audio handed out, in ms. Seek is sample-accurate:
// the demuxer seeks to the packet at or before the time and the decoded
// audio up to the time is dropped. The tag record gets the file's title,
// artist, album, comment, genre, year and track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/TagRecord.h"
#include "decoders/Decoder.h"
#include "formats/Acm.h"
#include "formats/WaveFormat.h"

struct AVFormatContext;
struct AVPacket;

namespace sv {

// One format an output offers: a wave format record, or something else
// (video, text) that is never read.
struct OutputOffer {
    bool waveFormat = false;
    WAVEFORMATEX format;
};

struct OutputFormatChoice {
    int output = -1;                                  // -1: no output offers a wave format
    WAVEFORMATEX format = WAVEFORMATEX::CdFormat();  // the format taken
};

// Examines the outputs in order and, within each, its formats in order: a
// wave format whose rate exceeds the best rate so far is taken (its output
// becomes the one read, so format and output always belong together); a
// taken rate of 44100 ends the examination of that output's formats. So an
// output offering 22050, 44100, 48000 is read at 44100, one offering 32000,
// 22050 at 32000.
OutputFormatChoice ChooseOutputFormat(const std::vector<std::vector<OutputOffer>>& outputs);

class TWMADecoder9 : public TDecoder {
public:
    TWMADecoder9();
    ~TWMADecoder9() override { Release(); }

    // False when the file cannot be opened as ASF, has no audio stream that
    // can be decoded, or its duration is 0. An open decoder refuses a
    // second Open; after Close it can be opened again.
    bool Open(const std::string& path) override;
    bool Close() override;
    // The next PCM bytes, whole sample frames, at most `size`. Audio that
    // does not fit waits for the next call. 0 at the end or on failure.
    std::uint32_t Read(void* buffer, std::uint32_t size) override;
    std::uint32_t GetLength() override { return static_cast<std::uint32_t>(duration_ / 10000); }
    std::uint32_t GetPosition() override;
    void Seek(std::uint32_t ms) override;
    void Release() override { Close(); }
    const char* Name() const override { return "wma"; }

    // The duration in 100-ns units.
    std::uint64_t Duration() const { return duration_; }
    const WAVEFORMATEX& OutputFormat() const { return format_; }
    // The file's attributes as a tag record (Present set when any was found).
    const TagRecord& Tag() const { return tag_; }

private:
    struct Target {
        std::uint8_t* data;
        std::uint32_t length;
    };
    // Where the next converted bytes go: the caller's buffer, or the scratch
    // buffer while audio before a seek's target is dropped.
    Target NextTarget(std::uint8_t* out, std::uint32_t room);
    void Account(std::uint32_t produced, std::uint32_t& given);
    bool Convert(const Target& target, bool withSource, std::uint32_t& produced);
    bool AppendNextPacket();
    void ReadTags();
    void ResetReading();

    AVFormatContext* input_ = nullptr;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
    WAVEFORMATEX source_;
    WAVEFORMATEX format_ = WAVEFORMATEX::CdFormat();
    AcmStreamPtr conversion_;
    ACMSTREAMHEADER header_;
    std::vector<std::uint8_t> sourceBytes_;  // packet bytes the conversion has not taken yet
    std::size_t sourcePos_ = 0;
    std::vector<std::uint8_t> scratch_;      // audio dropped after a seek lands here
    bool started_ = false;     // the conversion has had source since open or seek
    bool inputEnded_ = false;  // no more packets
    bool endSent_ = false;     // the conversion was told the stream ended
    bool finished_ = false;    // everything handed out
    bool needBase_ = false;    // the next packet's time starts the position count
    std::uint32_t seekTarget_ = 0;
    std::uint64_t skipBytes_ = 0;
    std::uint64_t baseMs_ = 0;
    std::uint64_t handed_ = 0;  // bytes handed out (or dropped) since the base
    std::uint64_t duration_ = 0;
    TagRecord tag_;
};

}  // namespace sv
