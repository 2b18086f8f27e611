// The MSU2964 form (keyword MSU2964): one 64 KiB part, also used as a 32, 16, 8
// or 4 KiB one. Its data paths are swapped against the other 8051 forms: the
// low address byte goes out with 0x21 onto P0, the data byte through latch 0
// onto P1 (socket 1-8). Port mode 1 releases socket 1-8 for the chip's data
// (reads capture them with 0x01, 64 per reply), port mode 0 drives latch 0 there
// (writes). Bytes are programmed with three command cycles at 5555/2AAA, the
// chip erased with six after an unprotect step; 5 V on EA for reads, the
// unprotect step, the erase and the lock. A profile of the SyncMOS flow
// (sm8951.h, its Write a program command per byte) with its own address path
// and read unit: the frame's loops and steps reach them through the hooks below.
#pragma once

#include "algo/mcs51/sm8951.h"

namespace quilla {

class TMsu2964x : public SyncMos51Form {
public:
    explicit TMsu2964x(Workbench& wb);

    // Latch 0 cleared, A8-A15 on 21-28, the low byte with 0x21.
    void SetAddress51(std::int32_t a) override;
    // The low byte + 1 with 0x21.
    void NextAddress51() override;
    // The byte through latch 0, P3.7 pulsed with ALE low.
    void ProgramByte51(std::uint8_t b) override;
    // 64 captures (0x01) per reply, the address stepped after each.
    int ReadUnitSize51() const override { return kGroup51; }
    void ReadUnit51(std::uint8_t* dest) override;
    void UnprotectStep51() override;
};

}  // namespace quilla
