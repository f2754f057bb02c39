// One SCSI device that executes command blocks: a real drive behind SG_IO or a
// virtual drive in this process. The transports of TCDROM sit on top of it and
// turn its answers into their own status conventions.
#pragma once

#include <array>
#include <cstdint>

namespace sv {

// Data direction codes, as the pass-through request carries them.
enum class ScsiDirection : std::uint8_t {
    Out = 0,          // data to the device
    In = 1,           // data from the device
    Unspecified = 2,  // no direction given (a buffer may still be passed)
};

inline constexpr int kSenseBytes = 32;
using SenseData = std::array<std::uint8_t, kSenseBytes>;

// The SCSI status byte values the program looks at.
inline constexpr int kScsiGood = 0;
inline constexpr int kScsiCheckCondition = 2;
// Returned by Execute when the request itself failed (no status byte).
inline constexpr int kScsiRequestFailed = -1;

// The sense key of fixed-format sense data (low four bits of byte 2).
inline int SenseKey(const SenseData& sense) { return sense[2] & 0x0F; }

class IScsiDevice {
public:
    virtual ~IScsiDevice() = default;
    // Executes one command block of `cdbLength` bytes. `data` holds
    // `dataLength` bytes to send or to fill. Returns the SCSI status byte, or
    // kScsiRequestFailed when the request never reached the device. `sense`
    // receives the sense data (zeroed when there is none).
    virtual int Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                        ScsiDirection direction, SenseData& sense) = 0;
};

}  // namespace sv
