#include "algo/serial/serial_form.h"

#include <cstdio>

namespace quilla {

const std::vector<std::string> SerialForm::SpeedItems{"1  ms/byte", "2  ms/byte", "5  ms/byte ",
                                                      "10 ms/byte", "20 ms/byte", "50 ms/byte "};

SerialForm::SerialForm(Workbench& w, std::string caption) : AlgoForm(w, std::move(caption)) {}

std::string SerialForm::DeviceLineError() const {
    const int v = wb.sel.VariantIndex;
    if (v < 1 || v >= TableSize())
        return "Bad device line: variant " + std::to_string(v) + " of " +
               (wb.sel.DeviceKeyword.empty() ? std::string("this form") : wb.sel.DeviceKeyword) +
               " is not in the device table";
    return KeyError();
}

int SerialForm::RowIndex() {
    const std::string err = DeviceLineError();
    if (!err.empty()) Refuse(err);
    return wb.sel.VariantIndex;
}

bool SerialForm::CheckDeviceLine() {
    FillVariantTable();
    const std::string err = DeviceLineError();
    if (err.empty()) return true;
    Status(err);
    wb.prompts.ShowMsg(err);
    return false;
}

void SerialForm::ShowConnection() { Status(Ep3.Connected ? "OK " : "Comm Err."); }

void SerialForm::ShowProgress(int i, int max) {
    SetProgress(kProgress, 0, max, i);
    ShowAddress(kAddress, i);
}

const Handlers<SerialForm>& SerialForm::Operations() {
    static const Handlers<SerialForm> handlers{{"Read1", &SerialForm::ReadRom},
                                               {"Write", &SerialForm::WriteClick},
                                               {"Verify", &SerialForm::VerifyClick},
                                               {"CancelBtn", &SerialForm::Close}};
    return handlers;
}

ControlRows SerialForm::StatusFields() {
    return {win::Progress(kProgress), win::Red(win::ReadOnly(win::Edit({kAddress}, "Add "))),
            win::ReadOnly(win::Edit({kType}, "Type")), win::Status(kMsg, "Prompt  ")};
}

ControlRow SerialForm::Speed(const char* caption, int index) {
    return win::Radio({"Speed", caption}, SpeedItems, index);
}

ControlRows SerialForm::Batch(ControlRows boxes) {
    boxes.push_back(win::PushButton({"Button1", " Run "}));
    return win::Join({{win::Group({"GroupBox1", "Batch   "})}, win::In("GroupBox1", std::move(boxes))});
}

int SerialForm::SpeedWaits() const {
    const int i = ItemIndex("Speed");
    return i >= 0 && i < static_cast<int>(WaitTable.size()) ? WaitTable[static_cast<std::size_t>(i)] : WaitTable[0];
}

void SerialForm::QueueWaits(std::uint8_t op, int n) {
    for (int k = 0; k < n; ++k) Ep3.UsbPut1(op);
}

int SerialForm::VoltageMv(int item) { return item == 1 ? 3300 : item == 2 ? 2500 : 5000; }

void SerialForm::RefuseWithMessage(const std::string& text) {
    wb.prompts.ShowMsg(text);
    StepFailed();
    throw Refused{};
}

void SerialForm::RequirePresence(bool answered) {
    if (answered) return;
    wb.ErrorFlag() = 1;
    Refuse(NoChipText);
}

void SerialForm::RequireContactPresence(int gnd, std::uint32_t lo, std::uint32_t hi) {
    RequirePresence(ContactPresent(gnd, lo, hi));
}

}  // namespace quilla
