// PIC16 flash microcontrollers with data EEPROM whose sizes, write delay,
// configuration captions, package and supply come from the device line
// (keyword PIC16FEE): fla= program words, ee= EEPROM bytes, dly= waits of
// 1 ms per word, cfg= caption set, pkg= package (44 PLCC, 45 QFP, 40, 28, 18
// DIP; 8: no contact test), vcc= millivolts (5000 when absent). Read, Blank,
// Write, Verify, Erase, configuration word and user ID, data EEPROM, batch.
#pragma once

#include "algo/pic/pic_form.h"

namespace quilla {

class TP16fEEx : public PicForm {
public:
    explicit TP16fEEx(Workbench& wb);

    void SetupForDevice() override;
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;
    void OnClose() override;

    void ReadToFileClick();
    void BlankClick();
    void WriteClick();
    void VerifyClick();
    void EraseClick();
    void RdConfigClick();
    void WtConfigClick();
    void RdDataClick();
    void WrDataClick();
    void Button1Click();

    std::vector<PicRow> Table;
    int Package = 0;     // pkg= of the last setup (8: no contact test, no next-chip wait)
    int SetupVcc = 5000; // vcc= of the last setup

protected:
    virtual void FillVariantTable();
    const PicRow& Row();
    // Contact test (unless pkg=8) and the device ID check; false stops.
    bool CheckDeviceId();
    int Waits() const;

    // The erase routines; false after an over-current stop.
    bool EraseProgram(const PicRow& r);
    bool EraseData(const PicRow& r);
    bool EraseAll(const PicRow& r);
    void ChipErase(const PicRow& r);

private:
    PicRow row_;          // the chosen row as setup patched it
    bool ready_ = false;  // setup accepted the device line
};

}  // namespace quilla
