// Where the hand-written test fixtures live (tests/fixtures/ of the source
// tree; ends with '/'). Only fixtures.cpp knows the path, so no other test
// object depends on where the source tree is.
#pragma once

#include <string>

namespace quilla::test {

std::string FixturesDir();

}  // namespace quilla::test
