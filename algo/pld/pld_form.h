// The frame of the logic-device forms (GAL 16V8/20V8, PALCE16V8, 22V10 and
// 22CV10): a device table indexed by VariantIndex (row 0 a placeholder), the
// window every one of them has (seven operations, status "Msg", address
// "Edit6", type "Edit7", progress "RdBar", the "Batch   " group), the fuse
// map in the image (one '0'/'1' character per fuse) shown in the fuse-map
// window, one row buffer, and the one-pass " Run  " batch.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "algo/common/form.h"
#include "algo/common/window.h"

namespace quilla {

struct FuseWindowState;

// One row of a form's device table. It lives in its own namespace: the socket
// forms have a row type of the same name, and two definitions of one class in
// one program would have the linker merge their inline members.
namespace pld {
struct VariantRecord {
    std::string Name;
    int Vpp = 0;      // mV
    int VppPin = 0;
    int VccPin = 0;
    std::uint8_t PldProtocol = 0;  // 1 16V8 style, 2 20V8 style, 3 22V10 serial
    int Rows = 0;     // R
    int Bits = 0;     // B, bits per row
};
}  // namespace pld
using pld::VariantRecord;

class PldForm : public AlgoForm {
public:
    static constexpr const char* kMsg = "Msg";
    static constexpr const char* kAddress = "Edit6";
    static constexpr const char* kType = "Edit7";
    static constexpr const char* kProgress = "RdBar";
    static constexpr int FuseRowMax = 132;
    static constexpr int GroundPin = 20;

    PldForm(Workbench& wb, std::string caption);

    // ---- for the catalogue self-check ----------------------------------------------
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;

    void OnClose() override { Ep3.PowerOff(); }

    // "%04d" of a value (a negative value shows as 0) into an edit.
    void ShowAddress(const std::string& edit, int value);
    // RdBar over 0..R·B at value, and value in Edit6.
    void ShowProgress(int value);

    // Builds the rows (the form's values, row 0 the placeholder).
    virtual void FillVariantTable() = 0;

    std::vector<VariantRecord> Table;
    std::array<char, FuseRowMax> FuseRowBuffer{};

protected:
    // Whether this form can work a row of its table (rows without geometry,
    // or with a row protocol the form does not speak, are refused).
    virtual bool Workable(const VariantRecord& r) const = 0;
    // The JEDEC fuse count ("QF") of a row's device, which the fuse window
    // compares with a loaded file's; 0 when the form does not know it.
    virtual int JedecFuses(const VariantRecord& r) const {
        (void)r;
        return 0;
    }

    // ---- the operations of every logic-device form ----------------------------------
    virtual void ReadRom() = 0;
    virtual void WriteClick() = 0;
    virtual void VerifyClick() = 0;
    virtual void EraseClick() = 0;
    virtual void BlankClick() = 0;
    virtual void SecrityClick() = 0;
    // " Run  ": one pass of the ticked steps. Where the form asks for it a
    // ticked Write needs the fuse-map window first, and Blank? runs only
    // without Erase.
    void Button1Click();
    virtual bool BatchChecksWindow() const { return true; }
    virtual bool BlankAfterErase() const { return true; }
    // The chip powered for programming (its pins, VCC, VPP).
    virtual void PowerUpPld(const VariantRecord& r) = 0;
    // Programs `n` bits of FuseRowBuffer into fuse row `row`.
    virtual void ShiftFuseRow(const VariantRecord& r, int row, int n) = 0;

    // ---- the window (algo/common/window.h) ------------------------------------------
    // The batch's boxes ticked when the window opens.
    struct BatchTicks {
        bool Erase = true, Blank = true, Write = true, Verify = true, Lock = true;
    };
    // The window every logic-device form has: the seven operations, the fields
    // and the batch; the handlers of its controls, each the form's operation.
    static ControlRows Window(BatchTicks ticked);
    static const Handlers<PldForm>& Operations();

    // Setup's first step: builds the table and checks the device line. An
    // invalid line shows one message (and the status text) and sends nothing.
    bool CheckDeviceLine();
    // The selected row; refuses when the line names none this form can work.
    const VariantRecord& Row();
    void ShowConnection() { Status(Ep3.Connected ? "OK " : "Comm Err."); }
    // Frees the buffer window, creates the fuse-map window when needed (the
    // '1' fill) and shows the row's geometry: FuseCols R, FuseRows B, and its
    // JEDEC fuse count.
    FuseWindowState& ShowFuseWindow(const VariantRecord& r);
    // The setup after the device-line check: the connection status, `design`,
    // 5 V and the row's VPP, the fuse-map window (a new one shows the row's
    // name first), then `typeText` in the type field. Gives the row.
    const VariantRecord& SetupWindow(const char* design, const std::string& typeText);

    // Power-up and the over-current check; false (the step failed) on a fault.
    bool PowerUpChecked(const VariantRecord& r);
    // Write and the batch need the fuse-map window: without one `message`, the
    // step fails, false.
    bool NeedFuseWindow(const char* message);

    // ---- the fuse array: fuse of row i, bit j is i + rows·j -------------------------
    // Rows 0..rows-1 read in turn (`readRow(i)` fills FuseRowBuffer), each
    // row's start shown as progress when `progress`; the first bit j of row i
    // that `ok(i, j)` refuses ends the scan: {i, j}.
    std::optional<std::pair<int, int>> FindInArray(int rows, int bits, const std::function<void(int)>& readRow,
                                                   const std::function<bool(int, int)>& ok, bool progress = true);
    // Every bit of the array reads 1; else "Not blank..", ErrorFlag 1, the
    // progress at the bit, the supplies off, false.
    bool ArrayBlank(int rows, int bits, const std::function<void(int)>& readRow);
    // Every row read into the map, each row's start shown as progress.
    void ReadArrayIntoMap(int rows, int bits, const std::function<void(int)>& readRow);
    // Every row programmed from the map, each row's start shown as progress.
    void ShiftArrayFromMap(const VariantRecord& r, int rows, int bits);
    // Fuses first..first+n-1 programmed as row `row`; the first n bits read
    // from the buffer into fuses first.. .
    void ShiftFuseRange(const VariantRecord& r, int row, int first, int n);
    void FuseRangeFromBuffer(int first, int n);
    // The map filled with `c` before a read.
    void FillFuseMap(std::uint8_t c);
    // The end of a read: the supplies off, "Data in buffer..", the map's
    // architecture marked read or not.
    void EndRead(const VariantRecord& r, bool architectureUnread);

    // VPP off before VCC (the chip never sees its programming voltage without
    // its supply).
    void SuppliesOff();
    // Write's check of the map: every fuse it writes must be '0' or '1'; the
    // first other one refuses the operation, naming it, before anything is sent.
    void RequireFuseCharacters(const std::vector<int>& fuses);

    std::uint8_t& Fuse(int n) { return wb.ImageBuffer[static_cast<std::size_t>(n)]; }
    // Queues a clock pulse: the pin high, then low.
    void Clock(int pin) {
        Ep3.PinHigh(pin);
        Ep3.PinLow(pin);
    }
    void QueueWaits(std::uint8_t op, int n) {
        for (int k = 0; k < n; ++k) Ep3.UsbPut1(op);
    }

    int progressMax_ = 0;
};

}  // namespace quilla
