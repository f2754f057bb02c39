// Output file naming: the full path of every track the rip writes, built
// from the disc's titles and the naming options of the settings record, and
// the logic of the settings dialog's format-string editor.
//
// Paths use '/' and always lie inside OutputDir: characters that file
// systems (FAT and NTFS included) refuse are removed from the parts that come
// from titles, tags and the format string; a '/' or '\' inside a title never
// makes a folder; empty, "." and ".." folder parts are dropped; a part is
// never longer than 255 bytes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"

namespace sv {

// The replacement texts for an empty artist and album (language texts R12
// and R13 of the current language, the built-in ones when none is loaded).
struct NamingTexts {
    std::string unknownArtist;
    std::string unknownAlbum;
    static NamingTexts FromLanguage();
};

// The values a track's name is made of, already cleaned for use in a name.
struct TrackNameValues {
    std::string artist;
    std::string album;
    std::string title;
    std::string genre;
    std::string year;
    std::string discId;
    int trackCount = 0;
    int position = 0;  // 0-based position in the disc's track list
    int number = 1;    // the disc's own number of the track
};

// The values of track `position`. On a compilation disc whose tag record for
// the track is present, title, artist and album (and, with `withGenreYear`,
// genre and year) come from that record. `tags` may be null.
TrackNameValues CollectNameValues(const DISC_INFO& disc, const TagBlocks* tags, int position, bool withGenreYear,
                                  const NamingTexts& texts);

// "Track 04" for the track at position 3: the title of a track without one.
std::string ReplacementTitle(int position);

// Removes what may not stand in a name taken from a title or tag: * | < > " : ?
// / \ and control characters.
std::string CleanNameValue(std::string_view text);

// Removes * | < > " : ? and control characters (not the folder separators).
std::string RemoveForbiddenChars(std::string_view text);

// The extension of codec-layer output when the settings name none: ".wav"
// for a WAV container, else the bare stream's own (".mp3", ".mp2", ".ac3",
// ".flac", ".al", ".ul", ".gsm") or ".raw".
std::string DefaultAcmExtension(const TProgramSettings& settings);
// The extension for the settings' OutputFormat (".wav", ".mp3", ".wma",
// ".ogg", ".ape", ".aac", or "." + AcmFileExt, DefaultAcmExtension when
// that is empty).
std::string OutputExtension(const TProgramSettings& settings);

// Expands a file-name format string: %A artist, %D album, %T title, %N track
// number (2 digits at least), %G genre, %Y year, %C track count, %I disc
// identifier; the Cyrillic capitals А Д Т Н Ж Г С stand for A D T N G Y C.
// Any other letter after '%' ends the expansion. Separators in the format
// ('\' or '/') are kept as typed.
std::string ExpandFormatString(std::string_view format, const TrackNameValues& values);
std::string ExpandFormatString(std::string_view format, const DISC_INFO& disc, const TagBlocks* tags, int position,
                               const NamingTexts& texts = NamingTexts::FromLanguage());

// The output path of track `position` without the folder check (for previews
// and labels): OutputDir followed by the relative name.
std::string MakeOutputPath(const TProgramSettings& settings, const DISC_INFO& disc, const TagBlocks* tags,
                           int position, const NamingTexts& texts = NamingTexts::FromLanguage());

// While OutputDir does not exist: shows R14 (warning) and runs the settings
// dialog through `runSettingsDialog`, then tests again. False when the
// dialog reports that the user gave up (returns false).
bool EnsureOutputDir(const TProgramSettings& settings, IUserDialogs& dialogs,
                     const std::function<bool()>& runSettingsDialog);

// EnsureOutputDir, then MakeOutputPath. Empty when the user gave up.
std::string BuildOutputPath(const TProgramSettings& settings, const DISC_INFO& disc, const TagBlocks* tags,
                            int position, IUserDialogs& dialogs, const std::function<bool()>& runSettingsDialog);

// ---- the format editor of the settings dialog ----

// False for the keys the format field swallows: " * / : < > ? |.
bool FilterFormatKey(char32_t key);

// Reduces each "%%" to "%" (one pass, left to right).
std::string CollapsePercents(std::string_view text);

// The preview label's new text, or nothing when the label keeps its text:
// empty for an empty text or "%"; with a disc loaded (`disc` not null) and a
// text that does not end with "%", the expansion for the first track + ".mp3".
std::optional<std::string> PreviewFormatString(std::string_view text, const DISC_INFO* disc, const TagBlocks* tags,
                                               const NamingTexts& texts = NamingTexts::FromLanguage());

// What the UseFormatString check box enables.
struct FormatEditorEnabling {
    bool formatField = false;
    bool fileNameBoxes = true;  // the four file-name boxes
    bool folderBoxes = true;    // the two folder boxes
};
FormatEditorEnabling FormatEditorEnablingFor(bool useFormatString);

// The format field's hint: language texts R28 .. R31 joined with line breaks.
std::string FormatStringHint();

}  // namespace sv
