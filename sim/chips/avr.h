// AVR microcontrollers: one model with a table of parts. The memory core
// (flash, data EEPROM, fuse and lock bytes, signature and calibration bytes,
// busy times) is common to every part; the programming interfaces are front
// ends on that core. Each part follows its datasheet's memory-programming
// chapter (Atmel ATmega8, ATmega16, ATmega32, ATmega64, ATmega128, ATmega161,
// ATmega162, ATmega163):
//
//   power       VCC from a programmer supply on the VCC pin, ground at 0 V. The
//               chip runs (reads, enters programming mode) from 2.5 V; it writes
//               only from 4.4 V (datasheets: 4.5 - 5.5 V during programming; the
//               forms program at 4.4 V, accepted as the programmer's level).
//               The model reads from 2.5 V where the low-voltage parts run from
//               2.7 V: the forms verify at 2.5 V as a margin check.
//   high-voltage parallel programming
//               entry: 11.5 - 12.5 V from a supply on RESET while VCC is on and
//               the Prog_enable pins PAGEL, XA1, XA0, BS1 are low; other levels
//               on them, or RESET outside the window, enter nothing until RESET
//               falls again. The datasheets also toggle XTAL1 six times before;
//               the forms that skip it are accepted (the chips in the socket run
//               from their internal oscillator). VCC comes first: a chip that
//               powers up with RESET already at the programming voltage enters
//               no mode until RESET falls (the sheets' power-up sequence).
//               XTAL1 rising: XA1/XA0 00 loads an address byte (BS1 low/high),
//               01 a data byte (BS1 low/high), 10 a command, 11 nothing.
//               PAGEL rising: latches the loaded word (flash; BS1 high, as the
//               datasheets ask) or the loaded byte (paged EEPROM) into the page
//               buffer at the loaded address's place in the page.
//               Parts without flash pages (AT90S, ATtiny28) have one data
//               register: WR with BS low writes it into the low byte of the
//               word at the loaded address, with BS high into the high byte
//               (their sheets load the high byte, then set BS and pulse WR).
//               WR falling: the loaded command acts: chip erase; write fuse byte
//               (BS2/BS1: 00 low, 01 high, 10 extended); write lock bits; write
//               the flash page (BS1 low) at the loaded address; write the
//               EEPROM page or byte. RDY/BSY is low while the write runs.
//               OE low: the chip drives DATA with what the loaded command reads
//               (flash word byte by BS1, EEPROM byte, signature byte with BS1
//               low or calibration byte with BS1 high, fuse/lock byte by
//               BS2/BS1: 00 low fuse, 11 high fuse, 01 lock, 10 extended fuse).
//               While a write runs, strobes (XTAL1, PAGEL, WR) are ignored.
//   cells       programming only clears bits (flash pages and the parallel-mode
//               EEPROM writes have no erase cycle: datasheets, "auto-erase ... in
//               the serial mode only"); a chip erase sets flash, EEPROM (unless
//               EESAVE is programmed) and the lock bits to 1. Fuses take the
//               written value; they are locked while LB1 is programmed. Lock
//               bits only go 1 -> 0. A write whose busy time has not run out
//               when power or RESET go writes nothing.
//   locks       LB1 programmed: no more flash, EEPROM or fuse writes; LB1 and
//               LB2 programmed: reads of flash and EEPROM give 0xFF (the sheets
//               say verification is disabled, not what is read: the model's
//               choice).
//   busy times  (the slow factor multiplies them)
//                 ATmega8/16/32/64/128/162: page writes 4.5 ms (tWLRH 3.7 -
//                 4.5 ms), chip erase 9 ms; fuse and lock writes 1.8 ms,
//                 lowered from tWLRH to the forms' 2 ms write wait, which they
//                 do not poll (the datasheets ask 3.7 ms).
//                 ATmega161/163: flash page 12 ms (tWLRH_FLASH typ.), EEPROM
//                 byte, fuse and lock writes 1.5 ms (ATmega163 typ.; ATmega161
//                 1.7 ms), chip erase 23 ms.
//   serial (SPI) programming (AT90S2323/2343, ATtiny26 datasheets, "Serial
//               Downloading"): powered with RESET low and SCK low (or RESET
//               pulsed high after SCK went low), SPIEN programmed, RSTDISBL not,
//               and a clock (the AT90S2323 has no oscillator of its own: XTAL1
//               must be clocked; the AT90S2343 and ATtiny26 run from their
//               internal RC oscillator when RCEN or CKSEL says so at power-up).
//               The chip listens 20 ms after RESET went low. MOSI is sampled on
//               SCK rising, MISO changes on SCK falling, most significant bit
//               first; each byte clocks out the byte received before it (the
//               echo), and the fourth byte of a read instruction its data.
//               SCK stays high and low at least two cycles of the chip's clock
//               (2 us: the 1 MHz internal RC, the slowest clock here); an edge
//               after a shorter phase is lost.
//               Instructions are four bytes from the first rising edge after
//               the 20 ms; until AC 53 xx xx is seen nothing else acts. While a
//               write runs, instructions are ignored and reads give FFh.
//                 AT90S2323/2343: 20/28 read flash, 40/48 write a flash byte
//                 (cells only clear: chip erase first), A0/C0 EEPROM (the write
//                 erases the byte first), AC 80 chip erase, AC F9-FF lock bits
//                 (bit 1 LB1, bit 2 LB2), AC BE/BF FSTRT or RCEN, 58 lock and
//                 fuse byte (bit 7 LB1, 6 LB2, 5 SPIEN, 0 FSTRT/RCEN; the other
//                 bits read 1), 30 signature. tWD_PROG 4 ms (VCC 5 V; the lowest
//                 level the forms use), tWD_ERASE 8 ms; fuse and lock writes
//                 take tWD_PROG as well.
//                 ATtiny26: 40/48 00 k load word k of the page buffer, 4C write
//                 the 16-word page, 50 00 / 58 08 read fuse low / high, 58 00
//                 lock bits, AC A0 / AC A8 write fuse low / high (SPIEN keeps its
//                 value in serial mode), AC Ex xx ii lock bits from the fourth
//                 byte, 38 00 i calibration byte i. tWD_FLASH 4.5 ms, tWD_EEPROM
//                 9 ms, tWD_ERASE 9 ms, fuse and lock 4.5 ms.
//               RESET going high, power going or the high voltage on RESET end
//               the serial mode; a write still running is lost.
//   high-voltage serial programming (ATtiny11/12, ATtiny15, AT90S2323/2343
//               datasheets): entry at 11.5-12.5 V on RESET with VCC on and SDI,
//               SII, SDO low (the sheets also toggle SCI first; the forms do not:
//               accepted). A frame is 11 bits on SDI and SII (0, b7..b0, 0, 0)
//               taken on SCI rising (the ATtiny15: on the 8th of 16 rising edges
//               a bit); the instruction byte stands for the parallel controls
//               (4C command, 0C/1C address, 2C/3C data, 64/74 WR low with BS
//               low/high, 68/78 OE low with BS low/high, 6C/7C back high). The
//               byte read goes out on SDO in the next frame, MSB first from its
//               first edge; otherwise SDO is RDY/BSY. SCI pulses high and low
//               of at least 100 ns (tSHSL, tSLSH); a rising edge after a shorter
//               pulse is lost. Frames during a write are
//               ignored. Busy: flash byte 4 ms, EEPROM byte 8 ms (ATtiny15 sheet
//               4.1/8.2 ms: the forms' 4/8 ms accepted), fuse and lock 2.5 ms
//               (tWLWH_PFB typ.) from the write frame, erase 10 ms.
//   ratings     any pin 6.0 V (maximum operating voltage), RESET 13.0 V; RESET
//               must not reach the programming voltage before VCC.
//
// Every load, strobe or instruction the chip ignores (busy, locked, VCC too
// low, entry conditions not met, a clock too fast) is noted as a refusal.
//
// Contents() are the flash bytes followed by the EEPROM bytes: the image
// layout of the forms (EEPROM at flash size).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

// Chip pins of the programming signals, in the package numbering the part's
// placements use (the DIP numbering; boards map it onto the socket).
struct AvrPins {
    int count = 0;
    int reset = 0, vcc = 0, gnd = 0;
    int xtal1 = 0, xtal2 = 0;
    // High-voltage parallel programming.
    int rdy = 0, oe = 0, wr = 0, bs1 = 0, xa0 = 0, xa1 = 0, pagel = 0, bs2 = 0;
    std::array<int, 8> data{};
    // Serial (SPI) programming.
    int mosi = 0, miso = 0, sck = 0;
    // High-voltage serial programming.
    int sdi = 0, sii = 0, sdo = 0, sci = 0;
};

struct AvrTimes {
    Nanos flashPage, eepromWrite, fuseLock, chipErase;
    Nanos fuseWrite = 0;  // 0: as fuseLock (the AT90S parts time fuses apart from lock bits)
};

// How the fuse and lock bits are read and written in parallel mode.
enum class AvrFuseStyle {
    Mega,         // fuse bytes by BS2/BS1, lock byte with LB1 in bit 0
    Combined,     // AT90S: one byte with BS1 high: bit 7 LB1, bit 6 LB2, bit 5 SPIEN, bit 0 FSTRT/RCEN;
                  // lock written as bit 1 LB1, bit 2 LB2
    FuseAndLock,  // AT90S2333/4433, ATtiny28: fuse byte with BS1 low, lock bits 2-1 with BS1 high
};

// How the serial (SPI) front end programs the flash.
enum class AvrSpi {
    None,       // no serial programming modelled
    WordWrite,  // AT90S2323/2343: 40h/48h write one byte of a word
    Paged,      // ATtiny26: 40h/48h load the page buffer, 4Ch writes the page
};

// Where the chip's clock comes from (as the fuses stood at power-up).
enum class AvrClock {
    Internal,  // its own oscillator
    External,  // XTAL1 only (AT90S2323)
    Rcen,      // internal while RCEN (fuse bit 0) is programmed, else XTAL1 (AT90S2343)
    Cksel,     // internal while CKSEL3..0 (low fuse bits 3-0) is 0001-0100, else XTAL1 (ATtiny26)
};

// A fuse bit: byte (-1: none) and bit.
struct AvrFuseBit {
    int byte = -1, bit = 0;
};

struct AvrPart {
    const char* name;
    std::array<std::uint8_t, 3> signature;
    std::uint32_t flashBytes;
    std::uint32_t flashPageBytes;   // bytes of a flash page; 0: flash written a byte at a time by WR
    std::uint32_t eepromBytes;
    std::uint32_t eepromPageBytes;  // 0: the EEPROM is written byte by byte
    int fuseBytes;                  // 1 (one byte, BS selects fuse or lock), 2 or 3
    std::array<std::uint8_t, 3> fuseFactory;  // low, high, extended as shipped
    std::array<std::uint8_t, 3> fuseBits;     // bits that exist (others read 1)
    std::uint8_t lockBits;                    // lock bits that exist
    std::vector<std::uint8_t> calibration;    // factory calibration bytes
    int eesaveBit;                  // EESAVE in the high fuse byte, -1: none
    AvrTimes times;
    AvrPins pins;
    AvrFuseStyle fuseStyle = AvrFuseStyle::Mega;
    // Programming mode needs only BS low at the 12 V edge (the AT90S and ATtiny28
    // sheets); the ATmega parts need PAGEL, XA1, XA0 and BS1 low.
    bool enableOnBsOnly = false;
    // Front ends beyond the high-voltage parallel one.
    bool parallel = true;
    AvrSpi spi = AvrSpi::None;
    AvrClock clock = AvrClock::Internal;
    AvrFuseBit spien{}, rstdisbl{};
    // High-voltage serial programming: SCI rising edges per frame bit (the
    // ATtiny15 takes 16 and latches on the 8th), 0 without that front end.
    int hvspPulses = 0;
};

const std::vector<AvrPart>& AvrParts();
const AvrPart* FindAvrPart(std::string_view name);

class AvrChip : public Chip {
public:
    explicit AvrChip(const AvrPart& part);

    std::string Name() const override { return name_; }
    int PinCount() const override { return part_.pins.count; }
    std::vector<int> GroundPins() const override { return {part_.pins.gnd}; }
    std::vector<int> VccPins() const override { return {part_.pins.vcc}; }
    AbsoluteMaximum Ratings() const override;

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::span<const std::uint8_t> Contents() const override { return cells_; }
    std::span<std::uint8_t> MutableContents() override { return cells_; }

    const AvrPart& Part() const { return part_; }
    void SetName(std::string name) { name_ = std::move(name); }
    std::span<const std::uint8_t> Flash() const { return {cells_.data(), part_.flashBytes}; }
    std::span<const std::uint8_t> Eeprom() const { return {cells_.data() + part_.flashBytes, part_.eepromBytes}; }
    // Fuse byte i (0 low, 1 high, 2 extended) as read back; 0xFF beyond the part's bytes.
    std::uint8_t Fuse(int i) const;
    void SetFuse(int i, std::uint8_t v);
    // Lock bits as the ATmega parts read them (bit 0 LB1, bit 1 LB2, ...).
    std::uint8_t Lock() const { return static_cast<std::uint8_t>(lock_ | ~part_.lockBits); }
    void SetLock(std::uint8_t v) { lock_ = v; }
    bool InProgramming() const { return mode_ == Mode::Parallel || mode_ == Mode::Serial || mode_ == Mode::HvSerial; }
    bool InSerialProgramming() const { return mode_ == Mode::Serial; }
    bool Busy() const { return busy_ > 0; }
    // Writes done (page, byte, fuse, lock, erase), for tests.
    int Writes() const { return writes_; }

private:
    enum class Mode { Off, Run, Refused, Parallel, Serial, HvSerial };
    enum class Pending { None, FlashPage, FlashByte, EepromPage, EepromByte, Fuse, Lock, Erase };

    bool Powered(ChipPins& pins) const;
    void LeaveProgramming(ChipPins& pins);
    void Parallel(ChipPins& pins);
    std::uint8_t ParallelRead(ChipPins& pins) const;
    // What the loaded command reads with BS1/BS2 (parallel and high-voltage serial).
    std::uint8_t CommandRead(bool bs1, bool bs2) const;
    void StartWrite(ChipPins& pins);
    // The loaded command's write on WR falling, at VCC level `vcc`.
    void StartWrite(Tenths vcc, bool bs1, bool bs2);
    void Finish();
    std::uint8_t Bus(ChipPins& pins) const;
    void DriveBus(ChipPins& pins, std::uint8_t v);
    void ReleaseBus(ChipPins& pins);
    std::uint8_t FuseLockRead(bool bs1, bool bs2) const;
    // The serial front end.
    void SerialPins(ChipPins& pins, bool poweredUp);
    void SerialByte(std::uint8_t b);
    std::uint8_t SerialRead() const;
    void SerialExecute();
    void StartSerialWrite(Pending kind, Nanos t, std::uint32_t addr, std::uint8_t data, int index = 0);
    bool FuseProgrammed(AvrFuseBit f, bool atPowerUp) const;
    bool Clocked(ChipPins& pins) const;
    // The high-voltage serial front end.
    void HvSerialPins(ChipPins& pins);
    void HvSerialFrame(ChipPins& pins, std::uint8_t sdi, std::uint8_t sii);
    std::uint8_t LockFromData(std::uint8_t data) const;
    bool LockedWrites() const { return !(lock_ & 0x01); }
    bool LockedReads() const { return !(lock_ & 0x03); }

    const AvrPart& part_;
    std::string name_;
    std::vector<std::uint8_t> cells_;  // flash, then EEPROM
    std::array<std::uint8_t, 3> fuse_;
    std::uint8_t lock_ = 0xFF;

    Mode mode_ = Mode::Off;
    // Loaded by the parallel interface.
    std::uint8_t command_ = 0, addrLow_ = 0, addrHigh_ = 0, dataLow_ = 0xFF, dataHigh_ = 0xFF;
    std::vector<std::uint8_t> pageBuffer_;
    bool xtal1_ = false, pagel_ = false, wr_ = true, driving_ = false;

    // A write in progress.
    Pending pending_ = Pending::None;
    Nanos busy_ = 0;
    std::uint32_t pendingAddr_ = 0;
    int pendingIndex_ = 0;
    std::uint8_t pendingData_ = 0xFF;
    std::vector<std::uint8_t> pendingPage_;
    bool pendingErase_ = false;  // a serial EEPROM byte write erases the byte first
    int writes_ = 0;

    // The serial front end: the fuses as they stood at power-up, RESET low
    // since (with SCK low then), bits shifted, the instruction's bytes, the
    // byte being shifted out and the next one.
    std::array<std::uint8_t, 3> powerFuse_{};
    bool resetLow_ = false, spiReady_ = false, sck_ = false;
    Nanos spiSince_ = 0;
    Nanos sckEdge_ = 0;          // SCK's last edge
    bool sckShortHigh_ = false;  // the last high phase was too short
    std::uint64_t spiBits_ = 0;
    std::uint8_t spiShift_ = 0, spiOut_ = 0xFF, spiNext_ = 0xFF;
    std::array<std::uint8_t, 4> spiBytes_{};
    bool misoDriven_ = false;
    bool writeVccLow_ = false;  // VCC below the write level when the instruction ended

    // The high-voltage serial front end: SCI's level, rising edges counted in
    // the frame (and in the bit, on the ATtiny15), the bits of SDI and SII, the
    // byte to shift out on SDO during the next frame.
    bool sci_ = false, hvOutPending_ = false, hvShowing_ = false, sdoDriven_ = false;
    Nanos sciEdge_ = 0;          // SCI's last edge
    bool sciShortHigh_ = false;  // the last high pulse was too short
    int hvPulse_ = 0, hvBit_ = 0;
    std::uint16_t hvSdi_ = 0, hvSii_ = 0;
    std::uint8_t hvOut_ = 0xFF;
};

// Registers every AVR part under its device names (with the placements of
// the packages and boards the device lists name).
void RegisterAvrs(ChipRegistry& registry);

}  // namespace quilla::sim
