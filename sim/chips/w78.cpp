#include "sim/chips/w78.h"

#include <string>

#include "sim/chips/at89.h"

namespace quilla::sim {

namespace {

constexpr int kRst = 9, kP30 = 10, kP31 = 11, kP32 = 12, kP33 = 13, kP34 = 14, kP35 = 15, kP36 = 16,
              kP37 = 17, kGnd = 20, kPsen = 29, kAle = 30, kEa = 31, kVcc = 40;

std::vector<PinLevel> Levels(const std::vector<int>& pins, const char* levels) {
    std::vector<PinLevel> v;
    for (std::size_t i = 0; i < pins.size(); ++i) v.push_back({pins[i], levels[i] == 'H'});
    return v;
}

ModeTablePart Base(const char* name, std::uint32_t size, std::uint8_t device) {
    ModeTablePart p;
    p.name = name;
    p.pins = 40;
    p.size = size;
    p.vcc = kVcc;
    p.gnd = {kGnd};
    p.address = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, 27, 28};
    p.data = {39, 38, 37, 36, 35, 34, 33, 32};
    p.strobeGatesReads = false;
    p.readVccMin = 45;
    p.readVccMax = 55;
    p.minProgramLow = 20 * Microsecond;
    p.lockNoProgram = 0;
    p.lockNoRead = 0;
    p.signature = {{0x0000, 0xDA}, {0x0001, device}};
    p.absAny = 70;
    p.absVpp = 145;
    return p;
}

ModeTablePart W7851(const char* name, int kib, std::uint8_t device, bool seeds) {
    ModeTablePart p = Base(name, static_cast<std::uint32_t>(kib) * 1024, device);
    const std::vector<int> mode = {kP30, kP31, kP32, kP33, kP37};
    p.always = {{kRst, true}, {kPsen, true}, {kAle, false}};
    p.modes = {{ModeOp::Read, Levels(mode, "LLLLL")},
               {ModeOp::Signature, Levels(mode, "HLLLL")},
               {ModeOp::Program, Levels(mode, "LLLLH")},
               {ModeOp::Erase, Levels(mode, "HLLLH")}};
    p.strobe = kP36;
    p.vppPin = kEa;
    p.vppMin = 120;
    p.vppMax = 130;
    p.eraseVppMin = 135;
    p.eraseVppMax = 145;
    p.progVccMin = 48;
    p.progVccMax = 65;
    p.eraseTime = 50 * Millisecond;
    p.extraCells = {0xFFFF};
    if (seeds) p.extraCells = {0xFFFF, 0xFFFE, 0xFFFD};
    return p;
}

ModeTablePart W78E516x(const char* name, int kib, std::uint8_t device, Tenths readVccMin) {
    ModeTablePart p = Base(name, static_cast<std::uint32_t>(kib) * 1024, device);
    const std::vector<int> mode = {kP30, kP31, kP32, kP33, kP35};
    p.always = {{kPsen, false}, {kAle, false}};
    p.modes = {{ModeOp::Read, Levels(mode, "LLLLL")},
               {ModeOp::Program, Levels(mode, "HLLLH")},
               {ModeOp::Erase, Levels(mode, "LHHLH")},
               {ModeOp::Signature, Levels(mode, "HHLHL"), 0, 0xDA},
               {ModeOp::Signature, Levels(mode, "LLHHL"), 0, device}};
    p.strobe = kP34;
    p.readVccMin = readVccMin;
    p.progVccMin = 45;
    p.progVccMax = 55;
    p.eraseTime = 10 * Millisecond;
    p.ldromSelect = kP36;
    p.ldromSize = 4096;
    p.extraCells = {0xFFFF};
    p.extraInLdrom = true;
    return p;
}

// Device bytes: Winbond publishes none for the parallel mode; ours.
std::vector<ModeTablePart> Build() {
    return {W7851("W78E51", 4, 0x51, false),     W7851("W78E52", 8, 0x52, false),
            W7851("W78E54", 16, 0x54, false),    W7851("W78E58", 32, 0x58, false),
            W7851("W78E516", 64, 0x16, false),   W7851("W78E51B", 4, 0x5B, false),
            W7851("W78E52B", 8, 0x5C, false),    W7851("W78E54B", 16, 0x5D, false),
            W7851("W78E58B", 32, 0x5E, false),   W7851("W77E54", 16, 0x74, true),
            W7851("W77E58", 32, 0x78, true),     W78E516x("W78E516B", 64, 0x6B, 45),
            W78E516x("W78LE516", 64, 0x6C, 24),  W78E516x("W78LE58", 32, 0x6E, 24),
            W78E516x("W78LE54", 16, 0x70, 24)};
}

}  // namespace

const std::vector<ModeTablePart>& W78Parts() {
    static const std::vector<ModeTablePart> parts = Build();
    return parts;
}

SeatedPart MakeW78(std::string_view name) {
    const std::string_view mark = "*P44";
    const bool plcc = name.size() > mark.size() && name.substr(name.size() - mark.size()) == mark;
    const std::string_view base = plcc ? name.substr(0, name.size() - mark.size()) : name;
    for (const ModeTablePart& p : W78Parts()) {
        if (base != p.name) continue;
        if (plcc) return {std::make_unique<ModeTableChip>(InPlcc44(p)), Plcc44Board8051()};
        return {std::make_unique<ModeTableChip>(p), Placement::Dip(40)};
    }
    return {};
}

void RegisterW78(ChipRegistry& registry) {
    for (const ModeTablePart& p : W78Parts()) {
        for (const std::string& name : {p.name, p.name + "*P44"})
            registry.Add(name, [name] { return MakeW78(name); });
    }
}

}  // namespace quilla::sim
