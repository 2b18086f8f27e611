#include "sim/socket.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "sim/chip.h"

namespace quilla::sim {

// ---- Placement ------------------------------------------------------------------

Placement Placement::Dip(int pins) {
    if (pins < 2 || pins > 40 || pins % 2 != 0)
        throw std::invalid_argument("standard DIP placement needs an even pin count of 2..40");
    Placement p;
    p.name = "DIP" + std::to_string(pins);
    const int offset = (40 - pins) / 2;
    p.socketPin.resize(static_cast<std::size_t>(pins));
    for (int n = 1; n <= pins; ++n)
        p.socketPin[static_cast<std::size_t>(n - 1)] = n <= pins / 2 ? n + offset : 40 - offset - (pins - n);
    return p;
}

Placement Placement::Custom(std::string name, std::vector<int> socketPins) {
    Placement p;
    p.name = std::move(name);
    for (int& s : socketPins)
        if (!IsSocketPin(s)) s = 0;
    p.socketPin = std::move(socketPins);
    return p;
}

Placement& Placement::WithCode(int code, int sub, std::vector<int> pins) {
    codes.push_back(CodeRoute{code, sub, std::move(pins)});
    return *this;
}

const std::vector<int>* Placement::CodePins(int code, int sub) const {
    for (const auto& c : codes)
        if (c.code == code && c.sub == sub) return &c.pins;
    return nullptr;
}

// ---- Socket ---------------------------------------------------------------------------

Socket::Socket(const VirtualClock& clock, EventLog& log) : clock_(clock), log_(log) {}
Socket::~Socket() = default;

void Socket::SetVppLevel(Tenths t) {
    vppLevel_ = t;
    log_.Add(Now(), EventKind::VppLevel, 0, t);
    Touch();
}

void Socket::SetVccLevel(Tenths t) {
    vccLevel_ = t;
    log_.Add(Now(), EventKind::VccLevel, 0, t);
    Touch();
}

void Socket::RouteVpp(int pin) {
    if (pin == 0) vpp_.Clear();
    else if (IsSocketPin(pin)) vpp_.Add(pin);
    else return;
    log_.Add(Now(), EventKind::VppRoute, pin, 1);
    Touch();
}

void Socket::UnrouteVpp(int pin) {
    if (!IsSocketPin(pin)) return;
    vpp_.Remove(pin);
    log_.Add(Now(), EventKind::VppUnroute, pin, 0);
    Touch();
}

void Socket::RouteVcc(int pin) {
    if (pin == 0) vcc_.Clear();
    else if (IsSocketPin(pin)) vcc_.Add(pin);
    else return;
    log_.Add(Now(), EventKind::VccRoute, pin, 1);
    Touch();
}

void Socket::RouteGnd(int pin) {
    if (pin == 0) gnd_.Clear();
    else if (IsSocketPin(pin)) gnd_.Add(pin);
    else return;
    log_.Add(Now(), EventKind::GndRoute, pin, 1);
    Touch();
}

void Socket::SetClockPin(int pin) {
    if (pin != 0 && !IsSocketPin(pin)) return;
    clockPin_ = pin;
    log_.Add(Now(), EventKind::ClockRoute, pin, 1);
    Touch();
}

void Socket::SetVppPath(int pin) {
    if (pin != 0 && !IsSocketPin(pin)) return;
    vppPath_ = pin;
    log_.Add(Now(), EventKind::VppPath, pin, 1);
    Touch();
}

PinSet Socket::VppCarrying() const {
    PinSet s = vpp_;
    s.Add(vppPath_);
    return s;
}

void Socket::PowerDown() {
    RouteVpp(0);
    RouteVcc(0);
    RouteGnd(0);
    SetClockPin(0);
    SetVppPath(0);
    SetVppLevel(0);
    SetVccLevel(0);
    for (int p = 1; p <= SocketPins; ++p)
        if (drv_[Ix(p)].on) Release(p);
    portMode_ = PowerUpPortMode;
    options_.Clear();
    designOverOptions_.Clear();
    contactMode_ = false;
    Touch();
}

void Socket::Drive(int pin, bool high, Writer w) {
    if (!IsSocketPin(pin)) return;
    Driver& d = drv_[Ix(pin)];
    if (d.on && d.high == high && d.writer == w) return;
    d = Driver{true, high, w};
    TouchDriver();
}

void Socket::Release(int pin) {
    if (!IsSocketPin(pin)) return;
    if (!drv_[Ix(pin)].on) return;
    drv_[Ix(pin)].on = false;
    TouchDriver();
}

void Socket::ReleaseAll(Writer w) {
    for (int p = 1; p <= SocketPins; ++p)
        if (drv_[Ix(p)].on && drv_[Ix(p)].writer == w) Release(p);
}

PinState Socket::RawState(int pin) const {
    const Tenths high = LogicHighTenths();
    if (!IsSocketPin(pin)) return {PinSource::PullUp, true, high};
    auto supply = [](Tenths t) { return PinState{PinSource::Supply, t >= HighThreshold, t}; };
    if (gnd_.Has(pin)) return supply(0);
    if (vcc_.Has(pin)) return supply(VccDelivered());
    if (vpp_.Has(pin)) return supply(VppDelivered());
    if (vppPath_ == pin) return supply(VppPathTenths);
    if (clockPin_ == pin) return {PinSource::Clock, false, 0};
    const Driver& d = drv_[Ix(pin)];
    if (d.on && (!options_.Has(pin) || (d.writer == Writer::Design && designOverOptions_.Has(pin))))
        return {PinSource::Driver, d.high, d.high ? high : 0};
    const ChipOut& c = chipOut_[Ix(pin)];
    if (c.on && present_) return {PinSource::Chip, c.high, c.high ? high : 0};
    return {PinSource::PullUp, true, high};
}

int Socket::ChipOnLogicVcc() {
    // VCC routed to some socket pin is a form powering what it believes is
    // seated (the logic tester trying another type's pinout); VCC routed
    // nowhere is a chip run on nothing.
    if (!ChipPresent() || !vcc_.Empty()) return 0;
    Settle();
    return !chipVccSupplied_ && !vccFromDriver_.Empty() ? vccDriverPin_ : 0;
}

PinState Socket::State(int pin) {
    Settle();
    return RawState(pin);
}

void Socket::Settle() {
    if (!dirty_ || inChip_ || !ChipPresent()) return;
    inChip_ = true;
    dirty_ = false;
    CheckChipLevels();
    if (!chip_->Damaged()) chip_->OnPinsChanged(*chipView_);
    inChip_ = false;
}

void Socket::UpdateCollapse() {
    const PinSet vppOn = VppCarrying();
    const bool vccVpp = !(vcc_ & vppOn).Empty() && vccLevel_ != vppLevel_;
    vccCollapsed_ = vccLevel_ != 0 && (!(gnd_ & vcc_).Empty() || vccVpp);
    vppCollapsed_ = vppLevel_ != 0 && (!(gnd_ & vppOn).Empty() || vccVpp);
}

namespace {
std::string Volts(Tenths t) {
    char b[32];
    std::snprintf(b, sizeof b, "%d.%d V", t / 10, t % 10);
    return b;
}
}  // namespace

void Socket::CheckChipLevels() {
    if (chip_->Damaged() || contactMode_) return;
    const AbsoluteMaximum& r = ratings_;
    const int n = placement_.ChipPinCount();
    auto where = [&](int chipPin, int sp) {
        return chip_->Name() + " pin " + std::to_string(chipPin) + " (socket " + std::to_string(sp) + ")";
    };
    // The ratings: one level above them damages the chip for good. A pin that
    // carries no supply stands at most at the logic-high level: while that is
    // within every rating only the supplied pins need a look.
    // Only supplied pins can break a rating while logic levels are within
    // every rating, and their levels come from the supplies alone: with no
    // supply, route, contact or chip changed since the last look, nothing did.
    const bool logicWithin = LogicHighTenths() <= lowestRating_;
    const bool ratingsLook = levelsChanged_ || !logicWithin;
    levelsChanged_ = false;
    if (r.anyPin > 0 && ratingsLook) {
        const PinSet supplied = vcc_ | VppCarrying();
        for (int p = 1; p <= n; ++p) {
            if (!ChipPinTouches(p)) continue;
            const int sp = placement_.SocketPinOf(p);
            if (logicWithin && !supplied.Has(sp)) continue;
            const PinState st = RawState(sp);
            // The programmer's pull-ups are weak: only supplies and drivers can harm a pin.
            if (st.source == PinSource::PullUp) continue;
            const Tenths t = st.tenths;
            const Tenths limit = r.For(p);
            if (t <= limit) continue;
            const std::string text = where(p, sp) + " at " + Volts(t) + ", above its absolute maximum rating of " +
                                     Volts(limit) + ": chip damaged";
            log_.Add(Now(), EventKind::ChipDamaged, sp, t);
            chip_->SetDamaged(text);
            chipOut_.fill(ChipOut{});
            Report(text);
            return;
        }
    }
    // VCC pins standing high without a supply power nothing: say so once.
    Tenths vcc = 0;
    for (int p : vccChipPins_) {
        if (!ChipPinTouches(p)) continue;
        const int sp = placement_.SocketPinOf(p);
        const PinState st = RawState(sp);
        if (st.source == PinSource::Supply) vcc = std::max(vcc, st.tenths);
        const bool logic = st.source != PinSource::Supply && st.high;
        if (logic && !vccFromLogic_.Has(sp)) log_.Add(Now(), EventKind::SupplyFromLogic, sp, st.tenths);
        logic ? vccFromLogic_.Add(sp) : vccFromLogic_.Remove(sp);
        // A logic pin (the host's or the design's driver) standing in for the supply.
        const bool driven = st.source == PinSource::Driver && st.high;
        driven ? vccFromDriver_.Add(sp) : vccFromDriver_.Remove(sp);
        if (driven) vccDriverPin_ = sp;
    }
    chipVccSupplied_ = vcc > 0;
    // A programming voltage before VCC, where the datasheet forbids it.
    bool early = false;
    int earlyPin = 0;
    Tenths earlyLevel = 0;
    if (r.anyPin > 0 && vcc == 0) {
        for (int p : r.vppAfterVcc) {
            if (!ChipPinTouches(p)) continue;
            // Only a supply is a programming voltage (logic levels face the ratings above).
            const PinState st = RawState(placement_.SocketPinOf(p));
            const Tenths t = st.source == PinSource::Supply ? st.tenths : 0;
            if (t > r.anyPin) {
                early = true;
                earlyPin = p;
                earlyLevel = t;
                break;
            }
        }
    }
    if (early && !vppWithoutVcc_)
        Report(where(earlyPin, placement_.SocketPinOf(earlyPin)) + " at " + Volts(earlyLevel) +
               " while VCC is off (VCC must be applied before VPP)");
    vppWithoutVcc_ = early;
}

void Socket::Elapse(Nanos dt) {
    if (!ChipPresent() || inChip_) return;
    if (chip_->Damaged()) return;
    Settle();
    inChip_ = true;
    chip_->OnElapsed(*chipView_, dt);
    inChip_ = false;
}

void Socket::CacheChipPins() {
    chipVccPins_.Clear();
    chipGndPins_.Clear();
    ratings_ = chip_ ? chip_->Ratings() : AbsoluteMaximum{};
    vccChipPins_ = chip_ ? chip_->VccPins() : std::vector<int>{};
    lowestRating_ = ratings_.anyPin;
    for (const auto& pr : ratings_.pins) lowestRating_ = std::min(lowestRating_, pr.max);
    if (!chip_) return;
    for (int p : chip_->VccPins()) chipVccPins_.Add(placement_.SocketPinOf(p));
    for (int p : chip_->GroundPins()) chipGndPins_.Add(placement_.SocketPinOf(p));
}

void Socket::Seat(std::unique_ptr<Chip> chip, Placement placement) {
    if (chip && chip->PinCount() != placement.ChipPinCount())
        throw std::invalid_argument("chip pin count does not match its placement");
    if (ChipPresent()) chip_->OnRemoved();
    chipOut_.fill(ChipOut{});
    chip_ = std::move(chip);
    placement_ = std::move(placement);
    present_ = chip_ != nullptr;
    if (chip_) chipView_ = std::make_unique<ChipPins>(*this);
    CacheChipPins();
    UpdateTouch();
    vccFromLogic_.Clear();
    vccFromDriver_.Clear();
    vppWithoutVcc_ = false;
    Touch();
}

std::unique_ptr<Chip> Socket::Unseat() {
    if (ChipPresent()) chip_->OnRemoved();
    chipOut_.fill(ChipOut{});
    present_ = false;
    chipVccPins_.Clear();
    chipGndPins_.Clear();
    placement_ = Placement{};
    UpdateTouch();
    Touch();
    return std::move(chip_);
}

void Socket::SetChipPresent(bool present) {
    if (!chip_ || present == present_) return;
    if (!present) {
        chip_->OnRemoved();
        chipOut_.fill(ChipOut{});
    }
    present_ = present;
    UpdateTouch();
    log_.Add(Now(), present ? EventKind::ChipInserted : EventKind::ChipRemoved, 0, 0);
    Touch();
}

void Socket::UpdateTouch() {
    levelsChanged_ = true;
    const int n = placement_.ChipPinCount();
    touch_.assign(static_cast<std::size_t>(n + 1), 0);
    touched_.Clear();
    if (!ChipPresent()) return;
    for (int c = 1; c <= n; ++c) {
        const int sp = placement_.SocketPinOf(c);
        if (!IsSocketPin(sp) || badContact_.Has(sp)) continue;
        touch_[static_cast<std::size_t>(c)] = sp;
        touched_.Add(sp);
    }
}

PinSet Socket::TouchedPins() const { return touched_; }

PinSet Socket::ContactBits() const {
    const PinSet supplied = VppCarrying() | vcc_;
    const PinSet touched = TouchedPins();
    if ((touched & supplied).Empty()) return supplied;
    return supplied | touched;
}

std::vector<int> Socket::CodePins(int code, int sub) const {
    if (!chip_) return {};
    const std::vector<int>* pins = placement_.CodePins(code, sub);
    return pins ? *pins : std::vector<int>{};
}

OverCurrentCause Socket::Fault(int usbCapacity) const {
    const PinSet vppOn = VppCarrying();
    // Two supplies of different levels on one pin (ground is 0 V).
    if (vccLevel_ != 0 && !(gnd_ & vcc_).Empty()) return OverCurrentCause::Short;
    if (vppLevel_ != 0 && !(gnd_ & vppOn).Empty()) return OverCurrentCause::Short;
    if (vccLevel_ != vppLevel_ && !(vcc_ & vppOn).Empty()) return OverCurrentCause::Short;
    // A chip powered the wrong way round.
    if (ChipPresent()) {
        const PinSet touched = TouchedPins();
        const PinSet vccGrounded = chipVccPins_ & touched & gnd_;
        PinSet powered;
        if (vccLevel_ > 0) powered = powered | vcc_;
        if (vppLevel_ > 0) powered = powered | vppOn;
        const PinSet gndPowered = chipGndPins_ & touched & powered;
        if (!vccGrounded.Empty() && !gndPowered.Empty()) return OverCurrentCause::ReversePower;
    }
    // The USB supply: 16 V VPP into pins driven low.
    if (vppLevel_ >= UsbLoadVpp) {
        int k = 0;
        for (int p = 1; p <= SocketPins; ++p)
            if (vppOn.Has(p) && drv_[Ix(p)].on && !options_.Has(p) && !drv_[Ix(p)].high) ++k;
        if (k > usbCapacity) return OverCurrentCause::UsbLoad;
    }
    return OverCurrentCause::None;
}

// ---- ChipPins ----------------------------------------------------------------------------

int ChipPins::SocketPinOf(int chipPin) const {
    return s_.ChipPinTouches(chipPin) ? s_.touch_[static_cast<std::size_t>(chipPin)] : 0;
}

Tenths ChipPins::Voltage(int chipPin) const {
    const int sp = SocketPinOf(chipPin);
    return sp ? s_.RawState(sp).tenths : 0;
}

bool ChipPins::High(int chipPin) const {
    const int sp = SocketPinOf(chipPin);
    return sp ? s_.RawState(sp).high : false;
}

bool ChipPins::Floating(int chipPin) const {
    const int sp = SocketPinOf(chipPin);
    return sp ? s_.RawState(sp).source == PinSource::PullUp : true;
}

PinSource ChipPins::Source(int chipPin) const {
    const int sp = SocketPinOf(chipPin);
    return sp ? s_.RawState(sp).source : PinSource::PullUp;
}

Tenths ChipPins::SupplyVoltage(int chipPin) const {
    const int sp = SocketPinOf(chipPin);
    if (!sp || s_.ContactMode()) return 0;
    const PinState st = s_.RawState(sp);
    return st.source == PinSource::Supply ? st.tenths : 0;
}

void ChipPins::Drive(int chipPin, bool high) {
    const int sp = SocketPinOf(chipPin);
    if (sp) s_.chipOut_[Socket::Ix(sp)] = {true, high};
}

void ChipPins::Release(int chipPin) {
    const int sp = SocketPinOf(chipPin);
    if (sp) s_.chipOut_[Socket::Ix(sp)].on = false;
}

void ChipPins::ReleaseAll() { s_.chipOut_.fill(Socket::ChipOut{}); }

}  // namespace quilla::sim
