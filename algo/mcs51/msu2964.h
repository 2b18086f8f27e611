// The MSU2964 form (keyword MSU2964): one 64 KiB part, also used as a 32, 16, 8
// or 4 KiB one. Its data paths are swapped against the other 8051 forms: the
// low address byte goes out with 0x21 onto P0, the data byte through latch 0
// onto P1 (socket 1-8). Port mode 1 releases socket 1-8 for the chip's data
// (reads capture them with 0x01, 64 per reply), port mode 0 drives latch 0 there
// (writes). Bytes are programmed with three command cycles at 5555/2AAA, the
// chip erased with six after an unprotect step; 5 V on EA for reads, the
// unprotect step, the erase and the lock. A row of the SyncMOS flow (sm8951.h)
// with its own address path, walks and Write loop.
#pragma once

#include "algo/mcs51/sm8951.h"

namespace quilla {

class TMsu2964x : public SyncMos51Form {
public:
    explicit TMsu2964x(Workbench& wb);

    // Latch 0 cleared, A8-A15 on 21-28, the low byte with 0x21.
    void SetAddress51(std::int32_t a);
    void NextAddress51();
    // The byte through latch 0, P3.7 pulsed with ALE low.
    void ProgramByte51(std::uint8_t b);
    void UnprotectStep51() override;
    void BusWrite(std::int32_t a, std::uint8_t d) override;

protected:
    void Address51(std::int32_t a) override { SetAddress51(a); }
    void ReadAll(const Mcs51Row& r) override;
    void CheckAll(const Mcs51Row& r, bool verify) override;
    // The whole row, whatever EndAddr says: three command cycles and the byte.
    void WriteAll(const Mcs51Row& r) override;

private:
    // 64-byte groups from 0 while a < last and a <= EndAddr: `check` gets each
    // group's 64 bytes (read into `intoImage` ? the image : the reply buffer).
    bool Groups(const Mcs51Row& r, bool intoImage, const std::function<bool(std::int32_t, const std::uint8_t*)>& check);
};

}  // namespace quilla
