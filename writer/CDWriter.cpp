#include "writer/CDWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/Language.h"
#include "base/Msf.h"
#include "cdrom/CdTextLeadIn.h"
#include "cdrom/TCDROM.h"
#include "cdrom/VirtualWriter.h"
#include "formats/WavFile.h"
#include "writer/CDDAStreamOut.h"
#include "writer/DecodeAhead.h"

namespace sv {

namespace {

constexpr int kSenseNotReady = 2;
constexpr int kSenseUnitAttention = 6;
constexpr int kWaitReadyPollMs = 100;
constexpr int kMessageLeadIn = 90;
constexpr int kMessageOpc = 88;
constexpr int kMessageLeadOut = 89;
// Lead-in sectors per WRITE: 300 x 96 bytes stay under 32 KB.
constexpr std::int32_t kLeadInSectorsPerWrite = 300;
// M:S:F addresses from 90:00:00 on are the negative ones before the disc's start.
constexpr int kNegativeMsfMinutes = 90;
constexpr int kNegativeMsfOffset = 450150;

}  // namespace

TCDWriter::TCDWriter(std::shared_ptr<DriveCatalog> catalog)
    : catalog_(std::move(catalog)), spti_(*catalog_), aspi_(*catalog_) {
    EnumerateDrives();
}

TCDWriter::~TCDWriter() {
    spti_.Close();
    aspi_.Unload();
}

IScsiTransport& TCDWriter::Active() {
    if (useSpti_) return spti_;
    return aspi_;
}

int TCDWriter::Send(const Cdb& cdb, std::uint8_t* data) { return Active().Send(cdb, data); }

bool TCDWriter::IsSuccess(int status) const { return status == (useSpti_ ? 0 : kAspiDone); }

void TCDWriter::Sleep(int ms) { catalog_->Clock().SleepMs(ms); }

std::string TCDWriter::SetStatus(const std::string& text) { return listener_ ? listener_->SetStatus(text) : std::string(); }

bool TCDWriter::SetTrackLengths(std::span<const std::uint32_t> sectors) {
    if (sectors.size() > kMaxTracks) return false;
    TrackStart.fill(0);
    for (std::size_t i = 0; i < sectors.size(); ++i) TrackStart[i + 1] = TrackStart[i] + sectors[i];
    TrackCount = static_cast<std::uint32_t>(sectors.size());
    return true;
}

// ---- Drives ----

bool TCDWriter::EnumerateDrives() {
    spti_.Close();
    // The generic devices win when they show a drive; a system whose real
    // drives the generic driver does not see uses the pass-through.
    aspi_.Load();
    useSpti_ = !(aspi_.Scan() > 0 && (catalog_->RealDriveCount() == 0 || aspi_.HasRealDrive()));
    drives_.clear();
    handles_.clear();
    current_ = -1;
    const int candidates = useSpti_ ? catalog_->Count() : aspi_.DriveCount();
    for (int n = 0; n < candidates && DriveCount() < kMaxDrives; ++n) {
        const int entry = useSpti_ ? n : aspi_.CatalogIndex(n);
        const CatalogEntry& e = catalog_->Entries()[static_cast<std::size_t>(entry)];
        // Disc images and the demo disc are drives that never write.
        if (e.isVirtual && (e.closed || !std::dynamic_pointer_cast<VirtualWriter>(e.drive))) continue;
        if (useSpti_ ? !spti_.Open(n, 0) : !aspi_.Select(n, 0)) continue;
        std::array<std::uint8_t, kInquiryBytes> inquiry{};
        if (!IsSuccess(Send(InquiryCdb(), inquiry.data()))) continue;  // (also a generic device that does not open)
        CDROM_INFO info;
        info.name = DriveNameFromInquiry(inquiry.data(), CDROM_INFO::kNameChars);
        Send(ModeSenseCapabilitiesCdb(kCapabilitiesBytes), info.capabilities.data());
        drives_.push_back(std::move(info));
        handles_.push_back(n);
    }
    spti_.Close();
    SelectDrive(0);
    return !drives_.empty();
}

std::string TCDWriter::DriveDevice(int index) const {
    if (index < 0 || index >= DriveCount()) return {};
    const int h = handles_[static_cast<std::size_t>(index)];
    const int entry = useSpti_ ? h : aspi_.CatalogIndex(h);
    return catalog_->Entries()[static_cast<std::size_t>(entry)].Describe();
}

std::shared_ptr<VirtualDrive> TCDWriter::VirtualDriveAt(int index) const {
    if (index < 0 || index >= DriveCount()) return nullptr;
    const int h = handles_[static_cast<std::size_t>(index)];
    const int entry = useSpti_ ? h : aspi_.CatalogIndex(h);
    return catalog_->Entries()[static_cast<std::size_t>(entry)].drive;
}

bool TCDWriter::SelectDrive(int index) {
    if (index < 0 || index >= DriveCount()) return false;
    const int previous = current_;
    const int h = handles_[static_cast<std::size_t>(index)];
    if (useSpti_) {
        spti_.Close();
        Sleep(1);
        if (!spti_.Open(h, 0)) {
            Sleep(1);
            if (previous >= 0) spti_.Open(handles_[static_cast<std::size_t>(previous)], 0);
            return false;
        }
    } else if (!aspi_.Select(h, 0)) {
        if (previous >= 0) aspi_.Select(handles_[static_cast<std::size_t>(previous)], 0);
        return false;
    }
    current_ = index;
    return true;
}

// ---- Drive and disc ----

bool TCDWriter::TestUnitReady() {
    const int status = Send(TestUnitReadyCdb(), nullptr);
    return useSpti_ ? status == 0 : status != kAspiError;
}

bool TCDWriter::ReadyChanged() {
    const bool ready = TestUnitReady();
    const bool changed = ready != lastReady_;
    lastReady_ = ready;
    return changed;
}

int TCDWriter::LoadEject(bool eject) { return Send(StartStopUnitCdb(eject), nullptr); }

bool TCDWriter::LockMedium(bool lock) {
    const std::uint8_t value = lock ? (useSpti_ ? 0x03 : 0x01) : 0x00;
    return IsSuccess(Send(PreventAllowCdb(value), nullptr));
}

bool TCDWriter::SetWriteSpeed(int factor) { return IsSuccess(Send(SetWriteSpeedCdb(WriteSpeedKb(factor)), nullptr)); }

bool TCDWriter::SendOPC() { return IsSuccess(Send(SendOpcCdb(), nullptr)); }

bool TCDWriter::BlankDisc(bool minimal) { return IsSuccess(Send(BlankCdb(minimal), nullptr)); }

bool TCDWriter::ReadDiscInformation(std::array<std::uint8_t, kDiscInformationBytes>& info) {
    info.fill(0);
    return IsSuccess(Send(ReadDiscInformationCdb(), info.data()));
}

int TCDWriter::MechanismStatus() {
    std::array<std::uint8_t, kMechanismStatusBytes> data{};
    if (!IsSuccess(Send(MechanismStatusCdb(), data.data()))) return 0;
    if (data[1] & 0x10) return 5;
    return (data[1] >> 5) + 1;
}

bool TCDWriter::WaitReady() {
    for (;;) {
        const int status = Send(TestUnitReadyCdb(), nullptr);
        if (IsSuccess(status)) return true;
        const bool checkCondition = useSpti_ ? status == kScsiCheckCondition : status == kAspiError;
        const int key = Active().LastSenseKey();
        if (!checkCondition || (key != kSenseNotReady && key != kSenseUnitAttention)) return false;
        Sleep(kWaitReadyPollMs);
    }
}

DiscState TCDWriter::QueryDisc() {
    DiscState state;
    std::array<std::uint8_t, kDiscInformationBytes> info{};
    state.ready = TestUnitReady();
    if (state.ready && !ReadDiscInformation(info)) info.fill(0);
    state.erasable = (info[2] & 0x10) != 0;
    state.status = info[2] & 0x03;
    return state;
}

// ---- Burning ----

bool TCDWriter::SetWriteParameters(std::uint8_t test, IWriteListener* listener) {
    listener_ = listener;
    if (test == kImageModeFlag) return true;
    auto caching = CachingPage(false, true);
    Send(ModeSelectCachingCdb(), caching.data());
    // Page 5 is sent with the length the drive's own page has.
    std::array<std::uint8_t, kPage5SenseBytes> current{};
    const bool sensed = IsSuccess(Send(ModeSenseWriteParametersCdb(), current.data()));
    const std::uint8_t pageLength = sensed && current[9] == 0x36 ? 0x36 : 0x32;
    auto list = WriteParametersList(test != 0, pageLength);
    return IsSuccess(Send(ModeSelectCdb(kWriteParametersListBytes), list.data()));
}

bool TCDWriter::SendCueSheet() {
    TrackStart[0] = 0;
    if (TrackCount == 0 || TrackCount > kMaxTracks) return false;
    std::vector<std::uint8_t> sheet =
        BuildCueSheet(std::span<const std::uint32_t>(TrackStart.data(), TrackCount + 1), !CdTextPacks.empty() && !ImageMode);
    return IsSuccess(Send(SendCueSheetCdb(static_cast<std::uint32_t>(sheet.size())), sheet.data()));
}

bool TCDWriter::SetSourceFiles(const std::vector<std::string>& files) {
    if (SectorsPerWrite == 0) return false;
    files_ = files;
    return true;
}

bool TCDWriter::CloseSession() {
    Send(SynchronizeCacheCdb(), nullptr);
    return IsSuccess(Send(CloseSessionCdb(), nullptr));
}

void TCDWriter::WriteBlock(std::int32_t lba, std::uint32_t count, std::FILE* image, std::uint64_t& imageBytes) {
    if (image) {
        const std::size_t bytes = static_cast<std::size_t>(count) * kSectorBytes;
        if (std::fwrite(buffer_.data(), 1, bytes, image) != bytes) ++writeErrors_;
        imageBytes += bytes;
        return;
    }
    if (!IsSuccess(Send(Write10Cdb(lba, static_cast<std::uint16_t>(count)), buffer_.data()))) ++writeErrors_;
}

// Drives take CD-TEXT in a session-at-once burn the way cdrecord and libburn
// send it: the cue sheet's lead-in entry has data form 0x41, and the host
// writes the lead-in itself, from the lead-in start that READ DISC
// INFORMATION gives for a blank disc (its ATIP) up to the pregap at -150,
// every sector as 96 bytes of raw R-W sub-channel: four packs in 6-bit
// symbols, the packs repeated until the lead-in is full.
void TCDWriter::WriteCdTextLeadIn() {
    std::array<std::uint8_t, kDiscInformationBytes> info{};
    const std::vector<std::uint8_t> symbols = CdTextToSymbols(CdTextPacks);
    if (symbols.empty() || !ReadDiscInformation(info)) {
        ++writeErrors_;
        return;
    }
    const int frames = MsfToFrames(Msf{info[17], info[18], info[19]});
    std::int32_t lba = frames - (info[17] >= kNegativeMsfMinutes ? kNegativeMsfOffset : kLbaBase);
    if (lba >= -kPregapSectors) {  // no lead-in start: the drive did not say where to write
        ++writeErrors_;
        return;
    }
    const std::size_t packs = symbols.size() / kCdTextSymbolPackBytes;
    std::size_t next = 0;
    std::vector<std::uint8_t> block;
    while (lba < -kPregapSectors) {
        const std::int32_t n = std::min(kLeadInSectorsPerWrite, -kPregapSectors - lba);
        block.clear();
        for (std::int32_t k = 0; k < n * kLeadInSubchannelBytes / kCdTextSymbolPackBytes; ++k) {
            const auto from = symbols.begin() + static_cast<std::ptrdiff_t>(next * kCdTextSymbolPackBytes);
            block.insert(block.end(), from, from + kCdTextSymbolPackBytes);
            next = (next + 1) % packs;
        }
        const Cdb cdb = Write10Cdb(lba, static_cast<std::uint16_t>(n), kLeadInSubchannelBytes);
        if (!IsSuccess(Send(cdb, block.data()))) ++writeErrors_;
        lba += n;
    }
}

WriteOutcome TCDWriter::WriteTracks(const std::atomic<bool>& cancel) {
    writeErrors_ = 0;
    failedTrack_ = -1;
    SectorsPerWrite = std::max(SectorsPerWrite, kMinSectorsPerWrite);
    const std::uint32_t spw = SectorsPerWrite;
    const std::uint32_t blockBytes = spw * kSectorBytes;
    buffer_.assign(blockBytes, 0);

    std::FILE* image = nullptr;
    std::uint64_t imageBytes = 0;
    if (ImageMode) {
        image = CreateWav(ImageFileName, WAVEFORMATEX::CdFormat());
        if (!image) return WriteOutcome::ImageFailed;
    }
    std::unique_ptr<TDecodeAheadThread> ahead;
    if (DecodeAhead && !ImageMode) ahead = std::make_unique<TDecodeAheadThread>();

    const std::string previous = SetStatus(LangMessage(kMessageLeadIn));
    if (!ImageMode) {
        if (!CdTextPacks.empty()) WriteCdTextLeadIn();
        // The drive places session-at-once data itself: the pregap goes from
        // address 0 in the pregap, the audio from address 0 again.
        for (int a = 0; a < kPregapSectors; a += kPregapWriteSectors) WriteBlock(a, kPregapWriteSectors, image, imageBytes);
        WaitReady();
    }
    SetStatus(previous);

    WriteOutcome outcome = WriteOutcome::Completed;
    std::uint32_t address = 0;
    for (std::uint32_t t = 0; t < TrackCount; ++t) {
        if (cancel.load()) {
            outcome = WriteOutcome::Cancelled;
            break;
        }
        const std::uint32_t end = TrackStart[t + 1];
        auto stream = std::make_unique<TCDDAStreamOut>();
        stream->SetBlockSize(blockBytes);
        if (t >= files_.size() || !stream->Open(files_[t])) {
            outcome = WriteOutcome::SourceFailed;
            failedTrack_ = static_cast<int>(t);
            break;
        }
        if (ahead) ahead->SetStream(stream.get());
        SetStatus("Track " + std::to_string(t + 1) + " - " +
                  (t < files_.size() ? std::filesystem::path(files_[t]).filename().string() : std::string()));
        for (int k = 0; k < 3; ++k) stream->FillSlot(k);

        // The sectors the next write must stop at the track's end with (0: a whole block).
        auto remainingFor = [&](std::uint32_t at) { return at + spw > end ? end - at : 0; };
        std::uint32_t remaining = remainingFor(address);
        for (std::uint32_t b = 0; address < end; ++b) {
            if (cancel.load()) break;
            const int k = static_cast<int>(b % 4);
            const int r = (k + 3) % 4;
            if (ahead) ahead->WaitDone();
            if (stream->SlotBytes(k) == 0) break;  // the source ended and its blocks are written
            std::memcpy(buffer_.data(), stream->Slot(k), blockBytes);
            stream->ClearSlot(k);
            if (ahead) ahead->Request(r);
            else stream->FillSlot(r);
            const std::uint32_t n = remaining ? remaining : spw;
            WriteBlock(static_cast<std::int32_t>(address), n, image, imageBytes);
            address += n;
            remaining = remainingFor(address);
            if (listener_) listener_->Progress(address, TrackStart[t], writeErrors_, end);
        }
        if (ahead) ahead->WaitDone();
        if (address < end && !cancel.load()) {
            // Silence to the track's end: whole blocks, then the rest (also when it is 0).
            std::fill(buffer_.begin(), buffer_.end(), std::uint8_t{0});
            const std::uint32_t left = end - address;
            for (std::uint32_t i = 0; i < left / spw; ++i) {
                WriteBlock(static_cast<std::int32_t>(address), spw, image, imageBytes);
                address += spw;
                if (listener_) listener_->Progress(address, TrackStart[t], writeErrors_, end);
            }
            WriteBlock(static_cast<std::int32_t>(address), left % spw, image, imageBytes);
            address += left % spw;
            if (listener_) listener_->Progress(address, TrackStart[t], writeErrors_, end);
            if (image) Sleep(1);
        }
        if (address == end && listener_) listener_->TrackWritten(static_cast<int>(t));
        if (ahead) ahead->SetStream(nullptr);
        stream.reset();
        if (address < end) {
            outcome = WriteOutcome::Cancelled;
            break;
        }
    }

    std::vector<std::uint8_t>().swap(buffer_);
    ahead.reset();
    if (image) CloseWav(image, imageBytes, WAVEFORMATEX::CdFormat());
    return outcome;
}

WriteOutcome TCDWriter::BurnSession(int speedFactor, const std::atomic<bool>& cancel) {
    if (!ImageMode) {
        SetWriteSpeed(speedFactor);
        LockMedium(true);
        SetStatus(LangMessage(kMessageOpc));
        SendOPC();
        WaitReady();
    }
    WriteOutcome outcome = WriteTracks(cancel);
    if (!ImageMode) {
        SetStatus(LangMessage(kMessageLeadOut));
        const bool closed = CloseSession();
        LockMedium(false);
        if (!closed && outcome == WriteOutcome::Completed) outcome = WriteOutcome::CloseFailed;
    }
    return outcome;
}

}  // namespace sv
