// The program's prompts: Qt message boxes, the system beep, and the
// mass-production prompt window.
#pragma once

#include <chrono>

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
    // How long each poll of the next-chip wait keeps its prompt up while the
    // windows are served. On hardware a poll takes its time on the programmer
    // (0: none added); the simulated programmer's waits take no real time, so
    // the program holds each poll as long as its 100 ms wait takes there.
    std::chrono::milliseconds ChipPollHold{0};

private:
    bool promptUp_ = false;  // shown by a poll and not closed since
};

}  // namespace quilla
