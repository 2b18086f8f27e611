#include "algo/tester/iclib.h"

#include <cctype>
#include <sstream>

namespace quilla::ictest {

namespace {

struct Package {
    int pins;
    std::uint8_t b1, b2;
    int vcc;
};
constexpr Package kPackages[] = {{14, 0x20, 0x40, 27}, {16, 0x20, 0x80, 28}, {20, 0x22, 0x00, 30}, {24, 0x00, 0x24, 32}};

constexpr int kFirstLine = 9, kLastLine = 32;

const Package* PackageOf(int pins) {
    for (const Package& p : kPackages)
        if (p.pins == pins) return &p;
    return nullptr;
}

// What the builder keeps of the open type to check that its vectors see every
// output: each line's pin characters, and which lines are compared.
struct OpenType {
    long number = 0;
    int pins = 0;
    int line = 0;  // of its TYPE
    std::string roles;
    std::vector<std::string> compared;  // the "V" lines
    std::vector<std::string> all;       // every vector line
};

bool Expected(char c) { return c == 'L' || c == 'H'; }

std::vector<int> OutputPins(const OpenType& t) {
    std::vector<int> out;
    for (int p = 1; p <= t.pins; ++p) {
        const std::size_t i = static_cast<std::size_t>(p - 1);
        bool output = false;
        if (!t.roles.empty()) {
            output = t.roles[i] == 'O' || t.roles[i] == 'B';
        } else {
            for (const std::string& v : t.all)
                if (Expected(v[i]) || v[i] == 'X') output = true;
        }
        if (output) out.push_back(p);
    }
    return out;
}

std::string PinList(const std::vector<std::string>& items) {
    std::string s;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) s += i + 1 == items.size() ? " and " : ", ";
        s += items[i];
    }
    return s;
}

// Empty when the compared vectors tell every output pin from every other and
// expect each at both levels; otherwise what is missing, naming the pins.
std::string CheckOutputs(const OpenType& t, const std::vector<int>& outputs) {
    if (t.all.empty()) return {};
    if (outputs.empty() || t.compared.empty()) return "no compared vector expects an output";
    const auto at = [](const std::string& v, int p) { return v[static_cast<std::size_t>(p - 1)]; };
    std::vector<std::string> neverLow, neverHigh, same;
    for (int p : outputs) {
        bool low = false, high = false;
        for (const std::string& v : t.compared) {
            low = low || at(v, p) == 'L';
            high = high || at(v, p) == 'H';
        }
        if (!low) neverLow.push_back(std::to_string(p));
        if (!high) neverHigh.push_back(std::to_string(p));
    }
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            bool both = false, differ = false;
            for (const std::string& v : t.compared) {
                const char a = at(v, outputs[i]), b = at(v, outputs[j]);
                if (!Expected(a) || !Expected(b)) continue;
                both = true;
                differ = differ || a != b;
            }
            if (both && !differ) same.push_back(std::to_string(outputs[i]) + "/" + std::to_string(outputs[j]));
        }
    std::string what;
    const auto add = [&what](const std::string& s) { what += (what.empty() ? "" : "; ") + s; };
    const auto pinsNever = [](const std::vector<std::string>& pins, const char* level) {
        return std::string(pins.size() > 1 ? "output pins " : "output pin ") + PinList(pins) + " never expected " + level;
    };
    if (!neverLow.empty()) add(pinsNever(neverLow, "low"));
    if (!neverHigh.empty()) add(pinsNever(neverHigh, "high"));
    if (!same.empty())
        add("output pins " + PinList(same) + " expected at the same level in every compared vector");
    return what;
}

}  // namespace

int VccPinOfPackage(std::uint8_t b1, std::uint8_t b2) {
    for (const Package& p : kPackages)
        if (p.b1 == b1 && p.b2 == b2) return p.vcc;
    return 0;
}

BuiltLibrary BuildLibrary(std::string_view source) {
    BuiltLibrary out;
    std::vector<std::uint8_t>& lib = out.bytes;
    const Package* pkg = nullptr;
    std::size_t header = 0;  // offset of the open record's header
    int count = 0;
    std::string roles;       // the open type's pin roles, empty when none given
    OpenType open;
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        out.error = "line " + std::to_string(lineNo) + ": " + what;
        out.bytes.clear();
        out.types.clear();
        return out;
    };
    // Ends the open type: false (with the error set) when it does not see every output.
    auto close = [&]() {
        if (!pkg) return true;
        open.roles = roles;
        std::vector<int> outputs = OutputPins(open);
        if (const std::string what = CheckOutputs(open, outputs); !what.empty()) {
            lineNo = open.line;
            fail("type " + std::to_string(open.number) + ": " + what);
            return false;
        }
        out.types.push_back({open.number, open.pins, std::move(outputs)});
        return true;
    };
    std::istringstream in{std::string(source)};
    std::string line;
    while (std::getline(in, line)) {
        ++lineNo;
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string key;
        if (!(words >> key)) continue;
        if (key == "TYPE") {
            long number = -1;
            int pins = 0;
            if (!(words >> number >> pins) || number < 0 || number > 99999) return fail("TYPE <number> <pins>");
            const int typeLine = lineNo;
            if (!close()) return out;
            lineNo = typeLine;
            open = OpenType{number, pins, lineNo, {}, {}, {}};
            pkg = PackageOf(pins);
            if (!pkg) return fail("no package of " + std::to_string(pins) + " pins");
            header = lib.size();
            const std::string digits = std::to_string(number);
            for (int i = 0; i < HeaderBytes; ++i)
                lib.push_back(i < static_cast<int>(digits.size()) ? static_cast<std::uint8_t>(digits[static_cast<std::size_t>(i)]) : 0);
            count = 0;
            roles.clear();
            continue;
        }
        if (!pkg) return fail("a vector before the first TYPE");
        if (key == "ROLES") {
            if (count != 0 || !roles.empty()) return fail("ROLES comes once, before the vectors");
            std::string word;
            while (words >> word) roles += word;
            if (static_cast<int>(roles.size()) != pkg->pins)
                return fail("expected " + std::to_string(pkg->pins) + " role characters, got " + std::to_string(roles.size()));
            if (roles.find_first_not_of("IOBGVN") != std::string::npos) return fail("roles are I, O, B, G, V or N");
            continue;
        }
        std::uint8_t v[VectorBytes] = {};
        if (key == "R") {
            long n = -1;
            if (!(words >> n) || n < 0 || n > 0xFFFF) return fail("R <0..65535>");
            if (count < 2) return fail("a repeat needs two vectors before it");
            v[0] = FlagRepeat;
            v[4] = static_cast<std::uint8_t>(n >> 8);
            v[5] = static_cast<std::uint8_t>(n);
        } else if (key == "V" || key == "D") {
            std::string pins, word;
            while (words >> word) pins += word;
            if (static_cast<int>(pins.size()) != pkg->pins)
                return fail("expected " + std::to_string(pkg->pins) + " pin characters, got " + std::to_string(pins.size()));
            std::uint32_t drive = 0xFFFFFF, expect = 0xFFFFFF;
            const int offset = (40 - pkg->pins) / 2;
            for (int p = 1; p <= pkg->pins; ++p) {
                const char c = pins[static_cast<std::size_t>(p - 1)];
                const int socket = p + offset;
                if (!roles.empty()) {
                    static const std::string allowed[] = {"01", "LHX", "01LHX", "G", "V", "01LHX"};
                    const std::size_t r = std::string("IOBGVN").find(roles[static_cast<std::size_t>(p - 1)]);
                    if (allowed[r].find(c) == std::string::npos)
                        return fail("pin " + std::to_string(p) + " is '" + roles[static_cast<std::size_t>(p - 1)] +
                                    "' and cannot take '" + c + "'");
                }
                bool d = true, e = true;
                switch (c) {
                    case '0': d = e = false; break;
                    case '1': break;
                    case 'L': e = false; break;
                    case 'H': break;
                    case 'V': break;
                    case 'G': d = e = false; break;
                    case 'X':
                        if (key == "V") return fail("X on a compared vector");
                        break;
                    default: return fail(std::string("unknown pin character '") + c + "'");
                }
                if (c == 'G' && socket != 20) return fail("the ground pin must sit on socket pin 20");
                if (c == 'V' && socket != pkg->vcc) return fail("the supply pin must sit on socket pin " + std::to_string(pkg->vcc));
                if (socket < kFirstLine || socket > kLastLine) continue;
                const std::uint32_t bit = 1u << (socket - kFirstLine);
                if (!d) drive &= ~bit;
                if (!e) expect &= ~bit;
            }
            open.all.push_back(pins);
            if (key == "V") open.compared.push_back(pins);
            v[0] = key == "D" ? FlagDriveOnly : 0;
            v[3] = static_cast<std::uint8_t>(drive >> 16);
            v[4] = static_cast<std::uint8_t>(drive >> 8);
            v[5] = static_cast<std::uint8_t>(drive);
            v[6] = static_cast<std::uint8_t>(expect >> 16);
            v[7] = static_cast<std::uint8_t>(expect >> 8);
            v[8] = static_cast<std::uint8_t>(expect);
        } else {
            return fail("unknown line '" + key + "'");
        }
        if (count == 0) {
            v[1] = pkg->b1;
            v[2] = pkg->b2;
        }
        if (++count > 255) return fail("more than 255 vectors in one type");
        lib.insert(lib.end(), v, v + VectorBytes);
        lib[header + 5] = static_cast<std::uint8_t>(count);
    }
    if (!close()) return out;
    lib.push_back('E');
    if (lib.size() > static_cast<std::size_t>(MaxLibraryBytes)) return fail("the library exceeds 30,000 bytes");
    return out;
}

}  // namespace quilla::ictest
