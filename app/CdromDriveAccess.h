// The drive layer behind the main window: real drives and virtual drives
// through the program's TCDROM.
#pragma once

#include <memory>

#include "app/DriveAccess.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/TCDROM.h"
#include "cdrom/Toc.h"

namespace sv {

class CdromDriveAccess final : public IDriveAccess {
public:
    // Enumerates the drives of `env`, preferring the generic SCSI layer;
    // `dialogs` hears about drives the user may not open.
    CdromDriveAccess(const DriveEnvironment& env, IUserDialogs* dialogs, bool russian);
    ~CdromDriveAccess() override;

    TCDROM* Cdrom() override { return cdrom_.get(); }

    std::vector<std::string> DriveNames() override;
    bool SelectDrive(int index, int readCommand) override;
    void SetUseSpti(bool spti) override;
    bool UseSpti() const override;
    bool TestUnitReady() override;
    bool ReadDisc(const TProgramSettings& settings, DISC_INFO& disc, IUserDialogs& dialogs,
                  const AlbumHook& album) override;
    std::vector<std::uint8_t> LastToc() const override { return lastToc_; }
    std::optional<CdText> LastCdText() const override { return lastCdText_; }
    std::vector<std::string> DriveInfo(const std::string& yes, const std::string& no) override;
    int AddImage(const std::string& path, std::string& error) override;
    bool IsImage(int index) override { return cdrom_->IsImageDrive(index); }
    bool CloseImage(int index) override { return cdrom_->CloseImageDrive(index); }
    void CloseDevice() override { cdrom_->CloseDevice(); }
    std::optional<std::vector<DetectionRow>> DetectReadCommands(int transport, int drive, int sectors,
                                                                IUserDialogs& dialogs, IEventPump* pump) override;
    TrayState Tray() override;
    void Eject() override;
    void Load() override;
    void StopPlay() override;
    void PlayMsf(Msf start, Msf end) override;
    bool PlayPosition(Msf& position, int& audioStatus) override;
    void SetDriveVolume(int volume) override;
    void LockTray(bool lock) override;
    void SetSpeed(int speed) override;

private:
    std::unique_ptr<TCDROM> cdrom_;
    std::vector<std::uint8_t> lastToc_;
    std::optional<CdText> lastCdText_;
};

}  // namespace sv
