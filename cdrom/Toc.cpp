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

void TocBuffer::SetSession(int trackNumber, int session) {
    if (trackNumber < 1 || trackNumber > 99) return;
    sessions_[static_cast<std::size_t>(trackNumber)] = static_cast<std::uint8_t>(session);
    sessionsKnown_ = true;
}

int TocBuffer::Session(int trackNumber) const {
    return trackNumber >= 1 && trackNumber <= 99 ? sessions_[static_cast<std::size_t>(trackNumber)] : 0;
}

bool TocBuffer::ReadFullToc(const std::uint8_t* reply, std::size_t size) {
    if (size < 4) return false;
    const std::size_t length = std::min<std::size_t>(size, 2 + ((reply[0] << 8) | reply[1]));
    bool any = false;
    for (std::size_t at = 4; at + 11 <= length; at += 11) {
        const std::uint8_t* d = reply + at;
        const int point = d[3];
        if ((d[1] >> 4) != 1 || point < 1 || point > 99 || d[0] < 1 || d[0] > 99) continue;
        SetSession(point, d[0]);
        any = true;
    }
    return any;
}

bool TocBuffer::ReadSessionInfo(const std::uint8_t* reply, std::size_t size) {
    if (size < 12) return false;
    const int lastSession = reply[3];
    const int firstOfLast = reply[6];
    if (lastSession < 1 || firstOfLast < 1 || firstOfLast > 99) return false;
    for (int n = 1; n <= 99; ++n) SetSession(n, n >= firstOfLast ? lastSession : 1);
    return true;
}

bool BuildLayout(const TocBuffer& toc, DISC_INFO& disc, bool fromAlbumCache) {
    const int count = TocTrackCount(toc);
    if (count == 0) return false;
    disc.SetTrackCount(static_cast<std::uint8_t>(count));
    disc.SetLbaBase(kLbaBase);
    disc.SetFirstTrackNumber(static_cast<std::uint8_t>(toc.FirstTrack()));
    for (int k = 0; k <= count; ++k) {
        const TocEntry here = toc.Descriptor(k);
        // The lead-out pseudo-record ends where it starts.
        const TocEntry next = k < count ? toc.Descriptor(k + 1) : here;
        TrackInfoRef t = disc.Track(k);
        if (!fromAlbumCache) {
            t.SetTitle("Track " + std::to_string(toc.FirstTrack() + k));
            t.SetEndMsf(next.address);
        }
        const int length = std::max(0, next.Frames() - here.Frames());
        t.SetLengthMsf(FramesToMsf(length));
        t.SetStartMsf(here.address);
        t.SetSizeBytes(static_cast<std::uint32_t>(length) * kSectorBytes);
        t.SetStartLba(here.Frames() - kLbaBase);
        t.SetAudioFlag(IsAudioControl(here.Control()));
        if (k == 0 || k >= count || t.AudioFlag()) continue;

        // A data track that starts a later session: the session before it
        // ended a session gap earlier.
        const TocEntry before = toc.Descriptor(k - 1);
        int gap = 0;
        if (toc.SessionsKnown()) {
            const int session = toc.Session(here.track), previous = toc.Session(before.track);
            if (session > previous && previous > 0) gap = SessionGapAfter(previous);
        } else if (IsAudioControl(before.Control()) && here.Frames() - before.Frames() >= kMultisessionGap) {
            gap = kMultisessionGap;
        }
        if (gap == 0 || here.Frames() - gap < before.Frames()) continue;
        const int sessionEnd = here.Frames() - gap;  // absolute frames
        TrackInfoRef prev = disc.Track(k - 1);
        if (prev.AudioFlag()) {
            t.SetStartLba(sessionEnd - kLbaBase);
            t.SetStartMsf(FramesToMsf(sessionEnd));
        }
        const int prevLength = sessionEnd - before.Frames();
        prev.SetLengthMsf(FramesToMsf(prevLength));
        prev.SetSizeBytes(static_cast<std::uint32_t>(prevLength) * kSectorBytes);
        if (!fromAlbumCache) prev.SetEndMsf(FramesToMsf(sessionEnd));
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
