#include "algo/mcs51/p89lpc9.h"

#include <algorithm>
#include <cctype>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int kBlock64 = 64;
constexpr int kPolls = 20;
constexpr const char* kGrid = "StringGrid1";

// Each row's VCC and ground pins and contact masks (rows 3 and 4 have none).
struct IcpRow {
    int Vcc = 0, Gnd = 0;
    std::uint32_t MaskLo = 0, MaskHi = 0;
};
const IcpRow kRows[] = {{},
                        {.Vcc = 30, .Gnd = 10, .MaskLo = 0xFF81FFF8u, .MaskHi = 0x1Fu},
                        {.Vcc = 30, .Gnd = 10, .MaskLo = 0xFE007FE0u, .MaskHi = 0x07u},
                        {},
                        {}};

// The UCFG1 boxes CheckBox1..8, bit 0 first; the first three ticked at start.
const win::Face kBoxes[] = {{"CheckBox1", "FOSC0"}, {"CheckBox2", "FOSC1"}, {"CheckBox3", "FOSC2"},
                            {"CheckBox4", "-"},     {"CheckBox5", "WDSE"},  {"CheckBox6", "BOE"},
                            {"CheckBox7", "RPE"},   {"CheckBox8", "WDTE"}};
const char* const kCells[] = {"Vector", "Status", "SEC0", "SEC1", "SEC2", "SEC3", "SEC4", "SEC5", "SEC6", "SEC7"};
// The configuration addresses the cells are written to: the boot vector and
// the status byte sit at 2 and 3 (1 is reserved), SEC0-7 at 8-15.
constexpr int kCellAddress[] = {2, 3, 8, 9, 10, 11, 12, 13, 14, 15};

using F = Lpc9xxForm;
const Handlers<F> kBatch{{"CheckEra", &F::EraseClick}, {"CheckWri", &F::WriteClick}, {"CheckCon", &F::ConfigClick}};

// The window: the first form places Read, Blank? and Vrfy outside its client
// area (hidden); the second shows them and Put232.
ControlRows Window(bool serial) {
    using namespace win;
    const auto side = [serial](ControlRow c) { return serial ? c : Hidden(c); };
    ControlRows rows = Join({StatusRows51(),
                             {side(PushButton({"Read1", "Read  "})), side(PushButton({"Blank", "Blank?  "})),
                              side(PushButton({"Verify", "Vrfy"})), If(serial, PushButton({"Button2", "Put232"})),
                              PushButton({"Erase", "Erase"}), PushButton({"Write", "Write."}),
                              PushButton({"Config", "Wr.CFG"}), PushButton({"ReadConfig", "Rd.CFG"}),
                              PushButton({"ID", " ID "}), Hidden(PushButton({"Button3", "R.CRC"})),
                              Group({"GroupBox2", "CFG "}), Label({"Label1", "UCFG1(打勾编程为1):"}, "GroupBox2")}});
    for (int i = 0; i < 8; ++i) rows.push_back(Box(kBoxes[i], i < 3, "GroupBox2"));
    return Join({rows,
                 {Label({"Label2", "复位和Lock(HEX):"}, "GroupBox2"),
                  Grid({kGrid, ""}, {std::begin(kCells), std::end(kCells)},
                       {"00", "00", "07", "07", "07", "07", "07", "07", "07", "07"}, "GroupBox2")},
                 BatchRows51({{"CheckEra", "Ers."}, {"CheckWri", "Write."}, {"CheckCon", "Wr.CFG"}})});
}

}  // namespace

Lpc9xxForm::Lpc9xxForm(Workbench& w, Variant v)
    : Mcs51Form(w, v == Variant::Lpc932 ? "Philip P89LPC93x/92x" : "Philip P89LPC SPI", {}), variant_(v) {
    DeclareControls(Window(v == Variant::Spi), this,
                    Handlers51<F>({{"Button2", &F::Button2Click},
                                   {"Config", &F::ConfigClick},
                                   {"ReadConfig", &F::ReadConfigClick},
                                   {"Button3", &F::Button3Click}}));
    FillVariantTable();
    // DIP8 parts (row 4) of a later revision read F8 or FE as the ID's last byte.
    IdAlsoAccepted51 = [this] {
        const auto& r = LastReadId();
        const auto& s = ExpectedId();
        return wb.sel.VariantIndex == 4 && r[0] == s[0] && r[1] == s[1] && (r[2] == 0xF8 || r[2] == 0xFE);
    };
}

void Lpc9xxForm::FillVariantTable() {
    Table = {{"Exit", 0}, {"1: DIP28", 0}, {"2: DIP20", 0}, {"3: DIP14", 0}, {"4: DIP8", 0}};
}

std::string Lpc9xxForm::DeviceLineError() const {
    if (std::string e = Mcs51Form::DeviceLineError(); !e.empty()) return e;
    const Selection& s = wb.sel;
    const int v = s.VariantIndex;
    if (kRows[v].Vcc == 0) return "Bad device line: row " + std::to_string(v) + " has no supply pins";
    struct Limit { const char* Key; int Lo, Hi; const char* Range; };
    const Limit limits[] = {{.Key = "sec=", .Lo = 1, .Hi = 0x10000, .Range = "page length 1 to 65536"},
                            {.Key = "len=", .Lo = 1, .Hi = 0x10000, .Range = "1 to 65536 bytes"},
                            {.Key = "vcc=", .Lo = 2400, .Hi = 3600, .Range = "2400 to 3600 mV"}};
    for (const Limit& l : limits)
        if (const int n = s.GetParam(l.Key); n < l.Lo || n > l.Hi)
            return "Bad device line: " + std::string(l.Key) + std::to_string(n) + " (" + l.Range + ")";
    return {};
}

void Lpc9xxForm::SetupForDevice() {
    ready_ = false;
    FillVariantTable();
    if (const std::string e = DeviceLineError(); !e.empty()) {
        // Nothing is sent for a line the form cannot serve.
        Status(e);
        wb.prompts.ShowMsg(e);
        return;
    }
    const int v = wb.sel.VariantIndex;
    if (variant_ == Variant::Lpc932) {
        Ep3.LoadBitFile("p89lpc932.bit");
        Ep3.ShowPlacementDiagram(v == 1 ? 4 : 6, v == 1 ? 28 : 20, 0, 0);
    } else {
        Ep3.LoadBitFile("rs232phi92x.bit");
        Ep3.WriteReg(19, 0xDF);
        Ep3.WriteReg(16, 0xFF);
        Ep3.ControlLineLow(3);
        Ep3.ControlLineHigh(3);
        Ep3.UsbFlush();
        Ep3.ShowPlacementBitmap(v == 1 ? "p89lpc93x.bmp" : "87lpc762.bmp");
    }
    SetupShow();
    IcpPageLength = wb.sel.GetParam("sec=");
    RowSize = wb.sel.GetParam("len=");
    Table[static_cast<std::size_t>(v)].LastAddress = RowSize;
    RowGndPin = kRows[v].Gnd;
    RowVccPin = kRows[v].Vcc;
    ShowRowRange(Table[static_cast<std::size_t>(v)]);
    Ep3.SetVpp(0);
    Ep3.VppPin(0);
    Ep3.GndPin(RowGndPin);
    Ep3.SetVcc(wb.sel.GetParam("vcc="));
    ready_ = true;
}

void Lpc9xxForm::RowReady() {
    Row();
    if (ready_) return;
    const std::string e = DeviceLineError();
    Refuse(e.empty() ? std::string("Comm Err.") : e);
}

bool Lpc9xxForm::ContactReady() {
    RowReady();
    const IcpRow& k = kRows[wb.sel.VariantIndex];
    return Ep3.CheckPinContact(RowGndPin, 0, k.MaskLo, k.MaskHi, 0) != 0;
}

// ---- the register routines ---------------------------------------------------------------

bool Lpc9xxForm::IcpWaitReady() {
    for (int i = 0; i < kPolls; ++i) {
        IcpReadByte();
        Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
        if ((Ep3.UsbReplyBuf[0] & 0x80) == 0) return true;
    }
    return false;
}

void Lpc9xxForm::IcpSetAddress(std::int32_t addr) {
    Line(1, false);
    WriteReg(0, static_cast<std::uint8_t>(addr & 0xFF));
    WriteReg(1, static_cast<std::uint8_t>((addr >> 8) & 0xFF));
}

void Lpc9xxForm::ConfigAccess(std::uint8_t addr) {
    IcpEnter();
    Line(1, false);
    WriteReg(3, 0x6C);
    WriteReg(0, addr);
}

bool Lpc9xxForm::IcpWriteConfig(int addr, std::uint8_t value) {
    ConfigAccess(static_cast<std::uint8_t>(addr));
    WriteReg(2, value);
    Line(1, true);
    IcpSelectRegister(3);
    return IcpWaitReady();
}

// VCC switched on with the entry line low, then its pulses (the P89LPC932 also
// holds line 3 low and line 1 high).
void Lpc9xxForm::IcpEnter() {
    const bool lpc932 = variant_ == Variant::Lpc932;
    const int entry = lpc932 ? 2 : 4;
    Ep3.VccPin(0);
    Line(entry, false);
    if (lpc932) Line(3, false), Line(1, true);
    Ep3.VccPin(RowVccPin);
    Put1(OpWaitPulse);
    for (int i = 0; i < (lpc932 ? 5 : 3); ++i) Line(entry, true), Line(entry, false);
    Line(entry, true);
    Put1(OpWaitPulse);
    Flush();
}

void Lpc9xxForm::ShowReply(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += Hex2(Ep3.UsbReplyBuf[static_cast<std::size_t>(i)]) + ",";
    Status(text);
}

int Lpc9xxForm::HexByteParse(const std::string& text) {
    int v = 0, digits = 0;
    for (char c : text) {
        if (digits == 2 || !std::isxdigit(static_cast<unsigned char>(c))) break;
        v = v * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10));
        ++digits;
    }
    return digits == 0 ? -1 : (v & 0xFF);
}

// A chip that stays busy: the operation fails (supply off).
void Lpc9xxForm::Busy() {
    Ep3.VccPin(0);
    Status("Busy! Failed.");
    wb.ErrorFlag() = 1;
    StepFailed();
}

// ---- the ID -------------------------------------------------------------------------------

void Lpc9xxForm::ReadConfigBytes() {
    ConfigAccess(0x00);
    Line(1, true);
    IcpSelectRegister(2);
    Captures(19);
    Flush();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    Ep3.VccPin(0);
}

void Lpc9xxForm::ReadConfigClick() {
    RowReady();
    ReadConfigBytes();
    ShowReply(19);
}

void Lpc9xxForm::IDClick() {
    RowReady();
    ReadConfigBytes();
    auto& r = LastReadId();
    std::copy_n(Ep3.UsbReplyBuf.begin() + 16, 3, r.begin());
    Ep3.VccPin(0);
    Status(FormatText("ID: %02x,%02x,%02x", r[0], r[1], r[2]));
}

// Three bytes compared; FF first asks about an empty socket ("No" leaves
// ErrorFlag as it is).
int Lpc9xxForm::CheckDeviceId() {
    return CheckDeviceIdWith({.Bytes = 3, .ClearsErrorFlag = false, .LockedFirst = false,
                              .LockedQuestion = "空插座，\n继续吗?"},
                             [this] { IDClick(); });
}

// ---- the operations ------------------------------------------------------------------------

bool Lpc9xxForm::Begin(const char* text) {
    Status(text);
    IcpEnter();
    return Ep3.CheckCurrent() != 0;
}

void Lpc9xxForm::Done(const char* text) {
    Ep3.VccPin(0);
    ShowProgress(RowSize);
    Success(text);
}

// The last block of a row that ends inside it fills the image past the row.
bool Lpc9xxForm::ReadBlocks(bool intoImage, const GroupCheck51& check) {
    const std::int32_t end = EndAddr();
    IcpSetAddress(0);
    return Groups51(std::min(RowSize, end + 1), intoImage, [this](std::int32_t) {
        Command(0x80);
        IcpSelectRegister(2);
        for (int i = 0; i < kBlock64; ++i) IcpReadByte();
        Flush();
    }, check);
}

void Lpc9xxForm::ReadRom() {
    if (!ContactReady() || !Begin("Read.")) return;
    ReadBlocks(true);
    Done("OK");
    wb.Display();
    AlgoForm::Show();
}

void Lpc9xxForm::CheckClick(bool verify) {
    if (!ContactReady() || !Begin(verify ? "Verify." : "Blank CHK")) return;
    const bool good = ReadBlocks(false, [&](std::int32_t a, const std::uint8_t* b) {
        const auto set = std::find_if(b, b + kBlock64, [](std::uint8_t x) { return x != 0x00; });
        const int j = verify ? CompareBlock64(a, b) : (set == b + kBlock64 ? -1 : static_cast<int>(set - b));
        if (j < 0) return true;
        Ep3.VccPin(0);
        if (!verify) Status("No!!!");
        wb.ErrorFlag() = 1;
        ShowProgress(a + j);
        return false;
    });
    if (!good) return;
    wb.ErrorFlag() = 0;
    Done(verify ? "OK" : "Blank OK");
}

void Lpc9xxForm::EraseClick() {
    if (!ContactReady() || !CheckDeviceId() || !Begin("Erasing")) return;
    Command(0x72);
    if (!IcpWaitReady()) return Busy();
    Line(1, true);
    Ep3.VccPin(0);
    Success("END");
}

void Lpc9xxForm::WriteClick() {
    if (!ContactReady() || !CheckDeviceId()) return;
    if (!wb.FileWin) {
        Status("No buffer window.");
        StepFailed();
        return;
    }
    if (!Begin("Write")) return;
    std::int32_t source = 0;
    for (std::int32_t addr = 0; addr < RowSize; addr += IcpPageLength) {
        ShowProgress(addr);
        Line(1, false);
        WriteReg(3, 0x00);
        WriteReg(0, 0x00);
        IcpSelectRegister(2);
        for (int i = 0; i < IcpPageLength; ++i) {
            IcpWriteData(*Image(source++));
            Clock3(), Clock3(), Clock3();
        }
        IcpSetAddress(addr);
        Line(1, false);
        WriteReg(3, 0x48);
        Line(1, true);
        Flush();
        if (!IcpWaitReady()) return Busy();
    }
    Done("OK");
}

void Lpc9xxForm::ConfigClick() {
    RowReady();
    Status("Wrt. CFG.");
    // Every cell is read before anything is sent: a cell without a hexadecimal
    // digit refuses the whole write.
    const auto& cells = Get(kGrid).Items;
    std::uint8_t values[10];
    for (int k = 0; k < 10; ++k) {
        const int v = HexByteParse(cells[static_cast<std::size_t>(k)]);
        if (v < 0) Refuse(std::string(kCells[k]) + ": not a hexadecimal byte");
        values[k] = static_cast<std::uint8_t>(v);
    }
    if (!CheckDeviceId()) return;
    std::uint8_t ucfg1 = 0;
    for (int i = 0; i < 8; ++i)
        if (Checked(kBoxes[i].Name)) ucfg1 = static_cast<std::uint8_t>(ucfg1 | (1u << i));
    if (!IcpWriteConfig(0, ucfg1)) return Busy();
    for (int k = 0; k < 10; ++k)
        if (!IcpWriteConfig(kCellAddress[k], values[k])) return Busy();
    Ep3.VccPin(0);
    Success("OK");
}

void Lpc9xxForm::Button3Click() {
    RowReady();
    IcpEnter();
    Line(1, false);
    WriteReg(3, 0x1A);
    Line(1, true);
    if (!IcpWaitReady()) return Busy();
    IcpSelectRegister(2);
    Captures(4);
    IcpSelectRegister(3);
    Put1(OpCapturePort1);
    Clock3();
    Flush();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    Ep3.VccPin(0);
    ShowReply(4);
}

void Lpc9xxForm::Button1Click() {
    RowReady();
    RunBatch51(BatchSteps(this, kBatch), false);
}

void Lpc9xxForm::SerialTestByte(std::uint8_t b) {
    Ep3.WriteReg(16, b);
    Ep3.ControlLineLow(3);
    Put1(OpWaitPulse);
    Ep3.ControlLineHigh(3);
    Put1(OpWait1ms);
}

void Lpc9xxForm::Button2Click() {
    RowReady();
    IcpEnter();
    SerialTestByte(0x55);
    Put1(OpWait100ms);
    for (char c : std::string(":0000000100")) SerialTestByte(static_cast<std::uint8_t>(c));
    Put1(OpWait100ms);
    Put1(OpCapturePort0);
    Flush();
    Ep3.UsbReadReply(Ep3.UsbReplyBuf.data());
    Status(Hex2(Ep3.UsbReplyBuf[0]));
}

QUILLA_FORM(TP89lpc932);
QUILLA_FORM(TP89lpc9xxSPI);

}  // namespace quilla
