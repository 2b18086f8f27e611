// Prompts for the fuzz targets: every message is answered with OK (a question
// with its first button) and counted.
#pragma once

#include "engine/prompts.h"

namespace quilla::fuzz {

struct QuietPrompts : Prompts {
    int shown = 0;
    int Message(const std::string&, const std::string&, MsgKind, int buttons) override {
        ++shown;
        if (buttons & BtnOk) return BtnOk;
        for (int b = 1; b <= buttons; b <<= 1)
            if (buttons & b) return b;
        return BtnOk;
    }
    void Beep() override {}
};

}  // namespace quilla::fuzz
