// PIC16 flash forms with built-in rows and named configuration boxes:
// TP16f87x (keyword P16F87X: PIC16F870 to PIC16F877), TP16f7x1 (P16F7X:
// PIC16F72 to PIC16F77, no data EEPROM, externally timed programming, 16 words
// per reply) and TP16f628x (P16F628: PIC16F627/628). Their boxes and oscillator
// group map onto the configuration word through a table (base value, the bits
// each box sets or clears), and they keep the boxes in the eight-character
// ".CON".
#pragma once

#include "algo/pic/pic_flash.h"

namespace quilla {

// One named configuration box: ticked sets (or clears) `mask`, unticked does
// the opposite.
struct NamedBox {
    const char* name;
    const char* caption;
    bool ticked = false;  // at creation
    std::uint16_t mask;
    bool setsWhenTicked = false;
    bool tickedUnlessAllOnes = false;  // shown ticked unless every bit of mask is 1 (else: all 0)
};

struct NamedConfig {
    std::uint16_t base;
    std::vector<NamedBox> boxes;
    bool oscBit4 = false;  // the oscillator items 4-7 set bit 4 (PIC16F62x)
};

class PicBoxesForm : public PicFlashForm {
public:
    void ConfigToControls() override;
    void ControlsToConfig() override;
    void OnClose() override;
    void EraseClick() override;
    void Button1Click();

protected:
    PicBoxesForm(Workbench& wb, std::string caption, const PicVariant& variant, PicFlashTraits traits,
                 NamedConfig config);
    // What sets the three forms' windows apart.
    struct BoxesWindow {
        const char* group;                  // GroupBox1's caption
        const char* osc;                    // the oscillator group's caption
        std::vector<std::string> oscItems;
        ControlRow last;                    // the window's last control
        bool data = true;                   // the erase group and the data EEPROM controls
    };
    // The window: buttons, the named boxes in GroupBox1, the oscillator group,
    // the erase group, batch, fields, Exit and the last control.
    ControlRows BoxesRows(const BoxesWindow& w) const;
    // Its handlers: the operation buttons; the group, the named boxes, the
    // oscillator and erase groups run ConfigClick; Run and Exit.
    template <class Form>
    Handlers<Form> BoxesClicks() const {
        Handlers<Form> h = OperationClicks<Form>();
        h.push_back({"GroupBox1", &Form::ConfigClick});
        for (const NamedBox& b : config_.boxes) h.push_back({b.name, &Form::ConfigClick});
        h.insert(h.end(), {{"RadioGroup1", &Form::ConfigClick},
                           {"RadioGroup2", &Form::ConfigClick},
                           {picwin::kRun1.Name, &Form::Button1Click},
                           {picwin::kExit.Name, &Form::Close}});
        return h;
    }
    // Setup's design and pins for the row: the design by the row's VCC pin.
    void LoadDesignForRow();
    void ReadCon();
    // The first three boxes: the ones the ".CON" keeps.
    std::array<std::string, 3> BoxNames() const {
        return {config_.boxes[0].name, config_.boxes[1].name, config_.boxes[2].name};
    }
    bool Check(PicStep op) override;
    int Waits() const override { return Pic.WaitCount({}); }
    std::uint32_t MaskLo() const { return row_.ContactLo; }
    std::uint32_t MaskHi() const { return row_.ContactHi; }

    NamedConfig config_;
    const char* eraseDone_ = "OK";
};

class TP16f87x : public PicBoxesForm {
public:
    explicit TP16f87x(Workbench& wb);
    void SetupForDevice() override;
    std::string DeviceLineError() const override;
};

class TP16f7x1 : public PicBoxesForm {
public:
    explicit TP16f7x1(Workbench& wb);
    void SetupForDevice() override;
    std::string DeviceLineError() const override;
    void EraseClick() override;
};

class TP16f628x : public PicBoxesForm {
public:
    explicit TP16f628x(Workbench& wb);
    void SetupForDevice() override;
    std::string DeviceLineError() const override;
};

}  // namespace quilla
