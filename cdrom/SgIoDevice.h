// A real drive: a device node (/dev/srN or /dev/sgN) driven with the SG_IO
// ioctl. Requests time out after 15 s (the writing commands that make the
// drive work on the disc before it answers, longer: see TimeoutMs) and
// collect 32 bytes of sense data.
#pragma once

#include <memory>
#include <string>

#include "cdrom/ScsiDevice.h"

namespace sv {

class SgIoDevice final : public IScsiDevice {
public:
    static constexpr unsigned kTimeoutMs = 15000;
    // The time-out of a command by its operation code: BLANK 90 minutes (a
    // full blank at 1x), CLOSE TRACK/SESSION, SYNCHRONIZE CACHE and SEND OPC
    // INFORMATION 10 minutes (lead-out, buffer flush, calibration), every
    // other command kTimeoutMs.
    static unsigned TimeoutMs(std::uint8_t opcode);

    // Opens `path` read-write (non-blocking, so that a drive without a disc
    // opens), falling back to read-only. Nothing on failure, with errno in
    // `error`.
    static std::unique_ptr<SgIoDevice> Open(const std::string& path, int& error);
    ~SgIoDevice() override;
    SgIoDevice(const SgIoDevice&) = delete;
    SgIoDevice& operator=(const SgIoDevice&) = delete;

    int Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                ScsiDirection direction, SenseData& sense) override;

private:
    explicit SgIoDevice(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace sv
