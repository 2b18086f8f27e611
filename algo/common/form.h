// The headless algorithm form. A form declares its controls once (name,
// caption, kind) with their handlers; one generic Qt view renders any form,
// and tests drive it by control name: click a button, type into an edit, tick
// a box, choose a radio item, read the status text.
//
// Every device family builds on this: the operation skeleton (contact test,
// supplies, over-current check, work loop with progress and address display,
// supplies off), the " Run " batch and the exception guard are here once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/workbench.h"
#include "catalog/form.h"

namespace quilla {

enum class ControlKind {
    Button,    // a push button: OnClick
    Check,     // a check box: Checked
    Radio,     // a radio group: Items, ItemIndex
    Edit,      // a one-line edit with its label (Caption): Text, OnExit, OnKeyDown
    Combo,     // a drop-down list: Items, ItemIndex, Text
    Progress,  // a progress bar: Min, Max, Position
    Label,     // a plain label: Caption
    Status,    // a read-only status field: Text
    Group,     // a group box; controls name it in their Group
    ListBox,   // a list of lines: Items, the selected line (ItemIndex), OnClick
               // after a click on a line
    Text,      // a read-only text view of lines (Items): appended and cleared by the form
    Grid,      // a two-column grid: fixed row names (RowNames), cell texts (Items),
               // the clicked row (ItemIndex); OnClick after a click on a cell
};

struct FormControl {
    std::string Name;
    std::string Caption;
    ControlKind Kind = ControlKind::Label;
    std::string Group;  // name of the group box it sits in, empty for the form itself

    std::string Text;
    bool Checked = false;
    std::vector<std::string> Items;
    int ItemIndex = -1;
    std::vector<std::string> RowNames;  // grids: the fixed first column
    int Min = 0, Max = 100, Position = 0;

    bool Enabled = true;
    bool Visible = true;
    bool ReadOnly = false;
    bool Emphasis = false;  // drawn in red (the address display)

    std::function<void()> OnClick;          // buttons; boxes and radio groups after a change
    std::function<void()> OnExit;           // edits: leaving the field
    std::function<void(int key)> OnKeyDown; // edits: a key pressed in the field
};

// One control of a window declared as a table (AlgoForm::DeclareControls): each
// kind reads the fields it needs.
struct ControlRow {
    ControlKind Kind = ControlKind::Label;
    std::string Name{};
    std::string Caption{};             // buttons, boxes, groups, labels; an edit's label
    std::string Group{};               // the group box it sits in; empty: the form itself
    std::string Text{};                // edits and the status field
    bool Ticked = false;               // boxes
    std::vector<std::string> Items{};  // radio groups and combos; a grid's row names
    int Index = -1;                    // the chosen item of a radio group or combo
    std::vector<std::string> Cells{};  // a grid's cells
    bool ReadOnly = false;             // edits
    bool Emphasis = false;             // drawn in red (the address field)
    bool Enabled = true, Visible = true;
    std::function<void()> Click{};     // buttons; the others after a change
    std::function<void()> Exit{};      // edits: leaving the field
    std::function<void(int key)> KeyDown{};  // edits: a key pressed in the field
    bool Present = true;               // false: this window leaves it out
};
using ControlRows = std::vector<ControlRow>;

// A handler of the form `Form` for the control of its name: a button's click;
// a box's, radio group's or list's change; a grid cell's click.
template <class Form>
struct Handler {
    const char* Control;
    void (Form::*Click)();
};
template <class Form>
using Handlers = std::vector<Handler<Form>>;

// What the Qt view does for a form; headless runs leave it unset.
class FormView {
public:
    virtual ~FormView() = default;
    virtual void Repaint(const FormControl& c) { (void)c; }  // a control changed: paint it now
    virtual void CaptionChanged() {}
    virtual void Shown() {}   // shown and brought to the front
    virtual void Hidden() {}
};

// Thrown by a guarded handler that refuses to go on (the text is already shown).
struct Refused {};

class AlgoForm : public AlgorithmForm {
public:
    AlgoForm(Workbench& wb, std::string caption);
    virtual ~AlgoForm();
    AlgoForm(const AlgoForm&) = delete;
    AlgoForm& operator=(const AlgoForm&) = delete;

    // ---- what the dispatch calls (SetupForDevice comes from AlgorithmForm) ----
    void Show() override;

    // Closing ("Exit" or the close box): OnClose switches the outputs off, then
    // the form hides. The object lives on.
    void Close();
    virtual void OnClose() {}

    // The form became the active window (the view tells it; a form shown
    // without a window host counts as activated when it is shown).
    void Activate();
    virtual void OnActivate() {}

    bool IsShown() const { return shown_; }
    const std::string& Caption() const { return caption_; }

    // Notes the EndAddr the setup left: the device's last image address, as
    // far as the file check of Write and Verify is concerned; and the
    // programmer the setup was made on (its arrival on the link).
    void DeviceSetUp() override;
    // A programmer unplugged and plugged in again since the form was set up
    // powered up afresh, without the design and levels the setup gave it: a
    // click then sends nothing (the operation fails at its first transfer with
    // this text) until the device is selected again.
    static constexpr const char* ReplugRefusal = "The programmer was plugged in again: select the device again";

    // The first image address past the chip (beyond the EndAddr the setup
    // left, outside the form's SideAreas) at which the last load stored data;
    // -1 when there is none, no buffer window or no noted end.
    std::int64_t FileDataBeyondChip() const;

    // ---- driving by control name (tests and the generic view) ----------------
    // A click on a hidden or disabled control does nothing. While a batch waits
    // for the next chip (Ep3.WaitingForChip()) no control runs its handler but
    // the Exit button (kExitButton), which closes its form and so ends the
    // batch: a box or list changed then goes back as it was. Handlers never let
    // an exception escape (the fatal link end excepted).
    static constexpr const char* kExitButton = "CancelBtn";
    void Click(const std::string& name);
    void SetText(const std::string& name, const std::string& text);  // typing, no exit
    void Leave(const std::string& name);                             // leaving an edit
    void Enter(const std::string& name, const std::string& text);    // type and leave
    void KeyDown(const std::string& name, int key);
    void SetChecked(const std::string& name, bool on);
    void Choose(const std::string& name, int index);
    // A click on a grid's cell of row `row` (nothing outside the grid).
    void ClickCell(const std::string& name, int row);

    std::string Text(const std::string& name) const;
    bool Checked(const std::string& name) const;
    int ItemIndex(const std::string& name) const;
    // A box counts as ticked only when it is ticked, visible and enabled, and so
    // is the group box it sits in.
    bool Ticked(const std::string& name) const;

    bool Has(const std::string& name) const;
    const FormControl& Get(const std::string& name) const;
    FormControl& Get(const std::string& name);
    const std::vector<std::unique_ptr<FormControl>>& Controls() const { return controls_; }

    void SetView(FormView* v) { view_ = v; }
    FormView* View() const { return view_; }

    // The status field's name ("Message" in the memory forms).
    const std::string& StatusName() const { return statusName_; }

    // Passes the batch counted since the form was created.
    int PassesCounted() const { return passesCounted_; }

    // Told of every success text the form shows (tests check what it promises).
    void SetSuccessListener(std::function<void(const std::string&)> f) { successListener_ = std::move(f); }

    // Writes a text into a control and paints it (helpers such as the offsets
    // window use it).
    void PutText(const std::string& name, const std::string& text) { Put(name, text); }
    // Ticks or unticks a box from the program (no click handler runs) and paints it.
    void PutChecked(const std::string& name, bool on);
    // An address edit: "%04x" of the value, a negative value as 0000 (the
    // memory and logic-device frames show theirs with other widths).
    void ShowAddress(const std::string& edit, std::int32_t value);
    // Declares the window (algo/common/window.h): the rows in order, each one
    // that is Present, with its click, emphasis, enabled and visible state.
    void DeclareControls(const ControlRows& rows);
    // The same, then each handler bound to the control of its name.
    template <class Form>
    void DeclareControls(const ControlRows& rows, Form* f, const Handlers<Form>& handlers) {
        DeclareControls(rows);
        BindHandlers(f, handlers);
    }
    // Each handler bound to the control of its name; a name this window does
    // not show is passed over (the forms of a family share one table).
    template <class Form>
    void BindHandlers(Form* f, const Handlers<Form>& handlers) {
        for (const Handler<Form>& h : handlers)
            if (FormControl* c = Find(h.Control)) c->OnClick = [f, click = h.Click] { (f->*click)(); };
    }

protected:
    // A text view's lines: one more at the end, or none.
    void AppendLine(const std::string& name, const std::string& line);
    void ClearLines(const std::string& name);
    // ---- updates, painted at once -----------------------------------------------
    void Put(const std::string& name, const std::string& text);
    void Status(const std::string& text) { Put(statusName_, text); }
    // Every success text goes through here ("OK!", "Data OK!", "Blank.", "End OK..").
    // What is queued is sent first; a transfer lost since the last read takes the
    // broken-link end instead, so no success is shown for work the programmer may
    // not have done.
    void Success(const std::string& text);
    // The same for a form that shows its results as lines of a text view.
    void SuccessLine(const std::string& view, const std::string& text);
    void SetProgress(const std::string& name, int min, int max, int position);
    // Writes a label's caption (or any control's) and paints it.
    void PutCaption(const std::string& name, const std::string& caption);
    // Writes the text of a grid's cell (rows outside the grid are ignored).
    void PutCell(const std::string& name, int row, const std::string& text);
    void SetCaption(const std::string& caption);
    // Shows or hides, enables or disables a control (a hidden or disabled box
    // counts as unticked).
    void SetVisible(const std::string& name, bool on);
    void SetEnabled(const std::string& name, bool on);
    void Repaint(const FormControl& c);

    // The device-line error of a VariantIndex that names no row of the form's
    // table ("Bad device line: variant N of KEYWORD is not in the device table").
    std::string VariantNotInTable() const;
    // Setup's check of the device line: its error (DeviceLineError) shown in
    // the status field and as a message gives false, before anything is sent.
    bool AcceptDeviceLine();

    // Family rule 12: when the options switch the engine's contact test off (and
    // mass production is off), an operation on which an empty socket would pass
    // tests the given pins (the row's supply and ground) anyway. False when no
    // chip touches them (the engine has shown its message); true otherwise.
    bool ContactPresent(int gnd, std::uint32_t lo, std::uint32_t hi);

    // ---- failure bookkeeping ----------------------------------------------------
    // Refuse the running operation: shows `text` in the status field, marks the
    // step failed (a batch pass then ends without counting) and unwinds.
    [[noreturn]] void Refuse(const std::string& text);
    // Marks the running step failed without unwinding.
    void StepFailed() { stepFailed_ = true; }
    // Write needs the hex buffer window: without one shows `message`, marks the
    // step failed and gives false.
    bool NeedFileWindow(const char* message = "Must open a file to write...") {
        if (wb.FileWin) return true;
        wb.prompts.ShowMsg(message);
        StepFailed();
        return false;
    }
    bool HasStepFailed() const { return stepFailed_; }

    // Image areas past the chip's last address that the form handles by other
    // operations (configuration, data memory), as (first, last) ascending: file
    // data there is not "past the chip". None by default.
    virtual std::vector<std::pair<std::int64_t, std::int64_t>> SideAreas() const { return {}; }

    // Before a Write or a Verify (a button or batch box captioned so): when
    // FileDataBeyondChip finds data, says once from which address on the file
    // is not written or verified. Once per click, once per batch.
    void SayFileBeyondChip();
    // Shows `text` (the standard message dialog) unless the same text was shown
    // by this function in the current click or batch.
    void SayOncePerRun(const std::string& text);
    // The last file load stored at least one byte in image addresses
    // [first, last] (the record addresses the loader saw).
    bool LoadStored(std::int64_t first, std::int64_t last) const;

    // What the guard does after an exception escaped a handler: the default shows
    // the message in the status field and switches the supplies off.
    virtual void OnHandlerException(const std::string& what);

    // Runs `fn` as a handler: Refused ends it quietly; any other exception goes to
    // OnHandlerException; the fatal link end passes through.
    void Guarded(const std::function<void()>& fn);

    // ---- the " Run " batch ---------------------------------------------------------
    struct BatchStep {
        std::string Box;            // the check box that enables the step
        std::function<void()> Run;  // the operation, run as if its button was pressed
    };
    // The batch steps of the boxes named, each its handler.
    template <class Form>
    static std::vector<BatchStep> BatchSteps(Form* f, const Handlers<Form>& boxes) {
        std::vector<BatchStep> steps;
        for (const Handler<Form>& b : boxes) steps.push_back({b.Control, [f, click = b.Click] { (f->*click)(); }});
        return steps;
    }
    // In mass production: waits for the next chip before every pass (the first
    // included) and repeats while mass production stays on. Each pass clears
    // ErrorFlag, runs the ticked steps in order while nothing failed, and after a
    // clean pass shows "End OK.." and counts it (PassCount). A pass with a failed
    // or refused step ends the batch without counting. `passCheck`, when given,
    // runs at the start of every pass (after the next-chip wait); false ends the
    // batch.
    void RunBatch(const std::vector<BatchStep>& steps, const std::function<bool()>& nextChip,
                  bool massLoop = true, const std::function<bool()>& passCheck = nullptr);
    // The batch of the forms that run their first pass at once and wait for the
    // next chip after each clean pass (in mass production): each clean pass shows
    // "End OK.." and is counted; a pass with a failed or refused step ends it.
    void RunBatchWaitingAfter(const std::vector<BatchStep>& steps, const std::function<bool()>& nextChip);
    // True when the form was closed while one of its handlers ran: a batch
    // ends there, before another step or chip.
    bool ClosedWhileRunning() const { return closedWhileRunning_; }

    Workbench& wb;
    TEp3& Ep3;

private:
    // ---- what DeclareControls makes of each row -------------------------------
    FormControl& DeclareControl(const ControlRow& c);
    FormControl& AddGroup(const std::string& name, const std::string& caption);
    FormControl& AddButton(const std::string& name, const std::string& caption,
                           std::function<void()> handler, const std::string& group = "");
    FormControl& AddCheck(const std::string& name, const std::string& caption, bool checked,
                          const std::string& group = "");
    FormControl& AddRadio(const std::string& name, const std::string& caption,
                          std::vector<std::string> items, int index, const std::string& group = "");
    FormControl& AddCombo(const std::string& name, const std::string& caption,
                          std::vector<std::string> items, int index, const std::string& group = "");
    FormControl& AddEdit(const std::string& name, const std::string& label, const std::string& text,
                         bool readOnly = false, const std::string& group = "");
    FormControl& AddProgress(const std::string& name, const std::string& group = "");
    FormControl& AddLabel(const std::string& name, const std::string& caption,
                          const std::string& group = "");
    FormControl& AddStatus(const std::string& name, const std::string& text,
                           const std::string& group = "");
    FormControl& AddListBox(const std::string& name, const std::string& caption, const std::string& group = "");
    FormControl& AddTextView(const std::string& name, const std::string& group = "");
    FormControl& AddGrid(const std::string& name, const std::string& caption,
                         std::vector<std::string> rowNames, std::vector<std::string> cells,
                         const std::string& group = "");

    FormControl& Add(ControlKind kind, const std::string& name, const std::string& caption,
                     const std::string& group);
    FormControl* Find(const std::string& name) const;
    // True while a batch waits for the next chip: `c` is painted back as the
    // form holds it and its handler does not run.
    bool HeldByTheWait(const FormControl& c);
    // One pass's ticked steps; after a clean pass "End OK.." and the count.
    bool RunBatchSteps(const std::vector<BatchStep>& steps);

    std::vector<std::unique_ptr<FormControl>> controls_;
    std::string caption_;
    std::string statusName_ = "Message";
    FormView* view_ = nullptr;
    std::function<void(const std::string&)> successListener_;
    bool shown_ = false;
    bool stepFailed_ = false;
    std::vector<std::string> saidThisRun_;  // SayOncePerRun's texts of this click or batch
    std::int64_t deviceEnd_ = -1;     // EndAddr as the device setup left it (-1: none)
    bool closedWhileRunning_ = false;
    int passesCounted_ = 0;
    int depth_ = 0;  // nesting of guarded handlers (the batch runs handlers directly)
    std::uint32_t setUpOnArrival_ = 0;  // the link's arrival count when the form was set up
};

}  // namespace quilla
