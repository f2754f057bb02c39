#include "cdrom/SptiTransport.h"

namespace sv {

bool SptiTransport::Open(int number, int readCommand) {
    Close();
    device_ = catalog_.OpenPassThrough(number, lastOpenError_);
    if (!device_) return false;
    number_ = number;
    readCommand_ = readCommand;
    return true;
}

void SptiTransport::Close() {
    device_.reset();
    number_ = -1;
}

int SptiTransport::Send(const Cdb& cdb, std::uint8_t* buffer) {
    if (!device_) return kSptiNoDevice;
    SenseData sense{};
    const int status = device_->Execute(cdb.bytes.data(), cdb.length, buffer, buffer ? cdb.dataLength : 0,
                                        cdb.direction, sense);
    if (status == kScsiRequestFailed) return kSptiRequestFailed;
    sense_ = sense;
    return status;
}

}  // namespace sv
