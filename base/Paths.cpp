#include "base/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace sv {

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string DataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return WithTrailingSlash(xdg) + "sornaval/";
    const char* home = std::getenv("HOME");
    std::string h = home && home[0] ? home : "";
    if (h.empty()) {
        if (const passwd* pw = getpwuid(geteuid())) h = pw->pw_dir ? pw->pw_dir : "";
    }
    if (h.empty()) h = "/tmp";
    return WithTrailingSlash(h) + ".local/share/sornaval/";
}

std::string SettingsFolder() { return DataFolder() + "setting/"; }
std::string LanguageFolder() { return DataFolder() + "lang/"; }
std::string TempFilesFolder() { return DataFolder() + "TempFiles/"; }

}  // namespace sv
