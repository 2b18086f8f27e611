// The mode-pin flash flow: the 8051 flash parts whose every cycle is chosen by a
// few mode pins (P2.6, P2.7, P3.x), read in 256-byte blocks and written byte by
// byte or in pages. Each form is a row (`Flash51Row`): its window, its table,
// and each operation as a list of steps (steps51.h) that the one flow below runs.
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

#include "algo/mcs51/steps51.h"

namespace quilla {

// A row's window: the controls in order; a button or box runs the flow's
// handler of its name (Flash51Form::Handler), when there is one.
using Window51 = ControlRows;

namespace f51 {
// The pre-check of the 4.5 V parts: powered, VCC again, XTAL1 (19) released
// and XTAL2 (18) driven, the pair check.
inline const Steps51 PairPreCheck = {Do51::PowerUp, Do51::VccOn, steps51::Option(19, 0), steps51::Option(18, 1),
                                      Do51::PairCheck};
inline ControlRow Btn(const char* name, const char* caption, const char* group = "") {
    return {.Kind = ControlKind::Button, .Name = name, .Caption = caption, .Group = group};
}
inline ControlRow Group(const char* name, const char* caption) {
    return {.Kind = ControlKind::Group, .Name = name, .Caption = caption};
}
inline ControlRow Box(const char* name, const char* caption, bool ticked, const char* group) {
    return {.Kind = ControlKind::Check, .Name = name, .Caption = caption, .Group = group, .Ticked = ticked};
}
inline ControlRow Edit(const char* name, const char* label, const char* text, const char* group, bool readOnly = false) {
    return {.Kind = ControlKind::Edit, .Name = name, .Caption = label, .Group = group, .Text = text, .ReadOnly = readOnly};
}
// The group "Batch   " (unless `group` is false) with its boxes (name, caption;
// ticked) and the run button.
Window51 Batch(std::initializer_list<std::pair<const char*, const char*>> boxes, bool group = true);
// Lists one after another (window controls).
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
    Steps51 Setting = {};
    std::vector<std::int32_t> At = {};
    std::vector<int> Offsets = {0, 1, 2};
    Steps51 After = {Do51::Off};
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
    Steps51 Setup = {};             // once connected

    // ---- routines ----
    Steps51 PowerUp = {}, PreCheck = {};
    Steps51 Pulse = {};  // the program pulse after the data byte

    // ---- operations: each script stops at a failed check ----
    Steps51 Read = {}, Blank = {}, Verify = {};
    bool VerifyFaultVccOnly = false;  // a mismatch switches VCC off only
    Steps51 Write = {}, WriteEnd = {Do51::Off};
    Steps51 Erase = {}, Init = {};
    const char* EraseDone = "OK";
    Steps51 Lock = {}, LockBox = {}, LockClock = {}, LockEnd = {Do51::Off};  // LockBox per ticked lock box 1..3
    Steps51 Config = {}, ConfigClock = {};  // the arguments: Status and Boot Ver
    CellRead51 Id = {}, ConfigRead = {};
};

// The flow: every handler from the row.
class Flash51Form : public Flow51Form {
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

    void PowerUp51() override { Run(Flow.PowerUp); }
    int PreCheck51() override { return Run(Flow.PreCheck); }
    // The three-byte check after the form's ID read; a Family 2 part also
    // passes with its third byte 0xF8 or 0xFE.
    int CheckDeviceId() override;

protected:
    const Flash51Row& Flow;
    // The window from the row, then the table (by the form's constructor, its
    // handlers in place).
    void Declare();
    virtual std::function<void()> Handler(std::string_view name);
    // A script, then its success text when it passed.
    void RunOp(const Steps51& steps, const char* done, Args51 args = {}) {
        if (Run(steps, args)) Success(done);
    }
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
