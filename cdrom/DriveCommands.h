// The command blocks of drive control and of the table of contents, built byte
// for byte (multi-byte numbers most significant byte first, every byte not
// named here 0), with the data direction and length each one travels with.
#pragma once

#include <array>
#include <cstdint>

#include "base/Msf.h"
#include "cdrom/Cdb.h"

namespace sv {

inline constexpr int kInquiryBytes = 96;
inline constexpr int kSubChannelBytes = 16;
inline constexpr int kCapabilitiesBytes = 26;
inline constexpr int kAspiCapabilitiesBuffer = 28;
inline constexpr int kMechanismStatusBytes = 32;
inline constexpr int kAudioControlPageBytes = 24;
inline constexpr int kCachingPageBytes = 20;
inline constexpr int kTocBytes = 804;

Cdb TestUnitReadyCdb();
Cdb InquiryCdb();
Cdb StartStopUnitCdb(bool eject);
// `preventValue`: the byte [4] of a lock (3 on SPTI, 1 on ASPI) or 0 to unlock.
Cdb PreventAllowCdb(std::uint8_t preventValue);
Cdb Seek10Cdb(std::int32_t lba);
Cdb ReadSubChannelCdb();
Cdb PlayAudioMsfCdb(Msf start, Msf end);
Cdb StopPlayScanCdb();
Cdb ModeSelectAudioControlCdb();
Cdb ModeSelectCachingCdb();
Cdb ModeSenseCapabilitiesCdb(std::uint32_t bufferLength = kCapabilitiesBytes);
// `speedKb`: kilobytes per second, 0xFFFF for the maximum.
Cdb SetCdSpeedCdb(std::uint16_t speedKb);
Cdb MechanismStatusCdb();
Cdb ReadTocMsfCdb();
// READ TOC/PMA/ATIP format 2 (the full TOC: every session's points, MSF) and
// format 1 (session information: the first track of the last session).
inline constexpr int kFullTocBytes = 4 + 11 * 400;
inline constexpr int kSessionInfoBytes = 12;
Cdb ReadFullTocCdb();
Cdb ReadSessionInfoCdb();
// Format 5, CD-TEXT: `bytes` of the reply (4 for its header alone).
Cdb ReadCdTextCdb(std::uint16_t bytes);

// The parameter lists of the two MODE SELECT pages.
std::array<std::uint8_t, kAudioControlPageBytes> AudioControlPage(std::uint8_t volume);
std::array<std::uint8_t, kCachingPageBytes> CachingPage(bool readCacheDisable, bool writeCacheEnable);

// The read speed in kB/s that SET CD SPEED gets for a `ReadSpeed` setting:
// k x 176400 / 1000, and 255 ("Max") gives 0xFFFF.
std::uint16_t ReadSpeedKb(int readSpeed);
// The settings dialog's label for speed k: "4x ( 705 Kbit/s )".
std::string ReadSpeedLabel(int k);

}  // namespace sv
