// The 20-pin 8051 forms (keywords P2051, P97C2051): AT89C1051/2051/4051 and the
// one-time-programmable 97C1051/2051. The chip sits in the 20-pin area (chip
// pin n on socket n + 10): RST/VPP 11, P3.0 12, XTAL1 15, P3.2 (the program
// strobe) 16, P3.3 17, P3.4 18, P3.5 19, GND 20, P3.7 21, P1 (the data) 22-29,
// VCC 30. It has no address pins: every operation starts the chip's address
// counter at 0 (RST rising after power-up) and steps it through the whole chip,
// one byte at a time, whatever EndAddr says; reads capture 64 bytes per reply
// (0x25 in port mode 9), writes put the byte with 0x26.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TP2051x : public Mcs51Form {
public:
    explicit TP2051x(Workbench& wb);

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

    // Contact test, the chip powered with its counter at 0; 0 when refused.
    virtual int PowerUp51();
    // One lock bit with its own power-up; false when refused or over-current.
    bool LockBitPulse51(int bit);

protected:
    // One step of the chip's address counter (a pulse on XTAL1).
    virtual void Step();

private:
    // 64-byte groups over the whole chip: `check` gets each group.
    bool Groups(const Mcs51Row& r, bool intoImage, const std::function<bool(std::int32_t, const std::uint8_t*)>& check);
};

class TP97c205x : public Mcs51Form {
public:
    explicit TP97c205x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void SecrityClick();
    void IDClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    void PowerUp51();
    void NextAddress51();
    void ProgramByte51(std::uint8_t b);
    // One lock bit; false when its read-back found a byte other than 0xFF.
    void LockBitPulse51(int bit);
    int CheckDeviceId();

private:
    bool Groups(const Mcs51Row& r, bool intoImage, const std::function<bool(std::int32_t, const std::uint8_t*)>& check);
    // The contact test on the 20-pin area whatever the options say.
    bool Seated();

    std::uint8_t steps_ = 0;
    std::uint8_t latch_[4] = {0, 0xFF, 0xFF, 0xFF};
    int readPortMode_ = 9;
};

}  // namespace quilla
