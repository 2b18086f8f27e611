// A small host for the simulated programmer's tests: the real command queue
// (packet rule included) plus the few sequences the tests repeat.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/protocol.h"
#include "engine/usbqueue.h"
#include "sim/programmer.h"

namespace quilla::sim::test {

using Bytes = std::vector<std::uint8_t>;

struct Host {
    explicit Host(Programmer& p) : sim(p), link(&p) {}

    // A system command in a transfer of its own.
    void Sys(std::uint8_t s, std::uint8_t v, std::uint8_t x = 0) {
        link.UsbFlush();
        link.UsbPut4(proto::OpSystem, s, v, x);
        link.UsbFlush();
    }
    // 0x07, flush, one 64-byte read; the bytes that came.
    Bytes Reply() {
        link.UsbPut1(proto::OpReply);
        link.UsbFlush();
        return Read(proto::ReplySize);
    }
    Bytes Read(int n) {
        Bytes b(static_cast<std::size_t>(n));
        const int got = sim.BulkRead(b.data(), n);
        b.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        return b;
    }
    // Raw bytes as one OUT transfer.
    int Raw(const Bytes& b) { return sim.BulkWrite(b.data(), static_cast<int>(b.size())); }

    // One contact poll as the engine's contact test runs it, with the test
    // supply (VCC, or VPP for vpp = true) on `testPin`; returns the 48 bits.
    std::uint64_t ContactPoll(int testPin, bool vpp = false) {
        Sys(proto::SysGndPin, 0);
        Sys(proto::SysVppPin, 0);
        Sys(proto::SysVccPin, 0);
        link.UsbPut3(proto::OpWriteReg, proto::RegContactEnable, proto::ContactEnableOn);
        link.UsbFlush();
        link.UsbPut3(proto::OpWriteReg, proto::RegContactMode, proto::ContactModeOn);
        link.UsbFlush();
        Sys(vpp ? proto::SysVppPin : proto::SysVccPin, static_cast<std::uint8_t>(testPin));
        for (int r = proto::RegContactFirst; r <= proto::RegContactLast; ++r)
            link.UsbPut2(proto::OpReadReg, static_cast<std::uint8_t>(r));
        Bytes rep = Reply();
        Sys(proto::SysVppPin, 0);
        Sys(proto::SysVccPin, 0);
        link.UsbPut3(proto::OpWriteReg, proto::RegContactMode, 0);
        link.UsbFlush();
        link.UsbPut3(proto::OpWriteReg, proto::RegContactEnable, 0);
        link.UsbFlush();
        std::uint64_t bits = 0;
        for (int j = 0; j < 6 && j < static_cast<int>(rep.size()); ++j)
            bits |= static_cast<std::uint64_t>(rep[static_cast<std::size_t>(j)]) << (8 * j);
        return bits;
    }

    Programmer& sim;
    UsbLink link;
};

// The design data of a tag as a loader sends it: 0xFF, the tag, zeros.
inline Bytes DesignData(const std::string& tag, std::size_t size = 240) {
    Bytes d(size, 0);
    d[0] = 0xFF;
    const std::string t = "QSIM design=" + tag;
    std::copy(t.begin(), t.end(), d.begin() + 1);
    return d;
}

// Start, packets of 0E 22 00 00 + 60 bytes, end, reply byte 0 (or -1 when no reply came).
inline int Load(Host& h, const Bytes& data) {
    using namespace proto;
    h.Sys(SysDesignStart, 0);
    for (std::size_t off = 0; off < data.size(); off += DesignDataBytes) {
        Bytes pkt{OpSystem, SysDesignData, 0, 0};
        for (std::size_t i = 0; i < DesignDataBytes; ++i) pkt.push_back(off + i < data.size() ? data[off + i] : 0);
        h.Raw(pkt);
    }
    h.Sys(SysDesignEnd, 0);
    Bytes r = h.Reply();
    return r.size() == 64 ? r[0] : -1;
}

// Bits of socket pins lo..hi (bit k-1 = pin k), as the contact bytes hold them.
constexpr std::uint64_t PinRange(int lo, int hi) {
    std::uint64_t b = 0;
    for (int p = lo; p <= hi; ++p) b |= std::uint64_t{1} << (p - 1);
    return b;
}
constexpr std::uint64_t PinBit(int p) { return std::uint64_t{1} << (p - 1); }

}  // namespace quilla::sim::test
