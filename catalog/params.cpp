#include "catalog/params.h"

namespace quilla {

namespace {

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

ParsedParams ParseParamString(std::string_view s) {
    ParsedParams p;
    std::size_t blank = s.find(' ');
    if (blank == std::string_view::npos) return p;
    p.HasBlank = true;
    p.DeviceKeyword = std::string(s.substr(0, blank));
    p.VariantIndex = ReadLong(s.substr(blank + 1));
    // The variant is read as a long is: white space and a sign may stand in
    // front of its digits, but without a digit there is no variant number.
    std::size_t at = s.find_first_not_of(" \t\n\v\f\r", blank + 1);
    if (at != std::string_view::npos && (s[at] == '+' || s[at] == '-')) ++at;
    p.HasVariant = at < s.size() && s[at] >= '0' && s[at] <= '9';
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

std::string ShortForMessage(std::string_view text, std::size_t max) {
    if (text.size() <= max) return std::string(text);
    return std::string(text.substr(0, max)) + "...";
}

}  // namespace quilla
