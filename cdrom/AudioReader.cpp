#include "cdrom/AudioReader.h"

#include <algorithm>
#include <cstring>

#include "base/Msf.h"

namespace sv {

const char* const kExtractMethodNames[4] = {
    "Быстрое копирование", "Быстрое чтение + коррекция шума", "Макc. 5  повторов + коррекция шума",
    "Макс.10 повторов + коррекция шума"};

ExtractionSettings ExtractionSettings::From(const TProgramSettings& s) {
    ExtractionSettings e;
    e.method = s.ExtractMethod();
    e.disableReadCache = s.DisableReadCache();
    e.sectorsPerRead = s.SectorsPerRead();
    return e;
}

AudioReader::AudioReader(TCDROM& cdrom, const ExtractionSettings& settings) : cdrom_(cdrom), settings_(settings) {
    n_ = settings_.sectorsPerRead <= 0 ? 26 : std::min(settings_.sectorsPerRead, 255);
    main_.assign(static_cast<std::size_t>(n_) * kSectorBytes, 0);
    // The compared methods need one more block; only its first block is ever used.
    if (settings_.method >= 2) compare_.assign(main_.size(), 0);
}

int AudioReader::BlockCount(std::int32_t position, std::int32_t rangeEnd) const {
    const std::int32_t left = rangeEnd - position;
    return left <= 0 ? 0 : static_cast<int>(std::min<std::int32_t>(n_, left));
}

bool AudioReader::InsideMargins(std::int32_t position, std::int32_t rangeStart, std::int32_t rangeEnd) {
    return position - rangeStart >= kMargin && rangeEnd - position > kMargin;
}

void AudioReader::SetReadOffset(int samples, std::int32_t leadOut) {
    offset_ = samples;
    leadOut_ = leadOut;
}

std::uint64_t AudioReader::SamplesOutsideDisc(std::int32_t start, std::int32_t end, int samples, std::int32_t leadOut) {
    constexpr std::int64_t kPerSector = kSectorBytes / 4;
    const std::int64_t first = start * kPerSector + samples;
    const std::int64_t last = end * kPerSector + samples;
    const std::int64_t discEnd = leadOut * kPerSector;
    std::int64_t outside = 0;
    if (first < 0) outside += std::min<std::int64_t>(last, 0) - first;
    if (last > discEnd) outside += last - std::max(first, discEnd);
    return static_cast<std::uint64_t>(std::max<std::int64_t>(outside, 0));
}

bool AudioReader::ReadRaw(std::int32_t lba, int count, std::uint8_t* out) {
    const bool ok = cdrom_.ReadSectors(lba, count, out);
    if (!ok) report_.readFailed = true;
    return ok;
}

bool AudioReader::Read(std::int32_t lba, int count, std::uint8_t* out) {
    if (offset_ == 0) return ReadRaw(lba, count, out);
    constexpr int kSamplesPerSector = kSectorBytes / 4;
    // Raw sectors [first, first + raw) hold the wanted samples, starting
    // `skip` bytes into the first one.
    const std::int32_t shift = offset_ >= 0 ? offset_ / kSamplesPerSector : -((-offset_ + kSamplesPerSector - 1) / kSamplesPerSector);
    const std::size_t skip = static_cast<std::size_t>(offset_ - shift * kSamplesPerSector) * 4;
    const std::int32_t first = lba + shift;
    const int raw = count + (skip > 0 ? 1 : 0);
    shifted_.assign(static_cast<std::size_t>(raw) * kSectorBytes, 0);
    // Only the part on the disc is read; the rest stays silent.
    const std::int32_t from = std::max<std::int32_t>(first, 0);
    const std::int32_t to = std::min<std::int32_t>(first + raw, leadOut_);
    bool ok = true;
    if (to > from) ok = ReadRaw(from, to - from, shifted_.data() + static_cast<std::size_t>(from - first) * kSectorBytes);
    std::memcpy(out, shifted_.data() + skip, static_cast<std::size_t>(count) * kSectorBytes);
    return ok;
}

bool AudioReader::ExtractBlock(std::int32_t position, int count, std::int32_t rangeStart, std::int32_t rangeEnd) {
    report_ = ExtractionReport{};
    count = std::clamp(count, 0, n_);
    if (count == 0) return true;
    const std::size_t bytes = static_cast<std::size_t>(count) * kSectorBytes;
    const bool inside = InsideMargins(position, rangeStart, rangeEnd);
    switch (settings_.method) {
    case 0:
        Read(position, count, main_.data());
        break;
    case 1:
        Read(position, count, main_.data());
        if (inside) NoiseCheck(position, count);
        break;
    case 2:
    case 3: {
        const int attempts = 5 * settings_.method - 5;
        for (int attempt = 1; attempt <= attempts; ++attempt) {
            report_.attempts = attempt;
            // Reading the next block first pushes the wanted one out of the
            // drive's cache, so the comparison sees two real reads.
            if (settings_.disableReadCache) cdrom_.ReadSectors(position + count, count, compare_.data());
            Read(position, count, compare_.data());
            Read(position, count, main_.data());
            if (std::memcmp(compare_.data(), main_.data(), bytes) == 0) {
                report_.matched = true;
                break;
            }
        }
        if (inside) {
            SilenceRepair(position, count);
            NoiseCheck(position, count);
        }
        break;
    }
    default:
        Read(position, count, main_.data());
        break;
    }
    return !report_.readFailed;
}

void AudioReader::SilenceRepair(std::int32_t position, int count) {
    for (int i = 0; i + 1 < count; ++i) {
        std::uint8_t* sector = main_.data() + static_cast<std::size_t>(i) * kSectorBytes;
        const auto zeros = std::count(sector, sector + kSectorBytes, std::uint8_t{0});
        if (zeros > kZeroByteLimit) {
            cdrom_.Seek(position + i);
            Read(position + i, 1, sector);
            ++report_.silenceRereads;
        }
    }
}

bool AudioReader::MirroredPair(const std::uint8_t* a, const std::uint8_t* b) {
    int equal = 0, unequal = 0;
    for (int k = 0; k < kSectorBytes; ++k) {
        if (a[kSectorBytes - 1 - k] == b[k]) {
            ++equal;
        } else if (++unequal > kMirrorDifferences) {
            return false;
        }
    }
    return equal > 0;
}

void AudioReader::NoiseCheck(std::int32_t position, int count) {
    for (int i = 0; i + 1 < count; ++i) {
        std::uint8_t* a = main_.data() + static_cast<std::size_t>(i) * kSectorBytes;
        std::uint8_t* b = a + kSectorBytes;
        if (!MirroredPair(a, b)) continue;
        cdrom_.SetSpeed(kNoiseSpeed);
        cdrom_.Seek(position + i);
        Read(position + i, 1, a);
        Read(position + i + 1, 1, b);
        ++report_.noiseRereads;
    }
}

void AudioReader::SpinUp() {
    std::vector<std::uint8_t> scratch(5 * kSectorBytes);
    for (int k = 0; k < 15; ++k) cdrom_.ReadSectors(150 + 5 * k, 5, scratch.data());
}

bool AudioReader::ApplyCacheMode() { return cdrom_.SetCacheMode(settings_.disableReadCache, false); }

}  // namespace sv
