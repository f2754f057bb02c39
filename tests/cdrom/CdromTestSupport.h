// Shared pieces of the drive-layer tests: sector patterns that no fault check
// mistakes for silence or mirrors, disc images written into a temp folder, a
// drive object over one virtual drive on a hand-driven clock, and the built-in
// Russian texts as the current language.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "base/Language.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/TCDROM.h"
#include "cdrom/VirtualDrive.h"

namespace cdtest {

// The 2352 bytes an image built by these helpers holds at `lba` (seeded so
// that different images differ).
std::vector<std::uint8_t> PatternSector(std::int32_t lba, std::uint32_t seed = 1);

// Writes `sectors` pattern sectors, the first being `firstLba`, to `path`.
void WritePatternBin(const std::filesystem::path& path, std::int32_t firstLba, int sectors, std::uint32_t seed = 1);

// A drive object that sees exactly one virtual drive.
struct Rig {
    sv::ManualClock clock;
    std::shared_ptr<sv::DriveCatalog> catalog;
    std::unique_ptr<sv::TCDROM> cdrom;
    std::shared_ptr<sv::VirtualDrive> drive;
    sv::VirtualDrive& Drive() { return *drive; }
};
std::unique_ptr<Rig> MakeRig(std::shared_ptr<sv::DiscImage> disc, int transport = sv::kTransportSpti,
                             sv::VirtualDriveModel model = {});


}  // namespace cdtest
