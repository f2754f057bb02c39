#include "writer/CDDAStreamOut.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "base/Text.h"

namespace sv {

namespace {

constexpr int kFlushRounds = 1 << 16;

}  // namespace

bool StreamableSoundFile(const std::string& path) {
    const std::string ext = AsciiLower(std::filesystem::path(path).extension().string());
    return ext == ".wav" || ext == ".mp3" || ext == ".ogg" || ext == ".wma" || ext == ".flac";
}

TCDDAStreamOut::~TCDDAStreamOut() { Close(); }

bool TCDDAStreamOut::Open(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    eof_ = false;
    sourceDone_ = false;
    total_ = 0;
    CloseConversion();
    if (decoder_) decoder_->Close();
    decoder_.reset();
    input_.clear();
    if (!StreamableSoundFile(path)) return false;
    decoder_ = CreateDecoderForFile(path);
    if (!decoder_ || !decoder_->Open(path)) {
        decoder_.reset();
        return false;
    }
    decoder_->GetLength();
    sourceFormat_ = WAVEFORMATEX::Pcm(decoder_->SampleRate(), decoder_->Channels(), 16);
    read_.assign(std::max<std::uint32_t>(decoder_->ReadSize(), 4), 0);
    convert_ = decoder_->SampleRate() != 44100 || decoder_->Channels() != 2 || decoder_->Bits() != 16;
    if (!convert_) return true;
    std::uint32_t out = 0;
    if (acmStreamOpen(&stream_, sourceFormat_, WAVEFORMATEX::CdFormat(), ACM_STREAMOPENF_NONREALTIME) !=
            MMSYSERR_NOERROR ||
        acmStreamSize(stream_, static_cast<std::uint32_t>(read_.size()), &out, ACM_STREAMSIZEF_SOURCE) !=
            MMSYSERR_NOERROR) {
        CloseConversion();
        decoder_->Close();
        decoder_.reset();
        return false;
    }
    converted_.assign(std::max<std::uint32_t>(out, 4) + 4, 0);
    header_ = ACMSTREAMHEADER{};
    header_.pbDst = converted_.data();
    header_.cbDstLength = static_cast<std::uint32_t>(converted_.size());
    acmStreamPrepareHeader(stream_, &header_, 0);
    firstConversion_ = true;
    return true;
}

void TCDDAStreamOut::SetBlockSize(std::uint32_t bytes) {
    blockSize_ = bytes;
    for (int k = 0; k < kSlots; ++k) {
        slots_[static_cast<std::size_t>(k)].assign(bytes, 0);
        slotBytes_[static_cast<std::size_t>(k)] = 0;
    }
    overflow_.clear();
    overflow_.reserve(bytes);
    overflowPos_ = 0;
}

void TCDDAStreamOut::Reset() {
    for (int k = 0; k < kSlots; ++k) ClearSlot(k);
    overflow_.clear();
    overflowPos_ = 0;
}

void TCDDAStreamOut::ClearSlot(int k) {
    auto& slot = slots_[static_cast<std::size_t>(k)];
    std::fill(slot.begin(), slot.end(), std::uint8_t{0});
    slotBytes_[static_cast<std::size_t>(k)] = 0;
}

void TCDDAStreamOut::CloseConversion() {
    if (stream_) {
        acmStreamUnprepareHeader(stream_, &header_, 0);
        acmStreamClose(stream_, 0);
        stream_ = nullptr;
    }
    convert_ = false;
}

void TCDDAStreamOut::Close() {
    CloseConversion();
    if (decoder_) decoder_->Close();
    decoder_.reset();
    for (auto& slot : slots_) std::vector<std::uint8_t>().swap(slot);
    slotBytes_.fill(0);
    std::vector<std::uint8_t>().swap(overflow_);
    overflowPos_ = 0;
    std::vector<std::uint8_t>().swap(input_);
    std::vector<std::uint8_t>().swap(read_);
    std::vector<std::uint8_t>().swap(converted_);
}

void TCDDAStreamOut::Seek(std::uint32_t ms) {
    if (!decoder_) return;
    decoder_->Seek(ms);
    Reset();
    input_.clear();
    eof_ = false;
    sourceDone_ = false;
    firstConversion_ = true;
}

std::uint32_t TCDDAStreamOut::LengthMs() const { return decoder_ ? decoder_->GetLength() : 0; }

bool TCDDAStreamOut::FillSlot(int k) {
    if (k < 0 || k >= kSlots) return false;
    if (slots_[0].empty()) SetBlockSize(blockSize_ ? blockSize_ : kDefaultBlockBytes);
    ClearSlot(k);
    fill_ = 0;
    if (eof_) return false;
    bool more = false;
    try {
        more = Fill(k);
    } catch (const std::exception&) {
        eof_ = true;
        more = false;
    }
    slotBytes_[static_cast<std::size_t>(k)] = fill_;
    return more;
}

bool TCDDAStreamOut::Fill(int k) {
    // What the previous slot could not take comes first.
    const std::size_t pending = overflow_.size() - overflowPos_;
    if (pending > 0) {
        const std::size_t n = std::min<std::size_t>(pending, blockSize_);
        std::memcpy(Slot(k), overflow_.data() + overflowPos_, n);
        overflowPos_ += n;
        fill_ = static_cast<std::uint32_t>(n);
        if (overflowPos_ == overflow_.size()) {
            overflow_.clear();
            overflowPos_ = 0;
        }
    }
    while (fill_ < blockSize_) {
        if (sourceDone_ || !decoder_) {
            eof_ = true;  // the cleared slot's rest is the silence that completes it
            return false;
        }
        if (convert_ && !input_.empty()) {
            const std::size_t before = input_.size();
            if (Convert(k, false) || input_.size() < before) continue;
            // Less than a sample frame waits: the decoder gives more.
        }
        const std::uint32_t got = decoder_->Read(read_.data(), static_cast<std::uint32_t>(read_.size()));
        if (got == 0) {
            // The resampler holds the last few samples until it is flushed.
            for (int round = 0; convert_ && round < kFlushRounds; ++round) {
                const std::size_t before = input_.size();
                if (!Convert(k, true) && input_.size() == before) break;
            }
            sourceDone_ = true;
            continue;
        }
        total_ += got;
        if (convert_) input_.insert(input_.end(), read_.begin(), read_.begin() + got);
        else Place(k, read_.data(), got);
    }
    return true;
}

bool TCDDAStreamOut::Convert(int k, bool end) {
    header_.pbSrc = input_.data();
    header_.cbSrcLength = static_cast<std::uint32_t>(input_.size());
    std::uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN;
    if (firstConversion_) flags |= ACM_STREAMCONVERTF_START;
    if (end) flags |= ACM_STREAMCONVERTF_END;
    if (acmStreamConvert(stream_, &header_, flags) != MMSYSERR_NOERROR)
        throw std::runtime_error("the conversion to CD audio failed");
    firstConversion_ = false;
    input_.erase(input_.begin(), input_.begin() + std::min<std::size_t>(header_.cbSrcLengthUsed, input_.size()));
    Place(k, converted_.data(), header_.cbDstLengthUsed);
    return header_.cbDstLengthUsed > 0;
}

void TCDDAStreamOut::Place(int k, const std::uint8_t* data, std::size_t n) {
    const std::size_t here = std::min<std::size_t>(n, blockSize_ - fill_);
    std::memcpy(Slot(k) + fill_, data, here);
    fill_ += static_cast<std::uint32_t>(here);
    if (here < n) {
        if (overflowPos_ > 0) {
            overflow_.erase(overflow_.begin(), overflow_.begin() + static_cast<std::ptrdiff_t>(overflowPos_));
            overflowPos_ = 0;
        }
        overflow_.insert(overflow_.end(), data + here, data + n);
    }
}

}  // namespace sv
