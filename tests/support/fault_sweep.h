// The fault sweep every device family runs over its Write and its batch: the
// operation runs once to count its OUT transfers; then, for each transfer k and
// each link fault, it runs again on a fresh bench with the fault injected at k.
// A success text the form shows must be true: the chip holds what the text
// promises (judged by the test's `holds` when the text is shown), whatever the
// fault. Most faults end in the broken-link end, which is fine. The sweep hears
// the success gate and also watches every text painted into the form's status
// fields: one equal to a success text of the family (those the clean run sent
// through the gate, and `successTexts`) is judged as well, so a form painting
// "OK" past the gate cannot hide.
//
//   FaultSweep s;
//   s.prepare = [] { auto b = std::make_unique<SimBench>("2732A"); ...; return b; };
//   s.form = [](SimBench& b) -> AlgoForm& { return b.Open("P27 5"); };
//   s.operation = [](SimBench&, AlgoForm& f) { f.Click("Write"); };
//   s.holds = [](SimBench& b, const std::string&) { return b.ChipMatchesImage(0, 0x1000); };
//   s.Run();   // each false success is a test failure
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/sim_bench.h"

namespace quilla::test {

enum class LinkFault {
    DetachBefore,  // the programmer is unplugged just before transfer k
    DetachAfter,   // ... just after transfer k
    OutFailure,    // transfer k fails (nothing of it runs)
    NoReply,       // the first IN message from transfer k on never comes
    ShortReply,    // the first IN message from transfer k on comes cut to 32 bytes
};
std::string Describe(LinkFault f);

struct FaultSweep {
    // A fresh bench, ready for the operation (image loaded, form set up through `form`).
    std::function<std::unique_ptr<SimBench>()> prepare;
    // The form the operation runs on (opened on the bench; called after prepare).
    std::function<AlgoForm&(SimBench&)> form;
    // The operation: button clicks.
    std::function<void(SimBench&, AlgoForm&)> operation;
    // Whether the chip holds what a success text promises, at the moment it is shown.
    std::function<bool(SimBench&, const std::string& text)> holds;
    // Texts the family shows as success beyond those the clean run shows.
    std::vector<std::string> successTexts;
    std::vector<LinkFault> faults{LinkFault::DetachBefore, LinkFault::DetachAfter, LinkFault::OutFailure,
                                  LinkFault::NoReply, LinkFault::ShortReply};

    struct Result {
        int transfers = 0;        // OUT transfers of the clean run
        int runs = 0;             // faulty runs
        int fatalEnds = 0;        // runs that took the broken-link end
        int trueSuccesses = 0;    // success texts shown under a fault, with the chip right
        std::vector<std::string> falseSuccesses;  // "transfer k, fault: text"
    };
    // Runs the sweep; a clean run without a success text, a false success in the
    // clean run, and every false success under a fault are test failures.
    Result Run() const;
};

}  // namespace quilla::test
