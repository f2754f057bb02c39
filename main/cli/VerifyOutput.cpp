#include "main/cli/VerifyOutput.h"

#include <cstdio>
#include <ostream>
#include <span>

#include "app/DesktopIntegration.h"
#include "base/Language.h"
#include "cdrom/TocReport.h"
#include "metadata/DiscId.h"

namespace sv::cli {

namespace {

std::string Hex(std::uint32_t v) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

}  // namespace

void StoreOwnDiscId(OpenedDisc& opened) {
    if (const auto toc =
            ParseRawToc(std::span<const std::uint8_t>(opened.toc.Data(), static_cast<std::size_t>(kTocBytes))))
        StoreDiscId(opened.disc, ComputeDiscId(*toc));
}

std::unique_ptr<OpenedDisc> OpenDiscToCheck(const std::vector<std::string>& args, const TProgramSettings& settings,
                                            const char* command, std::ostream& err, int& status) {
    DiscSourceOptions source;
    std::string error;
    if (!ParseDiscSourceOptions(args, source, error)) {
        err << command << ": " << error << "\n";
        status = 2;
        return nullptr;
    }
    source.readCommand = 0;
    auto opened = OpenDiscSource(source, error);
    if (!opened) {
        err << command << ": " << error << "\n";
        status = 1;
        return nullptr;
    }
    if (!opened->notes.empty()) err << command << ": " << opened->notes << "\n";
    opened->cdrom->SetReadCommand(settings.ReadCommand(opened->driveIndex));
    StoreOwnDiscId(*opened);
    return opened;
}

std::optional<int> ReadOffsetOption(const Options& options, const std::string& driveModel, const char* command,
                                    std::ostream& err) {
    const auto text = options.Value("--offset");
    if (!text) return StoredReadOffset(driveModel).value_or(0);
    try {
        std::size_t used = 0;
        const int v = std::stoi(*text, &used);
        if (used == text->size() && v >= -kMaxReadOffset && v <= kMaxReadOffset) return v;
    } catch (const std::exception&) {
    }
    err << command << ": --offset takes the drive's read offset in samples, from -" << kMaxReadOffset << " to "
        << kMaxReadOffset << "\n";
    return std::nullopt;
}

RipVerification VerifyForCommandLine(const DISC_INFO& disc, const std::vector<TrackCheck>& checks,
                                     const TProgramSettings& settings) {
    return VerifyTrackChecks(disc, checks, ConfiguredVerifyOptions(settings));
}

void PrintVerdicts(const RipVerification& v, const DISC_INFO& disc, TLanguage& language, std::ostream& out) {
    std::string languageName = "Russian";
    for (const LanguageEntry& e : language.ListLanguages())
        if (e.index == language.CurrentIndex()) languageName = e.displayName;
    for (const VerifiedTrack& t : v.tracks) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", t.number);
        const std::string title = disc.TrackCopy(t.check.row).Title();
        const std::string verdict = AccurateRipText(t.ar, language, languageName);
        out << number << (title.empty() ? "" : " " + title) << ": CRC32 " << Hex(t.check.crc32) << ", AccurateRip v1 "
            << Hex(t.check.arV1) << ", v2 " << Hex(t.check.arV2) << ": " << verdict << "\n";
    }
}

void PrintVerdictsJson(const RipVerification& v, const std::string& logPath, std::ostream& out) {
    out << "{\"tracks\": [";
    for (std::size_t i = 0; i < v.tracks.size(); ++i) {
        const VerifiedTrack& t = v.tracks[i];
        out << (i ? ", " : "") << "{\"track\": " << t.number << ", \"file\": " << JsonString(t.check.file)
            << ", \"crc32\": \"" << Hex(t.check.crc32) << "\", \"accuraterip\": " << AccurateRipJson(t) << "}";
    }
    out << "], \"accuraterip_disc\": " << JsonString(AccurateRipPath(v.ids)) << ", \"log\": " << JsonString(logPath)
        << "}\n";
}

}  // namespace sv::cli
