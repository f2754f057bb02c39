// FFmpeg side of the codec conversion layer: which codec a WAVEFORMATEX
// names, opening decoders and encoders for a format record, and the format
// record FFmpeg's WAV writer gives an encoder. Only the layer's own files and
// the readers built on FFmpeg's demuxers include this header.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "formats/WaveFormat.h"

namespace sv::ffcodec {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

// Keeps FFmpeg's own diagnostics off the terminal: failures reach the
// program as result codes (called by every entry point of the layer).
void QuietLibraryLog();

// The codec a format record names (RIFF tag table; PCM by its sample size,
// WAVE_FORMAT_EXTENSIBLE by its sub-format). AV_CODEC_ID_NONE when unknown.
AVCodecID CodecIdForFormat(const WAVEFORMATEX& format);

// The WAV format tag of a codec, 0 when it has none.
std::uint16_t FormatTagForCodec(AVCodecID id);

// True for codecs whose formats are told apart by bit rate (MPEG audio, AAC,
// AC-3, WMA ...) rather than by their bits per sample.
bool IsBitRateCodec(AVCodecID id);

// True when the codec's packets have no fixed size and need a parser to be
// cut out of a byte stream.
bool NeedsParser(AVCodecID id);

// The format record of a demuxed audio stream: its tag (the container's, or
// the RIFF tag of its codec), channels, rate, average bytes per second (bit
// rate / 8), block align, bits per sample and codec bytes (extradata).
// Nothing when the stream has no tag, no channels or rate, or fields too
// large for the record.
std::optional<WAVEFORMATEX> FormatRecordOfStream(const AVCodecParameters& par);

// Opens the decoder for a compressed format record; null when there is none
// or it refuses the record.
CodecContextPtr OpenDecoder(const WAVEFORMATEX& format);

struct EncoderParams {
    AVCodecID id = AV_CODEC_ID_NONE;
    int sampleRate = 0;
    int channels = 0;
    std::int64_t bitRate = 0;  // 0: the codec's own choice
    int blockAlign = 0;        // block codecs (ADPCM): the block size; 0: default
};

// Opens the default encoder of `p.id` with those parameters; null on refusal.
CodecContextPtr OpenEncoder(const EncoderParams& p);

// The parameters a format record asks of an encoder.
EncoderParams EncoderParamsFor(const WAVEFORMATEX& format);

// The format record FFmpeg's WAV writer puts in the "fmt " chunk for an open
// encoder; nothing when it cannot write one or writes an extensible record.
std::optional<WAVEFORMATEX> FormatRecordOf(const AVCodecContext* encoder);

// Opens an encoder that produces exactly `format` (tag, rate, channels, block
// align and, for bit-rate codecs, the average rate must come out as asked).
CodecContextPtr OpenEncoderFor(const WAVEFORMATEX& format);

}  // namespace sv::ffcodec
