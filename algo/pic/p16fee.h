// PIC16 flash microcontrollers with data EEPROM whose sizes, write delay,
// configuration captions, package and supply come from the device line
// (keyword PIC16FEE): fla= program words, ee= EEPROM bytes, dly= waits of
// 1 ms per word, cfg= caption set, pkg= package (44 PLCC, 45 QFP, 40, 28, 18
// DIP; 8: no contact test), vcc= millivolts (5000 when absent). Read, Blank,
// Write, Verify, Erase, configuration word and user ID, data EEPROM, batch.
#pragma once

#include "algo/pic/pic_flash.h"

namespace quilla {

class TP16fEEx : public PicFlashForm {
public:
    explicit TP16fEEx(Workbench& wb);

    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    void OnClose() override;
    void EraseClick() override;
    void Button1Click();

    int Package = 0;  // pkg= of the last setup (8: no contact test, no next-chip wait)

protected:
    virtual void FillVariantTable();
    bool Check(PicStep op) override;
    int Waits() const override;
};

}  // namespace quilla
