// The frame of the AVR forms that program in the high-voltage parallel mode
// (ATmega page-write forms, AT90S word-write forms). It holds the device rows,
// the EEPROM position in the image and the programming layer: the control
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

#include "algo/common/form.h"

namespace quilla {

// One row of a form's device table; row 0 is the placeholder.
struct AvrRow {
    std::string Name;
    int VppPin = 0, VccPin = 0, GndPin = 0;  // socket pins of RESET, VCC, GND
    std::int32_t FlashLast = 0;              // bytes
    std::int32_t EepromLast = 0;             // bytes
    std::int32_t EepromPage = 0;             // bytes; 0: the EEPROM is written byte by byte
    std::int32_t FlashPage = 0;              // bytes; 0: word writes
    std::uint32_t MaskLo = 0, MaskHi = 0;    // contact masks (0 and 0: no contact test)

    bool Filled() const { return FlashLast > 0; }
};

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

class AvrHvForm : public AlgoForm {
public:
    AvrHvForm(Workbench& wb, std::string caption, HvVariant variant);

    // ---- device table ------------------------------------------------------------
    std::vector<AvrRow> Rows;
    std::int32_t EepromOffset = 0;
    int VariantCount() const override;
    std::string DeviceLineError() const override;
    // The selected row, or null when VariantIndex names no filled row.
    const AvrRow* SelectedRow() const;

    // ---- the programming layer ------------------------------------------------------
    void LineLow(int n);
    void LineHigh(int n);
    void DataDirection(int chipDrives);
    void StrobeByte(std::uint8_t b);
    void LoadAddress(std::uint8_t b);
    void LoadData(std::uint8_t b);
    void LoadCommand(std::uint8_t c);
    void ReadLatch();
    void WrPulse();
    virtual void PagelPulse();
    // 1: in programming mode; 0: the contact check refused (it has reported).
    virtual int EnterProgramming();
    void ReadFlashWord(std::int32_t a);
    void ReadEepromByte(std::int32_t a);
    void ReadSignatureByte(int i);
    void ReadCalibrationByte(int i);
    void WriteEepromByte(std::int32_t a, std::uint8_t b);
    // One flash word of a part without pages: low byte, write, high byte, write.
    void WriteFlashWord(std::int32_t a, std::uint16_t word);
    int WriteWait();
    void WriteFuseLow(std::uint8_t b);
    void WriteFuseHigh(std::uint8_t b);
    void WriteLock(std::uint8_t b);
    void ChipErase();
    // Page programming of the whole flash / EEPROM; `pageWaits` waits of 1 ms
    // after each page.
    virtual void ProgramFlashPages(int pageWaits);
    void ProgramEepromPages(int pageWaits);
    // The three-sample read: fuse low, fuse high, lock.
    void ReadFuseLockBytes();
    void SuppliesOff();

protected:
    // ---- for the forms --------------------------------------------------------------
    const AvrRow& Row();  // refuses when no row is selected
    virtual void FillRows() = 0;
    // The text of the form's speed box ("Slow  " lengthens the write wait).
    virtual std::string SpeedText() const;

    // Setup's device-line check: false after showing the message (nothing sent).
    bool CheckDeviceLine();
    // A key value the form refuses (empty when the line is fine).
    virtual std::string KeyError() const { return {}; }

    // EEPROM position, end address and the Note label.
    void PlaceEeprom(const AvrRow& r);
    // "%04x" of a value (a negative one as 0) into an edit.
    void ShowAddress(const std::string& edit, std::int32_t value);
    // Progress bar 0..flash last, the address into Edit6.
    void ShowProgress(std::int32_t value);
    // Without the hex window: "Must open a file to write...", the step fails.
    bool RequireFileWindow();

    // Flash reads in blocks of `blockBytes` (a multiple of 2, at most 128) from
    // 0 while below the flash last address: each block's words, then one reply.
    // `onBlock(start, reply)` returns false to stop.
    bool ReadFlashBlocks(int blockBytes, const std::function<bool(std::int32_t, const std::uint8_t*)>& onBlock);
    void ReadEepromBlocks(const std::function<void(std::int32_t, const std::uint8_t*)>& onBlock);

    // Flash against the image in blocks: the first difference shows "Failed..! ",
    // sets ErrorFlag, shows the block and switches the supplies off (false).
    bool VerifyFlashBlocks(int blockBytes);
    // Signature bytes 0-2 (in programming mode): supplies off, LastReadId and
    // "ID: %02x,%02x,%02x".
    void ReadId();
    // Stores calibration bytes at the image address typed into an edit (read
    // whole, hexadecimal). An address of 0, text that is no number, or an address
    // whose bytes would leave the image: "校准Add 不能等于0", ErrorFlag 1, nothing
    // stored; otherwise ErrorFlag 0.
    bool StoreCalibration(const std::string& edit, std::span<const std::uint8_t> bytes);

    std::uint8_t* Image(std::int32_t index) { return wb.ImageBuffer.data() + index; }

    HvVariant variant_;
};

namespace avr {

// "CheckBox<k>".
std::string Box(int k);
// A byte from eight boxes from CheckBox<first>: bit k is 1 when box first + k is
// not ticked (a ticked box is a programmed bit; a hidden or disabled box counts
// as unticked).
std::uint8_t ByteFromBoxes(const AlgoForm& f, int first);
// Ticks eight boxes from CheckBox<first> where the byte's bit is 0.
void BoxesFromByte(AlgoForm& f, int first, std::uint8_t value, int bits = 8);
// The package pictures of the device name's marks "*P44" and "*Q44".
void ShowPackagePicture(TEp3& ep3, const std::string& typeText);
bool HasPackageMark(const std::string& typeText);
// A row's pins and contact masks.
void SetPins(AvrRow& r, int vpp, int vcc, int gnd, std::uint32_t lo, std::uint32_t hi);

}  // namespace avr

}  // namespace quilla
