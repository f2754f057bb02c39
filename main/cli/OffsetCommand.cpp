// sornaval-cli offset [--drive N | --image FILE.cue | --demo] [--store] [--json]
//
// Finds the drive's read offset from the disc in it, which must be in the
// AccurateRip database, and with --store keeps it for drives of that model,
// so that every later grab corrects it. Exit status 0 when an offset was
// found, 1 when not, 2 for wrong arguments.
#include <iostream>
#include <span>

#include "app/DesktopIntegration.h"
#include "app/SettingsStore.h"
#include "cdrom/DiscSource.h"
#include "cdrom/TocReport.h"
#include "main/cli/CliCommand.h"
#include "main/cli/VerifyOutput.h"
#include "metadata/DiscId.h"

namespace {

int RunOffset(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> flags = sv::kDiscSourceFlags;
    flags.insert(flags.end(), {"--store", "--json"});
    const auto unknown = options.Unknown(flags, sv::kDiscSourceValued);
    if (!unknown.empty()) {
        err << "offset: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    const sv::TProgramSettings settings = sv::LoadSettingsFile(sv::DefaultSettingsLocations(), "set.dat");
    int status = 0;
    const auto opened = sv::cli::OpenDiscToCheck(args, settings, "offset", err, status);
    if (!opened) return status;
    const sv::DISC_INFO& disc = opened->disc;
    const std::string drive = opened->cdrom->DriveTitle(opened->driveIndex);
    const sv::OffsetDetection d = sv::DetectReadOffset(*opened->cdrom, disc, sv::ConfiguredVerifyOptions(settings));
    if (d.found && options.Flag("--store")) sv::StoreReadOffset(drive, d.offset);
    if (options.Flag("--json")) {
        out << "{\"drive\": " << sv::JsonString(drive) << ", \"found\": " << (d.found ? "true" : "false")
            << ", \"offset\": " << d.offset << ", \"tracks\": " << d.tracks << ", \"confidence\": " << d.confidence
            << ", \"stored\": " << (d.found && options.Flag("--store") ? "true" : "false")
            << ", \"reason\": " << sv::JsonString(d.reason) << "}\n";
    } else if (d.found) {
        out << drive << ": read offset " << (d.offset > 0 ? "+" : "") << d.offset << " (" << d.tracks
            << " tracks match, confidence " << d.confidence << ")" << (options.Flag("--store") ? ", stored" : "")
            << "\n";
    } else {
        err << "offset: no read offset found: " << d.reason << "\n";
    }
    return d.found ? 0 : 1;
}

const sv::cli::CommandRegistration kRegistration(
    "offset", "[--drive N | --image FILE.cue | --demo] [--store] [--json]",
    "find the drive's read offset from a disc that is in the AccurateRip database", &RunOffset,
    std::string(sv::cli::kDiscSourceHelp) +
        "  --store          keep the offset for drives of this model (every grab then corrects it)\n"
        "  --json           the result as JSON\n");

}  // namespace
