#include <gtest/gtest.h>

#include <random>

#include "engine/fatal.h"
#include "engine/protocol.h"
#include "engine/usbqueue.h"
#include "support/param_names.h"
#include "support/recording_transport.h"

using namespace quilla;
using quilla::test::Bytes;
using quilla::test::RecordingTransport;

namespace {

struct PutCase {
    int startCount;
    int n;  // command length
    int expectedFillers;
};

class PacketRule : public ::testing::TestWithParam<PutCase> {};

TEST_P(PacketRule, FillersKeepEveryCommandInsideOnePacket) {
    const PutCase c = GetParam();
    RecordingTransport t;
    UsbLink link(&t);
    for (int i = 0; i < c.startCount; ++i) link.UsbPut1(0x18);
    switch (c.n) {
        case 1: link.UsbPut1(0xA1); break;
        case 2: link.UsbPut2(0xA1, 0xA2); break;
        case 3: link.UsbPut3(0xA1, 0xA2, 0xA3); break;
        case 4: link.UsbPut4(0xA1, 0xA2, 0xA3, 0xA4); break;
    }
    ASSERT_EQ(link.UsbCmdCount, c.startCount + c.expectedFillers + c.n);
    for (int i = 0; i < c.expectedFillers; ++i)
        EXPECT_EQ(link.UsbCmdQueue[static_cast<std::size_t>(c.startCount + i)], 0x00);
    const int at = c.startCount + c.expectedFillers;
    for (int i = 0; i < c.n; ++i)
        EXPECT_EQ(link.UsbCmdQueue[static_cast<std::size_t>(at + i)], 0xA1 + i);
    EXPECT_EQ(at / 64, (at + c.n - 1) / 64) << "command crosses a packet";
}

INSTANTIATE_TEST_SUITE_P(Cases, PacketRule,
                         ::testing::Values(PutCase{63, 2, 1},   // 00 op a at 63..65, count 66
                                           PutCase{62, 2, 0},
                                           PutCase{61, 4, 3},   // command at 64..67
                                           PutCase{60, 4, 0},   // ends exactly at 63
                                           PutCase{62, 3, 2},
                                           PutCase{63, 3, 1},
                                           PutCase{61, 3, 0},
                                           PutCase{63, 1, 0},
                                           PutCase{127, 1, 0},
                                           PutCase{127, 2, 1},
                                           PutCase{0, 4, 0}),
                         quilla::test::CaseName([](const auto& c) {
                             return "at " + std::to_string(c.startCount) + " length " + std::to_string(c.n);
                         }));

TEST(UsbQueue, RandomPutsNeverCrossAPacketBoundary) {
    RecordingTransport t;
    UsbLink link(&t);
    std::mt19937 rng(12345);
    std::vector<std::pair<int, int>> starts;  // (offset in stream, length)
    long streamOffset = 0;
    for (int round = 0; round < 40; ++round) {
        int puts = static_cast<int>(rng() % 2000);
        for (int i = 0; i < puts; ++i) {
            int n = 1 + static_cast<int>(rng() % 4);
            int before = link.UsbCmdCount;
            switch (n) {
                case 1: link.UsbPut1(0x18); break;
                case 2: link.UsbPut2(0x08, 5); break;
                case 3: link.UsbPut3(0x0A, 18, 3); break;
                case 4: link.UsbPut4(0x0E, 25, 15, 0); break;
            }
            int start = link.UsbCmdCount - n;
            ASSERT_GE(start, before);
            starts.emplace_back(static_cast<int>(streamOffset + start), n);
        }
        streamOffset += link.UsbCmdCount;
        link.UsbFlush();
        EXPECT_EQ(link.UsbCmdCount, 0);
    }
    // Every transfer starts a packet, so stream offsets within each transfer are
    // what counts; the recorded transfers keep that alignment.
    long off = 0;
    std::vector<long> transferStarts;
    for (auto& w : t.writes) {
        transferStarts.push_back(off);
        off += static_cast<long>(w.size());
    }
    ASSERT_EQ(off, streamOffset);
    for (auto [s, n] : starts) {
        auto it = std::upper_bound(transferStarts.begin(), transferStarts.end(), s) - 1;
        long rel = s - *it;
        EXPECT_EQ(rel / 64, (rel + n - 1) / 64);
    }
}

TEST(UsbQueue, FlushSendsExactlyTheQueueInOneTransfer) {
    RecordingTransport t;
    UsbLink link(&t);
    link.UsbFlush();
    EXPECT_TRUE(t.writes.empty()) << "an empty flush makes no transfer";

    link.UsbPut2(0x08, 5);
    link.UsbPut1(0x1B);
    link.UsbFlush();
    ASSERT_EQ(t.writes.size(), 1u);
    EXPECT_EQ(t.writes[0], (Bytes{0x08, 5, 0x1B}));
    EXPECT_EQ(link.UsbCmdCount, 0);
}

TEST(UsbQueue, BytesLeftByAnAbandonedOperationGoWithTheNextFlush) {
    RecordingTransport t;
    UsbLink link(&t);
    link.UsbPut4(0x0E, 25, 15, 0);  // queued, never flushed by its caller
    link.UsbPut2(0x09, 7);
    link.UsbFlush();
    ASSERT_EQ(t.writes.size(), 1u);
    EXPECT_EQ(t.writes[0], (Bytes{0x0E, 25, 15, 0, 0x09, 7}));
}

TEST(UsbQueue, AQueueAbove65535IsNeverSent) {
    RecordingTransport t;
    UsbLink link(&t);
    for (int i = 0; i < 65536; ++i) link.UsbPut1(0x18);
    EXPECT_EQ(link.UsbCmdCount, 65536);
    link.UsbFlush();
    EXPECT_TRUE(t.writes.empty());
    EXPECT_EQ(link.UsbCmdCount, 65536);
}

TEST(UsbQueue, FullQueueSwitchesSuppliesOffThenEndsWithUsbBufferFill) {
    RecordingTransport t;
    UsbLink link(&t);
    for (int i = 0; i < 65533; ++i) link.UsbPut1(0x18);
    FatalIntercept intercept;
    try {
        link.UsbPut4(0x0E, 25, 15, 0);  // would need three fillers past the end
        FAIL() << "no fatal end";
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "usb buffer fill!");
        EXPECT_EQ(e.status, 1);
    }
    // Nothing of the full queue went out; only the power-off did.
    const std::vector<Bytes> powerOff = {{0x0E, 18, 0, 0}, {0x1B}, {0x0E, 20, 0, 0},
                                         {0x0E, 19, 0, 0}, {0x1B}, {0x0E, 21, 0, 0}, {0x1B}};
    EXPECT_EQ(t.writes, powerOff);
    EXPECT_EQ(link.UsbCmdCount, 0) << "the queue is dropped";
}

TEST(UsbQueue, PutAtTheVeryEndFitsExactly) {
    RecordingTransport t;
    UsbLink link(&t);
    for (int i = 0; i < 65532; ++i) link.UsbPut1(0x18);
    link.UsbPut4(0x0E, 25, 15, 0);  // 65532 % 64 == 60: no filler, ends at 65535
    EXPECT_EQ(link.UsbCmdCount, 65536);
    FatalIntercept intercept;
    EXPECT_THROW(link.UsbPut1(0x18), FatalExit);
}

TEST(UsbQueue, FullQueueAfterALostLinkSendsNothing) {
    RecordingTransport t;
    UsbLink link(&t);
    t.failNextWrites = 1;
    link.UsbPut1(0x18);
    link.UsbFlush();  // fails: the link is gone
    for (int i = 0; i < 65536; ++i) link.UsbPut1(0x18);
    FatalIntercept intercept;
    EXPECT_THROW(link.UsbPut1(0x18), FatalExit);
    EXPECT_TRUE(t.writes.empty());
}

struct ReadCase {
    const char* name;
    int replyBytes;
    bool block;
    const char* message;  // nullptr: no fatal end
};

class ReplyReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReplyReads, WrongSizesEndTheProgram) {
    const ReadCase c = GetParam();
    RecordingTransport t;
    UsbLink link(&t);
    Bytes r(static_cast<std::size_t>(c.replyBytes), 0x5A);
    t.replies.push_back(r);
    FatalIntercept intercept;
    try {
        std::uint8_t b0 = c.block ? link.UsbReadBlock() : link.UsbReadReply();
        ASSERT_EQ(c.message, nullptr) << "expected a fatal end";
        EXPECT_EQ(b0, 0x5A);
        EXPECT_EQ(t.writes.back().back(), c.block ? 0x20 : 0x07);
    } catch (const FatalExit& e) {
        ASSERT_NE(c.message, nullptr) << e.message;
        EXPECT_EQ(e.message, c.message);
        EXPECT_EQ(e.status, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplyReads,
                         ::testing::Values(ReadCase{"reply64", 64, false, nullptr},
                                           ReadCase{"reply63", 63, false, "Read USB bad!"},
                                           ReadCase{"reply0", 0, false, "Read USB bad!"},
                                           ReadCase{"block256", 256, true, nullptr},
                                           ReadCase{"block255", 255, true, "Read bad"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UsbQueue, ShortKnownSizeBlockIsABrokenLink) {
    RecordingTransport t;
    UsbLink link(&t);
    t.replies.push_back(Bytes(1000, 0));
    std::vector<std::uint8_t> buf(1024);
    FatalIntercept intercept;
    try {
        link.UsbReadExact(buf.data(), 1024);
        FAIL();
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "Read bad");
    }
}

TEST(UsbQueue, FailedOutTransferEndsTheNextReplyRead) {
    RecordingTransport t;
    UsbLink link(&t);
    t.failNextWrites = 1;
    link.UsbPut2(0x08, 3);
    link.UsbFlush();
    EXPECT_TRUE(link.OutFailed());
    FatalIntercept intercept;
    try {
        link.UsbReadReply();
        FAIL();
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "Read USB bad!");
    }
}

TEST(UsbQueue, FailedOutTransferEndsTheNextCheckedBlockRead) {
    RecordingTransport t;
    UsbLink link(&t);
    t.failNextWrites = 1;
    link.UsbPut1(0x27);
    link.UsbFlush();
    std::vector<std::uint8_t> buf(1024);
    FatalIntercept intercept;
    EXPECT_THROW(link.UsbReadExact(buf.data(), 1024), FatalExit);
    EXPECT_TRUE(t.readSizes.empty()) << "stale bytes are never read";
}

// A transient failure must not let later commands run on a programmer whose
// state missed the lost ones (ground onto a pin whose VPP was never released).
TEST(UsbQueue, AfterAFailedOutTransferNothingMoreIsSentUntilAReadNoticesIt) {
    RecordingTransport t;
    UsbLink link(&t);
    t.failNextWrites = 1;
    link.UsbPut4(0x0E, 20, 0, 0);
    link.UsbFlush();  // lost
    link.UsbPut4(0x0E, 22, 20, 0);
    link.UsbFlush();  // would run: dropped instead
    EXPECT_TRUE(t.writes.empty());
    EXPECT_EQ(link.UsbCmdCount, 0);
    std::uint8_t buf[64];
    EXPECT_EQ(link.UsbTryRead(buf, 64), 0);  // noticed (not fatal here), cleared
    link.UsbPut1(0x07);
    link.UsbFlush();
    EXPECT_EQ(t.writes.size(), 1u);
}

TEST(UsbQueue, ASuccessNeedsEverySentTransferDelivered) {
    RecordingTransport t;
    UsbLink link(&t);
    link.UsbPut2(0x08, 3);
    link.RequireDelivered();  // sends what is queued; all went out
    EXPECT_EQ(t.writes.size(), 1u);
    t.failNextWrites = 1;
    link.UsbPut2(0x08, 4);
    FatalIntercept intercept;
    try {
        link.RequireDelivered();
        FAIL();
    } catch (const FatalExit& e) {
        EXPECT_EQ(e.message, "Read USB bad!");
    }
}

TEST(UsbQueue, NonFatalTryReadCountsAFailedOutAsAFailedTryAndClearsIt) {
    RecordingTransport t;
    UsbLink link(&t);
    t.failNextWrites = 1;
    link.UsbPut1(0x07);
    link.UsbFlush();
    std::uint8_t buf[64];
    EXPECT_EQ(link.UsbTryRead(buf, 64), 0);
    EXPECT_FALSE(link.OutFailed());
    EXPECT_EQ(link.UsbTryRead(buf, 64), 64);
}

TEST(UsbQueue, TwoReplyRequestsInARowEachBring64Bytes) {
    RecordingTransport t;
    UsbLink link(&t);
    link.UsbReadReply();
    link.UsbReadReply();
    EXPECT_EQ(t.readSizes, (std::vector<int>{64, 64}));
}

TEST(Protocol, ArgumentCountsOfThePayloadAndSystemCommands) {
    using namespace proto;
    EXPECT_EQ(CommandLength(OpSystem), 4);
    EXPECT_EQ(PayloadBytes(OpSystem, SysDesignData), 60);
    EXPECT_EQ(CommandLength(OpPageBufferLoad) + PayloadBytes(OpPageBufferLoad, 0), 35);
    EXPECT_EQ(CommandLength(OpPicWriteWord), 4);
    EXPECT_EQ(ArgCount(0xFF), -1);
    EXPECT_EQ(MilliVoltsToWire(12700), 127);
    EXPECT_EQ(MilliVoltsToWire(5), 0);
    EXPECT_FALSE(IsSystemSubCommand(28));
    EXPECT_FALSE(IsSystemSubCommand(30));
    EXPECT_TRUE(IsSystemSubCommand(29));
}

}  // namespace

namespace {

// The page-buffer load (3 bytes + 32 payload bytes) stays whole inside one
// packet: fillers go in front when it would not fit, and the walk of the
// stream finds it with its payload.
class PayloadRule : public ::testing::TestWithParam<int> {};

TEST_P(PayloadRule, APayloadCommandNeverCrossesAPacket) {
    const int start = GetParam();
    RecordingTransport t;
    UsbLink link(&t);
    for (int i = 0; i < start; ++i) link.UsbPut1(proto::OpAddrInc);
    std::uint8_t page[proto::PageBufferBytes];
    for (int i = 0; i < proto::PageBufferBytes; ++i) page[i] = static_cast<std::uint8_t>(0xC0 + i);
    link.UsbPutPayload(proto::OpPageBufferLoad, 1, 0x20, page);
    const int at = link.UsbCmdCount - 35;
    EXPECT_EQ(at / 64, (link.UsbCmdCount - 1) / 64) << "payload command crosses a packet";
    const int fillers = (start % 64) + 35 > 64 ? 64 - start % 64 : 0;
    EXPECT_EQ(at, start + fillers);
    EXPECT_EQ(link.UsbCmdQueue[static_cast<std::size_t>(at)], proto::OpPageBufferLoad);
    EXPECT_EQ(link.UsbCmdQueue[static_cast<std::size_t>(at + 2)], 0x20);
    EXPECT_EQ(link.UsbCmdQueue[static_cast<std::size_t>(at + 3 + 31)], 0xC0 + 31);
}

INSTANTIATE_TEST_SUITE_P(Starts, PayloadRule, ::testing::Values(0, 29, 30, 63, 64),
                         quilla::test::CaseName([](int s) { return "at " + std::to_string(s); }));

// The adapter page-buffer load goes as the only content of its transfer: what was queued
// before it leaves first, in a transfer of its own.
TEST(PageLoad, SendsTheLoadAloneAfterWhatWasQueued) {
    RecordingTransport t;
    UsbLink link(&t);
    std::uint8_t page[proto::PageBufferBytes];
    for (int i = 0; i < proto::PageBufferBytes; ++i) page[i] = static_cast<std::uint8_t>(0x40 + i);
    link.UsbPut3(proto::OpWriteReg, proto::RegAddr0, 0x12);
    link.UsbSendPageLoad(0x1B, 0x60, page);
    link.UsbSendPageLoad(0x1B, 0x80, page);
    ASSERT_EQ(t.writes.size(), 3u);
    EXPECT_EQ(t.writes[0], (Bytes{proto::OpWriteReg, proto::RegAddr0, 0x12}));
    for (std::size_t k : {1u, 2u}) {
        ASSERT_EQ(t.writes[k].size(), 35u);
        EXPECT_EQ(t.writes[k][0], proto::OpPageBufferLoad);
        EXPECT_EQ(t.writes[k][1], 0x1B);
        EXPECT_EQ(t.writes[k][34], 0x40 + 31);
    }
    EXPECT_EQ(t.writes[2][2], 0x80);
    EXPECT_EQ(link.UsbCmdCount, 0);
}

}  // namespace
