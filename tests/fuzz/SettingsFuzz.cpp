// Settings records (set.dat and profile files, short or long) and what the
// program builds from them: output paths and names, the CDDB server and the
// request sent to it.
#include <string>

#include "FuzzSupport.h"
#include "base/ProgramSettings.h"
#include "metadata/CddbLookup.h"
#include "metadata/HttpSocket.h"
#include "formats/OutputNaming.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const sv::TProgramSettings settings =
        sv::TProgramSettings::FromFileBytes(svfuzz::AsText(data, size), "/nonexistent/sornaval/");
    sv::DISC_INFO disc;
    disc.SetTrackCount(2);
    disc.SetArtist("Artist");
    disc.SetAlbum("Album");
    disc.Track(0).SetTitle("One");
    const sv::NamingTexts texts{"Unknown artist", "Unknown album"};
    for (int position = 0; position < 2; ++position) sv::MakeOutputPath(settings, disc, nullptr, position, texts);
    sv::OutputExtension(settings);
    sv::ExpandFormatString(settings.FormatString(), disc, nullptr, 0, texts);
    const sv::CCDDBSite site = sv::SiteFromSettings(settings);
    sv::CddbProxy proxy;
    proxy.host = settings.ProxyHost();
    proxy.user = settings.ProxyUser();
    proxy.password = settings.ProxyPassword();
    sv::BuildRequest(site, proxy, "?cmd=sites", "hello=a+b+c+d&proto=6");
    settings.EffectiveSectorsPerRead();
    sv::QualityItemFromPreset(static_cast<std::int16_t>(settings.Data()[0] | settings.Data()[1] << 8));
    return 0;
}
