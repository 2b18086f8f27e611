#include "sim/chips/i2c.h"

namespace quilla::sim {

namespace {

constexpr Tenths kAbsMax = 70;

I2cPart At24(const char* name, int size, int addressBytes, int blockBits, int page) {
    return {name, size, addressBytes, blockBits, page, 18, 55, 5 * Millisecond};
}

std::vector<I2cPart> BuildParts() {
    return {At24("24C01A", 128, 1, 0, 8),       At24("24C02", 256, 1, 0, 8),
            At24("24C04", 512, 1, 1, 16),       At24("24C08", 1024, 1, 2, 16),
            At24("24C16", 2048, 1, 3, 16),      At24("24C32", 4096, 2, 0, 32),
            At24("24C64", 8192, 2, 0, 32),      At24("24C128", 16384, 2, 0, 64),
            At24("24C256", 32768, 2, 0, 64),    At24("24C512", 65536, 2, 0, 128),
            At24("24C1024", 131072, 2, 1, 256), {"X24C01", 128, 0, 0, 4, 45, 55, 5 * Millisecond}};
}

}  // namespace

const std::vector<I2cPart>& I2cParts() {
    static const std::vector<I2cPart> parts = BuildParts();
    return parts;
}

const I2cPart* FindI2cPart(std::string_view name) {
    for (const auto& p : I2cParts())
        if (name == p.name) return &p;
    return nullptr;
}

I2cEeprom::I2cEeprom(const I2cPart& part) : SerialMemoryChip(part.name, part.size, VSS, VCC, kAbsMax), part_(part) {}

void I2cEeprom::Reset(ChipPins& pins) {
    powered_ = false;
    phase_ = Phase::Idle;
    pending_.clear();
    writing_.clear();
    busy_ = 0;
    pins.Release(SDA);
}

void I2cEeprom::OnRemoved() {
    powered_ = false;
    phase_ = Phase::Idle;
    pending_.clear();
    writing_.clear();
    busy_ = 0;
}

void I2cEeprom::OnPinsChanged(ChipPins& pins) {
    if (PoweredAt(pins, part_.vccMin, part_.vccMax) == 0) {
        if (powered_) Reset(pins);
        return;
    }
    const bool scl = pins.High(SCL), sda = pins.High(SDA);
    if (!powered_) {
        powered_ = true;
        phase_ = Phase::Idle;
    } else if (!Busy()) {
        if (scl && lastScl_ && sda != lastSda_) {
            if (sda) OnStop(pins);
            else OnStart(pins);
        } else if (scl && !lastScl_) {
            OnRise(sda);
        } else if (!scl && lastScl_) {
            OnFall(pins);
        }
    }
    lastScl_ = scl;
    lastSda_ = pins.High(SDA);  // after the chip's own drive
}

void I2cEeprom::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!powered_ || busy_ == 0) return;
    busy_ -= std::min(busy_, dt);
    if (busy_ > 0) return;
    for (const auto& [a, v] : writing_) cells_[static_cast<std::size_t>(a)] = v;
    writing_.clear();
    ++cycles_;
}

void I2cEeprom::OnStart(ChipPins& pins) {
    pending_.clear();  // a page not ended by STOP is dropped
    pins.Release(SDA);
    phase_ = Phase::Receive;
    next_ = Next::Device;
    shift_ = 0;
    bits_ = 0;
}

void I2cEeprom::OnStop(ChipPins& pins) {
    pins.Release(SDA);
    const bool protectedArray = part_.addressBytes != 0 && pins.High(WP);
    if (phase_ != Phase::Idle && next_ == Next::Data && !pending_.empty() && !protectedArray) {
        writing_ = std::move(pending_);
        busy_ = Scaled(part_.writeTime);
    }
    pending_.clear();
    phase_ = Phase::Idle;
}

void I2cEeprom::OnRise(bool sda) {
    if (phase_ == Phase::Receive) {
        shift_ = static_cast<std::uint8_t>((shift_ << 1) | (sda ? 1 : 0));
        ++bits_;
    } else if (phase_ == Phase::MasterAck) {
        masterAck_ = !sda;
    }
}

void I2cEeprom::DriveBit(ChipPins& pins) {
    // Open drain: a 0 pulls SDA low, a 1 lets it go.
    if ((out_ >> (7 - bits_)) & 1u) pins.Release(SDA);
    else pins.Drive(SDA, false);
}

void I2cEeprom::OnFall(ChipPins& pins) {
    switch (phase_) {
        case Phase::Idle: return;
        case Phase::Receive:
            if (bits_ < 8) return;
            bits_ = 0;
            if (Take(pins, shift_)) {
                pins.Drive(SDA, false);
                phase_ = Phase::Ack;
            } else {
                phase_ = Phase::Idle;
            }
            shift_ = 0;
            return;
        case Phase::Ack:
            pins.Release(SDA);
            bits_ = 0;
            if (next_ == Next::Read) {
                out_ = cells_[static_cast<std::size_t>(counter_)];
                phase_ = Phase::Transmit;
                DriveBit(pins);
            } else {
                phase_ = Phase::Receive;
            }
            return;
        case Phase::Transmit:
            if (++bits_ < 8) {
                DriveBit(pins);
                return;
            }
            pins.Release(SDA);
            counter_ = (counter_ + 1) & Mask();
            masterAck_ = false;
            phase_ = Phase::MasterAck;
            return;
        case Phase::MasterAck:
            if (!masterAck_) {
                phase_ = Phase::Idle;
                return;
            }
            out_ = cells_[static_cast<std::size_t>(counter_)];
            bits_ = 0;
            phase_ = Phase::Transmit;
            DriveBit(pins);
            return;
    }
}

bool I2cEeprom::Take(ChipPins& pins, std::uint8_t b) {
    auto startPage = [this] {
        pageBase_ = counter_ & ~(part_.page - 1);
        pageOffset_ = counter_ & (part_.page - 1);
        pending_.clear();
    };
    switch (next_) {
        case Next::Device: {
            firstBytes_.push_back(b);
            if (part_.addressBytes == 0) {  // X24C01: (address << 1) | R/W
                counter_ = (b >> 1) & Mask();
                next_ = (b & 1u) ? Next::Read : Next::Data;
                if (next_ == Next::Data) startPage();
                return true;
            }
            if ((b & 0xF0) != 0xA0) return false;
            static constexpr int kAddressPins[3] = {A0, A1, A2};
            for (int k = part_.blockBits; k < 3; ++k)
                if ((((b >> (k + 1)) & 1u) != 0) != pins.High(kAddressPins[k])) return false;
            high_ = (b >> 1) & ((1 << part_.blockBits) - 1);
            next_ = (b & 1u) ? Next::Read : (part_.addressBytes == 2 ? Next::AddressHigh : Next::AddressLow);
            return true;
        }
        case Next::AddressHigh:
            counter_ = b;  // the high byte, completed by the low one
            next_ = Next::AddressLow;
            return true;
        case Next::AddressLow:
            counter_ = (part_.addressBytes == 2 ? (high_ << 16) | (counter_ << 8) | b : (high_ << 8) | b) & Mask();
            next_ = Next::Data;
            startPage();
            return true;
        case Next::Data: {
            const int mask = part_.page - 1;
            pending_.emplace_back(pageBase_ + (pageOffset_ & mask), b);
            ++pageOffset_;
            counter_ = pageBase_ + (pageOffset_ & mask);
            return true;
        }
        case Next::Read: return false;
    }
    return false;
}

SeatedPart MakeI2cEeprom(std::string_view name) {
    const I2cPart* p = FindI2cPart(name);
    if (!p) return {};
    return {std::make_unique<I2cEeprom>(*p), Placement::Dip(8)};
}

void RegisterI2cParts(ChipRegistry& registry) {
    for (const auto& p : I2cParts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakeI2cEeprom(name); });
    }
}

}  // namespace quilla::sim
