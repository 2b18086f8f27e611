#include "sim/chips/lpc9xx.h"

#include <algorithm>

namespace quilla::sim {

namespace {
int FirstRow(int pins) { return pins == 28 ? 4 : 6; }

// The chip pins of RST, VSS, VDD, P0.5 and P0.4.
struct IcpPins {
    int rst, vss, vdd, pcl, pda;
};
IcpPins PinsOf(int pins) { return pins == 28 ? IcpPins{6, 7, 21, 22, 23} : IcpPins{4, 5, 15, 16, 17}; }
}  // namespace

std::vector<int> Lpc9xxChip::SocketPins(int n) {
    const int f = FirstRow(n);
    std::vector<int> socket(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k)
        socket[static_cast<std::size_t>(k - 1)] = k <= n / 2 ? f + k - 1 : 41 - f - n + k;
    return socket;
}

Lpc9xxChip::Lpc9xxChip(Lpc9xxPart part) : part_(std::move(part)), flash_(part_.size, 0x00) {
    const IcpPins p = PinsOf(part_.pins);
    rst_ = p.rst;
    vss_ = p.vss;
    vdd_ = p.vdd;
    clk_ = p.pcl;
    dat_ = p.pda;
    cfg_[16] = part_.id[0];
    cfg_[17] = part_.id[1];
    cfg_[18] = part_.id[2];
}

AbsoluteMaximum Lpc9xxChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 46;
    return r;
}

void Lpc9xxChip::Reset() {
    icp_ = false;
    pulses_ = 0;
    bits_ = 0;
    shift_ = 0;
    writeReg_ = -1;
    outBits_ = 0;
    command_ = 0xFF;
    dataWritten_ = false;
    busy_ = 0;
    pending_ = Pending::None;  // work still in progress is lost
}

std::uint8_t Lpc9xxChip::ReadRegister(int r) {
    switch (r) {
        case 0: return static_cast<std::uint8_t>(address_ & 0xFF);
        case 1: return static_cast<std::uint8_t>(address_ >> 8);
        case 3: return Busy() ? 0x80 : 0x00;
        default: break;
    }
    if (Busy()) return 0x00;
    if (command_ == 0x80) {
        const std::uint8_t v = address_ < part_.size ? flash_[address_] : 0x00;
        address_ = static_cast<std::uint16_t>(address_ + 1);
        return v;
    }
    if (command_ == 0x6C) return cfgRead_ < static_cast<int>(cfg_.size()) ? cfg_[static_cast<std::size_t>(cfgRead_++)] : 0x00;
    if (command_ == 0x1A) return crcRead_ < 4 ? crc_[crcRead_++] : 0x00;
    return 0x00;
}

void Lpc9xxChip::Start() {
    if (Busy()) {
        NoteRefusal(address_, "command started while the previous one is busy");
        return;
    }
    const Nanos page = static_cast<Nanos>(static_cast<double>(PageTime) * SlowFactor());
    switch (command_) {
        case 0x48:
            pending_ = Pending::Page;
            pendAddr_ = address_;
            busy_ = page;
            break;
        case 0x72:
            pending_ = Pending::Erase;
            busy_ = static_cast<Nanos>(static_cast<double>(EraseTime) * SlowFactor());
            break;
        case 0x6C:
            if (dataWritten_) {
                pending_ = Pending::Config;
                pendAddr_ = static_cast<std::uint16_t>(address_ & 0xFF);
                busy_ = page;
            } else {
                cfgRead_ = address_ & 0xFF;
            }
            break;
        case 0x1A: {
            // A CRC-32 over the flash (the model's polynomial), low byte first.
            std::uint32_t c = 0xFFFFFFFFu;
            for (std::uint8_t b : flash_) {
                c ^= b;
                for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
            }
            c = ~c;
            for (int i = 0; i < 4; ++i) crc_[i] = static_cast<std::uint8_t>(c >> (8 * i));
            crcRead_ = 0;
            busy_ = page;
            break;
        }
        default: break;  // 0x00 and 0x80 need no start
    }
}

void Lpc9xxChip::Frame(std::uint8_t v) {
    if (writeReg_ >= 0) {
        const int r = writeReg_;
        writeReg_ = -1;
        reg_[r] = v;
        switch (r) {
            case 0: address_ = static_cast<std::uint16_t>((address_ & 0xFF00u) | v); break;
            case 1: address_ = static_cast<std::uint16_t>((address_ & 0x00FFu) | (v << 8)); break;
            case 2:
                if (command_ == 0x00) {
                    page_[address_ % PageSize] = v;
                    loaded_[address_ % PageSize] = true;
                    address_ = static_cast<std::uint16_t>(address_ + 1);
                } else if (command_ == 0x6C) {
                    pendValue_ = v;
                    dataWritten_ = true;
                }
                break;
            default:
                command_ = v;
                dataWritten_ = false;
                if (v == 0x00) {
                    page_.fill(0x00);
                    loaded_.fill(false);
                }
                break;
        }
        return;
    }
    if (v & 0x80) writeReg_ = v & 3;
    else if (v == 0x40) Start();
    else if (v < 4) {
        out_ = ReadRegister(v);
        outBits_ = 9;  // the byte goes out from the frame's last falling edge on
    }
}

void Lpc9xxChip::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(vdd_);
    const bool on = pins.Grounded(vss_) && vdd >= 24 && vdd <= 36;
    const bool rst = pins.High(rst_), clock = pins.High(clk_);
    if (!on) {
        if (powered_) Reset();
        powered_ = false;
        rstHigh_ = rst;
        clockHigh_ = clock;
        pins.Release(dat_);
        return;
    }
    if (!powered_) {
        powered_ = true;
        rstLowAtPowerUp_ = !rst;
        pulses_ = 0;
        rstHigh_ = rst;
        clockHigh_ = clock;
    }
    // Entry: RST low at power-up, the pulses, then high.
    if (rst != rstHigh_) {
        rstHigh_ = rst;
        if (icp_) {
            if (!rst) Reset();
        } else if (rstLowAtPowerUp_) {
            if (!rst) {
                ++pulses_;
            } else if (pulses_ == EntryPulses) {
                icp_ = true;
                bits_ = 0;
                writeReg_ = -1;
                outBits_ = 0;
            } else if (pulses_ > EntryPulses) {
                rstLowAtPowerUp_ = false;  // a wrong sequence: no entry until the next power-up
            }
        }
    }
    if (!icp_) {
        clockHigh_ = clock;
        pins.Release(dat_);
        return;
    }
    if (clock && !clockHigh_) {
        if (outBits_ == 0) {
            shift_ = static_cast<std::uint8_t>((shift_ << 1) | (pins.High(dat_) ? 1 : 0));
            if (++bits_ == 8) {
                bits_ = 0;
                Frame(shift_);
            }
        }
    } else if (!clock && clockHigh_ && outBits_ > 0) {
        --outBits_;
    }
    clockHigh_ = clock;
    if (outBits_ > 0 && outBits_ <= 8) pins.Drive(dat_, (out_ >> (outBits_ - 1)) & 1u);
    else pins.Release(dat_);
}

void Lpc9xxChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (busy_ == 0) return;
    if (dt < busy_) {
        busy_ -= dt;
        return;
    }
    busy_ = 0;
    switch (pending_) {
        case Pending::Page: {
            const std::uint32_t base = (pendAddr_ / PageSize) * PageSize;
            if (base < part_.size) {
                const int from = pendAddr_ % PageSize;
                // Erase and program: the page reads 0x00 but for the loaded bytes.
                for (int i = 0; i < PageSize; ++i) flash_[base + static_cast<std::uint32_t>(i)] = 0x00;
                for (int i = 0; i < PageSize; ++i)
                    if (loaded_[static_cast<std::size_t>(i)])
                        flash_[base + static_cast<std::uint32_t>((from + i) % PageSize)] = page_[static_cast<std::size_t>(i)];
            }
            break;
        }
        case Pending::Erase: std::fill(flash_.begin(), flash_.end(), 0x00); break;
        case Pending::Config:
            // UCFG1, the boot vector, the status byte and SEC0-7; the other cells are reserved.
            if (pendAddr_ == 0 || pendAddr_ == 2 || pendAddr_ == 3 || (pendAddr_ >= 8 && pendAddr_ <= 15))
                cfg_[pendAddr_] = pendValue_;
            break;
        case Pending::None: break;
    }
    pending_ = Pending::None;
}

void Lpc9xxChip::OnRemoved() {
    Reset();
    powered_ = false;
}

namespace {
const std::vector<Lpc9xxPart>& Parts() {
    static const std::vector<Lpc9xxPart> parts = {
        {"P89LPC932", 28, 0x2000, {0x15, 0xDD, 0x08}},
        {"P89LPC922", 20, 0x2000, {0x15, 0xDD, 0x22}},
        {"P89LPC921", 20, 0x1000, {0x15, 0xDD, 0x21}},
        {"P89LPC920", 20, 0x0800, {0x15, 0xDD, 0x20}},
    };
    return parts;
}
}  // namespace

SeatedPart MakeLpc9xx(std::string_view name) {
    for (const Lpc9xxPart& p : Parts())
        if (name == p.name)
            return {std::make_unique<Lpc9xxChip>(p),
                    Placement::Custom("DIP" + std::to_string(p.pins) + " diagram", Lpc9xxChip::SocketPins(p.pins))};
    return {};
}

void RegisterLpc9xx(ChipRegistry& registry) {
    for (const Lpc9xxPart& p : Parts()) {
        const std::string n = p.name;
        registry.Add(n, [n] { return MakeLpc9xx(n); });
    }
}

}  // namespace quilla::sim
