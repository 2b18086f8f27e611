// An FPGA design of the simulated programmer: the meaning of the family
// commands, latches, registers, port modes and pin options of one design
// file. A design acts by driving and reading socket pins through
// DesignContext; the chip in the socket answers.
//
// Adding a design: one class derived from Design in sim/designs/<name>.cpp
// with a static TagName, and one line in sim/designs/builtin.cpp
// (registry.Add<MyDesign>()). See sim/README.md.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/clock.h"
#include "sim/socket.h"

namespace quilla::sim {

class Programmer;
struct ModelConfig;

// What a design may do while it handles a command.
class DesignContext {
public:
    explicit DesignContext(Programmer& p) : p_(p) {}

    Socket& GetSocket();
    // Pins, as the design's drivers (the last writer wins against the host's).
    void Drive(int pin, bool high);
    void Release(int pin);
    void ReleaseAll();          // every pin the design drove last
    bool Level(int pin);        // resolved logic level; the chip reacts first
    Tenths Voltage(int pin);
    // Bus helpers: bit i of the value is pins[i].
    void DriveBus(std::span<const int> pins, std::uint32_t value);
    void ReleaseBus(std::span<const int> pins);
    std::uint32_t ReadBus(std::span<const int> pins);

    // Firmware state (the values last written by the host).
    std::uint8_t Latch(int k) const;
    std::uint8_t Register(int r) const;
    int PortMode() const;
    bool PinOption(int pin) const;

    // One result byte into the capture list (the next 64-byte reply).
    void Capture(std::uint8_t v);
    // A block read's IN message of exactly n bytes (zero-filled) for the design
    // to fill; valid until the design's command returns.
    std::uint8_t* Block(int n);

    // Design-internal time (a strobe's width, an opcode that polls the chip):
    // the chip first sees the pins as they are, then dt pass. A pulse inside one
    // opcode (drive low, Elapse(width), drive high) is seen by the chip.
    void Elapse(Nanos dt);
    // Lets the chip react to the pins now, without time passing.
    void Settle();
    Nanos Now() const;
    // A protocol violation (a command this design cannot take in this state).
    void Violation(std::string_view text);
    // The user asked the programmer to stop (answered once per request).
    bool TakeCancel();
    const ModelConfig& Model() const;

private:
    Programmer& p_;
};

class Design {
public:
    virtual ~Design() = default;

    // The tag of the design file ("QSIM design=<tag>"), the file name without ".bit".
    virtual std::string_view Tag() const = 0;

    // Loaded (after the end of a load that answered 1); latches read 0.
    virtual void OnLoaded(DesignContext& ctx) { (void)ctx; }
    // Replaced by another design or a failed load: release what it drives.
    virtual void OnUnloaded(DesignContext& ctx) { ctx.ReleaseAll(); }

    // Engine commands whose meaning belongs to the design. The firmware has
    // already stored the value (ctx.Latch, ctx.Register, ctx.PortMode).
    virtual void OnLatch(DesignContext& ctx, int k, std::uint8_t v) { (void)ctx, (void)k, (void)v; }
    virtual void OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
        (void)ctx, (void)r, (void)v;
    }
    // A capture of register r (outside the contact test). nullopt: the firmware
    // captures the value last written.
    virtual std::optional<std::uint8_t> ReadRegister(DesignContext& ctx, std::uint8_t r) {
        (void)ctx, (void)r;
        return std::nullopt;
    }
    virtual void OnPortMode(DesignContext& ctx, int mode) { (void)ctx, (void)mode; }
    virtual void OnPinOption(DesignContext& ctx, int pin, bool on) { (void)ctx, (void)pin, (void)on; }

    // A family command, or one of the design's engine opcodes (0x2B bus write,
    // 0x35/0x36 shifts). args holds the opcode's arguments (count from the
    // shared table); payload the plain data bytes behind it (the page-buffer
    // load's 32 bytes), else empty. Captures go through ctx.Capture, block
    // reads through ctx.Block. Return false when the design does not implement
    // the opcode: the firmware records a violation.
    virtual bool Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                         std::span<const std::uint8_t> payload) {
        (void)ctx, (void)op, (void)args, (void)payload;
        return false;
    }
};

// Designs by tag.
class DesignRegistry {
public:
    using Factory = std::unique_ptr<Design> (*)();
    // Every design the simulator implements (filled by RegisterBuiltinDesigns).
    static const DesignRegistry& Builtin();

    // A tag registered twice is a programming error (std::logic_error).
    void Add(std::string tag, Factory f) {
        if (!designs_.emplace(tag, f).second) throw std::logic_error("design registered twice: " + tag);
    }
    template <class D>
    void Add() {
        Add(std::string(D::TagName), []() -> std::unique_ptr<Design> { return std::make_unique<D>(); });
    }
    bool Has(std::string_view tag) const { return designs_.find(tag) != designs_.end(); }
    std::unique_ptr<Design> Create(std::string_view tag) const {
        auto it = designs_.find(tag);
        return it == designs_.end() ? nullptr : it->second();
    }
    std::vector<std::string> Tags() const {
        std::vector<std::string> r;
        for (const auto& [t, f] : designs_) r.push_back(t);
        return r;
    }

private:
    std::map<std::string, Factory, std::less<>> designs_;
};

// Registers every built-in design (sim/designs/builtin.cpp).
void RegisterBuiltinDesigns(DesignRegistry& registry);

// The tag a design file's data carries: the data (from its first 0xFF) is
// 0xFF, "QSIM design=<tag>", then a NUL or the end. Empty when none.
std::string DesignTagOf(std::span<const std::uint8_t> data);

}  // namespace quilla::sim
