// What the form benchmarks share: prompts that answer Yes/OK, a transport tap
// that adds up the waits the host queued (the form's floor by construction),
// and seconds from the simulated programmer's nanoseconds.
#pragma once

#include <string>

#include "engine/prompts.h"
#include "engine/stream.h"
#include "engine/transport.h"
#include "sim/clock.h"

namespace quilla::bench {

struct QuietPrompts : Prompts {
    int Message(const std::string&, const std::string&, MsgKind, int buttons) override {
        return (buttons & BtnYes) ? BtnYes : BtnOk;
    }
    void Beep() override {}
};

// Passes every transfer on and adds up the wait opcodes the host queued.
struct WaitCounter : Transport {
    explicit WaitCounter(Transport& t) : next(t) {}
    int BulkWrite(const std::uint8_t* data, int n) override {
        proto::ForEachCommand(data, n, [this](const proto::StreamCommand& c) {
            if (c.op >= proto::OpWaitShort && c.op <= proto::OpWait29) waits += sim::timing::OpcodeCost(c.op);
        });
        return next.BulkWrite(data, n);
    }
    int BulkRead(std::uint8_t* buf, int n) override { return next.BulkRead(buf, n); }
    Transport& next;
    sim::Nanos waits = 0;
};

inline double Sec(sim::Nanos n) { return static_cast<double>(n) / 1e9; }

}  // namespace quilla::bench
