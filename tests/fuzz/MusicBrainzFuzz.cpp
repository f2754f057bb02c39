// Replies of the MusicBrainz web service as the disc lookup reads them, once
// for the six-track example disc of the documentation and once for the
// identifier the reply itself names; every release is put in the chooser and
// applied to a disc record with tag blocks. The same bytes, as a READ TOC
// reply, give a MusicBrainz table of contents and identifier.
#include <string>

#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "base/Text.h"
#include "metadata/MusicBrainzId.h"
#include "metadata/MusicBrainzReply.h"

namespace {

void CheckText(const std::string& text) {
    if (text.size() > sv::kMaxMbTextBytes || !sv::IsValidUtf8(text)) __builtin_trap();
}

void ReadReply(std::string_view json, const std::string& discId, int audioTracks) {
    std::string error;
    const auto reply = sv::ParseMusicBrainzReply(json, discId, audioTracks, error);
    if (reply.has_value() == !error.empty()) __builtin_trap();
    if (!reply) return;
    if (reply->releases.size() > sv::kMaxMbReleases) __builtin_trap();
    for (const sv::MbRelease& r : reply->releases) {
        for (const std::string* s : {&r.id, &r.title, &r.artist, &r.date, &r.year, &r.country, &r.format, &r.mediumTitle})
            CheckText(*s);
        if (r.tracks.size() > sv::kMaxMbTracks) __builtin_trap();
        for (const sv::MbTrack& t : r.tracks) {
            CheckText(t.title);
            CheckText(t.artist);
            if (t.lengthMs < 0) __builtin_trap();
        }
        sv::MbChooserText(r);
        sv::DISC_INFO disc;
        disc.SetTrackCount(static_cast<std::uint8_t>(audioTracks));
        sv::TagBlocks tags;
        if (sv::ApplyMusicBrainzRelease(r, disc, tags) > audioTracks) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = svfuzz::AsText(data, size);
    ReadReply(bytes, "49HHV7Eb8UKF3aQiNmu1GR8vKTY-", 6);
    const auto root = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (root.is_object())
        if (const auto id = root.find("id"); id != root.end() && id->is_string())
            ReadReply(bytes, id->get<std::string>(), static_cast<int>(size % 100));
    sv::MusicBrainzErrorText(bytes);

    if (const auto toc = sv::ParseRawToc(std::span<const std::uint8_t>(data, size))) {
        if (const auto mb = sv::MusicBrainzToc(*toc)) {
            if (sv::MusicBrainzDiscId(*mb).size() != 28) __builtin_trap();
            sv::MusicBrainzTocText(*mb);
        }
    }
    return 0;
}
