#include "sim/chips/avr.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths kRunVcc = 25;      // the chip runs and reads from here
constexpr Tenths kWriteVcc = 44;    // and writes from here
constexpr Tenths kVccMax = 60;      // maximum operating voltage
constexpr Tenths kEnterMin = 115;   // programming voltage on RESET
constexpr Tenths kEnterMax = 125;
constexpr Tenths kAbsAny = 60;
constexpr Tenths kAbsReset = 130;

// Busy times of the two generations.
constexpr AvrTimes kNewTimes{4500 * Microsecond, 4500 * Microsecond, 1800 * Microsecond, 9 * Millisecond};
constexpr AvrTimes kMega163Times{12 * Millisecond, 1500 * Microsecond, 1500 * Microsecond, 23 * Millisecond};
constexpr AvrTimes kMega161Times{12 * Millisecond, 1700 * Microsecond, 1700 * Microsecond, 23 * Millisecond};

// ATmega8, DIP28: DATA = PB0-PB5, PC0, PC1.
constexpr AvrPins kDip28Mega8{28, 1, 7, 8, 9, 10, 3, 4, 5, 6, 11, 12, 13, 25, {14, 15, 16, 17, 18, 19, 23, 24}};
// AT90S2333/4433 and ATtiny28, DIP28: the ATmega8 positions without PAGEL and BS2.
constexpr AvrPins kDip28At90s{28, 1, 7, 8, 9, 10, 3, 4, 5, 6, 11, 12, 0, 0, {14, 15, 16, 17, 18, 19, 23, 24}};
// AT90S4434/8535, DIP40: the ATmega16 positions without PAGEL and BS2.
constexpr AvrPins kDip40At90s8535{40, 9, 10, 11, 13, 12, 15, 16, 17, 18, 19, 20, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};
// AT90S4414/8515, DIP40.
constexpr AvrPins kDip40At90s8515{40, 9, 40, 20, 19, 18, 11, 12, 13, 14, 15, 16, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};
// AT90S1200/2313, DIP20: RDY PD1, OE PD2, WR PD3, BS PD4, XA0 PD5, XA1 PD6, DATA PB0-PB7.
constexpr AvrPins kDip20At90s{20, 1, 20, 10, 5, 4, 3, 6, 7, 8, 9, 11, 0, 0, {12, 13, 14, 15, 16, 17, 18, 19}};

// AT90S parts: words and EEPROM bytes in tWLRH 0.7 ms (typ.), fuses in 1.5 ms
// and the chip erase in 10 ms. The sheets time fuses and erase by the width of
// the WR pulse (1.0-1.8 ms, 5-15 ms); the forms give a short pulse and then
// wait, and the model times them from WR falling (accepted).
constexpr AvrTimes kAt90sTimes{700 * Microsecond, 700 * Microsecond, 700 * Microsecond, 10 * Millisecond,
                               1500 * Microsecond};

// ATmega16/32/163, DIP40 (PD1-PD7 on pins 15-21, BS2 = PA0 on pin 40), and the
// ATmega64/128 signals as their board presents them on the same positions.
constexpr AvrPins kDip40Mega16{40, 9, 10, 11, 13, 12, 15, 16, 17, 18, 19, 20, 21, 40, {1, 2, 3, 4, 5, 6, 7, 8}};
// ATmega161/162, DIP40 (AT90S8515 pinout: PD1-PD7 on 11-17, PA0 on 39).
constexpr AvrPins kDip40Mega161{40, 9, 40, 20, 19, 18, 11, 12, 13, 14, 15, 16, 17, 39, {1, 2, 3, 4, 5, 6, 7, 8}};

// AT90S2323/2343, DIP8: RESET 1, XTAL1 2, XTAL2 3, GND 4, MOSI 5, MISO 6, SCK 7, VCC 8.
AvrPins Dip8At90s2323() {
    AvrPins p{};
    p.count = 8;
    p.reset = 1;
    p.xtal1 = 2;
    p.xtal2 = 3;
    p.gnd = 4;
    p.vcc = 8;
    p.mosi = 5;
    p.miso = 6;
    p.sck = 7;
    p.sdi = 5;
    p.sii = 6;
    p.sdo = 7;
    p.sci = 2;
    return p;
}

// ATtiny26, DIP20: MOSI 1, MISO 2, SCK 3, VCC 5, GND 6, XTAL1 7, XTAL2 8, RESET 10.
AvrPins Dip20Tiny26() {
    AvrPins p{};
    p.count = 20;
    p.mosi = 1;
    p.miso = 2;
    p.sck = 3;
    p.vcc = 5;
    p.gnd = 6;
    p.xtal1 = 7;
    p.xtal2 = 8;
    p.reset = 10;
    return p;
}

// ATtiny11/12/15 and AT90S2323/2343 in high-voltage serial mode: PB5 RESET 1,
// PB3 SCI (XTAL1) 2, GND 4, PB0 SDI 5, PB1 SII 6, PB2 SDO 7, VCC 8.
AvrPins Dip8Hvsp() {
    AvrPins p{};
    p.count = 8;
    p.reset = 1;
    p.xtal1 = 2;
    p.gnd = 4;
    p.vcc = 8;
    p.sdi = 5;
    p.sii = 6;
    p.sdo = 7;
    p.sci = 2;
    return p;
}

// High-voltage serial writes: a flash byte 4 ms and an EEPROM byte 8 ms (the
// ATtiny15 sheet asks 4.1 and 8.2 ms; the forms wait 4 and 8 ms without
// polling: accepted), fuse and lock 2.5 ms (tWLWH_PFB typ., timed from the
// write frame: the forms end the WR pulse at once and then wait), erase 10 ms.
constexpr AvrTimes kTiny1Times{4 * Millisecond, 8 * Millisecond, 2500 * Microsecond, 10 * Millisecond};

// Serial programming waits: AT90S2323/2343 tWD_PROG at 5 V for flash and
// EEPROM bytes (fuse and lock writes alike), tWD_ERASE; ATtiny26 tWD_FLASH,
// tWD_EEPROM, tWD_FUSE, tWD_ERASE.
constexpr AvrTimes kAt90s2323Times{4 * Millisecond, 4 * Millisecond, 4 * Millisecond, 8 * Millisecond};
constexpr AvrTimes kTiny26Times{4500 * Microsecond, 9 * Millisecond, 4500 * Microsecond, 9 * Millisecond};

std::vector<AvrPart> BuildParts() {
    std::vector<AvrPart> v;
    const std::array<std::uint8_t, 3> twoFuses{0xFF, 0xFF, 0x00};
    v.push_back({"ATmega8", {0x1E, 0x93, 0x07}, 0x2000, 64, 0x200, 4, 2, {0xE1, 0xD9, 0xFF}, twoFuses, 0x3F,
                 {0xA8, 0xB0, 0xAC, 0xA4}, 3, kNewTimes, kDip28Mega8});
    v.push_back({"ATmega16", {0x1E, 0x94, 0x03}, 0x4000, 128, 0x200, 4, 2, {0xE1, 0x99, 0xFF}, twoFuses, 0x3F,
                 {0x9E, 0xA3, 0xA9, 0xAD}, 3, kNewTimes, kDip40Mega16});
    v.push_back({"ATmega32", {0x1E, 0x95, 0x02}, 0x8000, 128, 0x400, 4, 2, {0xE1, 0x99, 0xFF}, twoFuses, 0x3F,
                 {0xA1, 0xA6, 0xAB, 0xB2}, 3, kNewTimes, kDip40Mega16});
    v.push_back({"ATmega64", {0x1E, 0x96, 0x02}, 0x10000, 256, 0x800, 8, 3, {0xE1, 0x99, 0xFD}, {0xFF, 0xFF, 0x03},
                 0x3F, {0xA4, 0xA9, 0xAF, 0xB5}, 3, kNewTimes, kDip40Mega16});
    v.push_back({"ATmega128", {0x1E, 0x97, 0x02}, 0x20000, 256, 0x1000, 8, 3, {0xE1, 0x99, 0xFD},
                 {0xFF, 0xFF, 0x03}, 0x3F, {0xA3, 0xA8, 0xAE, 0xB4}, 3, kNewTimes, kDip40Mega16});
    // One fuse byte: bit 7 reserved.
    v.push_back({"ATmega161", {0x1E, 0x94, 0x01}, 0x4000, 128, 0x200, 0, 1, {0xDA, 0xFF, 0xFF}, {0x7F, 0x00, 0x00},
                 0x3F, {}, -1, kMega161Times, kDip40Mega161});
    v.push_back({"ATmega162", {0x1E, 0x94, 0x04}, 0x4000, 128, 0x200, 4, 3, {0x62, 0x99, 0xFF}, {0xFF, 0xFF, 0x1E},
                 0x3F, {0xA7}, 3, kNewTimes, kDip40Mega161});
    // Fuse low bit 4 and fuse high bits 7-3 reserved.
    v.push_back({"ATmega163", {0x1E, 0x94, 0x02}, 0x4000, 128, 0x200, 0, 2, {0xD2, 0xFF, 0xFF}, {0xEF, 0x07, 0x00},
                 0x3F, {0xAB}, -1, kMega163Times, kDip40Mega16});
    // AT90S and ATtiny28: word writes, byte EEPROM, the combined or separate
    // fuse and lock bytes.
    const auto at90s = [&v](const char* name, std::uint8_t id1, std::uint8_t id2, std::uint32_t flash,
                            std::uint32_t eeprom, AvrFuseStyle style, std::uint8_t fuse, std::uint8_t fuseBits,
                            std::vector<std::uint8_t> cal, const AvrPins& pins) {
        AvrPart p{name, {0x1E, id1, id2}, flash, 0, eeprom, 0, 1, {fuse, 0xFF, 0xFF}, {fuseBits, 0x00, 0x00},
                  0x03, std::move(cal), -1, kAt90sTimes, pins};
        p.fuseStyle = style;
        p.enableOnBsOnly = true;
        v.push_back(std::move(p));
    };
    using S = AvrFuseStyle;
    // SPIEN (bit 5) programmed, FSTRT or RCEN (bit 0) not, as shipped.
    at90s("AT90S4414", 0x92, 0x01, 0x1000, 0x100, S::Combined, 0xDF, 0x21, {}, kDip40At90s8515);
    at90s("AT90S8515", 0x93, 0x01, 0x2000, 0x200, S::Combined, 0xDF, 0x21, {}, kDip40At90s8515);
    at90s("AT90S4434", 0x92, 0x02, 0x1000, 0x100, S::Combined, 0xDF, 0x21, {}, kDip40At90s8535);
    at90s("AT90S8535", 0x93, 0x03, 0x2000, 0x200, S::Combined, 0xDF, 0x21, {}, kDip40At90s8535);
    at90s("AT90S1200", 0x90, 0x01, 0x400, 0x40, S::Combined, 0xDF, 0x21, {}, kDip20At90s);
    at90s("AT90S2313", 0x91, 0x01, 0x800, 0x80, S::Combined, 0xDF, 0x21, {}, kDip20At90s);
    // Fuse byte: CKSEL2..0, BODEN, BODLEVEL, SPIEN (bits 0-5).
    at90s("AT90S2333", 0x91, 0x05, 0x800, 0x80, S::FuseAndLock, 0xDA, 0x3F, {}, kDip28At90s);
    at90s("AT90S4433", 0x92, 0x03, 0x1000, 0x100, S::FuseAndLock, 0xDA, 0x3F, {}, kDip28At90s);
    // Fuse byte: CKSEL3..0, INTCAP (bits 0-4); no EEPROM, one calibration byte.
    at90s("ATtiny28", 0x91, 0x07, 0x800, 0, S::FuseAndLock, 0xF2, 0x1F, {0xB6}, kDip28At90s);
    // Serial-programmed parts. AT90S2323/2343: one fuse byte (bit 5 SPIEN,
    // bit 0 FSTRT or RCEN), SPIEN programmed as shipped, RCEN too on the 2343.
    const auto at90s23 = [&v](const char* name, std::uint8_t id2, std::uint8_t fuse, AvrClock clock) {
        AvrPart p{name, {0x1E, 0x91, id2}, 0x800, 0, 0x80, 0, 1, {fuse, 0xFF, 0xFF}, {0x21, 0x00, 0x00},
                  0x03, {}, -1, kAt90s2323Times, Dip8At90s2323()};
        p.fuseStyle = S::Combined;
        p.parallel = false;
        p.spi = AvrSpi::WordWrite;
        p.clock = clock;
        p.spien = {0, 5};
        v.push_back(std::move(p));
    };
    at90s23("AT90S2323", 0x02, 0xDF, AvrClock::External);
    at90s23("AT90S2343", 0x03, 0xDE, AvrClock::Rcen);
    // ATtiny26: low fuse PLLCK, CKOPT, SUT1-0, CKSEL3-0; high fuse RSTDISBL,
    // SPIEN, EESAVE, BODLEVEL, BODEN (bits 4-0); 0xE1/0xF7 as shipped (1 MHz
    // internal RC); four calibration bytes (1, 2, 4, 8 MHz).
    {
        AvrPart p{"ATtiny26", {0x1E, 0x91, 0x09}, 0x800, 32, 0x80, 0, 2, {0xE1, 0xF7, 0xFF}, {0xFF, 0x1F, 0x00},
                  0x03, {0xA6, 0xA9, 0xAE, 0xB3}, 2, kTiny26Times, Dip20Tiny26()};
        p.parallel = false;
        p.spi = AvrSpi::Paged;
        p.clock = AvrClock::Cksel;
        p.spien = {1, 3};
        p.rstdisbl = {1, 4};
        v.push_back(std::move(p));
    }
    // High-voltage serial parts: ATtiny11 (no EEPROM; fuse bits CKSEL2-0,
    // RSTDISBL, FSTRT), ATtiny12 (CKSEL3-0, RSTDISBL, SPIEN, BODEN, BODLEVEL),
    // ATtiny15 (CKSEL1-0, RSTDISBL, SPIEN, BODEN, BODLEVEL; 16 SCI edges a
    // frame bit); the AT90S2323/2343 above take this front end as well.
    const auto tiny1 = [&v](const char* name, std::uint8_t id2, std::uint32_t eeprom, std::uint8_t fuse,
                            std::uint8_t fuseBits, std::vector<std::uint8_t> cal, int pulses) {
        AvrPart p{name, {0x1E, 0x90, id2}, 0x400, 0, eeprom, 0, 1, {fuse, 0xFF, 0xFF}, {fuseBits, 0x00, 0x00},
                  0x03, std::move(cal), -1, kTiny1Times, Dip8Hvsp()};
        p.fuseStyle = S::FuseAndLock;
        p.parallel = false;
        p.hvspPulses = pulses;
        v.push_back(std::move(p));
    };
    tiny1("ATtiny11", 0x04, 0, 0xFC, 0x1F, {}, 1);
    tiny1("ATtiny12", 0x05, 0x40, 0xD2, 0xFF, {0x9C}, 1);
    tiny1("ATtiny15", 0x06, 0x40, 0xDC, 0xF3, {0x87}, 16);
    for (auto& p : v)
        if (std::string_view(p.name) == "AT90S2323" || std::string_view(p.name) == "AT90S2343") p.hvspPulses = 1;
    return v;
}

// A DIP40 part turned round in the socket: chip pin n on socket pin n + 20 (mod 40).
Placement TurnedDip40(std::string name) {
    std::vector<int> pins(40);
    for (int n = 1; n <= 40; ++n) pins[static_cast<std::size_t>(n - 1)] = (n + 19) % 40 + 1;
    return Placement::Custom(std::move(name), pins);
}

// Our 44-pin board for the ATmega16/32 TQFP44: package pin k on socket pin
// k + 4 (RESET 8, VCC 42, GND 10). The model's pins are the DIP40 numbering;
// the board joins the package's VCC pins on socket 42 and its GND pins on 10.
Placement Tqfp44Mega16Board() {
    std::vector<int> pins = {44, 45, 46, 47, 48, 5, 6, 7,  // PB0-PB7
                             8, 42, 10, 11, 12,              // RESET, VCC, GND, XTAL2, XTAL1
                             13, 14, 15, 16, 17, 18, 19, 20,  // PD0-PD7
                             23, 24, 25, 26, 27, 28, 29, 30,  // PC0-PC7
                             31, 32, 33,                      // AVCC, GND, AREF
                             34, 35, 36, 37, 38, 39, 40, 41};  // PA7-PA0
    return Placement::Custom("TQFP44 board (ATmega16 pinout)", pins);
}

// Our 44-pin board for the AT90S8515-pinout parts in PLCC44 or TQFP44 (the
// same positions): PLCC pin k on socket pin k - 2, PLCC pin 2 on 48 (RESET 8,
// VCC 42, GND 20); the four unconnected package pins reach no socket pin.
Placement Plcc44Mega161Board() {
    std::vector<int> pins = {48, 1, 2, 3, 4, 5, 6, 7,              // PB0-PB7
                             8, 9,                                 // RESET, PD0
                             11, 12, 13, 14, 15, 16, 17,           // PD1-PD7
                             18, 19, 20,                           // XTAL2, XTAL1, GND
                             22, 23, 24, 25, 26, 27, 28, 29,       // PC0-PC7
                             30, 31, 33,                           // OC1B, ALE, ICP
                             34, 35, 36, 37, 38, 39, 40, 41, 42};  // PA7-PA0, VCC
    return Placement::Custom("PLCC44 board (AT90S8515 pinout)", pins);
}

SeatedPart Make(const char* part, const std::string& device, Placement placement) {
    const AvrPart* p = FindAvrPart(part);
    auto chip = std::make_unique<AvrChip>(*p);
    chip->SetName(device);
    return {std::move(chip), std::move(placement)};
}

}  // namespace

const std::vector<AvrPart>& AvrParts() {
    static const std::vector<AvrPart> parts = BuildParts();
    return parts;
}

const AvrPart* FindAvrPart(std::string_view name) {
    for (const auto& p : AvrParts())
        if (name == p.name) return &p;
    return nullptr;
}

AvrChip::AvrChip(const AvrPart& part)
    : part_(part), name_(part.name), cells_(part.flashBytes + part.eepromBytes, 0xFF), fuse_(part.fuseFactory) {}

AbsoluteMaximum AvrChip::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = kAbsAny;
    r.pins.push_back({part_.pins.reset, kAbsReset});
    r.vppAfterVcc = {part_.pins.reset};
    return r;
}

std::uint8_t AvrChip::Fuse(int i) const {
    if (i < 0 || i >= part_.fuseBytes) return 0xFF;
    const auto k = static_cast<std::size_t>(i);
    return static_cast<std::uint8_t>(fuse_[k] | ~part_.fuseBits[k]);
}

void AvrChip::SetFuse(int i, std::uint8_t v) {
    if (i >= 0 && i < part_.fuseBytes) fuse_[static_cast<std::size_t>(i)] = v;
}

namespace {
// A programming signal the part may not have (pin 0) reads low.
bool HighPin(ChipPins& pins, int p) { return p != 0 && pins.High(p); }
}  // namespace

bool AvrChip::Powered(ChipPins& pins) const {
    const Tenths vcc = pins.SupplyVoltage(part_.pins.vcc);
    return pins.Grounded(part_.pins.gnd) && vcc >= kRunVcc && vcc <= kVccMax;
}

std::uint8_t AvrChip::Bus(ChipPins& pins) const {
    return static_cast<std::uint8_t>(pins.ReadBus(part_.pins.data));
}

void AvrChip::DriveBus(ChipPins& pins, std::uint8_t v) {
    pins.DriveBus(part_.pins.data, v);
    driving_ = true;
}

void AvrChip::ReleaseBus(ChipPins& pins) {
    if (!driving_) return;
    pins.ReleaseBus(part_.pins.data);
    driving_ = false;
}

void AvrChip::LeaveProgramming(ChipPins& pins) {
    // A write still running is lost with the programming mode.
    pending_ = Pending::None;
    busy_ = 0;
    ReleaseBus(pins);
    if (part_.pins.rdy) pins.Release(part_.pins.rdy);
    if (misoDriven_) pins.Release(part_.pins.miso);
    misoDriven_ = false;
    if (sdoDriven_) pins.Release(part_.pins.sdo);
    sdoDriven_ = false;
    pageBuffer_.assign(pageBuffer_.size(), 0xFF);
}

void AvrChip::OnPinsChanged(ChipPins& pins) {
    if (!Powered(pins)) {
        if (mode_ != Mode::Off) LeaveProgramming(pins);
        mode_ = Mode::Off;
        resetLow_ = false;
        if (part_.pins.xtal2) pins.Release(part_.pins.xtal2);
        return;
    }
    const bool poweredUp = mode_ == Mode::Off;
    if (poweredUp) powerFuse_ = fuse_;
    // The oscillator amplifier: XTAL2 is XTAL1 inverted while the chip is powered.
    if (part_.pins.xtal2) pins.Drive(part_.pins.xtal2, !pins.High(part_.pins.xtal1));
    const Tenths reset = pins.SupplyVoltage(part_.pins.reset);
    const bool high = reset >= kEnterMin;
    if (high && poweredUp) {
        // The sheets apply VCC first and 12 V to RESET after it: a chip that
        // powers up with the high voltage already on RESET enters no mode until
        // RESET falls again.
        mode_ = Mode::Refused;
        NoteRefusal(0, "12 V on RESET before VCC: no programming mode");
        return;
    }
    if (!high) {
        if (mode_ == Mode::Parallel || mode_ == Mode::HvSerial) LeaveProgramming(pins);
        if (mode_ != Mode::Serial) mode_ = Mode::Run;
        if (part_.spi != AvrSpi::None) SerialPins(pins, poweredUp);
        return;
    }
    if (mode_ == Mode::Serial) {
        LeaveProgramming(pins);
        mode_ = Mode::Run;
    }
    resetLow_ = false;
    if (!part_.parallel) {
        if (part_.hvspPulses > 0) {
            HvSerialPins(pins);
            return;
        }
        mode_ = Mode::Refused;
        NoteRefusal(0, "12 V on RESET: no high-voltage programming on this part");
        return;
    }
    if (mode_ == Mode::Off || mode_ == Mode::Run) {
        // RESET has just reached the programming voltage: the Prog_enable pins decide.
        const AvrPins& p = part_.pins;
        const bool enable = reset <= kEnterMax && !pins.High(p.bs1) &&
                            (part_.enableOnBsOnly ||
                             (!HighPin(pins, p.pagel) && !pins.High(p.xa1) && !pins.High(p.xa0)));
        mode_ = enable ? Mode::Parallel : Mode::Refused;
        if (!enable)
            NoteRefusal(0, reset > kEnterMax ? "RESET above 12.5 V at entry"
                                             : "Prog_enable pins (PAGEL, XA1, XA0, BS1) not low at entry");
        if (enable) {
            command_ = 0;
            pageBuffer_.assign(part_.flashPageBytes, 0xFF);
            xtal1_ = pins.High(p.xtal1);
            pagel_ = HighPin(pins, p.pagel);
            wr_ = pins.High(p.wr);
        }
    }
    if (mode_ == Mode::Parallel) {
        if (reset > kEnterMax) {
            LeaveProgramming(pins);
            mode_ = Mode::Refused;
            NoteRefusal(0, "RESET above 12.5 V: programming mode left");
            return;
        }
        Parallel(pins);
    }
}

void AvrChip::Parallel(ChipPins& pins) {
    const AvrPins& p = part_.pins;
    const bool xtal1 = pins.High(p.xtal1);
    const bool pagel = HighPin(pins, p.pagel);
    const bool wr = pins.High(p.wr);
    const bool rising = xtal1 && !xtal1_;
    const bool latch = pagel && !pagel_;
    const bool write = !wr && wr_;
    xtal1_ = xtal1;
    pagel_ = pagel;
    wr_ = wr;

    const bool bs1 = pins.High(p.bs1);
    if (busy_ == 0) {
        if (rising) {
            const bool xa0 = pins.High(p.xa0), xa1 = pins.High(p.xa1);
            const std::uint8_t d = Bus(pins);
            if (!xa1 && !xa0) (bs1 ? addrHigh_ : addrLow_) = d;
            else if (!xa1 && xa0 && part_.flashPageBytes == 0) dataLow_ = dataHigh_ = d;  // one data register
            else if (!xa1 && xa0) (bs1 ? dataHigh_ : dataLow_) = d;
            else if (xa1 && !xa0) command_ = d;
        }
        if (latch) {
            if (command_ == 0x10 && bs1 && part_.flashPageBytes > 0) {
                const std::uint32_t words = part_.flashPageBytes / 2;
                const std::uint32_t w = addrLow_ % words;
                pageBuffer_[2 * w] = dataLow_;
                pageBuffer_[2 * w + 1] = dataHigh_;
            } else if (command_ == 0x11 && part_.eepromPageBytes > 0) {
                pageBuffer_[addrLow_ % part_.eepromPageBytes] = dataLow_;
            }
        }
        if (write) StartWrite(pins);
    } else if (rising || latch || write) {
        NoteRefusal((static_cast<std::uint32_t>(addrHigh_) << 8) | addrLow_,
                    "strobe while a write runs (RDY/BSY low): ignored");
    }
    pins.Drive(p.rdy, busy_ == 0);

    if (!pins.High(p.oe)) DriveBus(pins, ParallelRead(pins));
    else ReleaseBus(pins);
}

std::uint8_t AvrChip::ParallelRead(ChipPins& pins) const {
    const AvrPins& p = part_.pins;
    return CommandRead(pins.High(p.bs1), HighPin(pins, p.bs2));
}

std::uint8_t AvrChip::CommandRead(bool bs1, bool bs2) const {
    const std::uint32_t addr = (static_cast<std::uint32_t>(addrHigh_) << 8) | addrLow_;
    switch (command_) {
        case 0x02: {
            if (LockedReads()) return 0xFF;
            const std::uint32_t byte = (2 * addr + (bs1 ? 1 : 0)) % part_.flashBytes;
            return cells_[byte];
        }
        case 0x03:
            if (LockedReads() || part_.eepromBytes == 0) return 0xFF;
            return cells_[part_.flashBytes + addr % part_.eepromBytes];
        case 0x08:
            if (!bs1) return addrLow_ < 3 ? part_.signature[addrLow_] : 0xFF;
            return addrLow_ < part_.calibration.size() ? part_.calibration[addrLow_] : 0xFF;
        case 0x04:
            return FuseLockRead(bs1, bs2);
        default:
            return 0xFF;
    }
}

std::uint8_t AvrChip::FuseLockRead(bool bs1, bool bs2) const {
    const bool lb1 = !(lock_ & 0x01), lb2 = !(lock_ & 0x02);
    switch (part_.fuseStyle) {
        case AvrFuseStyle::Combined: {
            if (!bs1) return 0xFF;
            std::uint8_t v = Fuse(0);
            if (!lb1) v = static_cast<std::uint8_t>(v | 0x80);
            else v = static_cast<std::uint8_t>(v & ~0x80);
            if (!lb2) v = static_cast<std::uint8_t>(v | 0x40);
            else v = static_cast<std::uint8_t>(v & ~0x40);
            return v;
        }
        case AvrFuseStyle::FuseAndLock:
            if (!bs1) return Fuse(0);
            return static_cast<std::uint8_t>(0xFF & ~((lb1 ? 0x02 : 0) | (lb2 ? 0x04 : 0)));
        case AvrFuseStyle::Mega:
            break;
    }
    if (part_.fuseBytes == 1) return bs1 ? Lock() : Fuse(0);
    if (!bs2 && !bs1) return Fuse(0);
    if (bs2 && bs1) return Fuse(1);
    if (!bs2 && bs1) return Lock();
    return Fuse(2);
}

std::uint8_t AvrChip::LockFromData(std::uint8_t data) const {
    if (part_.fuseStyle == AvrFuseStyle::Mega) return static_cast<std::uint8_t>(data | ~part_.lockBits);
    // Bit 1 programs LB1, bit 2 LB2.
    return static_cast<std::uint8_t>(0xFC | ((data >> 1) & 0x03));
}

void AvrChip::StartWrite(ChipPins& pins) {
    const AvrPins& p = part_.pins;
    StartWrite(pins.SupplyVoltage(p.vcc), pins.High(p.bs1), HighPin(pins, p.bs2));
}

void AvrChip::StartWrite(Tenths vcc, bool bs1, bool bs2) {
    pendingErase_ = false;
    const std::uint32_t addr = (static_cast<std::uint32_t>(addrHigh_) << 8) | addrLow_;
    if (vcc < kWriteVcc) {  // too low to program anything
        NoteRefusal(addr, "write with VCC below 4.4 V: nothing written");
        return;
    }
    const bool writesLocked = LockedWrites() && (command_ == 0x40 || command_ == 0x10 || command_ == 0x11);
    if (writesLocked) NoteRefusal(addr, "write while LB1 is programmed: ignored");
    Nanos t = 0;
    switch (command_) {
        case 0x80:
            pending_ = Pending::Erase;
            t = part_.times.chipErase;
            break;
        case 0x40: {
            if (LockedWrites()) return;
            int index = 0;
            if (part_.fuseBytes > 1) {
                index = bs2 ? 2 : (bs1 ? 1 : 0);
                if ((bs2 && bs1) || index >= part_.fuseBytes) {
                    NoteRefusal(addr, "fuse write with BS2/BS1 naming no fuse byte: ignored");
                    return;
                }
            }
            pending_ = Pending::Fuse;
            pendingIndex_ = index;
            pendingData_ = dataLow_;
            t = part_.times.fuseWrite ? part_.times.fuseWrite : part_.times.fuseLock;
            break;
        }
        case 0x20:
            pending_ = Pending::Lock;
            pendingData_ = LockFromData(dataLow_);
            t = part_.times.fuseLock;
            break;
        case 0x10: {
            if (LockedWrites()) return;
            if (part_.flashPageBytes == 0) {
                // One byte of the word at the loaded address: BS low the low byte, high the high byte.
                pending_ = Pending::FlashByte;
                pendingAddr_ = (2 * addr + (bs1 ? 1 : 0)) % part_.flashBytes;
                pendingData_ = bs1 ? dataHigh_ : dataLow_;
                t = part_.times.flashPage;
                break;
            }
            if (bs1) {
                NoteRefusal(addr, "flash page write with BS1 high: ignored");
                return;
            }
            const std::uint32_t words = part_.flashPageBytes / 2;
            pending_ = Pending::FlashPage;
            pendingAddr_ = (2 * (addr / words) * words) % part_.flashBytes;
            pendingPage_ = pageBuffer_;
            std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFF);
            t = part_.times.flashPage;
            break;
        }
        case 0x11:
            if (LockedWrites() || part_.eepromBytes == 0) return;
            if (part_.eepromPageBytes > 0) {
                pending_ = Pending::EepromPage;
                pendingAddr_ = (addr / part_.eepromPageBytes * part_.eepromPageBytes) % part_.eepromBytes;
                pendingPage_.assign(pageBuffer_.begin(), pageBuffer_.begin() + part_.eepromPageBytes);
                std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFF);
            } else {
                pending_ = Pending::EepromByte;
                pendingAddr_ = addr % part_.eepromBytes;
                pendingData_ = dataLow_;
            }
            t = part_.times.eepromWrite;
            break;
        default:
            return;
    }
    busy_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
    if (busy_ == 0) busy_ = 1;
}

// ---- high-voltage serial programming ------------------------------------------------------------

namespace {
// SCI pulse width high and low, at least 100 ns (tSHSL, tSLSH).
constexpr Nanos kSciMinPhase = 100;
}  // namespace

void AvrChip::HvSerialPins(ChipPins& pins) {
    const AvrPins& p = part_.pins;
    const Tenths reset = pins.SupplyVoltage(p.reset);
    const bool sci = pins.High(p.sci);
    if (mode_ == Mode::Off || mode_ == Mode::Run) {
        // 12 V has just reached RESET: SDI, SII and SDO low select the serial mode.
        const bool enable = reset <= kEnterMax && !pins.High(p.sdi) && !pins.High(p.sii) && !pins.High(p.sdo);
        mode_ = enable ? Mode::HvSerial : Mode::Refused;
        if (!enable) NoteRefusal(0, reset > kEnterMax ? "RESET above 12.5 V at entry" : "SDI, SII or SDO not low at entry");
        sci_ = sci;
        sciEdge_ = pins.Now();
        sciShortHigh_ = false;
        hvPulse_ = hvBit_ = 0;
        hvSdi_ = hvSii_ = 0;
        hvOutPending_ = hvShowing_ = false;
        command_ = 0;
        return;
    }
    if (mode_ != Mode::HvSerial) return;
    if (reset > kEnterMax) {
        LeaveProgramming(pins);
        mode_ = Mode::Refused;
        return;
    }
    const bool rising = sci && !sci_;
    if (sci != sci_) {
        // SCI's minimum pulse widths, high and low: a shorter pulse is no clock
        // the chip follows, and the edge that ends it is lost.
        const Nanos phase = pins.Now() - sciEdge_;
        sciEdge_ = pins.Now();
        if (!sci) sciShortHigh_ = phase < kSciMinPhase;
        if (rising && (phase < kSciMinPhase || sciShortHigh_)) {
            sci_ = sci;
            NoteRefusal(0, "SCI pulse shorter than 100 ns: edge lost");
            return;
        }
    }
    sci_ = sci;
    if (!rising) return;
    // The ATtiny15 latches a frame bit on the 8th of its 16 rising edges.
    if (part_.hvspPulses > 1 && (hvPulse_++ % part_.hvspPulses) != 7) return;
    const int k = hvBit_;
    if (k == 0) {
        hvShowing_ = hvOutPending_;
        hvOutPending_ = false;
    }
    hvSdi_ = static_cast<std::uint16_t>((hvSdi_ << 1) | (pins.High(p.sdi) ? 1 : 0));
    hvSii_ = static_cast<std::uint16_t>((hvSii_ << 1) | (pins.High(p.sii) ? 1 : 0));
    // SDO: the read byte, most significant bit first, from the frame's first
    // edge; otherwise RDY/BSY.
    const bool out = hvShowing_ && k < 8 ? ((hvOut_ >> (7 - k)) & 1u) != 0 : busy_ == 0;
    pins.Drive(p.sdo, out);
    sdoDriven_ = true;
    if (++hvBit_ < 11) return;
    hvBit_ = 0;
    HvSerialFrame(pins, static_cast<std::uint8_t>(hvSdi_ >> 2), static_cast<std::uint8_t>(hvSii_ >> 2));
    hvSdi_ = hvSii_ = 0;
}

void AvrChip::HvSerialFrame(ChipPins& pins, std::uint8_t sdi, std::uint8_t sii) {
    // The instruction byte stands for the parallel-mode controls: 4C loads a
    // command, 0C/1C an address byte, 2C/3C a data byte; 64/74 are WR low with
    // BS low/high (the write starts), 68/78 OE low with BS low/high (the read
    // byte goes out in the next frame); 6C/7C end either.
    if (busy_ > 0) {  // strobes during a write are ignored
        NoteRefusal((static_cast<std::uint32_t>(addrHigh_) << 8) | addrLow_,
                    "high-voltage serial frame while a write runs: ignored");
        return;
    }
    switch (sii) {
        case 0x4C: command_ = sdi; break;
        case 0x0C: addrLow_ = sdi; break;
        case 0x1C: addrHigh_ = sdi; break;
        case 0x2C: dataLow_ = sdi; break;
        case 0x3C: dataHigh_ = sdi; break;
        case 0x64:
        case 0x74: StartWrite(pins.SupplyVoltage(part_.pins.vcc), sii == 0x74, false); break;
        case 0x68:
        case 0x78:
            hvOut_ = CommandRead(sii == 0x78, false);
            hvOutPending_ = true;
            break;
        default: break;
    }
}

// ---- serial (SPI) programming --------------------------------------------------------------

namespace {
constexpr Nanos kSerialListen = 20 * Millisecond;  // after RESET went low
// SCK high and low each at least two cycles of the chip's clock (fck < 12 MHz).
// The slowest clock of the parts in the socket is the 1 MHz internal RC; the
// programmer's XTAL1 clock is no slower.
constexpr Nanos kSckMinPhase = 2 * Microsecond;
}  // namespace

bool AvrChip::FuseProgrammed(AvrFuseBit f, bool atPowerUp) const {
    if (f.byte < 0) return false;
    const auto k = static_cast<std::size_t>(f.byte);
    const std::uint8_t v = atPowerUp ? powerFuse_[k] : fuse_[k];
    return !(v & (1u << f.bit));
}

bool AvrChip::Clocked(ChipPins& pins) const {
    bool internal = false;
    switch (part_.clock) {
        case AvrClock::Internal: internal = true; break;
        case AvrClock::External: internal = false; break;
        case AvrClock::Rcen: internal = !(powerFuse_[0] & 0x01); break;
        case AvrClock::Cksel: {
            const int cksel = powerFuse_[0] & 0x0F;
            internal = cksel >= 1 && cksel <= 4;
            break;
        }
    }
    return internal || pins.Source(part_.pins.xtal1) == PinSource::Clock;
}

void AvrChip::SerialPins(ChipPins& pins, bool poweredUp) {
    const AvrPins& p = part_.pins;
    const bool resetLow = !pins.High(p.reset);
    const bool sck = pins.High(p.sck);
    if (!resetLow) {
        // Running: the serial mode ends.
        if (mode_ == Mode::Serial) LeaveProgramming(pins);
        if (misoDriven_) pins.Release(p.miso);
        misoDriven_ = false;
        mode_ = Mode::Run;
        resetLow_ = false;
        sck_ = sck;
        return;
    }
    if (poweredUp || !resetLow_) {
        // RESET has just gone low (or the power came with it low): the serial
        // interface listens 20 ms from now when SCK stood low.
        resetLow_ = true;
        spiReady_ = !sck && FuseProgrammed(part_.spien, true) && !FuseProgrammed(part_.rstdisbl, true);
        spiSince_ = pins.Now();
        sckEdge_ = pins.Now();
        sckShortHigh_ = false;
        spiBits_ = 0;
        spiOut_ = spiNext_ = 0xFF;
        sck_ = sck;
        return;
    }
    const bool rising = sck && !sck_, falling = !sck && sck_;
    sck_ = sck;
    bool lost = false;
    if (rising || falling) {
        // SCK's minimum high and low times: two cycles of the chip's clock each.
        const Nanos phase = pins.Now() - sckEdge_;
        sckEdge_ = pins.Now();
        if (falling) sckShortHigh_ = phase < kSckMinPhase;
        lost = rising && (phase < kSckMinPhase || sckShortHigh_);
    }
    if (!spiReady_ || pins.Now() - spiSince_ < kSerialListen || !Clocked(pins)) return;
    if (lost) {
        NoteRefusal(0, "SCK high or low for less than two clock cycles: bit lost");
        return;
    }
    if (rising) {
        spiShift_ = static_cast<std::uint8_t>((spiShift_ << 1) | (pins.High(p.mosi) ? 1 : 0));
        writeVccLow_ = pins.SupplyVoltage(p.vcc) < kWriteVcc;
        if (++spiBits_ % 8 == 0) SerialByte(spiShift_);
    }
    if (falling && spiBits_ > 0) {
        const int k = static_cast<int>(spiBits_ % 8);
        if (k == 0) spiOut_ = spiNext_;
        pins.Drive(p.miso, ((spiOut_ >> (7 - k)) & 1u) != 0);
        misoDriven_ = true;
    }
}

void AvrChip::SerialByte(std::uint8_t b) {
    const std::size_t index = static_cast<std::size_t>((spiBits_ / 8 - 1) % 4);
    spiBytes_[index] = b;
    spiNext_ = b;  // the echo
    if (index == 2 && mode_ == Mode::Serial) spiNext_ = SerialRead();
    if (index == 3) SerialExecute();
}

std::uint8_t AvrChip::SerialRead() const {
    const std::uint8_t b1 = spiBytes_[0], b2 = spiBytes_[1], b3 = spiBytes_[2];
    if (busy_ > 0) return 0xFF;
    const std::uint32_t words = part_.flashBytes / 2;
    switch (b1) {
        case 0x20:
        case 0x28: {
            if (LockedReads()) return 0xFF;
            const std::uint32_t w = ((static_cast<std::uint32_t>(b2) << 8) | b3) % words;
            return cells_[2 * w + (b1 == 0x28 ? 1 : 0)];
        }
        case 0xA0:
            if (LockedReads() || part_.eepromBytes == 0) return 0xFF;
            return cells_[part_.flashBytes + b3 % part_.eepromBytes];
        case 0x30:
            if (LockedReads()) return 0xFF;
            return (b3 & 0x03) < 3 ? part_.signature[b3 & 0x03] : 0xFF;
        case 0x38:
            if (part_.spi != AvrSpi::Paged) return b3;
            return (b3 & 0x03) < part_.calibration.size() ? part_.calibration[b3 & 0x03] : 0xFF;
        case 0x50:
            if (part_.spi != AvrSpi::Paged) return b3;
            return (b2 & 0x08) ? 0xFF : Fuse(0);
        case 0x58:
            if (part_.spi != AvrSpi::Paged) return FuseLockRead(true, false);
            return (b2 & 0x08) ? Fuse(1) : Lock();
        default:
            return b3;  // no read: the echo
    }
}

void AvrChip::StartSerialWrite(Pending kind, Nanos t, std::uint32_t addr, std::uint8_t data, int index) {
    pending_ = kind;
    pendingAddr_ = addr;
    pendingData_ = data;
    pendingIndex_ = index;
    pendingErase_ = kind == Pending::EepromByte;
    busy_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
    if (busy_ == 0) busy_ = 1;
}

void AvrChip::SerialExecute() {
    const std::uint8_t b1 = spiBytes_[0], b2 = spiBytes_[1], b3 = spiBytes_[2], b4 = spiBytes_[3];
    if (mode_ != Mode::Serial) {
        if (b1 == 0xAC && b2 == 0x53) {
            mode_ = Mode::Serial;
            pageBuffer_.assign(part_.flashPageBytes, 0xFF);
        } else {
            NoteRefusal(0, "serial instruction before Programming Enable (AC 53): ignored");
        }
        return;
    }
    const std::uint32_t at = (static_cast<std::uint32_t>(b2) << 8) | b3;
    const bool writes = b1 == 0xAC || b1 == 0x40 || b1 == 0x48 || b1 == 0x4C || b1 == 0xC0;
    if (busy_ > 0 || writeVccLow_) {
        // Reads give FFh meanwhile (busy); a write or a load is lost.
        if (writes)
            NoteRefusal(at, busy_ > 0 ? "serial write instruction while a write runs: ignored"
                                      : "serial write instruction with VCC below 4.4 V: ignored");
        return;
    }
    if (LockedWrites() && writes && b1 != 0xAC) NoteRefusal(at, "write while LB1 is programmed: ignored");
    const bool paged = part_.spi == AvrSpi::Paged;
    const std::uint32_t words = part_.flashBytes / 2;
    const std::uint32_t w = ((static_cast<std::uint32_t>(b2) << 8) | b3) % words;
    const AvrTimes& t = part_.times;
    switch (b1) {
        case 0xAC:
            if ((b2 & 0xE0) == 0x80) {
                StartSerialWrite(Pending::Erase, t.chipErase, 0, 0);
            } else if (!paged && (b2 & 0xF9) == 0xF9) {
                StartSerialWrite(Pending::Lock, t.fuseLock, 0, LockFromData(b2));
            } else if (!paged && (b2 & 0xFE) == 0xBE) {
                if (LockedWrites()) return;
                // SPIEN cannot change in serial mode: only FSTRT/RCEN (bit 0).
                StartSerialWrite(Pending::Fuse, t.fuseLock, 0,
                                 static_cast<std::uint8_t>((fuse_[0] & ~0x01) | (b2 & 0x01)));
            } else if (paged && b2 == 0xA0) {
                if (LockedWrites()) return;
                StartSerialWrite(Pending::Fuse, t.fuseLock, 0, b4, 0);
            } else if (paged && b2 == 0xA8) {
                if (LockedWrites()) return;
                const std::uint8_t keep = static_cast<std::uint8_t>(1u << part_.spien.bit);
                StartSerialWrite(Pending::Fuse, t.fuseLock, 0,
                                 static_cast<std::uint8_t>((b4 & ~keep) | (fuse_[1] & keep)), 1);
            } else if (paged && (b2 & 0xE0) == 0xE0) {
                StartSerialWrite(Pending::Lock, t.fuseLock, 0, static_cast<std::uint8_t>(b4 | 0xFC));
            }
            return;
        case 0x40:
        case 0x48: {
            const int high = b1 == 0x48 ? 1 : 0;
            if (paged) {
                const std::uint32_t k = b3 % (part_.flashPageBytes / 2);
                pageBuffer_[2 * k + static_cast<std::uint32_t>(high)] = b4;
                return;
            }
            if (LockedWrites()) return;
            StartSerialWrite(Pending::FlashByte, t.flashPage, 2 * w + static_cast<std::uint32_t>(high), b4);
            return;
        }
        case 0x4C: {
            if (!paged || LockedWrites()) return;
            const std::uint32_t pageWords = part_.flashPageBytes / 2;
            StartSerialWrite(Pending::FlashPage, t.flashPage, 2 * (w / pageWords * pageWords), 0);
            pendingPage_ = pageBuffer_;
            std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFF);
            return;
        }
        case 0xC0:
            if (LockedWrites() || part_.eepromBytes == 0) return;
            StartSerialWrite(Pending::EepromByte, t.eepromWrite, b3 % part_.eepromBytes, b4);
            return;
        default:
            return;
    }
}

void AvrChip::Finish() {
    std::uint8_t* eeprom = cells_.data() + part_.flashBytes;
    switch (pending_) {
        case Pending::Erase: {
            std::fill(cells_.begin(), cells_.begin() + part_.flashBytes, 0xFF);
            const bool eesave = part_.eesaveBit >= 0 && !(fuse_[1] & (1u << part_.eesaveBit));
            if (!eesave) std::fill(eeprom, eeprom + part_.eepromBytes, 0xFF);
            lock_ = 0xFF;
            break;
        }
        case Pending::Fuse:
            fuse_[static_cast<std::size_t>(pendingIndex_)] = pendingData_;
            break;
        case Pending::Lock:
            lock_ &= pendingData_;
            break;
        case Pending::FlashByte:
            cells_[pendingAddr_] &= pendingData_;
            break;
        case Pending::FlashPage:
            for (std::size_t i = 0; i < pendingPage_.size(); ++i) cells_[pendingAddr_ + i] &= pendingPage_[i];
            break;
        case Pending::EepromPage:
            for (std::size_t i = 0; i < pendingPage_.size(); ++i) eeprom[pendingAddr_ + i] &= pendingPage_[i];
            break;
        case Pending::EepromByte:
            if (pendingErase_) eeprom[pendingAddr_] = pendingData_;
            else eeprom[pendingAddr_] &= pendingData_;
            break;
        case Pending::None:
            return;
    }
    pending_ = Pending::None;
    ++writes_;
}

void AvrChip::OnElapsed(ChipPins& pins, Nanos dt) {
    if (busy_ == 0) return;
    if (!InProgramming() || pins.SupplyVoltage(part_.pins.vcc) < kWriteVcc) {
        // The write needs its voltage to the end.
        pending_ = Pending::None;
        busy_ = 0;
        return;
    }
    if (dt < busy_) {
        busy_ -= dt;
        return;
    }
    busy_ = 0;
    Finish();
    if (part_.pins.rdy) pins.Drive(part_.pins.rdy, true);
}

void AvrChip::OnRemoved() {
    mode_ = Mode::Off;
    resetLow_ = false;
    misoDriven_ = false;
    sdoDriven_ = false;
    pending_ = Pending::None;
    busy_ = 0;
    driving_ = false;
}

void RegisterAvrs(ChipRegistry& registry) {
    for (const char* p : {"AT90S4414", "AT90S8515"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, Placement::Dip(40)); });
        for (const char* mark : {"*P44", "*Q44"})
            registry.Add(name + mark, [name, mark] { return Make(name.c_str(), name + mark, Plcc44Mega161Board()); });
    }
    for (const char* p : {"AT90S4434", "AT90S8535"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, TurnedDip40("DIP40 turned")); });
        for (const char* mark : {"*P44", "*Q44"})
            registry.Add(name + mark, [name, mark] { return Make(name.c_str(), name + mark, Tqfp44Mega16Board()); });
    }
    // An AT90S8535 wired onto the AT90S8515 positions (the vex310 form's wiring message).
    registry.Add("AT90S8535(wired)", [] {
        std::vector<int> pins(40, 0);
        for (int n = 1; n <= 9; ++n) pins[static_cast<std::size_t>(n - 1)] = n;
        const std::pair<int, int> wires[] = {{10, 40}, {11, 20}, {15, 11}, {16, 12}, {17, 13},
                                             {18, 14}, {19, 15}, {20, 16}, {13, 19}};
        for (auto [chip, zif] : wires) pins[static_cast<std::size_t>(chip - 1)] = zif;
        return Make("AT90S8535", "AT90S8535(wired)", Placement::Custom("AT90S8535 wired to AT90S8515 pins", pins));
    });
    for (const char* p : {"AT90S2333", "AT90S4433", "ATtiny28"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, Placement::Dip(28)); });
    }
    for (const char* p : {"AT90S1200", "AT90S2313"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, Placement::Dip(20)); });
    }
    for (const char* p : {"AT90S2323", "AT90S2343"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, Placement::Dip(8)); });
    }
    // The high-voltage serial parts at the top of the DIP20 area: chip pins 1-4
    // on socket 11-14, 5-8 on 27-30 (the 12 V designs' positions).
    const auto hvsp = [] {
        return Placement::Custom("DIP8 at the top of the DIP20 area", {11, 12, 13, 14, 27, 28, 29, 30});
    };
    for (const char* p : {"ATtiny11", "ATtiny12", "ATtiny15"}) {
        const std::string name = p;
        registry.Add(name, [name, hvsp] { return Make(name.c_str(), name, hvsp()); });
    }
    for (const char* p : {"AT90S2323", "AT90S2343"}) {
        const std::string name = p;
        registry.Add(name + "(12V)", [name, hvsp] { return Make(name.c_str(), name + "(12V)", hvsp()); });
    }
    // The ATtiny26 on the serial DIP20 positions (chip pin k on socket pin 8 + k,
    // 12 + k above pin 10), and on our board for the DIP40 serial design (MOSI 6,
    // MISO 7, SCK 8, RESET 9, XTAL2 18, XTAL1 19, GND 20, VCC 40; the other
    // package pins reach no socket pin).
    registry.Add("ATtiny26", [] {
        std::vector<int> pins(20);
        for (int k = 1; k <= 20; ++k) pins[static_cast<std::size_t>(k - 1)] = k <= 10 ? 8 + k : 12 + k;
        return Make("ATtiny26", "ATtiny26", Placement::Custom("DIP20 on the serial positions", pins));
    });
    registry.Add("ATtiny26*D40", [] {
        std::vector<int> pins(20, 0);
        const std::pair<int, int> wires[] = {{1, 6}, {2, 7}, {3, 8}, {5, 40}, {6, 20}, {7, 19}, {8, 18}, {10, 9}};
        for (auto [chip, zif] : wires) pins[static_cast<std::size_t>(chip - 1)] = zif;
        return Make("ATtiny26", "ATtiny26*D40", Placement::Custom("ATtiny26 board (DIP40 serial pins)", pins));
    });
    registry.Add("ATmega8", [] { return Make("ATmega8", "ATmega8", Placement::Dip(28)); });
    for (const char* p : {"ATmega16", "ATmega32", "ATmega163"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, TurnedDip40("DIP40 turned")); });
        if (name != "ATmega163")
            registry.Add(name + "*Q44", [name] { return Make(name.c_str(), name + "*Q44", Tqfp44Mega16Board()); });
    }
    for (const char* p : {"ATmega64", "ATmega128"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, TurnedDip40("TQFP64 board (ATmega16 positions)")); });
    }
    for (const char* p : {"ATmega161", "ATmega162"}) {
        const std::string name = p;
        registry.Add(name, [name] { return Make(name.c_str(), name, Placement::Dip(40)); });
        for (const char* mark : {"*P44", "*Q44"})
            registry.Add(name + mark, [name, mark] { return Make(name.c_str(), name + mark, Plcc44Mega161Board()); });
    }
}

}  // namespace quilla::sim
