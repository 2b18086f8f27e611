// The frame of the 8051 parallel forms (see README.md): the package choice and
// its globals, the device table as data, the address path (latch 0 for A0..A7,
// the high address bits on the socket pins the form names), pin settings as
// lists, the bounded 256-byte block and byte loops, the progress display, the
// signature check in the variants the forms use, and the batch on RunBatch.
// A form supplies its controls, its table, its power-up and mode settings and
// its handlers; everything here is shared by every 8051 form.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "algo/common/form.h"

namespace quilla {

// One row of an 8051 form's device table. Every row begins with the name and
// the last code address; each form uses the further columns it needs.
struct Mcs51Row {
    std::string Name;              // row label, for reference ("1: AT89C51")
    std::int32_t LastAddress = 0;  // chip size - 1
    std::int32_t Otp = 0;          // one-time programmable: no erase
    std::int32_t Block1Start = 0;  // a second code block from here to 0xFFFF (0: none)
    std::int32_t VccMv = 0;        // the row's VCC level (0: the form's own)
    std::int32_t Family = 0;       // a family marker the form tells its rows apart by
    std::int32_t AppLast = 0;      // last address of the main array (a second array follows)
};

// A chip package the forms choose from the type text: the design it loads,
// the supply pins and the contact masks.
struct Package51 {
    const char* Name;
    const char* Design;
    int VppPin, VccPin, GndPin;
    std::uint32_t MaskLo, MaskHi;  // bit k: socket pin k + 1, and k + 33
};
inline constexpr Package51 Dip40Package{"DIP40", "vex300.bit", 31, 40, 20, 0xFFFFFFFFu, 0xFFu};
inline constexpr Package51 Plcc44Package{"PLCC44", "vex300at51plcc44.bit", 33, 42, 20, 0x7FEFFDFFu, 0xFFu};

// The package a type text asks for: the PLCC44 adapter when it holds "*P44" or
// "*Q44" anywhere, else the DIP40 socket.
const Package51& ChoosePackage(const std::string& typeText, const Package51& dip = Dip40Package,
                               const Package51& plcc = Plcc44Package);

// A socket pin at a level ({9, true}: H 9).
struct Level51 {
    int Pin;
    bool High;
};
constexpr Level51 H(int pin) { return {pin, true}; }
constexpr Level51 L(int pin) { return {pin, false}; }

// How a form checks the signature before programming.
struct IdCheck51 {
    int Bytes = 2;  // bytes shown and compared (2 or 3)
    // ErrorFlag := 0 once the signature is read.
    bool ClearsErrorFlag = true;
    // The locked question: asked before the comparison when the first two bytes
    // read FF FF (LockedFirst), else as the mismatch question when the first
    // byte reads FF.
    bool LockedFirst = true;
    const char* LockedQuestion = "Maybe locked,\nContinue.?";
    const char* WrongQuestion = "Wrong type, OK ??";
    // "No" to the wrong-type question sets ErrorFlag := 1.
    bool WrongNoSetsError = true;
};

// One button of a form's window: name, caption, handler, enabled at start.
struct Button51 {
    const char* Name;
    const char* Caption;
    std::function<void()> OnClick;
    bool Enabled = true;
};

// The button tables two or more windows share, bound to a form's handlers.
// Erase, Blank?, Write, Vrfy, Lock, Read, Exit (the SyncMOS and Megawin windows):
template <class Form>
std::vector<Button51> LockReadExitButtons51(Form* f) {
    return {{"Erase", "Erase", [f] { f->EraseClick(); }},   {"Blank", "Blank?  ", [f] { f->BlankClick(); }},
            {"Write", "Write ", [f] { f->WriteClick(); }},  {"Verify", "Vrfy", [f] { f->VerifyClick(); }},
            {"Secrity", "Lock", [f] { f->SecrityClick(); }}, {"Read1", "Read  ", [f] { f->ReadRom(); }},
            {"CancelBtn", "Exit ", [f] { f->CancelBtnClick(); }}};
}
// Erase, Blank?, Write, Vrfy, Read, MFG ID, Exit (the Winbond windows):
template <class Form>
std::vector<Button51> ReadIdExitButtons51(Form* f) {
    return {{"Erase", "Erase", [f] { f->EraseClick(); }},  {"Blank", "Blank?  ", [f] { f->BlankClick(); }},
            {"Write", "Write ", [f] { f->WriteClick(); }}, {"Verify", "Vrfy", [f] { f->VerifyClick(); }},
            {"Read1", "Read  ", [f] { f->ReadRom(); }},     {"ID", "MFG ID  ", [f] { f->IDClick(); }},
            {"CancelBtn", "Exit ", [f] { f->CancelBtnClick(); }}};
}

// ---- bound handlers ----
// A row's button or batch box bound to a handler of the form `Form`: name,
// caption, handler, enabled and visible at start.
template <class Form>
struct Handler51 {
    const char* Name;
    const char* Caption;
    void (Form::*Click)();
    bool Enabled = true;
    bool Visible = true;
};

class Mcs51Form : public AlgoForm {
public:
    static constexpr const char* kMsg = "Msg";
    static constexpr const char* kAddress = "Edit6";
    static constexpr const char* kProgress = "RdBar";
    static constexpr const char* kType = "Edit7";
    static constexpr int kBlock = 256;

    Mcs51Form(Workbench& wb, std::string caption, std::vector<int> highAddressPins);

    // ---- the device table --------------------------------------------------------
    std::vector<Mcs51Row> Table;  // row 0 is the placeholder
    // The first row a VariantIndex may name (forms with one row sized by the
    // device line use row 0).
    int FirstRow = 1;
    // Set by a setup that finds the device line's values unusable: no row is
    // selected and this is the line's error.
    std::string LineError;
    virtual void FillVariantTable() = 0;
    int VariantCount() const override;
    std::string DeviceLineError() const override;
    // The selected row, or null when VariantIndex names no device row.
    const Mcs51Row* SelectedRow() const;

    // ---- package globals (written by setup, read by handlers and contact tests) ----
    int VppPinNo = Dip40Package.VppPin;
    int VccPinNo = Dip40Package.VccPin;
    int GndPinNo = Dip40Package.GndPin;
    std::uint32_t ContactMaskLo = Dip40Package.MaskLo;
    std::uint32_t ContactMaskHi = Dip40Package.MaskHi;
    // Loads the package's design and sets the globals from it.
    void UsePackage(const Package51& p);

    // ---- the address path ------------------------------------------------------------
    // The low eight address bits last written to latch 0.
    std::uint8_t AddressLow = 0;
    // Latch 0 := bits 0..7, then each high bit on its socket pin, in order.
    void SetAddress51(std::int32_t address);
    // AddressLow + 1 (mod 256) to latch 0; the high pins stay.
    void NextAddress51();
    const std::vector<int>& HighAddressPins() const { return highPins_; }

    // ---- display -----------------------------------------------------------------------
    // The bar over 0..last address of the row, the address into Edit6.
    void ShowProgress(std::int32_t value);

    // The form's signature read ("ID"), for the catalogue's check of '#' lines:
    // manufacturer and device byte.
    int ReadIdForSelfCheck() override;

protected:
    // ---- declaration helpers ---------------------------------------------------------
    // Edit7 "Type", Msg "Prompt  " (the status line), Edit6 (address) and RdBar.
    void DeclareStatus(const std::string& addressText = "Add ");
    // The window's buttons, in order.
    void DeclareButtons51(const std::vector<Button51>& buttons);
    // The group "Batch   " with its boxes (all ticked) and the run button.
    void DeclareBatch(std::vector<std::pair<const char*, const char*>> boxes, const char* runCaption,
                      const std::function<void()>& run);

    // ---- setup pieces ---------------------------------------------------------------------
    // Fills the table and checks the selected row; a line naming no row shows one
    // message and leaves the programmer alone (false).
    bool SetupRowOk();
    // Edit7 := the type text; Msg := "OK " or "Comm Err."; the buffer window
    // shown (created when needed); the form shown.
    void SetupShow();
    // EndAddr := the row's last address; the window redrawn.
    void ShowRowRange(const Mcs51Row& r);

    // The selected row; refuses the operation (nothing sent) when there is none.
    const Mcs51Row& Row();

    // ---- pins and routines -----------------------------------------------------------------
    void SetPins(std::initializer_list<Level51> levels);
    void SetPins(const std::vector<Level51>& levels);
    // The package's contact test (test pin GndPinNo): false when refused.
    bool ContactTest();
    // The contact test with the DIP40 arguments whatever the package (test pin
    // 20, the DIP40 masks): false when refused.
    bool DipContact51();
    // VPP then VCC off every pin.
    void SuppliesOff();
    void Flush() { Ep3.UsbFlush(); }
    void Put1(std::uint8_t op) { Ep3.UsbPut1(op); }
    void Waits(std::uint8_t op, int count);
    std::uint8_t* Image(std::int32_t index) { return wb.ImageBuffer.data() + index; }

    // The buffer window's end address; a window freed since setup is shown again
    // first (its new end address then bounds nothing below the chip's end).
    std::int32_t EndAddr();

    // ---- the loops ------------------------------------------------------------------------
    // Block starts a = 0, 256, ... while a < last address and a <= EndAddr: for each,
    // ShowProgress(a), SetAddress51(a), then `block(a)`; false from it stops the
    // loop (false returned).
    bool ForEachBlock(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block);
    // Reads the 256-byte block at the address set (0x20) into dest.
    void ReadBlock(std::uint8_t* dest) { Ep3.UsbReadBlock(dest); }
    // The first byte of a block (of `count` bytes) that is not 0xFF, or -1.
    static int FirstNotBlank(const std::uint8_t* block, int count = kBlock);
    // Compares a block with the image from `a`: at the first difference shows
    // "%04x:Error.(File=%02x,chip=%02x)" and returns its offset, else -1.
    int CompareBlock(std::int32_t a, const std::uint8_t* block) { return CompareBytes(a, block, kBlock); }
    // The same over `count` bytes (the forms that read 64 bytes per reply).
    int CompareBytes(std::int32_t a, const std::uint8_t* bytes, int count);
    int CompareBlock64(std::int32_t a, const std::uint8_t* bytes) { return CompareBytes(a, bytes, 64); }
    // The check pass of Blank and Verify: each block read (0x20) and judged (Blank:
    // the first byte not 0xFF; Verify: the first difference from the image). At a
    // fault: `FaultStatus` shown (when given), ErrorFlag := 1, the fault's address
    // shown, the fault's `off()`, false. At the end: the end's off (before or after
    // the texts), the success text, ErrorFlag := 0, the last address shown; true.
    struct CheckPass51 {
        bool Verify = false;
        const char* FaultStatus = nullptr;
        const char* SuccessText = "OK";
        bool OffBeforeSuccess = false;
    };
    // Blank: "No!!!" at a fault; at the end off, then "Blank OK".
    static constexpr CheckPass51 kBlankPass51{false, "No!!!", "Blank OK", true};
    // Verify: at the end off, then "OK".
    static constexpr CheckPass51 kVerifyPass51{true, nullptr, "OK", true};
    // Verify: at the end "OK", then off (the Atmel forms).
    static constexpr CheckPass51 kVerifyOkFirstPass51{true, nullptr, "OK", false};
    // The pass over ForEachBlock; `endOff` (when given) is the end's off, else `off`.
    bool CheckBlocks51(const Mcs51Row& r, const CheckPass51& pass, const std::function<void()>& off,
                       const std::function<void()>& endOff = {});
    // The two halves, for a form that walks the chip its own way: one block of
    // `count` bytes judged (true: go on; at a fault the fault steps above, false),
    // and the passed end showing `shown` as the last address.
    bool BlockChecked51(const CheckPass51& pass, std::int32_t a, const std::uint8_t* block,
                        const std::function<void()>& off, int count = kBlock);
    void PassEnd51(const CheckPass51& pass, std::int32_t shown, const std::function<void()>& off);
    bool BlankBlocks51(const Mcs51Row& r, const std::function<void()>& off,
                       const std::function<void()>& endOff = {}) {
        return CheckBlocks51(r, kBlankPass51, off, endOff);
    }
    bool VerifyBlocks51(const Mcs51Row& r, const std::function<void()>& off) {
        return CheckBlocks51(r, kVerifyOkFirstPass51, off);
    }
    // The Read loop over ForEachBlock: each block read into the image at its address.
    void ReadImage51(const Mcs51Row& r) {
        ForEachBlock(r, [this](std::int32_t a) {
            ReadBlock(Image(a));
            return true;
        });
    }
    // `count` image bytes from `a` (its address set already): `program(image byte)`
    // and NextAddress51 for each.
    void ProgramBytes51(std::int32_t a, int count, const std::function<void(std::uint8_t)>& program);
    // The page loop of Write over ForEachBlock: every 256-byte page written whole
    // (also where it passes EndAddr or the image ends), a flush after each.
    void PageLoop51(const Mcs51Row& r, const std::function<void(std::uint8_t)>& program);
    // Bytes i = 0, 1, ... while i <= last address: at every 256-byte boundary a
    // flush, ShowProgress(i) and SetAddress51(i); then the loop ends past EndAddr,
    // else `program(image byte)` and NextAddress51.
    void ByteLoop(const Mcs51Row& r, const std::function<void(std::uint8_t)>& program);

    // ---- the signature ----------------------------------------------------------------------
    // Runs the form's signature read (LastReadId), then the check: 1 go on, 0 stop.
    // A "No" also marks the step failed, so a batch pass ends uncounted.
    int CheckDeviceIdWith(const IdCheck51& c, const std::function<void()>& readSignature);
    std::array<std::uint8_t, 4>& LastReadId() { return wb.sel.LastReadId; }
    const std::array<std::uint8_t, 4>& ExpectedId() const { return wb.sel.ExpectedId; }

    // ---- the batch ----------------------------------------------------------------------------
    // RunBatch with the next-chip wait on the package's contact arguments.
    void RunBatch51(const std::vector<BatchStep>& steps, bool massLoop = true);
    // The same with the DIP40 arguments (the forms whose contact tests use them).
    void RunBatchDip51(const std::vector<BatchStep>& steps, bool massLoop = true);

    // The signature read FF FF: "Device may be locaked..." asked; "No" sets
    // ErrorFlag := 1 (false: stop). Any other signature goes on.
    bool LockedSignatureOk51();

    // A Yes/No question; true for Yes.
    bool Ask(const std::string& question) { return wb.prompts.AskYesNo(question); }

    // ---- the signature's other readings ----
    // Asked by CheckDeviceIdWith once the comparison failed: true takes the
    // signature read as the expected one (a part's revisions with another last
    // byte). None: only the expected bytes pass.
    std::function<bool()> IdAlsoAccepted51;

    // ---- the usual batch ----
    // The group "Batch   " with CheckBox1..5 (Erase, Blank?, `write`, Vrfy, `lock`)
    // and the run button " Run  ".
    void DeclareBatch51(const char* lock, const std::function<void()>& run, const char* write = "Write.");
    // The steps those boxes tick, bound to the form's handlers.
    template <class Form>
    static std::vector<BatchStep> BatchSteps51(Form* f) {
        return {{"CheckBox1", [f] { f->EraseClick(); }}, {"CheckBox2", [f] { f->BlankClick(); }},
                {"CheckBox3", [f] { f->WriteClick(); }}, {"CheckBox4", [f] { f->VerifyClick(); }},
                {"CheckBox5", [f] { f->SecrityClick(); }}};
    }
    // ---- the batch's file check ----
    // The Write box ticked without a buffer window: "Must open a file to write..."
    // shown, false (the batch does not start).
    bool BatchFileOk51();

    // ---- bound handlers ----
    template <class Form>
    static std::function<void()> Bind51(Form* f, void (Form::*click)()) {
        return [f, click] { (f->*click)(); };
    }
    // The buttons, in order (in `group` when given).
    template <class Form>
    void DeclareButtons51(Form* f, const std::vector<Handler51<Form>>& buttons, const std::string& group = "") {
        for (const Handler51<Form>& b : buttons) {
            FormControl& c = AddButton(b.Name, b.Caption, Bind51(f, b.Click), group);
            c.Enabled = b.Enabled;
            c.Visible = b.Visible;
        }
    }
    // The group "Batch   " with the boxes (ticked) and the run button.
    template <class Form>
    void DeclareBatch(Form* f, const std::vector<Handler51<Form>>& boxes, const char* runCaption, void (Form::*run)()) {
        std::vector<std::pair<const char*, const char*>> named;
        for (const Handler51<Form>& b : boxes) named.emplace_back(b.Name, b.Caption);
        DeclareBatch(named, runCaption, Bind51(f, run));
    }
    // The steps the boxes tick, bound to their handlers.
    template <class Form>
    static std::vector<BatchStep> BatchSteps51(Form* f, const std::vector<Handler51<Form>>& boxes) {
        std::vector<BatchStep> steps;
        for (const Handler51<Form>& b : boxes) steps.push_back({b.Name, Bind51(f, b.Click)});
        return steps;
    }

    // ---- the end of Read ----
    // `shown` as the last address, `off` (none: the supplies off), the success
    // text, the image and the form shown.
    void ReadEnd51(std::int32_t shown, const std::string& text, const std::function<void()>& off = {});

    // ---- 64-byte groups ----
    // The forms that read a reply of captures per group (no 256-byte block read).
    static constexpr int kGroup51 = 64;
    using GroupCheck51 = std::function<bool(std::int32_t, const std::uint8_t*)>;
    // Groups a = 0, 64, ... while a < `limit`: ShowProgress(a), `queue(a)` (the
    // group's captures queued), the reply read into the image at a (`intoImage`)
    // or into the reply buffer, then `check(a, bytes)` when given; false from it
    // ends the loop (false).
    bool Groups51(std::int32_t limit, bool intoImage, const std::function<void(std::int32_t)>& queue,
                  const GroupCheck51& check = {});

private:
    std::vector<int> highPins_;
};

}  // namespace quilla
