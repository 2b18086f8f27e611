// The AVR serial (SPI) programming layer and the handlers its forms share.
// The design shifts bytes (opcode 56 out, 57 in and captured); the host builds
// every four-byte instruction in the queue and reads the captured bytes back
// in the order queued. Control line 2 is SCK's level, line 3 RESET (a
// positive pulse on it resets the chip into the serial mode).
//
//   programming enable   AC 53 in in     (the first in is the chip's echo of 53)
//   read flash low/high  20/28 wH wL in
//   write flash byte     40/48 wH wL d   (word-write parts)
//   load page low/high   40/48 00 k d    (page parts; k the word in the page)
//   write page           4C wH wL 00
//   read/write EEPROM    A0 00 a in / C0 00 a d
//   chip erase           AC 80 00 00
//   read signature       30 00 i in
//   read calibration     38 00 i in
//
// The forms: TAt90s2323x (AT90S2323/2343, word writes, one fuse bit) and
// TAtiny2x (ATtiny26, 16-word pages, two fuse bytes, calibration bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algo/avr/serial_frame.h"

namespace quilla {

class AvrSpiForm : public AvrSerialForm {
public:
    AvrSpiForm(Workbench& wb, std::string caption);

    // ---- the serial layer -------------------------------------------------------------
    void SpiShiftOut(std::uint8_t b);
    void SpiShiftIn();
    void Instruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4);
    // Three bytes out, then one byte in.
    void ReadInstruction(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
    // Powers the chip and enables serial programming: 1 when it answered.
    int EnterProgramming() override;
    void ReadFlashWord(std::int32_t a) override;
    void ReadEepromByte(std::int32_t a) override;
    void ReadSignatureByte(int i) override;
    void WriteFlashWord(std::int32_t a, std::uint16_t w) override;
    void WriteEepromByte(std::int32_t a, std::uint8_t d) override;

    // ---- handlers -----------------------------------------------------------------------
    void SecrityClick() override;

protected:
    // The set-up pair of the serial designs (opcodes 74 and 75 with 8), queued
    // once the form's design is loaded (they mean nothing to another design).
    void SerialSetup();
    // The programming-enable tries; `pulse` gives each try its own reset pulse
    // and two 10 ms waits. True on the chip's echo ("Reset OK of 83").
    bool EnableTries(bool pulse);
    // "没有器件或者是坏的器件!", ErrorFlag 1, VCC off.
    void NoChip();
    void QueueChipErase() override;
    // The lock instruction with the boxes' lock byte.
    virtual void QueueLock(std::uint8_t lockByte);
    // Rst: the programming enable alone.
    void Button3Click();
};

class TAt90s2323x : public AvrSpiForm {
public:
    explicit TAt90s2323x(Workbench& wb);
    void SetupForDevice() override;
    void ReadFuseClick() override;
    void WtFuseClick() override;
    void Button1Click() override;

protected:
    void FillRows() override;
    // The caption of the second fuse box, per row.
    std::vector<std::string> FuseCaptions;
};

class TAtiny2x : public AvrSpiForm {
public:
    explicit TAtiny2x(Workbench& wb);
    void SetupForDevice() override;
    int EnterProgramming() override;
    void WriteEepromByte(std::int32_t a, std::uint8_t d) override;
    void WriteClick() override;
    void ReadFuseClick() override;
    void WtFuseClick() override;
    void RdCalibrateClick() override;
    void Button1Click() override;

protected:
    void FillRows() override;
    std::string KeyError() const override;
    void QueueLock(std::uint8_t lockByte) override;
};

}  // namespace quilla
