// Fuzzes the SVF loader: the input is written to a temporary file (in memory
// where possible) and loaded into the SVF window state; the lines must hold
// the whole text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "app/svf.h"
#include "app/workbench.h"

using namespace quilla;

namespace {
class SilentPrompts : public Prompts {
public:
    int Message(const std::string&, const std::string&, MsgKind, int buttons) override { return buttons & BtnOk; }
    void Beep() override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentPrompts prompts;
    static Workbench wb(prompts);
    static const std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/quilla_fuzz_svf_" + std::to_string(::getpid()) + ".svf";
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    wb.DataFileName = path;
    const bool loaded = LoadSvf(wb);
    std::remove(path.c_str());
    if (!loaded || !wb.SvfFileW) std::abort();
    // Every byte but the line breaks is in some line, in order.
    std::string joined;
    for (const auto& l : wb.SvfFileW->Lines) {
        if (l.find_first_of("\r\n") != std::string::npos) std::abort();
        joined += l;
    }
    std::string expect;
    for (char c : text)
        if (c != '\r' && c != '\n') expect += c;
    if (joined != expect) std::abort();
    (void)SvfPlayable(wb);
    return 0;
}
