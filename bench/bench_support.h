// What the form benchmarks share: prompts that answer Yes/OK, a transport tap
// that adds up the waits the host queued (the form's floor by construction),
// and seconds from the simulated programmer's nanoseconds.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/programdir.h"
#include "app/workbench.h"
#include "engine/prompts.h"
#include "engine/stream.h"
#include "engine/transport.h"
#include "sim/clock.h"
#include "sim/programmer.h"

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
            if (c.op >= proto::OpWaitShort && c.op <= proto::OpWait100us) waits += sim::timing::OpcodeCost(c.op);
        });
        return next.BulkWrite(data, n);
    }
    int BulkRead(std::uint8_t* buf, int n) override { return next.BulkRead(buf, n); }
    Transport& next;
    sim::Nanos waits = 0;
};

inline double Sec(sim::Nanos n) { return static_cast<double>(n) / 1e9; }

// A simulated programmer of a model with a part seated, the wait counter on
// its link and a workbench on the counter, connected and reading the source
// tree's designs.
struct SimRig {
    SimRig(const char* model, const char* part)
        : prog(sim::MakeSimulatedProgrammer(model)), counter(*prog), wb(prompts, &counter) {
        prog->SeatPart(part);
        wb.ProgramDir = SourceDataDir();
        wb.Ep3.ProgramDir = SourceDataDir();
        wb.Ep3.Connected = 1;
        wb.Ep3.ProgrammerModel = model;
    }
    // Runs an operation and prints one row: its simulated time, the waits the
    // form queued during it, what commands and transfers added, a reference
    // figure, and `note` when it is not empty (a status text that went wrong).
    void Row(const char* label, const std::function<std::string()>& op, double reference) {
        const sim::Nanos t0 = prog->Now(), w0 = counter.waits;
        const std::string note = op();
        const sim::Nanos dt = prog->Now() - t0, dw = counter.waits - w0;
        std::printf("%-26s %12.3f %14.3f %14.3f %12.3f  %s\n", label, Sec(dt), Sec(dw), Sec(dt - dw), reference,
                    note.c_str());
    }

    std::unique_ptr<sim::Programmer> prog;
    WaitCounter counter;
    QuietPrompts prompts;
    Workbench wb;
};

}  // namespace quilla::bench
