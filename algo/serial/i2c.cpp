#include "algo/serial/i2c.h"

#include <algorithm>

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kBlock = 64;            // TP24c0x: reads per reply
constexpr std::uint32_t kContactMask = 0xB80000;  // pins 20, 21, 22, 24
constexpr std::uint32_t kSupplyMask = 0x880000;   // pins 20 (ground) and 24 (VCC)
constexpr int kDataBit = 3;           // SDA (socket 21) in the vex310's data-port capture

// A part with its WP on socket 23 and A0-A2 on 17-19.
I2cForm::Row Wired(I2cForm::Row r) {
    r.Wp = 23;
    r.A0 = 17, r.A1 = 18, r.A2 = 19;
    return r;
}

ControlRows Window24c0x() {
    using namespace win;
    return Join({I2cForm::Buttons(),
                 {Radio({"Speed", "页延迟"}, {"10 ms", "20 ms"}, 0),
                  Radio({"RadioGroup1", "W.方式"}, {"Fast", "Mid.", "Slow"}, 1),
                  Radio({"RadioGroup2", "R.方式"}, {"单Byte", "连续(F.)"}, 0),
                  Radio({"RadioGroup3", "电压"}, {"5V", "3.3V", "2.5V"}, 0)},
                 SerialForm::Batch({Box({"CheckBox3", "W."}, true), Box({"CheckBox4", "Vrfy"}, true)}),
                 SerialForm::StatusFields()});
}

ControlRows Window24c0x310() {
    return win::Join({I2cForm::Buttons(), {SerialForm::Speed("Speed     ", 3)}, SerialForm::StatusFields()});
}

}  // namespace

// ---- the shared bus phases -----------------------------------------------------------------

I2cForm::I2cForm(Workbench& w, std::string caption) : SerialForm(w, std::move(caption)) {}

ControlRows I2cForm::Buttons() {
    return {win::PushButton({"Read1", "Read  "}), win::PushButton({"Write", "Write "}),
            win::PushButton({"Verify", "Vrfy"}), win::PushButton({"CancelBtn", "Exit "})};
}

std::uint8_t I2cForm::DeviceByte(int a) const {
    const int v = wb.sel.VariantIndex;
    const bool twoBytes = v >= 1 && v < TableSize() && Table[static_cast<std::size_t>(v)].LastAddress > 0x7FF;
    return static_cast<std::uint8_t>(twoBytes ? 0xA0 : 0xA0 | ((a >> 7) & 0x0E));
}

void I2cForm::I2cSetWriteAddress(int a) {
    const Row& r = Selected();
    I2cStart();
    if (r.X24) {
        I2cSendByte(X24Byte(a, 0));
        I2cAckClock();
        return;
    }
    I2cSendByte(DeviceByte(a));
    I2cAckClock();
    if (r.LastAddress > 0x7FF) {
        I2cSendByte(static_cast<std::uint8_t>(a >> 8));
        I2cAckClock();
    }
    I2cSendByte(static_cast<std::uint8_t>(a));
    I2cAckClock();
}

void I2cForm::ShowRow(const Row& r) {
    ShowConnection();
    wb.FileNew();
    AlgoForm::Show();
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    wb.Display();
    Put(kType, wb.sel.SelectedDevice);
}

// ---- TP24c0x: the bus through the design ------------------------------------------------------

TP24c0x::TP24c0x(Workbench& w) : I2cForm(w, "24c01-24c512") {
    DeclareControls(Window24c0x(), this,
                    {{"RadioGroup3", &TP24c0x::RadioGroup3Click}, {"Button1", &TP24c0x::Button1Click}});
    BindHandlers<SerialForm>(this, Operations());
    FillVariantTable();
}

void TP24c0x::FillVariantTable() {
    Table = {
        {.Name = "Exit"},
        {.Name = "1: 24c01A  128x8", .LastAddress = 127, .Wp = 23, .PageBytes = 4},
        Wired({.Name = "2: 24c02   256x8", .LastAddress = 255, .PageBytes = 8}),
        Wired({.Name = "3: 24c04   512x8", .LastAddress = 511, .PageBytes = 16}),
        Wired({.Name = "4: 24c08   1024x8", .LastAddress = 1023, .PageBytes = 16}),
        Wired({.Name = "5: 24c16   2048x8", .LastAddress = 2047, .PageBytes = 16}),
        Wired({.Name = "6: 24c32   4kx8", .LastAddress = 4095, .PageBytes = 32}),
        Wired({.Name = "7: 24c64   8kx8", .LastAddress = 8191, .PageBytes = 32}),
        Wired({.Name = "8: 24c128   16kx8", .LastAddress = 16383, .PageBytes = 64}),
        Wired({.Name = "9: 24c256   32kx8", .LastAddress = 32767, .PageBytes = 64}),
        Wired({.Name = "10: 24c512   64kx8", .LastAddress = 65535, .PageBytes = 128}),
        Wired({.Name = "11: 24c1024 128kx8", .LastAddress = 65535, .PageBytes = 256}),
        {.Name = "12: X24c01  128x8", .LastAddress = 127, .X24 = true},
    };
}

void TP24c0x::SetupForDevice() {
    if (!CheckDeviceLine()) return;
    const Row& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.ResetPins();
    Ep3.LoadBitFile("i2c24c.bit");
    Ep3.UsbPut2(OpSerialSetup4A, 8);
    Ep3.UsbPut2(OpSerialSetup4B, 8);
    ShowRow(r);
    Ep3.SetVcc(VoltageMv(ItemIndex("RadioGroup3")));  // sends the set-up too
}

void TP24c0x::I2cStart() { Ep3.UsbPut1(OpI2cStart); }
void TP24c0x::I2cSendByte(std::uint8_t b) { Ep3.UsbPut2(OpSpiOut, b); }
void TP24c0x::I2cAckClock() { Ep3.UsbPut1(OpI2cAckClock); }

void TP24c0x::I2cStop() {
    Ep3.ControlLineLow(1);
    Ep3.ControlLineHigh(2);
    Ep3.ControlLineHigh(1);
}

void TP24c0x::I2cPowerUp() {
    const Row& r = Selected();
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Ep3.GndPin(r.Gnd);
    Ep3.VccPin(r.Vcc);
}

bool TP24c0x::Begin() {
    const Row& r = Selected();
    if (Ep3.CheckPinContact(20, 0, kContactMask, 0, 0) == 0) return false;
    RequireContactPresence(r.Gnd, kSupplyMask, 0);
    I2cPowerUp();
    return Ep3.CheckCurrent() != 0;
}

int TP24c0x::PageLength() {
    int p = Selected().PageBytes;
    const int mode = ItemIndex("RadioGroup1");
    if (mode == 1) p /= 2;
    else if (mode == 2) p /= 4;
    return std::max(p, 2);
}

std::uint8_t TP24c0x::ReadDevice(int b) { return static_cast<std::uint8_t>(DeviceByte(b) | 1); }

void TP24c0x::QueueBlock(int b, bool continuous) {
    const Row& r = Selected();
    for (int j = 0; j < kBlock; ++j) {
        const int a = b + j;
        if (r.X24) {
            I2cStart();
            I2cSendByte(X24Byte(a, 1));
        } else {
            if (!continuous) I2cSetWriteAddress(a);
            I2cStart();
            I2cSendByte(ReadDevice(b));
        }
        I2cAckClock();
        Ep3.UsbPut1(OpSpiIn);
        if (continuous) I2cAckClock();
    }
}

void TP24c0x::ReadRom() {
    const Row& r = Selected();
    if (!Begin()) return;
    Status("Read.");
    const bool continuous = Continuous();
    if (continuous && !r.X24) I2cSetWriteAddress(0);
    Ep3.UsbFlush();
    for (int b = 0; b < r.LastAddress; b += kBlock) {
        Progress(b);
        QueueBlock(b, continuous);
        Ep3.UsbFlush();
        Ep3.UsbReadReply(Image(b));
    }
    I2cStop();
    Progress(r.LastAddress);
    Ep3.VccPin(0);
    wb.Display();
    Success("OK");
}

void TP24c0x::VerifyClick() {
    const Row& r = Selected();
    if (!wb.FileWin) RefuseWithMessage("Must open a file first....");
    if (!Begin()) return;
    Status("Verify.");
    const bool continuous = Continuous();
    if (!r.X24) I2cSetWriteAddress(0);
    Ep3.UsbFlush();
    for (int b = 0; b < r.LastAddress; b += kBlock) {
        Progress(b);
        QueueBlock(b, continuous);
        Ep3.UsbFlush();
        Ep3.UsbReadReply();
        for (int j = 0; j < kBlock; ++j) {
            if (Ep3.UsbReplyBuf[static_cast<std::size_t>(j)] == *Image(b + j)) continue;
            I2cStop();
            Status("Failed!!!!");
            wb.ErrorFlag() = 1;
            Progress(b + j);
            Ep3.VccPin(0);
            return;
        }
    }
    I2cStop();
    wb.ErrorFlag() = 0;
    Success("Verified!");
    Progress(r.LastAddress);
    Ep3.VccPin(0);
}

void TP24c0x::WriteClick() {
    const Row& r = Selected();
    if (!wb.FileWin) RefuseWithMessage("Must open a file to write...");
    Status("Write");
    if (!Begin()) return;
    const int p = PageLength();
    int a = 0;
    for (; a < r.LastAddress; a += p) {
        Progress(a);
        I2cSetWriteAddress(a);
        for (int k = 0; k < p; ++k) {
            I2cSendByte(*Image(a + k));
            I2cAckClock();
        }
        I2cStop();
        QueueWaits(OpWaitSettle, SpeedWaits() + 1);  // "10 ms": 2 waits, "20 ms": 3
        Ep3.UsbFlush();  // one transfer per page
    }
    Ep3.VccPin(0);
    wb.ErrorFlag() = 0;
    Progress(a - 1);
    Success("OK");
}

void TP24c0x::Button1Click() {
    Selected();
    RunOnePass({{"CheckBox3", [this] { WriteClick(); }}, {"CheckBox4", [this] { VerifyClick(); }}});
}

// ---- TP24c0x310: the bus pin by pin on the vex310 ------------------------------------------------

TP24c0x310::TP24c0x310(Workbench& w) : I2cForm(w, "24c01-24c512") {
    DeclareControls<SerialForm>(Window24c0x310(), this, Operations());
    FillVariantTable();
}

void TP24c0x310::FillVariantTable() {
    Table = {
        {.Name = "Exit"},
        Wired({.Name = "1: 24c01A  128x8", .LastAddress = 127}),
        Wired({.Name = "2: 24c02   256x8", .LastAddress = 255}),
        Wired({.Name = "3: 24c04   512x8", .LastAddress = 511}),
        Wired({.Name = "4: 24c08   1024x8", .LastAddress = 1023}),
        Wired({.Name = "5: 24c16   2048x8", .LastAddress = 2047}),
        Wired({.Name = "6: 24c32   4kx8", .LastAddress = 4095}),
        Wired({.Name = "7: 24c64   8kx8", .LastAddress = 8191}),
        Wired({.Name = "8: 24c128   16kx8", .LastAddress = 16383}),
        Wired({.Name = "9: 24c256   32kx8", .LastAddress = 32767}),
        Wired({.Name = "10: 24c512   64kx8", .LastAddress = 65535}),
        {.Name = "11: X24c01  128x8", .LastAddress = 127, .X24 = true},
    };
}

void TP24c0x310::SetupForDevice() {
    if (!CheckDeviceLine()) return;
    const Row& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.ResetPins();
    Ep3.LoadBitFile("vex300.bit");  // nothing on the vex310
    ShowRow(r);
    Ep3.SetVcc(5000);
}

void TP24c0x310::I2cStart() {
    const Row& r = Selected();
    Ep3.PinLow(r.Sda);
    Ep3.PinHigh(r.Sda);
    Ep3.PinHigh(r.Scl);
    Ep3.PinLow(r.Sda);
    Ep3.PinLow(r.Scl);
}

void TP24c0x310::I2cStop() {
    const Row& r = Selected();
    Ep3.PinLow(r.Sda);
    Ep3.PinHigh(r.Scl);
    Ep3.PinHigh(r.Sda);
}

void TP24c0x310::I2cAckClock() {
    const Row& r = Selected();
    Ep3.PinHigh(r.Sda);
    Ep3.PinHigh(r.Scl);
    Ep3.PinLow(r.Scl);
}

void TP24c0x310::I2cSendByte(std::uint8_t b) {
    for (int k = 7; k >= 0; --k) {
        Ep3.SetPin((b >> k) & 1u, 21);
        Ep3.PinHigh(22);
        Ep3.PinLow(22);
    }
}

void TP24c0x310::I2cPowerUp() {
    const Row& r = Selected();
    Ep3.VppPin(0);
    Ep3.VccPin(0);
    Ep3.SetAllPins(0);
    Ep3.SetAllPins(1);
    Ep3.GndPin(r.Gnd);
    Ep3.VccPin(r.Vcc);
    Ep3.PinLow(r.A0);
    Ep3.PinLow(r.A1);
    Ep3.PinLow(r.A2);
    Ep3.PinLow(r.Wp);
}

// One device byte, its acknowledge sampled with SDA given to the chip: a chip
// pulls it low, an empty socket leaves it on the pull-up. STOP follows: a
// write-addressed device byte alone writes nothing.
bool TP24c0x310::ChipAcknowledges() {
    const Row& r = Selected();
    I2cStart();
    I2cSendByte(r.X24 ? X24Byte(0, 0) : DeviceByte(0));
    Ep3.SetPinOption(r.Sda, 1);
    Ep3.PinHigh(r.Scl);
    Ep3.UsbPut1(OpCaptureData);
    Ep3.PinLow(r.Scl);
    Ep3.SetPinOption(r.Sda, 0);
    I2cStop();
    Ep3.UsbReadReply();
    return ((Ep3.UsbReplyBuf[0] >> kDataBit) & 1u) == 0;
}

bool TP24c0x310::Begin() {
    I2cPowerUp();
    if (Ep3.CheckCurrent() == 0) return false;
    if (!ChipAcknowledges()) {
        Ep3.VccPin(0);
        RequirePresence(false);
    }
    return true;
}

void TP24c0x310::I2cRandomRead(int a) {
    const Row& r = Selected();
    Ep3.UsbFlush();
    std::uint8_t device = X24Byte(a, 1);
    if (!r.X24) {
        I2cSetWriteAddress(a);
        device = static_cast<std::uint8_t>(DeviceByte(a) | 1);
    }
    I2cStart();
    I2cSendByte(device);
    I2cAckClock();
    Ep3.SetPinOption(r.Sda, 1);
    for (int k = 0; k < 8; ++k) {
        Ep3.PinHigh(r.Scl);
        Ep3.UsbPut1(OpCaptureData);
        Ep3.PinLow(r.Scl);
    }
    I2cStop();
    Ep3.SetPinOption(r.Sda, 0);
}

void TP24c0x310::I2cByteWrite(int a, std::uint8_t data) {
    I2cSetWriteAddress(a);
    I2cSendByte(data);
    I2cAckClock();
    I2cStop();
    QueueWaits(OpWait1ms, SpeedWaits());
    Ep3.UsbFlush();
}

void TP24c0x310::ReadEight(int b, std::uint8_t* out) {
    for (int j = 0; j < 8; ++j) I2cRandomRead(b + j);
    Ep3.UsbReadReply();
    for (int j = 0; j < 8; ++j) {
        unsigned v = 0;
        for (int k = 0; k < 8; ++k) v = (v << 1) | ((Ep3.UsbReplyBuf[static_cast<std::size_t>(8 * j + k)] >> kDataBit) & 1u);
        out[j] = static_cast<std::uint8_t>(v);
    }
}

void TP24c0x310::ReadRom() {
    const Row& r = Selected();
    if (!Begin()) return;
    Status("Reading..");
    Ep3.UsbReadReply();  // whatever waits is dropped
    for (int b = 0; b < r.LastAddress; b += 8) {
        if (b % 16 == 0) Progress(b);
        ReadEight(b, Image(b));
    }
    Progress(r.LastAddress);
    wb.Display();
    Success("Data in buffer..");  // VCC stays on
}

void TP24c0x310::VerifyClick() {
    const Row& r = Selected();
    if (!wb.FileWin) RefuseWithMessage("Must open a file first....");
    Status("Verify.");
    if (!Begin()) return;
    std::uint8_t got[8];
    for (int b = 0; b < r.LastAddress; b += 8) {
        if (b % 16 == 0) Progress(b);
        ReadEight(b, got);
        if (!std::equal(got, got + 8, Image(b))) {
            Status("Failed!!!!");
            Progress(b);
            Ep3.VccPin(0);
            return;
        }
    }
    Success("Verified!");
    Progress(r.LastAddress);
    Ep3.VccPin(0);
}

void TP24c0x310::WriteClick() {
    const Row& r = Selected();
    if (!wb.FileWin) RefuseWithMessage("Must open a file to write...");
    Status("Write");
    if (!Begin()) return;
    for (int a = 0; a <= r.LastAddress; ++a) {
        if (a % 16 == 0) Progress(a);
        I2cByteWrite(a, *Image(a));
    }
    Ep3.VccPin(0);
    Ep3.PinLow(24);
    wb.ErrorFlag() = 0;
    Progress(r.LastAddress);
    Success("Ended.");
}

QUILLA_FORM(TP24c0x);
QUILLA_FORM(TP24c0x310);

}  // namespace quilla
