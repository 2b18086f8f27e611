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

#include "algo/common/form.h"

namespace quilla {

struct AvrPinRow {
    std::string Name;
    int VppPin = 0, VccPin = 0, GndPin = 0;
    std::int32_t FlashLast = 0, EepromLast = 0;
    // RESET, RDY, OE, WR, BS1, XA0, XA1, XTAL1.
    std::array<int, 8> Map{};
    bool Filled() const { return FlashLast > 0; }
};

class AvrPinDrivenForm : public AlgoForm {
public:
    enum Pin { kReset, kRdy, kOe, kWr, kBs1, kXa0, kXa1, kXtal1 };

    std::vector<AvrPinRow> Rows;
    std::int32_t EepromOffset = 0;
    int VariantCount() const override;
    std::string DeviceLineError() const override;
    const AvrPinRow* SelectedRow() const;

    void OnClose() override { Ep3.PowerOff(); }
    virtual void ReadRom() = 0;
    virtual void EraseClick() = 0;
    virtual void BlankClick() = 0;
    virtual void VerifyClick() = 0;
    virtual void WriteClick() = 0;
    virtual void SecrityClick() = 0;
    virtual void WtFuseClick() = 0;
    virtual void ReadFuseClick() = 0;
    void RdDataClick();
    void WrDataClick();
    virtual void Button1Click() = 0;

    // The lock byte of the LockMode item (bit 1 LB1, bit 2 LB2; 0 programmed).
    std::uint8_t LockFromMode(std::uint8_t none) const;

protected:
    struct Variant {
        bool vex310;  // latch 0 and opcode 0x01, port modes 0/1; else opcode 0x26/0x25, modes 15/9
    };
    AvrPinDrivenForm(Workbench& wb, std::string caption, Variant v);
    virtual void FillRows() = 0;
    const AvrPinRow& Row();
    bool CheckDeviceLine();

    void DeclareWindow(const char* writeCaption, const char* fuseGroup, const std::vector<std::string>& lockItems);

    // ---- the pin-driven layer ----------------------------------------------------
    void Set(Pin p, bool high) { Ep3.SetPin(high ? 1 : 0, current_[p]); }
    void DrivePort() { Ep3.SetPortMode(v_.vex310 ? 0 : 15); }
    void SamplePort() { Ep3.SetPortMode(v_.vex310 ? 1 : 9); }
    void StrobeByte(std::uint8_t b);
    void LoadAddress(std::uint8_t b);
    void LoadData(std::uint8_t b);
    void LoadCommand(std::uint8_t c);
    void ReadLatch();
    void WrPulse();
    void WaitReady();
    void UsePinMap(const AvrPinRow& r) { current_ = r.Map; }
    virtual int EnterProgramming() = 0;
    void ReadFlashWord(std::int32_t a);
    void ReadEepromByte(std::int32_t a);
    void WriteFlashWord(std::int32_t a, std::uint16_t word);
    void WriteEepromByte(std::int32_t a, std::uint8_t b);
    // The fuse and lock byte into the boxes and LockMode; false when the entry
    // refused (nothing read, nothing changed).
    bool ReadFuseLock(std::uint8_t& b);
    void WriteLockBits(std::uint8_t none);
    // Erase; false when the entry or the current check refused.
    bool EraseCore();
    std::uint8_t FuseFromBoxes() const;
    void SuppliesOff();

    // Flash in blocks (64 or 32 bytes) from 0 while below the flash last address.
    bool ReadFlashBlocks(int blockBytes, const std::function<bool(std::int32_t, const std::uint8_t*)>& onBlock);
    bool VerifyFlashBlocks();
    void WriteFlash();
    void PlaceEeprom(const AvrPinRow& r);
    void ShowAddress(const std::string& edit, std::int32_t value);
    void ShowProgress(std::int32_t value);
    bool RequireFileWindow();
    std::vector<BatchStep> Steps();
    std::uint8_t* Image(std::int32_t i) { return wb.ImageBuffer.data() + i; }

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
    void ReadFuseClick() override;
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
    void ReadFuseClick() override;
    void Button1Click() override;

    static const char* const WiringMessage;

protected:
    void FillRows() override;
    int EnterProgramming() override;
};

}  // namespace quilla
