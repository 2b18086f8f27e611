#include "app/jedec.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/savefile.h"
#include "app/textlines.h"
#include "app/workbench.h"

namespace quilla {

namespace {

struct TextSource {
    const std::string& s;
    std::size_t pos = 0;
    int Get() { return pos < s.size() ? static_cast<unsigned char>(s[pos++]) : EOF; }
};

constexpr int Etx = 0x03;

// What ParseJed met besides the fuses it stored.
struct ParseNotes {
    std::size_t checksumAt = std::string::npos;  // just after the 'C' that ended the read
    bool endsInList = false;                     // the text ended inside a field (no closing '*')
    std::size_t lastFuseAt = std::string::npos;  // the last fuse character stored
    std::size_t lastListAt = std::string::npos;  // the last "L" read
    // With a QF and no default state: the fuses below it set, each counted once.
    std::vector<bool>* seen = nullptr;
    long long fusesSet = 0;
};

// The reader works field by field. The header (with any device line) runs to
// the first '*'. Every later field starts after a '*' (blanks and line breaks
// before its letter are skipped): a "C" field (the checksum) or the end-of-text
// mark ends the read; an "L" field stores its fuses; any other field (notes,
// fuse count, default state, ...) is skipped to its '*'.
// Inside an "L" field: "L" followed by decimal digits (all of them: CPLD files
// write seven) sets the fuse address, and the character that ended them is
// consumed (a '*' there still ends the field); '0' and '1' are stored at the
// address and advance it, a 'C' ends the read (older files of more than 135
// rows carry their checksum inside the fuse list), anything else is ignored.
template <typename Source>
long long ParseJed(std::vector<std::uint8_t>& image, Source& src, ParseNotes& notes) {
    int c;
    // Header: up to and including the first '*'.
    do {
        c = src.Get();
    } while (c != EOF && c != '*');
    if (c == EOF) return 0;

    enum class State { FieldStart, Fuses, Skip } state = State::FieldStart;
    long long addr = 0;
    const long long size = static_cast<long long>(image.size());

    auto readAddress = [&]() {
        notes.lastListAt = src.pos - 1;
        long long value = 0;
        int d = EOF;
        while (true) {
            d = src.Get();
            if (d < '0' || d > '9') break;
            // Past the image every address is outside it alike.
            value = std::min<long long>(value * 10 + (d - '0'), size);
        }
        addr = value;
        if (d == '*') state = State::FieldStart;
    };

    while ((c = src.Get()) != EOF) {
        switch (state) {
        case State::FieldStart:
            if (c == 'C') notes.checksumAt = src.pos;
            if (c == 'C' || c == Etx) return addr;
            if (c == '*' || (c >= 0 && c <= ' ')) break;
            if (c == 'L') {
                state = State::Fuses;
                readAddress();
            } else {
                state = State::Skip;
            }
            break;
        case State::Skip:
            if (c == '*') state = State::FieldStart;
            break;
        case State::Fuses:
            if (c == 'C') {
                notes.checksumAt = src.pos;
                return addr;
            }
            if (c == '*') {
                state = State::FieldStart;
            } else if (c == 'L') {
                readAddress();
            } else if (c == '0' || c == '1') {
                if (addr >= 0 && addr < size) image[static_cast<std::size_t>(addr)] = static_cast<std::uint8_t>(c);
                if (notes.seen && addr >= 0 && addr < static_cast<long long>(notes.seen->size()) &&
                    !(*notes.seen)[static_cast<std::size_t>(addr)]) {
                    (*notes.seen)[static_cast<std::size_t>(addr)] = true;
                    ++notes.fusesSet;
                }
                notes.lastFuseAt = src.pos - 1;
                ++addr;
            }
            break;
        }
    }
    // A field left open by the end of the text: a fuse list, or another
    // field after the header (a note cut short after the fuses included).
    notes.endsInList = state != State::FieldStart;
    return addr;
}

void FillMapWithZeros(std::vector<std::uint8_t>& image, const FuseWindowState& w) {
    const int n = FuseMapCount(w, image.size());
    std::fill(image.begin(), image.begin() + n, static_cast<std::uint8_t>('0'));
}

// The fields before the first fuse list, as the reader meets them.
struct HeaderFields {
    long long count = -1;  // "QF" (-1: none), kept inside the image
    char state = '0';      // "F" ('0' when absent)
    bool defaultState = false;
    bool fuseList = false;  // an "L" field follows
    bool HasData() const { return fuseList || defaultState; }
};

// The file's fuse count ("QF") and default state ("F"), and whether a fuse
// list follows. Only fields before the first "L" field count (the standard
// places them there); a "C" field or the end-of-text mark ends the look.
HeaderFields ScanHeader(const std::string& text, std::size_t imageSize) {
    HeaderFields h;
    std::size_t pos = text.find('*');
    while (pos != std::string::npos) {
        std::size_t f = pos + 1;
        while (f < text.size() && static_cast<unsigned char>(text[f]) <= ' ') ++f;
        if (f >= text.size() || text[f] == 'C' || text[f] == Etx) break;
        if (text[f] == 'L') {
            h.fuseList = true;
            break;
        }
        if (text.compare(f, 2, "QF") == 0) {
            h.count = 0;
            for (std::size_t k = f + 2; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k)
                h.count = std::min<long long>(h.count * 10 + (text[k] - '0'), static_cast<long long>(imageSize));
        } else if (text[f] == 'F' && f + 1 < text.size() && (text[f + 1] == '0' || text[f + 1] == '1')) {
            h.state = text[f + 1];
            h.defaultState = true;
        }
        pos = text.find('*', f);
    }
    return h;
}

// The fuses below the file's fuse count that no "L" field lists take the
// default, also where they lie beyond the window's map.
void FillDefaults(std::vector<std::uint8_t>& image, const HeaderFields& h) {
    if (h.count > 0) std::fill(image.begin(), image.begin() + h.count, static_cast<std::uint8_t>(h.state));
}

// Four hex digits at `at` (the checksum field's value); nothing when they are
// not there.
std::optional<std::uint16_t> FieldValue(const std::string& text, std::size_t at) {
    if (at == std::string::npos || at + 4 > text.size()) return std::nullopt;
    unsigned v = 0;
    for (std::size_t k = at; k < at + 4; ++k) {
        const int d = std::isxdigit(static_cast<unsigned char>(text[k]))
                          ? (std::isdigit(static_cast<unsigned char>(text[k])) ? text[k] - '0'
                                                                               : (std::toupper(static_cast<unsigned char>(text[k])) - 'A' + 10))
                          : -1;
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<unsigned>(d);
    }
    return static_cast<std::uint16_t>(v);
}

// The whole file as text; nothing when it cannot be opened or read (a folder
// opens but cannot be read).
std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) return std::nullopt;
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) text.append(buf, n);
    if (std::ferror(f.get())) return std::nullopt;
    return text;
}

int StoreReached(FuseWindowState& w, long long reached) {
    const int r = static_cast<int>(std::min<long long>(reached, 0x7FFFFFFF));
    w.FuseCount = r;
    return r;
}

}  // namespace

int FuseMapCount(const FuseWindowState& w, std::size_t imageSize) {
    const long long n = (static_cast<long long>(w.FuseRows) + FuseExtraRows) * w.FuseCols;
    if (n <= 0) return 0;
    return static_cast<int>(std::min<long long>(n, static_cast<long long>(imageSize)));
}

std::uint16_t JedecChecksum(const std::uint8_t* fuses, std::size_t count) {
    std::uint16_t sum = 0;
    for (std::size_t g = 0; g < count; g += 8) {
        unsigned byte = 0;
        const std::size_t end = std::min(count, g + 8);
        for (std::size_t i = g; i < end; ++i)
            if (fuses[i] & 1u) byte |= 1u << (i - g);
        sum = static_cast<std::uint16_t>(sum + byte);
    }
    return sum;
}

std::uint16_t FuseChecksum(const std::vector<std::uint8_t>& image, const FuseWindowState& w) {
    long long n = static_cast<long long>(w.FuseRows) * w.FuseCols;
    n = std::clamp<long long>(n, 0, static_cast<long long>(image.size()));
    return JedecChecksum(image.data(), static_cast<std::size_t>(n));
}

std::string FuseChecksumText(const std::vector<std::uint8_t>& image, const FuseWindowState& w) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", FuseChecksum(image, w));
    return buf;
}

int ReadJed(std::vector<std::uint8_t>& image, FuseWindowState& w, const std::string& path,
            JedReadReport* report) {
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) return -1;
    return ReadJedText(image, w, *text, report);
}

int ReadJedText(std::vector<std::uint8_t>& image, FuseWindowState& w, const std::string& text,
                JedReadReport* report) {
    JedReadReport r;
    const HeaderFields header = ScanHeader(text, image.size());
    r.HasData = header.HasData();
    r.DeclaredFuses = header.count;
    r.DefaultState = header.defaultState;
    if (!r.HasData) {
        if (report) *report = r;
        return 0;
    }
    FillMapWithZeros(image, w);
    FillDefaults(image, header);
    w.ArchitectureUnread = false;
    TextSource src{text};
    ParseNotes notes;
    std::vector<bool> seen;
    if (header.count > 0 && !header.defaultState) {
        seen.assign(static_cast<std::size_t>(header.count), false);
        notes.seen = &seen;
    }
    const long long reached = ParseJed(image, src, notes);
    r.Reached = reached;
    r.FusesSet = notes.fusesSet;
    r.EndsInList = notes.endsInList;
    const std::size_t endAt = notes.lastFuseAt != std::string::npos ? notes.lastFuseAt : notes.lastListAt;
    r.EndLine = endAt != std::string::npos ? LineOf(text, endAt) : 0;
    r.FileSum = FieldValue(text, notes.checksumAt);
    // The fuses the file covers: its fuse count when it gives one, else the
    // fuses its lists reached.
    r.SumFuses = std::clamp<long long>(header.count >= 0 ? header.count : reached, 0,
                                       static_cast<long long>(image.size()));
    r.LoadedSum = JedecChecksum(image.data(), static_cast<std::size_t>(r.SumFuses));
    if (report) *report = r;
    return StoreReached(w, reached);
}

std::string JedChecksumMessage(const JedReadReport& report) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "Fuse checksum error: the file says C field %04X, the %lld fuses loaded give %04X",
                  report.FileSum.value_or(0), report.SumFuses, report.LoadedSum);
    return buf;
}

std::string JedFileName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    // A dot in a folder name, or the leading dot of a hidden file, is no extension.
    if (dot == std::string::npos || dot <= nameStart) return path + ".JED";
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    if (ext == ".JED") return path;
    return path.substr(0, dot) + ".JED";
}

std::string JedText(const std::vector<std::uint8_t>& image, const FuseWindowState& w,
                    int variantIndex) {
    std::string out;
    if (variantIndex == 0) out += "GAL16V8\r\n";
    else if (variantIndex == 1) out += "GAL20V8\r\n";
    out += "Ravol*\r\n";
    out += "L0000 \r\n";

    const long long count = FuseMapCount(w, image.size());
    const long long cols = w.FuseCols;
    const long long size = static_cast<long long>(image.size());
    long long written = 0;  // fuses 0 .. written-1 are in the file
    if (cols <= 0) {
        out += "*\r\n";
    } else {
        long long s = 0;
        for (int row = 0; row < JedMaxWriteRows; ++row) {
            if (s < count) {
                // Each fuse as '0' or '1' by its low bit, as the checksum counts
                // it: a byte that is no fuse character cannot shift the fuses
                // after it when the file is read.
                const long long end = std::min(s + cols, size);
                for (long long a = s; a < end; ++a)
                    out += (image[static_cast<std::size_t>(a)] & 1u) ? '1' : '0';
                written = end;
            }
            s += cols;
            // The fuse list is always closed, also when the map has more rows
            // than are written.
            if (s >= count || row == JedMaxWriteRows - 1) {
                out += "*\r\n";
                break;
            }
            out += "\r\n";
        }
    }
    char field[8];
    std::snprintf(field, sizeof field, "C%04X*", JedecChecksum(image.data(), static_cast<std::size_t>(written)));
    out += field;
    return out;
}

bool WriteJed(const std::vector<std::uint8_t>& image, const FuseWindowState& w, int variantIndex,
              const std::string& path, std::string* reason) {
    return WriteWholeFile(JedFileName(path), JedText(image, w, variantIndex), reason);
}

FuseWindowState& OpenFuseWindow(Workbench& wb, int fuseCols, int fuseRows, int deviceFuses) {
    if (wb.FileWin) wb.FileWin.reset();
    if (!wb.PldFileW) {
        wb.PldFileW = std::make_unique<FuseWindowState>();
        std::fill(wb.ImageBuffer.begin(), wb.ImageBuffer.begin() + std::min<std::size_t>(FuseFormFill, wb.ImageBuffer.size()),
                  static_cast<std::uint8_t>('1'));
    }
    FuseWindowState& w = *wb.PldFileW;
    w.FuseCols = fuseCols;
    w.FuseRows = fuseRows;
    w.DeviceFuses = deviceFuses;
    w.FuseCount = FuseMapCount(w, wb.ImageBuffer.size());
    if (wb.view) wb.view->DataWindowsChanged();
    wb.Display();
    return w;
}

void LoadJed(Workbench& wb) {
    // The file is read before any window or fuse changes: one that cannot be
    // read (missing, a folder, no permission) or holds nothing to load leaves
    // the buffer and the windows as they were.
    const std::optional<std::string> text = ReadWholeFile(wb.DataFileName);
    if (!text) {
        wb.prompts.ShowMsg("Cann't open :\n" + wb.DataFileName);
        return;
    }
    if (!ScanHeader(*text, wb.ImageBuffer.size()).HasData()) {
        wb.prompts.ShowMessage("No data in " + wb.DataFileName + ": nothing was loaded");
        return;
    }
    wb.FileWin.reset();
    wb.LoadedRanges.clear();
    wb.LoadedConfig = {};
    if (!wb.PldFileW) wb.PldFileW = std::make_unique<FuseWindowState>();
    FuseWindowState& w = *wb.PldFileW;
    w.Title = wb.DataFileName;
    JedReadReport r;
    ReadJedText(wb.ImageBuffer, w, *text, &r);
    // What the window's redraw sets.
    w.FuseCount = FuseMapCount(w, wb.ImageBuffer.size());
    if (wb.view) wb.view->DataWindowsChanged();
    wb.Display();
    // Each of these loads as far as the file goes: the user is told, the map
    // stays loaded.
    if (r.DeclaredFuses >= 0 && w.DeviceFuses > 0 && r.DeclaredFuses != w.DeviceFuses)
        wb.prompts.ShowMessage(wb.DataFileName + " is a map of " + std::to_string(r.DeclaredFuses) + " fuses (QF" +
                               std::to_string(r.DeclaredFuses) + "), the selected device has " +
                               std::to_string(w.DeviceFuses) + ": loaded as it is");
    if (r.CutShort()) {
        std::string where = "before fuse " + std::to_string(r.Reached);
        if (r.EndLine > 0) where += " (line " + std::to_string(r.EndLine) + ")";
        const std::string qf = std::to_string(r.DeclaredFuses);
        const std::string counts = "sets " + std::to_string(r.FusesSet) + " of its " + qf + " fuses (QF" + qf + ")";
        const bool countShort = r.DeclaredFuses > 0 && !r.DefaultState && r.FusesSet < r.DeclaredFuses;
        if (r.EndsInList)
            wb.prompts.ShowMessage(wb.DataFileName + " ends inside its fuse list " + where +
                                   (countShort ? ", it " + counts : std::string()) + ": loaded as far as it goes");
        else
            wb.prompts.ShowMessage(wb.DataFileName + " " + counts + ", its fuse list ends " + where +
                                   ": loaded as far as it goes");
    }
    // Stored files with a wrong checksum field exist.
    if (r.ChecksumMismatch()) wb.prompts.ShowMessage(JedChecksumMessage(r));
}

bool SaveJed(Workbench& wb) {
    if (!wb.PldFileW) return false;
    std::string why;
    if (WriteJed(wb.ImageBuffer, *wb.PldFileW, wb.sel.VariantIndex, wb.DataFileName, &why)) return true;
    wb.prompts.ShowMessage(CannotSaveMessage(JedFileName(wb.DataFileName), why));
    return false;
}

std::string FuseRowLabel(int firstFuse) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "L%04d ", firstFuse);
    return buf;
}

std::vector<std::string> FuseMapLines(const std::vector<std::uint8_t>& image, const FuseWindowState& w) {
    std::vector<std::string> lines;
    const long long count = FuseMapCount(w, image.size());
    const long long cols = w.FuseCols;
    if (cols <= 0) return lines;
    for (long long s = 0; s < count; s += cols) {
        std::string line = FuseRowLabel(static_cast<int>(s));
        const long long end = std::min(s + cols, static_cast<long long>(image.size()));
        for (long long a = s; a < end; ++a) {
            const auto ch = image[static_cast<std::size_t>(a)];
            line += (ch < 0x20 || ch > 0x7E) ? '.' : static_cast<char>(ch);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

int FuseFirstColumn(const FuseWindowState& w, int line) {
    const long long first = static_cast<long long>(line) * w.FuseCols;
    if (first < 0 || first > 0x7FFFFFFF) return 6;
    return static_cast<int>(FuseRowLabel(static_cast<int>(first)).size());
}

int FuseCursorAddress(const FuseWindowState& w, int line, int column) {
    long long addr = static_cast<long long>(line) * w.FuseCols;
    const int first = FuseFirstColumn(w, line);
    if (column >= first && column < first + w.FuseCols) addr += column - first;
    return static_cast<int>(std::clamp<long long>(addr, -1, 0x7FFFFFFF));
}

bool FuseKeyPress(std::vector<std::uint8_t>& image, FuseWindowState& w, int line, int column,
                  char key) {
    if (key != '0' && key != '1') return false;
    const int first = FuseFirstColumn(w, line);
    if (column < first || column >= first + w.FuseCols) return false;
    const int addr = FuseCursorAddress(w, line, column);
    if (addr < 0 || static_cast<std::size_t>(addr) >= image.size()) return false;
    image[static_cast<std::size_t>(addr)] = static_cast<std::uint8_t>(key);
    w.ArchitectureUnread = false;
    return true;
}

}  // namespace quilla
