// The status window's buttons: programmer identification, serial code, OS info.
#include <sys/utsname.h>

#include "ep3_fixture.h"
#include "support/param_names.h"

using namespace quilla;
using namespace quilla::test;

namespace {

Bytes Text(const std::string& s, std::size_t size = 64) {
    Bytes b(size, 0);
    std::copy(s.begin(), s.end(), b.begin());
    return b;
}

TEST_F(EngineTest, ProgrammerShowsTheModelText) {
    Edit4Log log;
    ep3.StatusWin = &log;
    usb.replies.push_back(Text("vex520"));
    ep3.typeClick();
    EXPECT_EQ(ep3.Edit4, "vex520");
    EXPECT_EQ(log.texts, (std::vector<std::string>{"", "vex520"}));
    EXPECT_EQ(usb.writes, (std::vector<Bytes>{{0x0E, 17, 0, 0}, {0x07}}));
    EXPECT_EQ(usb.readSizes, (std::vector<int>{64}));
}

TEST_F(EngineTest, ProgrammerTextIsAtMostSixteenCharacters) {
    usb.replies.push_back(Text("vex640ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    EXPECT_EQ(ep3.ReadProgrammerId(), 1);
    EXPECT_EQ(ep3.Edit4, "vex640ABCDEFGHIJ");
    EXPECT_EQ(ep3.UsbReplyBuf[16], 0);
}

TEST_F(EngineTest, ProgrammerShortReadIsNotFatal) {
    usb.replies.push_back(Text("vex520", 10));
    EXPECT_EQ(ep3.ReadProgrammerId(), 0);
    EXPECT_EQ(ep3.Edit4, "Link error..");
}

TEST_F(EngineTest, ProgrammerWithoutAProgrammer) {
    usb.failWrites = true;  // nothing attached: every transfer fails
    usb.replies.push_back(Text("vex520"));
    ep3.typeClick();
    EXPECT_EQ(ep3.Edit4, "Link error..");
    // The failure was consumed: the next exchange may succeed.
    usb.failWrites = false;
    ep3.typeClick();
    EXPECT_EQ(ep3.Edit4, "vex520");
}

TEST_F(EngineTest, ProgrammerWithNoTransportAtAll) {
    TEp3 lone(prompts, options, nullptr);
    lone.typeClick();
    EXPECT_EQ(lone.Edit4, "Link error..");
}

struct SerialCase {
    Bytes reply;
    std::string shown;
};

class SerialCode : public EngineTest, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(SerialCode, BytesZeroToThreeLittleEndianPlusTen) {
    usb.QueueReply(GetParam().reply);
    ep3.SNClick();
    EXPECT_EQ(ep3.Edit4, GetParam().shown);
    Bytes captures;
    for (int i = 0; i < 24; ++i) {
        captures.push_back(0x3E);
        captures.push_back(static_cast<std::uint8_t>(i));
    }
    captures.push_back(0x07);
    EXPECT_EQ(usb.writes, std::vector<Bytes>{captures});
}

INSTANTIATE_TEST_SUITE_P(Values, SerialCode,
                         ::testing::Values(SerialCase{{0x78, 0x56, 0x34, 0x12, 0x99}, "12345682"},
                                           SerialCase{{0, 0, 0, 0}, "000a"},
                                           SerialCase{{0xF6, 0x0F}, "1000"},
                                           SerialCase{{0xF8, 0xFF, 0xFF, 0xFF}, "0002"}),
                         quilla::test::CaseName([](const auto& c) { return c.shown; }));

TEST_F(EngineTest, SerialCodeShortReplyIsFatal) {
    usb.replies.push_back(Bytes(5, 0));
    EXPECT_THROW(ep3.SNClick(), FatalExit);
}

struct OsCase {
    const char* release;
    const char* head;
};

class OsInfo : public ::testing::TestWithParam<OsCase> {};

TEST_P(OsInfo, KernelReleaseInFourNumbers) {
    EXPECT_EQ(FormatOsInfo("Linux", GetParam().release, "#45-Ubuntu SMP"),
              std::string(GetParam().head) + "Linux #45-Ubuntu SMP");
}

INSTANTIATE_TEST_SUITE_P(Releases, OsInfo,
                         ::testing::Values(OsCase{"6.8.0-45-generic", "6.8.0.45."},
                                           OsCase{"5.15.0", "5.15.0.0."},
                                           OsCase{"5.10.102.1-microsoft-standard-WSL2", "5.10.102.1."},
                                           OsCase{"6.1.0-rc3", "6.1.0.0."},
                                           OsCase{"4.19", "4.19.0.0."},
                                           OsCase{"6.6.13+bpo-amd64", "6.6.13.0."},
                                           OsCase{"", "0.0.0.0."}),
                         quilla::test::CaseName([](const auto& c) { return std::string(c.release); }));

TEST_F(EngineTest, OsInfoButtonUsesTheRunningKernel) {
    struct utsname u;
    ASSERT_EQ(uname(&u), 0);
    ep3.Button1Click();
    EXPECT_EQ(ep3.Edit4, FormatOsInfo(u.sysname, u.release, u.version));
    EXPECT_NE(ep3.Edit4.find(u.sysname), std::string::npos);
    EXPECT_TRUE(usb.writes.empty());
}

}  // namespace
