// sornaval-cli toc [--drive N | --image FILE.cue | --demo] [--json]: the disc
// layout exactly as the track view gets it, and the disc's CD-TEXT.
#include <iostream>

#include "cdrom/DiscSource.h"
#include "cdrom/TocReport.h"
#include "main/cli/CliCommand.h"

namespace {

int RunToc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> flags = sv::kDiscSourceFlags;
    flags.push_back("--json");
    const auto unknown = options.Unknown(flags, sv::kDiscSourceValued);
    if (!unknown.empty()) {
        err << "toc: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    sv::DiscSourceOptions source;
    std::string error;
    if (!sv::ParseDiscSourceOptions(args, source, error)) {
        err << "toc: " << error << "\n";
        return 2;
    }
    auto disc = sv::OpenDiscSource(source, error);
    if (!disc) {
        err << "toc: " << error << "\n";
        return 1;
    }
    if (!disc->notes.empty()) err << "toc: " << disc->notes << "\n";
    const auto text = disc->cdrom->ReadCdText(disc->disc.FirstTrackNumber(), disc->disc.TrackCount());
    out << (options.Flag("--json") ? sv::TocJson(disc->disc, text) : sv::TocText(disc->disc, text));
    return 0;
}

const sv::cli::CommandRegistration kRegistration("toc", "[--drive N | --image FILE.cue | --demo] [--json]",
                                                 "print the disc layout and its CD-TEXT", &RunToc,
    std::string(sv::cli::kDiscSourceHelp) + "  --json           the layout as JSON\n");

}  // namespace
