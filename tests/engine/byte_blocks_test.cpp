// Large arrays handed back and taken again: the taken array never shows what
// the last owner left in the block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/byte_blocks.h"

namespace quilla::test {
namespace {

constexpr std::size_t kBig = 1 << 20;

bool All(const std::vector<std::uint8_t>& v, std::uint8_t b) {
    return std::all_of(v.begin(), v.end(), [b](std::uint8_t x) { return x == b; });
}

TEST(ByteBlocks, AReusedBlockComesBackFilledAsAskedAndSizedAsAsked) {
    std::vector<std::uint8_t> a = TakeBytes(kBig, 0xFF);
    const std::uint8_t* block = a.data();
    std::fill(a.begin(), a.end(), 0x5A);
    GiveBackBytes(std::move(a));
    EXPECT_TRUE(a.empty());

    const std::vector<std::uint8_t> b = TakeBytes(kBig - 100, 0x00);
    EXPECT_EQ(b.data(), block);  // the same block again
    EXPECT_EQ(b.size(), kBig - 100);
    EXPECT_TRUE(All(b, 0x00));
}

TEST(ByteBlocks, ABlockTooSmallOrMuchTooLargeIsNotHandedOut) {
    std::vector<std::uint8_t> small = TakeBytes(kBig, 1);
    const std::uint8_t* smallBlock = small.data();
    GiveBackBytes(std::move(small));
    const std::vector<std::uint8_t> larger = TakeBytes(2 * kBig, 2);
    EXPECT_NE(larger.data(), smallBlock);
    EXPECT_TRUE(All(larger, 2));
    std::vector<std::uint8_t> huge = TakeBytes(8 * kBig, 3);
    const std::uint8_t* hugeBlock = huge.data();
    GiveBackBytes(std::move(huge));
    const std::vector<std::uint8_t> modest = TakeBytes(kBig / 2, 4);
    EXPECT_NE(modest.data(), hugeBlock);
}

TEST(ByteBlocks, TheCapacityAskedForHoldsWithoutMoving) {
    RecycledBytes r(0, 0, kBig);
    EXPECT_TRUE(r.empty());
    EXPECT_GE(r.capacity(), kBig);
    const std::uint8_t* before = r.data();
    r.resize(kBig, 7);
    EXPECT_EQ(r.data(), before);
    EXPECT_TRUE(All(r, 7));
}

TEST(ByteBlocks, ARecycledArrayGoesBackWhenItEnds) {
    const std::uint8_t* block = nullptr;
    {
        RecycledBytes r(3 * kBig, 0xEE);
        block = r.data();
    }
    const RecycledBytes again(3 * kBig, 0x11);
    EXPECT_EQ(again.data(), block);
    EXPECT_TRUE(All(again, 0x11));
}

}  // namespace
}  // namespace quilla::test
