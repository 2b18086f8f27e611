#include "sim/chips/spi25.h"

#include <algorithm>
#include <cstdio>

namespace quilla::sim {

namespace {
constexpr int kCs = 1, kSo = 2, kWp = 3, kSi = 5, kSck = 6, kHold = 7;
}  // namespace

namespace {
std::string OpcodeText(std::uint8_t op) {
    char t[24];
    std::snprintf(t, sizeof t, "instruction %02Xh", static_cast<unsigned>(op));
    return t;
}
}  // namespace

const std::vector<Spi25Part>& Spi25Parts() {
    static const std::vector<Spi25Part> parts = {
        {"AT25080", 1024, 2, 32, 18, 55, 70, 5 * Millisecond, 0, 0, 0, 0, 0x8C, false, false, 0, 0, 0, 0},
        {"AT25256", 32768, 2, 64, 18, 55, 70, 5 * Millisecond, 0, 0, 0, 0, 0x8C, false, false, 0, 0, 0, 0},
        {"AT25512", 65536, 2, 128, 18, 55, 70, 5 * Millisecond, 0, 0, 0, 0, 0x8C, false, false, 0, 0, 0, 0},
        {"25LC1024", 131072, 3, 256, 25, 55, 65, 6 * Millisecond, 0xC7, 10 * Millisecond, 0xAB, 0x29, 0x8C, false,
         false, 0, 0, 0, 0},
        // X5045: write cycle 5 ms typical, 10 ms maximum; the form waits 10 ms after each
        // byte and after the status write, so the model takes the maximum.
        {"X5045", 512, 1, 16, 45, 55, 70, 10 * Millisecond, 0, 0, 0, 0, 0x3C, true, false, 0, 0, 0, 0},
        // writeCycle: the status write only (not in the sheet text at hand; the series' 5 ms).
        {"AT25F512A", 65536, 3, 128, 27, 36, 50, 5 * Millisecond, 0x62, 2000 * Millisecond, 0, 0, 0x84, false, true,
         75 * Microsecond, 32768, 1000 * Millisecond, 0x1F65},
    };
    return parts;
}

const Spi25Part* FindSpi25Part(std::string_view name) {
    for (const auto& p : Spi25Parts())
        if (name == p.name) return &p;
    return nullptr;
}

Spi25Eeprom::Spi25Eeprom(const Spi25Part& part)
    : SerialMemoryChip(part.name, part.size, 4, 8, part.absMax), part_(part) {}

void Spi25Eeprom::Reset(ChipPins& pins) {
    if (soDriven_) pins.Release(kSo);
    soDriven_ = false;
    bits_ = 0;
    op_ = Op::None;
    pageData_.clear();
}

bool Spi25Eeprom::Protected(int address) const {
    const int bp = (status_ >> 2) & 0x03;
    if (bp == 0) return false;
    if (part_.flash) return true;  // BP0 guards the whole array
    const int from = bp == 1 ? part_.size - part_.size / 4 : bp == 2 ? part_.size / 2 : 0;
    return Mask(address) >= from;
}

void Spi25Eeprom::OnPinsChanged(ChipPins& pins) {
    const bool powered = PoweredAt(pins, part_.vccMin, part_.vccMax) != 0;
    if (!powered) {
        if (powered_) {
            Reset(pins);
            selected_ = false;
            busy_ = 0;  // the cycle is lost
            cycle_ = Cycle::None;
            status_ = static_cast<std::uint8_t>(status_ & part_.statusBits);  // WEL is volatile
        }
        powered_ = false;
        return;
    }
    powered_ = true;
    const bool selected = !pins.High(kCs);
    const bool sck = pins.High(kSck);
    if (selected && !selected_) {
        selected_ = true;
        bits_ = 0;
        op_ = Op::None;
        sck_ = sck;
        return;
    }
    if (!selected) {
        if (selected_) EndInstruction(pins);
        selected_ = false;
        sck_ = sck;
        return;
    }
    if (!part_.x5045 && !pins.High(kHold)) {
        sck_ = sck;
        return;
    }
    const bool rising = sck && !sck_, falling = !sck && sck_;
    sck_ = sck;
    if (rising) {
        shift_ = static_cast<std::uint8_t>((shift_ << 1) | (pins.High(kSi) ? 1 : 0));
        if (++bits_ % 8 == 0) TakeByte(shift_);
    }
    if (falling && (op_ == Op::Read || op_ == Op::Rdsr || op_ == Op::Id || op_ == Op::Jedec) && addressLeft_ == 0) {
        const int k = bits_ % 8;
        if (k == 0) out_ = NextOut();
        pins.Drive(kSo, ((out_ >> (7 - k)) & 1u) != 0);
        soDriven_ = true;
    }
}

std::uint8_t Spi25Eeprom::NextOut() {
    switch (op_) {
        case Op::Read: {
            const std::uint8_t v = cells_[static_cast<std::size_t>(address_)];
            address_ = Mask(address_ + 1);
            return v;
        }
        case Op::Rdsr: return Status();
        case Op::Id: return part_.signature;
        case Op::Jedec: {
            const int k = jedecOut_++;
            return k == 0 ? static_cast<std::uint8_t>(part_.jedecId >> 8)
                   : k == 1 ? static_cast<std::uint8_t>(part_.jedecId & 0xFF)
                            : std::uint8_t{0xFF};
        }
        default: return 0xFF;
    }
}

void Spi25Eeprom::TakeByte(std::uint8_t b) {
    if (bits_ == 8) {
        opcode_ = b;
        address_ = 0;
        addressLeft_ = 0;
        if (b == 0x05) {
            op_ = Op::Rdsr;
            return;
        }
        if (busy_ > 0) {  // only RDSR answers during a write cycle
            op_ = Op::Ignore;
            NoteRefusal(0, OpcodeText(b) + " during a write cycle: ignored");
            return;
        }
        if (part_.x5045 && (b == 0x0B || b == 0x0A)) {
            address_ = 1;  // A8 in bit 3 of the instruction
            b = static_cast<std::uint8_t>(b & ~0x08);
        }
        switch (b) {
            case 0x03: op_ = Op::Read; addressLeft_ = part_.addressBytes; break;
            case 0x02: op_ = Op::Write; addressLeft_ = part_.addressBytes; break;
            case 0x01: op_ = Op::Wrsr; wrsrData_ = false; break;
            case 0x52:
                if (part_.flash) {
                    op_ = Op::SectorErase;
                    addressLeft_ = 3;
                } else {
                    op_ = Op::None;
                }
                break;
            case 0x15:
                op_ = part_.jedecId ? Op::Jedec : Op::None;
                jedecOut_ = 0;
                break;
            default:
                if (part_.idOpcode && b == part_.idOpcode) {
                    op_ = Op::Id;
                    addressLeft_ = 3;
                } else {
                    op_ = Op::None;  // WREN, WRDI, erase: act when /CS rises
                }
        }
        return;
    }
    if (addressLeft_ > 0) {
        address_ = Mask((address_ << 8) | b);
        --addressLeft_;
        return;
    }
    if (op_ == Op::Write) {
        const int mask = part_.page - 1;
        const int base = address_ & ~mask;
        const int a = base + ((address_ + dataBytes_) & mask);
        ++dataBytes_;
        // Past a page the address rolls over and a later byte takes the place of the earlier one.
        for (auto& d : pageData_)
            if (d.first == a) {
                d.second = b;
                return;
            }
        pageData_.emplace_back(a, b);
    } else if (op_ == Op::Wrsr && !wrsrData_) {
        newStatus_ = b;
        wrsrData_ = true;
    }
}

void Spi25Eeprom::EndInstruction(ChipPins& pins) {
    const bool whole = bits_ > 0 && bits_ % 8 == 0;
    const bool wel = (status_ & 0x02) != 0;
    const Op op = op_;
    const std::uint8_t opcode = opcode_;
    auto data = std::move(pageData_);
    const int bits = bits_;
    Reset(pins);
    dataBytes_ = 0;
    if (op == Op::Ignore) return;  // noted when its opcode came
    if (!whole || busy_ > 0) {
        NoteRefusal(static_cast<std::uint32_t>(address_),
                    busy_ > 0 ? "/CS rose during a write cycle: ignored"
                              : "/CS rose after " + std::to_string(bits) + " bits, not whole bytes: instruction ignored");
        return;
    }
    if (bits == 8 && opcode == 0x06) {
        status_ |= 0x02;
        return;
    }
    if (bits == 8 && opcode == 0x04) {
        status_ &= static_cast<std::uint8_t>(~0x02);
        return;
    }
    if ((op == Op::Write || op == Op::Wrsr || op == Op::SectorErase) && !wel) {
        NoteRefusal(static_cast<std::uint32_t>(address_), "write instruction without WREN (WEL clear): ignored");
        return;
    }
    if (op == Op::Write && wel && bits > 8 + 8 * part_.addressBytes) {
        status_ &= static_cast<std::uint8_t>(~0x02);
        cycleData_.clear();
        for (const auto& d : data) {
            if (!Protected(d.first)) cycleData_.push_back(d);
            else NoteRefusal(static_cast<std::uint32_t>(d.first), "byte in a protected block (BP bits): not written");
        }
        cycle_ = Cycle::Write;
        busy_ = Scaled(part_.flash ? part_.byteProgram * static_cast<Nanos>(data.size()) : part_.writeCycle);
        return;
    }
    if (op == Op::Wrsr && wel && bits == 16) {
        status_ &= static_cast<std::uint8_t>(~0x02);
        if ((status_ & 0x80) && !pins.High(kWp)) {  // WPEN with /WP low: refused
            NoteRefusal(0, "status write with WPEN set and /WP low: refused");
            return;
        }
        cycleStatus_ = static_cast<std::uint8_t>(newStatus_ & part_.statusBits);
        cycle_ = Cycle::Status;
        busy_ = Scaled(part_.writeCycle);
        return;
    }
    if (op == Op::SectorErase && wel && bits == 32) {
        status_ &= static_cast<std::uint8_t>(~0x02);
        const int first = address_ & ~(part_.sector - 1);
        if (Protected(first)) {
            NoteRefusal(static_cast<std::uint32_t>(first), "sector erase in a protected block: ignored");
            return;
        }
        cycleSector_ = first;
        cycle_ = Cycle::SectorErase;
        busy_ = Scaled(part_.sectorErase);
        return;
    }
    if (op == Op::None && bits == 8 && part_.eraseOpcode && opcode == part_.eraseOpcode && wel) {
        status_ &= static_cast<std::uint8_t>(~0x02);
        if (status_ & 0x0C) {  // a protected block: the erase is ignored
            NoteRefusal(0, "chip erase with BP bits set: ignored");
            return;
        }
        cycle_ = Cycle::Erase;
        busy_ = Scaled(part_.eraseTime);
    }
}

void Spi25Eeprom::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (busy_ == 0) return;
    if (dt < busy_) {
        busy_ -= dt;
        return;
    }
    busy_ = 0;
    switch (cycle_) {
        case Cycle::Write:
            for (const auto& [a, v] : cycleData_) {
                auto& cell = cells_[static_cast<std::size_t>(a)];
                cell = part_.flash ? static_cast<std::uint8_t>(cell & v) : v;
            }
            break;
        case Cycle::SectorErase:
            std::fill_n(cells_.begin() + cycleSector_, part_.sector, std::uint8_t{0xFF});
            break;
        case Cycle::Status:
            status_ = static_cast<std::uint8_t>((status_ & ~part_.statusBits) | cycleStatus_);
            break;
        case Cycle::Erase:
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            break;
        case Cycle::None:
            return;
    }
    cycle_ = Cycle::None;
    ++cycles_;
}

void Spi25Eeprom::OnRemoved() {
    powered_ = selected_ = soDriven_ = false;
    busy_ = 0;
    cycle_ = Cycle::None;
    bits_ = 0;
    op_ = Op::None;
    status_ = static_cast<std::uint8_t>(status_ & part_.statusBits);
}

void RegisterSpi25Parts(ChipRegistry& registry) {
    for (const auto& p : Spi25Parts()) {
        const std::string name = p.name;
        registry.Add(name, [name] {
            return SeatedPart{std::make_unique<Spi25Eeprom>(*FindSpi25Part(name)), Placement::Dip(8)};
        });
    }
    // The X5045 in its 14-lead package (X5045V14): /CS 1, SO 2, /WP 6, VSS 7,
    // SI 8, SCK 9, RESET 13, VCC 14 (3-5 and 10-12 not connected), seated from
    // socket 14 as the "x5045dip14" design has it; the model's pins 1-8 are the
    // 8-pin package's, wired to those leads.
    registry.Add("X5045V14", [] {
        return SeatedPart{std::make_unique<Spi25Eeprom>(*FindSpi25Part("X5045")),
                          Placement::Custom("TSSOP14", {14, 15, 19, 20, 21, 22, 26, 27})};
    });
}

}  // namespace quilla::sim
