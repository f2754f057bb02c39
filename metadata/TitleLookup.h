// The title lookup of the lookup button, the command line and a newly
// inserted disc: the sources the settings name (CDDB, MusicBrainz, or one
// and then the other), asked in turn until one finds the disc. Whatever
// answers fills the disc record, the tag blocks and the album cache the same
// way; the status callback says which source is being asked and which one
// answered.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "metadata/CddbLookup.h"
#include "metadata/LookupSource.h"
#include "metadata/MusicBrainzLookup.h"

namespace sv {

struct TitleLookupContext {
    // Disc, tags, album cache, dialogs and event pump, and the CDDB settings.
    DiscLookupContext& disc;
    LookupSource source = LookupSource::Cddb;
    // An empty base URL: MusicBrainz is switched off, and only CDDB answers.
    MbLookupOptions musicBrainz;
    std::function<void(const std::string&)> status;
};

struct TitleLookupResult {
    bool applied = false;  // titles were applied to the disc record
    bool saved = false;    // and stored in the album cache
    std::string source;    // "MusicBrainz" or "CDDB": the one that answered
    std::string category;  // the CDDB category of the match read
    std::string status;    // the last text given to the status callback
};

// MusicBrainz as the settings configure it: `server` (empty: switched off),
// the proxy and the time-out of the CDDB settings.
MbLookupOptions MusicBrainzOptions(const TProgramSettings& settings, const std::string& server);

// The sources in the order they are asked.
std::vector<LookupSource> LookupOrder(LookupSource source);

TitleLookupResult RunTitleLookup(TitleLookupContext& context);

// The lookup of a newly inserted disc, which asks the user nothing and may
// run on a thread of its own: it only fetches (the first release or match),
// and ApplyQuietLookup lays what came over the disc on the window's thread.
struct QuietLookupSettings {
    LookupSource source = LookupSource::Cddb;
    MbLookupOptions musicBrainz;  // an empty base URL: MusicBrainz is switched off
    CCDDBSite site;
    CddbProxy proxy;
    std::string greetingAddress;
    int cddbTimeoutMs = 0;
};
QuietLookupSettings QuietLookupSettingsOf(const TProgramSettings& settings, LookupSource source,
                                          const std::string& musicBrainzServer, const std::string& greetingAddress);

struct QuietLookup {
    std::string source;                // "MusicBrainz" or "CDDB"; empty: nothing was found
    std::optional<MbRelease> release;  // MusicBrainz's first release
    std::string cddbEntry;             // CDDB's read reply (status line included)
    int choices = 0;                   // how many releases or matches there were
};
// `pump` is only asked whether to give up; its events are not processed.
QuietLookup LookUpQuietly(const DiscToc& toc, const QuietLookupSettings& settings, IEventPump& pump);
// True when titles were laid over the record and the tag blocks.
bool ApplyQuietLookup(const QuietLookup& found, const DiscToc& toc, DISC_INFO& disc, TagBlocks& tags);

}  // namespace sv
