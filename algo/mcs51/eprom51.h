// The 8051 EPROM and one-time-programmable forms: a train of PROG pulses per
// byte, VPP on EA/VPP while programming, A14 on P3.4 and A15 on P3.5, no erase.
// `Eprom51Form` holds their shared routines (the read strobe, the 64-byte read,
// the 256-byte program block, the blank and verify tests, the two-byte signature
// check with "Locked already. OK?????", the contact tests with the package's or
// the DIP40 arguments); the forms:
//   TPhi875x     "PHI8758"   87C51-87C58, 87C51FA-FC, RA+-RD+, 97C51-97C58
//                            (5 or 25 pulses per byte), the 6-clock cell (clk=6)
//   TPhi87c591x  "PHI87591"  87C591, read byte by byte, the security read
//   TV87c58x     "V87C58"    V87C54/58, read byte by byte after a priming read
//   TDs87c520x   "DS87C520"  DS87C520, the watchdog option byte, one lock mode
//
// Socket pins (DIP40): RST 9, P3.1 11, P3.3 13, P3.4 (A14) 14, P3.5 (A15) 15,
// P3.6 16, P3.7 17, XTAL2 18, XTAL1 19 (clock), GND 20, P2.0-P2.5 (A8-A13)
// 21-26, P2.6 27, P2.7 28, PSEN 29, ALE/PROG 30, EA/VPP 31, VCC 40.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class Eprom51Form : public Mcs51Form {
public:
    Eprom51Form(Workbench& wb, std::string caption);

    // Contact test with the package's arguments, and with the DIP40 ones.
    bool Contact();
    bool Contact40();
    // L 28, sample P0 into the reply (0x22), H 28.
    void ReadStrobe51();
    // VPP then VCC off.
    void Off() { SuppliesOff(); }
    // Reads 64 bytes from `a` (strobe and step each) into dest.
    void Read64(std::int32_t a, std::uint8_t* dest);
    // n PROG pulses (L 30, wait 25, H 30) after putting b on the data bus.
    void PulseByte(std::uint8_t b, int pulses);
    // The block loop with this step: ShowProgress(a), then `block(a)`.
    bool ForEachStep(const Mcs51Row& r, int step, const std::function<bool(std::int32_t)>& block);
    // The 256-byte program blocks: the whole block, even past EndAddr.
    void ProgramBlocks(const Mcs51Row& r, const std::function<void(std::uint8_t)>& programByte);
    // VPP and VCC off, sent at once (the forms that read 64 bytes per reply).
    void OffFlushed() {
        Off();
        Flush();
    }
    // Their blank check: "No!!!" at a fault, "OK" at the end.
    static constexpr CheckPass51 kBlank64Pass{false, "No!!!", "OK", true};
    // The two-byte signature check ("Locked already. OK?????" when the first
    // byte reads 0xFF, else "Wrong type, OK ??"; ErrorFlag untouched).
    int CheckDeviceId2(const std::function<void()>& readSignature);

protected:
    // The batch with the next-chip wait on the given contact arguments.
    void Batch(const std::vector<BatchStep>& steps, bool dip40Contact);
};

// Rows of the PHI8758 form: Family holds the PROG pulses per byte (5 or 25).
class TPhi875x : public Eprom51Form {
public:
    explicit TPhi875x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void IDClick();
    void SecrityClick();
    void ConfigClick();
    void Button3Click();
    void Button1Click();

    void PowerUp51();
    int PreCheck51();
    void ProgramByte51(std::uint8_t b);
    // One lock bit with 25 pulses; false when the current check failed.
    bool LockBitPulse51(bool p27, bool p28, bool p16, bool p17);
    int CheckDeviceId();

private:
    void ReadPins();
};

class TPhi87c591x : public Eprom51Form {
public:
    explicit TPhi87c591x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void IDClick();
    void SecrityClick();
    void ReadIDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    void PowerUp51();
    int PreCheck51();
    void ProgramByte51(std::uint8_t b) { PulseByte(b, 5); }
    void LockBitPulse51(bool p27, bool p28, bool p16, bool p17);
    int CheckDeviceId();
    // The security byte from the two reply bytes: bits 0-5 are bits 5-0 of b1,
    // bit 6 is bit 7 of b0, bit 7 is bit 6 of b0.
    static std::uint8_t SecurityValue(std::uint8_t b0, std::uint8_t b1);

private:
    void ReadSetting();
};

class TV87c58x : public Eprom51Form {
public:
    explicit TV87c58x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void IDClick();
    void SecrityClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    void PowerUp51();
    int PreCheck51();
    void ProgramByte51(std::uint8_t b) { PulseByte(b, 5); }
    bool LockBitPulse51(bool p27, bool p28, bool p16, bool p17);
    int CheckDeviceId();

private:
    void PrimingRead();
};

class TDs87c520x : public Eprom51Form {
public:
    explicit TDs87c520x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void IDClick();
    void Button2Click() { IDClick(); }
    void SecrityClick();
    void ConfigClick();
    void Button1Click();

    void PowerUp51();
    int PreCheck51() { return 1; }
    void SetModePins51(bool p27, bool p28, bool p16, bool p17);
    void ProgramByte51(std::uint8_t b) { PulseByte(b, 5); }
    void LongProgramByte51(std::uint8_t b) { PulseByte(b, 25); }
    void LockBitPulse51(int mode);
    int CheckDeviceId();
};

}  // namespace quilla
