// sornaval-cli info FILE... [--json] and sornaval-cli decode FILE OUT.wav
// [--seek MS]: sound files as the converter, the player and the burner see
// them, through the same decoders.
#include <iostream>

#include "cdrom/TocReport.h"
#include "decoders/Decoder.h"
#include "formats/WavFile.h"
#include "main/cli/CliCommand.h"

namespace {

std::unique_ptr<sv::TDecoder> OpenDecoder(const std::string& command, const std::string& path, std::ostream& err) {
    auto decoder = sv::CreateDecoderForFile(path);
    if (!decoder) {
        err << command << ": " << path << ": no decoder for this file type (.wav, .mp3, .ogg, .wma, .wmv and .asf are read)\n";
        return nullptr;
    }
    if (!decoder->Open(path)) {
        err << command << ": " << path << ": cannot be opened as " << decoder->Name() << " audio\n";
        return nullptr;
    }
    return decoder;
}

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> files;
    for (const auto& a : args) {
        if (a == "--json") continue;
        if (a.rfind("--", 0) == 0) {
            err << "info: unknown argument \"" << a << "\"\n";
            return 2;
        }
        files.push_back(a);
    }
    if (files.empty()) {
        err << "info: name at least one file\n";
        return 2;
    }
    const bool json = options.Flag("--json");
    int status = 0;
    bool first = true;
    if (json) out << "[";
    for (const auto& file : files) {
        auto decoder = OpenDecoder("info", file, err);
        if (!decoder) {
            status = 1;
            continue;
        }
        const std::uint32_t length = decoder->GetLength();
        if (json) {
            out << (first ? "" : ", ") << "{\"file\": " << sv::JsonString(file)
                << ", \"decoder\": " << sv::JsonString(decoder->Name()) << ", \"rate\": " << decoder->SampleRate()
                << ", \"channels\": " << int(decoder->Channels()) << ", \"bitrate\": " << decoder->Bitrate()
                << ", \"length_ms\": " << length << ", \"total_bytes\": " << decoder->TotalBytes() << "}";
        } else {
            out << file << ": " << decoder->Name() << ", " << decoder->SampleRate() << " Hz, "
                << int(decoder->Channels()) << " ch, " << decoder->Bitrate() << " kbit/s, " << length << " ms, "
                << decoder->TotalBytes() << " bytes\n";
        }
        first = false;
        decoder->Close();
    }
    if (json) out << "]\n";
    return status;
}

int RunDecode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seek") {
            ++i;
            continue;
        }
        if (args[i].rfind("--", 0) == 0) {
            err << "decode: unknown argument \"" << args[i] << "\"\n";
            return 2;
        }
        files.push_back(args[i]);
    }
    std::uint32_t seekMs = 0;
    if (auto seek = options.Value("--seek")) {
        try {
            std::size_t used = 0;
            const unsigned long v = std::stoul(*seek, &used);
            if (used != seek->size() || v > 0xFFFFFFFFul) throw std::out_of_range("seek");
            seekMs = std::uint32_t(v);
        } catch (const std::exception&) {
            err << "decode: --seek wants milliseconds, not \"" << *seek << "\"\n";
            return 2;
        }
    }
    if (files.size() != 2) {
        err << "decode: name one sound file and the WAV file to write\n";
        return 2;
    }
    auto decoder = OpenDecoder("decode", files[0], err);
    if (!decoder) return 1;
    decoder->GetLength();
    if (seekMs) decoder->Seek(seekMs);
    const sv::WAVEFORMATEX format =
        sv::WAVEFORMATEX::Pcm(decoder->SampleRate(), decoder->Channels(), decoder->Bits());
    std::FILE* wav = sv::CreateWav(files[1], format);
    if (!wav) {
        err << "decode: " << files[1] << ": cannot be written\n";
        return 1;
    }
    std::vector<char> buffer(decoder->ReadSize());
    std::uint64_t written = 0;
    bool writeFailed = false;
    while (const std::uint32_t n = decoder->Read(buffer.data(), std::uint32_t(buffer.size()))) {
        if (std::fwrite(buffer.data(), 1, n, wav) != n) {
            writeFailed = true;
            break;
        }
        written += n;
    }
    const bool closed = sv::CloseWav(wav, written, format);
    decoder->Close();
    if (writeFailed || !closed) {
        err << "decode: " << files[1] << ": writing failed\n";
        return 1;
    }
    if (written == 0) {
        err << "decode: " << files[0] << ": no audio could be decoded\n";
        return 1;
    }
    out << files[1] << ": " << written << " bytes, " << decoder->SampleRate() << " Hz, " << int(decoder->Channels())
        << " ch\n";
    return 0;
}

const sv::cli::CommandRegistration kInfo(
    "info", "FILE... [--json]", "show how sound files are read (decoder, format, length)", &RunInfo,
    "  FILE             a .wav, .mp3, .ogg, .wma, .wmv or .asf file (several may be named)\n"
    "  --json           one record per file: file, decoder, rate, channels, bitrate,\n"
    "                   length_ms, total_bytes\n");
const sv::cli::CommandRegistration kDecode(
    "decode", "FILE OUT.wav [--seek MS]", "decode a sound file into a WAV file", &RunDecode,
    "  FILE             a .wav, .mp3, .ogg, .wma, .wmv or .asf file\n"
    "  OUT.wav          the PCM exactly as the decoder gives it, at its rate and channels\n"
    "  --seek MS        start at this position (WAV and Ogg: whole seconds; MP3: by the seek table;\n"
    "                   Windows Media: to the millisecond)\n");

}  // namespace
