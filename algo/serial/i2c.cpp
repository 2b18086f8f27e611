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

I2cForm::Row MakeRow(const char* name, int bits, int last, int page, bool addressPins, bool wp, bool x24 = false) {
    I2cForm::Row r;
    r.Name = name;
    r.AddressBits = bits;
    r.LastAddress = last;
    r.PageBytes = page;
    if (wp) r.Wp = 23;
    if (addressPins) r.A0 = 17, r.A1 = 18, r.A2 = 19;
    r.X24 = x24;
    return r;
}

}  // namespace

// ---- the shared bus phases -----------------------------------------------------------------

I2cForm::I2cForm(Workbench& w, std::string caption) : SerialForm(w, std::move(caption)) {}

void I2cForm::AddButtons(std::function<void()> read, std::function<void()> write, std::function<void()> verify) {
    AddButton("Read1", "Read  ", std::move(read));
    AddButton("Write", "Write ", std::move(write));
    AddButton("Verify", "Vrfy", std::move(verify));
    AddButton("CancelBtn", "Exit ", [this] { CancelBtnClick(); });
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
    AddButtons([this] { ReadRom(); }, [this] { WriteClick(); }, [this] { VerifyClick(); });
    AddRadio("Speed", "页延迟", {"10 ms", "20 ms"}, 0);
    AddRadio("RadioGroup1", "W.方式", {"Fast", "Mid.", "Slow"}, 1);
    AddRadio("RadioGroup2", "R.方式", {"单Byte", "连续(F.)"}, 0);
    AddRadio("RadioGroup3", "电压", {"5V", "3.3V", "2.5V"}, 0).OnClick = [this] { RadioGroup3Click(); };
    AddBatch({{"CheckBox3", "W."}, {"CheckBox4", "Vrfy"}}, [this] { Button1Click(); });
    AddStatusFields();
    FillVariantTable();
}

void TP24c0x::FillVariantTable() {
    Table.assign(1, Row{"Exit"});
    Table.push_back(MakeRow("1: 24c01A  128x8", 7, 127, 4, false, true));
    Table.push_back(MakeRow("2: 24c02   256x8", 8, 255, 8, true, true));
    Table.push_back(MakeRow("3: 24c04   512x8", 9, 511, 16, true, true));
    Table.push_back(MakeRow("4: 24c08   1024x8", 9, 1023, 16, true, true));
    Table.push_back(MakeRow("5: 24c16   2048x8", 9, 2047, 16, true, true));
    Table.push_back(MakeRow("6: 24c32   4kx8", 9, 4095, 32, true, true));
    Table.push_back(MakeRow("7: 24c64   8kx8", 9, 8191, 32, true, true));
    Table.push_back(MakeRow("8: 24c128   16kx8", 9, 16383, 64, true, true));
    Table.push_back(MakeRow("9: 24c256   32kx8", 9, 32767, 64, true, true));
    Table.push_back(MakeRow("10: 24c512   64kx8", 9, 65535, 128, true, true));
    Table.push_back(MakeRow("11: 24c1024 128kx8", 9, 65535, 256, true, true));
    Table.push_back(MakeRow("12: X24c01  128x8", 7, 127, 0, false, false, true));
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
    AddButtons([this] { ReadRom(); }, [this] { WriteClick(); }, [this] { VerifyClick(); });
    AddSpeed("Speed     ", 3);
    AddStatusFields();
    FillVariantTable();
}

void TP24c0x310::FillVariantTable() {
    Table.assign(1, Row{"Exit"});
    Table.push_back(MakeRow("1: 24c01A  128x8", 7, 127, 0, true, true));
    Table.push_back(MakeRow("2: 24c02   256x8", 8, 255, 0, true, true));
    Table.push_back(MakeRow("3: 24c04   512x8", 9, 511, 0, true, true));
    Table.push_back(MakeRow("4: 24c08   1024x8", 9, 1023, 0, true, true));
    Table.push_back(MakeRow("5: 24c16   2048x8", 9, 2047, 0, true, true));
    Table.push_back(MakeRow("6: 24c32   4kx8", 9, 4095, 0, true, true));
    Table.push_back(MakeRow("7: 24c64   8kx8", 9, 8191, 0, true, true));
    Table.push_back(MakeRow("8: 24c128   16kx8", 9, 16383, 0, true, true));
    Table.push_back(MakeRow("9: 24c256   32kx8", 9, 32767, 0, true, true));
    Table.push_back(MakeRow("10: 24c512   64kx8", 9, 65535, 0, true, true));
    Table.push_back(MakeRow("11: X24c01  128x8", 7, 127, 0, false, false, true));
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
