// What the settings dialog learns from the rest of the program: the drives,
// the encoders and their formats, the CDDB mirror list, read-command
// detection and the file-name preview. Each has a default that works without
// the subsystem behind it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"
#include "metadata/LookupSource.h"

namespace sv {

struct SettingsFormSources {
    std::function<std::vector<std::string>()> driveNames;
    std::function<std::string()> lameDescription;
    // ACM MP3 codecs and the formats of each (descriptions).
    std::function<std::vector<std::string>()> mp3Codecs;
    std::function<std::vector<std::string>(int codec)> mp3Formats;
    // All ACM codecs of the external tab and the formats of each.
    std::function<std::vector<std::string>()> acmCodecs;
    std::function<std::vector<std::string>(int codec)> acmFormats;
    // Mirror list entries ("description (hostpath)") with host and path.
    struct Mirror {
        std::string description, host, path;
    };
    std::function<std::vector<Mirror>()> mirrors;
    // Asks the default server for its mirror list, greeting it with the
    // e-mail address given (empty: the login and host names); empty when that
    // fails.
    std::function<std::vector<Mirror>(const std::string& greetingAddress)> fetchMirrors;
    // Read-command detection with the dialog's transport (1 pass-through),
    // drive and sectors-per-read text: the chosen row's command and size, or
    // none.
    struct DetectedCommand {
        int command = 0;
        int sectors = 26;
    };
    std::function<std::optional<DetectedCommand>(int transport, int drive, const std::string& sectors)>
        detectReadCommand;
    // The format editor: the preview label's new text for the typed format
    // (nothing: the label keeps its text), the keys the field refuses, and
    // the "%%" collapsing.
    std::function<std::optional<std::string>(const std::string& format)> formatPreview;
    std::function<bool(char32_t key)> formatKeyAllowed;
    std::function<std::string(const std::string& text)> collapsePercents;
    // The read offset kept for the model of drive `drive` (0 when none), its
    // storing, and its detection from the disc in that drive through the
    // AccurateRip database (nothing, after saying why, when not found).
    std::function<int(int drive)> readOffset;
    // FLAC's compression level (0..8) and its storing; without them the FLAC
    // page shows 5 and keeps nothing.
    std::function<int()> flacLevel;
    std::function<void(int level)> storeFlacLevel;
    std::function<void(int drive, int samples)> storeReadOffset;
    // The title lookup's settings outside the record and their storing;
    // without them the page shows the defaults and keeps nothing.
    struct Lookup {
        LookupSource source = kDefaultLookupSource;
        std::string musicBrainzServer = kDefaultMusicBrainzServer;  // as stored ("off" included)
        std::string greetingAddress;    // the CDDB greeting's e-mail address
        bool onInsertion = true;        // look a disc nobody has named up as it is inserted
    };
    std::function<Lookup()> lookup;
    std::function<void(const Lookup&)> storeLookup;
    std::function<std::optional<int>(int drive)> detectReadOffset;
};

// True for an empty text and for an e-mail address the CDDB greeting can use
// ("name@domain").
bool AcceptableGreetingAddress(const std::string& address);

// The sources of a running program: the codec catalogue, the mirror list
// file and its refresh through the default server, the naming rules.
SettingsFormSources ProgramSettingsSources(std::vector<std::string> driveNames, const DISC_INFO& disc,
                                           const TagBlocks& tags, IEventPump* pump);

}  // namespace sv
