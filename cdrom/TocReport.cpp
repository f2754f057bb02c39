#include "cdrom/TocReport.h"

#include <array>
#include <cstdio>

#include "cdrom/Toc.h"

namespace sv {

namespace {

int LengthSectors(const TRACK_INFO& t) { return MsfToFrames(t.LengthMsf()); }

std::string TransportName(const TCDROM& cdrom, int index) {
    if (cdrom.VirtualDriveAt(index)) return "virtual";
    return cdrom.Transport() == kTransportSpti ? "SPTI" : "ASPI";
}

}  // namespace

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {
std::string JsonStrings(const std::vector<std::string>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) out += (i ? ", " : "") + JsonString(list[i]);
    return out + "]";
}
}  // namespace

std::string TocJson(const DISC_INFO& disc, const std::optional<CdText>& text) {
    std::string out = "{\n  \"tracks\": [";
    const int count = disc.TrackCount();
    for (int i = 0; i < count; ++i) {
        const TRACK_INFO t = disc.TrackCopy(i);
        out += i ? ",\n    " : "\n    ";
        out += "{\"number\": " + std::to_string(disc.TrackNumber(i)) + ", \"start_lba\": " + std::to_string(t.StartLba()) +
               ", \"start_msf\": " + JsonString(FormatMsf(t.StartMsf())) +
               ", \"length_sectors\": " + std::to_string(LengthSectors(t)) +
               ", \"size_bytes\": " + std::to_string(t.SizeBytes()) +
               ", \"audio\": " + (t.AudioFlag() ? "true" : "false") + "}";
    }
    out += count ? "\n  ],\n" : "],\n";
    out += "  \"leadout_lba\": " + std::to_string(disc.TrackCopy(count).StartLba()) + ",\n";
    out += "  \"total_time\": " + JsonString(TotalTime(disc));
    if (text)
        out += ",\n  \"cdtext\": {\"album\": " + JsonString(text->album) + ", \"performer\": " + JsonString(text->performer) +
               ",\n    \"titles\": " + JsonStrings(text->titles) + ",\n    \"performers\": " + JsonStrings(text->performers) + "}";
    return out + "\n}\n";
}

std::string TocText(const DISC_INFO& disc, const std::optional<CdText>& text) {
    std::string out = "track  start LBA  start     length    size (bytes)  kind\n";
    const int count = disc.TrackCount();
    for (int i = 0; i < count; ++i) {
        const TRACK_INFO t = disc.TrackCopy(i);
        char line[128];
        std::snprintf(line, sizeof line, "%5d  %9d  %s  %s  %12u  %s\n", disc.TrackNumber(i), t.StartLba(),
                      FormatMsf(t.StartMsf()).c_str(), FormatMsf(t.LengthMsf()).c_str(), t.SizeBytes(),
                      t.AudioFlag() ? "audio" : "data");
        out += line;
    }
    out += "tracks: " + std::to_string(count) + ", lead-out LBA " + std::to_string(disc.TrackCopy(count).StartLba()) +
           ", total time " + TotalTime(disc) + "\n";
    if (!text) return out;
    out += "CD-TEXT: album \"" + text->album + "\", performer \"" + text->performer + "\"\n";
    for (std::size_t i = 0; i < text->titles.size(); ++i) {
        const std::string& performer = i < text->performers.size() ? text->performers[i] : std::string();
        out += std::to_string(disc.TrackNumber(static_cast<int>(i))) + "  \"" + text->titles[i] + "\"" +
               (performer.empty() ? "" : "  by \"" + performer + "\"") + "\n";
    }
    return out;
}

std::vector<bool> DrivesThatWrite(TCDROM& cdrom) {
    std::vector<bool> out;
    for (int i = 0; i < cdrom.DriveCount(); ++i) {
        std::array<std::uint8_t, kCapabilitiesBytes> caps{};
        // Byte 3 of the capabilities page, bit 0: writes CD-R.
        out.push_back(cdrom.SelectDrive(i, 0) && cdrom.Capabilities(caps) && (caps[11] & 1) != 0);
    }
    if (cdrom.DriveCount() > 0) cdrom.SelectDrive(0, 0);
    return out;
}

std::string DrivesJson(const TCDROM& cdrom, const std::vector<bool>& writers) {
    std::string out = "{\n  \"drives\": [";
    for (int i = 0; i < cdrom.DriveCount(); ++i) {
        const bool isVirtual = cdrom.VirtualDriveAt(i) != nullptr;
        out += i ? ",\n    " : "\n    ";
        out += "{\"index\": " + std::to_string(i) + ", \"name\": " +
               JsonString(cdrom.DriveTitle(i)) +
               ", \"transport\": " + JsonString(TransportName(cdrom, i)) + ", " +
               (isVirtual ? "\"image\": " : "\"device\": ") + JsonString(cdrom.DriveDevice(i));
        if (static_cast<std::size_t>(i) < writers.size()) out += std::string(", \"writer\": ") + (writers[static_cast<std::size_t>(i)] ? "true" : "false");
        out += "}";
    }
    out += cdrom.DriveCount() ? "\n  ]\n}\n" : "]\n}\n";
    return out;
}

std::string DrivesText(const TCDROM& cdrom, const std::vector<bool>& writers) {
    std::string out;
    for (int i = 0; i < cdrom.DriveCount(); ++i) {
        const bool writes = static_cast<std::size_t>(i) < writers.size() && writers[static_cast<std::size_t>(i)];
        out += std::to_string(i) + "  " + cdrom.DriveTitle(i) + "  " + TransportName(cdrom, i) + "  " +
               cdrom.DriveDevice(i) + (writes ? "  (writes CDs)" : "") + "\n";
    }
    return out;
}

}  // namespace sv
