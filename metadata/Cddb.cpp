#include "metadata/Cddb.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "base/Text.h"

namespace sv {
namespace {

constexpr std::size_t kMaxCategoryBytes = 64;
constexpr std::size_t kMaxMatchTitleBytes = 256;
constexpr std::size_t kMaxSiteDescriptionBytes = 200;

bool IsVisibleAscii(std::string_view s) {
    for (char c : s)
        if (c <= ' ' || c >= 0x7F) return false;
    return !s.empty();
}

std::string CleanText(std::string_view raw, std::size_t maxBytes) {
    std::string text = ToUtf8Lenient(raw);
    std::string out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) continue;
        out.push_back(c);
    }
    return std::string(CutUtf8(out, maxBytes));
}

// Takes the next space-delimited token of `s` (after leading spaces).
std::string_view NextToken(std::string_view& s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    const std::size_t end = std::min(s.find(' '), s.size());
    std::string_view token = s.substr(0, end);
    s.remove_prefix(end);
    return token;
}

// "N037.21": hemisphere letter, three digits of degrees, a separator, two of minutes.
bool ParsePosition(std::string_view s, char positive, char negative, int& flag, int& minutes) {
    if (s.size() != 7 || (s[0] != positive && s[0] != negative)) return false;
    int degrees = 0, mins = 0;
    if (!ParseDecimal(s.substr(1, 3), degrees) || !ParseDecimal(s.substr(5, 2), mins)) return false;
    flag = s[0] == positive ? 1 : 0;
    minutes = degrees * 60 + mins;
    return true;
}

std::string PercentEncode(std::string_view s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) || c == '-' || c == '_' || c == '.') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
    return out;
}

}  // namespace

int EffectiveCddbTimeout(int storedMs) { return storedMs <= 0 ? kDefaultCddbTimeoutMs : storedMs; }

bool TCCDDBQueryResults::Add(CCDDBQueryResult result) {
    if (items_.size() >= kCapacity) return false;
    items_.push_back(std::move(result));
    return true;
}

bool ParseMatchLine(std::string_view line, CCDDBQueryResult& out) {
    const std::size_t end = line.find('\n');
    if (end != std::string_view::npos) line = line.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t space = line.find(' ');
    if (space == 0 || space == std::string_view::npos) return false;
    const std::string_view category = line.substr(0, space);
    std::string_view rest = line.substr(space);
    const std::string_view id = NextToken(rest);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (!IsVisibleAscii(category) || category.size() > kMaxCategoryBytes) return false;
    if (id.empty() || id.size() > 8) return false;
    std::uint32_t value = 0;
    for (char c : id) {
        const auto b = static_cast<unsigned char>(c);
        if (!std::isxdigit(b)) return false;
        value = value * 16 + static_cast<std::uint32_t>(std::isdigit(b) ? b - '0' : (std::tolower(b) - 'a' + 10));
    }
    std::string title = CleanText(rest, kMaxMatchTitleBytes);
    if (title.empty()) return false;
    out.category = std::string(category);
    out.discId = value;
    out.title = std::move(title);
    return true;
}

bool ParseSiteLine(std::string_view line, CCDDBSite& out) {
    std::string_view rest = line;
    const std::string_view host = NextToken(rest);
    const std::string_view protocol = NextToken(rest);
    const std::string_view port = NextToken(rest);
    const std::string_view path = NextToken(rest);
    const std::string_view latitude = NextToken(rest);
    const std::string_view longitude = NextToken(rest);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    CCDDBSite site;
    if (!StartsWith(protocol, "http")) return false;
    if (!IsVisibleAscii(host) || !IsVisibleAscii(path)) return false;
    if (host.find('#') != std::string_view::npos || path.find('#') != std::string_view::npos) return false;
    if (!ParseDecimal(port, site.port) || site.port < 1 || site.port > 65535) return false;
    if (!ParsePosition(latitude, 'N', 'S', site.north, site.latitude)) return false;
    if (!ParsePosition(longitude, 'E', 'W', site.east, site.longitude)) return false;
    std::string description = CleanText(rest, kMaxSiteDescriptionBytes);
    for (char& c : description)
        if (c == '#') c = ' ';
    if (Trim(description).empty()) return false;
    site.host = std::string(host);
    site.path = std::string(path);
    site.description = std::move(description);
    out = std::move(site);
    return true;
}

std::string GreetingPart(std::string_view text) {
    if (text.empty()) return "Unknown";
    std::string out(text);
    for (char& c : out)
        if (!std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80) c = '_';
    return out;
}

std::string AddressGreetingPart(std::string_view text) {
    if (text.empty()) return "Unknown";
    std::string out(text);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || (!std::isalnum(b) && c != '.' && c != '-' && c != '_')) c = '_';
    }
    return out;
}

std::optional<GreetingIdentity> GreetingFromAddress(std::string_view address) {
    const std::string trimmed = Trim(address);
    const std::size_t at = trimmed.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == trimmed.size()) return std::nullopt;
    return GreetingIdentity{AddressGreetingPart(std::string_view(trimmed).substr(0, at)),
                            AddressGreetingPart(std::string_view(trimmed).substr(at + 1))};
}

std::string RefusalLine(std::string_view reply) {
    const auto body = ReplyBody(reply);
    const int code = BodyStatus(body);
    if (code < 500 || code > 599 || body->size() < 5 || (*body)[3] != ' ') return {};
    const std::string_view line = body->substr(0, body->find_first_of("\r\n"));
    const std::string text = Trim(CleanText(line.substr(4), kMaxRefusalBytes - 4));
    if (text.empty()) return {};
    return std::string(line.substr(0, 4)) + text;
}

std::string MakeHelloString(std::string_view user, std::string_view host, std::string_view clientName,
                            std::string_view clientVersion, int protocolLevel) {
    return "hello=" + std::string(user) + "+" + std::string(host) + "+" + std::string(clientName) + "+" +
           std::string(clientVersion) + "&proto=" + std::to_string(protocolLevel);
}

CCDDB::CCDDB(int timeoutMs) : timeoutMs_(EffectiveCddbTimeout(timeoutMs)) {}

void CCDDB::SetProxy(std::string host, int port, std::string user, std::string password) {
    proxy_ = CddbProxy{std::move(host), port <= 0 ? 80 : port, std::move(user), std::move(password)};
}

std::string CCDDB::GetClientUser() {
    const passwd* pw = ::getpwuid(::geteuid());
    if (!pw || !pw->pw_name) return "Unknown";
    return GreetingPart(pw->pw_name);
}

std::string CCDDB::GetClientHost() {
    char name[260] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "Unknown";
    return GreetingPart(name);
}

std::string CCDDB::GetHelloString() {
    if (const auto identity = GreetingFromAddress(greetingAddress_))
        return MakeHelloString(identity->user, identity->host, kClientName, kClientVersion, kProtocolLevel);
    return MakeHelloString(GetClientUser(), GetClientHost(), kClientName, kClientVersion, kProtocolLevel);
}

bool CCDDB::ReadReply(CHTTPSocket& socket, std::string_view marker, std::size_t chunk, ReplyKind kind,
                      std::string& reply) {
    return sv::ReadReply(socket, marker, chunk, kind, timeoutMs_, pump_, reply);
}

bool CCDDB::RunCommand(const CCDDBSite& site, std::string_view command, ReplyKind kind, int sendAttempts,
                       bool* sendFailed, std::string& reply) {
    if (sendFailed) *sendFailed = false;
    refusal_.clear();
    const HttpPeer peer = RequestPeer(site.host, site.port, proxy_);
    const std::string request = BuildRequest(site, proxy_, command, GetHelloString());
    CHTTPSocket socket;
    bool sent = false;
    for (int attempt = 0; attempt < sendAttempts && !sent; ++attempt) {
        if (!socket.Create() || !socket.Connect(peer.host, peer.port, timeoutMs_)) {
            status_ = 0;
            return false;
        }
        sent = socket.Send(request);
    }
    if (!sent) {
        if (sendFailed) *sendFailed = true;
        status_ = 0;
        return false;
    }
    const bool ok = ReadReply(socket, kCddbEndMarker, kReplyChunk, kind, reply);
    socket.Close();
    // A refusal ends a read without the end marker; its status line counts
    // all the same.
    refusal_ = RefusalLine(reply);
    if (!ok) {
        lastReply_ = reply;
        status_ = 0;
    }
    return ok;
}

int CCDDB::QuerySites(std::vector<CCDDBSite>& sites, const CCDDBSite& server) {
    sites.clear();
    std::string reply;
    if (!RunCommand(server, "?cmd=sites", ReplyKind::Marker, 1, nullptr, reply)) return 0;
    return TakeSitesReply(reply, sites);
}

int CCDDB::TakeSitesReply(std::string_view reply, std::vector<CCDDBSite>& sites) {
    sites.clear();
    const auto body = ReplyBody(reply);
    lastReply_ = body ? std::string(*body) : std::string();
    const int code = BodyStatus(body);
    if (code < 210 || code > 219) {
        status_ = 0;
        return 0;
    }
    const auto lines = SplitReplyLines(*body);
    for (std::size_t i = 1; i < lines.size() && sites.size() < kMaxMirrorSites; ++i) {
        CCDDBSite site;
        if (ParseSiteLine(lines[i], site)) sites.push_back(std::move(site));
    }
    lastReply_.clear();
    status_ = code;
    return static_cast<int>(sites.size());
}

std::string CCDDB::QueryCommand(std::uint32_t discId, const TrackOffsetTable& offsets) {
    std::string command = "?cmd=cddb+query+" + DiscIdUpperHex(discId) + "+" + std::to_string(offsets.count);
    for (int i = 0; i < offsets.count; ++i) command += "+" + std::to_string(offsets.Frames(i));
    const auto& leadOut = offsets.entries[static_cast<std::size_t>(offsets.count)];
    command += "+" + std::to_string(leadOut[0] * 60 + leadOut[1]);
    return command;
}

std::string CCDDB::ReadCommand(std::string_view category, std::uint32_t discId) {
    return "?cmd=cddb+read+" + PercentEncode(category) + "+" + DiscIdUpperHex(discId);
}

bool CCDDB::Query(const CCDDBSite& site, std::uint32_t discId, const TrackOffsetTable& offsets,
                  TCCDDBQueryResults& results, bool& sendFailed) {
    results.Clear();
    std::string reply;
    if (!RunCommand(site, QueryCommand(discId, offsets), ReplyKind::SingleLine, kQuerySendAttempts, &sendFailed,
                    reply))
        return false;
    return TakeQueryReply(reply, results);
}

bool CCDDB::TakeQueryReply(std::string_view reply, TCCDDBQueryResults& results) {
    results.Clear();
    const auto body = ReplyBody(reply);
    lastReply_ = body ? std::string(*body) : std::string();
    const int code = BodyStatus(body);
    if (code >= 210 && code <= 219) {
        const auto lines = SplitReplyLines(*body);
        bool reportedFull = false;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            CCDDBQueryResult match;
            if (lines[i] == "." || !ParseMatchLine(lines[i], match)) continue;
            if (!results.Add(std::move(match)) && !reportedFull) {
                // One message per reply: a hostile list of thousands of matches must not
                // turn into thousands of message boxes.
                reportedFull = true;
                if (dialogs_) dialogs_->ShowMessage(kQueryTableFullText, MessageIcon::Error);
            }
        }
    } else if (code == 200 && body->size() > 5) {
        CCDDBQueryResult match;
        if (ParseMatchLine(body->substr(4), match)) results.Add(std::move(match));
    } else if (code != 202) {
        status_ = 0;
        return false;
    }
    if (code != 202) {
        lastReply_.clear();
        status_ = code;
    }
    return results.Count() > 0;
}

bool CCDDB::Read(const CCDDBSite& site, std::string_view category, std::uint32_t discId) {
    std::string reply;
    if (!RunCommand(site, ReadCommand(category, discId), ReplyKind::Marker, 1, nullptr, reply)) return false;
    return TakeReadReply(reply);
}

bool CCDDB::TakeReadReply(std::string_view reply) {
    lastReply_ = reply;
    if (!readHandler_) return false;
    const auto body = ReplyBody(reply);
    return readHandler_(body ? *body : std::string_view());
}

}  // namespace sv
