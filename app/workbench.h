// The program's shared state in one place: the image buffer, the selection,
// the engine, the options and the prompts. The Qt program builds one; tests
// build a fresh one per test. Windows and forms are handed a reference.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/selection.h"
#include "engine/ep3.h"
#include "engine/options.h"
#include "engine/prompts.h"

namespace quilla {

inline constexpr int ImageSize = 8388608;     // 8 MiB
inline constexpr int ImageFilledSize = 0x100000;  // first 1 MiB is 0xFF after start

// State of the hex buffer window that others read and write.
struct HexWindowState {
    std::string Title = "noname.bin";
    int EndAddr = 0xFFFF;
    int ViewStart = 0;
};

struct Workbench {
    explicit Workbench(Prompts& p, Transport* transport = nullptr)
        : prompts(p), Ep3(p, options, transport), ImageBuffer(ImageSize, 0) {
        std::fill(ImageBuffer.begin(), ImageBuffer.begin() + ImageFilledSize, 0xFF);
    }
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    Prompts& prompts;
    Options options;
    TEp3 Ep3;
    // Fixed at 8 MiB for the program's life; never resized.
    std::vector<std::uint8_t> ImageBuffer;
    Selection sel;

    // Main window fields.
    std::string ProgramDir;            // ends with '/'
    std::string DataFileName = "noname.bin";
    int LoadStart = 0;
    int LoadedEnd = 0;

    // The hex buffer window, when it exists (FileNew creates it).
    std::unique_ptr<HexWindowState> FileWin;

    int& ErrorFlag() { return Ep3.ErrorFlag; }
};

}  // namespace quilla
