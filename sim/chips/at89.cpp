#include "sim/chips/at89.h"

#include <string>

namespace quilla::sim {

namespace {

// DIP40 pins of the 8051 functions the tables use.
constexpr int kRst = 9, kP34 = 14, kP36 = 16, kP37 = 17, kXtal1 = 19, kGnd = 20;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kAle = 30, kEa = 31, kVcc = 40;

std::vector<PinLevel> Levels(const char* p26p27p36p37) {
    const int pins[4] = {kP26, kP27, kP36, kP37};
    std::vector<PinLevel> v;
    for (int i = 0; i < 4; ++i) v.push_back({pins[i], p26p27p36p37[i] == 'H'});
    return v;
}

ModeTablePart Atmel12V(const char* name, int kib, std::uint8_t device, Tenths readVccMin) {
    ModeTablePart p;
    p.name = name;
    p.pins = 40;
    p.size = static_cast<std::uint32_t>(kib) * 1024;
    p.vcc = kVcc;
    p.gnd = {kGnd};
    p.address = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24};  // P1, P2.0-P2.3
    if (kib > 4) p.address.push_back(25);                   // P2.4: A12
    p.data = {39, 38, 37, 36, 35, 34, 33, 32};              // P0.0..P0.7
    p.always = {{kRst, true}, {kPsen, false}};
    p.modes = {{ModeOp::Read, Levels("LLHH")},      {ModeOp::Program, Levels("LHHH")},
               {ModeOp::Erase, Levels("HLLL")},     {ModeOp::WriteLock, Levels("HHHH"), 1},
               {ModeOp::WriteLock, Levels("HHLL"), 2}, {ModeOp::WriteLock, Levels("HLHL"), 3},
               {ModeOp::Signature, Levels("LLLL")}};
    p.strobe = kAle;
    p.vppPin = kEa;
    p.clock = kXtal1;
    p.ready = kP34;
    p.vppMin = 115;
    p.vppMax = 125;
    p.readVccMin = readVccMin;
    p.readVccMax = 60;
    p.progVccMin = 48;  // 4.75 V: the first wire level inside
    p.progVccMax = 65;
    p.writeTime = 1500 * Microsecond;
    p.eraseTime = 10 * Millisecond;
    p.signature = {{0x30, 0x1E}, {0x31, device}, {0x32, 0xFF}};
    p.absAny = 70;
    p.absVpp = 125;
    return p;
}

std::vector<ModeTablePart> Build() {
    return {Atmel12V("AT89C51", 4, 0x51, 40), Atmel12V("AT89LV51", 4, 0x61, 27),
            Atmel12V("AT89C52", 8, 0x52, 40), Atmel12V("AT89LV52", 8, 0x62, 27)};
}

}  // namespace

const std::vector<ModeTablePart>& At89Parts() {
    static const std::vector<ModeTablePart> parts = Build();
    return parts;
}

Placement Plcc44Board8051() {
    std::vector<int> socket(44, 0);
    auto at = [&](int plcc, int sp) { socket[static_cast<std::size_t>(plcc - 1)] = sp; };
    for (int i = 0; i < 8; ++i) at(2 + i, 1 + i);     // P1
    at(10, 9);                                        // RST
    at(11, 10);                                       // P3.0
    for (int i = 0; i < 7; ++i) at(13 + i, 11 + i);   // P3.1..P3.7
    at(20, 18);                                       // XTAL2
    at(21, 19);                                       // XTAL1
    at(22, 20);                                       // GND
    for (int i = 0; i < 8; ++i) at(24 + i, 21 + i);   // P2
    at(32, 29);                                       // PSEN
    at(33, 30);                                       // ALE/PROG
    at(35, 33);                                       // EA/VPP
    at(36, 32);                                       // P0.7
    at(37, 40);                                       // P0.6
    for (int i = 0; i < 6; ++i) at(38 + i, 34 + i);   // P0.5..P0.0
    at(44, 42);                                       // VCC
    at(1, 31);                                        // not connected
    return Placement::Custom("PLCC44 8051 board", socket);
}

SeatedPart MakeAt89(std::string_view name) {
    const std::string_view mark = "*P44";
    const bool plcc = name.size() > mark.size() && name.substr(name.size() - mark.size()) == mark;
    const std::string_view base = plcc ? name.substr(0, name.size() - mark.size()) : name;
    for (const ModeTablePart& p : At89Parts()) {
        if (base != p.name) continue;
        if (plcc) return {std::make_unique<ModeTableChip>(InPlcc44(p)), Plcc44Board8051()};
        return {std::make_unique<ModeTableChip>(p), Placement::Dip(40)};
    }
    return {};
}

void RegisterAt89(ChipRegistry& registry) {
    for (const ModeTablePart& p : At89Parts()) {
        for (const std::string& name : {p.name, p.name + "*P44"})
            registry.Add(name, [name] { return MakeAt89(name); });
    }
}

}  // namespace quilla::sim
