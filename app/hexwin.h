// The hex buffer window as a model: one page of 256 bytes of the image as a
// text dump, the caret and the address under it, typing over hex digits,
// paging, the start field, the scroll bar, and the checksum of the image up to
// EndAddr. The Qt window (app/ui/filewin.*) only shows this state and forwards
// keys, clicks and caret moves.
//
// Text coordinates are those of the dump text with two-character line breaks:
// line n starts at 75 n, byte k of line n at 75 n + 9 + 3 k, its character at
// 75 n + 57 + k.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quilla {

struct Workbench;
class Prompts;

inline constexpr int HexLineChars = 73;     // one dump line without its break
inline constexpr int HexLineStride = 75;    // with "\r\n"
inline constexpr int HexPageLines = 16;
inline constexpr int HexPageBytes = 256;
inline constexpr int HexFirstDigitCol = 9;  // first digit of byte 0 of a line
inline constexpr int HexTextCol = 57;       // character of byte 0 of a line
inline constexpr int HexMaxEndAddr = 0x7FFFFF;
inline constexpr int HexMaxViewStart = 0x7FFF00;  // last page of the image

// The text of a data window that find and replace act on (the buffer window,
// the fuse-map window, the SVF window).
class TextTarget {
public:
    virtual ~TextTarget() = default;
    virtual std::string WindowText() const = 0;
    virtual int SelStart() const = 0;
    virtual int SelLength() const = 0;
    virtual void Select(int start, int length) = 0;
};

// Keys of the dump that page through the image.
enum class HexKey { Home, End, PageUp, PageDown };

// The page text of `ViewStart`, for the image `image` (16 lines, "\r\n" each).
std::string HexPageText(const std::uint8_t* image, int viewStart);

// The character the dump shows for a byte.
inline char HexShownChar(int v) { return (v >= 0x21 && v <= 0x7F) ? static_cast<char>(v) : '.'; }

// Keeps a view start inside the image: 0..HexMaxViewStart, multiple of 16.
int ClampViewStart(std::int64_t v);

struct HexWindowState : TextTarget {
    std::string Title = "noname.bin";
    int EndAddr = 0xFFFF;            // last image address in use
    int ViewStart = 0;               // first address shown
    std::uint32_t BufferChecksum = 0;  // sum of bytes 0..EndAddr, by Display
    int CursorAddress = 0;           // image address under the caret
    int CaretLine = 0;
    int CaretCol = 0;

    // The rich edit: its text, which characters are red, its selection.
    std::string RichText;
    std::vector<std::uint8_t> Red;
    int SelStart_ = HexFirstDigitCol;
    int SelLength_ = 0;

    // The fields below the dump and the scroll bar.
    std::string Edit1;  // cursor address "%x "
    std::string Edit2;  // checksum "%8x"
    std::string Edit3;  // view start "%x", editable
    bool Edit3Yellow = false;  // while the scroll bar is being moved
    int ScrollMax = 0;
    int ScrollPos = 0;

    // Redraws from the image: view start to a multiple of 16 (kept in the
    // image), scroll bar, start field, checksum, the 16 lines, caret at 9.
    void Display(Workbench& wb);

    // The caret moved (a click or a cursor key): recomputes the caret line,
    // column and CursorAddress, and the cursor field.
    void OnSelectionChange();
    // Puts the caret at `pos` with an empty selection.
    void SetCaret(int pos);

    // A typed character. Hex digits over the hex columns change the image and
    // show in red; every other key changes nothing. True when it was taken.
    bool OnKeyPress(Workbench& wb, char key);
    // Home, End, Page Up, Page Down, each followed by Display.
    void OnRichKeyDown(Workbench& wb, HexKey key);
    // The tool bar's page forward / page back.
    void PageForward(Workbench& wb) { OnRichKeyDown(wb, HexKey::PageDown); }
    void PageBack(Workbench& wb) { OnRichKeyDown(wb, HexKey::PageUp); }

    // Start field: leaving it, or Enter (key 13) in it.
    void Edit3Exit(Workbench& wb);
    void Edit3KeyD(Workbench& wb, int key);

    // Scroll bar: a position change (the field turns yellow), then the end of
    // the scroll (redraw, the field turns white).
    void ScrollBar1Change(int position);
    void ScrollBar1OnScroll(Workbench& wb, bool endScroll);

    // Replace at the caret (the main window checks the window and the text's
    // length first). Returns false with a message when it refuses.
    bool ReplaceAtCaret(Workbench& wb, const std::string& replacement);

    // Find over the whole buffer, from the text position `from` of this page
    // on: the dump of every line up to EndAddr's (at least this page's lines),
    // read as one text with its line breaks, as the window would show each
    // page; a run of digits ("xx xx") or of the character column is also
    // found where it crosses a line end. The hit's position (relative to this
    // page's text, so past its end for a later page) and length, or nothing.
    std::optional<std::pair<int, int>> FindInDump(const std::vector<std::uint8_t>& image,
                                                  const std::string& what, int from) const;
    // The same; a hit the page does not show moves the view to the hit's line
    // (Display), and the hit is selected. False when nothing matches.
    bool FindInBuffer(Workbench& wb, const std::string& what, int from);

    // TextTarget
    std::string WindowText() const override { return RichText; }
    int SelStart() const override { return SelStart_; }
    int SelLength() const override { return SelLength_; }
    void Select(int start, int length) override;

    bool CaretInHexColumns() const { return CaretCol >= HexFirstDigitCol && CaretCol <= 56; }
};

// The main window's find and replace over the active data window.
struct FindReplace {
    int FindStart = 0;
    int FindLength = 0;
    int FoundPos = -1;

    // Find (and Repeat): searches from after the selection (or from the
    // caret). The buffer window (`wb` given and `target` its FileWin) is
    // searched as a whole from there on (FindInBuffer); other windows in the
    // text they hold. Not found: "Not found.", caret to 0, beep. False when
    // not found.
    bool OnFind(TextTarget& target, const std::string& what, Prompts& prompts, Workbench* wb = nullptr);
    // Find of the replace dialog: like OnFind, but the selection stays.
    bool OnRePlaceFind(TextTarget& target, const std::string& what, Prompts& prompts,
                       Workbench* wb = nullptr);
    // Replace: `active` is the active data window (null: nothing), `buffer`
    // the buffer window when the active one is it.
    void OnRePlace(Workbench& wb, TextTarget* active, HexWindowState* buffer,
                   const std::string& replacement);

private:
    bool Search(TextTarget& target, const std::string& what, Workbench* wb);
};

}  // namespace quilla
