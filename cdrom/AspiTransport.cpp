#include "cdrom/AspiTransport.h"

#include <algorithm>

namespace sv {

bool AspiTransport::Load() {
    loaded_ = true;
    return true;
}

void AspiTransport::Unload() {
    device_.reset();
    openIndex_ = -1;
    table_.clear();
    loaded_ = false;
}

int AspiTransport::Scan() {
    table_.clear();
    device_.reset();
    openIndex_ = -1;
    if (!loaded_) return 0;
    int virtualHost = 0;
    const auto& entries = catalog_.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!entries[i].isVirtual && !entries[i].sgPath.empty()) {
            table_.push_back({entries[i].host, entries[i].target, static_cast<int>(i)});
            virtualHost = std::max(virtualHost, entries[i].host + 1);
        }
    std::stable_sort(table_.begin(), table_.end(), [](const Slot& a, const Slot& b) {
        return a.host != b.host ? a.host < b.host : a.target < b.target;
    });
    int target = 0;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].isVirtual && !entries[i].closed) table_.push_back({virtualHost, target++, static_cast<int>(i)});
    if (table_.size() > kMaxDrives) table_.resize(kMaxDrives);
    return DriveCount();
}

bool AspiTransport::Select(int index, int readCommand) {
    if (!loaded_ || index < 0 || index >= DriveCount()) return false;
    current_ = index;
    readCommand_ = readCommand;
    return true;
}

int AspiTransport::CatalogIndex(int index) const {
    return index >= 0 && index < DriveCount() ? table_[static_cast<std::size_t>(index)].entry : -1;
}

int AspiTransport::IndexOfCatalogEntry(int entry) const {
    for (std::size_t i = 0; i < table_.size(); ++i)
        if (table_[i].entry == entry) return static_cast<int>(i);
    return -1;
}

int AspiTransport::HostAdapter(int index) const {
    return index >= 0 && index < DriveCount() ? table_[static_cast<std::size_t>(index)].host : -1;
}

int AspiTransport::Target(int index) const {
    return index >= 0 && index < DriveCount() ? table_[static_cast<std::size_t>(index)].target : -1;
}

bool AspiTransport::HasRealDrive() const {
    for (const Slot& s : table_)
        if (!catalog_.Entries()[static_cast<std::size_t>(s.entry)].isVirtual) return true;
    return false;
}

int AspiTransport::Send(const Cdb& cdb, std::uint8_t* buffer) {
    if (!loaded_ || current_ < 0 || current_ >= DriveCount()) return kAspiError;
    if (openIndex_ != current_ || !device_) {
        int error = 0;
        device_ = catalog_.OpenGeneric(CatalogIndex(current_), error);
        openIndex_ = device_ ? current_ : -1;
        if (!device_) return kAspiError;
    }
    SenseData sense{};
    const int status = device_->Execute(cdb.bytes.data(), cdb.length, buffer, buffer ? cdb.dataLength : 0,
                                        cdb.direction, sense);
    // The request block keeps 14 bytes of sense data.
    sense_.fill(0);
    std::copy_n(sense.begin(), kSenseLength, sense_.begin());
    return status == kScsiGood ? kAspiDone : kAspiError;
}

}  // namespace sv
