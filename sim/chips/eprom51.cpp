#include "sim/chips/eprom51.h"

#include <string>

#include "sim/chips/at89.h"

namespace quilla::sim {

namespace {

constexpr int kRst = 9, kP34 = 14, kP35 = 15, kP36 = 16, kP37 = 17, kXtal1 = 19, kGnd = 20;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kAle = 30, kEa = 31, kVcc = 40;

std::vector<PinLevel> Levels(const char* p26p27p36p37) {
    const int pins[4] = {kP26, kP27, kP36, kP37};
    std::vector<PinLevel> v;
    for (int i = 0; i < 4; ++i) v.push_back({pins[i], p26p27p36p37[i] == 'H'});
    return v;
}

ModeTablePart Philips(const char* name, int kib, std::uint8_t d31, std::uint8_t d60) {
    ModeTablePart p;
    p.name = name;
    p.pins = 40;
    p.size = static_cast<std::uint32_t>(kib) * 1024;
    p.vcc = kVcc;
    p.gnd = {kGnd};
    p.address = {1, 2, 3, 4, 5, 6, 7, 8, 21, 22, 23, 24, 25, 26, kP34, kP35};
    p.data = {39, 38, 37, 36, 35, 34, 33, 32};
    p.always = {{kRst, true}, {kPsen, false}};
    p.modes = {{ModeOp::Read, Levels("LLHH")},        {ModeOp::Program, Levels("LHHH")},
               {ModeOp::Signature, Levels("LLLL")},   {ModeOp::WriteLock, Levels("HHHH"), 1},
               {ModeOp::WriteLock, Levels("HHLL"), 2}, {ModeOp::WriteLock, Levels("HLHL"), 3}};
    p.strobe = kAle;
    p.vppPin = kEa;
    p.clock = kXtal1;
    p.vppMin = 125;
    p.vppMax = 130;
    p.readVccMin = 45;
    p.readVccMax = 55;
    p.progVccMin = 45;
    p.progVccMax = 55;
    p.otp = true;
    p.minProgramLow = 50 * Microsecond;  // five pulses of the forms (55 us), not four (44 us)
    p.minLockLow = 270 * Microsecond;    // 25 pulses of the forms (275 us), not 24 (264 us)
    p.signature = {{0x30, 0x15}, {0x31, d31}, {0x60, d60}};
    p.absAny = 70;
    p.absVpp = 130;
    return p;
}

ModeTablePart X2(ModeTablePart p, const char* name) {
    p.name = name;
    p.modes.push_back({ModeOp::WriteConfig, Levels("LLLH")});
    p.modes.push_back({ModeOp::ReadConfig, Levels("LLHL")});
    p.configClear = 0x10;
    p.minConfigLow = p.minProgramLow;  // the form gives the 6-clock cell five pulses
    return p;
}

ModeTablePart Slow97(ModeTablePart p, const char* name) {
    p.name = name;
    p.minProgramLow = 200 * Microsecond;
    return p;
}

std::vector<ModeTablePart> Build() {
    const ModeTablePart c51 = Philips("87C51", 4, 0x92, 0x92), c52 = Philips("87C52", 8, 0x97, 0xC0);
    const ModeTablePart c54 = Philips("87C54", 16, 0xBB, 0xC1), c58 = Philips("87C58", 32, 0xBD, 0xC2);
    std::vector<ModeTablePart> v = {c51, c52, c54, c58,
                                    Philips("87C51FA", 8, 0xB1, 0xC0), Philips("87C51FB", 16, 0xB2, 0xC1),
                                    Philips("87C51FC", 32, 0xB3, 0xC2), Philips("87C51RA+", 8, 0xCA, 0xC0),
                                    Philips("87C51RB+", 16, 0xCB, 0xC1), Philips("87C51RC+", 32, 0xCC, 0xC2),
                                    Philips("87C51RD+", 64, 0xCD, 0xC3)};
    v.push_back(X2(c51, "87C51X2"));
    v.push_back(X2(c52, "87C52X2"));
    v.push_back(X2(c54, "87C54X2"));
    v.push_back(X2(c58, "87C58X2"));
    v.push_back(Slow97(c51, "97C51"));
    v.push_back(Slow97(c52, "97C52"));
    v.push_back(Slow97(c54, "97C54"));
    v.push_back(Slow97(c58, "97C58"));
    ModeTablePart c591 = Philips("87C591", 16, 0xBB, 0xC1);
    c591.always = {{kRst, false}, {kPsen, false}};
    v.push_back(c591);
    for (const auto& [name, base] : {std::pair{"V87C54", c54}, std::pair{"V87C58", c58}}) {
        ModeTablePart p = base;
        p.name = name;
        p.minLockLow = 20 * Microsecond;
        v.push_back(p);
    }
    ModeTablePart ds = Philips("DS87C520", 16, 0xFF, 0xFF);
    ds.signature.clear();
    ds.modes.push_back({ModeOp::WriteConfig, Levels("LHLL")});
    ds.configAddress = 0xFC;
    v.push_back(ds);
    return v;
}

}  // namespace

const std::vector<ModeTablePart>& Eprom51Parts() {
    static const std::vector<ModeTablePart> parts = Build();
    return parts;
}

SeatedPart MakeEprom51(std::string_view name) {
    const std::string_view mark = "*P44";
    const bool plcc = name.size() > mark.size() && name.substr(name.size() - mark.size()) == mark;
    const std::string_view base = plcc ? name.substr(0, name.size() - mark.size()) : name;
    for (const ModeTablePart& p : Eprom51Parts()) {
        if (base != p.name) continue;
        if (plcc) return {std::make_unique<ModeTableChip>(InPlcc44(p)), Plcc44Board8051()};
        return {std::make_unique<ModeTableChip>(p), Placement::Dip(40)};
    }
    return {};
}

void RegisterEprom51(ChipRegistry& registry) {
    for (const ModeTablePart& p : Eprom51Parts()) {
        for (const std::string& name : {p.name, p.name + "*P44"})
            registry.Add(name, [name] { return MakeEprom51(name); });
    }
}

}  // namespace quilla::sim
