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

    void ReadRom() override;
    void BlankClick() override { CheckClick(false); }
    void VerifyClick() override { CheckClick(true); }
    void WriteClick() override;
    void EraseClick() override;
    void ConfigClick();
    void ReadConfigClick();
    void IDClick() override;
    void Button3Click();  // R.CRC
    void Button1Click() override;  // the batch
    void Button2Click();  // Put232 (second form)

    // ---- the register routines -------------------------------------------------------
    void IcpSelectRegister(int r) { Ep3.WriteLatch(0, r); }
    void IcpWriteData(std::uint8_t v) { Ep3.WriteLatch(1, v), Clock3(); }
    void IcpReadByte() { Clock3(), Clock3(), Put1(proto::OpCapturePort1); }
    // Polls the status until its busy bit clears: false when it stays set.
    bool IcpWaitReady();
    void IcpSetAddress(std::int32_t addr);
    bool IcpWriteConfig(int addr, std::uint8_t value);
    void IcpEnter();
    int CheckDeviceId();
    static int HexByteParse(const std::string& text);  // -1: no hexadecimal digit

private:
    // The selected row of a line setup accepted (else the operation is refused),
    // then (ContactReady) the row's contact test.
    void RowReady();
    bool ContactReady();
    void WriteReg(int r, std::uint8_t v) { IcpSelectRegister(r), IcpWriteData(v); }
    void Line(int n, bool high) { high ? Ep3.ControlLineHigh(n) : Ep3.ControlLineLow(n); }
    void Clock3() { Line(3, true), Line(3, false); }
    // A command through register 3 between line 1 low and high.
    void Command(std::uint8_t cmd) { IcpSelectRegister(3), Line(1, false), IcpWriteData(cmd), Line(1, true); }
    void ConfigAccess(std::uint8_t addr);  // entry, line 1 low, 0x6C at `addr`
    // `count` data bytes clocked out and captured.
    void Captures(int count) {
        for (int i = 0; i < count; ++i) Clock3(), Put1(proto::OpCapturePort1);
    }
    void ShowReply(int count);  // the reply's first bytes, "%02x," each
    // The status text, the entry and the current check: false ends the operation.
    bool Begin(const char* text);
    void Done(const char* text);  // VCC off, the row's end shown, the success text
    void CheckClick(bool verify);  // Blank: every byte 0x00; Verify: the image's
    // The 64-byte reads of Read, Blank? and Vrfy; `check` (when given) judges each block.
    bool ReadBlocks(bool intoImage, const GroupCheck51& check = {});
    void ReadConfigBytes();
    void Busy();
    void SerialTestByte(std::uint8_t b);

    Variant variant_;
    bool ready_ = false;
    int IcpPageLength = 0, RowVccPin = 0, RowGndPin = 0;
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
