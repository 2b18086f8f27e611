// The base the pin-table controller models share: program words kept to
// their mask and blank outside program memory, the package, supplies and
// ratings of the model's table, and every row registered under its name in
// its place. Driven with a model that adds nothing to the base.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/chips/pin_table_chip.h"

namespace quilla::sim {
namespace {

struct Package {
    int count, vdd, vss, vpp;
};

struct Row {
    const char* name;
    const Package* pins;
    int words;
};

constexpr Package kDip18{.count = 18, .vdd = 14, .vss = 5, .vpp = 4};
constexpr Package kDip28{.count = 28, .vdd = 2, .vss = 4, .vpp = 1};

template <std::uint16_t Mask, std::uint16_t Blank>
class Bare : public PinTableChip<Row, Mask, Blank> {
public:
    explicit Bare(const Row& row)
        : PinTableChip<Row, Mask, Blank>(row, PackageTable(*row.pins, row.pins->vpp, {.any = 65, .vpp = 135})) {}
};
using ErasedOnes = Bare<0x0FFF, 0x0FFF>;  // 12-bit words erased to FFFh
using ReadZero = Bare<0x3FFF, 0x0000>;    // 14-bit words that read 0 unprogrammed

TEST(PinTableChip, WordsKeepToTheirMaskAndReadBlankOutsideProgramMemory) {
    const Row row{.name = "P18", .pins = &kDip18, .words = 4};
    ErasedOnes erased(row);
    EXPECT_EQ(erased.Contents().size(), 8u);
    EXPECT_EQ(erased.Word(0), 0x0FFF);
    EXPECT_EQ(erased.Contents()[1], 0x0F) << "the bits above the word's mask read 0";
    erased.SetWord(3, 0xF123);
    EXPECT_EQ(erased.Word(3), 0x0123);
    EXPECT_EQ(erased.Contents()[7], 0x01);
    erased.SetWord(4, 0);
    erased.SetWord(-1, 0);
    EXPECT_EQ(erased.Word(4), 0x0FFF) << "beyond program memory: nothing written, the blank word read";
    EXPECT_EQ(erased.Word(-1), 0x0FFF);

    ReadZero zero(row);
    for (std::uint8_t b : zero.Contents()) EXPECT_EQ(b, 0);
    zero.SetWord(1, 0x3FFF);
    EXPECT_EQ(zero.Word(1), 0x3FFF);
    EXPECT_EQ(zero.Word(9), 0);
}

TEST(PinTableChip, PackageSuppliesAndRatingsComeFromTheTable) {
    const Row row{.name = "P28", .pins = &kDip28, .words = 2};
    const ReadZero chip(row);
    EXPECT_EQ(chip.Name(), "P28");
    EXPECT_EQ(chip.PinCount(), 28);
    EXPECT_EQ(chip.GroundPins(), std::vector<int>{4});
    EXPECT_EQ(chip.VccPins(), std::vector<int>{2});
    const AbsoluteMaximum r = chip.Ratings();
    EXPECT_EQ(r.anyPin, 65);
    EXPECT_EQ(r.For(1), 135) << "the VPP pin";
    EXPECT_EQ(r.For(2), 65);
    EXPECT_TRUE(r.vppAfterVcc.empty());
}

TEST(PinTableChip, EveryRowRegistersUnderItsNameInItsPlace) {
    static const std::vector<Row> rows{{.name = "P18", .pins = &kDip18, .words = 4},
                                       {.name = "P28", .pins = &kDip28, .words = 2}};
    ChipRegistry inDip, placed;
    RegisterPinTableParts<ReadZero>(inDip, rows);
    RegisterPinTableParts<ReadZero>(placed, rows, [](const Row& row) {
        return Placement::Custom(std::string(row.name) + " board", std::vector<int>(row.pins->count, 1));
    });
    EXPECT_EQ(inDip.Parts(), (std::vector<std::string>{"P18", "P28"}));

    const SeatedPart dip = inDip.Create("P28");
    ASSERT_TRUE(dip.chip);
    EXPECT_EQ(dip.chip->Name(), "P28");
    EXPECT_EQ(dip.placement.name, Placement::Dip(28).name);
    EXPECT_EQ(dip.placement.socketPin, Placement::Dip(28).socketPin);

    const SeatedPart board = placed.Create("P18");
    ASSERT_TRUE(board.chip);
    EXPECT_EQ(board.chip->PinCount(), 18);
    EXPECT_EQ(board.placement.name, "P18 board");
    EXPECT_FALSE(placed.Create("P99").chip);
}

}  // namespace
}  // namespace quilla::sim
