// The AT90S forms whose host drives every programming signal as a plain
// socket pin (high-voltage parallel mode without a family design): TAT90sx on
// the generic "vex300" design (the data byte through opcode 0x26, sampled by
// 0x25, port modes 15/9) and TAt90s8515x_vex310 on the vex310 (the byte in
// output latch 0, sampled by 0x01, port modes 0/1). Each row carries the pin
// map RESET, RDY, OE, WR, BS1, XA0, XA1, XTAL1; the writes wait for the chip's
// ready output in the programmer (system command 29).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "algo/avr/hv_form.h"

namespace quilla {

class AvrPinDrivenForm : public AvrParallelForm {
public:
    // The pin map's order; the control lines keep their hvline numbers.
    enum Pin {
        kReset = 0,
        kRdy = 1,
        kOe = hvline::OE,
        kWr = hvline::WR,
        kBs1 = hvline::BS1,
        kXa0 = hvline::XA0,
        kXa1 = hvline::XA1,
        kXtal1 = hvline::XTAL1
    };

    // The fuse and lock byte into the boxes and LockMode, "Config=%02x".
    void ReadFuseClick() override;
    void RdDataClick() override;
    void WrDataClick() override;
    virtual void Button1Click() = 0;

protected:
    struct Variant {
        bool vex310;  // latch 0 and opcode 0x01, port modes 0/1; else opcode 0x26/0x25, modes 15/9
    };
    AvrPinDrivenForm(Workbench& wb, std::string caption, Variant v);

    // The window of the two forms. What differs between them:
    struct Look {
        const char* write;                   // Write's caption
        const char* fuseGroup;               // the fuse group's caption
        std::vector<std::string> lockModes;  // the LockMode items
    };
    static ControlRows Window(const Look& look);

    // ---- the pin-driven layer ----------------------------------------------------
    void Set(Pin p, bool high) { Ep3.SetPin(high ? 1 : 0, current_[p]); }
    void DrivePort() { Ep3.SetPortMode(v_.vex310 ? 0 : 15); }
    void SamplePort() { Ep3.SetPortMode(v_.vex310 ? 1 : 9); }
    // The loads of AvrParallelForm on the pins; a written byte waits for RDY.
    void DriveLine(int n, bool high) override { Set(static_cast<Pin>(n), high); }
    void PutDataByte(std::uint8_t b) override;
    void WaitWritten() override { WaitReady(); }
    // The entry's idle lines: OE low, WR and RDY high (RDY an input), XTAL1, XA0, XA1 low.
    void IdleLines();
    void ReadLatch();
    void WaitReady();
    // The entry and the over-current check, then the chip drives the port;
    // false when either refused.
    bool EnterForReading();
    void UsePinMap(const AvrRow& r) { current_ = r.PinMap; }
    void ReadFlashWord(std::int32_t a) override;
    void ReadEepromByte(std::int32_t a) override;
    void WriteFlashWord(std::int32_t a, std::uint16_t word) override;
    void WriteEepromByte(std::int32_t a, std::uint8_t b) override;
    // The fuse and lock byte into the boxes and LockMode; false when the entry
    // refused (nothing read, nothing changed).
    bool ReadFuseLock(std::uint8_t& b);
    void WriteLockBits();
    // Erase; false when the entry or the current check refused.
    bool EraseCore();
    std::uint8_t FuseFromBoxes() const;
    // The fuse byte of the boxes written (entry, current check, supplies off).
    void WriteFuseFromBoxes();
    // Verify: the flash against the image; `okText` when it matches.
    void VerifyPass(const char* okText);
    // Write: the flash from the image after `status`, "End.".
    void WritePass(const char* status);

    Variant v_;
    std::array<int, 8> current_{};
};

class TAT90sx : public AvrPinDrivenForm {
public:
    explicit TAT90sx(Workbench& wb);
    void SetupForDevice() override;
    void ReadRom() override;
    void EraseClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void SecrityClick() override;
    void WtFuseClick() override;
    void Button1Click() override;

    static constexpr int kGround = 20;
    static constexpr std::uint32_t kMaskLo = 0x3FFFFC00u;  // socket pins 11 to 30

protected:
    void FillRows() override;
    int EnterProgramming() override;
};

class TAt90s8515x_vex310 : public AvrPinDrivenForm {
public:
    explicit TAt90s8515x_vex310(Workbench& wb);
    void SetupForDevice() override;
    void ReadRom() override;
    void EraseClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void SecrityClick() override;
    void WtFuseClick() override;
    void Button1Click() override;

    static const char* const WiringMessage;

protected:
    void FillRows() override;
    int EnterProgramming() override;
};

}  // namespace quilla
