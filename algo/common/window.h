// A form's window as data. Every form declares its window as tables of
// ControlRow (one row per control, in window order) through
// AlgoForm::DeclareControls, built with the helpers below, and binds its
// handlers to the controls by name through one small table (Handlers<Form>):
//
//   const ControlRows kWindow = {win::PushButton({"Write", "Write "}),
//                                win::Group({"GroupBox1", "Batch   "}),
//                                win::Box({"CheckBox1", "Ers."}, true, "GroupBox1"), ...};
//   DeclareControls(kWindow, this, {{"Write", &TMyForm::WriteClick}, ...});
//
// What differs between the forms of a family is then data: which rows, which
// captions. A row may also carry its click itself (win::On) where the handler
// needs an argument.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "algo/common/form.h"

namespace quilla {

namespace win {

// A control's name and caption (an edit's label, a group's title).
struct Face {
    const char* Name;
    const char* Caption = "";
};

ControlRow PushButton(Face face, const std::string& group = "");
ControlRow Box(Face face, bool ticked = false, const std::string& group = "");
ControlRow Radio(Face face, std::vector<std::string> items, int index, const std::string& group = "");
ControlRow Combo(Face face, std::vector<std::string> items, int index, const std::string& group = "");
// A one-line edit with its label and its text.
ControlRow Edit(Face face, const std::string& text, const std::string& group = "");
ControlRow Label(Face face, const std::string& group = "");
ControlRow Group(Face face);
// The status field (read-only): the form's status texts go there.
ControlRow Status(const char* name, const std::string& text, const std::string& group = "");
ControlRow Progress(const char* name, const std::string& group = "");
ControlRow ListBox(Face face, const std::string& group = "");
ControlRow TextView(const char* name, const std::string& group = "");
// A two-column grid: fixed row names and their cells.
ControlRow Grid(Face face, std::vector<std::string> rowNames, std::vector<std::string> cells,
                const std::string& group = "");

// The same control hidden, disabled, read-only, drawn in red, or left out of
// the window unless `on`.
ControlRow Hidden(ControlRow c);
ControlRow Disabled(ControlRow c);
ControlRow ReadOnly(ControlRow c);
ControlRow Red(ControlRow c);
ControlRow If(bool on, ControlRow c);
// The same control with its own click (a handler that needs an argument).
ControlRow On(ControlRow c, std::function<void()> click);
// The table with its row `name` changed by `change` (Hidden, Disabled, ...):
// forms that share a table and differ in one control's state.
ControlRows With(ControlRows rows, const std::string& name, ControlRow (*change)(ControlRow));
// The same edit with what leaving it and a key pressed in it do.
ControlRow OnExit(ControlRow c, std::function<void()> exit, std::function<void(int key)> keyDown = {});
// The rows placed in the group box `group` (rows already in a group stay there).
ControlRows In(const std::string& group, ControlRows rows);
// Tables one after another.
ControlRows Join(std::initializer_list<ControlRows> tables);

}  // namespace win

}  // namespace quilla
