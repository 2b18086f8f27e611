// Design loading: header skip, 60-byte packets each in a transfer of its own,
// at most 136, the end reply, and the fatal path of a missing file.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ep3_fixture.h"

using namespace quilla;
using namespace quilla::test;

namespace {

namespace fs = std::filesystem;

class BitFile : public EngineTest {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("quilla-bitfile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "BLib");
        ep3.ProgramDir = dir.string() + "/";
        Connect();
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const Bytes& content) {
        std::ofstream(dir / "BLib" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    }
    // Design data of n bytes starting with 0xFF, then 1, 2, 3...
    static Bytes Data(std::size_t n) {
        Bytes d(n);
        for (std::size_t i = 0; i < n; ++i) d[i] = i == 0 ? 0xFF : static_cast<std::uint8_t>(i % 251);
        return d;
    }
    // The data packets sent (transfers between the start and end commands).
    std::vector<Bytes> Packets() const {
        std::vector<Bytes> p;
        for (const Bytes& w : usb.writes)
            if (w.size() >= 2 && w[0] == 0x0E && w[1] == 34) p.push_back(w);
        return p;
    }
    // Concatenated payload of all data packets.
    Bytes Payload() const {
        Bytes all;
        for (const Bytes& p : Packets()) all.insert(all.end(), p.begin() + 4, p.end());
        return all;
    }
};

TEST_F(BitFile, FramingOfAnAcceptedDesign) {
    Write("vex300.bit", Data(61));
    usb.QueueReply({1});
    ep3.LoadBitFile("vex300.bit");

    ASSERT_EQ(usb.writes.size(), 6u);
    EXPECT_EQ(usb.writes[0], (Bytes{0x0E, 33, 0, 0}));
    for (int i = 1; i <= 2; ++i) {
        ASSERT_EQ(usb.writes[static_cast<std::size_t>(i)].size(), 64u);
        EXPECT_EQ(Bytes(usb.writes[static_cast<std::size_t>(i)].begin(), usb.writes[static_cast<std::size_t>(i)].begin() + 4),
                  (Bytes{0x0E, 34, 0, 0}));
    }
    EXPECT_EQ(usb.writes[3], (Bytes{0x0E, 35, 0, 0}));
    EXPECT_EQ(usb.writes[4], (Bytes{0x07}));
    EXPECT_EQ(usb.writes[5], (Bytes{0x0E, 20, 0, 0}));  // VPP unrouted
    EXPECT_EQ(usb.readSizes, (std::vector<int>{64}));
    EXPECT_EQ(Queued(), Bytes{});
    EXPECT_TRUE(prompts.shown.empty());
}

struct LayoutCase {
    const char* name;
    Bytes file;
    std::size_t expectedStart;  // file offset of the first byte sent
    std::size_t expectedPackets;
};

Bytes HeaderThen(std::size_t headerLen, std::uint8_t headerByte, const Bytes& tail) {
    Bytes f(headerLen, headerByte);
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
}

Bytes Counting(std::size_t n) {
    Bytes d(n);
    for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<std::uint8_t>(1 + i % 200);
    return d;
}

class Layout : public BitFile, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layout, SendsFromTheDataStartInPacketsOfSixty) {
    const LayoutCase& c = GetParam();
    Write("d.bit", c.file);
    usb.QueueReply({1});
    ep3.LoadBitFile("d.bit");

    const auto packets = Packets();
    EXPECT_EQ(packets.size(), c.expectedPackets);
    for (const Bytes& p : packets) EXPECT_EQ(p.size(), 64u);
    const Bytes payload = Payload();
    ASSERT_EQ(payload.size(), c.expectedPackets * 60);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        const std::size_t at = c.expectedStart + i;
        const std::uint8_t want = at < c.file.size() ? c.file[at] : 0x00;
        ASSERT_EQ(payload[i], want) << "payload byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Layout,
    ::testing::Values(
        // A 100-byte header without 0xFF: sending starts at offset 99.
        LayoutCase{"Header100WithoutFF", HeaderThen(100, 'h', Counting(200)), 99, 4},
        // A header that ends in 0xFF data: data starts at the 0xFF.
        LayoutCase{"Header13ThenFF", HeaderThen(13, 'h', Bytes{0xFF, 1, 2, 3}), 13, 1},
        LayoutCase{"Header99ThenFF", HeaderThen(99, 'h', Bytes{0xFF, 1, 2, 3}), 99, 1},
        // A file starting with 0xFF skips nothing.
        LayoutCase{"FirstByteFF", HeaderThen(0, 0, HeaderThen(1, 0xFF, Counting(30))), 0, 1},
        // 120 data bytes: three packets, the third all zeros.
        LayoutCase{"Data120", HeaderThen(5, 'h', HeaderThen(1, 0xFF, Counting(119))), 5, 3},
        // 121 data bytes: three packets, the third with one data byte.
        LayoutCase{"Data121", HeaderThen(5, 'h', HeaderThen(1, 0xFF, Counting(120))), 5, 3},
        LayoutCase{"Data60", HeaderThen(0, 0, HeaderThen(1, 0xFF, Counting(59))), 0, 2},
        LayoutCase{"Data59", HeaderThen(0, 0, HeaderThen(1, 0xFF, Counting(58))), 0, 1},
        // 10,000 data bytes: 136 packets; the rest is not sent.
        LayoutCase{"Data10000", HeaderThen(7, 'h', HeaderThen(1, 0xFF, Counting(9999))), 7, 136},
        LayoutCase{"Data8160", HeaderThen(0, 0, HeaderThen(1, 0xFF, Counting(8159))), 0, 136},
        // A file shorter than the header scan and without 0xFF: the scan stops
        // at the end and steps back one byte.
        LayoutCase{"ShortFileWithoutFF", Counting(10), 9, 1},
        LayoutCase{"EmptyFile", Bytes{}, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BitFile, Data120SendsThirdPacketAllZeros) {
    Write("d.bit", Data(120));
    usb.QueueReply({1});
    ep3.LoadBitFile("d.bit");
    const auto packets = Packets();
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(Bytes(packets[2].begin() + 4, packets[2].end()), Bytes(60, 0));
    EXPECT_EQ(packets[1][63], Data(120)[119]);
}

TEST_F(BitFile, Data121ThirdPacketHoldsOneByte) {
    Bytes d = Data(121);
    d[120] = 0xA5;
    Write("d.bit", d);
    usb.QueueReply({1});
    ep3.LoadBitFile("d.bit");
    const auto packets = Packets();
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[2][4], 0xA5);
    EXPECT_EQ(Bytes(packets[2].begin() + 5, packets[2].end()), Bytes(59, 0));
}

TEST_F(BitFile, ProgramDirWithoutTrailingSlash) {
    ep3.ProgramDir = dir.string();
    Write("x.bit", Data(10));
    usb.QueueReply({1});
    ep3.LoadBitFile("x.bit");
    EXPECT_EQ(Packets().size(), 1u);
}

TEST_F(BitFile, NamesAreCaseSensitive) {
    Write("Atiny12.bit", Data(10));
    EXPECT_THROW(ep3.LoadBitFile("atiny12.bit"), FatalExit);
}

TEST_F(BitFile, RejectedDesignIsReportedAndVppStillUnrouted) {
    Write("d.bit", Data(100));
    usb.QueueReply({0});
    ep3.LoadBitFile("d.bit");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Load bit status error!");
    EXPECT_EQ(prompts.shown[0].buttons, BtnOk);
    EXPECT_EQ(usb.writes.back(), (Bytes{0x0E, 20, 0, 0}));
}

TEST_F(BitFile, AnyNonZeroEndReplyIsAccepted) {
    Write("d.bit", Data(100));
    usb.QueueReply({0x80});
    ep3.LoadBitFile("d.bit");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(BitFile, Vex310OpensNoFile) {
    Connect("vex310 rev2");
    ep3.LoadBitFile("no-such-design.bit");  // missing: no error on a vex310
    EXPECT_TRUE(usb.writes.empty());
    EXPECT_EQ(Queued(), Bytes{});
}

TEST_F(BitFile, NotConnectedSendsNothing) {
    ep3.Connected = 0;
    ep3.LoadBitFile("no-such-design.bit");
    EXPECT_TRUE(usb.writes.empty());
}

TEST_F(BitFile, MissingFileSwitchesSuppliesOffThenEndsTheProgram) {
    ep3.PinHigh(5);  // queued by an earlier step: dropped, never sent
    try {
        ep3.LoadBitFile("vex300.bit");
        FAIL() << "no fatal end";
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "缺文件(bit)!");
        EXPECT_EQ(e.status, 1);
    }
    const std::vector<Bytes> powerOff = {{0x0E, 18, 0, 0}, {0x1B}, {0x0E, 20, 0, 0},
                                         {0x0E, 19, 0, 0}, {0x1B}, {0x0E, 21, 0, 0}, {0x1B}};
    EXPECT_EQ(usb.writes, powerOff);
    EXPECT_TRUE(usb.readSizes.empty());
}

TEST_F(BitFile, ShortEndReplyIsFatal) {
    Write("d.bit", Data(10));
    usb.replies.push_back(Bytes(3, 1));
    try {
        ep3.LoadBitFile("d.bit");
        FAIL() << "no fatal end";
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "Read USB bad!");
    }
}

TEST_F(BitFile, SameDesignTwiceSendsItTwice) {
    Write("d.bit", Data(130));
    usb.QueueReply({1});
    usb.QueueReply({1});
    ep3.LoadBitFile("d.bit");
    const auto first = usb.writes;
    usb.Clear();
    ep3.LoadBitFile("d.bit");
    EXPECT_EQ(usb.writes, first);
}

}  // namespace
