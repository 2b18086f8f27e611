// gputils' assembler at test time: a PIC source the test holds becomes an
// Intel HEX file in a folder of the test's. gpasm's HEX is byte-addressed:
// program word n at 2n (low byte first); on the 14-bit parts the user IDs at
// 4000h-4007h (one nibble per word), the configuration word at 400Eh and data
// EEPROM byte i (DE) at 4200h + 2i; on the 12-bit parts the configuration
// word at 1FFEh and the IDs after program memory. Tests that need it skip with
// a message when gpasm is missing (scripts/install-deps.sh installs gputils):
//
//   QUILLA_REQUIRE_GPASM();
//   const std::string hex = Gpasm(dir.path, "16f877", source);
//   ASSERT_FALSE(hex.empty());
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace quilla::test {

// gpasm runs on this machine.
bool GpasmAvailable();
// Assembles `source` for `processor` ("16f877", "12c508") in `dir` with an
// argument list (no shell). The HEX file's path, or empty (with the tool's
// complaint in *why) when it failed or left no file newer than the run.
std::string Gpasm(const std::filesystem::path& dir, const std::string& processor, const std::string& source,
                  std::string* why = nullptr);

}  // namespace quilla::test

#define QUILLA_REQUIRE_GPASM()                                                                  \
    do {                                                                                        \
        if (!::quilla::test::GpasmAvailable())                                                  \
            GTEST_SKIP() << "gpasm (gputils) is not installed; scripts/install-deps.sh installs it"; \
    } while (0)
