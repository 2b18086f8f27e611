// A chip model in the simulated programmer's socket. A model declares its
// pins and supplies, looks at the voltages on its pins (through ChipPins, by
// chip pin number), reacts to them and to the passing of virtual time, and
// drives its outputs. It follows its part's datasheet (see sim/README.md).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/socket.h"

namespace quilla::sim {

// The chip's view of its pins, by chip pin number (1..PinCount()).
class ChipPins {
public:
    explicit ChipPins(Socket& socket) : s_(socket) {}

    int Count() const { return s_.placement_.ChipPinCount(); }
    Nanos Now() const { return s_.Now(); }
    // The pin is wired to a socket pin and has contact.
    bool Touches(int chipPin) const { return s_.ChipPinTouches(chipPin); }
    // Voltage on the pin; 0 when the pin does not touch.
    Tenths Voltage(int chipPin) const;
    // Logic level on the pin; false when the pin does not touch.
    bool High(int chipPin) const;
    // Nothing drives the pin (only the programmer's pull-up), or it does not touch.
    bool Floating(int chipPin) const;
    PinSource Source(int chipPin) const;
    // The level of a programmer supply (VCC, VPP or the VPP supply path) routed
    // to the pin; 0 when no supply reaches it. A pin held high by a logic driver
    // (a latch bit, a forced-high address line) or the pull-up carries no
    // supply: power, programming and erase voltages are read through this.
    Tenths SupplyVoltage(int chipPin) const;
    // The pin touches and stands at 0 V (routed ground or driven low).
    bool Grounded(int chipPin) const { return Touches(chipPin) && Voltage(chipPin) == 0; }
    // The chip's output drivers (ignored on pins that do not touch).
    void Drive(int chipPin, bool high);
    void Release(int chipPin);
    void ReleaseAll();

    // Bus helpers: bit i of the value is pins[i].
    std::uint32_t ReadBus(std::span<const int> pins) const {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < pins.size(); ++i)
            if (High(pins[i])) v |= std::uint32_t{1} << i;
        return v;
    }
    void DriveBus(std::span<const int> pins, std::uint32_t value) {
        for (std::size_t i = 0; i < pins.size(); ++i) Drive(pins[i], (value >> i) & 1u);
    }
    void ReleaseBus(std::span<const int> pins) {
        for (int p : pins) Release(p);
    }

private:
    int SocketPinOf(int chipPin) const;
    Socket& s_;
};

class Chip {
public:
    virtual ~Chip() = default;

    // The part name the model is registered under ("27C256"); the program keeps
    // a seated chip while the same part stays selected.
    virtual std::string Name() const = 0;
    virtual int PinCount() const = 0;
    // Chip pin numbers of the supply pins (the contact test's test supply
    // reaches the chip through any touching pin; reverse power looks at these).
    virtual std::vector<int> GroundPins() const = 0;
    virtual std::vector<int> VccPins() const = 0;

    // Pins changed since the last call (supplies, routing, drivers). Called
    // before anyone reads a pin after a change, and after seating/insertion.
    virtual void OnPinsChanged(ChipPins& pins) { (void)pins; }
    // dt of virtual time passed with the pins unchanged.
    virtual void OnElapsed(ChipPins& pins, Nanos dt) { (void)pins; (void)dt; }
    // The chip leaves the socket (the socket releases its outputs itself).
    virtual void OnRemoved() {}

    // Memory contents, for tests and for filling a blank chip (empty when none).
    virtual std::span<const std::uint8_t> Contents() const { return {}; }
    virtual std::span<std::uint8_t> MutableContents() { return {}; }

    // Multiplies the model's busy and programming times (tests of slow chips).
    double SlowFactor() const { return slow_; }
    void SetSlowFactor(double f) { slow_ = f; }

    // The datasheet's absolute maximum ratings (none by default).
    virtual AbsoluteMaximum Ratings() const { return {}; }
    // A chip that saw a level above its ratings is damaged: the socket no longer
    // lets it react to its pins, so it programs, erases and answers nothing.
    bool Damaged() const { return !damage_.empty(); }
    const std::string& Damage() const { return damage_; }
    void SetDamaged(std::string why) {
        if (damage_.empty()) damage_ = why.empty() ? std::string("damaged") : std::move(why);
    }

    // Why the model ignored a load or a command (busy, outside its page, a broken
    // command sequence, conditions not held): one line each, naming the part, the
    // address and the reason. The test bench prints them when a test fails, so a
    // failing Verify says what the chip refused and why.
    void NoteRefusal(std::uint32_t address, const std::string& reason) {
        if (refusals_.size() >= kMaxRefusals) return;
        char where[16];
        std::snprintf(where, sizeof where, "%06X", static_cast<unsigned>(address));
        refusals_.push_back(Name() + " at " + where + ": " + reason);
    }
    const std::vector<std::string>& Refusals() const { return refusals_; }
    void ClearRefusals() { refusals_.clear(); }

private:
    static constexpr std::size_t kMaxRefusals = 200;  // a long run keeps its first refusals
    double slow_ = 1.0;
    std::string damage_;
    std::vector<std::string> refusals_;
};

// A chip with no memory and no outputs: it only declares its supply pins.
// Enough to test contact, supply routing and reverse power.
class PassiveChip : public Chip {
public:
    PassiveChip(int pinCount, std::vector<int> groundPins, std::vector<int> vccPins,
                std::string name = "passive")
        : pins_(pinCount), gnd_(std::move(groundPins)), vcc_(std::move(vccPins)), name_(std::move(name)) {}
    // A DIP part with ground at pin N/2 and VCC at pin N (the common memory pinout).
    static std::unique_ptr<PassiveChip> Dip(int pinCount) {
        return std::make_unique<PassiveChip>(pinCount, std::vector<int>{pinCount / 2}, std::vector<int>{pinCount});
    }
    std::string Name() const override { return name_; }
    int PinCount() const override { return pins_; }
    std::vector<int> GroundPins() const override { return gnd_; }
    std::vector<int> VccPins() const override { return vcc_; }

private:
    int pins_;
    std::vector<int> gnd_, vcc_;
    std::string name_;
};

// Chip models by part name, for seating the selected device's chip (the
// program's simulated mode) and for tests. Families register their parts in
// sim/chips/builtin.cpp.
struct SeatedPart {
    std::unique_ptr<Chip> chip;
    Placement placement;
    // Where the part sits on a model whose forms wire the socket otherwise (the
    // vex310's host-driven forms): a model word and its placement; a model
    // whose word begins with none of them uses `placement`.
    std::vector<std::pair<std::string, Placement>> modelPlacements = {};

    const Placement& PlacementFor(std::string_view model) const {
        for (const auto& [word, p] : modelPlacements)
            if (model.substr(0, word.size()) == word) return p;
        return placement;
    }
};

class ChipRegistry {
public:
    using Factory = std::function<SeatedPart()>;
    // The registry of every chip model the simulator has.
    static const ChipRegistry& Builtin();

    // A part registered twice is a programming error (std::logic_error).
    void Add(std::string part, Factory f) {
        if (!parts_.emplace(part, std::move(f)).second) throw std::logic_error("chip part registered twice: " + part);
    }
    bool Has(std::string_view part) const { return parts_.find(part) != parts_.end(); }
    // A fresh (blank) chip of the part with its placement; chip empty when unknown.
    SeatedPart Create(std::string_view part) const;
    std::vector<std::string> Parts() const;

private:
    std::map<std::string, Factory, std::less<>> parts_;
};

// Registers every built-in chip model (sim/chips/builtin.cpp).
void RegisterBuiltinChips(ChipRegistry& registry);

}  // namespace quilla::sim
