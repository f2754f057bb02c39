// The MP3 encoder's configuration: the 328-byte LAME configuration record
// built from the settings' LameConfig and the input format, and how that
// record maps onto the LAME library's settings.
//
// Record layout (little-endian, all bytes not named are zero):
//   0 u32 configuration type 256        4 u32 version 1        8 u32 size 328
//  12 u32 input sample rate            16 u32 resample rate 0
//  20 i32 channel mode (0 stereo, 1 joint stereo, 2 dual channel, 3 mono)
//  24 u32 bit rate kbit/s (VBR: minimum) 28 u32 maximum bit rate (VBR only)
//  32 i32 quality preset               36 u32 MPEG version 1  40 u32 psy model 0
//  44 u32 emphasis 0   48/52/56 u32 private, CRC, copyright 0
//  60 u32 original bit (VBR only)      64 u32 write VBR header 1
//  68 u32 VBR enabled  72 i32 VBR quality  76 u32 ABR bit rate 0
//  80 i32 VBR method: 256 without VBR (the value 1 at byte 81), 0 with VBR
#pragma once

#include <array>
#include <cstdint>

#include "base/ProgramSettings.h"
#include "formats/WaveFormat.h"

namespace sv {

inline constexpr std::size_t kLameConfigBytes = 328;
using LameConfigRecord = std::array<std::uint8_t, kLameConfigBytes>;

namespace lamecfg {
inline constexpr std::size_t kType = 0, kVersion = 4, kSize = 8, kSampleRate = 12, kResample = 16, kMode = 20,
                             kBitrate = 24, kMaxBitrate = 28, kPreset = 32, kMpegVersion = 36, kPsyModel = 40,
                             kEmphasis = 44, kPrivate = 48, kCrc = 52, kCopyright = 56, kOriginal = 60,
                             kWriteVbrHeader = 64, kVbrEnabled = 68, kVbrQuality = 72, kAbrBitrate = 76,
                             kVbrMethod = 80;
}  // namespace lamecfg

// Bit rate of table index `index` (0..14 -> 0, 32, 40, ... 320 kbit/s); a
// value above 15 is taken as kbit/s; 15 and negative values give 0.
std::uint32_t LameBitrate(std::int32_t index);

// The record for `settings`' LameConfig and an input of `channels` channels
// at `sampleRate` Hz.
LameConfigRecord BuildLameConfig(const TProgramSettings& settings, std::uint32_t sampleRate, std::uint16_t channels);

// What the LAME library is told for one record.
struct LamePlan {
    int inSampleRate = 44100;
    int outSampleRate = 44100;  // always the input's: LAME would lower it at low bit rates
    int channels = 2;           // channels fed to the library (1 after a mono mix-down)
    int mode = 1;               // MPEG_mode: 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int bitrate = 0;            // CBR rate or VBR minimum; 0 leaves LAME's choice
    bool vbr = false;
    int vbrQuality = 0;
    int vbrMaxBitrate = 0;
    int quality = -1;           // lame_set_quality; -1 leaves LAME's default
    bool original = false;
    bool writeVbrTag = true;
    // A constant bit rate whose frames are too small for LAME's Info frame
    // (LAME would then write none, and decoders would return the encoder's
    // delay and padding as extra samples): encoded as VBR held at exactly that
    // bit rate, which carries the Info frame at a larger size.
    bool lockedVbr = false;
};

// Bytes of one MPEG audio frame at `kbps` and `sampleRate` (layer III).
int Mp3FrameBytes(int kbps, int sampleRate);
// The smallest frame that holds LAME's Info frame (header, side info, tag).
inline constexpr int kInfoFrameBytes = 192;

// Reads the record the way the library's configuration interface does. A
// plan with one channel and a stereo input means the input is mixed down.
LamePlan PlanFromLameConfig(const LameConfigRecord& record);

}  // namespace sv
