// The SyncMOS and Megawin 8051 forms: 8051 flash parts programmed in parallel
// whose modes sit on port 3 (SM8951, SM89516, PSM2952 here; SM59064, SM59264 in
// sm59.*; MSU2958 in msu.*; MSU2964 in msu2964.*). One flow, `SyncMos51Form`,
// runs every operation from the form's row (`Sm51Row`): the window, the
// supplies, the power-up, the program pulse, the read and write settings, and
// erase and lock as pin sequences (`SeqStep51`).
//
// Socket pins (DIP40): 9 RST, 10-17 P3.0-P3.7, 18 XTAL2, 19 XTAL1 (the
// programmer's clock), 20 GND, 21-28 P2.0-P2.7 (A8-A15), 29 PSEN, 30 ALE/PROG,
// 31 EA/VPP, 40 VCC; A0-A7 through latch 0, the data with 0x21, reads in
// 256-byte blocks.
#pragma once

#include <array>

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// One step of a pin sequence.
struct SeqStep51 {
    enum Act : std::uint8_t {
        Pin, Wait,                  // socket pin A to level B; B waits of kind A
        Data, Latch0,               // A onto the data port (0x21); A into latch 0
        Mode, Address, IspAddress,  // the mode pins := mask A; the address path := A; the ISP size's address
        Port, Options0, Clock,      // port mode A; pins A..B without their option; the clock onto pin A (0: none)
        Vpp, Vcc, Gnd, VppLevel,    // VPP, VCC routed (A = 1) or off; ground routed; VPP := A mV
        Current, Off, Flush,        // the current check (an over-current ends the sequence); VPP, VCC off; a flush
        PowerUp, Bus,               // the form's power-up; one bus write cycle of address A, data B
        Repeat,                     // the next A steps B times (B < 0: the row's count for the line)
        Ticks,                      // A times: a 100 ms wait, a flush, "Erase: n"
        RadioWaits, RadioDelay,     // the radio's erase time in 100 ms waits; the Delay radio's pulse wait
        Progress,                   // the row's last address shown
    } Do;
    int A = 0, B = 0;
    constexpr SeqStep51(Level51 l) : Do(Pin), A(l.Pin), B(l.High ? 1 : 0) {}
    constexpr SeqStep51(Act act, int a = 0, int b = 0) : Do(act), A(a), B(b) {}
};
using SeqSteps51 = std::vector<SeqStep51>;

// The sequence notation of the rows.
namespace seq51 {
constexpr SeqStep51 W(std::uint8_t op, int n = 1) { return {SeqStep51::Wait, op, n}; }
constexpr SeqStep51 D(int b) { return {SeqStep51::Data, b}; }
constexpr SeqStep51 M(int mask) { return {SeqStep51::Mode, mask}; }
constexpr SeqStep51 A(int a) { return {SeqStep51::Address, a}; }
constexpr SeqStep51 Port(int mode) { return {SeqStep51::Port, mode}; }
constexpr SeqStep51 Bus(int a, int d) { return {SeqStep51::Bus, a, d}; }
constexpr SeqStep51 Repeat(int steps, int times) { return {SeqStep51::Repeat, steps, times}; }
constexpr SeqStep51 Vpp(int mv) { return {SeqStep51::VppLevel, mv}; }
inline constexpr SeqStep51 kVppOn{SeqStep51::Vpp, 1}, kVppOff{SeqStep51::Vpp, 0}, kVccOn{SeqStep51::Vcc, 1},
    kVccOff{SeqStep51::Vcc, 0}, kGnd{SeqStep51::Gnd}, kCurrent{SeqStep51::Current}, kOff{SeqStep51::Off},
    kFlush{SeqStep51::Flush}, kPowerUp{SeqStep51::PowerUp};
// A sequence followed by another.
inline SeqSteps51 operator+(SeqSteps51 a, const SeqSteps51& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace seq51

// What a SyncMOS or Megawin window is: its parts, controls, supplies, power-up,
// program pulse, settings and sequences.
struct Sm51Row {
    using Boxes = std::vector<std::pair<const char*, const char*>>;
    enum class TypeShown { Part, Line, Device };  // Edit7 after setup: the part's name, the line's text, the device
    // ---- the window ----
    const char* Caption;
    std::vector<Mcs51Row> Parts;
    const char* RadioCaption = nullptr;  // RadioGroup1 (none: no radio)
    std::vector<std::string> RadioItems = {};
    int RadioDefault = 0;
    bool Isp = false;  // the ISP size buttons, the ISP area left out of Blank and Verify
    Boxes Batch = {{"CheckBox1", "Erase "}, {"CheckBox2", "Blank?  "}, {"CheckBox3", "Write."},
                   {"CheckBox4", "Vrfy"},   {"CheckBox5", "Lock"}};
    bool LockInBatch = true;  // the Lock box ticked at start
    Boxes Labels = {};
    TypeShown Type = TypeShown::Part;
    // ---- supplies and the checks before an operation ----
    int VccMv = 5000, VppMv = 0;
    bool VppFirst = false;       // setup sets VPP before VCC
    bool EarlySupplies = false;  // ... before the package is loaded
    bool DipContact = false;     // the contact tests with the DIP40 arguments
    SeqSteps51 Powered = {seq51::kGnd, seq51::kVccOn};  // after the contact test
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
    int ModeFirst = 10, ModePins = 0;
    SeqSteps51 Pulse = {};
    // ---- Read, Blank and Verify ----
    SeqSteps51 ReadPins = {};                   // the read setting after the power-up
    // Read, Blank, Verify: the status before the power-up (0), after it (1), after the current check (2).
    std::array<int, 3> StatusAt = {0, 0, 0};
    bool BlankCurrentFirst = true;           // Blank checks the current before the read setting
    // After Read; at the end of Blank and Verify; at a fault of Verify (Blank's: both off).
    SeqSteps51 ReadEnd = {seq51::kVccOff}, CheckEnd = {seq51::kVccOff}, VerifyFault = {seq51::kVccOff};
    // ---- Write, Erase, Lock ----
    const char* WriteText = "Write";
    SeqSteps51 Write = {}, WriteEnd = {}, Erase = {};  // Write's setting and end; Erase after the power-up
    const char* ErasedText = "Erased..";
    std::vector<int> ErasePulses = {};         // Repeat's count by line
    std::array<int, 3> EraseWaits = {0, 0, 0};  // 100 ms waits by the radio
    SeqSteps51 Lock = {};  // after the power-up
    const char* LockedText = "Locked..";
};

class SyncMos51Form : public Mcs51Form {
public:
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the handlers -------------------------------------------------------------
    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }
    // The ISP size (sm59.cpp): erased, programmed, read back.
    void Button2Click();
    void Button3Click();
    void Button4Click();

    // ---- the routines ---------------------------------------------------------------
    int PreCheck51();
    void PowerUp51();
    void ProgramByte51(std::uint8_t b);
    void SetModePins51(unsigned mask);
    // Runs a sequence; false when its current check failed.
    bool Run51(const SeqSteps51& steps) { return Run51(steps.data(), steps.data() + steps.size()); }
    // Nothing for the SyncMOS parts; the MSU2964 clears its protection first.
    virtual void UnprotectStep51() {}
    // One bus write cycle: the address, then the byte programmed.
    virtual void BusWrite(std::int32_t a, std::uint8_t d);

protected:
    SyncMos51Form(Workbench& wb, const Sm51Row& row);

    // The address path of the sequences.
    virtual void Address51(std::int32_t a) { SetAddress51(a); }
    // Read's walk into the image; Blank's and Verify's check pass; Write's loop.
    virtual void ReadAll(const Mcs51Row& r) { ReadImage51(r); }
    virtual void CheckAll(const Mcs51Row& r, bool verify);
    virtual void WriteAll(const Mcs51Row& r);
    // The row checked, the contact test (`pre`), the status, the power-up and the
    // sequence; the text when it passed.
    void Sequence51(const char* status, const SeqSteps51& steps, const char* done, bool pre = true);

    const Sm51Row& k_;

private:
    bool Run51(const SeqStep51* first, const SeqStep51* last);
    bool Do51(const SeqStep51& s);
    // RadioGroup1's item, `otherwise` when none of the three is chosen.
    int Radio51(int otherwise) const;
    // The power-up and read setting of Read (0), Blank (1) and Verify (2).
    bool StartRead51(int op, const char* status);
    // The row checked by Blank and Verify: without the ISP area.
    Mcs51Row CheckedRow();
};

class TSm8951x : public SyncMos51Form {
public:
    explicit TSm8951x(Workbench& wb);
};
class TSm89516x : public SyncMos51Form {
public:
    explicit TSm89516x(Workbench& wb);
};
class TSm2952 : public SyncMos51Form {
public:
    explicit TSm2952(Workbench& wb);
};

}  // namespace quilla
