// A CD writer emulated in this process: a virtual drive that also answers the
// MMC writing commands, disc-at-once (session-at-once) for audio.
//
// It keeps the write parameters page (5) as selected, checks a SEND CUE SHEET
// list as a drive does, takes WRITE(10) of raw 2352-byte CD-DA sectors in the
// cue sheet's order from track 1's pregap on, and on CLOSE SESSION turns what
// was written into a disc: a BIN file and a CUE sheet with the cue sheet's
// table of contents in its output folder, which the drive then reads like any
// disc image. A test write (the page's Test Write bit) answers everything and
// records nothing. BLANK empties a rewritable disc. READ DISC INFORMATION
// reports blank or complete, erasable, and a blank disc's lead-in start and
// last possible lead-out start.
//
// Refusals (CHECK CONDITION, key/ASC/ASCQ):
//   05/26/00 a malformed write parameters page or cue sheet, test write on a
//            drive that cannot; 05/1A/00 a parameter list shorter than its page
//            or cue sheet, or not whole 8-byte entries;
//   05/21/00 a cue sheet whose lead-out lies past the disc's last possible
//            lead-out start, a WRITE past the lead-out;
//   05/21/02 a WRITE that is not at the next address (a hole or a step back);
//   05/2C/00 a cue sheet when the write type is not session-at-once or after
//            sectors were written, a WRITE or close without an accepted cue
//            sheet, BLANK during a session;
//   05/30/05 a cue sheet for a disc that is not blank, BLANK of a CD-R;
//   05/64/00 a WRITE when the data block type is not raw 2352 bytes;
//   05/24/00 a BLANK type other than whole disc (0) or minimal (1), a close
//            function other than track (1) or session (2), a WRITE whose
//            data buffer is shorter than its sectors, READ DISC INFORMATION
//            of another data type than the standard one;
//   03/0C/00 the injected write error (for that one WRITE), or the output
//            files cannot be written.
//
// With a cue sheet whose lead-in has data form 0x41 the host writes the
// lead-in before the pregap: WRITE(10) of 96-byte R-W sub-channel sectors
// from the lead-in start (-11634, 97:26:66) on, in order, up to -151. The
// CD-TEXT packs found there (one round of them) become a "burn-NNN.cdt" next
// to the BIN, named by the CUE sheet's CDTEXTFILE line, so the disc read
// back shows its titles. Other lead-in writes: 05/21/02.
//
// The address of a WRITE is the next sector of the session as a logical block
// address (track 1's pregap from -150). While the pregap is written, its offset
// in the pregap (0 for -150) is accepted too: hosts that let the drive place
// session-at-once data send the pregap from 0 and the audio from 0.
//
// A session closed before the host sent every sector (a cancelled burn) still
// becomes a disc of the cue sheet's layout: the sectors not sent are silence.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cdrom/VirtualDrive.h"

namespace sv {

// A writable disc in a virtual writer.
struct WritableMedium {
    bool rewritable = false;  // CD-RW (erasable), else CD-R
    // The last possible lead-out start as a logical block address: 359849 is
    // 79:59:74, an 80-minute disc. A cue sheet's lead-out may not lie beyond.
    std::int32_t capacity = 359849;
    // What the disc holds; null: blank.
    std::shared_ptr<const DiscImage> content;
};

// The disc layout an accepted cue sheet defines.
struct SaoLayout {
    struct Track {
        int number = 1;
        std::int32_t index0Lba = 0;  // == startLba when the sheet gives no INDEX 00
        std::int32_t startLba = 0;   // INDEX 01
    };
    std::vector<Track> tracks;
    std::int32_t firstLba = -150;  // the first sector the host sends (track 1's INDEX 00)
    bool cdTextInLeadIn = false;   // the lead-in entry's data form 0x41: the host sends the lead-in's R-W
    std::int32_t leadoutLba = 0;
};

// Checks a SEND CUE SHEET parameter list of `size` bytes: 8-byte entries with
// ADR 1; the lead-in (track 0, index 0, at 00:00:00, data form 0x01, or 0x41
// when the host sends the lead-in's R-W sub-channel: CD-TEXT) first; track 1 from
// index 0 at 00:00:00 with index 1 at least 2 seconds later; track numbers
// from 1 ascending by one, each with an INDEX 01 after an optional INDEX 00,
// further indexes ascending by one; CD-DA sent by the host (DATA FORM 0,
// no data bit in CTL) for the tracks; addresses ascending; the lead-out
// (track AA, index 1) last. Nothing, with the reason in `why`, when it breaks
// a rule.
std::optional<SaoLayout> ParseSaoCueSheet(const std::uint8_t* data, std::size_t size, std::string& why);

// Everything a virtual writer is made from.
struct VirtualWriterSetup {
    VirtualDriveModel model;
    WritableMedium medium;
    VirtualFaults faults;
    std::string outputFolder;  // where burned discs go; empty: the caller's default
    std::string imagePath;     // a CUE image a written disc holds; empty: the demo disc
};

// The model of a virtual writer: writes CD-R and CD-RW at up to 16x (2822
// kB/s), can test-write.
VirtualDriveModel VirtualWriterModel();

// True when a line of the virtual drive list describes a writer: its first
// word is "writer". The line then reads
//   writer cdr|cdrw|cdrw-written [capacity SECTORS] [write-error SECTOR]
//          [write-delay MS] [no-test-write] [max-speed KB] [page5-length 50|54]
//          [folder "PATH"] [image "PATH"]
// with words as in a CUE sheet (a quoted word may hold spaces).
bool IsWriterLine(const std::string& line);
// Reads a writer line; nothing, with the reason in `error`, when a word is
// not understood.
std::optional<VirtualWriterSetup> ParseWriterLine(const std::string& line, std::string& error);

class VirtualWriter final : public VirtualDrive {
public:
    VirtualWriter(WritableMedium medium, std::string outputFolder, IClock& clock,
                  VirtualDriveModel model = VirtualWriterModel());

    // Swaps the disc (as with the tray open and closed again); a session in
    // progress is dropped.
    void InsertMedium(WritableMedium medium);
    bool Blank() const;
    bool Rewritable() const;
    // The CUE sheet of the last disc burned, empty before the first.
    std::string LastBurnCue() const;
    // The write parameters page as selected (page code first, 2 + its length bytes).
    std::vector<std::uint8_t> WriteParametersPage() const;

private:
    std::optional<int> HandleMore(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                                  Sense& s) override;
    int ModeSense(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len) const;
    int SelectWriteParameters(const std::uint8_t* data, std::uint32_t len, Sense& s);
    int SendCueSheet(const std::uint8_t* data, std::uint32_t len, Sense& s);
    int Write(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t len, Sense& s);
    int WriteLeadIn(std::int32_t lba, int count, const std::uint8_t* data, std::uint32_t len, Sense& s);
    int Close(const std::uint8_t* cdb, Sense& s);
    int BlankDisc(const std::uint8_t* cdb, Sense& s);
    int DiscInformation(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s) const;
    bool FinishDisc();  // the BIN and CUE of a closed session, read back as the disc
    void PutMedium(WritableMedium medium);
    void DropSession();

    WritableMedium medium_;
    std::string outputFolder_;
    std::string lastCue_;
    std::vector<std::uint8_t> page5_;  // the write parameters page as selected
    // A session between an accepted cue sheet and its close.
    std::optional<SaoLayout> session_;
    bool testSession_ = false;
    std::int32_t next_ = 0;  // the next sector the host must send
    std::int32_t leadInNext_ = 0;         // the next lead-in sector the host may send
    std::vector<std::uint8_t> leadInRw_;  // the lead-in's R-W bytes as sent
    std::string binPath_, cuePath_;
    std::fstream bin_;
};

// The disc a virtual writer holds between runs of the program: a burned disc
// stays in the drive (its CUE sheet's name is kept in this file of the
// writer's folder) until it is blanked, or until the file is removed, which
// puts a fresh blank disc of the writer's kind in.
inline constexpr const char* kDiscInDriveFile = "disc-in-drive.txt";
// The CUE sheet of the disc in the drive, or empty for a blank disc.
std::string DiscInDrive(const std::string& outputFolder);
// Records the burned disc `cueName` (a file of the folder); empty: blank.
void RememberDiscInDrive(const std::string& outputFolder, const std::string& cueName);

}  // namespace sv
