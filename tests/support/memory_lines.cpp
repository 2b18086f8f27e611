#include "support/memory_lines.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "support/param_names.h"
#include "support/sim_bench.h"

namespace quilla::test {

namespace {

// One row per test program of tests/algo/memory.
const std::vector<MemoryFamily>& Families() {
    static const std::vector<MemoryFamily> families = {
        {.program = "p27",  // EPROMs: the whole chip, no Length typed
         .lists = {"device520.lst"},
         .keywords = {"P27", "PW27"},
         .lines = 23,
         .seed = 21,
         .blank = {"Blank."},
         .write = {"OK!"},
         .verify = {"Data OK!"}},
        {.program = "socket_form",  // EEPROMs and EPROM-pinout flash
         .lists = {"device520.lst"},
         .keywords = {"SST27SF", "P2816", "X28C"},
         .lines = 15,
         .bytes = 0x400,
         .seed = 21,
         .blank = {"Blank."},
         .write = {"OK!", "Writing OK......."},
         .verify = {"Data OK!"}},
        {.program = "page_sdp",  // page-write flash and page-write EEPROMs
         .lists = {"device520.lst"},
         .keywords = {"SST29EE", "P29EEX", "AT29CX", "W29C", "AT29C256", "AT28CX", "AT28C256"},
         .lines = 13,
         .bytes = 0x400,
         .seed = 21,
         .blankOnEveryForm = false,
         .blank = {"Blank."},
         .write = {"OK!"},
         .verify = {"Data OK!", "OK.."}},
        {.program = "p29f",  // JEDEC-command byte-program flash
         .lists = {"device520.lst"},
         .keywords = {"P29F", "AMD29f040", "AT49F", "MX29F", "V29C51004", "SST29XF"},
         .lines = 15,
         .bytes = 0x400,
         .seed = 21,
         .blank = {"Blank.", "OK", "OK!"},
         .write = {"OK!"},
         .verify = {"Data OK!", "OK.."}},
        {.program = "pi28f",  // Intel-command flash, on both lists
         .lists = {"device520.lst", "device640.lst"},
         .keywords = {"PI28F", "PI28F001", "SST28VF040"},
         .lines = 14,
         .bytes = 0x400,
         .seed = 21,
         .blank = {"Blank."},
         .write = {"OK!"},
         .verify = {"Data OK!"}},
        {.program = "fwh_form",  // firmware hub
         .lists = {"device520.lst"},
         .keywords = {"I82802", "SST49LF008"},
         .lines = 6,
         .bytes = 0x800,
         .seed = 41,
         .blank = {"Blank."},
         .write = {"OK!"},
         .verify = {"OK.."}},
        {.program = "adapter_form",  // adapter boards; the EPROM form shows its row and size at setup
         .lists = {"device520.lst"},
         .keywords = {"P29F640", "F640", "I27CX", "MX29X161X", "HN29AND"},
         .lines = 21,
         .bytes = 0x800,
         .seed = 62,
         .setupPrefix = "type=",
         .blank = {"OK"},
         .write = {"OK!"},
         .verify = {"OK.."}},
    };
    return families;
}

const MemoryFamily& Family(const std::string& program) {
    for (const MemoryFamily& f : Families())
        if (program == f.program) return f;
    throw std::out_of_range("no memory family " + program);
}

bool OneOf(const std::string& text, const std::vector<std::string>& accepted) {
    return std::find(accepted.begin(), accepted.end(), text) != accepted.end();
}

// The programmer model of a list: "device640.lst" -> "vex640".
std::string Model(const std::string& list) { return "vex" + list.substr(6, 3); }

}  // namespace

std::vector<MemoryLineCase> MemoryLines(const std::string& program) {
    const MemoryFamily& f = Family(program);
    std::vector<MemoryLineCase> out;
    for (const char* list : f.lists)
        for (const ListedLine& l : DeviceLines({list}, [&f](const ListedLine& l) {
                 return std::find(f.keywords.begin(), f.keywords.end(), l.keyword) != f.keywords.end();
             }))
            out.push_back({&f, l});
    return out;
}

std::string MemoryLineName(const ::testing::TestParamInfo<MemoryLineCase>& info) {
    const ListedLine& l = info.param.line;
    return std::to_string(info.index) + "_" + NamePart(l.file.substr(6, 3) + " " + l.part + " " + l.keyword);
}

void PrintTo(const MemoryLineCase& c, std::ostream* os) {
    *os << c.line.file << ": " << c.line.part << "," << c.line.params;
}

TEST_P(MemoryLine, WritesAndVerifiesABlankChip) {
    const MemoryFamily& family = *GetParam().family;
    const ListedLine& l = GetParam().line;
    SimBench b(l.part, Model(l.file));
    const int bytes = family.bytes ? family.bytes : static_cast<int>(b.Chip().size());
    b.RandomImage(bytes, family.seed);
    if (family.bytes) std::fill(b.Image() + bytes, b.Image() + bytes + 0x400, 0xFF);
    AlgoForm& f = b.Open(l.params);
    const std::string setup = f.Text("Message");
    ASSERT_TRUE(setup == "OK " || (family.setupPrefix && setup.rfind(family.setupPrefix, 0) == 0))
        << l.params << ": " << setup;
    if (family.bytes) {
        char length[16];
        std::snprintf(length, sizeof length, "%x", static_cast<unsigned>(bytes - 1));
        f.Enter("Edit3", length);
    }
    if (family.blankOnEveryForm || f.Has("Blank")) {
        f.Click("Blank");
        EXPECT_TRUE(OneOf(f.Text("Message"), family.blank)) << "Blank: " << f.Text("Message");
    }
    f.Click("Write");
    EXPECT_TRUE(OneOf(f.Text("Message"), family.write)) << "Write: " << f.Text("Message");
    f.Click("Verify");
    EXPECT_TRUE(OneOf(f.Text("Message"), family.verify)) << "Verify: " << f.Text("Message");
    EXPECT_TRUE(b.ChipMatchesImage(0, bytes));
    if (family.bytes) {
        EXPECT_TRUE(b.ChipBlank(bytes, 0x400));
    }
    EXPECT_TRUE(b.sim->ViolationTexts().empty());
    EXPECT_TRUE(b.prompts.shown.empty()) << b.prompts.Last();
}

TEST_P(MemoryFamilyLines, AreListed) { EXPECT_EQ(MemoryLines(GetParam()).size(), Family(GetParam()).lines); }

}  // namespace quilla::test
