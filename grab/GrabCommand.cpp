#include "grab/GrabCommand.h"

#include <sys/statvfs.h>

#include <filesystem>

#include "base/Language.h"

namespace sv {

GrabOutput GrabOutputFor(GrabSender sender, const TProgramSettings& s) {
    switch (sender) {
        case GrabSender::Mp3Menu: return {kFormatMp3, true};
        case GrabSender::Mp3Button: return {s.Mp3AsOgg() ? kFormatOgg : kFormatMp3, true};
        case GrabSender::WavButton: return {kFormatWav, false};
        case GrabSender::WmaButton: return {kFormatWma, true};
        case GrabSender::OggMenu: return {kFormatOgg, true};
        case GrabSender::FlacMenu: return {kFormatFlac, true};
        case GrabSender::ExternalMenu:
            switch (s.ExtEncoder()) {
                case 0: return {kFormatApe, true};
                case 1: return {kFormatAac, true};
                default: return {kFormatAcm, true};
            }
    }
    return {kFormatMp3, true};
}

std::uint64_t GrabSpaceNeeded(DISC_INFO& disc) {
    const int count = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks - 1);
    if (count <= 0) return 0;
    int first = -1;
    for (int i = 0; i < count; ++i) {
        if (disc.Track(i).AudioFlag()) {
            first = i;
            break;
        }
    }
    if (first < 0) return 0;
    const std::int64_t sectors =
        static_cast<std::int64_t>(disc.Track(count - 1).StartLba()) - disc.Track(first).StartLba();
    return sectors > 0 ? static_cast<std::uint64_t>(sectors) * kSectorBytes : 0;
}

std::optional<std::uint64_t> FreeSpaceAt(const std::string& folder) {
    std::filesystem::path p(folder);
    std::error_code ec;
    while (!p.empty() && !std::filesystem::exists(p, ec)) {
        const auto parent = p.parent_path();
        if (parent == p) break;
        p = parent;
    }
    if (p.empty()) p = ".";
    struct statvfs st {};
    if (statvfs(p.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

GrabResult RunGrabCommand(GrabSender sender, RipContext& c, const GrabHooks& hooks) {
    GrabResult result;
    TProgramSettings& s = c.settings;
    const GrabOutput want = GrabOutputFor(sender, s);

    // The codec's availability, as the encoders would see it with this format.
    c.encoders.SetSettings(&s);
    const EncoderAvailability available = c.encoders.Availability(want.format);
    if (!available.available) {
        result.refusal = available.message;
        c.dialogs.ShowMessage(available.message, MessageIcon::Warning);
        return result;
    }

    const std::uint64_t needed = GrabSpaceNeeded(c.disc);
    const auto free = hooks.freeSpace ? hooks.freeSpace(s.OutputDir()) : FreeSpaceAt(s.OutputDir());
    if (free && *free < needed) {
        if (!c.dialogs.AskYesNo(LangMessage(1), MessageIcon::Question)) {
            result.refusal = LangMessage(1);
            return result;
        }
    }

    if (c.hooks.timer) c.hooks.timer(false);
    c.cdrom.SetSpeed(s.ReadSpeed());
    const bool lock = s.LockTray();
    if (lock) c.cdrom.LockTray(true);

    const std::uint8_t savedFormat = s.OutputFormat();
    const bool savedEncode = s.EncodeFlag();
    s.SetEncodeFlag(want.encode);
    s.SetOutputFormat(want.format);

    c.encoders.SetSettings(&s);
    result.rip = RunRipSession(c);
    result.ran = true;

    s.SetOutputFormat(savedFormat);
    s.SetEncodeFlag(savedEncode);
    if (lock) c.cdrom.LockTray(false);
    if (s.EjectAfterCopy()) {
        if (hooks.eject) hooks.eject();
        else c.cdrom.EjectLoad(true);
    }
    return result;
}

}  // namespace sv
