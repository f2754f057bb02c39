// The files of the burn window: project files (".svp"), the automatic last
// project "setting/burncd-last.svp", and the cue file written beside a WAV
// image of the whole compilation.
//
// A project file is plain text, one full source path per row in burn order,
// every line ended by CR LF, nothing else. It is written in UTF-8; a line
// that is not valid UTF-8 (a file of the Windows-era program) is read as
// Windows-1251.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "writer/BurnCompilation.h"

namespace sv {

class IUserDialogs;
class TWriteSettings;

// File dialog filters ("description|patterns|..."), default extensions.
inline constexpr const char* kSoundFilesFilter =
    "All formats (*.ogg, *.mp3, *.wav, *.wma, *.flac)|*.wav;*.mp3;*.ogg;*.wma;*.flac|MPEG 1.0/2.0 Layer 3 (*.mp3)|*.mp3|"
    "Vorbis OGG (*.ogg)|*.ogg|WAV files (*.wav)|*.wav|Window Media Audio (*.wma)|*.wma|FLAC (*.flac)|*.flac";
inline constexpr const char* kProjectSaveFilter = "Sornaval project file (*.svp)|*.svp";
inline constexpr const char* kProjectOpenFilter = "*.svp|*.svp";
inline constexpr const char* kProjectExtension = "svp";
inline constexpr const char* kImageFilter = "Wave (44,1 kHz 16bit Stereo)|*wav";
inline constexpr const char* kImageExtension = "wav";
inline constexpr const char* kLastProjectFile = "burncd-last.svp";
// Project files larger than this are not read (99 paths take far less).
inline constexpr std::uintmax_t kMaxProjectFileBytes = 4u << 20;

// The bytes of the project file of `compilation`.
std::string ProjectFileBytes(const BurnCompilation& compilation);
// The paths a project file's bytes list: lines split at CR LF, LF or CR, a
// UTF-8 byte-order mark at the start dropped, empty lines left out.
std::vector<std::string> ProjectFilePaths(std::string_view bytes);

bool SaveProject(const std::string& path, const BurnCompilation& compilation);

struct ProjectLoadReport {
    bool loaded = false;              // false: no such file (or too large); the list is unchanged
    int added = 0;
    std::vector<std::string> skipped; // listed paths that were not added (missing, unsupported, ...)
};
// Clears the list and adds every listed path in order; files that are missing
// or cannot be used drop out.
ProjectLoadReport LoadProject(const std::string& path, BurnCompilation& compilation);

// "burncd-last.svp" in `settingsFolder` (ending in '/').
std::string LastProjectPath(const std::string& settingsFolder);
// When the burn window opens, after its settings are read: loads the last
// project when remember-last-project is set.
ProjectLoadReport LoadLastProject(const std::string& settingsFolder, const TWriteSettings& settings,
                                  BurnCompilation& compilation);
// When the burn window closes, with remember-last-project set: replaces the
// last project with the current list (creating the folder). True when nothing
// was to be done or it was written.
bool SaveLastProject(const std::string& settingsFolder, const TWriteSettings& settings,
                     const BurnCompilation& compilation);

// The image's cue file text: FILE "<image name>" WAVE, then per track a tab,
// "TRACK nn AUDIO", and two tabs, "INDEX 01 MM:SS:FF" at the track's start;
// LF line ends. `trackStarts` are in sectors from the image's start; its
// first `trackCount` entries are used.
std::string ImageCueText(const std::string& imageFileName, const std::vector<std::uint32_t>& trackStarts,
                         int trackCount);
// The image path with its extension replaced by ".cue".
std::string ImageCuePath(const std::string& imagePath);
// Writes the cue file beside the image (replacing one that is there).
bool WriteImageCueFile(const std::string& imagePath, const std::vector<std::uint32_t>& trackStarts, int trackCount);

// Choosing the WAV image file when Start runs in image mode. `askSaveName`
// shows the save dialog (filter kImageFilter, default extension "wav") and
// gives the chosen path, or nothing on cancel. An existing file is deleted
// after R77 is answered Yes; No shows the dialog again. With `writeCue`, the
// cue file is written and R78 (warning) shown when that fails. True with
// `imagePath` set when the burn may go on.
bool ChooseImageFile(IUserDialogs& dialogs, const std::function<std::optional<std::string>()>& askSaveName,
                     bool writeCue, const BurnCompilation& compilation, std::string& imagePath);

}  // namespace sv
