#include "engine/ep3.h"

#include <stdexcept>
#include <string>

#include <cstring>

namespace quilla {

using namespace proto;

const char* const OverCurrentMsg =
    "Exceed current limit.Possible reasons:\n1.Bad chip or wrong oritation.\n2.Wrong type.\n3. USB "
    "current too low or cable too long.    ";

namespace {
std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v); }
}  // namespace

void TEp3::SetModelFromReply(const std::uint8_t* bytes) {
    std::size_t n = 0;
    while (n < 16 && bytes[n] != 0) ++n;
    ProgrammerModel.assign(reinterpret_cast<const char*>(bytes), n);
}

void TEp3::SysCmd(std::uint8_t s, std::uint8_t v) {
    UsbFlush();
    UsbPut4(OpSystem, s, v, 0);
    UsbFlush();
}

void TEp3::SetVpp(int mV) {
    // The level travels in 0.1 V steps in one byte: a level it cannot carry
    // would arrive as another (50,000 mV as 24.4 V).
    if (mV < 0 || mV > MaxVppMillivolts)
        throw std::out_of_range("VPP level " + std::to_string(mV) + " mV is outside 0 to 25500 mV");
    SysCmd(SysVppLevel, MilliVoltsToWire(mV));
    UsbPut1(OpWaitSettle);
}

void TEp3::SetVcc(int mV) {
    SysCmd(SysVccLevel, MilliVoltsToWire(mV));
    UsbPut1(OpWaitSettle);
    UsbFlush();
}

int TEp3::VppPin(int pin) {
    SysCmd(SysVppPin, Byte(pin));
    return 1;
}

void TEp3::VppPinOff(int pin) { SysCmd(SysVppPinOff, Byte(pin)); }

int TEp3::VccPin(int pin) {
    SysCmd(SysVccPin, Byte(pin));
    UsbPut1(OpWaitSettle);
    if (pin != 0) PinHigh(pin);
    return 1;
}

void TEp3::GndPin(int pin) {
    SysCmd(SysGndPin, Byte(pin));
    PinLow(pin);
}

void TEp3::ClockPin(int pin) { SysCmd(SysClockPin, Byte(pin)); }

int TEp3::VppSupplyPin(int pin) {
    SetVpp(12000);
    PinHigh(pin);
    SysCmd(SysVppSupplyPath, Byte(pin));
    UsbPut1(OpWaitSettle);
    UsbFlush();
    return 1;
}

void TEp3::SetPortMode(int mode) { UsbPut4(OpSystem, SysPortMode, Byte(mode), 0); }

void TEp3::SetPinOption(int pin, int flag) {
    SysCmd(flag ? SysPinOptionOn : SysPinOptionOff, Byte(pin));
    if (pin >= 1 && pin < static_cast<int>(pinOptionOn_.size())) pinOptionOn_[static_cast<std::size_t>(pin)] = flag != 0;
}

void TEp3::PinHigh(int pin) {
    if (pin != 0) UsbPut2(OpPinHigh, Byte(pin));
}

void TEp3::PinLow(int pin) {
    if (pin != 0) UsbPut2(OpPinLow, Byte(pin));
}

void TEp3::SetPin(int flag, int pin) {
    if (flag)
        PinHigh(pin);
    else
        PinLow(pin);
}

void TEp3::SetAllPins(int flag) {
    for (int p = 1; p <= 40; ++p) SetPin(flag, p);
    UsbFlush();
}

void TEp3::WriteLatch(int k, int v) { UsbPut2(Byte(OpLatch0 + k), Byte(v)); }

void TEp3::WriteReg(int r, int v) { UsbPut3(OpWriteReg, Byte(r), Byte(v)); }

void TEp3::QueueOp53(int a, int b) { UsbPut3(OpShiftOut, Byte(a), Byte(b)); }

void TEp3::QueueOp54(int a) { UsbPut2(OpShiftIn, Byte(a)); }

void TEp3::WriteCommandPair(int a, int b) {
    WriteLatch(2, a);
    UsbPut1(OpBusWrite);
    WriteLatch(2, b);
    UsbPut1(OpBusWrite);
}

std::uint8_t TEp3::ReadByteCmd(std::uint8_t captureOp) {
    UsbPut1(captureOp);
    return UsbReadReply();
}

std::uint8_t TEp3::ReadPinState(int pin) {
    UsbPut2(OpCapturePin, Byte(pin));
    return UsbReadReply();
}

bool TEp3::ReadMfgId(std::uint8_t& mfr, std::uint8_t& dev) {
    if (!Connected) {
        ResetPins();
        return false;
    }
    GndPin(20);
    SetVpp(12500);
    UsbPut1(OpWaitSettle);
    SetAllPins(0);  // flushes
    PinHigh(5);
    PinHigh(7);
    PinHigh(36);
    VccPin(36);
    SetPortMode(12);
    WriteLatch(2, 0xFF);
    VppPin(30);
    PinLow(16);
    UsbPut1(OpCaptureData);
    PinHigh(16);
    UsbPut1(OpCaptureData);
    PinLow(16);
    PinHigh(15);
    UsbPut1(OpCaptureData);
    UsbReadReply(UsbReplyBuf.data());
    mfr = UsbReplyBuf[0];
    dev = UsbReplyBuf[1];
    VppPin(0);
    VccPin(0);
    return true;
}

void TEp3::ResetPins() {
    SetPortMode(PortModeReset);
    ClockPin(0);
    GndPin(0);
}

void TEp3::InitBitReverse() {
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int b = 0; b < 8; ++b)
            if (i & (1 << b)) r |= 1 << (7 - b);
        BitReverse[static_cast<std::size_t>(i)] = Byte(r);
    }
    VccPin(0);
    ClockPin(0);
    GndPin(0);
    SetVpp(0);
    SetPortMode(PortModeReset);
}

void TEp3::PowerOff() {
    SetVpp(0);
    VppPin(0);
    SetVcc(0);
    VccPin(0);
}

void TEp3::ReleaseOutputs() {
    if (!Connected) return;
    // Every pin low first (as at start-up): an option switched off below gives
    // the pin back to the level last set on it, which must not be a high one
    // on a chip whose supply is going.
    SetAllPins(0);
    PowerOff();
    ClockPin(0);
    GndPin(0);
    for (std::size_t p = 1; p < pinOptionOn_.size(); ++p)
        if (pinOptionOn_[p]) SetPinOption(static_cast<int>(p), 0);
    SetPortMode(PortModeReset);
    UsbFlush();
}

void TEp3::ShowPlacementBitmap(const std::string& file) {
    if (Placement) Placement->ShowPlacementBitmap(file);
}

int TEp3::ShowPlacementDiagram(int firstRow, int pinCount, int orientation, int halfWidth) {
    return Placement ? Placement->ShowPlacementDiagram(firstRow, pinCount, orientation, halfWidth) : 0;
}

}  // namespace quilla
