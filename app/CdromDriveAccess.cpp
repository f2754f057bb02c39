#include "app/CdromDriveAccess.h"

#include "cdrom/DiscRead.h"
#include "cdrom/DriveInfoLines.h"

namespace sv {

CdromDriveAccess::CdromDriveAccess(const DriveEnvironment& env, IUserDialogs* dialogs, bool russian)
    : cdrom_(std::make_unique<TCDROM>(std::make_shared<DriveCatalog>(env))) {
    cdrom_->Initialise(kTransportAspi, dialogs, russian);
}

CdromDriveAccess::~CdromDriveAccess() { cdrom_->Shutdown(); }

std::vector<std::string> CdromDriveAccess::DriveNames() {
    std::vector<std::string> labels;
    for (int i = 0; i < cdrom_->DriveCount(); ++i) labels.push_back(cdrom_->DriveLabel(i));
    return labels;
}

bool CdromDriveAccess::SelectDrive(int index, int readCommand) { return cdrom_->SelectDrive(index, readCommand); }

void CdromDriveAccess::SetUseSpti(bool spti) {
    std::uint8_t value = spti ? 1 : 0;
    cdrom_->ApplyTransport(value);
}

bool CdromDriveAccess::UseSpti() const { return cdrom_->Transport() == kTransportSpti; }

bool CdromDriveAccess::TestUnitReady() { return cdrom_->IsReady(); }

bool CdromDriveAccess::ReadDisc(const TProgramSettings& settings, DISC_INFO& disc, IUserDialogs& dialogs,
                                const AlbumHook& album) {
    TocBuffer toc;
    lastToc_.clear();
    lastCdText_.reset();
    AlbumCacheHook hook;
    if (album) {
        hook = [&album](DISC_INFO& d, const TocBuffer& t) {
            return album(d, std::span<const std::uint8_t>(t.Data(), kTocBytes));
        };
    }
    const bool present = sv::ReadDisc(*cdrom_, settings, disc, toc, dialogs, hook);
    if (present) {
        lastToc_.assign(toc.Data(), toc.Data() + kTocBytes);
        lastCdText_ = cdrom_->ReadCdText(disc.FirstTrackNumber(), disc.TrackCount());
    }
    return present;
}

std::vector<std::string> CdromDriveAccess::DriveInfo(const std::string& yes, const std::string& no) {
    std::array<std::uint8_t, kCapabilitiesBytes> caps{};
    cdrom_->Capabilities(caps);
    const int current = cdrom_->CurrentDrive();
    return DriveInfoLines(cdrom_->DriveTitle(current), std::span<const std::uint8_t, 26>(caps.data(), 26), yes, no);
}

int CdromDriveAccess::AddImage(const std::string& path, std::string& error) {
    return cdrom_->AddImageDrive(path, true, error);
}

std::optional<std::vector<DetectionRow>> CdromDriveAccess::DetectReadCommands(int transport, int drive, int sectors,
                                                                              IUserDialogs& dialogs, IEventPump* pump) {
    DetectionRequest request;
    request.transport = transport;
    request.drive = drive;
    request.sectors = sectors;
    return sv::DetectReadCommands(*cdrom_, request, [this] { return cdrom_->IsReady(); }, dialogs, pump);
}

TrayState CdromDriveAccess::Tray() {
    switch (cdrom_->MechanismState()) {
    case kMechanismDoorOpen: return TrayState::DoorOpen;
    case kMechanismIdle: return TrayState::DoorClosedIdle;
    case kMechanismFailed: return TrayState::Unknown;
    default: return TrayState::Busy;
    }
}

void CdromDriveAccess::Eject() { cdrom_->EjectLoad(true); }
void CdromDriveAccess::Load() { cdrom_->EjectLoad(false); }
void CdromDriveAccess::StopPlay() { cdrom_->StopPlay(); }
void CdromDriveAccess::PlayMsf(Msf start, Msf end) { cdrom_->PlayMsf(start, end); }
bool CdromDriveAccess::PlayPosition(Msf& position, int& audioStatus) { return cdrom_->Position(position, audioStatus); }
void CdromDriveAccess::SetDriveVolume(int volume) { cdrom_->SetVolume(volume); }
void CdromDriveAccess::LockTray(bool lock) { cdrom_->LockTray(lock); }
void CdromDriveAccess::SetSpeed(int speed) { cdrom_->SetSpeed(speed); }

}  // namespace sv
