#include "metadata/MusicBrainzId.h"

#include <cstdio>

#include "metadata/HttpSocket.h"
#include "metadata/Sha1.h"

namespace sv {

std::optional<MbToc> MusicBrainzToc(const DiscToc& toc) {
    const int count = static_cast<int>(toc.trackStarts.size());
    int lastAudio = count - 1;
    while (lastAudio >= 0 && toc.IsData(static_cast<std::size_t>(lastAudio))) --lastAudio;
    if (lastAudio < 0 || toc.firstTrack < 1 || toc.firstTrack + lastAudio > 99) return std::nullopt;
    MbToc out;
    out.firstTrack = toc.firstTrack;
    out.lastTrack = toc.firstTrack + lastAudio;
    out.offsets.assign(toc.trackStarts.begin(), toc.trackStarts.begin() + lastAudio + 1);
    out.leadOut = lastAudio + 1 < count ? toc.trackStarts[static_cast<std::size_t>(lastAudio) + 1] - kSessionGapFrames
                                        : toc.leadOut;
    return out;
}

std::string MusicBrainzBase64(std::string_view bytes) {
    std::string text = Base64Encode(bytes);
    for (char& c : text) {
        if (c == '+') c = '.';
        else if (c == '/') c = '_';
        else if (c == '=') c = '-';
    }
    return text;
}

std::string MusicBrainzDiscId(const MbToc& toc) {
    char buf[16];
    std::string text;
    text.reserve(4 + 100 * 8);
    std::snprintf(buf, sizeof buf, "%02X%02X", static_cast<unsigned>(toc.firstTrack) & 0xFFu,
                  static_cast<unsigned>(toc.lastTrack) & 0xFFu);
    text += buf;
    for (int track = 0; track < 100; ++track) {
        const int index = track - toc.firstTrack;
        const int frames = track == 0 ? toc.leadOut
                           : index >= 0 && index < static_cast<int>(toc.offsets.size())
                               ? toc.offsets[static_cast<std::size_t>(index)]
                               : 0;
        std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(frames));
        text += buf;
    }
    const Sha1Digest digest = Sha1(text);
    return MusicBrainzBase64(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

std::string MusicBrainzDiscId(const DiscToc& toc) {
    const auto mb = MusicBrainzToc(toc);
    return mb ? MusicBrainzDiscId(*mb) : std::string();
}

std::string MusicBrainzTocText(const MbToc& toc) {
    std::string text = std::to_string(toc.firstTrack) + "+" + std::to_string(toc.lastTrack) + "+" +
                       std::to_string(toc.leadOut);
    for (int offset : toc.offsets) text += "+" + std::to_string(offset);
    return text;
}

}  // namespace sv
