// The transport that carries one command block to the current drive.
//
// Two transports exist, with different status conventions that callers rely
// on: the pass-through on /dev/srN ("SPTI": the SCSI status byte, 0 = good) and
// the SCSI generic devices ("ASPI": SRB status, 1 = done, 4 = error). The layer
// is not re-entrant: one thread at a time uses it.
#pragma once

#include <cstdint>

#include "cdrom/Cdb.h"
#include "cdrom/ScsiDevice.h"

namespace sv {

inline constexpr int kTransportAspi = 0;
inline constexpr int kTransportSpti = 1;

// SPTI results besides the device's status byte.
inline constexpr int kSptiRequestFailed = 4;
inline constexpr int kSptiNoDevice = 0xAA;
// ASPI SRB status values.
inline constexpr int kAspiPending = 0;
inline constexpr int kAspiDone = 1;
inline constexpr int kAspiError = 4;

class IScsiTransport {
public:
    virtual ~IScsiTransport() = default;
    // Sends `cdb` with `buffer` (cdb.dataLength bytes) and returns the
    // transport's status.
    virtual int Send(const Cdb& cdb, std::uint8_t* buffer) = 0;
    // The status value that means success on this transport.
    virtual int GoodStatus() const = 0;
    // Sense key of the last command that reached a device.
    virtual int LastSenseKey() const = 0;
    virtual const SenseData& LastSense() const = 0;
    // The read command (0..8) stored with the current selection.
    virtual int ReadCommand() const = 0;
    virtual void SetReadCommand(int command) = 0;
};

}  // namespace sv
