#include "convert/Converter.h"

extern "C" {
#include <libavformat/avformat.h>
}
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/Language.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "convert/ConvertRules.h"
#include "decoders/AviAudio.h"
#include "decoders/MpegDecoder.h"
#include "decoders/OggDecoder.h"
#include "decoders/WmaDecoder.h"
#include "encoders/Encoders.h"
#include "formats/WavFile.h"

namespace sv {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSourceTypes = 5;
constexpr const char* kWmaRateMessage = "Input file must have samplerate = 44100Hz";

// The direction's source list.
SourceType SourceOf(int direction) { return ConvertDirections()[static_cast<std::size_t>(direction)].source; }

bool WindowsMediaDirection(int direction) { return direction == 2 || direction == 3; }
bool EncodeDirection(int direction) { return direction >= 6 && direction <= 9; }

// The output format of an encoding direction: 6, 7, 8, 9 -> MP3, WMA, Ogg Vorbis, FLAC.
std::uint8_t EncodeFormatOf(int direction) {
    return direction == 9 ? std::uint8_t{kFormatFlac} : static_cast<std::uint8_t>(direction - 5);
}

// The settings a batch changes, saved when it starts and put back when it
// ends, so that a conversion never leaves the user's choices altered.
struct EncoderSettingsSnapshot {
    std::uint8_t outputFormat = 0;
    bool encodeFlag = false;
    bool normalize = false;
    bool useLame = false;
    std::array<std::uint8_t, TProgramSettings::kLameConfigWidth> lame{};

    explicit EncoderSettingsSnapshot(const TProgramSettings& s)
        : outputFormat(s.OutputFormat()), encodeFlag(s.EncodeFlag()), normalize(s.Normalize()),
          useLame(s.UseLameEncoder()) {
        std::copy_n(s.Data() + TProgramSettings::kLameConfig, lame.size(), lame.begin());
    }
    void Restore(TProgramSettings& s) const {
        s.SetOutputFormat(outputFormat);
        s.SetEncodeFlag(encodeFlag);
        s.SetNormalize(normalize);
        s.SetUseLameEncoder(useLame);
        std::copy(lame.begin(), lame.end(), s.Data() + TProgramSettings::kLameConfig);
    }
};

// An output written under a hidden name beside its target and given the
// target's name (replacing a file of that name) only when it is complete, so
// that a failed or cancelled conversion leaves nothing half-written and an
// older file of that name survives the failure.
class PartialOutput {
public:
    explicit PartialOutput(const std::string& target) : target_(target) {
        const fs::path t(target);
        std::string folder = t.parent_path().string();
        if (!folder.empty()) folder += '/';
        temp_ = folder + ".sornaval-convert-" + std::to_string(getpid()) + t.extension().string();
    }
    ~PartialOutput() { Abandon(); }
    PartialOutput(const PartialOutput&) = delete;
    PartialOutput& operator=(const PartialOutput&) = delete;

    const std::string& Path() const { return temp_; }
    bool Commit() {
        std::error_code ec;
        fs::rename(temp_, target_, ec);
        committed_ = !ec;
        return committed_;
    }
    void Abandon() {
        if (committed_) return;
        std::error_code ec;
        fs::remove(temp_, ec);
    }

private:
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

// The ID3v1 tag at the end of a file (its last 128 bytes, beginning "TAG"),
// or nothing.
std::vector<std::uint8_t> TrailingId3v1(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 128) return {};
    std::vector<std::uint8_t> tag(128);
    in.seekg(size - 128);
    if (!in.read(reinterpret_cast<char*>(tag.data()), 128)) return {};
    if (std::memcmp(tag.data(), "TAG", 3) != 0) return {};
    return tag;
}

// The ID3v2 tag at the start of the bytes before an MP3 file's first frame
// (header, body and footer by the tag's own size), or nothing.
std::vector<std::uint8_t> LeadingId3v2(const std::vector<std::uint8_t>& leading) {
    if (leading.size() < 10 || std::memcmp(leading.data(), "ID3", 3) != 0) return {};
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (leading[static_cast<std::size_t>(i)] & 0x80) return {};
        size = (size << 7) | leading[static_cast<std::size_t>(i)];
    }
    size += 10;
    if (leading[5] & 0x10) size += 10;
    if (size > leading.size()) return {};
    return {leading.begin(), leading.begin() + static_cast<std::ptrdiff_t>(size)};
}

// The bit rate of an MP3 file in kbit/s: the first frame's, or for a file
// with a VBR header (LAME writes one into constant-rate files too) the mean
// of its frame and byte counts taken to the nearest standard bit rate, so that
// a 128 kbit/s file whose header counts its tags reads as 128.
std::uint32_t SourceKbps(const TMPEGDecoder& decoder) {
    const MPEGHeader& h = decoder.Header();
    if (!(h.vbr && h.xingFrames && h.xingBytes && h.samplesPerFrame && h.sampleRate)) return decoder.Bitrate();
    const double seconds = double(h.xingFrames) * h.samplesPerFrame / h.sampleRate;
    const double mean = double(h.xingBytes) * 8 / seconds / 1000;
    static constexpr std::uint32_t kStandard[] = {8,   16,  24,  32,  40,  48,  56,  64,  80,
                                                  96,  112, 128, 144, 160, 192, 224, 256, 320};
    std::uint32_t best = kStandard[0];
    for (std::uint32_t k : kStandard)
        if (std::abs(double(k) - mean) < std::abs(double(best) - mean)) best = k;
    return best;
}

enum class Outcome { Done, Copied, Failed, Cancelled };
enum class RemoveWhich { All, Unchecked, Checked };

}  // namespace

const std::array<ConvertDirection, kConvertDirections>& ConvertDirections() {
    static const std::array<ConvertDirection, kConvertDirections> kDirections = {{
        {"MP3    -> WAVE", SourceType::Mp3, ".wav"},
        {"MP3    -> MP3", SourceType::Mp3, ""},
        {"WMA   -> WAVE", SourceType::WindowsMedia, ".wav"},
        {"WMA   -> MP3", SourceType::WindowsMedia, ".mp3"},
        {"AVI     -> MP3/WAV", SourceType::Avi, ".mp3/.wav"},
        {"OGG   -> WAV", SourceType::Ogg, ".wav"},
        {"WAVE -> MP3", SourceType::Wav, ".mp3"},
        {"WAVE -> WMA", SourceType::Wav, ".wma"},
        {"WAVE -> OGG", SourceType::Wav, ".ogg"},
        {"WAVE -> FLAC", SourceType::Wav, ".flac"},
    }};
    return kDirections;
}

std::vector<std::string> ReencodeBitrateItems() {
    std::vector<std::string> items;
    for (int kbps : kReencodeBitrates) items.push_back(std::to_string(kbps) + "kBit/s");
    return items;
}

std::optional<SourceType> SourceTypeOf(const std::string& path) {
    const std::string ext = AsciiLower(fs::path(path).extension().string());
    if (ext == ".wav") return SourceType::Wav;
    if (ext == ".mp3") return SourceType::Mp3;
    if (ext == ".avi") return SourceType::Avi;
    if (ext == ".wma" || ext == ".wmv" || ext == ".asf") return SourceType::WindowsMedia;
    if (ext == ".ogg") return SourceType::Ogg;
    return std::nullopt;
}

struct TConverter::Impl {
    struct Entry {
        std::string path;
        std::shared_ptr<TagRecord> tag;  // kept with the file while it is listed
    };

    Impl(TProgramSettings& s, TEncoders& e, IUserDialogs& d, IEventPump& p, IConvertView& v, std::string temp,
         std::string word)
        : settings(s), encoders(e), dialogs(d), pump(p), view(v), tempFolder(std::move(temp)),
          progressWord(std::move(word)) {}

    TProgramSettings& settings;
    TEncoders& encoders;
    IUserDialogs& dialogs;
    IEventPump& pump;
    IConvertView& view;
    std::string tempFolder;
    std::string progressWord;
    std::array<std::vector<Entry>, kSourceTypes> lists;
    std::vector<ConvertRow> rows;
    std::vector<std::string> tempFiles;

    // The running batch: the user's cancel, the row at work and its progress
    // text.
    bool cancelled = false;
    int row = -1;
    int lastPercent = -1;
    std::string prefix;

    std::vector<Entry>& List(SourceType t) { return lists[static_cast<std::size_t>(t)]; }

    void SetStatus(int r, const std::string& text) {
        rows[static_cast<std::size_t>(r)].status = text;
        view.RowStatusChanged(r, text);
    }
    void SetCheck(int r, bool on) {
        if (rows[static_cast<std::size_t>(r)].checked == on) return;
        rows[static_cast<std::size_t>(r)].checked = on;
        view.RowCheckChanged(r, on);
    }
    Outcome Fail(int message) {
        SetStatus(row, LangMessage(message));
        return Outcome::Failed;
    }
    void StartStep(const std::string& stepPrefix) {
        prefix = stepPrefix;
        lastPercent = -1;
    }

    // Every operation's progress routine; false once the user cancelled.
    bool Progress(std::uint64_t done, std::uint64_t total) {
        const int percent = ProgressPercent(done, total);
        if (percent != lastPercent) {
            lastPercent = percent;
            SetStatus(row, ProgressStatus(prefix, percent, progressWord));
        }
        pump.ProcessPendingEvents();
        return !cancelled;
    }

    static ConvertRow RowFor(const Entry& e) {
        const fs::path p(e.path);
        ConvertRow r;
        r.path = e.path;
        r.caption = p.filename().string();
        r.folder = WithTrailingSlash(p.parent_path().string());
        r.status = LangMessage(59);
        r.tag = e.tag;
        return r;
    }
    void Rebuild(int direction) {
        rows.clear();
        for (const Entry& e : List(SourceOf(direction))) rows.push_back(RowFor(e));
        view.RowsChanged();
    }

    // Removes rows with their list entries; row i is entry i of the list.
    void Remove(int direction, RemoveWhich which) {
        auto& list = List(SourceOf(direction));
        std::vector<ConvertRow> keptRows;
        std::vector<Entry> keptEntries;
        for (std::size_t i = 0; i < rows.size() && i < list.size(); ++i) {
            if (which == RemoveWhich::All || (which == RemoveWhich::Checked) == rows[i].checked) continue;
            keptRows.push_back(rows[i]);
            keptEntries.push_back(list[i]);
        }
        list = std::move(keptEntries);
        rows = std::move(keptRows);
        view.RowsChanged();
    }

    Outcome PumpDecoder(TDecoder& decoder, std::uint64_t expected,
                        const std::function<bool(const std::uint8_t*, std::uint32_t)>& sink);
    Outcome DecodeToWav(TDecoder& decoder, const std::string& output);
    Outcome Reencode(const std::string& output, int bitrateIndex);
    Outcome EncodeWav(int direction, const std::string& output, bool deleteSource);
    Outcome ExtractAvi(const std::string& outputWithoutExtension);
    Outcome WindowsMedia(int direction, const std::string& output);
};

TConverter::TConverter(TProgramSettings& settings, TEncoders& encoders, IUserDialogs& dialogs, IEventPump& pump,
                       IConvertView& view, std::string tempFolder, std::string progressWord)
    : impl_(std::make_unique<Impl>(settings, encoders, dialogs, pump, view, std::move(tempFolder),
                                   std::move(progressWord))),
      settings_(settings) {
    encoders.SetSettings(&settings_);
    // A folder written by the old program ("C:\") names nothing here.
    outputFolder = settings.ConvertOutputDir();
    if (outputFolder.find('\\') != std::string::npos) outputFolder.clear();
    keepSourceLocation = settings.ConvertKeepSourceDir();
    deleteSources = settings.ConvertDeleteSource();
    bitrateIndex = std::min<int>(settings.ConvertBitrateIndex(), int{kReencodeBitrates.size()} - 1);
    direction_ = std::min<int>(settings.ConvertDirection(), kConvertDirections - 1);
    if (!impl_->tempFolder.empty()) {
        std::error_code ec;
        fs::create_directories(impl_->tempFolder, ec);
    }
    impl_->Rebuild(direction_);
}

TConverter::~TConverter() {
    std::error_code ec;
    for (const std::string& f : impl_->tempFiles) fs::remove(f, ec);
    // Only an emptied folder goes; whatever else was put there stays.
    if (!impl_->tempFolder.empty()) fs::remove(impl_->tempFolder, ec);
}

std::optional<std::string> TConverter::OpenRefusal() { return SimulatedMissingDecoder(); }

bool TConverter::WindowsMediaAvailable() { return av_find_input_format("asf") != nullptr; }

bool TConverter::SetDirection(int direction) {
    if (running_ || direction < 0 || direction >= kConvertDirections) return false;
    direction_ = direction;
    if (direction == 2 && !WindowsMediaAvailable())
        impl_->dialogs.ShowMessage(LangMessage(60), MessageIcon::Information);
    impl_->Rebuild(direction);
    return true;
}

bool TConverter::AddFile(const std::string& path) {
    if (running_) return false;
    const auto type = SourceTypeOf(path);
    if (!type) return false;
    if (*type == SourceType::WindowsMedia && !WindowsMediaAvailable()) return false;
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) return false;
    full = full.lexically_normal();
    auto& list = impl_->List(*type);
    const std::string text = full.string();
    for (const auto& e : list)
        if (e.path == text) return false;
    list.push_back({text, nullptr});
    if (*type == SourceOf(direction_)) {
        // The rows there keep their statuses and checks.
        impl_->rows.push_back(Impl::RowFor(list.back()));
        impl_->view.RowsChanged();
    }
    return true;
}

int TConverter::AddFolder(const std::string& folder) {
    if (running_) return 0;
    std::error_code ec;
    std::vector<std::string> found;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_directory(ec)) {
            if (!name.empty() && name[0] == '.') it.disable_recursion_pending();
            continue;
        }
        const auto type = SourceTypeOf(name);
        if (type && *type != SourceType::Ogg && it->is_regular_file(ec)) found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    int added = 0;
    for (const auto& f : found) added += AddFile(f) ? 1 : 0;
    return added;
}

const std::vector<ConvertRow>& TConverter::Rows() const { return impl_->rows; }

void TConverter::SetChecked(int row, bool checked) {
    if (row < 0 || row >= static_cast<int>(impl_->rows.size())) return;
    impl_->SetCheck(row, checked);
}

void TConverter::ToggleChecked(int row) {
    if (row < 0 || row >= static_cast<int>(impl_->rows.size())) return;
    impl_->SetCheck(row, !impl_->rows[static_cast<std::size_t>(row)].checked);
}

void TConverter::CheckAll(bool checked) {
    for (int i = 0; i < static_cast<int>(impl_->rows.size()); ++i) impl_->SetCheck(i, checked);
}

void TConverter::RemoveAll() {
    if (!running_) impl_->Remove(direction_, RemoveWhich::All);
}
void TConverter::RemoveUnchecked() {
    if (!running_) impl_->Remove(direction_, RemoveWhich::Unchecked);
}
void TConverter::RemoveChecked() {
    if (!running_) impl_->Remove(direction_, RemoveWhich::Checked);
}

std::shared_ptr<TagRecord> TConverter::TagForEditing(int selectedRow) {
    if (!EncodeDirection(direction_)) return nullptr;
    auto& rows = impl_->rows;
    int r = selectedRow;
    if (r == -1)
        for (std::size_t i = 0; i < rows.size() && r == -1; ++i)
            if (rows[i].checked) r = static_cast<int>(i);
    if (r < 0 || r >= static_cast<int>(rows.size())) return nullptr;
    ConvertRow& row = rows[static_cast<std::size_t>(r)];
    if (!row.tag) {
        row.tag = std::make_shared<TagRecord>();
        row.tag->SetPresent(true);
        row.tag->SetTitle(row.caption);
        auto& list = impl_->List(SourceOf(direction_));
        if (static_cast<std::size_t>(r) < list.size()) list[static_cast<std::size_t>(r)].tag = row.tag;
    }
    return row.tag;
}

void TConverter::CancelCommand() {
    if (!running_ || impl_->cancelled) return;
    if (impl_->dialogs.AskYesNo(LangMessage(68), MessageIcon::Question)) impl_->cancelled = true;
}

void TConverter::Cancel() {
    if (running_) impl_->cancelled = true;
}

void TConverter::StoreSettings() {
    settings_.SetConvertOutputDir(outputFolder);
    settings_.SetConvertKeepSourceDir(keepSourceLocation);
    settings_.SetConvertDeleteSource(deleteSources);
    settings_.SetConvertBitrateIndex(static_cast<std::uint8_t>(std::clamp(bitrateIndex, 0, 7)));
    settings_.SetConvertDirection(static_cast<std::uint8_t>(direction_));
}

// Reads the decoder to its end, handing every block to `sink` (false: the
// output could not be written, R62), with progress against `expected` bytes.
// The decoder's length is an estimate, so an early end within
// DecodedCompletely's allowance counts as the whole file; a longer one is R63.
Outcome TConverter::Impl::PumpDecoder(TDecoder& decoder, std::uint64_t expected,
                                      const std::function<bool(const std::uint8_t*, std::uint32_t)>& sink) {
    std::vector<std::uint8_t> buffer(std::size_t{decoder.ReadSize()} * 2);
    std::uint64_t done = 0;
    for (;;) {
        if (!Progress(done, expected)) return Outcome::Cancelled;
        const std::uint32_t n = decoder.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (n == 0)
            return DecodedCompletely(done, expected, decoder.SampleRate(), decoder.Channels(), 16) ? Outcome::Done
                                                                                                   : Fail(63);
        if (!sink(buffer.data(), n)) return Fail(62);
        done += n;
    }
}

// MP3 or Ogg Vorbis to a WAV file of the decoder's rate and channels.
Outcome TConverter::Impl::DecodeToWav(TDecoder& decoder, const std::string& output) {
    const ConvertRow& r = rows[static_cast<std::size_t>(row)];
    if (!decoder.Open(r.path)) return Fail(61);
    const std::uint32_t rate = decoder.SampleRate();
    const std::uint32_t channels = decoder.Channels();
    const std::uint32_t bits = 16;
    const std::uint64_t expected = std::uint64_t{decoder.GetLength() / 1000} * rate * channels * bits / 8;
    const WAVEFORMATEX format = WAVEFORMATEX::Pcm(rate, static_cast<std::uint16_t>(channels), bits);
    PartialOutput part(output);
    std::FILE* file = CreateWav(part.Path(), format);
    if (!file) return Fail(62);
    std::uint64_t written = 0;
    const Outcome pumped = PumpDecoder(decoder, expected, [&](const std::uint8_t* pcm, std::uint32_t n) {
        written += n;
        return std::fwrite(pcm, 1, n, file) == n;
    });
    if (pumped != Outcome::Done) {
        std::fclose(file);
        return pumped;
    }
    decoder.Close();
    if (!CloseWav(file, written, format) || !part.Commit()) return Fail(62);
    return Outcome::Done;
}

// An MP3 file re-encoded by LAME at the chosen lower bit rate, keeping its
// ID3v2 tag in front and its ID3v1 tag at the end.
Outcome TConverter::Impl::Reencode(const std::string& output, int bitrateIndex) {
    const ConvertRow& r = rows[static_cast<std::size_t>(row)];
    const std::vector<std::uint8_t> id3v1 = TrailingId3v1(r.path);
    TMPEGDecoder decoder;
    decoder.SetKeepLeadingData(true);
    if (!decoder.Open(r.path)) return Fail(61);
    const int kbps = kReencodeBitrates[static_cast<std::size_t>(std::clamp(bitrateIndex, 0, 7))];
    if (static_cast<std::uint32_t>(kbps) >= SourceKbps(decoder)) return Fail(64);

    settings.SetOutputFormat(kFormatMp3);
    settings.SetUseLameEncoder(true);
    settings.SetNormalize(false);
    settings.SetLameVbrEnabled(false);
    settings.SetLameBitrateIndex(kbps);  // LAME takes a value above 15 as kbit/s
    // A named preset carries its own bit rate; the plain quality levels do not.
    if (settings.LamePreset() < 0 || settings.LamePreset() > 2) settings.SetLamePreset(0);

    const std::uint32_t rate = decoder.SampleRate();
    const std::uint32_t channels = decoder.Channels();
    const std::uint64_t expected = std::uint64_t{decoder.GetLength() / 1000} * rate * channels * 2;
    encoders.SetInputFormat(WAVEFORMATEX::Pcm(rate, static_cast<std::uint16_t>(channels), 16));
    const std::vector<std::uint8_t> id3v2 = LeadingId3v2(decoder.LeadingData());
    if (!id3v2.empty()) encoders.SetRawTag(id3v2.data(), static_cast<std::uint32_t>(id3v2.size()));
    PartialOutput part(output);
    if (!encoders.Open(nullptr, part.Path())) {
        encoders.Close();
        return Fail(62);
    }
    const Outcome pumped = PumpDecoder(decoder, expected, [&](const std::uint8_t* pcm, std::uint32_t n) {
        return encoders.EncodeChunk(pcm, n);
    });
    if (pumped != Outcome::Done) {
        encoders.Close();
        return pumped;
    }
    decoder.Close();
    if (!encoders.Close()) return Fail(62);
    if (!id3v1.empty()) {
        std::FILE* f = std::fopen(part.Path().c_str(), "ab");
        const bool ok = f && std::fwrite(id3v1.data(), 1, id3v1.size(), f) == id3v1.size();
        if (f && std::fclose(f) != 0) return Fail(62);
        if (!ok) return Fail(62);
    }
    if (!part.Commit()) return Fail(62);
    return Outcome::Done;
}

// A WAV file through the encoder framework. MP3 data in a WAV file going to
// MP3 is copied as it is; any other format than 44100 Hz 16-bit PCM is first
// converted into a temporary CD-format WAV file.
Outcome TConverter::Impl::EncodeWav(int direction, const std::string& output, bool deleteSource) {
    const ConvertRow& r = rows[static_cast<std::size_t>(row)];
    const int format = EncodeFormatOf(direction);
    WavSource source;
    const bool lame = format == kFormatMp3 && settings.UseLameEncoder();
    const int code = OpenWavSource(source, r.path, !lame);
    if (!source.IsOpen() || (code != kWavAccepted && code != kWavNotAccepted)) return Fail(61);
    const WAVEFORMATEX f = source.Format();

    if (f.FormatTag() == kWaveFormatMpegLayer3 && format == kFormatMp3) {
        CloseWavSource(source);
        std::error_code ec;
        // An existing file of that name is left alone.
        if (fs::exists(output, ec)) return Fail(62);
        PartialOutput part(output);
        if (!fs::copy_file(r.path, part.Path(), ec) || ec || !part.Commit()) return Fail(62);
        SetStatus(row, LangMessage(0));
        return Outcome::Copied;
    }

    std::string encodeSource = r.path;
    std::string temp;
    if (!(f.FormatTag() == kWaveFormatPcm && f.SamplesPerSec() == 44100 && f.BitsPerSample() == 16 &&
          f.Channels() <= 2)) {
        StartStep("decoding WAV ");
        std::error_code ec;
        fs::create_directories(tempFolder, ec);
        temp = WithTrailingSlash(tempFolder) + r.caption;
        source.targetName = temp;
        tempFiles.push_back(temp);
        const bool converted = ConvertWavToCdFormat(source, false, false,
                                                    [this](std::uint64_t done, std::uint64_t total, bool& cancel) {
                                                        cancel = !Progress(done, total);
                                                    });
        if (cancelled) return Outcome::Cancelled;
        if (!converted) {
            CloseWavSource(source);
            dialogs.ShowMessage(LangMessage(67) + " " + r.path, MessageIcon::Warning);
            return Fail(63);
        }
        encodeSource = temp;
    }
    CloseWavSource(source);

    StartStep("");
    encoders.SetProgress([this](std::uint64_t done, std::uint64_t total, bool& cancel) {
        cancel = !Progress(done, total);
    });
    PartialOutput part(output);
    const EncodeResult result =
        encoders.EncodeFile(encodeSource, part.Path(), r.tag ? r.tag->Data() : nullptr);
    // The callback refers to this batch; nobody may call it later.
    encoders.SetProgress({});
    if (!temp.empty()) {
        std::error_code ec;
        fs::remove(temp, ec);
    }
    if (result == EncodeResult::Cancelled || cancelled) return Outcome::Cancelled;
    if (result == EncodeResult::SourceUnavailable) return Fail(61);
    if (result != EncodeResult::Done || !part.Commit()) return Fail(62);
    std::error_code ec;
    if (deleteSource && fs::exists(output, ec)) fs::remove(r.path, ec);
    return Outcome::Done;
}

// The sound track of an AVI file, as ".mp3" for MPEG Layer-3 sound and ".wav"
// with the stream's own format otherwise.
Outcome TConverter::Impl::ExtractAvi(const std::string& outputWithoutExtension) {
    ConvertRow& r = rows[static_cast<std::size_t>(row)];
    const AviAudioResult result = ExtractAviAudio(
        r.path, outputWithoutExtension,
        [this](std::uint64_t done, std::uint64_t total, bool& cancel) { cancel = !Progress(done, total); });
    switch (result.code) {
        case AviAudioCode::kDone:
            r.output = result.path;
            return Outcome::Done;
        case AviAudioCode::kCannotRead:
            return Fail(69);
        case AviAudioCode::kNoSound:
            return Fail(70);
        case AviAudioCode::kWriteFailed:
            return Fail(62);
        case AviAudioCode::kCancelled:
            return Outcome::Cancelled;
    }
    return Fail(62);
}

// A Windows Media file to a WAV file of its own format, or to MP3 through
// LAME (44100 Hz and above only). The file's attributes become the MP3's tag.
Outcome TConverter::Impl::WindowsMedia(int direction, const std::string& output) {
    const ConvertRow& r = rows[static_cast<std::size_t>(row)];
    TWMADecoder9 decoder;
    if (!decoder.Open(r.path)) return Fail(71);
    const WAVEFORMATEX format = decoder.OutputFormat();
    const bool toMp3 = direction == 3;
    PartialOutput part(output);
    std::FILE* wav = nullptr;
    if (toMp3) {
        if (decoder.SampleRate() < 44100) {
            SetStatus(row, kWmaRateMessage);
            return Outcome::Failed;
        }
        settings.SetOutputFormat(kFormatMp3);
        settings.SetUseLameEncoder(true);
        settings.SetNormalize(false);
        encoders.SetInputFormat(format);
        const TagRecord& tag = decoder.Tag();
        if (!encoders.Open(tag.Present() ? tag.Data() : nullptr, part.Path())) {
            encoders.Close();
            return Fail(62);
        }
    } else {
        wav = CreateWav(part.Path(), format);
        if (!wav) return Fail(62);
    }
    auto abandon = [&] {
        if (wav) std::fclose(wav);
        else encoders.Close();
    };
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::uint64_t written = 0;
    for (;;) {
        if (!Progress(decoder.GetPosition(), decoder.GetLength())) {
            abandon();
            return Outcome::Cancelled;
        }
        const std::uint32_t n = decoder.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (n == 0) break;
        const bool ok = wav ? std::fwrite(buffer.data(), 1, n, wav) == n : encoders.EncodeChunk(buffer.data(), n);
        if (!ok) {
            abandon();
            return Fail(62);
        }
        written += n;
    }
    decoder.Close();
    const bool closed = wav ? CloseWav(wav, written, format) : encoders.Close();
    if (!closed || !part.Commit()) return Fail(62);
    return Outcome::Done;
}

ConvertBatchResult TConverter::Start() {
    ConvertBatchResult result;
    if (running_) return result;
    Impl& m = *impl_;
    const int direction = direction_;
    const bool allRows = WindowsMediaDirection(direction);
    std::vector<int> todo;
    for (int i = 0; i < static_cast<int>(m.rows.size()); ++i)
        if (allRows || m.rows[static_cast<std::size_t>(i)].checked) todo.push_back(i);
    result.requested = static_cast<int>(todo.size());
    if (todo.empty()) return result;

    const EncoderSettingsSnapshot saved(settings_);
    m.encoders.SetSettings(&settings_);
    std::optional<int> encoder;
    if (EncodeDirection(direction)) {
        settings_.SetEncodeFlag(true);
        settings_.SetOutputFormat(EncodeFormatOf(direction));
        settings_.SetNormalize(false);
        encoder = EncodeFormatOf(direction);
    } else if (direction == 1 || direction == 3) {
        settings_.SetOutputFormat(kFormatMp3);
        settings_.SetUseLameEncoder(true);
        encoder = kFormatMp3;
    }
    // Told once, before anything is touched: without the encoder no file of
    // the batch could be written.
    if (encoder)
        if (const EncoderAvailability a = m.encoders.Availability(*encoder); !a.available) {
            m.dialogs.ShowMessage(a.message, MessageIcon::Information);
            saved.Restore(settings_);
            return result;
        }

    std::error_code ec;
    if (!outputFolder.empty() && !keepSourceLocation && !fs::exists(outputFolder, ec))
        fs::create_directories(outputFolder, ec);  // a folder that cannot be made fails each file (R62)

    running_ = true;
    m.cancelled = false;
    m.view.RunningChanged(true);
    const std::string title = LangMessage(65);
    const ConvertDirection& d = ConvertDirections()[static_cast<std::size_t>(direction)];
    int n = 0;
    for (int i : todo) {
        if (m.cancelled) break;
        ++n;
        m.row = i;
        ConvertRow& row = m.rows[static_cast<std::size_t>(i)];
        m.view.CaptionChanged(title + " - [" + row.caption + "] - " + std::to_string(n) + "/" +
                              std::to_string(todo.size()));
        m.view.CurrentRowChanged(i);
        m.StartStep("");
        row.output.clear();

        const std::string folder = ConvertOutputFolder(row.folder, outputFolder, keepSourceLocation);
        const std::string extension = direction == 4 ? "" : d.extension;
        std::optional<std::string> output = ConvertOutputPath(folder, row.caption, extension);
        if (output && direction == 4) output = (fs::path(*output).parent_path() / fs::path(*output).stem()).string();
        Outcome outcome = Outcome::Failed;
        if (!output) {
            outcome = m.Fail(62);
        } else {
            if (direction == 1) *output = ReencodeOutputPath(row.path, *output);
            switch (direction) {
                case 0: {
                    TMPEGDecoder decoder;
                    outcome = m.DecodeToWav(decoder, *output);
                    break;
                }
                case 5: {
                    TOGGDecoder decoder;
                    outcome = m.DecodeToWav(decoder, *output);
                    break;
                }
                case 1: outcome = m.Reencode(*output, bitrateIndex); break;
                case 2:
                case 3: outcome = m.WindowsMedia(direction, *output); break;
                case 4: outcome = m.ExtractAvi(*output); break;
                default: outcome = m.EncodeWav(direction, *output, deleteSources); break;
            }
        }
        if (outcome == Outcome::Cancelled) {
            m.SetStatus(i, LangMessage(18));
            result.cancelled = true;
            break;
        }
        m.SetCheck(i, false);
        if (outcome == Outcome::Failed) continue;
        if (direction != 4) row.output = *output;
        if (outcome == Outcome::Done) m.SetStatus(i, LangMessage(66));
        ++result.converted;
    }
    result.cancelled = result.cancelled || m.cancelled;
    saved.Restore(settings_);
    m.row = -1;
    running_ = false;
    m.view.CaptionChanged(title);
    m.view.RunningChanged(false);
    return result;
}

}  // namespace sv
