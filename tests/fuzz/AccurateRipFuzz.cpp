// AccurateRip database files and the HTTP replies that carry them. The file
// is read twice: against the identifiers of its own first chunk (so that
// whole chunks are reached) and against a fixed disc. The same bytes, as a
// reply, are checked for completeness piece by piece as the lookup does, and
// once more as if the connection had closed.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "metadata/AccurateRip.h"

namespace {

constexpr sv::AccurateRipIds kDisc{3, 0x0002f4e1, 0x0009a8b2, 0x1e0aba03};

std::uint32_t Le32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 4; k-- > 0;) v = (v << 8) | static_cast<std::uint8_t>(b[at + k]);
    return v;
}

void ReadFile(std::string_view bytes, const sv::AccurateRipIds& ids) {
    std::string error;
    const auto pressings = sv::ParseAccurateRipBin(bytes, ids, error);
    if (pressings.has_value() == !error.empty()) __builtin_trap();
    if (!pressings) return;
    for (const sv::ArPressing& p : *pressings) {
        if (p.tracks.size() != static_cast<std::size_t>(ids.audioTracks)) __builtin_trap();
        for (int t = -1; t <= ids.audioTracks; ++t) {
            const auto r = sv::MatchAccurateRip(*pressings, t, p.tracks.empty() ? 0 : p.tracks[0].crc, 0);
            if (r.confidence > r.bestConfidence) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = svfuzz::AsText(data, size);
    if (size >= 13) ReadFile(bytes, {data[0], Le32(bytes, 1), Le32(bytes, 5), Le32(bytes, 9)});
    ReadFile(bytes, kDisc);

    const std::size_t piece = size == 0 ? 1 : data[0] % 64 + 1;
    for (std::size_t received = std::min(size, piece);; received = std::min(size, received + piece)) {
        const sv::HttpResponse r = sv::ParseHttpResponse(bytes.substr(0, received), false, 4096);
        if (r.state == sv::HttpResponse::State::Complete && r.body.size() > received) __builtin_trap();
        if (r.state != sv::HttpResponse::State::Incomplete || received == size) break;
    }
    const sv::HttpResponse closed = sv::ParseHttpResponse(bytes, true, 4096);
    if (closed.state == sv::HttpResponse::State::Incomplete) __builtin_trap();
    if (closed.state == sv::HttpResponse::State::Complete && closed.status == 200) ReadFile(closed.body, kDisc);
    return 0;
}
