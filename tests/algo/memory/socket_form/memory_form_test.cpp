// The memory frame's windows, every memory form as its first device line opens
// it: the handler tables bind by control name and pass over a name no control
// has, so a misspelt name would leave a button dead without a word.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "algo/memory/memory_form.h"
#include "support/form_classes.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

TEST(MemoryWindows, EveryButtonShownHasItsHandlerAndTheOffsetEditsReadBack) {
    // F640's Unlock is shown without an action.
    const std::set<std::pair<std::string, std::string>> dead = {{"TF640x", "Button3"}};
    int forms = 0;
    for (const FormClass& cls : EveryFormClass()) {
        const ClassLine& line = cls.lines.front();
        SimBench b("", line.model);
        if (!line.part.empty()) b.sim->SeatPart(line.part);
        auto* f = dynamic_cast<MemoryForm*>(&b.Open(line.params));
        if (!f) continue;
        ++forms;
        SCOPED_TRACE(cls.className);
        for (const auto& c : f->Controls()) {
            if (c->Kind != ControlKind::Button || !c->Visible || !c->Enabled) continue;
            EXPECT_EQ(static_cast<bool>(c->OnClick), !dead.contains({cls.className, c->Name})) << c->Name;
        }
        // The Device offset edit reads back on every window (the File offset one
        // only where the window keeps it: the end-address windows read it at
        // each operation).
        f->Enter("Edit2", "400");
        EXPECT_EQ(f->Offsets.DeviceOffset, 0x400);
        EXPECT_EQ(f->Text("Edit2"), "400");
    }
    EXPECT_EQ(forms, 28);  // 21 socket forms with the RAM tester, 2 hub forms, 5 adapter forms
}

}  // namespace
}  // namespace quilla::test
