#include "algo/common/form.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "algo/common/scan.h"
#include "engine/fatal.h"

namespace quilla {

AlgoForm::AlgoForm(Workbench& w, std::string caption)
    : wb(w), Ep3(w.Ep3), caption_(std::move(caption)), setUpOnArrival_(w.Ep3.LinkArrivals()) {}

AlgoForm::~AlgoForm() = default;

void AlgoForm::Show() {
    shown_ = true;
    AlgorithmForm::Show();
    if (view_) view_->Shown();
    // Without a window host nothing else tells the form it became active.
    if (!Host) Activate();
}

void AlgoForm::Activate() { Guarded([this] { OnActivate(); }); }

void AlgoForm::Close() {
    // Closed while one of its handlers runs (a batch waiting for the next
    // chip lets the user act): the batch ends before touching a chip again.
    if (depth_ > 0) {
        closedWhileRunning_ = true;
        Ep3.StopRequested = true;
    }
    Guarded([this] { OnClose(); });
    shown_ = false;
    if (view_) view_->Hidden();
}

// ---- declaration -----------------------------------------------------------------

FormControl& AlgoForm::Add(ControlKind kind, const std::string& name, const std::string& caption,
                           const std::string& group) {
    if (Find(name)) throw std::logic_error("control declared twice: " + name);
    auto c = std::make_unique<FormControl>();
    c->Kind = kind;
    c->Name = name;
    c->Caption = caption;
    c->Group = group;
    controls_.push_back(std::move(c));
    return *controls_.back();
}

FormControl& AlgoForm::AddGroup(const std::string& name, const std::string& caption) {
    return Add(ControlKind::Group, name, caption, "");
}

FormControl& AlgoForm::AddButton(const std::string& name, const std::string& caption,
                                 std::function<void()> handler, const std::string& group) {
    FormControl& c = Add(ControlKind::Button, name, caption, group);
    c.OnClick = std::move(handler);
    return c;
}

FormControl& AlgoForm::AddCheck(const std::string& name, const std::string& caption, bool checked,
                                const std::string& group) {
    FormControl& c = Add(ControlKind::Check, name, caption, group);
    c.Checked = checked;
    return c;
}

FormControl& AlgoForm::AddRadio(const std::string& name, const std::string& caption,
                                std::vector<std::string> items, int index, const std::string& group) {
    FormControl& c = Add(ControlKind::Radio, name, caption, group);
    c.Items = std::move(items);
    c.ItemIndex = index;
    return c;
}

FormControl& AlgoForm::AddCombo(const std::string& name, const std::string& caption,
                                std::vector<std::string> items, int index, const std::string& group) {
    FormControl& c = Add(ControlKind::Combo, name, caption, group);
    c.Items = std::move(items);
    c.ItemIndex = index;
    if (index >= 0 && index < static_cast<int>(c.Items.size())) c.Text = c.Items[static_cast<std::size_t>(index)];
    return c;
}

FormControl& AlgoForm::AddListBox(const std::string& name, const std::string& caption, const std::string& group) {
    return Add(ControlKind::ListBox, name, caption, group);
}

FormControl& AlgoForm::AddTextView(const std::string& name, const std::string& group) {
    return Add(ControlKind::Text, name, "", group);
}

void AlgoForm::AppendLine(const std::string& name, const std::string& line) {
    FormControl& c = Get(name);
    c.Items.push_back(line);
    Repaint(c);
}

void AlgoForm::ClearLines(const std::string& name) {
    FormControl& c = Get(name);
    c.Items.clear();
    Repaint(c);
}

FormControl& AlgoForm::AddEdit(const std::string& name, const std::string& label,
                               const std::string& text, bool readOnly, const std::string& group) {
    FormControl& c = Add(ControlKind::Edit, name, label, group);
    c.Text = text;
    c.ReadOnly = readOnly;
    return c;
}

FormControl& AlgoForm::AddProgress(const std::string& name, const std::string& group) {
    return Add(ControlKind::Progress, name, "", group);
}

FormControl& AlgoForm::AddLabel(const std::string& name, const std::string& caption,
                                const std::string& group) {
    return Add(ControlKind::Label, name, caption, group);
}

FormControl& AlgoForm::AddStatus(const std::string& name, const std::string& text,
                                 const std::string& group) {
    FormControl& c = Add(ControlKind::Status, name, "", group);
    c.Text = text;
    c.ReadOnly = true;
    statusName_ = name;
    return c;
}

FormControl& AlgoForm::AddGrid(const std::string& name, const std::string& caption,
                               std::vector<std::string> rowNames, std::vector<std::string> cells,
                               const std::string& group) {
    FormControl& c = Add(ControlKind::Grid, name, caption, group);
    cells.resize(rowNames.size());
    c.RowNames = std::move(rowNames);
    c.Items = std::move(cells);
    return c;
}

// ---- lookup ---------------------------------------------------------------------------

FormControl* AlgoForm::Find(const std::string& name) const {
    for (auto& c : controls_)
        if (c->Name == name) return c.get();
    return nullptr;
}

bool AlgoForm::Has(const std::string& name) const { return Find(name) != nullptr; }

const FormControl& AlgoForm::Get(const std::string& name) const {
    if (FormControl* c = Find(name)) return *c;
    throw std::out_of_range("no control named " + name);
}

FormControl& AlgoForm::Get(const std::string& name) {
    if (FormControl* c = Find(name)) return *c;
    throw std::out_of_range("no control named " + name);
}

std::string AlgoForm::Text(const std::string& name) const { return Get(name).Text; }
bool AlgoForm::Checked(const std::string& name) const { return Get(name).Checked; }
int AlgoForm::ItemIndex(const std::string& name) const { return Get(name).ItemIndex; }

bool AlgoForm::Ticked(const std::string& name) const {
    const FormControl* c = Find(name);
    if (!c || !c->Checked || !c->Visible || !c->Enabled) return false;
    const FormControl* g = c->Group.empty() ? nullptr : Find(c->Group);
    return !g || (g->Visible && g->Enabled);
}

// ---- driving ---------------------------------------------------------------------------

namespace {

// Write and Verify of the chip's main memory, by the caption of the button or
// batch box ("Write ", "Write.", "W.", "Burn", "Vrfy", "Verify  ", "Verf.");
// not the configuration or data-memory operations ("Wrt.CFG.", "W.Data").
bool WritesOrVerifiesFile(const std::string& caption) {
    std::string c;
    for (char ch : caption)
        if (ch != ' ') c += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto starts = [&c](const char* p) { return c.rfind(p, 0) == 0; };
    return starts("write") || c == "w." || c == "burn" || starts("vrfy") || starts("verif") || starts("verf");
}

std::string Hex6(std::int64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%06llx", static_cast<unsigned long long>(v));
    return buf;
}

}  // namespace

void AlgoForm::DeviceSetUp() {
    deviceEnd_ = wb.FileWin ? wb.FileWin->EndAddr : -1;
    setUpOnArrival_ = Ep3.LinkArrivals();
}

std::int64_t AlgoForm::FileDataBeyondChip() const {
    if (deviceEnd_ < 0 || !wb.FileWin) return -1;
    const auto side = SideAreas();
    for (const auto& [first, last] : wb.LoadedRanges) {
        std::int64_t from = std::max<std::int64_t>(first, deviceEnd_ + 1);
        for (const auto& [s, e] : side)
            if (from >= s && from <= e) from = e + 1;
        if (from <= last) return from;
    }
    return -1;
}

void AlgoForm::SayOncePerRun(const std::string& text) {
    if (std::find(saidThisRun_.begin(), saidThisRun_.end(), text) != saidThisRun_.end()) return;
    saidThisRun_.push_back(text);
    wb.prompts.ShowMessage(text);
}

bool AlgoForm::LoadStored(std::int64_t first, std::int64_t last) const {
    for (const auto& [a, b] : wb.LoadedRanges)
        if (a <= last && b >= first) return true;
    return false;
}

void AlgoForm::SayFileBeyondChip() {
    const std::int64_t from = FileDataBeyondChip();
    if (from < 0) return;
    SayOncePerRun("The file holds data from address " + Hex6(from) + " on, past the chip's last address " +
                           Hex6(deviceEnd_) + ": from " + Hex6(from) + " on it is not written or verified");
}

void AlgoForm::Click(const std::string& name) {
    // The user acts while a batch waits for the next chip: the programmer is
    // the batch's, so a click starts nothing; Exit closes the form, which ends
    // the batch.
    if (Ep3.WaitingForChip() && name != kExitButton) return;
    FormControl& c = Get(name);
    if (!c.Visible || !c.Enabled || !c.OnClick) return;
    auto handler = c.OnClick;  // the handler may redeclare nothing, but keep a copy anyway
    if (depth_ == 0) {
        saidThisRun_.clear();
        if (wb.OperationStarts) wb.OperationStarts();
        if (Ep3.LinkArrivals() != setUpOnArrival_) {
            struct Refusing {
                TEp3& ep3;
                ~Refusing() { ep3.RefuseTransfers.clear(); }
            } refusing{Ep3};
            Ep3.RefuseTransfers = ReplugRefusal;
            Guarded(handler);
            return;
        }
        if (c.Kind == ControlKind::Button && WritesOrVerifiesFile(c.Caption)) SayFileBeyondChip();
    }
    Guarded(handler);
}

void AlgoForm::SetText(const std::string& name, const std::string& text) {
    FormControl& c = Get(name);
    if (c.ReadOnly || !c.Enabled || !c.Visible) return;
    c.Text = text;
    Repaint(c);
}

bool AlgoForm::HeldByTheWait(const FormControl& c) {
    if (!Ep3.WaitingForChip()) return false;
    Repaint(c);
    return true;
}

void AlgoForm::Leave(const std::string& name) {
    FormControl& c = Get(name);
    if (HeldByTheWait(c)) return;
    if (c.OnExit) Guarded(c.OnExit);
}

void AlgoForm::Enter(const std::string& name, const std::string& text) {
    SetText(name, text);
    Leave(name);
}

void AlgoForm::KeyDown(const std::string& name, int key) {
    FormControl& c = Get(name);
    if (!c.OnKeyDown || HeldByTheWait(c)) return;
    auto handler = c.OnKeyDown;
    Guarded([&handler, key] { handler(key); });
}

void AlgoForm::SetChecked(const std::string& name, bool on) {
    FormControl& c = Get(name);
    if (!c.Enabled || !c.Visible || HeldByTheWait(c)) return;
    c.Checked = on;
    Repaint(c);
    if (c.OnClick) Guarded(c.OnClick);
}

void AlgoForm::Choose(const std::string& name, int index) {
    FormControl& c = Get(name);
    if (!c.Enabled || !c.Visible || HeldByTheWait(c)) return;
    if (index < 0 || index >= static_cast<int>(c.Items.size())) return;
    c.ItemIndex = index;
    if (c.Kind == ControlKind::Combo) c.Text = c.Items[static_cast<std::size_t>(index)];
    Repaint(c);
    if (c.OnClick) Guarded(c.OnClick);
}

void AlgoForm::ClickCell(const std::string& name, int row) {
    FormControl& c = Get(name);
    if (!c.Visible || !c.Enabled || row < 0 || row >= static_cast<int>(c.Items.size()) || HeldByTheWait(c)) return;
    c.ItemIndex = row;
    Repaint(c);
    if (c.OnClick) Guarded(c.OnClick);
}

// ---- updates ------------------------------------------------------------------------------

void AlgoForm::Repaint(const FormControl& c) {
    if (view_) view_->Repaint(c);
}

void AlgoForm::ShowAddress(const std::string& edit, std::int32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04x", static_cast<unsigned>(value < 0 ? 0 : value));
    Put(edit, buf);
}

void AlgoForm::DeclareControls(const ControlRows& rows) {
    for (const ControlRow& c : rows) {
        if (!c.Present) continue;
        FormControl& f = DeclareControl(c);
        f.OnClick = c.Click;
        f.OnExit = c.Exit;
        f.OnKeyDown = c.KeyDown;
        f.Emphasis = c.Emphasis;
        f.Enabled = c.Enabled;
        f.Visible = c.Visible;
    }
}

FormControl& AlgoForm::DeclareControl(const ControlRow& c) {
    switch (c.Kind) {
    case ControlKind::Button: return AddButton(c.Name, c.Caption, c.Click, c.Group);
    case ControlKind::Check: return AddCheck(c.Name, c.Caption, c.Ticked, c.Group);
    case ControlKind::Radio: return AddRadio(c.Name, c.Caption, c.Items, c.Index, c.Group);
    case ControlKind::Combo: return AddCombo(c.Name, c.Caption, c.Items, c.Index, c.Group);
    case ControlKind::Edit: return AddEdit(c.Name, c.Caption, c.Text, c.ReadOnly, c.Group);
    case ControlKind::Progress: return AddProgress(c.Name, c.Group);
    case ControlKind::Status: return AddStatus(c.Name, c.Text, c.Group);
    case ControlKind::Group: return AddGroup(c.Name, c.Caption);
    case ControlKind::Grid: return AddGrid(c.Name, c.Caption, c.Items, c.Cells, c.Group);
    case ControlKind::ListBox: return AddListBox(c.Name, c.Caption, c.Group);
    case ControlKind::Text: return AddTextView(c.Name, c.Group);
    default: return AddLabel(c.Name, c.Caption, c.Group);
    }
}

void AlgoForm::Put(const std::string& name, const std::string& text) {
    FormControl& c = Get(name);
    c.Text = text;
    Repaint(c);
}

void AlgoForm::Success(const std::string& text) {
    Ep3.RequireDelivered();
    Status(text);
    if (successListener_) successListener_(text);
}

void AlgoForm::SuccessLine(const std::string& view, const std::string& text) {
    Ep3.RequireDelivered();
    AppendLine(view, text);
    if (successListener_) successListener_(text);
}

void AlgoForm::SetProgress(const std::string& name, int min, int max, int position) {
    FormControl& c = Get(name);
    c.Min = min;
    c.Max = max;
    c.Position = position < min ? min : (position > max ? max : position);
    Repaint(c);
}

void AlgoForm::PutChecked(const std::string& name, bool on) {
    FormControl& c = Get(name);
    c.Checked = on;
    Repaint(c);
}

void AlgoForm::PutCaption(const std::string& name, const std::string& caption) {
    FormControl& c = Get(name);
    c.Caption = caption;
    Repaint(c);
}

void AlgoForm::PutCell(const std::string& name, int row, const std::string& text) {
    FormControl& c = Get(name);
    if (row < 0 || row >= static_cast<int>(c.Items.size())) return;
    c.Items[static_cast<std::size_t>(row)] = text;
    Repaint(c);
}

void AlgoForm::SetVisible(const std::string& name, bool on) {
    FormControl& c = Get(name);
    c.Visible = on;
    Repaint(c);
}

void AlgoForm::SetEnabled(const std::string& name, bool on) {
    FormControl& c = Get(name);
    c.Enabled = on;
    Repaint(c);
}

void AlgoForm::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (view_) view_->CaptionChanged();
}

std::string AlgoForm::VariantNotInTable() const {
    return "Bad device line: variant " + std::to_string(wb.sel.VariantIndex) + " of " +
           (wb.sel.DeviceKeyword.empty() ? std::string("this form") : wb.sel.DeviceKeyword) +
           " is not in the device table";
}

bool AlgoForm::AcceptDeviceLine() {
    const std::string err = DeviceLineError();
    if (err.empty()) return true;
    Status(err);
    wb.prompts.ShowMsg(err);
    return false;
}

// ---- failures ---------------------------------------------------------------------------------

void AlgoForm::Refuse(const std::string& text) {
    Status(text);
    stepFailed_ = true;
    throw Refused{};
}

void AlgoForm::OnHandlerException(const std::string& what) {
    Status(what.empty() ? std::string("Error..") : what);
    // Switch the supplies off; a link that broke meanwhile ends the program there.
    Ep3.PowerOff();
}

void AlgoForm::Guarded(const std::function<void()>& fn) {
    if (depth_ == 0) {
        stepFailed_ = false;
        closedWhileRunning_ = false;
        // A stop asked of a batch that waits (by another form's handler, the
        // main window's close) stays asked.
        if (!Ep3.WaitingForChip()) Ep3.StopRequested = false;
    }
    ++depth_;
    try {
        fn();
    } catch (const FatalExit&) {
        --depth_;
        throw;  // the process end (tests intercept it) is not a handler failure
    } catch (const Refused&) {
        stepFailed_ = true;
    } catch (const std::exception& e) {
        stepFailed_ = true;
        try {
            OnHandlerException(e.what());
        } catch (const FatalExit&) {
            --depth_;
            throw;
        } catch (...) {
        }
    } catch (...) {
        stepFailed_ = true;
        try {
            OnHandlerException("Error..");
        } catch (const FatalExit&) {
            --depth_;
            throw;
        } catch (...) {
        }
    }
    --depth_;
}

// ---- batch ----------------------------------------------------------------------------------------

bool AlgoForm::ContactPresent(int gnd, std::uint32_t lo, std::uint32_t hi) {
    if (wb.options.MassProduction || wb.options.ContactCheck) return true;
    return Ep3.TestPinContact(gnd, lo, hi) != 0;
}

void AlgoForm::RunBatch(const std::vector<BatchStep>& steps, const std::function<bool()>& nextChip,
                        bool massLoop, const std::function<bool()>& passCheck) {
    do {
        if (massLoop && wb.options.MassProduction) {
            if (!nextChip() || closedWhileRunning_) return;
        }
        if (passCheck) {
            stepFailed_ = false;
            bool go = false;
            Guarded([&] { go = passCheck(); });
            if (!go || stepFailed_) return;
        }
        wb.ErrorFlag() = 0;
        stepFailed_ = false;
        if (!RunBatchSteps(steps)) return;
    } while (massLoop && wb.options.MassProduction);
}

void AlgoForm::RunBatchWaitingAfter(const std::vector<BatchStep>& steps, const std::function<bool()>& nextChip) {
    for (;;) {
        wb.ErrorFlag() = 0;
        stepFailed_ = false;
        if (!RunBatchSteps(steps)) return;
        if (!wb.options.MassProduction || !nextChip() || closedWhileRunning_) return;
    }
}

bool AlgoForm::RunBatchSteps(const std::vector<BatchStep>& steps) {
    for (const BatchStep& s : steps) {
        if (wb.ErrorFlag() != 0 || stepFailed_ || closedWhileRunning_) break;
        if (!Ticked(s.Box)) continue;
        if (WritesOrVerifiesFile(Get(s.Box).Caption)) SayFileBeyondChip();
        Guarded(s.Run);
    }
    if (wb.ErrorFlag() != 0 || stepFailed_ || closedWhileRunning_) return false;
    Success("End OK..");
    wb.PassCount();
    ++passesCounted_;
    return true;
}

}  // namespace quilla
