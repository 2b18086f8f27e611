// The 8051 forms' sequences as data: an operation's entry, the power-up, the
// erase, lock and CFG sequences are lists of steps (`Steps51`) that a form on
// `Steps51Form` runs in order (`Run`). A step that fails (a refused contact
// test, an over-current, no buffer window, ...) ends the run. The roles
// (PowerUp, PreCheck, IdCheck) run the form's routines; `Own` runs a step kind
// of the form's own (`OwnStep`); `Repeat` runs a named sub-list N times.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

enum class Do51 : std::uint8_t {
    PowerUp, PreCheck, IdCheck,  // the form's PowerUp51, PreCheck51 (0 ends), CheckDeviceId (0 ends)
    Own,                         // the form's own step kind N (OwnStep)
    Repeat,                      // the sub-list, N times (at least once)
    Contact, Contact40,          // the contact test: the package's, the DIP40 arguments
    PairCheck,                   // the clock pins' pair check; N = 1: a failed check ends the run
    NeedFile, NeedFileFirst,     // a buffer window: Write's text, "Must open a file first...."
    ShowStatus,                  // the status text
    ReadMode, ResetMode,         // the port mode
    Latch3,                      // latch 3 := N
    PinOptions, SetPins,         // per level: the pin's option, the pin's level
    Clock,                       // the clock on pin N (0: off)
    AllPins,                     // every pin at level N
    Address, NextAddress,        // SetAddress51(N), NextAddress51
    Sample,                      // P0 sampled into the reply (0x22)
    ReadBlock, ReadReply,        // the 256-byte block (to reply offset N), the captured bytes, into the reply buffer
    PutData,                     // N on the data bus
    WaitPulse, Wait100us, Wait1ms, WaitSettle, Wait100ms,  // N waits (at least one)
    Flush, ClearError,
    CheckCurrent,                // the over-current check
    Ground, VccOn, VppOn,        // on pin N (0: the package's pin)
    GroundOff, VccOff, VppOff, Off,  // Off: VPP, then VCC
    VppLevel, VccLevel,          // VPP := N mV; VCC := N mV (0: the form's VccMv51)
    VppSupply,                   // the VPP supply routed to pin N (0: none), as VCC at the VPP level
    VppPinOff,                   // VPP off pin N alone (0: the package's pin)
    Bar,                         // the progress bar at N of 10 (a sequence without addresses)
};

struct Step51;
using Steps51 = std::vector<Step51>;

struct Step51 {
    Do51 Do;
    int N = 0;
    std::vector<Level51> Pins{};    // PinOptions, SetPins
    const char* Text = nullptr;     // ShowStatus
    const Steps51* Sub = nullptr;   // Repeat
    Step51(Do51 d, int n = 0) : Do(d), N(n) {}
    Step51(Do51 d, std::vector<Level51> pins) : Do(d), Pins(std::move(pins)) {}
    explicit Step51(const char* status) : Do(Do51::ShowStatus), Text(status) {}
    // The named list (which must outlive the step), `times` times.
    explicit Step51(const Steps51& sub, int times = 1) : Do(Do51::Repeat), N(times), Sub(&sub) {}
};

// The steps' short forms for the rows.
namespace steps51 {
inline Step51 Say(const char* text) { return Step51(text); }
inline Step51 Pins(std::vector<Level51> levels) { return {Do51::SetPins, std::move(levels)}; }
// The parts' levels one after the other.
Step51 Pins(std::initializer_list<std::vector<Level51>> parts);
inline Step51 OptionPins(std::vector<Level51> levels) { return {Do51::PinOptions, std::move(levels)}; }
inline Step51 At(int address) { return {Do51::Address, address}; }
inline Step51 Data(int byte) { return {Do51::PutData, byte}; }
// The lists one after the other.
Steps51 Join(std::initializer_list<Steps51> lists);
}  // namespace steps51

// An 8051 form whose sequences are steps.
class Steps51Form : public Mcs51Form {
public:
    using Mcs51Form::Mcs51Form;

    // The roles the steps of that name run.
    virtual void PowerUp51() {}
    virtual int PreCheck51() { return 1; }
    virtual int CheckDeviceId() { return 1; }

    // The steps in order; false when one ended the run.
    bool Run(const Steps51& steps);

protected:
    // A step kind of the form's own (Do51::Own with the kind in N); false ends the run.
    virtual bool OwnStep(int kind);
    // The level of a VccLevel step without one.
    int VccMv51 = 5000;

private:
    bool Step(const Step51& s);
};

}  // namespace quilla
