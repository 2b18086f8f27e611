// Microwire 93Cxx serial EEPROMs: the Microwire layer (every edge on CS, SK
// and DI a host pin command, DO sampled by a capture after each clock) and the
// four forms built on it:
//
//   TP93cxx       P93         x8/x16 table, one buffer byte per word, design "p93cxxx.bit"
//   TP93x16       P93X16      x16 words, two buffer bytes per word (low first), same design
//   TP93cxx310    P93C310     the P93 table on the vex310 (no FPGA)
//   TP93x16x310x  P93C310X16  x16 words on the vex310
//
// On the FPGA models the DIP8 part sits on socket 17-24 and capture 0x01
// gives DO in bit 0; on the vex310 its pins 1-4 sit on 15-18 and 5-8 on
// 23-26, and capture 0x03 gives DO (socket 18) in bit 1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "algo/serial/serial_form.h"

namespace quilla {

class MicrowireForm : public SerialForm {
public:
    enum class Kind { P93, P93X16, P93C310, P93C310X16 };

    struct Row {
        std::string Name;
        int AddressBits = 0;
        int DataWidth = 0;      // 8, or 16 (word organisation: ORG high)
        int LastAddress = 0;    // last buffer offset; EndAddr
        std::uint8_t Di = 0, Do = 0, Sk = 0, Vcc = 0, Gnd = 0, Pin7 = 0, Org = 0, Cs = 0;
    };
    std::vector<Row> Table;

    MicrowireForm(Workbench& wb, Kind kind);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    // ---- the Microwire layer (queued; MwPowerUp and MwReadWord send) ----------------
    void MwShiftOut(unsigned value, int n);
    void MwSendOpcode(unsigned code) { MwShiftOut(code, 3); }
    void MwSendCommand(unsigned code);
    void MwEraseWriteEnable() { MwSendCommand(3); }
    void MwEraseWriteDisable() { MwSendCommand(0); }
    void MwPowerUp();
    // The word at `address`, sampled bit by bit (the whole data width).
    unsigned MwReadWord(int address);
    void MwWriteWord(int address, unsigned data);

    // ---- operations ---------------------------------------------------------------------
    void ReadRom() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick();
    void BlankClick();
    void Button1Click();
    void RadioGroup1Click() { Ep3.SetVcc(VoltageMv(ItemIndex("RadioGroup1"))); }

protected:
    int TableSize() const override { return static_cast<int>(Table.size()); }

private:
    const Row& Selected();
    bool TwoBytesPerWord() const { return kind_ == Kind::P93X16 || kind_ == Kind::P93C310X16; }
    bool OnVex310() const { return kind_ == Kind::P93C310 || kind_ == Kind::P93C310X16; }
    bool HasVoltage() const { return !OnVex310(); }
    // Starts of a word's instruction: ORG high first on the vex310 word form.
    void Select();
    void Capture();
    void ReadSamples(int address, bool dummy);
    unsigned Sampled(int index) const;
    // Power-up, the over-current check where the form makes one, and the check
    // that a chip answers (the dummy 0 of a READ). False: the operation ends.
    bool PowerUp(bool checkCurrent);
    bool ChipAnswers();
    // Supplies off at an operation's end (VPP too on the vex310 byte form).
    void SuppliesOff();
    // Buffer offsets per word and the word a buffer offset holds.
    int Step() const { return TwoBytesPerWord() ? 2 : 1; }
    unsigned ImageWord(int i);
    void StoreWord(int i, unsigned w);
    // The part of a read word the form compares and keeps.
    unsigned Kept(unsigned w) const { return TwoBytesPerWord() ? w : (w & 0xFF); }
    unsigned BlankValue() const { return TwoBytesPerWord() ? 0xFFFF : 0xFF; }
    void Progress(int i) { ShowProgress(i, Selected().LastAddress); }
    int FirstDifference(const std::function<unsigned(int)>& want);
    // The success text (the vex310 word form's own text there), the progress at
    // the end and the supplies off.
    void Succeed(const char* text, const char* wordFormText);

    const Kind kind_;
};

class TP93cxx : public MicrowireForm {
public:
    explicit TP93cxx(Workbench& wb) : MicrowireForm(wb, Kind::P93) {}
};
class TP93x16 : public MicrowireForm {
public:
    explicit TP93x16(Workbench& wb) : MicrowireForm(wb, Kind::P93X16) {}
};
class TP93cxx310 : public MicrowireForm {
public:
    explicit TP93cxx310(Workbench& wb) : MicrowireForm(wb, Kind::P93C310) {}
};
class TP93x16x310x : public MicrowireForm {
public:
    explicit TP93x16x310x(Workbench& wb) : MicrowireForm(wb, Kind::P93C310X16) {}
};

}  // namespace quilla
