#include "algo/common/scan.h"

#include <cstdio>

#include "app/numparse.h"

namespace quilla {

std::optional<std::int32_t> ScanHex(const std::string& text) { return ParseHex32(text); }
std::optional<std::int32_t> ScanDec(const std::string& text) { return ParseDec32(text); }

std::string Hex6(std::int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06x", static_cast<unsigned>(v < 0 ? 0 : v));
    return buf;
}

std::string HexPlain(std::int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(v));
    return buf;
}

std::string Hex2(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02x", v & 0xFFu);
    return buf;
}

std::string Hex4(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04x", v & 0xFFFFu);
    return buf;
}

std::string NotBlankText(std::int64_t offset, unsigned chipByte) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%06x:Err. Not Blank=%02x", static_cast<unsigned>(offset), chipByte & 0xFFu);
    return buf;
}

std::string MismatchText(std::int64_t file, unsigned imageByte, unsigned chipByte) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%06x:Error.(File=%02x,chip=%02x)", static_cast<unsigned>(file), imageByte & 0xFFu,
                  chipByte & 0xFFu);
    return buf;
}

}  // namespace quilla
