#include "metadata/DiscId.h"

#include <algorithm>
#include <cstdio>

namespace sv {
namespace {

int WholeSeconds(int frames) { return frames < 0 ? 0 : frames / kFramesPerSecond; }

int DigitSum(int n) {
    int sum = 0;
    for (; n > 0; n /= 10) sum += n % 10;
    return sum;
}

std::array<std::int32_t, 3> MsfEntry(int frames) {
    const Msf m = FramesToMsf(frames);
    return {m.m, m.s, m.f};
}

}  // namespace

std::optional<DiscToc> ParseRawToc(std::span<const std::uint8_t> toc) {
    if (toc.size() < 4) return std::nullopt;
    int first = toc[2];
    const int last = toc[3];
    if (first < 1 || first > last) first = 1;
    const int count = last - first + 1;
    if (last < 1 || count > 99) return std::nullopt;
    const std::size_t need = 4 + 8 * static_cast<std::size_t>(count + 1);
    if (toc.size() < need) return std::nullopt;
    auto frames = [&](int k) {
        const std::uint8_t* d = toc.data() + 4 + 8 * k;
        return MsfToFrames(Msf{d[5], d[6], d[7]});
    };
    DiscToc out;
    out.firstTrack = first;
    for (int k = 0; k < count; ++k) {
        out.trackStarts.push_back(frames(k));
        out.controls.push_back(toc[4 + 8 * static_cast<std::size_t>(k) + 1] & 0x0F);
    }
    out.leadOut = frames(count);
    return out;
}

std::uint32_t ComputeDiscId(const DiscToc& toc) {
    if (toc.trackStarts.empty()) return 0;
    std::uint32_t total = 0;
    for (int start : toc.trackStarts) total += static_cast<std::uint32_t>(DigitSum(WholeSeconds(start)));
    const int playing = WholeSeconds(toc.leadOut) - WholeSeconds(toc.trackStarts.front());
    const auto n = static_cast<std::uint32_t>(toc.trackStarts.size()) & 0xFFu;
    return ((total % 255u) << 24) | (static_cast<std::uint32_t>(playing) << 8) | n;
}

int DiscLengthSeconds(const DiscToc& toc) { return WholeSeconds(toc.leadOut); }

std::string DiscIdUpperHex(std::uint32_t id) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(id));
    return buf;
}

std::string DiscIdLowerHex(std::uint32_t id) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(id));
    return buf;
}

std::string DiscIdWindowsName(std::uint32_t id) {
    const std::string two = DiscIdUpperHex(id).substr(0, 2);
    return two + "to" + two;
}

std::string DiscIdSignedDecimal(std::uint32_t id) { return std::to_string(static_cast<std::int32_t>(id)); }

int TrackOffsetTable::Frames(int i) const {
    if (i < 0 || i >= kEntries) return 0;
    const auto& e = entries[static_cast<std::size_t>(i)];
    return e[0] * 4500 + e[1] * 75 + e[2];
}

TrackOffsetTable BuildTrackOffsetTable(const DiscToc& toc) {
    TrackOffsetTable table;
    const int count = std::min<int>(static_cast<int>(toc.trackStarts.size()), TrackOffsetTable::kEntries - 1);
    for (int i = 0; i < count; ++i)
        table.entries[static_cast<std::size_t>(i)] = MsfEntry(toc.trackStarts[static_cast<std::size_t>(i)]);
    table.entries[static_cast<std::size_t>(count)] = MsfEntry(toc.leadOut);
    table.count = count;
    return table;
}

void StoreDiscId(DISC_INFO& disc, std::uint32_t id) {
    disc.SetDiscId(id);
    disc.SetDiscIdText(DiscIdUpperHex(id));
}

DiscToc TocOfRecord(const DISC_INFO& disc) {
    const int count = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks - 1);
    DiscToc toc;
    for (int i = 0; i < count; ++i) {
        const TRACK_INFO t = disc.TrackCopy(i);
        const bool afterAudio = i > 0 && disc.TrackCopy(i - 1).AudioFlag();
        toc.trackStarts.push_back(t.StartLba() + kLbaBase + (!t.AudioFlag() && afterAudio ? kSessionGapFrames : 0));
        toc.controls.push_back(t.AudioFlag() ? 0 : DiscToc::kDataControl);
    }
    toc.leadOut = disc.TrackCopy(count).StartLba() + kLbaBase;
    return toc;
}

}  // namespace sv
