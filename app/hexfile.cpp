#include "app/hexfile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/savefile.h"
#include "app/textlines.h"
#include "app/workbench.h"

namespace quilla {

namespace {

// Value of one character as HexPair reads it (before the 8-bit cut).
constexpr std::array<std::uint8_t, 256> MakeDigitTable() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned c = 0; c < 256; ++c) {
        unsigned u = (c >= 'a' && c <= 'z') ? c - 32 : c;
        unsigned v = u <= 0x40 ? u - 0x30 : u - 55;
        t[c] = static_cast<std::uint8_t>(v & 0xFF);  // arithmetic modulo 256, as the 8-bit cut
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> DigitValue = MakeDigitTable();

inline std::uint8_t Pair(std::uint8_t high, std::uint8_t low) {
    return static_cast<std::uint8_t>(DigitValue[high] * 16u + DigitValue[low]);
}

// Whether any of the n (at least 8) characters from p is a control character
// (below 0x20), eight at a time. Subtracting 0x20 from every byte of a word
// sets the top bit of a byte whose own top bit was clear where that byte was
// below 0x20, or where a borrow came from the byte below, which only a byte
// below 0x20 starts: the answer is exact.
bool HasControl(const std::uint8_t* p, std::size_t n) {
    constexpr std::uint64_t ones = 0x0101010101010101u, tops = 0x8080808080808080u;
    auto below20 = [p](std::size_t at) {
        std::uint64_t w;
        std::memcpy(&w, p + at, sizeof w);
        return (w - 0x20 * ones) & ~w & tops;
    };
    std::uint64_t found = 0;
    std::size_t i = 0;
    for (; n - i >= 8; i += 8) found |= below20(i);
    if (i < n) found |= below20(n - 8);
    return found != 0;
}

class HexReader {
public:
    HexReader(std::span<const std::uint8_t> text, std::span<std::uint8_t> image)
        : t_(text), image_(image) {}

    HexReadResult Run() {
        std::uint8_t prev = 0;
        while (pos_ < t_.size()) {
            std::uint8_t c = t_[pos_++];
            if (c == ':' && prev < 0x20) {
                std::size_t start = pos_ - 1;
                if (WholeDataRecord(start)) continue;
                lineEnd_ = pos_;
                while (lineEnd_ < t_.size() && t_[lineEnd_] >= 0x20) ++lineEnd_;
                const bool more = Record(start);
                // A record cut short by its line's end or the end of the file
                // is a damaged record too.
                if ((cut_ || lineCut_) && badRecord_ == npos) badRecord_ = start;
                if (lineCut_) {
                    // The next line is read as its own record, never as the
                    // rest of this one.
                    lineCut_ = false;
                    continue;
                }
                if (!more) break;
            } else {
                prev = c;
            }
        }
        if (badRecord_ != npos) result_.ChecksumErrorLine =
            LineOf(std::string_view(reinterpret_cast<const char*>(t_.data()), t_.size()), badRecord_);
        return result_;
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Next pair of the record's line; false at the end of the text (the read
    // ends there) or of the line (the read goes on with the next line).
    bool Next(std::uint8_t& out) {
        if (lineEnd_ - pos_ < 2) {
            pos_ = lineEnd_;
            if (lineEnd_ == t_.size()) cut_ = true;
            else lineCut_ = true;
            return false;
        }
        out = Pair(t_[pos_], t_[pos_ + 1]);
        pos_ += 2;
        return true;
    }

    // Checks the record's checksum: `sum` holds the bytes already read, the
    // remaining `pairs` pairs (data not yet read, then the checksum) are looked
    // at without moving on, so checking never changes what is read next.
    void Check(std::size_t start, unsigned sum, std::size_t pairs) {
        if (badRecord_ != npos) return;
        std::size_t p = pos_;
        for (std::size_t k = 0; k < pairs; ++k, p += 2) {
            if (lineEnd_ < p + 2) {
                badRecord_ = start;  // the record is cut short by its line's or the file's end
                return;
            }
            sum += Pair(t_[p], t_[p + 1]);
        }
        if ((sum & 0xFF) != 0) badRecord_ = start;
    }

    // The common record, read in one go: a data record whose pairs, checksum
    // included, all lie on its line, and whose bytes all land in the image
    // up to HexMaxStoreAddr while nothing is being skipped. Its bytes are
    // stored at once, the ranges, the highest address and the checksum taken
    // per record, and the read goes on before its checksum pair, as after
    // Record. Any other record (another type, a count of 0, a record cut
    // short by its line or the text, data the read would not store, map to
    // the EEPROM or skip) is left to Record: false, with nothing changed.
    bool WholeDataRecord(std::size_t start) {
        if (skipping_) return false;
        const std::size_t first = start + 1;  // the count's first digit
        if (t_.size() - first < 10) return false;
        const std::uint8_t* s = t_.data() + first;
        const std::uint8_t count = Pair(s[0], s[1]), type = Pair(s[6], s[7]);
        if (type != 0 || count == 0) return false;
        const std::size_t chars = 10 + 2u * count;  // through the checksum
        if (t_.size() - first < chars || HasControl(s, chars)) return false;
        const std::uint8_t hi = Pair(s[2], s[3]), lo = Pair(s[4], s[5]);
        const std::int64_t addr = (hi << 8 | lo) + linear_ + segment_;
        const std::int64_t last = addr + count - 1;
        if (last > HexMaxStoreAddr || last >= static_cast<std::int64_t>(image_.size())) return false;
        std::uint8_t* out = image_.data() + addr;
        unsigned sum = count + hi + lo;
        const std::uint8_t* q = s + 8;
        for (unsigned k = 0; k < count; ++k, q += 2) {
            const std::uint8_t b = Pair(q[0], q[1]);
            out[k] = b;
            sum += b;
        }
        StoredRun(static_cast<int>(addr), static_cast<int>(last));
        if (((sum + Pair(q[0], q[1])) & 0xFF) != 0 && badRecord_ == npos) badRecord_ = start;
        pos_ = static_cast<std::size_t>(q - t_.data());
        return true;
    }

    // The bytes first..last were stored, in this order: the ranges as the
    // byte-by-byte rule of Record leaves them (the first byte joins the last
    // range when it follows or repeats its end; the rest follow on), and the
    // highest address.
    void StoredRun(int first, int last) {
        auto& ranges = result_.Ranges;
        if (!ranges.empty() && ranges.back().second + 1 == first) ranges.back().second = first;
        else if (ranges.empty() || ranges.back().second != first) ranges.push_back({first, first});
        ranges.back().second = last;
        result_.Stored = true;
        if (last > result_.HighestAddr) result_.HighestAddr = last;
    }

    // One record after its ':'. Returns false when the read ends.
    bool Record(std::size_t start) {
        std::uint8_t count, hi, lo, type;
        if (!Next(count) || count == 0) return false;
        if (!Next(hi) || !Next(lo)) return false;
        std::int64_t addr = (hi << 8 | lo) + linear_ + segment_;
        const bool eeprom = InEepromRecords(addr);
        if (addr > HexMaxRecordAddr && !eeprom && !skipping_) {
            // From here on only data EEPROM records are stored.
            result_.NotLoadedFrom = addr;
            skipping_ = true;
        }
        if (!Next(type)) return false;
        if (type > 4) {
            if (!skipping_) result_.WrongFile = true;
            return false;
        }
        if (type == 1) return false;
        unsigned sum = count + hi + lo + type;
        if (skipping_ && !eeprom && (type == 3 || (type == 0 && !InConfigRecords(addr, count))))
            return true;  // not stored, not checked
        if (type == 4 || type == 2) {
            std::uint8_t vh, vl;
            if (!Next(vh) || !Next(vl)) return false;
            std::int64_t value = vh << 8 | vl;
            if (type == 4) linear_ = value * 65536;
            else segment_ = value * 16;
            sum += vh + vl;
            // With a count of 1 the second pair already was the checksum.
            Check(start, sum, count >= 2 ? count - 2u + 1u : 0u);
            return true;
        }
        if (type == 3) {
            Check(start, sum, count + 1u);
            return true;
        }
        // Data record.
        for (unsigned k = 0; k < count; ++k) {
            std::uint8_t b;
            if (!Next(b)) return false;
            sum += b;
            std::int64_t a = addr + k;
            if (InEepromRecords(a)) {
                a = a - HexEepromRecords + HexEepromImage;
                result_.EepromMapped = true;
            } else if (skipping_) {
                KeepConfig(a, b);
                continue;
            } else if (a > HexMaxStoreAddr || a >= static_cast<std::int64_t>(image_.size())) {
                result_.NotLoadedFrom = a;
                skipping_ = true;
                KeepConfig(a, b);
                continue;
            }
            if (a >= static_cast<std::int64_t>(image_.size())) continue;
            image_[static_cast<std::size_t>(a)] = b;
            const int ai = static_cast<int>(a);
            if (!result_.Ranges.empty() && result_.Ranges.back().second + 1 == ai) result_.Ranges.back().second = ai;
            else if (result_.Ranges.empty() || result_.Ranges.back().second != ai) result_.Ranges.push_back({ai, ai});
            result_.Stored = true;
            if (a > result_.HighestAddr) result_.HighestAddr = static_cast<int>(a);
        }
        // What is kept (stored, EEPROM, configuration) has its checksum checked.
        if (!skipping_ || eeprom || InConfigRecords(addr, count)) Check(start, sum, 1);
        return true;
    }

    static bool InEepromRecords(std::int64_t a) {
        return a >= HexEepromRecords && a < HexEepromRecords + HexEepromWindow;
    }

    // A data record of `count` bytes from `a` reaches the configuration bytes.
    static bool InConfigRecords(std::int64_t a, unsigned count) {
        return a < HexConfigFirst + HexConfigCount && a + count > HexConfigFirst;
    }

    // Data that is not stored: a configuration byte is kept beside the image.
    void KeepConfig(std::int64_t a, std::uint8_t b) {
        const std::int64_t i = a - HexConfigFirst;
        if (i < 0 || i >= HexConfigCount) return;
        result_.Config.Value[static_cast<std::size_t>(i)] = b;
        result_.Config.Present = static_cast<std::uint16_t>(result_.Config.Present | 1u << i);
    }

    std::span<const std::uint8_t> t_;
    std::span<std::uint8_t> image_;
    std::size_t pos_ = 0;
    std::int64_t linear_ = 0;
    std::int64_t segment_ = 0;
    std::size_t badRecord_ = npos;
    std::size_t lineEnd_ = 0;  // the first control character after the record's ':' (or the end)
    bool cut_ = false;
    bool lineCut_ = false;
    bool skipping_ = false;  // data past the 1 MiB was met: only EEPROM records are stored
    HexReadResult result_;
};

constexpr char HexDigits[] = "0123456789ABCDEF";

inline void Put2(std::string& s, unsigned v) {
    s.push_back(HexDigits[(v >> 4) & 0xF]);
    s.push_back(HexDigits[v & 0xF]);
}

}  // namespace

std::uint8_t HexPair(char high, char low) {
    return Pair(static_cast<std::uint8_t>(high), static_cast<std::uint8_t>(low));
}

HexReadResult ParseHex(std::span<const std::uint8_t> text, std::span<std::uint8_t> image) {
    return HexReader(text, image).Run();
}

namespace {

std::vector<std::uint8_t> ReadAll(std::FILE* file) {
    std::vector<std::uint8_t> text;
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.insert(text.end(), chunk, chunk + n);
    return text;
}

// What a read tells the user, and its end address.
void ReportRead(Workbench& wb, const HexReadResult& r) {
    if (r.WrongFile) wb.prompts.ShowMessage("Wrong file");
    wb.LoadedEnd = r.HighestAddr;
    wb.LoadedRanges = r.Ranges;
    std::sort(wb.LoadedRanges.begin(), wb.LoadedRanges.end());
    wb.LoadedConfig = r.Config;
    if (wb.FileWin) wb.FileWin->EndAddr = r.HighestAddr;
    if (r.ChecksumErrorLine > 0)
        wb.prompts.ShowMessage("Checksum error in line " + std::to_string(r.ChecksumErrorLine));
}

std::string Hex6(std::int64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%06llx", static_cast<unsigned long long>(v));
    return buf;
}

}  // namespace

int ReadHex(Workbench& wb, std::FILE* file) {
    HexReadResult r = ParseHex(ReadAll(file), wb.ImageBuffer);
    ReportRead(wb, r);
    return r.HighestAddr;
}

void LoadHex(Workbench& wb) {
    std::FILE* f = std::fopen(wb.DataFileName.c_str(), "rb");
    if (!f) {
        wb.prompts.ShowMsg("Cann't open :\n" + wb.DataFileName);
        return;
    }
    const std::vector<std::uint8_t> text = ReadAll(f);
    std::fclose(f);
    const HexReadResult r = ParseHex(text, wb.ImageBuffer);
    if (!r.Stored) {
        // Nothing of this file is in the buffer: no window takes its name.
        if (r.WrongFile) wb.prompts.ShowMessage("Wrong file");
        if (r.NotLoadedFrom < 0) wb.prompts.ShowMessage("No data in " + wb.DataFileName + ": nothing was loaded");
    } else {
        wb.PldFileW.reset();
        wb.SvfFileW.reset();
        if (!wb.FileWin) wb.FileWin = std::make_unique<HexWindowState>();
        wb.FileWin->Title = wb.DataFileName;
        if (wb.view) wb.view->DataWindowsChanged();
        ReportRead(wb, r);
        wb.FileWin->ViewStart = 0;
        wb.FileWin->EndAddr = wb.LoadedEnd;
        wb.Display();
    }
    if (r.NotLoadedFrom >= 0)
        wb.prompts.ShowMessage("Data from address " + Hex6(r.NotLoadedFrom) +
                               " on was not loaded: a HEX file loads into 000000..0fffff" +
                               (r.EepromMapped ? "; its data EEPROM records (f00000..) were loaded at 0f0000.." : ""));
}

std::string FormatHex(std::span<const std::uint8_t> image, int last) {
    std::string s;
    std::int64_t end = std::min<std::int64_t>(last, static_cast<std::int64_t>(image.size()) - 1);
    if (end >= 0) s.reserve(static_cast<std::size_t>((end + 32) / 32 * 77 + 64));
    for (std::int64_t a = 0; a <= end; a += 32) {
        unsigned n = end - a >= 32 ? 32u : static_cast<unsigned>(end - a + 1);
        if (a % 0x10000 == 0 && a > 0xFFFF) {
            unsigned hi = static_cast<unsigned>(a / 65536);
            s += ":02000004";
            Put2(s, hi >> 8);
            Put2(s, hi);
            Put2(s, (0x100u - ((6 + (hi >> 8) + hi) & 0xFF)) & 0xFF);
            s += "\r\n";
        }
        unsigned lo16 = static_cast<unsigned>(a & 0xFFFF);
        unsigned sum = n + (lo16 & 0xFF) + (lo16 >> 8);
        s.push_back(':');
        Put2(s, n);
        Put2(s, lo16 >> 8);
        Put2(s, lo16);
        s += "00";
        const std::uint8_t* p = image.data() + a;
        for (unsigned k = 0; k < n; ++k) {
            Put2(s, p[k]);
            sum += p[k];
        }
        Put2(s, (0x100u - (sum & 0xFF)) & 0xFF);
        s += "\r\n";
    }
    s += ":00000001FF";
    return s;
}

bool WriteHex(std::FILE* file, std::span<const std::uint8_t> image, int last) {
    std::string s = FormatHex(image, last);
    return std::fwrite(s.data(), 1, s.size(), file) == s.size();
}

bool SaveHex(Workbench& wb) {
    if (!wb.FileWin) {
        // A fuse map alone is not saved as HEX: nothing is written, and the user hears so.
        wb.prompts.ShowMessage(CannotSaveMessage(wb.DataFileName, "no buffer window is open"));
        return false;
    }
    std::string why;
    if (WriteWholeFile(wb.DataFileName, FormatHex(wb.ImageBuffer, wb.FileWin->EndAddr), &why)) return true;
    wb.prompts.ShowMessage(CannotSaveMessage(wb.DataFileName, why));
    return false;
}

}  // namespace quilla
