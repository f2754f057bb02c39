#include "cdrom/DiscRead.h"

#include "base/Language.h"

namespace sv {

bool ReadDisc(TCDROM& cdrom, const TProgramSettings& settings, DISC_INFO& disc, TocBuffer& toc,
              IUserDialogs& dialogs, const AlbumCacheHook& albumCache) {
    disc.Clear();
    toc.Clear();
    const int drive = settings.CurrentDrive();
    if (!cdrom.SelectDrive(drive, settings.ReadCommand(drive))) {
        dialogs.ShowMessage(LangMessage(2), MessageIcon::Error);
        return false;
    }
    if (!cdrom.ReadToc(toc)) return false;
    const int count = TocTrackCount(toc);
    if (count == 0) return false;
    disc.SetTrackCount(static_cast<std::uint8_t>(count));
    disc.SetLbaBase(kLbaBase);
    const bool fromCache = albumCache ? albumCache(disc, toc) : false;
    return BuildLayout(toc, disc, fromCache);
}

}  // namespace sv
