// sornaval-cli rip [--drive N | --image FILE.cue | --demo] [--tracks LIST | --whole-disc [--cue]]
//                  [--format wav|mp3|ogg|wma|ape|aac|acm [--acm-codec N --acm-format M]]
//                  [--on-the-fly] [--output-dir DIR] [--ignore-free-space]
// Grabs tracks with the window program's grab command and settings file.
// Progress goes to the terminal; questions the window would ask are answered
// by options, and a grab that would have to ask stops with a message. Ctrl+C
// cancels the track being read and removes its partial file. The exit status
// is 0 only when every requested track was written.
//
// --whole-disc copies the audio part of the disc into one file named after
// the album, as the menu "Скопировать CD в один файл" does; --cue writes its
// CUE sheet even when the settings do not ask for one. The exit status is 0
// only when the file (and the CUE sheet, when asked for) was written.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <span>

#include "app/DesktopIntegration.h"
#include "app/SettingsStore.h"
#include "base/Language.h"
#include "base/Paths.h"
#include "cdrom/DiscRead.h"
#include "cdrom/DiscSource.h"
#include "cdrom/Toc.h"
#include "encoders/Encoders.h"
#include "formats/OutputNaming.h"
#include "main/cli/CliCommand.h"
#include "main/cli/CliDialogs.h"
#include "main/cli/VerifyOutput.h"
#include "cdrom/AudioReader.h"
#include "cdrom/ReadCommands.h"
#include "metadata/AlbumCache.h"
#include "metadata/DiscId.h"
#include "metadata/LocalCddb.h"
#include "grab/GrabCommand.h"
#include "grab/SystemActions.h"
#include "grab/WholeDiscRip.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

// Turns Ctrl+C into the stop request of the window's Stop button.
class InterruptPump final : public sv::IEventPump {
public:
    explicit InterruptPump(sv::RipContext*& context) : context_(context) {}
    void ProcessPendingEvents() override {
        // After Ctrl+C every pass is a stop request, so that a stopped
        // compression is followed by the end of the whole grab.
        if (g_interrupted != 0 && context_) {
            g_interrupted = 2;
            context_->state = sv::kStateIdle;
        }
    }

private:
    sv::RipContext*& context_;
};

// "1,3-5" (1-based) into track indexes; false on a malformed list.
bool ParseTrackList(const std::string& text, int trackCount, std::set<int>& tracks) {
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t comma = text.find(',', pos);
        const std::string part = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        const std::size_t dash = part.find('-');
        try {
            std::size_t used = 0;
            const int a = std::stoi(part.substr(0, dash), &used);
            if (used != (dash == std::string::npos ? part.size() : dash)) return false;
            int b = a;
            if (dash != std::string::npos) {
                const std::string rest = part.substr(dash + 1);
                b = std::stoi(rest, &used);
                if (used != rest.size()) return false;
            }
            if (a < 1 || b < a || b > trackCount) return false;
            for (int t = a; t <= b; ++t) tracks.insert(t - 1);
        } catch (const std::exception&) {
            return false;
        }
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return !tracks.empty();
}

int RunRip(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> flags = sv::kDiscSourceFlags;
    flags.insert(flags.end(), {"--on-the-fly", "--ignore-free-space", "--whole-disc", "--cue", "--wav-header", "--json"});
    std::vector<std::string> valued = sv::kDiscSourceValued;
    valued.insert(valued.end(), {"--tracks", "--format", "--output-dir", "--acm-codec", "--acm-format", "--offset", "--flac-level"});
    const auto unknown = options.Unknown(flags, valued);
    if (!unknown.empty()) {
        err << "rip: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    const std::string format = options.Value("--format").value_or("mp3");
    static const std::set<std::string> kFormats = {"wav", "mp3", "ogg", "wma", "ape", "aac", "acm", "flac"};
    if (!kFormats.count(format)) {
        err << "rip: --format must be wav, flac, mp3, ogg, wma, ape, aac or acm\n";
        return 2;
    }
    if ((options.Value("--acm-codec") || options.Value("--acm-format") || options.Flag("--wav-header")) &&
        format != "acm") {
        err << "rip: --acm-codec, --acm-format and --wav-header belong to --format acm\n";
        return 2;
    }
    auto index = [&](const char* name) -> std::optional<int> {
        const auto v = options.Value(name);
        if (!v) return std::nullopt;
        char* end = nullptr;
        const long n = std::strtol(v->c_str(), &end, 10);
        if (v->empty() || *end != '\0' || n < 0 || n > 9999) return -1;
        return static_cast<int>(n);
    };
    const auto acmCodec = index("--acm-codec");
    const auto acmFormat = index("--acm-format");
    if ((acmCodec && *acmCodec < 0) || (acmFormat && *acmFormat < 0)) {
        err << "rip: --acm-codec and --acm-format take the indexes that 'sornaval-cli codecs' lists\n";
        return 2;
    }
    std::optional<int> flacLevel = sv::FlacLevel();
    if (const auto v = options.Value("--flac-level")) {
        flacLevel = v->size() == 1 && (*v)[0] >= '0' && (*v)[0] <= '8' ? std::optional<int>((*v)[0] - '0') : std::nullopt;
        if (!flacLevel || format != "flac") {
            err << "rip: --flac-level takes 0 (fastest) to 8 (smallest) and belongs to --format flac\n";
            return 2;
        }
    }
    const bool wholeDisc = options.Flag("--whole-disc");
    if (wholeDisc && options.Value("--tracks")) {
        err << "rip: --whole-disc copies every audio track; it takes no --tracks\n";
        return 2;
    }
    if (options.Flag("--cue") && !wholeDisc) {
        err << "rip: --cue belongs to --whole-disc\n";
        return 2;
    }
    sv::DiscSourceOptions source;
    std::string error;
    if (!sv::ParseDiscSourceOptions(args, source, error)) {
        err << "rip: " << error << "\n";
        return 2;
    }

    const sv::SettingsLocations where = sv::DefaultSettingsLocations();
    sv::TProgramSettings settings = sv::LoadSettingsFile(where, "set.dat");
    sv::TLanguage language;
    sv::cli::LoadLanguage(language, settings.LanguageName());
    // A missing music folder is made, as command-line rippers do (the window
    // asks instead).
    const std::string outputDir = options.Value("--output-dir").value_or(settings.OutputDir());
    std::error_code ec;
    if (!std::filesystem::is_directory(outputDir, ec)) {
        std::filesystem::create_directories(outputDir, ec);
        if (ec || !std::filesystem::is_directory(outputDir)) {
            err << "rip: cannot create the output folder \"" << outputDir << "\": "
                << (ec ? ec.message() : "it is not a folder") << "\n";
            return 1;
        }
        err << "rip: created the output folder \"" << outputDir << "\"\n";
    }
    settings.SetOutputDir(sv::WithTrailingSlash(std::filesystem::absolute(outputDir).string()));
    if (options.Flag("--on-the-fly")) settings.SetOnTheFlyEncoding(true);
    if (options.Flag("--cue")) settings.SetRipCueSheet(true);
    // The external-encoder menu grabs to the encoder the settings choose.
    if (format == "ape") settings.SetExtEncoder(0);
    if (format == "aac") settings.SetExtEncoder(1);
    if (format == "acm") {
        settings.SetExtEncoder(2);
        if (acmCodec) settings.SetAcmCodecIndex(*acmCodec);
        if (acmFormat) settings.SetAcmFormatIndex(*acmFormat);
        else if (acmCodec) settings.SetAcmFormatIndex(0);
        if (options.Flag("--wav-header")) settings.SetAcmWriteWavHeader(true);
        if (sv::OutputExtension(settings) == ".raw")
            err << "rip: this codec's bare stream has no file format of its own; --wav-header puts it in a WAV file\n";
    }
    const bool external = format == "ape" || format == "aac" || format == "acm";
    if (wholeDisc && format == "wma") {
        err << "rip: --whole-disc writes wav, flac, mp3, ogg, ape, aac or acm\n";
        return 2;
    }

    source.readCommand = 0;
    auto opened = sv::OpenDiscSource(source, error);
    if (!opened) {
        err << "rip: " << error << "\n";
        return 1;
    }
    if (!opened->notes.empty()) err << "rip: " << opened->notes << "\n";
    sv::TCDROM& cdrom = *opened->cdrom;
    cdrom.SetReadCommand(settings.ReadCommand(opened->driveIndex));
    const std::string driveTitle = cdrom.DriveTitle(opened->driveIndex);
    const std::optional<int> readOffset = sv::cli::ReadOffsetOption(options, driveTitle, "rip", err);
    if (!readOffset) return 2;

    // The disc as the window holds it: titles and tags from the album cache.
    sv::DISC_INFO disc = opened->disc;
    sv::TagBlocks tags;
    if (const auto toc = sv::ParseRawToc(
            std::span<const std::uint8_t>(opened->toc.Data(), static_cast<std::size_t>(sv::kTocBytes)))) {
        sv::TLocalCDDB localDb;
        sv::TAlbumCache albums;
        albums.SetFolder(sv::TAlbumCache::DefaultFolder());
        sv::ApplyMetadataSettings(settings, localDb, albums);
        const std::uint32_t id = sv::ComputeDiscId(*toc);
        sv::DISC_INFO known;
        sv::StoreDiscId(known, id);
        known.SetTrackCount(disc.TrackCount());
        known.SetLbaBase(150);
        if (const sv::AlbumSource from = albums.LoadAlbum(known, tags, id);
            from != sv::kNoAlbum && sv::LayOutDisc(opened->toc, known, from))
            disc = known;
        sv::StoreDiscId(disc, id);  // the AccurateRip identifiers take the disc's own
    }
    const int count = disc.TrackCount();
    tags.EnsureCount(count);

    std::set<int> wanted;
    if (const auto list = options.Value("--tracks")) {
        if (!ParseTrackList(*list, count, wanted)) {
            err << "rip: --tracks needs track numbers from 1 to " << count << " such as 1,3-5\n";
            return 2;
        }
    } else {
        for (int i = 0; i < count; ++i) wanted.insert(i);
    }
    std::vector<bool> checked(static_cast<std::size_t>(count), false);
    for (int i : wanted) {
        if (disc.Track(i).AudioFlag()) checked[static_cast<std::size_t>(i)] = true;
        else if (!wholeDisc) err << "rip: track " << i + 1 << " is not an audio track\n";
    }

    // The grab's questions answered from the options.
    const bool ignoreFreeSpace = options.Flag("--ignore-free-space");
    sv::cli::CliDialogs dialogs(err, "rip", [&](std::string_view text) -> std::optional<bool> {
        if (text == sv::LangMessage(1)) {
            if (ignoreFreeSpace) return true;
            err << "rip: " << text << "\nrip: the output folder may not have room for the grab; "
                << "run again with --ignore-free-space to grab anyway\n";
            return false;
        }
        // Only asked after Ctrl+C (abort the copy, stop the compression).
        if (g_interrupted == 2) return true;
        return std::nullopt;
    });
    sv::RipContext* current = nullptr;
    InterruptPump pump(current);
    sv::TEncoders encoders(nullptr);
    encoders.SetDialogs(&dialogs);
    encoders.Flac().SetLevel(*flacLevel);
    encoders.SetSettings(&settings);
    sv::RipContext context{settings, cdrom, disc, tags, checked, dialogs, pump, encoders, sv::TempFilesFolder()};
    context.readOffset = *readOffset;
    current = &context;
    const bool tty = isatty(STDOUT_FILENO) != 0;
    auto rowName = [&](int row) {
        const int n = disc.TrackNumber(row);
        const std::string number = (n < 10 ? "0" : "") + std::to_string(n);
        const std::string title = disc.TrackCopy(row).Title();
        return title.empty() ? number : number + " " + title;
    };
    const std::string done = sv::LangMessage(20);
    context.hooks.rowStatus = [&](int row, const std::string& text) {
        const bool final = text == done || text == sv::LangMessage(18) || text.find('%') == std::string::npos;
        if (tty) out << "\r\033[K" << rowName(row) << ": " << text << (final ? "\n" : "") << std::flush;
        else if (final) out << rowName(row) << ": " << text << "\n";
    };
    context.hooks.runSettingsDialog = [&] {
        err << "rip: the output folder \"" << settings.OutputDir() << "\" does not exist; name one with --output-dir\n";
        return false;
    };
    context.hooks.setPriority = &sv::SetHighPriority;
    context.hooks.shutdown = [&] {
        out << "Powering the computer off, as the settings ask.\n";
        sv::RequestPowerOff();
    };

    // The rip log beside the tracks; its path, or empty when it could not be written.
    const auto WriteLog = [&](const sv::RipVerification& verification) {
        const sv::RipLogFacts facts = sv::GrabLogFacts(cdrom, settings, disc, driveTitle, *readOffset);
        std::string path = sv::RipLogPath(verification, disc.Album());
        if (!path.empty() && !sv::WriteRipLog(path, sv::RipLogText(verification, facts))) {
            err << "rip: could not write the log " << path << "\n";
            path.clear();
        }
        return path;
    };

    if (wholeDisc) {
        std::string lastCaption;
        context.hooks.caption = [&](const std::string& text) {
            lastCaption = text;
            if (tty) out << "\r\033[K" << text << std::flush;
        };
        auto previous = std::signal(SIGINT, OnInterrupt);
        const sv::WholeDiscResult whole = sv::RunWholeDiscGrabCommand(
            format == "wav"    ? sv::WholeDiscSender::WavMenu
            : format == "flac" ? sv::WholeDiscSender::FlacMenu
            : format == "ogg"  ? sv::WholeDiscSender::OggMenu
            : external        ? sv::WholeDiscSender::ExternalMenu
                              : sv::WholeDiscSender::Mp3Menu,
            context);
        std::signal(SIGINT, previous);
        if (tty && !lastCaption.empty()) out << "\r\033[K" << std::flush;
        if (whole.cancelled) err << "rip: cancelled\n";
        if (!whole.written) return 1;
        const sv::RipVerification verification = sv::cli::VerifyForCommandLine(disc, whole.checks, settings);
        const std::string logPath = WriteLog(verification);
        if (options.Flag("--json")) {
            sv::cli::PrintVerdictsJson(verification, logPath, out);
            return whole.cueFailed ? 1 : 0;
        }
        out << whole.file << "\n";
        sv::cli::PrintVerdicts(verification, disc, language, out);
        if (!logPath.empty()) out << logPath << "\n";
        if (!whole.cueFile.empty() && !whole.cueFailed) out << whole.cueFile << "\n";
        return whole.cueFailed ? 1 : 0;
    }

    auto previous = std::signal(SIGINT, OnInterrupt);
    const sv::GrabSender sender = format == "wav"   ? sv::GrabSender::WavButton
                                  : format == "ogg" ? sv::GrabSender::OggMenu
                                  : format == "flac" ? sv::GrabSender::FlacMenu
                                  : format == "wma" ? sv::GrabSender::WmaButton
                                  : external        ? sv::GrabSender::ExternalMenu
                                                    : sv::GrabSender::Mp3Menu;
    const sv::GrabResult result = sv::RunGrabCommand(sender, context);
    std::signal(SIGINT, previous);

    if (!result.ran) return 1;
    std::string logPath;
    sv::RipVerification verification;
    if (!result.rip.checks.empty()) {
        verification = sv::cli::VerifyForCommandLine(disc, result.rip.checks, settings);
        logPath = WriteLog(verification);
    }
    if (options.Flag("--json")) {
        sv::cli::PrintVerdictsJson(verification, logPath, out);
    } else {
        for (const auto& file : result.rip.files) out << file << "\n";
        sv::cli::PrintVerdicts(verification, disc, language, out);
        if (!logPath.empty()) out << logPath << "\n";
    }
    const int requested = static_cast<int>(wanted.size());
    if (result.rip.requested == 0) {
        err << "rip: no audio track to grab\n";
        return 1;
    }
    if (result.rip.cancelled) err << "rip: cancelled\n";
    return result.rip.written == requested ? 0 : 1;
}

const sv::cli::CommandRegistration kRegistration(
    "rip",
    "[--drive N | --image FILE.cue | --demo] [--tracks LIST | --whole-disc [--cue]] "
    "[--format wav|mp3|ogg|wma|ape|aac|acm [--acm-codec N --acm-format M --wav-header]] [--on-the-fly] "
    "[--flac-level N] [--output-dir DIR] [--ignore-free-space] [--offset N] [--json]",
    "grab tracks, or the whole disc into one file, in any output format with the program's settings", &RunRip,
    std::string(sv::cli::kDiscSourceHelp) +
        "  --tracks LIST    the tracks to grab, e.g. 1,3-5 (default: every audio track)\n"
        "  --whole-disc     the whole disc into one file named after the album\n"
        "  --cue            with --whole-disc: write its CUE sheet beside it\n"
        "  --format FORMAT  the output format, with the settings' options for it (default: mp3):\n"
        "                   wav, mp3 (LAME, or the codec layer's MP3 codec when the settings say so),\n"
        "                   ogg (Ogg Vorbis), wma (Windows Media Audio), ape (Monkey's Audio),\n"
        "                   aac (AAC in ADTS), acm (any codec of 'sornaval-cli codecs'),\n"
        "                   flac (lossless; level from --flac-level or the settings, default 5)\n"
        "  --acm-codec N    with --format acm: the codec index of 'sornaval-cli codecs'\n"
        "  --acm-format M   with --format acm: that codec's format index (default 0 with --acm-codec)\n"
        "  --wav-header     with --format acm: write the codec's stream into a WAV file\n"
        "  --flac-level N   with --format flac: 0 (fastest) to 8 (smallest)\n"
        "  --on-the-fly     encode while reading instead of from a temporary WAV file\n"
        "  --output-dir DIR the music folder for this run (default: the settings' folder);\n"
        "                   a missing folder is created\n"
        "  --ignore-free-space  grab even when the folder may not have room\n"
        "  --offset N       the drive's read offset in samples, corrected on every read\n"
        "                   (default: the one stored for the drive model, else 0)\n"
        "  --json           the tracks, their CRC32 and AccurateRip sums and verdicts as JSON\n\n"
        "Files are named and tagged as the window program names them, with the titles of\n"
        "the album cache (see 'lookup'). Ctrl+C stops the track being read and removes its\n"
        "partial file. Every track read whole is checked against the AccurateRip database\n"
        "(SORNAVAL_ACCURATERIP names another server, \"off\" skips the check) and a log of the\n"
        "grab, \"<album>.log\", is written beside the tracks.\n");

}  // namespace
