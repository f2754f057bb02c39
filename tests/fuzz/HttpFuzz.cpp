// HTTP replies as they arrive: the bytes come in pieces (sizes taken from the
// input's first byte), each piece is checked for the end of the reply as the
// socket reader does, and the collected reply is split into body and lines.
#include <algorithm>
#include <string>

#include "FuzzSupport.h"
#include "metadata/HttpSocket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] % 64 + 1;
    const std::string_view bytes = svfuzz::AsText(data + 1, size - 1);
    for (const auto kind : {sv::ReplyKind::Marker, sv::ReplyKind::SingleLine}) {
        std::size_t received = 0;
        std::size_t kept = bytes.size();
        bool complete = false;
        while (received < bytes.size() && !complete) {
            const std::size_t before = received;
            received = std::min(bytes.size(), received + piece);
            if (const auto length = sv::CompleteReplyLength(bytes.substr(0, received), before, sv::kCddbEndMarker, kind)) {
                if (*length > received) __builtin_trap();
                kept = *length;
                complete = true;
            }
        }
        if (!complete) sv::ClosedReplyComplete(bytes, kind);
        const std::string_view reply = bytes.substr(0, kept);
        const auto body = sv::ReplyBody(reply);
        sv::ReplyStatus(reply);
        sv::BodyStatus(body);
        if (body) sv::SplitReplyLines(*body);
    }
    return 0;
}
