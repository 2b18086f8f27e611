// Fuzzes the per-model configuration file as the selection dialog reads it at
// start: any bytes, any line lengths. What it restores must survive a save and
// a second load unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/programdir.h"
#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "fuzz_files.h"
#include "fuzz_prompts.h"

using namespace quilla;

namespace {

struct Restored {
    std::string type, file, mfr, category, device, adapter, params;
    int radio;
    bool operator==(const Restored&) const = default;
};

Restored Take(const Workbench& wb, const TTypeDlg& dlg) {
    return {wb.sel.TypeText, wb.DataFileName, dlg.Manufacturer, dlg.Category.substr(0, 19),
            wb.sel.SelectedDevice, wb.sel.AdapterLabel, wb.sel.ParamString, dlg.RadioIndex};
}

}  // namespace

// One workbench and dialog per side, kept between runs (building the 8 MiB
// image each run would make the fuzzer crawl); every run starts from the
// dialog's defaults.
struct Side {
    fuzz::QuietPrompts prompts;
    Workbench wb{prompts};
    TTypeDlg dlg{wb};
    Side() {
        wb.Ep3.ProgrammerModel = "vex520";
        wb.ProgramDir = SourceDataDir();  // the category a line restores lists its devices
        dlg.ConfigDir = (fuzz::ScratchDir() / "cfg").string();
    }
    void Reset() {
        wb.sel = Selection{};
        wb.DataFileName = "noname.bin";
        dlg.Manufacturer = "ATMEL";
        dlg.Category = "MPU";
    }
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Side one, two;
    one.Reset();
    two.Reset();
    fuzz::ScratchFile("cfg/vex520.cfg", data, size);
    one.dlg.LoadConfig();
    const Restored first = Take(one.wb, one.dlg);

    one.dlg.SaveConfig("Quilla");
    two.dlg.LoadConfig();
    // Lines cut at their line break by the save: a restored value that held
    // one comes back shorter, never different otherwise.
    const Restored second = Take(two.wb, two.dlg);
    auto prefix = [](const std::string& a, const std::string& b) { return a.rfind(b, 0) == 0; };
    if (!prefix(first.type, second.type) || !prefix(first.file, second.file) || !prefix(first.mfr, second.mfr) ||
        !prefix(first.device, second.device) || !prefix(first.adapter, second.adapter) ||
        !prefix(first.params, second.params) || second.radio != first.radio)
        std::abort();
    return 0;
}
