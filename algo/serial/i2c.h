// I2C 24Cxx serial EEPROMs: the address phases of the two-wire bus and the two
// forms built on them:
//
//   TP24c0x     P24      bus events by the design "i2c24c.bit" (START, byte out,
//                        ninth clock, byte in), STOP by its control lines 1 and 2;
//                        page writes, single-byte or continuous reads
//   TP24c0x310  P24C310  the vex310: SDA (21) and SCL (22) driven pin by pin,
//                        SDA sampled by capture 0x03 (bit 3); random reads eight
//                        per reply, byte writes
//
// The part sits on socket 17-24 (A0-A2 17-19, VSS 20, SDA 21, SCL 22, WP 23,
// VCC 24). The X24C01 row addresses the chip with its own first byte,
// (address << 1) | R/W, and no word address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algo/serial/serial_form.h"

namespace quilla {

class I2cForm : public SerialForm {
public:
    struct Row {
        std::string Name;
        int LastAddress = 0;
        std::uint8_t Sda = 21, Scl = 22, Vcc = 24, Gnd = 20;
        std::uint8_t Wp = 0, A0 = 0, A1 = 0, A2 = 0;  // WP and A0-A2, held low on the vex310
        int PageBytes = 0;  // TP24c0x: bytes per write cycle before the speed item's cut
        bool X24 = false;   // the X24C01's addressing
    };
    std::vector<Row> Table;

    // The buttons both windows start with: Read1, Write, Verify and CancelBtn ("Exit ").
    static ControlRows Buttons();

    void OnClose() override { Ep3.PowerOff(); }

    // ---- bus primitives (queued) -------------------------------------------------------
    virtual void I2cStart() = 0;
    virtual void I2cSendByte(std::uint8_t b) = 0;
    virtual void I2cAckClock() = 0;
    virtual void I2cStop() = 0;
    // The write-addressing phase of address a: START, device byte, ninth clock,
    // the word address byte(s) each with its ninth clock (X24C01: START, the
    // address byte with R/W 0, ninth clock).
    void I2cSetWriteAddress(int a);
    // The device byte of a's phase: 0xA0 with address bits 8-10 in bits 1-3 up
    // to 2047, else 0xA0.
    std::uint8_t DeviceByte(int a) const;

protected:
    I2cForm(Workbench& wb, std::string caption);
    int TableSize() const override { return static_cast<int>(Table.size()); }
    const Row& Selected() { return Table[static_cast<std::size_t>(RowIndex())]; }
    void Progress(int i) { ShowProgress(i, Selected().LastAddress); }
    // The X24C01's first byte: (address << 1) | R/W.
    static std::uint8_t X24Byte(int a, int rw) { return static_cast<std::uint8_t>(((a & 0x7F) << 1) | rw); }
    void ShowRow(const Row& r);
};

class TP24c0x : public I2cForm {
public:
    explicit TP24c0x(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;

    void I2cStart() override;
    void I2cSendByte(std::uint8_t b) override;
    void I2cAckClock() override;
    void I2cStop() override;
    void I2cPowerUp();

    void ReadRom() override;
    void VerifyClick() override;
    void WriteClick() override;
    void Button1Click();
    void RadioGroup3Click() { Ep3.SetVcc(VoltageMv(ItemIndex("RadioGroup3"))); }

    // Bytes per write cycle: the row's page, halved ("Mid.") or quartered
    // ("Slow"), at least 2.
    int PageLength();

private:
    // Contact test, power and over-current check; false ends the operation.
    bool Begin();
    // The read device byte of the 64-byte block from b.
    std::uint8_t ReadDevice(int b);
    // Queues the 64 reads of block b.
    void QueueBlock(int b, bool continuous);
    bool Continuous() const { return ItemIndex("RadioGroup2") == 1; }
};

class TP24c0x310 : public I2cForm {
public:
    explicit TP24c0x310(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;

    void I2cStart() override;
    void I2cSendByte(std::uint8_t b) override;
    void I2cAckClock() override;
    void I2cStop() override;
    void I2cPowerUp();
    void I2cRandomRead(int a);
    void I2cByteWrite(int a, std::uint8_t data);

    void ReadRom() override;
    void VerifyClick() override;
    void WriteClick() override;

private:
    // Power, over-current check and the chip's acknowledge; false ends the operation.
    bool Begin();
    bool ChipAcknowledges();
    // Eight random reads from b, one reply: the bytes (bit 3 of each capture).
    void ReadEight(int b, std::uint8_t* out);
};

}  // namespace quilla
