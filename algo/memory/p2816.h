// Byte-write parallel EEPROMs 2816 to 28C256 (keyword P2816): each byte is
// written with a write-enable pulse at 5 V and the programmer's per-byte wait,
// in groups of 64 bytes read back where a group starts a 1 KiB block; devices
// whose line carries a non-zero "era=" key offer a chip erase with 12 V on OE.
#pragma once

#include "algo/memory/socket_form.h"

namespace quilla {

class TP2816x : public SocketForm {
public:
    explicit TP2816x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;
    void Button1Click() override;

    // Waits 0x1A after each byte, by the Speed item ("  10mS" .. "  50mS").
    static constexpr int ByteWaits[5] = {1, 2, 5, 10, 20};

protected:
    std::vector<int> HighAddressPins() const override;
    void AfterHighAddressPins() override;
    bool PowerUp(const VariantRecord& r) override;
    bool WriteBlockBegin(const VariantRecord& r) override;
    void ProgramByte(const VariantRecord& r, std::uint8_t data) override;
    void WriteBlockEnd(const VariantRecord& r, const Block& b) override;
    std::vector<BatchStep> BatchSteps() override;
};

}  // namespace quilla
