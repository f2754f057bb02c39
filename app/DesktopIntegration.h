// The per-user store that stands where the Windows program used its registry
// key (window position and size, the media player's path), and finding the
// desktop's default MP3 player.
#pragma once

#include <optional>
#include <string>

#include "base/Msf.h"
#include "metadata/LookupSource.h"

namespace sv {

struct StoredWindowValues {
    std::optional<int> top, left, width, height;
    std::string playerPath;
};

// $XDG_CONFIG_HOME/Sornaval/Sornaval.conf
StoredWindowValues ReadStoredWindowValues();

// The read offset (in samples) kept for drives of one model, named as the
// drive names itself (vendor, product and revision), outside the settings
// record. Nothing when none was set.
std::optional<int> StoredReadOffset(const std::string& driveModel);
void StoreReadOffset(const std::string& driveModel, int samples);

// FLAC's compression level (0..8; 5 when none was set), kept outside the
// settings record.
int FlacLevel();
void StoreFlacLevel(int level);

// The AccurateRip server grabs are checked with: SORNAVAL_ACCURATERIP in the
// environment, else the stored one, else the default; empty when the check
// is switched off ("off").
std::string AccurateRipServer();

// The title lookup's settings, kept outside the settings record.
// Which source looks titles up (MusicBrainz, then CDDB when none was set or
// the stored value is not one of the four).
LookupSource StoredLookupSource();
void StoreLookupSource(LookupSource source);
// The MusicBrainz server: SORNAVAL_MUSICBRAINZ in the environment, else the
// stored one, else the default; empty when MusicBrainz is switched off ("off").
std::string MusicBrainzServer();
// The stored server as the settings show it ("off" included), else the default.
std::string StoredMusicBrainzServer();
// Trimmed; an empty text returns to the default.
void StoreMusicBrainzServer(const std::string& server);
// The e-mail address CDDB servers are greeted with ("name@domain"); empty when
// none was set (the login and host names are sent).
std::string CddbGreetingAddress();
// Whether a disc nobody has named yet is looked up online as it is inserted:
// SORNAVAL_LOOKUP_ON_INSERT ("on" or "off") in the environment, else the
// stored choice, else yes.
bool LookupOnInsertion();
void StoreLookupOnInsertion(bool on);
// Trimmed; an empty text removes it.
void StoreCddbGreetingAddress(const std::string& address);

void WriteStoredWindowValues(int top, int left, int width, int height, const std::string& playerPath);

// The audio-CD handler that was the desktop's default before this program
// took that place.
std::string ReadLastPlayer();
void WriteLastPlayer(const std::string& handler);

// The program the desktop opens MP3 files with (its executable's full path),
// or empty when none is known.
std::string FindDesktopMp3Player();

// True when `path` names an existing regular file that this user may execute.
bool IsExecutableFile(const std::string& path);

// Starts `program` without a shell; false when it cannot be started.
bool StartProgram(const std::string& program);

}  // namespace sv
