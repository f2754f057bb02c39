#include "cdrom/DiscImage.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "base/Msf.h"

namespace sv {

bool SectorFile::Read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::memset(out, 0, n);
    if (!in_.is_open()) {
        in_.open(path_, std::ios::binary);
        if (!in_) return false;
    }
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    if (!in_) return true;  // past the end: zeros
    in_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
    if (in_.bad()) {
        in_.close();
        return false;
    }
    return true;
}

void DiscImage::AddFileRegion(std::int32_t lba, std::int32_t count, std::shared_ptr<SectorFile> file,
                              std::uint64_t offset, std::uint64_t fileBytes, int sectorBytes) {
    if (count <= 0) return;
    Region r;
    r.sectorBytes = sectorBytes;
    r.lba = lba;
    r.count = count;
    r.file = std::move(file);
    r.offset = offset;
    r.fileBytes = fileBytes;
    regions_.push_back(std::move(r));
}

void DiscImage::AddSilenceRegion(std::int32_t lba, std::int32_t count) {
    if (count <= 0) return;
    Region r;
    r.lba = lba;
    r.count = count;
    regions_.push_back(std::move(r));
}

void DiscImage::AddGeneratedRegion(std::int32_t lba, std::int32_t count, Generator gen) {
    if (count <= 0) return;
    Region r;
    r.lba = lba;
    r.count = count;
    r.gen = std::move(gen);
    regions_.push_back(std::move(r));
}

const DiscImage::Region* DiscImage::RegionAt(std::int32_t lba) const {
    for (const Region& r : regions_)
        if (lba >= r.lba && lba - r.lba < r.count) return &r;
    return nullptr;
}

bool DiscImage::Addressable(std::int32_t lba) const { return lba >= 0 && lba < leadout_ && RegionAt(lba) != nullptr; }

int DiscImage::TrackIndexAt(std::int32_t lba) const {
    if (!Addressable(lba)) return -1;
    int found = -1;
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        if (lba >= tracks_[i].index0Lba) found = static_cast<int>(i);
    return found;
}

DiscImage::SectorResult DiscImage::ReadSector(std::int32_t lba, std::uint8_t* out) const {
    if (lba < 0 || lba >= leadout_) return SectorResult::OutOfRange;
    const Region* r = RegionAt(lba);
    if (!r) return SectorResult::OutOfRange;
    const std::int32_t i = lba - r->lba;
    if (r->gen) {
        r->gen(i, out);
        return SectorResult::Ok;
    }
    if (!r->file) {
        std::memset(out, 0, kSectorBytes);
        return SectorResult::Ok;
    }
    const auto size = static_cast<std::uint64_t>(r->sectorBytes);
    const std::uint64_t pos = static_cast<std::uint64_t>(i) * size;
    std::memset(out, 0, kSectorBytes);
    // A cooked data sector gets the raw sector's sync pattern and header
    // (address and mode) in front of its user data.
    std::size_t at = 0;
    if (r->sectorBytes != kSectorBytes) {
        std::memset(out + 1, 0xFF, 10);
        const Msf msf = FramesToMsf(lba + 150);
        auto bcd = [](int v) { return static_cast<std::uint8_t>((v / 10) << 4 | (v % 10)); };
        out[12] = bcd(msf.m);
        out[13] = bcd(msf.s);
        out[14] = bcd(msf.f);
        out[15] = r->sectorBytes == 2048 ? 1 : 2;
        at = 16;
    }
    if (pos >= r->fileBytes) return SectorResult::Ok;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, r->fileBytes - pos));
    return r->file->Read(r->offset + pos, out + at, n) ? SectorResult::Ok : SectorResult::ReadError;
}

}  // namespace sv
