// Every command block the drive object sends, byte for byte, as the virtual
// drive received it, with its data direction and transfer length, on both
// transports.
#include <gtest/gtest.h>

#include "CdromTestSupport.h"
#include "cdrom/DemoDisc.h"
#include "cdrom/DriveCommands.h"
#include "cdrom/ReadCommands.h"
#include "cdrom/SgIoDevice.h"

using namespace sv;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Sent {
    Bytes cdb;
    ScsiDirection direction;
    std::uint32_t length;
};

Sent Last(cdtest::Rig& rig) {
    const auto log = rig.Drive().Commands();
    EXPECT_FALSE(log.empty());
    if (log.empty()) return {};
    return {log.back().cdb, log.back().direction, log.back().dataLength};
}

class CdbTables : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { rig = cdtest::MakeRig(MakeDemoDisc(), GetParam()); }
    bool Spti() const { return GetParam() == kTransportSpti; }
    std::unique_ptr<cdtest::Rig> rig;
};

TEST_P(CdbTables, DriveControlCommands) {
    TCDROM& cd = *rig->cdrom;
    constexpr auto kIn = ScsiDirection::In, kNone = ScsiDirection::Unspecified, kOut = ScsiDirection::Out;

    EXPECT_TRUE(cd.IsReady());
    auto s = Last(*rig);
    EXPECT_EQ(s.cdb, Bytes(6, 0));
    EXPECT_EQ(s.direction, kNone);

    std::array<std::uint8_t, kInquiryBytes> inquiry{};
    EXPECT_TRUE(cd.Identify(inquiry));
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x12, 0, 0, 0, 96, 0}));
    EXPECT_EQ(s.direction, kIn);
    EXPECT_EQ(s.length, 96u);

    EXPECT_TRUE(cd.IsSuccess(cd.EjectLoad(true)));
    EXPECT_EQ(Last(*rig).cdb, (Bytes{0x1B, 1, 0, 0, 2, 0}));
    EXPECT_TRUE(cd.IsSuccess(cd.EjectLoad(false)));
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x1B, 1, 0, 0, 3, 0}));
    EXPECT_EQ(s.direction, kNone);

    cd.LockTray(true);
    EXPECT_EQ(Last(*rig).cdb, (Bytes{0x1E, 0, 0, 0, static_cast<std::uint8_t>(Spti() ? 3 : 1), 0}));
    EXPECT_TRUE(rig->Drive().Locked());
    cd.LockTray(false);
    EXPECT_EQ(Last(*rig).cdb, (Bytes{0x1E, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(rig->Drive().Locked());

    EXPECT_TRUE(cd.IsSuccess(cd.Seek(0x001234)));
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x2B, 0, 0x00, 0x00, 0x12, 0x34, 0, 0, 0, 0}));
    EXPECT_EQ(s.direction, kNone);

    Msf pos;
    int audio = 0;
    EXPECT_TRUE(cd.Position(pos, audio));
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x42, 2, 0x40, 1, 0, 0, 0, 0, 24, 0}));
    EXPECT_EQ(s.direction, kIn);
    EXPECT_EQ(s.length, 16u);

    EXPECT_TRUE(cd.IsSuccess(cd.PlayMsf(Msf{0, 2, 0}, Msf{1, 3, 4})));
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x47, 0, 0, 0, 2, 0, 1, 3, 4, 0}));
    EXPECT_EQ(s.direction, kIn);
    EXPECT_EQ(s.length, 0u);

    cd.StopPlay();
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x4E, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(s.direction, kNone);

    std::array<std::uint8_t, kCapabilitiesBytes> caps{};
    EXPECT_TRUE(cd.Capabilities(caps));
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 26, 0}));
    EXPECT_EQ(s.direction, kIn);
    EXPECT_EQ(s.length, Spti() ? 26u : 28u);  // the generic transport passes a 28-byte buffer

    cd.SetSpeed(4);
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0xBB, 0, 0x02, 0xC1, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));  // 705 kB/s
    EXPECT_EQ(s.direction, kNone);
    cd.SetSpeed(255);
    EXPECT_EQ(Last(*rig).cdb, (Bytes{0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig->Drive().SpeedKb(), 0xFFFF);

    EXPECT_EQ(cd.MechanismState(), kMechanismIdle);
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0xBD, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}));
    EXPECT_EQ(s.direction, kNone);
    EXPECT_EQ(s.length, 32u);

    // READ TOC: format 0 in MSF, then the full TOC (format 2) for the sessions.
    TocBuffer toc;
    EXPECT_TRUE(cd.ReadToc(toc));
    const auto log = rig->Drive().Commands();
    ASSERT_GE(log.size(), 2u);
    const auto& toc0 = log[log.size() - 2];
    EXPECT_EQ(toc0.cdb, (Bytes{0x43, 2, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));
    EXPECT_EQ(toc0.direction, kIn);
    EXPECT_EQ(toc0.dataLength, 804u);
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x43, 2, 2, 0, 0, 0, 1, 0x11, 0x34, 0}));  // 4404 bytes from session 1
    EXPECT_EQ(s.length, 4404u);
    EXPECT_TRUE(toc.SessionsKnown());
    EXPECT_EQ(toc.Session(4), 1);

    cd.SetVolume(200);
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x55, 0x10, 0, 0, 0, 0, 0, 0, 24, 0}));
    EXPECT_EQ(s.direction, kOut);
    EXPECT_EQ(s.length, 24u);
    EXPECT_EQ(rig->Drive().VolumeLeft(), 200);
    EXPECT_EQ(rig->Drive().VolumeRight(), 200);

    EXPECT_TRUE(cd.SetCacheMode(true, false));
    s = Last(*rig);
    EXPECT_EQ(s.cdb, (Bytes{0x55, 0x10, 0, 0, 0, 0, 0, 0, 20, 0}));
    EXPECT_EQ(s.direction, kOut);
    EXPECT_EQ(s.length, 20u);
    EXPECT_TRUE(rig->Drive().ReadCacheDisabled());
    EXPECT_FALSE(rig->Drive().WriteCacheEnabled());
}

TEST_P(CdbTables, NineReadCommands) {
    TCDROM& cd = *rig->cdrom;
    const Bytes expected[kReadCommandCount] = {
        {0xBE, 0x04, 0, 0, 0x01, 0x02, 0, 0, 3, 0x10, 0, 0},
        {0xD4, 0, 0, 0, 0x01, 0x02, 0, 0, 3, 0},
        {0xD4, 0, 0, 0, 0x01, 0x02, 0, 0, 0, 3, 0, 0},
        {0xD5, 0, 0, 0, 0x01, 0x02, 0, 0, 3, 0},
        {0xA8, 0, 0, 0, 0x01, 0x02, 0, 0, 0, 3, 0, 0},
        {0xD8, 0, 0, 0, 0x01, 0x02, 0, 0, 0, 3, 0, 0},
        {0x28, 0, 0, 0, 0x01, 0x02, 0, 0, 3, 0},
        {0xBE, 0, 0, 0, 0x01, 0x02, 0, 0, 3, 0xF8, 0, 0},
        {0xBE, 0, 0, 0, 0x01, 0x02, 0, 0, 3, 0x10, 0, 0},
    };
    auto disc = MakeDemoDisc();
    std::vector<std::uint8_t> want(3 * kSectorBytes), got(3 * kSectorBytes);
    for (int i = 0; i < 3; ++i) disc->ReadSector(0x102 + i, want.data() + i * kSectorBytes);
    for (int c = 0; c < kReadCommandCount; ++c) {
        SCOPED_TRACE(c);
        cd.SetReadCommand(c);
        std::fill(got.begin(), got.end(), 0);
        EXPECT_TRUE(cd.ReadSectors(0x102, 3, got.data()));
        const Sent s = Last(*rig);
        EXPECT_EQ(s.cdb, expected[c]);
        EXPECT_EQ(s.direction, ScsiDirection::In);
        EXPECT_EQ(s.length, 3u * 2352u);
        EXPECT_EQ(got, want);
    }
    rig->Drive().ClearCommands();
    cd.SetReadCommand(9);
    EXPECT_FALSE(cd.ReadSectors(0, 1, got.data()));
    EXPECT_TRUE(rig->Drive().Commands().empty());  // no CDB for a command outside 0..8
}

INSTANTIATE_TEST_SUITE_P(BothTransports, CdbTables, ::testing::Values(kTransportSpti, kTransportAspi),
                         [](const ::testing::TestParamInfo<int>& p) { return p.param == kTransportSpti ? "Spti" : "Aspi"; });

TEST(CdbTables, ParameterListsAndSpeeds) {
    const auto audio = AudioControlPage(0x80);
    const std::array<std::uint8_t, 24> wantAudio = {0, 0, 0, 0, 0, 0, 0, 0, 0x0E, 14, 0x04, 0, 0, 0, 0, 0,
                                                    1, 0x80, 2, 0x80, 0, 0, 0, 0};
    EXPECT_EQ(audio, wantAudio);
    const auto cache = CachingPage(true, true);
    const std::array<std::uint8_t, 20> wantCache = {0, 0, 0, 0, 0, 0, 0, 0, 0x08, 10, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(cache, wantCache);
    EXPECT_EQ(CachingPage(false, false)[10], 0);
    EXPECT_EQ(ReadSpeedKb(1), 176);
    EXPECT_EQ(ReadSpeedKb(4), 705);
    EXPECT_EQ(ReadSpeedKb(50), 8820);
    EXPECT_EQ(ReadSpeedKb(255), 0xFFFF);
    EXPECT_EQ(ReadSpeedLabel(4), "4x ( 705 Kbit/s )");
    // A real drive gets time for the commands that work on the disc before answering.
    EXPECT_EQ(SgIoDevice::TimeoutMs(0xA1), 5400000u);  // BLANK
    for (std::uint8_t op : {0x5B, 0x35, 0x54}) EXPECT_EQ(SgIoDevice::TimeoutMs(op), 600000u) << int(op);
    for (std::uint8_t op : {0x00, 0x2A, 0xBE, 0x5D}) EXPECT_EQ(SgIoDevice::TimeoutMs(op), 15000u) << int(op);
}

TEST(CdbTables, ReadCommandShapesAreRecognisedExactly) {
    for (int c = 0; c < kReadCommandCount; ++c) {
        const auto cdb = ReadCdb(c, 1500, 26);
        ASSERT_TRUE(cdb);
        EXPECT_EQ(IdentifyReadCdb(cdb->bytes.data(), cdb->length), c);
        std::int32_t lba = 0;
        int count = 0;
        DecodeReadCdb(c, cdb->bytes.data(), lba, count);
        EXPECT_EQ(lba, 1500);
        EXPECT_EQ(count, 26);
    }
    auto other = *ReadCdb(0, 0, 1);
    other[9] = 0xF0;  // READ CD with another selection is none of the nine
    EXPECT_FALSE(IdentifyReadCdb(other.bytes.data(), other.length));
    EXPECT_FALSE(ReadCdb(-1, 0, 1));
}

}  // namespace
