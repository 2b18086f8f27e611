// Parallel EEPROMs written at 5 V with a write-enable pulse (AT28C, X28C and
// the like), one model with a table of parts. Each part follows its
// datasheet's pinout and mode table:
//
//   power       VCC from a programmer supply on the VCC pin inside the part's
//               window, ground at 0 V. Writes are inhibited for the datasheet's
//               power-up delay after VCC arrives.
//   read        CE low, OE low, WE high: the cell at the address pins; while a
//               write cycle runs, DATA polling: the last byte written with DQ7
//               inverted
//   byte load   a low pulse of WE with CE low (or of CE with WE low), OE high:
//               the address is taken when the pulse starts, the data when it
//               ends. A byte part starts its write cycle at once; a page part
//               collects the loads of one page (the last load names the page)
//               until no load has come for the byte-load window, then writes
//               them in one cycle. Loads during a write cycle are ignored.
//   write cycle the part's busy time (the datasheet's typical figure; where a
//               sheet gives only a longer maximum, lowered so that byte-load
//               window and cycle fit the 5 ms the byte-write form waits by
//               default: written beside each part); the loaded bytes
//               replace their cells (the cells are cleared before the write).
//               VCC lost during the cycle: nothing is written.
//   data        parts with SDP: AA 5555h, 55 2AAAh, A0 5555h switches the
//   protection  protection on and opens the window for the loads that follow;
//   (SDP)       AA, 55, 80, AA, 55, 20 at 5555h, 2AAAh, 5555h, 5555h, 2AAAh,
//               5555h switches it off (loads may follow). The command addresses
//               are decoded on the part's own address lines up to A14 (1555h
//               and 0AAAh on an 8 KiB part); the cycles must follow each other
//               inside the byte-load window. While protected, loads without the
//               on-sequence start nothing. Command cycles are not written to
//               the array; cycles that turn out to be no command are loads.
//               The protection survives power-off.
//   chip erase  parts that have it (CHIP CLEAR): 12 V +- 0.5 on OE, CE low and
//               WE low for 10 ms in all: every cell 0xFF.
//   ratings     the datasheets' absolute maximum ratings: any pin, the OE pin,
//               A9 where the part reads its ID with a high voltage there.
//
// Page-write flash (SST29EE, AT29C, W29C: `flashPage`) on the same model:
//   page write  a page cycle erases the whole page and writes the loaded bytes;
//               a byte of the page that was not loaded reads 0xFF afterwards.
//               Loads end on the first rising edge of CE or WE, so a page may be
//               loaded by CE pulses while WE stays low; the cycle starts when
//               the byte-load window closes, whatever WE does then.
//   chip erase  the six cycles AA, 55, 80, AA, 55, 10 at 5555h, 2AAAh, 5555h,
//               5555h, 2AAAh, 5555h erase every cell in the part's chip-erase
//               time, protected or not (no 12 V erase on these parts).
//   ID          parts with a hardware ID (W29C): 11.5-13 V on A9 with CE and OE
//               low read the manufacturer code at A0 = 0, the device code at
//               A0 = 1 (A1 high: the boot-block lockout byte, 0xFE, not locked).
//               OE low inhibits writes, so the ID reads with WE low too (the
//               selection dialog's Detect MFG ID holds every control pin low).
//
// Not modelled: the RDY/BUSY output of the parts that have one (no form reads
// it), the ID rows of the EEPROMs, the software ID mode and the boot-block
// lockout of the flash parts (no form uses them).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/chips/dip_memory.h"

namespace quilla::sim {

struct EepromPart {
    const char* name;
    int pins;                  // 24, 28 or 32
    std::uint32_t size;        // bytes
    std::vector<int> address;  // chip pins of A0, A1, ...
    int ce, oe, we, vcc, gnd;
    int page;                  // bytes per page; 1: a byte part
    Nanos loadWindow;          // byte-load window of a page part
    Nanos writeCycle;          // busy time of one write cycle
    bool sdp;                  // software data protection
    bool chipErase;            // CHIP CLEAR with 12 V on OE
    Tenths absAny, absOe;      // absolute maximum ratings
    // Page-write flash: a page cycle rewrites the whole page (unloaded bytes 0xFF).
    bool flashPage = false;
    Nanos softwareErase = 0;   // six-cycle chip erase time (0: no such command)
    std::uint8_t mfr = 0, dev = 0;  // hardware ID with 12 V on A9 (mfr 0: none)
    Tenths absA9 = 0;
    Nanos powerUpDelay = 5 * Millisecond;  // writes inhibited after VCC arrives
};

const std::vector<EepromPart>& EepromParts();
const EepromPart* FindEepromPart(std::string_view name);

class EepromChip : public DipMemoryChip<EepromPart> {
public:
    explicit EepromChip(const EepromPart& part);

    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    bool Protected() const { return sdpOn_; }
    void SetProtected(bool on) { sdpOn_ = on; }
    bool Busy() const { return busy_; }
    // Write cycles started so far (tests).
    std::uint64_t WriteCycles() const { return cycles_; }

private:
    struct Load {
        std::uint32_t addr;
        std::uint8_t data;
    };
    std::uint32_t Address(ChipPins& pins) const;
    std::uint8_t Data(ChipPins& pins) const;
    void ByteLoad(std::uint32_t addr, std::uint8_t data);
    void DataLoad(std::uint32_t addr, std::uint8_t data);
    void StartCycle();
    void FinishCycle();
    void Advance(Nanos dt);
    void PowerLost();

    Nanos now_ = 0;          // the chip's own clock (sum of OnElapsed)

    bool powered_ = false;
    Nanos writeAllowedAt_ = 0;   // end of the power-up write inhibit
    bool strobe_ = false;        // CE and WE low with OE high
    std::uint32_t strobeAddr_ = 0;
    bool sdpOn_ = false;

    // Loads of the open window.
    bool windowOpen_ = false;
    Nanos windowEnd_ = 0;
    bool windowUnlocked_ = false;  // the on or off sequence opened this window
    bool commandDone_ = false;     // a protection command completed in this window
    std::vector<Load> command_;    // cycles that may still be a command
    std::vector<Load> loads_;      // data loads of this window

    // The write cycle.
    bool busy_ = false;
    Nanos busyEnd_ = 0;
    std::vector<Load> writing_;
    std::uint8_t lastData_ = 0xFF;
    std::uint64_t cycles_ = 0;

    // CHIP CLEAR time summed.
    Nanos eraseTime_ = 0;
    bool erasing_ = false;
    // The busy cycle is a software chip erase.
    bool eraseAll_ = false;
};

// A blank chip of a known part in its standard DIP position; chip empty when unknown.
SeatedPart MakeEeprom(std::string_view name);
void RegisterEeproms(ChipRegistry& registry);

}  // namespace quilla::sim
