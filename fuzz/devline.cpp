// Fuzzes device-list lines with their parameter strings: the reading rules of
// a line, the manufacturer and item split, the Find filter, the parameter
// string (keyword, variant, ID, keys, adapter), and the check every form makes
// of the line it is set up for. Nothing may be read outside a line, and a
// form's check must not index its table with a variant outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/selection.h"
#include "app/workbench.h"
#include "catalog/devicelist.h"
#include "catalog/dispatch.h"
#include "catalog/params.h"
#include "fuzz_files.h"
#include "fuzz_prompts.h"

using namespace quilla;

namespace {
const char* const kCategories[] = {"EPR", "MPU", "MCU", "PLD", "SER", "TES", "RAM", "FLA"};
const char* const kKeys[] = {"vcc=", "vpp=", "fla=", "ee=", "dly=", "cfg=", "pkg=", "pm=", "add=", "adp=", "page="};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::QuietPrompts prompts;
    static Workbench wb(prompts);
    static std::map<std::string, std::unique_ptr<AlgorithmForm>> forms;
    if (size < 1) return 0;
    const std::string category = kCategories[data[0] % std::size(kCategories)];
    const std::string raw(reinterpret_cast<const char*>(data + 1), size - 1);

    // The same bytes as a list file, piece by piece.
    {
        const std::string path = fuzz::ScratchFile("device.lst", data + 1, size - 1);
        DeviceListFile list;
        if (list.Open(path)) {
            std::string piece, line;
            int pieces = 0;
            while (list.NextPiece(piece) && ++pieces < 10000) {
                if (piece.size() > static_cast<std::size_t>(DeviceLineMax)) std::abort();
                if (DeviceLineCounts(piece, category, line)) (void)MatchFindText(line, raw.substr(0, 8));
            }
        }
    }

    std::string line;
    if (!DeviceLineCounts(raw, category, line)) line = raw;
    std::string mfr, item, params;
    (void)LineManufacturer(line, mfr);
    if (!LineDevice(line, item, params)) params = line;
    (void)MatchFindText(line, item);

    const ParsedParams p = ParseParamString(params);
    (void)AdapterFor(params, item);
    for (const char* key : kKeys) (void)GetParam(params, key);
    if (!p.HasBlank) return 0;
    const char* cls = ClassForKeyword(p.DeviceKeyword);
    if (!cls) return 0;
    const FormFactory* factory = FormRegistry::Find(cls);
    if (!factory) return 0;
    auto& form = forms[cls];
    if (!form) form = (*factory)(wb);
    wb.sel.ParamString = params;
    wb.sel.DeviceKeyword = p.DeviceKeyword;
    wb.sel.VariantIndex = p.VariantIndex;
    wb.sel.ExpectedId = p.ExpectedId;
    wb.sel.SelectedDevice = item;
    wb.sel.TypeText = mfr + ": " + item;
    (void)form->VariantCount();
    (void)form->DeviceLineError();
    return 0;
}
