#include "app/hexwin.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "app/numparse.h"
#include "app/workbench.h"

namespace quilla {
namespace {

std::string Format(const char* fmt, unsigned v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsImageAddress(const Workbench& wb, int a) {
    return a >= 0 && static_cast<std::size_t>(a) < wb.ImageBuffer.size();
}

}  // namespace

namespace {

// One dump line of the 16 bytes from `a` (75 characters with its break).
void DumpLine(const std::uint8_t* image, int a, char* out) {
    static const char digits[] = "0123456789abcdef";
    std::fill(out, out + HexLineStride, ' ');
    // "%6x:  " (image addresses have at most six digits; the blanks are there already).
    unsigned v = static_cast<unsigned>(a);
    int col = 5;
    do {
        out[col--] = digits[v & 15];
        v >>= 4;
    } while (v && col >= 0);
    out[6] = ':';
    for (int k = 0; k < 16; ++k) {
        const std::uint8_t v = image[a + k];
        out[HexFirstDigitCol + 3 * k] = digits[v >> 4];
        out[HexFirstDigitCol + 3 * k + 1] = digits[v & 15];
        out[HexTextCol + k] = HexShownChar(v);
    }
    out[HexLineChars] = '\r';
    out[HexLineChars + 1] = '\n';
}

// The sum of n bytes, modulo 2^32. Display runs it over up to 8 MiB on every
// redraw. Blocks of 256 bytes add up in 16 bits (256 * 255 fits): a loop of a
// fixed length that g++ vectorises at -O2, where a byte-by-byte sum into 32
// bits stays scalar and runs five to eight times slower (bench_display).
std::uint32_t ByteSum(const std::uint8_t* p, std::size_t n) {
    constexpr std::size_t Block = 256;
    std::uint32_t sum = 0;
    std::size_t a = 0;
    for (; n - a >= Block; a += Block) {
        std::uint16_t block = 0;
        for (std::size_t k = 0; k < Block; ++k) block = static_cast<std::uint16_t>(block + p[a + k]);
        sum += block;
    }
    for (; a < n; ++a) sum += p[a];
    return sum;
}

}  // namespace

std::string HexPageText(const std::uint8_t* image, int viewStart) {
    std::string text(static_cast<std::size_t>(HexPageLines * HexLineStride), ' ');
    for (int line = 0; line < HexPageLines; ++line)
        DumpLine(image, viewStart + 16 * line, text.data() + line * HexLineStride);
    return text;
}

int ClampViewStart(std::int64_t v) {
    if (v < 0) v = 0;
    if (v > HexMaxViewStart) v = HexMaxViewStart;
    return static_cast<int>(v) & ~15;
}

void HexWindowState::Display(Workbench& wb) {
    // The image is 8 MiB; neither the sum nor a page may read past it.
    const int imageEnd = static_cast<int>(std::min<std::size_t>(wb.ImageBuffer.size(), HexMaxEndAddr + 1)) - 1;
    if (EndAddr > imageEnd) EndAddr = imageEnd;
    ViewStart = ClampViewStart(ViewStart);

    ScrollMax = EndAddr / 256;
    ScrollPos = ViewStart / 256;
    Edit3 = Format("%x", static_cast<unsigned>(ViewStart));
    Edit3Yellow = false;

    const std::uint8_t* img = wb.ImageBuffer.data();
    const std::uint32_t sum = EndAddr < 0 ? 0 : ByteSum(img, static_cast<std::size_t>(EndAddr) + 1);
    BufferChecksum = sum;
    Edit2 = Format("%8x", sum);

    RichText = HexPageText(img, ViewStart);
    Red.assign(RichText.size(), 0);
    SetCaret(HexFirstDigitCol);
}

void HexWindowState::OnSelectionChange() {
    const int p = SelStart_;
    CaretLine = p / HexLineStride;
    CaretCol = p - CaretLine * HexLineStride;
    int offset = 0;
    if (CaretCol >= 10 && CaretCol <= 56) offset = (CaretCol - HexFirstDigitCol) / 3;
    else if (CaretCol >= HexTextCol && CaretCol <= 72) offset = CaretCol - HexTextCol;
    CursorAddress = 16 * CaretLine + offset + ViewStart;
    Edit1 = Format("%x ", static_cast<unsigned>(CursorAddress));
}

void HexWindowState::SetCaret(int pos) { Select(pos, 0); }

void HexWindowState::Select(int start, int length) {
    const int size = static_cast<int>(RichText.size());
    start = std::clamp(start, 0, size);
    length = std::clamp(length, 0, size - start);
    SelStart_ = start;
    SelLength_ = length;
    OnSelectionChange();
}

bool HexWindowState::OnKeyPress(Workbench& wb, char key) {
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    OnSelectionChange();
    const bool hexKey = (up >= '0' && up <= '9') || (up >= 'A' && up <= 'F');
    if (!hexKey || CaretCol < HexFirstDigitCol || CaretCol > 55) {
        SelLength_ = 0;
        return false;
    }
    int p = SelStart_;
    // On the blank after a group: type over the next group's first digit, and
    // store into the byte of that group.
    if (RichText[static_cast<std::size_t>(p)] == ' ') ++p;
    SetCaret(p);

    RichText[static_cast<std::size_t>(p)] = up;
    Red[static_cast<std::size_t>(p)] = 1;

    const int g = p / 3 * 3;
    const int value = HexDigit(RichText[static_cast<std::size_t>(g)]) * 16 +
                      HexDigit(RichText[static_cast<std::size_t>(g) + 1]);
    if (IsImageAddress(wb, CursorAddress))
        wb.ImageBuffer[static_cast<std::size_t>(CursorAddress)] = static_cast<std::uint8_t>(value);

    const int lineStart = g / HexLineStride * HexLineStride;
    const std::size_t tc = static_cast<std::size_t>(lineStart + HexTextCol + (CursorAddress & 15));
    RichText[tc] = (value < 33 || value > 127) ? '.' : static_cast<char>(value);
    Red[tc] = 1;

    SetCaret(p + 1);
    return true;
}

void HexWindowState::OnRichKeyDown(Workbench& wb, HexKey key) {
    switch (key) {
    case HexKey::Home:
        ViewStart = 0;
        break;
    case HexKey::End:
        ViewStart = std::max(EndAddr - 255, 0);
        break;
    case HexKey::PageDown:
        if (ViewStart + 256 < EndAddr) ViewStart += 256;
        break;
    case HexKey::PageUp:
        if (ViewStart >= 256) ViewStart -= 256;
        break;
    }
    Display(wb);
}

void HexWindowState::Edit3Exit(Workbench& wb) {
    if (auto v = ParseHex32(Edit3)) ViewStart = ClampViewStart(*v);
    Display(wb);
}

void HexWindowState::Edit3KeyD(Workbench& wb, int key) {
    if (key == 13) Edit3Exit(wb);
}

void HexWindowState::ScrollBar1Change(int position) {
    ViewStart = ClampViewStart(static_cast<std::int64_t>(position) * 256);
    ScrollPos = ViewStart / 256;
    Edit3 = Format("%x", static_cast<unsigned>(ViewStart));
    Edit3Yellow = true;
}

void HexWindowState::ScrollBar1OnScroll(Workbench& wb, bool endScroll) {
    if (endScroll) Display(wb);
}

bool HexWindowState::ReplaceAtCaret(Workbench& wb, const std::string& replacement) {
    const int p = SelStart_;
    const int value = HexDigit(replacement[0]) * 16 + HexDigit(replacement[1]);
    if (IsImageAddress(wb, CursorAddress))
        wb.ImageBuffer[static_cast<std::size_t>(CursorAddress)] = static_cast<std::uint8_t>(value);
    // The two characters go over the digits of the byte just stored, so the
    // dump never shows one byte's value half in the next group.
    const std::size_t g = static_cast<std::size_t>(p / 3 * 3);
    RichText.replace(g, 2, replacement);
    Red[g] = Red[g + 1] = 0;
    SetCaret(p);
    return true;
}

namespace {

// The buffer's dump seen as one text in three ways: whole lines (address,
// digits, characters and line breaks, as the window shows them), only the
// digit columns ("xx " per byte) and only the character column. The last two
// let a run of bytes be found where it crosses a line end.
struct DumpColumns {
    int col, width;
};
constexpr DumpColumns DumpViews[] = {{0, HexLineStride}, {HexFirstDigitCol, 3 * 16}, {HexTextCol, 16}};

// Lines searched in one piece; a hit may run into the lines after the piece.
constexpr int SearchChunkLines = 4096;

}  // namespace

std::optional<std::pair<int, int>> HexWindowState::FindInDump(const std::vector<std::uint8_t>& image,
                                                             const std::string& what, int from) const {
    if (what.empty() || image.size() < 16) return std::nullopt;
    const int imageLines = static_cast<int>(std::min<std::size_t>(image.size(), HexMaxEndAddr + 1) / 16);
    const int pageLine = ViewStart / 16;
    const int lastLine = std::min(std::max(EndAddr / 16, pageLine + HexPageLines - 1), imageLines - 1);
    const bool pageShown = RichText.size() == static_cast<std::size_t>(HexPageLines * HexLineStride);
    const int len = static_cast<int>(what.size());
    from = std::max(from, 0);
    std::string line(static_cast<std::size_t>(HexLineStride), ' ');
    // A line as the window would show it; the lines on screen as they are
    // shown (digits typed over them are upper case there).
    auto lineText = [&](int n) -> const char* {
        if (pageShown && n >= pageLine && n < pageLine + HexPageLines)
            return RichText.data() + (n - pageLine) * HexLineStride;
        DumpLine(image.data(), 16 * n, line.data());
        return line.data();
    };
    std::optional<std::pair<int, int>> best;
    for (const DumpColumns& v : DumpViews) {
        // Where this view starts: the first of its characters at or after `from`.
        int first = pageLine + from / HexLineStride;
        const int col = from % HexLineStride;
        int offset = 0;
        if (col >= v.col + v.width) ++first;
        else if (col > v.col) offset = col - v.col;
        // Text positions of the view's character i of the piece starting at line a.
        auto textPos = [&](int a, int i) { return (a + i / v.width) * HexLineStride + v.col + i % v.width; };
        const int extra = len / v.width + 2;
        std::string piece;
        for (int a = first; a <= lastLine; a += SearchChunkLines) {
            const int own = std::min(SearchChunkLines, lastLine + 1 - a);
            const int lines = std::min(own + extra, lastLine + 1 - a);
            piece.resize(static_cast<std::size_t>(lines * v.width));
            for (int n = 0; n < lines; ++n)
                std::copy_n(lineText(a + n) + v.col, v.width, piece.data() + n * v.width);
            const std::size_t at = piece.find(what, static_cast<std::size_t>(a == first ? offset : 0));
            if (at == std::string::npos || static_cast<int>(at) >= own * v.width) continue;
            const int start = textPos(a, static_cast<int>(at)) - pageLine * HexLineStride;
            const int end = textPos(a, static_cast<int>(at) + len - 1) - pageLine * HexLineStride;
            if (!best || start < best->first) best = std::make_pair(start, end + 1 - start);
            break;  // the view's first hit; another view may still hold an earlier one
        }
    }
    return best;
}

bool HexWindowState::FindInBuffer(Workbench& wb, const std::string& what, int from) {
    const auto hit = FindInDump(wb.ImageBuffer, what, from);
    if (!hit) return false;
    int start = hit->first, length = hit->second;
    const int pageChars = HexPageLines * HexLineStride;
    if (start < 0 || start + length > pageChars) {
        // Bring the hit's first line to the top (as far as the image allows).
        const int line = ViewStart / 16 + start / HexLineStride;
        const int moved = ClampViewStart(static_cast<std::int64_t>(line) * 16);
        start -= (moved - ViewStart) / 16 * HexLineStride;
        ViewStart = moved;
        Display(wb);
    }
    Select(start, length);
    return true;
}

bool FindReplace::Search(TextTarget& target, const std::string& what, Workbench* wb) {
    const std::string text = target.WindowText();
    const int selLen = target.SelLength();
    HexWindowState* buffer = wb && wb->FileWin.get() == &target ? wb->FileWin.get() : nullptr;
    // The buffer window searches on from its caret; the others from their start.
    FindStart = selLen > 0 ? target.SelStart() + selLen : buffer ? target.SelStart() : 0;
    FindStart = std::clamp(FindStart, 0, static_cast<int>(text.size()));
    FindLength = static_cast<int>(text.size()) - FindStart;
    FoundPos = -1;
    if (what.empty()) return false;
    if (buffer) {
        if (!buffer->FindInBuffer(*wb, what, FindStart)) return false;
        FoundPos = buffer->SelStart();
        return true;
    }
    const std::size_t at = text.find(what, static_cast<std::size_t>(FindStart));
    if (at == std::string::npos) return false;
    FoundPos = static_cast<int>(at);
    target.Select(FoundPos, static_cast<int>(what.size()));
    return true;
}

bool FindReplace::OnFind(TextTarget& target, const std::string& what, Prompts& prompts, Workbench* wb) {
    if (Search(target, what, wb)) return true;
    prompts.ShowMsg("Not found.");
    target.Select(0, 0);
    prompts.Beep();
    return false;
}

bool FindReplace::OnRePlaceFind(TextTarget& target, const std::string& what, Prompts& prompts,
                                Workbench* wb) {
    if (Search(target, what, wb)) return true;
    prompts.ShowMsg("Not found.");
    prompts.Beep();
    return false;
}

void FindReplace::OnRePlace(Workbench& wb, TextTarget* active, HexWindowState* buffer,
                            const std::string& replacement) {
    if (!active) return;
    // Two hex digits, nothing else: anything else would store a value nobody typed.
    if (replacement.size() != 2 || HexDigit(replacement[0]) < 0 || HexDigit(replacement[1]) < 0) {
        wb.prompts.ShowMsg("Replace need 2.  ");
        return;
    }
    if (!buffer || static_cast<TextTarget*>(buffer) != active) {
        wb.prompts.ShowMsg("Error   !");
        return;
    }
    buffer->OnSelectionChange();
    if (!buffer->CaretInHexColumns() || buffer->CaretLine >= HexPageLines) {
        wb.prompts.ShowMsg("Error   !");
        return;
    }
    buffer->ReplaceAtCaret(wb, replacement);
}

}  // namespace quilla
