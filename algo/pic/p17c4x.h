// The PIC17C4x form TP17c4x (keyword P17C4X): 16-bit program words presented
// through latch 0 (high byte) and latch 1 (low byte) and programmed with one
// pulse on line 2 each; line 3 clocks the chip's interface (one clock loads
// the start address, three step a word), line 4 is high while the form drives
// the data and low while it samples, line 5 is high from entry to the end of
// an operation; captures 0x02 (low byte) and 0x01 (high byte). The
// configuration bits are locations FE00h-FE0Fh, each programmed by a pulse
// there; the eight boxes are kept in the ".c48" side file ("P17c4x").
//
// The device line gives the row: fla= (program words), pkg= (40 DIP, 45
// TQFP44, 44 PLCC44: picture, design, placement picture, supply pins), pm=
// (contact-mask set 0-8), vcc= (5000 when absent).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "algo/pic/pic_form.h"

namespace quilla {

class TP17c4x : public PicForm {
public:
    explicit TP17c4x(Workbench& wb);

    static constexpr int Rows = 20;
    // Configuration location of CheckBox1..CheckBox8 (-1: none).
    static constexpr std::array<int, 8> BoxLocation{0xFE00, 0xFE01, 0xFE02, 0xFE03, 0xFE04, -1, 0xFE06, 0xFE0F};

    std::vector<PicRow> Table;
    // The configuration locations FE00h-FE0Fh as Rd.CFG read them, low byte first.
    std::array<std::uint8_t, 32> ConfigRead{};

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
    void Button1Click();

private:
    void FillVariantTable();
    void PulseLine(int n, int count);
    void Pic17PutWord(std::uint32_t w);
    void Pic17ReadWord();
    void EnterProgramMode();
    void SuppliesOff();
    // The contact test of the row (also when the options switch the engine's
    // test off); false: the step failed.
    bool CheckContact();
    // Blank and Verify: each reply byte against `expect` (nullptr: FFh).
    void CompareBlocks(const char* running, const char* failed, const std::uint8_t* expect);
    void ShowProgress(std::int32_t a) { PicForm::ShowProgress(a, row_.ProgramLast); }
    const PicRow& Row();

    PicRow row_;
    bool ready_ = false;
};

}  // namespace quilla
