// SPI serial EEPROMs and serial flash of the 25 series, one model with a table of parts.
//
//   pins        1 /CS, 2 SO, 3 /WP, 4 VSS, 5 SI, 6 SCK, 7 /HOLD, 8 VCC
//   power       VCC from the programmer's VCC supply inside the part's window,
//               VSS at 0 V; losing power ends any instruction and write cycle
//   bus         SPI mode 0: /CS falling starts an instruction, SI is taken on
//               SCK rising, SO changes on SCK falling (MSB first) and is let go
//               while /CS is high; /HOLD low pauses the bus (the design holds it
//               high)
//   status      bit 0 WIP (busy), bit 1 WEL, bits 2-3 BP0/BP1 (01 the upper
//               quarter, 10 the upper half, 11 the whole array protected), bit 7
//               WPEN; WRSR writes bits 2, 3 and 7 and is refused while WPEN is set
//               and /WP is low
//   WREN (06)   sets WEL when /CS rises after its eight bits; WRITE, WRSR and
//               the chip erase need it and clear it; WRDI (04) clears it
//   READ (03)   address (two bytes, or three on the 1-Mbit parts), then the
//               array streams from there, rolling over at its end
//   WRITE (02)  address, then up to a page of data; the low address bits wrap
//               inside the page; /CS rising after whole bytes starts the write
//               cycle (tWC) of the bytes given, unless they lie in a protected
//               block; bits above the array size are don't-care
//   RDSR (05)   the status, repeated while /CS stays low
//   busy        during a write cycle only RDSR answers; every other
//               instruction is ignored
//   1-Mbit      chip erase C7 (tCE), refused while BP0/BP1 protect anything;
//               RDID AB: three dummy address bytes, then the electronic
//               signature, repeated while /CS stays low
//   flash       (AT25F512A) three address bytes; PROGRAM (02) only clears
//               bits (a cell goes from 1 to 0, never back), up to a 128-byte
//               page, self-timed at 75 us a byte; CHIP ERASE (62) sets every
//               byte to FFh and SECTOR ERASE (52, three address bytes) the
//               32 KiB sector holding the address, both needing WREN and
//               ignored while BP0 protects the array; status bit 2 BP0
//               protects the whole array (bit 3 is not writable), bit 7 WPEN;
//               RDID (15) answers the manufacturer and device codes 1Fh, 65h
//               right after the instruction, then FFh
//
// Parts and datasheets: AT25080A (1 KiB, 32-byte page), AT25256A (32 KiB,
// 64-byte page), AT25512 (64 KiB, 128-byte page): VCC 1.8-5.5 V (the
// low-voltage grades), tWC 5 ms (the sheets' maximum), any pin 7.0 V (-1.0 to
// +7.0 V); AT25F512A (64 KiB serial flash, 128-byte page, two 32 KiB sectors,
// VCC 2.7-3.6 V, program 75 us a byte and sector erase 1 s, the sheet's typical
// figures; chip erase 2 s, both sectors' time; the status write taken as 5 ms;
// any pin 5.0 V); 25LC1024 (128 KiB, 256-byte page, three address bytes): VCC
// 2.5-5.5 V, tWC 6 ms, tCE 10 ms, signature 29h, any pin 6.5 V (VCC + 1.0 V
// at the top of VCC); X5045 (512 bytes, 16-byte page, one address byte with
// A8 in bit 3 of READ (03h/0Bh) and WRITE (02h/0Ah); status bits BL0/BL1 (bits
// 2-3: 180h-1FFh, 100h-1FFh, all) and WD0/WD1 (bits 4-5, the watchdog period:
// stored, the watchdog itself is inert), no WPEN, pin 7 its RESET output
// instead of /HOLD; VCC 4.5-5.5 V, tWC 5 ms typical, any pin 7.0 V). The slow
// factor multiplies the cycle times.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/chips/serial_memory.h"

namespace quilla::sim {

struct Spi25Part {
    const char* name;
    int size;          // bytes
    int addressBytes;  // 2 or 3
    int page;          // bytes
    Tenths vccMin, vccMax, absMax;
    Nanos writeCycle;
    std::uint8_t eraseOpcode;  // 0: none
    Nanos eraseTime;
    std::uint8_t idOpcode;     // 0: none
    std::uint8_t signature;
    std::uint8_t statusBits;   // the non-volatile status bits WRSR writes
    bool x5045;                // one address byte, A8 in bit 3 of READ/WRITE, no /HOLD
    bool flash;                // program clears bits; BP0 protects all; 52h sector erase
    Nanos byteProgram;         // flash: the program time of each byte given
    int sector;                // flash: the sector of 52h, bytes
    Nanos sectorErase;         // flash: its time
    std::uint16_t jedecId;     // flash: the two codes RDID (15h) answers, 0: none
};

const std::vector<Spi25Part>& Spi25Parts();
const Spi25Part* FindSpi25Part(std::string_view name);

class Spi25Eeprom : public SerialMemoryChip {
public:
    explicit Spi25Eeprom(const Spi25Part& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    const Spi25Part& Part() const { return part_; }
    std::uint8_t Status() const { return static_cast<std::uint8_t>(status_ | (busy_ > 0 ? 0x01 : 0)); }
    // Sets the non-volatile status bits (BP0, BP1, WPEN) as a test's chip holds them.
    void SetStatus(std::uint8_t v) { status_ = static_cast<std::uint8_t>(v & part_.statusBits); }

private:
    enum class Op { None, Ignore, Read, Write, Rdsr, Wrsr, Id, Jedec, SectorErase };

    void Reset(ChipPins& pins);
    void TakeByte(std::uint8_t b);
    void EndInstruction(ChipPins& pins);
    std::uint8_t NextOut();
    bool Protected(int address) const;
    int Mask(int a) const { return a & (part_.size - 1); }

    const Spi25Part& part_;
    bool powered_ = false, selected_ = false, sck_ = false, soDriven_ = false;
    int bits_ = 0;       // bits taken since /CS fell
    std::uint8_t shift_ = 0, out_ = 0xFF;
    std::uint8_t opcode_ = 0;
    Op op_ = Op::None;
    int addressLeft_ = 0, address_ = 0, dataBytes_ = 0;
    std::uint8_t newStatus_ = 0;
    bool wrsrData_ = false;
    std::vector<std::pair<int, std::uint8_t>> pageData_;

    std::uint8_t status_ = 0;  // WEL, BP0, BP1, WPEN (WIP comes from busy_)
    Nanos busy_ = 0;
    enum class Cycle { None, Write, Status, Erase, SectorErase } cycle_ = Cycle::None;
    int cycleSector_ = 0;   // the first byte of the sector being erased
    int jedecOut_ = 0;      // RDID bytes shifted out so far
    std::vector<std::pair<int, std::uint8_t>> cycleData_;
    std::uint8_t cycleStatus_ = 0;
};

void RegisterSpi25Parts(ChipRegistry& registry);

}  // namespace quilla::sim
