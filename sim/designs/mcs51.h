// The 8051 designs besides "vex300": the same 8051 meanings (see vex300.h:
// latch 0 on P1, 0x21 onto P0, 0x20 block and 0x22 sample of P0, port mode 7
// releasing P0) for the PLCC44 adapter board and the "p51" design files.
//
// The PLCC44 adapter board of the 8051 parts (sim/chips/at89.h) brings P0 to
// socket pins 39, 38, 37, 36, 35, 34 (P0.0..P0.5), 40 (P0.6) and 32 (P0.7):
// socket 33 carries EA/VPP and socket 42 VCC there; every other function sits
// on its DIP40 socket pin.
#pragma once

#include "sim/designs/vex300.h"

namespace quilla::sim {

// P0.0..P0.7 on the PLCC44 adapter board.
inline constexpr std::array<int, 8> Plcc44Port0{39, 38, 37, 36, 35, 34, 40, 32};

// The 8051-only designs keep latch 3 (written by some 8051 forms before
// programming) without driving socket pins 26..33 with it: on the PLCC44 board
// socket 33 is EA/VPP.
class Vex300At51Plcc44Design : public Vex300Design {
public:
    static constexpr std::string_view TagName = "vex300at51plcc44";
    std::string_view Tag() const override { return TagName; }
    Vex300At51Plcc44Design() : Vex300Design(Plcc44Port0) { latch3Drives_ = false; }
};

class P51Dip40Design : public Vex300Design {
public:
    static constexpr std::string_view TagName = "p51dip40";
    std::string_view Tag() const override { return TagName; }
    P51Dip40Design() { latch3Drives_ = false; }
};

class P51Plcc44Design : public Vex300Design {
public:
    static constexpr std::string_view TagName = "p51plcc44";
    std::string_view Tag() const override { return TagName; }
    P51Plcc44Design() : Vex300Design(Plcc44Port0) { latch3Drives_ = false; }
};

}  // namespace quilla::sim
