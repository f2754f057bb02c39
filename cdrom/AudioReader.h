// Reading audio for a rip or for digital playback: blocks of SectorsPerRead
// sectors with the drive's read command and one of four extraction methods
// (a single read; a single read with the noise check; up to 5 or 10 compared
// reads with the silence repair and the noise check).
#pragma once

#include <cstdint>
#include <vector>

#include "base/ProgramSettings.h"
#include "cdrom/TCDROM.h"

namespace sv {

struct ExtractionSettings {
    int method = 0;              // ExtractMethod 0..3
    bool disableReadCache = false;
    int sectorsPerRead = 26;     // SectorsPerRead, 0 meaning 26
    static ExtractionSettings From(const TProgramSettings& s);
};

// The names the settings dialog shows for the four methods.
extern const char* const kExtractMethodNames[4];

// What the last extracted block went through (for progress and tests).
struct ExtractionReport {
    int attempts = 0;         // compared attempts (methods 2, 3)
    bool matched = false;     // two copies agreed
    int silenceRereads = 0;   // sectors read again by the silence repair
    int noiseRereads = 0;     // sector pairs read again by the noise check
    bool readFailed = false;  // some read of the block failed
};

class AudioReader {
public:
    static constexpr int kMargin = 150;
    static constexpr int kZeroByteLimit = 1176;   // more zero bytes than this: read the sector again
    static constexpr int kMirrorDifferences = 75; // more differing bytes than this: not a mirror
    static constexpr int kNoiseSpeed = 4;

    AudioReader(TCDROM& cdrom, const ExtractionSettings& settings);

    // Sectors per request (SectorsPerRead, 0 counting as 26, at most 255).
    int BlockSectors() const { return n_; }
    // Sectors of the block at `position` inside a range ending at `rangeEnd`.
    int BlockCount(std::int32_t position, std::int32_t rangeEnd) const;

    // Fills Buffer() with `count` sectors from `position` by the method.
    // `rangeStart` and `rangeEnd` bound the track (or disc range) being read
    // and decide where the repair and the noise check apply. Read failures
    // do not stop it; false when some read failed.
    bool ExtractBlock(std::int32_t position, int count, std::int32_t rangeStart, std::int32_t rangeEnd);
    std::uint8_t* Buffer() { return main_.data(); }
    const std::uint8_t* Buffer() const { return main_.data(); }
    const ExtractionReport& LastReport() const { return report_; }

    // 15 reads of 5 sectors at LBA 150 + 5k, thrown away.
    void SpinUp();
    // The drive's caching page as the settings want it for a grab.
    bool ApplyCacheMode();

    // Read offset correction: the drive delivers every sample `samples`
    // places early (a positive offset) or late, so each read takes the
    // sectors that hold the wanted samples and shifts them into place.
    // Samples before LBA 0 or from `leadOut` on, which drives refuse to read,
    // come out as silence.
    void SetReadOffset(int samples, std::int32_t leadOut);
    int ReadOffset() const { return offset_; }
    // How many samples of sectors [start, end) read with offset `samples`
    // lie outside the disc (and so are silence).
    static std::uint64_t SamplesOutsideDisc(std::int32_t start, std::int32_t end, int samples, std::int32_t leadOut);

    // The margin rule: a block gets the repair and the noise check only when
    // it starts at least 150 sectors into the range and more than 150 before its end.
    static bool InsideMargins(std::int32_t position, std::int32_t rangeStart, std::int32_t rangeEnd);
    // True when sector `b` mirrors sector `a` (a read backwards against b read
    // forwards differs in at most 75 bytes, with some byte equal).
    static bool MirroredPair(const std::uint8_t* a, const std::uint8_t* b);

private:
    void SilenceRepair(std::int32_t position, int count);
    void NoiseCheck(std::int32_t position, int count);
    bool Read(std::int32_t lba, int count, std::uint8_t* out);
    bool ReadRaw(std::int32_t lba, int count, std::uint8_t* out);

    TCDROM& cdrom_;
    ExtractionSettings settings_;
    int n_ = 26;
    std::vector<std::uint8_t> main_;
    std::vector<std::uint8_t> compare_;
    ExtractionReport report_;
    int offset_ = 0;
    std::int32_t leadOut_ = 0;
    std::vector<std::uint8_t> shifted_;  // raw sectors of an offset read
};

}  // namespace sv
