// The drive object and its transports: finding drives in a fake sysfs tree,
// choosing the transport, the drive list, status conventions, the virtual
// drive's tray, lock, play and faults, and the list of disc images.
#include <gtest/gtest.h>
#include "support/Messages.h"

#include <filesystem>
#include <fstream>

#include "CdromTestSupport.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DemoDisc.h"
#include "cdrom/DriveCatalog.h"
#include "cdrom/SgScan.h"
#include "cdrom/SptiTransport.h"
#include "cdrom/TCDROM.h"
#include "cdrom/TocReport.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace sv;
namespace fs = std::filesystem;

namespace {

// A fake /sys and /dev: sg0 = CD drive 1:0:0:0 bound to sr0, sg1 = a disk,
// sg2 = CD drive 0:0:3:0 without an sr node, sg3 = a CD drive's second LUN.
struct FakeSystem {
    svtest::TempDir dir;
    std::string sys, dev;
    FakeSystem() {
        sys = (dir.Path() / "sys").string();
        dev = (dir.Path() / "dev").string();
        fs::create_directories(dev);
        AddGeneric(0, "1:0:0:0", 5, "sr0");
        AddGeneric(1, "0:0:0:0", 0, "");
        AddGeneric(2, "0:0:3:0", 5, "");
        AddGeneric(3, "1:0:0:1", 5, "");
        for (const char* node : {"sg0", "sg1", "sg2", "sg3"}) svtest::WriteFileBytes(fs::path(dev) / node, "");
    }
    void AddGeneric(int n, const std::string& address, int type, const std::string& block) {
        const fs::path device = fs::path(sys) / "devices" / "pci0" / ("host" + address.substr(0, 1)) / address;
        fs::create_directories(device);
        svtest::WriteFileBytes(device / "type", std::to_string(type) + "\n");
        if (!block.empty()) fs::create_directories(device / "block" / block);
        const fs::path cls = fs::path(sys) / "class" / "scsi_generic" / ("sg" + std::to_string(n));
        fs::create_directories(cls);
        fs::create_directory_symlink(device, cls / "device");
    }
    DriveEnvironment Env(bool demo = true) const {
        DriveEnvironment env;
        env.sysRoot = sys;
        env.devRoot = dev;
        env.demoWithoutRealDrive = demo;
        return env;
    }
};

TEST(DriveObject, SysfsScanFindsCdDrivesByAdapterAndTarget) {
    FakeSystem fake;
    const auto all = ScanScsiGeneric(fake.sys, fake.dev);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].host, 1);
    EXPECT_EQ(all[0].type, 5);
    EXPECT_EQ(all[0].blockName, "sr0");
    EXPECT_EQ(all[0].node, fake.dev + "/sg0");
    EXPECT_EQ(all[1].type, 0);
    const auto cd = CdromScsiGeneric(all);
    ASSERT_EQ(cd.size(), 2u);  // no disk, no second LUN
    EXPECT_EQ(cd[0].number, 2);  // adapter 0 comes first
    EXPECT_EQ(cd[0].target, 3);
    EXPECT_EQ(cd[1].number, 0);

    EXPECT_TRUE(ScanSrNodes(fake.dev).empty());
    svtest::WriteFileBytes(fs::path(fake.dev) / "sr10", "");
    svtest::WriteFileBytes(fs::path(fake.dev) / "sr2", "");
    svtest::WriteFileBytes(fs::path(fake.dev) / "srx", "");
    EXPECT_EQ(ScanSrNodes(fake.dev), (std::vector<int>{2, 10}));

    int h, c, t, l;
    EXPECT_TRUE(ParseScsiAddress("2:0:1:0", h, c, t, l));
    EXPECT_EQ(t, 1);
    EXPECT_FALSE(ParseScsiAddress("2:0:1", h, c, t, l));
    EXPECT_FALSE(ParseScsiAddress("host2", h, c, t, l));
    EXPECT_TRUE(ScanScsiGeneric(fake.sys + "/missing", fake.dev).empty());
}

TEST(DriveObject, CatalogPairsPassThroughAndGenericNodes) {
    FakeSystem fake;
    svtest::WriteFileBytes(fs::path(fake.dev) / "sr0", "");
    DriveCatalog catalog(fake.Env());
    ASSERT_EQ(catalog.Count(), 2);  // sr0 (with sg0), sg2 alone; no demo beside real drives
    EXPECT_EQ(catalog.RealDriveCount(), 2);
    EXPECT_EQ(catalog.Entries()[0].srPath, fake.dev + "/sr0");
    EXPECT_EQ(catalog.Entries()[0].sgPath, fake.dev + "/sg0");
    EXPECT_EQ(catalog.Entries()[1].srPath, "");
    EXPECT_EQ(catalog.Entries()[1].Describe(), fake.dev + "/sg2");
    EXPECT_TRUE(catalog.GenericDriverPresent());

    AspiTransport aspi(catalog);
    EXPECT_EQ(aspi.Scan(), 0);  // not loaded
    aspi.Load();
    ASSERT_EQ(aspi.Scan(), 2);
    EXPECT_EQ(aspi.HostAdapter(0), 0);  // ordered by adapter and target
    EXPECT_EQ(aspi.Target(0), 3);
    EXPECT_EQ(aspi.CatalogIndex(0), 1);
    EXPECT_EQ(aspi.IndexOfCatalogEntry(0), 1);
    EXPECT_FALSE(aspi.Select(2, 0));
}

TEST(DriveObject, NoRealDriveShowsTheDemoAndTheImageList) {
    svtest::TempDir dir;
    cdtest::WritePatternBin(dir.Path() / "a.bin", 0, 300);
    svtest::WriteFileBytes(dir.Path() / "a.cue", "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    const std::string list = (dir.Path() / "setting" / "virtual.lst").string();
    fs::create_directories(dir.Path() / "setting");
    svtest::WriteFileBytes(list, "# my images\n" + (dir.Path() / "a.cue").string() + "\n\n" + dir.Slash() + "gone.cue\n");
    DriveEnvironment env;
    env.sysRoot = dir.Slash() + "nosys";
    env.devRoot = dir.Slash() + "nodev";
    env.virtualListPath = list;
    ManualClock clock;
    env.clock = &clock;
    auto catalog = std::make_shared<DriveCatalog>(env);
    ASSERT_EQ(catalog->Count(), 2);
    EXPECT_EQ(catalog->Entries()[0].image, "demo");
    EXPECT_EQ(catalog->Entries()[1].image, (dir.Path() / "a.cue").string());
    ASSERT_EQ(catalog->ImageProblems().size(), 1u);
    EXPECT_NE(catalog->ImageProblems()[0].find("gone.cue"), std::string::npos);

    TCDROM cdrom(catalog);
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectMessage("gone.cue");
    cdrom.Initialise(kTransportAspi, &dialogs);
    EXPECT_TRUE(dialogs.Done());
    ASSERT_EQ(cdrom.DriveCount(), 2);
    EXPECT_EQ(cdrom.DriveNames()[0], "SORNAVALDemo disc drive ");
    EXPECT_EQ(cdrom.DriveNames()[1], "SORNAVALDisc image      ");
    EXPECT_EQ(cdrom.DriveNames()[0].size(), 24u);

    // Opening another image adds a drive at the end and to the list file.
    std::string error;
    EXPECT_EQ(cdrom.AddImageDrive((dir.Path() / "a.cue").string(), true, error), 2);
    EXPECT_EQ(cdrom.DriveCount(), 3);
    EXPECT_TRUE(cdrom.SelectDrive(2, 0));
    TocBuffer toc;
    EXPECT_TRUE(cdrom.ReadToc(toc));
    const std::string saved = svtest::ReadFileBytes(list);
    EXPECT_EQ(saved.substr(saved.size() - (dir.Path() / "a.cue").string().size() - 1),
              (dir.Path() / "a.cue").string() + "\n");
    EXPECT_EQ(cdrom.AddImageDrive(dir.Slash() + "gone.cue", true, error), -1);
    EXPECT_NE(error.find("gone.cue"), std::string::npos);

    const std::string json = DrivesJson(cdrom);
    EXPECT_NE(json.find("{\"index\": 0, \"name\": \"SORNAVAL Demo disc drive\", \"transport\": \"virtual\", "
                        "\"image\": \"demo\"}"),
              std::string::npos)
        << json;
}

TEST(DriveObject, TransportChoiceAndR93) {
    svtest::UseRussianMessages();
    FakeSystem fake;
    // A real drive the generic layer cannot see: R93 once, pass-through used.
    fs::remove_all(fs::path(fake.sys) / "class");
    svtest::WriteFileBytes(fs::path(fake.dev) / "sr0", "");
    {
        TCDROM cdrom(std::make_shared<DriveCatalog>(fake.Env()));
        svtest::ScriptedDialogs dialogs;
        dialogs.ExpectMessage("ASPI Manager для NT установлен не корректно!");
        cdrom.Initialise(kTransportAspi, &dialogs);
        EXPECT_TRUE(dialogs.Done());
        EXPECT_EQ(dialogs.Icons()[0], MessageIcon::Warning);
        EXPECT_EQ(cdrom.Transport(), kTransportSpti);
        EXPECT_FALSE(cdrom.AspiAvailable());
        std::uint8_t request = 0;  // asks for ASPI
        EXPECT_FALSE(cdrom.ApplyTransport(request));
        EXPECT_EQ(request, 1);  // written back: SPTI
    }
    // Only virtual drives: the generic table holds them; no message at all.
    auto rig = cdtest::MakeRig(MakeDemoDisc(), kTransportAspi);
    EXPECT_EQ(rig->cdrom->Transport(), kTransportAspi);
    std::uint8_t spti = 1;
    EXPECT_TRUE(rig->cdrom->ApplyTransport(spti));
    EXPECT_EQ(rig->cdrom->Transport(), kTransportSpti);
    EXPECT_FALSE(rig->cdrom->ApplyTransport(spti));
}

TEST(DriveObject, StatusConventions) {
    DriveEnvironment env;
    env.scanRealDrives = false;
    env.demoWithoutRealDrive = false;
    DriveCatalog catalog(env);
    SptiTransport spti(catalog);
    EXPECT_EQ(spti.Send(TestUnitReadyCdb(), nullptr), kSptiNoDevice);  // nothing opened
    EXPECT_FALSE(spti.Open(0, 0));

    for (int transport : {kTransportSpti, kTransportAspi}) {
        SCOPED_TRACE(transport);
        auto rig = cdtest::MakeRig(MakeDemoDisc(), transport);
        TCDROM& cd = *rig->cdrom;
        Cdb unknown;
        unknown[0] = 0xFF;
        const int status = cd.Send(unknown, nullptr);
        EXPECT_EQ(status, transport == kTransportSpti ? 2 : kAspiError);
        EXPECT_FALSE(cd.IsSuccess(status));
        EXPECT_EQ(cd.LastSenseKey(), 5);  // ILLEGAL REQUEST
        EXPECT_TRUE(cd.IsSuccess(cd.StopPlay()));

        VirtualFaults f;
        f.mediumChanged = true;
        rig->Drive().SetFaults(f);
        EXPECT_FALSE(cd.IsReady());
        EXPECT_EQ(cd.LastSenseKey(), 6);
        EXPECT_TRUE(cd.IsReady());
        f = {};
        f.notReady = true;
        rig->Drive().SetFaults(f);
        EXPECT_FALSE(cd.IsReady());
        TocBuffer toc;
        EXPECT_FALSE(cd.ReadToc(toc));
        EXPECT_EQ(cd.LastSenseKey(), 2);
    }
}

TEST(DriveObject, ListPositionsFollowTheDrivesNotDeviceNumbers) {
    svtest::TempDir dir;
    fs::create_directories(dir.Path() / "dev");
    fs::create_symlink(dir.Path() / "nowhere", dir.Path() / "dev" / "sr0");  // a node that cannot be opened
    DriveEnvironment env;
    env.sysRoot = dir.Slash() + "sys";
    env.devRoot = (dir.Path() / "dev").string();
    auto catalog = std::make_shared<DriveCatalog>(env);
    catalog->AddVirtual(MakeDemoDisc(), "demo");
    TCDROM cdrom(catalog);
    cdrom.Initialise(kTransportSpti);
    ASSERT_EQ(cdrom.DriveCount(), 1);  // the dead node is skipped
    EXPECT_EQ(cdrom.DriveDevice(0), "demo");
    EXPECT_TRUE(cdrom.SelectDrive(0, 0));  // opens the demo drive, not device 0
    EXPECT_TRUE(cdrom.IsReady());
    EXPECT_FALSE(cdrom.SelectDrive(1, 0));
}

TEST(DriveObject, TrayLockAndMechanism) {
    auto rig = cdtest::MakeRig(MakeDemoDisc());
    TCDROM& cd = *rig->cdrom;
    EXPECT_EQ(cd.MechanismState(), kMechanismIdle);
    cd.LockTray(true);
    EXPECT_FALSE(cd.IsSuccess(cd.EjectLoad(true)));  // locked
    EXPECT_TRUE(cd.IsReady());
    cd.LockTray(false);
    EXPECT_TRUE(cd.IsSuccess(cd.EjectLoad(true)));
    EXPECT_EQ(cd.MechanismState(), kMechanismDoorOpen);
    EXPECT_FALSE(cd.IsReady());
    EXPECT_TRUE(cd.IsSuccess(cd.EjectLoad(false)));
    EXPECT_TRUE(cd.IsReady());

    rig->Drive().RemoveDisc();
    EXPECT_FALSE(cd.IsReady());
    EXPECT_EQ(cd.MechanismState(), kMechanismIdle);
    rig->Drive().InsertDisc(MakeDemoDisc());
    EXPECT_TRUE(cd.IsReady());

    // Shutdown stops play and unlocks.
    cd.LockTray(true);
    rig->Drive().ClearCommands();
    cd.Shutdown();
    const auto log = rig->Drive().Commands();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].cdb[0], 0x4E);
    EXPECT_EQ(log[1].cdb[0], 0x1E);
    EXPECT_FALSE(rig->Drive().Locked());
}

TEST(DriveObject, PlayRunsInRealTimeOnTheClock) {
    auto rig = cdtest::MakeRig(MakeDemoDisc());
    TCDROM& cd = *rig->cdrom;
    // Track 2 of the demo: 00:42:00 to 01:12:00.
    ASSERT_TRUE(cd.IsSuccess(cd.PlayMsf(Msf{0, 42, 0}, Msf{1, 12, 0})));
    Msf pos;
    int audio = 0;
    ASSERT_TRUE(cd.Position(pos, audio));
    EXPECT_EQ(audio, 0x11);
    EXPECT_EQ(pos, (Msf{0, 42, 0}));
    rig->clock.Advance(2000);
    ASSERT_TRUE(cd.Position(pos, audio));
    EXPECT_EQ(pos, (Msf{0, 44, 0}));
    EXPECT_EQ(cd.MechanismState(), 2);  // playing
    rig->clock.Advance(28000);
    ASSERT_TRUE(cd.Position(pos, audio));
    EXPECT_EQ(audio, 0x13);  // completed, reported once
    EXPECT_EQ(pos, (Msf{1, 12, 0}));
    ASSERT_TRUE(cd.Position(pos, audio));
    EXPECT_EQ(audio, 0x15);

    ASSERT_TRUE(cd.IsSuccess(cd.PlayMsf(Msf{0, 2, 0}, Msf{0, 42, 0})));
    rig->clock.Advance(1000);
    cd.StopPlay();
    rig->clock.Advance(5000);
    ASSERT_TRUE(cd.Position(pos, audio));
    EXPECT_EQ(audio, 0x15);
    EXPECT_EQ(pos, (Msf{0, 3, 0}));
    EXPECT_FALSE(cd.IsSuccess(cd.PlayMsf(Msf{0, 50, 0}, Msf{0, 40, 0})));
    EXPECT_FALSE(cd.IsSuccess(cd.PlayMsf(Msf{0, 2, 0}, Msf{70, 0, 0})));
}

TEST(DriveObject, AccessProblemMessageSaysWhatToDo) {
    const std::vector<DeviceAccessProblem> problems = {{"/dev/sr0", "cdrom"}, {"/dev/sr1", "cdrom"}};
    const std::string en = AccessProblemMessage(problems, false);
    EXPECT_NE(en.find("/dev/sr0, /dev/sr1"), std::string::npos);
    EXPECT_NE(en.find("\"cdrom\""), std::string::npos);
    EXPECT_NE(en.find("usermod -aG cdrom"), std::string::npos);
    EXPECT_NE(AccessProblemMessage(problems, true).find("группу «cdrom»"), std::string::npos);
    EXPECT_EQ(AccessProblemMessage({}, false), "");

    svtest::TempDir dir;
    DriveEnvironment env;
    env.scanRealDrives = false;
    DriveCatalog catalog(env);
    svtest::WriteFileBytes(dir.Path() / "node", "");
    catalog.NoteAccessProblem((dir.Path() / "node").string());
    catalog.NoteAccessProblem((dir.Path() / "node").string());
    ASSERT_EQ(catalog.AccessProblems().size(), 1u);
    EXPECT_FALSE(catalog.AccessProblems()[0].group.empty());
}

}  // namespace
