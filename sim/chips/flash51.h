// 8051 flash parts whose parallel programming is a state machine rather than
// a table of modes (sim/chips/mode_table.h): SST's external host mode, the
// page-write parts opened by an unlock sequence, and the command-register
// parts. All three sit in the DIP40 socket with the standard 8051 pinout:
//
//   P1.0-P1.7 (1-8) A0-A7, P2.0-P2.5 (21-26) A8-A13, P3.4 (14) A14, P3.5 (15)
//   A15, P0.0-P0.7 (39-32) the data, RST 9, P3.3 13, P3.6 16, P3.7 17, XTAL1 19
//   (the programmer's clock where a part needs one), GND 20, P2.6 27, P2.7 28,
//   PSEN 29, ALE/PROG 30, EA 31, VCC 40.
//
// Each class below writes down its protocol first. Common to all: the chip is
// powered only by a VCC supply inside its window with pin 20 grounded; power
// lost drops every write in progress and every armed state; data drive P0 only
// in a read state with ALE/PROG high.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

// The shared pinout and electrics of the classes below.
class Parallel51Chip : public Chip {
public:
    static constexpr int kRst = 9, kP33 = 13, kP34 = 14, kP35 = 15, kP36 = 16, kP37 = 17, kXtal1 = 19;
    static constexpr int kGnd = 20, kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31, kVcc = 40;
    static constexpr std::array<int, 8> kPort0{39, 38, 37, 36, 35, 34, 33, 32};

    int PinCount() const override { return 40; }
    std::vector<int> GroundPins() const override { return {kGnd}; }
    std::vector<int> VccPins() const override { return {kVcc}; }
    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

protected:
    Parallel51Chip(std::size_t cells, Tenths vccMin, Tenths vccMax)
        : cells_(cells, 0xFF), vccMin_(vccMin), vccMax_(vccMax) {}
    // VCC from a supply inside the window, ground on pin 20.
    bool Powered(ChipPins& pins) const;
    // A0..A(bits-1) from P1, P2.0-P2.5, P3.4, P3.5.
    static std::uint32_t Address(ChipPins& pins, int bits = 16);
    static std::uint8_t Data(ChipPins& pins) { return static_cast<std::uint8_t>(pins.ReadBus(kPort0)); }
    static void Drive(ChipPins& pins, std::uint8_t v) { pins.DriveBus(kPort0, v); }
    static void Release(ChipPins& pins) { pins.ReleaseBus(kPort0); }
    // The levels of P2.6, P2.7, P3.6, P3.7 (and P3.3) as "LHHH" text.
    static std::string Mode4(ChipPins& pins);
    static std::string Mode5(ChipPins& pins);

    std::vector<std::uint8_t> cells_;
    Tenths vccMin_, vccMax_;
};

// ---- SST89C54/58, SST89E/V554RC, SST89E/V564RD: external host mode ------------------
//
//   entry      PSEN falling while RST is high (VCC on); the mode holds while RST
//              stays high and PSEN low, and ends otherwise
//   arming     no command runs until a Read-ID (the identification setting with
//              ALE/PROG high answering 0x30 or 0x31) since the mode was entered
//   commands   by P2.6 P2.7 P3.6 P3.7, each write command started by a pulse on
//              ALE/PROG (address and data taken at the falling edge, unchanged to
//              the rising edge, where the self-timed cycle starts; a pulse while
//              busy is ignored):
//                read (byte verify) L L H H, Read-ID L L L L (0x30 BF, 0x31 the
//                device code), byte program L H H H, chip erase H L L L (both
//                blocks and SB1-SB3), SB1 H H H H, SB2 H H L L, SB3 H L H L; the
//                configuration bits by H L L H with A15-A8 = 5A (SC0), AA (SC1),
//                55 (Sel Block0), A5 (Sel Block1), 00 (RB1), and by L L L H with
//                A15-A8 = 55 (Clock 6/12), 00 (RB0); a part takes only the bits
//                it has (C54/58: RB0, RB1; the E/V parts: SC0, SC1, the block
//                selects and the clock bit)
//   blocks     block 0 from 0 and block 1 up to 0xFFFF; other addresses read 0xFF
//              and take no program
//   security   any of SB1-SB3 programmed: reads answer 0xFF and programming is
//              ignored (the sheets: verify disabled, no programming while a lock
//              is set); only a chip erase clears them
//   EA         the forms route a 0 V supply to EA during Write, so the model
//              does not look at EA
//   VCC        the 5 V parts 4.5-5.5 V; the V parts 2.7-3.6 V by their sheets,
//              taken up to 4.4 V (the forms' level for them; below the ratings)
//   times      byte and bit programs 10 us (the sheets' byte program is longer
//              than the forms leave between two pulses, about 12 us), chip erase
//              100 ms (the forms wait 210 ms after the pulse); slow factor applies
//   ratings    any pin 7.0 V, EA 14.0 V
struct Sst89Part {
    std::string name;
    std::uint32_t block0End;    // last address of block 0
    std::uint32_t block1Start;  // block 1 runs to 0xFFFF (above block0End)
    std::uint8_t device;        // the Read-ID byte at 0x31
    bool lowVoltage;            // the V parts
    bool remapBits;             // RB0/RB1 (else the SC0/SC1/block-select/clock bits)
};

class Sst89Chip : public Parallel51Chip {
public:
    // Bits of ConfigBits().
    enum : unsigned { SC0 = 1, SC1 = 2, SelBlock0 = 4, SelBlock1 = 8, Clock6 = 16, RB0 = 32, RB1 = 64 };

    explicit Sst89Chip(Sst89Part part);
    std::string Name() const override { return part_.name; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    const Sst89Part& Part() const { return part_; }
    // SB1..SB3 programmed: bits 0..2.
    unsigned SecurityBits() const { return security_; }
    void SetSecurityBits(unsigned b) { security_ = b; }
    unsigned ConfigBits() const { return config_; }
    bool InBlocks(std::uint32_t a) const { return a <= part_.block0End || a >= part_.block1Start; }
    std::uint64_t Erases() const { return erases_; }

private:
    enum class Op : std::uint8_t { None, Read, Id, Program, Erase, Security, Config };
    struct Cmd {
        Op op = Op::None;
        unsigned bit = 0;  // Security: SB index bit; Config: config bit
        std::uint32_t address = 0;
        std::uint8_t data = 0;
        bool operator==(const Cmd&) const = default;
    };
    Cmd Decode(ChipPins& pins) const;
    void Start(const Cmd& c);
    void Finish();
    void Reset();

    Sst89Part part_;
    unsigned security_ = 0, config_ = 0;
    bool inMode_ = false, armed_ = false, psenLow_ = false, progLow_ = false;
    bool pulseArmed_ = false;
    Cmd pulse_{};
    Nanos busyLeft_ = 0;
    Cmd busy_{};
    std::uint64_t erases_ = 0;
};

// ---- T89C51RB2/RC2/RD2: page writes opened by an unlock sequence ------------------------
//
//   settings   by P2.6 P2.7 P3.6 P3.7 P3.3 with RST high, PSEN low, EA high and
//              XTAL1 clocked:
//                code read L L H H H, configuration/ID read L L L L H and L L L L L
//                (the 256-byte configuration block: BSB 0, SBV 1, HSB 4, SSB 5,
//                IDs 0x30, 0x31, 0x60, 0x61), HSB read L L L H H (the HSB at every
//                address), unlock H L H L L, chip erase H L L L L, HSB write
//                H H L L L, page load L H L H L, page program L H H H L,
//                configuration load H H L H H, configuration program H H L H L
//   unlock     0x55 then 0xAA, each strobed by an ALE/PROG pulse in the unlock
//              setting, arm the write cycles; the forms unlock once per operation
//              and then run several write cycles, so one unlock stays armed until
//              VCC goes (the documented sequence is accepted that way)
//   page       each ALE/PROG pulse in the load setting stores P0 in the 128-byte
//              buffer at A6-A0; the program cycle writes the buffer into the page
//              of A15-A7 (bytes never loaded since the last program stay as they
//              are) and empties the buffer
//   cycles     erase, HSB write, page program and configuration program run while
//              ALE/PROG is held low in their setting, armed, for the cycle time
//              (5 ms; the forms hold it 10 ms); a shorter pulse does nothing
//   erase      the code to 0xFF and the HSB to 0xFF
//   HSB        the write programs the bits that are 0 in P0 (HSB AND data)
//   config     the program cycle writes BSB, SBV and SSB from the loaded bytes 0,
//              1 and 5; the HSB and the IDs are not written there
//   locks      HSB bit 1 (LB1) at 0: page programs are ignored; bit 2 (LB2) at 0
//              as well: code reads answer 0xFF (ours: what a locked read shows)
//   A15        the RC2 and RB2 decode 32 and 16 KiB: higher address bits ignored
//   VCC        4.5-5.5 V (the forms' 4.4 V is taken: SIMULATOR.md, rule 8)
//   ratings    any pin 7.0 V
struct PageWrite51Part {
    std::string name;
    std::uint32_t size;
    std::array<std::uint8_t, 4> ids;  // 0x30, 0x31, 0x60, 0x61
};

class PageWrite51Chip : public Parallel51Chip {
public:
    static constexpr Nanos kCycle = 5 * Millisecond;
    static constexpr int kPage = 128;

    explicit PageWrite51Chip(PageWrite51Part part);
    std::string Name() const override { return part_.name; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::uint8_t Hsb() const { return block_[4]; }
    void SetHsb(std::uint8_t v) { block_[4] = v; }
    // The configuration block as the read settings show it.
    const std::array<std::uint8_t, 256>& Block() const { return block_; }
    std::array<std::uint8_t, 256>& MutableBlock() { return block_; }
    bool Unlocked() const { return unlocked_; }
    std::uint64_t PagePrograms() const { return pagePrograms_; }

private:
    enum class Cycle : std::uint8_t { None, Erase, Hsb, Page, Config };
    void Complete(ChipPins& pins);
    void PowerLost();

    PageWrite51Part part_;
    std::array<std::uint8_t, 256> block_{};
    std::array<int, kPage> buffer_{};      // -1: not loaded
    std::array<int, kPage> cfgBuffer_{};
    bool unlocked_ = false, progLow_ = false;
    int unlockStep_ = 0;                   // 0x55 seen: 1
    Cycle cycle_ = Cycle::None;
    std::uint32_t cycleAddress_ = 0;
    std::uint8_t cycleData_ = 0;
    std::string cycleMode_;
    Nanos cycleTime_ = 0;
    bool cycleDone_ = false;
    std::uint64_t pagePrograms_ = 0;
};

// ---- IS89C51A/52A, IS89LV51A/52A: a command register ------------------------------------
//
// No public parallel-programming description of these parts was found; the
// interface below is the programmer's settings for them, kept strict:
//
//   pins       RST high, PSEN low, P3.6 and P3.7 high, XTAL1 clocked
//   command    the byte on P0 is latched into the command register on the rising
//              edge of P2.6 while P2.7 is high (with P2.7 low the strobe is
//              ignored); power-up leaves no command
//   read       0xC0, then P2.7 low: the code at A12-A0 on P0 while ALE/PROG is
//              high; 0x90 likewise answers the signature (0x30 D5, 0x31 the
//              device, 0x32 FF)
//   program    0x40, then the data on P0 and ALE/PROG low with 5 V on EA: the
//              byte is programmed (AND) once the pulse has lasted 20 us in all
//   erase      0x20, then 0xD0 on P0 and ALE/PROG low with 5 V on EA: the chip
//              (code and lock bits) erases once the pulse has lasted 100 ms
//   locks      0x60, 0x70, 0x80 (LB1, LB2, LB3), then 0xD0 on P0 and an
//              ALE/PROG pulse of 500 us with 5 V on EA; LB1 stops programming,
//              LB2 also reads (0xFF, ours)
//   VCC        the C parts 4.5-5.5 V, the LV parts 3.0-3.6 V; EA 4.5-5.5 V from a
//              supply while writing
//   ratings    any pin 7.0 V
struct CommandReg51Part {
    std::string name;
    std::uint32_t size;
    std::uint8_t device;
    bool lowVoltage;
};

class CommandReg51Chip : public Parallel51Chip {
public:
    explicit CommandReg51Chip(CommandReg51Part part);
    std::string Name() const override { return part_.name; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    unsigned LockBits() const { return locks_; }
    void SetLockBits(unsigned b) { locks_ = b; }
    int Command() const { return command_; }
    std::uint64_t Erases() const { return erases_; }

private:
    void Complete();
    bool Writing(ChipPins& pins) const;

    CommandReg51Part part_;
    unsigned locks_ = 0;
    int command_ = -1;
    bool strobeLow_ = false, progLow_ = false;
    // The pulse in progress: what it writes and how long it has lasted.
    bool pulse_ = false;
    int pulseCommand_ = -1;
    std::uint32_t pulseAddress_ = 0;
    std::uint8_t pulseData_ = 0;
    Nanos pulseTime_ = 0;
    bool pulseDone_ = false;
    std::uint64_t erases_ = 0;
};

// The parts of this file by name ("SST89C54", "T89C51RD2", "IS89C52A"); chip
// empty when unknown.
SeatedPart MakeFlash51(std::string_view name);
void RegisterFlash51(ChipRegistry& registry);

}  // namespace quilla::sim
