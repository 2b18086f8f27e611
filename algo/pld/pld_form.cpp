#include "algo/pld/pld_form.h"

#include <algorithm>
#include <cstdio>

#include "app/jedec.h"

namespace quilla {

PldForm::PldForm(Workbench& w, std::string caption) : AlgoForm(w, std::move(caption)) {}

std::string PldForm::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    const std::string keyword = wb.sel.DeviceKeyword.empty() ? std::string("this form") : wb.sel.DeviceKeyword;
    if (v < 1 || v >= static_cast<int>(Table.size())) return VariantNotInTable();
    if (!Workable(Table[static_cast<std::size_t>(v)]))
        return "Bad device line: variant " + std::to_string(v) + " of " + keyword +
               " names a row this form cannot program";
    return {};
}

void PldForm::ShowAddress(const std::string& edit, int value) {
    char b[16];
    std::snprintf(b, sizeof b, "%04d", value < 0 ? 0 : value);
    Put(edit, b);
}

void PldForm::ShowProgress(int value) {
    SetProgress(kProgress, 0, progressMax_, value);
    ShowAddress(kAddress, value);
}

ControlRows PldForm::Window(BatchTicks ticked) {
    using win::Box;
    using win::PushButton;
    return win::Join({{PushButton({"Read1", "Read  "}), PushButton({"Write", "Write "}),
                       PushButton({"Verify", "Verify  "}), PushButton({"Erase", "Erase"}),
                       PushButton({"Blank", "Blank?  "}), PushButton({"Secrity", "Lock "}),
                       PushButton({"CancelBtn", "Exit "}), win::Progress(kProgress),
                       win::Red(win::ReadOnly(win::Edit({kAddress}, "Add "))),
                       win::ReadOnly(win::Edit({kType}, "Type")), win::Status(kMsg, "Prompt  "),
                       win::Group({"GroupBox1", "Batch   "})},
                      win::In("GroupBox1", {Box({"CheckBox1", "Erase "}, ticked.Erase),
                                            Box({"CheckBox2", "Blank?"}, ticked.Blank),
                                            Box({"CheckBox3", "Write "}, ticked.Write),
                                            Box({"CheckBox4", "Verify  "}, ticked.Verify),
                                            Box({"CheckBox5", "Lock"}, ticked.Lock),
                                            PushButton({"Button1", " Run  "})})});
}

const Handlers<PldForm>& PldForm::Operations() {
    static const Handlers<PldForm> handlers{{"Read1", &PldForm::ReadRom},         {"Write", &PldForm::WriteClick},
                                            {"Verify", &PldForm::VerifyClick},    {"Erase", &PldForm::EraseClick},
                                            {"Blank", &PldForm::BlankClick},      {"Secrity", &PldForm::SecrityClick},
                                            {"CancelBtn", &PldForm::Close},       {"Button1", &PldForm::Button1Click}};
    return handlers;
}

bool PldForm::CheckDeviceLine() {
    FillVariantTable();
    return AcceptDeviceLine();
}

const VariantRecord& PldForm::Row() {
    const std::string err = DeviceLineError();
    if (!err.empty()) Refuse(err);
    const VariantRecord& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    progressMax_ = r.Rows * r.Bits;
    return r;
}

FuseWindowState& PldForm::ShowFuseWindow(const VariantRecord& r) {
    return OpenFuseWindow(wb, r.Rows, r.Bits, JedecFuses(r));
}

const VariantRecord& PldForm::SetupWindow(const char* design, const std::string& typeText) {
    const VariantRecord& r = Row();
    Ep3.ResetPins();
    ShowConnection();
    Ep3.LoadBitFile(design);
    Ep3.GndPin(GroundPin);
    Ep3.SetVcc(5000);
    Ep3.SetVpp(r.Vpp);
    const bool created = !wb.PldFileW;
    ShowFuseWindow(r);
    if (created) Put(kType, r.Name);
    Put(kType, typeText);
    return r;
}

void PldForm::Button1Click() {
    if (BatchChecksWindow() && Ticked("CheckBox3") && !NeedFuseWindow("Must open a file to write...")) return;
    const std::vector<BatchStep> steps{{"CheckBox1", [this] { EraseClick(); }},
                                       {"CheckBox2",
                                        [this] {
                                            if (BlankAfterErase() || !Ticked("CheckBox1")) BlankClick();
                                        }},
                                       {"CheckBox3", [this] { WriteClick(); }},
                                       {"CheckBox4", [this] { VerifyClick(); }},
                                       {"CheckBox5", [this] { SecrityClick(); }}};
    RunBatch(steps, [] { return false; }, false);
}

bool PldForm::PowerUpChecked(const VariantRecord& r) {
    PowerUpPld(r);
    if (Ep3.CheckCurrent()) return true;
    StepFailed();
    return false;
}

bool PldForm::NeedFuseWindow(const char* message) {
    if (wb.PldFileW) return true;
    wb.prompts.ShowMsg(message);
    StepFailed();
    return false;
}

// ---- the fuse array ------------------------------------------------------------------------------

std::optional<std::pair<int, int>> PldForm::FindInArray(int rows, int bits, const std::function<void(int)>& readRow,
                                                        const std::function<bool(int, int)>& ok, bool progress) {
    for (int i = 0; i < rows; ++i) {
        if (progress) ShowProgress(bits * i);
        readRow(i);
        for (int j = 0; j < bits; ++j)
            if (!ok(i, j)) return std::pair{i, j};
    }
    return std::nullopt;
}

bool PldForm::ArrayBlank(int rows, int bits, const std::function<void(int)>& readRow) {
    const auto bad =
        FindInArray(rows, bits, readRow, [this](int, int j) { return FuseRowBuffer[static_cast<std::size_t>(j)] == '1'; });
    if (!bad) return true;
    Status("Not blank..");
    wb.ErrorFlag() = 1;
    ShowProgress(bits * bad->second + bad->first);
    SuppliesOff();
    return false;
}

void PldForm::ReadArrayIntoMap(int rows, int bits, const std::function<void(int)>& readRow) {
    for (int i = 0; i < rows; ++i) {
        ShowProgress(bits * i);
        readRow(i);
        for (int j = 0; j < bits; ++j) Fuse(i + rows * j) = static_cast<std::uint8_t>(FuseRowBuffer[static_cast<std::size_t>(j)]);
    }
}

void PldForm::ShiftArrayFromMap(const VariantRecord& r, int rows, int bits) {
    for (int i = 0; i < rows; ++i) {
        ShowProgress(bits * i);
        for (int j = 0; j < bits; ++j) FuseRowBuffer[static_cast<std::size_t>(j)] = static_cast<char>(Fuse(i + rows * j));
        ShiftFuseRow(r, i, bits);
    }
}

void PldForm::ShiftFuseRange(const VariantRecord& r, int row, int first, int n) {
    for (int j = 0; j < n; ++j) FuseRowBuffer[static_cast<std::size_t>(j)] = static_cast<char>(Fuse(first + j));
    ShiftFuseRow(r, row, n);
}

void PldForm::FuseRangeFromBuffer(int first, int n) {
    for (int j = 0; j < n; ++j) Fuse(first + j) = static_cast<std::uint8_t>(FuseRowBuffer[static_cast<std::size_t>(j)]);
}

void PldForm::FillFuseMap(std::uint8_t c) { std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + FuseFormFill, c); }

void PldForm::EndRead(const VariantRecord& r, bool architectureUnread) {
    SuppliesOff();
    Success("Data in buffer..");
    ShowFuseWindow(r).ArchitectureUnread = architectureUnread;
}

void PldForm::SuppliesOff() {
    Ep3.VppPin(0);
    Ep3.VccPin(0);
}

void PldForm::RequireFuseCharacters(const std::vector<int>& fuses) {
    for (int n : fuses) {
        const std::uint8_t c = Fuse(n);
        if (c == '0' || c == '1') continue;
        char b[96];
        std::snprintf(b, sizeof b, "Fuse %d holds 0x%02x, not 0 or 1: nothing written.", n, c);
        Refuse(b);
    }
}

}  // namespace quilla
