// CDDB replies (HTTP headers and body) as the client takes them for the
// mirror list, a query and a read; the read's entry fills a disc record; the
// status line of a refusal; the same bytes as the greeting's e-mail address.
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
    client.SetReadHandler([&](std::string_view body) { return sv::ApplyReadReply(body, disc, tags, &dialogs); });

    std::vector<sv::CCDDBSite> sites;
    client.TakeSitesReply(reply, sites);
    sv::TCCDDBQueryResults results;
    client.TakeQueryReply(reply, results);
    client.TakeReadReply(reply);
    const std::string refusal = sv::RefusalLine(reply);
    if (refusal.size() > sv::kMaxRefusalBytes) __builtin_trap();
    for (const char c : refusal)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
    // Whatever the address, the greeting stays one parameter of the URL.
    client.SetGreetingAddress(std::string(reply));
    const std::string hello = client.GetHelloString();
    if (hello.find_first_of(" \r\n&#%?") < hello.find("&proto")) __builtin_trap();
    return 0;
}
