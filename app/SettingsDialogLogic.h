// The rules of the settings dialog that do not depend on its widgets: the
// lists it shows, how typed numbers are read, and the checks made on "Ok".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"

namespace sv {

inline constexpr const char* kDefaultCddbHost = "gnudb.gnudb.org";
inline constexpr const char* kDefaultCddbPath = "/~cddb/cddb.cgi";

// "1x ( 176 Kbit/s )" ... "50x ( 8820 Kbit/s )".
std::vector<std::string> ReadSpeedItems();

// The MP3 bit rates of the LAME tab, "320kBit/s" first; item i stores 14 - i.
std::vector<std::string> Mp3BitrateItems();
// kbit/s of an MPEG-1 Layer III bit-rate index 1..14 (0 outside).
int Mp3BitrateKbps(int index);

// The Ogg, WMA and AAC bit-rate lists (kbit/s), indexed as stored.
const std::vector<int>& OggBitrates();
const std::vector<int>& WmaBitrates();
const std::vector<int>& AacBitrates();
// "64 kB/s" ...
std::vector<std::string> AacBitrateItems();

// The names of the nine read commands, indexed as stored per drive.
const std::vector<std::string>& ReadCommandNames();

// The sectors-per-read field: a stored 0 shows "26"; text that is not a
// number stores 26; numbers are kept within 1..255.
std::string SectorsShown(std::uint8_t stored);
std::uint8_t SectorsFromText(const std::string& text);
// The CDDB time-out typed in seconds (20 s when not a number), in ms.
std::int32_t TimeoutMsFromText(const std::string& text);
// The CDDB/proxy port (80 when not a number or outside 1..65535).
std::int32_t PortFromText(const std::string& text);

// A file-name format string the dialog accepts: not empty, not ending in a
// folder separator or "%", and with a "%" before its last character.
bool IsValidFormatString(const std::string& format);

// The "Ok" checks on the music folder: asks R34 when `folder` does not exist
// and creates it (with its parents) on Yes. Returns the folder as it is to be
// stored, ending in '/'. An error creating it is shown; the text is kept.
std::string ConfirmOutputFolder(const std::string& folder, IUserDialogs& dialogs);

// A read command above the list resets to the first one.
std::uint8_t ValidReadCommand(std::uint8_t stored);

// The encoding page's audio tabs (0 MP3, 1 Ogg Vorbis, 2 WMA, 3 external
// encoders, 4 normalisation) and the output format stored between grabs: the
// dialog opens on the tab of the stored format and stores the format of the
// tab it closes on (the normalisation tab keeps the stored format).
int AudioTabForFormat(int outputFormat);
int FormatForAudioTab(int tab, int extEncoder, int storedFormat);

}  // namespace sv
