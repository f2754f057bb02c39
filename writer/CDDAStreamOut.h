// TCDDAStreamOut: one sound file turned into blocks of CD audio (44.1 kHz,
// 16-bit, stereo) for the writer. The file is read through its TDecoder;
// a source in any other format goes through a conversion stream of the
// codec layer. Blocks are made in a ring of four slots: FillSlot(k) makes
// slot k exactly one block, carrying what did not fit over to the next slot,
// and completes the last block of the source with silence.
//
// One thread at a time fills; the decode-ahead thread (DecodeAhead.h) and the
// writer hand the slots to each other.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoders/Decoder.h"
#include "formats/Acm.h"

namespace sv {

// True for the sound files that can be burned and played through the stream
// (by extension, in any letter case): ".wav", ".mp3", ".ogg", ".wma", ".flac".
bool StreamableSoundFile(const std::string& path);

class TCDDAStreamOut {
public:
    static constexpr int kSlots = 4;
    // The block size of a fill before any was set: one second.
    static constexpr std::uint32_t kDefaultBlockBytes = 176400;

    TCDDAStreamOut() = default;
    ~TCDDAStreamOut();
    TCDDAStreamOut(const TCDDAStreamOut&) = delete;
    TCDDAStreamOut& operator=(const TCDDAStreamOut&) = delete;

    // Opens `path` by its extension (see StreamableSoundFile); a file
    // that is missing, of another type, or that its decoder or the
    // conversion refuses gives false.
    bool Open(const std::string& path);
    // (Re)allocates the slots, the overflow and the input buffer for blocks
    // of `bytes` and clears them.
    void SetBlockSize(std::uint32_t bytes);
    // Makes slot `k` one block. False at the end of the source (the slot then
    // holds the source's last bytes, if any, and silence) and after a
    // decoding failure.
    bool FillSlot(int k);
    // Clears the four slots and the overflow.
    void Reset();
    // Releases the decoder, the conversion stream and every buffer.
    void Close();
    // Goes on from `ms` into the source: what was decoded but not taken is
    // dropped and the next fill starts there.
    void Seek(std::uint32_t ms);
    // The source's length in milliseconds; 0 without one.
    std::uint32_t LengthMs() const;

    // The source is exhausted and nothing of it is waiting.
    bool Eof() const { return eof_; }
    std::uint32_t BlockSize() const { return blockSize_; }
    std::uint8_t* Slot(int k) { return slots_[static_cast<std::size_t>(k)].data(); }
    // Bytes of the source in slot k (0: the slot holds nothing of it).
    std::uint32_t SlotBytes(int k) const { return slotBytes_[static_cast<std::size_t>(k)]; }
    // Clears slot k after its block was taken.
    void ClearSlot(int k);
    // Bytes the decoder delivered so far.
    std::uint64_t TotalBytes() const { return total_; }
    bool Converting() const { return convert_; }

private:
    bool Fill(int k);
    // Puts `n` bytes into slot k, what does not fit into the overflow.
    void Place(int k, const std::uint8_t* data, std::size_t n);
    // Converts the waiting input (all of it with `end`); false on a failure.
    bool Convert(int k, bool end);
    void CloseConversion();

    std::unique_ptr<TDecoder> decoder_;
    std::uint32_t blockSize_ = 0;
    std::vector<std::uint8_t> overflow_;
    std::size_t overflowPos_ = 0;
    std::array<std::vector<std::uint8_t>, kSlots> slots_;
    std::array<std::uint32_t, kSlots> slotBytes_{};
    std::uint32_t fill_ = 0;  // bytes placed in the slot being filled

    WAVEFORMATEX sourceFormat_;
    HACMSTREAM stream_ = nullptr;
    ACMSTREAMHEADER header_;
    std::vector<std::uint8_t> converted_;  // the conversion's destination buffer
    bool convert_ = false;
    bool firstConversion_ = true;
    std::vector<std::uint8_t> input_;  // decoder output waiting for conversion
    std::vector<std::uint8_t> read_;   // one decoder read
    bool sourceDone_ = false;          // the decoder returned 0 (and the conversion was flushed)
    bool eof_ = false;
    std::uint64_t total_ = 0;
};

}  // namespace sv
