#include "algo/memory/memory_form.h"

#include <utility>

#include "algo/common/scan.h"
#include "engine/fatal.h"

namespace quilla {

MemoryForm::MemoryForm(Workbench& w, std::string caption) : AlgoForm(w, std::move(caption)) {}

// ---- rows -------------------------------------------------------------------------------------

ControlRow MemoryForm::TypeField() { return win::ReadOnly(win::Edit({kType}, "Type")); }

ControlRow MemoryForm::TickedBox(win::Face face) { return win::Box(face, true); }

ControlRows MemoryForm::BatchGroup(ControlRows boxes, const char* run) {
    return win::Join({{win::Group({"GroupBox1", "Batch   "})},
                      win::In("GroupBox1", std::move(boxes)),
                      {win::PushButton({"Button1", run}, "GroupBox1")}});
}

ControlRows MemoryForm::StatusFoot(bool exit) {
    return {win::Progress(kProgress), win::Red(win::ReadOnly(win::Edit({kAddress}, "Add "))),
            win::Status(kMessage, "Prompt  "), win::If(exit, win::PushButton({"CancelBtn", "Exit"}))};
}

ControlRows MemoryForm::OperationButtons(std::initializer_list<Op> order) {
    ControlRows rows;
    for (Op op : order) {
        switch (op) {
            case Op::Read: rows.push_back(win::PushButton({"ReadButton", "Read  "})); break;
            case Op::Blank: rows.push_back(win::PushButton({"Blank", "Blank?"})); break;
            case Op::Erase: rows.push_back(win::PushButton({"Erase", "Erase"})); break;
            case Op::Write: rows.push_back(win::PushButton({"Write", "Write "})); break;
            case Op::Verify: rows.push_back(win::PushButton({"Verify", "Vrfy."})); break;
            case Op::Id: rows.push_back(win::PushButton({"MFG", " ID   "})); break;
        }
    }
    return rows;
}

ControlRows MemoryForm::EraseBlankWriteVerifyBoxes() {
    return {TickedBox({"CheckBox1", "Ers."}), TickedBox({"CheckBox2", "Blank?"}), TickedBox({"CheckBox3", "W."}),
            TickedBox({"CheckBox4", "Vrfy"})};
}

std::vector<AlgoForm::BatchStep> MemoryForm::EraseBlankWriteVerify() {
    return BatchSteps<MemoryForm>(this, {{"CheckBox1", &MemoryForm::EraseClick},
                                         {"CheckBox2", &MemoryForm::BlankClick},
                                         {"CheckBox3", &MemoryForm::WriteClick},
                                         {"CheckBox4", &MemoryForm::VerifyClick}});
}

// ---- checks -----------------------------------------------------------------------------------

void MemoryForm::RequireDeviceOffset(std::int32_t deviceOffset, std::int32_t last) {
    if (deviceOffset < 0 || deviceOffset > last)
        Refuse("Device offset " + HexPlain(deviceOffset) + " beyond the chip (0 to " + HexPlain(last) + ")");
}

void MemoryForm::RequireImageRange(std::int64_t first, std::int64_t count, std::int32_t fileOffset) {
    if (count <= 0) return;
    if (first < 0 || first + count > ImageSize)
        Refuse("File offset " + HexPlain(fileOffset) + " runs past the 8M buffer");
}

bool MemoryForm::MatchesImage(std::int64_t file, const std::uint8_t* chip, int count) {
    for (int i = 0; i < count; ++i) {
        const std::uint8_t want = *Image(file + i);
        if (chip[i] != want) {
            Status(MismatchText(file + i, want, chip[i]));
            Ep3.VccPin(0);
            wb.ErrorFlag() = 1;
            return false;
        }
    }
    return true;
}

bool MemoryForm::BlankBytes(std::int64_t offset, const std::uint8_t* chip, int count) {
    for (int i = 0; i < count; ++i) {
        if (chip[i] != 0xFF) {
            Status(NotBlankText(offset + i, chip[i]));
            Ep3.VccPin(0);
            wb.ErrorFlag() = 1;
            return false;
        }
    }
    return true;
}

// ---- the write guard --------------------------------------------------------------------------

void MemoryForm::GuardedWrite(const std::function<void()>& write) {
    // VPP goes off with VCC.
    GuardedWrite(write, [this] {
        Ep3.VppPin(0);
        Ep3.VccPin(0);
        Ep3.PinLow(28);
        Ep3.PinLow(26);
        Ep3.UsbFlush();
    });
}

void MemoryForm::GuardedWrite(const std::function<void()>& write, const std::function<void()>& offAfterError) {
    try {
        write();
    } catch (const FatalExit&) {
        throw;
    } catch (const Refused&) {
        throw;
    } catch (const std::exception&) {
        // What was queued of the broken write is dropped, not sent.
        Status("Error..");
        StepFailed();
        Ep3.DropQueue();
        offAfterError();
    }
}

}  // namespace quilla
