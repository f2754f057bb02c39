// Where the program keeps its files.
//
// Everything the program writes for itself lives in the per-user data folder
// $XDG_DATA_HOME/sornaval/ (default ~/.local/share/sornaval/): "setting/",
// "lang/", "LocalCDDB/", "TempFiles/", "TempFile/", "setting/albums/".
// Every folder path returned here ends in '/'.
#pragma once

#include <string>

namespace sv {

std::string DataFolder();
std::string SettingsFolder();  // DataFolder() + "setting/"
std::string LanguageFolder();  // DataFolder() + "lang/"
std::string TempFilesFolder(); // DataFolder() + "TempFiles/"

// Appends '/' when missing.
std::string WithTrailingSlash(std::string path);

}  // namespace sv
