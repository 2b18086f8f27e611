// Every registered form class with the device lines that reach it, for the
// tests that run or show every form: one entry per class, in the order of the
// dispatch table. A class that no shipped list reaches gets one stand-in line:
// its first keyword with variant 1 (fromList false).
#pragma once

#include <string>
#include <vector>

namespace quilla::test {

struct ClassLine {
    std::string file;      // "device520.lst", ...; empty for a stand-in line
    std::string model;     // the programmer model of that list ("vex520", ...)
    std::string category;  // "EPR", "MPU", ...
    std::string mfr;       // the manufacturer field
    std::string item;      // the list item ("AT89C2051 ...")
    std::string part;      // the item up to its first blank: the simulated chip's name
    std::string params;    // the parameter string ("P2051 2 #1E 21")
    bool fromList = true;
};

struct FormClass {
    std::string className;         // "TP27x"
    std::vector<std::string> keywords;  // its keywords in dispatch order
    std::vector<ClassLine> lines;  // every line reaching it (lists in the order 520, 640, 310)
};

// One entry per class named by the dispatch table that has registered.
std::vector<FormClass> EveryFormClass();

}  // namespace quilla::test
