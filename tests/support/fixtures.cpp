#include "support/fixtures.h"

namespace quilla::test {

std::string FixturesDir() { return QUILLA_TEST_FIXTURES; }

}  // namespace quilla::test
