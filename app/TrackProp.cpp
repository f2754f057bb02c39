#include "app/TrackProp.h"

#include <algorithm>
#include <cstdio>

namespace sv {

namespace {

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

std::string SectorClock(int sectors) {
    sectors = std::max(sectors, 0);
    return TwoDigits(sectors / 4500) + ":" + TwoDigits(sectors / 75 % 60) + ":" + TwoDigits(sectors % 75);
}

bool TTrackProp::Open(const DISC_INFO& disc, int selected) {
    disc_ = disc;
    followed_ = false;
    if (disc_.TrackCount() == 0) return false;
    Show(selected >= 0 && selected < disc_.TrackCount() ? selected : 0);
    return true;
}

std::vector<std::string> TTrackProp::Titles() const {
    std::vector<std::string> titles;
    for (int i = 0; i < disc_.TrackCount(); ++i) titles.push_back(disc_.TrackCopy(i).Title());
    return titles;
}

void TTrackProp::Show(int index) {
    if (index < 0 || index >= disc_.TrackCount()) return;
    track_ = index;
    const TRACK_INFO t = disc_.TrackCopy(index);
    showing_ = true;
    maximum_ = MsfToFrames(t.LengthMsf());
    start_ = 0;
    end_ = maximum_;
    if (t.TrimFlag()) {
        start_ = std::clamp(MsfToFrames(t.TrimStartMsf()) - kLbaBase - t.StartLba(), 0, maximum_);
        const int end = MsfToFrames(t.EndMsf()) - kLbaBase - t.StartLba();
        if (end > start_) end_ = std::min(end, maximum_);
    }
    showing_ = false;
}

void TTrackProp::MarkTrimmed() {
    if (showing_ || Trimmed()) return;
    disc_.Track(track_).SetTrimFlag(true);
    // The record gets both ends at once, whichever slider moved first.
    StoreStart(start_);
    StoreEnd(end_);
}

void TTrackProp::StoreStart(int p) {
    auto t = disc_.Track(track_);
    t.SetTrimStartMsf(FramesToMsf(t.StartLba() + p + kLbaBase));
}

void TTrackProp::StoreEnd(int q) {
    auto t = disc_.Track(track_);
    t.SetEndMsf(FramesToMsf(t.StartLba() + q + kLbaBase));
}

void TTrackProp::MoveStart(int p) {
    p = std::clamp(p, 0, maximum_);
    MarkTrimmed();
    start_ = p;
    StoreStart(p);
    if (p >= end_) {
        end_ = maximum_;
        StoreEnd(end_);
    }
}

void TTrackProp::MoveEnd(int q) {
    q = std::clamp(q, 0, maximum_);
    MarkTrimmed();
    end_ = q;
    if (start_ >= q) {
        start_ = 0;
        StoreStart(0);
    }
    StoreEnd(q);
}

void TTrackProp::Follow(int rel) {
    if (active_ == Slider::Start) MoveStart(rel);
    else MoveEnd(rel);
    followed_ = true;
}

std::string TTrackProp::StartLabel() const { return SectorClock(start_) + " /"; }

std::string TTrackProp::EndLabel() const { return SectorClock(end_); }

std::vector<std::string> TTrackProp::TimeFields() const {
    const int first = disc_.TrackCopy(track_).StartLba() + kLbaBase;
    std::vector<std::string> fields;
    for (const int frames : {first + start_, first + end_, end_ - start_}) {
        const Msf m = FramesToMsf(frames);
        fields.insert(fields.end(), {TwoDigits(m.m), TwoDigits(m.s), TwoDigits(m.f)});
    }
    return fields;
}

Msf TTrackProp::PlayStart() const {
    const TRACK_INFO t = disc_.TrackCopy(track_);
    return t.TrimFlag() ? t.TrimStartMsf() : t.StartMsf();
}

Msf TTrackProp::PlayEnd() const {
    const TRACK_INFO t = disc_.TrackCopy(track_);
    return t.TrimFlag() ? t.EndMsf() : disc_.TrackCopy(track_ + 1).StartMsf();
}

const DISC_INFO& TTrackProp::Accept() {
    if (followed_) StoreStart(start_);
    return disc_;
}

}  // namespace sv
