// The program's shared state in one place: the image buffer, the selection,
// the engine, the options and the prompts. The Qt program builds one; tests
// build a fresh one per test. Windows and forms are handed a reference.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/hexfile.h"
#include "app/hexwin.h"
#include "app/selection.h"
#include "engine/byte_blocks.h"
#include "engine/ep3.h"
#include "engine/options.h"
#include "engine/prompts.h"

namespace quilla {

inline constexpr int ImageSize = 8388608;     // 8 MiB
inline constexpr int ImageFilledSize = 0x100000;  // first 1 MiB is 0xFF after start

// The hex buffer window's state (HexWindowState: Title, EndAddr, ViewStart,
// BufferChecksum, CursorAddress, ...) lives in app/hexwin.h.

// State of the fuse-map window (one fuse per image byte, '0' or '1').
struct FuseWindowState {
    std::string Title = "PLD Buffer   ";
    int FuseCols = 32;   // fuses per row (set by the logic-device forms)
    int FuseRows = 64;   // rows of the device's fuse array
    int FuseCount = 0;   // fuses shown and written: (FuseRows + 6) x FuseCols after a redraw
    // A form's Read could not read the fuses after the array (it left them
    // '0'); a JEDEC load or a typed fuse clears it.
    bool ArchitectureUnread = false;
    // The JEDEC fuse count ("QF") of the device whose form set the geometry
    // last; 0 when not known. A file declaring another count is named.
    int DeviceFuses = 0;
};

// State of the SVF window (the text of an SVF file, line by line).
struct SvfWindowState {
    std::string Title;
    std::vector<std::string> Lines{"RichEdit1"};  // the window's text until a file is loaded
    unsigned Loads = 0;  // counts the file loads, so the view knows when to take new text
};

// What the Qt program shows of the shell state; headless runs leave it unset.
class ShellView {
public:
    virtual ~ShellView() = default;
    virtual void Display() {}             // redraw the data windows from the image
    virtual void DataWindowsChanged() {}  // a data window was created or freed
    virtual void CounterChanged() {}      // the pass counter's text changed
};

struct Workbench {
    explicit Workbench(Prompts& p, Transport* transport = nullptr)
        : prompts(p), Ep3(p, options, transport), ImageBuffer(TakeBytes(ImageSize, 0)) {
        std::fill(ImageBuffer.begin(), ImageBuffer.begin() + ImageFilledSize, 0xFF);
    }
    ~Workbench() { GiveBackBytes(std::move(ImageBuffer)); }
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
    // The image address ranges (first, last; ascending) the last file load
    // stored; the forms compare them with the chip's last address.
    std::vector<std::pair<int, int>> LoadedRanges;
    // The PIC18 configuration bytes (300000h-30000Dh) the last HEX load found
    // beside the image; none after a load of another format.
    HexConfigBytes LoadedConfig;

    std::string Counter = "0";         // the counter field beside "Counter"

    // The data windows; at most one of each, null when not open.
    std::unique_ptr<HexWindowState> FileWin;
    std::unique_ptr<FuseWindowState> PldFileW;
    std::unique_ptr<SvfWindowState> SvfFileW;

    ShellView* view = nullptr;
    // The user started an operation (a form's button): the simulated
    // programmer's operator starts counting its chips again. Unset on hardware.
    std::function<void()> OperationStarts;
    int& ErrorFlag() { return Ep3.ErrorFlag; }

    // Frees the fuse window; shows the hex window, creating it ("noname.bin",
    // EndAddr 0xFFFF, view at 0) when it does not exist. The image is untouched.
    void FileNew();
    // Redraws the data windows from the image.
    void Display();
    // After a clean batch pass: beep, counter + 1, serial and date stamps.
    // Nothing while ErrorFlag is set.
    void PassCount(int unused = 1);
};

}  // namespace quilla
