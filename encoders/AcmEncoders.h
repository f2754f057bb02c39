// The codec-layer encoders: TACMDrivers (every codec of the conversion layer
// with the formats it can make from CD audio, enumerated once), TWinMP3Encoder
// (MP3 through the layer's MP3 codecs, when the LAME encoder is not chosen)
// and TACMEncoder (any codec of the layer, in a WAV container or as a bare
// stream). Both encoders convert one second of input at a time through a
// conversion stream and write what the codec gives.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "encoders/EncoderCommon.h"
#include "formats/Acm.h"
#include "formats/WaveFormat.h"

namespace sv {

class TACMDrivers {
public:
    // The layer's codecs as EnumerateAcmDrivers lists them, enumerated when
    // first asked for (it opens every codec once).
    TACMDrivers() = default;
    // A given list (tests leave codecs out to simulate missing ones).
    explicit TACMDrivers(std::vector<AcmDriverDetails> drivers);

    const std::vector<AcmDriverDetails>& Drivers() const;
    int Count() const { return static_cast<int>(Drivers().size()); }
    // The codec's name as lists show it; empty outside the list.
    std::string CodecName(int codec) const;
    // The codec's format descriptions, in list order.
    std::vector<std::string> FormatDescriptions(int codec) const;
    // The format record at (codec, format); null outside the lists.
    const AcmFormatDetails* Format(int codec, int format) const;

private:
    mutable std::optional<std::vector<AcmDriverDetails>> drivers_;
};

// One conversion stream from PCM to a codec format with its two buffers: the
// part both codec encoders share.
class AcmEncodeStream {
public:
    static constexpr std::uint32_t kSourceBlock = 176400;  // one second of CD audio

    AcmEncodeStream() = default;
    ~AcmEncodeStream() { Close(); }
    AcmEncodeStream(const AcmEncodeStream&) = delete;
    AcmEncodeStream& operator=(const AcmEncodeStream&) = delete;

    // Opens the stream and sizes the buffers: the source block is one second
    // of CD audio, or less when the codec's output for it would not fit the
    // destination block. False when the conversion is not available.
    bool Open(const WAVEFORMATEX& input, const WAVEFORMATEX& output);
    bool IsOpen() const { return stream_ != nullptr; }
    std::uint32_t SourceBlock() const { return srcBlock_; }
    std::uint32_t DestinationBlock() const { return static_cast<std::uint32_t>(dst_.size()); }
    std::uint32_t LastFlags() const { return lastFlags_; }
    // Converts `bytes` of input in pieces of at most the source block and
    // hands every converted piece to `write`. The first call after Open
    // carries the start flag on all its pieces. False when the codec failed
    // or `write` did.
    using WriteFn = std::function<bool(const std::uint8_t*, std::size_t)>;
    bool Feed(const std::uint8_t* pcm, std::size_t bytes, const WriteFn& write);
    // Drains what the codec still holds (the last partial codec frame),
    // through `write`.
    bool Finish(const WriteFn& write);
    void Close();

private:
    bool Convert(const std::uint8_t* src, std::uint32_t n, std::uint32_t flags, const WriteFn& write);

    HACMSTREAM stream_ = nullptr;
    ACMSTREAMHEADER header_;
    std::vector<std::uint8_t> src_, dst_;
    std::uint32_t srcBlock_ = 0;
    std::uint32_t frameBytes_ = 4;
    std::uint32_t lastFlags_ = 0;  // flags of the last conversion (tests)
    bool started_ = false;  // the first Feed call is over: no more start flags
};

// What the two codec encoders share around the stream: the output file, its
// write errors, the failure text and the file-to-file loop's settings.
class AcmFileEncoder {
public:
    void SetInputFormat(const WAVEFORMATEX& format) { input_ = format; }
    void SetProgress(EncoderProgressFn fn) { progress_ = std::move(fn); }
    void SetNormalize(bool on, double gain) { normalize_ = on; gain_ = gain; }
    void SetOpener(OutputFileOpener opener) { opener_ = std::move(opener); }
    void SetDialogs(IUserDialogs* dialogs) { dialogs_ = dialogs; }

    bool IsOpen() const { return file_ != nullptr; }
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    // The reason of the last failure, for the user.
    const std::string& LastMessage() const { return message_; }
    int LastError() const { return error_; }
    std::uint64_t InputBytes() const { return inputBytes_; }
    std::uint64_t EncodedBytes() const { return encodedBytes_; }

protected:
    AcmFileEncoder() = default;
    ~AcmFileEncoder();
    AcmFileEncoder(const AcmFileEncoder&) = delete;
    AcmFileEncoder& operator=(const AcmFileEncoder&) = delete;

    bool Write(const std::uint8_t* data, std::size_t n);
    bool Fail(std::string message);
    // Opens the output file; false (with the message) when it cannot be
    // created.
    bool CreateFile(const std::string& path);
    // Drains the stream, closes it and the file (through `closeFile`, which
    // may patch a header first), and removes the file when anything failed.
    bool Finish(const std::function<bool(std::FILE*)>& closeFile);
    EncodeResult PumpFile(WavSource& wav, const std::string& path, const std::function<bool()>& open);

    WAVEFORMATEX input_ = WAVEFORMATEX::CdFormat();
    AcmEncodeStream stream_;
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string message_;
    bool failed_ = false;
    int error_ = 0;
    std::uint64_t inputBytes_ = 0;
    std::uint64_t encodedBytes_ = 0;
    OutputFileOpener opener_ = OpenOutputFile;
    IUserDialogs* dialogs_ = nullptr;
    EncoderProgressFn progress_;
    bool normalize_ = false;
    double gain_ = 1.0;
};

// MP3 through the layer's MP3 codecs: the codecs whose first format is MPEG
// Layer-3 (at most 20), indexed by Mp3AcmCodecIndex; their formats by
// Mp3AcmFormatIndex.
class TWinMP3Encoder : public AcmFileEncoder {
public:
    static constexpr std::size_t kMaxCodecs = 20;
    static constexpr std::uint16_t kMpegLayer3Tag = 0x0055;

    explicit TWinMP3Encoder(const TACMDrivers& drivers);
    ~TWinMP3Encoder() { Close(); }

    bool HasCodec() const { return !Codecs().empty(); }
    int CodecCount() const { return static_cast<int>(Codecs().size()); }
    std::vector<std::string> CodecNames() const;
    std::vector<std::string> FormatList(int codec) const;
    // The format record of (codec, format) in this subset; null outside it.
    const AcmFormatDetails* Format(int codec, int format) const;
    // Forgets the subset after the driver list changed.
    void ResetCodecList() { codecs_.reset(); }

    void SetRawTag(const std::uint8_t* block, std::size_t length) {
        rawTag_.assign(block, block + length);
        rawTagSet_ = true;
    }
    // Opens `path` with the raw tag block or the record's ID3v2 tag at its
    // start and a conversion from the input format to the chosen format.
    // Returns the source block size, 0 on failure (no file is left).
    std::uint32_t Open(const std::uint8_t* tagRecord, const std::string& path, int formatIndex, int codecIndex);
    // The same with Mp3AcmFormatIndex and Mp3AcmCodecIndex of `settings`.
    bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings) {
        return Open(tagRecord, path, settings.Mp3AcmFormatIndex(), settings.Mp3AcmCodecIndex()) != 0;
    }
    // Drains the codec and closes the file; false when writing failed (the
    // file is removed).
    bool Close();
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord,
                            const TProgramSettings& settings);

private:
    // (position in the driver list, number of its formats)
    const std::vector<std::pair<int, int>>& Codecs() const;

    const TACMDrivers& drivers_;
    mutable std::optional<std::vector<std::pair<int, int>>> codecs_;
    std::vector<std::uint8_t> rawTag_;
    bool rawTagSet_ = false;
};

// Any codec of the layer (output format 6): AcmCodecIndex is a position in
// the driver list, AcmFormatIndex one in that codec's formats. With the WAV
// header flag the file is a WAV file with the codec's format record, whose
// sizes are set at Close; without it the file is the bare codec stream with
// the ID3v2 tag in front when a tag is given.
class TACMEncoder : public AcmFileEncoder {
public:
    explicit TACMEncoder(const TACMDrivers& drivers) : drivers_(drivers) {}
    ~TACMEncoder() { Close(); }

    // Deletes an existing file at `path` first. False (no file left) when the
    // choice is outside the lists, the file cannot be created or the
    // conversion cannot be opened; LastMessage says which.
    bool Open(int codecIndex, int formatIndex, const std::string& path, bool wavHeader, const std::uint8_t* tagRecord);
    // The same with the codec, format, header and tag choices of `settings`.
    bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings) {
        return Open(settings.AcmCodecIndex(), settings.AcmFormatIndex(), path, settings.AcmWriteWavHeader(),
                    settings.AcmWriteTag() ? tagRecord : nullptr);
    }
    bool Close();
    // `settings` give the codec, format, header and tag choices.
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord,
                            const TProgramSettings& settings);

private:
    const TACMDrivers& drivers_;
    WAVEFORMATEX format_;
    bool wavHeader_ = false;
};

}  // namespace sv
