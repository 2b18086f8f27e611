// The 8051 forms' sequences as data: an operation's entry, the power-up, the
// erase, lock and CFG sequences are lists of steps (`Steps51`) that a form on
// `Steps51Form` runs in order (`Run`). A step that fails (a refused contact
// test, an over-current, no buffer window, ...) ends the run. The roles
// (PowerUp, PreCheck, IdCheck) run the form's routines; `Own` runs a step kind
// of the form's own (`OwnStep`); `Repeat` runs a named sub-list N times.
// The flash flows (p89.h, sm8951.h) run on `Flow51Form`, which adds the kinds
// of mode digits, run arguments, per-box addresses, bus writes and program bytes.
#pragma once

#include <array>
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
    // The clock pins' pair check (XTAL1, XTAL2) where a sequence has it: the
    // programmer has no pin-pair command, so nothing is sent and it always passes.
    PairCheck,
    NeedFile, NeedFileFirst,     // a buffer window: Write's text, "Must open a file first...."
    ShowStatus,                  // the status text
    ReadMode, ResetMode,         // the port mode
    Latch3,                      // latch 3 := N
    PinOptions, SetPins,         // per level: the pin's option, the pin's level
    Clock,                       // the clock on pin N (0: off)
    AllPins,                     // every pin at level N
    Address, NextAddress,        // StepAddress51(N + M x the run's box), NextAddress51
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
    // The flash flows' kinds (Flow51Form; a plain Steps51Form passes over them):
    ModeDigits,                  // the form's mode pins := Text, one digit per pin in the form's order
    PortMode, WaitOp, Latch0,    // port mode N; opcode N, M times; latch 0 := N
    PutArg, Program, ProgramArg,  // data byte: argument N; ProgramByte51(N); ProgramByte51(argument N)
    BusCycle,                    // BusWrite(N, M)
    ProgressAt, ShowLast,        // the bar at N of 0..M; the row's last address shown
    RepeatLine,                  // the sub-list LineRepeats51() times (none when 0)
};

struct Step51;
using Steps51 = std::vector<Step51>;

struct Step51 {
    Do51 Do;
    int N = 0;
    std::vector<Level51> Pins{};    // PinOptions, SetPins
    const char* Text = nullptr;     // ShowStatus
    const Steps51* Sub = nullptr;   // Repeat
    int M = 0;                      // a second number (Address, WaitOp, BusCycle, ProgressAt)
    Step51(Do51 d, int n = 0) : Do(d), N(n) {}
    Step51(Level51 l) : Do(Do51::SetPins), Pins{l} {}  // a level is a step
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
inline Step51 Data(int byte) { return {Do51::PutData, byte}; }
// The lists one after the other.
Steps51 Join(std::initializer_list<Steps51> lists);
// The steps of two numbers or a text.
inline Step51 Two(Do51 d, int n, int m) {
    Step51 s(d, n);
    s.M = m;
    return s;
}
// The address `a` (the form's address path, StepAddress51); in a run of the
// flash flows with a box (Flow51Form::Run), `a` + `perBox` x the box.
inline Step51 At(std::int32_t a, int perBox = 0) { return Two(Do51::Address, a, perBox); }
inline Step51 Mode(const char* digits) {
    Step51 s(Do51::ModeDigits);
    s.Text = digits;
    return s;
}
inline Step51 Option(int pin, int on) { return OptionPins({{pin, on != 0}}); }
inline Step51 Wait(std::uint8_t op, int count = 1) { return Two(Do51::WaitOp, op, count); }
inline Step51 Bus(std::int32_t a, std::uint8_t d) { return Two(Do51::BusCycle, a, d); }
inline Step51 Progress(int at, int max) { return Two(Do51::ProgressAt, at, max); }
inline Step51 ByLine(const Steps51& sub) {
    Step51 s(sub);
    s.Do = Do51::RepeatLine;
    return s;
}
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
    // The address an address step sets: SetAddress51 (the RB2/RC2 form holds
    // pin 15 high after it).
    virtual void StepAddress51(std::int32_t a) { SetAddress51(a); }
    // The box of the run, by which a per-box address step moves (Flow51Form::Run).
    int RunBox51 = 0;
    // The level of a VccLevel step without one.
    int VccMv51 = 5000;
    // The kinds from ModeDigits on (Flow51Form); false ends the run.
    virtual bool FlowStep(const Step51&) { return true; }

private:
    bool Step(const Step51& s);
};

// The base of the flash flows (p89.h, sm8951.h): the profile's mode pins and
// program pulse, the arguments and box of a run, the Read and Write ends.
class Flow51Form : public Steps51Form {
public:
    using Args51 = std::array<std::uint8_t, 2>;
    using Steps51Form::Run;
    // A run with the arguments of PutArg and ProgramArg and the box of a
    // per-box address step.
    bool Run(const Steps51& steps, Args51 args, int box = 0);
    // The data byte, then the profile's pulse.
    void ProgramByte51(std::uint8_t v) override;
    // One bus write cycle: the address (StepAddress51), then the byte programmed.
    virtual void BusWrite(std::int32_t a, std::uint8_t d);

protected:
    // `modePins` and `pulse` live as long as the form (the profile's).
    Flow51Form(Workbench& wb, std::string caption, std::vector<int> highPins, const std::vector<int>& modePins,
               const Steps51& pulse);
    // A RepeatLine's count.
    virtual int LineRepeats51() const { return 0; }
    bool FlowStep(const Step51& s) override;

    // Read once started: the image read (ReadImage51), the last address shown,
    // `end`, "OK", the buffer shown.
    void ReadRest51(const Mcs51Row& r, const Steps51& end);
    // Write once started: WriteAll, the last address shown, `end`, "OK".
    void WriteRest51(const Mcs51Row& r, const Steps51& end);
    // Write's loop: whole 256-byte pages (PageLoop51); a form whose chip takes
    // its bytes otherwise (pages of 128, a command per byte) has its own.
    virtual void WriteAll(const Mcs51Row& r) { PageLoop51(r); }

private:
    const std::vector<int>& modePins_;
    const Steps51& pulse_;
    Args51 args_{};
};

}  // namespace quilla
