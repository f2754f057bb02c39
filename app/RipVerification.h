// Checking a grab against other people's rips: the AccurateRip verdict on
// every track read to its end, the texts the window and the command line show
// for it, and the rip log written beside the tracks.
#pragma once

#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "grab/RipSession.h"
#include "metadata/AccurateRip.h"

namespace sv {

class TCDROM;
class TLanguage;

struct VerifiedTrack {
    TrackCheck check;
    int number = 0;  // the disc's number of the track
    ArTrackResult ar;
};

struct RipVerification {
    AccurateRipIds ids;
    ArLookup::Status lookup = ArLookup::Status::NotChecked;
    std::string lookupReason;  // why it was not checked
    int pressings = 0;
    std::vector<VerifiedTrack> tracks;
};

struct VerifyOptions {
    bool lookup = true;  // false: nothing is fetched; every track is "not checked"
    std::string server = kDefaultAccurateRipHost;
    CddbProxy proxy;
    int timeoutMs = 0;  // 0: the lookup's default
    IEventPump* pump = nullptr;
};

// The lookup as configured: the AccurateRip server (see AccurateRipServer;
// none switches the lookup off) and the settings' proxy.
VerifyOptions ConfiguredVerifyOptions(const TProgramSettings& settings);

// Looks the disc up once and judges every check. A trimmed track is not
// checked (AccurateRip knows whole tracks only); a missing network or server
// leaves every track "not checked" with the reason.
RipVerification VerifyTrackChecks(const DISC_INFO& disc, const std::vector<TrackCheck>& checks,
                                  const VerifyOptions& options);

// "AccurateRip: точно (достоверность 12)" and its kin in the current language.
std::string AccurateRipText(const ArTrackResult& ar, TLanguage& language, const std::string& languageName);

// "accurate", "inaccurate", "unknown" or "unchecked".
const char* AccurateRipWord(ArTrackResult::Result result);

// What the log says of how the disc was read.
struct RipLogFacts {
    std::string program;     // "Sornaval v3.4"
    std::string drive;       // the drive's name
    int readOffset = 0;
    std::string readCommand; // the read command's name
    std::string method;      // the extraction method's name
    std::string artist, album;
    std::string cddbId, musicBrainzId;  // the disc's identifiers
};

// The facts of a grab of `disc` from the drive `drive` (its title) through
// `cdrom` with the settings' extraction method.
RipLogFacts GrabLogFacts(const TCDROM& cdrom, const TProgramSettings& settings, const DISC_INFO& disc,
                         const std::string& drive, int readOffset);

// The plain-text log users keep with their rips: the facts, the disc's
// AccurateRip identifiers and, per track, its file, CRC-32, AccurateRip v1
// and v2 sums and verdict.
std::string RipLogText(const RipVerification& verification, const RipLogFacts& facts);

// "<folder of the first track>/<album>.log" ("rip.log" without an album
// name); empty without tracks.
std::string RipLogPath(const RipVerification& verification, const std::string& album);

// Writes the log; false when it cannot be written.
bool WriteRipLog(const std::string& path, const std::string& text);

// {"v1": "xxxxxxxx", "v2": "xxxxxxxx", "result": "...", "confidence": N}
std::string AccurateRipJson(const VerifiedTrack& track);

// The AccurateRip v1 checksum of the 588 samples (one sector) starting at
// `pcm`, as the database keeps it for each track's sector 450.
std::uint32_t Frame450Checksum(const std::uint8_t* pcm);

struct OffsetDetection {
    bool found = false;
    int offset = 0;       // the read offset in samples
    int tracks = 0;       // tracks whose sector 450 matched at that offset
    int confidence = 0;   // the highest confidence of those matches
    std::string reason;   // why nothing was found
};

// Finds the drive's read offset from a disc that is in the AccurateRip
// database: reads sector 450 and its neighbours of up to `maxTracks` audio
// tracks without correction and tries every offset within `range` samples
// against the database's sector-450 checksums. Found when an offset matches
// with a confidence of 2 or more; the offset matching the most tracks wins.
OffsetDetection DetectReadOffset(TCDROM& cdrom, const DISC_INFO& disc, const VerifyOptions& options,
                                 int range = 2000, int maxTracks = 3);

}  // namespace sv
