// The frame of the AVR forms, whatever their programming mode (high-voltage
// parallel, serial SPI, high-voltage serial): the device rows indexed by
// VariantIndex with row 0 the placeholder, the EEPROM position in the image,
// the address and progress display, the file-window rule of the writes, the
// calibration store, the batch steps, and the rows and handlers the windows
// share. Each mode's layer derives from it (hv_form.h, spi_form.h, hvsp_form.h).
//
// A form declares its window as one table of rows built from the shared ones
// (avr::ParallelButtons, avr::BatchGroup, ...) with its own between them, and
// binds the handlers by control name: DeclareControls(rows, this,
// avr::Operations(this, {its own handlers})).
//
// Image layout: flash byte a at image offset a (word w at 2w, low byte first),
// EEPROM byte i at EepromOffset + i, EepromOffset = flash last address + 1.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "algo/common/scan.h"
#include "algo/common/window.h"

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
    int WriteWaits = 0;                      // serial forms: 1 ms waits after each write
    int FuseGroup = 0;                       // high-voltage serial forms: the fuse captions' group
    int InstructionWaits = 0;                // high-voltage serial forms: 10 us waits in each frame
    std::string Design{};                    // high-voltage serial forms: the row's design file
    // Host-driven forms: the socket pins of RESET, RDY, OE, WR, BS1, XA0, XA1, XTAL1.
    std::array<int, 8> PinMap{};

    bool Filled() const { return FlashLast > 0; }
};


class AvrForm : public AlgoForm {
public:
    AvrForm(Workbench& wb, std::string caption) : AlgoForm(wb, std::move(caption)) {}
    void OnClose() override { Ep3.PowerOff(); }

    // ---- device table ------------------------------------------------------------
    std::vector<AvrRow> Rows;
    std::int32_t EepromOffset = 0;
    int VariantCount() const override;
    std::string DeviceLineError() const override;
    // The selected row, or null when VariantIndex names no filled row.
    const AvrRow* SelectedRow() const;

    // ---- the operations of every AVR form (the window and the batch run them) -------
    virtual void ReadRom() = 0;
    virtual void EraseClick() = 0;
    virtual void BlankClick() = 0;
    virtual void WriteClick() = 0;
    virtual void VerifyClick() = 0;
    virtual void WrDataClick() = 0;
    virtual void WtFuseClick() = 0;
    virtual void SecrityClick() = 0;
    virtual void ReadFuseClick() = 0;
    virtual void RdDataClick() = 0;
    // R.RC校准 of the forms that read calibration bytes (nothing elsewhere).
    virtual void RdCalibrateClick() {}

protected:
    const AvrRow& Row();  // refuses when no row is selected
    virtual void FillRows() = 0;
    // The text of the form's speed box ("Slow  " lengthens the write wait).
    virtual std::string SpeedText() const;

    // A key value the form refuses (empty when the line is fine).
    virtual std::string KeyError() const { return {}; }
    // The error of a pkg= value outside `ok`: "Bad device line: pkg=N is not a
    // package of KEYWORD (`choices`)", with `unnamed` for a line without a
    // keyword; empty for a listed value.
    std::string PackageError(std::initializer_list<int> ok, const char* unnamed, const char* choices) const;

    // EEPROM position, end address and the Note label: "Buffer %xh =
    // Data(EEPROM)0000h." or "EEPROMAdd ：%04x".
    enum class EepromNote { Buffer, Add };
    void PlaceEeprom(const AvrRow& r, EepromNote note = EepromNote::Buffer);
    // The end of a setup: a new image with the EEPROM placed (`note`), the device
    // name in Edit7, `fields` (the form's own edits), the window shown.
    void ShowNewImage(const AvrRow& r, EepromNote note = EepromNote::Buffer, const std::function<void()>& fields = {});
    // The row's GND pin and the setup's levels.
    void SetLevels(const AvrRow& r, int vccMv, int vppMv);
    // Progress bar 0..flash last, the address into Edit6.
    void ShowProgress(std::int32_t value);
    // Without the hex window: "Must open a file to write...", the step fails.
    bool RequireFileWindow();
    // The start of a write: the file-window rule, `status`, the entry and the
    // over-current check; false ends the handler.
    bool BeginWrite(const char* status);

    // Stores calibration bytes at the image address typed into an edit (read
    // whole, hexadecimal). An address of 0, text that is no number, or an address
    // whose bytes would leave the image: "校准Add 不能等于0", ErrorFlag 1, nothing
    // stored; otherwise ErrorFlag 0.
    bool StoreCalibration(const std::string& edit, std::span<const std::uint8_t> bytes);

    std::uint8_t* Image(std::int32_t index) { return wb.ImageBuffer.data() + index; }

public:
    // ---- the mode layer's primitives -----------------------------------------------
    // Programming voltage and supplies off.
    virtual void SuppliesOff();
    // Into programming mode: 1 when entered, 0 when a check refused (it has reported).
    virtual int EnterProgramming() = 0;
    // Queue the reads of the flash word at byte address `a` (low byte, then
    // high byte) and of one EEPROM byte; the reply holds them in queue order.
    virtual void ReadFlashWord(std::int32_t a) = 0;
    virtual void ReadEepromByte(std::int32_t a) = 0;
    // One flash word of a part without pages, one EEPROM byte.
    virtual void WriteFlashWord(std::int32_t a, std::uint16_t word) = 0;
    virtual void WriteEepromByte(std::int32_t a, std::uint8_t d) = 0;
    // The row's write waits of 1 ms (WriteWaits), twice as many for "Slow  ".
    void RowWriteWait();

protected:
    // The entry, then the over-current check.
    bool EnterAndCheck();
    // The lock byte of the boxes Lb1 and Lb2: bit 1 cleared for LB1, bit 2 for LB2, the others 1.
    std::uint8_t LockBitsFromBoxes() const;
    // The lock byte of the LockMode item (RadioGroup1; bit 1 LB1, bit 2 LB2, 0
    // programmed): 00h both, 04h LB1, 02h LB2, 06h neither; no item chosen: 00h.
    std::uint8_t LockFromMode() const;

    // ---- the batch -------------------------------------------------------------------------
    // The batch steps, each its box's operation, in this order: R.RC校准
    // (CheckBoxCalibrate), Ers., Blank?, Write., Vrfy, W.Data, W.Fuse, Lock. A
    // window without one of the boxes runs no such step.
    std::vector<BatchStep> Steps();
    // The mass-production wait for the next chip on the selected row's GND pin
    // and contact masks (the row is taken, or refused, now).
    std::function<bool()> NextChipOnRow();

    // ---- passes over the memories --------------------------------------------------
    // Flash reads in blocks of `blockBytes` from 0 while below the flash last
    // address: each block's words, then one reply; `onBlock(start, reply)`
    // returns false to stop.
    bool ReadFlashBlocks(int blockBytes, const std::function<bool(std::int32_t, const std::uint8_t*)>& onBlock);
    // The flash into the image in blocks of 64 bytes (after a flush), the
    // progress at the flash end.
    void ReadFlashIntoImage();
    // The EEPROM into the image at EepromOffset in blocks of 64 bytes (after a flush).
    void ReadEepromIntoImage();
    // The end of an EEPROM read: the bar at the flash end, the supplies off,
    // "OK", the file window at the EEPROM.
    void EndEepromRead();
    // The flash word by word from the image; every `flushEvery` bytes the
    // progress and a flush, at the end a flush and the progress at the flash end.
    void WriteFlashWords(int flushEvery);
    // W.Data of the byte-write parallel forms: the EEPROM byte by byte, "OK",
    // then the supplies off.
    void WriteEepromByByte();
    // The EEPROM byte by byte from the image; every `flushEvery` bytes the
    // progress and a flush, at the end a flush, the progress at the EEPROM end
    // and the bar at the flash end.
    void WriteEepromBytes(int flushEvery);
    // After the three signature reads were queued: the supplies off, the reply
    // into LastReadId and "ID: %02x,%02x,%02x".
    void ShowReadId();

    // The flash read in blocks of `blockBytes`, every byte FFh. The first other
    // byte shows "No empty.", sets ErrorFlag, shows the block and switches the
    // supplies off (false).
    bool BlankFlashBlocks(int blockBytes);
    // The flash against the image in blocks: the first difference shows
    // "Failed..! ", sets ErrorFlag, shows the block and switches the supplies
    // off (false).
    bool VerifyFlashBlocks(int blockBytes);
    // A passed serial Blank or Verify: ErrorFlag 0, the supplies off, the text,
    // the progress at the flash end.
    void EndFlashCheck(const AvrRow& r, const char* text);

private:
    bool CompareFlashBlocks(int blockBytes, bool againstImage, const char* failText);
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
// Where a setup places the chip: the socket pins of RESET, VCC and GND and the
// contact masks (0 and 0: no contact test).
struct Placement {
    int vpp = 0, vcc = 0, gnd = 0;
    std::uint32_t maskLo = 0, maskHi = 0;
};
void SetPins(AvrRow& r, const Placement& p);

// ---- the rows the AVR windows share (algo/common/window.h) ----------------------------------
// The operation buttons of the parallel and host-driven windows: Read, Erase,
// Blank?, Write (`write`), Vrfy., Lock, W.Fuse, R.Fuse (`readFuse`), then R.Data
// and W.Data with `eeprom`.
ControlRows ParallelButtons(const char* write, const char* readFuse, bool eeprom = true);
// The operation buttons of the serial windows: Erase, Blank?, Write., Vrfy.,
// Read, R.Data, W.Data, R.Fuse, W.Fuse, Lock and the Read ID button `id`.
ControlRows SerialButtons(const char* id);
// The batch steps' boxes, ticked: Ers., Blank?, Write., Vrfy, W.Data (with
// `eeprom`), W.Fuse, Lock.
ControlRows StepBoxes(bool eeprom = true);
// The calibration read's batch box (ticked) and button, both "R.RC校准".
ControlRow CalibrateBox();
ControlRow CalibrateButton();
// The group box `group` "Batch   ": `boxes`, then Run (Button1).
ControlRows BatchGroup(const char* group, ControlRows boxes);
// The group box `group` with the boxes CheckBox<first>, CheckBox<first + 1>, ...
// captioned `captions`; only CheckBox<ticked> starts ticked.
ControlRows BoxGroup(win::Face group, int first, const std::vector<std::string>& captions, int ticked = 0);
// The ATmega lock boxes in GroupBox3, CheckBox17 on: the first `count` of LB1,
// LB2, BLB01, BLB02, BLB11, BLB12, NO USED, NO USED.
ControlRows LockBoxes(int count);
// The serial windows' lock group `caption` (GroupBox3): Lb1 and Lb2, ticked.
ControlRows LbBoxes(const char* caption);
// The speed box: "Fast写", "Slow  " (and a blank item with `blankItem`).
ControlRow SpeedBox(bool blankItem = false);
// The verify level box VeriyVolt, 5.0 V to 2.5 V.
ControlRow VerifyLevels();
// The AT90S and serial windows' readouts: Msg ("Prompt  "), the address Edit6,
// the bar RdBar and the device name Edit7 ("Type").
ControlRows Readouts();
// The ATmega windows' readouts: Note, RdBar, the address Edit6 and Msg, empty.
ControlRows MegaReadouts();
ControlRow ExitButton();

// The handlers every AVR window binds by control name (the operation buttons,
// R.RC校准, Run and Exit), then the form's `own`: the table of the form's
// window (AlgoForm::DeclareControls). A name the window does not show is
// passed over.
template <class Form>
Handlers<Form> Operations(Form*, std::initializer_list<Handler<Form>> own = {}) {
    Handlers<Form> h = {{"Read1", &Form::ReadRom},
                        {"Erase", &Form::EraseClick},
                        {"Blank", &Form::BlankClick},
                        {"Write", &Form::WriteClick},
                        {"Verify", &Form::VerifyClick},
                        {"Secrity", &Form::SecrityClick},
                        {"WtFuse", &Form::WtFuseClick},
                        {"ReadFuse", &Form::ReadFuseClick},
                        {"RdData", &Form::RdDataClick},
                        {"WrData", &Form::WrDataClick},
                        {"RdCalibrate", &Form::RdCalibrateClick},
                        {"Button1", &Form::Button1Click},
                        {"CancelBtn", &Form::Close}};
    h.insert(h.end(), own);
    return h;
}

}  // namespace avr

}  // namespace quilla
