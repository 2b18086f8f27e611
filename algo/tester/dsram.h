// The static and non-volatile RAM tester (keywords DSRAM and TESTRAM, window
// "Dallas RAM"): writes the image into a byte-wide RAM in 1 KiB blocks, each
// read back and compared, verifies, reads, and runs a random-pattern test (the
// pattern, then its bitwise complement, so every bit is tried at both levels).
//
// The chip sits bottom-aligned in the 40-pin area (ground on 20, CE 26, OE 28)
// under the "vex300.bit" design: A0-A7 through latch 1, the data through latch
// 2, 0x27 reads 1 KiB, 0x28 steps the address, 0x2C strobes WE on socket 33.
// A8-A18 are the pins 31, 30, 27, 29, 8, 32, 7, 35, 6, 34, 5, then 33 high; the
// row's mask keeps every address pin above the chip high (the DS1220AB's WE
// on 29 among them, pulsed by pin commands instead of the strobe).
//
// The address counter's carry out of a block would run on through 29 and 33
// (the design's EPROM order), so Write never steps after a block's last byte.
#pragma once

#include <cstdint>
#include <optional>

#include "algo/memory/socket_form.h"

namespace quilla {

class TDsRAM : public SocketForm {
public:
    explicit TDsRAM(Workbench& wb);

    void SetupForDevice() override;
    void FillVariantTable() override;
    void ReadClick() override;
    void WriteClick() override;
    void VerifyClick() override;
    void Button1Click() override;
    void Button3Click();
    // Closing switches the supplies off and leaves every pin as it stands (CE or
    // WE driven low at the next power-up would write a byte).
    void OnClose() override;

    // The random test's pattern generator is seeded once per click from the
    // system's entropy source, or from this seed when a test sets one.
    std::optional<unsigned> RandomSeed;

    // SetAddressParallel with this form's pins (public for tests of the stream).
    void SetAddressRam(std::int32_t address) { SetAddressParallel(address); }

    // The strobe opcode for a WE pin (0: the pin is pulsed by pin commands).
    static std::uint8_t StrobeFor(int wePin);

protected:
    std::vector<int> HighAddressPins() const override;
    void AfterHighAddressPins() override;
    std::vector<BatchStep> BatchSteps() override;

private:
    bool WriteBlocks(const VariantRecord& r);
    // The form left VCC on the chip (after a good R., W. or Vrfy.): a plain
    // SRAM still holds what was written, so Vrfy. runs no contact test (its
    // supply-off would wipe the chip); otherwise it does.
    bool vccLeftOn_ = false;
};

}  // namespace quilla
