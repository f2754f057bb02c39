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
// cache (which may replace the whole record) or the local database (texts
// only), and says which of them supplied it.
using AlbumCacheHook = std::function<AlbumSource(DISC_INFO& disc, const TocBuffer& toc)>;

// Lays the disc out from the table of contents after its album was loaded.
// An album cache record keeps its titles and end addresses; titles from the
// local database are kept where the entry had one ("Track N" elsewhere) and
// every address comes from the table of contents. False when the buffer holds
// no track.
bool LayOutDisc(const TocBuffer& toc, DISC_INFO& disc, AlbumSource source);

// Zeroes `disc`, then reads the disc in the settings' current drive. A drive
// that cannot be selected gives R02 (error icon) and false; a failing READ
// TOC gives false without a message. `toc` receives the table of contents.
bool ReadDisc(TCDROM& cdrom, const TProgramSettings& settings, DISC_INFO& disc, TocBuffer& toc,
              IUserDialogs& dialogs, const AlbumCacheHook& albumCache = {});

}  // namespace sv
