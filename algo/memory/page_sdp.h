// The page-write memories with software data protection: 5 V page-write flash
// (SST29EE, AT29C, W29C: TSst29eex, TP29cx, TW29cx, TP29c256) and page-write
// EEPROMs (AT28C: TP28cx, TAt28c256x). A page is loaded in one burst and
// written by the chip in one internal cycle; the protection goes off with the
// six cycles AA, 55, 80, AA, 55, 20 at 5555h, 2AAAh, 5555h, 5555h, 2AAAh, 5555h
// and on with AA, 55, A0 at 5555h, 2AAAh, 5555h, each followed by a rewrite of
// page 0 with its own contents; AA, 55, 80, AA, 55, 10 erases a flash chip.
//
// The members share the design "vex300.bit" and its bus cycles (0x29/0x2A
// command cycles at 5555h/2AAAh, 0x2B/0x2C latch-2 writes strobed on socket 35
// or 33, 0x53 page loads by CE pulses with WE held low, 0x2E the 10 ms strobe
// on socket 7; see sim/README.md), and differ in the knobs below.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "algo/memory/socket_form.h"

namespace quilla {

class PageSdpForm : public SocketForm {
public:
    PageSdpForm(Workbench& wb, std::string caption);

    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void Button1Click() override;
    virtual void UnprotectClick();
    virtual void ProtectClick();
    void EraseClick() override;

    // One protection cycle as an address-and-data write: the address, latch 2,
    // the row's strobe (0x2C on a WE pin 33, else 0x2B). Queues only.
    void WriteAtAddress(std::int32_t address, std::uint8_t data);

    static std::int32_t Page(const VariantRecord& r) { return r.PageSizeMinus1 + 1; }

protected:
    // How A8 and up are routed: the flash forms (28-pin rows by their VCC pin 34:
    // A8-A14, then 34 and 7 high; 32-pin rows: A8-A18 with A18 on 5, then 35
    // high), TP28cx (28-pin rows by their WE pin 33: A14 on 7, then 33 high;
    // 32-pin rows as the flash forms), TAt28c256x (A8-A14 with A14 on 7, nothing
    // held high).
    enum class Routing { Flash, Eeprom, Eeprom28Only };
    Routing Route = Routing::Flash;

    // The handlers that route ground to pin 20 before VCC.
    enum Handler : unsigned { kRead = 1, kBlank = 2, kVerify = 4, kWrite = 8, kLock = 16, kErase = 32 };
    unsigned GroundIn = kRead | kBlank | kVerify | kWrite | kLock | kErase;
    bool ContactInLock = true;      // Unlock and Lock run the contact test
    bool CyclesByAddress = false;   // protection cycles by WriteAtAddress (EEPROMs)
    bool PreLoopAddress = true;     // Write sets the first page's address (and flushes) before the loop
    bool PreLoopLongWait = false;   // ... with a long wait (TAt28c256x)
    bool ByteLatched = false;       // pages written byte by byte through latch 2 (TW29cx)
    int FixedWaits = 0;             // a page's write-cycle waits; 0: Speed + 2
    bool VccOffBeforeWrite = false; // TP29c256
    bool EepromReadBack = false;    // the EEPROM forms' read-back (CE, OE low after the address)
    bool LongWaitInBlank = false;   // TAt28c256x: Blank starts with 0x1C instead of ground
    bool PageZeroInReply = false;   // TAt28c256x: page 0 read into the reply buffer, 0x1C before the cycles
    bool MassProduction = false;    // the EEPROM forms' batch repeats in mass production
    const char* KeepCaption = nullptr;  // the caption setup leaves as it is

    std::vector<int> HighAddressPins() const override;
    void AfterHighAddressPins() override;
    bool PowerUp(const VariantRecord& r) override;
    bool WriteBegin(const VariantRecord& r) override;
    bool WriteBlockBegin(const VariantRecord& r) override;
    void ProgramBlock(const VariantRecord& r, const Block& b) override;
    void WriteBlockEnd(const VariantRecord& r, const Block& b) override;
    bool ReadBack(const VariantRecord& r, const Block& b) override;
    std::vector<BatchStep> BatchSteps() override;

    // The memory operations and the page forms' own buttons, Protect (Lock) and
    // Unprotect (Unlock): the handler table of their windows. (The rows of their
    // tables name the WE pin as the program pin.)
    template <class Form>
    static Handlers<Form> PageOperations(Form* f) {
        return Operations(f, {{"Protect", &Form::ProtectClick}, {"Unprotect", &Form::UnprotectClick}});
    }
    // The page rules of the chosen row: the offsets window keeps to pages, Write
    // cuts pages and reads back every `readBackEvery` bytes of chip address.
    void UsePage(const VariantRecord& r, std::int32_t readBackEvery);
    // The end of setup: buffer window, type field, Length and the offsets.
    void ShowRow(const VariantRecord& r);
    // Setup after SetupBegin, the design loaded at the line's VCC (2.5 V at
    // least). Flash: pages read back every 1 KiB, VPP 0 V, then the
    // bit-reversed address latch (`bitReverse`) or ground on pin 20, the row
    // shown. Eeprom: ground on pin 20, VPP at 12 V for the chip clear, pages
    // read back every 256 bytes, the row shown.
    void SetupFlash(const VariantRecord& r, bool bitReverse);
    void SetupEeprom(const VariantRecord& r);

    // The protection exchanges.
    bool LockStart(const VariantRecord& r, std::array<std::uint8_t, 1024>& page0);
    void CommandCycle(std::uint16_t address, std::uint8_t data);
    std::uint8_t Strobe(const VariantRecord& r) const;
    void RewritePageZero(const VariantRecord& r, const std::uint8_t* bytes, std::uint8_t strobe);
    // The command chip erase of the flash forms (Unlock first).
    void CommandErase();
    // The EEPROM chip clear: 12 V on OE (TAt28c256x).
    void HighVoltageClear();

    unsigned running_ = 0;  // the handler whose PowerUp comes next
};

}  // namespace quilla
