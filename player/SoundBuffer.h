// TSoundBuffer: the looping sound buffer a player fills and a sound device
// plays. It is cut into segments of equal size; the device reports every
// segment whose last byte it has played, and the player refills that segment
// with the sound that follows. The format is always CD audio: 44100 Hz,
// 16 bits, 2 channels, 4 bytes a frame.
//
// Nothing is ever lost or repeated: a segment is played only after the player
// has filled it (Filled). A device that must keep its own pace (a sound card)
// plays silence while the segment in turn is not filled yet and goes on with
// it once it is; the null output in fast mode simply waits for it.
//
// A segment filled with fewer bytes than its size is the end of the sound:
// the device plays those bytes, the buffer stops by itself and Ended() turns
// true.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace sv {

inline constexpr int kSoundRate = 44100;
inline constexpr int kSoundChannels = 2;
inline constexpr int kSoundFrameBytes = 4;

// The volume law of both players: v = 0..255 gives an attenuation in
// hundredths of a decibel, 0 at 255 (full), -10000 at 0 (silence), about
// -584 at 128: b = v / 255 x 10000, attenuation = round((b - 10000) / ln b).
int VolumeAttenuation(int volume);
// The linear gain of an attenuation; -10000 (and below) is silence, 0.
double AttenuationGain(int hundredthsDb);
// Scales 16-bit samples in place; an attenuation of 0 leaves them untouched.
void ApplyAttenuation(std::int16_t* samples, std::size_t count, int hundredthsDb);

class TSoundBuffer {
public:
    // WaitPlayed's answers besides a segment index.
    static constexpr int kTimeout = -1;
    static constexpr int kEnded = -2;  // the sound's end has been played

    TSoundBuffer(std::size_t segmentBytes, int segmentCount);
    TSoundBuffer(const TSoundBuffer&) = delete;
    TSoundBuffer& operator=(const TSoundBuffer&) = delete;

    std::size_t SegmentBytes() const { return segmentBytes_; }
    int SegmentCount() const { return segmentCount_; }
    std::size_t TotalBytes() const { return segmentBytes_ * static_cast<std::size_t>(segmentCount_); }

    // Producer side. Segment(i) may be written while the buffer is stopped,
    // or after the device reported it played and before it is published
    // again with Filled(i, bytes).
    std::uint8_t* Segment(int i);
    void Filled(int i, std::size_t bytes);
    // Plays looping from the current position.
    void Play();
    // Stops playing; the position is kept (pause).
    void Stop();
    // Back to the start of segment 0: played bytes, fills, pending
    // notifications and the end are cleared.
    void Rewind();
    bool Playing() const;
    bool Ended() const;
    // Bytes played since the last Rewind.
    std::uint64_t PlayedBytes() const;
    void SetAttenuation(int hundredthsDb);
    int Attenuation() const;

    // The player's thread: waits up to `timeout` for the next segment whose
    // last byte was played and returns its index, kEnded once when the end
    // of the sound was played, or kTimeout. `epoch` receives the buffer's
    // epoch the answer belongs to: a player drops answers from before its
    // last Rewind.
    int WaitPlayed(std::chrono::milliseconds timeout, std::uint64_t* epoch = nullptr);
    // Counts the Rewinds.
    std::uint64_t Epoch() const;
    // Makes a WaitPlayed in progress return kTimeout at once.
    void Wake();

    // Device side: writes `bytes` (whole frames) to `out`: the buffer's sound
    // from the play position with the attenuation applied, silence where the
    // buffer does not play or the segment in turn is not filled. Returns the
    // bytes taken from the buffer (the rest of `out` is silence).
    // `waitForFill`: instead of silence for a segment not yet filled, wait
    // for it (up to `wait`, then return what was taken).
    std::size_t Render(std::uint8_t* out, std::size_t bytes, bool waitForFill = false,
                       std::chrono::milliseconds wait = std::chrono::milliseconds(50));

private:
    // Called with the lock held when `segment` was played to its last byte.
    void CompleteSegment(std::size_t segment);

    std::size_t segmentBytes_;
    int segmentCount_;
    std::vector<std::uint8_t> data_;
    std::vector<std::int64_t> filled_;  // valid bytes of each published segment, -1 = not filled
    std::size_t position_ = 0;         // play position in data_
    std::uint64_t played_ = 0;
    bool playing_ = false;
    bool ended_ = false;
    bool woken_ = false;
    std::uint64_t epoch_ = 0;
    int attenuation_ = 0;
    std::deque<int> notifications_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace sv
