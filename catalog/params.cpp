#include "catalog/params.h"

#include <cctype>
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

struct AdapterMark {
    const char* Pattern;
    const char* Name;
};

// Tested in this order; the last one found wins.
constexpr AdapterMark AdapterMarks[] = {
    {"*P44", "KLV-UNIV-44"},     {"*Q44", "KLV-UNIV-44TQ"}, {"48TSOP", "KLV-UNIV-48TS"},
    {"40TSOP", "KLV-UNIV-40TS"}, {"44P", "KLV-UNIV-44P"},   {"44PS", "KLV-UNIV-44PS"},
    {"32TSOP", "KLV-UNIV-32TS"}, {"32PLCC", "KLV-UNIV-32PLCC"},
};

constexpr std::size_t AdapterTextLength = 15;

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

ParsedParams ParseParamString(std::string_view s) {
    ParsedParams p;
    std::size_t blank = s.find(' ');
    if (blank == std::string_view::npos) return p;
    p.HasBlank = true;
    p.DeviceKeyword = std::string(s.substr(0, blank));
    p.VariantIndex = ReadLong(s.substr(blank + 1));
    std::size_t hash = s.find('#', blank + 1);
    if (hash != std::string_view::npos) {
        for (int b = 0; b < 4; ++b) {
            std::size_t pos = hash + 1 + 3 * static_cast<std::size_t>(b);
            if (pos >= s.size()) break;  // nothing is read past the end
            std::string_view digits = s.substr(pos, 2);
            p.ExpectedId[b] = static_cast<std::uint8_t>(ReadLong(digits, 16) & 0xFF);
        }
    }
    return p;
}

std::string AdapterFor(std::string_view paramString, std::string_view typeText) {
    std::size_t adp = paramString.find("adp=");
    if (adp != std::string_view::npos)
        return std::string(paramString.substr(adp + 4, AdapterTextLength));
    std::string label;
    for (const auto& m : AdapterMarks)
        if (typeText.find(m.Pattern) != std::string_view::npos) label = m.Name;
    return label;
}

}  // namespace quilla
