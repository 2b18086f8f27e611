#include "app/numparse.h"

namespace quilla {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int DigitValue(char c, int base) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'Z') v = c - 'A' + 10;
    else return -1;
    return v < base ? v : -1;
}

// Skips blanks and a sign; returns the position after them.
std::size_t SkipBlanksAndSign(std::string_view t, bool& negative) {
    std::size_t i = 0;
    while (i < t.size() && IsBlank(t[i])) ++i;
    negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    return i;
}

std::optional<std::int32_t> ParsePrefix(std::string_view t, int base) {
    bool negative;
    std::size_t i = SkipBlanksAndSign(t, negative);
    bool any = false;
    if (base == 16 && i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        // "0x" counts as the digit 0 even when no hex digit follows it.
        any = true;
        i += 2;
    }
    std::uint32_t value = 0;
    for (; i < t.size(); ++i) {
        int d = DigitValue(t[i], base);
        if (d < 0) break;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
        any = true;
    }
    if (!any) return std::nullopt;
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::int32_t> ParseHex32(std::string_view text) { return ParsePrefix(text, 16); }

std::optional<std::int32_t> ParseDec32(std::string_view text) { return ParsePrefix(text, 10); }

std::optional<std::int32_t> StrToInt32(std::string_view text) {
    bool negative;
    std::size_t i = SkipBlanksAndSign(text, negative);
    std::int64_t value = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x80000000LL) return std::nullopt;
        any = true;
    }
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (!any || i != text.size()) return std::nullopt;
    if (negative) value = -value;
    if (value > 0x7FFFFFFFLL) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace quilla
