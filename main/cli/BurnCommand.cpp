// sornaval-cli burn [--drive N | --image-out FILE.wav [--cue]] [--test] [--speed N]
//                   [--sectors-per-write N] [--no-cdtext] FILE...
// sornaval-cli blank [--minimal] --drive N
// Burns the sound files as the tracks of an audio CD, disc-at-once, on writer
// N of the writer list (real drives and the virtual writers of virtual.lst),
// or writes the same audio into one WAV image (with --cue, a cue file beside
// it); blanks a rewritable disc. Each track is as long as its file's decoded
// audio in whole sectors. A disc gets CD-TEXT with the files' title and
// artist tags (the file name where a file has no title) unless --no-cdtext or
// the burn settings switched CD-TEXT off.
// Ctrl+C stops the burn at the next block; the
// session is closed all the same. Exit status 0 only when the burn (or the
// blanking) completed without a write error, 1 otherwise, 2 for wrong
// arguments.
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "base/Msf.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "decoders/Decoder.h"
#include "main/cli/CliCommand.h"
#include "writer/BurnCdText.h"
#include "writer/BurnCompilation.h"
#include "writer/BurnProject.h"
#include "writer/CDWriter.h"
#include "writer/WriteSettings.h"

namespace {

namespace fs = std::filesystem;

std::atomic<bool> g_cancel{false};

extern "C" void OnBurnInterrupt(int) { g_cancel = true; }

// The cue file of a WAV image: one INDEX 01 line per track at its start.
bool WriteImageCue(const std::string& image, const sv::TCDWriter& writer) {
    std::vector<std::uint32_t> starts;
    for (std::uint32_t t = 0; t < writer.TrackCount; ++t) starts.push_back(writer.TrackStart[t]);
    return sv::WriteImageCueFile(image, starts, static_cast<int>(writer.TrackCount));
}

// Progress on a terminal: the status line and the sector reached.
class BurnProgress final : public sv::IWriteListener {
public:
    BurnProgress(std::ostream& out, std::uint32_t total, bool tty) : out_(out), total_(total), tty_(tty) {}
    std::string SetStatus(const std::string& text) override {
        std::string old = status_;
        status_ = text;
        if (!text.empty() && text != old) out_ << (tty_ ? "\r\033[K" : "") << text << (tty_ ? "" : "\n") << std::flush;
        return old;
    }
    void Progress(std::uint32_t sector, std::uint32_t, int errors, std::uint32_t) override {
        if (tty_ && total_ > 0)
            out_ << "\r\033[K" << status_ << "  " << sector * 100 / total_ << "%"
                 << (errors ? "  write errors: " + std::to_string(errors) : "") << std::flush;
    }

private:
    std::ostream& out_;
    std::uint32_t total_;
    bool tty_;
    std::string status_;
};

bool ParseNumber(const std::optional<std::string>& text, int& value) {
    return !text || sv::ParseDecimal(*text, value);
}

void ListWriters(const sv::TCDWriter& writer, std::ostream& err) {
    if (writer.DriveCount() == 0) err << "  (no drive)\n";
    for (int i = 0; i < writer.DriveCount(); ++i)
        err << "  " << i << ": " << sv::Trim(writer.Drives()[static_cast<std::size_t>(i)].name) << " ("
            << writer.DriveDevice(i) << ")" << (writer.Drives()[static_cast<std::size_t>(i)].CanWriteCdR() ? "" : ", cannot write")
            << "\n";
}

// Selects writer --drive N (default 0); false with a message.
bool ChooseDrive(sv::TCDWriter& writer, const sv::cli::Options& options, const char* command, std::ostream& err) {
    int drive = 0;
    if (!ParseNumber(options.Value("--drive"), drive) || drive < 0 || drive >= writer.DriveCount() ||
        !writer.SelectDrive(drive) || !writer.Drives()[static_cast<std::size_t>(drive)].CanWriteCdR()) {
        err << command << ": no CD writer " << options.Value("--drive").value_or("0") << "; the writers:\n";
        ListWriters(writer, err);
        return false;
    }
    return true;
}

int RunBurn(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    std::vector<std::string> files;
    for (const auto& a : options.Unknown({"--cue", "--test", "--no-cdtext"},
                                         {"--drive", "--image-out", "--speed", "--sectors-per-write"})) {
        if (a.rfind("--", 0) == 0) {
            err << "burn: unknown argument \"" << a << "\"\n";
            return 2;
        }
        files.push_back(a);
    }
    int speed = 255, sectorsPerWrite = 10;
    if (!ParseNumber(options.Value("--speed"), speed) || speed < 1 || speed > 255 ||
        !ParseNumber(options.Value("--sectors-per-write"), sectorsPerWrite) || sectorsPerWrite < 1 ||
        sectorsPerWrite > 999) {
        err << "burn: --speed takes 1 to 255 (255: the fastest), --sectors-per-write 1 to 999\n";
        return 2;
    }
    const auto image = options.Value("--image-out");
    if (files.empty() || (image && options.Value("--drive")) || (options.Flag("--cue") && !image)) {
        err << "burn: name the sound files, and either --drive or --image-out (--cue only with --image-out)\n";
        return 2;
    }
    if (files.size() > sv::TCDWriter::kMaxTracks) {
        err << "burn: at most " << sv::TCDWriter::kMaxTracks << " tracks\n";
        return 2;
    }
    std::vector<std::uint32_t> lengths;
    for (const auto& f : files) {
        // The compilation's own rule: the file's whole decoded length, as the
        // burn window measures it.
        std::uint32_t bytes = 0, rate = 0;
        if (sv::ProbeSoundFile(f, bytes, rate) != sv::AddFileResult::Added || bytes / sv::kSectorBytes == 0) {
            err << "burn: \"" << f << "\" cannot be burned (not a sound file of 11025 Hz or more, or empty)\n";
            return 1;
        }
        lengths.push_back(sv::TrackSectors(bytes));
    }

    sv::TCDWriter writer(std::make_shared<sv::DriveCatalog>(sv::DefaultDriveEnvironment()));
    writer.ImageMode = image.has_value();
    if (!writer.ImageMode && !ChooseDrive(writer, options, "burn", err)) return 1;
    writer.SectorsPerWrite = static_cast<std::uint32_t>(sectorsPerWrite);
    writer.SetTrackLengths(lengths);
    writer.SetSourceFiles(files);
    // CD-TEXT as the burn settings say (on unless switched off there), and
    // never with --no-cdtext.
    const bool cdText = sv::LoadWriteSettings(sv::SettingsFolder()).writeCdText && !options.Flag("--no-cdtext");
    if (!writer.ImageMode && cdText)
        writer.CdTextPacks = sv::EncodeCdTextPacks(sv::BurnCdText(files), 1, static_cast<int>(files.size()));
    const bool test = options.Flag("--test");
    if (writer.ImageMode) {
        writer.ImageFileName = *image;
        if (options.Flag("--cue") && !WriteImageCue(*image, writer)) {
            err << "burn: cannot write the cue file beside \"" << *image << "\"\n";
            return 1;
        }
    } else {
        if (test && !writer.Drives()[static_cast<std::size_t>(writer.CurrentDrive())].CanTestWrite()) {
            err << "burn: this writer cannot test-write\n";
            return 1;
        }
        const sv::DiscState disc = writer.QueryDisc();
        if (!disc.Blank()) {
            err << "burn: " << (disc.ready ? "the disc is not blank" : "no disc in the writer") << "\n";
            return 1;
        }
    }
    BurnProgress progress(out, writer.TrackStart[writer.TrackCount], isatty(STDOUT_FILENO) != 0);
    if (!writer.SetWriteParameters(writer.ImageMode ? sv::TCDWriter::kImageModeFlag : (test ? 1 : 0), &progress)) {
        err << "burn: the writer refused the write parameters\n";
        return 1;
    }
    if (!writer.ImageMode && !writer.SendCueSheet()) {
        err << "burn: the writer refused the track layout (is the disc large enough?)\n";
        return 1;
    }
    g_cancel = false;
    std::signal(SIGINT, OnBurnInterrupt);
    const sv::WriteOutcome outcome = writer.BurnSession(speed, g_cancel);
    std::signal(SIGINT, SIG_DFL);
    out << (isatty(STDOUT_FILENO) ? "\r\033[K" : "");
    switch (outcome) {
    case sv::WriteOutcome::Completed: break;
    case sv::WriteOutcome::Cancelled: err << "burn: cancelled\n"; return 1;
    case sv::WriteOutcome::SourceFailed:
        err << "burn: \"" << files[static_cast<std::size_t>(writer.FailedTrack())] << "\" could not be opened\n";
        return 1;
    case sv::WriteOutcome::ImageFailed: err << "burn: cannot create \"" << *image << "\"\n"; return 1;
    case sv::WriteOutcome::CloseFailed: err << "burn: the writer did not close the session\n"; return 1;
    }
    if (writer.WriteErrors() > 0) {
        err << "burn: " << writer.WriteErrors() << " write errors\n";
        return 1;
    }
    out << (writer.ImageMode ? "written: " + *image : std::string(test ? "test burn" : "burned")) << ", "
        << writer.TrackCount << " tracks, " << sv::FormatMsf(sv::FramesToMsf(static_cast<int>(writer.TrackStart[writer.TrackCount])))
        << "\n";
    return 0;
}

int RunBlank(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const sv::cli::Options options(args);
    const auto unknown = options.Unknown({"--minimal"}, {"--drive"});
    if (!unknown.empty() || !options.Value("--drive")) {
        err << "blank: " << (unknown.empty() ? "--drive N is needed" : "unknown argument \"" + unknown.front() + "\"")
            << "\n";
        return 2;
    }
    sv::TCDWriter writer(std::make_shared<sv::DriveCatalog>(sv::DefaultDriveEnvironment()));
    if (!ChooseDrive(writer, options, "blank", err)) return 1;
    if (!writer.QueryDisc().erasable) {
        err << "blank: no rewritable disc in the writer\n";
        return 1;
    }
    if (!writer.BlankDisc(options.Flag("--minimal")) || !writer.WaitReady()) {
        err << "blank: the writer could not blank the disc\n";
        return 1;
    }
    out << "blank\n";
    return 0;
}

const sv::cli::CommandRegistration kBurn(
    "burn",
    "[--drive N | --image-out FILE.wav [--cue]] [--test] [--speed N] [--sectors-per-write N] [--no-cdtext] FILE...",
    "burn sound files as an audio CD, or write them into one WAV image", &RunBurn,
    "  --drive N               writer N (default 0; a wrong number lists the writers)\n"
    "  --image-out FILE.wav    write a WAV image instead of a disc\n"
    "  --cue                   and a cue file beside it\n"
    "  --test                  a test (simulated) burn: nothing is written on the disc\n"
    "  --speed N               write speed factor (255, the default: the fastest)\n"
    "  --sectors-per-write N   sectors a write command carries (default 10, at least 5)\n"
    "  --no-cdtext             no CD-TEXT (by default a disc carries the files' titles and artists)\n");

const sv::cli::CommandRegistration kBlank("blank", "[--minimal] --drive N", "erase a rewritable disc", &RunBlank,
                                          "  --drive N    writer N\n"
                                          "  --minimal    a quick blank (the table of contents only)\n");

}  // namespace
