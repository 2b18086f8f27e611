// Every form class run through the program's own simulated-programmer path:
// the line is chosen in the selection dialog (program defaults, no
// configuration file), the dispatch seats a fresh chip of its part, then the
// fresh chip is checked (Blank?, or Read for forms without one), a small image
// is written and verified, and the chip must hold it. One table, run twice:
// each row in a fresh program, and all rows in order in one program (one per
// programmer model), where whatever an earlier form left behind must not
// matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/jedec.h"
#include "app/svf.h"
#include "sim/chip.h"
#include "support/fixtures.h"
#include "support/form_classes.h"
#include "support/sim_bench.h"

namespace quilla::test {
namespace {

// How a row proves its class.
enum class Proof {
    Image,      // fresh check, Write of 16 bytes, Verify; the chip holds the bytes
    Ram,        // as Image, but a RAM holds no blank state to check first
    Jedec,      // fresh check, Write and Verify of a JEDEC fixture
    HoltekOtp,  // fresh check, Write and Verify of an ".OTP" image of 16 ROM bytes
    Jtag,       // ID shows the IDCODE; an IDCODE SVF plays to "OK"
    LogicTest,  // the type 74xx00 tests "OK!" on the line's chip
    NoChip,     // no list line or no chip model: the form opens, sets up, and
                // its fresh check on the empty socket shows no success text
};

struct Op {
    const char* button = nullptr;
    const char* text = nullptr;  // the status text it ends with
};

struct ClassRow {
    const char* cls;
    Proof proof;
    Op fresh, write, verify;
    const char* fixture = nullptr;  // Jedec: the file under fixtures/jed
};

constexpr Proof I = Proof::Image;

const ClassRow Rows[] = {
    {"TICTestx", Proof::LogicTest, {"Test1", "OK!"}, {}, {}},
    {"TAt49fx", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TAt89c5x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TAt89c5xwd", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP2051x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TPW785x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP97c205x", I, {"Blank", "Blank"}, {"Write", "Ended."}, {"Verify", "Data OK.."}},
    {"TPW27x", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TPi28f001x", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TP27x", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TPi28fxxx", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TP29fxxx", I, {"Blank", "OK"}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TMx29fxxx1", I, {"Blank", "OK!"}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TP24c0x310", I, {"Read1", "Data in buffer.."}, {"Write", "Ended."}, {"Verify", "Verified!"}},
    {"TP24c0x", I, {"Read1", "OK"}, {"Write", "OK"}, {"Verify", "Verified!"}},
    {"TP29cx", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TP29c256", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TP28cx", I, {"ReadButton", "OK!"}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TP2816x", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TP22V10x", Proof::Jedec, {"Blank", "Blank."}, {"Write", "End."}, {"Verify", "Data OK.."}, "sum22v10.jed"},
    {"TGALx", Proof::Jedec, {"Blank", "Blank."}, {"Write", "End."}, {"Verify", "OK!!!"}, "and16v8.jed"},
    {"TPhi89c5x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16c8x", I, {"Blank", "OK"}, {"Write", "End."}, {"Verify", "OK"}},
    {"TP16c54x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16c57x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16c6x", I, {"Blank", "OK"}, {"Write", "Ended."}, {"Verify", "OK"}},
    {"TP93cxx", I, {"Blank", "Blank"}, {"Write", "Done"}, {"Verify", "Verified!"}},
    {"TP93cxx310", I, {"Blank", "Blank"}, {"Write", "Done"}, {"Verify", "Verified!"}},
    {"TP93x16", I, {"Blank", "Blank"}, {"Write", "Done"}, {"Verify", "Verified!"}},
    {"TP93x16x310x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK!"}},
    {"TMdt20xx", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TMdt2051x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TPhi87lpx", I, {"Blank", "Blank."}, {"Write", "OK"}, {"Verify", "Verified"}},
    {"TSST89c5x1", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP12c508x", I, {"Blank", "OK"}, {"Write", "Ended."}, {"Verify", "OK"}},
    {"TEm78p156", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TEm78p447", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TPhi875x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TDsRAM", Proof::Ram, {"ReadButton", "OK!"}, {"Write", "OK!"}, {"Verify", "OK"}},
    {"TMsu2958x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TSm2952", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TMsu2964x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "Verified!"}},
    {"TW78e516x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TAmi22cv10x", Proof::Jedec, {"Blank", "Blank."}, {"Write", "End."}, {"Verify", "Data OK.."}, "sum22v10.jed"},
    {"TPalceGALx", Proof::Jedec, {"Blank", "Blank."}, {"Write", "End."}, {"Verify", "Data OK.."}, "and16v8.jed"},
    {"TX28cx1", I, {"Blank", "Blank."}, {"Write", "Writing OK......."}, {"Verify", "Data OK!"}},
    {"TAt89x8252x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16f87x", Proof::NoChip, {"Blank"}, {}, {}},
    {"TSst29eex", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TP27sfx", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TPhi89c51rx2", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TPhi89new", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TPhi87c591x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TV87c58x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16f7x1", I, {"Blank", "Blank"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"Tsst29xf1", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"Tv29c51004x", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TSm8951x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TSm89516x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TSm59064x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TSm59264x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TW29cx", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TCr80px00x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16f628x", I, {"Blank", "OK"}, {"Write", "End."}, {"Verify", "OK"}},
    {"TAt28c256x", I, {"ReadButton", "OK!"}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TI82802ax", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TAT90sx", I, {"Blank", "Blank"}, {"Write", "End."}, {"Verify", "OK!!!"}},
    {"TAt90s8515x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAt90s8515x_vex310", I, {"Blank", "Blank"}, {"Write", "End."}, {"Verify", "Data OK.."}},
    {"TAt90s8535x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAt90s2333x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAtiny28x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAtiny1x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAtiny2x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAtmegax", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAtmega163x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAtmega162x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAtmega161x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAt90s2323x", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TAt90s2323Hix", I, {"Blank", "OK!"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TIS89c52ax", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TSst49lf008x", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TP16fEEx", I, {"Blank", "OK"}, {"Write", "End."}, {"Verify", "OK"}},
    {"TP16fx", Proof::NoChip, {"Blank"}, {}, {}},
    {"TP16f87xa1", I, {"Blank", "OK"}, {"Write", "End."}, {"Verify", "OK"}},
    {"TAt89s5x1", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TAt89c51rd2x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TAt89c51rc2x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16c505x", I, {"Blank", "OK"}, {"Write", "Ended."}, {"Verify", "OK"}},
    {"TP12fxxx", I, {"Blank", "OK"}, {"Write", "End."}, {"Verify", "OK"}},
    {"TP16f630x", I, {"Blank", "OK"}, {"Write", "End."}, {"Verify", "OK"}},
    {"TSST89e554x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TSST89e564x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TPhi89c51rx2xx1", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TF640x", I, {"Blank", "OK"}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TMx29x161x1", I, {"Blank", "OK"}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"Ti27cx", I, {"Blank", "OK"}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TP29f640x", I, {"Blank", "OK"}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"THn29w25611x", Proof::NoChip, {"Blank"}, {}, {}},
    {"TAt25spi1", I, {"Read1", "OK"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TActrans25x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK!!!"}},
    {"TP89lpc932", I, {"Blank", "OK "}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP89lpc9xxSPI", Proof::NoChip, {"Blank"}, {}, {}},
    {"TP16f628a1", I, {"Blank", "OK"}, {"Write", "End."}, {"Verify", "OK"}},
    {"TP18fxx2", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP18cxxx", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP17c4x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TEm78p153x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TEm78p458x", I, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TP16cxxx1", I, {"Blank", "OK"}, {"Write", "Ended."}, {"Verify", "OK"}},
    {"TAMD29f040x", I, {"Blank", "OK"}, {"Write", "OK!"}, {"Verify", "OK.."}},
    {"TX5045x", I, {"Blank", "Blank"}, {"Write", "Done"}, {"Verify", "Verified!"}},
    {"THoltekOTP1", Proof::HoltekOtp, {"Blank", "OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TDs89c4xx", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TDs87c520x", I, {"Blank", "Blank OK"}, {"Write", "OK"}, {"Verify", "OK"}},
    {"TXc95x", Proof::Jtag, {"ID", "93,20,60,59,"}, {}, {}},
    {"TSst28vf040", I, {"Blank", "Blank."}, {"Write", "OK!"}, {"Verify", "Data OK!"}},
    {"TP16f5x", I, {"Blank", "Blank.!"}, {"Write", "OK"}, {"Verify", "OK"}},
};

// The line a row runs: the smallest part of the class that has a chip model
// (the first listed among equals), else the class's first line.
struct Chosen {
    ClassLine line;
    bool modelled = false;
};

std::size_t ModelSize(const std::string& part) {
    sim::SeatedPart sp = sim::ChipRegistry::Builtin().Create(part);
    return sp.chip ? sp.chip->Contents().size() + 1 : 0;  // 0: no model
}

const std::map<std::string, Chosen>& ChosenLines() {
    static const std::map<std::string, Chosen> chosen = [] {
        std::map<std::string, Chosen> m;
        for (const FormClass& c : EveryFormClass()) {
            Chosen best{c.lines.front(), false};
            std::size_t bestSize = 0;
            for (const ClassLine& l : c.lines) {
                const std::size_t n = l.fromList ? ModelSize(l.part) : 0;
                if (n != 0 && (!best.modelled || n < bestSize)) {
                    best = {l, true};
                    bestSize = n;
                }
            }
            m[c.className] = best;
        }
        return m;
    }();
    return chosen;
}

// 16 bytes any family takes as data: even bytes free, odd bytes below 0x10
// (the high byte of a 12- or 14-bit word).
void PutPattern(std::uint8_t* image) {
    for (int i = 0; i < 16; ++i)
        image[i] = static_cast<std::uint8_t>((i & 1) ? (i * 3) & 0x0F : 0x20 + i * 7);
}

// An ".OTP" image of a whole ROM (the header of 45 bytes, the ROM record
// with the 16 bytes first, the OPTION record with the lock bit clear).
void PutHoltekOtp(std::uint8_t* image, int romBytes) {
    constexpr int kHeader = 45;
    const int record = romBytes + 5;
    std::fill(image, image + kHeader + record + 80, 0);
    image[0] = 0xC0;
    image[1] = kHeader;
    image[kHeader + 3] = 0x65;
    image[kHeader + 4] = static_cast<std::uint8_t>(record);
    image[kHeader + 5] = static_cast<std::uint8_t>(record >> 8);
    std::fill(image + kHeader + 10, image + kHeader + 10 + romBytes, 0xFF);
    PutPattern(image + kHeader + 10);
    const int option = kHeader + record + 6;
    image[option] = 0x65;
    image[option + 1] = 68;
}

std::string Clicked(AlgoForm& f, const Op& op) {
    f.Click(op.button);
    return f.Text(f.StatusName());
}

const std::vector<std::string>& View(AlgoForm& f) { return f.Get("RichEdit1").Items; }

// Runs one row in the program `b` (the programmer model of its line).
void RunRow(SimBench& b, const ClassRow& row) {
    const Chosen& c = ChosenLines().at(row.cls);
    SCOPED_TRACE(std::string(row.cls) + " on " + c.line.model + ": " + c.line.item + " (" + c.line.params + ")");
    AlgoForm* f = nullptr;
    // A fresh chip for every row, as the user puts one in (two lines may
    // name the same part: 93C46 x8 and x16); none where no model exists.
    if (b.sim->GetChip()) b.sim->RemoveChipModel();
    if (row.proof == Proof::NoChip) {
        ASSERT_FALSE(c.modelled) << "a chip model exists now: run the row end to end";
        b.wb->sel.SelectedDevice = c.line.item;
        b.wb->sel.ParamString = c.line.params;
        b.dlg->OpenAlgorithmForm();
        f = dynamic_cast<AlgoForm*>(b.dlg->Dispatch().Form(row.cls));
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(f->IsShown());
        std::vector<std::string> said;
        f->SetSuccessListener([&](const std::string& s) { said.push_back(s); });
        EXPECT_EQ(b.sim->GetChip(), nullptr);
        if (f->Has(row.fresh.button)) f->Click(row.fresh.button);
        EXPECT_TRUE(said.empty()) << said.front();
        return;
    }
    ASSERT_TRUE(c.modelled) << "no chip model for any line";
    b.wb->FileNew();
    f = b.Select(c.line.category, c.line.mfr, c.line.item);
    ASSERT_NE(f, nullptr);
    ASSERT_NE(b.sim->GetChip(), nullptr);
    switch (row.proof) {
        case Proof::LogicTest: {
            const auto& items = f->Get("ListBox1").Items;
            const auto it = std::find(items.begin(), items.end(), "74xx00");
            ASSERT_NE(it, items.end());
            f->Choose("ListBox1", static_cast<int>(it - items.begin()));
            EXPECT_EQ(Clicked(*f, row.fresh), row.fresh.text);
            return;
        }
        case Proof::Jtag: {
            f->Click(row.fresh.button);
            ASSERT_FALSE(View(*f).empty());
            EXPECT_EQ(View(*f).back(), row.fresh.text);
            // IDCODE (instruction fe) of any XC9536XL, the version masked.
            b.wb->SvfFileW = std::make_unique<SvfWindowState>();
            b.wb->SvfFileW->Lines = SplitSvfLines("SIR 8 TDI (fe);\nSDR 32 TDI (00000000) TDO (09602093) MASK (0fffffff);\n");
            b.wb->DataFileName = "idcode.svf";
            f->Click("Button1");
            ASSERT_FALSE(View(*f).empty());
            EXPECT_EQ(View(*f).back(), "OK");
            return;
        }
        default: break;
    }
    EXPECT_EQ(Clicked(*f, row.fresh), row.fresh.text);
    if (row.proof != Proof::Ram && std::string(row.fresh.button).find("Read") != std::string::npos) {
        EXPECT_TRUE(std::all_of(b.Image(), b.Image() + 16, [](std::uint8_t v) { return v == 0xFF; }))
            << "the fresh chip reads blank";
    }
    if (row.proof == Proof::Jedec) {
        b.wb->DataFileName = FixturesDir() + "jed/" + row.fixture;
        LoadJed(*b.wb);
    } else if (row.proof == Proof::HoltekOtp) {
        PutHoltekOtp(b.Image(), 2 * b.wb->sel.GetParam("fla="));
    } else {
        b.wb->FileNew();
        PutPattern(b.Image());
    }
    EXPECT_EQ(Clicked(*f, row.write), row.write.text);
    if (row.proof == Proof::Image || row.proof == Proof::Ram) {
        EXPECT_TRUE(b.ChipMatchesImage(0, 16)) << "the chip holds the image";
    }
    EXPECT_EQ(Clicked(*f, row.verify), row.verify.text);
    if (const sim::Chip* chip = b.sim->GetChip()) {
        EXPECT_FALSE(chip->Damaged()) << chip->Damage();
    }
}

std::string RowName(const ClassRow& r) { return r.cls; }

class EveryClass : public ::testing::TestWithParam<ClassRow> {};

TEST(EveryClassTable, CoversEveryRegisteredClassOnce) {
    std::vector<std::string> listed, registered;
    for (const ClassRow& r : Rows) listed.push_back(r.cls);
    for (const FormClass& c : EveryFormClass()) registered.push_back(c.className);
    EXPECT_EQ(listed, registered);
}

TEST_P(EveryClass, RunsInAFreshProgram) {
    const Chosen& c = ChosenLines().at(GetParam().cls);
    SimBench b(SimBench::ProgramStart{c.line.model});
    RunRow(b, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Classes, EveryClass, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<ClassRow>& i) { return RowName(i.param); });

// Every row in table order, each model's rows in one program (one program
// at a time: the model's rows, then the next model's).
TEST(EveryClassTable, RunsAllInOneProgramPerModel) {
    std::vector<std::string> models;
    for (const ClassRow& r : Rows) {
        const std::string& model = ChosenLines().at(r.cls).line.model;
        if (std::find(models.begin(), models.end(), model) == models.end()) models.push_back(model);
    }
    for (const std::string& model : models) {
        SimBench b(SimBench::ProgramStart{model});
        for (const ClassRow& r : Rows)
            if (ChosenLines().at(r.cls).line.model == model) RunRow(b, r);
    }
}

}  // namespace
}  // namespace quilla::test
