// I2C (two-wire) serial EEPROMs 24C01A to 24C1024 and the X24C01, one model
// with a table of parts.
//
//   pins        1 A0, 2 A1, 3 A2, 4 VSS, 5 SDA (open drain), 6 SCL, 7 WP, 8 VCC
//               (the X24C01 has no A pins and no WP: not connected)
//   power       VCC from the programmer's VCC supply inside the part's window,
//               VSS at 0 V; losing power ends any transfer and any write cycle
//   bus         START = SDA falling while SCL is high, STOP = SDA rising while
//               SCL is high (both at any time); bits are taken at SCL rises and
//               given while SCL is low; the receiver pulls SDA low for the ninth
//               clock to acknowledge
//   addressing  24Cxx: after START the device byte 1010 b3 b2 b1 R/W: the bits
//               the part's A pins do not use carry the high address (24C04 b1 =
//               A8, 24C08 b2 b1 = A9 A8, 24C16 b3..b1 = A10..A8, 24C1024 b1 =
//               A16); the others must match the A2 (b3), A1 (b2), A0 (b1) pins,
//               else the chip stays silent until the next START. A write then
//               takes one word-address byte (24C01A..24C16; the 24C01A uses 7
//               bits) or two (24C32 and up; bits above the size are don't-care).
//               X24C01: the first byte after START is (address << 1) | R/W.
//   read        R/W = 1: the byte at the address counter, MSB first; the
//               counter steps after each byte and rolls over at the end of the
//               array; a master ACK asks for the next byte, no ACK ends the read.
//               A write that stops after the address (a dummy write) only sets
//               the counter: random read = dummy write, repeated START, read.
//   write       data bytes after the address fill the page buffer; the low
//               address bits wrap inside the page (more than a page overwrites
//               the first bytes); STOP starts the write cycle (tWR) that
//               writes them, unless WP is high; a START before the STOP drops
//               them. The counter ends after the last byte written.
//   busy        during tWR the chip takes nothing: no acknowledge, no action
//
// Parts and datasheets: AT24C01A/02/04/08/16, AT24C32/64, AT24C128/256,
// AT24C512, AT24C1024B (VCC 1.8..5.5 V, the low-voltage grades; tWR 5 ms, the
// sheets' maximum, no typical given; any pin -1.0..+7.0 V; WP high protects the
// whole array), X24C01 (VCC 4.5..5.5 V, 4-byte page, 5 ms typical write
// cycle, any pin 7.0 V). Pages: 8, 8, 16, 16, 16, 32, 32, 64, 64, 128, 256; 4.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chips/serial_memory.h"

namespace quilla::sim {

struct I2cPart {
    const char* name;
    int size;            // bytes
    int addressBytes;    // word-address bytes after the device byte; 0: the X24C01's own scheme
    int blockBits;       // device-byte bits (from b1 up) that carry the high address
    int page;            // page-buffer bytes
    Tenths vccMin, vccMax;
    Nanos writeTime;
};

const std::vector<I2cPart>& I2cParts();
const I2cPart* FindI2cPart(std::string_view name);

class I2cEeprom : public SerialMemoryChip {
public:
    static constexpr int A0 = 1, A1 = 2, A2 = 3, VSS = 4, SDA = 5, SCL = 6, WP = 7, VCC = 8;

    explicit I2cEeprom(const I2cPart& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    const I2cPart& Part() const { return part_; }
    bool Busy() const { return busy_ > 0; }
    int AddressCounter() const { return counter_; }
    // The bus's first bytes after each START (the device byte, or the X24C01's
    // address byte), for tests.
    const std::vector<std::uint8_t>& FirstBytes() const { return firstBytes_; }

private:
    enum class Phase { Idle, Receive, Ack, Transmit, MasterAck };
    enum class Next { Device, AddressHigh, AddressLow, Data, Read };

    void Reset(ChipPins& pins);
    void OnStart(ChipPins& pins);
    void OnStop(ChipPins& pins);
    void OnRise(bool sda);
    void OnFall(ChipPins& pins);
    // A received byte: true to acknowledge it.
    bool Take(ChipPins& pins, std::uint8_t b);
    void DriveBit(ChipPins& pins);
    int Mask() const { return part_.size - 1; }

    const I2cPart& part_;
    bool powered_ = false;
    bool lastScl_ = true, lastSda_ = true;
    Phase phase_ = Phase::Idle;
    Next next_ = Next::Device;
    std::uint8_t shift_ = 0;
    int bits_ = 0;
    bool masterAck_ = false;
    std::uint8_t out_ = 0;
    int counter_ = 0;       // the address counter
    int high_ = 0;          // address bits from the device byte
    // The page write in progress: page base, first offset, bytes received.
    int pageBase_ = 0, pageOffset_ = 0;
    std::vector<std::pair<int, std::uint8_t>> pending_;
    // The write cycle.
    std::vector<std::pair<int, std::uint8_t>> writing_;
    Nanos busy_ = 0;
    std::vector<std::uint8_t> firstBytes_;
};

// A blank chip (all ones) in the standard DIP position; chip empty when the
// part is unknown.
SeatedPart MakeI2cEeprom(std::string_view name);
void RegisterI2cParts(ChipRegistry& registry);

}  // namespace quilla::sim
