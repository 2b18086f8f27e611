#include "algo/common/offsets.h"

#include "algo/common/scan.h"
#include "algo/common/window.h"

namespace quilla {

ControlRows OffsetsWindow::Rows(AlgoForm& form) {
    return Edits(form, {"File offset  :", "Device offset:", "Length:   "}, true, "");
}

ControlRows OffsetsWindow::EndAddressRows(AlgoForm& form) {
    return win::Join({{win::Group({"GroupBox4", "设置Add (16进制ByteAdd )"})},
                      Edits(form, {"File offset  :", "Device offset:", "器件End.Add ："}, false, "GroupBox4")});
}

ControlRows OffsetsWindow::Edits(AlgoForm& form, const char* const (&labels)[3], bool fileReadBack,
                                 const std::string& group) {
    form_ = &form;
    static const char* const texts[3] = {"000000", "000000", "000200"};
    ControlRows rows;
    for (int k = 1; k <= 3; ++k) {
        ControlRow e = win::Edit({EditName(k).c_str(), labels[k - 1]}, texts[k - 1], group);
        if (k > 1 || fileReadBack)
            e = win::OnExit(std::move(e), [this, k] { OnExit(k); }, [this, k](int key) { OnKeyDown(k, key); });
        rows.push_back(std::move(e));
    }
    return rows;
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
