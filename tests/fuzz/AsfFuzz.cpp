// Windows Media files as the WMA decoder meets them: FFmpeg's asf demuxer,
// the attributes, the stream's decoder through the codec layer, reads with
// a small buffer, a seek into the middle and reads from there.
#include <array>

#include "FuzzSupport.h"
#include "decoders/WmaDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::TWMADecoder9 decoder;
    if (!decoder.Open(svfuzz::WriteTempFile("input.wma", svfuzz::AsText(data, size)))) return 0;
    std::array<std::uint8_t, 1000> pcm{};
    const auto length = static_cast<std::uint32_t>(pcm.size());
    for (int i = 0; i < 2000 && decoder.Read(pcm.data(), length) > 0; ++i) {
    }
    decoder.Seek(decoder.GetLength() / 2);
    for (int i = 0; i < 200 && decoder.Read(pcm.data(), length) > 0; ++i) {
    }
    decoder.Close();
    return 0;
}
