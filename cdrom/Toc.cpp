#include "cdrom/Toc.h"

#include <algorithm>
#include <cstdio>

namespace sv {

TocEntry TocBuffer::Descriptor(int k) const {
    TocEntry e;
    if (k < 0 || k >= kMaxDescriptors) return e;
    const std::uint8_t* d = bytes_.data() + 4 + 8 * k;
    e.adrControl = d[1];
    e.track = d[2];
    e.address = Msf{d[5], d[6], d[7]};
    return e;
}

std::vector<int> RawToc::Offsets() const {
    std::vector<int> v;
    for (const auto& t : tracks) v.push_back(t.Frames());
    v.push_back(leadout.Frames());
    return v;
}

int TocTrackCount(const TocBuffer& toc) {
    const int first = toc.FirstTrack(), last = toc.LastTrack();
    if (first < 1 || last < first || last > 99) return 0;
    int count = last - first + 1;
    // The data length counts the two header bytes after it and 8 bytes per
    // descriptor, the lead-out included.
    const int described = (toc.DataLength() - 2) / 8 - 1;
    count = std::min({count, described, TocBuffer::kMaxDescriptors - 1});
    return count < 1 ? 0 : count;
}

bool ParseToc(const TocBuffer& toc, RawToc& out) {
    out = RawToc{};
    const int count = TocTrackCount(toc);
    if (count == 0) return false;
    out.firstTrack = toc.FirstTrack();
    out.lastTrack = toc.FirstTrack() + count - 1;
    for (int k = 0; k < count; ++k) out.tracks.push_back(toc.Descriptor(k));
    out.leadout = toc.Descriptor(count);
    return true;
}

bool IsAudioControl(int control) {
    return control == 0 || control == 1 || control == 2 || control == 8 || control == 9;
}

bool BuildLayout(const TocBuffer& toc, DISC_INFO& disc, bool fromAlbumCache) {
    const int count = TocTrackCount(toc);
    if (count == 0) return false;
    disc.SetTrackCount(static_cast<std::uint8_t>(count));
    disc.SetLbaBase(kLbaBase);
    for (int k = 0; k <= count; ++k) {
        const TocEntry here = toc.Descriptor(k);
        // The lead-out pseudo-record ends where it starts.
        const TocEntry next = k < count ? toc.Descriptor(k + 1) : here;
        TrackInfoRef t = disc.Track(k);
        if (!fromAlbumCache) {
            t.SetTitle("Track " + std::to_string(k + 1));
            t.SetEndMsf(next.address);
        }
        const int length = std::max(0, next.Frames() - here.Frames());
        t.SetLengthMsf(FramesToMsf(length));
        t.SetStartMsf(here.address);
        t.SetSizeBytes(static_cast<std::uint32_t>(length) * kSectorBytes);
        t.SetStartLba(here.Frames() - kLbaBase);
        t.SetAudioFlag(IsAudioControl(here.Control()));

        // A data track that follows an audio track a whole session gap later
        // is the second session of an enhanced CD: the program counts it from
        // where the first session ended.
        if (k > 0 && k < count && !t.AudioFlag()) {
            TrackInfoRef prev = disc.Track(k - 1);
            const int a = here.Frames();
            const int prevStartAbs = prev.StartLba() + kLbaBase;
            if (prev.AudioFlag() && a - prevStartAbs >= kMultisessionGap) {
                t.SetStartLba(a - kMultisessionGap - kLbaBase);
                t.SetStartMsf(FramesToMsf(a - kMultisessionGap));
                const int prevLength = a - prev.StartLba() - kMultisessionGap - kLbaBase;
                prev.SetLengthMsf(FramesToMsf(prevLength));
                prev.SetSizeBytes(static_cast<std::uint32_t>(prevLength) * kSectorBytes);
                if (!fromAlbumCache) prev.SetEndMsf(FramesToMsf(a - kMultisessionGap));
            }
        }
    }
    return true;
}

int TrackAtLba(const DISC_INFO& disc, std::int32_t lba) {
    const int count = disc.TrackCount();
    for (int i = 0; i < count && i + 1 < DISC_INFO::kMaxTracks; ++i) {
        const TRACK_INFO t = disc.TrackCopy(i);
        const TRACK_INFO n = disc.TrackCopy(i + 1);
        if (t.StartLba() <= lba && lba < n.StartLba()) return i;
    }
    return 255;
}

std::string TotalTime(const DISC_INFO& disc) {
    return FormatMsf(FramesToMsf(disc.TrackCopy(disc.TrackCount()).StartLba()));
}

bool HasAudioTrack(const DISC_INFO& disc) {
    for (int i = 0; i < disc.TrackCount(); ++i)
        if (disc.TrackCopy(i).AudioFlag()) return true;
    return false;
}

}  // namespace sv
