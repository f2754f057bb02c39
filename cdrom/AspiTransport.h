// The adapter-table transport over the SCSI generic devices: drives are found
// by host adapter and target (CD/DVD device type 5) and selected by their
// position in that table; results are SRB status values (1 done, 4 error).
// Virtual drives follow the real ones in the table, on an adapter of their own.
#pragma once

#include <memory>
#include <vector>

#include "cdrom/DriveCatalog.h"
#include "cdrom/ScsiTransport.h"

namespace sv {

class AspiTransport final : public IScsiTransport {
public:
    static constexpr int kMaxDrives = 32;
    static constexpr int kSenseLength = 14;

    explicit AspiTransport(DriveCatalog& catalog) : catalog_(catalog) {}

    // The generic layer needs no library: loading always succeeds.
    bool Load();
    void Unload();
    bool Loaded() const { return loaded_; }
    // Builds the drive table; returns the number of drives (at most 32).
    int Scan();
    int DriveCount() const { return static_cast<int>(table_.size()); }
    bool Select(int index, int readCommand);
    int CurrentIndex() const { return current_; }
    // The catalog entry of table position `index`, or -1.
    int CatalogIndex(int index) const;
    // The table position of catalog entry `entry`, or -1.
    int IndexOfCatalogEntry(int entry) const;
    // Host adapter and target of table position `index`.
    int HostAdapter(int index) const;
    int Target(int index) const;
    // True when a real (not virtual) drive is in the table.
    bool HasRealDrive() const;

    int Send(const Cdb& cdb, std::uint8_t* buffer) override;
    int GoodStatus() const override { return kAspiDone; }
    int LastSenseKey() const override { return SenseKey(sense_); }
    const SenseData& LastSense() const override { return sense_; }
    int ReadCommand() const override { return readCommand_; }
    void SetReadCommand(int command) override { readCommand_ = command; }

private:
    struct Slot {
        int host, target, entry;
    };
    DriveCatalog& catalog_;
    bool loaded_ = false;
    std::vector<Slot> table_;
    int current_ = 0;
    int readCommand_ = 0;
    std::unique_ptr<IScsiDevice> device_;
    int openIndex_ = -1;
    SenseData sense_{};
};

}  // namespace sv
