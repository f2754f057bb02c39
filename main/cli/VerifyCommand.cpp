// sornaval-cli verify [--drive N | --image FILE.cue | --demo] [--offset N] [--json]
//
// Reads every audio track of the disc whole, with the read offset corrected,
// writes nothing, and prints each track's CRC32 and AccurateRip sums with the
// database's verdict: the check of a disc or an image against other people's
// rips. The exit status is 0 when every track was accurately ripped, 1 when
// some was not (or could not be checked), 2 for wrong arguments.
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <span>

#include "cdrom/AudioReader.h"
#include "cdrom/DiscSource.h"
#include "app/SettingsStore.h"
#include "base/Language.h"
#include "grab/TrackChecksums.h"
#include "main/cli/CliCommand.h"
#include "main/cli/VerifyOutput.h"
#include "metadata/DiscId.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnVerifyInterrupt(int) { g_stop = 1; }

int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> flags = sv::kDiscSourceFlags;
    flags.push_back("--json");
    std::vector<std::string> valued = sv::kDiscSourceValued;
    valued.push_back("--offset");
    const auto unknown = options.Unknown(flags, valued);
    if (!unknown.empty()) {
        err << "verify: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    const sv::TProgramSettings settings = sv::LoadSettingsFile(sv::DefaultSettingsLocations(), "set.dat");
    sv::TLanguage language;
    sv::cli::LoadLanguage(language, settings.LanguageName());
    int status = 0;
    const auto opened = sv::cli::OpenDiscToCheck(args, settings, "verify", err, status);
    if (!opened) return status;
    const std::string driveTitle = opened->cdrom->DriveTitle(opened->driveIndex);
    const std::optional<int> offset = sv::cli::ReadOffsetOption(options, driveTitle, "verify", err);
    if (!offset) return 2;

    const sv::DISC_INFO& disc = opened->disc;
    sv::AudioReader reader(*opened->cdrom, sv::ExtractionSettings::From(settings));
    reader.SetReadOffset(*offset, disc.TrackCopy(disc.TrackCount()).StartLba());
    std::signal(SIGINT, OnVerifyInterrupt);
    const bool showProgress = !options.Flag("--json") && isatty(STDERR_FILENO) != 0;
    int shown = -1;
    const auto checks = sv::ReadTrackChecks(reader, disc, [&](int row, int percent) {
        if (showProgress && row * 1000 + percent != shown) {
            shown = row * 1000 + percent;
            err << "\rreading track " << disc.TrackNumber(row) << ": " << percent << "%" << std::flush;
        }
        return g_stop == 0;
    });
    std::signal(SIGINT, SIG_DFL);
    if (showProgress) err << "\r\033[K" << std::flush;
    if (g_stop != 0) {
        err << "verify: stopped\n";
        return 1;
    }
    const sv::RipVerification verification = sv::cli::VerifyForCommandLine(disc, checks, settings);
    if (options.Flag("--json")) {
        sv::cli::PrintVerdictsJson(verification, "", out);
    } else {
        out << "drive: " << driveTitle << "\nread offset: " << *offset << "\nAccurateRip: "
            << sv::AccurateRipPath(verification.ids) << "\n";
        sv::cli::PrintVerdicts(verification, disc, language, out);
    }
    for (const auto& t : verification.tracks)
        if (t.ar.result != sv::ArTrackResult::Accurate) return 1;
    return verification.tracks.empty() ? 1 : 0;
}

const sv::cli::CommandRegistration kRegistration(
    "verify", "[--drive N | --image FILE.cue | --demo] [--offset N] [--json]",
    "read the disc without writing files and check every track against AccurateRip", &RunVerify,
    std::string(sv::cli::kDiscSourceHelp) +
        "  --offset N       the drive's read offset in samples (default: the one stored for the\n"
        "                   drive model, else 0)\n"
        "  --json           the tracks, their CRC32 and AccurateRip sums and verdicts as JSON\n\n"
        "SORNAVAL_ACCURATERIP names another AccurateRip server; \"off\" skips the lookup.\n"
        "The exit status is 0 when every track was accurately ripped, 1 otherwise.\n");

}  // namespace
