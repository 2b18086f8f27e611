// The PIC12F6xx and PIC16F630 forms (keywords PIC12F and PIC16F630): 14-bit
// flash parts with data EEPROM whose last program word holds the factory
// oscillator calibration. Entered with VPP before VCC; Write, Blank and Verify
// leave the last word alone, Erase reads it first and programs it back after
// every erase path. Sizes, wait, captions, package and supply from the device
// line (fla=, ee=, dly=, cfg=, pkg=, vcc=: below 2500 mV, 5000).
//
//   TP12fxxx    packages 40, 28, 18, 14 and 8; "Fast写" (CheckBox17) halves
//               the programming wait
//   TP16f630x   packages 40, 28, 18 and 14 (its placement picture first);
//               "Slow  " in Speed doubles the wait
#pragma once

#include "algo/pic/p16f87xa.h"

namespace quilla {

class TP12fxxx : public PicKeyedForm {
public:
    explicit TP12fxxx(Workbench& wb);
    void EraseClick() override;

    // The calibration word Erase read last (tests).
    std::uint16_t KeptWord = 0x3FFF;

protected:
    TP12fxxx(Workbench& wb, std::string caption, const PicVariant& variant, Keys keys, bool speedCombo);
    void FillVariantTable() override;
    // Power-up (no current check) and the counter stepped to the last word.
    void ToLastWord(const PicRow& r);
};

class TP16f630x : public TP12fxxx {
public:
    explicit TP16f630x(Workbench& wb);
};

}  // namespace quilla
