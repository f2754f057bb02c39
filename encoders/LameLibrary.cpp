#include "encoders/LameLibrary.h"

#include <dlfcn.h>

namespace sv {

namespace {

template <class Fn>
bool Bind(void* handle, const char* name, Fn& out, std::string& missing) {
    void* p = dlsym(handle, name);
    if (!p) {
        if (missing.empty()) missing = name;
        return false;
    }
    out = reinterpret_cast<Fn>(p);
    return true;
}

}  // namespace

LameLibrary::LameLibrary(const std::string& name) {
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        status_ = LameLoadStatus::LibraryMissing;
        return;
    }
    bool ok = true;
    ok &= Bind(handle_, "lame_init", api_.init, missing_);
    ok &= Bind(handle_, "lame_close", api_.close, missing_);
    ok &= Bind(handle_, "lame_set_in_samplerate", api_.setInSamplerate, missing_);
    ok &= Bind(handle_, "lame_set_out_samplerate", api_.setOutSamplerate, missing_);
    ok &= Bind(handle_, "lame_set_num_channels", api_.setNumChannels, missing_);
    ok &= Bind(handle_, "lame_set_mode", api_.setMode, missing_);
    ok &= Bind(handle_, "lame_set_brate", api_.setBrate, missing_);
    ok &= Bind(handle_, "lame_set_quality", api_.setQuality, missing_);
    ok &= Bind(handle_, "lame_set_preset", api_.setPreset, missing_);
    ok &= Bind(handle_, "lame_set_VBR", api_.setVbr, missing_);
    ok &= Bind(handle_, "lame_set_VBR_q", api_.setVbrQ, missing_);
    ok &= Bind(handle_, "lame_set_VBR_min_bitrate_kbps", api_.setVbrMinBitrate, missing_);
    ok &= Bind(handle_, "lame_set_VBR_max_bitrate_kbps", api_.setVbrMaxBitrate, missing_);
    ok &= Bind(handle_, "lame_set_VBR_hard_min", api_.setVbrHardMin, missing_);
    ok &= Bind(handle_, "lame_set_original", api_.setOriginal, missing_);
    ok &= Bind(handle_, "lame_set_copyright", api_.setCopyright, missing_);
    ok &= Bind(handle_, "lame_set_error_protection", api_.setErrorProtection, missing_);
    ok &= Bind(handle_, "lame_set_emphasis", api_.setEmphasis, missing_);
    ok &= Bind(handle_, "lame_set_bWriteVbrTag", api_.setWriteVbrTag, missing_);
    ok &= Bind(handle_, "lame_init_params", api_.initParams, missing_);
    ok &= Bind(handle_, "lame_encode_buffer_interleaved", api_.encodeInterleaved, missing_);
    ok &= Bind(handle_, "lame_encode_buffer", api_.encodeBuffer, missing_);
    ok &= Bind(handle_, "lame_encode_flush", api_.encodeFlush, missing_);
    ok &= Bind(handle_, "lame_get_lametag_frame", api_.getLametagFrame, missing_);
    ok &= Bind(handle_, "get_lame_version_numerical", api_.versionNumerical, missing_);
    status_ = ok ? LameLoadStatus::Loaded : LameLoadStatus::EntryPointMissing;
}

LameLibrary::~LameLibrary() {
    if (handle_) dlclose(handle_);
}

}  // namespace sv
