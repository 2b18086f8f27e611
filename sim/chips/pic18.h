// PIC18 microcontrollers programmed through their serial programming interface
// of 4-bit commands: the flash parts of the PIC18FXX2 programming sheet
// (PIC18F242/252/442/452) and the one-time parts of the PIC18CXX2 programming
// sheet (PIC18C242/252/442/452). One model with a table of parts. The
// one-time parts' sixteen configuration bytes are modelled as plain one-time
// bytes (erased FFh).
//
//   power        VDD from a programmer supply on a VDD pin, a VSS pin grounded
//   entry        program/verify mode starts when MCLR rises into the VIHH window
//                (from a supply) while VDD stands and PGC (RB6) and PGD (RB7) are
//                held low; MCLR leaving the window, or VDD going, ends it.
//   serial       a 4-bit command, LSB first, taken on the falling PGC edge, then:
//                  0000 core instruction: a 16-bit operand (the instruction)
//                  0010 shift out TABLAT
//                  1000 table read, 1001 post-increment, 1010 post-decrement,
//                  1011 pre-increment
//                  1100 table write, 1101 post-increment by 2, 1110
//                  post-decrement by 2, 1111 table write and start programming
//                  (one-time parts: 1111 pre-increment by 2, no programming start)
//                Commands with an operand take 16 bits, LSB first. Reads and
//                the shift-out take 8 clocks of input (ignored), then the chip
//                drives the byte, LSB first, after each of 8 rising edges; it
//                releases PGD after the last falling edge.
//   core         the subset a programmer sends: NOP, MOVLW, MOVWF, MOVF f,W,
//                INCF f,F, BSF, BCF (access bank: 80h-FFh are the registers
//                F80h-FFFh), GOTO (two words). The registers that matter:
//                TBLPTRU/H/L (F8h, F7h, F6h), TABLAT (F5h), EECON1 (A6h: EEPGD
//                7, CFGS 6, WREN 2, WR 1, RD 0), EECON2 (A7h), EEDATA (A8h),
//                EEADR (A9h), EEADRH (AAh). Any other instruction does nothing.
//   memory       program memory erased to FFh; IDs 200000h-200007h (FFh);
//                configuration bytes 300000h-30000Dh with the part's erased
//                values (unimplemented bits and 30000Eh/30000Fh read 0); the
//                device ID at 3FFFFEh/3FFFFFh. Table writes into 3C0004h (erase
//                control) and 3C0006h (write mode) set those registers.
//
// Flash parts:
//   writes       a table write below the program size or into the IDs loads two
//                bytes of the 8-byte write buffer (TBLPTR bits 2-1; low byte at
//                the even address); 1111 loads the last two and arms a
//                programming cycle: the fourth clock of the next command (a
//                NOP) held high for at least P9 (1 ms) programs the buffer into
//                the 8-byte panel of TBLPTR (cells only go 1 -> 0) and empties
//                it. The cycle needs single-panel mode (00h written to 3C0006h
//                since entry), EECON1 EEPGD set and CFGS clear; a shorter hold,
//                or leaving program mode during it, programs nothing.
//   config       with EEPGD and CFGS set and the program counter at or above
//                100000h (GOTO 100000h), 1111 at 300000h-30000Dh programs the
//                byte of TBLPTR's half of the operand (even: low byte, odd:
//                high byte) on the held NOP: bytes 0-7 take the value, the
//                protection bytes 8-13 only clear bits (only a chip erase sets
//                them again).
//   erase        a table write of an erase code into 3C0004h, then two NOPs: the
//                erase starts with the second NOP's command and runs P11 (5 ms)
//                while program mode stands (leaving earlier erases nothing);
//                commands meanwhile do nothing. 80h chip (program memory, data
//                EEPROM, IDs, configuration), 81h data EEPROM, 83h boot block
//                (0000h-01FFh), 88h-8Bh panels 1-4 (8 KiB each, panel 1 without
//                the boot block; a panel beyond the program size erases nothing).
//   EEPROM       BSF EECON1,RD with EEPGD and CFGS clear: EEDATA := the byte at
//                EEADRH:EEADR (modulo the size). BSF EECON1,WR with WREN set,
//                EEPGD and CFGS clear, right after MOVWF EECON2 of 55h then of
//                AAh (MOVLW between them allowed, anything else breaks the
//                sequence) writes EEDATA there after TDEW (1 ms, below); WR
//                reads 1 meanwhile and a WR while it runs is refused.
// One-time parts:
//   writes       a table write latches the word at TBLPTR (bit 0 cleared); the
//                fourth clock of the next NOP held high for at least P9 (100 us)
//                ANDs it into the cells (program memory, IDs or a configuration
//                word); no erase, no data EEPROM.
//
// Levels: programming and erase at VDD 4.5-5.5 V, reads from 2.0 V. VIHH is
// 9.0-13.25 V on the flash parts; the one-time parts' sheet asks 12.75-13.25 V,
// and the model accepts the forms' 12.0 V (family rule 8). Absolute maximum
// ratings: VDD 7.5 V, MCLR 13.25 V, any other pin VDD + 0.3 V (taken as 7.5 V).
// The slow factor multiplies P9, P11 and TDEW.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

struct Pic18Part {
    const char* name;
    int pins;                   // DIP pin count (standard placement)
    std::vector<int> vdd, vss;  // chip pins
    int mclr, clock, data;      // chip pins
    int programBytes;
    int eeBytes;                // 0: none
    bool otp;                   // one-time part
    std::uint8_t devId1, devId2;  // 3FFFFEh, 3FFFFFh
    std::array<std::uint8_t, 16> configErased;  // erased value, implemented bits
};

const std::vector<Pic18Part>& Pic18Parts();
const Pic18Part* FindPic18Part(std::string_view name);

class Pic18Chip : public Chip {
public:
    static constexpr Nanos FlashHold = 1'000'000;   // P9, flash parts
    static constexpr Nanos OtpHold = 100'000;       // P9, one-time parts
    static constexpr Nanos EraseTime = 5'000'000;   // P11
    // TDEW: the datasheet's 4 ms typical, lowered: the flash form waits eet= x
    // 1 ms (at least one) per byte without polling (family rule 8).
    static constexpr Nanos EepromTime = 1'000'000;

    explicit Pic18Chip(const Pic18Part& part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return part_.pins; }
    std::vector<int> GroundPins() const override { return part_.vss; }
    std::vector<int> VccPins() const override { return part_.vdd; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;
    std::span<const std::uint8_t> Contents() const override { return program_; }
    std::span<std::uint8_t> MutableContents() override { return program_; }

    const Pic18Part& Part() const { return part_; }
    std::span<const std::uint8_t> Eeprom() const { return eeprom_; }
    std::span<std::uint8_t> MutableEeprom() { return eeprom_; }
    std::uint8_t Config(int k) const { return config_[static_cast<std::size_t>(k & 15)]; }
    void SetConfig(int k, std::uint8_t v) {
        config_[static_cast<std::size_t>(k & 15)] = v & part_.configErased[static_cast<std::size_t>(k & 15)];
    }
    std::uint8_t Id(int k) const { return ids_[static_cast<std::size_t>(k & 7)]; }
    // The silicon revision in DEVID1 bits 4-0 (0 as built).
    void SetRevision(int rev) {
        devId1_ = static_cast<std::uint8_t>((part_.devId1 & 0xE0) | (rev & 0x1F));
    }
    bool InProgramMode() const { return programMode_; }
    // Programming cycles and erases completed (tests).
    std::uint64_t ProgramEvents() const { return programEvents_; }
    // Table writes into the configuration area seen (tests: what Wr.CFG touches).
    const std::vector<std::uint32_t>& ConfigWrites() const { return configWrites_; }

private:
    enum class Shift : std::uint8_t { Command, Operand, ReadIn, ReadOut };
    enum class Busy : std::uint8_t { None, Erase, Eeprom };

    void Enter();
    void Leave(ChipPins& pins);
    void Rising(ChipPins& pins);
    void Falling(ChipPins& pins);
    void Command(ChipPins& pins, unsigned cmd);
    void Operand(unsigned cmd, std::uint16_t data);
    void Core(std::uint16_t op);
    void TableWrite(unsigned cmd, std::uint16_t data);
    std::uint8_t ReadAt(std::uint32_t a) const;
    std::uint8_t Reg(std::uint8_t f) const;
    void SetReg(std::uint8_t f, std::uint8_t v);
    void Program(ChipPins& pins, Nanos held);
    void StartErase(std::uint8_t code);
    void Finish();
    bool ProgramLevels(ChipPins& pins) const;

    const Pic18Part& part_;
    std::vector<std::uint8_t> program_, eeprom_;
    std::array<std::uint8_t, 8> ids_{};
    std::array<std::uint8_t, 16> config_{};
    std::uint8_t devId1_;

    bool programMode_ = false;
    bool vihh_ = false;
    bool powered_ = false;
    bool clock_ = false;
    Shift shift_ = Shift::Command;
    int bits_ = 0;
    unsigned shiftReg_ = 0;
    unsigned cmd_ = 0;
    std::uint8_t out_ = 0;
    Nanos riseAt_ = 0;

    // core state
    std::uint8_t w_ = 0;
    std::uint32_t tblptr_ = 0;
    std::uint8_t tablat_ = 0, eecon1_ = 0, eedata_ = 0, eeadr_ = 0, eeadrh_ = 0;
    std::uint32_t pc_ = 0;
    std::uint16_t gotoLow_ = 0;
    bool gotoPending_ = false;
    int unlock_ = 0;  // 1 after 55h into EECON2, 2 after AAh next

    // write state
    std::array<std::uint8_t, 8> buffer_{};
    bool armed_ = false;                // a programming cycle waits for the held NOP
    bool configCycle_ = false;          // the armed cycle is a configuration byte
    std::uint32_t cycleAddress_ = 0;    // the configuration byte's / one-time word's address
    std::uint16_t otpWord_ = 0xFFFF;
    bool singlePanel_ = false;          // 00h written to 3C0006h since entry
    std::uint8_t eraseCode_ = 0;
    int nopsAfterErase_ = -1;           // NOPs since the erase code (-1: none pending)

    Busy busy_ = Busy::None;
    Nanos busyTime_ = 0, busyNeeded_ = 0;
    std::uint32_t eeAddress_ = 0;
    std::uint8_t eeValue_ = 0;
    std::uint64_t programEvents_ = 0;
    std::vector<std::uint32_t> configWrites_;
};

SeatedPart MakePic18(std::string_view name);
void RegisterPic18(ChipRegistry& registry);

}  // namespace quilla::sim
