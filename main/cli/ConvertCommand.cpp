// sornaval-cli convert --direction N [--bitrate KBPS] [--output-dir DIR | --keep-location]
//                      [--delete-sources] [--json] FILE|FOLDER...
// Converts files with the converter window's TConverter: the files named and
// those below the folders named are added, the batch runs, and every file of
// the direction gets one line "source: status" (or, with --json, a record
// with source, output and status). Questions are answered "no"; Ctrl+C stops
// the batch without asking and removes the partial output. The settings file
// is read, never written. Exit status 0 when every file was converted, 1
// otherwise, 2 for wrong arguments.
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <set>

#include "app/SettingsStore.h"
#include "base/Language.h"
#include "base/Paths.h"
#include "cdrom/TocReport.h"
#include "convert/Converter.h"
#include "encoders/Encoders.h"
#include "app/DesktopIntegration.h"
#include "main/cli/CliCommand.h"
#include "main/cli/CliDialogs.h"

namespace {

namespace fs = std::filesystem;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnConvertInterrupt(int) { g_interrupted = 1; }

// Names --direction takes besides the indexes 0-9.
constexpr const char* kDirectionNames[sv::kConvertDirections] = {"mp3-wav", "mp3-mp3", "wma-wav",
                                                                 "wma-mp3", "avi-audio", "ogg-wav",
                                                                 "wav-mp3", "wav-wma", "wav-ogg",
                                                                 "wav-flac"};

std::optional<int> ParseDirection(const std::string& text) {
    for (int i = 0; i < sv::kConvertDirections; ++i)
        if (text == std::to_string(i) || text == kDirectionNames[i]) return i;
    return std::nullopt;
}

// Turns Ctrl+C into the converter's stop, without the question.
class InterruptPump final : public sv::IEventPump {
public:
    void ProcessPendingEvents() override {
        if (g_interrupted && converter) converter->Cancel();
    }
    sv::TConverter* converter = nullptr;
};

// Progress on a terminal; one line per file as soon as it is done.
class LineView final : public sv::IConvertView {
public:
    LineView(std::ostream& out, bool tty, bool quiet) : out_(out), tty_(tty), quiet_(quiet) {}
    void RowStatusChanged(int row, const std::string& status) override {
        if (tty_ && !quiet_ && converter && row == current_)
            out_ << "\r\033[K" << converter->Rows()[static_cast<std::size_t>(row)].caption << ": " << status
                 << std::flush;
    }
    void CurrentRowChanged(int row) override {
        Finish();
        current_ = row;
    }
    void RunningChanged(bool running) override {
        if (!running) Finish();
    }
    // Lines for the rows the batch did not reach.
    void FinishRest() {
        if (!converter) return;
        for (int i = 0; i < static_cast<int>(converter->Rows().size()); ++i) {
            current_ = i;
            Finish();
        }
    }
    sv::TConverter* converter = nullptr;

private:
    void Finish() {
        if (current_ < 0 || !converter || printed_.count(current_)) return;
        printed_.insert(current_);
        const sv::ConvertRow& r = converter->Rows()[static_cast<std::size_t>(current_)];
        if (tty_ && !quiet_) out_ << "\r\033[K";
        if (!quiet_) out_ << r.path << ": " << r.status << "\n" << std::flush;
        current_ = -1;
    }
    std::ostream& out_;
    bool tty_;
    bool quiet_;
    int current_ = -1;
    std::set<int> printed_;
};

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    const std::vector<std::string> flags = {"--keep-location", "--delete-sources", "--json"};
    const std::vector<std::string> valued = {"--direction", "--bitrate", "--output-dir"};
    std::vector<std::string> sources;
    for (const auto& a : options.Unknown(flags, valued)) {
        if (a.rfind("--", 0) == 0) {
            err << "convert: unknown argument \"" << a << "\"\n";
            return 2;
        }
        sources.push_back(a);
    }
    const auto directionText = options.Value("--direction");
    const auto direction = directionText ? ParseDirection(*directionText) : std::nullopt;
    if (!direction) {
        err << "convert: --direction takes 0-9 or a name:";
        for (int i = 0; i < sv::kConvertDirections; ++i)
            err << (i ? ", " : " ") << i << " " << kDirectionNames[i];
        err << "\n";
        return 2;
    }
    int bitrateIndex = -1;
    if (const auto b = options.Value("--bitrate")) {
        for (std::size_t i = 0; i < sv::kReencodeBitrates.size(); ++i)
            if (*b == std::to_string(sv::kReencodeBitrates[i])) bitrateIndex = static_cast<int>(i);
        if (bitrateIndex < 0) {
            err << "convert: --bitrate takes 192, 160, 128, 112, 96, 80, 64 or 56\n";
            return 2;
        }
        if (*direction != 1) {
            err << "convert: --bitrate belongs to --direction 1 (mp3-mp3)\n";
            return 2;
        }
    }
    const auto outputDir = options.Value("--output-dir");
    if (outputDir && options.Flag("--keep-location")) {
        err << "convert: --output-dir and --keep-location exclude each other\n";
        return 2;
    }
    if (outputDir && outputDir->empty()) {
        err << "convert: --output-dir needs a folder\n";
        return 2;
    }
    if (sources.empty()) {
        err << "convert: name at least one file or folder\n";
        return 2;
    }

    const sv::SettingsLocations where = sv::DefaultSettingsLocations();
    sv::TProgramSettings settings = sv::LoadSettingsFile(where, "set.dat");
    sv::TLanguage language;
    sv::cli::LoadLanguage(language, settings.LanguageName());
    if (const auto refusal = sv::TConverter::OpenRefusal()) {
        err << "convert: " << *refusal << "\n";
        return 1;
    }

    sv::cli::CliDialogs dialogs(err, "convert");
    InterruptPump pump;
    const bool json = options.Flag("--json");
    LineView view(out, isatty(STDOUT_FILENO) != 0, json);
    sv::TEncoders encoders(nullptr);
    encoders.Flac().SetLevel(sv::FlacLevel());
    encoders.SetDialogs(&dialogs);
    encoders.SetSettings(&settings);
    sv::TConverter converter(settings, encoders, dialogs, pump, view, sv::DataFolder() + "TempFile/",
                             sv::EnglishTextsActive() ? "complete" : "завершено");
    pump.converter = &converter;
    view.converter = &converter;
    converter.SetDirection(*direction);
    if (bitrateIndex >= 0) converter.bitrateIndex = bitrateIndex;
    converter.keepSourceLocation = options.Flag("--keep-location");
    if (outputDir) converter.outputFolder = sv::WithTrailingSlash(fs::absolute(*outputDir).string());
    converter.deleteSources = options.Flag("--delete-sources");

    int status = 0;
    const sv::SourceType wanted = sv::ConvertDirections()[static_cast<std::size_t>(*direction)].source;
    for (const auto& s : sources) {
        std::error_code ec;
        if (fs::is_directory(s, ec)) {
            converter.AddFolder(s);
            continue;
        }
        if (!fs::is_regular_file(s, ec)) {
            err << "convert: " << s << ": no such file\n";
            status = 1;
            continue;
        }
        const auto type = sv::SourceTypeOf(s);
        if (!type || *type != wanted || !converter.AddFile(s)) {
            err << "convert: " << s << ": not a source of \"" << sv::ConvertDirections()[static_cast<std::size_t>(*direction)].text
                << "\"\n";
            status = 1;
        }
    }
    if (converter.Rows().empty()) {
        err << "convert: nothing to convert\n";
        return 1;
    }

    auto previous = std::signal(SIGINT, OnConvertInterrupt);
    const sv::ConvertBatchResult result = converter.Start();
    std::signal(SIGINT, previous);
    view.FinishRest();
    if (json) {
        out << "[";
        bool first = true;
        for (const auto& r : converter.Rows()) {
            out << (first ? "" : ", ") << "{\"source\": " << sv::JsonString(r.path)
                << ", \"output\": " << sv::JsonString(r.output) << ", \"status\": " << sv::JsonString(r.status)
                << "}";
            first = false;
        }
        out << "]\n";
    }
    if (result.cancelled) err << "convert: cancelled\n";
    if (result.converted != static_cast<int>(converter.Rows().size())) status = 1;
    return status;
}

const sv::cli::CommandRegistration kRegistration(
    "convert",
    "--direction N [--bitrate KBPS] [--output-dir DIR | --keep-location] [--delete-sources] [--json] FILE|FOLDER...",
    "convert sound and video files as the converter window does", &RunConvert,
    "  --direction N    what to convert (an index or its name):\n"
    "                   0 mp3-wav    MP3 to WAV          5 ogg-wav  Ogg Vorbis to WAV\n"
    "                   1 mp3-mp3    MP3 at a lower bit rate (--bitrate), as NAME(2).mp3 beside it\n"
    "                   2 wma-wav    Windows Media to WAV   3 wma-mp3  Windows Media to MP3 (44100 Hz and up)\n"
    "                   4 avi-audio  the sound track of AVI files (.mp3 or .wav)\n"
    "                   6 wav-mp3, 7 wav-wma, 8 wav-ogg, 9 wav-flac  WAV files with the settings' encoder options\n"
    "  --bitrate KBPS   with direction 1: 192, 160, 128, 112, 96, 80, 64 or 56 (default: the settings')\n"
    "  --output-dir DIR where the outputs go (made when missing; default: the converter's folder\n"
    "                   of the settings, or beside each source when they name none)\n"
    "  --keep-location  the outputs go beside their sources\n"
    "  --delete-sources with directions 6-9: delete each WAV file once it is encoded\n"
    "  --json           one record per file: source, output, status\n"
    "  FILE|FOLDER      files of the direction's type; folders are searched with their subfolders\n"
    "                   (not those whose names begin with '.'; Ogg files only by name)\n\n"
    "An existing output of the same name is replaced. Ctrl+C stops the batch and removes\n"
    "the partial output; the source files are never changed.\n");

}  // namespace
