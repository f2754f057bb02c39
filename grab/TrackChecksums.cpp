#include "grab/TrackChecksums.h"

#include <algorithm>

#include "encoders/ApeFormat.h"
#include "grab/RipSession.h"

namespace sv {

namespace {
constexpr std::uint64_t kSamplesPerSector = 588;
}

TrackChecksums::TrackChecksums(std::uint64_t totalSamples, bool firstTrack, bool lastTrack)
    : first_(firstTrack ? 5 * kSamplesPerSector - 1 : 0),
      end_(lastTrack && totalSamples > 5 * kSamplesPerSector ? totalSamples - 5 * kSamplesPerSector
                                                              : (lastTrack ? 0 : totalSamples)) {}

void TrackChecksums::Add(const std::uint8_t* pcm, std::size_t bytes) {
    crc_ = ape::Crc32(pcm, bytes, crc_);
    for (std::size_t i = 0; i + 4 <= bytes; i += 4, ++seen_) {
        if (seen_ < first_ || seen_ >= end_) continue;
        // One stereo sample as a 32-bit word: left in the low half.
        const std::uint32_t value = static_cast<std::uint32_t>(pcm[i]) | static_cast<std::uint32_t>(pcm[i + 1]) << 8 |
                                    static_cast<std::uint32_t>(pcm[i + 2]) << 16 |
                                    static_cast<std::uint32_t>(pcm[i + 3]) << 24;
        const std::uint64_t product = (seen_ + 1) * value;
        v1_ += static_cast<std::uint32_t>(product);
        v2_ += static_cast<std::uint32_t>(product) + static_cast<std::uint32_t>(product >> 32);
    }
}


DiscChecksums::DiscChecksums(const DISC_INFO& disc, std::int32_t start, std::int32_t end, int readOffset) {
    const int first = FirstAudioTrack(disc), last = LastAudioTrack(disc);
    const std::int32_t leadOut = disc.TrackCopy(disc.TrackCount()).StartLba();
    for (int row = 0; row < disc.TrackCount() && row + 1 < DISC_INFO::kMaxTracks; ++row) {
        const TRACK_INFO t = disc.TrackCopy(row);
        // A track ends where the next one starts (the whole-disc range ends an
        // audio session's last track at its own end).
        const std::int32_t from = t.StartLba(), to = std::min(disc.TrackCopy(row + 1).StartLba(), end);
        if (!t.AudioFlag() || from < start || to <= from) continue;
        const auto bytes = [&](std::int32_t lba) { return static_cast<std::uint64_t>(lba - start) * kSectorBytes; };
        parts_.push_back({row, bytes(from), bytes(to), AudioReader::SamplesOutsideDisc(from, to, readOffset, leadOut),
                          TrackChecksums(static_cast<std::uint64_t>(to - from) * kSamplesPerSector, row == first,
                                         row == last)});
    }
}

void DiscChecksums::Add(const std::uint8_t* pcm, std::size_t bytes) {
    const std::uint64_t blockEnd = position_ + bytes;
    for (Part& p : parts_) {
        const std::uint64_t from = std::max(p.first, position_), to = std::min(p.end, blockEnd);
        if (to > from) p.sums.Add(pcm + (from - position_), static_cast<std::size_t>(to - from));
    }
    position_ = blockEnd;
}

std::vector<TrackCheck> DiscChecksums::Checks(const std::string& file) const {
    std::vector<TrackCheck> checks;
    for (const Part& p : parts_) {
        if (p.sums.Samples() * 4 != p.end - p.first) continue;  // not read to its end
        TrackCheck check;
        check.row = p.row;
        check.crc32 = p.sums.Crc32();
        check.arV1 = p.sums.V1();
        check.arV2 = p.sums.V2();
        check.silencedSamples = p.silenced;
        check.file = file;
        checks.push_back(check);
    }
    return checks;
}

std::vector<TrackCheck> ReadTrackChecks(AudioReader& reader, const DISC_INFO& disc,
                                        const std::function<bool(int row, int percent)>& progress) {
    std::vector<TrackCheck> checks;
    const int first = FirstAudioTrack(disc), last = LastAudioTrack(disc);
    const std::int32_t leadOut = disc.TrackCopy(disc.TrackCount()).StartLba();
    for (int row = 0; row < disc.TrackCount() && row + 1 < DISC_INFO::kMaxTracks; ++row) {
        if (!disc.TrackCopy(row).AudioFlag()) continue;
        const std::int32_t start = disc.TrackCopy(row).StartLba(), end = disc.TrackCopy(row + 1).StartLba();
        if (end <= start) continue;
        TrackChecksums sums(static_cast<std::uint64_t>(end - start) * kSamplesPerSector, row == first, row == last);
        for (std::int32_t position = start; position < end;) {
            const int count = reader.BlockCount(position, end);
            reader.ExtractBlock(position, count, start, end);
            sums.Add(reader.Buffer(), static_cast<std::size_t>(count) * kSectorBytes);
            position += count;
            if (progress && !progress(row, RipPercent(start, end, position))) return checks;
        }
        TrackCheck check;
        check.row = row;
        check.crc32 = sums.Crc32();
        check.arV1 = sums.V1();
        check.arV2 = sums.V2();
        check.silencedSamples = AudioReader::SamplesOutsideDisc(start, end, reader.ReadOffset(), leadOut);
        checks.push_back(check);
    }
    return checks;
}

}  // namespace sv
