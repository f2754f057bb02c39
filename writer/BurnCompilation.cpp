#include "writer/BurnCompilation.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>

#include "base/Msf.h"
#include "base/Text.h"
#include "decoders/Decoder.h"
#include "writer/CDDAStreamOut.h"
#include "decoders/MpegDecoder.h"
#include "formats/WavFile.h"

namespace sv {

namespace fs = std::filesystem;

std::string SectorsMsfText(std::uint64_t sectors) {
    const std::uint64_t parts[3] = {sectors / 4500, sectors / kFramesPerSecond % 60, sectors % kFramesPerSecond};
    std::string text;
    for (int i = 0; i < 3; ++i) {
        if (i) text += ':';
        if (parts[i] < 10) text += '0';
        text += std::to_string(parts[i]);
    }
    return text;
}

std::string MebibytesText(std::uint64_t bytes) {
    // to_chars does not follow the C locale, which a Qt program sets from the
    // user's (a Russian desktop would otherwise get "1,50 Mb").
    char buf[48];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(bytes) / 1048576.0,
                                 std::chars_format::fixed, 2);
    return std::string(buf, r.ptr) + " Mb";
}

std::string PanelText(const std::string& hint, const std::string& value) { return hint + ":  " + value; }

namespace {

// The rate the source itself has. The WAV decoder always reports the 44100 Hz
// it converts to, so a WAV file's rate comes from its format chunk.
std::uint32_t SourceSampleRate(const std::string& path, const TDecoder& decoder) {
    if (std::string_view(decoder.Name()) != "wav") return decoder.SampleRate();
    WavSource source;
    OpenWavSource(source, path, true);
    const std::uint32_t rate = source.IsOpen() ? source.Format().SamplesPerSec() : 0;
    CloseWavSource(source);
    return rate;
}

}  // namespace

std::uint32_t TrackSectors(std::uint32_t bytes) {
    return static_cast<std::uint32_t>((std::uint64_t{bytes} + kSectorBytes - 1) / kSectorBytes);
}

AddFileResult ProbeSoundFile(const std::string& path, std::uint32_t& bytes, std::uint32_t& sampleRate) {
    bytes = 0;
    sampleRate = 0;
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return AddFileResult::Missing;
    // Not every file the decoders read: the factory also knows ".wmv" and ".asf".
    if (!StreamableSoundFile(path)) return AddFileResult::Unsupported;
    std::unique_ptr<TDecoder> decoder = CreateDecoderForFile(path);
    if (!decoder) return AddFileResult::Unsupported;
    if (!decoder->Open(path)) {
        decoder->Release();
        return AddFileResult::CannotOpen;
    }
    sampleRate = SourceSampleRate(path, *decoder);
    if (sampleRate < kMinCompilationSampleRate) {
        decoder->Release();
        return AddFileResult::RateTooLow;
    }
    const std::uint32_t ms = decoder->GetLength();
    const std::uint64_t basis = decoder->ByteRate();
    std::uint64_t size = basis ? std::uint64_t{decoder->TotalBytes()} * kCdBytesPerSecond / basis : 0;
    // Decoders that count whole seconds (MPEG audio, Windows Media) would
    // make the track shorter than its audio and cut its end: the length in
    // milliseconds, rounded up to whole sample frames, keeps all of it.
    std::uint64_t byLength = (std::uint64_t{ms} * kCdBytesPerSecond / 4 + 999) / 1000 * 4;
    if (const auto* mpeg = dynamic_cast<const TMPEGDecoder*>(decoder.get()); mpeg && sampleRate > 0)
        byLength = (mpeg->FrameSamples() * 44100 + sampleRate - 1) / sampleRate * 4;
    size = std::max(size, byLength);
    decoder->Close();
    decoder->Release();
    // A row's length is a u32; a source longer than that (over 6 hours of
    // CD audio) is kept at the largest length rather than wrapped round.
    bytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, std::numeric_limits<std::uint32_t>::max()));
    return bytes ? AddFileResult::Added : AddFileResult::Empty;
}

AddFileResult BurnCompilation::AddFile(const std::string& path) {
    if (Count() >= kMaxCompilationRows) return AddFileResult::ListFull;
    if (path.find_first_of("\r\n") != std::string::npos) return AddFileResult::BadName;
    std::uint32_t bytes = 0, rate = 0;
    const AddFileResult result = ProbeSoundFile(path, bytes, rate);
    if (result != AddFileResult::Added) return result;
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) full = path;
    CompilationRow row;
    row.fileName = full.filename().string();
    row.directory = full.parent_path().string();
    if (row.directory.empty() || row.directory.back() != '/') row.directory += '/';
    row.bytes = bytes;
    row.imageIndex = kImageIndexAdded;
    rows_.push_back(std::move(row));
    return AddFileResult::Added;
}

int BurnCompilation::AddFiles(const std::vector<std::string>& paths) {
    int added = 0;
    for (const std::string& p : paths)
        if (AddFile(p) == AddFileResult::Added) ++added;
    return added;
}

int BurnCompilation::AddFolder(const std::string& folder) {
    std::vector<std::string> visited;
    int added = 0;
    AddFolderRecursive(folder, visited, added);
    return added;
}

void BurnCompilation::AddFolderRecursive(const std::string& folder, std::vector<std::string>& visited, int& added) {
    if (Count() >= kMaxCompilationRows) return;  // nothing more could be added
    std::error_code ec;
    const std::string canonical = fs::canonical(folder, ec).string();
    if (ec || std::find(visited.begin(), visited.end(), canonical) != visited.end()) return;
    visited.push_back(canonical);

    struct Entry {
        std::string name;
        bool directory;
    };
    std::vector<Entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        entries.push_back({it->path().filename().string(), it->is_directory(typeError)});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });

    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (const Entry& e : entries) {
        if (e.directory) {
            if (e.name.empty() || e.name[0] != '.') AddFolderRecursive(base + e.name, visited, added);
            continue;
        }
        const std::string ext = AsciiLower(fs::path(e.name).extension().string());
        if (ext == ".wav" || ext == ".mp3" || ext == ".ogg")
            if (AddFile(base + e.name) == AddFileResult::Added) ++added;
    }
}

bool BurnCompilation::Remove(int i) {
    if (i < 0 || i >= Count()) return false;
    rows_.erase(rows_.begin() + i);
    return true;
}

int BurnCompilation::DropRowOnto(int from, int onto) {
    if (from < 0 || from >= Count() || onto < 0 || onto >= Count()) return -1;
    // A copy goes before the target (after it when the target is the last
    // row), then the dragged row is deleted.
    const CompilationRow copy = rows_[static_cast<std::size_t>(from)];
    const int insertAt = onto == Count() - 1 ? Count() : onto;
    rows_.insert(rows_.begin() + insertAt, copy);
    const int original = from < insertAt ? from : from + 1;
    rows_.erase(rows_.begin() + original);
    return original < insertAt ? insertAt - 1 : insertAt;
}

int BurnCompilation::MoveUp(int i) {
    if (i < 1 || i >= Count()) return -1;
    std::swap(rows_[static_cast<std::size_t>(i)], rows_[static_cast<std::size_t>(i - 1)]);
    return i - 1;
}

int BurnCompilation::MoveDown(int i) {
    if (i < 0 || i + 1 >= Count()) return -1;
    std::swap(rows_[static_cast<std::size_t>(i)], rows_[static_cast<std::size_t>(i + 1)]);
    return i + 1;
}

void BurnCompilation::SetImageIndex(int i, int imageIndex) {
    if (i >= 0 && i < Count()) rows_[static_cast<std::size_t>(i)].imageIndex = imageIndex;
}

CompilationTotals BurnCompilation::Totals() const {
    CompilationTotals t;
    for (const CompilationRow& r : rows_) t.bytes += r.bytes;
    t.sectors = t.bytes / kSectorBytes;
    t.files = Count();
    t.timeText = SectorsMsfText(t.sectors);
    t.sizeText = MebibytesText(t.bytes);
    const std::uint64_t minutes = t.sectors / 4500;
    t.tooLong = minutes >= kTooLongMinutes;
    t.askBeforeStart = minutes >= kLengthQuestionMinutes;
    return t;
}

std::vector<std::string> BurnCompilation::SourcePaths() const {
    std::vector<std::string> paths;
    for (const CompilationRow& r : rows_) paths.push_back(r.SourcePath());
    return paths;
}

std::vector<std::uint32_t> BurnCompilation::TrackStarts() const {
    // A track holds all of its audio: a last partial sector is completed
    // with silence, never cut off.
    std::vector<std::uint32_t> starts{0};
    for (const CompilationRow& r : rows_) starts.push_back(starts.back() + TrackSectors(r.bytes));
    return starts;
}

}  // namespace sv
