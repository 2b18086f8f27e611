#include "sim/designs/em78.h"

#include <string>
#include <utility>

#include "engine/protocol.h"

namespace quilla::sim {

using namespace proto;

const std::array<Em78Wiring, 4>& Em78Wirings() {
    static const std::array<Em78Wiring, 4> w{{
        {"em78p156", 17, 18, {0, 0, 0, 21, 22, 20, 19}},
        {"em78p447", 17, 18, {0, 0, 0, 21, 22, 20, 19}},
        {"em78p153", 8, 9, {0, 0, 29, 32, 33, 31, 10}},
        {"em78p458", 11, 12, {0, 30, 0, 28, 29, 27, 13}},
    }};
    return w;
}

void Em78Design::OnLoaded(DesignContext& ctx) {
    lines_ = {};
    ctx.Drive(w_.sck, false);
}

void Em78Design::OnUnloaded(DesignContext& ctx) { ctx.ReleaseAll(); }

void Em78Design::OnRegisterWrite(DesignContext& ctx, std::uint8_t r, std::uint8_t v) {
    if (r != RegEm78Lines) return;
    const int n = v & 0x7F;
    if (n < 1 || n > 6) {
        ctx.Violation("em78: register 29 names line " + std::to_string(n));
        return;
    }
    const bool high = (v & LineHighBit) != 0;
    lines_[static_cast<std::size_t>(n)] = high;
    if (const int pin = w_.line[static_cast<std::size_t>(n)]) ctx.Drive(pin, high);
}

bool Em78Design::Command(DesignContext& ctx, std::uint8_t op, std::span<const std::uint8_t> args,
                         std::span<const std::uint8_t> payload) {
    (void)payload;
    switch (op) {
        case OpShiftOut: {
            const int n = args[1];
            if (n < 1 || n > 8) {
                ctx.Violation("em78: shift out of " + std::to_string(n) + " bits");
                return true;
            }
            for (int i = 0; i < n; ++i) {
                ctx.Drive(w_.data, (args[0] >> (7 - i)) & 1u);
                ctx.Elapse(HalfClock);
                ctx.Drive(w_.sck, true);
                ctx.Elapse(HalfClock);
                ctx.Drive(w_.sck, false);
            }
            ctx.Elapse(HalfClock);
            return true;
        }
        case OpShiftIn: {
            const int n = args[0];
            if (n < 1 || n > 8) {
                ctx.Violation("em78: shift in of " + std::to_string(n) + " bits");
                ctx.Capture(0);
                return true;
            }
            ctx.Release(w_.data);
            unsigned v = 0;
            for (int i = 0; i < n; ++i) {
                ctx.Drive(w_.sck, true);
                ctx.Elapse(HalfClock);
                v = (v << 1) | (ctx.Level(w_.data) ? 1u : 0u);
                ctx.Drive(w_.sck, false);
                ctx.Elapse(HalfClock);
            }
            ctx.Capture(static_cast<std::uint8_t>(v));
            return true;
        }
        default:
            return false;
    }
}

namespace {

template <std::size_t K>
std::unique_ptr<Design> MakeWiring() {
    return std::make_unique<Em78Design>(Em78Wirings()[K]);
}

}  // namespace

void RegisterEm78Designs(DesignRegistry& registry) {
    registry.Add(std::string(Em78Wirings()[0].tag), &MakeWiring<0>);
    registry.Add(std::string(Em78Wirings()[1].tag), &MakeWiring<1>);
    registry.Add(std::string(Em78Wirings()[2].tag), &MakeWiring<2>);
    registry.Add(std::string(Em78Wirings()[3].tag), &MakeWiring<3>);
}

}  // namespace quilla::sim
