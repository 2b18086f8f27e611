// The mode-pin flash flow: the 8051 flash parts whose every cycle is chosen by a
// few mode pins (P2.6, P2.7, P3.x), read in 256-byte blocks and written byte by
// byte or in pages. Each form is a profile (`Flash51Profile`): its window, its table,
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

#include "algo/mcs51/steps51.h"

namespace quilla {

class Flash51Form;

// The pre-check of the 4.5 V parts: powered, VCC again, XTAL1 (19) released
// and XTAL2 (18) driven, the pair check (which sends nothing).
inline const Steps51 kPairPreCheck51 = {Do51::PowerUp, Do51::VccOn, steps51::Option(19, 0), steps51::Option(18, 1),
                                        Do51::PairCheck};

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

// A form's profile.
struct Flash51Profile {
    const char* Caption = nullptr;
    std::vector<int> HighPins = {};  // A8.. on these socket pins
    std::vector<int> ModePins = {};  // the pins of a Mode step, in the order set
    std::vector<Mcs51Row> Parts = {};
    const Package51* Dip = &Dip40Package;
    const Package51* Plcc = &Plcc44Package;

    // ---- window and setup ----
    // The whole window; a button or box runs the flow's handler of its name
    // (Flash51Form's handler table), when there is one.
    ControlRows Window = {};
    Handlers<Flash51Form> Batch = {};  // the batch boxes' steps, in run order
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

// The flow: every handler from the profile.
class Flash51Form : public Flow51Form {
public:
    Flash51Form(Workbench& wb, const Flash51Profile& row);
    void SetupForDevice() override;
    void FillVariantTable() override { Table = Flow.Parts; }
    void OnClose() override { Ep3.PowerOff(); }

    // The handlers, bound to the controls by name: the standard ones ("Read1",
    // "Erase", "Blank", "Verify", "Write", "Secrity", "ID", "Button1" the
    // batch, "CancelBtn"), "Config", "Init" and "Button2" (Rd.CFG).
    void ReadRom() override;
    void EraseClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void SecrityClick() override;
    virtual void ConfigClick();
    void InitClick();
    void ConfigReadClick();
    void IDClick() override;
    void Button1Click() override;

    void PowerUp51() override { Run(Flow.PowerUp); }
    int PreCheck51() override { return Run(Flow.PreCheck); }
    // The three-byte check after the form's ID read; a Family 2 part also
    // passes with its third byte 0xF8 or 0xFE.
    int CheckDeviceId() override;

protected:
    const Flash51Profile& Flow;
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
