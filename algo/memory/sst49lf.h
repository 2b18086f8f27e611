// SST firmware hubs in parallel-programming mode (keyword SST49LF008): the
// SST49LF002A-008A with the JEDEC-style command cycles at 5555h and 2AAAh;
// chip erase, byte program by opcode 0x3C with one or two 25 us waits, and a
// read-back of every 1 KiB block.
#pragma once

#include "algo/memory/fwh_form.h"

namespace quilla {

class TSst49lf008x : public FwhForm {
public:
    explicit TSst49lf008x(Workbench& wb);

    void FillVariantTable() override;
    void EraseClick() override;
    void WriteClick() override;
    void Button1Click() override;

    // One write cycle of value at 5555h or 2AAAh (the address comes from the
    // design's patterns; the address latches are not touched).
    void FwhWriteCommandByte(std::uint16_t address, std::uint8_t value);

    // The 1 KiB blocks of a Write: from the Device offset as entered, the last
    // one ending at Device offset + Length (or the chip's last byte).
    std::vector<Block> WritePlan(const FwhRow& r) const;

protected:
    int VppMillivolts() const override { return 0; }
    bool ReadBegin(const FwhRow& r) override;
    bool ReadStopsAtLength() const override { return false; }
    void BlankBegin(std::int32_t deviceOffset) override;
    void IdEntry(const FwhRow& r) override;
};

}  // namespace quilla
