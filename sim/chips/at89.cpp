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

constexpr int kP30 = 10, kP33 = 13;

// Five mode pins: P2.6, P2.7, P3.3, P3.6, P3.7.
std::vector<PinLevel> Levels5(const char* levels) {
    const int pins[5] = {kP26, kP27, kP33, kP36, kP37};
    std::vector<PinLevel> v;
    for (int i = 0; i < 5; ++i) v.push_back({pins[i], levels[i] == 'H'});
    return v;
}

std::vector<ModeRow> FiveModes() {
    return {{ModeOp::Read, Levels5("LLLHH")},       {ModeOp::Program, Levels5("LHHHH")},
            {ModeOp::Erase, Levels5("HLHLL")},      {ModeOp::WriteLock, Levels5("HHHHH"), 1},
            {ModeOp::WriteLock, Levels5("HHHLL"), 2}, {ModeOp::WriteLock, Levels5("HLHHL"), 3},
            {ModeOp::ReadLock, Levels5("HHLHL")},    {ModeOp::Signature, Levels5("LLLLL")}};
}

// AT89C55WD and AT89C51RC (sheets 1921B, 1920C): five mode pins, A14 on P3.4,
// RDY/BSY on P3.0; byte writes self-timed, "typically no more than 50 us" (the
// form leaves two waits 25, 20 us, after each pulse: 20 us here); lock
// bits and the chip erase with VCC raised to 6.5 V and 12 V on EA/VPP; the erase
// starts with one short ALE/PROG pulse and runs by itself (the sheet's sequence
// waits after it; the form gives it 200 ms with VCC at 6.5 V, so the model's
// erase takes 100 ms, ours); lock bits read back on P0.2-P0.4; the signature at
// 0x000, 0x100, 0x200.
ModeTablePart AtmelWd(const char* name, int kib, std::uint8_t device, std::uint8_t third) {
    ModeTablePart p = Atmel12V(name, kib, device, 40);
    p.address = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, kP34};  // P1, P2.0-P2.5, P3.4
    p.modes = FiveModes();
    p.ready = kP30;
    p.readVccMax = 55;
    p.progVccMin = 45;
    p.progVccMax = 55;
    p.lockVccMin = 63;
    p.lockVccMax = 67;
    p.eraseVccMin = 63;
    p.eraseVccMax = 67;
    p.writeTime = 20 * Microsecond;
    p.pulseErase = true;
    p.eraseTime = 100 * Millisecond;
    p.lockReadBits = {2, 3, 4};
    p.signature = {{0x000, 0x1E}, {0x100, device}, {0x200, third}};
    return p;
}

// AT89S51 and AT89S52 in the parallel mode (sheets 2487, 1919): five mode pins,
// VCC 4.5-5.5 V, PROG pulses of 200-500 ns, RDY/BSY on P3.0, the signature at
// 0x000/0x100/0x200. The write cycle is self-timed; the form leaves one wait 25
// (10 us) after each pulse (two at "Slow "), so the model's write takes 10 us. The
// erase starts with one pulse and runs 150 ms by itself (the form leaves 300 ms
// and, after switching VCC off and on, 200 ms; figure ours).
ModeTablePart AtmelS(const char* name, int kib, std::uint8_t device) {
    ModeTablePart p = Atmel12V(name, kib, device, 45);
    p.modes = FiveModes();
    p.ready = kP30;
    p.readVccMax = 55;
    p.progVccMin = 45;
    p.progVccMax = 55;
    p.writeTime = 10 * Microsecond;
    p.pulseErase = true;
    p.eraseTime = 150 * Millisecond;
    p.lockReadBits = {2, 3, 4};
    p.signature = {{0x000, 0x1E}, {0x100, device}, {0x200, 0x06}};
    return p;
}

// AT89LS8252, AT89LS53 and AT89S53 in the parallel mode (12 V): four mode pins
// (P2.6, P2.7, P3.6, P3.7): read L L H H, program L H H H, chip erase H L L L
// (ALE/PROG low 10 ms), signature L L L L at 0x30/0x31; EA/VPP at 12 V while
// reading too. The lock bits are written as one data byte in the setting
// H L H L: P0.7, P0.6, P0.5 low program LB1, LB2, LB3 (the order and polarity
// of the sheets' lock-bit byte); the write cycle is self-timed, 2 ms here (the
// form leaves two waits 26 after each pulse). VCC: the LS parts read from
// 2.7 V, the S53 from 4.0 V.
ModeTablePart AtmelX8252(const char* name, int kib, std::uint8_t device, Tenths readVccMin) {
    ModeTablePart p = Atmel12V(name, kib, device, readVccMin);
    p.address = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26};  // P1, P2.0-P2.5
    p.modes = {{ModeOp::Read, Levels("LLHH")},    {ModeOp::Program, Levels("LHHH")},
               {ModeOp::Erase, Levels("HLLL")},   {ModeOp::WriteLockByte, Levels("HLHL")},
               {ModeOp::Signature, Levels("LLLL")}};
    p.ready = kP34;
    p.readVppMin = 115;
    p.writeTime = 2 * Millisecond;
    p.lockByteBits = {7, 6, 5};
    p.signature = {{0x30, 0x1E}, {0x31, device}};
    return p;
}

std::vector<ModeTablePart> Build() {
    return {Atmel12V("AT89C51", 4, 0x51, 40),      Atmel12V("AT89LV51", 4, 0x61, 27),
            Atmel12V("AT89C52", 8, 0x52, 40),      Atmel12V("AT89LV52", 8, 0x62, 27),
            AtmelWd("AT89C55WD", 20, 0x55, 0x06),  AtmelWd("AT89C51RC", 32, 0x51, 0x07),
            AtmelS("AT89S51", 4, 0x51),            AtmelS("AT89S52", 8, 0x52),
            AtmelX8252("AT89LS8252", 8, 0x72, 27), AtmelX8252("AT89LS53", 12, 0x63, 27),
            AtmelX8252("AT89S53", 12, 0x53, 40)};
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
