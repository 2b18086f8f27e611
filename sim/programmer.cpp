#include "sim/programmer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/stream.h"

namespace quilla::sim {

using namespace proto;

namespace {

std::string Hex(std::uint8_t v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

// Design data beyond this is not kept (the host sends at most 136 x 60 bytes).
constexpr std::size_t MaxDesignData = 64 * 1024;
// IN data the host has not read, beyond which further messages are dropped.
constexpr std::size_t MaxPendingIn = 8 * 1024 * 1024;

}  // namespace

// ---- ModelConfig ----------------------------------------------------------------------

ModelConfig ModelConfig::For(std::string_view model) {
    ModelConfig c;
    c.model = std::string(model);
    c.WithIdent(model);
    if (c.identText.size() < 16) c.identText.resize(16, 0);
    // A fixed serial code per model word.
    std::uint32_t h = 2166136261u;
    for (char ch : model) h = (h ^ static_cast<std::uint8_t>(ch)) * 16777619u;
    for (std::size_t i = 0; i < c.serial.size(); ++i) {
        h = h * 1103515245u + 12345u;
        c.serial[i] = static_cast<std::uint8_t>(h >> 16);
    }
    c.hasFpga = model.rfind("vex310", 0) != 0;
    // The vex310's fixed port operations, once a design of that tag is registered.
    if (!c.hasFpga) c.firmwareDesign = "vex310fw";
    return c;
}

ModelConfig& ModelConfig::WithIdent(std::string_view text) {
    identText.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(text.size(), ReplySize)));
    return *this;
}

// ---- DesignContext ----------------------------------------------------------------------

Socket& DesignContext::GetSocket() { return p_.GetSocket(); }
void DesignContext::Drive(int pin, bool high) {
    p_.GetSocket().Drive(pin, high, Writer::Design);
    if (p_.Log().DesignPins()) p_.Log().Add(p_.Now(), high ? EventKind::PinHigh : EventKind::PinLow, pin, 1);
}
void DesignContext::Release(int pin) { p_.GetSocket().Release(pin); }
void DesignContext::ReleaseAll() { p_.GetSocket().ReleaseAll(Writer::Design); }
bool DesignContext::Level(int pin) { return p_.GetSocket().Level(pin); }
Tenths DesignContext::Voltage(int pin) { return p_.GetSocket().Voltage(pin); }
void DesignContext::DriveBus(std::span<const int> pins, std::uint32_t value) {
    for (std::size_t i = 0; i < pins.size(); ++i) Drive(pins[i], (value >> i) & 1u);
}
void DesignContext::ReleaseBus(std::span<const int> pins) {
    for (int p : pins) Release(p);
}
std::uint32_t DesignContext::ReadBus(std::span<const int> pins) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < pins.size(); ++i)
        if (Level(pins[i])) v |= std::uint32_t{1} << i;
    return v;
}
std::uint8_t DesignContext::Latch(int k) const { return p_.Latch(k); }
std::uint8_t DesignContext::Register(int r) const { return p_.Register(r); }
int DesignContext::PortMode() const { return p_.GetSocket().PortMode(); }
bool DesignContext::PinOption(int pin) const { return p_.GetSocket().PinOption(pin); }
void DesignContext::Capture(std::uint8_t v) {
    p_.NoteReadOnLogicVcc();
    p_.Capture(v);
}
std::uint8_t* DesignContext::Block(int n) {
    p_.NoteReadOnLogicVcc();
    return p_.BeginInMessage(n);
}
void DesignContext::Elapse(Nanos dt) { p_.Elapse(dt); }
void DesignContext::Settle() { p_.GetSocket().Settle(); }
Nanos DesignContext::Now() const { return p_.Now(); }
void DesignContext::Violation(std::string_view text) { p_.AddViolation(std::string(text)); }
bool DesignContext::TakeCancel() { return p_.TakeCancel(); }
const ModelConfig& DesignContext::Model() const { return p_.Model(); }

// ---- Programmer ----------------------------------------------------------------------------

Programmer::Programmer(ModelConfig config, const DesignRegistry* designs)
    : config_(std::move(config)),
      designs_(designs ? designs : &DesignRegistry::Builtin()),
      socket_(clock_, log_),
      inBytes_(0, 0, 1 << 20) {
    ctx_ = std::make_unique<DesignContext>(*this);
    socket_.SetViolationSink([this](std::string text) { AddViolation(std::move(text)); });
    inLengths_.reserve(1024);
    loadData_.reserve(16 * 1024);
    regs_.fill(0);
    LoadFirmwareDesign();
    if (config_.operatorChips > 0) operator_ = std::make_unique<Operator>(config_.operatorChips);
}

Programmer::~Programmer() = default;

std::unique_ptr<Programmer> MakeSimulatedProgrammer(std::string_view model) {
    return std::make_unique<Programmer>(ModelConfig::For(model));
}

std::string Programmer::LoadedTag() const { return design_ ? std::string(design_->Tag()) : std::string(); }

std::vector<std::string> Programmer::ViolationTexts() const {
    std::vector<std::string> r;
    for (const auto& v : violations_) r.push_back(v.text);
    return r;
}

void Programmer::AddViolation(std::string text) { violations_.push_back(Violation{clock_.Now(), std::move(text)}); }

// ---- the chip ------------------------------------------------------------------------------------

void Programmer::SeatChip(std::unique_ptr<Chip> chip) {
    const int n = chip ? chip->PinCount() : 0;
    Placement p = chip ? Placement::Dip(n) : Placement{};
    SeatChip(std::move(chip), std::move(p));
}

void Programmer::SeatChip(std::unique_ptr<Chip> chip, Placement placement) {
    const bool any = chip != nullptr;
    socket_.Seat(std::move(chip), std::move(placement));
    if (any) log_.Add(clock_.Now(), EventKind::ChipInserted, 0, 0);
    if (operator_) operator_->ForgetPart();
}

bool Programmer::SeatPart(std::string_view part) {
    SeatedPart sp = ChipRegistry::Builtin().Create(part);
    if (!sp.chip) return false;
    Placement placement = sp.PlacementFor(config_.model);
    SeatChip(std::move(sp.chip), std::move(placement));
    return true;
}

std::unique_ptr<Chip> Programmer::RemoveChipModel() {
    log_.Add(clock_.Now(), EventKind::ChipRemoved, 0, 0);
    if (operator_) operator_->ForgetPart();
    return socket_.Unseat();
}

void Programmer::StartOperatorRun() {
    if (operator_) operator_->StartRun();
}

// ---- faults ------------------------------------------------------------------------------------------

void Programmer::InjectShortReply(int bytes, int count) {
    shortReplyBytes_ = std::max(0, bytes);
    shortReplies_ = count;
}
void Programmer::InjectNoReply(int count) { noReplies_ = count; }
void Programmer::InjectOutFailure(int count) { outFailures_ = count; }

void Programmer::Detach() {
    if (!attached_.exchange(false)) return;
    PowerDown();
    if (onDetach_) onDetach_();
}

void Programmer::PowerDown() {
    // The programmer is powered from the USB port: unplugged, its FPGA forgets
    // the design and everything else starts again from power-up.
    if (design_) design_->OnUnloaded(*ctx_);
    design_.reset();
    socket_.PowerDown();
    latches_.fill(0);
    regs_.fill(0);
    captureCount_ = 0;
    captureOverflow_ = false;
    readOnLogicVcc_ = false;
    loading_ = false;
    loadData_.clear();
    // What the host had not read yet is gone with it.
    inBytes_.clear();
    inHead_ = 0;
    inLengths_.clear();
    inLenHead_ = 0;
    pendingKeep_.clear();
    inOverflowReported_ = false;
    pollSnapshotValid_ = false;
    overCurrent_ = OverCurrentCause::None;
    faultPresent_ = OverCurrentCause::None;
    checkedGeneration_ = ~std::uint64_t{0};
    log_.Add(clock_.Now(), EventKind::PowerDown, 0, 0);
    LoadFirmwareDesign();
}

void Programmer::LoadFirmwareDesign() {
    if (!config_.firmwareDesign.empty()) design_ = designs_->Create(config_.firmwareDesign);
    if (design_) design_->OnLoaded(*ctx_);
}
void Programmer::Reattach() { attached_ = true; }

void Programmer::InjectOverCurrent() {
    if (overCurrent_ == OverCurrentCause::None) {
        overCurrent_ = OverCurrentCause::Injected;
        log_.Add(clock_.Now(), EventKind::OverCurrent, 0, static_cast<int>(overCurrent_));
    }
}

void Programmer::SetChipPresent(bool present) { socket_.SetChipPresent(present); }

void Programmer::ScheduleRemoval(When w) {
    if (chipEvents_.empty()) eventPollBase_ = polls_;
    chipEvents_.push_back(ChipEvent{false, w, nullptr, Placement{}});
    FireTimedEvents();
}

void Programmer::ScheduleInsertion(When w, std::unique_ptr<Chip> replacement) {
    // A new chip goes where the present one sits, or to its own DIP position
    // (checked now, so a bad pin count throws here rather than mid-stream).
    Placement where;
    if (replacement) {
        where = socket_.ChipPlacement();
        if (where.ChipPinCount() != replacement->PinCount()) where = Placement::Dip(replacement->PinCount());
    }
    if (chipEvents_.empty()) eventPollBase_ = polls_;
    chipEvents_.push_back(ChipEvent{true, w, std::move(replacement), std::move(where)});
    FireTimedEvents();
}

void Programmer::FireChipEvent(ChipEvent& e) {
    if (!e.insert) {
        socket_.SetChipPresent(false);
    } else if (e.replacement) {
        socket_.Seat(std::move(e.replacement), std::move(e.placement));
        log_.Add(clock_.Now(), EventKind::ChipInserted, 0, 0);
    } else {
        socket_.SetChipPresent(true);
    }
}

void Programmer::FireTimedEvents() {
    while (!chipEvents_.empty() && chipEvents_.front().when.kind == When::Kind::AtTime &&
           clock_.Now() >= chipEvents_.front().when.value) {
        FireChipEvent(chipEvents_.front());
        chipEvents_.erase(chipEvents_.begin());
        eventPollBase_ = polls_;
    }
}

void Programmer::StartPoll() {
    while (!chipEvents_.empty() && chipEvents_.front().when.kind == When::Kind::AfterPolls &&
           static_cast<std::uint64_t>(polls_ - eventPollBase_) >= chipEvents_.front().when.value) {
        FireChipEvent(chipEvents_.front());
        chipEvents_.erase(chipEvents_.begin());
        eventPollBase_ = polls_;
        FireTimedEvents();
    }
    if (operator_) operator_->OnContactPoll(socket_.ChipPresent(), clock_.Now());
    pollSnapshot_ = socket_.ContactBits();
    pollSnapshotValid_ = true;
    ++polls_;
}

// ---- time --------------------------------------------------------------------------------------------

void Programmer::Elapse(Nanos dt) {
    socket_.Settle();
    clock_.Advance(dt);
    socket_.Elapse(dt);
    if (!chipEvents_.empty()) FireTimedEvents();
    if (operator_) operator_->OnTime(*this);
}

// ---- Transport ------------------------------------------------------------------------------------

int Programmer::BulkWrite(const std::uint8_t* data, int n) {
    if (!attached_ || outFailures_ > 0) {
        if (attached_) --outFailures_;
        ++counters_.failedTransfers;
        return 0;
    }
    if (n <= 0 || data == nullptr) return 0;
    const Nanos end = clock_.BeginTransfer(n);
    if (end > clock_.Now()) Elapse(end - clock_.Now());
    ++counters_.transfersOut;
    counters_.bytesOut += static_cast<std::uint64_t>(n);
    for (int off = 0; off < n; off += PacketSize) RunPacket(data + off, std::min(PacketSize, n - off));
    return n;
}

int Programmer::BulkRead(std::uint8_t* buf, int n) {
    if (!attached_) {
        ++counters_.failedTransfers;
        return 0;
    }
    if (n <= 0 || buf == nullptr) return 0;
    if (inLenHead_ >= inLengths_.size()) {
        // Nothing to send: the host's read times out.
        const Nanos end = clock_.BeginTransfer(0);
        if (end > clock_.Now()) Elapse(end - clock_.Now());
        return 0;
    }
    inOverflowReported_ = false;
    int& remaining = inLengths_[inLenHead_];
    const int k = std::min(n, remaining);
    std::memcpy(buf, inBytes_.data() + inHead_, static_cast<std::size_t>(k));
    inHead_ += static_cast<std::size_t>(k);
    remaining -= k;
    if (remaining == 0) ++inLenHead_;
    if (inLenHead_ >= inLengths_.size()) {
        inLengths_.clear();
        inLenHead_ = 0;
        inBytes_.clear();
        inHead_ = 0;
    }
    const Nanos end = clock_.BeginTransfer(k);
    if (end > clock_.Now()) Elapse(end - clock_.Now());
    ++counters_.transfersIn;
    counters_.bytesIn += static_cast<std::uint64_t>(k);
    return k;
}

std::uint8_t* Programmer::BeginInMessage(int n) {
    n = std::max(0, n);
    const std::size_t start = inBytes_.size();
    inBytes_.resize(start + static_cast<std::size_t>(n), 0);
    // Faults decide how much of the message the host will see.
    int keep = n;
    if (start - inHead_ > MaxPendingIn) {
        // The host reads nothing back: a real programmer would stall here.
        if (!inOverflowReported_) AddViolation("IN data piles up unread; further messages dropped");
        inOverflowReported_ = true;
        keep = -1;
    } else if (noReplies_ > 0) {
        --noReplies_;
        keep = -1;
    } else if (shortReplies_ > 0) {
        --shortReplies_;
        keep = std::min(n, shortReplyBytes_);
    }
    pendingKeep_.push_back({start, n, keep});
    return inBytes_.data() + start;
}

void Programmer::FinishInMessages() {
    // Trim faulted messages from the last one back, so the earlier ones'
    // offsets stay valid; then queue what the host will see, in order.
    for (auto it = pendingKeep_.rbegin(); it != pendingKeep_.rend(); ++it) {
        const int keep = std::max(0, it->keep);
        if (keep == it->size) continue;
        auto first = inBytes_.begin() + static_cast<std::ptrdiff_t>(it->start + static_cast<std::size_t>(keep));
        inBytes_.erase(first, first + (it->size - keep));
    }
    for (const auto& m : pendingKeep_)
        if (m.keep > 0) inLengths_.push_back(m.keep);
    pendingKeep_.clear();
}

// ---- captures and replies ------------------------------------------------------------------------

void Programmer::NoteReadOnLogicVcc() {
    const int pin = socket_.ChipOnLogicVcc();
    if (pin && !readOnLogicVcc_) log_.Add(clock_.Now(), EventKind::ReadOnLogicVcc, pin, 0);
    readOnLogicVcc_ = pin != 0;
}

void Programmer::Capture(std::uint8_t v) {
    if (captureCount_ < static_cast<int>(captures_.size())) {
        captures_[static_cast<std::size_t>(captureCount_++)] = v;
        return;
    }
    if (!captureOverflow_) AddViolation("more than 256 captures before a reply");
    captureOverflow_ = true;
}

void Programmer::Answer(const std::uint8_t* bytes, int n) {
    captureCount_ = 0;
    captureOverflow_ = false;
    for (int i = 0; i < n; ++i) Capture(bytes[i]);
}

void Programmer::SendReply(int size, int maxCaptures) {
    if (captureCount_ > maxCaptures)
        AddViolation("more than " + std::to_string(maxCaptures) + " captures before a " + std::to_string(size) +
                     "-byte reply");
    std::uint8_t* out = BeginInMessage(size);
    std::memcpy(out, captures_.data(), static_cast<std::size_t>(std::min(captureCount_, size)));
    captureCount_ = 0;
    captureOverflow_ = false;
    pollSnapshotValid_ = false;
    if (operator_) operator_->OnReply();
}

// ---- the stream ----------------------------------------------------------------------------------------

void Programmer::RunPacket(const std::uint8_t* p, int len) {
    int at = 0;
    const StreamStop stop =
        ForEachCommandInPacket(p, len, [this](const StreamCommand& c) { Execute(c.op, c.Args(), c.Payload()); }, &at);
    switch (stop) {
        case StreamStop::End: break;
        case StreamStop::UnknownOpcode:
            AddViolation("unknown opcode " + Hex(p[at]) + " at packet byte " + std::to_string(at) +
                         "; rest of packet skipped");
            break;
        case StreamStop::CommandCut: AddViolation("command " + Hex(p[at]) + " crosses a packet boundary"); break;
        case StreamStop::PayloadCut:
            AddViolation("data of command " + Hex(p[at]) + " crosses a packet boundary");
            break;
    }
    if (!pendingKeep_.empty()) FinishInMessages();
}

bool Programmer::ContactMode() const {
    return regs_[RegContactMode] == ContactModeOn && regs_[RegContactEnable] == ContactEnableOn;
}

bool Programmer::CheckPin(int pin, const char* what) {
    if (IsSocketPin(pin)) return true;
    AddViolation(std::string("pin ") + std::to_string(pin) + " outside 1..48 in " + what);
    return false;
}

void Programmer::Execute(std::uint8_t op, const std::uint8_t* args, const std::uint8_t* payload) {
    ++counters_.commands;
    switch (op) {
        case OpNop:
        case OpWaitShort:
        case OpWaitPulse:
        case OpWait1ms:
        case OpWaitSettle:
        case OpWait100us:
            break;
        case OpWait100ms:
            if (operator_) operator_->OnLongWait(socket_.VccPins().Empty() && socket_.VppCarrying().Empty());
            break;
        case OpReply:
            SendReply(ReplySize, MaxCaptures);
            break;
        case OpBlock:
            // A design may give the block its own meaning (the 8051 designs
            // sample the data bus); otherwise it carries the captures.
            if (!design_ || !design_->Command(*ctx_, op, {}, {})) SendReply(BlockSize, BlockSize);
            break;
        case OpPinHigh:
        case OpPinLow: {
            const bool high = op == OpPinHigh;
            const int pin = args[0];
            auto drive = [&](int p) {
                socket_.Drive(p, high, Writer::Host);
                log_.Add(clock_.Now(), high ? EventKind::PinHigh : EventKind::PinLow, p, 0);
            };
            if (IsPinCode(pin)) {
                for (int p : socket_.CodePins(pin, 0)) drive(p);
            } else if (CheckPin(pin, high ? "pin high (0x08)" : "pin low (0x09)")) {
                drive(pin);
            }
            break;
        }
        case OpWriteReg:
            regs_[args[0]] = args[1];
            pollSnapshotValid_ = false;
            if (args[0] == RegContactMode) {
                socket_.SetContactMode(args[1] == ContactModeOn);
                checkedGeneration_ = ~socket_.Generation();
            }
            if (design_) design_->OnRegisterWrite(*ctx_, args[0], args[1]);
            break;
        case OpReadReg:
            Capture(ReadRegisterValue(args[0]));
            break;
        case OpSystem:
            System(args[0], args[1], args[2], payload);
            break;
        case OpLatch0:
        case OpLatch0 + 1:
        case OpLatch0 + 2:
        case OpLatch0 + 3:
        case OpLatch0 + 4:
        case OpLatch0 + 5: {
            const int k = op - OpLatch0;
            latches_[static_cast<std::size_t>(k)] = args[0];
            if (design_) design_->OnLatch(*ctx_, k, args[0]);
            break;
        }
        case OpCapturePin: {
            NoteReadOnLogicVcc();
            const int pin = args[0];
            if (IsPinCode(pin)) {
                const auto pins = socket_.CodePins(pin, 0);
                Capture(pins.empty() ? 1 : socket_.Level(pins.front()));
            } else if (CheckPin(pin, "pin capture (0x17)")) {
                Capture(socket_.Level(pin) ? 1 : 0);
            } else {
                Capture(0);
            }
            break;
        }
        case OpSerialCode:
            if (args[0] < config_.serial.size()) {
                Capture(config_.serial[args[0]]);
            } else {
                AddViolation("serial code byte " + std::to_string(args[0]) + " outside 0..23");
                Capture(0);
            }
            break;
        default:
            ToDesign(op, args, payload);
            break;
    }
    Elapse(timing::OpcodeCost(op));
    CheckFault();
}

bool Programmer::ToDesign(std::uint8_t op, const std::uint8_t* args, const std::uint8_t* payload) {
    if (!design_) {
        AddViolation("command " + Hex(op) + " with no design loaded");
        return false;
    }
    const int na = ArgCount(op);
    const std::span<const std::uint8_t> a(args, static_cast<std::size_t>(na));
    const std::span<const std::uint8_t> pl(payload, static_cast<std::size_t>(PayloadBytes(op, na > 0 ? args[0] : 0)));
    if (design_->Command(*ctx_, op, a, pl)) return true;
    AddViolation("design " + std::string(design_->Tag()) + " has no command " + Hex(op));
    return false;
}

std::uint8_t Programmer::ReadRegisterValue(std::uint8_t r) {
    if (ContactMode() && r >= RegContactFirst && r <= RegContactLast) {
        if (r == RegContactFirst) StartPoll();
        const PinSet bits = pollSnapshotValid_ ? pollSnapshot_ : socket_.ContactBits();
        return bits.Byte(r - RegContactFirst);
    }
    if (design_) {
        if (auto v = design_->ReadRegister(*ctx_, r)) return *v;
    }
    return regs_[r];
}

void Programmer::Route(std::uint8_t s, int pin) {
    auto apply = [&](int p) {
        switch (s) {
            case SysVppPin: socket_.RouteVpp(p); break;
            case SysVccPin: socket_.RouteVcc(p); break;
            case SysGndPin: socket_.RouteGnd(p); break;
            case SysClockPin: socket_.SetClockPin(p); break;
            case SysVppPinOff: socket_.UnrouteVpp(p); break;
            case SysVppSupplyPath: socket_.SetVppPath(p); break;
            case SysPinOptionOn:
            case SysPinOptionOff: {
                const bool on = s == SysPinOptionOn;
                socket_.SetPinOption(p, on);
                log_.Add(clock_.Now(), EventKind::PinOption, p, on);
                if (design_) design_->OnPinOption(*ctx_, p, on);
                break;
            }
            default: break;
        }
    };
    if (IsPinCode(pin)) {
        for (int p : socket_.CodePins(pin, s)) apply(p);
        return;
    }
    if (pin == 0) {
        // 0 releases every pin of a routing set; it means "none" for the one-pin commands.
        if (s != SysVppPinOff && s != SysPinOptionOn && s != SysPinOptionOff) apply(0);
        return;
    }
    if (CheckPin(pin, ("system sub-command " + std::to_string(s)).c_str())) apply(pin);
}

void Programmer::System(std::uint8_t s, std::uint8_t v, std::uint8_t x, const std::uint8_t* payload) {
    if (!IsSystemSubCommand(s)) {
        AddViolation("unknown system sub-command " + std::to_string(s));
        return;
    }
    switch (s) {
        case SysIdentify:
            Answer(config_.identText.data(), static_cast<int>(config_.identText.size()));
            break;
        case SysVppLevel:
            socket_.SetVppLevel(v);
            break;
        case SysVccLevel:
            socket_.SetVccLevel(v);
            break;
        case SysVppPin:
        case SysVccPin:
        case SysGndPin:
        case SysClockPin:
        case SysVppPinOff:
        case SysPinOptionOn:
        case SysPinOptionOff:
        case SysVppSupplyPath:
            Route(s, v);
            break;
        case SysPortMode:
            if (v > 15) {
                AddViolation("port mode " + std::to_string(v) + " outside 0..15");
                break;
            }
            socket_.SetPortMode(v);
            log_.Add(clock_.Now(), EventKind::PortMode, 0, v);
            if (design_) design_->OnPortMode(*ctx_, v);
            break;
        case SysReadyWait: {
            // Wait until the pin reads high, at most x ms, looking every 10 us.
            if (!IsSocketPin(v)) {
                if (!IsPinCode(v)) CheckPin(v, "system sub-command 29");
                break;
            }
            const Nanos limit = clock_.Now() + static_cast<Nanos>(x) * Millisecond;
            while (!socket_.Level(v) && clock_.Now() < limit) Elapse(10 * Microsecond);
            break;
        }
        case SysOverCurrent: {
            // Reports the latched flag or a fault present now, and clears the flag.
            CheckFault();
            const bool fault = overCurrent_ != OverCurrentCause::None || faultPresent_ != OverCurrentCause::None;
            const std::uint8_t ok = fault ? 0 : 1;
            Answer(&ok, 1);
            overCurrent_ = OverCurrentCause::None;
            break;
        }
        case SysDesignStart:
        case SysDesignData:
        case SysDesignEnd:
            if (!config_.hasFpga) {
                AddViolation("design load sub-command " + std::to_string(s) + " on a model without FPGA");
                break;
            }
            if (s == SysDesignStart) {
                if (design_) design_->OnUnloaded(*ctx_);
                design_.reset();
                loading_ = true;
                loadData_.clear();
            } else if (s == SysDesignData) {
                if (!loading_) {
                    AddViolation("design data without a start of load");
                    break;
                }
                if (loadData_.size() + DesignDataBytes <= MaxDesignData)
                    loadData_.insert(loadData_.end(), payload, payload + DesignDataBytes);
            } else {
                EndDesignLoad();
            }
            break;
        default:
            break;
    }
}

void Programmer::EndDesignLoad() {
    const std::string tag = loading_ ? DesignTagOf(loadData_) : std::string();
    loading_ = false;
    loadData_.clear();
    const bool rejected =
        rejectAll_ || std::find(rejectTags_.begin(), rejectTags_.end(), tag) != rejectTags_.end();
    std::unique_ptr<Design> d = (!tag.empty() && !rejected) ? designs_->Create(tag) : nullptr;
    if (design_) design_->OnUnloaded(*ctx_);
    // The FPGA is configured afresh: the pin levels the host set through the
    // old design are gone with it, so the new design starts from floating pins.
    socket_.ReleaseAll(Writer::Host);
    design_ = std::move(d);
    latches_.fill(0);
    const std::uint8_t ok = design_ ? 1 : 0;
    log_.Add(clock_.Now(), design_ ? EventKind::DesignLoaded : EventKind::DesignRejected, 0, ok);
    if (design_) design_->OnLoaded(*ctx_);
    Answer(&ok, 1);
}

void Programmer::CheckFault() {
    if (socket_.Generation() == checkedGeneration_) return;
    checkedGeneration_ = socket_.Generation();
    // The contact test's own supplies break no rule.
    const OverCurrentCause c = regs_[RegContactMode] == ContactModeOn ? OverCurrentCause::None
                                                                     : socket_.Fault(config_.usbLoadCapacity);
    // The flag latches when a fault appears, not again while the same one lasts.
    if (c != OverCurrentCause::None && faultPresent_ == OverCurrentCause::None &&
        overCurrent_ == OverCurrentCause::None) {
        overCurrent_ = c;
        log_.Add(clock_.Now(), EventKind::OverCurrent, 0, static_cast<int>(c));
    }
    faultPresent_ = c;
}

}  // namespace quilla::sim
