// The CR80 OTP form TCr80px00x (keyword CR80PX00: CR80P100, CR80P200, JS991)
// on the "cr80px00" design: control lines of register 18 named by the device
// row, an area number on the data latch while VPP rises (0 program memory,
// 1 OTP row, 2 option word, 5 security word), words in two 7-bit halves with
// one to three program pulses each, four clocks per word. Besides program
// memory it writes the option word pair, the security word and the OTP row
// (ID 2003, the buffer checksum, two protect words with "W.保护"), and its
// batch can stamp a soft-security number (add=) into the image before each
// pass.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "algo/pic/pic_form.h"

namespace quilla {

// One row of the form's device table. The control lines are numbers of
// register 18's lines (Line); the port's halves go out through a data latch
// and come back through a capture opcode.
struct Cr80Row {
    std::string Name;
    std::int32_t ProgramLast = 0;  // program bytes - 1
    int VppPin = 0, VccPin = 0, GndPin = 0;
    int VppMv = 0;
    int Entry = 0;        // low while VPP rises into program mode
    int Mode = 0;         // high while the area number is latched
    int HalfSelect = 0;   // low: bits 0-6 of a word on the port, high: bits 7-13
    int PulseEnable = 0;  // high while programming (a pulse only counts then), low to read
    int PulseStrobe = 0;  // the program pulse: low for one pulse wait
    int Clock = 0;        // four falling edges move to the next word
    int Latch = 0;        // the data latch of the port
    std::uint8_t Capture = 0;  // the capture opcode of the port
    std::uint32_t ContactLo = 0, ContactHi = 0;
};

class TCr80px00x : public PicForm {
public:
    explicit TCr80px00x(Workbench& wb);

    std::vector<Cr80Row> Table;
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;
    void SetupForDevice() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadToFileClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void WtConfigClick();
    void SecurityClick();
    void WrOTProwClick();
    void RdConfigClick();
    void SoftSecuClick();
    void Button2Click();

    void ControlsToConfig() override;
    void ConfigToControls() override {}

    // The soft-security numbers come from this generator, seeded per run
    // (tests give their own seed).
    void Seed(unsigned s) { rng_.seed(s); }
    std::uint32_t LastSoftSecu = 0;

protected:
    void FillVariantTable();
    void Line(int n, bool high);
    void CrClock(int n);
    bool EnterProgramMode();
    void CrSendMode(int m);
    void CrProgramPulse();
    void CrWriteWord(std::uint32_t w);
    void CrReadWord();
    void ReadingPreparation();
    void SuppliesOff();
    // A read of `words` words into the reply buffer (one reply).
    void ReadWords(int words);
    // The reads of the next 32 words, queued.
    void QueueBlock();
    void ShowProgress(std::int32_t a) { PicForm::ShowProgress(a, row_.ProgramLast); }
    bool Seated();

    Cr80Row row_;
    bool ready_ = false;
    int softSecuAddr_ = 0;
    std::mt19937 rng_;
};

}  // namespace quilla
