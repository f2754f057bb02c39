// The disc lookup at the MusicBrainz web service, over HTTP or HTTPS through
// libcurl.
//
// One request asks for the disc by its identifier with its table of contents
// beside it: the service answers a disc it knows with its releases, and looks
// a disc it does not know up by the table of contents (releases whose medium
// has the same number of tracks of about the same lengths). CD stubs
// (unreviewed submissions of bare titles) are not asked for.
//
// The service's rules are kept: a User-Agent that names the program, its
// version and a contact, at most one request a second from the whole process,
// and after a 503 (too many requests) one retry after the delay the reply asks
// for.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "metadata/DiscId.h"
#include "metadata/HttpSocket.h"
#include "metadata/MusicBrainzId.h"
#include "metadata/MusicBrainzReply.h"

namespace sv {

inline constexpr const char* kMusicBrainzBaseUrl = "https://musicbrainz.org";
inline constexpr int kDefaultMbTimeoutMs = 20000;
inline constexpr int kMbRequestIntervalMs = 1000;
inline constexpr int kMaxMbRetryAfterMs = 10000;
inline constexpr std::size_t kMaxMbReplyBytes = 4u << 20;

// "Sornaval/<version> ( <contact> )"; without a contact configured in the
// build (SORNAVAL_CONTACT), "Sornaval/<version>".
std::string MusicBrainzUserAgent();

struct MbLookupOptions {
    std::string baseUrl = kMusicBrainzBaseUrl;  // scheme, host and port, no path
    CddbProxy proxy;                            // an empty host: no proxy
    // The whole lookup, waits for the request interval and a retry included;
    // 0 or less: kDefaultMbTimeoutMs.
    int timeoutMs = kDefaultMbTimeoutMs;
    // The least time between two requests of the process. MusicBrainz asks for
    // a second; a server of one's own may allow less.
    int requestIntervalMs = kMbRequestIntervalMs;
    std::size_t maxReplyBytes = kMaxMbReplyBytes;
};

struct MbLookupResult {
    enum class Status { Found, NotFound, Failed, Cancelled };
    Status status = Status::Failed;
    std::vector<MbRelease> releases;  // Found: at least one
    bool fuzzy = false;               // matched by the table of contents, not by the identifier
    std::string discId;
    std::string message;  // NotFound, Failed, Cancelled: what to tell the user
    int httpStatus = 0;   // of the last reply; 0 when none came
};

// The path and query of the lookup of `toc`:
// "/ws/2/discid/<id>?toc=<toc text>&cdstubs=no&inc=artist-credits+recordings&fmt=json".
std::string MusicBrainzRequestTarget(const MbToc& toc);

// Looks the disc up. Found with the releases (at most kMaxMbReleases);
// NotFound when the service knows no release for it (HTTP 404, or no fuzzy
// match); Failed with the reason when the disc has no audio track, the server
// cannot be reached (name, connection, proxy, TLS), does not answer within the
// time-out, answers another status, a second 503, or a reply that is larger
// than the limit or cannot be read; Cancelled when `pump` asks to give up.
// `pump` (may be null) processes the window's events while the lookup waits.
MbLookupResult LookupMusicBrainz(const DiscToc& toc, const MbLookupOptions& options, IEventPump* pump);

}  // namespace sv
