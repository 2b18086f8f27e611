// Flash in EPROM pinout (keyword SST27SF): the SST27SF256 to SST27SF020 and
// SST37VF512 to SST37VF040, erased electrically with 12 V on the VPP pin and
// on A9 and programmed byte by byte with a VPP-assisted 10 us pulse.
#pragma once

#include "algo/memory/socket_form.h"

namespace quilla {

class TP27sfx : public SocketForm {
public:
    explicit TP27sfx(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;

protected:
    std::vector<int> HighAddressPins() const override;
    bool WriteBegin(const VariantRecord& r) override;
    bool WriteBlockBegin(const VariantRecord& r) override;
    void ProgramByte(const VariantRecord& r, std::uint8_t data) override;
    void BeforeReadEnable(const VariantRecord& r) override;
    std::vector<BatchStep> BatchSteps() override;
};

}  // namespace quilla
