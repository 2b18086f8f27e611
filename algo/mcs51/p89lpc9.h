// The P89LPC9xx in-circuit programming forms (keywords P89LPC932 and
// P89LPCSPI): the chip powered at 2.4-3.6 V, put into programming mode by
// entry pulses, and driven through its four programming registers (address
// low, address high, data, command/status), which the design carries from the
// programmer's latch 0 (register number), latch 1 (data byte) and control
// line 3 (the transfer clock). Erase, page writes, 64-byte reads, the
// configuration bytes (UCFG1, boot vector, status, SEC0-7) and the chip ID.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

class Lpc9xxForm : public Mcs51Form {
public:
    enum class Variant { Lpc932, Spi };

    Lpc9xxForm(Workbench& wb, Variant v);

    void SetupForDevice() override;
    void FillVariantTable() override;
    std::string DeviceLineError() const override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom();
    void BlankClick() { CheckClick(false); }
    void VerifyClick() { CheckClick(true); }
    void WriteClick();
    void EraseClick();
    void ConfigClick();
    void ReadConfigClick();
    void IDClick();
    void Button3Click();  // R.CRC
    void Button1Click();  // the batch
    void Button2Click();  // Put232 (second form)

    // ---- the register routines -------------------------------------------------------
    void IcpSelectRegister(int r) { Ep3.WriteLatch(0, r); }
    void IcpWriteData(std::uint8_t v);
    void IcpReadByte();
    // Polls the status until its busy bit clears: false when it stays set.
    bool IcpWaitReady();
    void IcpSetAddress(std::int32_t addr);
    bool IcpWriteConfig(int addr, std::uint8_t value);
    void IcpEnter();
    int CheckDeviceId();
    static int HexByteParse(const std::string& text);  // -1: no hexadecimal digit

    // The row table's pins and contact masks.
    struct IcpRow {
        int Vcc, Gnd;
        std::uint32_t MaskLo, MaskHi;
    };

private:
    // The selected row of a line setup accepted; refuses the operation otherwise.
    void RowReady();
    // RowReady, then the row's contact test (false: stop).
    bool ContactReady();
    void WriteReg(int r, std::uint8_t v) { IcpSelectRegister(r), IcpWriteData(v); }
    void Line(int n, bool high) { high ? Ep3.ControlLineHigh(n) : Ep3.ControlLineLow(n); }
    void Clock3() { Line(3, true), Line(3, false); }
    // A command through register 3 between line 1 low and high.
    void Command(std::uint8_t cmd);
    // Entry, line 1 low, the configuration access (0x6C) at `addr`.
    void ConfigAccess(std::uint8_t addr);
    // `count` data bytes clocked out and captured.
    void Captures(int count);
    // The reply's first `count` bytes as "%02x," each.
    void ShowReply(int count);
    // The status text, the entry and the current check: false ends the operation.
    bool Begin(const char* text);
    // VCC off, the row's end shown, the success text.
    void Done(const char* text);
    // Blank (every byte 0x00) or Verify (every byte the image's).
    void CheckClick(bool verify);
    // The 64-byte read loop of Read, Blank? and Vrfy; `check` (when given) judges each block.
    bool ReadBlocks(bool intoImage, const std::function<bool(std::int32_t, const std::uint8_t*)>& check);
    void ReadConfigBytes();
    void Busy();
    void SerialTestByte(std::uint8_t b);

    Variant variant_;
    bool ready_ = false;
    int IcpPageLength = 0;
    int RowVccPin = 0, RowGndPin = 0;
    std::int32_t RowSize = 0;
};

class TP89lpc932 : public Lpc9xxForm {
public:
    explicit TP89lpc932(Workbench& wb) : Lpc9xxForm(wb, Variant::Lpc932) {}
};

class TP89lpc9xxSPI : public Lpc9xxForm {
public:
    explicit TP89lpc9xxSPI(Workbench& wb) : Lpc9xxForm(wb, Variant::Spi) {}
};

}  // namespace quilla
