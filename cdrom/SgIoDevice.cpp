#include "cdrom/SgIoDevice.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sv {

std::unique_ptr<SgIoDevice> SgIoDevice::Open(const std::string& path, int& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<SgIoDevice>(new SgIoDevice(fd));
}

unsigned SgIoDevice::TimeoutMs(std::uint8_t opcode) {
    switch (opcode) {
    case 0xA1: return 90u * 60u * 1000u;
    case 0x5B:
    case 0x35:
    case 0x54: return 10u * 60u * 1000u;
    default: return kTimeoutMs;
    }
}

SgIoDevice::~SgIoDevice() {
    if (fd_ >= 0) ::close(fd_);
}

int SgIoDevice::Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                        ScsiDirection direction, SenseData& sense) {
    sense.fill(0);
    sg_io_hdr_t io;
    std::memset(&io, 0, sizeof io);
    std::uint8_t cdbCopy[16] = {};
    const int length = cdbLength < 1 ? 1 : (cdbLength > 16 ? 16 : cdbLength);
    std::memcpy(cdbCopy, cdb, static_cast<std::size_t>(length));
    io.interface_id = 'S';
    io.cmd_len = static_cast<unsigned char>(length);  // never more than the copy holds
    io.cmdp = cdbCopy;
    io.mx_sb_len = kSenseBytes;
    io.sbp = sense.data();
    io.timeout = TimeoutMs(cdbCopy[0]);
    io.dxferp = data;
    io.dxfer_len = dataLength;
    // A command sent without a direction but with a buffer (MECHANISM STATUS)
    // still returns data; Linux needs the direction spelled out for that.
    if (dataLength == 0 || data == nullptr)
        io.dxfer_direction = SG_DXFER_NONE;
    else if (direction == ScsiDirection::Out)
        io.dxfer_direction = SG_DXFER_TO_DEV;
    else
        io.dxfer_direction = SG_DXFER_FROM_DEV;
    if (io.dxfer_direction == SG_DXFER_NONE) {
        io.dxferp = nullptr;
        io.dxfer_len = 0;
    }
    if (::ioctl(fd_, SG_IO, &io) < 0) return kScsiRequestFailed;
    // Host or driver trouble other than "sense data follows" means the request
    // did not complete.
    const unsigned driverStatus = io.driver_status & 0x0F;
    if (io.host_status != 0 || (driverStatus != 0 && driverStatus != 0x08)) return kScsiRequestFailed;
    return io.status;
}

}  // namespace sv
