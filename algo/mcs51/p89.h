// Philips P89C51-family flash forms: the settings are four mode pins (P2.6,
// P3.7, P3.0, P3.1 on sockets 27, 17, 10, 11, set by `SetModePins51`) with P2.7
// and P3.3; A14 on 14, A15 on 15; 256-byte pages written whole.
//   TPhi89c5x        "PHI89C51"  P89C51Uxx-58Uxx, RA+-RD+ (12 V): lock bits,
//                                status byte and boot vector, init
//   TPhi89new        "PHI89NEW"  P89C51BP-58BP, X2 (4.5 V): lock bits and the
//                                X2 clock cell by Wr.CFG
//   TPhi89c51rx2     "PHI89RX2"  P89C51RA2-RD2 marked "Hxx" (4.5 V)
//   TPhi89c51rx2xx1  "P89C51RX2XX" P89C51RA2-RD2 marked "xx" (4.5 V)
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class P89Form : public Mcs51Form {
public:
    P89Form(Workbench& wb, std::string caption);
    void OnClose() override { Ep3.PowerOff(); }

    // P2.6, P3.7, then P3.1 and P3.0 (the order the forms queue them).
    void SetModePins51(bool p26, bool p37, bool p30, bool p31);
    // P2.7 high, P3.3 and ALE/PROG low for five waits 28, then high again.
    void EraseStep51();
    // The three-byte check; `bpRow4` accepts a P89C58BP whose third byte is 0xF8 or 0xFE.
    int CheckDeviceId3(const std::function<void()>& readSignature, bool bpRow4 = false);
    bool Contact();
    void Off() { SuppliesOff(); }
    // The hexadecimal byte of a Status or Boot Ver edit; refuses (message naming
    // the field, step failed) when the text has no leading hexadecimal digit.
    bool HexEdit(const char* edit, const char* label, std::uint8_t& out);
};

class TPhi89c5x : public P89Form {
public:
    explicit TPhi89c5x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;

    void ReadRom();
    void EraseClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void SecrityClick();
    void ConfigClick();
    void InitClick();
    void Button2Click();
    void IDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    void PowerUp51();
    std::uint8_t ProgramByte51(std::uint8_t v);
    void LockBitPulse51();
};

class TPhi89new : public P89Form {
public:
    explicit TPhi89new(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;

    void ReadRom();
    void EraseClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void SecrityClick();
    void IDClick();
    void Button1Click();

    void PowerUp51();
    int PreCheck51();
    std::uint8_t ProgramByte51(std::uint8_t v);
};

// The two P89C51RX2 forms: one class, the marking chosen by `xx1` (the
// "P89C51RX2XX" form: cells told apart by A12-A14, P3.3 pulsed with each program
// pulse, VPP routed by the power-up).
class TPhi89c51rx2 : public P89Form {
public:
    explicit TPhi89c51rx2(Workbench& wb, bool xx1 = false);
    void SetupForDevice() override;
    void FillVariantTable() override;

    void ReadRom();
    void EraseClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void SecrityClick();
    void ConfigClick();
    void Button2Click();
    void IDClick();
    void Button1Click();

    void PowerUp51();
    int PreCheck51();
    std::uint8_t ProgramByte51(std::uint8_t v);

private:
    bool xx1_;
};

class TPhi89c51rx2xx1 : public TPhi89c51rx2 {
public:
    explicit TPhi89c51rx2xx1(Workbench& wb) : TPhi89c51rx2(wb, true) {}
};

}  // namespace quilla
