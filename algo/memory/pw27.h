// Electrically erasable EPROMs W27E256 to W27E040 (keyword PW27): programmed
// at 12 V with a 10 us pulse per byte, erased electrically with 14 V on VPP
// and on A9.
#pragma once

#include "algo/memory/socket_form.h"

namespace quilla {

class TPW27x : public SocketForm {
public:
    explicit TPW27x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;

protected:
    std::vector<int> HighAddressPins() const override;
    void AfterHighAddressPins() override;
    bool WriteBlockBegin(const VariantRecord& r) override;
    void ProgramByte(const VariantRecord& r, std::uint8_t data) override;
    std::vector<BatchStep> BatchSteps() override;
};

}  // namespace quilla
