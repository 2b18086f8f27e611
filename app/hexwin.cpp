#include "app/hexwin.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

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

void HexWindowState::Display(Workbench& wb) {
    // The image is 8 MiB; neither the sum nor a page may read past it.
    const int imageEnd = static_cast<int>(std::min<std::size_t>(wb.ImageBuffer.size(), HexMaxEndAddr + 1)) - 1;
    if (EndAddr > imageEnd) EndAddr = imageEnd;
    ViewStart = ClampViewStart(ViewStart);

    ScrollMax = EndAddr / 256;
    ScrollPos = ViewStart / 256;
    Edit3 = Format("%x", static_cast<unsigned>(ViewStart));
    Edit3Yellow = false;

    std::uint32_t sum = 0;
    const std::uint8_t* img = wb.ImageBuffer.data();
    for (int a = 0; a <= EndAddr; ++a) sum += img[a];
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

bool FindReplace::Search(TextTarget& target, const std::string& what) {
    const std::string text = target.WindowText();
    const int selLen = target.SelLength();
    FindStart = selLen > 0 ? target.SelStart() + selLen : 0;
    FindStart = std::clamp(FindStart, 0, static_cast<int>(text.size()));
    FindLength = static_cast<int>(text.size()) - FindStart;
    FoundPos = -1;
    if (what.empty()) return false;
    const std::size_t at = text.find(what, static_cast<std::size_t>(FindStart));
    if (at == std::string::npos) return false;
    FoundPos = static_cast<int>(at);
    target.Select(FoundPos, static_cast<int>(what.size()));
    return true;
}

bool FindReplace::OnFind(TextTarget& target, const std::string& what, Prompts& prompts) {
    if (Search(target, what)) return true;
    prompts.ShowMsg("Not found.");
    target.Select(0, 0);
    prompts.Beep();
    return false;
}

bool FindReplace::OnRePlaceFind(TextTarget& target, const std::string& what, Prompts& prompts) {
    if (Search(target, what)) return true;
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
