#include "sim/chips/logic.h"

namespace quilla::sim {

namespace {

// ---- gates -------------------------------------------------------------------------------

struct Gate2 {
    int a, b, y;
};
constexpr Gate2 k7400[4] = {{1, 2, 3}, {4, 5, 6}, {9, 10, 8}, {12, 13, 11}};
constexpr Gate2 k7402[4] = {{2, 3, 1}, {5, 6, 4}, {8, 9, 10}, {11, 12, 13}};
constexpr Gate2 k4011[4] = {{1, 2, 3}, {5, 6, 4}, {8, 9, 10}, {12, 13, 11}};
constexpr int kInverters[6][2] = {{1, 2}, {3, 4}, {5, 6}, {9, 8}, {11, 10}, {13, 12}};

template <const Gate2 (&G)[4], bool (*Op)(bool, bool)>
void Quad(LogicIo& io) {
    for (const Gate2& g : G) io.O(g.y, Op(io.I(g.a), io.I(g.b)));
}
bool Nand(bool a, bool b) { return !(a && b); }
bool Nor(bool a, bool b) { return !(a || b); }
bool And(bool a, bool b) { return a && b; }
bool Or(bool a, bool b) { return a || b; }
bool Xor(bool a, bool b) { return a != b; }

void Hex(LogicIo& io) {
    for (const auto& g : kInverters) io.O(g[1], !io.I(g[0]));
}

// ---- flip-flops ----------------------------------------------------------------------------

// 7474: /CLR1 1, D1 2, CLK1 3, /PR1 4, Q1 5, /Q1 6 | /Q2 8, Q2 9, /PR2 10, CLK2 11, D2 12, /CLR2 13.
void D7474(LogicIo& io) {
    struct Ff {
        int clr, d, clk, pr, q, nq;
    };
    constexpr Ff ffs[2] = {{1, 2, 3, 4, 5, 6}, {13, 12, 11, 10, 9, 8}};
    for (int i = 0; i < 2; ++i) {
        const Ff& f = ffs[i];
        int& q = io.state[static_cast<std::size_t>(i)];
        const bool pr = !io.I(f.pr), clr = !io.I(f.clr);
        if (pr && clr) {
            q = 1;
            io.O(f.q, true);
            io.O(f.nq, true);
            continue;
        }
        if (pr) q = 1;
        else if (clr) q = 0;
        else if (io.Rise(f.clk)) q = io.I(f.d);
        io.O(f.q, q != 0);
        io.O(f.nq, q == 0);
    }
}

// 4013: Q1 1, /Q1 2, CLK1 3, R1 4, D1 5, S1 6 | S2 8, D2 9, R2 10, CLK2 11, /Q2 12, Q2 13.
void D4013(LogicIo& io) {
    struct Ff {
        int q, nq, clk, r, d, s;
    };
    constexpr Ff ffs[2] = {{1, 2, 3, 4, 5, 6}, {13, 12, 11, 10, 9, 8}};
    for (int i = 0; i < 2; ++i) {
        const Ff& f = ffs[i];
        int& q = io.state[static_cast<std::size_t>(i)];
        const bool s = io.I(f.s), r = io.I(f.r);
        if (s && r) {
            q = 1;
            io.O(f.q, true);
            io.O(f.nq, true);
            continue;
        }
        if (s) q = 1;
        else if (r) q = 0;
        else if (io.Rise(f.clk)) q = io.I(f.d);
        io.O(f.q, q != 0);
        io.O(f.nq, q == 0);
    }
}

// ---- decoders -----------------------------------------------------------------------------

// 74138: A 1, B 2, C 3, /G2A 4, /G2B 5, G1 6; Y0..Y7 on 15, 14, 13, 12, 11, 10, 9, 7.
void D74138(LogicIo& io) {
    constexpr int y[8] = {15, 14, 13, 12, 11, 10, 9, 7};
    const bool on = io.I(6) && !io.I(4) && !io.I(5);
    const int sel = io.I(1) | io.I(2) << 1 | io.I(3) << 2;
    for (int i = 0; i < 8; ++i) io.O(y[i], !(on && i == sel));
}

// 74154: Y0..Y10 on 1..11, Y11..Y15 on 13..17; /G1 18, /G2 19; D 20, C 21, B 22, A 23.
void D74154(LogicIo& io) {
    const bool on = !io.I(18) && !io.I(19);
    const int sel = io.I(23) | io.I(22) << 1 | io.I(21) << 2 | io.I(20) << 3;
    for (int i = 0; i < 16; ++i) io.O(i < 11 ? i + 1 : i + 2, !(on && i == sel));
}

// 4555 (high-active) and 4556 (low-active): /Ea 1, A0a 2, A1a 3, Q0a..Q3a 4..7 |
// Q3b 9, Q2b 10, Q1b 11, Q0b 12, A1b 13, A0b 14, /Eb 15.
template <bool High>
void D455x(LogicIo& io) {
    constexpr int qa[4] = {4, 5, 6, 7}, qb[4] = {12, 11, 10, 9};
    const int sa = io.I(2) | io.I(3) << 1, sb = io.I(14) | io.I(13) << 1;
    for (int i = 0; i < 4; ++i) {
        io.O(qa[i], (!io.I(1) && i == sa) == High);
        io.O(qb[i], (!io.I(15) && i == sb) == High);
    }
}

// 4511: B 1, C 2, /LT 3, /BL 4, LE 5, D 6, A 7; e 9, d 10, c 11, b 12, a 13, g 14, f 15.
void D4511(LogicIo& io) {
    // Segments a..g as bits 0..6; 10-15 blank.
    constexpr std::uint8_t font[16] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7C, 0x07, 0x7F, 0x67, 0, 0, 0, 0, 0, 0};
    constexpr int seg[7] = {13, 12, 11, 10, 9, 15, 14};
    if (!io.I(5)) io.state[0] = io.I(7) | io.I(1) << 1 | io.I(2) << 2 | io.I(6) << 3;
    std::uint8_t s = font[io.state[0] & 15];
    if (!io.I(3)) s = 0x7F;
    else if (!io.I(4)) s = 0;
    for (int i = 0; i < 7; ++i) io.O(seg[i], (s >> i) & 1u);
}

// ---- counters -----------------------------------------------------------------------------

// 74161: /CLR 1, CLK 2, A..D 3..6, ENP 7, /LOAD 9, ENT 10, QD 11, QC 12, QB 13, QA 14, RCO 15.
void D74161(LogicIo& io) {
    int& q = io.state[0];
    if (!io.I(1)) q = 0;
    else if (io.Rise(2)) {
        if (!io.I(9)) q = io.I(3) | io.I(4) << 1 | io.I(5) << 2 | io.I(6) << 3;
        else if (io.I(7) && io.I(10)) q = (q + 1) & 15;
    }
    io.O(14, q & 1);
    io.O(13, q & 2);
    io.O(12, q & 4);
    io.O(11, q & 8);
    io.O(15, io.I(10) && q == 15);
}

// 4017: Q0..Q9 on 3, 2, 4, 7, 10, 1, 5, 6, 9, 11; CARRY OUT 12, /CLOCK ENABLE 13, CLOCK 14, RESET 15.
void D4017(LogicIo& io) {
    constexpr int q[10] = {3, 2, 4, 7, 10, 1, 5, 6, 9, 11};
    int& n = io.state[0];
    if (io.I(15)) n = 0;
    else if ((io.Rise(14) && !io.I(13)) || (io.Fall(13) && io.I(14))) n = (n + 1) % 10;
    for (int i = 0; i < 10; ++i) io.O(q[i], i == n);
    io.O(12, n < 5);
}

// 4040: Q1..Q12 on 9, 7, 6, 5, 3, 2, 4, 13, 12, 14, 15, 1; /CLOCK 10, RESET 11.
void D4040(LogicIo& io) {
    constexpr int q[12] = {9, 7, 6, 5, 3, 2, 4, 13, 12, 14, 15, 1};
    int& n = io.state[0];
    if (io.I(11)) n = 0;
    else if (io.Fall(10)) n = (n + 1) & 0xFFF;
    for (int i = 0; i < 12; ++i) io.O(q[i], (n >> i) & 1);
}

// 4518 (BCD) and 4520 (binary): CLOCK A 1, ENABLE A 2, Q1A..Q4A 3..6, RESET A 7 |
// CLOCK B 9, ENABLE B 10, Q1B..Q4B 11..14, RESET B 15. A count on a rising CLOCK
// with ENABLE high or a falling ENABLE with CLOCK low.
template <int Modulo>
void D45xxCounter(LogicIo& io) {
    struct Half {
        int clk, en, q1, rst;
    };
    constexpr Half halves[2] = {{1, 2, 3, 7}, {9, 10, 11, 15}};
    for (int i = 0; i < 2; ++i) {
        const Half& h = halves[i];
        int& n = io.state[static_cast<std::size_t>(i)];
        if (io.I(h.rst)) n = 0;
        else if ((io.Rise(h.clk) && io.I(h.en)) || (io.Fall(h.en) && !io.I(h.clk))) n = (n + 1) % Modulo;
        for (int b = 0; b < 4; ++b) io.O(h.q1 + b, (n >> b) & 1);
    }
}

// ---- bus transceiver ------------------------------------------------------------------------

// 74245: DIR 1, A1..A8 2..9, B8..B1 11..18, /OE 19. DIR high: A to B.
void D74245(LogicIo& io) {
    if (io.I(19)) return;
    for (int i = 0; i < 8; ++i) {
        const int a = 2 + i, b = 18 - i;
        if (io.I(1)) io.O(b, io.I(a));
        else io.O(a, io.I(b));
    }
}

std::vector<LogicPart> BuildParts() {
    using F = LogicFamily;
    return {
        {"74LS00", 14, F::Ls, Quad<k7400, Nand>},   {"74HC00", 14, F::Hc, Quad<k7400, Nand>},
        {"74LS02", 14, F::Ls, Quad<k7402, Nor>},    {"74LS04", 14, F::Ls, Hex},
        {"74LS08", 14, F::Ls, Quad<k7400, And>},    {"74LS32", 14, F::Ls, Quad<k7400, Or>},
        {"74LS86", 14, F::Ls, Quad<k7400, Xor>},    {"74LS132", 14, F::Ls, Quad<k7400, Nand>},
        {"74LS74", 14, F::Ls, D7474},               {"74LS138", 16, F::Ls, D74138},
        {"74LS161", 16, F::Ls, D74161},             {"74LS154", 24, F::Ls, D74154},
        {"74LS245", 20, F::Ls, D74245},
        {"CD4001", 14, F::Cd, Quad<k4011, Nor>},    {"CD4011", 14, F::Cd, Quad<k4011, Nand>},
        {"CD4069", 14, F::Cd, Hex},                 {"CD4070", 14, F::Cd, Quad<k4011, Xor>},
        {"CD4071", 14, F::Cd, Quad<k4011, Or>},     {"CD4081", 14, F::Cd, Quad<k4011, And>},
        {"CD4013", 14, F::Cd, D4013},               {"CD4017", 16, F::Cd, D4017},
        {"CD4040", 16, F::Cd, D4040},               {"CD4511", 16, F::Cd, D4511},
        {"CD4518", 16, F::Cd, D45xxCounter<10>},    {"CD4520", 16, F::Cd, D45xxCounter<16>},
        {"CD4555", 16, F::Cd, D455x<true>},         {"CD4556", 16, F::Cd, D455x<false>},
    };
}

struct Window {
    Tenths min, max, abs;
};
Window WindowOf(LogicFamily f) {
    switch (f) {
        case LogicFamily::Ls: return {48, 52, 70};   // 4.75-5.25 V; 7 V
        case LogicFamily::Hc: return {20, 60, 70};   // 2-6 V; 7 V
        case LogicFamily::Cd: return {30, 180, 200}; // 3-18 V; 20 V
    }
    return {50, 50, 70};
}

}  // namespace

const std::vector<LogicPart>& LogicParts() {
    static const std::vector<LogicPart> parts = BuildParts();
    return parts;
}

const LogicPart* FindLogicPart(std::string_view name) {
    for (const auto& p : LogicParts())
        if (name == p.name) return &p;
    return nullptr;
}

LogicChip::LogicChip(const LogicPart& part, LogicFaults faults) : part_(part), faults_(faults) {}

AbsoluteMaximum LogicChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = WindowOf(part_.family).abs;
    return r;
}

void LogicChip::OnPinsChanged(ChipPins& pins) {
    const Window w = WindowOf(part_.family);
    const Tenths vcc = pins.SupplyVoltage(part_.pins);
    if (!pins.Grounded(part_.pins / 2) || vcc < w.min || vcc > w.max) {
        if (powered_) {
            powered_ = false;
            io_ = LogicIo{};
        }
        pins.ReleaseAll();
        return;
    }
    std::uint32_t in = 0;
    for (int p = 1; p <= part_.pins; ++p) {
        bool v = pins.High(p);
        if (p == faults_.deadInput) v = faults_.deadLevel;
        if (p == faults_.openInput) v = false;
        if (v) in |= 1u << p;
    }
    if (!powered_) {
        powered_ = true;
        io_ = LogicIo{};
        io_.prev = in;  // no edge at power-up
    }
    for (int p = 1; p <= part_.pins; ++p)
        if (((in ^ io_.prev) >> p) & 1u) ++edges_[static_cast<std::size_t>(p)];
    io_.in = in;
    io_.drive = io_.high = 0;
    part_.function(io_);
    if (faults_.swapA && faults_.swapB) {
        const auto swapBit = [this](std::uint32_t& w) {
            const std::uint32_t a = (w >> faults_.swapA) & 1u, b = (w >> faults_.swapB) & 1u;
            w &= ~((1u << faults_.swapA) | (1u << faults_.swapB));
            w |= a << faults_.swapB | b << faults_.swapA;
        };
        swapBit(io_.drive);
        swapBit(io_.high);
    }
    if (faults_.stuckLowOutput) {
        io_.drive |= 1u << faults_.stuckLowOutput;
        io_.high &= ~(1u << faults_.stuckLowOutput);
    }
    if (faults_.stuckHighOutput) {
        io_.drive |= 1u << faults_.stuckHighOutput;
        io_.high |= 1u << faults_.stuckHighOutput;
    }
    for (int p = 1; p <= part_.pins; ++p) {
        if ((io_.drive >> p) & 1u) pins.Drive(p, (io_.high >> p) & 1u);
        else pins.Release(p);
    }
    io_.prev = in;
}

void LogicChip::OnRemoved() {
    powered_ = false;
    io_ = LogicIo{};
}

SeatedPart MakeLogicChip(std::string_view name, LogicFaults faults) {
    const LogicPart* p = FindLogicPart(name);
    if (!p) return {};
    return {std::make_unique<LogicChip>(*p, faults), Placement::Dip(p->pins)};
}

SeatedPart MakeLogicChipOffset(std::string_view name) {
    const LogicPart* p = FindLogicPart(name);
    if (!p) return {};
    const int off = (40 - p->pins) / 2;
    std::vector<int> sockets;
    for (int pin = 1; pin <= p->pins; ++pin)
        sockets.push_back(pin <= p->pins / 2 ? pin + off - 1 : pin + off + 1);
    return {std::make_unique<LogicChip>(*p), Placement::Custom("DIP one row off", sockets)};
}

void RegisterLogicChips(ChipRegistry& registry) {
    for (const auto& p : LogicParts()) {
        const std::string name = p.name;
        registry.Add(name, [name] { return MakeLogicChip(name); });
    }
}

}  // namespace quilla::sim
