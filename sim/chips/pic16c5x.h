// The PIC16C5x EPROM/OTP microcontrollers in their parallel program/verify
// mode: PIC16C54, PIC16C56 and PIC16C58 in 18 pins, PIC16C55 and PIC16C57 in
// 28 pins. Program words of 12 bits, erased FFFh; a cell only goes 1 -> 0.
//
// The pins are the datasheet's (18-pin: RA2 RA3 T0CKI MCLR VSS RB0-RB7 VDD
// OSC2 OSC1 RA0 RA1; 28-pin: T0CKI VDD NC VSS NC RA0-RA3 RB0-RB7 RC0-RC7 OSC2
// OSC1 MCLR). The programming sheet's pin table was not to be had, so the
// roles below are ours, taken from those pins, and the model is strict about
// them:
//
//   D0-D11    RA0-RA3 (D0-D3) and RB0-RB7 (D4-D11): the word
//   PROG/VFY  T0CKI: low, the chip listens (program); high, it drives the
//             word at its counter on D0-D11 (verify)
//   PULSE     OSC2, active low: the programming pulse
//   INCR      OSC1: a falling edge advances the counter
//   MCLR      the programming voltage
//   entry     MCLR rises into the VPP window from a supply while VDD stands
//             in its window, MCLR was last seen low (it rose from VIL), OSC1
//             is low and PULSE high. The counter then stands at the
//             configuration word; the first INCR moves it to program address
//             0; after the program memory come the four user ID locations.
//             Further locations read FFFh and take nothing.
//   program   PULSE low while PROG/VFY is low, with VPP and VDD in their
//             windows, sums programming time for the location at the
//             counter; once the sum reaches the minimum the location ANDs the
//             word the data pins held at PULSE's falling edge. A new address
//             or a pulse with other data starts afresh. PULSE low with
//             PROG/VFY high programs nothing.
//   protect   the configuration word's CP bit (bit 3) at 0: program words
//             read 000h and take no programming (ours); the configuration
//             word and the IDs stay readable and programmable.
//   leave     MCLR leaving the window or VDD dropping ends the mode.
//
// Programming time. The programming sheet asks 100 us pulses until the word
// verifies (N of them), then 3N more (over-programming) before moving on: at
// least four pulses, 400 us. The forms give each word one pulse: on the 18-pin
// parts two waits 25 (some 21 us low), on the 28-pin parts one, two or four by
// the speed chosen (some 11 us at the quickest); a wait 27 of 10 ms for the
// configuration word and IDs. The model accepts the forms' pulse as the whole
// train (family rule 8) and keeps the sheet's proportion: summed at one
// location, the word reads programmed after a quarter of the part's minimum
// (N's share) and stays programmed only once it has had the whole minimum
// (the over-programming's share too); a word left short when the chip leaves
// the mode is not firmly programmed and reads its old value from then on (ours:
// the sheet says such cells are not retained). The minimum sits just under the
// forms' pulse: 20 us on the 18-pin parts (two waits; one wait's 11 us fails),
// 10 us on the 28-pin parts (one wait). The slow factor multiplies it. VPP window 12.5-13.5 V (the
// datasheets' 13.0 V +-0.5 V) and program/verify VDD 4.4-5.5 V (4.75-5.25 V
// in the datasheets), both widened to the forms' 12.5 V and 4.4 V. Ratings:
// 14 V on MCLR, 7.5 V elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/chips/pic_words.h"
#include "sim/chips/pin_table_chip.h"

namespace quilla::sim {

// The chip pins of a package.
struct Pic16c5xPins {
    int count;
    int vdd, vss, mclr, progVerify, pulse, incr;
    std::array<int, 12> data;  // D0-D11
};

struct Pic16c5xPart {
    const char* name;
    const Pic16c5xPins* pins;
    int words;
    Nanos minProgram;  // the whole train, summed at one location
};

const std::vector<Pic16c5xPart>& Pic16c5xParts();
const Pic16c5xPart* FindPic16c5xPart(std::string_view name);

// Program memory, word n at bytes 2n (low) and 2n + 1 (bits 8-11).
class Pic16c5xChip : public PinTableChip<Pic16c5xPart, 0x0FFF> {
public:
    // The word's share that makes it verify (the sheet's N of 4N pulses).
    static constexpr int OverProgramShare = 4;
    static constexpr SupplyWindow VppWindow{125, 135}, VddWindow{44, 55};
    static constexpr PinRatings Rated{.any = 75, .vpp = 140};
    static constexpr int ConfigAddress = -1;

    explicit Pic16c5xChip(const Pic16c5xPart& part);

    void OnPinsChanged(ChipPins& pins) override;
    void OnElapsed(ChipPins& pins, Nanos dt) override;
    void OnRemoved() override;

    std::uint16_t Config() const { return config_; }
    void SetConfig(std::uint16_t w) { config_ = w & Erased; }
    std::uint16_t Id(int k) const { return ids_[static_cast<std::size_t>(k & 3)]; }
    void SetId(int k, std::uint16_t w) { ids_[static_cast<std::size_t>(k & 3)] = w & Erased; }
    bool InProgramMode() const { return active_; }

private:
    void Leave(ChipPins& pins);
    // The location at `address` as it reads (program words of a protected chip 000h), and as it stands.
    std::uint16_t Location(int address) const;
    std::uint16_t At(int address) const;
    void Put(int address, std::uint16_t w);
    bool Protected() const { return (config_ & 0x008) == 0; }
    void RestartSum();

    const Pic16c5xPins& pin_;
    std::uint16_t config_ = Erased;
    std::array<std::uint16_t, 4> ids_{Erased, Erased, Erased, Erased};

    bool active_ = false;
    bool mclrLow_ = false;  // MCLR seen low (no supply) since the last entry or exit
    int counter_ = ConfigAddress;
    bool incr_ = false, pulse_ = true, verify_ = false;
    PortDrivers word_;
    std::uint16_t pulseData_ = Erased;
    Nanos progSum_ = 0;
    bool verified_ = false;  // the location reads programmed (N's share reached)
    bool done_ = false;      // ... and stays so (the whole train)
    UntrainedWords untrained_;
};

void RegisterPic16c5x(ChipRegistry& registry);

}  // namespace quilla::sim
