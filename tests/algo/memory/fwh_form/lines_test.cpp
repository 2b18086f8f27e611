// Every firmware-hub line of the device lists, end to end (support/memory_lines.h).
#include "support/memory_lines.h"

namespace quilla::test {

INSTANTIATE_TEST_SUITE_P(Lists, MemoryLine, ::testing::ValuesIn(MemoryLines("fwh_form")), MemoryLineName);
INSTANTIATE_TEST_SUITE_P(Lists, MemoryFamilyLines, ::testing::Values("fwh_form"));

}  // namespace quilla::test
