// UV-erasable and one-time-programmable EPROMs from the 2716 to the 27080
// (keyword P27): programmed at 12.5/12.7 V, 21 V or 25 V with a choice of
// program pulse length; no erase (UV parts are erased outside the programmer).
#pragma once

#include "algo/memory/socket_form.h"

namespace quilla {

class TP27x : public SocketForm {
public:
    explicit TP27x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void WriteClick() override;

    // The program pulse of one byte: RadioGroup1 item + 1 waits of 0x19 (rows
    // whose pulse code is below 10) or 0x1A.
    void ProgramPulseWait();

protected:
    bool WriteBegin(const VariantRecord& r) override;
    bool WriteBlockBegin(const VariantRecord& r) override;
    void ProgramByte(const VariantRecord& r, std::uint8_t data) override;

private:
    void Write2716(const VariantRecord& r);
};

}  // namespace quilla
