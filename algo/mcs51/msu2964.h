// The MSU2964 form (keyword MSU2964): one 64 KiB part, also used as a 32, 16, 8
// or 4 KiB one. Its data paths are swapped against the other 8051 forms: the
// low address byte goes out with 0x21 onto P0, the data byte through latch 0
// onto P1 (socket 1-8). Port mode 1 releases socket 1-8 for the chip's data
// (reads capture them with 0x01, 64 per reply), port mode 0 drives latch 0 there
// (writes). Bytes are programmed with three command cycles at 5555/2AAA, the
// chip erased with six after an unprotect step; 5 V on EA for reads, the
// unprotect step, the erase and the lock.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class TMsu2964x : public Mcs51Form {
public:
    explicit TMsu2964x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    int PreCheck51();
    void PowerUp51();
    // Latch 0 cleared, A8-A15 on 21-28, the low byte with 0x21.
    void SetAddress51(std::int32_t a);
    void NextAddress51();
    void ProgramByte51(std::uint8_t b);
    virtual void UnprotectStep51();
    // One bus write cycle: SetAddress51(a), ProgramByte51(d).
    virtual void BusWrite(std::int32_t a, std::uint8_t d);

private:
    // Read, Blank and Verify: the power-up, the read setting with 5 V on EA, the
    // current check; false when it failed.
    bool StartRead(const char* status);
    // 64-byte groups from 0 while a < last and a <= EndAddr: `check` gets each
    // group's 64 bytes (read into `intoImage` ? the image : the reply buffer).
    bool Groups(const Mcs51Row& r, bool intoImage, const std::function<bool(std::int32_t, const std::uint8_t*)>& check);
};

}  // namespace quilla
