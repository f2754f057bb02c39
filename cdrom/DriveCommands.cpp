#include "cdrom/DriveCommands.h"

#include <string>

#include "base/Bytes.h"

namespace sv {

Cdb TestUnitReadyCdb() { return MakeCdb(0x00, 6, ScsiDirection::Unspecified, 0); }

Cdb InquiryCdb() {
    Cdb c = MakeCdb(0x12, 6, ScsiDirection::In, kInquiryBytes);
    c[4] = kInquiryBytes;
    return c;
}

Cdb StartStopUnitCdb(bool eject) {
    Cdb c = MakeCdb(0x1B, 6, ScsiDirection::Unspecified, 0);
    c[1] = 1;
    c[4] = eject ? 2 : 3;
    return c;
}

Cdb PreventAllowCdb(std::uint8_t preventValue) {
    Cdb c = MakeCdb(0x1E, 6, ScsiDirection::Unspecified, 0);
    c[4] = preventValue;
    return c;
}

Cdb Seek10Cdb(std::int32_t lba) {
    Cdb c = MakeCdb(0x2B, 10, ScsiDirection::Unspecified, 0);
    StoreBE32(&c[2], static_cast<std::uint32_t>(lba));
    return c;
}

Cdb ReadSubChannelCdb() {
    Cdb c = MakeCdb(0x42, 10, ScsiDirection::In, kSubChannelBytes);
    c[1] = 2;
    c[2] = 0x40;
    c[3] = 1;
    StoreBE16(&c[7], 24);
    return c;
}

Cdb PlayAudioMsfCdb(Msf start, Msf end) {
    Cdb c = MakeCdb(0x47, 10, ScsiDirection::In, 0);
    c[3] = start.m;
    c[4] = start.s;
    c[5] = start.f;
    c[6] = end.m;
    c[7] = end.s;
    c[8] = end.f;
    return c;
}

Cdb StopPlayScanCdb() { return MakeCdb(0x4E, 10, ScsiDirection::Unspecified, 0); }

Cdb ModeSelectAudioControlCdb() {
    Cdb c = MakeCdb(0x55, 10, ScsiDirection::Out, kAudioControlPageBytes);
    c[1] = 0x10;
    StoreBE16(&c[7], kAudioControlPageBytes);
    return c;
}

Cdb ModeSelectCachingCdb() {
    Cdb c = MakeCdb(0x55, 10, ScsiDirection::Out, kCachingPageBytes);
    c[1] = 0x10;
    StoreBE16(&c[7], kCachingPageBytes);
    return c;
}

Cdb ModeSenseCapabilitiesCdb(std::uint32_t bufferLength) {
    Cdb c = MakeCdb(0x5A, 10, ScsiDirection::In, bufferLength);
    c[2] = 0x2A;
    c[8] = kCapabilitiesBytes;
    return c;
}

Cdb SetCdSpeedCdb(std::uint16_t speedKb) {
    Cdb c = MakeCdb(0xBB, 12, ScsiDirection::Unspecified, 0);
    StoreBE16(&c[2], speedKb);
    StoreBE16(&c[4], 0xFFFF);
    return c;
}

Cdb MechanismStatusCdb() {
    Cdb c = MakeCdb(0xBD, 12, ScsiDirection::Unspecified, kMechanismStatusBytes);
    StoreBE16(&c[8], kMechanismStatusBytes);
    return c;
}

namespace {
// READ TOC/PMA/ATIP with MSF addresses in `format`, from track or session `from`.
Cdb ReadTocCdb(std::uint8_t format, std::uint8_t from, std::uint16_t bytes) {
    Cdb c = MakeCdb(0x43, 10, ScsiDirection::In, bytes);
    c[1] = 0x02;
    c[2] = format;
    c[6] = from;
    StoreBE16(&c[7], bytes);
    return c;
}
}  // namespace

Cdb ReadTocMsfCdb() { return ReadTocCdb(0, 0, kTocBytes); }
Cdb ReadFullTocCdb() { return ReadTocCdb(2, 1, kFullTocBytes); }
Cdb ReadSessionInfoCdb() { return ReadTocCdb(1, 0, kSessionInfoBytes); }
Cdb ReadCdTextCdb(std::uint16_t bytes) {
    Cdb c = ReadTocCdb(5, 0, bytes);
    c[1] = 0;  // no addresses in CD-TEXT
    return c;
}

std::array<std::uint8_t, kAudioControlPageBytes> AudioControlPage(std::uint8_t volume) {
    std::array<std::uint8_t, kAudioControlPageBytes> p{};
    std::uint8_t* page = p.data() + 8;
    page[0] = 0x0E;
    page[1] = 14;
    page[2] = 0x04;
    page[8] = 1;
    page[9] = volume;
    page[10] = 2;
    page[11] = volume;
    return p;
}

std::array<std::uint8_t, kCachingPageBytes> CachingPage(bool readCacheDisable, bool writeCacheEnable) {
    std::array<std::uint8_t, kCachingPageBytes> p{};
    std::uint8_t* page = p.data() + 8;
    page[0] = 0x08;
    page[1] = 10;
    page[2] = static_cast<std::uint8_t>((readCacheDisable ? 0x01 : 0) | (writeCacheEnable ? 0x04 : 0));
    return p;
}

std::uint16_t ReadSpeedKb(int readSpeed) {
    if (readSpeed == 255) return 0xFFFF;
    const long kb = static_cast<long>(readSpeed) * kCdBytesPerSecond / 1000;
    return static_cast<std::uint16_t>(kb > 0xFFFF ? 0xFFFF : (kb < 0 ? 0 : kb));
}

std::string ReadSpeedLabel(int k) {
    return std::to_string(k) + "x ( " + std::to_string(static_cast<long>(k) * kCdBytesPerSecond / 1000) +
           " Kbit/s )";
}

}  // namespace sv
