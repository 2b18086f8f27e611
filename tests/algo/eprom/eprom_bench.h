// A workbench on the simulated programmer with a chip of the given part in
// the socket, the selection dialog (for the ID buttons) and the dispatch:
// forms are opened by their parameter string and driven by control name.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "engine/fatal.h"
#include "engine/protocol.h"
#include "engine/stream.h"
#include "sim/chips/eprom.h"
#include "sim/programmer.h"
#include "support/scripted_prompts.h"

namespace quilla::test {

// Passes every transfer to the simulated programmer and keeps the commands
// the host sent (opcode and arguments, fillers and payloads left out).
struct Tap : Transport {
    explicit Tap(Transport& t) : next(t) {}
    int BulkWrite(const std::uint8_t* data, int n) override {
        proto::ForEachCommand(data, n, [this](const proto::StreamCommand& c) {
            if (c.op != proto::OpNop) commands.emplace_back(c.bytes, c.bytes + c.length);
        });
        return next.BulkWrite(data, n);
    }
    int BulkRead(std::uint8_t* buf, int n) override { return next.BulkRead(buf, n); }
    std::size_t Count(std::uint8_t op) const {
        std::size_t k = 0;
        for (const auto& c : commands) k += c[0] == op;
        return k;
    }
    Transport& next;
    std::vector<std::vector<std::uint8_t>> commands;
};

struct SimBench {
    explicit SimBench(const std::string& part, const std::string& model = "vex520")
        : sim(sim::MakeSimulatedProgrammer(model)) {
        if (!part.empty()) {
            EXPECT_TRUE(sim->SeatPart(part)) << part;
        }
        tap = std::make_unique<Tap>(*sim);
        wb = std::make_unique<Workbench>(prompts, tap.get());
        wb->ProgramDir = QUILLA_SOURCE_DATA;
        wb->Ep3.ProgramDir = QUILLA_SOURCE_DATA;
        wb->Ep3.Connected = 1;
        wb->Ep3.ProgrammerModel = model;
        dlg = std::make_unique<TTypeDlg>(*wb);
        dlg->RadioIndex = 0;  // EPROM
        wb->TypeDlg = dlg.get();
    }

    // Opens (or re-opens) the form of a parameter string, as the selection does.
    AlgoForm& Open(const std::string& params) {
        AlgorithmForm* f = dlg->Dispatch().Open(params);
        EXPECT_NE(f, nullptr) << params;
        auto* form = dynamic_cast<AlgoForm*>(f);
        if (!form) throw std::runtime_error("no form for " + params);
        return *form;
    }

    std::span<const std::uint8_t> Chip() const { return sim->GetChip()->Contents(); }
    sim::EpromChip& Eprom() const { return dynamic_cast<sim::EpromChip&>(*sim->GetChip()); }
    std::uint8_t* Image() { return wb->ImageBuffer.data(); }

    // Random image bytes in [0, n), with a share of 0xFF bytes.
    void RandomImage(int n, unsigned seed = 7) {
        std::mt19937 rng(seed);
        for (int i = 0; i < n; ++i) {
            const unsigned v = rng() & 0x1FF;
            Image()[i] = v > 0xFF ? 0xFF : static_cast<std::uint8_t>(v);
        }
    }
    bool ChipMatchesImage(int first, int n) const {
        auto c = Chip();
        for (int i = 0; i < n; ++i)
            if (c[static_cast<std::size_t>(first + i)] != wb->ImageBuffer[static_cast<std::size_t>(first + i)])
                return false;
        return true;
    }
    std::uint64_t Transfers() const { return sim->GetCounters().transfersOut; }

    FatalIntercept fatal;
    ScriptedPrompts prompts;
    std::unique_ptr<sim::Programmer> sim;
    std::unique_ptr<Tap> tap;
    std::unique_ptr<Workbench> wb;
    std::unique_ptr<TTypeDlg> dlg;
};

}  // namespace quilla::test
