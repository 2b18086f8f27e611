// How long the buffer window's redraw takes: Display sums the image from 0 to
// EndAddr (8 MiB at most) and formats one page; paging through the image; and
// a Find that searches the whole image.
//
// Each redraw figure is measured beside the earlier display loop: a frozen
// copy of Display as it was when this benchmark was added (commit fdf4845),
// built as the Release build built it then (g++ -O3), run in turns with
// today's Display on the same image in the same run.
// Goal: a Display of 8 MiB within 1.2x of the earlier loop's.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/workbench.h"

namespace {

struct QuietPrompts : quilla::Prompts {
    int Message(const std::string&, const std::string&, quilla::MsgKind, int) override {
        return quilla::BtnOk;
    }
    void Beep() override {}
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

}  // namespace

// The earlier display loop: Display, its page text and its caret of commit
// fdf4845, unchanged but for the window state they write (a struct of their
// own). g++ built it at -O3 then; -O2 builds it as today's Release does.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC push_options
#pragma GCC optimize("O3")
#endif
namespace earlier {

using namespace quilla;

std::string Format(const char* fmt, unsigned v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

std::string HexPageText(const std::uint8_t* image, int viewStart) {
    static const char digits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(HexPageLines * HexLineStride), ' ');
    char addr[16];
    for (int line = 0; line < HexPageLines; ++line) {
        const int a = viewStart + 16 * line;
        char* out = text.data() + line * HexLineStride;
        std::snprintf(addr, sizeof addr, "%6x:", static_cast<unsigned>(a));
        std::copy(addr, addr + 7, out);  // "%6x:  ": the two blanks are there already
        for (int k = 0; k < 16; ++k) {
            const std::uint8_t v = image[a + k];
            out[HexFirstDigitCol + 3 * k] = digits[v >> 4];
            out[HexFirstDigitCol + 3 * k + 1] = digits[v & 15];
            out[HexTextCol + k] = HexShownChar(v);
        }
        out[HexLineChars] = '\r';
        out[HexLineChars + 1] = '\n';
    }
    return text;
}

int ClampViewStart(std::int64_t v) {
    if (v < 0) v = 0;
    if (v > HexMaxViewStart) v = HexMaxViewStart;
    return static_cast<int>(v) & ~15;
}

struct Window {
    int EndAddr = 0xFFFF;
    int ViewStart = 0;
    std::uint32_t BufferChecksum = 0;
    int CursorAddress = 0, CaretLine = 0, CaretCol = 0, ScrollMax = 0, ScrollPos = 0;
    int SelStart_ = 0, SelLength_ = 0;
    bool Edit3Yellow = false;
    std::string Edit1, Edit2, Edit3, RichText;
    std::vector<std::uint8_t> Red;

    void OnSelectionChange() {
        const int p = SelStart_;
        CaretLine = p / HexLineStride;
        CaretCol = p - CaretLine * HexLineStride;
        int offset = 0;
        if (CaretCol >= 10 && CaretCol <= 56) offset = (CaretCol - HexFirstDigitCol) / 3;
        else if (CaretCol >= HexTextCol && CaretCol <= 72) offset = CaretCol - HexTextCol;
        CursorAddress = 16 * CaretLine + offset + ViewStart;
        Edit1 = Format("%x ", static_cast<unsigned>(CursorAddress));
    }

    void Select(int start, int length) {
        const int size = static_cast<int>(RichText.size());
        start = std::clamp(start, 0, size);
        length = std::clamp(length, 0, size - start);
        SelStart_ = start;
        SelLength_ = length;
        OnSelectionChange();
    }

    void Display(const std::vector<std::uint8_t>& image) {
        const int imageEnd = static_cast<int>(std::min<std::size_t>(image.size(), HexMaxEndAddr + 1)) - 1;
        if (EndAddr > imageEnd) EndAddr = imageEnd;
        ViewStart = ClampViewStart(ViewStart);

        ScrollMax = EndAddr / 256;
        ScrollPos = ViewStart / 256;
        Edit3 = Format("%x", static_cast<unsigned>(ViewStart));
        Edit3Yellow = false;

        std::uint32_t sum = 0;
        const std::uint8_t* img = image.data();
        for (int a = 0; a <= EndAddr; ++a) sum += img[a];
        BufferChecksum = sum;
        Edit2 = Format("%8x", sum);

        RichText = HexPageText(img, ViewStart);
        Red.assign(RichText.size(), 0);
        Select(HexFirstDigitCol, 0);
    }

    void PageDown(const std::vector<std::uint8_t>& image) {
        if (ViewStart + 256 < EndAddr) ViewStart += 256;
        Display(image);
    }
};

}  // namespace earlier
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC pop_options
#endif

namespace {

// Runs `earlierStep` and `nowStep` `steps` times each, in turns, `rounds`
// rounds; returns the median time of one step of each (seconds).
template <typename E, typename N>
std::pair<double, double> SideBySide(int rounds, int steps, E earlierStep, N nowStep) {
    std::vector<double> e, n;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = Clock::now();
        for (int i = 0; i < steps; ++i) earlierStep(i);
        e.push_back(Seconds(t0) / steps);
        t0 = Clock::now();
        for (int i = 0; i < steps; ++i) nowStep(i);
        n.push_back(Seconds(t0) / steps);
    }
    std::sort(e.begin(), e.end());
    std::sort(n.begin(), n.end());
    return {e[e.size() / 2], n[n.size() / 2]};
}

void Row(const char* what, double unit, const char* unitName, std::pair<double, double> t) {
    std::printf("%-38s %9.3f %s %9.3f %s   now/earlier %.2f\n", what, t.first * unit, unitName, t.second * unit,
                unitName, t.second / t.first);
}

}  // namespace

int main() {
    QuietPrompts prompts;
    quilla::Workbench wb(prompts);
    for (std::size_t i = 0; i < wb.ImageBuffer.size(); ++i)
        wb.ImageBuffer[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    wb.FileNew();
    quilla::HexWindowState& win = *wb.FileWin;
    earlier::Window old;
    std::uint32_t keep = 0;
    const int rounds = 15;

    std::printf("medians of %d rounds, earlier display loop (fdf4845, as built then) beside today's\n", rounds);
    std::printf("%-38s %12s %12s\n", "", "earlier", "now");

    // Display of the whole image.
    win.EndAddr = old.EndAddr = 0x7FFFFF;
    auto big = SideBySide(
        rounds, 20,
        [&](int) {
            old.Display(wb.ImageBuffer);
            keep += old.BufferChecksum;
        },
        [&](int) {
            wb.Display();
            keep += win.BufferChecksum;
        });
    if (old.BufferChecksum != win.BufferChecksum || old.RichText != win.RichText)
        std::printf("warning: the two loops disagree on the 8 MiB display\n");
    Row("display: EndAddr 0x7FFFFF, per redraw", 1e3, "ms", big);
    std::printf("%-38s %9.0f MB/s %7.0f MB/s summed\n", "", 8.388608 / big.first, 8.388608 / big.second);

    // Display of a 64 KiB image: the page text weighs more.
    win.EndAddr = old.EndAddr = 0xFFFF;
    auto small = SideBySide(
        rounds, 2000,
        [&](int) {
            old.Display(wb.ImageBuffer);
            keep += old.BufferChecksum;
        },
        [&](int) {
            wb.Display();
            keep += win.BufferChecksum;
        });
    Row("display: EndAddr 0xFFFF, per redraw", 1e6, "us", small);

    // Page Down over 8 MiB as the key does it (each step a full Display),
    // from the first page on.
    win.EndAddr = old.EndAddr = 0x7FFFFF;
    win.OnRichKeyDown(wb, quilla::HexKey::Home);
    old.ViewStart = 0;
    auto paging = SideBySide(
        rounds, 40, [&](int) { old.PageDown(wb.ImageBuffer); },
        [&](int) { win.OnRichKeyDown(wb, quilla::HexKey::PageDown); });
    if (old.ViewStart != win.ViewStart) std::printf("warning: the two loops paged to different pages\n");
    Row("paging: Page Down over 8 MiB, per page", 1e3, "ms", paging);

    // Paging text only (the scroll bar's drag): formatting one page.
    std::size_t chars = 0;
    auto text = SideBySide(
        rounds, 10000,
        [&](int i) {
            chars += earlier::HexPageText(wb.ImageBuffer.data(), (i * 256) % quilla::HexMaxViewStart).size();
        },
        [&](int i) {
            chars += quilla::HexPageText(wb.ImageBuffer.data(), (i * 256) % quilla::HexMaxViewStart).size();
        });
    Row("page text: per page", 1e6, "us", text);

    const double ratio = big.second / big.first;
    std::printf("display of 8 MiB now / earlier (medians): %.2f  (goal: at most 1.2) %s\n", ratio,
                ratio <= 1.2 ? "met" : "NOT met");

    // Find over the whole buffer: a text found nowhere, from the first page
    // through all 8 MiB (the longest a Find takes; no earlier figure).
    win.EndAddr = 0x7FFFFF;
    win.OnRichKeyDown(wb, quilla::HexKey::Home);
    const int finds = 5;
    int misses = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < finds; ++i) misses += !win.FindInDump(wb.ImageBuffer, "zz zz", 0);
    const double s = Seconds(t0);
    std::printf("find: %d searches of 8 MiB finding nothing in %.3f s: %.1f ms each\n", misses, s,
                1e3 * s / finds);

    std::printf("(check %u %zu)\n", keep, chars);
    return 0;
}
