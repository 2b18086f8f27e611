// Atmel's 12 V parallel-programmed 8051 parts: one flow for Write, Verify,
// Blank, Erase, Lock, Read and the signature, and one profile per form that holds
// each operation's sequence as steps (steps51.h) and what else differs (the
// window, the program pulse, the lock bits, the texts).
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

#include "algo/mcs51/steps51.h"

namespace quilla {

// A form's profile: the parts it serves and how its protocol differs.
struct Atmel12vProfile {
    const char* Caption;
    std::vector<int> HighPins;  // A8.. on these socket pins
    std::vector<Mcs51Row> Parts;
    bool SizedByLine = false;  // one row from fla=/otp= (DIP40 only)

    // ---- window: Erase disabled until setup, the speed radio (none: fixed
    // speed), the LockMode item ticked, the VeriyVolt combo, "Read lock" for "Exit " ----
    bool EraseOffAtStart = true;
    const char* SpeedRadio = nullptr;
    int LockDefault = 1;
    bool VerifyVolt = false, ReadLockButton = false;
    int VccMv = 5000;  // the VCC of a VccLevel step without its own

    // ---- the sequences: the setup's levels once connected; each operation's
    // entry up to its loop, Write's end, the whole erase; the signature read
    // (its bytes from IdAt in the reply) and the lock bits' read ----
    Steps51 Setup{}, Read{}, Blank{}, Verify{}, VerifyOff{}, Write{}, WriteEnd{}, Erase{}, Id{}, LockRead{};
    int IdAt = 0x30;
    const char* IdText = "Detected MFG and ID = %02x,%02x,%02x.";
    const char *ReadDone = "OK", *EraseDone = "End.";

    // ---- the program pulse: 25 low, then ByteWait x (speed + 1) x ByteWaitsPerStep ----
    std::uint8_t ByteWait = 0;
    int ByteWaitsPerStep = 2;

    // ---- lock: the entry, each bit's pulse after its levels (or its data byte),
    // the end before the text (LockEnd; a failed step ends Lock there) and after it
    // (LockOff); the text: mode 1's note (when given) or the success text, with
    // ErrorFlag := 0 before it or after it ----
    Steps51 Lock{}, LockPulse{}, LockEnd{}, LockOff{};
    bool LockByData = false;
    const char *LockMode1Text = nullptr, *LockDoneText = "end";
    bool LockClearsBefore = false, LockClearsAfter = false;

    // ---- batch: the next chip by the DIP40 contact test; one pass, refused
    // first when Write is ticked without a file ----
    bool BatchDip = false, BatchOnePass = false;
};

extern const Atmel12vProfile kAt89c5xProfile, kAt89c5xwdProfile, kAt89s5xProfile, kAt89x8252Profile;

class Atmel12vForm : public Steps51Form {
public:
    Atmel12vForm(Workbench& wb, const Atmel12vProfile& row);

    void SetupForDevice() override;
    void FillVariantTable() override { Table = k_.Parts; }
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the handlers -------------------------------------------------------------
    void ReadRom() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void SecrityClick() override;
    void IDClick() override { ReadSignature(); }
    void Button1Click() override;
    void Button2Click();  // "Read lock"

    // ---- the routines ---------------------------------------------------------------
    void ProgramByte51(std::uint8_t value) override;
    // One lock-bit pulse (selector levels, or the data byte of a LockByData profile);
    // false when the over-current check failed (the supplies are off then).
    bool LockBitPulse51(std::array<bool, 3> levels, std::uint8_t data);
    // The signature into LastReadId; false when the power-up refused.
    bool ReadSignature();
    // The lock bits (block byte 0 AND 0x1C); -1 when the contact test refused.
    int ReadLockBits51();
    int CheckDeviceId() override { return CheckDeviceIdWith(IdCheck51{}, [this] { IDClick(); }); }
    // Verify's VCC level from the VeriyVolt text.
    int VerifyMillivolts() const;

    // The form's own steps.
    enum OwnKind : int {
        kIdUnlocked, kBlankUnlocked, kEraseUnlocked, kLocked, kSignature, kVerifyVcc, kCurrentOrVccBack
    };

protected:
    bool OwnStep(int kind) override;

private:
    // The window of a profile: the buttons, the radios, the combo and the batch.
    static ControlRows Window(const Atmel12vProfile& k);
    bool LineSized();
    // The lock bits read back set (`set`) or clear; else ErrorFlag := 1 and `fault`
    // shown. False also when the contact test refused.
    bool LockBitsAre(bool set, const char* fault);
    const Atmel12vProfile& k_;
};

// A form of the flow on its profile.
template <const Atmel12vProfile& R>
class Atmel12vOf : public Atmel12vForm {
public:
    explicit Atmel12vOf(Workbench& wb) : Atmel12vForm(wb, R) {}
};
using TAt89c5x = Atmel12vOf<kAt89c5xProfile>;
using TAt89c5xwd = Atmel12vOf<kAt89c5xwdProfile>;
using TAt89s5x1 = Atmel12vOf<kAt89s5xProfile>;
class TAt89x8252x : public Atmel12vOf<kAt89x8252Profile> {
public:
    using Atmel12vOf::Atmel12vOf;
    // The text Read ends with: the code-page-936 bytes D2 D1 B6 C1 BD F8 C6 FF BC
    // FE BB BA B3 E5 C7 F8; the pair C6 FF is no character and shows as a
    // question mark.
    static constexpr const char* ReadDoneText = "已读进?件缓冲区";
};

}  // namespace quilla
