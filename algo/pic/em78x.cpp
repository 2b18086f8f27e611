// EMC78P153 and EMC78P458: the grid forms of the EM78 OTP family.
#include <cstdio>
#include <cstdlib>

#include "algo/common/c48.h"
#include "algo/common/scan.h"
#include "algo/pic/em78.h"
#include "algo/pic/em78_layer.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

const std::vector<std::string> kRows153 = {"RCM0", "RCM1", "C0",       "C1",   "C2",   "RCOUT", "TYPE",   "SUT0",
                                           "SUT1", "CS(Lock)", "OCS2", "OCS1", "CLK",  "/ENWDT", "RESET", "-"};

std::vector<std::string> Rows458() {
    std::vector<std::string> r = {"ID0", "ID1", "ID2", "ID3", "ID4", "ID5", "HLP", "RCT", "HLF", "PTB(Lock)",
                                  "CLKS", "ENWDTB", "MS"};
    for (int k = 13; k <= 20; ++k) r.push_back("-");
    for (const char* n : {"VOF10", "VOF11", "VOF12", "SIGN1", "VOF20", "VOF21", "VOF22", "SIGN2"}) r.push_back(n);
    for (int k = 29; k <= 31; ++k) r.push_back("-");
    return r;
}

}  // namespace

TEm78p153x::TEm78p153x(Workbench& w, bool p458)
    : Em78Form(w, p458 ? "EMC78P458" : "EMC78P153"), p458_(p458), rows_(p458 ? 32 : 16) {
    using namespace picwin;
    using namespace win;
    using F = TEm78p153x;
    DeclareControls(Join({{PushButton(kBlank), PushButton(kVerify), PushButton(kRead), PushButton(kWrite),
                           PushButton(kReadCfg), PushButton(kWrtCfg)},
                          Batch({{kBlankBox}, {kWriteBox}, {kVerifyBox, false}, {kWrtCfgBox}}, kRun2),
                          {Label({"Label1", "CFG ："}),
                           Grid({"StringGrid1"}, p458 ? Rows458() : kRows153,
                                std::vector<std::string>(static_cast<std::size_t>(rows_), "1")),
                           Label({"Label2", "ID"}), Edit({"Edit1"}, ""), AddressField("Add ", true), StatusField(""),
                           ProgressBar()}}),
                    this, {{"StringGrid1", &F::StringGrid1Click}, {kRun2.Name, &F::Button2Click}});
    BindHandlers(this, OneTimeClicks<F>());
    FillVariantTable();
}

TEm78p458x::TEm78p458x(Workbench& w) : TEm78p153x(w, true) {
    // The grid from the ".c48" file: a byte's decimal text; a byte the file
    // lacks stays "1" (the erased state), never a programmed bit.
    if (const auto s = ReadC48(SideFile(C48Extension), C48Em78p458x)) {
        for (int i = 0; i < rows_ && i < static_cast<int>(s->size()); ++i)
            if (const auto& b = (*s)[static_cast<std::size_t>(i)]) PutCell("StringGrid1", i, std::to_string(*b));
    }
}

void TEm78p153x::FillVariantTable() {
    if (p458_) {
        Em78Row p458{.Name = "1:EM78P458 (1Kx13)", .VppPin = 22, .VccPin = 26, .GndPin = 15, .ProgramLast = 8191,
                     .ContactLo = 0x3FFFFC00};
        Em78Row p459 = p458;
        p459.Name = "1:EM78P459 (1Kx13)";
        Table = {{.Name = "Exit"}, p458, p459};
        return;
    }
    Table = {{.Name = "Exit"},
             {.Name = "1:EM78P153 (512x13)", .VppPin = 14, .VccPin = 11, .GndPin = 30, .ProgramLast = 1023,
              .ContactLo = 0xFC003F80, .ContactHi = 0x1}};
}

void TEm78p153x::SetupForDevice() {
    FillVariantTable();
    if (!SetupBegin()) return;
    Ep3.LoadBitFile(p458_ ? "em78p458.bit" : "em78p153.bit");
    if (!p458_) Ep3.ShowPlacementBitmap("em78p153.bmp");
    ShowNewImage(row_.ProgramLast);
    ControlsToConfig();
    Ep3.SetVcc(4400);
    Ep3.SetVpp(12000);
    Ep3.GndPin(row_.GndPin);
}

void TEm78p153x::OnClose() {
    Shutdown();
    if (!p458_) {
        WriteEmcFile(SideFile(".EMC"), static_cast<std::uint16_t>(GridValue()));
        return;
    }
    std::vector<std::uint8_t> data;
    for (int i = 0; i < rows_; ++i)
        data.push_back(static_cast<std::uint8_t>(std::atoi(Get("StringGrid1").Items[static_cast<std::size_t>(i)].c_str())));
    WriteC48(SideFile(C48Extension), C48Em78p458x, data);
}

std::uint32_t TEm78p153x::GridValue() const {
    const auto& cells = Get("StringGrid1").Items;
    std::uint32_t v = 0;
    for (int i = 0; i < rows_; ++i)
        if (cells[static_cast<std::size_t>(i)] == "1") v |= 1u << i;
    return v;
}

void TEm78p153x::ControlsToConfig() {
    ConfigWord = GridValue();
    if (p458_) Status("R1 = " + Hex4(ConfigWord) + ",  R2 = " + Hex4(ConfigWord >> 16));
    else Status("Config = " + Hex4(ConfigWord));
}

void TEm78p153x::StringGrid1Click() {
    const int row = ItemIndex("StringGrid1");
    if (row < 0 || row >= rows_) return;
    PutCell("StringGrid1", row, Get("StringGrid1").Items[static_cast<std::size_t>(row)] == "0" ? "1" : "0");
    ControlsToConfig();
}

void TEm78p153x::EnterProgramMode(bool config) {
    auto line = [this](int n, bool high) {
        if (high) Ep3.SetReg29Flag(n);
        else Ep3.SetReg29(n);
    };
    if (p458_) {
        line(4, false);
        line(3, true), line(5, true);
        line(6, false), line(2, false), line(1, false);
        Ep3.VccPin(row_.VccPin);
        line(2, false), line(6, false);
        line(1, config);
        Ep3.VppPin(row_.VppPin);
        Ep3.UsbPut1(OpWaitSettle);
        em78::Clock(Ep3);
        line(1, false), line(5, false);
    } else {
        line(4, true), line(3, true), line(5, true);
        line(6, false), line(2, false), line(1, false);
        Ep3.VccPin(row_.VccPin);
        line(2, false), line(1, false), line(6, false);
        line(2, config);
        Ep3.VppPin(row_.VppPin);
        Ep3.UsbPut1(OpWaitSettle);
        line(1, false), line(6, false);
        em78::Clock(Ep3);
    }
    Ep3.UsbFlush();
}

bool TEm78p153x::Contact() {
    if (Ep3.CheckPinContact(row_.GndPin, 0, row_.ContactLo, row_.ContactHi, 0) != 0) return true;
    StepFailed();
    return false;
}

void TEm78p153x::ReadConfigWords(int words) {
    EnterProgramMode(true);
    Ep3.SetReg29(5);
    std::uint8_t w[6];
    ReadWords(words, w);
    SuppliesOff();
}

void TEm78p153x::BlankClick() {
    if (!ready_ || !Contact()) return;
    Status("Blank CHK");
    ReadConfigWords(1);
    if (Ep3.UsbReplyBuf[0] != 0x1F || Ep3.UsbReplyBuf[1] != 0xFF) {
        wb.ErrorFlag() = 1;
        Status("CFG Err.！");
        return;
    }
    CompareProgram(nullptr, "Not blank");
}

void TEm78p153x::VerifyClick() {
    if (!ready_ || !Contact()) return;
    Status("Verify.");
    ReadConfigWords(1);
    CompareProgram(wb.ImageBuffer.data(), "Error....");
}

void TEm78p153x::CompareProgram(const std::uint8_t* image, const char* fail) {
    EnterProgramMode(false);
    Ep3.SetReg29(5);
    std::uint8_t block[64];
    std::int32_t a = 0;
    for (; a < row_.ProgramLast; a += 64) {
        ShowProgress(a);
        ReadWords(32, block);
        for (int k = 0; k < 64; k += 2) {
            const unsigned hi = image ? (image[a + k + 1] & 0x1Fu) : 0x1Fu;
            const unsigned lo = image ? image[a + k] : 0xFFu;
            if (block[k] != hi || block[k + 1] != lo) {
                wb.ErrorFlag() = 1;
                Status(fail);
                SuppliesOff();
                return;
            }
        }
    }
    wb.ErrorFlag() = 0;
    ShowProgress(a - 1);
    SuppliesOff();
    Success("OK");
}

void TEm78p153x::ReadToFileClick() {
    if (!ready_ || !Contact()) return;
    Status("Read.");
    ReadConfigWords(1);
    EnterProgramMode(false);
    Ep3.SetReg29(5);
    auto* img = wb.ImageBuffer.data();
    for (std::int32_t a = 0; a < row_.ProgramLast; a += 64) {
        ShowProgress(a);
        ReadWords(32, img + a);
    }
    std::int32_t d = 0;
    for (; d <= row_.ProgramLast; d += 2) std::swap(img[d], img[d + 1]);
    ShowProgress(d - 1);
    SuppliesOff();
    Success("OK");
    wb.Display();
}

void TEm78p153x::WriteClick() {
    if (!ready_ || !Contact()) return;
    if (!CheckCdsFile()) {
        StepFailed();
        return;
    }
    Status("Writing..");
    EnterProgramMode(false);
    ProgramImage();
}

void TEm78p153x::RdConfigClick() {
    if (!ready_ || !Contact()) return;
    Status("Read CFG...");
    const int n = p458_ ? 2 : 3;
    ReadConfigWords(n);
    const auto* r = Ep3.UsbReplyBuf.data();
    char b[64];
    if (p458_)
        std::snprintf(b, sizeof b, "R1=%04x   R2=%04x ", (r[0] << 8) | r[1], (r[2] << 8) | r[3]);
    else
        std::snprintf(b, sizeof b, "R1=%04x   R2=%04x   ID=%04x", (r[0] << 8) | r[1], (r[2] << 8) | r[3],
                      (r[4] << 8) | r[5]);
    Success(b);
}

void TEm78p153x::WtConfigClick() {
    if (!ready_ || !Contact()) return;
    // One-time bits: every cell must say 0 or 1 (a ".c48" byte such as 255 is not a bit).
    const auto& cells = Get("StringGrid1").Items;
    for (int i = 0; i < rows_; ++i) {
        const std::string& c = cells[static_cast<std::size_t>(i)];
        if (c != "0" && c != "1")
            Refuse("CFG " + Get("StringGrid1").RowNames[static_cast<std::size_t>(i)] + " = \"" + c +
                   "\": not 0 or 1, nothing written");
    }
    ControlsToConfig();
    const std::uint32_t v = ConfigWord;
    if (!p458_) {
        ShowProgress(0);
        Status("Wrt.CFG.");
    }
    EnterProgramMode(true);
    Ep3.SetReg29Flag(5);
    if (p458_) {
        em78::ShiftOutWord(Ep3, v & 0x1FFF);
        em78::ShiftOutWord(Ep3, (v >> 16) & 0x1FFF);
        SuppliesOff();
        Success(Text(kStatus));
        return;
    }
    em78::ShiftOutWord(Ep3, 0x1FFC | (v & 3));
    em78::ShiftOutWord(Ep3, (v >> 2) & 0x1FFF);
    SuppliesOff();
    Status("Config = " + Hex4(v));
    Success("End.");
}

void TEm78p153x::Button2Click() {
    const std::vector<BatchStep> steps = OneTimeSteps(*this);
    auto next = [this] { return Ep3.WaitNextChip(row_.GndPin, 0, row_.ContactLo, row_.ContactHi, 0) != 0; };
    if (p458_) RunBatchWaitingAfter(steps, next);
    else RunBatch(steps, next);
}

QUILLA_FORM(TEm78p153x);
QUILLA_FORM(TEm78p458x);

}  // namespace quilla
