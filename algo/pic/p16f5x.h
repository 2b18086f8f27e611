// The PIC16F5x flash form (keyword PIC16F5X): 12-bit program words, no data
// EEPROM; program size (fla=), package (pkg= 29: the 28-pin 16C5x pinout, 18)
// and supply (vcc=) from the device line. Program-memory commands in the
// F-form (F2h, F4h, F6h, F8h, FEh), bulk erase 09h; 16 words per reply; the
// configuration word is where programming mode starts, one increment before
// word 0; ground stays routed from setup on and VCC stays on after Write.
#pragma once

#include "algo/pic/pic_form.h"

namespace quilla {

class TP16f5x : public PicForm {
public:
    explicit TP16f5x(Workbench& wb);

    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;
    void SetupForDevice() override;
    void OnClose() override;
    void ConfigToControls() override {}
    void ControlsToConfig() override {}

    void BlankClick();
    void WriteClick();
    void VerifyClick();
    void ReadToFileClick();
    void EraseClick();
    void RdConfigClick();
    void WtConfigClick();
    void Button1Click();

    std::vector<PicRow> Table;  // rows 0-19; setup writes row 0 and the chosen row

private:
    const PicRow& Row();
    // The check before each operation: the contact test with the row's masks
    // and a power-up with its current check. These parts have no device ID and
    // no load configuration, so nothing is read from 2000h.
    bool CheckDeviceId();
    bool PowerUp();
    void ProgramWord(std::uint16_t w);
    void Off() { Pic.Leave(); }

    PicRow row_;
    bool ready_ = false;
};

}  // namespace quilla
