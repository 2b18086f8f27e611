// The Philips P89LPC9xx flash 80C51 parts in in-circuit programming mode.
//
//   seating   by the placement diagrams: 28 pins on pad rows 4-17, 20 pins on
//             6-15 (chip pin 1 on the row's left pad, the right side counting
//             back), so RST (P1.5) meets socket 9, VSS 10, VDD 30, P0.5 (the
//             programming clock) 31 and P0.4 (the programming data) 32
//   supply    VDD 2.4-3.6 V, VSS grounded; the entry sequence on RST (low at
//             power-up, seven pulses, then high; the count is the link's) puts
//             the part into programming mode, which it leaves when the supply
//             goes or RST falls
//   registers 0 / 1: address bits 0-7 / 8-15 (register 0 also the page-buffer
//             index and the configuration address); 2: data; 3: command
//             (written), status (read: bit 7 busy)
//   commands  started by the link's start frame:
//             0x00 page load (needs no start: every data byte goes into the page
//                  buffer at register 0, which counts up; the buffer is cleared)
//             0x48 erase and program the page of the address with the buffer's
//                  loaded bytes (from the address's offset in the page); busy
//                  for the page time
//             0x72 erase the whole flash (bytes read 0x00); busy for the erase time
//             0x80 read: each data read gives the byte at the address, which
//                  counts up
//             0x6C configuration: with a data byte written after the command,
//                  program it at the configuration address (busy for the page
//                  time); without, each data read gives the next configuration byte
//             0x1A flash CRC: busy, then four bytes through the data register
//   config    0 UCFG1, 2 boot vector, 3 status, 8-15 SEC0-7, 16-18 the ID
//   busy      a command started while busy is ignored (nothing programs)
//   ratings   any pin 4.6 V
// Frames (the link's, see sim/designs/p89lpc932.h): header 0x80|r + data
// (write), 0x40 (start), r + eight output bits (read), bit 7 first.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

struct Lpc9xxPart {
    std::string name;
    int pins;  // 28 or 20
    std::uint32_t size;
    std::array<std::uint8_t, 3> id;  // configuration bytes 16-18 (the model's)
};

class Lpc9xxChip : public Chip {
public:
    static constexpr int PageSize = 64;
    static constexpr Nanos PageTime = 4 * Millisecond;    // erase 2 ms + program 2 ms
    static constexpr Nanos EraseTime = 20 * Millisecond;  // the model's
    static constexpr int EntryPulses = 7;

    explicit Lpc9xxChip(Lpc9xxPart part);

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return part_.pins; }
    std::vector<int> GroundPins() const override { return {vss_}; }
    std::vector<int> VccPins() const override { return {vdd_}; }
    AbsoluteMaximum Ratings() const override;
    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;
    std::span<const std::uint8_t> Contents() const override { return flash_; }
    std::span<std::uint8_t> MutableContents() override { return flash_; }

    const std::array<std::uint8_t, 19>& Config() const { return cfg_; }
    bool InProgrammingMode() const { return icp_; }
    // Keeps the status busy bit set (a chip that never finishes).
    void HoldBusy(bool on) { holdBusy_ = on; }

    static std::vector<int> SocketPins(int pinCount);

private:
    void Reset();
    void Frame(std::uint8_t v);
    void Start();
    std::uint8_t ReadRegister(int r);
    bool Busy() const { return holdBusy_ || busy_ > 0; }

    Lpc9xxPart part_;
    int rst_, vss_, vdd_, clk_, dat_;
    std::vector<std::uint8_t> flash_;
    std::array<std::uint8_t, 19> cfg_{};
    // Entry.
    bool powered_ = false, rstHigh_ = false, icp_ = false;
    int pulses_ = 0;
    bool rstLowAtPowerUp_ = false;
    // Link.
    bool clockHigh_ = false;
    std::uint8_t shift_ = 0;
    int bits_ = 0;
    int writeReg_ = -1;  // a write header taken: the data byte follows
    int outBits_ = 0;
    std::uint8_t out_ = 0;
    // Registers and state.
    std::uint8_t reg_[4] = {};
    std::uint16_t address_ = 0;
    std::uint8_t command_ = 0xFF;
    bool dataWritten_ = false;
    std::array<std::uint8_t, PageSize> page_{};
    std::array<bool, PageSize> loaded_{};
    int cfgRead_ = 0;
    std::uint8_t crc_[4] = {};
    int crcRead_ = 0;
    Nanos busy_ = 0;
    bool holdBusy_ = false;
    // Work finishing when the busy time ends.
    enum class Pending { None, Page, Erase, Config } pending_ = Pending::None;
    std::uint16_t pendAddr_ = 0;
    std::uint8_t pendValue_ = 0;
};

SeatedPart MakeLpc9xx(std::string_view name);
void RegisterLpc9xx(ChipRegistry& registry);

}  // namespace quilla::sim
