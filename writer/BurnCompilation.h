// The burn compilation: the ordered list of sound files that become the
// tracks of an audio CD, each with its length decoded to CD audio.
//
// A row knows its file (directory + name), its decoded length in bytes of
// 44.1 kHz 16-bit stereo audio and its image index (2 when added, 1 once the
// writer has burned it). The caption column is the row number, 1-based. The
// list holds at most 99 rows, the track count of a CD. Everything the burn
// window shows under the list (time, size, file count, the orange time panel
// from 76 minutes) is computed here; the window only displays it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sv {

inline constexpr int kMaxCompilationRows = 99;
inline constexpr int kImageIndexAdded = 2;
inline constexpr int kImageIndexBurned = 1;
// Sources below this sample rate are not taken.
inline constexpr std::uint32_t kMinCompilationSampleRate = 11025;
// The time panel's colour once the total reaches 76 minutes: a light orange,
// as 0x00BBGGRR.
inline constexpr std::uint32_t kTooLongColorBgr = 6593260;
inline constexpr int kTooLongMinutes = 76;
// From this many minutes, Start asks whether to go on (R79).
inline constexpr int kLengthQuestionMinutes = 79;

// "MM:SS:FF" of a sector count (75 frames a second); every part has at least
// two digits, the minutes more when needed.
std::string SectorsMsfText(std::uint64_t sectors);
// "%2.2f Mb" of bytes / 1048576, with a '.' whatever the locale.
std::string MebibytesText(std::uint64_t bytes);
// A panel of the status bar: hint, ":  ", value.
std::string PanelText(const std::string& hint, const std::string& value);

struct CompilationRow {
    std::string fileName;   // without directory
    std::string directory;  // ends in '/'
    std::uint32_t bytes = 0;  // decoded length as CD audio
    int imageIndex = kImageIndexAdded;

    std::string SourcePath() const { return directory + fileName; }
    std::string TimeText() const { return SectorsMsfText(bytes / 2352); }
    std::string SizeText() const { return MebibytesText(bytes); }
};

// Why a file was or was not added. The burn window shows no message for any
// of these; they let callers and tests tell the cases apart.
enum class AddFileResult {
    Added,
    ListFull,     // 99 rows already
    Missing,      // no such file (or not a regular file)
    Unsupported,  // not .wav, .mp3, .ogg or .wma
    CannotOpen,   // the decoder refused it
    RateTooLow,   // below 11025 Hz
    Empty,        // decodes to 0 bytes
    BadName,      // a line break in the path: it could not stand in a project file
};

struct CompilationTotals {
    std::uint64_t bytes = 0;
    std::uint64_t sectors = 0;  // bytes div 2352
    int files = 0;
    std::string timeText;  // MM:SS:FF of the sectors
    std::string sizeText;  // "%2.2f Mb"
    bool tooLong = false;          // minutes >= 76: the time panel turns orange
    bool askBeforeStart = false;   // minutes >= 79: Start asks R79 first
};

class BurnCompilation {
public:
    // Adds one sound file as the last row. The decoder is chosen by the
    // lower-cased extension; the sample rate is the source's own (for a WAV
    // file the rate in its format chunk, before conversion).
    AddFileResult AddFile(const std::string& path);
    // Adds each path in order (files chosen in the dialog, files dropped on
    // the window). Returns the number of rows added.
    int AddFiles(const std::vector<std::string>& paths);
    // Adds the .wav, .mp3 and .ogg files of `folder` and of its subfolders,
    // depth first, entries in name order; folders whose name begins with '.'
    // are not searched, and a folder reached twice (links) only once.
    // Returns the number of rows added.
    int AddFolder(const std::string& folder);

    int Count() const { return static_cast<int>(rows_.size()); }
    bool Empty() const { return rows_.empty(); }
    const std::vector<CompilationRow>& Rows() const { return rows_; }
    const CompilationRow& Row(int i) const { return rows_.at(static_cast<std::size_t>(i)); }

    // Removes row `i` (the Delete key); false when there is no such row.
    bool Remove(int i);
    void Clear() { rows_.clear(); }
    // Dragging row `from` onto row `onto`: the row moves before `onto`, or to
    // the end when `onto` is the last row. Returns the row's new index (to be
    // selected), or -1 when either index is out of range.
    int DropRowOnto(int from, int onto);
    // Swaps row `i` with its neighbour; returns the row's new index, or -1
    // when it cannot move.
    int MoveUp(int i);
    int MoveDown(int i);
    // The writer marks a burned track.
    void SetImageIndex(int i, int imageIndex);

    CompilationTotals Totals() const;
    // One full source path per row, in burn order.
    std::vector<std::string> SourcePaths() const;
    // Track starts in sectors: [0] = 0, [i+1] = [i] + row i's bytes div 2352;
    // Count() + 1 entries.
    std::vector<std::uint32_t> TrackStarts() const;

private:
    void AddFolderRecursive(const std::string& folder, std::vector<std::string>& visited, int& added);

    std::vector<CompilationRow> rows_;
};

// The decoded length of a sound file as CD audio, in bytes, the way a row gets
// it: the decoder's length at its own rate scaled to 176400 bytes a second.
// `sampleRate` receives the source's rate. The result code is Added when the
// file can be taken.
AddFileResult ProbeSoundFile(const std::string& path, std::uint32_t& bytes, std::uint32_t& sampleRate);
// The sectors of a track of `bytes` of CD audio, a partial last sector
// counted whole.
std::uint32_t TrackSectors(std::uint32_t bytes);

}  // namespace sv
