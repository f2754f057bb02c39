// Steps that the per-track rip and the whole-disc rip share: the output a
// range of sectors goes into (the encoder while reading, or a WAV file), the
// block loop that reads a range into it with the cancel question, and the
// start of a grab.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "cdrom/AudioReader.h"
#include "encoders/Encoders.h"
#include "grab/RipSession.h"
#include "grab/TrackChecksums.h"

namespace sv {

// Removes `path` when it exists; an empty path or a missing file is no error.
void RemoveRipFile(const std::string& path);

// The message for an output that could not be created (`create`) or written:
// it names the file and the reason and says that the grab stopped.
std::string OutputFailureMessage(bool create, const std::string& path, const std::string& reason);

// The reason given when the encoder refuses to open without a system error.
std::string EncoderRefusedReason();

// Where the CD audio of a rip goes: the encoders (`encode`, with the settings'
// OutputFormat) or a CD-format WAV file. A failed step leaves the output
// closed and says why in Reason().
class RipOutput {
public:
    RipOutput(TEncoders& encoders, bool encode) : encoders_(encoders), encode_(encode) {}
    RipOutput(const RipOutput&) = delete;
    RipOutput& operator=(const RipOutput&) = delete;
    ~RipOutput() { Abandon(); }

    // Opens the encoder on `path` with the tag record `tag` (may be null), or
    // creates the WAV file `path`.
    bool Open(const std::string& path, const std::uint8_t* tag);
    bool Write(const std::uint8_t* data, std::size_t bytes);
    // Closes the encoder, or patches the WAV header for `dataBytes` and
    // closes the file.
    bool Finish(std::uint64_t dataBytes);
    // Closes without caring for the result (after a cancel or a failure).
    void Abandon();

    bool Encoding() const { return encode_; }
    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }
    const std::string& Reason() const { return reason_; }

private:
    bool Fail(int error);

    TEncoders& encoders_;
    bool encode_;
    bool open_ = false;
    std::FILE* wav_ = nullptr;
    std::string path_;
    std::string reason_;
};

enum class RangeEnd { Done, Cancelled, Failed };

// Reads [range.start, range.end) block by block into `output`. Before each
// block the pending events are processed; when the state is no longer
// kStateGrabbing the user is asked R17: Yes ends the loop with Cancelled
// (the output still open), No returns to grabbing and reads the same block.
// `peak`, when given, follows the largest sample magnitude. `showPercent` is
// called whenever the percentage after a block differs from the last one.
// Failed: a write failed; the output is closed and says why. `audio`, when
// given, takes every block's audio as it is written (for its checksums).
RangeEnd ReadRange(RipContext& context, AudioReader& reader, const RipRange& range, RipOutput& output,
                   std::int16_t* peak, const std::function<void(int percent)>& showPercent,
                   const std::function<void(const std::uint8_t* pcm, std::size_t bytes)>& audio = {});

// A reader for a grab of `context`: the settings' extraction method and the
// read offset correction of the drive, reading up to the disc's lead-out.
AudioReader MakeRipReader(RipContext& context);

// The start of every grab: playback stopped, state kStateGrabbing, the disc
// commands disabled and the timer off.
void BeginGrab(RipContext& context);

// The disc commands enabled again and the timer on.
void ResumeCommands(RipContext& context);

}  // namespace sv
