#include "writer/WriterCommands.h"

#include "base/Bytes.h"
#include "base/Msf.h"
#include "cdrom/DriveCommands.h"

namespace sv {

namespace {

// CTL/ADR of every entry: audio, two channels, no pre-emphasis, no copy; ADR 1.
constexpr std::uint8_t kCtlAdr = 0x01;
constexpr std::uint8_t kFormAudioFromHost = 0x00;
constexpr std::uint8_t kFormAudioByDrive = 0x01;
constexpr std::uint8_t kFormAudioWithRawRw = 0x41;  // the lead-in's R-W (CD-TEXT) from the host

void PutEntry(std::vector<std::uint8_t>& sheet, std::uint8_t tno, std::uint8_t index, std::uint8_t form,
              std::uint32_t absFrames) {
    const Msf m = FramesToMsf(static_cast<int>(absFrames));
    sheet.insert(sheet.end(), {kCtlAdr, tno, index, form, 0x00, m.m, m.s, m.f});
}

}  // namespace

Cdb ModeSenseWriteParametersCdb() {
    Cdb c = MakeCdb(0x5A, 10, ScsiDirection::In, kPage5SenseBytes);
    c[2] = 0x05;
    StoreBE16(&c[7], kPage5SenseBytes);
    return c;
}

Cdb ModeSelectCdb(std::uint16_t listBytes) {
    Cdb c = MakeCdb(0x55, 10, ScsiDirection::Out, listBytes);
    c[1] = 0x10;
    StoreBE16(&c[7], listBytes);
    return c;
}

std::array<std::uint8_t, kWriteParametersListBytes> WriteParametersList(bool test, std::uint8_t pageLength) {
    std::array<std::uint8_t, kWriteParametersListBytes> list{};
    std::uint8_t* page = list.data() + 8;
    page[0] = 0x05;
    page[1] = pageLength;
    page[2] = static_cast<std::uint8_t>(0x40 | (test ? 0x10 : 0x00) | 0x02);  // BUFE, Test Write, SAO
    return list;
}

Cdb SetWriteSpeedCdb(std::uint16_t writeKb) {
    Cdb c = MakeCdb(0xBB, 12, ScsiDirection::Unspecified, 0);
    StoreBE16(&c[2], 0xFFFF);
    StoreBE16(&c[4], writeKb);
    return c;
}

// The same arithmetic as the read speed's.
std::uint16_t WriteSpeedKb(int factor) { return ReadSpeedKb(factor); }

Cdb SendOpcCdb() {
    Cdb c = MakeCdb(0x54, 10, ScsiDirection::Unspecified, 0);
    c[1] = 0x01;
    return c;
}

Cdb BlankCdb(bool minimal) {
    Cdb c = MakeCdb(0xA1, 12, ScsiDirection::Unspecified, 0);
    c[1] = minimal ? 0x01 : 0x00;
    return c;
}

Cdb SendCueSheetCdb(std::uint32_t bytes) {
    Cdb c = MakeCdb(0x5D, 10, ScsiDirection::Out, bytes);
    c[6] = static_cast<std::uint8_t>(bytes >> 16);
    StoreBE16(&c[7], static_cast<std::uint16_t>(bytes));
    return c;
}

Cdb Write10Cdb(std::int32_t lba, std::uint16_t count, std::uint32_t sectorBytes) {
    Cdb c = MakeCdb(0x2A, 10, ScsiDirection::Out, count * sectorBytes);
    StoreBE32(&c[2], static_cast<std::uint32_t>(lba));
    StoreBE16(&c[7], count);
    return c;
}

Cdb SynchronizeCacheCdb() { return MakeCdb(0x35, 10, ScsiDirection::Unspecified, 0); }

Cdb CloseSessionCdb() {
    Cdb c = MakeCdb(0x5B, 10, ScsiDirection::Unspecified, 0);
    c[2] = 0x02;
    return c;
}

Cdb ReadDiscInformationCdb() {
    Cdb c = MakeCdb(0x51, 10, ScsiDirection::In, kDiscInformationBytes);
    StoreBE16(&c[7], kDiscInformationBytes);
    return c;
}

std::vector<std::uint8_t> BuildCueSheet(std::span<const std::uint32_t> trackStart, bool cdTextInLeadIn) {
    std::vector<std::uint8_t> sheet;
    if (trackStart.size() < 2) return sheet;
    const std::size_t tracks = trackStart.size() - 1;
    sheet.reserve((tracks + 3) * kCueSheetEntryBytes);
    PutEntry(sheet, 0x00, 0x00, cdTextInLeadIn ? kFormAudioWithRawRw : kFormAudioByDrive, 0);
    PutEntry(sheet, 0x01, 0x00, kFormAudioFromHost, 0);
    for (std::size_t k = 0; k < tracks; ++k)
        PutEntry(sheet, static_cast<std::uint8_t>(k + 1), 0x01, kFormAudioFromHost, trackStart[k] + kLbaBase);
    PutEntry(sheet, 0xAA, 0x01, kFormAudioByDrive, trackStart[tracks] + kLbaBase);
    return sheet;
}

}  // namespace sv
