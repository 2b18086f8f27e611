// What the program asks or tells the user, and its beep. The Qt program shows
// real message boxes; tests answer from a script and read what was shown.
#pragma once

#include <string>

namespace quilla {

enum class MsgKind { Plain, Information, Warning, Error, Confirmation };

// Buttons of a message box (bit set) and the button that closed it.
enum Button : int { BtnOk = 1, BtnYes = 2, BtnNo = 4, BtnCancel = 8 };

class Prompts {
public:
    virtual ~Prompts() = default;

    // A message box. Returns the button pressed (one of `buttons`).
    virtual int Message(const std::string& text, const std::string& caption, MsgKind kind,
                        int buttons) = 0;
    virtual void Beep() = 0;

    // The non-modal mass-production prompt: shown with a text while the engine
    // waits for the next chip, its text changed, then closed.
    virtual void ShowChipPrompt(const std::string& text) { (void)text; }
    virtual void CloseChipPrompt() {}
    // The mass-production prompt's caption (its window title), set while it is shown.
    virtual void SetChipPromptCaption(const std::string& caption) { (void)caption; }

    // Message box with the caption " " and an OK button.
    void ShowMsg(const std::string& text) { Message(text, " ", MsgKind::Plain, BtnOk); }
    // The standard message dialog: the application title as caption, one OK button.
    void ShowMessage(const std::string& text) { Message(text, AppTitle, MsgKind::Plain, BtnOk); }
    static constexpr const char* AppTitle = "Quilla";
    // Yes/Cancel question; true for Yes.
    bool AskYesCancel(const std::string& text, const std::string& caption = "Confirm") {
        return Message(text, caption, MsgKind::Confirmation, BtnYes | BtnCancel) == BtnYes;
    }
    // Yes/No question; true for Yes.
    bool AskYesNo(const std::string& text, const std::string& caption = "Confirm") {
        return Message(text, caption, MsgKind::Confirmation, BtnYes | BtnNo) == BtnYes;
    }
};

}  // namespace quilla
