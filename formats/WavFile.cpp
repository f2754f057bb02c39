#include "formats/WavFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/Bytes.h"
#include "base/Interaction.h"
#include "formats/Acm.h"

namespace sv {
namespace {

constexpr std::uint32_t kMaxU32 = 0xFFFFFFFFu;

void Append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void AppendText(std::vector<std::uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

std::vector<std::uint8_t> HeaderBytes(const WAVEFORMATEX& format, std::uint32_t riffSize, std::uint32_t dataBytes) {
    const auto extra = format.Extra();
    const std::size_t e = extra.size();
    std::vector<std::uint8_t> h;
    h.reserve(48 + e);
    AppendText(h, "RIFF");
    Append32(h, riffSize);
    AppendText(h, "WAVEfmt ");
    Append32(h, static_cast<std::uint32_t>(e + 20));
    // The record as held: its cbSize field names exactly the extra bytes written.
    h.insert(h.end(), format.Bytes().begin(), format.Bytes().begin() + 16);
    h.push_back(static_cast<std::uint8_t>(e & 0xFF));
    h.push_back(static_cast<std::uint8_t>(e >> 8));
    h.insert(h.end(), extra.begin(), extra.end());
    h.push_back(0);
    h.push_back(0);
    AppendText(h, "data");
    Append32(h, dataBytes);
    return h;
}

bool Seek(std::FILE* f, std::uint64_t pos) { return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0; }

bool ReadExact(std::FILE* f, std::uint8_t* buf, std::size_t n) { return std::fread(buf, 1, n, f) == n; }

void CloseFile(WavSource& s) {
    if (s.file) std::fclose(s.file);
    s.file = nullptr;
}

}  // namespace

WavSource::~WavSource() { CloseFile(*this); }

WAVEFORMATEX WavSource::Format() const { return WAVEFORMATEX::FromBytes(formatBuffer); }

bool WriteWavHeader(std::FILE* file, const WAVEFORMATEX& format) {
    // Both sizes stay 0 until the file is closed.
    const std::vector<std::uint8_t> header = HeaderBytes(format, 0, 0);
    return std::fwrite(header.data(), 1, header.size(), file) == header.size();
}

std::FILE* CreateWav(const std::string& path, const WAVEFORMATEX& format) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return nullptr;
    if (!WriteWavHeader(f, format)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

bool CloseWav(std::FILE* file, std::uint64_t dataBytes, const WAVEFORMATEX& format) {
    if (!file) return false;
    const std::size_t e = format.Extra().size();
    const auto data = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes, kMaxU32));
    const auto riff = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes + e + 40, kMaxU32));
    std::uint8_t b[4];
    bool ok = std::fflush(file) == 0;
    StoreLE32(b, data);
    ok = ok && Seek(file, 44 + e) && std::fwrite(b, 1, 4, file) == 4;
    StoreLE32(b, riff);
    ok = ok && Seek(file, 4) && std::fwrite(b, 1, 4, file) == 4;
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

int OpenWavSource(WavSource& s, const std::string& path, bool acceptAnyPcm) {
    if (path.empty()) return kWavCannotOpen;
    // An open source keeps its file and its name.
    if (s.file) return kWavAlreadyOpen;
    s.sourceName = path;
    s.file = std::fopen(path.c_str(), "rb");
    if (!s.file) return kWavCannotOpen;
    auto fail = [&s](int code) {
        CloseFile(s);
        return code;
    };
    std::uint8_t b[8];
    if (!ReadExact(s.file, b, 8) || std::memcmp(b, "RIFF", 4) != 0) return fail(kWavNotWave);
    if (!ReadExact(s.file, b, 8) || std::memcmp(b, "WAVE", 4) != 0) return fail(kWavNotWave);

    // The fmt chunk (its id is taken to be "fmt "): keep what fits the
    // buffer, skip the rest and the pad byte of an odd length.
    if (!ReadExact(s.file, b, 4)) return fail(kWavNotAccepted);
    const std::uint32_t fmtLength = LoadLE32(b);
    s.formatBuffer.fill(0);
    const std::size_t keep = std::min<std::size_t>(fmtLength, WavSource::kFormatBufferSize);
    if (fmtLength < 16 || !ReadExact(s.file, s.formatBuffer.data(), keep)) return fail(kWavNotAccepted);
    const std::uint64_t skip = std::uint64_t{fmtLength} - keep + (fmtLength & 1u);
    if (skip && fseeko(s.file, static_cast<off_t>(skip), SEEK_CUR) != 0) return fail(kWavNotAccepted);
    if (fmtLength >= 18 && 18u + LoadLE16(s.formatBuffer.data() + 16) > WavSource::kFormatBufferSize)
        return fail(kWavNotAccepted);

    if (!ReadExact(s.file, b, 4)) return fail(kWavNotAccepted);
    if (std::memcmp(b, "fact", 4) == 0) {
        std::uint8_t len[4];
        if (!ReadExact(s.file, len, 4)) return fail(kWavNotAccepted);
        const std::uint64_t factLength = LoadLE32(len);
        if (fseeko(s.file, static_cast<off_t>(factLength + (factLength & 1u)), SEEK_CUR) != 0 ||
            !ReadExact(s.file, b, 4))
            return fail(kWavNotAccepted);
    }
    if (std::memcmp(b, "data", 4) != 0) return fail(kWavNotAccepted);
    if (!ReadExact(s.file, b, 4)) return fail(kWavNotAccepted);
    s.dataLength = LoadLE32(b);
    s.dataOffset = static_cast<std::uint64_t>(ftello(s.file));

    // A truncated file: only what is there can be read.
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(path, ec);
    if (!ec && fileSize >= s.dataOffset)
        s.dataLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(s.dataLength, fileSize - s.dataOffset));

    const WAVEFORMATEX f = s.Format();
    if (f.FormatTag() == kWaveFormatPcm &&
        ((f.Channels() == 2 && f.SamplesPerSec() == 44100 && f.BitsPerSample() == 16) ||
         (acceptAnyPcm && f.SamplesPerSec() >= kMinSoundRate)))
        return kWavAccepted;
    return kWavNotAccepted;
}

std::size_t ReadWav(WavSource& s, void* buffer, std::size_t count) {
    if (!s.file || !buffer) return 0;
    return std::fread(buffer, 1, count, s.file);
}

void CloseWavSource(WavSource& s) {
    CloseFile(s);
    s.dataLength = 0;
    s.convertedLength = 0;
}

bool ConvertWavToCdFormat(WavSource& s, bool sizeOnly, bool allowSuggest, const WavProgressFn& progress,
                          IEventPump* pump) {
    if (s.targetName.empty() || !s.file) return false;
    const WAVEFORMATEX source = s.Format();

    // The CD record of this conversion carries an extra size of 20 (PCM
    // ignores it).
    WAVEFORMATEX target = WAVEFORMATEX::CdFormat();
    target.SetCbSizeField(20);
    HACMSTREAM raw = nullptr;
    if (acmStreamOpen(&raw, source, target, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) {
        if (!allowSuggest) return false;
        WAVEFORMATEX pcm;
        pcm.SetFormatTag(kWaveFormatPcm);
        if (acmFormatSuggest(source, pcm, 20, ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR) return false;
        if (acmStreamOpen(&raw, source, pcm, ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) return false;
        target = pcm;
        s.suggestedFormat.fill(0);
        std::copy_n(pcm.Bytes().begin(), 18, s.suggestedFormat.begin());
    }
    AcmStreamPtr stream(raw);

    std::uint32_t srcBlock = 256000;
    std::uint32_t outBlock = 0;
    acmStreamSize(raw, srcBlock, &outBlock, ACM_STREAMSIZEF_SOURCE);
    if (outBlock < srcBlock) acmStreamSize(raw, outBlock, &srcBlock, ACM_STREAMSIZEF_DESTINATION);
    std::uint32_t converted = 0;
    acmStreamSize(raw, s.dataLength, &converted, ACM_STREAMSIZEF_SOURCE);
    s.convertedLength = converted;
    // One fixed output block at a time, whatever the rate ratio or a damaged
    // record makes of the size estimate: a source block that would give more
    // shrinks to what fills it.
    constexpr std::uint32_t kMaxOutBlock = 4u << 20;
    if (outBlock > kMaxOutBlock) acmStreamSize(raw, kMaxOutBlock, &srcBlock, ACM_STREAMSIZEF_DESTINATION);
    outBlock = std::clamp<std::uint32_t>(std::min(outBlock, converted), target.BlockAlign() * 4096u, kMaxOutBlock);
    srcBlock = std::max<std::uint32_t>(std::min(srcBlock, s.dataLength), 1);
    if (sizeOnly) return true;

    // The file is written with the same header as a ripped track (extra size
    // 0) and its sizes are patched with what was really converted.
    WAVEFORMATEX written = target;
    written.SetExtra({});
    std::FILE* out = CreateWav(s.targetName, written);
    if (!out) return false;
    auto abandon = [&]() {
        std::fclose(out);
        std::error_code ec;
        std::filesystem::remove(s.targetName, ec);
        Seek(s.file, s.dataOffset);
        return false;
    };

    std::vector<std::uint8_t> inBuf(srcBlock), outBuf(outBlock);
    ACMSTREAMHEADER h;
    h.pbSrc = inBuf.data();
    h.pbDst = outBuf.data();
    h.cbDstLength = outBlock;
    if (acmStreamPrepareHeader(raw, &h, 0) != MMSYSERR_NOERROR) return abandon();
    if (!Seek(s.file, s.dataOffset)) return abandon();

    std::uint64_t consumed = 0;
    std::uint64_t produced = 0;
    bool first = true;
    bool ok = true;
    while (consumed < s.dataLength) {
        bool cancel = false;
        if (progress) progress(consumed, s.dataLength, cancel);
        else if (pump) pump->ProcessPendingEvents();
        if (cancel) return abandon();
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(srcBlock, s.dataLength - consumed));
        const std::size_t got = std::fread(inBuf.data(), 1, want, s.file);
        const bool last = consumed + got >= s.dataLength || got < want;
        h.pbSrc = inBuf.data();
        h.cbSrcLength = static_cast<std::uint32_t>(got);
        std::uint32_t flags = ACM_STREAMCONVERTF_BLOCKALIGN;
        if (first) flags |= ACM_STREAMCONVERTF_START;
        if (last) flags |= ACM_STREAMCONVERTF_END;
        first = false;
        if (acmStreamConvert(raw, &h, flags) != MMSYSERR_NOERROR) {
            ok = false;
            break;
        }
        if (std::fwrite(outBuf.data(), 1, h.cbDstLengthUsed, out) != h.cbDstLengthUsed) return abandon();
        produced += h.cbDstLengthUsed;
        consumed += h.cbSrcLengthUsed;
        // What the codec did not take is read again with the next block.
        if (h.cbSrcLengthUsed < got)
            fseeko(s.file, -static_cast<off_t>(got - h.cbSrcLengthUsed), SEEK_CUR);
        if (h.cbSrcLengthUsed == 0 || (last && h.cbSrcLengthUsed == got)) break;
    }
    // Whatever the codec still holds comes out with further end calls.
    for (int rounds = 0; ok && rounds < 1 << 16; ++rounds) {
        h.cbSrcLength = 0;
        if (acmStreamConvert(raw, &h, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_END) != MMSYSERR_NOERROR) {
            ok = false;
            break;
        }
        if (h.cbDstLengthUsed == 0) break;
        if (std::fwrite(outBuf.data(), 1, h.cbDstLengthUsed, out) != h.cbDstLengthUsed) return abandon();
        produced += h.cbDstLengthUsed;
    }
    acmStreamUnprepareHeader(raw, &h, 0);
    stream.reset();
    if (!ok) return abandon();
    if (!CloseWav(out, produced, written)) {
        std::error_code ec;
        std::filesystem::remove(s.targetName, ec);
        Seek(s.file, s.dataOffset);
        return false;
    }
    s.convertedLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(produced, kMaxU32));
    const std::string newName = s.targetName;
    CloseWavSource(s);
    const int code = OpenWavSource(s, newName, allowSuggest);
    return code == kWavAccepted;
}

}  // namespace sv
