// Readable, stable names for the cases of parameterised tests (the name
// generator argument of INSTANTIATE_TEST_SUITE_P).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace quilla::test {

// Letters and digits stay; a minus sign in front of a number reads "minus";
// every run of other characters becomes one '_' (none at either end);
// nothing left gives "empty".
inline std::string NamePart(std::string_view text) {
    auto alnum = [](char ch) {
        const unsigned char c = static_cast<unsigned char>(ch);
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    std::string out;
    bool gap = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const bool sign = ch == '-' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9' &&
                          (i == 0 || !alnum(text[i - 1]));
        if (!sign && !alnum(ch)) {
            gap = !out.empty();
            continue;
        }
        if (gap) out += '_';
        gap = false;
        out += sign ? std::string_view("minus") : std::string_view(&text[i], 1);
    }
    return out.empty() ? "empty" : out;
}

// "x1f" for 0x1F: numbers in names.
inline std::string HexPart(long long v) {
    char b[32];
    std::snprintf(b, sizeof b, "%sx%llx", v < 0 ? "minus_" : "", v < 0 ? -v : v);
    return b;
}

// A name generator: the case's number, then what describe(param) says, e.g.
// "3_AT27C010". The number keeps the names unique where descriptions repeat.
template <class Describe>
auto CaseName(Describe describe) {
    return [describe](const auto& info) {
        return std::to_string(info.index) + "_" + NamePart(describe(info.param));
    };
}

}  // namespace quilla::test
