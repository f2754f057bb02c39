// TTrackProp: what the track properties window does, without the widgets.
// It works on a copy of the disc record: for the chosen track it keeps the
// part the rip reads (a start and an end inside the track, in sectors) in
// the track's trim fields, and hands the copy back on OK.
//
// Slider positions are sectors from the track's first sector, 0 .. the
// track's length. Moving a slider (by hand or by following the play
// position) sets the track's trim flag; showing a track does not.
#pragma once

#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Msf.h"

namespace sv {

// "MM:SS:FF" of a count of sectors (75 a second): 4575 gives "01:01:00".
std::string SectorClock(int sectors);

class TTrackProp {
public:
    enum class Slider { Start, End };

    // Takes a copy of `disc` and shows track `selected` (the first when it is
    // out of range). False when the disc has no tracks.
    bool Open(const DISC_INFO& disc, int selected);
    // Shows track `index`: both sliders from its trim fields when its trim
    // flag is set, else the whole track.
    void Show(int index);

    int Track() const { return track_; }
    int TrackCount() const { return disc_.TrackCount(); }
    std::vector<std::string> Titles() const;
    int Maximum() const { return maximum_; }
    int StartPosition() const { return start_; }
    int EndPosition() const { return end_; }
    bool Trimmed() const { return disc_.TrackCopy(track_).TrimFlag(); }

    // The user moved a slider. Moving the start onto or past the end sends
    // the end to the track's end; moving the end onto or before the start
    // sends the start to 0.
    void MoveStart(int p);
    void MoveEnd(int q);
    // The slider that last had the focus.
    Slider Active() const { return active_; }
    void SetActive(Slider slider) { active_ = slider; }
    // The play position `rel` sectors into the track: the active slider goes
    // there.
    void Follow(int rel);
    bool Followed() const { return followed_; }

    // "MM:SS:FF /" of the start slider and "MM:SS:FF" of the end slider.
    std::string StartLabel() const;
    std::string EndLabel() const;
    // The range's absolute start and end and its duration as two-digit M, S, F
    // each, for the information label's format string.
    std::vector<std::string> TimeFields() const;

    // What "play range" plays: the trim range when the trim flag is set, else
    // the whole track (absolute addresses, end exclusive).
    Msf PlayStart() const;
    Msf PlayEnd() const;

    // OK: stores the start slider once more when following happened and
    // returns the record to copy back.
    const DISC_INFO& Accept();
    const DISC_INFO& Disc() const { return disc_; }

private:
    void StoreStart(int p);
    void StoreEnd(int q);
    void MarkTrimmed();

    DISC_INFO disc_;
    int track_ = 0;
    int maximum_ = 0;
    int start_ = 0;
    int end_ = 0;
    bool showing_ = false;  // Show is setting the sliders: nothing is marked
    bool followed_ = false;
    Slider active_ = Slider::Start;
};

}  // namespace sv
