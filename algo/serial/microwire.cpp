#include "algo/serial/microwire.h"

#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

const char* FormCaption(MicrowireForm::Kind k) {
    switch (k) {
        case MicrowireForm::Kind::P93: return "P93c x 8 ";
        case MicrowireForm::Kind::P93X16: return "P93c x 16 ";
        case MicrowireForm::Kind::P93C310: return "P93c x 8 ";
        case MicrowireForm::Kind::P93C310X16: return "P93  16bit";
    }
    return "";
}

const char* VerifyCaption(MicrowireForm::Kind k) {
    switch (k) {
        case MicrowireForm::Kind::P93: return "Vrfy";
        case MicrowireForm::Kind::P93C310X16: return "Verf";
        default: return "Verify";
    }
}

// A row's pins on the FPGA models (DIP8 on 17-24) or on the vex310's (15-18, 23-26).
void Wire(MicrowireForm::Row& r, bool vex310) {
    if (vex310) {
        r.Cs = 15, r.Sk = 16, r.Di = 17, r.Do = 18, r.Gnd = 23, r.Org = 24, r.Pin7 = 25, r.Vcc = 26;
    } else {
        r.Cs = 17, r.Sk = 18, r.Di = 19, r.Do = 20, r.Gnd = 21, r.Org = 22, r.Pin7 = 23, r.Vcc = 24;
    }
}

ControlRows Window(MicrowireForm::Kind k) {
    using namespace win;
    using K = MicrowireForm::Kind;
    const bool vex310 = k == K::P93C310 || k == K::P93C310X16;
    return Join({{PushButton({"Read1", "Read  "}), PushButton({"Write", "Write "}),
                  PushButton({"Verify", VerifyCaption(k)}), PushButton({"Erase", "Erase"}),
                  PushButton({"Blank", "Blank?"}), SerialForm::Speed("Speed     ", k == K::P93C310X16 ? 3 : 2),
                  If(!vex310, Radio({"RadioGroup1", "Voltage"}, {"5V", "3.3V", "2.5V"}, 0)),
                  If(vex310, Label({"Label1", "location:"}))},
                 SerialForm::Batch({Box({"CheckBox1", "Erase "}, true), Box({"CheckBox2", "Blank?"}, true),
                                    Box({"CheckBox3", "W."}, true), Box({"CheckBox4", "Vrfy"}, true)}),
                 SerialForm::StatusFields()});
}

}  // namespace

MicrowireForm::MicrowireForm(Workbench& w, Kind kind) : SerialForm(w, FormCaption(kind)), kind_(kind) {
    using F = MicrowireForm;
    DeclareControls(Window(kind), this,
                    {{"Erase", &F::EraseClick},
                     {"Blank", &F::BlankClick},
                     {"RadioGroup1", &F::RadioGroup1Click},
                     {"Button1", &F::Button1Click}});
    BindHandlers<SerialForm>(this, Operations());
    FillVariantTable();
}

void MicrowireForm::FillVariantTable() {
    if (TwoBytesPerWord()) {
        // The x16 93C76 takes 10 address bits (a don't-care bit, then A8..A0).
        const bool p93x16 = kind_ == Kind::P93X16;
        Table = {
            {.Name = "Exit"},
            {.Name = "1: 93c46    64x16", .AddressBits = 6, .DataWidth = 16, .LastAddress = 127},
            {.Name = p93x16 ? "2: 93c56  128x16" : "2: 93c56/7  128x16", .AddressBits = 8, .DataWidth = 16,
             .LastAddress = 255},
            {.Name = "3: 93c66    256x16", .AddressBits = 8, .DataWidth = 16, .LastAddress = 511},
            {.Name = p93x16 ? "4: 93c76   1Kx16" : "4: 93c76    512x16", .AddressBits = 10, .DataWidth = 16,
             .LastAddress = 1023},
            {.Name = p93x16 ? "5: 93c86   1Kx16" : "5: 93c86    1Kx16", .AddressBits = 10, .DataWidth = 16,
             .LastAddress = 2047},
        };
    } else {
        Table = {
            {.Name = "Exit"},
            {.Name = "1: 93c46    128x8", .AddressBits = 7, .DataWidth = 8, .LastAddress = 127},
            {.Name = "2: 93c56  256x8", .AddressBits = 9, .DataWidth = 8, .LastAddress = 255},
            {.Name = "3: 93c66    512x8", .AddressBits = 9, .DataWidth = 8, .LastAddress = 511},
            {.Name = "4: 93c46    64x16", .AddressBits = 6, .DataWidth = 16, .LastAddress = 63},
            {.Name = "5: 93c56  128x16", .AddressBits = 8, .DataWidth = 16, .LastAddress = 127},
            {.Name = "6: 93c66    256x16", .AddressBits = 8, .DataWidth = 16, .LastAddress = 255},
            {.Name = "7: 93c57  256x8", .AddressBits = 8, .DataWidth = 8, .LastAddress = 255},
            {.Name = "8: 93c86   2Kx8", .AddressBits = 11, .DataWidth = 8, .LastAddress = 2047},
            {.Name = "9: 93c86   1Kx16", .AddressBits = 10, .DataWidth = 16, .LastAddress = 1023},
        };
    }
    for (std::size_t i = 1; i < Table.size(); ++i) Wire(Table[i], OnVex310());
}

const MicrowireForm::Row& MicrowireForm::Selected() { return Table[static_cast<std::size_t>(RowIndex())]; }

// ---- setup --------------------------------------------------------------------------------

void MicrowireForm::SetupForDevice() {
    if (!CheckDeviceLine()) return;
    const Row& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    Ep3.ResetPins();
    if (!OnVex310()) {
        // The level of the Voltage item shown.
        Ep3.SetVcc(VoltageMv(ItemIndex("RadioGroup1")));
        Ep3.LoadBitFile("p93cxxx.bit");
    }
    if (kind_ == Kind::P93C310X16) {
        const auto colon = r.Name.find(": ");
        Put(kType, colon == std::string::npos ? r.Name : r.Name.substr(colon + 2));
    }
    ShowConnection();
    wb.FileNew();
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    if (kind_ == Kind::P93C310X16) {
        Ep3.SetVcc(5000);  // the chip's level; the form would otherwise run at whatever was set last
        return;
    }
    wb.Display();
    Put(kType, wb.sel.SelectedDevice);
    if (kind_ == Kind::P93C310) {
        Ep3.SetVpp(0);
        Ep3.SetVcc(5000);
    }
}

// ---- the Microwire layer ---------------------------------------------------------------------

void MicrowireForm::MwShiftOut(unsigned value, int n) {
    const Row& r = Selected();
    for (int b = n - 1; b >= 0; --b) {
        Ep3.SetPin((value >> b) & 1u, r.Di);
        Ep3.PinHigh(r.Sk);
        Ep3.PinLow(r.Sk);
    }
}

void MicrowireForm::MwSendCommand(unsigned code) {
    const Row& r = Selected();
    Ep3.PinHigh(r.Cs);
    MwShiftOut(0x10u | code, 5);
    MwShiftOut(0, r.AddressBits - 2);
    Ep3.PinLow(r.Cs);
}

void MicrowireForm::MwPowerUp() {
    const Row& r = Selected();
    Ep3.VppPin(0);
    Ep3.SetAllPins(1);
    Ep3.SetPinOption(r.Di, 0);
    Ep3.SetPinOption(r.Do, 1);  // DO: the chip drives it
    Ep3.PinHigh(r.Pin7);
    Ep3.PinLow(r.Sk);
    Ep3.PinLow(r.Cs);
    Ep3.GndPin(r.Gnd);
    Ep3.VccPin(r.Vcc);
    Ep3.SetPin(r.DataWidth == 16, r.Org);
    Ep3.UsbFlush();
}

void MicrowireForm::Select() {
    const Row& r = Selected();
    if (kind_ == Kind::P93C310X16) Ep3.PinHigh(r.Org);
    Ep3.PinHigh(r.Cs);
}

void MicrowireForm::Capture() { Ep3.UsbPut1(OnVex310() ? OpCaptureData : OpCapturePort0); }

unsigned MicrowireForm::Sampled(int index) const {
    const unsigned b = Ep3.UsbReplyBuf[static_cast<std::size_t>(index)];
    return OnVex310() ? (b >> 1) & 1u : b & 1u;
}

// A READ whose DO samples land in the reply: the dummy bit's (when asked) and
// the word's bits, most significant first.
void MicrowireForm::ReadSamples(int address, bool dummy) {
    const Row& r = Selected();
    Select();
    MwSendOpcode(6);
    MwShiftOut(static_cast<unsigned>(address), r.AddressBits);
    if (dummy) Capture();
    for (int k = 0; k < r.DataWidth; ++k) {
        Ep3.PinHigh(r.Sk);
        Ep3.PinLow(r.Sk);
        Capture();
    }
    Ep3.PinLow(r.Cs);
    Ep3.UsbReadReply();
}

unsigned MicrowireForm::MwReadWord(int address) {
    ReadSamples(address, false);
    unsigned w = 0;
    for (int k = 0; k < Selected().DataWidth; ++k) w = (w << 1) | Sampled(k);
    return w;
}

void MicrowireForm::MwWriteWord(int address, unsigned data) {
    const Row& r = Selected();
    Select();
    MwSendOpcode(5);
    MwShiftOut(static_cast<unsigned>(address), r.AddressBits);
    MwShiftOut(data, r.DataWidth);
    Ep3.PinLow(r.Cs);
    QueueWaits(OpWait1ms, SpeedWaits());
}

// A READ of word 0: a chip drives DO low for the dummy bit after the address
// (a row with an address bit too few shows it among the data bits); with no
// chip DO stays high on the pull-up.
bool MicrowireForm::ChipAnswers() {
    ReadSamples(0, true);
    for (int k = 0; k <= Selected().DataWidth; ++k)
        if (Sampled(k) == 0) return true;
    return false;
}

bool MicrowireForm::PowerUp(bool checkCurrent) {
    MwPowerUp();
    if (checkCurrent && Ep3.CheckCurrent() == 0) return false;
    if (!ChipAnswers()) {
        SuppliesOff();
        RequirePresence(false);
    }
    return true;
}

void MicrowireForm::SuppliesOff() {
    Ep3.VccPin(0);
    if (kind_ == Kind::P93C310) Ep3.VppPin(0);
}

unsigned MicrowireForm::ImageWord(int i) {
    return TwoBytesPerWord() ? static_cast<unsigned>(*Image(i) | (*Image(i + 1) << 8)) : *Image(i);
}

void MicrowireForm::StoreWord(int i, unsigned w) {
    *Image(i) = static_cast<std::uint8_t>(w);
    if (TwoBytesPerWord()) *Image(i + 1) = static_cast<std::uint8_t>(w >> 8);
}

// ---- operations -------------------------------------------------------------------------------

void MicrowireForm::ReadRom() {
    const Row& r = Selected();
    if (!PowerUp(kind_ != Kind::P93C310X16)) return;
    Status("Reading..");
    for (int i = 0; i <= r.LastAddress; i += Step()) {
        if (kind_ != Kind::P93C310X16 || i % 16 == 0) Progress(i);
        StoreWord(i, Kept(MwReadWord(i / Step())));
    }
    Progress(r.LastAddress);
    SuppliesOff();
    wb.Display();
    Success(kind_ == Kind::P93X16 ? "OK" : "Data in buffer..");
}

void MicrowireForm::VerifyClick() {
    Selected();
    if ((kind_ == Kind::P93 || kind_ == Kind::P93C310) && !wb.FileWin) RefuseWithMessage("Must open a file first....");
    Status("Verify.");
    if (!PowerUp(kind_ != Kind::P93C310X16)) return;
    const int bad = FirstDifference([this](int i) { return ImageWord(i); });
    if (bad >= 0) {
        Status(kind_ == Kind::P93C310X16 ? "Failed!!!!" : "Failed..! ");
        Progress(bad);
        wb.ErrorFlag() = 1;
        SuppliesOff();
        return;
    }
    wb.ErrorFlag() = 0;
    Succeed("Verified!", "OK!");
}

void MicrowireForm::WriteClick() {
    const Row& r = Selected();
    if (kind_ != Kind::P93C310X16 && !wb.FileWin) RefuseWithMessage("Must open a file to write...");
    Status("Writing..");
    if (!PowerUp(kind_ != Kind::P93C310X16)) return;
    MwEraseWriteEnable();
    for (int i = 0; i <= r.LastAddress; i += Step()) {
        Progress(i);
        MwWriteWord(i / Step(), ImageWord(i));
        Ep3.UsbFlush();  // one transfer per word
    }
    MwEraseWriteDisable();
    if (kind_ == Kind::P93C310X16) wb.ErrorFlag() = 0;
    Succeed("Done", "OK");
}

void MicrowireForm::EraseClick() {
    Selected();
    Status("Erasing");
    if (!PowerUp(true)) return;
    MwEraseWriteEnable();
    MwSendCommand(2);  // ERAL
    MwEraseWriteDisable();
    QueueWaits(OpWait100ms, 3);
    SuppliesOff();
    Success("OK");
}

void MicrowireForm::BlankClick() {
    Selected();
    Status("Blank CHK");
    if (!PowerUp(kind_ != Kind::P93C310X16)) return;
    if (FirstDifference([this](int) { return BlankValue(); }) >= 0) {
        // VCC stays on (the x16 vex310 form excepted); a batch pass ends here.
        Status("No empty.");
        StepFailed();
        if (OnVex310()) wb.ErrorFlag() = 1;
        if (kind_ == Kind::P93C310X16) Ep3.VccPin(0);
        return;
    }
    if (OnVex310()) wb.ErrorFlag() = 0;
    Succeed("Blank", "OK");
}

// The first buffer offset whose word, as read, differs from want(offset); -1 when none.
int MicrowireForm::FirstDifference(const std::function<unsigned(int)>& want) {
    const Row& r = Selected();
    for (int i = 0; i <= r.LastAddress; i += Step()) {
        if (kind_ != Kind::P93C310X16 || i % 32 == 0) Progress(i);
        if (Kept(MwReadWord(i / Step())) != want(i)) return i;
    }
    return -1;
}

void MicrowireForm::Succeed(const char* text, const char* wordFormText) {
    if (kind_ == Kind::P93C310X16) {
        SuppliesOff();
        Success(wordFormText);
        return;
    }
    Success(text);
    Progress(Selected().LastAddress);
    SuppliesOff();
}

void MicrowireForm::Button1Click() {
    Selected();
    if (kind_ == Kind::P93X16 && Ticked("CheckBox3") && !wb.FileWin) {
        wb.prompts.ShowMessage("Must open a file to write...");
        StepFailed();
        return;
    }
    RunOnePass({{"CheckBox1", [this] { EraseClick(); }},
                {"CheckBox2", [this] { BlankClick(); }},
                {"CheckBox3", [this] { WriteClick(); }},
                {"CheckBox4", [this] { VerifyClick(); }}});
}

QUILLA_FORM(TP93cxx);
QUILLA_FORM(TP93x16);
QUILLA_FORM(TP93cxx310);
QUILLA_FORM(TP93x16x310x);

}  // namespace quilla
