// A CD drive emulated in this process: it answers the MMC command blocks the
// program sends, from a disc image, behind the same transports as a real
// drive. It plays audio in real time on the clock it is given, keeps its tray,
// lock, speed, volume and cache state, can be told to fail in the ways real
// drives fail, and records every command block it receives. VirtualWriter
// (cdrom/VirtualWriter.h) is the same drive with the writing commands added.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "cdrom/DiscImage.h"
#include "cdrom/ReadCommands.h"
#include "cdrom/ScsiDevice.h"

namespace sv {

// What kind of drive the emulation pretends to be.
struct VirtualDriveModel {
    std::string vendor = "SORNAVAL";        // INQUIRY bytes 8..15
    std::string product = "Virtual CD-ROM"; // INQUIRY bytes 16..31
    std::string revision = "1.0";
    // Bit c set: read command c (0..8) is answered; others are illegal.
    std::uint16_t readCommands = 0x1FF;
    std::uint16_t bufferKb = 2048;
    bool fullToc = true;  // answers READ TOC format 2 (else only formats 0 and 1)
    // The drive's read offset in samples: what it delivers for sample k is the
    // disc's sample k - readOffset (silence outside the disc), so a ripper
    // corrects it by reading readOffset samples later.
    int readOffset = 0;
    // A writer's abilities, as its capabilities page (0x2A) reports them; a
    // reading drive writes nothing. The writing commands themselves are
    // answered by VirtualWriter.
    bool writesCd = false;         // CD-R and CD-RW, with buffer-underrun protection
    bool testWrite = false;        // can simulate a burn (test write)
    std::uint16_t maxWriteKb = 0;  // fastest write speed in kB/s
    std::uint8_t writeParamsPageLength = 0x32;  // page 5's length field: 0x32 or 0x36
};

// Faults a test injects. Counts say for how many more reads (of that sector,
// or of that pair) the fault lasts; -1 means for ever.
struct VirtualFaults {
    std::map<std::int32_t, int> unreadable;  // MEDIUM ERROR 03/11/00
    std::map<std::int32_t, int> noisy;       // different bytes on every read
    std::map<std::int32_t, int> mirrored;    // key k: sector k+1 reads as sector k backwards (both in one request)
    struct ZeroRun {
        std::int32_t lba = 0;
        int offset = 0, length = 0;
        int reads = -1;
    };
    std::vector<ZeroRun> zeroRuns;
    bool notReady = false;        // NOT READY 02/3A/00 for medium commands
    bool mediumChanged = false;   // the next command gets UNIT ATTENTION 06/28/00 (once)
    int readDelayMs = 0;          // each read request takes this long on the clock
    // Writers only: a WRITE that covers a listed sector fails with MEDIUM
    // ERROR 03/0C/00 (counted like `unreadable`); each WRITE takes
    // writeDelayMs on the clock.
    std::map<std::int32_t, int> unwritable;
    int writeDelayMs = 0;
};

struct RecordedCommand {
    std::vector<std::uint8_t> cdb;
    ScsiDirection direction = ScsiDirection::Unspecified;
    std::uint32_t dataLength = 0;
    int status = 0;
    std::uint8_t senseKey = 0, asc = 0, ascq = 0;
    // The parameter list an Out command carried (mode pages, cue sheets);
    // empty for longer data (WRITE's sectors).
    std::vector<std::uint8_t> dataOut;
    static constexpr std::uint32_t kMaxRecordedData = 4096;
};

class VirtualDrive : public IScsiDevice {
public:
    VirtualDrive(std::shared_ptr<const DiscImage> disc, IClock& clock, VirtualDriveModel model = {});

    int Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                ScsiDirection direction, SenseData& sense) override;

    // The tray: opening it takes no disc out; a disc can only be swapped while
    // it is open. A newly loaded disc raises UNIT ATTENTION once.
    void OpenTray();
    void CloseTray();
    void InsertDisc(std::shared_ptr<const DiscImage> disc);  // opens, swaps, closes
    void RemoveDisc();                                      // opens, takes out, closes
    bool TrayOpen() const;
    bool HasDisc() const;
    std::shared_ptr<const DiscImage> Disc() const;
    const VirtualDriveModel& Model() const { return model_; }
    void SetReadOffset(int samples) { model_.readOffset = samples; }
    void SetModel(const VirtualDriveModel& m);

    // Test hooks.
    void SetFaults(const VirtualFaults& f);
    VirtualFaults Faults() const;
    std::vector<RecordedCommand> Commands() const;
    void ClearCommands();
    int ReadRequests() const;  // read commands answered or refused

    // Drive state as last set by commands.
    int SpeedKb() const;
    int WriteSpeedKb() const;
    bool Locked() const;
    std::uint8_t VolumeLeft() const;
    std::uint8_t VolumeRight() const;
    bool ReadCacheDisabled() const;
    bool WriteCacheEnabled() const;

protected:
    struct Sense {
        std::uint8_t key = 0, asc = 0, ascq = 0;
    };
    // A drive with more commands (the writer) answers them here, under the
    // drive's lock, before the reading drive's own: the SCSI status, or
    // nothing to leave the command to the reading drive.
    virtual std::optional<int> HandleMore(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data,
                                          std::uint32_t dataLength, Sense& s);
    bool MediumReady(Sense& s) const;
    // Copies a response into the caller's buffer, as far as both lengths allow.
    static void Answer(const std::uint8_t* response, std::size_t size, std::uint32_t allocation, std::uint8_t* data,
                       std::uint32_t dataLength);
    // Four bytes: zero, then the M, S, F of an absolute frame number.
    static void PutMsf(std::uint8_t* out, std::int32_t absFrames);

    mutable std::mutex mutex_;
    std::shared_ptr<const DiscImage> disc_;
    IClock& clock_;
    VirtualFaults faults_;
    bool trayOpen_ = false;
    bool readCacheDisabled_ = false, writeCacheEnabled_ = false;
    int speedKb_ = 0xFFFF;       // read speed as last set
    int writeSpeedKb_ = 0xFFFF;  // write speed as last set

private:
    int Handle(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength, Sense& s);
    int Inquiry(std::uint8_t* data, std::uint32_t len) const;
    int ReadToc(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s) const;
    int ReadSubChannel(std::uint8_t* data, std::uint32_t len);
    int ModeSense(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s) const;
    int ModeSelect(const std::uint8_t* data, std::uint32_t len, Sense& s);
    int MechanismStatus(std::uint8_t* data, std::uint32_t len);
    int Play(const std::uint8_t* cdb, Sense& s);
    int Read(int command, const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s);
    void ApplyFaults(std::int32_t first, int count, std::uint8_t* data);
    // Sector `sector` as a drive with the model's read offset delivers it.
    DiscImage::SectorResult ReadShifted(std::int32_t sector, std::uint8_t* out) const;
    void UpdatePlay();

    VirtualDriveModel model_;
    std::vector<RecordedCommand> log_;
    bool locked_ = false;
    std::uint8_t volume_[2] = {255, 255};
    int readRequests_ = 0;
    std::uint32_t noiseCounter_ = 0;
    // Audio play: absolute frames, and the clock time the play started.
    bool playing_ = false;
    bool completedUnreported_ = false;
    std::int32_t playStart_ = 0, playEnd_ = 0, position_ = kLbaBaseFrames;
    std::int64_t playStartedMs_ = 0;
    static constexpr std::int32_t kLbaBaseFrames = 150;
};

}  // namespace sv
