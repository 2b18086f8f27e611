// Atmel's 12 V parallel-programmed 8051 parts: one flow for Write, Verify,
// Blank, Erase, Lock, Read and the signature, and one row per form that says
// how its parts differ (levels, the program and lock pulses, the lock-bit
// patterns, the signature, the texts, the window).
//
//   P89C51     TAt89c5x    AT89C51/LV51/C52/LV52/C55, AT80F51/F52, AT87F51/F52 (OTP);
//                          DIP40 or PLCC44 ("*P44"); A14 on P3.0 (socket 10)
//   P89C5WD    TAt89c5xwd  AT89C55WD-class: one row sized by the line (fla=, otp=);
//                          erase and lock with VCC at 6.5 V from the VPP path on
//                          socket 40, judged by reading the lock bits back
//   AT89S5X    TAt89s5x1   AT89S51/S52(/S53) at VCC 4.5 V; an erase that switches
//                          VCC off and on mid-way
//   AT89X8252  TAt89x8252x AT89LS8252/LS53/S53: 12 V on EA while reading too, the
//                          lock bits as one data byte, A8-A13 only; contact tests
//                          always with the DIP40 arguments
//
// Socket pins (DIP40 numbering, also sent for the PLCC44 adapter): RST 9, P3.0
// 10, P3.3 13, P3.4 14, P3.6 16, P3.7 17, XTAL2 18, XTAL1 19 (the programmer's
// clock), P2.0-P2.5 (A8-A13) 21-26, P2.6 27, P2.7 28, PSEN 29, ALE/PROG 30,
// EA/VPP 31, VCC 40; A0-A7 through latch 0, the data with 0x21, reads in
// 256-byte blocks (0x20).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// One lock-bit pulse on ALE/PROG: the waits before, during and after the low
// level, as opcodes and counts (0: no wait before).
struct Pulse51 {
    std::uint8_t Lead = 0, Width = 0;
    int WidthCount = 1;
    std::uint8_t Tail = 0;
    int TailCount = 1;
};

enum class PreCheck51 : std::uint8_t {
    None,          // no pre-check
    AfterPowerUp,  // power-up, clock stopped, RST pulsed, the clock pins' pair check
    Direct,        // ground and VCC routed, RST pulsed, the pair check (its failure ignored)
    DirectFlush,   // the same with a flush before the check, whose failure stops
};
enum class BlankGuard51 : std::uint8_t {
    None,      // the pre-check only
    IdLocked,  // the signature read; FF FF asks "Device may be locaked..."
    LockBits,  // the lock bits read back; any set refuses
};
enum class Erase51 : std::uint8_t {
    Single,     // one pulse at 12 V
    VccBounce,  // the pulse, VCC off and on, a second pulse (progress 1..10)
    TwoAt65V,   // two pulses with VCC at 6.5 V, then the lock bits read back
};
enum class LockEnd51 : std::uint8_t {
    Done,       // "end", VCC left routed
    ReadBack,   // the lock bits read back: none set fails
    Mode1Note,  // mode 1 programs nothing lasting and says so
};

// A form's row: the parts it serves and how its protocol differs.
struct Atmel12vRow {
    const char* Caption;
    std::vector<int> HighPins;  // A8.. on these socket pins
    std::vector<Mcs51Row> Parts;
    bool SizedByLine = false;  // one row from fla=/otp= (DIP40 only)
    int OptionPin = 14;        // the pin given the write option (P3.4 or P3.0)
    // P3.3 among the mode pins of Read, Blank, Verify and Write; the signature
    // read at 0x000, 0x100, 0x200 with the five selectors low (else at 0x30..0x32).
    bool DrivesP33 = false;
    // 12 V on EA while reading (Read, Blank, Verify, the signature), set again once powered.
    bool UnderVpp = false;
    // Every handler tests contact first with the DIP40 arguments; the power-up does not.
    bool DipContact = false;

    // ---- window: Erase disabled until setup, the speed radio (none: fixed
    // speed), the LockMode item ticked, the VeriyVolt combo, "Read lock" for "Exit " ----
    bool EraseOffAtStart = true;
    const char* SpeedRadio = nullptr;
    int LockDefault = 1;
    bool VerifyVolt = false, ReadLockButton = false;

    // ---- levels and the power-up ----
    int VccMv = 5000, SetupVppMv = 12000;
    bool SetupSettles = false;    // a 28 wait after the setup's levels
    bool PowerUpOption = false;   // reset mode and the option pin before ground
    bool PowerUpVccCycle = false; // VCC off and its pin low instead of ground
    int PowerUpVppMv = -1;        // VCC and VPP levels set first (-1: not set)
    bool PowerUpSettles = false;  // a 28 wait before VCC
    bool PowerUpResetMode = false;
    bool LateReadMode = false;    // read mode after the control pins
    PreCheck51 Pre = PreCheck51::AfterPowerUp;

    // ---- Read, Blank, Verify ----
    bool ReadModeCmd = false;      // read mode sent before the levels
    bool ReadPreCheck = false, VerifyPreCheck = false;
    bool ReadChecksCurrent = true;  // Blank and Verify check the current after the read mode
    bool BlankPowersFirst = false;  // pre-check and power-up before the signature
    BlankGuard51 Blank = BlankGuard51::IdLocked;
    bool VerifyRestoresVcc = false;  // VCC level set back after the pass
    const char *ReadStatus = "Read.", *ReadDone = "OK", *VerifyStatus = "Verify.";

    // ---- signature ----
    bool IdShowsDetect = true;  // "Detect MFG and ID ....." first
    const char* IdText = "Detected MFG and ID = %02x,%02x,%02x.";

    // ---- write (the program pulse: ByteWait x (speed + 1) x ByteWaitsPerStep) ----
    bool WritePreCheck = true, WriteChecksId = true;
    bool RaisesVpp = false;  // 12 V set for Write (a 27 wait) and Lock (and VCC's level)
    bool WriteOptionAfterPins = false, WriteSetsAddress = true;
    bool WriteFlushBeforeVpp = true, WriteEaLow = false, WriteFlushAfterVpp = false;
    int WriteEndVppMv = -1;  // VPP level set at the end (-1: none)
    std::uint8_t ByteWait = 0;
    int ByteWaitsPerStep = 2;

    // ---- erase ----
    Erase51 Erase = Erase51::Single;
    const char* EraseStatus = "Erasing";
    bool EraseLongPulse = true;  // a 28 wait before the check, 27+28 low, a flush

    // ---- lock (the pre-check also before a single-pulse erase) ----
    bool LockPreCheck = true;
    bool LockXtal = true;  // the clock options after reset mode
    // The current check before the pulses, a flush before and after each.
    bool LockGuarded = false;
    bool LockByData = false;      // the lock bits as a data byte
    std::uint8_t LockSettle = 0;  // a wait before VPP (0: none)
    Pulse51 LockPulse;
    bool LockEaOff = false;  // VPP released from EA only
    LockEnd51 LockEnd = LockEnd51::Done;
    const char *LockMode1Text = nullptr, *LockDoneText = "end";
    bool LockFlagBeforeText = false;  // Mode1Note: ErrorFlag := 0 before the success text

    // ---- batch: one pass, refused first when Write is ticked without a file ----
    bool BatchOnePass = false;
};

extern const Atmel12vRow kAt89c5xRow, kAt89c5xwdRow, kAt89s5xRow, kAt89x8252Row;

class Atmel12vForm : public Mcs51Form {
public:
    Atmel12vForm(Workbench& wb, const Atmel12vRow& row);

    void SetupForDevice() override;
    void FillVariantTable() override { Table = k_.Parts; }
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the handlers -------------------------------------------------------------
    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void IDClick() { ReadSignature(); }
    void Button1Click();
    void Button2Click();  // "Read lock"

    // ---- the routines ---------------------------------------------------------------
    // The chip powered in programming mode with VPP off; 0 when the contact test refused.
    int PowerUp51();
    int PreCheck51();
    std::uint8_t ProgramByte51(std::uint8_t value);
    // One lock-bit pulse (selector levels, or the data byte of a LockByData row);
    // false when the over-current check failed (the supplies are off then).
    bool LockBitPulse51(std::array<bool, 3> levels, std::uint8_t data);
    // The signature into LastReadId; false when the power-up refused.
    bool ReadSignature();
    // The lock bits (block byte 0 AND 0x1C); -1 when the contact test refused.
    int ReadLockBits51();
    int CheckDeviceId() { return CheckDeviceIdWith(IdCheck51{}, [this] { IDClick(); }); }
    // Verify's VCC level from the VeriyVolt text.
    int VerifyMillivolts() const;

private:
    // The DIP40 contact test of a DipContact row, then the pre-check when `pre`.
    bool Enter(bool pre);
    bool Pre();
    bool LineSized();
    void ClockOptions();  // XTAL2 and XTAL1 given their option
    void ProgPulse();     // PROG low, then high
    // RST high, PSEN low, PROG high, EA high (with `controls`), then the selector
    // P2.6, P2.7, P3.3 (with `p33`), P3.6, P3.7 at `levels`.
    void SetMode(std::array<bool, 5> levels, bool controls, bool p33);
    void ReadMode();
    // The lock bits read back set (`set`) or clear; else ErrorFlag := 1 and `fault`
    // shown. False also when the contact test refused.
    bool LockBitsAre(bool set, const char* fault);
    bool BlankGuardOk();
    bool EraseSingle();
    bool EraseVccBounce();
    bool EraseTwoAt65V();
    void LockEnd(int item);
    const Atmel12vRow& k_;
};

// A form of the flow on its row.
template <const Atmel12vRow& R>
class Atmel12vOf : public Atmel12vForm {
public:
    explicit Atmel12vOf(Workbench& wb) : Atmel12vForm(wb, R) {}
};
using TAt89c5x = Atmel12vOf<kAt89c5xRow>;
using TAt89c5xwd = Atmel12vOf<kAt89c5xwdRow>;
using TAt89s5x1 = Atmel12vOf<kAt89s5xRow>;
class TAt89x8252x : public Atmel12vOf<kAt89x8252Row> {
public:
    using Atmel12vOf::Atmel12vOf;
    // The text Read ends with: the code-page-936 bytes D2 D1 B6 C1 BD F8 C6 FF BC
    // FE BB BA B3 E5 C7 F8; the pair C6 FF is no character and shows as a
    // question mark.
    static constexpr const char* ReadDoneText = "已读进?件缓冲区";
};

}  // namespace quilla
