// The SyncMOS and Megawin 8051 forms: 8051 flash parts programmed in parallel
// whose modes sit on port 3 (SM8951, SM89516, PSM2952 here; SM59064, SM59264 in
// sm59.*; MSU2958 in msu.*; MSU2964 in msu2964.*). One flow, `SyncMos51Form`,
// runs every operation from the form's profile (`Sm51Profile`): the window, the
// supplies, the power-up, the program pulse, the read and write settings, and
// erase and lock as lists of steps (steps51.h).
//
// Socket pins (DIP40): 9 RST, 10-17 P3.0-P3.7, 18 XTAL2, 19 XTAL1 (the
// programmer's clock), 20 GND, 21-28 P2.0-P2.7 (A8-A15), 29 PSEN, 30 ALE/PROG,
// 31 EA/VPP, 40 VCC; A0-A7 through latch 0, the data with 0x21, reads in
// 256-byte blocks.
#pragma once

#include <array>

#include "algo/mcs51/steps51.h"

namespace quilla {

// The flow's own steps (Do51::Own): the ISP size's address, the radio's erase
// time in 100 ms waits, the Delay radio's pulse wait; Ticks(n): n times a
// 100 ms wait, a flush, "Erase: i".
namespace sm51 {
enum : int { kIspAddress = 1, kRadioWaits, kRadioDelay, kTicks = 100 };
inline const Step51 IspAddress{Do51::Own, kIspAddress}, RadioWaits{Do51::Own, kRadioWaits},
    RadioDelay{Do51::Own, kRadioDelay};
inline Step51 Ticks(int n) { return {Do51::Own, kTicks + n}; }
}  // namespace sm51

// What a SyncMOS or Megawin window is: its parts, controls, supplies, power-up,
// program pulse, settings and sequences.
struct Sm51Profile {
    enum class TypeShown { Part, Line, Device };  // Edit7 after setup: the part's name, the line's text, the device
    // ---- the window ----
    const char* Caption;
    std::vector<Mcs51Row> Parts;
    // After the status rows and the buttons Erase .. Exit: the ISP buttons
    // (Button2-4), RadioGroup1 (the Delay or Erase time, or the ISP size), the
    // batch (the usual boxes; the ISP ones CheckBox6 and CheckBox7 first), labels.
    ControlRows Window = {};
    bool Isp = false;  // the ISP size buttons and boxes, the ISP area left out of Blank and Verify
    TypeShown Type = TypeShown::Part;
    // ---- supplies and the checks before an operation ----
    int VccMv = 5000, VppMv = 0;
    bool VppFirst = false;       // setup sets VPP before VCC
    bool EarlySupplies = false;  // ... before the package is loaded
    bool DipContact = false;     // the contact tests with the DIP40 arguments
    Steps51 Powered = {Do51::Ground, Do51::VccOn};  // after the contact test
    bool BatchChecksFirst = false;  // the batch: the contact test and the file check first
    // ---- the power-up ----
    bool SuppliesFirst = false;   // VPP 0 and VCC set first
    bool OptionOnVccPin = false;  // the option on the package's VCC pin (else socket 40)
    int HandClocks = 0;           // XTAL1 clocked by hand after VCC (0: the programmer's clock)
    bool XtalOption = false;      // XTAL1 given the option too
    int PowerUpPort = proto::PortMode51Read;
    std::vector<Level51> PowerUpPins = {};   // before VCC is routed
    bool AllLowAfterVcc = false;
    std::vector<Level51> AfterVccPins = {};  // once VCC is routed
    bool PowerUpSettles = false;             // a 27 wait at the end
    // ---- modes and the program pulse (after the data byte) ----
    std::vector<int> ModePins = {};  // the pins of a Mode step, in order
    Steps51 Pulse = {};
    // ---- Read, Blank and Verify ----
    Steps51 ReadPins = {};                   // the read setting after the power-up
    // Read, Blank, Verify: the status before the power-up (0), after it (1), after the current check (2).
    std::array<int, 3> StatusAt = {0, 0, 0};
    bool BlankCurrentFirst = true;           // Blank checks the current before the read setting
    // After Read; at the end of Blank and Verify; at a fault of Verify (Blank's: both off).
    Steps51 ReadEnd = {Do51::VccOff}, CheckEnd = {Do51::VccOff}, VerifyFault = {Do51::VccOff};
    // How Blank and Verify judge and what they show.
    CheckPass51 BlankPass = kBlankPass51, VerifyPass = kVerifyPass51;
    // ---- Write, Erase, Lock ----
    const char* WriteText = "Write";
    Steps51 Write = {}, WriteEnd = {};  // Write's setting and end
    // A part that takes a program command per byte: Write walks the whole row
    // (whatever EndAddr says), each byte `ByteCommand`, then the byte at its
    // full address (BusWrite), then `ByteAfter`, a flush per 256 bytes. Empty:
    // whole 256-byte pages (PageLoop51).
    Steps51 ByteCommand = {}, ByteAfter = {};
    Steps51 Erase = {};  // after the power-up
    const char* ErasedText = "Erased..";
    std::vector<int> ErasePulses = {};         // a RepeatLine's count by line
    std::array<int, 3> EraseWaits = {0, 0, 0};  // 100 ms waits by the radio
    Steps51 Lock = {};  // after the power-up
    const char* LockedText = "Locked..";
};

class SyncMos51Form : public Flow51Form {
public:
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the handlers -------------------------------------------------------------
    void ReadRom() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void SecrityClick() override;
    void Button1Click() override;
    // The ISP size (sm59.cpp): erased, programmed, read back.
    void Button2Click();
    void Button3Click();
    void Button4Click();

    // ---- the routines ---------------------------------------------------------------
    int PreCheck51() override;
    void PowerUp51() override;
    // Nothing for the SyncMOS parts; the MSU2964 clears its protection first.
    virtual void UnprotectStep51() {}

protected:
    SyncMos51Form(Workbench& wb, const Sm51Profile& row);

    // IspAddress, RadioWaits, RadioDelay, Ticks.
    bool OwnStep(int kind) override;
    int LineRepeats51() const override;
    // Write's loop: the profile's command per byte, else whole pages.
    void WriteAll(const Mcs51Row& r) override;
    // The row checked, the contact test (`pre`), the status, the power-up and the
    // script; the text when it passed.
    void Sequence51(const char* status, const Steps51& steps, const char* done, bool pre = true);

    const Sm51Profile& k_;

private:
    // RadioGroup1's item, `otherwise` when none of the three is chosen.
    int Radio51(int otherwise) const;
    // The power-up and read setting of Read (0), Blank (1) and Verify (2).
    bool StartRead51(int op, const char* status);
    // The row checked by Blank and Verify: without the ISP area.
    Mcs51Row CheckedRow();
    // Blank's and Verify's check pass (the row's passes and ends).
    void CheckAll(const Mcs51Row& r, bool verify);
};

class TSm8951x : public SyncMos51Form { public: explicit TSm8951x(Workbench& wb); };
class TSm89516x : public SyncMos51Form { public: explicit TSm89516x(Workbench& wb); };
class TSm2952 : public SyncMos51Form { public: explicit TSm2952(Workbench& wb); };

}  // namespace quilla
