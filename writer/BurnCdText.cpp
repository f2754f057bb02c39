#include "writer/BurnCdText.h"

#include <filesystem>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include "base/Text.h"
#include "formats/FfmpegCodec.h"

namespace sv {

namespace {

// The tag `key` of the container, else of its first stream (Ogg keeps its
// comments there); empty when neither has it.
std::string TagOf(const AVFormatContext& input, const char* key) {
    const AVDictionaryEntry* e = av_dict_get(input.metadata, key, nullptr, 0);
    if (!e && input.nb_streams > 0) e = av_dict_get(input.streams[0]->metadata, key, nullptr, 0);
    return e && e->value ? Trim(ToUtf8Lenient(e->value)) : std::string();
}

}  // namespace

TrackTitle ReadTrackTitle(const std::string& path) {
    TrackTitle t;
    ffcodec::QuietLibraryLog();
    AVFormatContext* input = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // "file:" keeps a colon in the name from being read as a protocol.
    if (avformat_open_input(&input, ("file:" + path).c_str(), nullptr, &options) == 0) {
        t.title = TagOf(*input, "title");
        t.performer = TagOf(*input, "artist");
        t.album = TagOf(*input, "album");
        t.albumArtist = TagOf(*input, "album_artist");
        if (t.albumArtist.empty()) t.albumArtist = TagOf(*input, "albumartist");
        avformat_close_input(&input);
    }
    av_dict_free(&options);
    if (t.title.empty()) t.title = std::filesystem::path(path).stem().string();
    return t;
}

CdText BurnCdText(const std::vector<std::string>& files, const std::string& album, const std::string& performer) {
    CdText text;
    std::vector<TrackTitle> tracks;
    for (const std::string& f : files) tracks.push_back(ReadTrackTitle(f));
    // The value every track has, or empty when one differs or has none.
    const auto shared = [&tracks](std::string TrackTitle::*field) {
        if (tracks.empty()) return std::string();
        for (const TrackTitle& t : tracks)
            if (t.*field != tracks.front().*field) return std::string();
        return tracks.front().*field;
    };
    text.album = album.empty() ? shared(&TrackTitle::album) : album;
    text.performer = performer;
    if (text.performer.empty()) text.performer = shared(&TrackTitle::albumArtist);
    if (text.performer.empty()) text.performer = shared(&TrackTitle::performer);
    for (TrackTitle& t : tracks) {
        text.titles.push_back(std::move(t.title));
        text.performers.push_back(std::move(t.performer));
    }
    return text;
}

}  // namespace sv
