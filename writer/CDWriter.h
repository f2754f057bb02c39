// TCDWriter: burns an audio CD from a list of sound files in one session,
// disc-at-once, or writes the same audio into one WAV file (image mode). It
// lists the drives that may write, sets the write parameters page and the
// speed, runs power calibration, sends the cue sheet, writes the 2-second
// pregap and every track as raw 2352-byte sectors (WRITE(10) of
// SectorsPerWrite sectors), closes the session, blanks rewritable discs,
// loads, ejects and locks the tray, and reports the disc's state.
//
// Every operation runs on the calling thread and returns when the drive
// answered; a command succeeded when the transport reports completion with
// GOOD status. The writer shows no message: failures are results, and
// progress and status go to an IWriteListener.
//
// A burn: SetSourceFiles, the track layout (SetTrackLengths or TrackStart
// and TrackCount), SetWriteParameters, SendCueSheet, then on the burn thread
// BurnSession (speed, tray lock, calibration, WriteTracks, close, unlock).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cdrom/AspiTransport.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/DriveCommands.h"
#include "cdrom/SptiTransport.h"
#include "writer/WriterCommands.h"

namespace sv {

// One drive of the writer's list.
struct CDROM_INFO {
    static constexpr int kNameChars = 28;
    std::string name;  // INQUIRY vendor, product and revision (28 characters)
    // MODE SENSE(10) of page 2A: the 8-byte header and the page's bytes 0-17.
    std::array<std::uint8_t, kCapabilitiesBytes> capabilities{};
    bool CanWriteCdR() const { return (capabilities[8 + 3] & 0x01) != 0; }
    bool CanTestWrite() const { return (capabilities[8 + 3] & 0x04) != 0; }
};

// What a burn reports while it runs (on the burn thread).
class IWriteListener {
public:
    virtual ~IWriteListener() = default;
    // Sets the status line; returns the text it had.
    virtual std::string SetStatus(const std::string& /*text*/) { return {}; }
    // After every block: the next sector to write, the track's first sector,
    // the write errors so far and the track's end (its next track's start).
    virtual void Progress(std::uint32_t /*sector*/, std::uint32_t /*trackStart*/, int /*writeErrors*/,
                          std::uint32_t /*trackEnd*/) {}
    // Track `track` (0-based) was written to its end.
    virtual void TrackWritten(int /*track*/) {}
};

enum class WriteOutcome {
    Completed,     // every track was written to its end
    Cancelled,     // the cancel flag stopped it
    SourceFailed,  // a source file could not be opened: the tracks from it on were not written
    ImageFailed,   // the image file could not be created
    CloseFailed,   // written, but the drive refused to close the session
};

// The disc as the burn window shows it.
struct DiscState {
    bool ready = false;     // TEST UNIT READY succeeded
    bool erasable = false;  // a rewritable disc
    int status = 0;         // 0 blank, 1 appendable, 2 complete, 3 other (READ DISC INFORMATION)
    bool Blank() const { return ready && status == 0; }
};

class TCDWriter {
public:
    static constexpr int kMaxDrives = 16;
    static constexpr int kMaxTracks = kMaxWriterTracks;
    static constexpr std::uint32_t kMinSectorsPerWrite = 5;
    static constexpr int kPregapSectors = 150;
    static constexpr int kPregapWriteSectors = 5;
    // The test flag of SetWriteParameters that means image mode.
    static constexpr std::uint8_t kImageModeFlag = 0xFF;

    // Builds the drive list from `catalog` (see EnumerateDrives).
    explicit TCDWriter(std::shared_ptr<DriveCatalog> catalog);
    ~TCDWriter();
    TCDWriter(const TCDWriter&) = delete;
    TCDWriter& operator=(const TCDWriter&) = delete;

    // --- Settings of the next burn ---
    std::uint32_t SectorsPerWrite = 10;  // raised to 5 by WriteTracks when below
    bool DecodeAhead = true;
    bool ImageMode = false;
    std::string ImageFileName;
    // TrackStart[i]: the first sector of track i+1 (from the start of track
    // 1's audio); TrackStart[TrackCount] is the total length.
    std::array<std::uint32_t, kMaxTracks + 1> TrackStart{};
    std::uint32_t TrackCount = 0;
    // The CD-TEXT packs (18 bytes each, no header) a disc burn writes into
    // the lead-in; empty: none. Image mode leaves them out.
    std::vector<std::uint8_t> CdTextPacks;

    // Lays the tracks out one after the other with these lengths in
    // sectors. False (nothing changed) for more than 99 tracks.
    bool SetTrackLengths(std::span<const std::uint32_t> sectors);

    // --- Drives ---
    // Chooses the transport (the SCSI generic devices when they show a
    // drive, else the pass-through) and lists up to 16 drives: every real
    // drive that opens and the virtual writers of the catalog, each with its
    // INQUIRY name and capabilities page. A device that cannot be opened is
    // left out without hiding the ones after it. Ends by selecting drive 0;
    // true when the list is not empty.
    bool EnumerateDrives();
    const std::vector<CDROM_INFO>& Drives() const { return drives_; }
    int DriveCount() const { return static_cast<int>(drives_.size()); }
    int CurrentDrive() const { return current_; }
    bool UseSPTI() const { return useSpti_; }
    // The device behind drive `index` ("/dev/sr0", a writer line).
    std::string DriveDevice(int index) const;
    // The virtual drive behind drive `index`, or null for a real one.
    std::shared_ptr<VirtualDrive> VirtualDriveAt(int index) const;
    // Switches to drive `index`; on failure the previous drive stays selected.
    bool SelectDrive(int index);

    // --- Drive and disc ---
    bool TestUnitReady();
    // TestUnitReady; true when the answer differs from the previous call's.
    bool ReadyChanged();
    // START STOP UNIT: eject or load. The transport's status.
    int LoadEject(bool eject);
    bool LockMedium(bool lock);
    // SET CD SPEED for a speed factor (255: the drive's fastest).
    bool SetWriteSpeed(int factor);
    bool SendOPC();
    // BLANK, full or minimal; returns when the drive is done.
    bool BlankDisc(bool minimal);
    bool ReadDiscInformation(std::array<std::uint8_t, kDiscInformationBytes>& info);
    // 0 command failed, 5 door open, else 1 + the mechanism state.
    int MechanismStatus();
    // TEST UNIT READY until the drive is ready or fails otherwise than with
    // NOT READY or UNIT ATTENTION (every 100 ms, no time limit).
    bool WaitReady();
    // Readiness and, when ready, the disc information's erasable bit and
    // disc status.
    DiscState QueryDisc();

    // --- Burning ---
    // Where status and progress go (null: nowhere).
    void SetListener(IWriteListener* listener) { listener_ = listener; }
    // Stores `listener`; then, unless `test` is kImageModeFlag, switches
    // the drive's write cache on and selects the write parameters page:
    // burn-proof, session-at-once, raw CD-DA, Test Write when `test` is 1.
    // The result is the write parameters page's.
    bool SetWriteParameters(std::uint8_t test, IWriteListener* listener);
    // Sends the cue sheet of TrackStart (announcing CD-TEXT in the lead-in
    // when CdTextPacks holds some); false without tracks.
    bool SendCueSheet();
    // False when SectorsPerWrite is 0; else the files become the tracks'
    // sources (one per track, in order).
    bool SetSourceFiles(const std::vector<std::string>& files);
    const std::vector<std::string>& Files() const { return files_; }
    // Writes the pregap and every track (or the WAV image). Failed WRITE
    // commands are counted in WriteErrors and the burn goes on; `cancel` is
    // looked at before every block and every track.
    WriteOutcome WriteTracks(const std::atomic<bool>& cancel);
    int WriteErrors() const { return writeErrors_; }
    // The track whose source could not be opened (after SourceFailed).
    int FailedTrack() const { return failedTrack_; }
    // SYNCHRONIZE CACHE, then CLOSE TRACK/SESSION of the session.
    bool CloseSession();
    // What the burn thread runs after a successful setup: in disc mode the
    // write speed, the tray lock and power calibration first, and after
    // WriteTracks, however it ended, the close and the tray unlock.
    WriteOutcome BurnSession(int speedFactor, const std::atomic<bool>& cancel);

private:
    IScsiTransport& Active();
    int Send(const Cdb& cdb, std::uint8_t* data);
    bool IsSuccess(int status) const;
    void Sleep(int ms);
    std::string SetStatus(const std::string& text);
    // One WRITE(10) of `count` sectors of the write buffer at `lba`, or in
    // image mode the same bytes appended to the image; counts a failure.
    void WriteBlock(std::int32_t lba, std::uint32_t count, std::FILE* image, std::uint64_t& imageBytes);
    // The lead-in with CdTextPacks in its R-W sub-channel; failures count as
    // write errors.
    void WriteCdTextLeadIn();

    std::shared_ptr<DriveCatalog> catalog_;
    SptiTransport spti_;
    AspiTransport aspi_;
    bool useSpti_ = true;
    std::vector<CDROM_INFO> drives_;
    std::vector<int> handles_;  // per drive: its catalog entry (pass-through) or table position (generic)
    int current_ = -1;
    bool lastReady_ = false;
    std::vector<std::string> files_;
    IWriteListener* listener_ = nullptr;
    int writeErrors_ = 0;
    int failedTrack_ = -1;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace sv
