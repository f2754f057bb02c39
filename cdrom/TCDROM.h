// TCDROM: the program's one drive object. It chooses the transport, builds the
// list of drive names for the drive box, selects the current drive and offers
// every drive command the rest of the program uses. Each operation sends the
// same command block on either transport; results follow the transport's
// convention (IsSuccess tells).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "base/Msf.h"
#include "cdrom/AspiTransport.h"
#include "cdrom/CdText.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/DriveCommands.h"
#include "cdrom/SptiTransport.h"
#include "cdrom/Toc.h"

namespace sv {

// Mechanism states: 0 failure, 1 idle, 2 playing, ..., 5 door open.
inline constexpr int kMechanismFailed = 0;
inline constexpr int kMechanismIdle = 1;
inline constexpr int kMechanismDoorOpen = 5;

class TCDROM {
public:
    static constexpr int kDriveNameChars = 24;

    explicit TCDROM(std::shared_ptr<DriveCatalog> catalog);
    ~TCDROM();
    TCDROM(const TCDROM&) = delete;
    TCDROM& operator=(const TCDROM&) = delete;

    // Chooses the transport (`preferred`: 0 generic/"ASPI", 1 pass-through
    // /"SPTI") and builds the drive list. Messages go to `dialogs` when given:
    // R93 when drives exist but the generic layer sees none of them, and what
    // to do when drives are there but the user may not open them. `russian`
    // picks the language of that last message. Always true.
    bool Initialise(int preferred, IUserDialogs* dialogs = nullptr, bool russian = true);
    // Applies the settings' transport request; writes the effective value
    // back. True when the transport changed (the caller refreshes the disc).
    bool ApplyTransport(std::uint8_t& useSpti);
    int Transport() const { return transport_; }
    bool AspiAvailable() const { return aspiAvailable_; }

    // The drive names (24 characters each, INQUIRY vendor and product).
    const std::vector<std::string>& DriveNames() const { return names_; }
    int DriveCount() const { return static_cast<int>(names_.size()); }
    // The device node or image behind drive `index` ("/dev/sr0", a CUE path, "demo").
    std::string DriveDevice(int index) const;
    // Vendor and product of drive `index` without their padding ("SORNAVAL Demo disc drive").
    std::string DriveTitle(int index) const;
    // What the drive box shows: the title, and for a disc image its file name.
    std::string DriveLabel(int index) const;
    // True when drive `index` is a disc image the user opened (not the demo disc).
    bool IsImageDrive(int index) const;
    // The virtual drive behind drive `index`, or null for a real drive.
    std::shared_ptr<VirtualDrive> VirtualDriveAt(int index) const;
    const std::vector<DeviceAccessProblem>& AccessProblems() const { return catalog_->AccessProblems(); }
    DriveCatalog& Catalog() { return *catalog_; }

    // Mounts the CUE image at `path` as a new virtual drive at the end of the
    // list (and of the list file with `remember`). Its index, or -1 with a
    // message.
    int AddImageDrive(const std::string& path, bool remember, std::string& error);
    // Takes the image drive `index` out of the list (and its line out of the
    // list file). The drives after it move up by one; the current drive is
    // closed when it was this one. False when `index` is not an image drive.
    bool CloseImageDrive(int index);

    bool SelectDrive(int index, int readCommand);
    int CurrentDrive() const { return current_; }
    // Pass-through: closes the device (before another window takes the drive).
    void CloseDevice();
    void SetReadCommand(int command);
    int ReadCommand() const;

    bool IsSuccess(int status) const;
    bool IsReady();
    int MechanismState();
    int EjectLoad(bool eject);
    int LockTray(bool lock);
    // Sets the read speed for `readSpeed` (k times, 255 = max); a refused
    // SET CD SPEED is sent once more.
    int SetSpeed(int readSpeed);
    int SetVolume(int volume);
    int PlayMsf(Msf start, Msf end);
    int StopPlay();
    // Absolute position and audio status of the current play.
    bool Position(Msf& position, int& audioStatus);
    int Seek(std::int32_t lba);
    bool SetCacheMode(bool readCacheDisable, bool writeCacheEnable);
    bool Capabilities(std::array<std::uint8_t, kCapabilitiesBytes>& data);
    bool Identify(std::array<std::uint8_t, kInquiryBytes>& data);
    bool ReadToc(TocBuffer& toc);
    // The disc's CD-TEXT (READ TOC format 5: its header, then the whole
    // reply) for `trackCount` tracks from `firstTrack`; nothing when the
    // drive refuses it or the disc has none.
    std::optional<CdText> ReadCdText(int firstTrack, int trackCount);
    // Reads `count` sectors at `lba` with the current read command into
    // `buffer` (count x 2352 bytes).
    bool ReadSectors(std::int32_t lba, int count, std::uint8_t* buffer);
    int LastSenseKey() const;

    // Sends any command block on the current transport (the writer's and the
    // tests' way in).
    int Send(const Cdb& cdb, std::uint8_t* buffer);

    // Stops play, unlocks the tray, closes the device and unloads the generic layer.
    void Shutdown();

private:
    IScsiTransport& Active();
    void BuildDriveList();
    std::string InquiryName();

    std::shared_ptr<DriveCatalog> catalog_;
    SptiTransport spti_;
    AspiTransport aspi_;
    int transport_ = kTransportAspi;
    bool aspiAvailable_ = false;
    std::vector<std::string> names_;
    std::vector<int> entries_;  // catalog entry of each list position
    int current_ = -1;
    bool shutDown_ = false;
};

// The drive name from INQUIRY data: `chars` characters from byte 8 (24:
// vendor and product, 28: with the revision) with their padding; control
// bytes become spaces.
std::string DriveNameFromInquiry(const std::uint8_t* inquiry, int chars = TCDROM::kDriveNameChars);

}  // namespace sv
