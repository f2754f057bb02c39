// sornaval-cli lookup [--drive N | --image FILE.cue | --demo] [--choose N]
// [--source musicbrainz|cddb|auto] [--server HOST[:PORT]] [--json]: the
// online lookup of the main window for the disc of the source, from the
// sources the settings name (auto) or the one given. Several matches or
// releases take the first one, or number N (counted from 1) with --choose.
// The result goes into the album cache and the local database like the
// window's lookup, and is printed with the source that answered.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <span>

#include "base/Paths.h"
#include "base/ProgramSettings.h"
#include "base/Language.h"
#include "cdrom/DiscRead.h"
#include "cdrom/DiscSource.h"
#include "cdrom/Toc.h"
#include "cdrom/TocReport.h"
#include "main/cli/CliCommand.h"
#include "metadata/AlbumCache.h"
#include "metadata/CddbLookup.h"
#include "metadata/DiscId.h"
#include "metadata/FileIo.h"
#include "metadata/TitleLookup.h"
#include "app/DesktopIntegration.h"

namespace {

// Answers the lookup's questions from the command line: messages go to the
// error stream, the retry question is answered No, the chooser takes the
// match named by --choose.
class CliDialogs : public sv::IUserDialogs {
public:
    CliDialogs(std::ostream& err, int choice) : err_(err), choice_(choice) {}
    bool AskYesNo(std::string_view text, sv::MessageIcon) override {
        err_ << "lookup: " << text << " -> no\n";
        return false;
    }
    void ShowMessage(std::string_view text, sv::MessageIcon) override { err_ << "lookup: " << text << "\n"; }
    std::optional<int> ChooseFromList(std::string_view, const std::vector<std::string>& items, int) override {
        for (std::size_t i = 0; i < items.size(); ++i) err_ << "  " << (i + 1) << ". " << items[i] << "\n";
        if (choice_ < 0 || choice_ >= static_cast<int>(items.size())) {
            err_ << "lookup: there is no match " << (choice_ + 1) << " (" << items.size() << " matches)\n";
            return std::nullopt;
        }
        return choice_;
    }
    std::optional<std::string> AskText(std::string_view, const std::vector<std::string>&, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> PickFile(std::string_view, std::string_view) override { return std::nullopt; }

private:
    std::ostream& err_;
    int choice_;
};

// The settings the window program uses, or the defaults of a fresh installation.
sv::TProgramSettings LoadSettings() {
    sv::TProgramSettings settings;
    std::string bytes;
    if (sv::ReadWholeFile(sv::SettingsFolder() + "set.dat", 1u << 16, bytes) && !bytes.empty()) {
        settings.ReadFrom(bytes);
    } else {
        const char* home = std::getenv("HOME");
        settings.ApplyDefaults(sv::DataFolder(), sv::WithTrailingSlash(home ? home : "/tmp") + "Music/");
    }
    return settings;
}

void PrintResult(std::ostream& out, bool json, const sv::DISC_INFO& disc, const sv::TitleLookupResult& result) {
    const int count = std::min<int>(disc.TrackCount(), sv::DISC_INFO::kMaxTracks);
    const std::string& category = result.category;
    if (json) {
        out << "{\"discid\": " << sv::JsonString(disc.DiscIdText()) << ", \"source\": " << sv::JsonString(result.source)
            << ", \"category\": " << sv::JsonString(category)
            << ", \"artist\": " << sv::JsonString(disc.Artist()) << ", \"album\": " << sv::JsonString(disc.Album())
            << ", \"year\": " << sv::JsonString(disc.Year()) << ", \"genre\": " << sv::JsonString(disc.Genre())
            << ", \"titles\": [";
        for (int k = 0; k < count; ++k) out << (k ? ", " : "") << sv::JsonString(disc.TrackCopy(k).Title());
        out << "]}\n";
        return;
    }
    out << "discid: " << disc.DiscIdText() << "\nsource: " << result.source << "\ncategory: " << category << "\nartist: " << disc.Artist()
        << "\nalbum: " << disc.Album() << "\nyear: " << disc.Year() << "\ngenre: " << disc.Genre() << "\n";
    for (int k = 0; k < count; ++k) {
        const int n = disc.TrackNumber(k);
        out << (n < 10 ? "0" : "") << n << " " << disc.TrackCopy(k).Title() << "\n";
    }
}

int RunLookup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> flags = sv::kDiscSourceFlags;
    flags.push_back("--json");
    std::vector<std::string> valued = sv::kDiscSourceValued;
    valued.push_back("--choose");
    valued.push_back("--server");
    valued.push_back("--source");
    const auto unknown = options.Unknown(flags, valued);
    if (!unknown.empty()) {
        err << "lookup: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    int choice = 0;
    if (const auto text = options.Value("--choose")) {
        try {
            std::size_t used = 0;
            choice = std::stoi(*text, &used) - 1;
            if (used != text->size() || choice < 0) throw std::invalid_argument("choose");
        } catch (const std::exception&) {
            err << "lookup: --choose needs a match number from 1\n";
            return 2;
        }
    }
    const auto titleSource =
        sv::ParseLookupSourceOption(options.Value("--source").value_or("auto"), sv::StoredLookupSource());
    if (!titleSource) {
        err << "lookup: --source takes musicbrainz, cddb or auto\n";
        return 2;
    }
    sv::DiscSourceOptions source;
    std::string error;
    if (!sv::ParseDiscSourceOptions(args, source, error)) {
        err << "lookup: " << error << "\n";
        return 2;
    }
    const auto opened = sv::OpenDiscSource(source, error);
    if (!opened) {
        err << "lookup: " << error << "\n";
        return 1;
    }
    if (!opened->notes.empty()) err << "lookup: " << opened->notes << "\n";
    const auto toc =
        sv::ParseRawToc(std::span<const std::uint8_t>(opened->toc.Data(), static_cast<std::size_t>(sv::kTocBytes)));
    if (!toc) {
        err << "lookup: the disc's table of contents holds no track\n";
        return 1;
    }

    sv::TProgramSettings settings = LoadSettings();
    sv::TLanguage language;
    sv::cli::LoadLanguage(language, settings.LanguageName());
    if (const auto server = options.Value("--server")) settings.SetCddbServer(*server);
    sv::TLocalCDDB localDb;
    sv::TAlbumCache albums;
    albums.SetFolder(sv::TAlbumCache::DefaultFolder());
    sv::ApplyMetadataSettings(settings, localDb, albums);

    // The disc as the window holds it: what the album cache knows, on the drive's layout.
    const std::uint32_t id = sv::ComputeDiscId(*toc);
    sv::DISC_INFO disc;
    sv::TagBlocks tags;
    sv::StoreDiscId(disc, id);
    disc.SetTrackCount(static_cast<std::uint8_t>(toc->trackStarts.size()));
    disc.SetLbaBase(150);
    sv::LayOutDisc(opened->toc, disc, albums.LoadAlbum(disc, tags, id));
    tags.EnsureCount(disc.TrackCount());

    CliDialogs dialogs(err, choice);
    sv::NullEventPump pump;
    sv::DiscLookupContext context{settings, *toc, disc, tags, albums, nullptr, dialogs, pump, {}};
    context.greetingAddress = sv::CddbGreetingAddress();
    sv::TitleLookupContext lookup{context, *titleSource, sv::MusicBrainzOptions(settings, sv::MusicBrainzServer()),
                                  [&err](const std::string& text) {
                                      if (!text.empty()) err << "lookup: " << text << "\n";
                                  }};
    const sv::TitleLookupResult result = sv::RunTitleLookup(lookup);
    if (!result.applied) {
        err << "lookup: nothing was applied to disc " << disc.DiscIdText() << "\n";
        return 1;
    }
    PrintResult(out, options.Flag("--json"), disc, result);
    return 0;
}

const sv::cli::CommandRegistration kRegistration(
    "lookup",
    "[--drive N | --image FILE.cue | --demo] [--choose N] [--source musicbrainz|cddb|auto] [--server HOST[:PORT]] "
    "[--json]",
    "look the disc's titles up on MusicBrainz or CDDB, store the album and print what was applied", &RunLookup,
    std::string(sv::cli::kDiscSourceHelp) +
        "  --source S       musicbrainz, cddb, or auto: the settings' choice (default;\n"
        "                   a new installation asks MusicBrainz, then CDDB)\n"
        "  --server HOST[:PORT]  the CDDB server (default: the settings' server, gnudb.gnudb.org);\n"
        "                   SORNAVAL_MUSICBRAINZ in the environment names another MusicBrainz\n"
        "                   server (\"off\": none)\n"
        "  --choose N       take match or release N (from 1) when there are several\n"
        "                   (default: the first); they are listed\n"
        "  --json           what was applied as JSON\n");

}  // namespace
