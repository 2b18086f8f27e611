#include "app/selection.h"

#include <climits>

namespace quilla {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

int ReadLong(std::string_view text, int base) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        i + 2 < text.size() && DigitValue(text[i + 2]) < 16)
        i += 2;
    long long value = 0;
    bool any = false;
    for (; i < text.size(); ++i) {
        int d = DigitValue(text[i]);
        if (d >= base) break;
        any = true;
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * base + d;
    }
    if (!any) return 0;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int GetParam(std::string_view paramString, std::string_view key) {
    if (key.empty()) return 0;
    std::size_t at = paramString.find(key);
    if (at == std::string_view::npos) return 0;
    std::size_t eq = paramString.find('=', at);
    if (eq == std::string_view::npos) return 0;
    return ReadLong(paramString.substr(eq + 1));
}

}  // namespace quilla
