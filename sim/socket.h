// The 48-pin socket of the simulated programmer: supply levels and routing,
// pin drivers, chip placement, contact and the electrical faults.
//
// Level of a socket pin, strongest first:
//   1. a routed supply: ground (0 V), VCC or VPP (their levels); the clock output
//   2. a pin driver: the host (0x08/0x09) or the loaded design; the last writer wins
//      (none on a pin whose pin option is on)
//   3. a seated chip's output, while the chip drives that pin
//   4. nothing: the pull-up, logic 1
// A driven-high pin or a chip output stands at LogicHighTenths(): the VCC
// level while VCC is above 0 V, else 5.0 V. A pin reads logic 1 from 2.0 V up.
// Voltages are in 0.1 V units throughout, as on the wire.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/events.h"

namespace quilla::sim {

class Chip;
class ChipPins;

inline constexpr int SocketPins = 48;
// Pin codes of adapter parts that the host passes on to the routing and pin
// commands: an adapter board says which of its nets they reach; with no such
// board they are ignored (and are not protocol violations).
inline constexpr int PinCode100 = 100;
inline constexpr int PinCode101 = 101;

using Tenths = int;  // 0.1 V

inline constexpr Tenths HighThreshold = 20;      // a pin reads 1 from 2.0 V up
// The VPP supply path (sub-command 32) delivers 6.5 V: the raised VCC of the
// chip erase and lock-bit writes that some flash microcontrollers ask.
inline constexpr Tenths VppPathTenths = 65;
inline constexpr Tenths DefaultLogicHigh = 50;   // driven-high level while VCC is 0 V
inline constexpr Tenths UsbLoadVpp = 160;        // the USB load model counts VPP from 16.0 V up

constexpr bool IsSocketPin(int p) { return p >= 1 && p <= SocketPins; }
constexpr bool IsPinCode(int p) { return p == PinCode100 || p == PinCode101; }

// A set of socket pins (bit p for pin p, 1..48).
class PinSet {
public:
    constexpr PinSet() = default;
    constexpr explicit PinSet(std::uint64_t bits) : bits_(bits & Mask) {}
    constexpr bool Has(int p) const { return IsSocketPin(p) && ((bits_ >> p) & 1u); }
    constexpr void Add(int p) { if (IsSocketPin(p)) bits_ |= std::uint64_t{1} << p; }
    constexpr void Remove(int p) { if (IsSocketPin(p)) bits_ &= ~(std::uint64_t{1} << p); }
    constexpr void Clear() { bits_ = 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr int Count() const { return std::popcount(bits_); }
    constexpr std::uint64_t Bits() const { return bits_; }
    // The pins in ascending order.
    std::vector<int> Pins() const {
        std::vector<int> r;
        for (int p = 1; p <= SocketPins; ++p)
            if (Has(p)) r.push_back(p);
        return r;
    }
    // Byte j of the contact-register view: pins 8j+1..8j+8, bit 0 the lowest.
    constexpr std::uint8_t Byte(int j) const { return static_cast<std::uint8_t>(bits_ >> (8 * j + 1)); }
    constexpr bool operator==(const PinSet&) const = default;
    constexpr PinSet operator|(PinSet o) const { return PinSet(bits_ | o.bits_); }
    constexpr PinSet operator&(PinSet o) const { return PinSet(bits_ & o.bits_); }

private:
    static constexpr std::uint64_t Mask = ((std::uint64_t{1} << (SocketPins + 1)) - 1) & ~std::uint64_t{1};
    std::uint64_t bits_ = 0;
};

// Where a chip's pins meet the socket: the standard DIP position, a position a
// part's documents give, or an adapter board. An adapter board also says what
// the pin codes 100 and 101 reach for each routing sub-command (20-24, 26, 27,
// 32) and for the pin commands 0x08/0x09/0x17 (key 0).
struct Placement {
    struct CodeRoute {
        int code;               // PinCode100 or PinCode101
        int sub;                // routing sub-command, or 0 for the pin commands
        std::vector<int> pins;  // socket pins of that net
    };

    std::string name;             // "DIP28", or the adapter board's name
    std::vector<int> socketPin;   // socketPin[chipPin - 1]: socket pin 1..48, 0 = not wired
    std::vector<CodeRoute> codes;

    // Bottom-aligned in the 40-pin area: chip pin n of N sits at socket pin
    // n + (40 - N) / 2 on the left side; the right side mirrors it (28 pins:
    // 7..34). N must be even, 2..40; anything else throws std::invalid_argument.
    static Placement Dip(int pins);
    // A placement given pin by pin (adapter boards, 14-pin parts, diagrams).
    static Placement Custom(std::string name, std::vector<int> socketPins);
    // Adds the meaning of a pin code for one sub-command (0 = pin commands).
    Placement& WithCode(int code, int sub, std::vector<int> pins);

    int ChipPinCount() const { return static_cast<int>(socketPin.size()); }
    // Socket pin of a chip pin, 0 when not wired or out of range.
    int SocketPinOf(int chipPin) const {
        return chipPin >= 1 && chipPin <= ChipPinCount() ? socketPin[static_cast<std::size_t>(chipPin - 1)] : 0;
    }
    // Socket pins a code reaches for a sub-command, nullptr when the board does not define it.
    const std::vector<int>* CodePins(int code, int sub) const;
};

// A chip's absolute maximum ratings, from its datasheet: the highest voltage
// any pin may see, and the pins rated higher (VCC, VPP, A9, OE/VPP). A level
// above them is a protocol violation and leaves the chip damaged.
struct AbsoluteMaximum {
    struct Pin {
        int chipPin;
        Tenths max;
    };
    Tenths anyPin = 0;          // 0: the model declares no ratings
    std::vector<Pin> pins;      // pins with their own rating
    // Pins that may carry a programming voltage only while VCC is applied
    // (datasheets: "VCC must be applied simultaneously with or before VPP").
    std::vector<int> vppAfterVcc;

    Tenths For(int chipPin) const {
        for (const Pin& p : pins)
            if (p.chipPin == chipPin) return p.max;
        return anyPin;
    }
};

enum class PinSource : std::uint8_t { PullUp, Supply, Clock, Driver, Chip };
enum class Writer : std::uint8_t { Host, Design };

// One socket pin as resolved.
struct PinState {
    PinSource source;
    bool high;        // logic level
    Tenths tenths;    // voltage
};

class Socket {
public:
    Socket(const VirtualClock& clock, EventLog& log);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    Nanos Now() const { return clock_.Now(); }

    // ---- supplies --------------------------------------------------------------
    void SetVppLevel(Tenths t);
    void SetVccLevel(Tenths t);
    Tenths VppLevel() const { return vppLevel_; }
    Tenths VccLevel() const { return vccLevel_; }
    // The levels the supplies deliver: a short (two supplies on one pin, or a
    // supply on a grounded pin) collapses the supplies involved to 0 V while it
    // lasts, as the programmer's current limit does.
    Tenths VppDelivered() const { return vppCollapsed_ ? 0 : vppLevel_; }
    Tenths VccDelivered() const { return vccCollapsed_ ? 0 : vccLevel_; }
    void RouteVpp(int pin);       // adds pin; 0 releases VPP from every pin
    void UnrouteVpp(int pin);     // releases one pin
    void RouteVcc(int pin);       // adds pin; 0 releases VCC from every pin
    void RouteGnd(int pin);       // adds pin; 0 releases every ground pin
    void SetClockPin(int pin);    // 0 = clock off
    void SetVppPath(int pin);     // the VPP supply path; 0 = released
    PinSet VppPins() const { return vpp_; }
    PinSet VccPins() const { return vcc_; }
    PinSet GndPins() const { return gnd_; }
    int ClockPin() const { return clockPin_; }
    // The seated chip's VCC is held high by a logic driver (the host's or the
    // design's) while VCC is routed to no socket pin: the socket pin, else 0.
    int ChipOnLogicVcc();
    int VppPathPin() const { return vppPath_; }
    // Pins carrying VPP, through the routing set or the supply path.
    PinSet VppCarrying() const;
    Tenths LogicHighTenths() const { return VccDelivered() > 0 ? VccDelivered() : DefaultLogicHigh; }

    // The programmer lost its power: supplies at 0 V and routed nowhere, no
    // clock or VPP path, no pin driven, no pin option, port mode 15, the
    // contact test's sense supply off. The chip stays seated.
    void PowerDown();

    // ---- pin drivers -------------------------------------------------------------
    void Drive(int pin, bool high, Writer w);
    void Release(int pin);            // whoever drove it
    void ReleaseAll(Writer w);        // every pin that writer drove last
    bool Driven(int pin) const { return IsSocketPin(pin) && drv_[Ix(pin)].on; }
    bool DriverHigh(int pin) const { return IsSocketPin(pin) && drv_[Ix(pin)].high; }
    Writer DriverOf(int pin) const { return IsSocketPin(pin) ? drv_[Ix(pin)].writer : Writer::Host; }
    // The seated chip drives the pin (an output it enables), whoever else does.
    bool ChipDriving(int pin) const { return IsSocketPin(pin) && present_ && chipOut_[Ix(pin)].on; }

    // ---- port mode, pin options (stored here; the design gives them meaning) -------
    void SetPortMode(int mode) { portMode_ = mode; }
    int PortMode() const { return portMode_; }
    // A pin option on releases the pin's driver (host or design, whatever the
    // latches say), so a chip output wins there; off gives the driver back.
    void SetPinOption(int pin, bool on) {
        on ? options_.Add(pin) : options_.Remove(pin);
        Touch();
    }
    bool PinOption(int pin) const { return options_.Has(pin); }
    PinSet PinOptions() const { return options_; }
    // Pins a design drives from its own engine (a serial clock and data line):
    // a pin option does not release the design's driver there.
    void SetDesignPinsOverOptions(PinSet pins) {
        designOverOptions_ = pins;
        Touch();
    }

    // ---- reading pins -------------------------------------------------------------
    // The seated chip reacts to pending pin changes before any of these reads.
    PinState State(int pin);
    bool Level(int pin) { return State(pin).high; }
    Tenths Voltage(int pin) { return State(pin).tenths; }
    // Without letting the chip react (what the chip itself sees).
    PinState RawState(int pin) const;

    // ---- the chip ---------------------------------------------------------------------
    // Seats a chip (replacing any). Its pin count must match the placement's.
    void Seat(std::unique_ptr<Chip> chip, Placement placement);
    std::unique_ptr<Chip> Unseat();
    Chip* SeatedChip() const { return chip_.get(); }
    const Placement& ChipPlacement() const { return placement_; }
    // A seated chip may be out of the socket (taken out, not yet put in).
    void SetChipPresent(bool present);
    bool ChipPresent() const { return chip_ && present_; }
    // Injected bad contact on socket pins.
    void SetBadContact(int pin, bool bad) {
        bad ? badContact_.Add(pin) : badContact_.Remove(pin);
        UpdateTouch();
    }
    PinSet BadContactPins() const { return badContact_; }
    // Socket pins a present chip touches (wired and no bad contact).
    PinSet TouchedPins() const;
    bool ChipPinTouches(int chipPin) const {
        return chipPin >= 1 && chipPin < static_cast<int>(touch_.size()) && touch_[static_cast<std::size_t>(chipPin)] != 0;
    }
    // The contact test: supplied pins (VPP or VCC routed, any level) read 1;
    // every pin the chip touches reads 1 when the chip also touches a supplied pin.
    PinSet ContactBits() const;
    // Socket pins a code reaches for a sub-command under the placed adapter (empty when undefined).
    std::vector<int> CodePins(int code, int sub) const;

    // ---- over-current ------------------------------------------------------------------
    // The electrical fault present now, if any: a short (two of VPP, VCC and
    // ground routed to one pin), reverse power (a chip VCC pin grounded while a
    // chip ground pin carries a positive supply), or the USB load model (VPP from
    // 16 V on more than `usbCapacity` pins each driven low).
    OverCurrentCause Fault(int usbCapacity) const;

    // ---- time ---------------------------------------------------------------------------
    // Time passes with the socket as it is (the chip sees it).
    void Elapse(Nanos dt);
    // Lets the chip react now to pin changes since its last look.
    void Settle();
    // Changes with every change of supplies, routing, drivers or the chip's presence.
    std::uint64_t Generation() const { return generation_; }

    // The contact test's sense supply (register 4 = 12): its level is no supply
    // for the chip, so neither ratings nor power apply while it is on.
    void SetContactMode(bool on) {
        if (on == contactMode_) return;
        contactMode_ = on;
        Touch();
    }
    bool ContactMode() const { return contactMode_; }

    // Where the socket reports what breaks a chip's ratings (the firmware's
    // violation list).
    void SetViolationSink(std::function<void(std::string)> sink) { violation_ = std::move(sink); }

private:
    friend class ChipPins;
    struct Driver {
        bool on = false;
        bool high = false;
        Writer writer = Writer::Host;
    };
    struct ChipOut {
        bool on = false;
        bool high = false;
    };
    static constexpr std::size_t Ix(int pin) { return static_cast<std::size_t>(pin); }
    // A change of supplies, routing, contacts or the chip: the chip's ratings
    // are looked at again when it next settles.
    void Touch() {
        dirty_ = true;
        ++generation_;
        levelsChanged_ = true;
        UpdateCollapse();
    }
    // A driver changed: no supply did, so while logic levels are within every
    // rating the ratings need no new look.
    void TouchDriver() {
        dirty_ = true;
        ++generation_;
    }
    void CacheChipPins();
    // Which socket pin each chip pin touches (0: none), recomputed when the chip,
    // its presence or a bad contact changes: the chip reads its pins through it.
    void UpdateTouch();
    void UpdateCollapse();
    // Before the chip looks at its pins: its ratings, its supplies.
    void CheckChipLevels();
    void Report(std::string text) {
        if (violation_) violation_(std::move(text));
    }

    const VirtualClock& clock_;
    EventLog& log_;
    Tenths vppLevel_ = 0;
    Tenths vccLevel_ = 0;
    PinSet vpp_, vcc_, gnd_;
    int clockPin_ = 0;
    int vppPath_ = 0;
    std::array<Driver, SocketPins + 1> drv_{};
    std::array<ChipOut, SocketPins + 1> chipOut_{};
    static constexpr int PowerUpPortMode = 15;
    int portMode_ = PowerUpPortMode;
    PinSet options_;
    PinSet designOverOptions_;

    std::unique_ptr<Chip> chip_;
    Placement placement_;
    bool present_ = false;
    PinSet badContact_;
    std::vector<int> touch_;   // touch_[chipPin]: the socket pin it touches, 0 for none
    PinSet touched_;
    PinSet chipVccPins_;   // socket pins of the chip's VCC pins
    std::vector<int> vccChipPins_;  // the chip's VCC pins (chip pin numbers)
    PinSet chipGndPins_;   // socket pins of the chip's ground pins
    std::unique_ptr<ChipPins> chipView_;
    bool dirty_ = true;
    bool levelsChanged_ = true;  // supplies, routing, contacts or chip changed since the last ratings look
    bool inChip_ = false;
    std::uint64_t generation_ = 0;
    bool vppCollapsed_ = false;
    bool vccCollapsed_ = false;
    AbsoluteMaximum ratings_;  // of the seated chip
    Tenths lowestRating_ = 0;  // the lowest of its ratings (any pin, pins rated apart)
    PinSet vccFromLogic_;      // chip VCC pins last seen high without a supply
    PinSet vccFromDriver_;     // ... of them, those held high by a logic driver
    int vccDriverPin_ = 0;     // the last of them
    bool chipVccSupplied_ = false;  // a supply reaches one of the chip's VCC pins
    bool vppWithoutVcc_ = false;
    bool contactMode_ = false;
    std::function<void(std::string)> violation_;
};

}  // namespace quilla::sim
