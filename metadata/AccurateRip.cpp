#include "metadata/AccurateRip.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "base/Msf.h"
#include "metadata/DiscId.h"

namespace sv {
namespace {

constexpr std::size_t kChunkHeaderBytes = 13;
constexpr std::size_t kTrackEntryBytes = 9;

std::uint32_t ReadLe32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(k)]);
    return v;
}

std::string IdsText(int tracks, std::uint32_t id1, std::uint32_t id2, std::uint32_t cddb) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%03d-%08x-%08x-%08x", tracks, static_cast<unsigned>(id1),
                  static_cast<unsigned>(id2), static_cast<unsigned>(cddb));
    return buf;
}

// "host", "host:port", "[v6]" or "[v6]:port"; a bare IPv6 literal has no port.
std::optional<HttpPeer> ParseServer(std::string_view server) {
    HttpPeer peer;
    std::string_view host = server;
    const std::size_t colon = server.rfind(':');
    const bool bracketed = !server.empty() && server.front() == '[';
    if (colon != std::string_view::npos && (bracketed ? colon > server.find(']') : server.find(':') == colon)) {
        host = server.substr(0, colon);
        const std::string_view port = server.substr(colon + 1);
        if (port.empty() || port.size() > 5) return std::nullopt;
        peer.port = 0;
        for (char c : port) {
            if (c < '0' || c > '9') return std::nullopt;
            peer.port = peer.port * 10 + (c - '0');
        }
        if (peer.port < 1 || peer.port > 65535) return std::nullopt;
    }
    if (bracketed) {
        if (host.size() < 3 || host.back() != ']') return std::nullopt;
        host = host.substr(1, host.size() - 2);
    }
    if (host.empty()) return std::nullopt;
    for (char c : host)
        if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '[' || c == ']' || c == 0x7F) return std::nullopt;
    peer.host = std::string(host);
    return peer;
}

ArLookup NotChecked(std::string reason) {
    ArLookup out;
    out.reason = std::move(reason);
    return out;
}

}  // namespace

AccurateRipIds ComputeAccurateRipIds(const DISC_INFO& disc) {
    const int count = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks - 1);
    AccurateRipIds ids;
    for (int i = 0; i < count; ++i) {
        const TRACK_INFO t = disc.TrackCopy(i);
        if (!t.AudioFlag()) continue;
        const auto start = static_cast<std::uint32_t>(t.StartLba());
        ++ids.audioTracks;
        ids.id1 += start;
        ids.id2 += (start == 0 ? 1u : start) * static_cast<std::uint32_t>(ids.audioTracks);
    }
    const auto leadOut = static_cast<std::uint32_t>(disc.TrackCopy(count).StartLba());
    ids.id1 += leadOut;
    ids.id2 += leadOut * static_cast<std::uint32_t>(ids.audioTracks + 1);
    ids.cddb = disc.DiscId() != 0 ? disc.DiscId() : ComputeDiscId(TocOfRecord(disc));
    return ids;
}

std::string AccurateRipPath(const AccurateRipIds& ids) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string path;
    for (int shift : {0, 4, 8}) {
        path += kHex[(ids.id1 >> shift) & 0xF];
        path += '/';
    }
    return path + "dBAR-" + IdsText(ids.audioTracks, ids.id1, ids.id2, ids.cddb) + ".bin";
}

std::string AccurateRipUrl(const std::string& server, const AccurateRipIds& ids) {
    return "http://" + server + "/accuraterip/" + AccurateRipPath(ids);
}

std::optional<std::vector<ArPressing>> ParseAccurateRipBin(std::string_view bytes, const AccurateRipIds& expected,
                                                           std::string& error) {
    if (bytes.empty()) {
        error = "the database file is empty";
        return std::nullopt;
    }
    if (bytes.size() > kMaxAccurateRipBytes) {
        error = "the database file of " + std::to_string(bytes.size()) + " bytes is larger than the limit of " +
                std::to_string(kMaxAccurateRipBytes);
        return std::nullopt;
    }
    const std::string wanted = IdsText(expected.audioTracks, expected.id1, expected.id2, expected.cddb);
    std::vector<ArPressing> pressings;
    while (!bytes.empty()) {
        const std::string which = "pressing " + std::to_string(pressings.size() + 1);
        if (bytes.size() < kChunkHeaderBytes) {
            error = which + " is cut short: " + std::to_string(bytes.size()) + " bytes of its 13-byte header";
            return std::nullopt;
        }
        const int count = static_cast<std::uint8_t>(bytes[0]);
        const std::string ids = IdsText(count, ReadLe32(bytes, 1), ReadLe32(bytes, 5), ReadLe32(bytes, 9));
        if (count == 0) {
            error = which + " has no tracks";
            return std::nullopt;
        }
        if (ids != wanted) {
            error = which + " is for disc " + ids + ", not for " + wanted;
            return std::nullopt;
        }
        const std::size_t need = kChunkHeaderBytes + kTrackEntryBytes * static_cast<std::size_t>(count);
        if (bytes.size() < need) {
            error = which + " is cut short: " + std::to_string(bytes.size()) + " of " + std::to_string(need) + " bytes";
            return std::nullopt;
        }
        ArPressing pressing;
        for (std::size_t at = kChunkHeaderBytes; at < need; at += kTrackEntryBytes)
            pressing.tracks.push_back(
                {static_cast<std::uint8_t>(bytes[at]), ReadLe32(bytes, at + 1), ReadLe32(bytes, at + 5)});
        pressings.push_back(std::move(pressing));
        bytes.remove_prefix(need);
    }
    return pressings;
}

ArTrackResult MatchAccurateRip(std::span<const ArPressing> pressings, int track, std::uint32_t v1,
                               std::uint32_t v2) {
    ArTrackResult out;
    for (const ArPressing& pressing : pressings) {
        if (track < 0 || static_cast<std::size_t>(track) >= pressing.tracks.size()) continue;
        const ArTrackEntry& entry = pressing.tracks[static_cast<std::size_t>(track)];
        if (entry.crc == 0 || entry.confidence == 0) continue;
        out.bestConfidence = std::max(out.bestConfidence, entry.confidence);
        for (const auto& [version, sum] : {std::pair{2, v2}, std::pair{1, v1}}) {
            if (entry.crc != sum || entry.confidence <= out.confidence) continue;
            out.confidence = entry.confidence;
            out.version = version;
        }
    }
    out.result = out.version ? ArTrackResult::Accurate
                             : (out.bestConfidence ? ArTrackResult::Inaccurate : ArTrackResult::Unknown);
    return out;
}

ArTrackResult MatchAccurateRip(const ArLookup& lookup, int track, std::uint32_t v1, std::uint32_t v2) {
    if (lookup.status == ArLookup::Status::NotChecked) {
        ArTrackResult out;
        out.reason = lookup.reason;
        return out;
    }
    return MatchAccurateRip(lookup.pressings, track, v1, v2);
}

ArLookup FetchAccurateRip(const std::string& server, const AccurateRipIds& ids, const CddbProxy& proxy,
                          int timeoutMs, IEventPump* pump) {
    using Clock = std::chrono::steady_clock;
    if (timeoutMs <= 0) timeoutMs = kDefaultAccurateRipTimeoutMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (ids.audioTracks <= 0) return NotChecked("the disc has no audio track");
    const auto target = ParseServer(server);
    if (!target) return NotChecked("\"" + server + "\" is not a server name");
    const HttpPeer peer = RequestPeer(target->host, target->port, proxy);
    const std::string where = peer.host + ":" + std::to_string(peer.port);
    CHTTPSocket socket;
    if (!socket.Create() || !socket.Connect(peer.host, peer.port, timeoutMs, timeoutMs))
        return NotChecked("no connection to " + where);
    if (!socket.Send(BuildGetRequest(target->host, target->port, "/accuraterip/" + AccurateRipPath(ids), proxy, true)))
        return NotChecked("the request could not be sent to " + where);
    const auto complete = [](std::string_view received, std::size_t) -> std::optional<std::size_t> {
        if (ParseHttpResponse(received, false, kMaxAccurateRipBytes).state == HttpResponse::State::Incomplete)
            return std::nullopt;
        return received.size();
    };
    std::string reply;
    const ReplyEnd end = CollectReply(socket, kReplyChunk, kMaxHttpHeaderBytes + kMaxAccurateRipBytes, timeoutMs,
                                      deadline, pump, complete, reply);
    switch (end) {
    case ReplyEnd::TimedOut:
        return NotChecked("no complete reply from " + where + " within " + std::to_string(timeoutMs) + " ms");
    case ReplyEnd::Failed: return NotChecked("the connection to " + where + " failed");
    case ReplyEnd::TooLarge: return NotChecked("the reply from " + where + " is larger than the limit");
    case ReplyEnd::Cancelled: return NotChecked("cancelled");
    case ReplyEnd::Complete:
    case ReplyEnd::Closed: break;
    }
    const HttpResponse http = ParseHttpResponse(reply, end == ReplyEnd::Closed, kMaxAccurateRipBytes);
    if (http.state != HttpResponse::State::Complete)
        return NotChecked("the reply from " + where + " is not usable: " + http.error);
    ArLookup out;
    if (http.status == 404) {
        out.status = ArLookup::Status::NotFound;
        return out;
    }
    if (http.status != 200) return NotChecked(where + " answered with HTTP status " + std::to_string(http.status));
    std::string error;
    auto pressings = ParseAccurateRipBin(http.body, ids, error);
    if (!pressings) return NotChecked("the database file from " + where + " is not usable: " + error);
    out.status = ArLookup::Status::Found;
    out.pressings = std::move(*pressings);
    return out;
}

}  // namespace sv
