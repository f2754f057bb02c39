#include "metadata/HttpSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <algorithm>
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
std::string HostForUrl(const CCDDBSite& site) {
    std::string host = WithoutBreaks(site.host);
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    if (site.port != 80) host += ":" + std::to_string(site.port);
    return host;
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

bool CHTTPSocket::Connect(const std::string& hostText, int port, int timeoutMs) {
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
        if (fd_ < 0 || ai->ai_family != family_) {
            Close();
            fd_ = ::socket(ai->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            family_ = ai->ai_family;
            if (fd_ < 0) continue;
        }
        connected = ConnectWithTimeout(fd_, ai->ai_addr, ai->ai_addrlen, timeoutMs);
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

std::string BuildRequest(const CCDDBSite& site, const CddbProxy& proxy, std::string_view command,
                         std::string_view hello) {
    const std::string target = WithoutBreaks(site.path) + WithoutBreaks(command) + "&" + WithoutBreaks(hello);
    if (proxy.host.empty()) return "GET " + target + " HTTP/1.0\r\n\r\n";
    const std::string host = HostForUrl(site);
    std::string headers;
    if (!proxy.user.empty())
        headers = "Proxy-Authorization: Basic " + Base64Encode(proxy.user + ":" + proxy.password) + "\r\n";
    headers += "Host: " + host;
    return "GET http://" + host + target + " HTTP/1.0\r\n" + headers + "\r\n\r\n";
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

bool ReadReply(CHTTPSocket& socket, std::string_view marker, std::size_t chunk, ReplyKind kind, int timeoutMs,
               IEventPump* pump, std::string& reply) {
    using Clock = std::chrono::steady_clock;
    if (chunk == 0) chunk = kReplyChunk;
    std::vector<char> buffer(chunk);
    std::size_t received = 0;
    reply.clear();
    auto finish = [&](bool ok) {
        reply.assign(buffer.data(), received);
        return ok;
    };
    for (;;) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        bool ready = false;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            const auto wait = socket.WaitReadable(static_cast<int>(std::min<long long>(left, kWaitSliceMs)));
            if (!wait.ok) return finish(false);
            if (wait.ready) {
                ready = true;
                break;
            }
            if (pump) pump->ProcessPendingEvents();
            if (pump && pump->CancelRequested()) return finish(false);
        }
        if (!ready) return finish(false);
        const std::size_t freeSpace = buffer.size() > received + 1 ? buffer.size() - received - 1 : 0;
        const long n = socket.Receive(buffer.data() + received, freeSpace);
        if (n <= 0) return finish(n == 0 && ClosedReplyComplete(std::string_view(buffer.data(), received), kind));
        const std::size_t before = received;
        received += static_cast<std::size_t>(n);
        if (static_cast<std::size_t>(n) == freeSpace) {
            if (buffer.size() + chunk > kMaxReplyBytes) return finish(false);
            buffer.resize(buffer.size() + chunk);
        }
        if (const auto length = CompleteReplyLength(std::string_view(buffer.data(), received), before, marker, kind)) {
            received = *length;
            return finish(true);
        }
        if (pump) pump->ProcessPendingEvents();
        if (pump && pump->CancelRequested()) return finish(false);
    }
}

}  // namespace sv
