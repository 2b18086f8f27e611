// PIC microcontrollers with 14-bit program words, programmed through their
// serial programming interface: one model with a table of parts, each row
// from its part's programming sheet (and the data sheet's absolute
// maximum ratings).
//
//   power        VDD from a programmer supply on a VDD pin, a VSS pin grounded
//   entry        program/verify mode starts when MCLR rises into the part's VIHH
//                window (from a supply) while clock and data are held low and
//                VDD stands (VDD-first parts; the VPP-first parts take VDD after
//                MCLR). The address counter then stands at program address 0.
//                MCLR leaving the window, or VDD going, ends the mode.
//   serial       commands of six bits, LSB first, taken on the falling clock
//                edge; a load is followed by a 16-bit frame (start bit 0, 14 data
//                bits, stop bit), a read makes the chip drive a frame of the same
//                shape after each rising edge. Each row decodes the six bits by
//                its own table, don't-care bits included ("x x 0 0 1 0" takes
//                32h as 02h); a code its table lacks is ignored.
//   memory       program words erased to 3FFFh, data EEPROM to FFh; the
//                configuration area 2000h-2007h holds the four user IDs, two
//                unused words, the device ID (with its revision bits) and the
//                configuration word. Load configuration moves the counter to
//                2000h; the counter never leaves the configuration area until
//                program mode is left.
//   programming  begin erase/programming (08h) erases the word and programs
//                the latch; begin programming only (18h) ANDs the latch into the
//                word; data EEPROM bytes are erased by every write. The cycle is
//                internally timed: it completes once its minimum time has passed
//                with VDD inside the programming window; the next command (its
//                first clock edge) before then, or leaving program mode, cancels
//                it and nothing changes.
//                Externally timed rows (PIC16F7X): begin programming ANDs the
//                latches into their words once end programming comes after the
//                minimum time; end programming before then, any other command,
//                or leaving program mode ends the cycle with nothing changed.
//   latches      rows with write latches of several words take a load into the
//                latch the address's low bits select; a cycle programs the block
//                of the address with the latches loaded since the last cycle (a
//                latch not loaded leaves its word alone). One-latch rows program
//                the last loaded latch at the address, as often as asked.
//   erase        commands 01h, 07h, then 08h erase instead of programming: the
//                program memory after a load of program data, the data EEPROM
//                after a load of data memory, and everything (program memory,
//                data EEPROM, user IDs and the configuration word, code
//                protection included) with the counter at 2007h after load
//                configuration. Rows with bulk erase commands (09h, 0Bh) arm the
//                same erases with them. Rows with a self-timed bulk erase (09h on
//                the PIC16F7X) start it at once: program memory and the
//                configuration word (and the user IDs when the counter stands in
//                the configuration area); commands that come while it runs are
//                taken (their data frames shifted in) and have no effect.
//   protection   protected program memory reads 0000h and takes no writes;
//                protected data EEPROM (CPD) reads 00h. Only an erase clears code
//                protection: a configuration write keeps programmed CP bits.
//
// Minimum times (the slow factor multiplies them): the datasheet's typical
// figures, lowered where a form that does not poll gives less (family rule 8),
// each beside its row. Supply windows are each row's; where a form's
// documented level lies outside them, the row says so.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"
#include "sim/chips/pic_words.h"

namespace quilla::sim {

// What a six-bit serial command does.
enum class PicOp : std::uint8_t {
    LoadConfig,       // + frame: counter to 2000h, latch := data
    LoadProgram,      // + frame: latch := data
    LoadData,         // + frame: data latch := low byte
    ReadProgram,      // frame out: the word at the counter
    ReadData,         // frame out: the EEPROM byte at the counter
    Increment,
    BeginEraseProgram,  // 08h: erase and program (internally timed)
    BeginProgramOnly,   // 18h: program only (internally timed)
    EraseSetup1,        // 01h
    EraseSetup2,        // 07h
    BulkEraseProgram,   // 09h: arms the program-memory erase for the next 08h
    BulkEraseData,      // 0Bh: arms the data-memory erase for the next 08h
    BeginExternal,      // begin programming, externally timed (ends at EndProgramming)
    EndProgramming,     // ends an externally timed cycle
    BulkEraseSelfTimed, // bulk erase that starts at once and runs on its own
    ChipEraseNow,       // chip erase (1Fh): self-timed, program memory and data EEPROM,
                        // the configuration area too after load configuration
    BulkEraseProgramNow,  // self-timed: program memory (with the counter in the
                          // configuration area also the IDs and configuration word)
    BulkEraseDataNow,     // self-timed: data EEPROM
};

// One line of a part's command table: the bits of `mask` must equal `value`.
struct PicCommandCode {
    std::uint8_t mask;
    std::uint8_t value;
    PicOp op;
};

struct Pic14Part {
    const char* name;
    int pins;                   // DIP pin count (standard placement)
    std::vector<int> vdd, vss;  // chip pins
    int mclr, clock, data;      // chip pins
    int words;                  // program memory words
    int latchWords;             // write latches (words programmed by one cycle), a power of 2
    int eeBytes;                // data EEPROM bytes (0: none)
    std::uint16_t deviceId;     // the word at 2006h
    std::uint16_t configMask;   // implemented configuration bits (the others read 1)
    std::vector<PicCommandCode> commands;
    // First protected program address for a configuration word (words: none).
    int (*protectedFrom)(std::uint16_t config, int words);
    int cpdBit;                 // configuration bit of data protection, -1 when none
    std::uint16_t cpMask;       // the protection bits (CP, CPD): only an erase sets them again
    Tenths vihhMin, vihhMax;    // MCLR window of program/verify mode
    bool vihhAboveVdd;          // vihhMin counts above VDD (VDD + 3.5 V)
    Tenths progVddMin, progVddMax;  // programming and erase
    Tenths readVddMin;          // program mode reads
    Nanos programTime, eraseTime, eeWriteTime;
    // Absolute maximum ratings: any pin, VDD, MCLR.
    Tenths absAny, absVdd, absMclr;

    // ---- the later parts (defaults: as the earlier rows) ----
    // VPP-first entry: MCLR inside the window before VDD rises enters program
    // mode too. Such parts refuse the VDD-first entry while their configuration
    // runs them from the internal oscillator with MCLR as an input
    // (refusesVddFirst), since they would run code before MCLR rises.
    bool vppFirst = false;
    bool (*refusesVddFirst)(std::uint16_t config) = nullptr;
    // An increment during an externally timed cycle moves the counter and the
    // cycle goes on (the PIC16F87XA forms step before they end the cycle).
    bool externalTakesIncrement = false;
    // Configuration bits that read 0 whatever is stored (unimplemented as 0).
    std::uint16_t configZeros = 0;
    // Factory contents: the last program word (0: none), the configuration
    // word as shipped (its calibration bits).
    std::uint16_t factoryLastWord = 0;
    std::uint16_t factoryConfig = 0x3FFF;
    // Socket placement other than the standard DIP one (empty: standard).
    std::vector<int> placement = {};
};

const std::vector<Pic14Part>& Pic14Parts();
const Pic14Part* FindPic14Part(std::string_view name);

class Pic14Chip : public PicWordChip<Pic14Part, 0x3FFF> {
public:
    static constexpr int ConfigBase = 0x2000;

    explicit Pic14Chip(const Pic14Part& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    const Pic14Part& Part() const { return part_; }
    std::span<const std::uint8_t> Eeprom() const { return eeprom_; }
    std::span<std::uint8_t> MutableEeprom() { return eeprom_; }
    // Configuration area word 2000h + k (k 0..7), as stored.
    std::uint16_t ConfigArea(int k) const { return config_[static_cast<std::size_t>(k & 7)]; }
    void SetConfigArea(int k, std::uint16_t w) { config_[static_cast<std::size_t>(k & 7)] = w & ErasedWord; }
    std::uint16_t ConfigWord() const { return ConfigArea(7); }
    bool InProgramMode() const { return programMode_; }
    // Writes and erases completed so far (tests: a write that went wrong shows here).
    std::uint64_t ProgramEvents() const { return programEvents_; }

private:
    enum class Shift : std::uint8_t { Command, DataIn, DataOut };
    enum class Busy : std::uint8_t { None, Word, EepromByte, EraseProgram, EraseData, EraseAll, BulkErase, EraseNow };
    enum class Loaded : std::uint8_t { None, Program, Data, Config };

    void PowerDown(ChipPins& pins);
    void Enter();
    void Leave(ChipPins& pins);
    void Rising(ChipPins& pins);
    void Falling(ChipPins& pins);
    void Decode(ChipPins& pins, std::uint8_t code);
    void Execute(PicOp op, std::uint16_t data);
    void StartCycle(PicOp begin);
    void StartBulkErase();
    void StartEraseNow(PicOp op);
    void EndExternal();
    void Finish();
    void ProgramOne(int address, std::uint16_t value);
    bool ProgramProtected(int address) const;
    bool DataProtected() const;
    std::uint16_t ReadProgramWord() const;

    std::vector<std::uint8_t> eeprom_;
    std::uint16_t config_[8];

    bool programMode_ = false;
    bool vihh_ = false;      // MCLR stood inside the window at the last look
    bool clock_ = false;
    Tenths vdd_ = 0;
    int pc_ = 0;
    std::array<std::uint16_t, 8> latch_{};
    unsigned latchLoaded_ = 0;  // latches loaded since the last cycle (bit i = latch i)
    std::uint8_t dataLatch_ = 0xFF;
    Loaded loaded_ = Loaded::None;
    int eraseSetup_ = 0;     // 1 after 01h, 2 after 01h 07h: the next 08h erases
    PicOp armedErase_ = PicOp::EraseSetup2;  // BulkEraseProgram/Data once 09h/0Bh armed one

    Shift shift_ = Shift::Command;
    int bits_ = 0;
    unsigned shiftReg_ = 0;
    PicOp pendingOp_ = PicOp::Increment;
    unsigned frameOut_ = 0;

    Busy busy_ = Busy::None;
    bool andOnly_ = false;   // the word cycle is program-only
    bool external_ = false;  // the word cycle ends at EndProgramming
    bool bulkWithIds_ = false;
    unsigned eraseScope_ = 0;  // what a self-timed erase (EraseNow) clears
    bool powered_ = false;     // VDD stood above the power-on reset at the last look
    int busyAddress_ = 0;    // the word, or the first word of the block
    std::uint16_t busyValue_ = 0;
    std::array<std::uint16_t, 8> busyLatch_{};
    unsigned busyLatches_ = 0;
    Nanos busyTime_ = 0;
    Nanos busyNeeded_ = 0;
    std::uint64_t programEvents_ = 0;
};

SeatedPart MakePic14(std::string_view name);
void RegisterPic14(ChipRegistry& registry);

}  // namespace quilla::sim
