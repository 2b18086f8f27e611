// A fresh engine on a recording transport with scripted prompts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ep3.h"
#include "engine/fatal.h"
#include "support/recording_transport.h"
#include "support/scripted_prompts.h"

namespace quilla::test {

struct Edit4Log : StatusView {
    std::vector<std::string> texts;
    void Edit4Changed(const std::string& text) override { texts.push_back(text); }
};

class EngineTest : public ::testing::Test {
protected:
    FatalIntercept fatal;
    RecordingTransport usb;
    ScriptedPrompts prompts;
    Options options;
    TEp3 ep3{prompts, options, &usb};

    Bytes Queued() const {
        return Bytes(ep3.UsbCmdQueue.begin(), ep3.UsbCmdQueue.begin() + ep3.UsbCmdCount);
    }
    void Connect(const std::string& model = "vex520") {
        ep3.Connected = 1;
        ep3.ProgrammerModel = model;
    }
};

}  // namespace quilla::test
