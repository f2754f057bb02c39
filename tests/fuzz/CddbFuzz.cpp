// CDDB replies (HTTP headers and body) as the client takes them for the
// mirror list, a query and a read; the read's entry fills a disc record.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "metadata/Cddb.h"
#include "metadata/CddbLookup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply = svfuzz::AsText(data, size);
    svfuzz::QuietDialogs dialogs;
    sv::CCDDB client(1000);
    client.SetDialogs(&dialogs);
    sv::DISC_INFO disc;
    disc.SetTrackCount(static_cast<std::uint8_t>(size % 101));
    sv::TagBlocks tags;
    client.SetReadHandler([&](std::string_view body) { return sv::ApplyReadReply(body, disc, tags, dialogs); });

    std::vector<sv::CCDDBSite> sites;
    client.TakeSitesReply(reply, sites);
    sv::TCCDDBQueryResults results;
    client.TakeQueryReply(reply, results);
    client.TakeReadReply(reply);
    return 0;
}
