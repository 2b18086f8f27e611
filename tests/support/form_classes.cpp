#include "support/form_classes.h"

#include <map>

#include "app/programdir.h"
#include "catalog/devicelist.h"
#include "catalog/dispatch.h"
#include "catalog/form.h"
#include "catalog/params.h"

namespace quilla::test {
namespace {

struct ListFile {
    const char* file;
    const char* model;
};
const ListFile Lists[] = {{"device520.lst", "vex520"}, {"device640.lst", "vex640"}, {"device310.lst", "vex310"}};
const char* const Categories[] = {"EPR", "EEP", "MPU", "SER", "PLD", "RAM", "TES"};

}  // namespace

std::vector<FormClass> EveryFormClass() {
    std::vector<FormClass> out;
    std::map<std::string, std::size_t> index;
    for (const DispatchRow& r : DispatchTable()) {
        if (!FormRegistry::Find(r.ClassName)) continue;
        auto [it, added] = index.emplace(r.ClassName, out.size());
        if (added) out.push_back({r.ClassName, {}, {}});
        out[it->second].keywords.push_back(r.Keyword);
    }
    for (const ListFile& lf : Lists) {
        DeviceListFile f;
        if (!f.Open(SourceDataDir() + lf.file)) continue;
        std::string piece, line;
        while (f.NextPiece(piece)) {
            for (const char* cat : Categories) {
                if (!DeviceLineCounts(piece, cat, line)) continue;
                ClassLine l;
                l.file = lf.file;
                l.model = lf.model;
                l.category = cat;
                if (!LineManufacturer(line, l.mfr) || !LineDevice(line, l.item, l.params)) break;
                if (l.item.empty() || l.item[0] == '-') break;  // separator
                const ParsedParams p = ParseParamString(l.params);
                const char* cls = p.HasBlank ? ClassForKeyword(p.DeviceKeyword) : nullptr;
                if (!cls || !index.count(cls)) break;
                l.part = l.item.substr(0, l.item.find(' '));
                out[index[cls]].lines.push_back(l);
                break;
            }
        }
    }
    for (FormClass& c : out) {
        if (!c.lines.empty()) continue;
        ClassLine l;
        l.model = "vex520";
        l.params = c.keywords.front() + " 1";
        l.fromList = false;
        c.lines.push_back(l);
    }
    return out;
}

}  // namespace quilla::test
