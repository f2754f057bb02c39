#include "app/SettingsSources.h"

#include "metadata/CddbLookup.h"
#include "formats/Acm.h"
#include "formats/OutputNaming.h"

namespace sv {

namespace {

constexpr std::uint16_t kMpegLayer3Tag = 0x0055;

std::vector<const AcmDriverDetails*> Mp3Drivers() {
    std::vector<const AcmDriverDetails*> out;
    for (const auto& d : EnumerateAcmDrivers())
        if (d.formatTag == kMpegLayer3Tag) out.push_back(&d);
    return out;
}

std::vector<std::string> Descriptions(const AcmDriverDetails* driver) {
    std::vector<std::string> out;
    if (driver)
        for (const auto& f : driver->formats) out.push_back(f.description);
    return out;
}

std::vector<SettingsFormSources::Mirror> ReadMirrors() {
    std::vector<SettingsFormSources::Mirror> out;
    for (const auto& e : ReadMirrorList(MirrorListPath())) out.push_back({e.description, e.host, e.path});
    return out;
}

}  // namespace

SettingsFormSources ProgramSettingsSources(std::vector<std::string> driveNames, const DISC_INFO& disc,
                                           const TagBlocks& tags, IEventPump* pump) {
    SettingsFormSources s;
    s.driveNames = [names = std::move(driveNames)] { return names; };
    s.mp3Codecs = [] {
        std::vector<std::string> out;
        for (const auto* d : Mp3Drivers()) out.push_back(d->longName);
        return out;
    };
    s.mp3Formats = [](int codec) {
        const auto drivers = Mp3Drivers();
        return Descriptions(codec >= 0 && codec < static_cast<int>(drivers.size()) ? drivers[static_cast<std::size_t>(codec)]
                                                                                   : nullptr);
    };
    s.acmCodecs = [] {
        std::vector<std::string> out;
        for (const auto& d : EnumerateAcmDrivers()) out.push_back(d.longName);
        return out;
    };
    s.acmFormats = [](int codec) {
        const auto& drivers = EnumerateAcmDrivers();
        return Descriptions(codec >= 0 && codec < static_cast<int>(drivers.size()) ? &drivers[static_cast<std::size_t>(codec)]
                                                                                   : nullptr);
    };
    s.mirrors = ReadMirrors;
    s.fetchMirrors = [pump] {
        if (RefreshMirrorList(0, MirrorListPath(), pump).empty()) return std::vector<SettingsFormSources::Mirror>{};
        return ReadMirrors();
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
