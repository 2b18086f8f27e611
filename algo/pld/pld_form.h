// The frame of the logic-device forms (GAL 16V8/20V8, PALCE16V8, 22V10 and
// 22CV10): a device table indexed by VariantIndex (row 0 a placeholder), the
// window every one of them has (seven operations, status "Msg", address
// "Edit6", type "Edit7", progress "RdBar", the "Batch   " group), the fuse
// map in the image (one '0'/'1' character per fuse) shown in the fuse-map
// window, one row buffer, and the one-pass " Run  " batch.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "algo/common/form.h"

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

    // The window: the seven operations and the batch (boxes ticked as given).
    struct Handlers {
        std::function<void()> read, write, verify, erase, blank, lock, run;
    };
    void DeclareWindow(const Handlers& h, const std::array<bool, 5>& ticked);

    // Setup's first step: builds the table and checks the device line. An
    // invalid line shows one message (and the status text) and sends nothing.
    bool CheckDeviceLine();
    // The selected row; refuses when the line names none this form can work.
    const VariantRecord& Row();
    void ShowConnection() { Status(Ep3.Connected ? "OK " : "Comm Err."); }
    // Frees the buffer window, creates the fuse-map window when needed (the
    // '1' fill) and shows the row's geometry: FuseCols R, FuseRows B.
    FuseWindowState& ShowFuseWindow(const VariantRecord& r);

    // VPP off before VCC (the chip never sees its programming voltage without
    // its supply).
    void SuppliesOff();
    // Write's check of the map: every fuse it writes must be '0' or '1'; the
    // first other one refuses the operation, naming it, before anything is sent.
    void RequireFuseCharacters(const std::vector<int>& fuses);
    // One pass of the ticked steps per click (no mass-production loop).
    void RunOnePass(const std::vector<BatchStep>& steps) { RunBatch(steps, [] { return false; }, false); }

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
