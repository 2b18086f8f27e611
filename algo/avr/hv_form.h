// The high-voltage parallel layer of the AVR forms (ATmega page-write forms,
// AT90S word-write forms), on the AVR frame (avr_form.h): the control
// lines of the design (register 18: n low, n | 0x80 high), the data port
// (output latch 0, sampled by opcode 1), the command, address and data loads,
// the entry into programming mode, the reads, writes and waits. Each form
// chooses its variant of the layer (HvVariant) and adds its handlers.
//
// Image layout: flash byte a at image offset a (word w at 2w, low byte first),
// EEPROM byte i at EepromOffset + i, EepromOffset = flash last address + 1.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "algo/avr/avr_form.h"

namespace quilla {

// Control lines of the high-voltage parallel designs.
namespace hvline {
inline constexpr int Direction = 1;  // low: the programmer drives DATA; high: the chip does
inline constexpr int OE = 2, WR = 3, BS1 = 4, XA0 = 5, XA1 = 6, XTAL1 = 7, Entered = 8, PAGEL = 9, BS2 = 10;
}  // namespace hvline

// AVR high-voltage parallel command bytes.
namespace hvcmd {
inline constexpr std::uint8_t ChipErase = 0x80, WriteFuse = 0x40, WriteLock = 0x20, WriteFlash = 0x10,
                              WriteEeprom = 0x11, ReadSignature = 0x08, ReadFuseLock = 0x04, ReadFlash = 0x02,
                              ReadEeprom = 0x03;
}  // namespace hvcmd

// The loads of the high-voltage parallel mode, whatever drives the lines
// (the design's control lines here, socket pins one by one in at90s_pins.h):
// a byte on the data port strobed in by XTAL1 as an address (XA1 XA0 = 00),
// data (01) or a command (10), written by a WR pulse.
class AvrParallelForm : public AvrForm {
public:
    AvrParallelForm(Workbench& wb, std::string caption) : AvrForm(wb, std::move(caption)) {}

    void StrobeByte(std::uint8_t b);
    void LoadAddress(std::uint8_t b);
    void LoadData(std::uint8_t b);
    void LoadCommand(std::uint8_t c);
    // OE high, BS1 low, the command loaded.
    void StartCommand(std::uint8_t c);
    // The address's low byte; with `highByte` BS1 high and its high byte.
    void LoadAddressBytes(std::uint32_t a, bool highByte);
    // The command, the byte, a WR pulse and the wait after it.
    void WriteCommandByte(std::uint8_t c, std::uint8_t b);
    void WrPulse();

protected:
    // Control line `n` (hvline numbering) high or low.
    virtual void DriveLine(int n, bool high) = 0;
    // The byte onto the data port.
    virtual void PutDataByte(std::uint8_t b) = 0;
    // Before a data or command load; nothing unless the layer needs it.
    virtual void BeforeLoad() {}
    // The wait after a written byte's WR pulse.
    virtual void WaitWritten() = 0;
};

struct HvVariant {
    enum class Entry {
        Full,      // supplies twice, wait, lines, ten XTAL1 pulses, VPP, line 8 high
        Mega163,   // no wait before the lines, no PAGEL line, no XTAL1 pulses
        Mega161,   // no supplies first; after the lines VCC, wait, VPP, no line 8
    };
    bool settled = false;              // opcode 52 before every control-line write
    bool prepareBeforeDirection = false;
    bool flushPerWord = true;          // one transfer per flash word read
    Entry entry = Entry::Full;
    bool longWriteWait = false;        // the write wait is two 10 ms waits
};

class AvrHvForm : public AvrParallelForm {
public:
    AvrHvForm(Workbench& wb, std::string caption, HvVariant variant);

    // The Verify level of the VeriyVolt box (avr::VerifyLevels; mV, 5000 for any other text).
    int VerifyVccMv() const;

    // ---- handlers the parallel forms share ------------------------------------------
    // Read: the flash into the image, "OK".
    void ReadRom() override;
    // Erase: VPP again after the entry, the chip erase, "Erase OK".
    void EraseClick() override;
    // Blank?: every flash byte FFh, "OK!".
    void BlankClick() override;
    // Vrfy.: the flash against the image, "OK!!!".
    void VerifyClick() override;

    // ---- the programming layer ------------------------------------------------------
    void LineLow(int n);
    void LineHigh(int n);
    void DataDirection(int chipDrives);
    void ReadLatch();
    virtual void PagelPulse();
    // 1: in programming mode; 0: the contact check refused (it has reported).
    int EnterProgramming() override;
    // The entry's idle lines: the programmer drives the data, OE low, WR high,
    // XTAL1, XA0, XA1, line 8 and BS1 low (BS2 too with `bs2`).
    void IdleLines(bool bs2);
    // The entry's end: the wait, VPP, line 8 high, 100 ms, a flush; 1.
    int RaiseVpp(const AvrRow& r);
    void ReadFlashWord(std::int32_t a) override;
    void ReadEepromByte(std::int32_t a) override;
    // Signature row byte `i` sampled (OE left low): BS1 high selects the
    // calibration byte, low the signature byte.
    void SampleSignatureRow(int i, bool calibration);
    void ReadSignatureByte(int i);
    void ReadCalibrationByte(int i);
    void WriteEepromByte(std::int32_t a, std::uint8_t b) override;
    // One flash word of a part without pages: low byte, write, high byte, write.
    void WriteFlashWord(std::int32_t a, std::uint16_t word) override;
    int WriteWait();
    // A fuse byte: the low one with BS1 low, the high one with BS1 high
    // during the WR pulse (low again after it).
    void WriteFuse(std::uint8_t b, bool highByte);
    void WriteLock(std::uint8_t b);
    // Lock of the ATmega forms: entry, current check, "Fuse...", the lock byte,
    // "OK!", the supplies off, "OK".
    void WriteLockPass(std::uint8_t b);
    // The chip-erase command and its WR pulse, without the wait after it.
    void ChipEraseCommand();
    void ChipErase();
    // Page programming of the whole flash / EEPROM; `pageWaits` waits of 1 ms
    // after each page.
    virtual void ProgramFlashPages(int pageWaits);
    void ProgramEepromPages(int pageWaits);
    // The fuse and lock read command with BS1 and BS2 low (BS2 set low again
    // with `bs2LowAgain`), OE low, the chip driving the data.
    void StartFuseRead(bool bs2LowAgain);
    // The three-sample read: fuse low, fuse high, lock.
    void ReadFuseLockBytes();

protected:
    void DriveLine(int n, bool high) override { high ? LineHigh(n) : LineLow(n); }
    void PutDataByte(std::uint8_t b) override;
    void BeforeLoad() override;
    void WaitWritten() override { WriteWait(); }

    // The levels around an operation, set after the entry (none unless a form
    // sets them): for the writes and for the reads.
    virtual void VccForWriting() {}
    virtual void VccForReading() {}
    // Write of the page-write forms after its entry and current check: the
    // flash pages (`pageWaits` waits of 1 ms each), "OK", the reading level, the
    // supplies off.
    void WritePagesAfterEntry(int pageWaits);
    // Verify after its entry and current check: the chip drives the data, the
    // flash against the image, "OK!!!", the supplies off.
    void VerifyAfterEntry();
    // R.Data: the EEPROM into the image; `showEnd` puts the EEPROM end into the
    // address display.
    void ReadEepromPass(bool showEnd);
    // Signature bytes 0-2 (in programming mode): supplies off, LastReadId and
    // "ID: %02x,%02x,%02x".
    void ReadId();
    // The AT90S8515 socket of the setup: the PLCC44 design and pins where the
    // device name has a package mark, the DIP40 ones otherwise.
    void SetupAt90s8515Socket(AvrRow& r);

    HvVariant variant_;
};


}  // namespace quilla
