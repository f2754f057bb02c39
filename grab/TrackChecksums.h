// The checksums of a grabbed track, taken as its audio is read: the CRC-32 of
// the audio (what rip logs call the copy CRC) and the AccurateRip v1 and v2
// track checksums, which other people's rips of the same pressing are
// compared with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "cdrom/AudioReader.h"

namespace sv {

class TrackChecksums {
public:
    // `totalSamples` stereo samples make the track. The AccurateRip sums leave
    // out the first track's first 5 sectors but one sample and the last
    // track's last 5 sectors (a single track disc: both).
    TrackChecksums(std::uint64_t totalSamples, bool firstTrack, bool lastTrack);

    // The next `bytes` of the track's audio (CD audio, whole samples).
    void Add(const std::uint8_t* pcm, std::size_t bytes);

    std::uint32_t Crc32() const { return crc_; }
    std::uint32_t V1() const { return v1_; }
    std::uint32_t V2() const { return v2_; }
    std::uint64_t Samples() const { return seen_; }

private:
    std::uint64_t first_;  // the first sample counted (0-based)
    std::uint64_t end_;    // one past the last sample counted
    std::uint64_t seen_ = 0;
    std::uint32_t crc_ = 0, v1_ = 0, v2_ = 0;
};

struct TrackCheck;

// The checksums of every audio track inside one read of consecutive sectors
// (the whole-disc rip): the audio is handed over as it is read and each
// track's part goes to its own sums.
class DiscChecksums {
public:
    // Sectors [start, end) of `disc` will be read in order; `readOffset`
    // tells which samples lay outside the disc.
    DiscChecksums(const DISC_INFO& disc, std::int32_t start, std::int32_t end, int readOffset);
    void Add(const std::uint8_t* pcm, std::size_t bytes);
    // One check for each audio track that lay wholly inside the read, all
    // in `file`.
    std::vector<TrackCheck> Checks(const std::string& file) const;

private:
    struct Part {
        int row;
        std::uint64_t first, end;  // bytes into the read
        std::uint64_t silenced;
        TrackChecksums sums;
    };
    std::vector<Part> parts_;
    std::uint64_t position_ = 0;
};

// Reads every audio track of `disc` whole with `reader` (its method and read
// offset) and gives each one's checksums, writing nothing: the check of a
// disc or an image against other people's rips. `progress(row, percent)`
// is told how far it got and ends the reading when it returns false.
std::vector<TrackCheck> ReadTrackChecks(AudioReader& reader, const DISC_INFO& disc,
                                        const std::function<bool(int row, int percent)>& progress = {});

}  // namespace sv
