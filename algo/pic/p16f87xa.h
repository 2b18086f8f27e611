// The key-driven PIC16 flash forms: sizes (fla= words, ee= EEPROM bytes), the
// programming wait (dly=), the caption set (cfg=), the package (pkg=) and the
// supply (vcc=) come from the device line; the built-in rows only give the
// pins and masks a line without a known package keeps.
//
//   TP16f87xa1  keyword PIC1687XA: PIC16F87XA, plain commands, VCC first,
//               word by word with begin programming only (18h) and end
//               programming (17h), chip erase (1Fh) after a program or a
//               configuration load, 32 words per reply
//   TP16fx      keyword PIC16F: PIC16F7X parts without data EEPROM, the
//               F-form commands, 16 words per reply, bulk erase with the
//               configuration, verify at a chosen VCC, the device ID checked at
//               the start of every batch pass
//   TP16f628a1  keyword P16F628A: PIC16F627A/628A/648A, VPP before VCC, the
//               blank configuration 31FFh under its mask, erases by 09h/0Bh
//   TP12fxxx, TP16f630x (p12f6xx.h) build on the same base.
#pragma once

#include <span>

#include "algo/pic/pic_flash.h"

namespace quilla {

class PicKeyedForm : public PicFlashForm {
public:
    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    void OnClose() override;
    virtual void Button1Click();

    int Package = 0;  // pkg= of the last setup

protected:
    struct Keys {
        const char* keyword;                 // for the refusal texts
        ConfigNameForm captions;
        std::span<const PicPackage> packages;
        bool packageLabel = false;           // a "Package" label shows the package
        bool eeprom = true;                  // ee= and the data controls
        int fixedVcc = 0;                    // setup VCC (0: vcc=, 5000 when absent or below `vccFloor`)
        int vccFloor = 1;
    };
    PicKeyedForm(Workbench& wb, std::string caption, const PicVariant& variant, PicFlashTraits traits, Keys keys);

    // The built-in rows of the PIC16F87x family (the sizes come from the line).
    virtual void FillVariantTable();
    bool Check(PicStep op) override;
    int Waits() const override;
    // The window's common part after the buttons and the boxes: the erase group
    // (when `eraseItems` is not empty, item `eraseItem` chosen), the batch
    // boxes (W.Data with a data EEPROM) and Run.
    ControlRows EraseAndBatch(std::vector<std::string> eraseItems, int eraseItem) const;
    // The handlers of these windows: the operation buttons, the configuration
    // boxes, the erase group, Run and Exit.
    template <class Form>
    static Handlers<Form> KeyedClicks() {
        Handlers<Form> h = OperationClicks<Form>();
        for (const Handler<Form>& c : picwin::ConfigBoxClicks<Form>()) h.push_back(c);
        h.insert(h.end(), {{"RadioGroup2", &Form::ConfigClick},
                           {picwin::kRun1.Name, &Form::Button1Click},
                           {picwin::kExit.Name, &Form::Close}});
        return h;
    }
    Keys keys_;
};

class TP16f87xa1 : public PicKeyedForm {
public:
    explicit TP16f87xa1(Workbench& wb);
    void EraseClick() override;
};

class TP16fx : public PicKeyedForm {
public:
    explicit TP16fx(Workbench& wb);
    void EraseClick() override;
    void Button1Click() override;

protected:
    void FillVariantTable() override;
};

class TP16f628a1 : public PicKeyedForm {
public:
    explicit TP16f628a1(Workbench& wb);
    void EraseClick() override;

protected:
    void FillVariantTable() override;
};

}  // namespace quilla
