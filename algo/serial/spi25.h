// SPI 25-series serial memories through the design "at25spi.bit": the form
// queues one opcode per byte (0x38 out, 0x39 in) and drives /CS with control
// line 4 (low selects). Sizes, page, write wait, erase time and supply come
// from the device line's keys (len=, pag=, dly=, era=, vcc=).
//
//   TActrans25x  ACTRANS25  three address bytes, chip erase, blank check, ID
//   TAt25spi1    AT25SPI    two address bytes
//
// Instructions: 03 READ, 02 WRITE, 06 WREN, 05 RDSR, 01 WRSR, the row's erase
// and ID opcodes. One READ streams the whole chip, 64 bytes a reply; a page
// is WREN, then WRITE with its address and data, then dly + 2 waits of 1 ms.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "algo/serial/serial_form.h"

namespace quilla {

class Spi25Form : public SerialForm {
public:
    struct Row {
        std::string Name;
        int Vcc = 0, Gnd = 0;
        std::uint8_t EraseOpcode = 0, IdOpcode = 0;
        std::uint32_t MaskLo = 0, MaskHi = 0;
    };
    std::vector<Row> Table;

    void OnClose() override { Ep3.PowerOff(); }
    void SetupForDevice() override;

    // ---- SPI primitives (queued) ----------------------------------------------------------
    void Select() { Ep3.ControlLineLow(4); }
    void Release() { Ep3.ControlLineHigh(4); }
    void SpiShiftOut(std::uint8_t b);
    void SpiShiftIn();
    // Contact test, /CS high, VCC off, a 10 ms wait, VCC on; false when the
    // contact test said no (the step fails).
    bool SpiPowerUp();

    // ---- handlers -----------------------------------------------------------------------------
    void ReadRom() override;
    void VerifyClick() override;
    void WriteClick() override;
    void Button3Click();  // R.STATUS
    void Button2Click();  // W.Status
    void Button4Click();  // Unlock

    // The rows both windows start with: the buttons, the status group and the
    // fields; and the status buttons' handlers.
    static ControlRows CommonRows();
    static const Handlers<Spi25Form>& StatusHandlers();

    // The settings of the last setup.
    int Size = 0, Page = 0, Dly = 0, Era = 0;

protected:
    Spi25Form(Workbench& wb, std::string caption, int addressBytes);
    int TableSize() const override { return static_cast<int>(Table.size()); }
    std::string KeyError() const override;
    const Row& Selected() { return Table[static_cast<std::size_t>(RowIndex())]; }
    void Progress(int i) { ShowProgress(i, Size); }
    void SendAddress(int a);
    // Power-up and the over-current check.
    bool Begin();
    // READ from address 0 with /CS low.
    void StartRead();
    // WREN (06h) in its own selection.
    void WriteEnable();
    // WRSR (01h) of `value` after WREN, the wait, VCC off, "OK".
    void WriteStatus(std::uint8_t value, std::uint8_t wait);
    // The read pass of Read, Blank and Verify: the chip looked for, READ from 0,
    // then each 64-byte reply handed to `block` (its start address); false from
    // it (the block's fault handled there) or a refused start ends the pass: false.
    bool ReadPass(const Row& r, const std::function<bool(int)>& block);
    // The wait after a status write (28 for ACTRANS25, 27 for AT25SPI).
    virtual std::uint8_t StatusWait() const = 0;

    int addressBytes_;
};

class TActrans25x : public Spi25Form {
public:
    explicit TActrans25x(Workbench& wb);
    void FillVariantTable() override;
    void EraseClick();
    void BlankClick();
    void Button5Click();  // " ID "
    void Button1Click();

protected:
    std::string KeyError() const override;
    std::uint8_t StatusWait() const override;
};

class TAt25spi1 : public Spi25Form {
public:
    explicit TAt25spi1(Workbench& wb);
    void FillVariantTable() override;
    void Button1Click();

protected:
    std::uint8_t StatusWait() const override;
};

}  // namespace quilla
