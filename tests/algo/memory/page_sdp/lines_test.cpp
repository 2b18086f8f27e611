// Every page-write flash and page-write EEPROM line of the device lists, end to end (support/memory_lines.h).
#include "support/memory_lines.h"

namespace quilla::test {

INSTANTIATE_TEST_SUITE_P(Lists, MemoryLine, ::testing::ValuesIn(MemoryLines("page_sdp")), MemoryLineName);
INSTANTIATE_TEST_SUITE_P(Lists, MemoryFamilyLines, ::testing::Values("page_sdp"));

}  // namespace quilla::test
