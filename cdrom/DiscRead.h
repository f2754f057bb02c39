// Reading the inserted disc into the disc record: select the settings' drive
// with its read command, read the table of contents and lay the disc out.
#pragma once

#include <functional>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "cdrom/TCDROM.h"
#include "cdrom/Toc.h"

namespace sv {

// Called after the table of contents was read and the track count and base
// are stored: stores the disc identifier and loads the album from the album
// cache, which may replace the whole record. Returns true when the album cache
// supplied the disc (its titles and end addresses are then kept).
using AlbumCacheHook = std::function<bool(DISC_INFO& disc, const TocBuffer& toc)>;

// Zeroes `disc`, then reads the disc in the settings' current drive. A drive
// that cannot be selected gives R02 (error icon) and false; a failing READ
// TOC gives false without a message. `toc` receives the table of contents.
bool ReadDisc(TCDROM& cdrom, const TProgramSettings& settings, DISC_INFO& disc, TocBuffer& toc,
              IUserDialogs& dialogs, const AlbumCacheHook& albumCache = {});

}  // namespace sv
