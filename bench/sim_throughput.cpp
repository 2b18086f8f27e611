// How fast the simulated programmer runs, and what its virtual clock says the
// same work takes on hardware: a 32 KiB static RAM written byte by byte and
// read back in 1 KiB blocks through a small bench design, contact polls
// through the engine, and design loads.
#include <chrono>
#include <cstdio>
#include <vector>

#include "engine/ep3.h"
#include "engine/prompts.h"
#include "sim/programmer.h"

namespace {

using namespace quilla;
using namespace quilla::sim;
using namespace quilla::proto;

// A 62256-style static RAM in a 28-pin DIP.
class BenchRam : public Chip {
public:
    static constexpr int Addr[15] = {10, 9, 8, 7, 6, 5, 4, 3, 25, 24, 21, 23, 2, 26, 1};
    static constexpr int Data[8] = {11, 12, 13, 15, 16, 17, 18, 19};
    static constexpr int Ce = 20, Oe = 22, We = 27;

    BenchRam() : mem_(32768, 0xFF) {}
    std::string Name() const override { return "bench RAM"; }
    int PinCount() const override { return 28; }
    std::vector<int> GroundPins() const override { return {14}; }
    std::vector<int> VccPins() const override { return {28}; }
    void OnPinsChanged(ChipPins& pins) override {
        const bool selected = !pins.High(Ce);
        const bool we = selected && !pins.High(We);
        const std::uint32_t a = pins.ReadBus(Addr);
        if (weLow_ && !we) mem_[a] = static_cast<std::uint8_t>(pins.ReadBus(Data));  // write on the rising edge
        weLow_ = we;
        if (selected && !we && !pins.High(Oe)) pins.DriveBus(Data, mem_[a]);
        else pins.ReleaseBus(Data);
    }
    std::span<const std::uint8_t> Contents() const override { return mem_; }

private:
    std::vector<std::uint8_t> mem_;
    bool weLow_ = false;
};

// The socket pins of the RAM at the standard position, and the design's address counter.
class BenchDesign : public Design {
public:
    static constexpr std::string_view TagName = "benchram";
    std::string_view Tag() const override { return TagName; }

    static int S(int chipPin) { return Placement::Dip(28).SocketPinOf(chipPin); }
    BenchDesign() {
        for (int i = 0; i < 15; ++i) addr_[i] = S(BenchRam::Addr[i]);
        for (int i = 0; i < 8; ++i) data_[i] = S(BenchRam::Data[i]);
    }
    void OnLoaded(DesignContext& ctx) override {
        ctx.Drive(S(BenchRam::Ce), false);
        ctx.Drive(S(BenchRam::We), true);
        ctx.Drive(S(BenchRam::Oe), true);
    }
    void OnLatch(DesignContext& ctx, int k, std::uint8_t v) override {
        if (k == 1) SetAddress(ctx, (address_ & ~0xFFu) | v);
        if (k == 3) SetAddress(ctx, (address_ & 0xFFu) | static_cast<std::uint32_t>(v) << 8);
        if (k == 2) ctx.DriveBus(data_, v);
    }
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t>,
                 std::span<const std::uint8_t>) override {
        switch (op) {
            case OpBusWrite:
                ctx.DriveBus(data_, ctx.Latch(2));
                ctx.Drive(S(BenchRam::We), false);
                ctx.Elapse(100);   // the write pulse: the chip sees WE low for 100 ns
                ctx.Drive(S(BenchRam::We), true);
                return true;
            case OpAddrInc:
                SetAddress(ctx, address_ + 1);
                return true;
            case OpRead1K: {
                ctx.ReleaseBus(data_);
                ctx.Drive(S(BenchRam::Oe), false);
                std::uint8_t* out = ctx.Block(Read1KSize);
                for (int i = 0; i < Read1KSize; ++i) {
                    out[i] = static_cast<std::uint8_t>(ctx.ReadBus(data_));
                    SetAddress(ctx, address_ + 1);
                }
                ctx.Drive(S(BenchRam::Oe), true);
                return true;
            }
            default:
                return false;
        }
    }

private:
    void SetAddress(DesignContext& ctx, std::uint32_t a) {
        address_ = a & 0x7FFF;
        ctx.DriveBus(addr_, address_);
    }
    int addr_[15]{};
    int data_[8]{};
    std::uint32_t address_ = 0;
};

struct NoPrompts : Prompts {
    int Message(const std::string&, const std::string&, MsgKind, int buttons) override {
        return buttons & BtnYes ? BtnYes : BtnOk;
    }
    void Beep() override {}
};

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void LoadTag(UsbLink& link, const std::string& tag) {
    link.UsbPut4(OpSystem, SysDesignStart, 0, 0);
    link.UsbFlush();
    std::vector<std::uint8_t> data(DesignDataBytes, 0);
    data[0] = 0xFF;
    const std::string t = "QSIM design=" + tag;
    std::copy(t.begin(), t.end(), data.begin() + 1);
    link.UsbPut4(OpSystem, SysDesignData, 0, 0);
    for (auto b : data) link.UsbPut1(b);
    link.UsbFlush();
    link.UsbPut4(OpSystem, SysDesignEnd, 0, 0);
    link.UsbFlush();
    link.UsbReadReply();
}

}  // namespace

int main() {
    DesignRegistry registry;
    RegisterBuiltinDesigns(registry);
    registry.Add<BenchDesign>();

    // ---- 32 KiB written byte by byte, read back in 1 KiB blocks -------------------------
    {
        Programmer sim(ModelConfig::For("vex520"), &registry);
        sim.Log().SetEnabled(false);
        sim.SeatChip(std::make_unique<BenchRam>());
        UsbLink link(&sim);
        LoadTag(link, "benchram");
        std::vector<std::uint8_t> image(32768);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));

        const auto t0 = std::chrono::steady_clock::now();
        const Nanos v0 = sim.Now();
        for (int block = 0; block < 32; ++block) {
            link.UsbPut2(OpLatch0 + 1, 0);
            link.UsbPut2(OpLatch0 + 3, static_cast<std::uint8_t>(block * 4));
            for (int i = 0; i < 1024; ++i) {
                link.UsbPut2(OpLatch0 + 2, image[static_cast<std::size_t>(block * 1024 + i)]);
                link.UsbPut1(OpBusWrite);
                link.UsbPut1(OpWaitPulse);
                link.UsbPut1(OpAddrInc);
            }
            link.UsbFlush();
        }
        const double writeHost = Seconds(t0);
        const Nanos writeVirtual = sim.Now() - v0;

        const auto t1 = std::chrono::steady_clock::now();
        const Nanos v1 = sim.Now();
        std::vector<std::uint8_t> back(image.size());
        for (int block = 0; block < 32; ++block) {
            link.UsbPut2(OpLatch0 + 1, 0);
            link.UsbPut2(OpLatch0 + 3, static_cast<std::uint8_t>(block * 4));
            link.UsbPut1(OpRead1K);
            link.UsbFlush();
            link.UsbRead(back.data() + block * 1024, 1024);
        }
        const double readHost = Seconds(t1);
        const Nanos readVirtual = sim.Now() - v1;
        const auto chipMem = sim.GetChip()->Contents();
        const bool same = back == image && std::equal(image.begin(), image.end(), chipMem.begin());

        std::printf("write 32 KiB: %.3f s host, %llu commands (%.1f M/s), virtual %.3f s\n", writeHost,
                    static_cast<unsigned long long>(sim.GetCounters().commands),
                    static_cast<double>(sim.GetCounters().commands) / writeHost / 1e6,
                    static_cast<double>(writeVirtual) / 1e9);
        std::printf("read 32 KiB:  %.3f s host, virtual %.3f s; contents %s; violations %zu\n", readHost,
                    static_cast<double>(readVirtual) / 1e9, same ? "match" : "DIFFER", sim.Violations().size());
    }

    // ---- contact polls through the engine --------------------------------------------------
    {
        Programmer sim(ModelConfig::For("vex520"));
        sim.SeatChip(PassiveChip::Dip(28));
        NoPrompts prompts;
        Options options;
        TEp3 ep3(prompts, options, &sim);
        const int polls = 2000;
        const auto t0 = std::chrono::steady_clock::now();
        int good = 0;
        for (int i = 0; i < polls; ++i) good += ep3.CheckPinContact(20, 0, 0xFFFFFFC0u, 0x3u, 0) == 1;
        const double host = Seconds(t0);
        std::printf("contact test: %d in %.3f s host (%.1f us each), virtual %.1f ms each, %d passed\n", polls, host,
                    host / polls * 1e6, static_cast<double>(sim.Now()) / polls / 1e6, good);
    }

    // ---- design loads ------------------------------------------------------------------------------
    {
        Programmer sim(ModelConfig::For("vex520"));
        UsbLink link(&sim);
        const int loads = 20000;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < loads; ++i) LoadTag(link, "chkpin");
        const double host = Seconds(t0);
        std::printf("design load (1 data packet): %d in %.3f s host, virtual %.2f ms each\n", loads, host,
                    static_cast<double>(sim.Now()) / loads / 1e6);
    }
    return 0;
}
