// TLameMP3Encoder: MP3 files through the LAME library.
//
// Open writes the tag (a ready-made block, or the ID3v2 tag of the track's tag
// record), then the library's stream follows; Close drains the library, and
// writes LAME's Info/Xing frame over the placeholder frame that starts the
// stream, so that decoders return exactly the samples that went in. The
// output sample rate is always the input's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/ProgramSettings.h"
#include "base/TagRecord.h"
#include "encoders/EncoderCommon.h"
#include "encoders/LameConfig.h"
#include "encoders/LameLibrary.h"
#include "formats/WaveFormat.h"

namespace sv {


class TLameMP3Encoder {
public:
    explicit TLameMP3Encoder(std::shared_ptr<const LameLibrary> library);
    ~TLameMP3Encoder();
    TLameMP3Encoder(const TLameMP3Encoder&) = delete;
    TLameMP3Encoder& operator=(const TLameMP3Encoder&) = delete;

    bool Usable() const { return library_ && library_->Usable(); }

    // Items TEncoders hands over before Open / EncodeFile.
    void SetInputFormat(const WAVEFORMATEX& format) { input_ = format; }
    void SetRawTag(const std::uint8_t* block, std::size_t length) {
        rawTag_.assign(block, block + length);
        rawTagSet_ = true;
    }
    void SetProgress(EncoderProgressFn fn) { progress_ = std::move(fn); }
    void SetNormalize(bool on, double gain) { normalize_ = on; gain_ = gain; }
    void SetOpener(OutputFileOpener opener) { opener_ = std::move(opener); }

    // Input chunk size in bytes, or 0 on failure (library unusable, LAME
    // refusing the configuration, the file not created or the tag not
    // written; nothing is left on disk then).
    std::uint32_t Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings);
    bool IsOpen() const { return file_ != nullptr; }
    // False once a write failed (the rest of the stream is dropped).
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    // Finishes the stream and the Info frame and closes the file; false when
    // some write since Open failed. Resets the input format to CD audio.
    bool Close();
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord,
                            const TProgramSettings& settings);

    // "Lame MP3 Encoder 3.100"; empty when the library is unusable.
    std::string Description() const;
    // The errno of the first failed write or create, 0 when none.
    int LastError() const { return error_; }
    // The plan of the last Open (for tests and the settings dialog).
    const LamePlan& Plan() const { return plan_; }
    bool MonoMix() const { return monoMix_; }

private:
    bool Write(const std::uint8_t* data, std::size_t n);
    void Release();

    std::shared_ptr<const LameLibrary> library_;
    lame_global_flags* gfp_ = nullptr;
    std::FILE* file_ = nullptr;
    long streamStart_ = 0;
    std::string path_;
    std::vector<std::uint8_t> out_;
    std::vector<std::uint8_t> mix_;
    std::uint32_t samplesPerChunk_ = 0;
    bool monoMix_ = false;
    bool failed_ = false;
    int error_ = 0;
    LamePlan plan_;
    WAVEFORMATEX input_ = WAVEFORMATEX::CdFormat();
    std::vector<std::uint8_t> rawTag_;
    bool rawTagSet_ = false;
    EncoderProgressFn progress_;
    bool normalize_ = false;
    double gain_ = 1.0;
    OutputFileOpener opener_ = &OpenOutputFile;
};

}  // namespace sv
