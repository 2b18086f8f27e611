// Byte-wide 32-pin flash with one-byte commands written as bus cycles (no
// AA 55 unlock): one model with a table of parts, three kinds, each after its
// datasheet. Common pinout (chip pins): A0-A7 12..5, A8 27, A9 26, A10 23,
// A11 25, A12 4, A13 28, A14 29, A15 3, A16 2, DQ0-DQ7 13-15 and 17-21, CE# 22,
// OE# 24, WE# 31, VCC 32, ground 16; pin 1 and pin 30 by kind. Power: VCC from
// a programmer supply on pin 32 inside the part's window and pin 16 grounded.
// Reads: CE# and OE# low with WE# high. A write cycle is the rising edge of WE#
// with CE# low and OE# high (OE# low inhibits writes), address and data as
// they stand then.
//
// BulkErase (28F256A, 28F512, 28F010, 28F020; pin 1 VPP, pin 30 A17 or NC):
//   commands only while VPP on pin 1 is 11.4..12.6 V from a supply; otherwise
//   the command register is off and the part reads its array. 00h read array,
//   90h identifier (89h at A0 = 0, the device code at A0 = 1; also with
//   11.5..13.0 V on A9), 20h 20h erase, A0h erase verify (reads the byte of
//   the address written with it), 40h then the data: program, C0h program
//   verify, FFh reset. An erase or a program runs from the rising edge of its
//   second write to the next write cycle (or until VPP or VCC goes): an erase
//   pulse of at least 10 ms counts one pulse; the array reads erased once the
//   part's "pulses needed" have been given (the datasheet's typical 1 s of erase
//   is ten of the forms' 100 ms pulses); earlier pulses leave it as it was (the
//   over-erase the datasheet guards against by programming 00h first is not
//   modelled). A byte programs once its program pulses at that address and
//   data sum to the minimum program time (datasheet pulse 10 us; lowered to
//   3.4 us, just under the 3.5 us the forms leave: they send the next byte's
//   40h three commands after the data strobe and never wait); a program sets the pulses needed counting from zero again.
//
// BootBlock (28F001BX-T/-B; pin 1 VPP, pin 30 RP#): a write state machine.
//   RP# low: reset and deep power-down. FFh read array, 90h identifier (89h,
//   94h -T / 95h -B; also with 11.5..13.0 V on A9), 70h read status, 50h clear status, 20h then D0h at an
//   address of the block: block erase (another second byte sets SR.4 and SR.5),
//   40h or 10h then the data: program; B0h (suspend) is taken and ignored.
//   After a program or erase the part reads its status, latched when the
//   outputs turn on. SR.7 ready, SR.5 erase error, SR.4 program error, SR.3 VPP
//   low. VPP 11.4..12.6 V on pin 1 for program and erase, else SR.3 with SR.4 or
//   SR.5; with SR.3 set nothing starts until 50h. The boot block (8 KiB at the
//   top, -T, or bottom, -B) programs and erases only with 11.4..12.6 V on RP# or
//   OE#, sampled at the confirm or data write; otherwise SR.4 or SR.5 (status
//   A0h or 90h). The datasheet asks RP# held high until the operation is done;
//   the form takes the 12 V off OE# right after the confirm, and the model
//   accepts that. Busy: writes ignored. Times: byte program lowered to 3.4 us
//   (the datasheet's 10 us-class program time; the form never polls a program
//   and sends the next 40h 3.5 us later), block erase 1 s (boot and parameter
//   blocks) and 2.4 s (main block), inside the form's polling of about 4 s.
//
// SoftProtect (SST28SF040A; pin 1 A18, pin 30 A17): software data protection
//   on at power-up; seven read cycles (CE# falling with OE# low) at 1823h,
//   1820h, 1822h, 0418h, 041Bh, 0419h, 041Ah (decoded on A0-A15) unprotect it,
//   the same six and 040Ah protect it. While protected every write is ignored.
//   Unprotected: 20h then D0h at a sector's address: sector erase (256 bytes,
//   2 ms typical); 30h 30h: chip erase (20 ms typical, lowered to 15 ms: the
//   form waits two 10 ms waits and then takes VCC away); 10h then the data:
//   byte program (35 us typical, lowered to 3.4 us for the same reason as above);
//   FFh reset, 90h read ID (BFh 04h). 40h is no command of this part. Busy:
//   writes ignored, reads show DQ7 inverted of the byte programmed (0 while
//   erasing) and DQ6 toggling.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/chips/part_rows.h"

namespace quilla::sim {

struct Flash28Part {
    enum class Kind { BulkErase, BootBlock, SoftProtect };
    const char* name;
    Kind kind;
    std::uint32_t size;
    std::uint8_t mfr, dev;
    bool bootTop;             // BootBlock: the boot block at the top
    Tenths vccMin, vccMax;
    Nanos program;            // minimum (BulkErase) or busy time of a byte program
    Nanos smallErase;         // BootBlock boot/parameter block, SoftProtect sector
    Nanos bigErase;           // BootBlock main block, SoftProtect chip
    int erasePulses;          // BulkErase: pulses needed
    Tenths absAny, absVpp, absA9;
};

const std::vector<Flash28Part>& Flash28Parts();

class Flash28 : public PartRowChip<Flash28Part> {
public:
    explicit Flash28(const Flash28Part& part);

    int PinCount() const override { return 32; }
    std::vector<int> GroundPins() const override { return {16}; }
    std::vector<int> VccPins() const override { return {32}; }
    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override { powered_ = false; }

    // BulkErase: erase pulses still needed before the array reads erased.
    void SetErasePulsesNeeded(int n) { pulsesNeeded_ = n; }
    int ErasePulsesGiven() const { return pulsesGiven_; }
    // BootBlock: the blocks' first addresses and the erases started.
    std::vector<std::uint32_t> BlockStarts() const;
    const std::vector<std::uint32_t>& ErasesStarted() const { return erases_; }
    std::uint8_t Status() const { return sr_; }
    bool Protected() const { return protected_; }

private:
    using Kind = Flash28Part::Kind;
    enum class Mode { Array, Id, Status, Verify };
    enum class Next { None, Program, Erase, ChipErase };
    enum class Run { None, Program, Erase, ChipErase };

    void PowerUp();
    std::uint32_t Address(ChipPins& pins) const;
    std::uint8_t DataIn(ChipPins& pins) const;
    std::uint8_t ReadValue(ChipPins& pins, std::uint32_t a);
    void Write(ChipPins& pins, std::uint32_t a, std::uint8_t d);
    void WriteBulk(ChipPins& pins, std::uint32_t a, std::uint8_t d);
    void WriteBoot(ChipPins& pins, std::uint32_t a, std::uint8_t d);
    void WriteSoft(std::uint32_t a, std::uint8_t d);
    void ReadCycle(std::uint32_t a);
    bool VppOk(ChipPins& pins) const;
    bool BootUnlocked(ChipPins& pins) const;
    // BulkErase: ends the erase or program pulse under way.
    void EndPulse();
    // BootBlock and SoftProtect: the state machine's work.
    void Start(Run r, std::uint32_t a, std::uint8_t d, Nanos t);
    void Finish();
    int BlockOf(std::uint32_t a) const;

    bool powered_ = false, weHigh_ = true, outputs_ = false, readCycle_ = false;
    Mode mode_ = Mode::Array;
    Next next_ = Next::None;
    std::uint32_t verifyAddr_ = 0;

    // BulkErase
    Run pulse_ = Run::None;
    Nanos pulseTime_ = 0;
    std::uint32_t progAddr_ = 0;
    std::uint8_t progData_ = 0xFF;
    Nanos progSum_ = 0;
    int pulsesNeeded_ = 10;
    int pulsesGiven_ = 0;

    // BootBlock and SoftProtect
    Run busy_ = Run::None;
    Nanos left_ = 0;
    std::uint32_t workAddr_ = 0;
    std::uint8_t workData_ = 0;
    std::uint8_t sr_ = 0x80, latched_ = 0x80;
    bool toggle_ = false;
    std::vector<std::uint32_t> erases_;

    // SoftProtect
    bool protected_ = true;
    int seq_ = 0;
};

SeatedPart MakeFlash28(std::string_view name);
void RegisterFlash28(ChipRegistry& registry);

}  // namespace quilla::sim
