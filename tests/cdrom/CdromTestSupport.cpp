#include "CdromTestSupport.h"

#include <cstdio>
#include <fstream>

#include "base/Msf.h"
#include "support/TempDir.h"

namespace cdtest {

std::vector<std::uint8_t> PatternSector(std::int32_t lba, std::uint32_t seed) {
    std::vector<std::uint8_t> s(sv::kSectorBytes);
    std::uint32_t x = static_cast<std::uint32_t>(lba) * 2654435761u + seed * 40503u + 12345u;
    for (auto& b : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 7);
    }
    return s;
}

void WritePatternBin(const std::filesystem::path& path, std::int32_t firstLba, int sectors, std::uint32_t seed) {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < sectors; ++i) {
        const auto s = PatternSector(firstLba + i, seed);
        out.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
    }
}

std::unique_ptr<Rig> MakeRig(std::shared_ptr<sv::DiscImage> disc, int transport, sv::VirtualDriveModel model) {
    auto rig = std::make_unique<Rig>();
    sv::DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = false;
    env.clock = &rig->clock;
    rig->catalog = std::make_shared<sv::DriveCatalog>(env);
    rig->catalog->AddVirtual(std::move(disc), "test image", std::move(model));
    rig->drive = rig->catalog->Entries().front().drive;
    rig->cdrom = std::make_unique<sv::TCDROM>(rig->catalog);
    rig->cdrom->Initialise(transport);
    rig->cdrom->SelectDrive(0, 0);
    rig->drive->ClearCommands();
    return rig;
}

}  // namespace cdtest
