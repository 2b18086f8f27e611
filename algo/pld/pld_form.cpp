#include "algo/pld/pld_form.h"

#include <cstdio>

#include "app/jedec.h"

namespace quilla {

PldForm::PldForm(Workbench& w, std::string caption) : AlgoForm(w, std::move(caption)) {}

std::string PldForm::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    const std::string keyword = wb.sel.DeviceKeyword.empty() ? std::string("this form") : wb.sel.DeviceKeyword;
    if (v < 1 || v >= static_cast<int>(Table.size()))
        return "Bad device line: variant " + std::to_string(v) + " of " + keyword + " is not in the device table";
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

void PldForm::DeclareWindow(const Handlers& h, const std::array<bool, 5>& ticked) {
    AddButton("Read1", "Read  ", h.read);
    AddButton("Write", "Write ", h.write);
    AddButton("Verify", "Verify  ", h.verify);
    AddButton("Erase", "Erase", h.erase);
    AddButton("Blank", "Blank?  ", h.blank);
    AddButton("Secrity", "Lock ", h.lock);
    AddButton("CancelBtn", "Exit ", [this] { Close(); });
    AddProgress(kProgress);
    AddEdit(kAddress, "", "Add ", true).Emphasis = true;
    AddEdit(kType, "", "Type", true);
    AddStatus(kMsg, "Prompt  ");
    AddGroup("GroupBox1", "Batch   ");
    static const char* const boxes[5][2] = {{"CheckBox1", "Erase "},
                                            {"CheckBox2", "Blank?"},
                                            {"CheckBox3", "Write "},
                                            {"CheckBox4", "Verify  "},
                                            {"CheckBox5", "Lock"}};
    for (std::size_t k = 0; k < 5; ++k) AddCheck(boxes[k][0], boxes[k][1], ticked[k], "GroupBox1");
    AddButton("Button1", " Run  ", h.run, "GroupBox1");
}

bool PldForm::CheckDeviceLine() {
    FillVariantTable();
    const std::string err = DeviceLineError();
    if (err.empty()) return true;
    Status(err);
    wb.prompts.ShowMsg(err);
    return false;
}

const VariantRecord& PldForm::Row() {
    const std::string err = DeviceLineError();
    if (!err.empty()) Refuse(err);
    const VariantRecord& r = Table[static_cast<std::size_t>(wb.sel.VariantIndex)];
    progressMax_ = r.Rows * r.Bits;
    return r;
}

FuseWindowState& PldForm::ShowFuseWindow(const VariantRecord& r) {
    return OpenFuseWindow(wb, r.Rows, r.Bits);
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
