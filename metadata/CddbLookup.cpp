#include "metadata/CddbLookup.h"

#include <filesystem>

#include "base/BuiltinMessages.h"
#include "base/Language.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/FileIo.h"
#include "metadata/XmcdEntry.h"

namespace sv {
namespace {

bool ParsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

std::string WithoutFieldBreaks(std::string_view s) {
    std::string out;
    for (char c : s) out.push_back(c == '#' || c == '\r' || c == '\n' ? ' ' : c);
    return out;
}

}  // namespace

std::string MetadataMessage(int n) {
    std::string text = LangMessage(n);
    if (text.empty() && n >= 0 && n < static_cast<int>(kRussianMessages.size()))
        text = std::string(kRussianMessages[static_cast<std::size_t>(n)]);
    return text;
}

std::string LookupText(LookupTextId id) {
    const LookupTextEntry& entry = kLookupTexts.at(id);
    TLanguage* language = GlobalLanguage();
    if (!language || language->CurrentIndex() < 0) return entry.russian;
    if (language->SeekSection(kLookupTextsSection)) {
        std::string text = language->GetText(static_cast<int>(id) + 2);
        if (!text.empty()) return text;
    }
    // A file written before this section existed: its messages tell whether
    // it is the English one (as the encoders' messages decide).
    return LangMessage(19) == kEnglishMessages[19] ? entry.english : entry.russian;
}

std::string RefusalMessage(const std::string& statusLine) {
    return FormatMessage(LookupText(kTextCddbRefused), statusLine) + "\n" + LookupText(kTextCddbRefusalAdvice);
}

CCDDBSite SiteFromSettings(const TProgramSettings& settings) {
    CCDDBSite site;
    std::string host = Trim(settings.CddbServer());
    if (!host.empty()) {
        if (host.front() == '[') {
            const std::size_t close = host.find(']');
            int port = 0;
            if (close != std::string::npos && close + 1 < host.size() && host[close + 1] == ':' &&
                ParsePort(std::string_view(host).substr(close + 2), port)) {
                site.port = port;
                host = host.substr(0, close + 1);
            }
        } else {
            const std::size_t colon = host.find(':');
            int port = 0;
            if (colon != std::string::npos && host.find(':', colon + 1) == std::string::npos &&
                ParsePort(std::string_view(host).substr(colon + 1), port)) {
                site.port = port;
                host = host.substr(0, colon);
            }
        }
        site.host = host;
    }
    const std::string path = Trim(settings.CddbPath());
    if (!path.empty()) site.path = path;
    return site;
}

CddbProxy ProxyFromSettings(const TProgramSettings& settings) {
    CddbProxy proxy;
    if (settings.ProxyHost().empty()) return proxy;
    proxy.host = settings.ProxyHost();
    proxy.port = settings.CddbPort() <= 0 ? 80 : settings.CddbPort();
    proxy.user = settings.ProxyUser();
    proxy.password = settings.ProxyPassword();
    return proxy;
}

bool ApplyReadReply(std::string_view body, DISC_INFO& disc, TagBlocks& tags, IUserDialogs* dialogs) {
    if (BodyStatus(body) != 210) return false;
    const XmcdEntry entry = XmcdEntry::Parse(body);
    const XmcdApplyResult applied = ApplyXmcdEntry(entry, disc, disc.TrackCount(), &tags);
    if (applied.discIdPresent && !applied.discIdMatches && dialogs)
        dialogs->ShowMessage(MetadataMessage(kMsgWrongDiscId), MessageIcon::Warning);
    return true;
}

DiscLookupResult RunDiscLookup(DiscLookupContext& context) {
    DiscLookupResult result;
    TProgramSettings& settings = context.settings;
    for (;;) {
        ++result.attempts;
        const int timeoutMs = EffectiveCddbTimeout(settings.CddbTimeoutMs());
        std::unique_ptr<CCDDB> client =
            context.makeClient ? context.makeClient(timeoutMs) : std::make_unique<CCDDB>(timeoutMs);
        client->SetEventPump(&context.pump);
        client->SetDialogs(&context.dialogs);
        client->SetGreetingAddress(context.greetingAddress);
        bool applied = false;
        client->SetReadHandler([&](std::string_view body) {
            const bool ok = ApplyReadReply(body, context.disc, context.tags, &context.dialogs);
            applied = applied || ok;
            return ok;
        });
        if (const CddbProxy proxy = ProxyFromSettings(settings); !proxy.host.empty()) {
            if (settings.CddbPort() == 0) settings.SetCddbPort(80);
            client->SetProxy(proxy.host, proxy.port, proxy.user, proxy.password);
        }
        const TrackOffsetTable offsets = BuildTrackOffsetTable(context.toc);
        const std::uint32_t id = ComputeDiscId(context.toc);
        StoreDiscId(context.disc, id);
        const CCDDBSite site = SiteFromSettings(settings);

        TCCDDBQueryResults results;
        bool sendFailed = false;
        const bool found = client->Query(site, id, offsets, results, sendFailed);
        result.matches = static_cast<int>(results.Count());
        if (context.pump.CancelRequested()) return result;  // given up by the user: no questions
        if (sendFailed) {
            result.sendFailed = true;
            if (!context.anotherSourceFollows)
                context.dialogs.ShowMessage(MetadataMessage(kMsgSendFailed), MessageIcon::Information);
            return result;
        }
        if (found) {
            std::size_t index = 0;
            if (results.Count() > 1) {
                std::vector<std::string> titles;
                for (const auto& match : results.Items()) titles.push_back(match.title);
                const auto pick = context.dialogs.ChooseFromList(MetadataMessage(kMsgChooseMatch), titles, 0);
                if (!pick || *pick < 0 || static_cast<std::size_t>(*pick) >= results.Count()) return result;
                index = static_cast<std::size_t>(*pick);
            }
            result.match = results[index];
            result.chosen = true;
            if (!client->Read(site, result.match.category, result.match.discId) && !context.pump.CancelRequested()) {
                result.refusal = client->Refusal();
                context.dialogs.ShowMessage(result.refusal.empty() ? MetadataMessage(kMsgReadFailed)
                                                                   : RefusalMessage(result.refusal),
                                            MessageIcon::Warning);
            }
            result.applied = applied;
            result.saved = context.albums.SaveAlbum(context.disc, context.tags, context.disc.Artist(),
                                                    context.disc.Album(), context.artistList);
            return result;
        }
        if (!client->Refusal().empty()) {
            // Asking the same server again would only bring the same answer.
            result.refusal = client->Refusal();
            if (!context.anotherSourceFollows)
                context.dialogs.ShowMessage(RefusalMessage(result.refusal), MessageIcon::Warning);
            return result;
        }
        client.reset();
        if (context.anotherSourceFollows) return result;
        if (!context.dialogs.AskYesNo(MetadataMessage(kMsgRetryConnection), MessageIcon::Question)) return result;
    }
}

std::string MirrorListPath() { return SettingsFolder() + "serervs.lst"; }

std::vector<MirrorEntry> ReadMirrorList(const std::string& path) {
    std::vector<MirrorEntry> entries;
    std::string text;
    if (!ReadWholeFile(path, 1u << 20, text)) return entries;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
        const std::string_view line = std::string_view(text).substr(start, i - start);
        start = i + 1;
        std::vector<std::string_view> fields;
        std::size_t from = 0;
        for (std::size_t hash; (hash = line.find('#', from)) != std::string_view::npos; from = hash + 1)
            fields.push_back(line.substr(from, hash - from));
        if (fields.size() < 3) continue;
        entries.push_back({ToUtf8Lenient(fields[0]), ToUtf8Lenient(fields[1]), ToUtf8Lenient(fields[2])});
    }
    return entries;
}

bool WriteMirrorList(const std::string& path, const std::vector<CCDDBSite>& sites) {
    std::string text;
    for (const auto& site : sites)
        text += WithoutFieldBreaks(site.description) + "#" + WithoutFieldBreaks(site.host) + "#" +
                WithoutFieldBreaks(site.path) + "#\r\n";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return ReplaceFile(path, text);
}

std::string MirrorDisplayText(const MirrorEntry& entry) {
    return entry.description + " (" + entry.host + entry.path + ")";
}

std::vector<CCDDBSite> FetchMirrorList(int timeoutMs, IEventPump* pump, const CCDDBSite& server,
                                       const std::string& greetingAddress) {
    CCDDB client(timeoutMs);
    client.SetEventPump(pump);
    client.SetGreetingAddress(greetingAddress);
    std::vector<CCDDBSite> sites;
    client.QuerySites(sites, server);
    return sites;
}

std::vector<CCDDBSite> RefreshMirrorList(int timeoutMs, const std::string& path, IEventPump* pump,
                                         const CCDDBSite& server, const std::string& greetingAddress) {
    std::vector<CCDDBSite> sites = FetchMirrorList(timeoutMs, pump, server, greetingAddress);
    if (!sites.empty()) WriteMirrorList(path, sites);
    return sites;
}

}  // namespace sv
