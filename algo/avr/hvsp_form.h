// The AVR high-voltage serial programming layer and its forms: TAtiny1x
// (ATtiny11/12/15) and TAt90s2323Hix (AT90S2323/2343 at 12 V). Every
// instruction is one frame: the instruction byte (SII) in latch 0, the data
// byte (SDI) in latch 1, control line 5 rising sends it, and opcode 2
// captures the byte the chip shifted out during the last frame. Control line
// 4 low holds the chip's Prog_enable pins low for the entry (VCC, then 12 V
// on RESET).
//
//   frames (SDI, SII)            chip erase  (80,4C) (0,64) (0,6C)
//   write flash word  (10,4C) (wH,1C) (wL,0C) (lo,2C) (0,64) (0,6C) wait
//                     (hi,3C) (0,74) (0,7C) wait
//   read flash word   (02,4C) (wH,1C) (wL,0C) (0,68) (0,6C) capture (0,78) (0,7C) capture
//   EEPROM            (11,4C) (a,0C) (d,2C) (0,64) (0,6C) / (03,4C) (a,0C) (0,68) (0,6C) capture
//   fuse, lock        (40,4C) / (20,4C) (byte,2C) (0,64) (0,6C); read fuse (04,4C) (0,68) (0,6C)
//   signature         (08,4C) (i,0C) (0,68) (0,6C); calibration (08,4C) (0,0C) (0,78) (0,7C)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "algo/avr/serial_frame.h"

namespace quilla {

class AvrHvspForm : public AvrSerialForm {
public:
    AvrHvspForm(Workbench& wb, std::string caption);
    void SetupForDevice() override;

    // ---- the layer ------------------------------------------------------------------------
    void HvspInstruction(std::uint8_t sdi, std::uint8_t sii);
    int EnterProgramming() override;
    void HvspReadByte();
    void ReadFlashWord(std::int32_t a) override;
    void WriteFlashWord(std::int32_t a, std::uint16_t word) override;
    void ReadEepromByte(std::int32_t a) override;
    void WriteEepromByte(std::int32_t a, std::uint8_t d) override;
    void ReadSignatureByte(int i) override;

    // ---- handlers ---------------------------------------------------------------------------
    void ReadFuseClick() override;
    void WtFuseClick() override;
    void SecrityClick() override;

    // The byte W.Fuse writes.
    virtual std::uint8_t FuseByte() const = 0;

protected:
    void QueueChipErase() override;
    // Family rule 12 for Blank and Verify: the row's VCC and GND pins must touch
    // a chip even with the contact test switched off.
    bool ReadyForCheck() override;
    // The eight captions of a fuse group.
    virtual std::array<const char*, 8> FuseCaptions(int group) const = 0;
    // Where the calibration address edit starts (none without calibration).
    virtual void SetupExtras(const AvrRow&) {}
};

class TAtiny1x : public AvrHvspForm {
public:
    explicit TAtiny1x(Workbench& wb);
    void RdCalibrateClick() override;
    void Button1Click() override;
    std::uint8_t FuseByte() const override;

protected:
    void FillRows() override;
    std::array<const char*, 8> FuseCaptions(int group) const override;
    void SetupExtras(const AvrRow& r) override;
};

class TAt90s2323Hix : public AvrHvspForm {
public:
    explicit TAt90s2323Hix(Workbench& wb);
    void Button1Click() override;
    std::uint8_t FuseByte() const override;

protected:
    void FillRows() override;
    std::array<const char*, 8> FuseCaptions(int group) const override;
};

}  // namespace quilla
