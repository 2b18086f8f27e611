// Prompts answered from a script: every message shown is recorded; questions
// take the next scripted answer (or a default).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/prompts.h"

namespace quilla::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    quilla::MsgKind kind;
    int buttons;
};

class ScriptedPrompts : public quilla::Prompts {
public:
    std::vector<ShownMessage> shown;
    std::deque<int> answers;         // buttons to press, in order
    int defaultAnswer = quilla::BtnOk;  // when the script runs out (Ok, else Yes, else the first)
    int beeps = 0;
    std::vector<std::string> chipPrompt;  // texts of the mass-production prompt, in order
    int chipPromptCloses = 0;
    std::vector<std::string> chipPromptCaptions;  // captions set on the prompt, in order

    int Message(const std::string& text, const std::string& caption, quilla::MsgKind kind,
                int buttons) override {
        shown.push_back({text, caption, kind, buttons});
        if (!answers.empty()) {
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons & defaultAnswer) return defaultAnswer;
        for (int b : {quilla::BtnOk, quilla::BtnYes, quilla::BtnNo, quilla::BtnCancel})
            if (buttons & b) return b;
        return quilla::BtnOk;
    }
    void Beep() override { ++beeps; }
    // Runs when the mass-production prompt shows (the user may act then).
    std::function<void(const std::string& text)> onChipPrompt;

    void ShowChipPrompt(const std::string& text) override {
        chipPrompt.push_back(text);
        if (onChipPrompt) onChipPrompt(text);
    }
    void CloseChipPrompt() override { ++chipPromptCloses; }
    void SetChipPromptCaption(const std::string& caption) override {
        chipPromptCaptions.push_back(caption);
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (auto& m : shown) t.push_back(m.text);
        return t;
    }
    std::string Last() const { return shown.empty() ? std::string() : shown.back().text; }
};

}  // namespace quilla::test
