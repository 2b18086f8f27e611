#include "algo/common/window.h"

#include <utility>

namespace quilla::win {

namespace {
ControlRow Row(ControlKind kind, Face face, const std::string& group) {
    return {.Kind = kind, .Name = face.Name, .Caption = face.Caption, .Group = group};
}
}  // namespace

ControlRow PushButton(Face face, const std::string& group) { return Row(ControlKind::Button, face, group); }

ControlRow Box(Face face, bool ticked, const std::string& group) {
    ControlRow c = Row(ControlKind::Check, face, group);
    c.Ticked = ticked;
    return c;
}

ControlRow Radio(Face face, std::vector<std::string> items, int index, const std::string& group) {
    ControlRow c = Row(ControlKind::Radio, face, group);
    c.Items = std::move(items);
    c.Index = index;
    return c;
}

ControlRow Combo(Face face, std::vector<std::string> items, int index, const std::string& group) {
    ControlRow c = Row(ControlKind::Combo, face, group);
    c.Items = std::move(items);
    c.Index = index;
    return c;
}

ControlRow Edit(Face face, const std::string& text, const std::string& group) {
    ControlRow c = Row(ControlKind::Edit, face, group);
    c.Text = text;
    return c;
}

ControlRow Label(Face face, const std::string& group) { return Row(ControlKind::Label, face, group); }

ControlRow Group(Face face) { return Row(ControlKind::Group, face, ""); }

ControlRow Status(const char* name, const std::string& text, const std::string& group) {
    ControlRow c = Row(ControlKind::Status, {name}, group);
    c.Text = text;
    return c;
}

ControlRow Progress(const char* name, const std::string& group) { return Row(ControlKind::Progress, {name}, group); }

ControlRow ListBox(Face face, const std::string& group) { return Row(ControlKind::ListBox, face, group); }

ControlRow TextView(const char* name, const std::string& group) { return Row(ControlKind::Text, {name}, group); }

ControlRow Grid(Face face, std::vector<std::string> rowNames, std::vector<std::string> cells,
                const std::string& group) {
    ControlRow c = Row(ControlKind::Grid, face, group);
    c.Items = std::move(rowNames);
    c.Cells = std::move(cells);
    return c;
}

ControlRow Hidden(ControlRow c) {
    c.Visible = false;
    return c;
}

ControlRow Disabled(ControlRow c) {
    c.Enabled = false;
    return c;
}

ControlRow ReadOnly(ControlRow c) {
    c.ReadOnly = true;
    return c;
}

ControlRow Red(ControlRow c) {
    c.Emphasis = true;
    return c;
}

ControlRow If(bool on, ControlRow c) {
    c.Present = on;
    return c;
}

ControlRow On(ControlRow c, std::function<void()> click) {
    c.Click = std::move(click);
    return c;
}

ControlRows With(ControlRows rows, const std::string& name, ControlRow (*change)(ControlRow)) {
    for (ControlRow& c : rows)
        if (c.Name == name) c = change(std::move(c));
    return rows;
}

ControlRow OnExit(ControlRow c, std::function<void()> exit, std::function<void(int key)> keyDown) {
    c.Exit = std::move(exit);
    c.KeyDown = std::move(keyDown);
    return c;
}

ControlRows In(const std::string& group, ControlRows rows) {
    for (ControlRow& c : rows)
        if (c.Group.empty() && c.Kind != ControlKind::Group) c.Group = group;
    return rows;
}

ControlRows Join(std::initializer_list<ControlRows> tables) {
    ControlRows out;
    for (const ControlRows& t : tables) out.insert(out.end(), t.begin(), t.end());
    return out;
}

}  // namespace quilla::win
