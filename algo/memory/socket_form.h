// The frame of every byte-wide parallel memory form whose chip sits in the
// programmer's 40-pin area (EPROMs, electrically erasable EPROMs, EPROM-pinout
// flash, EEPROMs, JEDEC- and Intel-command flash): one window, one offsets
// window, one address routine, one operation skeleton with the same flush and
// read-back points, and one batch. A family form supplies its device table and
// what differs (the programming of a block, erase, extra buttons).
//
// Socket placement: the chip sits bottom-aligned in the 40-pin area, ground on
// socket pin 20; CE is socket pin 26, OE socket pin 28. Address bits A0..A7 go
// through output latch 1 (bit-reversed: A0 is latch bit 7), A8 and up are socket
// pins driven one by one; data goes through latch 2. Opcode 0x27 reads 1 KiB
// from the address set, 0x28 steps the address by one (design "vex300.bit").
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "algo/memory/memory_form.h"

namespace quilla {

// One row of a socket form's device table. Each family uses the columns it
// needs; row 0 is the placeholder, never selected.
struct VariantRecord {
    std::string Name;                  // the part; the caption of the forms that show it
    std::int32_t LastAddress = 0;      // chip size - 1: bound of every loop, EndAddr
    std::int32_t PageSizeMinus1 = 0;   // page forms only
    std::uint32_t ForcedHigh = 0;      // ~LastAddress: address pins above the chip driven high
    std::uint8_t VccPin = 0;           // socket pin that receives VCC
    std::uint8_t VppPin = 0;           // socket pin that receives VPP while programming
    std::uint8_t ProgramPin = 0;       // socket pin pulsed to program one byte (the WE pin of the page forms)
    std::int8_t PulseCode = 0;         // family: program pulse choice
    std::int32_t VppMv = 0;            // family: programming voltage
    std::int32_t VccMv = 0;            // family: the row's own supply level (0: the form's)
    std::uint32_t ContactLo = 0;       // socket pins 1..32 that must answer the contact test
    std::uint32_t ContactHi = 0;       // socket pins 33..48

    bool Filled() const { return LastAddress > 0; }
};

// Contact masks from inclusive socket pin ranges: {{8, 31}, {33, 34}}.
std::pair<std::uint32_t, std::uint32_t> ContactPins(const std::vector<std::pair<int, int>>& ranges);

// A row as the tables write it, with designated initialisers:
//   MakeVariant({.name = "2716    12.7v", .last = 0x7FF, .vccPin = 32, .vppPin = 29, .programPin = 26,
//                .pulseCode = 100, .vppMv = 12500, .contactPins = {{9, 32}}})
struct VariantFields {
    const char* name = "";
    std::int32_t last = 0;     // LastAddress
    std::int32_t page = 1;     // page size in bytes (PageSizeMinus1 + 1)
    int vccPin = 0, vppPin = 0, programPin = 0;
    int pulseCode = 0;
    std::int32_t vppMv = 0, vccMv = 0;
    std::vector<std::pair<int, int>> contactPins{};  // inclusive socket pin ranges (ContactPins)
};
// The row of those fields, its forced-high mask the complement of its last address.
VariantRecord MakeVariant(const VariantFields& f);

// The status texts of the shared operations (each member words them its own way).
struct SocketTexts {
    const char* Read = "Read.";
    const char* ReadDone = "OK!";
    const char* Blank = "Blank CHK";
    const char* BlankDone = "Blank.";
    const char* Verify = "Verify.";
    const char* VerifyDone = "Data OK!";
    const char* Write = "Write";
    const char* WriteDone = "OK!";
};

// How the Write frame cuts the work: blocks of `Block` bytes from both offsets
// rounded down to `Align`, a block read back (1 KiB from its start, its own
// bytes compared) when its chip address is a multiple of `ReadBackEvery` (0:
// never). EPROMs: 1,024 / 256 / 1,024; page forms: the page / the page / 1,024
// or 256.
struct WriteRule {
    std::int32_t Block = 1024;
    std::int32_t Align = 256;
    std::int32_t ReadBackEvery = 1024;
};

class SocketForm : public MemoryForm {
public:
    // Where the 28- and 32-pin parts' control pins and ground sit in the socket
    // (chip seated from the bottom of the 40-pin socket), and the ID field's label.
    static constexpr int kCE = 26;
    static constexpr int kOE = 28;
    static constexpr int kWE = 35;
    static constexpr int kGround = 20;
    static constexpr const char* kMfgIdLabel = " MFG ID   \xef\xbc\x9a";
    // The ID field of the socket window.
    static constexpr const char* kId = "Edit4";

    SocketForm(Workbench& wb, std::string caption, int tableRows);

    // ---- the socket window's own rows (beside the shared ones of MemoryForm) ------------------
    // The ID field Edit4 (read-only) and its label Label4 " MFG ID   ：".
    static ControlRow IdField();
    static ControlRow IdLabel();
    // The write-speed choice of the page-write forms: "Speed " with Normal
    // (chosen), Mid. and Slow.
    static ControlRow SpeedRadio();

    // The page forms keep their offsets on pages and Length in the page's low
    // bits, also whenever the form is activated.
    void OnActivate() override;

    // ---- the shared operations (each form may replace one) ----------------------
    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void MFGClick() override;
    void Button1Click() override;
    void OnClose() override;

    // ---- state ----------------------------------------------------------------------
    std::uint8_t ReadMode = 12;
    std::uint8_t WriteMode = 15;
    std::vector<VariantRecord> Table;

    // ---- for the catalogue self-check -------------------------------------------------
    int VariantCount() const override;
    std::string DeviceLineError() const override;

    // The selected row, or null when VariantIndex names no filled row.
    const VariantRecord* SelectedRow() const;

    // The device line's "vcc=" level in millivolts; a value below `floor` (an
    // absent key gives 0) counts as 5,000. Forms that read the key set
    // UsesVccKey: a level above MaxLineVcc is then a bad device line.
    int LineVcc(int floor) const;
    static constexpr int MaxLineVcc = 6500;
    bool UsesVccKey = false;

    // ---- routines of the frame (public so tests can check their command streams) ------
    void SetAddressParallel(std::int32_t address);
    void ShowAddress(const std::string& edit, std::int32_t value);
    void ShowProgress(std::int32_t value);
    // Builds the rows (the family's values).
    virtual void FillVariantTable() = 0;

protected:
    // The high address pins A8, A9, ... in the frame's order, and what the form
    // does after them (TPW27x drives pin 5 high).
    virtual std::vector<int> HighAddressPins() const;
    virtual void AfterHighAddressPins() {}
    // The 32-pin flash routing of the page-write and command-set flash forms:
    // A8 31, A9 30, A10 27, A11 29, A12 8, A13 32, A14 33, A15 7, A16 6, A17 34,
    // A18 5 (their WE pin 35 is then held high).
    static std::vector<int> FlashHighPins32() { return {31, 30, 27, 29, 8, 32, 33, 7, 6, 34, 5}; }

    // The selected row; refuses (status text, nothing sent) when there is none.
    const VariantRecord& Row();
    // Refuses when the Device offset lies outside the chip.
    using MemoryForm::RequireDeviceOffset;
    void RequireDeviceOffset(const VariantRecord& r) { RequireDeviceOffset(Offsets.DeviceOffset, r.LastAddress); }
    // Refuses when image indexes [first, first + count) leave the image.
    using MemoryForm::RequireImageRange;
    void RequireImageRange(std::int64_t first, std::int64_t count) {
        RequireImageRange(first, count, Offsets.FileOffset);
    }

    // Prologue pieces: contact test (false: abandon), VCC on and the
    // over-current check (false: abandon; members add their ground routing).
    bool ContactTest(const VariantRecord& r);
    virtual bool PowerUp(const VariantRecord& r);
    // The pins a contact test of the row checks: its masks; for a row without
    // masks, when SeatedChipCheck is on, its VCC pin and ground pin 20 (an
    // empty socket must not pass for a blank or programmed chip).
    std::pair<std::uint32_t, std::uint32_t> ContactMasks(const VariantRecord& r) const;
    bool SeatedChipCheck = false;

    // One block of a read-type loop.
    struct Block {
        std::int32_t chip;   // first chip address
        std::int32_t file;   // first image index (Verify and Write)
        std::int32_t count;  // bytes inside the chip, 1..1024
    };
    // Reads 1,024 bytes from `chip` (0x27) into buf; fewer bytes end the program.
    void ReadBlock(std::int32_t chip, std::uint8_t* buf);

    // Blank and Verify loop while done < last address (false) or <= (true).
    bool LoopInclusive = false;
    // The Read of the later members: status before VCC, Length kept, no settle
    // wait, blocks while the address is at most the last address.
    bool ReadLikeLaterForms = false;
    // Blank checks from chip address 0 whatever the Device offset, while the
    // address is at most the last one, stopping after the block at or beyond
    // Length; it reports chip addresses.
    bool BlankFromZero = false;
    // Read, Blank and Verify end with every socket pin driven low.
    bool EndWithPinsLow = true;
    SocketTexts Texts;

    // ---- Write frame hooks ------------------------------------------------------------------
    WriteRule Writing;
    // After the contact test: supplies and pins before the first block; false abandons.
    virtual bool WriteBegin(const VariantRecord& r);
    // At the start of each block, after the write mode, the address and the progress
    // (routes VPP again); false abandons the write (a fault the engine reported).
    virtual bool WriteBlockBegin(const VariantRecord& r);
    // Queues the programming of the block's bytes: by default ProgramByte for
    // each, the address stepped (0x28) after every byte but the chip's last.
    virtual void ProgramBlock(const VariantRecord& r, const Block& b);
    // Queues the programming of one byte (a form whose Write is its own has none).
    virtual void ProgramByte(const VariantRecord& r, std::uint8_t data);
    // Read, Blank and Verify: the row's pins a member sets before CE and OE go
    // low (Read after address 0, Blank and Verify after the read mode).
    virtual void BeforeReadEnable(const VariantRecord& r) { (void)r; }
    // After the block's bytes, before the frame's flush (a page's write-cycle wait).
    virtual void WriteBlockEnd(const VariantRecord& r, const Block& b) { (void)r, (void)b; }
    // The read-back of a block (when its address is a multiple of ReadBackEvery):
    // VPP off where used, read mode, address, CE and OE low, 1 KiB read, the
    // block's bytes compared. False after a mismatch (already reported).
    virtual bool ReadBack(const VariantRecord& r, const Block& b);
    // The family uses VPP while programming (switched off before each read-back).
    bool UsesVpp = true;

    // Setup's view of the chosen row: caption "0 to %x", the type line, the
    // buffer window's end address at the chip's last address, redrawn.
    void ShowVariant(const VariantRecord& r);

    // The blocks of `size` bytes a Verify or Write covers (never past the chip's
    // last address).
    std::vector<Block> PlanBlocks(const VariantRecord& r, std::int64_t chip, std::int64_t file,
                                  std::int64_t doneLimit, bool inclusive, std::int32_t size = 1024) const;
    // With CutAtRippleBoundary a block that crosses a 256 KiB boundary is cut
    // there and the rest is a block of its own.
    std::vector<Block> VerifyPlan(const VariantRecord& r) const;
    // The 32-pin flash routing (FlashHighPins32): the design's address step
    // ripples a carry out of A17 onto socket 35 (these parts' WE) before A18, so
    // neither 0x28 nor 0x27 may step across a 256 KiB boundary; there the form
    // sets the full address instead. Verify's blocks are cut at it.
    static constexpr std::int32_t kRippleBoundary = 0x40000;
    bool CutAtRippleBoundary = false;
    // The blocks of Writing from the rounded offsets while done < Length.
    std::vector<Block> WritePlan(const VariantRecord& r) const;
    // Refuses a plan whose image range leaves the 8 MiB buffer.
    void RequireImageRange(const std::vector<Block>& plan);

    // A one-pass batch whose write box is ticked needs the hex buffer window:
    // without it the message box "Must open a file to write..." and false.
    bool FileWindowForWrite(const char* writeBox);

    // Setup pieces shared by the members. Returns false when setup stopped.
    // Variant check, ResetPins, `noLink` ("Comm Err.") or "OK ", FileNew, show, table.
    bool SetupBegin(const char* noLink = "Comm Err.");
    // Loads the form's design, sets the VCC level and the port modes (write 15, read 12).
    void LoadDesign(int vccMv, const char* design = "vex300.bit");

    void Flush() { Ep3.UsbFlush(); }
    void Put1(std::uint8_t op) { Ep3.UsbPut1(op); }

    // The batch steps of the form, in order.
    virtual std::vector<BatchStep> BatchSteps();
};

}  // namespace quilla
