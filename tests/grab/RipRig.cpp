#include "RipRig.h"
#include "support/Messages.h"

#include <fstream>

#include "AudioCheck.h"
#include "cdrom/CueSheet.h"
#include "cdrom/Toc.h"

namespace riptest {

RipRig::RipRig(const std::string& track2Mode, int track3Dither) {
    svtest::UseRussianMessages();
    const int sectors = kTrackStarts[3];
    auto audio = svtest::MusicLike(static_cast<std::size_t>(sectors) * 588, 2, 12000);
    if (track3Dither > 0) {
        const int span = 2 * track3Dither + 1;
        for (std::size_t i = static_cast<std::size_t>(kTrackStarts[2]) * 2352, k = 0; i < audio.size(); i += 2, ++k) {
            const auto s = static_cast<std::int16_t>(static_cast<int>((k * 7919) % static_cast<std::size_t>(span)) - track3Dither);
            audio[i] = static_cast<std::uint8_t>(s & 0xFF);
            audio[i + 1] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
        }
    }
    svtest::WriteFileBytes(dir.Path() / "disc.bin", std::string(audio.begin(), audio.end()));
    svtest::WriteFileBytes(dir.Path() / "disc.cue",
                           "FILE \"disc.bin\" BINARY\n"
                           " TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                           " TRACK 02 " + track2Mode + "\n  INDEX 01 00:04:00\n"
                           " TRACK 03 AUDIO\n  INDEX 01 00:10:50\n");
    std::string error;
    auto image = sv::LoadCueSheet((dir.Path() / "disc.cue").string(), error);
    if (!image) throw std::runtime_error(error);

    sv::DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = false;
    env.clock = &clock;
    catalog = std::make_shared<sv::DriveCatalog>(env);
    catalog->AddVirtual(image, "test image");
    drive = catalog->Entries().front().drive;
    cdrom = std::make_unique<sv::TCDROM>(catalog);
    cdrom->Initialise(sv::kTransportSpti);
    cdrom->SelectDrive(0, 0);
    sv::TocBuffer toc;
    if (!cdrom->ReadToc(toc) || !sv::BuildLayout(toc, disc, false)) throw std::runtime_error("no layout");
    disc.SetArtist("Тестовый артист");
    disc.SetAlbum("Album");
    tags.EnsureCount(disc.TrackCount());
    for (int i = 0; i < disc.TrackCount(); ++i) {
        const std::string title = "Song " + std::to_string(i + 1);
        disc.Track(i).SetTitle(title);
        auto t = tags.Block(i);
        t.SetPresent(true);
        t.SetTitle(title);
        t.SetArtist(disc.Artist());
        t.SetAlbum("Album");
        t.SetTrackNumber(std::to_string(i + 1));
    }
    checked.assign(static_cast<std::size_t>(disc.TrackCount()), false);

    settings.ApplyDefaults((dir.Path() / "data").string() + "/", OutDir());
    std::filesystem::create_directories(OutDir());
    settings.SetOutputDir(OutDir());
    settings.SetSectorsPerRead(26);

    encoders = std::make_unique<sv::TEncoders>(&dialogs);
    encoders->SetSettings(&settings);
    context.reset(new sv::RipContext{settings, *cdrom, disc, tags, checked, dialogs, pump, *encoders, TempFolder()});
    auto& h = context->hooks;
    h.rowStatus = [this](int row, const std::string& text) { statuses[row].push_back(text); };
    h.rowImage = [this](int row, int img) { images[row] = img; };
    h.setVolume = [this](int v) { calls.push_back("volume " + std::to_string(v)); };
    h.restoreVolume = [this] { calls.push_back("volume back"); };
    h.setPriority = [this](bool high) { calls.push_back(high ? "priority high" : "priority normal"); };
    h.shutdown = [this] { calls.push_back("shutdown"); };
    h.runSettingsDialog = [this] {
        calls.push_back("settings dialog");
        return false;
    };
}

std::vector<std::uint8_t> RipRig::ImageBytes(int first, int count) const {
    std::ifstream in(dir.Path() / "disc.bin", std::ios::binary);
    in.seekg(static_cast<std::streamoff>(first) * 2352);
    std::vector<std::uint8_t> v(static_cast<std::size_t>(count) * 2352);
    in.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(v.size()));
    return v;
}

std::string RipRig::LastStatus(int row) const {
    const auto it = statuses.find(row);
    return it == statuses.end() || it->second.empty() ? std::string() : it->second.back();
}

void RipRig::Check(std::vector<int> rows) {
    checked.assign(checked.size(), false);
    for (int r : rows) checked[static_cast<std::size_t>(r)] = true;
}

}  // namespace riptest
