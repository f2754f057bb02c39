// The LAME MP3 library, loaded at run time by name ("libmp3lame.so.0").
//
// A missing library, or one that lacks an entry point the encoder calls,
// leaves MP3 encoding unavailable; the caller reports which of the two it was.
// Tests load a name that does not exist, or a library without LAME's entry
// points, to see that happen.
#pragma once

#include <lame/lame.h>

#include <memory>
#include <string>

namespace sv {

inline constexpr const char* kLameLibraryName = "libmp3lame.so.0";

enum class LameLoadStatus { Loaded, LibraryMissing, EntryPointMissing };

// The entry points the encoder uses.
struct LameApi {
    decltype(&::lame_init) init = nullptr;
    decltype(&::lame_close) close = nullptr;
    decltype(&::lame_set_in_samplerate) setInSamplerate = nullptr;
    decltype(&::lame_set_out_samplerate) setOutSamplerate = nullptr;
    decltype(&::lame_set_num_channels) setNumChannels = nullptr;
    decltype(&::lame_set_mode) setMode = nullptr;
    decltype(&::lame_set_brate) setBrate = nullptr;
    decltype(&::lame_set_quality) setQuality = nullptr;
    decltype(&::lame_set_preset) setPreset = nullptr;
    decltype(&::lame_set_VBR) setVbr = nullptr;
    decltype(&::lame_set_VBR_q) setVbrQ = nullptr;
    decltype(&::lame_set_VBR_min_bitrate_kbps) setVbrMinBitrate = nullptr;
    decltype(&::lame_set_VBR_max_bitrate_kbps) setVbrMaxBitrate = nullptr;
    decltype(&::lame_set_VBR_hard_min) setVbrHardMin = nullptr;
    decltype(&::lame_set_original) setOriginal = nullptr;
    decltype(&::lame_set_copyright) setCopyright = nullptr;
    decltype(&::lame_set_error_protection) setErrorProtection = nullptr;
    decltype(&::lame_set_emphasis) setEmphasis = nullptr;
    decltype(&::lame_set_bWriteVbrTag) setWriteVbrTag = nullptr;
    decltype(&::lame_init_params) initParams = nullptr;
    decltype(&::lame_encode_buffer_interleaved) encodeInterleaved = nullptr;
    decltype(&::lame_encode_buffer) encodeBuffer = nullptr;
    decltype(&::lame_encode_flush) encodeFlush = nullptr;
    decltype(&::lame_get_lametag_frame) getLametagFrame = nullptr;
    decltype(&::get_lame_version_numerical) versionNumerical = nullptr;
};

class LameLibrary {
public:
    explicit LameLibrary(const std::string& name = kLameLibraryName);
    ~LameLibrary();
    LameLibrary(const LameLibrary&) = delete;
    LameLibrary& operator=(const LameLibrary&) = delete;

    LameLoadStatus Status() const { return status_; }
    bool Usable() const { return status_ == LameLoadStatus::Loaded; }
    // The first entry point that was not found (for EntryPointMissing).
    const std::string& MissingEntry() const { return missing_; }
    // Valid only when Usable().
    const LameApi& Api() const { return api_; }

private:
    void* handle_ = nullptr;
    LameLoadStatus status_ = LameLoadStatus::LibraryMissing;
    std::string missing_;
    LameApi api_;
};

}  // namespace sv
