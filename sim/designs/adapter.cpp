#include "sim/designs/adapter.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

namespace {

constexpr int kDirection = 1, kCe = 2, kOe = 3, kWe = 4, kReset = 5;
constexpr Nanos kPollLimit = 20 * Millisecond;
constexpr std::uint32_t kCounterMask = 0xFFFFFF;

template <std::size_t I>
std::unique_ptr<Design> MakeAdapter() {
    const AdapterDesignKind& kind = AdapterDesignKinds()[I];
    return std::make_unique<AdapterDesign>(kind, *FindAdapterBoard(kind.tag));
}

template <std::size_t... I>
void AddAll(DesignRegistry& registry, std::index_sequence<I...>) {
    (registry.Add(AdapterDesignKinds()[I].tag, &MakeAdapter<I>), ...);
}

constexpr std::size_t kDesigns = 12;

}  // namespace

const std::vector<AdapterDesignKind>& AdapterDesignKinds() {
    static const std::vector<AdapterDesignKind> kinds{
        {"tsop48at49f321", 16},
        {"tsop48p29", 16},
        {"at49f002dip32", 8},
        {"intel48tsop16", 16, AdapterDesignKind::Program::Intel},
        {"at27c2048dip40", 16, AdapterDesignKind::Program::Eprom},
        {"at27c4096dip40", 16, AdapterDesignKind::Program::Eprom},
        {"at27c2048p44", 16, AdapterDesignKind::Program::Eprom},
        {"at27c4096p44", 16, AdapterDesignKind::Program::Eprom},
        {"mx1611sop44", 8, AdapterDesignKind::Program::Page},
        {"intel40ts08", 8, AdapterDesignKind::Program::Intel},
        {"tsop29cmd2aa", 16},
        {"tsop29cmd2aaa", 16},
    };
    return kinds;
}

void RegisterAdapterDesigns(DesignRegistry& registry) {
    if (AdapterDesignKinds().size() != kDesigns) throw std::logic_error("adapter design count");
    AddAll(registry, std::make_index_sequence<kDesigns>{});
}

AdapterDesign::AdapterDesign(const AdapterDesignKind& kind, const AdapterBoard& board) : kind_(kind) {
    const FlashPinout& p = *board.pinout;
    const bool page = kind.program == AdapterDesignKind::Program::Page;
    if (page) address_.push_back(board.SocketOf(p.data[15]));
    for (int pin : p.address) address_.push_back(board.SocketOf(pin));
    for (std::size_t i = 0; i < static_cast<std::size_t>(kind.width) && i < p.data.size(); ++i)
        data_.push_back(board.SocketOf(p.data[i]));
    ce_ = board.SocketOf(p.ce);
    oe_ = board.SocketOf(p.oe);
    we_ = board.SocketOf(p.we);
    reset_ = board.SocketOf(p.reset);
    byte_ = p.byteMode && (kind.width == 16 || page) ? board.SocketOf(p.byteMode) : 0;
    wp_ = std::string_view(kind.tag) == "intel48tsop16" ? board.SocketOf(p.wp) : 0;
}

void AdapterDesign::OnLoaded(DesignContext& ctx) {
    lines_.fill(false);
    set_ = 0;
    counter_ = 0;
    register_ = 0xFFFF;
    armed_ = -1;
    swallow_ = false;
    pending_ = {};
    hold_ = false;
    buffer_.fill(0xFF);
    if (byte_) ctx.Drive(byte_, kind_.program != AdapterDesignKind::Program::Page);  // word mode, or byte mode
    if (wp_) ctx.Drive(wp_, false);
}

void AdapterDesign::DriveAddress(DesignContext& ctx, std::uint32_t a) { ctx.DriveBus(address_, a); }

void AdapterDesign::DriveData(DesignContext& ctx, std::uint16_t v) { ctx.DriveBus(data_, v); }

void AdapterDesign::DataToLine1(DesignContext& ctx) {
    if ((set_ & (1u << kDirection)) && !lines_[kDirection]) {
        DriveData(ctx, register_);
    } else {
        ctx.ReleaseBus(data_);
    }
}

AdapterDesign::Cycle AdapterDesign::Stored(int k) const {
    if (kind_.program == AdapterDesignKind::Program::Page) {
        switch (k) {
            case 1: return {true, 0xAAAA, 0xAA};
            case 2: return {true, 0x5554, 0x55};
            case 4: return {true, 0xAAAA, 0x80};
            case 5: return {true, 0xAAAA, 0x10};
            case 7: return {true, 0xAAAA, 0x90};
            default: return {};
        }
    }
    switch (k) {
        case 1: return {true, C1(), 0xAA};
        case 2: return {true, C2(), 0x55};
        case 4: return {true, C1(), 0x80};
        case 5: return {true, C1(), 0x10};
        case 7: return {true, C1(), 0x90};
        default: return {};
    }
}

void AdapterDesign::Line(DesignContext& ctx, int n, bool high) {
    lines_[static_cast<std::size_t>(n)] = high;
    set_ |= 1u << n;
    switch (n) {
        case kDirection: DataToLine1(ctx); break;
        case kCe:
            if (!hold_) DrivePin(ctx, ce_, high);
            break;
        case kOe: DrivePin(ctx, oe_, high); break;
        case kReset:
            if (reset_) ctx.Drive(reset_, high);
            break;
        case kWe:
            if (hold_) break;
            if (!high) {
                // The strobe: an armed stored cycle takes the pins for it; an armed
                // cycle that writes nothing (0, 3, 6) keeps the strobe off WE#.
                pending_ = armed_ >= 0 ? Stored(armed_) : Cycle{};
                swallow_ = armed_ >= 0 && !pending_.set;
                armed_ = -1;
                if (swallow_) break;
                if (pending_.set) {
                    DriveAddress(ctx, pending_.address);
                    DriveData(ctx, pending_.data);
                }
                DrivePin(ctx, we_, false);
            } else {
                if (swallow_) {
                    swallow_ = false;
                    break;
                }
                DrivePin(ctx, we_, true);
                if (pending_.set) {
                    ctx.Settle();
                    pending_ = {};
                    DriveAddress(ctx, counter_);
                    DataToLine1(ctx);
                }
            }
            break;
        default:
            break;  // line 6 chooses the command addresses; line 7 has no pin
    }
    ctx.Settle();
}

void AdapterDesign::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r >= RegAddr0 && r <= RegAddr2) {
        const int shift = 8 * (r - RegAddr0);
        counter_ = (counter_ & ~(0xFFu << shift)) | (std::uint32_t{v} << shift);
        DriveAddress(ctx, counter_);
        ctx.Settle();
        return;
    }
    if (r != RegControlLines) return;
    if (EpromOps() && (v == 25 || v == 9)) {
        if (v == 25) {
            hold_ = true;
            heldCe_ = lines_[kCe];
            heldWe_ = lines_[kWe];
        } else if (hold_) {
            hold_ = false;
            // The chip pins as they were when the cycle began.
            lines_[kCe] = heldCe_;
            lines_[kWe] = heldWe_;
        }
        return;
    }
    if ((v & 0x8F) == 0x07) {
        armed_ = v >> 4;  // the stored cycle of the next strobe
        return;
    }
    const int n = v & 0x7F;
    if (n >= 1 && n <= 7) {
        Line(ctx, n, (v & LineHighBit) != 0);
        return;
    }
    char text[80];
    std::snprintf(text, sizeof text, "register 18 value %02Xh has no meaning in the design %s", v, kind_.tag);
    ctx.Violation(text);
}

void AdapterDesign::GiveBack(DesignContext& ctx) {
    auto back = [&](int n, int pin) {
        if (!pin) return;
        if (set_ & (1u << n)) ctx.Drive(pin, lines_[static_cast<std::size_t>(n)]);
        else ctx.Release(pin);
    };
    back(kCe, ce_);
    back(kOe, oe_);
    back(kWe, we_);
    DriveAddress(ctx, counter_);
    DataToLine1(ctx);
    ctx.Settle();
}

bool AdapterDesign::EpromOps() const {
    return kind_.program == AdapterDesignKind::Program::Eprom || std::string_view(kind_.tag) == "intel48tsop16";
}

void AdapterDesign::WriteCycle(DesignContext& ctx, std::uint32_t address, std::uint16_t data) {
    ctx.Drive(oe_, true);
    ctx.Drive(ce_, false);
    DriveAddress(ctx, address);
    DriveData(ctx, data);
    DrivePin(ctx, we_, false);
    ctx.Settle();
    DrivePin(ctx, we_, true);
    ctx.Settle();
}

std::uint16_t AdapterDesign::ReadAt(DesignContext& ctx, std::uint32_t address) {
    DriveAddress(ctx, address);
    return static_cast<std::uint16_t>(ctx.ReadBus(data_));
}

void AdapterDesign::Program(DesignContext& ctx, std::uint16_t value) {
    WriteCycle(ctx, C1(), 0xAA);
    WriteCycle(ctx, C2(), 0x55);
    WriteCycle(ctx, C1(), 0xA0);
    WriteCycle(ctx, counter_, value);
    // Data# polling: DQ7 shows the data once the chip is done.
    ctx.ReleaseBus(data_);
    ctx.Drive(ce_, false);
    ctx.Drive(oe_, false);
    const Nanos start = ctx.Now();
    while (((ReadAt(ctx, counter_) ^ value) & 0x80) && ctx.Now() - start < kPollLimit) ctx.Elapse(Microsecond);
    counter_ = (counter_ + 1) & kCounterMask;
    GiveBack(ctx);
}

void AdapterDesign::ProgramIntel(DesignContext& ctx, std::uint16_t value) {
    WriteCycle(ctx, counter_, 0x40);
    WriteCycle(ctx, counter_, value);
    // The status register until SR.7 shows the state machine ready.
    ctx.ReleaseBus(data_);
    ctx.Drive(ce_, false);
    ctx.Drive(oe_, false);
    const Nanos start = ctx.Now();
    while (!(ReadAt(ctx, counter_) & 0x80) && ctx.Now() - start < kPollLimit) ctx.Elapse(Microsecond);
    counter_ = (counter_ + 1) & kCounterMask;
    GiveBack(ctx);
}

void AdapterDesign::ProgramPage(DesignContext& ctx, int n) {
    WriteCycle(ctx, 0xAAAA, 0xAA);
    WriteCycle(ctx, 0x5554, 0x55);
    WriteCycle(ctx, 0xAAAA, 0xA0);
    std::uint8_t last = static_cast<std::uint8_t>(register_);
    for (int i = 0; i <= n; ++i) {
        last = i == 0 ? static_cast<std::uint8_t>(register_) : buffer_[static_cast<std::size_t>(i - 1)];
        WriteCycle(ctx, (counter_ + static_cast<std::uint32_t>(i)) & kCounterMask, last);
    }
    // Data# polling on the last byte.
    const std::uint32_t at = (counter_ + static_cast<std::uint32_t>(n)) & kCounterMask;
    ctx.ReleaseBus(data_);
    ctx.Drive(ce_, false);
    ctx.Drive(oe_, false);
    const Nanos start = ctx.Now();
    while (((ReadAt(ctx, at) ^ last) & 0x80) && ctx.Now() - start < kPollLimit) ctx.Elapse(Microsecond);
    counter_ = (counter_ + static_cast<std::uint32_t>(n) + 1) & kCounterMask;
    GiveBack(ctx);
}

bool AdapterDesign::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                            std::span<const std::uint8_t> payload) {
    const bool page = kind_.program == AdapterDesignKind::Program::Page;
    switch (op) {
        case OpPageBufferLoad: {
            if (!page) return false;
            const int at = (args[0] << 8 | args[1]) - 0x1B40;
            if (at < 0 || at + static_cast<int>(payload.size()) > static_cast<int>(buffer_.size())) {
                ctx.Violation("page buffer load outside the buffer at 1B40h-1BBFh");
                return true;
            }
            std::copy(payload.begin(), payload.end(), buffer_.begin() + at);
            return true;
        }
        case OpAdapterPageProg:
            if (!page) return false;
            if (args[0] >= buffer_.size() + 1) {
                ctx.Violation("page program of more bytes than the buffer holds");
                return true;
            }
            ProgramPage(ctx, args[0]);
            return true;
        case OpAdapterRead: {
            const int n = args[0] * 64;
            std::uint8_t* out = ctx.Block(n);
            for (int i = 0; i < n;) {
                const std::uint16_t v = ReadAt(ctx, counter_);
                out[i++] = static_cast<std::uint8_t>(v);
                if (kind_.width == 16 && i < n) out[i++] = static_cast<std::uint8_t>(v >> 8);
                counter_ = (counter_ + 1) & kCounterMask;
            }
            DriveAddress(ctx, counter_);
            return true;
        }
        case OpAdapterBusWord:
            register_ = kind_.width == 16 ? static_cast<std::uint16_t>(args[0] | (args[1] << 8)) : args[0];
            DataToLine1(ctx);
            ctx.Settle();
            return true;
        case OpAdapterStep:
            if (!EpromOps()) return false;
            counter_ = (counter_ + 1) & kCounterMask;
            DriveAddress(ctx, counter_);
            ctx.Settle();
            return true;
        case OpHubRead1K: {
            if (!EpromOps()) return false;
            std::uint8_t* out = ctx.Block(1024);
            ctx.ReleaseBus(data_);
            ctx.Drive(ce_, false);
            ctx.Drive(oe_, false);
            for (int i = 0; i < 1024;) {
                const std::uint16_t v = ReadAt(ctx, counter_);
                out[i++] = static_cast<std::uint8_t>(v);
                out[i++] = static_cast<std::uint8_t>(v >> 8);
                counter_ = (counter_ + 1) & kCounterMask;
            }
            GiveBack(ctx);
            return true;
        }
        case OpAdapterWordProg:
            if (kind_.width != 16 || kind_.program != AdapterDesignKind::Program::Intel) return false;
            ProgramIntel(ctx, static_cast<std::uint16_t>(args[0] | (args[1] << 8)));
            return true;
        case OpAdapterByteProg:
            if (kind_.width != 8 || kind_.program != AdapterDesignKind::Program::Intel) return false;
            ProgramIntel(ctx, args[0]);
            return true;
        case OpAdapterWord:
            if (kind_.width != 16 || kind_.program != AdapterDesignKind::Program::Jedec) return false;
            Program(ctx, static_cast<std::uint16_t>(args[0] | (args[1] << 8)));
            return true;
        case OpAdapterByte:
            if (page) {
                register_ = args[0];
                DataToLine1(ctx);
                ctx.Settle();
                return true;
            }
            if (kind_.width != 8 || kind_.program != AdapterDesignKind::Program::Jedec) return false;
            Program(ctx, args[0]);
            return true;
        default:
            return false;
    }
}

}  // namespace quilla::sim
