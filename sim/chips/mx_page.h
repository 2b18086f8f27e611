// Page-program flash of the MX29F1611 class (16 Mbit, 2M x 8 / 1M x 16, 44-pin
// SOP), one model with a table of parts. It follows the part's datasheet:
//
//   power      VCC 4.75..5.25 V from a programmer supply on the VCC pin, ground
//              at 0 V; otherwise off (a write below the lockout does nothing).
//              Power-up gives read-array mode; sector protection is kept.
//   bus        BYTE# low: byte mode, DQ15 is A-1 (the lowest address bit);
//              BYTE# high: word mode. CE# low, OE# low, WE# high: the array, the
//              silicon ID or the busy status. A write cycle is the rising edge
//              of WE# with CE# low and OE# high.
//   commands   command addresses AAAAh/5554h in byte mode (5555h/2AAAh in word
//              mode), decoded on A14..A-1; any other write resets the sequence:
//                AA 55 F0                      read array (F0 alone too)
//                AA 55 90                      silicon ID: manufacturer at
//                                              address 0, device at 1
//                AA 55 A0, then 1..128 bytes    page program: the bytes of one
//                                              128-byte page are latched; the
//                                              program starts when a load is
//                                              followed by no other for 100 us,
//                                              or at the 128th byte
//                AA 55 80 AA 55 10             chip erase
//                AA 55 80 AA 55 30@sector      sector erase (128 KiB sectors)
//                AA 55 60 AA 55 20@sector      sector protect (the two
//                                              protectable sectors: first, last)
//                AA 55 60 AA 55 40             sector unprotect (both)
//   busy       from the page load on, DQ7 reads the complement of the last
//              loaded byte's DQ7 (0 while erasing) and DQ6 toggles; writes are
//              ignored. Page program 5 ms, sector erase 150 ms (typical); the
//              chip erase, sixteen sector erases (2.4 s), is lowered to 1 s,
//              the ten long waits of the form's explicit erase.
//   protection a protected sector is neither programmed nor erased.
// Cells only go 1 -> 0; an erase sets FFh.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chips/pinout_chip.h"

namespace quilla::sim {

struct PageFlashPart {
    const char* name;
    const FlashPinout* pinout;
    std::uint32_t size;  // bytes
    std::uint8_t mfr, dev;
    Nanos pageProgram, sectorErase, chipErase;
};

const std::vector<PageFlashPart>& PageFlashParts();
const PageFlashPart* FindPageFlashPart(std::string_view name);

class PageFlash : public FlashPinoutChip<PageFlashPart> {
public:
    static constexpr int kPage = 128;
    static constexpr std::uint32_t kSector = 128 * 1024;

    explicit PageFlash(const PageFlashPart& part);

    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override { powered_ = false; }

    int SectorCount() const { return static_cast<int>(part_.size / kSector); }
    bool Protected(int s) const { return protected_[static_cast<std::size_t>(s)]; }
    void SetProtected(int s, bool on) { protected_[static_cast<std::size_t>(s)] = on; }
    int PagesProgrammed() const { return pages_; }
    // Write cycles seen (every rising edge of WE# with CE# low and OE# high).
    int WriteCycles() const { return writes_; }

private:
    enum class Mode { Array, Id };
    enum class Work { None, Load, Program, SectorErase, ChipErase };

    std::uint32_t ByteAddress(ChipPins& pins) const;
    void Write(std::uint32_t a, std::uint16_t data);
    void Start(Work w, Nanos t);
    void Finish();
    void Drive(ChipPins& pins);

    std::vector<bool> protected_;
    bool powered_ = false, weHigh_ = true, outputs_ = false, wordMode_ = false, toggle_ = false;
    Mode mode_ = Mode::Array;
    int step_ = 0;
    bool loadNext_ = false;
    Work work_ = Work::None;
    Nanos left_ = 0;
    std::uint32_t pageBase_ = 0, sectorAddr_ = 0;
    std::array<std::int16_t, kPage> latch_{};  // -1: not loaded
    int loaded_ = 0;
    std::uint8_t lastByte_ = 0;
    int pages_ = 0, writes_ = 0;
};

SeatedPart MakePageFlash(std::string_view name);
void RegisterPageFlash(ChipRegistry& registry);

}  // namespace quilla::sim
