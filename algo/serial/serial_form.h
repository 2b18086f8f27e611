// The frame of the serial-EEPROM forms (Microwire 93Cxx, I2C 24Cxx, SPI 25xxx
// and X5045): a device table indexed by VariantIndex with row 0 a
// placeholder, the window's common fields (status "Msg", address "Edit6",
// type "Edit7", progress "RdBar"), the write-wait table of the speed items,
// the voltage group, the one-pass " Run " batch and the presence check that
// keeps an empty socket from passing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "algo/common/window.h"

namespace quilla {

class SerialForm : public AlgoForm {
public:
    static constexpr const char* kMsg = "Msg";
    static constexpr const char* kAddress = "Edit6";
    static constexpr const char* kType = "Edit7";
    static constexpr const char* kProgress = "RdBar";
    // Waits queued per written byte (word, page) for the items of a speed group.
    static constexpr std::array<int, 6> WaitTable{1, 2, 5, 10, 20, 50};
    static const std::vector<std::string> SpeedItems;  // "1  ms/byte" .. "50 ms/byte "
    // Shown when the chip gives no sign of being there.
    static constexpr const char* NoChipText = "No chip answers.";

    SerialForm(Workbench& wb, std::string caption);

    // ---- for the catalogue self-check ----------------------------------------------
    int VariantCount() const override { return TableSize(); }
    std::string DeviceLineError() const override;

    // Builds the rows (the form's values, row 0 the placeholder).
    virtual void FillVariantTable() = 0;

    // RdBar over 0..max at i, and i in Edit6.
    void ShowProgress(int i, int max);

    // ---- the window (algo/common/window.h) --------------------------------------------
    // The operations every serial window has (Read1, Write, Verify), each the
    // form's own.
    virtual void ReadRom() = 0;
    virtual void WriteClick() = 0;
    virtual void VerifyClick() = 0;
    // Their handlers, and CancelBtn's (closing the form) where the window has it.
    static const Handlers<SerialForm>& Operations();
    // The fields every serial window ends with: progress, address, type, status.
    static ControlRows StatusFields();
    // The radio group "Speed" with the six speed items.
    static ControlRow Speed(const char* caption, int index);
    // The group "Batch   ": the boxes given, then Button1 " Run ".
    static ControlRows Batch(ControlRows boxes);

protected:
    // Rows of the table, the placeholder included.
    virtual int TableSize() const = 0;
    // The device line's key values ("len=", "vcc=", ...): empty when valid,
    // else one message naming the key and value.
    virtual std::string KeyError() const { return {}; }

    // The selected row (1..TableSize() - 1); refuses when the line names none.
    int RowIndex();
    // Setup's first step: builds the table and checks the device line. An
    // invalid line shows one message (and the status text) and sends nothing.
    bool CheckDeviceLine();
    // "OK " or "Comm Err." in the status field, from the engine's connection.
    void ShowConnection();

    // Waits of the "Speed" item (WaitTable).
    int SpeedWaits() const;
    // Queues n waits of one opcode.
    void QueueWaits(std::uint8_t op, int n);
    // The supply level of a voltage group's item: "5V", "3.3V", "2.5V".
    static int VoltageMv(int item);

    // Ends the operation with a message box (the status field keeps its text);
    // a batch pass counts it as failed.
    [[noreturn]] void RefuseWithMessage(const std::string& text);
    // Ends the operation when no chip answered: ErrorFlag 1, NoChipText.
    void RequirePresence(bool answered);
    // After the operation's own contact test: when the options switch that test
    // off, an empty socket would pass, so the given pins (the row's supply and
    // ground) are tested anyway. Not on the vex310.
    void RequireContactPresence(int gnd, std::uint32_t lo, std::uint32_t hi);
    // One pass of the ticked steps per click (no mass-production loop).
    void RunOnePass(const std::vector<BatchStep>& steps) { RunBatch(steps, [] { return false; }, false); }

    std::uint8_t* Image(int index) { return wb.ImageBuffer.data() + index; }
};

}  // namespace quilla
