// sornaval-cli drives [--json]: the drive list as the drive box shows it.
#include <iostream>

#include "cdrom/DriveCatalog.h"
#include "cdrom/TCDROM.h"
#include "cdrom/TocReport.h"
#include "main/cli/CliCommand.h"

namespace {

int RunDrives(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    const auto unknown = options.Unknown({"--json"}, {});
    if (!unknown.empty()) {
        err << "drives: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    sv::TCDROM cdrom(std::make_shared<sv::DriveCatalog>(sv::DefaultDriveEnvironment()));
    cdrom.Initialise(sv::kTransportSpti);
    for (const auto& problem : cdrom.Catalog().ImageProblems()) err << "drives: " << problem << "\n";
    if (!cdrom.AccessProblems().empty()) err << sv::AccessProblemMessage(cdrom.AccessProblems(), false) << "\n";
    const std::vector<bool> writers = sv::DrivesThatWrite(cdrom);
    out << (options.Flag("--json") ? sv::DrivesJson(cdrom, writers) : sv::DrivesText(cdrom, writers));
    return 0;
}

const sv::cli::CommandRegistration kRegistration("drives", "[--json]",
                                                 "list the drives: index, name, transport, device or image",
                                                 &RunDrives,
                                                 "The CD drives of the machine, then the disc images of\n"
                                                 "setting/virtual.lst (or the demo disc when there is no drive).\n\n"
                                                 "  --json           the list as JSON\n");

}  // namespace
