#include "algo/serial/spi25.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "algo/common/scan.h"
#include "app/workbench.h"
#include "catalog/form.h"
#include "engine/protocol.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kSck = 2;
constexpr int kQueueBytes = 65536;
constexpr int kVccMaxMv = 6500;
// Family rule 12: the VCC and GND pins of the DIP8 (24 and 20).
constexpr std::uint32_t kSupplyMaskLo = (1u << (24 - 1)) | (1u << (20 - 1));

std::string KeyText(const char* key, int value) { return std::string("Bad device line: ") + key + std::to_string(value); }

ControlRows WindowActrans() {
    using namespace win;
    return Join({Spi25Form::CommonRows(),
                 {PushButton({"Erase", "Ers."}), PushButton({"Blank", "Blank?"}), PushButton({"Button5", " ID "})},
                 SerialForm::Batch({Box({"CheckBoxWrite", "Write."}, true), Box({"CheckBoxVer", "Vrfy"}, true),
                                    Box({"CheckBox1", "W.Status"}, true), Box({"CheckBox5", "Unlock"}, true),
                                    Box({"CheckBox6", "Ers."}, true), Box({"CheckBox7", "Blank?"}, true)})});
}

ControlRows WindowAt25() {
    using namespace win;
    return Join({Spi25Form::CommonRows(),
                 SerialForm::Batch({Box({"CheckBoxWrite", "Write."}, true), Box({"CheckBoxVer", "Vrfy"}, true),
                                    Box({"CheckBox1", "W.Status"}, false), Box({"CheckBox5", "Unlock"}, true)})});
}

}  // namespace

Spi25Form::Spi25Form(Workbench& w, std::string caption, int addressBytes)
    : SerialForm(w, std::move(caption)), addressBytes_(addressBytes) {}

std::string Spi25Form::KeyError() const {
    const auto& s = wb.sel;
    const int len = s.GetParam("len="), pag = s.GetParam("pag="), dly = s.GetParam("dly="), vcc = s.GetParam("vcc=");
    if (len <= 0 || len > ImageSize) return KeyText("len=", len) + " (1 to 8388608 bytes)";
    if (pag <= 0 || pag > len) return KeyText("pag=", pag) + " (1 to len=)";
    if (vcc <= 0 || vcc > kVccMaxMv) return KeyText("vcc=", vcc) + " (mV, up to 6500)";
    // One page goes out in one transfer: WREN, WRITE with address and data, the waits.
    const std::int64_t pageBytes = 3 + 2 + 3 + 3 + 2 * (1 + addressBytes_ + static_cast<std::int64_t>(pag)) + 3;
    if (pageBytes > kQueueBytes - 64) return KeyText("pag=", pag) + " (a page overflows the command queue)";
    if (dly < 0 || pageBytes + dly + 2 > kQueueBytes - 64)
        return KeyText("dly=", dly) + " (the page's waits overflow the command queue)";
    return {};
}

void Spi25Form::SetupForDevice() {
    if (!CheckDeviceLine()) return;
    const Row& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.ResetPins();
    Ep3.LoadBitFile("at25spi.bit");
    Ep3.UsbPut2(OpSerialSetup4A, 8);
    Ep3.UsbPut2(OpSerialSetup4B, 8);
    ShowConnection();
    wb.FileNew();
    Size = wb.sel.GetParam("len=");
    Dly = wb.sel.GetParam("dly=");
    Era = wb.sel.GetParam("era=");
    Page = wb.sel.GetParam("pag=");
    if (wb.FileWin) wb.FileWin->EndAddr = Size;
    Put(kType, wb.sel.SelectedDevice);
    wb.Display();
    AlgoForm::Show();
    Ep3.GndPin(r.Gnd);
    Ep3.SetVcc(wb.sel.GetParam("vcc="));
    Ep3.SetVpp(0);
}

void Spi25Form::SpiShiftOut(std::uint8_t b) { Ep3.UsbPut2(OpSpiOut, b); }
void Spi25Form::SpiShiftIn() { Ep3.UsbPut1(OpSpiIn); }

bool Spi25Form::SpiPowerUp() {
    const Row& r = Selected();
    if (Ep3.CheckPinContact(r.Gnd, 0, r.MaskLo, r.MaskHi, 0) == 0) {
        StepFailed();
        return false;
    }
    Ep3.ControlLineLow(kSck);
    Release();
    Ep3.VccPin(0);
    Ep3.UsbPut1(OpWaitSettle);
    Ep3.VccPin(r.Vcc);
    return true;
}

bool Spi25Form::Begin() { return SpiPowerUp() && Ep3.CheckCurrent() != 0; }

void Spi25Form::SendAddress(int a) {
    if (addressBytes_ == 3) SpiShiftOut(static_cast<std::uint8_t>((a >> 16) & 0xFF));
    SpiShiftOut(static_cast<std::uint8_t>((a >> 8) & 0xFF));
    SpiShiftOut(static_cast<std::uint8_t>(a & 0xFF));
}

void Spi25Form::StartRead() {
    Select();
    SpiShiftOut(0x03);
    SendAddress(0);
}

ControlRows Spi25Form::CommonRows() {
    using namespace win;
    return Join({{PushButton({"Read1", "Read  "}), PushButton({"Write", "Write."}), PushButton({"Verify", "Vrfy."}),
                  PushButton({"Button2", "W.Status"}), PushButton({"Button3", "R.STATUS"}),
                  PushButton({"Button4", "Unlock"}), Group({"GroupBox2", "Status(打勾=1)"})},
                 In("GroupBox2", {Box({"CheckBox2", "BP0"}), Box({"CheckBox3", "BP1"}), Box({"CheckBox4", "WPEN"})}),
                 StatusFields()});
}

const Handlers<Spi25Form>& Spi25Form::StatusHandlers() {
    static const Handlers<Spi25Form> handlers{{"Button2", &Spi25Form::Button2Click},
                                              {"Button3", &Spi25Form::Button3Click},
                                              {"Button4", &Spi25Form::Button4Click}};
    return handlers;
}

// ---- handlers -------------------------------------------------------------------------------------

void Spi25Form::ReadRom() {
    const Row& r = Selected();
    Status("Read.");
    // An empty socket reads as a blank chip: it must not overwrite the buffer
    // with "OK", so the chip is looked for first, whatever the options say,
    // and the buffer takes the bytes only once the whole read came back.
    // Whole 64-byte blocks, as they come back (the last may run past Size).
    const int span = std::max(0, std::min((Size + 63) / 64 * 64, ImageSize));
    std::vector<std::uint8_t> read(static_cast<std::size_t>(span));
    const bool whole = ReadPass(r, [&](int b) {
        const int n = std::min(64, ImageSize - b);
        if (n > 0) std::copy(Ep3.UsbReplyBuf.data(), Ep3.UsbReplyBuf.data() + std::min(n, span - b), read.begin() + b);
        return true;
    });
    if (!whole) return;
    std::copy(read.begin(), read.end(), Image(0));
    Release();
    Progress(Size);
    Ep3.VccPin(0);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Spi25Form::VerifyClick() {
    const Row& r = Selected();
    Status("Verify.");
    const bool same = ReadPass(r, [this](int b) {
        const int n = std::min(64, ImageSize - b);
        for (int j = 0; j < n; ++j)
            if (Ep3.UsbReplyBuf[static_cast<std::size_t>(j)] != *Image(b + j)) {
                Status("Failed..! ");
                wb.ErrorFlag() = 1;
                Progress(b);
                Ep3.VccPin(0);
                return false;
            }
        return true;
    });
    if (!same) return;
    Release();
    wb.ErrorFlag() = 0;
    Progress(Size);
    Ep3.VccPin(0);
    Success("OK!!!");
}

void Spi25Form::WriteClick() {
    if (!wb.FileWin) RefuseWithMessage("Must open a file to write...");
    Status("Write");
    if (!Begin()) return;
    for (int a = 0; a < Size; a += Page) {
        Progress(a);
        WriteEnable();
        Select();
        SpiShiftOut(0x02);
        SendAddress(a);
        // The last page may run past len=, never past the image.
        const int n = std::min(Page, ImageSize - a);
        for (int j = 0; j < n; ++j) SpiShiftOut(*Image(a + j));
        Release();
        QueueWaits(OpWait1ms, Dly + 2);
        Ep3.UsbFlush();
    }
    Ep3.UsbFlush();
    Progress(Size);
    Ep3.VccPin(0);
    Success("OK");
}

void Spi25Form::Button3Click() {
    Status("Status...");
    if (!Begin()) return;
    Select();
    SpiShiftOut(0x05);
    SpiShiftIn();
    Ep3.UsbReadReply();
    Release();
    Ep3.VccPin(0);
    Status("Status=" + Hex2(Ep3.UsbReplyBuf[0]));
}

void Spi25Form::Button2Click() {
    Status("写 Status...");
    std::uint8_t v = 0;
    if (Ticked("CheckBox2")) v |= 0x04;
    if (Ticked("CheckBox3")) v |= 0x08;
    if (Ticked("CheckBox4")) v |= 0x80;
    WriteStatus(v, StatusWait());
}

void Spi25Form::Button4Click() {
    Status("Unlock...");
    WriteStatus(0x00, OpWaitSettle);
}

void Spi25Form::WriteEnable() {
    Select();
    SpiShiftOut(0x06);
    Release();
}

void Spi25Form::WriteStatus(std::uint8_t value, std::uint8_t wait) {
    if (!Begin()) return;
    WriteEnable();
    Select();
    SpiShiftOut(0x01);
    SpiShiftOut(value);
    Release();
    Ep3.UsbPut1(wait);
    Ep3.VccPin(0);
    Success("OK");
}

bool Spi25Form::ReadPass(const Row& r, const std::function<bool(int)>& block) {
    RequireContactPresence(r.Gnd, kSupplyMaskLo, 0);
    if (!Begin()) return false;
    Ep3.UsbFlush();
    StartRead();
    for (int b = 0; b < Size; b += 64) {
        Progress(b);
        for (int j = 0; j < 64; ++j) SpiShiftIn();
        Ep3.UsbReadReply();
        if (!block(b)) return false;
    }
    return true;
}

// ---- TActrans25x ------------------------------------------------------------------------------------

TActrans25x::TActrans25x(Workbench& w) : Spi25Form(w, "Actrans25x", 3) {
    using F = TActrans25x;
    DeclareControls(WindowActrans(), this,
                    {{"Erase", &F::EraseClick},
                     {"Blank", &F::BlankClick},
                     {"Button5", &F::Button5Click},
                     {"Button1", &F::Button1Click}});
    BindHandlers<Spi25Form>(this, StatusHandlers());
    BindHandlers<SerialForm>(this, Operations());
    FillVariantTable();
}

void TActrans25x::FillVariantTable() {
    // Row 1's part (the 25LC1024 class) answers RDID (ABh) after three dummy
    // address bytes; the others have no identification the form can read.
    Table = {
        {.Name = "Exit"},
        {.Name = "1: DIP8", .Vcc = 24, .Gnd = 20, .EraseOpcode = 0xC7, .IdOpcode = 0xAB, .MaskLo = 0xFF0000u},
        {.Name = "2: DIP8", .Vcc = 24, .Gnd = 20, .EraseOpcode = 0x62, .MaskLo = 0xFF0000u},
        {.Name = "2: DIP14", .Vcc = 24, .Gnd = 20},
    };
}

std::string TActrans25x::KeyError() const {
    const std::string e = Spi25Form::KeyError();
    if (!e.empty()) return e;
    const int era = wb.sel.GetParam("era=");
    if (era < 0) return KeyText("era=", era) + " (ms)";
    return {};
}

std::uint8_t TActrans25x::StatusWait() const { return OpWait100ms; }

void TActrans25x::EraseClick() {
    const Row& r = Selected();
    if (!SpiPowerUp()) return;
    Status("Erasing");
    WriteEnable();
    Select();
    SpiShiftOut(r.EraseOpcode);
    Release();
    for (int i = 0; i < Era / 100 + 1; ++i) {
        Ep3.UsbPut1(OpWait100ms);
        Ep3.UsbFlush();
    }
    Ep3.VccPin(0);
    Success("OK");
}

void TActrans25x::BlankClick() {
    const Row& r = Selected();
    Status("Blank CHK");
    const bool blank = ReadPass(r, [this](int) {
        for (int j = 0; j < 64; ++j)
            if (Ep3.UsbReplyBuf[static_cast<std::size_t>(j)] != 0xFF) {
                Release();
                Ep3.VccPin(0);
                Status("No empty.");
                StepFailed();
                return false;
            }
        return true;
    });
    if (!blank) return;
    Release();
    Progress(Size);
    Ep3.VccPin(0);
    Success("OK");
}

void TActrans25x::Button5Click() {
    const Row& r = Selected();
    if (!SpiPowerUp()) return;
    Select();
    SpiShiftOut(r.IdOpcode);
    for (int i = 0; i < 3; ++i) SpiShiftOut(0x00);
    for (int i = 0; i < 4; ++i) SpiShiftIn();
    Ep3.UsbReadReply();
    Release();
    Ep3.VccPin(0);
    const auto& b = Ep3.UsbReplyBuf;
    Status("ID=" + Hex2(b[0]) + "," + Hex2(b[1]) + "," + Hex2(b[2]) + "," + Hex2(b[3]));
}

void TActrans25x::Button1Click() {
    RowIndex();
    RunOnePass({{"CheckBox6", [this] { EraseClick(); }},
                {"CheckBox7", [this] { BlankClick(); }},
                {"CheckBox5", [this] { Button4Click(); }},
                {"CheckBoxWrite", [this] { WriteClick(); }},
                {"CheckBoxVer", [this] { VerifyClick(); }}});
}

// ---- TAt25spi1 -------------------------------------------------------------------------------------------

TAt25spi1::TAt25spi1(Workbench& w) : Spi25Form(w, "At25spi1", 2) {
    DeclareControls(WindowAt25(), this, {{"Button1", &TAt25spi1::Button1Click}});
    BindHandlers<Spi25Form>(this, StatusHandlers());
    BindHandlers<SerialForm>(this, Operations());
    FillVariantTable();
}

void TAt25spi1::FillVariantTable() {
    Table = {
        {.Name = "Exit"},
        {.Name = "1: DIP8", .Vcc = 24, .Gnd = 20, .MaskLo = 0xFF0000u},
        {.Name = "2: DIP14", .Vcc = 24, .Gnd = 20},
    };
}

std::uint8_t TAt25spi1::StatusWait() const { return OpWaitSettle; }

void TAt25spi1::Button1Click() {
    RowIndex();
    RunOnePass({{"CheckBox5", [this] { Button4Click(); }},
                {"CheckBoxWrite", [this] { WriteClick(); }},
                {"CheckBoxVer", [this] { VerifyClick(); }}});
}

QUILLA_FORM(TActrans25x);
QUILLA_FORM(TAt25spi1);

}  // namespace quilla
