#include <gtest/gtest.h>

#include <vector>

#include "engine/protocol.h"
#include "engine/stream.h"
#include "engine/usbqueue.h"
#include "support/recording_transport.h"

using namespace quilla;
using namespace quilla::proto;

namespace {

struct Seen {
    std::vector<std::uint8_t> bytes;  // opcode + arguments
    std::vector<std::uint8_t> payload;
    int offset;
};

std::vector<Seen> Walk(const std::vector<std::uint8_t>& data) {
    std::vector<Seen> out;
    ForEachCommand(data.data(), static_cast<int>(data.size()), [&out](const StreamCommand& c) {
        out.push_back({{c.bytes, c.bytes + c.length}, {c.Payload(), c.Payload() + c.payloadLength}, c.offset});
    });
    return out;
}

TEST(Stream, PayloadBytesAreSkippedAndHandedOverWithTheirCommand) {
    std::vector<std::uint8_t> d;
    d.insert(d.end(), {OpSystem, SysDesignData, 0, 0});
    // Design data made of opcode-like bytes: none may be walked as a command.
    for (int i = 0; i < DesignDataBytes; ++i) d.push_back(OpPinHigh);
    d.insert(d.end(), {OpPageBufferLoad, 0x12, 0x34});
    for (int i = 0; i < PageBufferBytes; ++i) d.push_back(OpSystem);
    d.push_back(OpAddrInc);

    const auto seen = Walk(d);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].bytes, (std::vector<std::uint8_t>{OpSystem, SysDesignData, 0, 0}));
    EXPECT_EQ(seen[0].payload, std::vector<std::uint8_t>(DesignDataBytes, OpPinHigh));
    // The second packet starts with the page-buffer load.
    EXPECT_EQ(seen[1].bytes, (std::vector<std::uint8_t>{OpPageBufferLoad, 0x12, 0x34}));
    EXPECT_EQ(seen[1].offset, 0);
    EXPECT_EQ(seen[1].payload, std::vector<std::uint8_t>(PageBufferBytes, OpSystem));
    EXPECT_EQ(seen[2].bytes, std::vector<std::uint8_t>{OpAddrInc});
    EXPECT_EQ(seen[2].offset, 3 + PageBufferBytes);
}

TEST(Stream, FillersAtAPacketEndKeepTheNextPacketInStep) {
    // The queue pads a packet with fillers when a command would not fit.
    test::RecordingTransport t;
    UsbLink link(&t);
    for (int i = 0; i < PacketSize - 2; ++i) link.UsbPut1(OpAddrInc);
    link.UsbPut4(OpSystem, SysVppLevel, 125, 0);
    link.UsbPut2(OpPinLow, 16);
    link.UsbFlush();
    std::vector<std::uint8_t> out;
    for (const auto& w : t.writes) out.insert(out.end(), w.begin(), w.end());
    ASSERT_EQ(out.size(), static_cast<std::size_t>(PacketSize + 6));

    const auto seen = Walk(out);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(PacketSize + 2));
    EXPECT_EQ(seen[PacketSize - 2].bytes, std::vector<std::uint8_t>{OpNop});
    EXPECT_EQ(seen[PacketSize - 1].bytes, std::vector<std::uint8_t>{OpNop});
    EXPECT_EQ(seen[PacketSize].bytes, (std::vector<std::uint8_t>{OpSystem, SysVppLevel, 125, 0}));
    EXPECT_EQ(seen[PacketSize].offset, 0);
    EXPECT_EQ(seen[PacketSize + 1].bytes, (std::vector<std::uint8_t>{OpPinLow, 16}));
}

struct StopCase {
    const char* name;
    std::vector<std::uint8_t> packet;
    StreamStop stop;
    int walked;      // whole commands before the stop
    int stopOffset;
};

class StreamStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(StreamStops, AFaultEndsOnlyItsOwnPacket) {
    const StopCase& c = GetParam();
    std::vector<std::uint8_t> packet = c.packet;
    int walked = 0, at = -1;
    EXPECT_EQ(ForEachCommandInPacket(packet.data(), static_cast<int>(packet.size()),
                                     [&walked](const StreamCommand&) { ++walked; }, &at),
              c.stop);
    EXPECT_EQ(walked, c.walked);
    EXPECT_EQ(at, c.stopOffset);

    // At the end of a whole packet (fillers in front) and followed by another:
    // the next packet is walked from its first byte.
    if (c.stop != StreamStop::End) {
        const int fillers = PacketSize - static_cast<int>(packet.size());
        std::vector<std::uint8_t> d(static_cast<std::size_t>(fillers), OpNop);
        d.insert(d.end(), packet.begin(), packet.end());
        d.insert(d.end(), {OpPinLow, 7});
        const auto seen = Walk(d);
        ASSERT_EQ(seen.size(), static_cast<std::size_t>(fillers + c.walked + 1));
        EXPECT_EQ(seen.back().bytes, (std::vector<std::uint8_t>{OpPinLow, 7}));
        EXPECT_EQ(seen.back().offset, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamStops,
    ::testing::Values(StopCase{"Whole", {OpPinHigh, 3, OpNop, OpAddrInc}, StreamStop::End, 3, 4},
                      StopCase{"UnknownOpcode", {OpPinHigh, 3, 0xFF, OpAddrInc}, StreamStop::UnknownOpcode, 1, 2},
                      StopCase{"CommandCut", {OpAddrInc, OpSystem, SysVppLevel}, StreamStop::CommandCut, 1, 1},
                      StopCase{"PayloadCut", {OpPageBufferLoad, 0, 0, 1, 2}, StreamStop::PayloadCut, 0, 0}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

}  // namespace
