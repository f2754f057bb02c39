// Loading and saving the settings record as a file in the settings folder.
#pragma once

#include <string>

#include "base/ProgramSettings.h"

namespace sv {

struct SettingsLocations {
    std::string programFolder;   // the data folder, ends in '/'
    std::string settingsFolder;  // programFolder + "setting/"
    std::string musicFolder;     // default OutputDir, ends in '/'
};

// The locations of this user (data folder, the desktop's music folder).
SettingsLocations DefaultSettingsLocations();

// Reads settings file `name` ("set.dat" or a profile file): a missing file
// gives the defaults of a fresh installation; an existing one, short or long,
// is read over a zeroed record with read speed 30 and file-name-from-title on,
// as far as it goes. The record-level fix-ups follow in both cases.
TProgramSettings LoadSettingsFile(const SettingsLocations& where, const std::string& name);

// Writes the 1208 bytes to `name` in the settings folder, creating the folder.
// False when the folder or the file cannot be written (nothing is reported).
bool SaveSettingsFile(const SettingsLocations& where, const std::string& name, const TProgramSettings& settings);

}  // namespace sv
