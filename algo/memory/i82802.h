// Intel-style firmware hubs in programmer mode (keyword I82802): the 82802
// firmware hubs, block by block with VPP, and the AT49LL rows by their block
// lists. Commands FFh read array, 90h identifier, 20h (21h) + D0h block erase;
// a byte is programmed by opcode 0x3D (the design writes 40h and the byte and
// waits for the chip).
#pragma once

#include "algo/memory/fwh_form.h"

namespace quilla {

class TI82802ax : public FwhForm {
public:
    explicit TI82802ax(Workbench& wb);

    void FillVariantTable() override;
    void EraseClick() override;
    void WriteClick() override;
    void Button1Click() override;

    // One write cycle of value at the latched address.
    void FwhWriteByte(std::uint8_t value);
    // 20h D0h at the block with VPP, then the block's first 1 KiB read back:
    // true when it is all FFh.
    bool FwhEraseBlock(std::int32_t address);

protected:
    int VppMillivolts() const override { return 12000; }
    void ShowCaption(const FwhRow& r) override;
    bool ReadBegin(const FwhRow& r) override;
    bool ReadStopsAtLength() const override { return true; }
    void ReadEnd() override;
    void BlankBegin(std::int32_t deviceOffset) override;
    void VerifyBegin() override;
    void IdEntry(const FwhRow& r) override;
};

}  // namespace quilla
