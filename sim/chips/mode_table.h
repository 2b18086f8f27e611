// Microcontrollers programmed in parallel through a table of modes (the 8051
// family's flash and EPROM parts): one model class, one parameter table per
// part. The table says, in the part's own pin numbers:
//
//   power       VCC from a programmer supply on the VCC pin, ground at 0 V;
//               reads need VCC inside the read window, writes and erases inside
//               the programming window
//   clock       the programmer's clock on XTAL1 (parts that need one): without
//               it the chip does nothing
//   always      pins every mode needs at a level (RST high, PSEN low)
//   modes       the levels of the mode pins (P2.6, P2.7, P3.6, P3.7 on the Atmel
//               parts), each naming one operation: read the code, program a
//               byte, erase the chip, program lock bit n, read the signature
//   strobe      the program strobe (ALE/PROG), active low: reads need it high;
//               a program or lock mode starts the part's self-timed write on the
//               rising edge of a pulse that began (falling edge) with the mode,
//               the VPP window and programming VCC, the address and data latched
//               at the falling edge and unchanged to the rising edge; a pulse
//               while a write is busy is ignored; the erase mode erases once the
//               strobe has been low for the part's erase time (summed while the
//               mode and levels hold), every cell to 0xFF and the lock bits clear
//   VPP         the programming voltage on the VPP pin, counted only from a
//               supply; reads need that pin at a logic high (or VPP)
//   address     A0.. on the address pins (the part decodes its own size);
//   data        D0..D7: inputs while programming, outputs in the read modes
//   busy        the write cycle runs on the virtual clock (slow factor applies):
//               a read of the address being written answers the written byte
//               with bit 7 complemented (data polling); the ready pin (if any)
//               is driven low while busy; VCC lost mid-cycle loses the byte
//   cells       flash cells only go 1 -> 0 by programming; erase sets them 0xFF
//               (one-time-programmable parts take no erase)
//   locks       lock bit n programmed: from `lockNoProgram` on, programming the
//               code is ignored (lock bits still program); from `lockNoRead` on,
//               every read (code and signature) answers 0xFF. What a locked read answers is ours:
//               the sheets only say the code can no longer be verified.
//   signature   the cells the signature mode answers (others read 0xFF)
//   ratings     the sheet's absolute maximum ratings: any pin, the VPP pin
//
// Optional columns (their defaults keep the behaviour above):
//   per-operation windows   lock-bit writes and the chip erase may ask their
//               own VCC (6.5 V on the AT89C55WD) and the erase its own VPP
//               (14 V on the Winbond parts); reads may ask a VPP supply
//   pulse erase the erase starts at the rising edge of a pulse in the erase
//               mode and runs self-timed for the erase time (busy; VCC lost
//               mid-way loses it)
//   pulse-timed programming (`minProgramLow` > 0) no self-timed write: a
//               program pulse programs its byte once the strobe has been low
//               for that time in the program mode, summed over the pulses that
//               keep the same address and data (EPROM-like cells)
//   reads and the strobe   parts whose read setting holds the strobe low read
//               whatever it stands at (`strobeGatesReads` = false)
//   lock read   a mode that answers the lock bits on data bits (programmed 1)
//   lock byte   a mode that programs lock bit n where data bit `lockByteBits`
//               [n-1] is 0 (the lock bits written as a data byte)
//   fixed answer   a signature mode row may answer one byte at any address
//   extra cells  bytes beside the code decoded from the full address (the
//               Winbond CFG byte at 0xFFFF and the seeds below it), kept apart
//               from the code; with `extraInLdrom` only while the LDROM is
//               selected
//   config byte one more cell (0xFF erased): a WriteConfig mode programs it (the
//               bits `configClear` whatever the data, or the data byte when that
//               is 0, at `configAddress` when one is given), a ReadConfig mode
//               answers it at any address, and the signature mode answers it at
//               `configAddress`; pulse-timed like the code (`minLockLow`)
//   pulse-timed lock bits   with `minProgramLow`, lock bits and the config byte
//               program once the strobe has been low `minLockLow` (0: the code's
//               figure), summed over the pulses of one setting; the config byte
//               may ask its own figure (`minConfigLow`, 0: the lock bits')
//   LDROM       a second array of `ldromSize` bytes, selected by a high level on
//               `ldromSelect` (A0.. modulo its size); Contents() holds it right
//               after the code
//
// A write pulse the chip ignores (busy, locked, supplies outside their windows,
// the config byte's setting at another address, the address or data changed
// while the strobe was low) is noted as a refusal (Chip::NoteRefusal).
//
// Later parts add their own modes to the same table; a part whose sequence is
// a state machine (command registers, counters) gets its own class.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

struct PinLevel {
    int pin;   // chip pin
    bool high;
};

enum class ModeOp : std::uint8_t {
    Read, Program, Erase, WriteLock, Signature, ReadLock, WriteLockByte, WriteConfig, ReadConfig
};

struct ModeRow {
    ModeOp op;
    std::vector<PinLevel> pins;  // the mode pins' levels
    int lockBit = 0;             // WriteLock: which bit (1..)
    int answer = -1;             // Signature: a byte answered at every address (-1: the signature cells)
};

struct ModeTablePart {
    std::string name;
    int pins = 40;
    std::uint32_t size = 0;            // code bytes
    int vcc = 0;
    std::vector<int> gnd;
    std::vector<int> nc;               // pins with no internal connection (no rating applies)
    std::vector<int> address;          // A0, A1, ...
    std::vector<int> data;             // D0..D7
    std::vector<PinLevel> always;      // every mode
    std::vector<ModeRow> modes;
    int strobe = 0;                    // program strobe, active low
    int vppPin = 0;
    int clock = 0;                     // XTAL1 (0: no clock needed)
    int ready = 0;                     // RDY/BSY output (0: none)
    Tenths vppMin = 0, vppMax = 0;     // programming window on vppPin
    Tenths readVccMin = 0, readVccMax = 0;
    Tenths progVccMin = 0, progVccMax = 0;
    Nanos writeTime = 0;               // self-timed byte and lock-bit write
    Nanos eraseTime = 0;               // strobe low time of a chip erase
    bool otp = false;
    int lockNoProgram = 1;             // lowest lock bit that stops programming (0: none)
    int lockNoRead = 2;                // lowest lock bit that stops reading (0: none)
    std::map<std::uint32_t, std::uint8_t> signature;
    Tenths absAny = 0, absVpp = 0;     // absolute maximum ratings
    // ---- optional columns (see the header comment) ----
    Tenths lockVccMin = 0, lockVccMax = 0;    // lock-bit writes (0: the programming window)
    Tenths eraseVccMin = 0, eraseVccMax = 0;  // chip erase (0: the programming window)
    Tenths eraseVppMin = 0, eraseVppMax = 0;  // chip erase (0: vppMin..vppMax)
    Tenths readVppMin = 0;                    // reads need this supply on vppPin (0: a logic high)
    bool pulseErase = false;
    bool strobeGatesReads = true;
    Nanos minProgramLow = 0;
    std::vector<int> lockReadBits;            // ReadLock: data bit of lock bit n
    std::vector<int> lockByteBits;            // WriteLockByte: data bit whose 0 programs lock bit n
    std::vector<std::uint32_t> extraCells;    // full addresses (erased 0xFF)
    bool extraInLdrom = false;
    int ldromSelect = 0;
    std::uint32_t ldromSize = 0;
    Nanos minLockLow = 0;
    Nanos minConfigLow = 0;
    std::uint8_t configClear = 0;
    int configAddress = -1;
};

class ModeTableChip : public Chip {
public:
    explicit ModeTableChip(ModeTablePart part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return part_.pins; }
    std::vector<int> GroundPins() const override { return part_.gnd; }
    std::vector<int> VccPins() const override { return {part_.vcc}; }
    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    const ModeTablePart& Part() const { return part_; }
    // Lock bits programmed: bit n-1 for lock bit n.
    unsigned LockBits() const { return locks_; }
    void SetLockBits(unsigned bits) { locks_ = bits; }
    bool Busy() const { return busyLeft_ > 0; }
    std::uint64_t Writes() const { return writes_; }
    std::uint64_t Erases() const { return erases_; }
    // An extra cell (the CFG byte); 0xFF when the part has none there.
    std::uint8_t Extra(std::uint32_t address) const;
    void SetExtra(std::uint32_t address, std::uint8_t v) { extra_[address] = v; }
    std::uint8_t Config() const { return config_; }
    void SetConfig(std::uint8_t v) { config_ = v; }
    // Ultraviolet light (tests): every cell, the lock bits and the config byte
    // erased, also on one-time-programmable parts in a windowed package.
    void UvErase() { EraseAll(); }

private:
    struct Latched {
        ModeOp op;
        int lockBit;
        std::uint32_t address;
        std::uint8_t data;
        bool operator==(const Latched&) const = default;
    };
    const ModeRow* Mode(ChipPins& pins) const;
    std::uint32_t Address(ChipPins& pins) const;
    std::uint32_t FullAddress(ChipPins& pins) const;
    // Where the address on the pins lands: an index into the cells, or
    // kExtra | full address for an extra cell.
    static constexpr std::uint32_t kExtra = 0x80000000u;
    std::uint32_t Locate(ChipPins& pins) const;
    std::uint8_t At(std::uint32_t loc) const;
    void ProgramAt(std::uint32_t loc, std::uint8_t v);
    bool Locked(int fromBit) const { return fromBit > 0 && (locks_ >> (fromBit - 1)) != 0; }
    bool CanWrite(ChipPins& pins, Tenths vcc, ModeOp op) const;
    void DriveData(ChipPins& pins, std::uint8_t v);
    void ReleaseData(ChipPins& pins);
    void Commit();
    void EraseAll();

    ModeTablePart part_;
    std::vector<std::uint8_t> cells_;
    unsigned locks_ = 0;
    bool strobeLow_ = false;
    // A pulse begun in a write mode: what it writes, if it still holds.
    bool armed_ = false;
    Latched arm_{};
    // The self-timed write in progress.
    Nanos busyLeft_ = 0;
    Latched busy_{};
    // Erase: strobe-low time in the erase mode.
    bool erasing_ = false;
    Nanos eraseTime_ = 0;
    bool eraseDone_ = false;
    std::uint64_t writes_ = 0, erases_ = 0;
    std::map<std::uint32_t, std::uint8_t> extra_;
    std::uint8_t config_ = 0xFF;
    // Pulse-timed programming: the pulse under way began at fallAt_; low time
    // summed for progKey_ (location and data) so far.
    Nanos fallAt_ = 0;
    Nanos progLow_ = 0;
    Latched progKey_{};
};

// The 40-pin DIP pin of a function seen from the 44-pin PLCC of the same 8051
// die (the standard 80C51 packages): PLCC pin = Plcc44Of(DIP pin).
int Plcc44Of(int dipPin);
// The same part in the PLCC44 package (every pin of the table renumbered; pins
// 1, 12, 23 and 34 not connected).
ModeTablePart InPlcc44(ModeTablePart dip);

}  // namespace quilla::sim
