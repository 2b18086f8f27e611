#include "algo/pic/pic_serial.h"

#include <algorithm>

namespace quilla {

using namespace proto;

namespace picvariant {

const PicVariant P16fEEx{
    .form = "TP16fEEx",
    .codes = kFCodes,
    .power = PicPowerOrder::VccSettle,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0xF2, .begin = 0x18, .waitOp = OpWait1ms, .rule = PicWaitRule::DelayDoubledWhenSlow,
                .increment = 0xF6},
    .wordsPerReply = 32};

const PicVariant P16f87x{
    .form = "TP16f87x",
    .codes = kFCodes,
    .power = PicPowerOrder::GroundVccSettle,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0xF2, .begin = 0x18, .waitOp = OpWait1ms, .rule = PicWaitRule::Fixed, .fixedWaits = 3,
                .increment = 0xF6},
    .wordsPerReply = 32};

const PicVariant P16f628x{
    .form = "TP16f628x",
    .codes = kFCodes,
    .power = PicPowerOrder::GroundVccSettle,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0xF2, .begin = 0x18, .waitOp = OpWait1ms, .rule = PicWaitRule::Fixed, .fixedWaits = 4,
                .increment = 0xF6},
    .wordsPerReply = 32};

const PicVariant P16f7x1{
    .form = "TP16f7x1",
    .codes = kFCodes,
    .power = PicPowerOrder::GroundVccSettle,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0xF2, .begin = 0xF8, .waitOp = OpWait1ms, .rule = PicWaitRule::Fixed, .fixedWaits = 3,
                .end = 0xFE, .increment = 0xF6},
    .wordsPerReply = 16};

const PicVariant P16c8x{
    .form = "TP16c8x",
    .codes = kPlainCodes,
    .power = PicPowerOrder::GroundVcc,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWaitSettle, .rule = PicWaitRule::SpeedItemPlusOne,
                .increment = 0x06},
    .wordsPerReply = 32};

const PicVariant P16c6x{
    .form = "TP16c6x",
    .codes = kPlainCodes,
    .power = PicPowerOrder::GroundVcc,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWaitPulse, .rule = PicWaitRule::SpeedItemPlusOne, .end = 0x0E,
                .increment = 0x06},
    .wordsPerReply = 32};

const PicVariant P12c508x{
    .form = "TP12c508x",
    .codes = kPlainCodes,
    .power = PicPowerOrder::VccNoFlush,
    .vpp = PicVppRaise::PinHigh,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWaitPulse, .rule = PicWaitRule::SpeedItemPlusOne, .end = 0x0E,
                .increment = 0x06},
    .wordsPerReply = 32};

// TP16fx reads and steps with F4h/F6h but loads its configuration with 00h.
const PicVariant P16fx{
    .form = "TP16fx",
    .codes = {.loadConfig = 0x00, .loadProgram = 0xF2, .loadData = 0x03, .readProgram = 0xF4, .readData = 0x05,
               .increment = 0xF6},
    .power = PicPowerOrder::GroundVccSettle,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0xF2, .begin = 0xF8, .waitOp = OpWait1ms, .rule = PicWaitRule::Fixed, .fixedWaits = 3,
                .end = 0xFE, .increment = 0xF6},
    .wordsPerReply = 16};

const PicVariant P16f87xa1{
    .form = "TP16f87xa1",
    .codes = kPlainCodes,
    .power = PicPowerOrder::GroundVccSettle,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0x02, .begin = 0x18, .waitOp = OpWait1ms, .rule = PicWaitRule::DelayDoubledWhenSlow,
                .end = 0x17, .increment = 0x06},
    .wordsPerReply = 32};

const PicVariant P16f628a1{
    .form = "TP16f628a1",
    .codes = kPlainCodes,
    .power = PicPowerOrder::VppFirst,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWait1ms, .rule = PicWaitRule::DelayDoubledWhenSlow,
                .increment = 0x06},
    .wordsPerReply = 32};

// The PIC12F6xx and PIC16F630 forms: VPP first, 02h, 08h, N x wait 26, 06h.
const PicVariant P12fxxx{
    .form = "TP12fxxx",
    .codes = kPlainCodes,
    .power = PicPowerOrder::VppFirst,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWait1ms, .rule = PicWaitRule::DelayHalvedWhenFast,
                .increment = 0x06},
    .wordsPerReply = 32};

const PicVariant P16f630x{
    .form = "TP16f630x",
    .codes = kPlainCodes,
    .power = PicPowerOrder::VppFirst,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWait1ms, .rule = PicWaitRule::DelayDoubledWhenSlow,
                .increment = 0x06},
    .wordsPerReply = 32};

// The PIC16C OTP form with the configuration grid: no serial-enable register write.
const PicVariant P16cxxx1{
    .form = "TP16cxxx1",
    .codes = kPlainCodes,
    .power = PicPowerOrder::GroundVcc,
    .vpp = PicVppRaise::RouteOnly,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWaitPulse, .rule = PicWaitRule::Fixed, .fixedWaits = 2,
                .end = 0x0E, .increment = 0x06},
    .wordsPerReply = 32};

// The PIC16F5x form: F-form program-memory commands, load configuration plain
// (its parts have none), VCC first with the settle wait and no ground (setup
// grounds the chip once); its word recipe adds a wait 25 after end programming
// and is written out by the form.
const PicVariant P16f5x{
    .form = "TP16f5x",
    .codes = {.loadConfig = 0x00, .loadProgram = 0xF2, .loadData = 0x03, .readProgram = 0xF4, .readData = 0x05,
               .increment = 0xF6},
    .power = PicPowerOrder::VccSettle,
    .vpp = PicVppRaise::SerialEnable,
    .program = {.load = 0xF2, .begin = 0xF8, .waitOp = OpWait1ms, .rule = PicWaitRule::Fixed, .fixedWaits = 2,
                .end = 0xFE, .increment = 0xF6},
    .wordsPerReply = 16};

const PicVariant P16c505x{
    .form = "TP16c505x",
    .codes = kPlainCodes,
    .power = PicPowerOrder::GroundVccSettle,
    .vpp = PicVppRaise::PinHigh,
    .program = {.load = 0x02, .begin = 0x08, .waitOp = OpWaitPulse, .rule = PicWaitRule::Fixed, .fixedWaits = 1,
                .end = 0x0E, .increment = 0x06},
    .wordsPerReply = 32};

}  // namespace picvariant

std::array<std::uint16_t, 4> UserIdWords(std::uint32_t userId) {
    std::array<std::uint16_t, 4> w{};
    for (int k = 0; k < 4; ++k) w[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>((userId >> (12 - 4 * k)) & 0xFF);
    return w;
}

std::uint32_t UserIdFromWords(const std::uint16_t* words) {
    std::uint32_t id = 0;
    for (int k = 0; k < 4; ++k) id = (id << 4) | (words[k] & 0xFu);
    return id;
}

std::array<std::uint8_t, 2> DeviceIdBytes(std::uint16_t deviceIdWord) {
    return {static_cast<std::uint8_t>((deviceIdWord >> 8) & 0x3F), static_cast<std::uint8_t>(deviceIdWord & 0xE0)};
}

// ---- opcodes -------------------------------------------------------------------------------------

void PicSerial::SendCommand(std::uint8_t c) { ep3_.UsbPut2(OpPicCommand, c); }

void PicSerial::ReadWord(std::uint8_t c) { ep3_.UsbPut2(OpPicReadWord, c); }

void PicSerial::SendCommandData(std::uint8_t c, std::uint32_t d) {
    const PicFrame f = PicDataFrame(d);
    ep3_.UsbPut4(OpPicWriteWord, c, f.lo, f.hi);
}

void PicSerial::SerialEnable() { ep3_.WriteReg(RegPicSerial, PicSerialOn); }

void PicSerial::ReadNext() {
    ReadWord(v_.codes.readProgram);
    SendCommand(v_.codes.increment);
}

// ---- power ---------------------------------------------------------------------------------------

void PicSerial::PowerOn(const PicPins& p) {
    ep3_.ErrorFlag = 0;
    switch (v_.power) {
        case PicPowerOrder::VccSettle:
            ep3_.VccPin(p.vcc);
            ep3_.UsbPut1(OpWaitSettle);
            ep3_.UsbPut1(OpPrepare);
            ep3_.UsbFlush();
            break;
        case PicPowerOrder::GroundVccSettle:
            ep3_.GndPin(p.gnd);
            ep3_.VccPin(p.vcc);
            ep3_.UsbPut1(OpWaitSettle);
            ep3_.UsbPut1(OpPrepare);
            ep3_.UsbFlush();
            break;
        case PicPowerOrder::GroundVcc:
            ep3_.GndPin(p.gnd);
            ep3_.VccPin(p.vcc);
            ep3_.UsbPut1(OpPrepare);
            ep3_.UsbFlush();
            break;
        case PicPowerOrder::VccNoFlush:
            ep3_.VccPin(p.vcc);
            ep3_.UsbPut1(OpPrepare);
            break;
        case PicPowerOrder::VppFirst:
            ep3_.UsbFlush();
            ep3_.UsbPut1(OpPrepare);
            ep3_.GndPin(p.gnd);
            ep3_.VppPin(p.vpp);
            SerialEnable();
            ep3_.UsbFlush();
            ep3_.VccPin(p.vcc);
            ep3_.UsbFlush();
            break;
    }
}

bool PicSerial::Enter(const PicPins& p, bool check) {
    PowerOn(p);
    if (v_.power != PicPowerOrder::VppFirst) {
        ep3_.VppPin(p.vpp);
        if (v_.vpp == PicVppRaise::SerialEnable) SerialEnable();
        else if (v_.vpp == PicVppRaise::PinHigh) ep3_.PinHigh(p.vpp);
    }
    return !check || ep3_.CheckCurrent() != 0;
}

void PicSerial::Leave() {
    ep3_.VppPin(0);
    ep3_.VccPin(0);
}

// ---- programming ---------------------------------------------------------------------------------

int PicSerial::WaitCount(const PicSpeed& s) const {
    int n = 1;
    switch (v_.program.rule) {
        case PicWaitRule::Fixed:
            n = v_.program.fixedWaits;
            break;
        case PicWaitRule::DelayDoubledWhenSlow:
            n = std::max(s.dly, 1);
            if (s.text == "Slow  ") n *= 2;
            break;
        case PicWaitRule::DelayHalvedWhenFast:
            n = std::max(s.dly, 1);
            if (s.text == "Fast写") n /= 2;
            break;
        case PicWaitRule::SpeedItemPlusOne:
            n = s.item + 1;
            break;
    }
    return std::max(n, 1);  // a word is never given no programming time
}

void PicSerial::ProgramWord(std::uint16_t w, int waits) {
    const PicRecipe& r = v_.program;
    SendCommandData(r.load, w);
    SendCommand(r.begin);
    for (int i = 0; i < waits; ++i) ep3_.UsbPut1(r.waitOp);
    if (r.end >= 0) SendCommand(static_cast<std::uint8_t>(r.end));
    SendCommand(r.increment);
}

// ---- reads ---------------------------------------------------------------------------------------

void PicSerial::ReadBlock(int n, std::uint8_t* dest) {
    for (int k = 0; k < n; ++k) ReadNext();
    ep3_.UsbReadReply(ep3_.UsbReplyBuf.data());
    std::copy_n(ep3_.UsbReplyBuf.data(), 2 * n, dest);
}

void PicSerial::QueueConfigRead(std::uint32_t d) {
    SendCommandData(v_.codes.loadConfig, d);
    for (int k = 0; k < 8; ++k) ReadNext();
}

std::array<std::uint16_t, 8> PicSerial::ReplyWords() {
    const std::uint8_t* r = ep3_.UsbReplyBuf.data();
    ep3_.UsbReadReply(ep3_.UsbReplyBuf.data());
    std::array<std::uint16_t, 8> w{};
    for (std::size_t k = 0; k < 8; ++k) w[k] = static_cast<std::uint16_t>(r[2 * k] | (r[2 * k + 1] << 8));
    return w;
}

void PicSerial::ReadEepromBlock(int n, std::uint8_t* dest) {
    for (int k = 0; k < n; ++k) {
        ReadWord(v_.codes.readData);
        SendCommand(v_.codes.increment);
    }
    ep3_.UsbReadReply(ep3_.UsbReplyBuf.data());
    for (int k = 0; k < n; ++k) dest[k] = ep3_.UsbReplyBuf[static_cast<std::size_t>(2 * k)];
}

void PicSerial::WriteEepromByte(std::uint8_t b) {
    SendCommandData(v_.codes.loadData, b);
    SendCommand(piccmd::BeginProgramOnly);
    ep3_.UsbPut1(OpWaitSettle);
    SendCommand(v_.codes.increment);
}

// ---- configuration area --------------------------------------------------------------------------

void PicSerial::WriteConfigArea(std::uint32_t userId, std::uint32_t configWord, int waits) {
    SendCommandData(v_.codes.loadConfig, 0x3FFF);
    for (std::uint16_t w : UserIdWords(userId)) ProgramWord(w, waits);
    for (int k = 0; k < 3; ++k) ProgramWord(0x3FFF, waits);
    ProgramWord(static_cast<std::uint16_t>(configWord), waits);
}

void PicSerial::WriteConfigAreaThenWord(std::uint32_t userId, std::uint32_t configWord, int waits) {
    SendCommandData(v_.codes.loadConfig, 0x3FFF);
    for (std::uint16_t w : UserIdWords(userId)) ProgramWord(w, waits);
    for (int k = 0; k < 3; ++k) SendCommand(v_.codes.increment);
    SendCommandData(piccmd::LoadProgram, configWord);
    SendCommand(piccmd::BeginEraseProgram);
    ep3_.UsbPut1(OpWaitSettle);
}

// ---- erase sequences -----------------------------------------------------------------------------

void PicSerial::Erase0107() {
    SendCommand(piccmd::EraseSetup1);
    SendCommand(piccmd::EraseSetup2);
    SendCommand(piccmd::BeginEraseProgram);
    ep3_.UsbPut1(OpWaitSettle);
    SendCommand(piccmd::EraseSetup1);
    SendCommand(piccmd::EraseSetup2);
}

void PicSerial::EraseProgram0107() {
    SendCommandData(v_.codes.loadProgram, 0xFFFF);
    Erase0107();
}

void PicSerial::EraseData0107() {
    SendCommandData(v_.codes.loadData, 0xFFFF);
    Erase0107();
}

void PicSerial::EraseAll0107() {
    SendCommandData(v_.codes.loadConfig, 0xFFFF);
    for (int k = 0; k < 7; ++k) SendCommand(v_.codes.increment);
    Erase0107();
}

void PicSerial::ChipEraseF9() {
    SendCommand(piccmd::F(piccmd::BulkEraseProgram));
    SendCommandData(piccmd::F(piccmd::LoadProgram), 0xFFFF);
    SendCommand(piccmd::F(piccmd::BeginEraseProgram));
    for (int k = 0; k < 3; ++k) ep3_.UsbPut1(OpWait100ms);
}

void PicSerial::BulkEraseWithConfig09() {
    SendCommandData(piccmd::LoadConfig, 0x2000);
    SendCommand(piccmd::BulkEraseProgram);
    for (int k = 0; k < 3; ++k) ep3_.UsbPut1(OpWait100ms);
}

void PicSerial::ChipErase1F(std::uint8_t c) {
    SendCommandData(c, 0x3FFF);
    SendCommand(piccmd::ChipErase87xA);
    SendCommand(piccmd::BeginEraseProgram);
    ep3_.UsbPut1(OpWaitSettle);
}

void PicSerial::BulkEraseProgram09() {
    SendCommand(piccmd::BulkEraseProgram);
    SendCommand(piccmd::BeginEraseProgram);
    ep3_.UsbPut1(OpWaitSettle);
}

void PicSerial::BulkEraseData0B() {
    SendCommand(piccmd::BulkEraseData);
    SendCommand(piccmd::BeginEraseProgram);
    ep3_.UsbPut1(OpWaitSettle);
}

// ---- device ID -----------------------------------------------------------------------------------

bool PicSerial::ReadDeviceId(Selection& sel, const PicPins& p, std::uint32_t d) {
    if (!Enter(p, true)) return false;
    QueueConfigRead(d);
    Leave();
    lastArea_ = ReplyWords();
    const auto id = DeviceIdBytes(lastArea_[6]);
    sel.LastReadId = {id[0], id[1], 0, 0};
    return true;
}

bool PicSerial::CheckDeviceId(Selection& sel, const PicPins& p, std::uint32_t d, bool skipContact) {
    if (!skipContact && ep3_.CheckPinContact(p.gnd, 0, p.contactLo, p.contactHi, 0) == 0) return false;
    if (!ReadDeviceId(sel, p, d)) return false;
    const auto& id = sel.LastReadId;
    if (sel.ExpectedId[0] <= 1) return true;
    if (id[0] == sel.ExpectedId[0] && id[1] == sel.ExpectedId[1]) return true;
    if (ep3_.prompts().AskYesNo("Wrong type, OK ??")) return true;
    ep3_.ErrorFlag = 1;
    return false;
}

}  // namespace quilla
