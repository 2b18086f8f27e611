// Block-erasable flash with the Intel command set: one model with a table of
// parts, 8 or 16 bits wide, up to 8 MiB, in the package its adapter board
// gives. Each part follows its datasheet:
//
//   power      VCC from a programmer supply on the VCC pins inside the part's
//              window, ground at 0 V; otherwise off. Power-up and RP# low give
//              read-array mode, a clear status register and (lockable parts)
//              every block locked, no block locked down.
//   bus        CE# low, OE# low, WE# high: the array word (byte on x8 parts),
//              the identifier or the status register, by the mode. A write cycle
//              is the rising edge of WE# with CE# low and OE# high.
//   commands   FFh read array; 90h read identifier (manufacturer at 0, device
//              at 1, block lock state at block base + 2, protection register at
//              80h-88h); 70h read status; 50h clear status; 40h or 10h, then the
//              data at its address: program; 20h, then D0h at an address of the
//              block: block erase; 60h, then 01h lock, D0h unlock, 2Fh lock down
//              the block of the address (lockable parts); C0h, then a word at
//              81h..88h (or the lock word at 80h): protection program. A second
//              cycle that does not match its set-up sets SR.4 and SR.5 (command
//              sequence error). After program and erase the part reads its
//              status until another command.
//   status     SR.7 ready, SR.5 erase error, SR.4 program error, SR.3 VPP low,
//              SR.1 block locked; the error bits stay until 50h or power-up.
//   VPP        program and erase run with VPP on the VPP pin inside the low
//              window (VCC-level, the part's own) or at 11.4..12.6 V; otherwise
//              SR.3 is set and nothing changes.
//   locks      a locked block neither programs nor erases (SR.1 with SR.4 or
//              SR.5); a block locked down cannot be unlocked while WP# is low;
//              WP# high makes lock-down act as a plain lock.
//   busy       program and erase run for the part's typical time (the slow
//              factor multiplies it); writes while busy are ignored. Cells
//              only go 1 -> 0; a block erase sets the block to FFh.
//   protection register (lockable parts): 128 bits, words 81h-84h factory
//              programmed, 85h-88h the user's; lock word 80h: bit 0 locks the
//              factory words, bit 1 the user's. The programmer writes the
//              register words back to back without waiting, so a protection
//              program completes at once.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chips/pinout_chip.h"

namespace quilla::sim {

struct IntelBlockPart {
    const char* name;
    const FlashPinout* pinout;
    std::uint32_t size;                  // bytes
    bool x16;
    std::uint8_t mfr;
    std::uint16_t dev;
    std::vector<std::uint32_t> blocks;   // block sizes in bytes, from address 0 up
    Tenths vccMin, vccMax;
    Tenths vppLowMin, vppLowMax;         // the VCC-level VPP window
    Nanos program, program12;            // word/byte program at low VPP, at 12 V
    Nanos paramErase, mainErase;         // block erase, parameter and main blocks
    std::uint32_t paramSize;             // size of a parameter block in bytes
    bool lockable;                       // block locking and the protection register
    Tenths absAny, absVpp;
};

const std::vector<IntelBlockPart>& IntelBlockParts();
const IntelBlockPart* FindIntelBlockPart(std::string_view name);

class IntelBlockFlash : public FlashPinoutChip<IntelBlockPart> {
public:
    explicit IntelBlockFlash(const IntelBlockPart& part);

    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override { powered_ = false; }

    int BlockCount() const { return static_cast<int>(part_.blocks.size()); }
    int BlockOf(std::uint32_t byteAddress) const;
    bool Locked(int block) const { return locked_[static_cast<std::size_t>(block)]; }
    bool LockedDown(int block) const { return down_[static_cast<std::size_t>(block)]; }
    int BlockErasesStarted() const { return erases_; }
    std::uint8_t Status() const { return sr_; }
    std::uint16_t ProtectionWord(int k) const { return pr_[static_cast<std::size_t>(k)]; }

private:
    enum class Mode { Array, Identifier, Status };
    enum class Next { None, Program, Erase, Lock, Protection };

    void PowerUp();
    std::uint32_t BusAddress(ChipPins& pins) const;
    std::uint32_t ByteAddress(std::uint32_t bus) const;
    std::uint32_t BlockStart(int b) const;
    std::uint16_t DataIn(ChipPins& pins) const;
    std::uint16_t ReadValue(std::uint32_t bus) const;
    void Drive(ChipPins& pins);
    void Write(ChipPins& pins, std::uint32_t bus, std::uint16_t data);
    // 0: VPP inside no window (SR.3); otherwise the program time.
    Nanos ProgramTime(ChipPins& pins) const;
    bool VppOk(ChipPins& pins) const;

    std::vector<bool> locked_, down_;
    std::vector<std::uint16_t> pr_;
    bool powered_ = false, weHigh_ = true, outputs_ = false;
    Mode mode_ = Mode::Array;
    Next next_ = Next::None;
    std::uint8_t sr_ = 0x80;
    Nanos left_ = 0;
    bool busy_ = false;
    bool erasing_ = false;
    std::uint32_t workAddr_ = 0;
    std::uint16_t workData_ = 0;
    int erases_ = 0;
};

SeatedPart MakeIntelBlockFlash(std::string_view name);
void RegisterIntelBlockFlash(ChipRegistry& registry);

}  // namespace quilla::sim
