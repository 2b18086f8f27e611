// XC9500XL CPLDs (XC9536XL; an XC9572XL variant) as their JTAG port shows
// them, from IEEE 1149.1, the parts' BSDL and the in-system programming notes.
// The chip is powered on the user's board: the model needs no supply from the
// programmer. Its JTAG pins reach the programmer's lines TCK, TMS, TDI and TDO
// (chip pins 1-4, on socket pins 1-4 under "jtag1.bit").
//
//   TAP         the IEEE 1149.1 controller: TMS and TDI taken on the rising
//               TCK, TDO changed on the falling TCK (the register's bit 0 while
//               shifting, else held)
//   IR          8 bits; Capture-IR loads the status: bit 0 = 1, bit 1 = 0, bit 2
//               write protect, bit 3 read protect, bit 4 ISP mode
//   BYPASS FF   1-bit register, captures 0 (also every instruction not below)
//   IDCODE FE   32 bits: version 5, family 96h, FB count in bits 12-19, vendor
//               093h (XC9536XL 59602093h, XC9572XL 59604093h)
//   ISPEN E8    6-bit ISPENABLE register; ISP mode begins at the next TCK in
//               Run-Test/Idle after Update-IR (no data needs to be shifted)
//   ISPEX F0    leaves ISP mode the same way
//   FERASE EC, FBULK ED, FBLANK E5 on ISPADDRESS (18 bits: bit 0 valid, bit 1
//               strobe, bits 2-17 address)
//   FPGM EA, FVFY EE on ISPCONFIGURATION (18 + 8 x FBs bits: bit 0 valid, bit 1
//               strobe, bits 2-17 address, then the data word, 8 bits per FB)
//
// Ours where the public notes are silent (sim/README.md): an operation starts
// at Update-DR when valid and strobe are both 1 in ISP mode; it takes effect
// once the TAP has spent its time in Run-Test/Idle (bulk erase 90 ms, within
// the Erase button's 100 ms wait; sector erase 90 ms; blank check 500 us, within
// the Blank button's 1 ms wait; program 5 ms; verify read 20 us; all times the
// slow factor); a strobe while busy is ignored; leaving ISP mode (ISPEX, or
// Test-Logic-Reset) abandons a running operation, its cells as they stand. A Capture-DR of ISPADDRESS or
// ISPCONFIGURATION shows bit 1 (strobe) 1 while busy; when done, bit 0 (valid)
// is 1 when the operation passed (a blank check: every cell erased) and the
// data bits hold the word a verify read. FERASE erases the cells of the FB
// named by address bits 8-15 when that FB exists (0xAA55 names none: nothing
// starts). Cells are erased to 1; programming clears bits (a word ANDs in).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

class Xc9500xlChip : public Chip {
public:
    Xc9500xlChip(std::string name, int functionBlocks, std::uint32_t idcode);

    std::string Name() const override { return name_; }
    int PinCount() const override { return 6; }
    std::vector<int> GroundPins() const override { return {5}; }
    std::vector<int> VccPins() const override { return {6}; }

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;

    static constexpr int Tck = 1, Tms = 2, Tdi = 3, Tdo = 4;

    // Programmed words by address (8 x FBs bits, FB 0 in the lowest byte);
    // an address not listed is erased (all ones).
    const std::map<std::uint16_t, std::vector<std::uint8_t>>& Words() const { return words_; }
    void Program(std::uint16_t address, std::vector<std::uint8_t> word);
    bool Blank() const { return words_.empty(); }
    bool IspMode() const { return isp_; }
    int FunctionBlocks() const { return fbs_; }
    std::uint8_t Instruction() const { return ir_; }

private:
    enum class Tap { Reset, Idle, SelDr, CapDr, ShDr, Ex1Dr, PauseDr, Ex2Dr, UpdDr, SelIr, CapIr, ShIr, Ex1Ir, PauseIr, Ex2Ir, UpdIr };
    static Tap Next(Tap s, bool tms);
    int DrLength() const;
    void CaptureDr();
    void UpdateDr();
    void Finish();

    std::string name_;
    int fbs_;
    std::uint32_t idcode_;
    std::map<std::uint16_t, std::vector<std::uint8_t>> words_;

    Tap tap_ = Tap::Reset;
    bool lastTck_ = false;
    bool tdo_ = true;
    std::uint8_t ir_ = 0xFE;      // IDCODE after reset
    std::uint8_t irShift_ = 0;
    std::vector<std::uint8_t> dr_;  // the DR shift register, bit 0 first
    bool isp_ = false;
    int ispPending_ = 0;            // 1 enter, -1 leave, at the next TCK in Idle

    // The ISP registers and the running operation.
    std::uint16_t address_ = 0;
    std::vector<std::uint8_t> data_;
    bool valid_ = false;
    bool busy_ = false;
    std::uint8_t op_ = 0;
    Nanos left_ = 0;
};

// Seats the part ("XC9536XL", "XC9572XL"; "XC95xx", the device line's name,
// gives the XC9536XL) on the JTAG lines; chip empty when unknown.
SeatedPart MakeXc9500xl(std::string_view name);
void RegisterXc9500xl(ChipRegistry& registry);

}  // namespace quilla::sim
