// The codec conversion layer: the program's Audio Compression Manager.
//
// Conversion streams turn audio of one WAVEFORMATEX into another, block by
// block, with the calls and result codes that the WAV conversion, the
// decoders, the writer's source stream and the codec encoders are written
// against. Underneath, FFmpeg does the work: libswresample converts PCM
// (rate, channels, sample size), libavcodec decodes compressed WAV formats
// (format tag to codec through libavformat's RIFF tag table) and encodes the
// codec formats that EnumerateAcmDrivers lists.
//
// Stream semantics:
//  - A stream converts PCM to PCM, a compressed format to PCM, or PCM to a
//    compressed format. Anything else cannot be opened (ACMERR_NOTPOSSIBLE).
//  - acmStreamConvert consumes whole source blocks only (the PCM frame or the
//    codec's block); cbSrcLengthUsed tells how many bytes it took, the caller
//    offers the rest again. Codecs without fixed blocks (MPEG audio) take
//    every byte and keep partial frames inside the stream.
//  - Converted bytes that do not fit the destination buffer stay in the
//    stream and come out on the next call; nothing is dropped.
//  - ACM_STREAMCONVERTF_START marks the first block; a stream is fresh after
//    open and after acmStreamReset, and START never drops anything (several
//    calls in a row may carry it).
//  - ACM_STREAMCONVERTF_END flushes the codec and the resampler. Output that
//    does not fit is drained by further END calls without source bytes until
//    cbDstLengthUsed is 0. A PCM result then holds exactly
//    ceil(source frames x target rate / source rate) frames.
//  - acmStreamReset drops every pending byte and restarts the codec (after a
//    seek in the source).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/WaveFormat.h"

namespace sv {

// Result codes.
inline constexpr std::uint32_t MMSYSERR_NOERROR = 0;
inline constexpr std::uint32_t MMSYSERR_ERROR = 1;
inline constexpr std::uint32_t MMSYSERR_INVALHANDLE = 5;
inline constexpr std::uint32_t MMSYSERR_NOMEM = 7;
inline constexpr std::uint32_t MMSYSERR_INVALFLAG = 10;
inline constexpr std::uint32_t MMSYSERR_INVALPARAM = 11;
inline constexpr std::uint32_t ACMERR_NOTPOSSIBLE = 512;
inline constexpr std::uint32_t ACMERR_BUSY = 513;
inline constexpr std::uint32_t ACMERR_UNPREPARED = 514;

// Flags.
inline constexpr std::uint32_t ACM_STREAMOPENF_QUERY = 0x00000001;
inline constexpr std::uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;
inline constexpr std::uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr std::uint32_t ACM_STREAMSIZEF_DESTINATION = 0x00000001;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_END = 0x00000020;
inline constexpr std::uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
inline constexpr std::uint32_t ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
inline constexpr std::uint32_t ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
inline constexpr std::uint32_t ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;
inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

class AcmStream;
using HACMSTREAM = AcmStream*;

// One conversion's buffers: the caller owns both; the stream fills the used
// counts.
struct ACMSTREAMHEADER {
    std::uint32_t fdwStatus = 0;
    std::uint8_t* pbSrc = nullptr;
    std::uint32_t cbSrcLength = 0;
    std::uint32_t cbSrcLengthUsed = 0;
    std::uint8_t* pbDst = nullptr;
    std::uint32_t cbDstLength = 0;
    std::uint32_t cbDstLengthUsed = 0;
};

// Opens a stream from `src` to `dst`. With ACM_STREAMOPENF_QUERY only tells
// whether it could be opened (`stream` may be null). 0 on success.
std::uint32_t acmStreamOpen(HACMSTREAM* stream, const WAVEFORMATEX& src, const WAVEFORMATEX& dst,
                            std::uint32_t flags);

// Suggests a destination for `src`. Only PCM suggestions are made: with
// ACM_FORMATSUGGESTF_WFORMATTAG and a PCM tag preset in `dst`, `dst` becomes
// PCM at the source's rate and channel count (8 bits for 8-bit PCM sources,
// otherwise 16). `size` is the caller's record size, at least 16.
std::uint32_t acmFormatSuggest(const WAVEFORMATEX& src, WAVEFORMATEX& dst, std::uint32_t size, std::uint32_t flags);

// ACM_STREAMSIZEF_SOURCE: the destination bytes that `input` source bytes
// can give (an upper bound for compressed formats). ACM_STREAMSIZEF_DESTINATION:
// the source bytes whose output fits in `input` destination bytes.
std::uint32_t acmStreamSize(HACMSTREAM stream, std::uint32_t input, std::uint32_t* output, std::uint32_t flags);

std::uint32_t acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
std::uint32_t acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
std::uint32_t acmStreamReset(HACMSTREAM stream, std::uint32_t flags);
std::uint32_t acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
std::uint32_t acmStreamClose(HACMSTREAM stream, std::uint32_t flags);

// The stream's source and destination formats, for callers that kept only
// the handle.
const WAVEFORMATEX& AcmStreamSourceFormat(HACMSTREAM stream);
const WAVEFORMATEX& AcmStreamDestinationFormat(HACMSTREAM stream);

// Closes a stream when it goes out of scope.
struct AcmStreamCloser {
    void operator()(AcmStream* s) const { acmStreamClose(s, 0); }
};
using AcmStreamPtr = std::unique_ptr<AcmStream, AcmStreamCloser>;

// ---- The codec list ("installed drivers") ----

inline constexpr std::uint32_t ACMDRIVERDETAILS_SUPPORTF_CODEC = 0x00000001;
inline constexpr std::uint32_t ACMDRIVERDETAILS_SUPPORTF_CONVERTER = 0x00000002;

// One format a codec can make from CD audio.
struct AcmFormatDetails {
    std::uint32_t formatIndex = 0;  // position in the codec's list
    std::uint32_t formatTag = 0;
    std::uint32_t support = 0;
    std::string description;        // "44 100 Hz; 4 bit; stereo"
    WAVEFORMATEX format;            // with the codec's extra bytes
};

// One codec: an FFmpeg encoder with a WAV format tag.
struct AcmDriverDetails {
    std::string shortName;    // the FFmpeg encoder name, e.g. "adpcm_ima_wav"
    std::string longName;     // shown in lists, e.g. "ADPCM IMA WAV"
    std::uint16_t formatTag = 0;
    std::uint32_t support = 0;
    std::vector<AcmFormatDetails> formats;
};

// Every codec that can encode CD audio into a WAV format tag, with the
// formats it accepts from CD audio. Each format was checked by opening the
// encoder and a conversion stream from the CD format to it; each codec by
// encoding and decoding a short signal. Codecs without a usable format are
// left out. The result is computed once and then kept.
const std::vector<AcmDriverDetails>& EnumerateAcmDrivers();

// The same, computed afresh (for tests).
std::vector<AcmDriverDetails> EnumerateAcmDriversUncached();

}  // namespace sv
