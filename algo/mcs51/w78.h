// Winbond's 8051 flash parts in their parallel mode: the "W7851" form (W78E51
// to W78E516, their B versions and W77E54/58: the program pulse on P3.6, 12.5 V
// on EA, 14 V for the erase, 64-byte reads byte by byte) and the "W78E516" form
// (W78E516B and the W78LE parts: 5 V programming with the pulse on P3.4, a
// 4 KiB LDROM after the APROM, 256-byte block reads). Both assemble the CFG
// byte at 0xFFFF from their boxes.
//
// Socket pins (DIP40): RST 9, P3.0-P3.3 10-13, P3.4 14, P3.5 15, P3.6 16, P3.7
// 17, XTAL2 18, XTAL1 19, GND 20, A8-A15 on P2 (21-28), PSEN 29, ALE 30, EA 31,
// VCC 40; A0-A7 through latch 0; both run every contact test with test pin 20
// and the DIP40 masks.
#pragma once

#include <optional>

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// The CFG byte from the boxes: Lock (bit 0), MOVC (bit 1), encryption (bit 2)
// ticked clear their bit, an unticked oscillator box clears bit 7; a disabled
// box takes no part.
std::uint8_t W78CfgByte(const AlgoForm& f);

class TPW785x : public Mcs51Form {
public:
    explicit TPW785x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void IDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    void PowerUp51();
    int PreCheck51();
    void ReadStrobe51();
    std::uint8_t ProgramByte51(std::uint8_t value);
    // Writes one CFG or seed byte at `address` (set again after the power-up,
    // which drives every socket pin high).
    void LockBitPulse51(std::int32_t address, std::uint8_t value);
    int CheckDeviceId();

private:
    // The 64-byte blocks from 0 while a < last address and a <= EndAddr;
    // `block(a, bytes)` false stops (false returned).
    bool ForEach64(const Mcs51Row& r, const std::function<bool(std::int32_t, const std::uint8_t*)>& block);
    void CheckBlocks64(const Mcs51Row& r, const CheckPass51& pass);
};

class TW78e516x : public Mcs51Form {
public:
    explicit TW78e516x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void IDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    void PowerUp51();
    int PreCheck51() { return 1; }
    void SetModePins51(bool p30, bool p31, bool p32, bool p33);
    std::uint8_t ProgramByte51(std::uint8_t value);
    int CheckDeviceId();

private:
    void ReadSetting();
    // 256-byte blocks with P3.6 raised at the LDROM's first address.
    bool ForEachLdBlock(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block);
    void CheckLdBlocks(const Mcs51Row& r, const CheckPass51& pass);
};

}  // namespace quilla
