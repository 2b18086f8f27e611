#include "sim/chips/xc9500xl.h"

namespace quilla::sim {

namespace {

constexpr std::uint8_t kIdcode = 0xFE, kIspen = 0xE8, kIspex = 0xF0, kFerase = 0xEC,
                       kFbulk = 0xED, kFblank = 0xE5, kFpgm = 0xEA, kFvfy = 0xEE;
constexpr Nanos kEraseTime = 90 * Millisecond;
constexpr Nanos kBlankTime = 500 * Microsecond;
constexpr Nanos kProgramTime = 5 * Millisecond;
constexpr Nanos kVerifyTime = 20 * Microsecond;

std::uint32_t Bits(const std::vector<std::uint8_t>& v, int first, int count) {
    std::uint32_t r = 0;
    for (int i = 0; i < count; ++i)
        if (v[static_cast<std::size_t>(first + i)]) r |= 1u << i;
    return r;
}
void SetBits(std::vector<std::uint8_t>& v, int first, int count, std::uint32_t value) {
    for (int i = 0; i < count; ++i) v[static_cast<std::size_t>(first + i)] = (value >> i) & 1u;
}

}  // namespace

Xc9500xlChip::Xc9500xlChip(std::string name, int functionBlocks, std::uint32_t idcode)
    : name_(std::move(name)), fbs_(functionBlocks), idcode_(idcode), data_(static_cast<std::size_t>(functionBlocks), 0xFF) {}

void Xc9500xlChip::Program(std::uint16_t address, std::vector<std::uint8_t> word) {
    word.resize(static_cast<std::size_t>(fbs_), 0xFF);
    auto it = words_.find(address);
    if (it == words_.end()) it = words_.emplace(address, std::vector<std::uint8_t>(static_cast<std::size_t>(fbs_), 0xFF)).first;
    for (int i = 0; i < fbs_; ++i) it->second[static_cast<std::size_t>(i)] &= word[static_cast<std::size_t>(i)];
}

Xc9500xlChip::Tap Xc9500xlChip::Next(Tap s, bool tms) {
    switch (s) {
        case Tap::Reset: return tms ? Tap::Reset : Tap::Idle;
        case Tap::Idle: return tms ? Tap::SelDr : Tap::Idle;
        case Tap::SelDr: return tms ? Tap::SelIr : Tap::CapDr;
        case Tap::CapDr: return tms ? Tap::Ex1Dr : Tap::ShDr;
        case Tap::ShDr: return tms ? Tap::Ex1Dr : Tap::ShDr;
        case Tap::Ex1Dr: return tms ? Tap::UpdDr : Tap::PauseDr;
        case Tap::PauseDr: return tms ? Tap::Ex2Dr : Tap::PauseDr;
        case Tap::Ex2Dr: return tms ? Tap::UpdDr : Tap::ShDr;
        case Tap::UpdDr: return tms ? Tap::SelDr : Tap::Idle;
        case Tap::SelIr: return tms ? Tap::Reset : Tap::CapIr;
        case Tap::CapIr: return tms ? Tap::Ex1Ir : Tap::ShIr;
        case Tap::ShIr: return tms ? Tap::Ex1Ir : Tap::ShIr;
        case Tap::Ex1Ir: return tms ? Tap::UpdIr : Tap::PauseIr;
        case Tap::PauseIr: return tms ? Tap::Ex2Ir : Tap::PauseIr;
        case Tap::Ex2Ir: return tms ? Tap::UpdIr : Tap::ShIr;
        case Tap::UpdIr: return tms ? Tap::SelDr : Tap::Idle;
    }
    return Tap::Reset;
}

int Xc9500xlChip::DrLength() const {
    switch (ir_) {
        case kIdcode: return 32;
        case kIspen: return 6;
        case kFerase:
        case kFbulk:
        case kFblank: return 18;
        case kFpgm:
        case kFvfy: return 18 + 8 * fbs_;
        default: return 1;
    }
}

void Xc9500xlChip::CaptureDr() {
    dr_.assign(static_cast<std::size_t>(DrLength()), 0);
    switch (ir_) {
        case kIdcode: SetBits(dr_, 0, 32, idcode_); break;
        case kFerase:
        case kFbulk:
        case kFblank:
        case kFpgm:
        case kFvfy:
            dr_[0] = !busy_ && valid_;
            dr_[1] = busy_;
            SetBits(dr_, 2, 16, address_);
            if (DrLength() > 18)
                for (int f = 0; f < fbs_; ++f) SetBits(dr_, 18 + 8 * f, 8, data_[static_cast<std::size_t>(f)]);
            break;
        default: break;
    }
}

void Xc9500xlChip::UpdateDr() {
    // Only the ISP instructions' registers carry status, address and data;
    // IDCODE (32 bits, longer than 18) is no such register.
    switch (ir_) {
        case kFerase:
        case kFbulk:
        case kFblank:
        case kFpgm:
        case kFvfy: break;
        default: return;
    }
    const bool valid = dr_[0], strobe = dr_[1];
    if (busy_) return;  // a strobe while busy is ignored
    address_ = static_cast<std::uint16_t>(Bits(dr_, 2, 16));
    if (DrLength() > 18)
        for (int f = 0; f < fbs_; ++f) data_[static_cast<std::size_t>(f)] = static_cast<std::uint8_t>(Bits(dr_, 18 + 8 * f, 8));
    if (!valid || !strobe) return;
    valid_ = false;
    if (!isp_) return;  // outside ISP mode nothing starts
    if (ir_ == kFerase && (address_ >> 8) >= fbs_) {
        valid_ = true;  // names no function block: nothing to erase
        return;
    }
    op_ = ir_;
    Nanos t = kVerifyTime;
    if (op_ == kFerase || op_ == kFbulk) t = kEraseTime;
    else if (op_ == kFblank) t = kBlankTime;
    else if (op_ == kFpgm) t = kProgramTime;
    busy_ = true;
    left_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
}

void Xc9500xlChip::Finish() {
    busy_ = false;
    valid_ = true;
    switch (op_) {
        case kFbulk: words_.clear(); break;
        case kFerase: {
            const int fb = address_ >> 8;
            if (fb >= fbs_) break;
            for (auto& [a, w] : words_) w[static_cast<std::size_t>(fb)] = 0xFF;
            break;
        }
        case kFblank:
            for (const auto& [a, w] : words_)
                for (std::uint8_t b : w)
                    if (b != 0xFF) valid_ = false;
            break;
        case kFpgm: Program(address_, data_); break;
        case kFvfy: {
            auto it = words_.find(address_);
            for (int f = 0; f < fbs_; ++f) data_[static_cast<std::size_t>(f)] = it == words_.end() ? 0xFF : it->second[static_cast<std::size_t>(f)];
            break;
        }
        default: break;
    }
}

void Xc9500xlChip::OnPinsChanged(ChipPins& pins) {
    const bool tck = pins.High(Tck);
    if (tck && !lastTck_) {
        const bool tms = pins.High(Tms), tdi = pins.High(Tdi);
        if (tap_ == Tap::Idle && !tms && ispPending_ != 0) {
            isp_ = ispPending_ > 0;
            if (!isp_) busy_ = false;
            ispPending_ = 0;
        }
        if (tap_ == Tap::CapDr) CaptureDr();
        if (tap_ == Tap::CapIr) irShift_ = static_cast<std::uint8_t>(0x01 | (isp_ ? 0x10 : 0));
        if (tap_ == Tap::ShDr && !dr_.empty()) {
            dr_.erase(dr_.begin());
            dr_.push_back(tdi);
        }
        if (tap_ == Tap::ShIr) irShift_ = static_cast<std::uint8_t>(irShift_ >> 1 | (tdi ? 0x80 : 0));
        tap_ = Next(tap_, tms);
        if (tap_ == Tap::Reset) {
            // Leaving ISP mode abandons a running operation (its cells as they stand).
            ir_ = kIdcode;
            isp_ = false;
            ispPending_ = 0;
            busy_ = false;
        }
        if (tap_ == Tap::UpdIr) {
            ir_ = irShift_;
            if (ir_ == kIspen) ispPending_ = 1;
            if (ir_ == kIspex) ispPending_ = -1;
        }
        if (tap_ == Tap::UpdDr) UpdateDr();
    }
    if (!tck && lastTck_) {
        if (tap_ == Tap::ShDr) tdo_ = dr_.empty() ? false : dr_.front() != 0;
        else if (tap_ == Tap::ShIr) tdo_ = irShift_ & 1u;
    }
    lastTck_ = tck;
    pins.Drive(Tdo, tdo_);
}

void Xc9500xlChip::OnElapsed(ChipPins& pins, Nanos dt) {
    (void)pins;
    if (!busy_ || tap_ != Tap::Idle) return;
    if (dt >= left_) Finish();
    else left_ -= dt;
}

SeatedPart MakeXc9500xl(std::string_view name) {
    std::unique_ptr<Xc9500xlChip> chip;
    if (name == "XC9536XL" || name == "XC95xx") chip = std::make_unique<Xc9500xlChip>(std::string(name), 2, 0x59602093u);
    else if (name == "XC9572XL") chip = std::make_unique<Xc9500xlChip>(std::string(name), 4, 0x59604093u);
    if (!chip) return {};
    return {std::move(chip), Placement::Custom("JTAG lines", {1, 2, 3, 4, 0, 0})};
}

void RegisterXc9500xl(ChipRegistry& registry) {
    for (const char* n : {"XC9536XL", "XC9572XL", "XC95xx"}) {
        const std::string name = n;
        registry.Add(name, [name] { return MakeXc9500xl(name); });
    }
}

}  // namespace quilla::sim
