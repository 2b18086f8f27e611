// The program's prompts: Qt message boxes, the system beep, and the
// mass-production prompt window.
#pragma once

#include "engine/prompts.h"

class QWidget;

namespace quilla {

class TAutoPro1;

class QtPrompts : public Prompts {
public:
    int Message(const std::string& text, const std::string& caption, MsgKind kind, int buttons) override;
    void Beep() override;
    void ShowChipPrompt(const std::string& text) override;
    void CloseChipPrompt() override;
    void SetChipPromptCaption(const std::string& caption) override;

    // The window the mass-production prompt uses (AutoPro1 when not set).
    TAutoPro1* ChipPrompt = nullptr;
    // The window the message boxes stand over, their owner; none when null.
    QWidget* Owner = nullptr;
};

}  // namespace quilla
