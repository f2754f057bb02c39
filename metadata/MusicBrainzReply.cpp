#include "metadata/MusicBrainzReply.h"

#include <algorithm>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "base/Text.h"
#include "metadata/XmcdEntry.h"

namespace sv {
namespace {

using Json = nlohmann::json;

// The deepest nesting of objects and lists in `text`, brackets inside strings
// not counted; stops counting once `limit` is passed.
int NestingDepth(std::string_view text, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size() && deepest <= limit; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// A text of the reply as the record takes it: control characters become
// spaces, at most kMaxMbTextBytes bytes.
std::string CleanText(std::string_view s) {
    std::string out(CutUtf8(s, kMaxMbTextBytes));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return out;
}

const Json* Member(const Json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string Text(const Json& object, const char* key) {
    const Json* value = Member(object, key);
    return value && value->is_string() ? CleanText(value->get_ref<const std::string&>()) : std::string();
}

// An integer member within [0, max]; `fallback` otherwise.
std::int64_t Number(const Json& object, const char* key, std::int64_t max, std::int64_t fallback) {
    const Json* value = Member(object, key);
    if (!value || !value->is_number_integer()) return fallback;
    if (value->is_number_unsigned()) {
        const auto u = value->get<std::uint64_t>();
        return u <= static_cast<std::uint64_t>(max) ? static_cast<std::int64_t>(u) : fallback;
    }
    const auto n = value->get<std::int64_t>();
    return n >= 0 && n <= max ? n : fallback;
}

// A list member: nullptr when absent or null; `bad` is set when it is something else.
const Json* List(const Json& object, const char* key, bool& bad) {
    const Json* value = Member(object, key);
    if (!value || value->is_null()) return nullptr;
    if (!value->is_array()) {
        bad = true;
        return nullptr;
    }
    return value;
}

struct Credit {
    std::string text;
    bool variousArtists = false;
};

// "artist-credit": the credited names, each followed by its join phrase.
Credit ReadCredit(const Json& object) {
    Credit credit;
    bool bad = false;
    const Json* list = List(object, "artist-credit", bad);
    if (!list) return credit;
    std::string text;
    for (const Json& part : *list) {
        if (!part.is_object()) continue;
        const Json* artist = Member(part, "artist");
        std::string name = Text(part, "name");
        if (name.empty() && artist) name = Text(*artist, "name");
        text += name + Text(part, "joinphrase");
        if (artist && Text(*artist, "id") == kVariousArtistsId) credit.variousArtists = true;
        if (text.size() > kMaxMbTextBytes) break;
    }
    credit.text = CleanText(text);
    return credit;
}

std::size_t TrackCount(const Json& medium, const Json* tracks) {
    if (tracks) return tracks->size();
    return static_cast<std::size_t>(Number(medium, "track-count", 1 << 20, 0));
}

bool ListsDisc(const Json& medium, std::string_view discId) {
    bool bad = false;
    const Json* discs = List(medium, "discs", bad);
    if (!discs || discId.empty()) return false;
    return std::any_of(discs->begin(), discs->end(), [&](const Json& d) { return Text(d, "id") == discId; });
}

// Reads one release; false with `error` set when its shape is wrong. A
// release without a medium of this disc leaves `out` without tracks and
// `found` false.
bool ReadRelease(const Json& json, std::string_view discId, int audioTracks, MbRelease& out, bool& found,
                 std::string& error) {
    found = false;
    if (!json.is_object()) {
        error = "a release is not an object";
        return false;
    }
    bool bad = false;
    const Json* media = List(json, "media", bad);
    if (bad) {
        error = "the media of a release are not a list";
        return false;
    }
    if (!media) return true;
    const Json* chosen = nullptr;
    const Json* chosenTracks = nullptr;
    for (int pass = 0; pass < 2 && !chosen; ++pass) {
        for (const Json& medium : *media) {
            if (!medium.is_object()) {
                error = "a medium is not an object";
                return false;
            }
            const Json* tracks = List(medium, "tracks", bad);
            if (bad) {
                error = "the tracks of a medium are not a list";
                return false;
            }
            const bool match = pass == 0 ? ListsDisc(medium, discId)
                                         : TrackCount(medium, tracks) == static_cast<std::size_t>(audioTracks);
            if (match) {
                chosen = &medium;
                chosenTracks = tracks;
                break;
            }
        }
    }
    if (!chosen) return true;
    found = true;
    out.id = Text(json, "id");
    out.title = Text(json, "title");
    const Credit releaseCredit = ReadCredit(json);
    out.artist = releaseCredit.text;
    out.date = Text(json, "date");
    if (out.date.size() >= 4 && std::all_of(out.date.begin(), out.date.begin() + 4, [](char c) {
            return c >= '0' && c <= '9';
        }))
        out.year = out.date.substr(0, 4);
    out.country = Text(json, "country");
    out.format = Text(*chosen, "format");
    out.mediumTitle = Text(*chosen, "title");
    out.mediumPosition = static_cast<int>(Number(*chosen, "position", 999, 0));
    out.mediumCount = static_cast<int>(std::min<std::size_t>(media->size(), 999));
    out.variousArtists = releaseCredit.variousArtists;
    if (!chosenTracks) return true;
    constexpr std::int64_t kMaxLengthMs = 24LL * 3600 * 1000;
    for (const Json& track : *chosenTracks) {
        if (out.tracks.size() == kMaxMbTracks) break;
        if (!track.is_object()) {
            error = "a track is not an object";
            return false;
        }
        const Json* recording = Member(track, "recording");
        const Json& fallback = recording ? *recording : track;
        MbTrack t;
        t.title = Text(track, "title");
        if (t.title.empty()) t.title = Text(fallback, "title");
        t.artist = ReadCredit(track).text;
        if (t.artist.empty()) t.artist = ReadCredit(fallback).text;
        if (t.artist.empty()) t.artist = out.artist;
        if (t.artist != out.artist) out.variousArtists = true;
        t.lengthMs = static_cast<int>(Number(track, "length", kMaxLengthMs, Number(fallback, "length", kMaxLengthMs, 0)));
        out.tracks.push_back(std::move(t));
    }
    return true;
}

}  // namespace

std::optional<MbReply> ParseMusicBrainzReply(std::string_view json, std::string_view discId, int audioTracks,
                                             std::string& error) {
    error.clear();
    if (NestingDepth(json, kMaxMbJsonDepth) > kMaxMbJsonDepth) {
        error = "the reply is nested more than " + std::to_string(kMaxMbJsonDepth) + " levels deep";
        return std::nullopt;
    }
    const Json root = Json::parse(json.begin(), json.end(), nullptr, false);
    if (root.is_discarded()) {
        error = "the reply is not JSON";
        return std::nullopt;
    }
    if (!root.is_object()) {
        error = "the reply is not a JSON object";
        return std::nullopt;
    }
    if (const std::string message = Text(root, "error"); !message.empty()) {
        error = "the service answered: " + message;
        return std::nullopt;
    }
    bool bad = false;
    const Json* releases = List(root, "releases", bad);
    if (!releases) {
        error = bad ? "\"releases\" is not a list" : "the reply has no \"releases\"";
        return std::nullopt;
    }
    MbReply reply;
    reply.fuzzy = Text(root, "id").empty();
    bool anyRelease = false;
    for (const Json& item : *releases) {
        if (reply.releases.size() == kMaxMbReleases) break;
        anyRelease = true;
        MbRelease release;
        bool found = false;
        if (!ReadRelease(item, discId, audioTracks, release, found, error)) return std::nullopt;
        if (found) reply.releases.push_back(std::move(release));
    }
    if (anyRelease && reply.releases.empty()) {
        error = "no release of the reply has a medium of this disc";
        return std::nullopt;
    }
    return reply;
}

std::string MusicBrainzErrorText(std::string_view json) {
    if (NestingDepth(json, kMaxMbJsonDepth) > kMaxMbJsonDepth) return {};
    const Json root = Json::parse(json.begin(), json.end(), nullptr, false);
    return root.is_discarded() ? std::string() : Text(root, "error");
}

std::string MbChooserText(const MbRelease& release) {
    std::string text = release.artist.empty() ? release.title : release.artist + " / " + release.title;
    std::vector<std::string> details;
    for (const std::string* part : {&release.year, &release.country, &release.format})
        if (!part->empty()) details.push_back(*part);
    if (release.mediumCount > 1)
        details.push_back(std::to_string(release.mediumPosition) + "/" + std::to_string(release.mediumCount));
    for (std::size_t i = 0; i < details.size(); ++i) text += (i == 0 ? " (" : ", ") + details[i];
    if (!details.empty()) text += ")";
    return text;
}

int ApplyMusicBrainzRelease(const MbRelease& release, DISC_INFO& disc, TagBlocks& tags) {
    if (!release.title.empty()) disc.SetAlbum(release.title);
    if (!release.artist.empty()) disc.SetArtist(release.artist);
    if (!release.year.empty()) disc.SetYear(release.year);
    disc.SetCompilation(release.variousArtists);
    const int count = std::clamp<int>(disc.TrackCount(), 0, DISC_INFO::kMaxTracks);
    bool anyAudio = false;
    for (int i = 0; i < count; ++i) anyAudio = anyAudio || disc.TrackCopy(i).AudioFlag();
    int set = 0;
    for (int i = 0; i < count && static_cast<std::size_t>(set) < release.tracks.size(); ++i) {
        if (anyAudio && !disc.TrackCopy(i).AudioFlag()) continue;
        const MbTrack& track = release.tracks[static_cast<std::size_t>(set++)];
        const bool ownArtist = release.variousArtists && !track.artist.empty();
        disc.Track(i).SetTitle(ownArtist ? track.artist + " / " + track.title : track.title);
        FillTrackTag(tags.Block(i), disc, i, track.title, ownArtist ? track.artist : disc.Artist());
    }
    return set;
}

}  // namespace sv
