#include "app/RipVerification.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>

#include "app/DesktopIntegration.h"
#include "app/WindowTexts.h"
#include "base/Msf.h"
#include "cdrom/AudioReader.h"
#include "cdrom/ReadCommands.h"
#include "cdrom/TCDROM.h"
#include "base/Text.h"
#include "formats/OutputNaming.h"
#include "metadata/CddbLookup.h"
#include "metadata/DiscId.h"
#include "metadata/MusicBrainzId.h"

namespace sv {

namespace {

std::string Hex(std::uint32_t v) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

std::string Text(const char* key, TLanguage& language, const std::string& languageName) {
    return WindowValue(OtherTexts(), key, language, languageName);
}

// The texts in English, for the log and the command line's JSON.
std::string EnglishText(const char* key) {
    for (const WindowText& t : OtherTexts().texts)
        if (std::string_view(t.object) == key) return t.english;
    return {};
}

std::string VerdictText(const ArTrackResult& ar, const std::function<std::string(const char*)>& text) {
    std::string s;
    switch (ar.result) {
    case ArTrackResult::Accurate:
        s = text("ArAccurate");
        ReplaceAll(s, "%1", std::to_string(ar.confidence));
        break;
    case ArTrackResult::Inaccurate:
        s = text("ArInaccurate");
        ReplaceAll(s, "%1", std::to_string(ar.bestConfidence));
        break;
    case ArTrackResult::Unknown: s = text("ArUnknown"); break;
    case ArTrackResult::Unchecked:
        s = text("ArUnchecked");
        ReplaceAll(s, "%1", ar.reason);
        break;
    }
    return s;
}

}  // namespace

VerifyOptions ConfiguredVerifyOptions(const TProgramSettings& settings) {
    VerifyOptions options;
    options.server = AccurateRipServer();
    options.lookup = !options.server.empty();
    options.proxy = ProxyFromSettings(settings);
    return options;
}

RipVerification VerifyTrackChecks(const DISC_INFO& disc, const std::vector<TrackCheck>& checks,
                                  const VerifyOptions& options) {
    RipVerification v;
    v.ids = ComputeAccurateRipIds(disc);
    ArLookup lookup;
    if (checks.empty()) {
        lookup.reason = "no track was read";
    } else if (!options.lookup) {
        lookup.reason = "the lookup is switched off";
    } else {
        lookup = FetchAccurateRip(options.server, v.ids, options.proxy, options.timeoutMs, options.pump);
    }
    v.lookup = lookup.status;
    v.lookupReason = lookup.reason;
    v.pressings = static_cast<int>(lookup.pressings.size());
    for (const TrackCheck& check : checks) {
        VerifiedTrack t;
        t.check = check;
        t.number = disc.TrackNumber(check.row);
        if (!check.wholeTrack) {
            t.ar.result = ArTrackResult::Unchecked;
            t.ar.reason = EnglishText("ArTrimmed");
        } else {
            t.ar = MatchAccurateRip(lookup, check.row, check.arV1, check.arV2);
        }
        v.tracks.push_back(std::move(t));
    }
    return v;
}

std::string AccurateRipText(const ArTrackResult& ar, TLanguage& language, const std::string& languageName) {
    ArTrackResult shown = ar;
    if (shown.result == ArTrackResult::Unchecked && shown.reason == EnglishText("ArTrimmed"))
        shown.reason = Text("ArTrimmed", language, languageName);
    return VerdictText(shown, [&](const char* key) { return Text(key, language, languageName); });
}

const char* AccurateRipWord(ArTrackResult::Result result) {
    switch (result) {
    case ArTrackResult::Accurate: return "accurate";
    case ArTrackResult::Inaccurate: return "inaccurate";
    case ArTrackResult::Unknown: return "unknown";
    case ArTrackResult::Unchecked: break;
    }
    return "unchecked";
}

RipLogFacts GrabLogFacts(const TCDROM& cdrom, const TProgramSettings& settings, const DISC_INFO& disc,
                         const std::string& drive, int readOffset) {
    RipLogFacts facts;
    facts.program = kProgramCaption;
    facts.drive = drive;
    facts.readOffset = readOffset;
    const int command = cdrom.ReadCommand();
    facts.readCommand = command >= 0 && command < kReadCommandCount
                            ? std::string(kReadCommandNames[static_cast<std::size_t>(command)])
                            : "?";
    facts.method = kExtractMethodNames[std::clamp<int>(settings.ExtractMethod(), 0, 3)];
    facts.artist = disc.Artist();
    facts.album = disc.Album();
    const DiscToc toc = TocOfRecord(disc);
    facts.cddbId = DiscIdUpperHex(disc.DiscId() != 0 ? disc.DiscId() : ComputeDiscId(toc));
    facts.musicBrainzId = MusicBrainzDiscId(toc);
    return facts;
}

std::string RipLogText(const RipVerification& v, const RipLogFacts& facts) {
    std::string log;
    auto line = [&log](const std::string& name, const std::string& value) { log += name + ": " + value + "\n"; };
    log += facts.program + " rip log\n\n";
    line("Artist", facts.artist);
    line("Album", facts.album);
    line("Drive", facts.drive);
    line("Read offset correction", std::to_string(facts.readOffset) + " samples");
    line("Read command", facts.readCommand);
    line("Extraction method", facts.method);
    line("CDDB disc id", facts.cddbId);
    line("MusicBrainz disc id", facts.musicBrainzId);
    line("AccurateRip disc", AccurateRipPath(v.ids));
    switch (v.lookup) {
    case ArLookup::Status::Found: line("AccurateRip lookup", std::to_string(v.pressings) + " pressing(s) in the database"); break;
    case ArLookup::Status::NotFound: line("AccurateRip lookup", "the disc is not in the database"); break;
    case ArLookup::Status::NotChecked: line("AccurateRip lookup", "not checked (" + v.lookupReason + ")"); break;
    }
    int accurate = 0;
    for (const VerifiedTrack& t : v.tracks) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", t.number);
        log += std::string("\nTrack ") + number + "\n";
        if (!t.check.file.empty()) line("  File", t.check.file);
        line("  Copy CRC32", Hex(t.check.crc32));
        line("  AccurateRip v1", Hex(t.check.arV1));
        line("  AccurateRip v2", Hex(t.check.arV2));
        std::string verdict = VerdictText(t.ar, [](const char* key) { return EnglishText(key); });
        if (t.ar.result == ArTrackResult::Accurate) verdict += ", v" + std::to_string(t.ar.version);
        line("  Result", verdict);
        if (t.check.silencedSamples > 0)
            line("  Note", std::to_string(t.check.silencedSamples) +
                               " samples lay outside the disc after the offset correction and are silence");
        accurate += t.ar.result == ArTrackResult::Accurate ? 1 : 0;
    }
    log += "\n" + std::to_string(accurate) + " of " + std::to_string(v.tracks.size()) + " tracks accurately ripped\n";
    return log;
}

std::string RipLogPath(const RipVerification& v, const std::string& album) {
    for (const VerifiedTrack& t : v.tracks) {
        if (t.check.file.empty()) continue;
        std::string name = CleanNameValue(album);
        if (name.empty() || name == "." || name == "..") name = "rip";
        return (std::filesystem::path(t.check.file).parent_path() / (name + ".log")).string();
    }
    return {};
}

bool WriteRipLog(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

std::string AccurateRipJson(const VerifiedTrack& t) {
    return "{\"v1\": \"" + Hex(t.check.arV1) + "\", \"v2\": \"" + Hex(t.check.arV2) + "\", \"result\": \"" +
           AccurateRipWord(t.ar.result) + "\", \"confidence\": " + std::to_string(t.ar.confidence) + "}";
}

std::uint32_t Frame450Checksum(const std::uint8_t* pcm) {
    std::uint32_t sum = 0;
    for (std::uint32_t k = 0; k < kSectorBytes / 4; ++k) {
        const std::uint8_t* p = pcm + k * 4;
        const std::uint32_t value = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                    static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
        sum += (k + 1) * value;
    }
    return sum;
}

OffsetDetection DetectReadOffset(TCDROM& cdrom, const DISC_INFO& disc, const VerifyOptions& options, int range,
                                 int maxTracks) {
    OffsetDetection d;
    if (!options.lookup) {
        d.reason = "the AccurateRip lookup is switched off";
        return d;
    }
    const ArLookup lookup = FetchAccurateRip(options.server, ComputeAccurateRipIds(disc), options.proxy,
                                             options.timeoutMs, options.pump);
    if (lookup.status != ArLookup::Status::Found) {
        d.reason = lookup.status == ArLookup::Status::NotFound ? "the disc is not in the AccurateRip database"
                                                                : lookup.reason;
        return d;
    }
    constexpr int kPerSector = kSectorBytes / 4;
    const int spread = (range + kPerSector - 1) / kPerSector;  // sectors either side of 450
    // matches[offset + range]: tracks matched and the best confidence.
    std::vector<std::pair<int, int>> matches(static_cast<std::size_t>(2 * range + 1));
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(2 * spread + 1) * kSectorBytes);
    int tried = 0;
    for (int row = 0; row < disc.TrackCount() && tried < maxTracks; ++row) {
        const TRACK_INFO t = disc.TrackCopy(row);
        const std::int32_t start = t.StartLba(), end = disc.TrackCopy(row + 1).StartLba();
        if (!t.AudioFlag() || end - start < 450 + spread + 1 || start + 450 - spread < 0) continue;
        if (!cdrom.ReadSectors(start + 450 - spread, 2 * spread + 1, raw.data())) continue;
        ++tried;
        for (int offset = -range; offset <= range; ++offset) {
            const std::uint32_t sum = Frame450Checksum(raw.data() + static_cast<std::size_t>(spread * kPerSector + offset) * 4);
            int best = 0;
            for (const ArPressing& p : lookup.pressings) {
                if (static_cast<std::size_t>(row) >= p.tracks.size()) continue;
                const ArTrackEntry& e = p.tracks[static_cast<std::size_t>(row)];
                if (e.confidence > 0 && e.frame450Crc != 0 && e.frame450Crc == sum) best = std::max(best, e.confidence);
            }
            if (best == 0) continue;
            auto& m = matches[static_cast<std::size_t>(offset + range)];
            ++m.first;
            m.second = std::max(m.second, best);
        }
    }
    if (tried == 0) {
        d.reason = "no track could be read around its sector 450";
        return d;
    }
    for (int offset = -range; offset <= range; ++offset) {
        const auto& m = matches[static_cast<std::size_t>(offset + range)];
        if (m.second < 2) continue;
        if (!d.found || m.first > d.tracks || (m.first == d.tracks && m.second > d.confidence) ||
            (m.first == d.tracks && m.second == d.confidence && std::abs(offset) < std::abs(d.offset))) {
            d.found = true;
            d.offset = offset;
            d.tracks = m.first;
            d.confidence = m.second;
        }
    }
    if (!d.found) d.reason = "no offset within " + std::to_string(range) + " samples matches the database";
    return d;
}

}  // namespace sv
