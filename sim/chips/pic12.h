// PIC microcontrollers with 12-bit program words (PIC12C508/509, PIC16C505,
// PIC16F54/57), programmed through their serial programming interface: one
// model with a table of parts, each row from its part's programming
// sheet (and the data sheet's absolute maximum ratings).
//
//   power        VDD from a programmer supply on a VDD pin, a VSS pin grounded
//   entry        program/verify mode starts when MCLR rises into the part's
//                VIHH window (from a supply) while clock and data are held low
//                and VDD stands. The address counter then stands at the
//                configuration word; one increment takes it to program word 0.
//   serial       commands of six bits, LSB first, taken on the falling clock
//                edge; a load is followed by a 16-bit frame (start bit 0, the
//                12-bit word in bits 1-12, bits 13-15 don't care), a read makes
//                the chip drive a frame of the same shape (bits 13 and 14: 0).
//                Each row decodes the six bits by its own table; a code its
//                table lacks (load configuration, the data memory commands) is
//                ignored.
//   counter      configuration word (at entry), program words 0 .. words - 1,
//                the four user ID words, then addresses that hold nothing
//                (they read 0FFFh and take nothing); the counter is 12 bits
//                wide: from 0FFEh an increment reaches the configuration word
//                again (0FFFh), and from there word 0.
//   programming  load data fills the latch; begin programming (x x 1 0 0 0)
//                starts a pulse that end programming (x x 1 1 1 0) closes: the
//                latch is ANDed into the word at the counter when the pulse
//                lasted the part's minimum time (another command before end
//                programming, or leaving the mode, ends it with nothing done).
//                One-time parts only go 1 -> 0; a word stays programmed.
//   over-programming  one-time rows: the programming sheet asks 100 us pulses
//                until the word verifies (N), then 11N more before the next
//                word: twelve pulses' time at the least. The forms give each
//                word one pulse (family rule 8: the part's `programTime` sits
//                just under it), which the model takes as the whole train in
//                the sheet's proportion: summed over the pulses at one address,
//                the word reads programmed after a twelfth of `programTime` and
//                is kept only once it has had all of it; a word left short when
//                the chip leaves the mode reads its old value from then on (ours:
//                the sheet says such cells are not retained).
//   refusals     a load or command the chip ignores (a code outside its table,
//                begin without data or with VDD outside the programming window,
//                a pulse cut short, a write to protected memory) is noted
//                (Chip::NoteRefusal).
//   erase        flash rows (PIC16F5x): bulk erase (x x 1 0 0 1) starts at
//                once and runs for the erase time: program memory and the user
//                IDs, and the configuration word too when the counter stands at
//                it; commands that come meanwhile are taken without effect.
//                One-time rows have no erase.
//   calibration  PIC12C508/509 and PIC16C505 hold a factory MOVLW in their last
//                program word (the oscillator calibration value).
//   protection   a programmed CP bit (bit 3 of the PIC12C5xx and PIC16F5x
//                configuration word; bits 4 and 6-11 on the PIC16C505) makes
//                program words read scrambled (here 0000h after the first 64
//                words) and take no more writes; only a bulk erase at the
//                configuration word clears it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"
#include "sim/chips/pic_words.h"

namespace quilla::sim {

enum class Pic12Op : std::uint8_t { LoadData, ReadData, Increment, Begin, End, BulkErase };

struct Pic12Command {
    std::uint8_t mask, value;
    Pic12Op op;
};

struct Pic12Part {
    const char* name;
    int pins;
    std::vector<int> vdd, vss;
    int mclr, clock, data;
    int words;
    bool oneTime;
    std::uint16_t calibration;   // the factory last word (0: none)
    std::uint16_t cpMask;        // configuration bits that protect when 0
    std::vector<Pic12Command> commands;
    Tenths vihhMin, vihhMax, progVddMin, progVddMax, readVddMin;
    Nanos programTime, eraseTime;
    Tenths absAny, absVdd, absMclr;
    std::vector<int> placement = {};  // socket pins of chip pins 1..N, empty: standard DIP
};

const std::vector<Pic12Part>& Pic12Parts();
const Pic12Part* FindPic12Part(std::string_view name);

class Pic12Chip : public PicWordChip<Pic12Part, 0x0FFF> {
public:
    static constexpr int ConfigAddress = 0xFFF;

    explicit Pic12Chip(const Pic12Part& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    const Pic12Part& Part() const { return part_; }
    std::uint16_t UserId(int k) const { return ids_[static_cast<std::size_t>(k & 3)]; }
    void SetUserId(int k, std::uint16_t w) { ids_[static_cast<std::size_t>(k & 3)] = w & ErasedWord; }
    std::uint16_t ConfigWord() const { return config_; }
    void SetConfigWord(std::uint16_t w) { config_ = w & ErasedWord; }
    bool InProgramMode() const { return programMode_; }

private:
    enum class Shift : std::uint8_t { Command, DataIn, DataOut };
    void Leave(ChipPins& pins);
    void Falling(ChipPins& pins);
    void Decode(std::uint8_t code);
    std::uint16_t ReadAt() const;
    void Program();
    bool Protected() const { return (config_ & part_.cpMask) != part_.cpMask; }

    std::uint16_t ids_[4];
    std::uint16_t config_ = ErasedWord;

    bool programMode_ = false;
    bool vihh_ = false;
    bool clock_ = false;
    Tenths vdd_ = 0;
    int pc_ = ConfigAddress;
    std::uint16_t latch_ = ErasedWord;
    bool loaded_ = false;
    Shift shift_ = Shift::Command;
    int bits_ = 0;
    unsigned shiftReg_ = 0;
    unsigned frameOut_ = 0;
    bool pulse_ = false;   // begin programming seen, end programming awaited
    bool erasing_ = false;
    bool eraseConfig_ = false;
    Nanos busyTime_ = 0;
    // One-time rows: pulse time summed at the counter's address, and the words
    // programmed in this stay in the mode without their whole train (their
    // value before, restored when the chip leaves the mode).
    Nanos progSum_ = 0;
    UntrainedWords untrained_;
    std::uint16_t At(int address) const;
    void Put(int address, std::uint16_t w);
};

SeatedPart MakePic12(std::string_view name);
void RegisterPic12(ChipRegistry& registry);

}  // namespace quilla::sim
