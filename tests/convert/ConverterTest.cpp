// TConverter on files made at test time by lame, oggenc, ffmpeg and sox: every
// direction's output decoded by ffmpeg to the source's length, the tags each
// direction carries, the rows' statuses and the batch caption; the re-encode's
// naming and refusal, the Windows Media rules, unchecked rows, cancel, failures
// that lose nothing, the encoder settings given back after a batch, and the
// command line's exit statuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "base/BuiltinMessages.h"
#include "convert/ConvertRules.h"
#include "convert/Converter.h"
#include "encoders/AudioCheck.h"
#include "encoders/Encoders.h"
#include "support/Messages.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string R(int n) { return std::string(sv::kRussianMessages[static_cast<std::size_t>(n)]); }

void Run(const std::vector<std::string>& args) {
    std::string out, err;
    ASSERT_EQ(svtest::RunProgram(args, out, &err), 0) << args[0] << ": " << err;
}

// The source files, made once for the whole program.
const fs::path& Sources() {
    static svtest::TempDir dir;
    static bool made = false;
    if (made) return dir.Path();
    made = true;
    const std::string d = dir.Slash();
    // Two tones (one per channel), 2.5 s; and 30 s for the long runs.
    Run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", d + "tone.wav", "synth", "2.5", "sine", "440", "sine",
         "660"});
    Run({"sox", "-n", "-r", "48000", "-c", "2", "-b", "16", d + "tone48.wav", "synth", "2.5", "sine", "440", "sine",
         "660"});
    Run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", d + "long.wav", "synth", "30", "sine", "440", "sine",
         "660"});
    Run({"lame", "--quiet", "-b", "192", "--tt", "Kite", "--ta", "Band", "--add-id3v2", d + "tone.wav",
         d + "cbr.mp3"});
    Run({"lame", "--quiet", "-b", "128", "--tt", "Song", d + "tone.wav", d + "cbr128.mp3"});
    Run({"lame", "--quiet", "-V", "2", "-b", "160", d + "tone.wav", d + "vbr.mp3"});
    Run({"lame", "--quiet", "-b", "128", d + "long.wav", d + "long.mp3"});
    Run({"lame", "--quiet", "-V", "4", d + "long.wav", d + "longvbr.mp3"});
    Run({"oggenc", "-Q", d + "tone.wav", "-o", d + "tone.ogg"});
    // MP3 data in a WAV file (format tag 0x55).
    Run({"ffmpeg", "-v", "error", "-i", d + "tone.wav", "-c:a", "libmp3lame", "-b:a", "128k", "-bitexact", "-f", "wav",
         d + "mp3in.wav"});
    for (const char* rate : {"32000", "44100", "48000"})
        Run({"ffmpeg", "-v", "error", "-i", d + "tone.wav", "-ar", rate, "-c:a", "wmav2", "-b:a", "128k",
             d + "t" + std::string(rate).substr(0, 2) + ".wma"});
    for (const auto& [name, codec] : {std::pair{"mp3.avi", "libmp3lame"}, std::pair{"pcm.avi", "pcm_s16le"}})
        Run({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=10:duration=2.5", "-i",
             d + "tone.wav", "-c:v", "mpeg4", "-c:a", codec, d + name});
    // A VBR file cut to a quarter: its header still promises 30 s.
    const std::string whole = svtest::ReadFileBytes(d + "longvbr.mp3");
    svtest::WriteFileBytes(d + "cut.mp3", whole.substr(0, whole.size() / 4));
    svtest::WriteFileBytes(d + "noise.mp3", std::string(5000, '\x5a'));
    return dir.Path();
}

std::string Bytes(const fs::path& p) { return svtest::ReadFileBytes(p); }

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Probe(const fs::path& file, const std::string& entries) {
    std::string out;
    svtest::RunProgram({"ffprobe", "-v", "error", "-show_entries", entries, "-of", "default=nw=1:nk=1", file.string()},
                       out);
    return out;
}

struct RecordingView : sv::IConvertView {
    void RowStatusChanged(int row, const std::string& status) override {
        if (static_cast<std::size_t>(row) >= statuses.size()) statuses.resize(static_cast<std::size_t>(row) + 1);
        statuses[static_cast<std::size_t>(row)].push_back(status);
    }
    void CaptionChanged(const std::string& caption) override { captions.push_back(caption); }
    void RunningChanged(bool running) override { runs.push_back(running); }
    std::vector<std::vector<std::string>> statuses;
    std::vector<std::string> captions;
    std::vector<bool> runs;
};

class Converter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        svtest::UseRussianMessages();
        Sources();
    }
    void SetUp() override {
        settings.ApplyDefaults("/tmp/sv/", "/tmp/music/");
        encoders.SetSettings(&settings);
        Make();
    }
    void Make() {
        converter.reset();
        view = RecordingView{};
        converter = std::make_unique<sv::TConverter>(settings, encoders, dialogs, pump, view,
                                                     (work.Path() / "temp").string() + "/");
    }
    // `name` from the sources into the work folder (under `as` when given).
    fs::path Copy(const std::string& name, const std::string& as = {}) {
        const fs::path to = work.Path() / "in" / (as.empty() ? name : as);
        fs::create_directories(to.parent_path());
        fs::copy_file(Sources() / name, to, fs::copy_options::overwrite_existing);
        return to;
    }
    fs::path Out() const { return work.Path() / "out"; }

    svtest::TempDir work;
    sv::TProgramSettings settings;
    svtest::ScriptedDialogs dialogs;
    svtest::ScriptedEventPump pump;
    sv::TEncoders encoders{&dialogs};
    RecordingView view;
    std::unique_ptr<sv::TConverter> converter;
};

TEST(ConverterRules, CompletionProgressAndOutputNames) {
    // 44100 Hz stereo 16-bit may stop up to 44100 x 2 x 2 x 16 = 2822400 bytes short.
    const std::uint64_t expected = 10'000'000;
    EXPECT_TRUE(sv::DecodedCompletely(expected, expected, 44100, 2, 16));
    EXPECT_TRUE(sv::DecodedCompletely(expected + 5, expected, 44100, 2, 16));
    EXPECT_TRUE(sv::DecodedCompletely(expected - 2822399, expected, 44100, 2, 16));
    EXPECT_FALSE(sv::DecodedCompletely(expected - 2822400, expected, 44100, 2, 16));
    // 22050 Hz mono: 705600 bytes.
    EXPECT_TRUE(sv::DecodedCompletely(1'000'000 - 705599, 1'000'000, 22050, 1, 16));
    EXPECT_FALSE(sv::DecodedCompletely(1'000'000 - 705600, 1'000'000, 22050, 1, 16));
    EXPECT_FALSE(sv::DecodedCompletely(0, 4'000'000, 44100, 2, 16));

    const std::pair<std::pair<std::uint64_t, std::uint64_t>, int> percents[] = {
        {{0, 1000}, 0}, {{1, 3}, 33}, {{2, 3}, 67}, {{1, 200}, 1}, {{199, 200}, 100}, {{7, 0}, 100}, {{9, 4}, 100}};
    for (const auto& [in, want] : percents) EXPECT_EQ(sv::ProgressPercent(in.first, in.second), want) << in.first;
    EXPECT_EQ(sv::ProgressStatus("decoding WAV ", 42, "завершено"), "decoding WAV 42% завершено");

    EXPECT_EQ(sv::ConvertOutputFolder("/music/a/", "/out", false), "/out/");
    EXPECT_EQ(sv::ConvertOutputFolder("/music/a/", "/out/", true), "/music/a/");
    EXPECT_EQ(sv::ConvertOutputFolder("/music/a/", "", false), "/music/a/");
    EXPECT_EQ(sv::ConvertOutputPath("/o/", "song.mp3", ".wav"), "/o/song.wav");
    EXPECT_EQ(sv::ConvertOutputPath("/o/", "my.song.ogg", ".wav"), "/o/my.song.wav");
    EXPECT_EQ(sv::ConvertOutputPath("/o/", "song.mp3", ""), "/o/song.mp3");
    EXPECT_EQ(sv::ConvertOutputPath("/o/", "../x.mp3", ".wav"), std::nullopt);
    EXPECT_EQ(sv::ConvertOutputPath("/o/", "..", ""), std::nullopt);
    EXPECT_EQ(sv::ReencodeOutputPath("/d/song.mp3", "/d/song.mp3"), "/d/song(2).mp3");
    EXPECT_EQ(sv::ReencodeOutputPath("/d/song.MP3", "/d/./song.MP3"), "/d/song(2).mp3");
    EXPECT_EQ(sv::ReencodeOutputPath("/d/song.mp3", "/e/song.mp3"), "/e/song.mp3");
}

struct DirectionCase {
    int direction;
    const char* source;
    const char* output;    // in the output folder
    int toleranceFrames;   // the length may differ by the codec's frames
    double minCorrelation; // with ffmpeg's decoding of the source (0: not compared)
};

TEST_F(Converter, EveryDirectionConvertsAGeneratedFile) {
    const DirectionCase cases[] = {
        {0, "cbr.mp3", "cbr.wav", 0, 0.999},     {0, "vbr.mp3", "vbr.wav", 0, 0.999},
        {1, "cbr.mp3", "cbr.mp3", 1152, 0},      {1, "vbr.mp3", "vbr.mp3", 1152, 0},
        {2, "t44.wma", "t44.wav", 2048, 0.999},  {3, "t48.wma", "t48.mp3", 2048 + 1152, 0},
        {4, "mp3.avi", "mp3.mp3", 0, 0.9999},    {4, "pcm.avi", "pcm.wav", 0, 0.9999},
        {5, "tone.ogg", "tone.wav", 0, 0.999},   {6, "tone.wav", "tone.mp3", 1152, 0},
        {7, "tone.wav", "tone.wma", 2 * 2048, 0},  // a delay frame and the padded last    {8, "tone.wav", "tone.ogg", 0, 0},
        {8, "tone48.wav", "tone48.ogg", 64, 0},
    };
    const std::regex progress("(decoding WAV )?[0-9]+% завершено");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " in direction " + std::to_string(c.direction));
        fs::remove_all(work.Path() / "in");
        fs::remove_all(Out());
        Make();
        const fs::path source = Copy(c.source);
        const std::string before = Bytes(source);
        converter->outputFolder = Out().string();
        converter->bitrateIndex = 2;  // 128 kbit/s
        ASSERT_TRUE(converter->SetDirection(c.direction));
        ASSERT_TRUE(converter->AddFile(source.string()));
        if (c.direction == 6) {
            auto tag = converter->TagForEditing(-1);
            ASSERT_TRUE(tag);
            EXPECT_EQ(tag->Title(), "tone.wav");
            tag->SetTitle("Kite Song");
            tag->SetArtist("The Band");
        }
        const sv::ConvertBatchResult r = converter->Start();
        EXPECT_EQ(r.requested, 1);
        EXPECT_EQ(r.converted, 1);
        EXPECT_EQ(Listing(Out()), std::vector<std::string>{c.output});
        const sv::ConvertRow& row = converter->Rows()[0];
        EXPECT_EQ(row.status, R(66));
        EXPECT_FALSE(row.checked);
        EXPECT_EQ(row.output, (Out() / c.output).string());
        EXPECT_EQ(Bytes(source), before) << "the source is never changed";
        EXPECT_EQ(view.captions.front(), R(65) + " - [" + c.source + "] - 1/1");
        EXPECT_EQ(view.captions.back(), R(65));
        EXPECT_EQ(view.runs, (std::vector<bool>{true, false}));
        // Progress texts: each percentage once, then the outcome.
        ASSERT_EQ(view.statuses.size(), 1u);
        const auto& seen = view.statuses[0];
        ASSERT_GE(seen.size(), 2u);
        for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
            EXPECT_TRUE(std::regex_match(seen[i], progress)) << seen[i];
            if (i) {
                EXPECT_NE(seen[i], seen[i - 1]);
            }
        }
        if (std::string(c.source) == "tone48.wav") {
            EXPECT_EQ(seen.front(), "decoding WAV 0% завершено");
        }

        const svtest::Decoded in = svtest::DecodeWithFfmpeg(source);
        const svtest::Decoded out = svtest::DecodeWithFfmpeg(Out() / c.output);
        ASSERT_TRUE(in.ok && out.ok);
        EXPECT_EQ(out.channels, in.channels);
        // Lengths in source frames (a 48 kHz WAV becomes 44.1 kHz on its way).
        const double inFrames = double(in.samples.size()) / in.channels;
        const double outFrames = double(out.samples.size()) / out.channels * in.sampleRate / out.sampleRate;
        EXPECT_LE(std::abs(inFrames - outFrames), c.toleranceFrames + 1) << inFrames << " vs " << outFrames;
        if (c.minCorrelation > 0) {
            EXPECT_GE(svtest::Correlation(in.samples, out.samples), c.minCorrelation);
        }

        if (c.direction == 1) {
            EXPECT_EQ(Probe(Out() / c.output, "stream=bit_rate"), "128000\n");
            // Both tags of the source come along: ID3v2 in front, ID3v1 at the end.
            const bool tagged = std::string(c.source) == "cbr.mp3";
            ASSERT_EQ(before.compare(before.size() - 128, 3, "TAG") == 0, tagged);
            if (tagged) {
                const std::string written = Bytes(Out() / c.output);
                EXPECT_EQ(written.substr(written.size() - 128), before.substr(before.size() - 128));
                EXPECT_EQ(Probe(Out() / c.output, "format_tags=title,artist"), "Kite\nBand\n");
            }
        }
        if (c.direction == 6) {
            EXPECT_EQ(Probe(Out() / c.output, "format_tags=title,artist"), "Kite Song\nThe Band\n");
        }
    }
    EXPECT_TRUE(dialogs.Done());
    EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST_F(Converter, Mp3DataIsNeverEncodedTwiceNorOverwritten) {
    const fs::path song = Copy("cbr128.mp3", "song.mp3");
    const std::string before = Bytes(song);
    converter->keepSourceLocation = true;
    converter->SetDirection(1);
    converter->AddFile(song.string());

    converter->bitrateIndex = 2;  // 128 -> 128
    EXPECT_EQ(converter->Start().converted, 0);
    EXPECT_EQ(converter->Rows()[0].status, R(64));
    EXPECT_EQ(Listing(song.parent_path()), std::vector<std::string>{"song.mp3"});

    converter->CheckAll(true);
    converter->bitrateIndex = 4;  // 96
    EXPECT_EQ(converter->Start().converted, 1);
    EXPECT_EQ(converter->Rows()[0].status, R(66));
    EXPECT_EQ(Listing(song.parent_path()), (std::vector<std::string>{"song(2).mp3", "song.mp3"}));
    EXPECT_EQ(Bytes(song), before);
    EXPECT_EQ(Probe(song.parent_path() / "song(2).mp3", "stream=bit_rate"), "96000\n");

    // MP3 data in a WAV file going to MP3 is copied as it is, never over an
    // existing file.
    const fs::path wav = Copy("mp3in.wav");
    converter->SetDirection(6);
    converter->AddFile(wav.string());
    EXPECT_EQ(converter->Start().converted, 1);
    EXPECT_EQ(converter->Rows()[0].status, R(0));
    EXPECT_EQ(Bytes(wav.parent_path() / "mp3in.mp3"), Bytes(wav));
    svtest::WriteFileBytes(wav.parent_path() / "mp3in.mp3", "mine");
    converter->CheckAll(true);
    EXPECT_EQ(converter->Start().converted, 0);
    EXPECT_EQ(converter->Rows()[0].status, R(62));
    EXPECT_EQ(Bytes(wav.parent_path() / "mp3in.mp3"), "mine");
}

TEST_F(Converter, WindowsMediaTakesEveryRowAndMp3NeedsAtLeast44100Hz) {
    converter->outputFolder = Out().string();
    converter->SetDirection(3);
    converter->AddFile(Copy("t32.wma").string());
    converter->AddFile(Copy("t48.wma").string());
    converter->CheckAll(false);
    const auto r = converter->Start();
    EXPECT_EQ(r.requested, 2);
    EXPECT_EQ(r.converted, 1);
    EXPECT_EQ(converter->Rows()[0].status, "Input file must have samplerate = 44100Hz");
    EXPECT_EQ(converter->Rows()[1].status, R(66));
    EXPECT_EQ(Listing(Out()), std::vector<std::string>{"t48.mp3"});
    EXPECT_EQ(Probe(Out() / "t48.mp3", "stream=sample_rate"), "48000\n");

    // Any other direction converts only the checked rows. A folder search
    // skips folders whose names begin with '.' and Ogg files.
    fs::remove_all(Out());
    converter->SetDirection(0);
    Copy("cbr.mp3", "sub/cbr.mp3");
    Copy("vbr.mp3", "sub/deeper/vbr.mp3");
    Copy("cbr.mp3", ".hidden/cbr.mp3");
    Copy("tone.ogg");
    EXPECT_EQ(converter->AddFolder((work.Path() / "in").string()), 2);
    ASSERT_EQ(converter->Rows().size(), 2u);
    converter->SetDirection(5);
    EXPECT_TRUE(converter->Rows().empty());
    converter->SetDirection(0);
    EXPECT_EQ(converter->Rows()[0].caption, "cbr.mp3");
    converter->ToggleChecked(0);
    const auto r0 = converter->Start();
    EXPECT_EQ(r0.requested, 1);
    EXPECT_EQ(converter->Rows()[0].status, R(59));
    EXPECT_TRUE(converter->Rows()[0].output.empty());
    EXPECT_EQ(converter->Rows()[1].status, R(66));
    EXPECT_EQ(Listing(Out()), std::vector<std::string>{"vbr.wav"});
}

TEST_F(Converter, CancelLeavesNoPartialOutputAndTheSourceUntouched) {
    const std::pair<int, const char*> cases[] = {{0, "long.mp3"}, {1, "long.mp3"}, {6, "long.wav"}, {8, "long.wav"}};
    for (const auto& [direction, name] : cases) {
        SCOPED_TRACE(std::to_string(direction));
        fs::remove_all(work.Path() / "in");
        fs::remove_all(Out());
        pump = svtest::ScriptedEventPump{};
        Make();
        const fs::path source = Copy(name);
        const fs::path other = Copy(name, std::string("second") + fs::path(name).extension().string());
        const std::string before = Bytes(source);
        converter->outputFolder = Out().string();
        converter->bitrateIndex = 7;
        converter->SetDirection(direction);
        converter->AddFile(source.string());
        converter->AddFile(other.string());
        // "No" lets the file go on; "Yes" stops the batch.
        dialogs.ExpectYesNo(R(68), false).ExpectYesNo(R(68), true);
        pump.At(3, [&] { converter->CancelCommand(); });
        pump.At(8, [&] { converter->CancelCommand(); });
        const auto r = converter->Start();
        EXPECT_TRUE(dialogs.Done());
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(r.converted, 0);
        EXPECT_EQ(converter->Rows()[0].status, R(18));
        EXPECT_EQ(converter->Rows()[1].status, R(59));
        EXPECT_TRUE(converter->Rows()[1].checked);
        EXPECT_TRUE(Listing(Out()).empty());
        EXPECT_EQ(Bytes(source), before);
        EXPECT_TRUE(Listing(work.Path() / "temp").empty());
    }
}

TEST_F(Converter, FailuresAreShownInTheRowAndLoseNothing) {
    converter->outputFolder = Out().string();
    converter->SetDirection(0);
    for (const char* name : {"noise.mp3", "cut.mp3", "cbr.mp3"}) converter->AddFile(Copy(name).string());
    // An older output of the unreadable file's name survives its failure.
    fs::create_directories(Out());
    svtest::WriteFileBytes(Out() / "noise.wav", "older");
    const auto r = converter->Start();
    EXPECT_EQ(r.requested, 3);
    EXPECT_EQ(r.converted, 1);
    EXPECT_EQ(converter->Rows()[0].status, R(61));
    EXPECT_EQ(converter->Rows()[1].status, R(63));
    EXPECT_EQ(converter->Rows()[2].status, R(66));
    EXPECT_EQ(Listing(Out()), (std::vector<std::string>{"cbr.wav", "noise.wav"}));
    EXPECT_EQ(Bytes(Out() / "noise.wav"), "older");

    // A folder that cannot be made: every row says so, the sources stay even
    // with delete-sources on; once the folder is fine the sources go.
    svtest::WriteFileBytes(work.Path() / "file", "x");
    const fs::path tone = Copy("tone.wav");
    converter->SetDirection(8);
    converter->AddFile(tone.string());
    converter->deleteSources = true;
    converter->outputFolder = (work.Path() / "file" / "sub").string();
    EXPECT_EQ(converter->Start().converted, 0);
    EXPECT_EQ(converter->Rows()[0].status, R(62));
    EXPECT_TRUE(fs::exists(tone));
    converter->CheckAll(true);
    converter->outputFolder = Out().string();
    EXPECT_EQ(converter->Start().converted, 1);
    EXPECT_TRUE(fs::exists(Out() / "tone.ogg"));
    EXPECT_FALSE(fs::exists(tone));
}

TEST_F(Converter, BatchesGiveBackTheEncoderSettings) {
    settings.SetNormalize(true);
    settings.SetOutputFormat(sv::kFormatOgg);
    settings.SetEncodeFlag(false);
    settings.SetLameBitrateIndex(11);
    settings.SetLameVbrEnabled(true);
    settings.SetLamePreset(8000);  // hi-fi: 160 kbit/s of its own
    const sv::TProgramSettings before = settings;
    converter->outputFolder = Out().string();
    converter->SetDirection(7);
    converter->AddFile(Copy("tone.wav").string());
    EXPECT_EQ(converter->Start().converted, 1);
    EXPECT_TRUE(settings.Normalize());
    EXPECT_TRUE(settings == before);

    converter->SetDirection(1);
    converter->AddFile(Copy("cbr.mp3").string());
    converter->bitrateIndex = 4;
    EXPECT_EQ(converter->Start().converted, 1);
    EXPECT_EQ(Probe(Out() / "cbr.mp3", "stream=bit_rate"), "96000\n");
    EXPECT_TRUE(settings == before);

    // Without the encoder the batch is refused once, before any file.
    dialogs.ExpectMessage(R(98)).ExpectMessage(R(98));
    sv::TEncoders missing(&dialogs, "libmp3lame-not-installed.so.0");
    sv::TConverter withoutLame(settings, missing, dialogs, pump, view, (work.Path() / "temp").string() + "/");
    withoutLame.outputFolder = (work.Path() / "none").string();
    withoutLame.SetDirection(6);
    withoutLame.AddFile(Copy("tone.wav").string());
    const auto r = withoutLame.Start();
    EXPECT_EQ(r.requested, 1);
    EXPECT_EQ(r.converted, 0);
    EXPECT_TRUE(dialogs.Done());
    EXPECT_EQ(withoutLame.Rows()[0].status, R(59));
    EXPECT_FALSE(fs::exists(work.Path() / "none"));
    EXPECT_TRUE(settings == before);
}

TEST_F(Converter, CommandLineExitStatus) {
    const std::string home = work.Slash() + "home";
    auto cli = [&](std::vector<std::string> args, std::string* out = nullptr) {
        std::vector<std::string> argv = {"env",  "HOME=" + home, "XDG_DATA_HOME=" + home + "/data",
                                         "XDG_CONFIG_HOME=" + home + "/config", SORNAVAL_CLI, "--lang",
                                         "english", "convert"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string o, e;
        const int status = svtest::RunProgram(argv, o, &e);
        if (out) *out = o;
        return status;
    };
    const std::string good = Copy("cbr.mp3").string(), bad = Copy("noise.mp3").string();
    std::string out;
    EXPECT_EQ(cli({"--direction", "mp3-wav", "--output-dir", Out().string(), "--json", good}, &out), 0);
    EXPECT_EQ(out, "[{\"source\": \"" + good + "\", \"output\": \"" + (Out() / "cbr.wav").string() +
                       "\", \"status\": \"Done\"}]\n");
    EXPECT_EQ(cli({"--direction", "0", "--output-dir", Out().string(), bad, good}, &out), 1);
    EXPECT_EQ(out, bad + ": Open error\n" + good + ": Done\n");
    EXPECT_EQ(cli({"--direction", "1", "--bitrate", "128", "--keep-location", good}), 0);
    EXPECT_TRUE(fs::exists(work.Path() / "in" / "cbr(2).mp3"));
    for (const auto& wrong : std::vector<std::vector<std::string>>{{"--direction", "10", good},
                                                                   {"--direction", "1", "--bitrate", "100", good},
                                                                   {"--direction", "0", "--bitrate", "96", good},
                                                                   {"--direction", "0"},
                                                                   {"--direction", "0", "--keep-location",
                                                                    "--output-dir", Out().string(), good},
                                                                   {"--direction", "0", "--fast", good}})
        EXPECT_EQ(cli(wrong), 2) << wrong.back();
}

}  // namespace
