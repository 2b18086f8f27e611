// JEDEC-command flash (the AA 55 command cycles): one model with a table of
// parts, 8 or 16 bits wide, 128 KiB to 8 MiB, in the package its adapter board
// or socket position gives. Each part follows its datasheet:
//
//   power      VCC from a programmer supply on the VCC pin inside the part's
//              window (3.3 V parts their own), ground at 0 V; otherwise off.
//              Power-up and a low RESET# give read-array mode.
//   bus        CE# low and OE# low (WE# high): the array word (or byte; BYTE#
//              low selects byte mode on x16 parts, DQ15 is then A-1) at the
//              address pins, or the mode's data. A write cycle is the rising
//              edge of WE# with CE# low and OE# high: address and data as they
//              stand then.
//   commands   only their exact cycles count; any other write resets the
//              sequence. Command addresses are decoded on the part's own
//              address bits (cmdMask, word addresses on x16 parts):
//                AA@C1 55@C2 A0@C1, then the data      program
//                AA 55 80 AA 55 10@C1                  chip erase
//                AA 55 80 AA 55, then 30@sector       sector erase
//                AA 55 90@C1                          autoselect: manufacturer
//                                                     at 0, device at 1, sector
//                                                     protection at 2 (sector)
//                F0 (alone or after AA 55)            read array
//              with C1/C2 = 555h/2AAh (x16 parts; 5555h/2AAAh match them too,
//              as they decode A10..A0) or 5555h/2AAAh (A14..A0).
//   busy       program and erase run for the part's typical time (the slow
//              factor multiplies it); meanwhile DQ7 reads the complement of the
//              data being programmed (0 while erasing), DQ6 toggles on every
//              read, writes are ignored. Cells only go 1 -> 0; erase sets FFh.
//   protection the part's own method only:
//     InSystem     (Am29LV160D) 60h with RESET# at VID (11.5..12.5 V), A1 high,
//                  A0 low: A6 low protects the sector of the address, A6 high
//                  unprotects every sector; RESET# at VID also unprotects all
//                  sectors for as long as it stays there (temporary unprotect).
//                  Protected sectors are neither programmed nor erased.
//     Lockdown     (AT49BV322A/AT) AA 55 80 AA 55 40@sector: that sector is
//                  locked down for good (no program, no erase).
//     BootLockout  (AT49F002) AA 55 80 AA 55 40@5555h: the boot block is
//                  locked for good; a chip erase leaves it as it is.
//   protection register (AT49BV322A/AT, 128 bits): AA 55 C0@C1, then one word
//              at 81h..88h programs it (1 -> 0); words 81h-84h are factory
//              programmed, 85h-88h the user's; bit 1 of the lock word at 80h,
//              once programmed to 0, locks the user words. Read in autoselect
//              mode at 80h-88h. (The stored datasheet excerpts give the 128-bit
//              register; its command code and map follow the protection
//              register these forms and the Intel-style parts share.)
//
//   A9 at VID  (the byte-wide parts in the socket) 11.5..12.5 V on A9 with CE#
//              and OE# low reads the autoselect codes (manufacturer at A0 = 0,
//              device at A0 = 1, the protection of the addressed sector at
//              A1 = 1). OE# low inhibits every write, so the codes read with WE#
//              low too: the selection dialog's Detect MFG ID holds every control
//              pin low and reads them as the datasheets' read with OE# low.
//   high-voltage protection by pin levels (the 32-pin parts in the socket),
//              only where the part's sheet publishes the method:
//     HvSector     (MX29F040) A9 and OE# at VID (11.5..12.5 V), CE# low, WE#
//                  low: with A6 low the sector addressed by A16-A18 is
//                  protected once the levels have held 10 us, with A6 high
//                  every sector is unprotected once they have held 12 ms. The
//                  times are summed over pulses (the sheet's algorithms repeat
//                  the pulse until the verify passes); each sum starts afresh
//                  when its operation completes.
//     HvBootBlock  (V29C51004T/B) A9 and OE# at VID with WE# low: CE# low
//                  locks the 16 KB boot block, CE# at VID unlocks it. The sheet
//                  gives the levels only, no pulse width: the levels must hold
//                  for 1 us (one command time of the programmer).
//              A rising WE# edge while OE# is at VID ends such a pulse and is
//              no command write. Am29F (method in a supplement that is not
//              public), AT49F and SST39 have none: protection set by a test
//              (SetProtected) stays as it is. Program and erase honour it.
//
// Busy times: the datasheets' typical figures, written in the part table,
// lowered where a form's command stream leaves less time (written beside the
// part).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chips/pinout_chip.h"

namespace quilla::sim {

struct JedecPart {
    enum class Protect { None, InSystem, Lockdown, BootLockout, HvSector, HvBootBlock };

    const char* name;
    const FlashPinout* pinout;
    std::uint32_t size;          // bytes
    bool x16;                    // word-wide bus (BYTE# high selects it)
    std::uint8_t mfr;
    std::uint16_t dev;           // device code (x8 parts: the low byte)
    std::uint32_t cmdMask;       // address bits of a command cycle
    std::vector<std::uint32_t> sectors;  // sector sizes in bytes, from address 0 up
    Tenths vccMin, vccMax;
    Nanos program, sectorErase, chipErase;
    Protect protect;
    int bootSector;              // BootLockout: the sector of the boot block
    bool protectionRegister;
    Tenths absAny, absVcc, absReset;  // absolute maximum ratings
    // Autoselect by 11.5-12.5 V on A9 (the 32-pin parts in the socket): its
    // rating, 0 where the part has none.
    Tenths absA9 = 0;
    Tenths absOe = 0;  // OE#'s own rating where higher than any pin's
    Tenths absCe = 0;  // CE#'s own rating where higher than any pin's
    // HvSector / HvBootBlock: how long the levels must hold (summed).
    Nanos protectTime = 0, unprotectTime = 0;
};

const std::vector<JedecPart>& JedecParts();
const JedecPart* FindJedecPart(std::string_view name);

class JedecFlash : public FlashPinoutChip<JedecPart> {
public:
    explicit JedecFlash(const JedecPart& part);

    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override { powered_ = false; }

    bool Busy() const { return busy_ != Work::None; }
    int SectorCount() const { return static_cast<int>(part_.sectors.size()); }
    // The sector holding byte address a.
    int SectorOf(std::uint32_t a) const;
    std::uint32_t SectorStart(int s) const;
    bool Protected(int s) const { return protected_[static_cast<std::size_t>(s)]; }
    void SetProtected(int s, bool on) { protected_[static_cast<std::size_t>(s)] = on; }
    // Protection register words 80h-88h.
    std::uint16_t ProtectionWord(int k) const { return pr_[static_cast<std::size_t>(k)]; }
    int ChipErasesStarted() const { return chipErases_; }

private:
    enum class Mode { Array, Autoselect };
    enum class Work { None, Program, SectorErase, ChipErase };

    void PowerDown(ChipPins& pins);
    void Reset();
    std::uint32_t Address(ChipPins& pins) const;  // bus address (words on x16 in word mode)
    std::uint32_t ByteAddress(std::uint32_t bus) const;
    std::uint16_t DataIn(ChipPins& pins) const;
    void Drive(ChipPins& pins);
    std::uint16_t ReadValue(std::uint32_t bus);
    void Write(ChipPins& pins, std::uint32_t bus, std::uint16_t data);
    bool Writable(int sector, ChipPins& pins) const;
    bool ResetAtVid(ChipPins& pins) const;
    bool A9AtVid(ChipPins& pins) const;
    bool AtVid(ChipPins& pins, int pin) const;
    // The high-voltage protection levels of HvSector / HvBootBlock parts.
    void HighVoltageProtection(ChipPins& pins, Nanos dt);
    void Start(Work w, std::uint32_t byteAddr, std::uint16_t data, Nanos t);
    void Finish();

    std::vector<bool> protected_;
    std::vector<std::uint16_t> pr_;  // 80h..88h

    bool powered_ = false;
    bool wordMode_ = false;
    bool weHigh_ = true;
    bool outputs_ = false;
    bool idByA9_ = false;
    Mode mode_ = Mode::Array;
    int step_ = 0;             // position in an AA 55 sequence
    bool programNext_ = false, prNext_ = false;
    Work busy_ = Work::None;
    Nanos left_ = 0;
    std::uint32_t workAddr_ = 0;
    std::uint16_t workData_ = 0;
    bool toggle_ = false;
    int chipErases_ = 0;
    std::vector<bool> eraseMask_;  // the sectors a chip erase clears
    // In-system protect: the pending 60h write and how long RESET# stayed at VID.
    bool protectPending_ = false;
    std::uint32_t protectAddr_ = 0;
    Nanos protectTime_ = 0;
    // High-voltage protection: the time the levels have held so far.
    std::vector<Nanos> protectSum_;
    Nanos unprotectSum_ = 0;
};

SeatedPart MakeJedecFlash(std::string_view name);
void RegisterJedecFlash(ChipRegistry& registry);

}  // namespace quilla::sim
