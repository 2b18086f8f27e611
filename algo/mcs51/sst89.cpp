#include "algo/mcs51/sst89.h"

#include <array>

#include "algo/common/scan.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;
using enum Do51;
using namespace steps51;

namespace {

constexpr int kRst = 9, kP33 = 13, kP36 = 16, kP37 = 17, kXtal2 = 18, kXtal1 = 19, kDipVcc = 40;
constexpr int kP26 = 27, kP27 = 28, kPsen = 29, kProg = 30, kEa = 31;
constexpr std::int32_t kTop = 0xFFFF;
constexpr bool Hi = true, Lo = false;

// A mode: P3.3 an option, then P3.7, P3.6, P2.7, P2.6.
Steps51 Mode(bool p37, bool p36, bool p27, bool p26) {
    return {OptionPins({H(kP33)}), Pins({{kP37, p37}, {kP36, p36}, {kP27, p27}, {kP26, p26}})};
}
// The power-up with VCC on `vccPin` (0: the package's).
Steps51 PowerUpOn(int vccPin) {
    return {ReadMode, {AllPins, 0}, OptionPins({H(kXtal2), H(kP33)}), {Clock, kXtal1}, {VccOn, vccPin},
            Pins({L(kRst), H(kEa), H(kProg), H(kRst)})};
}
const Step51 ReadId{Own};  // OwnStep: ReadIdBytes51
// The signature read: host mode entered, mode 0000 at 0x30 read.
const Steps51 kReadId = Join({{Pins({H(kPsen), L(kRst), H(kRst), H(kEa), H(kProg), L(kPsen)}), WaitPulse},
                              Mode(Lo, Lo, Lo, Lo), {At(0x30), Flush, ReadBlock}});
// Read, Blank and Verify from address 0 (VPP routed on the E564 form).
const Steps51 kEnterRead = Join({{PowerUp, ReadId}, Mode(Hi, Hi, Lo, Lo), {At(0)}});
// The chip erase (P2.6 high, P2.7, P3.6, P3.7 low) after the power-up.
const Steps51 kErase = Join({{ReadId}, Mode(Lo, Lo, Lo, Hi),
                             {Say("Erasing"), Pins({L(kProg), H(kProg)}), WaitSettle, {Wait100ms, 2}, Off}});
// Write: the program mode (P2.6 low, P2.7, P3.6, P3.7 high) from address 0, VPP routed.
const Steps51 kWrite = Join({{PreCheck, NeedFile, Say("Writing.."), PowerUp, ReadId}, Mode(Hi, Hi, Hi, Lo),
                             {ResetMode, OptionPins({H(kP33)}), At(0), VppOn, CheckCurrent}});

}  // namespace

// A box of a group and the bit it programs when ticked: its setting (P2.6,
// P2.7, P3.6, P3.7) and its address (-1: the 0x30 the signature read leaves).
struct SstBox {
    const char* Name;
    const char* Caption;
    bool Ticked;  // at start
    bool p26, p27, p36, p37;
    std::int32_t Address;
};
// A group of boxes and the status text while its bits are programmed.
struct SstGroup {
    const char* Name;
    const char* Caption;
    const char* Text;
    std::vector<SstBox> Boxes;
};

// A form: its window, its parts and what differs in its sequences.
struct Sst89Profile {
    const char* Caption;
    int Parts;                        // the first rows of the table
    ControlRows Buttons;              // after Read, Erase, Blank?, Write, Vrfy, MFG ID
    ControlRows Batch;                // the batch group
    Handlers<Sst89Form> BatchSteps;   // the batch boxes' steps, in order
    bool BatchDip;                    // the DIP40 arguments and mass production, else one pass
    std::vector<SstGroup> Groups;     // the configuration (ConfigClick), then the security bits (SecuClick)
    Steps51 PowerUp, Read, Erase, ReadEnd;  // the read mode entered, Erase after the pre-check, Read's off
    bool VppAtVcc;                    // VPP at the VCC level (else 0 V)
};

namespace {

using F = Sst89Form;
using win::PushButton;
// A box that programs its bit at `address` (-1: 0x30) in the setting P2.6,
// P2.7, P3.6, P3.7.
SstBox Bit(const char* name, const char* caption, bool ticked, std::array<bool, 4> setting, std::int32_t address = -1) {
    return {.Name = name, .Caption = caption, .Ticked = ticked, .p26 = setting[0], .p27 = setting[1],
            .p36 = setting[2], .p37 = setting[3], .Address = address};
}
const std::vector<SstBox> kSbBoxes{Bit("CheckBox6", "SB1        ", true, {Hi, Hi, Hi, Hi}),
                                   Bit("CheckBox7", "SB2        ", true, {Hi, Hi, Lo, Lo}),
                                   Bit("CheckBox8", "SB3        ", true, {Hi, Lo, Hi, Lo})};
const SstGroup kLockMode{.Name = "GroupBox3", .Caption = "LockMode", .Text = "Locking", .Boxes = kSbBoxes};
// The E554/E564 batch: Wr.CFG before Write; the lock box `lockBox`.
ControlRows E5xxBatch(const char* lockBox) {
    return BatchRows51({{"CheckBox1", "Erase "}, {"CheckBox2", "Blank?  "}, {"CheckBox5", "Wr.CFG"},
                        {"CheckBox3", "Write "}, {"CheckBox4", "Vrfy"}, {lockBox, "Lock"}});
}
Handlers<F> E5xxBatchSteps(const char* lockBox) {
    return {{"CheckBox1", &F::EraseClick},  {"CheckBox2", &F::BlankClick}, {"CheckBox5", &F::ConfigClick},
            {"CheckBox3", &F::WriteClick},  {"CheckBox4", &F::VerifyClick}, {lockBox, &F::SecuClick}};
}
const ControlRows kE5xxButtons{PushButton({"Config", "Wr.CFG"}), PushButton({"Secu", "Lock"})};
const Steps51 kPowerUp = PowerUpOn(0), kRead = Join({kEnterRead, {CheckCurrent}});
const Steps51 kEraseAll = Join({{PowerUp, CheckCurrent}, kErase});

}  // namespace

const Sst89Profile kSst89e554Profile{
    .Caption = "", .Parts = 7, .Buttons = kE5xxButtons, .Batch = E5xxBatch("CheckBox12"),
    .BatchSteps = E5xxBatchSteps("CheckBox12"), .BatchDip = false,
    .Groups = {{.Name = "GroupBox2",
                .Caption = "CFG(CHK=1)",
                .Text = "CFG....",
                .Boxes = {Bit("CheckBox9", "SC0 ", true, {Hi, Lo, Lo, Hi}, 0x5A00),
                          Bit("CheckBox10", "SC1", true, {Hi, Lo, Lo, Hi}, 0xAA00),
                          Bit("CheckBox11", "Clock (6/12)", false, {Lo, Lo, Lo, Hi}, 0x5500)}},
               kLockMode},
    .PowerUp = kPowerUp, .Read = kRead, .Erase = kEraseAll, .ReadEnd = {VppOff, VccOff}, .VppAtVcc = false,
};

// The E564 form drives VCC on pin 40, routes VPP (at the VCC level) for the
// reads and the erase, and leaves it on EA after a Read.
const Sst89Profile kSst89e564Profile{
    .Caption = "", .Parts = 7, .Buttons = kE5xxButtons, .Batch = E5xxBatch("CheckBox15"),
    .BatchSteps = E5xxBatchSteps("CheckBox15"), .BatchDip = false,
    .Groups = {{.Name = "GroupBox2",
                .Caption = "CFG(CHK=1)",
                .Text = "Config...",
                .Boxes = {Bit("CheckBox9", "SC0 ", false, {Hi, Lo, Lo, Hi}, 0x5A00),
                          Bit("CheckBox12", "Sel Block0", false, {Hi, Lo, Lo, Hi}, 0x5500),
                          Bit("CheckBox13", "Sel Block1", false, {Hi, Lo, Lo, Hi}, 0xA500),
                          Bit("CheckBox11", "Clock (6/12)", false, {Lo, Lo, Lo, Hi}, 0x5500)}},
               kLockMode},
    .PowerUp = PowerUpOn(kDipVcc), .Read = Join({kEnterRead, {VppOn, CheckCurrent}}),
    .Erase = Join({{PowerUp, VppOn, CheckCurrent}, kErase}), .ReadEnd = {VccOff}, .VppAtVcc = true,
};

// The C5X form: SB1-SB3, RB0 and RB1 in one group, written by "Wr.CFG".
const Sst89Profile kSst89c5xProfile{
    .Caption = "SST89c54/58", .Parts = 3,
    .Buttons = {PushButton({"CancelBtn", "Exit "}), PushButton({"Secrity", "Wr.CFG"})},
    .Batch = UsualBatchRows51("Wr.CFG", "Write "),
    .BatchSteps = {{"CheckBox1", &F::EraseClick}, {"CheckBox2", &F::BlankClick}, {"CheckBox3", &F::WriteClick},
                   {"CheckBox4", &F::VerifyClick}, {"CheckBox5", &F::SecuClick}},
    .BatchDip = true,
    .Groups = {{.Name = "GroupBox2",
                .Caption = "CFG(CHK=1)",
                .Text = "Locking",
                .Boxes = {kSbBoxes[0], kSbBoxes[1], kSbBoxes[2], Bit("CheckBox9", "RB0 ", false, {Lo, Lo, Lo, Hi}),
                          Bit("CheckBox10", "RB1", false, {Hi, Lo, Lo, Hi})}}},
    .PowerUp = kPowerUp, .Read = kRead, .Erase = kEraseAll, .ReadEnd = {VppOff, VccOff}, .VppAtVcc = false,
};

Sst89Form::Sst89Form(Workbench& w, const Sst89Profile& row)
    : Steps51Form(w, row.Caption, {21, 22, 23, 24, 25, 26, 14, 15}), k_(row) {
    ControlRows window = win::Join(
        {StatusRows51(),
         {PushButton({"Read1", "Read  "}), PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}),
          PushButton({"Write", "Write "}), PushButton({"Verify", "Vrfy"}), PushButton({"ReadID", "MFG ID  "})},
         k_.Buttons, k_.Batch});
    for (const SstGroup& g : k_.Groups) {
        window.push_back(win::Group({g.Name, g.Caption}));
        for (const SstBox& b : g.Boxes) window.push_back(win::Box({b.Name, b.Caption}, b.Ticked, g.Name));
    }
    // "Secrity" (the C5X's Wr.CFG) programs the security bits as "Secu" does.
    DeclareControls(window, this,
                    Handlers51<F>({{"ReadID", &F::ReadIDClick},
                                   {"Config", &F::ConfigClick},
                                   {"Secu", &F::SecuClick},
                                   {"Secrity", &F::SecuClick}}));
    FillVariantTable();
}

void Sst89Form::FillVariantTable() {
    // Block 1 from Block1Start to 0xFFFF; VCC by row.
    const auto part = [](const char* name, std::int32_t last, std::int32_t block1, int vccMv) {
        return Mcs51Row{.Name = name, .LastAddress = last, .Block1Start = block1, .VccMv = vccMv};
    };
    Table = {{"Exit", 0},
             part("1: SST89C54", 0x3FFF, 0xF000, 5000),
             part("2: SST89C58", 0x7FFF, 0xF000, 5000),
             part("3: SST89E554RC", 0x7FFF, 0xE000, 5000),
             part("4: SST89E564RD", 0xFFFF, 0x8000, 5000),
             part("5: SST89V554RC", 0x7FFF, 0xE000, 4400),
             part("6: SST89V564RD", 0xFFFF, 0x8000, 4400)};
    Table.resize(static_cast<std::size_t>(k_.Parts));
}

void Sst89Form::SetupForDevice() {
    if (!SetupRowOk()) return;
    Ep3.ResetPins();
    UsePackage(ChoosePackage(wb.sel.TypeText));
    SetupShow();
    const Mcs51Row& r = *SelectedRow();
    if (wb.FileWin) wb.FileWin->EndAddr = kTop;
    wb.Display();
    AlgoForm::Show();
    if (!Ep3.Connected) return;
    Ep3.GndPin(GndPinNo);
    Ep3.SetVpp(k_.VppAtVcc ? r.VccMv : 0);
    Ep3.SetVcc(r.VccMv);
}

// ---- routines --------------------------------------------------------------------------------

void Sst89Form::ShowProgress(std::int32_t value) {
    ShowAddress(kAddress, value);
    SetProgress(kProgress, 0, kTop, value);
}

// The DIP40 contact values whatever the package.
int Sst89Form::PreCheck51() { return Run({Contact40, Ground}); }

void Sst89Form::PowerUp51() { Run(k_.PowerUp); }

void Sst89Form::SetModePins51(bool p37, bool p36, bool p27, bool p28) { Run(Mode(p37, p36, p28, p27)); }

void Sst89Form::ReadIdBytes51() {
    Run(kReadId);
    Status(FormatText("Detect MFG and ID   = %02x, %02x", Ep3.UsbReplyBuf[0], Ep3.UsbReplyBuf[1]));
}

bool Sst89Form::OwnStep(int) {
    ReadIdBytes51();
    return true;
}

void Sst89Form::ProgramByte51(std::uint8_t b) {
    Ep3.UsbPut2(OpPutData51, b);
    SetPins({L(kProg), H(kProg)});
    Put1(OpWaitPulse);
}

bool Sst89Form::AddressWalk(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block) {
    std::int32_t a = 0;
    do {
        if (a > r.LastAddress && a < r.Block1Start) a = r.Block1Start;
        ShowProgress(a);
        if (!block(a)) return false;
        a += kBlock;
    } while (a < kTop);
    return true;
}

bool Sst89Form::ReadWalk(const Mcs51Row& r, const CheckPass51* pass, const std::function<void()>& off) {
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    return AddressWalk(r, [&](std::int32_t a) {
        SetAddress51(a);
        ReadBlock(pass ? buf : Image(a));
        return !pass || BlockChecked51(*pass, a, buf, off);
    });
}

// ---- the handlers -----------------------------------------------------------------------------------

void Sst89Form::ReadRom() {
    const Mcs51Row& r = Row();
    if (!Run({PreCheck, Say("Read.")}) || !Run(k_.Read)) return;
    ReadWalk(r, nullptr, {});
    ShowProgress(kTop);
    Run(k_.ReadEnd);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Sst89Form::CheckChip(const CheckPass51& pass, const std::function<void()>& off) {
    const Mcs51Row& r = Row();
    if (!Run({PreCheck, Say(pass.Verify ? "Verify." : "Blank CHK")}) || !Run(k_.Read)) return;
    if (ReadWalk(r, &pass, off)) PassEnd51(pass, kTop + 1, [this] { SuppliesOff(); });
}

void Sst89Form::EraseClick() {
    Row();
    if (Run({PreCheck}) && Run(k_.Erase)) Success("OK!");
}

void Sst89Form::WriteClick() {
    const Mcs51Row& r = Row();
    if (!Run(kWrite)) return;
    AddressWalk(r, [this](std::int32_t a) {
        SetAddress51(a);
        ProgramBytes51(a, kBlock);
        Flush();
        return true;
    });
    ShowProgress(kTop + 1);
    SuppliesOff();
    Success("OK");
}

void Sst89Form::ProgramTicked(const SstGroup& g) {
    Row();
    if (!Run({PreCheck, Say(g.Text), PowerUp, CheckCurrent})) return;
    for (const SstBox& b : g.Boxes) {
        if (!Ticked(b.Name)) continue;
        ReadIdBytes51();
        Run(Mode(b.p37, b.p36, b.p27, b.p26));
        if (b.Address >= 0) SetAddress51(b.Address);
        ProgramByte51(0xFF);
    }
    Flush();
    Success("OK");
    Ep3.VccPin(0);
}

void Sst89Form::ConfigClick() { ProgramTicked(k_.Groups.front()); }

void Sst89Form::SecuClick() { ProgramTicked(k_.Groups.back()); }

void Sst89Form::ReadIDClick() {
    Row();
    Run({Say("Detect MFG and ID ....."), PowerUp, ReadId, VccOff});
}

void Sst89Form::Button1Click() {
    Row();
    const auto steps = BatchSteps(this, k_.BatchSteps);
    k_.BatchDip ? RunBatchDip51(steps) : RunBatch51(steps, false);
}

QUILLA_FORM(TSST89e554x);
QUILLA_FORM(TSST89e564x);
QUILLA_FORM(TSST89c5x1);

}  // namespace quilla
