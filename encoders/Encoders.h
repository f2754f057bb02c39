// TEncoders: the single front door to the output encoders. It dispatches by
// the settings' OutputFormat (0 WAV, 1 MP3, 2 WMA, 3 Ogg Vorbis, 4 APE, 5 AAC,
// 6 another codec, 7 FLAC) for streaming (Open, EncodeChunk, Close) and file-to-file
// encoding with optional normalisation (EncodeFile).
//
// Formats whose encoder this build does not carry report themselves
// unavailable with their message and never create a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "encoders/AacEncoder.h"
#include "encoders/AcmEncoders.h"
#include "encoders/ApeEncoder.h"
#include "encoders/EncoderCommon.h"
#include "encoders/FlacEncoder.h"
#include "encoders/LameMP3Encoder.h"
#include "encoders/VorbisOggEncoder.h"
#include "encoders/WmaEncoder.h"
#include "formats/WaveFormat.h"

namespace sv {

struct EncoderAvailability {
    bool available = false;
    std::string message;  // what to tell the user when not available
};

// One output format's encoder as TEncoders drives it.
class IFormatEncoder {
public:
    virtual ~IFormatEncoder() = default;
    virtual void SetInputFormat(const WAVEFORMATEX& format) = 0;
    virtual void SetProgress(EncoderProgressFn fn) = 0;
    virtual void SetNormalize(bool on, double gain) = 0;
    virtual bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings) = 0;
    virtual bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) = 0;
    virtual bool Close() = 0;
    virtual EncodeResult EncodeFile(const std::string& source, const std::string& path,
                                    const std::uint8_t* tagRecord, const TProgramSettings& settings) = 0;
    // Why the last operation failed, for the user; empty when the encoder
    // only knows an errno (Error) or nothing.
    virtual std::string Message() const = 0;
    virtual int Error() const = 0;
};

class TEncoders {
public:
    // Loads the LAME library by `lameLibrary`; when it is missing or damaged
    // the message (R98 or R99) goes to `dialogs` when given.
    explicit TEncoders(IUserDialogs* dialogs = nullptr, const std::string& lameLibrary = kLameLibraryName);

    void SetSettings(const TProgramSettings* settings) { settings_ = settings; }
    void SetDialogs(IUserDialogs* dialogs);
    void SetProgress(EncoderProgressFn fn) { progress_ = std::move(fn); }
    void SetPeak(std::int16_t peak) { peak_ = peak; }
    std::int16_t Peak() const { return peak_; }
    // A ready-made tag block for the next Open, written verbatim instead of an
    // ID3v2 tag built from a tag record. Open clears it.
    void SetRawTag(const std::uint8_t* block, std::uint32_t length);
    // The format of the PCM fed after the next Open; Close returns to CD audio.
    void SetInputFormat(const WAVEFORMATEX& format) { input_ = format; }
    const WAVEFORMATEX& InputFormat() const { return input_; }
    // How output files are created (tests make writes fail with it).
    void SetOpener(OutputFileOpener opener);

    // Whether `format` can be encoded with the current settings, and the
    // message for the user when not.
    EncoderAvailability Availability(int format) const;

    // Opens the current format's encoder on `path` (an existing file there is
    // deleted first). Fails when already open or the format is unavailable;
    // the open flag stays set after a failed Open, so Close must follow.
    bool Open(const std::uint8_t* tagRecord, const std::string& path);
    bool IsOpen() const { return open_; }
    // False when the block could not be encoded or written.
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    // Closes the current encoder; false when the output could not be written
    // completely (the encoder removes what it wrote).
    bool Close();
    // Encodes the CD-format (or any 16-bit PCM) WAV file `source` into
    // `path`, normalising from the recorded peak when the settings say so.
    // R97 when the source cannot be opened. A cancelled encoding removes its
    // partial output.
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord);

    // The MP3 codec list of the settings dialog: the LAME library's
    // description first, then the codec layer's MP3 codecs.
    std::vector<std::string> CodecList() const;
    // The format descriptions of the codec layer's MP3 codec `codec`.
    std::vector<std::string> FormatList(int codec) const;
    // errno of the last failed create or write, 0 when none.
    int LastError() const;
    // The reason of the last failure as the user should read it: the
    // encoder's own message, else the text of LastError, else empty.
    std::string FailureText() const;
    const std::string& OutputPath() const { return path_; }

    TLameMP3Encoder& Lame() { return *lame_; }
    TVorbisOggEncoder& Ogg() { return *ogg_; }
    const TACMDrivers& AcmDrivers() const { return drivers_; }
    TWinMP3Encoder& WinMp3() { return winMp3_; }
    TWMAEncoder& Wma() { return wma_; }
    TFAACEncoder& Aac() { return aac_; }
    TAPEEncoder& Ape() { return ape_; }
    TFlacEncoder& Flac() { return flac_; }
    TACMEncoder& Acm() { return acm_; }
    // Replaces the codec layer's list (tests leave codecs out).
    void SetAcmDrivers(std::vector<AcmDriverDetails> drivers);
    const LameLibrary& LameLib() const { return *lameLibrary_; }

private:
    int CurrentFormat() const;
    // The encoder of `format` with the current settings; null for WAV.
    IFormatEncoder* EncoderFor(int format);

    const TProgramSettings* settings_ = nullptr;
    IUserDialogs* dialogs_ = nullptr;
    std::string path_;
    const std::uint8_t* tag_ = nullptr;
    bool open_ = false;
    int openFormat_ = -1;
    std::shared_ptr<LameLibrary> lameLibrary_;
    std::unique_ptr<TLameMP3Encoder> lame_;
    std::unique_ptr<TVorbisOggEncoder> ogg_ = std::make_unique<TVorbisOggEncoder>();
    TACMDrivers drivers_;
    TWinMP3Encoder winMp3_{drivers_};
    TACMEncoder acm_{drivers_};
    TWMAEncoder wma_;
    TFAACEncoder aac_;
    TAPEEncoder ape_;
    TFlacEncoder flac_;
    std::vector<std::unique_ptr<IFormatEncoder>> slots_;  // by output format, 1 = LAME, 8 = codec-layer MP3
    IFormatEncoder* openEncoder_ = nullptr;
    std::string message_;
    EncoderProgressFn progress_;
    std::vector<std::uint8_t> rawTag_;
    bool rawTagSet_ = false;
    WAVEFORMATEX input_ = WAVEFORMATEX::CdFormat();
    std::int16_t peak_ = 0;
    int error_ = 0;
};

// True when the current language's texts are the English ones (for the few
// texts that are not language entries).
bool EnglishTextsActive();

}  // namespace sv
