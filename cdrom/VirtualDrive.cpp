#include "cdrom/VirtualDrive.h"
#include "cdrom/Toc.h"

#include <algorithm>
#include <cstring>

#include "base/Bytes.h"
#include "base/Msf.h"

namespace sv {

namespace {

void PutPadded(std::uint8_t* out, std::size_t width, const std::string& text) {
    std::memset(out, ' ', width);
    std::memcpy(out, text.data(), std::min(width, text.size()));
}

constexpr int kCheck = kScsiCheckCondition;

}  // namespace

void VirtualDrive::PutMsf(std::uint8_t* out, std::int32_t absFrames) {
    const Msf m = FramesToMsf(absFrames);
    out[0] = 0;
    out[1] = m.m;
    out[2] = m.s;
    out[3] = m.f;
}

void VirtualDrive::Answer(const std::uint8_t* response, std::size_t size, std::uint32_t allocation, std::uint8_t* data,
                          std::uint32_t dataLength) {
    const std::size_t n = std::min<std::size_t>({size, allocation, dataLength});
    if (data && n) std::memcpy(data, response, n);
}

std::optional<int> VirtualDrive::HandleMore(const std::uint8_t*, int, std::uint8_t*, std::uint32_t, Sense&) {
    return std::nullopt;
}

VirtualDrive::VirtualDrive(std::shared_ptr<const DiscImage> disc, IClock& clock, VirtualDriveModel model)
    : disc_(std::move(disc)), clock_(clock), model_(std::move(model)) {}

int VirtualDrive::Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                          ScsiDirection direction, SenseData& sense) {
    std::lock_guard<std::mutex> lock(mutex_);
    sense.fill(0);
    Sense s;
    int status = kScsiGood;
    if (cdbLength < 6 || cdbLength > 16) {
        s = {0x05, 0x20, 0x00};
        status = kCheck;
    } else if (faults_.mediumChanged && cdb[0] != 0x12) {
        faults_.mediumChanged = false;
        s = {0x06, 0x28, 0x00};
        status = kCheck;
    } else {
        // A block shorter than its command's group length reads as zeros past its end.
        std::uint8_t block[16] = {};
        std::memcpy(block, cdb, static_cast<std::size_t>(cdbLength));
        status = Handle(block, cdbLength, data, dataLength, s);
    }
    if (status == kCheck) {
        sense[0] = 0x70;
        sense[2] = s.key;
        sense[7] = 10;
        sense[12] = s.asc;
        sense[13] = s.ascq;
    }
    RecordedCommand rc;
    rc.cdb.assign(cdb, cdb + std::max(0, std::min(cdbLength, 16)));
    rc.direction = direction;
    rc.dataLength = dataLength;
    if (direction == ScsiDirection::Out && data && dataLength <= RecordedCommand::kMaxRecordedData)
        rc.dataOut.assign(data, data + dataLength);
    rc.status = status;
    rc.senseKey = s.key;
    rc.asc = s.asc;
    rc.ascq = s.ascq;
    log_.push_back(std::move(rc));
    return status;
}

bool VirtualDrive::MediumReady(Sense& s) const {
    if (trayOpen_) {
        s = {0x02, 0x3A, 0x02};
        return false;
    }
    if (!disc_) {
        s = {0x02, 0x3A, 0x01};
        return false;
    }
    if (faults_.notReady) {
        s = {0x02, 0x3A, 0x00};
        return false;
    }
    return true;
}

int VirtualDrive::Handle(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                         Sense& s) {
    if (const auto status = HandleMore(cdb, cdbLength, data, dataLength, s)) return *status;
    switch (cdb[0]) {
    case 0x00:  // TEST UNIT READY
        return MediumReady(s) ? kScsiGood : kCheck;
    case 0x12:  // INQUIRY
        {
            std::uint8_t r[96] = {};
            r[0] = 0x05;
            r[1] = 0x80;
            r[2] = 0x05;
            r[3] = 0x32;
            r[4] = 91;
            PutPadded(r + 8, 8, model_.vendor);
            PutPadded(r + 16, 16, model_.product);
            PutPadded(r + 32, 4, model_.revision);
            Answer(r, sizeof r, cdb[4], data, dataLength);
        }
        return kScsiGood;
    case 0x1B: {  // START STOP UNIT
        const bool loadEject = (cdb[4] & 0x02) != 0;
        const bool start = (cdb[4] & 0x01) != 0;
        if (loadEject && !start) {
            if (locked_) {
                s = {0x05, 0x53, 0x02};
                return kCheck;
            }
            playing_ = false;
            trayOpen_ = true;
        } else if (loadEject && start) {
            trayOpen_ = false;
        }
        return kScsiGood;
    }
    case 0x1E:  // PREVENT ALLOW MEDIUM REMOVAL
        locked_ = (cdb[4] & 0x03) != 0;
        return kScsiGood;
    case 0x2B: {  // SEEK(10)
        if (!MediumReady(s)) return kCheck;
        const auto lba = static_cast<std::int32_t>(LoadBE32(cdb + 2));
        if (lba < 0 || lba >= disc_->Leadout()) {
            s = {0x05, 0x21, 0x00};
            return kCheck;
        }
        playing_ = false;
        position_ = lba + kLbaBaseFrames;
        return kScsiGood;
    }
    case 0x42:  // READ SUB-CHANNEL
        if (!MediumReady(s)) return kCheck;
        if ((cdb[2] & 0x40) == 0 || cdb[3] != 1) {
            s = {0x05, 0x24, 0x00};
            return kCheck;
        }
        return ReadSubChannel(data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)));
    case 0x43:
        return ReadToc(cdb, data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)), s);
    case 0x47:
        return Play(cdb, s);
    case 0x4E:  // STOP PLAY/SCAN
        UpdatePlay();
        playing_ = false;
        completedUnreported_ = false;
        return kScsiGood;
    case 0x55:
        return ModeSelect(data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)), s);
    case 0x5A:
        return ModeSense(cdb, data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)), s);
    case 0xBB:  // SET CD SPEED
        speedKb_ = LoadBE16(cdb + 2);
        writeSpeedKb_ = LoadBE16(cdb + 4);
        return kScsiGood;
    case 0xBD:
        return MechanismStatus(data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 8)));
    default:
        break;
    }
    if (const auto command = IdentifyReadCdb(cdb, cdbLength)) {
        if (model_.readCommands & (1u << *command)) return Read(*command, cdb, data, dataLength, s);
        ++readRequests_;
    }
    s = {0x05, 0x20, 0x00};  // invalid command operation code
    return kCheck;
}

int VirtualDrive::ReadToc(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s) const {
    if (!MediumReady(s)) return kCheck;
    const int format = (cdb[2] & 0x0F) | (cdb[9] >> 6);
    const auto& tracks = disc_->Tracks();
    const int startTrack = cdb[6];
    if (format == 5 && !tracks.empty()) {  // CD-TEXT: the image's own packs, or its texts as packs
        std::vector<std::uint8_t> r = disc_->CdTextPacks();
        if (r.empty()) r = EncodeCdTextPacks(disc_->Text(), tracks.front().number, static_cast<int>(tracks.size()));
        if (r.empty()) {  // no CD-TEXT on the disc
            s = {0x05, 0x24, 0x00};
            return kCheck;
        }
        r.insert(r.begin(), kCdTextHeaderBytes, 0);
        StoreBE16(r.data(), static_cast<std::uint16_t>(r.size() - 2));
        Answer(r.data(), r.size(), len, data, len);
        return kScsiGood;
    }
    if (tracks.empty() || format > 2 || (format == 2 && !model_.fullToc) ||
        (format == 0 && startTrack > tracks.back().number && startTrack != 0xAA)) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    const bool msf = (cdb[1] & 0x02) != 0;
    std::vector<std::uint8_t> r(4);
    auto address = [&](std::uint8_t* at, std::int32_t lba) {
        if (msf) PutMsf(at, lba + kLbaBaseFrames);
        else StoreBE32(at, static_cast<std::uint32_t>(lba));
    };
    auto descriptor = [&](int number, std::uint8_t control, std::int32_t lba) {
        std::uint8_t d[8] = {};
        d[1] = static_cast<std::uint8_t>(0x10 | control);
        d[2] = static_cast<std::uint8_t>(number);
        address(d + 4, lba);
        r.insert(r.end(), d, d + 8);
    };
    const int lastSession = tracks.back().session;
    if (format == 0) {
        r[2] = static_cast<std::uint8_t>(tracks.front().number);
        r[3] = static_cast<std::uint8_t>(tracks.back().number);
        for (const ImageTrack& t : tracks)
            if (t.number >= startTrack && startTrack != 0xAA) descriptor(t.number, t.Control(), t.startLba);
        descriptor(0xAA, tracks.back().Control(), disc_->Leadout());
    } else if (format == 1) {  // session information: the first track of the last session
        r[2] = static_cast<std::uint8_t>(tracks.front().session);
        r[3] = static_cast<std::uint8_t>(lastSession);
        for (const ImageTrack& t : tracks) {
            if (t.session != lastSession) continue;
            descriptor(t.number, t.Control(), t.startLba);
            break;
        }
    } else {  // the full TOC: per session its first and last track, its lead-out, its tracks
        r[2] = static_cast<std::uint8_t>(tracks.front().session);
        r[3] = static_cast<std::uint8_t>(lastSession);
        auto point = [&](int session, std::uint8_t control, int pointCode, std::int32_t absFrames, bool asTrack) {
            std::uint8_t d[11] = {};
            d[0] = static_cast<std::uint8_t>(session);
            d[1] = static_cast<std::uint8_t>(0x10 | control);
            d[3] = static_cast<std::uint8_t>(pointCode);
            if (asTrack) {
                PutMsf(d + 7, absFrames);  // byte 7 is zero, then PMIN, PSEC, PFRAME
            } else {
                d[8] = static_cast<std::uint8_t>(absFrames);  // a track number in PMIN
            }
            r.insert(r.end(), d, d + 11);
        };
        for (int session = tracks.front().session; session <= lastSession; ++session) {
            const ImageTrack* first = nullptr;
            const ImageTrack* last = nullptr;
            for (const ImageTrack& t : tracks)
                if (t.session == session) {
                    if (!first) first = &t;
                    last = &t;
                }
            if (!first) continue;
            // The session ends where the next one's gap begins, or at the lead-out.
            std::int32_t end = disc_->Leadout();
            for (const ImageTrack& t : tracks)
                if (t.session > session) {
                    end = t.index0Lba - SessionGapAfter(session);
                    break;
                }
            point(session, first->Control(), 0xA0, first->number, false);
            point(session, last->Control(), 0xA1, last->number, false);
            point(session, last->Control(), 0xA2, end + kLbaBaseFrames, true);
            for (const ImageTrack& t : tracks)
                if (t.session == session) point(session, t.Control(), t.number, t.startLba + kLbaBaseFrames, true);
        }
    }
    StoreBE16(r.data(), static_cast<std::uint16_t>(r.size() - 2));
    Answer(r.data(), r.size(), len, data, len);
    return kScsiGood;
}

void VirtualDrive::UpdatePlay() {
    if (!playing_) return;
    const std::int64_t elapsed = clock_.NowMs() - playStartedMs_;
    const std::int64_t pos = playStart_ + elapsed * 75 / 1000;
    if (pos >= playEnd_) {
        playing_ = false;
        completedUnreported_ = true;
        position_ = playEnd_;
    } else {
        position_ = static_cast<std::int32_t>(pos);
    }
}

int VirtualDrive::ReadSubChannel(std::uint8_t* data, std::uint32_t len) {
    UpdatePlay();
    std::uint8_t r[16] = {};
    if (playing_) {
        r[1] = 0x11;
    } else if (completedUnreported_) {
        r[1] = 0x13;
        completedUnreported_ = false;
    } else {
        r[1] = 0x15;
    }
    StoreBE16(r + 2, 12);
    r[4] = 1;
    const int ti = disc_->TrackIndexAt(position_ - kLbaBaseFrames);
    const ImageTrack* t = ti >= 0 ? &disc_->Tracks()[static_cast<std::size_t>(ti)] : nullptr;
    r[5] = static_cast<std::uint8_t>(0x10 | (t ? t->Control() : 0));
    r[6] = static_cast<std::uint8_t>(t ? t->number : 0);
    r[7] = static_cast<std::uint8_t>(t && position_ - kLbaBaseFrames >= t->startLba ? 1 : 0);
    PutMsf(r + 8, position_);
    PutMsf(r + 12, t ? std::max(0, position_ - kLbaBaseFrames - t->startLba) : 0);
    Answer(r, sizeof r, len, data, len);
    return kScsiGood;
}

int VirtualDrive::Play(const std::uint8_t* cdb, Sense& s) {
    if (!MediumReady(s)) return kCheck;
    const int start = MsfToFrames(Msf{cdb[3], cdb[4], cdb[5]});
    const int end = MsfToFrames(Msf{cdb[6], cdb[7], cdb[8]});
    if (start > end) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    if (start < kLbaBaseFrames || end > disc_->Leadout() + kLbaBaseFrames ||
        !disc_->Addressable(start - kLbaBaseFrames)) {
        s = {0x05, 0x21, 0x00};
        return kCheck;
    }
    const int ti = disc_->TrackIndexAt(start - kLbaBaseFrames);
    if (ti >= 0 && !disc_->Tracks()[static_cast<std::size_t>(ti)].Audio()) {
        s = {0x05, 0x64, 0x00};
        return kCheck;
    }
    completedUnreported_ = false;
    position_ = start;
    if (start == end) {
        playing_ = false;
        return kScsiGood;
    }
    playing_ = true;
    playStart_ = start;
    playEnd_ = end;
    playStartedMs_ = clock_.NowMs();
    return kScsiGood;
}

int VirtualDrive::ModeSelect(const std::uint8_t* data, std::uint32_t len, Sense& s) {
    if (!data || len < 8 + 2) {
        s = {0x05, 0x1A, 0x00};  // parameter list length error
        return kCheck;
    }
    const std::uint8_t* page = data + 8;
    const std::uint32_t pageBytes = len - 8;
    const int code = page[0] & 0x3F;
    if (code == 0x0E && pageBytes >= 16 && page[1] == 14) {
        volume_[0] = page[9];
        volume_[1] = page[11];
        return kScsiGood;
    }
    if (code == 0x08 && pageBytes >= 12 && page[1] == 10) {
        readCacheDisabled_ = (page[2] & 0x01) != 0;
        writeCacheEnabled_ = (page[2] & 0x04) != 0;
        return kScsiGood;
    }
    s = {0x05, 0x26, 0x00};  // invalid field in parameter list
    return kCheck;
}

int VirtualDrive::ModeSense(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s) const {
    if ((cdb[2] & 0x3F) != 0x2A) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    // A writer's page also carries its write speeds (bytes 18-21).
    const std::size_t pageBytes = model_.writesCd ? 22 : 20;
    std::uint8_t r[8 + 22] = {};
    StoreBE16(r, static_cast<std::uint16_t>(8 + pageBytes - 2));
    std::uint8_t* p = r + 8;
    p[0] = 0x2A;
    p[1] = static_cast<std::uint8_t>(pageBytes - 2);
    p[2] = 0x03;  // reads CD-R and CD-RW
    p[3] = model_.writesCd ? static_cast<std::uint8_t>(0x03 | (model_.testWrite ? 0x04 : 0)) : 0x00;
    p[4] = model_.writesCd ? 0xC1 : 0x41;  // audio play, multisession; a writer: buffer-underrun protection
    p[5] = 0x03;  // CD-DA commands, accurate stream
    p[6] = 0x29;  // lock, eject, tray loader
    p[7] = 0x03;  // separate volume and mute
    StoreBE16(p + 8, 7056);
    StoreBE16(p + 10, 256);
    StoreBE16(p + 12, model_.bufferKb);
    StoreBE16(p + 14, static_cast<std::uint16_t>(std::min(speedKb_, 7056)));
    if (model_.writesCd) {
        StoreBE16(p + 18, model_.maxWriteKb);
        StoreBE16(p + 20, static_cast<std::uint16_t>(std::min<int>(writeSpeedKb_, model_.maxWriteKb)));
    }
    Answer(r, 8 + pageBytes, len, data, len);
    return kScsiGood;
}

int VirtualDrive::MechanismStatus(std::uint8_t* data, std::uint32_t len) {
    UpdatePlay();
    std::uint8_t r[8] = {};
    r[1] = static_cast<std::uint8_t>((trayOpen_ ? 0x10 : 0) | (playing_ ? 0x20 : 0));
    const std::uint32_t lba = static_cast<std::uint32_t>(std::max(0, position_ - kLbaBaseFrames));
    r[2] = static_cast<std::uint8_t>(lba >> 16);
    r[3] = static_cast<std::uint8_t>(lba >> 8);
    r[4] = static_cast<std::uint8_t>(lba);
    if (data) std::memset(data, 0, len);
    Answer(r, sizeof r, len, data, len);
    return kScsiGood;
}

int VirtualDrive::Read(int command, const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s) {
    ++readRequests_;
    if (!MediumReady(s)) return kCheck;
    std::int32_t lba = 0;
    int count = 0;
    DecodeReadCdb(command, cdb, lba, count);
    if (faults_.readDelayMs > 0) clock_.SleepMs(faults_.readDelayMs);
    if (count == 0) return kScsiGood;
    if (lba < 0 || lba + count > disc_->Leadout()) {
        s = {0x05, 0x21, 0x00};
        return kCheck;
    }
    if (!data || len < static_cast<std::uint32_t>(count) * kSectorBytes) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    for (int i = 0; i < count; ++i) {
        const std::int32_t sector = lba + i;
        std::uint8_t* out = data + static_cast<std::size_t>(i) * kSectorBytes;
        auto bad = faults_.unreadable.find(sector);
        if (bad != faults_.unreadable.end()) {
            if (bad->second > 0 && --bad->second == 0) faults_.unreadable.erase(bad);
            s = {0x03, 0x11, 0x00};
            return kCheck;
        }
        const int ti = disc_->TrackIndexAt(sector);
        if (command == 0 && ti >= 0 && !disc_->Tracks()[static_cast<std::size_t>(ti)].Audio()) {
            s = {0x05, 0x64, 0x00};  // illegal mode for this track
            return kCheck;
        }
        switch (model_.readOffset == 0 ? disc_->ReadSector(sector, out) : ReadShifted(sector, out)) {
        case DiscImage::SectorResult::Ok:
            break;
        case DiscImage::SectorResult::OutOfRange:
            s = {0x05, 0x21, 0x00};
            return kCheck;
        case DiscImage::SectorResult::ReadError:
            s = {0x03, 0x11, 0x00};
            return kCheck;
        }
    }
    ApplyFaults(lba, count, data);
    return kScsiGood;
}

DiscImage::SectorResult VirtualDrive::ReadShifted(std::int32_t sector, std::uint8_t* out) const {
    constexpr std::int64_t kPerSector = kSectorBytes / 4;
    // The disc's samples [first, first + 588) land in this sector.
    const std::int64_t first = sector * kPerSector - model_.readOffset;
    std::uint8_t disc[kSectorBytes];
    std::memset(out, 0, kSectorBytes);
    for (std::int64_t s = first - ((first % kPerSector) + kPerSector) % kPerSector; s < first + kPerSector; s += kPerSector) {
        const auto lba = static_cast<std::int32_t>(s / kPerSector);
        if (lba < 0 || lba >= disc_->Leadout()) continue;  // outside the disc: silence
        const auto result = disc_->ReadSector(lba, disc);
        if (result != DiscImage::SectorResult::Ok) return result;
        // The overlap of disc sector `lba` with the wanted samples.
        const std::int64_t from = std::max(s, first), to = std::min(s + kPerSector, first + kPerSector);
        if (to > from)
            std::memcpy(out + (from - first) * 4, disc + (from - s) * 4, static_cast<std::size_t>(to - from) * 4);
    }
    return DiscImage::SectorResult::Ok;
}

void VirtualDrive::ApplyFaults(std::int32_t first, int count, std::uint8_t* data) {
    auto inside = [&](std::int32_t lba) { return lba >= first && lba < first + count; };
    auto sectorAt = [&](std::int32_t lba) { return data + static_cast<std::size_t>(lba - first) * kSectorBytes; };
    auto spend = [](auto& map, auto it) {
        if (it->second > 0 && --it->second == 0) return map.erase(it);
        return std::next(it);
    };
    for (auto it = faults_.zeroRuns.begin(); it != faults_.zeroRuns.end();) {
        if (!inside(it->lba)) {
            ++it;
            continue;
        }
        const int from = std::clamp(it->offset, 0, kSectorBytes);
        const int to = std::clamp(it->offset + it->length, from, kSectorBytes);
        std::memset(sectorAt(it->lba) + from, 0, static_cast<std::size_t>(to - from));
        if (it->reads > 0 && --it->reads == 0) it = faults_.zeroRuns.erase(it);
        else ++it;
    }
    for (auto it = faults_.mirrored.begin(); it != faults_.mirrored.end();) {
        if (!inside(it->first) || !inside(it->first + 1)) {
            ++it;
            continue;
        }
        const std::uint8_t* a = sectorAt(it->first);
        std::uint8_t* b = sectorAt(it->first + 1);
        for (int k = 0; k < kSectorBytes; ++k) b[k] = a[kSectorBytes - 1 - k];
        it = spend(faults_.mirrored, it);
    }
    for (auto it = faults_.noisy.begin(); it != faults_.noisy.end();) {
        if (!inside(it->first)) {
            ++it;
            continue;
        }
        std::uint8_t* p = sectorAt(it->first);
        ++noiseCounter_;
        for (int k = 0; k < kSectorBytes; ++k)
            p[k] ^= static_cast<std::uint8_t>((noiseCounter_ + static_cast<std::uint32_t>(k)) % 251 + 1);
        it = spend(faults_.noisy, it);
    }
}

void VirtualDrive::OpenTray() {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = false;
    trayOpen_ = true;
}

void VirtualDrive::CloseTray() {
    std::lock_guard<std::mutex> lock(mutex_);
    trayOpen_ = false;
}

void VirtualDrive::InsertDisc(std::shared_ptr<const DiscImage> disc) {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = false;
    completedUnreported_ = false;
    position_ = kLbaBaseFrames;
    disc_ = std::move(disc);
    trayOpen_ = false;
}

void VirtualDrive::RemoveDisc() {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_ = false;
    completedUnreported_ = false;
    disc_.reset();
    trayOpen_ = false;
}

bool VirtualDrive::TrayOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return trayOpen_;
}

bool VirtualDrive::HasDisc() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return disc_ != nullptr;
}

std::shared_ptr<const DiscImage> VirtualDrive::Disc() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return disc_;
}

void VirtualDrive::SetModel(const VirtualDriveModel& m) {
    std::lock_guard<std::mutex> lock(mutex_);
    model_ = m;
}

void VirtualDrive::SetFaults(const VirtualFaults& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = f;
}

VirtualFaults VirtualDrive::Faults() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

std::vector<RecordedCommand> VirtualDrive::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

void VirtualDrive::ClearCommands() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

int VirtualDrive::ReadRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return readRequests_;
}

int VirtualDrive::SpeedKb() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return speedKb_;
}

int VirtualDrive::WriteSpeedKb() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writeSpeedKb_;
}

bool VirtualDrive::Locked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return locked_;
}

std::uint8_t VirtualDrive::VolumeLeft() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return volume_[0];
}

std::uint8_t VirtualDrive::VolumeRight() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return volume_[1];
}

bool VirtualDrive::ReadCacheDisabled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return readCacheDisabled_;
}

bool VirtualDrive::WriteCacheEnabled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writeCacheEnabled_;
}

}  // namespace sv
