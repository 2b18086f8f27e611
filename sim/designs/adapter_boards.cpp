#include "sim/designs/adapter_boards.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace quilla::sim {

namespace {

// Sockets of a contact mask pair (bit k-1 of lo = pin k, bit k-33 of hi = pin k).
std::vector<int> MaskSockets(std::uint32_t lo, std::uint32_t hi) {
    std::vector<int> v;
    for (int k = 1; k <= 32; ++k)
        if (lo & (1u << (k - 1))) v.push_back(k);
    for (int k = 33; k <= 48; ++k)
        if (hi & (1u << (k - 33))) v.push_back(k);
    return v;
}

struct BoardRule {
    const char* tag;
    const FlashPinout* pinout;
    int vcc;                    // VCC socket
    std::vector<int> gnd;       // ground sockets (code 100: 11 and 30)
    int resetSocket;            // the row's VPP pin: RESET#
    int a9Socket, oeSocket;     // the two high-voltage pins
    bool vppToVcc;              // the package's VPP pin tied to VCC on the board
    std::uint32_t maskLo, maskHi;  // union of the row's contact masks
    int vppSocket = 0;          // the row's VPP pin on the package's VPP pin (0: RESET# there)
};

AdapterBoard Build(const BoardRule& r) {
    const FlashPinout& p = *r.pinout;
    AdapterBoard b{r.tag, r.pinout, std::vector<int>(static_cast<std::size_t>(p.pins), 0), {}};
    auto set = [&b](int chipPin, int sock) { b.socket[static_cast<std::size_t>(chipPin - 1)] = sock; };
    std::vector<int> used;
    for (int v : p.vcc) set(v, r.vcc);
    used.push_back(r.vcc);
    for (std::size_t i = 0; i < p.gnd.size(); ++i) set(p.gnd[i], r.gnd[std::min(i, r.gnd.size() - 1)]);
    used.insert(used.end(), r.gnd.begin(), r.gnd.end());
    if (r.vppToVcc && p.vpp) set(p.vpp, r.vcc);
    if (r.vppSocket && p.vpp) {
        set(p.vpp, r.vppSocket);
        used.push_back(r.vppSocket);
    }
    for (auto [pin, sock] : {std::pair{p.reset, r.resetSocket}, {p.address[9], r.a9Socket}, {p.oe, r.oeSocket}}) {
        if (!pin || !sock) continue;
        set(pin, sock);
        used.push_back(sock);
    }
    std::vector<int> order = MaskSockets(r.maskLo, r.maskHi);
    for (int k = 1; k <= 48; ++k)
        if (std::find(order.begin(), order.end(), k) == order.end()) order.push_back(k);
    std::erase_if(order, [&used](int k) { return std::find(used.begin(), used.end(), k) != used.end(); });
    std::size_t next = 0;
    for (int pin = 1; pin <= p.pins; ++pin)
        if (b.SocketOf(pin) == 0) set(pin, order.at(next++));
    b.codes.push_back({100, 22, {11, 30}});
    return b;
}

const std::vector<AdapterBoard>& Boards() {
    static const std::vector<AdapterBoard> boards = [] {
        std::vector<AdapterBoard> v;
        // P29F640 row 1 (AT49BV322A/AT): the package's VPP pin on the VCC net.
        v.push_back(Build({"tsop48at49f321", &Tsop48x16Pinout(), 21, {11, 30}, 44, 12, 39, true, 0xFFFFFFFF, 0xFEFF}));
        // P29F640 row 2 (Am29LV160DT): RESET# on the VPP socket 44.
        v.push_back(Build({"tsop48p29", &Tsop48x16Pinout(), 21, {11, 30}, 44, 12, 39, false, 0xFFFFFFFF, 0xDFFF}));
        // P29F640 row 7: the DIP32 part in its DIP position (pin n on socket n + 4): VCC 36,
        // ground 20, RESET# (pin 1) on the VPP socket 5, OE# 28 and A9 30 the high-voltage pins.
        // F640 rows 1 and 3 (28F160C3..28F640C3): VCC and VCCQ on socket 21, ground on 11 and
        // 30, the package's VPP pin on the row's VPP socket 45.
        v.push_back(Build({"intel48tsop16", &IntelTsop48x16Pinout(), 21, {11, 30}, 0, 0, 0, false, 0xFFFFFFFF,
                           0xFEFF, 45}));
        // I27CX rows 2 and 3: the 40-pin DIP EPROM in the socket's own position (pin n on
        // socket n): VCC 40, ground 11 and 30 (code 100), VPP 1.
        for (const char* tag : {"at27c2048dip40", "at27c4096dip40"}) {
            AdapterBoard d{tag, &Dip40EpromPinout(std::string_view(tag) == "at27c2048dip40"), {}, {{100, 22, {11, 30}}}};
            for (int pin = 1; pin <= 40; ++pin) d.socket.push_back(pin);
            v.push_back(d);
        }
        // I27CX rows 4 and 5: the 44-pin PLCC EPROM, each signal on the socket of its DIP40
        // pin (the rows' contact masks are the DIP rows'), VCC on 42 and VPP on 48 (the rows'
        // supply pins). Row 4 grounds on 11 and 30 (code 100); row 5 on socket 12, so DQ7 (DIP
        // pin 12) moves to 11. No-connect pins fill the sockets the masks test that carry no
        // signal (1 and 40; 30 on row 5).
        for (const bool pgm : {true, false}) {
            const FlashPinout& p = Plcc44EpromPinout(pgm);
            AdapterBoard d{pgm ? "at27c2048p44" : "at27c4096p44", &p, std::vector<int>(44, 0), {}};
            for (int dip = 1; dip <= 40; ++dip) d.socket[static_cast<std::size_t>(dip + (dip - 1) / 10)] = dip;
            d.socket[0] = 1;                      // NC
            d.socket[11] = pgm ? 0 : 30;          // NC
            d.socket[22] = 40;                    // NC
            d.socket[static_cast<std::size_t>(p.vcc[0] - 1)] = 42;
            d.socket[static_cast<std::size_t>(p.vpp - 1)] = 48;
            if (pgm) {
                d.codes.push_back({100, 22, {11, 30}});
            } else {
                for (int g : p.gnd) d.socket[static_cast<std::size_t>(g - 1)] = 12;
                d.socket[static_cast<std::size_t>(p.data[7] - 1)] = 11;
            }
            v.push_back(d);
        }
        // MX29X161X pkg=44: the SOP44 page flash, VCC on 21, ground on 11 and 30 (gnd=100),
        // the other pins over the sockets of the form's masks FFFFFFFF/C3FF.
        v.push_back(Build({"mx1611sop44", &Sop44PageFlashPinout(), 21, {11, 30}, 0, 0, 0, false, 0xFFFFFFFF, 0xC3FF}));
        // HN29AND pkg=4802/4803: a TSOP48 x16 JEDEC part with VCC (and its WP#/ACC pin) on socket
        // 34 and both grounds on 31, the row's supply pins; the other pins over the rest.
        for (const char* tag : {"tsop29cmd2aa", "tsop29cmd2aaa"})
            v.push_back(Build({tag, &Tsop48x16Pinout(), 34, {31}, 0, 0, 0, true, 0xFFFFFFFF, 0xFFFF}));
        // F640 rows 2 and 4: the x8 TSOP40 part pin n on socket n; the board's VCC net (code 101
        // for VCC routing) on 33, its ground net (code 101 for ground routing) on 25 and 34, VPP
        // on socket 1; WP# (12) left to the socket's pull-up (high: no block held locked).
        {
            AdapterBoard t{"intel40ts08", &IntelTsop40x8Pinout(), {}, {{101, 21, {33}}, {101, 22, {25, 34}}}};
            for (int pin = 1; pin <= 40; ++pin) t.socket.push_back(pin);
            v.push_back(t);
        }
        AdapterBoard dip{"at49f002dip32", &Dip32FlashPinout(), {}, {}};
        for (int pin = 1; pin <= 32; ++pin) dip.socket.push_back(pin + 4);
        v.push_back(dip);
        return v;
    }();
    return boards;
}

// The row (board) each adapter part is listed on.
struct PartBoard {
    const char* part;
    const char* tag;
};
constexpr PartBoard kPartBoards[] = {
    {"AT49BV322A", "tsop48at49f321"},
    {"AT49BV322AT", "tsop48at49f321"},
    {"AM29LV160DT", "tsop48p29"},
    {"AT49F002", "at49f002dip32"},
    {"MX29F1611", "mx1611sop44"},
    {"AM27C1024", "at27c2048dip40"},
    {"AM27C2048", "at27c2048dip40"},
    {"AM27C4096", "at27c4096dip40"},
    {"AM27C1024*P44", "at27c2048p44"},
    {"AM27C2048*P44", "at27c2048p44"},
    {"AM27C4096*P44", "at27c4096p44"},
    {"28F008B3T", "intel40ts08"},
    {"28F008B3B", "intel40ts08"},
    {"28F016B3T", "intel40ts08"},
    {"28F016B3B", "intel40ts08"},
    {"28F160C3T", "intel48tsop16"},
    {"28F160C3B", "intel48tsop16"},
    {"28F320C3T", "intel48tsop16"},
    {"28F320C3B", "intel48tsop16"},
    {"28F640C3T", "intel48tsop16"},
    {"28F640C3B", "intel48tsop16"},
};

}  // namespace

const FlashPinout& Tsop48x16Pinout() {
    static const FlashPinout p{
        48,
        {25, 24, 23, 22, 21, 20, 19, 18, 8, 7, 6, 5, 4, 3, 2, 1, 48, 17, 16, 9, 10},  // A0..A20
        {29, 31, 33, 35, 38, 40, 42, 44, 30, 32, 34, 36, 39, 41, 43, 45},             // DQ0..DQ15
        26, 28, 11, 12, 47, 13, {37}, {27, 46}};
    return p;
}

const FlashPinout& Dip32FlashPinout() {
    static const FlashPinout p{
        32, {12, 11, 10, 9, 8, 7, 6, 5, 27, 26, 23, 25, 4, 28, 29, 3, 2, 30}, {13, 14, 15, 17, 18, 19, 20, 21},
        22, 24, 31, 1, 0, 0, {32}, {16}};
    return p;
}

const FlashPinout& Sop44PageFlashPinout() {
    // A0..A19 on 11..4, 42..34, 3..1 (A17 3, A18 2, A19 1); DQ0..DQ7 on 15, 17, 19, 21, 24, 26,
    // 28, 30; DQ8..DQ15 on 16, 18, 20, 22, 25, 27, 29, 31 (DQ15 is A-1 in byte mode); CE# 12,
    // OE# 14, WE# 43, BYTE# 33, VCC 23, ground 13 and 32.
    static const FlashPinout p{
        44,
        {11, 10, 9, 8, 7, 6, 5, 4, 42, 41, 40, 39, 38, 37, 36, 35, 34, 3, 2, 1},
        {15, 17, 19, 21, 24, 26, 28, 30, 16, 18, 20, 22, 25, 27, 29, 31},
        12, 14, 43, 0, 33, 0, {23}, {13, 32}};
    return p;
}

const FlashPinout& IntelTsop40x8Pinout() {
    // VPP 1, A16..A11 on 2..7, A9 8, A8 9, WE# 10, RP# 11, WP# 12, A19 13, A18 14, A7..A4 on
    // 15..18, A3..A0 on 20..23, CE# 24, OE# 26, DQ0..DQ3 on 29..32, VCC 33, DQ4..DQ7 on 35..38,
    // A17 39, A10 40, ground 25 and 34; 19, 27 and 28 not connected.
    static const FlashPinout p{
        40,
        {23, 22, 21, 20, 18, 17, 16, 15, 9, 8, 40, 7, 6, 5, 4, 3, 2, 39, 14, 13},  // A0..A19
        {29, 30, 31, 32, 35, 36, 37, 38},
        24, 26, 10, 11, 0, 1, {33}, {25, 34}, 12};
    return p;
}

const FlashPinout& IntelTsop48x16Pinout() {
    static const FlashPinout p{
        48,
        {25, 24, 23, 22, 21, 20, 19, 18, 8, 7, 6, 5, 4, 3, 2, 1, 48, 17, 16, 15, 10, 9},  // A0..A21
        {29, 31, 33, 35, 38, 40, 42, 44, 30, 32, 34, 36, 39, 41, 43, 45},                 // DQ0..DQ15
        26, 28, 11, 12, 0, 13, {37, 47}, {27, 46}, 14};
    return p;
}

const FlashPinout& Dip40EpromPinout(bool pgm) {
    // A0..A15 on 21..29, 31..37; A16 on 38; A17 on 39 (CE#/PGM# parts); DQ0..DQ7 on 19..12,
    // DQ8..DQ15 on 10..3; CE# 2, OE# 20, VPP 1, VCC 40, GND 11 and 30.
    static const FlashPinout withPgm{
        40, {21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 36, 37, 38},
        {19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3}, 2, 20, 39, 0, 0, 1, {40}, {11, 30}};
    static const FlashPinout cePgm{
        40, {21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 36, 37, 38, 39},
        {19, 18, 17, 16, 15, 14, 13, 12, 10, 9, 8, 7, 6, 5, 4, 3}, 2, 20, 0, 0, 0, 1, {40}, {11, 30}};
    return pgm ? withPgm : cePgm;
}

const FlashPinout& Plcc44EpromPinout(bool pgm) {
    auto build = [](const FlashPinout& dip) {
        auto at = [](int d) { return d ? d + 1 + (d - 1) / 10 : 0; };
        FlashPinout p = dip;
        p.pins = 44;
        for (int& a : p.address) a = at(a);
        for (int& d : p.data) d = at(d);
        p.ce = at(p.ce);
        p.oe = at(p.oe);
        p.we = at(p.we);
        p.vpp = at(p.vpp);
        for (int& v : p.vcc) v = at(v);
        for (int& g : p.gnd) g = at(g);
        return p;
    };
    static const FlashPinout withPgm = build(Dip40EpromPinout(true));
    static const FlashPinout cePgm = build(Dip40EpromPinout(false));
    return pgm ? withPgm : cePgm;
}

Placement AdapterBoard::Place() const {
    Placement p = Placement::Custom(tag, socket);
    for (const auto& c : codes) p.WithCode(c.code, c.sub, c.pins);
    return p;
}

const AdapterBoard* FindAdapterBoard(std::string_view tag) {
    for (const auto& b : Boards())
        if (tag == b.tag) return &b;
    return nullptr;
}

Placement AdapterPlacementFor(std::string_view part, const FlashPinout& pinout) {
    for (const auto& pb : kPartBoards) {
        if (part != pb.part) continue;
        const AdapterBoard* b = FindAdapterBoard(pb.tag);
        if (!b || b->pinout != &pinout) break;
        return b->Place();
    }
    throw std::logic_error("no adapter board for " + std::string(part));
}

}  // namespace quilla::sim
