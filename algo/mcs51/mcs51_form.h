// The frame of the 8051 parallel forms (see README.md): the package choice and
// its globals, the device table as data, the address path (latch 0 for A0..A7,
// the high address bits on the socket pins the form names) and the byte
// program as hooks, pin settings as lists, the bounded 256-byte block and byte
// loops, the progress display, the signature check in the variants the forms
// use, the batch on RunBatch, and the window pieces and standard handlers every
// 8051 window shares. A form supplies its window (ControlRows), its table, its
// power-up and mode settings and its handlers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "algo/common/form.h"
#include "algo/common/window.h"

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
    const char* Design;
    int VppPin, VccPin, GndPin;
    std::uint32_t MaskLo, MaskHi;  // bit k: socket pin k + 1, and k + 33
};
inline constexpr Package51 Dip40Package{.Design = "vex300.bit", .VppPin = 31, .VccPin = 40,
                                        .GndPin = 20, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFFu};
inline constexpr Package51 Plcc44Package{.Design = "vex300at51plcc44.bit", .VppPin = 33,
                                         .VccPin = 42, .GndPin = 20, .MaskLo = 0x7FEFFDFFu, .MaskHi = 0xFFu};

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

// How Blank and Verify judge what they read: Blank the first byte not 0xFF,
// Verify the first difference from the image (shown as
// "%04x:Error.(File=%02x,chip=%02x)" unless the pass has a fault text of its
// own). At a fault: `FaultStatus` shown (when given), ErrorFlag := 1, the
// fault's address shown, the fault's off. At the end: the end's off (before or
// after the texts), `SuccessText`, ErrorFlag := 0, the last address shown.
struct CheckPass51 {
    bool Verify = false;
    const char* FaultStatus = nullptr;
    const char* SuccessText = "OK";
    bool OffBeforeSuccess = false;
};
// Blank: "No!!!" at a fault; at the end off, then "Blank OK".
inline constexpr CheckPass51 kBlankPass51{.FaultStatus = "No!!!", .SuccessText = "Blank OK", .OffBeforeSuccess = true};
// Verify: at the end off, then "OK".
inline constexpr CheckPass51 kVerifyPass51{.Verify = true, .SuccessText = "OK", .OffBeforeSuccess = true};
// Verify: at the end "OK", then off (the Atmel forms).
inline constexpr CheckPass51 kVerifyOkFirstPass51{.Verify = true, .SuccessText = "OK", .OffBeforeSuccess = false};

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

    // ---- the address path and the byte program ------------------------------------
    // Hooks: every loop and step of the frame goes through them, so a form whose
    // chip is addressed or programmed another way (the MSU2964) overrides them.
    // The low eight address bits last set.
    std::uint8_t AddressLow = 0;
    // Latch 0 := bits 0..7, then each high bit on its socket pin, in order.
    virtual void SetAddress51(std::int32_t address);
    // AddressLow + 1 (mod 256) to latch 0; the high pins stay.
    virtual void NextAddress51();
    // One byte programmed at the address set: the data on the bus and the
    // chip's program pulse. The frame has no pulse of its own: every form
    // whose Write goes through the frame's loops overrides it (here: refused).
    virtual void ProgramByte51(std::uint8_t value);

    // ---- the read unit -----------------------------------------------------------------
    // What the read walk reads at each address it sets, and how many bytes: a
    // 256-byte block (0x20) here; a form that captures its bytes one by one
    // (64 per reply) overrides both.
    virtual int ReadUnitSize51() const { return kBlock; }
    virtual void ReadUnit51(std::uint8_t* dest) { ReadBlock(dest); }

    // ---- the standard handlers ----------------------------------------------------------
    // Bound to the controls of these names by every 8051 form (Handlers51):
    // "Read1", "Erase", "Blank", "Write", "Verify", "Secrity", "ID", "Button1"
    // (the batch, on most windows) and "CancelBtn". A form overrides those its
    // window shows; the others do nothing ("CancelBtn" closes the form).
    virtual void ReadRom() {}
    virtual void EraseClick() {}
    virtual void BlankClick() {}
    virtual void WriteClick() {}
    virtual void VerifyClick() {}
    virtual void SecrityClick() {}
    virtual void IDClick() {}
    virtual void Button1Click() {}
    virtual void CancelBtnClick() { Close(); }

    // ---- display -----------------------------------------------------------------------
    // The bar over 0..last address of the row, the address into Edit6.
    void ShowProgress(std::int32_t value);

    // The form's signature read ("ID"), for the catalogue's check of '#' lines:
    // manufacturer and device byte.
    int ReadIdForSelfCheck() override;

protected:
    // ---- the window ----------------------------------------------------------------------
    // The standard handlers, then the form's own (which take a name over), for
    // DeclareControls.
    template <class Form>
    static Handlers<Form> Handlers51(const Handlers<Form>& own = {});

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
    // Starts a = 0, `size`, ... while a < last address and a <= EndAddr: for each,
    // ShowProgress(a), SetAddress51(a), then `block(a)`; false from it stops the
    // loop (false returned).
    bool ForEachBlock(const Mcs51Row& r, const std::function<bool(std::int32_t)>& block, int size = kBlock);
    // Reads the 256-byte block at the address set (0x20) into dest.
    void ReadBlock(std::uint8_t* dest) { Ep3.UsbReadBlock(dest); }
    // The first byte of a block (of `count` bytes) that is not 0xFF, or -1.
    static int FirstNotBlank(const std::uint8_t* block, int count = kBlock);
    // The first of `count` bytes that differs from the image from `a`, or -1.
    int FirstDifference(std::int32_t a, const std::uint8_t* bytes, int count);
    // The same, showing "%04x:Error.(File=%02x,chip=%02x)" at a difference.
    int CompareBytes(std::int32_t a, const std::uint8_t* bytes, int count);
    int CompareBlock64(std::int32_t a, const std::uint8_t* bytes) { return CompareBytes(a, bytes, 64); }
    // The check pass of Blank and Verify over the read walk (ForEachBlock by the
    // read unit): each unit read and judged by `pass`, `off` at a fault; at the
    // end `endOff` (when given, else `off`).
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
    // The Read loop: the read walk, each unit into the image at its address.
    void ReadImage51(const Mcs51Row& r);
    // `count` image bytes from `a` (its address set already): ProgramByte51(image
    // byte) and NextAddress51 for each.
    void ProgramBytes51(std::int32_t a, int count);
    // The page loop of Write over ForEachBlock: every 256-byte page written whole
    // (also where it passes EndAddr or the image ends), a flush after each.
    void PageLoop51(const Mcs51Row& r);
    // Bytes i = 0, 1, ... while i <= last address: at every 256-byte boundary a
    // flush, ShowProgress(i) and SetAddress51(i); then the loop ends past EndAddr,
    // else `beforeByte(i)` (when given), ProgramByte51(image byte) and NextAddress51.
    void ByteLoop(const Mcs51Row& r, const std::function<void(std::int32_t)>& beforeByte = {});

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
    // The Write box (CheckBox3) ticked without a buffer window: "Must open a
    // file to write..." shown, false (the batch does not start).
    bool BatchFileOk51();

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

    // ---- the end of Read ----
    // `shown` as the last address, `off` (none: the supplies off), the success
    // text, the image and the form shown.
    void ReadEnd51(std::int32_t shown, const std::string& text, const std::function<void()>& off = {});

    // ---- 64-byte groups ----
    // The forms that read a reply of captures per group without setting an
    // address per group (the chip's counter, the serial protocols).
    static constexpr int kGroup51 = 64;
    using GroupCheck51 = std::function<bool(std::int32_t, const std::uint8_t*)>;
    // Groups a = 0, 64, ... while a < `limit`: ShowProgress(a), `queue(a)` (the
    // group's captures queued), the reply read into the image at a (`intoImage`)
    // or into the reply buffer, then `check(a, bytes)` when given; false from it
    // ends the loop (false).
    bool Groups51(std::int32_t limit, bool intoImage, const std::function<void(std::int32_t)>& queue,
                  const GroupCheck51& check = {});

private:
    // "%04x:Error.(File=%02x,chip=%02x)" of the image byte at `at` and the chip's.
    std::string DifferenceText(std::int32_t at, std::uint8_t chip);
    std::vector<int> highPins_;
};

// ---- the window pieces the 8051 forms share (algo/common/window.h) ----
// Edit7 "Type" (read-only), Msg (the status line, `prompt`), Edit6 (the red
// address field, `address`) and RdBar.
ControlRows StatusRows51(const char* address = "Add ", const char* prompt = "Prompt  ");
// The group "Batch   " (GroupBox1) with the boxes, ticked, and its run button
// Button1.
ControlRows BatchRows51(std::initializer_list<win::Face> boxes, const char* run = " Run  ");
// The usual batch: CheckBox1..5 "Erase ", "Blank?  ", `write`, "Vrfy", `lock`;
// its steps are kUsualBatch51.
ControlRows UsualBatchRows51(const char* lock, const char* write = "Write.");
// The same rows with the box `box` unticked at start.
ControlRows Unticked51(ControlRows rows, const char* box);
// The button sets two or more windows share: Erase, Blank?, Write, Vrfy, Lock,
// Read, Exit (the SyncMOS and Megawin windows); Erase, Blank?, Write, Vrfy,
// Read, MFG ID, Exit (the Winbond windows).
ControlRows LockReadExitButtons51();
ControlRows ReadIdExitButtons51();

// The standard handlers by control name (Mcs51Form's virtual handlers).
inline const Handlers<Mcs51Form> kHandlers51 = {
    {"Read1", &Mcs51Form::ReadRom},     {"Erase", &Mcs51Form::EraseClick},     {"Blank", &Mcs51Form::BlankClick},
    {"Write", &Mcs51Form::WriteClick},  {"Verify", &Mcs51Form::VerifyClick},   {"Secrity", &Mcs51Form::SecrityClick},
    {"ID", &Mcs51Form::IDClick},        {"Button1", &Mcs51Form::Button1Click}, {"CancelBtn", &Mcs51Form::CancelBtnClick}
};
// The usual batch's steps: CheckBox1 Erase, CheckBox2 Blank, CheckBox3 Write,
// CheckBox4 Verify, CheckBox5 Lock.
inline const Handlers<Mcs51Form> kUsualBatch51 = {
    {"CheckBox1", &Mcs51Form::EraseClick},  {"CheckBox2", &Mcs51Form::BlankClick},
    {"CheckBox3", &Mcs51Form::WriteClick},  {"CheckBox4", &Mcs51Form::VerifyClick},
    {"CheckBox5", &Mcs51Form::SecrityClick}};

template <class Form>
Handlers<Form> Mcs51Form::Handlers51(const Handlers<Form>& own) {
    Handlers<Form> all;
    for (const Handler<Mcs51Form>& h : kHandlers51) all.push_back({h.Control, h.Click});
    all.insert(all.end(), own.begin(), own.end());
    return all;
}

// The packages of the "p51" designs (the IS89C52, DS89C4x0 and DS87C520 forms).
inline constexpr Package51 P51Dip40Package{.Design = "p51dip40.bit", .VppPin = 31, .VccPin = 40,
                                           .GndPin = 20, .MaskLo = 0xFFFFFFFFu, .MaskHi = 0xFFu};
inline constexpr Package51 P51Plcc44Package{.Design = "p51plcc44.bit", .VppPin = 33, .VccPin = 42,
                                            .GndPin = 20, .MaskLo = 0x7FEFFDFFu, .MaskHi = 0xFFu};

}  // namespace quilla
