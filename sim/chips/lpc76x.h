// The Philips 87LPC76x one-time-programmable 80C51 parts (P87LPC760, 761,
// 762, 764, 767, 768, 769) in their programming mode. No public description of
// their serial programming protocol was found: the command codes are the
// programmer's (the form's code table), the link's timing and bit order the
// "lp76x" design's; what the documents give is kept strict (supplies, pins,
// the signature, the configuration word, the user code area).
//
//   seating   by the placement diagrams: 20 pins on pad rows 6-15, 16 pins on
//             7-14, 14 pins on 8-14 (chip pin 1 on the row's left pad, the right
//             side counting back), so RST meets socket 9, VSS 10, VDD 30, the
//             programming clock 31 and data 32 in every package
//   entry     VDD 4.5-5.5 V, VSS grounded, VPP from a supply on RST: 10.5-11.5 V
//             (the form's 10.8 V; the sheets' programming figure was not at hand)
//   frames    bytes shifted in on the data pin, bit 7 first, taken at the clock's
//             rising edge; after code 4 the next eight clocks shift the byte out
//             (the chip drives the data pin, changing it at the falling edges)
//   codes     8 v / 10 v: address low / high byte; 6: next address; 4: read the
//             byte at the address; 2 v: load the byte to program; 12: start
//             programming it; 14: end programming: the byte programs (EPROM
//             cells, 1 -> 0 only) when 12 and 14 are at least 15 us apart
//   map       code 0..size-1, signature 0xFC30 (0x15) and 0xFC31, user code
//             0xFCE0-0xFCFF, configuration word 0xFD00 (low) and 0xFD01 (high);
//             other addresses read 0xFF and take nothing
//   security  configuration bits 14 and 15 programmed (0): code reads answer
//             0xFF and the code takes no more programming (ours)
//   ratings   any pin 7.0 V, RST 13.0 V
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

struct Lpc76xPart {
    std::string name;
    int pins;             // 14, 16 or 20
    std::uint32_t size;
    std::uint8_t device;  // the signature byte at 0xFC31 (the model's)
};

class Lpc76xChip : public Chip {
public:
    explicit Lpc76xChip(Lpc76xPart part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return part_.pins; }
    std::vector<int> GroundPins() const override { return {vss_}; }
    std::vector<int> VccPins() const override { return {vdd_}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;
    std::span<const std::uint8_t> Contents() const override { return code_; }
    std::span<std::uint8_t> MutableContents() override { return code_; }

    std::uint16_t ConfigWord() const { return static_cast<std::uint16_t>(cfg_[0] | (cfg_[1] << 8)); }
    const std::vector<std::uint8_t>& UserCode() const { return user_; }
    std::vector<std::uint8_t>& MutableUserCode() { return user_; }

    // The chip pins the placement puts on socket 9 (RST), 10, 30, 31 and 32.
    static std::vector<int> SocketPins(int pinCount);

private:
    std::uint8_t ReadAt(std::uint32_t a) const;
    void ProgramAt(std::uint32_t a, std::uint8_t v);
    void Frame(std::uint8_t v);
    void Reset();

    Lpc76xPart part_;
    int rst_, vss_, vdd_, clk_, dat_;
    std::vector<std::uint8_t> code_, user_;
    std::uint8_t cfg_[2] = {0xFF, 0xFF};
    bool active_ = false, clockHigh_ = false;
    std::uint8_t shift_ = 0;
    int bits_ = 0;
    int expect_ = 0;  // the code waiting for its data frame (2, 8, 10), else 0
    std::uint32_t address_ = 0;
    std::uint8_t load_ = 0xFF;
    bool programming_ = false;
    Nanos programTime_ = 0;
    int outBits_ = 0;  // bits of the output byte still to shift
    std::uint8_t out_ = 0;
};

SeatedPart MakeLpc76x(std::string_view name);
void RegisterLpc76x(ChipRegistry& registry);

}  // namespace quilla::sim
