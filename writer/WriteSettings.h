// TWriteSettings: the burn window's 280-byte settings record, stored as its
// raw bytes in "setting/wset.dat" (no header, little-endian), and the rules
// of its settings dialog.
//
// The record is read once when the burn window opens and written once when
// it closes; the dialog only changes it in memory. Reserved bytes are written
// back exactly as they were read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Record.h"

namespace sv {

class IUserDialogs;

class TWriteSettings : public OwnedBytes<280> {
public:
    SV_INT(std::uint8_t, DriveEntry, 0)        // selected entry of the drive list
    SV_INT(std::uint8_t, WriteSpeed, 1)        // 255 = maximum, else 32, 16, 8, 4 or 1
    SV_INT(std::uint8_t, ThreadPriority, 2)    // 0 normal, 1 idle, 2 highest
    SV_INT(std::uint16_t, SectorsPerWrite, 4)  // sectors per WRITE command
    SV_BOOL(AskBeforeDiscOperations, 6)
    SV_BOOL(DecodeWhileWriting, 7)             // the decode-ahead thread
    SV_BOOL(PlaySoundAtEnd, 12)
    SV_BOOL(RememberLastProject, 13)
    SV_BOOL(ImageModeAtStart, 14)              // rewritten at every start, not used after loading
    SV_TEXT(SoundFile, 15, 260)
    SV_BOOL(EjectAfterBurning, 275)
    SV_BOOL(WriteImageCue, 276)

    // The record of a fresh installation: speed Max, 10 sectors per write,
    // decode while writing on, everything else 0.
    static TWriteSettings Defaults();

    // Settings that have no place in the record, kept in "wset-extra.txt"
    // beside it as "key=value" lines:
    // a disc burn writes CD-TEXT (titles and artists of the files): "cdtext=1"
    // or "cdtext=0"; on when the file or the line is missing.
    bool writeCdText = true;

    // The drive list entry to select in a list of `entries` entries: the
    // remembered one, or 0 when it lies beyond the list.
    int DriveEntryIn(int entries) const { return DriveEntry() < entries ? DriveEntry() : 0; }
};

inline constexpr const char* kWriteSettingsFile = "wset.dat";
inline constexpr const char* kWriteSettingsExtraFile = "wset-extra.txt";

// Reads "wset.dat" in `settingsFolder` (ending in '/'): the defaults when the
// file cannot be opened; otherwise its first 280 bytes over the defaults (a
// shorter file keeps the defaults past its end). Then "wset-extra.txt".
TWriteSettings LoadWriteSettings(const std::string& settingsFolder);
// Writes the 280 bytes to "wset.dat", creating the folder, and
// "wset-extra.txt"; a temporary file is renamed over each old one, so a
// failure leaves the old file whole.
bool SaveWriteSettings(const std::string& settingsFolder, const TWriteSettings& settings);
// SaveWriteSettings, and R85 with a warning icon when it fails.
bool SaveWriteSettingsOrWarn(const std::string& settingsFolder, const TWriteSettings& settings,
                             IUserDialogs& dialogs);

// The settings dialog's rules.

// Speed list items "Max", "32x", "16x", "8x", "4x", "1x".
const std::vector<std::string>& WriteSpeedItems();
// The item showing a stored speed: 0 and 255 show "Max"; a value that is not
// in the list shows "Max" as well.
int WriteSpeedItem(std::uint8_t speed);
std::uint8_t WriteSpeedOfItem(int item);  // 255, 32, 16, 8, 4, 1; Max for an unknown item
// Priority list items "Normal", "IDLE", "Max" for 0, 1, 2 (an unknown stored
// value shows "Normal").
const std::vector<std::string>& PriorityItems();
int PriorityItem(std::uint8_t priority);
std::uint8_t PriorityOfItem(int item);
// The sectors-per-write edit takes at most this many characters.
inline constexpr int kSectorsPerWriteMaxChars = 3;
inline constexpr std::uint16_t kSectorsPerWriteFallback = 38;
// The edit's text read as a number: 1 to 3 decimal digits; anything else
// ("abc", empty) gives 38.
std::uint16_t SectorsPerWriteFromText(std::string_view text);

// What the dialog shows and edits.
struct WriteSettingsDialogValues {
    int speedItem = 0;
    int priorityItem = 0;
    std::string sectorsText;
    bool askBeforeDiscOperations = false;
    bool decodeWhileWriting = false;
    bool playSoundAtEnd = false;
    bool ejectAfterBurning = false;
    bool rememberLastProject = false;
    bool writeImageCue = false;
    bool writeCdText = true;
    std::string soundFile;
};

WriteSettingsDialogValues DialogValuesOf(const TWriteSettings& settings);
// Ok: stores everything into the record. The sound file field holds 259
// bytes; a longer path is not cut into a wrong one: the record keeps its old
// sound file and the result is false, so that the dialog can say so.
bool StoreDialogValues(const WriteSettingsDialogValues& values, TWriteSettings& settings);

}  // namespace sv
