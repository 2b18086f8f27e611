// The frame of the firmware-hub forms (keywords I82802 and SST49LF008): hub
// and low-pin-count flash programmed through its address-multiplexed
// programmer interface by the design "i82802.bit" (sim/designs/i82802.h
// documents it). The chip address goes into latches 3, 4 and 5, the data byte
// into latch 0; the chip's control signals are the design's control lines
// (register 18); 0x37 reads 1 KiB and advances the address, 0x3D and 0x3C
// program a byte and advance it.
//
// The forms share the look of the socket forms (offsets window, progress,
// address field, status, batch) but none of their pin routines: every
// operation starts with the ID comparison and a power-up of the chip.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "algo/memory/memory_form.h"

namespace quilla {

// One row of a hub form's device table (designated initialisers); row 0 is the
// placeholder, never selected.
struct FwhRow {
    std::int32_t LastAddress = 0;          // chip size - 1
    std::uint8_t VccPin = 0;               // 36
    std::uint8_t VppPin = 0;               // 5 (TI82802ax: erase, write and ID)
    std::int32_t BlockSize = 0;            // 82802 rows: 0x10000
    std::int32_t Boundary21 = 0;           // AT49LL rows: blocks from here get 21h
    std::span<const std::int32_t> BlockStarts{};  // AT49LL rows
    std::uint32_t ContactLo = 0, ContactHi = 0;

    bool Filled() const { return LastAddress > 0; }
};

class FwhForm : public MemoryForm {
public:
    FwhForm(Workbench& wb, std::string caption);

    // ---- handlers (Erase, Write and the batch are the members') -----------------------
    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void MFGClick() override;
    void OnClose() override;
    void SetupForDevice() override;

    // ---- state ------------------------------------------------------------------------
    std::vector<FwhRow> Table;

    int VariantCount() const override;
    std::string DeviceLineError() const override;
    int ReadIdForSelfCheck() override;
    const FwhRow* SelectedRow() const;

    // ---- routines ---------------------------------------------------------------------
    // Contact test, the chip switched off and on, the interface lines raised and
    // RST# pulsed, address 0 in read state. False after a contact or
    // over-current failure.
    bool FlashPowerUp();
    void FwhSetAddress(std::int32_t address);
    // True to go on: no ID expected, the ID read matches, or the user said Yes.
    bool CheckDeviceId();
    void ShowProgress(std::int32_t value);
    virtual void FillVariantTable() = 0;

protected:
    // ---- what the members do differently ------------------------------------------------
    virtual int VppMillivolts() const = 0;     // VPP level set at setup
    virtual void ShowCaption(const FwhRow&) {}  // TI82802ax: "0 to %x"
    // Read: everything between "RD!" and the first block; false ends it.
    virtual bool ReadBegin(const FwhRow& r) = 0;
    virtual bool ReadStopsAtLength() const = 0;
    virtual void ReadEnd() {}
    // Blank: after the power-up, the address set to the Device offset.
    virtual void BlankBegin(std::int32_t deviceOffset) = 0;
    // Verify: after the power-up, before the address.
    virtual void VerifyBegin() {}
    // ID: the chip put into its identifier mode at address 0.
    virtual void IdEntry(const FwhRow& r) = 0;

    const FwhRow& Row();
    // 1 KiB blocks from the Device offset (image from the File offset) while
    // done <= the last address, up to Device offset + Length; none reaches past
    // the chip's last address.
    struct Block {
        std::int32_t chip, file, count;
    };
    std::vector<Block> VerifyPlan(const FwhRow& r) const;
    // 0x37: 1 KiB from the address the design holds, into buf.
    void ReadBlock(std::uint8_t* buf);
    void ReadState();   // line 1 high, line 3 low
    void WriteState();  // line 1 low, line 3 high
    // The ID operation's read into LastReadId; false when the power-up failed.
    bool ReadId();

    // The rows of the hub window before and after the member's own: the
    // offsets, the type and the operation buttons; the batch and the foot.
    ControlRows WindowHead();
    static ControlRows WindowFoot();
};

}  // namespace quilla
