#include "app/SettingsSources.h"

#include "app/DesktopIntegration.h"

#include "metadata/CddbLookup.h"
#include "encoders/AcmEncoders.h"
#include "formats/OutputNaming.h"

namespace sv {

namespace {

// The codec lists the encoders choose from (the enumeration is made once per
// process and shared).
const TACMDrivers& Drivers() {
    static const TACMDrivers drivers;
    return drivers;
}

const TWinMP3Encoder& Mp3Codecs() {
    static const TWinMP3Encoder mp3(Drivers());
    return mp3;
}

std::vector<SettingsFormSources::Mirror> ReadMirrors() {
    std::vector<SettingsFormSources::Mirror> out;
    for (const auto& e : ReadMirrorList(MirrorListPath())) out.push_back({e.description, e.host, e.path});
    return out;
}

}  // namespace

bool AcceptableGreetingAddress(const std::string& address) {
    return address.empty() || GreetingFromAddress(address).has_value();
}

SettingsFormSources ProgramSettingsSources(std::vector<std::string> driveNames, const DISC_INFO& disc,
                                           const TagBlocks& tags, IEventPump* pump) {
    SettingsFormSources s;
    s.driveNames = [names = std::move(driveNames)] { return names; };
    s.mp3Codecs = [] { return Mp3Codecs().CodecNames(); };
    s.mp3Formats = [](int codec) { return Mp3Codecs().FormatList(codec); };
    s.acmCodecs = [] {
        std::vector<std::string> out;
        for (int i = 0; i < Drivers().Count(); ++i) out.push_back(Drivers().CodecName(i));
        return out;
    };
    s.acmFormats = [](int codec) { return Drivers().FormatDescriptions(codec); };
    s.flacLevel = [] { return FlacLevel(); };
    s.storeFlacLevel = [](int level) { StoreFlacLevel(level); };
    s.mirrors = ReadMirrors;
    s.fetchMirrors = [pump](const std::string& greetingAddress) {
        if (RefreshMirrorList(0, MirrorListPath(), pump, CCDDBSite{}, greetingAddress).empty())
            return std::vector<SettingsFormSources::Mirror>{};
        return ReadMirrors();
    };
    s.lookup = [] {
        return SettingsFormSources::Lookup{StoredLookupSource(), StoredMusicBrainzServer(), CddbGreetingAddress(),
                                           LookupOnInsertion()};
    };
    s.storeLookup = [](const SettingsFormSources::Lookup& lookup) {
        StoreLookupSource(lookup.source);
        StoreMusicBrainzServer(lookup.musicBrainzServer);
        StoreCddbGreetingAddress(lookup.greetingAddress);
        StoreLookupOnInsertion(lookup.onInsertion);
    };
    const bool hasDisc = disc.TrackCount() > 0;
    s.formatPreview = [&disc, &tags, hasDisc](const std::string& format) {
        return PreviewFormatString(format, hasDisc ? &disc : nullptr, &tags);
    };
    s.formatKeyAllowed = FilterFormatKey;
    s.collapsePercents = [](const std::string& text) { return CollapsePercents(text); };
    return s;
}

}  // namespace sv
