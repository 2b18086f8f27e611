#include "app/binfile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "app/numparse.h"
#include "app/savefile.h"
#include "app/workbench.h"

namespace quilla {

const LoadModeRow LoadModes[LoadModeCount] = {
    {"All         ", 0, 0},       {"Def.", 0, 0},
    {"16bit 1st byte   ", 1, 0}, {"16bit 2nd byte   ", 1, 1},
    {"32bit 1st byte   ", 3, 0}, {"32bit 2nd byte   ", 3, 1},
    {"32bit 3rd byte   ", 3, 2}, {"32bit 4th byte   ", 3, 3},
};

const char* const FormatItems[FormatCount] = {
    ".BIN             ", ".HEX                 ", ".JED                      ",
    ".CDS           ", ".SVF   JTAG(IEEE1149.1)",
};

namespace {

std::string Upper4(std::string s) {
    if (s.size() > 4) s.resize(4);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Hex6(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06x", static_cast<unsigned>(v));
    return buf;
}

}  // namespace

std::string FormatKey(int index) {
    if (index < 0 || index >= FormatCount) return {};
    return Upper4(FormatItems[index]);
}

int FormatIndexByExt(const std::string& fileName) {
    std::size_t slash = fileName.find_last_of('/');
    std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    std::size_t dot = base.find_last_of('.');
    if (dot == std::string::npos) return FmtBin;
    std::string ext = Upper4(base.substr(dot));
    for (int i = 0; i < FormatCount; ++i)
        if (FormatKey(i) == ext) return i;
    return FmtBin;
}

int StoreBin(std::span<const std::uint8_t> data, std::span<std::uint8_t> image, int start,
             int mask, int match, std::size_t* used) {
    mask &= 3;
    match &= 3;
    std::int64_t i = start;
    const std::int64_t size = static_cast<std::int64_t>(image.size());
    const std::size_t n = std::min<std::size_t>(data.size(), BinMaxInput);
    if (used) *used = 0;
    if (i < 0 || i >= size) return start - 1;
    if (mask == 0 && match == 0) {
        std::size_t len = std::min<std::size_t>(n, static_cast<std::size_t>(size - i));
        std::copy_n(data.begin(), len, image.begin() + i);
        if (used) *used = len;
        return static_cast<int>(i + static_cast<std::int64_t>(len) - 1);
    }
    std::size_t j = 0;
    for (; j < n && i < size; ++j) {
        if ((static_cast<int>(j) & mask) == match) image[static_cast<std::size_t>(i++)] = data[j];
    }
    if (used) *used = j;
    return static_cast<int>(i - 1);
}

void CdsShift(std::span<std::uint8_t> image, int last) {
    const std::int64_t size = static_cast<std::int64_t>(image.size());
    const std::int64_t end = std::min<std::int64_t>(last, size - 3);
    for (std::int64_t i = 0; i <= end; ++i)
        image[static_cast<std::size_t>(i)] = image[static_cast<std::size_t>(i + 2)];
}

bool LoadBin(Workbench& wb, int mask, int match) {
    std::FILE* f = std::fopen(wb.DataFileName.c_str(), "rb");
    if (!f) {
        wb.prompts.ShowMsg("Cann't open *.bin: \n" + wb.DataFileName);
        return false;
    }
    if (wb.LoadStart < 0 || wb.LoadStart > ImageLastAddr) {
        std::fclose(f);
        wb.prompts.ShowMsg("Buffer start " + Hex6(wb.LoadStart) + " is outside the buffer (000000..7fffff)");
        return false;
    }
    // A few bytes past what a load reads, to tell whether kept data was left out.
    constexpr std::size_t Lookahead = 4;
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[65536];
    std::size_t got;
    while (data.size() < BinMaxInput + Lookahead && (got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    std::fclose(f);

    std::size_t used = 0;
    const int last = StoreBin(data, wb.ImageBuffer, wb.LoadStart, mask, match, &used);
    // The first kept input byte that was not stored, if the file has one.
    std::size_t lost = used;
    while (lost < data.size() && (static_cast<int>(lost) & mask & 3) != (match & 3)) ++lost;
    if (last < wb.LoadStart) {
        // Nothing of this file is in the buffer: no window takes its name.
        if (lost >= data.size()) {
            wb.prompts.ShowMessage("No data in " + wb.DataFileName + ": nothing was loaded");
            return false;
        }
    } else {
        wb.LoadedEnd = last;
        wb.LoadedRanges = {{wb.LoadStart, last}};
        wb.LoadedConfig = {};
        wb.PldFileW.reset();
        wb.SvfFileW.reset();
        if (!wb.FileWin) wb.FileWin = std::make_unique<HexWindowState>();
        wb.FileWin->Title = wb.DataFileName;
        wb.FileWin->EndAddr = wb.LoadedEnd;
        wb.FileWin->ViewStart = 0;
        if (wb.view) wb.view->DataWindowsChanged();
        wb.Display();
    }
    if (lost < data.size())
        wb.prompts.ShowMessage("Data from file offset " + Hex6(static_cast<int>(lost)) +
                               " on was not loaded: a load reads 800001 bytes at most and stores up to 7fffff");
    return last >= wb.LoadStart;
}

bool LoadCds(Workbench& wb) {
    if (!LoadBin(wb, 0, 0)) return false;
    CdsShift(wb.ImageBuffer, wb.LoadedEnd);
    wb.Display();
    return true;
}

bool SaveBin(Workbench& wb, const std::string& startText, const std::string& endText) {
    auto start = ParseHex32(startText);
    auto end = ParseHex32(endText);
    if (!start || !end) {
        wb.prompts.ShowMessage("Buffer start or end is not a hex number: nothing saved");
        return false;
    }
    const std::int64_t from = std::max<std::int64_t>(*start, 0);
    const std::int64_t to = std::min<std::int64_t>(*end, ImageLastAddr);
    std::span<const std::uint8_t> bytes;
    if (to >= from)
        bytes = std::span<const std::uint8_t>(wb.ImageBuffer).subspan(static_cast<std::size_t>(from),
                                                                      static_cast<std::size_t>(to - from + 1));
    std::string why;
    if (WriteWholeFile(wb.DataFileName, bytes, &why)) return true;
    wb.prompts.ShowMessage(CannotSaveMessage(wb.DataFileName, why));
    return false;
}

}  // namespace quilla
