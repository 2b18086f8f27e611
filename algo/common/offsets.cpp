#include "algo/common/offsets.h"

#include "algo/common/form.h"
#include "algo/common/scan.h"

namespace quilla {

void OffsetsWindow::Declare(AlgoForm& form) {
    form_ = &form;
    form.DeclareOffsetEdits(*this);
}

void OffsetsWindow::DeclareEndAddress(AlgoForm& form) {
    form_ = &form;
    form.DeclareOffsetEdits(*this, {"File offset  :", "Device offset:", "器件End.Add ："}, false, "GroupBox4",
                            "设置Add (16进制ByteAdd )");
}

std::int32_t& OffsetsWindow::Field(int edit) {
    return edit == 1 ? FileOffset : (edit == 2 ? DeviceOffset : Length);
}

void OffsetsWindow::OnExit(int edit) {
    if (!form_) return;
    if (auto v = ScanHex(form_->Text(EditName(edit)))) Field(edit) = *v;
    if (page_ > 1) {
        const auto page = static_cast<std::uint32_t>(page_);
        auto& f = Field(edit);
        const auto u = static_cast<std::uint32_t>(f);
        f = static_cast<std::int32_t>(edit == 3 ? u | (page - 1) : u / page * page);
    }
    ShowOffsetField(edit, Field(edit));
}

void OffsetsWindow::ShowOffsetField(int edit, std::int32_t value) {
    if (form_) form_->PutText(EditName(edit), HexPlain(value));
}

void OffsetsWindow::ShowAll() {
    ShowOffsetField(1, FileOffset);
    ShowOffsetField(2, DeviceOffset);
    ShowOffsetField(3, Length);
}

}  // namespace quilla
