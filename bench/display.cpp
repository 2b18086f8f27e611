// How long the buffer window's redraw takes: Display sums the image from 0 to
// EndAddr (8 MiB at most) and formats one page; paging through the image; and
// a Find that searches the whole image.
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "app/workbench.h"

namespace {

struct QuietPrompts : quilla::Prompts {
    int Message(const std::string&, const std::string&, quilla::MsgKind, int) override {
        return quilla::BtnOk;
    }
    void Beep() override {}
};

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
    QuietPrompts prompts;
    quilla::Workbench wb(prompts);
    for (std::size_t i = 0; i < wb.ImageBuffer.size(); ++i)
        wb.ImageBuffer[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    wb.FileNew();
    quilla::HexWindowState& win = *wb.FileWin;
    std::uint32_t keep = 0;

    // Display of the whole image.
    win.EndAddr = 0x7FFFFF;
    const int displays = 200;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < displays; ++i) {
        wb.Display();
        keep += win.BufferChecksum;
    }
    double s = Seconds(t0);
    std::printf("display: EndAddr 0x7FFFFF, %d redraws in %.3f s: %.3f ms each (%.0f MB/s summed)\n",
                displays, s, 1e3 * s / displays, displays * 8.388608 / s);

    // Display of a 64 KiB image: the page text dominates.
    win.EndAddr = 0xFFFF;
    const int small = 20000;
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < small; ++i) {
        wb.Display();
        keep += win.BufferChecksum;
    }
    s = Seconds(t0);
    std::printf("display: EndAddr 0xFFFF, %d redraws in %.3f s: %.1f us each\n", small, s,
                1e6 * s / small);

    // Page Down from the first page to the last with EndAddr 0x7FFFFF, as the
    // key does it (each step a full Display).
    win.EndAddr = 0x7FFFFF;
    win.OnRichKeyDown(wb, quilla::HexKey::Home);
    const int pages = 2000;
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < pages; ++i) win.OnRichKeyDown(wb, quilla::HexKey::PageDown);
    s = Seconds(t0);
    std::printf("paging: %d Page Down steps over 8 MiB in %.3f s: %.3f ms per page (at 0x%x)\n", pages,
                s, 1e3 * s / pages, static_cast<unsigned>(win.ViewStart));

    // Paging text only (the scroll bar's drag): formatting one page.
    const int texts = 200000;
    std::size_t chars = 0;
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < texts; ++i)
        chars += quilla::HexPageText(wb.ImageBuffer.data(), (i * 256) % quilla::HexMaxViewStart).size();
    s = Seconds(t0);
    std::printf("page text: %d pages in %.3f s: %.2f us each\n", texts, s, 1e6 * s / texts);

    // Find over the whole buffer: a text found nowhere, from the first page
    // through all 8 MiB (the longest a Find takes).
    win.EndAddr = 0x7FFFFF;
    win.OnRichKeyDown(wb, quilla::HexKey::Home);
    const int finds = 5;
    int misses = 0;
    t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < finds; ++i) misses += !win.FindInDump(wb.ImageBuffer, "zz zz", 0);
    s = Seconds(t0);
    std::printf("find: %d searches of 8 MiB finding nothing in %.3f s: %.1f ms each\n", misses, s,
                1e3 * s / finds);

    std::printf("(check %u %zu)\n", keep, chars);
    return 0;
}
