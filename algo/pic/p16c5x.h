// The PIC16C5x parallel forms: TP16c54x (keyword P16C54: PIC16C54, PIC16C56,
// PIC16C58 in 18 pins, design "pic16c54dip18") and TP16c57x (keyword P16C57:
// PIC16C55, PIC16C57 in 28 pins, design "pic16c57dip28"). The 12-bit word is
// presented through registers 16 (bits 0-3) and 17 (bits 4-11) and read with
// the captures 0x01 (low byte) and 0x02 (bits 8-11); four control lines of
// register 18 drive the chip: line 1 high reads, low programs; line 2 low is
// the programming pulse; line 3 clocks the address counter; line 4 is low
// while VPP arrives. Every operation enters program mode afresh, with the
// counter at the configuration word; the user IDs follow program memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algo/pic/pic_form.h"

namespace quilla {

class TP16c54x : public PicForm {
public:
    explicit TP16c54x(Workbench& wb) : TP16c54x(wb, false) {}

    static constexpr std::uint32_t ContactLo54 = 0x1FFFF800, ContactHi54 = 0;
    static constexpr std::uint32_t ContactLo57 = 0xFFFFFAC0, ContactHi57 = 0x03;

    std::vector<PicRow> Table;
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;
    void SetupForDevice() override;
    void OnClose() override;

    void ReadToFileClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void RdConfigClick();
    void WtConfigClick();
    void Button2Click();

    void ConfigToControls() override;
    void ControlsToConfig() override;

protected:
    TP16c54x(Workbench& wb, bool m57);
    void FillVariantTable();

    void LineHigh(int n) { Ep3.ControlLineHigh(n); }
    void LineLow(int n) { Ep3.ControlLineLow(n); }
    // Contact test, ground, VCC, line 1 high, line 3 low, line 2 high; false
    // (the step failed) when no chip is seated.
    bool EnterProgramMode();
    // Line 4 low, VPP, line 4 high: the counter at the configuration word.
    void RaiseVpp();
    // EnterProgramMode, line 1 high, VPP, the current check; `settle` adds
    // the wait 27 of the 28-pin form's Read.
    bool ReadingPrologue(bool settle);
    // Blank's and Verify's pass over program memory, 32 words a reply: each
    // word's low byte and low nibble of the high byte against the image
    // (nullptr: FFh and Fh). A difference shows `fail` and its block's address,
    // sets ErrorFlag, switches the supplies off and returns false.
    bool CompareProgram(const PicRow& r, const std::uint8_t* image, const char* fail);
    void ParallelReadWord();
    void ParallelProgramWord(std::uint32_t w);
    void ParallelProgramConfig(std::uint32_t w);
    // After a word's programming pulse: the pulse line high, one low-high
    // cycle of it in read mode, back to program mode, the counter clocked on.
    void EndPulse();
    void ClockToUserIds();
    void SuppliesOff();
    void ShowProgress(std::int32_t a) { PicForm::ShowProgress(a, row_.ProgramLast); }
    const PicRow& Row();

    const bool m57_;
    std::uint32_t contactLo_, contactHi_;
    PicRow row_;
    bool ready_ = false;
};

class TP16c57x : public TP16c54x {
public:
    explicit TP16c57x(Workbench& wb) : TP16c54x(wb, true) {}
};

}  // namespace quilla
