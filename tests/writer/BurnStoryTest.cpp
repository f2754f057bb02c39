// Burning a compilation as a user would: a CD-format WAV, a 22.05 kHz mono
// WAV, an MP3 and a 48 kHz mono Ogg Vorbis file (made here with sox, lame and
// oggenc) burned into a virtual writer, then read back through the reading
// engine and compared with ffmpeg's own decode of each file; the same burn
// with and without the decode-ahead thread and as a WAV image gives the same
// bytes; the image's header after a finished and a cancelled write.
#include <gtest/gtest.h>

#include <span>

#include "metadata/DiscId.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "AudioCheck.h"
#include "WriterRig.h"
#include "base/Bytes.h"
#include "support/TempDir.h"
#include "cdrom/AudioReader.h"
#include "cdrom/TCDROM.h"
#include "writer/CDDAStreamOut.h"

using namespace sv;
using namespace wtest;

namespace {

int MaxDifference(const std::string& a, const std::string& b) {
    const auto* x = reinterpret_cast<const std::uint8_t*>(a.data());
    const auto* y = reinterpret_cast<const std::uint8_t*>(b.data());
    int most = 0;
    for (std::size_t i = 0; i + 1 < std::min(a.size(), b.size()); i += 2)
        most = std::max(most, std::abs(LoadLE<std::int16_t>(x + i) - LoadLE<std::int16_t>(y + i)));
    return a.size() == b.size() ? most : 1 << 16;
}

// A two-tone source that fades out, so that the last samples are quiet.
std::string MakeTone(const svtest::TempDir& dir, const std::string& name, int rate, int channels, const char* seconds) {
    const std::string path = dir.Slash() + name;
    RunTool({"sox", "-n", "-r", std::to_string(rate), "-c", std::to_string(channels), "-b", "16", path, "synth",
                     seconds, "sine", "440", "sine", "650", "gain", "-6", "fade", "0.05", seconds, "0.1"});
    return path;
}

// ffmpeg's decode of `path` as CD audio.
std::string CdAudioByFfmpeg(const std::string& path) {
    return RunTool({"ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-ar", "44100", "-ac", "2", "-"});
}

std::uint32_t SectorsUp(std::size_t bytes) { return static_cast<std::uint32_t>((bytes + kSectorBytes - 1) / kSectorBytes); }

}  // namespace

TEST(BurnStory, FourFormatsReadBackAsTheirDecodedAudio) {
    svtest::TempDir dir;
    const std::string cd = MakeTone(dir, "cd.wav", 44100, 2, "1.4");
    const std::string mono = MakeTone(dir, "mono22.wav", 22050, 1, "1.1");
    const std::string mp3 = dir.Slash() + "song.mp3", ogg = dir.Slash() + "voice.ogg";
    RunTool({"lame", "--quiet", "-b", "160", MakeTone(dir, "mp3src.wav", 44100, 2, "1.3"), mp3});
    RunTool({"oggenc", "-Q", "-q", "4", MakeTone(dir, "oggsrc.wav", 48000, 1, "1.2"), "-o", ogg});
    const std::vector<std::string> files = {cd, mono, mp3, ogg};
    std::vector<std::string> reference;
    for (const auto& f : files) reference.push_back(CdAudioByFfmpeg(f));
    for (const auto& r : reference) ASSERT_GT(r.size(), 44100u * 4);
    // Track lengths: the audio rounded up to whole sectors; 40 sectors more
    // after the mono file (silence in several writes); the MP3 cut 10 sectors
    // short of its end.
    const std::vector<std::uint32_t> lengths = {SectorsUp(reference[0].size()), SectorsUp(reference[1].size()) + 40,
                                                static_cast<std::uint32_t>(reference[2].size() / kSectorBytes) - 10,
                                                SectorsUp(reference[3].size())};
    // How far our decoders may stray from ffmpeg's: none for PCM (the WAV
    // decoder's resampling included), a step or two for another MP3 decoder,
    // Vorbis rounding and the writer's own resampling of the Ogg file.
    const int tolerance[] = {0, 0, 2, 4};
    for (const auto& [file, converts] : {std::pair{mono, false}, {ogg, true}, {mp3, false}}) {
        TCDDAStreamOut stream;
        ASSERT_TRUE(stream.Open(file));
        EXPECT_EQ(stream.Converting(), converts) << file;
    }

    auto rig = MakeRig({"writer cdr", "writer cdr"});
    TCDWriter& w = *rig->writer;
    w.SectorsPerWrite = 7;  // blocks that never meet the track ends
    std::vector<std::string> bins;
    for (int drive : {0, 1}) {
        SCOPED_TRACE(drive == 0 ? "decode-ahead thread" : "no thread");
        ASSERT_TRUE(w.SelectDrive(drive));
        w.DecodeAhead = drive == 0;
        Recorder rec;
        const BurnResult r = Burn(w, files, lengths, rec);
        ASSERT_TRUE(r.parameters && r.cueSheet);
        EXPECT_EQ(r.outcome, WriteOutcome::Completed);
        EXPECT_EQ(w.WriteErrors(), 0);
        EXPECT_EQ(rec.tracksWritten, (std::vector<int>{0, 1, 2, 3}));
        bins.push_back(svtest::ReadFileBytes(std::filesystem::path(rig->Drive(drive).LastBurnCue()).replace_extension(".bin")));
    }
    // The decode-ahead thread changes nothing in what is written; nor does
    // writing a WAV image instead of a disc.
    EXPECT_TRUE(bins[0] == bins[1]);
    w.ImageMode = true;
    w.ImageFileName = dir.Slash() + "image.wav";
    Recorder rec;
    EXPECT_EQ(Burn(w, files, lengths, rec).outcome, WriteOutcome::Completed);
    EXPECT_TRUE(svtest::ReadFileBytes(w.ImageFileName).substr(48) == bins[0]);

    // Read back through the reading engine.
    TCDROM cdrom(rig->catalog);
    cdrom.Initialise(kTransportAspi);
    ASSERT_TRUE(cdrom.SelectDrive(0, 0));
    TocBuffer toc;
    ASSERT_TRUE(cdrom.ReadToc(toc));
    ASSERT_EQ(toc.LastTrack(), 4);
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(toc.Descriptor(t).Frames(), static_cast<int>(w.TrackStart[t]) + kLbaBase) << "track " << t + 1;
        EXPECT_EQ(toc.Descriptor(t).Control(), 0);
    }
    EXPECT_EQ(toc.Descriptor(4).Frames(), static_cast<int>(w.TrackStart[4]) + kLbaBase);
    // The burned disc's CDDB identifier, from the read-back TOC, equals the
    // one worked out from the compilation's track starts.
    const auto parsed = ParseRawToc(std::span<const std::uint8_t>(toc.Data(), static_cast<std::size_t>(kTocBytes)));
    ASSERT_TRUE(parsed);
    unsigned digits = 0;
    for (int t = 0; t < 4; ++t)
        for (unsigned sec = (w.TrackStart[t] + 150) / 75; sec > 0; sec /= 10) digits += sec % 10;
    const std::uint32_t expectedId = ((digits % 255) << 24) |
                                     (((w.TrackStart[4] + 150) / 75 - (w.TrackStart[0] + 150) / 75) << 8) | 4u;
    EXPECT_EQ(ComputeDiscId(*parsed), expectedId);

    ExtractionSettings settings;
    AudioReader reader(cdrom, settings);
    for (int t = 0; t < 4; ++t) {
        SCOPED_TRACE(files[static_cast<std::size_t>(t)]);
        const auto start = static_cast<std::int32_t>(w.TrackStart[t]), end = static_cast<std::int32_t>(w.TrackStart[t + 1]);
        std::string track;
        for (std::int32_t at = start; at < end; at += reader.BlockSectors()) {
            const int n = reader.BlockCount(at, end);
            ASSERT_TRUE(reader.ExtractBlock(at, n, start, end));
            track.append(reinterpret_cast<const char*>(reader.Buffer()), static_cast<std::size_t>(n) * kSectorBytes);
        }
        std::string expected = reference[static_cast<std::size_t>(t)];
        expected.resize(track.size(), '\0');  // padded with silence, or cut at the track's end
        EXPECT_LE(MaxDifference(track, expected), tolerance[t]);
        // Silence after the audio. ffmpeg 5.1 ends a Vorbis stream 128
        // samples before its last granule position (libvorbis and oggdec give
        // the source's length); those samples of the fade-out are allowed.
        const std::size_t audio = reference[static_cast<std::size_t>(t)].size() + 128 * 4;
        EXPECT_EQ(track.find_first_not_of('\0', std::min(audio, track.size())), std::string::npos);
    }
}

// Image mode sends nothing to the drive and writes one CD-format WAV file
// whose header holds its sizes, also when the burn was cancelled.
TEST(BurnStory, ImageHeaderIsPatchedAlsoAfterACancel) {
    auto rig = MakeRig({"writer cdr"});
    TCDWriter& w = *rig->writer;
    const std::string a = rig->dir.Slash() + "a.wav";
    svtest::WriteCdWav(a, PatternPcm(25 * kSectorBytes, 7));
    w.ImageMode = true;
    w.DecodeAhead = true;  // not used for an image
    rig->Drive().ClearCommands();
    for (const int cancelAfter : {-1, 3}) {
        SCOPED_TRACE(cancelAfter < 0 ? "complete" : "cancelled after 3 blocks");
        w.ImageFileName = rig->dir.Slash() + "image" + std::to_string(cancelAfter) + ".wav";
        Recorder rec;
        rec.cancelAfterBlocks = cancelAfter;
        const WriteOutcome outcome = Burn(w, {a, a}, {30, 30}, rec).outcome;
        EXPECT_EQ(outcome, cancelAfter < 0 ? WriteOutcome::Completed : WriteOutcome::Cancelled);
        const std::uint32_t data = (cancelAfter < 0 ? 60u : 30u) * kSectorBytes;
        const std::string file = svtest::ReadFileBytes(w.ImageFileName);
        ASSERT_EQ(file.size(), 48u + data);
        const auto* h = reinterpret_cast<const std::uint8_t*>(file.data());
        EXPECT_EQ(file.substr(0, 4), "RIFF");
        EXPECT_EQ(LoadLE32(h + 4), data + 40);
        EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(std::string(file.data() + 16, 24),
                  std::string("\x14\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0\0\0\0\0", 24));
        EXPECT_EQ(file.substr(40, 4), "data");
        EXPECT_EQ(LoadLE32(h + 44), data);
    }
    EXPECT_TRUE(rig->Drive().Commands().empty());
    EXPECT_TRUE(rig->Drive().Blank());
    // An image that cannot be created writes nothing.
    w.ImageFileName = rig->dir.Slash() + "no/such/folder/image.wav";
    Recorder rec;
    EXPECT_EQ(Burn(w, {a}, {30}, rec).outcome, WriteOutcome::ImageFailed);
}

// The ring's slots: whole blocks, the overflow carried over, the last block
// completed with silence, nothing after the end; files the writer does not
// take.
TEST(BurnStory, StreamSlotsCarryOverAndEndInSilence) {
    svtest::TempDir dir;
    const std::uint32_t block = 5 * kSectorBytes;
    const Bytes pcm = PatternPcm(block * 5 / 2, 8);
    svtest::WriteCdWav(dir.Slash() + "a.WAV", pcm);
    TCDDAStreamOut s;
    s.SetBlockSize(block);
    ASSERT_TRUE(s.Open(dir.Slash() + "a.WAV"));
    EXPECT_FALSE(s.Converting());
    EXPECT_TRUE(s.FillSlot(0));
    EXPECT_TRUE(s.FillSlot(1));
    EXPECT_FALSE(s.FillSlot(2));
    EXPECT_TRUE(s.Eof());
    EXPECT_FALSE(s.FillSlot(3));
    EXPECT_EQ(s.SlotBytes(0), block);
    EXPECT_EQ(s.SlotBytes(2), block / 2);
    EXPECT_EQ(s.SlotBytes(3), 0u);
    EXPECT_EQ(s.TotalBytes(), pcm.size());
    Bytes out;
    for (int k = 0; k < 3; ++k) out.insert(out.end(), s.Slot(k), s.Slot(k) + block);
    Bytes expected = pcm;
    expected.resize(3 * block, 0);
    EXPECT_TRUE(out == expected);
    s.Close();
    EXPECT_FALSE(s.Open(dir.Slash() + "missing.wav"));
    svtest::WriteFileBytes(dir.Path() / "a.flac", "fLaC");
    EXPECT_FALSE(s.Open(dir.Slash() + "a.flac"));
}
