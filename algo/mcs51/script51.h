// Pin scripts of the 8051 flash flows: an operation written as a list of steps
// (pin levels, mode settings, supplies, waits, the checks that stop it) that
// one runner sends. `Script51Form` holds the runner for the mode-pin flash flow
// (p89.h: P89C51, RD2, DS89C4x0) and the SyncMOS/Megawin flow (sm8951.h: SM89xx,
// SM59, MSU29xx); the steps are named in namespace s51.
#pragma once

#include <array>
#include <initializer_list>
#include <vector>

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// One step of a pin script.
struct Script51Step {
    enum Kind : std::uint8_t {
        Level,        // pin A to level B
        Mode,         // the form's mode pins to Text ("0110": one digit per pin, in the form's order)
        Port,         // port mode A
        Option,       // pin option A := B
        OptionsOff,   // pins A..B without their option
        Clock,        // the clock onto pin A (0: none)
        Gnd,          // ground on GndPinNo
        Vcc, Vpp,     // VCC (VPP) routed to VccPinNo (VppPinNo) when A = 1, off when A = 0
        VccMv, VppMv, // the VCC (VPP) level, A mV
        Off,          // VPP then VCC off
        AllLow,       // every pin low
        Wait,         // opcode A, B times
        Flush,
        Current,      // the over-current check: a fault stops the script
        Contact,      // the contact test: a refusal stops the script
        PairCheck,    // the clock pins' pair check (XTAL1 19, XTAL2 18)
        FileWindow,   // the buffer window asked for: none stops the script
        Say,          // the status line := Text
        Address,      // the address A + B x the box index
        Data,         // data byte A onto the data port (0x21)
        DataArg,      // data byte: argument A
        Latch0,       // A into latch 0
        Program,      // ProgramByte51(A)
        ProgramArg,   // ProgramByte51(argument A)
        Bus,          // BusWrite(A, B)
        ReadBlock,    // one block read into the reply buffer
        Progress,     // the bar at A of 0..B
        ShowLast,     // the row's last address shown
        PowerUp,      // the form's power-up
        PreCheck,     // the form's pre-check: a failure stops the script
        Repeat,       // the next A steps B times (B < 0: LineRepeats51)
        // The kinds the runner hands to the form (FormStep51):
        CheckId,      // the signature check before programming: "No" stops the script
        IspAddress,   // the address of the ISP size chosen
        Ticks,        // A times: a 100 ms wait, a flush, "Erase: n"
        RadioWaits,   // the radio's erase time in 100 ms waits
        RadioDelay,   // the Delay radio's pulse wait
    };
    Kind K;
    int A = 0, B = 0;
    const char* Text = nullptr;
    constexpr Script51Step(Kind k, int a = 0, int b = 0, const char* t = nullptr) : K(k), A(a), B(b), Text(t) {}
    constexpr Script51Step(Level51 l) : K(Level), A(l.Pin), B(l.High) {}  // a level is a step
};
using Script51 = std::vector<Script51Step>;

// The steps by name, for the rows' scripts.
namespace s51 {
using S = Script51Step;
constexpr S Mode(const char* pins) { return {S::Mode, 0, 0, pins}; }
constexpr S Port(int mode) { return {S::Port, mode}; }
constexpr S Option(int pin, int on) { return {S::Option, pin, on}; }
constexpr S OptionsOff(int first, int last) { return {S::OptionsOff, first, last}; }
constexpr S Clock(int pin) { return {S::Clock, pin}; }
constexpr S VccMv(int mv) { return {S::VccMv, mv}; }
constexpr S VppMv(int mv) { return {S::VppMv, mv}; }
constexpr S Wait(std::uint8_t op, int count = 1) { return {S::Wait, op, count}; }
constexpr S Say(const char* text) { return {S::Say, 0, 0, text}; }
constexpr S At(std::int32_t a, int perBox = 0) { return {S::Address, a, perBox}; }
constexpr S Data(std::uint8_t v) { return {S::Data, v}; }
constexpr S DataArg(int i) { return {S::DataArg, i}; }
constexpr S Latch0(std::uint8_t v) { return {S::Latch0, v}; }
constexpr S Program(std::uint8_t v) { return {S::Program, v}; }
constexpr S ProgramArg(int i) { return {S::ProgramArg, i}; }
constexpr S Bus(std::int32_t a, std::uint8_t d) { return {S::Bus, a, d}; }
constexpr S Progress(int at, int max) { return {S::Progress, at, max}; }
constexpr S Repeat(int steps, int times) { return {S::Repeat, steps, times}; }
constexpr S Ticks(int n) { return {S::Ticks, n}; }
inline constexpr S Gnd{S::Gnd}, Vcc{S::Vcc, 1}, VccOff{S::Vcc, 0}, Vpp{S::Vpp, 1}, VppOff{S::Vpp, 0}, Off{S::Off},
    AllLow{S::AllLow}, Flush{S::Flush}, Current{S::Current}, Contact{S::Contact}, PairCheck{S::PairCheck},
    FileWindow{S::FileWindow}, ReadBlock{S::ReadBlock}, ShowLast{S::ShowLast}, Up{S::PowerUp}, Pre{S::PreCheck},
    CheckId{S::CheckId}, IspAddress{S::IspAddress}, RadioWaits{S::RadioWaits}, RadioDelay{S::RadioDelay};

// Lists one after another (scripts, window controls).
template <class T>
std::vector<T> Join(std::initializer_list<std::vector<T>> parts) {
    std::vector<T> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Script51 Join(std::initializer_list<Script51> parts) { return Join<Script51Step>(parts); }
}  // namespace s51

// The runner between the frame and the flows: a form gives its mode pins and
// its program pulse, its power-up and pre-check, and the kinds of its own.
class Script51Form : public Mcs51Form {
public:
    using Args51 = std::array<std::uint8_t, 2>;
    // Runs a script (the arguments of DataArg and ProgramArg, the box index of
    // Address); false when a check stopped it.
    bool Run51(const Script51& steps, Args51 args = {}, int box = 0);

    virtual void PowerUp51() = 0;
    virtual bool PreCheck51() = 0;
    // The data byte, then the row's pulse.
    void ProgramByte51(std::uint8_t v);
    // One bus write cycle: the address, then the byte programmed.
    virtual void BusWrite(std::int32_t a, std::uint8_t d);

protected:
    // `modePins` and `pulse` live as long as the form (the row's).
    Script51Form(Workbench& wb, std::string caption, std::vector<int> highPins, const std::vector<int>& modePins,
                 const Script51& pulse);
    // The address of an Address step (a form may add pins of its own).
    virtual void Address51(std::int32_t a) { SetAddress51(a); }
    // A kind from CheckId on; false stops the script.
    virtual bool FormStep51(const Script51Step&) { return true; }
    // A Repeat's count when it asks for the line's.
    virtual int LineRepeats51() const { return 0; }

    // Read once started: the image read (ReadAll), the last address shown,
    // `end`, "OK", the buffer shown.
    void ReadRest51(const Mcs51Row& r, const Script51& end);
    // Write once started: WriteAll, the last address shown, `end`, "OK".
    void WriteRest51(const Mcs51Row& r, const Script51& end);
    // Read's walk into the image; Write's loop (whole 256-byte pages,
    // ProgramByte51 per byte).
    virtual void ReadAll(const Mcs51Row& r) { ReadImage51(r); }
    virtual void WriteAll(const Mcs51Row& r);

private:
    bool Run51(const Script51Step* first, const Script51Step* last, const Args51& args, int box);
    bool Step51(const Script51Step& s, const Args51& args, int box);
    const std::vector<int>& modePins_;
    const Script51& pulse_;
};

}  // namespace quilla
