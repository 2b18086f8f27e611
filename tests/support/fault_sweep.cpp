#include "support/fault_sweep.h"

namespace quilla::test {

std::string Describe(LinkFault f) {
    switch (f) {
        case LinkFault::DetachBefore: return "detach before";
        case LinkFault::DetachAfter: return "detach after";
        case LinkFault::OutFailure: return "OUT failure at";
        case LinkFault::NoReply: return "no reply from";
        case LinkFault::ShortReply: return "short reply from";
    }
    return "?";
}

namespace {

constexpr int kShortReplyBytes = 32;

struct Outcome {
    std::vector<std::string> trueTexts, falseTexts;
    bool fatal = false;
};

// One run of the operation on a fresh bench; `arm` installs the fault on the tap.
Outcome RunOnce(const FaultSweep& s, const std::function<void(SimBench&)>& arm) {
    Outcome o;
    std::unique_ptr<SimBench> b = s.prepare();
    AlgoForm& f = s.form(*b);
    f.SetSuccessListener([&](const std::string& text) {
        (s.holds(*b, text) ? o.trueTexts : o.falseTexts).push_back(text);
    });
    b->tap->outTransfers = 0;
    arm(*b);
    try {
        s.operation(*b, f);
    } catch (const FatalExit&) {
        o.fatal = true;
    }
    f.SetSuccessListener(nullptr);
    b->tap->beforeOut = nullptr;
    b->tap->afterOut = nullptr;
    return o;
}

}  // namespace

FaultSweep::Result FaultSweep::Run() const {
    Result r;
    // The clean run: count the transfers; its success texts must hold.
    {
        int count = 0;
        Outcome clean = RunOnce(*this, [&](SimBench& b) { b.tap->afterOut = [&](int k) { count = k; }; });
        r.transfers = count;
        EXPECT_FALSE(clean.fatal) << "the operation ends the program without a fault";
        EXPECT_FALSE(clean.trueTexts.empty()) << "the clean run shows no success text: the sweep proves nothing";
        for (const std::string& t : clean.falseTexts) ADD_FAILURE() << "clean run: false success \"" << t << "\"";
        if (clean.fatal || clean.trueTexts.empty()) return r;
    }
    for (int k = 1; k <= r.transfers; ++k) {
        for (LinkFault fault : faults) {
            Outcome o = RunOnce(*this, [k, fault](SimBench& b) {
                sim::Programmer& p = *b.sim;
                auto before = [k, fault, &p](int t) {
                    if (t != k) return;
                    switch (fault) {
                        case LinkFault::DetachBefore: p.Detach(); break;
                        case LinkFault::OutFailure: p.InjectOutFailure(1); break;
                        case LinkFault::NoReply: p.InjectNoReply(1); break;
                        case LinkFault::ShortReply: p.InjectShortReply(kShortReplyBytes, 1); break;
                        case LinkFault::DetachAfter: break;
                    }
                };
                b.tap->beforeOut = before;
                if (fault == LinkFault::DetachAfter)
                    b.tap->afterOut = [k, &p](int t) {
                        if (t == k) p.Detach();
                    };
            });
            ++r.runs;
            r.fatalEnds += o.fatal;
            r.trueSuccesses += static_cast<int>(o.trueTexts.size());
            for (const std::string& t : o.falseTexts) {
                const std::string what = Describe(fault) + " transfer " + std::to_string(k) + ": \"" + t + "\"";
                r.falseSuccesses.push_back(what);
                ADD_FAILURE() << "false success with the chip wrong, " << what;
            }
        }
    }
    return r;
}

}  // namespace quilla::test
