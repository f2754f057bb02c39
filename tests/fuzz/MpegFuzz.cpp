// MPEG audio files as the decoder meets them: the search for the first frame
// (ID3v2 tags, RIFF starts, lead-in), each frame header, and the Xing/Info and
// VBRI blocks of the first frame; then the whole file through the decoder.
#include <array>
#include <span>

#include "FuzzSupport.h"
#include "decoders/MpegDecoder.h"
#include "decoders/MpegHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (std::size_t at = 0; at < size && at < 64; ++at) sv::DecodeMpegFrameHeader(bytes.subspan(at));
    if (auto start = sv::FindFirstMpegFrame(bytes)) {
        if (start->offset <= size) sv::ReadVbrBlock(bytes.subspan(start->offset), start->header);
    }
    sv::TMPEGDecoder decoder;
    if (decoder.Open(svfuzz::WriteTempFile("input.mp3", svfuzz::AsText(data, size)))) {
        std::array<std::uint8_t, 4608> pcm{};
        for (int i = 0; i < 2000 && decoder.Read(pcm.data(), static_cast<std::uint32_t>(pcm.size())) > 0; ++i) {
        }
        decoder.Close();
    }
    return 0;
}
