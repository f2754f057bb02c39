#include "cdrom/TCDROM.h"

#include <algorithm>
#include <filesystem>

#include "base/Bytes.h"
#include "base/Language.h"
#include "base/Text.h"
#include "cdrom/ReadCommands.h"

namespace sv {

std::string DriveNameFromInquiry(const std::uint8_t* inquiry, int chars) {
    std::string name(reinterpret_cast<const char*>(inquiry + 8), static_cast<std::size_t>(chars));
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return ToUtf8Lenient(name);
}

TCDROM::TCDROM(std::shared_ptr<DriveCatalog> catalog)
    : catalog_(std::move(catalog)), spti_(*catalog_), aspi_(*catalog_) {}

TCDROM::~TCDROM() { Shutdown(); }

IScsiTransport& TCDROM::Active() {
    if (transport_ == kTransportSpti) return spti_;
    return aspi_;
}

bool TCDROM::Initialise(int preferred, IUserDialogs* dialogs, bool russian) {
    transport_ = kTransportAspi;
    // The generic layer is part of the kernel: it always "loads", and is
    // available when its scan finds a drive. Linux counts as an NT-family
    // system, so a failed load or an empty scan never ends the program.
    aspi_.Load();
    aspiAvailable_ = aspi_.Scan() > 0;
    if (catalog_->RealDriveCount() > 0 && !aspi_.HasRealDrive()) {
        // Real drives exist but the generic layer sees none of them.
        aspiAvailable_ = false;
        if (dialogs) dialogs->ShowMessage(LangMessage(93), MessageIcon::Warning);
    }
    transport_ = aspiAvailable_ ? (preferred == kTransportSpti ? kTransportSpti : kTransportAspi) : kTransportSpti;
    BuildDriveList();
    if (dialogs) {
        if (!AccessProblems().empty())
            dialogs->ShowMessage(AccessProblemMessage(AccessProblems(), russian), MessageIcon::Warning);
        if (!catalog_->ImageProblems().empty()) {
            std::string text;
            for (const auto& p : catalog_->ImageProblems()) text += (text.empty() ? "" : "\n") + p;
            dialogs->ShowMessage(text, MessageIcon::Warning);
        }
    }
    return true;
}

std::string TCDROM::InquiryName() {
    std::array<std::uint8_t, kInquiryBytes> inquiry{};
    Identify(inquiry);
    return DriveNameFromInquiry(inquiry.data());
}

void TCDROM::BuildDriveList() {
    names_.clear();
    entries_.clear();
    for (int n = 0; n < 512; ++n) {
        bool ok = false;
        int entry = -1;
        if (transport_ == kTransportSpti) {
            spti_.Close();
            ok = spti_.Open(n, 0);
            if (ok) {
                SetVolume(255);
                entry = n;
            }
        } else {
            ok = aspi_.Select(n, 0);
            entry = aspi_.CatalogIndex(n);
        }
        if (!ok) {
            if (n > 30) break;
            continue;
        }
        names_.push_back(InquiryName());
        entries_.push_back(entry);
    }
    if (transport_ == kTransportSpti) spti_.Close();
}

bool TCDROM::ApplyTransport(std::uint8_t& useSpti) {
    const int effective = aspiAvailable_ ? (useSpti ? kTransportSpti : kTransportAspi) : kTransportSpti;
    useSpti = static_cast<std::uint8_t>(effective);
    if (effective == transport_) return false;
    if (transport_ == kTransportSpti) spti_.Close();
    transport_ = effective;
    return true;
}

std::string TCDROM::DriveDevice(int index) const {
    if (index < 0 || index >= DriveCount()) return {};
    return catalog_->Entries()[static_cast<std::size_t>(entries_[static_cast<std::size_t>(index)])].Describe();
}

std::string TCDROM::DriveTitle(int index) const {
    if (index < 0 || index >= DriveCount()) return {};
    const std::string& raw = names_[static_cast<std::size_t>(index)];
    std::string title = Trim(std::string_view(raw).substr(0, std::min<std::size_t>(8, raw.size())));
    const std::string product = raw.size() > 8 ? Trim(std::string_view(raw).substr(8)) : std::string();
    if (!product.empty()) title += (title.empty() ? "" : " ") + product;
    return title;
}

bool TCDROM::IsImageDrive(int index) const {
    if (index < 0 || index >= DriveCount()) return false;
    const CatalogEntry& e = catalog_->Entries()[static_cast<std::size_t>(entries_[static_cast<std::size_t>(index)])];
    return e.isVirtual && e.image != "demo";
}

std::string TCDROM::DriveLabel(int index) const {
    std::string label = DriveTitle(index);
    if (!IsImageDrive(index)) return label;
    label += " — " + std::filesystem::path(DriveDevice(index)).filename().string();
    const auto drive = VirtualDriveAt(index);
    const auto disc = drive ? drive->Disc() : nullptr;
    if (disc && !disc->AlbumTitle().empty()) label += " (" + disc->AlbumTitle() + ")";
    return label;
}

bool TCDROM::CloseImageDrive(int index) {
    if (!IsImageDrive(index)) return false;
    if (index == current_) {
        CloseDevice();
        current_ = -1;
    } else if (index < current_) {
        --current_;
    }
    const int entry = entries_[static_cast<std::size_t>(index)];
    entries_.erase(entries_.begin() + index);
    names_.erase(names_.begin() + index);
    catalog_->CloseImage(entry);
    if (transport_ == kTransportAspi) {
        const int keep = aspi_.CurrentIndex();
        aspi_.Scan();
        aspi_.Select(keep, aspi_.ReadCommand());
    }
    return true;
}

std::shared_ptr<VirtualDrive> TCDROM::VirtualDriveAt(int index) const {
    if (index < 0 || index >= DriveCount()) return nullptr;
    return catalog_->Entries()[static_cast<std::size_t>(entries_[static_cast<std::size_t>(index)])].drive;
}

int TCDROM::AddImageDrive(const std::string& path, bool remember, std::string& error) {
    const int entry = catalog_->AddImage(path, remember, error);
    if (entry < 0) return -1;
    if (transport_ == kTransportAspi) {
        const int keep = aspi_.CurrentIndex();
        aspi_.Scan();
        aspi_.Select(keep, aspi_.ReadCommand());
    }
    entries_.push_back(entry);
    names_.push_back(DriveNameFromInquiry([&] {
        std::array<std::uint8_t, kInquiryBytes> inquiry{};
        SenseData sense{};
        catalog_->Entries()[static_cast<std::size_t>(entry)].drive->Execute(
            InquiryCdb().bytes.data(), 6, inquiry.data(), kInquiryBytes, ScsiDirection::In, sense);
        return inquiry;
    }().data()));
    return DriveCount() - 1;
}

bool TCDROM::SelectDrive(int index, int readCommand) {
    if (index < 0 || index >= DriveCount()) return false;
    const int entry = entries_[static_cast<std::size_t>(index)];
    bool ok = false;
    if (transport_ == kTransportSpti) {
        spti_.Close();
        ok = spti_.Open(entry, readCommand);
    } else {
        ok = aspi_.Select(aspi_.IndexOfCatalogEntry(entry), readCommand);
    }
    if (ok) current_ = index;
    return ok;
}

void TCDROM::CloseDevice() {
    if (transport_ == kTransportSpti) spti_.Close();
}

void TCDROM::SetReadCommand(int command) {
    spti_.SetReadCommand(command);
    aspi_.SetReadCommand(command);
}

int TCDROM::ReadCommand() const {
    return transport_ == kTransportSpti ? spti_.ReadCommand() : aspi_.ReadCommand();
}

bool TCDROM::IsSuccess(int status) const {
    return status == (transport_ == kTransportSpti ? 0 : kAspiDone);
}

std::optional<CdText> TCDROM::ReadCdText(int firstTrack, int trackCount) {
    std::vector<std::uint8_t> reply(kCdTextHeaderBytes);
    if (!IsSuccess(Send(ReadCdTextCdb(kCdTextHeaderBytes), reply.data()))) return std::nullopt;
    const std::size_t length = std::min<std::size_t>(2 + LoadBE16(reply.data()), 0xFFFF);
    if (length <= kCdTextHeaderBytes) return std::nullopt;
    reply.assign(length, 0);
    if (!IsSuccess(Send(ReadCdTextCdb(static_cast<std::uint16_t>(length)), reply.data()))) return std::nullopt;
    return ParseCdText(reply, firstTrack, trackCount);
}

int TCDROM::Send(const Cdb& cdb, std::uint8_t* buffer) { return Active().Send(cdb, buffer); }

int TCDROM::LastSenseKey() const {
    return transport_ == kTransportSpti ? spti_.LastSenseKey() : aspi_.LastSenseKey();
}

bool TCDROM::IsReady() {
    const int status = Send(TestUnitReadyCdb(), nullptr);
    return transport_ == kTransportSpti ? status == 0 : status != kAspiError;
}

int TCDROM::MechanismState() {
    std::array<std::uint8_t, kMechanismStatusBytes> data{};
    if (!IsSuccess(Send(MechanismStatusCdb(), data.data()))) return kMechanismFailed;
    if (data[1] & 0x10) return kMechanismDoorOpen;
    return (data[1] >> 5) + 1;
}

int TCDROM::EjectLoad(bool eject) { return Send(StartStopUnitCdb(eject), nullptr); }

int TCDROM::LockTray(bool lock) {
    const std::uint8_t value = lock ? (transport_ == kTransportSpti ? 3 : 1) : 0;
    return Send(PreventAllowCdb(value), nullptr);
}

int TCDROM::SetSpeed(int readSpeed) {
    const Cdb cdb = SetCdSpeedCdb(ReadSpeedKb(readSpeed));
    int status = Send(cdb, nullptr);
    if (!IsSuccess(status)) status = Send(cdb, nullptr);
    return status;
}

int TCDROM::SetVolume(int volume) {
    auto page = AudioControlPage(static_cast<std::uint8_t>(volume < 0 ? 0 : (volume > 255 ? 255 : volume)));
    return Send(ModeSelectAudioControlCdb(), page.data());
}

int TCDROM::PlayMsf(Msf start, Msf end) { return Send(PlayAudioMsfCdb(start, end), nullptr); }

int TCDROM::StopPlay() { return Send(StopPlayScanCdb(), nullptr); }

bool TCDROM::Position(Msf& position, int& audioStatus) {
    std::array<std::uint8_t, kSubChannelBytes> data{};
    if (!IsSuccess(Send(ReadSubChannelCdb(), data.data()))) return false;
    position = Msf{data[9], data[10], data[11]};
    audioStatus = data[1];
    return true;
}

int TCDROM::Seek(std::int32_t lba) { return Send(Seek10Cdb(lba), nullptr); }

bool TCDROM::SetCacheMode(bool readCacheDisable, bool writeCacheEnable) {
    auto page = CachingPage(readCacheDisable, writeCacheEnable);
    return IsSuccess(Send(ModeSelectCachingCdb(), page.data()));
}

bool TCDROM::Capabilities(std::array<std::uint8_t, kCapabilitiesBytes>& data) {
    std::array<std::uint8_t, kAspiCapabilitiesBuffer> buffer{};
    const std::uint32_t length = transport_ == kTransportSpti ? kCapabilitiesBytes : kAspiCapabilitiesBuffer;
    const bool ok = IsSuccess(Send(ModeSenseCapabilitiesCdb(length), buffer.data()));
    std::copy_n(buffer.begin(), kCapabilitiesBytes, data.begin());
    return ok;
}

bool TCDROM::Identify(std::array<std::uint8_t, kInquiryBytes>& data) {
    return IsSuccess(Send(InquiryCdb(), data.data()));
}

bool TCDROM::ReadToc(TocBuffer& toc) {
    toc.Clear();
    if (!IsSuccess(Send(ReadTocMsfCdb(), toc.Data()))) return false;
    // Which session each track belongs to: the full TOC, else the session
    // information; a drive that answers neither leaves them unknown.
    std::vector<std::uint8_t> full(kFullTocBytes);
    if (IsSuccess(Send(ReadFullTocCdb(), full.data())) && toc.ReadFullToc(full.data(), full.size())) return true;
    std::array<std::uint8_t, kSessionInfoBytes> info{};
    if (IsSuccess(Send(ReadSessionInfoCdb(), info.data()))) toc.ReadSessionInfo(info.data(), info.size());
    return true;
}

bool TCDROM::ReadSectors(std::int32_t lba, int count, std::uint8_t* buffer) {
    const auto cdb = ReadCdb(ReadCommand(), lba, count);
    if (!cdb) return false;
    return IsSuccess(Send(*cdb, buffer));
}

void TCDROM::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (current_ >= 0) {
        StopPlay();
        LockTray(false);
    }
    spti_.Close();
    aspi_.Unload();
}

}  // namespace sv
