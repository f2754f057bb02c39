#include "metadata/TitleLookup.h"

#include "base/Language.h"
#include "base/Text.h"
#include "metadata/MusicBrainzReply.h"

namespace sv {
namespace {

constexpr const char* kMusicBrainzName = "MusicBrainz";
constexpr const char* kCddbName = "CDDB";

// Asks MusicBrainz. True when its titles were applied, or when the lookup
// is over anyway (given up by the user, no release chosen); `note` says why
// nothing came when the next source is to be asked.
bool AskMusicBrainz(TitleLookupContext& c, TitleLookupResult& r, const std::function<void(std::string)>& say,
                    std::string& note) {
    DiscLookupContext& d = c.disc;
    say(FormatMessage(LookupText(kTextAsking), kMusicBrainzName));
    const MbLookupResult mb = LookupMusicBrainz(d.toc, c.musicBrainz, &d.pump);
    if (mb.status == MbLookupResult::Status::Cancelled || d.pump.CancelRequested()) {
        say({});
        return true;
    }
    if (mb.status != MbLookupResult::Status::Found) {
        note = mb.status == MbLookupResult::Status::NotFound ? LookupText(kTextNoRelease)
                                                              : FormatMessage(LookupText(kTextMusicBrainzFailed), mb.message);
        return false;
    }
    std::size_t index = 0;
    if (mb.releases.size() > 1) {
        std::vector<std::string> titles;
        for (const MbRelease& release : mb.releases) titles.push_back(MbChooserText(release));
        const auto pick = d.dialogs.ChooseFromList(MetadataMessage(kMsgChooseMatch), titles, 0);
        if (!pick || *pick < 0 || static_cast<std::size_t>(*pick) >= titles.size()) {
            say({});
            return true;
        }
        index = static_cast<std::size_t>(*pick);
    }
    StoreDiscId(d.disc, ComputeDiscId(d.toc));
    ApplyMusicBrainzRelease(mb.releases[index], d.disc, d.tags);
    r.applied = true;
    r.source = kMusicBrainzName;
    r.saved = d.albums.SaveAlbum(d.disc, d.tags, d.disc.Artist(), d.disc.Album(), d.artistList);
    say(FormatMessage(LookupText(kTextAnswered), kMusicBrainzName));
    return true;
}

// Asks CDDB; the same contract as AskMusicBrainz.
bool AskCddb(TitleLookupContext& c, bool last, TitleLookupResult& r, const std::function<void(std::string)>& say,
             std::string& note) {
    DiscLookupContext& d = c.disc;
    say(FormatMessage(LookupText(kTextAsking), kCddbName));
    d.anotherSourceFollows = !last;
    const DiscLookupResult cddb = RunDiscLookup(d);
    if (cddb.applied) {
        r.applied = true;
        r.saved = cddb.saved;
        r.source = kCddbName;
        r.category = cddb.match.category;
        say(FormatMessage(LookupText(kTextAnswered), kCddbName));
        return true;
    }
    if (d.pump.CancelRequested() || cddb.chosen || cddb.matches > 1) {
        say({});  // given up, or the match chosen could not be read (and that was said)
        return true;
    }
    note = !cddb.refusal.empty() ? FormatMessage(LookupText(kTextCddbRefused), cddb.refusal)
           : cddb.sendFailed     ? MetadataMessage(kMsgSendFailed)
                                 : FormatMessage(LookupText(kTextNothingFrom), kCddbName);
    return false;
}

}  // namespace

MbLookupOptions MusicBrainzOptions(const TProgramSettings& settings, const std::string& server) {
    MbLookupOptions options;
    options.baseUrl = server;
    options.timeoutMs = EffectiveCddbTimeout(settings.CddbTimeoutMs());
    options.proxy = ProxyFromSettings(settings);
    return options;
}

std::vector<LookupSource> LookupOrder(LookupSource source) {
    switch (source) {
    case LookupSource::Cddb: return {LookupSource::Cddb};
    case LookupSource::MusicBrainz: return {LookupSource::MusicBrainz};
    case LookupSource::MusicBrainzThenCddb: return {LookupSource::MusicBrainz, LookupSource::Cddb};
    case LookupSource::CddbThenMusicBrainz: return {LookupSource::Cddb, LookupSource::MusicBrainz};
    }
    return {LookupSource::Cddb};
}

TitleLookupResult RunTitleLookup(TitleLookupContext& c) {
    TitleLookupResult r;
    const auto say = [&](std::string text) {
        r.status = std::move(text);
        if (c.status) c.status(r.status);
    };
    std::vector<LookupSource> order = LookupOrder(c.source);
    // MusicBrainz switched off: CDDB alone, or nothing to ask.
    if (c.musicBrainz.baseUrl.empty()) std::erase(order, LookupSource::MusicBrainz);
    if (order.empty()) {
        say(LookupText(kTextMusicBrainzOff));
        c.disc.dialogs.ShowMessage(r.status, MessageIcon::Information);
        return r;
    }
    std::vector<std::string> notes;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const bool last = i + 1 == order.size();
        std::string note;
        const bool over = order[i] == LookupSource::MusicBrainz ? AskMusicBrainz(c, r, say, note)
                                                                : AskCddb(c, last, r, say, note);
        if (over) return r;
        if (!note.empty()) notes.push_back(note);
        // Said in the status while the next source is asked; the last one's
        // answer comes as a message.
        say(last ? std::string() : note);
    }
    // Nothing found anywhere. CDDB asked last has said so itself (and offered
    // to ask again); after MusicBrainz, what each source answered, together.
    if (order.back() == LookupSource::MusicBrainz) {
        std::string text;
        for (const std::string& n : notes) text += (text.empty() ? "" : "\n") + n;
        if (!text.empty()) c.disc.dialogs.ShowMessage(text, MessageIcon::Information);
    }
    return r;
}

QuietLookupSettings QuietLookupSettingsOf(const TProgramSettings& settings, LookupSource source,
                                          const std::string& musicBrainzServer, const std::string& greetingAddress) {
    QuietLookupSettings q;
    q.source = source;
    q.musicBrainz = MusicBrainzOptions(settings, musicBrainzServer);
    q.site = SiteFromSettings(settings);
    q.proxy = q.musicBrainz.proxy;
    q.greetingAddress = greetingAddress;
    q.cddbTimeoutMs = EffectiveCddbTimeout(settings.CddbTimeoutMs());
    return q;
}

QuietLookup LookUpQuietly(const DiscToc& toc, const QuietLookupSettings& settings, IEventPump& pump) {
    // Asks the caller's pump only whether to give up.
    class CancelOnly final : public IEventPump {
    public:
        explicit CancelOnly(IEventPump& inner) : inner_(inner) {}
        void ProcessPendingEvents() override {}
        bool CancelRequested() const override { return inner_.CancelRequested(); }

    private:
        IEventPump& inner_;
    } quiet(pump);
    QuietLookup found;
    for (const LookupSource source : LookupOrder(settings.source)) {
        if (quiet.CancelRequested()) break;
        if (source == LookupSource::MusicBrainz) {
            if (settings.musicBrainz.baseUrl.empty()) continue;
            MbLookupResult mb = LookupMusicBrainz(toc, settings.musicBrainz, &quiet);
            if (mb.status != MbLookupResult::Status::Found) continue;
            found.source = kMusicBrainzName;
            found.choices = static_cast<int>(mb.releases.size());
            found.release = std::move(mb.releases.front());
            return found;
        }
        CCDDB client(settings.cddbTimeoutMs);
        client.SetEventPump(&quiet);
        client.SetGreetingAddress(settings.greetingAddress);
        if (!settings.proxy.host.empty())
            client.SetProxy(settings.proxy.host, settings.proxy.port, settings.proxy.user, settings.proxy.password);
        TCCDDBQueryResults matches;
        bool sendFailed = false;
        if (!client.Query(settings.site, ComputeDiscId(toc), BuildTrackOffsetTable(toc), matches, sendFailed) ||
            matches.Count() == 0)
            continue;
        std::string entry;
        client.SetReadHandler([&entry](std::string_view body) {
            if (BodyStatus(body) != 210) return false;
            entry = body;
            return true;
        });
        if (!client.Read(settings.site, matches[0].category, matches[0].discId)) continue;
        found.source = kCddbName;
        found.choices = static_cast<int>(matches.Count());
        found.cddbEntry = std::move(entry);
        return found;
    }
    return found;
}

bool ApplyQuietLookup(const QuietLookup& found, const DiscToc& toc, DISC_INFO& disc, TagBlocks& tags) {
    if (found.release) {
        StoreDiscId(disc, ComputeDiscId(toc));
        return ApplyMusicBrainzRelease(*found.release, disc, tags) > 0;
    }
    if (found.cddbEntry.empty()) return false;
    // A DISCID line that does not list the disc is no reason to interrupt
    // the user here: the entry is applied all the same, as the lookup does.
    return ApplyReadReply(found.cddbEntry, disc, tags, nullptr);
}

}  // namespace sv
