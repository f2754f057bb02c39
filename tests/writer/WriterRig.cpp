#include "WriterRig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AudioCheck.h"
#include "CdromTestSupport.h"

namespace wtest {

sv::VirtualWriter& Rig::Drive(int index) const {
    auto drive = std::dynamic_pointer_cast<sv::VirtualWriter>(writer->VirtualDriveAt(index));
    if (!drive) throw std::runtime_error("no virtual writer at " + std::to_string(index));
    return *drive;
}

std::unique_ptr<Rig> MakeRig(const std::vector<std::string>& lines, bool deadNodes) {
    auto rig = std::make_unique<Rig>();
    const auto list = rig->dir.Path() / "virtual.lst";
    std::string text;
    for (const std::string& line : lines) text += line + " folder \"" + rig->BurnFolder() + "\"\n";
    svtest::WriteFileBytes(list, text);
    sv::DriveEnvironment env;
    env.scanRealDrives = deadNodes;
    if (deadNodes) {
        std::filesystem::create_directories(rig->dir.Path() / "dev");
        std::filesystem::create_directories(rig->dir.Path() / "sys");
        for (const char* node : {"sr0", "sr1"}) svtest::WriteFileBytes(rig->dir.Path() / "dev" / node, "");
        env.devRoot = (rig->dir.Path() / "dev").string();
        env.sysRoot = (rig->dir.Path() / "sys").string();
    }
    env.demoWithoutRealDrive = false;
    env.virtualListPath = list.string();
    env.clock = &rig->clock;
    rig->catalog = std::make_shared<sv::DriveCatalog>(env);
    rig->writer = std::make_unique<sv::TCDWriter>(rig->catalog);
    return rig;
}

Bytes PatternPcm(std::size_t bytes, std::uint32_t seed) {
    Bytes b;
    for (std::int32_t lba = 0; b.size() < bytes; ++lba) {
        const Bytes s = cdtest::PatternSector(lba, seed);
        b.insert(b.end(), s.begin(), s.end());
    }
    b.resize(bytes);
    return b;
}

std::string Recorder::SetStatus(const std::string& text) {
    statuses.push_back(text);
    std::string old = status;
    status = text;
    return old;
}

void Recorder::Progress(std::uint32_t sector, std::uint32_t, int writeErrors, std::uint32_t) {
    sectors.push_back(sector);
    errors.push_back(writeErrors);
    if (static_cast<int>(sectors.size()) == cancelAfterBlocks) cancel = true;
}

BurnResult Burn(sv::TCDWriter& writer, const std::vector<std::string>& files, const std::vector<std::uint32_t>& lengths,
                Recorder& recorder, std::uint8_t test, int speed) {
    BurnResult r;
    writer.SetSourceFiles(files);
    writer.SetTrackLengths(lengths);
    r.parameters = writer.SetWriteParameters(writer.ImageMode ? sv::TCDWriter::kImageModeFlag : test, &recorder);
    if (!r.parameters) return r;
    if (!writer.ImageMode) {
        r.cueSheet = writer.SendCueSheet();
        if (!r.cueSheet) return r;
    }
    r.outcome = writer.BurnSession(speed, recorder.cancel);
    return r;
}

std::string RunTool(const std::vector<std::string>& args) {
    std::string out;
    EXPECT_EQ(svtest::RunProgram(args, out), 0) << args[0];
    return out;
}

std::vector<Bytes> CdbsOf(const std::vector<sv::RecordedCommand>& log) {
    std::vector<Bytes> out;
    for (const auto& c : log) out.push_back(c.cdb);
    return out;
}

}  // namespace wtest
