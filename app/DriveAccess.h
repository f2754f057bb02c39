// The drive operations the main window's controller uses: the list of drives,
// readiness for the poll, the disc read, eject and load. The program's drive
// layer implements it; the controller never talks to a device directly.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "cdrom/CdText.h"
#include "cdrom/ReadCommandDetection.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"

namespace sv {

enum class TrayState { Unknown, DoorOpen, DoorClosedIdle, Busy };

class TCDROM;

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
    // Called once the table of contents is read and the track count stored,
    // with the drive's READ TOC reply: stores the disc identifier and loads
    // what the album cache or the local database knows, saying which.
    using AlbumHook = std::function<AlbumSource(DISC_INFO& disc, std::span<const std::uint8_t> toc)>;
    // Reads the table of contents and lays the disc out into `disc`; false
    // when there is no readable disc. Shows its own messages through `dialogs`.
    virtual bool ReadDisc(const TProgramSettings& settings, DISC_INFO& disc, IUserDialogs& dialogs,
                          const AlbumHook& album) = 0;
    // The READ TOC reply of the last disc read (empty when none).
    virtual std::vector<std::uint8_t> LastToc() const = 0;
    // The CD-TEXT of the last disc read; nothing when it has none.
    virtual std::optional<CdText> LastCdText() const { return std::nullopt; }
    // The drive information window's lines for the current drive.
    virtual std::vector<std::string> DriveInfo(const std::string& yes, const std::string& no) = 0;
    // Adds a disc image as a drive (remembered for the next start); its index
    // or -1 with `error`.
    virtual int AddImage(const std::string& path, std::string& error) = 0;
    // True when drive `index` is a disc image the user opened.
    virtual bool IsImage(int /*index*/) { return false; }
    // Takes image drive `index` out of the list and the list file.
    virtual bool CloseImage(int /*index*/) { return false; }
    // Closes the current drive's device so that another window (the burn
    // window) can open it; SelectDrive opens it again.
    virtual void CloseDevice() {}
    // The 27 tries of read-command detection on `drive` over `transport` (1
    // pass-through) with N = `sectors`; asks R72 while there is no disc.
    // Nothing when the user gave up.
    virtual std::optional<std::vector<DetectionRow>> DetectReadCommands(int transport, int drive, int sectors,
                                                                        IUserDialogs& dialogs, IEventPump* pump) = 0;
    virtual TrayState Tray() = 0;
    // The drive object that reads audio (the grab); null without one.
    virtual TCDROM* Cdrom() = 0;
    virtual void Eject() = 0;
    virtual void Load() = 0;
    virtual void StopPlay() = 0;
    // Analogue play through the drive's own output, from `start` to `end`
    // (absolute addresses).
    virtual void PlayMsf(Msf start, Msf end) = 0;
    // The play position (absolute) and the audio status of READ SUB-CHANNEL;
    // false when the drive does not answer.
    virtual bool PlayPosition(Msf& position, int& audioStatus) = 0;
    // The drive's own output volume (0..255).
    virtual void SetDriveVolume(int volume) = 0;
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
    bool ReadDisc(const TProgramSettings&, DISC_INFO&, IUserDialogs&, const AlbumHook&) override { return false; }
    std::vector<std::uint8_t> LastToc() const override { return {}; }
    std::vector<std::string> DriveInfo(const std::string&, const std::string&) override { return {}; }
    int AddImage(const std::string&, std::string& error) override {
        error = "no drive layer";
        return -1;
    }
    std::optional<std::vector<DetectionRow>> DetectReadCommands(int, int, int, IUserDialogs&, IEventPump*) override {
        return std::nullopt;
    }
    TrayState Tray() override { return TrayState::Unknown; }
    TCDROM* Cdrom() override { return nullptr; }
    void Eject() override {}
    void Load() override {}
    void StopPlay() override {}
    void PlayMsf(Msf, Msf) override {}
    bool PlayPosition(Msf&, int&) override { return false; }
    void SetDriveVolume(int) override {}
    void LockTray(bool) override {}
    void SetSpeed(int) override {}

private:
    bool spti_ = false;
};

}  // namespace sv
