// TMPEGDecoder: ".mp3" files (MPEG-1, 2 and 2.5, layers I to III) through
// libmpg123's feed API. Length and position come from the first frame's
// header (Xing/Info or VBRI frame count, else the frame length); Seek uses
// the Xing TOC when there is one.
#pragma once

#include <cstdio>
#include <vector>

#include "decoders/Decoder.h"
#include "decoders/MpegHeader.h"

struct mpg123_handle_struct;

namespace sv {

class TMPEGDecoder : public TDecoder {
public:
    static constexpr std::uint32_t kReadSize = 4608;
    static constexpr std::uint32_t kFeedSize = 4602;
    // How many calls in a row may produce nothing and take no input before
    // Read gives up.
    static constexpr int kMaxIdleCalls = 64;
    // How much of the file's start is searched for the first frame.
    static constexpr std::size_t kSearchBytes = 4u << 20;

    TMPEGDecoder() { readSize_ = kReadSize; }
    ~TMPEGDecoder() override { Release(); }

    bool Open(const std::string& path) override;
    bool Close() override;
    std::uint32_t Read(void* buffer, std::uint32_t size) override;
    std::uint32_t GetLength() override;
    // After GetLength: the samples per channel of all the stream's frames (the
    // encoder's delay and padding included), which the whole-second length
    // leaves out; 0 when unknown.
    std::uint64_t FrameSamples() const { return frameSamples_; }
    std::uint32_t GetPosition() override;
    void Seek(std::uint32_t ms) override;
    void Release() override;
    const char* Name() const override { return "mpeg"; }

    void SetKeepLeadingData(bool keep) { keepLeadingData_ = keep; }
    const std::vector<std::uint8_t>& LeadingData() const { return leadingData_; }
    const MPEGHeader& Header() const { return header_; }
    std::uint64_t AudioStart() const { return audioStart_; }
    std::uint64_t AudioSize() const { return audioSize_; }

private:
    bool keepLeadingData_ = false;
    std::vector<std::uint8_t> leadingData_;
    std::FILE* file_ = nullptr;
    std::vector<std::uint8_t> input_ = std::vector<std::uint8_t>(kReadSize);
    MPEGHeader header_;
    std::uint64_t audioStart_ = 0;
    std::uint64_t audioSize_ = 0;
    std::uint64_t remaining_ = 0;
    std::uint32_t duration_ = 0;
    std::uint64_t frameSamples_ = 0;
    mpg123_handle_struct* stream_ = nullptr;
};

}  // namespace sv
