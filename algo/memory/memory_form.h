// The frame every parallel-memory form builds on: the socket forms
// (SocketForm, and the RAM tester built on it), the firmware-hub forms
// (FwhForm) and the adapter forms (AdapterForm). It holds what their windows
// share, as rows (algo/common/window.h): the offsets window, the type field,
// the batch group and the status foot; the memory operations, bound to the
// window's buttons by name; and the checks and guards of their read,
// blank-check and write loops.
//
// A memory form declares its window as one table and binds it in one call:
//
//   DeclareControls(win::Join({Offsets.Rows(*this),
//                              {TypeField(), win::PushButton({"Blank", "Blank?"}), ...},
//                              BatchGroup({TickedBox({"CheckBox2", "Blank?"}), ...}),
//                              StatusFoot(true)}),
//                   this, Operations(this, {{"Protect", &TMyForm::ProtectClick}}));
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "algo/common/offsets.h"
#include "algo/common/window.h"

namespace quilla {

class MemoryForm : public AlgoForm {
public:
    // Control names of the memory windows.
    static constexpr const char* kMessage = "Message";
    static constexpr const char* kAddress = "Edit6";
    static constexpr const char* kProgress = "RdBar";
    static constexpr const char* kType = "Edit7";

    MemoryForm(Workbench& wb, std::string caption);

    // ---- the memory operations: the handlers of the buttons named in Operations -----------
    virtual void ReadClick() = 0;
    virtual void BlankClick() = 0;
    virtual void VerifyClick() = 0;
    virtual void WriteClick() = 0;
    virtual void EraseClick() {}  // a form without an erase does nothing
    virtual void MFGClick() = 0;
    virtual void Button1Click() = 0;  // the batch's Run
    void CancelBtnClick() { Close(); }

    // File offset, Device offset and Length (or the end address) of the window.
    OffsetsWindow Offsets;

    // ---- the rows the memory windows share ----------------------------------------------------
    // The type field Edit7 (read-only, "Type" until setup shows the device).
    static ControlRow TypeField();
    // A batch box ticked when the window opens.
    static ControlRow TickedBox(win::Face face);
    // The batch group GroupBox1 "Batch   ": the boxes, then the button Button1 `run`.
    static ControlRows BatchGroup(ControlRows boxes, const char* run = " Run ");
    // The foot: the progress bar RdBar, the red address field Edit6 ("Add "),
    // the status field Message ("Prompt  ") and, with `exit`, the button
    // CancelBtn "Exit" that closes the form.
    static ControlRows StatusFoot(bool exit);
    // The operation buttons of the hub and adapter windows, in the order given:
    // ReadButton "Read  ", Blank "Blank?", Erase "Erase", Write "Write ",
    // Verify "Vrfy." and MFG " ID   ".
    enum class Op { Read, Blank, Erase, Write, Verify, Id };
    static ControlRows OperationButtons(std::initializer_list<Op> order);
    // Their batch boxes: Ers., Blank?, W. and Vrfy (CheckBox1..CheckBox4, ticked).
    static ControlRows EraseBlankWriteVerifyBoxes();

protected:
    // The memory operations by control name (ReadButton, Blank, Verify, Write,
    // Erase, MFG, Button1 and CancelBtn), then the form's own handlers: the one
    // handler table of a memory window. A name the window does not show is
    // passed over.
    template <class Form>
    static Handlers<Form> Operations(Form*, std::initializer_list<Handler<Form>> own = {}) {
        Handlers<Form> h{{"ReadButton", &Form::ReadClick}, {"Blank", &Form::BlankClick},
                         {"Verify", &Form::VerifyClick},   {"Write", &Form::WriteClick},
                         {"Erase", &Form::EraseClick},     {"MFG", &Form::MFGClick},
                         {"Button1", &Form::Button1Click}, {"CancelBtn", &Form::CancelBtnClick}};
        h.insert(h.end(), own);
        return h;
    }

    // The batch steps Erase (CheckBox1), Blank (CheckBox2), Write (CheckBox3)
    // and Verify (CheckBox4), each the form's own operation.
    std::vector<BatchStep> EraseBlankWriteVerify();

    // ---- checks before anything is sent -------------------------------------------------------
    // Refuses when a Device offset lies outside the chip (0 to `last`).
    void RequireDeviceOffset(std::int32_t deviceOffset, std::int32_t last);
    // Refuses when image indexes [first, first + count) leave the 8 MiB image
    // (the text names `fileOffset`).
    void RequireImageRange(std::int64_t first, std::int64_t count, std::int32_t fileOffset);

    // ---- what a read brought (`chip`, count bytes) ------------------------------------------
    // At the first byte that differs from the image from index `file` (or is not
    // FFh, its offset counted from `offset`): the check's text, VCC off,
    // ErrorFlag 1 and false.
    bool MatchesImage(std::int64_t file, const std::uint8_t* chip, int count);
    bool BlankBytes(std::int64_t offset, const std::uint8_t* chip, int count);

    // Runs a Write: an exception shows "Error..", drops what was queued, switches
    // VPP and VCC off and pins 28 (OE) and 26 (CE) low, and fails the step.
    void GuardedWrite(const std::function<void()>& write);
    // The same with the form's own switching-off after the dropped queue:
    // `offAfterError` in place of VPP, VCC, pins 28 and 26 and the flush.
    void GuardedWrite(const std::function<void()>& write, const std::function<void()>& offAfterError);

    std::uint8_t* Image(std::int64_t index) { return wb.ImageBuffer.data() + index; }
};

}  // namespace quilla
