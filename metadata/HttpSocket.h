// The HTTP transport of the CDDB client and the AccurateRip lookup: one
// blocking TCP connection per command (IPv4 or IPv6), one HTTP/1.0 GET,
// straight to the server or through an HTTP proxy with Basic authentication,
// and the collection of the reply up to the CDDB end marker, a single-line
// status, the length its headers announce, a time-out or a failure.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Interaction.h"

namespace sv {

inline constexpr const char* kDefaultCddbHost = "gnudb.gnudb.org";
inline constexpr const char* kDefaultCddbPath = "/~cddb/cddb.cgi";
inline constexpr int kDefaultCddbPort = 80;

// A CDDB server: the mirror list describes each with its position and a
// description; a query needs host, port and CGI path.
struct CCDDBSite {
    int port = kDefaultCddbPort;
    std::string path = kDefaultCddbPath;
    int north = 1;      // 1 north, 0 south
    int latitude = 0;   // degrees x 60 + minutes
    int east = 1;       // 1 east, 0 west
    int longitude = 0;  // degrees x 60 + minutes
    std::string description;
    std::string host = kDefaultCddbHost;
};

// An HTTP proxy; an empty host means that no proxy is used.
struct CddbProxy {
    std::string host;
    int port = 80;
    std::string user;
    std::string password;
};

class CHTTPSocket {
public:
    CHTTPSocket() = default;
    ~CHTTPSocket();
    CHTTPSocket(const CHTTPSocket&) = delete;
    CHTTPSocket& operator=(const CHTTPSocket&) = delete;

    // Opens a TCP socket; true when the handle is valid.
    bool Create();
    // Resolves `host` (name, dotted quad, IPv6 literal with or without
    // brackets) and connects to the first address that answers, within
    // `timeoutMs` per address (0: wait as long as the system does) and
    // `totalMs` over all addresses (0: no such limit; the name lookup is not
    // counted). False when there is no socket, the name does not resolve or no
    // address connects.
    bool Connect(const std::string& host, int port, int timeoutMs = 0, int totalMs = 0);
    // Sends all of `data`; false when there is no socket or sending fails.
    bool Send(std::string_view data);
    // The result of one recv(): bytes received, 0 when the peer closed the
    // connection or there is no socket, -1 on an error.
    long Receive(char* buffer, std::size_t size);
    struct WaitResult {
        bool ok = false;     // false when waiting itself failed
        bool ready = false;  // true when data (or the end) can be read
    };
    WaitResult WaitReadable(int timeoutMs);
    void Close();
    int Handle() const { return fd_; }

private:
    int fd_ = -1;
    int family_ = 0;
};

// Standard base64 with "=" padding, one unbroken token.
std::string Base64Encode(std::string_view bytes);

// A GET of `target` (path and query) from `host`:`port`. Straight to the
// server: the bare target, with a Host line when `hostLine`. Through a proxy:
// the whole URL, Proxy-Authorization when the proxy has a user, and a Host
// line. Line breaks in the parts are dropped.
std::string BuildGetRequest(const std::string& host, int port, std::string_view target, const CddbProxy& proxy,
                            bool hostLine);

// The request text of one CDDB command. `command` is the part after the CGI
// path without the greeting ("?cmd=sites"); "&" and `hello` are appended.
std::string BuildRequest(const CCDDBSite& site, const CddbProxy& proxy, std::string_view command,
                         std::string_view hello);

// Where a request to `host`:`port` connects: the proxy when one is set.
struct HttpPeer {
    std::string host;
    int port = 80;
};
HttpPeer RequestPeer(const std::string& host, int port, const CddbProxy& proxy);

enum class ReplyKind {
    Marker = 0,      // complete at the end marker (sites, read)
    SingleLine = 1,  // also complete after a status line outside 210..219 (query)
};

inline constexpr const char* kCddbEndMarker = "\r\n.\r\n";
inline constexpr std::size_t kReplyChunk = 4096;
inline constexpr std::size_t kMaxReplyBytes = 4u << 20;

// How the collection of a reply ended.
enum class ReplyEnd { Complete, Closed, TimedOut, Failed, TooLarge, Cancelled };

// Given the bytes received so far and how many of them came before the last
// piece: the length of the complete reply, or nothing while more is to come.
using ReplyCompletion = std::function<std::optional<std::size_t>(std::string_view received, std::size_t before)>;

// Collects a reply into `reply` in pieces of up to `chunk` bytes until
// `complete` finds it complete (it is cut to that length), the peer closes the
// connection, a wait for data lasts `waitMs`, `deadline` passes, the reply
// would grow beyond `maxBytes`, receiving fails, or `pump` (when given; it
// processes pending events while waiting) asks to cancel. `reply` holds what
// had arrived.
ReplyEnd CollectReply(CHTTPSocket& socket, std::size_t chunk, std::size_t maxBytes, int waitMs,
                      std::chrono::steady_clock::time_point deadline, IEventPump* pump,
                      const ReplyCompletion& complete, std::string& reply);

// Collects a CDDB reply into `reply`. Each wait for data lasts at most `timeoutMs`;
// while waiting, `pump` (when given) processes pending events. Success when the
// reply is complete; on failure `reply` holds what had arrived. With the end
// marker the reply is cut before it. A reply that grows beyond kMaxReplyBytes
// fails.
bool ReadReply(CHTTPSocket& socket, std::string_view marker, std::size_t chunk, ReplyKind kind, int timeoutMs,
               IEventPump* pump, std::string& reply);

// The decisions of ReadReply over the bytes received so far. The reply is
// complete once a query's single-line status has its line end (its whole
// length is kept) or once the bytes after the first `before` ones complete
// `marker` (the reply is cut before it): the length to keep, or nothing while
// more is to come.
std::optional<std::size_t> CompleteReplyLength(std::string_view received, std::size_t before, std::string_view marker,
                                               ReplyKind kind);
// When the connection closes: complete only for a query's single-line status.
bool ClosedReplyComplete(std::string_view received, ReplyKind kind);

// The text after the first blank line of the reply; nothing without one.
std::optional<std::string_view> ReplyBody(std::string_view reply);
// The value of the first three characters of the body: 0 for an empty or
// missing body, -1 for a body shorter than three characters.
int ReplyStatus(std::string_view reply);
int BodyStatus(std::optional<std::string_view> body);
// Splits at "\r\n" (or "\n" where a line has no "\r\n"); no empty last line.
std::vector<std::string_view> SplitReplyLines(std::string_view body);

// An HTTP reply with a binary body, as far as it has arrived.
struct HttpResponse {
    enum class State { Incomplete, Complete, Bad };
    State state = State::Incomplete;
    int status = 0;         // the status line's code, once the headers are complete
    std::string_view body;  // Complete with status 200: the whole body
    std::string error;      // Bad: what is wrong with the reply
};

inline constexpr std::size_t kMaxHttpHeaderBytes = 16 * 1024;

// Reads `received` (status line, headers, body). A status other than 200 is
// complete with its headers (its body is not used). A 200 reply is complete
// once it holds the Content-Length bytes, or, without that header, when the
// connection has `closed`. Bad: no "HTTP/1.x NNN" status line, headers longer
// than kMaxHttpHeaderBytes or cut short by the close, a malformed or
// contradictory Content-Length, a body announced or grown beyond `maxBody`, a
// chunked body, or a body the close cut short.
HttpResponse ParseHttpResponse(std::string_view received, bool closed, std::size_t maxBody);

}  // namespace sv
