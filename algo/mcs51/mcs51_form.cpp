#include "algo/mcs51/mcs51_form.h"

#include "algo/common/scan.h"

namespace quilla {

using namespace proto;

const Package51& ChoosePackage(const std::string& typeText, const Package51& dip, const Package51& plcc) {
    if (typeText.find("*P44") != std::string::npos || typeText.find("*Q44") != std::string::npos) return plcc;
    return dip;
}

Mcs51Form::Mcs51Form(Workbench& w, std::string caption, std::vector<int> highAddressPins)
    : AlgoForm(w, std::move(caption)), highPins_(std::move(highAddressPins)) {}

// ---- the window pieces ----------------------------------------------------------------------

ControlRows StatusRows51(const char* address, const char* prompt) {
    using namespace win;
    return {ReadOnly(Edit({Mcs51Form::kType, ""}, "Type")), Status(Mcs51Form::kMsg, prompt),
            Red(ReadOnly(Edit({Mcs51Form::kAddress, ""}, address))), Progress(Mcs51Form::kProgress)};
}

ControlRows BatchRows51(std::initializer_list<win::Face> boxes, const char* run) {
    ControlRows rows = {win::Group({"GroupBox1", "Batch   "})};
    for (const win::Face& b : boxes) rows.push_back(win::Box(b, true, "GroupBox1"));
    rows.push_back(win::PushButton({"Button1", run}, "GroupBox1"));
    return rows;
}

ControlRows UsualBatchRows51(const char* lock, const char* write) {
    return BatchRows51({{"CheckBox1", "Erase "}, {"CheckBox2", "Blank?  "}, {"CheckBox3", write},
                        {"CheckBox4", "Vrfy"}, {"CheckBox5", lock}});
}

ControlRows Unticked51(ControlRows rows, const char* box) {
    for (ControlRow& c : rows)
        if (c.Name == box) c.Ticked = false;
    return rows;
}

ControlRows LockReadExitButtons51() {
    using win::PushButton;
    return {PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}), PushButton({"Write", "Write "}),
            PushButton({"Verify", "Vrfy"}),  PushButton({"Secrity", "Lock"}),  PushButton({"Read1", "Read  "}),
            PushButton({"CancelBtn", "Exit "})};
}

ControlRows ReadIdExitButtons51() {
    using win::PushButton;
    return {PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank?  "}), PushButton({"Write", "Write "}),
            PushButton({"Verify", "Vrfy"}),  PushButton({"Read1", "Read  "}),   PushButton({"ID", "MFG ID  "}),
            PushButton({"CancelBtn", "Exit "})};
}

// ---- the device table ---------------------------------------------------------------------

int Mcs51Form::VariantCount() const { return static_cast<int>(Table.size()); }

const Mcs51Row* Mcs51Form::SelectedRow() const {
    const int v = wb.sel.VariantIndex;
    if (!LineError.empty() || v < FirstRow || v >= static_cast<int>(Table.size())) return nullptr;
    return &Table[static_cast<std::size_t>(v)];
}

std::string Mcs51Form::DeviceLineError() const {
    if (SelectedRow()) return {};
    if (!LineError.empty()) return LineError;
    return "Bad device line: variant " + std::to_string(wb.sel.VariantIndex) + " of " +
           (wb.sel.DeviceKeyword.empty() ? std::string("this form") : wb.sel.DeviceKeyword) +
           " is not in the device table (" + std::to_string(FirstRow) + " to " + std::to_string(static_cast<int>(Table.size()) - 1) + ")";
}

const Mcs51Row& Mcs51Form::Row() {
    if (const Mcs51Row* r = SelectedRow()) return *r;
    Refuse(DeviceLineError());
}

// ---- setup ----------------------------------------------------------------------------------

bool Mcs51Form::SetupRowOk() {
    FillVariantTable();
    if (SelectedRow()) return true;
    const std::string msg = DeviceLineError();
    Status(msg);
    wb.prompts.ShowMsg(msg);
    return false;
}

void Mcs51Form::UsePackage(const Package51& p) {
    Ep3.LoadBitFile(p.Design);
    GndPinNo = p.GndPin;
    VccPinNo = p.VccPin;
    VppPinNo = p.VppPin;
    ContactMaskLo = p.MaskLo;
    ContactMaskHi = p.MaskHi;
}

void Mcs51Form::SetupShow() {
    Put(kType, wb.sel.TypeText);
    Status(Ep3.Connected ? "OK " : "Comm Err.");
    wb.FileNew();
    AlgoForm::Show();
}

void Mcs51Form::ShowRowRange(const Mcs51Row& r) {
    if (wb.FileWin) wb.FileWin->EndAddr = r.LastAddress;
    wb.Display();
}

// ---- routines -----------------------------------------------------------------------------------

void Mcs51Form::SetAddress51(std::int32_t address) {
    AddressLow = static_cast<std::uint8_t>(address & 0xFF);
    Ep3.WriteLatch(0, AddressLow);
    for (std::size_t bit = 0; bit < highPins_.size(); ++bit)
        Ep3.SetPin((address >> (8 + bit)) & 1, highPins_[bit]);
}

void Mcs51Form::NextAddress51() {
    AddressLow = static_cast<std::uint8_t>(AddressLow + 1);
    Ep3.WriteLatch(0, AddressLow);
}

void Mcs51Form::ProgramByte51(std::uint8_t) { Refuse("No byte program on this form"); }

void Mcs51Form::SetPins(std::initializer_list<Level51> levels) {
    for (const Level51& l : levels) Ep3.SetPin(l.High ? 1 : 0, l.Pin);
}

void Mcs51Form::SetPins(const std::vector<Level51>& levels) {
    for (const Level51& l : levels) Ep3.SetPin(l.High ? 1 : 0, l.Pin);
}

bool Mcs51Form::ContactTest() { return Ep3.CheckPinContact(GndPinNo, 0, ContactMaskLo, ContactMaskHi, 0) != 0; }

bool Mcs51Form::DipContact51() {
    return Ep3.CheckPinContact(Dip40Package.GndPin, 0, Dip40Package.MaskLo, Dip40Package.MaskHi, 0) != 0;
}

void Mcs51Form::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

void Mcs51Form::Waits(std::uint8_t op, int count) {
    for (int i = 0; i < count; ++i) Put1(op);
}

std::int32_t Mcs51Form::EndAddr() {
    if (!wb.FileWin) wb.FileNew();
    return wb.FileWin->EndAddr;
}

// ---- display -------------------------------------------------------------------------------------

void Mcs51Form::ShowProgress(std::int32_t value) {
    const Mcs51Row* r = SelectedRow();
    const int max = r ? r->LastAddress : 0;
    ShowAddress(kAddress, value);
    SetProgress(kProgress, 0, max < 0 ? 0 : max, value);
}

// ---- loops ----------------------------------------------------------------------------------------

bool Mcs51Form::ForEachBlock(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block, int size) {
    const std::int32_t end = EndAddr();
    for (std::int32_t a = 0; a < r.LastAddress && a <= end; a += size) {
        ShowProgress(a);
        SetAddress51(a);
        if (!block(a)) return false;
    }
    return true;
}

void Mcs51Form::ReadImage51(const Mcs51Row& r) {
    ForEachBlock(
        r,
        [this](std::int32_t a) {
            ReadUnit51(Image(a));
            return true;
        },
        ReadUnitSize51());
}

bool Mcs51Form::BlockChecked51(const CheckPass51& pass, std::int32_t a, const std::uint8_t* block,
                               const std::function<void()>& off, int count) {
    const int i = pass.Verify ? FirstDifference(a, block, count) : FirstNotBlank(block, count);
    if (i < 0) return true;
    if (pass.FaultStatus) Status(pass.FaultStatus);
    else if (pass.Verify) Status(DifferenceText(a + i, block[i]));
    wb.ErrorFlag() = 1;
    ShowProgress(a + i);
    off();
    return false;
}

void Mcs51Form::PassEnd51(const CheckPass51& pass, std::int32_t shown, const std::function<void()>& off) {
    if (pass.OffBeforeSuccess) off();
    Success(pass.SuccessText);
    wb.ErrorFlag() = 0;
    ShowProgress(shown);
    if (!pass.OffBeforeSuccess) off();
}

bool Mcs51Form::CheckBlocks51(const Mcs51Row& r, const CheckPass51& pass, const std::function<void()>& off,
                              const std::function<void()>& endOff) {
    std::uint8_t* buf = Ep3.UsbReplyBuf.data();
    const int size = ReadUnitSize51();
    const bool good = ForEachBlock(
        r,
        [&](std::int32_t a) {
            ReadUnit51(buf);
            return BlockChecked51(pass, a, buf, off, size);
        },
        size);
    if (!good) return false;
    PassEnd51(pass, r.LastAddress, endOff ? endOff : off);
    return true;
}

int Mcs51Form::FirstNotBlank(const std::uint8_t* block, int count) {
    for (int i = 0; i < count; ++i)
        if (block[i] != 0xFF) return i;
    return -1;
}

int Mcs51Form::FirstDifference(std::int32_t a, const std::uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i)
        if (bytes[i] != *Image(a + i)) return i;
    return -1;
}

int Mcs51Form::CompareBytes(std::int32_t a, const std::uint8_t* bytes, int count) {
    const int i = FirstDifference(a, bytes, count);
    if (i >= 0) Status(DifferenceText(a + i, bytes[i]));
    return i;
}

std::string Mcs51Form::DifferenceText(std::int32_t at, std::uint8_t chip) {
    return FormatText("%04x:Error.(File=%02x,chip=%02x)", static_cast<unsigned>(at), *Image(at), chip);
}

void Mcs51Form::ProgramBytes51(std::int32_t a, int count) {
    for (int i = 0; i < count; ++i) {
        ProgramByte51(*Image(a + i));
        NextAddress51();
    }
}

void Mcs51Form::PageLoop51(const Mcs51Row& r) {
    ForEachBlock(r, [&](std::int32_t a) {
        ProgramBytes51(a, kBlock);
        Flush();
        return true;
    });
}

void Mcs51Form::ByteLoop(const Mcs51Row& r, const std::function<void(std::int32_t)>& beforeByte) {
    const std::int32_t end = EndAddr();
    for (std::int32_t i = 0; i <= r.LastAddress; ++i) {
        if ((i & 0xFF) == 0) {
            Flush();
            ShowProgress(i);
            SetAddress51(i);
        }
        if (i > end) break;
        if (beforeByte) beforeByte(i);
        ProgramByte51(*Image(i));
        NextAddress51();
    }
}

// ---- the signature --------------------------------------------------------------------------------

int Mcs51Form::CheckDeviceIdWith(const IdCheck51& c, const std::function<void()>& readSignature) {
    readSignature();
    if (c.ClearsErrorFlag) wb.ErrorFlag() = 0;
    const auto& r = LastReadId();
    const auto& s = ExpectedId();
    Status(c.Bytes >= 3 ? FormatText("R=(%02x,%02x,%02x)  S=(%02x,%02x,%02x)", r[0], r[1], r[2], s[0], s[1], s[2])
                        : FormatText("R=(%02x,%02x)  S=(%02x,%02x)", r[0], r[1], s[0], s[1]));
    if (s[0] == 0) return 1;
    if (c.LockedFirst && r[0] == 0xFF && r[1] == 0xFF) {
        if (Ask(c.LockedQuestion)) return 1;
        StepFailed();
        return 0;
    }
    bool match = true;
    for (int i = 0; i < c.Bytes; ++i) match = match && r[static_cast<std::size_t>(i)] == s[static_cast<std::size_t>(i)];
    if (match || (IdAlsoAccepted51 && IdAlsoAccepted51())) return 1;
    const bool locked = !c.LockedFirst && r[0] == 0xFF;
    if (Ask(locked ? c.LockedQuestion : c.WrongQuestion)) return 1;
    if (!locked && c.WrongNoSetsError) wb.ErrorFlag() = 1;
    StepFailed();
    return 0;
}

int Mcs51Form::ReadIdForSelfCheck() {
    if (!Has("ID")) return 0;
    Click("ID");
    return 2;
}

// ---- the batch --------------------------------------------------------------------------------------

void Mcs51Form::RunBatch51(const std::vector<BatchStep>& steps, bool massLoop) {
    RunBatch(
        steps, [this] { return Ep3.WaitNextChip(GndPinNo, 0, ContactMaskLo, ContactMaskHi, 0) != 0; }, massLoop);
}

void Mcs51Form::RunBatchDip51(const std::vector<BatchStep>& steps, bool massLoop) {
    RunBatch(
        steps,
        [this] {
            return Ep3.WaitNextChip(Dip40Package.GndPin, 0, Dip40Package.MaskLo, Dip40Package.MaskHi, 0) != 0;
        },
        massLoop);
}

bool Mcs51Form::LockedSignatureOk51() {
    const auto& id = LastReadId();
    if (id[0] != 0xFF || id[1] != 0xFF || Ask("Device may be locaked.            \n继续吗?")) return true;
    wb.ErrorFlag() = 1;
    return false;
}

// ---- the batch's file check -----------------------------------------------------------------------

bool Mcs51Form::BatchFileOk51() {
    if (!Ticked("CheckBox3") || wb.FileWin) return true;
    wb.prompts.ShowMsg("Must open a file to write...");
    return false;
}

// ---- the end of Read ------------------------------------------------------------------------------

void Mcs51Form::ReadEnd51(std::int32_t shown, const std::string& text, const std::function<void()>& off) {
    ShowProgress(shown);
    if (off) off();
    else SuppliesOff();
    Success(text);
    wb.Display();
    AlgoForm::Show();
}

// ---- 64-byte groups -----------------------------------------------------------------------------

bool Mcs51Form::Groups51(std::int32_t limit, bool intoImage, const std::function<void(std::int32_t)>& queue,
                         const GroupCheck51& check) {
    for (std::int32_t a = 0; a < limit; a += kGroup51) {
        ShowProgress(a);
        queue(a);
        std::uint8_t* to = intoImage ? Image(a) : Ep3.UsbReplyBuf.data();
        Ep3.UsbReadReply(to);
        if (check && !check(a, to)) return false;
    }
    return true;
}

}  // namespace quilla
