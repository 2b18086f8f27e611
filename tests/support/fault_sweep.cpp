#include "support/fault_sweep.h"

#include <algorithm>
#include <optional>

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
    std::vector<std::string> gateTexts;  // the texts that came through the success gate
    bool fatal = false;
};

// Watches the status fields: a success text painted there is judged like one
// that came through the gate (once: the gate paints its text first, then tells).
class StatusWatch : public FormView {
public:
    StatusWatch(AlgoForm& f, const std::vector<std::string>& texts, std::function<void(const std::string&)> judge)
        : form_(f), previous_(f.View()), texts_(texts), judge_(std::move(judge)) {
        form_.SetView(this);
    }
    ~StatusWatch() override { form_.SetView(previous_); }
    StatusWatch(const StatusWatch&) = delete;
    StatusWatch& operator=(const StatusWatch&) = delete;

    void Repaint(const FormControl& c) override {
        if (previous_) previous_->Repaint(c);
        judged_.reset();
        if (c.Kind != ControlKind::Status && c.Name != form_.StatusName()) return;
        if (std::find(texts_.begin(), texts_.end(), c.Text) == texts_.end()) return;
        judged_ = c.Text;
        judge_(c.Text);
    }
    void CaptionChanged() override {
        if (previous_) previous_->CaptionChanged();
    }
    void Shown() override {
        if (previous_) previous_->Shown();
    }
    void Hidden() override {
        if (previous_) previous_->Hidden();
    }
    // The gate told of `text`: true when the paint just judged it.
    bool TakeJudged(const std::string& text) {
        const bool same = judged_ && *judged_ == text;
        judged_.reset();
        return same;
    }

private:
    AlgoForm& form_;
    FormView* previous_;
    const std::vector<std::string>& texts_;
    std::function<void(const std::string&)> judge_;
    std::optional<std::string> judged_;
};

// One run of the operation on a fresh bench; `arm` installs the fault on the tap.
// `watched`: the success texts of the family, judged wherever they are painted.
Outcome RunOnce(const FaultSweep& s, const std::vector<std::string>& watched,
                const std::function<void(SimBench&)>& arm) {
    Outcome o;
    std::unique_ptr<SimBench> b = s.prepare();
    AlgoForm& f = s.form(*b);
    auto judge = [&](const std::string& text) { (s.holds(*b, text) ? o.trueTexts : o.falseTexts).push_back(text); };
    {
        StatusWatch watch(f, watched, judge);
        f.SetSuccessListener([&](const std::string& text) {
            o.gateTexts.push_back(text);
            if (!watch.TakeJudged(text)) judge(text);
        });
        b->tap->outTransfers = 0;
        arm(*b);
        try {
            s.operation(*b, f);
        } catch (const FatalExit&) {
            o.fatal = true;
        }
        f.SetSuccessListener(nullptr);
    }
    b->tap->beforeOut = nullptr;
    b->tap->afterOut = nullptr;
    return o;
}

}  // namespace

FaultSweep::Result FaultSweep::Run() const {
    Result r;
    // The clean run: count the transfers; its success texts must hold.
    std::vector<std::string> watched = successTexts;
    {
        int count = 0;
        Outcome clean = RunOnce(*this, watched, [&](SimBench& b) { b.tap->afterOut = [&](int k) { count = k; }; });
        for (const std::string& t : clean.gateTexts)
            if (std::find(watched.begin(), watched.end(), t) == watched.end()) watched.push_back(t);
        r.transfers = count;
        EXPECT_FALSE(clean.fatal) << "the operation ends the program without a fault";
        EXPECT_FALSE(clean.trueTexts.empty()) << "the clean run shows no success text: the sweep proves nothing";
        for (const std::string& t : clean.falseTexts) ADD_FAILURE() << "clean run: false success \"" << t << "\"";
        if (clean.fatal || clean.trueTexts.empty()) return r;
    }
    for (int k = 1; k <= r.transfers; ++k) {
        for (LinkFault fault : faults) {
            Outcome o = RunOnce(*this, watched, [k, fault](SimBench& b) {
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
