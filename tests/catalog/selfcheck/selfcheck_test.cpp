// The catalogue self-check: every line of every shipped device list opens a
// built form, with a row inside the form's table and key values the form
// accepts, and every expected ID ('#') is what the simulated chip of that
// device answers to the selection dialog's electronic-ID read.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/programdir.h"
#include "app/workbench.h"
#include "catalog/devicelist.h"
#include "catalog/dispatch.h"
#include "catalog/params.h"
#include "catalog/typedlg.h"
#include "engine/fatal.h"
#include "sim/chip.h"
#include "sim/programmer.h"
#include "support/form_classes.h"
#include "support/scripted_prompts.h"

namespace quilla {
namespace {

struct ListedDevice {
    std::string file;
    int lineNo = 0;
    std::string category, mfr, item, params;
    std::string Where() const { return file + ":" + std::to_string(lineNo) + " (" + item + ")"; }
};

const char* const ListFiles[] = {"device310.lst", "device520.lst", "device640.lst"};
const char* const Categories[] = {"EPR", "EEP", "MPU", "SER", "PLD", "RAM", "TES"};

// The shipped data folder; QUILLA_SELFCHECK_DATA points the check at another
// copy (to try new lines before they go in).
std::string DataDir() {
    const char* other = std::getenv("QUILLA_SELFCHECK_DATA");
    return other && other[0] ? std::string(other) + "/" : SourceDataDir();
}

// Every line the dialog would list under some category, read by its rules.
std::vector<ListedDevice> ReadAll(const std::string& file, std::vector<std::string>& problems) {
    std::vector<ListedDevice> out;
    DeviceListFile f;
    if (!f.Open(DataDir() + file)) {
        problems.push_back(file + ": missing");
        return out;
    }
    std::string piece;
    int lineNo = 0;
    bool continued = false;
    while (f.NextPiece(piece)) {
        if (!continued) ++lineNo;
        const bool whole = !piece.empty() && piece.back() == '\n';
        if (!whole && piece.size() >= static_cast<std::size_t>(DeviceLineMax))
            problems.push_back(file + ":" + std::to_string(lineNo) + ": longer than 499 characters");
        continued = !whole;
        for (unsigned char c : piece)
            if (c >= 0x80) {
                problems.push_back(file + ":" + std::to_string(lineNo) + ": byte from 0x80 up");
                break;
            }
        std::string line;
        bool counted = false;
        for (const char* cat : Categories) {
            if (!DeviceLineCounts(piece, cat, line)) continue;
            counted = true;
            ListedDevice d;
            d.file = file;
            d.lineNo = lineNo;
            d.category = cat;
            if (!LineManufacturer(line, d.mfr) || !LineDevice(line, d.item, d.params)) {
                problems.push_back(file + ":" + std::to_string(lineNo) + ": not CAT MFR DEVICE,PARAMETERS");
                break;
            }
            out.push_back(d);
        }
        unsigned char first = piece.empty() ? 0 : static_cast<unsigned char>(piece[0]);
        const bool ignored = first == '#' || first == '/' || first == '-' || first <= 0x20;
        if (!counted && !ignored)
            problems.push_back(file + ":" + std::to_string(lineNo) + ": unknown category code");
    }
    return out;
}

std::string ModelFor(const std::string& file) {
    if (file == "device310.lst") return "vex310";
    if (file == "device520.lst") return "vex520";
    return "vex640";
}

TEST(CatalogSelfCheck, EveryRegisteredFormIsInTheDispatchTable) {
    EXPECT_TRUE(FormRegistry::Refused().empty()) << "refused: " << ::testing::PrintToString(FormRegistry::Refused());
    for (const auto& cls : FormRegistry::Classes()) EXPECT_TRUE(IsDispatchClass(cls)) << cls;
}

TEST(CatalogSelfCheck, DispatchTableShape) {
    const auto& t = DispatchTable();
    ASSERT_EQ(t.size(), 120u);
    EXPECT_STREQ(t.front().Keyword, "ICTEST");
    EXPECT_STREQ(t.back().Keyword, "PIC16F5X");
    std::set<std::string> keywords;
    std::map<std::string, int> perClass;
    for (const auto& r : t) {
        EXPECT_TRUE(keywords.insert(r.Keyword).second) << "duplicate keyword " << r.Keyword;
        ++perClass[r.ClassName];
    }
    EXPECT_EQ(perClass["TDsRAM"], 2);
    EXPECT_EQ(perClass["TSst29eex"], 2);
    EXPECT_EQ(perClass.size(), 118u);
    EXPECT_STREQ(ClassForKeyword("AMD29f040"), "TAMD29f040x");
    EXPECT_EQ(ClassForKeyword("AMD29F040"), nullptr);
    EXPECT_STREQ(ClassForKeyword("PI28F001"), "TPi28f001x");
    EXPECT_STREQ(ClassForKeyword("PI28F"), "TPi28fxxx");
    EXPECT_STREQ(ClassForKeyword("P93C310"), "TP93cxx310");
}

// The table the every-form tests run over: each of the 118 classes once, with a
// line of a shipped list where one reaches it.
TEST(CatalogSelfCheck, EveryFormClassHasALineToOpenItWith) {
    const auto classes = test::EveryFormClass();
    ASSERT_EQ(classes.size(), 118u);
    int listed = 0;
    for (const auto& c : classes) {
        ASSERT_FALSE(c.lines.empty()) << c.className;
        const ParsedParams p = ParseParamString(c.lines.front().params);
        EXPECT_STREQ(ClassForKeyword(p.DeviceKeyword), c.className.c_str()) << c.lines.front().params;
        listed += c.lines.front().fromList;
    }
    EXPECT_GT(listed, 100);
}

TEST(CatalogSelfCheck, EveryLineOpensABuiltFormWithAValidRow) {
    std::vector<std::string> problems;
    test::ScriptedPrompts prompts;
    Workbench wb(prompts);
    wb.ProgramDir = DataDir();
    wb.Ep3.ProgramDir = DataDir();
    std::map<std::string, std::unique_ptr<AlgorithmForm>> forms;
    int checked = 0;
    for (const char* file : ListFiles) {
        for (const ListedDevice& d : ReadAll(file, problems)) {
            if (!d.item.empty() && d.item[0] == '-') continue;  // separator
            ParsedParams p = ParseParamString(d.params);
            if (!p.HasBlank) {
                problems.push_back(d.Where() + ": no keyword and variant");
                continue;
            }
            const char* cls = ClassForKeyword(p.DeviceKeyword);
            if (!cls) {
                problems.push_back(d.Where() + ": keyword " + p.DeviceKeyword + " has no dispatch row");
                continue;
            }
            const FormFactory* factory = FormRegistry::Find(cls);
            if (!factory) {
                problems.push_back(d.Where() + ": form " + cls + " is not built");
                continue;
            }
            auto& form = forms[cls];
            if (!form) form = (*factory)(wb);
            wb.sel.ParamString = d.params;
            wb.sel.DeviceKeyword = p.DeviceKeyword;
            wb.sel.VariantIndex = p.VariantIndex;
            wb.sel.ExpectedId = p.ExpectedId;
            wb.sel.SelectedDevice = d.item;
            wb.sel.TypeText = d.mfr + ": " + d.item;
            const int rows = form->VariantCount();
            if (rows >= 0 && (p.VariantIndex < 0 || p.VariantIndex >= rows))
                problems.push_back(d.Where() + ": variant " + std::to_string(p.VariantIndex) +
                                   " outside the table of " + cls);
            const std::string err = form->DeviceLineError();
            if (!err.empty()) problems.push_back(d.Where() + ": " + err);
            ++checked;
        }
    }
    EXPECT_TRUE(prompts.shown.empty()) << "a form showed: " << prompts.Last();
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
    RecordProperty("lines_checked", checked);
}

// The selection dialog's own check of a line (what OK refuses) passes every
// device it lists from the shipped files.
TEST(CatalogSelfCheck, TheDialogRefusesNoShippedLine) {
    std::vector<std::string> problems;
    int checked = 0;
    for (const char* file : ListFiles) {
        test::ScriptedPrompts prompts;
        Workbench wb(prompts);
        wb.ProgramDir = DataDir();
        wb.Ep3.ProgramDir = DataDir();
        wb.Ep3.ProgrammerModel = ModelFor(file);
        TTypeDlg dlg(wb);
        for (int cat = 0; cat < static_cast<int>(dlg.RadioItems.size()); ++cat) {
            dlg.RadioIndex = cat;
            dlg.Radio1OnClick();
            for (int m = 0; m < static_cast<int>(dlg.ListBox1.Items.size()); ++m) {
                dlg.ClickManufacturer(m);
                for (int i = 0; i < static_cast<int>(dlg.ListBox2.Items.size()); ++i) {
                    if (dlg.ListBox2.Items[static_cast<std::size_t>(i)].rfind('-', 0) == 0) continue;
                    const std::string err = dlg.DeviceLineError(i);
                    if (!err.empty()) problems.push_back(std::string(file) + ": " + err);
                    ++checked;
                }
            }
        }
        dlg.FormClose();
        if (!prompts.shown.empty()) problems.push_back(std::string(file) + ": " + prompts.Last());
    }
    EXPECT_GT(checked, 800);
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

// The expected ID of a '#' line against the simulated chip, read the way the
// user reads it: select the device (its form loads its design), then
// " Detect MFG ID  ".
TEST(CatalogSelfCheck, EveryExpectedIdMatchesTheSimulatedChip) {
    FatalIntercept fatal;
    std::vector<std::string> problems;
    int checked = 0;
    for (const char* file : ListFiles) {
        std::vector<std::string> ignored;
        for (const ListedDevice& d : ReadAll(file, ignored)) {
            if (d.params.find('#') == std::string::npos) continue;
            ParsedParams p = ParseParamString(d.params);
            if (!p.HasBlank || !ClassForKeyword(p.DeviceKeyword)) continue;  // reported above
            // The vex310 AT90S form reads '#' byte 0 as the wiring of an adapted chip, not an ID.
            if (p.DeviceKeyword == "AT90S8515S") continue;
            const std::string part = d.item.substr(0, d.item.find(' '));
            if (!sim::ChipRegistry::Builtin().Has(part)) {
                problems.push_back(d.Where() + ": no simulated chip " + part + " to check its ID");
                continue;
            }
            sim::Programmer prog(sim::ModelConfig::For(ModelFor(file)));
            prog.SeatPart(part);
            test::ScriptedPrompts prompts;
            Workbench wb(prompts, &prog);
            wb.ProgramDir = DataDir();
            wb.Ep3.ProgramDir = DataDir();
            wb.Ep3.ProgrammerModel = ModelFor(file);
            wb.Ep3.Connected = 1;
            TTypeDlg dlg(wb);
            dlg.RadioIndex = d.category == "EEP" ? 1 : 0;
            int own = 0;  // ID bytes the form reads itself
            try {
                wb.sel.TypeText = d.mfr + ": " + d.item;
                wb.sel.SelectedDevice = d.item;
                AlgorithmForm* form = dlg.Dispatch().Open(d.params);
                own = form ? form->ReadIdForSelfCheck() : 0;
                if (own == 0) dlg.MFRClick();
            } catch (const FatalExit& e) {
                problems.push_back(d.Where() + ": link ended: " + e.message);
                continue;
            }
            if (own > 0) {
                std::string answer;
                bool same = true;
                for (int i = 0; i < own && i < 4; ++i) {
                    const auto k = static_cast<std::size_t>(i);
                    same = same && wb.sel.LastReadId[k] == p.ExpectedId[k];
                    char hex[4];
                    std::snprintf(hex, sizeof hex, "%02x", wb.sel.LastReadId[k]);
                    answer += (i ? " " : "") + std::string(hex);
                }
                if (!same) problems.push_back(d.Where() + ": the form reads the ID " + answer);
                if (!prompts.shown.empty()) problems.push_back(d.Where() + ": the ID read showed " + prompts.Last());
            } else if (wb.sel.MfrIdByte != p.ExpectedId[0] || wb.sel.DeviceIdByte != p.ExpectedId[1]) {
                problems.push_back(d.Where() + ": the chip answers " + dlg.Edit1);
            }
            if (!prog.Violations().empty())
                problems.push_back(d.Where() + ": " + ::testing::PrintToString(prog.ViolationTexts()));
            ++checked;
        }
    }
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
    RecordProperty("ids_checked", checked);
}

}  // namespace
}  // namespace quilla
