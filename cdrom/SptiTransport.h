// The pass-through transport: one open device, addressed by its device number
// (the drive's position in the catalog), results as the SCSI status byte
// (0 good), 4 when the request itself fails, 0xAA when no device is open.
#pragma once

#include <memory>

#include "cdrom/DriveCatalog.h"
#include "cdrom/ScsiTransport.h"

namespace sv {

class SptiTransport final : public IScsiTransport {
public:
    explicit SptiTransport(DriveCatalog& catalog) : catalog_(catalog) {}

    // Closes any open device, then opens device `number` (read-write, else
    // read-only) and remembers it with `readCommand`.
    bool Open(int number, int readCommand);
    void Close();
    bool IsOpen() const { return device_ != nullptr; }
    int DeviceNumber() const { return number_; }
    // errno of the last failed open (0 when the device does not exist).
    int LastOpenError() const { return lastOpenError_; }

    int Send(const Cdb& cdb, std::uint8_t* buffer) override;
    int GoodStatus() const override { return 0; }
    int LastSenseKey() const override { return SenseKey(sense_); }
    const SenseData& LastSense() const override { return sense_; }
    int ReadCommand() const override { return readCommand_; }
    void SetReadCommand(int command) override { readCommand_ = command; }

private:
    DriveCatalog& catalog_;
    std::unique_ptr<IScsiDevice> device_;
    int number_ = -1;
    int readCommand_ = 0;
    int lastOpenError_ = 0;
    SenseData sense_{};
};

}  // namespace sv
