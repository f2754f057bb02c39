// Disc images described by a CUE sheet.
//
// Understood: FILE "name" BINARY | WAVE (PCM or extensible PCM), TRACK nn
// AUDIO | MODE1/2352 | MODE1/2048 | MODE2/2352 | MODE2/2336, INDEX 00 / INDEX
// 01 (INDEX 00 may lie in the previous FILE: a pre-gap kept at the end of the
// previous track's file), PREGAP and POSTGAP (silence that is not in the
// file), REM SESSION nn, and CD-TEXT: TITLE, PERFORMER and SONGWRITER
// before the first TRACK (the disc's) and after one (the track's), and
// CDTEXTFILE "name" (raw packs, served in their place; a missing file is
// noted). Other lines (REM ...) are ignored. Lines may end in CR LF, LF or CR. The first
// file's first sector is logical block 0; track numbers are kept as written.
// A FILE name that is not found as written is looked for without regard to
// letter case in the sheet's folder.
//
// A track of a later session starts 11400 sectors after the end of the first
// session (6900 after a later one, whose lead-out is shorter), as on a pressed
// multisession disc: lead-out, lead-in and pre-gap lie between them. The
// files hold the sessions back to back; the sectors of that gap, including a
// pre-gap the file holds for the session's first track, cannot be read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cdrom/DiscImage.h"
#include "cdrom/Toc.h"

namespace sv {

// Parses `cueText`; file names are relative to `baseFolder`. Nothing on
// error, with a message naming the line in `error`.
std::shared_ptr<DiscImage> ParseCueSheet(const std::string& cueText, const std::string& baseFolder,
                                         std::string& error);

// The words of one sheet line; a double-quoted word may hold spaces.
std::vector<std::string> CueLineWords(const std::string& line);

// Reads and parses the CUE file at `path`.
std::shared_ptr<DiscImage> LoadCueSheet(const std::string& path, std::string& error);

}  // namespace sv
