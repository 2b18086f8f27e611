// Page-write flash with software data protection, 32 KiB to 512 KiB:
// TSst29eex (keywords P29EEX and SST29EE), TP29cx (AT29CX), TW29cx (W29C, pages
// written byte by byte through latch 2, with the ID button) and TP29c256
// (AT29C256: no Lock and Unlock, the erase by 12 V on OE). The shared
// machinery is PageSdpForm (algo/memory/page_sdp.h).
#pragma once

#include "algo/memory/page_sdp.h"

namespace quilla {

class TSst29eex : public PageSdpForm {
public:
    explicit TSst29eex(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
};

class TP29cx : public PageSdpForm {
public:
    explicit TP29cx(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
};

class TW29cx : public PageSdpForm {
public:
    explicit TW29cx(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
};

class TP29c256 : public PageSdpForm {
public:
    explicit TP29c256(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    // 12 V on the OE pin with a 10 ms strobe on socket 7.
    void EraseClick() override;

protected:
    std::vector<BatchStep> BatchSteps() override;
};

}  // namespace quilla
