// The content of a disc as a virtual drive sees it: the tracks with their
// sessions and addresses, and where each sector's 2352 bytes come from (a
// region of a file, silence, or a generator). Addresses are logical block
// addresses: absolute frames - 150.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cdrom/CdText.h"

namespace sv {

enum class TrackMode : std::uint8_t { Audio, Mode1, Mode2 };

struct ImageTrack {
    int number = 1;
    TrackMode mode = TrackMode::Audio;
    int session = 1;
    std::int32_t startLba = 0;   // INDEX 01
    std::int32_t index0Lba = 0;  // INDEX 00 (== startLba without a pregap)
    bool Audio() const { return mode == TrackMode::Audio; }
    // CONTROL nibble of the track's TOC entry: 0 audio, 4 data.
    std::uint8_t Control() const { return Audio() ? 0x00 : 0x04; }
};

// A file that sectors are read from, shared by the regions that use it.
class SectorFile {
public:
    explicit SectorFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }
    // Reads `n` bytes at `offset`; bytes past the end of the file read as 0.
    // False when the file cannot be read at all.
    bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t n);

private:
    std::string path_;
    std::mutex mutex_;
    std::ifstream in_;
};

class DiscImage {
public:
    enum class SectorResult { Ok, OutOfRange, ReadError };
    using Generator = std::function<void(std::int32_t sectorInRegion, std::uint8_t* out)>;

    void SetDescription(std::string d) { description_ = std::move(d); }
    // What the image's reader wants the user to know (a file that ends in a
    // partial sector, ...); the image works all the same.
    void AddNote(std::string note) { notes_.push_back(std::move(note)); }
    const std::vector<std::string>& Notes() const { return notes_; }
    // The album title the image's sheet gives (its TITLE before any track).
    void SetAlbumTitle(std::string t) { albumTitle_ = std::move(t); }
    const std::string& AlbumTitle() const { return albumTitle_; }
    // The CD-TEXT the disc carries: its texts (from the sheet's TITLE,
    // PERFORMER and SONGWRITER lines), or raw packs (a CDTEXTFILE), which a
    // drive serves as they are.
    void SetCdText(CdText text) { cdText_ = std::move(text); }
    const CdText& Text() const { return cdText_; }
    void SetCdTextPacks(std::vector<std::uint8_t> packs) { cdTextPacks_ = std::move(packs); }
    const std::vector<std::uint8_t>& CdTextPacks() const { return cdTextPacks_; }
    const std::string& Description() const { return description_; }

    void AddTrack(const ImageTrack& t) { tracks_.push_back(t); }
    void SetLeadout(std::int32_t lba) { leadout_ = lba; }
    // `sectorBytes` is what one sector takes in the file: 2352 (audio and raw
    // data), 2048 (MODE1/2048 user data) or 2336 (MODE2/2336); shorter ones
    // read back as raw sectors with their sync pattern and header in front.
    void AddFileRegion(std::int32_t lba, std::int32_t count, std::shared_ptr<SectorFile> file, std::uint64_t offset,
                       std::uint64_t fileBytes, int sectorBytes = 2352);
    void AddSilenceRegion(std::int32_t lba, std::int32_t count);
    void AddGeneratedRegion(std::int32_t lba, std::int32_t count, Generator gen);

    const std::vector<ImageTrack>& Tracks() const { return tracks_; }
    std::int32_t Leadout() const { return leadout_; }
    int Sessions() const { return tracks_.empty() ? 0 : tracks_.back().session; }

    // The track that holds `lba` (from its INDEX 00 to the next track's),
    // or -1 (before the first track, in a session gap or past the lead-out).
    int TrackIndexAt(std::int32_t lba) const;
    // True when a region covers `lba`.
    bool Addressable(std::int32_t lba) const;
    // Reads one sector's 2352 bytes.
    SectorResult ReadSector(std::int32_t lba, std::uint8_t* out) const;

private:
    struct Region {
        std::int32_t lba = 0, count = 0;
        std::shared_ptr<SectorFile> file;
        std::uint64_t offset = 0, fileBytes = 0;  // file bytes the region may use (the rest reads as 0)
        int sectorBytes = 2352;
        Generator gen;
    };
    const Region* RegionAt(std::int32_t lba) const;

    std::string description_;
    std::vector<std::string> notes_;
    std::string albumTitle_;
    CdText cdText_;
    std::vector<std::uint8_t> cdTextPacks_;
    std::vector<ImageTrack> tracks_;
    std::vector<Region> regions_;
    std::int32_t leadout_ = 0;
};

}  // namespace sv
