// The adapter-socket designs: one class, one instance per design file, over the
// board of that design (sim/designs/adapter_boards.h: which socket pins carry
// the chip's address, data and control pins).
//
//   registers 21, 22, 23  the address counter, bits 0-7, 8-15, 16-23, in the
//                         chip's address unit: words on the 16-bit designs,
//                         bytes on the 8-bit ones; the counter stands on the
//                         chip's address pins
//   register 18           n (1..6) drives control line n low, n | 80h high:
//                           1 bus direction (high: the chip drives the data
//                             pins; low: the design drives the data register)
//                           2 CE#, 3 OE#, 4 WE# (the write strobe),
//                           5 RESET#, 6 the command addresses of the stored
//                             cycles: high 555h/2AAh, low 5555h/2AAAh
//                         16 x k + 7 arms stored cycle k for the next strobe of
//                         line 4: 1 AAh at C1, 2 55h at C2, 4 80h at C1, 5 10h
//                         at C1, 7 90h at C1; 0, 3 and 6 write nothing (that
//                         strobe stays off WE#); after the strobe the counter
//                         and the data register are back on the pins
//   line 4 low, then high a write cycle: the data register at the counter, or
//                         the armed stored cycle
//   0x45 lo hi            the data register (the low byte on 8-bit designs)
//   0x41 n                n x 64 bytes from the counter on (words low byte
//                         first), the counter advancing
//   0x42 lo hi / 0x43 v   (JEDEC designs) AAh at C1, 55h at C2, A0h at C1 and
//                         the word or byte at the counter, then Data# polling
//                         until DQ7 shows the data (at most 20 ms), and the
//                         counter advances
//   0x47 lo hi / 0x48 v   (Intel designs) 40h and the word or byte at the
//                         counter, then the status register polled until SR.7
//                         shows ready (at most 20 ms), and the counter advances
//   (EPROM designs and intel48tsop16, the designs the 16-bit EPROM form loads)
//   0x46                  steps the counter by one
//   0x37                  1,024 bytes from the counter on, each word read with
//                         CE# and OE# low by the design itself, the counter
//                         advancing
//   register 18 := 25 ... 9  a cycle of latch 0 on the design's latch path:
//                         the control lines 2 and 4 driven between the two
//                         stay inside the design (an EPROM has no command
//                         register, so the cycle never reaches CE# or PGM#);
//                         at 9 the chip pins are as they were at 25
//   (page designs: mx1611sop44, the part in byte mode with BYTE# low, DQ15 as A-1
//   the counter's lowest bit; stored cycles at AAAAh/5554h)
//   0x0C hi lo + 32 bytes the bytes into the page buffer from (hi lo) - 1B40h on
//                         (128 bytes)
//   0x43 v                the data register (a strobe of line 4 writes it, 0x49
//                         takes it as page byte 0)
//   0x49 n                AA 55 A0 at AAAAh/5554h, then n + 1 bytes from the
//                         counter on: the data register, then buffer bytes 0 to
//                         n - 1; Data# polling on the last byte until DQ7 shows
//                         its data (at most 20 ms); the counter advances by n + 1
// The 16-bit designs keep BYTE# high (word mode); a board with WP# holds it low
// (block lock-down honoured; intel48tsop16).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/design.h"
#include "sim/designs/adapter_boards.h"

namespace quilla::sim {

struct AdapterDesignKind {
    enum class Program { Jedec, Intel, Eprom, Page };
    const char* tag;
    int width;  // 16 or 8
    Program program = Program::Jedec;
};

// The adapter designs this simulator implements.
const std::vector<AdapterDesignKind>& AdapterDesignKinds();
void RegisterAdapterDesigns(DesignRegistry& registry);

class AdapterDesign : public Design {
public:
    AdapterDesign(const AdapterDesignKind& kind, const AdapterBoard& board);
    std::string_view Tag() const override { return kind_.tag; }

    void OnLoaded(DesignContext& ctx) override;
    void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) override;
    bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                 std::span<const std::uint8_t> payload) override;

    std::uint32_t Counter() const { return counter_; }

private:
    struct Cycle {
        bool set = false;
        std::uint32_t address = 0;
        std::uint16_t data = 0;
    };
    Cycle Stored(int k) const;
    std::uint32_t C1() const { return lines_[6] ? 0x555 : 0x5555; }
    std::uint32_t C2() const { return lines_[6] ? 0x2AA : 0x2AAA; }
    void Line(DesignContext& ctx, int n, bool high);
    void DriveAddress(DesignContext& ctx, std::uint32_t a);
    void DriveData(DesignContext& ctx, std::uint16_t v);
    void DataToLine1(DesignContext& ctx);
    void GiveBack(DesignContext& ctx);
    void WriteCycle(DesignContext& ctx, std::uint32_t address, std::uint16_t data);
    std::uint16_t ReadAt(DesignContext& ctx, std::uint32_t address);
    void Program(DesignContext& ctx, std::uint16_t value);
    void ProgramIntel(DesignContext& ctx, std::uint16_t value);
    void ProgramPage(DesignContext& ctx, int n);
    bool EpromOps() const;
    void DrivePin(DesignContext& ctx, int pin, bool high) {
        if (pin) ctx.Drive(pin, high);
    }

    const AdapterDesignKind& kind_;
    std::vector<int> address_, data_;
    int ce_, oe_, we_, reset_, byte_, wp_;
    std::array<bool, 8> lines_{};
    unsigned set_ = 0;
    std::uint32_t counter_ = 0;
    std::uint16_t register_ = 0xFFFF;
    int armed_ = -1;     // the stored cycle armed for the next strobe (-1: none)
    bool swallow_ = false;  // the strobe under way reaches no pin
    Cycle pending_;  // the stored cycle on the pins while line 4 is low
    std::array<std::uint8_t, 128> buffer_{};
    bool hold_ = false;  // the latched cycle: lines 2 and 4 stay off the chip
    bool heldCe_ = true, heldWe_ = true;
};

}  // namespace quilla::sim
