#include "sim/chips/eprom16.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths kVccMin = 45, kVccMax = 65, kProgVccMin = 47;  // read 4.5 V; program from 4.75 V
constexpr Tenths kIdMin = 115, kIdMax = 125;

std::vector<Eprom16Part> BuildParts() {
    // AMD Am27C1024 (64K x 16), Am27C2048 (128K x 16): programming with 12.75 V +-0.25 V on
    // VPP and CE# and PGM# low; Am27C4096 (256K x 16): the same window, CE#/PGM# the pulse.
    // Flashrite 100 us pulses at VCC 6.25 V. Manufacturer code 01h.
    return {
        {"AM27C1024", &Dip40EpromPinout(true), 64 * 1024, 0x01, 0x8C, 125, 130},
        {"AM27C2048", &Dip40EpromPinout(true), 128 * 1024, 0x01, 0x98, 125, 130},
        {"AM27C4096", &Dip40EpromPinout(false), 256 * 1024, 0x01, 0x1D, 125, 130},
        // The same parts in the 44-pin PLCC (I27CX rows 4 and 5).
        {"AM27C1024*P44", &Plcc44EpromPinout(true), 64 * 1024, 0x01, 0x8C, 125, 130},
        {"AM27C2048*P44", &Plcc44EpromPinout(true), 128 * 1024, 0x01, 0x98, 125, 130},
        {"AM27C4096*P44", &Plcc44EpromPinout(false), 256 * 1024, 0x01, 0x1D, 125, 130},
    };
}

}  // namespace

const std::vector<Eprom16Part>& Eprom16Parts() {
    static const std::vector<Eprom16Part> parts = BuildParts();
    return parts;
}

const Eprom16Part* FindEprom16Part(std::string_view name) { return FindPartByName(Eprom16Parts(), name); }

Eprom16::Eprom16(const Eprom16Part& part) : FlashPinoutChip(part, static_cast<std::size_t>(part.words) * 2) {}

AbsoluteMaximum Eprom16::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    const auto& po = *part_.pinout;
    r.pins = {{po.address[9], 135}, {po.vpp, 140}};
    r.vppAfterVcc = {po.vpp};
    return r;
}

bool Eprom16::Programming(ChipPins& pins) const {
    const auto& po = *part_.pinout;
    const Tenths vpp = pins.SupplyVoltage(po.vpp);
    if (vpp < part_.vppMin || vpp > part_.vppMax) return false;
    if (pins.SupplyVoltage(po.vcc[0]) < kProgVccMin) return false;
    if (!pins.High(po.oe) || pins.High(po.ce)) return false;
    return po.we == 0 || !pins.High(po.we);  // PGM# low on the PGM# parts
}

void Eprom16::OnPinsChanged(ChipPins& pins) {
    const auto& po = *part_.pinout;
    const Tenths vcc = pins.SupplyVoltage(po.vcc[0]);
    bool grounded = true;
    for (int p : po.gnd) grounded = grounded && pins.Grounded(p);
    powered_ = grounded && vcc >= kVccMin && vcc <= kVccMax;
    if (!powered_) {
        pulse_ = false;
        for (int p : po.data) pins.Release(p);
        return;
    }
    const std::uint32_t a = pins.ReadBus(po.address) % part_.words;
    const bool pulse = Programming(pins);
    if (pulse) {
        const std::uint16_t d = static_cast<std::uint16_t>(pins.ReadBus(po.data));
        if (!pulse_ || a != addr_ || d != data_) {
            // A new address or data: the time starts again (the same word keeps its sum).
            if (a != addr_ || d != data_) {
                held_ = 0;
                done_ = false;
            }
            addr_ = a;
            data_ = d;
        }
    }
    pulse_ = pulse;
    const bool read = !pins.High(po.ce) && !pins.High(po.oe);
    if (!read) {
        for (int p : po.data) pins.Release(p);
        return;
    }
    std::uint16_t v;
    const Tenths a9 = pins.SupplyVoltage(po.address[9]);
    if (a9 >= kIdMin && a9 <= kIdMax) {
        v = pins.High(po.address[0]) ? part_.dev : part_.mfr;
    } else {
        v = static_cast<std::uint16_t>(cells_[2 * a] | (cells_[2 * a + 1] << 8));
    }
    pins.DriveBus(po.data, v);
}

void Eprom16::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!powered_ || !pulse_ || done_) return;
    held_ += dt;
    if (static_cast<double>(held_) < static_cast<double>(kMinProgram) * SlowFactor()) return;
    done_ = true;
    cells_[2 * addr_] &= static_cast<std::uint8_t>(data_);
    cells_[2 * addr_ + 1] &= static_cast<std::uint8_t>(data_ >> 8);
    ++programmed_;
}

SeatedPart MakeEprom16(std::string_view name) { return SeatOnAdapter<Eprom16>(FindEprom16Part(name), name); }

void RegisterEprom16(ChipRegistry& registry) { RegisterPartsByName(registry, Eprom16Parts(), &MakeEprom16); }

}  // namespace quilla::sim
