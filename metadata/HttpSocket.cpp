#include "metadata/HttpSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace sv {
namespace {

// Waiting is split into slices so that the event pump runs while a server is
// slow to answer.
constexpr int kWaitSliceMs = 50;

std::string WithoutBreaks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != '\r' && c != '\n') out.push_back(c);
    return out;
}

// host, or host:port when the port is not 80 (brackets around IPv6 literals).
std::string HostForUrl(const std::string& hostText, int port) {
    std::string host = WithoutBreaks(hostText);
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    if (port != 80) host += ":" + std::to_string(port);
    return host;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool ConnectWithTimeout(int fd, const sockaddr* addr, socklen_t len, int timeoutMs) {
    if (timeoutMs <= 0) {
        int rc;
        do rc = ::connect(fd, addr, len); while (rc != 0 && errno == EINTR);
        return rc == 0;
    }
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    bool connected = ::connect(fd, addr, len) == 0;
    if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
        pollfd p{fd, POLLOUT, 0};
        int rc;
        do rc = ::poll(&p, 1, timeoutMs); while (rc < 0 && errno == EINTR);
        if (rc == 1) {
            int error = 0;
            socklen_t errorLen = sizeof error;
            connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLen) == 0 && error == 0;
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    return connected;
}

}  // namespace

CHTTPSocket::~CHTTPSocket() { Close(); }

bool CHTTPSocket::Create() {
    Close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    family_ = AF_INET;
    return fd_ >= 0;
}

bool CHTTPSocket::Connect(const std::string& hostText, int port, int timeoutMs, int totalMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(totalMs);
    if (fd_ < 0) return false;
    std::string host = hostText;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty() || port <= 0 || port > 65535) {
        errno = EINVAL;
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0 || !list) {
        errno = EINVAL;
        return false;
    }
    bool connected = false;
    for (addrinfo* ai = list; ai && !connected; ai = ai->ai_next) {
        int wait = timeoutMs;
        if (totalMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            wait = static_cast<int>(wait > 0 ? std::min<long long>(wait, left) : left);
        }
        if (fd_ < 0 || ai->ai_family != family_) {
            Close();
            fd_ = ::socket(ai->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            family_ = ai->ai_family;
            if (fd_ < 0) continue;
        }
        connected = ConnectWithTimeout(fd_, ai->ai_addr, ai->ai_addrlen, wait);
        if (!connected) Close();  // a socket whose connect failed cannot be reused
    }
    ::freeaddrinfo(list);
    return connected;
}

bool CHTTPSocket::Send(std::string_view data) {
    if (fd_ < 0) return false;
    while (!data.empty()) {
        const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

long CHTTPSocket::Receive(char* buffer, std::size_t size) {
    if (fd_ < 0) return 0;
    ssize_t n;
    do n = ::recv(fd_, buffer, size, 0); while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

CHTTPSocket::WaitResult CHTTPSocket::WaitReadable(int timeoutMs) {
    if (fd_ < 0) return {};
    pollfd p{fd_, POLLIN, 0};
    int rc;
    do rc = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs); while (rc < 0 && errno == EINTR);
    if (rc < 0) return {};
    return {true, rc > 0};
}

void CHTTPSocket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                                (static_cast<std::uint8_t>(bytes[i + 1]) << 8) |
                                static_cast<std::uint8_t>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16;
        const bool two = i + 1 < bytes.size();
        if (two) v |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += two ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string BuildGetRequest(const std::string& hostText, int port, std::string_view target, const CddbProxy& proxy,
                            bool hostLine) {
    const bool viaProxy = !proxy.host.empty();
    const std::string host = HostForUrl(hostText, port);
    std::string headers;
    if (viaProxy && !proxy.user.empty())
        headers = "Proxy-Authorization: Basic " + Base64Encode(proxy.user + ":" + proxy.password) + "\r\n";
    if (viaProxy || hostLine) headers += "Host: " + host + "\r\n";
    return "GET " + (viaProxy ? "http://" + host : std::string()) + WithoutBreaks(target) + " HTTP/1.0\r\n" + headers +
           "\r\n";
}

std::string BuildRequest(const CCDDBSite& site, const CddbProxy& proxy, std::string_view command,
                         std::string_view hello) {
    return BuildGetRequest(site.host, site.port, site.path + std::string(command) + "&" + std::string(hello), proxy,
                           false);
}

HttpPeer RequestPeer(const std::string& host, int port, const CddbProxy& proxy) {
    if (proxy.host.empty()) return {host, port};
    return {proxy.host, proxy.port};
}

std::optional<std::string_view> ReplyBody(std::string_view reply) {
    const std::size_t blank = reply.find("\r\n\r\n");
    if (blank == std::string_view::npos) return std::nullopt;
    return reply.substr(blank + 4);
}

int BodyStatus(std::optional<std::string_view> body) {
    if (!body || body->empty()) return 0;
    if (body->size() < 3) return -1;
    int code = 0;
    for (char c : body->substr(0, 3)) {
        if (c < '0' || c > '9') break;
        code = code * 10 + (c - '0');
    }
    return code;
}

int ReplyStatus(std::string_view reply) { return BodyStatus(ReplyBody(reply)); }

std::vector<std::string_view> SplitReplyLines(std::string_view body) {
    std::vector<std::string_view> lines;
    while (!body.empty()) {
        const std::size_t lf = body.find('\n');
        std::string_view line = body.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        body.remove_prefix(lf + 1);
    }
    return lines;
}

std::optional<std::size_t> CompleteReplyLength(std::string_view received, std::size_t before, std::string_view marker,
                                               ReplyKind kind) {
    // A single-line status outside 210..219 completes a query; it needs its
    // line end (headers and body may arrive in separate pieces).
    if (kind == ReplyKind::SingleLine) {
        const auto body = ReplyBody(received);
        if (body && body->find('\n') != std::string_view::npos) {
            const int code = BodyStatus(body);
            if (code < 210 || code > 219) return received.size();
        }
    }
    if (marker.empty()) return std::nullopt;
    // Only a marker that the new bytes complete is looked for.
    const std::size_t searchFrom = before >= marker.size() ? before - marker.size() + 1 : 0;
    const std::size_t at = received.find(marker, searchFrom);
    if (at == std::string_view::npos) return std::nullopt;
    return at;
}

bool ClosedReplyComplete(std::string_view received, ReplyKind kind) {
    // A query's single-line status may end with the connection instead of a
    // line end.
    if (kind != ReplyKind::SingleLine) return false;
    const int code = ReplyStatus(received);
    return code > 0 && (code < 210 || code > 219);
}

ReplyEnd CollectReply(CHTTPSocket& socket, std::size_t chunk, std::size_t maxBytes, int waitMs,
                      std::chrono::steady_clock::time_point deadline, IEventPump* pump,
                      const ReplyCompletion& complete, std::string& reply) {
    using Clock = std::chrono::steady_clock;
    if (chunk == 0) chunk = kReplyChunk;
    std::vector<char> buffer(chunk);
    std::size_t received = 0;
    reply.clear();
    auto finish = [&](ReplyEnd end) {
        reply.assign(buffer.data(), received);
        return end;
    };
    auto cancelled = [&] {
        if (pump) pump->ProcessPendingEvents();
        return pump && pump->CancelRequested();
    };
    for (;;) {
        const auto waitEnd = std::min(deadline, Clock::now() + std::chrono::milliseconds(waitMs));
        bool ready = false;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(waitEnd - Clock::now()).count();
            if (left <= 0) break;
            const auto wait = socket.WaitReadable(static_cast<int>(std::min<long long>(left, kWaitSliceMs)));
            if (!wait.ok) return finish(ReplyEnd::Failed);
            if (wait.ready) {
                ready = true;
                break;
            }
            if (cancelled()) return finish(ReplyEnd::Cancelled);
        }
        if (!ready) return finish(ReplyEnd::TimedOut);
        const std::size_t freeSpace = buffer.size() > received + 1 ? buffer.size() - received - 1 : 0;
        const long n = socket.Receive(buffer.data() + received, freeSpace);
        if (n <= 0) return finish(n == 0 ? ReplyEnd::Closed : ReplyEnd::Failed);
        const std::size_t before = received;
        received += static_cast<std::size_t>(n);
        if (static_cast<std::size_t>(n) == freeSpace) {
            if (buffer.size() + chunk > maxBytes) return finish(ReplyEnd::TooLarge);
            buffer.resize(buffer.size() + chunk);
        }
        if (const auto length = complete(std::string_view(buffer.data(), received), before)) {
            received = std::min(*length, received);
            return finish(ReplyEnd::Complete);
        }
        if (cancelled()) return finish(ReplyEnd::Cancelled);
    }
}

bool ReadReply(CHTTPSocket& socket, std::string_view marker, std::size_t chunk, ReplyKind kind, int timeoutMs,
               IEventPump* pump, std::string& reply) {
    const auto complete = [&](std::string_view received, std::size_t before) {
        return CompleteReplyLength(received, before, marker, kind);
    };
    const ReplyEnd end = CollectReply(socket, chunk, kMaxReplyBytes, timeoutMs,
                                      std::chrono::steady_clock::time_point::max(), pump, complete, reply);
    return end == ReplyEnd::Complete || (end == ReplyEnd::Closed && ClosedReplyComplete(reply, kind));
}

HttpResponse ParseHttpResponse(std::string_view received, bool closed, std::size_t maxBody) {
    HttpResponse out;
    auto bad = [&](std::string error) {
        out.state = HttpResponse::State::Bad;
        out.error = std::move(error);
        return out;
    };
    const std::size_t blank = received.find("\r\n\r\n");
    if (blank == std::string_view::npos || blank > kMaxHttpHeaderBytes) {
        if (received.size() > kMaxHttpHeaderBytes) return bad("the headers are longer than the limit");
        if (closed) return bad(received.empty() ? "the reply is empty" : "the reply ends inside its headers");
        return out;
    }
    const std::vector<std::string_view> lines = SplitReplyLines(received.substr(0, blank));
    const std::string_view statusLine = lines.empty() ? std::string_view() : lines.front();
    if (statusLine.size() < 12 || statusLine.substr(0, 7) != "HTTP/1." || statusLine[7] < '0' ||
        statusLine[7] > '9' || statusLine[8] != ' ' ||
        (statusLine.size() > 12 && statusLine[12] != ' '))
        return bad("the reply has no HTTP status line");
    int status = 0;
    for (char c : statusLine.substr(9, 3)) {
        if (c < '0' || c > '9') return bad("the reply has no HTTP status line");
        status = status * 10 + (c - '0');
    }
    out.status = status;
    if (out.status != 200) {
        out.state = HttpResponse::State::Complete;
        return out;
    }
    std::optional<std::size_t> length;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t colon = lines[i].find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = lines[i].substr(0, colon);
        const std::string_view value = TrimBlanks(lines[i].substr(colon + 1));
        if (EqualsIgnoringCase(name, "Transfer-Encoding")) return bad("the body comes in chunks");
        if (!EqualsIgnoringCase(name, "Content-Length")) continue;
        std::size_t n = 0;
        if (value.empty() || value.size() > 15) return bad("the Content-Length is not a number of bytes");
        for (char c : value) {
            if (c < '0' || c > '9') return bad("the Content-Length is not a number of bytes");
            n = n * 10 + static_cast<std::size_t>(c - '0');
        }
        if (length && *length != n) return bad("the reply announces two different lengths");
        length = n;
    }
    const std::string_view body = received.substr(blank + 4);
    const std::size_t announced = length.value_or(body.size());
    if (announced > maxBody)
        return bad("the body of " + std::to_string(announced) + " bytes is larger than the limit of " +
                   std::to_string(maxBody));
    if (body.size() < announced || (!length && !closed)) {
        if (closed)
            return bad("the body is cut short: " + std::to_string(body.size()) + " of " + std::to_string(announced) +
                       " bytes");
        return out;
    }
    out.state = HttpResponse::State::Complete;
    out.body = body.substr(0, announced);
    return out;
}

}  // namespace sv
