// TAtmegax: ATmega8/16/32/64/128 (and AT90S8515/8535 rows) in the
// high-voltage parallel mode with page writes for flash and EEPROM, fuse and
// lock check boxes, the calibration-byte read and the batch. The design and
// the pins follow the device line's pkg= key.
#pragma once

#include "algo/avr/hv_form.h"

namespace quilla {

class TAtmegax : public AvrHvForm {
public:
    explicit TAtmegax(Workbench& wb);
    void SetupForDevice() override;

    void WriteClick() override;
    void SecrityClick() override;
    void WtFuseClick() override;
    void ReadFuseClick() override;
    void RdDataClick() override;
    void WrDataClick() override;
    void Button2Click();
    void RdCalibrateClick() override;
    void Button1Click();

    // The fuse bytes and the lock byte the boxes stand for.
    std::uint8_t FuseLowFromBoxes() const;
    std::uint8_t FuseHighFromBoxes() const;
    std::uint8_t LockFromBoxes() const;

protected:
    void FillRows() override;
    std::string KeyError() const override;
    // Ten page waits, five with "Fast写".
    int PageWaits() const;
};

}  // namespace quilla
