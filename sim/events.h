// What a test can observe of the simulated programmer besides its state: the
// event log (supplies, routing, host pin levels, port modes, design loads,
// chip placement), the protocol violations and the traffic counters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/clock.h"

namespace quilla::sim {

enum class EventKind : std::uint8_t {
    VppLevel,       // value = level in 0.1 V
    VccLevel,       // value = level in 0.1 V
    VppRoute,       // pin routed to VPP; pin 0 = VPP released from every pin
    VppUnroute,     // VPP released from this pin only
    VccRoute,       // pin routed to VCC; pin 0 = released from every pin
    GndRoute,       // pin routed to ground; pin 0 = released from every pin
    ClockRoute,     // clock output on pin; 0 = off
    VppPath,        // VPP supply path on pin; 0 = released
    PinHigh,        // pin driven high: value 0 by the host (0x08), 1 by the design
    PinLow,         // pin driven low: value 0 by the host (0x09), 1 by the design
    PortMode,       // value = mode
    PinOption,      // value = 1 on, 0 off
    DesignLoaded,   // a design answered the end of load with 1
    DesignRejected, // the end of load answered 0
    ChipRemoved,
    ChipInserted,
    OverCurrent,    // the over-current flag latched; value = OverCurrentCause
    SupplyFromLogic,// a chip VCC pin stands high from a logic driver or the pull-up, not a
                    // supply: it powers nothing (pin = socket pin, value = level in 0.1 V)
    ChipDamaged,    // a level above the chip's absolute maximum rating (pin = socket pin,
                    // value = level in 0.1 V)
    ReadOnLogicVcc, // the programmer read the socket while the chip's VCC was held high by a
                    // logic driver (host or design) and VCC was routed nowhere: a read through an
                    // unpowered chip (pin = the VCC socket pin; once until that changes)
    PowerDown,      // unplugged: the programmer lost its power (design, supplies, routing, pins,
                    // latches and registers back to their power-up state)
};

struct Event {
    Nanos time;
    EventKind kind;
    std::int16_t pin;
    std::int32_t value;
    bool operator==(const Event&) const = default;
};

// Why the over-current flag latched.
enum class OverCurrentCause : std::uint8_t { None, Short, ReversePower, UsbLoad, Injected };

struct Violation {
    Nanos time;
    std::string text;
};

struct Counters {
    std::uint64_t transfersOut = 0;   // OUT transfers that reached the programmer
    std::uint64_t transfersIn = 0;    // IN transfers that returned data
    std::uint64_t bytesOut = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t commands = 0;       // commands executed (fillers included)
    std::uint64_t failedTransfers = 0;  // OUT or IN transfers failed by an injected fault or detach
};

class EventLog {
public:
    // The log keeps at most this many events, then only counts what it dropped.
    static constexpr std::size_t Capacity = 1'000'000;

    void Add(Nanos t, EventKind k, int pin, int value) {
        if (!enabled_) return;
        if (events_.size() >= Capacity) {
            ++dropped_;
            return;
        }
        events_.push_back(Event{t, k, static_cast<std::int16_t>(pin), value});
    }
    const std::vector<Event>& Events() const { return events_; }
    std::size_t Dropped() const { return dropped_; }
    void Clear() {
        events_.clear();
        dropped_ = 0;
    }
    void SetEnabled(bool on) { enabled_ = on; }
    bool Enabled() const { return enabled_; }
    // Also log the pins a design drives (off by default: designs drive many).
    void SetDesignPins(bool on) { designPins_ = on; }
    bool DesignPins() const { return enabled_ && designPins_; }
    // Events of one kind, in order.
    std::vector<Event> OfKind(EventKind k) const {
        std::vector<Event> r;
        for (const auto& e : events_)
            if (e.kind == k) r.push_back(e);
        return r;
    }

private:
    std::vector<Event> events_;
    std::size_t dropped_ = 0;
    bool enabled_ = true;
    bool designPins_ = false;
};

}  // namespace quilla::sim
