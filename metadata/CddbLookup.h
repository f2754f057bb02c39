// The disc lookup of the main window and the mirror list of the settings
// dialog, without any window: questions, messages and the match chooser go
// through IUserDialogs, and the event pump keeps a window alive while the
// client waits for a server.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/DiscInfo.h"
#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"
#include "metadata/AlbumCache.h"
#include "metadata/Cddb.h"
#include "metadata/DiscId.h"

namespace sv {

// Text Rnn of the current language, or the built-in text when no language
// file is loaded.
std::string MetadataMessage(int n);

inline constexpr int kMsgWrongDiscId = 5;      // the server's DISCID does not list the disc
inline constexpr int kMsgSendFailed = 6;       // the query could not be sent
inline constexpr int kMsgRetryConnection = 8;  // no match / no connection: try again?
inline constexpr int kMsgReadFailed = 9;       // the read failed
inline constexpr int kMsgChooseMatch = 56;     // the chooser's label

// The online lookup's own texts: section #12 of the language files, which are
// written from this table (entry 02 is text 0).
inline constexpr int kLookupTextsSection = 12;
struct LookupTextEntry {
    const char* key;
    const char* russian;
    const char* english;
};
enum LookupTextId : std::size_t {
    kTextCddbRefused = 0,        // "%s": the server's status line
    kTextCddbRefusalAdvice = 1,  // what to do about a refusal
    kTextAsking = 2,             // "%s": the source being asked
    kTextAnswered = 3,           // "%s": the source whose titles were taken
    kTextNoRelease = 4,          // MusicBrainz knows no release of the disc
    kTextMusicBrainzFailed = 5,  // "%s": why MusicBrainz could not be asked
    kTextNothingFrom = 6,        // "%s": a source that found nothing
    kTextMusicBrainzOff = 7,     // MusicBrainz alone, and switched off
    kTextFoundNotApplied = 8,    // "%s": titles of an insertion lookup left aside
    kTextOtherChoices = 9,       // "%s": how many releases or matches there were
};
inline constexpr std::array<LookupTextEntry, 10> kLookupTexts{{
    {"CddbRefused", "Сервер CDDB отказал: %s", "The CDDB server refused: %s"},
    {"CddbRefusalAdvice",
     "Выберите другой сервер, укажите в настройках e-mail, известный серверу, или ищите названия в MusicBrainz.",
     "Choose another server, enter an e-mail address it knows in the settings, or look the titles up with MusicBrainz."},
    {"LookupAsking", "Поиск названий: %s...", "Looking the titles up: %s..."},
    {"LookupAnswered", "Названия из %s", "Titles from %s"},
    {"MbNoRelease", "В MusicBrainz нет этого диска.", "MusicBrainz knows no release of this disc."},
    {"MbFailed", "MusicBrainz: %s", "MusicBrainz: %s"},
    {"NothingFrom", "%s: ничего не найдено.", "%s: nothing found."},
    {"MbOff", "Поиск в MusicBrainz выключен в настройках.", "Looking titles up with MusicBrainz is switched off in the settings."},
    {"FoundNotApplied", "%s знает этот диск: нажмите \"Поиск\", чтобы взять названия.",
     "%s knows this disc: press Lookup to take its titles."},
    {"OtherChoices", "(вариантов: %s; \"Поиск\" - выбрать другой)", "(%s choices: Lookup offers the others)"},
}};
// Text `id` of the loaded language's section #12. Without a loaded language,
// or with a file older than that section, the built-in text: English when the
// loaded file's messages are the English ones, else Russian.
std::string LookupText(LookupTextId id);
// What the user is told when the server refused: its status line, then what
// to do about it.
std::string RefusalMessage(const std::string& statusLine);

// The server of the settings: host and CGI path (defaults when empty), port
// 80. A host written "name:port" (or "[v6-address]:port") names another port.
CCDDBSite SiteFromSettings(const TProgramSettings& settings);
// The HTTP proxy of the settings, shared by every online lookup (CDDB,
// MusicBrainz, AccurateRip); an empty host when none is set. A port of 0
// means 80.
CddbProxy ProxyFromSettings(const TProgramSettings& settings);

// Applies the body of a read reply (status line included) to the disc record
// and the tag blocks. False, and nothing changed, unless the status is 210.
// A DISCID line that does not list the disc shows message 5 through
// `dialogs` when given (the entry is applied all the same).
bool ApplyReadReply(std::string_view body, DISC_INFO& disc, TagBlocks& tags, IUserDialogs* dialogs);

struct DiscLookupContext {
    TProgramSettings& settings;  // a proxy port of 0 is written back as 80
    const DiscToc& toc;
    DISC_INFO& disc;
    TagBlocks& tags;
    const TAlbumCache& albums;
    std::vector<std::string>* artistList;  // the artist drop-down list, or none
    IUserDialogs& dialogs;
    IEventPump& pump;
    // Makes the client of each attempt; none: a plain CCDDB.
    std::function<std::unique_ptr<CCDDB>(int timeoutMs)> makeClient;
    // The e-mail address of the greeting (CCDDB::SetGreetingAddress); empty:
    // the login and host names.
    std::string greetingAddress;
    // Another source is asked when this one finds nothing: no retry question,
    // and a refusal or a send failure is left to the result, not shown.
    bool anotherSourceFollows = false;
};

struct DiscLookupResult {
    int attempts = 0;        // queries made (the user may retry)
    int matches = 0;         // matches of the last query
    bool chosen = false;     // a match was chosen and read
    bool applied = false;    // a read reply was applied
    bool saved = false;      // the album was saved
    CCDDBQueryResult match;  // the match that was read
    std::string refusal;     // the status line of the server's refusal, as shown
    bool sendFailed = false; // the query could not be sent
};

// The lookup command: query, choose, read, apply, save; message 8 offers a
// retry when nothing was found. A server that refuses the query or the read
// (a status 5xx with text) is quoted with RefusalMessage instead, and no retry
// is offered.
DiscLookupResult RunDiscLookup(DiscLookupContext& context);

// The mirror list file "setting/serervs.lst": one line per site,
// description "#" host "#" path "#", CR LF line ends.
struct MirrorEntry {
    std::string description;
    std::string host;
    std::string path;
};
std::string MirrorListPath();
std::vector<MirrorEntry> ReadMirrorList(const std::string& path);
bool WriteMirrorList(const std::string& path, const std::vector<CCDDBSite>& sites);
// What the settings dialog shows: description " (" host path ")".
std::string MirrorDisplayText(const MirrorEntry& entry);

// Asks `server` (the default server unless given) for its mirror list, with
// the time-out in milliseconds (0: 20 s), the greeting's e-mail address
// (empty: the login and host names) and no proxy. At most 20 sites.
std::vector<CCDDBSite> FetchMirrorList(int timeoutMs, IEventPump* pump, const CCDDBSite& server = CCDDBSite{},
                                       const std::string& greetingAddress = {});

// The settings dialog's button: fetches the list and, when it is not empty,
// writes it to `path`. Returns the sites (empty: nothing changed).
std::vector<CCDDBSite> RefreshMirrorList(int timeoutMs, const std::string& path, IEventPump* pump,
                                         const CCDDBSite& server = CCDDBSite{},
                                         const std::string& greetingAddress = {});

}  // namespace sv
