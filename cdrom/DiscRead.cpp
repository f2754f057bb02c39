#include "cdrom/DiscRead.h"

#include <string>
#include <vector>

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
    return LayOutDisc(toc, disc, albumCache ? albumCache(disc, toc) : kNoAlbum);
}

bool LayOutDisc(const TocBuffer& toc, DISC_INFO& disc, AlbumSource source) {
    if (source != kFromLocalDatabase) return BuildLayout(toc, disc, source == kFromAlbumCache);
    std::vector<std::string> titles;
    for (int k = 0; k < disc.TrackCount(); ++k) titles.push_back(disc.TrackCopy(k).Title());
    if (!BuildLayout(toc, disc, false)) return false;
    for (int k = 0; k < static_cast<int>(titles.size()) && k < disc.TrackCount(); ++k)
        if (!titles[static_cast<std::size_t>(k)].empty()) disc.Track(k).SetTitle(titles[static_cast<std::size_t>(k)]);
    return true;
}

}  // namespace sv
