// Firmware-hub and LPC flash in the address/address-multiplexed programmer
// interface (A/A Mux, "PP mode"): the Intel 82802AB/AC firmware hubs and the
// SST49LF002A/003A/004A/008A, one model with a table of parts. They sit in a
// PLCC32 adapter whose pin n lands on socket pin n + 4 (the DIP32 footprint).
//
// Pins (PLCC32, A/A Mux names):
//   1 VPP (82802; no programming supply on the SST parts)   2 RST#
//   3 A9  4 A8  5 A7  6 A6  7 A5  8 A4  9 A3  10 A2  11 A1  12 A0  30 A10
//   13 DQ0  14 DQ1  15 DQ2  17 DQ3  18 DQ4  19 DQ5  20 DQ6  21 DQ7
//   16 VSS  32 VDD (25 and 28 are the second VDD and VSS, tied to 32 and 16 on
//   the adapter; the model reads its supply at 32 and 16)
//   23 WE#  24 OE#  29 IC  31 R/C#  22, 26, 27 not connected
//
// Interface (the datasheets' A/A Mux mode):
//   power      VDD 3.0..3.6 V from a programmer supply on pin 32, VSS grounded;
//              out of that window the chip is off (outputs released, modes and
//              busy work lost). Power-up and a low RST# return to read-array.
//   mode       IC high selects A/A Mux; it is taken when the chip powers up and
//              when RST# rises. With IC low (the in-system interface) the chip
//              answers nothing here.
//   address    the row A0..A10 is latched on the falling edge of R/C#, the
//              column (A11 up) from the same pins on its rising edge.
//   read       OE# low, WE# high: the byte of the mode (array, identifier,
//              status) at the latched address on DQ0..DQ7.
//   write      the rising edge of WE# with OE# high latches DQ0..DQ7 as one
//              bus cycle at the latched address.
//
// Intel command set (82802AB/AC): FFh read array; 90h read identifier (89h at
// 0, ADh 4 Mbit / ACh 8 Mbit at 1); 70h read status; 50h clear status; 40h or
// 10h then the data programs one byte; 20h then D0h erases the 64 KiB block
// of the address (20h followed by anything else: SR.4 and SR.5 set). Program
// and erase need VPP on pin 1 inside 3.0..3.6 V or 11.4..12.6 V; outside
// them the operation stops at once with SR.3 (VPP status) and SR.4 or SR.5 set,
// and a VPP that leaves its window while the chip is busy aborts the work the
// same way (the block or byte is left as it was). While busy every read gives
// the status register (SR.7 = 0) and writes are ignored. After program or
// erase reads give the status register until another command.
//
// SST command set (SST49LF00xA, PP mode): the software data protection cycles
// at 5555h and 2AAAh (A14..A0; higher address bits all 0 or all 1): AA 55 A0
// then the byte programs it; AA 55 80 AA 55 10 erases the chip (PP mode only),
// ... 30h at a 4 KiB sector, 50h at a block (16 KiB on the 002A, 64 KiB
// else) erase those; AA 55 90 enters the product identification (BFh at 0,
// the device code at 1), F0h (alone, or after AA 55) leaves it. Any other
// write resets the sequence. While busy DQ7 reads the complement of the
// byte being programmed (0 during an erase), DQ6 toggles, writes are ignored.
// The identification mode does not survive a power-down.
//
// Busy times (the slow factor multiplies them):
//   82802AB/AC  byte program 10 us (the design waits for the status, so the
//               figure only sets the pace); block erase 400 ms: the datasheet's
//               typical 1 s, lowered because the form waits 5 x 100 ms with VPP
//               on before it reads the block back and takes VPP away
//   SST49LF00xA byte program 14 us, sector and block erase 18 ms, chip erase
//               70 ms (the datasheet's typical figures; the form waits 25 us a
//               byte and 200 ms after a chip erase)
//
// Ratings: VDD pins 4.0 V, the 82802's VPP pin 13.0 V, any other pin 5.0 V
// (the I/O pins are rated VDD + 0.5 V; the simulated programmer's logic levels
// and pull-ups stand at 5 V while its VCC supply is at 0 V, so the model
// checks the fixed limits only).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/chips/part_rows.h"

namespace quilla::sim {

struct FwhPart {
    enum class Commands { Intel, Sdp };

    const char* name;
    std::uint32_t size;        // bytes
    Commands commands;
    std::uint8_t mfr, dev;     // identifier codes
    std::uint32_t blockSize;   // Intel erase block; SST overlay block (50h)
    Nanos program;             // one byte
    Nanos blockErase;          // one block (Intel 20h D0h, SST 50h)
    Nanos sectorErase;         // SST 30h
    Nanos chipErase;           // SST AA 55 80 AA 55 10
};

const std::vector<FwhPart>& FwhParts();
const FwhPart* FindFwhPart(std::string_view name);

class FwhFlash : public PartRowChip<FwhPart> {
public:
    // Chip pins.
    static constexpr int kVpp = 1, kReset = 2, kVss = 16, kWe = 23, kOe = 24, kIc = 29, kRowCol = 31, kVdd = 32;
    static constexpr int AddressPins[11] = {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 30};  // A0..A10
    static constexpr int DataPins[8] = {13, 14, 15, 17, 18, 19, 20, 21};           // DQ0..DQ7

    explicit FwhFlash(const FwhPart& part);

    int PinCount() const override { return 32; }
    std::vector<int> GroundPins() const override { return {kVss}; }
    std::vector<int> VccPins() const override { return {kVdd}; }
    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    bool Busy() const { return busy_ != Work::None; }
    bool IdMode() const { return read_ == ReadMode::Id; }
    // The status register (SR.7 ready, SR.5 erase, SR.4 program, SR.3 VPP).
    std::uint8_t Status() const { return static_cast<std::uint8_t>((Busy() ? 0 : 0x80) | status_); }
    // Erase operations begun (blocks, sectors, chip), for tests.
    int ErasesStarted() const { return erasesStarted_; }

private:
    enum class ReadMode { Array, Id, Status };
    enum class Work { None, Program, EraseBlock, EraseSector, EraseChip };

    void PowerDown(ChipPins& pins);
    void Reset();
    bool Present(std::uint32_t a) const;
    std::uint32_t Cell(std::uint32_t a) const;
    void BusCycle(ChipPins& pins, std::uint32_t address, std::uint8_t data);
    void IntelCycle(ChipPins& pins, std::uint32_t address, std::uint8_t data);
    void SdpCycle(std::uint32_t address, std::uint8_t data);
    bool VppInWindow(ChipPins& pins) const;
    void Start(Work w, std::uint32_t address, std::uint8_t data, Nanos t);
    void Finish();
    std::uint8_t ReadByte(std::uint32_t address);
    void Drive(ChipPins& pins);

    bool powered_ = false;
    bool aaMux_ = false;       // IC was high at power-up or at the last RST# rise
    bool resetLow_ = true;
    bool rcHigh_ = true, weHigh_ = true;
    std::uint32_t row_ = 0, latched_ = 0;

    ReadMode read_ = ReadMode::Array;
    std::uint8_t status_ = 0;  // error bits SR.5, SR.4, SR.3
    // Intel: the byte after 40h/10h programs; D0h after 20h erases.
    enum class Pending { None, Program, Erase } pending_ = Pending::None;
    // SST: position in the software data protection sequence.
    int sdpStep_ = 0;
    bool sdpProgram_ = false;

    Work busy_ = Work::None;
    Nanos left_ = 0;
    std::uint32_t workAddress_ = 0;
    std::uint8_t workData_ = 0;
    bool toggle_ = false;
    int erasesStarted_ = 0;
};

SeatedPart MakeFwhFlash(std::string_view name);
void RegisterFwhFlash(ChipRegistry& registry);

}  // namespace quilla::sim
