// Page-write EEPROMs with software data protection: TP28cx (keyword AT28CX:
// 28C256 to 28C040A, AT28C64B, HN58C65 in 28- and 32-pin packages; Read, Write,
// Verify, Lock, Unlock) and TAt28c256x (keyword AT28C256: AT28C64B and 28C256,
// adds Blank and the chip clear by 12 V on OE). Protection cycles are
// address-and-data writes strobed on the row's WE pin; both batches repeat in
// mass production. The shared machinery is PageSdpForm (algo/memory/page_sdp.h).
#pragma once

#include "algo/memory/page_sdp.h"

namespace quilla {

class TP28cx : public PageSdpForm {
public:
    explicit TP28cx(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void MFGClick() override;

protected:
    std::vector<BatchStep> BatchSteps() override;
};

class TAt28c256x : public PageSdpForm {
public:
    explicit TAt28c256x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;

protected:
    std::vector<BatchStep> BatchSteps() override;
};

}  // namespace quilla
