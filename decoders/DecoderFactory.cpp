#include <algorithm>
#include <cctype>
#include <filesystem>

#include "decoders/Decoder.h"
#include "decoders/FlacDecoder.h"
#include "decoders/MpegDecoder.h"
#include "decoders/OggDecoder.h"
#include "decoders/WaveDecoder.h"
#include "decoders/WmaDecoder.h"

namespace sv {

std::unique_ptr<TDecoder> CreateDecoderForFile(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".wav") return std::make_unique<TWAVEDecoder>();
    if (ext == ".mp3") return std::make_unique<TMPEGDecoder>();
    if (ext == ".ogg") return std::make_unique<TOGGDecoder>();
    if (ext == ".flac") return std::make_unique<TFlacDecoder>();
    if (ext == ".wma" || ext == ".wmv" || ext == ".asf") return std::make_unique<TWMADecoder9>();
    return nullptr;
}

}  // namespace sv
