// The desktop's default applications (mimeapps.list): which program opens a
// kind of content. The audio-CD association makes this program the handler
// of x-content/audio-cdda and gives the previous handler back when it is
// turned off.
#pragma once

#include <string>

namespace sv {

inline constexpr const char* kAudioCdMimeType = "x-content/audio-cdda";
inline constexpr const char* kDesktopFileName = "sornaval.desktop";

// The value of `key` in the "[Default Applications]" group of `text`.
std::string DefaultApplicationIn(const std::string& text, const std::string& key);
// `text` with `key` set to `value` in that group (added, with the group, when
// missing); an empty value removes the key. Every other line is kept.
std::string WithDefaultApplication(const std::string& text, const std::string& key, const std::string& value);

// $XDG_CONFIG_HOME/mimeapps.list
std::string UserMimeAppsPath();

// Turns the association on or off in `mimeAppsPath`. `lastPlayer` holds the
// handler that was there before; it is filled when turning on and used (then
// cleared) when turning off. False when the file cannot be written.
bool ApplyAudioCdAssociation(bool on, const std::string& mimeAppsPath, std::string& lastPlayer);

}  // namespace sv
