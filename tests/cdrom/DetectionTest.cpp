// Read-command detection and the drive information lines.
#include <gtest/gtest.h>
#include "support/Messages.h"

#include "CdromTestSupport.h"
#include "cdrom/DemoDisc.h"
#include "cdrom/DriveInfoLines.h"
#include "cdrom/ReadCommandDetection.h"
#include "support/ScriptedDialogs.h"

using namespace sv;

namespace {

VirtualDriveModel Answering(std::initializer_list<int> commands) {
    VirtualDriveModel m;
    m.readCommands = 0;
    for (int c : commands) m.readCommands = static_cast<std::uint16_t>(m.readCommands | (1u << c));
    return m;
}

TEST(Detection, TwentySevenRowsInOrder) {
    svtest::UseRussianMessages();
    auto rig = cdtest::MakeRig(MakeDemoDisc(), kTransportSpti, Answering({6, 7}));
    svtest::ScriptedDialogs dialogs;
    const auto rows = DetectReadCommands(*rig->cdrom, {kTransportSpti, 0, 13}, [] { return true; }, dialogs);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 27u);
    for (int i = 0; i < 27; ++i) {
        const DetectionRow& r = (*rows)[static_cast<std::size_t>(i)];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.number, i + 1);
        EXPECT_EQ(r.command, i / 3);
        const int sizes[] = {1, 26, 13};
        EXPECT_EQ(r.sectors, sizes[i % 3]);
        EXPECT_EQ(r.success, r.command == 6 || r.command == 7);
        EXPECT_EQ(r.Result(), r.success ? "успешно" : "неудачно");
        EXPECT_EQ(r.Image(), r.success ? 0 : 1);
    }
    EXPECT_EQ((*rows)[0].CommandName(), "Standart MMC1 (IDE Device)");
    EXPECT_EQ((*rows)[26].CommandName(), "READ MMC3");
    EXPECT_EQ(rig->cdrom->ReadCommand(), 8);
    // Every try read at LBA 1500 with its size.
    const auto log = rig->Drive().Commands();
    int reads = 0;
    for (const auto& c : log) {
        if (c.cdb[0] == 0x28) {
            EXPECT_EQ(c.cdb[5], 1500 & 0xFF);
            EXPECT_EQ(c.cdb[4], 1500 >> 8);
            ++reads;
        }
    }
    EXPECT_EQ(reads, 3);
    EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST(Detection, SizeTwentySixTwiceAndTheDialogsTransport) {
    auto rig = cdtest::MakeRig(MakeDemoDisc(), kTransportSpti);
    svtest::ScriptedDialogs dialogs;
    const auto rows = DetectReadCommands(*rig->cdrom, {kTransportAspi, 0, 26}, [] { return true; }, dialogs);
    ASSERT_TRUE(rows);
    EXPECT_EQ((*rows)[1].sectors, 26);
    EXPECT_EQ((*rows)[2].sectors, 26);
    for (const auto& r : *rows) EXPECT_TRUE(r.success);
    EXPECT_EQ(rig->cdrom->Transport(), kTransportSpti);  // back to what the settings say
}

TEST(Detection, TriesOnTheOtherTransportLeaveTheOpenDriveAlone) {
    // The settings dialog is modal and may be cancelled: the main window's
    // poll keeps using the drive it had before the tries.
    auto rig = cdtest::MakeRig(MakeDemoDisc(), kTransportSpti);
    rig->cdrom->SelectDrive(0, 6);
    svtest::ScriptedDialogs dialogs;
    ASSERT_TRUE(DetectReadCommands(*rig->cdrom, {kTransportAspi, 0, 26}, [] { return true; }, dialogs));
    ASSERT_EQ(rig->cdrom->Transport(), kTransportSpti);
    EXPECT_TRUE(rig->cdrom->IsReady());
    EXPECT_EQ(rig->cdrom->ReadCommand(), 6);
    std::vector<std::uint8_t> sector(2352);
    EXPECT_TRUE(rig->cdrom->ReadSectors(0, 1, sector.data()));

    // The same the other way round: the generic layer keeps its selection.
    auto aspi = cdtest::MakeRig(MakeDemoDisc(), kTransportAspi);
    aspi->cdrom->SelectDrive(0, 6);
    ASSERT_TRUE(DetectReadCommands(*aspi->cdrom, {kTransportSpti, 0, 26}, [] { return true; }, dialogs));
    ASSERT_EQ(aspi->cdrom->Transport(), kTransportAspi);
    EXPECT_TRUE(aspi->cdrom->IsReady());
    EXPECT_EQ(aspi->cdrom->ReadCommand(), 6);
    EXPECT_TRUE(aspi->cdrom->ReadSectors(0, 1, sector.data()));
}

TEST(Detection, AsksForADiscFirst) {
    svtest::UseRussianMessages();
    auto rig = cdtest::MakeRig(nullptr);
    {
        svtest::ScriptedDialogs dialogs;
        dialogs.ExpectYesNo("Вставьте музыкальный диск и нажмите Ok.", false);
        EXPECT_FALSE(DetectReadCommands(*rig->cdrom, {}, [] { return false; }, dialogs));
        EXPECT_TRUE(dialogs.Done());
        EXPECT_TRUE(rig->Drive().Commands().empty());
    }
    svtest::ScriptedDialogs dialogs;
    dialogs.ExpectYesNo("Вставьте", true).ExpectYesNo("Вставьте", true);
    int polls = 0;
    svtest::ScriptedEventPump pump;
    pump.At(2, [&] { rig->Drive().InsertDisc(MakeDemoDisc()); });
    const auto rows = DetectReadCommands(*rig->cdrom, {}, [&] { ++polls; return rig->Drive().HasDisc(); }, dialogs, &pump);
    ASSERT_TRUE(rows);
    EXPECT_EQ(polls, 3);
    EXPECT_EQ(dialogs.Icons()[0], MessageIcon::Information);
    EXPECT_TRUE((*rows)[0].success);
}

TEST(Detection, SectorsPerReadField) {
    std::string error;
    EXPECT_EQ(ParseSectorsPerRead(" 26 ", error), 26);
    EXPECT_FALSE(ParseSectorsPerRead("2x", error));
    EXPECT_EQ(error, "'2x' is not a valid integer value");
    EXPECT_FALSE(ParseSectorsPerRead("", error));
    EXPECT_FALSE(ParseSectorsPerRead("0", error));
    EXPECT_FALSE(ParseSectorsPerRead("256", error));
    EXPECT_EQ(ParseSectorsPerRead("255", error), 255);
}

TEST(DriveInfo, LinesFromCapabilities) {
    svtest::UseRussianMessages();
    std::array<std::uint8_t, 26> caps{};
    caps[13] = 0x01;  // CD-DA
    caps[10] = 0x01 | 0x08 | 0x20;  // CD-R, DVD-ROM, DVD-RAM
    caps[11] = 0x02 | 0x04;  // CD-RW write, test write
    caps[12] = 0x40;  // multisession
    caps[14] = 0x08;  // eject
    caps[20] = 0x08;
    caps[21] = 0x00;  // 2048 kB
    const auto lines = DriveInfoLines("VENDOR  PRODUCT NAME    ", caps, "Да", "Нет");
    // The longest label, "Чтение мультисессионых CD" (25 characters), sets the colon column.
    const std::vector<std::string> want = {
        "Привод: VENDOR  PRODUCT NAME    ",
        "",
        "Чтение CD-DA             : Да",
        "Чтение CD-R              : Да",
        "Чтение CD-RW             : Нет",
        "Чтение мультисессионых CD: Да",
        "Чтение DVD-ROM           : Да",
        "Чтение DVD-R             : Нет",
        "Чтение DVD-RAM           : Да",
        "",
        "Запись CD-R              : Нет",
        "Запись CD-RW             : Да",
        "Запись DVD-R             : Нет",
        "Запись DVD-RAM           : Нет",
        "",
        "Тестовая запись          : Да",
        "Воспроизв. звука         : Нет",
        "Возможность блокировки   : Нет",
        "Извлечение дисков        : Да",
        "",
        "Размер буфера            : 2048 Kb",
    };
    EXPECT_EQ(lines, want);
    EXPECT_EQ(DriveInfoText({"a", "", "b"}), "a\n\nb");

    // The virtual drive's own page reads back through the drive object.
    auto rig = cdtest::MakeRig(MakeDemoDisc());
    std::array<std::uint8_t, 26> fromDrive{};
    ASSERT_TRUE(rig->cdrom->Capabilities(fromDrive));
    const auto driveLines = DriveInfoLines("d", fromDrive, "Yes", "No");
    EXPECT_EQ(driveLines[2], "Чтение CD-DA             : Yes");
    EXPECT_EQ(driveLines[20], "Размер буфера            : 2048 Kb");
}

}  // namespace
