#include "support/form_sweep.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace quilla::test {

FaultSweep FormSweep(const FormSweepCase& c, std::function<bool(SimBench&, const std::string& text)> holds) {
    FaultSweep s;
    s.prepare = [c] {
        auto b = std::make_unique<SimBench>(c.part);
        b->RandomImage(FormSweepCase::kImageBytes, 17);
        std::fill(b->Image() + FormSweepCase::kImageBytes, b->Image() + FormSweepCase::kBlockBytes, 0xFF);
        auto cells = b->sim->GetChip()->MutableContents();
        std::fill(cells.begin(), cells.end(), c.chipFill);
        return b;
    };
    s.form = [c](SimBench& b) -> AlgoForm& {
        AlgoForm& f = b.Open(c.params);
        f.Enter("Edit3", "ff");
        return f;
    };
    const std::string button = c.button;
    s.operation = [button](SimBench&, AlgoForm& f) { f.Click(button); };
    s.holds = std::move(holds);
    return s;
}

}  // namespace quilla::test
