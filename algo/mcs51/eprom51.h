// The 8051 EPROM and one-time-programmable forms: a train of PROG pulses per
// byte, VPP on EA/VPP while programming, A14 on P3.4 and A15 on P3.5, no erase.
// One flow, `Eprom51Form`, runs Read, Blank, Verify, Write, the signature, Lock
// and the batch; a profile per form (`Eprom51Profile`) says how each differs: the window,
// the setup's levels, and each operation's entry as a list of steps (`Step51`:
// contact test, pre-check, signature check, power-up, mode pins, VPP, ...).
//   TPhi875x     "PHI8758"   87C51-87C58, 87C51FA-FC, RA+-RD+, 97C51-97C58
//                            (5 or 25 pulses per byte), the 6-clock cell (clk=6)
//   TPhi87c591x  "PHI87591"  87C591, read 64 bytes per reply, the security read
//   TV87c58x     "V87C58"    V87C54/58, 64-byte reads after a priming read
//   TDs87c520x   "DS87C520"  DS87C520, the watchdog option byte, one lock mode
//
// Socket pins (DIP40): RST 9, P3.1 11, P3.3 13, P3.4 (A14) 14, P3.5 (A15) 15,
// P3.6 16, P3.7 17, XTAL2 18, XTAL1 19 (clock), GND 20, P2.0-P2.5 (A8-A13)
// 21-26, P2.6 27, P2.7 28, PSEN 29, ALE/PROG 30, EA/VPP 31, VCC 40.
#pragma once

#include <vector>

#include "algo/mcs51/steps51.h"

namespace quilla {

class Eprom51Form;

enum class LockBits51 : std::uint8_t {
    Boxes,    // the LockMode boxes: no ext code (Philips ID, ticked), no read, no write
    NoWrite,  // the no-write bit only
    Radio,    // the LockMode radio's item (1 no write, 2 no read, 3 no ext code)
};

struct Eprom51Profile {
    // ---- window ----
    const char* Caption = nullptr;
    // After the status rows: the buttons, the batch, the LockMode boxes
    // (CheckBox5-7, whose CheckBox7 setup enables on the 5-pulse rows), the CFG
    // group, the radio.
    ControlRows Window{};
    Handlers<Eprom51Form> Own{};    // the handlers of the profile's own buttons
    Handlers<Eprom51Form> Batch{};  // the batch boxes' steps, in run order
    bool SixClock = false;          // the radio and CheckBox8 only on a clk=6 line

    // ---- setup ----
    std::vector<Mcs51Row> Parts{};  // the device table (Family: PROG pulses per byte, 25 or 5)
    bool VccFromLine = false;     // vcc= (4.5-5.5 V), else 5 V
    bool SizeCaption = false;     // "51 MPU 0 to %x"
    bool P51Designs = false;      // the "p51" designs; Edit7 := the type text
    Steps51 Levels{};               // once connected

    // ---- routines ----
    Steps51 PowerUp{}, PreCheck{};
    // The signature check: "Locked already. OK?????" when the first byte reads
    // 0xFF, else "Wrong type, OK ??"; ErrorFlag untouched.
    IdCheck51 Check{.ClearsErrorFlag = false,
                    .LockedFirst = false,
                    .LockedQuestion = "Locked already. OK?????",
                    .WrongNoSetsError = false};
    bool Reads64 = false;  // 64 strobed bytes per reply; the supplies off sent at once
    // The signature bytes' reply offsets, shown "%02x,%02x,%02x" (-1: 0, not shown).
    int IdAt[3] = {0x30, 0x31, 0x60};
    bool IdWatchdog = false;        // "ID= ..,  Watchdog=%02x" (the byte at 0xFC)
    Steps51 LockBefore{}, LockAfter{};  // a lock bit: these around the bit's levels

    // ---- the operations: each runs its steps, then the shared rest (the reads of
    // 256-byte blocks or 64-byte replies, the page loop, the signature bytes, the bits) ----
    Steps51 Read{}, Blank{}, Verify{}, Write{}, Id{}, Lock{};
    bool BlankOffAgain = false;  // the supplies off again after Blank
    Steps51 VerifyFault{};       // a Verify fault's off (none: the supplies off)
    LockBits51 LockKind = LockBits51::Boxes;
    const char* LockDone = "OK";
    bool BatchDip = false;       // the batch's next-chip wait on the DIP40 arguments
};

extern const Eprom51Profile kPhi875xProfile, kPhi87c591xProfile, kV87c58xProfile, kDs87c520xProfile;

class Eprom51Form : public Steps51Form {
public:
    Eprom51Form(Workbench& wb, const Eprom51Profile& row);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void IDClick() override;
    void SecrityClick() override;
    void Button1Click() override;
    void SixClockClick();      // PHI8758 "Wr.CFG": the 6-clock cell
    void ReadClockClick();     // PHI8758 "Rd.CFG"
    void ReadSecurityClick();  // PHI87591 "Lock Bit"
    void WatchdogClick();      // DS87C520 "Wr.CFG": the watchdog byte

    void PowerUp51() override { Run(k_.PowerUp); }
    int PreCheck51() override { return Run(k_.PreCheck); }
    // The byte on the data bus, then the profile's PROG pulses (Family: 25 or 5).
    void ProgramByte51(std::uint8_t b) override;
    // 256-byte blocks, or 64 strobed bytes per reply (Reads64).
    int ReadUnitSize51() const override { return k_.Reads64 ? kGroup51 : kBlock; }
    void ReadUnit51(std::uint8_t* dest) override;
    // One lock bit (its mode-pin levels); false when the current check failed.
    bool LockBitPulse51(const std::vector<Level51>& bit);
    int CheckDeviceId() override;
    // The security byte from the two reply bytes: bits 0-5 are bits 5-0 of b1,
    // bit 6 is bit 7 of b0, bit 7 is bit 6 of b0.
    static std::uint8_t SecurityValue(std::uint8_t b0, std::uint8_t b1);

private:
    // The 64-byte forms' blank check: "No!!!" at a fault, "OK" at the end.
    static constexpr CheckPass51 kBlank64Pass{.FaultStatus = "No!!!", .SuccessText = "OK", .OffBeforeSuccess = true};
    // VPP and VCC off, sent at once on the 64-byte forms.
    void OffEnd();
    bool LockBits();
    const Eprom51Profile& k_;
};

// The forms: one profile each.
struct TPhi875x : Eprom51Form { explicit TPhi875x(Workbench& wb) : Eprom51Form(wb, kPhi875xProfile) {} };
struct TPhi87c591x : Eprom51Form { explicit TPhi87c591x(Workbench& wb) : Eprom51Form(wb, kPhi87c591xProfile) {} };
struct TV87c58x : Eprom51Form { explicit TV87c58x(Workbench& wb) : Eprom51Form(wb, kV87c58xProfile) {} };
struct TDs87c520x : Eprom51Form { explicit TDs87c520x(Workbench& wb) : Eprom51Form(wb, kDs87c520xProfile) {} };

}  // namespace quilla
