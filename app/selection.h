// The chosen device: what the selection dialog records and every algorithm
// form reads, and the reading of a key from its parameter string.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quilla {

// Reads a decimal number the way the C library reads a long on the programmer
// software's 32-bit platform: leading white space skipped, optional sign,
// digits up to the first other character, no digits giving 0, and a value
// beyond the 32-bit range saturated.
int ReadLong(std::string_view text, int base = 10);

// The value of `key` (such as "vcc=") in a parameter string: the number after
// the first '=' from the key's first occurrence (also inside a longer word);
// 0 when the key is absent or has no digits.
int GetParam(std::string_view paramString, std::string_view key);

struct Selection {
    std::string SelectedDevice;   // the device's name in the list
    std::string TypeText;         // manufacturer and device, shown on the main window
    std::string AdapterLabel;     // the adapter to use
    std::string ParamString;      // text after the comma of the device line
    std::string DeviceKeyword;    // first word of ParamString: names the form
    int VariantIndex = 0;         // row of the form's own device table
    std::array<std::uint8_t, 4> ExpectedId{};  // bytes after '#', 0 when absent
    std::array<std::uint8_t, 4> LastReadId{};  // last ID read from a chip by a form
    std::uint8_t MfrIdByte = 0;   // last electronic-ID read of the selection dialog
    std::uint8_t DeviceIdByte = 0;
    std::string ReadyText;        // written by nothing: always empty

    // The value of a key such as "vcc=" in ParamString; 0 when absent.
    int GetParam(std::string_view key) const { return quilla::GetParam(ParamString, key); }
};

}  // namespace quilla
