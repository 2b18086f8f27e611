// The options set: switches read by the engine and the forms' batch loops, and
// the stamping settings of the options dialog (the dialog is a view of this).
#pragma once

#include <functional>
#include <string>

namespace quilla {

struct Options {
    bool MassProduction = false;    // "量产方式" (CheckBox3)
    bool ContactCheck = true;       // "检测引脚接触状态" (CheckBox4)
    bool FastCurrentCheck = true;   // "Fast检测超限电流": shown (ticked at start), read by nothing

    // Serial-number stamp ("线性增量" tab). Field texts as typed; the address
    // and value fields are read in the base of NumberBase.
    bool SerialStamp = false;            // "允许线性增量" (CheckBox1)
    std::string SerialStart = "0fff";    // "Start:    " (Edit1): image address
    std::string SerialValue = "0";       // "初始数值:" (Edit2): value last written
    std::string SerialLength = "2";      // "Byte长度:" (Edit5): bytes written, decimal
    std::string SerialStep = "1";        // "增量:" (Edit6): step, decimal
    // Date stamp ("日期和时间" tab): 16 bytes of date-and-time text.
    bool DateStamp = false;              // "允许日期和时间" (CheckBox2)
    std::string DateStart = "0fe0";      // "Start:    " (Edit4)
    std::string DateText;                // "当前时间:" (Edit3): the clock's text
    // "数制" (RadioGroup1): 0 "hex     ", 1 "十进制", 2 "浮点" (read as decimal).
    int NumberBase = 0;
    // The current date and time as the stamp writes it; unset: the C library's
    // local time. The options dialog sets the locale's text; tests fix it.
    std::function<std::string()> StampClock;
};

}  // namespace quilla
