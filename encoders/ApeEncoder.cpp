#include "encoders/ApeEncoder.h"

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "base/Bytes.h"
#include "base/TagRecord.h"
#include "base/Text.h"

namespace sv {

namespace {

// The most stored audio a file may hold: seek entries are 32-bit file
// offsets, so the file must stay well below 4 GiB even when noise does not
// compress.
constexpr std::uint64_t kMaxStoredBytes = std::uint64_t(1) << 31;

// Frames that `storedBytes` of stored audio need (the room the seek table
// gets), at least one.
std::uint32_t MaxFrames(std::uint64_t storedBytes, std::uint32_t blocksPerFrame, int channels) {
    const std::uint64_t frameBytes = std::uint64_t(blocksPerFrame) * 2u * std::uint64_t(channels);
    return std::uint32_t(std::max<std::uint64_t>(1, (storedBytes + frameBytes - 1) / frameBytes));
}

// An unlinked temporary file in the folder of `path`, for reading and
// writing; null when it cannot be made.
std::FILE* MakeSpillFile(const std::string& path) {
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    if (dir.empty()) dir = ".";
    std::string name = (dir / ".sornaval-ape-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return nullptr;
    ::unlink(name.c_str());
    std::FILE* f = ::fdopen(fd, "w+b");
    if (!f) ::close(fd);
    return f;
}

}  // namespace

TAPEEncoder::TAPEEncoder() = default;

TAPEEncoder::~TAPEEncoder() {
    if (file_) Close();
    Release();
}

std::vector<std::pair<std::string, std::string>> TAPEEncoder::TagItems(const std::uint8_t* tagRecord) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!tagRecord) return out;
    const TagRecordRef tag(const_cast<std::uint8_t*>(tagRecord));
    if (!tag.Present()) return out;
    const std::pair<const char*, std::string> fields[] = {
        {"Artist", tag.Artist()}, {"Album", tag.Album()}, {"Title", tag.Title()},      {"Comment", tag.Comment()},
        {"Genre", tag.Genre()},   {"Year", tag.Year()},   {"Track", tag.TrackNumber()}};
    for (const auto& [key, text] : fields)
        if (!text.empty()) out.emplace_back(key, ToUtf8Lenient(text));
    return out;
}

void TAPEEncoder::ShowInitFailure() {
    message_ = kInitFailedMessage;
    if (dialogs_) dialogs_->ShowMessage(message_, MessageIcon::Warning);
}

void TAPEEncoder::Fail(int error, std::string message) {
    if (failed_) return;
    failed_ = true;
    error_ = error;
    message_ = std::move(message);
}

bool TAPEEncoder::Write(const std::uint8_t* data, std::size_t n, bool hash) {
    if (failed_ || !file_) return false;
    if (n == 0) return true;
    errno = 0;
    if (std::fwrite(data, 1, n, file_) != n) {
        const int e = errno ? errno : EIO;
        Fail(e, "The APE file could not be written: " + ErrorText(e) + ".");
        return false;
    }
    if (hash) av_md5_update(md5_, data, n);
    return true;
}

bool TAPEEncoder::Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings) {
    if (file_) return false;
    const std::uint64_t announced = maxInputBytes_;
    maxInputBytes_ = 0;
    Release();
    message_.clear();
    error_ = 0;
    failed_ = false;
    fellBack_ = false;
    fallbackCause_ = {};
    const int channels = input_.Channels();
    if (!input_.IsPcmLike() || input_.FormatTag() == kWaveFormatIeeeFloat || input_.BitsPerSample() != 16 ||
        channels < 1 || channels > 2 || input_.SamplesPerSec() == 0) {
        ShowInitFailure();
        input_ = WAVEFORMATEX::CdFormat();
        return false;
    }
    inputChannels_ = channels;
    monoMix_ = settings.ApeMono() && channels == 2;
    channels_ = monoMix_ ? 1 : channels;
    sampleRate_ = input_.SamplesPerSec();
    level_ = ape::LevelFromSettingIndex(settings.ApeLevel());
    maxStoredBytes_ = kMaxStoredBytes;
    if (announced != 0) maxStoredBytes_ = std::min(kMaxStoredBytes, monoMix_ ? announced / 2 : announced);
    tagItems_ = TagItems(tagRecord);
    path_ = path;

    errno = 0;
    file_ = opener_(path);
    if (!file_) {
        error_ = errno ? errno : EIO;
        ShowInitFailure();
        input_ = WAVEFORMATEX::CdFormat();
        return false;
    }
    if (level_ == ape::kLevelInsane) {
        spill_ = MakeSpillFile(path);
        if (!spill_) {
            // Without the copy there is no way back from 5000: write 4000.
            level_ = ape::kLevelExtraHigh;
            fellBack_ = true;
        }
    }
    md5_ = av_md5_alloc();
    if (!md5_ || !StartFile()) {
        const int e = error_ ? error_ : ENOMEM;
        std::fclose(file_);
        file_ = nullptr;
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        Release();
        error_ = e;
        ShowInitFailure();
        input_ = WAVEFORMATEX::CdFormat();
        return false;
    }
    return true;
}

bool TAPEEncoder::StartFile() {
    blocksPerFrame_ = ape::BlocksPerFrame(level_);
    maxFrames_ = MaxFrames(maxStoredBytes_, blocksPerFrame_, channels_);
    if (!frameEncoder_ || frameEncoder_->Level() != level_)
        frameEncoder_ = std::make_unique<ape::ApeFrameEncoder>(level_);
    av_md5_init(md5_);
    checks_ = {};
    swapper_ = {};
    seekTable_.clear();
    blocks_ = 0;
    lastFrameBlocks_ = 0;
    frame_.clear();
    frame_.reserve(std::size_t(blocksPerFrame_) * 2u * std::size_t(channels_));
    // Placeholders: the header and the seek table are written again at Close.
    const std::vector<std::uint8_t> zeros(ape::kFixedBytes + std::size_t(maxFrames_) * 4, 0);
    return Write(zeros.data(), zeros.size(), false);
}

bool TAPEEncoder::EncodeChunk(const std::uint8_t* pcm, std::size_t bytes) {
    if (!file_ || failed_) return false;
    const std::size_t align = 2u * std::size_t(inputChannels_);
    auto add = [this](const std::uint8_t* p, std::size_t n) {
        if (!monoMix_) {
            AddPcm(p, n);
            return;
        }
        constexpr std::size_t kPiece = 1u << 16;
        for (std::size_t off = 0; off < n && !failed_; off += kPiece) {
            const std::size_t take = std::min(kPiece, n - off);
            mix_.assign(p + off, p + off + take);
            AddPcm(mix_.data(), MixToMono(mix_.data(), take));
        }
    };
    if (!carry_.empty()) {
        const std::size_t take = std::min(align - carry_.size(), bytes);
        carry_.insert(carry_.end(), pcm, pcm + take);
        pcm += take;
        bytes -= take;
        if (carry_.size() == align) {
            const std::vector<std::uint8_t> joined = std::move(carry_);
            carry_.clear();
            add(joined.data(), joined.size());
        }
    }
    const std::size_t whole = bytes - bytes % align;
    if (whole) add(pcm, whole);
    carry_.insert(carry_.end(), pcm + whole, pcm + bytes);
    return !failed_;
}

void TAPEEncoder::AddPcm(const std::uint8_t* pcm, std::size_t bytes) {
    while (bytes > 0 && !failed_) {
        // Recomputed every time: a fallback changes the frame size.
        const std::size_t frameBytes = std::size_t(blocksPerFrame_) * 2u * std::size_t(channels_);
        const std::size_t take = std::min(bytes, frameBytes - frame_.size());
        frame_.insert(frame_.end(), pcm, pcm + take);
        pcm += take;
        bytes -= take;
        if (frame_.size() == frameBytes) FlushFrame();
    }
}

void TAPEEncoder::FlushFrame() {
    const std::uint32_t blocks = std::uint32_t(frame_.size() / (2u * std::size_t(channels_)));
    if (blocks == 0 || failed_) {
        frame_.clear();
        return;
    }
    stream_.clear();
    const ape::ApeVariantChecks checks = frameEncoder_->Encode(frame_.data(), blocks, channels_, stream_);
    if (level_ == ape::kLevelInsane && (checks.stage2 || checks.nnRounding)) {
        fallbackCause_ = checks;
        FallBackTo4000();
        return;
    }
    checks_.Merge(checks);
    if (spill_ && std::fwrite(frame_.data(), 1, frame_.size(), spill_) != frame_.size()) {
        const int e = errno ? errno : EIO;
        Fail(e, "The APE file could not be written: " + ErrorText(e) + ".");
        return;
    }
    WriteFrame(stream_, blocks);
    frame_.clear();
}

void TAPEEncoder::WriteFrame(const std::vector<std::uint8_t>& stream, std::uint32_t blocks) {
    if (seekTable_.size() >= maxFrames_) {
        Fail(EFBIG, maxStoredBytes_ < kMaxStoredBytes
                        ? "The APE encoder was given more audio than announced."
                        : "The track is too long to be stored as APE: it holds more than 2 GiB of audio.");
        return;
    }
    const std::uint64_t start = ape::kFixedBytes + std::uint64_t(maxFrames_) * 4 + swapper_.StreamBytes();
    seekTable_.push_back(std::uint32_t(start));
    area_.clear();
    swapper_.Add(stream.data(), stream.size(), area_);
    Write(area_.data(), area_.size(), true);
    blocks_ += blocks;
    lastFrameBlocks_ = blocks;
}

void TAPEEncoder::FallBackTo4000() {
    // The frame that tripped is still in frame_; the frames before it are in
    // the spill file. Start the output again at 4000 and feed both through.
    std::vector<std::uint8_t> current = std::move(frame_);
    frame_.clear();
    std::fclose(file_);
    errno = 0;
    file_ = opener_(path_);
    if (!file_) {
        const int e = errno ? errno : EIO;
        Fail(e, "The APE file could not be written: " + ErrorText(e) + ".");
        DropSpill();
        return;
    }
    level_ = ape::kLevelExtraHigh;
    fellBack_ = true;
    if (!StartFile()) {
        DropSpill();
        return;
    }
    std::FILE* spill = spill_;
    spill_ = nullptr;  // frames are no longer copied
    if (std::fflush(spill) != 0 || std::fseek(spill, 0, SEEK_SET) != 0) {
        const int e = errno ? errno : EIO;
        Fail(e, "The APE file could not be written: " + ErrorText(e) + ".");
    }
    std::vector<std::uint8_t> chunk(1u << 20);
    while (!failed_) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), spill);
        if (got == 0) {
            if (std::ferror(spill)) Fail(EIO, "The APE file could not be written: " + ErrorText(EIO) + ".");
            break;
        }
        AddPcm(chunk.data(), got);
    }
    std::fclose(spill);
    if (!failed_) AddPcm(current.data(), current.size());
}

void TAPEEncoder::DropSpill() {
    if (spill_) std::fclose(spill_);
    spill_ = nullptr;
}

void TAPEEncoder::Release() {
    DropSpill();
    if (md5_) av_free(md5_);
    md5_ = nullptr;
    frameEncoder_.reset();
    frame_ = {};
    carry_ = {};
    mix_ = {};
    stream_ = {};
    area_ = {};
    seekTable_ = {};
    tagItems_.clear();
}

bool TAPEEncoder::Close() {
    if (!file_) {
        Release();
        return false;
    }
    // A split sample frame at the very end is dropped.
    while (!failed_ && !frame_.empty()) FlushFrame();
    if (!failed_ && blocks_ == 0) Fail(0, kEmptyTrackMessage);
    if (!failed_) {
        area_.clear();
        swapper_.Finish(area_);
        Write(area_.data(), area_.size(), true);
    }
    if (!failed_) {
        const auto tag = ape::BuildApeTag(tagItems_);
        Write(tag.data(), tag.size(), false);
    }
    if (!failed_) {
        ape::ApeHeaderFields fields;
        fields.level = level_;
        fields.channels = channels_;
        fields.sampleRate = sampleRate_;
        fields.blocksPerFrame = blocksPerFrame_;
        fields.finalFrameBlocks = lastFrameBlocks_;
        fields.totalFrames = std::uint32_t(seekTable_.size());
        fields.seekTableBytes = maxFrames_ * 4;
        fields.frameDataBytes = swapper_.AreaBytes();
        std::vector<std::uint8_t> seek(std::size_t(maxFrames_) * 4, 0);
        for (std::size_t i = 0; i < seekTable_.size(); ++i) StoreLE<std::uint32_t>(seek.data() + 4 * i, seekTable_[i]);
        auto header = ape::BuildApeHeader(fields);
        av_md5_update(md5_, header.data() + ape::kDescriptorBytes, ape::kHeaderBytes);
        av_md5_update(md5_, seek.data(), seek.size());
        av_md5_final(md5_, fields.md5.data());
        header = ape::BuildApeHeader(fields);
        if (std::fseek(file_, 0, SEEK_SET) != 0) {
            const int e = errno ? errno : EIO;
            Fail(e, "The APE file could not be written: " + ErrorText(e) + ".");
        }
        Write(header.data(), header.size(), false);
        Write(seek.data(), seek.size(), false);
    }
    errno = 0;
    if (std::fclose(file_) != 0 && !failed_) {
        const int e = errno ? errno : EIO;
        Fail(e, "The APE file could not be written: " + ErrorText(e) + ".");
    }
    file_ = nullptr;
    if (failed_) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    Release();
    input_ = WAVEFORMATEX::CdFormat();
    return !failed_;
}

EncodeResult TAPEEncoder::EncodeFile(const std::string& source, const std::string& path,
                                     const std::uint8_t* tagRecord, const TProgramSettings& settings) {
    WavSource wav;
    if (!OpenEncoderSource(wav, source)) return EncodeResult::SourceUnavailable;
    const WAVEFORMATEX format = wav.Format();
    input_ = format;
    // All that the pump can read: the rest of the file from the data on.
    std::error_code ec;
    const auto size = std::filesystem::file_size(source, ec);
    maxInputBytes_ = !ec && size > wav.dataOffset ? size - wav.dataOffset : 0;
    if (!Open(tagRecord, path, settings)) {
        CloseWavSource(wav);
        return EncodeResult::Failed;
    }
    return PumpWavIntoEncoder(
        wav, 4096 * std::size_t(format.BlockAlign()), path, progress_, normalize_, gain_,
        [this](const std::uint8_t* p, std::size_t n) { return EncodeChunk(p, n); }, [this] { return Close(); });
}

}  // namespace sv
