#include "app/SettingsStore.h"

#include <QDir>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Paths.h"

namespace sv {

SettingsLocations DefaultSettingsLocations() {
    SettingsLocations where;
    where.programFolder = DataFolder();
    where.settingsFolder = where.programFolder + "setting/";
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) music = QDir::homePath() + "/Music";
    where.musicFolder = WithTrailingSlash(music.toStdString());
    return where;
}

TProgramSettings LoadSettingsFile(const SettingsLocations& where, const std::string& name) {
    const std::filesystem::path path = std::filesystem::path(where.settingsFolder) / name;
    std::ifstream in(path, std::ios::binary);
    if (in.is_open()) {
        std::string bytes(TProgramSettings::kSize, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        return TProgramSettings::FromFileBytes(bytes, where.programFolder);
    }
    TProgramSettings settings;
    settings.ApplyDefaults(where.programFolder, where.musicFolder);
    settings.ApplyLoadFixups(where.programFolder);
    return settings;
}

bool SaveSettingsFile(const SettingsLocations& where, const std::string& name, const TProgramSettings& settings) {
    std::error_code ec;
    std::filesystem::create_directories(where.settingsFolder, ec);
    const std::filesystem::path path = std::filesystem::path(where.settingsFolder) / name;
    // Written to a neighbour first and renamed, so that a full disk never
    // leaves a cut settings file in place of a good one.
    const std::filesystem::path temp = path.string() + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) return false;
        out.write(reinterpret_cast<const char*>(settings.Data()), TProgramSettings::kSize);
        out.flush();
        if (!out.good()) {
            out.close();
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace sv
