// Every Intel-command parallel flash line of the device lists, end to end (support/memory_lines.h).
#include "support/memory_lines.h"

namespace quilla::test {

INSTANTIATE_TEST_SUITE_P(Lists, MemoryLine, ::testing::ValuesIn(MemoryLines("pi28f")), MemoryLineName);
INSTANTIATE_TEST_SUITE_P(Lists, MemoryFamilyLines, ::testing::Values("pi28f"));

}  // namespace quilla::test
