// TAPEEncoder: Monkey's Audio (.ape, version 3.99) files from 16-bit PCM, with
// the program's own format core (encoders/ApeFormat.h).
//
// Settings: ApeLevel 0..3 is Fast (1000), Normal (2000), High (3000), Extra
// High (4000); 4 is Insane (5000); indexes outside 0..4 are held to it.
// ApeMono turns a stereo input into a mono file (each block mixed with
// MixToMono before it is added); a mono input stays mono. The stored sample
// rate is the input's.
//
// Streaming: Open writes a header and a seek table with room for as many
// frames as 2^31 bytes of stored audio need (the length is not known yet;
// decoders accept a larger table, unused entries stay zero), or for the
// length announced by SetMaxInputBytes (EncodeFile announces the source's).
// EncodeChunk collects one frame of PCM and writes it out when full; Close
// writes the last frame, the APEv2 tag, then the header, the seek table and
// the MD5 over the reserved room. Memory is one frame of PCM and its work
// arrays (about 2 MB at 1000-3000, 8 MB at 4000, 32 MB at 5000), whatever
// the length of the track.
//
// Level 5000 is written only when every frame is read alike by the known
// decoders (see ApeFormat.h on integer widths): the PCM also goes to an
// unlinked temporary file beside the output, and when a frame meets an
// integer-width difference (stage-2 sums or NN rounding) the file is started
// again at 4000 from that copy. Levels 2000-4000 keep a frame whose NN
// rounding a wrapping decoder would read differently (FFmpeg reads it
// exactly); VariantChecks() tells.
//
// A track with no samples cannot be stored (the format needs one frame):
// Close removes the file and fails with a message. A failed write makes Close
// fail and removes the partial file.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "encoders/ApeFormat.h"
#include "encoders/EncoderCommon.h"
#include "formats/WaveFormat.h"

struct AVMD5;

namespace sv {

class TAPEEncoder {
public:
    // Shown (warning) when the encoder cannot be set up: no output file, or an
    // input it does not take.
    static constexpr const char* kInitFailedMessage = "Can't initialize APE Encoder.";
    static constexpr const char* kEmptyTrackMessage =
        "The track is too short to be stored as APE: it holds no audio.";

    TAPEEncoder();
    ~TAPEEncoder();
    TAPEEncoder(const TAPEEncoder&) = delete;
    TAPEEncoder& operator=(const TAPEEncoder&) = delete;

    void SetInputFormat(const WAVEFORMATEX& format) { input_ = format; }
    void SetOpener(OutputFileOpener opener) { opener_ = std::move(opener); }
    void SetDialogs(IUserDialogs* dialogs) { dialogs_ = dialogs; }
    void SetProgress(EncoderProgressFn fn) { progress_ = std::move(fn); }
    void SetNormalize(bool on, double gain) {
        normalize_ = on;
        gain_ = gain;
    }
    // The most input bytes the next Open will be given, when known (a WAV
    // file's data): the seek table then has room for just that many frames.
    // More input than that fails. Open takes it and clears it; 0 is unknown.
    void SetMaxInputBytes(std::uint64_t bytes) { maxInputBytes_ = bytes; }

    // Creates `path` (through the opener) and writes the provisional header.
    // False, with kInitFailedMessage shown and nothing left on disk, when the
    // input is not 16-bit PCM of one or two channels or the file cannot be
    // made or written.
    bool Open(const std::uint8_t* tagRecord, const std::string& path, const TProgramSettings& settings);
    bool IsOpen() const { return file_ != nullptr; }
    // Whole sample frames of the input format in any amounts (a split frame
    // is joined with the next chunk). False once a write failed.
    bool EncodeChunk(const std::uint8_t* pcm, std::size_t bytes);
    // Finishes the file; false (and no file) when nothing was encoded or a
    // write failed. Resets the input format to CD audio.
    bool Close();

    // The 16-bit WAV file `source` into `path`, normalised when set.
    EncodeResult EncodeFile(const std::string& source, const std::string& path, const std::uint8_t* tagRecord,
                            const TProgramSettings& settings);

    // Why the last Open or Close failed (English), empty when they did not.
    const std::string& LastMessage() const { return message_; }
    // errno of the last failed create or write, 0 when none.
    int LastError() const { return error_; }
    // The level of the file being (or last) written: the setting's, or 4000
    // after a fallback from 5000.
    int Level() const { return level_; }
    // Channels stored in the file.
    int Channels() const { return channels_; }
    // What the integer-width checks met in the frames of the file as written.
    const ape::ApeVariantChecks& VariantChecks() const { return checks_; }
    // True when the last file was started again at 4000 instead of 5000 (or
    // begun at 4000 for want of a temporary file), and what the 5000 frame
    // that caused it met.
    bool FellBack() const { return fellBack_; }
    const ape::ApeVariantChecks& FallbackCause() const { return fallbackCause_; }

    // The APEv2 items of a tag record (Artist, Album, Title, Comment, Genre,
    // Year, Track; UTF-8; empty fields left out); none when the record is
    // null or not marked present.
    static std::vector<std::pair<std::string, std::string>> TagItems(const std::uint8_t* tagRecord);

private:
    bool StartFile();
    void AddPcm(const std::uint8_t* pcm, std::size_t bytes);
    void FlushFrame();
    void WriteFrame(const std::vector<std::uint8_t>& stream, std::uint32_t blocks);
    void FallBackTo4000();
    bool Write(const std::uint8_t* data, std::size_t n, bool hash);
    void Fail(int error, std::string message);
    void ShowInitFailure();
    void DropSpill();
    void Release();

    OutputFileOpener opener_ = &OpenOutputFile;
    IUserDialogs* dialogs_ = nullptr;
    EncoderProgressFn progress_;
    bool normalize_ = false;
    double gain_ = 1.0;
    WAVEFORMATEX input_ = WAVEFORMATEX::CdFormat();
    std::uint64_t maxInputBytes_ = 0;
    std::uint64_t maxStoredBytes_ = 0;

    std::FILE* file_ = nullptr;
    std::FILE* spill_ = nullptr;  // level 5000: the PCM of the frames written
    std::string path_;
    std::string message_;
    int error_ = 0;
    bool failed_ = false;
    bool monoMix_ = false;
    bool fellBack_ = false;
    int inputChannels_ = 2;
    int channels_ = 2;
    std::uint32_t sampleRate_ = 44100;
    int level_ = ape::kLevelNormal;
    std::uint32_t blocksPerFrame_ = 0;
    std::uint32_t maxFrames_ = 0;
    std::unique_ptr<ape::ApeFrameEncoder> frameEncoder_;
    std::vector<std::pair<std::string, std::string>> tagItems_;

    std::vector<std::uint8_t> frame_;   // PCM of the frame being collected (stored format)
    std::vector<std::uint8_t> carry_;   // the start of a sample frame split between chunks
    std::vector<std::uint8_t> mix_;     // mono mix-down scratch
    std::vector<std::uint8_t> stream_;  // one frame's stream bytes
    std::vector<std::uint8_t> area_;    // their swapped words
    ape::ApeWordSwapper swapper_;
    std::vector<std::uint32_t> seekTable_;
    std::uint64_t blocks_ = 0;
    std::uint32_t lastFrameBlocks_ = 0;
    ape::ApeVariantChecks checks_;
    ape::ApeVariantChecks fallbackCause_;
    AVMD5* md5_ = nullptr;
};

}  // namespace sv
