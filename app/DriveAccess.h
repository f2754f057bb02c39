// The drive operations the main window's controller uses: the list of drives,
// readiness for the poll, the disc read, eject and load. The program's drive
// layer implements it; the controller never talks to a device directly.
#pragma once

#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"

namespace sv {

enum class TrayState { Unknown, DoorOpen, DoorClosedIdle, Busy };

class IDriveAccess {
public:
    virtual ~IDriveAccess() = default;
    virtual std::vector<std::string> DriveNames() = 0;
    // Selects drive `index` with read command `readCommand`; false when it
    // cannot be opened.
    virtual bool SelectDrive(int index, int readCommand) = 0;
    virtual void SetUseSpti(bool spti) = 0;
    virtual bool UseSpti() const = 0;
    virtual bool TestUnitReady() = 0;
    // Reads the table of contents and lays the disc out into `disc`; false
    // when there is no readable disc. Shows its own messages through `dialogs`.
    virtual bool ReadDisc(const TProgramSettings& settings, DISC_INFO& disc, IUserDialogs& dialogs) = 0;
    virtual TrayState Tray() = 0;
    virtual void Eject() = 0;
    virtual void Load() = 0;
    virtual void StopPlay() = 0;
    virtual void LockTray(bool lock) = 0;
    virtual void SetSpeed(int speed) = 0;
};

// A machine without any drive layer: no drives, never ready.
class NoDriveAccess final : public IDriveAccess {
public:
    std::vector<std::string> DriveNames() override { return {}; }
    bool SelectDrive(int, int) override { return false; }
    void SetUseSpti(bool spti) override { spti_ = spti; }
    bool UseSpti() const override { return spti_; }
    bool TestUnitReady() override { return false; }
    bool ReadDisc(const TProgramSettings&, DISC_INFO&, IUserDialogs&) override { return false; }
    TrayState Tray() override { return TrayState::Unknown; }
    void Eject() override {}
    void Load() override {}
    void StopPlay() override {}
    void LockTray(bool) override {}
    void SetSpeed(int) override {}

private:
    bool spti_ = false;
};

}  // namespace sv
