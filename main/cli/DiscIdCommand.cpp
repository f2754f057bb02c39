// sornaval-cli discid [--drive N | --image FILE.cue | --demo] [--json]: the
// disc's CDDB identifier, the frame offsets of its tracks and its length as
// the online query sends them, and the disc's MusicBrainz identifier.
#include <iostream>
#include <span>

#include "cdrom/DiscSource.h"
#include "cdrom/TocReport.h"
#include "main/cli/CliCommand.h"
#include "metadata/DiscId.h"
#include "metadata/MusicBrainzId.h"

namespace {

int RunDiscId(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> flags = sv::kDiscSourceFlags;
    flags.push_back("--json");
    const auto unknown = options.Unknown(flags, sv::kDiscSourceValued);
    if (!unknown.empty()) {
        err << "discid: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    sv::DiscSourceOptions source;
    std::string error;
    if (!sv::ParseDiscSourceOptions(args, source, error)) {
        err << "discid: " << error << "\n";
        return 2;
    }
    const auto opened = sv::OpenDiscSource(source, error);
    if (!opened) {
        err << "discid: " << error << "\n";
        return 1;
    }
    if (!opened->notes.empty()) err << "discid: " << opened->notes << "\n";
    const auto toc =
        sv::ParseRawToc(std::span<const std::uint8_t>(opened->toc.Data(), static_cast<std::size_t>(sv::kTocBytes)));
    if (!toc) {
        err << "discid: the disc's table of contents holds no track\n";
        return 1;
    }
    const std::string id = sv::DiscIdUpperHex(sv::ComputeDiscId(*toc));
    const int length = sv::DiscLengthSeconds(*toc);
    const std::string musicBrainz = sv::MusicBrainzDiscId(*toc);  // empty for a disc without audio
    if (options.Flag("--json")) {
        out << "{\"discid\": " << sv::JsonString(id) << ", \"musicbrainz\": " << sv::JsonString(musicBrainz)
            << ", \"tracks\": " << toc->trackStarts.size()
            << ", \"offsets\": [";
        for (std::size_t i = 0; i < toc->trackStarts.size(); ++i) out << (i ? ", " : "") << toc->trackStarts[i];
        out << "], \"length_seconds\": " << length << "}\n";
    } else {
        out << "discid: " << id << "\ntracks: " << toc->trackStarts.size() << "\noffsets:";
        for (int offset : toc->trackStarts) out << " " << offset;
        out << "\nlength_seconds: " << length << "\nmusicbrainz: " << musicBrainz << "\n";
    }
    return 0;
}

const sv::cli::CommandRegistration kRegistration("discid", "[--drive N | --image FILE.cue | --demo] [--json]",
                                                 "print the CDDB disc identifier, track offsets and length, and the MusicBrainz disc id",
                                                 &RunDiscId,
                                                 std::string(sv::cli::kDiscSourceHelp) +
                                                     "  --json           identifier, offsets and length as JSON\n");

}  // namespace
