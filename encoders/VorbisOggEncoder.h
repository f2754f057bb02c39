// TVorbisOggEncoder: Ogg Vorbis files through libvorbisenc and libogg, in
// quality mode (OggQuality x 0.001, held to -0.1..1.0) or bit-rate mode (the
// minimum, nominal and maximum indexes of the settings). The tag record's
// fields become Vorbis comments in UTF-8. The header pages are flushed
// before any audio; Close drains the stream. A configuration the library
// refuses fails Open and leaves no file.
#pragma once

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/ProgramSettings.h"
#include "encoders/EncoderCommon.h"
#include "formats/WaveFormat.h"

namespace sv {

class TVorbisOggEncoder {
public:
    static constexpr int kBitrates[11] = {350, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32};

    TVorbisOggEncoder() = default;
    ~TVorbisOggEncoder() { Close(); }
    TVorbisOggEncoder(const TVorbisOggEncoder&) = delete;
    TVorbisOggEncoder& operator=(const TVorbisOggEncoder&) = delete;

    void SetInputFormat(const WAVEFORMATEX& format) { input_ = format; }
    bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings);
    bool IsOpen() const { return file_ != nullptr; }
    // False once a write failed.
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    // Drains the stream and closes the file; false when a write failed (the
    // file is removed then).
    bool Close();

    // The 16-bit WAV file `source` into `path`, normalised when set.
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord,
                            const TProgramSettings& settings);
    void SetProgress(EncoderProgressFn fn) { progress_ = std::move(fn); }
    void SetNormalize(bool on, double gain) { normalize_ = on; gain_ = gain; }

    // The comments Open would add for a tag record, in order (key, UTF-8 text).
    static std::vector<std::pair<std::string, std::string>> Comments(const std::uint8_t* tagRecord);
    // Whether the library accepts the settings for this input.
    static bool SettingsAccepted(const TProgramSettings& settings, int channels = 2, std::uint32_t rate = 44100);
    // Quality as the library takes it.
    static float QualityOf(std::int32_t setting);

private:
    bool WritePage(const ogg_page& page);
    void Clear();

    std::FILE* file_ = nullptr;
    std::string path_;
    bool stop_ = false;
    bool failed_ = false;
    bool libraryOpen_ = false;
    ogg_stream_state stream_{};
    vorbis_info info_{};
    vorbis_comment comment_{};
    vorbis_dsp_state dsp_{};
    vorbis_block block_{};
    WAVEFORMATEX input_ = WAVEFORMATEX::CdFormat();
    EncoderProgressFn progress_;
    bool normalize_ = false;
    double gain_ = 1.0;
};

}  // namespace sv
