// The AT90S word-write forms in high-voltage parallel mode: TAt90s8515x
// (AT90S4414/8515) and its twins TAt90s8535x (AT90S4434/8535), TAt90s2333x
// (AT90S2333/4433) and TAtiny28x (ATtiny28, flash only, calibration byte).
// One flash word and one EEPROM byte at a time, the fuse byte of the AT90S
// chips, a lock mode from a choice, and a presence test in the entry of some.
#pragma once

#include <utility>
#include <vector>

#include "algo/avr/hv_form.h"

namespace quilla {

class TAt90s8515x : public AvrHvForm {
public:
    explicit TAt90s8515x(Workbench& wb);
    void SetupForDevice() override;

    void WriteClick() override;
    void SecrityClick() override;
    void WtFuseClick() override;
    void ReadFuseClick() override;
    void RdDataClick() override;
    void WrDataClick() override;
    void Button2Click();
    virtual void Button1Click();

    // The fuse byte the boxes stand for (a ticked box is a programmed bit 0).
    std::uint8_t FuseFromBoxes() const;

    int EnterProgramming() override;

protected:
    // A fuse box of the window (CheckBox1, CheckBox2, ... in order): the fuse
    // byte's bit it stands for, and its caption.
    struct FuseBox {
        int bit;
        const char* caption;
    };
    // The twins' construction: each declares its window.
    TAt90s8515x(Workbench& wb, std::string caption, HvVariant variant, std::vector<FuseBox> fuses);
    // The window of the AT90S word-write forms. What differs between them:
    struct Look {
        const char* readFuse = "R.Fuse";  // R.Fuse's caption
        bool eeprom = true;               // R.Data, W.Data, their batch box and the Note label
        bool calibration = false;         // the ATtiny28's R.RC校准, its address and the verify level
    };
    ControlRows Window(const Look& look) const;

    void FillRows() override;

    // What the entry does after the contact check and before the lines; false
    // ends it (the presence test refused).
    virtual bool EntryPrefix(const AvrRow& r);
    // The presence test: the chip's XTAL2 follows XTAL1. False after
    // "没有OK..安放器件！" with ErrorFlag 1 and VCC off.
    bool ChipPresent();
    // The fuse byte (and the lock state) read in programming mode; false when
    // the entry refused (nothing read, nothing changed).
    virtual bool ReadFuseLock(std::uint8_t& b);
    // The fuse byte read with BS1 high (AT90S4414/8515/4434/8535: fuse and lock
    // state) or low after the command, into the fuse boxes; false when the entry refused.
    bool ReadFuseByte(bool bs1High, std::uint8_t& b);
    void WriteLockBits();
    virtual bool ReadIdChecksCurrent() const { return true; }
    // Setup pieces: the package (design, pins) and the status text.
    virtual void SetupPackage(AvrRow& r);
    virtual bool ShowsLinkStatus() const { return false; }

    std::vector<FuseBox> fuses_;
};

class TAt90s8535x : public TAt90s8515x {
public:
    explicit TAt90s8535x(Workbench& wb);

protected:
    void FillRows() override;
    bool EntryPrefix(const AvrRow& r) override;
    void SetupPackage(AvrRow& r) override;
};

class TAt90s2333x : public TAt90s8515x {
public:
    explicit TAt90s2333x(Workbench& wb);
    void EraseClick() override;
    void Button1Click() override;

protected:
    TAt90s2333x(Workbench& wb, std::string caption, HvVariant variant, std::vector<FuseBox> fuses)
        : TAt90s8515x(wb, std::move(caption), variant, std::move(fuses)) {}
    void FillRows() override;
    bool EntryPrefix(const AvrRow& r) override;
    bool ReadFuseLock(std::uint8_t& b) override;
    bool ReadIdChecksCurrent() const override { return false; }
    void SetupPackage(AvrRow& r) override;
    bool ShowsLinkStatus() const override { return true; }
};

class TAtiny28x : public TAt90s2333x {
public:
    explicit TAtiny28x(Workbench& wb);
    void SetupForDevice() override;
    void EraseClick() override { AvrHvForm::EraseClick(); }
    void VerifyClick() override;
    void RdCalibrateClick() override;
    void Button1Click() override;

protected:
    void FillRows() override;
    bool EntryPrefix(const AvrRow& r) override;
};

}  // namespace quilla
