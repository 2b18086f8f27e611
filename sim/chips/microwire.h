// Microwire serial EEPROMs 93C46, 93C56, 93C57, 93C66, 93C76 and 93C86 with
// the ORG pin (word or byte organisation), one model with a table of parts.
//
//   pins        1 CS, 2 SK, 3 DI, 4 DO, 5 VSS, 6 ORG, 7 PE (93C76/86) or not
//               connected, 8 VCC; ORG high (or floating: internal pull-up)
//               selects x16, low x8
//   power       VCC from the programmer's VCC supply inside the part's window,
//               VSS at 0 V; losing power ends any instruction and any write
//               cycle (the word is not written) and leaves the chip write-disabled
//   instruction CS high; the first DI = 1 sampled at an SK rise is the start
//               bit; then two opcode bits and the address bits of the
//               organisation (most significant first; the 93C56 and 93C76
//               begin with a don't-care bit), then the data bits of WRITE/WRAL:
//                 READ 10 a   DO gives a dummy 0 after the last address bit,
//                             then the word MSB first, a new bit at each SK
//                             rise; it goes on with the next word while CS stays
//                             high (no dummy bit between words)
//                 EWEN 00 11x / EWDS 00 00x   write enable / disable (disabled
//                             at power-up)
//                 WRITE 01 a d  the word is erased and written (auto-erase)
//                 ERASE 11 a    the word goes to all ones
//                 ERAL 00 10x   every word to all ones
//                 WRAL 00 01x d every word written
//               Programming instructions need EWEN (and PE high on the parts
//               with a PE pin); ERAL and WRAL also need VCC 4.5..5.5 V. An
//               instruction the chip cannot take is ignored; so is any
//               instruction while a write cycle runs. Clocks after a complete
//               instruction are ignored until CS goes low.
//   write cycle self-timed; it starts at the SK rise of the last bit of the
//               instruction (both datasheets below); a CS low before the
//               instruction is complete aborts it.
//   status      while CS is high after a programming instruction and no start
//               bit has come yet, DO shows ready (1) or busy (0)
//   DO          released while CS is low or nothing is output
//
// Parts and datasheets (busy times: the typical figure where the datasheet
// gives one, else its maximum):
//   93C46, 93C56, 93C57, 93C66   AT93C46/56/57/66 (low-voltage grade): VCC
//               1.8..5.5 V, ERAL/WRAL only at 4.5..5.5 V, write cycle 1 ms
//               (typical at 5 V); pin 7 not connected; any pin -1.0..+7.0 V
//   93C76, 93C86   93C76C/93C86C (5 V grade of the 93XX76C/86C sheet): VCC
//               4.5..5.5 V, PE on pin 7, write cycle 2 ms and ERAL 6 ms (the
//               sheet's maxima, no typical given); VCC 7.0 V, inputs up to VCC + 1 V
//               (7.0 V taken for every pin)
// The datasheets do not say how the byte and word organisations share the
// array; the model keeps word n in bytes 2n (low byte) and 2n + 1 (high byte).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chips/serial_memory.h"

namespace quilla::sim {

struct MicrowirePart {
    const char* name;
    int bytes;              // array size in bytes
    int x8Bits, x16Bits;    // address bits sent in each organisation
    bool hasPe;             // pin 7 is PE (must be high to program)
    Tenths vccMin, vccMax;  // operating window
    Tenths eralMin;         // ERAL/WRAL need at least this
    Nanos writeTime, eralTime;
    Tenths absMax;
};

const std::vector<MicrowirePart>& MicrowireParts();
const MicrowirePart* FindMicrowirePart(std::string_view name);

class MicrowireChip : public SerialMemoryChip {
public:
    static constexpr int CS = 1, SK = 2, DI = 3, DO = 4, VSS = 5, ORG = 6, PE = 7, VCC = 8;

    explicit MicrowireChip(const MicrowirePart& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    // Word n of the x16 organisation (bytes 2n and 2n + 1).
    std::uint16_t Word(int n) const;
    void SetWord(int n, std::uint16_t v);

    const MicrowirePart& Part() const { return part_; }
    bool Busy() const { return busy_ > 0; }
    bool WriteEnabled() const { return ewen_; }

private:
    enum class Op { None, Write, Erase, EraseAll, WriteAll };
    enum class Phase { Idle, Bits, Reading, Done };

    void PowerLost(ChipPins& pins);
    void OnRise(ChipPins& pins);
    void Decode(ChipPins& pins);
    void StartCycle(Op op, int address, std::uint16_t data);
    void DriveNextBit(ChipPins& pins);
    bool MayProgram(ChipPins& pins) const;
    int Width() const { return x16_ ? 16 : 8; }
    int AddressBits() const { return x16_ ? part_.x16Bits : part_.x8Bits; }
    int Words() const { return x16_ ? part_.bytes / 2 : part_.bytes; }
    std::uint16_t Read(int address) const;

    const MicrowirePart& part_;
    bool powered_ = false;
    Tenths vcc_ = 0;
    bool ewen_ = false;
    bool lastCs_ = false, lastSk_ = false;
    bool selected_ = false;    // CS rose while powered: an instruction may begin
    bool x16_ = true;          // organisation of the instruction in progress
    Phase phase_ = Phase::Idle;
    std::uint32_t bits_ = 0;   // bits after the start bit
    int count_ = 0;
    int readAddress_ = 0, readBit_ = 0;
    bool statusArmed_ = false;  // a programming instruction started: CS high shows ready/busy
    bool statusShown_ = false;
    // The running write cycle.
    Op busyOp_ = Op::None;
    bool busyX16_ = true;
    int busyAddress_ = 0;
    std::uint16_t busyData_ = 0;
    Nanos busy_ = 0;
};

// A blank chip (all ones) in the standard DIP position; on the vex310 the
// host-driven Microwire forms wire it with pins 1-4 on socket 15-18 and 5-8 on
// 23-26. Chip empty when the part is unknown.
SeatedPart MakeMicrowire(std::string_view name);
void RegisterMicrowireParts(ChipRegistry& registry);

}  // namespace quilla::sim
