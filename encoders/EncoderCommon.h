// What every encoder shares: the progress callback of file-to-file encoding,
// the block scaling of normalisation, peak tracking, stereo-to-mono mixing,
// and the way output files are opened (replaceable, so that tests can make
// writes fail the way a full disk does).
#pragma once

#include <cstdint>
#include <cstdio>
#include <system_error>
#include <filesystem>
#include <cerrno>
#include <functional>
#include <string>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "formats/WavFile.h"

namespace sv {

// How a file-to-file encoding ended.
enum class EncodeResult { Done, Cancelled, SourceUnavailable, Failed };

// Called before each block of a file-to-file encoding with the bytes done,
// the total bytes and a cancel flag; setting the flag stops the encoding.
using EncoderProgressFn = std::function<void(std::uint64_t done, std::uint64_t total, bool& cancel)>;

// Opens an output file for writing ("wb"); null on failure with errno set.
using OutputFileOpener = std::function<std::FILE*(const std::string& path)>;
std::FILE* OpenOutputFile(const std::string& path);

// The normalisation gain for a recorded peak: level g = (peak - 0.999999) x
// 100 / 32768 percent; below NormLowThreshold the gain is NormLowTarget / g
// x 0.9999, above NormHighThreshold NormHighTarget / g x 0.9999, else 1.0.
// A raising gain is held so that near-silent audio never turns into loud
// noise: never above what brings the peak exactly to the target, never so
// high that the peak sample would clip, and never above kMaxNormalizationGain.
// Digital silence (peak 0) keeps gain 1.0.
inline constexpr double kMaxNormalizationGain = 100.0;  // +40 dB
double NormalizationGain(std::int16_t peak, const TProgramSettings& settings);

// Scales 16-bit samples: s becomes trunc(s x gain + 0.5), held inside the
// 16-bit range. A gain of exactly 1.0 or 0.0 leaves the block as it is.
void ScaleBlock(std::int16_t* samples, std::size_t count, double gain);
void ScaleBlockBytes(std::uint8_t* bytes, std::size_t byteCount, double gain);

// The largest |s| over the 16-bit samples of a block, at most 32767, or
// `peak` when that is larger.
std::int16_t BlockPeak(const std::uint8_t* bytes, std::size_t byteCount, std::int16_t peak);

// Mixes interleaved stereo frames to mono in place: (L, R) becomes L/2 + R/2,
// each half truncated toward zero. Returns the new byte count (half).
std::size_t MixToMono(std::uint8_t* bytes, std::size_t byteCount);

// Opens the source of a file-to-file encoding: a 16-bit PCM WAV file of one
// or two channels. False (and closed) otherwise.
bool OpenEncoderSource(WavSource& wav, const std::string& source);

// The file-to-file loop every encoder shares: reads the open WAV source in
// blocks of `blockBytes`, reports progress before each block, normalises by
// `gain` when `normalize`, hands each block to `encode`, closes the source
// and finishes with `close`. A cancelled run removes `path`.
EncodeResult PumpWavIntoEncoder(WavSource& wav, std::size_t blockBytes, const std::string& path,
                                const EncoderProgressFn& progress, bool normalize, double gain,
                                const std::function<bool(const std::uint8_t*, std::size_t)>& encode,
                                const std::function<bool()>& close);

// The whole file-to-file encoding of the encoders that take any block size:
// opens the 16-bit WAV `source` (SourceUnavailable otherwise), hands its
// format to `open`, which sets the encoder's input and opens it on `path`
// (Failed when it refuses, after `abandon`), then pumps the file through in
// blocks of 4096 frames.
EncodeResult EncodeWavFile(const std::string& source, const std::string& path,
                           const std::function<bool(const WAVEFORMATEX&)>& open, const std::function<void()>& abandon,
                           const EncoderProgressFn& progress, bool normalize, double gain,
                           const std::function<bool(const std::uint8_t*, std::size_t)>& encode,
                           const std::function<bool()>& close);

// The text of errno `error` for messages ("No space left on device").
std::string ErrorText(int error);

// What the encoders that write their own output file share: the settings
// copied in before Open (input format, dialogs, file opener, progress,
// normalisation), the output and its failure state, and the file-to-file
// encoding through the derived class's Open, EncodeChunk and Close.
template <class Derived>
class FileEncoderBase {
public:
    void SetInputFormat(const WAVEFORMATEX& format) { input_ = format; }
    void SetDialogs(IUserDialogs* dialogs) { dialogs_ = dialogs; }
    void SetOpener(OutputFileOpener opener) { opener_ = std::move(opener); }
    void SetProgress(EncoderProgressFn fn) { progress_ = std::move(fn); }
    void SetNormalize(bool on, double gain) {
        normalize_ = on;
        gain_ = gain;
    }
    bool IsOpen() const { return file_ != nullptr; }
    // Why the last Open or Close failed; empty after a success.
    const std::string& LastMessage() const { return message_; }
    // errno of the first failed create or write, 0 when none.
    int LastError() const { return error_; }

    // The 16-bit WAV file `source` into `path`, normalised when set.
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord,
                            const TProgramSettings& settings) {
        auto& self = static_cast<Derived&>(*this);
        return EncodeWavFile(
            source, path,
            [&](const WAVEFORMATEX& format) {
                input_ = format;
                return self.Open(tagRecord, path, settings);
            },
            [this] { input_ = WAVEFORMATEX::CdFormat(); }, progress_, normalize_, gain_,
            [&self](const std::uint8_t* p, std::size_t n) { return self.EncodeChunk(p, n); },
            [&self] { return self.Close(); });
    }

protected:
    // A failed Open: the message (shown when there are dialogs), the
    // derived class's resources released by `release`, the output removed.
    bool FailOpen(const std::string& message, const std::function<void()>& release) {
        message_ = message;
        if (dialogs_) dialogs_->ShowMessage(message_, MessageIcon::Warning);
        release();
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove(path_, ec);
            path_.clear();
        }
        return false;
    }

    // At the end of Close: after a failure since Open the output is removed
    // and the message says why. Returns whether the output is good.
    bool KeepOutputUnlessFailed() {
        if (!failed_) return true;
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        message_ = "Writing " + path_ + " failed: " + ErrorText(error_ != 0 ? error_ : EIO);
        return false;
    }

    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
    int error_ = 0;
    std::string message_;
    IUserDialogs* dialogs_ = nullptr;
    OutputFileOpener opener_ = &OpenOutputFile;
    WAVEFORMATEX input_ = WAVEFORMATEX::CdFormat();
    EncoderProgressFn progress_;
    bool normalize_ = false;
    double gain_ = 1.0;
};


}  // namespace sv
