// The command blocks and parameter lists of CD writing, built byte for byte
// (multi-byte numbers most significant byte first, every byte not named here
// 0), with the data direction and length each one travels with. The drive
// commands shared with reading (TEST UNIT READY, INQUIRY, START STOP UNIT,
// PREVENT ALLOW MEDIUM REMOVAL, MODE SENSE of page 2A, the caching page,
// MECHANISM STATUS) are those of cdrom/DriveCommands.h.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "cdrom/Cdb.h"

namespace sv {

inline constexpr int kPage5SenseBytes = 62;
inline constexpr int kWriteParametersListBytes = 60;
inline constexpr int kDiscInformationBytes = 34;
inline constexpr int kCueSheetEntryBytes = 8;
inline constexpr int kMaxWriterTracks = 99;

// MODE SENSE(10) of the write parameters page (5), 62 bytes in.
Cdb ModeSenseWriteParametersCdb();
// MODE SELECT(10), PF set, with a parameter list of `listBytes` (60 for the
// write parameters page, 20 for the caching page).
Cdb ModeSelectCdb(std::uint16_t listBytes);
// The write parameters page as sent: BUFE, Test Write when `test`,
// session-at-once, raw 2352-byte CD-DA, with the page length the drive uses
// (0x36 or 0x32).
std::array<std::uint8_t, kWriteParametersListBytes> WriteParametersList(bool test, std::uint8_t pageLength);
// SET CD SPEED with the maximum read speed and `writeKb` as write speed.
Cdb SetWriteSpeedCdb(std::uint16_t writeKb);
// The write speed in kB/s for a speed factor: factor x 176.4 (1x = 176), and
// 0xFFFF (the drive's fastest) for 255.
std::uint16_t WriteSpeedKb(int factor);
// SEND OPC INFORMATION with DoOPC.
Cdb SendOpcCdb();
// BLANK of the whole disc, or the minimal blank; not immediate.
Cdb BlankCdb(bool minimal);
// SEND CUE SHEET of `bytes` bytes.
Cdb SendCueSheetCdb(std::uint32_t bytes);
// WRITE(10) of `count` sectors of `sectorBytes` each (raw 2352-byte audio,
// or 96 bytes of R-W sub-channel in the lead-in) at `lba`.
Cdb Write10Cdb(std::int32_t lba, std::uint16_t count, std::uint32_t sectorBytes = 2352);
// SYNCHRONIZE CACHE(10), not immediate: the drive writes what it holds.
Cdb SynchronizeCacheCdb();
// CLOSE TRACK/SESSION closing the session; not immediate.
Cdb CloseSessionCdb();
// READ DISC INFORMATION, 34 bytes in.
Cdb ReadDiscInformationCdb();

// The session-at-once cue sheet of `trackStart.size() - 1` tracks whose
// audio starts at trackStart[k] (sectors from track 1's audio; the last
// value is the lead-out): lead-in, track 1's pregap at 00:00:00, every
// track's index 1 at its start + 150, the lead-out. 8-byte entries. With
// `cdTextInLeadIn` the lead-in entry's data form is 0x41 (CD-DA, raw R-W
// sub-channel sent by the host for the lead-in: the CD-TEXT).
std::vector<std::uint8_t> BuildCueSheet(std::span<const std::uint32_t> trackStart, bool cdTextInLeadIn = false);

}  // namespace sv
