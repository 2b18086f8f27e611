#include "app/svf.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/workbench.h"

namespace quilla {

std::vector<std::string> SplitSvfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text, start, i - start);
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text, start, text.size() - start);
    return lines;
}

namespace {

// Reads a whole file; on failure returns false with the system's reason.
bool ReadWholeFile(const std::string& path, std::string& out, std::string& reason) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) {
        reason = std::strerror(errno);
        return false;
    }
    std::string data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) data.append(buf, n);
    if (std::ferror(f.get())) {
        reason = std::strerror(errno);
        return false;
    }
    out.swap(data);
    return true;
}

}  // namespace

bool LoadSvf(Workbench& wb) {
    wb.FileWin.reset();
    wb.PldFileW.reset();
    if (!wb.SvfFileW) wb.SvfFileW = std::make_unique<SvfWindowState>();
    SvfWindowState& w = *wb.SvfFileW;
    w.Title = wb.DataFileName;
    std::string text, reason;
    const bool ok = ReadWholeFile(wb.DataFileName, text, reason);
    if (ok) {
        w.Lines = SplitSvfLines(text);
        ++w.Loads;
    }
    if (wb.view) wb.view->DataWindowsChanged();
    wb.Display();
    if (!ok)
        wb.prompts.Message("Cannot open file \"" + wb.DataFileName + "\". " + reason, "Quilla",
                           MsgKind::Error, BtnOk);
    return ok;
}

std::string SvfLineCaption(int zeroBasedLine) { return "Line:" + std::to_string(zeroBasedLine + 1); }

bool SvfPlayable(const Workbench& wb) {
    if (!wb.SvfFileW) return false;
    const std::string& name = wb.DataFileName;
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = name.substr(dot);
    for (auto& ch : ext) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return ext == ".SVF";
}

}  // namespace quilla
