// The 18-pin PIC16C84 and PIC16F83/84/84A (keyword P16C84): 14-bit words,
// 64-byte data EEPROM, programmed with the plain command codes. Three
// configuration boxes (Lockbit, WTD, PWRT3) and the oscillator group, a
// speed choice of 10 or 20 ms per word, and an eight-character ".CON":
// Lockbit, WTD, PWRT3 as '1'/'0', '0' + the oscillator item, the first four
// characters of the user ID field.
#pragma once

#include "algo/pic/pic_flash.h"

namespace quilla {

class TP16c8x : public PicFlashForm {
public:
    explicit TP16c8x(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    void OnClose() override;
    void EraseClick() override;
    void Button1Click();

    void ConfigToControls() override;
    void ControlsToConfig() override;

    static constexpr std::uint32_t ContactLo = 0x1FFFF800;  // socket pins 12 to 29

protected:
    void FillVariantTable();
    bool Check(PicStep op) override;
    int Waits() const override;
    // Power-up with check, configuration read, supplies off, the ID compared.
    bool CheckDeviceId();
    bool Contact();
    // One erase routine: power-up without check, then the sequence (the "A"
    // rows: the protection-off erase of everything), VPP off, and VCC off
    // unless it is the data routine.
    void EraseRoutine(const PicRow& r, int which);
};

}  // namespace quilla
