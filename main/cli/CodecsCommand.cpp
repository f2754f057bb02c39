// sornaval-cli codecs [--json]: the codec layer's codecs and the formats each
// can make from CD audio, with the indexes that 'rip --format acm
// --acm-codec N --acm-format M' and the settings (AcmCodecIndex,
// AcmFormatIndex, Mp3AcmCodecIndex, Mp3AcmFormatIndex) take.
#include <iostream>

#include "cdrom/TocReport.h"
#include "encoders/AcmEncoders.h"
#include "main/cli/CliCommand.h"

namespace {

int RunCodecs(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    const auto unknown = options.Unknown({"--json"}, {});
    if (!unknown.empty()) {
        err << "codecs: unknown argument \"" << unknown.front() << "\"\n";
        return 2;
    }
    const sv::TACMDrivers drivers;
    const sv::TWinMP3Encoder mp3(drivers);
    // The MP3 codecs' own numbering (Mp3AcmCodecIndex) beside the codec's.
    auto mp3Index = [&](int codec) {
        int n = 0;
        for (int i = 0; i < codec; ++i)
            if (!drivers.Drivers()[static_cast<std::size_t>(i)].formats.empty() &&
                drivers.Drivers()[static_cast<std::size_t>(i)].formats.front().formatTag ==
                    sv::TWinMP3Encoder::kMpegLayer3Tag)
                ++n;
        const auto& f = drivers.Drivers()[static_cast<std::size_t>(codec)].formats;
        const bool isMp3 = !f.empty() && f.front().formatTag == sv::TWinMP3Encoder::kMpegLayer3Tag;
        return isMp3 && n < mp3.CodecCount() ? n : -1;
    };
    const bool json = options.Flag("--json");
    if (json) out << "[";
    for (int c = 0; c < drivers.Count(); ++c) {
        const auto& d = drivers.Drivers()[static_cast<std::size_t>(c)];
        const int m = mp3Index(c);
        if (json) {
            out << (c ? ",\n " : "") << "{\"index\": " << c << ", \"name\": " << sv::JsonString(d.longName)
                << ", \"codec\": " << sv::JsonString(d.shortName) << ", \"format_tag\": " << d.formatTag;
            if (m >= 0) out << ", \"mp3_index\": " << m;
            out << ", \"formats\": [";
            for (std::size_t i = 0; i < d.formats.size(); ++i) {
                const auto& f = d.formats[i].format;
                out << (i ? ", " : "") << "{\"index\": " << i << ", \"description\": "
                    << sv::JsonString(d.formats[i].description) << ", \"rate\": " << f.SamplesPerSec()
                    << ", \"channels\": " << f.Channels() << ", \"bits\": " << f.BitsPerSample()
                    << ", \"bytes_per_second\": " << f.AvgBytesPerSec() << "}";
            }
            out << "]}";
        } else {
            out << c << ": " << d.longName << " (" << d.shortName << ", format tag " << d.formatTag << ")";
            if (m >= 0) out << ", MP3 codec " << m;
            out << "\n";
            for (std::size_t i = 0; i < d.formats.size(); ++i)
                out << "    " << i << ": " << d.formats[i].description << "\n";
        }
    }
    if (json) out << "]\n";
    return 0;
}

const sv::cli::CommandRegistration kRegistration(
    "codecs", "[--json]", "the codec layer's codecs and formats, with the indexes that rip --format acm takes",
    &RunCodecs,
    "  --json           one JSON array: index, name, codec, format_tag, mp3_index (MP3 codecs),\n"
    "                   formats (index, description, rate, channels, bits, bytes_per_second)\n\n"
    "The codec index goes to 'rip --format acm --acm-codec N' (or the settings' codec of\n"
    "the external-encoder tab), the format index to '--acm-format M'. An MP3 codec's\n"
    "mp3_index is what the settings' MP3 tab uses when LAME is not chosen.\n");

}  // namespace
