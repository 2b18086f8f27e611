// The mode-pin flash flow: the 8051 flash parts whose every cycle is chosen by a
// few mode pins (P2.6, P2.7, P3.x), read in 256-byte blocks and written byte by
// byte or in pages. Each form is a row (`Flash51Row`): its window, its table,
// and each operation as a pin script (`ModeStep51`: levels, mode settings, supplies,
// waits, the checks that stop it) that the one flow below runs.
//
// The Philips P89C51 forms are rows here: the mode pins P2.6, P3.7, P3.1, P3.0
// (sockets 27, 17, 11, 10) with P2.7 and P3.3; A14 on 14, A15 on 15; 256-byte
// pages written whole.
//   TPhi89c5x        "PHI89C51"  P89C51Uxx-58Uxx, RA+-RD+ (12 V): lock bits,
//                                status byte and boot vector, init
//   TPhi89new        "PHI89NEW"  P89C51BP-58BP, X2 (4.5 V): lock bits and the
//                                X2 clock cell by Wr.CFG
//   TPhi89c51rx2     "PHI89RX2"  P89C51RA2-RD2 marked "Hxx" (4.5 V)
//   TPhi89c51rx2xx1  "P89C51RX2XX" P89C51RA2-RD2 marked "xx" (4.5 V): cells told
//                                apart by A12-A14, P3.3 pulsed with each program
//                                pulse, VPP routed by the power-up
// rd2.* (unlocked 128-byte pages) and ds89.* run on the same flow.
#pragma once

#include <string_view>

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// One step of a pin script.
struct ModeStep51 {
    enum Kind : std::uint8_t {
        Level,       // Pin A to level B
        Mode,        // the form's mode pins to Text ("0110": one digit per pin, in order)
        Port,        // port mode A
        Option,      // pin option A := B
        Clock,       // the clock on pin A
        Gnd,         // ground on GndPinNo
        Vcc,         // VCC on VccPinNo (A = 1) or off (A = 0)
        Vpp,         // VPP routed to VppPinNo
        Off,         // VPP then VCC off
        AllLow,      // every pin low
        VppMv,       // VPP level A mV
        VccMv,       // VCC level A mV
        Wait,        // opcode A, B times
        Flush,
        Current,     // the over-current check: a fault stops the script
        Contact,     // the contact test: a refusal stops the script
        Say,         // the status line := Text
        Address,     // the address A + B x the box index
        Data,        // data byte A (OpPutData51)
        DataArg,     // data byte: argument A
        Program,     // ProgramByte51(A)
        ProgramArg,  // ProgramByte51(argument A)
        Progress,    // the bar at A of 0..B
        PowerUp,     // the form's power-up
        PreCheck,    // the form's pre-check
        PairCheck,   // the clock pins' pair check (XTAL1, XTAL2)
        FileWindow,  // the buffer window asked for: none stops the script
        CheckId,     // the signature check before programming: "No" stops the script
        ReadBlock,   // one block read into the reply buffer
    };
    Kind K;
    int A = 0, B = 0;
    const char* Text = nullptr;
    constexpr ModeStep51(Kind k, int a = 0, int b = 0, const char* t = nullptr) : K(k), A(a), B(b), Text(t) {}
    constexpr ModeStep51(Level51 l) : K(Level), A(l.Pin), B(l.High) {}  // a level is a step
};
using ModeSteps51 = std::vector<ModeStep51>;

// The steps by name, for the rows' scripts.
namespace f51 {
constexpr ModeStep51 Mode(const char* bits) { return {ModeStep51::Mode, 0, 0, bits}; }
constexpr ModeStep51 Port(int mode) { return {ModeStep51::Port, mode}; }
constexpr ModeStep51 Option(int pin, int on) { return {ModeStep51::Option, pin, on}; }
constexpr ModeStep51 Clock(int pin) { return {ModeStep51::Clock, pin}; }
constexpr ModeStep51 VppMv(int mv) { return {ModeStep51::VppMv, mv}; }
constexpr ModeStep51 VccMv(int mv) { return {ModeStep51::VccMv, mv}; }
constexpr ModeStep51 Wait(std::uint8_t op, int count = 1) { return {ModeStep51::Wait, op, count}; }
constexpr ModeStep51 Say(const char* text) { return {ModeStep51::Say, 0, 0, text}; }
constexpr ModeStep51 At(std::int32_t a, int perBox = 0) { return {ModeStep51::Address, a, perBox}; }
constexpr ModeStep51 Data(std::uint8_t v) { return {ModeStep51::Data, v}; }
constexpr ModeStep51 DataArg(int i) { return {ModeStep51::DataArg, i}; }
constexpr ModeStep51 Program(std::uint8_t v) { return {ModeStep51::Program, v}; }
constexpr ModeStep51 ProgramArg(int i) { return {ModeStep51::ProgramArg, i}; }
constexpr ModeStep51 Progress(int at, int max) { return {ModeStep51::Progress, at, max}; }
inline constexpr ModeStep51 Gnd{ModeStep51::Gnd}, Vcc{ModeStep51::Vcc, 1}, VccOff{ModeStep51::Vcc, 0}, Vpp{ModeStep51::Vpp},
    Off{ModeStep51::Off}, AllLow{ModeStep51::AllLow}, Flush{ModeStep51::Flush}, Current{ModeStep51::Current},
    Contact{ModeStep51::Contact}, Up{ModeStep51::PowerUp}, Pre{ModeStep51::PreCheck}, PairCheck{ModeStep51::PairCheck},
    FileWindow{ModeStep51::FileWindow}, CheckId{ModeStep51::CheckId}, ReadBlock{ModeStep51::ReadBlock};
// The pre-check of the 4.5 V parts: powered, VCC again, XTAL1 (19) released
// and XTAL2 (18) driven, the pair check.
inline const ModeSteps51 PairPreCheck = {Up, Vcc, Option(19, 0), Option(18, 1), PairCheck};
}  // namespace f51

// One control of a window, in order; a button takes the flow's handler of its name.
struct Control51 {
    ControlKind Kind;
    const char* Name;
    const char* Caption;  // an edit's label
    const char* Group = "";
    bool On = true;            // a box ticked; an edit read-only
    const char* Text = "";     // an edit's text
    const char* OnClick = "";  // a box's handler
    bool Visible = true;
    std::vector<std::string> Items = {};  // a radio group's items
    int Index = 0;                        // and the one chosen
};
using Window51 = std::vector<Control51>;

namespace f51 {
inline Control51 Btn(const char* name, const char* caption, const char* group = "") {
    return {ControlKind::Button, name, caption, group};
}
inline Control51 Group(const char* name, const char* caption) { return {ControlKind::Group, name, caption}; }
inline Control51 Box(const char* name, const char* caption, bool on, const char* group, const char* onClick = "") {
    return {ControlKind::Check, name, caption, group, on, "", onClick};
}
inline Control51 Edit(const char* name, const char* label, const char* text, const char* group, bool readOnly = false) {
    return {ControlKind::Edit, name, label, group, readOnly, text};
}
// The group "Batch   " (unless `group` is false) with its boxes (name, caption;
// ticked) and the run button.
Window51 Batch(std::initializer_list<std::pair<const char*, const char*>> boxes, bool group = true);
template <class T>
std::vector<T> Join(std::initializer_list<std::vector<T>> parts) {
    std::vector<T> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
}  // namespace f51

// A read of signature or configuration cells: the script, one block read (or
// one per address of `At`, its byte `Offsets[i]` each), the bytes taken at
// `Offsets`, the closing script, then `Text` of them (after `Done`, when given).
struct CellRead51 {
    ModeSteps51 Setting = {};
    std::vector<std::int32_t> At = {};
    std::vector<int> Offsets = {0, 1, 2};
    ModeSteps51 After = {f51::Off};
    const char* Text = "";
    bool SetsId = false;       // the first three bytes are the signature read
    const char* Done = nullptr;
};

// A form's row.
struct Flash51Row {
    const char* Caption = nullptr;
    std::vector<int> HighPins = {};  // A8.. on these socket pins
    std::vector<int> ModePins = {};  // the pins of a Mode step, in the order set
    std::vector<Mcs51Row> Parts = {};
    const Package51* Dip = &Dip40Package;
    const Package51* Plcc = &Plcc44Package;

    // ---- window and setup ----
    const char* AddressText = "Add ";
    Window51 Window = {};
    std::vector<std::pair<const char*, const char*>> Batch = {};  // box, handler: the batch in run order
    bool ClearStatus = false;       // Msg and Edit6 emptied after the declaration
    bool ResetPins = true;          // the setup resets the pins first
    bool ShowAgain = false;         // the form shown again after the range
    int ConfigFromVariant = 0;      // Wr.CFG and its batch box from this variant on (0: always)
    bool ClockBoxByFamily = false;  // CheckBox4 only on the Family 1 rows
    ModeSteps51 Setup = {};             // once connected

    // ---- routines ----
    ModeSteps51 PowerUp = {}, PreCheck = {};
    ModeSteps51 Pulse = {};  // the program pulse after the data byte

    // ---- operations: each script stops at a failed check ----
    ModeSteps51 Read = {}, Blank = {}, Verify = {};
    bool VerifyFaultVccOnly = false;  // a mismatch switches VCC off only
    ModeSteps51 Write = {}, WriteEnd = {f51::Off};
    ModeSteps51 Erase = {}, Init = {};
    const char* EraseDone = "OK";
    ModeSteps51 Lock = {}, LockBox = {}, LockClock = {}, LockEnd = {f51::Off};  // LockBox per ticked lock box 1..3
    ModeSteps51 Config = {}, ConfigClock = {};  // the arguments: Status and Boot Ver
    CellRead51 Id = {}, ConfigRead = {};
};

// The flow: every handler from the row.
class Flash51Form : public Mcs51Form {
public:
    Flash51Form(Workbench& wb, const Flash51Row& row);
    void SetupForDevice() override;
    void FillVariantTable() override { Table = Flow.Parts; }
    void OnClose() override { Ep3.PowerOff(); }

    // The handlers, bound to the buttons by name (Handler): "Read1", "Erase",
    // "Blank", "Verify", "Write", "Secrity", "Config", "Init", "Button2" (Rd.CFG),
    // "ID", "Button1" (the batch), "CancelBtn".
    void ReadRom();
    void EraseClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void SecrityClick();
    void ConfigClick();
    void InitClick();
    void ConfigReadClick();
    void IDClick();
    void Button1Click();

    void PowerUp51() { RunSteps51(Flow.PowerUp); }
    void PreCheck51() { RunSteps51(Flow.PreCheck); }
    // The data byte, then the row's pulse.
    void ProgramByte51(std::uint8_t v);
    // The three-byte check after the form's ID read; a Family 2 part also
    // passes with its third byte 0xF8 or 0xFE.
    int CheckDeviceId();

    // Runs a script (the arguments of DataArg and ProgramArg, the box index of
    // Address); false when a check stopped it.
    bool RunSteps51(const ModeSteps51& steps, std::array<std::uint8_t, 2> args = {}, int box = 0);

protected:
    const Flash51Row& Flow;
    // The window from the row, then the table (by the form's constructor, its
    // handlers in place).
    void Declare();
    virtual std::function<void()> Handler(std::string_view name);
    // Write's pages (after the script): whole 256-byte pages, ProgramByte51 per byte.
    virtual void WritePages(const Mcs51Row& r);
    // The address of an Address step (a form may add pins of its own).
    virtual void Address51(std::int32_t a) { SetAddress51(a); }
    // A script then its end, and the success text.
    void RunOp(const ModeSteps51& steps, const ModeSteps51& end, const char* done, std::array<std::uint8_t, 2> args = {});
    void ReadCells(const CellRead51& c);
    // The hexadecimal byte of a Status or Boot Ver edit; refuses (message naming
    // the field, step failed) when the text has no leading hexadecimal digit.
    bool HexEdit(const char* edit, const char* label, std::uint8_t& out);
};

class TPhi89c5x : public Flash51Form { public: explicit TPhi89c5x(Workbench& wb); };
class TPhi89new : public Flash51Form { public: explicit TPhi89new(Workbench& wb); };
class TPhi89c51rx2 : public Flash51Form { public: explicit TPhi89c51rx2(Workbench& wb); };
class TPhi89c51rx2xx1 : public Flash51Form { public: explicit TPhi89c51rx2xx1(Workbench& wb); };

}  // namespace quilla
