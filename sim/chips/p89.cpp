#include "sim/chips/p89.h"

#include <algorithm>
#include <limits>

#include "sim/chips/at89.h"
#include "sim/chips/mode_table.h"

namespace quilla::sim {

namespace {

constexpr int kP30 = 10, kP31 = 11, kP33 = 13, kP34 = 14, kP35 = 15, kP37 = 17, kXtal1 = 19;
constexpr int kRst = 9, kP26 = 27, kP27 = 28, kPsen = 29, kAle = 30, kEa = 31;
constexpr int kData[8] = {39, 38, 37, 36, 35, 34, 33, 32};
constexpr int kAddress[16] = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, kP34, kP35};

using Cells = std::vector<std::pair<std::uint32_t, int>>;

// The 12 V class (P89C51Uxx-58Uxx, RA+-RD+): the settings of the PHI89C51 form.
std::vector<P89Setting> Class12V() {
    return {{"LLLL", false, P89Op::ReadCode, {}},
            {"LLHH", true, P89Op::ProgramCode, {}},
            {"LLHL", true, P89Op::EraseChip, {}},
            {"LHLH", true, P89Op::ProgramCell, Cells{{0, kP89Lock1}, {1, kP89Lock2}, {2, kP89Lock3}}},
            {"HLLL", true, P89Op::EraseConfig, {}},
            {"HLLH", true, P89Op::ProgramCell, Cells{{0, kP89Status}, {1, kP89Boot}}},
            {"HLHH", false, P89Op::ReadCells, Cells{{0, kP89LockByte}, {1, kP89Status}, {2, kP89Boot}}},
            {"HHHH", false, P89Op::ReadCells, Cells{{0, kP89Sig0}, {1, kP89Sig1}, {2, kP89Sig2}}}};
}

// The 4.5 V BP and X2 parts: the settings of the PHI89NEW form (the X2 clock
// cell in H L L H at address 0); the signature at 5, 6, 4.
std::vector<P89Setting> ClassBp(bool x2) {
    std::vector<P89Setting> v = {
        {"LLLL", false, P89Op::ReadCode, {}},
        {"LLHH", true, P89Op::ProgramCode, {}},
        {"LLHL", true, P89Op::EraseChip, {}},
        {"LHLH", true, P89Op::ProgramCell, Cells{{0, kP89Lock1}, {1, kP89Lock2}, {2, kP89Lock3}}},
        {"HHHH", false, P89Op::ReadCells, Cells{{5, kP89Sig0}, {6, kP89Sig1}, {4, kP89Sig2}}}};
    if (x2) v.push_back({"HLLH", true, P89Op::ProgramCell, Cells{{0, kP89Clock}}});
    return v;
}

// P89C51RA2-RD2 marked "Hxx": the settings of the PHI89RX2 form.
std::vector<P89Setting> ClassRx2H() {
    return {{"LLLL", false, P89Op::ReadCode, {}},
            {"LLHH", true, P89Op::ProgramCode, {}},
            {"LLHL", true, P89Op::EraseChip, {}},
            {"LHLH", true, P89Op::ProgramCell, Cells{{0, kP89Lock1}, {1, kP89Lock2}, {2, kP89Lock3}}},
            {"HLLL", true, P89Op::EraseConfig, {}},
            {"HLLH", true, P89Op::ProgramCell, Cells{{0, kP89Status}, {1, kP89Boot}}},
            {"HHHL", true, P89Op::ProgramCell, Cells{{1, kP89Clock}}},
            {"HLHH", false, P89Op::ReadCells,
             Cells{{0, kP89LockByte}, {1, kP89Status}, {2, kP89Boot}, {3, kP89Clock}}},
            {"HHHH", false, P89Op::ReadCells, Cells{{0, kP89Sig0}, {1, kP89Sig1}, {2, kP89Sig2}}}};
}

// P89C51RA2-RD2 marked "xx": the settings of the P89C51RX2XX form, the cells
// told apart by A12-A14.
std::vector<P89Setting> ClassRx2() {
    return {{"LLLL", false, P89Op::ReadCode, {}},
            {"LLHL", true, P89Op::ProgramCode, {}},
            {"LHHH", true, P89Op::EraseChip, {}},
            {"HLHL", true, P89Op::EraseConfig, {}},
            {"LLLH", true, P89Op::ProgramCell,
             Cells{{0x0000, kP89Status}, {0x1000, kP89Boot}, {0x2000, kP89Clock}, {0x3000, kP89Lock1},
                   {0x4000, kP89Lock2}, {0x5000, kP89Lock3}}},
            {"HHHH", false, P89Op::ReadCells,
             Cells{{0x0000, kP89Status}, {0x1000, kP89Boot}, {0x2000, kP89Clock}, {0x3000, kP89LockByte},
                   {0x5000, kP89Sig0}, {0x6000, kP89Sig1}, {0x4000, kP89Sig2}}}};
}

P89Part Part(const char* name, int kib, bool v12, Nanos minLow, std::vector<P89Setting> s,
             std::array<std::uint8_t, 3> sig) {
    P89Part p;
    p.name = name;
    p.size = static_cast<std::uint32_t>(kib) * 1024;
    p.vppMin = v12 ? 115 : 42;
    p.vppMax = v12 ? 125 : 48;
    p.minProgramLow = minLow;
    p.settings = std::move(s);
    p.signature = sig;
    return p;
}

// Signatures: manufacturer 0x15 (Philips); the device bytes are the forms'
// device-line IDs where the lists give them, else ours.
std::vector<P89Part> Build() {
    const Nanos t12 = 40 * Microsecond, tBp = 20 * Microsecond, tRx2 = 8 * Microsecond;
    std::vector<P89Part> v;
    const struct {
        const char* name;
        int kib;
        std::uint8_t d1, d2;
    } u[] = {{"P89C51U", 4, 0xC2, 0xFF}, {"P89C52U", 8, 0xC2, 0xFE}, {"P89C54U", 16, 0xC2, 0xF7},
             {"P89C58U", 32, 0xC2, 0xFF}};
    for (const auto& x : u) v.push_back(Part(x.name, x.kib, true, t12, Class12V(), {0x15, x.d1, x.d2}));
    const struct {
        const char* name;
        int kib;
        std::uint8_t d2;
    } rp[] = {{"P89C51RA+", 8, 0xF8}, {"P89C51RB+", 16, 0xF9}, {"P89C51RC+", 32, 0xFA}, {"P89C51RD+", 64, 0xFB}};
    for (const auto& x : rp) v.push_back(Part(x.name, x.kib, true, t12, Class12V(), {0x15, 0xC2, x.d2}));
    const struct {
        const char* name;
        int kib;
        bool x2;
        std::uint8_t d2;
    } bp[] = {{"P89C51BP", 4, false, 0xF0}, {"P89C52BP", 8, false, 0xF1}, {"P89C54BP", 16, false, 0xF2},
              {"P89C58BP", 32, false, 0xF8}, {"P89C51X2", 4, true, 0xD0}, {"P89C52X2", 8, true, 0xD1},
              {"P89C54X2", 16, true, 0xD2}, {"P89C58X2", 32, true, 0xD3}};
    for (const auto& x : bp) v.push_back(Part(x.name, x.kib, false, tBp, ClassBp(x.x2), {0x15, 0xC2, x.d2}));
    const struct {
        const char* name;
        int kib;
        std::uint8_t d2;
    } rx2[] = {{"P89C51RA2", 8, 0xE0}, {"P89C51RB2", 16, 0xE1}, {"P89C51RC2", 32, 0xE2}, {"P89C51RD2", 64, 0xE3}};
    for (const auto& x : rx2) {
        v.push_back(Part((std::string(x.name) + "Hxx").c_str(), x.kib, false, tRx2, ClassRx2H(), {0x15, 0xC2, x.d2}));
        v.push_back(Part((std::string(x.name) + "xx").c_str(), x.kib, false, tRx2, ClassRx2(), {0x15, 0xC2, x.d2}));
    }
    return v;
}

}  // namespace

P89Chip::P89Chip(P89Part part, bool plcc) : part_(std::move(part)), plcc_(plcc), cells_(part_.size, 0xFF) {
    extra_.fill(0xFF);
    extra_[kP89Lock1] = extra_[kP89Lock2] = extra_[kP89Lock3] = 0;
    extra_[kP89Sig0] = part_.signature[0];
    extra_[kP89Sig1] = part_.signature[1];
    extra_[kP89Sig2] = part_.signature[2];
}

int P89Chip::P(int dip) const { return plcc_ ? Plcc44Of(dip) : dip; }

AbsoluteMaximum P89Chip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    r.pins.push_back({P(kEa), 130});
    if (plcc_)
        for (int p : {1, 12, 23, 34}) r.pins.push_back({p, std::numeric_limits<Tenths>::max()});
    return r;
}

unsigned P89Chip::LockBits() const {
    unsigned b = 0;
    for (int k = 0; k < 3; ++k)
        if (extra_[static_cast<std::size_t>(kP89Lock1 + k)]) b |= 1u << k;
    return b;
}

const P89Setting* P89Chip::Setting(ChipPins& pins) const {
    if (pins.Source(P(kXtal1)) != PinSource::Clock) return nullptr;
    if (!pins.High(P(kRst)) || pins.High(P(kPsen))) return nullptr;
    const int modePins[4] = {kP26, kP37, kP30, kP31};
    for (const P89Setting& s : part_.settings) {
        bool match = pins.High(P(kP27)) == s.p27;
        for (int i = 0; i < 4 && match; ++i) match = pins.High(P(modePins[i])) == (s.levels[i] == 'H');
        if (match) return &s;
    }
    return nullptr;
}

std::uint32_t P89Chip::Address(ChipPins& pins) const {
    std::uint32_t a = 0;
    for (int i = 0; i < 16; ++i)
        if (pins.High(P(kAddress[i]))) a |= 1u << i;
    return a;
}

bool P89Chip::VppOk(ChipPins& pins) const {
    const Tenths vpp = pins.SupplyVoltage(P(kEa));
    return vpp >= part_.vppMin && vpp <= part_.vppMax;
}

std::uint8_t P89Chip::ReadCell(int cell) const {
    if (cell == kP89LockByte) return static_cast<std::uint8_t>(LockBits());
    if (cell == kP89Clock) return extra_[kP89Clock] ? 0xFF : 0x7F;
    return extra_[static_cast<std::size_t>(cell)];
}

void P89Chip::Program(const P89Setting& s, std::uint32_t address, std::uint8_t data) {
    if (s.op == P89Op::ProgramCode) {
        if (LockBits() & 1u) {  // lock bit 1: no further programming
            NoteRefusal(address, "program pulse with lock bit 1 set");
            return;
        }
        cells_[address % part_.size] &= data;
        return;
    }
    for (const auto& [a, cell] : s.cells) {
        if (a != address) continue;
        if (cell == kP89Lock1 || cell == kP89Lock2 || cell == kP89Lock3) extra_[static_cast<std::size_t>(cell)] = 1;
        else if (cell == kP89Clock) extra_[kP89Clock] = 0;
        else extra_[static_cast<std::size_t>(cell)] &= data;
    }
}

void P89Chip::OnPinsChanged(ChipPins& pins) {
    const Tenths vcc = pins.SupplyVoltage(P(40));
    const bool strobeLow = !pins.High(P(kAle));
    const bool falling = strobeLow && !strobeLow_, rising = !strobeLow && strobeLow_;
    strobeLow_ = strobeLow;
    std::vector<int> data(8);
    for (int i = 0; i < 8; ++i) data[static_cast<std::size_t>(i)] = P(kData[i]);
    if (!pins.Grounded(P(20)) || vcc < 45 || vcc > 55) {
        armed_ = false;
        erasing_ = nullptr;
        pins.ReleaseBus(data);
        return;
    }
    const P89Setting* s = Setting(pins);
    const bool p33Low = !pins.High(P(kP33));
    const std::uint32_t address = Address(pins);
    const std::uint8_t bus = static_cast<std::uint8_t>(pins.ReadBus(data));
    const bool program = s && (s->op == P89Op::ProgramCode || s->op == P89Op::ProgramCell) && p33Low && VppOk(pins);
    if (falling) {
        armed_ = program;
        armSetting_ = s;
        armAddress_ = address;
        armData_ = bus;
        fallAt_ = pins.Now();
    } else if (armed_ && strobeLow && !(program && s == armSetting_ && address == armAddress_ && bus == armData_)) {
        armed_ = false;
    }
    if (rising) {
        if (armed_ && program && s == armSetting_ && address == armAddress_ && bus == armData_) {
            if (sumSetting_ != s || sumAddress_ != address || sumData_ != bus) {
                sumSetting_ = s;
                sumAddress_ = address;
                sumData_ = bus;
                sumLow_ = 0;
            }
            sumLow_ += pins.Now() - fallAt_;
            const Nanos need = s->op == P89Op::ProgramCode ? part_.minProgramLow : part_.minProgramLow / 2;
            if (static_cast<double>(sumLow_) >= static_cast<double>(need) * SlowFactor()) Program(*s, address, bus);
        }
        armed_ = false;
    }
    // Erase: P3.3 and ALE/PROG low together in an erase setting, with VPP.
    const bool erase = s && (s->op == P89Op::EraseChip || s->op == P89Op::EraseConfig) && strobeLow && p33Low &&
                       VppOk(pins);
    if (!erase || erasing_ != s) {
        eraseLow_ = 0;
        eraseDone_ = false;
    }
    erasing_ = erase ? s : nullptr;
    // Outputs: the code and cell reads with EA high.
    const bool readable = s && !strobeLow && pins.High(P(kEa)) &&
                          (s->op == P89Op::ReadCode || s->op == P89Op::ReadCells);
    if (!readable) {
        pins.ReleaseBus(data);
        return;
    }
    std::uint8_t v = 0xFF;
    if (s->op == P89Op::ReadCode) {
        if (!(LockBits() & 2u)) v = cells_[address % part_.size];
    } else {
        for (const auto& [a, cell] : s->cells)
            if (a == address) v = ReadCell(cell);
    }
    pins.DriveBus(data, v);
}

void P89Chip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!erasing_ || eraseDone_) return;
    eraseLow_ += dt;
    if (static_cast<double>(eraseLow_) < static_cast<double>(100 * Millisecond) * SlowFactor()) return;
    if (erasing_->op == P89Op::EraseChip) {
        std::fill(cells_.begin(), cells_.end(), 0xFF);
        extra_[kP89Lock1] = extra_[kP89Lock2] = extra_[kP89Lock3] = 0;
    } else {
        extra_[kP89Status] = extra_[kP89Boot] = extra_[kP89Clock] = 0xFF;
    }
    eraseDone_ = true;
    ++erases_;
    OnPinsChanged(pins);
}

void P89Chip::OnRemoved() {
    armed_ = false;
    erasing_ = nullptr;
    strobeLow_ = false;
}

const std::vector<P89Part>& P89Parts() {
    static const std::vector<P89Part> parts = Build();
    return parts;
}

SeatedPart MakeP89(std::string_view name) {
    const std::string_view mark = "*P44";
    const bool plcc = name.size() > mark.size() && name.substr(name.size() - mark.size()) == mark;
    const std::string_view base = plcc ? name.substr(0, name.size() - mark.size()) : name;
    for (const P89Part& p : P89Parts()) {
        if (base != p.name) continue;
        if (plcc) return {std::make_unique<P89Chip>(p, true), Plcc44Board8051()};
        return {std::make_unique<P89Chip>(p, false), Placement::Dip(40)};
    }
    return {};
}

void RegisterP89(ChipRegistry& registry) {
    for (const P89Part& p : P89Parts())
        for (const std::string& name : {p.name, p.name + "*P44"})
            registry.Add(name, [name] { return MakeP89(name); });
}

}  // namespace quilla::sim
