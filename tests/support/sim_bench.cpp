#include "support/sim_bench.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <random>

#include "app/programdir.h"
#include "catalog/params.h"
#include "engine/stream.h"

namespace quilla::test {

// ---- Tap ----------------------------------------------------------------------------------

int Tap::BulkWrite(const std::uint8_t* data, int n) {
    const int k = ++outTransfers;
    if (beforeOut) beforeOut(k);
    if (keepTransfers) transfers.emplace_back(data, data + n);
    if (record)
        proto::ForEachCommand(data, n, [this](const proto::StreamCommand& c) {
            if (c.op != proto::OpNop) commands.push_back(c.bytes, static_cast<std::size_t>(c.length));
        });
    const int sent = next.BulkWrite(data, n);
    if (afterOut) afterOut(k);
    return sent;
}

std::size_t Tap::Count(std::uint8_t op) const {
    std::size_t k = 0;
    for (const auto& c : commands) k += c[0] == op;
    return k;
}

// ---- SimBench -------------------------------------------------------------------------------

SimBench::SimBench(const std::string& part, const std::string& model, bool withOperator) {
    sim::ModelConfig config = sim::ModelConfig::For(model);
    config.operatorChips = withOperator ? DefaultOperatorChips : 0;
    sim = std::make_shared<sim::Programmer>(config);
    if (!part.empty()) {
        EXPECT_TRUE(SeatForDevice(*sim, part)) << part;
    }
    tap = std::make_shared<Tap>(*sim);
    wb = std::make_unique<Workbench>(prompts, tap.get());
    wb->ProgramDir = SourceDataDir();
    wb->Ep3.ProgramDir = SourceDataDir();
    wb->Ep3.Connected = 1;
    wb->Ep3.ProgrammerModel = model;
    dlg = std::make_unique<TTypeDlg>(*wb);
    dlg->RadioIndex = 0;  // EPROM
    FollowOperations(*wb, sim);
}

SimBench::SimBench(const ProgramStart& start) {
    wb = std::make_unique<Workbench>(prompts);
    wb->ProgramDir = SourceDataDir();
    wb->Ep3.ProgramDir = SourceDataDir();
    dlg = std::make_unique<TTypeDlg>(*wb);
    // A folder that does not exist: no configuration file, the program's defaults.
    dlg->ConfigDir = (std::filesystem::temp_directory_path() /
                      ("quilla-no-config-" + std::to_string(::getpid())))
                         .string();
    LinkOptions opts;
    opts.model = start.model;
    opts.operatorChips = start.withOperator ? start.operatorChips : 0;
    SimulatedSession s = StartSimulatedSession(*wb, *dlg, opts, [this](const std::shared_ptr<sim::Programmer>& p) {
        tap = std::make_shared<Tap>(*p);
        return tap;
    });
    connection = std::move(s.connection);
    sim = std::move(s.programmer);
    dlg->Start();
}

AlgoForm* SimBench::Select(const std::string& category, const std::string& mfr, const std::string& item) {
    int cat = -1;
    for (int i = 0; CategoryNames[i].Text[0] != 'e'; ++i)
        if (category == CategoryNames[i].Code) cat = i;
    if (cat < 0) {
        ADD_FAILURE() << "no category " << category;
        return nullptr;
    }
    dlg->SelectCategory(cat);
    const int m = dlg->ListBox1.IndexOf(mfr);
    if (m < 0) {
        ADD_FAILURE() << "no manufacturer " << mfr << " in " << category;
        return nullptr;
    }
    dlg->ClickManufacturer(m);
    const int d = dlg->ListBox2.IndexOf(item);
    if (d < 0) {
        ADD_FAILURE() << "no line " << item << " under " << mfr;
        return nullptr;
    }
    dlg->ListBox2.Select(d);
    dlg->OKBtnClick();
    const ParsedParams p = ParseParamString(wb->sel.ParamString);
    const char* cls = ClassForKeyword(p.DeviceKeyword);
    auto* form = cls ? dynamic_cast<AlgoForm*>(dlg->Dispatch().Form(cls)) : nullptr;
    if (!form) ADD_FAILURE() << "no form opened for " << item;
    return form;
}

SimBench::~SimBench() {
    if (!checked) CheckChipSide();
}

AlgoForm& SimBench::Open(const std::string& params) {
    AlgorithmForm* f = dlg->Dispatch().Open(params);
    EXPECT_NE(f, nullptr) << params;
    auto* form = dynamic_cast<AlgoForm*>(f);
    if (!form) throw std::runtime_error("no form for " + params);
    return *form;
}

void SimBench::RandomImage(int n, unsigned seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < n; ++i) {
        const unsigned v = rng() & 0x1FF;
        Image()[i] = v > 0xFF ? 0xFF : static_cast<std::uint8_t>(v);
    }
}

bool SimBench::ChipMatchesImage(int first, int n) const {
    auto c = Chip();
    if (first < 0 || static_cast<std::size_t>(first) + static_cast<std::size_t>(n) > c.size()) return false;
    for (int i = 0; i < n; ++i)
        if (c[static_cast<std::size_t>(first + i)] != wb->ImageBuffer[static_cast<std::size_t>(first + i)])
            return false;
    return true;
}

bool SimBench::ChipBlank(int first, int n) const {
    auto c = Chip();
    if (first < 0 || static_cast<std::size_t>(first) + static_cast<std::size_t>(n) > c.size()) return false;
    for (int i = 0; i < n; ++i)
        if (c[static_cast<std::size_t>(first + i)] != 0xFF) return false;
    return true;
}

std::vector<std::string> SimBench::ChipSideFaults() const {
    std::vector<std::string> faults;
    std::vector<bool> seen(expectedViolations.size(), false);
    for (const std::string& v : sim->ViolationTexts()) {
        bool expected = false;
        for (std::size_t i = 0; i < expectedViolations.size(); ++i)
            if (v.find(expectedViolations[i]) != std::string::npos) expected = seen[i] = true;
        if (!expected) faults.push_back("protocol violation: " + v);
    }
    for (std::size_t i = 0; i < expectedViolations.size(); ++i)
        if (!seen[i]) faults.push_back("expected violation did not happen: " + expectedViolations[i]);
    if (!overCurrentExpected) {
        for (const auto& e : sim->Log().OfKind(sim::EventKind::OverCurrent))
            if (e.value != static_cast<int>(sim::OverCurrentCause::Injected))
                faults.push_back("over-current (cause " + std::to_string(e.value) + ") at " +
                                 std::to_string(e.time) + " ns");
    }
    if (!vccFromLogicExpected)
        for (const auto& e : sim->Log().OfKind(sim::EventKind::ReadOnLogicVcc))
            faults.push_back("read through an unpowered chip: its VCC pin (socket " + std::to_string(e.pin) +
                             ") held high by a logic pin, no supply, at " + std::to_string(e.time) + " ns");
    if (const sim::Chip* c = sim->GetChip(); c && c->Damaged() && !damageExpected)
        faults.push_back("chip damaged: " + c->Damage());
    return faults;
}

void SimBench::CheckChipSide() {
    checked = true;
    for (const std::string& f : ChipSideFaults()) ADD_FAILURE() << "chip side: " << f;
    // A failing test shows what the chip ignored and why (the first refusals).
    if (::testing::Test::HasFailure())
        if (const sim::Chip* c = sim->GetChip(); c && !c->Refusals().empty()) {
            std::string all;
            for (const std::string& r : c->Refusals()) all += "\n  " + r;
            std::printf("chip refusals:%s\n", all.c_str());
        }
}

}  // namespace quilla::test
