// What the 8-pin serial memory models share: the part's name, one ground and
// one VCC pin, an array of bytes (blank: all ones), one absolute maximum rating
// for every pin, the write cycles they complete, the power test and their busy
// times scaled by the slow factor.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/byte_blocks.h"
#include "sim/chip.h"

namespace quilla::sim {

class SerialMemoryChip : public Chip {
public:
    SerialMemoryChip(std::string name, int bytes, int vss, int vcc, Tenths absMax)
        : cells_(static_cast<std::size_t>(bytes), 0xFF), name_(std::move(name)), vss_(vss), vcc_(vcc), absMax_(absMax) {}

    std::string Name() const override { return name_; }
    int PinCount() const override { return 8; }
    std::vector<int> GroundPins() const override { return {vss_}; }
    std::vector<int> VccPins() const override { return {vcc_}; }
    AbsoluteMaximum Ratings() const override {
        AbsoluteMaximum r;
        r.anyPin = absMax_;
        return r;
    }
    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    // Write cycles completed (tests: what a form got written).
    int Cycles() const { return cycles_; }

protected:
    // The VCC supply's level when it lies in [min, max] and VSS stands at 0 V, else 0.
    Tenths PoweredAt(ChipPins& pins, Tenths min, Tenths max) const {
        const Tenths v = pins.SupplyVoltage(vcc_);
        return pins.Grounded(vss_) && v >= min && v <= max ? v : 0;
    }
    // A busy time times the slow factor, at least 1 ns.
    Nanos Scaled(Nanos t) const {
        const auto n = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
        return n == 0 ? 1 : n;
    }

    RecycledBytes cells_;
    int cycles_ = 0;

private:
    std::string name_;
    int vss_, vcc_;
    Tenths absMax_;
};

}  // namespace quilla::sim
