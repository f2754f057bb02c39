// CCDDB: the online CDDB client. Three commands over the HTTP transport: the
// mirror list ("sites"), the query that finds the matches of a disc, and the
// read that fetches one match's xmcd entry.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Interaction.h"
#include "metadata/DiscId.h"
#include "metadata/HttpSocket.h"

namespace sv {

struct CCDDBQueryResult {
    std::string category;  // the server's genre category, such as "rock"
    std::uint32_t discId = 0;
    std::string title;     // conventionally "artist / album"
};

// The matches of one query, in reply order, at most 100.
class TCCDDBQueryResults {
public:
    static constexpr std::size_t kCapacity = 100;
    // False (and nothing stored) when the table is full.
    bool Add(CCDDBQueryResult result);
    void Clear() { items_.clear(); }
    std::size_t Count() const { return items_.size(); }
    const CCDDBQueryResult& operator[](std::size_t i) const { return items_.at(i); }
    const std::vector<CCDDBQueryResult>& Items() const { return items_; }

private:
    std::vector<CCDDBQueryResult> items_;
};

// The site table of the mirror list holds 20 sites.
inline constexpr std::size_t kMaxMirrorSites = 20;
// The text of the message shown when a match finds the table full.
inline constexpr const char* kQueryTableFullText = "Error adding CDDBQueryResult in table";
// A stored time-out of 0 (or less) means this many milliseconds.
inline constexpr int kDefaultCddbTimeoutMs = 20000;
int EffectiveCddbTimeout(int storedMs);

// "category discid title": category up to the first space, the identifier as
// hexadecimal, the rest of the line (up to its line end) as title. False for a
// line without the three parts, or with an identifier that is not hexadecimal.
bool ParseMatchLine(std::string_view line, CCDDBQueryResult& out);
// "host protocol port path latitude longitude description" of the mirror
// list, separated by runs of spaces. Only http sites with positions like
// N037.21 / W122.05 and a description are taken.
bool ParseSiteLine(std::string_view line, CCDDBSite& out);

// Every character that is not an ASCII letter or digit becomes "_"; an empty
// text gives "Unknown".
std::string GreetingPart(std::string_view text);
// Letters, digits, ".", "-" and "_" stay, every other byte becomes "_": the
// parts of an e-mail address survive while the greeting stays one parameter of
// the request's URL. An empty text gives "Unknown".
std::string AddressGreetingPart(std::string_view text);

// The greeting's user and host taken from an e-mail address "name@domain"
// (split at its last "@", spaces around the address ignored), each cleaned by
// AddressGreetingPart. Nothing when the address is empty or has nothing before
// or after that "@".
struct GreetingIdentity {
    std::string user;
    std::string host;
};
std::optional<GreetingIdentity> GreetingFromAddress(std::string_view address);

// The longest refusal kept from a server's status line, in bytes.
inline constexpr std::size_t kMaxRefusalBytes = 200;
// The status line of a refusal in a collected reply (headers included): a body
// that starts with a status 500..599, a space and some text, such as "500
// Unknown developer email". Control characters are dropped and the line is cut
// to kMaxRefusalBytes (at a character boundary). Empty for any other reply.
std::string RefusalLine(std::string_view reply);

// "hello=user+host+name+version&proto=level".
std::string MakeHelloString(std::string_view user, std::string_view host, std::string_view clientName,
                            std::string_view clientVersion, int protocolLevel);

class CCDDB {
public:
    // Called with the body of a successful read reply (CDDB status line
    // included); its result becomes the result of the read.
    using ReadHandler = std::function<bool(std::string_view body)>;

    static constexpr const char* kClientName = "Sornaval";
    static constexpr const char* kClientVersion = "3.x";
    // Level 6 is level 5 in UTF-8; level 5 replies are Latin-1.
    static constexpr int kProtocolLevel = 6;
    static constexpr int kQuerySendAttempts = 5;

    // `timeoutMs` is the limit of each wait for data; 0 or less means 20 s.
    explicit CCDDB(int timeoutMs);
    virtual ~CCDDB() = default;

    void SetReadHandler(ReadHandler handler) { readHandler_ = std::move(handler); }
    void SetProxy(std::string host, int port, std::string user, std::string password);
    // Keeps a window responsive while the client waits.
    void SetEventPump(IEventPump* pump) { pump_ = pump; }
    // Where the message about a full match table goes; none: not shown.
    void SetDialogs(IUserDialogs* dialogs) { dialogs_ = dialogs; }
    // The e-mail address whose parts stand for user and host in the greeting
    // of every command (see GreetingFromAddress). Empty, or not of the form
    // "name@domain": the login and host names.
    void SetGreetingAddress(std::string address) { greetingAddress_ = std::move(address); }

    virtual std::string GetHelloString();
    virtual std::string GetClientUser();
    virtual std::string GetClientHost();
    virtual bool ReadReply(CHTTPSocket& socket, std::string_view marker, std::size_t chunk, ReplyKind kind,
                           std::string& reply);

    // Asks `server` for its mirror list; fills `sites` with at most 20 sites
    // and returns their number.
    int QuerySites(std::vector<CCDDBSite>& sites, const CCDDBSite& server = CCDDBSite{});
    // True when at least one match was stored. `sendFailed` is set when the
    // request could not be sent in 5 attempts.
    bool Query(const CCDDBSite& site, std::uint32_t discId, const TrackOffsetTable& offsets,
               TCCDDBQueryResults& results, bool& sendFailed);
    // The read handler's result, or false.
    bool Read(const CCDDBSite& site, std::string_view category, std::uint32_t discId);

    // What the three commands make of a collected reply (headers included),
    // with the same results.
    int TakeSitesReply(std::string_view reply, std::vector<CCDDBSite>& sites);
    bool TakeQueryReply(std::string_view reply, TCCDDBQueryResults& results);
    bool TakeReadReply(std::string_view reply);

    // The command part of a query and of a read, without the greeting.
    static std::string QueryCommand(std::uint32_t discId, const TrackOffsetTable& offsets);
    static std::string ReadCommand(std::string_view category, std::uint32_t discId);

    const std::string& LastReply() const { return lastReply_; }
    // The status line with which the server refused the last command (see
    // RefusalLine); empty when it did not refuse, or did not answer.
    const std::string& Refusal() const { return refusal_; }
    int Status() const { return status_; }
    int TimeoutMs() const { return timeoutMs_; }
    const CddbProxy& Proxy() const { return proxy_; }

private:
    // Connects (to the proxy when one is set), sends the request (up to
    // `sendAttempts` times, connecting anew after a failed send) and collects
    // the reply. `sendFailed` reports that every send failed.
    bool RunCommand(const CCDDBSite& site, std::string_view command, ReplyKind kind, int sendAttempts,
                    bool* sendFailed, std::string& reply);

    ReadHandler readHandler_;
    std::string lastReply_;
    std::string refusal_;
    std::string greetingAddress_;
    int status_ = 0;
    int timeoutMs_;
    CddbProxy proxy_;
    IEventPump* pump_ = nullptr;
    IUserDialogs* dialogs_ = nullptr;
};

}  // namespace sv
